// Feeds arbitrary bytes to the filter-file reader: it must load them or raise
// a stream error, never crash, hang or allocate beyond the input. What loads
// must save and load again to the same bytes.

#include "classlib/componentstream.h"
#include "filterlist/classregistry.h"
#include "filterlist/filterfile.h"
#include "filterlist/streamtest_components.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

bool loads(const std::string &bytes, TestFilterList &list) {
  ComponentReader reader(bytes, "fuzz.fll", testRegistry());
  reader.setWarningHandler([](const std::string &) {});
  try {
    readFilterFileBytes(reader, list);
    return true;
  } catch (const EStreamError &) {
    return false;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);

  TestFilterList list;
  if (loads(input, list)) {
    const std::string saved = filterFileBytes(list);
    TestFilterList again;
    if (!loads(saved, again) || filterFileBytes(again) != saved)
      std::abort();
  }

  // A single record, as a clone reads it.
  ComponentReader reader(input, {}, testRegistry());
  reader.setFileTypeRead(size > 0 ? data[0] : currentFileType);
  try {
    reader.readComponent();
  } catch (const EStreamError &) {
  }
  return 0;
}

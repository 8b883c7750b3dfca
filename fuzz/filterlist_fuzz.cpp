// Feeds arbitrary bytes to the filter list's loader with every node class
// registered: it must load them or raise a stream error, never crash, hang or
// allocate beyond the input. A list that loads and saves must load again and
// save to the same bytes.

#include "classlib/registry.h"
#include "filterlist/filterlist.h"
#include "filterlist/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace marrowen;

namespace {

// New nodes read their defaults from a store of the fuzzer's own.
void useOwnSettings() {
  static SettingsStore store(std::filesystem::temp_directory_path() / "filterlist_fuzz.ini");
  useSettingsStore(&store);
}

[[noreturn]] void fail(const char *what) {
  std::fprintf(stderr, "filterlist_fuzz: %s\n", what);
  std::abort();
}

bool loads(std::string_view bytes, TFilterList &list, bool inserting) {
  list.setWarningHandler([](const std::string &) {});
  try {
    list.loadFromBytes(bytes, "fuzz.fll", {.inserting = inserting, .insertionIndex = 1});
    return true;
  } catch (const EStreamError &) {
    return false;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  useOwnSettings();
  const std::string input(reinterpret_cast<const char *>(data), size);

  TFilterList list;
  if (loads(input, list, false)) {
    std::string saved;
    try {
      saved = filterFileBytes(list);
    } catch (const EWriteError &) {
      // A placeholder read from an older file type cannot be saved.
      return 0;
    }
    TFilterList again;
    if (!loads(saved, again, false))
      fail("the saved list does not load");
    if (filterFileBytes(again) != saved)
      fail("the list saves to other bytes once loaded again");
    int errorIndex = -1;
    try {
      again.createFilters(false, true, errorIndex);
    } catch (const Exception &) {
      if (errorIndex < -1 || errorIndex >= again.count())
        fail("the error index lies outside the list");
    }
  }

  TFilterList target;
  target.resetToDefault();
  loads(input, target, true);
  return 0;
}

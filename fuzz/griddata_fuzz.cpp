// Feeds arbitrary bytes to the grid's "Data" reader: it must store them or
// raise a read error that leaves the storage as it was, never crash or
// allocate beyond the grid's size and the input. What reads must write and
// read again to the same bytes.
//   build-fuzz/fuzz/griddata_fuzz -max_total_time=300 fuzz/corpus/griddata

#include "classlib/componentstream.h"
#include "grid/data/storage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace marrowen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);
  Tdg2DStorage storage(8, 1000);
  storage.SetValue(2, 2, Variant("kept"), 1);
  std::string before;
  storage.WriteValues(before);
  try {
    storage.ReadValues(input);
  } catch (const EReadError &) {
    std::string after;
    storage.WriteValues(after);
    if (after != before)
      std::abort();
    return 0;
  }
  std::string saved;
  storage.WriteValues(saved);
  Tdg2DStorage again(8, 1000);
  again.ReadValues(saved);
  std::string savedAgain;
  again.WriteValues(savedAgain);
  if (savedAgain != saved)
    std::abort();
  return 0;
}

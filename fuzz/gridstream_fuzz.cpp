// Feeds arbitrary bytes to the reader of a grid's form record: it must read
// them or raise a stream or grid error, never crash. A record that reads must
// write the same bytes again once read back.
//   build-fuzz/fuzz/gridstream_fuzz -max_total_time=300 fuzz/corpus/gridstream

#include "grid/stream/gridstream.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

using namespace marrowen;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "gridstream_fuzz";
  static char *argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);
  TdgGrid grid;
  grid.SetRaiseErrors(false);
  try {
    readGrid(grid, input);
  } catch (const Exception &) {
    return 0;
  }
  const std::string written = writeGrid(grid);
  TdgGrid again;
  again.SetRaiseErrors(false);
  readGrid(again, written);
  if (writeGrid(again) != written)
    std::abort();
  return 0;
}

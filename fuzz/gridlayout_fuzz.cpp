// Feeds arbitrary bytes to a grid's layout loading: it must load them or
// raise an error, never crash, and the grid must come out of a failed load
// painting and firing events again. A layout that loads must give the same
// bytes when saved, loaded into a fresh grid and saved again.
//   build-fuzz/fuzz/gridlayout_fuzz -max_total_time=300 fuzz/corpus/gridlayout

#include "classlib/streams.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace marrowen;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "gridlayout_fuzz";
  static char *argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  TdgGrid grid;
  grid.SetRaiseErrors(false);
  TMemoryStream in(std::string(reinterpret_cast<const char *>(data), size));
  try {
    grid.LoadFromStream(in, size % 2 == 0);
  } catch (const Exception &) {
    if (grid.Updating() || grid.IsLoadingLayout() || !grid.NotLoading() || !grid.FieldState())
      std::abort();
    return 0;
  }
  TMemoryStream first;
  grid.SaveToStream(first, true);
  first.SetPosition(0);
  TdgGrid again;
  again.SetRaiseErrors(false);
  again.LoadFromStream(first, false);
  TMemoryStream second;
  again.SaveToStream(second, true);
  first.SetPosition(0);
  second.SetPosition(0);
  if (first.ReadAll() != second.ReadAll())
    std::abort();
  return 0;
}

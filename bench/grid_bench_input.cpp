// The grid under the keyboard and the mouse: the Down key with its editor
// placement and paint on 1,000,000 rows, Ctrl+End and Ctrl+Home at 1,000 and
// 1,000,000 rows (which must cost the same), a click on the corner selecting
// every one of 1,000,000 rows, and End in the editor on a 10,000-byte line.

#include "grid/editors/celleditors.h"
#include "grid/widget/dgbasegrid.h"
#include "grid_bench.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

using namespace marrowen;

namespace {

// One shown grid per row count; only the first and last screens get values.
TdgGrid &inputGrid(int rows) {
  static std::map<int, std::unique_ptr<TdgGrid>> grids;
  auto &grid = grids[rows];
  if (!grid) {
    ensureApplication();
    grid = std::make_unique<TdgGrid>();
    grid->SetStoreData(true);
    grid->SetCols(8);
    grid->SetRows(rows);
    for (int r = 1; r <= rows; r = r == 60 ? std::max(61, rows - 60) : r + 1)
      for (int c = 1; c <= 8; ++c)
        grid->SetCell(c, r, Variant("r" + std::to_string(r) + "c" + std::to_string(c)));
    grid->resize(800, 600);
    grid->show();
    QApplication::processEvents();
  }
  return *grid;
}

void paintInto(TdgGrid &grid, QImage &image) {
  QPainter painter(&image);
  grid.viewport()->render(&painter);
}

void press(TdgGrid &grid, std::uint16_t key, TShiftState shift = {}) { grid.KeyDown(key, shift); }

void BM_DownKey(benchmark::State &state) {
  TdgGrid &grid = inputGrid(1000000);
  QImage image(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  press(grid, VK_HOME, TShiftState(ssCtrl));
  for (auto _ : state) {
    if (grid.Row() >= grid.RowCount() - 2) {
      state.PauseTiming();
      press(grid, VK_HOME, TShiftState(ssCtrl));
      state.ResumeTiming();
    }
    press(grid, VK_DOWN);
    paintInto(grid, image);
  }
}
BENCHMARK(BM_DownKey)->Unit(benchmark::kMillisecond);

void BM_CtrlEndThenCtrlHome(benchmark::State &state) {
  TdgGrid &grid = inputGrid(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    press(grid, VK_END, TShiftState(ssCtrl));
    press(grid, VK_HOME, TShiftState(ssCtrl));
  }
}
BENCHMARK(BM_CtrlEndThenCtrlHome)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Every other click selects all rows; the one between clears them untimed.
void BM_CornerClickSelectsAllRows(benchmark::State &state) {
  TdgGrid &grid = inputGrid(1000000);
  const int x = 3, y = 3;
  for (auto _ : state) {
    grid.MouseDown(mbLeft, TShiftState(ssLeft), x, y);
    grid.MouseUp(mbLeft, TShiftState(ssLeft), x, y);
    state.PauseTiming();
    if (grid.RowSelection().Count != grid.Rows())
      state.SkipWithError("the corner did not select every row");
    grid.MouseDown(mbLeft, TShiftState(ssLeft), x, y);
    grid.MouseUp(mbLeft, TShiftState(ssLeft), x, y);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CornerClickSelectsAllRows)->Unit(benchmark::kMillisecond);

void BM_EditorEndOnALongLine(benchmark::State &state) {
  ensureApplication();
  QWidget window;
  auto *editor = new TdgGridEditBox(&window);
  editor->setGeometry(0, 0, 200, 16);
  editor->SetWordWrap(wwOff);
  editor->SetText(std::string(10000, 'w'));
  editor->show();
  window.show();
  for (auto _ : state) {
    std::uint16_t home = VK_HOME, end = VK_END;
    state.PauseTiming();
    editor->KeyDown(home, TShiftState());
    state.ResumeTiming();
    editor->KeyDown(end, TShiftState());
  }
}
BENCHMARK(BM_EditorEndOnALongLine)->Unit(benchmark::kMillisecond);

} // namespace

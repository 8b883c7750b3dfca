// The data grid's painting and scrolling: a 12-column text grid with
// StoreData at 1,000 and 1,000,000 rows in a 1024 x 768 viewport. A full
// paint, a scroll to the end and a one-line scroll must cost the same at
// both sizes.

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

// One shown grid per row count, filled once.
TdgGrid &shownGrid(int rows) {
  static std::map<int, std::unique_ptr<TdgGrid>> grids;
  auto &grid = grids[rows];
  if (!grid) {
    ensureApplication();
    grid = std::make_unique<TdgGrid>();
    grid->SetStoreData(true);
    grid->SetCols(12);
    grid->SetRows(rows);
    for (int r = 1; r <= rows; ++r)
      for (int c = 1; c <= 12; ++c)
        grid->SetCell(c, r, Variant("r" + std::to_string(r) + "c" + std::to_string(c)));
    const int frame = grid->frameWidth() * 2;
    grid->resize(1024 + frame, 768 + frame);
    grid->show();
    QApplication::processEvents();
  }
  return *grid;
}

void paintInto(TdgGrid &grid, QImage &image) {
  QPainter painter(&image);
  grid.viewport()->render(&painter);
}

void BM_FullPaint(benchmark::State &state) {
  TdgGrid &grid = shownGrid(static_cast<int>(state.range(0)));
  QImage image(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state)
    paintInto(grid, image);
}
BENCHMARK(BM_FullPaint)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Vertical bottom (code 7) and the paint it causes, from the top.
void BM_ScrollToEnd(benchmark::State &state) {
  TdgGrid &grid = shownGrid(static_cast<int>(state.range(0)));
  QImage image(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    state.PauseTiming();
    grid.ScrollMessage(SB_VERT, SB_TOP, 0);
    QApplication::processEvents();
    state.ResumeTiming();
    grid.ScrollMessage(SB_VERT, SB_BOTTOM, 0);
    paintInto(grid, image);
  }
}
BENCHMARK(BM_ScrollToEnd)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// One line down or up: the pixel move and the strip it uncovers.
void BM_OneLineScroll(benchmark::State &state) {
  TdgGrid &grid = shownGrid(static_cast<int>(state.range(0)));
  grid.ScrollMessage(SB_VERT, SB_THUMBPOSITION, 100);
  QApplication::processEvents();
  bool down = true;
  for (auto _ : state) {
    grid.ScrollMessage(SB_VERT, down ? SB_LINEDOWN : SB_LINEUP, 0);
    QApplication::processEvents();
    down = !down;
  }
}
BENCHMARK(BM_OneLineScroll)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace

// The data grid at the size of a long file list (100,000 rows of 10 columns
// of 12-byte texts, StoreData on) as the windows use it, and the base grid's
// scrolling at 1,000 and 1,000,000 rows, which must not depend on the count.

#include "grid/basegrid/basegrid.h"
#include "grid/data/colrow.h"
#include "grid/stream/gridstream.h"
#include "grid/widget/dgbasegrid.h"
#include "grid_bench.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>

using namespace marrowen;

namespace {

constexpr int gridRows = 100000, gridCols = 10;

const Variant &text12() {
  static const Variant text(std::string("abcdefghijkl"));
  return text;
}

std::unique_ptr<TdgGrid> filledGrid() {
  ensureApplication();
  auto grid = std::make_unique<TdgGrid>();
  grid->SetStoreData(true);
  grid->SetCols(gridCols);
  grid->SetRows(gridRows);
  for (int r = 1; r <= gridRows; ++r)
    for (int c = 1; c <= gridCols; ++c)
      grid->SetCell(c, r, text12());
  return grid;
}

void BM_AppendRowsAsTheWindowsDo(benchmark::State &state) {
  ensureApplication();
  for (auto _ : state) {
    TdgGrid grid;
    grid.SetStoreData(true);
    grid.SetCols(gridCols);
    grid.SetRows(0);
    for (int r = 1; r <= gridRows; ++r) {
      grid.SetRows(grid.Rows() + 1);
      for (int c = 1; c <= gridCols; ++c)
        grid.SetCell(c, r, text12());
    }
    benchmark::DoNotOptimize(grid.Rows());
  }
}
BENCHMARK(BM_AppendRowsAsTheWindowsDo)->Unit(benchmark::kMillisecond);

void BM_SetEveryCell(benchmark::State &state) {
  auto grid = filledGrid();
  for (auto _ : state)
    for (int r = 1; r <= gridRows; ++r)
      for (int c = 1; c <= gridCols; ++c)
        grid->SetCell(c, r, text12());
}
BENCHMARK(BM_SetEveryCell)->Unit(benchmark::kMillisecond);

void BM_ReadEveryCell(benchmark::State &state) {
  auto grid = filledGrid();
  if (state.range(0)) {
    std::mt19937 random(1);
    for (int i = 0; i < 1000; ++i)
      grid->SetDisplayRowOf(1 + static_cast<int>(random() % gridRows),
                            1 + static_cast<int>(random() % gridRows));
  }
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (int p = 1; p <= gridRows; ++p) {
      const int r = grid->GetDataRow(p);
      for (int c = 1; c <= gridCols; ++c)
        bytes += grid->GetCell(c, r).stringValue().size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_ReadEveryCell)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_InsertRowAtRandom(benchmark::State &state) {
  auto grid = filledGrid();
  std::mt19937 random(2);
  for (auto _ : state)
    grid->InsertRow(1 + static_cast<int>(random() % static_cast<unsigned>(grid->Rows() + 1)));
}
BENCHMARK(BM_InsertRowAtRandom)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_DeleteSelectedEveryTenthRow(benchmark::State &state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto grid = filledGrid();
    for (int p = 10; p <= gridRows; p += 10)
      grid->SelectRows(p, p);
    state.ResumeTiming();
    grid->DeleteSelectedRows();
    state.PauseTiming();
    grid.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DeleteSelectedEveryTenthRow)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_DeleteHalfTheRows(benchmark::State &state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto grid = filledGrid();
    state.ResumeTiming();
    grid->DeleteRows(1, gridRows / 2);
    state.PauseTiming();
    grid.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DeleteHalfTheRows)->Iterations(3)->Unit(benchmark::kMillisecond);

// A grid with its own settings: 10 column objects with colours, 1,000 cell
// elements, 1,000 moved rows.
std::unique_ptr<TdgGrid> dressedGrid() {
  auto grid = filledGrid();
  std::mt19937 random(3);
  for (int c = 1; c <= gridCols; ++c)
    grid->GetCol(Variant(std::int32_t(c)))->SetColor(0x010101 * c);
  for (int i = 0; i < 1000; ++i)
    grid->SetCellProperty(1 + static_cast<int>(random() % gridCols),
                          1 + static_cast<int>(random() % gridRows), pnColor,
                          Variant(std::int32_t(0xFF)));
  for (int i = 0; i < 1000; ++i)
    grid->SetDisplayRowOf(1 + static_cast<int>(random() % gridRows),
                          1 + static_cast<int>(random() % gridRows));
  return grid;
}

void BM_EffectivePropertiesOfEveryCell(benchmark::State &state) {
  auto grid = dressedGrid();
  for (auto _ : state) {
    long sum = 0;
    for (int r = 1; r <= gridRows; ++r)
      for (int c = 1; c <= gridCols; ++c) {
        sum += grid->EffectiveColor(c, r, false);
        sum += grid->EffectiveFont(c, r).Size();
        sum += grid->EffectiveHorzAlignment(c, r);
        sum += grid->CellControlType(c, r);
      }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_EffectivePropertiesOfEveryCell)->Unit(benchmark::kMillisecond);

void BM_StreamOutAndBack(benchmark::State &state) {
  auto grid = dressedGrid();
  for (auto _ : state) {
    const std::string bytes = writeGrid(*grid);
    TdgGrid copy;
    readGrid(copy, bytes);
    benchmark::DoNotOptimize(copy.Rows());
  }
}
BENCHMARK(BM_StreamOutAndBack)->Unit(benchmark::kMillisecond);

class BenchBaseGrid : public TCustomGrid_dg {
public:
  void DrawCell(std::int32_t, std::int32_t, const TRect &, TGridDrawState) override {}
};

// One round of line, page and thumb moves and Ctrl+End, Ctrl+Home.
void BM_BaseGridMoves(benchmark::State &state) {
  ensureApplication();
  BenchBaseGrid grid;
  grid.SetRowCount(static_cast<int>(state.range(0)));
  grid.resize(400, 300);
  grid.show();
  QApplication::processEvents();
  for (auto _ : state) {
    for (int i = 0; i < 10; ++i)
      grid.ModifyScrollBar(SB_VERT, SB_LINEDOWN, 0, true);
    for (int i = 0; i < 10; ++i)
      grid.ModifyScrollBar(SB_VERT, SB_PAGEDOWN, 0, true);
    grid.ModifyScrollBar(SB_VERT, SB_THUMBPOSITION, 64, true);
    std::uint16_t key = VK_END;
    grid.KeyDown(key, TShiftState(ssCtrl));
    key = VK_HOME;
    grid.KeyDown(key, TShiftState(ssCtrl));
    benchmark::DoNotOptimize(grid.TopRow());
  }
}
BENCHMARK(BM_BaseGridMoves)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace

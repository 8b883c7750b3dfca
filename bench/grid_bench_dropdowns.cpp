// Drop-down lists and layouts at size: opening the list of a cell whose own
// combo holds 10,000 items (copied into the grid's list, sized and shown), a
// key typed into a sorted list of 10,000 items, and the layout with data of a
// 100,000-row, 4-column grid saved and loaded.

#include "classlib/streams.h"
#include "grid/data/colrow.h"
#include "grid/editing/combo.h"
#include "grid/stream/layout.h"
#include "grid/widget/dgbasegrid.h"
#include "grid_bench.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace marrowen;

namespace {

constexpr int listItems = 10000;

// A grid whose column 1 has a sorted list of its own.
std::unique_ptr<TdgGrid> gridWithList() {
  ensureApplication();
  auto grid = std::make_unique<TdgGrid>();
  grid->SetCols(2);
  grid->SetRows(10);
  grid->resize(400, 300);
  grid->show();
  TdgCol &col = *grid->GetCol(Variant(1));
  col.SetButtonType(btCombo);
  TdgCombo &combo = col.EnsureCombo();
  TdgComboGrid &list = *combo.ComboGrid();
  list.SetStoreData(true);
  list.SetRows(listItems);
  char text[16];
  for (int i = 1; i <= listItems; ++i) {
    std::snprintf(text, sizeof text, "item%05d", i);
    list.SetCell(1, i, Variant(std::string(text)));
  }
  combo.SetValueColSorted(true);
  combo.SetAutoSearch(asTop);
  return grid;
}

void BM_OpenListOf10000(benchmark::State &state) {
  auto grid = gridWithList();
  for (auto _ : state) {
    // Another cell's list served last, so the list is copied again.
    grid->ForgetCopiedCombo(grid->LastCopiedCombo());
    grid->OpenComboDropDown(1, 1);
    grid->CloseComboDropDown(false);
  }
}
BENCHMARK(BM_OpenListOf10000)->Unit(benchmark::kMillisecond);

void BM_TypeAheadIntoSortedList(benchmark::State &state) {
  auto grid = gridWithList();
  grid->OpenComboDropDown(1, 1);
  std::int64_t now = 0;
  grid->TickCount = [&now] { return now; };
  const char keys[] = "item07";
  int i = 0;
  for (auto _ : state) {
    grid->ComboTypeAhead(std::string_view(keys + i, 1));
    i = (i + 1) % 6;
    now += i == 0 ? 5000 : 10;
  }
  grid->CloseComboDropDown(false);
}
BENCHMARK(BM_TypeAheadIntoSortedList)->Unit(benchmark::kMicrosecond);

std::unique_ptr<TdgGrid> bigGrid() {
  ensureApplication();
  auto grid = std::make_unique<TdgGrid>();
  grid->SetStoreData(true);
  grid->SetCols(4);
  grid->SetRows(100000);
  const Variant text(std::string("abcdefghijkl"));
  for (int r = 1; r <= 100000; ++r)
    for (int c = 1; c <= 4; ++c)
      grid->SetCell(c, r, text);
  return grid;
}

void BM_SaveLayout100000Rows(benchmark::State &state) {
  auto grid = bigGrid();
  for (auto _ : state) {
    TMemoryStream stream;
    grid->SaveToStream(stream, true);
    benchmark::DoNotOptimize(stream.Size());
  }
}
BENCHMARK(BM_SaveLayout100000Rows)->Unit(benchmark::kMillisecond);

void BM_LoadLayout100000Rows(benchmark::State &state) {
  auto grid = bigGrid();
  TMemoryStream saved;
  grid->SaveToStream(saved, true);
  for (auto _ : state) {
    TdgGrid target;
    saved.SetPosition(0);
    target.LoadFromStream(saved, false);
    benchmark::DoNotOptimize(target.Rows());
  }
}
BENCHMARK(BM_LoadLayout100000Rows)->Unit(benchmark::kMillisecond);

} // namespace

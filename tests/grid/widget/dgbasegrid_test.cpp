#include "grid/editing/combo.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/datagridscenes.h"

#include <QApplication>
#include <QPaintEvent>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace marrowen {
namespace {

std::string errorOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const EInvalidGridOperation &e) {
    return e.what();
  }
  return "(no error)";
}

// A grid with StoreData whose cell (1, r) holds "r<r>".
void fill(TdgGrid &grid, int rows) {
  grid.SetStoreData(true);
  grid.SetRows(rows);
  for (int r = 1; r <= rows; ++r)
    grid.SetCell(1, r, Variant("r" + std::to_string(r)));
}

// The texts of column 1 in display order, as the filter-list writer walks a
// grid: display row to data row to cell.
std::vector<std::string> shown(TdgGrid &grid) {
  std::vector<std::string> texts;
  for (int p = 1; p <= grid.Rows(); ++p)
    texts.push_back(grid.GetCell(1, grid.GetDataRow(p)).toString());
  return texts;
}

TEST(DataGrid, StartsWithFourByFourBehindARowBarAndHeading) {
  TdgGrid grid;
  EXPECT_EQ(grid.Cols(), 4);
  EXPECT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.ColCount(), 5);
  EXPECT_EQ(grid.RowCount(), 5);
  EXPECT_EQ(grid.ColWidths(0), 14);
  EXPECT_EQ(grid.RowHeights(0), 15);
  EXPECT_EQ(grid.DefaultRowHeight(), 14);
  EXPECT_EQ((TGridCoord{grid.Col(), grid.Row()}), (TGridCoord{1, 1}));
  grid.SetVersion("9.99");
  EXPECT_EQ(grid.GetVersion(), "2.01");
  EXPECT_EQ(grid.GetDataRow(0), -1);
  EXPECT_EQ(grid.GetDisplayRowOf(grid.RowCount()), -1);
}

TEST(DataGrid, IndexErrorsNameTheGridUnlessSwitchedOff) {
  TdgGrid grid;
  grid.SetName("Grid1");
  EXPECT_EQ(errorOf([&] { grid.InsertRow(0); }), "Grid1: Row index 0 out of range");
  EXPECT_EQ(errorOf([&] { grid.SetDisplayRowOf(1, 9); }), "Grid1: Row index 9 out of range");
  EXPECT_EQ(errorOf([&] { grid.MoveRows(0, 100); }), "Grid1: Row index 0 out of range");
  EXPECT_EQ(errorOf([&] { grid.MoveCols(2, 5); }), "Grid1: Column index 5 out of range");
  grid.SetGridMode(gmEditInsert);
  EXPECT_EQ(errorOf([&] { grid.MoveRows(2, 5); }), "Grid1: Row index 5 out of range")
      << "the insert row stays last";
  grid.SetRaiseErrors(false);
  EXPECT_EQ(errorOf([&] { grid.InsertRow(0); }), "(no error)");
  grid.SelectRows(1, 2);
  grid.MoveRows(1, 100);
  EXPECT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.GetDisplayRowOf(1), 1);
}

TEST(DataGrid, CountEventsStayQuietWhileLoading) {
  TdgGrid grid;
  std::vector<std::pair<int, int>> counts;
  grid.OnRowCountChanged = [&](TdgBaseGrid *, int o, int n) { counts.emplace_back(o, n); };
  grid.beginLoad();
  grid.SetRows(10);
  grid.endLoad();
  EXPECT_TRUE(counts.empty());
  grid.SetRows(-5);
  EXPECT_EQ(grid.Rows(), 0);
  grid.SetRows(2);
  EXPECT_EQ(counts, (std::vector<std::pair<int, int>>{{10, 0}, {0, 2}}));
}

TEST(DataGrid, CellValuesKeepTheirRules) {
  TdgGrid grid;
  grid.SetName("Grid1");
  grid.SetStoreData(true);
  for (auto [c, r] : {std::pair{0, 1}, {5, 1}, {1, 0}, {1, 5}}) {
    grid.SetCell(c, r, Variant("x"));
    EXPECT_TRUE(grid.GetCell(c, r).isEmpty()) << c << "," << r;
  }
  grid.SetCell(2, 3, Variant(std::int32_t(5)));
  EXPECT_EQ(grid.Storage()->GetKind(2, 3), ckText);
  EXPECT_EQ(grid.GetCell(2, 3).type(), varString);
  EXPECT_EQ(grid.GetCell(2, 3).toString(), "5");

  std::vector<int> rowsLoaded;
  grid.OnRowLoaded = [&](TdgBaseGrid *, int row) { rowsLoaded.push_back(row); };
  grid.GetCell(1, 2);
  grid.GetCell(2, 2);
  grid.GetCell(1, 3);
  EXPECT_EQ(rowsLoaded, (std::vector<int>{2, 3}));

  grid.OnCellLoaded = [](TdgBaseGrid *g, int, int, Variant &) { g->GetCell(4, 4); };
  EXPECT_EQ(errorOf([&] { grid.GetCell(1, 1); }),
            "Grid1: Cannot get Cell property value while in OnCellLoaded event");
  // A write from the handler to the cell being loaded is what the reader gets.
  grid.OnCellLoaded = [](TdgBaseGrid *g, int c, int r, Variant &) {
    g->SetCell(c, r, Variant("fresh"));
  };
  EXPECT_EQ(grid.GetCell(2, 3).toString(), "fresh");
  grid.OnCellLoaded = nullptr;
  EXPECT_EQ(grid.GetCell(2, 3).toString(), "fresh");
}

TEST(DataGrid, InsertRowShowsTheNewLastRowWhereAsked) {
  TdgGrid grid;
  fill(grid, 3);
  std::vector<int> inserted;
  grid.OnInsertRow = [&](TdgBaseGrid *, int row, bool byUser) {
    EXPECT_FALSE(byUser);
    inserted.push_back(row);
  };
  // A row added below the current one, as the file list adds a file.
  grid.SetCurrentDataRow(2);
  grid.InsertRow(grid.Row() + 1);
  grid.SetCell(1, grid.Rows(), Variant("new"));
  grid.InsertRow(grid.Rows() + 1);
  grid.SetCell(1, grid.Rows(), Variant("end"));
  EXPECT_EQ(inserted, (std::vector<int>{4, 5}));
  EXPECT_EQ(shown(grid), (std::vector<std::string>{"r1", "r2", "new", "r3", "end"}));
  EXPECT_EQ(grid.GetCurrentDataRow(), 2);
  grid.SetCurrentDataRow(grid.RowCount());
  EXPECT_EQ(grid.GetCurrentDataRow(), 2);
}

TEST(DataGrid, CountsAreTheCountsAskedForAndTheEditorFollows) {
  TdgGrid grid;
  fillTextGrid(grid, 3, 5);
  grid.SetGridMode(gmEditInsert);
  showDataGrid(grid, 400, 300);
  int inserted = 0;
  grid.OnInsertRow = [&](TdgBaseGrid *, int, bool) { ++inserted; };
  for (const int rows : {2, 0}) {
    grid.MoveToCell(1, grid.Rows());
    grid.SetRows(rows);
    EXPECT_EQ(grid.Rows(), rows) << "the current cell lands on the insert row without adding it";
  }
  EXPECT_EQ(inserted, 0);
  for (const int rows : {134217726, INT32_MAX}) {
    EXPECT_THROW(grid.SetRows(rows), EInvalidGridOperation);
    EXPECT_EQ(grid.Rows(), 0) << "a count too large changes nothing";
    EXPECT_THROW(grid.SetCols(rows), EInvalidGridOperation);
    EXPECT_EQ(grid.Cols(), 3);
  }

  TdgGrid plain;
  fillTextGrid(plain, 3, 5);
  showDataGrid(plain, 400, 300);
  const TdgCustomGridControl &editor = plain.ActiveControl();
  plain.MoveToCell(2, 2);
  plain.SetRows(0);
  EXPECT_FALSE(editor.GetVisible()) << "no editor over a row that went";
  plain.SetRows(2);
  plain.SetCols(0);
  plain.SetCols(3);
  ASSERT_TRUE(editor.GetVisible());
  EXPECT_EQ(editor.GetValue().toString(), "") << "the editor shows the new cell, not the old text";
  EXPECT_EQ(editor.Control().y(), plain.GetCellRect(plain.Col(), plain.Row()).Top);
}

TEST(DataGrid, DeleteRowsIgnoresEmptyRangesAndClampsTheRest) {
  TdgGrid grid;
  fill(grid, 6);
  int deletions = 0;
  grid.OnDeleteRow = [&](TdgBaseGrid *, int, bool) { ++deletions; };
  grid.DeleteRows(0, 0);
  grid.DeleteRows(7, 11);
  grid.DeleteRows(5, 3);
  EXPECT_EQ(deletions, 0);
  grid.DeleteRows(-3, 2);
  EXPECT_EQ(deletions, 2);
  EXPECT_EQ(shown(grid), (std::vector<std::string>{"r3", "r4", "r5", "r6"}));
  grid.SetGridMode(gmEditInsert);
  grid.SetCurrentDataRow(4);
  grid.DeleteRows(3, 4);
  EXPECT_EQ(shown(grid), (std::vector<std::string>{"r3", "r4"}))
      << "the current row deleted last enters no new row";
  EXPECT_EQ(grid.GetCurrentDataRow(), 2);
}

TEST(DataGrid, DeleteSelectedRowsKeepsTheCurrentRowAndReportsHighestFirst) {
  TdgGrid grid;
  fill(grid, 8);
  std::vector<std::pair<int, int>> status;
  grid.OnGridStatusChanged = [&](TdgBaseGrid *, TdgGridStatus o, TdgGridStatus n) {
    status.emplace_back(o, n);
  };
  for (int r : {2, 5, 7})
    grid.SelectRows(r, r);
  grid.ReportGridStatus();
  grid.SetCurrentDataRow(6);
  std::vector<int> deleted;
  grid.OnDeleteRow = [&](TdgBaseGrid *, int row, bool) {
    deleted.push_back(row);
    EXPECT_EQ(grid.RowCount(), grid.Rows() + 1);
    for (int p = 1; p < grid.RowCount(); ++p)
      EXPECT_GE(grid.GetDataRow(p), 1);
  };
  grid.DeleteSelectedRows();
  EXPECT_EQ(deleted, (std::vector<int>{7, 5, 2}));
  EXPECT_EQ(grid.Rows(), 5);
  EXPECT_EQ(grid.GetCurrentDataRow(), 4);
  EXPECT_EQ(grid.GetCell(1, 4).toString(), "r6");
  EXPECT_EQ(grid.RowSelection().Count, 0);
  EXPECT_EQ(status, (std::vector<std::pair<int, int>>{{gsNothing, gsRowsSelected},
                                                      {gsRowsSelected, gsNothing}}));
}

TEST(DataGrid, MovedRowsGatherAroundTheTarget) {
  TdgGrid grid;
  fill(grid, 8);
  grid.SetRowHeights(7, 30);
  grid.MoveRows(7, 2);
  EXPECT_EQ(shown(grid),
            (std::vector<std::string>{"r1", "r7", "r2", "r3", "r4", "r5", "r6", "r8"}));
  EXPECT_EQ(grid.RowHeights(2), 30) << "a moved row takes its height along";
  std::vector<std::pair<int, int>> moves;
  grid.OnRowMoved = [&](TdgBaseGrid *, int to, int count, bool) { moves.emplace_back(to, count); };
  grid.SelectRows(6, 6);
  grid.SelectRows(8, 8);
  grid.MoveRows(6, 3);
  EXPECT_EQ(shown(grid),
            (std::vector<std::string>{"r1", "r7", "r5", "r8", "r2", "r3", "r4", "r6"}));
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{3, 2}}));
  EXPECT_TRUE(grid.RowSelected(5));
  EXPECT_TRUE(grid.RowSelected(8));
  grid.SetRaiseErrors(false);
  for (const auto &[from, to] : {std::pair{9, 1}, {1, 9}, {1, 100}, {0, 2}, {2, -1}}) {
    grid.MoveRows(from, to);
    grid.MoveCols(from, to);
  }
  EXPECT_EQ(moves.size(), 1u) << "positions outside the grid move nothing";
  EXPECT_EQ(shown(grid)[1], "r7");
}

// Random moves, insertions and deletions against a model of what the user
// sees: each shown row's text, height and selection mark, and the current row.
TEST(DataGrid, RandomChangesMatchAReferenceModel) {
  struct ShownRow {
    std::string text;
    int height;
    bool selected;
  };
  std::mt19937 random(151);
  TdgGrid grid;
  fill(grid, 40);
  std::vector<ShownRow> model;
  for (int r = 1; r <= 40; ++r) {
    grid.SetRowHeights(r, 10 + r);
    model.push_back({"r" + std::to_string(r), 10 + r, false});
  }
  int fresh = 0;
  for (int step = 0; step < 400; ++step) {
    const int rows = grid.Rows();
    const int op = static_cast<int>(random() % 6);
    if (op == 0 && rows > 1) {
      const int d = 1 + static_cast<int>(random() % rows);
      const int to = 1 + static_cast<int>(random() % rows);
      const int from = grid.GetDisplayRowOf(d);
      grid.SetDisplayRowOf(d, to);
      const ShownRow moved = model[from - 1];
      model.erase(model.begin() + (from - 1));
      model.insert(model.begin() + (to - 1), moved);
    } else if (op == 1 && rows > 0) {
      const int from = 1 + static_cast<int>(random() % rows);
      const int to = std::min(rows, from + static_cast<int>(random() % 4));
      std::vector<std::string> gone;
      for (int d = from; d <= to; ++d)
        gone.push_back(grid.GetCell(1, d).toString());
      grid.DeleteRows(from, to);
      std::erase_if(model, [&](const ShownRow &row) {
        return std::find(gone.begin(), gone.end(), row.text) != gone.end();
      });
    } else if (op == 2 && rows > 0) {
      const int p = 1 + static_cast<int>(random() % rows);
      grid.SelectRows(p, p);
      model[p - 1].selected = true;
    } else if (op == 3 && grid.RowSelection().Count > 0) {
      grid.DeleteSelectedRows();
      std::erase_if(model, [](const ShownRow &row) { return row.selected; });
    } else if (op == 4) {
      const int p = 1 + static_cast<int>(random() % (rows + 1));
      grid.InsertRow(p);
      const std::string text = "n" + std::to_string(++fresh);
      grid.SetCell(1, grid.Rows(), Variant(text));
      model.insert(model.begin() + (p - 1), {text, grid.DefaultRowHeight(), false});
    } else if (op == 5 && rows > 4) {
      // Shrinking drops the highest data rows wherever they are shown.
      const int keep = rows - 1 - static_cast<int>(random() % 3);
      std::vector<std::string> gone;
      for (int d = keep + 1; d <= rows; ++d)
        gone.push_back(grid.GetCell(1, d).toString());
      grid.SetRows(keep);
      std::erase_if(model, [&](const ShownRow &row) {
        return std::find(gone.begin(), gone.end(), row.text) != gone.end();
      });
    }
    ASSERT_EQ(grid.Rows(), static_cast<int>(model.size())) << "step " << step;
    for (int p = 1; p <= grid.Rows(); ++p) {
      const int d = grid.GetDataRow(p);
      ASSERT_EQ(grid.GetDisplayRowOf(d), p) << "step " << step;
      ASSERT_EQ(grid.GetCell(1, d).toString(), model[p - 1].text) << "step " << step;
      ASSERT_EQ(grid.RowHeights(p), model[p - 1].height) << "step " << step;
      ASSERT_EQ(grid.RowSelected(d), model[p - 1].selected) << "step " << step;
    }
    ASSERT_LE(grid.Row(), std::max(1, grid.Rows())) << "step " << step;
  }
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(DataGridObjects, ColumnsByNumberOrFieldName) {
  TdgGrid grid;
  grid.SetName("Grid1");
  for (int c = 1; c <= 4; ++c)
    grid.GetCol(Variant(std::int32_t(c)))->SetFieldName("F" + std::to_string(c));
  grid.GetCol(Variant(std::int32_t(2)))->SetFieldName("Path");
  EXPECT_EQ(grid.GetCol(Variant("path")), grid.GetCol(Variant(std::int32_t(2))));
  EXPECT_EQ(errorOf([&] { grid.GetCol(Variant(std::int32_t(0))); }),
            "Grid1: Column index 0 out of range");
  EXPECT_EQ(errorOf([&] { grid.GetCol(Variant(std::int32_t(5))); }),
            "Grid1: Column index 5 out of range");
  EXPECT_EQ(errorOf([&] { grid.GetCol(Variant("")); }), "Grid1: Unknown field name ''");
  grid.SetRaiseErrors(false);
  EXPECT_EQ(grid.GetCol(Variant(std::int32_t(0))), nullptr);
  EXPECT_EQ(grid.GetCol(Variant("nothing")), nullptr);
}

// The lines shown are the shown lines that are left, wherever the others
// went: no position beyond the grid is painted or scrolled to.
TEST(DataGridObjects, HiddenLinesStayHiddenWhenOthersGo) {
  TdgGrid grid;
  fill(grid, 5);
  grid.SetCols(5);
  showDataGrid(grid, 400, 300);
  std::vector<std::string> failures;
  setGridExceptionReporter([&](const std::exception &e) { failures.emplace_back(e.what()); });
  grid.SetRowVisible(4, false);
  grid.DeleteRows(1, 1);
  EXPECT_EQ(grid.LastVisibleRow(), 4);
  EXPECT_EQ(grid.RowAt(grid.RowTop(2) + 14 + 2), 4) << "the hidden row 3 is passed over";
  grid.GetCol(Variant(std::int32_t(1)))->SetVisible(false);
  grid.SetCols(2);
  EXPECT_EQ(grid.ColumnAt(grid.ColumnLeft(2) + 70), -1) << "nothing right of the last column";
  grid.viewport()->grab();
  setGridExceptionReporter(nullptr);
  EXPECT_TRUE(failures.empty()) << failures.front();
}

TEST(DataGridObjects, HiddenRowsAreSkippedAndNeverSelected) {
  TdgGrid grid;
  fill(grid, 5);
  grid.SetRowVisible(2, true);
  EXPECT_EQ(grid.RowStore().Item(2), nullptr) << "showing a shown row makes no row object";
  EXPECT_TRUE(grid.GetRowVisible(2));
  grid.SetRowVisible(3, false);
  EXPECT_FALSE(grid.GetRowVisible(3));
  EXPECT_EQ(grid.RowHeights(3), 0);
  grid.SelectRows(1, 5);
  EXPECT_EQ(grid.RowSelection().Count, 4);
  EXPECT_FALSE(grid.RowSelected(3));
  // The hidden row keeps its object, its height and its number through a
  // deletion above it.
  grid.DeleteRows(1, 1);
  EXPECT_FALSE(grid.GetRowVisible(2));
  EXPECT_EQ(grid.RowHeights(grid.GetDisplayRowOf(2)), 0);
  EXPECT_EQ(grid.GetCell(1, 2).toString(), "r3");
}

// A row object made after rows moved starts from its own row's height, not
// from the height of the row shown at its number.
TEST(DataGridObjects, ARowObjectMadeAfterMovesTakesItsOwnHeight) {
  TdgGrid grid;
  fill(grid, 5);
  grid.SetRowHeights(2, 30);
  grid.SetDisplayRowOf(2, 3);
  ASSERT_EQ(grid.RowHeights(3), 30);
  grid.SetRowColor(3, 0x00FF00);
  EXPECT_EQ(grid.GetRowHeight(3), grid.DefaultRowHeight());
  EXPECT_EQ(grid.RowHeights(grid.GetDisplayRowOf(3)), grid.DefaultRowHeight());
}

TEST(DataGridObjects, ControlTypesChooseTheStoredKind) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.GetCol(Variant(std::int32_t(2)))->SetControlType(ctCheck);
  grid.SetCell(2, 1, Variant::Null());
  grid.SetCell(2, 2, Variant(std::int32_t(1)));
  grid.SetCell(2, 3, Variant(std::u16string(u"Yes")));
  EXPECT_EQ(grid.Storage()->GetKind(2, 1), ckNull);
  EXPECT_EQ(grid.Storage()->GetKind(2, 2), ckInteger);
  EXPECT_EQ(grid.Storage()->GetKind(2, 3), ckText);
  EXPECT_EQ(grid.GetCell(2, 3).type(), varString);
  EXPECT_TRUE(grid.GetCell(2, 1).isNull());
}

// A cell given a control type of its own keeps only the values it can show:
// a picture cell drops a text, a text cell a check state.
TEST(DataGridObjects, ACellsNewControlTypeDropsWhatItCannotShow) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.SetCell(2, 2, Variant(std::string("abc")));
  grid.SetCell(2, 3, Variant(std::string("abc")));
  grid.SetCellProperty(2, 2, pnControlType, Variant(std::int32_t(ctText)));
  EXPECT_EQ(grid.Storage()->GetKind(2, 2), ckText) << "a value that fits stays";
  grid.SetCellProperty(2, 2, pnControlType, Variant(std::int32_t(ctPicture)));
  EXPECT_EQ(grid.Storage()->GetKind(2, 2), ckEmpty);
  EXPECT_EQ(grid.Storage()->GetKind(2, 3), ckText) << "the cell below is not touched";
  grid.SetCellProperty(3, 1, pnControlType, Variant(std::int32_t(ctCheck)));
  grid.SetCell(3, 1, Variant(std::int32_t(1)));
  grid.SetCellProperty(3, 1, pnControlType, Variant(std::int32_t(ctText)));
  EXPECT_EQ(grid.Storage()->GetKind(3, 1), ckEmpty);
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// Row 1's texts in display order of the columns.
std::vector<std::string> columnTexts(TdgGrid &grid) {
  std::vector<std::string> texts;
  for (int p = 1; p <= grid.Cols(); ++p)
    texts.push_back(grid.GetCell(grid.DataColAt(p), 1).toString());
  return texts;
}

// The lines met walking across (or down) the shown grid, each once.
std::vector<int> linesShown(TdgGrid &grid, bool rows) {
  std::vector<int> lines;
  const int extent = rows ? grid.ClientHeight() : grid.ClientWidth();
  for (int at = 0; at < extent; ++at) {
    const int line = rows ? grid.RowAt(at) : grid.ColumnAt(at);
    if (line >= 0 && (lines.empty() || lines.back() != line))
      lines.push_back(line);
  }
  return lines;
}

TEST(DataGridColumns, HiddenLinesStayHiddenAndNewOnesShowAsCountsChange) {
  TdgGrid grid;
  grid.SetCols(4);
  grid.SetRows(4);
  showDataGrid(grid, 600, 300);
  grid.GetCol(Variant(std::int32_t(1)))->SetVisible(false);
  grid.SetRowVisible(1, false);
  grid.SetCols(6);
  grid.SetRows(6);
  EXPECT_EQ(linesShown(grid, false), (std::vector<int>{0, 2, 3, 4, 5, 6}));
  EXPECT_EQ(linesShown(grid, true), (std::vector<int>{0, 2, 3, 4, 5, 6}));
  grid.DeleteCols(3, 4);
  grid.DeleteRows(3, 4);
  EXPECT_EQ(linesShown(grid, false), (std::vector<int>{0, 2, 3, 4}));
  EXPECT_EQ(linesShown(grid, true), (std::vector<int>{0, 2, 3, 4}));
  // Only the hidden lines left: nothing but the heading and the row bar shows.
  grid.DeleteCols(2, 4);
  grid.DeleteRows(2, 4);
  grid.repaint();
  EXPECT_EQ(linesShown(grid, false), std::vector<int>{0});
  EXPECT_EQ(linesShown(grid, true), std::vector<int>{0});
}

TEST(DataGridColumns, ShrinkingAfterMovesTakesTheColumnsAway) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.SetCols(6);
  for (int c = 1; c <= 6; ++c) {
    grid.SetCell(c, 1, Variant("c" + std::to_string(c)));
    grid.GetCol(Variant(std::int32_t(c)))->SetFieldName("F" + std::to_string(c));
  }
  grid.SetColWidths(grid.DisplayColOf(2), 33);
  grid.moveColumn(6, 1); // data column 6 shown first
  grid.moveColumn(3, 5); // data column 2 shown at 5
  EXPECT_EQ(columnTexts(grid), (std::vector<std::string>{"c6", "c1", "c3", "c4", "c2", "c5"}));
  grid.SetCols(4);
  EXPECT_EQ(columnTexts(grid), (std::vector<std::string>{"c1", "c3", "c4", "c2"}));
  for (int p = 1; p <= 4; ++p) {
    const int d = grid.DataColAt(p);
    ASSERT_GE(d, 1);
    ASSERT_LE(d, 4);
    EXPECT_EQ(grid.DisplayColOf(d), p);
    EXPECT_EQ(grid.GetCol(Variant(std::int32_t(d)))->FieldName(), "F" + std::to_string(d));
  }
  EXPECT_EQ(grid.ColWidths(grid.DisplayColOf(2)), 33) << "the width stays with its column";
}

TEST(DataGridColumns, DeletingSelectedColumnsRenumbersTheRest) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.SetCols(5);
  for (int c = 1; c <= 5; ++c)
    grid.SetCell(c, 2, Variant("c" + std::to_string(c)));
  std::vector<int> deleted;
  grid.OnDeleteCol = [&](TdgBaseGrid *, int col, bool) {
    deleted.push_back(col);
    // A handler finds the grid whole: every shown column has its data column.
    EXPECT_EQ(grid.ColCount(), grid.Cols() + 1);
    for (int p = 1; p < grid.ColCount(); ++p)
      EXPECT_GE(grid.DataColAt(p), 1);
  };
  grid.ToggleCols(2, 4);
  grid.ToggleCols(3, 3);
  EXPECT_EQ(grid.ColSelection().Count, 2);
  EXPECT_EQ(grid.GridStatus(), gsColsSelected);
  grid.DeleteSelectedCols();
  EXPECT_EQ(deleted, (std::vector<int>{4, 2}));
  EXPECT_EQ(grid.Cols(), 3);
  EXPECT_EQ(grid.GetCell(2, 2).toString(), "c3");
  EXPECT_EQ(grid.GetCell(3, 2).toString(), "c5");
  grid.DeleteCols(0, 0);
  grid.DeleteCols(2, 9);
  EXPECT_EQ(deleted, (std::vector<int>{4, 2, 3, 2}));
  EXPECT_EQ(grid.Cols(), 1);
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(DataGridProperties, EachLevelPassesOnItsDefault) {
  TdgGrid grid;
  grid.SetRows(3);
  TdgCol *col = grid.GetCol(Variant(std::int32_t(2)));
  col->SetColor(0x0000FF);
  grid.SetRowColor(2, 0x00FF00);
  EXPECT_EQ(grid.RowStore().Item(1), nullptr);
  grid.SetRowColor(1, clNone);
  EXPECT_EQ(grid.RowStore().Item(1), nullptr) << "a default makes no row object";
  EXPECT_EQ(grid.EffectiveColor(2, 2, false), 0x0000FF);
  grid.SetDrawOverlap(doDrawRowOnTop);
  EXPECT_EQ(grid.EffectiveColor(2, 2, false), 0x00FF00);
  EXPECT_EQ(grid.EffectiveColor(3, 3, false), clWindow);
  EXPECT_EQ(grid.EffectiveColor(3, 3, true), clBtnFace);
  EXPECT_EQ(grid.EffectiveColor(2, 0, false), clBtnFace);
  grid.SetCellProperty(2, 2, pnColor, Variant(std::int32_t(0x123456)));
  EXPECT_EQ(grid.EffectiveColor(2, 2, false), 0x123456);
  grid.SetRowColor(2, clNone);
  EXPECT_EQ(grid.RowStore().Item(2), nullptr) << "a row back at its defaults is freed";
  grid.SetRowHeight(3, grid.DefaultRowHeight());
  grid.SetRowWordWrap(3, wwDefault);
  EXPECT_EQ(grid.RowStore().Item(3), nullptr);
  grid.SetRowIs3D(3, true);
  EXPECT_TRUE(grid.EffectiveIs3D(1, 3));
  EXPECT_EQ(grid.EffectiveColor(1, 3, grid.EffectiveIs3D(1, 3)), clBtnFace);
  grid.SetName("Grid1");
  EXPECT_EQ(errorOf([&] { grid.GetRowColor(0); }), "Grid1: Row index 0 out of range");
  grid.SetRaiseErrors(false);
  EXPECT_EQ(grid.GetRowColor(0), clNone);
  EXPECT_FALSE(grid.GetRowReadOnly(99));
  EXPECT_EQ(grid.EffectiveHorzAlignment(1, 1), htaLeft);
  EXPECT_FALSE(grid.EffectiveIs3D(1, 1));
  EXPECT_TRUE(grid.EffectiveIs3D(1, 0));
  EXPECT_EQ(&grid.EffectiveFont(1, 1), &grid.Font());
  EXPECT_EQ(grid.GetCellProperty(1, 1, pnSpinIncrement).toDouble(), 1.0);
  EXPECT_EQ(grid.CellProps().Count(), 1);
}

// A text that names no check states is refused by the grid as by a column,
// and never replaces the values in force, whether errors are raised or not.
TEST(DataGridProperties, TheSelectionPatternFollowsTheColours) {
  TdgGrid grid;
  grid.SetSelectionColor(0x0000FF);
  const QImage *pattern = grid.UpdateSelectionPattern(true);
  ASSERT_NE(pattern, nullptr);
  EXPECT_EQ(pattern->pixel(0, 0), qRgb(255, 0, 0));
  grid.SetSelectionColor(clNone);
  EXPECT_EQ(grid.SelectionPattern().Bitmap(), nullptr) << "no colour, no pattern";
  grid.SetFocusColor(0x00FF00);
  EXPECT_EQ(grid.UpdateSelectionPattern(false), nullptr);
  pattern = grid.UpdateSelectionPattern(true);
  ASSERT_NE(pattern, nullptr) << "made on the next request";
  EXPECT_EQ(pattern->pixel(0, 0), qRgb(0, 255, 0));
}

// A bad text raises; with errors off the grid stores it all the same while a
// column keeps its values.
TEST(DataGridProperties, BadCheckBoxValuesRaiseAndOnlyTheGridStoresThemQuietly) {
  TdgGrid grid;
  grid.SetName("Grid1");
  TdgCol &col = *grid.GetCol(Variant(std::int32_t(1)));
  struct Level {
    const char *name;
    std::function<void(const std::string &)> set;
    std::function<std::string()> get;
    const char *quietlyStored;
  };
  const Level levels[] = {
      {"grid", [&](const std::string &v) { grid.SetCheckBoxValues(v); },
       [&] { return grid.CheckBoxValues(); }, "On|Off|Both|More"},
      {"column", [&](const std::string &v) { col.SetCheckBoxValues(v); },
       [&] { return col.CheckBoxValues(); }, "Yes|No"},
  };
  for (const Level &level : levels) {
    grid.SetRaiseErrors(true);
    level.set("Yes|No");
    EXPECT_EQ(errorOf([&] { level.set("Yes"); }),
              "Grid1: Invalid CheckBoxValues. CheckBoxValues have the format "
              "'Checked|Unchecked|Grayed'. The Grayed value is optional")
        << level.name;
    EXPECT_EQ(level.get(), "Yes|No") << level.name;
    grid.SetRaiseErrors(false);
    level.set("On|Off|Both|More");
    EXPECT_EQ(level.get(), level.quietlyStored) << level.name;
    level.set("");
    EXPECT_EQ(level.get(), "") << level.name;
  }
}

// Each row accessor answers its default for a row without settings, makes a
// row object only for a value of its own, and reports a bad row.
TEST(DataGridProperties, RowAccessorsAnswerDefaultsAndMakeObjectsOnlyForOwnValues) {
  TdgGrid grid;
  grid.SetName("Grid1");
  grid.SetRows(3);
  TFont courier;
  courier.SetName("Courier New");
  TdgDateTimeDefComponent dates;
  struct Case {
    const char *name;
    std::function<void(int row, bool own)> set;
    std::function<bool(int row)> hasOwn;
  };
  const Case cases[] = {
      {"Font", [&](int r, bool own) { grid.SetRowFont(r, own ? &courier : nullptr); },
       [&](int r) { return grid.GetRowFont(r) && grid.GetRowFont(r)->Name() == "Courier New"; }},
      {"ParentFont", [&](int r, bool own) { grid.SetRowParentFont(r, !own); },
       [&](int r) { return !grid.GetRowParentFont(r); }},
      {"KeepOwnFonts", [&](int r, bool own) { grid.SetRowKeepOwnFonts(r, own); },
       [&](int r) { return grid.GetRowKeepOwnFonts(r); }},
      {"Align", [&](int r, bool own) { grid.SetRowAlign(r, own); },
       [&](int r) { return grid.GetRowAlign(r); }},
      {"Alignment", [&](int r, bool own) { grid.SetRowAlignment(r, own ? 2 : 0); },
       [&](int r) { return grid.GetRowAlignment(r) == 2; }},
      {"HorzAlignment",
       [&](int r, bool own) { grid.SetRowHorzAlignment(r, own ? htaRight : htaDefault); },
       [&](int r) { return grid.GetRowHorzAlignment(r) == htaRight; }},
      {"VertAlignment",
       [&](int r, bool own) { grid.SetRowVertAlignment(r, own ? vtaCenter : vtaDefault); },
       [&](int r) { return grid.GetRowVertAlignment(r) == vtaCenter; }},
      {"MaskName", [&](int r, bool own) { grid.SetRowMaskName(r, own ? "Date" : ""); },
       [&](int r) { return grid.GetRowMaskName(r) == "Date"; }},
      {"ParentCombo", [&](int r, bool own) { grid.SetRowParentCombo(r, !own); },
       [&](int r) { return !grid.GetRowParentCombo(r); }},
      {"StretchPicture",
       [&](int r, bool own) { grid.SetRowStretchPicture(r, own ? dopOff : dopDefault); },
       [&](int r) { return grid.GetRowStretchPicture(r) == dopOff; }},
      {"ShrinkPicture",
       [&](int r, bool own) { grid.SetRowShrinkPicture(r, own ? dopOff : dopDefault); },
       [&](int r) { return grid.GetRowShrinkPicture(r) == dopOff; }},
      {"CenterPicture",
       [&](int r, bool own) { grid.SetRowCenterPicture(r, own ? dopOff : dopDefault); },
       [&](int r) { return grid.GetRowCenterPicture(r) == dopOff; }},
      {"KeepAspectRatio",
       [&](int r, bool own) { grid.SetRowKeepAspectRatio(r, own ? dopOn : dopDefault); },
       [&](int r) { return grid.GetRowKeepAspectRatio(r) == dopOn; }},
      {"SpinOptions", [&](int r, bool own) { grid.SetRowSpinOptions(r, own ? 0 : allSpinOptions); },
       [&](int r) { return grid.GetRowSpinOptions(r) == 0; }},
      {"SpinIncrement", [&](int r, bool own) { grid.SetRowSpinIncrement(r, own ? 2.5 : 1.0); },
       [&](int r) { return grid.GetRowSpinIncrement(r) == 2.5; }},
      {"DateTimeDef", [&](int r, bool own) { grid.SetRowDateTimeDef(r, own ? &dates : nullptr); },
       [&](int r) { return grid.GetRowDateTimeDef(r) == &dates; }},
      {"DropDownStyle",
       [&](int r, bool own) { grid.SetRowDropDownStyle(r, own ? ddDropDownList : ddDropDown); },
       [&](int r) { return grid.GetRowDropDownStyle(r) == ddDropDownList; }},
  };
  for (const Case &c : cases) {
    EXPECT_FALSE(c.hasOwn(1)) << c.name;
    c.set(1, false);
    EXPECT_EQ(grid.RowStore().Item(1), nullptr) << c.name << ": a default made a row object";
    c.set(2, true);
    EXPECT_TRUE(c.hasOwn(2)) << c.name;
    EXPECT_NE(grid.RowStore().Item(2), nullptr) << c.name;
    EXPECT_EQ(errorOf([&] { c.hasOwn(0); }), "Grid1: Row index 0 out of range") << c.name;
    EXPECT_EQ(errorOf([&] { c.set(4, true); }), "Grid1: Row index 4 out of range") << c.name;
  }
  EXPECT_EQ(grid.GetRowCombo(3), nullptr);
  TdgCombo &combo = grid.RowStore().EnsureRowObject(3).EnsureCombo();
  EXPECT_EQ(grid.GetRowCombo(3), &combo);

  // Order positions ascend with the data rows and stay with a row whose
  // number changes.
  const int second = grid.GetRowOrderPosition(2), third = grid.GetRowOrderPosition(3);
  EXPECT_LT(grid.GetRowOrderPosition(1), second);
  EXPECT_LT(second, third);
  grid.DeleteRows(1, 1);
  EXPECT_EQ(grid.DataRowOfOrderPosition(second), 1);
  EXPECT_EQ(grid.DataRowOfOrderPosition(third), 2);
  EXPECT_EQ(grid.DataRowOfOrderPosition(second - 1), -1);
  EXPECT_EQ(errorOf([&] { grid.GetRowOrderPosition(0); }), "Grid1: Row index 0 out of range");
  grid.SetRaiseErrors(false);
  EXPECT_EQ(grid.GetRowOrderPosition(0), -1);
}

// The one-element cache must never answer a freed element or hide a new one.
TEST(DataGridProperties, CacheFollowsElementsThroughChanges) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.SetRows(6);
  EXPECT_EQ(grid.CellElement(2, 3, false), nullptr);
  grid.SetCellProperty(2, 3, pnControlType, Variant(std::int32_t(ctCheck)));
  EXPECT_NE(grid.CellElement(2, 3, false), nullptr);
  EXPECT_EQ(grid.CellControlType(2, 3), ctCheck);
  grid.SetCellProperty(2, 3, pnControlType, Variant(std::int32_t(ctDefault)));
  EXPECT_EQ(grid.CellElement(2, 3, false), nullptr) << "a freed element is not answered";
  grid.SetCellProperty(2, 4, pnColor, Variant(std::int32_t(0xFF)));
  grid.SetCellProperty(2, 6, pnColor, Variant(std::int32_t(0xFE)));
  EXPECT_EQ(grid.EffectiveColor(2, 4, false), 0xFF);
  grid.DeleteRows(2, 2);
  EXPECT_EQ(grid.EffectiveColor(2, 3, false), 0xFF) << "row 4 is now row 3";
  EXPECT_EQ(grid.EffectiveColor(2, 5, false), 0xFE);
  EXPECT_EQ(grid.EffectiveColor(2, 4, false), clWindow);
  grid.SetCols(1);
  EXPECT_EQ(grid.CellProps().Count(), 0) << "a removed column takes its cells' properties";
  EXPECT_EQ(grid.CellElement(2, 3, false), nullptr);
}

TEST(DataGridProperties, CellFontsAppearOnlyWhereTheyMatter) {
  TdgGrid grid;
  EXPECT_EQ(grid.GetCellFont(1, 1), nullptr) << "no element, not loading: no font";
  TFont courier;
  courier.SetName("Courier New");
  grid.SetCellFont(2, 2, &courier);
  ASSERT_NE(grid.GetCellFont(2, 2), nullptr);
  EXPECT_EQ(grid.GetCellFont(2, 2)->Name(), "Courier New");
  EXPECT_FALSE(grid.GetCellProperty(2, 2, pnParentFont).toBoolean());
  grid.SetCellFont(2, 2, nullptr);
  EXPECT_EQ(grid.CellProps().Count(), 0) << "dropping the only setting frees the element";

  // A reader sets the font's properties on what the getter gives it.
  grid.beginLoad();
  TFont *given = grid.GetCellFont(3, 1);
  ASSERT_NE(given, nullptr);
  EXPECT_EQ(given->Name(), grid.Font().Name());
  given->SetSize(given->Size() + 4);
  grid.endLoad();
  EXPECT_EQ(grid.GetCellFont(3, 1)->Size(), grid.Font().Size() + 4);

  // A cell keeping its own font gets a copy even while it follows its parents,
  // and such a font is never written.
  TdgCustomPropElement *element = nullptr;
  grid.CellProps().SetKeepOwnFonts(CellKeys{1, 3}, true, element);
  ASSERT_NE(grid.GetCellFont(1, 3), nullptr);
  EXPECT_TRUE(grid.GetCellProperty(1, 3, pnParentFont).toBoolean());
  grid.beginSave();
  EXPECT_EQ(grid.GetCellFont(1, 3), nullptr);
  EXPECT_NE(grid.GetCellFont(3, 1), nullptr);
  grid.endSave();
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

std::vector<int> displayedCols(TdgGrid &grid) {
  std::vector<int> cols;
  for (int p = 1; p <= grid.Cols(); ++p)
    cols.push_back(grid.DataColAt(p));
  return cols;
}

TEST(DataGridEvents, SelectedColumnsGatherAtTheTarget) {
  struct Case {
    int first, second, from, to;
    std::vector<int> order;
    std::pair<int, int> moved;
  };
  const Case cases[] = {
      {2, 5, 5, 3, {1, 2, 5, 3, 4, 6, 7, 8}, {2, 2}},
      {6, 8, 6, 3, {1, 2, 6, 8, 3, 4, 5, 7}, {3, 2}},
  };
  for (const Case &c : cases) {
    TdgGrid grid;
    grid.SetCols(8);
    std::vector<std::pair<int, int>> moves;
    grid.OnColMoved = [&](TdgBaseGrid *, int to, int count, bool byUser) {
      EXPECT_TRUE(byUser);
      moves.emplace_back(to, count);
    };
    grid.MoveCols(3, 3);
    grid.SelectCols(c.first, c.first);
    grid.SelectCols(c.second, c.second);
    grid.MoveCols(c.from, c.to);
    EXPECT_EQ(displayedCols(grid), c.order);
    EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{c.moved}));
  }
}

TEST(DataGridEvents, FireOnlyWhenAssignedAndQuietOnesNotWhileLoading) {
  TdgGrid grid;
  grid.SetName("Grid1");
  grid.SetRows(40);
  grid.resize(200, 200);
  grid.show();
  int resized = 0;
  std::vector<std::vector<int>> topLeft;
  grid.OnColResized = [&](TdgBaseGrid *, int n) { resized += n; };
  grid.OnTopLeftChanged = [&](TdgBaseGrid *, int oc, int orow, int nc, int nr, bool) {
    topLeft.push_back({oc, orow, nc, nr});
  };
  grid.beginLoad();
  grid.SetColWidths(2, 30);
  grid.SetTopRow(5);
  grid.endLoad();
  EXPECT_EQ(resized, 0);
  EXPECT_TRUE(topLeft.empty());
  grid.SetColWidths(2, 40);
  EXPECT_EQ(resized, -1);
  grid.SetTopRow(5);
  grid.SetTopRow(7);
  EXPECT_EQ(topLeft, (std::vector<std::vector<int>>{{1, 5, 1, 7}}));
  EXPECT_EQ(errorOf([&] { grid.TdgBaseGrid::CreateCombo(); }),
            "Grid1: Cannot create combo box. Method CreateCombo has not been not implemented in "
            "derived class");
  EXPECT_EQ(errorOf([&] { grid.TdgBaseGrid::CreateComboGrid(); }),
            "Grid1: Cannot create combo box. Method CreateComboGrid has not been not implemented "
            "in derived class");
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(DataGridSelection, RangesAreOrderedClampedAndModesTrimThem) {
  TdgGrid grid;
  fill(grid, 8);
  showDataGrid(grid, 300, 200);
  grid.SelectRows(0, 0);
  EXPECT_EQ(grid.RowSelection().Count, 0);
  grid.SelectRows(5, 2);
  EXPECT_EQ(grid.RowSelection().Count, 4);
  EXPECT_EQ(grid.GridStatus(), gsRowsSelected);
  grid.FireSelectChanged(false);
  std::vector<int> types;
  grid.OnSelectChanged = [&](TdgBaseGrid *, TdgSelectType type, bool) { types.push_back(type); };
  grid.SetCurrentDataRow(3);
  grid.SetRowSelectMode(rsSingle);
  EXPECT_EQ(grid.RowSelection().Count, 1);
  EXPECT_TRUE(grid.RowSelected(3));
  EXPECT_EQ(types, (std::vector<int>{stRows})) << "one notice per type and operation";
  grid.SetCurrentDataRow(7);
  grid.SetRowSelectMode(rsMulti);
  grid.SetRowSelectMode(rsSingle);
  EXPECT_EQ(grid.RowSelection().Count, 0) << "without the current row nothing stays selected";
  EXPECT_EQ(grid.GridStatus(), gsNothing);
  EXPECT_TRUE(grid.EditorShown()) << "the editor is back over the current cell";
  grid.SetRowSelectMode(rsMulti);
  grid.SetGridMode(gmListBox);
  grid.SetRowSelectMode(rsSingle);
  EXPECT_TRUE(grid.RowSelected(7)) << "a list box of single rows shows its current row selected";
}

// The files grid's own operations, built on cells alone: add a row, insert
// one after the current row, copy a row, delete the selection, and sort by
// swapping the cells of two rows.
TEST(DataGridRoads, TheFilesGridKeepsItsListWithCellsAlone) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.SetCols(2);
  grid.SetRows(0);
  auto add = [&](const std::string &path, const std::string &mask) {
    grid.SetRows(grid.Rows() + 1);
    grid.SetCell(1, grid.Rows(), Variant(path));
    grid.SetCell(2, grid.Rows(), Variant(mask));
  };
  add("/data/b", "*.txt");
  add("/data/a", "*.log");
  grid.SetCurrentDataRow(1);
  grid.InsertRow(grid.GetDisplayRowOf(grid.GetCurrentDataRow()) + 1);
  grid.SetCell(1, grid.Rows(), Variant("/data/c"));
  // Copy the current row to the end.
  const int from = grid.GetCurrentDataRow();
  grid.SetRows(grid.Rows() + 1);
  for (int c = 1; c <= 2; ++c)
    grid.SetCell(c, grid.Rows(), grid.GetCell(c, from));
  // Sort by path, swapping cells in data order.
  for (int i = 1; i <= grid.Rows(); ++i)
    for (int j = i + 1; j <= grid.Rows(); ++j)
      if (grid.GetCell(1, j).toString() < grid.GetCell(1, i).toString())
        for (int c = 1; c <= 2; ++c) {
          const Variant v = grid.GetCell(c, i);
          grid.SetCell(c, i, grid.GetCell(c, j));
          grid.SetCell(c, j, v);
        }
  grid.SelectRows(grid.GetDisplayRowOf(1), grid.GetDisplayRowOf(1));
  grid.DeleteSelectedRows();
  std::vector<std::string> written;
  for (int p = 1; p <= grid.Rows(); ++p) {
    const int d = grid.GetDataRow(p);
    written.push_back(grid.GetCell(1, d).toString() + "|" + grid.GetCell(2, d).toString());
  }
  // Sorting swapped values among data rows; the shown order stayed.
  EXPECT_EQ(written, (std::vector<std::string>{"/data/b|*.txt", "/data/b|*.txt", "/data/c|"}));
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// Every published property of a new grid stands at its declared default,
// so a form stream of a fresh grid carries only Version.
TEST(DataGridDefaults, ANewGridHoldsEveryPublishedDefault) {
  TdgGrid grid;
  for (const PublishedProperty &p : grid.publishedProperties()) {
    if (p.defaultValue.isEmpty())
      continue;
    EXPECT_TRUE(p.get(grid) == p.defaultValue) << p.name;
  }
  struct Case {
    const char *what;
    int value, expected;
  };
  const Case cases[] = {
      {"FixedCols", grid.FixedCols(), 1},
      {"FixedRows", grid.FixedRows(), 1},
      {"GridLineWidth", grid.GridLineWidth(), 0},
      {"Options", grid.Options().bits, 0},
      {"Color", grid.Color(), clWindow},
      {"HeadingColor", grid.HeadingColor(), clBtnFace},
      {"GridStatus", grid.GridStatus(), gsNothing},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.value, c.expected) << c.what;
  EXPECT_EQ(&grid.ActiveControl(), static_cast<TdgCustomGridControl *>(&grid.EditControl()));
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// Records what each paint was asked to cover.
struct PaintRecordingGrid : TdgGrid {
  QRegion painted;
  void paintEvent(QPaintEvent *e) override {
    painted += e->region();
    TdgGrid::paintEvent(e);
  }
};

TEST(DataGridSelection, AChangeRepaintsOnlyTheVisibleRowsWhoseLookChanged) {
  PaintRecordingGrid grid;
  grid.SetRows(1000);
  grid.resize(300, 200);
  grid.show();
  QApplication::processEvents();
  grid.SelectRows(2, 2);
  grid.SelectRows(5, 5);
  grid.SelectRows(900, 950);
  QApplication::processEvents();
  grid.painted = QRegion();
  grid.ClearRowSelection();
  QApplication::processEvents();
  auto rowBand = [&](int row) {
    const TRect r = grid.CellRect(1, row);
    return QRect(1, r.Top + 1, 1, r.Bottom - r.Top - 2);
  };
  EXPECT_TRUE(grid.painted.intersects(rowBand(2)));
  EXPECT_TRUE(grid.painted.intersects(rowBand(5)));
  EXPECT_FALSE(grid.painted.intersects(rowBand(3))) << "unchanged rows between stay";
  EXPECT_FALSE(grid.painted.intersects(rowBand(4)));
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

std::vector<int> visibleList(TdgGrid &grid) {
  std::vector<int> list;
  for (int pos = 1; pos <= grid.visibleRows().VisibleCount(); ++pos)
    list.push_back(grid.visibleRows().Get(pos));
  return list;
}

std::vector<int> shownRows(TdgGrid &grid) {
  std::vector<int> rows;
  for (int p = 1; p <= grid.Rows(); ++p)
    if (grid.GetRowVisible(grid.DataRowAt(p)))
      rows.push_back(p);
  return rows;
}

// Moves of one row, of a few selected rows and of very many selected rows
// each keep the list of shown rows in step with the rows' own flags.
TEST(DataGridMoves, TheVisibleRowListFollowsEveryKindOfMove) {
  TdgGrid grid;
  grid.SetRows(300);
  for (int d : {3, 50, 200, 299})
    grid.SetRowVisible(d, false);
  grid.MoveRows(grid.GetDisplayRowOf(3), 250);
  grid.MoveRows(260, 10);
  EXPECT_EQ(visibleList(grid), shownRows(grid));
  for (int p : {5, 40, 120})
    grid.SelectRows(p, p);
  grid.MoveRows(40, 100);
  EXPECT_EQ(visibleList(grid), shownRows(grid));
  grid.ClearRowSelection();
  for (int p = 1; p <= 300; p += 2)
    grid.SelectRows(p, p);
  grid.MoveRows(151, 20);
  EXPECT_EQ(visibleList(grid), shownRows(grid));
  grid.MoveRows(20, 280);
  EXPECT_EQ(visibleList(grid), shownRows(grid));
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// A cell answers the same default for a property whether or not it has an
// element for its other properties.
TEST(DataGridProperties, OneDefaultWithOrWithoutAnElement) {
  TdgGrid grid;
  grid.SetRows(2);
  std::vector<Variant> without;
  for (int number = pnColor; number <= pnVertAlignment; ++number)
    without.push_back(grid.GetCellProperty(1, 1, number, 1));
  grid.SetCellProperty(1, 1, pnIs3D, Variant(true));
  for (int number = pnColor; number <= pnVertAlignment; ++number) {
    if (number == pnIs3D)
      continue;
    const Variant with = grid.GetCellProperty(1, 1, number, 1);
    EXPECT_EQ(with.type(), without[std::size_t(number)].type()) << number;
    EXPECT_TRUE(VarSameValue(with, without[std::size_t(number)])) << number;
  }
}

} // namespace
} // namespace marrowen

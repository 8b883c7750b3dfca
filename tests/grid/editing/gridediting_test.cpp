#include "grid/data/colrow.h"
#include "grid/data/keys.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marrowen {
namespace {

void fill(TdgGrid &grid, int rows) {
  grid.SetStoreData(true);
  grid.SetRows(rows);
  for (int r = 1; r <= rows; ++r)
    grid.SetCell(1, r, Variant("r" + std::to_string(r)));
}

TEST(GridEditing, WithoutHandlersEveryStartEndAndUndoSucceeds) {
  TdgGrid grid;
  fill(grid, 3);
  EXPECT_TRUE(grid.StartEdit());
  EXPECT_TRUE(grid.CellEditing());
  EXPECT_TRUE(grid.EndEdit());
  EXPECT_TRUE(grid.EndRowEdit());
  EXPECT_TRUE(grid.RowChangedMark(1));
  EXPECT_TRUE(grid.StartEdit());
  EXPECT_TRUE(grid.UndoEdit(true, true));
  EXPECT_FALSE(grid.RowEditing());
}

TEST(GridEditing, TheRowBarMarksChangedRowsAsTheIndicatorSays) {
  TdgGrid grid;
  fill(grid, 3);
  ASSERT_TRUE(grid.StartEdit());
  EXPECT_FALSE(grid.RowCountsAsChanged(1)) << "riOn: only a row edit that ended marks";
  grid.EndEdit();
  grid.EndRowEdit();
  EXPECT_TRUE(grid.RowCountsAsChanged(1));
  grid.SetRowChangedMark(3, true);
  EXPECT_TRUE(grid.RowCountsAsChanged(3));
  grid.SetRowChangedIndicator(TdgGrid::riAutoReset);
  EXPECT_FALSE(grid.RowCountsAsChanged(1)) << "the marks are cleared";
  ASSERT_TRUE(grid.StartEdit());
  EXPECT_TRUE(grid.RowCountsAsChanged(1)) << "the edit in progress marks its row";
  EXPECT_FALSE(grid.RowCountsAsChanged(2));
  grid.SetRowChangedMark(1, false);
  EXPECT_FALSE(grid.RowCountsAsChanged(1)) << "clearing the current row's mark forgets its edit";
  grid.SetRowChangedIndicator(TdgGrid::riOff);
  EXPECT_FALSE(grid.RowCountsAsChanged(1));
}

TEST(GridEditing, HeadingsTakeTheGridsHeadingLookWhereTheColumnHasNone) {
  TdgGrid grid;
  grid.SetHeadingWordWrap(wwOn);
  grid.SetHeadingVertAlignment(vtaBottom);
  grid.SetHeadingHorzAlignment(htaCenter);
  EXPECT_EQ(grid.EffectiveWordWrap(1, 0), wwOn);
  EXPECT_EQ(grid.EffectiveVertAlignment(1, 0), vtaBottom);
  EXPECT_EQ(grid.EffectiveHorzAlignment(1, 0), htaCenter);
  EXPECT_EQ(grid.EffectiveWordWrap(1, 1), wwOff) << "cells keep the grid's own";
  grid.GetCol(Variant(1))->SetHeadingWordWrap(wwOff);
  grid.GetCol(Variant(1))->SetHeadingVertAlignment(vtaCenter);
  EXPECT_EQ(grid.EffectiveWordWrap(1, 0), wwOff);
  EXPECT_EQ(grid.EffectiveVertAlignment(1, 0), vtaCenter);
  grid.SetHeadingVertAlignment(vtaDefault);
  grid.SetVertAlignment(vtaBottom);
  EXPECT_EQ(grid.EffectiveVertAlignment(2, 0), vtaBottom) << "then the grid's cell alignment";
}

TEST(GridEditing, ARefusedRowEndKeepsTheCellOnlyAcrossRows) {
  TdgGrid grid;
  fill(grid, 3);
  int refusals = 0;
  grid.OnEndRowEdit = [&](TdgBaseGrid *, int, bool &cancel) {
    ++refusals;
    cancel = true;
  };
  grid.EditorValueChanged(Variant("typed"));
  grid.MoveCurrent(1, 2, true, false);
  EXPECT_EQ(grid.GetCurrentDataRow(), 1) << "the row edit may not end";
  EXPECT_EQ(refusals, 1);
  grid.MoveCurrent(3, 1, true, false);
  EXPECT_EQ(grid.Col(), 3) << "within the row the cell moves";
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "typed");
}

TEST(GridEditing, AnUndoneRowGetsItsStoredValuesBack) {
  TdgGrid grid;
  fill(grid, 3);
  grid.SetCurrentDataRow(2);
  grid.EditorValueChanged(Variant("changed"));
  EXPECT_EQ(grid.GetCell(1, 2).toString(), "changed") << "the edited value is read";
  grid.MoveCurrent(2, grid.Row(), true, false);
  grid.EditorValueChanged(Variant("also"));
  EXPECT_TRUE(grid.UndoEdit(false, true));
  EXPECT_EQ(grid.GetCell(1, 2).toString(), "r2");
  EXPECT_TRUE(grid.GetCell(2, 2).isEmpty());
  EXPECT_FALSE(grid.RowChangedMark(2));
}

TEST(GridEditing, TheInsertRowIsEnteredChangedAndLeftOnce) {
  TdgGrid grid;
  fill(grid, 2);
  grid.SetGridMode(gmEditInsert);
  ASSERT_EQ(grid.RowCount(), 4);
  std::vector<std::string> events;
  grid.OnRowCountChanged = [&](TdgBaseGrid *, int o, int n) {
    events.push_back("count " + std::to_string(o) + ">" + std::to_string(n));
  };
  grid.OnInsertRow = [&](TdgBaseGrid *, int row, bool byUser) {
    events.push_back("insert " + std::to_string(row) + (byUser ? " user" : ""));
  };
  grid.OnDeleteRow = [&](TdgBaseGrid *, int row, bool byUser) {
    events.push_back("delete " + std::to_string(row) + (byUser ? " user" : ""));
  };
  grid.MoveCurrent(1, 3, true, false);
  EXPECT_EQ(grid.Rows(), 3);
  grid.MoveCurrent(1, 1, true, false);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.RowCount(), 4) << "the insert row is back";
  EXPECT_EQ(events,
            (std::vector<std::string>{"count 2>3", "insert 3 user", "count 3>2", "delete 3 user"}));
  events.clear();
  grid.MoveCurrent(1, 3, true, false);
  grid.EditorValueChanged(Variant("new file"));
  EXPECT_EQ(grid.RowCount(), 5) << "a typed row shows the next insert row";
  grid.MoveCurrent(1, 1, true, false);
  EXPECT_EQ(grid.Rows(), 3);
  EXPECT_EQ(grid.GetCell(1, 3).toString(), "new file");
  EXPECT_EQ(events, (std::vector<std::string>{"count 2>3", "insert 3 user"}));

  // Entered again, the insert row is a data row; a smaller count from code
  // shows it once more in the place of the row taken, with the same count
  // of display rows.
  grid.MoveCurrent(1, 4, true, false);
  ASSERT_EQ(grid.Rows(), 4);
  ASSERT_EQ(grid.RowCount(), 5);
  events.clear();
  grid.SetRows(3);
  EXPECT_EQ(grid.RowCount(), 5);
  EXPECT_EQ(events, std::vector<std::string>{"count 4>3"});
  for (int p = 1; p < grid.RowCount(); ++p)
    EXPECT_EQ(grid.GetDataRow(p), p) << "every display row has its data row";
  grid.DeleteRows(1, 1);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.GetCell(1, 2).toString(), "new file");
  // Hiding the entered, unchanged row moves the current cell off it, which
  // takes the row away.
  grid.MoveCurrent(1, 1, true, false);
  grid.MoveCurrent(1, grid.RowCount() - 1, true, false);
  ASSERT_EQ(grid.Rows(), 3);
  grid.SetRowVisible(3, false);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.GetCurrentDataRow(), 2);
}

// Deleting the row being edited takes its edit along: a later undo finds
// nothing to write back into whatever row is current then.
TEST(GridEditing, DeletingTheEditedRowDropsItsEditQuietly) {
  TdgGrid grid;
  fill(grid, 4);
  grid.SetCurrentDataRow(2);
  grid.EditorValueChanged(Variant("half typed"));
  grid.SelectRows(2, 2);
  grid.DeleteSelectedRows();
  EXPECT_FALSE(grid.RowEditing());
  EXPECT_EQ(grid.GetCurrentDataRow(), 2);
  EXPECT_EQ(grid.GetCell(1, 2).toString(), "r3");
  grid.UndoEdit(true, true);
  EXPECT_EQ(grid.GetCell(1, 2).toString(), "r3");
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "r1");
}

TEST(GridEditing, AWriteIsNoEdit) {
  TdgGrid grid;
  fill(grid, 3);
  int events = 0;
  grid.OnCellEdit = [&](TdgBaseGrid *, int, int, bool) { ++events; };
  grid.OnStartRowEdit = [&](TdgBaseGrid *, int, bool &) { ++events; };
  grid.OnRowChanged = [&](TdgBaseGrid *, int, int) { ++events; };
  grid.SetCell(1, 1, Variant("written"));
  grid.SetCell(1, 2, Variant("written"));
  EXPECT_EQ(events, 0);
  EXPECT_FALSE(grid.RowEditing());
  EXPECT_FALSE(grid.RowChangedMark(1));
  EXPECT_EQ(grid.GetCurrentDataRow(), 1);
}

TEST(GridEditing, AListBoxSelectsItsCurrentRow) {
  TdgGrid grid;
  fill(grid, 4);
  grid.SetGridMode(gmListBox);
  grid.SetRowSelectMode(rsSingle);
  grid.SetCurrentDataRow(3);
  EXPECT_TRUE(grid.RowSelected(3));
  grid.SetCurrentDataRow(2);
  EXPECT_TRUE(grid.RowSelected(2));
  EXPECT_EQ(grid.RowSelection().Count, 1);
  EXPECT_EQ(grid.GridStatus(), gsRowsSelected);
}

TEST(GridEditing, TheCurrentCellAnswersForItsValue) {
  TdgGrid grid;
  fill(grid, 2);
  EXPECT_EQ(grid.CurrentCell().GetValue().toString(), "r1");
  EXPECT_TRUE(grid.CurrentCell().SetValue(Variant("set"), true, true));
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "set");
  // Its picture options: the cell's own setting, else its flag, which each
  // held value resets.
  TdgCurrentCell &current = grid.CurrentCell();
  grid.SetCellProperty(1, 1, pnPictureOptions, Variant(std::int32_t(dopOff)), 1);
  current.OptionShrink = false;
  current.OptionColor = clRed;
  EXPECT_EQ((std::vector<bool>{current.StretchPicture(), current.ShrinkPicture(),
                               current.CenterPicture(), current.KeepAspectRatio()}),
            (std::vector<bool>{false, false, true, false}));
  current.SetPending(Variant("held"));
  EXPECT_TRUE(current.ShrinkPicture());
  EXPECT_EQ(current.OptionColor, clNone);
  grid.SetRows(0);
  EXPECT_TRUE(grid.CurrentCell().GetValue().isEmpty());
  EXPECT_EQ(grid.CurrentCell().ControlType(), ctNone);
}

TEST(GridEditing, MoveToColStaysWithinTheDataColumns) {
  TdgGrid grid;
  grid.SetName("Grid1");
  fill(grid, 2);
  grid.SetGridMode(gmEditInsert);
  try {
    grid.CurrentCell().MoveToCol(grid.Cols() + 1);
    ADD_FAILURE() << "no range error";
  } catch (const EInvalidGridOperation &e) {
    EXPECT_STREQ(e.what(), "Grid1: Column index 5 out of range");
  }
  EXPECT_EQ(grid.Col(), 1);
  grid.MoveToCol(3);
  EXPECT_EQ(grid.GetCurrentDataCol(), 3);
}

TEST(GridEditing, FindersSkipHiddenAndReadOnlyPlacesButNotInAListBox) {
  TdgGrid grid;
  fill(grid, 6);
  grid.SetCols(5);
  grid.GetCol(Variant(std::int32_t(1)))->SetReadOnly(true);
  grid.GetCol(Variant(std::int32_t(4)))->SetVisible(false);
  grid.GetCol(Variant(std::int32_t(5)))->SetReadOnly(true);
  grid.SetRowReadOnly(1, true);
  grid.SetRowVisible(6, false);
  grid.SetRowReadOnly(5, true);
  EXPECT_EQ(grid.FirstCol(true), 2);
  EXPECT_EQ(grid.FirstCol(false), 1);
  EXPECT_EQ(grid.LastCol(true), 3);
  EXPECT_EQ(grid.NextCol(3, true), -1);
  EXPECT_EQ(grid.PrevCol(2, true), -1);
  EXPECT_EQ(grid.FirstRow(true), 2);
  EXPECT_EQ(grid.LastRow(true), 4);
  EXPECT_EQ(grid.LastRow(false), 5);
  grid.SetCellProperty(2, 3, pnReadOnly, Variant(std::int32_t(roOn)));
  grid.SetCellProperty(1, 4, pnReadOnly, Variant(std::int32_t(roOff)));
  int col = 0, row = 0;
  ASSERT_TRUE(grid.NextCell(3, 2, true, col, row));
  EXPECT_EQ(std::pair(col, row), std::pair(3, 3)) << "past a cell set read-only";
  ASSERT_TRUE(grid.PrevCell(2, 4, true, col, row));
  EXPECT_EQ(std::pair(col, row), std::pair(1, 4)) << "a cell may lift its column's read-only";

  grid.MoveToRow(5, true);
  EXPECT_EQ(grid.Row(), 4) << "none below, so the nearest above";
  grid.SetGridMode(gmListBox);
  EXPECT_EQ(grid.FirstCol(true), 1);
  EXPECT_EQ(grid.LastRow(true), 5);
}

TEST(GridEditing, EscapeUndoesTheCellThenTheRow) {
  TdgGrid grid;
  fill(grid, 3);
  const QKeyEvent escape(QEvent::ShortcutOverride, Qt::Key_Escape, Qt::NoModifier);
  std::uint16_t key = VK_ESCAPE;
  grid.KeyDown(key, TShiftState());
  EXPECT_EQ(key, VK_ESCAPE) << "nothing to undo: the key is left for the dialog";
  EXPECT_TRUE(grid.StartEdit());
  grid.EditorValueChanged(Variant("typed"));
  EXPECT_TRUE(grid.WantsKey(escape));
  grid.SetMouseStatus(msColSizing);
  EXPECT_FALSE(grid.WantsKey(escape));
  grid.SetMouseStatus(msNothing);
  grid.KeyDown(key, TShiftState());
  EXPECT_EQ(key, 0);
  EXPECT_FALSE(grid.CellEditing());
  EXPECT_TRUE(grid.RowEditing());
  key = VK_ESCAPE;
  grid.KeyDown(key, TShiftState());
  EXPECT_EQ(key, 0);
  EXPECT_FALSE(grid.RowEditing());
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "r1");
  EXPECT_FALSE(grid.WantsKey(escape));
}

TEST(GridEditing, AWheelTurnScrollsAtLeastOneLine) {
  struct NoWheelLines : TdgGrid {
    int WheelScrollLines() const override { return 0; }
  } grid;
  grid.SetRows(100);
  grid.resize(200, 150);
  grid.show();
  EXPECT_TRUE(grid.DoMouseWheel(TShiftState(), -120, QPoint()));
  EXPECT_EQ(grid.TopRow(), 2);
}

} // namespace
} // namespace marrowen

#include <QClipboard>

namespace marrowen {
namespace {

TEST(GridEditing, TheCurrentCellTradesTextWithTheClipboard) {
  TdgGrid grid;
  fill(grid, 2);
  grid.SetCell(1, 1, Variant("hello world"));
  EXPECT_FALSE(grid.CurrentCell().CopyToClipboard()) << "no window yet";
  grid.resize(300, 200);
  grid.show();
  QApplication::setActiveWindow(&grid);
  grid.setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(grid.EditorShown());

  grid.CurrentCell().SelectAll();
  EXPECT_TRUE(grid.CurrentCell().IsWholeTextSelected());
  ASSERT_TRUE(grid.CurrentCell().CopyToClipboard());
  EXPECT_EQ(QApplication::clipboard()->text(), "hello world");
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "hello world") << "copying is no edit";
  EXPECT_FALSE(grid.CellEditing());

  QApplication::clipboard()->setText("pasted");
  grid.CurrentCell().SelectAll();
  ASSERT_TRUE(grid.CurrentCell().CheckedPasteFromClipboard());
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "pasted");

  grid.GetCol(Variant(std::int32_t(1)))->SetReadOnly(true);
  EXPECT_FALSE(grid.CurrentCell().CutToClipboard(false));
  EXPECT_TRUE(grid.CurrentCell().CopyToClipboard());
  grid.GetCol(Variant(std::int32_t(1)))->SetControlType(ctCheck);
  EXPECT_FALSE(grid.CurrentCell().CopyToClipboard()) << "text cells only";
  EXPECT_TRUE(grid.CurrentCell().IsWholeTextSelected());
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(GridEditing, ARefusedEndOfEditKeepsCountsAndColumnsThatHoldTheCurrentCell) {
  TdgGrid grid;
  fill(grid, 5);
  grid.MoveCurrent(4, 4, true, false);
  grid.EditorValueChanged(Variant("typed"));
  grid.OnEndRowEdit = [](TdgBaseGrid *, int, bool &cancel) { cancel = true; };
  grid.SetRows(2);
  EXPECT_EQ(grid.Rows(), 5);
  EXPECT_EQ(grid.GetCurrentDataRow(), 4);
  EXPECT_EQ(grid.GetCell(4, 4).toString(), "typed");
  grid.OnEndRowEdit = nullptr;
  grid.OnEndCellEdit = [](TdgBaseGrid *, int, int, bool &cancel) { cancel = true; };
  grid.EditorValueChanged(Variant("again"));
  grid.SetCols(2);
  EXPECT_EQ(grid.Cols(), 4);
  grid.DeleteCols(4, 4);
  EXPECT_EQ(grid.Cols(), 4);
  EXPECT_EQ(grid.GetCell(4, 4).toString(), "again");
  grid.DeleteCols(1, 1);
  EXPECT_EQ(grid.Cols(), 3) << "a column the current cell is not in goes";
  EXPECT_EQ(grid.GetCurrentDataCol(), 3);
  EXPECT_EQ(grid.GetCell(3, 4).toString(), "again");
  // Rows above the edited one go: it is the same cell, renumbered, so no
  // end is asked and the refusal cannot leave it on another row.
  grid.OnEndCellEdit = nullptr;
  grid.OnEndRowEdit = [](TdgBaseGrid *, int, bool &cancel) { cancel = true; };
  grid.DeleteRows(1, 1);
  EXPECT_EQ(grid.GetCurrentDataRow(), 3);
  EXPECT_EQ(grid.GetCell(3, 3).toString(), "again");
  EXPECT_TRUE(grid.RowEditing());
}

// Values read in at once (a layout, another grid's values), or the edited
// column gone, leave the edit's undo copy nothing to write back: it would
// land over what was read, or in the column that took the gone one's place.
TEST(GridEditing, AnUndoNeverWritesOverValuesReadInOrANeighbourColumn) {
  TdgGrid grid;
  fill(grid, 5);
  grid.MoveCurrent(2, 3, true, false);
  grid.EditorValueChanged(Variant("typed"));
  const std::string layout = grid.SaveLayout(allPropKinds, allLayoutProperties, true);
  grid.LoadLayout(layout, "test", true);
  grid.UndoEdit(true, true);
  EXPECT_EQ(grid.GetCell(1, 3).toString(), "r3");
  EXPECT_EQ(grid.GetCell(2, 3).toString(), "typed");
  // Another grid's values copied in are read in as well.
  TdgGrid source;
  fill(source, 5);
  source.SetCell(2, 3, Variant("copied"));
  grid.EditorValueChanged(Variant("typed again"));
  ASSERT_TRUE(grid.RowEditing());
  grid.CopyCellValuesFrom(source);
  grid.UndoEdit(true, true);
  EXPECT_EQ(grid.GetCell(2, 3).toString(), "copied");
  grid.SetCell(3, 3, Variant("right"));
  grid.resize(300, 200);
  grid.show();
  QApplication::setActiveWindow(&grid);
  grid.setFocus();
  QApplication::processEvents();
  QTest::keyClicks(QApplication::focusWidget(), "again");
  grid.OnEndCellEdit = [](TdgBaseGrid *, int, int, bool &cancel) { cancel = true; };
  grid.SelectCols(2, 2);
  ASSERT_TRUE(grid.CellEditing());
  grid.DeleteSelectedCols();
  grid.OnEndCellEdit = nullptr;
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(grid.GetCell(2, 3).toString(), "right");
}

// Every column going, and columns coming back, leave the current cell on
// the row being edited, which may be far from the top row or have a hidden
// one above it; the row's undo copy is written back there and nowhere else.
TEST(GridEditing, TheEditedRowStaysCurrentWhileEveryColumnGoesAndComesBack) {
  TdgGrid grid;
  fill(grid, 5);
  grid.SetRowVisible(1, false);
  grid.SetCurrentDataRow(4);
  grid.EditorValueChanged(Variant("typed"));
  grid.DeleteCols(1, grid.Cols());
  EXPECT_EQ(grid.GetCurrentDataRow(), 4);
  grid.SetCols(2);
  EXPECT_EQ(grid.GetCurrentDataRow(), 4);
  EXPECT_TRUE(grid.RowEditing());
  grid.SetCell(1, 2, Variant("two"));
  grid.UndoEdit(true, true);
  EXPECT_EQ(grid.GetCell(1, 2).toString(), "two");
}

} // namespace
} // namespace marrowen

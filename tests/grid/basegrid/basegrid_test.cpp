#include "grid/basegrid/basegrid.h"

#include "classlib/componentstream.h"
#include "grid/basegrid/inplaceedit.h"
#include "gridsupport/testgrid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

namespace marrowen {
namespace {

template <class F> std::string errorOf(F &&f) {
  try {
    f();
  } catch (const EInvalidGridOperation &e) {
    return e.what();
  }
  return "(no error)";
}

// The hit test and the cell rectangles are two walks over the same sizes; a
// cell's centre must lead back to the cell wherever lines and direction put it.
TEST(BaseGridGeometry, EveryCellCentreHitsItsCell) {
  for (int lineWidth : {0, 1, 3}) {
    for (bool rightToLeft : {false, true}) {
      TestGrid grid;
      grid.SetColCount(9);
      grid.SetRowCount(12);
      grid.SetFixedCols(2);
      grid.SetGridLineWidth(lineWidth);
      for (int c = 0; c < 9; ++c)
        grid.SetColWidths(c, 20 + 7 * c);
      grid.SetRowHeights(4, 40);
      if (rightToLeft)
        grid.setLayoutDirection(Qt::RightToLeft);
      showGrid(grid, 330, 200);
      grid.SetLeftCol(3);
      grid.SetTopRow(2);
      int checked = 0;
      for (int c = 0; c < 9; ++c) {
        for (int r = 0; r < 12; ++r) {
          const TRect rect = grid.CellRect(c, r);
          if (IsRectEmpty(rect))
            continue;
          const TGridCoord hit =
              grid.MouseCoord((rect.Left + rect.Right) / 2, (rect.Top + rect.Bottom) / 2);
          EXPECT_EQ(hit, (TGridCoord{c, r}))
              << "line " << lineWidth << " rtl " << rightToLeft << " cell " << c << "," << r;
          ++checked;
        }
      }
      EXPECT_GT(checked, 20);
    }
  }
}

TEST(BaseGridProperties, CountsWidthsAndOptionsKeepTheirRules) {
  TestGrid grid;
  grid.SetColCount(0);
  EXPECT_EQ(grid.ColCount(), 1);
  EXPECT_EQ(grid.FixedCols(), 0);

  TestGrid sized;
  sized.SetColWidths(2, 100);
  sized.SetColWidths(3, 10);
  sized.SetDefaultColWidth(30);
  for (int c = 0; c < sized.ColCount(); ++c)
    EXPECT_EQ(sized.ColWidths(c), 30);
  EXPECT_EQ(sized.ColWidths(sized.ColCount()), 30);

  sized.SetOptions(TGridOptions{goRowSelect, goAlwaysShowEditor});
  EXPECT_EQ(sized.Options(), (TGridOptions{goRowSelect}));
}

TEST(BaseGridProperties, RefusalsCarryTheirTexts) {
  TestGrid grid;
  EXPECT_EQ(errorOf([&] { grid.SetColWidths(grid.ColCount(), 10); }), "Grid index out of range");
  EXPECT_EQ(errorOf([&] { grid.SetFixedCols(-1); }), "Grid index out of range");
  EXPECT_EQ(errorOf([&] { grid.SetFixedCols(5); }),
            "Fixed column count must be less than column count");
  EXPECT_EQ(errorOf([&] { grid.SetFixedRows(5); }), "Fixed row count must be less than row count");
  EXPECT_EQ(errorOf([&] { grid.MoveCurrent(5, 1, true, false); }), "Grid index out of range");
  EXPECT_EQ(errorOf([&] { grid.AdjustSize(7, -1, true); }), "Too many rows or columns deleted");
  EXPECT_EQ(grid.ColCount(), 5);
  EXPECT_EQ(grid.FixedCols(), 1);
  EXPECT_EQ(grid.RowCount(), 5);
}

// The size lists travel through a stream only once sizes were set, and a
// list longer than the grid is refused.
TEST(BaseGridProperties, SizeListsStreamOnlyOnceSet) {
  TestGrid grid;
  std::string bytes;
  {
    ComponentWriter w(bytes);
    grid.WriteCellExtents(w);
  }
  EXPECT_TRUE(bytes.empty());
  grid.SetColWidths(2, 33);
  grid.SetRowHeights(4, 7);
  bytes.clear();
  {
    ComponentWriter w(bytes);
    grid.WriteCellExtents(w);
    grid.SetSaveCellExtents(false);
    grid.WriteCellExtents(w);
  }
  TestGrid copy;
  ComponentReader r(bytes, "TestGrid");
  for (const char *name : {"ColWidths", "RowHeights"}) {
    ASSERT_EQ(r.readName(), name);
    EXPECT_TRUE(copy.ReadCellExtents(name, r));
  }
  EXPECT_EQ(copy.ColWidths(2), 33);
  EXPECT_EQ(copy.RowHeights(4), 7);
  EXPECT_EQ(copy.ColWidths(1), copy.DefaultColWidth());
  copy.SetColCount(2);
  ComponentReader again(bytes, "TestGrid");
  again.readName();
  EXPECT_EQ(errorOf([&] { copy.ReadCellExtents("ColWidths", again); }), "Grid index out of range");
}

TEST(BaseGridKeys, EditMasksBecomeInputMasks) {
  struct Case {
    const char *mask, *expected;
  };
  const Case cases[] = {
      {"", ""},
      {"!99/99/0000;1;_", "00/00/9999;_"},
      {">LL-aa;0; ", ">AA-nn; "},
      {"\\D\\\\0cC", "\\D\\\\9xX;_"},
      {"<>(000) A", "!(999) N;_"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(QtInputMask(c.mask), c.expected) << c.mask;
  struct MaskedGrid : TestGrid {
    std::string GetEditMask(std::int32_t, std::int32_t) override { return "00;1;_"; }
  } grid;
  grid.SetOptions(grid.Options().with(goEditing));
  showGrid(grid, 400, 200);
  QTest::keyClicks(&grid, "4x2");
  QApplication::processEvents();
  ASSERT_NE(grid.InplaceEditor(), nullptr);
  EXPECT_EQ(grid.InplaceEditor()->Text(), "42") << "a letter has no place in a digits mask";
}

// Inserting or deleting rows in the middle keeps the heights of the rows
// that follow with their rows.
TEST(BaseGridProperties, AdjustSizeKeepsTheSizesAfterTheChange) {
  TestGrid grid;
  grid.SetRowCount(6);
  for (int r = 0; r < 6; ++r)
    grid.SetRowHeights(r, 10 + r);
  grid.AdjustSize(2, -2, true);
  ASSERT_EQ(grid.RowCount(), 4);
  EXPECT_EQ((std::vector<int>{grid.RowHeights(0), grid.RowHeights(1), grid.RowHeights(2),
                              grid.RowHeights(3)}),
            (std::vector<int>{10, 11, 14, 15}));
  grid.AdjustSize(1, 1, true);
  EXPECT_EQ((std::vector<int>{grid.RowHeights(0), grid.RowHeights(1), grid.RowHeights(2)}),
            (std::vector<int>{10, 24, 11}));
}

TEST(BaseGridScrolling, NothingToScrollLeavesTheThumbAtTheStart) {
  TestGrid grid;
  showGrid(grid, 400, 300);
  grid.UpdateScrollPos();
  EXPECT_EQ(grid.ScrollInfo(SB_HORZ).Pos, 0);
  EXPECT_EQ(grid.ScrollInfo(SB_VERT).Pos, 0);
  EXPECT_EQ(grid.ScrollInfo(SB_VERT).Max, 0);
  EXPECT_FALSE(grid.verticalScrollBar()->isVisible());
}

// Near the edge each bar's room makes the other needed; the bars' own
// resizes must settle, not start the range over and over.
TEST(BaseGridScrolling, BarsThatNeedEachOtherSettle) {
  TestGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(60);
  showGrid(grid, 200, 150);
  TGridDrawInfo info;
  grid.CalcDrawInfo(info);
  EXPECT_TRUE(grid.verticalScrollBar()->isVisible());
  EXPECT_EQ(grid.horizontalScrollBar()->isVisible(), info.Horz.LastFullVisibleCell < 2);
  EXPECT_EQ(grid.ScrollBars(), ssBoth);
}

TEST(BaseGridScrolling, OneColumnScrollsByPixels) {
  TestGrid grid;
  grid.SetColCount(1);
  grid.SetColWidths(0, 1000);
  grid.SetRowCount(3);
  showGrid(grid, 300, 100);
  const int client = grid.ClientWidth();
  EXPECT_EQ(grid.ScrollInfo(SB_HORZ).Max, 1000 - client);
  grid.ModifyScrollBar(SB_HORZ, SB_LINEDOWN, 0, true);
  EXPECT_EQ(grid.ColOffset(), grid.fontMetrics().horizontalAdvance(QLatin1Char('0')));
  EXPECT_EQ(grid.ScrollInfo(SB_HORZ).Pos, grid.ColOffset());
  grid.ModifyScrollBar(SB_HORZ, SB_BOTTOM, 0, true);
  EXPECT_EQ(grid.ColOffset(), 1000 - client);
  grid.ModifyScrollBar(SB_HORZ, SB_PAGEDOWN, 0, true);
  EXPECT_EQ(grid.ColOffset(), 1000 - client);
  grid.ModifyScrollBar(SB_HORZ, SB_TOP, 0, true);
  EXPECT_EQ(grid.ColOffset(), 0);
}

TEST(BaseGridScrolling, ThumbPagesAndZeroWidthColumns) {
  TestGrid grid;
  grid.SetColCount(20);
  grid.SetRowCount(100);
  showGrid(grid, 300, 241);
  // 24 + 1 per row: the heading and 8 full rows fit in 241 pixels.
  EXPECT_EQ(grid.VisibleRowCount(), 8);
  grid.ModifyScrollBar(SB_VERT, SB_THUMBTRACK, 64, true);
  EXPECT_EQ(grid.TopRow(), 1) << "a dragged thumb moves the grid only with thumb tracking";
  grid.ModifyScrollBar(SB_VERT, SB_THUMBPOSITION, 64, true);
  TGridDrawInfo info;
  grid.CalcDrawInfo(info);
  const int maxTop = grid.CalcMaxTopLeft(TGridCoord{19, 99}, info).Y;
  EXPECT_EQ(grid.TopRow(), 1 + 64 * (maxTop - 1) / 127);
  EXPECT_EQ(grid.ScrollInfo(SB_VERT).Pos, (grid.TopRow() - 1) * 127 / (maxTop - 1));

  grid.SetTopRow(10);
  grid.ModifyScrollBar(SB_VERT, SB_PAGEDOWN, 0, true);
  EXPECT_EQ(grid.TopRow(), 10 + 7);
  grid.ModifyScrollBar(SB_VERT, SB_PAGEUP, 0, true);
  EXPECT_EQ(grid.TopRow(), 10);
  grid.ModifyScrollBar(SB_VERT, SB_BOTTOM, 0, true);
  EXPECT_EQ(grid.TopRow(), maxTop);
  EXPECT_EQ(grid.ScrollInfo(SB_VERT).Pos, 127);

  for (int c = 2; c <= 4; ++c)
    grid.SetColWidths(c, 0);
  grid.ModifyScrollBar(SB_HORZ, SB_LINEDOWN, 0, true);
  EXPECT_EQ(grid.LeftCol(), 5) << "a line step passes over columns of no width";

  grid.setFocus();
  grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(grid.TopRow(), maxTop - 1);
  EXPECT_EQ(grid.verticalScrollBar()->value(), grid.ScrollInfo(SB_VERT).Pos);
}

TEST(BaseGridScrolling, CtrlEndReachesTheLastCellOfAMillionRows) {
  TestGrid grid;
  grid.SetRowCount(1000000);
  showGrid(grid, 300, 200);
  std::uint16_t key = VK_END;
  grid.KeyDown(key, TShiftState(ssCtrl));
  EXPECT_EQ(grid.Row(), 999999);
  EXPECT_EQ(grid.Col(), 4);
  TGridDrawInfo info;
  grid.CalcDrawInfo(info);
  EXPECT_EQ(info.Vert.LastFullVisibleCell, 999999);
  EXPECT_EQ(grid.ScrollInfo(SB_VERT).Pos, 127);
}

TEST(BaseGridKeys, TabWalksToTabStopsAndWraps) {
  TestGrid grid;
  showGrid(grid, 400, 200);
  std::uint16_t key = VK_TAB;
  grid.KeyDown(key, TShiftState(ssShift));
  EXPECT_EQ((TGridCoord{grid.Col(), grid.Row()}), (TGridCoord{4, 4}))
      << "Shift+Tab on the first cell goes to the last";
  EXPECT_EQ(grid.RangeEnd(), (TGridCoord{4, 4}));

  grid.FocusCell(2, 2, true);
  for (int c = 0; c < grid.ColCount(); ++c)
    grid.SetTabStops(c, false);
  key = VK_TAB;
  grid.KeyDown(key, TShiftState());
  EXPECT_EQ((TGridCoord{grid.Col(), grid.Row()}), (TGridCoord{2, 3}))
      << "without any tab stop Tab comes back to its column, one row on";

  grid.SetTabStops(4, true);
  key = VK_TAB;
  grid.KeyDown(key, TShiftState());
  EXPECT_EQ((TGridCoord{grid.Col(), grid.Row()}), (TGridCoord{4, 3}));
}

TEST(BaseGridKeys, TypingOpensTheEditorWithTheCharacter) {
  TestGrid grid;
  grid.SetOptions(grid.Options().with(goEditing));
  showGrid(grid, 400, 200);
  grid.texts[{1, 1}] = "old";
  QTest::keyClick(&grid, Qt::Key_X);
  QApplication::processEvents();
  ASSERT_NE(grid.InplaceEditor(), nullptr);
  EXPECT_TRUE(grid.InplaceEditor()->isVisible());
  EXPECT_EQ(grid.InplaceEditor()->Text(), "x");
  EXPECT_EQ(grid.texts[std::make_pair(1, 1)], "x");
  // Leaving the cell writes the text back and hides the editor.
  QTest::keyClick(grid.InplaceEditor(), Qt::Key_Down);
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_FALSE(grid.InplaceEditor()->isVisible());
}

TEST(BaseGridKeys, EditorHandsCellMovesToTheGrid) {
  TestGrid grid;
  grid.SetOptions(grid.Options().with(goEditing).with(goAlwaysShowEditor));
  showGrid(grid, 400, 200);
  grid.texts[{2, 1}] = "abc";
  grid.FocusCell(2, 1, true);
  TInplaceEdit *editor = grid.InplaceEditor();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->selectedText(), "abc");

  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_FALSE(editor->hasSelectedText());
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(editor->selectedText(), "abc");

  editor->deselect();
  editor->setCursorPosition(2);
  QTest::keyClick(editor, Qt::Key_Left);
  EXPECT_EQ(grid.Col(), 2);
  EXPECT_EQ(editor->cursorPosition(), 1);
  editor->setCursorPosition(0);
  QTest::keyClick(editor, Qt::Key_Left);
  EXPECT_EQ(grid.Col(), 1) << "at the start of the text Left leaves the cell";
}

// A cell that refuses the edited text still loses its editor.
TEST(BaseGridKeys, AFailingWriteBackStillHidesTheEditor) {
  struct RefusingGrid : TestGrid {
    void SetEditText(std::int32_t, std::int32_t, const std::string &) override {
      throw EInvalidGridOperation("refused");
    }
  } grid;
  grid.SetOptions(grid.Options().with(goEditing));
  showGrid(grid, 400, 200);
  grid.ShowEditor();
  ASSERT_TRUE(grid.InplaceEditor() && grid.InplaceEditor()->isVisible());
  EXPECT_THROW(grid.HideEdit(), EInvalidGridOperation);
  EXPECT_FALSE(grid.InplaceEditor()->isVisible());
}

struct SizingCase {
  int offset;
  bool grabbed;
};

TEST(BaseGridMouse, GrabZoneOfAThinLineIsSevenPixels) {
  TestGrid grid;
  grid.SetOptions(grid.Options().with(goColSizing));
  showGrid(grid, 400, 200);
  const int line = 64 + 1 + 64; // the line after column 1
  const SizingCase cases[] = {{-4, false}, {-3, true}, {0, true}, {3, true}, {4, false}};
  for (const SizingCase &c : cases)
    EXPECT_EQ(grid.Sizing(line + c.offset, 5), c.grabbed) << c.offset;
  EXPECT_FALSE(grid.Sizing(line, 30)) << "only the headings size columns";
}

TEST(BaseGridMouse, SizingAppliesOnlyWidthsAboveOnePixel) {
  TestGrid grid;
  grid.SetOptions(grid.Options().with(goColSizing).with(goRowSizing));
  showGrid(grid, 400, 200);
  const int line = 64 + 1 + 64;
  grid.MouseDown(mbLeft, TShiftState(ssLeft), line, 5);
  EXPECT_EQ(grid.GridState(), gsColSizing);
  grid.MouseMove(TShiftState(ssLeft), 65 + 1, 5);
  grid.MouseUp(mbLeft, TShiftState(), 65 + 1, 5);
  EXPECT_EQ(grid.ColWidths(1), 64);
  EXPECT_EQ(grid.GridState(), gsNormal);

  grid.MouseDown(mbLeft, TShiftState(ssLeft), line + 1, 5);
  grid.MouseMove(TShiftState(ssLeft), line + 31, 5);
  grid.MouseUp(mbLeft, TShiftState(), line + 31, 5);
  EXPECT_EQ(grid.ColWidths(1), 94);

  const int rowLine = 24 + 1 + 24;
  grid.MouseDown(mbLeft, TShiftState(ssLeft), 5, rowLine);
  EXPECT_EQ(grid.GridState(), gsRowSizing);
  grid.MouseMove(TShiftState(ssLeft), 5, rowLine + 10);
  grid.MouseUp(mbLeft, TShiftState(), 5, rowLine + 10);
  EXPECT_EQ(grid.RowHeights(1), 34);
}

TEST(BaseGridMouse, AFailingMouseDownEventEndsTheDrag) {
  TestGrid grid;
  grid.SetOptions(grid.Options().with(goColMoving));
  showGrid(grid, 400, 200);
  grid.OnMouseDown = [](TCustomGrid_dg *, TMouseButton, TShiftState, int, int) {
    throw std::runtime_error("handler failed");
  };
  const TRect heading = grid.CellRect(2, 0);
  EXPECT_THROW(grid.MouseDown(mbLeft, TShiftState(ssLeft), heading.Left + 5, 5),
               std::runtime_error);
  EXPECT_EQ(grid.GridState(), gsNormal);
  grid.cursor = QPoint(380, 5);
  grid.WMTimer();
  EXPECT_EQ(grid.LeftCol(), 1) << "no drag may go on scrolling after the failure";
}

TEST(BaseGridMouse, DraggingAHeadingMovesTheColumn) {
  TestGrid grid;
  grid.SetOptions(grid.Options().with(goColMoving));
  grid.SetColWidths(2, 50);
  showGrid(grid, 400, 200);
  grid.FocusCell(2, 1, true);
  const TRect from = grid.CellRect(2, 0);
  const TRect to = grid.CellRect(4, 0);
  grid.MouseDown(mbLeft, TShiftState(ssLeft), from.Left + 5, 5);
  EXPECT_EQ(grid.GridState(), gsColMoving);
  // Over the headings the timer follows the mouse.
  grid.cursor = QPoint(to.Left + 5, 5);
  grid.WMTimer();
  grid.MouseUp(mbLeft, TShiftState(), to.Left + 5, 5);
  EXPECT_EQ(grid.ColWidths(4), 50);
  EXPECT_EQ(grid.ColWidths(2), 64);
  EXPECT_EQ(grid.Col(), 4) << "the current cell moves with its column";
}

TEST(BaseGridMouse, TimerExtendsASelectionPastTheEdge) {
  TestGrid grid;
  grid.SetRowCount(40);
  showGrid(grid, 400, 200);
  const TRect cell = grid.CellRect(2, 2);
  grid.MouseDown(mbLeft, TShiftState(ssLeft), cell.Left + 3, cell.Top + 3);
  ASSERT_EQ(grid.GridState(), gsSelecting);
  grid.cursor = QPoint(cell.Left + 3, 260);
  for (int i = 0; i < 10; ++i)
    grid.WMTimer();
  EXPECT_EQ(grid.RangeEnd(), (TGridCoord{2, 12}));
  EXPECT_GT(grid.TopRow(), 1) << "the anchor is kept in view";
  // The release point's cell, in the scrolled grid, ends the selection.
  const TGridCoord released = grid.MouseCoord(cell.Left + 3, cell.Top + 3);
  grid.MouseUp(mbLeft, TShiftState(), cell.Left + 3, cell.Top + 3);
  EXPECT_EQ(grid.GridState(), gsNormal);
  EXPECT_EQ(grid.Selection(), (TGridRect{2, 2, 2, released.Y}));
}

} // namespace
} // namespace marrowen

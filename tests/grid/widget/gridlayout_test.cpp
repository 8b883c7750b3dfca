#include "grid/data/colrow.h"
#include "grid/editing/combo.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/datagridscenes.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

#include <tuple>
#include <vector>

namespace marrowen {
namespace {

// Columns 64 wide after a 14-pixel row bar, rows 14 high below a 15-pixel
// heading, in a 400 x 300 client area.
struct Laid {
  explicit Laid(int cols = 20, int rows = 100, int clientHeight = 300) {
    grid.SetName("Grid1");
    grid.SetCols(cols);
    grid.SetRows(rows);
    showDataGrid(grid, 400, clientHeight);
  }
  TdgGrid grid;
};

TEST(GridLayout, ColumnEdgesAndCellRectangles) {
  Laid l(20, 10); // no vertical bar
  struct Case {
    int col, row, left, top, right, bottom;
  } cases[] = {
      {1, 1, 14, 15, 78, 29},   {2, 3, 78, 43, 142, 57},
      {6, 1, 334, 15, 398, 29}, {7, 1, 398, 15, 400, 29}, // cut by the client edge
      {8, 1, 0, 0, 0, 0},                                 // beyond the right edge
  };
  for (const Case &c : cases) {
    const TRect r = l.grid.GetCellRect(c.col, c.row);
    EXPECT_EQ(r, (TRect{c.left, c.top, c.right, c.bottom})) << c.col << ',' << c.row;
  }
  // The paint rectangle gives up the line pixels, except where the edge cuts.
  EXPECT_EQ(l.grid.GetPaintCellRect(2, 3), (TRect{78, 43, 141, 56}));
  EXPECT_EQ(l.grid.GetPaintCellRect(7, 1), (TRect{398, 15, 400, 28}));
  l.grid.SetGridLines(glNone);
  EXPECT_EQ(l.grid.GetPaintCellRect(2, 3), (TRect{78, 43, 142, 57}));
  l.grid.SetGridLines(glVertLines);
  EXPECT_EQ(l.grid.GetPaintCellRect(2, 3), (TRect{78, 43, 141, 57}));

  l.grid.ScrollMessage(SB_HORZ, SB_THUMBPOSITION, 3); // left column 3
  ASSERT_EQ(l.grid.LeftCol(), 3);
  EXPECT_EQ(l.grid.ColumnLeft(2), -1);
  EXPECT_EQ(l.grid.ColumnLeft(3), 14);
  EXPECT_EQ(l.grid.ColumnAt(20), 3);
  EXPECT_EQ(l.grid.ColumnAt(5), 0);
  EXPECT_EQ(l.grid.RowAt(16), 1);
  EXPECT_EQ(l.grid.RowAt(-1), -1);
}

TEST(GridLayout, ButtonHitTest) {
  Laid l;
  TdgCol *col = l.grid.GetCol(Variant(2));
  col->SetButtonType(btCombo);
  const TRect cell = l.grid.GetPaintCellRect(2, 3);
  EXPECT_TRUE(l.grid.PointOnCellButton(cell.Right - 1, cell.Top + 2, 3, 2));
  EXPECT_TRUE(l.grid.PointOnCellButton(cell.Right - 10, cell.Top + 2, 3, 2));
  EXPECT_FALSE(l.grid.PointOnCellButton(cell.Right - 11, cell.Top + 2, 3, 2));
  EXPECT_FALSE(l.grid.PointOnCellButton(cell.Right - 1, cell.Top + 2, 3, 3)); // no button
  l.grid.SetGridMode(gmBrowse);
  EXPECT_FALSE(l.grid.PointOnCellButton(cell.Right - 1, cell.Top + 2, 3, 2));
}

TEST(GridLayout, ButtonsSharedPerTypeAndFreedOnSizeChange) {
  Laid l;
  TdgCustomButton *combo = l.grid.GetCellButton(1, btCombo);
  EXPECT_EQ(l.grid.GetCellButton(2, btCombo), combo);
  EXPECT_EQ(l.grid.GetCellButton(1, btNormal), l.grid.GetCellButton(2, btNormal));
  auto picture = std::make_shared<QImage>(5, 5, QImage::Format_RGB32);
  TdgCol &own = *l.grid.GetCol(Variant(3));
  own.SetButtonType(btNormal);
  l.grid.MoveToCell(3, 1);
  own.SetButtonPicture(picture, clNone, 9, 30);
  EXPECT_EQ(l.grid.ActiveControl().Width(), l.grid.GetPaintCellRect(3, 1).Width() - 3 - 30)
      << "the editor over the column's current cell makes room at once";
  own.SetButtonPicture(picture, clNone, 9, 11);
  EXPECT_NE(l.grid.GetCellButton(3, btNormal), l.grid.GetCellButton(1, btNormal));
  l.grid.SetSpinButtonHeight(9);
  EXPECT_EQ(l.grid.GetCellButton(1, btVertSpin)->GetTotalHeight(), 19);
  EXPECT_EQ(l.grid.GetCellButton(1, btHorzSpin)->GetTotalWidth(), 19);
  l.grid.SetSpinButtonHeight(10);
  EXPECT_EQ(l.grid.GetCellButton(1, btVertSpin)->GetTotalHeight(), 21);
  l.grid.SetDefaultButtonWidth(15);
  EXPECT_EQ(l.grid.GetCellButton(1, btCombo)->GetWidth(), 15);
  EXPECT_EQ(l.grid.GetCellButton(3, btNormal)->GetWidth(), 11); // the column's own
}

TEST(GridLayout, ButtonHoverAndSpinRepeat) {
  Laid l(6, 10);
  l.grid.GetCol(Variant(2))->SetButtonType(btVertSpin);
  l.grid.GetCol(Variant(3))->SetButtonType(btNormal);
  const TRect cell = l.grid.GetPaintCellRect(3, 3);
  l.grid.UpdateButtonHover(cell.Left + 2, cell.Top + 2); // not on the button
  EXPECT_EQ(l.grid.HoverCol(), -1);
  l.grid.UpdateButtonHover(cell.Right - 2, cell.Top + 2);
  EXPECT_EQ(l.grid.HoverCol(), 3);
  EXPECT_EQ(l.grid.HoverRow(), 3);
  EXPECT_TRUE(l.grid.AutoScrollTimer().isActive());      // flat buttons watch the mouse leave
  l.grid.UpdateButtonHover(cell.Left + 2, cell.Top + 2); // off it
  EXPECT_EQ(l.grid.HoverCol(), -1);
  // Spin buttons, and any button when not flat, already look raised with a
  // background inactive state: they never turn hot; elsewhere only off the
  // current cell.
  const TRect spin = l.grid.GetPaintCellRect(2, 3);
  l.grid.UpdateButtonHover(spin.Right - 2, spin.Top + 2);
  EXPECT_EQ(l.grid.HoverCol(), -1);
  l.grid.SetInactiveButtonState(ibsPicture);
  l.grid.UpdateButtonHover(spin.Right - 2, spin.Top + 2);
  EXPECT_EQ(l.grid.HoverCol(), 2);
  l.grid.ClearButtonHover();
  l.grid.SetFlatButtons(false);
  l.grid.FocusCell(3, 3, true);
  l.grid.UpdateButtonHover(cell.Right - 2, cell.Top + 2);
  EXPECT_EQ(l.grid.HoverCol(), -1);
  l.grid.UpdateButtonHover(spin.Right - 2, spin.Top + 2);
  EXPECT_EQ(l.grid.HoverCol(), 2);

  l.grid.SetRows(2);
  EXPECT_EQ(l.grid.HoverCol(), -1) << "gone with its row, the button is hot no more";
  l.grid.SetRows(10);
  l.grid.PressCellButton(2, 3, 1);
  l.grid.StartSpinTimer();
  EXPECT_EQ(l.grid.SpinTimer().interval(), 500);
  l.grid.SpinRepeatTick(); // no capture: the press ends
  EXPECT_EQ(l.grid.PressedCol(), -1);
  EXPECT_EQ(l.grid.HoverCol(), -1);
  EXPECT_FALSE(l.grid.SpinTimer().isActive());
  EXPECT_EQ(l.grid.RepeatCount(), 0);
}

TEST(GridLayout, HiddenLeftColumnGivesNextShown) {
  Laid l;
  l.grid.GetCol(Variant(3))->SetVisible(false);
  l.grid.MoveTopLeft(3, l.grid.TopRow());
  EXPECT_EQ(l.grid.LeftCol(), 4);
}

TEST(GridLayout, ScaledBarMapsBack) {
  Laid l(4, 40000);
  bool scaled = false;
  const TScrollInfo info = l.grid.CalcScrollInfo(SB_VERT, scaled);
  EXPECT_TRUE(scaled);
  EXPECT_EQ(info.Min, 0);
  EXPECT_LE(info.Max, 32767);
  EXPECT_EQ(info.Page, 1);
  l.grid.ScrollMessage(SB_VERT, SB_THUMBPOSITION, info.Max / 2);
  EXPECT_NEAR(l.grid.TopRow(), 20000, 20);
  EXPECT_NEAR(l.grid.CalcScrollInfo(SB_VERT, scaled).Pos, info.Max / 2, 1);

  Laid small(4, 100);
  EXPECT_EQ(small.grid.CalcScrollInfo(SB_VERT, scaled).Min, 1);
  EXPECT_FALSE(scaled);
}

TEST(GridLayout, PagingStopsAtMaxTopRow) {
  Laid l(4, 100);
  for (int i = 0; i < 20; ++i)
    l.grid.ScrollMessage(SB_VERT, SB_PAGEDOWN, 0);
  EXPECT_EQ(l.grid.TopRow(), l.grid.MaxTopRow());
  const int top = l.grid.TopRow();
  l.grid.ScrollMessage(SB_VERT, SB_LINEDOWN, 0);
  EXPECT_EQ(l.grid.TopRow(), top);
  l.grid.ScrollMessage(SB_VERT, SB_THUMBTRACK, 1); // off without thumb tracking
  EXPECT_EQ(l.grid.TopRow(), top);
  l.grid.SetThumbTracking(true);
  l.grid.ScrollMessage(SB_VERT, SB_THUMBTRACK, 1);
  EXPECT_EQ(l.grid.TopRow(), 1);
}

TEST(GridLayout, ARowThatExactlyFillsThePageCountsAsShown) {
  // The heading's 15 pixels share their last line with the rows: 14 + 20 x 14.
  Laid l(4, 100, 294);
  EXPECT_EQ(l.grid.PageSizeDown(), 20);
  l.grid.setFocus();
  QTest::keyClick(&l.grid, Qt::Key_PageDown);
  EXPECT_EQ(l.grid.TopRow(), 21);
}

TEST(GridLayout, GrowingWindowKeepsTheEndInView) {
  Laid l(4, 100);
  l.grid.ScrollMessage(SB_VERT, SB_BOTTOM, 0);
  const int top = l.grid.TopRow();
  l.grid.resize(l.grid.width(), l.grid.height() + 140);
  QApplication::processEvents();
  EXPECT_EQ(l.grid.TopRow(), top - 10);
  EXPECT_EQ(l.grid.TopRow(), l.grid.MaxTopRow());
}

// A row added by typing into the insert row lengthens the bar at once: its
// thumb dragged to the end shows the new insert row.
TEST(GridLayout, TheBarReachesTheInsertRowThatTypingAdded) {
  Laid l(3, 40, 200);
  l.grid.SetStoreData(true);
  l.grid.SetGridMode(gmEditInsert);
  l.grid.ScrollMessage(SB_VERT, SB_BOTTOM, 0);
  const TRect insert = l.grid.GetPaintCellRect(1, l.grid.RowCount() - 1);
  QTest::mouseClick(l.grid.viewport(), Qt::LeftButton, {}, QPoint(insert.Left + 5, insert.Top + 3));
  QTest::keyClicks(QApplication::focusWidget(), "new");
  ASSERT_EQ(l.grid.Rows(), 41);
  QScrollBar *bar = l.grid.verticalScrollBar();
  bar->setSliderDown(true);
  bar->setSliderPosition(bar->maximum());
  bar->setSliderDown(false);
  EXPECT_EQ(l.grid.TopRow(), l.grid.MaxTopRow());
  EXPECT_FALSE(IsRectEmpty(l.grid.GetPaintCellRect(1, l.grid.RowCount() - 1)));
}

// A bar shown always is disabled while nothing needs scrolling, and works
// when the rows need it.
TEST(GridLayout, AlwaysShownBarIsEnabledOnlyWhenNeeded) {
  Laid l(2, 3);
  EXPECT_EQ(l.grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  l.grid.SetAlwaysShowScrollBar(ssVertical);
  EXPECT_EQ(l.grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(l.grid.verticalScrollBar()->isEnabled());
  l.grid.SetRows(100);
  EXPECT_EQ(l.grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(l.grid.verticalScrollBar()->isEnabled());
  l.grid.SetRows(3);
  EXPECT_FALSE(l.grid.verticalScrollBar()->isEnabled());
  l.grid.SetScrollBars(ssNone);
  l.grid.UpdateScrollBars();
  EXPECT_EQ(l.grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(GridLayout, BarsSettleWhereEachMakesTheOtherNeeded) {
  // Six columns and 16 rows fit, but each bar takes enough room to make the
  // other needed; the horizontal bar the update left standing must not start
  // them toggling each other.
  Laid l(7, 15, 240);
  ASSERT_EQ(l.grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  l.grid.BeginUpdate();
  l.grid.SetCols(6);
  l.grid.InsertRow(1);
  l.grid.EndUpdate();
  EXPECT_EQ(l.grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(l.grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  l.grid.resize(l.grid.width(), l.grid.height() - 3);
  QApplication::processEvents();
  EXPECT_EQ(l.grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(l.grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

// The fixed area shrunk by a smaller count is measured again: a bar that
// would scroll nothing goes, also after a resize, and the top-left cell it
// moved is reported.
TEST(GridLayout, ACountThatShrinksTheFixedAreaLeavesNoBarToNothing) {
  TdgGrid grid;
  grid.SetCols(3);
  grid.SetRows(10);
  showDataGrid(grid, 199, 142);
  grid.SetFixedColCount(2);
  grid.ScrollMessage(SB_VERT, SB_BOTTOM, 0);
  std::vector<std::tuple<int, int, int, int>> reports;
  grid.OnTopLeftChanged = [&](TdgBaseGrid *, int oldCol, int oldRow, int col, int row, bool) {
    reports.emplace_back(oldCol, oldRow, col, row);
  };
  grid.SetCols(1);
  EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(std::get<2>(reports.back()), grid.LeftCol());
  EXPECT_EQ(std::get<3>(reports.back()), grid.TopRow());
  grid.resize(grid.width(), grid.height() - 2);
  QApplication::processEvents();
  EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
}

TEST(GridLayout, LongMovesRepaintShortMovesScroll) {
  Laid l(4, 1000);
  std::vector<TRect> invalidated;
  l.grid.OnInvalidate = [&](const TRect &r) { invalidated.push_back(r); };
  l.grid.ScrollMessage(SB_VERT, SB_LINEDOWN, 0);
  EXPECT_TRUE(invalidated.empty());
  l.grid.ScrollMessage(SB_VERT, SB_PAGEDOWN, 0);
  ASSERT_FALSE(invalidated.empty());
  EXPECT_EQ(invalidated.back(), (TRect{0, 15, l.grid.ClientWidth(), l.grid.ClientHeight()}));
}

TEST(GridLayout, MoveInModeKeepsTheCurrentCellsPixels) {
  Laid l(20, 10);
  l.grid.FocusCell(3, 2, true);
  const TRect cell = l.grid.GetCellRect(3, 2);
  std::vector<TRect> invalidated;
  l.grid.OnInvalidate = [&](const TRect &r) { invalidated.push_back(r); };
  l.grid.MoveTopLeftInMode(2, 1, 1); // columns left of the cell move, the rest is redrawn
  EXPECT_EQ(l.grid.LeftCol(), 2);
  EXPECT_EQ(l.grid.ScrollMode(), 0);
  // The editor going and coming may repaint the current cell too.
  auto invalidatedOnce = [&](const TRect &r) {
    return std::count(invalidated.begin(), invalidated.end(), r) == 1;
  };
  EXPECT_TRUE(invalidatedOnce(TRect{cell.Left, 0, 400, l.grid.ClientHeight()}));
  invalidated.clear();
  l.grid.MoveTopLeftInMode(3, 1, 2); // rows only: a sideways move is drawn afresh
  EXPECT_TRUE(invalidatedOnce(TRect{14, 0, 400, l.grid.ClientHeight()}));
}

TEST(GridLayout, TopLeftReports) {
  Laid l(4, 100);
  std::vector<std::tuple<int, int, bool>> reports;
  l.grid.OnTopLeftChanged = [&](TdgBaseGrid *, int, int oldRow, int, int newRow, bool byUser) {
    reports.emplace_back(oldRow, newRow, byUser);
  };
  l.grid.ScrollMessage(SB_VERT, SB_LINEDOWN, 0);
  l.grid.ScrollMessage(SB_VERT, SB_THUMBPOSITION, 2); // the same place
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], std::make_tuple(1, 2, true));
  l.grid.MoveTopLeft(1, 5);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_FALSE(std::get<2>(reports[1]));
  l.grid.FocusCell(1, 5, true);
  std::uint16_t up = VK_UP;
  l.grid.KeyDown(up, TShiftState());
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[2], std::make_tuple(5, 4, true)) << "a key that scrolls is the user's";
}

TEST(GridLayout, AutoScrollDelay) {
  Laid l;
  EXPECT_EQ(l.grid.AutoScrollDelay(5, 30), 200);
  EXPECT_EQ(l.grid.AutoScrollDelay(20, 30), 0);
  EXPECT_EQ(l.grid.AutoScrollDelay(5, 0), 0);
  l.grid.SetScrollSpeed(spLow);
  EXPECT_EQ(l.grid.AutoScrollDelay(20, 30), 200);
}

TEST(GridLayout, SizesThroughDefaultsAndScaling) {
  Laid l(4, 10);
  l.grid.SetRowHeights(3, 20); // as a user's sizing sets it
  l.grid.SetRowHeights(5, 25);
  l.grid.SetColWidths(2, 40);
  l.grid.SetRowVisible(3, false);
  l.grid.SetDefaultRowHeight(30);
  l.grid.SetDefaultColWidth(70);
  EXPECT_EQ(l.grid.RowHeights(3), 0);
  EXPECT_EQ(l.grid.GetRowHeight(5), 30) << "a shown row keeps the new default as its own";
  EXPECT_EQ(l.grid.GetCol(Variant(2))->Width(), 70);
  l.grid.SetRowVisible(3, true);
  EXPECT_EQ(l.grid.RowHeights(3), 20) << "a hidden row gets its own height back";
  l.grid.SetDefaultRowHeight(0);
  EXPECT_EQ(l.grid.DefaultRowHeight(), l.grid.FontRowHeight(l.grid.Font()))
      << "no lower than the font's letters need";

  Laid s(4, 10);
  s.grid.GetCol(Variant(2))->SetWidth(50);
  s.grid.ChangeScale(2, 1); // AutoScale off
  EXPECT_EQ(s.grid.HeadingHeight(), 15);
  s.grid.SetAutoScale(true);
  s.grid.ChangeScale(2, 1);
  EXPECT_EQ(s.grid.HeadingHeight(), 30);
  EXPECT_EQ(s.grid.RowBarWidth(), 28);
  EXPECT_EQ(s.grid.DefaultRowHeight(), 28);
  EXPECT_EQ(s.grid.DefaultColWidth(), 128);
  EXPECT_EQ(s.grid.ColWidths(2), 100);
}

// A grid told which screen density it stands on.
struct DensityGrid : TdgGrid {
  int dpi = 96;
  int ScreenDpi() const override { return dpi; }
};

// Scaling takes own fonts and the lists of drop-downs along; a move to a
// screen of another density scales the sizes once, and leaves the fonts,
// which follow the density themselves.
TEST(GridLayout, ScalingTakesOwnFontsAndListsAlongAndFollowsTheScreen) {
  DensityGrid grid;
  grid.SetRows(3);
  TFont big;
  big.SetSize(10);
  grid.GetCol(Variant(1))->SetFont(&big);
  grid.SetRowFont(2, &big);
  grid.SetCellFont(3, 3, &big);
  TdgComboGrid &list = *grid.GetCol(Variant(2))->EnsureCombo().ComboGrid();
  list.SetDefaultRowHeight(14);
  grid.SetFont(TFont()); // its own font: one that follows the parent's is the parent's
  grid.SetAutoScale(true);
  list.SetAutoScale(false);
  EXPECT_TRUE(list.AutoScale()) << "a list follows its grid";
  grid.ChangeScale(3, 2);
  EXPECT_EQ(grid.Font().Size(), 12);
  EXPECT_EQ(grid.GetCol(Variant(1))->Font()->Size(), 15);
  EXPECT_EQ(grid.GetRowFont(2)->Size(), 15);
  EXPECT_EQ(grid.GetCellFont(3, 3)->Size(), 15);
  EXPECT_EQ(list.DefaultRowHeight(), 21);

  showDataGrid(grid, 400, 300);
  const int rowHeight = grid.DefaultRowHeight(), colWidth = grid.GetCol(Variant(1))->Width();
  grid.dpi = 192;
  QEvent moved(QEvent::ScreenChangeInternal);
  QApplication::sendEvent(&grid, &moved);
  EXPECT_EQ(grid.DefaultRowHeight(), 2 * rowHeight);
  EXPECT_EQ(grid.GetCol(Variant(1))->Width(), 2 * colWidth);
  EXPECT_EQ(list.DefaultRowHeight(), 42);
  EXPECT_EQ(grid.GetRowFont(2)->Size(), 15);
  QApplication::sendEvent(&grid, &moved);
  EXPECT_EQ(grid.DefaultRowHeight(), 2 * rowHeight) << "the same screen again changes nothing";
}

TEST(GridLayout, FixedCountsAndLines) {
  Laid l(4, 10);
  l.grid.SetFixedColCount(-1);
  EXPECT_EQ(l.grid.FixedColCount(), 0);
  EXPECT_EQ(l.grid.FixedCols(), 1);
  for (const int count : {10, INT32_MAX}) {
    l.grid.SetFixedColCount(count);
    l.grid.SetFixedRowCount(count);
    EXPECT_EQ(l.grid.FixedColCount(), count);
    EXPECT_EQ(l.grid.FixedCols(), 4); // one short of the last display column
    EXPECT_EQ(l.grid.FixedRows(), 10);
  }
  // What was cut short comes back as the grid grows.
  l.grid.SetFixedColCount(2);
  l.grid.SetFixedRowCount(2);
  l.grid.SetCols(1);
  l.grid.SetRows(1);
  l.grid.SetCols(4);
  l.grid.SetRows(10);
  EXPECT_EQ(l.grid.FixedCols(), 3);
  EXPECT_EQ(l.grid.FixedRows(), 3);
  l.grid.SetGridLines(glVertLines);
  EXPECT_EQ(l.grid.HorzLineWidth(), 0);
  EXPECT_EQ(l.grid.VertLineWidth(), 1);
  // Scrolled to the end, a smaller fixed area leaves no blank space at the end.
  Laid wide(20, 10);
  wide.grid.SetFixedColCount(3);
  wide.grid.SetLeftCol(wide.grid.MaxLeftCol());
  wide.grid.SetFixedColCount(0);
  EXPECT_EQ(wide.grid.LeftCol(), wide.grid.MaxLeftCol());
}

TEST(GridLayout, FixedCountsLeaveTheCurrentCellAndItsEditWhereTheyAre) {
  TdgGrid grid;
  fillTextGrid(grid, 20, 50);
  showDataGrid(grid, 400, 300);
  grid.MoveToCell(5, 10);
  QWidget &editor = grid.ActiveControl().Control();
  QTest::keyClicks(&editor, "zz");
  grid.SetFixedRowCount(3);
  grid.SetFixedColCount(1);
  ASSERT_EQ(QPoint(grid.Col(), grid.Row()), QPoint(5, 10));
  EXPECT_EQ(editor.y(), grid.GetCellRect(5, 10).Top) << "the editor stays over its cell";
  EXPECT_EQ(editor.x(), grid.GetCellRect(5, 10).Left + 3);
  QTest::keyClick(&editor, Qt::Key_Escape);
  EXPECT_EQ(grid.GetCell(5, 10).toString(), "r10c5");
  EXPECT_EQ(grid.GetCell(1, 4).toString(), "r4c1") << "the undo lands on the edited cell only";
  // A fixed data row holds the current cell without scrolling the rows
  // below the fixed area into it.
  grid.ScrollMessage(SB_VERT, SB_THUMBPOSITION, 20);
  grid.MoveToCell(5, 2);
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_GE(grid.TopRow(), grid.FixedRows());
  QTest::keyClick(&grid.ActiveControl().Control(), Qt::Key_PageUp);
  EXPECT_EQ(grid.Row(), 2) << "Page Up never moves down into the scrolling rows";
}

TEST(GridLayout, SizesSetOnTheBaseGridBecomeTheirOwn) {
  Laid l(4, 10);
  l.grid.SetRowHeights(3, 40); // as a user's sizing sets it
  l.grid.SetColWidths(2, 90);
  l.grid.SetRowVisible(3, false);
  EXPECT_EQ(l.grid.RowHeights(3), 0);
  l.grid.SetRowVisible(3, true);
  EXPECT_EQ(l.grid.RowHeights(3), 40);
  EXPECT_EQ(l.grid.GetRowHeight(3), 40);
  EXPECT_EQ(l.grid.GetCol(Variant(2))->Width(), 90);
  l.grid.SetRowHeights(3, 14); // back to the default: no row object kept
  EXPECT_EQ(l.grid.RowStore().Item(3), nullptr);
}

TEST(GridLayout, RowBarAndHeadingAreObjectZero) {
  Laid l(4, 10);
  TdgCol &bar = *l.grid.ColStore().Item(0);
  TdgRow &heading = *l.grid.RowStore().Item(0);
  bar.SetWidth(20);
  heading.SetHeight(25);
  EXPECT_EQ(l.grid.RowBarWidth(), 20);
  EXPECT_EQ(l.grid.HeadingHeight(), 25);
  EXPECT_EQ(l.grid.FixedWidth(), 20);
  EXPECT_EQ(l.grid.GetCellRect(1, 1), (TRect{20, 25, 84, 39}));
  l.grid.SetRowBarOn(false);
  l.grid.SetHeadingOn(false);
  EXPECT_FALSE(bar.Visible());
  EXPECT_EQ(l.grid.GetCellRect(1, 1), (TRect{0, 0, 64, 14}));
  l.grid.SetRowBarWidth(30); // kept while hidden, shown again with it
  l.grid.SetRowBarOn(true);
  EXPECT_EQ(l.grid.ColWidths(0), 30);
  EXPECT_EQ(l.grid.visibleCols().VisibleCount(), 4);
}

TEST(GridLayout, HeadingButtonsAndVisibleRanges) {
  Laid l(20, 10);
  l.grid.SetHeadingHeight(30);
  const int x = l.grid.ColumnLeft(2) + 5;
  EXPECT_FALSE(l.grid.MouseOnHeading(x, 5, 2)); // hbNone
  l.grid.SetHeadingButton(hbButton);
  EXPECT_TRUE(l.grid.MouseOnHeading(x, 13, 2));
  EXPECT_FALSE(l.grid.MouseOnHeading(x, 14, 2)); // the button is at most 14 high
  l.grid.SetHeadingButton(hbCell);
  EXPECT_TRUE(l.grid.MouseOnHeading(x, 20, 2));
  l.grid.GetCol(Variant(2))->SetHeadingButton(cbButton);
  EXPECT_FALSE(l.grid.MouseOnHeading(x, 20, 2));
  l.grid.SelectCols(2, 2);
  EXPECT_FALSE(l.grid.MouseOnHeading(x, 5, 2));

  l.grid.GetCol(Variant(4))->SetWidth(1000);
  EXPECT_EQ(l.grid.LastColShownFrom(4), 4);
  EXPECT_EQ(l.grid.ColsFittingFrom(4), 0);
  EXPECT_EQ(l.grid.LastColShownFrom(1), 4);
  EXPECT_EQ(l.grid.ColsFittingFrom(1), 3);
  EXPECT_EQ(l.grid.LastVisibleCol(), 4);
}

TEST(GridLayout, CellTextExtent) {
  Laid l(4, 10);
  l.grid.SetStoreData(true);
  l.grid.SetCell(1, 1, Variant("one two three four five six"));
  const TPoint plain = l.grid.CellTextExtent(1, 1);
  l.grid.GetCol(Variant(1))->SetWordWrap(wwOn);
  const TPoint wrapped = l.grid.CellTextExtent(1, 1);
  EXPECT_GT(plain.X, wrapped.X);
  EXPECT_GT(wrapped.Y, plain.Y);
  EXPECT_EQ(plain.Y, l.grid.GridTextHeight());
  for (const auto &[col, row, error] : {std::tuple{9, 1, "Grid1: Column index 9 out of range"},
                                        std::tuple{1, 0, "Grid1: Row index 0 out of range"}}) {
    try {
      l.grid.CellTextExtent(col, row);
      ADD_FAILURE() << error;
    } catch (const EInvalidGridOperation &e) {
      EXPECT_STREQ(e.what(), error);
    }
  }
  l.grid.SetRaiseErrors(false);
  EXPECT_EQ(l.grid.CellTextExtent(9, 1).X, 0);
}

} // namespace
} // namespace marrowen

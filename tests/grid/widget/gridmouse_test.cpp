#include "grid/data/links.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/editingscenes.h"
#include "gridsupport/screencheck.h"
#include "gridsupport/screenshots.h"

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace marrowen {
namespace {

// A shown, focused grid of 3 columns and 6 rows whose events are recorded.
struct Mouse {
  TdgGrid grid;
  std::vector<std::string> events;

  explicit Mouse(int rows = 6) {
    grid.SetStoreData(true);
    grid.SetCols(3);
    grid.SetRows(rows);
    for (int r = 1; r <= rows; ++r)
      grid.SetCell(1, r, Variant("r" + std::to_string(r)));
    grid.resize(300, 200);
    grid.show();
    QApplication::setActiveWindow(&grid);
    grid.setFocus();
    QApplication::processEvents();
    grid.OnClick = [this](TCustomGrid_dg *) { events.push_back("click"); };
    grid.OnDblClick = [this](TCustomGrid_dg *) { events.push_back("dblclick"); };
    grid.OnClickCell = [this](TdgBaseGrid *, int c0, int r0, int c1, int r1, TdgClickPosition,
                              TdgClickPosition) {
      events.push_back("clickcell " + std::to_string(c0) + "," + std::to_string(r0) + " " +
                       std::to_string(c1) + "," + std::to_string(r1));
    };
    grid.OnDblClickCell = [this](TdgBaseGrid *, int, int, TdgClickPosition) {
      events.push_back("dblclickcell");
    };
    grid.OnButtonClick = [this](TdgBaseGrid *, int, int) { events.push_back("buttonclick"); };
    grid.OnButtonDown = [this](TdgBaseGrid *, int, int) { events.push_back("buttondown"); };
    grid.OnButtonUp = [this](TdgBaseGrid *, int, int) { events.push_back("buttonup"); };
  }
  QWidget *port() { return grid.viewport(); }
  // A point inside a display cell, dx pixels from its left edge.
  QPoint in(int col, int row, int dx = 20) const {
    return {grid.ColumnLeft(col) + dx, grid.RowTop(row) + 5};
  }
  QPoint bar(int row) const { return {5, grid.RowTop(row) + 5}; }
  QPoint heading(int col) const { return {grid.ColumnLeft(col) + 20, 5}; }
  void click(QPoint p, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, mods, p);
  }
  // A move with the left button held.
  void hold(QPoint p) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &move);
  }
  void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) {
    QTest::mousePress(grid.viewport(), Qt::LeftButton, mods, from);
    hold(to);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, mods, to);
  }
  bool rowSelected(int display) { return grid.RowSelection().IsSelected(display); }
  // The selected display rows or columns, as "1 3 5".
  std::string selected(const TdgSelection &selection, int count) const {
    std::string s;
    for (int i = 1; i < count; ++i)
      if (selection.IsSelected(i))
        s += (s.empty() ? "" : " ") + std::to_string(i);
    return s;
  }
  std::string rows() const { return selected(grid.RowSelection(), grid.RowCount()); }
  std::string cols() const { return selected(grid.ColSelection(), grid.ColCount()); }
};

TEST(GridMouse, AClickFiresClickThenClickCellAndMovesTheCell) {
  Mouse m;
  m.click(m.in(2, 3));
  EXPECT_EQ(m.grid.Col(), 2);
  EXPECT_EQ(m.grid.Row(), 3);
  EXPECT_EQ(m.events, (std::vector<std::string>{"click", "clickcell 2,3 2,3"}));
  EXPECT_TRUE(m.grid.EditorShown());

  m.grid.SelectRows(5, 5);
  m.grid.ReportGridStatus();
  QTest::mouseClick(m.port(), Qt::RightButton, {}, m.in(1, 5));
  EXPECT_EQ(m.grid.Row(), 3) << "a right click on a selected cell moves nothing";
  QTest::mouseClick(m.port(), Qt::RightButton, {}, m.in(1, 4));
  EXPECT_EQ(m.grid.Row(), 4) << "on an unselected one it does";

  m.events.clear();
  m.drag(m.in(2, 5), m.in(3, 6));
  EXPECT_EQ(m.events, (std::vector<std::string>{"click", "clickcell 2,5 3,6"}))
      << "the click ends where the button came up, also when the press opened the editor";
  m.grid.GetCol(Variant(std::int32_t(3)))->SetReadOnly(true);
  m.grid.SetCell(2, 2, Variant("two"));
  m.click(m.in(3, 2));
  EXPECT_EQ(m.grid.Col(), 2) << "a read-only column is skipped: the column stays";
  EXPECT_EQ(m.grid.Row(), 2);
  EXPECT_EQ(m.grid.EditControl().Editor().GetSelText(), "two")
      << "pressed elsewhere, the cell's text is selected whole";

  m.events.clear();
  TdgClickPosition position = cpHeading;
  int dataRow = 0;
  m.grid.OnDblClickCell = [&](TdgBaseGrid *, int, int row, TdgClickPosition pos) {
    m.events.push_back("dblclickcell");
    position = pos;
    dataRow = row;
  };
  QTest::mouseDClick(m.port(), Qt::LeftButton, {}, QPoint(20, m.grid.ClientHeight() - 3));
  const auto dbl = std::find(m.events.begin(), m.events.end(), "dblclick");
  ASSERT_NE(dbl, m.events.end()) << "a double click below the rows is one too";
  ASSERT_NE(dbl + 1, m.events.end());
  EXPECT_EQ(dbl[1], "dblclickcell");
  EXPECT_EQ(position, cpOutside);
  EXPECT_EQ(dataRow, -1) << "no row, not the heading";
}

TEST(GridMouse, TheSecondClickOfADoubleClickReachesTheEditorThatTheFirstOpened) {
  Mouse m;
  const QPoint p = m.in(1, 4);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), QPointF(p), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  press.setTimestamp(1000);
  QApplication::sendEvent(m.port(), &press);
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, p);
  ASSERT_TRUE(m.grid.EditorShown());
  TdgGridEditBox &editor = m.grid.EditControl().Editor();
  EXPECT_EQ(editor.SelLengthByte(), 0) << "the first click placed the caret";
  const QPoint q = editor.mapFrom(m.port(), p);
  QMouseEvent second(QEvent::MouseButtonPress, QPointF(q), QPointF(q), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
  second.setTimestamp(1000 + QApplication::doubleClickInterval() / 2);
  m.events.clear();
  QApplication::sendEvent(&editor, &second);
  EXPECT_EQ(m.events, (std::vector<std::string>{"dblclick", "dblclickcell"}));
  EXPECT_EQ(editor.SelLengthByte(), 2) << "the double click selects the whole text";
}

// Double clicks as the window system delivers them: the second press goes to
// whatever the first one showed under the mouse. A row that is not current
// takes one double click, editable or not.
TEST(GridMouse, ADoubleClickOnAnotherRowIsADoubleClickOfItsCell) {
  Mouse m;
  m.grid.SetRowReadOnly(5, true);
  for (int row : {4, 5}) {
    SCOPED_TRACE(row);
    m.events.clear();
    int dataRow = 0;
    m.grid.OnDblClickCell = [&](TdgBaseGrid *, int, int r, TdgClickPosition) { dataRow = r; };
    QTest::mouseDClick(m.grid.windowHandle(), Qt::LeftButton, {},
                       m.port()->mapTo(&m.grid, m.in(1, row)));
    EXPECT_EQ(m.grid.Row(), row);
    EXPECT_EQ(std::count(m.events.begin(), m.events.end(), "dblclick"), 1);
    EXPECT_EQ(dataRow, row);
  }
}

TEST(GridMouse, BordersSizeAndDoubleClicksThereAreNoCellDoubleClicks) {
  Mouse m;
  const int edge = m.grid.ColumnLeft(1) + m.grid.ColWidths(1) - 1;
  const QPoint border(edge, 5);
  EXPECT_EQ(m.grid.GetCursor(border.x(), border.y()), TdgBaseGrid::crHSplit);
  QTest::mouseDClick(m.port(), Qt::LeftButton, {}, border);
  EXPECT_EQ(m.events, std::vector<std::string>{}) << "no click events for a sizing press";
  EXPECT_EQ(m.grid.ColWidths(1), 64);

  QTest::mousePress(m.port(), Qt::LeftButton, {}, border);
  EXPECT_EQ(m.grid.MouseStatus(), msColSizing);
  QTest::mouseMove(m.port(), QPoint(edge + 30, 5));
  EXPECT_EQ(m.grid.GetCursor(edge + 30, 5), TdgBaseGrid::crHSplit);
  std::uint16_t escape = VK_ESCAPE;
  m.grid.KeyDown(escape, TShiftState());
  EXPECT_EQ(escape, 0);
  EXPECT_EQ(m.grid.MouseStatus(), msNothing);
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, QPoint(edge + 30, 5));
  EXPECT_EQ(m.grid.ColWidths(1), 64) << "Escape keeps the widths";

  QTest::mousePress(m.port(), Qt::LeftButton, {}, border);
  m.hold(QPoint(edge + 500, 5));
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, QPoint(edge + 500, 5));
  EXPECT_EQ(m.grid.ColumnLeft(1) + m.grid.ColWidths(1), m.grid.ClientWidth() + 1)
      << "a column dragged past the client area ends at its edge";
}

TEST(GridMouse, PressesAtACellsLeftEdgeStartARange) {
  for (int dx = 0; dx <= 3; ++dx) {
    Mouse m;
    m.click(m.in(2, 2, dx));
    EXPECT_EQ(m.grid.GridStatus() == gsCellRange, dx <= 2) << dx;
  }
  Mouse m;
  EXPECT_EQ(m.grid.GetCursor(m.in(2, 2, 1).x(), m.in(2, 2).y()), TdgBaseGrid::crCellSelect);
  EXPECT_EQ(m.grid.GetCursor(m.in(2, 2).x(), m.in(2, 2).y()), TdgBaseGrid::crIBeam);
  EXPECT_EQ(m.grid.GetCursor(5, m.in(1, 2).y()), TdgBaseGrid::crRowSelect);
  m.click(m.in(1, 1, 1));
  m.click(m.in(2, 3, 1), Qt::ShiftModifier);
  const TGridRect range = m.grid.CellRange();
  EXPECT_EQ(range, (TGridRect{1, 1, 2, 3}));
  // The range keeps its cells as lines go or hide.
  m.click(m.in(2, 2, 1));
  m.click(m.in(3, 4, 1), Qt::ShiftModifier);
  m.grid.DeleteRows(1, 1);
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{2, 1, 3, 3}));
  m.grid.DeleteCols(1, 1);
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{1, 1, 2, 3}));
  m.grid.SetRowVisible(3, false);
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{1, 1, 2, 2}));
  // A press on a range of that one cell changes no selection.
  m.click(m.in(2, 2, 1));
  int changes = 0;
  m.grid.OnSelectChanged = [&](TdgBaseGrid *, TdgSelectType, bool) { ++changes; };
  m.click(m.in(2, 2, 1));
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{2, 2, 2, 2}));
}

TEST(GridMouse, ASelectionIsDraggedOnlyWhenTheHandlerBeginsADrag) {
  Mouse m;
  m.click(m.in(1, 1, 1));
  m.click(m.in(2, 3, 1), Qt::ShiftModifier);
  int asked = 0, downs = 0;
  bool begin = true;
  m.grid.OnCanStartDrag = [&](TdgBaseGrid *g) {
    ++asked;
    if (begin)
      g->BeginDrag();
  };
  m.grid.OnMouseDown = [&](TCustomGrid_dg *, TMouseButton, TShiftState, int, int) { ++downs; };
  m.grid.SetSelectedAreaCursor(-21);
  EXPECT_EQ(m.grid.GetCursor(m.in(2, 2).x(), m.in(2, 2).y()), TdgBaseGrid::crSelectedArea);
  QTest::mousePress(m.port(), Qt::LeftButton, {}, m.in(2, 2));
  EXPECT_TRUE(m.grid.Dragging());
  EXPECT_EQ(downs, 0) << "the drag took the press";
  EXPECT_EQ(m.grid.GridStatus(), gsCellRange);
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, m.in(2, 2));
  EXPECT_FALSE(m.grid.Dragging());
  begin = false;
  m.click(m.in(2, 2));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(m.grid.GridStatus(), gsNothing) << "no drag: an ordinary press";
  // Rows that can be moved are moved, not dragged.
  m.click(QPoint(5, m.in(1, 4).y()));
  EXPECT_FALSE(m.grid.DraggableSelected(0, 4));
  m.grid.SetRowMoving(false);
  EXPECT_TRUE(m.grid.DraggableSelected(0, 4));
}

TEST(GridMouse, TheRowBarAndTheCornerSelectRows) {
  Mouse m;
  m.click(m.bar(2));
  m.click(m.bar(4), Qt::ShiftModifier);
  EXPECT_TRUE(m.rowSelected(2) && m.rowSelected(3) && m.rowSelected(4));
  m.click(m.bar(6));
  m.click(m.bar(5), Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_TRUE(m.rowSelected(5) && m.rowSelected(6));
  EXPECT_FALSE(m.rowSelected(2));
  m.click(m.bar(2), Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_TRUE(m.rowSelected(3) && m.rowSelected(6)) << "Shift+Ctrl adds to what is selected";
  EXPECT_TRUE(m.grid.IsCellSelected(0, 3) && m.grid.IsCellSelected(3, 3));
  EXPECT_FALSE(m.grid.IsCellSelected(-1, 3) || m.grid.IsCellSelected(4, 3))
      << "no cell beyond the columns is selected";
  EXPECT_FALSE(m.grid.EditorShown()) << "no editor over a selection";

  m.click(QPoint(5, 5));
  EXPECT_EQ(m.grid.RowSelection().Count, 6) << "the corner selects every row";
  m.click(QPoint(5, 5));
  EXPECT_EQ(m.grid.RowSelection().Count, 0) << "and then none";

  Mouse insert(2);
  insert.grid.SetGridMode(gmEditInsert);
  insert.click(insert.bar(3));
  EXPECT_EQ(insert.grid.RowSelection().Count, 0) << "the insert row is never selected";
}

TEST(GridMouse, ControlAndShiftPressesBuildOnTheSelection) {
  Mouse m;
  m.grid.SetCols(6);
  m.grid.resize(600, 200);
  m.click(m.bar(1));
  m.click(m.bar(3), Qt::ControlModifier);
  m.drag(m.bar(5), m.bar(5) + QPoint(0, 1), Qt::ControlModifier);
  EXPECT_EQ(m.rows(), "1 3 5") << "a held Ctrl press that moves a pixel still adds";
  m.click(m.heading(1));
  m.drag(m.heading(3), m.heading(4), Qt::ControlModifier);
  EXPECT_EQ(m.cols(), "1 3 4") << "a Ctrl drag adds what it covers";
  // A second Shift press reaches from the current line.
  m.click(m.heading(2));
  m.click(m.heading(5), Qt::ShiftModifier);
  m.click(m.heading(3), Qt::ShiftModifier);
  EXPECT_EQ(m.cols(), "3 4 5");
  m.click(m.bar(2));
  m.click(m.bar(5), Qt::ShiftModifier);
  m.click(m.bar(3), Qt::ShiftModifier);
  EXPECT_EQ(m.rows(), "3 4 5");
}

TEST(GridMouse, AListBoxOfManyRowsSelectsWithPressesOnItsCells) {
  Mouse m;
  m.grid.SetGridMode(gmListBox);
  m.drag(m.in(1, 1), m.in(1, 3));
  EXPECT_EQ(m.rows(), "1 2 3");
  m.click(m.in(2, 5));
  m.click(m.in(2, 2), Qt::ShiftModifier);
  EXPECT_EQ(m.rows(), "2 3 4 5");
  m.click(m.in(1, 6), Qt::ControlModifier);
  EXPECT_EQ(m.rows(), "2 3 4 5 6");
}

TEST(GridMouse, ARangeDraggedIntoFixedLinesStopsAtTheFirstSelectableCell) {
  Mouse m;
  m.grid.SetFixedColCount(1);
  m.grid.SetFixedRowCount(1);
  m.grid.SetSelectFixed(false);
  m.drag(m.in(3, 4, 1), m.in(1, 1));
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{2, 2, 3, 4}));
  m.grid.GetCol(Variant(2))->SetVisible(false);
  m.grid.SetRowVisible(2, false);
  m.drag(m.in(3, 4, 1), m.in(1, 1));
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{3, 3, 3, 4})) << "nor on hidden lines";
}

TEST(GridMouse, SelectedRowsDragToANewPlace) {
  Mouse m;
  m.click(m.bar(1));
  QTest::mousePress(m.port(), Qt::LeftButton, {}, m.bar(1));
  EXPECT_EQ(m.grid.MouseStatus(), msRowMoving);
  QTest::mouseMove(m.port(), m.bar(1));
  EXPECT_FALSE(m.grid.DropMarkerShown()) << "dropping here changes nothing";
  m.hold(m.bar(4));
  EXPECT_TRUE(m.grid.DropMarkerShown());
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, m.bar(4));
  EXPECT_EQ(m.grid.GetDisplayRowOf(1), 4);
  EXPECT_EQ(m.grid.GridStatus(), gsRowsSelected);
  // Fixed rows stay where they are: a selection that takes one in is
  // selected again, not moved.
  m.grid.SetFixedRowCount(1);
  m.click(m.bar(1));
  m.click(m.bar(2), Qt::ShiftModifier);
  ASSERT_EQ(m.rows(), "1 2");
  EXPECT_EQ(m.grid.GetCursor(5, m.bar(2).y()), TdgBaseGrid::crRowSelect);
  QTest::mousePress(m.port(), Qt::LeftButton, {}, m.bar(2));
  EXPECT_EQ(m.grid.MouseStatus(), msRowSelecting);
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, m.bar(2));
  EXPECT_EQ(m.rows(), "2");
}

TEST(GridMouse, DraggingBelowTheLastRowScrollsUntilBackInside) {
  Mouse m(60);
  const QPoint start(5, m.grid.RowTop(2) + 5);
  QTest::mousePress(m.port(), Qt::LeftButton, {}, start);
  m.hold(QPoint(5, m.grid.ClientHeight() + 10));
  EXPECT_TRUE(QTest::qWaitFor([&] { return m.grid.TopRow() > 2; }, 5000));
  const int top = m.grid.TopRow();
  EXPECT_TRUE(m.rowSelected(m.grid.LastVisibleRow())) << "the selection follows to the edge";
  m.hold(QPoint(5, m.grid.RowTop(top + 1) + 5));
  QTest::qWait(150);
  EXPECT_EQ(m.grid.TopRow(), top) << "back inside, the scrolling stops";
  std::uint16_t escape = VK_ESCAPE;
  m.grid.KeyDown(escape, TShiftState());
  EXPECT_EQ(m.grid.RowSelection().Count, 1) << "Escape takes the drag's rows back";
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, start);
}

TEST(GridMouse, ASingleRowDraggedBelowTheGridTakesTheCurrentCellAlong) {
  Mouse m(60);
  m.grid.SetRowSelectMode(rsSingle);
  QTest::mousePress(m.port(), Qt::LeftButton, {}, m.bar(2));
  m.hold(QPoint(5, m.grid.ClientHeight() + 10));
  EXPECT_TRUE(QTest::qWaitFor([&] { return m.grid.TopRow() > 3; }, 5000));
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, QPoint(5, m.grid.ClientHeight() + 10));
  EXPECT_GT(m.grid.Row(), m.grid.TopRow());
  EXPECT_EQ(m.rows(), std::to_string(m.grid.Row()));
}

// What a user works on stays in the view: an edit scrolled away by the wheel
// or the scroll bar comes back as it was typed, and a drag past an edge of
// the cells reaches only what can be seen, the window unscrolled (automatic
// scrolling brings the rest a line at a time). The window shows what a full
// paint draws throughout.
TEST(GridMouse, ScrollingAwayAndDraggingPastTheEdgesKeepToTheView) {
  Mouse m(40);
  auto screen = [&] {
    QApplication::processEvents();
    return screenDiffersFromFullPaint(*m.port());
  };
  auto wheel = [&](int delta) {
    const QPoint at(100, 80);
    QWheelEvent turn(at, m.port()->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, {},
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(m.port(), &turn);
  };
  auto type = [](const char *text) { QTest::keyClicks(QApplication::focusWidget(), text); };
  type("ab");
  wheel(-120);
  wheel(-120);
  ASSERT_GT(m.grid.TopRow(), 3);
  EXPECT_EQ(screen(), "");
  type("c");
  EXPECT_EQ(m.grid.GetCell(1, 1).toString(), "abc") << "wheeled away and typed on";
  m.grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  wheel(-120);
  wheel(120);
  ASSERT_GT(m.grid.TopRow(), 1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
  EXPECT_EQ(m.grid.GetCell(1, 1).toString(), "ab") << "paged away, one Backspace takes one letter";
  m.grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  m.grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(m.grid.EditControl().Editor().GetSelText(), "") << "scrolled back, nothing selected";
  type("d");
  EXPECT_EQ(m.grid.GetCell(1, 1).toString(), "abd");
  EXPECT_EQ(screen(), "");

  // Right of the last column, inside the window: the last column.
  const int below = m.grid.RowTop(3) + 5, right = m.grid.ColumnLeft(3) + 70;
  ASSERT_LT(right, m.grid.ClientWidth());
  m.drag(m.in(2, 2, 1), {right, below});
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{2, 2, 3, 3}));
  // Past the right edge of a grid wider than its window.
  m.grid.SetCols(12);
  const int last = m.grid.LastVisibleCol();
  const QPoint beyond(m.grid.ClientWidth() + 30, 5);
  ASSERT_EQ(last, 5);
  m.drag(m.heading(2), beyond);
  EXPECT_EQ(m.cols(), "2 3 4 5");
  m.grid.ClearColSelection();
  m.click(m.heading(2));
  m.drag(m.heading(2), beyond);
  EXPECT_EQ(m.grid.DisplayColOf(2), last) << "dropped after the last column shown";
  EXPECT_EQ(m.grid.LeftCol(), 1);
  m.drag(m.in(2, 2, 1), {m.grid.ClientWidth() + 30, m.grid.ClientHeight() + 30});
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{2, 2, last, m.grid.LastVisibleRow()}));
  // Past the left edge of a scrolled grid: the first column shown.
  m.grid.SetLeftCol(4);
  m.drag(m.in(6, 2, 1), {-30, below});
  EXPECT_EQ(m.grid.CellRange(), (TGridRect{4, 2, 6, 3}));
  EXPECT_EQ(m.grid.LeftCol(), 4);
  EXPECT_EQ(screen(), "");
}

// A column dragged past the right edge scrolls the view under its drop
// marker: the marker stands only at its new target, no copy of it is left
// where the scrolled cells carried it.
TEST(GridMouse, TheDropMarkerLeavesNoCopiesWhileADragScrolls) {
  Mouse m;
  m.grid.SetCols(20);
  m.grid.resize(335, 211);
  QApplication::processEvents();
  m.click(m.heading(2));
  QTest::mousePress(m.port(), Qt::LeftButton, {}, m.heading(2));
  m.hold(m.heading(4));
  ASSERT_TRUE(m.grid.DropMarkerShown());
  const QPoint out(m.grid.ClientWidth() + 60, 5);
  m.hold(out);
  EXPECT_TRUE(QTest::qWaitFor([&] { return m.grid.LeftCol() > 4; }, 5000));
  m.hold(m.heading(3)); // back inside: the scrolling stops
  QTest::qWait(100);
  EXPECT_EQ(screenDiffersFromFullPaint(*m.port()), "");
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, out);
}

TEST(GridMouse, DragScrollingWaitsLongerNearTheCells) {
  Mouse m(200);
  const QPoint start(5, m.grid.RowTop(2) + 5);
  QTest::mousePress(m.port(), Qt::LeftButton, {}, start);
  m.hold(QPoint(5, m.grid.ClientHeight() + 5));
  QTest::qWait(180);
  EXPECT_EQ(m.grid.TopRow(), 1) << "5 pixels out: the first step waits 200 ms";
  EXPECT_TRUE(QTest::qWaitFor([&] { return m.grid.TopRow() > 1; }, 5000));
  const int near = m.grid.TopRow();
  m.hold(QPoint(5, m.grid.ClientHeight() + 25));
  QTest::qWait(300);
  EXPECT_GT(m.grid.TopRow(), near + 5) << "25 pixels out: no wait";
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, start);
}

TEST(GridMouse, CellButtonsClickOnlyWhenReleasedOnThem) {
  Mouse m;
  m.grid.GetCol(Variant(std::int32_t(2)))->SetButtonType(btNormal);
  const TRect cell = m.grid.GetPaintCellRect(2, 2);
  const QPoint button(cell.Right - 3, cell.Top + 3);
  ASSERT_TRUE(m.grid.PointOnCellButton(button.x(), button.y(), 2, 2));
  m.click(button);
  EXPECT_EQ(m.events, (std::vector<std::string>{"buttondown", "buttonclick", "buttonup"}));
  m.events.clear();
  QTest::mousePress(m.port(), Qt::LeftButton, {}, button);
  EXPECT_TRUE(m.grid.HeldButtonDrawn());
  m.hold(m.in(1, 5));
  EXPECT_FALSE(m.grid.HeldButtonDrawn()) << "off the button it looks released";
  m.hold(button);
  EXPECT_TRUE(m.grid.HeldButtonDrawn()) << "back on it, pressed again";
  m.hold(m.in(1, 5));
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, m.in(1, 5));
  EXPECT_EQ(m.events, (std::vector<std::string>{"buttondown", "buttonup"}));
  // A handler that lets go of the mouse ends the press there.
  m.events.clear();
  m.grid.OnButtonDown = [&m](TdgBaseGrid *g, int, int) {
    m.events.push_back("buttondown");
    g->ReleaseMouseCapture();
  };
  QTest::mousePress(m.port(), Qt::LeftButton, {}, button);
  EXPECT_FALSE(m.grid.HeldButtonDrawn());
  EXPECT_EQ(m.grid.MouseStatus(), msNothing);
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, button);
  EXPECT_EQ(m.events, std::vector<std::string>{"buttondown"});
}

TEST(GridMouse, HeldSpinButtonsRepeatAndStopOffTheButton) {
  Mouse m;
  TdgCol *col = m.grid.GetCol(Variant(std::int32_t(2)));
  col->SetButtonType(btVertSpin);
  m.grid.SetSpinStartDelay(500);
  m.grid.SetSpinRepeatDelay(40);
  std::vector<int> counts;
  std::vector<TdgSpinButton> halves;
  m.grid.OnSpinRepeat = [&](TdgBaseGrid *, int, int, int count, TdgSpinButton half) {
    counts.push_back(count);
    halves.push_back(half);
  };
  const TRect cell = m.grid.GetPaintCellRect(2, 2);
  const QPoint up(cell.Right - 3, cell.Top + 2), down(cell.Right - 3, cell.Bottom - 2);
  QTest::mousePress(m.port(), Qt::LeftButton, {}, up);
  EXPECT_EQ(counts, std::vector<int>{1});
  EXPECT_EQ(m.grid.GetCell(2, 2).toString(), "1") << "an empty cell steps from 0";
  QTest::qWait(100);
  EXPECT_EQ(counts.size(), 1u) << "before the start delay";
  EXPECT_TRUE(QTest::qWaitFor([&] { return counts.size() >= 2; }, 5000));
  for (std::size_t i = 0; i < counts.size(); ++i)
    EXPECT_EQ(counts[i], static_cast<int>(i) + 1);
  m.hold(m.in(1, 5));
  std::size_t stopped = counts.size();
  QTest::qWait(150);
  EXPECT_EQ(counts.size(), stopped) << "off the button the repeat stops";
  // Back on it, it is pressed anew: its count starts again.
  m.hold(up);
  EXPECT_TRUE(m.grid.HeldButtonDrawn());
  ASSERT_TRUE(QTest::qWaitFor([&] { return counts.size() > stopped; }, 5000));
  EXPECT_EQ(counts[stopped], 1);
  EXPECT_EQ(halves.back(), sbUp);
  // Slid onto the other half, that half is pressed in its turn.
  m.hold(down);
  stopped = counts.size();
  ASSERT_TRUE(QTest::qWaitFor([&] { return counts.size() > stopped; }, 5000));
  EXPECT_EQ(counts[stopped], 1);
  EXPECT_EQ(halves.back(), sbDown);
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, down);
}

TEST(GridMouse, SpinStepsTheNumberAroundTheCaret) {
  Mouse m;
  m.grid.GetCol(Variant(std::int32_t(1)))->SetButtonType(btVertSpin);
  m.grid.SetCell(1, 1, Variant("abc12def"));
  m.grid.PlaceEditor();
  m.grid.EditControl().SetSelStart(4);
  m.grid.SpinCurrentCell(1, 1, sbUp);
  EXPECT_EQ(m.grid.GetCell(1, 1).toString(), "abc13def");
  m.grid.OnSpinIncrement = [](TdgBaseGrid *, int, int, TdgSpinButton, Variant &, int &, int &,
                              bool &accept) { accept = false; };
  m.grid.SpinCurrentCell(1, 1, sbUp);
  EXPECT_EQ(m.grid.GetCell(1, 1).toString(), "abc13def") << "a refusing handler changes nothing";
  m.grid.SpinCurrentCell(2, 1, sbUp);
  EXPECT_TRUE(m.grid.GetCell(2, 1).isEmpty()) << "no spin button, no step";
}

TEST(GridMouse, HeadingButtonsPressTrackAndClick) {
  Mouse m;
  m.grid.SetHeadingButton(hbButton);
  std::vector<std::string> heading;
  m.grid.OnHeadingDown = [&](TdgBaseGrid *, int c) {
    heading.push_back("down " + std::to_string(c));
  };
  m.grid.OnHeadingUp = [&](TdgBaseGrid *, int c) { heading.push_back("up " + std::to_string(c)); };
  m.grid.OnHeadingClick = [&](TdgBaseGrid *, int c) {
    heading.push_back("click " + std::to_string(c));
  };
  const QPoint on(m.grid.ColumnLeft(2) + 20, 5);
  m.click(on);
  EXPECT_EQ(heading, (std::vector<std::string>{"down 2", "up 2", "click 2"}));
  heading.clear();
  QTest::mousePress(m.port(), Qt::LeftButton, {}, on);
  m.hold(m.in(3, 3));
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, m.in(3, 3));
  EXPECT_EQ(heading, (std::vector<std::string>{"down 2", "up 2"})) << "released away: no click";
  // Held, the other headings with a text are drawn flat, and raised again
  // when Escape lets it go without a click.
  m.grid.GetCol(Variant(3))->SetHeading("Th&ird");
  QApplication::processEvents();
  heading.clear();
  QTest::mousePress(m.port(), Qt::LeftButton, {}, on);
  EXPECT_EQ(screenDiffersFromFullPaint(m.grid), "") << "held";
  QTest::keyClick(&m.grid, Qt::Key_Escape);
  EXPECT_FALSE(m.grid.HeadingHeldDown(2));
  EXPECT_EQ(screenDiffersFromFullPaint(m.grid), "") << "after Escape";
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, on);
  EXPECT_EQ(heading, (std::vector<std::string>{"down 2", "up 2"})) << "cancelled: no click";
  // In a tall heading the button is its top part only.
  m.grid.SetHeadingHeight(30);
  heading.clear();
  QTest::mousePress(m.port(), Qt::LeftButton, {}, on);
  m.hold(QPoint(on.x(), 25));
  EXPECT_FALSE(m.grid.HeadingHeldDown(2));
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, QPoint(on.x(), 25));
  EXPECT_EQ(heading, (std::vector<std::string>{"down 2", "up 2"})) << "released below the button";
  m.grid.OnHeadingDown = [](TdgBaseGrid *g, int) { g->ReleaseMouseCapture(); };
  QTest::mousePress(m.port(), Qt::LeftButton, {}, on);
  EXPECT_FALSE(m.grid.HeadingHeldDown(2)) << "let go of by its handler, the heading looks flat";
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, on);
}

TEST(GridMouse, ResettingRowOrderBringsDataOrderBack) {
  Mouse m;
  m.grid.MoveRows(1, 5);
  ASSERT_NE(m.grid.GetDisplayRowOf(1), 1);
  m.grid.ResetRowProperties(4);
  for (int r = 1; r <= 6; ++r)
    EXPECT_EQ(m.grid.GetDisplayRowOf(r), r);
}

TEST(GridMouse, EditingScreenshotsShowSomething) {
  QTemporaryDir folder;
  const auto files = renderEditingScreenshots(folder.path().toStdString());
  EXPECT_EQ(files.size(), 7u);
  EXPECT_EQ(blankPictures(files), std::vector<std::string>{});
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(GridMouse, SizingOneRowSizesEveryRowWhenAllAreSized) {
  Mouse m;
  std::vector<int> rows, cols;
  m.grid.OnRowResized = [&](TdgBaseGrid *, int row) { rows.push_back(row); };
  m.grid.OnColResized = [&](TdgBaseGrid *, int col) { cols.push_back(col); };
  const int bottom = m.grid.RowTop(2) + m.grid.RowHeights(2) - 1;
  QTest::mousePress(m.port(), Qt::LeftButton, {}, QPoint(5, bottom));
  EXPECT_EQ(m.grid.MouseStatus(), msRowSizing);
  m.hold(QPoint(5, bottom + 6));
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, QPoint(5, bottom + 6));
  EXPECT_EQ(m.grid.RowHeights(2), 20);
  EXPECT_EQ(m.grid.RowHeights(5), 20);
  EXPECT_EQ(m.grid.RowHeights(0), 15) << "the heading keeps its height";
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back(), 2) << "the row sized is reported, also when all rows took its height";

  // The row bar is sized on its border in the heading, and reported as line 0.
  const int bar = m.grid.RowBarWidth();
  QTest::mousePress(m.port(), Qt::LeftButton, {}, QPoint(bar - 1, 5));
  m.hold(QPoint(bar + 9, 5));
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, QPoint(bar + 9, 5));
  EXPECT_EQ(m.grid.RowBarWidth(), bar + 10);
  EXPECT_EQ(cols, std::vector<int>{0});
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// Spin settings come from the level that gives the cell its spin button.
TEST(GridMouse, SpinSettingsComeFromTheLevelWithTheSpinButton) {
  Mouse m;
  TdgCol *col = m.grid.GetCol(Variant(std::int32_t(2)));
  col->SetButtonType(btVertSpin);
  col->SetSpinIncrement(5);
  col->SetSpinOptions(0);
  m.grid.SetSpinStartDelay(10);
  m.grid.SetSpinRepeatDelay(10);
  int repeats = 0;
  m.grid.OnSpinRepeat = [&](TdgBaseGrid *, int, int, int, TdgSpinButton) { ++repeats; };
  m.grid.SetCell(2, 2, Variant("10"));
  const TRect cell = m.grid.GetPaintCellRect(2, 2);
  const QPoint up(cell.Right - 3, cell.Top + 2);
  QTest::mousePress(m.port(), Qt::LeftButton, {}, up);
  QTest::qWait(120);
  QTest::mouseRelease(m.port(), Qt::LeftButton, {}, up);
  EXPECT_EQ(m.grid.GetCell(2, 2).toString(), "15");
  EXPECT_EQ(repeats, 1) << "without spoAutoRepeat a held press steps once";
  // A spin row wins over a combo column when rows are on top, with its own
  // settings.
  col->SetButtonType(btCombo);
  m.grid.SetRowButtonType(3, btVertSpin);
  m.grid.SetDrawOverlap(doDrawRowOnTop);
  EXPECT_EQ(m.grid.EffectiveButtonType(2, 3), btVertSpin);
  m.grid.SetCell(2, 3, Variant("10"));
  m.grid.FocusCell(2, 3, true);
  m.grid.SpinCurrentCell(2, 3, sbUp);
  EXPECT_EQ(m.grid.GetCell(2, 3).toString(), "11");
}

// What is read-only shows no button to press, and with ReadOnlyButton off
// none at all.
TEST(GridMouse, ReadOnlyCellsHaveNoButtonToPress) {
  Mouse m;
  m.grid.GetCol(Variant(std::int32_t(2)))->SetButtonType(btCombo);
  m.grid.SetRowReadOnly(3, true);
  const TRect onRow3 = m.grid.GetPaintCellRect(2, 3);
  EXPECT_FALSE(m.grid.PointOnCellButton(onRow3.Right - 3, onRow3.Top + 2, 3, 2));
  const TRect onRow2 = m.grid.GetPaintCellRect(2, 2);
  EXPECT_TRUE(m.grid.PointOnCellButton(onRow2.Right - 3, onRow2.Top + 2, 2, 2));
  m.grid.GetCol(Variant(std::int32_t(2)))->SetReadOnly(true);
  EXPECT_EQ(m.grid.EffectiveButtonType(2, 2), btCombo) << "ReadOnlyButton on: shown";
  m.grid.SetReadOnlyButton(false);
  EXPECT_EQ(m.grid.EffectiveButtonType(2, 2), btNone);
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// At most two digits.
struct TwoDigits : TdgMaskDefinition {
  bool Active() const override { return true; }
  bool CheckOnEnd() const override { return false; }
  bool Check(const std::string &, std::string &, int, int, int) override { return true; }
  bool CheckWhole(const std::string &text, std::string &) override {
    return text.size() <= 2 && text.find_first_not_of("0123456789") == std::string::npos;
  }
};

struct TwoDigitDefs : TdgMaskDefsComponent {
  TwoDigits mask;
  void RegisterLink(TdgMaskLink *link) override { link->component_ = this; }
  void UnregisterLink(TdgMaskLink *link) override { link->component_ = nullptr; }
  Variant FindMask(const Variant &) override { return {}; }
  TdgMaskDefinition *FindDefinition(std::string_view) override { return &mask; }
};

TEST(GridMouse, ASpinStepThatTheMaskRefusesChangesNothing) {
  Mouse m;
  TwoDigitDefs defs;
  m.grid.SetMaskDefs(&defs);
  TdgCol *col = m.grid.GetCol(Variant(std::int32_t(1)));
  col->SetButtonType(btVertSpin);
  col->SetMaskName("two");
  m.grid.SetCell(1, 1, Variant("98"));
  m.grid.PlaceEditor();
  m.grid.SpinCurrentCell(1, 1, sbUp);
  EXPECT_EQ(m.grid.GetCell(1, 1).toString(), "99");
  m.grid.SpinCurrentCell(1, 1, sbUp);
  EXPECT_EQ(m.grid.GetCell(1, 1).toString(), "99") << "100 fits nowhere";
  m.grid.SetMaskDefs(nullptr);
}

// Every row shown selected is every row, whatever is hidden.
TEST(GridMouse, TheCornerDeselectsWhenEveryShownRowIsSelected) {
  Mouse m;
  m.grid.SetRowVisible(3, false);
  m.click(QPoint(5, 5));
  EXPECT_EQ(m.grid.RowSelection().Count, 5);
  m.click(QPoint(5, 5));
  EXPECT_EQ(m.grid.RowSelection().Count, 0);
}

TEST(GridMouse, ResetsReachColumnRowAndCellObjects) {
  Mouse m;
  m.grid.GetCol(Variant(std::int32_t(1)))->SetColor(0x0000FF);
  m.grid.SetRowColor(2, 0x00FF00);
  m.grid.SetCellProperty(3, 3, pnColor, Variant(std::int32_t(0xFF0000)));
  m.grid.ResetRowProperties(0xFFFFFFFF);
  EXPECT_EQ(m.grid.GetRowColor(2), clNone);
  EXPECT_EQ(m.grid.RowStore().Item(2), nullptr) << "a row back at its defaults is freed";
  m.grid.ResetColProperties(resetBit(pnColor));
  EXPECT_EQ(m.grid.GetCol(Variant(std::int32_t(1)))->Color(), clNone);
  m.grid.ResetCellProperties(resetBit(pnColor));
  EXPECT_EQ(m.grid.GetCellProperty(3, 3, pnColor).toInteger(), clNone);
  // Heights go back to the grid's default, which stays, as widths do.
  m.grid.SetDefaultRowHeight(20);
  m.grid.SetRowHeight(2, 30);
  m.grid.ResetRowProperties(resetBit(pnHeight));
  EXPECT_EQ(m.grid.DefaultRowHeight(), 20);
  EXPECT_EQ(m.grid.GetRowHeight(2), 20);
  EXPECT_EQ(m.grid.RowHeights(m.grid.GetDisplayRowOf(2)), 20);
  // Marks switched off go; the selection stays, rows with settings too.
  m.grid.SetRowColor(2, 0x00FF00);
  m.grid.SelectRows(2, 3);
  m.grid.SetRowChangedMark(3, true);
  m.grid.SetRowChangedIndicator(TdgBaseGrid::riOff);
  EXPECT_FALSE(m.grid.RowChangedMark(3));
  EXPECT_TRUE(m.grid.RowSelected(2) && m.grid.RowSelected(3));
}

} // namespace
} // namespace marrowen

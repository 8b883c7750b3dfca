#include "gridsupport/gridsequencemore.h"

#include "grid/widget/dgbasegrid.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace marrowen::gridsequence::more {

namespace {

struct KeyChoice {
  Qt::Key key;
  Qt::KeyboardModifiers mods;
  const char *name;
};

// Keys the first table leaves out; a table of their own keeps the sequences
// recorded below playing the keys they played.
const KeyChoice moreKeys[] = {
    {Qt::Key_Left, Qt::ControlModifier, "Ctrl+Left"},
    {Qt::Key_Right, Qt::ControlModifier, "Ctrl+Right"},
    {Qt::Key_Up, Qt::ControlModifier, "Ctrl+Up"},
    {Qt::Key_Down, Qt::ControlModifier, "Ctrl+Down"},
    {Qt::Key_Up, Qt::AltModifier, "Alt+Up"},
    {Qt::Key_C, Qt::ControlModifier, "Ctrl+C"},
    {Qt::Key_V, Qt::ControlModifier, "Ctrl+V"},
    {Qt::Key_X, Qt::ControlModifier, "Ctrl+X"},
    {Qt::Key_Insert, Qt::ShiftModifier, "Shift+Insert"},
    {Qt::Key_Delete, Qt::ShiftModifier, "Shift+Delete"},
    {Qt::Key_Insert, Qt::ControlModifier, "Ctrl+Insert"},
    {Qt::Key_Space, {}, "Space"},
    {Qt::Key_Delete, {}, "Delete"},
    {Qt::Key_Down, Qt::ShiftModifier, "Shift+Down"},
};

} // namespace

int pick(std::uint32_t v, int low, int high) {
  return high < low ? low : low + static_cast<int>(v % static_cast<std::uint32_t>(high - low + 1));
}

std::string rightClick(TdgGrid &g, QWidget &window, const Step &s) {
  const int col = pick(s.a, 0, g.ColCount() - 1);
  const int row = pick(s.b, 0, g.RowCount() - 1);
  const std::string done =
      "right click display cell (" + std::to_string(col) + "," + std::to_string(row) + ")";
  const TRect r = g.GetCellRect(col, row);
  if (IsRectEmpty(r))
    return done + ": not shown";
  const QPoint at =
      g.viewport()->mapTo(&window, QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
  QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, at);
  return done;
}

std::string key(QWidget &target, const Step &s) {
  const KeyChoice &k = moreKeys[s.a % std::size(moreKeys)];
  QTest::keyClick(&target, k.key, k.mods);
  return std::string("key ") + k.name;
}

std::string drag(TdgGrid &g, QWidget &window, const Step &s) {
  const int kind = static_cast<int>(s.a % 4);
  const int lines = kind == 0 ? g.RowCount() - 1 : g.ColCount() - 1;
  const int from = pick(s.a >> 2, 1, lines), to = pick(s.b, 1, lines);
  const char *names[] = {"row bar", "heading", "border", "cell edge"};
  std::string done =
      std::string("drag ") + names[kind] + " " + std::to_string(from) + " to " + std::to_string(to);
  if (lines < 1)
    return done + ": no lines";
  QPoint start, end;
  if (kind == 0 || kind == 1) {
    const TRect a = kind == 0 ? g.GetCellRect(0, from) : g.GetCellRect(from, 0);
    const TRect b = kind == 0 ? g.GetCellRect(0, to) : g.GetCellRect(to, 0);
    if (IsRectEmpty(a) || IsRectEmpty(b))
      return done + ": not shown";
    start = {(a.Left + a.Right) / 2, (a.Top + a.Bottom) / 2};
    end = {(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2};
  } else if (kind == 2) {
    // The bottom border of a row in the row bar, dragged by up to 30 pixels.
    const TRect a = g.GetCellRect(0, std::min(from, g.RowCount() - 1));
    if (IsRectEmpty(a))
      return done + ": not shown";
    start = {(a.Left + a.Right) / 2, a.Bottom - 1};
    end = {start.x(), std::max(1, start.y() + static_cast<int>(s.b % 61) - 30)};
  } else {
    const int row = pick(s.b >> 8, 1, g.RowCount() - 1);
    const TRect a = g.GetCellRect(from, row), b = g.GetCellRect(to, row);
    if (IsRectEmpty(a) || IsRectEmpty(b))
      return done + ": not shown";
    start = {a.Left + 1, (a.Top + a.Bottom) / 2};
    end = {(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2 + static_cast<int>(s.b % 40)};
  }
  QWindow *w = window.windowHandle();
  auto at = [&](QPoint p) { return g.viewport()->mapTo(&window, p); };
  QTest::mousePress(w, Qt::LeftButton, {}, at(start));
  QTest::mouseMove(w, at((start + end) / 2));
  QTest::mouseMove(w, at(end));
  QTest::mouseRelease(w, Qt::LeftButton, {}, at(end));
  return done;
}

std::string setting(TdgGrid &g, const Step &s) {
  switch (s.a % 8) {
  case 0:
    g.SetTabRowWrap(!g.TabRowWrap());
    return std::string("TabRowWrap ") + (g.TabRowWrap() ? "on" : "off");
  case 1:
    g.SetSkipReadOnly(!g.GetSkipReadOnly());
    return std::string("SkipReadOnly ") + (g.GetSkipReadOnly() ? "on" : "off");
  case 2: {
    const auto mode = static_cast<TdgRowSelectMode>(s.b % 3);
    g.SetRowSelectMode(mode);
    return "RowSelectMode " + std::to_string(mode);
  }
  case 3: {
    const int n = static_cast<int>(s.b % 3);
    g.SetFixedRowCount(n);
    return "FixedRowCount " + std::to_string(n);
  }
  case 4: {
    const int n = static_cast<int>(s.b % 3);
    g.SetFixedColCount(n);
    return "FixedColCount " + std::to_string(n);
  }
  case 5: {
    const auto border = static_cast<TdgFocusBorder>(s.b % 4);
    g.SetFocusBorder(border);
    return "FocusBorder " + std::to_string(border);
  }
  case 6: {
    const int r = pick(s.b, 1, g.Rows());
    const int height = 8 + static_cast<int>((s.b >> 8) % 40);
    if (g.Rows() < 1)
      return "SetRowHeight: no rows";
    g.SetRowHeight(r, height);
    return "SetRowHeight(" + std::to_string(r) + ", " + std::to_string(height) + ")";
  }
  default: {
    const int c = pick(s.b, 1, g.Cols());
    const int width = 20 + static_cast<int>((s.b >> 8) % 120);
    TdgCol *col = g.Cols() >= 1 ? g.GetCol(Variant(c)) : nullptr;
    if (!col)
      return "column width: no columns";
    col->SetWidth(width);
    return "column " + std::to_string(c) + " width " + std::to_string(width);
  }
  }
}

std::string selectionFault(TdgGrid &g, TdgMouseStatus reported) {
  for (const bool rows : {true, false}) {
    const TdgSelection &sel = rows ? g.RowSelection() : g.ColSelection();
    TdgSelection recounted = sel;
    recounted.Recount();
    const char *what = rows ? "row" : "column";
    if (sel.Size() != (rows ? g.RowCount() : g.ColCount()))
      return std::string("the ") + what + " selection has " + std::to_string(sel.Size()) +
             " places";
    if (recounted.First != sel.First || recounted.Last != sel.Last || recounted.Count != sel.Count)
      return std::string("the ") + what + " selection holds " + std::to_string(sel.Count) +
             " from " + std::to_string(sel.First) + " to " + std::to_string(sel.Last) +
             ", its bits " + std::to_string(recounted.Count) + " from " +
             std::to_string(recounted.First) + " to " + std::to_string(recounted.Last);
  }
  // A program may select rows while columns or a cell range are selected:
  // the status then stays with what came first.
  const int cols = g.ColSelection().Count, rows = g.RowSelection().Count;
  const TdgGridStatus status = g.GridStatus();
  if ((status == gsNothing && (cols > 0 || rows > 0)) || (status == gsColsSelected && cols == 0) ||
      (status == gsRowsSelected && (rows == 0 || cols > 0)))
    return "grid status " + std::to_string(g.GridStatus()) + " with " +
           std::to_string(g.ColSelection().Count) + " columns and " +
           std::to_string(g.RowSelection().Count) + " rows selected";
  // A cell button's press stays held while the list or picker it opened
  // has the mouse.
  const bool heldByDropDown =
      g.MouseStatus() == msButtonHeld && (g.ComboOpen() || g.DateTimeOpen());
  if ((g.MouseStatus() != msNothing && !heldByDropDown) || reported != g.MouseStatus())
    return "mouse status " + std::to_string(g.MouseStatus()) + " after the step, reported " +
           std::to_string(reported);
  if (g.EditorShown() && g.GridStatus() != gsNothing)
    return "the editor shows while something is selected";
  return {};
}

std::string topLeftFault(const TdgBaseGrid &g, std::pair<int, int> reported,
                         std::pair<int, int> from, std::pair<int, int> to) {
  auto cell = [](std::pair<int, int> c) {
    return "(" + std::to_string(c.first) + "," + std::to_string(c.second) + ")";
  };
  if (from == to)
    return "OnTopLeftChanged with the same old and new cell";
  if (reported.first >= 0 && from != reported)
    return "OnTopLeftChanged from " + cell(from) + " after it reported " + cell(reported);
  if (to != std::pair{g.LeftCol(), g.TopRow()})
    return "OnTopLeftChanged to " + cell(to) + " while the grid's top-left is " +
           cell({g.LeftCol(), g.TopRow()});
  return {};
}

std::string statusFault(const char *event, int from, int to, int reported) {
  if (from != to && from == reported)
    return {};
  return std::string(event) + "(" + std::to_string(from) + ", " + std::to_string(to) +
         ") after status " + std::to_string(reported);
}

std::string scroll(TdgGrid &g, std::uint32_t v) {
  const int kind = static_cast<int>(v % 6);
  if (kind < 2) {
    const int delta = kind == 0 ? -120 : 120;
    const QPoint at(g.ClientWidth() / 2, g.ClientHeight() / 2);
    QWheelEvent wheel(at, g.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(g.viewport(), &wheel);
    return delta < 0 ? "wheel down" : "wheel up";
  }
  const bool vertical = kind < 5;
  QScrollBar *bar = vertical ? g.verticalScrollBar() : g.horizontalScrollBar();
  const QAbstractSlider::SliderAction actions[] = {
      QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
      QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderPageStepSub};
  const char *names[] = {"line down", "line up", "page down", "page up"};
  const int action = static_cast<int>((v >> 3) % 4);
  std::string done = std::string(vertical ? "vertical" : "horizontal") + " bar " + names[action];
  if (!bar->isVisible() || !bar->isEnabled())
    return done + ": not shown";
  bar->triggerAction(actions[action]);
  return done;
}

std::optional<EditorText> shownEditorText(TdgGrid &g) {
  if (!g.EditorShown() || &g.ActiveControl() != &g.EditControl())
    return std::nullopt;
  const TdgEditGridControl &c = g.EditControl();
  return EditorText{c.GetValue().toString(), c.GetSelStart(), c.GetSelLength()};
}

std::string edgeDrag(TdgGrid &g, const Step &s, std::string &fault) {
  const int kind = static_cast<int>(s.a % 3);
  // The cell edge drags a range across rows or across columns.
  const bool rows = kind == 0 || (kind == 2 && s.b % 2 == 0);
  // Mostly past the far edge, where the lines out of view lie.
  const int edgeOf[] = {0, 0, 1, 2};
  const int edge = edgeOf[(s.b >> 1) % 4];
  const int past = 1 + static_cast<int>((s.b >> 3) % 40);
  // A line that can be seen is pressed.
  auto shown = [&](bool vertical, std::uint32_t v) {
    std::vector<int> lines;
    const int last = vertical ? g.LastVisibleRow() : g.LastVisibleCol();
    for (int p = 1; p <= last && p < (vertical ? g.RowCount() : g.ColCount()); ++p)
      if (!IsRectEmpty(vertical ? g.GetCellRect(0, p) : g.GetCellRect(p, 0)))
        lines.push_back(p);
    return lines.empty() ? 1 : lines[v % lines.size()];
  };
  const int col = kind == 0 ? 0 : shown(false, s.a >> 2);
  const int row = kind == 1 ? 0 : shown(true, s.a >> 12);
  const char *names[] = {"row bar", "heading", "cell edge"};
  const char *edges[2][3] = {
      {"beyond the right edge", "right of the last column", "beyond the left edge"},
      {"beyond the bottom", "below the last row", "beyond the top"}};
  const std::string done = std::string("drag ") + names[kind] + " (" + std::to_string(col) + "," +
                           std::to_string(row) + ") " + edges[rows][edge] + " by " +
                           std::to_string(past);
  const TRect r = col < g.ColCount() && row < g.RowCount() ? g.GetCellRect(col, row) : TRect{};
  if (IsRectEmpty(r))
    return done + ": not shown";
  const QPoint start = kind == 2 ? QPoint(r.Left + 1, (r.Top + r.Bottom) / 2)
                                 : QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  QWidget *port = g.viewport();
  QTest::mousePress(port, Qt::LeftButton, {}, start);
  const TdgMouseStatus status = g.MouseStatus();
  const int from = rows ? row : col;
  const int first =
      rows ? (g.FixedRows() > 1 ? 1 : g.TopRow()) : (g.FixedCols() > 1 ? 1 : g.LeftCol());
  const int last = rows ? g.LastVisibleRow() : g.LastVisibleCol();
  const int extent = rows ? g.ClientHeight() : g.ClientWidth();
  int to = edge == 0 ? extent + past : -past;
  if (edge == 1) {
    const TRect end = rows ? g.GetCellRect(0, last) : g.GetCellRect(last, 0);
    to = (rows ? end.Bottom : end.Right) + past;
    if (to >= extent)
      to = extent + past;
  }
  const QPoint end = rows ? QPoint(start.x(), to) : QPoint(to, start.y());
  // Sent straight to the window, with no turn of the event loop between:
  // automatic scrolling has no time to run.
  QMouseEvent move(QEvent::MouseMove, QPointF(end), QPointF(port->mapToGlobal(end)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(port, &move);
  const int low = edge == 2 ? first : from, high = edge == 2 ? from : last;
  const int data = rows ? g.GetDataRow(from) : g.DataColAt(from);
  QTest::mouseRelease(port, Qt::LeftButton, {}, end);
  auto outside = [&](int line) {
    return line < std::min(low, from) || line > std::max(high, from);
  };
  const char *what = rows ? "row " : "column ";
  if (status == msRowMoving || status == msColMoving) {
    const int now = rows ? g.GetDisplayRowOf(data) : g.DisplayColOf(data);
    if (outside(now))
      fault = std::string("the dragged ") + what + std::to_string(from) + " landed at " +
              std::to_string(now) + ", outside " + std::to_string(low) + ".." +
              std::to_string(high);
  } else if (status == msRowSelecting || status == msColSelecting) {
    const TdgSelection &sel = rows ? g.RowSelection() : g.ColSelection();
    for (int p = sel.First; p != -1 && sel.Count > 0; p = sel.NextSelected(p))
      if (outside(p)) {
        fault = std::string("the drag selected ") + what + std::to_string(p) + ", outside " +
                std::to_string(low) + ".." + std::to_string(high);
        break;
      }
  } else if (status == msRangeSelecting && g.GridStatus() == gsCellRange) {
    const TGridRect range = g.CellRange();
    const int a = rows ? range.Top : range.Left, b = rows ? range.Bottom : range.Right;
    if (outside(a) || outside(b))
      fault = std::string("the dragged range spans ") + what + std::to_string(a) + ".." +
              std::to_string(b) + ", outside " + std::to_string(low) + ".." + std::to_string(high);
  }
  return done;
}

std::string viewFault(TdgGrid &g, std::pair<int, int> reported) {
  const std::pair<int, int> now{g.LeftCol(), g.TopRow()};
  if (reported.first >= 0 && now != reported)
    return "the top-left is (" + std::to_string(now.first) + "," + std::to_string(now.second) +
           "), OnTopLeftChanged reported (" + std::to_string(reported.first) + "," +
           std::to_string(reported.second) + ")";
  for (const bool rows : {true, false}) {
    const int count = rows ? g.RowCount() : g.ColCount();
    const int top = rows ? g.TopRow() : g.LeftCol();
    auto extent = [&](int p) { return rows ? g.RowHeights(p) : g.ColWidths(p); };
    bool anyShown = false;
    for (int p = rows ? g.FixedRows() : g.FixedCols(); p < count && !anyShown; ++p)
      anyShown = extent(p) > 0;
    // A line given no height by a program is no hidden one.
    auto hidden = [&](int p) {
      if (rows)
        return !g.GetRowVisible(g.GetDataRow(p));
      const TdgCol *col = g.GetCol(Variant(g.DataColAt(p)));
      return col && !col->Visible();
    };
    if (anyShown && top < count && hidden(top))
      return std::string("the top-left stands on hidden ") + (rows ? "row " : "column ") +
             std::to_string(top);
  }
  for (QScrollBar *bar : {g.horizontalScrollBar(), g.verticalScrollBar()})
    if (bar->isVisible() && bar->isEnabled() && bar->maximum() <= bar->minimum())
      return std::string("the ") + (bar == g.verticalScrollBar() ? "vertical" : "horizontal") +
             " scroll bar is shown with nothing to scroll";
  return {};
}

} // namespace marrowen::gridsequence::more

#include "gridsupport/gridsequencemore.h"

#include "grid/widget/dgbasegrid.h"

#include <QTest>
#include <QWindow>

#include <algorithm>

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

} // namespace marrowen::gridsequence::more

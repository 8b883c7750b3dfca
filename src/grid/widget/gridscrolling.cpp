// How far the data grid may scroll, its scroll bars and the moves they ask
// for, the scroll of what is on screen, and the automatic scrolling of a drag
// beyond the cells. Positions in the visible lists are found by search, so
// nothing here walks all rows.
#include "classlib/scopeexit.h"
#include "grid/basegrid/inplaceedit.h"
#include "grid/widget/dgbasegrid.h"

#include <QDateTime>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <functional>

namespace marrowen {

// ------------------------------------------------------------------- limits

bool TdgBaseGrid::ScrollBarNeeded(bool vertical, int extent) const {
  const TScrollStyle bars = ScrollBars();
  if (bars == ssNone || (vertical ? bars == ssHorizontal : bars == ssVertical))
    return false;
  const TdgVisibleItems &list = vertical ? FVisibleRows : FVisibleCols;
  const int fixed = vertical ? FixedRows() : FixedCols();
  int sum = vertical ? FFixedHeight : FFixedWidth;
  bool found = false;
  int shown = 0;
  for (int pos = list.Search(fixed, found); pos <= list.VisibleCount(); ++pos) {
    sum += vertical ? RowHeights(list.Get(pos)) : ColWidths(list.Get(pos));
    ++shown;
    if (sum > extent)
      return true;
  }
  return false;
}

int TdgBaseGrid::FirstScrollableCol() const {
  bool found = false;
  const int pos = FVisibleCols.Search(FixedCols(), found);
  return pos <= FVisibleCols.VisibleCount() ? FVisibleCols.Get(pos) : FixedCols();
}

int TdgBaseGrid::FirstScrollableRow() const {
  bool found = false;
  const int pos = FVisibleRows.Search(FixedRows(), found);
  return pos <= FVisibleRows.VisibleCount() ? FVisibleRows.Get(pos) : FixedRows();
}

namespace {

// Banker's rounding, as the bar arithmetic expects.
int roundEven(double x) { return static_cast<int>(std::nearbyint(x)); }

// The last line that may stand first in the scrolled area: the last lines
// that fit the client area together, moved on to a line shown, and kept
// among the lines that scroll.
int maxFirstLine(const TdgVisibleItems &list, int lineCount, int fixedCount, int fixedExtent,
                 int client, int first, int last, const std::function<int(int)> &extent) {
  int line = lineCount - 1;
  int used = extent(line) + fixedExtent;
  while (line > fixedCount && used + extent(line - 1) <= client) {
    --line;
    used += extent(line);
  }
  bool found = false;
  if (line > 0) {
    const int pos = list.Search(line, found);
    if (!found && pos <= list.VisibleCount())
      line = list.Get(pos);
  }
  if (first <= last)
    return std::max(std::max(std::min(line, last), first), fixedCount);
  return fixedCount;
}

int maxPosition(const TdgVisibleItems &list, int fixedCount, int fixedExtent, int client,
                const std::function<int(int)> &extent) {
  const int count = list.VisibleCount();
  if (count < 1)
    return 0;
  int p = count;
  int r = list.Get(p);
  int h = fixedExtent + (r > 0 ? extent(r) : 0);
  while (p > 1 && r > fixedCount) {
    r = list.Get(p - 1);
    if (r < fixedCount || h + extent(r) > client)
      break;
    --p;
    h += extent(r);
  }
  bool found = false;
  return std::min(std::max(p, list.Search(fixedCount, found)), count);
}

} // namespace

int TdgBaseGrid::MaxTopRow() const {
  if (!HandleAllocated())
    return 0;
  const int last = FInsertRowFlag                    ? RowCount() - 1
                   : FVisibleRows.VisibleCount() > 0 ? FVisibleRows.Get(FVisibleRows.VisibleCount())
                                                     : 0;
  return maxFirstLine(FVisibleRows, RowCount(), FixedRows(), FFixedHeight, ClientHeight(),
                      FirstScrollableRow(), last, [this](int r) { return RowHeights(r); });
}

int TdgBaseGrid::MaxLeftCol() const {
  if (!HandleAllocated())
    return 0;
  const int last =
      FVisibleCols.VisibleCount() > 0 ? FVisibleCols.Get(FVisibleCols.VisibleCount()) : 0;
  return maxFirstLine(FVisibleCols, ColCount(), FixedCols(), FFixedWidth, ClientWidth(),
                      FirstScrollableCol(), last, [this](int c) { return ColWidths(c); });
}

int TdgBaseGrid::MaxTopPosition() const {
  return maxPosition(FVisibleRows, FixedRows(), FFixedHeight, ClientHeight(),
                     [this](int r) { return RowHeights(r); });
}

int TdgBaseGrid::MaxLeftPosition() const {
  return maxPosition(FVisibleCols, FixedCols(), FFixedWidth, ClientWidth(),
                     [this](int c) { return ColWidths(c); });
}

// -------------------------------------------------------------- scroll bars

TScrollInfo TdgBaseGrid::CalcScrollInfo(int bar, bool &scaled) const {
  const bool vertical = bar == SB_VERT;
  const TdgVisibleItems &list = vertical ? FVisibleRows : FVisibleCols;
  bool found = false;
  const int first = list.Search(vertical ? FixedRows() : FixedCols(), found);
  const int count = list.VisibleCount();
  const int maxPos = vertical ? MaxTopPosition() : MaxLeftPosition();
  int range = count - first + 1;
  int capped = std::min(32767, range);
  scaled = false;
  if (range > capped) {
    scaled = true;
    range = maxPos - first;
    capped = std::min(capped, range);
  }
  TScrollInfo info;
  info.Min = scaled ? 0 : 1;
  info.Max = capped;
  if (range == 0)
    info.Page = 0;
  else if (scaled)
    info.Page = 1;
  else
    info.Page = std::max(1, roundEven(double(count + 1 - maxPos) / range * capped));
  const int current = list.Search(vertical ? TopRow() : LeftCol(), found);
  if (range < 1) {
    info.Pos = 1;
  } else if (scaled) {
    info.Pos = roundEven(double(capped) / range * (current - first));
    if (info.Pos > count)
      info.Pos = count;
  } else {
    info.Pos = current - first + 1;
    if (info.Pos > count)
      info.Pos = maxPos;
  }
  return info;
}

// Both bars are decided together from the area they share with the cells,
// not from the viewport the bars standing now leave: near the edge each bar's
// room makes the other needed, and one bar at a time they kept hiding and
// showing each other through the resizes. A bar shown only takes room, so
// starting from the always-shown bars the rounds settle on the fewest that
// serve.
void TdgBaseGrid::UpdateScrollBars() {
  if (!HandleAllocated() || FUpdatingScrollBars)
    return;
  if (PaintSuppressed()) {
    FRepaintPending = true;
    return;
  }
  FUpdatingScrollBars = true;
  ScopeExit done{[this] { FUpdatingScrollBars = false; }};
  const TScrollStyle bars = ScrollBars();
  bool allowed[2], always[2], needed[2], shown[2];
  for (int bar : {SB_HORZ, SB_VERT}) {
    const TScrollStyle own = bar == SB_VERT ? ssVertical : ssHorizontal;
    allowed[bar] = bars == ssBoth || bars == own;
    always[bar] = allowed[bar] && (FAlwaysShowScrollBar == ssBoth || FAlwaysShowScrollBar == own);
    needed[bar] = false;
    shown[bar] = always[bar];
  }
  const int thickness[2] = {horizontalScrollBar()->sizeHint().height(),
                            verticalScrollBar()->sizeHint().width()};
  const int width =
      ClientWidth() + (verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ? thickness[SB_VERT] : 0);
  const int height =
      ClientHeight() +
      (horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ? thickness[SB_HORZ] : 0);
  for (bool changed = true; changed;) {
    changed = false;
    for (int bar : {SB_HORZ, SB_VERT}) {
      const bool vertical = bar == SB_VERT;
      const int other = vertical ? SB_HORZ : SB_VERT;
      const int room = (vertical ? height : width) - (shown[other] ? thickness[other] : 0);
      needed[bar] = allowed[bar] && ScrollBarNeeded(vertical, room);
      if (needed[bar] && !shown[bar])
        changed = shown[bar] = true;
    }
  }
  // The viewport takes its final size before the bars' ranges are measured
  // on it.
  for (int bar : {SB_HORZ, SB_VERT}) {
    FBarShown[bar] = shown[bar];
    FBarEnabled[bar] = needed[bar] || !always[bar];
  }
  ApplyScrollBarPolicies();
  for (int bar : {SB_HORZ, SB_VERT})
    if (needed[bar]) {
      bool scaled = false;
      const TScrollInfo info = CalcScrollInfo(bar, scaled);
      SetScrollPage(bar, info.Page);
      SetScrollRange(bar, info.Min, info.Max);
      SetScrollPos(bar, info.Pos);
    }
}

void TdgBaseGrid::ApplyScrollBarPolicies() {
  for (int bar : {SB_HORZ, SB_VERT}) {
    QScrollBar *sb = bar == SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
    const Qt::ScrollBarPolicy policy =
        FBarShown[bar] ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (bar == SB_HORZ && horizontalScrollBarPolicy() != policy)
      setHorizontalScrollBarPolicy(policy);
    if (bar == SB_VERT && verticalScrollBarPolicy() != policy)
      setVerticalScrollBarPolicy(policy);
    sb->setEnabled(FBarEnabled[bar]);
  }
}

void TdgBaseGrid::UpdateScrollRange() {
  // A larger window may now show the end from an earlier top-left cell, and
  // a hidden line gives its place at the top or left to the nearest shown one.
  if (HandleAllocated() && !Updating() && !FSyncingSizes) {
    const int left = NearestShownLine(false, std::min<int>(LeftCol(), MaxLeftCol()), LeftCol());
    const int top = NearestShownLine(true, std::min<int>(TopRow(), MaxTopRow()), TopRow());
    if ((left != LeftCol() || top != TopRow()) && left >= FixedCols() && top >= FixedRows())
      MoveTopLeft(left, top);
  }
  UpdateScrollBars();
}

void TdgBaseGrid::UpdateScrollPos() {
  if (!HandleAllocated() || ScrollBars() == ssNone)
    return;
  for (int bar : {SB_HORZ, SB_VERT})
    if (FBarShown[bar] && FBarEnabled[bar]) {
      bool scaled = false;
      const int pos = CalcScrollInfo(bar, scaled).Pos;
      if (ScrollInfo(bar).Pos != pos)
        SetScrollPos(bar, pos);
    }
}

void TdgBaseGrid::ModifyScrollBar(int scrollBar, int scrollCode, int pos, bool) {
  // An open list or picker would stay behind while its cell scrolls away.
  CloseDropDowns();
  ScrollMessage(scrollBar, scrollCode, pos);
}

void TdgBaseGrid::ScrollMessage(int bar, int code, int thumb) {
  const bool vertical = bar == SB_VERT;
  if (isVisible() && focusPolicy() != Qt::NoFocus && !HasFocusNow())
    setFocus();
  const TdgVisibleItems &list = vertical ? FVisibleRows : FVisibleCols;
  const int fixed = vertical ? FixedRows() : FixedCols();
  bool found = false;
  const int first = list.Search(fixed, found);
  const int count = list.VisibleCount();
  int p = list.Search(vertical ? TopRow() : LeftCol(), found);
  const int maxPos = vertical ? MaxTopPosition() : MaxLeftPosition();
  bool scaled = false;
  const TScrollInfo info = CalcScrollInfo(bar, scaled);
  const int range = scaled ? maxPos - first : count - first + 1;
  auto fromThumb = [&] {
    if (scaled) {
      const int q = roundEven(double(range) / info.Max * thumb) + first;
      return q > count ? maxPos : q;
    }
    const int q = first - 1 + thumb;
    return q > count ? count : q;
  };
  switch (code) {
  case SB_LINEUP:
    if (p <= first)
      return;
    --p;
    break;
  case SB_LINEDOWN:
    ++p;
    break;
  case SB_PAGEUP:
    if (p <= first)
      return;
    p -= std::max(1, vertical ? PageSizeUp() : PageSizeLeft());
    break;
  case SB_PAGEDOWN:
    p += std::max(1, vertical ? PageSizeDown() : PageSizeRight());
    break;
  case SB_THUMBPOSITION:
    p = fromThumb();
    break;
  case SB_THUMBTRACK:
    if (FThumbTracking)
      p = fromThumb();
    break;
  case SB_TOP:
    p = first;
    break;
  case SB_BOTTOM:
    p = count;
    break;
  default:
    break;
  }
  int target;
  if (p >= 1 && p <= count)
    target = list.Get(p);
  else if (p < 1)
    target = vertical ? FirstScrollableRow() : FirstScrollableCol();
  else
    target = count >= 1 ? list.Get(count) : fixed;
  target = std::max(target, fixed);
  target = std::min(target, vertical ? MaxTopRow() : MaxLeftCol());
  const int current = vertical ? TopRow() : LeftCol();
  if (target != current) {
    const auto byUser = UserScrolling();
    if (vertical)
      MoveTopLeft(LeftCol(), target);
    else
      MoveTopLeft(target, TopRow());
  }
}

// A hidden line cannot stand at the top or left: the nearest shown one
// does, looked for first the way the view moves.
int TdgBaseGrid::NearestShownLine(bool rows, int requested, int current) const {
  const TdgVisibleItems &list = rows ? FVisibleRows : FVisibleCols;
  const int fixed = rows ? FixedRows() : FixedCols();
  requested = std::max(requested, rows ? FirstScrollableRow() : FirstScrollableCol());
  bool found = false;
  const int pos = list.Search(requested, found);
  if (found)
    return requested;
  const bool after = pos <= list.VisibleCount();
  const bool before = pos - 1 >= 1 && list.Get(pos - 1) >= fixed;
  if (requested >= current ? after : !before && after)
    return list.Get(pos);
  if (before)
    return list.Get(pos - 1);
  return current;
}

void TdgBaseGrid::MoveTopLeft(std::int32_t aLeft, std::int32_t aTop) {
  if (Updating() || !HandleAllocated()) {
    TCustomGrid_dg::MoveTopLeft(aLeft, aTop);
    return;
  }
  aLeft = NearestShownLine(false, std::min(aLeft, MaxLeftCol()), LeftCol());
  aTop = NearestShownLine(true, std::min(aTop, MaxTopRow()), TopRow());
  if (aLeft == LeftCol() && aTop == TopRow())
    return;
  // Buttons belong to the cells as they were shown. The editor is taken off
  // before the pixels move and placed again after by TopLeftMoved, which
  // every top-left move passes.
  if (FHoverCol >= 0 || FPressedCol >= 0)
    LeaveCellButtons();
  TCustomGrid_dg::MoveTopLeft(aLeft, aTop);
}

void TdgBaseGrid::MoveTopLeftInMode(int left, int top, int mode) {
  FScrollMode = mode;
  ScopeExit reset{[this] { FScrollMode = 0; }};
  if (mode != 0) {
    const TRect area{FFixedWidth, FFixedHeight, ClientWidth(), ClientHeight()};
    TRect cell = GetCellRect(Col(), Row());
    if (IsRectEmpty(cell))
      cell = area;
    if (cell != area) {
      cell.Left += 3;
      if (FocusCellTest(Col(), Row(), true) &&
          (FFocusBorder == fbSingle || FFocusBorder == fbDouble)) {
        --cell.Left;
        --cell.Top;
      }
    }
    FModeCellRect = cell;
    FModeRowRect = {0, cell.Top, ClientWidth(), cell.Bottom};
  }
  if (left != LeftCol() && top != TopRow())
    MoveTopLeft(left, top);
  else if (left != LeftCol())
    SetLeftCol(left);
  else if (top != TopRow())
    SetTopRow(top);
}

// The bottom of the last row shown and its line, within the client area.
int TdgBaseGrid::RowsBottom() const {
  const int last = LastVisibleRow();
  const int top = RowTop(last);
  if (top < 0)
    return ClientHeight();
  return std::min(ClientHeight(), top + RowHeights(last) + FHorzLineWidth);
}

void TdgBaseGrid::ScrollArea(int dx, int dy, const TRect &area) {
  if (IsRectEmpty(area))
    return;
  const TRect r{std::max(area.Left, 0), std::max(area.Top, 0), std::min(area.Right, ClientWidth()),
                std::min(area.Bottom, ClientHeight())};
  if (IsRectEmpty(r))
    return;
  ScrollPixels(dx, dy, QRect(r.Left, r.Top, r.Width(), r.Height()));
}

void TdgBaseGrid::ScrollDataInfo(int dx, int dy, const TGridDrawInfo &info) {
  if (!HandleAllocated() || (dx == 0 && dy == 0))
    return;
  if (PaintSuppressed()) {
    InvalidateGrid();
    return;
  }
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  // A focus frame over the line beside the fixed area stays there while its
  // cell moves away with the pixels.
  ScopeExit frame{[&] {
    if (!FocusFrameOutside())
      return;
    InvalidateScreenRect(TRect{0, FFixedHeight - 1, cw, FFixedHeight});
    InvalidateScreenRect(TRect{FFixedWidth - 1, 0, FFixedWidth, ch});
    InvalidateFocusFrame();
  }};
  if (dx != 0 && dy != 0) {
    if (FScrollMode == 2)
      InvalidateGrid();
    else
      TCustomGrid_dg::ScrollDataInfo(dx, dy, info);
    return;
  }
  auto vertical = [&] {
    const int area = ch - FFixedHeight;
    if (area - std::abs(dy) < area / 5) {
      InvalidateScreenRect(TRect{0, FFixedHeight, cw, ch});
      return;
    }
    ScrollArea(0, dy, TRect{0, FFixedHeight, cw, dy > 0 ? RowsBottom() : ch});
  };
  auto rowsOnly = [&] {
    if (dy < 0) {
      ScrollArea(0, dy, TRect{0, FFixedHeight, cw, FModeRowRect.Top});
    } else {
      const int from = std::max(FModeRowRect.Bottom + FHorzLineWidth, FFixedHeight);
      ScrollArea(0, dy, TRect{0, from, cw, RowsBottom()});
    }
  };
  switch (FScrollMode) {
  case 1:
    if (dy != 0) {
      const TRect area{FFixedWidth, FFixedHeight, cw, ch};
      if (FModeCellRect == area)
        rowsOnly();
      else
        vertical();
      return;
    }
    // Only the columns beside the kept cell move; the rest is drawn afresh.
    if (dx < 0) {
      const int right = std::max(FFixedWidth, FModeCellRect.Left - 3);
      ScrollArea(dx, 0, TRect{FFixedWidth, 0, right, ch});
      InvalidateScreenRect(TRect{right, 0, cw, ch});
    } else {
      const int left = std::max(FFixedWidth, FModeCellRect.Right);
      ScrollArea(dx, 0, TRect{left, 0, cw, ch});
      InvalidateScreenRect(TRect{FFixedWidth, 0, left, ch});
    }
    return;
  case 2:
    // Only rows move in this mode; anything else is drawn afresh.
    if (dy != 0)
      rowsOnly();
    else
      InvalidateScreenRect(TRect{FFixedWidth, 0, cw, ch});
    return;
  default:
    break;
  }
  if (dy != 0) {
    vertical();
    return;
  }
  const int area = cw - FFixedWidth;
  if (area - std::abs(dx) < area / 5) {
    InvalidateScreenRect(TRect{FFixedWidth, 0, cw, ch});
    return;
  }
  if (dx < 0 && FFixedWidth > 0 && FVertLineWidth > 0)
    InvalidateScreenRect(TRect{FFixedWidth - 1, 0, FFixedWidth, ch});
  ScrollArea(dx, 0, TRect{FFixedWidth, 0, cw, ch});
}

// ----------------------------------------------------------- auto-scrolling

int TdgBaseGrid::AutoScrollDelay(int distance, int zone) const {
  static constexpr int fast = 0, slow = 200;
  switch (FScrollSpeed) {
  case spHigh:
    return fast;
  case spLow:
    return slow;
  case spVariable:
    break;
  }
  // An edge on the screen's edge leaves no zone to measure in.
  if (zone <= 0)
    return fast;
  const int d = std::min(distance, zone);
  const int v = d * std::abs(slow - fast) / zone;
  return v < slow / 2 ? slow : fast;
}

bool TdgBaseGrid::AutoScrollWait(int x, int y, int direction, int screenWidth, int screenHeight) {
  int distance = 0, zone = 30;
  const QPoint origin = viewport()->mapToGlobal(QPoint(0, 0));
  if (direction != 1) {
    if (x < FFixedWidth) {
      distance = FFixedWidth - x;
      zone = std::min(30, origin.x() + FFixedWidth);
    } else if (x > ClientWidth()) {
      distance = x - ClientWidth();
      zone = std::min(30, screenWidth - (origin.x() + x));
    }
  }
  if (direction != 0) {
    int vd = 0, vzone = 30;
    if (y > ClientHeight()) {
      vd = y - ClientHeight();
      vzone = std::min(vzone, screenHeight - (origin.y() + y));
    } else if (y < FFixedHeight) {
      vd = FFixedHeight - y;
      vzone = std::min(vzone, origin.y() + FFixedHeight);
    }
    if (direction == 1 || vd > distance) {
      distance = vd;
      zone = vzone;
    }
  }
  const int delay = AutoScrollDelay(distance, zone);
  FWaitLeft = 0;
  if (delay == 0)
    return true;
  const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
  if (FWaitStart == 0)
    FWaitStart = now;
  if (now - FWaitStart < delay) {
    FWaitLeft = static_cast<int>(FWaitStart + delay - now);
    return false;
  }
  FWaitStart = 0;
  return true;
}
} // namespace marrowen

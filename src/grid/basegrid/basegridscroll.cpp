// The base grid's counts and the moves of its columns and rows, its top-left
// cell and the scroll of what is on screen, and its scroll bars.

#include "grid/basegrid/basegrid.h"

#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <iterator>
#include <utility>

namespace marrowen {

namespace {

// The scrollable cells are addressed 0..127 on the bars, whatever the count.
constexpr int maxShortInt = 127;

std::int32_t mulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
  return static_cast<std::int32_t>(a * b / c);
}

} // namespace

// ---------------------------------------------------- counts, moves, scrolls

void TCustomGrid_dg::ChangeSize(std::int32_t newColCount, std::int32_t newRowCount) {
  const std::int32_t oldColCount = FColCount;
  const std::int32_t oldRowCount = FRowCount;
  TGridDrawInfo oldInfo;
  if (FHandleAllocated)
    CalcDrawInfo(oldInfo);
  const TGridCoord oldTopLeft = FTopLeft;
  auto doChange = [&] {
    if (!FColWidths.empty())
      FColWidths.Update(FColCount, FDefaultColWidth);
    if (!FTabStops.empty())
      FTabStops.Update(FColCount, 1);
    if (!FRowHeights.empty())
      FRowHeights.Update(FRowCount, FDefaultRowHeight);
    if (FCurrent.X >= FColCount || FCurrent.Y >= FRowCount)
      MoveCurrent(std::min(FCurrent.X, FColCount - 1), std::min(FCurrent.Y, FRowCount - 1), true,
                  true);
    if (FRangeEnd.X >= FColCount || FRangeEnd.Y >= FRowCount)
      MoveRangeEnd(
          TGridCoord{std::min(FRangeEnd.X, FColCount - 1), std::min(FRangeEnd.Y, FRowCount - 1)});
    if (FHandleAllocated) {
      if (FVirtualView || FTopLeft != oldTopLeft) {
        InvalidateGrid();
      } else {
        TGridDrawInfo newInfo;
        CalcDrawInfo(newInfo);
        const bool rtl = UseRightToLeftAlignment();
        if (oldColCount != FColCount) {
          const std::int32_t first =
              std::min(oldInfo.Horz.LastFullVisibleCell, newInfo.Horz.LastFullVisibleCell);
          const TRect cell = CellRect(first, 0);
          if (rtl)
            InvalidateScreenRect(TRect{0, 0, cell.Right, ClientHeight()});
          else
            InvalidateScreenRect(TRect{cell.Left, 0, ClientWidth(), ClientHeight()});
        }
        if (oldRowCount != FRowCount) {
          const std::int32_t first =
              std::min(oldInfo.Vert.LastFullVisibleCell, newInfo.Vert.LastFullVisibleCell);
          const TRect cell = CellRect(0, first);
          InvalidateScreenRect(TRect{0, cell.Top, ClientWidth(), ClientHeight()});
        }
      }
    }
    UpdateScrollRange();
    SizeChanged(oldColCount, oldRowCount);
  };
  try {
    FColCount = newColCount;
    FRowCount = newRowCount;
    if (FFixedCols > newColCount)
      FFixedCols = newColCount - 1;
    if (FFixedRows > newRowCount)
      FFixedRows = newRowCount - 1;
    doChange();
  } catch (...) {
    FColCount = oldColCount;
    FRowCount = oldRowCount;
    try {
      doChange();
    } catch (...) {
    }
    InvalidateGrid();
    throw;
  }
}

void TCustomGrid_dg::MoveColumn(std::int32_t fromIndex, std::int32_t toIndex) {
  if (fromIndex == toIndex)
    return;
  if (!FColWidths.empty())
    FColWidths.Move(fromIndex, toIndex);
  if (!FTabStops.empty())
    FTabStops.Move(fromIndex, toIndex);
  followMove(FCurrent.X, fromIndex, toIndex);
  followMove(FRangeEnd.X, fromIndex, toIndex);
  followMove(FInplaceCol, fromIndex, toIndex);
  InvalidateRect(TGridRect{std::min(fromIndex, toIndex), 0, std::max(fromIndex, toIndex),
                           VisibleRowCount() + 1});
  ColumnMoved(fromIndex, toIndex);
  if (!FColWidths.empty())
    ColWidthsChanged();
  UpdateEdit();
}

void TCustomGrid_dg::MoveRow(std::int32_t fromIndex, std::int32_t toIndex) {
  if (!FRowHeights.empty())
    FRowHeights.Move(fromIndex, toIndex);
  followMove(FCurrent.Y, fromIndex, toIndex);
  followMove(FRangeEnd.Y, fromIndex, toIndex);
  followMove(FInplaceRow, fromIndex, toIndex);
  RowMoved(fromIndex, toIndex);
  if (!FRowHeights.empty())
    RowHeightsChanged();
  UpdateEdit();
}

void TCustomGrid_dg::DeleteColumn(std::int32_t index) {
  MoveColumn(index, FColCount - 1);
  SetColCount(FColCount - 1);
}

void TCustomGrid_dg::DeleteRow(std::int32_t index) {
  MoveRow(index, FRowCount - 1);
  SetRowCount(FRowCount - 1);
}

void TCustomGrid_dg::AdjustSize(std::int32_t index, std::int32_t amount, bool rows) {
  if (amount == 0)
    return;
  const std::int32_t oldColCount = FColCount;
  const std::int32_t oldRowCount = FRowCount;
  const std::int32_t newCount = (rows ? FRowCount : FColCount) + amount;
  if (index > newCount)
    throw EInvalidGridOperation(SGridTooManyDeleted);
  ExtentList &extents = rows ? FRowHeights : FColWidths;
  const int defaultExtent = rows ? FDefaultRowHeight : FDefaultColWidth;
  int movement = 0;
  if (amount < 0 && !extents.empty()) {
    for (std::int32_t i = index; i < index - amount && i < extents.count(); ++i)
      movement -= extents[i];
  } else {
    movement = amount * defaultExtent;
  }
  if (!extents.empty())
    extents.Modify(index, amount, defaultExtent);
  if (!rows && !FTabStops.empty())
    FTabStops.Modify(index, amount, 1);
  TGridCoord newCurrent = FCurrent;
  std::int32_t &current = rows ? newCurrent.Y : newCurrent.X;
  if (current >= index) {
    if (amount < 0 && current < index - amount)
      current = index;
    else
      current += amount;
    current = std::clamp(current, rows ? FFixedRows : FFixedCols, newCount - 1);
  }
  if (rows)
    FRowCount = newCount;
  else
    FColCount = newCount;
  if (FHandleAllocated) {
    const TGridCoord topLeft = FTopLeft;
    const std::int32_t first = std::max(index, rows ? topLeft.Y : topLeft.X);
    const TRect from = rows ? CellRect(FFixedCols, first) : CellRect(first, FFixedRows);
    TRect area{0, 0, ClientWidth(), ClientHeight()};
    if (rows)
      area.Top = from.Top;
    else if (UseRightToLeftAlignment())
      area.Right = from.Right;
    else
      area.Left = from.Left;
    if (!IsRectEmpty(area))
      ScrollPixels(rows ? 0 : movement, rows ? movement : 0, toQRect(area));
  }
  SizeChanged(oldColCount, oldRowCount);
  if (newCurrent != FCurrent)
    MoveCurrent(newCurrent.X, newCurrent.Y, true, true);
}

void TCustomGrid_dg::MoveTopLeft(std::int32_t aLeft, std::int32_t aTop) {
  if (aLeft == FTopLeft.X && aTop == FTopLeft.Y)
    return;
  const TGridCoord oldTopLeft = FTopLeft;
  FTopLeft = TGridCoord{aLeft, aTop};
  TopLeftMoved(oldTopLeft);
}

void TCustomGrid_dg::TopLeftMoved(TGridCoord oldTopLeft) {
  UpdateScrollPos();
  TGridDrawInfo info;
  CalcDrawInfo(info);
  auto calcScroll = [this](const TGridAxisDrawInfo &axis, std::int32_t oldPos, std::int32_t curPos,
                           int &amount) {
    amount = 0;
    if (oldPos == curPos)
      return true;
    const std::int32_t start = std::min(oldPos, curPos);
    const std::int32_t stop = std::max(oldPos, curPos);
    for (std::int32_t i = start; i < stop; ++i) {
      amount += axis.Extent(i) + axis.EffectiveLineWidth;
      if (amount > axis.GridBoundary - axis.FixedBoundary) {
        InvalidateGrid();
        return false;
      }
    }
    if (oldPos < curPos)
      amount = -amount;
    return true;
  };
  int dx = 0, dy = 0;
  if (calcScroll(info.Horz, oldTopLeft.X, FTopLeft.X, dx) &&
      calcScroll(info.Vert, oldTopLeft.Y, FTopLeft.Y, dy))
    ScrollDataInfo(dx, dy, info);
  TopLeftChanged();
}

void TCustomGrid_dg::ScrollData(int dx, int dy) {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  ScrollDataInfo(dx, dy, info);
}

void TCustomGrid_dg::ScrollPixels(int dx, int dy, const QRect &area) {
  viewport()->scroll(dx, dy, area);
  PixelsScrolled(dx, dy, area);
}

void TCustomGrid_dg::ScrollDataInfo(int dx, int dy, const TGridDrawInfo &info) {
  if (!FHandleAllocated)
    return;
  const bool rtl = UseRightToLeftAlignment();
  const int width = ClientWidth();
  auto scrollArea = [&](int ax, int ay, TRect r) {
    if (rtl) {
      const int left = width - r.Right;
      r.Right = width - r.Left;
      r.Left = left;
      ax = -ax;
    }
    if (!IsRectEmpty(r) && (ax != 0 || ay != 0))
      ScrollPixels(ax, ay, toQRect(r));
  };
  const int fixedX = info.Horz.FixedBoundary;
  const int fixedY = info.Vert.FixedBoundary;
  const int extentX = info.Horz.GridExtent;
  const int extentY = info.Vert.GridExtent;
  if (dy == 0) {
    scrollArea(dx, 0, TRect{fixedX, 0, extentX, extentY});
  } else if (dx == 0) {
    scrollArea(0, dy, TRect{0, fixedY, extentX, extentY});
  } else {
    scrollArea(dx, 0, TRect{fixedX, 0, extentX, fixedY});
    scrollArea(0, dy, TRect{0, fixedY, fixedX, extentY});
    scrollArea(dx, dy, TRect{fixedX, fixedY, extentX, extentY});
  }
  if (FOptions.has(goRowSelect))
    InvalidateRect(Selection());
}

// ----------------------------------------------------------------- scroll bars

int TCustomGrid_dg::ScrollBarExtent(int bar) const {
  return bar == SB_VERT ? verticalScrollBar()->sizeHint().width()
                        : horizontalScrollBar()->sizeHint().height();
}

void TCustomGrid_dg::ApplyScrollBarPolicies() {
  // While the range is worked out the setting reads none; the bars still
  // follow the setting it held.
  const TScrollStyle bars = FScrollBars == ssNone ? FScrollBarsHeld : FScrollBars;
  const bool horz = bars == ssHorizontal || bars == ssBoth;
  const bool vert = bars == ssVertical || bars == ssBoth;
  const bool showH = horz && FScrollInfo[SB_HORZ].Max > FScrollInfo[SB_HORZ].Min;
  const bool showV = vert && FScrollInfo[SB_VERT].Max > FScrollInfo[SB_VERT].Min;
  if (showH != FScrollBarVisible[SB_HORZ]) {
    FScrollBarVisible[SB_HORZ] = showH;
    setHorizontalScrollBarPolicy(showH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  }
  if (showV != FScrollBarVisible[SB_VERT]) {
    FScrollBarVisible[SB_VERT] = showV;
    setVerticalScrollBarPolicy(showV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  }
}

void TCustomGrid_dg::ApplyScrollBar(int bar) {
  QScrollBar *sb = bar == SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
  const TScrollInfo &si = FScrollInfo[bar];
  {
    const QSignalBlocker blocker(sb);
    sb->setRange(si.Min, std::max(si.Min, si.Max - std::max(si.Page - 1, 0)));
    sb->setPageStep(std::max(si.Page, 1));
    if (!sb->isSliderDown())
      sb->setValue(si.Pos);
  }
  ApplyScrollBarPolicies();
}

void TCustomGrid_dg::SetScrollRange(int bar, int min, int max) {
  TScrollInfo &si = FScrollInfo[bar];
  if (si.Min == min && si.Max == max)
    return;
  si.Min = min;
  si.Max = max;
  ApplyScrollBar(bar);
}

void TCustomGrid_dg::SetScrollPos(int bar, int pos) {
  FScrollInfo[bar].Pos = pos;
  ApplyScrollBar(bar);
}

void TCustomGrid_dg::SetScrollPage(int bar, int page) {
  FScrollInfo[bar].Page = page;
  ApplyScrollBar(bar);
}

void TCustomGrid_dg::UpdateScrollPos() {
  if (!FHandleAllocated || FScrollBars == ssNone)
    return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const TGridCoord maxTopLeft = CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
  const bool rtl = UseRightToLeftAlignment();
  auto setPos = [this](int bar, int pos) {
    if (FScrollInfo[bar].Pos != pos)
      SetScrollPos(bar, pos);
  };
  // Nothing left to scroll means the thumb rests at the start.
  auto position = [](std::int32_t current, std::int32_t min, std::int32_t max) {
    return max > min ? mulDiv(current - min, maxShortInt, max - min) : 0;
  };
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) {
    int pos;
    if (FColCount == 1) {
      const int range = std::max(0, ColWidths(0) - ClientWidth());
      if (FColOffset > 0 && ColWidths(0) - FColOffset < ClientWidth())
        ModifyScrollBar(SB_HORZ, SB_THUMBPOSITION, ColWidths(0) - ClientWidth(), false);
      pos = rtl ? range - FColOffset : FColOffset;
    } else {
      pos = position(FTopLeft.X, FFixedCols, maxTopLeft.X);
      if (rtl)
        pos = maxShortInt - pos;
    }
    setPos(SB_HORZ, pos);
  }
  if (FScrollBars == ssVertical || FScrollBars == ssBoth)
    setPos(SB_VERT, position(FTopLeft.Y, FFixedRows, maxTopLeft.Y));
}

void TCustomGrid_dg::UpdateScrollRangeOf(int bar, const TGridDrawInfo &info) {
  const TGridCoord maxTopLeft = CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
  if (bar == SB_HORZ) {
    if (FColCount == 1) {
      const int range = std::max(0, ColWidths(0) - info.Horz.GridExtent);
      SetScrollRange(SB_HORZ, 0, range);
    } else {
      SetScrollRange(SB_HORZ, 0, FFixedCols < maxTopLeft.X ? maxShortInt : 0);
      if (FTopLeft.X > maxTopLeft.X)
        FTopLeft.X = maxTopLeft.X;
    }
  } else {
    SetScrollRange(SB_VERT, 0, FFixedRows < maxTopLeft.Y ? maxShortInt : 0);
    if (FTopLeft.Y > maxTopLeft.Y)
      FTopLeft.Y = maxTopLeft.Y;
  }
}

void TCustomGrid_dg::UpdateScrollRange() {
  if (FScrollBars == ssNone || !FHandleAllocated || !isVisible())
    return;
  int width = ClientWidth() + (FScrollBarVisible[SB_VERT] ? ScrollBarExtent(SB_VERT) : 0);
  int height = ClientHeight() + (FScrollBarVisible[SB_HORZ] ? ScrollBarExtent(SB_HORZ) : 0);
  const TGridCoord oldTopLeft = FTopLeft;
  const TScrollStyle oldScrollBars = FScrollBars;
  // The bars' own appearance resizes the viewport; its resize must not
  // start another round, so the setting stays none until the work is done.
  FScrollBars = ssNone;
  FScrollBarsHeld = oldScrollBars;
  auto restore = [&] {
    FScrollBars = oldScrollBars;
    FScrollBarsHeld = ssNone;
  };
  try {
    const bool horz = oldScrollBars == ssHorizontal || oldScrollBars == ssBoth;
    const bool vert = oldScrollBars == ssVertical || oldScrollBars == ssBoth;
    TGridDrawInfo info;
    if (horz) {
      CalcDrawInfoXY(info, width, height);
      UpdateScrollRangeOf(SB_HORZ, info);
      ApplyScrollBarPolicies();
    }
    height = ClientHeight();
    if (vert) {
      CalcDrawInfoXY(info, width, height);
      UpdateScrollRangeOf(SB_VERT, info);
      ApplyScrollBarPolicies();
    }
    if (horz && ClientWidth() != width) {
      width = ClientWidth();
      CalcDrawInfoXY(info, width, height);
      UpdateScrollRangeOf(SB_HORZ, info);
      ApplyScrollBarPolicies();
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  UpdateScrollPos();
  if (FTopLeft != oldTopLeft)
    TopLeftMoved(oldTopLeft);
}

void TCustomGrid_dg::ModifyScrollBar(int scrollBar, int scrollCode, int pos, bool useRightToLeft) {
  if (isVisible() && isEnabled() && (focusPolicy() & Qt::TabFocus) && !hasFocus())
    setFocus(Qt::OtherFocusReason);
  const bool mirror = useRightToLeft && scrollBar == SB_HORZ && UseRightToLeftAlignment();
  if (mirror) {
    switch (scrollCode) {
    case SB_LINEUP:
      scrollCode = SB_LINEDOWN;
      break;
    case SB_LINEDOWN:
      scrollCode = SB_LINEUP;
      break;
    case SB_PAGEUP:
      scrollCode = SB_PAGEDOWN;
      break;
    case SB_PAGEDOWN:
      scrollCode = SB_PAGEUP;
      break;
    case SB_TOP:
      scrollCode = SB_BOTTOM;
      break;
    case SB_BOTTOM:
      scrollCode = SB_TOP;
      break;
    default:
      break;
    }
  }
  TGridDrawInfo info;
  CalcDrawInfo(info);
  if (scrollBar == SB_HORZ && FColCount == 1) {
    const int visible = info.Horz.GridExtent - info.Horz.FixedBoundary;
    const int maxOffset = std::max(0, ColWidths(0) - visible);
    if (mirror && (scrollCode == SB_THUMBPOSITION || scrollCode == SB_THUMBTRACK))
      pos = FScrollInfo[SB_HORZ].Max - pos;
    int offset = FColOffset;
    switch (scrollCode) {
    case SB_LINEUP:
      offset -= fontMetrics().horizontalAdvance(QLatin1Char('0'));
      break;
    case SB_LINEDOWN:
      offset += fontMetrics().horizontalAdvance(QLatin1Char('0'));
      break;
    case SB_PAGEUP:
      offset -= visible;
      break;
    case SB_PAGEDOWN:
      offset += visible;
      break;
    case SB_THUMBPOSITION:
      offset = pos;
      break;
    case SB_THUMBTRACK:
      if (FOptions.has(goThumbTracking))
        offset = pos;
      break;
    // The left edge shows the start of the column, the right edge its end.
    case SB_TOP:
      offset = 0;
      break;
    case SB_BOTTOM:
      offset = maxOffset;
      break;
    default:
      break;
    }
    offset = std::clamp(offset, 0, maxOffset);
    if (offset != FColOffset) {
      const int dx = FColOffset - offset;
      FColOffset = offset;
      ScrollData(dx, 0);
      InvalidateRect(TGridRect{0, 0, FColCount - 1, FFixedRows - 1});
      UpdateScrollPos();
    }
    return;
  }
  const bool horz = scrollBar == SB_HORZ;
  const TGridAxisDrawInfo &axis = horz ? info.Horz : info.Vert;
  const TGridCoord maxTopLeft = CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
  const std::int32_t min = horz ? FFixedCols : FFixedRows;
  const std::int32_t max = horz ? maxTopLeft.X : maxTopLeft.Y;
  const std::int32_t current = horz ? FTopLeft.X : FTopLeft.Y;
  if (mirror && (scrollCode == SB_THUMBPOSITION || scrollCode == SB_THUMBTRACK))
    pos = maxShortInt - pos;
  const TGridCoord pageUpTopLeft = CalcMaxTopLeft(FTopLeft, info);
  const std::int32_t pageUp =
      std::max<std::int32_t>(1, current - (horz ? pageUpTopLeft.X : pageUpTopLeft.Y));
  const std::int32_t pageDown = std::max<std::int32_t>(1, axis.LastFullVisibleCell - current);
  auto thumb = [&] { return max > min ? min + mulDiv(pos, max - min, maxShortInt) : min; };
  std::int32_t result = current;
  std::int32_t previous;
  do {
    previous = result;
    switch (scrollCode) {
    case SB_LINEUP:
      result = previous - 1;
      break;
    case SB_LINEDOWN:
      result = previous + 1;
      break;
    case SB_PAGEUP:
      result = previous - pageUp;
      break;
    case SB_PAGEDOWN:
      result = previous + pageDown;
      break;
    case SB_THUMBPOSITION:
      result = thumb();
      break;
    case SB_THUMBTRACK:
      if (FOptions.has(goThumbTracking))
        result = thumb();
      break;
    case SB_TOP:
      result = min;
      break;
    case SB_BOTTOM:
      result = max;
      break;
    default:
      break;
    }
  } while (!(result <= min || result >= max || axis.Extent(result) > 0 || result == previous));
  result = std::clamp(result, min, std::max(min, max));
  if (result != current) {
    if (horz)
      MoveTopLeft(result, FTopLeft.Y);
    else
      MoveTopLeft(FTopLeft.X, result);
  }
}

void TCustomGrid_dg::ScrollBarAction(int bar, int action) {
  // Qt's slider actions as the class library's scroll codes.
  static constexpr std::pair<int, int> codes[] = {
      {QAbstractSlider::SliderSingleStepAdd, SB_LINEDOWN},
      {QAbstractSlider::SliderSingleStepSub, SB_LINEUP},
      {QAbstractSlider::SliderPageStepAdd, SB_PAGEDOWN},
      {QAbstractSlider::SliderPageStepSub, SB_PAGEUP},
      {QAbstractSlider::SliderMove, SB_THUMBTRACK},
      {QAbstractSlider::SliderToMinimum, SB_TOP},
      {QAbstractSlider::SliderToMaximum, SB_BOTTOM}};
  const auto found = std::find_if(std::begin(codes), std::end(codes),
                                  [action](const auto &entry) { return entry.first == action; });
  if (found == std::end(codes))
    return;
  const int code = found->second;
  QScrollBar *sb = bar == SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
  guarded([&] { ModifyScrollBar(bar, code, sb->sliderPosition(), true); });
  // The bar shows where the grid went, not where its own step would lead.
  if (code != SB_THUMBTRACK)
    sb->setSliderPosition(FScrollInfo[bar].Pos);
}

void TCustomGrid_dg::ScrollBarReleased(int bar) {
  QScrollBar *sb = bar == SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
  guarded([&] { ModifyScrollBar(bar, SB_THUMBPOSITION, sb->sliderPosition(), true); });
  const QSignalBlocker blocker(sb);
  sb->setValue(FScrollInfo[bar].Pos);
}

} // namespace marrowen

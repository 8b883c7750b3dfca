#include "grid/basegrid/basegrid.h"

#include "classlib/componentstream.h"
#include "grid/basegrid/inplaceedit.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>
#include <iostream>

namespace marrowen {

namespace {

GridExceptionReporter &exceptionReporter() {
  static GridExceptionReporter reporter;
  return reporter;
}

// The scrollable cells are addressed 0..127 on the bars, whatever the count.
constexpr int maxShortInt = 127;

std::int32_t mulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
  return static_cast<std::int32_t>(a * b / c);
}

bool pointInGridRect(std::int32_t col, std::int32_t row, const TGridRect &r) {
  return col >= r.Left && col <= r.Right && row >= r.Top && row <= r.Bottom;
}

TMouseButton buttonOf(Qt::MouseButton button) {
  switch (button) {
  case Qt::RightButton:
    return mbRight;
  case Qt::MiddleButton:
    return mbMiddle;
  default:
    return mbLeft;
  }
}

enum : unsigned { sdLeft = 1, sdRight = 2, sdUp = 4, sdDown = 8 };

} // namespace

void setGridExceptionReporter(GridExceptionReporter reporter) {
  exceptionReporter() = std::move(reporter);
}

void reportGridException(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception &e) {
    if (exceptionReporter())
      exceptionReporter()(e);
    else
      std::cerr << e.what() << '\n';
  } catch (...) {
    std::cerr << "unknown failure in a grid handler\n";
  }
}

template <class F> void TCustomGrid_dg::guarded(F &&handler) {
  try {
    handler();
  } catch (...) {
    reportGridException(std::current_exception());
  }
}

int TGridAxisDrawInfo::Extent(std::int32_t index) const {
  return Rows ? Grid->RowHeights(index) : Grid->ColWidths(index);
}

TCustomGrid_dg::TCustomGrid_dg(QWidget *parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  // The bars show the grid's own record; their values never scroll anything.
  horizontalScrollBar()->setLayoutDirection(Qt::LeftToRight);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { ScrollBarAction(SB_HORZ, action); });
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { ScrollBarAction(SB_VERT, action); });
  connect(horizontalScrollBar(), &QScrollBar::sliderReleased, this,
          [this] { ScrollBarReleased(SB_HORZ); });
  connect(verticalScrollBar(), &QScrollBar::sliderReleased, this,
          [this] { ScrollBarReleased(SB_VERT); });
  FTimer.setInterval(60);
  connect(&FTimer, &QTimer::timeout, this, [this] { guarded([this] { WMTimer(); }); });
  resize(FColCount * FDefaultColWidth, FRowCount * FDefaultRowHeight);
  Initialize();
}

TCustomGrid_dg::~TCustomGrid_dg() {
  FTimer.stop();
  delete FInplaceEdit;
  FInplaceEdit = nullptr;
}

// ---------------------------------------------------------------- properties

void TCustomGrid_dg::SetColCount(std::int32_t value) {
  if (value < 1)
    value = 1;
  if (value == FColCount)
    return;
  if (value <= FFixedCols)
    SetFixedCols(value - 1);
  ChangeSize(value, FRowCount);
  if (FOptions.has(goRowSelect)) {
    FRangeEnd.X = FColCount - 1;
    InvalidateGrid();
  }
}

void TCustomGrid_dg::SetRowCount(std::int32_t value) {
  if (value < 1)
    value = 1;
  if (value == FRowCount)
    return;
  if (value <= FFixedRows)
    SetFixedRows(value - 1);
  ChangeSize(FColCount, value);
}

int TCustomGrid_dg::ColWidths(std::int32_t index) const {
  if (FColWidths.empty() || index < 0 || index >= FColCount || index >= FColWidths.count())
    return FDefaultColWidth;
  return FColWidths[index];
}

int TCustomGrid_dg::RowHeights(std::int32_t index) const {
  if (FRowHeights.empty() || index < 0 || index >= FRowCount || index >= FRowHeights.count())
    return FDefaultRowHeight;
  return FRowHeights[index];
}

bool TCustomGrid_dg::TabStops(std::int32_t index) const {
  if (FTabStops.empty() || index < 0 || index >= FTabStops.count())
    return true;
  return FTabStops[index] != 0;
}

void TCustomGrid_dg::SetColWidths(std::int32_t index, int value) {
  if (FColWidths.empty())
    FColWidths.Update(FColCount, FDefaultColWidth);
  if (index < 0 || index >= FColCount)
    throw EInvalidGridOperation(SIndexOutOfRange);
  if (value != FColWidths[index]) {
    InvalidateGrid();
    FColWidths[index] = value;
    ExtentStored(false, index);
    ColWidthsChanged();
  }
}

void TCustomGrid_dg::SetRowHeights(std::int32_t index, int value) {
  if (FRowHeights.empty())
    FRowHeights.Update(FRowCount, FDefaultRowHeight);
  if (index < 0 || index >= FRowCount)
    throw EInvalidGridOperation(SIndexOutOfRange);
  if (value != FRowHeights[index]) {
    InvalidateGrid();
    FRowHeights[index] = value;
    ExtentStored(true, index);
    RowHeightsChanged();
  }
}

void TCustomGrid_dg::SetTabStops(std::int32_t index, bool value) {
  if (FTabStops.empty())
    FTabStops.Update(FColCount, 1);
  if (index < 0 || index >= FColCount)
    throw EInvalidGridOperation(SIndexOutOfRange);
  FTabStops[index] = value ? 1 : 0;
}

void TCustomGrid_dg::SetDefaultColWidth(int value) {
  if (value == FDefaultColWidth)
    return;
  FColWidths.clear();
  FDefaultColWidth = value;
  ColWidthsChanged();
  InvalidateGrid();
}

void TCustomGrid_dg::SetDefaultRowHeight(int value) {
  if (value == FDefaultRowHeight)
    return;
  FRowHeights.clear();
  FDefaultRowHeight = value;
  RowHeightsChanged();
  InvalidateGrid();
}

void TCustomGrid_dg::SetFixedCols(std::int32_t value) {
  SetFixedCount(FFixedCols, value, FColCount, SFixedColTooBig);
}

void TCustomGrid_dg::SetFixedRows(std::int32_t value) {
  SetFixedCount(FFixedRows, value, FRowCount, SFixedRowTooBig);
}

void TCustomGrid_dg::SetFixedCount(std::int32_t &fixed, std::int32_t value, std::int32_t count,
                                   const char *tooBig) {
  if (value == fixed)
    return;
  if (value < 0)
    throw EInvalidGridOperation(SIndexOutOfRange);
  if (value >= count)
    throw EInvalidGridOperation(tooBig);
  fixed = value;
  Initialize();
  InvalidateGrid();
}

void TCustomGrid_dg::SetFixedColor(TColor value) {
  if (value == FFixedColor)
    return;
  FFixedColor = value;
  InvalidateGrid();
}

void TCustomGrid_dg::SetColor(TColor value) {
  if (value == FColor)
    return;
  FColor = value;
  InvalidateGrid();
}

void TCustomGrid_dg::SetGridLineWidth(int value) {
  if (value == FGridLineWidth)
    return;
  FGridLineWidth = value;
  InvalidateGrid();
}

void TCustomGrid_dg::SetOptions(TGridOptions value) {
  if (value.has(goRowSelect))
    value = value.without(goAlwaysShowEditor);
  if (value == FOptions)
    return;
  FOptions = value;
  if (!FEditorMode) {
    if (FOptions.has(goAlwaysShowEditor))
      ShowEditor();
    else
      HideEditor();
  }
  if (FOptions.has(goRowSelect))
    MoveCurrent(FCurrent.X, FCurrent.Y, false, true);
  InvalidateGrid();
}

void TCustomGrid_dg::SetBorderStyle(TBorderStyle value) {
  if (value == FBorderStyle)
    return;
  FBorderStyle = value;
  setFrameShape(value == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
  UpdateScrollRange();
}

void TCustomGrid_dg::SetScrollBars(TScrollStyle value) {
  if (value == FScrollBars)
    return;
  FScrollBars = value;
  ApplyScrollBarPolicies();
  UpdateScrollRange();
}

void TCustomGrid_dg::SetLeftCol(std::int32_t value) {
  if (value != FTopLeft.X)
    MoveTopLeft(value, FTopLeft.Y);
}

void TCustomGrid_dg::SetTopRow(std::int32_t value) {
  if (value != FTopLeft.Y)
    MoveTopLeft(FTopLeft.X, value);
}

TGridRect TCustomGrid_dg::Selection() const {
  return TGridRect{std::min(FCurrent.X, FRangeEnd.X), std::min(FCurrent.Y, FRangeEnd.Y),
                   std::max(FCurrent.X, FRangeEnd.X), std::max(FCurrent.Y, FRangeEnd.Y)};
}

std::int32_t TCustomGrid_dg::VisibleColCount() const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return info.Horz.LastFullVisibleCell - LeftCol() + 1;
}

std::int32_t TCustomGrid_dg::VisibleRowCount() const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return info.Vert.LastFullVisibleCell - TopRow() + 1;
}

void TCustomGrid_dg::SetEditorMode(bool value) {
  if (!value) {
    HideEditor();
  } else {
    ShowEditor();
    if (FInplaceEdit)
      FInplaceEdit->Deselect();
  }
}

bool TCustomGrid_dg::UseRightToLeftAlignment() const {
  return layoutDirection() == Qt::RightToLeft;
}

int TCustomGrid_dg::ClientWidth() const { return viewport()->width(); }
int TCustomGrid_dg::ClientHeight() const { return viewport()->height(); }

// ------------------------------------------------------------------ geometry

void TCustomGrid_dg::Initialize() {
  FTopLeft = TGridCoord{FFixedCols, FFixedRows};
  FCurrent = FTopLeft;
  FRangeEnd = FCurrent;
  if (FOptions.has(goRowSelect))
    FRangeEnd.X = FColCount - 1;
}

void TCustomGrid_dg::CalcFixedInfo(TGridDrawInfo &info) const {
  auto calcAxis = [this](TGridAxisDrawInfo &axis, bool rows) {
    axis.Grid = this;
    axis.Rows = rows;
    const bool lines = rows ? (FOptions.has(goFixedHorzLine) || FOptions.has(goHorzLine))
                            : (FOptions.has(goFixedVertLine) || FOptions.has(goVertLine));
    axis.EffectiveLineWidth = lines ? FGridLineWidth : 0;
    axis.FixedCellCount = rows ? FFixedRows : FFixedCols;
    axis.FixedBoundary = 0;
    for (std::int32_t i = 0; i < axis.FixedCellCount; ++i)
      axis.FixedBoundary += axis.Extent(i) + axis.EffectiveLineWidth;
    axis.FirstGridCell = rows ? FTopLeft.Y : FTopLeft.X;
    axis.GridCellCount = rows ? FRowCount : FColCount;
  };
  calcAxis(info.Horz, false);
  calcAxis(info.Vert, true);
}

void TCustomGrid_dg::CalcDrawInfoXY(TGridDrawInfo &info, int width, int height) const {
  CalcFixedInfo(info);
  auto calcAxis = [](TGridAxisDrawInfo &axis, int extent) {
    axis.GridExtent = extent;
    axis.GridBoundary = axis.FixedBoundary;
    axis.FullVisBoundary = axis.FixedBoundary;
    axis.LastFullVisibleCell = axis.FirstGridCell;
    for (std::int32_t i = axis.FirstGridCell; i < axis.GridCellCount; ++i) {
      axis.GridBoundary += axis.Extent(i) + axis.EffectiveLineWidth;
      if (axis.GridBoundary > axis.GridExtent + axis.EffectiveLineWidth) {
        axis.GridBoundary = axis.GridExtent;
        break;
      }
      axis.LastFullVisibleCell = i;
      axis.FullVisBoundary = axis.GridBoundary;
    }
  };
  calcAxis(info.Horz, width);
  calcAxis(info.Vert, height);
}

void TCustomGrid_dg::CalcDrawInfo(TGridDrawInfo &info) const {
  CalcDrawInfoXY(info, ClientWidth(), ClientHeight());
}

TGridCoord TCustomGrid_dg::CalcCoordFromPoint(int x, int y, const TGridDrawInfo &info) const {
  auto calcAxis = [](const TGridAxisDrawInfo &axis, int n) -> std::int32_t {
    int start;
    std::int32_t i, stop;
    if (n < axis.FixedBoundary) {
      start = 0;
      i = 0;
      stop = axis.FixedCellCount;
    } else {
      start = axis.FixedBoundary;
      i = axis.FirstGridCell;
      stop = axis.GridCellCount;
    }
    for (; i < stop; ++i) {
      start += axis.Extent(i) + axis.EffectiveLineWidth;
      if (n < start)
        return i;
      if (start > axis.GridExtent + axis.EffectiveLineWidth && i >= axis.FixedCellCount)
        break;
    }
    return -1;
  };
  if (UseRightToLeftAlignment())
    x = ClientWidth() - x;
  return TGridCoord{calcAxis(info.Horz, x), calcAxis(info.Vert, y)};
}

TGridCoord TCustomGrid_dg::MouseCoord(int x, int y) const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TGridCoord result = CalcCoordFromPoint(x, y, info);
  if (result.X < 0 || result.Y < 0)
    result = TGridCoord{-1, -1};
  return result;
}

TGridCoord TCustomGrid_dg::CalcMaxTopLeft(TGridCoord coord, const TGridDrawInfo &info) const {
  auto calcMaxCell = [](const TGridAxisDrawInfo &axis, std::int32_t start) -> std::int32_t {
    std::int32_t result = start;
    int line = axis.GridExtent + axis.EffectiveLineWidth;
    for (std::int32_t i = start; i >= axis.FixedCellCount; --i) {
      const int extent = axis.Extent(i);
      if (extent > 0) {
        line -= extent + axis.EffectiveLineWidth;
        if (line < axis.FixedBoundary) {
          if (result == start && axis.Extent(start) <= 0)
            result = i;
          break;
        }
      }
      result = i;
    }
    return result;
  };
  return TGridCoord{calcMaxCell(info.Horz, coord.X), calcMaxCell(info.Vert, coord.Y)};
}

int TCustomGrid_dg::LinePos(const TGridAxisDrawInfo &axis, std::int32_t line) const {
  int start = 0;
  std::int32_t i;
  if (line < axis.FixedCellCount) {
    i = 0;
  } else if (line >= axis.FirstGridCell) {
    start = axis.FixedBoundary;
    i = axis.FirstGridCell;
  } else {
    return 0;
  }
  for (; i < line; ++i) {
    start += axis.Extent(i) + axis.EffectiveLineWidth;
    if (start > axis.GridExtent)
      return 0;
  }
  return start;
}

bool TCustomGrid_dg::CalcAxis(const TGridAxisDrawInfo &axis, std::int32_t gridRectMin,
                              std::int32_t gridRectMax, int &screenRectMin,
                              int &screenRectMax) const {
  if (gridRectMin >= axis.FixedCellCount && gridRectMin < axis.FirstGridCell) {
    if (gridRectMax < axis.FirstGridCell)
      return false;
    gridRectMin = axis.FirstGridCell;
  }
  if (gridRectMax > axis.LastFullVisibleCell) {
    gridRectMax = axis.LastFullVisibleCell;
    if (gridRectMax < axis.GridCellCount - 1)
      ++gridRectMax;
    if (LinePos(axis, gridRectMax) == 0 && gridRectMax > gridRectMin)
      --gridRectMax;
  }
  screenRectMin = LinePos(axis, gridRectMin);
  const int maxPos = LinePos(axis, gridRectMax);
  if (maxPos == 0)
    screenRectMax = screenRectMin + axis.Extent(gridRectMin);
  else
    screenRectMax = maxPos + axis.Extent(gridRectMax);
  if (screenRectMax > axis.GridExtent)
    screenRectMax = axis.GridExtent;
  return true;
}

TRect TCustomGrid_dg::GridRectToScreenRect(TGridRect rect, bool includeLine) const {
  TRect result;
  if (rect.Left > rect.Right || rect.Top > rect.Bottom)
    return result;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  if (rect.Left > info.Horz.LastFullVisibleCell + 1 || rect.Top > info.Vert.LastFullVisibleCell + 1)
    return result;
  TRect r;
  if (!CalcAxis(info.Horz, rect.Left, rect.Right, r.Left, r.Right))
    return result;
  if (!CalcAxis(info.Vert, rect.Top, rect.Bottom, r.Top, r.Bottom))
    return result;
  if (includeLine) {
    r.Right += info.Horz.EffectiveLineWidth;
    r.Bottom += info.Vert.EffectiveLineWidth;
  }
  if (UseRightToLeftAlignment() && !FCanvasMirrored) {
    const int left = ClientWidth() - r.Right;
    r.Right = ClientWidth() - r.Left;
    r.Left = left;
  }
  return r;
}

TRect TCustomGrid_dg::BoxRect(std::int32_t left, std::int32_t top, std::int32_t right,
                              std::int32_t bottom) const {
  return GridRectToScreenRect(TGridRect{std::min(left, right), std::min(top, bottom),
                                        std::max(left, right), std::max(top, bottom)},
                              true);
}

TRect TCustomGrid_dg::CellRect(std::int32_t col, std::int32_t row) const {
  return BoxRect(col, row, col, row);
}

// ----------------------------------------------- current cell and selection

void TCustomGrid_dg::FocusCell(std::int32_t col, std::int32_t row, bool moveRangeEnd) {
  MoveCurrent(col, row, moveRangeEnd, true);
  UpdateEdit();
  Click();
}

void TCustomGrid_dg::MoveCurrent(std::int32_t col, std::int32_t row, bool moveRangeEnd, bool show) {
  if (col < 0 || row < 0 || col >= FColCount || row >= FRowCount)
    throw EInvalidGridOperation(SIndexOutOfRange);
  if (!SelectCell(col, row))
    return;
  const TGridRect oldSel = Selection();
  const TGridCoord oldCurrent = FCurrent;
  FCurrent = TGridCoord{col, row};
  if (!FOptions.has(goAlwaysShowEditor))
    HideEditor();
  if (moveRangeEnd || !FOptions.has(goRangeSelect)) {
    FRangeEnd = FCurrent;
    if (FOptions.has(goRowSelect))
      FRangeEnd.X = FColCount - 1;
  }
  if (FOptions.has(goRowSelect))
    FCurrent.X = FFixedCols;
  if (show)
    ClampInView(FCurrent);
  SelectionMoved(oldSel);
  InvalidateCell(oldCurrent.X, oldCurrent.Y);
  InvalidateCell(FCurrent.X, FCurrent.Y);
  if (FCurrent != oldCurrent)
    CurrentCellMoved();
}

void TCustomGrid_dg::MoveRangeEnd(TGridCoord newRangeEnd) {
  if (FOptions.has(goRangeSelect) && !FOptions.has(goEditing)) {
    const TGridRect oldSel = Selection();
    FRangeEnd = newRangeEnd;
    if (FOptions.has(goRowSelect))
      FRangeEnd.X = FColCount - 1;
    ClampInView(newRangeEnd);
    SelectionMoved(oldSel);
  } else {
    MoveCurrent(newRangeEnd.X, newRangeEnd.Y, true, true);
  }
}

void TCustomGrid_dg::SelectionMoved(const TGridRect &oldSel) {
  if (!FHandleAllocated)
    return;
  const TRect oldRect = BoxRect(oldSel.Left, oldSel.Top, oldSel.Right, oldSel.Bottom);
  const TGridRect sel = Selection();
  const TRect newRect = BoxRect(sel.Left, sel.Top, sel.Right, sel.Bottom);
  const QRegion changed = QRegion(toQRect(oldRect)).xored(QRegion(toQRect(newRect)));
  if (!changed.isEmpty())
    viewport()->update(changed);
}

void TCustomGrid_dg::ClampInView(TGridCoord coord) {
  if (!FHandleAllocated)
    return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  if (coord.X >= FTopLeft.X && coord.X <= info.Horz.LastFullVisibleCell && coord.Y >= FTopLeft.Y &&
      coord.Y <= info.Vert.LastFullVisibleCell)
    return;
  const TGridCoord oldTopLeft = FTopLeft;
  const TGridCoord maxTopLeft = CalcMaxTopLeft(coord, info);
  if (coord.X < FTopLeft.X)
    FTopLeft.X = coord.X;
  else if (coord.X > info.Horz.LastFullVisibleCell)
    FTopLeft.X = maxTopLeft.X;
  if (coord.Y < FTopLeft.Y)
    FTopLeft.Y = coord.Y;
  else if (coord.Y > info.Vert.LastFullVisibleCell)
    FTopLeft.Y = maxTopLeft.Y;
  TopLeftMoved(oldTopLeft);
}

void TCustomGrid_dg::InvalidateScreenRect(const TRect &rect) {
  if (FHandleAllocated && !IsRectEmpty(rect))
    viewport()->update(toQRect(rect));
}

void TCustomGrid_dg::InvalidateCell(std::int32_t col, std::int32_t row) {
  InvalidateRect(TGridRect{col, row, col, row});
}

void TCustomGrid_dg::InvalidateGrid() {
  if (FHandleAllocated)
    viewport()->update();
}

void TCustomGrid_dg::InvalidateRect(TGridRect rect) {
  if (!FHandleAllocated)
    return;
  InvalidateScreenRect(GridRectToScreenRect(rect, true));
}

bool TCustomGrid_dg::Sizing(int x, int y) {
  if (FGridState != gsNormal)
    return true;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TGridState state = gsNormal;
  std::int32_t index = -1;
  int pos = 0, ofs = 0;
  CalcSizingState(x, y, state, index, pos, ofs, info);
  return state != gsNormal;
}

void TCustomGrid_dg::CalcSizingState(int x, int y, TGridState &state, std::int32_t &index,
                                     int &sizingPos, int &sizingOfs,
                                     const TGridDrawInfo &fixedInfo) {
  state = gsNormal;
  index = -1;
  const TGridOptions options = FOptions;
  if (!options.has(goColSizing) && !options.has(goRowSizing))
    return;
  TGridDrawInfo info = fixedInfo;
  info.Horz.GridExtent = ClientWidth();
  info.Vert.GridExtent = ClientHeight();
  const bool rtl = UseRightToLeftAlignment();
  auto calcAxisState = [&](const TGridAxisDrawInfo &axis, int pos, TGridState newState) {
    int range = axis.EffectiveLineWidth;
    int back = 0;
    if (range < 7) {
      range = 7;
      back = (range - axis.EffectiveLineWidth) / 2;
    }
    int line = axis.FixedBoundary;
    for (std::int32_t i = axis.FirstGridCell; i < axis.GridCellCount; ++i) {
      line += axis.Extent(i);
      if (line > axis.GridBoundary)
        break;
      if (pos >= line - back && pos < line - back + range) {
        state = newState;
        sizingPos = line;
        sizingOfs = line - pos;
        index = i;
        return;
      }
      line += axis.EffectiveLineWidth;
    }
    if (axis.GridBoundary == axis.GridExtent && pos >= axis.GridExtent - back &&
        pos <= axis.GridExtent) {
      state = newState;
      sizingPos = axis.GridExtent;
      sizingOfs = sizingPos - pos;
      index = axis.LastFullVisibleCell + 1;
    }
  };
  const int mx = rtl ? ClientWidth() - x : x;
  if (mx > info.Horz.FixedBoundary && options.has(goColSizing)) {
    if (y >= info.Vert.FixedBoundary)
      return;
    calcAxisState(info.Horz, mx, gsColSizing);
    if (state != gsNormal && rtl) {
      // The sizing line follows the mouse in window coordinates.
      sizingPos = ClientWidth() - sizingPos;
      sizingOfs = sizingPos - x;
    }
  } else if (y > info.Vert.FixedBoundary && options.has(goRowSizing)) {
    if (mx >= info.Horz.FixedBoundary)
      return;
    calcAxisState(info.Vert, y, gsRowSizing);
  }
}

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
  auto movePos = [fromIndex, toIndex](std::int32_t &pos) {
    if (pos == fromIndex)
      pos = toIndex;
    else if (fromIndex < toIndex && pos > fromIndex && pos <= toIndex)
      --pos;
    else if (toIndex < fromIndex && pos >= toIndex && pos < fromIndex)
      ++pos;
  };
  movePos(FCurrent.X);
  movePos(FRangeEnd.X);
  movePos(FInplaceCol);
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
  auto movePos = [fromIndex, toIndex](std::int32_t &pos) {
    if (pos == fromIndex)
      pos = toIndex;
    else if (fromIndex < toIndex && pos > fromIndex && pos <= toIndex)
      --pos;
    else if (toIndex < fromIndex && pos >= toIndex && pos < fromIndex)
      ++pos;
  };
  movePos(FCurrent.Y);
  movePos(FRangeEnd.Y);
  movePos(FInplaceRow);
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
      viewport()->scroll(rows ? 0 : movement, rows ? movement : 0, toQRect(area));
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
      viewport()->scroll(ax, ay, toQRect(r));
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
  const bool horz = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
  const bool vert = FScrollBars == ssVertical || FScrollBars == ssBoth;
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
  // start another round.
  FScrollBars = ssNone;
  auto restore = [&] { FScrollBars = oldScrollBars; };
  try {
    const bool horz = oldScrollBars == ssHorizontal || oldScrollBars == ssBoth;
    const bool vert = oldScrollBars == ssVertical || oldScrollBars == ssBoth;
    TGridDrawInfo info;
    auto applyPolicy = [&] {
      FScrollBars = oldScrollBars;
      ApplyScrollBarPolicies();
      FScrollBars = ssNone;
    };
    if (horz) {
      CalcDrawInfoXY(info, width, height);
      UpdateScrollRangeOf(SB_HORZ, info);
      applyPolicy();
    }
    height = ClientHeight();
    if (vert) {
      CalcDrawInfoXY(info, width, height);
      UpdateScrollRangeOf(SB_VERT, info);
      applyPolicy();
    }
    if (horz && ClientWidth() != width) {
      width = ClientWidth();
      CalcDrawInfoXY(info, width, height);
      UpdateScrollRangeOf(SB_HORZ, info);
      applyPolicy();
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
  int code;
  QScrollBar *sb = bar == SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
  switch (action) {
  case QAbstractSlider::SliderSingleStepAdd:
    code = SB_LINEDOWN;
    break;
  case QAbstractSlider::SliderSingleStepSub:
    code = SB_LINEUP;
    break;
  case QAbstractSlider::SliderPageStepAdd:
    code = SB_PAGEDOWN;
    break;
  case QAbstractSlider::SliderPageStepSub:
    code = SB_PAGEUP;
    break;
  case QAbstractSlider::SliderMove:
    code = SB_THUMBTRACK;
    break;
  case QAbstractSlider::SliderToMinimum:
    code = SB_TOP;
    break;
  case QAbstractSlider::SliderToMaximum:
    code = SB_BOTTOM;
    break;
  default:
    return;
  }
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

// -------------------------------------------------------------------- editor

bool TCustomGrid_dg::IsActiveControl() const {
  const QWidget *focused = window()->focusWidget();
  if (!focused)
    return false;
  return focused == this || focused == viewport() ||
         (FInplaceEdit && focused == static_cast<const QWidget *>(FInplaceEdit));
}

bool TCustomGrid_dg::CanEditShow() {
  return FOptions.has(goEditing) && !FOptions.has(goRowSelect) && FEditorMode && FHandleAllocated &&
         (FOptions.has(goAlwaysShowEditor) || IsActiveControl());
}

TInplaceEdit *TCustomGrid_dg::CreateEditor() { return new TInplaceEdit(this); }

void TCustomGrid_dg::HideEditor() {
  FEditorMode = false;
  HideEdit();
}

void TCustomGrid_dg::ShowEditor() {
  FEditorMode = true;
  UpdateEdit();
}

void TCustomGrid_dg::ShowEditorChar(char ch) {
  ShowEditor();
  if (FInplaceEdit)
    FInplaceEdit->PostChar(ch);
}

void TCustomGrid_dg::UpdateEdit() {
  if (!CanEditShow())
    return;
  auto load = [this] {
    FInplaceCol = FCurrent.X;
    FInplaceRow = FCurrent.Y;
    FInplaceEdit->UpdateContents();
    FCanEditModify = FInplaceEdit->MaxLength() != -1;
    FInplaceEdit->selectAll();
  };
  if (!FInplaceEdit) {
    FInplaceEdit = CreateEditor();
    load();
  } else if (FCurrent.X != FInplaceCol || FCurrent.Y != FInplaceRow) {
    HideEdit();
    load();
  }
  if (CanEditShow())
    FInplaceEdit->Move(CellRect(FCurrent.X, FCurrent.Y));
}

void TCustomGrid_dg::HideEdit() {
  if (!FInplaceEdit)
    return;
  auto hide = [this] {
    FInplaceCol = -1;
    FInplaceRow = -1;
    FInplaceEdit->Hide();
  };
  try {
    UpdateText();
  } catch (...) {
    hide();
    throw;
  }
  hide();
}

void TCustomGrid_dg::UpdateText() {
  if (FInplaceCol != -1 && FInplaceRow != -1)
    SetEditText(FInplaceCol, FInplaceRow, FInplaceEdit->Text());
}

// ------------------------------------------------------------- keys and mouse

void TCustomGrid_dg::DoKeyDownEvent(std::uint16_t &key, TShiftState shift) {
  if (OnKeyDown)
    OnKeyDown(this, key, shift);
}

void TCustomGrid_dg::DoKeyUpEvent(std::uint16_t &key, TShiftState shift) {
  if (OnKeyUp)
    OnKeyUp(this, key, shift);
}

void TCustomGrid_dg::DoKeyPressEvent(char &key) {
  if (OnKeyPress)
    OnKeyPress(this, key);
}

void TCustomGrid_dg::KeyUp(std::uint16_t &key, TShiftState shift) { DoKeyUpEvent(key, shift); }

void TCustomGrid_dg::KeyDown(std::uint16_t &key, TShiftState shift) {
  DoKeyDownEvent(key, shift);
  if (!CanGridAcceptKey(key, shift))
    key = 0;
  TGridCoord newTopLeft = FTopLeft;
  TGridCoord newCurrent = FCurrent;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const std::int32_t pageWidth = std::max(1, info.Horz.LastFullVisibleCell - LeftCol());
  const std::int32_t pageHeight = std::max(1, info.Vert.LastFullVisibleCell - TopRow());
  const bool rtl = UseRightToLeftAlignment();
  std::uint16_t k = key;
  if (rtl && k == VK_LEFT)
    k = VK_RIGHT;
  else if (rtl && k == VK_RIGHT)
    k = VK_LEFT;
  const bool rowSelect = FOptions.has(goRowSelect);
  if (shift.has(ssCtrl)) {
    switch (k) {
    case VK_UP:
      --newTopLeft.Y;
      break;
    case VK_DOWN:
      ++newTopLeft.Y;
      break;
    case VK_LEFT:
      if (!rowSelect) {
        newCurrent.X -= pageWidth;
        newTopLeft.X -= pageWidth;
      }
      break;
    case VK_RIGHT:
      if (!rowSelect) {
        newCurrent.X += pageWidth;
        newTopLeft.X += pageWidth;
      }
      break;
    case VK_PRIOR:
      newCurrent.Y = TopRow();
      break;
    case VK_NEXT:
      newCurrent.Y = info.Vert.LastFullVisibleCell;
      break;
    case VK_HOME:
      newCurrent = TGridCoord{FFixedCols, FFixedRows};
      if (rtl)
        InvalidateGrid();
      break;
    case VK_END:
      newCurrent = TGridCoord{FColCount - 1, FRowCount - 1};
      if (rtl)
        InvalidateGrid();
      break;
    default:
      break;
    }
  } else {
    switch (k) {
    case VK_UP:
      --newCurrent.Y;
      break;
    case VK_DOWN:
      ++newCurrent.Y;
      break;
    case VK_LEFT:
      if (rowSelect)
        --newTopLeft.X;
      else
        --newCurrent.X;
      break;
    case VK_RIGHT:
      if (rowSelect)
        ++newTopLeft.X;
      else
        ++newCurrent.X;
      break;
    case VK_NEXT:
      newCurrent.Y += pageHeight;
      newTopLeft.Y += pageHeight;
      break;
    case VK_PRIOR:
      newCurrent.Y -= pageHeight;
      newTopLeft.Y -= pageHeight;
      break;
    case VK_HOME:
      if (rowSelect)
        newTopLeft.X = FFixedCols;
      else
        newCurrent.X = FFixedCols;
      break;
    case VK_END:
      if (rowSelect)
        newTopLeft.X = FColCount - 1;
      else
        newCurrent.X = FColCount - 1;
      break;
    case VK_TAB:
      if (!shift.has(ssAlt)) {
        const bool backward = shift.has(ssShift);
        do {
          if (backward) {
            if (--newCurrent.X < FFixedCols) {
              newCurrent.X = FColCount - 1;
              if (--newCurrent.Y < FFixedRows)
                newCurrent.Y = FRowCount - 1;
            }
          } else {
            if (++newCurrent.X >= FColCount) {
              newCurrent.X = FFixedCols;
              if (++newCurrent.Y >= FRowCount)
                newCurrent.Y = FFixedRows;
            }
          }
        } while (!TabStops(newCurrent.X) && newCurrent.X != FCurrent.X);
        shift = TShiftState();
      }
      break;
    case VK_F2:
      SetEditorMode(true);
      break;
    default:
      break;
    }
  }
  const TGridCoord maxTopLeft = CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
  newTopLeft.X = std::clamp(newTopLeft.X, FFixedCols, std::max(FFixedCols, maxTopLeft.X));
  newTopLeft.Y = std::clamp(newTopLeft.Y, FFixedRows, std::max(FFixedRows, maxTopLeft.Y));
  if (newTopLeft != FTopLeft)
    MoveTopLeft(newTopLeft.X, newTopLeft.Y);
  newCurrent.X = std::clamp(newCurrent.X, FFixedCols, FColCount - 1);
  newCurrent.Y = std::clamp(newCurrent.Y, FFixedRows, FRowCount - 1);
  if (newCurrent != FCurrent)
    FocusCell(newCurrent.X, newCurrent.Y, !shift.has(ssShift));
}

void TCustomGrid_dg::KeyPress(char &key) {
  DoKeyPressEvent(key);
  if (!FOptions.has(goAlwaysShowEditor) && key == 13) {
    if (FEditorMode)
      HideEditor();
    else
      ShowEditor();
    key = 0;
  }
}

void TCustomGrid_dg::WMChar(char ch) {
  if (FOptions.has(goEditing) && (ch == 8 || static_cast<unsigned char>(ch) >= 32))
    ShowEditorChar(ch);
  else
    KeyPress(ch);
}

void TCustomGrid_dg::Click() {
  if (OnClick)
    OnClick(this);
}

void TCustomGrid_dg::DblClick() {
  if (OnDblClick)
    OnDblClick(this);
}

void TCustomGrid_dg::StartTimer() { FTimer.start(); }
void TCustomGrid_dg::StopTimer() { FTimer.stop(); }

QPoint TCustomGrid_dg::CursorClientPos() const { return viewport()->mapFromGlobal(QCursor::pos()); }

void TCustomGrid_dg::DrawSizingLine(const TGridDrawInfo &info) {
  FSizingLineShown = !FSizingLineShown;
  if (FGridState == gsRowSizing) {
    FSizingLineFrom = QPoint(0, FSizingPos);
    FSizingLineTo = QPoint(info.Horz.GridBoundary, FSizingPos);
    if (UseRightToLeftAlignment()) {
      FSizingLineFrom.setX(ClientWidth() - info.Horz.GridBoundary);
      FSizingLineTo.setX(ClientWidth());
    }
  } else {
    FSizingLineFrom = QPoint(FSizingPos, 0);
    FSizingLineTo = QPoint(FSizingPos, info.Vert.GridBoundary);
  }
  if (FHandleAllocated)
    viewport()->update(QRect(FSizingLineFrom, FSizingLineTo).normalized().adjusted(-1, -1, 1, 1));
}

void TCustomGrid_dg::DrawMoveLine() {
  FMoveLineShown = !FMoveLineShown;
  const bool cols = FGridState == gsColMoving;
  const TRect cell = cols ? CellRect(FMovePos, 0) : CellRect(0, FMovePos);
  const bool trailing = FMovePos > FMoveIndex;
  if (cols) {
    int x = trailing ? cell.Right : cell.Left;
    if (UseRightToLeftAlignment())
      x = trailing ? cell.Left : cell.Right;
    FMoveLineRect = TRect{x - 2, 0, x + 3, ClientHeight()};
  } else {
    const int y = trailing ? cell.Bottom : cell.Top;
    FMoveLineRect = TRect{0, y - 2, ClientWidth(), y + 3};
  }
  InvalidateScreenRect(FMoveLineRect);
}

void TCustomGrid_dg::MoveAndScroll(int mouse, std::int32_t cellHit, TGridDrawInfo &info,
                                   TGridAxisDrawInfo &axis, int scrollBar, QPoint mousePt) {
  if (UseRightToLeftAlignment() && scrollBar == SB_HORZ)
    mouse = ClientWidth() - mouse;
  if (cellHit == FMovePos || (FMovePos == axis.FixedCellCount && mouse < axis.FixedBoundary) ||
      (FMovePos == axis.GridCellCount - 1 && mouse > axis.GridBoundary))
    return;
  DrawMoveLine();
  if (mouse < axis.FixedBoundary) {
    if (FMovePos > axis.FixedCellCount) {
      ModifyScrollBar(scrollBar, SB_LINEUP, 0, false);
      CalcDrawInfo(info);
    }
    cellHit = axis.FirstGridCell;
  } else if (mouse >= axis.FullVisBoundary) {
    if (FMovePos == axis.LastFullVisibleCell && FMovePos < axis.GridCellCount - 1) {
      ModifyScrollBar(scrollBar, SB_LINEDOWN, 0, false);
      CalcDrawInfo(info);
    }
    cellHit = axis.LastFullVisibleCell;
  } else if (cellHit < 0) {
    cellHit = FMovePos;
  }
  const bool agreed = scrollBar == SB_HORZ ? CheckColumnDrag(FMoveIndex, cellHit, mousePt)
                                           : CheckRowDrag(FMoveIndex, cellHit, mousePt);
  if (agreed)
    FMovePos = cellHit;
  DrawMoveLine();
}

void TCustomGrid_dg::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  HideEdit();
  const QPoint mousePt(x, y);
  if (focusPolicy() != Qt::NoFocus || !parentWidget()) {
    setFocus(Qt::MouseFocusReason);
    if (!IsActiveControl()) {
      FMouseCapture = false;
      return;
    }
  }
  if (button == mbLeft && shift.has(ssDouble)) {
    DblClick();
  } else if (button == mbLeft) {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    TGridState state = gsNormal;
    std::int32_t index = -1;
    int pos = 0, ofs = 0;
    CalcSizingState(x, y, state, index, pos, ofs, info);
    if (state != gsNormal) {
      FGridState = state;
      FSizingIndex = index;
      FSizingPos = pos;
      FSizingOfs = ofs;
      DrawSizingLine(info);
      return;
    }
    const TGridCoord cell = CalcCoordFromPoint(x, y, info);
    if (cell.X >= FFixedCols && cell.Y >= FFixedRows) {
      if (FOptions.has(goEditing)) {
        if (cell == FCurrent) {
          ShowEditor();
        } else {
          MoveCurrent(cell.X, cell.Y, true, true);
          UpdateEdit();
        }
        Click();
      } else {
        FGridState = gsSelecting;
        StartTimer();
        if (shift.has(ssShift))
          MoveRangeEnd(cell);
        else
          MoveCurrent(cell.X, cell.Y, true, true);
      }
    } else if (FOptions.has(goRowMoving) && cell.X >= 0 && cell.X < FFixedCols &&
               cell.Y >= FFixedRows) {
      FMoveIndex = cell.Y;
      FMovePos = FMoveIndex;
      if (BeginRowDrag(FMoveIndex, FMovePos, mousePt)) {
        FGridState = gsRowMoving;
        DrawMoveLine();
        StartTimer();
      }
    } else if (FOptions.has(goColMoving) && cell.Y >= 0 && cell.Y < FFixedRows &&
               cell.X >= FFixedCols) {
      FMoveIndex = cell.X;
      FMovePos = FMoveIndex;
      if (BeginColumnDrag(FMoveIndex, FMovePos, mousePt)) {
        FGridState = gsColMoving;
        DrawMoveLine();
        StartTimer();
      }
    }
  }
  try {
    if (OnMouseDown)
      OnMouseDown(this, button, shift, x, y);
  } catch (...) {
    // A failed handler must not leave a drag running that no release ends.
    if (FMoveLineShown)
      DrawMoveLine();
    StopTimer();
    FGridState = gsNormal;
    throw;
  }
}

void TCustomGrid_dg::MouseMove(TShiftState shift, int x, int y) {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  switch (FGridState) {
  case gsSelecting:
  case gsColMoving:
  case gsRowMoving: {
    const TGridCoord cell = CalcCoordFromPoint(x, y, info);
    if (cell.X >= FFixedCols && cell.Y >= FFixedRows && cell.X < FColCount && cell.Y < FRowCount) {
      if (FGridState == gsSelecting) {
        if (cell != FRangeEnd)
          MoveRangeEnd(cell);
      } else if (FGridState == gsColMoving) {
        MoveAndScroll(x, cell.X, info, info.Horz, SB_HORZ, QPoint(x, y));
      } else {
        MoveAndScroll(y, cell.Y, info, info.Vert, SB_VERT, QPoint(x, y));
      }
    }
    break;
  }
  case gsRowSizing:
  case gsColSizing:
    DrawSizingLine(info);
    FSizingPos = (FGridState == gsRowSizing ? y : x) + FSizingOfs;
    DrawSizingLine(info);
    break;
  default:
    break;
  }
  if (OnMouseMove)
    OnMouseMove(this, shift, x, y);
}

void TCustomGrid_dg::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  struct BackToNormal {
    TCustomGrid_dg *grid;
    ~BackToNormal() { grid->FGridState = gsNormal; }
  } backToNormal{this};
  const QPoint mousePt(x, y);
  switch (FGridState) {
  case gsSelecting:
    MouseMove(shift, x, y);
    StopTimer();
    UpdateEdit();
    Click();
    break;
  case gsRowSizing:
  case gsColSizing: {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    DrawSizingLine(info);
    const bool cols = FGridState == gsColSizing;
    const TGridAxisDrawInfo &axis = cols ? info.Horz : info.Vert;
    int start = axis.FixedBoundary;
    for (std::int32_t i = axis.FirstGridCell; i < FSizingIndex; ++i)
      start += axis.Extent(i) + axis.EffectiveLineWidth;
    const int pos = cols && UseRightToLeftAlignment() ? ClientWidth() - FSizingPos : FSizingPos;
    const int newSize = pos - start;
    if (newSize > 1 && FSizingIndex < axis.GridCellCount) {
      if (cols)
        SetColWidths(FSizingIndex, newSize);
      else
        SetRowHeights(FSizingIndex, newSize);
      UpdateDesigner();
    }
    break;
  }
  case gsColMoving:
  case gsRowMoving: {
    if (FMoveLineShown)
      DrawMoveLine();
    StopTimer();
    const bool cols = FGridState == gsColMoving;
    const bool agreed = cols ? EndColumnDrag(FMoveIndex, FMovePos, mousePt)
                             : EndRowDrag(FMoveIndex, FMovePos, mousePt);
    if (agreed && FMoveIndex != FMovePos) {
      if (cols)
        MoveColumn(FMoveIndex, FMovePos);
      else
        MoveRow(FMoveIndex, FMovePos);
      UpdateDesigner();
    }
    UpdateEdit();
    break;
  }
  default:
    UpdateEdit();
    break;
  }
  if (OnMouseUp)
    OnMouseUp(this, button, shift, x, y);
}

bool TCustomGrid_dg::DoMouseWheel(TShiftState, int, QPoint) { return false; }

void TCustomGrid_dg::WMTimer() {
  if (FGridState != gsSelecting && FGridState != gsColMoving && FGridState != gsRowMoving)
    return;
  const QPoint pt = CursorClientPos();
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const TGridCoord cell = CalcCoordFromPoint(pt.x(), pt.y(), info);
  switch (FGridState) {
  case gsColMoving:
    MoveAndScroll(pt.x(), cell.X, info, info.Horz, SB_HORZ, pt);
    break;
  case gsRowMoving:
    MoveAndScroll(pt.y(), cell.Y, info, info.Vert, SB_VERT, pt);
    break;
  case gsSelecting: {
    unsigned directions = 0;
    const int x = UseRightToLeftAlignment() ? ClientWidth() - pt.x() : pt.x();
    if (x < info.Horz.FixedBoundary)
      directions |= sdLeft;
    else if (x > info.Horz.FullVisBoundary)
      directions |= sdRight;
    if (pt.y() < info.Vert.FixedBoundary)
      directions |= sdUp;
    else if (pt.y() > info.Vert.FullVisBoundary)
      directions |= sdDown;
    if (directions != 0)
      TimedScroll(directions);
    break;
  }
  default:
    break;
  }
}

void TCustomGrid_dg::TimedScroll(unsigned directions) {
  if (FGridState != gsSelecting)
    return;
  TGridCoord newRangeEnd = FRangeEnd;
  if ((directions & sdLeft) && newRangeEnd.X > FFixedCols)
    --newRangeEnd.X;
  if ((directions & sdRight) && newRangeEnd.X < FColCount - 1)
    ++newRangeEnd.X;
  if ((directions & sdUp) && newRangeEnd.Y > FFixedRows)
    --newRangeEnd.Y;
  if ((directions & sdDown) && newRangeEnd.Y < FRowCount - 1)
    ++newRangeEnd.Y;
  if (newRangeEnd != FRangeEnd)
    MoveRangeEnd(newRangeEnd);
}

void TCustomGrid_dg::CancelMode() {
  switch (FGridState) {
  case gsSelecting:
    StopTimer();
    break;
  case gsRowSizing:
  case gsColSizing: {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    if (FSizingLineShown)
      DrawSizingLine(info);
    break;
  }
  case gsColMoving:
  case gsRowMoving:
    if (FMoveLineShown)
      DrawMoveLine();
    StopTimer();
    break;
  default:
    break;
  }
  FGridState = gsNormal;
}

// ------------------------------------------------- answers and notifications

bool TCustomGrid_dg::CanEditAcceptKey(char) { return true; }
bool TCustomGrid_dg::CanGridAcceptKey(std::uint16_t, TShiftState) { return true; }
bool TCustomGrid_dg::CanEditModify() { return FCanEditModify; }
std::string TCustomGrid_dg::GetEditText(std::int32_t, std::int32_t) { return {}; }
void TCustomGrid_dg::SetEditText(std::int32_t, std::int32_t, const std::string &) {}
std::string TCustomGrid_dg::GetEditMask(std::int32_t, std::int32_t) { return {}; }
int TCustomGrid_dg::GetEditLimit() { return 0; }
void TCustomGrid_dg::ColumnMoved(std::int32_t, std::int32_t) {}
void TCustomGrid_dg::RowMoved(std::int32_t, std::int32_t) {}
void TCustomGrid_dg::SizeChanged(std::int32_t, std::int32_t) {}
bool TCustomGrid_dg::SelectCell(std::int32_t, std::int32_t) { return true; }

void TCustomGrid_dg::TopLeftChanged() {
  if (FEditorMode && FInplaceEdit)
    FInplaceEdit->UpdateLoc(CellRect(FCurrent.X, FCurrent.Y));
}

void TCustomGrid_dg::ColWidthsChanged() {
  UpdateScrollRange();
  UpdateEdit();
}

void TCustomGrid_dg::RowHeightsChanged() {
  UpdateScrollRange();
  UpdateEdit();
}

bool TCustomGrid_dg::BeginColumnDrag(std::int32_t &, std::int32_t &, QPoint) { return true; }
bool TCustomGrid_dg::BeginRowDrag(std::int32_t &, std::int32_t &, QPoint) { return true; }
bool TCustomGrid_dg::CheckColumnDrag(std::int32_t &, std::int32_t &, QPoint) { return true; }
bool TCustomGrid_dg::CheckRowDrag(std::int32_t &, std::int32_t &, QPoint) { return true; }
bool TCustomGrid_dg::EndColumnDrag(std::int32_t &, std::int32_t &, QPoint) { return true; }
bool TCustomGrid_dg::EndRowDrag(std::int32_t &, std::int32_t &, QPoint) { return true; }

// --------------------------------------------------------------------- paint

void TCustomGrid_dg::Paint() {
  QPainter &canvas = *FCanvas;
  const QPalette pal = palette();
  const bool oneColumn = FColCount == 1 && FColOffset > 0;
  TGridDrawInfo info;
  CalcDrawInfoXY(info, ClientWidth() + (oneColumn ? FColOffset : 0), ClientHeight());
  if (UseRightToLeftAlignment()) {
    canvas.translate(ClientWidth(), 0);
    canvas.scale(-1, 1);
    FCanvasMirrored = true;
  }
  if (oneColumn)
    canvas.translate(-FColOffset, 0);
  const int fixedX = info.Horz.FixedBoundary;
  const int fixedY = info.Vert.FixedBoundary;
  const int gridX = info.Horz.GridBoundary;
  const int gridY = info.Vert.GridBoundary;
  const QColor fixedColor = colorToQColor(FFixedColor, pal);
  const QColor color = colorToQColor(FColor, pal);

  // Grid lines, area by area.
  auto drawLines = [&](std::int32_t firstCol, std::int32_t lastCol, int left, int right,
                       std::int32_t firstRow, std::int32_t lastRow, int top, int bottom,
                       const QColor &vertColor, const QColor &horzColor) {
    if (info.Horz.EffectiveLineWidth > 0) {
      int x = left;
      for (std::int32_t c = firstCol; c < lastCol && x < right; ++c) {
        x += ColWidths(c);
        canvas.fillRect(QRect(x, top, info.Horz.EffectiveLineWidth, bottom - top), vertColor);
        x += info.Horz.EffectiveLineWidth;
      }
    }
    if (info.Vert.EffectiveLineWidth > 0) {
      int y = top;
      for (std::int32_t r = firstRow; r < lastRow && y < bottom; ++r) {
        y += RowHeights(r);
        canvas.fillRect(QRect(left, y, right - left, info.Vert.EffectiveLineWidth), horzColor);
        y += info.Vert.EffectiveLineWidth;
      }
    }
  };
  const QColor fixedVert = FOptions.has(goFixedVertLine) ? QColor(Qt::black) : fixedColor;
  const QColor fixedHorz = FOptions.has(goFixedHorzLine) ? QColor(Qt::black) : fixedColor;
  const QColor lineColor = FColor == clSilver ? QColor(0x80, 0x80, 0x80) : QColor(0xC0, 0xC0, 0xC0);
  const QColor vertLine = FOptions.has(goVertLine) ? lineColor : color;
  const QColor horzLine = FOptions.has(goHorzLine) ? lineColor : color;
  drawLines(0, FFixedCols, 0, fixedX, 0, FFixedRows, 0, fixedY, fixedVert, fixedHorz);
  drawLines(LeftCol(), FColCount, fixedX, gridX, 0, FFixedRows, 0, fixedY, fixedVert, fixedHorz);
  drawLines(0, FFixedCols, 0, fixedX, TopRow(), FRowCount, fixedY, gridY, fixedVert, fixedHorz);
  drawLines(LeftCol(), FColCount, fixedX, gridX, TopRow(), FRowCount, fixedY, gridY, vertLine,
            horzLine);

  // Cells, area by area.
  const TGridRect sel = Selection();
  const bool focused = IsActiveControl();
  const QColor highlight = colorToQColor(clHighlight, pal);
  const QColor highlightText = colorToQColor(clHighlightText, pal);
  const QColor light = colorToQColor(clBtnHighlight, pal);
  const QColor shadow = colorToQColor(clBtnShadow, pal);
  auto drawCells = [&](std::int32_t firstCol, std::int32_t firstRow, int startX, int startY,
                       std::int32_t stopCol, std::int32_t stopRow, int stopX, int stopY,
                       const QColor &areaColor, TGridDrawState includeState) {
    int top = startY;
    for (std::int32_t row = firstRow; row < stopRow && top < stopY; ++row) {
      const int bottom = top + RowHeights(row);
      int left = startX;
      for (std::int32_t col = firstCol; col < stopCol && left < stopX; ++col) {
        const int right = left + ColWidths(col);
        if (right > left && bottom > top) {
          const TRect where{left, top, right, bottom};
          TGridDrawState state = includeState;
          if (focused && row == FCurrent.Y && col == FCurrent.X)
            state |= gdFocused;
          if (pointInGridRect(col, row, sel))
            state |= gdSelected;
          const bool leftToEditor = (state & gdFocused) && FOptions.has(goEditing) && FEditorMode;
          if (!leftToEditor) {
            if (FDefaultDrawing) {
              const bool highlighted = (state & gdSelected) &&
                                       (!(state & gdFocused) || FOptions.has(goDrawFocusSelected) ||
                                        FOptions.has(goRowSelect));
              canvas.fillRect(toQRect(where), highlighted ? highlight : areaColor);
              canvas.setPen(highlighted ? highlightText : pal.color(QPalette::Text));
            }
            DrawCell(col, row, where, state);
            if (FDefaultDrawing && (includeState & gdFixed) &&
                (FOptions.has(goFixedVertLine) || FOptions.has(goFixedHorzLine))) {
              // Raised inner edges; a side without a line takes its width.
              QRect r = toQRect(where);
              if (!FOptions.has(goFixedVertLine))
                r.adjust(0, 0, info.Horz.EffectiveLineWidth, 0);
              if (!FOptions.has(goFixedHorzLine))
                r.adjust(0, 0, 0, info.Vert.EffectiveLineWidth);
              if (FOptions.has(goFixedHorzLine)) {
                canvas.fillRect(QRect(r.left(), r.top(), r.width(), 1), light);
                canvas.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), shadow);
              }
              if (FOptions.has(goFixedVertLine)) {
                canvas.fillRect(QRect(r.left(), r.top(), 1, r.height()), light);
                canvas.fillRect(QRect(r.right(), r.top(), 1, r.height()), shadow);
              }
            }
            if ((state & gdFocused) &&
                !(FOptions.has(goEditing) && FOptions.has(goAlwaysShowEditor)) &&
                !FOptions.has(goRowSelect)) {
              canvas.save();
              canvas.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
              canvas.setBrush(Qt::NoBrush);
              canvas.drawRect(toQRect(where).adjusted(0, 0, -1, -1));
              canvas.restore();
            }
          }
        }
        left = right + info.Horz.EffectiveLineWidth;
      }
      top = bottom + info.Vert.EffectiveLineWidth;
    }
  };
  drawCells(0, 0, 0, 0, FFixedCols, FFixedRows, fixedX, fixedY, fixedColor, gdFixed);
  drawCells(LeftCol(), 0, fixedX, 0, FColCount, FFixedRows, gridX, fixedY, fixedColor, gdFixed);
  drawCells(0, TopRow(), 0, fixedY, FFixedCols, FRowCount, fixedX, gridY, fixedColor, gdFixed);
  drawCells(LeftCol(), TopRow(), fixedX, fixedY, FColCount, FRowCount, gridX, gridY, color, 0);

  if (FOptions.has(goRowSelect) && FDefaultDrawing && focused) {
    const TRect r = BoxRect(sel.Left, sel.Top, sel.Right, sel.Bottom);
    if (!IsRectEmpty(r)) {
      canvas.save();
      canvas.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
      canvas.setBrush(Qt::NoBrush);
      canvas.drawRect(toQRect(r).adjusted(0, 0, -2, -2));
      canvas.restore();
    }
  }
  // What lies beyond the last cells.
  const int width = info.Horz.GridExtent;
  const int height = info.Vert.GridExtent;
  if (gridX < width)
    canvas.fillRect(QRect(gridX, 0, width - gridX, height), color);
  if (gridY < height)
    canvas.fillRect(QRect(0, gridY, gridX, height - gridY), color);
  FCanvasMirrored = false;
}

// ------------------------------------------------------------------ Qt's side

bool TCustomGrid_dg::WantsKey(const QKeyEvent &e) const {
  const int key = e.key();
  if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down)
    return true;
  if (FOptions.has(goRowSelect))
    return false;
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && FOptions.has(goTabs))
    return true;
  return FOptions.has(goEditing) && !e.text().isEmpty() &&
         !(e.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool TCustomGrid_dg::focusNextPrevChild(bool next) {
  if (FOptions.has(goTabs) && !FOptions.has(goRowSelect))
    return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}

bool TCustomGrid_dg::event(QEvent *e) {
  if (e->type() == QEvent::ShortcutOverride) {
    if (WantsKey(*static_cast<QKeyEvent *>(e))) {
      e->accept();
      return true;
    }
  } else if (e->type() == QEvent::LayoutDirectionChange) {
    InvalidateGrid();
  }
  return QAbstractScrollArea::event(e);
}

void TCustomGrid_dg::paintEvent(QPaintEvent *) {
  QPainter painter(viewport());
  FCanvas = &painter;
  painter.save();
  guarded([this] { Paint(); });
  painter.restore();
  FCanvasMirrored = false;
  FCanvas = nullptr;
  // Sizing and moving lines lie over everything and invert what is below.
  if (FSizingLineShown || FMoveLineShown) {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    if (FSizingLineShown) {
      painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
      painter.drawLine(FSizingLineFrom, FSizingLineTo);
    }
    if (FMoveLineShown)
      painter.fillRect(toQRect(FMoveLineRect), QBrush(Qt::white, Qt::Dense4Pattern));
  }
}

void TCustomGrid_dg::resizeEvent(QResizeEvent *e) {
  QAbstractScrollArea::resizeEvent(e);
  guarded([this] {
    UpdateScrollRange();
    if (UseRightToLeftAlignment())
      InvalidateGrid();
  });
}

void TCustomGrid_dg::showEvent(QShowEvent *e) {
  QAbstractScrollArea::showEvent(e);
  FHandleAllocated = true;
  guarded([this] { UpdateScrollRange(); });
}

void TCustomGrid_dg::keyPressEvent(QKeyEvent *e) {
  guarded([&] {
    std::uint16_t key = virtualKeyOf(*e);
    char ch = typedCharOf(*e);
    if (key != 0)
      KeyDown(key, shiftStateOf(*e));
    if (ch != 0)
      WMChar(ch);
  });
  e->accept();
}

void TCustomGrid_dg::keyReleaseEvent(QKeyEvent *e) {
  guarded([&] {
    std::uint16_t key = virtualKeyOf(*e);
    if (key != 0)
      KeyUp(key, shiftStateOf(*e));
  });
  e->accept();
}

void TCustomGrid_dg::mousePressEvent(QMouseEvent *e) {
  FMouseCapture = true;
  const QPoint p = e->position().toPoint();
  FHitTest = p;
  if (FInplaceEdit && e->button() == Qt::LeftButton)
    FInplaceEdit->SetClickTime(static_cast<qint64>(e->timestamp()));
  guarded([&] { MouseDown(buttonOf(e->button()), shiftStateOf(*e), p.x(), p.y()); });
}

void TCustomGrid_dg::mouseDoubleClickEvent(QMouseEvent *e) { mousePressEvent(e); }

void TCustomGrid_dg::mouseMoveEvent(QMouseEvent *e) {
  const QPoint p = e->position().toPoint();
  FHitTest = p;
  guarded([&] {
    UpdateCursor(p.x(), p.y());
    MouseMove(shiftStateOf(*e), p.x(), p.y());
  });
}

void TCustomGrid_dg::mouseReleaseEvent(QMouseEvent *e) {
  const QPoint p = e->position().toPoint();
  guarded([&] { MouseUp(buttonOf(e->button()), shiftStateOf(*e), p.x(), p.y()); });
  FMouseCapture = false;
}

void TCustomGrid_dg::UpdateCursor(int x, int y) {
  TGridState state = FGridState;
  if (state == gsNormal) {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    std::int32_t index = -1;
    int pos = 0, ofs = 0;
    CalcSizingState(x, y, state, index, pos, ofs, info);
  }
  if (state == gsRowSizing)
    viewport()->setCursor(Qt::SplitVCursor);
  else if (state == gsColSizing)
    viewport()->setCursor(Qt::SplitHCursor);
  else
    viewport()->unsetCursor();
}

void TCustomGrid_dg::wheelEvent(QWheelEvent *e) {
  bool handled = false;
  guarded([&] {
    handled = DoMouseWheel(shiftStateOf(*e), e->angleDelta().y(), e->globalPosition().toPoint());
  });
  e->setAccepted(handled);
}

void TCustomGrid_dg::focusInEvent(QFocusEvent *e) {
  QAbstractScrollArea::focusInEvent(e);
  const bool fromEditor = FFocusFromEditor;
  FFocusFromEditor = false;
  guarded([&] {
    InvalidateRect(Selection());
    if (!fromEditor) {
      UpdateEdit();
      FocusEntered();
    }
  });
}

void TCustomGrid_dg::focusOutEvent(QFocusEvent *e) {
  QAbstractScrollArea::focusOutEvent(e);
  const QWidget *to = QApplication::focusWidget();
  const bool toEditor = FInplaceEdit && to == FInplaceEdit;
  guarded([&] {
    InvalidateRect(Selection());
    if (!toEditor) {
      HideEdit();
      const bool leftGrid =
          e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
      if (leftGrid && !FOptions.has(goAlwaysShowEditor))
        HideEditor();
      if (leftGrid)
        FocusLeft();
    }
  });
}

void TCustomGrid_dg::scrollContentsBy(int, int) {}

} // namespace marrowen

namespace marrowen {

void TCustomGrid_dg::WriteCellExtents(ComponentWriter &writer) const {
  if (!FSaveCellExtents)
    return;
  auto write = [&](const char *name, const ExtentList &list, std::int32_t count, auto extent) {
    if (list.empty())
      return;
    writer.writeName(name);
    writer.writeListBegin();
    for (std::int32_t i = 0; i < count; ++i)
      writer.writeInteger(extent(i));
    writer.writeListEnd();
  };
  write("ColWidths", FColWidths, ColCount(), [this](std::int32_t i) { return ColWidths(i); });
  write("RowHeights", FRowHeights, RowCount(), [this](std::int32_t i) { return RowHeights(i); });
}

bool TCustomGrid_dg::ReadCellExtents(std::string_view name, ComponentReader &reader) {
  const bool widths = name == "ColWidths";
  if (!widths && name != "RowHeights")
    return false;
  reader.readListBegin();
  for (std::int32_t i = 0; !reader.endOfList(); ++i) {
    const int value = reader.readInteger();
    if (widths)
      SetColWidths(i, value);
    else
      SetRowHeights(i, value);
  }
  reader.readListEnd();
  return true;
}

} // namespace marrowen

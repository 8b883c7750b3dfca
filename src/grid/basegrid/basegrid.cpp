#include "grid/basegrid/basegrid.h"

#include "classlib/componentstream.h"
#include "classlib/scopeexit.h"
#include "grid/basegrid/inplaceedit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QRegion>
#include <QScrollBar>

#include <algorithm>
#include <iostream>

namespace marrowen {

namespace {

GridExceptionReporter &exceptionReporter() {
  static GridExceptionReporter reporter;
  return reporter;
}

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

// -1 for a line not shown: 0 is where a line starts when nothing of size
// stands before it (no heading, no row bar), which is shown all the same.
int TCustomGrid_dg::LinePos(const TGridAxisDrawInfo &axis, std::int32_t line) const {
  int start = 0;
  std::int32_t i;
  if (line < axis.FixedCellCount) {
    i = 0;
  } else if (line >= axis.FirstGridCell) {
    start = axis.FixedBoundary;
    i = axis.FirstGridCell;
  } else {
    return -1;
  }
  for (; i < line; ++i) {
    start += axis.Extent(i) + axis.EffectiveLineWidth;
    if (start > axis.GridExtent)
      return -1;
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
  // From the fixed lines into those scrolled out of sight: the fixed part is
  // what shows.
  if (gridRectMax >= axis.FixedCellCount && gridRectMax < axis.FirstGridCell)
    gridRectMax = axis.FixedCellCount - 1;
  if (gridRectMax > axis.LastFullVisibleCell) {
    gridRectMax = axis.LastFullVisibleCell;
    if (gridRectMax < axis.GridCellCount - 1)
      ++gridRectMax;
    if (LinePos(axis, gridRectMax) < 0 && gridRectMax > gridRectMin)
      --gridRectMax;
  }
  screenRectMin = std::max(0, LinePos(axis, gridRectMin));
  const int maxPos = LinePos(axis, gridRectMax);
  if (maxPos < 0)
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
  if (show) {
    ++FScrollingToCurrent;
    ScopeExit scrolled{[this] { --FScrollingToCurrent; }};
    ClampInView(FCurrent);
  }
  SelectionMoved(oldSel);
  InvalidateCell(oldCurrent.X, oldCurrent.Y);
  InvalidateCell(FCurrent.X, FCurrent.Y);
  if (FCurrent != oldCurrent)
    CurrentCellMoved();
  MoveCurrentEnded();
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
  // A fixed column or row is always in view: the derived grid lets the
  // current cell stand in its fixed data rows, and scrolling to one would
  // put the top-left cell inside the fixed area.
  const bool colShown =
      coord.X < FFixedCols || (coord.X >= FTopLeft.X && coord.X <= info.Horz.LastFullVisibleCell);
  const bool rowShown =
      coord.Y < FFixedRows || (coord.Y >= FTopLeft.Y && coord.Y <= info.Vert.LastFullVisibleCell);
  if (colShown && rowShown)
    return;
  const TGridCoord oldTopLeft = FTopLeft;
  const TGridCoord maxTopLeft = CalcMaxTopLeft(coord, info);
  if (!colShown)
    FTopLeft.X = coord.X < FTopLeft.X ? coord.X : maxTopLeft.X;
  if (!rowShown)
    FTopLeft.Y = coord.Y < FTopLeft.Y ? coord.Y : maxTopLeft.Y;
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

// ------------------------------------------------------------------ Qt's side

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

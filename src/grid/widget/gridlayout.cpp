// Where the data grid's cells lie, what the mouse is over, the cell and
// heading buttons there and their states, how many lines are shown or fit on
// a page, the sizes kept in step, and scaling. Positions in the visible lists
// are found by search, so nothing here walks all rows.
#include "classlib/scopeexit.h"
#include "grid/data/colrow.h"
#include "grid/editing/combo.h"
#include "grid/widget/dgbasegrid.h"

#include <QCursor>

#include <algorithm>
#include <cmath>
#include <functional>

namespace marrowen {

namespace {

int mulDiv(int value, int m, int d) {
  if (d == 0)
    return -1;
  return static_cast<int>(std::lround(static_cast<double>(value) * m / d));
}

bool isSpinButton(TdgButtonType type) { return type == btVertSpin || type == btHorzSpin; }

} // namespace

// ------------------------------------------------------------------ geometry

int TdgBaseGrid::ColumnLeft(int displayCol) const {
  if (displayCol < 0 || displayCol >= ColCount())
    return -1;
  if (displayCol == 0)
    return 0;
  const int cw = ClientWidth();
  int x = ColWidths(0);
  const int fixed = std::min<int>(FixedCols(), ColCount());
  for (int c = 1; c < std::min(displayCol, fixed); ++c) {
    x += ColWidths(c);
    if (x >= cw)
      return -1;
  }
  if (displayCol >= fixed) {
    if (displayCol < LeftCol())
      return -1;
    for (int c = std::max(fixed, 1); c < std::min(displayCol, fixed); ++c)
      x += ColWidths(c);
    bool found = false;
    for (int pos = FVisibleCols.Search(LeftCol(), found); pos <= FVisibleCols.VisibleCount();
         ++pos) {
      const int c = FVisibleCols.Get(pos);
      if (c >= displayCol)
        break;
      x += ColWidths(c);
      if (x >= cw)
        return -1;
    }
  }
  return x < cw ? x : -1;
}

int TdgBaseGrid::RowTop(int displayRow) const {
  if (displayRow < 0 || displayRow >= RowCount())
    return -1;
  if (displayRow == 0)
    return 0;
  const int ch = ClientHeight();
  int y = RowHeights(0);
  const int fixed = std::min<int>(FixedRows(), RowCount());
  for (int r = 1; r < std::min(displayRow, fixed); ++r) {
    y += RowHeights(r);
    if (y >= ch)
      return -1;
  }
  if (displayRow >= fixed) {
    if (displayRow < TopRow())
      return -1;
    bool found = false;
    int pos = FVisibleRows.Search(TopRow(), found);
    for (; pos <= FVisibleRows.VisibleCount(); ++pos) {
      const int r = FVisibleRows.Get(pos);
      if (r >= displayRow)
        break;
      y += RowHeights(r);
      if (y >= ch)
        return -1;
    }
  }
  return y < ch ? y : -1;
}

TRect TdgBaseGrid::GetCellRect(int displayCol, int displayRow) const {
  const int left = ColumnLeft(displayCol);
  const int top = RowTop(displayRow);
  if (left < 0 || top < 0)
    return {};
  return {left, top, std::min(left + ColWidths(displayCol), ClientWidth()),
          std::min(top + RowHeights(displayRow), ClientHeight())};
}

TRect TdgBaseGrid::GetPaintCellRect(int displayCol, int displayRow) const {
  TRect r = GetCellRect(displayCol, displayRow);
  if (IsRectEmpty(r))
    return r;
  if (r.Left + ColWidths(displayCol) <= ClientWidth())
    r.Right -= FVertLineWidth;
  if (r.Top + RowHeights(displayRow) <= ClientHeight())
    r.Bottom -= FHorzLineWidth;
  return r;
}

int TdgBaseGrid::ColumnAt(int x) const {
  if (x < 0 || x >= ClientWidth())
    return -1;
  int edge = 0;
  for (int c = 0; c < FixedCols(); ++c) {
    edge += ColWidths(c);
    if (x < edge)
      return c;
  }
  bool found = false;
  for (int pos = FVisibleCols.Search(LeftCol(), found); pos <= FVisibleCols.VisibleCount(); ++pos) {
    const int c = FVisibleCols.Get(pos);
    edge += ColWidths(c);
    if (x < edge)
      return c;
  }
  return -1;
}

int TdgBaseGrid::RowAt(int y) const {
  if (y < 0 || y >= ClientHeight())
    return -1;
  int edge = 0;
  for (int r = 0; r < FixedRows(); ++r) {
    edge += RowHeights(r);
    if (y < edge)
      return r;
  }
  bool found = false;
  for (int pos = FVisibleRows.Search(TopRow(), found); pos <= FVisibleRows.VisibleCount(); ++pos) {
    const int r = FVisibleRows.Get(pos);
    edge += RowHeights(r);
    if (y < edge)
      return r;
  }
  if (FInsertRowFlag && y < edge + RowHeights(RowCount() - 1))
    return RowCount() - 1;
  return -1;
}

TdgButtonType TdgBaseGrid::EffectiveButtonType(int dataCol, int dataRow) {
  return ButtonTypeUpTo(dataCol, dataRow, Rows());
}

TdgButtonType TdgBaseGrid::ButtonTypeAsDataRow(int dataCol, int dataRow) {
  return ButtonTypeUpTo(dataCol, dataRow, Rows() + FInsertRowFlag);
}

TdgButtonType TdgBaseGrid::ButtonTypeUpTo(int dataCol, int dataRow, int lastRow) {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > lastRow)
    return btNone;
  if (!FReadOnlyButton && !CellEditableUpTo(dataCol, dataRow, lastRow))
    return btNone;
  const TdgButtonType own = Cascade(
      dataCol, dataRow, [](const CellLevel &l) { return l.ButtonType(); }, btDefault);
  return own != btDefault ? own : btNone;
}

TdgSpinOptions TdgBaseGrid::CellSpinOptions(int dataCol, int dataRow) {
  const CellLevel level = ButtonLevel(dataCol, dataRow, isSpinButton);
  return level ? level.SpinOptions() : TdgSpinOptions(0);
}

double TdgBaseGrid::CellSpinIncrement(int dataCol, int dataRow) {
  const CellLevel level = ButtonLevel(dataCol, dataRow, isSpinButton);
  return level ? level.SpinIncrement() : 0.0;
}

std::string TdgBaseGrid::CellMaskName(int dataCol, int dataRow) {
  return Cascade(
      dataCol, dataRow, [](const CellLevel &l) { return l.MaskName(); }, std::string());
}

std::string TdgBaseGrid::CheckBoxValuesOf(int dataCol) const {
  const TdgCol *col = dataCol >= 1 ? ColObject(dataCol) : nullptr;
  return col && !col->CheckBoxValues().empty() ? col->CheckBoxValues() : FCheckBoxValues;
}

TdgCustomButton *TdgBaseGrid::GetCellButton(int displayCol, TdgButtonType type) {
  auto make = [](std::unique_ptr<TdgCustomButton> &slot, auto factory) {
    if (!slot)
      slot = factory();
    return slot.get();
  };
  switch (type) {
  case btCombo:
    return make(FComboButton, [this] {
      return std::make_unique<TdgComboButton>(this, FDefaultButtonHeight, FDefaultButtonWidth,
                                              clNone, GridBitmap(GridGlyph::ArrowCombo));
    });
  case btNormal: {
    const int dataCol = DataColAt(displayCol);
    if (dataCol >= 1 && dataCol <= Cols())
      if (TdgCol *col = FColStore->Item(dataCol); col && col->Button())
        return col->Button();
    return make(FNormalButton, [this] {
      return std::make_unique<TdgNormalButton>(this, FDefaultButtonHeight, FDefaultButtonWidth,
                                               clNone, GridBitmap(GridGlyph::ButDetail));
    });
  }
  case btVertSpin:
    return make(FVertSpin, [this] {
      return std::make_unique<TdgVertSpinButton>(this, FSpinButtonHeight, FSpinButtonWidth, clNone,
                                                 nullptr);
    });
  case btHorzSpin:
    return make(FHorzSpin, [this] {
      return std::make_unique<TdgHorzSpinButton>(this, FSpinButtonWidth, FSpinButtonHeight, clNone,
                                                 nullptr);
    });
  case btDateTimeDropDown:
    return make(FDateTimeDropDown, [this] {
      return std::make_unique<TdgDateTimeButton>(this, FDefaultButtonHeight, FDefaultButtonWidth,
                                                 clNone, GridBitmap(GridGlyph::ArrowCombo), false);
    });
  case btDateTimePopup:
    return make(FDateTimePopup, [this] {
      return std::make_unique<TdgDateTimeButton>(this, FDefaultButtonHeight, FDefaultButtonWidth,
                                                 clNone, GridBitmap(GridGlyph::ButDetail), true);
    });
  case btNone:
  case btDefault:
    break;
  }
  return nullptr;
}

bool TdgBaseGrid::PointOnCellButton(int x, int y, int displayRow, int displayCol) {
  if (displayRow < 1 || displayCol < 1)
    return false;
  const int dataCol = DataColAt(displayCol);
  const int dataRow = DataRowAt(displayRow);
  const TdgButtonType type = EffectiveButtonType(dataCol, dataRow);
  if (FGridMode == gmListBox || FGridMode == gmBrowse || type == btNone)
    return false;
  if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight())
    return false;
  if (!CellEditable(dataCol, dataRow))
    return false;
  TdgCustomButton *button = GetCellButton(displayCol, type);
  if (!button)
    return false;
  const TRect cell = GetPaintCellRect(displayCol, displayRow);
  if (IsRectEmpty(cell))
    return false;
  const TRect b = CellButtonRect(cell, *button);
  return x > b.Left && x <= b.Right && y >= b.Top && y <= b.Bottom;
}

TRect TdgBaseGrid::CellButtonRect(const TRect &cell, const TdgCustomButton &button) {
  const bool spin = dynamic_cast<const TdgVertSpinButton *>(&button) ||
                    dynamic_cast<const TdgHorzSpinButton *>(&button);
  const int left = std::max(cell.Left + 3, cell.Right - button.GetTotalWidth());
  return {std::min(left, cell.Right), cell.Top, cell.Right,
          spin ? std::min(cell.Bottom, cell.Top + button.GetTotalHeight()) : cell.Bottom};
}

bool TdgBaseGrid::ListOnlyCell(int dataCol, int dataRow) {
  // The insert row's cell is the cell it becomes: no free text there either,
  // before the first change enters the row.
  const TdgButtonType type = ButtonTypeAsDataRow(dataCol, dataRow);
  return (type == btCombo || type == btDateTimeDropDown || type == btDateTimePopup) &&
         CellDropDownStyle(dataCol, dataRow) == ddDropDownList;
}

bool TdgBaseGrid::PointOnClickButton(int x, int y, int displayRow, int displayCol) {
  if (PointOnCellButton(x, y, displayRow, displayCol))
    return true;
  if (displayRow < 1 || displayCol < 1 || FGridMode == gmListBox || FGridMode == gmBrowse)
    return false;
  const int dataCol = DataColAt(displayCol);
  const int dataRow = DataRowAt(displayRow);
  const TdgButtonType type = EffectiveButtonType(dataCol, dataRow);
  if ((type != btCombo && type != btDateTimeDropDown) ||
      CellDropDownStyle(dataCol, dataRow) != ddDropDownList || !CellEditable(dataCol, dataRow))
    return false;
  if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight())
    return false;
  const TRect cell = GetPaintCellRect(displayCol, displayRow);
  return !IsRectEmpty(cell) && x >= cell.Left && x <= cell.Right && y >= cell.Top &&
         y <= cell.Bottom;
}

// ------------------------------------------------------------ heading buttons

bool TdgBaseGrid::HeadingActsAsButton(int displayCol) const {
  const TdgCol *col = ColObject(DataColAt(displayCol));
  const TdgColHeadingButton own = col ? col->HeadingButton() : cbGrid;
  return own == cbButton || (own == cbGrid && FHeadingButton == hbButton);
}

bool TdgBaseGrid::HeadingActsAsCell(int displayCol) const {
  const TdgCol *col = ColObject(DataColAt(displayCol));
  const TdgColHeadingButton own = col ? col->HeadingButton() : cbGrid;
  return own == cbCell || (own == cbGrid && FHeadingButton == hbCell);
}

bool TdgBaseGrid::MouseOnHeading(int x, int y, int displayCol) const {
  if (FHeldHeading >= 0 || displayCol < 1 || FColSelection.IsSelected(displayCol))
    return false;
  const int left = ColumnLeft(displayCol);
  if (left < 0 || x < left || x >= left + ColWidths(displayCol) || y < 0)
    return false;
  if (HeadingActsAsButton(displayCol))
    return y < HeadingButtonHeight;
  return HeadingActsAsCell(displayCol) && HeadingOn() && y < HeadingHeight();
}

// ------------------------------------------------------------- button state

bool TdgBaseGrid::ButtonIsActive(int displayCol, int displayRow) const {
  if (displayCol != Col() || displayRow != Row() || Updating())
    return false;
  if (FGridMode == gmListBox || FGridMode == gmBrowse)
    return false;
  return const_cast<TdgBaseGrid *>(this)->CellEditable(DataColAt(displayCol),
                                                       DataRowAt(displayRow));
}

void TdgBaseGrid::ClearButtonHover() {
  if (FHoverCol < 0)
    return;
  InvalidateCell(FHoverCol, FHoverRow);
  FHoverCol = FHoverRow = -1;
}

void TdgBaseGrid::UpdateButtonHover(int x, int y) {
  if (!HotTracking())
    return;
  const int col = ColumnAt(x);
  const int row = RowAt(y);
  if (col < 1 || row < 1 || !PointOnCellButton(x, y, row, col)) {
    ClearButtonHover();
    return;
  }
  // Flat buttons look raised only while hot: the timer notices the mouse
  // leaving the window, which sends no move.
  if (FFlatButtons)
    StartAutoScrollTimer();
  if (col == FHoverCol && row == FHoverRow)
    return;
  ClearButtonHover();
  const TdgButtonType type = EffectiveButtonType(DataColAt(col), DataRowAt(row));
  const bool spin = type == btVertSpin || type == btHorzSpin;
  // These already look raised where hot would draw them.
  if ((spin || !FFlatButtons) &&
      ((col == Col() && row == Row()) || FInactiveButtonState == ibsBackGround))
    return;
  FHoverCol = col;
  FHoverRow = row;
  InvalidateCell(col, row);
}

void TdgBaseGrid::HoverTimerStep() {
  const QPoint p = viewport()->mapFromGlobal(QCursor::pos());
  if (viewport()->rect().contains(p) && isVisible())
    UpdateButtonHover(p.x(), p.y());
  else
    ClearButtonHover();
  if (FHoverCol < 0)
    StopAutoScrollTimer();
}

void TdgBaseGrid::PressCellButton(int displayCol, int displayRow, int spinHalf) {
  FPressedCol = displayCol;
  FPressedRow = displayRow;
  FPressedSpin = spinHalf;
  FSpinFirstStep = true;
  FHeldDrawn = true;
  InvalidateCell(displayCol, displayRow);
}

void TdgBaseGrid::LeaveCellButtons() {
  if (FHoverCol >= 0)
    InvalidateCell(FHoverCol, FHoverRow);
  if (FPressedCol >= 0)
    InvalidateCell(FPressedCol, FPressedRow);
  FHoverCol = FHoverRow = FPressedCol = FPressedRow = -1;
  FPressedSpin = 0;
  FHeldDrawn = false;
  FRepeatCount = 0;
  StopSpinTimer();
}

void TdgBaseGrid::StartSpinTimer() {
  if (FSpinTimer.isActive() || !HandleAllocated())
    return;
  if (!FSpinConnected) {
    QObject::connect(&FSpinTimer, &QTimer::timeout, this, [this] {
      try {
        SpinRepeatTick();
      } catch (...) {
        reportGridException(std::current_exception());
      }
    });
    FSpinConnected = true;
  }
  // Back on a button that has repeated already, the repeat goes on at its
  // own pace.
  FSpinTimer.start(FSpinFirstStep ? FSpinStartDelay : FSpinRepeatDelay);
}

bool TdgBaseGrid::StopSpinTimer() {
  const bool running = FSpinTimer.isActive();
  FSpinTimer.stop();
  return running;
}

void TdgBaseGrid::SpinRepeatTick() {
  if (FPressedSpin == 0 || !FSpinTimer.isActive() || !MouseCaptured() || !HasFocusNow()) {
    LeaveCellButtons();
    return;
  }
  if (FSpinFirstStep) {
    FSpinFirstStep = false;
    FSpinTimer.start(FSpinRepeatDelay);
  }
  ++FRepeatCount;
  const bool horizontal =
      EffectiveButtonType(DataColAt(FPressedCol), DataRowAt(FPressedRow)) == btHorzSpin;
  const TdgSpinButton button =
      horizontal ? (FPressedSpin == 1 ? sbLeft : sbRight) : (FPressedSpin == 1 ? sbUp : sbDown);
  DoSpinRepeat(GetCurrentDataCol(), GetCurrentDataRow(), FRepeatCount, button);
  SpinCurrentCell(GetCurrentDataCol(), GetCurrentDataRow(), button);
}

// ------------------------------------------------------------ visible ranges

int TdgBaseGrid::LastColShownFrom(int start) const {
  if (!HandleAllocated())
    return 0;
  int x = FFixedWidth;
  int c = start;
  while (c < ColCount() && x < ClientWidth())
    x += ColWidths(c++);
  return std::max(start, c - 1);
}

int TdgBaseGrid::LastRowShownFrom(int start) const {
  if (!HandleAllocated())
    return 0;
  int y = FFixedHeight;
  int r = start;
  while (r < RowCount() && y < ClientHeight())
    y += RowHeights(r++);
  return std::max(start, r - 1);
}

int TdgBaseGrid::ColsFittingFrom(int start) const {
  if (!HandleAllocated())
    return 0;
  int x = FFixedWidth - FVertLineWidth;
  int n = 0;
  for (int c = start; c < ColCount() && x + ColWidths(c) <= ClientWidth(); ++c, ++n)
    x += ColWidths(c);
  return n;
}

int TdgBaseGrid::RowsFittingFrom(int start) const {
  if (!HandleAllocated())
    return 0;
  int y = FFixedHeight - FHorzLineWidth;
  int n = 0;
  for (int r = start; r < RowCount() && y + RowHeights(r) <= ClientHeight(); ++r, ++n)
    y += RowHeights(r);
  return n;
}

// The last lines of the view may be hidden ones of no size: the last line
// shown is the one before them.
int TdgBaseGrid::LastVisibleCol() const {
  if (!HandleAllocated())
    return 0;
  int at = ColumnAt(ClientWidth() - 1);
  if (at < 0)
    for (at = LastColShownFrom(LeftCol()); at > 1 && ColWidths(at) == 0;)
      --at;
  return at;
}

int TdgBaseGrid::LastVisibleRow() const {
  if (!HandleAllocated())
    return 0;
  int at = RowAt(ClientHeight() - 1);
  if (at >= 0)
    return at;
  at = FGridMode == gmEditInsert ? RowCount() - 1 : LastRowShownFrom(TopRow());
  while (at > 1 && RowHeights(at) == 0)
    --at;
  return at;
}

namespace {

// How many whole lines fit on a page, counted from the first one shown
// onwards, or backwards from the one before it down to the fixed ones.
int pageSize(const TdgVisibleItems &list, int fixedCount, int firstShown, int used, int client,
             const std::function<int(int)> &extent, bool backward) {
  bool found = false;
  const int last = list.VisibleCount();
  const int stop = backward ? list.Search(fixedCount, found) : 0;
  const int step = backward ? -1 : 1;
  int n = 0;
  for (int pos = list.Search(firstShown, found) + (backward ? -1 : 0);
       backward ? pos >= stop && pos >= 1 : pos <= last; pos += step) {
    const int e = extent(list.Get(pos));
    if (used + e > client)
      break;
    used += e;
    ++n;
  }
  return n;
}

} // namespace

int TdgBaseGrid::PageSizeDown() const {
  return pageSize(
      FVisibleRows, FixedRows(), TopRow(), FFixedHeight - FHorzLineWidth, ClientHeight(),
      [this](int r) { return RowHeights(r); }, false);
}

int TdgBaseGrid::PageSizeUp() const {
  return pageSize(
      FVisibleRows, FixedRows(), TopRow(), FFixedHeight - FHorzLineWidth, ClientHeight(),
      [this](int r) { return RowHeights(r); }, true);
}

int TdgBaseGrid::PageSizeRight() const {
  return pageSize(
      FVisibleCols, FixedCols(), LeftCol(), FFixedWidth - FVertLineWidth, ClientWidth(),
      [this](int c) { return ColWidths(c); }, false);
}

int TdgBaseGrid::PageSizeLeft() const {
  return pageSize(
      FVisibleCols, FixedCols(), LeftCol(), FFixedWidth - FVertLineWidth, ClientWidth(),
      [this](int c) { return ColWidths(c); }, true);
}

// -------------------------------------------------------------------- sizes

bool TdgBaseGrid::SyncSizes(bool rows) {
  if (FSyncingSizes)
    return false;
  FSyncingSizes = true;
  ScopeExit done{[this] { FSyncingSizes = false; }};
  if (rows) {
    if (DefaultRowHeight() < 1)
      SetDefaultRowHeight(1);
    // A new default gives every row that height, own heights included: the
    // shown rows keep it as their own, the hidden ones keep theirs for when
    // they show again.
    // Scaling sets the own heights itself.
    if (DefaultRowHeight() != FSyncedRowHeight) {
      FSyncedRowHeight = DefaultRowHeight();
      for (int dataRow = 1; FScaling == 0 && dataRow <= Rows(); ++dataRow) {
        const TdgRow *row = RowObject(dataRow);
        const int display = GetDisplayRowOf(dataRow);
        if (!row || !row->Visible() || display < 1 || display >= RowCount())
          continue;
        const int height = std::max(0, RowHeights(display));
        if (height != row->Height()) {
          FRowStore->EnsureRowObject(dataRow).setHeightFields(height, height);
          FRowStore->ReleaseIfDefault(dataRow);
        }
      }
    }
    if (RowCount() > 0)
      SetRowHeights(0, HeadingOn() ? HeadingHeight() : 0);
    if (FVisibleRows.Active()) {
      for (int r = 1; r < RowCount(); ++r) {
        const TdgRow *row = RowObject(DataRowAt(r));
        if (row && !row->Visible() && RowHeights(r) != 0)
          SetRowHeights(r, 0);
      }
    }
  } else {
    if (DefaultColWidth() < 1)
      SetDefaultColWidth(1);
    if (DefaultColWidth() != FSyncedColWidth) {
      FSyncedColWidth = DefaultColWidth();
      for (int display = 1; FScaling == 0 && display < ColCount(); ++display) {
        const int dataCol = DataColAt(display);
        TdgCol *col = dataCol >= 1 && dataCol <= Cols() ? FColStore->Item(dataCol) : nullptr;
        const int width = std::max(0, ColWidths(display));
        if (col && col->Visible() && width != col->Width())
          col->setWidthFields(width, width);
      }
    }
    if (ColCount() > 0)
      SetColWidths(0, RowBarOn() ? RowBarWidth() : 0);
    if (FVisibleCols.Active()) {
      for (int c = 1; c < ColCount(); ++c) {
        const TdgCol *col = ColObject(DataColAt(c));
        if (col && !col->Visible() && ColWidths(c) != 0)
          SetColWidths(c, 0);
      }
    }
  }
  SumFixedSizes();
  return true;
}

// ------------------------------------------------------------------ scaling

bool TdgBaseGrid::AutoScale() const {
  if (const TdgBaseGrid *owner = ListOwner())
    return owner->AutoScale();
  return FAutoScale;
}

void TdgBaseGrid::SetAutoScale(bool value) {
  if (!isComboGrid())
    FAutoScale = value;
}

void TdgBaseGrid::ChangeScale(int multiplier, int divisor, std::uint8_t flags) {
  if (!AutoScale() || multiplier == divisor || divisor == 0)
    return;
  ScaleBy(multiplier, divisor, flags);
}

void TdgBaseGrid::ScaleBy(int multiplier, int divisor, std::uint8_t flags) {
  ++FScaling;
  ScopeExit done{[this] { --FScaling; }};
  BeginUpdate();
  ScopeExit update{[this] { EndUpdate(); }};
  auto scaled = [&](int value) { return mulDiv(value, multiplier, divisor); };
  auto scaleFont = [&](TFont *font) {
    if (font)
      font->SetSize(scaled(font->Size()));
  };
  auto scaleCombo = [&](TdgCombo *combo) {
    if (combo && combo->ComboGrid())
      static_cast<TdgBaseGrid &>(*combo->ComboGrid()).ScaleBy(multiplier, divisor, flags);
  };
  if (flags & sfFont) {
    if (!FParentFont)
      scaleFont(&FFont);
    if (!FHeadingParentFont)
      scaleFont(&FHeadingFont);
  }
  if (flags & sfHeight) {
    SetHeadingHeight(scaled(HeadingHeight()));
    FRequestedDefaultRowHeight = scaled(FRequestedDefaultRowHeight);
    SetDefaultRowHeight(scaled(DefaultRowHeight()));
  }
  if (flags & sfWidth) {
    SetRowBarWidth(scaled(RowBarWidth()));
    SetDefaultColWidth(scaled(DefaultColWidth()));
  }
  for (int c = 1; c <= Cols(); ++c) {
    TdgCol *col = FColStore->Item(c);
    if (!col)
      continue;
    if (flags & sfWidth)
      col->SetWidth(scaled(col->Width()));
    if ((flags & sfFont) && !col->ParentFont() && col->OwnFont())
      scaleFont(col->Font());
    if ((flags & sfFont) && !col->HeadingParentFont() && col->OwnHeadingFont())
      scaleFont(col->HeadingFont());
    scaleCombo(col->Combo());
  }
  for (int r = 1; r <= Rows(); ++r) {
    TdgRow *row = FRowStore->RowObject(r);
    if (!row)
      continue;
    if (flags & sfHeight)
      row->SetHeight(scaled(row->Height()));
    if ((flags & sfFont) && !row->ParentFont() && row->OwnFont())
      scaleFont(row->Font());
    scaleCombo(row->Combo());
  }
  const std::function<void(const TdgSetNode *)> scaleCells = [&](const TdgSetNode *node) {
    if (!node)
      return;
    auto *element = static_cast<TdgCellElement *>(const_cast<TdgSetNode *>(node)->GetData());
    if ((flags & sfFont) && !element->GetProp(pnParentFont, 0).toBoolean())
      scaleFont(element->Font());
    scaleCombo(element->Combo());
    scaleCells(node->Left);
    scaleCells(node->Right);
  };
  scaleCells(FCellProps.Root());
  scaleCombo(FCombo.get());
}

void TdgBaseGrid::FollowScreenScale() {
  // The grid a list drops down for scales it along with itself.
  if (isComboGrid())
    return;
  const int dpi = ScreenDpi();
  if (FScreenDpi > 0 && dpi > 0 && dpi != FScreenDpi)
    ChangeScale(dpi, FScreenDpi, sfWidth | sfHeight);
  if (dpi > 0)
    FScreenDpi = dpi;
}

} // namespace marrowen

// The data grid's look and layout settings: each compares first and, on a
// real change, repaints, re-lays out or reports only what it affects.
#include "grid/widget/dgbasegrid.h"

#include "grid/basegrid/inplaceedit.h"
#include "grid/editing/combo.h"

namespace marrowen {

namespace {

template <class T> bool change(T &field, T value) {
  if (field == value)
    return false;
  field = value;
  return true;
}

} // namespace

TdgBaseGrid &DataGridLook::Grid() { return static_cast<TdgBaseGrid &>(*this); }

const TdgBaseGrid &DataGridLook::Grid() const { return static_cast<const TdgBaseGrid &>(*this); }

void DataGridLook::SetLineColor(TColor value) {
  if (change(FLineColor, value))
    Grid().Repaint();
}

void DataGridLook::SetFixedLineColor(TColor value) {
  if (change(FFixedLineColor, value))
    Grid().Repaint();
}

void DataGridLook::SetHeadingColor(TColor value) {
  if (change(FHeadingColor, value))
    Grid().Repaint();
}

void DataGridLook::SetGridLines(TdgGridLines value) {
  if (!change(FGridLines, value))
    return;
  FHorzLineWidth = value == glHorzLines || value == glBoth ? 1 : 0;
  FVertLineWidth = value == glVertLines || value == glBoth ? 1 : 0;
  Grid().Repaint();
  Grid().RefreshEditor();
}

void DataGridLook::SetFocusBorder(TdgFocusBorder value) {
  const TdgFocusBorder old = FFocusBorder;
  if (!change(FFocusBorder, value))
    return;
  // A frame reaches over the neighbours' lines.
  if (old == fbSingle || old == fbDouble)
    Grid().Repaint();
  else
    InvalidateCell(Col(), Row());
}

void DataGridLook::SetFocusColor(TColor value) {
  if (!change(FFocusColor, value))
    return;
  if (FFocusColor == clNone && FSelectionColor == clNone)
    Grid().FSelectionPattern.Free();
  InvalidateCell(Col(), Row());
}

const QImage *TdgBaseGrid::UpdateSelectionPattern(bool create) {
  if (SelectionColor() == clNone && FocusColor() == clNone) {
    FSelectionPattern.Free();
    return nullptr;
  }
  if (create || FSelectionPattern.Bitmap())
    FSelectionPattern.Update(
        colorToRgb(SelectionColor() != clNone ? SelectionColor() : FocusColor(), palette()));
  return FSelectionPattern.Bitmap();
}

void DataGridLook::SetFocusFontColor(TColor value) {
  if (change(FFocusFontColor, value))
    InvalidateCell(Col(), Row());
}

void DataGridLook::SetSelectionColor(TColor value) {
  if (!change(FSelectionColor, value))
    return;
  if (FFocusColor == clNone && FSelectionColor == clNone)
    Grid().FSelectionPattern.Free();
  SelectionLookChanged();
}

void DataGridLook::SetSelectionFontColor(TColor value) {
  if (change(FSelectionFontColor, value))
    SelectionLookChanged();
}

void DataGridLook::SetSelectionType(TdgSelectionType value) {
  if (change(FSelectionType, value))
    SelectionLookChanged();
}

void DataGridLook::SelectionLookChanged() {
  TdgBaseGrid &grid = Grid();
  if (grid.FGridStatus != gsNothing)
    grid.Repaint();
  if (grid.ComboOpen() && grid.FCombo && grid.FCombo->ComboGrid())
    grid.FCombo->ComboGrid()->InvalidateGrid();
}

void DataGridLook::SetAlwaysShowFocus(bool value) {
  if (!change(FAlwaysShowFocus, value))
    return;
  // The editor shows its selection by it once the focus has gone.
  if (Grid().FActiveControl)
    Grid().FActiveControl->SetKeepSelection(value);
  if (!Grid().HasFocusNow()) {
    Grid().RefreshEditor();
    InvalidateCell(Col(), Row());
  }
}

void DataGridLook::SetHeading3D(bool value) {
  if (!change(FHeading3D, value))
    return;
  Grid().InvalidateDisplayRow(0);
  Grid().InvalidateDisplayCol(0);
}

void DataGridLook::SetIs3DLook(bool value) {
  if (!change(FIs3D, value))
    return;
  Grid().Repaint();
  Grid().RefreshEditor();
}

void DataGridLook::SetWordWrapLook(TdgWordWrap value) {
  if (!change(FWordWrap, value))
    return;
  Grid().Repaint();
  Grid().RefreshEditor();
}

void DataGridLook::SetDrawOverlap(TdgDrawOverlap value) {
  if (!change(FDrawOverlap, value))
    return;
  InvalidateGrid();
  Grid().RefreshEditor();
  // Which of column and row decides may change a cell's control type.
  Grid().dropUnfitValues(-1, -1);
}

void DataGridLook::SetRowBarIndicator(bool value) {
  if (!change(FRowBarIndicator, value))
    return;
  if (Row() >= 1)
    InvalidateCell(0, Row());
  // The insert row carries a mark of its own.
  if (Grid().FInsertRowFlag && RowCount() >= 2)
    InvalidateCell(0, RowCount() - 1);
}

// The row bar is column object 0 and the heading row object 0: their
// Visible and size are these four properties.
bool TdgBaseGrid::RowBarOn() const {
  return !FColStore || FColStore->Count() == 0 || FColStore->Item(0)->Visible();
}
int TdgBaseGrid::RowBarWidth() const {
  return !FColStore || FColStore->Count() == 0 ? 14 : FColStore->Item(0)->Width();
}
bool TdgBaseGrid::HeadingOn() const {
  return !FRowStore || FRowStore->Count() == 0 || !FRowStore->Item(0) ||
         FRowStore->Item(0)->Visible();
}
int TdgBaseGrid::HeadingHeight() const {
  return !FRowStore || FRowStore->Count() == 0 || !FRowStore->Item(0)
             ? 15
             : FRowStore->Item(0)->Height();
}

void TdgBaseGrid::SetRowBarOn(bool value) {
  if (FColStore->Count() > 0)
    FColStore->Item(0)->SetVisible(value);
  DropDownResize();
}
void TdgBaseGrid::SetRowBarWidth(int value) {
  if (FColStore->Count() > 0)
    FColStore->Item(0)->SetWidth(value);
  DropDownResize();
}
void TdgBaseGrid::SetHeadingOn(bool value) {
  if (FRowStore->Count() > 0)
    FRowStore->EnsureRowObject(0).SetVisible(value);
  DropDownResize();
}
void TdgBaseGrid::SetHeadingHeight(int value) {
  if (FRowStore->Count() > 0)
    FRowStore->EnsureRowObject(0).SetHeight(value);
  DropDownResize();
}

void TdgBaseGrid::SumFixedSizes() {
  FFixedWidth = 0;
  for (int c = 0; c < FixedCols(); ++c)
    FFixedWidth += ColWidths(c);
  FFixedHeight = 0;
  for (int r = 0; r < FixedRows(); ++r)
    FFixedHeight += RowHeights(r);
}

void TdgBaseGrid::RecomputeFixedSizes() {
  SumFixedSizes();
  UpdateScrollBars();
}

// The shown editor takes the new colours at once, its text and caret kept.
void DataGridLook::SetEditColor(TColor value) {
  if (change(FEditColor, value))
    Grid().RefreshEditedCell();
}

void DataGridLook::SetEditFontColor(TColor value) {
  if (change(FEditFontColor, value))
    Grid().RefreshEditedCell();
}

void DataGridLook::SetFlatButtons(bool value) {
  if (change(FFlatButtons, value))
    Grid().Repaint();
}

void DataGridLook::SetInactiveButtonState(TdgInactiveButtonState value) {
  if (!change(FInactiveButtonState, value))
    return;
  Grid().Repaint();
  Grid().RefreshEditor();
}

void DataGridLook::SetButtonEdgeWidth(int value) {
  if (!change(FButtonEdgeWidth, value))
    return;
  Grid().Repaint();
  Grid().RefreshEditor();
}

void TdgBaseGrid::FreeCachedButtons(bool cellButtons) {
  bool freed = false;
  auto drop = [&freed](std::unique_ptr<TdgCustomButton> &button) {
    if (button && button->FollowsGridSize()) {
      button.reset();
      freed = true;
    }
  };
  if (cellButtons) {
    drop(FComboButton);
    drop(FNormalButton);
    drop(FDateTimeDropDown);
    drop(FDateTimePopup);
  } else {
    drop(FVertSpin);
    drop(FHorzSpin);
  }
  if (freed)
    Repaint();
  RefreshEditor();
}

void DataGridLook::SetDefaultButtonWidth(int value) {
  if (change(FDefaultButtonWidth, value))
    Grid().FreeCachedButtons(true);
}

void DataGridLook::SetDefaultButtonHeight(int value) {
  if (change(FDefaultButtonHeight, value))
    Grid().FreeCachedButtons(true);
}

void DataGridLook::SetSpinButtonWidth(int value) {
  if (change(FSpinButtonWidth, value))
    Grid().FreeCachedButtons(false);
}

void DataGridLook::SetSpinButtonHeight(int value) {
  if (change(FSpinButtonHeight, value))
    Grid().FreeCachedButtons(false);
}

void DataGridLook::SetHeadingButton(TdgHeadingButton value) {
  if (change(FHeadingButton, value) && !Grid().FPaintingNow)
    Grid().InvalidateDisplayRow(0);
}

void DataGridLook::SetThumbTracking(bool value) {
  if (change(FThumbTracking, value))
    SetOptions(value ? Options().with(goThumbTracking) : Options().without(goThumbTracking));
}

void DataGridLook::SetAlwaysShowScrollBar(TScrollStyle value) {
  if (change(FAlwaysShowScrollBar, value))
    Grid().UpdateScrollBars();
}

void DataGridLook::SetVertAlignment(TdgVertAlignment value) {
  if (change(FVertAlignment, value))
    Grid().Repaint();
}

void DataGridLook::SetHorzAlignment(TdgHorzAlignment value) {
  if (change(FHorzAlignment, value))
    Grid().Repaint();
}

void DataGridLook::SetHeadingHorzAlignment(TdgHorzAlignment value) {
  if (change(FHeadingHorzAlignment, value) && Grid().HeadingOn())
    Grid().InvalidateDisplayRow(0);
}

void DataGridLook::SetHeadingVertAlignment(TdgVertAlignment value) {
  if (change(FHeadingVertAlignment, value) && Grid().HeadingOn())
    Grid().InvalidateDisplayRow(0);
}

void DataGridLook::SetHeadingWordWrap(TdgWordWrap value) {
  if (change(FHeadingWordWrap, value) && Grid().HeadingOn())
    Grid().InvalidateDisplayRow(0);
}

void DataGridLook::SetRowBarAlignment(TdgVertAlignment value) {
  if (change(FRowBarAlignment, value))
    Grid().InvalidateDisplayCol(0);
}

void DataGridLook::SetFixedColCount(int value) {
  if (value < 0)
    return;
  FFixedColCount = value;
  const int base = ColCount() > 0 ? (value >= ColCount() - 1 ? ColCount() - 1 : value + 1) : 0;
  if (base != FixedCols())
    ApplyFixedCount(false, std::max(base, 1));
}

void DataGridLook::SetFixedRowCount(int value) {
  if (value < 0)
    return;
  FFixedRowCount = value;
  const int base = RowCount() > 0 ? (value >= RowCount() - 1 ? RowCount() - 1 : value + 1) : 0;
  if (base != FixedRows())
    ApplyFixedCount(true, std::max(base, 1));
}

// The base grid's count setter puts the current cell and the top-left cell
// back on the first scrollable cell. The current cell stays where it was (a
// fixed data cell may hold it, and an edit under way belongs to it), and the
// top-left cell keeps its place as far as the new fixed area allows.
void DataGridLook::ApplyFixedCount(bool rows, int base) {
  TdgBaseGrid &grid = Grid();
  const TGridCoord current = FCurrent, rangeEnd = FRangeEnd, topLeft = FTopLeft;
  grid.HideCellEditor();
  if (rows)
    SetFixedRows(base);
  else
    SetFixedCols(base);
  FCurrent = current;
  FRangeEnd = rangeEnd;
  // The largest top-left cell depends on the new fixed area's size.
  grid.RecomputeFixedSizes();
  MoveTopLeft(std::max(topLeft.X, FixedCols()), std::max(topLeft.Y, FixedRows()));
  grid.RecomputeFixedSizes();
  grid.PlaceEditor();
  grid.Repaint();
  grid.ReportTopLeft(false);
}

} // namespace marrowen

namespace marrowen {

void DataGridLook::SetStretchPicture(bool value) {
  if (change(FStretchPicture, value) && !Grid().FPaintingNow)
    Grid().Repaint();
}

void DataGridLook::SetShrinkPicture(bool value) {
  if (change(FShrinkPicture, value) && !Grid().FPaintingNow)
    Grid().Repaint();
}

void DataGridLook::SetCenterPicture(bool value) {
  if (change(FCenterPicture, value) && !Grid().FPaintingNow)
    Grid().Repaint();
}

void DataGridLook::SetKeepAspectRatio(bool value) {
  if (change(FKeepAspectRatio, value) && !Grid().FPaintingNow)
    Grid().Repaint();
}

void DataGridLook::SetPictureTransparentColor(TColor value) {
  if (change(FTransparentColor, value) && !Grid().FPaintingNow)
    Grid().Repaint();
}

void DataGridLook::SetCheckBoxStyle(TdgCheckBoxStyle value) {
  if (!change(FCheckBoxStyle, value))
    return;
  Grid().Repaint();
  Grid().RefreshEditor();
}

void DataGridLook::SetReadOnlyButton(bool value) {
  if (!change(FReadOnlyButton, value))
    return;
  Grid().Repaint();
  Grid().RefreshEditor();
}

} // namespace marrowen

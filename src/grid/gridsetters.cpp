// The data grid's look and layout settings: each compares first and, on a
// real change, repaints, re-lays out or reports only what it affects.
#include "grid/dgbasegrid.h"

#include "grid/inplaceedit.h"

namespace marrowen {

namespace {

template <class T> bool change(T &field, T value) {
  if (field == value)
    return false;
  field = value;
  return true;
}

} // namespace

void TdgBaseGrid::SetLineColor(TColor value) {
  if (change(FLineColor, value))
    Repaint();
}

void TdgBaseGrid::SetFixedLineColor(TColor value) {
  if (change(FFixedLineColor, value))
    Repaint();
}

void TdgBaseGrid::SetHeadingColor(TColor value) {
  if (change(FHeadingColor, value))
    Repaint();
}

void TdgBaseGrid::SetGridLines(TdgGridLines value) {
  if (!change(FGridLines, value))
    return;
  FHorzLineWidth = value == glHorzLines || value == glBoth ? 1 : 0;
  FVertLineWidth = value == glVertLines || value == glBoth ? 1 : 0;
  Repaint();
  UpdateEdit();
}

void TdgBaseGrid::SetFocusBorder(TdgFocusBorder value) {
  const TdgFocusBorder old = FFocusBorder;
  if (!change(FFocusBorder, value))
    return;
  // A frame reaches over the neighbours' lines.
  if (old == fbSingle || old == fbDouble)
    Repaint();
  else
    InvalidateCell(Col(), Row());
}

void TdgBaseGrid::SetFocusColor(TColor value) {
  if (!change(FFocusColor, value))
    return;
  if (FFocusColor == clNone && FSelectionColor == clNone)
    FSelectionPattern.Free();
  InvalidateCell(Col(), Row());
}

void TdgBaseGrid::SetFocusFontColor(TColor value) {
  if (change(FFocusFontColor, value))
    InvalidateCell(Col(), Row());
}

void TdgBaseGrid::SetSelectionColor(TColor value) {
  if (!change(FSelectionColor, value))
    return;
  if (FFocusColor == clNone && FSelectionColor == clNone)
    FSelectionPattern.Free();
  if (FGridStatus != gsNothing)
    Repaint();
}

void TdgBaseGrid::SetSelectionFontColor(TColor value) {
  if (change(FSelectionFontColor, value) && FGridStatus != gsNothing)
    Repaint();
}

void TdgBaseGrid::SetSelectionType(TdgSelectionType value) {
  if (change(FSelectionType, value) && FGridStatus != gsNothing)
    Repaint();
}

void TdgBaseGrid::SetAlwaysShowFocus(bool value) {
  if (!change(FAlwaysShowFocus, value))
    return;
  if (!HasFocusNow()) {
    UpdateEdit();
    InvalidateCell(Col(), Row());
  }
}

void TdgBaseGrid::SetHeading3D(bool value) {
  if (!change(FHeading3D, value))
    return;
  InvalidateDisplayRow(0);
  InvalidateDisplayCol(0);
}

void TdgBaseGrid::SetIs3DLook(bool value) {
  if (!change(FIs3D, value))
    return;
  Repaint();
  UpdateEdit();
}

void TdgBaseGrid::SetWordWrapLook(TdgWordWrap value) {
  if (!change(FWordWrap, value))
    return;
  Repaint();
  UpdateEdit();
}

void TdgBaseGrid::SetDrawOverlap(TdgDrawOverlap value) {
  if (!change(FDrawOverlap, value))
    return;
  InvalidateGrid();
  UpdateEdit();
  // Which of column and row decides may change a cell's control type.
  dropUnfitValues(-1, -1);
}

void TdgBaseGrid::SetRowBarIndicator(bool value) {
  if (change(FRowBarIndicator, value) && Row() >= 1)
    InvalidateCell(0, Row());
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

void TdgBaseGrid::RecomputeFixedSizes() {
  FFixedWidth = 0;
  for (int c = 0; c < FixedCols(); ++c)
    FFixedWidth += ColWidths(c);
  FFixedHeight = 0;
  for (int r = 0; r < FixedRows(); ++r)
    FFixedHeight += RowHeights(r);
  UpdateScrollBars();
}

// The shown editor takes the new colours at once, its text and caret kept.
void TdgBaseGrid::SetEditColor(TColor value) {
  if (change(FEditColor, value) && FEditorShown && FActiveControl)
    EditorSetup(*FActiveControl);
}

void TdgBaseGrid::SetEditFontColor(TColor value) {
  if (change(FEditFontColor, value) && FEditorShown && FActiveControl)
    EditorSetup(*FActiveControl);
}

void TdgBaseGrid::SetFlatButtons(bool value) {
  if (change(FFlatButtons, value))
    Repaint();
}

void TdgBaseGrid::SetInactiveButtonState(TdgInactiveButtonState value) {
  if (!change(FInactiveButtonState, value))
    return;
  Repaint();
  UpdateEdit();
}

void TdgBaseGrid::SetButtonEdgeWidth(int value) {
  if (!change(FButtonEdgeWidth, value))
    return;
  Repaint();
  UpdateEdit();
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
  UpdateEdit();
}

void TdgBaseGrid::SetDefaultButtonWidth(int value) {
  if (change(FDefaultButtonWidth, value))
    FreeCachedButtons(true);
}

void TdgBaseGrid::SetDefaultButtonHeight(int value) {
  if (change(FDefaultButtonHeight, value))
    FreeCachedButtons(true);
}

void TdgBaseGrid::SetSpinButtonWidth(int value) {
  if (change(FSpinButtonWidth, value))
    FreeCachedButtons(false);
}

void TdgBaseGrid::SetSpinButtonHeight(int value) {
  if (change(FSpinButtonHeight, value))
    FreeCachedButtons(false);
}

void TdgBaseGrid::SetHeadingButton(TdgHeadingButton value) {
  if (change(FHeadingButton, value) && !FPaintingNow)
    InvalidateDisplayRow(0);
}

void TdgBaseGrid::SetThumbTracking(bool value) {
  if (change(FThumbTracking, value))
    SetOptions(value ? Options().with(goThumbTracking) : Options().without(goThumbTracking));
}

void TdgBaseGrid::SetAlwaysShowScrollBar(TScrollStyle value) {
  if (change(FAlwaysShowScrollBar, value))
    UpdateScrollBars();
}

void TdgBaseGrid::SetVertAlignment(TdgVertAlignment value) {
  if (change(FVertAlignment, value))
    Repaint();
}

void TdgBaseGrid::SetHorzAlignment(TdgHorzAlignment value) {
  if (change(FHorzAlignment, value))
    Repaint();
}

void TdgBaseGrid::SetHeadingHorzAlignment(TdgHorzAlignment value) {
  if (change(FHeadingHorzAlignment, value) && HeadingOn())
    InvalidateDisplayRow(0);
}

void TdgBaseGrid::SetHeadingVertAlignment(TdgVertAlignment value) {
  if (change(FHeadingVertAlignment, value) && HeadingOn())
    InvalidateDisplayRow(0);
}

void TdgBaseGrid::SetHeadingWordWrap(TdgWordWrap value) {
  if (change(FHeadingWordWrap, value) && HeadingOn())
    InvalidateDisplayRow(0);
}

void TdgBaseGrid::SetRowBarAlignment(TdgVertAlignment value) {
  if (change(FRowBarAlignment, value))
    InvalidateDisplayCol(0);
}

void TdgBaseGrid::SetFixedColCount(int value) {
  if (value < 0)
    return;
  FFixedColCount = value;
  const int base = ColCount() > 0 ? std::min(ColCount() - 1, value + 1) : 0;
  if (base == FixedCols())
    return;
  const bool shown = EditorMode();
  if (shown)
    HideEditor();
  SetFixedCols(std::max(base, 1));
  MoveTopLeft(LeftCol(), TopRow());
  RecomputeFixedSizes();
  if (shown)
    ShowEditor();
  Repaint();
  ReportTopLeft(false);
}

void TdgBaseGrid::SetFixedRowCount(int value) {
  if (value < 0)
    return;
  FFixedRowCount = value;
  const int base = RowCount() > 0 ? std::min(RowCount() - 1, value + 1) : 0;
  if (base == FixedRows())
    return;
  HideEditor();
  SetFixedRows(std::max(base, 1));
  MoveTopLeft(LeftCol(), TopRow());
  RecomputeFixedSizes();
  UpdateEdit();
  Repaint();
  ReportTopLeft(false);
}

} // namespace marrowen

namespace marrowen {

void TdgBaseGrid::SetStretchPicture(bool value) {
  if (change(FStretchPicture, value) && !FPaintingNow)
    Repaint();
}

void TdgBaseGrid::SetShrinkPicture(bool value) {
  if (change(FShrinkPicture, value) && !FPaintingNow)
    Repaint();
}

void TdgBaseGrid::SetCenterPicture(bool value) {
  if (change(FCenterPicture, value) && !FPaintingNow)
    Repaint();
}

void TdgBaseGrid::SetKeepAspectRatio(bool value) {
  if (change(FKeepAspectRatio, value) && !FPaintingNow)
    Repaint();
}

void TdgBaseGrid::SetPictureTransparentColor(TColor value) {
  if (change(FTransparentColor, value) && !FPaintingNow)
    Repaint();
}

void TdgBaseGrid::SetCheckBoxStyle(TdgCheckBoxStyle value) {
  if (!change(FCheckBoxStyle, value))
    return;
  Repaint();
  UpdateEdit();
}

void TdgBaseGrid::SetReadOnlyButton(bool value) {
  if (!change(FReadOnlyButton, value))
    return;
  Repaint();
  UpdateEdit();
}

} // namespace marrowen

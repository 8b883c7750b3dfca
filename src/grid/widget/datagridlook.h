#pragma once

#include "grid/basegrid/basegrid.h"
#include "grid/data/basegridtypes.h"
#include "grid/data/buttons.h"
#include "grid/data/font.h"
#include "grid/data/gridlook.h"
#include "grid/data/gridtypes.h"
#include "grid/widget/gridmodes.h"

namespace marrowen {

class TdgBaseGrid;

// The data grid's look settings: lines, focus and selection marks, the
// heading and row bar, cell buttons, fixed lines and pictures. Each setter
// compares first and, on a real change, repaints, re-lays out or reports only
// what it affects; the grid derives from it.
class DataGridLook : public TCustomGrid_dg {
public:
  explicit DataGridLook(QWidget *parent) : TCustomGrid_dg(parent) {}

  // Lines, focus and selection marks.
  TColor LineColor() const { return FLineColor; }
  TColor FixedLineColor() const { return FFixedLineColor; }
  TdgGridLines GridLines() const { return FGridLines; }
  int HorzLineWidth() const { return FHorzLineWidth; }
  int VertLineWidth() const { return FVertLineWidth; }
  TdgFocusBorder FocusBorder() const { return FFocusBorder; }
  TColor FocusColor() const { return FFocusColor; }
  TColor FocusFontColor() const { return FFocusFontColor; }
  TColor SelectionColor() const { return FSelectionColor; }
  TColor SelectionFontColor() const { return FSelectionFontColor; }
  TdgSelectionType SelectionType() const { return FSelectionType; }
  bool AlwaysShowFocus() const { return FAlwaysShowFocus; }
  TColor EditColor() const { return FEditColor; }
  TColor EditFontColor() const { return FEditFontColor; }
  void SetLineColor(TColor value);
  void SetFixedLineColor(TColor value);
  void SetGridLines(TdgGridLines value);
  void SetFocusBorder(TdgFocusBorder value);
  void SetFocusColor(TColor value);
  void SetFocusFontColor(TColor value);
  void SetSelectionColor(TColor value);
  void SetSelectionFontColor(TColor value);
  void SetSelectionType(TdgSelectionType value);
  void SetAlwaysShowFocus(bool value);
  void SetEditColor(TColor value);
  void SetEditFontColor(TColor value);

  // The cells' own look where no column, row or cell sets one; the column or
  // row on top (DrawOverlap) decides between the two.
  TdgDrawOverlap DrawOverlap() const { return FDrawOverlap; }
  bool Is3D() const { return FIs3D; }
  TdgWordWrap WordWrap() const { return FWordWrap; }
  TdgVertAlignment VertAlignment() const { return FVertAlignment; }
  TdgHorzAlignment HorzAlignment() const { return FHorzAlignment; }
  void SetDrawOverlap(TdgDrawOverlap value);
  void SetIs3D(bool value) { SetIs3DLook(value); }
  void SetIs3DLook(bool value);
  void SetWordWrap(TdgWordWrap value) { SetWordWrapLook(value); }
  void SetWordWrapLook(TdgWordWrap value);
  void SetVertAlignment(TdgVertAlignment value);
  void SetHorzAlignment(TdgHorzAlignment value);

  // The heading and the row bar.
  TColor HeadingColor() const { return FHeadingColor; }
  bool Heading3D() const { return FHeading3D; }
  TdgHorzAlignment HeadingHorzAlignment() const { return FHeadingHorzAlignment; }
  TdgVertAlignment HeadingVertAlignment() const { return FHeadingVertAlignment; }
  TdgWordWrap HeadingWordWrap() const { return FHeadingWordWrap; }
  TdgHeadingButton HeadingButton() const { return FHeadingButton; }
  bool RowBarIndicator() const { return FRowBarIndicator; }
  TdgVertAlignment RowBarAlignment() const { return FRowBarAlignment; }
  void SetHeadingColor(TColor value);
  void SetHeading3D(bool value);
  void SetHeadingHorzAlignment(TdgHorzAlignment value);
  void SetHeadingVertAlignment(TdgVertAlignment value);
  void SetHeadingWordWrap(TdgWordWrap value);
  void SetHeadingButton(TdgHeadingButton value);
  void SetRowBarIndicator(bool value);
  void SetRowBarAlignment(TdgVertAlignment value);

  // Cell buttons.
  bool FlatButtons() const { return FFlatButtons; }
  TdgInactiveButtonState InactiveButtonState() const { return FInactiveButtonState; }
  int ButtonEdgeWidth() const { return FButtonEdgeWidth; }
  int DefaultButtonWidth() const { return FDefaultButtonWidth; }
  int DefaultButtonHeight() const { return FDefaultButtonHeight; }
  int SpinButtonWidth() const { return FSpinButtonWidth; }
  int SpinButtonHeight() const { return FSpinButtonHeight; }
  bool ReadOnlyButton() const { return FReadOnlyButton; }
  TdgCheckBoxStyle CheckBoxStyle() const { return FCheckBoxStyle; }
  void SetFlatButtons(bool value);
  void SetInactiveButtonState(TdgInactiveButtonState value);
  void SetButtonEdgeWidth(int value);
  void SetDefaultButtonWidth(int value);
  void SetDefaultButtonHeight(int value);
  void SetSpinButtonWidth(int value);
  void SetSpinButtonHeight(int value);
  void SetReadOnlyButton(bool value);
  void SetCheckBoxStyle(TdgCheckBoxStyle value);

  // Fixed lines and scrolling.
  TdgScrollSpeed ScrollSpeed() const { return FScrollSpeed; }
  bool ThumbTracking() const { return FThumbTracking; }
  TScrollStyle AlwaysShowScrollBar() const { return FAlwaysShowScrollBar; }
  int FixedColCount() const { return FFixedColCount; }
  int FixedRowCount() const { return FFixedRowCount; }
  int FixedWidth() const { return FFixedWidth; }
  int FixedHeight() const { return FFixedHeight; }
  void SetScrollSpeed(TdgScrollSpeed value) { FScrollSpeed = value; }
  void SetThumbTracking(bool value);
  void SetAlwaysShowScrollBar(TScrollStyle value);
  void SetFixedColCount(int value);
  void SetFixedRowCount(int value);

  // Pictures.
  bool StretchPicture() const { return FStretchPicture; }
  bool ShrinkPicture() const { return FShrinkPicture; }
  bool CenterPicture() const { return FCenterPicture; }
  bool KeepAspectRatio() const { return FKeepAspectRatio; }
  TColor PictureTransparentColor() const { return FTransparentColor; }
  void SetStretchPicture(bool value);
  void SetShrinkPicture(bool value);
  void SetCenterPicture(bool value);
  void SetKeepAspectRatio(bool value);
  void SetPictureTransparentColor(TColor value);

protected:
  // The grid these settings belong to.
  TdgBaseGrid &Grid();
  // Sets the base grid's fixed rows (or columns) to base.
  void ApplyFixedCount(bool rows, int base);
  // The selection is drawn anew here and in an open drop-down's list, which
  // takes these settings from this grid.
  void SelectionLookChanged();
  const TdgBaseGrid &Grid() const;

  // Lines, focus and selection marks.
  TColor FLineColor = clSilver, FFixedLineColor = clBlack;
  TdgGridLines FGridLines = glBoth;
  int FHorzLineWidth = 1, FVertLineWidth = 1;
  TdgFocusBorder FFocusBorder = fbDot;
  TColor FFocusColor = clNone, FFocusFontColor = clNone;
  TColor FSelectionColor = clHighlight, FSelectionFontColor = clHighlightText;
  TdgSelectionType FSelectionType = sltDefault;
  bool FAlwaysShowFocus = false;
  TColor FEditColor = clNone, FEditFontColor = clNone;
  // The cells' own look.
  TdgDrawOverlap FDrawOverlap = doDrawColOnTop;
  bool FIs3D = false;
  TdgWordWrap FWordWrap = wwOff;
  TdgVertAlignment FVertAlignment = vtaDefault;
  TdgHorzAlignment FHorzAlignment = htaDefault;
  // The heading and the row bar.
  TColor FHeadingColor = clBtnFace;
  bool FHeading3D = true, FRowBarIndicator = true;
  TdgHorzAlignment FHeadingHorzAlignment = htaDefault;
  TdgVertAlignment FHeadingVertAlignment = vtaDefault, FRowBarAlignment = vtaDefault;
  TdgWordWrap FHeadingWordWrap = wwDefault;
  TdgHeadingButton FHeadingButton = hbNone;
  // Cell buttons.
  bool FFlatButtons = true, FReadOnlyButton = true;
  TdgInactiveButtonState FInactiveButtonState = ibsBackGround;
  int FButtonEdgeWidth = 2;
  int FDefaultButtonWidth = 11, FDefaultButtonHeight = 9;
  int FSpinButtonWidth = 11, FSpinButtonHeight = 9;
  TdgCheckBoxStyle FCheckBoxStyle = stCheck;
  // Fixed lines and scrolling.
  int FFixedColCount = 0, FFixedRowCount = 0;
  int FFixedWidth = 14, FFixedHeight = 15;
  bool FThumbTracking = false;
  TScrollStyle FAlwaysShowScrollBar = ssNone;
  TdgScrollSpeed FScrollSpeed = spVariable;
  // Pictures.
  bool FStretchPicture = true, FShrinkPicture = true, FCenterPicture = true;
  bool FKeepAspectRatio = false;
  TColor FTransparentColor = clNone;
};

} // namespace marrowen

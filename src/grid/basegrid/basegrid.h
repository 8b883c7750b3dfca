#pragma once

#include "grid/data/basegridtypes.h"
#include "grid/data/extentlist.h"
#include "grid/data/keys.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QTimer>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QPainter;

namespace marrowen {

class ComponentReader;
class ComponentWriter;

class TCustomGrid_dg;
class TInplaceEdit;

// Where the cells of one axis lie on screen, for the current top-left cell
// and client size.
struct TGridAxisDrawInfo {
  int EffectiveLineWidth = 0;
  int FixedBoundary = 0;
  int GridBoundary = 0;
  int GridExtent = 0;
  std::int32_t LastFullVisibleCell = 0;
  int FullVisBoundary = 0;
  std::int32_t FixedCellCount = 0;
  std::int32_t FirstGridCell = 0;
  std::int32_t GridCellCount = 0;
  const TCustomGrid_dg *Grid = nullptr;
  bool Rows = false;

  int Extent(std::int32_t index) const;
};

struct TGridDrawInfo {
  TGridAxisDrawInfo Horz;
  TGridAxisDrawInfo Vert;
};

// The scroll-bar record the grid keeps for each bar; the Qt bar shows it.
struct TScrollInfo {
  int Min = 0;
  int Max = 0;
  int Page = 0;
  int Pos = 0;
};

// Receives failures that happen inside an input or paint handler, which must
// not cross Qt's event delivery. The default writes them to standard error.
using GridExceptionReporter = std::function<void(const std::exception &)>;
void setGridExceptionReporter(GridExceptionReporter reporter);
void reportGridException(std::exception_ptr failure);
// Runs an event handler's work, reporting what it throws.
template <class F> void guarded(F &&handler) {
  try {
    handler();
  } catch (...) {
    reportGridException(std::current_exception());
  }
}

// The base grid: a rectangle of columns and rows, the leading FixedCols and
// FixedRows of which never scroll. It owns the geometry (sizes, top-left
// cell, what lies where on screen, scroll bars), the current cell and the
// selected range's moving end, mouse sizing and moving of columns and rows, and a plain
// in-place editor. The viewport is the client area; nothing is painted
// outside paintEvent, every other change invalidates.
class TCustomGrid_dg : public QAbstractScrollArea {
public:
  explicit TCustomGrid_dg(QWidget *parent = nullptr);
  ~TCustomGrid_dg() override;

  // Properties.
  std::int32_t ColCount() const { return FColCount; }
  void SetColCount(std::int32_t value);
  std::int32_t RowCount() const { return FRowCount; }
  void SetRowCount(std::int32_t value);
  // "ColWidths" and "RowHeights" of a component stream: written while
  // cell extents are saved and a list exists, read back through the setters.
  bool SaveCellExtents() const { return FSaveCellExtents; }
  void SetSaveCellExtents(bool value) { FSaveCellExtents = value; }
  void WriteCellExtents(ComponentWriter &writer) const;
  bool ReadCellExtents(std::string_view name, ComponentReader &reader);
  int ColWidths(std::int32_t index) const;
  void SetColWidths(std::int32_t index, int value);
  int RowHeights(std::int32_t index) const;
  void SetRowHeights(std::int32_t index, int value);
  bool TabStops(std::int32_t index) const;
  void SetTabStops(std::int32_t index, bool value);
  int DefaultColWidth() const { return FDefaultColWidth; }
  void SetDefaultColWidth(int value);
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultRowHeight(int value);
  std::int32_t FixedCols() const { return FFixedCols; }
  void SetFixedCols(std::int32_t value);
  std::int32_t FixedRows() const { return FFixedRows; }
  void SetFixedRows(std::int32_t value);
  TColor FixedColor() const { return FFixedColor; }
  void SetFixedColor(TColor value);
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  int GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int value);
  TGridOptions Options() const { return FOptions; }
  void SetOptions(TGridOptions value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle value);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle value);
  std::int32_t LeftCol() const { return FTopLeft.X; }
  void SetLeftCol(std::int32_t value);
  std::int32_t TopRow() const { return FTopLeft.Y; }
  void SetTopRow(std::int32_t value);
  std::int32_t Col() const { return FCurrent.X; }
  std::int32_t Row() const { return FCurrent.Y; }
  TGridCoord RangeEnd() const { return FRangeEnd; }
  TGridRect Selection() const;
  std::int32_t VisibleColCount() const;
  std::int32_t VisibleRowCount() const;
  bool EditorMode() const { return FEditorMode; }
  void SetEditorMode(bool value);
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool value) { FDefaultDrawing = value; }
  TGridState GridState() const { return FGridState; }
  bool VirtualView() const { return FVirtualView; }
  void SetVirtualView(bool value) { FVirtualView = value; }
  std::int32_t ColOffset() const { return FColOffset; }
  TInplaceEdit *InplaceEditor() const { return FInplaceEdit; }
  const TScrollInfo &ScrollInfo(int bar) const { return FScrollInfo[bar]; }
  bool MouseCaptured() const { return FMouseCapture; }
  // Another widget takes over the press before its release comes.
  void ReleaseMouseCapture() { FMouseCapture = false; }
  // True once the grid has been shown: before that nothing is painted,
  // scrolled or measured against a window.
  bool HandleAllocated() const { return FHandleAllocated; }
  bool UseRightToLeftAlignment() const;

  // Geometry.
  void Initialize();
  TRect BoxRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) const;
  TRect CellRect(std::int32_t col, std::int32_t row) const;
  TGridCoord MouseCoord(int x, int y) const;
  void CalcDrawInfo(TGridDrawInfo &info) const;
  void CalcDrawInfoXY(TGridDrawInfo &info, int width, int height) const;
  void CalcFixedInfo(TGridDrawInfo &info) const;
  TGridCoord CalcCoordFromPoint(int x, int y, const TGridDrawInfo &info) const;
  TGridCoord CalcMaxTopLeft(TGridCoord coord, const TGridDrawInfo &info) const;
  TRect GridRectToScreenRect(TGridRect rect, bool includeLine) const;
  int ClientWidth() const;
  int ClientHeight() const;

  // The current cell, the selected range's end and the visible part. A range
  // spans from the current cell, its fixed corner, to the end that moves.
  void FocusCell(std::int32_t col, std::int32_t row, bool moveRangeEnd);
  void MoveCurrent(std::int32_t col, std::int32_t row, bool moveRangeEnd, bool show);
  void MoveRangeEnd(TGridCoord newRangeEnd);
  void ClampInView(TGridCoord coord);
  void InvalidateCell(std::int32_t col, std::int32_t row);
  virtual void InvalidateGrid();
  void InvalidateRect(TGridRect rect);
  bool Sizing(int x, int y);

  // Counts, moves and scrolling.
  void ChangeSize(std::int32_t newColCount, std::int32_t newRowCount);
  void MoveColumn(std::int32_t fromIndex, std::int32_t toIndex);
  void MoveRow(std::int32_t fromIndex, std::int32_t toIndex);
  virtual void ModifyScrollBar(int scrollBar, int scrollCode, int pos, bool useRightToLeft);
  virtual void UpdateScrollPos();
  virtual void UpdateScrollRange();
  void ScrollData(int dx, int dy);

  // The in-place editor.
  void HideEditor();
  void ShowEditor();
  void ShowEditorChar(char ch);
  void UpdateEdit();
  void HideEdit();
  void UpdateText();
  bool IsActiveControl() const;

  // Input as the platform delivers it; Qt's events arrive here, and tests
  // call them directly.
  virtual void KeyDown(std::uint16_t &key, TShiftState shift);
  virtual void KeyUp(std::uint16_t &key, TShiftState shift);
  virtual void KeyPress(char &key);
  // A typed character: starts the editor with it when editing is allowed.
  virtual void WMChar(char ch);
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, QPoint mousePos);
  virtual void WMTimer();
  virtual void CancelMode();
  virtual void Click();
  virtual void DblClick();
  // Fires OnKeyDown only, as the in-place editor asks.
  void DoKeyDownEvent(std::uint16_t &key, TShiftState shift);
  void DoKeyPressEvent(char &key);
  void DoKeyUpEvent(std::uint16_t &key, TShiftState shift);

  // Notifications and questions the derived grid answers.
  virtual void AdjustSize(std::int32_t index, std::int32_t amount, bool rows);
  virtual bool CanEditAcceptKey(char key);
  virtual bool CanGridAcceptKey(std::uint16_t key, TShiftState shift);
  virtual bool CanEditModify();
  virtual std::string GetEditText(std::int32_t col, std::int32_t row);
  virtual void SetEditText(std::int32_t col, std::int32_t row, const std::string &value);
  virtual std::string GetEditMask(std::int32_t col, std::int32_t row);
  virtual int GetEditLimit();
  virtual void ColumnMoved(std::int32_t fromIndex, std::int32_t toIndex);
  virtual void RowMoved(std::int32_t fromIndex, std::int32_t toIndex);
  virtual void SizeChanged(std::int32_t oldColCount, std::int32_t oldRowCount);
  virtual void TopLeftChanged();
  virtual void TimedScroll(unsigned directions);
  virtual void ColWidthsChanged();
  virtual void RowHeightsChanged();
  // One width (rows: height) was set through ColWidths or RowHeights, just
  // before the all-sizes notification.
  virtual void ExtentStored(bool, std::int32_t) {}
  virtual bool BeginColumnDrag(std::int32_t &origin, std::int32_t &destination, QPoint mousePt);
  virtual bool BeginRowDrag(std::int32_t &origin, std::int32_t &destination, QPoint mousePt);
  virtual bool CheckColumnDrag(std::int32_t &origin, std::int32_t &destination, QPoint mousePt);
  virtual bool CheckRowDrag(std::int32_t &origin, std::int32_t &destination, QPoint mousePt);
  virtual bool EndColumnDrag(std::int32_t &origin, std::int32_t &destination, QPoint mousePt);
  virtual bool EndRowDrag(std::int32_t &origin, std::int32_t &destination, QPoint mousePt);

  virtual void MoveTopLeft(std::int32_t aLeft, std::int32_t aTop);
  virtual void ScrollDataInfo(int dx, int dy, const TGridDrawInfo &info);
  // Moves the pixels of an area of the window; every scroll of the cells
  // goes through it.
  void ScrollPixels(int dx, int dy, const QRect &area);
  // After pixels moved: what children drew over them moved along.
  virtual void PixelsScrolled(int, int, const QRect &) {}
  virtual void TopLeftMoved(TGridCoord oldTopLeft);
  virtual void CalcSizingState(int x, int y, TGridState &state, std::int32_t &index, int &sizingPos,
                               int &sizingOfs, const TGridDrawInfo &fixedInfo);
  virtual TInplaceEdit *CreateEditor();
  virtual bool CanEditShow();
  virtual void DrawCell(std::int32_t col, std::int32_t row, const TRect &rect,
                        TGridDrawState state) = 0;
  virtual bool SelectCell(std::int32_t col, std::int32_t row);
  // After the current cell moved to another cell.
  virtual void CurrentCellMoved() {}
  // At the end of every MoveCurrent, whether the cell moved or not.
  virtual void MoveCurrentEnded() {}
  // True while MoveCurrent scrolls the new current cell into view: the cell
  // has changed and CurrentCellMoved has not run yet.
  bool ScrollingToCurrent() const { return FScrollingToCurrent > 0; }
  virtual void DeleteColumn(std::int32_t index);
  virtual void DeleteRow(std::int32_t index);
  virtual void Paint();

  // The painter of the paint under way; null outside a paint.
  QPainter *Canvas() const { return FCanvas; }
  // Points the painter of the paint under way elsewhere (an off-screen surface).
  void SetCanvas(QPainter *canvas) { FCanvas = canvas; }
  // Where the mouse is, in client coordinates; the timer asks it.
  virtual QPoint CursorClientPos() const;

  // The class library's control events.
  std::function<void(TCustomGrid_dg *, std::uint16_t &, TShiftState)> OnKeyDown;
  std::function<void(TCustomGrid_dg *, std::uint16_t &, TShiftState)> OnKeyUp;
  std::function<void(TCustomGrid_dg *, char &)> OnKeyPress;
  std::function<void(TCustomGrid_dg *, TMouseButton, TShiftState, int, int)> OnMouseDown;
  std::function<void(TCustomGrid_dg *, TShiftState, int, int)> OnMouseMove;
  std::function<void(TCustomGrid_dg *, TMouseButton, TShiftState, int, int)> OnMouseUp;
  std::function<void(TCustomGrid_dg *)> OnClick;
  std::function<void(TCustomGrid_dg *)> OnDblClick;

protected:
  // Scroll-bar record access; the Qt bar follows.
  void SetScrollRange(int bar, int min, int max);
  void SetScrollPos(int bar, int pos);
  void SetScrollPage(int bar, int page);
  void ApplyScrollBar(int bar);
  // Shows or hides the bars for their records.
  virtual void ApplyScrollBarPolicies();
  void UpdateDesigner() {}
  void StartTimer();
  void StopTimer();
  void DrawSizingLine(const TGridDrawInfo &info);
  void DrawMoveLine();
  void MoveAndScroll(int mouse, std::int32_t cellHit, TGridDrawInfo &info, TGridAxisDrawInfo &axis,
                     int scrollBar, QPoint mousePt);
  void SelectionMoved(const TGridRect &oldSel);
  virtual void InvalidateScreenRect(const TRect &rect);

  // Qt's side.
  bool event(QEvent *e) override;
  void paintEvent(QPaintEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void showEvent(QShowEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void keyReleaseEvent(QKeyEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void wheelEvent(QWheelEvent *e) override;
  // Focus came in from outside the grid and its editor, or went out of both.
  virtual void FocusEntered() {}
  virtual void FocusLeft() {}
  void focusInEvent(QFocusEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  void scrollContentsBy(int dx, int dy) override;
  bool focusNextPrevChild(bool next) override;
  // Which keys the grid takes before a dialog or shortcut can.
  virtual bool WantsKey(const QKeyEvent &e) const;
  virtual void UpdateCursor(int x, int y);
  void ScrollBarAction(int bar, int action);
  void ScrollBarReleased(int bar);

  // Fields, as the derived grid reaches them.
  // The corner of the selected range that moves; FCurrent is the fixed one.
  TGridCoord FRangeEnd{};
  TBorderStyle FBorderStyle = bsSingle;
  bool FCanEditModify = true;
  std::int32_t FColCount = 5;
  ExtentList FColWidths;
  ExtentList FTabStops;
  TGridCoord FCurrent{};
  int FDefaultColWidth = 64;
  int FDefaultRowHeight = 24;
  std::int32_t FFixedCols = 1;
  std::int32_t FFixedRows = 1;
  TColor FFixedColor = clBtnFace;
  TColor FColor = clWindow;
  int FGridLineWidth = 1;
  TGridOptions FOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  std::int32_t FRowCount = 5;
  ExtentList FRowHeights;
  TScrollStyle FScrollBars = ssBoth;
  TScrollStyle FScrollBarsHeld = ssNone; // the setting while UpdateScrollRange works
  TGridCoord FTopLeft{};
  std::int32_t FSizingIndex = 0;
  int FSizingPos = 0;
  int FSizingOfs = 0;
  std::int32_t FMoveIndex = 0;
  std::int32_t FMovePos = 0;
  QPoint FHitTest;
  TInplaceEdit *FInplaceEdit = nullptr;
  std::int32_t FInplaceCol = -1;
  std::int32_t FInplaceRow = -1;
  int FColOffset = 0;
  bool FDefaultDrawing = true;
  bool FEditorMode = false;
  TGridState FGridState = gsNormal;
  bool FSaveCellExtents = true;
  TGridOptions FDesignOptions{goRowSizing, goColSizing};
  bool FVirtualView = false;

private:
  friend class TInplaceEdit;
  int LinePos(const TGridAxisDrawInfo &axis, std::int32_t line) const;
  bool CalcAxis(const TGridAxisDrawInfo &axis, std::int32_t gridRectMin, std::int32_t gridRectMax,
                int &screenRectMin, int &screenRectMax) const;
  void UpdateScrollRangeOf(int bar, const TGridDrawInfo &info);
  int ScrollBarExtent(int bar) const;
  void SetFixedCount(std::int32_t &fixed, std::int32_t value, std::int32_t count,
                     const char *tooBig);

  TScrollInfo FScrollInfo[2];
  bool FScrollBarVisible[2] = {false, false};
  bool FHandleAllocated = false;
  bool FMouseCapture = false;
  bool FSizingLineShown = false;
  bool FMoveLineShown = false;
  QPoint FSizingLineFrom, FSizingLineTo;
  TRect FMoveLineRect;
  bool FFocusFromEditor = false;
  int FScrollingToCurrent = 0;
  bool FCanvasMirrored = false;
  QPainter *FCanvas = nullptr;
  QTimer FTimer;
};

} // namespace marrowen

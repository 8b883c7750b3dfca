// The data grid's mouse as a button goes down: what lies under it (borders,
// buttons, headings) and the cursor each place shows, what a press does in
// each area (cells, the row bar, headings, the corner, ranges), the cell
// buttons held and released and the steps their spins make.

#include "grid/data/gridutils.h"
#include "grid/data/links.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>

#include <algorithm>

namespace marrowen {

namespace {

bool leftAlone(TShiftState s) { return !s.has(ssShift) && !s.has(ssCtrl) && !s.has(ssAlt); }

// The class library's stock cursor numbers as the window system's shapes.
Qt::CursorShape cursorShapeOf(int cursor) {
  switch (cursor) {
  case -3:
    return Qt::CrossCursor;
  case -4:
    return Qt::IBeamCursor;
  case -11:
    return Qt::WaitCursor;
  case -12:
  case -16:
    return Qt::DragMoveCursor;
  case -13:
  case -18:
    return Qt::ForbiddenCursor;
  case -21:
    return Qt::PointingHandCursor;
  case -22:
    return Qt::SizeAllCursor;
  default:
    return Qt::ArrowCursor;
  }
}

} // namespace

// ------------------------------------------------------------ hit tests

TdgMouseStatus TdgBaseGrid::BorderAt(int x, int y, int &index, int &linePos) const {
  if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight())
    return msNothing;
  const int col = ColumnAt(x);
  const int row = RowAt(y);
  if (FResizeRows != rrNone && (col == 0 || FResizeRowsInGrid)) {
    const int first = HeadingOn() ? 0 : TopRow();
    for (int r = first; r < RowCount(); r = r == 0 ? TopRow() : r + 1) {
      const int top = RowTop(r);
      if (top < 0 || top >= ClientHeight())
        break;
      const int last = top + RowHeights(r) - 1;
      if (y >= last - 2 && y <= last + 2 && !(r > 0 && row == 0)) {
        index = r;
        linePos = last;
        return r == 0 ? msHeadingSizing : msRowSizing;
      }
      if (r == 0 && TopRow() <= 0)
        break;
    }
  }
  if (FResizeCols != rcNone && (row == 0 || FResizeColsInGrid)) {
    for (int c = 0; c < ColCount(); c = c == 0 ? std::max(LeftCol(), 1) : c + 1) {
      const int left = ColumnLeft(c);
      if (left < 0) {
        if (c > 0)
          break;
        continue;
      }
      if (left >= ClientWidth())
        break;
      const int last = left + ColWidths(c) - 1;
      if (x >= last - 2 && x <= last + 1 && !(c > 0 && col == 0)) {
        index = c;
        linePos = last;
        return c == 0 ? msRowBarSizing : msColSizing;
      }
    }
  }
  return msNothing;
}

bool TdgBaseGrid::SelectableByMouse(int col, int row) const {
  if (FSelectFixed)
    return true;
  return !(row >= 1 && row <= FFixedRowCount) && !(col >= 1 && col <= FFixedColCount);
}

int TdgBaseGrid::FirstSelectableLine(bool rows) const {
  int first = FSelectFixed ? 1 : (rows ? FFixedRowCount : FFixedColCount) + 1;
  // A hidden line takes no selection: the first shown one after it does.
  const int last = (rows ? RowCount() : ColCount()) - 1;
  while (first < last && (rows ? RowHeights(first) : ColWidths(first)) <= 0)
    ++first;
  return first;
}

TGridRect TdgBaseGrid::CellRange() const {
  if (FGridStatus != gsCellRange)
    return {};
  return Selection();
}

bool TdgBaseGrid::SelectionClearOfFixed(bool rows) const {
  const TdgSelection &selection = rows ? FRowSelection : FColSelection;
  return selection.Count == 0 ||
         selection.First > std::max(0, (rows ? FixedRows() : FixedCols()) - 1);
}

bool TdgBaseGrid::DraggableSelected(int col, int row) const {
  if (col < 0 || row < 0 || (col == 0 && row == 0) || !IsCellSelected(col, row))
    return false;
  if (row == 0)
    return !(FColSelectMode == csMulti && FColMoving && SelectionClearOfFixed(false));
  if (col == 0)
    return !(FRowMoving && SelectionClearOfFixed(true));
  return true;
}

TdgBaseGrid::TdgCursorKind TdgBaseGrid::GetCursor(int x, int y) {
  switch (MouseStatus()) {
  case msRowSizing:
  case msHeadingSizing:
    return crVSplit;
  case msColSizing:
  case msRowBarSizing:
    return crHSplit;
  case msRowMoving:
  case msColMoving:
    return crDrag;
  case msButtonHeld:
    return crNone;
  default:
    break;
  }
  if (x >= ClientWidth() || y >= ClientHeight())
    return crGrid;
  int index = 0, line = 0;
  const TdgMouseStatus border = BorderAt(x, y, index, line);
  if (border == msRowSizing || border == msHeadingSizing)
    return crVSplit;
  if (border == msColSizing || border == msRowBarSizing)
    return crHSplit;
  const int col = ColumnAt(x);
  const int row = RowAt(y);
  if (col < 0 || row < 0)
    return crGrid;
  if (FSelectedAreaCursor != 0 && DraggableSelected(col, row))
    return crSelectedArea;
  const bool insertRow = FGridMode == gmEditInsert && FInsertRowFlag && row == RowCount() - 1;
  if (col == 0 && row >= 1) {
    const bool movable = RowSelected(DataRowAt(row)) && FGridStatus == gsRowsSelected &&
                         FRowMoving && SelectionClearOfFixed(true);
    return (FRowSelectMode != rsNone && !movable && SelectableByMouse(col, row) && !insertRow)
               ? crRowSelect
               : crGrid;
  }
  if (row == 0 && col >= 1) {
    const bool movable =
        FColSelection.IsSelected(col) && FColMoving && SelectionClearOfFixed(false);
    return (FColSelectMode == csMulti && !movable && SelectableByMouse(col, row) &&
            !MouseOnHeading(x, y, col) && !HeadingActsAsButton(col))
               ? crColSelect
               : crGrid;
  }
  if (col == 0 || row == 0)
    return crGrid;
  const int left = ColumnLeft(col);
  if (x - left <= 2 && FCellSelectMode == cmRange &&
      (FGridMode == gmEdit || FGridMode == gmEditInsert || FGridMode == gmBrowse))
    return SelectableByMouse(col, row) && !insertRow ? crCellSelect : crGrid;
  const int dataCol = DataColAt(col), dataRow = DataRowAt(row);
  if ((FGridMode == gmEdit || FGridMode == gmEditInsert) && CellEditable(dataCol, dataRow)) {
    if (ListOnlyCell(dataCol, dataRow))
      return crGrid;
    switch (CellControlType(dataCol, dataRow)) {
    case ctText:
      return FAlwaysShowEditor && !PointOnCellButton(x, y, row, col) ? crIBeam : crGrid;
    case ctCheck:
      return crGrid;
    default:
      return crNone;
    }
  }
  return crGrid;
}

void TdgBaseGrid::UpdateCursor(int x, int y) {
  // A cursor the application shows over everything (a wait cursor) wins.
  if (QApplication::overrideCursor())
    return;
  switch (GetCursor(x, y)) {
  case crHSplit:
    viewport()->setCursor(Qt::SplitHCursor);
    break;
  case crVSplit:
    viewport()->setCursor(Qt::SplitVCursor);
    break;
  case crIBeam:
    viewport()->setCursor(Qt::IBeamCursor);
    break;
  case crRowSelect:
  case crColSelect:
    viewport()->setCursor(Qt::PointingHandCursor);
    break;
  case crCellSelect:
    viewport()->setCursor(Qt::CrossCursor);
    break;
  case crDrag:
    viewport()->setCursor(Qt::DragMoveCursor);
    break;
  case crSelectedArea:
    viewport()->setCursor(cursorShapeOf(FSelectedAreaCursor));
    break;
  default:
    viewport()->unsetCursor();
    break;
  }
}

// -------------------------------------------------------------- the press

void TdgBaseGrid::mousePressEvent(QMouseEvent *e) {
  FPressTime = static_cast<qint64>(e->timestamp());
  TCustomGrid_dg::mousePressEvent(e);
}

void TdgBaseGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  FDblClickPress = false;
  FShowEditorAfterPress = false;
  FPressNotedByControl = false;
  FPressToControl = false;
  FPressLetGo = false;
  FLastMouse = QPoint(x, y);
  const auto byUser = UserScrolling();
  if (button == mbMiddle) {
    if (OnMouseDown)
      OnMouseDown(this, button, shift, x, y);
    return;
  }
  HoldHeading(-1);
  // A grid that never takes the focus (a drop-down's list) is not held
  // back for lacking it.
  const bool focusable = focusPolicy() != Qt::NoFocus;
  if (focusable && !HasFocusNow())
    setFocus(Qt::MouseFocusReason);
  if (focusable && !HasFocusNow() && FCheckMouseFocus && isActiveWindow()) {
    if (OnMouseDown)
      OnMouseDown(this, button, shift, x, y);
    return;
  }
  const bool autoScrolled = StopAutoScrollTimer();
  const int col = x < 0 || x >= ClientWidth() ? -1 : ColumnAt(x);
  const int row = y < 0 || y >= ClientHeight() ? -1 : RowAt(y);
  if (button == mbRight) {
    if (col >= 0 && row >= 0 && !(col == Col() && row == Row()) && !IsCellSelected(col, row)) {
      if (row == 0 && col >= 1)
        DataCellPress(button, shift, col, Row(), x, y);
      else if (col == 0 && row >= 1)
        DataCellPress(button, shift, Col(), row, x, y);
      else if (col >= 1 && row >= 1)
        DataCellPress(button, shift, col, row, x, y);
    }
    if (OnMouseDown)
      OnMouseDown(this, button, shift, x, y);
    return;
  }
  int index = 0, line = 0;
  const TdgMouseStatus border = BorderAt(x, y, index, line);
  FDownCell = QPoint(col, row);
  const bool onButton = col >= 1 && row >= 1 && PointOnClickButton(x, y, row, col);
  const bool onHeadingButton = row == 0 && col >= 1 && MouseOnHeading(x, y, col);
  // A drop-down list's whole cell opens its list, but a double click on it
  // is the cell's: only a button that is drawn takes the second press.
  const bool onDrawnButton = onButton && PointOnCellButton(x, y, row, col);
  if (shift.has(ssDouble) && !onDrawnButton && (!onHeadingButton || border != msNothing)) {
    if (border != msNothing) {
      // A double click on a border sizes; it is no double click of a cell.
      StartSizing(border, index, line, x, y);
    } else if (FEditorShown && col == Col() && row == Row()) {
      FActiveControl->DblClick();
    } else {
      // Outside the cells too, as a click there is a click (position 4).
      DblClick();
      DoDblClickCell(col >= 1 ? DataColAt(col) : col, row >= 1 ? DataRowAt(row) : row,
                     ClickPositionOf(col, row));
      if (col >= 1 && row >= 1 && col == Col() && row == Row() && !FEditing)
        DataCellPress(button, shift, col, row, x, y);
    }
    FDblClickPress = true;
  } else {
    FDragging = false;
    LeaveCellButtons();
    if (border != msNothing) {
      StartSizing(border, index, line, x, y);
    } else if (col < 0 || row < 0) {
      // Outside the cells: nothing.
    } else if (!shift.has(ssShift) && !shift.has(ssCtrl) && DraggableSelected(col, row) &&
               (DoCanStartDrag(), FDragging)) {
      // The handler took the press for its drag of the selection.
      return;
    } else if (col >= 1 && row >= 1 && x - ColumnLeft(col) <= 2 && FCellSelectMode == cmRange &&
               (FGridMode == gmEdit || FGridMode == gmEditInsert || FGridMode == gmBrowse)) {
      RangePress(shift, col, row);
    } else if (col == 0 && row >= 1) {
      RowBarPress(shift, row);
    } else if (row == 0 && col >= 1) {
      if (onHeadingButton && leftAlone(shift))
        HoldHeading(DataColAt(col));
      else if (MouseStatus() != msHeadingButtonHeld)
        HeadingPress(shift, col, x, y);
    } else if (col >= 1 && row >= 1) {
      if (onButton)
        CellButtonPress(shift, col, row, x, y);
      else
        DataCellPress(button, shift, col, row, x, y);
    } else {
      SelectAllRows(true);
    }
    ReportGridStatus();
    if (FHeldHeading >= 0 && MouseStatus() != msHeadingButtonHeld) {
      SetMouseStatus(msHeadingButtonHeld);
      FHeadingPressedLook = true;
      InvalidateCell(col, 0);
      try {
        DoHeadingDown(FHeldHeading);
      } catch (...) {
        HeadingLetGo(col);
        throw;
      }
      HeadingLetGo(col);
    }
  }
  // A press a handler let go of ends there; what watched the mouse before
  // it watches again.
  if (FPressLetGo && autoScrolled)
    StartAutoScrollTimer();
  if (FShowEditorAfterPress && FEditorShown && FActiveControl) {
    // The press that opened the editor is its first press too.
    // Judged as the control's own, so that a second press on the control
    // makes a double click of the two.
    const QPoint p = FActiveControl->Control().mapFrom(viewport(), FPressPoint);
    FActiveControl->Control().ForgetLastClick();
    FActiveControl->Control().LeftPress(shift, p.x(), p.y(), FPressTime);
    FPressToControl = true;
  } else {
    if (FPressNotedByControl && FEditorShown && FActiveControl)
      FActiveControl->Control().NoteClick(
          FActiveControl->Control().mapFrom(viewport(), FPressPoint), FPressTime);
    if (OnMouseDown)
      OnMouseDown(this, button, shift, x, y);
  }
}

// The handler of a held heading may have let go of the mouse: the heading is
// no longer held down, and its release is not the grid's.
void TdgBaseGrid::HeadingLetGo(int col) {
  if (MouseCaptured())
    return;
  FPressLetGo = true;
  FHeadingPressedLook = false;
  InvalidateCell(col, 0);
}

void TdgBaseGrid::DataCellPress(TMouseButton button, TShiftState shift, int col, int row, int x,
                                int y) {
  if (col < 1 || row < 1 || col >= ColCount() || row >= RowCount())
    return;
  if (FGridMode == gmListBox) {
    if (FRowSelectMode == rsNone) {
      if (SelectableByMouse(0, row))
        MoveToCell(Col(), row);
    } else if (button == mbLeft) {
      RowBarPress(shift, row);
    } else if (MoveToCell(Col(), row) || Row() == row) {
      ClearRowSelection();
      SelectRows(row, row);
      FireSelectChanged(true);
    }
    return;
  }
  const int pressedCol = col;
  if (!CellEditable(DataColAt(col), DataRowAt(row))) {
    if (!SelectableByMouse(0, row))
      return;
    // A read-only column is passed over as the keys pass over it: the
    // current column stays.
    const TdgCol *column = ColObject(DataColAt(col));
    if (MovesSkipReadOnly() && column && column->ReadOnly())
      col = Col();
  }
  const int dataCol = DataColAt(col), dataRow = DataRowAt(row);
  const bool selection = FGridStatus != gsNothing;
  const bool sameCell = col == Col() && row == Row();
  const bool clickToEdit = sameCell && !selection && !FEditing && button == mbLeft;
  if (selection) {
    ClearRange();
    ClearRowSelection();
    ClearColSelection();
    ReportGridStatus();
    FireSelectChanged(true);
  }
  if (!sameCell && !MoveToCell(col, row))
    return;
  if (sameCell)
    EnterInsertRow(); // a press on it enters it as a move there would
  const bool editorMay = FGridStatus == gsNothing &&
                         (FGridMode == gmEdit || FGridMode == gmEditInsert) &&
                         CellEditable(dataCol, dataRow);
  if (clickToEdit && editorMay) {
    if (DoShowEditor(dataCol, dataRow))
      return;
    if (CellControlType(dataCol, dataRow) == ctCheck)
      StartEdit();
    FEditing = false;
    StartEditing(2);
  } else if (sameCell) {
    PlaceEditor();
  }
  // The press places the caret only in the cell it was made in; a cell taken
  // instead of a skipped read-only one shows its text selected whole.
  if (button == mbLeft && FEditorShown && col == pressedCol) {
    FPressPoint = QPoint(x, y);
    // Over a cell that may not be edited the press places no caret, but
    // the control now under the mouse takes the second press of a double
    // click.
    if (editorMay)
      FShowEditorAfterPress = true;
    else
      FPressNotedByControl = true;
  }
}

void TdgBaseGrid::RowBarPress(TShiftState shift, int row) {
  if (row < 1 || row >= RowCount())
    return;
  const bool insertRow = FGridMode == gmEditInsert && FInsertRowFlag && row == RowCount() - 1;
  if (!SelectableByMouse(0, row))
    return;
  const bool selected = RowSelected(DataRowAt(row));
  if (FRowMoving && !insertRow && SelectionClearOfFixed(true) &&
      ((leftAlone(shift) && selected) || FRowSelectMode == rsNone)) {
    HideCellEditor();
    SetMouseStatus(msRowMoving);
    FMoveOrigin = FMoveTarget = row;
    FMarkerShown = false;
    UpdateOverlay();
    return;
  }
  if (FRowSelectMode == rsNone)
    return;
  if (!CanLeaveCell(GetCurrentDataCol(), DataRowAt(row), true))
    return;
  HideCellEditor();
  if (!insertRow)
    SetMouseStatus(msRowSelecting);
  ClearRange();
  ClearColSelection();
  // Shift reaches from the current row.
  const int from = Row() >= 1 && Row() < RowCount() ? Row() : row;
  const int last = std::min(Rows(), RowCount() - 1);
  auto only = [&](int from, int to) {
    ClearRowSelection();
    if (!insertRow)
      SelectRows(std::min(from, to), std::min(std::max(from, to), last));
  };
  auto toggle = [&] {
    if (insertRow)
      return;
    if (selected)
      DeselectRows(row, row);
    else
      SelectRows(row, row);
  };
  const bool ctrl = shift.has(ssCtrl), sh = shift.has(ssShift);
  if (FGridStatus != gsRowsSelected || FRowSelectMode == rsSingle) {
    if (ctrl && !(FGridMode == gmListBox && FRowSelectMode == rsSingle))
      toggle();
    else
      only(row, row);
  } else if (sh && ctrl) {
    SelectRows(std::min(from, row), std::min(std::max(from, row), last));
  } else if (sh) {
    only(from, row);
  } else if (ctrl) {
    toggle();
  } else {
    only(row, row);
  }
  FRowAnchor = FDragRow = row;
  if (FGridStatus == gsRowsSelected && FRowSelection.Count == 0)
    ChangeGridStatus(gsNothing);
  // The current cell follows the pressed row, keeping its column.
  if (row != Row() && !insertRow)
    MoveCurrent(Col(), row, true, true);
  FireSelectChanged(true);
  ReportGridStatus();
  PlaceEditor();
}

void TdgBaseGrid::HeadingPress(TShiftState shift, int col, int x, int y) {
  if (!SelectableByMouse(col, 0))
    return;
  const bool selected = FColSelection.IsSelected(col);
  if (FColMoving && SelectionClearOfFixed(false) &&
      ((leftAlone(shift) && selected) || FColSelectMode == csNone)) {
    HideCellEditor();
    SetMouseStatus(msColMoving);
    FMoveOrigin = FMoveTarget = col;
    FMarkerShown = false;
    UpdateOverlay();
    return;
  }
  if (FColSelectMode != csMulti) {
    DataCellPress(mbLeft, shift, col, Row(), x, y);
    return;
  }
  if (!CanLeaveCell(DataColAt(col), GetCurrentDataRow(), true))
    return;
  HideCellEditor();
  SetMouseStatus(msColSelecting);
  ClearRange();
  ClearRowSelection();
  // Shift reaches from the current column.
  const int from = Col();
  const bool ctrl = shift.has(ssCtrl), sh = shift.has(ssShift);
  if (FColSelection.Count == 0 || (!sh && !ctrl)) {
    SelectOnlyCols(col, col);
  } else if (sh && ctrl) {
    SelectCols(from, col);
  } else if (sh) {
    SelectOnlyCols(from, col);
  } else if (selected) {
    DeselectCols(col, col);
  } else {
    SelectCols(col, col);
  }
  FColAnchor = FDragCol = col;
  if (FGridStatus == gsColsSelected && FColSelection.Count == 0)
    ChangeGridStatus(gsNothing);
  if (col != Col())
    MoveCurrent(col, Row(), true, true);
  FireSelectChanged(true);
  ReportGridStatus();
}

void TdgBaseGrid::ClearRange() {
  if (FGridStatus != gsCellRange)
    return;
  const TGridRect old = Selection();
  FRangeEnd = FCurrent;
  ChangeGridStatus(gsNothing);
  InvalidateRect(old);
}

void TdgBaseGrid::SetCellRange(const TGridRect &range) {
  if (FGridStatus != gsCellRange)
    return;
  if (range.Right < range.Left || range.Bottom < range.Top) {
    ClearRange();
    return;
  }
  // The current cell anchors the range; its far corner reaches the other
  // bounds.
  const TGridRect old = Selection();
  const auto far = [](int anchor, int low, int high) {
    return std::abs(anchor - low) <= std::abs(anchor - high) ? high : low;
  };
  FRangeEnd = TGridCoord{far(Col(), range.Left, range.Right), far(Row(), range.Top, range.Bottom)};
  InvalidateRect(old);
  InvalidateRect(Selection());
}

void TdgBaseGrid::RangeLineHidden(bool rows, int display) {
  if (FGridStatus != gsCellRange)
    return;
  TGridRect range = Selection();
  int &low = rows ? range.Top : range.Left;
  int &high = rows ? range.Bottom : range.Right;
  const auto hidden = [&](int p) { return (rows ? RowHeights(p) : ColWidths(p)) <= 0; };
  if (display == low)
    while (low <= high && hidden(low))
      ++low;
  if (display == high)
    while (high >= low && hidden(high))
      --high;
  SetCellRange(range);
}

TGridRect TdgBaseGrid::RangeWithout(TGridRect range, const std::vector<int> &gone, bool rows) {
  int &low = rows ? range.Top : range.Left;
  int &high = rows ? range.Bottom : range.Right;
  int before = 0, upTo = 0;
  for (const int p : gone) {
    before += p < low ? 1 : 0;
    upTo += p <= high ? 1 : 0;
  }
  low -= before;
  high -= upTo;
  return range;
}

void TdgBaseGrid::RangePress(TShiftState shift, int col, int row) {
  const bool insertRow = FGridMode == gmEditInsert && FInsertRowFlag && row == RowCount() - 1;
  if (!SelectableByMouse(col, row) || insertRow)
    return;
  if (!CanLeaveCell(DataColAt(col), DataRowAt(row), true))
    return;
  SetMouseStatus(msRangeSelecting);
  if (FGridStatus == gsCellRange && shift.has(ssShift)) {
    ExtendRange(col, row);
    return;
  }
  // A range of just this cell stays as it is; a drag from here grows it.
  if (FGridStatus == gsCellRange && Selection() == TGridRect{col, row, col, row})
    return;
  ClearRowSelection();
  ClearColSelection();
  ClearRange();
  HideCellEditor();
  if (col != Col() || row != Row())
    MoveCurrent(col, row, true, true);
  FRangeEnd = FCurrent;
  ChangeGridStatus(gsCellRange);
  FSelectChanged[stCells] = true;
  PlaceEditor();
  InvalidateCell(col, row);
  FireSelectChanged(true);
}

void TdgBaseGrid::ExtendRange(int col, int row) {
  const int lastCol = ColCount() - 1;
  const int lastRow = FGridMode == gmEditInsert && FInsertRowFlag ? RowCount() - 2 : RowCount() - 1;
  col = std::clamp(col, std::min(FirstSelectableLine(false), lastCol), std::max(1, lastCol));
  row = std::clamp(row, std::min(FirstSelectableLine(true), lastRow), std::max(1, lastRow));
  if (FRangeEnd.X == col && FRangeEnd.Y == row)
    return;
  const TGridRect old = Selection();
  FRangeEnd = TGridCoord{col, row};
  InvalidateRect(old);
  InvalidateRect(Selection());
  FSelectChanged[stCells] = true;
}

void TdgBaseGrid::SelectAllRows(bool byMouse) {
  if (FRowSelectMode != rsMulti || Rows() < 1)
    return;
  if (!CanLeaveCell(GetCurrentDataCol(), 0, true))
    return;
  HideCellEditor();
  if (byMouse)
    SetMouseStatus(msSelectAll);
  ClearRange();
  ClearColSelection();
  // Hidden rows are never selected: every row shown selected counts as all.
  int shown = Rows();
  if (byMouse && FRowSelection.Count < shown && (FVisibleRows.Active() || FVisibleRowsDeferred)) {
    shown = 0;
    for (int r = 1; r <= Rows(); ++r)
      shown += RowHeights(r) > 0 ? 1 : 0;
  }
  if (byMouse && FRowSelection.Count >= shown) {
    ClearRowSelection();
    if (FGridStatus == gsRowsSelected)
      ChangeGridStatus(gsNothing);
  } else {
    SelectRows(1, Rows());
  }
  FireSelectChanged(byMouse);
  ReportGridStatus();
  PlaceEditor();
}

// ---------------------------------------------------------- cell buttons

int TdgBaseGrid::SpinPartAt(int col, int row, int x, int y) {
  const TdgButtonType type = EffectiveButtonType(DataColAt(col), DataRowAt(row));
  if (type != btVertSpin && type != btHorzSpin)
    return 0;
  TdgCustomButton *button = GetCellButton(col, type);
  const TRect cell = GetPaintCellRect(col, row);
  if (!button)
    return 0;
  const TRect b = CellButtonRect(cell, *button);
  if (type == btVertSpin)
    return y < b.Top + b.Height() / 2 ? 1 : 2;
  return x < b.Left + b.Width() / 2 ? 1 : 2;
}

void TdgBaseGrid::CellButtonPress(TShiftState shift, int col, int row, int x, int y) {
  if (FGridMode == gmListBox) {
    RowBarPress(shift, row);
    return;
  }
  if (IsCellSelected(col, row)) {
    InvalidateCell(col, row);
    return;
  }
  if ((col != Col() || row != Row()) && !MoveToCell(col, row))
    return;
  FShowEditorAfterPress = false;
  FRepeatCount = 0;
  SetMouseStatus(msButtonHeld);
  const int dataCol = DataColAt(col), dataRow = DataRowAt(row);
  const TdgButtonType type = EffectiveButtonType(dataCol, dataRow);
  FHeldPart = SpinPartAt(col, row, x, y);
  FHeldLook = true;
  PressCellButton(col, row, FHeldPart);
  try {
    switch (type) {
    case btCombo:
      ToggleComboDropDown(dataCol, dataRow);
      break;
    case btDateTimeDropDown:
      ToggleDateTimeDropDown(dataCol, dataRow);
      break;
    case btDateTimePopup:
      DoButtonDown(dataCol, dataRow);
      break;
    case btNormal:
      CloseDropDowns();
      DoButtonDown(dataCol, dataRow);
      break;
    case btVertSpin:
    case btHorzSpin: {
      CloseDropDowns();
      const TdgSpinButton spin = type == btHorzSpin ? (FHeldPart == 1 ? sbLeft : sbRight)
                                                    : (FHeldPart == 1 ? sbUp : sbDown);
      DoSpinButtonDown(dataCol, dataRow, spin);
      ++FRepeatCount;
      DoSpinRepeat(dataCol, dataRow, FRepeatCount, spin);
      SpinCurrentCell(dataCol, dataRow, spin);
      if (CellSpinOptions(dataCol, dataRow) & (1 << spoAutoRepeat))
        StartSpinTimer();
      break;
    }
    default:
      break;
    }
  } catch (...) {
    LeaveCellButtons();
    throw;
  }
  // A handler that let go of the mouse ends the press: the button looks
  // released and its release is not the grid's.
  if (!MouseCaptured() && !ComboOpen() && !DateTimeOpen()) {
    FPressLetGo = true;
    LeaveCellButtons();
    SetMouseStatus(msNothing);
  }
}

void TdgBaseGrid::ButtonRelease(int col, int row, int x, int y) {
  const int pressedCol = PressedCol();
  if (pressedCol < 0)
    return;
  const int heldRow = Row();
  const int dataCol = DataColAt(pressedCol), dataRow = DataRowAt(heldRow);
  const TdgButtonType type = EffectiveButtonType(dataCol, dataRow);
  const bool onButton =
      col == pressedCol && row == heldRow && PointOnClickButton(x, y, row, col) &&
      (type != btVertSpin && type != btHorzSpin ? true : SpinPartAt(col, row, x, y) == FHeldPart);
  const bool dropDown = type == btCombo || type == btDateTimeDropDown || type == btDateTimePopup;
  const bool spin = type == btVertSpin || type == btHorzSpin;
  const TdgSpinButton spinButton =
      type == btHorzSpin ? (FHeldPart == 1 ? sbLeft : sbRight) : (FHeldPart == 1 ? sbUp : sbDown);
  LeaveCellButtons();
  if (onButton || dropDown) {
    if (spin)
      DoSpinButtonClick(dataCol, dataRow, spinButton);
    else
      DoButtonClick(dataCol, dataRow);
    if (type == btDateTimePopup)
      ToggleDateTimeDropDown(dataCol, dataRow);
  }
  if (spin)
    DoSpinButtonUp(GetCurrentDataCol(), GetCurrentDataRow(), spinButton);
  else
    DoButtonUp(GetCurrentDataCol(), GetCurrentDataRow());
}

void TdgBaseGrid::HandHeldButtonToList() {
  if (MouseStatus() != msButtonHeld)
    return;
  const int col = FPressedCol, row = FPressedRow;
  LeaveCellButtons();
  // The button stays hot under the list's press, no longer pushed in.
  FHoverCol = col;
  FHoverRow = row;
  InvalidateCell(col, row);
  FHeldPart = 0;
  FHeldLook = false;
  ReleaseMouseCapture();
  SetMouseStatus(msNothing);
}

// ------------------------------------------------------------- spin steps

void TdgBaseGrid::SpinCurrentCell(int dataCol, int dataRow, TdgSpinButton button) {
  const TdgButtonType type = EffectiveButtonType(dataCol, dataRow);
  if (type != btVertSpin && type != btHorzSpin)
    return;
  const TdgControlType control = CellControlType(dataCol, dataRow);
  if (control != ctText && control != ctPicture)
    return;
  if (!FEditorShown) {
    FEditing = false;
    // A picture cell shows no editor of its own: being editable is enough.
    if (!StartEditing(1) && (control == ctText || !CellEditable(dataCol, dataRow)))
      return;
  }
  if (control == ctPicture) {
    SpinPictureCell(dataCol, dataRow, button);
    return;
  }
  TdgGridEditBox &editor = FEditControl->Editor();
  double step = CellSpinIncrement(dataCol, dataRow);
  if (button == sbDown || button == sbLeft)
    step = -step;
  std::string text = editor.Text();
  if (text.empty())
    text.assign(1, '0');
  std::size_t start = 0, length = 0;
  std::string number;
  const std::size_t caret =
      std::min<std::size_t>(static_cast<std::size_t>(editor.CaretPos()), text.size());
  if (!IncrementNumberText(text, caret, start, length, number, step))
    return;
  // The text keeps what lies around the number, as far as the cell's mask
  // allows: then only what lies before it, then the number alone.
  std::string result = text.substr(0, start) + number + text.substr(start + length);
  if (TdgMaskDefinition *mask = MaskDefinitionFor(dataCol, dataRow)) {
    const auto fits = [mask](const std::string &candidate) {
      std::string append;
      return mask->CheckWhole(candidate, append);
    };
    if (!fits(result)) {
      result = text.substr(0, start) + number;
      if (!fits(result)) {
        result = number;
        start = 0;
        if (!fits(result))
          return;
      }
    }
  }
  if (result.empty() || result == editor.Text())
    return;
  Variant value(result);
  int pos = static_cast<int>(start) + 1;
  int len = static_cast<int>(number.size());
  if (!DoSpinIncrement(dataCol, dataRow, button, value, pos, len))
    return;
  if (value.toString() == editor.Text())
    return;
  FEditControl->SetValueNotify(Variant(value.toString()), true);
  FEditControl->SetSelStart(std::max(0, pos - 1 + len));
}

void TdgBaseGrid::SpinPictureCell(int dataCol, int dataRow, TdgSpinButton button) {
  TdgImageListComponent *list = ImageList();
  const Variant current = FCellEditing ? PendingValue() : GetCell(dataCol, dataRow);
  if (!list || current.isEmpty() || current.isNull())
    return;
  const std::string name =
      current.type() == varPicture ? list->PictureName(current.pictureValue()) : current.toString();
  const std::string next = button == sbDown || button == sbLeft ? list->PriorPictureName(name)
                                                                : list->NextPictureName(name);
  if (next.empty() || next == name)
    return;
  Variant value(next);
  int pos = 1;
  int len = static_cast<int>(next.size());
  if (!DoSpinIncrement(dataCol, dataRow, button, value, pos, len))
    return;
  if (value.isEmpty() || value.toString() == name)
    return;
  EditorValueChanged(value);
}

} // namespace marrowen

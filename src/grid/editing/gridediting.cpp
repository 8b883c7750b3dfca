// The data grid's editing flow: cell and row edits begin, end or are undone
// through their handshake events; the insert row of gmEditInsert becomes a
// data row when entered and goes again when left unchanged; every move of the
// current cell reports the column, row and cell that changed.

#include "grid/data/gridutils.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>

#include <algorithm>
#include <utility>

namespace marrowen {

namespace {

// Sets a flag for as long as it lives.
class FlagGuard {
public:
  explicit FlagGuard(bool &flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }

private:
  bool &flag_;
};

} // namespace

void TdgBaseGrid::SetPending(const Variant &value) {
  if (Col() < 0 || Row() < 0)
    return;
  DropPending();
  FCurrentCell.ResetOptions();
  FPendingCol = DataColAt(Col());
  FPendingRow = DataRowAt(Row());
  FPendingValue = value;
}

void TdgBaseGrid::DropPending() {
  FPendingCol = -1;
  FPendingRow = -1;
  FPendingValue = Variant();
}

int TdgCurrentCell::DisplayCol() const {
  return Grid.Col() >= 1 && Grid.Col() < Grid.ColCount() ? Grid.Col() : -1;
}

int TdgCurrentCell::DisplayRow() const {
  return Grid.Row() >= 1 && Grid.Row() < Grid.RowCount() ? Grid.Row() : -1;
}

TdgControlType TdgCurrentCell::ControlType() const {
  if (DisplayCol() < 0 || DisplayRow() < 0)
    return ctNone;
  return Grid.CellControlType(Grid.GetCurrentDataCol(), Grid.GetCurrentDataRow());
}

Variant TdgCurrentCell::GetValue() const {
  if (DisplayCol() < 0 || DisplayRow() < 0)
    return Variant();
  // A value held for another cell (the one being left while the grid
  // scrolls to this one) is none of this cell's.
  if (ValueFor(DisplayCol(), DisplayRow()))
    return Grid.PendingValue();
  return Grid.GetCell(Grid.GetCurrentDataCol(), Grid.GetCurrentDataRow());
}

bool TdgCurrentCell::SetValue(const Variant &value, bool startRowEdit, bool repaint) {
  if (DisplayCol() < 0 || DisplayRow() < 0 || !Grid.CheckCellValue(ControlType(), value))
    return false;
  if (!Grid.ChangeCurrentValue(value, startRowEdit))
    return false;
  if (repaint)
    Refresh();
  return true;
}

void TdgCurrentCell::MoveToCol(int dataCol) { Grid.MoveToCol(dataCol); }

void TdgCurrentCell::Refresh() {
  if (DisplayCol() >= 0 && DisplayRow() >= 0)
    Grid.InvalidateCell(DisplayCol(), DisplayRow());
}

bool TdgCurrentCell::HasValue() const { return Grid.HasValue(); }

bool TdgCurrentCell::ValueFor(int displayCol, int displayRow) const {
  return Grid.ValueFor(displayCol, displayRow);
}

void TdgCurrentCell::SetPending(const Variant &value) { Grid.SetPending(value); }

void TdgCurrentCell::ResetOptions() {
  OptionStretch = OptionShrink = OptionCenter = true;
  OptionKeepAspect = false;
  OptionColor = clNone;
}

bool TdgCurrentCell::PictureOption(int sub) const {
  const bool own[] = {OptionStretch, OptionShrink, OptionCenter, OptionKeepAspect};
  if (DisplayCol() < 0 || DisplayRow() < 0)
    return own[sub - 1];
  const int option = Grid.PictureOption(Grid.GetCurrentDataCol(), Grid.GetCurrentDataRow(), sub);
  return option == dopDefault ? own[sub - 1] : option == dopOn;
}

void TdgCurrentCell::DropPending() { Grid.DropPending(); }

bool TdgBaseGrid::EditingAllowed() const {
  return (FGridMode == gmEdit || FGridMode == gmEditInsert) && FGridStatus == gsNothing &&
         Cols() >= 1 && (Rows() >= 1 || FInsertRowFlag);
}

bool TdgBaseGrid::RowChangedMark(int dataRow) const {
  return dataRow >= 1 && dataRow < static_cast<int>(FRowChangedMarks.size()) &&
         FRowChangedMarks[static_cast<std::size_t>(dataRow)];
}

void TdgBaseGrid::SetRowChangedMark(int dataRow, bool value) {
  if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, Rows()))
    return;
  const bool forget = !value && FRowChangedMarkOn && dataRow == GetCurrentDataRow();
  if (RowChangedMark(dataRow) == value && !forget)
    return;
  FRowChangedMarks[static_cast<std::size_t>(dataRow)] = value;
  if (forget)
    FRowChangedMarkOn = false;
  InvalidateCell(0, GetDisplayRowOf(dataRow));
}

bool TdgBaseGrid::RowCountsAsChanged(int displayRow) const {
  switch (FRowChangedIndicator) {
  case riOn:
    return RowChangedMark(DataRowAt(displayRow));
  case riOff:
    return false;
  default:
    // Only the edit in progress marks its row.
    return displayRow == Row() && FRowEditing && FRowChangedMarkOn;
  }
}

void TdgBaseGrid::ResetEditState() {
  FEditStartGranted = false;
  FCellEditing = false;
  FRowEditing = false;
  FCellEditEnded = false;
  FRowChangedMarkOn = false;
  FAppended = false;
}

void TdgBaseGrid::DropRowEdit() {
  if (FStorage)
    FStorage->ClearSavedRow();
  ResetEditState();
  DropPending();
  InvalidateCell(0, Row());
}

void TdgBaseGrid::StoredValuesReplaced() {
  if (FCellEditing || FRowEditing)
    DropRowEdit();
  DropPending();
  ShowCurrentValueInEditor();
}

bool TdgBaseGrid::StartCellEdit() {
  if (FCellEditing)
    return true;
  return !DoStartCellEdit(GetCurrentDataCol(), GetCurrentDataRow());
}

bool TdgBaseGrid::StartRowEdit() {
  if (FRowEditing)
    return true;
  const bool cancel = DoStartRowEdit(GetCurrentDataRow());
  if (!cancel && FStorage)
    FStorage->SaveRow(GetCurrentDataRow());
  return !cancel;
}

bool TdgBaseGrid::StartEdit() {
  if (!EditingAllowed() || !StartCellEdit() || !StartRowEdit())
    return false;
  CellEditStarted();
  InvalidateCell(0, Row());
  return true;
}

// The value the cell held before its edit is kept for undoing the cell alone:
// the storage holds every change at once, and only a row undo restores it.
void TdgBaseGrid::CellEditStarted() {
  FCellEditing = true;
  FRowEditing = true;
  FRowChangedMarkOn = true;
  FCellOldValue =
      FStorage ? FStorage->GetValue(GetCurrentDataCol(), GetCurrentDataRow()) : Variant();
}

bool TdgBaseGrid::EndEdit() {
  // A check box still held down is toggled before its cell's edit ends.
  if (FActiveControl == FCheckControl.get())
    FCheckControl->CheckBox().Complete();
  if (!FCellEditing)
    return true;
  if (!CheckMaskOnEnd())
    return false;
  if (DoEndCellEdit(GetCurrentDataCol(), GetCurrentDataRow()))
    return false;
  FCellEditing = false;
  FCellEditEnded = true;
  return true;
}

bool TdgBaseGrid::EndRowEdit() {
  if (!FRowEditing)
    return true;
  const int dataRow = GetCurrentDataRow();
  if (DoEndRowEdit(dataRow))
    return false;
  if (FStorage)
    FStorage->ClearSavedRow();
  if (FRowChangedIndicator == riOn && FRowChangedMarkOn && dataRow >= 1 &&
      dataRow < static_cast<int>(FRowChangedMarks.size()))
    FRowChangedMarks[static_cast<std::size_t>(dataRow)] = true;
  ResetEditState();
  InvalidateCell(0, Row());
  return true;
}

bool TdgBaseGrid::EndCellAndRowEdit(bool) { return EndEdit() && EndRowEdit(); }

bool TdgBaseGrid::CanLeaveCell(int newDataCol, int newDataRow, bool byUser) {
  if (FLeaving)
    return true;
  FlagGuard leaving(FLeaving);
  if (!FCellEditing && !FRowEditing)
    return true;
  if (newDataRow != GetCurrentDataRow())
    return EndCellAndRowEdit(byUser);
  if (newDataCol != GetCurrentDataCol())
    return EndEdit();
  return true;
}

bool TdgBaseGrid::UndoEdit(bool byUser, bool wholeRow) {
  FlagGuard undoing(FUndoing);
  const int dataCol = GetCurrentDataCol();
  const int dataRow = GetCurrentDataRow();
  const bool rowUndo = FRowEditing && (wholeRow || !FCellEditing || FCellEditEnded);
  const bool cellActive = FCellEditing;
  if (cellActive && DoUndoCellEdit(dataCol, dataRow, byUser))
    return false;
  if (rowUndo) {
    if (DoUndoRowEdit(dataRow, byUser))
      return false;
    if (FStorage)
      FStorage->RestoreRow(dataRow);
  }
  if ((cellActive && !(byUser && wholeRow)) || (rowUndo && !cellActive))
    DropPending();
  if (rowUndo) {
    RowEditUndone(dataRow);
  } else {
    FCellEditing = false;
    if (cellActive && FStorage)
      SetCell(dataCol, dataRow, FCellOldValue);
    InvalidateCell(Col(), Row());
  }
  return true;
}

void TdgBaseGrid::RowEditUndone(int dataRow) {
  const bool appended = FAppended;
  ResetEditState();
  // A typed new row undone is an entered, unchanged row again: the insert
  // row shown for the next one goes. Only the last data row is taken away
  // when it is left; one that a row inserted meanwhile renumbered keeps
  // the insert row below it, or the grid would have none.
  if (FGridMode == gmEditInsert && appended && FInsertRowFlag && Row() == RowCount() - 2 &&
      dataRow == Rows() && !RowChangedMark(dataRow)) {
    FInsertRowFlag = 0;
    SetRowCount(RowCount() - 1);
  }
  InvalidateRect(TGridRect{0, Row(), ColCount() - 1, Row()});
  ShowCurrentValueInEditor();
}

// What the window wrote into the row when it was entered is no change of
// the user's: with the only typed cell taken back, the row keeps nothing.
bool TdgBaseGrid::UndoUnchangedNewRow() {
  if (FGridMode != gmEditInsert || !FAppended || !FRowEditing || FCellEditing || FCellEditEnded)
    return false;
  const int dataRow = GetCurrentDataRow();
  if (DoUndoRowEdit(dataRow, false))
    return false;
  if (FStorage)
    FStorage->RestoreRow(dataRow);
  RowEditUndone(dataRow);
  return true;
}

Variant TdgBaseGrid::EmptyValueOf(TdgControlType type) {
  switch (type) {
  case ctText:
    return Variant(std::string());
  case ctCheck:
    return Variant(std::int32_t(2));
  case ctPicture:
    return Variant(std::int32_t(0));
  default:
    return Variant();
  }
}

void TdgBaseGrid::LoadControl(TdgCustomGridControl &control, const Variant &value) {
  control.SetValue(value.isEmpty() ? EmptyValueOf(CurrentCell().ControlType()) : value);
}

void TdgBaseGrid::ShowCurrentValueInEditor() {
  if (FActiveControl && EditorHoldsCurrentCell())
    LoadControl(*FActiveControl, CurrentCell().GetValue());
}

void TdgBaseGrid::EditorValueChanged(const Variant &value) { ChangeCurrentValue(value, true); }

// Typing, a value picked from a list or typed into one, and a chosen date all
// change the current cell through here: the first change starts the cell and
// row edits, and the first change of an entered insert row shows the next.
bool TdgBaseGrid::ChangeCurrentValue(const Variant &value, bool startRowEdit) {
  if (!EditingAllowed())
    return false;
  // An editor shown on an insert row that the current cell never moved onto
  // (an empty grid's only row) enters it at the first change.
  EnterInsertRow();
  // A read-only cell keeps its value, whichever list, picker or spin offers one.
  if (!CellEditable(GetCurrentDataCol(), GetCurrentDataRow()))
    return false;
  if (!FCellEditing) {
    // The control asks before it changes: its answer holds for this change.
    const bool granted = std::exchange(FEditStartGranted, false);
    if (!granted && (!StartCellEdit() || (startRowEdit && !StartRowEdit())))
      return false;
    CellEditStarted();
  }
  if (FGridMode == gmEditInsert && !FInsertRowFlag && !FAppended && Row() == RowCount() - 1) {
    FAppended = true;
    FInsertRowFlag = 1;
    SetRowCount(RowCount() + 1);
  }
  SetPending(value);
  const int dataCol = GetCurrentDataCol();
  const int dataRow = GetCurrentDataRow();
  if (FStorage)
    SetCell(dataCol, dataRow, value);
  // A value that did not come from the editor is shown there too.
  if (FActiveControl && EditorHoldsCurrentCell() &&
      !VarSameValue(FActiveControl->GetValue(), value))
    FActiveControl->SetValue(value);
  InvalidateCell(0, Row());
  DoCellEdit(dataCol, dataRow, true);
  return true;
}

void TdgBaseGrid::EnterInsertRow() {
  const int last = RowCount() - 1;
  // A grid being read takes the rows it is given: the current cell that
  // lands on the insert row meanwhile adds none.
  if (FGridMode != gmEditInsert || !FInsertRowFlag || Row() != last || last < 1 ||
      FApplyingRowCount || IsLoadingLayout())
    return;
  FInsertRowFlag = 0;
  FPreviousInsertRowFlag = 0;
  ++FDataRows;
  // Its cells are drawn as the data row's now: buttons, 3D edges, values.
  // Before the events, which may draw values into the row.
  InvalidateDisplayRow(last);
  DoRowCountChanged(Rows() - 1, Rows());
  RowInserted(Rows(), true);
}

void TdgBaseGrid::MoveToCol(int dataCol) {
  if (FGridMode != gmEditInsert || FLeaving)
    return;
  if (FInsertRowFlag && Row() == RowCount() - 1)
    return;
  if (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()))
    return;
  if (!CanLeaveCell(dataCol, GetCurrentDataRow(), false))
    return;
  MoveCurrent(DisplayColOf(dataCol), Row(), true, true);
  PlaceEditor();
}

bool TdgBaseGrid::SelectCell(std::int32_t col, std::int32_t row) {
  return CanLeaveCell(DataColAt(col), DataRowAt(row), true);
}

// While a count is applied the base grid may push the current cell about
// with the maps half made; whoever changes the count settles it after.
void TdgBaseGrid::CurrentCellMoved() {
  if (FApplyingCount == 0)
    FollowCurrentCell(true);
}

// A hidden line cannot hold the current cell, where typing would go nowhere:
// the nearest shown one takes it, and that move is followed.
bool TdgBaseGrid::LeaveHiddenLines() {
  if (const int row = Row(); row >= 1 && row < RowCount() && RowHeights(row) == 0) {
    PlaceCurrentRow(row);
    if (Row() != row)
      return true;
  }
  if (const int col = Col(); col >= 1 && col < ColCount() && ColWidths(col) == 0) {
    PlaceCurrentCol(col);
    if (Col() != col)
      return true;
  }
  return false;
}

void TdgBaseGrid::FollowCurrentCell(bool moved) {
  if (LeaveHiddenLines())
    return;
  // An open list or picker belongs to its cell: moved off it (by code, or as
  // lines went), it closes and gives its value to no other cell.
  if ((FComboCol != -1 && (FComboCol != GetCurrentDataCol() || FComboRow != GetCurrentDataRow())) ||
      (FDateTimeCol != -1 &&
       (FDateTimeCol != GetCurrentDataCol() || FDateTimeRow != GetCurrentDataRow())))
    CloseDropDowns();
  FollowIndicator();
  if (HasValue() && !ValueFor(Col(), Row()))
    DropPending();
  if (CurrentIdentity() != FCurrentIdentity)
    NewCellEditState();
  if (moved && FGridMode == gmEditInsert && !FCountShrinking) {
    const int last = RowCount() - 1;
    if (FInsertRowFlag && Row() == last && last >= 1) {
      EnterInsertRow();
    } else if (!FInsertRowFlag && !FAppended && Row() != last &&
               FLastReportedRow == DataRowAt(last) && FLastReportedRow == Rows()) {
      // Left without a change: the row goes and the insert row is back.
      const int gone = Rows();
      std::vector<int> newRow(static_cast<std::size_t>(RowCount()));
      for (int d = 0; d < RowCount(); ++d)
        newRow[static_cast<std::size_t>(d)] = d == gone ? -1 : d;
      RenumberCellElements({}, newRow);
      if (FStorage)
        FStorage->RemoveRows(gone, gone);
      FRowStore->FreeRow(gone);
      // The insert row comes back at the default height: the row's own,
      // hidden or sized, would put it out of reach.
      if (RowHeights(last) != DefaultRowHeight()) {
        // All the taller row covered is painted again, not only the new row.
        InvalidateRect(TGridRect{0, last, ColCount() - 1, last});
        FRowHeights[last] = DefaultRowHeight();
        if (FVisibleRows.Active())
          RebuildVisibleList(true);
        UpdateScrollRange();
      }
      // What the row was given on entering goes with it: the insert row
      // painted there, and the row entered next, start blank.
      std::erase_if(FDrawnValues, [gone](const auto &drawn) { return drawn.first.second == gone; });
      FInsertRowFlag = 1;
      FPreviousInsertRowFlag = 1;
      --FDataRows;
      DoRowCountChanged(Rows() + 1, Rows());
      RowDeleted(Rows() + 1, true);
      InvalidateRect(TGridRect{0, last, ColCount() - 1, last});
      // The insert row back may be the one line left to be seen.
      if (LeaveHiddenLines())
        return;
    }
  }
  const int dataCol = GetCurrentDataCol();
  const int dataRow = GetCurrentDataRow();
  const int oldCol = FLastReportedCol;
  const int oldRow = FLastReportedRow;
  bool changed = false;
  if (dataCol != oldCol) {
    FLastReportedCol = dataCol;
    if (FGridMode != gmListBox)
      DoColChanged(oldCol, dataCol);
    changed = true;
  }
  if (dataRow != oldRow) {
    FLastReportedRow = dataRow;
    DoRowChanged(oldRow, dataRow);
    changed = true;
  }
  if (changed) {
    ClearTypeAhead();
    DoCellChanged(oldCol, dataCol, oldRow, dataRow);
  }
  if (KeepListBoxRowSelected()) {
    FireSelectChanged(false);
    ReportGridStatus();
  }
  PlaceEditor();
}

// The row bar's mark of the current row goes with it, however it moved:
// rows moved about it move it without a move of the current cell.
void TdgBaseGrid::FollowIndicator() {
  if (FIndicatorRow == Row())
    return;
  if (FIndicatorRow < RowCount())
    InvalidateCell(0, FIndicatorRow);
  InvalidateCell(0, Row());
  FIndicatorRow = Row();
}

void TdgBaseGrid::RowMoved(std::int32_t, std::int32_t) { FollowIndicator(); }

// A new cell starts out of edit state, its control shown as the grid says.
void TdgBaseGrid::NewCellEditState() {
  FCurrentIdentity = CurrentIdentity();
  FEditStartGranted = false;
  FEscapeUndidCell = false;
  FEditing = FAlwaysShowEditor;
  FEditingMode = 0;
}

void TdgBaseGrid::MoveCurrentEnded() {
  if (std::exchange(FPlaceAfterMove, false))
    PlaceEditor();
}

TdgBaseGrid::CellIdentity TdgBaseGrid::CurrentIdentity() const {
  CellIdentity id;
  const int dataCol = GetCurrentDataCol();
  if (const TdgCol *col = ColObject(dataCol); col && dataCol >= 1)
    id.col = col->Id;
  const int dataRow = DataRowAt(Row());
  if (Row() >= 1 && dataRow >= 0 && dataRow < FRowStore->Count())
    id.row = FRowStore->GetRowId(dataRow);
  return id;
}

bool TdgBaseGrid::DoMouseWheel(TShiftState shift, int wheelDelta, QPoint mousePos) {
  if (TCustomGrid_dg::DoMouseWheel(shift, wheelDelta, mousePos))
    return true;
  if (shift.has(ssShift) || wheelDelta == 0)
    return false;
  const int lines = std::max(1, std::min(WheelScrollLines(), std::max(1, VisibleRowCount())));
  for (int i = 0; i < lines; ++i)
    ModifyScrollBar(SB_VERT, wheelDelta < 0 ? SB_LINEDOWN : SB_LINEUP, 0, true);
  return true;
}

int TdgBaseGrid::WheelScrollLines() const { return QApplication::wheelScrollLines(); }

// Each handshake starts from "go ahead", so a grid without handlers agrees.
bool TdgCustomGrid::DoStartCellEdit(int dataCol, int dataRow) {
  bool cancel = false;
  if (OnStartCellEdit)
    OnStartCellEdit(this, dataCol, dataRow, cancel);
  return cancel;
}

bool TdgCustomGrid::DoStartRowEdit(int dataRow) {
  bool cancel = false;
  if (OnStartRowEdit)
    OnStartRowEdit(this, dataRow, cancel);
  return cancel;
}

bool TdgCustomGrid::DoEndCellEdit(int dataCol, int dataRow) {
  bool cancel = false;
  if (OnEndCellEdit)
    OnEndCellEdit(this, dataCol, dataRow, cancel);
  return cancel;
}

bool TdgCustomGrid::DoEndRowEdit(int dataRow) {
  bool cancel = false;
  if (OnEndRowEdit)
    OnEndRowEdit(this, dataRow, cancel);
  return cancel;
}

bool TdgCustomGrid::DoUndoCellEdit(int dataCol, int dataRow, bool byUser) {
  bool cancel = false;
  if (OnUndoCellEdit)
    OnUndoCellEdit(this, dataCol, dataRow, byUser, cancel);
  return cancel;
}

bool TdgCustomGrid::DoUndoRowEdit(int dataRow, bool byUser) {
  bool cancel = false;
  if (OnUndoRowEdit)
    OnUndoRowEdit(this, dataRow, byUser, cancel);
  return cancel;
}

void TdgCustomGrid::DoCellEdit(int dataCol, int dataRow, bool byUser) {
  if (OnCellEdit)
    OnCellEdit(this, dataCol, dataRow, byUser);
}

void TdgCustomGrid::DoRowChanged(int oldRow, int newRow) {
  if (OnRowChanged && NotLoading())
    OnRowChanged(this, oldRow, newRow);
}

void TdgCustomGrid::DoCellChanged(int oldCol, int newCol, int oldRow, int newRow) {
  if (OnCellChanged && NotLoading())
    OnCellChanged(this, oldCol, newCol, oldRow, newRow);
}

} // namespace marrowen

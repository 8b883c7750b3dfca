#include "grid/data/qtbytes.h"
#include "grid/widget/dgbasegrid.h"

namespace marrowen {

// The selection is the text editor's while it stands over the current cell.
void TdgCurrentCell::SetSelStart(int value) {
  FSelStart = value;
  if (&Grid.ActiveControl() == &Grid.EditControl())
    Grid.EditControl().SetSelStart(value);
}

void TdgCurrentCell::SetSelLength(int value) {
  FSelLength = value;
  if (&Grid.ActiveControl() == &Grid.EditControl())
    Grid.EditControl().SetSelLength(value);
}

void TdgCurrentCell::Apply() {
  if (DisplayCol() < 0 || DisplayRow() < 0 || ControlType() != ctText ||
      ValueFor(DisplayCol(), DisplayRow()))
    return;
  Grid.PlaceEditor();
  TdgEditGridControl &editor = Grid.EditControl();
  const Variant value = Grid.GetCell(Grid.GetCurrentDataCol(), Grid.GetCurrentDataRow());
  // The text shown stays, with its selection, while it is the cell's.
  if (editor.GetValue().toString() != value.toString())
    editor.SetValue(value);
  FSelStart = editor.GetSelStart();
  FSelLength = editor.GetSelLength();
}

void TdgCurrentCell::SelectAll() {
  if (!Grid.HandleAllocated() || DisplayCol() < 0 || DisplayRow() < 0 || ControlType() != ctText)
    return;
  Apply();
  Grid.EditControl().SelectAll();
  FSelStart = 0;
  FSelLength = static_cast<int>(Grid.EditControl().GetValue().toString().size());
}

bool TdgCurrentCell::CopyToClipboard() {
  if (!Grid.HandleAllocated() || ControlType() != ctText)
    return false;
  Apply();
  Grid.EditControl().CopyToClipboard();
  return true;
}

bool TdgCurrentCell::CanChangeText() const {
  return Grid.HandleAllocated() && ControlType() == ctText &&
         Grid.CellEditable(Grid.GetCurrentDataCol(), Grid.GetCurrentDataRow()) &&
         !Grid.ListOnlyCell(Grid.GetCurrentDataCol(), Grid.GetCurrentDataRow());
}

bool TdgCurrentCell::ChangeText(void (TdgCustomGridControl::*change)(bool), bool byUser) {
  if (!CanChangeText())
    return false;
  Apply();
  (Grid.EditControl().*change)(byUser);
  Refresh();
  return true;
}

bool TdgCurrentCell::CutToClipboard(bool byUser) {
  return ChangeText(&TdgCustomGridControl::CutToClipboard, byUser);
}

bool TdgCurrentCell::PasteFromClipboard(bool byUser) {
  return ChangeText(&TdgCustomGridControl::PasteFromClipboard, byUser);
}

bool TdgCurrentCell::DeleteSelection(bool byUser) {
  return ChangeText(&TdgCustomGridControl::DeleteSelection, byUser);
}

bool TdgCurrentCell::CheckedCutToClipboard() {
  return Grid.EditingAllowed() && CutToClipboard(false);
}

bool TdgCurrentCell::CheckedPasteFromClipboard() {
  return Grid.EditingAllowed() && PasteFromClipboard(false);
}

std::string TdgBaseGrid::GetEditText(std::int32_t col, std::int32_t row) {
  if (HasValue() && ValueFor(col, row))
    return FPendingValue.toString();
  return GetCell(DataColAt(col), DataRowAt(row)).toString();
}

void TdgBaseGrid::SetEditText(std::int32_t col, std::int32_t row, const std::string &value) {
  if (col != Col() || row != Row())
    return;
  EditorValueChanged(Variant(value));
}

bool TdgCurrentCell::IsWholeTextSelected() const {
  if (ControlType() != ctText)
    return true;
  return FSelStart == 0 && FSelLength == static_cast<int>(GetValue().toString().size());
}

} // namespace marrowen

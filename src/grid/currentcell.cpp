#include "grid/dgbasegrid.h"
#include "grid/inplaceedit.h"
#include "grid/qtbytes.h"

namespace marrowen {

void TdgCurrentCell::SetSelStart(int value) {
  FSelStart = value;
  if (TInplaceEdit *editor = Grid.InplaceEditor())
    editor->setSelection(value, FSelLength);
}

void TdgCurrentCell::SetSelLength(int value) {
  FSelLength = value;
  if (TInplaceEdit *editor = Grid.InplaceEditor())
    editor->setSelection(FSelStart, value);
}

void TdgCurrentCell::Apply() {
  TInplaceEdit *editor = Grid.InplaceEditor();
  if (HasValue() || DisplayCol() < 0 || DisplayRow() < 0 || !editor)
    return;
  // Loading the shown text is no edit of the cell.
  const QSignalBlocker quiet(editor);
  const Variant value = Grid.GetCell(Grid.GetCurrentDataCol(), Grid.GetCurrentDataRow());
  // The text shown stays, with its selection, while it is the cell's.
  if (editor->Text() != value.toString())
    editor->SetText(value.toString());
  FSelStart = editor->hasSelectedText() ? editor->selectionStart() : editor->cursorPosition();
  FSelLength = static_cast<int>(editor->selectedText().size());
}

void TdgCurrentCell::SelectAll() {
  TInplaceEdit *editor = Grid.InplaceEditor();
  if (!Grid.HandleAllocated() || DisplayCol() < 0 || DisplayRow() < 0 || !editor)
    return;
  Apply();
  editor->selectAll();
  FSelStart = 0;
  FSelLength = static_cast<int>(editor->text().size());
}

bool TdgCurrentCell::CopyToClipboard() {
  TInplaceEdit *editor = Grid.InplaceEditor();
  if (!Grid.HandleAllocated() || ControlType() != ctText || !editor)
    return false;
  Apply();
  editor->copy();
  return true;
}

bool TdgCurrentCell::CanChangeText() const {
  return Grid.HandleAllocated() && ControlType() == ctText && Grid.InplaceEditor() &&
         Grid.CellEditable(Grid.GetCurrentDataCol(), Grid.GetCurrentDataRow());
}

bool TdgCurrentCell::CutToClipboard(bool) {
  if (!CanChangeText())
    return false;
  Apply();
  Grid.InplaceEditor()->cut();
  Refresh();
  return true;
}

bool TdgCurrentCell::PasteFromClipboard(bool) {
  if (!CanChangeText())
    return false;
  Apply();
  Grid.InplaceEditor()->paste();
  Refresh();
  return true;
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
  if (TInplaceEdit *editor = InplaceEditor())
    CurrentCell().TakeSelection(editor->hasSelectedText() ? editor->selectionStart()
                                                          : editor->cursorPosition(),
                                static_cast<int>(editor->selectedText().size()));
  EditorValueChanged(Variant(value));
}

bool TdgCurrentCell::IsWholeTextSelected() const {
  if (ControlType() != ctText)
    return true;
  return FSelStart == 0 && FSelLength == static_cast<int>(GetValue().toString().size());
}

} // namespace marrowen

#include "grid/data/keys.h"
#include "grid/widget/dgbasegrid.h"

#include <QKeyEvent>

namespace marrowen {

namespace {

bool passes(bool visible, bool readOnly, bool skipReadOnly) {
  return visible && !(readOnly && skipReadOnly);
}

// A line without its own object has nothing to stop the cursor.
template <class Line> bool usable(const Line *line, bool skipReadOnly) {
  return !line || passes(line->Visible(), line->ReadOnly(), skipReadOnly);
}

// The nearest display position after (step 1) or before (step -1) display,
// within 1..count, that stops the cursor; -1 when none does.
template <class Stops> int seek(int display, int count, int step, Stops stops) {
  for (int p = step > 0 ? std::max(display, 0) + 1 : std::min(display, count + 1) - 1;
       p >= 1 && p <= count; p += step)
    if (stops(p))
      return p;
  return -1;
}

// Row by row from the cell after (step 1) or before (step -1) the given one to
// the first that stops the cursor.
template <class Stops>
bool seekCell(int displayCol, int displayRow, int cols, int rows, int step, int &foundCol,
              int &foundRow, Stops stops) {
  const bool forward = step > 0;
  for (int r = forward ? std::max(displayRow, 1) : std::min(displayRow, rows);
       forward ? r <= rows : r >= 1; r += step)
    for (int c = r == displayRow ? displayCol + step
                 : forward       ? 1
                                 : cols;
         forward ? c <= cols : c >= 1; c += step)
      if (stops(c, r)) {
        foundCol = c;
        foundRow = r;
        return true;
      }
  return false;
}

} // namespace

// Read-only columns and rows pass in a list box: the current cell there
// marks a row, not something to edit.
int TdgBaseGrid::NextCol(int displayCol, bool skipReadOnly) const {
  skipReadOnly = skipReadOnly && FGridMode != gmListBox;
  return seek(displayCol, Cols(), 1,
              [&](int p) { return usable(FColStore->Item(DataColAt(p)), skipReadOnly); });
}

int TdgBaseGrid::PrevCol(int displayCol, bool skipReadOnly) const {
  skipReadOnly = skipReadOnly && FGridMode != gmListBox;
  return seek(displayCol, Cols(), -1,
              [&](int p) { return usable(FColStore->Item(DataColAt(p)), skipReadOnly); });
}

int TdgBaseGrid::NextRow(int displayRow, bool skipReadOnly) const {
  skipReadOnly = skipReadOnly && FGridMode != gmListBox;
  return seek(displayRow, Rows(), 1,
              [&](int p) { return usable(RowObject(DataRowAt(p)), skipReadOnly); });
}

int TdgBaseGrid::PrevRow(int displayRow, bool skipReadOnly) const {
  skipReadOnly = skipReadOnly && FGridMode != gmListBox;
  return seek(displayRow, Rows(), -1,
              [&](int p) { return usable(RowObject(DataRowAt(p)), skipReadOnly); });
}

int TdgBaseGrid::LastRow(bool skipReadOnly) const {
  const int found = PrevRow(Rows() + 1, skipReadOnly);
  if (found < 0 && FGridMode == gmEditInsert && FInsertRowFlag)
    return RowCount() - 1;
  return found;
}

bool TdgBaseGrid::CellEditable(int dataCol, int dataRow) {
  return CellEditableUpTo(dataCol, dataRow, Rows());
}

bool TdgBaseGrid::CellEditableUpTo(int dataCol, int dataRow, int lastRow) {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > lastRow)
    return false;
  const TdgCol *col = FColStore->Item(dataCol);
  const TdgRow *row = RowObject(dataRow);
  if ((col && !col->Visible()) || (row && !row->Visible()))
    return false;
  switch (GetCellProperty(dataCol, dataRow, pnReadOnly).toInteger()) {
  case roOn:
    return false;
  case roOff:
    return true;
  default:
    return !(col && col->ReadOnly()) && !(row && row->ReadOnly());
  }
}

bool TdgBaseGrid::NextCell(int displayCol, int displayRow, bool editable, int &dataCol,
                           int &foundRow) {
  int displayFound = 0;
  const bool found =
      seekCell(displayCol, displayRow, Cols(), Rows(), 1, displayFound, foundRow,
               [&](int c, int r) { return !editable || CellEditable(DataColAt(c), DataRowAt(r)); });
  if (found)
    dataCol = DataColAt(displayFound);
  return found;
}

bool TdgBaseGrid::PrevCell(int displayCol, int displayRow, bool editable, int &dataCol,
                           int &foundRow) {
  int displayFound = 0;
  const bool found =
      seekCell(displayCol, displayRow, Cols(), Rows(), -1, displayFound, foundRow,
               [&](int c, int r) { return !editable || CellEditable(DataColAt(c), DataRowAt(r)); });
  if (found)
    dataCol = DataColAt(displayFound);
  return found;
}

void TdgBaseGrid::MoveToRow(int displayRow, bool skipReadOnly) {
  int row = NextRow(displayRow - 1, skipReadOnly);
  if (row >= 1 && FGridMode == gmEditInsert && FInsertRowFlag && row == RowCount() - 1)
    row = PrevRow(Rows() + 1, skipReadOnly);
  if (row < 1)
    row = PrevRow(displayRow, skipReadOnly);
  row = std::min(row, Rows());
  if (row >= 1 && row != Row()) {
    MoveCurrent(Col(), row, true, true);
    InvalidateCell(0, row);
  }
  // The value typed goes, and the editor with it: the change report places
  // it again, loaded with what the cell holds.
  DropPending();
  HideCellEditor();
  FEditorCol = FEditorRow = -1;
  CurrentCellMoved();
}

// ------------------------------------------------------------------ Escape

bool TdgBaseGrid::EscapeKey() { return EscapeUndo(); }

bool TdgBaseGrid::EscapeUndo() {
  if (FCellEditing && !FEscapeUndidCell) {
    // Only the cell, even when an earlier cell of the row was edited.
    const bool ended = FCellEditEnded;
    FCellEditEnded = false;
    const bool undone = UndoEdit(false, false);
    FCellEditEnded = FRowEditing && ended;
    FEscapeUndidCell = undone;
    if (undone)
      UndoUnchangedNewRow();
    return undone;
  }
  if (!FRowEditing)
    return false;
  // A cell left with Tab or Return and an Escape in the next one: that
  // Escape is the next cell's, and the row typed so far stays.
  if (!FEscapeUndidCell) {
    FEscapeUndidCell = true;
    return true;
  }
  return UndoEdit(false, true);
}

// An editor opened on a grid that does not always show one closes with
// Escape, also before anything was typed into it.
bool TdgBaseGrid::EditorOpenedForEdit() const {
  return FEditing && FEditorShown && !FAlwaysShowEditor;
}

bool TdgBaseGrid::WantsKey(const QKeyEvent &e) const {
  if (e.key() == Qt::Key_Escape) {
    if (FMouseStatus != msNothing && FMouseStatus != msButtonHeld)
      return false;
    return FCellEditing || FRowEditing || !FTypeAhead.empty() || OnAppendRow() ||
           EditorOpenedForEdit();
  }
  // Tab walks the cells of a grid that edits, unless Ctrl is down.
  if (e.key() == Qt::Key_Tab || e.key() == Qt::Key_Backtab)
    return KeepsTab() && !(e.modifiers() & Qt::ControlModifier);
  return TCustomGrid_dg::WantsKey(e);
}

} // namespace marrowen

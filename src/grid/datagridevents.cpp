// The firing operations: each event fires through its virtual Do<Name>,
// only when a handler is assigned; count, move and selection events stay
// silent while loading. The event layer adds those that name a data row.
#include "grid/dgbasegrid.h"

#include "grid/combo.h"

#include "classlib/scopeexit.h"

namespace marrowen {

std::unique_ptr<TdgCombo> TdgBaseGrid::CreateCombo() {
  ReportError(
      "Cannot create combo box. Method CreateCombo has not been not implemented in derived class");
  return nullptr;
}

std::unique_ptr<TdgComboGrid> TdgBaseGrid::CreateComboGrid() {
  ReportError("Cannot create combo box. Method CreateComboGrid has not been not implemented in "
              "derived class");
  return nullptr;
}

// ------------------------------------------------------------ firing

TdgBaseGrid *DataGridEvents::Self() { return static_cast<TdgBaseGrid *>(this); }

void DataGridEvents::DoColCountChanged(int oldCount, int newCount) {
  if (OnColCountChanged && Self()->NotLoading())
    OnColCountChanged(Self(), oldCount, newCount);
}

void DataGridEvents::DoRowCountChanged(int oldCount, int newCount) {
  if (OnRowCountChanged && Self()->NotLoading())
    OnRowCountChanged(Self(), oldCount, newCount);
}

void DataGridEvents::DoRowMoved(int toDisplayRow, int count, bool byUser) {
  if (OnRowMoved && Self()->NotLoading())
    OnRowMoved(Self(), toDisplayRow, count, byUser);
}

void DataGridEvents::DoInsertCol(int dataCol, bool byUser) {
  if (OnInsertCol && Self()->NotLoading())
    OnInsertCol(Self(), dataCol, byUser);
}

void DataGridEvents::DoDeleteCol(int dataCol, bool byUser) {
  if (OnDeleteCol && Self()->NotLoading())
    OnDeleteCol(Self(), dataCol, byUser);
}

void DataGridEvents::DoColChanged(int oldCol, int newCol) {
  if (OnColChanged && Self()->NotLoading())
    OnColChanged(Self(), oldCol, newCol);
}

void DataGridEvents::DoColMoved(int toDisplayCol, int count, bool byUser) {
  if (OnColMoved && Self()->NotLoading())
    OnColMoved(Self(), toDisplayCol, count, byUser);
}

void DataGridEvents::DoColResized(int colNr) {
  if (OnColResized && Self()->NotLoading())
    OnColResized(Self(), colNr);
}

void DataGridEvents::DoRowResized(int rowNr) {
  if (OnRowResized && Self()->NotLoading())
    OnRowResized(Self(), rowNr);
}

void DataGridEvents::DoResize() {
  if (OnResize && Self()->NotLoading())
    OnResize(Self());
}

void DataGridEvents::DoPaint() {
  if (OnPaint)
    OnPaint(Self());
}

void DataGridEvents::DoSelectChanged(TdgSelectType type, bool byUser) {
  if (OnSelectChanged && Self()->NotLoading())
    OnSelectChanged(Self(), type, byUser);
}

void DataGridEvents::DoGridStatusChanged(TdgGridStatus oldStatus, TdgGridStatus newStatus) {
  if (OnGridStatusChanged)
    OnGridStatusChanged(Self(), oldStatus, newStatus);
}

// -------------------------------------------------------------- event layer

void TdgCustomGrid::TopLeftChangedBy(int oldCol, int oldRow, bool byUser, int newCol, int newRow) {
  if (oldCol != newCol || oldRow != newRow)
    DoTopLeftChanged(oldCol, oldRow, newCol, newRow, byUser);
}

void TdgCustomGrid::DoTopLeftChanged(int oldCol, int oldRow, int newCol, int newRow, bool byUser) {
  if (OnTopLeftChanged && NotLoading())
    OnTopLeftChanged(this, oldCol, oldRow, newCol, newRow, byUser);
}

std::unique_ptr<TdgCombo> TdgCustomGrid::CreateCombo() {
  return std::make_unique<TdgGridCombo>(*this);
}

std::unique_ptr<TdgComboGrid> TdgCustomGrid::CreateComboGrid() {
  return std::make_unique<TdgComboGrid>(DropDownForm(), this);
}

void TdgCustomGrid::RowInserted(int dataRow, bool byUser) { DoInsertRow(dataRow, byUser); }

void TdgCustomGrid::RowDeleted(int dataRow, bool byUser) { DoDeleteRow(dataRow, byUser); }

void TdgCustomGrid::DoInsertRow(int dataRow, bool byUser) {
  if (OnInsertRow && NotLoading())
    OnInsertRow(this, dataRow, byUser);
}

void TdgCustomGrid::DoDeleteRow(int dataRow, bool byUser) {
  if (OnDeleteRow && NotLoading())
    OnDeleteRow(this, dataRow, byUser);
}

void TdgCustomGrid::DoRowLoaded(int dataRow) {
  if (OnRowLoaded)
    OnRowLoaded(this, dataRow);
}

void TdgCustomGrid::DoCellLoaded(int dataCol, int dataRow, Variant &value) {
  if (!OnCellLoaded)
    return;
  FInCellLoaded = true;
  ScopeExit done{[this] { FInCellLoaded = false; }};
  OnCellLoaded(this, dataCol, dataRow, value);
}

void TdgCustomGrid::CellLoaded(int dataCol, int dataRow, Variant &value, TdgControlType type) {
  if (dataRow != LastLoadedRow) {
    LastLoadedRow = dataRow;
    DoRowLoaded(dataRow);
  }
  DoCellLoaded(dataCol, dataRow, value);
  if (const auto *list = dynamic_cast<const TdgComboGrid *>(this))
    if (auto *owner = dynamic_cast<TdgCustomGrid *>(list->OwnerGrid()))
      owner->DoComboCellLoaded(const_cast<TdgComboGrid *>(list), dataCol, dataRow, value);
  if (value.isEmpty())
    return;
  if (!CheckCellValue(type, value) && type == ctPicture)
    value = Variant();
  else if (type == ctText && !value.isNull() && value.type() != varString)
    value = Variant(value.toString());
}

} // namespace marrowen

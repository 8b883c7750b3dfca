#include "classlib/scopeexit.h"
#include "grid/basegrid/inplaceedit.h"
#include "grid/editing/combo.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>
#include <QMetaObject>

namespace marrowen {

// ------------------------------------------------------------ general level

TdgBaseGrid *DataGridEvents::Self() { return static_cast<TdgBaseGrid *>(this); }

bool DataGridEvents::DoCanStartDrag() {
  if (!OnCanStartDrag)
    return false;
  OnCanStartDrag(Self());
  return true;
}

void DataGridEvents::DoComboCompareValue(const std::string &comboString,
                                         const std::string &currentCellString, int &compareRes) {
  if (OnComboCompareValue)
    OnComboCompareValue(Self(), comboString, currentCellString, compareRes);
}

void DataGridEvents::DoComboLCompareValue(const std::string &comboString,
                                          const std::string &currentCellString, int len,
                                          int &compareRes) {
  if (OnComboLCompareValue)
    OnComboLCompareValue(Self(), comboString, currentCellString, len, compareRes);
}

void DataGridEvents::DoEditTextResized(bool byUser) {
  if (OnEditTextResized)
    OnEditTextResized(Self(), byUser);
}

void DataGridEvents::DoHeadingClick(int dataCol) {
  if (OnHeadingClick)
    OnHeadingClick(Self(), dataCol);
}

void DataGridEvents::DoHeadingDown(int dataCol) {
  if (OnHeadingDown)
    OnHeadingDown(Self(), dataCol);
}

void DataGridEvents::DoHeadingUp(int dataCol) {
  if (OnHeadingUp)
    OnHeadingUp(Self(), dataCol);
}

void DataGridEvents::DoMouseStatusChanged(TdgMouseStatus oldStatus, TdgMouseStatus newStatus) {
  if (OnMouseStatusChanged)
    OnMouseStatusChanged(Self(), oldStatus, newStatus);
}

void DataGridEvents::DoEnter() {
  if (OnEnter)
    OnEnter(Self());
}

void DataGridEvents::DoExit() {
  if (OnExit)
    OnExit(Self());
}

// Counts, moves, sizes, paints and selection.

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

void TdgBaseGrid::SetMouseStatus(TdgMouseStatus value) {
  if (value == FMouseStatus)
    return;
  // A selection drag hides the focus look of the cell being edited.
  if (value >= msRowSelecting && value <= msSelectAll && EditingAllowed())
    InvalidateCell(Col(), Row());
  const TdgMouseStatus old = FMouseStatus;
  FMouseStatus = value;
  DoMouseStatusChanged(old, value);
}

// Focus moving between the grid and its in-place control is no entering or
// leaving of the grid.
void TdgBaseGrid::FocusEntered() {
  if (FExiting > 0)
    return;
  // Focus brought back after a refused exit: the grid was never left.
  const bool fromControl = FFocusFromControl || FRefocusing;
  FFocusFromControl = false;
  if (FDestroying || FEditorBusy > 0) {
    // Being torn down, or the editor is on its way in or out.
  } else if (FEditorShown && FActiveControl && FActiveControl->GetVisible()) {
    FActiveControl->SetFocus();
  } else {
    PlaceEditor();
  }
  if (!fromControl)
    DoEnter();
}

void TdgBaseGrid::FocusLeft() {
  // Focus that goes into the grid's own windows (a picker that drops down)
  // stays with the grid.
  for (const QWidget *to = QApplication::focusWidget(); to; to = to->parentWidget())
    if (to == this)
      return;
  ++FExiting;
  ScopeExit done{[this] { --FExiting; }};
  // Leaving the grid ends the row's edit too.
  if (!EndCellAndRowEdit(true)) {
    // The edit must be finished here first. Qt completes the focus change
    // after this returns, so the focus comes back once it has.
    QMetaObject::invokeMethod(
        this,
        [this] {
          FRefocusing = true;
          ScopeExit back{[this] { FRefocusing = false; }};
          setFocus();
        },
        Qt::QueuedConnection);
    return;
  }
  CloseDropDowns();
  ClearTypeAhead();
  DoExit();
}

// -------------------------------------------------------------- event layer

void TdgCustomGrid::DoButtonClick(int dataCol, int dataRow) {
  if (OnButtonClick)
    OnButtonClick(this, dataCol, dataRow);
}

void TdgCustomGrid::DoButtonDown(int dataCol, int dataRow) {
  if (OnButtonDown)
    OnButtonDown(this, dataCol, dataRow);
}

void TdgCustomGrid::DoButtonUp(int dataCol, int dataRow) {
  if (OnButtonUp)
    OnButtonUp(this, dataCol, dataRow);
}

bool TdgCustomGrid::DoClickCell(int dataColDown, int dataRowDown, int dataColUp, int dataRowUp,
                                TdgClickPosition downPos, TdgClickPosition upPos) {
  if (!OnClickCell)
    return false;
  OnClickCell(this, dataColDown, dataRowDown, dataColUp, dataRowUp, downPos, upPos);
  return true;
}

void TdgCustomGrid::DoDblClickCell(int dataCol, int dataRow, TdgClickPosition pos) {
  if (OnDblClickCell)
    OnDblClickCell(this, dataCol, dataRow, pos);
}

void TdgCustomGrid::DoComboCellLoaded(TdgComboGrid *combo, int dataCol, int dataRow,
                                      Variant &value) {
  if (OnComboCellLoaded)
    OnComboCellLoaded(this, combo, dataCol, dataRow, value);
}

void TdgCustomGrid::DoComboDropDown(TdgComboGrid *combo, int dataCol, int dataRow) {
  if (OnComboDropDown)
    OnComboDropDown(this, combo, dataCol, dataRow);
}

void TdgCustomGrid::DoComboGetValue(TdgComboGrid *combo, int gridDataCol, int gridDataRow,
                                    int comboDataRow, Variant &value) {
  if (OnComboGetValue)
    OnComboGetValue(this, combo, gridDataCol, gridDataRow, comboDataRow, value);
}

void TdgCustomGrid::DoComboInit(TdgComboGrid *combo, int dataCol, int dataRow) {
  if (OnComboInit)
    OnComboInit(this, combo, dataCol, dataRow);
}

void TdgCustomGrid::DoComboRollUp(TdgComboGrid *combo, int dataCol, int dataRow) {
  if (OnComboRollUp)
    OnComboRollUp(this, combo, dataCol, dataRow);
}

void TdgCustomGrid::DoDateTimeDropDown(TdgDateTimeDefComponent *def, int dataCol, int dataRow) {
  if (OnDateTimeDropDown)
    OnDateTimeDropDown(this, def, dataCol, dataRow);
}

void TdgCustomGrid::DoDateTimeGetValue(TdgDateTimeDefComponent *def, int dataCol, int dataRow,
                                       Variant &value) {
  if (OnDateTimeGetValue)
    OnDateTimeGetValue(this, def, dataCol, dataRow, value);
}

void TdgCustomGrid::DoDateTimeInit(TdgDateTimeDefComponent *def, int dataCol, int dataRow) {
  if (OnDateTimeInit)
    OnDateTimeInit(this, def, dataCol, dataRow);
}

void TdgCustomGrid::DoDateTimeRollUp(TdgDateTimeDefComponent *def, int dataCol, int dataRow) {
  if (OnDateTimeRollUp)
    OnDateTimeRollUp(this, def, dataCol, dataRow);
}

bool TdgCustomGrid::DoInvalidMaskEdit(const std::string &keys, int dataCol, int dataRow) {
  bool accept = false;
  if (OnInvalidMaskEdit)
    OnInvalidMaskEdit(this, keys, dataCol, dataRow, accept);
  return accept;
}

bool TdgCustomGrid::DoInvalidMaskValue(int dataCol, int dataRow) {
  bool accept = false;
  if (OnInvalidMaskValue)
    OnInvalidMaskValue(this, dataCol, dataRow, accept);
  return accept;
}

bool TdgCustomGrid::DoShowEditor(int dataCol, int dataRow) {
  bool cancel = false;
  if (OnShowEditor)
    OnShowEditor(this, dataCol, dataRow, cancel);
  return cancel;
}

void TdgCustomGrid::DoSpinButtonClick(int dataCol, int dataRow, TdgSpinButton button) {
  if (OnSpinButtonClick)
    OnSpinButtonClick(this, dataCol, dataRow, button);
}

void TdgCustomGrid::DoSpinButtonDown(int dataCol, int dataRow, TdgSpinButton button) {
  if (OnSpinButtonDown)
    OnSpinButtonDown(this, dataCol, dataRow, button);
}

void TdgCustomGrid::DoSpinButtonUp(int dataCol, int dataRow, TdgSpinButton button) {
  if (OnSpinButtonUp)
    OnSpinButtonUp(this, dataCol, dataRow, button);
}

bool TdgCustomGrid::DoSpinIncrement(int dataCol, int dataRow, TdgSpinButton button, Variant &value,
                                    int &pos, int &len) {
  // The grid's own step goes ahead unless a handler stops it.
  bool accept = true;
  if (OnSpinIncrement)
    OnSpinIncrement(this, dataCol, dataRow, button, value, pos, len, accept);
  return accept;
}

void TdgCustomGrid::DoSpinRepeat(int dataCol, int dataRow, int count, TdgSpinButton button) {
  if (OnSpinRepeat)
    OnSpinRepeat(this, dataCol, dataRow, count, button);
}

void TdgCustomGrid::DoPaintCell(int dataCol, int dataRow, const TRect &rect,
                                TdgPaintCellState state, bool &cancel) {
  cancel = false;
  if (OnPaintCell)
    OnPaintCell(this, dataCol, dataRow, rect, state, cancel);
}

// The painter sets the canvas up for the cell first and completes the frame
// and decorations of a cell the handler painted.
bool TdgCustomGrid::PaintCellByUser(int displayCol, int displayRow, const TRect &rect,
                                    TdgPaintCellState state) {
  if (displayCol < 1 || displayRow < 0)
    return false;
  bool cancel = false;
  if (rect.Right - rect.Left > 0)
    DoPaintCell(DataColAt(displayCol), displayRow == 0 ? 0 : DataRowAt(displayRow), rect, state,
                cancel);
  return cancel;
}

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
  if (OnCellLoaded)
    OnCellLoaded(this, dataCol, dataRow, value);
}

void TdgCustomGrid::CellLoaded(int dataCol, int dataRow, Variant &value, TdgControlType type) {
  if (dataRow != LastLoadedRow) {
    LastLoadedRow = dataRow;
    DoRowLoaded(dataRow);
  }
  {
    // The grid fetches through both handlers: a read of its cells from
    // either is refused rather than fetched again, over and over.
    FInCellLoaded = true;
    ScopeExit done{[this] { FInCellLoaded = false; }};
    DoCellLoaded(dataCol, dataRow, value);
    if (auto *owner = dynamic_cast<TdgCustomGrid *>(ListOwner()))
      owner->DoComboCellLoaded(static_cast<TdgComboGrid *>(this), dataCol, dataRow, value);
  }
  if (value.isEmpty())
    return;
  if (!CheckCellValue(type, value) && type == ctPicture)
    value = Variant();
  else if (type == ctText && !value.isNull() && value.type() != varString)
    value = Variant(value.toString());
}

} // namespace marrowen

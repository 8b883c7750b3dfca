#include "classlib/scopeexit.h"
#include "grid/dgbasegrid.h"
#include "grid/inplaceedit.h"

#include <QApplication>
#include <QMetaObject>

namespace marrowen {

// ------------------------------------------------------------ general level

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
  const bool fromControl = FFocusFromControl;
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
  if (const QWidget *to = QApplication::focusWidget(); to && to != this && isAncestorOf(to))
    return;
  ++FExiting;
  ScopeExit done{[this] { --FExiting; }};
  // Leaving the grid ends the row's edit too.
  if (!EndCellAndRowEdit(true)) {
    // The edit must be finished here first. Qt completes the focus change
    // after this returns, so the focus comes back once it has.
    QMetaObject::invokeMethod(
        this, [this] { setFocus(); }, Qt::QueuedConnection);
    return;
  }
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

} // namespace marrowen

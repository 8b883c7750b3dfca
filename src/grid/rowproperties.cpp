// Per-row properties through the row objects, made only for a value other
// than the default and freed again at defaults.
#include "grid/dgbasegrid.h"

#include "grid/datetime.h"

namespace marrowen {

TColor TdgBaseGrid::GetRowColor(int dataRow) { return RowGet(dataRow, clNone, &TdgRow::Color); }

void TdgBaseGrid::SetRowColor(int dataRow, TColor value) {
  RowSet(dataRow, value, clNone, &TdgRow::SetColor);
}

TdgControlType TdgBaseGrid::GetRowControlType(int dataRow) {
  return RowGet(dataRow, ctDefault, &TdgRow::ControlType);
}

void TdgBaseGrid::SetRowControlType(int dataRow, TdgControlType value) {
  RowSet(dataRow, value, ctDefault, &TdgRow::SetControlType);
}

int TdgBaseGrid::GetRowHeight(int dataRow) {
  return RowGet(dataRow, DefaultRowHeight(), &TdgRow::Height);
}

void TdgBaseGrid::SetRowHeight(int dataRow, int value) {
  RowSet(dataRow, value, DefaultRowHeight(), &TdgRow::SetHeight);
}

bool TdgBaseGrid::GetRowReadOnly(int dataRow) const {
  const TdgRow *row = RowObject(dataRow);
  return dataRow >= 1 && row ? row->ReadOnly() : false;
}

void TdgBaseGrid::SetRowReadOnly(int dataRow, bool value) {
  RowSet(dataRow, value, false, &TdgRow::SetReadOnly);
}

bool TdgBaseGrid::GetRowIs3D(int dataRow) { return RowGet(dataRow, false, &TdgRow::Is3D); }

void TdgBaseGrid::SetRowIs3D(int dataRow, bool value) {
  RowSet(dataRow, value, false, &TdgRow::SetIs3D);
}

TdgWordWrap TdgBaseGrid::GetRowWordWrap(int dataRow) {
  return RowGet(dataRow, wwDefault, &TdgRow::WordWrap);
}

void TdgBaseGrid::SetRowWordWrap(int dataRow, TdgWordWrap value) {
  RowSet(dataRow, value, wwDefault, &TdgRow::SetWordWrap);
}

TdgButtonType TdgBaseGrid::GetRowButtonType(int dataRow) {
  return RowGet(dataRow, btDefault, &TdgRow::ButtonType);
}

void TdgBaseGrid::SetRowButtonType(int dataRow, TdgButtonType value) {
  RowSet(dataRow, value, btDefault, &TdgRow::SetButtonType);
}

TFont *TdgBaseGrid::GetRowFont(int dataRow) {
  if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return nullptr;
  TdgRow *row = FRowStore->Item(dataRow);
  return row ? row->Font() : nullptr;
}

void TdgBaseGrid::SetRowFont(int dataRow, const TFont *value) {
  RowSet(dataRow, value, static_cast<const TFont *>(nullptr), &TdgRow::SetFont);
}

bool TdgBaseGrid::GetRowParentFont(int dataRow) {
  return RowGet(dataRow, true, &TdgRow::ParentFont);
}

void TdgBaseGrid::SetRowParentFont(int dataRow, bool value) {
  RowSet(dataRow, value, true, &TdgRow::SetParentFont);
}

bool TdgBaseGrid::GetRowKeepOwnFonts(int dataRow) {
  return RowGet(dataRow, false, &TdgRow::KeepOwnFonts);
}

void TdgBaseGrid::SetRowKeepOwnFonts(int dataRow, bool value) {
  RowSet(dataRow, value, false, &TdgRow::SetKeepOwnFonts);
}

bool TdgBaseGrid::GetRowAlign(int dataRow) { return RowGet(dataRow, false, &TdgRow::Align); }

void TdgBaseGrid::SetRowAlign(int dataRow, bool value) {
  RowSet(dataRow, value, false, &TdgRow::SetAlign);
}

int TdgBaseGrid::GetRowAlignment(int dataRow) { return RowGet(dataRow, 0, &TdgRow::Alignment); }

void TdgBaseGrid::SetRowAlignment(int dataRow, int value) {
  RowSet(dataRow, value, 0, &TdgRow::SetAlignment);
}

TdgHorzAlignment TdgBaseGrid::GetRowHorzAlignment(int dataRow) {
  return RowGet(dataRow, htaDefault, &TdgRow::HorzAlignment);
}

void TdgBaseGrid::SetRowHorzAlignment(int dataRow, TdgHorzAlignment value) {
  RowSet(dataRow, value, htaDefault, &TdgRow::SetHorzAlignment);
}

TdgVertAlignment TdgBaseGrid::GetRowVertAlignment(int dataRow) {
  return RowGet(dataRow, vtaDefault, &TdgRow::VertAlignment);
}

void TdgBaseGrid::SetRowVertAlignment(int dataRow, TdgVertAlignment value) {
  RowSet(dataRow, value, vtaDefault, &TdgRow::SetVertAlignment);
}

std::string TdgBaseGrid::GetRowMaskName(int dataRow) {
  return RowGet(dataRow, std::string(), &TdgRow::MaskName);
}

void TdgBaseGrid::SetRowMaskName(int dataRow, const std::string &value) {
  RowSet(dataRow, value, std::string(), &TdgRow::SetMaskName);
}

TdgCombo *TdgBaseGrid::GetRowCombo(int dataRow) {
  return RowGet(dataRow, static_cast<TdgCombo *>(nullptr), &TdgRow::Combo);
}

bool TdgBaseGrid::GetRowParentCombo(int dataRow) {
  return RowGet(dataRow, true, &TdgRow::ParentCombo);
}

void TdgBaseGrid::SetRowParentCombo(int dataRow, bool value) {
  RowSet(dataRow, value, true, &TdgRow::SetParentCombo);
}

TdgDrawOption TdgBaseGrid::GetRowStretchPicture(int dataRow) {
  return RowGet(dataRow, dopDefault, &TdgRow::StretchPicture);
}

void TdgBaseGrid::SetRowStretchPicture(int dataRow, TdgDrawOption value) {
  RowSet(dataRow, value, dopDefault, &TdgRow::SetStretchPicture);
}

TdgDrawOption TdgBaseGrid::GetRowShrinkPicture(int dataRow) {
  return RowGet(dataRow, dopDefault, &TdgRow::ShrinkPicture);
}

void TdgBaseGrid::SetRowShrinkPicture(int dataRow, TdgDrawOption value) {
  RowSet(dataRow, value, dopDefault, &TdgRow::SetShrinkPicture);
}

TdgDrawOption TdgBaseGrid::GetRowCenterPicture(int dataRow) {
  return RowGet(dataRow, dopDefault, &TdgRow::CenterPicture);
}

void TdgBaseGrid::SetRowCenterPicture(int dataRow, TdgDrawOption value) {
  RowSet(dataRow, value, dopDefault, &TdgRow::SetCenterPicture);
}

TdgDrawOption TdgBaseGrid::GetRowKeepAspectRatio(int dataRow) {
  return RowGet(dataRow, dopDefault, &TdgRow::KeepAspectRatio);
}

void TdgBaseGrid::SetRowKeepAspectRatio(int dataRow, TdgDrawOption value) {
  RowSet(dataRow, value, dopDefault, &TdgRow::SetKeepAspectRatio);
}

TdgSpinOptions TdgBaseGrid::GetRowSpinOptions(int dataRow) {
  return RowGet(dataRow, allSpinOptions, &TdgRow::SpinOptions);
}

void TdgBaseGrid::SetRowSpinOptions(int dataRow, TdgSpinOptions value) {
  RowSet(dataRow, value, allSpinOptions, &TdgRow::SetSpinOptions);
}

double TdgBaseGrid::GetRowSpinIncrement(int dataRow) {
  return RowGet(dataRow, 1.0, &TdgRow::SpinIncrement);
}

void TdgBaseGrid::SetRowSpinIncrement(int dataRow, double value) {
  RowSet(dataRow, value, 1.0, &TdgRow::SetSpinIncrement);
}

TdgDateTimeDefComponent *TdgBaseGrid::GetRowDateTimeDef(int dataRow) {
  return RowGet(dataRow, static_cast<TdgDateTimeDefComponent *>(nullptr), &TdgRow::DateTimeDef);
}

void TdgBaseGrid::SetRowDateTimeDef(int dataRow, TdgDateTimeDefComponent *value) {
  RowSet(dataRow, value, static_cast<TdgDateTimeDefComponent *>(nullptr), &TdgRow::SetDateTimeDef);
}

TdgDropDownStyle TdgBaseGrid::GetRowDropDownStyle(int dataRow) {
  return RowGet(dataRow, ddDropDown, &TdgRow::DropDownStyle);
}

void TdgBaseGrid::SetRowDropDownStyle(int dataRow, TdgDropDownStyle value) {
  RowSet(dataRow, value, ddDropDown, &TdgRow::SetDropDownStyle);
}

int TdgBaseGrid::GetRowOrderPosition(int dataRow) {
  return CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1) ? FRowStore->GetRowId(dataRow)
                                                                   : -1;
}

int TdgBaseGrid::DataRowOfOrderPosition(int position) const {
  int low = 1, high = Rows();
  while (low <= high) {
    const int middle = low + (high - low) / 2;
    const int id = FRowStore->GetRowId(middle);
    if (id == position)
      return middle;
    if (id < position)
      low = middle + 1;
    else
      high = middle - 1;
  }
  return -1;
}

} // namespace marrowen

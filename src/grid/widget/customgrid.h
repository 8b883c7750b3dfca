#pragma once

#include "grid/widget/dgbasegrid.h"

namespace marrowen {

// The event layer: the firing operations that name a data row.
class TdgCustomGrid : public TdgBaseGrid {
public:
  using TdgBaseGrid::TdgBaseGrid;

  void RowInserted(int dataRow, bool byUser) override;
  void RowDeleted(int dataRow, bool byUser) override;
  void CellLoaded(int dataCol, int dataRow, Variant &value, TdgControlType type) override;
  void TopLeftChangedBy(int oldCol, int oldRow, bool byUser, int newCol, int newRow) override;
  std::unique_ptr<TdgCombo> CreateCombo() override;
  std::unique_ptr<TdgComboGrid> CreateComboGrid() override;
  virtual void DoTopLeftChanged(int oldCol, int oldRow, int newCol, int newRow, bool byUser);
  bool DoStartCellEdit(int dataCol, int dataRow) override;
  bool DoStartRowEdit(int dataRow) override;
  bool DoEndCellEdit(int dataCol, int dataRow) override;
  bool DoEndRowEdit(int dataRow) override;
  bool DoUndoCellEdit(int dataCol, int dataRow, bool byUser) override;
  bool DoUndoRowEdit(int dataRow, bool byUser) override;
  void DoCellEdit(int dataCol, int dataRow, bool byUser) override;
  void DoRowChanged(int oldRow, int newRow) override;
  void DoCellChanged(int oldCol, int newCol, int oldRow, int newRow) override;
  virtual void DoInsertRow(int dataRow, bool byUser);
  virtual void DoDeleteRow(int dataRow, bool byUser);
  virtual void DoRowLoaded(int dataRow);
  virtual void DoCellLoaded(int dataCol, int dataRow, Variant &value);
  virtual void DoComboCellLoaded(TdgComboGrid *combo, int dataCol, int dataRow, Variant &value);
  virtual void DoPaintCell(int dataCol, int dataRow, const TRect &rect, TdgPaintCellState state,
                           bool &cancel);
  void DoButtonClick(int dataCol, int dataRow) override;
  void DoButtonDown(int dataCol, int dataRow) override;
  void DoButtonUp(int dataCol, int dataRow) override;
  bool DoClickCell(int dataColDown, int dataRowDown, int dataColUp, int dataRowUp,
                   TdgClickPosition downPos, TdgClickPosition upPos) override;
  void DoDblClickCell(int dataCol, int dataRow, TdgClickPosition pos) override;
  void DoComboDropDown(TdgComboGrid *combo, int dataCol, int dataRow) override;
  void DoComboGetValue(TdgComboGrid *combo, int gridDataCol, int gridDataRow, int comboDataRow,
                       Variant &value) override;
  void DoComboInit(TdgComboGrid *combo, int dataCol, int dataRow) override;
  void DoComboRollUp(TdgComboGrid *combo, int dataCol, int dataRow) override;
  void DoDateTimeDropDown(TdgDateTimeDefComponent *def, int dataCol, int dataRow) override;
  void DoDateTimeGetValue(TdgDateTimeDefComponent *def, int dataCol, int dataRow,
                          Variant &value) override;
  void DoDateTimeInit(TdgDateTimeDefComponent *def, int dataCol, int dataRow) override;
  void DoDateTimeRollUp(TdgDateTimeDefComponent *def, int dataCol, int dataRow) override;
  bool DoInvalidMaskEdit(const std::string &keys, int dataCol, int dataRow) override;
  bool DoInvalidMaskValue(int dataCol, int dataRow) override;
  bool DoShowEditor(int dataCol, int dataRow) override;
  void DoSpinButtonClick(int dataCol, int dataRow, TdgSpinButton button) override;
  void DoSpinButtonDown(int dataCol, int dataRow, TdgSpinButton button) override;
  void DoSpinButtonUp(int dataCol, int dataRow, TdgSpinButton button) override;
  bool DoSpinIncrement(int dataCol, int dataRow, TdgSpinButton button, Variant &value, int &pos,
                       int &len) override;
  void DoSpinRepeat(int dataCol, int dataRow, int count, TdgSpinButton button) override;
  bool PaintCellByUser(int displayCol, int displayRow, const TRect &rect,
                       TdgPaintCellState state) override;
  bool HasDrawInfoHandler() const override { return bool(OnGetDrawInfo); }
  void GetDrawInfo(int dataCol, int dataRow, TdgDrawInfo &info) override {
    DoGetDrawInfo(dataCol, dataRow, info);
  }
  virtual void DoGetDrawInfo(int dataCol, int dataRow, TdgDrawInfo &info) {
    if (OnGetDrawInfo)
      OnGetDrawInfo(this, dataCol, dataRow, info);
  }

  void PaintStarting() override { LastLoadedRow = -1; }

  // The data row for which the row-loaded event fired last; a paint starts
  // it afresh.
  int LastLoadedRow = -1;
};

class TdgGrid : public TdgCustomGrid {
public:
  using TdgCustomGrid::TdgCustomGrid;
};

} // namespace marrowen

#pragma once

#include "grid/data/gridhost.h"

#include <memory>
#include <string>

namespace marrowen {

class TdgBaseGrid;

// What the column, row and cell objects ask of the data grid, answered from
// the grid's state; the grid derives from it. The few questions that belong
// to a concern of the grid's own (fonts, the display order, date-time
// definitions, values that no longer suit their cells, cell elements) are
// answered where that concern lives.
class DataGridHost : public TdgGridHost {
public:
  TComponent &gridComponent() override;
  void reportError(const std::string &text) override;
  bool checkIndex(TdgIndexKind kind, int value, int low, int high) override;
  bool isInsertRow(int dataRow) const override;
  int requestedDefaultRowHeight() const override;
  int colWidth(int displayCol) const override;
  void setColWidth(int displayCol, int width) override;
  int rowHeight(int displayRow) const override;
  void setRowHeight(int displayRow, int height) override;
  void restoreFixedSizes() override;
  int displayColOf(int dataCol) const override;
  int dataColAt(int displayCol) const override;
  int displayRowOf(int dataRow) const override;
  TdgVisibleItems &visibleCols() override;
  TdgVisibleItems &visibleRows() override;
  bool parentFontCopies() const override { return false; }
  const TFont &cellFont(int, int) const override;
  void registerKeepOwnFonts(TdgCol *, bool) override {}
  void registerKeepOwnFonts(TdgRow *, bool) override {}
  TdgCoordList &keptFontCells() override;
  bool isLoading() const override;
  bool isDestroying() const override;
  bool isComboGrid() const override { return false; }
  bool paintSuppressed() const override { return false; }
  bool directCellPaint() const override { return false; }
  int currentDataCol() const override;
  int currentDataRow() const override;
  bool canLeaveCell(int newDataCol, int newDataRow) override;
  void moveOffColumn(int dataCol) override;
  void moveOffRow(int dataRow) override;
  void endEdit() override;
  void refreshEditor() override;
  void reenterCell() override;
  void reapplyMask(int dataCol, int dataRow) override;
  void setEditorMaxLength(int dataCol, int maxLength) override;
  void refreshCheckBoxValues() override;
  void repaintColumn(int dataCol) override;
  void repaintHeading(int dataCol) override;
  void repaintRow(int dataRow) override;
  void repaintCell(int dataCol, int dataRow) override;
  void invalidateCell(int displayCol, int displayRow) override;
  void relayout() override;
  void correctScrolling() override;
  void dropColSelection(int dataCol) override;
  void dropRowSelection(int dataRow) override;
  void setColSelected(int dataCol, bool selected) override;
  void setRowSelected(int dataRow, bool selected) override;
  void ensureSharedCombo() override;
  std::unique_ptr<TdgCombo> makeCombo() override;
  std::unique_ptr<TdgCustomButton> makeButton(const TdgCustomButton &like) override;
  void closeDateTimePopup() override;
  Variant cellProperty(int dataCol, int dataRow, int number, int subIndex) override;
  void setCellProperty(int dataCol, int dataRow, int number, int subIndex,
                       const Variant &value) override;
  TFont *cellOwnFont(int dataCol, int dataRow) override;
  void setCellFont(int dataCol, int dataRow, const TFont *font) override;
  TdgCombo *cellCombo(int dataCol, int dataRow) override;
  TdgCombo &ensureCellCombo(int dataCol, int dataRow) override;

protected:
  // The grid these answers come from.
  TdgBaseGrid &Grid();
  const TdgBaseGrid &Grid() const;
};

} // namespace marrowen

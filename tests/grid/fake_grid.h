#pragma once

// A grid as the data objects see it, recording what they ask it to do.

#include "classlib/componentstream.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "grid/data/cells.h"
#include "grid/data/colrow.h"
#include "grid/data/component.h"
#include "grid/data/gridhost.h"
#include "grid/data/tables.h"

#include <string>
#include <utility>
#include <vector>

namespace marrowen::testing {

class FakeCombo : public TdgCombo {
public:
  TdgDropDownStyle style = ddDropDown;
  int width = 0;
  std::string items;
  TdgDropDownStyle DropDownStyle() const override { return style; }
  void SetDropDownStyle(TdgDropDownStyle s) override { style = s; }
  void SetWidth(int w) override { width = w; }
  int DropDownRows() const override { return 4; }
  void SetDropDownRows(int) override {}
  int DropDownCols() const override { return 1; }
  void SetDropDownCols(int) override {}
  int ValueCol() const override { return 1; }
  void SetValueCol(int) override {}
  bool ValueColSorted() const override { return false; }
  void SetValueColSorted(bool) override {}
  TdgComboCompareType CompareType() const override { return ctCaseInsensitive; }
  void SetCompareType(TdgComboCompareType) override {}
  TdgComboAutoSearchType AutoSearch() const override { return asNone; }
  void SetAutoSearch(TdgComboAutoSearchType) override {}
  bool AutoFill() const override { return false; }
  void SetAutoFill(bool) override {}
  TdgConvertCase AutoFillConvertCase() const override { return afcOnEdit; }
  void SetAutoFillConvertCase(TdgConvertCase) override {}
  void Reinitialise() override {}
  TdgComboGrid *ComboGrid() const override { return nullptr; }
  void Assign(const TdgCombo &source) override {
    style = source.DropDownStyle();
    items = static_cast<const FakeCombo &>(source).items;
  }
  void writeInnerGrid(ComponentWriter &w) const override { w.writeString(items); }
  void readInnerGrid(ComponentReader &r) override { items = r.readString(); }
};

class FakeGrid : public TdgGridHost {
public:
  FakeGrid() {
    component.SetName("Grid1");
    colWidths.assign(5, 64);
    rowHeights.assign(5, 14);
    visible.SetVisibleCount(4, 1);
    visibleRowList.SetVisibleCount(4, 1);
  }

  std::vector<std::string> calls;
  TComponent component;
  bool raiseErrors = true;
  int colCount = 5, rowCount = 5;
  std::vector<int> colWidths, rowHeights;
  std::vector<int> colOrder{0, 1, 2, 3, 4}; // display -> data
  TdgVisibleItems visible, visibleRowList;
  TFont font, headingFont;
  bool copies = false, loading = false, destroying = false, comboGrid = false;
  bool suppressed = false, directPaint = false, leaveAllowed = true;
  int currentCol = -1, currentRow = -1;
  TdgCoordList kept;
  TdgCellPropSet cells{this};

  void record(std::string call) { calls.push_back(std::move(call)); }
  std::vector<std::string> take() { return std::exchange(calls, {}); }

  TComponent &gridComponent() override { return component; }
  void reportError(const std::string &text) override {
    if (raiseErrors)
      throw Exception(component.Name() + ": " + text);
  }
  bool checkIndex(TdgIndexKind kind, int value, int low, int high) override {
    if (value >= low && value <= high)
      return true;
    reportError(Format(kind == TdgIndexKind::Column ? "Column index %d out of range"
                                                    : "Row index %d out of range",
                       {value}));
    return false;
  }
  int ColCount() const override { return colCount; }
  int RowCount() const override { return rowCount; }
  bool isInsertRow(int) const override { return false; }
  int DefaultColWidth() const override { return 64; }
  int DefaultRowHeight() const override { return 14; }
  int requestedDefaultRowHeight() const override { return 14; }
  int colWidth(int c) const override { return c < int(colWidths.size()) ? colWidths[c] : 64; }
  void setColWidth(int c, int w) override {
    record(Format("setColWidth %d %d", {c, w}));
    colWidths.at(c) = w;
  }
  int rowHeight(int r) const override { return r < int(rowHeights.size()) ? rowHeights[r] : 14; }
  void setRowHeight(int r, int h) override {
    record(Format("setRowHeight %d %d", {r, h}));
    rowHeights.at(r) = h;
  }
  void restoreFixedSizes() override { record("restoreFixedSizes"); }
  int displayColOf(int dataCol) const override {
    for (std::size_t i = 0; i < colOrder.size(); ++i)
      if (colOrder[i] == dataCol)
        return static_cast<int>(i);
    return -1;
  }
  int dataColAt(int displayCol) const override { return colOrder.at(displayCol); }
  int displayRowOf(int dataRow) const override { return dataRow; }
  void setDisplayRowOf(int dataRow, int displayRow) override {
    record(Format("setDisplayRowOf %d %d", {dataRow, displayRow}));
  }
  void moveColumn(int from, int to) override { record(Format("moveColumn %d %d", {from, to})); }
  TdgVisibleItems &visibleCols() override { return visible; }
  TdgVisibleItems &visibleRows() override { return visibleRowList; }
  const TFont &Font() const override { return font; }
  const TFont &HeadingFont() const override { return headingFont; }
  bool parentFontCopies() const override { return copies; }
  const TFont &cellFont(int, int) const override { return font; }
  void registerKeepOwnFonts(TdgCol *, bool keep) override {
    record(Format("keepOwnFonts col %d", {keep}));
  }
  void registerKeepOwnFonts(TdgRow *, bool keep) override {
    record(Format("keepOwnFonts row %d", {keep}));
  }
  TdgCoordList &keptFontCells() override { return kept; }
  bool isLoading() const override { return loading; }
  bool isDestroying() const override { return destroying; }
  bool isComboGrid() const override { return comboGrid; }
  bool paintSuppressed() const override { return suppressed; }
  bool directCellPaint() const override { return directPaint; }
  int currentDataCol() const override { return currentCol; }
  int currentDataRow() const override { return currentRow; }
  bool canLeaveCell(int, int) override {
    record("canLeaveCell");
    return leaveAllowed;
  }
  void moveOffColumn(int c) override { record(Format("moveOffColumn %d", {c})); }
  void moveOffRow(int r) override { record(Format("moveOffRow %d", {r})); }
  void endEdit() override { record("endEdit"); }
  void refreshEditor() override { record("refreshEditor"); }
  void reenterCell() override { record("reenterCell"); }
  void reapplyMask(int c, int r) override { record(Format("reapplyMask %d %d", {c, r})); }
  void setEditorMaxLength(int c, int n) override {
    record(Format("setEditorMaxLength %d %d", {c, n}));
  }
  void refreshCheckBoxValues() override { record("refreshCheckBoxValues"); }
  void repaintColumn(int c) override { record(Format("repaintColumn %d", {c})); }
  void repaintHeading(int c) override { record(Format("repaintHeading %d", {c})); }
  void repaintRow(int r) override { record(Format("repaintRow %d", {r})); }
  void repaintCell(int c, int r) override { record(Format("repaintCell %d %d", {c, r})); }
  void invalidateCell(int c, int r) override { record(Format("invalidateCell %d %d", {c, r})); }
  void relayout() override { record("relayout"); }
  void correctScrolling() override { record("correctScrolling"); }
  void dropColSelection(int c) override { record(Format("dropColSelection %d", {c})); }
  void dropRowSelection(int r) override { record(Format("dropRowSelection %d", {r})); }
  void setColSelected(int c, bool s) override { record(Format("setColSelected %d %d", {c, s})); }
  void setRowSelected(int r, bool s) override { record(Format("setRowSelected %d %d", {r, s})); }
  void dropUnfitValues(int c, int r) override { record(Format("dropUnfitValues %d %d", {c, r})); }
  void ensureSharedCombo() override { record("ensureSharedCombo"); }
  std::unique_ptr<TdgCombo> makeCombo() override { return std::make_unique<FakeCombo>(); }
  std::unique_ptr<TdgCustomButton> makeButton(const TdgCustomButton &) override { return nullptr; }
  void closeDateTimePopup() override { record("closeDateTimePopup"); }
  void dropDateTimePopupOf(TdgDateTimeDefComponent *) override {}
  void cellElementAdded(TdgCellElement &e) override {
    record(Format("cellElementAdded %d %d", {e.DataCol, e.DataRow}));
  }
  void cellElementRemoved(TdgCellElement &e) override {
    record(Format("cellElementRemoved %d %d", {e.DataCol, e.DataRow}));
  }

  // The per-cell accessors, over the cell property set as the grid keeps it.
  Variant cellProperty(int c, int r, int number, int sub) override {
    TdgCellElement *e = cells.FindCell(c, r);
    if (e)
      return e->GetProp(number, sub);
    TdgCellElement blank(this, c, r);
    return blank.GetProp(number, sub);
  }
  void setCellProperty(int c, int r, int number, int sub, const Variant &v) override {
    TdgCustomPropElement *e = cells.FindCell(c, r);
    cells.SetProperty({c, r}, number, sub, v, true, e);
  }
  TFont *cellOwnFont(int c, int r) override {
    TdgCellElement *e = cells.FindCell(c, r);
    return e ? e->Font() : nullptr;
  }
  void setCellFont(int c, int r, const TFont *f) override {
    TdgCustomPropElement *e = cells.FindCell(c, r);
    if (!e && f)
      e = cells.AddElement(cells.MakeElement({c, r}));
    if (e) {
      e->SetFont(f);
      cells.DropIfDefault(e);
    }
  }
  TdgCombo *cellCombo(int c, int r) override {
    TdgCellElement *e = cells.FindCell(c, r);
    return e ? e->Combo() : nullptr;
  }
  TdgCombo &ensureCellCombo(int c, int r) override {
    TdgCustomPropElement *e = cells.FindCell(c, r);
    if (!e)
      e = cells.AddElement(cells.MakeElement({c, r}));
    return e->EnsureCombo();
  }
  TdgDateTimeDefComponent *cellDateTimeDef(int c, int r) override {
    TdgCellElement *e = cells.FindCell(c, r);
    return e ? e->DateTimeDef() : nullptr;
  }
  void setCellDateTimeDef(int c, int r, TdgDateTimeDefComponent *d) override {
    TdgCustomPropElement *e = cells.FindCell(c, r);
    if (!e && d)
      e = cells.AddElement(cells.MakeElement({c, r}));
    if (e)
      e->SetDateTimeDef(d);
  }
};

} // namespace marrowen::testing

// What the column, row and cell objects ask of their grid.
#include "grid/widget/dgbasegrid.h"

#include "grid/editing/combo.h"
#include "grid/editing/datetime.h"

#include <algorithm>

namespace marrowen {

namespace {

// One size set through its column or row object: only that line is reported
// changed, not all sizes.
template <class Changed>
void setExtent(TdgBaseGrid &grid, ExtentList &extents, int count, int defaultSize, int index,
               int size, Changed changed) {
  if (index < 0 || index >= count)
    return;
  if (extents.empty())
    extents.Update(count, defaultSize);
  if (extents[index] == size)
    return;
  grid.InvalidateGrid();
  extents[index] = size;
  changed(index);
}

// Selects or deselects one shown row or column; the row bar and the heading
// are never selected.
void selectLine(TdgBaseGrid &grid, bool rows, int displayIndex, bool selected) {
  if (displayIndex <= 0)
    return;
  if (rows && selected)
    grid.SelectRows(displayIndex, displayIndex);
  else if (rows)
    grid.DeselectRows(displayIndex, displayIndex);
  else if (selected)
    grid.SelectCols(displayIndex, displayIndex);
  else
    grid.DeselectCols(displayIndex, displayIndex);
}

} // namespace

TdgBaseGrid &DataGridHost::Grid() { return static_cast<TdgBaseGrid &>(*this); }

const TdgBaseGrid &DataGridHost::Grid() const { return static_cast<const TdgBaseGrid &>(*this); }

TComponent &DataGridHost::gridComponent() { return Grid().FComponent; }

void DataGridHost::reportError(const std::string &text) { Grid().ReportError(text); }

bool DataGridHost::checkIndex(TdgIndexKind kind, int value, int low, int high) {
  return Grid().CheckIndex(kind, value, low, high);
}

bool DataGridHost::isInsertRow(int dataRow) const {
  return Grid().FInsertRowFlag && dataRow == Grid().RowCount() - 1;
}

int DataGridHost::requestedDefaultRowHeight() const { return Grid().FRequestedDefaultRowHeight; }

int DataGridHost::colWidth(int displayCol) const { return Grid().ColWidths(displayCol); }

void DataGridHost::setColWidth(int displayCol, int width) {
  TdgBaseGrid &grid = Grid();
  setExtent(grid, grid.FColWidths, grid.FColCount, grid.FDefaultColWidth, displayCol, width,
            [&grid](int p) { grid.ColWidthChanged(p); });
}

int DataGridHost::rowHeight(int displayRow) const { return Grid().RowHeights(displayRow); }

void DataGridHost::setRowHeight(int displayRow, int height) {
  TdgBaseGrid &grid = Grid();
  setExtent(grid, grid.FRowHeights, grid.FRowCount, grid.FDefaultRowHeight, displayRow, height,
            [&grid](int p) { grid.RowHeightChanged(p); });
}

void DataGridHost::restoreFixedSizes() {
  TdgBaseGrid &grid = Grid();
  if (grid.ColCount() > 0 && grid.FixedCols() > 0)
    grid.SetColWidths(0, grid.RowBarOn() ? grid.RowBarWidth() : 0);
  if (grid.RowCount() > 0 && grid.FixedRows() > 0)
    grid.SetRowHeights(0, grid.HeadingOn() ? grid.HeadingHeight() : 0);
}

int DataGridHost::displayColOf(int dataCol) const { return Grid().DisplayColOf(dataCol); }

int DataGridHost::dataColAt(int displayCol) const { return Grid().DataColAt(displayCol); }

int DataGridHost::displayRowOf(int dataRow) const {
  if (dataRow == 0)
    return 0;
  const int p = Grid().GetDisplayRowOf(dataRow);
  return p < 0 ? 0 : p;
}

TdgVisibleItems &DataGridHost::visibleCols() { return Grid().FVisibleCols; }

TdgVisibleItems &DataGridHost::visibleRows() { return Grid().FVisibleRows; }

const TFont &DataGridHost::cellFont(int, int) const { return Grid().FFont; }

TdgCoordList &DataGridHost::keptFontCells() { return Grid().FKeptFontCells; }

bool DataGridHost::isLoading() const { return !Grid().NotLoading(); }

bool DataGridHost::isDestroying() const { return Grid().FDestroying; }

int DataGridHost::currentDataCol() const {
  const int c = Grid().GetCurrentDataCol();
  return c > 0 ? c : -1;
}

int DataGridHost::currentDataRow() const {
  const int r = Grid().GetCurrentDataRow();
  return r > 0 ? r : -1;
}

bool DataGridHost::canLeaveCell(int newDataCol, int newDataRow) {
  return Grid().CanLeaveCell(newDataCol, newDataRow, false);
}

// The nearest column that can hold the current cell, to the right first.
void DataGridHost::moveOffColumn(int dataCol) { Grid().PlaceCurrentCol(displayColOf(dataCol)); }

void DataGridHost::moveOffRow(int dataRow) { Grid().PlaceCurrentRow(displayRowOf(dataRow) + 1); }

// The value being edited belongs to the control of the cell's old kind.
void DataGridHost::endEdit() {
  if (Grid().EndEdit())
    Grid().DropPending();
}

void DataGridHost::refreshEditor() { Grid().RefreshEditor(); }

// The editor shows the cell's value afresh, unless an edit of it is going on.
void DataGridHost::reenterCell() {
  TdgBaseGrid &grid = Grid();
  if (grid.FCellEditing)
    return;
  grid.FEditorCol = grid.FEditorRow = -1;
  grid.RefreshEditor();
}

void DataGridHost::reapplyMask(int dataCol, int dataRow) {
  if (dataCol == currentDataCol() && (dataRow < 0 || dataRow == currentDataRow()))
    Grid().RefreshEditor();
}

void DataGridHost::setEditorMaxLength(int dataCol, int) {
  if (dataCol == currentDataCol())
    Grid().RefreshEditor();
}

void DataGridHost::refreshCheckBoxValues() { Grid().InvalidateGrid(); }

void DataGridHost::repaintColumn(int dataCol) {
  TdgBaseGrid &grid = Grid();
  const int p = grid.DisplayColOf(dataCol);
  grid.InvalidateRect(TGridRect{p, 0, p, grid.RowCount() - 1});
}

void DataGridHost::repaintHeading(int dataCol) {
  Grid().InvalidateCell(Grid().DisplayColOf(dataCol), 0);
  Grid().HeadingsChanged();
}

void DataGridHost::repaintRow(int dataRow) {
  TdgBaseGrid &grid = Grid();
  const int p = displayRowOf(dataRow);
  grid.InvalidateRect(TGridRect{0, p, grid.ColCount() - 1, p});
}

void DataGridHost::repaintCell(int dataCol, int dataRow) {
  Grid().InvalidateCell(Grid().DisplayColOf(dataCol), displayRowOf(dataRow));
}

void DataGridHost::invalidateCell(int displayCol, int displayRow) {
  Grid().InvalidateCell(displayCol, displayRow);
}

void DataGridHost::relayout() { Grid().UpdateScrollRange(); }

void DataGridHost::correctScrolling() { Grid().UpdateScrollRange(); }

// A hidden line is selected no more, and a cell range ends short of it.
void DataGridHost::dropColSelection(int dataCol) {
  setColSelected(dataCol, false);
  Grid().RangeLineHidden(false, Grid().DisplayColOf(dataCol));
}

void DataGridHost::setColSelected(int dataCol, bool selected) {
  selectLine(Grid(), false, Grid().DisplayColOf(dataCol), selected);
}

void DataGridHost::dropRowSelection(int dataRow) {
  setRowSelected(dataRow, false);
  Grid().RangeLineHidden(true, Grid().GetDisplayRowOf(dataRow));
}

void DataGridHost::setRowSelected(int dataRow, bool selected) {
  selectLine(Grid(), true, Grid().GetDisplayRowOf(dataRow), selected);
}

void DataGridHost::ensureSharedCombo() { Grid().GetCombo(); }

std::unique_ptr<TdgCombo> DataGridHost::makeCombo() { return Grid().CreateCombo(); }

std::unique_ptr<TdgCustomButton> DataGridHost::makeButton(const TdgCustomButton &like) {
  return like.Clone();
}

void DataGridHost::closeDateTimePopup() { Grid().CloseDateTimeDropDown(false); }

Variant DataGridHost::cellProperty(int dataCol, int dataRow, int number, int subIndex) {
  return Grid().GetCellProperty(dataCol, dataRow, number, subIndex);
}

void DataGridHost::setCellProperty(int dataCol, int dataRow, int number, int subIndex,
                                   const Variant &value) {
  Grid().SetCellProperty(dataCol, dataRow, number, value, subIndex);
}

TFont *DataGridHost::cellOwnFont(int dataCol, int dataRow) {
  return Grid().GetCellFont(dataCol, dataRow);
}

void DataGridHost::setCellFont(int dataCol, int dataRow, const TFont *font) {
  Grid().SetCellFont(dataCol, dataRow, font);
}

TdgCombo *DataGridHost::cellCombo(int dataCol, int dataRow) {
  const TdgCellElement *element = Grid().CellElement(dataCol, dataRow, false);
  return element ? element->Combo() : nullptr;
}

TdgCombo &DataGridHost::ensureCellCombo(int dataCol, int dataRow) {
  TdgBaseGrid &grid = Grid();
  TdgCellElement *element = grid.CellElement(dataCol, dataRow, false);
  if (!element)
    element = static_cast<TdgCellElement *>(
        grid.FCellProps.AddElement(grid.FCellProps.MakeElement(CellKeys{dataCol, dataRow})));
  grid.DropCellCache();
  return element->EnsureCombo();
}

} // namespace marrowen

// What the column, row and cell objects ask of their grid.
#include "grid/dgbasegrid.h"

#include "grid/combo.h"

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

} // namespace

void TdgBaseGrid::setColWidth(int displayCol, int width) {
  setExtent(*this, FColWidths, FColCount, FDefaultColWidth, displayCol, width,
            [this](int p) { ColWidthChanged(p); });
}

void TdgBaseGrid::setRowHeight(int displayRow, int height) {
  setExtent(*this, FRowHeights, FRowCount, FDefaultRowHeight, displayRow, height,
            [this](int p) { RowHeightChanged(p); });
}

void TdgBaseGrid::restoreFixedSizes() {
  if (ColCount() > 0 && FixedCols() > 0)
    SetColWidths(0, RowBarOn() ? RowBarWidth() : 0);
  if (RowCount() > 0 && FixedRows() > 0)
    SetRowHeights(0, HeadingOn() ? HeadingHeight() : 0);
}

int TdgBaseGrid::displayRowOf(int dataRow) const {
  if (dataRow == 0)
    return 0;
  const int p = GetDisplayRowOf(dataRow);
  return p < 0 ? 0 : p;
}

int TdgBaseGrid::currentDataCol() const {
  const int c = GetCurrentDataCol();
  return c > 0 ? c : -1;
}

int TdgBaseGrid::currentDataRow() const {
  const int r = GetCurrentDataRow();
  return r > 0 ? r : -1;
}

void TdgBaseGrid::moveOffRow(int dataRow) { PlaceCurrentRow(displayRowOf(dataRow) + 1); }

void TdgBaseGrid::repaintColumn(int dataCol) {
  const int p = DisplayColOf(dataCol);
  InvalidateRect(TGridRect{p, 0, p, RowCount() - 1});
}

void TdgBaseGrid::repaintRow(int dataRow) {
  const int p = displayRowOf(dataRow);
  InvalidateRect(TGridRect{0, p, ColCount() - 1, p});
}

void TdgBaseGrid::dropRowSelection(int dataRow) {
  const int p = GetDisplayRowOf(dataRow);
  if (p > 0)
    DeselectRows(p, p);
}

void TdgBaseGrid::setRowSelected(int dataRow, bool selected) {
  const int p = GetDisplayRowOf(dataRow);
  if (p <= 0)
    return;
  if (selected)
    SelectRows(p, p);
  else
    DeselectRows(p, p);
}

TdgCombo *TdgBaseGrid::cellCombo(int dataCol, int dataRow) {
  const TdgCellElement *element = CellElement(dataCol, dataRow, false);
  return element ? element->Combo() : nullptr;
}

TdgCombo &TdgBaseGrid::ensureCellCombo(int dataCol, int dataRow) {
  TdgCellElement *element = CellElement(dataCol, dataRow, false);
  if (!element)
    element = static_cast<TdgCellElement *>(
        FCellProps.AddElement(FCellProps.MakeElement(CellKeys{dataCol, dataRow})));
  DropCellCache();
  return element->EnsureCombo();
}

} // namespace marrowen

// What the column, row and cell objects ask of their grid.
#include "grid/dgbasegrid.h"

#include "grid/combo.h"

#include <algorithm>

namespace marrowen {

void TdgBaseGrid::setColWidth(int displayCol, int width) {
  if (displayCol < 0 || displayCol >= ColCount())
    return;
  if (FColWidths.empty())
    FColWidths.Update(FColCount, FDefaultColWidth);
  if (FColWidths[displayCol] == width)
    return;
  InvalidateGrid();
  FColWidths[displayCol] = width;
  ColWidthChanged(displayCol);
}

void TdgBaseGrid::setRowHeight(int displayRow, int height) {
  if (displayRow < 0 || displayRow >= RowCount())
    return;
  if (FRowHeights.empty())
    FRowHeights.Update(FRowCount, FDefaultRowHeight);
  if (FRowHeights[displayRow] == height)
    return;
  InvalidateGrid();
  FRowHeights[displayRow] = height;
  RowHeightChanged(displayRow);
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

void TdgBaseGrid::moveColumn(int fromDisplay, int toDisplay) {
  if (fromDisplay == toDisplay || fromDisplay < 1 || toDisplay < 1 || fromDisplay >= ColCount() ||
      toDisplay >= ColCount())
    return;
  const auto first = FColMap.begin();
  if (fromDisplay < toDisplay)
    std::rotate(first + fromDisplay, first + fromDisplay + 1, first + toDisplay + 1);
  else
    std::rotate(first + toDisplay, first + fromDisplay, first + fromDisplay + 1);
  for (int p = std::min(fromDisplay, toDisplay); p <= std::max(fromDisplay, toDisplay); ++p)
    if (TdgCol *col = FColStore->Item(FColMap[static_cast<std::size_t>(p)]))
      col->setDisplayColField(p);
  FVisibleCols.MoveItem(fromDisplay, toDisplay);
  DropCellCache();
  MoveColumn(fromDisplay, toDisplay);
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

// Deleting data rows and columns: the maps, sizes, selection, storage and
// property elements lose them in one pass each, and each deletion is
// reported by the number the line had at its turn.
#include "grid/widget/dgbasegrid.h"

#include <algorithm>

namespace marrowen {

namespace {

// Counts, among the data rows already removed, those numbered below a row,
// so each deleted row can be reported by the number it had at its turn.
class RemovedRowCounter {
public:
  explicit RemovedRowCounter(int size) : tree_(static_cast<std::size_t>(size) + 1, 0) {}
  void add(int row) {
    for (std::size_t i = static_cast<std::size_t>(row); i < tree_.size(); i += i & (~i + 1))
      ++tree_[i];
  }
  int below(int row) const {
    int n = 0;
    for (std::size_t i = static_cast<std::size_t>(row - 1); i > 0; i -= i & (~i + 1))
      n += tree_[i];
    return n;
  }

private:
  std::vector<int> tree_;
};

// Which of count data lines go, and the number each line has once they have.
struct Removal {
  std::vector<bool> deleted;
  std::vector<int> renumbered;
};

Removal planRemoval(const std::vector<int> &lines, int count) {
  Removal r{std::vector<bool>(static_cast<std::size_t>(count), false),
            std::vector<int>(static_cast<std::size_t>(count), 0)};
  for (int d : lines)
    r.deleted[static_cast<std::size_t>(d)] = true;
  for (int d = 0, removed = 0; d < count; ++d) {
    r.renumbered[static_cast<std::size_t>(d)] = d - removed;
    if (r.deleted[static_cast<std::size_t>(d)])
      ++removed;
  }
  return r;
}

} // namespace

// ------------------------------------------------------------- deletion

void TdgBaseGrid::RemoveDataRows(const std::vector<int> &dataRows) {
  if (dataRows.empty())
    return;
  // A list or picker open on the grid loses its cell, or its cell's number.
  CloseDropDowns();
  const int rowCount = RowCount();
  const Removal removal = planRemoval(dataRows, rowCount);
  const std::vector<bool> &deleted = removal.deleted;
  const std::vector<int> &renumbered = removal.renumbered;
  std::vector<bool> keep(static_cast<std::size_t>(rowCount), true);
  std::vector<int> map;
  map.reserve(FRowMap.size());
  bool selectionChanged = false;
  for (int p = 0; p < rowCount; ++p) {
    const int d = FRowMap[static_cast<std::size_t>(p)];
    if (deleted[static_cast<std::size_t>(d)]) {
      keep[static_cast<std::size_t>(p)] = false;
      selectionChanged = selectionChanged || FRowSelection.IsSelected(p);
    } else {
      map.push_back(renumbered[static_cast<std::size_t>(d)]);
    }
  }
  if (FRowStore)
    FRowStore->RemoveItems(deleted);
  {
    std::vector<bool> marks;
    for (int d = 0; d < rowCount && d < static_cast<int>(FRowChangedMarks.size()); ++d)
      if (!deleted[static_cast<std::size_t>(d)])
        marks.push_back(FRowChangedMarks[static_cast<std::size_t>(d)]);
    marks.resize(FRowChangedMarks.size(), false);
    FRowChangedMarks = std::move(marks);
  }
  {
    std::vector<int> newRow(renumbered);
    for (int d = 0; d < rowCount; ++d)
      if (deleted[static_cast<std::size_t>(d)])
        newRow[static_cast<std::size_t>(d)] = -1;
    RenumberCellElements({}, newRow);
  }
  FRowMap = std::move(map);
  FRowOrder.assign(FRowMap.size(), 0);
  for (std::size_t p = 0; p < FRowMap.size(); ++p) {
    FRowOrder[static_cast<std::size_t>(FRowMap[p])] = static_cast<int>(p);
    FRowStore->SetDisplayRow(FRowMap[p], static_cast<int>(p));
  }
  if (!FRowHeights.empty())
    FRowHeights.Filter(keep);
  // A line that takes a deleted fixed line's place brings its own size.
  SumFixedSizes();
  if (FRowSelection.Count > 0) {
    std::vector<bool> bits;
    bits.reserve(FRowMap.size());
    for (int p = 0; p < rowCount; ++p)
      if (keep[static_cast<std::size_t>(p)])
        bits.push_back(FRowSelection.IsSelected(p));
    bits.resize(static_cast<std::size_t>(rowCount), false);
    FRowSelection.Bits = std::move(bits);
    FRowSelection.Recount();
    if (selectionChanged)
      FSelectChanged[stRows] = true;
    if (FRowSelection.Count == 0 && FGridStatus == gsRowsSelected)
      ChangeGridStatus(gsNothing);
  }
  if (FStorage)
    FStorage->RemoveRowSet(deleted);
  if (HasValue() && FPendingRow >= 0 && FPendingRow < rowCount) {
    if (deleted[static_cast<std::size_t>(FPendingRow)])
      DropPending();
    else
      FPendingRow = renumbered[static_cast<std::size_t>(FPendingRow)];
  }
  FPendingRowRemovals += static_cast<int>(dataRows.size());
}

// The count shrinks under the current cell first and its place is chosen
// after: a current cell the shrinking drops onto the insert row does not
// enter it on the way.
void TdgBaseGrid::ShrinkRowCount() {
  FCountShrinking = true;
  ScopeExit done{[this] { FCountShrinking = false; }};
  ApplyRowCount(FDataRows - FPendingRowRemovals);
}

void TdgBaseGrid::DeleteRows(int fromRow, int toRow) {
  if (fromRow > Rows() || toRow < 1)
    return;
  fromRow = std::max(fromRow, 1);
  toRow = std::min(toRow, Rows());
  if (fromRow > toRow)
    return;
  const int oldRows = Rows();
  const int currentDataRow = GetCurrentDataRow();
  const int currentDisplayRow = Row();
  const bool onInsertRow = FInsertRowFlag && Row() == RowCount() - 1;
  const bool inRange = currentDataRow >= fromRow && currentDataRow <= toRow;
  if (inRange && !CanLeaveCell(GetCurrentDataCol(), 0, false))
    return;
  int displayBefore = 0;
  for (int r = fromRow; r <= toRow; ++r)
    if (GetDisplayRowOf(r) < currentDisplayRow)
      ++displayBefore;
  const int dataBefore =
      currentDataRow > fromRow ? std::min(toRow, currentDataRow - 1) - fromRow + 1 : 0;
  std::vector<int> gone(static_cast<std::size_t>(toRow - fromRow + 1));
  std::iota(gone.begin(), gone.end(), fromRow);
  std::vector<int> goneDisplay;
  for (const int r : gone)
    goneDisplay.push_back(GetDisplayRowOf(r));
  const TGridRect range = Selection();
  RemoveDataRows(gone);
  if (toRow == oldRows && FGridMode == gmEditInsert)
    FInsertRowFlag = 1;
  ShrinkRowCount();
  // Reported once the counts and maps agree again: a handler may read the
  // grid or paint it.
  for (int r = toRow; r >= fromRow; --r)
    RowDeleted(r, false);
  if (inRange)
    PlaceCurrentRowAfterDeletion(currentDisplayRow - displayBefore);
  else if (onInsertRow)
    PlaceOwnLine(true, RowCount() - 1);
  else if (currentDataRow >= 1)
    PlaceOwnLine(true, GetDisplayRowOf(currentDataRow - dataBefore));
  SetCellRange(RangeWithout(range, goneDisplay, true));
  InvalidateGrid();
  FollowCurrentCell();
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::DeleteSelectedRows() {
  if (FRowSelection.Count == 0)
    return;
  int start = FRowSelection.Last;
  if (start > Rows()) {
    start = FRowSelection.PrevSelected(start);
    if (start == -1)
      return;
  }
  const int currentDataRow = GetCurrentDataRow();
  const int currentDisplayRow = Row();
  const bool onInsertRow = FInsertRowFlag && Row() == RowCount() - 1;
  const bool currentSelected = FRowSelection.IsSelected(currentDisplayRow);
  // The last row shown goes, or the last by number: after rows were moved
  // either may be the new row entered from the insert row, which must come
  // back.
  const bool lastRowDeleted = start == Rows() || GetDataRow(start) == Rows();
  if (currentSelected && currentDisplayRow <= start && (FRowEditing || FCellEditing)) {
    // The row being edited goes: its saved copy and edit state go with it,
    // so no later undo can write it into another row.
    DropRowEdit();
  }
  std::vector<int> displayRows;
  for (int p = start; p != -1; p = FRowSelection.PrevSelected(p))
    displayRows.push_back(p);
  std::vector<int> dataRows;
  dataRows.reserve(displayRows.size());
  int displayBefore = 0, dataBefore = 0;
  for (int p : displayRows) {
    const int d = FRowMap[static_cast<std::size_t>(p)];
    dataRows.push_back(d);
    if (p < currentDisplayRow)
      ++displayBefore;
    if (d < currentDataRow)
      ++dataBefore;
  }
  // Each row is reported by the number it has when its turn comes, the
  // highest display row first, as if they were removed one by one.
  std::vector<int> reported;
  reported.reserve(dataRows.size());
  RemovedRowCounter counter(RowCount());
  for (int d : dataRows) {
    reported.push_back(d - counter.below(d));
    counter.add(d);
  }
  std::sort(dataRows.begin(), dataRows.end());
  RemoveDataRows(dataRows);
  if (lastRowDeleted && FGridMode == gmEditInsert)
    FInsertRowFlag = 1;
  ShrinkRowCount();
  for (int d : reported)
    RowDeleted(d, false);
  if (currentSelected)
    PlaceCurrentRowAfterDeletion(currentDisplayRow - displayBefore);
  else if (onInsertRow)
    PlaceOwnLine(true, RowCount() - 1);
  else if (currentDataRow >= 1)
    PlaceOwnLine(true, GetDisplayRowOf(currentDataRow - dataBefore));
  InvalidateGrid();
  FollowCurrentCell();
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::RemoveDataCols(const std::vector<int> &dataCols) {
  if (dataCols.empty())
    return;
  // A list or picker open on the grid loses its cell, or its cell's number.
  CloseDropDowns();
  const int colCount = ColCount();
  const Removal removal = planRemoval(dataCols, colCount);
  const std::vector<bool> &deleted = removal.deleted;
  const std::vector<int> &renumbered = removal.renumbered;
  std::vector<bool> keep(static_cast<std::size_t>(colCount), true);
  std::vector<int> map;
  std::vector<bool> bits;
  bool selectionChanged = false;
  for (int p = 0; p < colCount; ++p) {
    const int d = FColMap[static_cast<std::size_t>(p)];
    if (deleted[static_cast<std::size_t>(d)]) {
      keep[static_cast<std::size_t>(p)] = false;
      selectionChanged = selectionChanged || FColSelection.IsSelected(p);
    } else {
      map.push_back(renumbered[static_cast<std::size_t>(d)]);
      bits.push_back(FColSelection.IsSelected(p));
    }
  }
  FColMap = std::move(map);
  {
    std::vector<int> newCol(renumbered);
    for (int d = 0; d < colCount; ++d)
      if (deleted[static_cast<std::size_t>(d)])
        newCol[static_cast<std::size_t>(d)] = -1;
    RenumberCellElements(newCol, {});
  }
  if (!FColWidths.empty())
    FColWidths.Filter(keep);
  // A line that takes a deleted fixed line's place brings its own size.
  SumFixedSizes();
  if (!FTabStops.empty())
    FTabStops.Filter(keep);
  // Column objects: the kept ones close up with their new numbers and places.
  std::vector<std::unique_ptr<TdgCol>> objects;
  for (int d = 0; d < FColStore->Count(); ++d)
    objects.push_back(FColStore->TakeItem(d));
  int to = 0;
  for (int d = 0; d < static_cast<int>(objects.size()); ++d)
    if (!(d < colCount && deleted[static_cast<std::size_t>(d)]))
      FColStore->PutItem(to++, std::move(objects[static_cast<std::size_t>(d)]));
  for (int p = 0; p < static_cast<int>(FColMap.size()); ++p)
    if (TdgCol *col = FColStore->Item(FColMap[static_cast<std::size_t>(p)]))
      col->setDisplayColField(p);
  bits.resize(static_cast<std::size_t>(colCount), false);
  FColSelection.Bits = std::move(bits);
  FColSelection.Recount();
  if (selectionChanged)
    FSelectChanged[stCols] = true;
  if (FColSelection.Count == 0 && FGridStatus == gsColsSelected)
    ChangeGridStatus(gsNothing);
  if (FStorage)
    for (std::size_t i = dataCols.size(); i > 0; --i)
      FStorage->RemoveCols(dataCols[i - 1], dataCols[i - 1]);
  if (HasValue() && FPendingCol >= 0 && FPendingCol < colCount) {
    if (deleted[static_cast<std::size_t>(FPendingCol)])
      DropPending();
    else
      FPendingCol = renumbered[static_cast<std::size_t>(FPendingCol)];
  }
  FPendingColRemovals += static_cast<int>(dataCols.size());
}

void TdgBaseGrid::DeleteCols(int fromCol, int toCol) {
  if (fromCol > Cols() || toCol < 1)
    return;
  fromCol = std::max(fromCol, 1);
  toCol = std::min(toCol, Cols());
  if (fromCol > toCol)
    return;
  const int currentDataCol = GetCurrentDataCol();
  const int currentDisplayCol = Col();
  const bool inRange = currentDataCol >= fromCol && currentDataCol <= toCol;
  if (inRange && !CanLeaveCell(0, GetCurrentDataRow(), false))
    return;
  int displayBefore = 0;
  for (int c = fromCol; c <= toCol; ++c)
    if (DisplayColOf(c) < currentDisplayCol)
      ++displayBefore;
  const int dataBefore =
      currentDataCol > fromCol ? std::min(toCol, currentDataCol - 1) - fromCol + 1 : 0;
  std::vector<int> gone(static_cast<std::size_t>(toCol - fromCol + 1));
  std::iota(gone.begin(), gone.end(), fromCol);
  std::vector<int> goneDisplay;
  for (const int c : gone)
    goneDisplay.push_back(DisplayColOf(c));
  const TGridRect range = Selection();
  RemoveDataCols(gone);
  ApplyColCount(FDataCols - FPendingColRemovals);
  for (int c = toCol; c >= fromCol; --c)
    DoDeleteCol(c, false);
  if (inRange)
    PlaceCurrentCol(currentDisplayCol - displayBefore);
  else if (currentDataCol >= 1)
    PlaceOwnLine(false, DisplayColOf(currentDataCol - dataBefore));
  SetCellRange(RangeWithout(range, goneDisplay, false));
  InvalidateGrid();
  FollowCurrentCell();
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::DeleteSelectedCols() {
  if (FColSelection.Count == 0)
    return;
  const int currentDataCol = GetCurrentDataCol();
  const int currentDisplayCol = Col();
  const bool currentSelected = FColSelection.IsSelected(currentDisplayCol);
  if (currentSelected && FCellEditing) {
    // The cell being edited goes, and the value its undo would write back
    // with it: that undo would land in the cell that takes its place. The
    // row's edit goes on.
    FCellEditing = false;
    FEditStartGranted = false;
    DropPending();
  }
  std::vector<int> dataCols, reported;
  int displayBefore = 0, dataBefore = 0;
  RemovedRowCounter counter(ColCount());
  for (int p = FColSelection.Last; p != -1; p = FColSelection.PrevSelected(p)) {
    const int d = FColMap[static_cast<std::size_t>(p)];
    dataCols.push_back(d);
    if (p < currentDisplayCol)
      ++displayBefore;
    if (d < currentDataCol)
      ++dataBefore;
    reported.push_back(d - counter.below(d));
    counter.add(d);
  }
  std::sort(dataCols.begin(), dataCols.end());
  RemoveDataCols(dataCols);
  ApplyColCount(FDataCols - FPendingColRemovals);
  for (int d : reported)
    DoDeleteCol(d, false);
  if (currentSelected)
    PlaceCurrentCol(currentDisplayCol - displayBefore);
  else if (currentDataCol >= 1)
    PlaceOwnLine(false, DisplayColOf(currentDataCol - dataBefore));
  InvalidateGrid();
  FollowCurrentCell();
  FireSelectChanged(false);
  ReportGridStatus();
}

} // namespace marrowen

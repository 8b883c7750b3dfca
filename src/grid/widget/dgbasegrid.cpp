#include "grid/widget/dgbasegrid.h"

#include "grid/editing/combo.h"
#include "grid/editing/datetime.h"

#include "classlib/format.h"
#include "classlib/scopeexit.h"
#include "grid/data/celltext.h"
#include "grid/data/colrow.h"
#include "grid/data/qtbytes.h"

#include <algorithm>
#include <numeric>

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

TdgBaseGrid::TdgBaseGrid(QWidget *parent) : TCustomGrid_dg(parent) {
  FSettingDefaults = true;
  ConnectMessageTimers();
  // The data grid declares the two size lists itself and writes neither.
  FSaveCellExtents = false;
  SetOptions(TGridOptions());
  SetDefaultRowHeight(14);
  SetDefaultColWidth(64);
  FDataCols = 4;
  FDataRows = 4;
  SetColCount(5);
  SetRowCount(5);
  FHeadingFont.Assign(FFont);
  FHeadingFont.OnChange = [this] { InvalidateDisplayRow(0); };
  FFont.OnChange = [this] { GridFontChanged(); };
  FColStore = std::make_unique<TdgGridCols>(this, 0);
  FRowStore = std::make_unique<TdgGridRows>(this, 0);
  // The row store answers a row's display position to its row objects; it
  // follows every change of the grid's row order.
  FRowStore->EnsureDisplayMap();
  SizeChanged(ColCount(), RowCount());
  FColStore->Item(0)->setWidthFields(14, 14);
  FRowStore->Item(0)->setHeightFields(15, 15);
  SetColWidths(0, 14);
  SetRowHeights(0, 15);
  SetGridLineWidth(0);
  Initialize();
  FLastReportedCol = GetCurrentDataCol();
  FLastReportedRow = GetCurrentDataRow();
  TakeParentFont();
  CreateControls();
  FSettingDefaults = false;
}

TdgBaseGrid::~TdgBaseGrid() {
  FDestroying = true;
  // The lists sit on the drop-down window: they go first, with no roll-up.
  FComboCol = FComboRow = -1;
  FCellProps.Clear();
  FColStore.reset();
  FRowStore.reset();
  FCombo.reset();
  FDateTimeCol = FDateTimeRow = -1;
  if (FDateTimeDef && FDateTimeLink)
    FDateTimeDef->UnregisterLink(FDateTimeLink.get(), true);
  delete FDropDownForm;
  FDropDownForm = nullptr;
}

// ---------------------------------------------------- identity and errors

std::string TdgBaseGrid::Name() const { return qStringToBytes(objectName()); }

void TdgBaseGrid::SetName(const std::string &name) { setObjectName(bytesToQString(name)); }

void TdgBaseGrid::ReportError(const std::string &text) const {
  if (!FRaiseErrors)
    return;
  // A combo's list speaks for the grid that owns it, under that grid's
  // present name.
  const auto *list = dynamic_cast<const TdgComboGrid *>(this);
  const std::string name =
      list && list->OwnerGrid() ? list->OwnerGrid()->Name() + ".Combo" : Name();
  throw EInvalidGridOperation(name + ": " + text);
}

bool TdgBaseGrid::CheckIndex(TdgIndexKind kind, int value, int low, int high) const {
  if (value >= low && value <= high)
    return true;
  ReportError(Format(kind == TdgIndexKind::Column ? "Column index %d out of range"
                                                  : "Row index %d out of range",
                     {value}));
  return false;
}

void TdgBaseGrid::beginLoad() { ++FLoadCount; }

void TdgBaseGrid::endLoad() {
  if (FLoadCount > 0 && --FLoadCount == 0)
    Loaded();
}

void TdgBaseGrid::Loaded() { InvalidateGrid(); }

// ------------------------------------------------------ counts and maps

void TdgBaseGrid::SizeChanged(std::int32_t oldColCount, std::int32_t oldRowCount) {
  const int cols = ColCount();
  const int rows = RowCount();
  if (FStorage) {
    FStorage->MinCols = cols;
    FStorage->MinRows = rows;
  }
  auto extend = [](std::vector<int> &map, int size) {
    const int old = static_cast<int>(map.size());
    map.resize(static_cast<std::size_t>(size));
    for (int i = old; i < size; ++i)
      map[static_cast<std::size_t>(i)] = i;
  };
  extend(FColMap, cols);
  extend(FRowMap, rows);
  extend(FRowOrder, rows);
  FRowSelection.SetSize(rows);
  FColSelection.SetSize(cols);
  if (FColStore && FColStore->Count() != cols)
    FColStore->Resize(FColStore->Count(), cols);
  if (FRowStore && FRowStore->Count() != rows)
    FRowStore->Resize(FRowStore->Count(), rows);
  FRowChangedMarks.resize(static_cast<std::size_t>(rows), false);
  FColElements.resize(static_cast<std::size_t>(cols), 0);
  FRowElements.resize(static_cast<std::size_t>(rows), 0);
  FVisibleCols.SetVisibleCount(cols - 1, 1);
  FVisibleRows.SetVisibleCount(rows - 1, 1);
  if (FSettingDefaults)
    return;
  if (cols != oldColCount)
    DoColCountChanged(oldColCount - 1, cols - 1);
  const int oldRows = oldRowCount - 1 - FPreviousInsertRowFlag;
  const int newRows = rows - 1 - FInsertRowFlag;
  FPreviousInsertRowFlag = FInsertRowFlag;
  if (oldRows != newRows)
    DoRowCountChanged(oldRows, newRows);
}

void TdgBaseGrid::MakeFixed() {
  if (FixedCols() == 0 && ColCount() >= 2) {
    SetFixedCols(1);
    SetColWidths(0, RowBarOn() ? RowBarWidth() : 0);
  }
  if (FixedRows() == 0 && RowCount() >= 2) {
    SetFixedRows(1);
    SetRowHeights(0, HeadingOn() ? HeadingHeight() : 0);
  }
}

void TdgBaseGrid::ApplyColCount(int n) {
  FPendingColRemovals = 0;
  FDataCols = n;
  SetColCount(n + 1);
  MakeFixed();
  UpdateScrollRange();
}

void TdgBaseGrid::ApplyRowCount(int n) {
  FPendingRowRemovals = 0;
  FDataRows = n;
  SetRowCount(n + 1 + FInsertRowFlag);
  MakeFixed();
  UpdateScrollRange();
}

void TdgBaseGrid::SetCols(int value) {
  if (FPendingColRemovals > 0)
    return;
  value = std::max(value, 0);
  if (value == FDataCols)
    return;
  const int oldCols = FDataCols;
  const int currentDataCol = GetCurrentDataCol();
  // A count that drops the current cell must be allowed to end its edit.
  if (value < currentDataCol && !CanLeaveCell(0, GetCurrentDataRow(), false))
    return;
  HideEditor();
  if (value < oldCols && !FSettingDefaults) {
    // Columns beyond the new count go as a deletion takes them, objects,
    // values and widths with them, wherever they are shown.
    std::vector<int> gone(static_cast<std::size_t>(oldCols - value));
    std::iota(gone.begin(), gone.end(), value + 1);
    RemoveDataCols(gone);
  }
  ApplyColCount(value);
  for (int c = oldCols + 1; c <= value; ++c)
    DoInsertCol(c, false);
  if (value < oldCols) {
    if (currentDataCol > value)
      PlaceCurrentCol(Col());
    else if (currentDataCol >= 1)
      PlaceCurrentCol(DisplayColOf(currentDataCol));
  } else if (Col() < 1 && ColCount() > 1) {
    PlaceCurrentCol(1);
  }
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::SetRows(int value) {
  if (FPendingRowRemovals > 0)
    return;
  value = std::max(value, 0);
  if (value == FDataRows)
    return;
  const int oldRows = FDataRows;
  const int currentDataRow = GetCurrentDataRow();
  if (value < currentDataRow && !CanLeaveCell(GetCurrentDataCol(), -1, false))
    return;
  const bool onInsertRow = FInsertRowFlag && Row() == RowCount() - 1;
  HideEditor();
  if (FGridMode == gmEditInsert)
    FInsertRowFlag = 1;
  if (value < oldRows && !FSettingDefaults) {
    // Rows beyond the new count go as a deletion takes them, so the maps
    // never point past the stores after rows were moved.
    std::vector<int> gone(static_cast<std::size_t>(oldRows - value));
    std::iota(gone.begin(), gone.end(), value + 1);
    RemoveDataRows(gone);
  }
  ApplyRowCount(value);
  if (value < oldRows) {
    if (onInsertRow)
      PlaceCurrentRow(RowCount() - 1);
    else if (currentDataRow > value)
      PlaceCurrentRow(Row());
    else if (currentDataRow >= 1)
      PlaceCurrentRow(GetDisplayRowOf(currentDataRow));
  }
  ReportGridStatus();
}

void TdgBaseGrid::SetGridMode(TdgGridMode value) {
  if (value == FGridMode)
    return;
  // A list box has no edit to end later: the current one must end now.
  if (value == gmListBox && !CanLeaveCell(-1, -1, false))
    return;
  FGridMode = value;
  const int flag = value == gmEditInsert ? 1 : 0;
  if (flag != FInsertRowFlag) {
    FInsertRowFlag = flag;
    ApplyRowCount(FDataRows);
  }
  if (value == gmListBox || value == gmBrowse) {
    EndEdit();
    DropPending();
    HideCellEditor();
    FEditorCol = FEditorRow = -1;
  }
  if (!FSettingDefaults)
    RevalidateCurrentCol();
  if (value == gmEdit || value == gmEditInsert) {
    FEditorCol = FEditorRow = -1;
    PlaceEditor();
  }
  if (value == gmListBox && FRowSelectMode == rsSingle && Rows() >= 1 && Row() >= 1)
    SelectCurrentRow();
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::RevalidateCurrentCol() {
  if (Col() < 1 || Row() < 1)
    return;
  const bool skip = MovesSkipReadOnly();
  int col = NextCol(Col() - 1, skip);
  if (col < 1)
    col = PrevCol(Col(), skip);
  if (col >= 1 && col != Col())
    MoveCurrent(col, Row(), true, true);
}

void TdgBaseGrid::InsertRow(int displayRow) {
  if (!CheckIndex(TdgIndexKind::Row, displayRow, 1, Rows() + 1))
    return;
  const int oldRows = Rows();
  SetRows(Rows() + 1);
  if (Rows() == oldRows)
    return;
  SetDisplayRowOf(Rows(), displayRow);
  UpdateScrollRange();
  RowInserted(Rows(), false);
}

int TdgBaseGrid::GetCurrentDataRow() const {
  if (Row() < 1 || Row() > RowCount() - 1)
    return 0;
  return FRowMap[static_cast<std::size_t>(Row())];
}

int TdgBaseGrid::GetCurrentDataCol() const {
  if (Col() < 1 || Col() > ColCount() - 1)
    return 0;
  return FColMap[static_cast<std::size_t>(Col())];
}

void TdgBaseGrid::SetCurrentDataRow(int dataRow) {
  if (dataRow < 0 || dataRow > RowCount() - 1)
    return;
  const int displayRow = dataRow == 0 ? 0 : GetDisplayRowOf(dataRow);
  if (displayRow == Row())
    return;
  MoveCurrent(Col(), displayRow, true, true);
  if (FGridMode == gmListBox && FRowSelectMode == rsSingle)
    SelectCurrentRow();
  FireSelectChanged(false);
}

int TdgBaseGrid::GetDataRow(int displayRow) const {
  if (displayRow < 1 || displayRow > RowCount() - 1)
    return -1;
  return FRowMap[static_cast<std::size_t>(displayRow)];
}

int TdgBaseGrid::DataRowAt(int displayRow) const {
  if (displayRow < 0 || displayRow > RowCount() - 1)
    return -1;
  return FRowMap[static_cast<std::size_t>(displayRow)];
}

int TdgBaseGrid::DataColAt(int displayCol) const {
  if (displayCol < 0 || displayCol > ColCount() - 1)
    return -1;
  return FColMap[static_cast<std::size_t>(displayCol)];
}

int TdgBaseGrid::DisplayColOf(int dataCol) const {
  if (dataCol < 0 || dataCol > ColCount() - 1)
    return -1;
  const auto it = std::find(FColMap.begin(), FColMap.end(), dataCol);
  return it == FColMap.end() ? -1 : static_cast<int>(it - FColMap.begin());
}

int TdgBaseGrid::GetDisplayRowOf(int dataRow) const {
  if (dataRow < 1 || dataRow > RowCount() - 1)
    return -1;
  return FRowOrder[static_cast<std::size_t>(dataRow)];
}

void TdgBaseGrid::MoveRowDisplay(int fromDisplay, int toDisplay) {
  if (fromDisplay == toDisplay)
    return;
  const auto first = FRowMap.begin();
  if (fromDisplay < toDisplay)
    std::rotate(first + fromDisplay, first + fromDisplay + 1, first + toDisplay + 1);
  else
    std::rotate(first + toDisplay, first + fromDisplay, first + fromDisplay + 1);
  const int low = std::min(fromDisplay, toDisplay);
  const int high = std::max(fromDisplay, toDisplay);
  for (int p = low; p <= high; ++p) {
    const int d = FRowMap[static_cast<std::size_t>(p)];
    FRowOrder[static_cast<std::size_t>(d)] = p;
    FRowStore->SetDisplayRow(d, p);
  }
  // The selection marks travel with their rows.
  std::vector<bool> &bits = FRowSelection.Bits;
  if (FRowSelection.Count > 0 && high < static_cast<int>(bits.size())) {
    const bool moved = bits[static_cast<std::size_t>(fromDisplay)];
    if (fromDisplay < toDisplay)
      for (int p = fromDisplay; p < toDisplay; ++p)
        bits[static_cast<std::size_t>(p)] = bits[static_cast<std::size_t>(p + 1)];
    else
      for (int p = fromDisplay; p > toDisplay; --p)
        bits[static_cast<std::size_t>(p)] = bits[static_cast<std::size_t>(p - 1)];
    bits[static_cast<std::size_t>(toDisplay)] = moved;
    FRowSelection.Recount();
  }
  if (!FVisibleRowsDeferred)
    FVisibleRows.MoveItem(fromDisplay, toDisplay);
  DropCellCache();
  // Heights, the current cell and the anchor follow through the base grid.
  MoveRow(fromDisplay, toDisplay);
}

void TdgBaseGrid::SetDisplayRowOf(int dataRow, int displayRow) {
  if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, Rows()) ||
      !CheckIndex(TdgIndexKind::Row, displayRow, 1, Rows()))
    return;
  const int from = FRowOrder[static_cast<std::size_t>(dataRow)];
  if (from == displayRow)
    return;
  MoveRowDisplay(from, displayRow);
  DoRowMoved(displayRow, 1, false);
  InvalidateGrid();
  UpdateScrollRange();
}

void TdgBaseGrid::MoveRows(int fromDisplay, int toDisplay) {
  if (fromDisplay == toDisplay)
    return;
  if (FGridMode == gmEditInsert && FInsertRowFlag)
    DeselectRows(RowCount() - 1, RowCount() - 1);
  const TdgSelection &sel = FRowSelection;
  if (sel.Count == 0) {
    MoveRowDisplay(fromDisplay, toDisplay);
    DoRowMoved(toDisplay, 1, true);
  } else {
    std::vector<int> selected;
    for (int p = sel.First; p != -1; p = sel.NextSelected(p))
      selected.push_back(p);
    // Track each selected row by its data number while the others move.
    std::vector<int> dataRows;
    for (int p : selected)
      dataRows.push_back(FRowMap[static_cast<std::size_t>(p)]);
    const int n = static_cast<int>(selected.size());
    // Many rows moving one by one would shift the visible list each time;
    // it is built once afterwards instead.
    FVisibleRowsDeferred = n >= 100 && FVisibleRows.Active();
    auto place = [&](int index, int target) {
      const int from =
          FRowOrder[static_cast<std::size_t>(dataRows[static_cast<std::size_t>(index)])];
      if (from != target)
        MoveRowDisplay(from, target);
    };
    if (toDisplay < fromDisplay) {
      int below = 0;
      for (int i = 0; i < n && selected[static_cast<std::size_t>(i)] < toDisplay; ++i)
        ++below;
      for (int i = below - 1, k = 1; i >= 0; --i, ++k)
        place(i, toDisplay - k);
      for (int i = below, k = 0; i < n; ++i, ++k)
        place(i, toDisplay + k);
    } else {
      int above = n;
      while (above > 0 && selected[static_cast<std::size_t>(above - 1)] > toDisplay)
        --above;
      for (int i = above, k = 1; i < n; ++i, ++k)
        place(i, toDisplay + k);
      for (int i = above - 1, k = 0; i >= 0; --i, ++k)
        place(i, toDisplay - k);
    }
    if (FVisibleRowsDeferred) {
      FVisibleRowsDeferred = false;
      std::vector<int> shown;
      for (int p = 1; p < RowCount(); ++p) {
        const TdgRow *row = RowObject(FRowMap[static_cast<std::size_t>(p)]);
        if (!row || row->Visible())
          shown.push_back(p);
      }
      FVisibleRows.Rebuild(shown);
    }
    DoRowMoved(FRowSelection.First, FRowSelection.Count, true);
  }
  InvalidateGrid();
  UpdateScrollRange();
}

void TdgBaseGrid::PlaceCurrentRow(int displayRow) {
  const int lastRow = RowCount() - 1;
  if (lastRow < 1)
    return;
  int target = std::clamp(displayRow, 1, lastRow);
  // A hidden row cannot hold the current cell; look further down, then up.
  auto canHold = [this](int r) { return RowHeights(r) > 0; };
  int found = -1;
  for (int r = target; r <= lastRow && found < 0; ++r)
    if (canHold(r))
      found = r;
  if (found < 0 || (FInsertRowFlag && found == lastRow && found != target))
    for (int r = lastRow; r >= 1 && found < 0; --r)
      if (canHold(r))
        found = r;
  if (found < 0 || found == Row())
    return;
  MoveCurrent(std::max(Col(), std::min(1, ColCount() - 1)), found, true, true);
}

// ------------------------------------------------------------- deletion

void TdgBaseGrid::RemoveDataRows(const std::vector<int> &dataRows) {
  if (dataRows.empty())
    return;
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
  FPendingRowRemovals += static_cast<int>(dataRows.size());
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
  RemoveDataRows(gone);
  for (int r = toRow; r >= fromRow; --r)
    RowDeleted(r, false);
  if (toRow == oldRows && FGridMode == gmEditInsert)
    FInsertRowFlag = 1;
  ApplyRowCount(FDataRows - FPendingRowRemovals);
  if (inRange)
    PlaceCurrentRow(currentDisplayRow - displayBefore);
  else if (onInsertRow)
    PlaceCurrentRow(RowCount() - 1);
  else if (currentDataRow >= 1)
    PlaceCurrentRow(GetDisplayRowOf(currentDataRow - dataBefore));
  InvalidateGrid();
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
  const bool lastRowDeleted = GetDataRow(start) == Rows();
  if (currentSelected && currentDisplayRow <= start && (FRowEditing || FCellEditing)) {
    // The row being edited goes: its saved copy and edit state go with it,
    // so no later undo can write it into another row.
    if (FStorage)
      FStorage->ClearSavedRow();
    ResetEditState();
    DropPending();
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
  for (int d : reported)
    RowDeleted(d, false);
  if (lastRowDeleted && FGridMode == gmEditInsert)
    FInsertRowFlag = 1;
  ApplyRowCount(FDataRows - FPendingRowRemovals);
  if (currentSelected) {
    int target = currentDisplayRow - displayBefore;
    if (FInsertRowFlag && target >= RowCount() - 1)
      target = RowCount() - 2;
    PlaceCurrentRow(target);
  } else if (onInsertRow) {
    PlaceCurrentRow(RowCount() - 1);
  } else if (currentDataRow >= 1) {
    PlaceCurrentRow(GetDisplayRowOf(currentDataRow - dataBefore));
  }
  InvalidateGrid();
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::PlaceCurrentCol(int displayCol) {
  const int lastCol = ColCount() - 1;
  if (lastCol < 1)
    return;
  int target = std::clamp(displayCol, 1, lastCol);
  // A column of no width cannot hold the current cell.
  int found = -1;
  for (int c = target; c <= lastCol && found < 0; ++c)
    if (ColWidths(c) > 0)
      found = c;
  for (int c = target - 1; c >= 1 && found < 0; --c)
    if (ColWidths(c) > 0)
      found = c;
  if (found < 0 || found == Col())
    return;
  MoveCurrent(found, std::clamp(Row(), 0, RowCount() - 1), true, true);
}

void TdgBaseGrid::RemoveDataCols(const std::vector<int> &dataCols) {
  if (dataCols.empty())
    return;
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
  RemoveDataCols(gone);
  for (int c = toCol; c >= fromCol; --c)
    DoDeleteCol(c, false);
  ApplyColCount(FDataCols - FPendingColRemovals);
  if (inRange)
    PlaceCurrentCol(currentDisplayCol - displayBefore);
  else if (currentDataCol >= 1)
    PlaceCurrentCol(DisplayColOf(currentDataCol - dataBefore));
  InvalidateGrid();
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::DeleteSelectedCols() {
  if (FColSelection.Count == 0)
    return;
  const int currentDataCol = GetCurrentDataCol();
  const int currentDisplayCol = Col();
  const bool currentSelected = FColSelection.IsSelected(currentDisplayCol);
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
  for (int d : reported)
    DoDeleteCol(d, false);
  ApplyColCount(FDataCols - FPendingColRemovals);
  if (currentSelected)
    PlaceCurrentCol(currentDisplayCol - displayBefore);
  else if (currentDataCol >= 1)
    PlaceCurrentCol(DisplayColOf(currentDataCol - dataBefore));
  InvalidateGrid();
  FireSelectChanged(false);
  ReportGridStatus();
}

// A change of selection repaints only what is on screen, in runs of adjacent
// rows or columns whose look changed, instead of one repaint per item.
class TdgBaseGrid::SelectionRedraw {
public:
  SelectionRedraw(TdgBaseGrid &grid, bool rows) : grid_(grid), rows_(rows) {
    first_ = rows ? grid.TopRow() : grid.LeftCol();
    last_ = first_ + (rows ? grid.VisibleRowCount() : grid.VisibleColCount());
  }
  ~SelectionRedraw() { flush(); }
  void changed(int index) {
    if (index < first_ || index > last_)
      return;
    if (runFrom_ >= 0 && index == runTo_ + 1) {
      runTo_ = index;
      return;
    }
    flush();
    runFrom_ = runTo_ = index;
  }
  // The visible part of from..to.
  int from(int from) const { return std::max(from, first_); }
  int to(int to) const { return std::min(to, last_); }

private:
  void flush() {
    if (runFrom_ < 0)
      return;
    if (rows_)
      grid_.InvalidateRect(TGridRect{0, runFrom_, grid_.ColCount() - 1, runTo_});
    else
      grid_.InvalidateRect(TGridRect{runFrom_, 0, runTo_, grid_.RowCount() - 1});
    runFrom_ = runTo_ = -1;
  }
  TdgBaseGrid &grid_;
  bool rows_;
  int first_, last_;
  int runFrom_ = -1, runTo_ = -1;
};

void TdgBaseGrid::SelectCols(int fromDisplay, int toDisplay) {
  SelectLines(false, fromDisplay, toDisplay);
}

// Hidden lines (an invisible column, a row of no height) are never selected.
void TdgBaseGrid::SelectLines(bool rows, int fromDisplay, int toDisplay) {
  if (fromDisplay > toDisplay)
    std::swap(fromDisplay, toDisplay);
  toDisplay = std::min(toDisplay, (rows ? RowCount() : ColCount()) - 1);
  if (toDisplay < 1)
    return;
  fromDisplay = std::max(fromDisplay, 1);
  TdgSelection &sel = rows ? FRowSelection : FColSelection;
  const auto hidden = [&](int i) {
    if (rows)
      return RowHeights(i) <= 0;
    const TdgCol *col = FColStore->Item(FColMap[static_cast<std::size_t>(i)]);
    return col && !col->Visible();
  };
  SelectionRedraw redraw(*this, rows);
  for (int i = fromDisplay; i <= toDisplay; ++i) {
    if (sel.Bits[static_cast<std::size_t>(i)] || hidden(i))
      continue;
    FSelectChanged[rows ? stRows : stCols] = true;
    if (sel.First == -1 || i < sel.First)
      sel.First = i;
    if (i > sel.Last)
      sel.Last = i;
    sel.Bits[static_cast<std::size_t>(i)] = true;
    ++sel.Count;
    redraw.changed(i);
  }
  if (sel.Count >= 1 && FGridStatus == gsNothing)
    ChangeGridStatus(rows ? gsRowsSelected : gsColsSelected);
}

void TdgBaseGrid::DeselectCols(int fromDisplay, int toDisplay) {
  TdgSelection &sel = FColSelection;
  if (sel.Count == 0)
    return;
  if (fromDisplay > toDisplay)
    std::swap(fromDisplay, toDisplay);
  toDisplay = std::min(toDisplay, ColCount() - 1);
  fromDisplay = std::max(fromDisplay, 1);
  if (fromDisplay > toDisplay)
    return;
  SelectionRedraw redraw(*this, false);
  for (int c = fromDisplay; c <= toDisplay; ++c) {
    if (!sel.Bits[static_cast<std::size_t>(c)])
      continue;
    FSelectChanged[stCols] = true;
    sel.Bits[static_cast<std::size_t>(c)] = false;
    redraw.changed(c);
  }
  sel.Recount();
  if (sel.Count == 0 && FGridStatus == gsColsSelected)
    ChangeGridStatus(gsNothing);
}

void TdgBaseGrid::ToggleCols(int fromDisplay, int toDisplay) {
  if (fromDisplay > toDisplay)
    std::swap(fromDisplay, toDisplay);
  fromDisplay = std::max(fromDisplay, 1);
  toDisplay = std::min(toDisplay, ColCount() - 1);
  TdgSelection &sel = FColSelection;
  if (sel.Count == 0) {
    SelectCols(fromDisplay, toDisplay);
    return;
  }
  SelectionRedraw redraw(*this, false);
  for (int c = fromDisplay; c <= toDisplay; ++c) {
    const TdgCol *col = FColStore->Item(FColMap[static_cast<std::size_t>(c)]);
    if (col && !col->Visible())
      continue;
    const bool selected = !sel.Bits[static_cast<std::size_t>(c)];
    sel.Bits[static_cast<std::size_t>(c)] = selected;
    FSelectChanged[stCols] = true;
    redraw.changed(c);
  }
  sel.Recount();
  if (sel.Count == 0 && FGridStatus == gsColsSelected)
    ChangeGridStatus(gsNothing);
  else if (sel.Count > 0 && FGridStatus == gsNothing)
    ChangeGridStatus(gsColsSelected);
}

// ----------------------------------------------------------------- values

void TdgBaseGrid::SetStoreData(bool value) {
  if (value == StoreData())
    return;
  if (value) {
    FStorage = std::make_unique<Tdg2DStorage>(ColCount(), RowCount());
  } else {
    FStorage.reset();
    FImageListIds.clear();
  }
  Repaint();
}

const TdgCol *TdgBaseGrid::ColObject(int dataCol) const {
  return dataCol >= 0 && dataCol < FColStore->Count() ? FColStore->Item(dataCol) : nullptr;
}

const TdgRow *TdgBaseGrid::RowObject(int dataRow) const {
  return dataRow >= 0 && dataRow < FRowStore->Count() ? FRowStore->Item(dataRow) : nullptr;
}

TdgControlType TdgBaseGrid::ControlTypeCascade(int dataCol, int dataRow) const {
  const TdgControlType type = const_cast<TdgBaseGrid *>(this)->Cascade(
      dataCol, dataRow, [](const CellLevel &l) { return l.ControlType(); }, ctDefault);
  return type == ctDefault ? ctText : type;
}

// ------------------------------------------------------------ the cascade

namespace {

template <class T> T cellProp(const TdgCellElement *cell, int number, int sub = 0) {
  return static_cast<T>(cell->GetProp(number, sub).toInteger());
}

} // namespace

TColor TdgBaseGrid::CellLevel::Color() const {
  return cell ? cellProp<TColor>(cell, pnColor) : line->Color();
}

TdgControlType TdgBaseGrid::CellLevel::ControlType() const {
  return cell ? cellProp<TdgControlType>(cell, pnControlType) : line->ControlType();
}

TdgButtonType TdgBaseGrid::CellLevel::ButtonType() const {
  return cell ? cellProp<TdgButtonType>(cell, pnButtonType) : line->ButtonType();
}

TdgDropDownStyle TdgBaseGrid::CellLevel::DropDownStyle() const {
  return cell ? cellProp<TdgDropDownStyle>(cell, pnDropDownStyle) : line->DropDownStyle();
}

TdgWordWrap TdgBaseGrid::CellLevel::WordWrap() const {
  return cell ? cellProp<TdgWordWrap>(cell, pnWordWrap) : line->WordWrap();
}

TdgHorzAlignment TdgBaseGrid::CellLevel::HorzAlignment() const {
  return cell ? cellProp<TdgHorzAlignment>(cell, pnHorzAlignment) : line->HorzAlignment();
}

TdgVertAlignment TdgBaseGrid::CellLevel::VertAlignment() const {
  return cell ? cellProp<TdgVertAlignment>(cell, pnVertAlignment) : line->VertAlignment();
}

TdgDrawOption TdgBaseGrid::CellLevel::PictureOption(int sub) const {
  if (cell)
    return cellProp<TdgDrawOption>(cell, pnPictureOptions, sub);
  switch (sub) {
  case 1:
    return line->StretchPicture();
  case 2:
    return line->ShrinkPicture();
  case 3:
    return line->CenterPicture();
  default:
    return line->KeepAspectRatio();
  }
}

std::string TdgBaseGrid::CellLevel::MaskName() const {
  return cell ? cell->GetProp(pnMaskName, 0).toString() : line->MaskName();
}

TdgSpinOptions TdgBaseGrid::CellLevel::SpinOptions() const {
  return cell ? cellProp<TdgSpinOptions>(cell, pnSpinOptions) : line->SpinOptions();
}

double TdgBaseGrid::CellLevel::SpinIncrement() const {
  return cell ? cell->GetProp(pnSpinIncrement, 0).toDouble() : line->SpinIncrement();
}

TdgCombo *TdgBaseGrid::CellLevel::Combo() const { return cell ? cell->Combo() : line->Combo(); }

bool TdgBaseGrid::CellLevel::ParentCombo() const {
  return cell ? cell->GetProp(pnParentCombo, 0).toBoolean() : line->ParentCombo();
}

TdgDateTimeDefComponent *TdgBaseGrid::CellLevel::DateTimeDef() const {
  return cell ? cell->DateTimeDef() : line->DateTimeDef();
}

std::array<TdgBaseGrid::CellLevel, 3> TdgBaseGrid::CellLevels(int dataCol, int dataRow) {
  const CellLevel col{nullptr, dataCol >= 1 ? ColObject(dataCol) : nullptr};
  const CellLevel row{nullptr, dataRow >= 1 ? RowObject(dataRow) : nullptr};
  const CellLevel cell{CellElement(dataCol, dataRow, false), nullptr};
  if (FDrawOverlap == doDrawRowOnTop)
    return {cell, row, col};
  return {cell, col, row};
}

TdgControlType TdgBaseGrid::EffectiveControlType(int dataCol, int dataRow) const {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > Rows())
    return ctNone;
  return ControlTypeCascade(dataCol, dataRow);
}

TdgControlType TdgBaseGrid::CellControlType(int dataCol, int dataRow) {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > RowCount() - 1)
    return ctNone;
  return ControlTypeCascade(dataCol, dataRow);
}

// ------------------------------------------------------- cell properties

void TdgBaseGrid::cellElementAdded(TdgCellElement &element) {
  DropCellCache();
  if (element.DataCol >= 0 && element.DataCol < static_cast<int>(FColElements.size()))
    ++FColElements[static_cast<std::size_t>(element.DataCol)];
  if (element.DataRow >= 0 && element.DataRow < static_cast<int>(FRowElements.size()))
    ++FRowElements[static_cast<std::size_t>(element.DataRow)];
}

void TdgBaseGrid::cellElementRemoved(TdgCellElement &element) {
  DropCellCache();
  if (element.DataCol >= 0 && element.DataCol < static_cast<int>(FColElements.size()))
    --FColElements[static_cast<std::size_t>(element.DataCol)];
  if (element.DataRow >= 0 && element.DataRow < static_cast<int>(FRowElements.size()))
    --FRowElements[static_cast<std::size_t>(element.DataRow)];
}

TdgCellElement *TdgBaseGrid::CellElement(int dataCol, int dataRow, bool testIndexes) {
  if (FCacheValid && FCacheCol == dataCol && FCacheRow == dataRow)
    return FCacheElement;
  if (testIndexes && (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
                      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1)))
    return nullptr;
  if (FCellProps.Count() == 0)
    return nullptr;
  TdgCellElement *element = nullptr;
  const bool colEmpty = dataCol < 0 || dataCol >= static_cast<int>(FColElements.size()) ||
                        FColElements[static_cast<std::size_t>(dataCol)] == 0;
  const bool rowEmpty = dataRow < 0 || dataRow >= static_cast<int>(FRowElements.size()) ||
                        FRowElements[static_cast<std::size_t>(dataRow)] == 0;
  if (!(colEmpty || rowEmpty))
    element = FCellProps.FindCell(dataCol, dataRow);
  FCacheValid = true;
  FCacheCol = dataCol;
  FCacheRow = dataRow;
  FCacheElement = element;
  return element;
}

Variant TdgBaseGrid::GetCellProperty(int dataCol, int dataRow, int number, int subIndex) {
  const TdgCellElement *element = CellElement(dataCol, dataRow, false);
  return element ? element->GetProp(number, subIndex) : CellPropertyDefault(number, subIndex);
}

void TdgBaseGrid::SetCellProperty(int dataCol, int dataRow, int number, const Variant &value,
                                  int subIndex) {
  if (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return;
  TdgCellElement *cell = CellElement(dataCol, dataRow, false);
  if (number == pnControlType &&
      (cell ? cell->GetProp(pnControlType, 0) : CellPropertyDefault(pnControlType, 0))
              .toInteger() == value.toInteger())
    return;
  TdgCustomPropElement *element = cell;
  FCellProps.SetProperty(CellKeys{dataCol, dataRow}, number, subIndex, value, number != pnMaskName,
                         element);
  DropCellCache();
  if (number == pnControlType)
    dropUnfitValues(dataCol, dataRow);
}

TFont *TdgBaseGrid::GetCellFont(int dataCol, int dataRow) {
  TdgCellElement *element = CellElement(dataCol, dataRow, false);
  if (element) {
    if (!element->Font() && element->KeepOwnFonts())
      element->CopyFont(FFont);
    else if (element->Font() && element->GetProp(pnParentFont, 0).toBoolean() &&
             !element->KeepOwnFonts() && NotLoading())
      element->SetFont(nullptr);
  }
  const bool parentFont = !element || element->GetProp(pnParentFont, 0).toBoolean();
  if (parentFont && Saving())
    return nullptr;
  if ((element && element->Font()) || NotLoading())
    return element ? element->Font() : nullptr;
  SetCellFont(dataCol, dataRow, &FFont);
  element = CellElement(dataCol, dataRow, false);
  return element ? element->Font() : nullptr;
}

void TdgBaseGrid::SetCellFont(int dataCol, int dataRow, const TFont *font) {
  if (!font) {
    SetCellProperty(dataCol, dataRow, pnFont, Variant(std::int32_t(0)));
    return;
  }
  if (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return;
  TdgCustomPropElement *element = CellElement(dataCol, dataRow, false);
  if (!element)
    element = FCellProps.AddElement(FCellProps.MakeElement(CellKeys{dataCol, dataRow}));
  element->SetFont(font);
  DropCellCache();
  repaintCell(dataCol, dataRow);
}

void TdgBaseGrid::RenumberCellElements(const std::vector<int> &newCol,
                                       const std::vector<int> &newRow) {
  DropCellCache();
  if (FCellProps.Count() == 0)
    return;
  const std::unique_ptr<TdgSetList> list = FCellProps.ToList();
  std::vector<std::unique_ptr<TdgSetElement>> kept;
  for (int i = 1; i <= list->Count(); ++i) {
    const auto *element = static_cast<const TdgCellElement *>(list->Get(i));
    const int c = element->DataCol < static_cast<int>(newCol.size())
                      ? newCol[static_cast<std::size_t>(element->DataCol)]
                      : element->DataCol;
    const int r = element->DataRow < static_cast<int>(newRow.size())
                      ? newRow[static_cast<std::size_t>(element->DataRow)]
                      : element->DataRow;
    if (c < 0 || r < 0)
      continue;
    std::unique_ptr<TdgSetElement> clone = element->CloneElement();
    auto *cell = static_cast<TdgCellElement *>(clone.get());
    cell->DataCol = c;
    cell->DataRow = r;
    kept.push_back(std::move(clone));
  }
  FCellProps.Clear();
  std::fill(FColElements.begin(), FColElements.end(), 0);
  std::fill(FRowElements.begin(), FRowElements.end(), 0);
  for (auto &element : kept) {
    const auto *cell = static_cast<const TdgCellElement *>(element.get());
    if (cell->DataCol < static_cast<int>(FColElements.size()))
      ++FColElements[static_cast<std::size_t>(cell->DataCol)];
    if (cell->DataRow < static_cast<int>(FRowElements.size()))
      ++FRowElements[static_cast<std::size_t>(cell->DataRow)];
    FCellProps.Add(std::move(element));
  }
  DropCellCache();
}

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

// ------------------------------------------------- effective properties

void TdgBaseGrid::SetDrawOverlap(TdgDrawOverlap value) {
  if (value == FDrawOverlap)
    return;
  FDrawOverlap = value;
  InvalidateGrid();
  UpdateEdit();
  // Which of column and row decides may change a cell's control type.
  dropUnfitValues(-1, -1);
}

TColor TdgBaseGrid::EffectiveColor(int dataCol, int dataRow, bool drawn3D) {
  if (dataRow == 0) {
    const TdgCol *col = ColObject(dataCol);
    if (dataCol > 0 && col && col->HeadingColor() != clNone)
      return col->HeadingColor();
    return FHeadingColor;
  }
  if (const TColor own = Cascade(
          dataCol, dataRow, [](const CellLevel &l) { return l.Color(); }, TColor(clNone));
      own != clNone)
    return own;
  if ((Color() == clNone || Color() == clWindow) && drawn3D)
    return clBtnFace;
  return Color();
}

const TFont &TdgBaseGrid::EffectiveFont(int dataCol, int dataRow) {
  if (dataCol == 0 || dataRow == 0) {
    const TdgCol *col = ColObject(dataCol);
    return col && col->OwnHeadingFont() ? *col->OwnHeadingFont() : FHeadingFont;
  }
  const TdgCellElement *cell = CellElement(dataCol, dataRow, false);
  if (cell && !cell->GetProp(pnParentFont, 0).toBoolean() && cell->Font())
    return *cell->Font();
  const TdgCol *col = ColObject(dataCol);
  const TdgRow *row = RowObject(dataRow);
  const TFont *colFont = col && !col->ParentFont() ? col->OwnFont() : nullptr;
  const TFont *rowFont = row && !row->ParentFont() ? row->OwnFont() : nullptr;
  const TFont *own = OnTop<const TFont *>(colFont, rowFont, nullptr);
  return own ? *own : FFont;
}

TdgWordWrap TdgBaseGrid::EffectiveWordWrap(int dataCol, int dataRow) {
  if (dataRow == 0) {
    const TdgCol *col = ColObject(dataCol);
    const TdgWordWrap own = col ? col->HeadingWordWrap() : wwDefault;
    return own != wwDefault ? own : FHeadingWordWrap;
  }
  if (dataRow > 0)
    if (const TdgWordWrap own = Cascade(
            dataCol, dataRow, [](const CellLevel &l) { return l.WordWrap(); }, wwDefault);
        own != wwDefault)
      return own;
  return FWordWrap;
}

TdgHorzAlignment TdgBaseGrid::EffectiveHorzAlignment(int dataCol, int dataRow) {
  TdgHorzAlignment result = htaDefault;
  const TdgCol *col = ColObject(dataCol);
  if (dataRow == 0) {
    result = col ? col->HeadingHorzAlignment() : htaDefault;
    if (result == htaDefault)
      result = FHeadingHorzAlignment;
  } else {
    result = Cascade(
        dataCol, dataRow, [](const CellLevel &l) { return l.HorzAlignment(); }, htaDefault);
  }
  if (result == htaDefault)
    result = FHorzAlignment;
  return result == htaDefault ? htaLeft : result;
}

bool TdgBaseGrid::EffectiveIs3D(int dataCol, int dataRow) {
  if (dataRow == 0)
    return FHeading3D;
  const TdgCol *col = ColObject(dataCol);
  const TdgRow *row = RowObject(dataRow);
  return FIs3D || (col && col->Is3D()) || (row && row->Is3D()) ||
         GetCellProperty(dataCol, dataRow, pnIs3D).toBoolean();
}

// ------------------------------------------------------- column and row objects

TdgCol *TdgBaseGrid::GetCol(const Variant &index) {
  switch (index.type()) {
  case varSmallint:
  case varInteger:
  case varByte: {
    const int i = index.toInteger();
    return CheckIndex(TdgIndexKind::Column, i, 1, ColCount() - 1) ? FColStore->Item(i) : nullptr;
  }
  case varString:
  case varOleStr: {
    TdgCol *col = FColStore->FindByFieldName(index.toString());
    if (!col)
      ReportError(Format("Unknown field name '%s'", {index.toString()}));
    return col;
  }
  default:
    return nullptr;
  }
}

bool TdgBaseGrid::GetRowVisible(int dataRow) {
  if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, Rows()))
    return true;
  const TdgRow *row = FRowStore->Item(dataRow);
  return row ? row->Visible() : true;
}

void TdgBaseGrid::SetRowVisible(int dataRow, bool visible) {
  if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, Rows()))
    return;
  if (visible && !FRowStore->Item(dataRow))
    return;
  FRowStore->EnsureRowObject(dataRow).SetVisible(visible);
  FRowStore->ReleaseIfDefault(dataRow);
}

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

void TdgBaseGrid::MoveCols(int fromDisplay, int toDisplay) {
  if (fromDisplay == toDisplay)
    return;
  const TdgSelection &sel = FColSelection;
  if (sel.Count == 0) {
    moveColumn(fromDisplay, toDisplay);
    DoColMoved(toDisplay, 1, true);
  } else {
    std::vector<int> selected;
    for (int p = sel.First; p != -1; p = sel.NextSelected(p))
      selected.push_back(p);
    std::vector<int> dataCols;
    for (int p : selected)
      dataCols.push_back(FColMap[static_cast<std::size_t>(p)]);
    const int n = static_cast<int>(selected.size());
    // Each placement moves one column; its selection mark goes with it.
    auto place = [&](int index, int target) {
      const int from = DisplayColOf(dataCols[static_cast<std::size_t>(index)]);
      if (from == target)
        return;
      moveColumn(from, target);
      std::vector<bool> &bits = FColSelection.Bits;
      const bool mark = bits[static_cast<std::size_t>(from)];
      if (from < target)
        for (int p = from; p < target; ++p)
          bits[static_cast<std::size_t>(p)] = bits[static_cast<std::size_t>(p + 1)];
      else
        for (int p = from; p > target; --p)
          bits[static_cast<std::size_t>(p)] = bits[static_cast<std::size_t>(p - 1)];
      bits[static_cast<std::size_t>(target)] = mark;
    };
    if (toDisplay < fromDisplay) {
      int below = 0;
      while (below < n && selected[static_cast<std::size_t>(below)] < toDisplay)
        ++below;
      for (int i = below - 1, k = 1; i >= 0; --i, ++k)
        place(i, toDisplay - k);
      for (int i = below, k = 0; i < n; ++i, ++k)
        place(i, toDisplay + k);
    } else {
      int above = n;
      while (above > 0 && selected[static_cast<std::size_t>(above - 1)] > toDisplay)
        --above;
      for (int i = above, k = 1; i < n; ++i, ++k)
        place(i, toDisplay + k);
      for (int i = above - 1, k = 0; i >= 0; --i, ++k)
        place(i, toDisplay - k);
    }
    FColSelection.Recount();
    DoColMoved(FColSelection.First, FColSelection.Count, true);
  }
  InvalidateGrid();
  UpdateScrollRange();
}

void TdgBaseGrid::ColWidthsChanged() {
  if (!SyncSizes(false))
    return;
  TCustomGrid_dg::ColWidthsChanged();
  if (!FSettingDefaults)
    DoColResized(-1);
}

void TdgBaseGrid::ExtentStored(bool rows, std::int32_t index) {
  if (FSyncingSizes || FScaling > 0 || index < 0 || !FColStore || !FRowStore)
    return;
  if (rows) {
    const int height = std::max(0, RowHeights(index));
    if (index == 0) {
      if (HeadingOn() && FRowStore->Count() > 0)
        FRowStore->EnsureRowObject(0).setHeightFields(height, height);
      return;
    }
    const int dataRow = DataRowAt(index);
    if (dataRow < 1 || dataRow > Rows())
      return;
    const TdgRow *row = RowObject(dataRow);
    if ((row && !row->Visible()) || height == (row ? row->Height() : DefaultRowHeight()))
      return;
    FRowStore->EnsureRowObject(dataRow).setHeightFields(height, height);
    FRowStore->ReleaseIfDefault(dataRow);
    return;
  }
  const int width = std::max(0, ColWidths(index));
  TdgCol *col = index == 0 ? (FColStore->Count() > 0 ? FColStore->Item(0) : nullptr)
                           : FColStore->Item(std::max(0, DataColAt(index)));
  if (col && col->Visible() && (index == 0 || DataColAt(index) >= 1))
    col->setWidthFields(width, width);
}

void TdgBaseGrid::ColWidthChanged(int displayCol) {
  if (FSyncingSizes)
    return;
  FSyncingSizes = true;
  ScopeExit done{[this] { FSyncingSizes = false; }};
  if (displayCol >= 1) {
    const TdgCol *col = ColObject(DataColAt(displayCol));
    if (col && !col->Visible() && ColWidths(displayCol) != 0)
      FColWidths[displayCol] = 0;
  }
  if (displayCol < FixedCols()) {
    FFixedWidth = 0;
    for (int c = 0; c < FixedCols(); ++c)
      FFixedWidth += ColWidths(c);
  }
  FSyncingSizes = false;
  UpdateScrollRange();
  UpdateEdit();
}

void TdgBaseGrid::RowHeightChanged(int displayRow) {
  if (FSyncingSizes)
    return;
  FSyncingSizes = true;
  ScopeExit done{[this] { FSyncingSizes = false; }};
  if (displayRow >= 1 && displayRow <= Rows()) {
    const TdgRow *row = RowObject(DataRowAt(displayRow));
    if (row && !row->Visible() && RowHeights(displayRow) != 0)
      FRowHeights[displayRow] = 0;
  }
  if (displayRow < FixedRows()) {
    FFixedHeight = 0;
    for (int r = 0; r < FixedRows(); ++r)
      FFixedHeight += RowHeights(r);
  }
  FSyncingSizes = false;
  UpdateScrollRange();
  UpdateEdit();
}

void TdgBaseGrid::RowHeightsChanged() {
  if (!SyncSizes(true))
    return;
  TCustomGrid_dg::RowHeightsChanged();
  if (!FSettingDefaults)
    DoRowResized(-1);
}

void TdgBaseGrid::TopLeftMoved(TGridCoord oldTopLeft) {
  ++FTopLeftDepth;
  ScopeExit done{[this] { --FTopLeftDepth; }};
  // The in-place control does not scroll with the cells: it goes and comes.
  if (FEditorShown)
    HideCellEditor(true);
  TCustomGrid_dg::TopLeftMoved(oldTopLeft);
  // A window grown or rows removed may leave the top-left past the last
  // place that still fills the window.
  if (HandleAllocated() && !Updating()) {
    const int left = std::min<int>(LeftCol(), std::max<int>(MaxLeftCol(), FixedCols()));
    const int top = std::min<int>(TopRow(), std::max<int>(MaxTopRow(), FixedRows()));
    if (left != LeftCol() || top != TopRow()) {
      BeginUpdate();
      ScopeExit unlock{[this] { EndUpdate(); }};
      TCustomGrid_dg::MoveTopLeft(left, top);
    }
  }
  if (FTopLeftDepth == 1) {
    PlaceEditor();
    ReportTopLeft(FTopLeftByUser);
  }
}

void TdgBaseGrid::ReportTopLeft(bool byUser) {
  const TGridCoord now{LeftCol(), TopRow()};
  if (now == FReportedTopLeft)
    return;
  const TGridCoord old = FReportedTopLeft;
  FReportedTopLeft = now;
  UpdateScrollPos();
  TopLeftChangedBy(old.X, old.Y, byUser, now.X, now.Y);
}

void TdgBaseGrid::resizeEvent(QResizeEvent *e) {
  TCustomGrid_dg::resizeEvent(e);
  try {
    DoResize();
  } catch (...) {
    reportGridException(std::current_exception());
  }
}

Variant TdgBaseGrid::GetCell(int dataCol, int dataRow) {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > Rows())
    return Variant();
  const TdgControlType type = EffectiveControlType(dataCol, dataRow);
  if (type == ctNone)
    return Variant();
  if (HasValue() && ValueFor(DisplayColOf(dataCol), GetDisplayRowOf(dataRow)))
    return EditingAllowed() ? FPendingValue : Variant();
  if (FInCellLoaded) {
    ReportError("Cannot get Cell property value while in OnCellLoaded event");
    return Variant();
  }
  FLoadingCell = true;
  FLoadingCol = dataCol;
  FLoadingRow = dataRow;
  ScopeExit done{[this] {
    FLoadingCell = false;
    FLoadingCol = -1;
    FLoadingRow = -1;
  }};
  FLoadingValue = FStorage ? FStorage->GetValue(dataCol, dataRow) : Variant();
  if (type == ctPicture && FLoadingValue.isString()) {
    const std::uint8_t kind = FStorage->GetKind(dataCol, dataRow);
    if (kind == ckPictureName || kind == ckText)
      FLoadingValue = Variant(ResolvePictureName(dataCol, dataRow, FLoadingValue.toString()));
  }
  CellLoaded(dataCol, dataRow, FLoadingValue, type);
  Variant result = std::move(FLoadingValue);
  FLoadingValue = Variant();
  return result;
}

void TdgBaseGrid::SetCell(int dataCol, int dataRow, const Variant &value) {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > Rows())
    return;
  const TdgControlType type = EffectiveControlType(dataCol, dataRow);
  Variant converted = value;
  if (value.type() == varOleStr)
    converted = Variant(value.toString());
  if (type == ctText && !converted.isEmpty() && !converted.isNull() && !converted.isString())
    converted = Variant(converted.toString());
  if (type == ctPicture && !converted.isEmpty() && !CheckCellValue(type, converted))
    return;
  if (FStorage) {
    std::uint8_t kind = ckEmpty;
    switch (type) {
    case ctText:
      kind = ckText;
      break;
    case ctCheck:
      kind = converted.isString() ? ckText : converted.isNull() ? ckNull : ckInteger;
      break;
    case ctPicture:
      kind = converted.isString() ? ckPictureName : ckPicture;
      break;
    default:
      break;
    }
    FStorage->SetValue(dataCol, dataRow, converted, kind);
  }
  // A write from the cell-loaded handler for the cell being loaded is the
  // value the reader gets.
  if (FLoadingCell && FLoadingCol == dataCol && FLoadingRow == dataRow) {
    FLoadingValue = converted;
    return;
  }
  InvalidateCell(DisplayColOf(dataCol), GetDisplayRowOf(dataRow));
  if (dataCol == GetCurrentDataCol() && dataRow == GetCurrentDataRow())
    CurrentCellWritten(converted);
}

// The value being edited and the editor's text are one: a write to the
// current cell replaces both, so neither can be left behind to overwrite it.
void TdgBaseGrid::CurrentCellWritten(const Variant &value) {
  if (HasValue() && ValueFor(Col(), Row())) {
    if (VarSameValue(FPendingValue, value) && FPendingValue.type() == value.type())
      return;
    FPendingValue = value;
  }
  if (FActiveControl && FEditorCol == Col() && FEditorRow == Row() && FEditorCol >= 0)
    FActiveControl->SetValue(value);
}

// -------------------------------------------------------------- selection

void TdgBaseGrid::SetRowSelectMode(TdgRowSelectMode value) {
  if (value == FRowSelectMode)
    return;
  HideEditor();
  FRowSelectMode = value;
  if (FGridStatus == gsRowsSelected) {
    const int current = Row();
    if (value == rsNone || (value == rsSingle && !FRowSelection.IsSelected(current))) {
      ClearRowSelection();
    } else if (value == rsSingle) {
      ClearRowSelection();
      SelectRows(current, current);
    }
  }
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::SelectRows(int fromDisplay, int toDisplay) {
  SelectLines(true, fromDisplay, toDisplay);
}

void TdgBaseGrid::DeselectRows(int fromDisplay, int toDisplay) {
  TdgSelection &sel = FRowSelection;
  if (sel.Count == 0)
    return;
  if (fromDisplay > toDisplay)
    std::swap(fromDisplay, toDisplay);
  toDisplay = std::min(toDisplay, RowCount() - 1);
  fromDisplay = std::max(fromDisplay, 1);
  if (fromDisplay > toDisplay)
    return;
  SelectionRedraw redraw(*this, true);
  if (fromDisplay <= sel.First && toDisplay >= sel.Last) {
    FSelectChanged[stRows] = true;
    for (int r = redraw.from(sel.First); r <= redraw.to(sel.Last); ++r)
      if (sel.Bits[static_cast<std::size_t>(r)])
        redraw.changed(r);
    sel.Clear();
  } else {
    int r = sel.IsSelected(fromDisplay) ? fromDisplay : sel.NextSelected(fromDisplay);
    while (r != -1 && r <= toDisplay) {
      FSelectChanged[stRows] = true;
      sel.Bits[static_cast<std::size_t>(r)] = false;
      --sel.Count;
      redraw.changed(r);
      const int next = sel.NextSelected(r);
      if (r == sel.First)
        sel.First = next;
      if (r == sel.Last)
        sel.Last = sel.PrevSelected(fromDisplay);
      r = next;
    }
    if (sel.Count == 0) {
      sel.First = -1;
      sel.Last = -1;
    }
  }
  if (sel.Count == 0 && FGridStatus == gsRowsSelected)
    ChangeGridStatus(gsNothing);
}

void TdgBaseGrid::ClearRowSelection() { DeselectRows(1, RowCount() - 1); }

bool TdgBaseGrid::RowSelected(int dataRow) const {
  if (dataRow < 1 || dataRow > RowCount() - 1)
    return false;
  return FRowSelection.IsSelected(GetDisplayRowOf(dataRow));
}

void TdgBaseGrid::SelectCurrentRow() { SelectRows(Row(), Row()); }

void TdgBaseGrid::FireSelectChanged(bool byUser) {
  for (int type = stRows; type <= stCells; ++type) {
    if (!FSelectChanged[type])
      continue;
    FSelectChanged[type] = false;
    DoSelectChanged(static_cast<TdgSelectType>(type), byUser);
  }
}

void TdgBaseGrid::ChangeGridStatus(TdgGridStatus value) {
  if (value == FGridStatus)
    return;
  if (value != gsNothing && FGridStatus == gsNothing) {
    DropPending();
    HideCellEditor();
    FEditorCol = FEditorRow = -1;
  }
  FGridStatus = value;
}

void TdgBaseGrid::ReportGridStatus() {
  if (FGridStatus == FReportedStatus)
    return;
  const TdgGridStatus old = FReportedStatus;
  FReportedStatus = FGridStatus;
  DoGridStatusChanged(old, FGridStatus);
}

// ------------------------------------------------------------ firing

void TdgBaseGrid::DoColCountChanged(int oldCount, int newCount) {
  if (OnColCountChanged && NotLoading())
    OnColCountChanged(this, oldCount, newCount);
}

void TdgBaseGrid::DoRowCountChanged(int oldCount, int newCount) {
  if (OnRowCountChanged && NotLoading())
    OnRowCountChanged(this, oldCount, newCount);
}

void TdgBaseGrid::DoRowMoved(int toDisplayRow, int count, bool byUser) {
  if (OnRowMoved && NotLoading())
    OnRowMoved(this, toDisplayRow, count, byUser);
}

void TdgBaseGrid::DoInsertCol(int dataCol, bool byUser) {
  if (OnInsertCol && NotLoading())
    OnInsertCol(this, dataCol, byUser);
}

void TdgBaseGrid::DoDeleteCol(int dataCol, bool byUser) {
  if (OnDeleteCol && NotLoading())
    OnDeleteCol(this, dataCol, byUser);
}

void TdgBaseGrid::DoColMoved(int toDisplayCol, int count, bool byUser) {
  if (OnColMoved && NotLoading())
    OnColMoved(this, toDisplayCol, count, byUser);
}

void TdgBaseGrid::DoColResized(int colNr) {
  if (OnColResized && NotLoading())
    OnColResized(this, colNr);
}

void TdgBaseGrid::DoRowResized(int rowNr) {
  if (OnRowResized && NotLoading())
    OnRowResized(this, rowNr);
}

void TdgBaseGrid::DoResize() {
  if (OnResize && NotLoading())
    OnResize(this);
}

void TdgBaseGrid::DoPaint() {
  if (OnPaint)
    OnPaint(this);
}

void TdgBaseGrid::DoSelectChanged(TdgSelectType type, bool byUser) {
  if (OnSelectChanged && NotLoading())
    OnSelectChanged(this, type, byUser);
}

void TdgBaseGrid::DoGridStatusChanged(TdgGridStatus oldStatus, TdgGridStatus newStatus) {
  if (OnGridStatusChanged)
    OnGridStatusChanged(this, oldStatus, newStatus);
}

// Cells are painted from their draw properties; until then the base paint
// shows the grid's frame and lines only.

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
  if (!OnCellLoaded)
    return;
  FInCellLoaded = true;
  ScopeExit done{[this] { FInCellLoaded = false; }};
  OnCellLoaded(this, dataCol, dataRow, value);
}

void TdgCustomGrid::CellLoaded(int dataCol, int dataRow, Variant &value, TdgControlType type) {
  if (dataRow != LastLoadedRow) {
    LastLoadedRow = dataRow;
    DoRowLoaded(dataRow);
  }
  DoCellLoaded(dataCol, dataRow, value);
  if (const auto *list = dynamic_cast<const TdgComboGrid *>(this))
    if (auto *owner = dynamic_cast<TdgCustomGrid *>(list->OwnerGrid()))
      owner->DoComboCellLoaded(const_cast<TdgComboGrid *>(list), dataCol, dataRow, value);
  if (value.isEmpty())
    return;
  if (!CheckCellValue(type, value) && type == ctPicture)
    value = Variant();
  else if (type == ctText && !value.isNull() && value.type() != varString)
    value = Variant(value.toString());
}

} // namespace marrowen

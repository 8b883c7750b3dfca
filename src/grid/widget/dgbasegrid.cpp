#include "grid/widget/dgbasegrid.h"

#include "grid/editing/combo.h"
#include "grid/editing/datetime.h"

#include "classlib/format.h"
#include "classlib/scopeexit.h"
#include "grid/data/celltext.h"
#include "grid/data/colrow.h"
#include "grid/data/qtbytes.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>

namespace marrowen {

namespace {

// Takes the item at display position from out and puts it back at to; the
// items between close up towards from.
template <class Items> void moveItem(Items &items, int from, int to) {
  const auto first = items.begin();
  if (from < to)
    std::rotate(first + from, first + from + 1, first + to + 1);
  else
    std::rotate(first + to, first + from, first + from + 1);
}

} // namespace

TdgBaseGrid::TdgBaseGrid(QWidget *parent) : DataGridLook(parent) {
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
  FHeadingFont.OnChange = [this] {
    if (FRowStore && !FDestroying && FScaling == 0)
      FitRowsToFont();
    InvalidateDisplayRow(0);
  };
  FFont.OnChange = [this] {
    if (!FTakingParentFont)
      FParentFont = false;
    GridFontChanged();
  };
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
  const TdgBaseGrid *owner = ListOwner();
  const std::string name = owner ? owner->Name() + ".Combo" : Name();
  throw EInvalidGridOperation(name + ": " + text);
}

// Asked for each painted and loaded cell: no cast through the class tree.
TdgBaseGrid *TdgBaseGrid::ListOwner() const {
  return isComboGrid() ? static_cast<const TdgComboGrid *>(this)->OwnerGrid() : nullptr;
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
  // Once a line is hidden the lists name the shown positions: after lines
  // went, came or were renumbered they are read again from the lines' own
  // Visible flags, which travel with the lines.
  if (FVisibleCols.Active())
    RebuildVisibleList(false);
  else
    FVisibleCols.SetVisibleCount(cols - 1, 1);
  if (FVisibleRows.Active() && !FVisibleRowsDeferred)
    RebuildVisibleList(true);
  else
    FVisibleRows.SetVisibleCount(rows - 1, 1);
  // The base grid measured its scroll bars before the lists above named the
  // new lines: a row added by typing into the insert row was out of reach.
  if (cols != oldColCount || rows != oldRowCount)
    UpdateScrollBars();
  // A hot or held button that went with its line is hot or held no more.
  if (FHoverCol >= cols || FHoverRow >= rows)
    FHoverCol = FHoverRow = -1;
  if (FPressedCol >= cols || FPressedRow >= rows)
    LeaveCellButtons();
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

void TdgBaseGrid::RebuildVisibleList(bool rows) {
  const int count = rows ? RowCount() : ColCount();
  std::vector<int> shown;
  shown.reserve(static_cast<std::size_t>(std::max(0, count - 1)));
  for (int p = 1; p < count; ++p) {
    bool visible = true;
    if (rows) {
      const TdgRow *row = RowObject(FRowMap[static_cast<std::size_t>(p)]);
      visible = !row || row->Visible();
    } else {
      const int d = FColMap[static_cast<std::size_t>(p)];
      const TdgCol *col = FColStore && d < FColStore->Count() ? FColStore->Item(d) : nullptr;
      visible = !col || col->Visible();
    }
    if (visible)
      shown.push_back(p);
  }
  (rows ? FVisibleRows : FVisibleCols).Rebuild(shown);
}

// The fixed data columns and rows asked for come back as far as the new
// counts allow: a grid that grows gets the fixed area it was cut short of.
void TdgBaseGrid::MakeFixed() {
  const int fixedCols = FixedCols(), fixedRows = FixedRows();
  // The fixed area's size is measured again when the row bar or heading
  // becomes fixed at the size it had: scrolling would move them otherwise.
  ScopeExit measured{[this, fixedCols, fixedRows] {
    if (FixedCols() != fixedCols || FixedRows() != fixedRows)
      RecomputeFixedSizes();
  }};
  if (FixedCols() == 0 && ColCount() >= 2) {
    SetFixedCols(1);
    SetColWidths(0, RowBarOn() ? RowBarWidth() : 0);
  }
  if (FixedCols() - 1 != FixedColCount())
    SetFixedColCount(FixedColCount());
  if (FixedRows() == 0 && RowCount() >= 2) {
    SetFixedRows(1);
    SetRowHeights(0, HeadingOn() ? HeadingHeight() : 0);
  }
  if (FixedRows() - 1 != FixedRowCount())
    SetFixedRowCount(FixedRowCount());
}

namespace {

// The base grid's count for a data count, kept within Int32: the base grid
// refuses a count too large for it, and the data count then stays as it was.
int baseCount(int dataCount, int extra) {
  return static_cast<int>(std::min<std::int64_t>(std::int64_t(dataCount) + extra, INT32_MAX));
}

} // namespace

// A cell range reaching past the new count would drag the current cell
// along: its far corner is cut back to the new last line first, and the
// cells the range gives up are drawn unselected. A range within the count
// stays as it is.
void TdgBaseGrid::CutCellRange(bool rows, int lastLine) {
  std::int32_t &end = rows ? FRangeEnd.Y : FRangeEnd.X;
  if (FGridStatus != gsCellRange || end <= lastLine)
    return;
  InvalidateRect(Selection());
  end = lastLine >= 1 ? lastLine : (rows ? FCurrent.Y : FCurrent.X);
}

void TdgBaseGrid::ApplyColCount(int n) {
  CutCellRange(false, baseCount(n, 1) - 1);
  // Cells a new count leaves in place keep what was drawn on them until they
  // are painted again, as every other cell does.
  std::erase_if(FDrawnValues, [n](const auto &drawn) { return drawn.first.first > n; });
  FPendingColRemovals = 0;
  const int oldCols = std::exchange(FDataCols, n);
  const CountChange change = BeginCountChange();
  ++FApplyingCount;
  ScopeExit applied{[this] { --FApplyingCount; }};
  try {
    SetColCount(baseCount(n, 1));
  } catch (...) {
    FDataCols = oldCols;
    throw;
  }
  MakeFixed();
  EndCountChange(false, change);
  DropDownResize();
}

void TdgBaseGrid::ApplyRowCount(int n) {
  CutCellRange(true, baseCount(n, 1 + FInsertRowFlag) - 1);
  std::erase_if(FDrawnValues, [n](const auto &drawn) { return drawn.first.second > n; });
  FPendingRowRemovals = 0;
  const int oldRows = std::exchange(FDataRows, n);
  const CountChange change = BeginCountChange();
  ++FApplyingCount;
  ScopeExit applied{[this] { --FApplyingCount; }};
  try {
    SetRowCount(baseCount(n, 1 + FInsertRowFlag));
  } catch (...) {
    FDataRows = oldRows;
    throw;
  }
  // Deleting the entered insert row gives the insert row back: the display
  // count stays, but the lines must still follow the rows that went.
  if (static_cast<int>(FRowMap.size()) != RowCount())
    ChangeSize(ColCount(), RowCount());
  MakeFixed();
  EndCountChange(true, change);
  // An open list fits its rows and columns again.
  DropDownResize();
}

TdgBaseGrid::CountChange TdgBaseGrid::BeginCountChange() const {
  return {FCurrent, FRangeEnd, FTopLeft, FixedCols(), FixedRows()};
}

// The last line going, or the first coming, changes the fixed count, which
// sends the base grid's current cell and top-left cell to the first
// scrollable cell: the lines of the other kind keep their place (the
// current line there may be hidden), the fixed area is measured again and
// the top-left cell's move is reported.
void TdgBaseGrid::EndCountChange(bool rows, const CountChange &before) {
  if (FixedCols() != before.fixedCols || FixedRows() != before.fixedRows) {
    std::int32_t TGridCoord::*other = rows ? &TGridCoord::X : &TGridCoord::Y;
    const int otherCount = rows ? ColCount() : RowCount();
    auto keep = [&](std::int32_t &now, std::int32_t was, int low) {
      if (was >= low && was < otherCount)
        now = was;
    };
    keep(FCurrent.*other, before.current.*other, 1);
    keep(FRangeEnd.*other, before.rangeEnd.*other, 1);
    keep(FTopLeft.*other, before.topLeft.*other, rows ? FixedCols() : FixedRows());
    SumFixedSizes();
  }
  UpdateScrollRange();
  ReportTopLeft(false);
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
  HideCellEditor();
  if (value < oldCols && !FSettingDefaults) {
    // Columns beyond the new count go as a deletion takes them, objects,
    // values and widths with them, wherever they are shown.
    std::vector<int> gone(static_cast<std::size_t>(oldCols - value));
    std::iota(gone.begin(), gone.end(), value + 1);
    RemoveDataCols(gone);
    // Moved columns may have shown them anywhere, not only at the end.
    InvalidateGrid();
  }
  ApplyColCount(value);
  for (int c = oldCols + 1; c <= value; ++c)
    DoInsertCol(c, false);
  if (value < oldCols) {
    if (currentDataCol > value)
      PlaceCurrentCol(Col());
    else if (currentDataCol >= 1)
      PlaceOwnLine(false, DisplayColOf(currentDataCol));
  } else if (Col() < 1 && ColCount() > 1) {
    PlaceCurrentCol(1);
  }
  // The editor shows the current cell as it is now, or goes with its cell.
  FollowCurrentCell();
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
  HideCellEditor();
  if (FGridMode == gmEditInsert)
    FInsertRowFlag = 1;
  if (value < oldRows && !FSettingDefaults) {
    // Rows beyond the new count go as a deletion takes them, so the maps
    // never point past the stores after rows were moved.
    std::vector<int> gone(static_cast<std::size_t>(oldRows - value));
    std::iota(gone.begin(), gone.end(), value + 1);
    RemoveDataRows(gone);
    InvalidateGrid();
  }
  {
    // The count asked for is the count: an insert row the current cell
    // passes over or lands on stays the insert row.
    FApplyingRowCount = true;
    ScopeExit counted{[this] { FApplyingRowCount = false; }};
    const int displayRow = Row();
    ApplyRowCount(value);
    if (value < oldRows) {
      if (onInsertRow)
        PlaceOwnLine(true, RowCount() - 1);
      else if (currentDataRow > value)
        PlaceCurrentRow(displayRow);
      else if (currentDataRow >= 1)
        PlaceOwnLine(true, GetDisplayRowOf(currentDataRow));
    }
    // An editor left where a removed row stood shows what stands there now
    // (the empty insert row), not the text of the row that went.
    FollowCurrentCell();
  }
  ReportGridStatus();
}

void TdgBaseGrid::SetGridMode(TdgGridMode value) {
  if (value == FGridMode || ListModesLocked())
    return;
  // A list box has no edit to end later: the current one must end now.
  if (value == gmListBox && !CanLeaveCell(-1, -1, false))
    return;
  // Nor may a grid that only browses keep a cell's edit open.
  if (value == gmBrowse && !EndEdit())
    return;
  // The focus mark is drawn as the mode says: the old one goes, the new one
  // comes, over the whole row a list box marks.
  auto currentRow = [this] {
    if (Row() >= 1 && Row() < RowCount())
      InvalidateRect(TGridRect{0, Row(), ColCount() - 1, Row()});
  };
  currentRow();
  FGridMode = value;
  const int flag = value == gmEditInsert ? 1 : 0;
  if (flag != FInsertRowFlag) {
    FInsertRowFlag = flag;
    ApplyRowCount(FDataRows);
    FollowCurrentCell();
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
  currentRow();
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
  moveItem(FRowMap, fromDisplay, toDisplay);
  const int low = std::min(fromDisplay, toDisplay);
  const int high = std::max(fromDisplay, toDisplay);
  for (int p = low; p <= high; ++p) {
    const int d = FRowMap[static_cast<std::size_t>(p)];
    FRowOrder[static_cast<std::size_t>(d)] = p;
    FRowStore->SetDisplayRow(d, p);
  }
  MoveSelectionMark(FRowSelection, fromDisplay, toDisplay);
  // The row bar's mark moves with the row it was drawn on, so that the next
  // move of the current row takes it away from there.
  followMove(FIndicatorRow, fromDisplay, toDisplay);
  if (!FVisibleRowsDeferred)
    FVisibleRows.MoveItem(fromDisplay, toDisplay);
  DropCellCache();
  // Heights, the current cell and the anchor follow through the base grid.
  MoveRow(fromDisplay, toDisplay);
}

// The selection marks travel with their lines.
void TdgBaseGrid::MoveSelectionMark(TdgSelection &selection, int fromDisplay, int toDisplay) {
  std::vector<bool> &bits = selection.Bits;
  if (selection.Count == 0 || std::max(fromDisplay, toDisplay) >= static_cast<int>(bits.size()))
    return;
  moveItem(bits, fromDisplay, toDisplay);
  selection.Recount();
}

void TdgBaseGrid::moveColumn(int fromDisplay, int toDisplay) {
  if (fromDisplay == toDisplay || fromDisplay < 1 || toDisplay < 1 || fromDisplay >= ColCount() ||
      toDisplay >= ColCount())
    return;
  moveItem(FColMap, fromDisplay, toDisplay);
  for (int p = std::min(fromDisplay, toDisplay); p <= std::max(fromDisplay, toDisplay); ++p)
    if (TdgCol *col = FColStore->Item(FColMap[static_cast<std::size_t>(p)]))
      col->setDisplayColField(p);
  MoveSelectionMark(FColSelection, fromDisplay, toDisplay);
  FVisibleCols.MoveItem(fromDisplay, toDisplay);
  DropCellCache();
  MoveColumn(fromDisplay, toDisplay);
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
  FollowCurrentCell();
}

void TdgBaseGrid::MoveRows(int fromDisplay, int toDisplay) {
  // Only data rows move: never the heading, nor the insert row below them.
  if (!CheckIndex(TdgIndexKind::Row, fromDisplay, 1, Rows()) ||
      !CheckIndex(TdgIndexKind::Row, toDisplay, 1, Rows()))
    return;
  // A new row entered but not yet typed into is still the row for typing:
  // it keeps its place at the bottom, and a row aimed there lands above it,
  // or the grid would be left with no row to type a new line into.
  const bool enteredRow = FGridMode == gmEditInsert && !FInsertRowFlag && !FAppended &&
                          Row() == RowCount() - 1 && GetCurrentDataRow() == Rows();
  if (enteredRow) {
    if (fromDisplay == Rows())
      return;
    toDisplay = std::min(toDisplay, Rows() - 1);
  }
  if (fromDisplay == toDisplay)
    return;
  if (FGridMode == gmEditInsert && (FInsertRowFlag || enteredRow))
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
  FollowCurrentCell();
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
  // A cell range keeps its cells while the current cell moves off a line.
  const TGridRect range = Selection();
  MoveCurrent(found, std::clamp(Row(), 0, RowCount() - 1), true, true);
  SetCellRange(range);
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
  // The insert row takes the current cell only when asked for by name; a
  // row beyond it lands on the last row that holds data.
  if (found == lastRow && FInsertRowFlag && displayRow != lastRow)
    for (int r = lastRow - 1; r >= 1; --r)
      if (canHold(r)) {
        found = r;
        break;
      }
  if (found < 0)
    for (int r = lastRow; r >= 1 && found < 0; --r)
      if (canHold(r))
        found = r;
  if (found < 0 || found == Row())
    return;
  const TGridRect range = Selection();
  MoveCurrent(std::max(Col(), std::min(1, ColCount() - 1)), found, true, true);
  SetCellRange(range);
}

void TdgBaseGrid::PlaceOwnLine(bool rows, int display) {
  const bool leaving = std::exchange(FLeaving, true);
  ScopeExit restore{[this, leaving] { FLeaving = leaving; }};
  if (rows)
    PlaceCurrentRow(display);
  else
    PlaceCurrentCol(display);
}

void TdgBaseGrid::PlaceCurrentRowAfterDeletion(int target) {
  if (FInsertRowFlag && target >= RowCount() - 1)
    target = RowCount() - 2;
  PlaceCurrentRow(target);
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

void TdgBaseGrid::MoveCols(int fromDisplay, int toDisplay) {
  if (!CheckIndex(TdgIndexKind::Column, fromDisplay, 1, Cols()) ||
      !CheckIndex(TdgIndexKind::Column, toDisplay, 1, Cols()) || fromDisplay == toDisplay)
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
      if (from != target)
        moveColumn(from, target);
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
    DoColMoved(FColSelection.First, FColSelection.Count, true);
  }
  InvalidateGrid();
  UpdateScrollRange();
  FollowCurrentCell();
}

void TdgBaseGrid::ColWidthsChanged() {
  if (!SyncSizes(false))
    return;
  TCustomGrid_dg::ColWidthsChanged();
  if (!FSettingDefaults)
    DoColResized(-1);
  DropDownResize();
  // The shown editor stands on its cell wherever the new sizes put it.
  if (FEditorShown)
    PlaceEditor();
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
  RefreshEditor();
  DropDownResize();
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
  RefreshEditor();
}

void TdgBaseGrid::RowHeightsChanged() {
  // A default lower than the font needs gives way to the font's: the call
  // comes back here with it.
  if (const int needed = FontRowHeight(FFont); DefaultRowHeight() < needed) {
    SetDefaultRowHeight(needed);
    return;
  }
  if (!SyncSizes(true))
    return;
  TCustomGrid_dg::RowHeightsChanged();
  if (!FSettingDefaults)
    DoRowResized(-1);
  if (FEditorShown)
    PlaceEditor();
}

void TdgBaseGrid::TopLeftMoved(TGridCoord oldTopLeft) {
  ++FTopLeftDepth;
  ScopeExit done{[this] { --FTopLeftDepth; }};
  // The in-place control does not scroll with the cells: it goes and comes.
  if (FEditorShown)
    HideCellEditor(true);
  TCustomGrid_dg::TopLeftMoved(oldTopLeft);
  // A window grown or rows removed may leave the top-left past the last
  // place that still fills the window, and a cell scrolled into view may
  // leave it on a hidden line.
  if (HandleAllocated() && !Updating()) {
    const int left = NearestShownLine(
        false, std::min<int>(LeftCol(), std::max<int>(MaxLeftCol(), FixedCols())), oldTopLeft.X);
    const int top = NearestShownLine(
        true, std::min<int>(TopRow(), std::max<int>(MaxTopRow(), FixedRows())), oldTopLeft.Y);
    if (left != LeftCol() || top != TopRow()) {
      BeginUpdate();
      ScopeExit unlock{[this] { EndUpdate(); }};
      TCustomGrid_dg::MoveTopLeft(left, top);
    }
  }
  if (FTopLeftDepth == 1) {
    // Scrolled to a new current cell: the move places the editor once the
    // cell's edit state is its own.
    if (ScrollingToCurrent())
      FPlaceAfterMove = true;
    else
      PlaceEditor();
    ReportTopLeft(FUserScrolls > 0);
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
    // The editor takes the current cell's part of the new window.
    RefreshEditor();
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
  const int displayCol = DisplayColOf(dataCol), displayRow = GetDisplayRowOf(dataRow);
  InvalidateCell(displayCol, displayRow);
  if (!FStorage && HandleAllocated() && !IsRectEmpty(GetCellRect(displayCol, displayRow)))
    FDrawnValues[{dataCol, dataRow}] = converted;
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
  if (FActiveControl && EditorHoldsCurrentCell())
    LoadControl(*FActiveControl, value);
}

} // namespace marrowen

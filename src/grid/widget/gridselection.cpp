// Row and column selection and the grid status they make; a change repaints
// only the lines whose look changed.
#include "grid/widget/dgbasegrid.h"

#include <algorithm>

namespace marrowen {

namespace {

// Orders a range of display lines and keeps it within 1..count - 1; answers
// whether any line is left.
bool clampLines(int &from, int &to, int count) {
  if (from > to)
    std::swap(from, to);
  to = std::min(to, count - 1);
  from = std::max(from, 1);
  return from <= to;
}

} // namespace

// A change of selection repaints only what is on screen (the fixed lines and
// the scrolled stretch), in runs of adjacent rows or columns whose look
// changed, instead of one repaint per item.
class TdgBaseGrid::SelectionRedraw {
public:
  SelectionRedraw(TdgBaseGrid &grid, bool rows) : grid_(grid), rows_(rows) {
    fixed_ = rows ? grid.FixedRows() : grid.FixedCols();
    first_ = rows ? grid.TopRow() : grid.LeftCol();
    last_ = first_ + (rows ? grid.VisibleRowCount() : grid.VisibleColCount());
  }
  ~SelectionRedraw() { flush(); }
  void changed(int index) {
    if (index >= fixed_ && (index < first_ || index > last_))
      return;
    if (runFrom_ >= 0 && index == runTo_ + 1) {
      runTo_ = index;
      return;
    }
    flush();
    runFrom_ = runTo_ = index;
  }
  // Calls `visit` for each line of from..to that is on screen.
  template <class Visit> void forShown(int from, int to, Visit visit) const {
    for (int i = from; i <= std::min(to, fixed_ - 1); ++i)
      visit(i);
    for (int i = std::max(from, first_); i <= std::min(to, last_); ++i)
      visit(i);
  }

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
  int fixed_, first_, last_;
  int runFrom_ = -1, runTo_ = -1;
};

void TdgBaseGrid::SelectCols(int fromDisplay, int toDisplay) {
  SelectLines(false, fromDisplay, toDisplay);
}

// Hidden lines (an invisible column, a row of no height) are never selected.
void TdgBaseGrid::SelectLines(bool rows, int fromDisplay, int toDisplay) {
  if (!clampLines(fromDisplay, toDisplay, rows ? RowCount() : ColCount()))
    return;
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

void TdgBaseGrid::SelectOnlyCols(int fromDisplay, int toDisplay) {
  ClearColSelection();
  SelectCols(fromDisplay, toDisplay);
}

void TdgBaseGrid::SelectColRange(int fromDisplay, int toDisplay, bool select) {
  const int last = ColCount() - 1;
  if (FColSelectMode == csNone || fromDisplay > last || toDisplay < 1 ||
      (!select && FGridStatus != gsColsSelected))
    return;
  fromDisplay = std::max(fromDisplay, 1);
  toDisplay = std::min(toDisplay, last);
  if (fromDisplay > toDisplay || !CanLeaveCell(-1, -1, false))
    return;
  if (FEditorShown) {
    HideCellEditor();
    InvalidateGrid();
  }
  ClearRange();
  ClearRowSelection();
  FireSelectChanged(false);
  if (select)
    SelectCols(fromDisplay, toDisplay);
  else
    DeselectCols(fromDisplay, toDisplay);
  PlaceEditor();
  InvalidateGrid();
  FireSelectChanged(false);
  ReportGridStatus();
}

void TdgBaseGrid::DeselectCols(int fromDisplay, int toDisplay) {
  TdgSelection &sel = FColSelection;
  if (sel.Count == 0 || !clampLines(fromDisplay, toDisplay, ColCount()))
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
  clampLines(fromDisplay, toDisplay, ColCount());
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

// -------------------------------------------------------------- selection

void TdgBaseGrid::SetRowSelectMode(TdgRowSelectMode value) {
  if (value == FRowSelectMode || ListModesLocked())
    return;
  HideCellEditor();
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
  // Back over its cell, unless rows stay selected.
  PlaceEditor();
  KeepListBoxRowSelected();
  FireSelectChanged(false);
  ReportGridStatus();
}

bool TdgBaseGrid::ListModesLocked() const {
  return isComboGrid() && !FSettingUpList && !FSettingDefaults && NotLoading();
}

// A list box shows its current row as the one selected row.
bool TdgBaseGrid::KeepListBoxRowSelected() {
  if (FGridMode != gmListBox || FRowSelectMode != rsSingle || FGridStatus == gsColsSelected ||
      FGridStatus == gsCellRange || (FGridStatus == gsRowsSelected && CurrentRowSelected()))
    return false;
  ClearRowSelection();
  SelectCurrentRow();
  return true;
}

void TdgBaseGrid::SelectRows(int fromDisplay, int toDisplay) {
  SelectLines(true, fromDisplay, toDisplay);
}

void TdgBaseGrid::DeselectRows(int fromDisplay, int toDisplay) {
  TdgSelection &sel = FRowSelection;
  if (sel.Count == 0 || !clampLines(fromDisplay, toDisplay, RowCount()))
    return;
  SelectionRedraw redraw(*this, true);
  if (fromDisplay <= sel.First && toDisplay >= sel.Last) {
    FSelectChanged[stRows] = true;
    redraw.forShown(sel.First, sel.Last, [&](int r) {
      if (sel.Bits[static_cast<std::size_t>(r)])
        redraw.changed(r);
    });
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
  // A program may select rows while columns are selected: when the kind of
  // selection the status names goes, the status names the one that is left.
  if (value == gsNothing)
    value = FColSelection.Count > 0   ? gsColsSelected
            : FRowSelection.Count > 0 ? gsRowsSelected
                                      : gsNothing;
  if (value == FGridStatus)
    return;
  if (value != gsNothing && FGridStatus == gsNothing) {
    // The cell's edit ends here; its row's goes on, and the next Escape takes
    // the row back.
    const bool cellEdit = FCellEditing;
    if (EndEdit() && cellEdit && FRowEditing)
      FEscapeUndidCell = true;
    DropPending();
    HideCellEditor();
    FEditorCol = FEditorRow = -1;
  }
  FGridStatus = value;
  // The current cell's focus mark shows only while nothing is selected.
  if (Col() >= 1 && Row() >= 1)
    InvalidateCell(Col(), Row());
}

void TdgBaseGrid::ReportGridStatus() {
  if (FGridStatus == FReportedStatus)
    return;
  const TdgGridStatus old = FReportedStatus;
  FReportedStatus = FGridStatus;
  DoGridStatusChanged(old, FGridStatus);
}

} // namespace marrowen

#include "classlib/asciitext.h"
#include "classlib/format.h"
#include "classlib/scopeexit.h"
#include "grid/widget/dgbasegrid.h"

#include <algorithm>

namespace marrowen {

namespace {

// The identity of the target, and what the caller's parts copy themselves.
constexpr std::string_view fixedExclusions =
    "Height;Left;Name;Top;Width;Visible;TabOrder;DefaultColWidth;DefaultRowHeight;Datasource;"
    "ColProperties;RowProperties;CellProperties;Constraints";
constexpr std::string_view comboExclusions = ";RowSelectMode;GridMode";

void countElements(const TdgSetNode *node, std::vector<int> &cols, std::vector<int> &rows) {
  if (!node)
    return;
  const auto *e = static_cast<const TdgCellElement *>(const_cast<TdgSetNode *>(node)->GetData());
  if (e->DataCol >= 0 && e->DataCol < static_cast<int>(cols.size()))
    ++cols[static_cast<std::size_t>(e->DataCol)];
  if (e->DataRow >= 0 && e->DataRow < static_cast<int>(rows.size()))
    ++rows[static_cast<std::size_t>(e->DataRow)];
  countElements(node->Left, cols, rows);
  countElements(node->Right, cols, rows);
}

} // namespace

void TdgBaseGrid::Assign(const QObject &source) {
  const auto *grid = dynamic_cast<const TdgBaseGrid *>(&source);
  if (!grid) {
    const std::string sourceName = source.metaObject()->className();
    ReportError(Format("Cannot assign %s to %s", {sourceName, ClassName()}));
    return;
  }
  if (grid == this)
    return;
  CopyGrid(*grid, allPropKinds, true);
}

void TdgBaseGrid::CopyGrid(const TdgBaseGrid &source, TdgPropKinds kinds, bool withValues) {
  ++FCopying;
  BeginUpdate();
  ScopeExit done{[this] {
    EndUpdate();
    --FCopying;
  }};
  if (kinds & pkGrid) {
    std::string exclude;
    if (!(kinds & pkCols))
      exclude += "Cols;DefaultColWidth;";
    if (!(kinds & pkRows))
      exclude += "Rows;DefaultRowHeight;";
    if (!FFieldState)
      exclude += "FieldState;";
    CopyProperties(source, exclude);
  }
  if (kinds & pkCols) {
    SetCols(source.Cols());
    if (DefaultColWidth() != source.DefaultColWidth())
      SetDefaultColWidth(source.DefaultColWidth());
    CopyCols(source);
  }
  if (kinds & pkRows) {
    SetRows(source.Rows());
    if (DefaultRowHeight() != source.DefaultRowHeight())
      SetDefaultRowHeight(source.DefaultRowHeight());
    CopyRows(source);
    CopyRowChangedMarks(source);
  }
  if (kinds & pkCells) {
    if (Cols() < source.Cols())
      SetCols(source.Cols());
    if (Rows() < source.Rows())
      SetRows(source.Rows());
    CopyCellProperties(source);
  }
  CopySelection(source, kinds);
  if (withValues)
    CopyCellValues(source);
  else
    dropUnfitValues(-1, -1);
  UpdateScrollBars();
  if (Row() >= RowCount() || Col() >= ColCount())
    MoveCurrent(std::min(Col(), ColCount() - 1), std::min(Row(), RowCount() - 1), true, false);
  // The copy may have hidden the column or row of the current cell, whose
  // editor would then write into a cell nobody sees.
  if (Col() >= 1 && Row() >= 1) {
    PlaceCurrentCol(Col());
    PlaceCurrentRow(Row());
  }
  InvalidateGrid();
}

void TdgBaseGrid::CopyProperties(const TdgBaseGrid &source, const std::string &exclude) {
  std::string excluded = exclude + std::string(fixedExclusions);
  if (isComboGrid())
    excluded += comboExclusions;
  CopyPublishedProperties(*this, source, excluded);
  const std::string lower = asciiLowerCase(exclude);
  if (lower.find("defaultcolwidth") == std::string::npos &&
      DefaultColWidth() != source.DefaultColWidth())
    SetDefaultColWidth(source.DefaultColWidth());
  if (lower.find("defaultrowheight") == std::string::npos &&
      DefaultRowHeight() != source.DefaultRowHeight())
    SetDefaultRowHeight(source.DefaultRowHeight());
  if (lower.find("constraints") == std::string::npos) {
    setMinimumSize(source.minimumSize());
    setMaximumSize(source.maximumSize());
  }
  if (lower.find("popupmenu") == std::string::npos)
    SetPopupMenu(source.PopupMenu());
}

void TdgBaseGrid::ResetOwnProperties(TdgPropKinds kinds) {
  const std::unique_ptr<TdgBaseGrid> fresh = NewGridOfSameClass();
  // The counts are left to the caller, who knows whether new ones follow;
  // the values stay where they are kept; links to other components and the
  // menu stay, as no layout names them back.
  std::string exclude = "Cols;Rows;StoreData;MaskDefs;ImageList;DateTimeDef;PopupMenu;";
  if (!(kinds & pkCols))
    exclude += "DefaultColWidth;";
  if (!(kinds & pkRows))
    exclude += "DefaultRowHeight;";
  CopyProperties(*fresh, exclude);
}

void TdgBaseGrid::ResetLinesToNew(TdgPropKinds kinds) {
  if (!(kinds & (pkCols | pkRows)))
    return;
  const std::unique_ptr<TdgBaseGrid> fresh = NewGridOfSameClass();
  fresh->SetDefaultColWidth(DefaultColWidth());
  fresh->SetDefaultRowHeight(DefaultRowHeight());
  fresh->SetCols(Cols());
  fresh->SetRows(Rows());
  if (kinds & pkCols)
    CopyCols(*fresh);
  if (kinds & pkRows) {
    CopyRows(*fresh);
    for (int d = 1; d <= Rows(); ++d)
      if (RowSelected(d))
        setRowSelected(d, false);
  }
}

void TdgBaseGrid::CopyCols(const TdgBaseGrid &source) {
  const int n = std::min(Cols(), source.Cols());
  bool moved = false, shown = false;
  for (int i = 1; i <= n; ++i) {
    TdgCol *col = FColStore->Item(i);
    const TdgCol *from = source.FColStore->Item(i);
    if (!col || !from)
      continue;
    moved |= col->DisplayCol() != from->DisplayCol();
    shown |= col->Visible() != from->Visible();
    col->Assign(*from);
  }
  std::vector<int> movedCols;
  if (moved && Cols() == source.Cols()) {
    // Each display place takes the column the source shows there.
    for (int p = 1; p <= n; ++p) {
      const int d = source.DataColAt(p);
      const int at = DisplayColOf(d);
      if (at != p) {
        moveColumn(at, p);
        movedCols.push_back(p);
      }
    }
  }
  if (moved || shown) {
    for (int p = 1; p <= Cols(); ++p) {
      const TdgCol *col = FColStore->Item(DataColAt(p));
      if (!col)
        continue;
      const int width = col->Visible() ? (col->Width() > 0 ? col->Width() : DefaultColWidth()) : 0;
      if (ColWidths(p) != width)
        SetColWidths(p, width);
    }
    std::vector<int> visible;
    for (int p = 1; p <= Cols(); ++p)
      if (const TdgCol *col = FColStore->Item(DataColAt(p)); col && col->Visible())
        visible.push_back(p);
    FVisibleCols.Rebuild(visible);
  }
  for (int p : movedCols)
    DoColMoved(p, 1, false);
}

void TdgBaseGrid::CopyRows(const TdgBaseGrid &source) {
  const int n = std::min(Rows(), source.Rows());
  bool moved = false, shown = false;
  for (int i = 1; i <= n; ++i) {
    const TdgRow *from = source.RowObject(i);
    moved |= GetDisplayRowOf(i) != source.GetDisplayRowOf(i);
    if (!from && !RowObject(i))
      continue;
    TdgRow &row = FRowStore->EnsureRowObject(i);
    const bool wasVisible = row.Visible();
    if (from) {
      row.Assign(*from);
    } else {
      const TdgRow fresh(this, i);
      row.Assign(fresh);
    }
    shown |= wasVisible != row.Visible();
    if (!from)
      FRowStore->FreeRow(i);
  }
  std::vector<int> movedRows;
  if (moved && Rows() == source.Rows()) {
    for (int p = 1; p <= n; ++p) {
      const int d = source.GetDataRow(p);
      const int at = GetDisplayRowOf(d);
      if (at != p) {
        MoveRowDisplay(at, p);
        movedRows.push_back(p);
      }
    }
  }
  if (moved || shown) {
    std::vector<int> visible;
    for (int p = 1; p <= Rows(); ++p) {
      const TdgRow *row = RowObject(GetDataRow(p));
      const bool isVisible = !row || row->Visible();
      const int height =
          isVisible ? (row && row->Height() > 0 ? row->Height() : DefaultRowHeight()) : 0;
      if (RowHeights(p) != height)
        SetRowHeights(p, height);
      if (isVisible)
        visible.push_back(p);
    }
    FVisibleRows.Rebuild(visible);
  }
  for (int p : movedRows)
    DoRowMoved(p, 1, false);
}

void TdgBaseGrid::CopyRowChangedMarks(const TdgBaseGrid &source) {
  FRowChangedMarks = source.FRowChangedMarks;
  FRowChangedMarks.resize(static_cast<std::size_t>(RowCount()), false);
}

void TdgBaseGrid::CopyCellProperties(const TdgBaseGrid &source) {
  DropCellCache();
  FCellProps.Assign(source.FCellProps);
  FColElements.assign(static_cast<std::size_t>(ColCount()), 0);
  FRowElements.assign(static_cast<std::size_t>(RowCount()), 0);
  countElements(FCellProps.Root(), FColElements, FRowElements);
}

void TdgBaseGrid::CopySelection(const TdgBaseGrid &source, TdgPropKinds kinds) {
  if (isComboGrid())
    return;
  if ((kinds & pkCols) && FColSelection.Assign(source.FColSelection))
    FSelectChanged[stCols] = true;
  if ((kinds & pkRows) && FRowSelection.Assign(source.FRowSelection))
    FSelectChanged[stRows] = true;
  FColSelection.SetSize(ColCount());
  FRowSelection.SetSize(RowCount());
  const bool sourceRange = source.FGridStatus == gsCellRange;
  if ((kinds & pkCells) && (sourceRange || FGridStatus == gsCellRange)) {
    const auto fits = [this](TGridCoord c) {
      return c.X >= 1 && c.X < ColCount() && c.Y >= 1 && c.Y < RowCount();
    };
    const TGridRect old = Selection();
    if (sourceRange && fits(source.FRangeEnd) && fits(source.FCurrent)) {
      FCurrent = source.FCurrent;
      FRangeEnd = source.FRangeEnd;
    } else {
      FRangeEnd = FCurrent;
    }
    if (Selection() != old)
      FSelectChanged[stCells] = true;
    InvalidateGrid();
  }
  // What is selected now decides the selection kind, whatever it was.
  TdgGridStatus kind = gsNothing;
  if (FColSelection.Count > 0)
    kind = gsColsSelected;
  else if (FRowSelection.Count > 0)
    kind = gsRowsSelected;
  else if ((kinds & pkCells) ? sourceRange : FGridStatus == gsCellRange)
    kind = gsCellRange;
  ChangeGridStatus(kind);
  ReportGridStatus();
  FireSelectChanged(false);
}

void TdgBaseGrid::CopyCellValues(const TdgBaseGrid &source) {
  SetStoreData(source.StoreData());
  if (!StoreData())
    return;
  FImageListIds = source.FImageListIds;
  if (source.FStorage)
    FStorage->Assign(source.FStorage.get());
  StoredValuesReplaced();
}

void TdgBaseGrid::CopyCellValuesFrom(const TdgBaseGrid &source) {
  if (&source == this)
    return;
  CopyCellValues(source);
  InvalidateGrid();
  if (!FStorage)
    return;
  if (Rows() < source.Rows())
    FStorage->RemoveRows(Rows() + 1, source.Rows());
  if (Cols() < source.Cols())
    FStorage->RemoveCols(Cols() + 1, source.Cols());
}

std::unique_ptr<TdgBaseGrid> TdgBaseGrid::NewGridOfSameClass() const {
  auto grid = std::make_unique<TdgGrid>(parentWidget());
  grid->hide();
  return grid;
}

} // namespace marrowen

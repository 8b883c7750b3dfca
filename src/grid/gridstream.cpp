#include "grid/gridstream.h"

#include "classlib/asciitext.h"
#include "grid/cells.h"
#include "grid/colrow.h"
#include "grid/dgbasegrid.h"
#include "grid/published.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

namespace marrowen {

namespace {

constexpr std::array<std::string_view, 2> drawOverlapNames{"doDrawColOnTop", "doDrawRowOnTop"};
constexpr std::array<std::string_view, 4> gridModeNames{"gmListBox", "gmEdit", "gmEditInsert",
                                                        "gmBrowse"};
constexpr std::array<std::string_view, 3> rowSelectModeNames{"rsNone", "rsSingle", "rsMulti"};
constexpr std::array<std::string_view, 3> wordWrapNames{"wwOn", "wwOff", "wwDefault"};

bool startsWithName(std::string_view name, std::string_view prefix) {
  return name.size() > prefix.size() && sameName(name.substr(0, prefix.size()), prefix);
}

// Reads one property of a nested object: its published table first, then
// its defined entries; a value nobody knows is stepped over.
void readNested(ComponentReader &r, Published &object, std::string_view name) {
  if (!readPublished(r, object, name) && !object.readDefinedProperty(name, r))
    r.readRawValue();
}

void preorder(const TdgSetNode *node, const std::function<void(const TdgCellElement &)> &visit) {
  if (!node)
    return;
  visit(*static_cast<const TdgCellElement *>(const_cast<TdgSetNode *>(node)->GetData()));
  preorder(node->Left, visit);
  preorder(node->Right, visit);
}

} // namespace

std::span<const PublishedProperty> TdgBaseGrid::publishedProperties() const {
  using C = TdgBaseGrid;
  using K = PropKind;
  static const PublishedProperty table[] = {
      publishedValue<C, int>("Cols", K::Integer, &C::Cols, &C::SetCols, Variant(4)),
      publishedValue<C, int>("DefaultColWidth", K::Integer, &C::DefaultColWidth,
                             &C::SetDefaultColWidth, Variant(64)),
      publishedValue<C, int>("DefaultRowHeight", K::Integer, &C::DefaultRowHeight,
                             &C::SetDefaultRowHeight, Variant(14)),
      publishedValue<C, TdgDrawOverlap>("DrawOverlap", K::Enumeration, &C::DrawOverlap,
                                        &C::SetDrawOverlap, Variant(int(doDrawColOnTop)), nullptr,
                                        drawOverlapNames),
      publishedValue<C, TdgGridMode>("GridMode", K::Enumeration, &C::GridMode, &C::SetGridMode,
                                     Variant(int(gmEdit)), nullptr, gridModeNames),
      publishedValue<C, bool>("Heading3D", K::Boolean, &C::Heading3D, &C::SetHeading3D, true),
      publishedValue<C, TColor>("HeadingColor", K::Integer, &C::HeadingColor, &C::SetHeadingColor,
                                Variant(clBtnFace)),
      publishedValue<C, int>("HeadingHeight", K::Integer, &C::HeadingHeight, &C::SetHeadingHeight,
                             Variant(15)),
      publishedValue<C, bool>("Is3D", K::Boolean, &C::Is3D, &C::SetIs3D, false),
      publishedValue<C, int>("RowBarWidth", K::Integer, &C::RowBarWidth, &C::SetRowBarWidth,
                             Variant(14)),
      publishedValue<C, bool>("RowMoving", K::Boolean, &C::GetRowMoving, &C::SetRowMoving, true),
      publishedValue<C, int>("Rows", K::Integer, &C::Rows, &C::SetRows, Variant(4)),
      publishedValue<C, TdgRowSelectMode>("RowSelectMode", K::Enumeration, &C::RowSelectMode,
                                          &C::SetRowSelectMode, Variant(int(rsMulti)), nullptr,
                                          rowSelectModeNames),
      publishedValue<C, bool>("StoreData", K::Boolean, &C::StoreData, &C::SetStoreData, false),
      publishedValue<C, std::string>("Version", K::String, &C::GetVersion, &C::SetVersion),
      publishedValue<C, TdgWordWrap>("WordWrap", K::Enumeration, &C::WordWrap, &C::SetWordWrap,
                                     Variant(int(wwOff)), nullptr, wordWrapNames),
  };
  return table;
}

void TdgBaseGrid::SuspendDataWriting(bool resume) {
  if (!resume)
    ++FDataWritingSuspended;
  else if (FDataWritingSuspended > 0)
    --FDataWritingSuspended;
}

bool TdgBaseGrid::CheckCellValue(TdgControlType type, const Variant &value) const {
  const TVarType t = value.type();
  switch (type) {
  case ctText:
    if (t == varString || t == varOleStr)
      return true;
    ReportError("Invalid cell value. A text column requires a value of type string");
    return false;
  case ctCheck:
    if (t == varInteger || t == varString || t == varOleStr || t == varNull)
      return true;
    ReportError("Invalid cell value. A checkbox column requires a value of type TCheckBoxState "
                "or string");
    return false;
  case ctPicture:
    // A picture travels as a picture; a plain number is no picture.
    if (t == varPicture || t == varString)
      return true;
    ReportError("Invalid cell value. A picture column requires a value of type TBitmap or string");
    return false;
  default:
    return true;
  }
}

void TdgBaseGrid::writeDefinedProperties(ComponentWriter &w, std::string_view) const {
  WriteCellExtents(w);
  if (!FImageListIds.empty()) {
    std::string ids;
    for (const std::string &id : FImageListIds)
      ids += (ids.empty() ? "" : ",") + id;
    w.writeName("ImageListIds");
    w.writeString(ids);
  }
  if (FDataWritingSuspended > 0)
    return;
  if (HasColItems()) {
    w.writeName("ColProperties");
    WriteColProperties(w);
  }
  if (HasRowItems()) {
    w.writeName("RowProperties");
    WriteRowProperties(w);
  }
  if (HasCellItems()) {
    w.writeName("CellProperties");
    WriteCellProperties(w);
  }
  if (FStorage) {
    w.writeName("Data");
    WriteData(w);
  }
}

namespace {

// Columns that differ from their defaults, in display order.
std::vector<int> colItems(const TdgBaseGrid &grid) {
  std::vector<int> cols;
  for (int p = 1; p <= grid.Cols(); ++p) {
    const int d = grid.DataColAt(p);
    if (const TdgCol *col = const_cast<TdgBaseGrid &>(grid).ColStore().Item(d);
        col && !col->IsDefault())
      cols.push_back(d);
  }
  return cols;
}

} // namespace

bool TdgBaseGrid::HasColItems() const { return !colItems(*this).empty(); }

void TdgBaseGrid::WriteColProperties(ComponentWriter &w) const {
  w.writeCollectionBegin();
  for (int d : colItems(*this)) {
    const TdgCol &col = *ColObject(d);
    w.writeListBegin();
    w.writeName("DataCol");
    w.writeInteger(d);
    w.writeName("FieldName");
    w.writeString(col.FieldName());
    writePublished(w, col, "Col.");
    w.writeListEnd();
  }
  w.writeListEnd();
}

// Rows shown out of their data order, or with settings of their own.
std::vector<int> TdgBaseGrid::RowItems() const {
  std::vector<int> rows;
  for (int p = 1; p <= Rows(); ++p) {
    const int d = GetDataRow(p);
    const TdgRow *row = RowObject(d);
    if (d != p || (row && !row->IsDefault()))
      rows.push_back(p);
  }
  return rows;
}

bool TdgBaseGrid::HasRowItems() const { return !RowItems().empty(); }

void TdgBaseGrid::WriteRowProperties(ComponentWriter &w) const {
  w.writeCollectionBegin();
  for (int p : RowItems()) {
    const int d = GetDataRow(p);
    w.writeListBegin();
    w.writeName("DataRow");
    w.writeInteger(d);
    w.writeName("DisplayRow");
    w.writeInteger(p);
    if (RowSelected(d)) {
      w.writeName("Selected");
      w.writeBoolean(true);
    }
    if (const TdgRow *row = RowObject(d))
      writePublished(w, *row, "Row.");
    w.writeListEnd();
  }
  w.writeListEnd();
}

bool TdgBaseGrid::HasCellItems() const {
  bool any = false;
  preorder(FCellProps.Root(),
           [&](const TdgCellElement &element) { any = any || !element.IsDefault(); });
  return any;
}

void TdgBaseGrid::WriteCellProperties(ComponentWriter &w) const {
  std::vector<const TdgCellElement *> cells;
  preorder(FCellProps.Root(), [&](const TdgCellElement &element) {
    if (!element.IsDefault())
      cells.push_back(&element);
  });
  w.writeCollectionBegin();
  for (const TdgCellElement *element : cells) {
    w.writeListBegin();
    w.writeName("DataCol");
    w.writeInteger(element->DataCol);
    w.writeName("DataRow");
    w.writeInteger(element->DataRow);
    const TdgCell cell(const_cast<TdgBaseGrid *>(this), element->DataCol, element->DataRow);
    writePublished(w, cell, "Cell.");
    w.writeListEnd();
  }
  w.writeListEnd();
}

void TdgBaseGrid::WriteData(ComponentWriter &w) const {
  std::string data;
  if (FStorage)
    FStorage->WriteValues(data);
  w.writeBinary(data);
}

bool TdgBaseGrid::readDefinedProperty(std::string_view name, ComponentReader &r) {
  // Items that name no column, row or cell of this grid put their values
  // into a grid of their own, which is dropped afterwards.
  std::unique_ptr<TdgGrid> scratch;
  auto scratchGrid = [&]() -> TdgGrid & {
    if (!scratch) {
      scratch = std::make_unique<TdgGrid>();
      scratch->SetRaiseErrors(false);
    }
    return *scratch;
  };
  if (sameName(name, "ColWidths") || sameName(name, "RowHeights")) {
    const bool widths = sameName(name, "ColWidths");
    r.readListBegin();
    for (int i = 0; !r.endOfList(); ++i) {
      const int value = r.readInteger();
      if (widths && i < ColCount())
        SetColWidths(i, value);
      else if (!widths && i < RowCount())
        SetRowHeights(i, value);
    }
    r.readListEnd();
    return true;
  }
  if (sameName(name, "EditMode")) {
    const std::string mode = asciiLowerCase(r.readIdent());
    SetGridMode(mode == "emnone"         ? gmListBox
                : mode == "emeditinsert" ? gmEditInsert
                : mode == "embrowse"     ? gmBrowse
                                         : gmEdit);
    return true;
  }
  if (sameName(name, "HeadingAlignment")) {
    const std::string alignment = asciiLowerCase(r.readIdent());
    FHeadingHorzAlignment = alignment == "tarightjustify" ? htaRight
                            : alignment == "tacenter"     ? htaCenter
                                                          : htaDefault;
    InvalidateRect(TGridRect{0, 0, ColCount() - 1, 0});
    return true;
  }
  if (sameName(name, "ImageListIds")) {
    FImageListIds.clear();
    const std::string ids = r.readString();
    std::size_t start = 0;
    while (start <= ids.size() && !ids.empty()) {
      const std::size_t comma = std::min(ids.find(',', start), ids.size());
      FImageListIds.push_back(ids.substr(start, comma - start));
      start = comma + 1;
    }
    return true;
  }
  if (sameName(name, "ColProperties")) {
    r.readCollectionBegin();
    while (!r.endOfList()) {
      r.readListBegin();
      TdgCol *target = nullptr;
      int dataCol = 0;
      while (!r.endOfList()) {
        const std::string item = r.readName();
        if (sameName(item, "DataCol")) {
          dataCol = r.readInteger();
          if (FColMatchMode == 1)
            target = CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ? FColStore->Item(dataCol)
                                                                          : nullptr;
        } else if (sameName(item, "FieldName")) {
          const std::string fieldName = r.readString();
          if (FColMatchMode == 0)
            target = MatchColumnByFieldName(dataCol, fieldName);
        } else if (startsWithName(item, "Col.")) {
          TdgCol *col = target ? target : scratchGrid().GetCol(Variant(std::int32_t(1)));
          readNested(r, *col, std::string_view(item).substr(4));
        } else {
          r.readRawValue();
        }
      }
      r.readListEnd();
    }
    r.readListEnd();
    return true;
  }
  if (sameName(name, "RowProperties")) {
    FReadingRows = true;
    FPendingRowOrder.clear();
    struct Apply {
      TdgBaseGrid &grid;
      ~Apply() { grid.ApplyPendingRowOrder(); }
    } apply{*this};
    r.readCollectionBegin();
    while (!r.endOfList()) {
      r.readListBegin();
      int dataRow = -1;
      TdgRow *target = nullptr;
      while (!r.endOfList()) {
        const std::string item = r.readName();
        if (sameName(item, "DataRow")) {
          dataRow = r.readInteger();
          target = CheckIndex(TdgIndexKind::Row, dataRow, 1, Rows())
                       ? &FRowStore->EnsureRowObject(dataRow)
                       : nullptr;
        } else if (sameName(item, "DisplayRow")) {
          const int displayRow = r.readInteger();
          if (target)
            setDisplayRowOf(dataRow, displayRow);
        } else if (sameName(item, "Selected")) {
          const bool selected = r.readBoolean();
          if (target)
            setRowSelected(dataRow, selected);
        } else if (startsWithName(item, "Row.")) {
          TdgRow *row = target ? target : &scratchGrid().RowStore().EnsureRowObject(1);
          readNested(r, *row, std::string_view(item).substr(4));
        } else {
          r.readRawValue();
        }
      }
      if (target)
        FRowStore->ReleaseIfDefault(dataRow);
      r.readListEnd();
    }
    r.readListEnd();
    return true;
  }
  if (sameName(name, "CellProperties")) {
    r.readCollectionBegin();
    while (!r.endOfList()) {
      r.readListBegin();
      int dataCol = -1, dataRow = -1;
      std::unique_ptr<TdgCell> cell;
      while (!r.endOfList()) {
        const std::string item = r.readName();
        if (sameName(item, "DataCol")) {
          dataCol = r.readInteger();
          cell.reset();
        } else if (sameName(item, "DataRow")) {
          dataRow = r.readInteger();
          cell.reset();
        } else if (startsWithName(item, "Cell.")) {
          if (!cell) {
            const bool inside = CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) &&
                                CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1);
            cell = inside ? std::make_unique<TdgCell>(this, dataCol, dataRow)
                          : std::make_unique<TdgCell>(&scratchGrid(), 1, 1);
          }
          readNested(r, *cell, std::string_view(item).substr(5));
        } else {
          r.readRawValue();
        }
      }
      r.readListEnd();
    }
    r.readListEnd();
    return true;
  }
  if (sameName(name, "Data")) {
    const std::string data = r.readBinary();
    SetStoreData(true);
    FStorage->ReadValues(data, FLoadColMap.get());
    InvalidateGrid();
    return true;
  }
  return false;
}

TdgCol *TdgBaseGrid::MatchColumnByFieldName(int storedCol, const std::string &fieldName) {
  TdgCol *col = FColStore->FindByFieldName(fieldName);
  int target = 0;
  if (col) {
    col->PropertyMask = FPropertyMask;
    for (int d = 1; d <= Cols(); ++d)
      if (FColStore->Item(d) == col)
        target = d;
  }
  // A stored column numbered below 1 has no place in the map.
  if (storedCol >= 1) {
    if (!FLoadColMap)
      FLoadColMap = std::make_unique<TdgIntegerList>();
    if (FLoadColMap->Count() < storedCol)
      FLoadColMap->SetCount(storedCol);
    FLoadColMap->Put(storedCol - 1, target);
  }
  return col;
}

void TdgBaseGrid::setDisplayRowOf(int dataRow, int displayRow) {
  if (FReadingRows)
    FPendingRowOrder.emplace_back(dataRow, displayRow);
  else
    SetDisplayRowOf(dataRow, displayRow);
}

void TdgBaseGrid::ApplyPendingRowOrder() {
  FReadingRows = false;
  const int rows = Rows();
  // The stream names the rows shown away from their own number; the others
  // fill the remaining places in data order.
  std::vector<int> target(static_cast<std::size_t>(rows) + 1, 0);
  std::vector<bool> placed(static_cast<std::size_t>(rows) + 1, false);
  for (const auto &[d, p] : FPendingRowOrder) {
    if (d < 1 || d > rows || p < 1 || p > rows || placed[static_cast<std::size_t>(d)])
      continue;
    if (const int old = target[static_cast<std::size_t>(p)]; old != 0)
      placed[static_cast<std::size_t>(old)] = false;
    target[static_cast<std::size_t>(p)] = d;
    placed[static_cast<std::size_t>(d)] = true;
  }
  FPendingRowOrder.clear();
  int next = 1;
  for (int p = 1; p <= rows; ++p) {
    if (target[static_cast<std::size_t>(p)] != 0)
      continue;
    while (placed[static_cast<std::size_t>(next)])
      ++next;
    target[static_cast<std::size_t>(p)] = next;
    placed[static_cast<std::size_t>(next)] = true;
  }
  for (int p = 1; p <= rows; ++p) {
    const int d = target[static_cast<std::size_t>(p)];
    if (GetDataRow(p) != d)
      MoveRowDisplay(GetDisplayRowOf(d), p);
  }
  // A row object that only says where its row is shown is not kept.
  for (int d = 1; d <= rows; ++d) {
    const TdgRow *row = RowObject(d);
    if (row && row->ColRowProperties::IsDefault() && row->Height() == DefaultRowHeight())
      FRowStore->FreeRow(d);
  }
  InvalidateGrid();
}

void TdgGridStreamer::writePublishedProperties(ComponentWriter &writer) const {
  writePublished(writer, grid_, "");
}

bool TdgGridStreamer::readPublishedProperty(std::string_view name, ComponentReader &reader) {
  return readPublished(reader, grid_, name);
}

void TdgGridStreamer::writeDefinedProperties(ComponentWriter &writer) const {
  grid_.writeDefinedProperties(writer, {});
}

bool TdgGridStreamer::readDefinedProperty(std::string_view name, ComponentReader &reader) {
  return grid_.readDefinedProperty(name, reader);
}

std::string writeGrid(const TdgBaseGrid &grid) {
  std::string out;
  ComponentWriter writer(out);
  const TdgGridStreamer streamer(const_cast<TdgBaseGrid &>(grid));
  grid.beginSave();
  struct EndSave {
    const TdgBaseGrid &grid;
    ~EndSave() { grid.endSave(); }
  } endSave{grid};
  writer.writeRootComponent(streamer);
  return out;
}

void readGrid(TdgBaseGrid &grid, std::string_view bytes) {
  grid.beginLoad();
  struct EndLoad {
    TdgBaseGrid &grid;
    ~EndLoad() { grid.endLoad(); }
  } endLoad{grid};
  ComponentReader reader(bytes, "TdgGrid");
  TdgGridStreamer streamer(grid);
  reader.readRootComponent(streamer);
}

} // namespace marrowen

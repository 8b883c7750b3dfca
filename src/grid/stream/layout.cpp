#include "grid/stream/layout.h"

#include "classlib/format.h"
#include "classlib/registry.h"
#include "classlib/safefile.h"
#include "classlib/streams.h"
#include "grid/data/cells.h"
#include "grid/data/colrow.h"
#include "grid/data/gridutils.h"
#include "grid/stream/gridstream.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace marrowen {

namespace {

constexpr std::uint32_t linkedGroups = 0x100000C0;
// Far above any grid's layout with its values and pictures.
constexpr std::size_t layoutFileLimit = 256 * 1024 * 1024;

// A key that does not begin with two backslashes and a root's name lies
// below the default root.
std::unique_ptr<TRegistry> openLayoutKey(const std::string &key, bool canCreate) {
  if (key.starts_with("\\\\"))
    return OpenRegistryPath(key, canCreate);
  auto registry = std::make_unique<TRegistry>();
  if (!registry->OpenKey(key, canCreate))
    return nullptr;
  return registry;
}

template <class F> struct Finally {
  F f;
  ~Finally() { f(); }
};
template <class F> Finally(F) -> Finally<F>;

// A nested value read by a reader of its own names that reader's source;
// the error is raised again at the outer reader's place, naming the file.
template <class F> void readNestedValue(ComponentReader &r, F read) {
  try {
    read();
  } catch (const EReadError &e) {
    r.fail(e.detail());
  }
}

} // namespace

TdgGridStreamComponent::~TdgGridStreamComponent() = default;

void TdgGridStreamComponent::SetProperties(std::uint32_t mask) {
  if (mask & linkedGroups)
    mask |= linkedGroups;
  properties_ = mask;
  allProperties_ = mask == allLayoutProperties;
}

void TdgGridStreamComponent::writePublishedProperties(ComponentWriter &w) const {
  if (SavePropKinds != 0) {
    std::vector<std::string_view> members;
    for (int i = 0; i < 4; ++i)
      if (SavePropKinds & (1 << i))
        members.push_back(propKindNames[i]);
    w.writeName("SavePropKinds");
    w.writeSet(members);
  }
  if (SaveData) {
    w.writeName("SaveData");
    w.writeBoolean(true);
  }
}

bool TdgGridStreamComponent::readPublishedProperty(std::string_view name, ComponentReader &r) {
  if (sameName(name, "SavePropKinds")) {
    SavePropKinds = 0;
    for (const std::string &member : r.readSet())
      for (int i = 0; i < 4; ++i)
        if (sameName(member, propKindNames[i]))
          SavePropKinds |= static_cast<TdgPropKinds>(1 << i);
    return true;
  }
  if (sameName(name, "SaveData")) {
    SaveData = r.readBoolean();
    return true;
  }
  return false;
}

TdgBaseGrid &TdgGridStreamComponent::SavedGrid() const {
  if (allProperties_ || properties_ == allLayoutProperties)
    return *grid_;
  if (!copy_) {
    // Only the chosen groups may differ from the defaults in what is written.
    copy_ = owner_.CreateLayoutCopy(SaveData);
    const std::uint32_t others = ~properties_;
    TdgBaseGrid &copy = *copy_;
    if (SavePropKinds & pkCols)
      for (int c = 1; c <= copy.Cols(); ++c)
        if (TdgCol *col = copy.ColStore().Item(c))
          col->ResetProperties(others);
    if (SavePropKinds & pkRows)
      for (int r = 1; r <= copy.Rows(); ++r)
        if (TdgRow *row = copy.RowStore().RowObject(r)) {
          row->ResetProperties(others);
          copy.RowStore().ReleaseIfDefault(r);
        }
    if (SavePropKinds & pkCells)
      copy.CellProps().ResetAll(others, false);
  }
  return *copy_;
}

void TdgGridStreamComponent::writeDefinedProperties(ComponentWriter &w) const {
  const TdgBaseGrid &grid = SavedGrid();
  const std::uint32_t mask = properties_;
  std::string maskBytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    maskBytes[static_cast<std::size_t>(i)] = static_cast<char>((mask >> (8 * i)) & 0xFF);
  w.writeName("Properties");
  w.writeString(maskBytes);
  w.writeName("AllProperties");
  w.writeBoolean(allProperties_);
  w.writeName("ResetProps");
  w.writeBoolean(true);
  const bool kindGrid = SavePropKinds & pkGrid;
  const bool kindCols = SavePropKinds & pkCols;
  const bool kindRows = SavePropKinds & pkRows;
  if (kindGrid) {
    auto &g = const_cast<TdgBaseGrid &>(grid);
    g.SuspendDataWriting(false);
    Finally resume{[&g] { g.SuspendDataWriting(true); }};
    w.writeName("Grid");
    w.writeBinary(writeGrid(grid));
  }
  if (kindCols) {
    w.writeName("Cols");
    w.writeInteger(grid.Cols());
  }
  if (!kindGrid && kindRows) {
    w.writeName("Rows");
    w.writeInteger(grid.Rows());
  }
  if (!kindGrid && kindCols && (mask & resetBit(pnWidth))) {
    w.writeName("DefaultColWidth");
    w.writeInteger(grid.DefaultColWidth());
  }
  if (!kindGrid && kindRows && (mask & resetBit(pnHeight))) {
    w.writeName("DefaultRowHeight");
    w.writeInteger(grid.DefaultRowHeight());
  }
  if (kindCols) {
    w.writeName("ColProperties");
    grid.WriteColProperties(w);
  }
  if (kindRows) {
    w.writeName("RowProperties");
    grid.WriteRowProperties(w);
  }
  if (SavePropKinds & pkCells) {
    w.writeName("CellProperties");
    grid.WriteCellProperties(w);
  }
  if (SaveData && grid.StoreData()) {
    w.writeName("Data");
    grid.WriteData(w);
  }
}

void TdgGridStreamComponent::ResetTarget() {
  TdgBaseGrid &grid = *grid_;
  const std::uint32_t flags = allProperties_ ? 0xFFFFFFFFu : properties_;
  if (allProperties_ && (SavePropKinds & pkGrid)) {
    grid.ResetOwnProperties(SavePropKinds);
    rowsToDefault_ = (SavePropKinds & pkRows) != 0;
  }
  if ((SavePropKinds & pkCols) && ColMatchMode == 1)
    for (int c = 1; c <= grid.Cols(); ++c)
      if (TdgCol *col = grid.ColStore().Item(c))
        col->ResetProperties(flags);
  if (SavePropKinds & pkRows)
    for (int r = 1; r <= grid.Rows(); ++r)
      if (TdgRow *row = grid.RowStore().RowObject(r)) {
        row->ResetProperties(flags);
        grid.RowStore().ReleaseIfDefault(r);
      }
  if (SavePropKinds & pkCells)
    grid.CellProps().ResetAll(flags, true);
  // The flag bits name only some settings: with every group chosen, the
  // columns and rows the layout does not name must not keep the others.
  if (allProperties_)
    grid.ResetLinesToNew(SavePropKinds & (ColMatchMode == 1 ? pkCols | pkRows : pkRows));
}

bool TdgGridStreamComponent::readDefinedProperty(std::string_view name, ComponentReader &r) {
  TdgBaseGrid &grid = *grid_;
  if (sameName(name, "Properties")) {
    if (r.nextValue() == ValueType::Set) {
      r.readSet();
      properties_ = allLayoutProperties;
    } else {
      const std::string text = r.readString();
      std::uint32_t mask = 0;
      for (std::size_t i = 0; i < 4 && i < text.size(); ++i)
        mask |= std::uint32_t(static_cast<unsigned char>(text[i])) << (8 * i);
      properties_ = mask;
    }
    return true;
  }
  if (sameName(name, "AllProperties")) {
    allProperties_ = r.readBoolean();
    if (allProperties_)
      properties_ = allLayoutProperties;
    return true;
  }
  if (sameName(name, "ResetProps")) {
    if (r.readBoolean())
      ResetTarget();
    return true;
  }
  if (sameName(name, "Grid")) {
    const std::string bytes = r.readBinary();
    std::vector<std::string> named;
    // Matched by field name, the grid keeps its own columns and their count.
    readNestedValue(r, [&] { named = readGrid(grid, bytes, ColMatchMode == 1 ? "" : "Cols"); });
    // The record leaves out a row count at its default.
    if (rowsToDefault_ && std::none_of(named.begin(), named.end(),
                                       [](const std::string &n) { return sameName(n, "Rows"); }))
      grid.SetRows(grid.findProperty("Rows")->defaultValue.toInteger());
    rowsToDefault_ = false;
    return true;
  }
  if (sameName(name, "Cols")) {
    const int cols = readBoundedInteger(r, 0, maxStreamedCols);
    if (ColMatchMode == 1)
      grid.SetCols(cols);
    return true;
  }
  if (sameName(name, "Rows")) {
    grid.SetRows(readBoundedInteger(r, 0, maxStreamedRows));
    return true;
  }
  if (sameName(name, "DefaultColWidth")) {
    grid.SetDefaultColWidth(readBoundedInteger(r, -1, maxStreamedExtent));
    return true;
  }
  if (sameName(name, "DefaultRowHeight")) {
    grid.SetDefaultRowHeight(readBoundedInteger(r, -1, maxStreamedExtent));
    return true;
  }
  if (sameName(name, "ColProperties")) {
    grid.SetColMatchMode(ColMatchMode);
    grid.SetPropertyMask(properties_);
    Finally restore{[&grid] {
      grid.SetColMatchMode(1);
      grid.SetPropertyMask(0);
    }};
    return grid.readDefinedProperty(name, r);
  }
  if (sameName(name, "RowProperties") || sameName(name, "CellProperties"))
    return grid.readDefinedProperty(name, r);
  if (sameName(name, "Data")) {
    readNestedValue(r, [&] { grid.readDefinedProperty(name, r); });
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The grid's side

std::unique_ptr<TdgGridStreamComponent> TdgBaseGrid::CreateStreamComponent() {
  return std::make_unique<TdgGridStreamComponent>(*this);
}

std::unique_ptr<TdgBaseGrid> TdgBaseGrid::CreateLayoutCopy(bool withData) const {
  std::unique_ptr<TdgBaseGrid> copy = NewGridOfSameClass();
  copy->SetRaiseErrors(false);
  copy->CopyGrid(*this, allPropKinds, withData);
  return copy;
}

std::string TdgBaseGrid::SaveLayout(TdgPropKinds kinds, std::uint32_t properties, bool saveData) {
  const std::unique_ptr<TdgGridStreamComponent> component = CreateStreamComponent();
  component->SavePropKinds = kinds;
  component->SetProperties(properties);
  component->SaveData = saveData;
  BeginUpdate();
  FLayoutSaving = true;
  beginSave();
  Finally done{[this] {
    endSave();
    FLayoutSaving = false;
    EndUpdate();
  }};
  std::string bytes;
  ComponentWriter writer(bytes);
  writer.writeRootComponent(*component);
  return bytes;
}

void TdgBaseGrid::SaveToStream(TStream &stream, TdgPropKinds kinds, std::uint32_t properties,
                               bool saveData) {
  stream.WriteBuffer(SaveLayout(kinds, properties, saveData));
}

void TdgBaseGrid::SaveToStream(TStream &stream, bool saveData) {
  SaveToStream(stream, allPropKinds, allLayoutProperties, saveData);
}

void TdgBaseGrid::SaveToFile(const std::string &fileName, TdgPropKinds kinds,
                             std::uint32_t properties, bool saveData) {
  const std::string bytes = SaveLayout(kinds, properties, saveData);
  if (const FileReplaceResult result = replaceFileContents(fileName, bytes); !result)
    throw EFCreateError(fileName, std::strerror(result.error));
}

void TdgBaseGrid::LoadLayout(std::string_view bytes, const std::string &sourceName,
                             bool fieldState) {
  const std::unique_ptr<TdgGridStreamComponent> component = CreateStreamComponent();
  component->ColMatchMode = fieldState ? 0 : 1;
  {
    BeginUpdate();
    beginLoad();
    FLayoutLoading = true;
    FFieldState = fieldState;
    Finally done{[this] {
      FLayoutLoading = false;
      FFieldState = true;
      ClearLoadColMap();
      SetColMatchMode(1);
      SetPropertyMask(0);
      endLoad();
      EndUpdate();
    }};
    ComponentReader reader(bytes, sourceName);
    reader.readRootComponent(*component);
  }
  // Lines moved, sized or hidden by the layout: the editor and the current
  // cell follow.
  FollowCurrentCell();
}

void TdgBaseGrid::LoadFromStream(TStream &stream, bool fieldState) {
  const auto *file = dynamic_cast<const TFileStream *>(&stream);
  const std::string bytes = stream.ReadAll();
  LoadLayout(bytes, file ? file->FileName() : std::string(), fieldState);
}

void TdgBaseGrid::LoadFromFile(const std::string &fileName, bool fieldState) {
  // Read as a regular file: a pipe named by a settings value would otherwise
  // wait for a writer for ever, and a huge file fill the memory.
  LoadLayout(readSettingsFile(fileName, layoutFileLimit), fileName, fieldState);
}

void TdgBaseGrid::SaveToRegistry(const std::string &key, const std::string &valueName,
                                 const std::string &fileName, TdgPropKinds kinds,
                                 std::uint32_t properties, bool saveData) {
  const std::unique_ptr<TRegistry> registry = openLayoutKey(key, true);
  if (!registry)
    throw ERegistryException(Format("Failed to create key %s", {key}));
  if (!fileName.empty()) {
    const std::string fullName = std::filesystem::absolute(fileName).lexically_normal().string();
    SaveToFile(fullName, kinds, properties, saveData);
    registry->WriteString(valueName, fullName);
  } else {
    registry->WriteBinaryData(valueName, SaveLayout(kinds, properties, saveData));
  }
  registry->CloseKey();
}

void TdgBaseGrid::SaveToRegistry(const std::string &key, const std::string &valueName,
                                 const std::string &fileName, bool saveData) {
  SaveToRegistry(key, valueName, fileName, allPropKinds, allLayoutProperties, saveData);
}

bool TdgBaseGrid::LoadFromRegistry(const std::string &key, const std::string &valueName,
                                   bool fieldState) {
  const std::unique_ptr<TRegistry> registry = openLayoutKey(key, false);
  if (!registry)
    return false;
  switch (registry->GetDataType(valueName)) {
  case TRegDataType::rdString: {
    const std::string fileName = registry->ReadString(valueName);
    registry->CloseKey();
    if (fileName.empty())
      return false;
    LoadFromFile(fileName, fieldState);
    return true;
  }
  case TRegDataType::rdBinary: {
    const std::string bytes = registry->ReadBinaryData(valueName);
    registry->CloseKey();
    LoadLayout(bytes, key + "\\" + valueName, fieldState);
    return true;
  }
  default:
    return false;
  }
}

} // namespace marrowen

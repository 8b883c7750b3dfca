#pragma once

#include "classlib/componentstream.h"
#include "grid/widget/dgbasegrid.h"

#include <cstdint>
#include <memory>

namespace marrowen {

// Carries one layout save or load of a grid: which parts are written is set
// by the kinds and the property groups, and reading applies what it finds to
// the grid that made it. A partial save writes a private copy of the grid in
// which the groups left out are back at their defaults.
class TdgGridStreamComponent : public StreamableComponent {
public:
  explicit TdgGridStreamComponent(TdgBaseGrid &grid) : owner_(grid), grid_(&grid) {}
  ~TdgGridStreamComponent() override;

  TdgPropKinds SavePropKinds = 0;
  bool SaveData = false;
  // 1 matches stored columns by data column, 0 by field name.
  std::uint8_t ColMatchMode = 1;
  std::uint32_t Properties() const { return properties_; }
  bool AllProperties() const { return allProperties_; }
  // The $100000C0 groups go together; all groups switch AllProperties on.
  void SetProperties(std::uint32_t mask);

  std::string_view className() const override { return "TdgGridStreamComponent"; }
  std::string_view definedPropertyName() const override { return {}; }
  void writeData(ComponentWriter &) const override {}
  void readData(ComponentReader &) override {}
  void writePublishedProperties(ComponentWriter &writer) const override;
  bool readPublishedProperty(std::string_view name, ComponentReader &reader) override;
  void writeDefinedProperties(ComponentWriter &writer) const override;
  bool readDefinedProperty(std::string_view name, ComponentReader &reader) override;

private:
  TdgBaseGrid &SavedGrid() const;
  void ResetTarget();

  TdgBaseGrid &owner_;
  TdgBaseGrid *grid_;
  mutable std::unique_ptr<TdgBaseGrid> copy_;
  std::uint32_t properties_ = 0;
  bool allProperties_ = false;
  // A reset grid takes the default row count unless its record names one;
  // a reset before reading would drop the rows a record then brings back.
  bool rowsToDefault_ = false;
};

// The member names "SavePropKinds" streams.
inline constexpr std::string_view propKindNames[4] = {"pkGrid", "pkCols", "pkRows", "pkCells"};

} // namespace marrowen

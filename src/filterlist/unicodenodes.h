#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace marrowen {

// One entry of a Unicode map: a 16-bit character code written in decimal,
// and the escaped text that replaces it. Both are kept as the grid holds
// them and checked only when the filter is built.
struct UnicodeMapEntry {
  std::string from;
  std::string to;

  bool operator==(const UnicodeMapEntry &) const = default;
};

// Replaces 16-bit characters by texts of the user's. A new node starts
// empty; its editor can fill the map from a range of codes, which the node
// remembers with the map.
class TUnicodeMapObject : public TListObject {
public:
  // The editor's "Populate values" range, each 0..65535.
  std::int32_t startValue = 0;
  std::int32_t endValue = 0;
  // One entry per code, so the codes and texts always pair up.
  std::vector<UnicodeMapEntry> entries;

  // The stored fields after the entries, in stored order.
  static std::span<const NodeField<TUnicodeMapObject>> fields();
  static std::unique_ptr<TUnicodeMapObject> CreateDefault();

  // The codes and the replacement texts, index by index.
  std::vector<std::string> fromList() const;
  std::vector<std::string> toList() const;

  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  // Raises the filter's conversion or range error for a code that is not a
  // number from 0 to 65535, and the escape error for a malformed text, each
  // after the node's name.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TUnicodeMapObject"; }
  std::string_view definedPropertyName() const override { return "UnicodeMapObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

} // namespace marrowen

#pragma once

#include <cstdint>
#include <vector>

namespace marrowen {

// Per-column or per-row 32-bit values (widths, heights, tab stops). An empty
// list means "every entry has the default", so a grid whose sizes were never
// changed spends no memory on them.
class ExtentList {
public:
  bool empty() const { return values_.empty(); }
  std::int32_t count() const { return static_cast<std::int32_t>(values_.size()); }
  std::int32_t operator[](std::int32_t i) const { return values_[static_cast<std::size_t>(i)]; }
  std::int32_t &operator[](std::int32_t i) { return values_[static_cast<std::size_t>(i)]; }
  void clear() { values_.clear(); }

  // Inserts `amount` entries of `defaultValue` at `index`, or removes
  // -amount entries from `index` on; later entries keep their values. Raises
  // EInvalidGridOperation for an index outside 0..count, a negative result,
  // or a list too large for the grid.
  void Modify(std::int32_t index, std::int32_t amount, std::int32_t defaultValue);
  // Grows or cuts the list at its end to `newSize` entries.
  void Update(std::int32_t newSize, std::int32_t defaultValue);
  // Takes entry `from` out and puts it back at `to`.
  void Move(std::int32_t from, std::int32_t to);

  // Keeps the entries whose flag is set, in order; entries past the flags go.
  void Filter(const std::vector<bool> &keep);

  bool operator==(const ExtentList &other) const = default;

private:
  void checkNewCount(std::int64_t newCount) const;

  std::vector<std::int32_t> values_;
};

} // namespace marrowen

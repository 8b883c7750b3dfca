#pragma once

#include "classlib/stringlist.h"

#include <functional>
#include <string_view>

namespace marrowen {

// Two lines -> negative, zero or positive.
using TStringCompare = std::function<int(std::string_view, std::string_view)>;

// A string list ordered by a comparison of its own, given at creation; without
// one, the locale's case-sensitive order (AnsiCompareStr). Find, Sort, sorted
// Add and IndexOf all use it, so the list must be kept in that order.
class TMyStringList : public TStringList {
public:
  explicit TMyStringList(TStringCompare comparison = nullptr);

  // The comparison; the inherited Find calls it as comparison(list item, s).
  int CompareStrings(std::string_view a, std::string_view b) const override;

  const TStringCompare &comparison() const { return comparison_; }

protected:
  bool SameStrings(std::string_view a, std::string_view b) const override;

private:
  TStringCompare comparison_;
};

} // namespace marrowen

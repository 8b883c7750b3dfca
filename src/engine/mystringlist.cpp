#include "engine/mystringlist.h"

#include "classlib/collation.h"

namespace marrowen {

TMyStringList::TMyStringList(TStringCompare comparison)
    : comparison_(comparison ? std::move(comparison) : TStringCompare(AnsiCompareStr)) {}

int TMyStringList::CompareStrings(std::string_view a, std::string_view b) const {
  return comparison_(a, b);
}

bool TMyStringList::SameStrings(std::string_view a, std::string_view b) const {
  return comparison_(a, b) == 0;
}

} // namespace marrowen

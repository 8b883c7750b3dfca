#include "engine/mystringlist.h"

#include "classlib/collation.h"

namespace marrowen {

TMyStringList::TMyStringList(TStringCompare comparison)
    : comparison_(comparison ? std::move(comparison) : TStringCompare(AnsiCompareStr)) {}

bool TMyStringList::Find(std::string_view s, int &index) const {
  bool found = false;
  int low = 0;
  int high = Count() - 1;
  while (low <= high) {
    int middle = low + (high - low) / 2;
    int c = comparison_(Strings(middle), s);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        found = true;
        if (Duplicates() != TDuplicates::dupAccept)
          low = middle;
      }
    }
  }
  index = low;
  return found;
}

void TMyStringList::Sort() {
  CustomSort([this](TStringList &list, int a, int b) {
    return comparison_(list.Strings(a), list.Strings(b));
  });
}

int TMyStringList::CompareStrings(std::string_view a, std::string_view b) const {
  return comparison_(a, b);
}

bool TMyStringList::SameStrings(std::string_view a, std::string_view b) const {
  return comparison_(a, b) == 0;
}

} // namespace marrowen

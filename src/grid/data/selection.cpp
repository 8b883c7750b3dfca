#include "grid/data/selection.h"

#include <algorithm>
#include <utility>

namespace marrowen {

bool TdgSelection::Assign(const TdgSelection &source) {
  const bool hadNone = Count == 0;
  First = source.First;
  Last = source.Last;
  Count = source.Count;
  if (hadNone && source.Count == 0) {
    Bits.assign(source.Bits.size(), false);
    return false;
  }
  // Sizes alone are no change: a place one side lacks counts as unselected.
  const std::size_t common = std::min(Bits.size(), source.Bits.size());
  const auto selectedFrom = [](const std::vector<bool> &bits, std::size_t from) {
    return std::find(bits.begin() + static_cast<std::ptrdiff_t>(from), bits.end(), true) !=
           bits.end();
  };
  const bool changed = !std::equal(Bits.begin(), Bits.begin() + static_cast<std::ptrdiff_t>(common),
                                   source.Bits.begin()) ||
                       selectedFrom(Bits, common) || selectedFrom(source.Bits, common);
  Bits = source.Bits;
  return changed;
}

void TdgSelection::Clear() {
  std::fill(Bits.begin(), Bits.end(), false);
  Count = 0;
  First = -1;
  Last = -1;
}

void TdgSelection::Recount() {
  Count = 0;
  First = -1;
  Last = -1;
  for (int i = 1; i < Size(); ++i)
    if (Bits[static_cast<std::size_t>(i)]) {
      ++Count;
      if (First < 0)
        First = i;
      Last = i;
    }
}

void TdgSelection::SetSize(int n) {
  n = std::max(n, 0);
  if (n < Size()) {
    for (int i = std::max(n, 1); i < Size(); ++i)
      if (Bits[static_cast<std::size_t>(i)])
        --Count;
    if (n - 1 < Last) {
      int last = -1;
      for (int i = std::min(n, Size()) - 1; i >= 1; --i)
        if (Bits[static_cast<std::size_t>(i)]) {
          last = i;
          break;
        }
      Last = last;
    }
    if (n - 1 < First)
      First = -1;
  }
  Bits.resize(static_cast<std::size_t>(n), false);
}

int TdgSelection::NextSelected(int i) const {
  if (Count < 1 || i >= Last)
    return -1;
  for (int j = std::max(i + 1, 1); j <= Last; ++j)
    if (Bits[static_cast<std::size_t>(j)])
      return j;
  return -1;
}

int TdgSelection::PrevSelected(int i) const {
  if (Count < 1 || i <= First)
    return -1;
  for (int j = std::min(i - 1, Size() - 1); j >= First; --j)
    if (Bits[static_cast<std::size_t>(j)])
      return j;
  return -1;
}

int TdgSelection::CountInRange(int a, int b) const {
  if (a > b)
    std::swap(a, b);
  a = std::max(a, 1);
  b = std::min(b, Size() - 1);
  if (Count == 0 || b < First || a > Last)
    return 0;
  if (a <= First && b >= Last)
    return Count;
  int n = 0;
  for (int i = IsSelected(a) ? a : NextSelected(a); i != -1 && i <= b; i = NextSelected(i))
    ++n;
  return n;
}

} // namespace marrowen

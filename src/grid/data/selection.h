#pragma once

#include <cstdint>
#include <vector>

namespace marrowen {

// The selected columns or rows of a grid, by display position: a bit per
// position (position 0, the heading or row bar, is never selected) with the
// lowest and highest selected position and their count kept beside the bits,
// so painting and range questions need not walk them. The grid's selection
// operations keep the four consistent.
class TdgSelection {
public:
  std::vector<bool> Bits;
  int First = -1;
  int Last = -1;
  int Count = 0;

  virtual ~TdgSelection() = default;

  // Copies the other selection; answers whether any bit changed.
  virtual bool Assign(const TdgSelection &source);
  void Clear();
  // Works out the lowest and highest selected position and the count again
  // from the bits, after they were changed wholesale.
  void Recount();
  int Size() const { return static_cast<int>(Bits.size()); }
  void SetSize(int n);
  bool IsSelected(int i) const { return i >= 1 && i < Size() && Bits[static_cast<std::size_t>(i)]; }
  int NextSelected(int i) const;
  int PrevSelected(int i) const;
  int CountInRange(int a, int b) const;
};

} // namespace marrowen

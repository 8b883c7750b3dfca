#pragma once

#include "classlib/growingarray.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

namespace marrowen {

// The lines a filter holds back until it knows what to do with them (the
// last lines of a file, the lines around a match), each with its line end.
// A long line is taken over from the line cutter's block rather than
// copied, so it is held once; a short one is copied into the block of a
// line that left, so a window that moves through a file allocates nothing
// per line.
class LineWindow {
public:
  // Takes `line` and its line end. A long `line` is left empty, its block
  // taken over; a short one is left as it was.
  void push(GrowingText &line, std::string_view lineEnd);
  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  // Line `index` with its line end, valid until the window changes.
  std::string_view operator[](std::size_t index) const { return lines_[index]; }
  void popFront();
  void clear();
  // The bytes of the lines held.
  std::int64_t byteCount() const { return bytes_; }

private:
  std::deque<GrowingText> lines_;
  std::vector<GrowingText> spare_; // blocks of lines that left, for the next ones
  std::int64_t bytes_ = 0;
};

} // namespace marrowen

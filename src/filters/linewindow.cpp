#include "filters/linewindow.h"

#include "engine/filter.h"

namespace marrowen {

namespace {

// Blocks kept for the lines to come: a window that takes one line as one
// leaves needs one.
constexpr std::size_t spareBlocks = 4;

} // namespace

void LineWindow::push(GrowingText &line, std::string_view lineEnd) {
  if (line.size() > textPieceSize()) {
    lines_.emplace_back();
    lines_.back().swap(line);
    lines_.back().append(lineEnd);
  } else {
    if (spare_.empty()) {
      lines_.emplace_back();
    } else {
      lines_.push_back(std::move(spare_.back()));
      spare_.pop_back();
    }
    lines_.back().assign(line, lineEnd);
  }
  bytes_ += static_cast<std::int64_t>(lines_.back().size());
}

void LineWindow::popFront() {
  if (lines_.empty())
    return;
  GrowingText &front = lines_.front();
  bytes_ -= static_cast<std::int64_t>(front.size());
  if (spare_.size() < spareBlocks && front.capacity() <= GrowingText::keptCapacity) {
    front.truncate(0);
    spare_.push_back(std::move(front));
  }
  lines_.pop_front();
}

void LineWindow::clear() {
  lines_.clear();
  spare_.clear();
  bytes_ = 0;
}

} // namespace marrowen

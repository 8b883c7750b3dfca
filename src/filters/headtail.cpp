#include "filters/headtail.h"

#include <algorithm>

namespace marrowen {

namespace {

std::int64_t atLeastZero(int count) { return std::max(count, 0); }

} // namespace

TIncludeExcludeLinesFromStart::TIncludeExcludeLinesFromStart(int count, bool include)
    : count_(atLeastZero(count)), include_(include) {}

void TIncludeExcludeLinesFromStart::processLine(std::string_view lineEnd) {
  if ((lineCounter_ <= count_) == include_)
    putLineToNext(currentLine_, lineEnd);
}

TIncludeExcludeBytesFromStart::TIncludeExcludeBytesFromStart(int count, bool include)
    : count_(atLeastZero(count)), include_(include) {}

void TIncludeExcludeBytesFromStart::startFile() {
  seen_ = 0;
  TGenericStateMachine::startFile();
}

bool TIncludeExcludeBytesFromStart::processChunk(std::string &chunk) {
  const auto size = static_cast<std::int64_t>(chunk.size());
  // The bytes of this chunk that lie within the first N.
  const std::int64_t within = std::clamp<std::int64_t>(count_ - seen_, 0, size);
  seen_ += size;
  if (include_)
    chunk.resize(static_cast<std::size_t>(within));
  else
    chunk.erase(0, static_cast<std::size_t>(within));
  return sendToNext(chunk);
}

TIncludeExcludeLinesFromEnd::TIncludeExcludeLinesFromEnd(int count, bool include)
    : count_(static_cast<std::size_t>(atLeastZero(count))), include_(include) {}

void TIncludeExcludeLinesFromEnd::startFile() {
  held_.clear();
  released_.clear();
  TProcessLines::startFile();
}

bool TIncludeExcludeLinesFromEnd::sendReleased() {
  bool goOn = sendToNext(released_);
  released_.clear();
  return goOn;
}

bool TIncludeExcludeLinesFromEnd::processChunk(std::string &chunk) {
  TProcessLines::processChunk(chunk);
  return sendReleased();
}

bool TIncludeExcludeLinesFromEnd::putLine(std::string_view line, std::string_view lineEnd) {
  TProcessLines::putLine(line, lineEnd);
  return sendReleased();
}

void TIncludeExcludeLinesFromEnd::release(std::string_view text) {
  if (text.size() <= textPieceSize()) {
    released_.append(text);
    return;
  }
  // A long line goes on by itself, not copied whole.
  sendReleased();
  sendCopyToNext(text, scratch_);
}

void TIncludeExcludeLinesFromEnd::processLine(std::string_view lineEnd) {
  if (count_ == 0) {
    if (!include_) {
      release(currentLine_);
      release(lineEnd);
    }
    return;
  }
  if (held_.size() == count_) {
    if (!include_)
      release(held_[0]);
    held_.popFront();
  }
  held_.push(currentLine_, lineEnd);
}

void TIncludeExcludeLinesFromEnd::endFile() {
  TProcessLines::endFile();
  sendReleased();
  if (include_) {
    for (std::size_t i = 0; i < held_.size(); ++i)
      if (!sendCopyToNext(held_[i], scratch_))
        break;
  }
  held_.clear();
}

std::int64_t TIncludeExcludeLinesFromEnd::bufferedLength() {
  return held_.byteCount() + TProcessLines::bufferedLength();
}

TIncludeExcludeBytesFromEnd::TIncludeExcludeBytesFromEnd(int count, bool include)
    : count_(static_cast<std::size_t>(atLeastZero(count))), include_(include) {}

void TIncludeExcludeBytesFromEnd::startFile() {
  held_.clear();
  start_ = 0;
  TGenericStateMachine::startFile();
}

bool TIncludeExcludeBytesFromEnd::processChunk(std::string &chunk) {
  held_ += chunk;
  const std::size_t heldNow = held_.size() - start_;
  if (heldNow <= count_)
    return true;
  const std::size_t excess = heldNow - count_;
  bool goOn = true;
  if (!include_) {
    std::string released = held_.substr(start_, excess);
    goOn = sendToNext(released);
  }
  start_ += excess;
  // Compacted once the dropped part outweighs the held part.
  if (start_ > held_.size() - start_ + 4096) {
    held_.erase(0, start_);
    start_ = 0;
  }
  return goOn;
}

void TIncludeExcludeBytesFromEnd::endFile() {
  TGenericStateMachine::endFile();
  if (include_) {
    std::string last = held_.substr(start_);
    sendToNext(last);
  }
  held_.clear();
  start_ = 0;
}

std::int64_t TIncludeExcludeBytesFromEnd::bufferedLength() {
  return static_cast<std::int64_t>(held_.size() - start_);
}

bool TDeleteAll::processChunk(std::string &) { return true; }

} // namespace marrowen

#include "filters/headtail.h"

#include "classlib/graphemes.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"

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
    : count_(static_cast<std::size_t>(atLeastZero(count))), include_(include),
      tables_(charTables()) {}

void TIncludeExcludeBytesFromStart::startJob() {
  tables_ = charTables();
  TGenericStateMachine::startJob();
}

void TIncludeExcludeBytesFromStart::startFile() {
  seen_ = 0;
  cut_ = false;
  held_.clear();
  TGenericStateMachine::startFile();
}

bool TIncludeExcludeBytesFromStart::judge(std::string_view text, bool textEnds) {
  graphemes::ClusterWalk walk(text, *tables_, textEnds);
  seen_ += walk.takeWithin(count_ - seen_);
  const std::size_t at = walk.position();
  // A letter that does not fit now never will: more bytes only lengthen it.
  cut_ = textEnds || !walk.done() ||
         utf8::characterCount(text.substr(at, walk.end() - at)) > count_ - seen_;
  sent_.assign(include_ ? text.substr(0, at) : cut_ ? text.substr(at) : std::string_view());
  held_.assign(cut_ ? std::string_view() : text.substr(at));
  return sent_.empty() || sendToNext(sent_);
}

bool TIncludeExcludeBytesFromStart::processChunk(std::string &chunk) {
  if (cut_)
    return include_ || sendToNext(chunk);
  if (held_.empty())
    return judge(chunk, false);
  held_ += chunk;
  const std::string text = std::move(held_);
  return judge(text, false);
}

void TIncludeExcludeBytesFromStart::endFile() {
  if (!cut_ && !held_.empty()) {
    const std::string text = std::move(held_);
    judge(text, true);
  }
  held_.clear();
  TGenericStateMachine::endFile();
}

std::int64_t TIncludeExcludeBytesFromStart::bufferedLength() {
  return static_cast<std::int64_t>(held_.size());
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
    : count_(static_cast<std::size_t>(atLeastZero(count))), include_(include),
      tables_(charTables()) {}

void TIncludeExcludeBytesFromEnd::startJob() {
  tables_ = charTables();
  TGenericStateMachine::startJob();
}

void TIncludeExcludeBytesFromEnd::clear() {
  held_.clear();
  start_ = 0;
  counted_ = 0;
  before_ = 0;
  total_ = 0;
  marks_.clear();
}

void TIncludeExcludeBytesFromEnd::startFile() {
  clear();
  TGenericStateMachine::startFile();
}

bool TIncludeExcludeBytesFromEnd::release(bool textEnds) {
  const std::string_view held = std::string_view(held_).substr(start_);
  // A character cut short at the end waits for its rest.
  const std::size_t end = start_ + held.size() - (textEnds ? 0 : utf8::incompleteTail(held));
  const std::string_view counting = std::string_view(held_).substr(0, end);
  while (counted_ < end) {
    std::size_t left = 256;
    counted_ = utf8::stepCharacters(counting, counted_, left);
    total_ += 256 - left;
    marks_.emplace_back(counted_, total_);
  }
  if (total_ - before_ <= count_)
    return true;
  // The letters before character `cut` of the file go; where that character
  // begins is found from the nearest mark, and is most often between two
  // letters plain to see. Only around marks, joiners and flags does a walk
  // of the letters tell.
  const std::uint64_t cut = total_ - count_;
  while (marks_.size() > 1 && marks_[1].second <= cut)
    marks_.pop_front();
  std::pair<std::size_t, std::uint64_t> from{start_, before_};
  if (!marks_.empty() && marks_.front().second <= cut && marks_.front().second >= before_)
    from = marks_.front();
  std::size_t left = cut - from.second;
  std::size_t released = counted_ - start_ == total_ - before_
                             ? from.first + left // a byte a character
                             : utf8::stepCharacters(counting, from.first, left);
  released -= start_;
  if (released < end - start_ &&
      graphemes::isPlainBoundary(held.substr(0, end - start_), *tables_, released)) {
    before_ = cut;
  } else {
    graphemes::ClusterWalk walk(held, *tables_, textEnds);
    before_ += walk.takeAtLeast(cut - before_);
    released = walk.position();
  }
  bool goOn = true;
  if (!include_ && released > 0) {
    std::string out(held.substr(0, released));
    goOn = sendToNext(out);
  }
  start_ += released;
  while (!marks_.empty() && marks_.front().first < start_)
    marks_.pop_front();
  // Compacted once the dropped part outweighs the held part.
  if (start_ > held_.size() - start_ + 4096) {
    held_.erase(0, start_);
    counted_ -= start_;
    for (auto &mark : marks_)
      mark.first -= start_;
    start_ = 0;
  }
  return goOn;
}

bool TIncludeExcludeBytesFromEnd::processChunk(std::string &chunk) {
  held_ += chunk;
  return release(false);
}

void TIncludeExcludeBytesFromEnd::endFile() {
  TGenericStateMachine::endFile();
  release(true);
  if (include_) {
    std::string last = held_.substr(start_);
    sendToNext(last);
  }
  clear();
}

std::int64_t TIncludeExcludeBytesFromEnd::bufferedLength() {
  return static_cast<std::int64_t>(held_.size() - start_);
}

bool TDeleteAll::processChunk(std::string &) { return true; }

} // namespace marrowen

#include "engine/layoutfilters.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"

#include <algorithm>

namespace marrowen {

namespace {

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

bool isBreakByte(char c) {
  switch (c) {
  case ' ':
  case '!':
  case ',':
  case '-':
  case '.':
  case ':':
  case ';':
    return true;
  default:
    return false;
  }
}

} // namespace

TTabsToSpaces::TTabsToSpaces(int tabWidth) : tabWidth_(tabWidth) {
  if (tabWidth < 1)
    throw ERangeError(Format("Tab width must be at least 1 (is %d)", {tabWidth}));
}

bool TTabsToSpaces::processChunk(std::string &chunk) {
  auto tabs = static_cast<std::size_t>(std::count(chunk.begin(), chunk.end(), '\t'));
  if (tabs == 0) {
    // Only the column at the end matters: the bytes after the last line end.
    std::size_t last = chunk.find_last_of("\r\n");
    std::size_t run = last == std::string::npos ? chunk.size() : chunk.size() - last - 1;
    if (last != std::string::npos)
      state_ = 0;
    state_ = static_cast<std::int32_t>((state_ + run % tabWidth_) % tabWidth_);
    return sendToNext(chunk);
  }
  buffer_.clear();
  buffer_.reserve(chunk.size() + tabs * static_cast<std::size_t>(tabWidth_ - 1));
  for (char c : chunk) {
    if (c == '\t') {
      int spaces = tabWidth_ - state_;
      buffer_.append(static_cast<std::size_t>(spaces), ' ');
      state_ = 0;
    } else {
      buffer_ += c;
      if (isLineEnd(c))
        state_ = 0;
      else if (++state_ == tabWidth_)
        state_ = 0;
    }
  }
  return sendToNext(buffer_);
}

TSpacesToTabs::TSpacesToTabs(int tabWidth) : tabWidth_(static_cast<std::size_t>(tabWidth)) {
  if (tabWidth < 1)
    throw ERangeError(Format("Tab width must be at least 1 (is %d)", {tabWidth}));
}

bool TSpacesToTabs::processChunk(std::string &chunk) {
  buffer_.clear();
  buffer_.reserve(chunk.size() + held_.size());
  for (char c : chunk) {
    if (isLineEnd(c)) {
      buffer_.append(held_);
      buffer_ += c;
      held_.clear();
      continue;
    }
    held_ += c;
    if (held_.size() < tabWidth_)
      continue;
    std::size_t kept = held_.find_last_not_of(' ') + 1; // 0 when all are spaces
    if (kept < held_.size())
      buffer_.append(held_, 0, kept).append(1, '\t');
    else
      buffer_.append(held_);
    held_.clear();
  }
  return sendToNext(buffer_);
}

TWordWrap::TWordWrap(int width) : width_(static_cast<std::size_t>(width)) {
  if (width < 1)
    throw ERangeError(Format("Word wrap width must be at least 1 (is %d)", {width}));
}

bool TWordWrap::processChunk(std::string &chunk) {
  buffer_.clear();
  buffer_.reserve(chunk.size() + chunk.size() / 4 + held_.size());
  for (char c : chunk) {
    if (isLineEnd(c)) {
      buffer_.append(held_);
      buffer_ += c;
      held_.clear();
      continue;
    }
    if (held_.size() >= width_) {
      auto breakAt = std::find_if(held_.rbegin(), held_.rend(), isBreakByte);
      // The break byte stays at the end of the line it ends.
      std::size_t cut = static_cast<std::size_t>(held_.rend() - breakAt);
      if (cut == 0)
        cut = held_.size();
      buffer_.append(held_, 0, cut).append("\r\n");
      held_.erase(0, cut);
    }
    held_ += c;
  }
  return sendToNext(buffer_);
}

} // namespace marrowen

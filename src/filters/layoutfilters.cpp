#include "filters/layoutfilters.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "filters/widthfilters.h"

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

// Widths below 1 or above the widest line are refused when a filter is made.
int checkedWidth(int width, const char *message) {
  if (width < 1)
    throw ERangeError(Format(message, {width}));
  if (width > maxLineWidth)
    throw ERangeError(Format("Width must be at most %d (is %d)", {maxLineWidth, width}));
  return width;
}

// Hands each byte of `chunk` but the line ends to `addByte`; a line end
// writes the held bytes and itself to `out` and starts the next line empty.
template <class AddByte>
void eachByteOfLines(const std::string &chunk, std::string &held, std::string &out,
                     AddByte addByte) {
  for (char c : chunk) {
    if (isLineEnd(c)) {
      out.append(held);
      out += c;
      held.clear();
    } else {
      addByte(c);
    }
  }
}

} // namespace

TTabsToSpaces::TTabsToSpaces(int tabWidth)
    : tabWidth_(checkedWidth(tabWidth, "Tab width must be at least 1 (is %d)")) {}

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

TSpacesToTabs::TSpacesToTabs(int tabWidth)
    : tabWidth_(static_cast<std::size_t>(
          checkedWidth(tabWidth, "Tab width must be at least 1 (is %d)"))) {}

bool TSpacesToTabs::processChunk(std::string &chunk) {
  buffer_.clear();
  buffer_.reserve(chunk.size() + held_.size());
  eachByteOfLines(chunk, held_, buffer_, [this](char c) {
    held_ += c;
    if (held_.size() < tabWidth_)
      return;
    std::size_t kept = held_.find_last_not_of(' ') + 1; // 0 when all are spaces
    if (kept < held_.size())
      buffer_.append(held_, 0, kept).append(1, '\t');
    else
      buffer_.append(held_);
    held_.clear();
  });
  return sendToNext(buffer_);
}

TWordWrap::TWordWrap(int width)
    : width_(static_cast<std::size_t>(
          checkedWidth(width, "Word wrap width must be at least 1 (is %d)"))) {}

bool TWordWrap::processChunk(std::string &chunk) {
  buffer_.clear();
  buffer_.reserve(chunk.size() + chunk.size() / 4 + held_.size());
  eachByteOfLines(chunk, held_, buffer_, [this](char c) {
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
  });
  return sendToNext(buffer_);
}

} // namespace marrowen

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

// Hands each character of `text` but the line ends to `addCharacter` (its
// bytes); a line end writes the held bytes and itself to `out` and starts
// the next line empty.
template <class AddCharacter>
void eachCharacterOfLines(std::string_view text, std::string &held, std::string &out,
                          AddCharacter addCharacter) {
  for (std::size_t i = 0; i < text.size();) {
    char c = text[i];
    if (isLineEnd(c)) {
      out.append(held);
      out += c;
      held.clear();
      ++i;
      continue;
    }
    std::size_t n =
        static_cast<unsigned char>(c) < 0x80 ? 1 : utf8::characterLength(text.substr(i));
    addCharacter(text.substr(i, n));
    i += n;
  }
}

} // namespace

TTabsToSpaces::TTabsToSpaces(int tabWidth)
    : tabWidth_(checkedWidth(tabWidth, "Tab width must be at least 1 (is %d)")) {}

bool TTabsToSpaces::processChunk(std::string &chunk) {
  carry_.join(chunk);
  auto tabs = static_cast<std::size_t>(std::count(chunk.begin(), chunk.end(), '\t'));
  if (tabs == 0) {
    // Only the column at the end matters: the characters after the last
    // line end.
    std::size_t last = chunk.find_last_of("\r\n");
    std::string_view run = last == std::string::npos ? std::string_view(chunk)
                                                     : std::string_view(chunk).substr(last + 1);
    if (last != std::string::npos)
      state_ = 0;
    state_ =
        static_cast<std::int32_t>((state_ + utf8::characterCount(run) % tabWidth_) % tabWidth_);
    return sendToNext(chunk);
  }
  buffer_.clear();
  buffer_.reserve(chunk.size() + tabs * static_cast<std::size_t>(tabWidth_ - 1));
  for (std::size_t i = 0; i < chunk.size();) {
    char c = chunk[i];
    if (c == '\t') {
      int spaces = tabWidth_ - state_;
      buffer_.append(static_cast<std::size_t>(spaces), ' ');
      state_ = 0;
      ++i;
      continue;
    }
    std::size_t n = static_cast<unsigned char>(c) < 0x80
                        ? 1
                        : utf8::characterLength(std::string_view(chunk).substr(i));
    buffer_.append(chunk, i, n);
    i += n;
    if (isLineEnd(c))
      state_ = 0;
    else if (++state_ == tabWidth_)
      state_ = 0;
  }
  return sendToNext(buffer_);
}

void TTabsToSpaces::startFile() {
  carry_.clear();
  TGenericStateMachine::startFile();
}

void TTabsToSpaces::endFile() {
  TGenericStateMachine::endFile();
  std::string rest = carry_.take();
  sendToNext(rest);
}

std::int64_t TTabsToSpaces::bufferedLength() { return static_cast<std::int64_t>(carry_.size()); }

bool TCharacterLayout::processChunk(std::string &chunk) {
  carry_.join(chunk);
  buffer_.clear();
  buffer_.reserve(chunk.size() + chunk.size() / 4 + held_.size());
  collect(chunk);
  return sendToNext(buffer_);
}

void TCharacterLayout::startFile() {
  carry_.clear();
  TResolveBackspaces::startFile();
}

void TCharacterLayout::endFile() {
  buffer_.clear();
  collect(carry_.take());
  sendToNext(buffer_);
  TResolveBackspaces::endFile();
}

std::int64_t TCharacterLayout::bufferedLength() {
  return TResolveBackspaces::bufferedLength() + static_cast<std::int64_t>(carry_.size());
}

TSpacesToTabs::TSpacesToTabs(int tabWidth)
    : tabWidth_(static_cast<std::size_t>(
          checkedWidth(tabWidth, "Tab width must be at least 1 (is %d)"))) {}

void TSpacesToTabs::collect(std::string_view text) {
  eachCharacterOfLines(text, held_, buffer_, [this](std::string_view character) {
    if (held_.empty())
      heldCharacters_ = 0;
    held_ += character;
    if (++heldCharacters_ < tabWidth_)
      return;
    std::size_t kept = held_.find_last_not_of(' ') + 1; // 0 when all are spaces
    if (kept < held_.size())
      buffer_.append(held_, 0, kept).append(1, '\t');
    else
      buffer_.append(held_);
    held_.clear();
  });
}

TWordWrap::TWordWrap(int width)
    : width_(static_cast<std::size_t>(
          checkedWidth(width, "Word wrap width must be at least 1 (is %d)"))) {}

void TWordWrap::collect(std::string_view text) {
  eachCharacterOfLines(text, held_, buffer_, [this](std::string_view character) {
    if (held_.empty())
      heldCharacters_ = 0;
    if (heldCharacters_ >= width_) {
      auto breakAt = std::find_if(held_.rbegin(), held_.rend(), isBreakByte);
      // The break byte stays at the end of the line it ends; no byte of a
      // UTF-8 character is a break byte, so no character is cut.
      std::size_t cut = static_cast<std::size_t>(held_.rend() - breakAt);
      if (cut == 0)
        cut = held_.size();
      buffer_.append(held_, 0, cut).append("\r\n");
      held_.erase(0, cut);
      heldCharacters_ = utf8::characterCount(held_);
    }
    held_ += character;
    ++heldCharacters_;
  });
}

} // namespace marrowen

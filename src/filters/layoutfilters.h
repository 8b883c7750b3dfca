#pragma once

#include "engine/lines.h"
#include "filters/charactercarry.h"
#include "filters/charfilters.h"

#include <string>

namespace marrowen {

// Widths below 1 are refused when these filters are made. Columns and widths
// count characters: a valid UTF-8 sequence is one, and none is ever cut.

// Expands each tab to the spaces up to the next tab stop. The state is the
// column within the current tab stop, 0 after a line end and at each file
// start.
class TTabsToSpaces : public TGenericStateMachine {
public:
  explicit TTabsToSpaces(int tabWidth);
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  int tabWidth_;
  CharacterCarry carry_;
  std::string buffer_;
};

// Collects bytes in tab-width steps (the held string) and writes the spaces
// that end a step as one tab. A tab in the input counts as one byte; a line
// end writes the bytes collected.
class TSpacesToTabs : public TResolveBackspaces {
public:
  explicit TSpacesToTabs(int tabWidth);
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  void collect(std::string_view text);

  std::size_t tabWidth_;
  std::size_t heldCharacters_ = 0;
  CharacterCarry carry_;
};

// Breaks lines longer than the width after the last space or punctuation
// (! , - . : ;) that fits, or at the width when there is none, with CR LF.
// The held string is the line buffer of the current line.
class TWordWrap : public TResolveBackspaces {
public:
  explicit TWordWrap(int width);
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  void collect(std::string_view text);

  std::size_t width_;
  std::size_t heldCharacters_ = 0;
  CharacterCarry carry_;
};

} // namespace marrowen

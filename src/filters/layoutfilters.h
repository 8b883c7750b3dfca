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

// The filters that lay characters out in the held string: a character the
// next chunk completes waits for it, and what waits at a file's end is
// collected as bytes of the code page before the held string goes on.
class TCharacterLayout : public TResolveBackspaces {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

protected:
  // Takes the whole characters of `text` into the held string, writing to
  // `buffer_` what is done.
  virtual void collect(std::string_view text) = 0;

  std::size_t heldCharacters_ = 0; // characters in the held string

private:
  CharacterCarry carry_;
};

// Collects characters in tab-width steps (the held string) and writes the
// spaces that end a step as one tab. A tab in the input counts as one
// character; a line end writes the characters collected.
class TSpacesToTabs : public TCharacterLayout {
public:
  explicit TSpacesToTabs(int tabWidth);

protected:
  void collect(std::string_view text) override;

private:
  std::size_t tabWidth_;
};

// Breaks lines longer than the width after the last space or punctuation
// (! , - . : ;) that fits, or at the width when there is none, with CR LF.
// The held string is the line buffer of the current line.
class TWordWrap : public TCharacterLayout {
public:
  explicit TWordWrap(int width);

protected:
  void collect(std::string_view text) override;

private:
  std::size_t width_;
};

} // namespace marrowen

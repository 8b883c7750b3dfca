#pragma once

#include "filters/charfilters.h"
#include "engine/lines.h"

#include <string>

namespace marrowen {

// Widths below 1 are refused when these filters are made.

// Expands each tab to the spaces up to the next tab stop. The state is the
// column within the current tab stop, 0 after a line end and at each file
// start.
class TTabsToSpaces : public TGenericStateMachine {
public:
  explicit TTabsToSpaces(int tabWidth);
  bool processChunk(std::string &chunk) override;

private:
  int tabWidth_;
  std::string buffer_;
};

// Collects bytes in tab-width steps (the held string) and writes the spaces
// that end a step as one tab. A tab in the input counts as one byte; a line
// end writes the bytes collected.
class TSpacesToTabs : public TResolveBackspaces {
public:
  explicit TSpacesToTabs(int tabWidth);
  bool processChunk(std::string &chunk) override;

private:
  std::size_t tabWidth_;
};

// Breaks lines longer than the width after the last space or punctuation
// (! , - . : ;) that fits, or at the width when there is none, with CR LF.
// The held string is the line buffer of the current line.
class TWordWrap : public TResolveBackspaces {
public:
  explicit TWordWrap(int width);
  bool processChunk(std::string &chunk) override;

private:
  std::size_t width_;
};

} // namespace marrowen

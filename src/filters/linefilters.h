#pragma once

#include "engine/lines.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace marrowen {

// The added texts may name variables ("@INPUTFILENAME") and run through the
// filter's subfilter chain each time they are added.

// Adds a text as the first output of every file.
class TAddAtStartOfFile : public TFilter {
public:
  explicit TAddAtStartOfFile(std::string text) : text_(std::move(text)) {}
  // Resets the rest of the chain first, so the text reaches a fresh file.
  void reset() override;

private:
  std::string text_;
};

// Adds a text as the last output of every file, before the filters after it
// are flushed.
class TAddAtEndOfFile : public TFilter {
public:
  explicit TAddAtEndOfFile(std::string text) : text_(std::move(text)) {}
  void endFile() override;

private:
  std::string text_;
};

// Adds a text before (at start) or after each line, ahead of its line end.
class TAddTextStartOrEndLine : public TProcessLines {
public:
  TAddTextStartOrEndLine(std::string text, bool atStart);
  void processLine(std::string_view lineEnd) override;

private:
  std::string text_;
  bool atStart_;
  std::string buffer_;
};

// Puts a number, formatted by the user's format with one integer argument,
// in front of every line. Blank lines may be left unnumbered, and then may
// or may not use up a number. A format that cannot format one integer is
// refused when the filter is made; running past the largest number raises.
class TAddLineNumbers : public TProcessLines {
public:
  TAddLineNumbers(std::int32_t start, std::int32_t increment, bool doNotCountBlankLines,
                  bool doNotNumberBlankLines, std::string format);
  void startFile() override;
  void processLine(std::string_view lineEnd) override;

private:
  std::int32_t start_;
  std::int64_t nextNumber_; // wide enough that stepping past the last number never wraps
  std::int32_t increment_;
  bool doNotCountBlankLines_;
  bool doNotNumberBlankLines_;
  std::string format_;
};

// Removes the spaces and tabs at the start of every line.
class TRemoveBlanksFromSOL : public TProcessLines {
public:
  void processLine(std::string_view lineEnd) override;
};

// Removes the spaces and tabs at the end of every line (before its line end).
class TRemoveBlanksFromEOL : public TProcessLines {
public:
  void processLine(std::string_view lineEnd) override;
};

// Drops the empty lines and counts them; a line of blanks is not empty.
class TRemoveBlankLines : public TProcessLines {
public:
  void processLine(std::string_view lineEnd) override;
  bool hasChanged() override { return removed_ > 0; }
  std::string getStatistics() override;
  void resetStatistics() override;

private:
  std::int64_t removed_ = 0;
};

} // namespace marrowen

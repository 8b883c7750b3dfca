#pragma once

#include "filters/batchedlines.h"
#include "filters/linewindow.h"
#include "filters/regex.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace marrowen {

// Selects the lines that match a regular expression (or, inverted, those that
// do not). Each line is searched by itself from its start, so `^` and `$`
// anchor to the line; an empty line never matches. Selected lines go on to
// the next filter or, when there is a child chain, each through it as a text
// of its own while the other lines pass on unchanged. Options add line
// numbers, a line naming the file before the first selected line, and a
// count-only mode that passes on only the number of selected lines.
class TGrep : public TBatchedLineFilter {
public:
  TGrep(const std::string &pattern, bool lineNumbers, bool invert, bool fileNameHeader,
        bool ignoreCase, bool countOnly);

  std::string getStatistics() override;
  // Without a child chain the lines selected from one chunk go on as one
  // chunk, not one call per line.
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void resetStatistics() override;
  void endFile() override;
  void processLine(std::string_view lineEnd) override;

  int selectedLines() const { return selected_; }
  int notSelectedLines() const { return notSelected_; }

protected:
  // Without a child chain, finds the lines that may match by searching the
  // whole chunk for what every match holds; the lines between are passed
  // over (counted, or passed on whole when inverted) without a search each.
  void cutLines(std::string &chunk) override;
  // Whether `line` is selected; counts it. No match begins before `from`;
  // with `holdsMatch` the line is known to hold one.
  bool selects(std::string_view line, std::size_t from = 0, bool holdsMatch = false);
  bool selectCurrentLine() { return selects(currentLine_); }
  // Passes on a selected line: the file-name header first, its number
  // unless the line is `numbered` already.
  void passOnSelected(std::string_view line, std::string_view lineEnd, bool numbered = false);
  // Passes on the count of selected lines of the file (count-only mode).
  void passOnCount();
  bool hasChildChain() const { return firstSubfilter() != nullptr; }

  std::unique_ptr<TRegex> engine_;
  bool blockSearch_ = true; // the context window needs every line
  bool lineNumbers_;
  bool invert_;
  bool fileNameHeader_;
  bool countOnly_;
  bool headerPending_ = true;
  int fileCount_ = 0;
  int selected_ = 0;
  int notSelected_ = 0;

private:
  // The complete lines of `text` (which ends with a line end), searched
  // from where a match may lie.
  void searchLines(std::string_view text);
  // Complete lines none of which matches.
  void passOverLines(std::string_view text);
  // The line ends in `text`, a CR LF counted once.
  std::size_t countLines(std::string_view text) const;
  bool textHasCr_ = false; // of the text being searched
};

// A grep that passes on each selected line with up to `linesBefore` lines
// before it and `linesAfter` lines after it. Contexts of nearby selected
// lines overlap: a line within the context of two selected lines is passed
// on twice.
class TContextGrep : public TGrep {
public:
  TContextGrep(const std::string &pattern, bool lineNumbers, bool invert, bool fileNameHeader,
               bool ignoreCase, bool countOnly, int linesBefore, int linesAfter);

  void startFile() override;
  void endFile() override;
  void processLine(std::string_view lineEnd) override;

private:
  void handleCurrentEntry();
  void advanceWindow();

  std::size_t linesBefore_;
  std::size_t linesAfter_;
  // The window of lines around the current one (at index `linesBefore_`),
  // each with its line end and whether it was selected. Blank entries
  // (before the file's first line, after its last) are only counted, so
  // large context counts cost no memory.
  std::size_t frontBlanks_ = 0;
  LineWindow lines_;
  std::deque<bool> selectedLines_;
  std::size_t backBlanks_ = 0;
  std::string scratch_; // a piece of a line on its way
  std::int64_t currentLineNumber_ = 1;
};

} // namespace marrowen

#pragma once

#include "filters/batchedlines.h"
#include "filters/linewindow.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace marrowen {

class CodePage;

// A range of columns, lines or fields given by a locate method and two
// numbers, counted from 1; END is the last one (END - 0 is the last):
//   0  items a .. b
//   1  b items starting at item a
//   2  b items starting at item END - a
//   3  item a .. item END - b
//   4  item END - a .. item END - b
// `a` is the node's first value, `b` its second.
struct LocateRange {
  int method = 0;
  std::int32_t a = 1;
  std::int32_t b = 1;
};

// Deletes a range of columns (characters of the line without its line end:
// a valid UTF-8 sequence is one, every other byte one) from every line. A
// range reaching before column 1 or past the end of the line is cut to the
// line; an empty or negative range deletes nothing. A method outside 0 .. 4
// counts as method 1. What the eye sees as one letter (a letter with its
// combining marks, a flag) belongs to the column where it begins and is
// never split.
class TRemoveColumns : public TBatchedLineFilter {
public:
  explicit TRemoveColumns(LocateRange range);
  void startJob() override;
  void processLine(std::string_view lineEnd) override;

protected:
  // The byte offsets of the range in `line`: [begin, end), within the line
  // and never within a letter.
  void columnsOf(std::string_view line, std::size_t &begin, std::size_t &end) const;

  LocateRange range_;
  std::string out_;
  std::shared_ptr<const CodePage> tables_;
};

// Runs the range of columns of every line through the subfilters as a text
// of its own and puts their output in its place.
class TSelectColumns : public TRemoveColumns {
public:
  using TRemoveColumns::TRemoveColumns;
  void processLine(std::string_view lineEnd) override;
  // Raises message 5100 without subfilters.
  void validate() override;
};

// The common part of the line selectors: the selected lines of a file run
// through the subfilters as one text, whose output is sent on in their
// place; the other lines go on unchanged. Without subfilters the selected
// lines go on as they are.
class TSelectLinesBase : public TProcessLines {
public:
  // Raises message 5100 without subfilters.
  void validate() override;

protected:
  // Starts a fresh run of the subfilters.
  void beginSelection();
  void selectLine(std::string_view line, std::string_view lineEnd);
  // One or more lines with their line ends.
  void selectText(std::string_view text);
  // Ends the run and sends its output on, followed by `after`.
  void endSelection(std::string_view after = {});
  // Sends the held lines `from` .. end on as they are.
  void sendHeld(std::size_t from);

  LineWindow held_;
  std::string scratch_; // a piece on its way to the subfilters or on
};

// Lines a .. b (method 0) or b lines starting at line a (method 1).
class TSelectLinesBasic : public TSelectLinesBase {
public:
  TSelectLinesBasic(std::int32_t a, bool count, std::int32_t b);
  void startFile() override;
  void endFile() override;
  void processLine(std::string_view lineEnd) override;

private:
  std::int64_t firstLine_;
  std::int64_t lastLine_;
  enum { Before, Inside, After } where_ = Before;
};

// The selectors counted from the end of the file: the last `window` lines
// are held, older ones go on unchanged; at the file's end the first
// `selectedCount()` held lines are selected and the rest go on after them.
class TSelectLinesNearEnd : public TSelectLinesBase {
public:
  void startFile() override;
  void endFile() override;
  void processLine(std::string_view lineEnd) override;

protected:
  // A window below one line (a start past the file's end) holds none, so
  // every line goes on and nothing is selected.
  explicit TSelectLinesNearEnd(std::int64_t window) : window_(std::max<std::int64_t>(window, 0)) {}
  // How many held lines, from the first, are selected at the file's end.
  virtual std::size_t selectedCount() const = 0;

private:
  std::int64_t window_;
};

// b lines starting at line END - a (method 2). Holds the last a + 1 lines
// of the file; when the file is shorter, its first line is line END - a.
class TSelectLinesLengthFromEnd : public TSelectLinesNearEnd {
public:
  TSelectLinesLengthFromEnd(std::int32_t a, std::int32_t b);

private:
  std::size_t selectedCount() const override;

  std::int64_t count_;
};

// Line a .. line END - b (method 3). Holds the last b + 1 lines seen.
class TSelectLinesOffsetToEnd : public TSelectLinesBase {
public:
  TSelectLinesOffsetToEnd(std::int32_t a, std::int32_t b);
  void startFile() override;
  void endFile() override;
  void processLine(std::string_view lineEnd) override;

private:
  std::int64_t firstLine_;
  std::int64_t tail_;
  enum { Before, Filling, Streaming } where_ = Before;
};

// Line END - a .. line END - b (method 4). Holds the last a + 1 lines of the
// file; when the file is shorter, its first line is line END - a.
class TSelectLinesEndOffsets : public TSelectLinesNearEnd {
public:
  TSelectLinesEndOffsets(std::int32_t a, std::int32_t b);

private:
  std::size_t selectedCount() const override;

  std::int64_t a_;
  std::int64_t b_;
};

} // namespace marrowen

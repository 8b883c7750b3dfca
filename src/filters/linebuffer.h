#pragma once

#include "classlib/growingarray.h"
#include "filters/batchedlines.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

namespace marrowen {

// Lines, each with its line end, kept in one block of bytes: a million
// lines cost one allocation, not a million. Lines leave from the front
// cheaply; the block drops its dead front once that outweighs the rest.
// The views it hands out stay valid until the next change.
class LineStore {
public:
  void append(std::string_view line, std::string_view lineEnd);
  // Adds bytes to the last line; `startLine` begins a new line at the byte
  // `offset` bytes into the block (`byteSize` before the bytes are added).
  void appendBytes(std::string_view bytes) { bytes_.append(bytes.data(), bytes.size()); }
  void startLine(std::size_t offset) { starts_.push_back(offset); }
  std::size_t byteSize() const { return bytes_.size(); }
  std::size_t size() const { return starts_.size() - first_; }
  bool empty() const { return size() == 0; }
  std::string_view operator[](std::size_t index) const;
  void popFront();
  // Empties the store; `release` gives its memory back too.
  void clear(bool release = false);
  // The bytes of the lines held.
  std::int64_t byteCount() const { return static_cast<std::int64_t>(bytes_.size() - deadBytes_); }
  // Appends lines `from` .. `to` - 1 to `text`.
  void appendTo(std::string &text, std::size_t from, std::size_t to) const;

  // Where line `index` starts; the next line's start (or the end of the
  // bytes) is where it ends.
  std::size_t start(std::size_t index) const { return starts_[first_ + index]; }
  std::size_t end(std::size_t index) const {
    return first_ + index + 1 < starts_.size() ? starts_[first_ + index + 1] : bytes_.size();
  }
  const char *data() const { return bytes_.data(); }

private:
  GrowingArray<char> bytes_;
  // One offset a line keeps a million short lines at 8 bytes each.
  GrowingArray<std::size_t> starts_;
  std::size_t first_ = 0; // the lines before it have left
  std::size_t deadBytes_ = 0;
};

// Holds every line of a file until its end. Each line is stored with the
// most recent line end of the file, so a last line without one takes the
// line end of the line before it. The chunks go into the store as they come,
// cut there into lines, so a file of one long line is held once, not also
// in the line cutter; and it leaves in pieces of a megabyte. The compare type orders the lines for
// a sort: 0 keeps them as they came; 1 to 6 are the sort types 0 to 5 (locale order without and
// with case, ASCII order without and with case, the number each line starts with, the length of the
// line with its line end in characters). Lines that compare equal come out later ones first; with
// the duplicates flag only the first of them is kept. Whatever is held is dropped at the start of
// each file.
class TLinesWithBuffer : public TBatchedLineFilter {
public:
  // Raises message 5200 for a compare type outside 0 .. 6.
  TLinesWithBuffer(bool removeDuplicates, int compareType);

  void startFile() override;
  void endFile() override;
  bool putLine(std::string_view line, std::string_view lineEnd) override;
  void processLine(std::string_view lineEnd) override;
  std::int64_t bufferedLength() override;

  int compareType() const { return compareType_; }
  // The threads a sort may use; 0 (the default): one for each processor the
  // program may run on. The order never depends on it.
  void setSortThreads(unsigned threads) { sortThreads_ = threads; }

protected:
  // Sends the held lines on in the order of the compare type (or from its
  // end to its start), without the dropped duplicates, then empties the
  // buffer.
  void sendSorted(bool backwards);
  // Sends the held lines in `order` (or from its end to its start) on in
  // large chunks, then empties the buffer.
  void sendLines(const std::vector<std::size_t> &order, bool backwards);
  void cutLines(std::string &chunk) override;

  LineStore lines_;
  std::string lastLineEnd_;
  // False for a filter that looks at each line as the line cutter gives it
  // rather than holding the file.
  bool cutsIntoStore_ = true;
  bool removeDuplicates_;
  int compareType_;
  unsigned sortThreads_ = 0;

private:
  // Adds `line` to the piece on its way out; a full piece goes on. A line
  // longer than a piece goes on in pieces of its own, never copied whole.
  void passOnInPieces(std::string &piece, std::string_view line);
  std::string startPiece() const;

  bool lineOpen_ = false; // the store's last line has not ended yet
};

// Sorts the lines of each file; `sortType` 0 to 5 (any other value keeps
// the order of the file), ascending or descending.
class TSortLines : public TLinesWithBuffer {
public:
  TSortLines(bool descending, int sortType, bool removeDuplicates);
  void endFile() override;

private:
  bool descending_;
};

// Puts the lines of each file in a random order, every order as likely.
class TRandomizeLines : public TLinesWithBuffer {
public:
  TRandomizeLines();
  void endFile() override;

private:
  std::mt19937_64 generator_;
};

// Reverses the order of the lines of each file.
class TReverseLines : public TLinesWithBuffer {
public:
  TReverseLines() : TLinesWithBuffer(false, 0) {}
  void endFile() override;
};

// Selects the constructor that takes the reference lines as a text.
struct ReferenceText {
  std::string_view text;
};

// Compares each line (without its line end) with a list of reference lines,
// read once when the filter is made and kept for every file: from a file
// (split at CR, LF and CR LF) or from a text. A line is found when it equals
// one of them byte for byte.
class TGenericLoadSpecialFile : public TLinesWithBuffer {
public:
  // An empty name gives an empty list; a file that cannot be read raises
  // the stream's error.
  explicit TGenericLoadSpecialFile(const std::string &fileName);
  explicit TGenericLoadSpecialFile(ReferenceText reference);

  // The reference list is kept from file to file.
  void startFile() override;
  std::int64_t bufferedLength() override;
  bool isFound(std::string_view line) const { return reference_.contains(line); }

private:
  void setReference(const std::vector<std::string> &lines);

  std::unordered_set<std::string_view> reference_; // views into `lines_`
};

// Passes on only the lines found in the reference list.
class TOnlyShowLinesFoundIn : public TGenericLoadSpecialFile {
public:
  using TGenericLoadSpecialFile::TGenericLoadSpecialFile;
  void processLine(std::string_view lineEnd) override;
};

// Passes on only the lines not found in the reference list.
class TRemoveLinesFoundIn : public TGenericLoadSpecialFile {
public:
  using TGenericLoadSpecialFile::TGenericLoadSpecialFile;
  void processLine(std::string_view lineEnd) override;
};

// Of each run of consecutive equal lines keeps the first. Lines are compared
// without their line ends and without their first `ignoreLeading`
// characters, with or without case.
class TRemoveDuplicateLines : public TBatchedLineFilter {
public:
  TRemoveDuplicateLines(bool ignoreCase, int ignoreLeading);
  void startFile() override;
  void processLine(std::string_view lineEnd) override;

protected:
  // Where the compared part of `line` starts: each line is counted once.
  std::size_t comparedFrom(std::string_view line) const;
  // Whether the current line, compared from `currentFrom`, equals the
  // previous one.
  bool sameAsPrevious(std::size_t currentFrom) const;
  // The current line becomes the previous one.
  void keepAsPrevious(std::size_t currentFrom);

  bool ignoreCase_;
  std::size_t ignoreLeading_;
  bool firstLine_ = true;
  GrowingText previous_;
  std::size_t previousFrom_ = 0;
};

// Passes on one line for each run of consecutive equal lines: its last line,
// a blank and the length of the run, with the line end of the line after the
// run; a run that ends the file goes out without one. Lines that occur once
// are dropped.
class TShowDuplicateLines : public TRemoveDuplicateLines {
public:
  using TRemoveDuplicateLines::TRemoveDuplicateLines;
  void startFile() override;
  void processLine(std::string_view lineEnd) override;
  void endFile() override;

private:
  void passOnRun(std::string_view lineEnd);

  std::int32_t repeats_ = 0; // lines after the first of the current run
};

} // namespace marrowen

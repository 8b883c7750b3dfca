#pragma once

#include "classlib/utf8.h"
#include "filters/batchedlines.h"

#include <cstdint>
#include <memory>
#include <string>

namespace marrowen {

class CodePage;

// Line filters that change each line on its own and keep its line end.
// Padding uses spaces. Widths and columns count characters as `wc -m` does
// (a valid UTF-8 sequence is one, every other byte one), and no cut falls
// inside what the eye sees as one letter: a letter keeps its combining
// marks, a flag or an emoji sequence stays whole. A letter that would reach
// past a width is left out whole.

// The widest tab or wrap width, and the widest number the number dialog
// offers: a line of that many bytes is far beyond any text a person reads.
inline constexpr int maxLineWidth = 100000;

// The width filters. A negative width is refused when the filter is made;
// any other width works, whatever a list written elsewhere holds: padding
// goes on in pieces, never held whole. Counts the lines it changes in each
// file.
class TGenericWidthFilter : public TBatchedLineFilter {
public:
  explicit TGenericWidthFilter(int width);
  void startJob() override;
  void resetStatistics() override;
  std::int64_t changedLines() const { return changed_; }

protected:
  // The characters of the current line.
  std::int64_t lineLength() const {
    return static_cast<std::int64_t>(utf8::characterCount(currentLine_));
  }
  // Cuts the current line after the whole letters within its first
  // `width_` characters; returns the characters kept.
  std::int64_t cutToWidth();
  // The current line between `leading` and `trailing` spaces, then its line
  // end.
  void passOnPadded(std::int64_t leading, std::int64_t trailing, std::string_view lineEnd);

  std::int32_t width_;
  std::int64_t changed_ = 0;
  std::shared_ptr<const CodePage> tables_;
};

// Shorter lines get spaces appended up to the width.
class TPadLines : public TGenericWidthFilter {
public:
  using TGenericWidthFilter::TGenericWidthFilter;
  void processLine(std::string_view lineEnd) override;
  bool hasChanged() override { return changed_ > 0; }
  std::string getStatistics() override;
};

// Every line is made exactly the width: cut, or padded with spaces.
class TForceLineWidth : public TGenericWidthFilter {
public:
  using TGenericWidthFilter::TGenericWidthFilter;
  void processLine(std::string_view lineEnd) override;
  bool hasChanged() override { return changed_ > 0; }
  std::string getStatistics() override;
};

// Longer lines keep their first characters up to the width.
class TTruncateWidth : public TGenericWidthFilter {
public:
  using TGenericWidthFilter::TGenericWidthFilter;
  void processLine(std::string_view lineEnd) override;
  bool hasChanged() override { return changed_ > 0; }
  std::string getStatistics() override;
};

// Shorter lines get half the missing width as leading spaces (rounded down)
// and nothing appended.
class TCentreLines : public TGenericWidthFilter {
public:
  using TGenericWidthFilter::TGenericWidthFilter;
  void processLine(std::string_view lineEnd) override;
};

// Shorter lines get the missing width as leading spaces.
class TRightJustifyLines : public TGenericWidthFilter {
public:
  using TGenericWidthFilter::TGenericWidthFilter;
  void processLine(std::string_view lineEnd) override;
};

// Inserts a text into every line at a column. Columns count from 1; a column
// past the end appends; 0 and below count back from the end of the line (0
// appends, -1 goes before the last character) and stop at its start. A
// column within a letter's marks goes after the letter. The text's @NAME
// variables are expanded for every line.
class TInsertColumn : public TBatchedLineFilter {
public:
  TInsertColumn(int column, std::string text);
  void startJob() override;
  void processLine(std::string_view lineEnd) override;

private:
  std::int32_t column_;
  std::string text_;
  bool hasVariables_;
  std::shared_ptr<const CodePage> tables_;
};

// The letters of each line in reverse order, the line end kept after them.
// What the eye sees as one letter stays as it was: a letter with its
// combining marks after it, a flag, an emoji sequence.
class TReverseEachLine : public TBatchedLineFilter {
public:
  TReverseEachLine();
  void startJob() override;
  void processLine(std::string_view lineEnd) override;

private:
  std::shared_ptr<const CodePage> tables_;
};

} // namespace marrowen

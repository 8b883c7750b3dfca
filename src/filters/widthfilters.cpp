#include "filters/widthfilters.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/graphemes.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"

#include <algorithm>

namespace marrowen {

namespace {

// Padding up to this many spaces is added to the line itself.
constexpr std::int64_t paddingInLine = 1 << 16;

int checkedWidth(int width) {
  // A negative width would cut lines to a negative length.
  if (width < 0)
    throw ERangeError(Format("Line width must be at least 0 (is %d)", {width}));
  return width;
}

} // namespace

TGenericWidthFilter::TGenericWidthFilter(int width)
    : width_(checkedWidth(width)), tables_(charTables()) {}

void TGenericWidthFilter::startJob() {
  tables_ = charTables();
  TBatchedLineFilter::startJob();
}

std::int64_t TGenericWidthFilter::cutToWidth() {
  std::size_t kept = 0;
  currentLine_.truncate(
      graphemes::prefixWithin(currentLine_, *tables_, static_cast<std::size_t>(width_), &kept));
  return static_cast<std::int64_t>(kept);
}

void TGenericWidthFilter::resetStatistics() {
  changed_ = 0;
  TBatchedLineFilter::resetStatistics();
}

void TGenericWidthFilter::passOnPadded(std::int64_t leading, std::int64_t trailing,
                                       std::string_view lineEnd) {
  if (leading + trailing <= paddingInLine) {
    currentLine_.insert(0, static_cast<std::size_t>(leading), ' ');
    currentLine_.append(static_cast<std::size_t>(trailing), ' ');
    passOnLine(currentLine_, lineEnd);
    return;
  }
  passOnSpaces(static_cast<std::uint64_t>(leading));
  passOnText(currentLine_);
  passOnSpaces(static_cast<std::uint64_t>(trailing));
  passOnText(lineEnd);
}

void TPadLines::processLine(std::string_view lineEnd) {
  const std::int64_t length = lineLength();
  if (length < width_) {
    ++changed_;
    passOnPadded(0, width_ - length, lineEnd);
    return;
  }
  passOnLine(currentLine_, lineEnd);
}

std::string TPadLines::getStatistics() {
  return translateFormat(5230, "%d line(s) padded to width of %d", {changed_, width_});
}

void TForceLineWidth::processLine(std::string_view lineEnd) {
  const std::int64_t length = lineLength();
  if (length < width_) {
    ++changed_;
    passOnPadded(0, width_ - length, lineEnd);
    return;
  }
  if (length > width_) {
    ++changed_;
    // A letter cut off at the edge leaves its room as spaces, so every line
    // is still the width.
    passOnPadded(0, width_ - cutToWidth(), lineEnd);
    return;
  }
  passOnLine(currentLine_, lineEnd);
}

std::string TForceLineWidth::getStatistics() {
  return translateFormat(5240, "%d line(s) forced to width of %d", {changed_, width_});
}

void TTruncateWidth::processLine(std::string_view lineEnd) {
  if (lineLength() > width_) {
    cutToWidth();
    ++changed_;
  }
  passOnLine(currentLine_, lineEnd);
}

std::string TTruncateWidth::getStatistics() {
  return translateFormat(5250, "%d line(s) truncated to width of %d", {changed_, width_});
}

void TCentreLines::processLine(std::string_view lineEnd) {
  const std::int64_t length = lineLength();
  if (length < width_) {
    ++changed_;
    passOnPadded((width_ - length) / 2, 0, lineEnd);
    return;
  }
  passOnLine(currentLine_, lineEnd);
}

void TRightJustifyLines::processLine(std::string_view lineEnd) {
  const std::int64_t length = lineLength();
  if (length < width_) {
    ++changed_;
    passOnPadded(width_ - length, 0, lineEnd);
    return;
  }
  passOnLine(currentLine_, lineEnd);
}

TInsertColumn::TInsertColumn(int column, std::string text)
    : column_(column), text_(std::move(text)), hasVariables_(text_.find('@') != std::string::npos),
      tables_(charTables()) {}

void TInsertColumn::startJob() {
  tables_ = charTables();
  TBatchedLineFilter::startJob();
}

void TInsertColumn::processLine(std::string_view lineEnd) {
  const auto length = static_cast<std::int64_t>(utf8::characterCount(currentLine_));
  std::int64_t at; // characters of the line before the text
  if (column_ < 1)
    at = std::max<std::int64_t>(std::int64_t{column_} + length, 0);
  else if (column_ > length)
    at = length;
  else
    at = column_ - 1;
  const std::string expanded = hasVariables_ ? substituteVariables(text_) : std::string();
  const std::string &text = hasVariables_ ? expanded : text_;
  // The text may hold line ends of its own: the whole goes on as text.
  currentLine_.insert(
      graphemes::boundaryFrom(currentLine_, *tables_,
                              utf8::characterOffset(currentLine_, static_cast<std::size_t>(at))),
      text);
  currentLine_.append(lineEnd);
  passOnText(currentLine_);
}

TReverseEachLine::TReverseEachLine() : tables_(charTables()) {}

void TReverseEachLine::startJob() {
  tables_ = charTables();
  TBatchedLineFilter::startJob();
}

void TReverseEachLine::processLine(std::string_view lineEnd) {
  graphemes::reverseClusters(currentLine_.data(), currentLine_.size(), *tables_);
  passOnLine(currentLine_, lineEnd);
}

} // namespace marrowen

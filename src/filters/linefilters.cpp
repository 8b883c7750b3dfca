#include "filters/linefilters.h"

#include "classlib/asciitext.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/messages.h"

#include <cstdint>

namespace marrowen {

namespace {} // namespace

void TAddAtStartOfFile::reset() {
  TFilter::reset();
  std::string text = substituteVariables(text_);
  subFilterEntireText(text);
  sendToNext(text);
}

void TAddAtEndOfFile::endFile() {
  TFilter::endFile();
  std::string text = substituteVariables(text_);
  subFilterEntireText(text);
  sendToNext(text);
}

TAddTextStartOrEndLine::TAddTextStartOrEndLine(std::string text, bool atStart)
    : text_(std::move(text)), atStart_(atStart) {}

void TAddTextStartOrEndLine::processLine(std::string_view lineEnd) {
  std::string text = substituteVariables(text_);
  subFilterEntireText(text);
  // The text may hold line ends of its own: the whole goes on as a chunk.
  currentLine_.insert(atStart_ ? 0 : currentLine_.size(), text);
  currentLine_.append(lineEnd);
  sendCopyToNext(currentLine_, buffer_);
}

TAddLineNumbers::TAddLineNumbers(std::int32_t start, std::int32_t increment,
                                 bool doNotCountBlankLines, bool doNotNumberBlankLines,
                                 std::string format)
    : start_(start), nextNumber_(start), increment_(increment),
      doNotCountBlankLines_(doNotCountBlankLines), doNotNumberBlankLines_(doNotNumberBlankLines),
      format_(std::move(format)) {
  if (!formatAccepts(format_, {std::int32_t{110}}))
    throw Exception(translateFormat(8610, "Line number format %s is invalid", {format_}));
}

void TAddLineNumbers::startFile() {
  nextNumber_ = start_;
  TProcessLines::startFile();
}

void TAddLineNumbers::processLine(std::string_view lineEnd) {
  if (currentLine_.empty() && doNotNumberBlankLines_) {
    if (!doNotCountBlankLines_)
      nextNumber_ = checkedAdd<std::int64_t>(nextNumber_, increment_);
    putLineToNext(currentLine_, lineEnd);
    return;
  }
  // A number past the integer range is an error only once it is to be
  // shown, so the last line of a file may take the largest number.
  if (nextNumber_ < INT32_MIN || nextNumber_ > INT32_MAX)
    throw EIntOverflow();
  std::string prefix = Format(format_, {nextNumber_});
  nextNumber_ = checkedAdd<std::int64_t>(nextNumber_, increment_);
  currentLine_.insert(0, prefix);
  putLineToNext(currentLine_, lineEnd);
}

void TRemoveBlanksFromSOL::processLine(std::string_view lineEnd) {
  std::string_view line = currentLine_;
  std::size_t first = 0;
  while (first < line.size() && isBlank(line[first]))
    ++first;
  putLineToNext(line.substr(first), lineEnd);
}

void TRemoveBlanksFromEOL::processLine(std::string_view lineEnd) {
  std::string_view line = currentLine_;
  std::size_t end = line.size();
  while (end > 0 && isBlank(line[end - 1]))
    --end;
  putLineToNext(line.substr(0, end), lineEnd);
}

void TRemoveBlankLines::processLine(std::string_view lineEnd) {
  if (currentLine_.empty()) {
    ++removed_;
    return;
  }
  putLineToNext(currentLine_, lineEnd);
}

std::string TRemoveBlankLines::getStatistics() {
  return translateFormat(5130, "%d blank line(s) removed", {removed_});
}

void TRemoveBlankLines::resetStatistics() {
  removed_ = 0;
  TProcessLines::resetStatistics();
}

} // namespace marrowen

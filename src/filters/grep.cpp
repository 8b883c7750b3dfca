#include "filters/grep.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/messages.h"

namespace marrowen {

// ---- TGrep ----

TGrep::TGrep(const std::string &pattern, bool lineNumbers, bool invert, bool fileNameHeader,
             bool ignoreCase, bool countOnly)
    : engine_(std::make_unique<TRegex>()), lineNumbers_(lineNumbers), invert_(invert),
      fileNameHeader_(fileNameHeader), countOnly_(countOnly) {
  engine_->setCaseSensitive(!ignoreCase);
  engine_->CompileRegex(pattern);
}

std::string TGrep::getStatistics() {
  std::string pattern = escapeControlChars(engine_->getExpression());
  if (invert_)
    return Format(translate(2300, "%d matching line(s), %d non-matching line(s) for pattern [%s]"),
                  {notSelected_, selected_, pattern});
  return Format(translate(2310, "%d matching line(s), %d non-matching line(s) for pattern [%s]"),
                {selected_, notSelected_, pattern});
}

bool TGrep::processChunk(std::string &chunk) {
  if (hasChildChain()) // each selected line goes through the child chain alone
    return TProcessLines::processChunk(chunk);
  return TBatchedLineFilter::processChunk(chunk);
}

void TGrep::startFile() {
  headerPending_ = true;
  fileCount_ = 0;
  TBatchedLineFilter::startFile();
}

void TGrep::resetStatistics() {
  selected_ = 0;
  notSelected_ = 0;
  TBatchedLineFilter::resetStatistics();
}

void TGrep::endFile() {
  TBatchedLineFilter::endFile();
  if (countOnly_)
    passOnCount();
}

void TGrep::passOnCount() {
  std::string text;
  if (fileNameHeader_)
    text = getFullInputFilename() + ":\r\n";
  text += std::to_string(fileCount_) + "\r\n";
  sendToNext(text);
}

bool TGrep::selectCurrentLine() {
  int limit = 0;
  bool matches = engine_->Exec(std::string_view(currentLine_), limit, 1);
  bool selected = matches != invert_;
  if (selected) {
    ++selected_;
    if (countOnly_)
      ++fileCount_;
  } else {
    ++notSelected_;
  }
  return selected;
}

void TGrep::processLine(std::string_view lineEnd) {
  if (!selectCurrentLine()) {
    if (hasChildChain())
      putLineToNext(currentLine_, lineEnd);
    return;
  }
  if (countOnly_)
    return;
  if (fileNameHeader_ && headerPending_) {
    // The last line of a file may have no line end; the name still gets a
    // line of its own.
    passOnLine(getFullInputFilename() + ":", lineEnd.empty() ? "\r\n" : lineEnd);
    headerPending_ = false;
  }
  std::string numbered;
  std::string_view line = currentLine_;
  if (lineNumbers_) {
    numbered = std::to_string(lineCounter_) + " ";
    numbered += currentLine_;
    line = numbered;
  }
  if (TFilter *child = firstSubfilter()) {
    child->reset();
    child->putLine(line, lineEnd);
    child->flush();
  } else {
    passOnLine(line, lineEnd);
  }
}

// ---- TContextGrep ----

TContextGrep::TContextGrep(const std::string &pattern, bool lineNumbers, bool invert,
                           bool fileNameHeader, bool ignoreCase, bool countOnly, int linesBefore,
                           int linesAfter)
    : TGrep(pattern, lineNumbers, invert, fileNameHeader, ignoreCase, countOnly) {
  if (linesBefore < 0 || linesAfter < 0)
    throw ERangeError();
  linesBefore_ = static_cast<std::size_t>(linesBefore);
  linesAfter_ = static_cast<std::size_t>(linesAfter);
}

void TContextGrep::startFile() {
  frontBlanks_ = linesBefore_;
  lines_.clear();
  backBlanks_ = 0;
  currentLineNumber_ = 1;
  TGrep::startFile();
}

void TContextGrep::processLine(std::string_view lineEnd) {
  bool selected = selectCurrentLine();
  if (countOnly_)
    return;
  std::string entry;
  entry.reserve(1 + currentLine_.size() + lineEnd.size());
  entry += selected ? '1' : '0';
  entry += currentLine_;
  entry += lineEnd;
  lines_.push_back(std::move(entry));
  if (frontBlanks_ + lines_.size() == linesBefore_ + linesAfter_ + 1)
    advanceWindow();
}

void TContextGrep::endFile() {
  TGrep::endFile(); // the last line, and the count in count-only mode
  if (countOnly_)
    return;
  // Blank entries follow the last line until no line is left to be the
  // current one.
  for (std::size_t i = 0; i < linesAfter_ && frontBlanks_ + lines_.size() > linesBefore_; ++i) {
    ++backBlanks_;
    advanceWindow();
  }
}

void TContextGrep::advanceWindow() {
  handleCurrentEntry();
  if (frontBlanks_ > 0)
    --frontBlanks_;
  else if (!lines_.empty())
    lines_.pop_front();
  else if (backBlanks_ > 0)
    --backBlanks_;
  ++currentLineNumber_;
}

void TContextGrep::handleCurrentEntry() {
  if (linesBefore_ < frontBlanks_ || linesBefore_ - frontBlanks_ >= lines_.size())
    return; // a blank entry
  const std::string &current = lines_[linesBefore_ - frontBlanks_];
  if (current[0] == '0') {
    if (hasChildChain()) {
      std::string line = current.substr(1);
      sendToNext(line);
    }
    return;
  }
  if (headerPending_) {
    headerPending_ = false;
    if (fileNameHeader_) {
      std::string header = Format(translate(2320, "File %s:\r\n"), {getFullInputFilename()});
      passOnText(header);
    }
  }
  // The window's lines up to `linesAfter_` after the current one.
  std::string text;
  const std::size_t count = std::min(lines_.size(), linesBefore_ + linesAfter_ + 1 - frontBlanks_);
  for (std::size_t k = 0; k < count; ++k) {
    std::string_view line = std::string_view(lines_[k]).substr(1);
    if (lineNumbers_) {
      // Index frontBlanks_ + k in the window, counted from the current line.
      std::int64_t number = currentLineNumber_ - static_cast<std::int64_t>(linesBefore_) +
                            static_cast<std::int64_t>(frontBlanks_ + k);
      text += Format("%d %s", {number, line});
    } else {
      text += line;
    }
  }
  if (TFilter *child = firstSubfilter()) {
    child->reset();
    child->processChunk(text);
    child->flush();
  } else {
    passOnText(text);
  }
}

} // namespace marrowen

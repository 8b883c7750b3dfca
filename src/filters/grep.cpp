#include "filters/grep.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/messages.h"

#include <algorithm>
#include <cstring>

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
    return translateFormat(2300, "%d matching line(s), %d non-matching line(s) for pattern [%s]",
                           {notSelected_, selected_, pattern});
  return translateFormat(2310, "%d matching line(s), %d non-matching line(s) for pattern [%s]",
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

bool TGrep::selects(std::string_view line, std::size_t from, bool holdsMatch) {
  int limit = 0;
  // `^` still means the start of the line when the search begins later.
  bool matches =
      holdsMatch ||
      (from == 0 ? engine_->Exec(line, limit, 1)
                 : engine_->ExecInText(line, limit, checkedCast<int>(from + 1), 1, false));
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
  // The number goes into the line itself, which is then not copied.
  if (lineNumbers_)
    currentLine_.insert(0, std::to_string(lineCounter_) + " ");
  passOnSelected(currentLine_, lineEnd, true);
}

void TGrep::passOnSelected(std::string_view line, std::string_view lineEnd, bool numbered) {
  if (fileNameHeader_ && headerPending_) {
    // The last line of a file may have no line end; the name still gets a
    // line of its own.
    passOnLine(getFullInputFilename() + ":", lineEnd.empty() ? "\r\n" : lineEnd);
    headerPending_ = false;
  }
  std::string withNumber;
  if (lineNumbers_ && !numbered) {
    withNumber = std::to_string(lineCounter_) + " ";
    withNumber += line;
    line = withNumber;
  }
  if (TFilter *child = firstSubfilter()) {
    child->reset();
    child->putLine(line, lineEnd);
    child->flush();
  } else {
    passOnLine(line, lineEnd);
  }
}

namespace {

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// How many bytes of `text` are `byte`. Sixteen byte-wide counters, each
// summed before it can overflow, let the compiler count a vector at a time.
std::size_t countByte(std::string_view text, char byte) {
  const char *p = text.data();
  std::size_t left = text.size();
  std::size_t count = 0;
  while (left >= 16) {
    const std::size_t steps = std::min<std::size_t>(left / 16, 255);
    std::uint8_t counters[16] = {};
    for (std::size_t step = 0; step < steps; ++step, p += 16)
      for (int j = 0; j < 16; ++j)
        counters[j] = static_cast<std::uint8_t>(counters[j] + (p[j] == byte));
    for (std::uint8_t c : counters)
      count += c;
    left -= steps * 16;
  }
  for (; left > 0; --left, ++p)
    count += *p == byte;
  return count;
}

// The length of the line end at `at` (a CR or an LF) in `text`.
std::size_t lineEndLength(std::string_view text, std::size_t at) {
  return text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
}

} // namespace

// Cuts lines as TProcessLines does (LF, CR, CR LF, a CR and its LF in
// different chunks) but hands the complete lines of the chunk to the
// block search, holding back the partial line at its end as the cutter
// does, so `endFile` and a line put whole find the state they expect.
void TGrep::cutLines(std::string &chunk) {
  if (!blockSearch_ || hasChildChain()) {
    TBatchedLineFilter::cutLines(chunk);
    return;
  }
  const std::string_view text = chunk;
  if (text.empty())
    return;
  std::size_t pos = 0;
  if (crPending_) {
    crPending_ = false;
    if (text[0] == '\n') {
      processLine("\r\n");
      pos = 1;
    } else {
      processLine("\r");
    }
    nextLine();
  }
  if (!currentLine_.empty()) {
    // The line held from the chunk before ends here, or not yet.
    std::size_t end = pos;
    while (end < text.size() && !isLineEnd(text[end]))
      ++end;
    if (end == text.size() || (text[end] == '\r' && end + 1 == text.size())) {
      currentLine_.append(text.substr(pos, end - pos));
      crPending_ = end < text.size();
      return;
    }
    currentLine_.append(text.substr(pos, end - pos));
    const std::size_t length = lineEndLength(text, end);
    processLine(text.substr(end, length));
    nextLine();
    pos = end + length;
  }
  // The complete lines end at the last line end, unless that is a CR that
  // ends the chunk: its LF may begin the next one.
  std::size_t last = text.size();
  while (last > pos && !isLineEnd(text[last - 1]))
    --last;
  std::size_t tail = last;
  if (last > pos && text[last - 1] == '\r' && last == text.size()) {
    tail = last - 1;
    while (tail > pos && !isLineEnd(text[tail - 1]))
      --tail;
    crPending_ = true;
  }
  if (tail > pos)
    searchLines(text.substr(pos, tail - pos));
  currentLine_.assign(text.substr(tail, (crPending_ ? last - 1 : text.size()) - tail));
}

void TGrep::searchLines(std::string_view text) {
  textHasCr_ = std::memchr(text.data(), '\r', text.size()) != nullptr;
  // Lines passed over neither go on nor show their numbers: counting them
  // once for the whole text is enough.
  const bool tally = !invert_ && !lineNumbers_;
  std::size_t searched = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    bool hitStartsMatch = false;
    std::size_t matchLength = 0;
    const std::size_t hit = engine_->nextPossibleMatch(text, pos, &hitStartsMatch, &matchLength);
    if (hit >= text.size()) {
      if (!tally)
        passOverLines(text.substr(pos));
      break;
    }
    if (isLineEnd(text[hit])) {
      // No match holds a line end: the lines up to this one's end have none.
      const std::size_t next = hit + lineEndLength(text, hit);
      if (!tally)
        passOverLines(text.substr(pos, next - pos));
      pos = next;
      continue;
    }
    std::size_t start = hit;
    if (textHasCr_) {
      while (start > pos && !isLineEnd(text[start - 1]))
        --start;
    } else {
      const void *lf = memrchr(text.data() + pos, '\n', hit - pos);
      start = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - text.data()) + 1 : pos;
    }
    if (start > pos && !tally)
      passOverLines(text.substr(pos, start - pos));
    std::size_t end = hit;
    if (textHasCr_) {
      while (!isLineEnd(text[end]))
        ++end;
    } else {
      end = static_cast<std::size_t>(
          static_cast<const char *>(std::memchr(text.data() + hit, '\n', text.size() - hit)) -
          text.data());
    }
    const std::size_t length = lineEndLength(text, end);
    const std::string_view line = text.substr(start, end - start);
    // A match the scan found whole within the line needs no search.
    const bool holdsMatch = matchLength > 0 && hit + matchLength <= end;
    if (selects(line, hitStartsMatch ? hit - start : 0, holdsMatch) && !countOnly_)
      passOnSelected(line, text.substr(end, length));
    if (!tally)
      ++lineCounter_;
    ++searched;
    pos = end + length;
  }
  if (tally) {
    const auto lines = checkedCast<std::int32_t>(countLines(text));
    notSelected_ = checkedAdd<int>(notSelected_, lines - static_cast<std::int32_t>(searched));
    lineCounter_ = checkedAdd<std::int32_t>(lineCounter_, lines);
  }
}

std::size_t TGrep::countLines(std::string_view text) const {
  std::size_t lines = countByte(text, '\n');
  if (textHasCr_) {
    for (std::size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
        ++lines;
  }
  return lines;
}

void TGrep::passOverLines(std::string_view text) {
  const auto count = checkedCast<std::int32_t>(countLines(text));
  if (!invert_) {
    notSelected_ = checkedAdd<int>(notSelected_, count);
    lineCounter_ = checkedAdd<std::int32_t>(lineCounter_, count);
    return;
  }
  if (countOnly_ || (!lineNumbers_ && !(fileNameHeader_ && headerPending_))) {
    selected_ = checkedAdd<int>(selected_, count);
    if (countOnly_)
      fileCount_ = checkedAdd<int>(fileCount_, count);
    else
      passOnText(text);
    lineCounter_ = checkedAdd<std::int32_t>(lineCounter_, count);
    return;
  }
  // Each line needs its number, or the first the header before it.
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (!isLineEnd(text[end]))
      ++end;
    const std::size_t length = lineEndLength(text, end);
    ++selected_;
    passOnSelected(text.substr(pos, end - pos), text.substr(end, length));
    ++lineCounter_;
    pos = end + length;
  }
}

// ---- TContextGrep ----

TContextGrep::TContextGrep(const std::string &pattern, bool lineNumbers, bool invert,
                           bool fileNameHeader, bool ignoreCase, bool countOnly, int linesBefore,
                           int linesAfter)
    : TGrep(pattern, lineNumbers, invert, fileNameHeader, ignoreCase, countOnly) {
  blockSearch_ = false;
  if (linesBefore < 0 || linesAfter < 0)
    throw ERangeError();
  linesBefore_ = static_cast<std::size_t>(linesBefore);
  linesAfter_ = static_cast<std::size_t>(linesAfter);
}

void TContextGrep::startFile() {
  frontBlanks_ = linesBefore_;
  lines_.clear();
  selectedLines_.clear();
  backBlanks_ = 0;
  currentLineNumber_ = 1;
  TGrep::startFile();
}

void TContextGrep::processLine(std::string_view lineEnd) {
  bool selected = selectCurrentLine();
  if (countOnly_)
    return;
  lines_.push(currentLine_, lineEnd);
  selectedLines_.push_back(selected);
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
  else if (!lines_.empty()) {
    lines_.popFront();
    selectedLines_.pop_front();
  } else if (backBlanks_ > 0)
    --backBlanks_;
  ++currentLineNumber_;
}

void TContextGrep::handleCurrentEntry() {
  if (linesBefore_ < frontBlanks_ || linesBefore_ - frontBlanks_ >= lines_.size())
    return; // a blank entry
  const std::size_t current = linesBefore_ - frontBlanks_;
  if (!selectedLines_[current]) {
    if (hasChildChain())
      sendCopyToNext(lines_[current], scratch_);
    return;
  }
  if (headerPending_) {
    headerPending_ = false;
    if (fileNameHeader_) {
      std::string header = translateFormat(2320, "File %s:\r\n", {getFullInputFilename()});
      passOnText(header);
    }
  }
  // The window's lines up to `linesAfter_` after the current one, one text
  // unless a long line makes it go in pieces.
  TFilter *child = firstSubfilter();
  TextPieces text([this, child](std::string &piece) {
    if (child)
      child->processChunk(piece);
    else
      passOnText(piece);
  });
  if (child)
    child->reset();
  const std::size_t count = std::min(lines_.size(), linesBefore_ + linesAfter_ + 1 - frontBlanks_);
  for (std::size_t k = 0; k < count; ++k) {
    if (lineNumbers_) {
      // Index frontBlanks_ + k in the window, counted from the current line.
      std::int64_t number = currentLineNumber_ - static_cast<std::int64_t>(linesBefore_) +
                            static_cast<std::int64_t>(frontBlanks_ + k);
      text.add(Format("%d ", {number}));
    }
    text.add(lines_[k]);
  }
  text.finish();
  if (child)
    child->flush();
}

} // namespace marrowen

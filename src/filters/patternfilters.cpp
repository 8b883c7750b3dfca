#include "filters/patternfilters.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filters/dialects.h"

#include <algorithm>

namespace marrowen {

namespace {

const char groupIdentifiers[] = "0123456789abcdefghijklmnopqrstuvwxyz";
// Bytes of combining marks kept before the held text, more than a letter
// written with thirty marks (the most that text in a normal form holds).
constexpr std::size_t maxMarksKept = 128;

} // namespace

// ---- TBuffer ----

TBuffer::TBuffer(bool preserveCase, bool prompt, bool noPromptWhenUnchanged, bool wholeWord,
                 bool firstOnly, int bufferSize)
    : TGenericSearchReplace(preserveCase, prompt, noPromptWhenUnchanged, firstOnly),
      buffer_(1, ' '), wholeWord_(wholeWord),
      bufferSize_(static_cast<std::size_t>(std::max(bufferSize, 4096))), tables_(charTables()) {}

bool TBuffer::processChunk(std::string &chunk) {
  buffer_ += chunk;
  if (heldLength() < bufferSize_ + heldTail)
    return true;
  return processBuffer();
}

bool TBuffer::processBuffer() {
  if (heldLength() == 0)
    return true;
  bool result = searchBuffer();
  noteUpTo(heldStart_);
  // Of what was handed on only the four bytes before the held text stay,
  // and the letter whose marks they may be: a whole-word test looks back
  // over them. A run of marks longer than any real letter holds is not
  // followed back, so a text of marks alone is not kept whole.
  const std::string_view held(buffer_);
  std::size_t letter = heldStart_;
  do
    letter = utf8::lastCharacterStart(held.substr(0, letter));
  while (letter > 0 && heldStart_ - letter < maxMarksKept &&
         utf8::isCombiningMarkAt(held.substr(letter), *tables_));
  const std::size_t gone = std::min(letter, heldStart_ > 4 ? heldStart_ - 4 : 0);
  if (gone > 0) {
    buffer_.erase(0, gone);
    heldStart_ -= gone;
    scan_ -= gone;
    notedUpTo_ -= gone;
  }
  return result;
}

std::int64_t TBuffer::bufferedLength() { return static_cast<std::int64_t>(heldLength()); }

void TBuffer::startFile() {
  buffer_.assign(1, ' ');
  heldStart_ = 1;
  scan_ = 1;
  notedUpTo_ = 1;
  endOfFile_ = false;
  TGenericSearchReplace::startFile();
}

void TBuffer::endFile() {
  endOfFile_ = true;
  processBuffer();
}

void TBuffer::emitUpTo(std::string &output, std::size_t end) {
  if (passesText_ && end > scan_)
    output.append(buffer_, scan_, end - scan_);
  heldStart_ = end;
  scan_ = end;
}

void TBuffer::emitRest(std::string &output) { emitUpTo(output, buffer_.size()); }

void TBuffer::noteUpTo(std::size_t end) {
  if (end <= notedUpTo_)
    return;
  noteText(std::string_view(buffer_).substr(notedUpTo_, end - notedUpTo_));
  notedUpTo_ = end;
}

bool TBuffer::isWholeWord() const {
  const CodePage &tables = *tables_;
  const std::string_view text(buffer_);
  // A combining mark belongs to the word of the letter before it: the match
  // must not follow a letter's marks, nor be followed by marks of its own
  // last letter (a decomposed "café" does not hold the word "cafe").
  for (std::size_t at = matchPos_; at > 0;) {
    const std::size_t start = utf8::lastCharacterStart(text.substr(0, at));
    if (utf8::isAlphaNumericAt(text.substr(start), tables))
      return false;
    if (!utf8::isCombiningMarkAt(text.substr(start), tables))
      break;
    at = start;
  }
  std::size_t end = matchPos_ + matchLength_;
  if (end >= searchableEnd())
    return endOfFile_;
  const std::string_view after = text.substr(end);
  if (utf8::isAlphaNumericAt(after, tables))
    return false;
  if (matchLength_ == 0 || !utf8::isCombiningMarkAt(after, tables))
    return true;
  const std::string_view last = text.substr(utf8::lastCharacterStart(text.substr(0, end)));
  return !utf8::isAlphaNumericAt(last, tables) && !utf8::isCombiningMarkAt(last, tables);
}

std::size_t TBuffer::searchableEnd() const {
  return endOfFile_ ? buffer_.size() : buffer_.size() - utf8::incompleteTail(buffer_);
}

std::size_t TBuffer::characterStart(std::size_t limit) const {
  while (limit > scan_ && utf8::isInsideSequence(buffer_, limit))
    --limit;
  return limit;
}

std::string_view TBuffer::followingText() const {
  const std::size_t end = matchPos_ + matchLength_;
  return std::string_view(buffer_).substr(0, std::max(end, searchableEnd())).substr(end);
}

bool TBuffer::answerStopsRun() const {
  return answer_ == Answer::Cancel || answer_ == Answer::Stop;
}

void TBuffer::raiseIfStoppedWithoutJob() const {
  if (answerStopsRun() && !job())
    throw EAbort();
}

// ---- TRegExpFilter ----

TRegExpFilter::TRegExpFilter(const std::string &pattern, const std::string &replacement,
                             bool caseSensitive, bool wholeWord, bool caseSensitiveReplace,
                             bool prompt, bool noPromptWhenUnchanged, bool firstOnly,
                             bool /*greedy*/, bool /*allowComments*/, bool /*dotMatchesNewLines*/,
                             int bufferSize, TPatternType patternType)
    : TBuffer(caseSensitiveReplace, prompt, noPromptWhenUnchanged, wholeWord, firstOnly,
              bufferSize),
      engine_(std::make_unique<TRegex>()), patternType_(patternType) {
  statisticsSuffix_ =
      translateFormat(3100, " for pattern match [%s]", {escapeControlChars(pattern)});
  engine_->setCaseSensitive(caseSensitive);
  std::string expression;
  switch (patternType) {
  case TPatternType::Pattern:
  case TPatternType::PerlPattern:
    expression = pattern;
    break;
  case TPatternType::BriefPattern:
    expression = convertBriefPattern(pattern);
    break;
  case TPatternType::WordPattern:
    engine_->setWordTokens(true);
    expression = convertWordPattern(pattern);
    break;
  default: // not a pattern dialect
    throw ERangeError();
  }
  engine_->CompileRegex(expression);
  searchText_ = pattern;
  setReplacement(patternType == TPatternType::BriefPattern ? convertBriefReplacement(replacement)
                                                           : replacement);
  // A malformed escape or a group the pattern lacks is reported now rather
  // than at the first match.
  decodeEscapes(replacement_);
  std::string unused;
  engine_->Substitute(replacement_, unused);
}

std::string TRegExpFilter::getStatistics() {
  return TGenericSearchReplace::getStatistics() + statisticsSuffix_;
}

void TRegExpFilter::startFile() {
  engine_->setFirstChunk(true);
  engine_->setLastChunk(false);
  anchorValid_ = true;
  TBuffer::startFile();
}

void TRegExpFilter::endFile() {
  engine_->setLastChunk(true);
  TBuffer::endFile();
}

void TRegExpFilter::getReplacement(std::string_view replacement, std::string_view found,
                                   std::string &result) {
  decodeEscapes(replacement); // raises on a malformed escape
  setReplacement(std::string(replacement));
  engine_->Substitute(replacement_, result);
  if (preserveCase_)
    result = matchCaseKeepingEscapes(found, result);
}

bool TRegExpFilter::searchBuffer() { return searchHeld(true); }

bool TRegExpFilter::searchHeld(bool obeyAnswers) {
  std::string output;
  bool stopped = false;
  const std::string_view searched(buffer_.data(), searchableEnd());
  // Matches kept by first-only or by a standing answer are still found, so
  // that they are counted as skipped.
  for (;;) {
    if (obeyAnswers && answerStopsRun())
      break;
    std::size_t limit = buffer_.size();
    if (!endOfFile_) {
      if (heldLength() <= heldTail) {
        stopped = true;
        break;
      }
      limit = characterStart(buffer_.size() - heldTail);
      if (scan_ >= limit) {
        emitUpTo(output, scan_);
        stopped = true;
        break;
      }
    }
    int engineLimit = checkedCast<int>(limit);
    int start = checkedCast<int>(scan_ + 1);
    if (!engine_->ExecInText(searched, engineLimit, start, anchorValid_ ? start : 0, !endOfFile_)) {
      if (endOfFile_)
        break;
      // Searching resumes at the limit, which is no start of a search.
      emitUpTo(output, limit);
      anchorValid_ = false;
      stopped = true;
      break;
    }
    matchPos_ = static_cast<std::size_t>(engine_->GetMatchPos(0) - 1);
    matchLength_ = static_cast<std::size_t>(engine_->GetMatchLen(0));
    if (matchLength_ > 0) {
      if (matchPos_ >= limit) {
        emitUpTo(output, matchPos_);
        anchorValid_ = false;
        stopped = true;
        break;
      }
      if (!handleMatch(output)) {
        stopped = true;
        break;
      }
    } else {
      // An empty match replaces nothing; the search moves on by one
      // character.
      const std::size_t step = utf8::characterLength(std::string_view(buffer_).substr(scan_));
      if (passesText_)
        output.append(buffer_, scan_, step);
      scan_ += step;
      anchorValid_ = true;
    }
    if (isAborted() || (obeyAnswers && answerStopsRun())) {
      stopped = true;
      break;
    }
  }
  if (!stopped)
    emitRest(output);
  engine_->setFirstChunk(false);
  if (obeyAnswers && answerStopsRun()) {
    raiseIfStoppedWithoutJob();
    return false;
  }
  return sendToNext(output);
}

std::string TRegExpFilter::promptInformation() const {
  std::string text =
      translateFormat(3110, "Search pattern:\r\n%s\r\n\r\nOther data:\r\n\r\n", {searchText_});
  const int groups = std::min(engine_->groupCount(), TRegex::subexpressionCount - 1);
  for (int i = 0; i <= groups; ++i) {
    text += '$';
    text += groupIdentifiers[i];
    text += '=';
    int pos = engine_->GetMatchPos(i);
    int len = engine_->GetMatchLen(i);
    if (pos > 0 && len > 0)
      text += encodeEscapes(std::string_view(buffer_).substr(pos - 1, len));
    text += "\r\n";
  }
  return text;
}

bool TRegExpFilter::handleMatch(std::string &output) {
  bool whole = !wholeWord_ || isWholeWord();
  output.append(buffer_, scan_, matchPos_ - scan_);
  pendingText_.assign(buffer_, matchPos_, matchLength_);
  if (!whole) {
    const std::size_t kept = keptLength();
    output.append(pendingText_, 0, kept);
    pendingText_.clear();
    scan_ = matchPos_ + kept;
  } else {
    std::string information = prompt_ ? promptInformation() : std::string();
    std::string replacement;
    engine_->Substitute(replacement_, replacement);
    const std::size_t kept = keptLength();
    noteUpTo(matchPos_ + matchLength_);
    bool replaced = replaceMatch(output, replacement, information, followingText());
    scan_ = replaced ? matchPos_ + matchLength_ : matchPos_ + kept;
  }
  anchorValid_ = true;
  return true;
}

// ---- TExtract ----

TExtract::TExtract(const std::string &pattern, bool fileNameHeader, bool ignoreCase, bool countOnly)
    : TRegExpFilter(pattern, std::string(), !ignoreCase, false, false, false, false, false, false,
                    false, false, 4096, TPatternType::Pattern),
      fileNameHeader_(fileNameHeader), countOnly_(countOnly) {
  passesText_ = false;
}

bool TExtract::hasChanged() { return true; }

std::string TExtract::getStatistics() {
  return translateFormat(3000, "%d extract(s) of [%s] performed",
                         {extractCount_, escapeControlChars(engine_->getExpression())});
}

void TExtract::startFile() {
  headerPending_ = true;
  TRegExpFilter::startFile();
}

void TExtract::resetStatistics() {
  extractCount_ = 0;
  TRegExpFilter::resetStatistics();
}

void TExtract::endFile() {
  TRegExpFilter::endFile();
  if (!countOnly_)
    return;
  std::string text;
  if (fileNameHeader_)
    text = getFullInputFilename() + ":\r\n";
  text += std::to_string(extractCount_) + "\r\n";
  sendToNext(text);
}

bool TExtract::searchBuffer() { return searchHeld(false); }

bool TExtract::handleMatch(std::string &output) {
  ++extractCount_;
  if (!countOnly_) {
    if (fileNameHeader_ && headerPending_) {
      output += getFullInputFilename();
      output += ":\r\n";
      headerPending_ = false;
    }
    output.append(buffer_, matchPos_, matchLength_);
    output += "\r\n";
  }
  scan_ = matchPos_ + matchLength_;
  anchorValid_ = true;
  return true;
}

} // namespace marrowen

#include "engine/searchreplace.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/graphemes.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/job.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/userinterface.h"

#include <algorithm>

namespace marrowen {

namespace {

constexpr std::size_t contextLength = 200;

// The length of the escape sequence at `text[i]` (a backslash), or 1 when the
// backslash starts none and the byte after it is plain text.
std::size_t escapeLength(std::string_view text, std::size_t i) {
  if (i + 1 >= text.size())
    return 1;
  switch (text[i + 1]) {
  case 'a':
  case 'b':
  case 't':
  case 'n':
  case 'v':
  case 'f':
  case 'r':
  case 'e':
  case '\\':
    return 2;
  case 'c':
    return 3;
  case 'x':
  case '0':
  case '1':
  case '2':
    return 4;
  default:
    return 1;
  }
}

// Whether `c` after a backslash would make an escape sequence of it.
bool startsEscape(char c) {
  return escapedByteOf(c) >= 0 || c == 'x' || c == 'c' || (c >= '0' && c <= '9');
}

// `run`, which follows the start of a replacement, in the case that
// `matchCase` gives the rest of a replacement after its first character. A
// control byte stands in for that first character: no case changes it.
std::string restInCaseOf(std::string_view found, std::string_view run) {
  std::string head(1, '\x01');
  head += run;
  std::string result;
  matchCase(found, head, result);
  return result.substr(1);
}

} // namespace

std::string matchCaseKeepingEscapes(std::string_view found, std::string_view replacement) {
  if (replacement.find('\\') == std::string_view::npos)
    return matchCase(found, replacement);
  // The text between the escapes is cased run by run: a letter whose other
  // case is longer or shorter ("ﬁ" becomes "FI") would move every escape
  // after it, so the escapes cannot be put back by place.
  std::string result;
  std::size_t runStart = 0;
  auto addRun = [&](std::size_t end) {
    if (end == runStart)
      return;
    std::string_view run = replacement.substr(runStart, end - runStart);
    result += runStart == 0 ? matchCase(found, run) : restInCaseOf(found, run);
  };
  for (std::size_t i = 0; i < replacement.size();) {
    if (replacement[i] != '\\') {
      ++i;
      continue;
    }
    addRun(i);
    std::size_t length = std::min(escapeLength(replacement, i), replacement.size() - i);
    result.append(replacement, i, length);
    i += length;
    if (length == 1 && i < replacement.size()) {
      // A backslash that starts no escape stays as written, and the
      // character after it must not become one by its case: "\T" lowered to
      // "\t" would insert a tab where the user wrote a backslash and a T.
      const std::size_t n = utf8::characterLength(replacement.substr(i));
      std::string cased = restInCaseOf(found, replacement.substr(i, n));
      if (!cased.empty() && startsEscape(cased[0]))
        result.append(replacement, i, n);
      else
        result += cased;
      i += n;
    }
    runStart = i;
  }
  addRun(replacement.size());
  return result;
}

TGenericSearchReplace::TGenericSearchReplace(bool preserveCase, bool prompt,
                                             bool noPromptWhenUnchanged, bool firstMatchOnly)
    : preserveCase_(preserveCase), prompt_(prompt), noPromptWhenUnchanged_(noPromptWhenUnchanged),
      firstMatchOnly_(firstMatchOnly) {}

bool TGenericSearchReplace::hasChanged() { return replacements_ > 0; }

std::string TGenericSearchReplace::getStatistics() {
  if (matches_ == replacements_)
    return translateFormat(5140, "%d replace(s) performed", {replacements_});
  return translateFormat(5150, "%d replace(s) performed, %d skipped",
                         {replacements_, matches_ - replacements_});
}

void TGenericSearchReplace::resetStatistics() {
  matches_ = 0;
  replacements_ = 0;
  textForm_ = TextForm::Unknown;
  mixingLogged_ = false;
  // A new input: the file answers end here, in a subfilter chain too, where
  // `startFile` runs for every selected piece instead.
  if (answer_ == Answer::ReplaceFile)
    answer_ = Answer::Replace;
  else if (answer_ == Answer::SkipFile)
    answer_ = Answer::Skip;
  TGenericStateMachine::resetStatistics();
}

void TGenericSearchReplace::startFile() {
  pendingText_.clear();
  firstMatchDone_ = false;
  switch (answer_) {
  case Answer::ReplaceFile:
    if (!inSubchain())
      answer_ = Answer::Replace;
    break;
  case Answer::SkipFile:
    if (!inSubchain())
      answer_ = Answer::Skip;
    break;
  case Answer::ReplaceSelection:
    answer_ = Answer::Replace;
    break;
  case Answer::SkipSelection:
    answer_ = Answer::Skip;
    break;
  default:
    break;
  }
  TGenericStateMachine::startFile();
}

void TGenericSearchReplace::startJob() {
  answer_ = Answer::None;
  TGenericStateMachine::startJob();
}

namespace {

bool holdsHighByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

} // namespace

void TGenericSearchReplace::setReplacement(const std::string &replacement) {
  replacement_ = replacement;
  dialogReplacement_ = replacement;
  formsTyped_ = formsTyped_ || holdsHighByte(replacement);
}

void TGenericSearchReplace::noteTextForm(std::string_view original) {
  std::size_t at = original.size();
  while (at > 0 && static_cast<unsigned char>(original[at - 1]) < 0x80)
    --at;
  if (at == 0)
    return;
  const std::size_t start = utf8::lastCharacterStart(original.substr(0, at));
  textForm_ = at - start > 1 ? TextForm::Utf8 : TextForm::CodePage;
}

std::string TGenericSearchReplace::inTextForm(std::string_view text) {
  if (textForm_ == TextForm::Unknown)
    return std::string(text);
  const CodePage &codePage = *charTables();
  std::string result;
  result.reserve(text.size());
  bool lacking = false;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '\\') {
      const std::size_t length = std::min(escapeLength(text, i), text.size() - i);
      result.append(text, i, length);
      i += length;
      continue;
    }
    const auto c = static_cast<unsigned char>(text[i]);
    const utf8::Character typed = utf8::characterAt(text.substr(i));
    unsigned char byte = 0;
    if (c < 0x80) {
      result += static_cast<char>(c);
    } else if (textForm_ == TextForm::Utf8) {
      if (typed.sequence)
        result.append(text, i, typed.length);
      else
        utf8::append(result, codePage.toUnicode(c));
    } else if (!typed.sequence) {
      result += static_cast<char>(c);
    } else if (typed.codePoint < 0x10000 &&
               codePage.fromUnicode(static_cast<char16_t>(typed.codePoint), byte) && byte >= 0x80) {
      result += static_cast<char>(byte);
    } else {
      lacking = true;
      break;
    }
    i += typed.length;
  }
  if (!lacking)
    return result;
  if (!mixingLogged_) {
    mixingLogged_ = true;
    logWarning(translateFormat(
        5180, "%s now mixes %s and UTF-8 text: the replacement [%s] holds letters %s lacks",
        {loggedName(getFullInputFilename()), codePage.name(), escapeControlChars(text),
         codePage.name()}));
  }
  return std::string(text);
}

void TGenericSearchReplace::getReplacement(std::string_view replacement, std::string_view found,
                                           std::string &result) {
  decodeEscapes(replacement); // raises on a malformed escape
  setReplacement(std::string(replacement));
  result = preserveCase_ ? matchCaseKeepingEscapes(found, replacement) : std::string(replacement);
}

bool TGenericSearchReplace::answerKeepsMatches() const {
  switch (answer_) {
  case Answer::Cancel:
  case Answer::SkipFile:
  case Answer::SkipJob:
  case Answer::Stop:
  case Answer::SkipSelection:
    return true;
  default:
    return false;
  }
}

bool TGenericSearchReplace::replaceMatch(std::string &output, std::string_view replacement,
                                         std::string_view searchInformation,
                                         std::string_view followingText) {
  ++matches_;
  bool replace = false;
  std::string text;
  if (!firstMatchDone_ && !answerKeepsMatches()) {
    text = preserveCase_ ? matchCaseKeepingEscapes(pendingText_, replacement)
                         : std::string(replacement);
    if (!prompt_ || (noPromptWhenUnchanged_ && pendingText_ == decodeEscapes(text)))
      replace = true;
    else
      replace = askUser(output, text, searchInformation, followingText);
  }
  if (replace)
    performReplace(output, text);
  else if (!pendingText_.empty())
    output.append(pendingText_, 0, keptLength());
  pendingText_.clear();
  state_ = 0;
  return replace;
}

std::size_t TGenericSearchReplace::keptLength() const {
  return pendingText_.empty() ? 0 : utf8::characterLength(pendingText_);
}

bool TGenericSearchReplace::askUser(const std::string &output, std::string &text,
                                    std::string_view searchInformation,
                                    std::string_view followingText) {
  switch (answer_) {
  case Answer::ReplaceFile:
  case Answer::ReplaceJob:
  case Answer::ReplaceSelection:
    return true;
  case Answer::None:
  case Answer::Replace:
  case Answer::Skip:
    break;
  default:
    return false;
  }
  QueryReplaceRequest request;
  // The context is shown as text, so neither end may cut a letter: not a
  // UTF-8 character in two, nor an accent from its letter. The walk for the
  // start reads only a little more than it shows.
  const CodePage &codePage = *charTables();
  const std::string_view near =
      std::string_view(output).substr(output.size() - std::min(output.size(), 2 * contextLength));
  request.textBefore = std::string(near.substr(
      graphemes::boundaryFrom(near, codePage, near.size() - std::min(near.size(), contextLength))));
  request.found = pendingText_;
  request.textAfter = graphemes::cutToBytes(followingText, codePage, contextLength);
  request.replacement = text;
  request.templateText = dialogReplacement_;
  request.searchInformation = searchInformation;
  request.fileName = getFullInputFilename();
  request.filter = this;
  request.lastAnswer = answer_;
  request.inSelection = inSubchain();
  if (!job() && ReportsForCaller::active())
    throw Exception("Prompt on replace needs a person to answer it, which a call from another "
                    "program cannot give");
  answer_ = job() ? job()->queryReplace(request) : askQueryReplace(request);
  text = std::move(request.replacement);
  dialogReplacement_ = std::move(request.templateText);
  switch (answer_) {
  case Answer::Replace:
  case Answer::ReplaceFile:
  case Answer::ReplaceJob:
  case Answer::ReplaceSelection:
    return true;
  default:
    return false;
  }
}

void TGenericSearchReplace::performReplace(std::string &output, std::string_view text) {
  ++replacements_;
  if (firstMatchOnly_)
    firstMatchDone_ = true;
  std::string bytes = decodeEscapes(formsTyped_ ? inTextForm(text) : std::string(text));
  subFilterEntireText(bytes);
  output += bytes;
}

} // namespace marrowen

#include "filterlist/searchnodes.h"

#include "classlib/exceptions.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filterlist/nodefields.h"
#include "filterlist/settings.h"
#include "filters/exactsearch.h"
#include "filters/fuzzysearch.h"
#include "filters/grep.h"
#include "filters/patternfilters.h"

namespace marrowen {

using namespace std::string_view_literals;

// ---------------------------------------------------------------------------
// Search node

namespace {

// The stored number of a dialect; a node keeps any number it was given.
constexpr std::int32_t dialect(TPatternType type) { return static_cast<std::int32_t>(type); }

} // namespace

namespace {

using SearchField = NodeField<TSearchObject>;
// Ignore case is stored as its opposite, and kept under a name that says
// the opposite too: the setting has always held ignore case.
const SearchField searchFields[] = {
    {"searchString", &TSearchObject::searchString, ""sv, "search.searchString"},
    {"replaceString", &TSearchObject::replaceString, ""sv, "search.replaceString"},
    {"ignoreCase", &TSearchObject::ignoreCase, true, "search.caseMatch", 1, true},
    {"wholeWord", &TSearchObject::wholeWord, false, "search.wholeWord"},
    {"caseSensitiveReplace", &TSearchObject::caseSensitiveReplace, false,
     "search.caseSensitiveReplace", 15},
    {"patternType", &TSearchObject::patternType, 0, "search.patternType", 17},
    {"promptOnReplace", &TSearchObject::promptOnReplace, false, "search.promptOnReplace", 20},
    {"skipPromptIdentical", &TSearchObject::skipPromptIdentical, false,
     "search.skipPromptIdentical", 32},
    {"bufferSize", &TSearchObject::bufferSize, 4096, "search.bufferSize", 35},
    {"threshold", &TSearchObject::threshold, 2, "search.threshold", 36},
    {"firstOnly", &TSearchObject::firstOnly, false, "search.firstOnly", 37},
    {"greedy", &TSearchObject::greedy, true, "search.greedy", 38},
    {"allowComments", &TSearchObject::allowComments, false, "search.allowComments", 38},
    {"dotMatchesNewLines", &TSearchObject::dotMatchesNewLines, true, "search.dotMatchesNewLines",
     38},
};

using GrepField = NodeField<TGrepObject>;
// The kind is stored as such from type 27 on; older types are read beside
// the table.
const GrepField grepFields[] = {
    {"includeLineNumbers", &TGrepObject::includeLineNumbers, true, "GrepIncludeLine"},
    {"kind", &TGrepObject::kind, 0, "", 27},
    {"includeFileName", &TGrepObject::includeFileName, true, "GrepIncludeFileName"},
    {"ignoreCase", &TGrepObject::ignoreCase, true, "GrepIgnoreCase"},
    {"countMatches", &TGrepObject::countMatches, false, "GrepCountMatches", 16},
    {"pattern", &TGrepObject::pattern, ""sv, "GrepPattern"},
    {"contextBefore", &TGrepObject::contextBefore, 0, "rGrepContextBefore", 45},
    {"contextAfter", &TGrepObject::contextAfter, 0, "rGrepContextAfter", 45},
};

} // namespace

std::span<const SearchField> TSearchObject::fields() { return searchFields; }

std::span<const GrepField> TGrepObject::fields() { return grepFields; }

std::unique_ptr<TSearchObject> TSearchObject::CreateDefault() {
  auto node = std::make_unique<TSearchObject>();
  readFieldSettings<TSearchObject>(*node, fields());
  return node;
}

std::unique_ptr<TSearchObject> TSearchObject::CreateWithPrompt(std::int32_t type) {
  auto node = CreateDefault();
  node->patternType = type;
  node->searchString =
      translate(9550, "Enter the search text here (the search text can be multi-line)");
  node->replaceString =
      translate(9560, "Enter the replacement text here (the replace text can be multi-line)");
  return node;
}

void TSearchObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

bool TSearchObject::automationCheck(const ConfirmPrompt &ask) {
  if (!promptOnReplace)
    return true;
  const Answer answer =
      ask(shortTitle(*this) + translate(9570, "\r\n\r\nConfirm Replace is enabled. Disable it?"));
  if (answer == Answer::Cancel)
    return false;
  if (answer == Answer::Yes)
    promptOnReplace = false;
  return true;
}

std::string TSearchObject::getTitle() const {
  std::string title;
  switch (patternType) {
  case dialect(TPatternType::ExactText):
    title = translate(9310, "Replace");
    break;
  case dialect(TPatternType::Pattern):
    title = translate(9320, "Pattern");
    break;
  case dialect(TPatternType::SoundsLike):
    title = translate(9330, "Sounds like");
    break;
  case dialect(TPatternType::SimilarTo):
    title = translateFormat(9340, "Edit distance (thresh=%d)", {threshold});
    break;
  case dialect(TPatternType::PerlPattern):
    title = translate(9350, "Perl pattern");
    break;
  case dialect(TPatternType::BriefPattern):
    title = translate(9360, "Brief-style pattern");
    break;
  case dialect(TPatternType::WordPattern):
    title = translate(9370, "MS Word pattern");
    break;
  default:
    break;
  }
  // The texts may be multi-line; the caption stays on one.
  title += translateFormat(9380, " [%s] with [%s]",
                           {escapeControlChars(searchString), escapeControlChars(replaceString)});
  if (ignoreCase)
    title += translate(9390, " ,ignore case ");
  if (caseSensitiveReplace)
    title += translate(9400, " sensReplace ");
  if (promptOnReplace)
    title += translate(9410, " prompt ");
  if (skipPromptIdentical)
    title += translate(9420, " skipIdentical ");
  if (wholeWord)
    title += translate(9430, " whole word ");
  if (firstOnly)
    title += translate(9440, " first only");
  return title;
}

std::string TSearchObject::printText(std::string_view indent) const {
  std::string text;
  switch (patternType) {
  case dialect(TPatternType::ExactText):
    text = translateFormat(9450, "Replace [%s] with [%s]", {searchString, replaceString});
    break;
  case dialect(TPatternType::Pattern):
    text = translateFormat(9460, "Pattern [%s] with [%s]", {searchString, replaceString});
    break;
  case dialect(TPatternType::SoundsLike):
    text = translateFormat(9470, "Sounds like [%s] with [%s]", {searchString, replaceString});
    break;
  case dialect(TPatternType::SimilarTo):
    text = translateFormat(9480, "Edit distance [%s] with [%s] (thresh=%d)",
                           {searchString, replaceString, threshold});
    break;
  case dialect(TPatternType::PerlPattern):
    text = translateFormat(9490, "Perl pattern [%s] with [%s]", {searchString, replaceString});
    break;
  case dialect(TPatternType::BriefPattern):
    text =
        translateFormat(9500, "Brief-style pattern [%s] with [%s]", {searchString, replaceString});
    break;
  case dialect(TPatternType::WordPattern):
    text = translateFormat(9510, "MS Word pattern [%s] with [%s]", {searchString, replaceString});
    break;
  default:
    break;
  }
  text +=
      translateFormat(9520,
                      "\r\n%s%sMatch case\r\n%s%sWhole words only\r\n%s%sCase sensitive "
                      "replace\r\n%s%sPrompt on replace\r\n%s%sSkip prompt if "
                      "identical\r\n%s%sFirst only\r\n",
                      {indent, outputOption(!ignoreCase), indent, outputOption(wholeWord), indent,
                       outputOption(caseSensitiveReplace), indent, outputOption(promptOnReplace),
                       indent, outputOption(skipPromptIdentical), indent, outputOption(firstOnly)});
  return text;
}

bool TSearchObject::fitsCommandLine() const {
  const bool pattern = patternType == dialect(TPatternType::Pattern);
  if (!pattern && patternType != dialect(TPatternType::ExactText))
    return false;
  // What the letters cannot carry must be as a plain new node has it, or
  // have no effect on the search (greedy, comments and dot-matches-newlines
  // never do).
  const TSearchObject plain;
  return firstOnly == plain.firstOnly &&
         (!promptOnReplace || skipPromptIdentical == plain.skipPromptIdentical) &&
         (!pattern || bufferSize == plain.bufferSize);
}

std::string TSearchObject::generateCmdLine() const {
  if (!fitsCommandLine())
    return TListObject::generateCmdLine();
  const bool pattern = patternType == dialect(TPatternType::Pattern);
  std::string text = pattern ? "/SX" : "/S";
  if (!ignoreCase)
    text += 'C';
  if (wholeWord)
    text += 'W';
  text += '=';
  text += escapeControlCharsInEscapedText(searchString,
                                          pattern ? EscapeReader::Pattern : EscapeReader::Text);
  text += "\r\n/R";
  if (caseSensitiveReplace)
    text += 'C';
  if (promptOnReplace)
    text += 'P';
  text += '=';
  text += escapeControlCharsInEscapedText(replaceString);
  return text;
}

std::unique_ptr<TFilter> TSearchObject::add_this_filter(TFilterList &) {
  // Every dialect's search text is decoded first, so a malformed escape is
  // reported with the escape messages whichever dialect it is typed for; the
  // pattern filters still get the text as typed (they read escapes
  // themselves). The replacement is handed on as typed: the filters decode
  // it, the pattern filters after resolving their group references.
  std::string decoded;
  std::vector<bool> escaped;
  decodeEscapes(searchString, decoded, escaped);
  if (decoded.empty())
    throw Exception(translateFormat(9540, "Find String for '%s' is blank", {shortTitle(*this)}));
  switch (patternType) {
  case dialect(TPatternType::ExactText):
    return std::make_unique<TSearchFilter>(decoded, replaceString, ignoreCase, wholeWord,
                                           caseSensitiveReplace, promptOnReplace,
                                           skipPromptIdentical, firstOnly, escaped);
  case dialect(TPatternType::Pattern):
  case dialect(TPatternType::PerlPattern):
  case dialect(TPatternType::BriefPattern):
  case dialect(TPatternType::WordPattern):
    return std::make_unique<TRegExpFilter>(
        searchString, replaceString, !ignoreCase, wholeWord, caseSensitiveReplace, promptOnReplace,
        skipPromptIdentical, firstOnly, greedy, allowComments, dotMatchesNewLines, bufferSize,
        static_cast<TPatternType>(patternType));
  case dialect(TPatternType::SoundsLike):
    return std::make_unique<TSoundexSearchReplace>(decoded, replaceString, caseSensitiveReplace,
                                                   promptOnReplace, skipPromptIdentical, firstOnly);
  case dialect(TPatternType::SimilarTo):
    return std::make_unique<TEditDistance>(decoded, replaceString, !ignoreCase,
                                           caseSensitiveReplace, promptOnReplace,
                                           skipPromptIdentical, firstOnly, threshold);
  default:
    throw Exception(translate(9530, "Invalid search type"));
  }
}

void TSearchObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TSearchObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// Line selection node

std::unique_ptr<TGrepObject> TGrepObject::CreateDefault(std::int32_t kind) {
  auto node = std::make_unique<TGrepObject>();
  readFieldSettings<TGrepObject>(*node, fields());
  node->kind = kind;
  return node;
}

std::unique_ptr<TGrepObject> TGrepObject::CreateWithPrompt(std::int32_t kind) {
  auto node = CreateDefault(kind);
  node->includeLineNumbers = false;
  node->includeFileName = false;
  node->countMatches = false;
  node->contextBefore = 0;
  node->contextAfter = 0;
  node->pattern = translate(5780, "Enter the pattern for (non) matching lines here");
  return node;
}

void TGrepObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TGrepObject::getTitle() const {
  std::string title;
  switch (kind) {
  case SelectMatching:
    title = translate(5640, "Select lines matching");
    break;
  case SelectNotMatching:
    title = translate(5650, "Select lines NOT matching");
    break;
  case Extract:
    title = translate(5660, "Extract");
    break;
  default:
    break;
  }
  title += " [";
  title += pattern;
  title += "]";
  if (includeLineNumbers)
    title += translate(5670, ", line");
  if (includeFileName)
    title += translate(5680, ", name");
  if (!ignoreCase)
    title += translate(5690, ", match case");
  if (countMatches)
    title += translate(5700, ", count");
  return title;
}

std::string TGrepObject::printText(std::string_view indent) const {
  std::string text;
  switch (kind) {
  case SelectMatching:
    text = translate(5710, "Select lines matching");
    break;
  case SelectNotMatching:
    text = translate(5720, "Select lines NOT matching");
    break;
  case Extract:
    text = translate(5730, "Extract");
    break;
  default:
    break;
  }
  text += translateFormat(5740,
                          " [%s]\r\n%s%sInclude line numbers\r\n%s%sInclude filename\r\n%s%sMatch "
                          "case\r\n%s%sCount matches\r\n",
                          {pattern, indent, outputOption(includeLineNumbers), indent,
                           outputOption(includeFileName), indent, outputOption(!ignoreCase), indent,
                           outputOption(countMatches)});
  if (kind != Extract)
    text += translateFormat(5750, "%sContext before: %d\r\n%sContext after: %d\r\n",
                            {indent, contextBefore, indent, contextAfter});
  return text;
}

std::unique_ptr<TFilter> TGrepObject::add_this_filter(TFilterList &) {
  if (pattern.empty())
    throw Exception(translate(5760, "Pattern is blank"));
  try {
    switch (kind) {
    case SelectMatching:
    case SelectNotMatching:
      if (contextBefore == 0 && contextAfter == 0)
        return std::make_unique<TGrep>(pattern, includeLineNumbers, kind == SelectNotMatching,
                                       includeFileName, ignoreCase, countMatches);
      return std::make_unique<TContextGrep>(pattern, includeLineNumbers, kind == SelectNotMatching,
                                            includeFileName, ignoreCase, countMatches,
                                            contextBefore, contextAfter);
    case Extract:
      return std::make_unique<TExtract>(pattern, includeFileName, ignoreCase, countMatches);
    default:
      return nullptr;
    }
  } catch (const Exception &e) {
    throw Exception(
        translateFormat(5770, "String for '%s' is invalid - %s", {shortTitle(*this), e.message()}));
  }
}

void TGrepObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TGrepObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields().first(1));
  // Before type 27 a flag said whether to select the lines NOT matching.
  kind = reader.fileTypeRead() >= 27 ? reader.readInteger() : reader.readBoolean() ? 1 : 0;
  readFields(*this, reader, fields().subspan(2));
}

} // namespace marrowen

#include "filterlist/searchnodes.h"

#include "classlib/exceptions.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filterlist/settings.h"
#include "filters/exactsearch.h"
#include "filters/fuzzysearch.h"
#include "filters/grep.h"
#include "filters/patternfilters.h"

namespace marrowen {

// ---------------------------------------------------------------------------
// Search node

namespace {

// The stored number of a dialect; a node keeps any number it was given.
constexpr std::int32_t dialect(TPatternType type) { return static_cast<std::int32_t>(type); }

} // namespace

std::unique_ptr<TSearchObject> TSearchObject::CreateDefault() {
  auto node = std::make_unique<TSearchObject>();
  node->searchString = readStringSetting("search.searchString", "");
  node->replaceString = readStringSetting("search.replaceString", "");
  // The name says the opposite: the value has always held ignore case.
  node->ignoreCase = readBoolSetting("search.caseMatch", true);
  node->wholeWord = readBoolSetting("search.wholeWord", false);
  node->caseSensitiveReplace = readBoolSetting("search.caseSensitiveReplace", false);
  node->patternType = readIntegerSetting("search.patternType", 0);
  node->promptOnReplace = readBoolSetting("search.promptOnReplace", false);
  node->skipPromptIdentical = readBoolSetting("search.skipPromptIdentical", false);
  node->bufferSize = readIntegerSetting("search.bufferSize", 4096);
  node->threshold = readIntegerSetting("search.threshold", 2);
  node->firstOnly = readBoolSetting("search.firstOnly", false);
  node->greedy = readBoolSetting("search.greedy", true);
  node->allowComments = readBoolSetting("search.allowComments", false);
  node->dotMatchesNewLines = readBoolSetting("search.dotMatchesNewLines", true);
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

void TSearchObject::rememberDefaults() const {
  writeStringSetting("search.searchString", searchString);
  writeStringSetting("search.replaceString", replaceString);
  writeBoolSetting("search.caseMatch", ignoreCase);
  writeBoolSetting("search.wholeWord", wholeWord);
  writeBoolSetting("search.caseSensitiveReplace", caseSensitiveReplace);
  writeIntegerSetting("search.patternType", patternType);
  writeBoolSetting("search.promptOnReplace", promptOnReplace);
  writeBoolSetting("search.skipPromptIdentical", skipPromptIdentical);
  writeIntegerSetting("search.bufferSize", bufferSize);
  writeIntegerSetting("search.threshold", threshold);
  writeBoolSetting("search.firstOnly", firstOnly);
  writeBoolSetting("search.greedy", greedy);
  writeBoolSetting("search.allowComments", allowComments);
  writeBoolSetting("search.dotMatchesNewLines", dotMatchesNewLines);
}

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

std::string TSearchObject::generateCmdLine() const {
  std::string text;
  if (patternType == dialect(TPatternType::ExactText))
    text = "/S";
  else if (patternType == dialect(TPatternType::Pattern))
    text = "/SX";
  else
    return TListObject::generateCmdLine();
  if (!ignoreCase)
    text += 'C';
  if (wholeWord)
    text += 'W';
  text += '=';
  text += escapeControlChars(searchString);
  text += "\r\n/R";
  if (caseSensitiveReplace)
    text += 'C';
  if (promptOnReplace)
    text += 'P';
  text += '=';
  text += escapeControlChars(replaceString);
  return text;
}

std::unique_ptr<TFilter> TSearchObject::add_this_filter(TFilterList &) {
  // Every dialect's search text is decoded first, so a malformed escape is
  // reported with the escape messages whichever dialect it is typed for; the
  // pattern filters still get the text as typed (they read escapes
  // themselves). The replacement is handed on as typed: the filters decode
  // it, the pattern filters after resolving their group references.
  const std::string decoded = decodeEscapes(searchString);
  if (decoded.empty())
    throw Exception(translateFormat(9540, "Find String for '%s' is blank", {shortTitle(*this)}));
  switch (patternType) {
  case dialect(TPatternType::ExactText):
    return std::make_unique<TSearchFilter>(decoded, replaceString, ignoreCase, wholeWord,
                                           caseSensitiveReplace, promptOnReplace,
                                           skipPromptIdentical, firstOnly);
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
  writer.writeString(searchString);
  writer.writeString(replaceString);
  writer.writeBoolean(!ignoreCase);
  writer.writeBoolean(wholeWord);
  writer.writeBoolean(caseSensitiveReplace);
  writer.writeInteger(patternType);
  writer.writeBoolean(promptOnReplace);
  writer.writeBoolean(skipPromptIdentical);
  writer.writeInteger(bufferSize);
  writer.writeInteger(threshold);
  writer.writeBoolean(firstOnly);
  writer.writeBoolean(greedy);
  writer.writeBoolean(allowComments);
  writer.writeBoolean(dotMatchesNewLines);
}

void TSearchObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  const int type = reader.fileTypeRead();
  searchString = reader.readString();
  replaceString = reader.readString();
  ignoreCase = !reader.readBoolean();
  wholeWord = reader.readBoolean();
  caseSensitiveReplace = type >= 15 ? reader.readBoolean() : false;
  patternType = type >= 17 ? reader.readInteger() : 0;
  promptOnReplace = type >= 20 ? reader.readBoolean() : false;
  skipPromptIdentical = type >= 32 ? reader.readBoolean() : false;
  bufferSize = type >= 35 ? reader.readInteger() : 4096;
  threshold = type >= 36 ? reader.readInteger() : 2;
  firstOnly = type >= 37 ? reader.readBoolean() : false;
  if (type >= 38) {
    greedy = reader.readBoolean();
    allowComments = reader.readBoolean();
    dotMatchesNewLines = reader.readBoolean();
  } else {
    greedy = true;
    allowComments = false;
    dotMatchesNewLines = true;
  }
}

// ---------------------------------------------------------------------------
// Line selection node

std::unique_ptr<TGrepObject> TGrepObject::CreateDefault(std::int32_t kind) {
  auto node = std::make_unique<TGrepObject>();
  node->kind = kind;
  node->includeLineNumbers = readBoolSetting("GrepIncludeLine", true);
  node->includeFileName = readBoolSetting("GrepIncludeFileName", true);
  node->ignoreCase = readBoolSetting("GrepIgnoreCase", true);
  node->countMatches = readBoolSetting("GrepCountMatches", false);
  node->pattern = readStringSetting("GrepPattern", "");
  node->contextBefore = readIntegerSetting("rGrepContextBefore", 0);
  node->contextAfter = readIntegerSetting("rGrepContextAfter", 0);
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

void TGrepObject::rememberDefaults() const {
  writeBoolSetting("GrepIncludeLine", includeLineNumbers);
  writeBoolSetting("GrepIncludeFileName", includeFileName);
  writeBoolSetting("GrepIgnoreCase", ignoreCase);
  writeBoolSetting("GrepCountMatches", countMatches);
  writeStringSetting("GrepPattern", pattern);
  writeIntegerSetting("rGrepContextBefore", contextBefore);
  writeIntegerSetting("rGrepContextAfter", contextAfter);
}

std::string TGrepObject::getTitle() const {
  std::string title;
  switch (kind) {
  case 0:
    title = translate(5640, "Select lines matching");
    break;
  case 1:
    title = translate(5650, "Select lines NOT matching");
    break;
  case 2:
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
  case 0:
    text = translate(5710, "Select lines matching");
    break;
  case 1:
    text = translate(5720, "Select lines NOT matching");
    break;
  case 2:
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
  if (kind != 2)
    text += translateFormat(5750, "%sContext before: %d\r\n%sContext after: %d\r\n",
                            {indent, contextBefore, indent, contextAfter});
  return text;
}

std::unique_ptr<TFilter> TGrepObject::add_this_filter(TFilterList &) {
  if (pattern.empty())
    throw Exception(translate(5760, "Pattern is blank"));
  try {
    switch (kind) {
    case 0:
    case 1:
      if (contextBefore == 0 && contextAfter == 0)
        return std::make_unique<TGrep>(pattern, includeLineNumbers, kind == 1, includeFileName,
                                       ignoreCase, countMatches);
      return std::make_unique<TContextGrep>(pattern, includeLineNumbers, kind == 1, includeFileName,
                                            ignoreCase, countMatches, contextBefore, contextAfter);
    case 2:
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
  writer.writeBoolean(includeLineNumbers);
  writer.writeInteger(kind);
  writer.writeBoolean(includeFileName);
  writer.writeBoolean(ignoreCase);
  writer.writeBoolean(countMatches);
  writer.writeString(pattern);
  writer.writeInteger(contextBefore);
  writer.writeInteger(contextAfter);
}

void TGrepObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  const int type = reader.fileTypeRead();
  includeLineNumbers = reader.readBoolean();
  if (type >= 27)
    kind = reader.readInteger();
  else
    kind = reader.readBoolean() ? 1 : 0;
  includeFileName = reader.readBoolean();
  ignoreCase = reader.readBoolean();
  countMatches = type >= 16 ? reader.readBoolean() : false;
  pattern = reader.readString();
  if (type >= 45) {
    contextBefore = reader.readInteger();
    contextAfter = reader.readInteger();
  } else {
    contextBefore = 0;
    contextAfter = 0;
  }
}

} // namespace marrowen

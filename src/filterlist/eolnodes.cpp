#include "filterlist/eolnodes.h"

#include "classlib/convert.h"
#include "classlib/format.h"
#include "classlib/graphemes.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filterlist/filterfile.h"
#include "filterlist/nodefields.h"
#include "filterlist/settings.h"
#include "filters/charfilters.h"
#include "filters/lineends.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace marrowen {

using namespace std::string_view_literals;

// ---------------------------------------------------------------------------
// End-of-line node

namespace {

using EolField = NodeField<TEOLObject>;
// Files before type 31 stored no output text: they load with a tab.
const EolField eolFields[] = {
    {"convertFrom", &TEOLObject::convertFrom, 0, "convertFrom"},
    {"fixedLength", &TEOLObject::fixedLength, 80, "fixedLength"},
    {"removeBad", &TEOLObject::removeBad, true, "removeBad"},
    {"convertTo", &TEOLObject::convertTo, 2, "convertTo"},
    {"outputText", &TEOLObject::outputText, ""sv, "EOLoutputText", 31},
};

} // namespace

std::span<const EolField> TEOLObject::fields() { return eolFields; }

std::unique_ptr<TEOLObject> TEOLObject::CreateDefault() {
  auto node = std::make_unique<TEOLObject>();
  readFieldSettings<TEOLObject>(*node, fields());
  return node;
}

void TEOLObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TEOLObject::getTitle() const {
  std::string title = translate(9580, "Convert End of Lines - ");
  switch (convertFrom) {
  case 0:
    title += translate(9590, "Unix");
    break;
  case 1:
    title += translate(9600, "Mac");
    break;
  case 2:
    title += translate(9610, "DOS");
    break;
  case 3:
    title += translate(9620, "Auto");
    break;
  case 4:
    title += translateFormat(9630, "Fixed (%d)", {fixedLength});
    break;
  default:
    break;
  }
  title += translate(9640, " to ");
  switch (convertTo) {
  case 0:
    title += translate(9650, "Unix");
    break;
  case 1:
    title += translate(9660, "Mac");
    break;
  case 2:
    title += translate(9670, "DOS");
    break;
  case 3:
    title += translate(9680, "None");
    break;
  case 4:
    title += translateFormat(9690, "String [%s]", {outputText});
    break;
  default:
    break;
  }
  return title;
}

std::string TEOLObject::printText(std::string_view indent) const {
  return shortTitle(*this) + "\r\n" + std::string(indent) + outputOption(removeBad) +
         translate(9700, "Remove bad EOL\r\n");
}

std::string TEOLObject::generateCmdLine() const {
  // The letter of each line end read and written; reading fixed-length lines
  // gives 'F' and the length instead.
  // A text of the user's as the line end has no letter: without one the
  // command line would take the remembered line end.
  static constexpr std::string_view fromLetters = "UMDA";
  static constexpr std::string_view toLetters = "UMDN";
  const bool fixed = convertFrom == 4 && fixedLength >= 0;
  if ((!fixed && (convertFrom < 0 || convertFrom >= static_cast<int>(fromLetters.size()))) ||
      convertTo < 0 || convertTo >= static_cast<int>(toLetters.size()))
    return TListObject::generateCmdLine();
  std::string text = "/E";
  if (removeBad)
    text += 'R';
  if (fixed)
    text += 'F' + std::to_string(fixedLength);
  else
    text += fromLetters[static_cast<std::size_t>(convertFrom)];
  text += toLetters[static_cast<std::size_t>(convertTo)];
  return text;
}

std::unique_ptr<TFilter> TEOLObject::add_this_filter(TFilterList &) {
  std::string lineEnd;
  switch (convertTo) {
  case 0:
    lineEnd = "\n";
    break;
  case 1:
    lineEnd = "\r";
    break;
  case 2:
    lineEnd = "\r\n";
    break;
  case 3:
    break;
  case 4: {
    const std::string typed = decodeEscapes(outputText);
    lineEnd = graphemes::cutToBytes(typed, *charTables(), 2);
    // A letter of three or four bytes leaves nothing of the text: running
    // every line of the user's files together would damage them silently.
    if (lineEnd.empty() && !typed.empty())
      throw Exception(
          Format("%s: the line end [%s] is longer than 2 bytes", {shortTitle(*this), outputText}));
    break;
  }
  default:
    // No dialog writes another value; removing every line end instead would
    // quietly damage the user's files.
    throw ERangeError(Format("%s: %s", {shortTitle(*this), ERangeError().message()}));
  }
  switch (convertFrom) {
  case 0:
    return std::make_unique<TFromUnixConversion>(lineEnd, removeBad);
  case 1:
    return std::make_unique<TFromMacConversion>(lineEnd, removeBad);
  case 2:
    return std::make_unique<TFromDOSConversion>(lineEnd, removeBad);
  case 3:
    return std::make_unique<TAutoConversion>(lineEnd);
  case 4:
    return std::make_unique<TFromFixedLineLengthConversion>(lineEnd, fixedLength);
  default:
    return nullptr;
  }
}

void TEOLObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TEOLObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
  if (reader.fileTypeRead() < 31)
    outputText = "\\009";
}

// ---------------------------------------------------------------------------
// Character-map node

namespace {

std::string identityEntry(int n) { return encodeEscapes(std::string(1, static_cast<char>(n))); }

// The map file's notice line: free text.
constexpr std::string_view mapFileHeader[] = {
    ";Marrowen map file",
    ";Each line maps one character to the text that replaces it",
    ";Format is",
    ";<ascii code> <printable chars><\\3 digit decimal ascii code>",
    ";Where <ascii code> is from 0 to 255",
    ";      <printable chars> is from ' ' to '~' ie all letters, numbers etc",
    ";      <\\3 digit decimal ascii code> is from \\000 to \\255 ie any character",
};

using UserField = NodeField<TUserObject>;
// The 256 entries, an array each remembered under a setting of its own
// (`userEntrySettingName`) and cut to `maxEntryLength` on load, are stored
// after the table.
const UserField userFields[] = {
    {"mapFileName", &TUserObject::mapFileName, ""sv, ""},
};

} // namespace

std::span<const UserField> TUserObject::fields() { return userFields; }

std::string TUserObject::cutToEntry(std::string_view text) {
  return std::string(cutEscapedText(text, maxEntryLength));
}

std::string userEntrySettingName(int n) { return "rUser_" + std::to_string(n); }

std::unique_ptr<TUserObject> TUserObject::CreateDefault() {
  auto node = std::make_unique<TUserObject>();
  for (int n = 0; n < 256; ++n)
    node->entries[n] =
        TUserObject::cutToEntry(readStringSetting(userEntrySettingName(n), identityEntry(n)));
  return node;
}

std::unique_ptr<TUserObject> TUserObject::CreateWith(const std::string &mapFile) {
  auto node = std::make_unique<TUserObject>();
  node->loadFromTextFile(mapFile);
  return node;
}

void TUserObject::rememberDefaults() const {
  for (int n = 0; n < 256; ++n)
    writeStringSetting(userEntrySettingName(n), entries[n]);
}

void TUserObject::loadFromTextFile(const std::string &fileName) {
  mapFileName = fileName;
  std::string bytes;
  try {
    bytes = loadFileBytes(localPath(fileName));
  } catch (const EStreamError &) {
    throw EStreamError(translateFormat(9730, "Couldn't open %s", {fileName}));
  }
  // A byte-order mark an editor wrote is no part of the first line.
  std::size_t pos = bytes.size() - utf8::withoutByteOrderMark(bytes).size();
  int lineNumber = 0;
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find_first_of("\r\n", pos);
    const std::size_t lineEnd = end == std::string::npos ? bytes.size() : end;
    const std::string_view line(bytes.data() + pos, lineEnd - pos);
    ++lineNumber;
    pos = lineEnd;
    if (pos < bytes.size())
      pos += bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n' ? 2 : 1;
    if (line.empty() || line.front() == ';')
      continue;
    const std::size_t blank = line.find(' ');
    const std::string_view code = line.substr(0, std::min<std::size_t>(blank, 4));
    const std::string_view replacement =
        blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    try {
      // A line without a blank has no code: the text before the blank is empty.
      const std::int32_t value = StrToInt(blank == std::string_view::npos ? "" : code);
      if (value < 0 || value > 255)
        throw ERangeError();
      entries[static_cast<std::size_t>(value)] = TUserObject::cutToEntry(std::string(replacement));
    } catch (Exception &e) {
      e.setMessage(Format("%s (%s, line %d)", {e.message(), fileName, lineNumber}));
      throw;
    }
  }
}

bool TUserObject::saveToTextFile(const std::string &fileName,
                                 const std::function<void(const std::string &)> &showStatus) {
  mapFileName = fileName;
  std::string text;
  for (std::string_view line : mapFileHeader) {
    text += line;
    text += "\r\n";
  }
  for (int n = 0; n < 256; ++n) {
    text += std::to_string(n);
    text += ' ';
    // A raw line end would end the entry's line early; escaped, it maps to
    // the same bytes.
    if (entries[n].find_first_of("\r\n") == std::string::npos)
      text += entries[n];
    else
      text += escapeControlCharsInEscapedText(entries[n]);
    text += "\r\n";
  }
  try {
    writeFileBytesSafely(localPath(fileName), text);
  } catch (const Exception &) {
    if (showStatus)
      showStatus(translateFormat(9740, "Couldn't open %s", {fileName}));
    return false;
  }
  return true;
}

std::string TUserObject::getTitle() const {
  if (mapFileName.empty())
    return translate(9720, "Map");
  const std::size_t slash = mapFileName.find_last_of("\\/");
  std::string name = slash == std::string::npos ? mapFileName : mapFileName.substr(slash + 1);
  for (std::size_t i = 0; i + 4 <= name.size(); ++i) {
    std::string part = name.substr(i, 4);
    std::transform(part.begin(), part.end(), part.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    if (part == ".map") {
      name.erase(i, 4);
      break;
    }
  }
  return name + translate(9710, " - Map");
}

std::string TUserObject::printText(std::string_view indent) const {
  std::string text = shortTitle(*this) + "\r\n";
  for (int n = 0; n < 256; ++n)
    if (entries[n] != identityEntry(n))
      text += Format("%s  %3.3d [%s]\r\n", {indent, n, entries[n]});
  return text;
}

std::unique_ptr<TFilter> TUserObject::add_this_filter(TFilterList &) {
  return std::make_unique<TUserDefined>(entries);
}

void TUserObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
  for (const std::string &entry : entries)
    writer.writeString(entry);
}

void TUserObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
  for (std::string &entry : entries)
    entry = TUserObject::cutToEntry(reader.readString());
}

} // namespace marrowen

#include "filterlist/utilitynodes.h"

#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filterlist/nodefields.h"
#include "filterlist/settings.h"
#include "filters/concordance.h"
#include "filters/executeprogram.h"
#include "filters/linebuffer.h"
#include "filters/widthfilters.h"

#include <algorithm>
#include <filesystem>

namespace marrowen {

using namespace std::string_view_literals;

// ---------------------------------------------------------------------------
// Duplicate node

namespace {

using DuplicateField = NodeField<TDuplicateObject>;
const DuplicateField duplicateFields[] = {
    {"ignoreCase", &TDuplicateObject::ignoreCase, true, "DupIgnoreCase"},
    {"ignoreLeading", &TDuplicateObject::ignoreLeading, 0, "IgnoreLeading"},
    {"kind", &TDuplicateObject::kind, 0, "", 12},
};

using ExecuteField = NodeField<TExecuteObject>;
const ExecuteField executeFields[] = {
    {"commandLine", &TExecuteObject::commandLine, "external_grep.bat -i searchstring"sv,
     "ProgramCommandLine"},
    {"programInputFilename", &TExecuteObject::programInputFilename, "output.txt"sv,
     "ProgramInputFilename"},
    {"programOutputFilename", &TExecuteObject::programOutputFilename, "input.txt"sv,
     "ProgramOutputFilename"},
};

using InsertColumnField = NodeField<TInsertColumnObject>;
const InsertColumnField insertColumnFields[] = {
    {"position", &TInsertColumnObject::position, 0, "insertPos"},
    {"text", &TInsertColumnObject::text, ""sv, "insertStr"},
};

} // namespace

std::span<const DuplicateField> TDuplicateObject::fields() { return duplicateFields; }
std::span<const ExecuteField> TExecuteObject::fields() { return executeFields; }
std::span<const InsertColumnField> TInsertColumnObject::fields() { return insertColumnFields; }

std::unique_ptr<TDuplicateObject> TDuplicateObject::CreateDefault(std::int32_t kind) {
  auto node = std::make_unique<TDuplicateObject>();
  readFieldSettings<TDuplicateObject>(*node, fields());
  node->kind = kind;
  return node;
}

void TDuplicateObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TDuplicateObject::getTitle() const {
  std::string title;
  switch (kind) {
  case RemoveDuplicates:
    title = translate(5550, "Remove duplicate lines");
    break;
  case CountDuplicates:
    title = translate(5560, "Count duplicate lines");
    break;
  default:
    title = translate(5570, "Error");
    break;
  }
  if (ignoreCase)
    title += translate(5580, ", ignore case");
  if (ignoreLeading > 0)
    title += translateFormat(5590, ", ignore leading %d", {ignoreLeading});
  return title;
}

std::string TDuplicateObject::printText(std::string_view indent) const {
  std::string text;
  if (kind == RemoveDuplicates)
    text = translate(5600, "Remove duplicate lines\r\n");
  else if (kind == CountDuplicates)
    text = translate(5610, "Count duplicate lines\r\n");
  text += indent;
  text += outputOption(ignoreCase);
  text += translate(5620, "Ignore case\r\n");
  if (ignoreLeading > 0) {
    text += indent;
    text += translateFormat(5630, "  Ignore leading %d characters\r\n", {ignoreLeading});
  }
  return text;
}

std::unique_ptr<TFilter> TDuplicateObject::add_this_filter(TFilterList &) {
  if (kind == RemoveDuplicates)
    return std::make_unique<TRemoveDuplicateLines>(ignoreCase, ignoreLeading);
  return std::make_unique<TShowDuplicateLines>(ignoreCase, ignoreLeading);
}

void TDuplicateObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TDuplicateObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// External-program node

std::unique_ptr<TExecuteObject> TExecuteObject::CreateDefault() {
  auto node = std::make_unique<TExecuteObject>();
  readFieldSettings<TExecuteObject>(*node, fields());
  return node;
}

void TExecuteObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TExecuteObject::getTitle() const {
  return translateFormat(5820, "Run %s", {commandLine});
}

std::string TExecuteObject::printText(std::string_view indent) const {
  return translateFormat(
      5830, "Run program: %s\r\n%s  Output filename: %s\r\n%s  Input filename: %s\r\n",
      {commandLine, indent, programInputFilename, indent, programOutputFilename});
}

std::unique_ptr<TFilter> TExecuteObject::add_this_filter(TFilterList &) {
  // The command box quotes a program whose path holds a blank. Unquoted, the
  // filter's word split would cut that path at the blank, so an existing
  // program keeps its quotes, which the split then drops.
  std::string command = unquote(commandLine);
  std::error_code ec;
  if (command != commandLine && std::filesystem::is_regular_file(localPath(command), ec))
    command = commandLine;
  return std::make_unique<TExecuteProgram>(localPath(unquote(programInputFilename)),
                                           localPath(unquote(programOutputFilename)),
                                           std::move(command));
}

void TExecuteObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TExecuteObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields().first(1));
  // Older files kept the program and its arguments apart.
  if (reader.fileTypeRead() < 13) {
    commandLine += ' ';
    commandLine += reader.readString();
  }
  readFields(*this, reader, fields().subspan(1));
}

// ---------------------------------------------------------------------------
// Insert-column node

std::unique_ptr<TInsertColumnObject> TInsertColumnObject::CreateDefault() {
  auto node = std::make_unique<TInsertColumnObject>();
  readFieldSettings<TInsertColumnObject>(*node, fields());
  return node;
}

std::unique_ptr<TInsertColumnObject> TInsertColumnObject::CreateWithPrompt() {
  auto node = CreateDefault();
  node->position = 10;
  node->text = translate(5880, "Enter the text here (the text can be multi-line).");
  return node;
}

void TInsertColumnObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

namespace {

// The text on one line as encodeEscapes writes it, but a UTF-8 character
// stays the character the user typed rather than the escapes of its bytes.
std::string oneLineText(std::string_view text) {
  std::string result;
  std::size_t run = 0; // start of the bytes not yet written
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = utf8::characterLength(text.substr(at));
    if (length > 1) {
      result += encodeEscapes(text.substr(run, at - run));
      result.append(text.substr(at, length));
      run = at + length;
    }
    at += length;
  }
  result += encodeEscapes(text.substr(run));
  return result;
}

} // namespace

std::string TInsertColumnObject::getTitle() const {
  return translateFormat(5860, "Insert column %d [%s]", {position, oneLineText(text)});
}

std::unique_ptr<TFilter> TInsertColumnObject::add_this_filter(TFilterList &) {
  if (text.empty())
    throw Exception(translateFormat(5870, "String for '%s' is blank", {shortTitle(*this)}));
  return std::make_unique<TInsertColumn>(position, decodeEscapes(text));
}

void TInsertColumnObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TInsertColumnObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// Concordance node

namespace {

using ConcordanceField = NodeField<TConcordanceObject>;
// The settings are kept a mode apart, under the mode's prefix; the
// dictionary, a list, is stored beside the table as comma text.
const ConcordanceField concordanceFields[] = {
    {"wordsBefore", &TConcordanceObject::wordsBefore, 7, "before"},
    {"wordsAfter", &TConcordanceObject::wordsAfter, 7, "after"},
    {"format", &TConcordanceObject::format, "%s %s %s"sv, "formatStr"},
};

} // namespace

std::span<const ConcordanceField> TConcordanceObject::fields() { return concordanceFields; }

std::unique_ptr<TConcordanceObject> TConcordanceObject::CreateDefault(std::int32_t mode) {
  auto node = std::make_unique<TConcordanceObject>();
  node->wordMode = mode == 0;
  const std::string prefix = node->settingsPrefix();
  readFieldSettings<TConcordanceObject>(*node, fields(), prefix);
  node->dictionary = itemsFromCommaText(readStringSetting(prefix + "dictionary", "sample"));
  return node;
}

void TConcordanceObject::rememberDefaults() const {
  const std::string prefix = settingsPrefix();
  writeFieldSettings(*this, fields(), prefix);
  writeStringSetting(prefix + "dictionary", commaText(dictionary));
}

std::string TConcordanceObject::settingsPrefix() const {
  return wordMode ? "WordConcordance." : "SentenceConcordance.";
}

std::string TConcordanceObject::getTitle() const {
  return std::string(wordMode ? "Word" : "Sentence") + " concordance " +
         Format("%d, %d, %s, %s", {wordsBefore, wordsAfter, format, commaText(dictionary)});
}

std::string TConcordanceObject::printText(std::string_view) const { return getTitle() + "\r\n"; }

std::unique_ptr<TFilter> TConcordanceObject::add_this_filter(TFilterList &) {
  if (!wordMode)
    throw Exception("Sentence concordance not available yet");
  return std::make_unique<TWordConcordance>(wordsBefore, wordsAfter, format, dictionary);
}

void TConcordanceObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
  writer.writeString(commaText(dictionary));
}

void TConcordanceObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
  dictionary = itemsFromCommaText(reader.readString());
}

// ---------------------------------------------------------------------------
// Comma text

namespace {

// Blanks, tabs and line ends separate unquoted items (a dictionary typed one
// word a line reads as its words); other control bytes belong to the item
// they stand in, as an item stored unquoted holds them.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Written as the class library writes it: an item holding any byte up to a
// blank is quoted, and so is an empty item, which unquoted at the end of the
// list would not come back.
bool needsQuotes(std::string_view item) {
  return item.empty() || std::any_of(item.begin(), item.end(), [](char c) {
           return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ',';
         });
}

} // namespace

std::string commaText(const std::vector<std::string> &items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0)
      text += ',';
    const std::string &item = items[i];
    if (!needsQuotes(item)) {
      text += item;
      continue;
    }
    text += '"';
    for (char c : item) {
      if (c == '"')
        text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

std::vector<std::string> itemsFromCommaText(std::string_view text) {
  std::vector<std::string> items;
  std::size_t pos = 0;
  const auto skipBlanks = [&] {
    while (pos < text.size() && isBlank(text[pos]))
      ++pos;
  };
  skipBlanks();
  while (pos < text.size()) {
    std::string item;
    if (text[pos] == '"') {
      ++pos;
      while (pos < text.size()) {
        const std::size_t quote = text.find('"', pos);
        if (quote == std::string_view::npos) {
          // An unclosed quote: the rest of the text is the item.
          item.append(text.substr(pos));
          pos = text.size();
          break;
        }
        item.append(text.substr(pos, quote - pos));
        pos = quote + 1;
        if (pos < text.size() && text[pos] == '"') {
          item += '"';
          ++pos;
          continue;
        }
        break;
      }
    } else {
      const std::size_t start = pos;
      while (pos < text.size() && !isBlank(text[pos]) && text[pos] != ',')
        ++pos;
      item.assign(text.substr(start, pos - start));
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (pos < text.size() && text[pos] == ',') {
      ++pos;
      skipBlanks();
    }
  }
  return items;
}

} // namespace marrowen

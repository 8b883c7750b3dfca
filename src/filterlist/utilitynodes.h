#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

// Removes (kind 0) or counts (kind 1) runs of equal adjacent lines,
// comparing with or without case and past a number of leading characters.
class TDuplicateObject : public TListObject {
public:
  // The stored kind: repeated lines dropped, or counted.
  enum Kind : std::int32_t { RemoveDuplicates = 0, CountDuplicates = 1 };

  bool ignoreCase = true;
  // Characters at the start of each line left out of the comparison.
  std::int32_t ignoreLeading = 0;
  // 0 remove duplicate lines, 1 count them; another value counts them too.
  std::int32_t kind = 0;

  // A new node of `kind`, the other fields from the remembered defaults.
  // The stored fields, in stored order.
  static std::span<const NodeField<TDuplicateObject>> fields();
  static std::unique_ptr<TDuplicateObject> CreateDefault(std::int32_t kind);
  void rememberDefaults() const override;
  // The help topic of the node's dialog.
  std::int32_t catalogKind() const override { return kind; }

  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TDuplicateObject"; }
  std::string_view definedPropertyName() const override { return "DuplicateObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Runs an external program over the text of each input through two files.
//
// The field names follow the settings that remember them, which name each
// file from the filter's side: `programInputFilename` is the file the
// filter reads back once the program has run (the program's result), and
// `programOutputFilename` the file the filter writes the text to for the
// program. All three texts are kept as typed.
class TExecuteObject : public TListObject {
public:
  std::string commandLine = "external_grep.bat -i searchstring";
  std::string programInputFilename = "output.txt";
  std::string programOutputFilename = "input.txt";

  // The stored fields, in stored order.
  static std::span<const NodeField<TExecuteObject>> fields();
  static std::unique_ptr<TExecuteObject> CreateDefault();
  void rememberDefaults() const override;

  int iconIndex() const override { return 37; }
  std::string getTitle() const override;
  bool titleNamesFiles() const override { return true; }
  std::string printText(std::string_view indent) const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TExecuteObject"; }
  std::string_view definedPropertyName() const override { return "ExecuteObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Inserts a text at a column of every line; 0 and negative columns count
// back from the end of the line.
class TInsertColumnObject : public TListObject {
public:
  std::int32_t position = 0;
  // As typed, with backslash escapes; may span lines.
  std::string text;

  // The stored fields, in stored order.
  static std::span<const NodeField<TInsertColumnObject>> fields();
  static std::unique_ptr<TInsertColumnObject> CreateDefault();
  // A new node of the wizard: column 10 and a text that tells the user what
  // to type in its place.
  static std::unique_ptr<TInsertColumnObject> CreateWithPrompt();
  void rememberDefaults() const override;

  std::string getTitle() const override;
  // Raises 5870 for a blank text, and the escape error for a malformed one.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TInsertColumnObject"; }
  std::string_view definedPropertyName() const override { return "InsertColumnObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// A word concordance: for every dictionary word found, a line of the format
// with the word, its line number and the words around it.
//
// The word or sentence mode is not part of the stored record. A node read
// from a filter file comes back in word mode, the only one that builds: a
// sentence concordance refuses to build, so no working list can hold one.
class TConcordanceObject : public TListObject {
public:
  bool wordMode = true;
  std::int32_t wordsBefore = 7;
  std::int32_t wordsAfter = 7;
  std::string format = "%s %s %s";
  std::vector<std::string> dictionary{"sample"};

  // A new node of `mode` (0 word, any other value sentence), the other
  // fields from the defaults remembered for that mode.
  // The stored fields, in stored order.
  static std::span<const NodeField<TConcordanceObject>> fields();
  static std::unique_ptr<TConcordanceObject> CreateDefault(std::int32_t mode);
  // Mode 0 words, 1 sentences.
  std::int32_t catalogKind() const override { return wordMode ? 0 : 1; }
  void rememberDefaults() const override;
  // "WordConcordance." or "SentenceConcordance.": the mode's settings prefix.
  std::string settingsPrefix() const;

  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  // Raises "Sentence concordance not available yet" in sentence mode, and
  // the filter's error for a format or count it refuses.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TConcordanceObject"; }
  std::string_view definedPropertyName() const override { return "ConcordanceObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// The class library's comma text of a list: the items joined by commas, an
// item quoted (inner quotes doubled) when it is empty or holds a byte up to
// a blank, a comma or a quote.
std::string commaText(const std::vector<std::string> &items);
// The items of a comma text: separated by commas, blanks, tabs or line
// ends, quoted items taken whole. An unclosed quote takes the rest of the
// text.
std::vector<std::string> itemsFromCommaText(std::string_view text);

} // namespace marrowen

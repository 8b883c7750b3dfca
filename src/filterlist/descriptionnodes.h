#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodecatalog.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace marrowen {

// The simple built-in filters of a built-in filter node, by the number that
// files, the command line, the automation interface and the wizard use.
enum class TDescriptionKind : std::int32_t {
  AsciiToEbcdic = 1,
  EbcdicToAscii = 2,
  AnsiToOem = 3,
  OemToAnsi = 4,
  UpperCase = 5,
  LowerCase = 6,
  TitleCase = 7,
  SentenceCase = 8,
  ToggleCase = 9,
  RemoveBlankLines = 10,
  RemoveBlanksFromEndOfLine = 11,
  RemoveBlanksFromStartOfLine = 12,
  RemoveBinary = 13,
  RemoveAnsiCodes = 14,
  TranslateDrawing = 15,
  RemoveHtml = 16,
  RemoveBackspaces = 17,
  ResolveBackspaces = 18,
  RemoveMultipleWhitespace = 19,
  UuEncode = 20,
  HexEncode = 21,
  HexDecode = 22,
  Base64Encode = 23,
  Base64Decode = 24,
  QuotedPrintableEncode = 25,
  QuotedPrintableDecode = 26,
  UuDecode = 27,
  ExtractEmails = 28,
  Rot13 = 29,
  HexDump = 30,
  // Kept so that old files load; the duplicates node replaced it.
  ObsoleteRemoveDuplicates = 31,
  XxEncode = 32,
  XxDecode = 33,
  ReverseLineOrder = 34,
  RemoveEmailHeaders = 35,
  DecimalDump = 36,
  HttpEncode = 37,
  HttpDecode = 38,
  RandomizeLines = 39,
  WordList = 40,
  ReverseEachLine = 41,
  RandomCase = 42,
  ExtractUrls = 43,
  AnsiToUnicode = 44,
  UnicodeToAnsi = 45,
  DebugWindow = 46,
  // Kept so that old files load; makes nothing (the concordance node replaced it).
  ObsoleteConcordance = 47,
  DeleteAll = 48,
};

inline constexpr std::int32_t firstDescriptionKind = 1;
inline constexpr std::int32_t lastDescriptionKind = 48;

// The command-line code of a built-in kind ("/CU"), empty for a kind that
// has none (31, 47 and any number outside 1..48).
std::string_view descriptionKindCode(std::int32_t kind);

// A kind of the built-in, number or text node as the node catalog lists it:
// its title message and help topic; none for a kind the node does not know.
struct KindListing {
  CatalogMessage title;
  int helpTopic = 0;
};
std::optional<KindListing> descriptionKindListing(std::int32_t kind);
std::optional<KindListing> numberKindListing(std::int32_t kind);
std::optional<KindListing> textKindListing(std::int32_t kind);

// A simple built-in filter without settings, picked by its kind. The node
// keeps whatever kind it was given; a number outside 1..48 shows "<error>"
// and makes no filter.
class TDescriptionObject : public TListObject {
public:
  std::int32_t kind = 0;

  // The stored fields, in stored order.
  static std::span<const NodeField<TDescriptionObject>> fields();
  static std::unique_ptr<TDescriptionObject> CreateWith(std::int32_t kind);
  std::int32_t catalogKind() const override { return kind; }
  static std::unique_ptr<TDescriptionObject> CreateWith(TDescriptionKind kind) {
    return CreateWith(static_cast<std::int32_t>(kind));
  }

  int iconIndex() const override;
  // An enabled debug-window node asks whether to switch itself off.
  bool automationCheck(const ConfirmPrompt &ask) override;
  std::string getTitle() const override;
  std::string generateCmdLine() const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  // The dialog's text about the filter.
  virtual std::string description() const;

  std::string_view className() const override { return "TDescriptionObject"; }
  std::string_view definedPropertyName() const override { return "DescriptionObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// A filter with one number: tab width, line width or field number. Kinds:
// 0 tabs to spaces, 1 spaces to tabs, 2 word wrap, 3 pad, 4 centre, 5 right
// justify, 6 CSV field, 7 tab-delimited field, 8 truncate, 9 force width.
// The two field selectors run the node's children on the selected field.
class TNumberObject : public TDescriptionObject {
public:
  std::int32_t number = 0;

  // The stored fields after the kind, in stored order. The number is
  // remembered under a setting of its kind's (`registryEntry`).
  static std::span<const NodeField<TNumberObject>> fields();
  // A new node of `kind`, the number as last remembered for the kind.
  static std::unique_ptr<TNumberObject> CreateDefault(std::int32_t kind);
  static std::unique_ptr<TNumberObject> CreateWith(std::int32_t kind, std::int32_t number);
  void rememberDefaults() const override;
  // The largest number the dialog and automation take, the widest line's: a
  // width beyond it would only fill memory. A file holding a larger one loads
  // as stored; the width filters refuse it when the chain is built.
  static constexpr std::int32_t maxNumber = 100000;

  int iconIndex() const override;
  bool canParent() const override;
  ChildChain needGatherer() const override;
  std::string getTitle() const override;
  std::string generateCmdLine() const override;
  // Raises the filter's own error for a width it refuses.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  // The dialog's caption of the number, its hint, and the text about the filter.
  std::string field_name() const;
  std::string fieldHint() const;
  std::string description() const override;
  // The setting the kind's number is remembered under; empty for an unknown kind.
  std::string registryEntry() const;

  std::string_view className() const override { return "TNumberObject"; }
  std::string_view definedPropertyName() const override { return "NumberObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// A filter with one text, typed in the node or read from a file: 0 left
// margin, 1 header, 2 footer, 3 right margin, 4 remove the lines found in
// it, 5 only show the lines found in it. The typed text keeps its escapes
// until the filter is made; a file's text is used as it is. The children
// work on the text before it is added.
class TStringObject : public TDescriptionObject {
public:
  std::string text;
  std::string fileName;
  // True: use text; false: read fileName.
  bool useString = true;

  // The stored fields after the kind, in stored order. They are remembered
  // a kind apart, the text under the kind's setting and the others under it
  // with their own names added (`registryEntry` and the two after it).
  static std::span<const NodeField<TStringObject>> fields();
  // A new node of `kind`, every field as last remembered for the kind.
  static std::unique_ptr<TStringObject> CreateDefault(std::int32_t kind);
  // The remembered defaults of `kind`, using `text`.
  static std::unique_ptr<TStringObject> CreateWith(std::int32_t kind, std::string text);
  void rememberDefaults() const override;

  int iconIndex() const override;
  bool canParent() const override { return true; }
  ChildChain needGatherer() const override { return ChildChain::Gathered; }
  std::string getTitle() const override;
  bool titleNamesFiles() const override { return !useString; }
  std::string generateCmdLine() const override;
  // Raises "String for '%s' is blank" for an empty typed text, "Filename for
  // '%s' is blank" when no file is named, the escape error of a malformed
  // text and the file error of a file that cannot be read.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string field_name() const;
  std::string fieldHint() const;
  // The settings of the kind's text, file name and choice; empty for an
  // unknown kind.
  std::string registryEntry() const;
  std::string registryEntryFilename() const;
  std::string registryEntryUseString() const;

  // The text the filter is made with: the typed text decoded, or the named
  // file's lines each ended by CR LF. Raises as add_this_filter does.
  std::string filterText() const;

  std::string_view className() const override { return "TStringObject"; }
  std::string_view definedPropertyName() const override { return "StringObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

} // namespace marrowen

#include "filterlist/descriptionnodes.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filterlist/settings.h"
#include "filters/casefilters.h"
#include "filters/charfilters.h"
#include "filters/codecs_base64.h"
#include "filters/codecs_hex.h"
#include "filters/codecs_quotedprintable.h"
#include "filters/codecs_url.h"
#include "filters/codecs_uu.h"
#include "filters/codepagefilters.h"
#include "filters/debugfilter.h"
#include "filters/dumps.h"
#include "filters/fields.h"
#include "filters/headtail.h"
#include "filters/layoutfilters.h"
#include "filters/linebuffer.h"
#include "filters/linefilters.h"
#include "filters/mailfilters.h"
#include "filters/widthfilters.h"

#include <array>
#include <cstdint>

namespace marrowen {

using namespace std::string_view_literals;

namespace {

using FilterFactory = std::unique_ptr<TFilter> (*)();

template <class F, auto... arguments> std::unique_ptr<TFilter> make() {
  return std::make_unique<F>(arguments...);
}

std::unique_ptr<TFilter> makeNothing() { return nullptr; }

// One message text: its number and English default.
struct Message {
  int id = 0;
  std::string_view text;

  std::string translated() const { return id == 0 ? std::string() : translate(id, text); }
};

struct DescriptionKindEntry {
  std::string_view title; // message 7100 + 10 x kind
  std::string_view code;
  int icon;
  int help;
  FilterFactory make;
};

// Indexed by kind - 1.
// clang-format off
constexpr std::array<DescriptionKindEntry, 48> descriptionKinds{{
    // title                                            code  icon help filter
    {"Convert ASCII to EBCDIC",                         "/PA",  1,  190, make<TASCIItoEBCDIC>},
    {"Convert EBCDIC to ASCII",                         "/PE",  1,  210, make<TEBCDICtoASCII>},
    {"Convert ANSI to OEM",                             "/HA",  1,  180, make<TANSItoOEM>},
    {"Convert OEM to ANSI",                             "/HO",  1,  250, make<TOEMtoANSI>},
    {"Convert to UPPERCASE",                            "/CU", 15,  330, make<TConvertToUpperCase>},
    {"Convert to lowercase",                            "/CL", 15,  240, make<TConvertToLowerCase>},
    {"Convert to Title Case",                           "/CT", 15,  310, make<TConvertToTitleCase>},
    {"Convert to Sentence Case",                        "/CS", 15,  270, make<TConvertToSentenceCase>},
    {"Convert to tOGGLE cASE",                          "/CI", 15,  320, make<TConvertToToggleCase>},
    {"Remove blank lines",                              "/DL",  1,  690, make<TRemoveBlankLines>},
    {"Remove blanks from End of Line",                  "/DE",  1,  700, make<TRemoveBlanksFromEOL>},
    {"Remove blanks from Start of Line",                "/DS",  1,  710, make<TRemoveBlanksFromSOL>},
    {"Remove binary characters",                        "/DB",  1,  680, make<TRemoveBinary>},
    {"Remove ANSI codes",                               "/DA",  1,  660, make<TRemoveANSIcolour>},
    {"Convert IBM drawing characters",                  "/CM",  1,  230, make<TTranslateDrawing>},
    {"Remove HTML and SGML",                            "/DH",  1,  760, make<TRemoveHTML>},
    {"Remove backspaces",                               "/DK",  1,  670, make<TRemoveBackspaces>},
    {"Resolve backspaces",                              "/DR",  1,  780, make<TResolveBackspaces>},
    {"Remove multiple whitespace",                      "/DW",  1,  770, make<TRemoveMultipleWhitespace>},
    {"UUEncode",                                        "/C1",  1,  480, make<TUUEncode, true>},
    {"Hex Encode",                                      "/P0",  1,  380, make<TEncodeHex>},
    {"Hex Decode",                                      "/P1",  1,  370, make<TDecodeHex>},
    {"MIME Encode (Base 64)",                           "/C5",  1,  420, make<TEncodeBase64>},
    {"MIME Decode (Base 64)",                           "/C6",  1,  410, make<TDecodeBase64>},
    {"MIME Encode (Quoted printable)",                  "/C7",  1,  440, make<TEncodeQuotedPrintable, false>},
    {"MIME Decode (Quoted printable)",                  "/C8",  1,  430, make<TDecodeQuotedPrintable>},
    {"UUDecode",                                        "/C2",  1,  470, make<TUUDecode, true>},
    {"Extract email addresses",                         "/C0",  7,  350, make<TExtractEmails>},
    {"Unscramble (ROT13)",                              "/PU",  1,  460, make<TROT13>},
    {"Hex dump",                                        "/PH",  1,  840, make<THexDump>},
    {"Error: Use new Remove duplicate lines function",  "",     1,  730, make<TRemoveDuplicateLines, false, 0>},
    {"XXEncode",                                        "/C3",  1,  500, make<TUUEncode, false>},
    {"XXDecode",                                        "/C4",  1,  490, make<TUUDecode, false>},
    {"Reverse line order",                              "/P4",  1,  900, make<TReverseLines>},
    {"Remove email headers",                            "/DM",  1,  450, make<TRemoveEmailHeaders>},
    {"Decimal dump",                                    "/PD",  1,  820, make<TDecimalDump>},
    {"HTTP Encode",                                     "/P2",  1,  400, make<THTTPEncode>},
    {"HTTP Decode",                                     "/P3",  1,  390, make<THTTPDecode>},
    {"Randomize lines",                                 "/CZ",  1,  880, make<TRandomizeLines>},
    {"Create word list",                                "/CW",  1,  300, make<TTextToWordList>},
    {"Reverse each line",                               "/CV",  1,  910, make<TReverseEachLine>},
    {"Convert to RanDOm case",                          "/CR", 15,  260, make<TConvertToRandomCase>},
    {"Extract URLs",                                    "/C9",  1,  360, make<TExtractURLs>},
    {"ANSI to Unicode",                                 "/HN",  1, 1210, make<TANSItoUnicode>},
    {"Unicode to ANSI",                                 "/HC",  1, 1220, make<TUnicodeToANSI>},
    {"Display debug window",                            "/CD", 20, 1230, make<TDebugFilter>},
    {"Word concordance",                                "",     1,    0, makeNothing},
    {"Delete all",                                      "/D-",  1,    0, make<TDeleteAll>},
}};
// clang-format on

// The dialog's text about a kind: its own message, then a note that a pair
// of kinds shares.
struct DescriptionText {
  Message about;
  Message note;
};

constexpr Message ebcdicNote{
    7640, " ASCII and EBCDIC order letters and digits differently, and some characters exist "
          "in only one of the two sets; those cannot be converted exactly."};
constexpr Message oemNote{
    7670, " ANSI is the Windows character set and OEM the DOS character set (code page 437); "
          "characters that exist in only one of them cannot be converted exactly."};
constexpr Message caseNote{7730, " This routine is ANSI-aware (handles foreign character sets)"};
constexpr Message uuNote{
    7860, " A uuencoded file begins with a line such as \"begin 644 file.txt\", is followed by "
          "lines of encoded data that each start with \"M\", and ends with the line \"end\"."};
constexpr Message hexNote{7890,
                          " Each byte is written as two hex digits: \"Hi\" becomes \"4869\"."};
constexpr Message base64Note{7920,
                             " Base 64 is the MIME encoding of binary attachments: three bytes "
                             "become four characters, 76 characters to a line (\"SGVsbG8=\")."};
constexpr Message quotedPrintableNote{
    7950, " Quoted printable keeps plain text readable and writes other bytes as \"=\" and two "
          "hex digits (\"=E9\"); long lines are broken with a \"=\" at their end."};
constexpr Message xxNote{8020, " XXEncode works like UUEncode with an alphabet of letters, digits, "
                               "\"+\" and \"-\" only, which passes mail gateways that change "
                               "punctuation."};
constexpr Message httpNote{8080, " HTTP encoding writes blanks as \"+\" and other bytes that may "
                                 "not appear in a URL as \"%\" and two hex digits (\"%2f\")."};

// Indexed by kind - 1.
constexpr std::array<DescriptionText, 48> descriptionTexts{{
    {{7620, "Converts from ASCII to EBCDIC."}, ebcdicNote},
    {{7630, "Converts from EBCDIC to ASCII."}, ebcdicNote},
    {{7650, "Converts from ANSI to OEM."}, oemNote},
    {{7660, "Converts from OEM to ANSI."}, oemNote},
    {{7680, "Forces all text to UPPERCASE."}, caseNote},
    {{7690, "Forces all text to lowercase."}, caseNote},
    {{7700, "Makes the first letter of every word upper case and the others lower case."},
     caseNote},
    {{7710, "Makes the first letter of every sentence upper case."}, caseNote},
    {{7720, "Makes upper case letters lower case and lower case letters upper case."}, caseNote},
    {{7740, "Removes empty lines; a line holding only blanks is kept"}, {}},
    {{7750, "Removes spaces and tabs from the end of each line"}, {}},
    {{7760, "Removes spaces and tabs from the start of each line"}, {}},
    {{7770, "Removes every character that is not plain printable ASCII or a line end (tabs "
            "included)"},
     {}},
    {{7780, "Removes the ANSI escape sequences that set colours and move the cursor"}, {}},
    {{7790, "Replaces the IBM PC line and box drawing characters with -, | and +"}, {}},
    {{7800, "Removes HTML, XML and SGML tags, leaving the text between them"}, {}},
    {{7810, "Removes backspace characters, leaving the characters around them"}, {}},
    {{7820, "Applies backspace characters: each one removes the character before it"}, {}},
    {{7830, "Removes sequences of multiple spaces or tabs and replaces them with a single space"},
     {}},
    {{7840, "UUEncodes each file, so that it can be sent as text."}, uuNote},
    {{7870, "Encodes each byte as hex."}, hexNote},
    {{7880, "Decodes hex back into bytes."}, hexNote},
    {{7900, "Encodes text or binary data as MIME Base 64."}, base64Note},
    {{7910, "Decodes MIME Base 64 back into bytes."}, base64Note},
    {{7930, "Encodes text as MIME quoted printable."}, quotedPrintableNote},
    {{7940, "Decodes MIME quoted printable text."}, quotedPrintableNote},
    {{7850, "Decodes the uuencoded data found in each file."}, uuNote},
    {{7960, "Passes on only the email addresses found in the text, one to a line"}, {}},
    {{7970, "Unscrambles (or scrambles) text with ROT13, which rotates each letter by 13 places"},
     {}},
    {{7980, "Shows each file as a hex dump: offsets, the bytes in hex and the printable "
            "characters"},
     {}},
    {{7990, "Please replace this filter with the new Remove Duplicate Lines filter"}, {}},
    {{8000, "XXEncodes each file, so that it can be sent as text."}, xxNote},
    {{8010, "Decodes the xxencoded data found in each file."}, xxNote},
    {{8030, "Reverses the order of the lines of each file: the last line comes first"}, {}},
    {{8040, "Removes the header lines of email messages, leaving their bodies"}, {}},
    {{8050, "Shows each file as a decimal dump: offsets, the bytes in decimal and the printable "
            "characters"},
     {}},
    {{8060, "HTTP Encode text."}, httpNote},
    {{8070, "HTTP Decode text."}, httpNote},
    {{8090, "Puts the lines of each file in a random order"}, {}},
    {{8100, "Passes on each word of the text on a line of its own"}, {}},
    {{8110, "Reverses the characters of each line"}, {}},
    {{8120, "Makes each letter upper case or lower case at random"}, {}},
    {{8130, "Passes on only the URLs (http, https, ftp, gopher, mailto and nntp) found in the "
            "text, one to a line"},
     {}},
    {{8140, "Converts ANSI text to Unicode (UTF-16, low byte first)"}, {}},
    {{8150, "Converts Unicode text (UTF-16) to ANSI"}, {}},
    {{8160, "Shows the text that reaches this point of the filter list in a debug window and "
            "passes it on unchanged"},
     {}},
    {{8170, "Please replace this filter with the new Word concordance filter"}, {}},
    {{8180, "Delete all text. Useful for sub filters."}, {}},
}};

const DescriptionKindEntry *descriptionKindEntry(std::int32_t kind) {
  if (kind < firstDescriptionKind || kind > lastDescriptionKind)
    return nullptr;
  return &descriptionKinds[static_cast<std::size_t>(kind - firstDescriptionKind)];
}

} // namespace

std::string_view descriptionKindCode(std::int32_t kind) {
  const DescriptionKindEntry *entry = descriptionKindEntry(kind);
  return entry ? entry->code : std::string_view();
}

std::optional<KindListing> descriptionKindListing(std::int32_t kind) {
  const DescriptionKindEntry *entry = descriptionKindEntry(kind);
  if (!entry)
    return std::nullopt;
  return KindListing{{7100 + 10 * kind, entry->title}, entry->help};
}

// ---------------------------------------------------------------------------
// Built-in filter node

namespace {

using DescriptionField = NodeField<TDescriptionObject>;
const DescriptionField descriptionFields[] = {
    {"kind", &TDescriptionObject::kind, 0, ""},
};

} // namespace

std::span<const DescriptionField> TDescriptionObject::fields() { return descriptionFields; }

std::unique_ptr<TDescriptionObject> TDescriptionObject::CreateWith(std::int32_t kind) {
  auto node = std::make_unique<TDescriptionObject>();
  node->kind = kind;
  return node;
}

int TDescriptionObject::iconIndex() const {
  const DescriptionKindEntry *entry = descriptionKindEntry(kind);
  return entry ? entry->icon : 1;
}

bool TDescriptionObject::automationCheck(const ConfirmPrompt &ask) {
  if (kind != static_cast<std::int32_t>(TDescriptionKind::DebugWindow) || !getEnabled())
    return true;
  const Answer answer = ask(translate(7600, "Debug filter is active: Disable it?"));
  if (answer == Answer::Cancel)
    return false;
  if (answer == Answer::Yes)
    setEnabled(false);
  return true;
}

std::string TDescriptionObject::getTitle() const {
  const DescriptionKindEntry *entry = descriptionKindEntry(kind);
  if (!entry)
    return translate(7590, "<error>");
  return translate(7100 + 10 * kind, entry->title);
}

std::string TDescriptionObject::generateCmdLine() const {
  const std::string_view code = descriptionKindCode(kind);
  if (code.empty())
    return TListObject::generateCmdLine();
  return std::string(code);
}

std::unique_ptr<TFilter> TDescriptionObject::add_this_filter(TFilterList &) {
  const DescriptionKindEntry *entry = descriptionKindEntry(kind);
  if (!entry)
    raiseUnknownSetting(*this, "kind", kind);
  return entry->make();
}

std::string TDescriptionObject::description() const {
  const DescriptionKindEntry *entry = descriptionKindEntry(kind);
  if (!entry)
    return translate(8190, "<error>");
  const DescriptionText &text =
      descriptionTexts[static_cast<std::size_t>(kind - firstDescriptionKind)];
  return text.about.translated() + text.note.translated();
}

void TDescriptionObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TDescriptionObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// Number node

namespace {

struct NumberKindEntry {
  std::string_view settingName;
  std::string_view code; // a format with the number; empty: none
  std::int32_t defaultNumber;
  int icon;
  int help;
  bool selectsField;
  Message title; // formatted with the number
  Message label;
  Message hint;
  Message about;
};

constexpr Message spacesPerTabLabel{8310, "&Spaces per Tab"};
constexpr Message spacesPerTabHint{8400, "Use this many spaces per tab"};

// Indexed by kind.
// clang-format off
constexpr std::array<NumberKindEntry, 10> numberKinds{{
    {"spacesPerTab", "/TS%d", 8, 1, 290, false,
     {8200, "Convert Tabs to %d spaces"}, spacesPerTabLabel, spacesPerTabHint,
     {8490, "Expands tabs into the appropriate number of spaces. There are usually 8 spaces per "
            "tab"}},
    {"spacesPerTab", "/ST%d", 8, 1, 280, false,
     {8210, "Convert %d spaces to Tabs"}, spacesPerTabLabel, spacesPerTabHint,
     {8500, "Reduces spaces into the appropriate number of tabs. There are usually 8 spaces per "
            "tab. This filter is used to make files smaller"}},
    {"columnWidth", "/WW%d", 80, 1, 110, false,
     {8220, "Word wrap (column width %d)"}, {8320, "&Column width"},
     {8410, "Wrap lines longer than this width"},
     {8510, "Breaks lines that are longer than the column width after the last space or "
            "punctuation that fits"}},
    {"padWidth", "", 80, 1, 90, false,
     {8230, "Pad to width of %d"}, {8330, "&Line width"},
     {8420, "Pad shorter lines with spaces to this width"},
     {8520, "Adds spaces to the end of lines shorter than the width"}},
    {"CenterInWidth", "", 80, 12, 80, false,
     {8240, "Centre in width of %d"}, {8340, "&Center in width"},
     {8430, "Centre lines in this width"},
     {8530, "Centres each line in the width by adding spaces in front of it"}},
    {"RightJustifyInWidth", "", 80, 9, 100, false,
     {8250, "Right justify in width of %d"}, {8350, "&Right justify in width"},
     {8440, "Right justify lines in this width"},
     {8540, "Right justifies each line in the width by adding spaces in front of it"}},
    {"number.CSVfield", "", 8, 1, 1410, true,
     {8260, "Select CSV field %d"}, {8360, "&Select CSV field number"},
     {8450, "The number of the comma-separated field to select"},
     {8550, "Selects one field of each line of comma-separated values (CSV). The filters below "
            "this one work only on the selected field"}},
    {"number.tabDelimited", "", 8, 1, 1420, true,
     {8270, "Select tab-delimited field %d"}, {8370, "&Select tab-delimited field number"},
     {8460, "The number of the tab-delimited field to select"},
     {8560, "Selects one field of each line of tab-delimited values. The filters below this one "
            "work only on the selected field"}},
    {"number.truncateWidth", "", 80, 1, 1380, false,
     {8280, "Truncate to width %d"}, {8380, "&Truncate to width of"},
     {8470, "Cut lines longer than this width"},
     {8570, "Cuts lines that are longer than the width"}},
    {"number.forceWidth", "", 80, 1, 1460, false,
     {8290, "Force to width %d"}, {8390, "&Force to width of"},
     {8480, "Force all lines to be this width"},
     {8580, "Forces every line to the width: longer lines are cut and shorter lines padded with "
            "spaces"}},
}};
// clang-format on

const NumberKindEntry *numberKindEntry(std::int32_t kind) {
  if (kind < 0 || kind >= static_cast<std::int32_t>(numberKinds.size()))
    return nullptr;
  return &numberKinds[static_cast<std::size_t>(kind)];
}

} // namespace

std::optional<KindListing> numberKindListing(std::int32_t kind) {
  const NumberKindEntry *entry = numberKindEntry(kind);
  if (!entry)
    return std::nullopt;
  return KindListing{{entry->title.id, entry->title.text}, entry->help};
}

namespace {

using NumberField = NodeField<TNumberObject>;
// The setting and the first default are the kind's (`numberKinds`), so the
// number is remembered beside the table.
const NumberField numberFields[] = {
    {"number", &TNumberObject::number, 80, ""},
};

} // namespace

std::span<const NumberField> TNumberObject::fields() { return numberFields; }

std::unique_ptr<TNumberObject> TNumberObject::CreateDefault(std::int32_t kind) {
  auto node = std::make_unique<TNumberObject>();
  node->kind = kind;
  applyFieldDefaults<TNumberObject>(*node, fields());
  if (const NumberKindEntry *entry = numberKindEntry(kind))
    node->number = readIntegerSetting(entry->settingName, entry->defaultNumber);
  return node;
}

std::unique_ptr<TNumberObject> TNumberObject::CreateWith(std::int32_t kind, std::int32_t number) {
  auto node = std::make_unique<TNumberObject>();
  node->kind = kind;
  node->number = number;
  return node;
}

void TNumberObject::rememberDefaults() const {
  if (const NumberKindEntry *entry = numberKindEntry(kind))
    writeIntegerSetting(entry->settingName, number);
}

int TNumberObject::iconIndex() const {
  const NumberKindEntry *entry = numberKindEntry(kind);
  return entry ? entry->icon : 1;
}

bool TNumberObject::canParent() const {
  const NumberKindEntry *entry = numberKindEntry(kind);
  return entry && entry->selectsField;
}

ChildChain TNumberObject::needGatherer() const {
  return canParent() ? ChildChain::Gathered : ChildChain::Inline;
}

std::string TNumberObject::getTitle() const {
  const NumberKindEntry *entry = numberKindEntry(kind);
  if (!entry)
    return translate(8300, "<error>");
  return translateFormat(entry->title.id, entry->title.text, {number});
}

std::string TNumberObject::generateCmdLine() const {
  const NumberKindEntry *entry = numberKindEntry(kind);
  if (!entry || entry->code.empty())
    return TListObject::generateCmdLine();
  return Format(entry->code, {number});
}

std::unique_ptr<TFilter> TNumberObject::add_this_filter(TFilterList &) {
  switch (kind) {
  case 0:
    return std::make_unique<TTabsToSpaces>(number);
  case 1:
    return std::make_unique<TSpacesToTabs>(number);
  case 2:
    return std::make_unique<TWordWrap>(number);
  case 3:
    return std::make_unique<TPadLines>(number);
  case 4:
    return std::make_unique<TCentreLines>(number);
  case 5:
    return std::make_unique<TRightJustifyLines>(number);
  case 6:
  case 7:
    return std::make_unique<TCSVfield>(LocateRange{0, number, number}, kind == 6);
  case 8:
    return std::make_unique<TTruncateWidth>(number);
  case 9:
    return std::make_unique<TForceLineWidth>(number);
  default:
    raiseUnknownSetting(*this, "kind", kind);
  }
}

std::string TNumberObject::field_name() const {
  const NumberKindEntry *entry = numberKindEntry(kind);
  return entry ? entry->label.translated() : std::string();
}

std::string TNumberObject::fieldHint() const {
  const NumberKindEntry *entry = numberKindEntry(kind);
  return entry ? entry->hint.translated() : std::string();
}

std::string TNumberObject::description() const {
  const NumberKindEntry *entry = numberKindEntry(kind);
  return entry ? entry->about.translated() : std::string();
}

std::string TNumberObject::registryEntry() const {
  const NumberKindEntry *entry = numberKindEntry(kind);
  return entry ? std::string(entry->settingName) : std::string();
}

void TNumberObject::writeData(ComponentWriter &writer) const {
  TDescriptionObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TNumberObject::readData(ComponentReader &reader) {
  TDescriptionObject::readData(reader);
  // The first file type kept two texts of the dialog here.
  if (reader.fileTypeRead() == 1) {
    reader.readString();
    reader.readString();
  }
  readFields(*this, reader, fields());
}

static_assert(TNumberObject::maxNumber == maxLineWidth);

// ---------------------------------------------------------------------------
// Text node

namespace {

enum class TextPlace { LineStart, FileStart, FileEnd, LineEnd, RemoveFound, OnlyFound };

struct TextKindEntry {
  std::string_view settingName;
  // Followed by the escaped text unless `fixedCode`.
  std::string_view code;
  bool fixedCode;
  std::string_view defaultText;
  int icon;
  int help;
  Message title;
  Message label;
  Message hint;
};

// Indexed by kind.
// clang-format off
constexpr std::array<TextKindEntry, 6> textKinds{{
    {"linePrefix", "/AS=", false, "> ", 18, 60,
     {9060, "Add left margin"}, {9180, "&Add left margin"},
     {9240, "Add this text as the left margin"}},
    {"fileStart", "/AT=", false, "", 16, 50,
     {9070, "Add header"}, {9190, "&Add header"},
     {9250, "Add this text at the start of each file"}},
    {"fileEnd", "/AE=", false, "", 17, 70,
     {9080, "Add footer"}, {9200, "&Add footer"},
     {9260, "Add this text at the end of each file"}},
    {"lineSuffix", "/AF=", false, "", 19, 40,
     {9090, "Add right margin"}, {9210, "&Add right margin"},
     {9270, "Add this text as the right margin"}},
    {"RemoveLinesFoundIn", "/{=Remove lines", true, "", 1, 890,
     {9100, "Remove lines"}, {9220, "&Remove lines found in"},
     {9280, "Remove the lines found in this list"}},
    {"OnlyShowLinesFoundIn", "/{=Only show lines", true, "", 1, 870,
     {9110, "Only show lines"}, {9230, "&Only show lines found in"},
     {9290, "Only show the lines found in this list"}},
}};
// clang-format on

const TextKindEntry *textKindEntry(std::int32_t kind) {
  if (kind < 0 || kind >= static_cast<std::int32_t>(textKinds.size()))
    return nullptr;
  return &textKinds[static_cast<std::size_t>(kind)];
}

// A file's lines as one text, each line ended by CR LF, the last one too.
std::string linesOfFile(const std::string &storedName) {
  const std::string bytes = loadFileBytes(localPath(unquote(storedName)));
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8 + 2);
  // A byte-order mark an editor wrote is no part of the first line.
  for (const std::string &line : stringListFromText(utf8::withoutByteOrderMark(bytes))) {
    text += line;
    text += "\r\n";
  }
  return text;
}

} // namespace

std::optional<KindListing> textKindListing(std::int32_t kind) {
  const TextKindEntry *entry = textKindEntry(kind);
  if (!entry)
    return std::nullopt;
  return KindListing{{entry->title.id, entry->title.text}, entry->help};
}

namespace {

using TextField = NodeField<TStringObject>;
// The settings are kept a kind apart, each name after the kind's setting
// (`textKinds`); the text's setting is the kind's own, with the kind's first
// default, so it is remembered beside the table.
const TextField textFields[] = {
    {"text", &TStringObject::text, ""sv, ""},
    {"fileName", &TStringObject::fileName, ""sv, "Filename", 24},
    {"useString", &TStringObject::useString, true, "UseString", 24},
};

// The setting a field is remembered under for `kind`; empty for an unknown kind.
std::string textKindSetting(std::int32_t kind, std::string_view fieldName) {
  const TextKindEntry *entry = textKindEntry(kind);
  if (!entry)
    return {};
  return std::string(entry->settingName) +
         std::string(findField<TStringObject>(textFields, fieldName)->settingName);
}

} // namespace

std::span<const TextField> TStringObject::fields() { return textFields; }

std::unique_ptr<TStringObject> TStringObject::CreateDefault(std::int32_t kind) {
  auto node = std::make_unique<TStringObject>();
  node->kind = kind;
  applyFieldDefaults<TStringObject>(*node, fields());
  if (const TextKindEntry *entry = textKindEntry(kind)) {
    node->text = readStringSetting(entry->settingName, entry->defaultText);
    readFieldSettings<TStringObject>(*node, fields(), entry->settingName);
  }
  return node;
}

std::unique_ptr<TStringObject> TStringObject::CreateWith(std::int32_t kind, std::string text) {
  auto node = CreateDefault(kind);
  node->text = std::move(text);
  // The caller gives the text to use; a file last chosen in the dialog must
  // not silently take its place.
  node->useString = true;
  return node;
}

void TStringObject::rememberDefaults() const {
  const TextKindEntry *entry = textKindEntry(kind);
  if (!entry)
    return;
  writeStringSetting(entry->settingName, text);
  writeFieldSettings(*this, fields(), entry->settingName);
}

int TStringObject::iconIndex() const {
  const TextKindEntry *entry = textKindEntry(kind);
  return entry ? entry->icon : 1;
}

std::string TStringObject::getTitle() const {
  const TextKindEntry *entry = textKindEntry(kind);
  std::string title = entry ? entry->title.translated() : translate(9120, "Error");
  if (useString) {
    title += " [";
    title += escapeControlChars(text);
    title += "]";
  } else {
    title += translateFormat(9130, " from file [%s]", {fileName});
  }
  return title;
}

std::string TStringObject::generateCmdLine() const {
  const TextKindEntry *entry = textKindEntry(kind);
  // The options carry a text, never a file to read it from.
  if (!entry || (!entry->fixedCode && !useString))
    return TListObject::generateCmdLine();
  std::string line(entry->code);
  if (!entry->fixedCode)
    line += escapeControlCharsInEscapedText(text);
  return line;
}

std::string TStringObject::filterText() const {
  if (useString) {
    if (text.empty())
      throw Exception(Format("String for '%s' is blank", {shortTitle(*this)}));
    return decodeEscapes(text);
  }
  if (fileName.empty())
    throw Exception(Format("Filename for '%s' is blank", {shortTitle(*this)}));
  return linesOfFile(fileName);
}

std::unique_ptr<TFilter> TStringObject::add_this_filter(TFilterList &) {
  if (!textKindEntry(kind))
    raiseUnknownSetting(*this, "kind", kind);
  std::string added = filterText();
  switch (static_cast<TextPlace>(kind)) {
  case TextPlace::LineStart:
    return std::make_unique<TAddTextStartOrEndLine>(std::move(added), true);
  case TextPlace::FileStart:
    return std::make_unique<TAddAtStartOfFile>(std::move(added));
  case TextPlace::FileEnd:
    return std::make_unique<TAddAtEndOfFile>(std::move(added));
  case TextPlace::LineEnd:
    return std::make_unique<TAddTextStartOrEndLine>(std::move(added), false);
  case TextPlace::RemoveFound:
    return std::make_unique<TRemoveLinesFoundIn>(ReferenceText{added});
  case TextPlace::OnlyFound:
    return std::make_unique<TOnlyShowLinesFoundIn>(ReferenceText{added});
  }
  return nullptr;
}

std::string TStringObject::field_name() const {
  const TextKindEntry *entry = textKindEntry(kind);
  return entry ? entry->label.translated() : std::string();
}

std::string TStringObject::fieldHint() const {
  const TextKindEntry *entry = textKindEntry(kind);
  if (!entry)
    return {};
  return entry->hint.translated() + translate(9300, ". Right click for the popup menu");
}

std::string TStringObject::registryEntry() const {
  const TextKindEntry *entry = textKindEntry(kind);
  return entry ? std::string(entry->settingName) : std::string();
}

std::string TStringObject::registryEntryFilename() const {
  return textKindSetting(kind, "fileName");
}

std::string TStringObject::registryEntryUseString() const {
  return textKindSetting(kind, "useString");
}

void TStringObject::writeData(ComponentWriter &writer) const {
  TDescriptionObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TStringObject::readData(ComponentReader &reader) {
  TDescriptionObject::readData(reader);
  // The first file type kept two texts of the dialog here.
  if (reader.fileTypeRead() == 1) {
    reader.readString();
    reader.readString();
  }
  readFields(*this, reader, fields());
}

} // namespace marrowen

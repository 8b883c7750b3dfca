#include "filterlist/descriptionnodes.h"

#include "classlib/exceptions.h"
#include "engine/filter.h"
#include "engine/inputs.h"
#include "engine/outputs.h"
#include "filterlist/commentnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/ionodes.h"
#include "filterlist/node_records.h"
#include "filterlist/settings.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/recording_job.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// The common part as a file of `type` stores it: a text before type 6, no
// enabled flag before type 18.
std::string commonPart(int type, bool enabled = true) {
  std::string data;
  if (type < 6)
    data += str("old caption");
  if (type >= 18)
    data += boolean(enabled);
  return data;
}

// Runs `text` as one file through the filters of `nodes`, one after the other.
std::string runNodes(const std::vector<TListObject *> &nodes, std::string_view text,
                     std::size_t chunkSize = 0) {
  return runInChunks(
      [&] {
        TFilterList list;
        std::unique_ptr<TFilter> head;
        for (TListObject *node : nodes) {
          std::unique_ptr<TFilter> filter = node->add_filter(list);
          if (!filter)
            throw Exception("no filter");
          if (head)
            head->lastFilter()->setNext(std::move(filter));
          else
            head = std::move(filter);
        }
        return head;
      },
      text, chunkSize);
}

std::string run(TListObject &node, std::string_view text) { return runNodes({&node}, text); }

// ---------------------------------------------------------------------------
// Built-in filter node

struct KindCase {
  int kind;
  const char *title;
  const char *commandLine;
  int icon;
  int help;
};

const KindCase kindCases[] = {
    {1, "Convert ASCII to EBCDIC", "/PA", 1, 190},
    {2, "Convert EBCDIC to ASCII", "/PE", 1, 210},
    {3, "Convert ANSI to OEM", "/HA", 1, 180},
    {4, "Convert OEM to ANSI", "/HO", 1, 250},
    {5, "Convert to UPPERCASE", "/CU", 15, 330},
    {6, "Convert to lowercase", "/CL", 15, 240},
    {7, "Convert to Title Case", "/CT", 15, 310},
    {8, "Convert to Sentence Case", "/CS", 15, 270},
    {9, "Convert to tOGGLE cASE", "/CI", 15, 320},
    {10, "Remove blank lines", "/DL", 1, 690},
    {11, "Remove blanks from End of Line", "/DE", 1, 700},
    {12, "Remove blanks from Start of Line", "/DS", 1, 710},
    {13, "Remove binary characters", "/DB", 1, 680},
    {14, "Remove ANSI codes", "/DA", 1, 660},
    {15, "Convert IBM drawing characters", "/CM", 1, 230},
    {16, "Remove HTML and SGML", "/DH", 1, 760},
    {17, "Remove backspaces", "/DK", 1, 670},
    {18, "Resolve backspaces", "/DR", 1, 780},
    {19, "Remove multiple whitespace", "/DW", 1, 770},
    {20, "UUEncode", "/C1", 1, 480},
    {21, "Hex Encode", "/P0", 1, 380},
    {22, "Hex Decode", "/P1", 1, 370},
    {23, "MIME Encode (Base 64)", "/C5", 1, 420},
    {24, "MIME Decode (Base 64)", "/C6", 1, 410},
    {25, "MIME Encode (Quoted printable)", "/C7", 1, 440},
    {26, "MIME Decode (Quoted printable)", "/C8", 1, 430},
    {27, "UUDecode", "/C2", 1, 470},
    {28, "Extract email addresses", "/C0", 7, 350},
    {29, "Unscramble (ROT13)", "/PU", 1, 460},
    {30, "Hex dump", "/PH", 1, 840},
    {31, "Error: Use new Remove duplicate lines function",
     "/{=Error: Use new Remove duplicate lines function", 1, 730},
    {32, "XXEncode", "/C3", 1, 500},
    {33, "XXDecode", "/C4", 1, 490},
    {34, "Reverse line order", "/P4", 1, 900},
    {35, "Remove email headers", "/DM", 1, 450},
    {36, "Decimal dump", "/PD", 1, 820},
    {37, "HTTP Encode", "/P2", 1, 400},
    {38, "HTTP Decode", "/P3", 1, 390},
    {39, "Randomize lines", "/CZ", 1, 880},
    {40, "Create word list", "/CW", 1, 300},
    {41, "Reverse each line", "/CV", 1, 910},
    {42, "Convert to RanDOm case", "/CR", 15, 260},
    {43, "Extract URLs", "/C9", 1, 360},
    {44, "ANSI to Unicode", "/HN", 1, 1210},
    {45, "Unicode to ANSI", "/HC", 1, 1220},
    {46, "Display debug window", "/CD", 20, 1230},
    {47, "Word concordance", "/{=Word concordance", 1, 0},
    {48, "Delete all", "/D-", 1, 0},
    // Outside the table.
    {0, "<error>", "/{=<error>", 1, 0},
    {49, "<error>", "/{=<error>", 1, 0},
    {-1, "<error>", "/{=<error>", 1, 0},
};

TEST(DescriptionObject, TitlesCodesImagesAndHelpOfEveryKind) {
  for (const KindCase &c : kindCases) {
    SCOPED_TRACE(c.kind);
    auto node = TDescriptionObject::CreateWith(c.kind);
    EXPECT_EQ(node->getTitle(), c.title);
    EXPECT_EQ(node->printText("    "), std::string(c.title) + "\r\n");
    EXPECT_EQ(node->generateCmdLine(), c.commandLine);
    EXPECT_EQ(node->iconIndex(), c.icon);
    EXPECT_EQ(node->helpContext(), c.help);
    EXPECT_FALSE(node->canParent());
    EXPECT_EQ(node->needGatherer(), ChildChain::Inline);
  }
  EXPECT_EQ(descriptionKindCode(5), "/CU");
  EXPECT_EQ(descriptionKindCode(31), "");
  EXPECT_EQ(descriptionKindCode(0), "");
  EXPECT_EQ(TDescriptionObject::CreateWith(TDescriptionKind::DeleteAll)->kind, 48);
}

TEST(DescriptionObject, DescriptionsJoinTheKindsTextAndItsNote) {
  auto text = [](int kind) { return TDescriptionObject::CreateWith(kind)->description(); };
  EXPECT_EQ(text(5),
            "Forces all text to UPPERCASE. This routine is ANSI-aware (handles foreign character "
            "sets)");
  EXPECT_EQ(text(19),
            "Removes sequences of multiple spaces or tabs and replaces them with a single space");
  EXPECT_EQ(text(31), "Please replace this filter with the new Remove Duplicate Lines filter");
  EXPECT_EQ(text(48), "Delete all text. Useful for sub filters.");
  EXPECT_EQ(text(0), "<error>");
  EXPECT_EQ(text(37).rfind("HTTP Encode text. ", 0), 0u);
  EXPECT_EQ(text(38).rfind("HTTP Decode text. ", 0), 0u);
  // Each pair shares its note.
  for (auto [a, b] : {std::pair{1, 2}, {3, 4}, {20, 27}, {21, 22}, {23, 24}, {25, 26}, {32, 33}}) {
    SCOPED_TRACE(a);
    const std::string first = text(a), second = text(b);
    const std::size_t noteA = first.find(". ") + 1, noteB = second.find(". ") + 1;
    EXPECT_EQ(first.substr(noteA), second.substr(noteB));
    EXPECT_GT(first.size() - noteA, 20u);
  }
  for (int kind = 1; kind <= 48; ++kind)
    EXPECT_FALSE(text(kind).empty()) << kind;
}

// What each kind makes of a small text, fed whole and byte by byte.
TEST(DescriptionObject, EveryKindBuildsItsFilter) {
  struct Case {
    int kind;
    std::string in, out;
  };
  const Case cases[] = {
      {1, "AZ az09", "\xC1\xE9@\x81\xA9\xF0\xF9"},
      {2, "\xC1\xE9@\x81\xA9\xF0\xF9", "AZ az09"},
      {3, "caf\xE9", "caf\x82"},
      {4, "caf\x82", "caf\xE9"},
      {5, "aB\xE9", "AB\xC9"},
      {6, "aB\xC9", "ab\xE9"},
      {7, "hello wORLD", "Hello World"},
      {8, "one. two", "One. Two"},
      {9, "aB", "Ab"},
      {10, "a\r\n\r\nb\r\n", "a\r\nb\r\n"},
      {11, "a \t\r\nb", "a\r\nb"},
      {12, " \ta\r\n b", "a\r\nb"},
      {13,
       "a\x01"
       "b\x7F\t\r\n",
       "ab\r\n"},
      {14, "\x1B[31mred\x1B[0m", "red"},
      {15, "\xC4\xB3\xC5", "-|+"},
      {16, "<b>bold</b> text", "bold text"},
      {17, "ab\bc", "abc"},
      {18, "ab\bc", "ac"},
      {19, "a  \t b", "a b"},
      {21, "Hi", "4869"},
      {22, "4869", "Hi"},
      {23, "Hi", "SGk="},
      {24, "SGk=", "Hi"},
      {25, "caf\xE9", "caf=E9=\r\n"},
      {26, "caf=E9", "caf\xE9"},
      {28, "write to me@x.org now", "me@x.org\r\n"},
      {29, "Hello", "Uryyb"},
      {35, "From: a\r\nTo: b\r\n\r\nbody\r\n", "body\r\n"},
      {37, "a b/", "a+b%2f"},
      {38, "a+b%2f", "a b/"},
      {40, "Hello, World", "Hello\r\nWorld\r\n"},
      {41, "abc\r\nde", "cba\r\ned"},
      {43, "see http://a.b/c now", "http://a.b/c\r\n"},
      {44, "Hi", std::string("H\0i\0", 4)},
      {45, std::string("H\0i\0", 4), "Hi"},
      {46, "as it is\r\n", "as it is\r\n"},
      {48, "abc\r\n", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.kind);
    auto node = TDescriptionObject::CreateWith(c.kind);
    EXPECT_EQ(printable(runNodes({node.get()}, c.in)), printable(c.out));
    EXPECT_EQ(printable(runNodes({node.get()}, c.in, 1)), printable(c.out));
  }
}

TEST(DescriptionObject, EncodersAndDecodersOfOneSchemeMatch) {
  const std::string data = std::string("Bytes \x00\x01\xFF and a longer line of text that needs "
                                       "more than one encoded line to hold it.\r\n",
                                       86);
  for (auto [encode, decode] :
       {std::pair{20, 27}, {32, 33}, {21, 22}, {23, 24}, {25, 26}, {37, 38}, {44, 45}}) {
    SCOPED_TRACE(encode);
    auto encoder = TDescriptionObject::CreateWith(encode);
    auto decoder = TDescriptionObject::CreateWith(decode);
    const std::string roundTrip = runNodes({encoder.get(), decoder.get()}, data);
    // Only the text survives the way through Unicode.
    const std::string expected = encode == 44 ? roundTrip.substr(0, 6) : data;
    EXPECT_EQ(printable(roundTrip.substr(0, expected.size())), printable(expected));
    if (encode == 44) {
      EXPECT_EQ(expected, "Bytes ");
    } else {
      EXPECT_EQ(roundTrip.size(), data.size());
    }
  }
  // The UU and XX kinds are not each other's.
  auto uu = TDescriptionObject::CreateWith(20);
  auto xx = TDescriptionObject::CreateWith(32);
  EXPECT_EQ(run(*uu, "x").rfind("UUEncoded attachment", 0), 0u);
  EXPECT_EQ(run(*xx, "x").rfind("XXEncoded attachment", 0), 0u);
  auto xxDecode = TDescriptionObject::CreateWith(33);
  EXPECT_EQ(runNodes({uu.get(), xxDecode.get()}, "some text"), "");
}

TEST(DescriptionObject, DumpsAndRandomCaseKeepTheText) {
  auto hex = TDescriptionObject::CreateWith(30);
  EXPECT_EQ(run(*hex, "Hi").rfind("00000000  48 69", 0), 0u);
  auto decimal = TDescriptionObject::CreateWith(36);
  EXPECT_EQ(run(*decimal, "Hi").rfind("0000000000  072 105", 0), 0u);
  auto random = TDescriptionObject::CreateWith(42);
  const std::string in = "Some Mixed Text, 123\r\n";
  std::string out = run(*random, in);
  ASSERT_EQ(out.size(), in.size());
  for (std::size_t i = 0; i < in.size(); ++i)
    EXPECT_EQ(std::tolower(static_cast<unsigned char>(out[i])),
              std::tolower(static_cast<unsigned char>(in[i])));
}

// A kind that no filter answers to stops the build, naming the node, rather
// than leaving the node out of a list that then reports success.
TEST(DescriptionObject, KindsOutOfRangeRaiseAndKeepTheirValue) {
  TFilterList list;
  EXPECT_EQ(TDescriptionObject::CreateWith(47)->add_filter(list), nullptr);
  for (int kind : {0, 49, -5}) {
    auto node = TDescriptionObject::CreateWith(kind);
    try {
      node->add_filter(list);
      ADD_FAILURE() << kind;
    } catch (const Exception &e) {
      EXPECT_EQ(e.message(), "Error: '" + shortTitle(*node) + "' has an unknown kind (" +
                                 std::to_string(kind) + ")");
    }
    EXPECT_EQ(node->kind, kind);
  }
}

TEST(DescriptionObject, LineBufferKindsWorkOnWholeFiles) {
  // The obsolete duplicates kind still removes repeated lines, case counting.
  auto duplicates = TDescriptionObject::CreateWith(31);
  EXPECT_EQ(run(*duplicates, "a\r\na\r\nA\r\nb\r\nb"), "a\r\nA\r\nb\r\n");
  auto reverse = TDescriptionObject::CreateWith(34);
  EXPECT_EQ(run(*reverse, "one\r\ntwo\r\nthree\r\n"), "three\r\ntwo\r\none\r\n");
  auto randomize = TDescriptionObject::CreateWith(39);
  std::string in;
  for (int i = 0; i < 50; ++i)
    in += "line " + std::to_string(i) + "\r\n";
  const std::string out = run(*randomize, in);
  auto sortedLines = [](const std::string &text) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
      const std::size_t end = text.find("\r\n", pos);
      lines.push_back(text.substr(pos, end - pos));
      pos = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  };
  EXPECT_EQ(sortedLines(out), sortedLines(in));
}

TEST(DescriptionObject, ObsoleteConcordanceLoadsShowsAndAddsNothingToTheChain) {
  auto node = readNodeRecord<TDescriptionObject>(
      nodeRecord("TDescriptionObject", "DescriptionObject", true, boolean(true) + int8(47)), 47);
  EXPECT_EQ(node->getTitle(), "Word concordance");
  EXPECT_EQ(node->generateCmdLine(), "/{=Word concordance");

  TFilterList list;
  makeList(list);
  addFilter(list, std::move(node));
  addFilter(list, TDescriptionObject::CreateWith(5));
  EXPECT_EQ(runInnerChain(list, "abc"), "ABC");
}

TEST(DescriptionObject, AutomationAsksOnceAboutAnEnabledDebugWindow) {
  struct Case {
    int kind;
    bool enabled;
    Answer answer;
    bool asked, result, enabledAfter;
  };
  const Case cases[] = {
      {46, true, Answer::Yes, true, true, false},    {46, true, Answer::No, true, true, true},
      {46, true, Answer::Cancel, true, false, true}, {46, false, Answer::Yes, false, true, false},
      {5, true, Answer::Yes, false, true, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(static_cast<int>(c.answer)));
    auto node = TDescriptionObject::CreateWith(c.kind);
    node->setEnabled(c.enabled);
    std::vector<std::string> questions;
    EXPECT_EQ(node->automationCheck([&](const std::string &text) {
      questions.push_back(text);
      return c.answer;
    }),
              c.result);
    EXPECT_EQ(questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(questions[0], "Debug filter is active: Disable it?");
    }
    EXPECT_EQ(node->getEnabled(), c.enabledAfter);
  }
  // The number and text nodes keep the built-in node's answer; their kinds
  // never name the debug window.
  TNumberObject number;
  number.kind = 0;
  EXPECT_TRUE(number.automationCheck([](const std::string &) -> Answer {
    ADD_FAILURE();
    return Answer::Cancel;
  }));
}

TEST(DescriptionObject, RecordHoldsTheKindAfterTheCommonPart) {
  auto node = TDescriptionObject::CreateWith(5);
  const std::string record =
      nodeRecord("TDescriptionObject", "DescriptionObject", true, boolean(true) + int8(5));
  EXPECT_EQ(recordOf(*node), record);
  node->setEnabled(false);
  node->kind = 200;
  EXPECT_EQ(recordOf(*node), nodeRecord("TDescriptionObject", "DescriptionObject", false,
                                        boolean(false) + int16(200)));

  for (int type : {1, 5, 6, 17, 18, 28, 47}) {
    SCOPED_TRACE(type);
    auto read = readNodeRecord<TDescriptionObject>(
        nodeRecord("TDescriptionObject", "DescriptionObject", true, commonPart(type) + int8(41)),
        type);
    EXPECT_EQ(read->kind, 41);
    EXPECT_TRUE(read->getEnabled());
    EXPECT_EQ(recordOf(*read), nodeRecord("TDescriptionObject", "DescriptionObject", true,
                                          boolean(true) + int8(41)));
  }
  auto disabled = readNodeRecord<TDescriptionObject>(
      nodeRecord("TDescriptionObject", "DescriptionObject", false, boolean(false) + int8(3)), 47);
  EXPECT_FALSE(disabled->getEnabled());
}

// ---------------------------------------------------------------------------
// Number node

struct NumberCase {
  int kind;
  const char *title;
  const char *commandLine;
  const char *label;
  const char *hint;
  const char *setting;
  int defaultNumber;
  int icon;
  int help;
  bool selects;
};

const NumberCase numberCases[] = {
    {0, "Convert Tabs to 7 spaces", "/TS7", "&Spaces per Tab", "Use this many spaces per tab",
     "spacesPerTab", 8, 1, 290, false},
    {1, "Convert 7 spaces to Tabs", "/ST7", "&Spaces per Tab", "Use this many spaces per tab",
     "spacesPerTab", 8, 1, 280, false},
    {2, "Word wrap (column width 7)", "/WW7", "&Column width", nullptr, "columnWidth", 80, 1, 110,
     false},
    {3, "Pad to width of 7", "/{=Pad to width of 7", "&Line width", nullptr, "padWidth", 80, 1, 90,
     false},
    {4, "Centre in width of 7", "/{=Centre in width of 7", "&Center in width", nullptr,
     "CenterInWidth", 80, 12, 80, false},
    {5, "Right justify in width of 7", "/{=Right justify in width of 7", "&Right justify in width",
     nullptr, "RightJustifyInWidth", 80, 9, 100, false},
    {6, "Select CSV field 7", "/{=Select CSV field 7", "&Select CSV field number", nullptr,
     "number.CSVfield", 8, 1, 1410, true},
    {7, "Select tab-delimited field 7", "/{=Select tab-delimited field 7",
     "&Select tab-delimited field number", nullptr, "number.tabDelimited", 8, 1, 1420, true},
    {8, "Truncate to width 7", "/{=Truncate to width 7", "&Truncate to width of", nullptr,
     "number.truncateWidth", 80, 1, 1380, false},
    {9, "Force to width 7", "/{=Force to width 7", "&Force to width of",
     "Force all lines to be this width", "number.forceWidth", 80, 1, 1460, false},
};

TEST(NumberObject, TitlesCodesAndDialogTextsOfEveryKind) {
  for (const NumberCase &c : numberCases) {
    SCOPED_TRACE(c.kind);
    auto node = TNumberObject::CreateWith(c.kind, 7);
    EXPECT_EQ(node->getTitle(), c.title);
    EXPECT_EQ(node->printText("  "), std::string(c.title) + "\r\n");
    EXPECT_EQ(node->generateCmdLine(), c.commandLine);
    EXPECT_EQ(node->field_name(), c.label);
    if (c.hint) {
      EXPECT_EQ(node->fieldHint(), c.hint);
    }
    EXPECT_FALSE(node->fieldHint().empty());
    EXPECT_FALSE(node->description().empty());
    EXPECT_EQ(node->registryEntry(), c.setting);
    EXPECT_EQ(node->iconIndex(), c.icon);
    EXPECT_EQ(node->helpContext(), c.help);
    EXPECT_EQ(node->canParent(), c.selects);
    EXPECT_EQ(node->needGatherer(), c.selects ? ChildChain::Gathered : ChildChain::Inline);
  }
  EXPECT_EQ(TNumberObject::CreateWith(1, 8)->description(),
            "Reduces spaces into the appropriate number of tabs. There are usually 8 spaces per "
            "tab. This filter is used to make files smaller");

  for (int kind : {-1, 10, 46}) {
    SCOPED_TRACE(kind);
    auto node = TNumberObject::CreateWith(kind, 7);
    EXPECT_EQ(node->getTitle(), "<error>");
    EXPECT_EQ(node->generateCmdLine(), "/{=<error>");
    EXPECT_EQ(node->field_name(), "");
    EXPECT_EQ(node->helpContext(), 0);
    EXPECT_FALSE(node->canParent());
    EXPECT_EQ(node->needGatherer(), ChildChain::Inline);
    TFilterList list;
    EXPECT_THROW(node->add_filter(list), Exception);
    EXPECT_EQ(node->kind, kind);
  }
}

TEST(NumberObject, NewNodesStartFromTheRememberedNumberOfTheirKind) {
  for (const NumberCase &c : numberCases)
    EXPECT_EQ(TNumberObject::CreateDefault(c.kind)->number, c.defaultNumber) << c.kind;
  EXPECT_EQ(TNumberObject::CreateDefault(12)->number, 80);

  // Both tab conversions share one setting.
  TNumberObject::CreateWith(1, 3)->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("spacesPerTab", 0), 3);
  EXPECT_EQ(TNumberObject::CreateDefault(0)->number, 3);
  EXPECT_EQ(TNumberObject::CreateDefault(1)->number, 3);
  TNumberObject::CreateWith(9, 120)->rememberDefaults();
  EXPECT_EQ(TNumberObject::CreateDefault(9)->number, 120);
  EXPECT_EQ(TNumberObject::CreateDefault(8)->number, 80);
  // An unknown kind has nowhere to remember its number.
  TNumberObject::CreateWith(12, 5)->rememberDefaults();
  EXPECT_EQ(TNumberObject::CreateDefault(12)->number, 80);
}

TEST(NumberObject, RecordHoldsKindThenNumber) {
  auto node = TNumberObject::CreateWith(2, 200);
  EXPECT_EQ(recordOf(*node), nodeRecord("TNumberObject", "NumberObject", true,
                                        boolean(true) + int8(2) + int16(200)));

  struct Case {
    int type;
    std::string data;
  };
  const Case cases[] = {
      // The first file type kept two dialog texts between kind and number.
      {1, commonPart(1) + int8(2) + str("x") + str("y") + int16(200)},
      {2, commonPart(2) + int8(2) + int16(200)},
      {17, commonPart(17) + int8(2) + int16(200)},
      {30, commonPart(30) + int8(2) + int16(200)},
      {47, commonPart(47) + int8(2) + int16(200)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.type);
    auto read = readNodeRecord<TNumberObject>(
        nodeRecord("TNumberObject", "NumberObject", true, c.data), c.type);
    EXPECT_EQ(read->kind, 2);
    EXPECT_EQ(read->number, 200);
    EXPECT_EQ(recordOf(*read), recordOf(*node));
  }
}

TEST(NumberObject, EachKindBuildsItsFilter) {
  struct Case {
    int kind, number;
    const char *in, *out;
  };
  const Case cases[] = {
      {0, 4, "a\tb\r\n\tc", "a   b\r\n    c"},
      {1, 4, "a   b   c\r\n", "a\tb\tc\r\n"},
      {2, 10, "one two three four", "one two \r\nthree four"},
      {3, 4, "ab\r\nabcdef\r\n", "ab  \r\nabcdef\r\n"},
      {4, 6, "ab\r\n", "  ab\r\n"},
      {5, 4, "ab\r\nabcdef\r\n", "  ab\r\nabcdef\r\n"},
      {8, 3, "ab\r\nabcdef\r\n", "ab\r\nabc\r\n"},
      {9, 3, "ab\r\nabcdef\r\n", "ab \r\nabc\r\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.kind);
    auto node = TNumberObject::CreateWith(c.kind, c.number);
    EXPECT_EQ(printable(runNodes({node.get()}, c.in)), printable(c.out));
    EXPECT_EQ(printable(runNodes({node.get()}, c.in, 1)), printable(c.out));
  }
}

TEST(NumberObject, WidthsTheFiltersRefuseStopTheBuild) {
  EXPECT_EQ(buildError(*TNumberObject::CreateWith(0, 0)), "Tab width must be at least 1 (is 0)");
  EXPECT_NE(buildError(*TNumberObject::CreateWith(1, -3)), "(built)");
  EXPECT_NE(buildError(*TNumberObject::CreateWith(2, 0)), "(built)");
  EXPECT_EQ(buildError(*TNumberObject::CreateWith(3, -1)), "Line width must be at least 0 (is -1)");
  // A line width beyond the dialog's range, as a list written by another
  // program holds it, builds and runs.
  EXPECT_EQ(buildError(*TNumberObject::CreateWith(9, 2147483647)), "(built)");
  auto stored = readNodeRecord<TNumberObject>(
      nodeRecord("TNumberObject", "NumberObject", true, commonPart(47) + int8(3) + int32(150000)),
      47);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->number, 150000);
  EXPECT_TRUE(runNodes({stored.get()}, "ab\r\n") == "ab" + std::string(149998, ' ') + "\r\n");
  auto disabled = TNumberObject::CreateWith(0, 0);
  disabled->setEnabled(false);
  TFilterList list;
  EXPECT_EQ(disabled->add_filter(list), nullptr);
}

// ---------------------------------------------------------------------------
// Text node

struct TextCase {
  int kind;
  const char *title;
  const char *commandLine;
  const char *label;
  const char *hint;
  const char *setting;
  int icon;
  int help;
};

const TextCase textCases[] = {
    {0, "Add left margin [a\\tb]", "/AS=a\\tb", "&Add left margin",
     "Add this text as the left margin. Right click for the popup menu", "linePrefix", 18, 60},
    {1, "Add header [a\\tb]", "/AT=a\\tb", "&Add header", nullptr, "fileStart", 16, 50},
    {2, "Add footer [a\\tb]", "/AE=a\\tb", "&Add footer", nullptr, "fileEnd", 17, 70},
    {3, "Add right margin [a\\tb]", "/AF=a\\tb", "&Add right margin", nullptr, "lineSuffix", 19,
     40},
    {4, "Remove lines [a\\tb]", "/{=Remove lines", "&Remove lines found in", nullptr,
     "RemoveLinesFoundIn", 1, 890},
    {5, "Only show lines [a\\tb]", "/{=Only show lines", "&Only show lines found in", nullptr,
     "OnlyShowLinesFoundIn", 1, 870},
};

TEST(StringObject, TitlesCodesAndDialogTextsOfEveryKind) {
  for (const TextCase &c : textCases) {
    SCOPED_TRACE(c.kind);
    TStringObject node;
    node.kind = c.kind;
    node.text = "a\tb"; // a tab byte shows as its escape
    EXPECT_EQ(node.getTitle(), c.title);
    EXPECT_EQ(node.printText(""), std::string(c.title) + "\r\n");
    EXPECT_EQ(node.generateCmdLine(), c.commandLine);
    EXPECT_EQ(node.field_name(), c.label);
    if (c.hint) {
      EXPECT_EQ(node.fieldHint(), c.hint);
    }
    const std::string hint = node.fieldHint();
    EXPECT_EQ(hint.substr(hint.size() - 32), ". Right click for the popup menu");
    EXPECT_EQ(node.registryEntry(), c.setting);
    EXPECT_EQ(node.registryEntryFilename(), std::string(c.setting) + "Filename");
    EXPECT_EQ(node.registryEntryUseString(), std::string(c.setting) + "UseString");
    EXPECT_EQ(node.iconIndex(), c.icon);
    EXPECT_EQ(node.helpContext(), c.help);
    EXPECT_TRUE(node.canParent());
    EXPECT_EQ(node.needGatherer(), ChildChain::Gathered);
  }
  TStringObject node;
  node.kind = 1;
  node.text = "ignored";
  node.useString = false;
  node.fileName = "c:\\lists\\head.txt";
  EXPECT_EQ(node.getTitle(), "Add header from file [c:\\lists\\head.txt]");
  // The options carry a text, never a file to read it from.
  EXPECT_EQ(node.generateCmdLine(), "/{=Add header from file [c:\\lists\\head.txt]");
  node.kind = 6;
  EXPECT_EQ(node.getTitle(), "Error from file [c:\\lists\\head.txt]");
  EXPECT_EQ(node.generateCmdLine(), "/{=Error from file [c:\\lists\\head.txt]");
  EXPECT_EQ(node.registryEntry(), "");
  TFilterList list;
  EXPECT_THROW(node.add_filter(list), Exception);
}

TEST(StringObject, EscapedTextStaysAsTypedInTitleAndCommandLine) {
  auto node = TStringObject::CreateWith(0, "\\t");
  EXPECT_EQ(node->getTitle(), "Add left margin [\\t]");
  EXPECT_EQ(node->generateCmdLine(), "/AS=\\t");
  EXPECT_EQ(run(*node, "a\r\nb"), "\ta\r\n\tb");
  node->text = "\r\n";
  EXPECT_EQ(node->getTitle(), "Add left margin [\\r\\n]");
}

TEST(StringObject, NewNodesStartFromTheRememberedValuesOfTheirKind) {
  for (int kind = 0; kind < 6; ++kind) {
    SCOPED_TRACE(kind);
    auto node = TStringObject::CreateDefault(kind);
    EXPECT_EQ(node->kind, kind);
    EXPECT_EQ(node->text, kind == 0 ? "> " : "");
    EXPECT_EQ(node->fileName, "");
    EXPECT_TRUE(node->useString);
  }
  TStringObject node;
  node.kind = 3;
  node.text = " <";
  node.fileName = "suffix.txt";
  node.useString = false;
  node.rememberDefaults();
  EXPECT_EQ(readStringSetting("lineSuffix", ""), " <");
  EXPECT_EQ(readStringSetting("lineSuffixFilename", ""), "suffix.txt");
  EXPECT_FALSE(readBoolSetting("lineSuffixUseString", true));
  auto fresh = TStringObject::CreateDefault(3);
  EXPECT_EQ(recordOf(*fresh), recordOf(node));
  EXPECT_EQ(TStringObject::CreateDefault(0)->text, "> ");

  // A text given by the command line is used, whatever the dialog last chose.
  auto given = TStringObject::CreateWith(3, "!");
  EXPECT_EQ(given->text, "!");
  EXPECT_TRUE(given->useString);
  EXPECT_EQ(given->fileName, "suffix.txt");
  EXPECT_EQ(run(*given, "a\r\n"), "a!\r\n");
}

TEST(StringObject, RecordAndOldFileTypes) {
  TStringObject node;
  node.kind = 2;
  node.text = "end";
  node.fileName = "f.txt";
  node.useString = false;
  const std::string record =
      nodeRecord("TStringObject", "StringObject", true,
                 boolean(true) + int8(2) + str("end") + str("f.txt") + boolean(false));
  EXPECT_EQ(recordOf(node), record);
  auto read = readNodeRecord<TStringObject>(record, 47);
  EXPECT_EQ(recordOf(*read), record);

  struct Case {
    int type;
    std::string data;
    const char *fileName;
    bool useString;
  };
  const Case cases[] = {
      {1, commonPart(1) + int8(2) + str("x") + str("y") + str("end"), "", true},
      {17, commonPart(17) + int8(2) + str("end"), "", true},
      {23, commonPart(23) + int8(2) + str("end"), "", true},
      {24, commonPart(24) + int8(2) + str("end") + str("f.txt") + boolean(false), "f.txt", false},
      {44, commonPart(44) + int8(2) + str("end") + str("") + boolean(true), "", true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.type);
    auto old = readNodeRecord<TStringObject>(
        nodeRecord("TStringObject", "StringObject", true, c.data), c.type);
    EXPECT_EQ(old->kind, 2);
    EXPECT_EQ(old->text, "end");
    EXPECT_EQ(old->fileName, c.fileName);
    EXPECT_EQ(old->useString, c.useString);
  }
}

TEST(StringObject, EachPlaceAddsTheDecodedText) {
  struct Case {
    int kind;
    const char *text, *in, *out;
  };
  const Case cases[] = {
      {0, "> ", "a\r\nb\r\n", "> a\r\n> b\r\n"},
      {1, "head\\r\\n", "a\r\n", "head\r\na\r\n"},
      {2, "\\r\\nfoot", "a", "a\r\nfoot"},
      {3, "\\x21", "a\r\nb", "a!\r\nb!"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.kind);
    auto node = TStringObject::CreateWith(c.kind, c.text);
    EXPECT_EQ(printable(runNodes({node.get()}, c.in)), printable(c.out));
    EXPECT_EQ(printable(runNodes({node.get()}, c.in, 1)), printable(c.out));
  }
}

TEST(StringObject, BadTextsAndMissingFilesStopTheBuild) {
  auto node = TStringObject::CreateWith(0, "");
  EXPECT_EQ(buildError(*node), "String for 'Add left margin []' is blank");
  node->text = "\\x4";
  EXPECT_EQ(buildError(*node), "\\xHH Expecting 2 trailing hex digits");
  node->text = "ok";
  node->useString = false;
  EXPECT_EQ(buildError(*node), "Filename for 'Add left margin from file []' is blank");
  node->fileName = "/no/such/folder/list.txt";
  EXPECT_EQ(buildError(*node), "Cannot open file /no/such/folder/list.txt");
  node->setEnabled(false);
  TFilterList list;
  EXPECT_EQ(node->add_filter(list), nullptr);
}

TEST(StringObject, FileTextIsItsLinesEachEndedByCrLfWithoutEscapeDecoding) {
  TempFolder folder;
  writeFile(folder.file("head.txt"), "one\\t\ntwo\r\nthree\rlast");
  TStringObject node;
  node.kind = 1;
  node.useString = false;
  node.fileName = folder.file("head.txt");
  EXPECT_EQ(node.filterText(), "one\\t\r\ntwo\r\nthree\r\nlast\r\n");
  EXPECT_EQ(run(node, "body"), "one\\t\r\ntwo\r\nthree\r\nlast\r\nbody");
  // One pair of enclosing quotes is dropped.
  node.fileName = "\"" + folder.file("head.txt") + "\"";
  EXPECT_EQ(node.filterText(), "one\\t\r\ntwo\r\nthree\r\nlast\r\n");
  // A path stored by the Windows program opens without its drive, with "/".
  std::string windowsPath = "c:" + folder.file("head.txt");
  std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
  node.fileName = "\"" + windowsPath + "\"";
  EXPECT_EQ(node.filterText(), "one\\t\r\ntwo\r\nthree\r\nlast\r\n");
  EXPECT_EQ(node.fileName, "\"" + windowsPath + "\"");
  // An empty file adds nothing, and is no error.
  writeFile(folder.file("empty.txt"), "");
  node.fileName = folder.file("empty.txt");
  EXPECT_EQ(run(node, "body"), "body");
}

TEST(StringObject, ChildrenWorkOnTheAddedText) {
  TFilterList list;
  makeList(list);
  addFilter(list, TStringObject::CreateWith(1, "header\\r\\n"));
  addFilter(list, TDescriptionObject::CreateWith(5), 2);
  EXPECT_EQ(runInnerChain(list, "body\r\n"), "HEADER\r\nbody\r\n");
}

TEST(NumberObject, FieldSelectorsRunTheirChildrenOnTheField) {
  struct Case {
    int kind, number;
    const char *in, *out;
  };
  const Case cases[] = {
      {6, 2, "a,b,c\r\n\"x,y\",z\r\n", "a,B,c\r\n\"x,y\",Z\r\n"},
      {6, 4, "a,b,c\r\n", "a,b,c\r\n"},
      {7, 2, "a\tb,c\td\r\n", "a\tB,C\td\r\n"},
      {7, 1, "a,b\tc\r\n", "A,B\tc\r\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + c.in);
    TFilterList list;
    makeList(list);
    addFilter(list, TNumberObject::CreateWith(c.kind, c.number));
    addFilter(list, TDescriptionObject::CreateWith(5), 2);
    EXPECT_EQ(printable(runInnerChain(list, c.in)), printable(c.out));
  }
  // Without children the line stays as it is.
  auto alone = TNumberObject::CreateWith(6, 2);
  EXPECT_EQ(run(*alone, "a,b,c\r\n"), "a,b,c\r\n");
}

TEST(StringObject, LinesFoundInTheTextOrTheFileAreRemovedOrKept) {
  const std::string in = "x\r\nz\r\ny\r\nx \r\nX\r\n";
  auto remove = TStringObject::CreateWith(4, "x\\ny");
  EXPECT_EQ(run(*remove, in), "z\r\nx \r\nX\r\n");
  auto only = TStringObject::CreateWith(5, "x\\r\\ny");
  EXPECT_EQ(run(*only, in), "x\r\ny\r\n");

  TempFolder folder;
  writeFile(folder.file("list.txt"), "z\nx \n");
  remove->useString = false;
  remove->fileName = folder.file("list.txt");
  EXPECT_EQ(run(*remove, in), "x\r\ny\r\nX\r\n");
}

// ---------------------------------------------------------------------------
// Whole filter files

TEST(DescriptionNodes, FilterFileSavesLoadsAndSavesTheSameBytes) {
  TFilterList list;
  makeList(list);
  for (int kind : {1, 5, 31, 46, 47, 48, 0})
    addFilter(list, TDescriptionObject::CreateWith(kind));
  for (int kind = 0; kind < 10; ++kind)
    addFilter(list, TNumberObject::CreateWith(kind, kind * 40));
  addFilter(list, TNumberObject::CreateWith(6, 3));
  addFilter(list, TDescriptionObject::CreateWith(6), 2);
  for (int kind = 0; kind < 6; ++kind) {
    auto text = TStringObject::CreateWith(kind, std::string(300, 'x') + "\\t\t");
    text->fileName = "c:\\temp\\list " + std::to_string(kind) + ".txt";
    text->useString = kind % 2 == 0;
    text->setEnabled(kind != 3);
    addFilter(list, std::move(text));
  }
  const std::string saved = filterFileBytes(list);
  TFilterList loaded;
  loaded.loadFromBytes(saved, "nodes.fll");
  ASSERT_EQ(loaded.count(), list.count());
  for (int i = 0; i < list.count(); ++i)
    EXPECT_EQ(loaded.node(i).getTitle(), list.node(i).getTitle()) << i;
  EXPECT_EQ(filterFileBytes(loaded), saved);
}

TEST(DescriptionNodes, FileOfType20LoadsEveryNodeWithItsDefaults) {
  const std::string version = int8(20) + str("") + str("") + str("") + bytes({0x01, 0x00});
  const std::string file =
      fileStart() + versionRecord(version) +
      nodeRecord("TDescriptionObject", "DescriptionObject", true, boolean(false) + int8(6)) +
      nodeRecord("TNumberObject", "NumberObject", true, boolean(true) + int8(0) + int8(3)) +
      nodeRecord("TStringObject", "StringObject", true, boolean(true) + int8(0) + str("# ")) +
      fileEnd();
  TFilterList list;
  list.loadFromBytes(file, "old.fll");
  auto find = [&](auto *probe) -> decltype(probe) {
    for (int i = 0; i < list.count(); ++i)
      if (auto *node = dynamic_cast<decltype(probe)>(&list.node(i)))
        return node;
    return nullptr;
  };
  auto *description = find(static_cast<TDescriptionObject *>(nullptr));
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(description->kind, 6);
  EXPECT_FALSE(description->getEnabled());
  auto *number = find(static_cast<TNumberObject *>(nullptr));
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(number->getTitle(), "Convert Tabs to 3 spaces");
  auto *text = find(static_cast<TStringObject *>(nullptr));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text, "# ");
  EXPECT_EQ(text->fileName, "");
  EXPECT_TRUE(text->useString);
  // Saved again, the old records take the current layout.
  TFilterList again;
  again.loadFromBytes(filterFileBytes(list), "again.fll");
  EXPECT_EQ(filterFileBytes(again), filterFileBytes(list));
}

// ---------------------------------------------------------------------------
// The filter file that bench/README.md runs through chainbench

std::string benchListFolder() {
  return (std::filesystem::path(MARROWEN_SOURCE_DIR) / "bench" / "lists").string();
}

// Upper case, tabs expanded to stops of 8, then "> " before every line.
void builtinNodesList(TFilterList &list) {
  makeList(list);
  addFilter(list, TDescriptionObject::CreateWith(TDescriptionKind::UpperCase));
  addFilter(list, TNumberObject::CreateWith(0, 8));
  addFilter(list, TStringObject::CreateWith(0, "> "));
}

TEST(BenchLists, BuiltinNodesListIsTheOneTheReadmeDescribes) {
  TempFolder dir;
  TFilterList made;
  builtinNodesList(made);
  made.saveToFile(dir.file("builtin-nodes.fll"));
  const std::string stored = benchListFolder() + "/builtin-nodes.fll";
  EXPECT_EQ(readFile(stored), readFile(dir.file("builtin-nodes.fll")));

  TFilterList loaded;
  loaded.loadFromFile(stored);
  EXPECT_EQ(runInnerChain(loaded, "a\tb\r\nxy\t1\n\n"), "> A       B\r\n> XY      1\n> \n");
}

} // namespace

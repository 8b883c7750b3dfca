#include "filterlist/linenodes.h"

#include "classlib/exceptions.h"
#include "engine/filter.h"
#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/node_records.h"
#include "filterlist/searchnodes.h"
#include "filterlist/settings.h"
#include "filters/headtail.h"
#include "filters/ranges.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// The common part as a file of `type` stores it: no flag before type 18.
std::string common(int type) { return type >= 18 ? boolean(true) : std::string(); }

std::unique_ptr<TDeleteColumnsObject> columns(int kind, int method, int param1, int param2) {
  auto node = std::make_unique<TDeleteColumnsObject>();
  node->kind = kind;
  node->method = method;
  node->param1 = param1;
  node->param2 = param2;
  return node;
}

std::unique_ptr<TSearchObject> replace(const char *find, const char *with) {
  auto node = std::make_unique<TSearchObject>();
  node->searchString = find;
  node->replaceString = with;
  node->ignoreCase = false;
  return node;
}

// ---------------------------------------------------------------------------
// Line-number node

TEST(LineNumberObject, NewNodesAndRememberedDefaults) {
  auto node = TLineNumberObject::CreateDefault();
  EXPECT_EQ(node->start, 1);
  EXPECT_EQ(node->increment, 1);
  EXPECT_FALSE(node->skipBlankIncrement);
  EXPECT_FALSE(node->dontNumberBlank);
  EXPECT_EQ(node->format, "%5.5d ");
  EXPECT_EQ(node->iconIndex(), 8);
  EXPECT_FALSE(node->canParent());

  node->start = -4;
  node->increment = 300;
  node->skipBlankIncrement = node->dontNumberBlank = true;
  node->format = "%d\\t";
  node->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("lineNumberInc", 0), 300);
  EXPECT_EQ(readStringSetting("lineNumberFormat", ""), "%d\\t");
  EXPECT_EQ(recordOf(*TLineNumberObject::CreateDefault()), recordOf(*node));

  // The command line's node ignores what was remembered.
  auto given = TLineNumberObject::CreateWith(5, 2);
  EXPECT_EQ(given->start, 5);
  EXPECT_EQ(given->increment, 2);
  EXPECT_FALSE(given->skipBlankIncrement);
  EXPECT_FALSE(given->dontNumberBlank);
  EXPECT_EQ(given->format, "%5.5d ");
}

TEST(LineNumberObject, TitleReportAndCommandLine) {
  TLineNumberObject node;
  node.start = 3;
  node.increment = -2;
  node.dontNumberBlank = true;
  node.format = "%d\\t";
  EXPECT_EQ(node.getTitle(), "Add line numbers (3,-2) Format: %d\\t");
  // "/AL" cannot carry the format or the blank-line flags.
  EXPECT_EQ(node.generateCmdLine(), "/{=Add line numbers (3,-2) Format: %d\\\\t");
  EXPECT_EQ(node.printText("> "), "Add line numbers\r\n>   Start line 3\r\n>   Increment -2\r\n>   "
                                  "[ ] Don't increment on blank lines\r\n>   [X] Don't number "
                                  "blank lines\r\n>   Format %d\\t\r\n");
  node.format = "%5.5d ";
  node.dontNumberBlank = false;
  EXPECT_EQ(node.generateCmdLine(), "/AL=3,-2");
}

TEST(LineNumberObject, StoredRecordAndOldFileTypes) {
  TLineNumberObject node;
  node.increment = 300;
  node.skipBlankIncrement = true;
  node.format = "%d\t";
  EXPECT_EQ(recordOf(node), nodeRecord("TLineNumberObject", "LineNumberObject", true,
                                       boolean(true) + int8(1) + int16(300) + boolean(true) +
                                           boolean(false) + str("%d\t")));

  struct Case {
    int type;
    bool skip, dont;
    const char *format;
  };
  for (const Case &c : std::initializer_list<Case>{
           {17, false, false, "%5.5d "},
           {21, false, false, "%5.5d "},
           {22, false, true, "%5.5d "},
           {24, false, true, "%5.5d "},
           {25, false, true, "[%d]"},
           {47, false, true, "[%d]"},
       }) {
    SCOPED_TRACE(c.type);
    std::string data = common(c.type) + int8(7) + int8(2);
    if (c.type >= 22)
      data += boolean(false) + boolean(true);
    if (c.type >= 25)
      data += str("[%d]");
    auto read = readNodeRecord<TLineNumberObject>(
        nodeRecord("TLineNumberObject", "LineNumberObject", true, data), c.type);
    EXPECT_EQ(read->start, 7);
    EXPECT_EQ(read->increment, 2);
    EXPECT_EQ(read->skipBlankIncrement, c.skip);
    EXPECT_EQ(read->dontNumberBlank, c.dont);
    EXPECT_EQ(read->format, c.format);
    EXPECT_TRUE(read->getEnabled());
  }
}

TEST(LineNumberObject, NumbersLinesWithTheDecodedFormat) {
  TLineNumberObject node;
  node.start = 7;
  EXPECT_EQ(runNode(node, "a\n\nb"), "00007 a\n00008 \n00009 b");
  node.dontNumberBlank = true;
  EXPECT_EQ(runNode(node, "a\n\nb"), "00007 a\n\n00009 b");
  node.skipBlankIncrement = true;
  EXPECT_EQ(runNode(node, "a\n\nb"), "00007 a\n\n00008 b");
  node.format = "%d\\t";
  node.increment = 10;
  EXPECT_EQ(runNode(node, "a\nb\n"), "7\ta\n17\tb\n");
}

TEST(LineNumberObject, FormatThatCannotFormatANumberStopsTheBuild) {
  TLineNumberObject node;
  // The message shows the format as stored, escapes and all.
  for (const char *format : {"%s\\t", "%d %d", "%d%s", "%"}) {
    SCOPED_TRACE(format);
    node.format = format;
    EXPECT_EQ(buildError(node), "Line number format " + std::string(format) + " is invalid");
  }
  node.format = "\\x4";
  EXPECT_EQ(buildError(node), "\\xHH Expecting 2 trailing hex digits");
  node.format = "no number";
  EXPECT_EQ(buildError(node), "(built)");
  node.format = "%s";
  node.setEnabled(false);
  EXPECT_EQ(buildError(node), "(built)");
}

// ---------------------------------------------------------------------------
// Head/tail node

TEST(HeadTailObject, NewNodesAndRememberedDefaults) {
  auto node = THeadTailObject::CreateDefault();
  EXPECT_EQ(recordOf(*node), nodeRecord("THeadTailObject", "HeadTailObject", true,
                                        boolean(true) + int8(0) + int8(10) + int8(0) + int8(0)));
  node->include = 1;
  node->count = 40000;
  node->units = 1;
  node->fromEnd = 2;
  node->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("HeadCount", 0), 40000);
  EXPECT_EQ(readIntegerSetting("HeadStart", 0), 2);
  EXPECT_EQ(recordOf(*THeadTailObject::CreateDefault()), recordOf(*node));

  auto wizard = THeadTailObject::CreateWith(1);
  EXPECT_EQ(wizard->getTitle(), "Exclude 10 lines from end of file");
}

TEST(HeadTailObject, TitlesCountEveryNonZeroChoiceAsTheSecond) {
  struct Case {
    int include, units, fromEnd;
    const char *title;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, 0, 0, "Include 3 lines from start of file"},
           {0, 0, 1, "Include 3 lines from end of file"},
           {0, 1, 0, "Include 3 chars from start of file"},
           {0, 1, 1, "Include 3 chars from end of file"},
           {1, 0, 0, "Exclude 3 lines from start of file"},
           {1, 0, 1, "Exclude 3 lines from end of file"},
           {1, 1, 0, "Exclude 3 chars from start of file"},
           {1, 1, 1, "Exclude 3 chars from end of file"},
           {2, -1, 5, "Exclude 3 chars from end of file"},
       }) {
    THeadTailObject node;
    node.include = c.include;
    node.units = c.units;
    node.fromEnd = c.fromEnd;
    node.count = 3;
    EXPECT_EQ(node.getTitle(), c.title);
    EXPECT_EQ(node.printText("  "), std::string(c.title) + "\r\n");
    EXPECT_EQ(node.generateCmdLine(), "/{=" + std::string(c.title));
  }
}

TEST(HeadTailObject, KeepsOrDropsLinesOrBytesAtEitherEnd) {
  struct Case {
    int include, units, fromEnd;
    const char *in, *out;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, 0, 0, "1\n2\n3\n4\n5\n", "1\n2\n"},
           {0, 0, 1, "1\n2\n3\n4\n5\n", "4\n5\n"},
           {1, 0, 0, "1\n2\n3\n4\n5\n", "3\n4\n5\n"},
           {1, 0, 1, "1\n2\n3\n4\n5\n", "1\n2\n3\n"},
           {0, 1, 0, "abcdef", "ab"},
           {0, 1, 1, "abcdef", "ef"},
           {1, 1, 0, "abcdef", "cdef"},
           {1, 1, 1, "abcdef", "abcd"},
           // Any non-zero include drops.
           {2, 0, 0, "1\n2\n3\n", "3\n"},
       }) {
    SCOPED_TRACE(std::to_string(c.include) + std::to_string(c.units) + std::to_string(c.fromEnd));
    THeadTailObject node;
    node.include = c.include;
    node.units = c.units;
    node.fromEnd = c.fromEnd;
    node.count = 2;
    EXPECT_EQ(runNode(node, c.in), c.out);
  }
}

TEST(HeadTailObject, OldFileKeepsItsFourNumbers) {
  auto read = readNodeRecord<THeadTailObject>(nodeRecord("THeadTailObject", "HeadTailObject", true,
                                                         int8(1) + int16(500) + int8(1) + int8(0)),
                                              17);
  EXPECT_EQ(read->getTitle(), "Exclude 500 chars from start of file");
  EXPECT_TRUE(read->getEnabled());
}

// ---------------------------------------------------------------------------
// Sort node

TEST(SortObject, NewNodesAndRememberedDefaults) {
  auto node = TSortObject::CreateDefault();
  EXPECT_FALSE(node->removeDuplicates);
  EXPECT_FALSE(node->reverseOrder);
  EXPECT_EQ(node->sortType, 0);
  EXPECT_EQ(node->iconIndex(), 11);
  node->removeDuplicates = true;
  node->sortType = 4;
  node->rememberDefaults();
  EXPECT_TRUE(readBoolSetting("SortincludeDuplicates", false));
  EXPECT_EQ(readIntegerSetting("sortType", 0), 4);
  EXPECT_EQ(recordOf(*TSortObject::CreateDefault()), recordOf(*node));
}

TEST(SortObject, TitlesByTypeAndOrder) {
  const char *titles[] = {
      "Ascending ANSI sort (case insensitive)",
      "Descending ANSI sort (case insensitive)",
      "Ascending ANSI sort (case sensitive)",
      "Descending ANSI sort (case sensitive)",
      "Ascending ASCII sort (case insensitive)",
      "Descending ASCII sort (case insensitive)",
      "Ascending ASCII sort (case sensitive)",
      "Descending ASCII sort (case sensitive)",
      "Ascending numeric sort",
      "Descending numeric sort",
      "Ascending sort by length of line",
      "Descending sort by length of line",
  };
  TSortObject node;
  for (int i = 0; i < 12; ++i) {
    node.sortType = i / 2;
    node.reverseOrder = i % 2 == 1;
    node.removeDuplicates = false;
    EXPECT_EQ(node.getTitle(), titles[i]);
    node.removeDuplicates = true;
    EXPECT_EQ(node.getTitle(), std::string(titles[i]) + ", remove duplicates");
  }
  node.sortType = 6;
  EXPECT_EQ(node.getTitle(), "Invalid sort type, remove duplicates");
  EXPECT_EQ(node.printText(""), "Invalid sort type, remove duplicates\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/{=Invalid sort type, remove duplicates");
  node.sortType = -1;
  node.removeDuplicates = false;
  EXPECT_EQ(node.getTitle(), "Invalid sort type");
}

TEST(SortObject, OldFileTypesStoreTheSortTypeOtherwise) {
  struct Case {
    int type;
    std::string stored;
    int sortType;
  };
  for (const Case &c : std::initializer_list<Case>{
           {17, "", 1},
           {25, "", 1},
           {26, boolean(true), 0},
           {30, boolean(true), 0},
           {30, boolean(false), 1},
           {41, boolean(false), 1},
           {42, int8(5), 5},
           {47, int8(3), 3},
       }) {
    SCOPED_TRACE(c.type);
    auto read = readNodeRecord<TSortObject>(
        nodeRecord("TSortObject", "SortObject", true,
                   common(c.type) + boolean(true) + boolean(false) + c.stored),
        c.type);
    EXPECT_TRUE(read->removeDuplicates);
    EXPECT_FALSE(read->reverseOrder);
    EXPECT_EQ(read->sortType, c.sortType);
  }
  // Written in the current layout whatever it was read from.
  auto old = readNodeRecord<TSortObject>(
      nodeRecord("TSortObject", "SortObject", true,
                 common(30) + boolean(false) + boolean(true) + boolean(true)),
      30);
  EXPECT_EQ(recordOf(*old), nodeRecord("TSortObject", "SortObject", true,
                                       boolean(true) + boolean(false) + boolean(true) + int8(0)));
  EXPECT_EQ(runNode(*old, "b\na\nc\n"), "c\nb\na\n");
}

TEST(SortObject, SortsAsItsTypeSaysAndRefusesAnUnknownType) {
  TSortObject node;
  node.sortType = 4;
  EXPECT_EQ(runNode(node, "10\n9\n100\n"), "9\n10\n100\n");
  node.reverseOrder = true;
  EXPECT_EQ(runNode(node, "10\n9\n100\n"), "100\n10\n9\n");
  node.reverseOrder = false;
  node.sortType = 3;
  node.removeDuplicates = true;
  EXPECT_EQ(runNode(node, "b\nB\na\nb\n"), "B\na\nb\n");
  node.sortType = 5;
  node.removeDuplicates = false;
  EXPECT_EQ(runNode(node, "ccc\na\nbb\n"), "a\nbb\nccc\n");

  for (int type : {-1, 6, 70000}) {
    node.sortType = type;
    EXPECT_EQ(buildError(node), "Invalid sort type");
  }
}

// ---------------------------------------------------------------------------
// Maths node

TEST(MathsObject, NewNodesAndRememberedDefaults) {
  auto node = TMathsObject::CreateDefault();
  EXPECT_EQ(node->operation, 0);
  EXPECT_EQ(node->operand, 0);
  EXPECT_EQ(node->iconIndex(), 3);
  node->operation = 12;
  node->operand = -70000;
  node->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("mathsOperand", 0), -70000);
  auto fresh = TMathsObject::CreateDefault();
  EXPECT_EQ(recordOf(*fresh), recordOf(*node));
  EXPECT_EQ(recordOf(*fresh),
            nodeRecord("TMathsObject", "MathsObject", true,
                       boolean(true) + int8(12) + bytes({0x04, 0x90, 0xEE, 0xFE, 0xFF})));
}

TEST(MathsObject, TitlesNameTheOperatorAndTheOperandExceptForNot) {
  const char *words[] = {"+",           "-",           "*",           "Div", "Mod",
                         "Xor",         "And",         "Or",          "Not", "Shift left",
                         "Shift right", "Rotate left", "Rotate right"};
  TMathsObject node;
  node.operand = -3;
  for (int op = 0; op <= 12; ++op) {
    node.operation = op;
    const std::string title =
        "Char maths: " + std::string(words[op]) + (op == 8 ? std::string() : " -3");
    EXPECT_EQ(node.getTitle(), title);
    EXPECT_EQ(node.printText("x"), title + "\r\n");
    EXPECT_EQ(node.generateCmdLine(), "/{=" + title);
  }
  node.operation = 13;
  EXPECT_EQ(node.getTitle(), "Char maths:  -3");
}

TEST(MathsObject, WorksOnEveryByteAndRefusesDivisionByZero) {
  TMathsObject node;
  node.operand = 1;
  EXPECT_EQ(runNode(node, "abc"), "bcd");
  node.operation = 8;
  EXPECT_EQ(runNode(node, std::string("\x00\xFF", 2)), std::string("\xFF\x00", 2));
  node.operation = 11;
  EXPECT_EQ(runNode(node, "\x81"), "\x03");
  node.operand = 0;
  for (int op : {3, 4}) {
    node.operation = op;
    EXPECT_NE(buildError(node), "(built)");
  }
}

// ---------------------------------------------------------------------------
// Column node

TEST(DeleteColumnsObject, NewNodesRememberTheirRangeByKind) {
  const char *prefixes[] = {"deleteColumns.", "selectLines.", "selectColumns.",
                            "selectBytes.",   "selectCSV.",   "selectTab."};
  for (int kind = 0; kind <= 5; ++kind) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(columnSettingsPrefix(kind), prefixes[kind]);
    auto node = TDeleteColumnsObject::CreateDefault(kind);
    EXPECT_EQ(node->kind, kind);
    EXPECT_EQ(node->method, 0);
    EXPECT_EQ(node->param1, 1);
    EXPECT_EQ(node->param2, 20);
    EXPECT_EQ(node->canParent(), kind != 0);
    EXPECT_EQ(node->needGatherer(), kind != 0 ? ChildChain::Gathered : ChildChain::Inline);
    EXPECT_EQ(node->iconIndex(), 1);
  }
  auto lines = TDeleteColumnsObject::CreateDefault(1);
  lines->method = 3;
  lines->param1 = 4;
  lines->param2 = 5;
  lines->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("selectLines.param2", 0), 5);
  EXPECT_EQ(recordOf(*TDeleteColumnsObject::CreateDefault(1)), recordOf(*lines));
  // Other kinds keep their own.
  EXPECT_EQ(TDeleteColumnsObject::CreateDefault(2)->param1, 1);

  auto given = TDeleteColumnsObject::CreateWith(1);
  EXPECT_EQ(given->kind, 1);
  EXPECT_EQ(given->method, 0);
  EXPECT_EQ(given->param1, 1);
  EXPECT_EQ(given->param2, 10);
  EXPECT_EQ(given->getTitle(), "Select lines 1 .. 10");
}

TEST(DeleteColumnsObject, TitlesByKindAndMethod) {
  // param1 5, param2 3 in every cell.
  const char *titles[6][5] = {
      {"Delete columns 5 .. 3", "Delete 3 columns starting at column 5",
       "Delete 3 columns starting at column END - 5", "Delete column 5 .. column END - 3",
       "Delete column END - 5 .. column END - 3"},
      {"Select lines 5 .. 3", "Select 3 lines starting at line 5",
       "Select 3 lines starting at line END - 5", "Select line 5 .. line END - 3",
       "Select line END - 5 .. line END - 3"},
      {"Select columns 5 .. 3", "Select 3 columns starting at column 5",
       "Select 3 columns starting at column END - 5", "Select column 5 .. column END - 3",
       "Select column END - 5 .. column END - 3"},
      {"Select bytes 5 .. 3", "Select 3 bytes starting at byte 5",
       "Select 3 bytes starting at byte END - 5", "Select byte 5 .. byte END - 3",
       "Select byte END - 5 .. byte END - 3"},
      {"Select CSV fields 5 .. 3", "Select 3 CSV fields starting at field 5",
       "Select 3 CSV fields starting at field END - 5", "Select CSV field 5 .. field END - 3",
       "Select CSV field END - 5 .. field END - 3"},
      {"Select tab fields 5 .. 3", "Select 3 tab fields starting at field 5",
       "Select 3 tab fields starting at field END - 5", "Select tab field 5 .. field END - 3",
       "Select tab field END - 5 .. field END - 3"},
  };
  for (int kind = 0; kind <= 5; ++kind)
    for (int method = 0; method <= 4; ++method) {
      auto node = columns(kind, method, 5, 3);
      EXPECT_EQ(node->getTitle(), titles[kind][method]);
      EXPECT_EQ(node->printText("  "), std::string(titles[kind][method]) + "\r\n");
      EXPECT_EQ(node->generateCmdLine(), "/{=" + std::string(titles[kind][method]));
    }
  EXPECT_EQ(columns(6, 0, 1, 2)->getTitle(), "error: filterType:6 locateMethod:0");
  EXPECT_EQ(columns(1, 5, 1, 2)->getTitle(), "error: filterType:1 locateMethod:5");
  EXPECT_EQ(columns(-1, -1, 1, 2)->getTitle(), "error: filterType:-1 locateMethod:-1");
}

TEST(DeleteColumnsObject, StoredRecordAndOldFilesWithoutAKind) {
  auto node = columns(4, 2, 1, 40000);
  EXPECT_EQ(recordOf(*node), nodeRecord("TDeleteColumnsObject", "DeleteColumnsObject", true,
                                        boolean(true) + int8(2) + int8(1) +
                                            bytes({0x04, 0x40, 0x9C, 0x00, 0x00}) + int8(4)));
  for (int type : {17, 32}) {
    auto read = readNodeRecord<TDeleteColumnsObject>(
        nodeRecord("TDeleteColumnsObject", "DeleteColumnsObject", true,
                   common(type) + int8(1) + int8(3) + int8(2)),
        type);
    EXPECT_EQ(read->kind, 0);
    EXPECT_EQ(read->getTitle(), "Delete 2 columns starting at column 3");
    EXPECT_FALSE(read->canParent());
  }
  auto read = readNodeRecord<TDeleteColumnsObject>(
      nodeRecord("TDeleteColumnsObject", "DeleteColumnsObject", false,
                 boolean(false) + int8(0) + int8(2) + int8(3) + int8(5)),
      33);
  EXPECT_EQ(read->kind, 5);
  EXPECT_FALSE(read->getEnabled());
}

TEST(DeleteColumnsObject, RangesThatEndBeforeTheyStartAreRefused) {
  struct Case {
    int kind, method, param1, param2;
    const char *error;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, 0, 5, 3, "End value must be greater than or equal to Start"},
           {0, 0, 3, 3, "(built)"},
           {0, 1, 5, 3, "(built)"},
           {2, 0, 5, 3, "End value must be greater than or equal to Start"},
           {1, 2, 1, 3, "Length must be less than END-start value"},
           {1, 2, 2, 3, "(built)"},
           {4, 2, INT32_MAX, INT32_MAX, "(built)"},
           {0, 4, 1, 2, "Start value must be greater than or equal to End"},
           {5, 4, 2, 2, "(built)"},
           {1, 4, 2, 2, "(built)"},
           {1, 3, 9, 9, "(built)"},
           // Lines have no other way of selecting; bytes have no selector.
           {1, 5, 1, 2, "Not implemented yet"},
           {3, 0, 1, 2, "Not implemented yet"},
           {6, 0, 1, 2, "Not implemented yet"},
       }) {
    SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.method));
    auto node = columns(c.kind, c.method, c.param1, c.param2);
    EXPECT_EQ(buildError(*node), c.error);
    node->setEnabled(false);
    EXPECT_EQ(buildError(*node), "(built)");
  }
  // A column range with a method no filter knows would select nothing quietly.
  for (int kind : {0, 2, 3, 4, 5}) {
    auto node = columns(kind, 5, 1, 2);
    EXPECT_EQ(buildError(*node),
              "Error: '" + shortTitle(*node) + "' has an unknown field method (5)");
    EXPECT_EQ(node->method, 5);
  }
}

TEST(DeleteColumnsObject, KindAndMethodChooseTheFilter) {
  TFilterList list;
  EXPECT_NE(dynamic_cast<TSelectLinesBasic *>(columns(1, 0, 1, 2)->add_filter(list).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<TSelectLinesBasic *>(columns(1, 1, 1, 2)->add_filter(list).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<TSelectLinesLengthFromEnd *>(columns(1, 2, 2, 2)->add_filter(list).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<TSelectLinesOffsetToEnd *>(columns(1, 3, 2, 2)->add_filter(list).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<TSelectLinesEndOffsets *>(columns(1, 4, 2, 2)->add_filter(list).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<TSelectColumns *>(columns(2, 0, 1, 2)->add_filter(list).get()), nullptr);
  auto remove = columns(0, 0, 1, 2)->add_filter(list);
  EXPECT_NE(dynamic_cast<TRemoveColumns *>(remove.get()), nullptr);
  EXPECT_EQ(dynamic_cast<TSelectColumns *>(remove.get()), nullptr);
}

TEST(DeleteColumnsObject, DeletesTheColumnsItNames) {
  auto node = columns(0, 0, 3, 5);
  EXPECT_EQ(runNode(*node, "1234567\n12\r\n"), "1267\n12\r\n");
  node = columns(0, 4, 2, 1);
  EXPECT_EQ(runNode(*node, "1234567\n"), "12347\n");
}

// ---------------------------------------------------------------------------
// In a filter list: the children work only on what the column node selects

TEST(LineNodesInAList, ChildrenWorkOnlyOnTheSelectedPart) {
  struct Case {
    int kind, method, param1, param2;
    const char *in, *out;
  };
  for (const Case &c : std::initializer_list<Case>{
           {2, 0, 2, 3, "aaaa\naa\n", "aXXa\naX\n"},
           {2, 2, 1, 2, "aaaa\n", "aaXX\n"},
           {1, 0, 2, 3, "a\na\na\na\n", "a\nX\nX\na\n"},
           {1, 1, 2, 2, "a\na\na\na\n", "a\nX\nX\na\n"},
           {1, 2, 2, 1, "a\na\na\na\n", "a\nX\na\na\n"},
           {1, 3, 2, 1, "a\na\na\na\n", "a\nX\nX\na\n"},
           {1, 4, 2, 1, "a\na\na\na\n", "a\nX\nX\na\n"},
           {4, 0, 2, 2, "a,\"a,a\",a\n", "a,\"X,X\",a\n"},
           {5, 0, 2, 2, "a\ta\ta\n", "a\tX\ta\n"},
           {5, 3, 1, 1, "a\ta\ta\n", "X\tX\ta\n"},
       }) {
    SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.method));
    LevelledNodes nodes;
    nodes.emplace_back(columns(c.kind, c.method, c.param1, c.param2), 1);
    nodes.emplace_back(replace("a", "X"), 2);
    TFilterList list;
    fillList(list, std::move(nodes));
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
      SCOPED_TRACE(chunk);
      EXPECT_EQ(runList(list, c.in, chunk), c.out);
    }
  }
}

TEST(LineNodesInAList, ASelectingNodeWithoutChildrenIsRefused) {
  for (int kind : {1, 2}) {
    LevelledNodes nodes;
    nodes.emplace_back(columns(kind, 0, 1, 2), 1);
    TFilterList list;
    fillList(list, std::move(nodes));
    int errorIndex = -1;
    try {
      list.createFilters(false, true, errorIndex);
      ADD_FAILURE() << kind;
    } catch (const Exception &e) {
      EXPECT_EQ(
          std::string(e.message()).rfind("\"Select\"-type filters need to have subfilters", 0), 0u);
    }
    EXPECT_EQ(errorIndex, 2);
  }
}

TEST(LineNodesInAList, DeleteColumnsChildrenFollowItOnTheWholeText) {
  LevelledNodes nodes;
  nodes.emplace_back(columns(0, 0, 1, 1), 1);
  nodes.emplace_back(replace("b", "X"), 2);
  auto numbers = TLineNumberObject::CreateWith(1, 1);
  numbers->format = "%d:";
  nodes.emplace_back(std::move(numbers), 1);
  TFilterList list;
  fillList(list, std::move(nodes));
  EXPECT_EQ(runList(list, "abb\nbc\n"), "1:XX\n2:c\n");
}

TEST(LineNodesInAList, SaveLoadSaveIsByteIdentical) {
  TempFolder dir;
  LevelledNodes nodes;
  auto numbers = TLineNumberObject::CreateDefault();
  numbers->format = std::string("%d\0\\t", 5);
  numbers->increment = -70000;
  nodes.emplace_back(std::move(numbers), 1);
  nodes.emplace_back(THeadTailObject::CreateWith(1), 1);
  auto sort = TSortObject::CreateDefault();
  sort->sortType = 9;
  sort->setEnabled(false);
  nodes.emplace_back(std::move(sort), 1);
  auto maths = TMathsObject::CreateDefault();
  maths->operation = 5;
  maths->operand = 32;
  nodes.emplace_back(std::move(maths), 1);
  nodes.emplace_back(columns(4, 1, 2, 3), 1);
  nodes.emplace_back(columns(1, 0, 1, 1), 2);
  nodes.emplace_back(replace("a", "b"), 3);
  TFilterList list;
  fillList(list, std::move(nodes));

  TFilterList loaded;
  const std::string first = saveAndLoad(list, dir, loaded);
  ASSERT_EQ(loaded.count(), list.count());
  for (int i = 0; i < list.count(); ++i) {
    EXPECT_EQ(loaded.node(i).className(), list.node(i).className());
    EXPECT_EQ(loaded.node(i).getTitle(), list.node(i).getTitle());
    EXPECT_EQ(loaded.nodes[i].level, list.nodes[i].level);
  }
  EXPECT_FALSE(loaded.node(4).getEnabled());
  expectSavedAgainTheSame(loaded, dir, first);
}

} // namespace

// ---------------------------------------------------------------------------
// The filter files that bench/README.md runs through chainbench

namespace {

std::string benchListFolder() {
  return (std::filesystem::path(MARROWEN_SOURCE_DIR) / "bench" / "lists").string();
}

// Every line numbered in the default format, five digits and a blank.
void lineNumbersList(TFilterList &list) {
  LevelledNodes nodes;
  nodes.emplace_back(TLineNumberObject::CreateWith(1, 1), 1);
  fillList(list, std::move(nodes));
}

// In the second comma-separated field of every line, and only there, "the"
// becomes "THE".
void csvFieldList(TFilterList &list) {
  LevelledNodes nodes;
  nodes.emplace_back(columns(TDeleteColumnsObject::SelectCSVFields, 0, 2, 2), 1);
  nodes.emplace_back(replace("the", "THE"), 2);
  fillList(list, std::move(nodes));
}

TEST(LineNodeBenchLists, AreTheListsTheReadmeDescribes) {
  TempFolder dir;
  struct Case {
    const char *file;
    void (*make)(TFilterList &);
    const char *in, *out;
  };
  for (const Case &c : std::initializer_list<Case>{
           {"line-numbers.fll", lineNumbersList, "a\n\nb", "00001 a\n00002 \n00003 b"},
           {"csv-field.fll", csvFieldList, "the,the the,the\nthe\n,x the\r\n",
            "the,THE THE,the\nthe\n,x THE\r\n"},
       }) {
    SCOPED_TRACE(c.file);
    TFilterList made;
    c.make(made);
    const std::string stored = benchListFolder() + "/" + c.file;
    made.saveToFile(dir.file(c.file));
    EXPECT_EQ(readFile(stored), readFile(dir.file(c.file)));

    TFilterList loaded;
    loaded.loadFromFile(stored);
    EXPECT_EQ(runList(loaded, c.in), c.out);
  }
}

} // namespace

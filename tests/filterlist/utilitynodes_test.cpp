#include "filterlist/utilitynodes.h"

#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/node_records.h"
#include "filterlist/settings.h"
#include "filters/executeprogram.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// ---------------------------------------------------------------------------
// Duplicate node

TEST(DuplicateObject, NewNodesOfEitherKindShareTheRememberedOptions) {
  auto node = TDuplicateObject::CreateDefault(1);
  EXPECT_EQ(node->kind, 1);
  EXPECT_TRUE(node->ignoreCase);
  EXPECT_EQ(node->ignoreLeading, 0);
  EXPECT_EQ(node->helpContext(), 860);
  EXPECT_FALSE(node->canParent());
  EXPECT_EQ(node->needGatherer(), ChildChain::Inline);

  node->ignoreCase = false;
  node->ignoreLeading = 4;
  node->rememberDefaults();
  EXPECT_FALSE(readBoolSetting("DupIgnoreCase", true));
  EXPECT_EQ(readIntegerSetting("IgnoreLeading", 0), 4);
  auto other = TDuplicateObject::CreateDefault(0);
  EXPECT_EQ(other->kind, 0);
  EXPECT_FALSE(other->ignoreCase);
  EXPECT_EQ(other->ignoreLeading, 4);
  EXPECT_EQ(other->helpContext(), 730);
}

TEST(DuplicateObject, TitlesReportsAndCommandLines) {
  struct Case {
    int kind;
    bool ignoreCase;
    int leading;
    const char *title;
    const char *report;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, true, 0, "Remove duplicate lines, ignore case",
            "Remove duplicate lines\r\n>>  [X] Ignore case\r\n"},
           {1, false, 3, "Count duplicate lines, ignore leading 3",
            "Count duplicate lines\r\n>>  [ ] Ignore case\r\n>>  Ignore leading 3 characters\r\n"},
           {0, true, -2, "Remove duplicate lines, ignore case",
            "Remove duplicate lines\r\n>>  [X] Ignore case\r\n"},
           {9, true, 1, "Error, ignore case, ignore leading 1",
            ">>  [X] Ignore case\r\n>>  Ignore leading 1 characters\r\n"},
       }) {
    SCOPED_TRACE(c.title);
    TDuplicateObject node;
    node.kind = c.kind;
    node.ignoreCase = c.ignoreCase;
    node.ignoreLeading = c.leading;
    EXPECT_EQ(node.getTitle(), c.title);
    EXPECT_EQ(node.printText(">>"), c.report);
    EXPECT_EQ(node.generateCmdLine(), std::string("/{=") + c.title);
  }
}

TEST(DuplicateObject, RecordsOfEveryFileType) {
  TDuplicateObject node;
  node.ignoreCase = false;
  node.ignoreLeading = 300;
  node.kind = 1;
  EXPECT_EQ(recordOf(node), nodeRecord("TDuplicateObject", "DuplicateObject", true,
                                       boolean(true) + boolean(false) + int16(300) + int8(1)));
  roundTrip(node);

  // Type 11 has no kind: a node that removes duplicates.
  auto old = readNodeRecord<TDuplicateObject>(
      nodeRecord("TDuplicateObject", "DuplicateObject", true, boolean(true) + int8(2)), 11);
  EXPECT_TRUE(old->ignoreCase);
  EXPECT_EQ(old->ignoreLeading, 2);
  EXPECT_EQ(old->kind, 0);
  auto twelve = readNodeRecord<TDuplicateObject>(
      nodeRecord("TDuplicateObject", "DuplicateObject", true, boolean(true) + int8(2) + int8(1)),
      12);
  EXPECT_EQ(twelve->kind, 1);
}

TEST(DuplicateObject, RemovesOrCountsRunsOfEqualLines) {
  TDuplicateObject node;
  node.ignoreCase = true;
  EXPECT_EQ(runNode(node, "a\nA\nb\nxb\nyb\n", 3), "a\nb\nxb\nyb\n");
  node.ignoreLeading = 1;
  EXPECT_EQ(runNode(node, "1a\n2A\n3b\nxb\nyb\n", 3), "1a\n3b\n");
  node.ignoreCase = false;
  node.ignoreLeading = 0;
  EXPECT_EQ(runNode(node, "a\nA\na\na\n"), "a\nA\na\n");

  node.kind = 1;
  EXPECT_EQ(runNode(node, "a\nA\na\na\nb\n"), "a 2\n");
}

// ---------------------------------------------------------------------------
// External-program node

TEST(ExecuteObject, NewNodeFromAnEmptyStoreAndRememberedValues) {
  auto node = TExecuteObject::CreateDefault();
  EXPECT_EQ(node->commandLine, "external_grep.bat -i searchstring");
  EXPECT_EQ(node->programInputFilename, "output.txt");
  EXPECT_EQ(node->programOutputFilename, "input.txt");
  EXPECT_EQ(node->iconIndex(), 37);

  node->commandLine = "tool";
  node->programInputFilename = "r.txt";
  node->programOutputFilename = "d.txt";
  node->rememberDefaults();
  EXPECT_EQ(readStringSetting("ProgramCommandLine", ""), "tool");
  EXPECT_EQ(readStringSetting("ProgramInputFilename", ""), "r.txt");
  EXPECT_EQ(readStringSetting("ProgramOutputFilename", ""), "d.txt");
  EXPECT_EQ(recordOf(*TExecuteObject::CreateDefault()), recordOf(*node));
}

TEST(ExecuteObject, TitleReportAndCommandLine) {
  TExecuteObject node;
  EXPECT_EQ(node.getTitle(), "Run external_grep.bat -i searchstring");
  EXPECT_EQ(node.printText("    "), "Run program: external_grep.bat -i searchstring\r\n"
                                    "      Output filename: output.txt\r\n"
                                    "      Input filename: input.txt\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/{=Run external_grep.bat -i searchstring");
  node.commandLine = "a\tb";
  EXPECT_EQ(node.generateCmdLine(), "/{=Run a\\tb");
}

TEST(ExecuteObject, RecordsOfEveryFileType) {
  TExecuteObject node;
  node.commandLine = "\"c:\\Program Files\\t.exe\" -x";
  EXPECT_EQ(recordOf(node), nodeRecord("TExecuteObject", "ExecuteObject", true,
                                       boolean(true) + str(node.commandLine) + str("output.txt") +
                                           str("input.txt")));
  roundTrip(node);

  // Before type 13 the program and its arguments were two texts; before 18
  // no enabled flag comes first.
  auto old = readNodeRecord<TExecuteObject>(
      nodeRecord("TExecuteObject", "ExecuteObject", true,
                 str("grep.exe") + str("-i x") + str("o.txt") + str("i.txt")),
      12);
  EXPECT_EQ(old->commandLine, "grep.exe -i x");
  EXPECT_EQ(old->programInputFilename, "o.txt");
  EXPECT_EQ(old->programOutputFilename, "i.txt");
  auto thirteen =
      readNodeRecord<TExecuteObject>(nodeRecord("TExecuteObject", "ExecuteObject", true,
                                                str("grep.exe -i x") + str("o.txt") + str("i.txt")),
                                     13);
  EXPECT_EQ(thirteen->commandLine, "grep.exe -i x");
}

TEST(ExecuteObject, TheProgramWritesTheFileTheFilterReadsBack) {
  // Relative names are in the current folder.
  TempFolder folder;
  WorkingFolder inFolder(folder.path());
  TExecuteObject node;
  // The program reads the file the filter writes ("input.txt" by default)
  // and writes the one the filter reads back ("output.txt").
  node.commandLine = "\"sort -r -o output.txt input.txt\"";
  node.programInputFilename = "\"output.txt\"";
  EXPECT_EQ(runNode(node, "b\na\nc\n", 2), "c\nb\na\n");
  // A program in a folder whose name holds a blank, quoted as the command
  // box's browse button leaves it.
  std::filesystem::create_directory(folder.file("my tools"));
  const std::string program = folder.file("my tools/reverse");
  writeFile(program, "#!/bin/sh\nsort -r -o output.txt input.txt\n");
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  node.commandLine = '"' + program + '"';
  EXPECT_EQ(runNode(node, "b\na\nc\n", 2), "c\nb\na\n");

  TFilterList list;
  EXPECT_NE(dynamic_cast<TExecuteProgram *>(node.add_filter(list).get()), nullptr);
}

// ---------------------------------------------------------------------------
// Insert-column node

TEST(InsertColumnObject, NewNodesFromTheStoreAndFromTheWizard) {
  auto node = TInsertColumnObject::CreateDefault();
  EXPECT_EQ(node->position, 0);
  EXPECT_EQ(node->text, "");
  node->position = -4;
  node->text = "x\\ty";
  node->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("insertPos", 0), -4);
  EXPECT_EQ(readStringSetting("insertStr", ""), "x\\ty");
  EXPECT_EQ(recordOf(*TInsertColumnObject::CreateDefault()), recordOf(*node));

  auto wizard = TInsertColumnObject::CreateWithPrompt();
  EXPECT_EQ(wizard->position, 10);
  EXPECT_EQ(wizard->text, "Enter the text here (the text can be multi-line).");
}

TEST(InsertColumnObject, TitleShowsTheTextOnOneLine) {
  TInsertColumnObject node;
  node.position = -2;
  node.text = "one\r\ntwo\\t";
  EXPECT_EQ(node.getTitle(), "Insert column -2 [one\\r\\ntwo\\\\t]");
  EXPECT_EQ(node.printText("  "), "Insert column -2 [one\\r\\ntwo\\\\t]\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/{=Insert column -2 [one\\\\r\\\\ntwo\\\\\\\\t]");
  // A UTF-8 letter shows as itself; a byte that is no character is escaped.
  node.text = "caf\xc3\xa9 \xce\xb1\xcf\x80 \xf0\x9f\x98\x80\xc3 \xe9";
  EXPECT_EQ(node.getTitle(),
            "Insert column -2 [caf\xc3\xa9 \xce\xb1\xcf\x80 \xf0\x9f\x98\x80\\195 \\233]");
}

TEST(InsertColumnObject, RecordAndRun) {
  TInsertColumnObject node;
  node.position = -1;
  node.text = "\\t";
  EXPECT_EQ(recordOf(node), nodeRecord("TInsertColumnObject", "InsertColumnObject", true,
                                       boolean(true) + int8(-1) + str("\\t")));
  auto copy = roundTrip(node);
  EXPECT_EQ(copy->position, -1);
  EXPECT_EQ(runNode(*copy, "abc\r\nd\n", 2), "ab\tc\r\n\td\n");

  // Type 5: a dropped text and no enabled flag before the values.
  auto old = readNodeRecord<TInsertColumnObject>(
      nodeRecord("TInsertColumnObject", "InsertColumnObject", true, str("x") + int8(3) + str("-")),
      5);
  EXPECT_EQ(old->position, 3);
  EXPECT_EQ(old->text, "-");
}

TEST(InsertColumnObject, BlankOrMalformedTextIsRefused) {
  TInsertColumnObject node;
  node.position = 5;
  EXPECT_EQ(buildError(node), "String for 'Insert column 5 []' is blank");
  node.text = "a\\x4";
  const std::string error = buildError(node);
  EXPECT_NE(error, "(built)");
  EXPECT_EQ(error.find("String for"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Concordance node

TEST(ConcordanceObject, EachModeRemembersItsOwnDefaults) {
  auto word = TConcordanceObject::CreateDefault(0);
  EXPECT_TRUE(word->wordMode);
  EXPECT_EQ(word->wordsBefore, 7);
  EXPECT_EQ(word->wordsAfter, 7);
  EXPECT_EQ(word->format, "%s %s %s");
  EXPECT_EQ(word->dictionary, std::vector<std::string>{"sample"});
  EXPECT_EQ(word->getTitle(), "Word concordance 7, 7, %s %s %s, sample");

  word->wordsBefore = 2;
  word->wordsAfter = 3;
  word->format = "%s %d %s";
  word->dictionary = {"a", "b c"};
  word->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("WordConcordance.before", 0), 2);
  EXPECT_EQ(readIntegerSetting("WordConcordance.after", 0), 3);
  EXPECT_EQ(readStringSetting("WordConcordance.formatStr", ""), "%s %d %s");
  EXPECT_EQ(readStringSetting("WordConcordance.dictionary", ""), "a,\"b c\"");
  EXPECT_EQ(recordOf(*TConcordanceObject::CreateDefault(0)), recordOf(*word));

  auto sentence = TConcordanceObject::CreateDefault(2);
  EXPECT_FALSE(sentence->wordMode);
  EXPECT_EQ(sentence->wordsBefore, 7);
  EXPECT_EQ(sentence->getTitle(), "Sentence concordance 7, 7, %s %s %s, sample");
  sentence->wordsBefore = 1;
  sentence->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("SentenceConcordance.before", 0), 1);
  EXPECT_EQ(TConcordanceObject::CreateDefault(0)->wordsBefore, 2);
}

TEST(ConcordanceObject, TitleReportAndCommandLine) {
  TConcordanceObject node;
  node.dictionary = {"fox", "lazy dog"};
  const std::string title = "Word concordance 7, 7, %s %s %s, fox,\"lazy dog\"";
  EXPECT_EQ(node.getTitle(), title);
  EXPECT_EQ(node.printText("  "), title + "\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/{=" + title);
}

TEST(ConcordanceObject, DictionaryIsStoredAsCommaText) {
  TConcordanceObject node;
  node.wordsBefore = 1;
  node.wordsAfter = 200;
  node.format = "%s|%s|%s";
  node.dictionary = {"a", "b c"};
  EXPECT_EQ(recordOf(node),
            nodeRecord("TConcordanceObject", "ConcordanceObject", true,
                       boolean(true) + int8(1) + int16(200) + str("%s|%s|%s") + str("a,\"b c\"")));
  auto copy = roundTrip(node);
  EXPECT_EQ(copy->dictionary, node.dictionary);
}

TEST(ConcordanceObject, NodesReadFromFilesBuildAsWordConcordances) {
  auto node = readNodeRecord<TConcordanceObject>(
      nodeRecord("TConcordanceObject", "ConcordanceObject", true,
                 boolean(true) + int8(1) + int8(1) + str("%s %s %s") + str("Fox")),
      47);
  EXPECT_TRUE(node->wordMode);
  EXPECT_EQ(runNode(*node, "The quick fox jumps\nover\n", 5), "fox 1 quick fox jumps\r\n");
}

TEST(ConcordanceObject, SentenceModeAndBadSettingsAreRefused) {
  auto sentence = TConcordanceObject::CreateDefault(1);
  EXPECT_EQ(buildError(*sentence), "Sentence concordance not available yet");

  TConcordanceObject node;
  node.format = "%d %d %d";
  EXPECT_NE(buildError(node), "(built)");
  node.format = "%s %s %s";
  node.wordsBefore = -1;
  EXPECT_NE(buildError(node), "(built)");
}

TEST(CommaText, ListsAndTheirTexts) {
  using Items = std::vector<std::string>;
  struct Case {
    Items items;
    std::string text;
  };
  for (const Case &c : std::initializer_list<Case>{
           {{}, ""},
           {{""}, "\"\""},
           {{"sample"}, "sample"},
           {{"a", "b"}, "a,b"},
           {{"a", "b c"}, "a,\"b c\""},
           {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
           {{"x,y", "z"}, "\"x,y\",z"},
           {{"", "a"}, "\"\",a"},
           {{"a", ""}, "a,\"\""},
           {{"a", "", "b"}, "a,\"\",b"},
           {{"tab\there"}, "\"tab\there\""},
           {{"\xe9t\xe9"}, "\xe9t\xe9"},
       }) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(commaText(c.items), c.text);
    EXPECT_EQ(itemsFromCommaText(c.text), c.items);
  }
}

TEST(CommaText, ReadingTakesBlanksAsSeparatorsAndAnUnclosedQuoteWhole) {
  using Items = std::vector<std::string>;
  EXPECT_EQ(itemsFromCommaText("a b"), (Items{"a", "b"}));
  EXPECT_EQ(itemsFromCommaText("  a ,  b  "), (Items{"a", "b"}));
  EXPECT_EQ(itemsFromCommaText("a,"), (Items{"a"}));
  EXPECT_EQ(itemsFromCommaText("a,,b"), (Items{"a", "", "b"}));
  EXPECT_EQ(itemsFromCommaText(",a"), (Items{"", "a"}));
  EXPECT_EQ(itemsFromCommaText("\"open end"), (Items{"open end"}));
  EXPECT_EQ(itemsFromCommaText("\"a\"b"), (Items{"a", "b"}));
  EXPECT_EQ(itemsFromCommaText("\"\",x"), (Items{"", "x"}));
  // Line ends and tabs part the words typed one a line; other control bytes
  // are the item's own, stored unquoted or not.
  EXPECT_EQ(itemsFromCommaText("a\r\nb\tc\n"), (Items{"a", "b", "c"}));
  EXPECT_EQ(itemsFromCommaText("c\001d,\037"), (Items{"c\001d", "\037"}));
}

} // namespace

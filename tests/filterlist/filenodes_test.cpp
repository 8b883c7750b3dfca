#include "engine/messages.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"

#include "engine/mergesplit.h"
#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/ionodes.h"
#include "filterlist/node_records.h"
#include "filterlist/settings.h"
#include "filterlist/utilitynodes.h"
#include "filters/linebuffer.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// Ends a chain and writes down the files it is told to open and close with
// what each received: "[name]text|" per file.
class FileRecorder : public TFilter {
public:
  explicit FileRecorder(std::string &log) : log_(log) {}
  void openFile(const std::string &name) override { log_ += "[" + name + "]"; }
  FileResult closeFile() override {
    log_ += "|";
    return {};
  }
  bool processChunk(std::string &chunk) override {
    log_ += chunk;
    return true;
  }

private:
  std::string &log_;
};

// One input through `filter` as the read loop drives it.
std::string runAsFile(std::unique_ptr<TFilter> filter, const std::string &text,
                      std::size_t chunkSize) {
  std::string log;
  filter->lastFilter()->setNext(std::make_unique<FileRecorder>(log));
  filter->attachJob(nullptr);
  filter->startJob();
  filter->setInputFilename("in.txt");
  filter->openFile("in.txt");
  filter->reset();
  for (std::size_t pos = 0; pos < text.size(); pos += chunkSize) {
    std::string chunk = text.substr(pos, chunkSize);
    filter->processChunk(chunk);
  }
  filter->flush();
  filter->closeFile();
  filter->endJob();
  return log;
}

// ---------------------------------------------------------------------------
// File-reference node: defaults, texts and records

TEST(MergeObject, EachKindRemembersItsOwnFileName) {
  struct Case {
    int kind;
    const char *setting;
    const char *title;
    int help;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, "mergeFilename", "Merge into merge.txt", 850},
           {1, "OnlyShowLinesFoundIn", "Only show lines found in merge.txt", 870},
           {2, "RemoveLinesFoundIn", "Remove lines found in merge.txt", 890},
           {3, "LinkFilterFile", "Link filter merge.txt", 1240},
       }) {
    SCOPED_TRACE(c.kind);
    auto node = TMergeObject::CreateDefault(c.kind);
    EXPECT_EQ(node->kind, c.kind);
    EXPECT_EQ(node->getTitle(), c.title);
    EXPECT_EQ(node->helpContext(), c.help);
    EXPECT_EQ(TMergeObject::settingName(c.kind), c.setting);

    node->fileName = std::string("file") + c.setting;
    node->rememberDefaults();
    EXPECT_EQ(readStringSetting(c.setting, ""), node->fileName);
    EXPECT_EQ(TMergeObject::CreateDefault(c.kind)->fileName, node->fileName);
  }
  // The four kinds never share a remembered name.
  EXPECT_EQ(TMergeObject::CreateDefault(0)->fileName, "filemergeFilename");
  EXPECT_EQ(TMergeObject::CreateDefault(3)->fileName, "fileLinkFilterFile");

  auto odd = TMergeObject::CreateDefault(4);
  EXPECT_EQ(odd->fileName, "merge.txt");
  EXPECT_EQ(odd->getTitle(), "");
  EXPECT_EQ(odd->helpContext(), 0);
  TFilterList list;
  EXPECT_EQ(odd->add_filter(list), nullptr);
}

TEST(MergeObject, CreateWithTakesBothAsGivenAndUsesTheBaseTexts) {
  auto node = TMergeObject::CreateWith(2, "\"c:\\lists\\bad words.txt\"");
  EXPECT_EQ(node->kind, 2);
  EXPECT_EQ(node->fileName, "\"c:\\lists\\bad words.txt\"");
  EXPECT_EQ(node->getTitle(), "Remove lines found in \"c:\\lists\\bad words.txt\"");
  EXPECT_EQ(node->printText("    "), "Remove lines found in \"c:\\lists\\bad words.txt\"\r\n");
  // Read back as the same title: "\\b" would be a backspace.
  EXPECT_EQ(node->generateCmdLine(), "/{=Remove lines found in \"c:\\lists\\\\bad words.txt\"");
  EXPECT_FALSE(node->canParent());
  EXPECT_EQ(node->needGatherer(), ChildChain::Inline);
  EXPECT_EQ(node->iconIndex(), 1);
}

TEST(MergeObject, RecordsOfEveryFileType) {
  const std::string current =
      nodeRecord("TMergeObject", "MergeObject", false, boolean(false) + str("m.txt") + int8(3));
  auto node = readNodeRecord<TMergeObject>(current, 47);
  EXPECT_FALSE(node->getEnabled());
  EXPECT_EQ(node->fileName, "m.txt");
  EXPECT_EQ(node->kind, 3);
  EXPECT_EQ(recordOf(*node), current);
  roundTrip(*node);

  // Type 11 has the kind; type 10 has none and is a merge node; before 18
  // there is no enabled flag, and before 6 a text comes first.
  auto eleven = readNodeRecord<TMergeObject>(
      nodeRecord("TMergeObject", "MergeObject", true, str("a.txt") + int8(1)), 11);
  EXPECT_EQ(eleven->kind, 1);
  auto ten = readNodeRecord<TMergeObject>(
      nodeRecord("TMergeObject", "MergeObject", true, str("a.txt")), 10);
  EXPECT_EQ(ten->kind, 0);
  EXPECT_EQ(ten->fileName, "a.txt");
  EXPECT_TRUE(ten->getEnabled());
  auto five = readNodeRecord<TMergeObject>(
      nodeRecord("TMergeObject", "MergeObject", true, str("dropped") + str("b.txt")), 5);
  EXPECT_EQ(five->fileName, "b.txt");
  EXPECT_EQ(five->kind, 0);
  // Written back in the current layout.
  EXPECT_EQ(recordOf(*five), nodeRecord("TMergeObject", "MergeObject", true,
                                        boolean(true) + str("b.txt") + int8(0)));
}

TEST(MergeObject, WindowsNameIsKeptByteForByteInTheRecord) {
  const std::string name = "c:\\Data\\\xe9t\xe9.txt";
  auto node = TMergeObject::CreateWith(0, name);
  auto copy = roundTrip(*node);
  EXPECT_EQ(copy->fileName, name);
}

// ---------------------------------------------------------------------------
// File-reference node: building

TEST(MergeObject, BlankNameIsRefusedWithTheNodesTitle) {
  for (int kind = 0; kind < 4; ++kind) {
    for (const char *name : {"", "\"\"", "\""}) {
      auto node = TMergeObject::CreateWith(kind, name);
      EXPECT_EQ(buildError(*node), "Filename for '" + node->getTitle() + "' is blank");
    }
  }
  // A disabled node builds nothing and raises nothing.
  auto disabled = TMergeObject::CreateWith(0, "");
  disabled->setEnabled(false);
  TFilterList list;
  EXPECT_EQ(disabled->add_filter(list), nullptr);
}

TEST(MergeObject, MergeOpensTheUnquotedLocalFileOnceForTheJob) {
  auto node = TMergeObject::CreateWith(0, "\"c:\\tmp\\all.txt\"");
  TFilterList list;
  auto filter = node->add_filter(list);
  ASSERT_NE(dynamic_cast<TMergeFiles *>(filter.get()), nullptr);
  // The merged file is opened at the start of the job and closed at its end;
  // the input's own open and close do not reach it.
  EXPECT_EQ(runAsFile(std::move(filter), "one\n", 4096), "[/tmp/all.txt]one\n|");
}

class LinesFoundIn : public ::testing::Test {
protected:
  void SetUp() override { writeFile(dir.file("wanted list.txt"), "b\r\nc\n"); }
  TempFolder dir;
};

TEST_F(LinesFoundIn, OnlyShowAndRemoveUseTheListedLines) {
  const std::string text = "a\nb\nc\nd\nb\n";
  auto only = TMergeObject::CreateWith(1, dir.file("wanted list.txt"));
  EXPECT_EQ(runNode(*only, text), "b\nc\nb\n");
  auto remove = TMergeObject::CreateWith(2, dir.file("wanted list.txt"));
  EXPECT_EQ(runNode(*remove, text, 3), "a\nd\n");
}

// Many editors begin a UTF-8 file with a byte-order mark the user never sees:
// it is no part of the first line of any file the program reads as its own
// settings (lists of lines to find, a text node's file, maps, language
// files), while a file the job processes keeps it.
TEST_F(LinesFoundIn, AByteOrderMarkBeginsNoLineOfAFileOfSettings) {
  const std::string mark = "\xEF\xBB\xBF";
  writeFile(dir.file("marked.txt"), mark + "b\r\nc\n");
  auto only = TMergeObject::CreateWith(1, dir.file("marked.txt"));
  EXPECT_EQ(runNode(*only, mark + "a\nb\nc\n"), "b\nc\n");
  auto remove = TMergeObject::CreateWith(2, dir.file("marked.txt"));
  EXPECT_EQ(runNode(*remove, mark + "b\na\n"), mark + "b\na\n");
  TStringObject found;
  found.kind = 5; // only the lines found in a text
  found.useString = false;
  found.fileName = dir.file("marked.txt");
  EXPECT_EQ(runNode(found, "b\na\nc\n"), "b\nc\n");
  writeFile(dir.file("header.txt"), mark + "> ");
  found.kind = 0; // a header
  found.fileName = dir.file("header.txt");
  EXPECT_EQ(runNode(found, "a\n"), "> \r\na\n");
  writeFile(dir.file("marked.map"), mark + "65 x\r\n66 y\r\n");
  TUserObject map;
  map.loadFromTextFile(dir.file("marked.map"));
  EXPECT_EQ(map.entries[65], "x");
  writeFile(dir.file("Marked.ini"), mark + "[global]\r\n3610=Hallo\r\n");
  TStringLoader language(dir.file("Marked.ini"));
  EXPECT_EQ(language.getString(3610, "Hello"), "Hallo");
}

TEST_F(LinesFoundIn, QuotesAndWindowsSpellingAreUndoneOnlyToOpenTheFile) {
  const std::string stored = "\"" + windowsForm(dir.file("wanted list.txt")) + "\"";
  auto node = TMergeObject::CreateWith(1, stored);
  EXPECT_EQ(runNode(*node, "a\nc\n"), "c\n");
  EXPECT_EQ(node->fileName, stored);

  // A quote at the start only is part of the name: there is no such file.
  auto halfQuoted = TMergeObject::CreateWith(1, "\"" + dir.file("wanted list.txt"));
  TFilterList list;
  EXPECT_THROW(halfQuoted->add_filter(list), EFOpenError);
}

// ---------------------------------------------------------------------------
// Linked filter files

class LinkedFilterFile : public ::testing::Test {
protected:
  // Saves a list of input, `filters` and output as `name` in the folder.
  std::string saveList(const std::string &name, std::vector<std::unique_ptr<TListObject>> filters,
                       bool withOutput = true) {
    TFilterList list;
    list.resetToDefault();
    if (!withOutput)
      list.nodes.pop_back();
    int index = 2;
    for (auto &filter : filters)
      list.insertNode(index++, std::move(filter), 1, true);
    const std::string file = dir.file(name);
    list.saveToFile(file);
    return file;
  }

  static std::unique_ptr<TListObject> insertColumn(int position, std::string text) {
    auto node = std::make_unique<TInsertColumnObject>();
    node->position = position;
    node->text = std::move(text);
    return node;
  }

  static std::unique_ptr<TListObject> link(const std::string &file) {
    return TMergeObject::CreateWith(3, file);
  }

  template <class... Nodes> static std::vector<std::unique_ptr<TListObject>> nodes(Nodes... n) {
    std::vector<std::unique_ptr<TListObject>> list;
    (list.push_back(std::move(n)), ...);
    return list;
  }

  TempFolder dir;
};

TEST_F(LinkedFilterFile, TheLinkedFiltersRunInTheNodesPlace) {
  const std::string inner =
      saveList("inner.fll", nodes(insertColumn(1, "> "), insertColumn(0, "\\t<")));
  auto node = link(inner);
  EXPECT_EQ(runNode(*node, "a\nb\n"), "> a\t<\n> b\t<\n");

  // Quoted and in Windows spelling alike.
  auto quoted = link("\"" + windowsForm(inner) + "\"");
  EXPECT_EQ(runNode(*quoted, "c\n"), "> c\t<\n");
}

TEST_F(LinkedFilterFile, LinksInsideLinkedFilesAreFollowed) {
  const std::string inner = saveList("inner.fll", nodes(insertColumn(1, "1")));
  const std::string middle = saveList("middle.fll", nodes(link(inner), insertColumn(1, "2")));
  auto node = link(dir.file("middle.fll"));
  EXPECT_EQ(runNode(*node, "x\n"), "21x\n");
  (void)middle;
}

TEST_F(LinkedFilterFile, LinksNestedTooDeeplyAreRefused) {
  // Each file links the next; the last one holds a filter.
  auto chainOf = [&](int files) {
    saveList("l" + std::to_string(files) + ".fll", nodes(insertColumn(1, "x")));
    for (int i = files - 1; i >= 0; --i)
      saveList("l" + std::to_string(i) + ".fll",
               nodes(link(dir.file("l" + std::to_string(i + 1) + ".fll"))));
    return link(dir.file("l0.fll"));
  };
  auto deepest = chainOf(31);
  EXPECT_EQ(runNode(*deepest, "a\n"), "xa\n");
  auto tooDeep = chainOf(32);
  EXPECT_EQ(buildError(*tooDeep),
            "Link filter " + dir.file("l32.fll") + ": links are nested more than 32 deep");
}

TEST_F(LinkedFilterFile, TheLinkedChainGoesInPlaceOfTheNodeInAWholeList) {
  const std::string inner =
      saveList("inner.fll", nodes(insertColumn(1, "<"), insertColumn(0, ">")));
  TFilterList list;
  list.resetToDefault();
  list.insertNode(2, link(inner), 1, true);
  list.insertNode(3, insertColumn(1, "#"), 1, true);
  int errorIndex = 0;
  std::unique_ptr<TFilter> chain = list.createFilters(false, true, errorIndex);
  EXPECT_EQ(runChain(std::move(chain), "x\n"), "#<x>\n");
}

TEST_F(LinkedFilterFile, UnreadableFilesGiveTheLinkMessage) {
  auto missing = link(dir.file("none.fll"));
  EXPECT_EQ(buildError(*missing), "Couldn't open link filter file " + dir.file("none.fll"));

  for (const std::string &notAFile : {dir.path(), std::string("/dev/zero")}) {
    auto node = link(notAFile);
    EXPECT_EQ(buildError(*node), "Couldn't open link filter file " + notAFile);
  }

  writeFile(dir.file("damaged.fll"), "TPF0\x0bTFilterList");
  auto damaged = link("\"" + dir.file("damaged.fll") + "\"");
  EXPECT_EQ(buildError(*damaged), "Couldn't open link filter file " + dir.file("damaged.fll"));
}

TEST_F(LinkedFilterFile, ALinkedListThatDoesNotValidateStopsWithItsOwnMessage) {
  auto empty = link(saveList("empty.fll", nodes()));
  EXPECT_EQ(buildError(*empty), "No filters have been specified");

  auto noOutput = link(saveList("open.fll", nodes(insertColumn(1, "a")), false));
  EXPECT_EQ(buildError(*noOutput), "Error: The last enabled filter is not an Ouput Filter");

  auto badInner = link(saveList("bad.fll", nodes(insertColumn(1, ""))));
  EXPECT_EQ(buildError(*badInner), "String for 'Insert column 1 []' is blank");
}

TEST_F(LinkedFilterFile, ALoopOfLinksIsRefusedAndTheNextBuildStillWorks) {
  const std::string self = dir.file("self.fll");
  saveList("self.fll", nodes(link(self)));
  auto node = link(self);
  EXPECT_EQ(buildError(*node),
            "Link filter " + self + " links back to a filter file that links to it");

  // Through another file, and under a spelling of its own.
  const std::string a = dir.file("a.fll");
  const std::string b = saveList("b.fll", nodes(link(windowsForm(a))));
  saveList("a.fll", nodes(link(b)));
  auto loop = link(a);
  EXPECT_EQ(buildError(*loop),
            "Link filter " + windowsForm(a) + " links back to a filter file that links to it");

  // The same file twice one after the other is no loop.
  const std::string inner = saveList("inner.fll", nodes(insertColumn(1, "i")));
  auto twice = link(saveList("twice.fll", nodes(link(inner), link(inner))));
  EXPECT_EQ(runNode(*twice, "x\n"), "iix\n");

  // In a whole list the error names the link node.
  TFilterList list;
  list.resetToDefault();
  list.insertNode(2, insertColumn(1, "ok"), 1, true);
  list.insertNode(3, link(self), 1, true);
  int errorIndex = 0;
  EXPECT_THROW(list.createFilters(false, false, errorIndex), Exception);
  EXPECT_EQ(errorIndex, 3);
}

// ---------------------------------------------------------------------------
// Split node

TEST(SplitObject, NewNodeFromAnEmptyStoreAndRememberedValues) {
  auto node = TSplitObject::CreateDefault();
  EXPECT_EQ(node->size, 1457664);
  EXPECT_EQ(node->type, 0);
  EXPECT_EQ(node->character, 12);
  EXPECT_EQ(node->count, 1);
  EXPECT_EQ(node->position, 0);
  EXPECT_EQ(node->getTitle(), "Split at 1457664 bytes");

  node->size = 100;
  node->type = 1;
  node->character = 10;
  node->count = 3;
  node->position = 2;
  node->rememberDefaults();
  EXPECT_EQ(readIntegerSetting("SplitSize", 0), 100);
  EXPECT_EQ(readIntegerSetting("rsplitType", 0), 1);
  EXPECT_EQ(readIntegerSetting("rsplitChar", 0), 10);
  EXPECT_EQ(readIntegerSetting("rsplitCharCount", 0), 3);
  EXPECT_EQ(readIntegerSetting("rsplitCharPosition", 0), 2);
  EXPECT_EQ(recordOf(*TSplitObject::CreateDefault()), recordOf(*node));
}

TEST(SplitObject, Titles) {
  struct Case {
    int type, position, count;
    const char *title;
  };
  for (const Case &c : std::initializer_list<Case>{
           {0, 1, 5, "Split at 4000 bytes"},
           {1, 0, 1, "Split before char 65 count 1"},
           {1, 1, 2, "Split after char 65 count 2"},
           {1, 2, 0, "Split at char 65"},
           {1, 7, -1, "Split at char 65"},
           {2, 0, 3, "Split before char 65 count 3"},
       }) {
    TSplitObject node;
    node.size = 4000;
    node.character = 65;
    node.type = c.type;
    node.position = c.position;
    node.count = c.count;
    EXPECT_EQ(node.getTitle(), c.title);
    EXPECT_EQ(node.printText("  "), std::string(c.title) + "\r\n");
    EXPECT_EQ(node.generateCmdLine(), std::string("/{=") + c.title);
  }
}

TEST(SplitObject, RecordsOfEveryFileType) {
  TSplitObject node;
  node.type = 1;
  node.character = 200;
  node.count = 2;
  node.position = 1;
  const std::string current =
      nodeRecord("TSplitObject", "SplitObject", true,
                 boolean(true) + int32(1457664) + int8(1) + int16(200) + int8(2) + int8(1));
  EXPECT_EQ(recordOf(node), current);
  auto read = roundTrip(node);
  EXPECT_EQ(read->character, 200);

  auto old = readNodeRecord<TSplitObject>(
      nodeRecord("TSplitObject", "SplitObject", true, boolean(false) + int16(1000)), 22);
  EXPECT_FALSE(old->enabledField());
  EXPECT_EQ(old->size, 1000);
  EXPECT_EQ(old->type, 0);
  EXPECT_EQ(old->character, 12);
  EXPECT_EQ(old->count, 1);
  EXPECT_EQ(old->position, 0);

  auto twentyThree = readNodeRecord<TSplitObject>(
      nodeRecord("TSplitObject", "SplitObject", true,
                 boolean(true) + int8(5) + int8(1) + int8(59) + int8(4) + int8(2)),
      23);
  EXPECT_EQ(twentyThree->getTitle(), "Split at char 59 count 4");
}

TEST(SplitObject, SplitsAtASizeOrACharacterIntoNumberedParts) {
  TFilterList list;
  TSplitObject bySize;
  bySize.size = 4;
  EXPECT_EQ(runAsFile(bySize.add_filter(list), "abcdefghij", 3),
            "[in.txt.000]abcd|[in.txt.001]efgh|[in.txt.002]ij|");

  TSplitObject byChar;
  byChar.type = 1;
  byChar.character = ';';
  byChar.count = 2;
  for (const auto &[position, parts] : std::initializer_list<std::pair<int, const char *>>{
           {0, "[in.txt.000]a;b|[in.txt.001];c;d|"},
           {1, "[in.txt.000]a;b;|[in.txt.001]c;d|"},
           {2, "[in.txt.000]a;b|[in.txt.001]c;d|"},
       }) {
    SCOPED_TRACE(position);
    byChar.position = position;
    EXPECT_EQ(runAsFile(byChar.add_filter(list), "a;b;c;d", 2), parts);
  }
}

TEST(SplitObject, BadSettingsRaise) {
  TSplitObject node;
  node.type = 2;
  EXPECT_EQ(buildError(node), "Invalid split object type");
  node.type = -1;
  EXPECT_EQ(buildError(node), "Invalid split object type");

  node.type = 1;
  node.character = 256;
  EXPECT_EQ(buildError(node), "Split before char 256 count 1: Range check error");
  node.character = -1;
  EXPECT_EQ(buildError(node), "Split before char -1 count 1: Range check error");

  node.type = 0;
  node.size = 0;
  EXPECT_NE(buildError(node), "(built)");

  node.setEnabled(false);
  TFilterList list;
  EXPECT_EQ(node.add_filter(list), nullptr);
}

} // namespace

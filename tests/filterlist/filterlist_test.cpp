#include "filterlist/filterlist.h"
#include "filterlist/nodecatalog.h"

#include "classlib/format.h"
#include "classlib/paths.h"
#include "engine/escapes.h"
#include "engine/inputs.h"
#include "engine/messages.h"
#include "engine/outputs.h"
#include "engine/subchain.h"
#include "filterlist/classregistry.h"
#include "filterlist/commentnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/ionodes.h"
#include "filterlist/node_records.h"
#include "filterlist/searchnodes.h"
#include "filters/charfilters.h"
#include "support/chunk_harness.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// Selects each chunk whole: with a gatherer the children's result comes back
// in brackets; with an ignore-flush end the children's output goes straight on.
class TestSelectFilter : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    if (!firstSubfilter())
      return sendToNext(chunk);
    if (dynamic_cast<TGatherer *>(subfilterEnd())) {
      subFilterEntireText(chunk);
      std::string out = "[" + chunk + "]";
      return sendToNext(out);
    }
    return firstSubfilter()->processChunk(chunk);
  }
};

// A test-only node that selects text (none of the real nodes here does).
class TestSelectObject : public TListObject {
public:
  explicit TestSelectObject(int gatherer, bool makesFilter = true)
      : gatherer_(gatherer), makesFilter_(makesFilter) {}
  bool canParent() const override { return true; }
  ChildChain needGatherer() const override { return static_cast<ChildChain>(gatherer_); }
  std::string getTitle() const override { return "select"; }
  std::unique_ptr<TFilter> add_this_filter(TFilterList &) override {
    return makesFilter_ ? std::make_unique<TestSelectFilter>() : nullptr;
  }
  std::string_view className() const override { return "TCommentObject"; }

private:
  int gatherer_;
  bool makesFilter_;
};

// A node whose settings are invalid: building it raises.
class TestBlankObject : public TListObject {
public:
  std::string getTitle() const override { return "blank search"; }
  std::unique_ptr<TFilter> add_this_filter(TFilterList &) override {
    throw Exception(Format("String for '%s' is blank", {shortTitle(*this)}));
  }
};

// A node whose filter fails the chain's validation.
class TestInvalidObject : public TListObject {
public:
  struct Invalid : TFilter {
    void validate() override { throw Exception("invalid settings"); }
  };
  std::unique_ptr<TFilter> add_this_filter(TFilterList &) override {
    return std::make_unique<Invalid>();
  }
};

std::unique_ptr<TEOLObject> unixToDos() {
  auto eol = std::make_unique<TEOLObject>();
  eol->convertFrom = 0;
  eol->convertTo = 2;
  eol->removeBad = true;
  return eol;
}

std::unique_ptr<TUserObject> upperA() {
  auto map = TUserObject::CreateDefault();
  map->entries['a'] = "A";
  return map;
}

std::unique_ptr<TOutputObject> fileOutput() {
  auto out = std::make_unique<TOutputObject>();
  out->outputToFile = 1;
  return out;
}

std::unique_ptr<TInputObject> fileInput() {
  auto in = std::make_unique<TInputObject>();
  in->inputFromFile = true;
  return in;
}

std::string buildError(TFilterList &list, int &errorIndex, bool clipboard = false) {
  errorIndex = 99;
  try {
    list.createFilters(clipboard, false, errorIndex);
  } catch (const Exception &e) {
    return e.message();
  }
  return "built";
}

// ---------------------------------------------------------------------------
// Validation

TEST(FilterListValidation, MessagesFromTheirTriggers) {
  struct Case {
    const char *layout; // I input, O output, F filter, lower case disabled
    const char *message;
  };
  const Case cases[] = {
      {"IO", "built"},
      {"IFO", "built"},
      {"FIO", "Error: The first enabled filter is not an Input Filter"},
      {"fIO", "built"},
      {"IIO", "Error: There is more than one enabled Input Filter"},
      {"IOfO", "Error: There is more than one enabled Output Filter"},
      {"IOF", "Error: The last enabled filter is not an Ouput Filter"},
      {"IF", "Error: The last enabled filter is not an Ouput Filter"},
      {"FO", "Error: The first enabled filter is not an Input Filter"},
      {"", "Error: The first enabled filter is not an Input Filter"},
      {"f", "Error: The first enabled filter is not an Input Filter"},
      {"I", "Error: The last enabled filter is not an Ouput Filter"},
  };
  for (const Case &c : cases) {
    TFilterList list;
    list.nodes.clear();
    list.addNode(TFilterCommentObject::CreateDefault(), 0);
    for (const char *p = c.layout; *p; ++p) {
      std::unique_ptr<TListObject> node;
      if (*p == 'I')
        node = fileInput();
      else if (*p == 'O')
        node = fileOutput();
      else
        node = unixToDos();
      node->setEnabled(*p != 'f');
      list.addNode(std::move(node), 1);
    }
    int errorIndex;
    EXPECT_EQ(buildError(list, errorIndex), c.message) << c.layout;
    EXPECT_EQ(errorIndex, -1) << c.layout;
  }
}

TEST(FilterListValidation, OnlyInputAndOutputBuildsInputToOutputButNotForTheClipboard) {
  TFilterList list;
  makeList(list);
  int errorIndex;
  auto chain = list.createFilters(false, false, errorIndex);
  ASSERT_NE(dynamic_cast<TGenericInput *>(chain.get()), nullptr);
  EXPECT_NE(dynamic_cast<TFileOutput *>(chain->next()), nullptr);
  EXPECT_EQ(chain->next()->next(), nullptr);
  EXPECT_EQ(buildError(list, errorIndex, true), "No filters have been specified");
  EXPECT_EQ(errorIndex, -1);
  int innerError;
  EXPECT_THROW(list.createFilters(false, true, innerError), Exception);
}

TEST(FilterListValidation, ClipboardChainReadsAndWritesTheClipboard) {
  TFilterList list;
  makeList(list);
  addFilter(list, unixToDos());
  int errorIndex;
  auto chain = list.createFilters(true, false, errorIndex);
  EXPECT_NE(dynamic_cast<TClipboardInput *>(chain.get()), nullptr);
  EXPECT_NE(dynamic_cast<TClipboardOutput *>(chain->lastFilter()), nullptr);
  EXPECT_EQ(chain->next()->next(), chain->lastFilter());
}

TEST(FilterListValidation, NestedInputOrOutputNodesDoNotCount) {
  TFilterList list;
  makeList(list);
  addFilter(list, std::make_unique<TCommentObject>());
  addFilter(list, fileOutput(), 2);
  int errorIndex;
  EXPECT_EQ(buildError(list, errorIndex), "built");
}

// ---------------------------------------------------------------------------
// Building

TEST(FilterListBuild, ChildrenOfAGathererRunOnTheSelectionAndComeBack) {
  TFilterList list;
  makeList(list);
  addFilter(list, std::make_unique<TestSelectObject>(1));
  addFilter(list, upperA(), 2);
  addFilter(list, unixToDos(), 2);
  addFilter(list, std::make_unique<TCommentObject>()); // after the block, level 1
  EXPECT_EQ(runInnerChain(list, "ab\nba"), "[Ab\r\nbA]");

  int errorIndex;
  auto chain = list.createFilters(false, true, errorIndex);
  ASSERT_NE(chain->firstSubfilter(), nullptr);
  EXPECT_NE(dynamic_cast<TGatherer *>(chain->subfilterEnd()), nullptr);
  EXPECT_TRUE(chain->firstSubfilter()->inSubchain());
  EXPECT_FALSE(chain->inSubchain());
  EXPECT_EQ(chain->next(), nullptr);
}

TEST(FilterListBuild, ChildrenOfAnIgnoreFlushParentPassTheirOutputOn) {
  TFilterList list;
  makeList(list);
  addFilter(list, std::make_unique<TestSelectObject>(2));
  addFilter(list, upperA(), 2);
  addFilter(list, unixToDos(), 1);
  EXPECT_EQ(runInnerChain(list, "a\na"), "A\r\nA");
  int errorIndex;
  auto chain = list.createFilters(false, true, errorIndex);
  EXPECT_NE(dynamic_cast<TIgnoreFlush *>(chain->subfilterEnd()), nullptr);
}

TEST(FilterListBuild, InlineChildrenFollowTheirParent) {
  TFilterList list;
  makeList(list);
  addFilter(list, TCommentObject::CreateWith("group"));
  addFilter(list, upperA(), 2);
  addFilter(list, unixToDos(), 3); // the map node heads nothing: children inline
  EXPECT_EQ(runInnerChain(list, "a\n"), "A\r\n");
}

TEST(FilterListBuild, NestedSelectionsTwoDeep) {
  TFilterList list;
  makeList(list);
  addFilter(list, std::make_unique<TestSelectObject>(1));
  addFilter(list, std::make_unique<TestSelectObject>(1), 2);
  addFilter(list, upperA(), 3);
  addFilter(list, unixToDos(), 2);
  EXPECT_EQ(runInnerChain(list, "a\n"), "[[A\r\n]]");
}

TEST(FilterListBuild, DisabledParentBuildsNothingButItsChildrenStillRaise) {
  TFilterList list;
  makeList(list);
  auto parent = std::make_unique<TestSelectObject>(1);
  parent->setEnabled(false);
  addFilter(list, std::move(parent));
  addFilter(list, upperA(), 2);
  addFilter(list, std::make_unique<TestSelectObject>(1), 3);
  addFilter(list, unixToDos(), 4);
  addFilter(list, unixToDos(), 1);
  EXPECT_EQ(runInnerChain(list, "a\n"), "a\r\n");

  addFilter(list, std::make_unique<TestBlankObject>(), 1);
  list.insertNode(3, std::make_unique<TestBlankObject>(), 2, true);
  int errorIndex;
  EXPECT_EQ(buildError(list, errorIndex), "String for 'blank search' is blank");
  EXPECT_EQ(errorIndex, 3);
}

TEST(FilterListBuild, SelectingParentWithoutAFilterDropsItsChildren) {
  TFilterList list;
  makeList(list);
  addFilter(list, upperA());
  addFilter(list, std::make_unique<TestSelectObject>(1, false));
  addFilter(list, unixToDos(), 2);
  // The children neither run on the whole text nor hang off the map filter.
  EXPECT_EQ(runInnerChain(list, "a\n"), "A\n");
  int errorIndex;
  auto chain = list.createFilters(false, true, errorIndex);
  EXPECT_EQ(chain->firstSubfilter(), nullptr);
  EXPECT_EQ(chain->next(), nullptr);
}

TEST(FilterListBuild, AFirstNodeDeeperThanTheRestDoesNotEndTheBuild) {
  // Nested under the input node (a hand-made file), the first filter of the
  // inner range sits deeper than those after it; they must still be built,
  // not silently left out of the chain.
  TFilterList list;
  makeList(list);
  addFilter(list, unixToDos(), 2);
  addFilter(list, upperA(), 1);
  EXPECT_EQ(runInnerChain(list, "a\n"), "A\r\n");
  int errorIndex;
  auto chain = list.createFilters(true, false, errorIndex);
  EXPECT_NE(dynamic_cast<TUserDefined *>(chain->next()->next()), nullptr);
}

TEST(FilterListBuild, ErrorIndexNamesTheNodeThatFailed) {
  TFilterList list;
  makeList(list);
  addFilter(list, unixToDos());
  addFilter(list, std::make_unique<TestBlankObject>());
  int errorIndex;
  EXPECT_EQ(buildError(list, errorIndex), "String for 'blank search' is blank");
  EXPECT_EQ(errorIndex, 3);
}

TEST(FilterListBuild, ValidationFailureNamesItsNodeOrNone) {
  TFilterList list;
  makeList(list);
  addFilter(list, unixToDos());
  addFilter(list, std::make_unique<TestInvalidObject>());
  addFilter(list, unixToDos());
  int errorIndex;
  EXPECT_EQ(buildError(list, errorIndex), "invalid settings");
  EXPECT_EQ(errorIndex, 3);
}

TEST(FilterListBuild, PlaceholderOfALaterNodeRaisesWhenEnabled) {
  registerLaterNodeClass();
  TFilterList list;
  makeList(list);
  auto later = globalClassRegistry().create(laterNodeClass.className);
  addFilter(list, std::unique_ptr<TListObject>(dynamic_cast<TListObject *>(later.release())));
  int errorIndex;
  EXPECT_EQ(buildError(list, errorIndex), "The filter 'LaterObject' cannot be run by this version");
  EXPECT_EQ(errorIndex, 2);
  list.node(2).setEnabled(false);
  EXPECT_EQ(buildError(list, errorIndex), "built");
}

// ---------------------------------------------------------------------------
// File list strings

TEST(FilterListFiles, StringsFillTheGridInItsOwnSpelling) {
  struct Case {
    const char *stored, *mask, *subfolders, *action;
  };
  const Case cases[] = {
      {"c:\\data\\*.txt|AA", "c:\\data\\*.txt", "All", "Add"},
      {"x|IS", "x", "All", "Subtract"},
      {"x|NI", "x", "None", "Ignore"},
      {"x|EA", "x", "None", "Add"},
      {"x|1A", "x", "1 level", "Add"},
      {"x|3S", "x", "3 levels", "Subtract"},
      {"x|9A", "x", "9 levels", "Add"},
      {"x|0A", "x", "", "Add"},
      {"x|A", "x", "All", "Add"},
      {"x|", "x", "", "Add"},
      {"a|b.txt|NS", "a|b.txt", "None", "Subtract"},
      {"*.log", "*.log", "All", "Add"},
      {"notes.txt", "notes.txt", "None", "Add"},
  };
  for (const Case &c : cases) {
    TFilterList list;
    list.files = {{"old", "All", "Add"}};
    list.putFileList({c.stored}, false);
    ASSERT_EQ(list.files.size(), 1u) << c.stored;
    EXPECT_EQ(list.files[0].pathMask, c.mask) << c.stored;
    EXPECT_EQ(list.files[0].subfolders, c.subfolders) << c.stored;
    EXPECT_EQ(list.files[0].action, c.action) << c.stored;
  }
}

TEST(FilterListFiles, GridRowsBecomeStringsAndKeepingAppends) {
  TFilterList list;
  list.files = {{"c:\\x\\*.txt", "3 levels", "Subtract"}, {"y", "", ""}, {"a|b", "All", "Ignore"}};
  const std::vector<std::string> strings = list.fileListStrings();
  EXPECT_EQ(strings, (std::vector<std::string>{"c:\\x\\*.txt|3S", "y|NA", "a|b|AI"}));
  list.putFileList(strings, true);
  ASSERT_EQ(list.files.size(), 6u);
  EXPECT_EQ(list.files[3].subfolders, "3 levels");
  EXPECT_EQ(list.files[4].subfolders, "None");
  EXPECT_EQ(list.files[5].pathMask, "a|b");
  list.putFileList({}, false);
  EXPECT_TRUE(list.files.empty());
}

// ---------------------------------------------------------------------------
// Filter files

// A list holding every node of this issue, with texts that exercise the
// stream's forms (NUL, high bytes, long strings).
void fillEveryNode(TFilterList &list) {
  list.resetToDefault();
  list.nodes.clear();
  list.addNode(TFilterCommentObject::CreateDefault(), 0);
  auto in = fileInput();
  in->skipBinary = 2;
  in->binarySampleSize = 40000;
  in->promptOnReadOnly = true;
  list.addNode(std::move(in), 1, false);
  list.addNode(TCommentObject::CreateWith(std::string("head\r\nline\0two\xE9", 16)), 1, true);
  list.addNode(unixToDos(), 2, false);
  auto map = upperA();
  map->mapFileName = "c:\\maps\\upper.map";
  map->entries[0] = std::string(255, 'z');
  list.addNode(std::move(map), 2);
  auto eol = unixToDos();
  eol->convertFrom = 4;
  eol->convertTo = 4;
  eol->fixedLength = -200;
  eol->outputText = "\\r\\n";
  eol->setEnabled(false);
  list.addNode(std::move(eol), 3);
  auto out = fileOutput();
  out->outputToFile = 2;
  out->singleFilename = std::string(300, 'm');
  out->newBaseDir = "c:\\windows\\temp";
  out->appendMode = true;
  list.addNode(std::move(out), 1);
  list.comments = std::string(256, 'c');
  list.scratchPad = std::string("pad\0", 4);
  list.trialInput = "trial\r\n";
  list.files = {{"c:\\data\\*.txt", "All", "Add"}, {"/tmp/a|b", "2 levels", "Subtract"}};
  list.log.enabled = true;
  list.log.fileName = "run.log";
  list.log.append = false;
  list.log.lineThreshold = 70000;
}

TEST(FilterListFile, EveryNodeSavedLoadedAndSavedAgainIsByteIdentical) {
  TempFolder dir;
  TFilterList list;
  fillEveryNode(list);
  TFilterList loaded;
  const std::string first = saveAndLoad(list, dir, loaded);
  ASSERT_EQ(loaded.count(), list.count());
  for (int i = 0; i < list.count(); ++i) {
    EXPECT_EQ(loaded.node(i).className(), list.node(i).className());
    EXPECT_EQ(loaded.nodes[i].level, list.nodes[i].level);
    EXPECT_EQ(loaded.nodes[i].expanded, list.nodes[i].expanded);
  }
  EXPECT_EQ(loaded.nodes[2].text, shortTitle(list.node(2)));
  EXPECT_EQ(loaded.comments, list.comments);
  EXPECT_EQ(loaded.scratchPad, list.scratchPad);
  EXPECT_EQ(loaded.trialInput, list.trialInput);
  EXPECT_EQ(loaded.fileListStrings(), list.fileListStrings());
  EXPECT_EQ(loaded.log.lineThreshold, 70000);
  EXPECT_FALSE(loaded.log.append);

  expectSavedAgainTheSame(loaded, dir, first);
}

// A new list's input and output nodes, each a level below the top node, and
// the file's end.
std::string defaultNodesToEnd() {
  return int8(1) + boolean(true) +
         nodeRecord("TInputObject", "InputObject", true,
                    boolean(true) + boolean(false) + int8(0) + boolean(false) + int8(0) +
                        boolean(false) + boolean(false)) +
         int8(1) + boolean(true) +
         nodeRecord("TOutputObject", "OutputObject", true,
                    boolean(true) + boolean(false) + boolean(false) + int8(0) + boolean(false) +
                        str("") + boolean(false) + str("") + boolean(false) + str("") +
                        boolean(false)) +
         fileEnd();
}

TEST(FilterListFile, TheBytesOfASmallList) {
  TFilterList list;
  list.nodes.clear();
  list.addNode(std::make_unique<TFilterCommentObject>(), 0);
  list.addNode(std::make_unique<TInputObject>(), 1);
  list.addNode(std::make_unique<TOutputObject>(), 1);
  list.log.fileName = "l";
  const std::string expected =
      fileStart() +
      versionRecord(int8(47) + str("") + str("") + str("") + bytes({0x01, 0x00}) + boolean(false) +
                    str("l") + boolean(false) + int8(0)) +
      int8(0) + boolean(true) +
      nodeRecord("TFilterCommentObject", "ListObject", true, boolean(true)) + defaultNodesToEnd();
  EXPECT_EQ(filterFileBytes(list), expected);
}

// Another program may store the class library's Tag in any record, the
// list's, its version's and a node's: the file loads and is saved again
// with the same bytes.
TEST(FilterListFile, TagsAreReadAndSavedAgain) {
  const std::string file =
      "TPF0" + name("TFilterList") + bytes({0x00}) + name("Tag") + int8(7) + name("FilterList") +
      bytes({0x01}) + name("TVersion") + bytes({0x00}) + name("Tag") + bytes({0x03, 0x2C, 0x01}) +
      name("Version") + int8(47) + str("") + str("") + str("") + bytes({0x01, 0x00}) +
      boolean(false) + str("l") + boolean(false) + int8(0) + bytes({0x00, 0x00}) + int8(0) +
      boolean(true) + name("TFilterCommentObject") + bytes({0x00}) + name("Tag") +
      bytes({0x04, 0x90, 0xEE, 0xFE, 0xFF}) + name("enabled") + boolean(true) + name("ListObject") +
      boolean(true) + bytes({0x00, 0x00}) + defaultNodesToEnd();
  TFilterList list;
  list.loadFromBytes(file, "tagged.fll");
  EXPECT_EQ(list.firstObject()->tag(), -70000);
  EXPECT_EQ(filterFileBytes(list), file);
}

// A type-20 file: no levels, a comment in two texts, an input node with the
// dropped Boolean, an end-of-line node without output text.
std::string type20File() {
  return fileStart() +
         versionRecord(int8(20) + str("notes") + str("pad") + str("trial") + bytes({0x01}) +
                       str("c:\\in\\*.txt|AA") + str("plain.txt") + bytes({0x00})) +
         nodeRecord("TFilterCommentObject", "ListObject", true, boolean(true)) +
         nodeRecord("TInputObject", "InputObject", true,
                    boolean(true) + boolean(true) + boolean(false) + int8(1) + boolean(true) +
                        int8(64)) +
         nodeRecord("TCommentObject", "CommentObject", true,
                    boolean(true) + str("{Note}") + str("more")) +
         nodeRecord("TEOLObject", "EOLObject", true,
                    boolean(true) + int8(3) + int8(80) + boolean(true) + int8(4)) +
         nodeRecord("TOutputObject", "OutputObject", true,
                    boolean(true) + boolean(true) + boolean(false) + boolean(true) + boolean(true) +
                        str(".out") + boolean(true) + str("c:\\o")) +
         fileEnd();
}

TEST(FilterListFile, OldFileTypesLoadWithTheDocumentedDefaults) {
  TempFolder dir;
  const std::string file = dir.file("old.fll");
  writeFile(file, type20File());
  TFilterList list;
  list.loadFromFile(file);
  ASSERT_EQ(list.count(), 5);
  EXPECT_EQ(list.node(0).className(), "TFilterCommentObject");
  EXPECT_EQ(list.nodes[0].level, 0);
  for (int i = 1; i < 5; ++i) {
    EXPECT_EQ(list.nodes[i].level, 1);
    EXPECT_TRUE(list.nodes[i].expanded);
  }
  EXPECT_EQ(list.comments, "notes");
  EXPECT_EQ(list.scratchPad, "pad");
  EXPECT_TRUE(list.log.enabled);
  EXPECT_EQ(list.log.fileName, "marrowen.log");
  EXPECT_TRUE(list.log.append);
  EXPECT_EQ(list.log.lineThreshold, 500);
  ASSERT_EQ(list.files.size(), 2u);
  EXPECT_EQ(list.files[1].subfolders, "None");

  auto &in = dynamic_cast<TInputObject &>(list.node(1));
  EXPECT_TRUE(in.promptEachFile);
  EXPECT_EQ(in.skipBinary, 1);
  EXPECT_TRUE(in.inputFromFile);
  EXPECT_EQ(in.binarySampleSize, 64);
  EXPECT_TRUE(in.promptOnReadOnly);
  EXPECT_EQ(dynamic_cast<TCommentObject &>(list.node(2)).text, "Note\r\nmore");
  EXPECT_EQ(dynamic_cast<TEOLObject &>(list.node(3)).outputText, "\\009");
  auto &out = dynamic_cast<TOutputObject &>(list.node(4));
  EXPECT_EQ(out.outputToFile, 1);
  EXPECT_EQ(out.newExtension, ".out");
  EXPECT_EQ(out.newBaseDir, "c:\\o");
  EXPECT_EQ(out.singleFilename, "mergefilename.txt");

  // Saved again it is a type-47 file that loads to the same list.
  list.saveToFile(file);
  TFilterList again;
  again.loadFromFile(file);
  EXPECT_EQ(filterFileBytes(again), filterFileBytes(list));
}

TEST(FilterListFile, Type28HasNoLevelsAndType29Has) {
  const std::string nodes28 =
      nodeRecord("TInputObject", "InputObject", true,
                 boolean(true) + boolean(false) + int8(0) + boolean(true) + int8(100)) +
      nodeRecord("TCommentObject", "CommentObject", true, boolean(true) + str("c")) +
      nodeRecord("TOutputObject", "OutputObject", true,
                 boolean(true) + boolean(true) + boolean(true) + boolean(false) + boolean(false) +
                     str("") + boolean(false) + str(""));
  TempFolder dir;
  writeFile(dir.file("28.fll"),
            fileStart() + versionRecord(int8(28) + str("") + str("") + str("") + bytes({1, 0})) +
                nodes28 + fileEnd());
  TFilterList list;
  list.loadFromFile(dir.file("28.fll"));
  ASSERT_EQ(list.count(), 4);
  EXPECT_EQ(dynamic_cast<TCommentObject &>(list.node(2)).text, "c");
  EXPECT_EQ(list.nodes[2].level, 1);
  EXPECT_EQ(list.node(0).className(), "TFilterCommentObject");
}

// Every node saved as a file of type 48, a later program's, and loaded back
// whole: the warnings the load gave.
std::vector<std::string> loadLaterTypeFile(const TempFolder &dir) {
  TFilterList list;
  fillEveryNode(list);
  std::string file = filterFileBytes(list);
  const std::string version47 = name("Version") + int8(47);
  file.replace(file.find(version47), version47.size(), name("Version") + int8(48));
  writeFile(dir.file("new.fll"), file);
  TFilterList loaded;
  std::vector<std::string> warnings;
  loaded.setWarningHandler([&](const std::string &w) { warnings.push_back(w); });
  loaded.loadFromFile(dir.file("new.fll"));
  EXPECT_EQ(loaded.count(), list.count());
  return warnings;
}

TEST(FilterListFile, LaterFileTypeWarnsThroughTheHostAndLoads) {
  TempFolder dir;
  const std::vector<std::string> warnings = loadLaterTypeFile(dir);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "Warning: The filter being read is from a later version of Marrowen "
                         "Pro. It may not load successfully (expecting file type <= 47, reading "
                         "type: 48)");
}

// A translator's slip: message 3100 holds a number where the pattern is due,
// 6790 one value more than it is given. Pattern searches still build and run,
// newer files still load, both in English, and the default log names each
// message once.
TEST(FilterListFile, TranslatedFormatsThatDoNotFitFallBackToEnglish) {
  TempFolder dir;
  overrideProgramFolder(dir.path());
  writeFile(dir.file("Slip.ini"), "[global]\r\n3100=%d\r\n6790=Newer %s %d %d %s\r\n");
  auto previous = installStringLoader(TStringLoader::Create(dir.file("Slip.ini")));
  TFilterList list;
  for (int run = 0; run < 2; ++run) {
    TSearchObject search;
    search.patternType = 1;
    search.searchString = "[0-9]+";
    search.replaceString = "<$0>";
    std::string statistics;
    ChunkRunOptions options;
    options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
    EXPECT_EQ(runInChunks([&] { return search.add_this_filter(list); }, "a1b22\n", 0, options),
              "a<1>b<22>\n");
    EXPECT_NE(statistics.find(" for pattern match [[0-9]+]"), std::string::npos) << statistics;

    const std::vector<std::string> warnings = loadLaterTypeFile(dir);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].starts_with("Warning: The filter being read is from a later version"));
  }
  installStringLoader(previous);
  const std::string log = readFile(dir.file("marrowen.log"));
  overrideProgramFolder("");
  for (const char *message : {"Message 3100 ", "Message 6790 "}) {
    const auto first = log.find(message);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(message, first + 1), std::string::npos) << log;
  }
}

TEST(FilterListFile, DamagedFilesRaiseAReadErrorNamingTheFile) {
  TempFolder dir;
  TFilterList list;
  fillEveryNode(list);
  const std::string good = filterFileBytes(list);
  const std::string file = dir.file("bad.fll");
  for (std::size_t cut :
       {std::size_t(0), std::size_t(3), std::size_t(40), good.size() / 2, good.size() - 1}) {
    writeFile(file, good.substr(0, cut));
    TFilterList loaded;
    try {
      loaded.loadFromFile(file);
      ADD_FAILURE() << cut;
    } catch (const EReadError &e) {
      EXPECT_EQ(e.sourceName(), file);
      EXPECT_NE(e.message().find(file), std::string::npos) << e.message();
    }
  }
  // A record of a class that is no node.
  writeFile(file, fileStart() +
                      versionRecord(int8(47) + str("") + str("") + str("") + bytes({1, 0}) +
                                    boolean(true) + str("l") + boolean(true) + int8(1)) +
                      int8(1) + boolean(true) + versionRecord(int8(47)) + fileEnd());
  TFilterList loaded;
  EXPECT_THROW(loaded.loadFromFile(file), EReadError);
  EXPECT_THROW(loaded.loadFromFile(dir.file("none.fll")), EFOpenError);
}

TEST(FilterListFile, AFailedSaveLeavesTheFileAsItWas) {
  TempFolder dir;
  const std::string file = dir.file("keep.fll");
  writeFile(file, type20File());
  TFilterList list;
  makeList(list);
  // A placeholder read from an older file cannot be written in the current layout.
  std::string record = nodeRecord("TLaterObject", "LaterObject", true, boolean(true) + str("q"));
  ComponentReader nodeReader(record, "x", globalClassRegistry());
  nodeReader.setFileTypeRead(30);
  registerLaterNodeClass();
  auto later = nodeReader.readComponent();
  addFilter(list, std::unique_ptr<TListObject>(dynamic_cast<TListObject *>(later.release())));
  EXPECT_THROW(list.saveToFile(file), EWriteError);
  EXPECT_EQ(readFile(file), type20File());
  EXPECT_EQ(dir.listing(), "keep.fll");
}

TEST(FilterListFile, InsertingAddsOnlyTheFiltersOneLevelBelowTheCursor) {
  TempFolder dir;
  TFilterList source;
  fillEveryNode(source);
  source.saveToFile(dir.file("src.fll"));

  TFilterList list;
  makeList(list);
  addFilter(list, TCommentObject::CreateWith("group"));
  addFilter(list, unixToDos(), 2);
  list.files = {{"keep", "All", "Add"}};
  list.comments = "mine";
  // Insert before the end-of-line node at level 2.
  list.loadFromFile(dir.file("src.fll"),
                    {.inserting = true, .wantOptions = false, .insertionIndex = 3});
  ASSERT_EQ(list.count(), 9);
  EXPECT_EQ(list.node(3).className(), "TCommentObject");
  EXPECT_EQ(list.nodes[3].level, 2);
  EXPECT_EQ(list.nodes[4].level, 3);
  EXPECT_EQ(list.nodes[6].level, 4);
  EXPECT_EQ(list.node(7).className(), "TEOLObject");
  EXPECT_EQ(list.node(8).className(), "TOutputObject");
  EXPECT_EQ(list.comments, "mine");
  ASSERT_EQ(list.files.size(), 1u);

  // Options wanted while inserting: texts and log options, not the file list.
  list.loadFromFile(dir.file("src.fll"), {.inserting = true, .insertionIndex = 1});
  EXPECT_EQ(list.comments, source.comments);
  EXPECT_EQ(list.files.size(), 1u);
  EXPECT_EQ(list.nodes[1].level, 1);
}

TEST(FilterListFile, OpeningWithoutOptionsKeepsTextsAndMayKeepTheFileList) {
  TempFolder dir;
  TFilterList source;
  fillEveryNode(source);
  source.saveToFile(dir.file("src.fll"));
  TFilterList list;
  list.comments = "mine";
  list.files = {{"keep", "All", "Add"}};
  list.loadFromFile(dir.file("src.fll"), {.wantOptions = false, .keepFileList = true});
  EXPECT_EQ(list.comments, "mine");
  ASSERT_EQ(list.files.size(), 3u);
  EXPECT_EQ(list.files[0].pathMask, "keep");
  EXPECT_EQ(list.count(), source.count());
}

TEST(FilterListFile, NodesBeforeTheInputAndTheDefaultNodesGiveWay) {
  TFilterList list;
  list.resetToDefault();
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.nodes[0].level, 0);
  TempFolder dir;
  writeFile(dir.file("f.fll"),
            fileStart() +
                versionRecord(int8(47) + str("") + str("") + str("") + bytes({1, 0}) +
                              boolean(true) + str("l") + boolean(true) + int8(1)) +
                int8(1) + boolean(true) +
                nodeRecord("TCommentObject", "CommentObject", true, boolean(true) + str("x")) +
                fileEnd());
  // No input node in the file: the defaults stay, the comment goes before the output.
  list.loadFromFile(dir.file("f.fll"));
  ASSERT_EQ(list.count(), 4);
  EXPECT_EQ(list.node(2).className(), "TCommentObject");
  EXPECT_EQ(list.node(3).className(), "TOutputObject");
}

TEST(FilterListFile, CloneIsAnEqualNode) {
  auto map = upperA();
  map->mapFileName = "m.map";
  map->setEnabled(false);
  auto copy = TFilterList::cloneListObject(*map);
  auto *clone = dynamic_cast<TUserObject *>(copy.get());
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone, map.get());
  EXPECT_EQ(clone->entries, map->entries);
  EXPECT_EQ(clone->mapFileName, "m.map");
  EXPECT_FALSE(clone->getEnabled());
}

TEST(FilterListFile, LogOptionsTravelThroughTheTopNode) {
  TFilterList list;
  list.resetToDefault();
  list.log.fileName = "x.log";
  list.log.lineThreshold = 3;
  list.logOptionsToTopNode();
  auto &top = dynamic_cast<TFilterCommentObject &>(*list.firstObject());
  EXPECT_EQ(top.log.fileName, "x.log");
  top.log.append = false;
  list.logOptionsFromTopNode();
  EXPECT_FALSE(list.log.append);
  EXPECT_EQ(list.log.lineThreshold, 3);
}

TEST(FilterListFile, EveryClassAFileMayNameIsRegistered) {
  registerNodeClasses();
  for (const NodeClassName &entry : nodeClassNames()) {
    auto component = globalClassRegistry().create(entry.className);
    ASSERT_NE(component, nullptr) << entry.className;
    EXPECT_NE(dynamic_cast<TListObject *>(component.get()), nullptr) << entry.className;
    EXPECT_EQ(component->className(), entry.className);
    EXPECT_EQ(component->definedPropertyName(), entry.propertyName);
  }
}

} // namespace

namespace {

TEST(FilterListFile, ARootWithoutTheListIsNoFilterFile) {
  TFilterList list;
  list.resetToDefault();
  const std::string file = "TPF0" + name("TFilterList") + bytes({0x00, 0x00, 0x00});
  EXPECT_THROW(list.loadFromBytes(file, "empty.fll"), EReadError);
}

} // namespace

namespace {

std::string version47() {
  return versionRecord(int8(47) + str("") + str("") + str("") + bytes({1, 0}) + boolean(true) +
                       str("l") + boolean(true) + int8(1));
}

std::string inputRecord() {
  return nodeRecord("TInputObject", "InputObject", true,
                    boolean(true) + boolean(false) + int8(0) + boolean(true) + int8(100) +
                        boolean(true) + boolean(false));
}

std::string commentRecord(std::string_view text) {
  return nodeRecord("TCommentObject", "CommentObject", true, boolean(true) + str(text));
}

TEST(FilterListFile, LevelsThatJumpStillLoad) {
  const std::string file = fileStart() + version47() + int8(1) + boolean(true) + inputRecord() +
                           int8(3) + boolean(false) + commentRecord("deep") + fileEnd();
  TFilterList list;
  list.loadFromBytes(file, "jump.fll");
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.nodes[2].level, 3);
  EXPECT_FALSE(list.nodes[2].expanded);
}

// Each level of nesting costs the chain building a level of recursion: the
// deepest list a file may hold builds, runs, saves and clones; one level
// more is a damaged file.
TEST(FilterListFile, NestingIsBoundedAndTheDeepestListStillWorks) {
  TFilterList deep;
  makeList(deep);
  for (int level = 2; level <= TFilterList::maxLevel; ++level)
    addFilter(deep,
              level % 2 ? std::unique_ptr<TListObject>(upperA()) : TCommentObject::CreateWith("x"),
              level);
  EXPECT_EQ(runInnerChain(deep, "a\n"), "A\n");
  TempFolder dir;
  deep.saveToFile(dir.file("deep.fll"));
  TFilterList again;
  again.loadFromFile(dir.file("deep.fll"));
  EXPECT_EQ(again.count(), deep.count());
  EXPECT_NE(TFilterList::cloneListObject(again.node(again.count() - 2)), nullptr);

  std::string file = fileStart() + version47() + int8(1) + boolean(true) + inputRecord();
  for (int level = 2; level <= TFilterList::maxLevel + 1; ++level)
    file += int16(level) + boolean(true) + commentRecord("deep");
  file += fileEnd();
  try {
    again.loadFromBytes(file, "toodeep.fll");
    FAIL() << "loaded";
  } catch (const EReadError &e) {
    EXPECT_EQ(e.sourceName(), "toodeep.fll");
    EXPECT_EQ(e.detail(), "List nested deeper than 1000 levels");
  }
}

TEST(FilterListFile, InsertedLevelsBeyondTheRangeAreADamagedFile) {
  const std::string file = fileStart() + version47() + int8(1) + boolean(true) + inputRecord() +
                           bytes({0x03, 0xFF, 0x7F}) + boolean(true) + commentRecord("deep") +
                           fileEnd();
  TFilterList list;
  list.resetToDefault();
  list.addNode(TCommentObject::CreateWith("x"), 1);
  list.addNode(TCommentObject::CreateWith("y"), 2);
  EXPECT_THROW(list.loadFromBytes(file, "deep.fll",
                                  {.inserting = true, .wantOptions = false, .insertionIndex = 4}),
               EReadError);
  EXPECT_EQ(list.count(), 5);
}

} // namespace

// ---------------------------------------------------------------------------
// Fuzz seeds

namespace {

// Every node class that is built, in the current layout, with fields set
// explicitly (no remembered defaults) so the bytes never depend on the store.
void fillFuzzSeed(TFilterList &list) {
  list.nodes.clear();
  list.addNode(std::make_unique<TFilterCommentObject>(), 0);
  auto in = fileInput();
  in->skipBinary = 2;
  in->binarySampleSize = 100;
  in->promptOnReadOnly = true;
  list.addNode(std::move(in), 1);
  list.addNode(TCommentObject::CreateWith("head\r\nbody"), 1);
  auto eol = unixToDos();
  eol->convertFrom = 4;
  eol->convertTo = 4;
  eol->fixedLength = 10;
  eol->outputText = "\\r\\n";
  list.addNode(std::move(eol), 2, false);
  auto map = std::make_unique<TUserObject>();
  for (int n = 0; n < 256; ++n)
    map->entries[n] = encodeEscapes(std::string(1, static_cast<char>(n)));
  map->entries['a'] = "A";
  map->mapFileName = "c:\\maps\\x.map";
  list.addNode(std::move(map), 2);
  auto search = std::make_unique<TSearchObject>();
  search->patternType = 1;
  search->searchString = "[0-9]+";
  search->replaceString = "<$0>";
  search->bufferSize = 8192;
  search->threshold = 3;
  list.addNode(std::move(search), 1);
  auto grep = std::make_unique<TGrepObject>();
  grep->pattern = "^k";
  grep->includeLineNumbers = false;
  grep->contextAfter = 1;
  list.addNode(std::move(grep), 1);
  auto child = std::make_unique<TSearchObject>();
  child->searchString = "e";
  child->replaceString = "E";
  child->ignoreCase = false;
  list.addNode(std::move(child), 2);
  auto extract = std::make_unique<TGrepObject>();
  extract->kind = 2;
  extract->pattern = "pat";
  extract->setEnabled(false);
  list.addNode(std::move(extract), 1);
  list.addNode(std::make_unique<TListObject>(), 1);
  auto out = fileOutput();
  out->outputToFile = 2;
  out->testMode = out->retainDate = true;
  out->newExtension = ".txt";
  out->newBaseDir = "c:\\windows\\temp";
  out->singleFilename = "merged.txt";
  list.addNode(std::move(out), 1);
  list.comments = "notes";
  list.scratchPad = "pad";
  list.trialInput = "trial";
  list.files = {{"/tmp/*.txt", "1 level", "Add"}, {"x", "None", "Subtract"}};
  list.log.enabled = true;
  list.log.fileName = "l.log";
  list.log.append = false;
  list.log.lineThreshold = 1000;
}

// The seed fuzz/corpus/filterlist/everynode.fll is what this list saves, so
// the fuzzer starts from records of the real nodes. After a change of a
// stored layout, write it again with
//   MARROWEN_WRITE_FUZZ_SEEDS=1 build/test/tests/filterlist_tests --gtest_filter='FuzzSeeds.*'
TEST(FuzzSeeds, EveryNodeSeedIsWhatTheNodesWrite) {
  TFilterList list;
  fillFuzzSeed(list);
  const std::string bytes = filterFileBytes(list);
  const std::string seed = fuzzSeedPath("everynode.fll");
  ASSERT_EQ(storedFuzzSeed(seed, bytes), bytes);

  // The seed reaches the building: it loads, saves to the same bytes, builds.
  TFilterList loaded;
  loaded.loadFromBytes(bytes, seed);
  EXPECT_EQ(loaded.count(), list.count());
  EXPECT_EQ(filterFileBytes(loaded), bytes);
  int errorIndex = 0;
  EXPECT_NE(loaded.createFilters(false, true, errorIndex), nullptr);
}

} // namespace

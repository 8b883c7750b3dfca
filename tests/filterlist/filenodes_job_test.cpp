// Filter files holding the file-reference, split, duplicate, external-program,
// insert-column, concordance and Unicode map nodes: saved, loaded back from
// the current and older file types, and run as jobs.

#include "engine/jobhost.h"
#include "engine/processingthread.h"
#include "engine/statuswindow.h"
#include "filterlist/filenodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/ionodes.h"
#include "filterlist/node_records.h"
#include "filterlist/saved_list_job.h"
#include "filterlist/unicodenodes.h"
#include "filterlist/utilitynodes.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

template <class Node> Node &nodeAt(TFilterList &list, int index) {
  auto *node = dynamic_cast<Node *>(&list.node(index));
  if (!node)
    throw std::runtime_error("node " + std::to_string(index) + " is a " +
                             std::string(list.node(index).className()));
  return *node;
}

// Every node of the family, each with values its neighbours do not share.
void fillFamily(TFilterList &list) {
  list.resetToDefault();
  int index = 2;
  auto add = [&](std::unique_ptr<TListObject> node, int level = 1) {
    list.insertNode(index++, std::move(node), level, level == 1);
  };
  add(TMergeObject::CreateWith(0, "c:\\out\\all.txt"));
  add(TMergeObject::CreateWith(1, "\"/tmp/keep list.txt\""));
  add(TMergeObject::CreateWith(2, std::string(300, 'r')));
  add(TMergeObject::CreateWith(3, "linked.fll"), 2);
  auto split = std::make_unique<TSplitObject>();
  split->type = 1;
  split->character = 255;
  split->count = 70000;
  split->position = 2;
  split->setEnabled(false);
  add(std::move(split));
  auto duplicate = std::make_unique<TDuplicateObject>();
  duplicate->kind = 1;
  duplicate->ignoreCase = false;
  duplicate->ignoreLeading = -5;
  add(std::move(duplicate));
  auto execute = std::make_unique<TExecuteObject>();
  execute->commandLine = std::string("prog\t\"a b\"\xe9", 11);
  add(std::move(execute));
  auto insert = std::make_unique<TInsertColumnObject>();
  insert->position = -32768;
  insert->text = "multi\r\nline\\x41";
  add(std::move(insert), 3);
  auto concordance = std::make_unique<TConcordanceObject>();
  concordance->dictionary = {"a", "b c", "say \"x\"", ""};
  concordance->wordsBefore = 0;
  add(std::move(concordance));
  auto map = std::make_unique<TUnicodeMapObject>();
  map->entries = {{"65", "\\x00"}, {"not a number", std::string(256, 't')}};
  map->startValue = 65535;
  map->endValue = -1;
  add(std::move(map));
}

TEST(FamilyFilterFile, SavedLoadedAndSavedAgainIsByteIdentical) {
  TempFolder dir;
  TFilterList list;
  fillFamily(list);
  list.saveToFile(dir.file("a.fll"));

  TFilterList loaded;
  loaded.loadFromFile(dir.file("a.fll"));
  ASSERT_EQ(loaded.count(), list.count());
  for (int i = 0; i < list.count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(loaded.node(i).className(), list.node(i).className());
    EXPECT_EQ(loaded.node(i).getTitle(), list.node(i).getTitle());
    EXPECT_EQ(loaded.nodes[i].level, list.nodes[i].level);
  }
  EXPECT_FALSE(loaded.node(6).enabledField());
  loaded.saveToFile(dir.file("b.fll"));
  EXPECT_EQ(readFile(dir.file("b.fll")), readFile(dir.file("a.fll")));
}

// Hand-made files of older types: a version record with the fields of its
// type, then the node records (levels from type 29 on).
std::string oldFile(int type, const std::string &records) {
  std::string version = int8(type) + str("old");
  if (type >= 19)
    version += str("") + str("");
  version += bytes({0x01, 0x00});
  if (type >= 41)
    version += boolean(false) + str("x.log") + boolean(false) + int8(1);
  return fileStart() + versionRecord(version) + records + fileEnd();
}

TEST(FamilyFilterFile, Type10FileLoadsWithTheDefaultsOfItsTime) {
  // No enabled flags, no merge kind, the command line in two parts, no
  // duplicate kind.
  const std::string file = oldFile(
      10, nodeRecord("TMergeObject", "MergeObject", true, str("m.txt")) +
              nodeRecord("TExecuteObject", "ExecuteObject", true,
                         str("grep") + str("-v x") + str("o") + str("i")) +
              nodeRecord("TDuplicateObject", "DuplicateObject", true, boolean(false) + int8(2)) +
              nodeRecord("TInsertColumnObject", "InsertColumnObject", true, int8(4) + str("|")) +
              nodeRecord("TConcordanceObject", "ConcordanceObject", true,
                         int8(2) + int8(3) + str("%s %d %s") + str("x,y")));
  TFilterList list;
  list.loadFromBytes(file, "old.fll");
  // No input node in the file: its nodes go between the default input and output.
  ASSERT_EQ(list.count(), 8);
  auto &merge = nodeAt<TMergeObject>(list, 2);
  EXPECT_EQ(merge.kind, 0);
  EXPECT_EQ(merge.fileName, "m.txt");
  EXPECT_TRUE(merge.getEnabled());
  EXPECT_EQ(list.nodes[2].text, "Merge into m.txt");
  EXPECT_EQ(nodeAt<TExecuteObject>(list, 3).commandLine, "grep -v x");
  EXPECT_EQ(nodeAt<TDuplicateObject>(list, 4).kind, 0);
  EXPECT_EQ(nodeAt<TDuplicateObject>(list, 4).ignoreLeading, 2);
  EXPECT_EQ(nodeAt<TInsertColumnObject>(list, 5).getTitle(), "Insert column 4 [|]");
  auto &concordance = nodeAt<TConcordanceObject>(list, 6);
  EXPECT_EQ(concordance.getTitle(), "Word concordance 2, 3, %s %d %s, x,y");
}

TEST(FamilyFilterFile, Type22And42FilesLoadWithTheDefaultsOfTheirTime) {
  TFilterList split;
  split.loadFromBytes(
      oldFile(22, nodeRecord("TSplitObject", "SplitObject", true, boolean(true) + int16(2048)) +
                      nodeRecord("TDuplicateObject", "DuplicateObject", true,
                                 boolean(true) + boolean(true) + int8(0) + int8(1))),
      "old.fll");
  auto &node = nodeAt<TSplitObject>(split, 2);
  EXPECT_EQ(node.size, 2048);
  EXPECT_EQ(node.type, 0);
  EXPECT_EQ(node.character, 12);
  EXPECT_EQ(node.count, 1);
  EXPECT_EQ(node.position, 0);
  EXPECT_EQ(nodeAt<TDuplicateObject>(split, 3).getTitle(), "Count duplicate lines, ignore case");

  TFilterList map;
  map.loadFromBytes(oldFile(42, int8(2) + boolean(false) +
                                    nodeRecord("TUnicodeMapObject", "UnicodeMapObject", true,
                                               boolean(true) + bytes({0x01}) + str("66") +
                                                   str("b") + bytes({0x00}))),
                    "old.fll");
  auto &unicode = nodeAt<TUnicodeMapObject>(map, 2);
  EXPECT_EQ(map.nodes[2].level, 2);
  EXPECT_FALSE(map.nodes[2].expanded);
  EXPECT_EQ(unicode.entries, (std::vector<UnicodeMapEntry>{{"66", "b"}}));
  EXPECT_EQ(unicode.startValue, 0);
  EXPECT_EQ(unicode.endValue, 127);
}

// The seed fuzz/corpus/filterlist/filenodes.fll is what this list saves, so
// the fuzzer starts from records of these nodes. After a change of a stored
// layout, write it again with
//   MARROWEN_WRITE_FUZZ_SEEDS=1 build/test/tests/filterlist_tests --gtest_filter='FuzzSeeds.*'
TEST(FuzzSeeds, FileNodesSeedIsWhatTheNodesWrite) {
  TFilterList list;
  list.resetToDefault();
  int index = 2;
  auto add = [&](std::unique_ptr<TListObject> node, bool enabled = true) {
    node->setEnabled(enabled);
    list.insertNode(index++, std::move(node), 1, true);
  };
  // Nodes that would read files of the machine are disabled: the seed builds anywhere.
  add(TMergeObject::CreateWith(0, "merged.txt"));
  add(TMergeObject::CreateWith(1, "keep.txt"), false);
  add(TMergeObject::CreateWith(2, "drop.txt"), false);
  add(TMergeObject::CreateWith(3, "linked.fll"), false);
  auto split = std::make_unique<TSplitObject>();
  split->type = 1;
  split->count = 2;
  add(std::move(split));
  auto duplicate = std::make_unique<TDuplicateObject>();
  duplicate->kind = 1;
  add(std::move(duplicate));
  add(std::make_unique<TExecuteObject>());
  auto insert = std::make_unique<TInsertColumnObject>();
  insert->position = 3;
  insert->text = "\\t|";
  add(std::move(insert));
  auto concordance = std::make_unique<TConcordanceObject>();
  concordance->dictionary = {"a", "b c"};
  add(std::move(concordance));
  auto map = std::make_unique<TUnicodeMapObject>();
  map->entries = {{"65", "a"}, {"8364", "EUR"}};
  map->endValue = 255;
  add(std::move(map));

  const std::string bytes = filterFileBytes(list);
  const std::string seed = fuzzSeedPath("filenodes.fll");
  ASSERT_EQ(storedFuzzSeed(seed, bytes), bytes);

  TFilterList loaded;
  loaded.loadFromBytes(bytes, seed);
  EXPECT_EQ(filterFileBytes(loaded), bytes);
  int errorIndex = 0;
  EXPECT_NE(loaded.createFilters(false, true, errorIndex), nullptr);
}

// ---------------------------------------------------------------------------
// Jobs

class FamilyJob : public ::testing::Test {
protected:
  void SetUp() override {
    writeFile(dir.file("a.txt"), "keep\nkeep\ndrop\nalso\n");
    writeFile(dir.file("b.txt"), "also;also\n");
    writeFile(dir.file("wanted.lst"), "keep\r\nalso\r\n");
  }

  void fillList(TFilterList &list, std::unique_ptr<TOutputObject> output) {
    list.resetToTopNode();
    auto input = std::make_unique<TInputObject>();
    input->inputFromFile = true;
    list.addNode(std::move(input), 1);
    list.addNode(std::move(output), 1);
    list.files = {{windowsForm(dir.path() + "*.txt"), "None", "Add"}};
    list.log.enabled = false;
  }

  static std::unique_ptr<TOutputObject> testModeOutput() {
    auto output = std::make_unique<TOutputObject>();
    output->outputToFile = TOutputObject::files;
    output->testMode = true;
    return output;
  }

  // Loads the saved list, builds it and runs it as a job; the job's errors.
  std::vector<std::string> run(const std::string &file, int expectedFiles) {
    return runSavedListAsJob(file, file, expectedFiles);
  }

  TempFolder dir;
};

TEST_F(FamilyJob, LinesFoundInALinkedListAndDuplicatesRunFromASavedFile) {
  // The linked list numbers nothing itself: it marks each line.
  TFilterList linked;
  fillList(linked, std::make_unique<TOutputObject>());
  auto mark = std::make_unique<TInsertColumnObject>();
  mark->position = 1;
  mark->text = "> ";
  linked.insertNode(2, std::move(mark), 1, true);
  linked.saveToFile(dir.file("mark.fll"));

  TFilterList list;
  fillList(list, testModeOutput());
  list.insertNode(2, TMergeObject::CreateWith(1, "\"" + windowsForm(dir.file("wanted.lst")) + "\""),
                  1, true);
  auto duplicates = std::make_unique<TDuplicateObject>();
  duplicates->ignoreCase = false;
  list.insertNode(3, std::move(duplicates), 1, true);
  list.insertNode(4, TMergeObject::CreateWith(3, windowsForm(dir.file("mark.fll"))), 1, true);
  list.saveToFile(dir.file("list.fll"));

  EXPECT_TRUE(run(dir.file("list.fll"), 2).empty());
  EXPECT_EQ(readFile(dir.file("a.txt.dCv")), "> keep\n> also\n");
  // "also;also" is no listed line.
  EXPECT_EQ(readFile(dir.file("b.txt.dCv")), "");
  EXPECT_EQ(readFile(dir.file("a.txt")), "keep\nkeep\ndrop\nalso\n");
}

TEST_F(FamilyJob, SplitPartsAreWrittenAsFilesOfTheirOwn) {
  TFilterList list;
  fillList(list, testModeOutput());
  auto split = std::make_unique<TSplitObject>();
  split->type = 1;
  split->character = ';';
  split->position = 1;
  list.insertNode(2, std::move(split), 1, true);
  list.files = {{windowsForm(dir.file("b.txt")), "None", "Add"}};
  list.saveToFile(dir.file("split.fll"));

  EXPECT_TRUE(run(dir.file("split.fll"), 1).empty());
  EXPECT_EQ(readFile(dir.file("b.txt.000.dCv")), "also;");
  EXPECT_EQ(readFile(dir.file("b.txt.001.dCv")), "also\n");
  EXPECT_EQ(readFile(dir.file("b.txt")), "also;also\n");
}

} // namespace

// A filter list saved, loaded back, built and run as a job, headless, as the
// task menu runs a filter file.

#include "engine/jobhost.h"
#include "engine/processingthread.h"
#include "engine/statuswindow.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"
#include "filterlist/node_records.h"
#include "filterlist/saved_list_job.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

class FilterListJob : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.file("s1/s2"));
    writeFile(dir.file("a.txt"), "one\ntwo a\n");
    writeFile(dir.file("b.log"), "a\n");
    writeFile(dir.file("s1/c.txt"), "a\r\nb");
    writeFile(dir.file("s1/s2/d.txt"), "a\n");
  }

  // Input over "*.txt" one level deep, Unix to DOS, "a" to "A", output.
  void saveList(std::unique_ptr<TOutputObject> output) {
    TFilterList list;
    list.resetToDefault();
    list.nodes.erase(list.nodes.begin() + 1, list.nodes.end());
    auto input = std::make_unique<TInputObject>();
    input->inputFromFile = true;
    input->promptOnReadOnly = true; // answered by the headless host
    list.addNode(std::move(input), 1);
    auto eol = std::make_unique<TEOLObject>();
    eol->convertFrom = 0;
    eol->convertTo = 2;
    eol->removeBad = true;
    list.addNode(std::move(eol), 1);
    auto map = TUserObject::CreateDefault();
    map->entries['a'] = "A";
    list.addNode(std::move(map), 1);
    list.addNode(std::move(output), 1);
    list.files = {{windowsForm(dir.path() + "*.txt"), "1 level", "Add"}};
    list.log.enabled = false;
    list.saveToFile(dir.file("list.fll"));
  }

  // Loads the saved list, builds it and runs it as a job; the job's errors.
  std::vector<std::string> runSavedList() {
    return runSavedListAsJob(dir.file("list.fll"), "list.fll", 2);
  }

  void expectInputsUntouched() {
    EXPECT_EQ(readFile(dir.file("a.txt")), "one\ntwo a\n");
    EXPECT_EQ(readFile(dir.file("b.log")), "a\n");
    EXPECT_EQ(readFile(dir.file("s1/c.txt")), "a\r\nb");
    EXPECT_EQ(readFile(dir.file("s1/s2/d.txt")), "a\n");
  }

  TempFolder dir;
};

TEST_F(FilterListJob, TestModeWritesDcvCopiesBesideTheInputs) {
  auto output = std::make_unique<TOutputObject>();
  output->outputToFile = TOutputObject::files;
  output->testMode = true;
  saveList(std::move(output));

  EXPECT_TRUE(runSavedList().empty());
  EXPECT_EQ(readFile(dir.file("a.txt.dCv")), "one\r\ntwo A\r\n");
  EXPECT_EQ(readFile(dir.file("s1/c.txt.dCv")), "A\r\nb");
  EXPECT_FALSE(fileExists(dir.file("s1/s2/d.txt.dCv")));
  EXPECT_FALSE(fileExists(dir.file("b.log.dCv")));
  EXPECT_EQ(dir.listing(), "a.txt a.txt.dCv b.log list.fll s1");
  expectInputsUntouched();
}

TEST_F(FilterListJob, MergedOutputGoesToTheFileTheListNames) {
  auto output = std::make_unique<TOutputObject>();
  output->outputToFile = TOutputObject::mergedFile;
  output->singleFilename = "\"" + windowsForm(dir.path() + "merged.out") + "\"";
  saveList(std::move(output));

  EXPECT_TRUE(runSavedList().empty());
  const std::string merged = readFile(dir.file("merged.out"));
  // Both inputs, in the order the file list found them.
  EXPECT_EQ(merged.size(), std::string("one\r\ntwo A\r\nA\r\nb").size());
  EXPECT_NE(merged.find("one\r\ntwo A\r\n"), std::string::npos);
  EXPECT_NE(merged.find("A\r\nb"), std::string::npos);
  expectInputsUntouched();
}

} // namespace

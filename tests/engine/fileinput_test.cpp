#include "engine/fileinput.h"

#include "classlib/paths.h"

#include "engine/mergesplit.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "support/recording_job.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include <climits>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace marrowen {
namespace {

using testing::readFile;
using testing::RecordingJob;
using testing::TempFolder;
using testing::writeFile;

// root/a.txt, root/b.log, root/NOEXT, root/s1/c.txt, root/s1/s2/d.TXT
class FileListTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.file("s1/s2"));
    for (const char *name : {"a.txt", "b.log", "NOEXT", "s1/c.txt", "s1/s2/d.TXT"})
      writeFile(dir.file(name), "x");
  }

  // The job's file list, names relative to the temporary folder.
  std::vector<std::string> listOf(std::vector<FileGridRow> rows) {
    for (auto &row : rows)
      if (!row.pathMask.empty() && row.pathMask[0] != ':')
        row.pathMask = dir.file(row.pathMask);
    TFileInput input(std::move(rows), false, false, 0, 4096, false);
    input.attachJob(&job);
    input.startJob();
    std::vector<std::string> names;
    for (const auto &name : input.fileList())
      names.push_back(name.substr(dir.path().size()));
    input.endJob();
    return names;
  }

  TempFolder dir;
  RecordingJob job;
};

using Names = std::vector<std::string>;

TEST_F(FileListTest, DepthNoneOneLevelAndAllListSubfoldersFirst) {
  EXPECT_EQ(listOf({{"*.txt", "None", "Add"}}), Names({"a.txt"}));
  EXPECT_EQ(listOf({{"*.txt", "1 level", "Add"}}), Names({"s1/c.txt", "a.txt"}));
  EXPECT_EQ(listOf({{"*.txt", "All", "Add"}}), Names({"s1/s2/d.TXT", "s1/c.txt", "a.txt"}));
  EXPECT_EQ(job.argumentsOf("setTotalFiles"), std::vector<std::string>({"1", "2", "3"}));
}

TEST_F(FileListTest, MasksMatchLikeTheOriginalFileSystem) {
  EXPECT_EQ(listOf({{"*.*", "None", "Add"}}), Names({"NOEXT", "a.txt", "b.log"}));
  EXPECT_EQ(listOf({{"?.LOG", "None", "Add"}}), Names({"b.log"}));
  EXPECT_EQ(listOf({{"noext", "None", "Add"}}), Names({"NOEXT"}));
  // A stored path and mask may use backslashes.
  EXPECT_EQ(listOf({{"s1\\*.txt", "None", "Add"}}), Names({"s1/c.txt"}));
  // A folder named without a mask, as typed into the grid, is all its files,
  // as the list window and the command line add it.
  EXPECT_EQ(listOf({{"s1", "All", "Add"}}), Names({"s1/s2/d.TXT", "s1/c.txt"}));
  EXPECT_TRUE(job.errors.empty());
}

TEST_F(FileListTest, IgnoreRowsAndGroups) {
  EXPECT_EQ(listOf({{"*.txt", "None", "Ignore"}}), Names());
  // Subtract removes from the current group only.
  EXPECT_EQ(listOf({{"*.*", "None", "Add"}, {"a.txt", "None", "Subtract"}}),
            Names({"NOEXT", "b.log"}));
  EXPECT_EQ(listOf({{"*.*", "None", "Add"}, {":", "", ""}, {"a.txt", "None", "Subtract"}}),
            Names({"NOEXT", "a.txt", "b.log"}));
  // A name may be listed twice; a Subtract row takes away one of them.
  EXPECT_EQ(listOf({{"a.txt", "None", "Add"}, {"a.txt", "None", "Add"}}),
            Names({"a.txt", "a.txt"}));
  EXPECT_EQ(
      listOf({{"*.*", "None", "Add"}, {"a.txt", "None", "Add"}, {"*.txt", "None", "Subtract"}}),
      Names({"NOEXT", "b.log", "a.txt"}));
}

TEST_F(FileListTest, MissingFoldersAreLoggedAndTheRestIsBuilt) {
  auto names = listOf({{"missing/*.txt", "All", "Add"},
                       {"gone/*.txt", "None", "Add"},
                       {"b.log", "None", "Add"},
                       {"absent.txt", "All", "Add"},
                       {"gone/absent.txt", "None", "Add"},
                       {"*.none", "None", "Add"}});
  EXPECT_EQ(names, Names({"b.log"}));
  // A named file missing from a folder that is there is named too; a mask
  // that matches nothing is no failure.
  EXPECT_EQ(job.errors,
            (std::vector<std::string>{"Path not found: " + dir.file("missing/"),
                                      "Path not found: " + dir.file("gone/*.txt"),
                                      "no file matches " + dir.file("absent.txt"),
                                      "Path not found: " + dir.file("gone/absent.txt")}));
}

// Names given one a row, as a command file or a list file gives them, read
// each folder once for the whole list, not once a row; a name matches
// whatever its letter case.
TEST_F(FileListTest, NamesGivenOneARowReadEachFolderOnce) {
  std::vector<FileGridRow> rows;
  Names expected;
  for (int i = 300; i > 0; --i) {
    const std::string name = "n" + std::to_string(i) + ".txt";
    writeFile(dir.file(name), "x");
    rows.push_back({dir.file(i == 7 ? "N7.TXT" : name), "All", "Add"});
    expected.push_back(name);
  }
  TFileInput input(std::move(rows), false, false, 0, 4096, false);
  input.attachJob(&job);
  input.startJob();
  Names names;
  for (const auto &name : input.fileList())
    names.push_back(name.substr(dir.path().size()));
  EXPECT_EQ(names, expected);
  EXPECT_EQ(input.foldersRead(), 3) << "the folder and its two subfolders";
  input.endJob();
}

// Each real folder is entered once a row, however many links lead to it: a
// link back to an ancestor is not followed round, a link to a folder already
// listed adds nothing, and folders each holding two links to the next are
// read once each, not once for every way down to them.
TEST_F(FileListTest, EachFolderIsEnteredOnceHoweverManyLinksLeadToIt) {
  std::filesystem::create_directory_symlink(dir.path(), dir.file("s1/s2/up"));
  std::filesystem::create_directory_symlink(dir.file("s1/s2"), dir.file("side"));
  EXPECT_EQ(listOf({{"*.txt", "All", "Add"}}), Names({"s1/s2/d.TXT", "s1/c.txt", "a.txt"}));
  // Met first through a longer way round, a folder is entered again for the
  // levels a shorter way still lets in, and lists its files only once.
  std::filesystem::create_directories(dir.file("t/b/c"));
  std::filesystem::create_directories(dir.file("t/0"));
  writeFile(dir.file("t/b/b.txt"), "x");
  writeFile(dir.file("t/b/c/c.txt"), "x");
  std::filesystem::create_directory_symlink(dir.file("t/b"), dir.file("t/a"));
  std::filesystem::create_directory_symlink(dir.file("t/b"), dir.file("t/0/x"));
  EXPECT_EQ(listOf({{"t/*.txt", "2 levels", "Add"}}), Names({"t/0/x/b.txt", "t/a/c/c.txt"}));

  TempFolder deep;
  constexpr int levels = 8;
  std::string folder = deep.path();
  folder.pop_back();
  for (int level = 0; level < levels; ++level) {
    std::filesystem::create_directory(folder + "/next");
    writeFile(folder + "/f.txt", "x");
    if (level + 1 < levels)
      for (const char *link : {"l1", "l2"})
        std::filesystem::create_directory_symlink(folder + "/next", folder + "/" + link);
    folder += "/next";
  }
  TFileInput input({{deep.file("*.txt"), "All", "Add"}}, false, false, 0, 4096, false);
  input.attachJob(&job);
  input.startJob();
  EXPECT_EQ(input.fileList().size(), static_cast<std::size_t>(levels));
  EXPECT_EQ(input.foldersRead(), levels + 1);
  input.endJob();
}

TEST_F(FileListTest, OddNamesAreListedAndOnlyRegularFiles) {
  for (const char *name : {"with space/a b.txt", "pipe|dir/x|y.txt", "back\\slash/z.txt"}) {
    std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
    writeFile(dir.file(name), "x");
  }
  // A pipe would block the job at its opening, and is reported as left out;
  // a dangling link names nothing.
  ASSERT_EQ(::mkfifo(dir.file("fifo.txt").c_str(), 0644), 0);
  std::filesystem::create_symlink(dir.file("gone.txt"), dir.file("dangling.txt"));
  std::filesystem::create_symlink(dir.file("a.txt"), dir.file("link.txt"));
  EXPECT_EQ(listOf({{"*.txt", "1 level", "Add"}}),
            Names({"back\\slash/z.txt", "pipe|dir/x|y.txt", "s1/c.txt", "with space/a b.txt",
                   "a.txt", "link.txt"}));
  EXPECT_EQ(job.errors,
            Names({"Skipping [" + dir.file("fifo.txt") + "]: it is a pipe, not a regular file"}));
}

// A name without wildcards names the file spelt so, as the shell does; names
// that differ in case stand in only where there is none (lists written for
// Windows). A backslash is a letter of a name that exists. A folder named as
// an input that gives no file without its subfolders says so.
TEST_F(FileListTest, ANameIsTheFileSpeltSo) {
  for (const char *name : {"report.txt", "REPORT.TXT", "Report.Txt", "back\\slash.txt"})
    writeFile(dir.file(name), "x");
  std::filesystem::create_directories(dir.file("only/sub"));
  writeFile(dir.file("only/sub/x.txt"), "x");
  EXPECT_EQ(listOf({{"Report.Txt", "None", "Add"}}), Names({"Report.Txt"}));
  EXPECT_EQ(listOf({{"rePort.txt", "None", "Add"}}),
            Names({"REPORT.TXT", "Report.Txt", "report.txt"}));
  EXPECT_EQ(listOf({{"back\\slash.txt", "None", "Add"}}), Names({"back\\slash.txt"}));
  EXPECT_EQ(listOf({{"only/*.*", "All", "Add"}}), Names({"only/sub/x.txt"}));
  EXPECT_TRUE(job.errors.empty());
  EXPECT_EQ(listOf({{"a.txt", "None", "Add"}, {"only/*.*", "None", "Add"}}), Names({"a.txt"}));
  EXPECT_EQ(job.errors, Names({"Skipping folder [" + dir.file("only") +
                               "]: it holds no file of its own, and the files in its subfolders "
                               "are read only with /I+ (Subfolders \"All\")"}));
}

// A Linux user's names: "?" takes one character, whatever its bytes, and
// letters beyond ASCII match without case by Unicode (a byte outside UTF-8
// by the code page), in masks and in names without wildcards alike.
TEST_F(FileListTest, NamesBeyondAsciiMatchByCharacter) {
  for (const char *name : {"café.txt", "été.txt", "中.txt", "😀.txt", "ΟΔΟΣ.txt", "\xe9t\xe9.log"})
    writeFile(dir.file(name), "x");
  EXPECT_EQ(listOf({{"caf?.txt", "None", "Add"}}), Names({"café.txt"}));
  EXPECT_EQ(listOf({{"?.txt", "None", "Add"}}), Names({"a.txt", "中.txt", "😀.txt"}));
  EXPECT_EQ(listOf({{"???.txt", "None", "Add"}, {"b.log", "None", "Add"}}),
            Names({"été.txt", "b.log"}));
  EXPECT_EQ(listOf({{"*?É.TXT", "None", "Add"}}), Names({"café.txt", "été.txt"}));
  EXPECT_EQ(listOf({{"ÉTÉ.TXT", "None", "Add"}}), Names({"été.txt"}));
  EXPECT_EQ(listOf({{"οδος.txt", "None", "Add"}, {"οδο?.*", "None", "Add"}}),
            Names({"ΟΔΟΣ.txt", "ΟΔΟΣ.txt"}));
  EXPECT_EQ(listOf({{"\xc9?\xc9.LOG", "None", "Add"}, {"\xc9T\xc9.log", "None", "Add"}}),
            Names({"\xe9t\xe9.log", "\xe9t\xe9.log"}));
  EXPECT_TRUE(job.errors.empty());
}

TEST_F(FileListTest, EverySpellingOfAFolderGivesTheSameNames) {
  EXPECT_EQ(listOf({{"s1/../s1/./c.txt", "None", "Add"}}), Names({"s1/c.txt"}));
  EXPECT_EQ(listOf({{"s1//s2/../*.txt", "None", "Add"}}), Names({"s1/c.txt"}));
  // So a Subtract row spelt another way still removes the name.
  EXPECT_EQ(listOf({{"*.txt", "1 level", "Add"}, {"s1/s2/../c.txt", "None", "Subtract"}}),
            Names({"a.txt"}));
}

// --- Binary test ---

struct BinaryCase {
  const char *what;
  std::string sample;
  bool binary;
};

TEST(FileInputBinary, EachBoundary) {
  const BinaryCase cases[] = {
      {"NUL byte", std::string("abc\0def", 7), true},
      {"allowed control bytes", "a\tb\fc\x1a\x1b d\r\n", false},
      {"vertical tab", "abc\vdef", true},
      {"byte 14",
       "abc\x0e"
       "def",
       true},
      {"byte 31",
       "abc\x1f"
       "def",
       true},
      {"three high bytes and a space", "ab\xe9\xe9\xe9 cdefghij", false},
      {"four high bytes",
       "ab\xe9\xe9\xe9\xe9"
       "cdefghij",
       true},
      {"byte 128 counts as text",
       "\x80"
       "a\x80"
       "a\x80"
       "a\x80"
       "aa",
       false},
      // 10 bytes: binary when 5 * text < 4 * 9 = 36.
      {"7 text bytes of 10",
       "a\x81"
       "a\x81"
       "a\x81"
       "aaaa",
       true},
      {"8 text bytes of 10",
       "a\x81"
       "a\x81"
       "aaaaaa",
       false},
      {"empty", "", false},
      {"one high byte", "\xff", false},
      // A valid UTF-8 sequence is text, however long the run of its bytes.
      {"German in UTF-8",
       "Gr\xc3\xbc\xc3\x9f"
       "e aus K\xc3\xb6ln",
       false},
      {"Chinese and an emoji in UTF-8", "\xe4\xb8\xad\xe6\x96\x87\xf0\x9f\x98\x80", false},
      {"a sequence, then four stray bytes", "\xc3\xa9\xe9\xe9\xe9\xe9 abcdefgh", true},
      {"an overlong form is no sequence", "ab\xc0\xaf\xc0\xaf cdefgh", true},
      // Cut short by the file's own end, not the sample's: stray bytes.
      {"a file ending inside a sequence", "abcdefgh\xe9\xe9\xe9\xf0\x9f", true},
  };
  TempFolder dir;
  RecordingJob job;
  TFileInput input({}, false, false, 1, 4096, false);
  input.attachJob(&job);
  for (const auto &c : cases) {
    writeFile(dir.file("f"), c.sample);
    EXPECT_EQ(input.isBinaryFile(dir.file("f")), c.binary) << c.what;
  }
  EXPECT_TRUE(job.errors.empty());
}

TEST(FileInputBinary, OnlyTheSampleIsJudgedAndUnreadableFilesAreText) {
  TempFolder dir;
  RecordingJob job;
  TFileInput input({}, false, false, 1, 8, false);
  input.attachJob(&job);
  writeFile(dir.file("late"), std::string("abcdefgh\0", 9));
  EXPECT_FALSE(input.isBinaryFile(dir.file("late")));
  // The sample's end cuts an emoji after three bytes and a euro sign after
  // two: text, not stray bytes of a run.
  writeFile(dir.file("cut"), "abcd\xe9\xf0\x9f\x98\x80");
  EXPECT_FALSE(input.isBinaryFile(dir.file("cut")));
  writeFile(dir.file("cut2"), "abcde\xe9\xe2\x82\xac");
  EXPECT_FALSE(input.isBinaryFile(dir.file("cut2")));
  EXPECT_FALSE(input.isBinaryFile(dir.file("missing")));
  EXPECT_EQ(job.errors, std::vector<std::string>(
                            {"Couldn't open file to check if binary: " + dir.file("missing")}));
}

// A sample size as large as a filter file may hold costs a small file no
// more than its size, and a large one is read past the first block.
TEST(FileInputBinary, AHugeSampleCostsWhatTheFileHolds) {
  TempFolder dir;
  writeFile(dir.file("small"), "abc");
  writeFile(dir.file("late"), std::string(100000, 'a') + std::string(1, '\0'));
  TFileInput input({}, false, false, 1, INT32_MAX, false);
  EXPECT_TRUE(input.isBinaryFile(dir.file("late")));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0)
    ::_exit(input.isBinaryFile(dir.file("small")) ? 1 : 0);
  int status = 0;
  struct rusage usage {};
  ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_LT(usage.ru_maxrss, 512 * 1024) << "kilobytes at the peak";
}

// --- Running over files ---

// Appends "!" at the end of each file, so that a second pass shows.
class MarkEnd : public TFilter {
public:
  void endFile() override {
    std::string mark = "!";
    sendToNext(mark);
  }
};

// Runs `action` once, at the first chunk it is given.
class OnceAtFirstChunk : public TFilter {
public:
  explicit OnceAtFirstChunk(std::function<void()> action) : action_(std::move(action)) {}
  bool processChunk(std::string &chunk) override {
    if (action_)
      std::exchange(action_, nullptr)();
    return sendToNext(chunk);
  }

private:
  std::function<void()> action_;
};

struct Chain {
  std::unique_ptr<TFileInput> input;
  TFileInput *operator->() { return input.get(); }
};

Chain fileChain(std::vector<FileGridRow> rows, std::unique_ptr<TFilter> output,
                bool deleteInputs = false, int binaryMode = 0, bool promptEach = false,
                bool promptReadOnly = false, bool mark = true) {
  Chain chain{std::make_unique<TFileInput>(std::move(rows), promptEach, promptReadOnly, binaryMode,
                                           4096, deleteInputs)};
  if (mark) {
    chain->setNext(std::make_unique<MarkEnd>());
    chain->lastFilter()->setNext(std::move(output));
  } else {
    chain->setNext(std::move(output));
  }
  return chain;
}

std::unique_ptr<TFileOutput> inPlaceOutput() { return std::make_unique<TFileOutput>(); }

std::unique_ptr<TFileOutput> folderOutput(const std::string &folder) {
  return std::make_unique<TFileOutput>(
      TFileOutput::Options{.useOutputFolder = true, .outputFolder = folder});
}

TEST(FileInputRun, ChunkBoundariesPassIntact) {
  TempFolder dir;
  RecordingJob job;
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += static_cast<char>('a' + i % 26);
  const std::size_t sizes[] = {0, 1, 4095, 4096, 4097, 8192, 65536, 65537, 20000};
  for (std::size_t size : sizes)
    writeFile(dir.file("in" + std::to_string(size)),
              text.substr(0, size) + std::string(size > 20000 ? size - 20000 : 0, 'z'));
  auto chain = fileChain({{dir.file("in*"), "None", "Add"}}, folderOutput(dir.file("out")), false,
                         0, false, false, false);
  chain->attachJob(&job);
  chain->runInput();
  for (std::size_t size : sizes) {
    std::string name = "in" + std::to_string(size);
    EXPECT_EQ(readFile(dir.file("out/" + name)), readFile(dir.file(name))) << name;
  }
  EXPECT_TRUE(job.errors.empty());
  EXPECT_EQ(job.processedFiles, 9);
}

TEST(FileInputRun, AFileRewrittenInPlaceIsNotRewrittenTwice) {
  TempFolder dir;
  RecordingJob job;
  writeFile(dir.file("a.txt"), "a");
  auto chain = fileChain({{dir.file("a.txt"), "None", "Add"}, {dir.file("*.txt"), "None", "Add"}},
                         inPlaceOutput());
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(readFile(dir.file("a.txt")), "a!");
  EXPECT_EQ(job.logLines.back(),
            "Skipping file already processed in this job [" + dir.file("a.txt") + "]");
  EXPECT_EQ(job.processedFiles, 2);
}

// After an in-place rewrite the other link still holds the text as it was,
// so it is not a file already processed.
TEST(FileInputRun, HardLinkedNamesAreEachRewrittenOnce) {
  TempFolder dir;
  RecordingJob job;
  writeFile(dir.file("a.txt"), "a");
  std::filesystem::create_hard_link(dir.file("a.txt"), dir.file("b.txt"));
  auto chain = fileChain({{dir.file("?.txt"), "None", "Add"}, {dir.file("?.txt"), "None", "Add"}},
                         inPlaceOutput());
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(readFile(dir.file("a.txt")), "a!");
  EXPECT_EQ(readFile(dir.file("b.txt")), "a!");
  EXPECT_EQ(job.argumentsOf("logOutputFile").size(), 2u);
}

TEST(FileInputRun, ANameListedTwiceIsMergedTwice) {
  TempFolder dir;
  RecordingJob job;
  writeFile(dir.file("a.txt"), "a");
  auto chain = fileChain({{dir.file("a.txt"), "None", "Add"}, {dir.file("a.txt"), "None", "Add"}},
                         std::make_unique<TMergeFiles>(dir.file("all.out")));
  chain->lastFilter()->setNext(inPlaceOutput());
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(readFile(dir.file("all.out")), "a!a!");
  EXPECT_EQ(readFile(dir.file("a.txt")), "a");
}

TEST(FileInputRun, InputsAreDeletedOnlyWhenTheirOutputWentElsewhereInFull) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  writeFile(dir.file("b.txt"), "b");
  {
    RecordingJob job;
    auto chain = fileChain({{dir.file("a.txt"), "None", "Add"}}, inPlaceOutput(), true);
    chain->attachJob(&job);
    chain->runInput();
    EXPECT_EQ(readFile(dir.file("a.txt")), "a!") << "rewritten in place, so kept";
  }
  {
    RecordingJob job;
    auto chain =
        fileChain({{dir.file("b.txt"), "None", "Add"}}, folderOutput(dir.file("out")), true);
    chain->attachJob(&job);
    chain->runInput();
    EXPECT_EQ(readFile(dir.file("out/b.txt")), "b!");
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.txt")));
    EXPECT_EQ(job.logLines.back(), "Deleting input file [" + dir.file("b.txt") + "]");
  }
  {
    // An output folder that is the input's own folder is still the input.
    writeFile(dir.file("e.txt"), "e");
    RecordingJob job;
    auto chain = fileChain({{dir.file("e.txt"), "None", "Add"}, {dir.file("e.txt"), "None", "Add"}},
                           folderOutput(dir.path() + "."), true);
    chain->attachJob(&job);
    chain->runInput();
    EXPECT_EQ(readFile(dir.file("e.txt")), "e!");
  }
  {
    // The output cannot be written: the input stays.
    writeFile(dir.file("c.txt"), "c");
    writeFile(dir.file("blocker"), "");
    RecordingJob job;
    auto chain = fileChain({{dir.file("c.txt"), "None", "Add"}},
                           folderOutput(dir.file("blocker/out")), true);
    chain->attachJob(&job);
    chain->runInput();
    EXPECT_FALSE(job.errors.empty());
    EXPECT_EQ(readFile(dir.file("c.txt")), "c");
  }
  {
    // Aborted: the input stays.
    writeFile(dir.file("d.txt"), "d");
    RecordingJob job;
    auto chain =
        fileChain({{dir.file("d.txt"), "None", "Add"}}, folderOutput(dir.file("out")), true);
    chain->attachJob(&job);
    chain.input->startJob();
    ASSERT_TRUE(chain->nextInput());
    chain->resetStatistics();
    chain->openFile(dir.file("d.txt"));
    job.terminate();
    chain->closeFile();
    EXPECT_EQ(readFile(dir.file("d.txt")), "d");
  }
}

// Text sent to the clipboard (or any output other than a file) is not a
// copy that would let the input go.
TEST(FileInputRun, InputsAreKeptWithoutAFileOutput) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  std::string text;
  RecordingJob job;
  auto chain =
      fileChain({{dir.file("a.txt"), "None", "Add"}}, std::make_unique<TStringOutput>(text), true);
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(text, "a!");
  EXPECT_EQ(readFile(dir.file("a.txt")), "a");
  EXPECT_TRUE(job.errors.empty());
}

TEST(FileInputRun, InputsOfAMergedFileAreDeletedOnlyOnceItIsWritten) {
  TempFolder dir;
  for (bool abort : {true, false}) {
    writeFile(dir.file("a.txt"), "a");
    writeFile(dir.file("b.txt"), "b");
    RecordingJob job;
    auto chain = fileChain({{dir.file("?.txt"), "None", "Add"}},
                           std::make_unique<TMergeFiles>(dir.file("all.out")), true);
    chain->lastFilter()->setNext(inPlaceOutput());
    chain->attachJob(&job);
    chain.input->startJob();
    while (chain->nextInput()) {
      chain->resetStatistics();
      chain->setInputFilename(chain->currentInputName());
      chain->openFile(chain->currentInputName());
      chain->reset();
      std::string text = readFile(chain->currentInputName());
      chain->processChunk(text);
      chain->flush();
      chain->closeFile();
      EXPECT_TRUE(std::filesystem::exists(chain->currentInputName()));
    }
    if (abort)
      job.terminate();
    chain->endJob();
    EXPECT_EQ(std::filesystem::exists(dir.file("a.txt")), abort);
    EXPECT_EQ(std::filesystem::exists(dir.file("b.txt")), abort);
    EXPECT_EQ(std::filesystem::exists(dir.file("all.out")), !abort);
  }
}

// A misspelt name must neither empty the merged target nor pass for a job
// that had nothing to do.
TEST(FileInputRun, AJobThatMatchesNoFileTouchesNoTargetAndSaysSo) {
  TempFolder dir;
  writeFile(dir.file("all.out"), "kept");
  RecordingJob job;
  auto chain = fileChain({{dir.file("mispelt.txt"), "None", "Add"}},
                         std::make_unique<TMergeFiles>(dir.file("all.out")));
  chain->lastFilter()->setNext(inPlaceOutput());
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(readFile(dir.file("all.out")), "kept");
  EXPECT_EQ(dir.listing(), "all.out");
  EXPECT_EQ(job.errors, std::vector<std::string>{"no file matches " + dir.file("mispelt.txt")});
  EXPECT_TRUE(job.argumentsOf("logOutputFile").empty());
}

// Runs `check` as a user who cannot read what the test made unreadable: root
// reads anything, so under root it runs in a child as "nobody". Its status.
int asUnprivileged(const std::function<int()> &check) {
  if (::geteuid() != 0)
    return check();
  const pid_t child = ::fork();
  if (child == 0)
    ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? check() : 3);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An input that became a pipe after the list was built would block the job
// in its opening for ever, and one that cannot be read must say why: each is
// refused with its reason, and the job goes on with the next file.
TEST(FileInputRun, InputsThatCannotBeReadAreRefusedWithTheReason) {
  TempFolder dir;
  for (const char *name : {"a.txt", "b.txt", "c.txt"})
    writeFile(dir.file(name), name);
  RecordingJob job;
  auto pipeInstead = std::make_unique<OnceAtFirstChunk>([&] {
    std::filesystem::remove(dir.file("b.txt"));
    ::mkfifo(dir.file("b.txt").c_str(), 0600);
  });
  auto chain = fileChain({{dir.file("*.txt"), "None", "Add"}}, std::move(pipeInstead), false, 1,
                         false, false, false);
  chain->lastFilter()->setNext(std::make_unique<MarkEnd>());
  chain->lastFilter()->setNext(folderOutput(dir.file("out")));
  chain->attachJob(&job);
  std::atomic<bool> ended = false;
  std::thread run([&] {
    chain->runInput();
    ended = true;
  });
  for (int i = 0; i < 500 && !ended; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const bool endedAtOnce = ended;
  // A writer lets a blocked open go, so that the test ends.
  const int writer = endedAtOnce ? -1 : ::open(dir.file("b.txt").c_str(), O_WRONLY | O_NONBLOCK);
  run.join();
  if (writer >= 0)
    ::close(writer);
  EXPECT_TRUE(endedAtOnce);
  EXPECT_EQ(readFile(dir.file("out/c.txt")), "c.txt!");
  const std::string refused =
      "Cannot open file " + dir.file("b.txt") + ". It is not a regular file";
  EXPECT_EQ(job.errors.back(), refused);

  // A folder and a file the user may not read.
  ::chmod(dir.path().c_str(), 0755);
  std::filesystem::create_directory(dir.file("closed"));
  writeFile(dir.file("closed/x.txt"), "x");
  writeFile(dir.file("secret.txt"), "s");
  ::chmod(dir.file("closed").c_str(), 0);
  ::chmod(dir.file("secret.txt").c_str(), 0);
  const int status = asUnprivileged([&] {
    RecordingJob user;
    auto closed = fileChain(
        {{dir.file("closed/*.txt"), "None", "Add"}, {dir.file("secret.txt"), "None", "Add"}},
        std::make_unique<TFileOutput>(TFileOutput::Options{.testMode = true}), false, 1);
    closed->attachJob(&user);
    closed->runInput();
    const std::vector<std::string> expected = {
        "Cannot read folder " + dir.file("closed/") + ". Permission denied",
        "Couldn't open file to check if binary: " + dir.file("secret.txt"),
        "Cannot open file " + dir.file("secret.txt") + ". Permission denied"};
    if (user.errors == expected)
      return 0;
    for (const std::string &line : user.errors)
      std::fprintf(stderr, "%s\n", line.c_str());
    return 1;
  });
  EXPECT_EQ(status, 0);
}

// The merged file's own failure, reported at the job's end, keeps its inputs.
TEST(FileInputRun, InputsOfAMergedFileThatCouldNotBeWrittenAreKept) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  writeFile(dir.file("all.out"), "old");
  ::chmod(dir.file("all.out").c_str(), 0444);
  RecordingJob job;
  auto chain = fileChain({{dir.file("a.txt"), "None", "Add"}},
                         std::make_unique<TMergeFiles>(dir.file("all.out")), true);
  chain->lastFilter()->setNext(inPlaceOutput());
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_FALSE(job.errors.empty());
  EXPECT_EQ(readFile(dir.file("all.out")), "old");
  EXPECT_EQ(readFile(dir.file("a.txt")), "a");
}

// An output into an input of the same job: appended to itself the input
// would read its own output for ever (bounded here by a stop after 200
// chunks); a changed extension would replace a file that is read later,
// or the result of one read before.
TEST(FileInputRun, AnOutputIntoAnInputOfTheJobIsRefused) {
  TempFolder dir;
  const std::string big(100000, 'b');
  writeFile(dir.file("big.txt"), big);
  writeFile(dir.file("small.txt"), "s");
  auto bounded = [](std::unique_ptr<TFilter> output) {
    struct StopAfter : TFilter {
      int chunks = 0;
      bool processChunk(std::string &chunk) override {
        if (++chunks > 200)
          job()->terminate();
        return sendToNext(chunk);
      }
    };
    auto guard = std::make_unique<StopAfter>();
    guard->setNext(std::move(output));
    return guard;
  };
  {
    RecordingJob job;
    auto chain =
        fileChain({{dir.file("*.txt"), "None", "Add"}},
                  bounded(std::make_unique<TFileOutput>(TFileOutput::Options{.append = true})));
    chain->attachJob(&job);
    chain->runInput();
    EXPECT_EQ(readFile(dir.file("big.txt")), big);
    EXPECT_EQ(readFile(dir.file("small.txt")), "s");
    EXPECT_EQ(job.errors,
              std::vector<std::string>(
                  {"Not appending the output of [" + dir.file("big.txt") + "] to [" +
                       dir.file("big.txt") + "]: that file is an input of this job",
                   "Not appending the output of [" + dir.file("small.txt") + "] to [" +
                       dir.file("small.txt") + "]: that file is an input of this job"}));
    EXPECT_EQ(job.processedFiles, 0);
  }
  {
    // A split appends to its parts, never to its input.
    RecordingJob job;
    auto split = std::make_unique<TSplitAtSize>(1000);
    split->setNext(std::make_unique<TFileOutput>(TFileOutput::Options{.append = true}));
    auto chain = fileChain({{dir.file("small.txt"), "None", "Add"}}, std::move(split));
    chain->attachJob(&job);
    chain->runInput();
    EXPECT_TRUE(job.errors.empty());
    EXPECT_EQ(readFile(dir.file("small.txt.000")), "s!");
  }
  writeFile(dir.file("a.txt"), "t");
  writeFile(dir.file("a.csv"), "c");
  for (const char *first : {"a.txt", "a.csv"}) {
    RecordingJob job;
    const std::string second = first == std::string("a.txt") ? "a.csv" : "a.txt";
    auto chain = fileChain({{dir.file(first), "None", "Add"}, {dir.file(second), "None", "Add"}},
                           std::make_unique<TFileOutput>(TFileOutput::Options{
                               .changeExtension = true, .newExtension = "csv"}));
    chain->attachJob(&job);
    chain->runInput();
    EXPECT_EQ(readFile(dir.file("a.csv")), "c!") << first;
    EXPECT_EQ(readFile(dir.file("a.txt")), "t");
    EXPECT_EQ(job.errors, std::vector<std::string>{
                              "Not writing the output of [" + dir.file("a.txt") + "] over [" +
                              dir.file("a.csv") + "]: that file is an input of this job"});
    writeFile(dir.file("a.csv"), "c");
  }
  {
    // Appended to, a merged file that is an input takes the others' text but
    // is not read itself.
    writeFile(dir.file("all.out"), "old");
    RecordingJob job;
    auto chain =
        fileChain({{dir.file("a.txt"), "None", "Add"}, {dir.file("all.out"), "None", "Add"}},
                  std::make_unique<TMergeFiles>(dir.file("all.out")));
    chain->lastFilter()->setNext(
        bounded(std::make_unique<TFileOutput>(TFileOutput::Options{.append = true})));
    chain->attachJob(&job);
    chain->runInput();
    EXPECT_EQ(readFile(dir.file("all.out")), "oldt!");
    EXPECT_EQ(job.errors.size(), 1u);
  }
}

// Another program on the inputs while the job reads them, for each way of
// writing the output: an input removed before it is opened adds nothing and
// takes nothing from the input before it; one cut short, or rewritten at its
// size within the second it was opened, while it is read is an error, and
// nothing of it is kept.
TEST(FileInputRun, InputsRemovedOrCutWhileTheJobRunsCostNothingElse) {
  class Meddler : public TFilter {
  public:
    explicit Meddler(TempFolder &dir) : dir_(dir) {}
    bool processChunk(std::string &chunk) override {
      const std::string name = getFullInputFilename();
      if (name == dir_.file("a.txt"))
        std::filesystem::remove(dir_.file("b.txt"));
      if (name == dir_.file("c.txt"))
        std::filesystem::resize_file(name, 1000);
      if (name == dir_.file("e.txt") && !std::exchange(rewritten_, true)) {
        writeFile(name, std::string(200000, 'E'));
        stampWithinTheSecond(name, 200000000);
      }
      return sendToNext(chunk);
    }

    static void stampWithinTheSecond(const std::string &name, long nanoseconds) {
      const timespec stamp[2] = {{1700000000, nanoseconds}, {1700000000, nanoseconds}};
      ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), stamp, 0), 0);
    }

  private:
    TempFolder &dir_;
    bool rewritten_ = false;
  };
  for (const std::string kind : {"folder", "merged", "appended", "clipboard"}) {
    SCOPED_TRACE(kind);
    TempFolder dir;
    writeFile(dir.file("a.txt"), "A");
    writeFile(dir.file("b.txt"), "B");
    writeFile(dir.file("c.txt"), std::string(200000, 'c'));
    writeFile(dir.file("d.txt"), "D");
    writeFile(dir.file("e.txt"), std::string(200000, 'e'));
    Meddler::stampWithinTheSecond(dir.file("e.txt"), 100000000);
    writeFile(dir.file("all.out"), "old");
    std::unique_ptr<TFilter> output;
    if (kind == "folder") {
      output = folderOutput(dir.file("out"));
    } else if (kind == "clipboard") {
      output = std::make_unique<TClipboardOutput>();
    } else {
      output = std::make_unique<TMergeFiles>(dir.file("all.out"));
      output->setNext(
          std::make_unique<TFileOutput>(TFileOutput::Options{.append = kind == "appended"}));
    }
    auto input = std::make_unique<TFileInput>(
        std::vector<FileGridRow>{{dir.file("?.txt"), "None", "Add"}}, false, false, 0, 4096, false);
    input->setNext(std::make_unique<Meddler>(dir));
    input->lastFilter()->setNext(std::make_unique<MarkEnd>());
    input->lastFilter()->setNext(std::move(output));
    RecordingJob job;
    input->attachJob(&job);
    input->runInput();
    if (kind == "clipboard") {
      EXPECT_EQ(getClipboardText(), "A!D!");
    } else if (kind == "folder") {
      EXPECT_EQ(dir.listing(), "a.txt all.out c.txt d.txt e.txt out");
      std::set<std::string> written;
      for (const auto &entry : std::filesystem::directory_iterator(dir.file("out")))
        written.insert(entry.path().filename().string());
      EXPECT_EQ(written, std::set<std::string>({"a.txt", "d.txt"}));
      EXPECT_EQ(readFile(dir.file("out/a.txt")) + readFile(dir.file("out/d.txt")), "A!D!");
    } else {
      EXPECT_EQ(readFile(dir.file("all.out")), kind == "appended" ? "oldA!D!" : "A!D!");
    }
    EXPECT_EQ(job.errors,
              std::vector<std::string>({"Cannot open file " + dir.file("b.txt"),
                                        "File [" + dir.file("c.txt") +
                                            "] was changed while it was read (another program "
                                            "may be writing it): its output is not kept",
                                        "File [" + dir.file("e.txt") +
                                            "] was changed while it was read (another program "
                                            "may be writing it): its output is not kept"}));
    EXPECT_EQ(job.processedFiles, 2);
  }
}

// A tree deeper than the system takes in one name is read and written to its
// last level, each folder through its parent; a link that leads round in a
// circle, which no one can enter, is named.
TEST(FileInputRun, FoldersDeeperThanTheLongestNameAreReadToTheEnd) {
  TempFolder dir;
  constexpr int levels = 45;
  std::vector<int> folders{::open(dir.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
  std::vector<std::string> names;
  std::string deepest = dir.path();
  for (int level = 1; level <= levels; ++level) {
    names.push_back(std::to_string(level) + std::string(100, 'x'));
    ASSERT_EQ(::mkdirat(folders.back(), names.back().c_str(), 0755), 0);
    folders.push_back(
        ::openat(folders.back(), names.back().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const int file = ::openat(folders.back(), "f.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::write(file, "f", 1), 1);
    ::close(file);
    deepest += names.back() + "/";
  }
  ASSERT_EQ(::symlinkat("loop", folders.back(), "loop"), 0);
  ASSERT_GT(deepest.size(), static_cast<std::size_t>(PATH_MAX));
  RecordingJob job;
  auto chain = fileChain({{dir.file("*.txt"), "All", "Add"}}, inPlaceOutput());
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(job.processedFiles, levels);
  EXPECT_EQ(job.errors, std::vector<std::string>{"Cannot read folder " + deepest +
                                                 "loop. Too many levels of symbolic links"});
  char text[8] = {};
  const int last = ::openat(folders.back(), "f.txt", O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(::read(last, text, sizeof text), 2);
  ::close(last);
  EXPECT_STREQ(text, "f!");
  // Written again under an output folder that keeps the tree, made part by part.
  ::unlinkat(folders.back(), "loop", 0);
  RecordingJob copying;
  chain = fileChain(
      {{dir.file("*.txt"), "All", "Add"}},
      std::make_unique<TFileOutput>(TFileOutput::Options{
          .useOutputFolder = true, .outputFolder = dir.file("out"), .keepFolderStructure = true}));
  chain->attachJob(&copying);
  chain->runInput();
  EXPECT_EQ(copying.processedFiles, levels);
  EXPECT_EQ(copying.errors.size(), 0u);
  const ReachableName copy(dir.file("out") + deepest + "f.txt");
  const int copied = ::open(copy.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(::read(copied, text, sizeof text), 3);
  ::close(copied);
  EXPECT_STREQ(text, "f!!");
  for (int folder : folders)
    ::close(folder);
}

// Lines another program appends while the job reads the file would be lost
// with the rename: the file stays as it is, and the user is told.
TEST(FileInputRun, AnInputChangedWhileItIsReadIsNotReplaced) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), std::string(10000, 'a'));
  writeFile(dir.file("b.txt"), "b");
  struct AppendToInput : TFilter {
    bool processChunk(std::string &chunk) override {
      if (getFullInputFilename().ends_with("a.txt") && !done) {
        std::ofstream(getFullInputFilename(), std::ios::app) << "appended\n";
        done = true;
      }
      return sendToNext(chunk);
    }
    bool done = false;
  };
  RecordingJob job;
  auto chain = fileChain({{dir.file("?.txt"), "None", "Add"}}, std::make_unique<AppendToInput>());
  chain->lastFilter()->setNext(inPlaceOutput());
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(readFile(dir.file("a.txt")), std::string(10000, 'a') + "appended\n");
  EXPECT_EQ(readFile(dir.file("b.txt")), "b!");
  EXPECT_EQ(dir.listing(), "a.txt b.txt");
  EXPECT_EQ(job.errors, std::vector<std::string>{"File [" + dir.file("a.txt") +
                                                 "] was changed during the job: it was left as "
                                                 "it is and its new text discarded"});
  EXPECT_EQ(job.processedFiles, 1);
}

// --- Questions ---

// No to All holds for binary files only: text files after it are still processed.
TEST(FileInputQuestions, NoToAllOnTheBinaryQuestionAsksNoMore) {
  TempFolder dir;
  for (const char *name : {"1.bin", "2.bin", "3.bin"})
    writeFile(dir.file(name), std::string("\0\0\0", 3));
  writeFile(dir.file("4.txt"), "text");
  RecordingJob job;
  job.deferLoggingOption = true;
  job.questionAnswers = {Answer::NoToAll};
  auto chain =
      fileChain({{dir.file("*.*"), "None", "Add"}}, folderOutput(dir.file("out")), false, 2);
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(job.argumentsOf("askQuestion").size(), 1u);
  EXPECT_EQ(job.argumentsOf("incBinarySkipped").size(), 3u);
  EXPECT_EQ(readFile(dir.file("out/4.txt")), "text!");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/1.bin")));
  EXPECT_EQ(job.processedFiles, 4);
}

TEST(FileInputQuestions, WithoutDeferredLoggingNothingIsAsked) {
  TempFolder dir;
  writeFile(dir.file("1.bin"), std::string("\0\0\0", 3));
  RecordingJob job;
  auto chain = fileChain({{dir.file("*.*"), "None", "Add"}}, folderOutput(dir.file("out")), false,
                         2, true, true);
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_TRUE(job.argumentsOf("askQuestion").empty());
  EXPECT_TRUE(std::filesystem::exists(dir.file("out/1.bin")));
}

TEST(FileInputQuestions, ReadOnlyMeansTheOwnerWriteBitAndCancelStops) {
  TempFolder dir;
  writeFile(dir.file("1.txt"), "1");
  writeFile(dir.file("2.txt"), "2");
  writeFile(dir.file("3.txt"), "3");
  ::chmod(dir.file("1.txt").c_str(), 0444);
  RecordingJob job;
  job.deferLoggingOption = true;
  // Read-only question for 1: No; each-file question for 2: Cancel.
  job.questionAnswers = {Answer::Yes, Answer::No, Answer::Cancel};
  auto chain = fileChain({{dir.file("*.txt"), "None", "Add"}}, folderOutput(dir.file("out")), false,
                         0, true, true);
  chain->attachJob(&job);
  chain->runInput();
  auto questions = job.argumentsOf("askQuestion");
  ASSERT_EQ(questions.size(), 3u);
  EXPECT_EQ(questions[0], dir.file("1.txt") + "\r\n\r\nProcess this file?");
  EXPECT_EQ(questions[1], dir.file("1.txt") + "\r\n\r\nis Read Only. Process this file?");
  EXPECT_EQ(questions[2], dir.file("2.txt") + "\r\n\r\nProcess this file?");
  EXPECT_TRUE(job.isAborted());
  EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
  EXPECT_EQ(job.logLines,
            std::vector<std::string>({"Skipping read only file [" + dir.file("1.txt") + "]",
                                      "User skipping file [" + dir.file("2.txt") + "]"}));
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// No to All holds for read-only files only: writable files after it are still processed.
TEST(FileInputQuestions, NoToAllOnTheReadOnlyQuestionKeepsWritableFiles) {
  TempFolder dir;
  for (const char *name : {"1.txt", "2.txt", "3.txt"})
    writeFile(dir.file(name), name);
  ::chmod(dir.file("1.txt").c_str(), 0444);
  ::chmod(dir.file("2.txt").c_str(), 0444);
  RecordingJob job;
  job.deferLoggingOption = true;
  job.questionAnswers = {Answer::NoToAll};
  auto chain = fileChain({{dir.file("*.txt"), "None", "Add"}}, folderOutput(dir.file("out")), false,
                         0, false, true);
  chain->attachJob(&job);
  chain->runInput();
  EXPECT_EQ(job.argumentsOf("askQuestion").size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/1.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/2.txt")));
  EXPECT_EQ(readFile(dir.file("out/3.txt")), "3.txt!");
}

} // namespace
} // namespace marrowen

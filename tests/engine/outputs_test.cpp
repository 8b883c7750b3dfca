#include "engine/outputs.h"

#include "classlib/exceptions.h"
#include "classlib/safefile.h"
#include "engine/mergesplit.h"
#include "support/list_input.h"
#include "support/recording_job.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace marrowen {
namespace {

using testing::fileExists;
using testing::ListInput;
using testing::readFile;
using testing::RecordingJob;
using testing::TempFolder;
using testing::writeFile;

using OutputOptions = TFileOutput::Options;

std::unique_ptr<TFileOutput> makeOutput(const OutputOptions &options) {
  return std::make_unique<TFileOutput>(options);
}

// Runs the inputs (name, new text) through a file output; returns the job.
std::unique_ptr<RecordingJob> writeThrough(std::vector<std::pair<std::string, std::string>> inputs,
                                           const OutputOptions &options = {}) {
  auto job = std::make_unique<RecordingJob>();
  ListInput input(std::move(inputs));
  input.setNext(makeOutput(options));
  input.attachJob(job.get());
  input.runInput();
  return job;
}

mode_t modeOf(const std::string &name) {
  struct stat info {};
  ::stat(name.c_str(), &info);
  return info.st_mode & 07777;
}

timespec mtimeOf(const std::string &name) {
  struct stat info {};
  ::stat(name.c_str(), &info);
  return info.st_mtim;
}

TEST(FileOutput, ReplacesTheTargetThroughATemporaryFile) {
  TempFolder folder;
  writeFile(folder.file("a.txt"), "old");
  ::chmod(folder.file("a.txt").c_str(), 0640);
  auto job = writeThrough({{folder.file("a.txt"), "new text"}});
  EXPECT_EQ(readFile(folder.file("a.txt")), "new text");
  EXPECT_EQ(folder.listing(), "a.txt");
  EXPECT_EQ(modeOf(folder.file("a.txt")), 0640u) << "keeps the replaced target's permissions";
  EXPECT_TRUE(job->errors.empty());
  EXPECT_EQ(job->outputFiles,
            (std::vector<std::pair<std::string, std::int64_t>>{{folder.file("a.txt"), 8}}));
}

TEST(FileOutput, ANewFileGetsTheUsualPermissions) {
  TempFolder folder;
  mode_t mask = ::umask(022);
  ::umask(mask);
  writeThrough({{folder.file("fresh.txt"), "x"}});
  EXPECT_EQ(modeOf(folder.file("fresh.txt")), 0666u & ~mask);
}

TEST(FileOutput, TestModeWritesACopyBesideTheInput) {
  TempFolder folder;
  writeFile(folder.file("a.csv"), "input");
  OutputOptions options;
  options.testMode = true;
  options.changeExtension = true;
  options.newExtension = "txt";
  writeThrough({{folder.file("a.csv"), "copy"}}, options);
  EXPECT_EQ(readFile(folder.file("a.txt.dCv")), "copy");
  EXPECT_EQ(readFile(folder.file("a.csv")), "input");
  EXPECT_EQ(folder.listing(), "a.csv a.txt.dCv");
}

TEST(FileOutput, OutputNames) {
  struct Case {
    const char *input;
    const char *extension;
    const char *folder;
    bool keep;
    bool testMode;
    const char *expected;
  };
  const Case cases[] = {
      {"/d/a.csv", "txt", nullptr, false, false, "/d/a.txt"},
      {"/d/a", ".txt", nullptr, false, false, "/d/a.txt"},          // no point: appended
      {"/d.x/name", "txt", nullptr, false, false, "/d.x/name.txt"}, // stops at the folder
      {"/d/a.b.c", ".z", nullptr, false, false, "/d/a.b.z"},
      {"/data/x/y.txt", nullptr, "/out", true, false, "/out/data/x/y.txt"},
      {"/data/x/y.txt", nullptr, "/out/", false, false, "/out/y.txt"},
      {"/data/x/y.txt", "bak", "/out", false, true, "/out/y.bak.dCv"},
  };
  for (const auto &c : cases) {
    OutputOptions options;
    options.changeExtension = c.extension != nullptr;
    options.newExtension = c.extension ? c.extension : "";
    options.useOutputFolder = c.folder != nullptr;
    options.outputFolder = c.folder ? c.folder : "";
    options.keepFolderStructure = c.keep;
    options.testMode = c.testMode;
    EXPECT_EQ(makeOutput(options)->outputName(c.input), c.expected) << c.input;
  }
  // Long names are not cut.
  std::string deep = "/" + std::string(400, 'd') + "/file.txt";
  OutputOptions options;
  options.useOutputFolder = true;
  options.outputFolder = "/out";
  options.keepFolderStructure = true;
  EXPECT_EQ(makeOutput(options)->outputName(deep), "/out" + deep);
}

TEST(FileOutput, AnEmptyOutputFolderIsRefusedWhenMade) {
  OutputOptions options;
  options.useOutputFolder = true;
  EXPECT_THROW(makeOutput(options), Exception);
}

TEST(FileOutput, OutputFolderWithAndWithoutFolderStructure) {
  TempFolder folder;
  std::string input = folder.file("data/x/y.txt");
  OutputOptions options;
  options.useOutputFolder = true;
  options.outputFolder = folder.file("out");
  writeThrough({{input, "flat"}}, options);
  EXPECT_EQ(readFile(folder.file("out/y.txt")), "flat");

  options.keepFolderStructure = true;
  writeThrough({{input, "deep"}}, options);
  EXPECT_EQ(readFile(folder.file("out") + input), "deep");
  EXPECT_FALSE(fileExists(input)) << "the input itself is never written";
}

TEST(FileOutput, AppendCreatesAMissingTargetAndAddsToIt) {
  TempFolder folder;
  OutputOptions options;
  options.append = true;
  options.useOutputFolder = true;
  options.outputFolder = folder.file("out");
  writeThrough({{folder.file("log.txt"), "one\n"}}, options);
  EXPECT_EQ(readFile(folder.file("out/log.txt")), "one\n");
  writeThrough({{folder.file("log.txt"), "two\n"}}, options);
  EXPECT_EQ(readFile(folder.file("out/log.txt")), "one\ntwo\n");
  EXPECT_EQ(folder.listing(), "out");
}

TEST(FileOutput, RetainDateTakesEachInputsOwnDate) {
  TempFolder folder;
  writeFile(folder.file("dated.txt"), "in");
  timespec old[2] = {{981158400, 0}, {981158400, 0}}; // 2001-02-03
  ::utimensat(AT_FDCWD, folder.file("dated.txt").c_str(), old, 0);
  OutputOptions options;
  options.retainDate = true;
  options.useOutputFolder = true;
  options.outputFolder = folder.file("out");
  // The second input's date cannot be read: no date is set, not the first's.
  writeThrough({{folder.file("dated.txt"), "a"}, {folder.file("missing.txt"), "b"}}, options);
  EXPECT_EQ(mtimeOf(folder.file("out/dated.txt")).tv_sec, 981158400);
  EXPECT_GT(mtimeOf(folder.file("out/missing.txt")).tv_sec, 981158400 + 86400);
  // Without the option the output is new, dated now.
  options.retainDate = false;
  writeThrough({{folder.file("dated.txt"), "a"}}, options);
  EXPECT_GT(mtimeOf(folder.file("out/dated.txt")).tv_sec, 981158400 + 86400);
}

TEST(FileOutput, AReadOnlyTargetIsKeptAndTheNewTextStaysInTheTemporaryFile) {
  TempFolder folder;
  writeFile(folder.file("ro.txt"), "protected");
  ::chmod(folder.file("ro.txt").c_str(), 0444);
  auto job = writeThrough({{folder.file("ro.txt"), "new"}});
  EXPECT_EQ(readFile(folder.file("ro.txt")), "protected");
  ASSERT_EQ(job->errors.size(), 2u);
  EXPECT_EQ(job->errors[0].rfind("Couldn't delete file [" + folder.file("ro.txt") + "]:", 0), 0u);
  EXPECT_EQ(job->errors[1].rfind("Couldn't move file [" + folder.path() + "KVB", 0), 0u);
  std::string listing = folder.listing();
  ASSERT_EQ(listing.rfind("KVB", 0), 0u) << listing;
  EXPECT_EQ(readFile(folder.file(listing.substr(0, listing.find(' ')))), "new");
}

// The input decides whether it may delete itself from what the end of a file
// reports: a kept read-only target must not read as written.
TEST(FileOutput, TheEndOfAFileReportsItsTargetAndWhetherItHoldsTheText) {
  TempFolder folder;
  writeFile(folder.file("a.txt"), "a");
  writeFile(folder.file("ro.txt"), "protected");
  ::chmod(folder.file("ro.txt").c_str(), 0444);
  RecordingJob job;
  for (const char *name : {"a.txt", "ro.txt"}) {
    auto output = makeOutput({});
    output->attachJob(&job);
    output->openFile(folder.file(name));
    std::string text = "new";
    output->processChunk(text);
    const FileResult result = output->closeFile();
    EXPECT_EQ(result.target.fileName, folder.file(name));
    EXPECT_FALSE(result.target.merged);
    EXPECT_EQ(result.failed, std::string(name) == "ro.txt");
  }

  TMergeFiles merge(folder.file("all.txt"));
  merge.setNext(makeOutput({}));
  merge.attachJob(&job);
  merge.startJob();
  merge.openFile(folder.file("a.txt"));
  const FileResult joined = merge.closeFile();
  EXPECT_TRUE(joined.target.merged);
  EXPECT_EQ(joined.target.fileName, folder.file("all.txt"));
  EXPECT_FALSE(joined.failed) << "judged only once the merged file is written";
  merge.endJob();
}

TEST(FileOutput, AShortWriteLeavesTheTargetByteIdentical) {
  TempFolder folder;
  std::string original = "original target\r\n";
  writeFile(folder.file("big.txt"), original);
  // A file-size limit makes writes beyond it fail as on a full disk.
  auto job = [&] {
    marrowen::testing::FileSizeLimit full(65536);
    return writeThrough({{folder.file("big.txt"), std::string(300000, 'w')}});
  }();

  EXPECT_EQ(readFile(folder.file("big.txt")), original);
  EXPECT_EQ(folder.listing(), "big.txt");
  ASSERT_EQ(job->errors.size(), 1u);
  EXPECT_EQ(job->errors[0].rfind("Couldn't write file [", 0), 0u) << job->errors[0];
}

// A full disk, or a stop, in the middle of an append: the target goes back
// to the length it had, or away when the append made it, and a failure says so.
TEST(FileOutput, AnAppendThatFailsOrIsStoppedLeavesTheTargetAsItWas) {
  TempFolder folder;
  const std::string original(1000, 'o');
  writeFile(folder.file("log.txt"), original);
  OutputOptions options;
  options.append = true;
  auto appendPastLimit = [&](const std::string &name) {
    marrowen::testing::FileSizeLimit full(65536);
    return writeThrough({{name, std::string(300000, 'w')}}, options);
  };
  auto job = appendPastLimit(folder.file("log.txt"));
  EXPECT_EQ(readFile(folder.file("log.txt")), original);
  EXPECT_EQ(job->errors,
            std::vector<std::string>{"Couldn't write file [" + folder.file("log.txt") +
                                     "]:File too large; it was cut back to the 1000 bytes it "
                                     "held before"});
  EXPECT_EQ(job->processedFiles, 0);
  job = appendPastLimit(folder.file("new.txt"));
  EXPECT_EQ(job->errors, std::vector<std::string>{"Couldn't write file [" + folder.file("new.txt") +
                                                  "]:File too large"});
  EXPECT_EQ(folder.listing(), "log.txt");

  struct StopAtChunk : TFilter {
    int chunks = 0;
    bool processChunk(std::string &chunk) override {
      if (++chunks == 20)
        job()->terminate();
      return sendToNext(chunk);
    }
  };
  for (const char *name : {"log.txt", "new.txt"}) {
    RecordingJob stopped;
    ListInput input({{folder.file(name), std::string(100000, 'w')}});
    input.setNext(std::make_unique<StopAtChunk>());
    input.lastFilter()->setNext(makeOutput(options));
    input.attachJob(&stopped);
    input.runInput();
  }
  EXPECT_EQ(readFile(folder.file("log.txt")), original);
  EXPECT_EQ(folder.listing(), "log.txt");
}

// Two writers appending to one file at once would mix their texts: a target
// another writer holds fails for that input and stays as it was, and once
// let go it takes the append.
TEST(FileOutput, AnAppendTargetAnotherWriterHoldsOrThatIsNoFileIsLeftAsItWas) {
  TempFolder folder;
  writeFile(folder.file("t.txt"), "theirs");
  auto other = std::make_unique<testing::HeldForWriting>(folder.file("t.txt"));
  ASSERT_TRUE(other->held());
  auto job = writeThrough({{folder.file("t.txt"), "mine"}}, {.append = true});
  EXPECT_EQ(readFile(folder.file("t.txt")), "theirs");
  EXPECT_EQ(job->errors,
            std::vector<std::string>{"Couldn't append to file [" + folder.file("t.txt") +
                                     "]: another program is writing it"});
  EXPECT_EQ(job->processedFiles, 0);
  other.reset();
  job = writeThrough({{folder.file("t.txt"), "mine"}}, {.append = true});
  EXPECT_EQ(readFile(folder.file("t.txt")), "theirsmine");
  EXPECT_TRUE(job->errors.empty());

  // A pipe can be neither held nor cut back, and without a reader it would
  // hold the job for ever: its reader here gets nothing.
  ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0600), 0);
  const int reader = ::open(folder.file("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  job = writeThrough({{folder.file("pipe"), "mine"}}, {.append = true});
  char got[8];
  EXPECT_EQ(::read(reader, got, sizeof got), 0);
  ::close(reader);
  EXPECT_EQ(job->errors,
            std::vector<std::string>{"Couldn't append to file [" + folder.file("pipe") +
                                     "]: it is not a regular file"});
}

// A target the rename cannot reach (a name too long for the file system):
// nothing is left under a random name and the file is neither reported as
// written nor counted as processed.
TEST(FileOutput, AFailedRenameRemovesTheTemporaryAndCountsTheFileAsFailed) {
  TempFolder folder;
  auto job = writeThrough({{folder.file(std::string(300, 'n')), "text"}});
  EXPECT_EQ(folder.listing(), "");
  ASSERT_EQ(job->errors.size(), 1u);
  EXPECT_EQ(job->errors[0].rfind("Couldn't move file [", 0), 0u) << job->errors[0];
  EXPECT_TRUE(job->argumentsOf("logOutputFile").empty());
  EXPECT_EQ(job->processedFiles, 0);
}

TEST(FileOutput, AnUncreatableTargetIsAStreamErrorOfItsInputOnly) {
  TempFolder folder;
  auto job =
      writeThrough({{folder.file("no/such/folder/a.txt"), "lost"}, {folder.file("b.txt"), "kept"}});
  ASSERT_EQ(job->errors.size(), 1u);
  EXPECT_EQ(job->errors[0], "Cannot create file " + folder.file("no/such/folder/a.txt") +
                                ". No such file or directory");
  EXPECT_EQ(readFile(folder.file("b.txt")), "kept");
}

TEST(FileOutput, ALinkedTargetIsWrittenThroughAndADanglingLinkIsRefused) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("data"));
  writeFile(folder.file("data/real.txt"), "old");
  std::filesystem::create_symlink("data/real.txt", folder.file("link.txt"));
  std::filesystem::create_symlink("data/gone.txt", folder.file("dangling.txt"));
  auto job = writeThrough({{folder.file("link.txt"), "new"}, {folder.file("dangling.txt"), "x"}});
  EXPECT_TRUE(std::filesystem::is_symlink(folder.file("link.txt")));
  EXPECT_EQ(readFile(folder.file("data/real.txt")), "new");
  EXPECT_EQ(folder.listing(), "dangling.txt data link.txt");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.file("data")),
                          std::filesystem::directory_iterator()),
            1);
  ASSERT_EQ(job->errors.size(), 1u);
  EXPECT_EQ(job->errors[0],
            "Cannot create file " + folder.file("dangling.txt") + ". No such file or directory");
}

// No file can be renamed over a folder: nothing is written, and no
// temporary file (which took the folder's mode) is left beside it.
TEST(FileOutput, AFolderInTheTargetsPlaceIsRefusedBeforeAnythingIsWritten) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("dir.txt"));
  ::chmod(folder.file("dir.txt").c_str(), 0777);
  auto job = writeThrough({{folder.file("dir.txt"), "text"}});
  EXPECT_EQ(job->errors, std::vector<std::string>{"Cannot create file " + folder.file("dir.txt") +
                                                  ". Is a directory"});
  EXPECT_EQ(folder.listing(), "dir.txt");
}

// Without the signal ignored, writing past the limit would end the process.
TEST(FileOutput, WithTheFileSizeSignalIgnoredTheLimitIsAWriteError) {
  TempFolder folder;
  writeFile(folder.file("big.txt"), "original");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_DFL);
    ignoreFileSizeSignal();
    rlimit limited{65536, 65536};
    ::setrlimit(RLIMIT_FSIZE, &limited);
    auto job = writeThrough({{folder.file("big.txt"), std::string(300000, 'w')}});
    std::_Exit(job->errors.size() == 1 ? 0 : 3);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readFile(folder.file("big.txt")), "original");
  EXPECT_EQ(folder.listing(), "big.txt");
}

// A program killed while it writes (SIGKILL: nothing of it runs) leaves the
// target as it was and no half-written file beside it.
TEST(FileOutput, AProgramKilledWhileWritingLeavesNothingBesideTheTarget) {
  TempFolder folder;
  writeFile(folder.file("big.txt"), "original");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RecordingJob job;
    auto output = makeOutput({});
    output->attachJob(&job);
    output->startJob();
    output->openFile(folder.file("big.txt"));
    std::string text(1 << 20, 'w');
    output->processChunk(text);
    ::kill(::getpid(), SIGKILL);
    std::_Exit(3);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  EXPECT_EQ(readFile(folder.file("big.txt")), "original");
  EXPECT_EQ(folder.listing(), "big.txt");
}

TEST(GenericOutput, InputNamesAndVariables) {
  std::string target;
  TStringOutput output(target);
  output.setInputFilename("/a/b/c.txt");
  EXPECT_EQ(output.getInputFilename(), "c.txt");
  EXPECT_EQ(output.getFullInputFilename(), "/a/b/c.txt");
  EXPECT_FALSE(output.hasChanged());
  output.setGlobalVar("Name", "one");
  output.setGlobalVar("NAME", "two");
  EXPECT_EQ(output.getGlobalVar("name"), "two");
  EXPECT_EQ(output.getGlobalVar("other"), "");
}

} // namespace
} // namespace marrowen

#include "filters/executeprogram.h"

#include "classlib/exceptions.h"
#include "engine/userinterface.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"
#include "support/temp_folder.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include <sys/stat.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::FilterFactory;
using testing::TempFolder;

// Points the system's temporary folder at a folder of the test's own, so
// that the test sees every file the filter leaves behind.
class ExecuteProgram : public ::testing::Test {
protected:
  ExecuteProgram() {
    if (const char *old = std::getenv("TMPDIR"))
      oldTmpdir_ = old;
    ::setenv("TMPDIR", temp_.path().c_str(), 1);
  }
  ~ExecuteProgram() override {
    if (oldTmpdir_)
      ::setenv("TMPDIR", oldTmpdir_->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }

  // What the filter left in the temporary folder.
  std::string leftovers() const { return temp_.listing(); }

  // An executable script in the test's own folder.
  std::string script(const std::string &name, const std::string &body) {
    std::string path = files_.file(name);
    testing::writeFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
  }

  static FilterFactory program(std::string command, std::string result = "output.txt",
                               std::string data = "input.txt") {
    return [=] { return std::make_unique<TExecuteProgram>(result, data, command); };
  }

  TempFolder files_;

private:
  TempFolder temp_;
  std::optional<std::string> oldTmpdir_;
};

// Runs one file through `make` with the control calls of a job and returns
// the output; exceptions pass through.
std::string runOnce(const FilterFactory &make, const std::string &input, JobSink *job = nullptr) {
  std::string out;
  std::unique_ptr<TFilter> head = make();
  head->setNext(std::make_unique<testing::StringSink>(out));
  head->attachJob(job);
  head->startJob();
  head->reset();
  std::string chunk = input;
  head->processChunk(chunk);
  head->flush();
  head->endJob();
  return out;
}

TEST_F(ExecuteProgram, TheProgramFindsItsFilesByTheirNamesAndItsResultIsPassedOn) {
  std::string sorter = script("sorter", "sort \"$1\" > \"$2\"\n");
  std::string text;
  for (int i = 2999; i >= 0; --i)
    text += std::to_string(100000 + i) + "\n";
  std::string sorted;
  for (int i = 0; i < 3000; ++i)
    sorted += std::to_string(100000 + i) + "\n";
  EXPECT_EQ(expectChunkInvariant(program(sorter + " input.txt output.txt"), text), sorted);
  // A result of exactly one block.
  std::string block(4096, 'b');
  EXPECT_EQ(expectChunkInvariant(program("cp input.txt output.txt"), block), block);
  EXPECT_EQ(leftovers(), "");
}

// A helper beside the files of the user who started us, named relatively,
// as "sh helper.sh" is; the data files stay in their private folder.
TEST_F(ExecuteProgram, TheProgramStartsInTheCurrentFolder) {
  testing::writeFile(files_.file("helper.sh"), "pwd > \"$2\"; cat \"$1\" >> \"$2\"\n");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(files_.path());
  std::string out = runOnce(program("sh helper.sh input.txt output.txt"), "data\n");
  std::filesystem::current_path(previous);
  EXPECT_EQ(out, std::filesystem::canonical(files_.path()).string() + "\ndata\n");
  EXPECT_FALSE(testing::fileExists(files_.file("input.txt")));
  EXPECT_EQ(leftovers(), "");
}

TEST_F(ExecuteProgram, NamesOnTheCommandLineBecomeTheFilesPaths) {
  // Absolute names: the files are kept in the run's folder all the same, and
  // the program is told where.
  EXPECT_EQ(expectChunkInvariant(program("dd if=/nonexistent/in.dat of=/nonexistent/out.dat "
                                         "status=none",
                                         "/nonexistent/out.dat", "/nonexistent/in.dat"),
                                 "data\n"),
            "data\n");
  EXPECT_FALSE(std::filesystem::exists("/nonexistent"));
}

TEST_F(ExecuteProgram, FileNamesAreNeverInterpretedByAShell) {
  std::string marker1 = files_.file("injected1");
  std::string marker2 = files_.file("injected2");
  std::string data = "in; touch " + marker1 + " #.txt";
  std::string result = "$(touch " + marker2 + ").txt";
  EXPECT_EQ(runOnce(program("cp '" + data + "' '" + result + "'", result, data), "safe"), "safe");
  EXPECT_FALSE(testing::fileExists(marker1));
  EXPECT_FALSE(testing::fileExists(marker2));
  EXPECT_EQ(leftovers(), "");
}

TEST_F(ExecuteProgram, AMissingResultFileIsAnErrorAndLeavesNothingBehind) {
  EXPECT_EQ(testing::errorOf<EFOpenError>([&] { runOnce(program("true"), "x"); }),
            "Cannot open file output.txt");
  EXPECT_EQ(leftovers(), "");
}

TEST_F(ExecuteProgram, AnAbandonedInputLeavesNothingBehind) {
  TExecuteProgram filter("output.txt", "input.txt", "cp input.txt output.txt");
  filter.reset();
  std::string chunk = "half";
  filter.processChunk(chunk);
  EXPECT_NE(leftovers(), "");
  filter.abandonFile();
  EXPECT_EQ(leftovers(), "");
}

TEST_F(ExecuteProgram, AProgramThatCannotStartEndsTheJob) {
  for (const std::string command : {"/nonexistent/program -x", "", "   "}) {
    testing::RecordingJob job;
    EXPECT_EQ(runOnce(program(command), "x", &job), "");
    EXPECT_EQ(job.errors, std::vector<std::string>{"Couldn't run program " + command});
    EXPECT_TRUE(job.isAborted());
  }
  EXPECT_EQ(leftovers(), "");
}

TEST_F(ExecuteProgram, CancellingTheJobEndsTheProgram) {
  std::string pidFile = files_.file("pid");
  std::string waiter = script("waiter", "echo $$ > '" + pidFile + ".tmp'\nmv '" + pidFile +
                                            ".tmp' '" + pidFile + "'\nsleep 30 & wait\n");
  testing::RecordingJob job;
  std::thread canceller([&] {
    while (!testing::fileExists(pidFile))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    job.terminate();
  });
  std::string out = runOnce(program(waiter), "x", &job);
  canceller.join();
  EXPECT_EQ(out, "");
  pid_t pid = std::stoi(testing::readFile(pidFile));
  // Ended and reaped: no zombie is left either.
  EXPECT_EQ(::kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
  EXPECT_EQ(leftovers(), "");
}

TEST_F(ExecuteProgram, WithoutAJobTheUserInterfaceKeepsHandlingMessages) {
  testing::InstalledUserInterface ui;
  EXPECT_EQ(runOnce(program("cp input.txt output.txt"), "abc"), "abc");
  EXPECT_GT(ui->argumentsOf("processMessages").size(), 0u);
}

TEST_F(ExecuteProgram, JobsSideBySideNeverShareTheirFiles) {
  // The same names in every job: each run has folders of its own.
  std::string slow = script("slow", "sleep 0.05; tr a-z A-Z < \"$1\" > \"$2\"\n");
  std::vector<std::string> results(4);
  std::vector<std::thread> jobs;
  for (std::size_t j = 0; j < results.size(); ++j)
    jobs.emplace_back([&, j] {
      std::vector<std::string> inputs;
      for (int f = 0; f < 3; ++f)
        inputs.push_back("job" + std::to_string(j) + "file" + std::to_string(f));
      for (const std::string &file :
           testing::runFilesInChunks(program(slow + " input.txt output.txt"), inputs, 7))
        results[j] += file + ";";
    });
  for (std::thread &t : jobs)
    t.join();
  for (std::size_t j = 0; j < results.size(); ++j) {
    std::string n = std::to_string(j);
    EXPECT_EQ(results[j], "JOB" + n + "FILE0;JOB" + n + "FILE1;JOB" + n + "FILE2;");
  }
  EXPECT_EQ(leftovers(), "");
}

} // namespace
} // namespace marrowen

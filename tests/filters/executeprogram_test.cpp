#include "filters/executeprogram.h"

#include "classlib/exceptions.h"
#include "engine/fileinput.h"
#include "engine/jobhost.h"
#include "engine/outputs.h"
#include "engine/processingthread.h"
#include "engine/statuswindow.h"
#include "engine/userinterface.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"
#include "support/temp_folder.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/stat.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::FilterFactory;
using testing::TempFolder;

// Runs each test in a folder of its own, as the application's current
// folder, where the filter's files and the program's own files are.
class ExecuteProgram : public ::testing::Test {
protected:
  // An executable script in the test's folder.
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
  testing::WorkingFolder inFiles_{files_.path()};
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
}

// A program that knows the names of its files, the node's defaults, reads
// and writes them in the current folder, where it starts; they stay there.
TEST_F(ExecuteProgram, RelativeNamesAreInTheCurrentFolderAndStayThere) {
  testing::writeFile(files_.file("helper.sh"), "pwd > output.txt; tr a-z A-Z < input.txt >> "
                                               "output.txt\n");
  std::string out = runOnce(program("sh helper.sh"), "data\n");
  EXPECT_EQ(out, std::filesystem::canonical(files_.path()).string() + "\nDATA\n");
  EXPECT_EQ(testing::readFile(files_.file("input.txt")), "data\n");
  EXPECT_TRUE(testing::fileExists(files_.file("output.txt")));
  // Absolute names are used as they are.
  TempFolder elsewhere;
  const std::string in = elsewhere.file("in.dat");
  const std::string result = elsewhere.file("out.dat");
  EXPECT_EQ(runOnce(program("cp " + in + " " + result, result, in), "abc"), "abc");
  EXPECT_EQ(elsewhere.listing(), "in.dat out.dat");
}

TEST_F(ExecuteProgram, FileNamesAreNeverInterpretedByAShell) {
  std::string data = "in; touch injected1 #.txt";
  std::string result = "$(touch injected2).txt";
  EXPECT_EQ(runOnce(program("cp '" + data + "' '" + result + "'", result, data), "safe"), "safe");
  EXPECT_FALSE(testing::fileExists(files_.file("injected1")));
  EXPECT_FALSE(testing::fileExists(files_.file("injected2")));
}

TEST_F(ExecuteProgram, AMissingResultFileIsAnError) {
  EXPECT_EQ(testing::errorOf<EFOpenError>([&] { runOnce(program("true"), "x"); }),
            "Cannot open file output.txt");
}

// What is passed on is this run's result: not one left by an earlier input
// or job, nor the half of one a killed program wrote. A program that writes
// its result into its data file keeps it.
TEST_F(ExecuteProgram, OnlyAResultThisRunWroteWholeIsPassedOn) {
  testing::writeFile(files_.file("output.txt"), "an earlier result");
  EXPECT_EQ(testing::errorOf<EFOpenError>([&] { runOnce(program("true"), "x"); }),
            "Cannot open file output.txt");
  std::string killed = script("killed", "printf HALF > output.txt\nkill -9 $$\n");
  EXPECT_EQ(testing::errorOf<EStreamError>([&] { runOnce(program(killed), "whole"); }),
            "The program " + killed + " was ended by signal 9: its result is not used");
  EXPECT_EQ(runOnce(program("sed -i s/a/b/ input.txt", "input.txt"), "abc"), "bbc");
  // One that fails half-way (a full disk) is not refused, as a program may
  // end 1 for "nothing found"; but the log names it with its status.
  testing::RecordingJob job;
  std::string failing = script("failing", "printf PART > output.txt\nexit 3\n");
  EXPECT_EQ(runOnce(program(failing), "whole", &job), "PART");
  EXPECT_EQ(job.logLines,
            std::vector<std::string>{"The program " + failing + " ended with status 3"});
  EXPECT_TRUE(job.errors.empty());
  // Nor is the file being read, when the result is named after it.
  testing::writeFile(files_.file("output.txt"), "the input");
  testing::ChunkRunOptions options;
  options.inputName = files_.file("output.txt");
  EXPECT_EQ(testing::runInChunks(program("true"), "the input", 0, options), "the input");
  EXPECT_EQ(testing::readFile(files_.file("output.txt")), "the input");
}

// Each input starts the data file afresh: an input abandoned half-way
// leaves nothing in it for the next one.
TEST_F(ExecuteProgram, EachInputStartsAnEmptyDataFile) {
  TExecuteProgram filter("output.txt", "input.txt", "cp input.txt output.txt");
  std::string out;
  filter.setNext(std::make_unique<testing::StringSink>(out));
  filter.reset();
  std::string chunk = "half";
  filter.processChunk(chunk);
  filter.abandonFile();
  filter.reset();
  chunk = "whole";
  filter.processChunk(chunk);
  filter.flush();
  EXPECT_EQ(out, "whole");
}

TEST_F(ExecuteProgram, AProgramThatCannotStartEndsTheJob) {
  for (const std::string command : {"/nonexistent/program -x", "", "   "}) {
    testing::RecordingJob job;
    EXPECT_EQ(runOnce(program(command), "x", &job), "");
    EXPECT_EQ(job.errors, std::vector<std::string>{"Couldn't run program " + command});
    EXPECT_TRUE(job.isAborted());
  }
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
}

TEST_F(ExecuteProgram, WithoutAJobTheUserInterfaceKeepsHandlingMessages) {
  testing::InstalledUserInterface ui;
  EXPECT_EQ(runOnce(program("cp input.txt output.txt"), "abc"), "abc");
  EXPECT_GT(ui->argumentsOf("processMessages").size(), 0u);
}

// A job over "*.txt" in the current folder, where the data or the result
// file is one of the inputs: writing it for any input would lose that
// input's text, so every input is refused before anything is written, with
// both names. Other names run as usual.
TEST_F(ExecuteProgram, ADataOrResultFileThatIsAnInputOfTheJobIsRefused) {
  const std::string upper = script("upper", "tr a-z A-Z < \"$1\" > \"$2\"\n");
  const std::string folder = std::filesystem::canonical(files_.path()).string() + "/";
  struct Case {
    std::string result, data, refusal, refused;
  };
  const Case cases[] = {
      {"output.dat", "input.txt", "Not writing the data of [%] for the program into [",
       "input.txt"},
      {"other.txt", "data.dat", "Not letting the program write its result for [%] over [",
       "other.txt"},
      {"input.txt", "input.txt", "Not writing the data of [%] for the program into [", "input.txt"},
      {"output.dat", "data.dat", "", ""}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.result + " " + c.data);
    testing::writeFile(files_.file("input.txt"), "precious text");
    testing::writeFile(files_.file("other.txt"), "other");
    TFileInput chain({{files_.file("*.txt"), "None", "Add"}}, false, false, 0, 4096, false);
    chain.setNext(program(upper + " " + c.data + " " + c.result, c.result, c.data)());
    chain.lastFilter()->setNext(std::make_unique<TFileOutput>());
    HeadlessJobHost host;
    ProcessingThread::Create(host, chain, {})->waitFor();
    std::vector<std::string> errors =
        dynamic_cast<HeadlessStatusWindow &>(*host.openWindows().front()).errors();
    std::sort(errors.begin(), errors.end());
    std::vector<std::string> expected;
    for (const char *input : {"input.txt", "other.txt"})
      if (!c.refusal.empty()) {
        std::string line = c.refusal;
        line.replace(line.find('%'), 1, files_.file(input));
        expected.push_back(line + folder + c.refused + "]: that file is an input of this job");
      }
    EXPECT_EQ(errors, expected);
    const bool ran = c.refusal.empty();
    EXPECT_EQ(testing::readFile(files_.file("input.txt")), ran ? "PRECIOUS TEXT" : "precious text");
    EXPECT_EQ(testing::readFile(files_.file("other.txt")), ran ? "OTHER" : "other");
  }
}

// Jobs side by side, each with files of its own names, never mix their
// data.
// Jobs 0 and 1 have files of their own; 2, 3 and 4 run one list, whose files
// they share, as two programs running one list would.
TEST_F(ExecuteProgram, JobsSideBySideNeverPassOnEachOthersResults) {
  std::string slow = script("slow", "sleep 0.05; tr a-z A-Z < \"$1\" > \"$2\"\n");
  std::vector<std::string> results(5);
  std::vector<std::thread> jobs;
  for (std::size_t j = 0; j < results.size(); ++j)
    jobs.emplace_back([&, j] {
      const std::string files = std::to_string(std::min<std::size_t>(j, 2));
      const std::string in = "in" + files + ".txt";
      const std::string result = "out" + files + ".txt";
      std::vector<std::string> inputs;
      for (int f = 0; f < 3; ++f)
        inputs.push_back("job" + std::to_string(j) + "file" + std::to_string(f));
      try {
        for (const std::string &file : testing::runFilesInChunks(
                 program(slow + " " + in + " " + result, result, in), inputs, 7))
          results[j] += file + ";";
      } catch (const std::exception &error) {
        results[j] += error.what(); // another job took the result away
      }
    });
  for (std::thread &t : jobs)
    t.join();
  for (std::size_t j = 0; j < results.size(); ++j) {
    std::string n = std::to_string(j);
    EXPECT_EQ(results[j], "JOB" + n + "FILE0;JOB" + n + "FILE1;JOB" + n + "FILE2;");
  }
}

} // namespace
} // namespace marrowen

#include "engine/processingthread.h"

#include "classlib/exceptions.h"
#include "engine/fileinput.h"
#include "engine/mergesplit.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "support/filter_fixtures.h"
#include "support/recording_status_window.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <future>
#include <pwd.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace marrowen {
namespace {

using testing::AsciiUpper;
using testing::readFile;
using testing::RecordingJobHost;
using testing::RecordingStatusWindow;
using testing::TempFolder;
using testing::writeFile;

const std::string cleanSummary = "0 binary files skipped, 0 non-binary files skipped";

// Runs `action` at the `n`-th chunk (from 1).
class AtChunk : public TFilter {
public:
  AtChunk(int n, std::function<void(TFilter &)> action) : n_(n), action_(std::move(action)) {}
  bool processChunk(std::string &chunk) override {
    if (++seen_ == n_)
      action_(*this);
    return sendToNext(chunk);
  }

private:
  int n_;
  int seen_ = 0;
  std::function<void(TFilter &)> action_;
};

std::unique_ptr<TFileInput> fileChain(const std::string &pathMask, std::unique_ptr<TFilter> filter,
                                      std::unique_ptr<TFilter> output) {
  auto input = std::make_unique<TFileInput>(std::vector<FileGridRow>{{pathMask, "None", "Add"}},
                                            true, false, 0, 4096, false);
  if (filter)
    input->setNext(std::move(filter));
  input->lastFilter()->setNext(std::move(output));
  return input;
}

std::unique_ptr<TFileOutput> inPlace() { return std::make_unique<TFileOutput>(); }

std::unique_ptr<TFileOutput> toFolder(const std::string &folder, bool testMode = false) {
  return std::make_unique<TFileOutput>(
      TFileOutput::Options{.testMode = testMode, .useOutputFolder = true, .outputFolder = folder});
}

JobOptions named(const std::string &name) {
  JobOptions options;
  options.filterName = name;
  return options;
}

std::shared_ptr<RecordingStatusWindow> windowOf(RecordingJobHost &host, std::size_t i = 0) {
  return i < host.windows.size() ? host.windows[i].lock() : nullptr;
}

bool startsWith(const std::string &text, const std::string &prefix) {
  return text.rfind(prefix, 0) == 0;
}

TEST(ProcessingThread, TwoFilesFinishWithTheSummary) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "alpha");
  writeFile(dir.file("b.txt"), "beta");
  RecordingJobHost host;
  auto chain = fileChain(dir.file("*.txt"), std::make_unique<AsciiUpper>(), inPlace());
  auto job = ProcessingThread::Create(host, *chain, named("Caps"));
  EXPECT_EQ(host.runningJobs(), 1);
  job->waitFor();
  EXPECT_EQ(host.runningJobs(), 0);

  EXPECT_EQ(readFile(dir.file("a.txt")), "ALPHA");
  EXPECT_EQ(readFile(dir.file("b.txt")), "BETA");
  auto window = windowOf(host);
  ASSERT_TRUE(window);
  ASSERT_GE(window->lines.size(), 3u);
  EXPECT_EQ(window->lines[0], "Filter name [Caps]");
  passwd *user = ::getpwuid(::getuid());
  ASSERT_TRUE(user);
  EXPECT_EQ(window->lines[1], std::string("Job started by [") + user->pw_name + "]");
  EXPECT_EQ(window->lines.back(), "Job finished. 2 of 2 files processed, " + cleanSummary);
  EXPECT_EQ(window->calls.front(), "setCaption:Caps");
  // Attached when the job is made, before its thread reports anything.
  auto setJob = std::find(window->calls.begin(), window->calls.end(), "setJob");
  auto firstLine =
      std::find(window->calls.begin(), window->calls.end(), "addStatusLine:Filter name [Caps]");
  EXPECT_LT(setJob, firstLine);
  EXPECT_EQ(window->last("setFileProgress"), "100");
  EXPECT_EQ(window->last("setTaskProgress"), "100");
  EXPECT_EQ(window->last("setStatusFileName"), "(Finished)");
  EXPECT_EQ(window->last("setStatusText"), window->lines.back()) << "not 'Processing files...'";
  EXPECT_EQ(window->last("setProcessedFiles"), "2");
  EXPECT_TRUE(window->ended);
  EXPECT_EQ(window->calls.back(), "jobEnded");
  EXPECT_TRUE(host.shownExceptions().empty());
}

// A chunk goes one call deeper at each filter: a chain of very many filters
// (a command file of as many lines) runs on a thread with room for them all.
TEST(ProcessingThread, AChainOfVeryManyFiltersRuns) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "alpha");
  auto head = std::make_unique<AsciiUpper>();
  TFilter *tail = head.get();
  for (int i = 1; i < 300'000; ++i) {
    tail->setNext(std::make_unique<AsciiUpper>());
    tail = tail->next();
  }
  RecordingJobHost host;
  auto chain = fileChain(dir.file("a.txt"), std::move(head), inPlace());
  ProcessingThread::Create(host, *chain, named("Many"))->waitFor();
  EXPECT_EQ(readFile(dir.file("a.txt")), "ALPHA");
  EXPECT_TRUE(host.shownExceptions().empty());
}

TEST(ProcessingThread, AbortInALargeFileLeavesTheTargetAsItWas) {
  TempFolder dir;
  std::string original(1 << 20, 'x');
  writeFile(dir.file("big.txt"), original);
  RecordingJobHost host;
  auto chain = fileChain(
      dir.file("big.txt"),
      std::make_unique<AtChunk>(3, [](TFilter &filter) { filter.job()->terminate(); }), inPlace());
  auto job = ProcessingThread::Create(host, *chain, named("Stop"));
  job->waitFor();

  EXPECT_EQ(readFile(dir.file("big.txt")), original);
  EXPECT_EQ(dir.listing(), "big.txt");
  auto window = windowOf(host);
  ASSERT_TRUE(window);
  EXPECT_EQ(window->last("setStatusText"), "Interrupted.");
  // The file left as it was is not counted as processed, nor as tried and
  // failed: the window's count stays at "File 0 of 1".
  EXPECT_EQ(window->lines.back(), "Job aborted by user. 0 of 1 files processed, " + cleanSummary);
  EXPECT_EQ(window->last("setProcessedFiles"), "0");
  // The bars stay where the work reached.
  EXPECT_NE(window->last("setFileProgress"), "100");
  EXPECT_EQ(window->last("setTaskProgress"), "0");
  EXPECT_EQ(window->last("setStatusFileName"), "(Finished)");
  // Nor when the stop reaches the input as a failed read.
  auto stopThenFail = [](TFilter &filter) {
    filter.job()->terminate();
    throw EStreamError("Read error");
  };
  RecordingJobHost readHost;
  auto broken =
      fileChain(dir.file("big.txt"), std::make_unique<AtChunk>(3, stopThenFail), inPlace());
  ProcessingThread::Create(readHost, *broken, named("Stop"))->waitFor();
  EXPECT_EQ(readFile(dir.file("big.txt")), original);
  EXPECT_EQ(windowOf(readHost)->last("setProcessedFiles"), "0");
}

// What a program ended by a signal calls: every job stops, its temporary
// file removed and its target untouched, before the call returns.
TEST(ProcessingThread, AbortingAllJobsWaitsForTheirEnds) {
  TempFolder dir;
  std::string original(1 << 20, 'x');
  writeFile(dir.file("a.txt"), original);
  writeFile(dir.file("b.txt"), original);
  std::atomic<int> started{0};
  auto stall = [&started](TFilter &filter) {
    ++started;
    while (!filter.isAborted())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  RecordingJobHost host;
  auto first = fileChain(dir.file("a.txt"), std::make_unique<AtChunk>(2, stall), inPlace());
  auto second = fileChain(dir.file("b.txt"), std::make_unique<AtChunk>(2, stall), inPlace());
  auto job1 = ProcessingThread::Create(host, *first, named("One"));
  auto job2 = ProcessingThread::Create(host, *second, named("Two"));
  while (started < 2)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ProcessingThread::abortAllAndWait();
  EXPECT_EQ(dir.listing(), "a.txt b.txt");
  EXPECT_EQ(readFile(dir.file("a.txt")), original);
  EXPECT_EQ(readFile(dir.file("b.txt")), original);
  job1->waitFor();
  job2->waitFor();
  EXPECT_TRUE(job1->isAborted() && job2->isAborted());
}

TEST(ProcessingThread, AFailingFilterIsShownOnceWithoutSummaryAndTheJobStillEnds) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  bool cleanedUp = false;
  RecordingJobHost host;
  auto fail = [&](TFilter &) {
    JobThreadContext::current()->addCleanup([&] { cleanedUp = true; });
    throw Exception("Boom");
  };
  auto chain = fileChain(dir.file("a.txt"), std::make_unique<AtChunk>(1, fail), inPlace());
  auto job = ProcessingThread::Create(host, *chain, named("Fail"));
  job->waitFor();

  EXPECT_EQ(host.shownExceptions(), std::vector<std::string>({"Boom"}));
  EXPECT_TRUE(cleanedUp);
  EXPECT_EQ(JobThreadContext::current(), nullptr);
  EXPECT_EQ(readFile(dir.file("a.txt")), "a");
  EXPECT_EQ(dir.listing(), "a.txt") << "the temporary file is gone";
  auto window = windowOf(host);
  ASSERT_TRUE(window);
  for (const auto &line : window->lines) {
    EXPECT_FALSE(startsWith(line, "Job finished."));
    EXPECT_FALSE(startsWith(line, "Job aborted by user."));
  }
  EXPECT_TRUE(window->ended);
  EXPECT_EQ(host.runningJobs(), 0);
}

// What a long match does when the job is stopped in its middle: no box,
// but the end of a stopped job, its summary, and its bars where they were.
TEST(ProcessingThread, TheQuietAbortShowsNothingAndEndsAsAStop) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  RecordingJobHost host;
  auto chain =
      fileChain(dir.file("a.txt"), std::make_unique<AtChunk>(1, [](TFilter &) { throw EAbort(); }),
                inPlace());
  ProcessingThread::Create(host, *chain, named("Quiet"))->waitFor();
  EXPECT_TRUE(host.shownExceptions().empty());
  auto window = windowOf(host);
  EXPECT_TRUE(window->ended);
  EXPECT_EQ(window->last("setStatusText"), "Interrupted.");
  EXPECT_EQ(window->lines.back(), "Job aborted by user. 0 of 1 files processed, " + cleanSummary);
  EXPECT_EQ(window->last("setFileProgress"), "0");
  EXPECT_EQ(window->last("setStatusFileName"), "(Finished)");
  EXPECT_EQ(readFile(dir.file("a.txt")), "a");
  EXPECT_EQ(dir.listing(), "a.txt");
}

// The summary counts files written, and says why a job stopped; a Cancel
// that comes once the job has said it finished changes nothing.
TEST(ProcessingThread, TheLastLineSaysWhatWasWrittenAndWhatStoppedTheJob) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), std::string(3 * 4096, 'a'));
  auto stop = [](TFilter &filter) { filter.job()->terminate(); };
  {
    // A merged file that was never written holds no input.
    RecordingJobHost host;
    auto merge = std::make_unique<TMergeFiles>(dir.file("all.txt"));
    merge->setNext(inPlace());
    auto chain = fileChain(dir.file("a.txt"), std::make_unique<AtChunk>(2, stop), std::move(merge));
    ProcessingThread::Create(host, *chain, named("Merge"))->waitFor();
    EXPECT_EQ(windowOf(host)->lines.back(),
              "Job aborted by user. 0 of 1 files processed, " + cleanSummary);
    EXPECT_EQ(dir.listing(), "a.txt");
  }
  {
    struct CancelAfterTheEnd : RecordingJobHost {
      std::shared_ptr<JobStatusWindow> newStatusWindow() override {
        struct Window : RecordingStatusWindow {
          void addStatusLine(const std::string &text) override {
            RecordingStatusWindow::addStatusLine(text);
            if (startsWith(text, "Job finished.") && job())
              job()->terminate();
          }
        };
        auto window = std::make_shared<Window>();
        windows.push_back(window);
        return window;
      }
    } host;
    JobOptions options = named("Late");
    bool failed = true;
    options.onEnded = [&](bool reported) { failed = reported; };
    auto chain = fileChain(dir.file("a.txt"), nullptr, inPlace());
    ProcessingThread::Create(host, *chain, options)->waitFor();
    EXPECT_EQ(windowOf(host)->lines.back(),
              "Job finished. 1 of 1 files processed, " + cleanSummary);
    EXPECT_EQ(windowOf(host)->endedAs, JobEnd::Finished);
    EXPECT_FALSE(failed);
  }
  {
    // A program being ended by a signal says so, as an error that a run
    // without a screen shows on standard error.
    RecordingJobHost host;
    auto chain = fileChain(dir.file("a.txt"), std::make_unique<AtChunk>(2, stop), inPlace());
    setQuitSignal(SIGTERM);
    ProcessingThread::Create(host, *chain, named("Signal"))->waitFor();
    setQuitSignal(0);
    auto window = windowOf(host);
    EXPECT_EQ(window->errors,
              std::vector<std::string>{"Job stopped by signal SIGTERM. 0 of 1 files processed, " +
                                       cleanSummary});
    EXPECT_FALSE(startsWith(window->lines.back(), "Job aborted by user."));
    EXPECT_EQ(readFile(dir.file("a.txt")), std::string(3 * 4096, 'a'));
  }
}

class QueryReplaceStops : public ::testing::TestWithParam<Answer> {};

TEST_P(QueryReplaceStops, TheJob) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), std::string(5 * 4096, 'a'));
  RecordingJobHost host;
  host.replaceAnswers = {Answer::Replace, GetParam()};
  // Asks one question per chunk.
  struct Ask : TFilter {
    bool processChunk(std::string &chunk) override {
      QueryReplaceRequest request;
      request.found = "a";
      job()->queryReplace(request);
      return sendToNext(chunk);
    }
  };
  auto chain = fileChain(dir.file("a.txt"), std::make_unique<Ask>(), inPlace());
  ProcessingThread::Create(host, *chain, named("Ask"))->waitFor();
  EXPECT_EQ(host.replaceQuestions, 2);
  EXPECT_EQ(host.dialogsMade, 1);
  EXPECT_EQ(windowOf(host)->last("setStatusText"), "Interrupted.");
  EXPECT_EQ(readFile(dir.file("a.txt")), std::string(5 * 4096, 'a'));
}

INSTANTIATE_TEST_SUITE_P(CancelAndStop, QueryReplaceStops,
                         ::testing::Values(Answer::Cancel, Answer::Stop));

TEST(ProcessingThread, AClosedWindowIsNeverTouchedAgainAndLinesStillReachTheLog) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), std::string(4 * 4096, 'a'));
  RecordingJobHost host;
  JobOptions options = named("Closed");
  options.loggingOn = true;
  options.logFileName = dir.file("job.log");
  // The user closes the window in the middle of the file.
  auto closeWindow = [&](TFilter &) { host.closeWindow(host.openWindows().front()); };
  auto chain = fileChain(dir.file("a.txt"), std::make_unique<AtChunk>(2, closeWindow), inPlace());
  auto job = ProcessingThread::Create(host, *chain, options);
  job->waitFor();
  EXPECT_FALSE(windowOf(host));
  std::string log = readFile(dir.file("job.log"));
  EXPECT_NE(log.find("Output file [" + dir.file("a.txt") + "]  Size: 16,384 bytes"),
            std::string::npos);
  EXPECT_NE(log.find("Job finished. 1 of 1 files processed, " + cleanSummary), std::string::npos);
  EXPECT_EQ(host.runningJobs(), 0);
}

TEST(ProcessingThread, ElapsedTimeShowsTotalHoursAndTenths) {
  using std::chrono::milliseconds;
  const std::pair<long, const char *> cases[] = {
      {0, "0:00:00.0 seconds"},
      {59'999, "0:00:59.9 seconds"},
      {3'723'456, "1:02:03.4 seconds"},
      {25 * 3'600'000L, "25:00:00.0 seconds"},
  };
  for (const auto &[ms, text] : cases)
    EXPECT_EQ(ProcessingThread::elapsedTimeText(milliseconds(ms)), text);
}

TEST(ProcessingThread, ProgressReachesTheWindowOnlyWhenItChanges) {
  TempFolder dir;
  const int chunks = 300;
  writeFile(dir.file("a.txt"), std::string(chunks * 4096, 'a'));
  RecordingJobHost host;
  auto chain = fileChain(dir.file("a.txt"), nullptr, inPlace());
  ProcessingThread::Create(host, *chain, named("Progress"))->waitFor();
  auto window = windowOf(host);
  auto progress = window->argumentsOf("setFileProgress");
  EXPECT_LE(progress.size(), 102u);
  EXPECT_EQ(std::adjacent_find(progress.begin(), progress.end()), progress.end());
  EXPECT_EQ(progress.back(), "100");
  auto elapsed = window->argumentsOf("setElapsedText");
  EXPECT_GE(elapsed.size(), 1u);
  EXPECT_LT(elapsed.size(), static_cast<std::size_t>(chunks / 2));
}

TEST(ProcessingThread, JobsSideBySideGiveTheSameOutputsAsOneAfterAnother) {
  TempFolder dir;
  const int jobs = 4;
  std::vector<std::string> expected;
  for (int i = 0; i < jobs; ++i) {
    std::string text;
    for (int j = 0; j < 50'000; ++j)
      text += static_cast<char>('a' + (i + j) % 26);
    writeFile(dir.file("in" + std::to_string(i) + ".txt"), text);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(c - ('a' - 'A')); });
    expected.push_back(text);
  }
  auto runAll = [&](bool sideBySide, const std::string &out) {
    RecordingJobHost host;
    std::vector<std::unique_ptr<TFileInput>> chains;
    std::vector<std::unique_ptr<ProcessingThread>> running;
    for (int i = 0; i < jobs; ++i) {
      chains.push_back(fileChain(dir.file("in" + std::to_string(i) + ".txt"),
                                 std::make_unique<AsciiUpper>(), toFolder(dir.file(out))));
      running.push_back(ProcessingThread::Create(host, *chains.back(), named("Job")));
      if (!sideBySide)
        running.back()->waitFor();
    }
    for (auto &job : running)
      job->waitFor();
    EXPECT_EQ(host.runningJobs(), 0);
    for (int i = 0; i < jobs; ++i)
      EXPECT_EQ(readFile(dir.file(out + "/in" + std::to_string(i) + ".txt")), expected[i]);
  };
  runAll(false, "one-by-one");
  runAll(true, "side-by-side");
}

// The end of a job belongs to the user-interface thread (headless: the one
// that waits); the per-thread resources belong to the job thread and are
// released there, on a run that ends well too.
TEST(ProcessingThread, CleanUpRunsOnTheJobThreadAndTheEndOnTheWaitingOne) {
  struct Host : RecordingJobHost {
    std::thread::id reducedOn;
    void reduceThreadCount() override {
      reducedOn = std::this_thread::get_id();
      RecordingJobHost::reduceThreadCount();
    }
  } host;
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  std::thread::id filterOn, cleanedOn;
  auto addCleanup = [&](TFilter &) {
    filterOn = std::this_thread::get_id();
    JobThreadContext::current()->addCleanup([&] { cleanedOn = std::this_thread::get_id(); });
  };
  auto chain = fileChain(dir.file("a.txt"), std::make_unique<AtChunk>(1, addCleanup), inPlace());
  ProcessingThread::Create(host, *chain, named("Threads"))->waitFor();
  EXPECT_NE(filterOn, std::this_thread::get_id());
  EXPECT_EQ(cleanedOn, filterOn);
  EXPECT_EQ(host.reducedOn, std::this_thread::get_id());
  EXPECT_EQ(windowOf(host)->lines.back(), "Job finished. 1 of 1 files processed, " + cleanSummary);
}

// Cancel pressed on another thread while the job is in the middle of a
// file, as the status window does it: the flag is the one value that
// crosses. A new job then closes the cancelled job's window, though that
// job is still finishing, but not the window of a job that runs.
TEST(ProcessingThread, CancelFromTheWindowWhileAnotherJobStarts) {
  TempFolder dir;
  std::filesystem::create_directory(dir.file("a"));
  const std::string original(1 << 20, 'x');
  writeFile(dir.file("a/big.txt"), original);
  writeFile(dir.file("b.txt"), "b");
  RecordingJobHost host;
  std::promise<void> reached, cancelled;
  auto wait = [&, released = cancelled.get_future().share()](TFilter &) {
    reached.set_value();
    released.wait();
  };
  JobOptions options = named("Cancelled");
  options.loggingOn = true;
  options.logFileName = dir.file("a.log");
  auto chainA = fileChain(dir.file("a/big.txt"), std::make_unique<AtChunk>(3, wait), inPlace());
  auto jobA = ProcessingThread::Create(host, *chainA, options);
  reached.get_future().wait();

  auto chainB =
      fileChain(dir.file("b.txt"), std::make_unique<AsciiUpper>(), toFolder(dir.file("out")));
  ProcessingThread::Create(host, *chainB, named("B"))->waitFor();
  EXPECT_TRUE(windowOf(host, 0)) << "its job still runs";

  host.runOnUserInterfaceAndWait([&] {
    auto window = windowOf(host, 0);
    window->job()->terminate();
    window->setJob(nullptr);
  });
  auto chainC = fileChain(dir.file("b.txt"), nullptr, toFolder(dir.file("out2")));
  auto jobC = ProcessingThread::Create(host, *chainC, named("C"));
  EXPECT_FALSE(windowOf(host, 0)) << "cancelled: closed by the new job";
  EXPECT_FALSE(windowOf(host, 1)) << "ended: closed by the new job";
  cancelled.set_value();
  jobA->waitFor();
  jobC->waitFor();

  EXPECT_EQ(readFile(dir.file("a/big.txt")), original);
  std::vector<std::string> left;
  for (const auto &entry : std::filesystem::directory_iterator(dir.file("a")))
    left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>({"big.txt"})) << "no temporary file is left";
  std::string log = readFile(dir.file("a.log"));
  EXPECT_NE(log.find("Job aborted by user. 0 of 1 files processed, " + cleanSummary),
            std::string::npos);
  EXPECT_EQ(readFile(dir.file("out/b.txt")), "B");
  EXPECT_EQ(readFile(dir.file("out2/b.txt")), "b");
  EXPECT_EQ(host.runningJobs(), 0);
}

// Jobs side by side that name one log file share it: each line arrives
// whole, and every job's lines are there.
TEST(ProcessingThread, JobsSideBySideShareOneLogFile) {
  TempFolder dir;
  const int jobs = 3;
  HeadlessJobHost host;
  std::vector<std::unique_ptr<TFileInput>> chains;
  std::vector<std::unique_ptr<ProcessingThread>> running;
  for (int i = 0; i < jobs; ++i) {
    std::string name = "in" + std::to_string(i) + ".txt";
    writeFile(dir.file(name), std::string(20 * 4096, 'a'));
    JobOptions options = named("Shared " + std::to_string(i));
    options.loggingOn = true;
    options.logFileName = dir.file("shared.log");
    options.appendToLog = true;
    chains.push_back(
        fileChain(dir.file(name), std::make_unique<AsciiUpper>(), toFolder(dir.file("out"))));
    running.push_back(ProcessingThread::Create(host, *chains.back(), options));
  }
  for (auto &job : running)
    job->waitFor();
  std::string log = readFile(dir.file("shared.log"));
  auto count = [&](const std::string &text) {
    std::size_t n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("Job finished. 1 of 1 files processed, " + cleanSummary), 3u);
  for (int i = 0; i < jobs; ++i)
    EXPECT_EQ(count(",Info,Filter name [Shared " + std::to_string(i) + "]\r\n"), 1u) << i;
  EXPECT_EQ(count(",Info,Output file ["), 3u);
  EXPECT_EQ(host.runningJobs(), 0);
}

// A file or list named with a line end in it cannot forge a line of the log
// that reads as an entry of its own.
TEST(ProcessingThread, LineEndsInNamesCannotForgeLogLines) {
  TempFolder dir;
  const std::string forged = "2001-01-01,00:00:00,Error,forged";
  writeFile(dir.file("a\r\n" + forged + ".txt"), "a");
  HeadlessJobHost host;
  JobOptions options = named("list\n" + forged);
  options.loggingOn = true;
  options.logFileName = dir.file("job.log");
  auto chain = fileChain(dir.file("a*.txt"), nullptr, toFolder(dir.file("out")));
  ProcessingThread::Create(host, *chain, options)->waitFor();
  const std::string log = readFile(dir.file("job.log"));
  EXPECT_EQ(log.find("\n" + forged), std::string::npos) << log;
  EXPECT_NE(log.find(",Info,Filter name [list\\n" + forged + "]\r\n"), std::string::npos);
  EXPECT_NE(log.find(",Info,Input file [" + dir.file("a\\r\\n" + forged + ".txt") + "]"),
            std::string::npos)
      << log;
}

// Log lines are text of the code page, and a file named beyond ASCII reads
// there as the file system spells it; a list's name is such text already.
// The log writes a name as its bytes spell it, letters the code page lacks
// too, and a byte that no UTF-8 holds as that byte, never as a letter that
// names another file.
TEST(ProcessingThread, NamesBeyondAsciiAreLoggedAsSpelt) {
  TempFolder dir;
  writeFile(dir.file("\xC3\x9Cn\xC3\xAF \xE6\x97\xA5\xE9.txt"), "a");
  HeadlessJobHost host;
  JobOptions options = named("\xDCn\xEF list");
  options.loggingOn = true;
  options.logFileName = dir.file("job.log");
  auto chain = fileChain(dir.file("*.txt"), nullptr, toFolder(dir.file("\xC3\xB6ut")));
  ProcessingThread::Create(host, *chain, options)->waitFor();
  const std::string log = readFile(dir.file("job.log"));
  const std::string name = "\xC3\x9Cn\xC3\xAF \xE6\x97\xA5\xE9.txt";
  EXPECT_NE(log.find(",Info,Filter name [\xDCn\xEF list]\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(",Info,Input file [" + dir.file(name) + "]"), std::string::npos) << log;
  EXPECT_NE(log.find(",Info,Output file [" + dir.file("\xC3\xB6ut/" + name) + "]"),
            std::string::npos)
      << log;
}

TEST(ProcessingThread, FinishedWindowsCloseWhenANewJobStarts) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  RecordingJobHost host;
  auto quiet = fileChain(dir.file("a.txt"), nullptr, toFolder(dir.file("out")));
  JobOptions closing = named("Trial");
  closing.closeStatusWhenDone = true;
  ProcessingThread::Create(host, *quiet, closing)->waitFor();
  EXPECT_TRUE(host.openWindows().empty()) << "released: no errors";

  auto failing = fileChain(dir.file("missing/*.txt"), nullptr, toFolder(dir.file("out")));
  ProcessingThread::Create(host, *failing, closing)->waitFor();
  ASSERT_EQ(host.openWindows().size(), 1u) << "kept: it shows an error";
  EXPECT_EQ(windowOf(host, 1)->errors,
            std::vector<std::string>({"Path not found: " + dir.file("missing/*.txt")}));

  auto again = fileChain(dir.file("a.txt"), nullptr, toFolder(dir.file("out"), true));
  auto job = ProcessingThread::Create(host, *again, named("Test mode"));
  EXPECT_EQ(host.openWindows().size(), 1u) << "the finished window was closed";
  job->waitFor();
  auto window = windowOf(host, 2);
  ASSERT_TRUE(window);
  EXPECT_EQ(window->argumentsOf("setTestMode"), std::vector<std::string>({"on"}));
  EXPECT_EQ(window->argumentsOf("addOutputFile"),
            std::vector<std::string>({dir.file("out/a.txt.dCv")}));
}

TEST(ProcessingThread, TheFileInputAsksThroughTheHost) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  RecordingJobHost host;
  host.questionAnswers = {Answer::No};
  JobOptions options = named("Ask");
  options.deferLogging = true;
  auto chain = fileChain(dir.file("a.txt"), nullptr, inPlace());
  ProcessingThread::Create(host, *chain, options)->waitFor();
  EXPECT_EQ(host.questions,
            std::vector<std::string>({dir.file("a.txt") + "\r\n\r\nProcess this file?"}));
  EXPECT_EQ(windowOf(host)->lines.back(),
            "Job finished. 1 of 1 files processed, 0 binary files skipped, 1 non-binary files "
            "skipped");
}

TEST(ProcessingThread, RunsOnALargeStackAndPlaysTheUnquotedSound) {
  TempFolder dir;
  writeFile(dir.file("a.txt"), "a");
  std::size_t stackSize = 0;
  RecordingJobHost host;
  auto measureStack = [&](TFilter &) {
    pthread_attr_t attributes;
    pthread_getattr_np(pthread_self(), &attributes);
    pthread_attr_getstacksize(&attributes, &stackSize);
    pthread_attr_destroy(&attributes);
  };
  auto chain = fileChain(dir.file("a.txt"), std::make_unique<AtChunk>(1, measureStack), inPlace());
  JobOptions options = named("Sound");
  options.playSound = true;
  options.soundFile = "\"/sounds/done.wav\"";
  ProcessingThread::Create(host, *chain, options)->waitFor();
  EXPECT_GE(stackSize, 64u * 1024 * 1024);
  EXPECT_EQ(host.sounds, std::vector<std::string>({"/sounds/done.wav"}));
}

} // namespace
} // namespace marrowen

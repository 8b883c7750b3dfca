#include "app/jobs/windowjobhost.h"

#include "app/jobs/statusform.h"
#include "app/main/mainform.h"
#include "app_testing.h"
#include "engine/inputs.h"
#include "engine/job.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "grid/widget/dgbasegrid.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::readFile;

// Sends `lines` status lines, then holds the job until released or stopped.
class Gate : public TFilter {
public:
  Gate(int lines, std::atomic<bool> &release) : lines_(lines), release_(release) {}
  bool processChunk(std::string &chunk) override {
    for (int i = 1; i <= lines_; ++i)
      logInfo("line " + std::to_string(i));
    while (!release_ && !isAborted())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return sendToNext(chunk);
  }

private:
  int lines_;
  std::atomic<bool> &release_;
};

// Stops as a pattern match does when its job or the program is ending.
class MatchProbe : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    if (currentJobAborted())
      throw EAbort();
    return sendToNext(chunk);
  }
};

std::unique_ptr<TGenericInput> gatedChain(int lines, std::atomic<bool> &release) {
  auto input = std::make_unique<TStringInput>("trial");
  input->setText("text");
  input->setNext(std::make_unique<Gate>(lines, release));
  input->lastFilter()->setNext(std::make_unique<TAdhocOutput>());
  return input;
}

JobOptions logged(const std::string &logFile, int lineLimit = 500) {
  JobOptions options;
  options.filterName = "Gated";
  options.loggingOn = true;
  options.logFileName = logFile;
  options.lineLimit = lineLimit;
  return options;
}

bool waitUntil(const std::function<bool()> &done, int ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

using WindowJobHostTest = AppTest;

TEST_F(WindowJobHostTest, CallsFromAJobThreadArriveInOrderAndFailuresReachTheJob) {
  WindowJobHost host;
  std::vector<int> seen;
  std::atomic<bool> finished{false};
  std::string failure;
  std::thread job([&] {
    for (int i = 0; i < 10000; ++i)
      host.runOnUserInterfaceAndWait([&seen, i] { seen.push_back(i); });
    try {
      host.runOnUserInterfaceAndWait([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error &e) {
      failure = e.what();
    }
    finished = true;
  });
  ASSERT_TRUE(waitUntil([&] { return finished.load(); }));
  job.join();
  ASSERT_EQ(seen.size(), 10000u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(failure, "refused");

  // On the user-interface thread itself the call runs at once.
  bool ran = false;
  host.runOnUserInterfaceAndWait([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST_F(WindowJobHostTest, ATimerKeepsFiringWhileAJobWaitsForAnAnswer) {
  WindowJobHost host;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(5);
  // The "user" answers with Escape once the timer has fired a few times.
  dialogAnswer = nullptr;
  ScopedDialogRunner runner([&](QDialog &box) {
    QEventLoop wait;
    while (ticks < 5)
      wait.processEvents(QEventLoop::WaitForMoreEvents);
    QTest::keyClick(&box, Qt::Key_Escape);
    return static_cast<int>(QMessageBox::Escape);
  });
  std::atomic<int> answer{-1};
  std::thread job([&] {
    host.runOnUserInterfaceAndWait(
        [&] { answer = static_cast<int>(host.askQuestion("Overwrite?")); });
  });
  ASSERT_TRUE(waitUntil([&] { return answer.load() != -1; }));
  job.join();
  EXPECT_GE(ticks, 5);
  EXPECT_EQ(answer.load(), 2);
}

TEST_F(WindowJobHostTest, AClosedStatusWindowLeavesTheJobRunningAndItsLinesReachTheLog) {
  WindowJobHost host;
  std::atomic<bool> release{false};
  const std::string log = dir.file("job.log");
  host.startJob(gatedChain(3, release), logged(log));
  ASSERT_EQ(host.statusWindows().size(), 1u);
  TTstatusForm *form = host.statusWindows().front();
  ASSERT_TRUE(waitUntil([&] { return form->resText().Rows() >= 3; }));
  form->close();
  QCoreApplication::processEvents();
  EXPECT_TRUE(host.statusWindows().empty());
  release = true;
  ASSERT_TRUE(waitUntil([&] { return host.activeJobs() == 0; }));
  EXPECT_EQ(host.runningJobs(), 0);
  const std::string text = readFile(log);
  EXPECT_NE(text.find("line 3"), std::string::npos);
  // The end of the job, written after the window went, reaches the log too.
  EXPECT_NE(text.find("Job finished."), std::string::npos);
}

TEST_F(WindowJobHostTest, QuittingEndsEveryRunningJobFirst) {
  std::atomic<bool> never{false};
  int quits = 0;
  {
    WindowJobHost host;
    host.onQuit = [&] { ++quits; };
    host.startJob(gatedChain(1, never), logged(dir.file("a.log")));
    host.startJob(gatedChain(1, never), logged(dir.file("b.log")));
    EXPECT_EQ(host.activeJobs(), 2);
    host.stopAllJobs();
    EXPECT_EQ(host.activeJobs(), 0);
    EXPECT_EQ(host.runningJobs(), 0);
    EXPECT_NE(readFile(dir.file("b.log")).find("Job aborted by user."), std::string::npos);
    // The program goes on: a later job runs to its end, its pattern matches
    // (which stop when the program ends) included, as nobody stopped it.
    auto chain = std::make_unique<TStringInput>("trial");
    chain->setText("text");
    chain->setNext(std::make_unique<MatchProbe>());
    chain->lastFilter()->setNext(std::make_unique<TAdhocOutput>());
    host.startJob(std::move(chain), logged(dir.file("c.log")));
    ASSERT_TRUE(waitUntil([&] { return host.activeJobs() == 0; }));
    const std::string later = readFile(dir.file("c.log"));
    EXPECT_NE(later.find("Job finished."), std::string::npos) << later;
  }
  EXPECT_FALSE(applicationTerminating());
  setApplicationTerminating(false);
  EXPECT_EQ(quits, 0);
}

TEST_F(WindowJobHostTest, QuitWhenDoneWaitsForTheLastJobAndTheCountNeverGoesBelowZero) {
  WindowJobHost host;
  int quits = 0;
  host.onQuit = [&] { ++quits; };
  host.setQuitWhenDone(true);
  std::atomic<bool> first{false}, second{false};
  host.startJob(gatedChain(0, first), logged(dir.file("a.log")));
  host.startJob(gatedChain(0, second), logged(dir.file("b.log")));
  first = true;
  ASSERT_TRUE(waitUntil([&] { return host.activeJobs() == 1; }));
  EXPECT_EQ(quits, 0);
  second = true;
  ASSERT_TRUE(waitUntil([&] { return host.activeJobs() == 0; }));
  EXPECT_EQ(quits, 1);
  host.reduceThreadCount();
  EXPECT_EQ(host.runningJobs(), 0);
  EXPECT_EQ(quits, 1);
}

// Each job's window opens down and to the right of the last one still
// shown, in the main window's workspace, never exactly over it.
TEST_F(WindowJobHostTest, EachNewStatusWindowOpensOffsetFromTheLast) {
  TmainForm main(QStringList{"marrowen"});
  main.show();
  WindowJobHost &host = main.jobHost();
  std::atomic<bool> held{false};
  std::vector<QPoint> places;
  for (int job = 0; job < 3; ++job) {
    host.startJob(gatedChain(0, held), logged(dir.file("held.log")));
    places.push_back(host.statusWindows().back()->parentWidget()->pos());
  }
  EXPECT_LT(places[0].x(), places[1].x());
  EXPECT_LT(places[0].y(), places[1].y());
  EXPECT_EQ(places[2] - places[1], places[1] - places[0]);
  host.stopAllJobs();
  setApplicationTerminating(false);
}

TEST_F(WindowJobHostTest, ANewJobClosesTheWindowsOfEndedJobsOnly) {
  WindowJobHost host;
  std::atomic<bool> open{true}, held{false};
  host.startJob(gatedChain(0, open), logged(dir.file("a.log")));
  ASSERT_TRUE(waitUntil([&] { return host.activeJobs() == 0; }));
  host.startJob(gatedChain(0, held), logged(dir.file("b.log")));
  host.startJob(gatedChain(0, held), logged(dir.file("c.log")));
  EXPECT_EQ(host.statusWindows().size(), 2u);
  host.stopAllJobs();
  setApplicationTerminating(false);
}

} // namespace
} // namespace marrowen

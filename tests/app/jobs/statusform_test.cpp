#include "app/jobs/statusform.h"

#include "app/jobs/windowjobhost.h"
#include "app_testing.h"
#include "classlib/exceptions.h"
#include "engine/fileinput.h"
#include "engine/inputs.h"
#include "engine/outputs.h"
#include "filters/casefilters.h"
#include "filters/linebuffer.h"
#include "grid/widget/dgbasegrid.h"
#include "support/temp_folder.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <thread>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::fileExists;
using testing::readFile;
using testing::writeFile;

int countOf(const std::string &text, const std::string &what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

std::string cell(TdgGrid &grid, int col, int row) { return grid.GetCell(col, row).toString(); }

class StatusForm : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    form = std::make_unique<TTstatusForm>();
    form->setLogFileName(log);
  }
  std::string log = dir.file("job.log");
  std::unique_ptr<TTstatusForm> form;
};

TEST_F(StatusForm, AtTheLineLimitTheLimitLineReplacesTheLineAndDeferredLinesReachTheLogFirst) {
  form->setLineLimit(50);
  form->setDeferLogging(true);
  for (int i = 1; i <= 49; ++i)
    form->addStatusLine("line " + std::to_string(i));
  EXPECT_FALSE(fileExists(log));
  EXPECT_EQ(cell(form->resText(), 3, 49), "line 49");
  form->addStatusLine("line 50");
  form->addStatusLine("line 51");
  ASSERT_EQ(form->resText().Rows(), 50);
  EXPECT_EQ(cell(form->resText(), 3, 50),
            "50 line limit reached. See log file [" + log + "] for remaining detail");
  const std::string text = readFile(log);
  EXPECT_LT(text.find("line 49"), text.find("line 50"));
  EXPECT_NE(text.find("line 51"), std::string::npos);
  // Double-clicking the limit line opens the log.
  form->resTextDblClickCell(50);
  ASSERT_EQ(launcher->opened.size(), 1);
  EXPECT_EQ(launcher->opened.front().toStdString(), log);

  // A bare log name is opened where the job writes it.
  TTstatusForm bare;
  bare.setLogFileName("bare.log");
  bare.setLineLimit(1);
  bare.addStatusLine("line 1");
  bare.resTextDblClickCell(1);
  ASSERT_EQ(launcher->opened.size(), 2);
  EXPECT_EQ(launcher->opened.back().toStdString(), dir.file("bare.log"));
}

TEST_F(StatusForm, TheErrorsTabAppearsAtTheFirstErrorAndCountsUpToTheLimit) {
  form->setLineLimit(3);
  auto *pages = form->findChild<QTabWidget *>("Pages");
  EXPECT_FALSE(pages->isTabVisible(2));
  form->addStatusLine("fine");
  EXPECT_FALSE(pages->isTabVisible(2));
  form->addError("bad");
  EXPECT_TRUE(pages->isTabVisible(2));
  EXPECT_EQ(pages->tabText(2), "Errors (1)");
  form->addError("bad");
  form->addError("bad");
  EXPECT_EQ(pages->tabText(2), "Errors (3+)");
  form->addError("bad");
  EXPECT_EQ(pages->tabText(2), "Errors (3+)");
  form->jobEnded(JobEnd::Finished);
  EXPECT_EQ(pages->currentIndex(), 2);
}

TEST_F(StatusForm, ALineArrivesBelowTheClickedRowWhileTheLogKeepsTheOrderOfArrival) {
  form->setDeferLogging(true);
  for (const char *line : {"one", "two", "three"})
    form->addStatusLine(line);
  form->resText().SetCurrentDataRow(1);
  form->addStatusLine("four");
  auto &grid = form->resText();
  EXPECT_EQ(grid.GetDisplayRowOf(4), 2);
  form->jobEnded(JobEnd::Finished);
  form->copyToLogClick();
  const std::string text = readFile(log);
  EXPECT_LT(text.find("three"), text.find("four"));
  EXPECT_EQ(form->statusBarText(), "Lines transferred to log file");
}

TEST_F(StatusForm, CopyingLinesWithoutDeferredLoggingWritesThemASecondTime) {
  form->addStatusLine("once");
  form->jobEnded(JobEnd::Finished);
  auto *copy = form->findChild<QPushButton *>("copyToLog");
  EXPECT_FALSE(copy->isHidden());
  form->copyToLogClick();
  EXPECT_EQ(countOf(readFile(log), "once"), 2);
  EXPECT_FALSE(copy->isEnabled());
}

// The lists are the job's record: typing, pasting, cutting and a double
// click change no line, and copying writes the lines as the job logged them.
TEST_F(StatusForm, TheLinesStayAsLoggedWhateverIsTypedAndCopyWritesThem) {
  form->show();
  QApplication::setActiveWindow(form.get());
  form->addStatusLine("one");
  form->addStatusLine("two");
  form->addResultFile(dir.file("two.txt"));
  form->addError("bad");
  form->jobEnded(JobEnd::Finished);
  auto *pages = form->findChild<QTabWidget *>("Pages");
  QApplication::clipboard()->setText("pasted");
  for (TdgGrid *grid : {&form->resText(), &form->errors()}) {
    pages->setCurrentIndex(grid == &form->errors() ? 2 : 1);
    grid->setFocus();
    QCoreApplication::processEvents();
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                       {grid->ColumnLeft(3) + 5, grid->RowTop(grid->Rows()) + 5});
    QTest::keyClicks(QApplication::focusWidget(), "Y");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    for (Qt::Key key : {Qt::Key_F2, Qt::Key_Y, Qt::Key_Return})
      QTest::keyClick(grid, key);
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_Delete);
  }
  // The double click still opens the line's file.
  EXPECT_EQ(launcher->opened, QStringList{QString::fromStdString(dir.file("two.txt"))});
  EXPECT_EQ(cell(form->resText(), 3, 1), "one");
  EXPECT_EQ(cell(form->resText(), 3, 2), "two");
  EXPECT_EQ(cell(form->errors(), 3, 1), "bad");
  form->copyToLogClick();
  const std::string text = readFile(log);
  EXPECT_EQ(countOf(text, "one"), 2);
  EXPECT_EQ(countOf(text, "bad"), 2);
  EXPECT_EQ(text.find("pasted"), std::string::npos);
  EXPECT_EQ(countOf(text, "Y"), 0);
}

TEST_F(StatusForm, WithoutALogFileThereIsNoCopyButton) {
  form->setLogFileName("");
  form->jobEnded(JobEnd::Finished);
  EXPECT_TRUE(form->findChild<QPushButton *>("copyToLog")->isHidden());
}

TEST_F(StatusForm, AfterATestRunEveryTestCopyIsDeletedAndTheButtonDisabled) {
  writeFile(dir.file("a.txt.dCv"), "a");
  writeFile(dir.file("b.txt.dCv"), "b");
  form->setTestMode(true);
  form->addStatusLine("a");
  form->addOutputFile(dir.file("a.txt.dCv"));
  form->addStatusLine("b");
  form->addOutputFile(dir.file("b.txt.dCv"));
  form->addOutputFile(dir.file("gone.dCv"));
  form->jobEnded(JobEnd::Finished);
  auto *remove = form->findChild<QPushButton *>("deleteTestFiles");
  EXPECT_FALSE(remove->isHidden());
  form->deleteTestFilesClick();
  EXPECT_FALSE(fileExists(dir.file("a.txt.dCv")));
  EXPECT_FALSE(fileExists(dir.file("b.txt.dCv")));
  EXPECT_FALSE(remove->isEnabled());
  EXPECT_EQ(form->statusBarText(), "Test files deleted");
}

TEST_F(StatusForm, ResultLinesOpenTheirFileTheClipboardLineItsViewerAndAFailureTheEditor) {
  form->addStatusLine("Output to clipboard");
  form->addResultFile("Clipboard");
  form->resTextDblClickCell(1);
  EXPECT_TRUE(launcher->opened.isEmpty());
  QWidget *viewer = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == "clipboardViewer" && w->isVisible())
      viewer = w;
  ASSERT_TRUE(viewer);
  viewer->close();

  form->addStatusLine("written");
  form->addResultFile(dir.file("out.txt"));
  launcher->openSucceeds = false;
  form->resTextDblClickCell(2);
  ASSERT_EQ(launcher->started.size(), 1);
  EXPECT_TRUE(launcher->started.front().endsWith("out.txt"));
  form->resTextDblClickCell(7); // no file: nothing
  EXPECT_EQ(launcher->started.size(), 1);
}

TEST_F(StatusForm, ReportsInQuickSuccessionPaintAFewTimesNotEachTime) {
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override {
      paints += event->type() == QEvent::Paint;
      return false;
    }
  } counter;
  form->show();
  auto *bar = form->findChild<QProgressBar *>("fileProgress");
  bar->installEventFilter(&counter);
  for (int percent = 0; percent <= 100; ++percent) {
    form->setFileProgress(percent);
    QCoreApplication::processEvents();
  }
  EXPECT_LE(counter.paints, 10);
  // What was held back is painted soon after.
  const int held = counter.paints;
  EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > held; }, 10000));
  EXPECT_EQ(bar->value(), 100);
}

// At its end a job's window says so in its caption and shows its summary
// whole, also on the Results page beside the hint there.
TEST_F(StatusForm, AnEndedJobSaysSoInTheCaptionAndShowsItsWholeSummary) {
  for (const bool cancel : {false, true}) {
    WindowJobHost host;
    auto input = std::make_unique<TStringInput>("trial");
    input->setText("x");
    input->setNext(std::make_unique<TAdhocOutput>());
    JobOptions options;
    options.filterName = "Quiet";
    host.startJob(std::move(input), options);
    TTstatusForm &window = *host.statusWindows().front();
    if (cancel)
      window.cancelButtonClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.activeJobs() == 0; }, 10000));
    window.show();
    QCoreApplication::processEvents();
    if (cancel) {
      EXPECT_EQ(window.windowTitle(), "Quiet - Job aborted by user.");
      continue;
    }
    EXPECT_EQ(window.windowTitle(), "Quiet - Job finished.");
    auto *bar = window.findChild<QLabel *>("statusBar");
    const QString summary = "Job finished. 1 of 1 files processed, 0 binary files skipped, "
                            "0 non-binary files skipped";
    EXPECT_EQ(bar->text(), summary);
    window.findChild<QTabWidget *>("Pages")->setCurrentIndex(1);
    EXPECT_EQ(bar->text(), summary + "\nDouble click a file to open it");
    QCoreApplication::processEvents();
    const QRect room = bar->contentsRect();
    const QRect needed = bar->fontMetrics().boundingRect(room, Qt::TextWordWrap, bar->text());
    EXPECT_LE(needed.height(), room.height());
  }
}

// A chunk that takes long (a costly match) leaves the clock and the file bar
// moving, and a stop in its middle, which the match answers with the quiet
// abort, ends the job as any stop does.
TEST_F(StatusForm, ALongChunkKeepsTheClockGoingAndAStopInsideItEndsAsAStop) {
  const std::string text(10 * 4096, 'a');
  writeFile(dir.file("a.txt"), text);
  struct LongMatch : TFilter {
    std::atomic<bool> started{false};
    int chunks = 0;
    bool processChunk(std::string &chunk) override {
      if (++chunks == 6) {
        started = true;
        while (!isAborted())
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        throw EAbort();
      }
      return sendToNext(chunk);
    }
  };
  auto filter = std::make_unique<LongMatch>();
  LongMatch &match = *filter;
  auto input = std::make_unique<TFileInput>(
      std::vector<FileGridRow>{{dir.file("a.txt"), "None", "Add"}}, true, false, 0, 4096, false);
  input->setNext(std::move(filter));
  input->lastFilter()->setNext(std::make_unique<TFileOutput>());
  WindowJobHost host;
  JobOptions options;
  options.filterName = "Long";
  host.startJob(std::move(input), options);
  TTstatusForm &window = *host.statusWindows().front();
  window.show();
  auto *elapsed = window.findChild<QLabel *>("elapsedTime");
  auto *bar = window.findChild<QProgressBar *>("fileProgress");
  ASSERT_TRUE(QTest::qWaitFor([&] { return match.started.load(); }, 10000));
  // A busy machine may show a later second first.
  EXPECT_TRUE(QTest::qWaitFor([&] { return elapsed->text() >= QStringLiteral("0:00:01."); }, 5000))
      << elapsed->text().toStdString();
  EXPECT_EQ(bar->value(), 50) << "five chunks of ten read";

  QTest::mouseClick(window.findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.activeJobs() == 0; }, 10000));
  EXPECT_EQ(window.windowTitle(), "Long - Job aborted by user.");
  EXPECT_EQ(window.statusBarText(), "Interrupted.");
  EXPECT_EQ(cell(window.resText(), 3, window.resText().Rows()),
            "Job aborted by user. 0 of 1 files processed, 0 binary files skipped, 0 non-binary "
            "files skipped");
  // The bars and the count say what was done: half a file read, none done.
  EXPECT_EQ(bar->value(), 50);
  EXPECT_EQ(window.findChild<QProgressBar *>("taskProgress")->value(), 0);
  EXPECT_EQ(window.findChild<QLabel *>("taskLabel")->text().toStdString(), "File 0 of 1:");
  EXPECT_EQ(readFile(dir.file("a.txt")), text);
}

// While a sort holds a large file, the file bar says the file is not done:
// it stands at 100 only once the sorted lines are on their way out.
TEST_F(StatusForm, TheFileBarLeavesOutTheTextASortStillHolds) {
  std::string text;
  std::vector<std::string> upper;
  for (unsigned n = 0; text.size() < (3u << 20); ++n) {
    const std::string number = std::to_string(n * 2654435761u % 1000003u);
    text += "line " + number + " straße\n";
    upper.push_back("LINE " + number + " STRASSE\n");
  }
  std::sort(upper.begin(), upper.end());
  writeFile(dir.file("big.txt"), text);
  struct SortedOut : TFilter {
    std::atomic<bool> begun{false};
    bool processChunk(std::string &chunk) override {
      begun = true;
      return sendToNext(chunk);
    }
  };
  auto out = std::make_unique<SortedOut>();
  SortedOut &sorted = *out;
  auto input = std::make_unique<TFileInput>(
      std::vector<FileGridRow>{{dir.file("big.txt"), "None", "Add"}}, true, false, 0, 4096, false);
  input->setNext(std::make_unique<TConvertToUpperCase>());
  input->lastFilter()->setNext(std::make_unique<TSortLines>(false, 3, false));
  input->lastFilter()->setNext(std::move(out));
  input->lastFilter()->setNext(std::make_unique<TFileOutput>());
  WindowJobHost host;
  JobOptions options;
  options.filterName = "Sort";
  host.startJob(std::move(input), options);
  TTstatusForm &window = *host.statusWindows().front();
  auto *bar = window.findChild<QProgressBar *>("fileProgress");
  // The job waits on each report, so the sort's state is the one shown.
  int mostBeforeSorted = 0;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
    if (!sorted.begun)
      mostBeforeSorted = std::max(mostBeforeSorted, value);
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.activeJobs() == 0; }, 60000));
  EXPECT_LE(mostBeforeSorted, 1);
  EXPECT_EQ(bar->value(), 100);
  std::string expected;
  for (const std::string &line : upper)
    expected += line;
  EXPECT_TRUE(readFile(dir.file("big.txt")) == expected);
}

// The bottom button answers the keyboard as its kind does: Escape stops the
// running job, and once the job has ended Enter presses OK, which closes.
TEST_F(StatusForm, EscapeStopsTheRunningJobAndEnterThenClosesTheWindow) {
  struct UntilStopped : TFilter {
    bool processChunk(std::string &chunk) override {
      while (!isAborted())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return sendToNext(chunk);
    }
  };
  WindowJobHost host;
  auto input = std::make_unique<TStringInput>("trial");
  input->setText("x");
  input->setNext(std::make_unique<UntilStopped>());
  input->lastFilter()->setNext(std::make_unique<TAdhocOutput>());
  JobOptions options;
  options.filterName = "Keys";
  host.startJob(std::move(input), options);
  TTstatusForm &window = *host.statusWindows().front();
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  auto *pages = window.findChild<QTabWidget *>("Pages");
  pages->setFocus();
  QTest::keyClick(pages, Qt::Key_Return);
  EXPECT_EQ(host.activeJobs(), 1) << "Enter is no Cancel";
  QTest::keyClick(pages, Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return host.activeJobs() == 0; }, 10000));
  EXPECT_EQ(window.windowTitle(), "Keys - Job aborted by user.");
  QTest::keyClick(pages, Qt::Key_Escape);
  EXPECT_EQ(host.statusWindows().size(), 1u) << "OK is no Cancel";
  QTest::keyClick(pages, Qt::Key_Return);
  EXPECT_TRUE(host.statusWindows().empty());
}

TEST_F(StatusForm, CancelWithLoggingOffWritesNoLog) {
  WindowJobHost host;
  std::atomic<bool> stop{false};
  auto input = std::make_unique<TStringInput>("trial");
  input->setText("x");
  input->setNext(std::make_unique<TAdhocOutput>());
  JobOptions options;
  options.filterName = "Quiet";
  options.logFileName = log; // named, but logging is off
  options.loggingOn = false;
  host.startJob(std::move(input), options);
  ASSERT_EQ(host.statusWindows().size(), 1u);
  host.statusWindows().front()->cancelButtonClick();
  QElapsedTimer timer;
  timer.start();
  while (host.activeJobs() > 0 && timer.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(host.activeJobs(), 0);
  host.statusWindows().front()->addStatusLine("late");
  EXPECT_FALSE(fileExists(log));
}

} // namespace
} // namespace marrowen

#pragma once

#include "engine/log.h"
#include "engine/statuswindow.h"

#include <QElapsedTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;

namespace marrowen {

class TFileLabel;
class TFormInfo;
class TdgGrid;

// The window of one job: what it is doing, its status and error lines (which
// it hands on to the job's log), and, once it has ended, the test copies to
// delete and the lines to copy to the log. Lives on the user-interface
// thread; the job reaches it only through its host's synchronous calls.
class TTstatusForm : public QWidget, public JobStatusWindow {
  Q_OBJECT
public:
  explicit TTstatusForm(QWidget *parent = nullptr);
  ~TTstatusForm() override;

  // --- JobStatusWindow ---
  void setJob(ProcessingThread *job) override { job_ = job; }
  ProcessingThread *job() const override { return job_; }
  void setCaption(const std::string &filterName) override;
  void setDeferLogging(bool defer) override { deferLogging_ = defer; }
  void setLogFileName(const std::string &name) override { logFileName_ = name; }
  void setLoggingOn(bool on) override { loggingOn_ = on; }
  void setLineLimit(int limit) override { lineLimit_ = limit; }
  void setTestMode(bool on) override;
  void addStatusLine(const std::string &text) override;
  void addError(const std::string &text) override;
  void setTotal(int files) override { totalFiles_ = files; }
  void setProcessedFiles(int files) override;
  void setTaskProgress(int percent) override;
  void setFileProgress(int percent) override;
  void setStatusFileName(const std::string &name) override;
  void setStatusText(const std::string &text) override;
  void setElapsedText(const std::string &text) override;
  void runStarted(std::chrono::steady_clock::time_point start) override;
  void runOver() override;
  void setNonBinarySkipped(int files) override;
  void setBinarySkipped(int files) override;
  void addOutputFile(const std::string &name) override;
  void addResultFile(const std::string &name) override;
  void jobEnded(JobEnd how) override;
  bool hasErrors() const override { return errorCount_ > 0; }

  void cancelButtonClick();
  void deleteTestFilesClick();
  void copyToLogClick();
  void resTextDblClickCell(int dataRow);
  void PagesChange(int index);

  // What the editor setting names, for result files the desktop cannot open;
  // none returns to the default.
  static void setEditor(std::function<std::string()> editor);
  // Opens a text file in the editor the setting names.
  static void openInEditor(const std::string &name);

  TdgGrid &resText() const { return *resText_; }
  TdgGrid &errors() const { return *errors_; }
  QString statusBarText() const;
  const std::vector<std::string> &testFiles() const { return testFiles_; }
  // Paints at once what the paint rate still holds back, for a picture of the window.
  void paintHeldBack();
  // Stores the window's size and state as it leaves the screen, where the
  // next window looks for them at once; by the time the window is deleted
  // its frame may no longer be maximized. Later saves change nothing.
  void savePlacement();

signals:
  // The user asked to close the window (OK, or the close box).
  void closeRequested();

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void addLine(int &counter, TdgGrid &grid, const std::string &text, TLogLevel level);
  void addRow(TdgGrid &grid, const std::string &text);
  void transferToLog(TdgGrid &grid, TLogLevel level);
  void writeLog(TLogLevel level, const std::string &text);
  void showStatus(const QString &text);
  // The status text, and under it on the Results page the hint that a line
  // opens its file, so that neither hides the other.
  void refreshStatusBar();
  // Called before a report of the job changes a control. A job reports many
  // times a second and waits for each report, so painting each would hold it
  // up: the window paints at once when it has not painted for a while, and
  // otherwise holds its painting back until the interval is up.
  void limitPaintRate();
  // The elapsed time and the file progress reached, while the run goes on.
  void showRunSoFar();

  ProcessingThread *job_ = nullptr;
  int statusLineCount_ = 0;
  bool testMode_ = false;
  bool deferLogging_ = false;
  // Whether the job keeps a log at all: without one, a line that arrives
  // after the job has gone has nowhere to go.
  bool loggingOn_ = true;
  int totalFiles_ = 0;
  std::vector<std::string> testFiles_;
  std::vector<std::string> resultFiles_;
  std::vector<int> resultRows_;
  int errorCount_ = 0;
  std::string logFileName_;
  int lineLimit_ = 500;
  bool ended_ = false;
  QString captionFormat_;
  std::string filterName_;
  QString statusText_;
  QElapsedTimer lastPaint_;
  QTimer *paintTimer_;
  QTimer *clock_;
  std::chrono::steady_clock::time_point runStart_;

  QTabWidget *pages_;
  QWidget *errorsPage_;
  TFileLabel *fileLabel_;
  QLabel *binarySkipped_;
  QLabel *nonBinarySkipped_;
  QLabel *elapsed_;
  QLabel *mode_;
  QLabel *taskLabel_;
  QProgressBar *fileProgress_;
  QProgressBar *taskProgress_;
  TdgGrid *resText_;
  TdgGrid *errors_;
  QLabel *statusBar_;
  QPushButton *cancelButton_;
  QPushButton *deleteButton_;
  QPushButton *copyButton_;
  std::unique_ptr<TFormInfo> formInfo_;
  bool placementSaved_ = false;
};

} // namespace marrowen

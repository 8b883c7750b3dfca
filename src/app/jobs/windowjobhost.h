#pragma once

#include "engine/jobhost.h"
#include "engine/processingthread.h"

#include <QMdiArea>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

namespace marrowen {

class TGenericInput;
class TTstatusForm;

// Runs jobs for the windows. It lives on the user-interface thread: a job's
// synchronous call is a blocking queued call to it (made directly when the
// caller is on that thread already), and the end of each job is queued to
// it, which then frees the job and after it the chain. It owns the status
// windows, which sit in the main window's workspace when one is given.
class WindowJobHost : public QObject, public JobHost {
  Q_OBJECT
public:
  explicit WindowJobHost(QObject *parent = nullptr);
  // Stops the jobs still running and waits for their end.
  ~WindowJobHost() override;

  void setMdiArea(QMdiArea *area) { area_ = area; }
  // Whether status windows are shown; a program without a screen keeps them
  // hidden, so that nothing lays them out or paints them.
  void setShowStatusWindows(bool show) { showStatusWindows_ = show; }

  // Starts a job over `chain`; the host keeps both until the job has ended.
  ProcessingThread *startJob(std::unique_ptr<TGenericInput> chain, JobOptions options);
  // Jobs started and not yet ended.
  int activeJobs() const { return static_cast<int>(jobs_.size()); }
  // The count the jobs raise and lower.
  int runningJobs() const { return runningJobs_; }
  // With it set, the program quits when the count drops back to 0.
  void setQuitWhenDone(bool quit) { quitWhenDone_ = quit; }
  bool quitWhenDone() const { return quitWhenDone_; }
  // What quitting means; the default quits the application's event loop.
  std::function<void()> onQuit;
  // Asks every job to stop, those started meanwhile too, and handles events
  // until all of them have ended; the application is marked as terminating
  // only meanwhile.
  void stopAllJobs();
  // Asks every job to stop and quits once none runs, at once when none does.
  void quitWhenJobsEnd();

  std::vector<TTstatusForm *> statusWindows() const;
  // Closes a status window as its close box would.
  void closeStatusWindow(TTstatusForm *form);

  // --- JobHost ---
  void runOnUserInterfaceAndWait(const std::function<void()> &call) override;
  void jobExecuted(ProcessingThread &job) override;
  void increaseThreadCount() override { ++runningJobs_; }
  void reduceThreadCount() override;
  std::weak_ptr<JobStatusWindow> createStatusWindow() override;
  void releaseStatusWindow(const std::shared_ptr<JobStatusWindow> &window) override;
  std::unique_ptr<QueryReplaceDialog> createQueryReplaceDialog() override;
  Answer askQuestion(const std::string &text) override;
  void showJobException(const std::string &message) override;
  void playSound(const std::string &fileName) override;

private:
  struct RunningJob {
    std::unique_ptr<TGenericInput> chain;
    std::unique_ptr<ProcessingThread> job;
  };
  void finishJob(ProcessingThread *job);
  void forget(TTstatusForm *form, bool destroying = false);

  QPointer<QMdiArea> area_;
  std::vector<RunningJob> jobs_;
  // The status windows shown. Each is the host's until forget() takes it
  // from the list; the jobs hold only weak handles to it.
  std::vector<std::shared_ptr<TTstatusForm>> windows_;
  int runningJobs_ = 0;
  bool quitWhenDone_ = false;
  bool showStatusWindows_ = true;
  QObject *sound_ = nullptr;
};

// Installs the windows' message boxes, message pumping, clipboard and debug
// windows for the engine and the filters. Without `sharedClipboard` (no
// display) jobs refuse to read or write the clipboard.
void installWindowHandlers(bool sharedClipboard = true);
// Whether the platform's clipboard is the desktop's, which other programs
// read and write; offscreen and the like keep one inside the program.
bool platformSharesClipboard();
// The text a job put on the clipboard while this program still holds it
// there, nothing copied over it since; empty when there is none.
QString clipboardTextOfJobs();

} // namespace marrowen

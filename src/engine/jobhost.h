#pragma once

#include "engine/answers.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace marrowen {

class JobStatusWindow;
class ProcessingThread;
struct QueryReplaceRequest;

// The query-replace dialog of one job: made at the job's first question and
// kept for the rest of it, so that it keeps its place between questions.
// Used on the user-interface thread only.
class QueryReplaceDialog {
public:
  virtual ~QueryReplaceDialog() = default;
  // Shows one question and returns the answer. The user may edit the
  // replacement and the template in `request`.
  virtual Answer confirmReplace(QueryReplaceRequest &request) = 0;
};

// What a job needs of the program that runs it. The windows supply one that
// carries calls to the user-interface thread; `HeadlessJobHost` serves
// programs without windows.
//
// Threads: `runOnUserInterfaceAndWait` is called from job threads; every
// other operation is called on the user-interface thread (inside such a call,
// or at the job's creation and end). The user-interface thread never waits
// for a job.
class JobHost {
public:
  JobHost() = default;
  JobHost(const JobHost &) = delete;
  JobHost &operator=(const JobHost &) = delete;
  virtual ~JobHost() = default;

  // Runs `call` on the user-interface thread and returns once it has run;
  // on that thread itself it runs `call` at once. Calls from several jobs run
  // one at a time. An exception thrown by `call` reaches the caller.
  virtual void runOnUserInterfaceAndWait(const std::function<void()> &call) = 0;
  // Called on the job thread as its last act. A windowed host queues
  // `job.finish()` on the user-interface thread (and then frees the job);
  // the headless host leaves it to the thread that waits for the job.
  virtual void jobExecuted(ProcessingThread &job) = 0;

  // The main window's count of running jobs.
  virtual void increaseThreadCount() = 0;
  virtual void reduceThreadCount() = 0;

  // Closes every status window that has no job attached (those of jobs that
  // ended or were cancelled), then makes a window for a new job. The host
  // keeps the window; the job holds it only weakly, since the user may close
  // it while the job runs.
  virtual std::weak_ptr<JobStatusWindow> createStatusWindow() = 0;
  // Closes a window the job no longer needs.
  virtual void releaseStatusWindow(const std::shared_ptr<JobStatusWindow> &window) = 0;

  virtual std::unique_ptr<QueryReplaceDialog> createQueryReplaceDialog() = 0;
  // A confirmation box with Yes, No, Cancel, No to All and Yes to All.
  virtual Answer askQuestion(const std::string &text) = 0;
  // Shows a failure that ended a job (cancelling any mouse capture first).
  virtual void showJobException(const std::string &message) = 0;
  // Starts playing a wave file and returns at once.
  virtual void playSound(const std::string &fileName) = 0;
};

// Runs jobs without windows. The "user-interface thread" is whichever thread
// holds the host's lock: a job's call runs on the job thread under the lock,
// so calls from jobs side by side still come one at a time. The end of a job
// runs on the thread that waits for it (`ProcessingThread::waitFor`).
// Questions are answered with Yes to All, query-replace questions through
// the installed user interface; failures go to standard error; no sound.
class HeadlessJobHost : public JobHost {
public:
  HeadlessJobHost();
  ~HeadlessJobHost() override;

  void runOnUserInterfaceAndWait(const std::function<void()> &call) override;
  void jobExecuted(ProcessingThread &job) override;
  void increaseThreadCount() override;
  void reduceThreadCount() override;
  std::weak_ptr<JobStatusWindow> createStatusWindow() override;
  void releaseStatusWindow(const std::shared_ptr<JobStatusWindow> &window) override;
  std::unique_ptr<QueryReplaceDialog> createQueryReplaceDialog() override;
  Answer askQuestion(const std::string &text) override;
  void showJobException(const std::string &message) override;
  void playSound(const std::string &fileName) override;

  int runningJobs() const { return runningJobs_.load(); }
  // Failures shown by `showJobException`, in order.
  std::vector<std::string> shownExceptions() const;
  // The status windows still open (not released or closed).
  std::vector<std::shared_ptr<JobStatusWindow>> openWindows() const;
  // Closes a window as a user would, while its job may still run.
  void closeWindow(const std::shared_ptr<JobStatusWindow> &window);

protected:
  // The window each new job gets.
  virtual std::shared_ptr<JobStatusWindow> newStatusWindow();

private:
  mutable std::recursive_mutex userInterface_;
  std::atomic<int> runningJobs_{0};
  std::vector<std::shared_ptr<JobStatusWindow>> windows_;
  std::vector<std::string> shownExceptions_;
};

} // namespace marrowen

#pragma once

#include "engine/job.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <pthread.h>
#include <string>
#include <vector>

namespace marrowen {

class JobHost;
class JobStatusWindow;
class QueryReplaceDialog;
class TGenericInput;
class TNullLog;

// Resources that belong to one job thread (script engines, database
// connections): made on first use by the filters that need them and released
// by clean-up hooks that run at the end of the job's run, whatever happened.
class JobThreadContext {
public:
  JobThreadContext() = default;
  JobThreadContext(const JobThreadContext &) = delete;
  JobThreadContext &operator=(const JobThreadContext &) = delete;
  // Runs the clean-up hooks, last added first; a failing hook does not stop
  // the others.
  ~JobThreadContext();

  // The context of the job thread this runs on; none on other threads.
  static JobThreadContext *current();

  void addCleanup(std::function<void()> hook);
  // A resource kept under `key` for the rest of the run; none when absent.
  std::shared_ptr<void> resource(const std::string &key) const;
  void setResource(const std::string &key, std::shared_ptr<void> value);

private:
  friend class ProcessingThread;
  std::vector<std::function<void()>> cleanups_;
  std::map<std::string, std::shared_ptr<void>> resources_;
};

// How a job is to run, as its caller sets it up.
struct JobOptions {
  std::string filterName;           // the caption and the first log line
  bool closeStatusWhenDone = false; // release the status window at the end unless it shows errors
  bool deferLogging = false;        // also lets the file input ask its questions
  bool loggingOn = false;
  std::string logFileName;
  bool appendToLog = false;
  int lineLimit = 500;
  bool playSound = false;
  std::string soundFile; // may be enclosed in double quotes
  // The owner window's clipboard button; none without an owner window. Runs
  // on the user-interface thread.
  std::function<void()> toggleClipboardButton;
  // Told on the user-interface thread when the job has ended: whether it
  // wrote an error line, showed a failure or was aborted.
  std::function<void(bool failed)> onEnded;
};

// One run of a filter chain on a worker thread of its own. It opens the log,
// drives its status window, keeps the counters, lets the chain's input run
// the read loop, carries every report, question and query-replace prompt to
// the user-interface thread (through the host, while the job thread waits),
// and at the end writes the summary and, on the user-interface thread,
// releases what it holds and lowers the count of running jobs.
//
// The job never frees the chain, which must outlive it. The counters and the
// fields handed to synchronized calls belong to the job thread; the
// terminate request is the one value shared between threads. The status
// window is held weakly: when the user closes it, the job skips it (its
// lines still reach the log) and never touches it again.
class ProcessingThread : public JobSink {
public:
  // Made on the user-interface thread; the job starts running at once. The
  // worker thread's stack is 64 MB, for deeply recursive patterns.
  static std::unique_ptr<ProcessingThread> Create(JobHost &host, TGenericInput &chain,
                                                  JobOptions options);
  // Waits for the job when it still runs (headless use only).
  ~ProcessingThread() override;

  // Asks every running job to stop and waits until each run is over (its
  // temporary files removed, its targets untouched); a job started while it
  // waits stops at once. For a program that is being ended by a signal;
  // never from the user-interface thread, which a stopping job may wait for.
  static void abortAllAndWait();
  // The same, waiting at most `limit`: whether every run is over. A job
  // still running afterwards stays asked to stop.
  static bool abortAllAndWaitFor(std::chrono::milliseconds limit);
  // For a program about to end whatever its jobs do: asks every job to stop,
  // waits at most `grace` for them, then ends every program a job still
  // runs and removes every temporary file and folder a job still holds (the
  // targets stay as they were).
  static void abortAllForExit(std::chrono::milliseconds grace);

  // Headless: waits until the run is over, then ends the job on this thread.
  // Returns at once when the job has ended already.
  void waitFor() { finish(); }
  // Ends the job once its run is over: joins the worker and runs
  // `jobTerminated`. A windowed host calls it on the user-interface thread
  // after `jobExecuted`, when the worker is finishing; harmless when repeated.
  void finish();
  bool ended() const { return ended_; }

  TNullLog *log() const { return log_; }
  const std::string &filterName() const { return options_.filterName; }
  // The job's status window, none once the user closed it.
  std::shared_ptr<JobStatusWindow> statusWindow() const override { return statusWindow_.lock(); }

  // --- JobSink ---
  void addLogLine(const std::string &text) override;
  void addInfoLine(const std::string &text) override;
  void addWarningLine(const std::string &text) override;
  void addErrorLine(const std::string &text) override;
  void setStatusText(const std::string &text) override;
  void setStatusFileName(const std::string &name) override;
  // Sent to the window at most four times a second.
  void showElapsedTime() override;
  // Sent only when the percentage shown changes; between a file's 0 and 100
  // it goes with the next report of the elapsed time.
  void setFileProgress(int percent) override;
  void setTaskProgress(int percent) override;
  void setNonBinarySkipped(int count) override;
  void incNonBinarySkipped() override;
  void setBinarySkipped(int count) override;
  void incBinarySkipped() override;
  void setProcessedFiles(int count) override;
  void incProcessedFiles() override;
  void takeBackProcessedFiles(int count) override;
  void incFailedFiles() override;
  void setTotalFiles(int count) override;
  void logInputFile(const std::string &name, std::int64_t size) override;
  void logOutputFile(const std::string &name, std::int64_t size) override;
  Answer askQuestion(const std::string &text) override;
  Answer queryReplace(QueryReplaceRequest &request) override;
  void toggleClipboardButton() override;
  void runSynchronized(const std::function<void()> &call) override;
  bool deferLogging() const override { return options_.deferLogging; }
  int errorCount() const override { return errorCount_; }
  bool isInputFile(const std::string &fileName) override;

  // The file progress the read loop reached last, which the job may not have
  // sent to its window yet. Safe from any thread.
  int fileProgressReached() const { return fileProgressReached_.load(std::memory_order_relaxed); }

  int processedFiles() const { return processedFiles_; }
  int totalFiles() const { return totalFiles_; }
  int binarySkipped() const { return binarySkipped_; }
  int nonBinarySkipped() const { return nonBinarySkipped_; }

  // "%d:%.02d:%.02d.%d seconds" for a duration: total hours, minutes,
  // seconds and tenths.
  static std::string elapsedTimeText(std::chrono::milliseconds elapsed);

  // Made only through `Create`.
  class Key {
    friend class ProcessingThread;
    Key() = default;
  };
  ProcessingThread(Key, JobHost &host, TGenericInput &chain, JobOptions options);

private:
  static void *threadMain(void *self);

  void Execute();
  // The first lines and the window's starting state.
  void beginRun();
  // The elapsed time, the full bars of a finished run, and the summary of a
  // finished or a stopped one.
  void endRun();
  void handleException(const std::string &message, bool silent);
  void jobTerminated();
  // Runs `call` with the status window on the user-interface thread, when
  // the window is still there.
  void withWindow(const std::function<void(JobStatusWindow &)> &call);
  // A status line: to the window, or straight to the log when it is gone.
  void statusLine(const std::string &text, int level);
  // The last report of a run (`last`) also stops the window's own clock.
  void showElapsedTimeNow(bool last = false);
  void showFilesDone();
  std::string summary() const;

  JobHost &host_;
  TGenericInput &chain_;
  JobOptions options_;
  TNullLog *log_ = nullptr;
  std::weak_ptr<JobStatusWindow> statusWindow_;
  bool testMode_ = false;
  std::unique_ptr<QueryReplaceDialog> queryReplaceDialog_;

  int nonBinarySkipped_ = 0;
  int binarySkipped_ = 0;
  int processedFiles_ = 0;
  int failedFiles_ = 0;
  int totalFiles_ = 0;
  int errorCount_ = 0;
  bool failed_ = false;
  // Whether the run was stopped, fixed when its last line is written: a
  // Cancel that comes after it changes nothing.
  std::optional<bool> stopped_;
  std::chrono::steady_clock::time_point startTime_;
  std::chrono::steady_clock::time_point lastElapsedShown_;
  int progressPending_ = -1; // the progress the next elapsed-time report carries
  int fileProgressShown_ = -1;
  std::atomic<int> fileProgressReached_{0};

  pthread_t thread_{};
  bool threadStarted_ = false;
  bool ended_ = false;
};

} // namespace marrowen

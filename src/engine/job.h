#pragma once

#include "engine/answers.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace marrowen {

class TFilter;
class JobStatusWindow;

// One query-replace question and its answer. The fields marked in/out carry
// the user's edits back to the filter that asked.
struct QueryReplaceRequest {
  std::string textBefore;           // up to 200 bytes of output before the match
  std::string found;                // the matched text
  std::string textAfter;            // up to 200 bytes after the match
  std::string replacement;          // in/out: the replacement for this match (escaped form)
  std::string templateText;         // in/out: the filter's replacement template
  std::string searchInformation;    // shown on the dialog's second page
  std::string fileName;             // the full input file name
  TFilter *filter = nullptr;        // the asking filter; the dialog may call back into it
  Answer lastAnswer = Answer::None; // the standing answer before this question
  bool inSelection = false;         // asked from a subfilter chain (offers the selection answers)
};

// What a running filter may ask of the job it belongs to. Every call is made
// on the job's own thread; an implementation carries it to the user-interface
// thread and waits for it there. The terminate flag is the one value shared
// between threads, so it lives here, concretely, as an atomic.
class JobSink {
public:
  JobSink() = default;
  JobSink(const JobSink &) = delete;
  JobSink &operator=(const JobSink &) = delete;
  virtual ~JobSink() = default;

  // Status and log lines. Errors go to the status window's error list.
  virtual void addLogLine(const std::string &text) = 0;
  virtual void addInfoLine(const std::string &text) = 0;
  virtual void addWarningLine(const std::string &text) = 0;
  virtual void addErrorLine(const std::string &text) = 0;

  virtual void setStatusText(const std::string &text) = 0;
  virtual void setStatusFileName(const std::string &name) = 0;
  virtual void showElapsedTime() = 0;
  // Percentages, 0 to 100.
  virtual void setFileProgress(int percent) = 0;
  virtual void setTaskProgress(int percent) = 0;

  virtual void setNonBinarySkipped(int count) = 0;
  virtual void incNonBinarySkipped() = 0;
  virtual void setBinarySkipped(int count) = 0;
  virtual void incBinarySkipped() = 0;
  virtual void setProcessedFiles(int count) = 0;
  virtual void incProcessedFiles() = 0;
  // Files counted as processed whose output was not written after all (the
  // inputs of a merged file that was not written): they count as failed.
  virtual void takeBackProcessedFiles(int count) = 0;
  // A file the job tried and could not write: the progress counts it as
  // done, the summary not as processed.
  virtual void incFailedFiles() {}
  virtual void setTotalFiles(int count) = 0;

  virtual void logInputFile(const std::string &name, std::int64_t size) = 0;
  virtual void logOutputFile(const std::string &name, std::int64_t size) = 0;

  // A confirmation box with Yes, No, Cancel, No to All and Yes to All.
  virtual Answer askQuestion(const std::string &text) = 0;
  // The query-replace dialog (Replace, Skip, the standing answers or
  // Cancel). Cancel and Stop also ask the job to terminate.
  virtual Answer queryReplace(QueryReplaceRequest &request) = 0;

  virtual void toggleClipboardButton() = 0;
  // Runs `call` on the user-interface thread and returns when it has run.
  virtual void runSynchronized(const std::function<void()> &call) = 0;

  // Whether the file input may ask its questions (the job defers its logging).
  virtual bool deferLogging() const = 0;
  // The job's status window, for filters whose own windows match it; none
  // for jobs without one.
  virtual std::shared_ptr<JobStatusWindow> statusWindow() const { return nullptr; }
  // The error lines reported so far in this job, so that a filter can tell
  // whether a step it depends on failed. Jobs that do not count answer 0.
  virtual int errorCount() const { return 0; }
  // Whether `fileName` leads to one of the files this job reads (listed for
  // it, or rewritten by it already), so that a filter which writes files of
  // its own keeps off them. Answered on the job's thread at once; jobs that
  // read no files answer false.
  virtual bool isInputFile(const std::string & /*fileName*/) { return false; }

  // The terminate request: set from any thread, read by the read loop
  // before every chunk and after every file.
  void terminate() noexcept { terminated_.store(true, std::memory_order_relaxed); }
  bool isAborted() const noexcept { return terminated_.load(std::memory_order_relaxed); }

private:
  std::atomic<bool> terminated_{false};
};

// Makes `job` the one whose abort request `currentJobAborted` answers on
// this thread while the scope lasts, so that long work deep inside a filter
// (a pattern match) stops when the job is cancelled.
class CurrentJobScope {
public:
  explicit CurrentJobScope(const JobSink *job);
  CurrentJobScope(const CurrentJobScope &) = delete;
  CurrentJobScope &operator=(const CurrentJobScope &) = delete;
  ~CurrentJobScope();

private:
  const JobSink *previous_;
};

// Whether the job running on this thread was asked to stop, the program is
// shutting down, or this thread's deadline has passed.
bool currentJobAborted();

// Gives the work on this thread a time limit while the scope lasts: once it
// has passed, every read loop and pattern match here stops as a cancelled
// job's would (`threadDeadlinePassed`), and the caller tells why. An outer
// scope's earlier deadline still holds.
class DeadlineScope {
public:
  explicit DeadlineScope(std::chrono::steady_clock::duration limit);
  DeadlineScope(const DeadlineScope &) = delete;
  DeadlineScope &operator=(const DeadlineScope &) = delete;
  ~DeadlineScope();

  bool passed() const;

private:
  std::chrono::steady_clock::time_point previous_;
  std::chrono::steady_clock::time_point deadline_;
};

// Whether a deadline set on this thread has passed; quick when none is set.
bool threadDeadlinePassed();

} // namespace marrowen

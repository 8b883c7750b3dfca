#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace marrowen {

class ProcessingThread;

// How a job ended: it read all its input, the user stopped it (Cancel, or
// Cancel at a replace prompt), or it failed.
enum class JobEnd { Finished, Stopped, Failed };
// What a caption or a status bar calls that end: "Job finished.", "Job
// aborted by user." or "Interrupted.".
std::string jobEndText(JobEnd how);

// What a job asks of its status window. Every operation runs on the
// user-interface thread: the job reaches the window only through its host's
// "run on the user-interface thread and wait". The window hands the lines it
// receives on to the job's log; once the job has ended it writes them to a
// log opened by the log file name instead.
class JobStatusWindow {
public:
  JobStatusWindow() = default;
  JobStatusWindow(const JobStatusWindow &) = delete;
  JobStatusWindow &operator=(const JobStatusWindow &) = delete;
  virtual ~JobStatusWindow() = default;

  // Attaches the running job; none after it ended or was cancelled.
  virtual void setJob(ProcessingThread *job) = 0;
  virtual ProcessingThread *job() const = 0;
  virtual void setCaption(const std::string &filterName) = 0;
  virtual void setDeferLogging(bool defer) = 0;
  virtual void setLogFileName(const std::string &name) = 0;
  // Whether the job keeps a log; lines that arrive after the job has gone
  // reach the log file only then.
  virtual void setLoggingOn(bool) {}
  virtual void setLineLimit(int limit) = 0;
  virtual void setTestMode(bool on) = 0;

  virtual void addStatusLine(const std::string &text) = 0;
  virtual void addError(const std::string &text) = 0;
  virtual void setTotal(int files) = 0;
  // "File %d of %d:" and the task progress, with the files done so far:
  // written, skipped or failed.
  virtual void setProcessedFiles(int files) = 0;
  virtual void setTaskProgress(int percent) = 0;
  virtual void setFileProgress(int percent) = 0;
  virtual void setStatusFileName(const std::string &name) = 0;
  virtual void setStatusText(const std::string &text) = 0;
  virtual void setElapsedText(const std::string &text) = 0;
  // The run began at `start`. Until `runOver` a window on screen moves its
  // elapsed time, and its file bar to `ProcessingThread::fileProgressReached`,
  // on by itself: a chunk that takes long (a costly match, a script) must not
  // freeze them, and the job reports them only a few times a second.
  virtual void runStarted(std::chrono::steady_clock::time_point) {}
  // The run is over (or failed): what the job shows from now on stays.
  virtual void runOver() {}
  virtual void setNonBinarySkipped(int files) = 0;
  virtual void setBinarySkipped(int files) = 0;
  // A test copy written by the job (also a result file of the last line).
  virtual void addOutputFile(const std::string &name) = 0;
  // A file that the last status line refers to.
  virtual void addResultFile(const std::string &name) = 0;

  virtual void jobEnded(JobEnd how) = 0;
  virtual bool hasErrors() const = 0;
};

// The status window of a job run without windows (the benchmark driver,
// command-line tools): status lines go to the job's log as they come, error
// lines to the log and to standard error. It keeps what a caller may want to
// inspect after the job.
class HeadlessStatusWindow : public JobStatusWindow {
public:
  void setJob(ProcessingThread *job) override { job_ = job; }
  ProcessingThread *job() const override { return job_; }
  void setCaption(const std::string &) override {}
  void setDeferLogging(bool) override {}
  void setLogFileName(const std::string &name) override { logFileName_ = name; }
  void setLineLimit(int) override {}
  void setTestMode(bool) override {}
  void addStatusLine(const std::string &text) override;
  void addError(const std::string &text) override;
  void setTotal(int) override {}
  void setProcessedFiles(int) override {}
  void setTaskProgress(int) override {}
  void setFileProgress(int) override {}
  void setStatusFileName(const std::string &) override {}
  void setStatusText(const std::string &) override {}
  void setElapsedText(const std::string &) override {}
  void setNonBinarySkipped(int) override {}
  void setBinarySkipped(int) override {}
  void addOutputFile(const std::string &) override {}
  void addResultFile(const std::string &) override {}
  void jobEnded(JobEnd) override { job_ = nullptr; }
  bool hasErrors() const override { return !errors_.empty(); }

  const std::vector<std::string> &errors() const { return errors_; }

private:
  void writeToLog(int level, const std::string &text);

  ProcessingThread *job_ = nullptr;
  std::string logFileName_;
  std::vector<std::string> errors_;
};

} // namespace marrowen

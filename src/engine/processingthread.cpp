#include "engine/processingthread.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/temporaries.h"
#include "engine/escapes.h"
#include "engine/inputs.h"
#include "engine/jobhost.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/statuswindow.h"
#include "engine/userinterface.h"

#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <pwd.h>
#include <set>
#include <unistd.h>

namespace marrowen {

namespace {

thread_local JobThreadContext *currentContext = nullptr;

// The jobs whose runs are not over, for abortAllAndWait.
struct RunningJobs {
  std::mutex mutex;
  std::condition_variable ended;
  std::set<JobSink *> jobs;
  bool closing = false;
};

RunningJobs &runningJobs() {
  static RunningJobs running;
  return running;
}

void addRunningJob(JobSink *job) {
  RunningJobs &running = runningJobs();
  std::lock_guard lock(running.mutex);
  running.jobs.insert(job);
  if (running.closing)
    job->terminate();
}

void removeRunningJob(JobSink *job) {
  RunningJobs &running = runningJobs();
  std::lock_guard lock(running.mutex);
  running.jobs.erase(job);
  running.ended.notify_all();
}

// The regular-expression engine recurses deeply on some patterns; and a
// chunk goes one call deeper at each filter, so a chain of many filters (a
// command file of a million lines) needs room for each too.
constexpr std::size_t jobStackSize = 64 * 1024 * 1024;
constexpr std::size_t stackPerFilter = 2048;

// The least time between two reports of the elapsed time, or of a file's
// progress: the job waits for each report to be shown.
constexpr auto reportInterval = std::chrono::milliseconds(250);

// The login name of the user the process runs as.
std::string networkUserName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd *found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_name)
    return found->pw_name;
  for (const char *variable : {"LOGNAME", "USER"})
    if (const char *name = std::getenv(variable); name && *name)
      return name;
  return std::to_string(::getuid());
}

} // namespace

// --- JobThreadContext ---

JobThreadContext::~JobThreadContext() {
  for (auto hook = cleanups_.rbegin(); hook != cleanups_.rend(); ++hook) {
    try {
      (*hook)();
    } catch (...) {
      // A resource that fails to close must not keep the others open.
    }
  }
}

JobThreadContext *JobThreadContext::current() { return currentContext; }

void JobThreadContext::addCleanup(std::function<void()> hook) {
  cleanups_.push_back(std::move(hook));
}

std::shared_ptr<void> JobThreadContext::resource(const std::string &key) const {
  auto found = resources_.find(key);
  return found == resources_.end() ? nullptr : found->second;
}

void JobThreadContext::setResource(const std::string &key, std::shared_ptr<void> value) {
  resources_[key] = std::move(value);
}

// --- ProcessingThread: creation and end ---

ProcessingThread::ProcessingThread(Key, JobHost &host, TGenericInput &chain, JobOptions options)
    : host_(host), chain_(chain), options_(std::move(options)) {}

std::unique_ptr<ProcessingThread> ProcessingThread::Create(JobHost &host, TGenericInput &chain,
                                                           JobOptions options) {
  auto job = std::make_unique<ProcessingThread>(Key(), host, chain, std::move(options));
  job->testMode_ = chain.testMode();

  host.runOnUserInterfaceAndWait([&] {
    host.increaseThreadCount();
    const JobOptions &o = job->options_;
    job->log_ = openLog(o.loggingOn ? o.logFileName : std::string(), o.appendToLog);
    job->statusWindow_ = host.createStatusWindow();
    if (auto window = job->statusWindow_.lock()) {
      window->setCaption(o.filterName);
      window->setDeferLogging(o.deferLogging);
      window->setLogFileName(o.logFileName);
      window->setLoggingOn(o.loggingOn);
      window->setLineLimit(o.lineLimit);
      window->setTotal(0);
      window->setProcessedFiles(0);
      window->setTestMode(job->testMode_);
      // Attached here, before the run: the window's cancel works from the start.
      window->setJob(job.get());
    }
  });

  addRunningJob(job.get());
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, jobStackSize + chain.chainSize() * stackPerFilter);
  int error = pthread_create(&job->thread_, &attributes, &ProcessingThread::threadMain, job.get());
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    removeRunningJob(job.get());
    job->finish();
    throw Exception(Format("Couldn't start the job: %s", {std::string(std::strerror(error))}));
  }
  job->threadStarted_ = true;
  return job;
}

void *ProcessingThread::threadMain(void *self) {
  auto *job = static_cast<ProcessingThread *>(self);
  job->Execute();
  removeRunningJob(job);
  job->host_.jobExecuted(*job);
  return nullptr;
}

void ProcessingThread::abortAllAndWait() {
  while (!abortAllAndWaitFor(std::chrono::minutes(1))) {
  }
  RunningJobs &running = runningJobs();
  std::lock_guard lock(running.mutex);
  running.closing = false;
}

bool ProcessingThread::abortAllAndWaitFor(std::chrono::milliseconds limit) {
  RunningJobs &running = runningJobs();
  std::unique_lock lock(running.mutex);
  running.closing = true;
  for (JobSink *job : running.jobs)
    job->terminate();
  return running.ended.wait_for(lock, limit, [&] { return running.jobs.empty(); });
}

void ProcessingThread::abortAllForExit(std::chrono::milliseconds grace) {
  abortAllAndWaitFor(grace);
  removeAllTemporaries();
}

ProcessingThread::~ProcessingThread() {
  try {
    finish();
  } catch (...) {
  }
}

void ProcessingThread::finish() {
  if (threadStarted_) {
    threadStarted_ = false;
    pthread_join(thread_, nullptr);
  }
  if (ended_)
    return;
  ended_ = true;
  host_.runOnUserInterfaceAndWait([this] { jobTerminated(); });
}

void ProcessingThread::jobTerminated() {
  queryReplaceDialog_.reset();
  // A log that could not be written was reported as an error: the job did
  // not keep what it promised.
  if (log_ && log_->failed())
    failed_ = true;
  closeLog(log_);
  log_ = nullptr;
  const bool stopped = stopped_.value_or(isAborted());
  if (auto window = statusWindow_.lock()) {
    window->jobEnded(stopped ? JobEnd::Stopped : failed_ ? JobEnd::Failed : JobEnd::Finished);
    if (options_.closeStatusWhenDone && !window->hasErrors())
      host_.releaseStatusWindow(window);
  }
  if (options_.onEnded)
    options_.onEnded(failed_ || errorCount_ > 0 || stopped);
  host_.reduceThreadCount();
}

// --- The run ---

void ProcessingThread::Execute() {
  // Released at the end of the run, on every path.
  JobThreadContext context;
  currentContext = &context;
  struct ContextGuard {
    ~ContextGuard() { currentContext = nullptr; }
  } contextGuard;
  CurrentJobScope jobScope(this);

  try {
    try {
      beginRun();
      chain_.attachJob(this);
      chain_.runInput();
    } catch (const EAbort &) {
      // A stop that comes in the middle of a chunk (a long match) ends the
      // run as one between chunks does, with the same lines and summary.
      terminate();
    }
    stopped_ = isAborted();
    endRun();
  } catch (const EAbort &) {
    failed_ = true;
    handleException({}, true);
  } catch (const std::bad_alloc &) {
    handleException(
        Format("Out of memory while running the filter list [%s]", {options_.filterName}), false);
  } catch (const std::exception &error) {
    handleException(error.what(), false);
  } catch (...) {
    handleException("Unknown error", false);
  }
}

void ProcessingThread::beginRun() {
  addLogLine(translateFormat(3620, "Filter name [%s]", {loggedLine(options_.filterName)}));
  addLogLine(translateFormat(3630, "Job started by [%s]", {networkUserName()}));
  startTime_ = std::chrono::steady_clock::now();
  // The window's starting state in one call: the job waits for each.
  nonBinarySkipped_ = binarySkipped_ = processedFiles_ = failedFiles_ = 0;
  totalFiles_ = 1;
  fileProgressShown_ = 0;
  fileProgressReached_.store(0, std::memory_order_relaxed);
  withWindow([&](JobStatusWindow &window) {
    window.setNonBinarySkipped(0);
    window.setBinarySkipped(0);
    window.setStatusFileName("");
    window.setFileProgress(0);
    window.setTotal(1);
    window.setProcessedFiles(0);
    window.setTaskProgress(0);
    window.runStarted(startTime_);
  });
}

void ProcessingThread::endRun() {
  showElapsedTimeNow(true);
  if (options_.playSound) {
    std::string sound = unquote(options_.soundFile);
    host_.runOnUserInterfaceAndWait([&] { host_.playSound(sound); });
  }
  progressPending_ = -1;
  // A stopped job's bars stay where its work reached.
  const bool stopped = *stopped_;
  const bool progressShown = fileProgressShown_ == 100;
  if (!stopped) {
    fileProgressShown_ = 100;
    fileProgressReached_.store(100, std::memory_order_relaxed);
  }
  const std::string finished = translate(3640, "(Finished)");
  withWindow([&](JobStatusWindow &window) {
    if (!stopped) {
      if (!progressShown)
        window.setFileProgress(100);
      window.setTaskProgress(100);
    }
    window.setStatusFileName(finished);
  });
  if (stopped) {
    setStatusText(translate(3650, "Interrupted."));
    if (const int signal = quitSignal())
      // Nobody chose to stop: the program is being ended. An error line is
      // also what a run without a screen shows on standard error.
      addErrorLine(Format("Job stopped by signal %s. ", {signalName(signal)}) + summary());
    else
      addLogLine(translate(3660, "Job aborted by user. ") + summary());
  } else {
    // The status bar said what the input was doing; it must not go on
    // saying so once the job is over.
    const std::string finished = translate(3670, "Job finished. ") + summary();
    setStatusText(finished);
    addLogLine(finished);
  }
}

void ProcessingThread::handleException(const std::string &message, bool silent) {
  if (silent)
    return;
  failed_ = true;
  try {
    host_.runOnUserInterfaceAndWait([&] {
      // The time the failure stays on screen is not the run's.
      if (auto window = statusWindow_.lock())
        window->runOver();
      host_.showJobException(message);
    });
  } catch (...) {
    // Nothing is left to tell the user with; the job still ends.
  }
}

std::string ProcessingThread::summary() const {
  return translateFormat(
      3610, "%d of %d files processed, %d binary files skipped, %d non-binary files skipped",
      {processedFiles_, totalFiles_, binarySkipped_, nonBinarySkipped_});
}

std::string ProcessingThread::elapsedTimeText(std::chrono::milliseconds elapsed) {
  std::int64_t ms = std::max<std::int64_t>(elapsed.count(), 0);
  std::int64_t hours = ms / 3'600'000;
  std::int64_t minutes = ms / 60'000 % 60;
  std::int64_t seconds = ms / 1000 % 60;
  std::int64_t tenths = ms % 1000 / 100;
  return translateFormat(3800, "%d:%.02d:%.02d.%d seconds", {hours, minutes, seconds, tenths});
}

// --- Calls onto the user-interface thread ---

void ProcessingThread::withWindow(const std::function<void(JobStatusWindow &)> &call) {
  host_.runOnUserInterfaceAndWait([&] {
    if (auto window = statusWindow_.lock())
      call(*window);
  });
}

void ProcessingThread::statusLine(const std::string &text, int level) {
  host_.runOnUserInterfaceAndWait([&] {
    if (auto window = statusWindow_.lock()) {
      if (level == static_cast<int>(TLogLevel::Error))
        window->addError(text);
      else
        window->addStatusLine(text);
    } else if (log_) {
      log_->log(static_cast<TLogLevel>(level), text);
    }
  });
}

void ProcessingThread::addLogLine(const std::string &text) {
  statusLine(text, static_cast<int>(TLogLevel::Info));
}

void ProcessingThread::addInfoLine(const std::string &text) { addLogLine(text); }

void ProcessingThread::addWarningLine(const std::string &text) { addLogLine(text); }

void ProcessingThread::addErrorLine(const std::string &text) {
  ++errorCount_;
  statusLine(text, static_cast<int>(TLogLevel::Error));
}

void ProcessingThread::setStatusText(const std::string &text) {
  withWindow([&](JobStatusWindow &window) { window.setStatusText(text); });
}

void ProcessingThread::setStatusFileName(const std::string &name) {
  withWindow([&](JobStatusWindow &window) { window.setStatusFileName(name); });
}

void ProcessingThread::showElapsedTime() {
  auto now = std::chrono::steady_clock::now();
  if (now - lastElapsedShown_ < reportInterval)
    return;
  showElapsedTimeNow();
}

void ProcessingThread::showElapsedTimeNow(bool last) {
  lastElapsedShown_ = std::chrono::steady_clock::now();
  std::string text = elapsedTimeText(
      std::chrono::duration_cast<std::chrono::milliseconds>(lastElapsedShown_ - startTime_));
  const int progress = progressPending_;
  progressPending_ = -1;
  if (progress >= 0)
    fileProgressShown_ = progress;
  withWindow([&](JobStatusWindow &window) {
    if (last)
      window.runOver();
    window.setElapsedText(text);
    if (progress >= 0)
      window.setFileProgress(progress);
  });
}

void ProcessingThread::setFileProgress(int percent) {
  fileProgressReached_.store(percent, std::memory_order_relaxed);
  if (percent == fileProgressShown_) {
    progressPending_ = -1;
    return;
  }
  // Between a file's start and end the progress goes with the next report
  // of the elapsed time.
  if (percent != 0 && percent != 100) {
    progressPending_ = percent;
    return;
  }
  progressPending_ = -1;
  fileProgressShown_ = percent;
  withWindow([&](JobStatusWindow &window) { window.setFileProgress(percent); });
}

void ProcessingThread::setTaskProgress(int percent) {
  withWindow([&](JobStatusWindow &window) { window.setTaskProgress(percent); });
}

void ProcessingThread::setNonBinarySkipped(int count) {
  nonBinarySkipped_ = count;
  withWindow([&](JobStatusWindow &window) { window.setNonBinarySkipped(count); });
}

void ProcessingThread::incNonBinarySkipped() {
  setNonBinarySkipped(checkedAdd(nonBinarySkipped_, 1));
}

void ProcessingThread::setBinarySkipped(int count) {
  binarySkipped_ = count;
  withWindow([&](JobStatusWindow &window) { window.setBinarySkipped(count); });
}

void ProcessingThread::incBinarySkipped() { setBinarySkipped(checkedAdd(binarySkipped_, 1)); }

void ProcessingThread::setProcessedFiles(int count) {
  processedFiles_ = count;
  showFilesDone();
}

void ProcessingThread::incProcessedFiles() { setProcessedFiles(checkedAdd(processedFiles_, 1)); }

void ProcessingThread::takeBackProcessedFiles(int count) {
  const int back = std::clamp(count, 0, processedFiles_);
  failedFiles_ = checkedAdd(failedFiles_, back);
  setProcessedFiles(processedFiles_ - back);
}

void ProcessingThread::incFailedFiles() {
  failedFiles_ = checkedAdd(failedFiles_, 1);
  showFilesDone();
}

void ProcessingThread::showFilesDone() {
  // The window counts the files the job is through with, failed ones too:
  // a job whose every file fails still moves on through its list.
  const int done = checkedAdd(processedFiles_, failedFiles_);
  withWindow([&](JobStatusWindow &window) { window.setProcessedFiles(done); });
}

void ProcessingThread::setTotalFiles(int count) {
  totalFiles_ = count;
  withWindow([&](JobStatusWindow &window) { window.setTotal(count); });
  setProcessedFiles(0);
}

void ProcessingThread::logInputFile(const std::string &name, std::int64_t size) {
  std::string line = translateFormat(3790, "Input file [%s]  Size: %0.n bytes",
                                     {loggedName(name), static_cast<double>(size)});
  host_.runOnUserInterfaceAndWait([&] {
    if (auto window = statusWindow_.lock()) {
      window->addStatusLine(line);
      window->addResultFile(name);
    } else if (log_) {
      log_->log(TLogLevel::Info, line);
    }
  });
}

void ProcessingThread::logOutputFile(const std::string &name, std::int64_t size) {
  std::string line = translateFormat(3780, "Output file [%s]  Size: %0.n bytes",
                                     {loggedName(name), static_cast<double>(size)});
  host_.runOnUserInterfaceAndWait([&] {
    if (auto window = statusWindow_.lock()) {
      window->addStatusLine(line);
      if (testMode_)
        window->addOutputFile(name);
      else
        window->addResultFile(name);
    } else if (log_) {
      log_->log(TLogLevel::Info, line);
    }
  });
}

Answer ProcessingThread::askQuestion(const std::string &text) {
  Answer answer = Answer::Cancel;
  host_.runOnUserInterfaceAndWait([&] { answer = host_.askQuestion(text); });
  return answer;
}

Answer ProcessingThread::queryReplace(QueryReplaceRequest &request) {
  Answer answer = Answer::Cancel;
  host_.runOnUserInterfaceAndWait([&] {
    if (!queryReplaceDialog_)
      queryReplaceDialog_ = host_.createQueryReplaceDialog();
    answer = queryReplaceDialog_->confirmReplace(request);
  });
  if (answer == Answer::Cancel || answer == Answer::Stop)
    terminate();
  return answer;
}

void ProcessingThread::toggleClipboardButton() {
  if (options_.toggleClipboardButton)
    host_.runOnUserInterfaceAndWait(options_.toggleClipboardButton);
}

// The chain belongs to this thread, the one filters ask on: nothing crosses.
bool ProcessingThread::isInputFile(const std::string &fileName) {
  return chain_.isInputFile(fileName);
}

void ProcessingThread::runSynchronized(const std::function<void()> &call) {
  host_.runOnUserInterfaceAndWait(call);
}

} // namespace marrowen

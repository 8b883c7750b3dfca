#include "filters/executeprogram.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/paths.h"
#include "classlib/safefile.h"
#include "classlib/scopeexit.h"
#include "classlib/streams.h"
#include "classlib/temporaries.h"
#include "engine/job.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/shell.h"
#include "engine/userinterface.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace marrowen {

namespace {

constexpr std::size_t resultBlockSize = 4096;
// The wait for the program starts with short steps, so that a quick program
// costs little, and settles at the longest step.
constexpr auto firstWaitStep = std::chrono::milliseconds(1);
constexpr auto longestWaitStep = std::chrono::milliseconds(50);
// How long a cancelled program may take to end after it was asked to.
constexpr auto terminationGrace = std::chrono::seconds(1);

// Starts `words` in our current folder; 0 and the process id, or the errno
// of the failure (a failed exec included).
int spawnProgram(std::vector<std::string> words, pid_t &pid) {
  std::vector<char *> argv;
  argv.reserve(words.size() + 1);
  for (std::string &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);

  SpawnSetup setup;
  // The data comes through the data file; a program that reads its input
  // anyway must not wait for a terminal.
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // A group of its own, so that a cancelled job ends the program and
  // whatever it started; signals as a fresh program expects them.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal :
       {SIGPIPE, SIGXFSZ, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2})
    sigaddset(&defaults, signal);
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setflags(&setup.attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  return ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
}

// Whether the process has ended (and is reaped); `status` then tells how,
// 0 when it was reaped elsewhere.
bool reaped(pid_t pid, int &status) {
  status = 0;
  pid_t result = ::waitpid(pid, &status, WNOHANG);
  // ECHILD: reaped elsewhere already.
  if (result < 0)
    status = 0;
  return result == pid || (result < 0 && errno != EINTR);
}

// Ends a program and everything in its process group, and reaps it.
void endProgram(pid_t pid) {
  ::kill(-pid, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + terminationGrace;
  int status = 0;
  while (!reaped(pid, status)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return;
    }
    std::this_thread::sleep_for(longestWaitStep);
  }
  ::kill(-pid, SIGKILL); // what the program left running
}

// A relative name as the current folder makes it, for messages.
std::string fullName(const std::string &file) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(file, error);
  return error ? file : full.string();
}

} // namespace

TExecuteProgram::TExecuteProgram(std::string resultFileName, std::string dataFileName,
                                 std::string commandLine)
    : resultFileName_(std::move(resultFileName)), dataFileName_(std::move(dataFileName)),
      commandLine_(std::move(commandLine)) {}

TExecuteProgram::~TExecuteProgram() { releaseDataFile(); }

void TExecuteProgram::setInputFilename(const std::string &name) {
  inputName_ = name;
  TFilter::setInputFilename(name);
}

void TExecuteProgram::startFile() {
  data_.reset();
  releaseDataFile();
  if (dataFileName_.empty())
    throw EFCreateError(dataFileName_);
  if (resultFileName_.empty())
    throw EFOpenError(resultFileName_);
  refuseJobInputs();
  // Stopped while another held it: nothing is written, and nothing runs.
  if (!holdDataFile())
    return;
  data_ = std::make_unique<TFileStream>(dataFileName_, TFileMode::fmCreate);
  TFilter::startFile();
}

bool TExecuteProgram::holdDataFile() {
  // Without waiting for a reader, should a pipe stand in the data file's place.
  int fd;
  do
    fd = ::open(dataFileName_.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  struct stat info {};
  if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    ::close(fd);
    throw EFCreateError(dataFileName_, "It is not a regular file");
  }
  if (fd < 0)
    throw EFCreateError(dataFileName_,
                        errno == ENXIO ? std::string("It is not a regular file")
                                       : std::error_code(errno, std::system_category()).message());
  dataHold_ = fd;
  bool told = false;
  // A file system that keeps no locks (ENOLCK) is used as before.
  for (int refused = lockForWriting(fd); refused == EAGAIN || refused == EACCES;
       refused = lockForWriting(fd)) {
    if (job() && !std::exchange(told, true))
      logInfo(Format("Waiting while another job or program uses the data file [%s]",
                     {loggedName(fullName(dataFileName_))}));
    if (isAborted()) {
      releaseDataFile();
      return false;
    }
    if (!job())
      processMessages();
    std::this_thread::sleep_for(longestWaitStep);
  }
  return true;
}

void TExecuteProgram::releaseDataFile() {
  if (dataHold_ >= 0)
    ::close(dataHold_);
  dataHold_ = -1;
}

// The data file is emptied for every input, and the result file removed and
// written by the program: either being an input of the job would lose that
// input's text.
void TExecuteProgram::refuseJobInputs() {
  if (!job())
    return;
  auto refuse = [this](const char *text, const std::string &file) {
    throw EStreamError(Format(text, {loggedName(inputName_), loggedName(fullName(file))}));
  };
  if (job()->isInputFile(dataFileName_))
    refuse("Not writing the data of [%s] for the program into [%s]: that file is an input of "
           "this job",
           dataFileName_);
  if (job()->isInputFile(resultFileName_))
    refuse("Not letting the program write its result for [%s] over [%s]: that file is an input "
           "of this job",
           resultFileName_);
}

bool TExecuteProgram::processChunk(std::string &chunk) {
  if (!data_)
    throw EStreamError("Stream write error");
  data_->WriteBuffer(chunk);
  return true;
}

void TExecuteProgram::abandonFile() {
  data_.reset();
  releaseDataFile();
  TFilter::abandonFile();
}

void TExecuteProgram::endFile() {
  TFilter::endFile();
  // Held until this input's result has been read, whatever ends the exchange.
  const ScopeExit release{[this] { releaseDataFile(); }};
  if (!data_)
    return;
  // A data file whose close failed (a network disk's write-back) may not
  // hold the whole text: the program does not run on it.
  std::unique_ptr<TFileStream> data = std::move(data_);
  data->Close();
  if (isAborted())
    return;

  // A result left by an earlier input or job would pass for this run's, so
  // it goes first; a program that rewrites its data file keeps it, and the
  // file being read is never deleted.
  if (!sameFile(resultFileName_, dataFileName_) && !sameFile(resultFileName_, inputName_) &&
      ::unlink(resultFileName_.c_str()) != 0 && errno != ENOENT) {
    const std::string reason = std::error_code(errno, std::system_category()).message();
    throw EStreamError(translateFormat(5110, "Couldn't delete file [%s]:%s",
                                       {loggedName(resultFileName_), reason}));
  }

  std::vector<std::string> words = splitShellWords(commandLine_);
  pid_t pid = 0;
  if (words.empty() || spawnProgram(std::move(words), pid) != 0) {
    if (job())
      job()->terminate();
    logError(translateFormat(5220, "Couldn't run program %s", {commandLine_}));
    return;
  }
  {
    const TemporaryEntry running = TemporaryEntry::program(pid); // if we end under it
    auto step = firstWaitStep;
    int status = 0;
    while (!reaped(pid, status)) {
      if (isAborted()) {
        endProgram(pid);
        return;
      }
      if (!job())
        processMessages();
      std::this_thread::sleep_for(step);
      step = std::min(step * 2, longestWaitStep);
    }
    // A program that was killed leaves at best part of a result.
    if (WIFSIGNALED(status))
      throw EStreamError(Format("The program %s was ended by signal %d: its result is not used",
                                {commandLine_, WTERMSIG(status)}));
    // Its result is still passed on (grep ends 1 when nothing matched, which
    // is no failure), but a program that failed half-way may have left only
    // part of it: the log says so.
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
      logWarning(
          Format("The program %s ended with status %d", {commandLine_, WEXITSTATUS(status)}));
  }

  TFileStream result(resultFileName_, TFileMode::fmOpenRead);
  std::string block;
  while (true) {
    if (!job())
      processMessages();
    block.resize(resultBlockSize);
    std::size_t count = result.Read(block.data(), block.size());
    if (count == 0)
      break;
    block.resize(count);
    if (!sendToNext(block))
      break;
  }
}

} // namespace marrowen

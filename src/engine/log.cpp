#include "engine/log.h"

#include "classlib/codepage.h"
#include "classlib/paths.h"
#include "classlib/program.h"
#include "classlib/safefile.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "engine/userinterface.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

namespace {

void appendNumber(std::string &out, int value, int digits) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < digits)
    out.append(static_cast<std::size_t>(digits) - text.size(), '0');
  out += text;
}

// The class library's date and time codes that a log format may use: y, m, d,
// h, n (minutes), s, z (milliseconds), "m" after an hour meaning minutes, and
// quoted literal text; anything else is copied.
std::string formatDateTime(std::string_view format, LogMoment moment) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  localtime_r(&seconds, &local);
  int millis = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count() %
      1000);
  std::string out;
  bool afterHour = false;
  std::size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (c == '"' || c == '\'') {
      std::size_t close = format.find(c, i + 1);
      if (close == std::string_view::npos)
        close = format.size();
      out.append(format.substr(i + 1, close - i - 1));
      i = close + 1;
      continue;
    }
    bool letter = lower >= 'a' && lower <= 'z';
    std::size_t run = 1;
    while (letter && i + run < format.size() && (format[i + run] | 0x20) == lower)
      ++run;
    switch (lower) {
    case 'y':
      if (run <= 2)
        appendNumber(out, local.tm_year % 100, 2);
      else
        appendNumber(out, local.tm_year + 1900, 4);
      break;
    case 'm':
      appendNumber(out, afterHour ? local.tm_min : local.tm_mon + 1, run >= 2 ? 2 : 1);
      afterHour = false;
      break;
    case 'd':
      appendNumber(out, local.tm_mday, run >= 2 ? 2 : 1);
      break;
    case 'h':
      appendNumber(out, local.tm_hour, run >= 2 ? 2 : 1);
      break;
    case 'n':
      appendNumber(out, local.tm_min, run >= 2 ? 2 : 1);
      break;
    case 's':
      appendNumber(out, local.tm_sec, run >= 2 ? 2 : 1);
      break;
    case 'z':
      appendNumber(out, millis, run >= 3 ? 3 : 1);
      break;
    default:
      out.append(format.substr(i, run));
      break;
    }
    if (lower == 'h')
      afterHour = true;
    else if (letter && lower != 'm')
      afterHour = false;
    i += run;
  }
  return out;
}

// Writes `data` at the end of the file. A write cut short (a full disk) is
// taken back, so that the log never holds half a line: the bytes written go
// when nothing was appended after them.
bool appendWhole(int fd, std::string_view data, int &error) {
  std::size_t written = 0;
  while (written < data.size()) {
    ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (written == data.size())
    return true;
  struct stat info {};
  const off_t end = ::lseek(fd, 0, SEEK_CUR);
  if (written > 0 && end >= static_cast<off_t>(written) && ::fstat(fd, &info) == 0 &&
      info.st_size == end) {
    [[maybe_unused]] const int cut = ::ftruncate(fd, end - static_cast<off_t>(written));
  }
  return false;
}

const char *const notRegularText = "It is not a regular file";

// Holds the whole log for this program while it writes the header. Another
// program that keeps it for seconds is not waited for: the header and the
// lines go on without the lock.
class FileLock {
public:
  FileLock(int fd, const std::string &name)
      : fd_(lockOrGoOn(fd, name, "it is written without waiting for it.") ? fd : -1) {}
  ~FileLock() {
    if (fd_ >= 0)
      ::flock(fd_, LOCK_UN);
  }
  FileLock(const FileLock &) = delete;
  FileLock &operator=(const FileLock &) = delete;

private:
  int fd_;
};

// Opens the log for appending without waiting: a pipe in its place would hold
// up the thread that opens it until a reader came. Every write appends,
// whoever made the file, so two programs sharing one log both write at its
// end. Sets `created` when the file may need its header: this call made it or
// found it empty (or, without `append`, emptied it). -1 with `error` set, or with
// `refusal` for a file that is no regular file.
int openLogFile(const std::string &name, bool append, bool &created, int &error,
                const char *&refusal) {
  constexpr int flags = O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC;
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    refusal = notRegularText;
    return -1;
  }
  int fd = -1;
  created = false;
  for (int attempt = 0; fd < 0 && attempt < 3; ++attempt) {
    if (!append) {
      fd = ::open(name.c_str(), flags | O_CREAT, 0666);
      created = fd >= 0;
    } else if ((fd = ::open(name.c_str(), flags | O_CREAT | O_EXCL, 0666)) >= 0) {
      created = true;
    } else if (errno == EEXIST) {
      fd = ::open(name.c_str(), flags);
    }
    // Gone between the two opens: try again; any other failure is final.
    if (fd < 0 && errno != ENOENT && errno != EINTR && errno != EEXIST)
      break;
  }
  if (fd < 0) {
    error = errno;
    return -1;
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    refusal = notRegularText;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  // An empty log (its header cut back on a full disk) gets its header now,
  // or its lines would stand under none.
  if (info.st_size == 0)
    created = true;
  if (!append && ::ftruncate(fd, 0) != 0) {
    error = errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

constexpr std::string_view lineEnd = "\r\n";

// A log line is written as the engine holds it, as grep and `ls` read names:
// a file name keeps its bytes (one that no UTF-8 holds too), so the line
// names that file and never one spelled with a letter in that byte's place.
std::string inLogEncoding(std::string_view text) { return std::string(text); }

} // namespace

std::string logLevelText(TLogLevel level) {
  switch (level) {
  case TLogLevel::Info:
    return translate(900, "Info");
  case TLogLevel::Warning:
    return translate(910, "Warning");
  case TLogLevel::Error:
    return translate(920, "Error");
  }
  return "**";
}

std::string formatLogDate(LogMoment moment) {
  return formatDateTime(translate(1010, "yyyy-mm-dd"), moment);
}

std::string formatLogTime(LogMoment moment) {
  return formatDateTime(translate(1000, "hh:nn:ss"), moment);
}

void TNullLog::writeEntry(TLogLevel, std::string_view, std::string_view, std::string_view) {}

void TNullLog::log(TLogLevel, std::string_view) {}

TLog::TLog(std::string fullName, bool append) : TNullLog(std::move(fullName)) {
  if (fileName().empty()) {
    disabled_ = true;
    return;
  }
  try {
    bool created = false;
    int error = 0;
    const char *refusal = nullptr;
    fd_ = openLogFile(fileName(), append, created, error, refusal);
    // Programs that start on one new log at once write one header between
    // them: whoever holds the file's lock while it is still empty writes it,
    // and any other finds it written.
    std::optional<FileLock> headerLock;
    struct stat info {};
    if (fd_ >= 0 && created)
      headerLock.emplace(fd_, fileName());
    if (headerLock && ::fstat(fd_, &info) == 0 && info.st_size == 0) {
      LogMoment now = std::chrono::system_clock::now();
      std::string date = formatLogDate(now);
      std::string time = formatLogTime(now);
      std::string info = logLevelText(TLogLevel::Info);
      std::string header;
      header.append(program::displayName).append(" Log File").append(lineEnd);
      header.append(lineEnd);
      header.append(translate(930, "date,time,level,message")).append(lineEnd);
      header.append(translateFormat(940, "%s,%s,%s,Log file started", {date, time, info}))
          .append(lineEnd);
      header.append(translateFormat(950, "%s,%s,%s,%s", {date, time, info, program::displayName}))
          .append(lineEnd);
      if (!appendWhole(fd_, inLogEncoding(header), error)) {
        disabled_ = true;
        createError_ = failureText(970,
                                   "Error writing to log file %s - logging is now "
                                   "disabled\r\n%s",
                                   error);
      }
    }
    if (fd_ < 0) {
      disabled_ = true;
      createError_ = refusal ? translateFormat(970,
                                               "Error writing to log file %s - logging is now "
                                               "disabled\r\n%s",
                                               {loggedName(fileName()), refusal})
                             : failureText(970,
                                           "Error writing to log file %s - logging is now "
                                           "disabled\r\n%s",
                                           error);
    }
  } catch (const std::exception &e) {
    disabled_ = true;
    createError_ = e.what();
  }
}

TLog::~TLog() {
  if (fd_ >= 0)
    ::close(fd_);
}

std::string TLog::failureText(int id, std::string_view defaultText, int error) const {
  return translateFormat(id, defaultText, {loggedName(fileName()), std::strerror(error)});
}

void TLog::reportCreateError() {
  std::string message;
  {
    std::lock_guard lock(mutex_);
    message.swap(createError_);
  }
  if (!message.empty())
    showMessageBox(MessageBoxKind::Error, message);
}

bool TLog::disabled() const {
  std::lock_guard lock(mutex_);
  return disabled_;
}

bool TLog::failed() const { return disabled(); }

void TLog::writeEntry(TLogLevel level, std::string_view date, std::string_view time,
                      std::string_view message) {
  std::string failure;
  try {
    MessageMisfitsDeferred deferred;
    std::lock_guard lock(mutex_);
    if (disabled_)
      return;
    std::string line = inLogEncoding(
        translateFormat(980, "%s,%s,%s,%s", {date, time, logLevelText(level), message}));
    line.append(lineEnd);
    int error = 0;
    if (!appendWhole(fd_, line, error)) {
      disabled_ = true;
      failure =
          failureText(990, "Error writing to log file %s - logging is now disabled\r\n%s", error);
    }
  } catch (const std::exception &e) {
    std::lock_guard lock(mutex_);
    disabled_ = true;
    failure = e.what();
  }
  reportMessageMisfits();
  if (!failure.empty())
    showMessageBox(MessageBoxKind::Error, failure);
}

void TLog::log(TLogLevel level, std::string_view message) {
  if (disabled())
    return;
  LogMoment now = std::chrono::system_clock::now();
  writeEntry(level, formatLogDate(now), formatLogTime(now), message);
}

std::string loggedName(std::string_view fileName) { return loggedLine(fileNameText(fileName)); }

std::string loggedLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string TLogManager::resolveName(std::string_view typedName) {
  // A log file box puts a name holding a blank inside double quotes; the file
  // is the one named inside them, as for every other file a node names.
  const std::string unquoted = unquote(typedName);
  const std::string_view fileName = unquoted;
  if (fileName.empty())
    return std::string();
  if (fileName.find('/') == std::string_view::npos)
    return fileForWriting(fileName);
  std::error_code ec;
  auto absolute = std::filesystem::absolute(std::filesystem::path(fileName), ec);
  if (ec)
    return std::string(fileName);
  return absolute.lexically_normal().string();
}

TNullLog *TLogManager::getLog(std::string_view fileName, bool append) {
  std::string fullName = resolveName(fileName);
  TLog *created = nullptr;
  TNullLog *result = nullptr;
  {
    MessageMisfitsDeferred deferred;
    std::lock_guard lock(mutex_);
    for (auto &log : logs_) {
      if (log->fileName() == fullName) {
        ++log->useCount_;
        return log.get();
      }
    }
    std::unique_ptr<TNullLog> log;
    if (fullName.empty()) {
      log = std::make_unique<TNullLog>(std::string());
    } else {
      auto fileLog = std::make_unique<TLog>(fullName, append);
      created = fileLog.get();
      log = std::move(fileLog);
    }
    result = log.get();
    logs_.push_back(std::move(log));
  }
  if (created)
    created->reportCreateError();
  reportMessageMisfits();
  return result;
}

void TLogManager::release(TNullLog *log) {
  std::unique_ptr<TNullLog> freed; // closed after the lock is let go
  std::lock_guard lock(mutex_);
  auto it = std::find_if(logs_.begin(), logs_.end(),
                         [log](const auto &held) { return held.get() == log; });
  if (it == logs_.end())
    return;
  if (--(*it)->useCount_ == 0) {
    freed = std::move(*it);
    logs_.erase(it);
  }
}

bool TLogManager::holds(std::string_view fullName) const {
  std::lock_guard lock(mutex_);
  return std::any_of(logs_.begin(), logs_.end(),
                     [fullName](const auto &log) { return log->fileName() == fullName; });
}

TLogManager &logManager() {
  static TLogManager manager;
  return manager;
}

TNullLog *openLog(std::string_view fileName, bool append) {
  return logManager().getLog(fileName, append);
}

void closeLog(TNullLog *log) {
  if (log)
    logManager().release(log);
}

void writeDefaultLog(TLogLevel level, std::string_view message) {
  LogHandle log = openLogHandle(program::defaultLogName, true);
  log->log(level, message);
}

} // namespace marrowen

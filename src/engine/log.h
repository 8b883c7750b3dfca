#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

enum class TLogLevel : int { Info = 0, Warning = 1, Error = 2 };

// "Info", "Warning", "Error" (messages 900-920); "**" for any other value.
std::string logLevelText(TLogLevel level);

using LogMoment = std::chrono::system_clock::time_point;
// The moment in local time, as message 1010 "yyyy-mm-dd" and message 1000
// "hh:nn:ss" say (the class library's date and time codes; "nn" is minutes).
std::string formatLogDate(LogMoment moment);
std::string formatLogTime(LogMoment moment);

// A log that writes nothing: what a job gets when it asks for no log, so its
// code never tests whether logging is on.
class TNullLog {
public:
  explicit TNullLog(std::string fileName) : fileName_(std::move(fileName)) {}
  virtual ~TNullLog() = default;
  TNullLog(const TNullLog &) = delete;
  TNullLog &operator=(const TNullLog &) = delete;

  // The full name under which the log is shared; empty for the null log.
  const std::string &fileName() const { return fileName_; }

  virtual void writeEntry(TLogLevel level, std::string_view date, std::string_view time,
                          std::string_view message);
  virtual void log(TLogLevel level, std::string_view message);
  // Whether the log could not be created or written: what was to go into it
  // is lost, and its user was told so.
  virtual bool failed() const { return false; }

private:
  friend class TLogManager;
  std::string fileName_;
  int useCount_ = 1; // guarded by the manager
};

// One comma-separated log file in UTF-8, open from creation until the object
// goes. A new file starts with the five header lines; each entry is one line
// of date, time, level and the message as it is, ended by CR LF and appended at once,
// or not at all: a line cut short by a full disk is taken back. Only a regular
// file is a log.
// Safe from several threads. The first failure to create or write disables
// the log for good and is shown once in the user interface's message box; nothing is
// ever thrown to the caller.
class TLog : public TNullLog {
public:
  TLog(std::string fullName, bool append);
  ~TLog() override;

  void writeEntry(TLogLevel level, std::string_view date, std::string_view time,
                  std::string_view message) override;
  void log(TLogLevel level, std::string_view message) override;

  bool disabled() const;
  bool failed() const override;

private:
  friend class TLogManager;
  // Shows an error kept back from the constructor, outside every lock.
  void reportCreateError();
  std::string failureText(int id, std::string_view defaultText, int error) const;

  mutable std::mutex mutex_;
  int fd_ = -1;
  bool disabled_ = false;
  std::string createError_;
};

// The live logs, shared by their resolved full name with use counts. A bare
// file name resolves to the program folder when it is writable, otherwise to
// the data folder; any other name to its absolute form. Names are compared
// exactly, letter case included. Safe from several threads.
class TLogManager {
public:
  // Never returns nothing: an empty name gives the one null log.
  TNullLog *getLog(std::string_view fileName, bool append);
  // Lowers the use count of `log`, freeing it at zero; unknown logs are ignored.
  void release(TNullLog *log);

  // The full name that `fileName` is shared under; a name in double quotes
  // is the name inside them.
  static std::string resolveName(std::string_view fileName);
  // Whether a live log is shared under `fullName` (tests).
  bool holds(std::string_view fullName) const;

private:
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<TNullLog>> logs_;
};

// The run's manager, created on first use.
TLogManager &logManager();
TNullLog *openLog(std::string_view fileName, bool append);
void closeLog(TNullLog *log);

// A log reference that closes itself.
struct LogCloser {
  void operator()(TNullLog *log) const { closeLog(log); }
};
using LogHandle = std::unique_ptr<TNullLog, LogCloser>;
inline LogHandle openLogHandle(std::string_view fileName, bool append) {
  return LogHandle(openLog(fileName, append));
}

// Text as it goes into a log line, with its line ends written as "\r" and
// "\n": a name holding them would otherwise start a line of its own that
// reads as an entry.
std::string loggedLine(std::string_view text);
// A file name as it goes into a log line or a message: as the file system
// spells it (fileNameText), its line ends written as loggedLine does.
std::string loggedName(std::string_view fileName);

// One entry in the default log "marrowen.log", opened for appending.
void writeDefaultLog(TLogLevel level, std::string_view message);

} // namespace marrowen

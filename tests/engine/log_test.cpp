#include "engine/log.h"
#include "engine/userinterface.h"

#include "classlib/paths.h"
#include "classlib/registry.h"
#include "classlib/safefile.h"
#include "engine/messages.h"
#include "support/temp_folder.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace marrowen;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

namespace {

std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    EXPECT_NE(end, std::string::npos) << "line without CR LF";
    if (end == std::string::npos)
      break;
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

// A program folder of its own and a record of the error messages shown.
class LogTest : public ::testing::Test {
protected:
  void SetUp() override { overrideProgramFolder(dir.path()); }
  void TearDown() override { overrideProgramFolder(""); }
  std::vector<std::string> shown() const { return ui->argumentsOf("showMessageBox"); }

  TempFolder dir;
  marrowen::testing::InstalledUserInterface ui;
};

// "yyyy-mm-dd,hh:nn:ss"
bool isStamp(std::string_view text) {
  constexpr std::string_view shape = "0000-00-00,00:00:00";
  if (text.size() != shape.size())
    return false;
  for (std::size_t i = 0; i < shape.size(); ++i)
    if (shape[i] == '0' ? (text[i] < '0' || text[i] > '9') : text[i] != shape[i])
      return false;
  return true;
}

} // namespace

TEST_F(LogTest, NewLogStartsWithFiveHeaderLines) {
  LogHandle log = openLogHandle("job.log", false);
  log->log(TLogLevel::Warning, "a, \"quoted\" message");
  log->log(TLogLevel::Error, "x");
  auto lines = linesOf(readFile(dir.file("job.log")));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Marrowen Pro Log File");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "date,time,level,message");
  std::string when = lines[3].substr(0, 19);
  EXPECT_TRUE(isStamp(when)) << when;
  EXPECT_EQ(lines[3], when + ",Info,Log file started");
  EXPECT_EQ(lines[4], when + ",Info,Marrowen Pro");
  EXPECT_TRUE(isStamp(lines[5].substr(0, 19)));
  EXPECT_EQ(lines[5].substr(19), ",Warning,a, \"quoted\" message");
  EXPECT_EQ(lines[6].substr(19), ",Error,x");
  EXPECT_TRUE(shown().empty());
}

TEST(LogFormat, DateTimeAndLevels) {
  setenv("TZ", "UTC", 1);
  tzset();
  LogMoment moment = std::chrono::system_clock::from_time_t(1796627045); // 2026-12-07 07:04:05
  EXPECT_EQ(formatLogDate(moment), "2026-12-07");
  EXPECT_EQ(formatLogTime(moment), "07:04:05");
  EXPECT_EQ(logLevelText(TLogLevel::Info), "Info");
  EXPECT_EQ(logLevelText(TLogLevel::Warning), "Warning");
  EXPECT_EQ(logLevelText(TLogLevel::Error), "Error");
  EXPECT_EQ(logLevelText(static_cast<TLogLevel>(3)), "**");
}

TEST_F(LogTest, TranslatedDateAndTimeFormats) {
  setenv("TZ", "UTC", 1);
  tzset();
  writeFile(dir.file("lang.ini"),
            "[global]\r\n1010=dd.MM.yy 'yy'\r\n1000=h:mm:s \"h\" zzz\r\n920=Fehler\r\n");
  auto previous = installStringLoader(std::make_shared<TStringLoader>(dir.file("lang.ini")));
  LogMoment moment = std::chrono::system_clock::from_time_t(1796627045);
  EXPECT_EQ(formatLogDate(moment), "07.12.26 yy");
  EXPECT_EQ(formatLogTime(moment), "7:04:5 h 000");
  EXPECT_EQ(logLevelText(TLogLevel::Error), "Fehler");
  installStringLoader(previous);
}

TEST_F(LogTest, BareAndFullNameShareOneLogClosedAfterLastRelease) {
  TNullLog *bare = openLog("shared.log", false);
  TNullLog *full = openLog(dir.file("shared.log"), false);
  TNullLog *dotted = openLog(dir.path() + "./sub/../shared.log", true);
  EXPECT_EQ(bare, full);
  EXPECT_EQ(bare, dotted);
  // The log file box quotes a name with a blank; it is the same file.
  TNullLog *quoted = openLog('"' + dir.file("shared.log") + '"', true);
  EXPECT_EQ(bare, quoted);
  closeLog(quoted);
  EXPECT_EQ(bare->fileName(), dir.file("shared.log"));
  bare->log(TLogLevel::Info, "one");
  closeLog(full);
  closeLog(dotted);
  EXPECT_TRUE(logManager().holds(dir.file("shared.log")));
  bare->log(TLogLevel::Info, "two");
  closeLog(bare);
  EXPECT_FALSE(logManager().holds(dir.file("shared.log")));
  EXPECT_EQ(linesOf(readFile(dir.file("shared.log"))).size(), 7u);
  closeLog(bare); // no longer held: nothing happens
  // The next open makes a new object; without append the file starts over.
  LogHandle again = openLogHandle("shared.log", false);
  EXPECT_EQ(linesOf(readFile(dir.file("shared.log"))).size(), 5u);
}

TEST_F(LogTest, NamesDifferingInCaseAreTwoLogs) {
  LogHandle lower = openLogHandle("case.log", false);
  LogHandle upper = openLogHandle("CASE.log", false);
  EXPECT_NE(lower.get(), upper.get());
}

TEST_F(LogTest, AppendKeepsOldLinesWithoutNewHeader) {
  writeFile(dir.file("old.log"), "old line\r\n");
  {
    LogHandle log = openLogHandle("old.log", true);
    log->log(TLogLevel::Info, "new");
  }
  auto lines = linesOf(readFile(dir.file("old.log")));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "old line");
  EXPECT_EQ(lines[1].substr(19), ",Info,new");
  { LogHandle log = openLogHandle("old.log", false); }
  EXPECT_EQ(linesOf(readFile(dir.file("old.log"))).size(), 5u);
  // An empty log, its header cut back on a full disk, gets the header first.
  writeFile(dir.file("empty.log"), "");
  openLogHandle("empty.log", true)->log(TLogLevel::Info, "new");
  lines = linesOf(readFile(dir.file("empty.log")));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "date,time,level,message");
}

TEST_F(LogTest, EmptyNameGivesOneSharedNullLog) {
  LogHandle a = openLogHandle("", true);
  LogHandle b = openLogHandle("", false);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(a->fileName(), "");
  a->log(TLogLevel::Error, "nowhere");
  EXPECT_TRUE(shown().empty());
}

// A write that a full disk (here a file-size limit) cuts short is taken
// back, so the log holds whole lines only; logging stops and says so once.
TEST_F(LogTest, FailedWriteLeavesWholeLinesDisablesAndShowsOnce) {
  LogHandle log = openLogHandle("full.log", false);
  log->log(TLogLevel::Info, "first");
  const std::string before = readFile(dir.file("full.log"));
  {
    marrowen::testing::FileSizeLimit full(before.size() + 40);
    EXPECT_NO_THROW(log->log(TLogLevel::Info, std::string(100, 'x')));
    EXPECT_NO_THROW(log->log(TLogLevel::Info, "second"));
    EXPECT_NO_THROW(log->writeEntry(TLogLevel::Info, "d", "t", "third"));
  }
  EXPECT_EQ(readFile(dir.file("full.log")), before);
  ASSERT_EQ(shown().size(), 1u);
  EXPECT_EQ(shown()[0].rfind("Error writing to log file " + dir.file("full.log") +
                                 " - logging is now disabled\r\n",
                             0),
            0u)
      << shown()[0];
  EXPECT_TRUE(static_cast<TLog *>(log.get())->disabled());
}

// Two programs that share a log each keep their lines, whichever of them made
// the file: both write at its end.
TEST_F(LogTest, TwoProgramsSharingALogBothKeepTheirLines) {
  for (bool creatorAppends : {true, false}) {
    std::filesystem::remove(dir.file("two.log"));
    TLog creator(dir.file("two.log"), creatorAppends);
    TLog other(dir.file("two.log"), true);
    for (int i = 0; i < 10; ++i) {
      other.log(TLogLevel::Info, "other " + std::to_string(i));
      creator.log(TLogLevel::Info, "creator " + std::to_string(i));
    }
    auto lines = linesOf(readFile(dir.file("two.log")));
    ASSERT_EQ(lines.size(), 25u) << creatorAppends;
    EXPECT_EQ(lines[0], "Marrowen Pro Log File");
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(lines[5 + 2 * i].substr(19), ",Info,other " + std::to_string(i));
      EXPECT_EQ(lines[6 + 2 * i].substr(19), ",Info,creator " + std::to_string(i));
    }
  }
  EXPECT_TRUE(shown().empty());
}

// A new log whose header another program keeps locked for seconds is
// written on without the lock, and the user told once which file it is.
TEST_F(LogTest, ALogAnotherProgramHoldsIsWrittenWithoutWaiting) {
  std::vector<std::string> told;
  SettingsStore::setReporter([&](const std::string &message) { told.push_back(message); });
  LockWaitLimitForTests limit(std::chrono::milliseconds(50));
  const std::string name = dir.file("held.log");
  writeFile(name, "");
  const int holder = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  for (const char *line : {"first", "second"}) {
    TLog log(name, false);
    log.log(TLogLevel::Info, line);
  }
  ::close(holder);
  SettingsStore::setReporter(nullptr);
  const auto lines = linesOf(readFile(name));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Marrowen Pro Log File");
  EXPECT_EQ(lines[5].substr(19), ",Info,second");
  EXPECT_EQ(told, std::vector<std::string>{"Another program holds " + name +
                                           ": it is written without waiting for it."});
}

// A pipe (or a device) named as the log would hold up the thread that opens
// it until a reader came: it is refused at once, and the job goes on.
TEST_F(LogTest, ALogThatIsNoRegularFileIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(dir.file("pipe.log").c_str(), 0600), 0);
  for (bool append : {true, false}) {
    std::atomic<bool> opened = false;
    std::thread opener([&] {
      LogHandle log = openLogHandle("pipe.log", append);
      log->log(TLogLevel::Info, "dropped");
      opened = true;
    });
    for (int i = 0; i < 500 && !opened; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool refusedAtOnce = opened;
    // A reader lets a blocked open go, so that the test ends.
    const int reader = refusedAtOnce ? -1 : ::open(dir.file("pipe.log").c_str(), O_RDONLY);
    opener.join();
    if (reader >= 0)
      ::close(reader);
    EXPECT_TRUE(refusedAtOnce) << append;
  }
  ASSERT_EQ(shown().size(), 2u);
  EXPECT_EQ(shown()[0], "Error writing to log file " + dir.file("pipe.log") +
                            " - logging is now disabled\r\nIt is not a regular file");
}

TEST(LogNames, LineEndsInANameAreWrittenEscaped) {
  EXPECT_EQ(loggedName("a\r\n2001-01-01,00:00:00,Error,b\nc"),
            "a\\r\\n2001-01-01,00:00:00,Error,b\\nc");
  EXPECT_EQ(loggedName("plain \\ name"), "plain \\ name");
  // As the file system spells it, nothing lost to the code page.
  EXPECT_EQ(loggedName("/\xC3\x9Cn\xC3\xAF\r.txt"), "/\xC3\x9Cn\xC3\xAF\\r.txt");
  EXPECT_EQ(loggedName("/\xE6\x97\xA5\xFF.txt"), "/\xE6\x97\xA5\xFF.txt");
  EXPECT_EQ(loggedLine("\xDCn\xEF\n"), "\xDCn\xEF\\n");
}

TEST_F(LogTest, FailedCreateDisablesAndShowsOnce) {
  std::filesystem::create_directory(dir.file("folder.log"));
  LogHandle log = openLogHandle("folder.log", false);
  LogHandle same = openLogHandle("folder.log", false);
  EXPECT_NO_THROW(log->log(TLogLevel::Info, "dropped"));
  ASSERT_EQ(shown().size(), 1u);
  EXPECT_EQ(shown()[0].rfind("Error writing to log file " + dir.file("folder.log") +
                                 " - logging is now disabled\r\n",
                             0),
            0u)
      << shown()[0];
  if (std::filesystem::exists("/dev/full")) {
    LogHandle full = openLogHandle("/dev/full", false); // the header cannot be written
    EXPECT_EQ(shown().size(), 2u);
  }
}

TEST_F(LogTest, ThreadsShareOneLog) {
  constexpr int threads = 4;
  constexpr int entries = 50;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([t] {
      LogHandle log = openLogHandle("threads.log", true);
      for (int i = 0; i < entries; ++i)
        log->log(TLogLevel::Info, "thread " + std::to_string(t) + " entry " + std::to_string(i));
    });
  for (auto &w : workers)
    w.join();
  auto lines = linesOf(readFile(dir.file("threads.log")));
  EXPECT_GE(lines.size(), static_cast<std::size_t>(threads * entries));
  EXPECT_FALSE(logManager().holds(dir.file("threads.log")));
  std::size_t entryLines = 0;
  for (const auto &line : lines) {
    if (line.find(",Info,thread ") == std::string::npos)
      continue;
    ++entryLines;
    EXPECT_TRUE(isStamp(line.substr(0, 19))) << line;
    EXPECT_NE(line.find(" entry "), std::string::npos) << line;
  }
  EXPECT_EQ(entryLines, static_cast<std::size_t>(threads * entries));
}

TEST_F(LogTest, DefaultLogAppendsBesideTheProgram) {
  writeDefaultLog(TLogLevel::Error, "first");
  writeDefaultLog(TLogLevel::Error, "second");
  auto lines = linesOf(readFile(dir.file("marrowen.log")));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Marrowen Pro Log File");
  EXPECT_EQ(lines[6].substr(19), ",Error,second");
}

TEST_F(LogTest, BareNameGoesToDataFolderWhenProgramFolderIsNotWritable) {
  writeFile(dir.file("notafolder"), "");
  overrideProgramFolder(dir.file("notafolder"));
  setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  {
    LogHandle log = openLogHandle("job.log", false);
    EXPECT_EQ(log->fileName(), dir.file("data/Marrowen/job.log"));
    log->log(TLogLevel::Info, "here");
  }
  EXPECT_EQ(linesOf(readFile(dir.file("data/Marrowen/job.log"))).size(), 6u);
  EXPECT_TRUE(shown().empty());
  unsetenv("XDG_DATA_HOME");
}

// Programs that start on one new log at the same moment: each writes its line,
// and the header stands once, at the top. Each program is this test run again
// as a process of its own, all let go at once.
TEST(LogPrograms, ProgramsStartingOnOneNewLogWriteOneHeader) {
  if (const char *start = std::getenv("MARROWEN_LOG_START")) {
    const char ready = 1;
    char go = 0;
    if (::write(std::atoi(std::getenv("MARROWEN_LOG_READY")), &ready, 1) != 1 ||
        ::read(std::atoi(start), &go, 1) != 0)
      ::_exit(2);
    TLog log(std::getenv("MARROWEN_LOG_NAME"), true);
    log.log(TLogLevel::Info, "program");
    ::_exit(log.disabled() ? 1 : 0);
  }
  TempFolder dir;
  constexpr int programs = 6;
  for (int round = 0; round < 4; ++round) {
    const std::string name = dir.file(std::to_string(round) + ".log");
    int start[2], ready[2];
    ASSERT_EQ(::pipe(start), 0);
    ASSERT_EQ(::pipe(ready), 0);
    ::fcntl(start[1], F_SETFD, FD_CLOEXEC);
    ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> environment = {"MARROWEN_LOG_START=" + std::to_string(start[0]),
                                            "MARROWEN_LOG_READY=" + std::to_string(ready[1]),
                                            "MARROWEN_LOG_NAME=" + name};
    for (char **variable = environ; *variable; ++variable)
      environment.emplace_back(*variable);
    std::vector<char *> envp;
    for (std::string &variable : environment)
      envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe", filter = "--gtest_filter=LogPrograms.*";
    char *argv[] = {self.data(), filter.data(), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<pid_t> started;
    for (int i = 0; i < programs; ++i) {
      pid_t pid = 0;
      ASSERT_EQ(::posix_spawn(&pid, self.c_str(), &quiet, nullptr, argv, envp.data()), 0);
      started.push_back(pid);
    }
    posix_spawn_file_actions_destroy(&quiet);
    ::close(start[0]);
    ::close(ready[1]);
    char byte = 0;
    for (int i = 0; i < programs; ++i)
      ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(start[1]); // every program reads the end at once
    ::close(ready[0]);
    for (pid_t pid : started) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<std::string> lines = linesOf(readFile(name));
    ASSERT_EQ(lines.size(), 5u + programs) << readFile(name);
    EXPECT_EQ(lines[0], "Marrowen Pro Log File");
    for (std::size_t i = 5; i < lines.size(); ++i)
      EXPECT_EQ(lines[i].substr(19), ",Info,program");
  }
}

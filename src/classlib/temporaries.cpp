#include "classlib/temporaries.h"

#include "classlib/paths.h"
#include "classlib/safefile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

namespace {

// A path, or a program's process group (then the path is empty).
struct Registered {
  std::string path;
  int processGroup = 0;
  std::string recordedAs; // the absolute path in the journal; empty when not there
};

struct Temporaries {
  std::mutex mutex;
  std::map<std::uint64_t, Registered> entries;
  std::uint64_t lastId = 0;
  bool ending = false;
  int journal = -1; // this process's journal, held locked; -1 when none
  std::string journalName;
  std::size_t recorded = 0; // the files it holds as in flight
};

Temporaries &temporaries() {
  static Temporaries all;
  return all;
}

// Kills a program's group (one that ignores SIGTERM would outlive us), or
// removes a path with all it holds.
void end(const Registered &entry) {
  if (entry.processGroup > 0) {
    ::kill(-entry.processGroup, SIGKILL);
    return;
  }
  std::error_code ignored;
  std::filesystem::remove_all(ReachableName(entry.path).c_str(), ignored);
}

constexpr std::string_view journalPrefix = "inflight-";

void writeRecord(int journal, char kind, const std::string &path) {
  std::string record(1, kind);
  record += path;
  record += '\0';
  // One write a record: a kill leaves whole records and at most one cut
  // short, which the reader passes over.
  for (std::string_view left = record; !left.empty();) {
    const ssize_t n = ::write(journal, left.data(), left.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    left.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Records the temporary file `path` as in flight; the name it is recorded
// by (absolute), empty when nothing is recorded. Called with the lock held.
std::string recordInFlight(Temporaries &all, const std::string &path) {
  if (all.journal < 0)
    return {};
  std::string recordedAs = path;
  if (recordedAs.empty() || recordedAs.front() != '/') {
    char folder[PATH_MAX];
    if (!::getcwd(folder, sizeof folder))
      return {};
    recordedAs = joinPath(folder, recordedAs);
  }
  writeRecord(all.journal, '+', recordedAs);
  ++all.recorded;
  return recordedAs;
}

// The file is no longer in flight: renamed over its target, removed, kept
// for the user, or never made. Called with the lock held.
void recordLanded(Temporaries &all, const std::string &recordedAs) {
  if (all.journal < 0 || recordedAs.empty())
    return;
  // A journal with nothing in flight starts again empty, so it stays short.
  if (--all.recorded == 0 && ::ftruncate(all.journal, 0) == 0)
    return;
  writeRecord(all.journal, '-', recordedAs);
}

// Makes a file under a new name from `pattern` (ending in "XXXXXX") with
// `make`, which answers 0 or the errno of its failure (EEXIST for a name
// taken meanwhile), and registers it; its id, or 0 with `error` set. The name
// goes on record before the file is made, so that a kill between the two
// leaves no file off the record; a name already taken never goes on it.
// Called with the lock held.
template <class Make>
std::uint64_t makeRegistered(Temporaries &all, std::string &pattern, int &error, Make make) {
  static constexpr char letters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 random{std::random_device{}()};
  const std::size_t first = pattern.size() - 6;
  std::string recordedAs;
  error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    for (std::size_t i = first; i < pattern.size(); ++i)
      pattern[i] = letters[random() % (sizeof letters - 1)];
    struct stat taken {};
    if (::lstat(ReachableName(pattern).c_str(), &taken) == 0)
      continue;
    recordedAs = recordInFlight(all, pattern);
    error = make(ReachableName(pattern).c_str());
    if (error != 0)
      recordLanded(all, recordedAs);
  }
  if (error != 0)
    return 0;
  all.entries.emplace(++all.lastId, Registered{pattern, 0, recordedAs});
  return all.lastId;
}

void closeJournal(Temporaries &all, bool evenInFlight) {
  if (all.journal < 0 || (all.recorded > 0 && !evenInFlight))
    return;
  ::unlink(all.journalName.c_str());
  ::close(all.journal);
  all.journal = -1;
}

// Whether `name` is named as the temporary files are: "KVB" and six
// characters beside an output, or a name and ".~" and six characters beside
// a file replaced whole.
bool namedAsTemporary(std::string_view name) {
  const auto random = [](std::string_view six) {
    return six.size() == 6 &&
           six.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopq"
                                 "rstuvwxyz0123456789") == std::string_view::npos;
  };
  if (name.size() == 9 && name.starts_with("KVB"))
    return random(name.substr(3));
  return name.size() > 8 && name.substr(name.size() - 8, 2) == ".~" &&
         random(name.substr(name.size() - 6));
}

} // namespace

TemporaryEntry::TemporaryEntry(std::string path, int processGroup) {
  Registered registered{std::move(path), processGroup, {}};
  Temporaries &all = temporaries();
  {
    std::lock_guard lock(all.mutex);
    if (!all.ending) {
      id_ = ++all.lastId;
      all.entries.emplace(id_, std::move(registered));
      return;
    }
  }
  end(registered);
}

TemporaryEntry::TemporaryEntry(const std::string &path) : TemporaryEntry(path, 0) {}

TemporaryEntry TemporaryEntry::program(int processGroup) { return {{}, processGroup}; }

TemporaryEntry TemporaryEntry::createFile(std::string &pattern, int flags, int &fd) {
  TemporaryEntry entry;
  Temporaries &all = temporaries();
  std::lock_guard lock(all.mutex);
  if (all.ending) {
    fd = -1;
    errno = ECANCELED;
    return entry;
  }
  int error = 0;
  entry.id_ = makeRegistered(all, pattern, error, [&](const char *name) {
    fd = ::open(name, O_RDWR | O_CREAT | O_EXCL | flags, 0600);
    return fd >= 0 ? 0 : errno;
  });
  if (entry.id_ == 0) {
    fd = -1;
    errno = error;
  }
  return entry;
}

TemporaryEntry TemporaryEntry::linkFile(int fd, std::string &pattern, int &error) {
  TemporaryEntry entry;
  Temporaries &all = temporaries();
  std::lock_guard lock(all.mutex);
  if (all.ending) {
    error = ECANCELED;
    return entry;
  }
  const std::string open = "/proc/self/fd/" + std::to_string(fd);
  entry.id_ = makeRegistered(all, pattern, error, [&](const char *name) {
    return ::linkat(AT_FDCWD, open.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
  });
  return entry;
}

TemporaryEntry::TemporaryEntry(TemporaryEntry &&other) noexcept
    : id_(std::exchange(other.id_, 0)) {}

TemporaryEntry &TemporaryEntry::operator=(TemporaryEntry &&other) noexcept {
  if (this != &other) {
    TemporaryEntry old(std::move(*this));
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

TemporaryEntry::~TemporaryEntry() {
  if (id_ == 0)
    return;
  Temporaries &all = temporaries();
  std::lock_guard lock(all.mutex);
  if (const auto entry = all.entries.find(id_); entry != all.entries.end()) {
    recordLanded(all, entry->second.recordedAs);
    all.entries.erase(entry);
  }
}

void removeAllTemporaries() {
  std::vector<Registered> paths;
  {
    Temporaries &all = temporaries();
    std::lock_guard lock(all.mutex);
    all.ending = true;
    // The programs first, so that none writes into a folder being removed.
    // A holder drops its group right after it has reaped the program, too
    // soon for the system to hand the number on.
    for (auto &[id, entry] : all.entries)
      if (entry.processGroup > 0)
        end(entry);
    for (auto &[id, entry] : all.entries)
      if (entry.processGroup == 0)
        paths.push_back(std::move(entry));
    all.entries.clear();
  }
  for (const Registered &entry : paths)
    end(entry);
  Temporaries &all = temporaries();
  std::lock_guard lock(all.mutex);
  closeJournal(all, true);
}

void recordTemporariesIn(const std::string &folder) {
  Temporaries &all = temporaries();
  std::lock_guard lock(all.mutex);
  if (all.journal >= 0 || createFolders(folder) != 0)
    return;
  for (int attempt = 0; attempt < 10; ++attempt) {
    std::string name =
        joinPath(folder, std::string(journalPrefix) + std::to_string(::getpid()) + "-XXXXXX");
    const int fd = ::mkostemp(name.data(), O_CLOEXEC | O_APPEND);
    if (fd < 0)
      return;
    const int refused = lockForWriting(fd);
    struct stat held {
    }, named{};
    // A run that started meanwhile may have found it without a lock and
    // swept it away: then another.
    if (refused == 0 && ::fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      all.journal = fd;
      all.journalName = name;
      // A run that ends as it should leaves nothing in flight, and no journal.
      std::atexit([] {
        Temporaries &ended = temporaries();
        std::lock_guard last(ended.mutex);
        closeJournal(ended, false);
      });
      return;
    }
    ::close(fd);
    // Where the file system keeps no locks, no run could tell whether its
    // writer has gone.
    if (refused != 0 && refused != EAGAIN && refused != EACCES) {
      ::unlink(name.c_str());
      return;
    }
  }
}

int removeTemporariesOfEndedRuns(const std::string &folder) {
  std::vector<std::string> journals;
  if (DIR *listing = ::opendir(ReachableName(folder).c_str())) {
    while (const dirent *entry = ::readdir(listing))
      if (std::string_view(entry->d_name).starts_with(journalPrefix))
        journals.push_back(joinPath(folder, entry->d_name));
    ::closedir(listing);
  }
  int removed = 0;
  for (const std::string &journal : journals) {
    const int fd = ::open(journal.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
      continue;
    struct stat held {};
    // A journal still locked is a running program's (this one's, too).
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || lockForWriting(fd) != 0) {
      ::close(fd);
      continue;
    }
    std::string records;
    char block[65536];
    for (ssize_t n; (n = ::read(fd, block, sizeof block)) != 0;) {
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        break;
      records.append(block, static_cast<std::size_t>(n));
    }
    std::set<std::string> inFlight;
    for (std::size_t at = 0, end; (end = records.find('\0', at)) != std::string::npos;
         at = end + 1) {
      if (end == at)
        continue;
      const std::string path = records.substr(at + 1, end - at - 1);
      if (records[at] == '+')
        inFlight.insert(path);
      else
        inFlight.erase(path);
    }
    for (const std::string &path : inFlight) {
      struct stat file {};
      if (namedAsTemporary(extractFileName(path)) && ::lstat(path.c_str(), &file) == 0 &&
          S_ISREG(file.st_mode) && ::unlink(path.c_str()) == 0)
        ++removed;
    }
    struct stat named {};
    if (::stat(journal.c_str(), &named) == 0 && named.st_ino == held.st_ino &&
        named.st_dev == held.st_dev)
      ::unlink(journal.c_str());
    ::close(fd);
  }
  return removed;
}

} // namespace marrowen

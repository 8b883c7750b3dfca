#include "classlib/temporaries.h"

#include "classlib/paths.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace marrowen {

namespace {

// A path, or a program's process group (then the path is empty).
struct Registered {
  std::string path;
  int processGroup = 0;
};

struct Temporaries {
  std::mutex mutex;
  std::map<std::uint64_t, Registered> entries;
  std::uint64_t lastId = 0;
  bool ending = false;
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

} // namespace

TemporaryEntry::TemporaryEntry(std::string path, int processGroup) {
  Registered registered{std::move(path), processGroup};
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
  fd = ::mkostemp(pattern.data(), flags);
  if (fd >= 0) {
    entry.id_ = ++all.lastId;
    all.entries.emplace(entry.id_, Registered{pattern, 0});
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
  static constexpr char letters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 random{std::random_device{}()};
  const std::string open = "/proc/self/fd/" + std::to_string(fd);
  const std::size_t first = pattern.size() - 6;
  error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    for (std::size_t i = first; i < pattern.size(); ++i)
      pattern[i] = letters[random() % (sizeof letters - 1)];
    error = ::linkat(AT_FDCWD, open.c_str(), AT_FDCWD, ReachableName(pattern).c_str(),
                     AT_SYMLINK_FOLLOW) == 0
                ? 0
                : errno;
  }
  if (error == 0) {
    entry.id_ = ++all.lastId;
    all.entries.emplace(entry.id_, Registered{pattern, 0});
  }
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
  all.entries.erase(id_);
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
}

} // namespace marrowen

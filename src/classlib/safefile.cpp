#include "classlib/safefile.h"

#include "classlib/format.h"
#include "classlib/paths.h"
#include "classlib/registry.h"
#include "classlib/temporaries.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

void ignoreBrokenPipeSignal() { std::signal(SIGPIPE, SIG_IGN); }

mode_t newFileMode() {
  // umask() can only be read by changing it, which races with other threads.
  static const mode_t mode = [] {
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("Umask:", 0) == 0) {
        mask = static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
        break;
      }
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

namespace {

int writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    if (n == 0)
      return EIO;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// Rewrites a file where it stands, for a folder in which no temporary file
// can be made (one the user may not write, holding a file the user may).
// What the file held is kept in memory and put back should the writing
// fail, so a full disk does not leave half of the new text behind.
FileReplaceResult rewriteInPlace(const std::string &target, std::string_view bytes) {
  const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0)
    return {errno, false};
  std::string old;
  char block[65536];
  int error = 0;
  for (;;) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = n < 0 ? errno : 0;
      break;
    }
    old.append(block, static_cast<std::size_t>(n));
  }
  const auto rewrite = [fd](std::string_view text) {
    if (::lseek(fd, 0, SEEK_SET) != 0)
      return errno;
    if (const int failed = writeAll(fd, text))
      return failed;
    if (::ftruncate(fd, static_cast<off_t>(text.size())) != 0 || ::fsync(fd) != 0)
      return errno;
    return 0;
  };
  // A file that cannot be read back is not overwritten.
  if (error == 0 && (error = rewrite(bytes)) != 0)
    rewrite(old);
  ::close(fd);
  return {error, true};
}

} // namespace

FileReplaceResult replaceFileContents(const std::string &fileName, std::string_view bytes,
                                      mode_t newMode) {
  std::string target = fileName;
  std::error_code ec;
  if (std::filesystem::is_symlink(target, ec)) {
    auto resolved = std::filesystem::weakly_canonical(target, ec);
    if (!ec)
      target = resolved.string();
  }
  struct stat old {};
  const bool hadFile = ::stat(target.c_str(), &old) == 0;
  // Only a file is replaced: a rename would turn a pipe or a device into one.
  if (hadFile && !S_ISREG(old.st_mode))
    return {S_ISDIR(old.st_mode) ? EISDIR : EINVAL, false};

  std::string temp = target + ".~XXXXXX";
  int fd = -1;
  // Registered as it is made, in case the program ends before the rename.
  const TemporaryEntry registered = TemporaryEntry::createFile(temp, O_CLOEXEC, fd);
  if (fd < 0)
    return {errno, false};
  int error = writeAll(fd, bytes);
  // The new file keeps the old one's owner and group where the user may give
  // them (root may give both; others the group when they belong to it).
  if (error == 0 && hadFile && ::fchown(fd, old.st_uid, old.st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // Neither may be given: the file is the user's own, as any new file is.
  }
  // After the owner: a change of owner clears the set-id bits.
  if (error == 0 && ::fchmod(fd, hadFile ? (old.st_mode & 07777) : newMode) != 0)
    error = errno;
  if (error == 0 && ::fsync(fd) != 0)
    error = errno;
  if (::close(fd) != 0 && error == 0)
    error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
    error = errno;
  if (error != 0)
    ::unlink(temp.c_str());
  return {error, true};
}

FileReplaceResult replaceOrRewriteFileContents(const std::string &fileName,
                                               std::string_view bytes) {
  const FileReplaceResult replaced = replaceFileContents(fileName, bytes);
  struct stat current {};
  if (replaced.created || ::stat(fileName.c_str(), &current) != 0 || !S_ISREG(current.st_mode))
    return replaced;
  return rewriteInPlace(fileName, bytes);
}

bool madeReadOnly(const std::string &fileName) {
  struct stat st;
  return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ((st.st_mode & 0222) == 0 || ::access(fileName.c_str(), W_OK) != 0);
}

FileSignature FileSignature::of(const struct stat &st) {
  FileSignature s;
  s.exists = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.mtimeSeconds = st.st_mtim.tv_sec;
  s.mtimeNanoseconds = st.st_mtim.tv_nsec;
  return s;
}

FileSignature FileSignature::of(const std::string &fileName) {
  struct stat st;
  return ::stat(fileName.c_str(), &st) == 0 ? of(st) : FileSignature();
}

int lockForWriting(int fd) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  while (::fcntl(fd, F_OFD_SETLK, &whole) != 0) {
    if (errno != EINTR)
      return errno;
  }
  return 0;
}

bool heldForWriting(const std::string &fileName) {
  const int fd = ::open(ReachableName(fileName).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  const bool held = ::fcntl(fd, F_OFD_GETLK, &whole) == 0 && whole.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

namespace {

std::atomic<std::chrono::milliseconds::rep> lockWaitMilliseconds{5000};

// The files whose lock another program kept past the limit in this run.
struct RefusedLocks {
  std::mutex mutex;
  std::set<std::string> names;
};

RefusedLocks &refusedLocks() {
  static RefusedLocks refused;
  return refused;
}

} // namespace

std::chrono::milliseconds lockWaitLimit() {
  return std::chrono::milliseconds(lockWaitMilliseconds.load());
}

LockWaitLimitForTests::LockWaitLimitForTests(std::chrono::milliseconds limit)
    : previous_(lockWaitLimit()) {
  lockWaitMilliseconds = limit.count();
  std::lock_guard lock(refusedLocks().mutex);
  refusedLocks().names.clear();
}

LockWaitLimitForTests::~LockWaitLimitForTests() {
  lockWaitMilliseconds = previous_.count();
  std::lock_guard lock(refusedLocks().mutex);
  refusedLocks().names.clear();
}

bool lockOrGoOn(int fd, const std::string &name, std::string_view consequence) {
  RefusedLocks &refused = refusedLocks();
  bool refusedBefore = false;
  {
    std::lock_guard lock(refused.mutex);
    refusedBefore = refused.names.count(name) > 0;
  }
  const auto deadline = std::chrono::steady_clock::now() + lockWaitLimit();
  auto pause = std::chrono::milliseconds(1);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR)
      continue;
    if (errno != EWOULDBLOCK)
      return true; // no locks kept here: as before there were any
    if (refusedBefore || std::chrono::steady_clock::now() >= deadline) {
      bool first = false;
      {
        std::lock_guard lock(refused.mutex);
        first = refused.names.insert(name).second;
      }
      if (first)
        SettingsStore::report(Format("Another program holds %s: %s", {name, consequence}));
      return false;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  return true;
}

} // namespace marrowen

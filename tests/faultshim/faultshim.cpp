// Loaded into the program under test (LD_PRELOAD) to make the system fail as
// a failing disk or a network file system does, on the files the test names:
// each variable holds the end of a file's name, and the calls on that file
// fail with the errno given.
//   MARROWEN_FAIL_OPEN      open and openat: EACCES (even for root)
//   MARROWEN_FAIL_READ      read: EIO
//   MARROWEN_FAIL_CLOSE     close: EIO, after the file was really closed (as
//                           NFS reports a failed write-back)
//   MARROWEN_FAIL_TRUNCATE  truncate and ftruncate: EIO, the file unchanged
//   MARROWEN_FAIL_WRITE     write: ENOSPC (a full disk), once as many writes
//                           as MARROWEN_WRITES_BEFORE_FAILURE says (none by
//                           default) went through
//   MARROWEN_SLOW_WRITE     write: waits first, as a slow disk does, on every
//                           file whose name holds the text given (anywhere);
//                           MARROWEN_SLOW_WRITE_MS says how long (10 ms)
//   MARROWEN_HOLD_WRITE     write: after the first, each waits until the file
//                           MARROWEN_HOLD_UNTIL names exists, so that a test
//                           decides what happens between two writes
//   MARROWEN_FAIL_NEW_OVER  a number of bytes: operator new of more than that
//                           throws std::bad_alloc, as when memory runs out

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

namespace {

template <class F> F real(const char *name) { return reinterpret_cast<F>(dlsym(RTLD_NEXT, name)); }

bool endsWith(const char *text, const char *end) {
  const std::size_t t = std::strlen(text), e = std::strlen(end);
  return e > 0 && t >= e && std::strcmp(text + t - e, end) == 0;
}

bool names(const char *variable, const char *path) {
  const char *end = std::getenv(variable);
  return end && path && endsWith(path, end);
}

// The name of the file `fd` has open, when `variable` is set; empty
// otherwise.
std::string descriptorName(const char *variable, int fd) {
  if (!std::getenv(variable))
    return {};
  char link[64], path[PATH_MAX + 1];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, path, PATH_MAX);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

bool namesDescriptor(const char *variable, int fd) {
  const std::string name = descriptorName(variable, fd);
  return !name.empty() && names(variable, name.c_str());
}

// The mode of a call that may create a file, which follows its flags.
mode_t creationMode(int flags, va_list arguments) {
  return flags & (O_CREAT | O_TMPFILE) ? va_arg(arguments, mode_t) : 0;
}

int openChecked(int folder, const char *path, int flags, mode_t mode) {
  if (names("MARROWEN_FAIL_OPEN", path)) {
    errno = EACCES;
    return -1;
  }
  static auto next = real<int (*)(int, const char *, int, ...)>("openat");
  return next(folder, path, flags, mode);
}

// The bytes above which operator new fails; none when not set.
std::size_t failNewOver() {
  static const std::size_t over = [] {
    const char *set = std::getenv("MARROWEN_FAIL_NEW_OVER");
    return set ? static_cast<std::size_t>(std::atoll(set)) : 0;
  }();
  return over;
}

} // namespace

// The program's own operator new, which the sanitizer's (or the standard
// library's) serves unless the request is over the limit.
void *operator new(std::size_t size) {
  if (failNewOver() != 0 && size > failNewOver())
    throw std::bad_alloc();
  static auto next = real<void *(*)(std::size_t)>("_Znwm");
  return next(size);
}

extern "C" {

int open(const char *path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = creationMode(flags, arguments);
  va_end(arguments);
  return openChecked(AT_FDCWD, path, flags, mode);
}

int open64(const char *path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = creationMode(flags, arguments);
  va_end(arguments);
  return openChecked(AT_FDCWD, path, flags, mode);
}

int openat(int folder, const char *path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = creationMode(flags, arguments);
  va_end(arguments);
  return openChecked(folder, path, flags, mode);
}

ssize_t read(int fd, void *buffer, size_t count) {
  if (namesDescriptor("MARROWEN_FAIL_READ", fd)) {
    errno = EIO;
    return -1;
  }
  static auto next = real<ssize_t (*)(int, void *, size_t)>("read");
  return next(fd, buffer, count);
}

ssize_t write(int fd, const void *buffer, size_t count) {
  if (const std::string name = descriptorName("MARROWEN_SLOW_WRITE", fd);
      !name.empty() && name.find(std::getenv("MARROWEN_SLOW_WRITE")) != std::string::npos) {
    const char *set = std::getenv("MARROWEN_SLOW_WRITE_MS");
    const long ms = set ? std::atol(set) : 10;
    const timespec wait{ms / 1000, (ms % 1000) * 1'000'000};
    nanosleep(&wait, nullptr);
  }
  if (namesDescriptor("MARROWEN_HOLD_WRITE", fd)) {
    static std::atomic<long> held{0};
    const char *until = std::getenv("MARROWEN_HOLD_UNTIL");
    const timespec pause{0, 1'000'000};
    if (held++ > 0)
      while (until && ::access(until, F_OK) != 0)
        nanosleep(&pause, nullptr);
  }
  if (namesDescriptor("MARROWEN_FAIL_WRITE", fd)) {
    static std::atomic<long> done{0};
    const char *before = std::getenv("MARROWEN_WRITES_BEFORE_FAILURE");
    if (done++ >= (before ? std::atol(before) : 0)) {
      errno = ENOSPC;
      return -1;
    }
  }
  static auto next = real<ssize_t (*)(int, const void *, size_t)>("write");
  return next(fd, buffer, count);
}

int close(int fd) {
  const bool fail = namesDescriptor("MARROWEN_FAIL_CLOSE", fd);
  static auto next = real<int (*)(int)>("close");
  const int result = next(fd);
  if (fail && result == 0) {
    errno = EIO;
    return -1;
  }
  return result;
}

int ftruncate(int fd, off_t length) {
  if (namesDescriptor("MARROWEN_FAIL_TRUNCATE", fd)) {
    errno = EIO;
    return -1;
  }
  static auto next = real<int (*)(int, off_t)>("ftruncate");
  return next(fd, length);
}

int ftruncate64(int fd, off_t length) { return ftruncate(fd, length); }

int truncate(const char *path, off_t length) {
  if (names("MARROWEN_FAIL_TRUNCATE", path)) {
    errno = EIO;
    return -1;
  }
  static auto next = real<int (*)(const char *, off_t)>("truncate");
  return next(path, length);
}

int truncate64(const char *path, off_t length) { return truncate(path, length); }
}

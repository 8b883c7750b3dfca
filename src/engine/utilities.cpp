#include "engine/utilities.h"

#include "classlib/exceptions.h"
#include "classlib/paths.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

void getProgramFolder(std::string &folder) { folder = programFolder(); }

void IncludeTrailingBackslash(std::string &folder) { folder = includeTrailingSeparator(folder); }

bool hasWildcards(std::string_view path) {
  return path.find_first_of("*?") != std::string_view::npos;
}

void longFileName(std::string_view path, std::string &name) {
  std::size_t slash = path.rfind('/');
  name = slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void expandLongPathName(std::string_view path, std::string &result) { result = path; }

namespace {

int openForScanning(const std::string &fileName) {
  int fd;
  do
    fd = ::open(ReachableName(fileName).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0 && errno == ENOENT)
    throw EFOpenError(fileName);
  if (fd < 0)
    throw EFOpenError(fileName, std::error_code(errno, std::system_category()).message());
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const bool folder = S_ISDIR(info.st_mode);
    ::close(fd);
    throw EFOpenError(fileName, folder ? "It is a folder" : "It is not a regular file");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

} // namespace

TSequentiallyScannedStream::TSequentiallyScannedStream(const std::string &fileName)
    : TFileStream(fileName, openForScanning(fileName)) {}

} // namespace marrowen

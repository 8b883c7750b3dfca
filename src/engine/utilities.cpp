#include "engine/utilities.h"

#include <climits>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace marrowen {

namespace {

// The folder of the executable, from the kernel's link to it; the current
// folder when that link cannot be read.
std::string runningProgramFolder() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0)
      break;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(n));
      std::size_t slash = path.rfind('/');
      if (slash == std::string::npos)
        break;
      return path.substr(0, slash + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
  std::vector<char> cwd(PATH_MAX);
  if (::getcwd(cwd.data(), cwd.size())) {
    std::string folder = cwd.data();
    IncludeTrailingBackslash(folder);
    return folder;
  }
  return std::string();
}

} // namespace

void getProgramFolder(std::string &folder) { folder = runningProgramFolder(); }

void IncludeTrailingBackslash(std::string &folder) {
  if (!folder.empty() && folder.back() != '/')
    folder += '/';
}

bool hasWildcards(std::string_view path) {
  return path.find_first_of("*?") != std::string_view::npos;
}

void longFileName(std::string_view path, std::string &name) {
  std::size_t slash = path.rfind('/');
  name = slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void expandLongPathName(std::string_view path, std::string &result) { result = path; }

TSequentiallyScannedStream::TSequentiallyScannedStream(const std::string &fileName)
    : TFileStream(fileName, TFileMode::fmOpenRead) {
  ::posix_fadvise(Handle(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

} // namespace marrowen

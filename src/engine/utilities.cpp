#include "engine/utilities.h"

#include "classlib/paths.h"

#include <fcntl.h>

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

TSequentiallyScannedStream::TSequentiallyScannedStream(const std::string &fileName)
    : TFileStream(fileName, TFileMode::fmOpenRead) {
  ::posix_fadvise(Handle(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

} // namespace marrowen

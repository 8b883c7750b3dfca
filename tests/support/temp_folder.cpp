#include "support/temp_folder.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen::testing {

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
  savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  savedCurrent_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = savedCurrent_;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, savedHandler_);
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "marrowen-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern + "/";
}

namespace {

// Removes what `folder` holds, each folder reached through its parent's
// descriptor, so that a tree deeper than the longest name goes too; tests may
// leave read-only folders behind, which get write access back first.
void removeContents(int folder) {
  DIR *dir = ::fdopendir(::dup(folder));
  if (!dir)
    return;
  std::vector<std::string> names;
  while (dirent *entry = ::readdir(dir))
    if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..")
      names.emplace_back(entry->d_name);
  ::closedir(dir);
  for (const std::string &name : names) {
    if (::unlinkat(folder, name.c_str(), 0) == 0)
      continue;
    ::fchmodat(folder, name.c_str(), 0700, 0);
    const int inner =
        ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (inner < 0)
      continue;
    removeContents(inner);
    ::close(inner);
    ::unlinkat(folder, name.c_str(), AT_REMOVEDIR);
  }
}

} // namespace

TempFolder::~TempFolder() {
  ::chmod(path_.c_str(), 0700);
  const int folder = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    removeContents(folder);
    ::close(folder);
  }
  ::rmdir(path_.c_str());
}

std::string TempFolder::listing() const {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(path_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string result;
  for (const auto &name : names)
    result += (result.empty() ? "" : " ") + name;
  return result;
}

bool fileExists(const std::string &name) { return std::filesystem::exists(name); }

HeldForWriting::HeldForWriting(const std::string &name)
    : fd_(::open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC)) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  held_ = fd_ >= 0 && ::fcntl(fd_, F_OFD_SETLK, &whole) == 0;
}

HeldForWriting::~HeldForWriting() {
  if (fd_ >= 0)
    ::close(fd_);
}

WorkingFolder::WorkingFolder(const std::string &folder)
    : previous_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(folder);
}

WorkingFolder::~WorkingFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

std::string readFile(const std::string &name) {
  std::ifstream in(name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string &name, std::string_view content) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

} // namespace marrowen::testing

#include "support/temp_folder.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
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

TempFolder::~TempFolder() {
  std::error_code ec;
  // Tests may leave read-only folders behind; give write access back first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
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

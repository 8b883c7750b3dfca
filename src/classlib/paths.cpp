#include "classlib/paths.h"

#include "classlib/exceptions.h"
#include "classlib/program.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

namespace {

std::mutex &overrideMutex() {
  static std::mutex m;
  return m;
}

std::string &overriddenFolder() {
  static std::string folder;
  return folder;
}

std::string executableFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec)
    return std::string();
  return extractFilePath(exe.string());
}

bool exists(const std::string &name) {
  std::error_code ec;
  return std::filesystem::exists(name, ec);
}

} // namespace

std::string programFolder() {
  {
    std::lock_guard lock(overrideMutex());
    if (!overriddenFolder().empty())
      return overriddenFolder();
  }
  static const std::string folder = executableFolder();
  return folder;
}

void overrideProgramFolder(std::string_view folder) {
  std::lock_guard lock(overrideMutex());
  overriddenFolder() = includeTrailingSeparator(folder);
}

std::string writableDataFolder() {
  std::string base;
  // XDG ignores a relative $XDG_DATA_HOME.
  if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char *home = std::getenv("HOME");
    std::string homeFolder = home && home[0] ? home : "";
    if (homeFolder.empty()) {
      if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
        homeFolder = pw->pw_dir;
    }
    base = joinPath(homeFolder, ".local/share");
  }
  return includeTrailingSeparator(joinPath(base, program::dataFolderName));
}

bool isFolderWritable(const std::string &folder) {
  return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string writeFolder() {
  std::string folder = programFolder();
  if (isFolderWritable(folder))
    return folder;
  folder = writableDataFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

std::string fileForWriting(std::string_view relativeName) {
  return joinPath(writeFolder(), relativeName);
}

std::string fileForReading(std::string_view relativeName) {
  std::string name = joinPath(programFolder(), relativeName);
  if (exists(name))
    return name;
  name = joinPath(writableDataFolder(), relativeName);
  if (exists(name))
    return name;
  return fileForWriting(relativeName);
}

std::string includeTrailingSeparator(std::string_view folder) {
  std::string result(folder);
  if (!result.empty() && result.back() != '/')
    result += '/';
  return result;
}

std::string joinPath(std::string_view folder, std::string_view name) {
  if (folder.empty())
    return std::string(name);
  while (!name.empty() && name.front() == '/')
    name.remove_prefix(1);
  std::string result = includeTrailingSeparator(folder);
  result += name;
  return result;
}

std::string extractFilePath(std::string_view fileName) {
  auto slash = fileName.rfind('/');
  if (slash == std::string_view::npos)
    return std::string();
  return std::string(fileName.substr(0, slash + 1));
}

std::string extractFileName(std::string_view fileName) {
  auto slash = fileName.rfind('/');
  return std::string(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
}

void forceFolders(const std::string &folder) {
  if (folder.empty())
    return;
  if (createFolders(folder) != 0)
    throw EFCreateError(folder);
}

int createFolders(const std::string &folder) {
  struct stat info {};
  if (folder.empty() ||
      (::stat(ReachableName(folder).c_str(), &info) == 0 && S_ISDIR(info.st_mode)))
    return 0;
  // Part by part from the first, each existing one (a folder, or a link to
  // one) passed by.
  for (std::size_t end = folder.find_first_not_of('/'); end != std::string::npos;) {
    end = folder.find('/', end);
    const std::string part = folder.substr(0, end);
    if (::stat(ReachableName(part).c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode))
        return ENOTDIR;
    } else if (errno != ENOENT) {
      return errno;
    } else if (::mkdir(ReachableName(part).c_str(), 0777) != 0 && errno != EEXIST) {
      return errno;
    }
    if (end != std::string::npos)
      end = folder.find_first_not_of('/', end);
  }
  return 0;
}

ReachableName::ReachableName(const std::string &name) : name_(name) {
  if (name.size() < PATH_MAX)
    return;
  const std::size_t last = name.rfind('/');
  // Each step opens as long a stretch of the folder's parts as the system
  // takes in one name.
  std::size_t at = 0;
  int folder = AT_FDCWD;
  if (name.front() == '/') {
    folder = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    at = 1;
  }
  while (folder != -1 && at < last) {
    std::size_t end = last;
    if (end - at >= PATH_MAX)
      end = name.rfind('/', at + PATH_MAX - 1);
    if (end == at) { // "//": no part to open
      ++at;
      continue;
    }
    int next = -1;
    if (end == std::string::npos || end < at)
      errno = ENAMETOOLONG; // one part longer than any name
    else
      next = ::openat(folder, name.substr(at, end - at).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int reason = errno;
    if (folder != AT_FDCWD)
      ::close(folder);
    folder = next;
    errno = reason;
    at = end + 1;
  }
  if (folder == -1) {
    error_ = errno;
    return;
  }
  if (folder == AT_FDCWD) {
    error_ = ENAMETOOLONG;
    return;
  }
  folder_ = folder;
  reached_ = "/proc/self/fd/" + std::to_string(folder) + name.substr(last);
}

ReachableName::~ReachableName() {
  if (folder_ >= 0)
    ::close(folder_);
}

std::string slashesForBackslashes(std::string name) {
  if (name.find('\\') == std::string::npos)
    return name;
  struct stat info {};
  if (::lstat(ReachableName(name).c_str(), &info) == 0)
    return name;
  const std::size_t slash = name.rfind('/');
  if (slash != std::string::npos && name.find('\\', slash) == std::string::npos &&
      ::stat(ReachableName(name.substr(0, slash + 1)).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    return name;
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

bool fileIdOf(const std::string &name, std::pair<std::uint64_t, std::uint64_t> &id) {
  struct stat info {};
  if (::stat(ReachableName(name).c_str(), &info) != 0)
    return false;
  id = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return true;
}

bool sameFile(const std::string &a, const std::string &b) {
  if (a == b)
    return true;
  std::pair<std::uint64_t, std::uint64_t> idA, idB;
  return fileIdOf(a, idA) && fileIdOf(b, idB) && idA == idB;
}

} // namespace marrowen

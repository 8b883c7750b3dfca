#include "engine/shell.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace marrowen {

namespace {

std::atomic<int> lastResult{shellSuccess};

std::mutex openerMutex;
std::string documentOpener = "xdg-open"; // guarded by openerMutex

// How long to wait for the document opener's verdict. Openers usually hand
// the document to a running desktop and end at once; one that runs the
// viewer itself is taken to have succeeded once this has passed.
constexpr auto openerPatience = std::chrono::seconds(3);

int resultOfErrno(int error) {
  switch (error) {
  case ENOENT:
    return seErrFileNotFound;
  case ENOTDIR:
  case ELOOP:
  case ENAMETOOLONG:
    return seErrPathNotFound;
  case EACCES:
  case EPERM:
    return seErrAccessDenied;
  case ENOMEM:
  case E2BIG:
    return seErrOutOfMemory;
  case ENOEXEC:
  case EINVAL:
    return seErrBadFormat;
  case ETXTBSY:
    return seErrShare;
  default:
    return 0;
  }
}

// The end of a started process, seen by a thread of its own so that no
// child is left unreaped whatever the caller does.
struct ChildWatch {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  int status = 0;
};

std::shared_ptr<ChildWatch> watch(pid_t pid) {
  auto w = std::make_shared<ChildWatch>();
  std::thread([pid, w] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(w->mutex);
    w->done = true;
    w->status = status;
    w->ended.notify_all();
  }).detach();
  return w;
}

// Starts `argv`; returns 0 and the process id, or the errno of the failure
// (including a failed exec, which posix_spawn reports).
int spawn(const std::vector<std::string> &argv, const std::string &folder, bool searchPath,
          pid_t &pid) {
  std::vector<char *> args;
  args.reserve(argv.size() + 1);
  for (const std::string &a : argv)
    args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  SpawnSetup setup;
  if (!folder.empty())
    posix_spawn_file_actions_addchdir_np(&setup.actions, folder.c_str());
  // The signals this program ignores for itself (a broken pipe, a file too
  // large) reach a program it starts as they would any other.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF);
  return searchPath ? ::posix_spawnp(&pid, args[0], &setup.actions, &setup.attributes, args.data(),
                                     environ)
                    : ::posix_spawn(&pid, args[0], &setup.actions, &setup.attributes, args.data(),
                                    environ);
}

bool isDirectory(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool isProgram(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// "http:", "mailto:", "file:" ...: a scheme of two or more characters.
bool isUrl(std::string_view file) {
  std::size_t colon = file.find(':');
  if (colon == std::string_view::npos || colon < 2)
    return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!alpha(file[0]))
    return false;
  for (std::size_t i = 1; i < colon; ++i) {
    char c = file[i];
    if (!alpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
      return false;
  }
  return true;
}

std::string searchPath(std::string_view name) {
  const char *path = std::getenv("PATH");
  std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    std::size_t colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    std::string candidate = dir.empty() ? std::string(".") : std::string(dir);
    candidate += '/';
    candidate += name;
    if (isProgram(candidate))
      return candidate;
    if (colon == std::string_view::npos)
      return std::string();
    dirs.remove_prefix(colon + 1);
  }
}

int openDocument(const std::string &target, const std::string &folder) {
  std::string opener;
  {
    std::lock_guard lock(openerMutex);
    opener = documentOpener;
  }
  pid_t pid;
  int error = spawn({opener, target}, folder, true, pid);
  if (error != 0)
    return error == ENOENT ? seErrNoAssoc : resultOfErrno(error);
  auto w = watch(pid);
  std::unique_lock lock(w->mutex);
  if (!w->ended.wait_for(lock, openerPatience, [&] { return w->done; }))
    return shellSuccess;
  if (!WIFEXITED(w->status))
    return seErrNoAssoc;
  // xdg-open: 1 bad arguments, 2 no such file, 3 no tool for it, 4 failed.
  switch (WEXITSTATUS(w->status)) {
  case 0:
    return shellSuccess;
  case 1:
    return seErrAssocIncomplete;
  case 2:
    return seErrFileNotFound;
  default:
    return seErrNoAssoc;
  }
}

int launch(std::string_view fileText, std::string_view parameters, std::string_view folderText) {
  std::string file(fileText);
  std::string folder(folderText);
  if (file.empty())
    return seErrFileNotFound;
  if (!folder.empty() && !isDirectory(folder))
    return seErrPathNotFound;

  std::string path;
  if (file.front() == '/' || folder.empty())
    path = file;
  else
    path = folder + (folder.back() == '/' ? "" : "/") + file;
  bool hasSlash = file.find('/') != std::string::npos;
  if (!exists(path)) {
    // A file of that name wins over a URL: "notes:v2.txt" may be either.
    if (isUrl(file))
      return openDocument(file, folder);
    if (!hasSlash) {
      path = searchPath(file);
      if (path.empty())
        return seErrFileNotFound;
    } else {
      std::size_t slash = path.rfind('/');
      std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
      return isDirectory(parent) ? seErrFileNotFound : seErrPathNotFound;
    }
  }

  // The working folder changes before the program starts, so a relative
  // name would no longer lead to it; a leading "-" would read as an option.
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(path, ec).string();
  if (!ec)
    path = absolute;
  if (!isProgram(path))
    return openDocument(path, folder);

  std::vector<std::string> argv{path};
  for (std::string &word : splitShellWords(parameters))
    argv.push_back(std::move(word));
  pid_t pid;
  int error = spawn(argv, folder, false, pid);
  // Executable permission on a file that is no program (common on shared
  // drives): it is a document after all.
  if (error == ENOEXEC)
    return openDocument(path, folder);
  if (error != 0)
    return resultOfErrno(error);
  watch(pid);
  return shellSuccess;
}

} // namespace

int shellExecute(std::string_view file, std::string_view parameters, std::string_view folder,
                 int /*showCommand*/) {
  int result = launch(file, parameters, folder);
  lastResult.store(result);
  return result;
}

bool execFile(std::string_view file, std::string_view parameters, std::string_view folder,
              int showCommand) {
  return shellExecute(file, parameters, folder, showCommand) > 32;
}

bool shellOpen(std::string_view file) { return execFile(file, "", "", swShow); }

bool startProgram(const std::vector<std::string> &argv) {
  pid_t pid;
  if (argv.empty() || spawn(argv, std::string(), true, pid) != 0)
    return false;
  watch(pid);
  return true;
}

int lastShellResult() { return lastResult.load(); }

void shellErrorText(std::string &text) {
  switch (lastResult.load()) {
  case 0:
    text = "The operating system is out of memory or resources.";
    break;
  case 2:
    text = "The specified file was not found.";
    break;
  case 3:
    text = "The specified path was not found.";
    break;
  case 5:
    text = "The operating system denied access to the specified file.";
    break;
  case 8:
    text = "There was not enough memory to complete the operation.";
    break;
  case 11:
    text = "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    break;
  case 26:
    text = "A sharing violation occurred.";
    break;
  case 27:
    text = "The filename association is incomplete or invalid.";
    break;
  case 28:
    text = "The DDE transaction could not be completed because the request timed out.";
    break;
  case 29:
    text = "The DDE transaction failed.";
    break;
  case 30:
    text = "The DDE transaction could not be completed because other DDE transactions were "
           "being processed.";
    break;
  case 31:
    text = "There is no application associated with the given filename extension.";
    break;
  case 32:
    text = "The specified dynamic-link library was not found.";
    break;
  default:
    break;
  }
}

std::vector<std::string> splitShellWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  std::size_t i = 0;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (i < text.size()) {
    char c = text[i];
    if (blank(c)) {
      if (inWord) {
        words.push_back(std::move(word));
        word.clear();
        inWord = false;
      }
      ++i;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      std::size_t close = text.find('\'', i + 1);
      std::size_t end = close == std::string_view::npos ? text.size() : close;
      word.append(text.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? text.size() : close + 1;
    } else if (c == '"') {
      ++i;
      while (i < text.size() && text[i] != '"') {
        if (text[i] == '\\' && i + 1 < text.size() &&
            (text[i + 1] == '"' || text[i + 1] == '\\' || text[i + 1] == '$' ||
             text[i + 1] == '`')) {
          word += text[i + 1];
          i += 2;
        } else {
          word += text[i++];
        }
      }
      ++i; // the closing quote, or past the end
    } else if (c == '\\') {
      if (i + 1 < text.size())
        word += text[i + 1];
      i += 2;
    } else {
      word += c;
      ++i;
    }
  }
  if (inWord)
    words.push_back(std::move(word));
  return words;
}

void setDocumentOpener(std::string program) {
  std::lock_guard lock(openerMutex);
  documentOpener = std::move(program);
}

} // namespace marrowen

#pragma once

// What the benchmarks that start processes share: a fresh folder of their
// own, and the program started in it with no screen, its wall time, peak
// memory and exit status taken.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace marrowen::bench {

// A new folder under the temporary folder, named after `name`; empty when
// none could be made.
inline std::filesystem::path makeTemporaryFolder(const std::string &name) {
  std::string pattern = (std::filesystem::temp_directory_path() / (name + ".XXXXXX")).string();
  if (!::mkdtemp(pattern.data()))
    return {};
  return pattern;
}

struct Run {
  double seconds = 0;
  long maxResidentKb = 0;
  int status = -1; // the exit status; -1 when the program did not exit
};

// Runs `program` with `arguments` as a user starts it with no screen, its
// home, settings and data in `folder`, its output dropped.
inline Run runProgram(const std::string &program, const std::filesystem::path &folder,
                      const std::vector<std::string> &arguments) {
  std::vector<char *> argv{const_cast<char *>(program.c_str())};
  for (const std::string &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("HOME", folder.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    ::unsetenv("DISPLAY");
    if (std::freopen("/dev/null", "w", stderr) && std::freopen("/dev/null", "w", stdout))
      ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  Run run;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.maxResidentKb = usage.ru_maxrss;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// The fastest of three runs, in seconds; -1 when one did not exit with 0.
inline double fastestOfThree(const std::string &program, const std::filesystem::path &folder,
                             const std::vector<std::string> &arguments) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const Run run = runProgram(program, folder, arguments);
    if (run.status != 0)
      return -1;
    best = std::min(best, run.seconds);
  }
  return best;
}

} // namespace marrowen::bench

// commandfile_bench PROGRAM [SMALL LARGE [FACTOR]]: the program as a user
// starts it with no screen, reading a command file of SMALL filter lines
// ("/CU", an upper-case filter each; 4,000 by default) and one of LARGE
// (64,000), each followed by a file, a merged output and "/G", then quitting
// once the list has run. Prints the time of each (the fastest of three runs)
// and per line, and the one over the other: reading and running must take
// time in proportion to the lines, so LARGE lines take at most 1.25 times
// as long a line as SMALL do (64,000 within 20 times the time of 4,000).
// With FACTOR the program fails when the time per line grows by more than
// 1.25 x FACTOR; without, it only prints. It fails when a run does not leave
// the file upper-cased in the output.
//
// commandfile_bench --memory PROGRAM [SMALL LARGE [LIMIT]]: the same command
// files of SMALL (2,000) and LARGE (20,000) lines, once each, and one of a
// single line. Prints each run's peak memory and what a filter line costs
// beyond the single line's run; with LIMIT (kilobytes) it fails when a line
// costs more at either size.

#include "programruns.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A command file of `lines` lines "/CU", then the input, the merged output
// and "/G", in `folder`; its name.
std::string writeCommandFile(const std::filesystem::path &folder, long lines) {
  const std::filesystem::path name = folder / (std::to_string(lines) + ".cmd");
  std::ofstream file(name, std::ios::binary);
  for (long i = 0; i < lines; ++i)
    file << "/CU\n";
  file << (folder / "input.txt").string() << "\n/MERGETOFILE=" << (folder / "output.txt").string()
       << "\n/G\n";
  return name.string();
}

bool upperCased(const std::filesystem::path &folder) {
  std::string written;
  std::getline(std::ifstream(folder / "output.txt", std::ios::binary), written);
  return written == "TEXT";
}

int measureMemory(const std::string &program, long small, long large, double limitKb) {
  const std::filesystem::path folder = marrowen::bench::makeTemporaryFolder("commandfile_bench");
  if (folder.empty())
    return 2;
  std::ofstream(folder / "input.txt", std::ios::binary) << "text\n";
  int failures = 0;
  long baseKb = 0;
  for (long lines : {1L, small, large}) {
    std::filesystem::remove(folder / "output.txt");
    const marrowen::bench::Run run = marrowen::bench::runProgram(
        program, folder, {"/Z=" + writeCommandFile(folder, lines), "/Q"});
    if (run.status != 0 || !upperCased(folder)) {
      std::printf("%ld filter lines: the program failed\n", lines);
      ++failures;
      continue;
    }
    if (lines == 1) {
      baseKb = run.maxResidentKb;
      std::printf("%6ld filter line  peak %8.1f MB\n", lines, run.maxResidentKb / 1024.0);
      continue;
    }
    const double perLine = static_cast<double>(run.maxResidentKb - baseKb) / (lines - 1);
    const bool over = limitKb > 0 && perLine > limitKb;
    std::printf("%6ld filter lines peak %8.1f MB, %6.2f KB a line%s\n", lines,
                run.maxResidentKb / 1024.0, perLine,
                limitKb > 0 ? (over ? ", over the limit" : ", within the limit") : "");
    failures += over;
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  if (argc >= 3 && std::string(argv[1]) == "--memory") {
    if (argc != 3 && argc != 5 && argc != 6) {
      std::fprintf(stderr, "usage: commandfile_bench --memory PROGRAM [SMALL LARGE [LIMIT]]\n");
      return 2;
    }
    const long small = argc > 3 ? std::atol(argv[3]) : 2'000;
    const long large = argc > 4 ? std::atol(argv[4]) : 20'000;
    if (small < 2 || large <= small)
      return 2;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return measureMemory(argv[2], small, large, argc > 5 ? std::atof(argv[5]) : 0);
  }
  if (argc != 2 && argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: commandfile_bench PROGRAM [SMALL LARGE [FACTOR]]\n");
    return 2;
  }
  const std::string program = argv[1];
  const long small = argc > 2 ? std::atol(argv[2]) : 4'000;
  const long large = argc > 3 ? std::atol(argv[3]) : 64'000;
  const double factor = argc > 4 ? std::atof(argv[4]) : 0;
  if (small < 1 || large <= small)
    return 2;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  const std::filesystem::path folder = marrowen::bench::makeTemporaryFolder("commandfile_bench");
  if (folder.empty())
    return 2;
  std::ofstream(folder / "input.txt", std::ios::binary) << "text\n";
  const std::string files[2] = {writeCommandFile(folder, small), writeCommandFile(folder, large)};

  int failures = 0;
  double perLine[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    const long lines = i == 0 ? small : large;
    std::filesystem::remove(folder / "output.txt");
    const double seconds =
        marrowen::bench::fastestOfThree(program, folder, {"/Z=" + files[i], "/Q"});
    if (seconds < 0 || !upperCased(folder)) {
      std::printf("%ld filter lines: the program failed\n", lines);
      ++failures;
      continue;
    }
    perLine[i] = seconds / static_cast<double>(lines);
    std::printf("%6ld filter lines %8.2f s, %7.1f us a line\n", lines, seconds, perLine[i] * 1e6);
  }
  if (failures == 0) {
    const double growth = perLine[1] / perLine[0];
    const double limit = 1.25 * factor;
    std::printf("time a line at %ld lines over that at %ld: %.2f (%ld lines in %.1f times the "
                "time of %ld)%s\n",
                large, small, growth, large, growth * static_cast<double>(large) / small, small,
                factor > 0 ? (growth > limit ? ", over the limit" : ", within the limit") : "");
    if (factor > 0 && growth > limit)
      ++failures;
  }

  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return failures == 0 ? 0 : 1;
}

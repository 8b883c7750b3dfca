// filelist_bench PROGRAM [TIME [MEMORY]]: the program as a user starts it with no
// screen, over 20,000 files of one folder. A command file naming each file on
// a line of its own must run within twice the time of one mask over the same
// files (the fastest of three runs each), and a command file of one 8 MB line
// must cost the program at most 16 times that line in memory over a plain
// start, however deep the folders below it. TIME and MEMORY scale the two
// limits (a busy machine, a sanitizer build). Prints each figure; fails when
// one is over.

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

using marrowen::bench::fastestOfThree;
using marrowen::bench::runProgram;

constexpr int files = 20'000;
constexpr std::size_t lineBytes = 8 * 1024 * 1024 - 100;

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: filelist_bench PROGRAM [TIME [MEMORY]]\n");
    return 2;
  }
  const std::string program = argv[1];
  const double timeFactor = argc > 2 ? std::atof(argv[2]) : 1.0;
  const double memoryFactor = argc > 3 ? std::atof(argv[3]) : 1.0;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  const std::filesystem::path folder = marrowen::bench::makeTemporaryFolder("filelist_bench");
  if (folder.empty())
    return 2;
  // Subfolders below the files, which a name on the command line searches
  // too: every level of them once held a copy of the 8 MB name.
  std::filesystem::create_directories(folder / "files" / "a" / "b" / "c" / "d" / "e" / "f" / "g");
  {
    std::ofstream names(folder / "names.cmd", std::ios::binary);
    for (int i = 0; i < files; ++i) {
      const std::filesystem::path file = folder / "files" / ("f" + std::to_string(i) + ".txt");
      std::ofstream(file, std::ios::binary) << "line " << i << "\n";
      names << file.string() << "\n";
    }
  }
  std::ofstream(folder / "line.cmd", std::ios::binary)
      << (folder / "files").string() << "/" << std::string(lineBytes, 'a') << "\n";

  int failures = 0;
  const std::string merged = "/MERGETOFILE=" + (folder / "merged.txt").string();
  const double mask = fastestOfThree(
      program, folder, {"/CU", (folder / "files" / "*.txt").string(), merged, "/G", "/Q"});
  const double named = fastestOfThree(
      program, folder, {"/CU", "/Z=" + (folder / "names.cmd").string(), merged, "/G", "/Q"});
  std::printf("%-44s %8.2f s\n", "20,000 files by one mask", mask);
  std::printf("%-44s %8.2f s (limit %.2f s)\n", "the same files named one a line", named,
              2 * timeFactor * mask);
  if (named > 2 * timeFactor * mask)
    ++failures;

  const long plain = runProgram(program, folder, {"/Q"}).maxResidentKb;
  const long line =
      runProgram(program, folder, {"/Z=" + (folder / "line.cmd").string(), "/G", "/Q"})
          .maxResidentKb;
  const double costKb = static_cast<double>(line - plain);
  const double limitKb = 16 * memoryFactor * static_cast<double>(lineBytes) / 1024;
  std::printf("%-44s %8.0f KB (limit %.0f KB)\n", "memory for one 8 MB command-file line", costKb,
              limitKb);
  if (costKb > limitKb)
    ++failures;

  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return failures == 0 ? 0 : 1;
}

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

#include "programruns.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
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
  const std::filesystem::path output = folder / "output.txt";
  for (long lines : {small, large}) {
    std::ofstream file(folder / (std::to_string(lines) + ".cmd"), std::ios::binary);
    for (long i = 0; i < lines; ++i)
      file << "/CU\n";
    file << (folder / "input.txt").string() << "\n/MERGETOFILE=" << output.string() << "\n/G\n";
  }

  int failures = 0;
  double perLine[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    const long lines = i == 0 ? small : large;
    const std::string file = (folder / (std::to_string(lines) + ".cmd")).string();
    std::filesystem::remove(output);
    const double seconds = marrowen::bench::fastestOfThree(program, folder, {"/Z=" + file, "/Q"});
    std::string written;
    std::getline(std::ifstream(output, std::ios::binary), written);
    if (seconds < 0 || written != "TEXT") {
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

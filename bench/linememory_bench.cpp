// linememory_bench [MEGABYTES [LIMIT]]: the peak memory each line filter, and
// each filter that holds a line, costs over a file of one long line, as a
// ratio to the line's size. Each filter runs in a process of its own: a file
// input over the file, the filter, a file output; what the process holds at
// its peak beyond what it held before the run is divided by the line's
// bytes. The line is MEGABYTES long (64 by default) and ends with a line
// feed; it holds words, a few blanks at both ends and one comma. With LIMIT
// the program fails when a ratio is over it; without, it only prints.

#include "engine/fileinput.h"
#include "engine/outputs.h"
#include "engine/subchain.h"
#include "filters/casefilters.h"
#include "filters/codecs_uu.h"
#include "filters/concordance.h"
#include "filters/exactsearch.h"
#include "filters/fields.h"
#include "filters/grep.h"
#include "filters/headtail.h"
#include "filters/linebuffer.h"
#include "filters/linefilters.h"
#include "filters/mailfilters.h"
#include "filters/patternfilters.h"
#include "filters/ranges.h"
#include "filters/widthfilters.h"
#include "programruns.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace {

using namespace marrowen;

using Maker = std::function<std::unique_ptr<TFilter>()>;

template <class F, class... Args> Maker make(Args... args) {
  return [=] { return std::unique_ptr<TFilter>(std::make_unique<F>(args...)); };
}

// A selecting filter whose subfilter (upper case) gets the whole line, its
// output gathered for the filter (`End` a TGatherer) or passed straight on
// (a TIgnoreFlush), as the filter's node builds it.
template <class F, class End = TGatherer, class... Args> Maker selecting(Args... args) {
  return [=] {
    auto filter = std::make_unique<F>(args...);
    auto head = std::make_unique<TConvertToUpperCase>();
    auto chainEnd = std::make_unique<End>();
    TFilter *end = chainEnd.get();
    head->setNext(std::move(chainEnd));
    head->markAsSubfilters();
    filter->setSubfilterChain(std::move(head), end);
    return std::unique_ptr<TFilter>(std::move(filter));
  };
}

struct Entry {
  const char *name;
  Maker maker;
};

const Entry filters[] = {
    // Streaming filters, for comparison.
    {"copy", [] { return std::unique_ptr<TFilter>(); }},
    {"upper case", make<TConvertToUpperCase>()},
    {"replace text",
     make<TSearchFilter>("lorem", "LOREM", false, false, false, false, false, false)},
    {"replace pattern", make<TRegExpFilter>("o[a-z]+", "0", true, false, false, false, false, false,
                                            false, false, false, 4096, TPatternType::Pattern)},
    // Line filters.
    {"line numbers", make<TAddLineNumbers>(1, 1, false, false, std::string("%5.5d "))},
    {"text at line start", make<TAddTextStartOrEndLine>(std::string("> "), true)},
    {"text at line end", make<TAddTextStartOrEndLine>(std::string(" <"), false)},
    {"remove leading blanks", make<TRemoveBlanksFromSOL>()},
    {"remove trailing blanks", make<TRemoveBlanksFromEOL>()},
    {"remove blank lines", make<TRemoveBlankLines>()},
    {"pad to 80", make<TPadLines>(80)},
    {"force width 80", make<TForceLineWidth>(80)},
    {"truncate to 80", make<TTruncateWidth>(80)},
    {"centre in 80", make<TCentreLines>(80)},
    {"right-justify in 80", make<TRightJustifyLines>(80)},
    {"insert column", make<TInsertColumn>(5, std::string("|"))},
    {"reverse each line", make<TReverseEachLine>()},
    {"remove columns", make<TRemoveColumns>(LocateRange{0, 3, 5})},
    {"select columns", selecting<TSelectColumns>(LocateRange{3, 2, 2})},
    {"select CSV field", selecting<TCSVfield>(LocateRange{0, 2, 2}, true)},
    {"select lines", selecting<TSelectLinesBasic>(1, false, 1)},
    {"select lines from end", selecting<TSelectLinesLengthFromEnd>(0, 1)},
    {"select lines to end", selecting<TSelectLinesOffsetToEnd>(1, 0)},
    {"select lines end offsets", selecting<TSelectLinesEndOffsets>(0, 0)},
    {"grep", make<TGrep>(std::string("ipsum"), false, false, false, false, false)},
    {"grep, line numbers", make<TGrep>(std::string("ipsum"), true, false, false, false, false)},
    {"grep into subfilters",
     selecting<TGrep, TIgnoreFlush>(std::string("ipsum"), false, false, false, false, false)},
    {"grep with context",
     make<TContextGrep>(std::string("ipsum"), false, false, false, false, false, 1, 1)},
    {"head lines", make<TIncludeExcludeLinesFromStart>(10, true)},
    {"tail lines", make<TIncludeExcludeLinesFromEnd>(10, true)},
    {"drop tail lines", make<TIncludeExcludeLinesFromEnd>(10, false)},
    {"sort", make<TSortLines>(false, 0, false)},
    {"reverse lines", make<TReverseLines>()},
    {"random order", make<TRandomizeLines>()},
    {"lines not found in", make<TRemoveLinesFoundIn>(ReferenceText{"x"})},
    {"remove duplicates", make<TRemoveDuplicateLines>(false, 0)},
    {"show duplicates", make<TShowDuplicateLines>(false, 0)},
    {"remove mail headers", make<TRemoveEmailHeaders>()},
    {"uu decode", make<TUUDecode>(true)},
    {"concordance",
     make<TWordConcordance>(1, 1, std::string("%s %d %s"), std::vector<std::string>{"front"})},
};

// The file: one line of `bytes` bytes and its line feed. Written in pieces,
// so the program's own peak stays small for the processes it starts.
void writeLine(const std::filesystem::path &file, std::size_t bytes) {
  std::ofstream out(file, std::ios::binary);
  const std::string_view words = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do ";
  std::string piece;
  while (piece.size() < (1 << 20))
    piece += words;
  piece.resize(1 << 20);
  std::string head = "   " + std::string("front,") + piece.substr(9);
  std::size_t left = bytes;
  bool first = true;
  while (left > 0) {
    const std::string &p = first ? head : piece;
    const std::size_t n = std::min(left, p.size());
    out.write(p.data(), static_cast<std::streamsize>(n));
    left -= n;
    first = false;
  }
  out << "\n";
}

long kilobytes(const char *field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(status, line))
    if (line.compare(0, length, field) == 0)
      return std::atol(line.c_str() + length);
  return 0;
}

// Runs the filter over `input` into `output` in a child process; returns
// the kilobytes its peak held beyond its start, or -1 when the run failed.
long runInChild(const Entry &entry, const std::string &input, const std::string &output,
                double &seconds) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0)
    return -1;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeEnds[0]);
    long cost = -1;
    try {
      auto head = std::make_unique<TFileInput>(std::vector<FileGridRow>{{input, "None", "Add"}},
                                               false, false, 0, 4096, false);
      if (auto filter = entry.maker())
        head->setNext(std::move(filter));
      head->lastFilter()->setNext(std::make_unique<TFileOutput>(
          TFileOutput::Options{.useOutputFolder = true, .outputFolder = output}));
      head->attachJob(nullptr);
      const long before = kilobytes("VmRSS:");
      head->runInput();
      cost = kilobytes("VmHWM:") - before;
    } catch (const std::exception &error) {
      std::fprintf(stderr, "%s: %s\n", entry.name, error.what());
    }
    const ssize_t written = ::write(pipeEnds[1], &cost, sizeof cost);
    ::_exit(written == sizeof cost ? 0 : 1);
  }
  ::close(pipeEnds[1]);
  long cost = -1;
  if (::read(pipeEnds[0], &cost, sizeof cost) != sizeof cost)
    cost = -1;
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? cost : -1;
}

} // namespace

int main(int argc, char **argv) {
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 64;
  const double limit = argc > 2 ? std::atof(argv[2]) : 0;
  if (megabytes < 1) {
    std::fprintf(stderr, "usage: linememory_bench [MEGABYTES [LIMIT]]\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::filesystem::path folder = marrowen::bench::makeTemporaryFolder("linememory_bench");
  if (folder.empty())
    return 2;
  const std::size_t bytes = static_cast<std::size_t>(megabytes) << 20;
  writeLine(folder / "line.txt", bytes);
  std::filesystem::create_directory(folder / "out");

  std::printf("one line of %ld MB; peak memory of each run over the line's size\n", megabytes);
  int failures = 0;
  for (const Entry &entry : filters) {
    double seconds = 0;
    const long cost =
        runInChild(entry, (folder / "line.txt").string(), (folder / "out").string(), seconds);
    std::error_code ignored;
    std::filesystem::remove(folder / "out" / "line.txt", ignored);
    if (cost < 0) {
      std::printf("%-26s failed\n", entry.name);
      ++failures;
      continue;
    }
    const double ratio = static_cast<double>(cost) * 1024 / static_cast<double>(bytes);
    const bool over = limit > 0 && ratio > limit;
    std::printf("%-26s %6.2fx  %7.2f s%s\n", entry.name, ratio, seconds, over ? "  over" : "");
    if (over)
      ++failures;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return failures == 0 ? 0 : 1;
}

// chainbench CHAIN INPUT OUTPUT
//
// Runs one job headless, as the program would: a file input over INPUT, the
// chain named CHAIN (or the filters of the filter file CHAIN, between its
// input and output nodes), and a file output that writes OUTPUT through a
// temporary file beside it. Prints nothing but errors; exits non-zero on failure. Time
// the whole process against the standard tools on the same file.

#include "classlib/safefile.h"
#include "dbfilter/databasemaker.h"
#include "engine/fileinput.h"
#include "engine/jobhost.h"
#include "engine/mergesplit.h"
#include "engine/outputs.h"
#include "engine/processingthread.h"
#include "engine/statuswindow.h"
#include "filterlist/filterlist.h"
#include "filters/casefilters.h"
#include "filters/codecs_base64.h"
#include "filters/exactsearch.h"
#include "filters/grep.h"
#include "filters/headtail.h"
#include "filters/linebuffer.h"
#include "filters/lineends.h"
#include "filters/patternfilters.h"
#include "filters/ranges.h"
#include "filters/widthfilters.h"
#include "scriptfilter/scriptfilter.h"
#include "scriptfilter/scriptmakers.h"

#include <QCoreApplication>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <pthread.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace marrowen;

// The filters between the input and the output, by chain name; nullptr for
// none. Add a line here for each filter worth timing.
struct ChainEntry {
  std::string_view name;
  std::function<std::unique_ptr<TFilter>()> make;
};

const ChainEntry chains[] = {
    {"copy", [] { return std::unique_ptr<TFilter>(); }},
    {"upper", [] { return std::unique_ptr<TFilter>(std::make_unique<TConvertToUpperCase>()); }},
    {"unix2dos",
     [] { return std::unique_ptr<TFilter>(std::make_unique<TFromUnixConversion>("\r\n", false)); }},
    // Exact text "the" replaced by "THE", case-sensitive.
    {"replace-literal",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TSearchFilter>("the", "THE", false, false, false, false, false, false));
     }},
    // The pattern [0-9]+ replaced by "N".
    {"replace-regex",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TRegExpFilter>("[0-9]+", "N", true, false, false, false, false, false,
                                           false, false, false, 4096, TPatternType::Pattern));
     }},
    // Searches that meet letters beyond ASCII, for text in UTF-8: a list of
    // them, words of letters, and a word in any case.
    {"replace-letters",
     [] {
       return std::unique_ptr<TFilter>(std::make_unique<TRegExpFilter>(
           "[\u00e4\u00f6\u00fc\u00df]", "_", true, false, false, false, false, false, false, false,
           false, 4096, TPatternType::Pattern));
     }},
    {"replace-words",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TRegExpFilter>("\\w+", "W", true, false, false, false, false, false,
                                           false, false, false, 4096, TPatternType::Pattern));
     }},
    {"replace-nocase",
     [] {
       return std::unique_ptr<TFilter>(std::make_unique<TSearchFilter>(
           "\u00fcber", "X", true, false, false, false, false, false));
     }},
    // (.*a)+b replaced by "N": a pattern whose matching backtracks on long lines.
    {"replace-nested",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TRegExpFilter>("(.*a)+b", "N", true, false, false, false, false, false,
                                           false, false, false, 4096, TPatternType::Pattern));
     }},
    // A script whose "processLine" never returns: for stopping a job.
    {"script-endless",
     [] {
       return std::unique_ptr<TFilter>(std::make_unique<TScriptFilter>(
           "function startJob() {}\nfunction endJob() {}\n"
           "function startFile() { return ''; }\nfunction endFile() { return ''; }\n"
           "function processLine(line, EOL) { for (;;) {} }",
           "JScript"));
     }},
    // The lines matching [0-9][0-9][0-9], with their line ends.
    {"grep",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TGrep>("[0-9][0-9][0-9]", false, false, false, false, false));
     }},
    // The lines holding the word "bazaar": the search runs at memmem's speed.
    {"grep-word",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TGrep>("bazaar", false, false, false, false, false));
     }},
    // The lines holding a mail address: the literal ".com" is searched for
    // first, the pattern only on the lines that hold it.
    {"grep-mail",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TGrep>("\\w+@\\w+\\.com", false, false, false, false, false));
     }},
    // A pattern whose backtracking tries every way of splitting a line:
    // the lines matching (.*a)+b, and its matches replaced by "X".
    {"grep-runaway",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TGrep>("(.*a)+b", false, false, false, false, false));
     }},
    {"replace-runaway",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TRegExpFilter>("(.*a)+b", "X", true, false, false, false, false, false,
                                           false, false, false, 4096, TPatternType::Pattern));
     }},
    // The lines in the locale's order, with case (ANSI sort).
    {"sort",
     [] { return std::unique_ptr<TFilter>(std::make_unique<TSortLines>(false, 1, false)); }},
    // The lines in byte order (ASCII sort with case).
    {"sort-ascii",
     [] { return std::unique_ptr<TFilter>(std::make_unique<TSortLines>(false, 3, false)); }},
    // The lines shortest first (sort by length of line).
    {"sort-length",
     [] { return std::unique_ptr<TFilter>(std::make_unique<TSortLines>(false, 5, false)); }},
    // Of each run of equal adjacent lines the first.
    {"uniq",
     [] { return std::unique_ptr<TFilter>(std::make_unique<TRemoveDuplicateLines>(false, 0)); }},
    // The same, leaving the first three characters of each line out.
    {"uniq-leading",
     [] { return std::unique_ptr<TFilter>(std::make_unique<TRemoveDuplicateLines>(false, 3)); }},
    // MIME Base64: lines of 76 characters ended by CR LF.
    {"base64-encode", [] { return std::unique_ptr<TFilter>(std::make_unique<TEncodeBase64>()); }},
    {"base64-decode", [] { return std::unique_ptr<TFilter>(std::make_unique<TDecodeBase64>()); }},
    // All but the first and all but the last 1000 characters of the file.
    {"head-chars",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TIncludeExcludeBytesFromStart>(1000, false));
     }},
    {"tail-chars",
     [] {
       return std::unique_ptr<TFilter>(std::make_unique<TIncludeExcludeBytesFromEnd>(1000, false));
     }},
    // Every line cut to 30 characters, made 60 wide, reversed; columns 5 to 9
    // of every line removed.
    {"truncate", [] { return std::unique_ptr<TFilter>(std::make_unique<TTruncateWidth>(30)); }},
    {"force", [] { return std::unique_ptr<TFilter>(std::make_unique<TForceLineWidth>(60)); }},
    {"reverse", [] { return std::unique_ptr<TFilter>(std::make_unique<TReverseEachLine>()); }},
    {"columns",
     [] {
       return std::unique_ptr<TFilter>(std::make_unique<TRemoveColumns>(LocateRange{0, 5, 9}));
     }},
    // The whole word "the" replaced by "THE", case-sensitive.
    {"replace-word",
     [] {
       return std::unique_ptr<TFilter>(
           std::make_unique<TSearchFilter>("the", "THE", false, true, false, false, false, false));
     }},
};

void printError(const std::string &text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}

int usage() {
  std::string names;
  for (const auto &chain : chains)
    names += (names.empty() ? "" : ", ") + std::string(chain.name);
  printError("usage: chainbench CHAIN INPUT OUTPUT (chains: " + names +
             ", or a filter file ending in .fll)");
  return 2;
}

bool isFilterFile(std::string_view name) {
  if (name.size() < 4)
    return false;
  std::string extension(name.substr(name.size() - 4));
  for (char &c : extension)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return extension == ".fll";
}

// The filters of a saved list between its input and its output node; the
// benchmark's own input and output take the place of those two.
std::unique_ptr<TFilter> filterFileChain(const std::string &fileName) {
  TFilterList list;
  list.setWarningHandler(printError);
  list.loadFromFile(fileName, {.wantOptions = false});
  int errorIndex = -1;
  return list.createFilters(false, true, errorIndex);
}

int run(std::string_view chainName, const std::string &input, const std::string &output) {
  const ChainEntry *entry = nullptr;
  for (const auto &chain : chains)
    if (chain.name == chainName)
      entry = &chain;
  const bool filterFile = !entry && isFilterFile(chainName);
  if (!entry && !filterFile)
    return usage();
  // INPUT names one existing file as it is; it is no mask.
  struct stat info {};
  if (::stat(input.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    printError("chainbench: no such file: " + input);
    return 1;
  }

  auto head = std::make_unique<TFileInput>(std::vector<FileGridRow>{{input, "None", "Add"}}, false,
                                           false, 0, 4096, false);
  if (auto filter = filterFile ? filterFileChain(std::string(chainName)) : entry->make())
    head->setNext(std::move(filter));
  // The merge names the one output file whatever the input is called.
  head->lastFilter()->setNext(std::make_unique<TMergeFiles>(output));
  head->lastFilter()->setNext(std::make_unique<TFileOutput>());

  HeadlessJobHost host;
  JobOptions options;
  options.filterName = std::string(chainName);
  auto job = ProcessingThread::Create(host, *head, options);
  job->waitFor();

  bool failed = !host.shownExceptions().empty() || job->isAborted();
  for (const auto &window : host.openWindows())
    if (window->hasErrors())
      failed = true;
  if (job->totalFiles() != 1) {
    // The file input reads its name as a mask; a file named with wildcards
    // could stand for others as well.
    printError("chainbench: " + input + " names " + std::to_string(job->totalFiles()) +
               " files, not one");
    failed = true;
  }
  return failed ? 1 : 0;
}

// SIGINT, SIGTERM and SIGHUP end the run as a cancelled job ends: the job
// stops and removes its temporary file, and the process exits with 1. A job
// that does not stop within a second (a step that cannot be interrupted)
// loses its temporaries all the same.
// Blocked here, before any other thread starts, so that only the waiting
// thread receives them.
void stopJobsOnSignals() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP})
    sigaddset(&stopSignals, signal);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::thread([stopSignals] {
    int received = 0;
    if (sigwait(&stopSignals, &received) != 0)
      return;
    ProcessingThread::abortAllForExit(std::chrono::seconds(1));
    std::_Exit(1);
  }).detach();
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 4)
    return usage();
  ignoreFileSizeSignal();
  stopJobsOnSignals();
  // Script and database nodes of a filter file run as they do in the program.
  QCoreApplication application(argc, argv);
  registerScriptFilterMakers();
  registerDatabaseFilterMaker();
  try {
    return run(argv[1], argv[2], argv[3]);
  } catch (const std::exception &error) {
    printError(std::string("chainbench: ") + error.what());
    return 1;
  }
}

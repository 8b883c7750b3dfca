#include "engine/filter.h"

#include "classlib/exceptions.h"
#include "engine/inputs.h"
#include "engine/outputs.h"
#include "engine/subchain.h"
#include "engine/userinterface.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::giveSubfilters;
using testing::RecordingJob;

// Records every control call it sees, by name, into a shared trace.
// Kind Gatherer runs each chunk through its subfilter chain and passes the
// result on; kind Selector hands each chunk to its subfilter chain, whose
// ignore-flush end passes it on.
class Tracer : public TFilter {
public:
  enum Kind { Plain, Gatherer, Selector };
  Tracer(std::string name, std::vector<std::string> &trace, Kind kind = Plain,
         int *destroyed = nullptr)
      : name_(std::move(name)), trace_(trace), kind_(kind), destroyed_(destroyed) {}
  ~Tracer() override {
    if (destroyed_)
      ++*destroyed_;
  }

  void startJob() override { note("startJob"), TFilter::startJob(); }
  void endJob() override { note("endJob"), TFilter::endJob(); }
  void resetStatistics() override { note("resetStatistics"), TFilter::resetStatistics(); }
  void setInputFilename(const std::string &name) override {
    note("setInputFilename"), TFilter::setInputFilename(name);
  }
  void openFile(const std::string &name) override { note("openFile"), TFilter::openFile(name); }
  void reset() override { note("reset"), TFilter::reset(); }
  void flush() override { note("flush"), TFilter::flush(); }
  FileResult closeFile() override { return note("closeFile"), TFilter::closeFile(); }
  void validate() override {
    note("validate");
    if (failValidation)
      throw Exception(name_ + " is not valid");
  }
  bool processChunk(std::string &chunk) override {
    note("chunk " + chunk);
    switch (kind_) {
    case Gatherer:
      subFilterEntireText(chunk);
      return sendToNext(chunk);
    case Selector:
      firstSubfilter()->reset();
      firstSubfilter()->processChunk(chunk);
      firstSubfilter()->flush();
      return true;
    case Plain:
      break;
    }
    chunk += "[" + name_ + "]";
    return sendToNext(chunk);
  }
  std::string getStatistics() override { return statistics; }

  bool failValidation = false;
  std::string statistics;

private:
  void note(const std::string &what) { trace_.push_back(name_ + " " + what); }
  std::string name_;
  std::vector<std::string> &trace_;
  Kind kind_;
  int *destroyed_;
};

struct TracedChain {
  std::vector<std::string> trace;
  std::string output;
  int destroyed = 0;
  std::unique_ptr<TStringInput> head;
  Tracer *a = nullptr, *s = nullptr, *b = nullptr, *t = nullptr, *c = nullptr;

  // input -> A (S -> gatherer) -> B (T -> ignore-flush) -> C -> string output
  TracedChain() {
    head = std::make_unique<TStringInput>("trace");
    auto aFilter = std::make_unique<Tracer>("A", trace, Tracer::Gatherer, &destroyed);
    auto sFilter = std::make_unique<Tracer>("S", trace, Tracer::Plain, &destroyed);
    a = aFilter.get();
    s = sFilter.get();
    giveSubfilters(*aFilter, std::move(sFilter));

    auto bFilter = std::make_unique<Tracer>("B", trace, Tracer::Selector, &destroyed);
    auto tFilter = std::make_unique<Tracer>("T", trace, Tracer::Plain, &destroyed);
    b = bFilter.get();
    t = tFilter.get();
    giveSubfilters(*bFilter, std::move(tFilter), std::make_unique<TIgnoreFlush>());

    auto cFilter = std::make_unique<Tracer>("C", trace, Tracer::Plain, &destroyed);
    c = cFilter.get();
    head->setNext(std::move(aFilter));
    head->lastFilter()->setNext(std::move(bFilter));
    head->lastFilter()->setNext(std::move(cFilter));
    head->lastFilter()->setNext(std::make_unique<TStringOutput>(output));
  }
};

TEST(FilterChain, ControlCallsAndRoutingThroughBothSubfilterEnds) {
  TracedChain chain;
  RecordingJob job;
  chain.head->attachJob(&job);
  chain.head->attachJob(&job); // twice: harmless
  chain.head->setText("x");
  chain.head->runInput();

  const std::vector<std::string> expected = {
      // startJob reaches the filters after each parent through its subfilter chain
      "A startJob", "S startJob", "B startJob", "T startJob", "C startJob",
      // per input
      "A resetStatistics", "S resetStatistics", "B resetStatistics", "T resetStatistics",
      "C resetStatistics",
      // into each subfilter chain and to next: the filters after a parent get it twice
      "A setInputFilename", "S setInputFilename", "B setInputFilename", "T setInputFilename",
      "C setInputFilename", "C setInputFilename", "B setInputFilename", "T setInputFilename",
      "C setInputFilename", "C setInputFilename",
      // file calls go to next only, never into a subfilter chain
      "A openFile", "B openFile", "C openFile", "A reset", "B reset", "C reset",
      // one chunk: A's subfilter run is a file of its own, stopped at the gatherer
      "A chunk x", "S reset", "S chunk x", "S flush",
      // B's subfilter output goes on through the ignore-flush end
      "B chunk x[S]", "T reset", "T chunk x[S]", "C chunk x[S][T]", "T flush", "A flush", "B flush",
      "C flush", "A closeFile", "B closeFile", "C closeFile", "A endJob", "S endJob", "B endJob",
      "T endJob", "C endJob"};
  EXPECT_EQ(chain.trace, expected);
  EXPECT_EQ(chain.output, "x[S][T][C]");
}

TEST(FilterChain, DestroyingTheHeadFreesEveryFilterOnceAttachedOrNot) {
  int destroyedAttached = 0, destroyedUnattached = 0;
  {
    TracedChain chain;
    chain.head->attachJob(nullptr);
    chain.head->attachJob(nullptr);
    chain.head->setText("abc");
    chain.head->runInput();
    chain.head.reset();
    destroyedAttached = chain.destroyed;
  }
  {
    TracedChain chain;
    chain.head.reset();
    destroyedUnattached = chain.destroyed;
  }
  EXPECT_EQ(destroyedAttached, 5);
  EXPECT_EQ(destroyedUnattached, 5);
}

TEST(FilterChain, ValidationReachesFiltersAfterAParentWithSubfilters) {
  TracedChain chain;
  chain.c->failValidation = true;
  EXPECT_THROW(chain.head->validateChain(), Exception);
  const std::vector<std::string> validated = {"A validate", "S validate", "B validate",
                                              "T validate", "C validate"};
  EXPECT_EQ(chain.trace, validated);

  // After attaching, each filter is still validated exactly once.
  chain.trace.clear();
  chain.c->failValidation = false;
  chain.head->attachJob(nullptr);
  chain.head->validateChain();
  EXPECT_EQ(chain.trace, validated);
}

TEST(FilterChain, LogStatisticsIndentsSubfilterChainsAndNeedsAJob) {
  TracedChain chain;
  chain.a->statistics = "a stats";
  chain.s->statistics = "s stats";
  chain.c->statistics = "c stats";
  chain.head->attachJob(nullptr);
  chain.head->logStatistics(""); // no job: nothing, no crash

  RecordingJob job;
  chain.head->attachJob(&job);
  chain.head->logStatistics("");
  EXPECT_EQ(job.logLines, (std::vector<std::string>{"a stats", "  s stats", "c stats"}));
}

TEST(FilterChain, SendToNextAndAFilterWithoutNext) {
  TFilter alone;
  std::string empty;
  EXPECT_TRUE(alone.sendToNext(empty));
  EXPECT_FALSE(alone.closeFile().target.toFile()) << "no output, no file kept the text";
  EXPECT_EQ(alone.getGlobalVar("SOMETHING"), "SOMETHING");

  std::vector<std::string> trace;
  TFilter head;
  head.setNext(std::make_unique<Tracer>("N", trace));
  EXPECT_TRUE(head.sendToNext(empty));
  EXPECT_TRUE(trace.empty()) << "an empty chunk is never passed on";
}

TEST(FilterChain, SubFilterEntireTextWithoutSubfiltersLeavesTheText) {
  TFilter filter;
  std::string text = "unchanged";
  filter.subFilterEntireText(text);
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(filter.subFilterText("same"), "same");
}

TEST(FilterChain, SubfilterRunsNeverCarryStateBetweenPieces) {
  // The gatherer is emptied before each run.
  std::vector<std::string> trace;
  TFilter parent;
  giveSubfilters(parent, std::make_unique<Tracer>("S", trace));
  parent.attachJob(nullptr);
  EXPECT_EQ(parent.subFilterText("one"), "one[S]");
  EXPECT_EQ(parent.subFilterText("two"), "two[S]");
  std::string empty;
  parent.subFilterEmptyText(empty);
  EXPECT_EQ(empty, "");
}

TEST(FilterChain, TotalBufferedLengthSumsTheFiltersAfterThisOne) {
  struct Holding : TFilter {
    explicit Holding(std::int64_t n) : n(n) {}
    std::int64_t bufferedLength() override { return n; }
    std::int64_t n;
  };
  Holding head(1000);
  head.setNext(std::make_unique<Holding>(5));
  head.lastFilter()->setNext(std::make_unique<Holding>(7));
  EXPECT_EQ(head.totalBufferedLength(), 12);
  head.lastFilter()->setNext(std::make_unique<Holding>(INT64_MAX));
  EXPECT_THROW(head.totalBufferedLength(), EIntOverflow);
}

TEST(FilterChain, ReportsWithoutAJobGoToTheHostsMessageBox) {
  testing::InstalledUserInterface ui;
  TFilter filter;
  filter.logError("e");
  filter.logWarning("w");
  filter.logInfo("i");
  EXPECT_EQ(ui->argumentsOf("showMessageBox"), (std::vector<std::string>{"e", "w", "i"}));
  EXPECT_EQ(ui->messageBoxKinds(),
            (std::vector<MessageBoxKind>{MessageBoxKind::Error, MessageBoxKind::Error,
                                         MessageBoxKind::Information}));
}

TEST(FilterChain, RemoveFileReportsMessage5110) {
  RecordingJob job;
  TFilter filter;
  filter.attachJob(&job);
  EXPECT_FALSE(filter.removeFile("/nonexistent-folder/x.txt"));
  ASSERT_EQ(job.errors.size(), 1u);
  EXPECT_EQ(job.errors[0].rfind("Couldn't delete file [/nonexistent-folder/x.txt]:", 0), 0u);
}

TEST(FilterChain, IsAbortedFollowsTheJobOrTheApplication) {
  TFilter filter;
  EXPECT_FALSE(filter.isAborted());
  setApplicationTerminating(true);
  EXPECT_TRUE(filter.isAborted());
  setApplicationTerminating(false);
  RecordingJob job;
  filter.attachJob(&job);
  EXPECT_FALSE(filter.isAborted());
  job.terminate();
  EXPECT_TRUE(filter.isAborted());
}

TEST(FilterChain, RepeatCharAndSelectMessage) {
  EXPECT_EQ(repeatChar(3, '-'), "---");
  EXPECT_EQ(repeatChar(0, '-'), "");
  EXPECT_EQ(repeatChar(-2, '-'), "");
  EXPECT_EQ(selectNeedsSubfiltersMessage().substr(0, 45),
            "\"Select\"-type filters need to have subfilters");
}

// A chain whose output knows the input "/data/report.txt" and the global
// variable AB = "Z".
struct VariableChain {
  TFilter head;
  TStringOutput *output;
  std::string target;
  VariableChain() {
    auto out = std::make_unique<TStringOutput>(target);
    output = out.get();
    head.setNext(std::move(out));
    head.setInputFilename("/data/report.txt");
    head.setGlobalVar("AB", "Z");
  }
};

TEST(SubstituteVariables, Examples) {
  VariableChain chain;
  setClipboardText("clip");
  const std::pair<std::string, std::string> cases[] = {
      {"@INPUTFILENAME.bak", "report.txt.bak"},
      {"@INPUTFILENAME@.bak", "report.txt.bak"},
      {"@inputfilename@", "report.txt"},
      {"@FullInputFileName", "/data/report.txt"},
      {"mail@@host", "mail@host"},
      {"@@", "@"},
      {"@1st", "@1st"},
      {"x@ y", "x@ y"},
      {"ends in @", "ends in @"},
      {"@AB12", "Z12"},
      {"@ab@cd", "Zcd"},
      {"@UNKNOWN!", "!"},
      {"[@CLIPBOARD]", "[clip]"},
      {"@INPUTFILENAME", "report.txt"},
      {"", ""},
  };
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(chain.head.substituteVariables(text), expected) << text;
  setClipboardText("");
}

TEST(GlobalVariables, KeptByTheMainChainsOutputReachedFromASubfilterChain) {
  VariableChain chain;
  EXPECT_EQ(chain.head.getVariable("ab"), "Z");
  EXPECT_EQ(chain.head.getVariable("NEVERSET"), "");
  chain.head.setGlobalVar("ab", "");
  EXPECT_EQ(chain.head.getVariable("AB"), "");

  // A subfilter chain's gatherer forwards variables to the main chain's output.
  std::string target;
  TFilter parent;
  parent.setNext(std::make_unique<TStringOutput>(target));
  auto sub = std::make_unique<TFilter>();
  TFilter *inner = sub.get();
  giveSubfilters(parent, std::move(sub));
  parent.attachJob(nullptr);
  inner->setGlobalVar("COUNT", "3");
  EXPECT_EQ(parent.getGlobalVar("COUNT"), "3");
  EXPECT_EQ(inner->getVariable("count"), "3");
}

} // namespace
} // namespace marrowen

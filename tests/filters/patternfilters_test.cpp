#include "filters/patternfilters.h"

#include "classlib/exceptions.h"
#include "engine/subchain.h"
#include "engine/userinterface.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"
#include "support/random_patterns.h"
#include "support/recording_job.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

#include <random>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::RecordingJob;
using testing::runInChunks;

struct RegExpOptions {
  bool caseSensitive = true;
  bool wholeWord = false;
  bool preserveCase = false;
  bool prompt = false;
  bool noPromptWhenUnchanged = false;
  bool firstOnly = false;
  int bufferSize = 4096;
  TPatternType type = TPatternType::Pattern;
};

testing::FilterFactory regExp(std::string pattern, std::string replacement, RegExpOptions o = {}) {
  return [=] {
    return std::make_unique<TRegExpFilter>(pattern, replacement, o.caseSensitive, o.wholeWord,
                                           o.preserveCase, o.prompt, o.noPromptWhenUnchanged,
                                           o.firstOnly, false, false, false, o.bufferSize, o.type);
  };
}

TEST(RegExpFilter, EmptyMatchesLeaveTheTextUnchanged) {
  EXPECT_EQ(expectChunkInvariant(regExp("x*", "Y"), "abc\r\ndef"), "abc\r\ndef");
}

TEST(RegExpFilter, FirstOnlyReplacesOnlyTheFirstMatchOfEachFile) {
  auto files =
      testing::runFilesInChunks(regExp("a", "X", {.firstOnly = true}), {"banana", "alpha"}, 0);
  EXPECT_EQ(files, (std::vector<std::string>{"bXnana", "Xlpha"}));
}

TEST(RegExpFilter, WholeWordSkipsOneByteAndResumesInsideTheMatch) {
  EXPECT_EQ(expectChunkInvariant(regExp("[a-z]+", "X", {.wholeWord = true}), "9abc def_g h"),
            "9abc X_X X"); // "_" is no letter or digit
}

TEST(RegExpFilter, CaretMatchesAtTheFileStartAndAfterMatchesOnly) {
  EXPECT_EQ(expectChunkInvariant(regExp("^a", "X"), "aab"), "XXb");
  // A long text with "a" at every buffer and chunk boundary: the boundaries
  // are no search starts.
  std::string text;
  while (text.size() < 30000)
    text += "ab";
  std::string expected = "X" + text.substr(1);
  for (int bufferSize : {4096, 10000})
    for (std::size_t chunk : {0, 1, 7, 4096, 5000})
      EXPECT_EQ(runInChunks(regExp("^a", "X", {.bufferSize = bufferSize}), text, chunk), expected)
          << "buffer " << bufferSize << ", chunks of " << chunk;
}

TEST(RegExpFilter, DollarMatchesOnlyAtTheRealEndOfTheText) {
  // Held in pieces, the end of a piece must not pass for the end of the
  // text: the first alternative fails at the "z" and the second one wins.
  std::string text =
      std::string(100, '.') + "a" + std::string(9400, 'q') + "z" + std::string(2000, 'q');
  std::string expected = text;
  expected.replace(100, 1, "X");
  for (std::size_t chunk : {0, 1, 4096})
    EXPECT_EQ(runInChunks(regExp("a[^z]*$|a", "X"), text, chunk), expected) << chunk;
  EXPECT_EQ(expectChunkInvariant(regExp("q$", "Q"), "qq\nqq"), "qq\nqQ");
}

TEST(RegExpFilter, TemplatesUseGroupsAndKeepMatchedBytesExactly) {
  EXPECT_EQ(expectChunkInvariant(regExp("(\\w+)=(\\w+)", "$2=$1"), "a=b, key=val"), "b=a, val=key");
  // A matched tab and backslash come back as themselves.
  EXPECT_EQ(expectChunkInvariant(regExp("<(.)>", "[$1]"), "<\t><\\>"), "[\t][\\]");
  EXPECT_EQ(expectChunkInvariant(regExp("x", "\\t$$"), "axb"), "a\t$b");
}

TEST(RegExpFilter, PreservesCaseWhenAsked) {
  EXPECT_EQ(
      expectChunkInvariant(regExp("cat", "dog", {.caseSensitive = false, .preserveCase = true}),
                           "Cat CAT cat"),
      "Dog DOG dog");
}

TEST(RegExpFilter, BadSettingsFailWhenTheFilterIsBuilt) {
  struct Case {
    const char *pattern;
    const char *replacement;
    TPatternType type;
  } cases[] = {
      {"(a", "", TPatternType::Pattern},    // unmatched group
      {"(a)", "$2", TPatternType::Pattern}, // group the pattern lacks
      {"a", "\\x4", TPatternType::Pattern}, // malformed escape
      {"", "", TPatternType::Pattern},      // no pattern
      {"a", "", TPatternType::SimilarTo},   // not a pattern dialect
      {"{a}", "\\2", TPatternType::BriefPattern},
      {"@", "", TPatternType::WordPattern}, // repeat of nothing
  };
  for (const auto &c : cases)
    EXPECT_THROW(regExp(c.pattern, c.replacement, {.type = c.type})(), Exception) << c.pattern;
}

TEST(RegExpFilter, StatisticsNameThePattern) {
  std::string statistics;
  testing::ChunkRunOptions options;
  options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
  runInChunks(regExp("a\tb", "X"), "a\tb a\tb", 0, options);
  EXPECT_EQ(statistics, "2 replace(s) performed for pattern match [a\\tb]");
}

TEST(RegExpFilter, PromptShowsThePatternAndTheGroups) {
  RecordingJob job;
  job.replaceAnswers = {Answer::Replace, Answer::Skip};
  testing::ChunkRunOptions options{.job = &job};
  EXPECT_EQ(runInChunks(regExp("(b)(\t)?", "X", {.prompt = true}), "ab\tcb", 0, options), "aXcb");
  ASSERT_EQ(job.replaceQuestions.size(), 2u);
  EXPECT_EQ(job.replaceQuestions[0].searchInformation,
            "Search pattern:\r\n(b)(\t)?\r\n\r\nOther data:\r\n\r\n$0=b\\t\r\n$1=b\r\n$2=\\t\r\n");
  EXPECT_EQ(job.replaceQuestions[0].textAfter, "cb");
  EXPECT_EQ(job.replaceQuestions[1].found, "b");
}

TEST(RegExpFilter, CancelWithAJobStopsPassingText) {
  RecordingJob job;
  job.replaceAnswers = {Answer::Cancel};
  testing::ChunkRunOptions options{.job = &job};
  std::string out = runInChunks(regExp("b", "X", {.prompt = true}), "abc", 0, options);
  EXPECT_EQ(out, "");
  EXPECT_TRUE(job.isAborted());
}

TEST(RegExpFilter, CancelOrStopWithoutAJobRaisesTheQuietAbort) {
  // A text run for a caller must not hand back a truncated text as done.
  testing::InstalledUserInterface ui;
  for (Answer answer : {Answer::Cancel, Answer::Stop}) {
    ui->defaultReplaceAnswer = answer;
    EXPECT_THROW(runInChunks(regExp("b", "X", {.prompt = true}), "abc", 0), EAbort);
  }
}

TEST(RegExpFilter, MatchesOfUpTo4096BytesAreFoundWholeAtEveryBoundary) {
  // A run as long as the held tail, placed where searches, chunks and
  // buffers end: the greedy run must come out as one replacement.
  for (std::size_t runLength : {std::size_t(4095), std::size_t(4096)}) {
    for (std::size_t at : {std::size_t(0), std::size_t(4095), std::size_t(8191), std::size_t(12000),
                           std::size_t(15904)}) {
      std::string text(20000, '.');
      text.replace(at, runLength, std::string(runLength, 'a'));
      std::string expected = text;
      expected.replace(at, runLength, "X");
      for (const char *pattern : {"a+", "(a)+", "a*"}) {
        for (int bufferSize : {4096, 10000}) {
          for (std::size_t chunk :
               {std::size_t(0), std::size_t(7), std::size_t(4096), std::size_t(5000)}) {
            EXPECT_EQ(runInChunks(regExp(pattern, "X", {.bufferSize = bufferSize}), text, chunk),
                      expected)
                << pattern << ", run of " << runLength << " at " << at << ", buffer " << bufferSize
                << ", chunks of " << chunk;
          }
        }
      }
    }
  }
}

TEST(RegExpFilter, ALongerMatchIsCutWhereTheHeldTextEndsUnlessTheBufferHoldsIt) {
  const std::string run(8193, 'a');
  EXPECT_EQ(runInChunks(regExp("a+", "X", {.bufferSize = 4096}), run, 4096), "XX");
  EXPECT_EQ(runInChunks(regExp("a+", "X", {.bufferSize = 10000}), run, 4096), "X");
}

TEST(RegExpFilter, NulBytesInTheTextEndTheSubjectOnlyForTheMatcher) {
  // Every byte of the text is searched, but "$", "." and sets stop at a NUL;
  // the NULs fall on chunk and buffer boundaries throughout.
  const std::string nul(1, '\0');
  std::string text;
  while (text.size() < 20000)
    text += "ab" + nul + "c\r\n" + nul;
  std::string ends = text;
  std::string dots = text;
  for (std::size_t at = 0; (at = ends.find("b" + nul, at)) != std::string::npos; at += 2)
    ends.replace(at, 1, "X");
  EXPECT_EQ(expectChunkInvariant(regExp("b$", "X"), text), ends);
  for (std::size_t at = 0; (at = dots.find("ab", at)) != std::string::npos; ++at)
    dots.replace(at, 2, "D");
  EXPECT_EQ(expectChunkInvariant(regExp("a.*", "D"), text), dots);
  // The NUL literal matches, without taking it, only where a NUL stands.
  std::string before = text;
  for (std::size_t at = 0; (at = before.find("c\r\n" + nul, at)) != std::string::npos; ++at)
    before.replace(at, 3, "C");
  EXPECT_EQ(expectChunkInvariant(regExp("c\\r\\n\\000", "C"), text), before);
}

// The engine's matchers find the same matches, so what the filter writes
// does not depend on which of them finishes a search: here a Word-style run
// of any bytes that only the end of the text may close.
TEST(RegExpFilter, OutputDoesNotDependOnWhichMatcherFinishesASearch) {
  auto wordRun = [](bool linear, std::size_t handOverSteps) -> testing::FilterFactory {
    return [=] {
      auto filter =
          std::make_unique<TRegExpFilter>("a*\\000", "X", true, false, false, false, false, false,
                                          false, false, false, 4096, TPatternType::WordPattern);
      filter->engine().setLinearMatchForTest(linear, handOverSteps, 0);
      return filter;
    };
  };
  const std::string run(20000, 'a');
  const std::string usual = runInChunks(wordRun(true, TRegex::handOverSteps), run, 4096);
  EXPECT_EQ(usual.back(), 'X');
  for (auto [linear, steps] : {std::pair<bool, std::size_t>{false, 0}, {true, 0}, {true, 7}}) {
    SCOPED_TRACE(linear ? "handing over after " + std::to_string(steps) : "backtracking");
    EXPECT_EQ(expectChunkInvariant(wordRun(linear, steps), "xa bc"), "xX");
    if (linear) {
      EXPECT_EQ(runInChunks(wordRun(linear, steps), run, 4096), usual);
    }
  }
}

// What the filters hand on, searching held pieces of the text, against one
// search of the whole text: random patterns of every dialect over texts of
// up to 20,000 bytes, cut in chunks of every size around the 4096-byte
// blocks, so matches fall across the chunks and the held-back tail.
TEST(RegExpFilter, AgreesWithOneSearchOfTheWholeText) {
  using namespace testing;
  std::mt19937 random(7);
  const std::string alphabet = std::string("aabbxA _1\n\r\xE9\xC9", 13);
  int compared = 0;
  for (int i = 0; i < 120; ++i) {
    const PatternDialect dialect = patternDialects[i % 3];
    const DialectPattern pattern = randomDialectPattern(random, dialect, 2);
    std::string text(random() % 20000, ' ');
    for (char &c : text)
      c = random() % 997 ? alphabet[random() % alphabet.size()] : '\0';
    const bool caseSensitive = random() % 2;
    const bool extract = dialect == PatternDialect::Engine && random() % 3 == 0;
    const TPatternType type = dialect == PatternDialect::Brief  ? TPatternType::BriefPattern
                              : dialect == PatternDialect::Word ? TPatternType::WordPattern
                                                                : TPatternType::Pattern;
    TRegex whole;
    whole.setWordTokens(pattern.wordTokens);
    whole.setCaseSensitive(caseSensitive);
    // Patterns that take many steps at every byte would make this slow.
    whole.setStepLimitForTest(4000);
    std::string expected;
    bool tooLong = false; // a match longer than the held tail may be cut
    std::size_t scan = 0;
    try {
      whole.CompileRegex(pattern.expression);
      while (scan < text.size()) {
        int limit = 0;
        if (!whole.Exec(text, limit, static_cast<int>(scan) + 1))
          break;
        const auto at = static_cast<std::size_t>(whole.GetMatchPos(0) - 1);
        const auto length = static_cast<std::size_t>(whole.GetMatchLen(0));
        if (length == 0) { // replaces nothing; the search moves on by one byte
          expected += extract ? "" : text.substr(scan, 1);
          ++scan;
          continue;
        }
        tooLong = tooLong || length > 4096;
        const std::string found = text.substr(at, length);
        expected += extract ? found + "\r\n" : text.substr(scan, at - scan) + "<" + found + ">";
        scan = at + length;
      }
    } catch (const Exception &) {
      continue;
    }
    if (!extract && scan < text.size())
      expected += text.substr(scan);
    if (tooLong)
      continue;
    for (std::size_t chunk :
         {std::size_t(0), std::size_t(1 + random() % 50), std::size_t(4095), std::size_t(4097)}) {
      const int bufferSize = random() % 2 ? 4096 : 4096 + static_cast<int>(random() % 10000);
      auto make = [&]() -> std::unique_ptr<TFilter> {
        if (extract)
          return std::make_unique<TExtract>(pattern.typed, false, !caseSensitive, false);
        return std::make_unique<TRegExpFilter>(pattern.typed, "<$0>", caseSensitive, false, false,
                                               false, false, false, false, false, false, bufferSize,
                                               type);
      };
      EXPECT_EQ(runInChunks(make, text, chunk), expected)
          << describeSearch(dialect, pattern, {}) << (extract ? ", extract" : "") << ", chunks of "
          << chunk << ", buffer " << bufferSize;
      ++compared;
    }
  }
  EXPECT_GT(compared, 300);
}

TEST(Extract, PassesOnOnlyTheMatchesOnePerLine) {
  auto make = [] { return std::make_unique<TExtract>("[0-9]+", true, false, false); };
  EXPECT_EQ(expectChunkInvariant(make, "a12b3\r\nc456"), "/tmp/input.txt:\r\n12\r\n3\r\n456\r\n");
  EXPECT_EQ(expectChunkInvariant(make, "no digits"), "");
}

TEST(Extract, CountOnlyWithHeader) {
  auto make = [] { return std::make_unique<TExtract>("x", true, false, true); };
  EXPECT_EQ(expectChunkInvariant(make, "x x x"), "/tmp/input.txt:\r\n3\r\n");
  auto plain = [] { return std::make_unique<TExtract>("X", false, true, true); };
  EXPECT_EQ(expectChunkInvariant(plain, "x x x"), "3\r\n");
}

TEST(Extract, EmptyMatchesExtractNothing) {
  auto make = [] { return std::make_unique<TExtract>("x*", false, false, false); };
  EXPECT_EQ(expectChunkInvariant(make, "abxxc"), "xx\r\n");
}

TEST(Extract, StatisticsCountTheExtractsOfEachFile) {
  std::string statistics;
  testing::ChunkRunOptions options;
  options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
  runInChunks([] { return std::make_unique<TExtract>("a", false, false, false); }, "aaa", 0,
              options);
  EXPECT_EQ(statistics, "3 extract(s) of [a] performed");
}

TEST(RegExpFilter, ReplacementsRunThroughTheSubfilters) {
  // Each replacement is a text of its own for the subfilters, which here
  // bracket it.
  auto make = [] {
    auto filter = regExp("[0-9]+", "n$0")();
    testing::giveSubfilters(*filter, std::make_unique<testing::AngleBrackets>());
    return filter;
  };
  EXPECT_EQ(expectChunkInvariant(make, "a1 b22"), "a<n1> b<n22>");
}

} // namespace
} // namespace marrowen

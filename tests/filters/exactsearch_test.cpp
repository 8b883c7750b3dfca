#include "filters/exactsearch.h"
#include "filters/fuzzysearch.h"
#include "filters/patternfilters.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "engine/escapes.h"
#include "engine/userinterface.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::runInChunks;

testing::FilterFactory exact(std::string find, std::string replacement, bool ignoreCase = false,
                             bool wholeWord = false, bool firstOnly = false) {
  return [=] {
    return std::make_unique<TSearchFilter>(find, replacement, ignoreCase, wholeWord, false, false,
                                           false, firstOnly);
  };
}

TEST(ExactScanner, FindsFromTheStartPosition) {
  struct Case {
    const char *find;
    const char *subject;
    int start;
    int expected;
  } cases[] = {
      {"ab", "xabab", 1, 2}, {"ab", "xabab", 3, 4}, {"ab", "xabab", 5, 0}, {"ab", "", 1, 0},
      {"ab", "ab", 0, 0},    {"abc", "ab", 1, 0},   {"b", "ab", 2, 2},     {"", "ab", 1, 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(findExact(c.find, c.subject, c.start), c.expected) << c.find << " in " << c.subject;
}

TEST(ExactScanner, IgnoringCaseFollowsTheCodePage) {
  const CodePage &tables = *charTables();
  // The text to find comes upper-cased.
  EXPECT_EQ(findIgnoringCase("\xC9T\xC9", "x \xE9t\xE9", 1, tables), 3);
  EXPECT_EQ(findIgnoringCase("\xC9T\xC9", "\xC9t\xE9", 1, tables), 1);
  EXPECT_EQ(findIgnoringCase("AB", "xaB", 1, tables), 2);
  EXPECT_EQ(findIgnoringCase("AB", "xaC", 1, tables), 0);
}

TEST(SearchFilter, ReplacesEveryOccurrence) {
  EXPECT_EQ(expectChunkInvariant(exact("the", "THE"), "the other theme"), "THE oTHEr THEme");
  EXPECT_EQ(expectChunkInvariant(exact("aa", "b"), "aaaaa"), "bba");
  EXPECT_EQ(expectChunkInvariant(exact(std::string("\0\r", 2), "\\n"), std::string("a\0\rb", 4)),
            "a\nb");
}

TEST(SearchFilter, IgnoringCaseFindsAccentedLettersInEitherCase) {
  EXPECT_EQ(expectChunkInvariant(exact("\xE9t\xE9", "x", true), "\xC9T\xC9 \xC9t\xE9 ete"),
            "x x ete");
}

TEST(SearchFilter, CodePageTextNeverFitsPartOfAUtf8Character) {
  // "\xC3" is the code page's A tilde, the first byte of o umlaut, and
  // "\xB6" its pilcrow, the last; both alone in the text are found.
  const std::string text = "K\xC3\xB6ln \xC3 \xB6l";
  for (bool ignoreCase : {false, true}) {
    EXPECT_EQ(expectChunkInvariant(exact("\xC3", "X", ignoreCase), text), "K\xC3\xB6ln X \xB6l");
    EXPECT_EQ(expectChunkInvariant(exact("\xB6l", "X", ignoreCase), text), "K\xC3\xB6ln \xC3 X");
    EXPECT_EQ(expectChunkInvariant(exact("K\xC3", "X", ignoreCase), text), text);
  }
}

TEST(SearchFilter, WholeWordsResumeOneByteAfterAPartialWord) {
  EXPECT_EQ(expectChunkInvariant(exact("cat", "dog", false, true), "concat cat"), "concat dog");
  EXPECT_EQ(expectChunkInvariant(exact("aa", "X", false, true), "aaa aa"), "aaa X");
}

TEST(SearchFilter, WholeWordAtTheEndOfTheFileAndOfABuffer) {
  EXPECT_EQ(expectChunkInvariant(exact("cat", "dog", false, true), "a cat"), "a dog");
  // Far from the end, a word that ends where a chunk ends waits for the
  // byte after it.
  std::string text = std::string(4093, ' ') + "cat" + "s cat " + std::string(9000, ' ');
  std::string expected = std::string(4093, ' ') + "cats dog " + std::string(9000, ' ');
  for (std::size_t chunk : {0, 1, 7, 4096, 5000})
    EXPECT_EQ(runInChunks(exact("cat", "dog", false, true), text, chunk), expected) << chunk;
}

TEST(SearchFilter, FirstOnlyReplacesTheFirstOccurrenceOfEachFile) {
  auto files = testing::runFilesInChunks(exact("a", "X", false, false, true), {"banana", "ab"}, 0);
  EXPECT_EQ(files, (std::vector<std::string>{"bXnana", "Xb"}));
}

TEST(SearchFilter, EmptySearchTextFindsNothing) {
  EXPECT_EQ(expectChunkInvariant(exact("", "X"), "abc"), "abc");
}

TEST(SearchFilter, PromptAnswersDecideEachMatch) {
  testing::RecordingJob job;
  job.replaceAnswers = {Answer::Skip, Answer::ReplaceFile};
  testing::ChunkRunOptions options{.job = &job};
  auto make = [] {
    return std::make_unique<TSearchFilter>("ab", "X", false, false, false, true, false, false);
  };
  EXPECT_EQ(runInChunks(make, "ab ab ab", 0, options), "ab X X");
  ASSERT_EQ(job.replaceQuestions.size(), 2u);
  EXPECT_EQ(job.replaceQuestions[0].searchInformation, "Search string: ab\r\n");
  EXPECT_EQ(job.replaceQuestions[0].textAfter, " ab ab");
  EXPECT_EQ(job.replaceQuestions[1].textBefore, "ab ");
}

TEST(SearchFilter, SearchTextLongerThanAChunkIsFoundAcrossChunks) {
  // The held-back tail grows with the search text, past the 4096 bytes of a
  // chunk; one byte in its middle differs, so a half match does not fit.
  std::string find(5000, 'n');
  find[2500] = 'm';
  std::string text = std::string(3000, '.') + find + std::string(7000, '.') + find + "..";
  std::string expected = std::string(3000, '.') + "X" + std::string(7000, '.') + "X..";
  EXPECT_EQ(expectChunkInvariant(exact(find, "X"), text), expected);
  EXPECT_EQ(expectChunkInvariant(exact(find, "X", true, true), text), expected);
}

TEST(SearchFilter, CancelOrStopWithoutAJobRaisesTheQuietAbort) {
  // A text run for a caller must not hand back a truncated text as done.
  auto make = [] {
    return std::make_unique<TSearchFilter>("b", "X", false, false, false, true, false, false);
  };
  testing::InstalledUserInterface ui;
  for (Answer answer : {Answer::Cancel, Answer::Stop}) {
    ui->defaultReplaceAnswer = answer;
    EXPECT_THROW(runInChunks(make, "abc", 0), EAbort) << static_cast<int>(answer);
  }
}

TEST(SearchFilter, StatisticsCountReplacementsAndSkips) {
  testing::RecordingJob job;
  job.replaceAnswers = {Answer::Skip, Answer::Replace};
  std::string statistics;
  testing::ChunkRunOptions options{.job = &job};
  options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
  auto make = [] {
    return std::make_unique<TSearchFilter>("a", "X", false, false, false, true, false, false);
  };
  runInChunks(make, "aa", 0, options);
  EXPECT_EQ(statistics, "1 replace(s) performed, 1 skipped for [a]");
}

// The exact, pattern and edit-distance searches of "cat"; below, the ends
// of their statistics lines.
std::unique_ptr<TFilter> catSearch(int kind, bool prompt, bool firstOnly) {
  if (kind == 0)
    return std::make_unique<TSearchFilter>("cat", "X", false, false, false, prompt, false,
                                           firstOnly);
  if (kind == 1)
    return std::make_unique<TRegExpFilter>("c.t", "X", true, false, false, prompt, false, firstOnly,
                                           false, false, false, 4096, TPatternType::Pattern);
  return std::make_unique<TEditDistance>("cat", "X", true, false, prompt, false, firstOnly, 0);
}
const char *const catSuffixes[] = {" for [cat]", " for pattern match [c.t]",
                                   " for edit distance [cat]"};

// A match that is kept, whether by first-only or by a standing answer, is
// still counted, so the log says how many were skipped: in every search
// filter, in the main chain and in a subfilter chain, and for the rest of a
// file or job after the answer that keeps them.
TEST(SearchFilters, KeptMatchesAreCountedAsSkipped) {
  // Options: "f" first only, "p" prompting (the answers given in turn), "s"
  // in a subfilter chain given the pieces between ";"; then the inputs and,
  // for each, the replacements and skips logged.
  using Strings = std::vector<std::string>;
  const std::tuple<std::string, std::vector<Answer>, Strings, Strings> cases[] = {
      {"f", {}, {"cat a cat b cat", "cat"}, {"1 2", "1 0"}},
      {"p",
       {Answer::Replace, Answer::SkipFile, Answer::Skip},
       {"cat a cat b cat", "cat"},
       {"1 2", "0 1"}},
      {"p", {Answer::SkipJob}, {"cat a cat b cat", "cat x cat"}, {"0 3", "0 2"}},
      {"fs", {}, {"cat cat;cat"}, {"2 1"}},
      {"ps", {Answer::Replace, Answer::SkipFile}, {"cat a;cat b;cat"}, {"1 2"}},
  };
  for (int kind = 0; kind < 3; ++kind) {
    for (const auto &[options, answers, inputs, logged] : cases) {
      SCOPED_TRACE(catSuffixes[kind] + (" with " + options));
      const bool prompt = options.find('p') != std::string::npos;
      const bool firstOnly = options.find('f') != std::string::npos;
      const bool inSubchain = options.find('s') != std::string::npos;
      testing::RecordingJob job;
      job.replaceAnswers.assign(answers.begin(), answers.end());
      auto make = [&]() -> std::unique_ptr<TFilter> {
        if (!inSubchain)
          return catSearch(kind, prompt, firstOnly);
        auto selector = std::make_unique<testing::PieceSelector>();
        testing::giveSubfilters(*selector, catSearch(kind, prompt, firstOnly));
        return selector;
      };
      testing::runFilesInChunks(make, inputs, 0, {.job = &job, .logStatisticsOfEachFile = true});
      Strings expected;
      for (const std::string &counts : logged) {
        const std::string skipped = counts.substr(2);
        expected.push_back((inSubchain ? "  " : "") + counts.substr(0, 1) +
                           " replace(s) performed" +
                           (skipped == "0" ? "" : ", " + skipped + " skipped") + catSuffixes[kind]);
      }
      EXPECT_EQ(job.logLines, expected);
    }
  }
}

} // namespace
} // namespace marrowen

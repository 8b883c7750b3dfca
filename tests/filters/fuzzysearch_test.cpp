#include "filters/fuzzysearch.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "engine/escapes.h"
#include "engine/userinterface.h"
#include "support/chunk_harness.h"
#include "support/recording_job.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;

testing::FilterFactory distance(std::string word, std::string replacement, int threshold,
                                bool caseSensitive = true) {
  return [=] {
    return std::make_unique<TEditDistance>(word, replacement, caseSensitive, false, false, false,
                                           false, threshold);
  };
}

testing::FilterFactory soundsLike(std::string word, std::string replacement) {
  return [=] {
    return std::make_unique<TSoundexSearchReplace>(word, replacement, false, false, false, false);
  };
}

TEST(Soundex, CodesOfKnownNames) {
  const std::pair<const char *, const char *> cases[] = {
      {"Robert", "R163"}, {"Rupert", "R163"}, {"Tymczak", "T522"}, {"Pfister", "P123"},
      {"Lloyd", "L300"},  {"lloyd", "L300"},  {"A", "A000"},       {"", ""},
  };
  for (const auto &[word, code] : cases)
    EXPECT_EQ(soundexCode(word, *charTables()), code) << word;
}

TEST(EditDistance, UnitCosts) {
  EXPECT_EQ(editDistance("color", "colour"), 1);
  EXPECT_EQ(editDistance("color", "colr"), 1);
  EXPECT_EQ(editDistance("color", "clr"), 2);
  EXPECT_EQ(editDistance("kitten", "sitting"), 3);
  EXPECT_EQ(editDistance("abc", ""), 3);
}

TEST(EditDistanceFilter, ThresholdOneReplacesNearWordsOnly) {
  EXPECT_EQ(expectChunkInvariant(distance("color", "C", 1), "color colour colr clr, Color."),
            "C C C clr, C.");
  EXPECT_EQ(expectChunkInvariant(distance("color", "C", 0, false), "COLOR colour"), "C colour");
}

TEST(EditDistanceFilter, IgnoringCaseFollowsTheCodePage) {
  EXPECT_EQ(expectChunkInvariant(distance("\xE9t\xE9", "x", 0, false), "\xC9T\xC9 \xC9t\xE9"),
            "x x");
}

TEST(EditDistanceFilter, WordsStartWithALetterAndHoldDigitsAndHyphens) {
  EXPECT_EQ(expectChunkInvariant(distance("e-mail", "M", 0), "e-mail mail 9e-mail -e-mail"),
            "M mail 9M -M");
  EXPECT_EQ(expectChunkInvariant(distance("color", "C", 0), "col0r 9color"), "col0r 9C");
}

TEST(EditDistanceFilter, AWordAtTheEndOfTheFileIsCompared) {
  EXPECT_EQ(expectChunkInvariant(distance("color", "C", 1), "a colr"), "a C");
}

TEST(EditDistanceFilter, AVeryLongWordPassesUnchanged) {
  std::string longWord(100000, 'a');
  std::string text = "colour " + longWord + " colr";
  EXPECT_EQ(expectChunkInvariant(distance("color", "C", 1), text), "C " + longWord + " C");
}

TEST(EditDistanceFilter, WordsNearTheThresholdLimitAreCompared) {
  // A found word longer than 255 bytes may still be within the threshold.
  std::string word(200, 'b');
  std::string found(300, 'b');
  EXPECT_EQ(expectChunkInvariant(distance(word, "X", 100), found + " " + std::string(301, 'b')),
            "X " + std::string(301, 'b'));
}

TEST(EditDistanceFilter, BadSettingsFailWhenBuilt) {
  try {
    distance("two words", "x", 1)();
    FAIL();
  } catch (const Exception &e) {
    EXPECT_EQ(e.message(), "The text must be a single word");
  }
  EXPECT_THROW(distance("a", "x", 256)(), ERangeError);
  EXPECT_THROW(distance("a", "x", -1)(), ERangeError);
  EXPECT_THROW(distance(std::string(256, 'a'), "x", 1)(), ERangeError);
  EXPECT_THROW(distance("a", "\\x", 1)(), Exception);
}

TEST(EditDistanceFilter, DeclinedWordIsKeptWhole) {
  testing::RecordingJob job;
  job.replaceAnswers = {Answer::Skip, Answer::Replace};
  testing::ChunkRunOptions options{.job = &job};
  auto make = [] {
    return std::make_unique<TEditDistance>("color", "C", true, false, true, false, false, 1);
  };
  EXPECT_EQ(testing::runInChunks(make, "colour colr", 0, options), "colour C");
  ASSERT_EQ(job.replaceQuestions.size(), 2u);
  EXPECT_EQ(job.replaceQuestions[0].searchInformation,
            "Edit distance from word: color\r\nReplace when edit distance is <= 1\r\n\r\n"
            "Found word: colour\r\nActual edit distance: 1");
  EXPECT_EQ(job.replaceQuestions[0].textAfter, " colr");
}

TEST(EditDistanceFilter, CancelWithoutAJobRaisesTheQuietAbort) {
  testing::InstalledUserInterface ui;
  ui->defaultReplaceAnswer = Answer::Cancel;
  auto make = [] {
    return std::make_unique<TEditDistance>("color", "C", true, false, true, false, false, 1);
  };
  EXPECT_THROW(testing::runInChunks(make, "colour colr", 0), EAbort);
}

TEST(SoundsLikeFilter, ReplacesWordsWithTheSameCode) {
  EXPECT_EQ(expectChunkInvariant(soundsLike("Robert", "R"), "Rupert, Rubin and robert."),
            "R, Rubin and R.");
}

TEST(SoundsLikeFilter, StatisticsAndPromptNameTheWordAndCode) {
  testing::RecordingJob job;
  std::string statistics;
  testing::ChunkRunOptions options{.job = &job};
  options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
  auto make = [] {
    return std::make_unique<TSoundexSearchReplace>("Robert", "R", false, true, false, false);
  };
  testing::runInChunks(make, "Rupert", 0, options);
  EXPECT_EQ(statistics, "1 replace(s) performed for sounds-like [Robert]");
  ASSERT_EQ(job.replaceQuestions.size(), 1u);
  EXPECT_EQ(job.replaceQuestions[0].searchInformation,
            "Sounds like: Robert\r\nSoundex('Robert')=R163\r\n\r\nFound word: Rupert");
}

} // namespace
} // namespace marrowen

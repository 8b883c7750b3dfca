#include "filters/concordance.h"

#include "classlib/exceptions.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::FilterFactory;

FilterFactory concordance(int before, int after, std::vector<std::string> words,
                          std::string format = "%s %d %s") {
  return [=] { return std::make_unique<TWordConcordance>(before, after, format, words); };
}

TEST(WordConcordance, OneEntryPerDictionaryWordWithItsContext) {
  EXPECT_EQ(expectChunkInvariant(concordance(1, 1, {"fox"}), "the quick fox jumps"),
            "fox 1 quick fox jumps\r\n");
  // Matched without regard to case, shown in lower case.
  EXPECT_EQ(expectChunkInvariant(concordance(1, 1, {"fox"}), "The Fox."), "fox 1 The Fox\r\n");
  // Nothing but the entries is passed on.
  EXPECT_EQ(expectChunkInvariant(concordance(2, 2, {"zebra"}), "no such word\n"), "");
}

TEST(WordConcordance, ContextIsCutAtTheStartAndEndOfTheFile) {
  EXPECT_EQ(expectChunkInvariant(concordance(2, 2, {"a", "e"}), "a b c d e"),
            "a 1 a b c\r\ne 1 c d e\r\n");
  // Fewer words in the file than the window holds.
  EXPECT_EQ(expectChunkInvariant(concordance(3, 3, {"x"}), "x"), "x 1 x\r\n");
}

TEST(WordConcordance, EntriesCarryTheLineOfTheirWord) {
  // The context runs across lines; the number is the word's own line, also
  // for the words whose entries are made at the end of the file.
  EXPECT_EQ(expectChunkInvariant(concordance(1, 2, {"b", "d"}), "a b\r\nc\nd"),
            "b 1 a b c d\r\nd 3 c d\r\n");
}

TEST(WordConcordance, WordsStartWithALetterAndNeverSpanLines) {
  EXPECT_EQ(expectChunkInvariant(concordance(0, 0, {"it", "s", "a_b1", "abc", "cd"}),
                                 "it's a_b1 1abc ab\ncd"),
            "it 1 it\r\ns 1 s\r\na_b1 1 a_b1\r\nabc 1 abc\r\ncd 2 cd\r\n");
}

TEST(WordConcordance, OnlyTheDictionaryWordsHaveEntries) {
  // "some" is a word like any other.
  EXPECT_EQ(expectChunkInvariant(concordance(0, 0, {"fox"}), "some fox"), "fox 1 fox\r\n");
}

TEST(WordConcordance, WindowRestartsWithEveryFile) {
  auto files = testing::runFilesInChunks(concordance(1, 1, {"b"}), {"a b", "b c"}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"b 1 a b\r\n", "b 1 b c\r\n"}));
}

TEST(WordConcordance, FormatTakesTheLineNumberAsNumberOrText) {
  EXPECT_EQ(expectChunkInvariant(concordance(0, 1, {"a"}, "%s %s %s"), "a b"), "a 1 a b\r\n");
  EXPECT_EQ(expectChunkInvariant(concordance(0, 0, {"a"}, "[%2:s] %0:s@%1:d"), "a"), "[a] a@1\r\n");
  EXPECT_EQ(expectChunkInvariant(concordance(1, 1, {"a"}, "%s"), "a b"), "a\r\n");
  // A format that fits neither is refused when the filter is made.
  EXPECT_THROW(TWordConcordance(1, 1, "%d %d %d", {"a"}), EConvertError);
}

TEST(WordConcordance, WordCountsOutOfRangeAreRefused) {
  EXPECT_THROW(TWordConcordance(-1, 1, "%s %d %s", {"a"}), ERangeError);
  EXPECT_THROW(TWordConcordance(1, TWordConcordance::maxContextWords + 1, "%s %d %s", {"a"}),
               ERangeError);
}

} // namespace
} // namespace marrowen

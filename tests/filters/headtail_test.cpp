#include "filters/headtail.h"

#include "classlib/graphemes.h"
#include "classlib/utf8.h"
#include "codec_testing.h"
#include "engine/escapes.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectCases;
using testing::expectChunkInvariant;
using testing::factory;

const std::string fiveLines = "1\r\n2\n3\r4\r\n5";

// Where the last `count` characters of `text` begin, read whole: the
// streaming filter, which sees the text a chunk at a time, must agree.
std::size_t lastCharactersStart(std::string_view text, std::size_t count) {
  const std::size_t total = utf8::characterCount(text);
  if (total <= count)
    return 0;
  graphemes::ClusterWalk walk(text, *charTables());
  walk.takeAtLeast(total - count);
  return walk.position();
}

TEST(LinesFromStart, IncludeOrExclude) {
  expectCases(factory<TIncludeExcludeLinesFromStart>(2, true),
              {{fiveLines, "1\r\n2\n"}, {"", ""}, {"one", "one"}});
  expectCases(factory<TIncludeExcludeLinesFromStart>(2, false),
              {{fiveLines, "3\r4\r\n5"}, {"1\n", ""}});
  expectCases(factory<TIncludeExcludeLinesFromStart>(0, true), {{fiveLines, ""}});
}

TEST(LinesFromEnd, IncludeOrExclude) {
  expectCases(factory<TIncludeExcludeLinesFromEnd>(2, true),
              {{fiveLines, "4\r\n5"}, {"one", "one"}, {"", ""}, {"a\r", "a\r"}});
  expectCases(factory<TIncludeExcludeLinesFromEnd>(2, false),
              {{fiveLines, "1\r\n2\n3\r"}, {"one", ""}});
  expectCases(factory<TIncludeExcludeLinesFromEnd>(0, false), {{fiveLines, fiveLines}});
  expectCases(factory<TIncludeExcludeLinesFromEnd>(0, true), {{fiveLines, ""}});
  expectCases(factory<TIncludeExcludeLinesFromEnd>(9, true), {{fiveLines, fiveLines}});
}

TEST(BytesFromStart, IncludeOrExclude) {
  expectCases(factory<TIncludeExcludeBytesFromStart>(3, false), {{"ab", ""}, {"abcdef", "def"}});
  expectCases(factory<TIncludeExcludeBytesFromStart>(3, true), {{"ab", "ab"}, {"abcdef", "abc"}});
  std::string text = testing::scrambledBytes(10000);
  EXPECT_EQ(expectChunkInvariant(factory<TIncludeExcludeBytesFromStart>(4097, true), text),
            text.substr(0, graphemes::prefixWithin(text, *charTables(), 4097)));
}

TEST(BytesFromEnd, IncludeOrExclude) {
  expectCases(factory<TIncludeExcludeBytesFromEnd>(3, true), {{"ab", "ab"}, {"abcdef", "def"}});
  expectCases(factory<TIncludeExcludeBytesFromEnd>(3, false), {{"ab", ""}, {"abcdef", "abc"}});
  std::string text = testing::scrambledBytes(20000);
  for (int count : {0, 1, 4095, 4096, 4097, 12345, 30000}) {
    const std::size_t start = lastCharactersStart(text, static_cast<std::size_t>(count));
    EXPECT_EQ(expectChunkInvariant(factory<TIncludeExcludeBytesFromEnd>(count, true), text),
              text.substr(start));
    EXPECT_EQ(expectChunkInvariant(factory<TIncludeExcludeBytesFromEnd>(count, false), text),
              text.substr(0, start));
  }
}

TEST(HeadTail, EachFileCountsAfresh) {
  EXPECT_EQ(
      testing::runFilesInChunks(factory<TIncludeExcludeBytesFromEnd>(2, true), {"abc", "d"}, 1),
      (std::vector<std::string>{"bc", "d"}));
  EXPECT_EQ(testing::runFilesInChunks(factory<TIncludeExcludeLinesFromEnd>(1, false),
                                      {"a\nb\n", "c\n"}, 1),
            (std::vector<std::string>{"a\n", ""}));
  EXPECT_EQ(
      testing::runFilesInChunks(factory<TIncludeExcludeBytesFromStart>(1, true), {"ab", "cd"}, 1),
      (std::vector<std::string>{"a", "c"}));
}

TEST(DeleteAll, EveryFileComesOutEmpty) {
  EXPECT_EQ(expectChunkInvariant(factory<TDeleteAll>(), fiveLines), "");
}

} // namespace
} // namespace marrowen

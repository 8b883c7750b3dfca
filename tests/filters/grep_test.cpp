#include "filters/grep.h"

#include "classlib/exceptions.h"
#include "classlib/paths.h"
#include "engine/messages.h"
#include "engine/subchain.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;

struct GrepOptions {
  bool lineNumbers = false;
  bool invert = false;
  bool header = false;
  bool ignoreCase = false;
  bool countOnly = false;
  int before = 0;
  int after = 0;
  bool childChain = false; // child filters that bracket each text they get
};

testing::FilterFactory grep(std::string pattern, GrepOptions o = {}) {
  return [=]() -> std::unique_ptr<TFilter> {
    std::unique_ptr<TGrep> filter;
    if (o.before == 0 && o.after == 0)
      filter = std::make_unique<TGrep>(pattern, o.lineNumbers, o.invert, o.header, o.ignoreCase,
                                       o.countOnly);
    else
      filter = std::make_unique<TContextGrep>(pattern, o.lineNumbers, o.invert, o.header,
                                              o.ignoreCase, o.countOnly, o.before, o.after);
    if (o.childChain)
      testing::giveSubfilters(*filter, std::make_unique<testing::AngleBrackets>(),
                              std::make_unique<TIgnoreFlush>());
    return filter;
  };
}

TEST(Grep, SelectsMatchingLinesWithTheirNumbers) {
  EXPECT_EQ(expectChunkInvariant(grep("a", {.lineNumbers = true}), "a1\nb\r\na2"), "1 a1\n3 a2");
}

TEST(Grep, InvertWithoutAndWithChildChain) {
  EXPECT_EQ(expectChunkInvariant(grep("a", {.invert = true}), "a1\nb\na2\n"), "b\n");
  EXPECT_EQ(expectChunkInvariant(grep("a", {.invert = true, .childChain = true}), "a1\nb\na2\n"),
            "a1\n<b\n>a2\n");
  EXPECT_EQ(expectChunkInvariant(grep("a", {.childChain = true}), "a1\nb\n"), "<a1\n>b\n");
}

TEST(Grep, HeaderBeforeTheFirstSelectedLineOnly) {
  EXPECT_EQ(expectChunkInvariant(grep("a", {.header = true}), "b\na1\na2\n"),
            "/tmp/input.txt:\na1\na2\n");
  EXPECT_EQ(expectChunkInvariant(grep("a", {.header = true}), "b\nc\n"), "");
  // A last line without a line end still gets the name on a line of its own.
  EXPECT_EQ(expectChunkInvariant(grep("a", {.header = true}), "b\na"), "/tmp/input.txt:\r\na");
}

TEST(Grep, CountOnly) {
  EXPECT_EQ(expectChunkInvariant(grep("a", {.header = true, .countOnly = true}), "a\nb\na\na"),
            "/tmp/input.txt:\r\n3\r\n");
  EXPECT_EQ(expectChunkInvariant(grep("a", {.countOnly = true}), "b"), "0\r\n");
  // The count starts again with each file.
  for (std::size_t split : testing::chunkSplits)
    EXPECT_EQ(
        testing::runFilesInChunks(grep("a", {.countOnly = true}), {"a\na\n", "a\nb\n"}, split),
        (std::vector<std::string>{"2\r\n", "1\r\n"}))
        << split;
}

TEST(Grep, AnchorsHoldForEachLine) {
  EXPECT_EQ(expectChunkInvariant(grep("^b"), "ab\nba\r\nb"), "ba\r\nb");
  EXPECT_EQ(expectChunkInvariant(grep("b$"), "ab\nba\r\nb"), "ab\nb");
}

// Without a child chain the chunk is searched as a whole and the lines
// between possible matches are passed over unsearched; the lines selected
// and their numbers must be those the line-by-line search (as the context
// grep does it) gives, whatever the line ends and however the text is cut.
TEST(Grep, BlockSearchSelectsWhatEachLineSearchSelects) {
  std::mt19937 random(5);
  const char *tokens[] = {"ab", "a", "B12", "345", "x.com", "m@h.com", "AB", "", " "};
  const char *ends[] = {"\n", "\r", "\r\n"};
  std::string input;
  for (int i = 0; i < 400; ++i) {
    for (int k = random() % 4; k > 0; --k)
      input += tokens[random() % std::size(tokens)];
    input += ends[random() % std::size(ends)];
  }
  input += "ab";
  // "a[^x]" and "3.5" are rows of bytes the scan finds whole, though the row
  // may run over a line end.
  for (const char *pattern :
       {"ab", "[0-9][0-9][0-9]", "^a", "b$", "\\w+@\\w+\\.com", "a.*b", "a[^x]", "3.5"}) {
    for (int variant = 0; variant < 8; ++variant) {
      const bool invert = variant & 1;
      const bool ignoreCase = variant & 2;
      const bool numbers = variant & 4;
      auto perLine = [=]() -> std::unique_ptr<TFilter> {
        return std::make_unique<TContextGrep>(pattern, numbers, invert, false, ignoreCase, false, 0,
                                              0);
      };
      const auto block =
          grep(pattern, {.lineNumbers = numbers, .invert = invert, .ignoreCase = ignoreCase});
      EXPECT_EQ(expectChunkInvariant(block, input),
                testing::runInChunks(perLine, input, input.size()))
          << pattern << " " << variant;
      // The lines passed over count as searched ones do.
      std::string statistics[2];
      for (int k = 0; k < 2; ++k)
        testing::runInChunks(k == 0 ? block : perLine, input, 7,
                             {.afterRun = [&](TFilter &f) { statistics[k] = f.getStatistics(); }});
      EXPECT_EQ(statistics[0], statistics[1]) << pattern << " " << variant;
    }
  }
}

TEST(Grep, EmptyLineNeverMatches) {
  EXPECT_EQ(expectChunkInvariant(grep("x*"), "\na\n\n"), "a\n");
  EXPECT_EQ(expectChunkInvariant(grep("^$"), "\n\n"), "");
  EXPECT_EQ(expectChunkInvariant(grep("x*", {.invert = true}), "\na\n\n"), "\n\n");
}

TEST(Grep, IgnoreCase) {
  EXPECT_EQ(expectChunkInvariant(grep("abc", {.ignoreCase = true}), "ABC\nxyz\naBc"), "ABC\naBc");
}

TEST(Grep, StatisticsCountMatchingLinesFirst) {
  for (bool invert : {false, true}) {
    std::string statistics;
    testing::ChunkRunOptions options;
    options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
    testing::runInChunks(grep("a\t", {.invert = invert}), "a\t\nb\na\t\n", 0, options);
    EXPECT_EQ(statistics, "2 matching line(s), 1 non-matching line(s) for pattern [a\\t]");
  }
}

TEST(Grep, BadPatternFailsWhenBuilt) { EXPECT_THROW(grep("(a")(), Exception); }

TEST(Grep, NulBytesInLines) {
  const std::string text = std::string("ab\0c\nxy\n\0z\n", 11) + "b";
  // "$" matches before a NUL, the bytes after it are still searched ("c"),
  // and the whole line, NUL included, is passed on.
  EXPECT_EQ(expectChunkInvariant(grep("b$"), text), std::string("ab\0c\nb", 6));
  EXPECT_EQ(expectChunkInvariant(grep("^\\000", {.lineNumbers = true}), text),
            std::string("3 \0z\n", 5));
  EXPECT_EQ(expectChunkInvariant(grep("c", {.invert = true}), text), std::string("xy\n\0z\nb", 7));
}

TEST(ContextGrep, LastLineWithoutALineEnd) {
  EXPECT_EQ(expectChunkInvariant(grep("y", {.lineNumbers = true, .before = 1}), "x\ny"),
            "1 x\n2 y");
  EXPECT_EQ(expectChunkInvariant(grep("x", {.after = 1, .childChain = true}), "a\nx"), "a\n<x>");
}

TEST(ContextGrep, MatchOnTheFirstLineSkipsTheBlankEntries) {
  EXPECT_EQ(expectChunkInvariant(grep("a", {.before = 1, .after = 1}), "a\nb\nc\n"), "a\nb\n");
}

TEST(ContextGrep, ContextLinesCarryTheirOwnNumbers) {
  EXPECT_EQ(expectChunkInvariant(grep("c", {.lineNumbers = true, .before = 2, .after = 1}),
                                 "a\nb\nc\nd\ne\n"),
            "1 a\n2 b\n3 c\n4 d\n");
}

TEST(ContextGrep, OverlappingContextsRepeatLines) {
  EXPECT_EQ(expectChunkInvariant(grep("x", {.before = 1, .after = 1}), "a\nx1\nx2\nb\nc\n"),
            "a\nx1\nx2\nx1\nx2\nb\n");
}

TEST(ContextGrep, FileShorterThanTheWindow) {
  EXPECT_EQ(expectChunkInvariant(grep("x", {.before = 3, .after = 3}), "x"), "x");
  EXPECT_EQ(expectChunkInvariant(grep("x", {.before = 0, .after = 2}), "x\ny"), "x\ny");
  EXPECT_EQ(expectChunkInvariant(grep("x", {.before = 2, .after = 2}), ""), "");
}

TEST(ContextGrep, HeaderAndChildChain) {
  EXPECT_EQ(expectChunkInvariant(grep("x", {.header = true, .after = 1}), "a\nx\nb\n"),
            "File /tmp/input.txt:\r\nx\nb\n");
  // Each context is one text for the child filters; other lines pass on.
  EXPECT_EQ(expectChunkInvariant(grep("x", {.after = 1, .childChain = true}), "a\nx\nb\n"),
            "a\n<x\nb\n>b\n");
  // A translated header that does not fit its value: the English one.
  testing::TempFolder dir;
  overrideProgramFolder(dir.path());
  testing::writeFile(dir.file("x.ini"), "[global]\r\n2320=Datei %d %d:\r\n\r\n");
  auto previous = installStringLoader(std::make_shared<TStringLoader>(dir.file("x.ini")));
  EXPECT_EQ(expectChunkInvariant(grep("x", {.header = true, .after = 1}), "a\nx\nb\n"),
            "File /tmp/input.txt:\r\nx\nb\n");
  installStringLoader(previous);
  overrideProgramFolder("");
}

TEST(ContextGrep, CountOnlyGivesOneCount) {
  EXPECT_EQ(expectChunkInvariant(grep("x", {.header = true, .countOnly = true, .before = 1}),
                                 "x\ny\nx\n"),
            "/tmp/input.txt:\r\n2\r\n");
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(ContextGrep, HugeContextCountsCostNoMemory) {
  const int huge = std::numeric_limits<int>::max();
  EXPECT_EQ(expectChunkInvariant(grep("x", {.lineNumbers = true, .before = huge, .after = huge}),
                                 "a\nx\nb\n"),
            "1 a\n2 x\n3 b\n");
}

TEST(ContextGrep, NegativeCountsFailWhenBuilt) {
  EXPECT_THROW(grep("x", {.before = -1, .after = 1})(), ERangeError);
}

} // namespace
} // namespace marrowen

#include "filters/ranges.h"

#include "filters/fields.h"
#include "filters/selected_run.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::Cases;
using testing::expectCases;
using testing::expectChunkInvariant;
using testing::factory;
using testing::withBracketRun;

TEST(RemoveColumns, EachLocateMethod) {
  struct Case {
    LocateRange range;
    std::string input, expected;
  };
  const Case cases[] = {
      // Columns 3 .. 5 of a seven-byte line; a two-byte line is too short.
      {{0, 3, 5}, "1234567\r\n12\n", "1267\r\n12\n"},
      {{1, 2, 3}, "1234567\n", "1567\n"},
      // Four columns from END - 4; on a line shorter than 4 the part
      // before column 1 is cut off.
      {{2, 4, 4}, "1234567\n12\n", "127\n2\n"},
      // Column 2 .. END - 2, and nothing on a line too short for it.
      {{3, 2, 2}, "1234567\n123\n", "167\n123\n"},
      {{4, 4, 2}, "1234567\n12\n", "1267\n12\n"},
      // A start before column 1 loses the part that lies before it.
      {{0, 0, 2}, "1234\n", "34\n"},
      {{1, -1, 3}, "1234\n", "234\n"},
      // Empty and negative ranges delete nothing; past the end neither.
      {{1, 2, 0}, "1234\n", "1234\n"},
      {{0, 3, 1}, "1234\n", "1234\n"},
      {{0, 9, 12}, "1234\n", "1234\n"},
      // The line end stays, also a missing one.
      {{0, 1, 1}, "ab\rcd", "b\rd"},
      // Another method counts as b columns from column a.
      {{7, 2, 2}, "1234\n", "14\n"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(expectChunkInvariant(factory<TRemoveColumns>(c.range), c.input), c.expected)
        << "method " << c.range.method << " a " << c.range.a << " b " << c.range.b;
}

TEST(SelectColumns, RangeRunsThroughTheSubfiltersInPlace) {
  expectCases(withBracketRun<TSelectColumns>(LocateRange{0, 2, 3}),
              {{"abcde\nxy\n", "a[BC]de\nx[Y]\n"}, {"", ""}, {"ab", "a[B]"}});
  // Too short for the range: the subfilters run over nothing, in the place
  // where the range would start.
  expectCases(withBracketRun<TSelectColumns>(LocateRange{3, 2, 2}),
              {{"abcdef\nab\n", "a[BCD]ef\na[]b\n"}});
  expectCases(withBracketRun<TSelectColumns>(LocateRange{2, 4, 4}),
              {{"abcdef\nab\n", "a[BCDE]f\n[A]b\n"}});
}

// Answers "stop" to the chunk numbered `stopAt` (from 1) and counts them.
class StopAt : public TFilter {
public:
  StopAt(int stopAt, int &seen) : stopAt_(stopAt), seen_(seen) {}
  bool processChunk(std::string &) override { return ++seen_ != stopAt_; }

private:
  int stopAt_;
  int &seen_;
};

// A "stop" the next filter answers to any piece a selector sends, for a
// short line or one sent in pieces, is the selector's answer for the chunk:
// a user's stop is never lost.
TEST(SelectFilters, AStopAnsweredToAnyPieceIsKept) {
  const testing::FilterFactory selectors[] = {
      withBracketRun<TSelectColumns>(LocateRange{0, 2, 3}),
      withBracketRun<TCSVfield>(LocateRange{0, 2, 2}, true),
      withBracketRun<TCSVfield>(LocateRange{0, 1, 1}, false),
  };
  const std::string longLine(3 * textPieceSize() + 5, 'a');
  for (const std::string &text : {std::string("a,b,c\nd,e\n"), longLine + "\n" + longLine}) {
    for (const auto &make : selectors) {
      int pieces = 0;
      for (int stopAt = 0; stopAt <= pieces; ++stopAt) {
        auto filter = make();
        int seen = 0;
        filter->setNext(std::make_unique<StopAt>(stopAt, seen));
        filter->startFile();
        std::string chunk = text;
        EXPECT_EQ(filter->processChunk(chunk), stopAt == 0)
            << "stop answered to piece " << stopAt << " of a " << text.size() << "-byte text";
        if (stopAt == 0)
          pieces = seen;
      }
      EXPECT_GT(pieces, 0);
    }
  }
}

TEST(SelectFilters, RefuseToRunWithoutSubfilters) {
  const testing::FilterFactory selectors[] = {
      factory<TSelectColumns>(LocateRange{0, 1, 2}), factory<TSelectLinesBasic>(1, false, 2),
      factory<TSelectLinesLengthFromEnd>(1, 2),      factory<TSelectLinesOffsetToEnd>(1, 2),
      factory<TSelectLinesEndOffsets>(2, 1),
  };
  for (const auto &make : selectors) {
    auto filter = make();
    EXPECT_NE(testing::errorOf([&] { filter->validateChain(); }).find("-type filters need"),
              std::string::npos);
    testing::giveSubfilters(*filter, std::make_unique<testing::BracketRun>());
    EXPECT_EQ(testing::errorOf([&] { filter->validateChain(); }), "no error");
  }
}

const std::string fiveLines = "l1\nl2\nl3\nl4\nl5\n";

TEST(SelectLines, FromTheStart) {
  struct Case {
    std::int32_t a;
    bool count;
    std::int32_t b;
    std::string input, expected;
  };
  const Case cases[] = {
      {2, false, 3, fiveLines, "l1\n[L2\nL3\n]l4\nl5\n"},
      {2, true, 3, fiveLines, "l1\n[L2\nL3\nL4\n]l5\n"},
      // The range runs past the end of the file: the output comes at its end.
      {2, false, 10, "l1\nl2\nl3\n", "l1\n[L2\nL3\n]"},
      {1, false, 1, "l1\r\nl2", "[L1\r\n]l2"},
      // A last line without a line end is selected as it is.
      {3, false, 3, "l1\nl2\nl3", "l1\nl2\n[L3]"},
      // A file that ends before the range never runs the subfilters.
      {4, false, 5, "l1\nl2\n", "l1\nl2\n"},
      // No lines counted from line 2 select nothing.
      {2, true, 0, "l1\nl2\nl3\n", "l1\nl2\nl3\n"},
      // Line numbers start at 1, so an earlier start selects from line 1.
      {0, true, 2, "l1\nl2\nl3\n", "[L1\n]l2\nl3\n"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(expectChunkInvariant(withBracketRun<TSelectLinesBasic>(c.a, c.count, c.b), c.input),
              c.expected)
        << c.a << (c.count ? " count " : " .. ") << c.b;
}

TEST(SelectLines, CountedFromTheEnd) {
  struct Case {
    testing::FilterFactory make;
    std::string input, expected;
  };
  const Case cases[] = {
      // Two lines starting at END - 3.
      {withBracketRun<TSelectLinesLengthFromEnd>(3, 2), fiveLines, "l1\n[L2\nL3\n]l4\nl5\n"},
      // A two-line file is shorter than the window: its first line takes
      // the place of line END - 4.
      {withBracketRun<TSelectLinesLengthFromEnd>(4, 2), "l1\nl2", "[L1\nL2]"},
      {withBracketRun<TSelectLinesLengthFromEnd>(1, 5), fiveLines, "l1\nl2\nl3\n[L4\nL5\n]"},
      // Line 2 .. END - 1.
      {withBracketRun<TSelectLinesOffsetToEnd>(2, 1), fiveLines, "l1\n[L2\nL3\nL4\n]l5\n"},
      {withBracketRun<TSelectLinesOffsetToEnd>(1, 0), fiveLines, "[L1\nL2\nL3\nL4\nL5\n]"},
      {withBracketRun<TSelectLinesOffsetToEnd>(4, 1), fiveLines, "l1\nl2\nl3\n[L4\n]l5\n"},
      // Line 1 .. END - 10 of three lines is empty: no line is selected.
      {withBracketRun<TSelectLinesOffsetToEnd>(1, 10), "l1\nl2\nl3\n", "[]l1\nl2\nl3\n"},
      {withBracketRun<TSelectLinesOffsetToEnd>(1, 2), "l1\nl2\nl3\n", "[L1\n]l2\nl3\n"},
      // Line 1 .. END - 3 of exactly three lines ends before it starts.
      {withBracketRun<TSelectLinesOffsetToEnd>(1, 3), "l1\nl2\nl3\n", "[]l1\nl2\nl3\n"},
      // Line END - 3 .. END - 1.
      {withBracketRun<TSelectLinesEndOffsets>(3, 1), fiveLines, "l1\n[L2\nL3\nL4\n]l5\n"},
      {withBracketRun<TSelectLinesEndOffsets>(0, 0), fiveLines, "l1\nl2\nl3\nl4\n[L5\n]"},
      {withBracketRun<TSelectLinesEndOffsets>(9, 8), "l1\nl2\nl3", "[L1\nL2\n]l3"},
      {withBracketRun<TSelectLinesEndOffsets>(2, 1), "", "[]"},
      // A start past the end of the file (a saved list may hold one) selects
      // nothing.
      {withBracketRun<TSelectLinesLengthFromEnd>(-3, 2), "l1\nl2\n", "l1\nl2\n[]"},
      {withBracketRun<TSelectLinesEndOffsets>(-2, -3), "l1\nl2\n", "l1\nl2\n[]"},
      {withBracketRun<TSelectLinesLengthFromEnd>(-2, 3), "l1\nl2\n", "l1\nl2\n[]"},
      {withBracketRun<TSelectLinesEndOffsets>(-2, -2), "l1\nl2\n", "l1\nl2\n[]"},
      {withBracketRun<TSelectLinesEndOffsets>(0, -3), "l1\nl2\n", "l1\n[L2\n]"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(expectChunkInvariant(c.make, c.input), c.expected) << testing::printable(c.input);
}

TEST(SelectLines, EachFileStartsAfresh) {
  const testing::FilterFactory selectors[] = {
      withBracketRun<TSelectLinesBasic>(2, false, 2),
      withBracketRun<TSelectLinesLengthFromEnd>(1, 1),
      withBracketRun<TSelectLinesOffsetToEnd>(2, 1),
      withBracketRun<TSelectLinesEndOffsets>(1, 1),
  };
  for (const auto &make : selectors) {
    auto outputs = testing::runFilesInChunks(make, {"a\nb\nc\n", "d\ne\nf\n"}, 1);
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0], "a\n[B\n]c\n");
    EXPECT_EQ(outputs[1], "d\n[E\n]f\n");
  }
}

TEST(SelectLines, WithoutSubfiltersLinesPassUnchanged) {
  EXPECT_EQ(expectChunkInvariant(factory<TSelectLinesOffsetToEnd>(2, 1), fiveLines), fiveLines);
  EXPECT_EQ(expectChunkInvariant(factory<TSelectLinesEndOffsets>(3, 1), fiveLines), fiveLines);
}

} // namespace
} // namespace marrowen

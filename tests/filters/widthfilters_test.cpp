#include "filters/widthfilters.h"

#include "classlib/exceptions.h"
#include "filters/layoutfilters.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectCases;
using testing::expectChunkInvariant;
using testing::factory;
using testing::FilterFactory;

TEST(WidthFilters, ChangeEachLineAndKeepItsLineEnd) {
  expectCases(factory<TPadLines>(5), {
                                         {"ab\r\nabcdef\nabcde", "ab   \r\nabcdef\nabcde"},
                                         {"\r\r", "     \r     \r"},
                                         {"", ""},
                                     });
  expectCases(factory<TForceLineWidth>(3), {{"a\r\nabcdef\nabc", "a  \r\nabc\nabc"}});
  expectCases(factory<TForceLineWidth>(0), {{"abc\n\nx", "\n\n"}});
  expectCases(factory<TTruncateWidth>(2), {{"abc\ra\n", "ab\ra\n"}});
  expectCases(factory<TCentreLines>(10), {{"abc\nabcdefghijk\r\n", "   abc\nabcdefghijk\r\n"}});
  expectCases(factory<TRightJustifyLines>(4), {{"ab\nabcde", "  ab\nabcde"}});
}

TEST(WidthFilters, NegativeWidthsAreRefused) {
  // It would cut lines to a negative length.
  EXPECT_THROW(TForceLineWidth(-1), ERangeError);
  EXPECT_THROW(TTruncateWidth(-5), ERangeError);
  EXPECT_THROW(TTabsToSpaces(2147483647), ERangeError);
  EXPECT_NO_THROW(TPadLines{2147483647});
}

// Passes chunks on, notes the largest and counts them; answers "stop" to
// the chunk numbered `stopAt` (from 1; 0 never).
class ChunkWatch : public TFilter {
public:
  ChunkWatch(std::size_t &largest, int stopAt = 0) : largest_(largest), stopAt_(stopAt) {}
  bool processChunk(std::string &chunk) override {
    largest_ = std::max(largest_, chunk.size());
    return sendToNext(chunk) && ++seen_ != stopAt_;
  }
  int seen() const { return seen_; }

private:
  std::size_t &largest_;
  int stopAt_;
  int seen_ = 0;
};

// A width far beyond the dialog's, as a list written elsewhere may hold:
// the lines come out as at any width, and the padding reaches the next
// filter in pieces, never held whole.
TEST(WidthFilters, WidePaddingGoesOnInPieces) {
  const std::int64_t wide = 1'000'000;
  const std::string pad(wide - 2, ' ');
  const std::string half((wide - 2) / 2, ' ');
  const std::pair<FilterFactory, std::string> cases[] = {
      {factory<TPadLines>(wide), "ab" + pad + "\r\ncd" + pad},
      {factory<TForceLineWidth>(wide), "ab" + pad + "\r\ncd" + pad},
      {factory<TCentreLines>(wide), half + "ab\r\n" + half + "cd"},
      {factory<TRightJustifyLines>(wide), pad + "ab\r\n" + pad + "cd"},
  };
  for (const auto &[make, expected] : cases) {
    std::size_t largest = 0;
    auto watched = [&] {
      auto head = make();
      head->setNext(std::make_unique<ChunkWatch>(largest));
      return head;
    };
    EXPECT_TRUE(expectChunkInvariant(watched, "ab\r\ncd") == expected);
    EXPECT_LE(largest, 1u << 16);
  }
  // A "stop" answered to any one piece of the padding, or to the text
  // around it, is the chunk's answer.
  std::size_t largest = 0;
  int pieces = 0;
  for (int stopAt = 0; stopAt <= pieces; ++stopAt) {
    TPadLines padded(wide);
    auto watch = std::make_unique<ChunkWatch>(largest, stopAt);
    const ChunkWatch &seen = *watch;
    padded.setNext(std::move(watch));
    std::string chunk = "ab\ncd\n";
    EXPECT_EQ(padded.processChunk(chunk), stopAt == 0) << "stop answered to piece " << stopAt;
    if (stopAt == 0)
      pieces = seen.seen();
  }
  EXPECT_GT(pieces, 20);
}

TEST(WidthFilters, StatisticsCountTheChangedLinesOfEachFile) {
  testing::RecordingJob job;
  testing::ChunkRunOptions options;
  options.job = &job;
  // The input logs them after each file; here the last file's are logged.
  options.afterRun = [](TFilter &head) { head.logStatistics(""); };
  testing::runFilesInChunks(
      [] {
        auto head = std::make_unique<TPadLines>(3);
        head->setNext(std::make_unique<TTruncateWidth>(2));
        return head;
      },
      {"a\nabc\nb", "abcd\nab"}, 7, options);
  EXPECT_EQ(job.logLines, (std::vector<std::string>{"1 line(s) padded to width of 3",
                                                    "2 line(s) truncated to width of 2"}));
}

TEST(InsertColumn, ColumnsCountFromTheStartOrBackFromTheEnd) {
  const std::string line = "0123456789";
  struct Case {
    int column;
    std::string expected;
  };
  for (const Case &c : std::vector<Case>{
           {1, "XX0123456789"},
           {3, "01XX23456789"},
           {10, "012345678XX9"},
           {11, "0123456789XX"},
           {50, "0123456789XX"},
           {0, "0123456789XX"},
           {-1, "012345678XX9"},
           {-2, "01234567XX89"},
           {-10, "XX0123456789"},
           {-50, "XX0123456789"},
       })
    EXPECT_EQ(expectChunkInvariant(factory<TInsertColumn>(c.column, std::string("XX")),
                                   line + "\r\n" + line),
              c.expected + "\r\n" + c.expected)
        << "column " << c.column;
  EXPECT_EQ(expectChunkInvariant(factory<TInsertColumn>(5, std::string("|")), "ab\n\n"),
            "ab|\n|\n");
}

TEST(InsertColumn, ExpandsVariablesForEveryLine) {
  EXPECT_EQ(
      expectChunkInvariant(factory<TInsertColumn>(1, std::string("@INPUTFILENAME: @@")), "a\nb"),
      "input.txt: @a\ninput.txt: @b");
}

TEST(ReverseEachLine, ReversesTheBytesButNotTheLineEnd) {
  expectCases(factory<TReverseEachLine>(), {
                                               {"abc\r\nxy\rz", "cba\r\nyx\rz"},
                                               {std::string("a\0b\n", 4), std::string("b\0a\n", 4)},
                                           });
}

TEST(WidthFilters, LinesHandedOnByALineFilterAreTakenWhole) {
  // A line filter after another takes its lines through putLine.
  FilterFactory chain = [] {
    auto head = std::make_unique<TReverseEachLine>();
    head->setNext(std::make_unique<TPadLines>(4));
    head->lastFilter()->setNext(std::make_unique<TInsertColumn>(-1, std::string("-")));
    return head;
  };
  EXPECT_EQ(expectChunkInvariant(chain, "ab\r\ncdef\ng"), "ba - \r\nfed-c\ng  - ");
}

} // namespace
} // namespace marrowen

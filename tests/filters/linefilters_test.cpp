#include "filters/linefilters.h"

#include "support/awkward_text.h"
#include "classlib/exceptions.h"
#include "engine/subchain.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

#include <climits>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::factory;
using testing::FilterFactory;
using testing::printable;

TEST(AddText, HeaderAndFooterInEveryFile) {
  auto make = [] {
    auto head = std::make_unique<TAddAtStartOfFile>("[@INPUTFILENAME]\n");
    head->setNext(std::make_unique<TAddAtEndOfFile>("<end>"));
    return head;
  };
  auto files = testing::runFilesInChunks(make, {"one\n", ""}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"[input.txt]\none\n<end>", "[input.txt]\n<end>"}));
}

TEST(AddText, MarginsOnEveryLine) {
  EXPECT_EQ(expectChunkInvariant(factory<TAddTextStartOrEndLine>("> ", true), "a\nb\r\n\nc"),
            "> a\n> b\r\n> \n> c");
  EXPECT_EQ(expectChunkInvariant(factory<TAddTextStartOrEndLine>(";", false), "a\r\nb"),
            "a;\r\nb;");
}

TEST(AddText, TextRunsThroughSubfilters) {
  auto make = [] {
    auto filter = std::make_unique<TAddTextStartOrEndLine>("x-", true);
    testing::giveSubfilters(*filter, std::make_unique<testing::AsciiUpper>());
    return filter;
  };
  EXPECT_EQ(expectChunkInvariant(make, "a\nb"), "X-a\nX-b");
}

struct NumberingCase {
  bool doNotCount, doNotNumber;
  std::string format, text, expected;
};

TEST(AddLineNumbers, BlankLinesAndFormats) {
  const NumberingCase cases[] = {
      {false, true, "%d", "a\n\nb\n", "1a\n\n3b\n"}, // a blank line uses up its number
      {true, true, "%d", "a\n\nb\n", "1a\n\n2b\n"},
      {false, false, "%d", "a\n\nb\n", "1a\n2\n3b\n"},
      {true, false, "%d", "a\n\nb", "1a\n2\n3b"},
      {false, false, "%3d: ", "a\r\nb", "  1: a\r\n  2: b"},
      {false, false, "%.4d|", "a", "0001|a"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(expectChunkInvariant(
                  factory<TAddLineNumbers>(1, 1, c.doNotCount, c.doNotNumber, c.format), c.text),
              c.expected)
        << c.format << " " << printable(c.text);
  EXPECT_EQ(expectChunkInvariant(factory<TAddLineNumbers>(10, -5, false, false, "%d "), "a\nb\nc"),
            "10 a\n5 b\n0 c");
}

TEST(AddLineNumbers, EachFileStartsAgain) {
  auto files = testing::runFilesInChunks(factory<TAddLineNumbers>(7, 1, false, false, "%d."),
                                         {"a\nb\n", "c\n"}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"7.a\n8.b\n", "7.c\n"}));
}

TEST(AddLineNumbers, FormatThatCannotTakeOneIntegerIsRefused) {
  for (const char *format : {"%s", "%d %d", "%", "%1:d", "%x%s"}) {
    try {
      TAddLineNumbers filter(1, 1, false, false, format);
      ADD_FAILURE() << "accepted " << format;
    } catch (const Exception &e) {
      EXPECT_EQ(e.message(), std::string("Line number format ") + format + " is invalid");
    }
  }
  EXPECT_NO_THROW(TAddLineNumbers(1, 1, false, false, "line %d%%: "));
}

TEST(AddLineNumbers, RunningPastTheLargestNumberRaises) {
  EXPECT_EQ(testing::runInChunks(factory<TAddLineNumbers>(INT_MAX, 1, false, false, "%d "), "a", 0),
            "2147483647 a")
      << "the largest number can still be given";
  EXPECT_THROW(
      testing::runInChunks(factory<TAddLineNumbers>(INT_MAX, 1, false, false, "%d "), "a\nb", 0),
      EIntOverflow);
}

TEST(RemoveBlanks, AtStartAndEndOfLines) {
  EXPECT_EQ(expectChunkInvariant(factory<TRemoveBlanksFromSOL>(), " \ta b \t\n\t\r\nc"),
            "a b \t\n\r\nc");
  EXPECT_EQ(expectChunkInvariant(factory<TRemoveBlanksFromEOL>(), " \ta b \t\n\t\r\nc "),
            " \ta b\n\r\nc");
}

TEST(RemoveBlankLines, DropsEmptyLinesAndCountsThem) {
  std::string statistics;
  testing::ChunkRunOptions options;
  options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
  EXPECT_EQ(testing::runInChunks(factory<TRemoveBlankLines>(), "a\n\r\n\rb\n  \n", 1, options),
            "a\nb\n  \n");
  EXPECT_EQ(statistics, "2 blank line(s) removed");
}

TEST(LineFilters, ChunkInvariantOnAwkwardText) {
  const FilterFactory makers[] = {
      factory<TAddTextStartOrEndLine>("<<", true),
      factory<TAddTextStartOrEndLine>(">>", false),
      factory<TAddLineNumbers>(1, 1, false, true, "%5d "),
      factory<TRemoveBlanksFromSOL>(),
      factory<TRemoveBlanksFromEOL>(),
      factory<TRemoveBlankLines>(),
  };
  for (const auto &make : makers)
    testing::expectSoundOnAwkwardTexts(make);
}

} // namespace
} // namespace marrowen

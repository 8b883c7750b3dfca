#include "filters/linebuffer.h"

#include "classlib/collation.h"
#include "classlib/exceptions.h"
#include "engine/lines.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/filter_fixtures.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace marrowen {
namespace {

using testing::Cases;
using testing::expectCases;
using testing::expectChunkInvariant;
using testing::factory;

// Sort types, as the sort node numbers them.
enum { AnsiNoCase = 0, AnsiCase, AsciiNoCase, AsciiCase, Numeric, Length };

testing::FilterFactory sortLines(int sortType, bool descending = false, bool unique = false) {
  return factory<TSortLines>(descending, sortType, unique);
}

TEST(SortLines, EachSortType) {
  const std::string input = "b\nB\n10\na\n9\nab\nA\n";
  struct Case {
    int sortType;
    std::string expected;
  };
  const Case cases[] = {
      // Lines equal without case come out later ones first.
      {AnsiNoCase, "10\n9\nA\na\nab\nB\nb\n"},
      {AnsiCase, "10\n9\na\nA\nab\nb\nB\n"},
      {AsciiNoCase, "10\n9\nA\na\nab\nB\nb\n"},
      {AsciiCase, "10\n9\nA\nB\na\nab\nb\n"},
      // Lines that do not start with a number count as 0.
      {Numeric, "A\nab\na\nB\nb\n9\n10\n"},
      {Length, "A\n9\na\nB\nb\nab\n10\n"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(expectChunkInvariant(sortLines(c.sortType), input), c.expected) << c.sortType;
}

TEST(SortLines, DescendingIsTheAscendingOrderBackwards) {
  EXPECT_EQ(expectChunkInvariant(sortLines(AsciiNoCase, true), "a\nb\nA\n"), "b\na\nA\n");
}

TEST(SortLines, RemoveDuplicatesKeepsTheFirstOfEqualLines) {
  EXPECT_EQ(expectChunkInvariant(sortLines(AnsiNoCase, false, true), "b\nB\na\nA\nb\n"), "a\nb\n");
  EXPECT_EQ(expectChunkInvariant(sortLines(AnsiNoCase, true, true), "b\nB\na\nA\nb\n"), "b\na\n");
  // One line per leading number, one per length.
  EXPECT_EQ(expectChunkInvariant(sortLines(Numeric, false, true), "2 x\n1 y\n2 z\n01\n"),
            "1 y\n2 x\n");
  EXPECT_EQ(expectChunkInvariant(sortLines(Length, false, true), "ab\nc\nde\nf\n"), "c\nab\n");
}

TEST(SortLines, LastLineTakesTheLineEndBeforeIt) {
  const Cases cases = {{"b\r\nc\r\na", "a\r\nb\r\nc\r\n"}, {"b", "b"},       {"", ""},
                       {"b\rc\na", "a\nb\rc\n"},           {"\n\n", "\n\n"}, {"b\r", "b\r"},
                       {"b\r\r\na", "\r\na\r\nb\r"}};
  expectCases(sortLines(AsciiCase), cases);
  // The same lines handed over whole by the line cutter before the sort.
  expectCases(
      [] {
        auto head = std::make_unique<TProcessLines>();
        head->setNext(std::make_unique<TSortLines>(false, AsciiCase, false));
        return std::unique_ptr<TFilter>(std::move(head));
      },
      cases);
}

TEST(SortLines, NumbersAsTheLinesBeginWithThem) {
  // Each line's value, in order; equal values keep later lines first.
  const std::string input = "1e2\n-3\n 7\n2.5x\n.5\n-\n1e99999\n-1e99999\n0x10\n+4\n1e-99999\n3.\n";
  EXPECT_EQ(expectChunkInvariant(sortLines(Numeric), input),
            "-1e99999\n-3\n1e-99999\n0x10\n-\n.5\n2.5x\n3.\n+4\n 7\n1e2\n1e99999\n");
  // Long numbers that differ only in their last digit are different numbers:
  // removing duplicates keeps each of them, in order.
  EXPECT_EQ(testing::runInChunks(
                factory<TSortLines>(false, Numeric, true),
                "9007199254740993\n1234567890123456789\n9007199254740992\n1234567890123456788\n",
                0),
            "9007199254740992\n9007199254740993\n1234567890123456788\n1234567890123456789\n");
}

// Random numbers, with or without a sign, point, fraction and exponent, and
// some followed by text, in the order of the C library's reading of each
// number; equal ones later lines first.
TEST(SortLines, NumbersAgreeWithTheLibrarysReading) {
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed);
    auto digits = [&](int most) {
      std::string text;
      for (int n = static_cast<int>(random() % (most + 1)); n > 0; --n)
        text += static_cast<char>('0' + random() % 10);
      return text;
    };
    std::vector<std::pair<long double, std::string>> lines;
    std::string input;
    for (int i = 0; i < 400; ++i) {
      std::string number = random() % 4 == 0 ? "-" : random() % 4 == 0 ? "+" : "";
      std::string whole = digits(21);
      std::string fraction = random() % 2 ? "." + digits(21) : "";
      if (whole.empty() && fraction.size() < 2)
        whole = "0";
      number += whole + fraction;
      // A point with no digit after it ends the number ("3.e5" is 3).
      if (fraction != "." && random() % 4 == 0)
        number += (random() % 2 ? "e" : "E") + std::string(random() % 2 ? "-" : "") +
                  std::to_string(random() % 40);
      const std::string line =
          (random() % 3 == 0 ? " " : "") + number + (random() % 2 ? " x" + digits(3) : "") + "\n";
      lines.emplace_back(std::strtold(number.c_str(), nullptr), line);
      input += line;
      if (random() % 20 == 0) { // an equal value
        lines.emplace_back(lines.back());
        input += line;
      }
    }
    std::vector<std::pair<long double, std::string>> expected(lines.rbegin(), lines.rend());
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::string sorted;
    for (const auto &line : expected)
      sorted += line.second;
    EXPECT_EQ(testing::runInChunks(sortLines(Numeric), input, 4096), sorted) << "seed " << seed;
  }
}

TEST(SortLines, LocaleOrderIsNotByteOrder) {
  // Accented letters sort with their base letters; capitals among small ones.
  EXPECT_EQ(expectChunkInvariant(sortLines(AnsiCase), "zoo\n\xe9t\xe9\nBanana\napple\n"),
            "apple\nBanana\n\xe9t\xe9\nzoo\n");
  EXPECT_EQ(expectChunkInvariant(sortLines(AsciiCase), "zoo\n\xe9t\xe9\nBanana\napple\n"),
            "Banana\napple\nzoo\n\xe9t\xe9\n");
}

// Many lines with many equal ones, against a plain sort with the same comparison.
TEST(SortLines, ManyLinesAgreeWithTheComparisons) {
  std::mt19937 random(7);
  // Lines of over 4 KB are collated without keys.
  const std::string longWord(4100, 'a');
  const std::string words[] = {"apple",  "Apple",       "\xe9t\xe9", "Zebra", "zebra",
                               "a-b",    "ab",          "",          "10",    longWord + "\xe9",
                               longWord, "A" + longWord};
  std::vector<std::string> lines;
  std::string input;
  for (int i = 0; i < 3000; ++i) {
    std::string line = words[random() % std::size(words)];
    line += words[random() % std::size(words)];
    lines.push_back(line + "\n");
    input += lines.back();
  }
  struct Case {
    int sortType;
    int (*compare)(std::string_view, std::string_view);
  };
  const Case cases[] = {{AnsiNoCase, AnsiCompareText},
                        {AnsiCase, AnsiCompareStr},
                        {AsciiNoCase, CompareText},
                        {AsciiCase, CompareStr}};
  for (const Case &c : cases) {
    // Later lines first among equal ones: a stable sort of the reversed list.
    std::vector<std::string> expected(lines.rbegin(), lines.rend());
    std::stable_sort(
        expected.begin(), expected.end(),
        [&](const std::string &a, const std::string &b) { return c.compare(a, b) < 0; });
    std::string joined;
    for (const auto &line : expected)
      joined += line;
    EXPECT_EQ(testing::runInChunks(sortLines(c.sortType), input, 4096), joined) << c.sortType;
  }
}

// A filter after the sort that notes the largest chunk it is given.
class LargestChunk : public TFilter {
public:
  explicit LargestChunk(std::size_t &largest) : largest_(largest) {}
  bool processChunk(std::string &chunk) override {
    largest_ = std::max(largest_, chunk.size());
    return sendToNext(chunk);
  }

private:
  std::size_t &largest_;
};

// A line of megabytes leaves in pieces, not copied whole into one chunk.
TEST(SortLines, ALongLineLeavesInPieces) {
  const std::string longLine(3 << 20, 'x');
  const std::string input = longLine + "\na\n" + longLine + "y";
  for (int sortType : {int(AnsiCase), int(AsciiNoCase), int(Length), -1}) {
    std::size_t largest = 0;
    auto make = [&] {
      std::unique_ptr<TFilter> head;
      if (sortType < 0)
        head = std::make_unique<TReverseLines>();
      else
        head = std::make_unique<TSortLines>(false, sortType, false);
      head->setNext(std::make_unique<LargestChunk>(largest));
      return head;
    };
    const std::string output = testing::runInChunks(make, input, 4096);
    EXPECT_LE(largest, std::size_t{1} << 20) << sortType;
    const std::string expected = sortType < 0         ? longLine + "y\na\n" + longLine + "\n"
                                 : sortType == Length ? "a\n" + longLine + "\n" + longLine + "y\n"
                                                      : "a\n" + longLine + "\n" + longLine + "y\n";
    EXPECT_TRUE(output == expected) << sortType;
  }
}

TEST(SortLines, AFileLargerThanOneOutputChunk) {
  // The sorted text leaves in pieces; none may be lost or repeated.
  std::string input;
  std::string expected;
  char line[16];
  for (int i = 0; i < 200000; ++i) {
    std::snprintf(line, sizeof line, "%06d\n", 199999 - i);
    input += line;
    std::snprintf(line, sizeof line, "%06d\n", i);
    expected += line;
  }
  EXPECT_EQ(testing::runInChunks(sortLines(AsciiCase), input, 4096), expected);
  EXPECT_EQ(testing::runInChunks(factory<TReverseLines>(), input, 4096), expected);
}

// Large enough that the sort runs on several threads: lines lost or repeated
// between buckets, equal lines out of file order, or a long line or one of a
// few bytes misplaced would make the bytes differ from the one-thread sort.
TEST(SortLines, ThreadsGiveTheBytesOfOneThread) {
  std::mt19937 random(11);
  const std::string words[] = {"",      "a",          std::string("a\0", 2), "A",
                               "apple", "Apple",      "\xe9t\xe9",           "10",
                               "9.5",   "zebra zebra"};
  const std::string longLine(70000, 'x');
  std::string input;
  for (int i = 0; i < 40000; ++i) {
    if (i % 4000 == 7)
      input += longLine + words[random() % std::size(words)];
    input += words[random() % std::size(words)];
    input += words[random() % std::size(words)];
    input += i % 3 == 0 ? "\r\n" : "\n";
  }
  auto sortOn = [](int sortType, bool descending, bool unique, unsigned threads) {
    return [=] {
      auto sort = std::make_unique<TSortLines>(descending, sortType, unique);
      sort->setSortThreads(threads);
      return std::unique_ptr<TFilter>(std::move(sort));
    };
  };
  for (int sortType = AnsiNoCase; sortType <= Length; ++sortType) {
    for (bool variant : {false, true}) {
      std::string one = testing::runInChunks(sortOn(sortType, variant, variant, 1), input, 65536);
      std::string many = testing::runInChunks(sortOn(sortType, variant, variant, 8), input, 65536);
      EXPECT_TRUE(one == many) << sortType << (variant ? " descending, unique" : "");
    }
  }
}

TEST(LinesWithBuffer, RefusesAnUnknownCompareType) {
  EXPECT_EQ(testing::errorOf([] { TLinesWithBuffer buffer(false, 7); }), "Invalid sort type");
  EXPECT_EQ(testing::errorOf([] { TLinesWithBuffer buffer(false, -1); }), "Invalid sort type");
  // The sort filter keeps the file's order for a sort type it does not know.
  EXPECT_EQ(expectChunkInvariant(sortLines(6), "b\na\n"), "b\na\n");
}

TEST(LinesWithBuffer, EachFileOnItsOwn) {
  auto outputs = testing::runFilesInChunks(sortLines(AsciiCase), {"b\na\n", "d\nc"}, 1);
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(outputs[0], "a\nb\n");
  EXPECT_EQ(outputs[1], "c\nd\n");
}

TEST(ReverseLines, LastLineFirst) {
  expectCases(factory<TReverseLines>(), {{"a\nb\r\nc", "c\r\nb\r\na\n"}, {"a", "a"}, {"", ""}});
}

TEST(RandomizeLines, GivesEveryLineOnce) {
  std::string input;
  for (int i = 0; i < 500; ++i)
    input += std::to_string(i) + "\n";
  std::string output = testing::runInChunks(factory<TRandomizeLines>(), input, 7);
  EXPECT_NE(output, input);
  auto sorted = [](const std::string &text) {
    std::string copy = testing::runInChunks(sortLines(Numeric), text, 0);
    return copy;
  };
  EXPECT_EQ(sorted(output), input);
}

TEST(LinesFoundIn, ExactLinesOfATextOrFile) {
  const std::string reference = "apple\r\npear \n\nplum";
  const std::string input = "apple\nApple\npear\npear \n\nplum\r\nfig";
  EXPECT_EQ(expectChunkInvariant(factory<TOnlyShowLinesFoundIn>(ReferenceText{reference}), input),
            "apple\npear \n\nplum\r\n");
  EXPECT_EQ(expectChunkInvariant(factory<TRemoveLinesFoundIn>(ReferenceText{reference}), input),
            "Apple\npear\nfig");

  testing::TempFolder folder;
  const std::string file = folder.file("reference.txt");
  testing::writeFile(file, reference);
  EXPECT_EQ(expectChunkInvariant(factory<TOnlyShowLinesFoundIn>(file), input),
            "apple\npear \n\nplum\r\n");
  EXPECT_EQ(expectChunkInvariant(factory<TOnlyShowLinesFoundIn>(std::string()), input), "");
  EXPECT_NE(testing::errorOf<EFOpenError>(
                [&] { TRemoveLinesFoundIn filter(folder.file("missing.txt")); }),
            "no error");
}

TEST(LinesFoundIn, TheListServesEveryFile) {
  auto outputs = testing::runFilesInChunks(factory<TOnlyShowLinesFoundIn>(ReferenceText{"a\nb"}),
                                           {"a\nc\n", "b\na\n"}, 1);
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(outputs[0], "a\n");
  EXPECT_EQ(outputs[1], "b\na\n");
}

TEST(RemoveDuplicateLines, KeepsTheFirstOfEachRun) {
  expectCases(factory<TRemoveDuplicateLines>(false, 0),
              {{"a\na\r\nb\na\na", "a\nb\na\n"}, {"a\nA\n", "a\nA\n"}, {"", ""}, {"\n\n\n", "\n"}});
  expectCases(factory<TRemoveDuplicateLines>(true, 0), {{"a\nA\n\xe9\n\xc9\nb", "a\n\xe9\nb"}});
  // Lines that differ only in their first three bytes are equal; so are
  // lines shorter than that.
  expectCases(factory<TRemoveDuplicateLines>(false, 3),
              {{"001x\n002x\n003y\nab\ncd\n", "001x\n003y\nab\n"}});
}

TEST(ShowDuplicateLines, OneLinePerRunWithItsLength) {
  expectCases(factory<TShowDuplicateLines>(false, 0),
              {// A run that ends the file has no line after it to give it a line end.
               {"a\na\nb\nc\nc\nc\n", "a 2\nc 3"},
               {"a\r\na\r\nb\r\nb\r\n", "a 2\r\nb 2"},
               {"a\na\nb\nc\nc\nc", "a 2\nc 3"},
               {"a\r\na\r\nb", "a 2"},
               {"a\nb\nc\n", ""},
               {"x\nx", "x 2"}});
  // The length of the run counts equal lines without case.
  expectCases(factory<TShowDuplicateLines>(true, 0), {{"a\nA\na\nb\n", "a 3\n"}});
}

TEST(ShowDuplicateLines, EachFileCountsAfresh) {
  auto outputs =
      testing::runFilesInChunks(factory<TShowDuplicateLines>(false, 0), {"a\na\n", "a\nb\n"}, 1);
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(outputs[0], "a 2");
  EXPECT_EQ(outputs[1], "");
}

} // namespace
} // namespace marrowen

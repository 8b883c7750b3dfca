#include "filters/unicodemap.h"

#include "classlib/exceptions.h"
#include "support/all_bytes.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::FilterFactory;

FilterFactory unicodeMap(std::vector<std::string> codes, std::vector<std::string> texts) {
  return [=] { return std::make_unique<TUnicodeMap>(codes, texts); };
}

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values)
    s += static_cast<char>(v);
  return s;
}

TEST(UnicodeMap, ListedCharactersAreReplacedTheOthersPassAsTheyCame) {
  // The first byte of a pair is the high byte.
  EXPECT_EQ(expectChunkInvariant(unicodeMap({"65"}, {"A"}), bytes({0x00, 0x41, 0x41, 0x00})),
            bytes({0x41, 0x41, 0x00}));
  EXPECT_EQ(expectChunkInvariant(unicodeMap({"$20AC", "0x00E9", "  10"}, {"EUR", "e", ""}),
                                 bytes({0x20, 0xAC, 0x00, 0xE9, 0x00, 0x0A, 0x00, 0x20})),
            bytes({'E', 'U', 'R', 'e', 0x00, 0x20}));
}

TEST(UnicodeMap, ReplacementsAreEscapedText) {
  EXPECT_EQ(expectChunkInvariant(unicodeMap({"9", "13"}, {"\\t", "\\r\\n"}),
                                 bytes({0x00, 0x09, 0x00, 0x0D})),
            "\t\r\n");
}

TEST(UnicodeMap, PairingDoesNotDependOnTheChunks) {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += bytes({0x00, 'a' + i % 3});
  std::string expected;
  for (int i = 0; i < 3000; ++i)
    expected += i % 3 == 1 ? std::string("B") : bytes({0x00, 'a' + i % 3});
  EXPECT_EQ(expectChunkInvariant(unicodeMap({"98"}, {"B"}), text), expected);
}

TEST(UnicodeMap, AnOddFinalByteIsKept) {
  // Half a character cannot be mapped, but it is not lost either.
  std::string all = testing::allBytes() + "x";
  EXPECT_EQ(expectChunkInvariant(unicodeMap({}, {}), all), all);
  // And the next file starts without it.
  auto files = testing::runFilesInChunks(unicodeMap({"$4142"}, {"!"}), {"A", "BC"}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"A", "BC"}));
}

TEST(UnicodeMap, BadCodesStopTheBuilding) {
  using testing::errorOf;
  EXPECT_EQ(errorOf<EConvertError>([] { TUnicodeMap({"12a"}, {"x"}); }),
            "'12a' is not a valid integer value");
  EXPECT_EQ(errorOf<EConvertError>([] { TUnicodeMap({""}, {"x"}); }),
            "'' is not a valid integer value");
  EXPECT_THROW(TUnicodeMap({"65536"}, {"x"}), ERangeError);
  EXPECT_THROW(TUnicodeMap({"-1"}, {"x"}), ERangeError);
  EXPECT_THROW(TUnicodeMap({"99999999999"}, {"x"}), EConvertError);
  EXPECT_THROW(TUnicodeMap({"1", "2"}, {"x"}), ERangeError);
  EXPECT_THROW(TUnicodeMap({"1"}, {"\\x4"}), Exception);
}

TEST(UnicodeMap, ACodeListedTwiceTakesItsFirstReplacement) {
  EXPECT_EQ(expectChunkInvariant(unicodeMap({"66", "65", "$41"}, {"b", "first", "second"}),
                                 bytes({0, 'A', 0, 'B'})),
            "firstb");
}

} // namespace
} // namespace marrowen

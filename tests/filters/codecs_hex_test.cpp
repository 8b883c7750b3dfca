#include "filters/codecs_hex.h"

#include "codec_testing.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectCases;
using testing::expectChunkInvariant;
using testing::expectSameWarnings;
using testing::factory;

TEST(EncodeHex, UpperCasePairsAndLinesOf76Digits) {
  expectCases(factory<TEncodeHex>(), {{"", ""}, {"JK\n", "4A4B0A"}, {"\xff", "FF"}});
  std::string out = expectChunkInvariant(factory<TEncodeHex>(), std::string(77, 'J'));
  std::string line;
  for (int i = 0; i < 38; ++i)
    line += "4A";
  EXPECT_EQ(out, line + "\r\n" + line + "\r\n4A");
}

TEST(DecodeHex, PairsOfEitherCaseAcrossLineEnds) {
  expectCases(factory<TDecodeHex>(), {
                                         {"4a4B", "JK"},
                                         {"4A\r\n4B\n4C\r", "JKL"},
                                         {"4", ""}, // a lone digit at the end goes quietly
                                     });
  EXPECT_TRUE(testing::warningsOf(factory<TDecodeHex>(), "4").empty());
}

TEST(DecodeHex, WarningsNameTheLine) {
  testing::QuietMessageBoxes quiet;
  struct Case {
    std::string input, output;
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {"4\r\n4A", "J", {"Decode Hex: Line 1 - Hex digit pair incomplete"}},
      {"4\n4A", "J", {"Decode Hex: Line 1 - Hex digit pair incomplete"}},
      {"4A\r\n\r\nzz4B",
       "JK",
       {"Decode Hex: Line 3 - Invalid hex digit 'z'",
        "Decode Hex: Line 3 - Invalid hex digit 'z'"}},
      {"4A\rz4B", "JK", {"Decode Hex: Line 2 - Invalid hex digit 'z'"}},
      {"4z4B", "K", {"Decode Hex: Line 1 - Invalid hex digit 'z'"}},
      {"4A 4B\r\r\n\n4", "JK", {"Decode Hex: Line 1 - Invalid hex digit ' '"}},
      {"\n\r\r\n-", "", {"Decode Hex: Line 4 - Invalid hex digit '-'"}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(expectChunkInvariant(factory<TDecodeHex>(), c.input), c.output)
        << testing::printable(c.input);
    EXPECT_EQ(expectSameWarnings(factory<TDecodeHex>(), c.input), c.warnings)
        << testing::printable(c.input);
  }
}

TEST(Hex, RoundTripsEveryByteSplitAnywhere) {
  for (std::size_t size : {0, 1, 37, 38, 39, 4096, 5000})
    testing::expectRoundTrip(factory<TEncodeHex>(), factory<TDecodeHex>(),
                             testing::scrambledBytes(size, static_cast<unsigned>(size)));
  testing::expectRoundTrip(factory<TEncodeHex>(), factory<TDecodeHex>(), testing::allBytes());
}

TEST(DecodeHex, APairSplitAtAChunkBoundary) {
  // The first digit is the last byte of a 4096-byte chunk.
  std::string input = "\n" + std::string(4094, '0') + "4A";
  EXPECT_EQ(expectChunkInvariant(factory<TDecodeHex>(), input), std::string(2047, '\0') + "J");
}

} // namespace
} // namespace marrowen

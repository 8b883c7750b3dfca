#include "filters/dumps.h"

#include "codec_testing.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::factory;

TEST(HexDump, FullAndPartialLines) {
  std::string input = "0123456789ABCDEF\t\xc8\x7f!";
  std::string out = expectChunkInvariant(factory<THexDump>(), input);
  std::string first = "00000000  30 31 32 33  34 35 36 37  38 39 41 42  43 44 45 46  "
                      "0123456789ABCDEF  ";
  std::string second =
      "00000010  09 C8 7F 21" + std::string(41, ' ') + ".\xc8\x7f!" + std::string(14, ' ');
  EXPECT_EQ(first.size(), 80u);
  EXPECT_EQ(second.size(), 80u);
  EXPECT_EQ(out, first + "\r\n" + second);
  EXPECT_EQ(expectChunkInvariant(factory<THexDump>(), ""), "");
  EXPECT_EQ(expectChunkInvariant(factory<THexDump>(), std::string(16, 'a')).size(), 82u);
}

TEST(DecimalDump, FullAndPartialLines) {
  std::string out = expectChunkInvariant(factory<TDecimalDump>(), "0123456789\x01");
  std::string first = "0000000000  048 049 050 051 052  053 054 055 056 057  0123456789";
  std::string second = "0000000010  001" + std::string(39, ' ') + "." + std::string(9, ' ');
  EXPECT_EQ(first.size(), 64u);
  EXPECT_EQ(second.size(), 64u);
  EXPECT_EQ(out, first + "\r\n" + second);
}

TEST(Dumps, OffsetsCountThroughManyChunksAndRestartPerFile) {
  std::string text = testing::scrambledBytes(10000);
  std::string out = expectChunkInvariant(factory<THexDump>(), text);
  EXPECT_EQ(out.size(), 625 * 82u);
  EXPECT_EQ(out.substr(624 * 82, 8), "00002700");
  out = expectChunkInvariant(factory<TDecimalDump>(), text);
  EXPECT_EQ(out.substr(999 * 66, 10), "0000009990");
  EXPECT_EQ(testing::runFilesInChunks(factory<THexDump>(), {"a", "b"}, 1)[1].substr(0, 8),
            "00000000");
}

} // namespace
} // namespace marrowen

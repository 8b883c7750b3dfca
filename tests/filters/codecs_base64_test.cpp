#include "filters/codecs_base64.h"

#include "codec_testing.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectCases;
using testing::expectChunkInvariant;
using testing::factory;

TEST(EncodeBase64, GroupsPaddingAndLines) {
  expectCases(factory<TEncodeBase64>(), {
                                            {"", ""},
                                            {"abc", "YWJj"},
                                            {"a", "YQ=="},
                                            {"ab", "YWI="},
                                            {"abcd", "YWJjZA=="},
                                        });
}

TEST(EncodeBase64, FullLinesEndInCrLfAndTheLastLineHasNone) {
  std::string out = expectChunkInvariant(factory<TEncodeBase64>(), std::string(57, '\xff'));
  EXPECT_EQ(out, std::string(76, '/') + "\r\n");
  out = expectChunkInvariant(factory<TEncodeBase64>(), std::string(58, '\xff'));
  EXPECT_EQ(out, std::string(76, '/') + "\r\n/w==");
  // Lines of 76 characters throughout a text of many chunks.
  out = expectChunkInvariant(factory<TEncodeBase64>(), testing::scrambledBytes(57 * 300 + 5));
  for (std::size_t at = 0; at + 78 <= out.size(); at += 78)
    ASSERT_EQ(out.substr(at + 76, 2), "\r\n") << at;
  EXPECT_EQ(out.size(), 300 * 78 + 8u);
}

TEST(DecodeBase64, SkipsLineEndsAndWarnsOfOtherBytes) {
  testing::QuietMessageBoxes quiet;
  expectCases(factory<TDecodeBase64>(),
              {
                  {"YQ==", "a"},
                  {"YWJj", "abc"},
                  {"YW\r\nJj\n", "abc"},
                  {"YWI", "ab"}, // a last partial group gives its whole bytes
                  {"Y", ""},
              });
  auto warnings = testing::expectSameWarnings(factory<TDecodeBase64>(), "YW Jj");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "Warning - invalid Base 64 character ' '");
  EXPECT_EQ(expectChunkInvariant(factory<TDecodeBase64>(), "YW Jj"), "abc");
  // Many skipped bytes make one warning with their count.
  warnings =
      testing::expectSameWarnings(factory<TDecodeBase64>(), "YW\x01Jj" + std::string(5000, '\0'));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "Warning - invalid Base 64 character '\x01' (5001 bytes skipped)");
}

TEST(DecodeBase64, PaddingEndsTheGroupSoEncodingsMayFollowOneAnother) {
  expectCases(factory<TDecodeBase64>(), {
                                            {"YQ==YQ==", "aa"},
                                            {"YWI=YWJj", "ababc"},
                                            {"YQ==\r\nYWJj", "aabc"},
                                        });
}

TEST(Base64, RoundTripsEveryByteSplitAnywhere) {
  for (std::size_t size : {0, 1, 2, 3, 56, 57, 58, 4095, 4096, 4097, 9000})
    testing::expectRoundTrip(factory<TEncodeBase64>(), factory<TDecodeBase64>(),
                             testing::scrambledBytes(size, static_cast<unsigned>(size)));
  testing::expectRoundTrip(factory<TEncodeBase64>(), factory<TDecodeBase64>(), testing::allBytes());
}

TEST(Base64, EachFileStartsAfresh) {
  auto files = testing::runFilesInChunks(factory<TEncodeBase64>(), {"ab", "c"}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"YWI=", "Yw=="}));
  files = testing::runFilesInChunks(factory<TDecodeBase64>(), {"YW", "Jj"}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"a", "&"}));
}

} // namespace
} // namespace marrowen

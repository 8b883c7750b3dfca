#include "filters/codecs_quotedprintable.h"

#include "codec_testing.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectCases;
using testing::expectChunkInvariant;
using testing::expectSameWarnings;
using testing::factory;

TEST(EncodeQuotedPrintable, HardAndSoftLineBreaks) {
  expectCases(factory<TEncodeQuotedPrintable>(false),
              {
                  {"", "=\r\n"},
                  {"a=b", "a=3Db=\r\n"},
                  {"a\r\nb", "a\r\nb=\r\n"},
                  {"a\rb", "a=0Db=\r\n"},
                  {"a\nb", "a=0Ab=\r\n"},
                  {"a\r", "a=0D=\r\n"},
                  {"a\r\r\n", "a=0D=0D=0A=\r\n"}, // a CR after a held CR is written at once
                  {"tab\t end \r\n", "tab\t end \r\n=\r\n"},
                  {"\xe9\x7f", "=E9=7F=\r\n"},
              });
}

TEST(EncodeQuotedPrintable, LinesStayBelow76Characters) {
  std::string out = expectChunkInvariant(factory<TEncodeQuotedPrintable>(false),
                                         std::string(100, 'x') + "\r\n" + std::string(30, '='));
  EXPECT_EQ(
      out, std::string(74, 'x') + "=\r\n" + std::string(26, 'x') + "\r\n" + [] {
        std::string encoded;
        for (int i = 0; i < 30; ++i)
          encoded += "=3D";
        // 24 pieces of three make 72; the 25th would make 75
        return encoded.substr(0, 72) + "=\r\n" + encoded.substr(72);
      }() + "=\r\n");
}

TEST(EncodeQuotedPrintable, StrictSet) {
  expectCases(factory<TEncodeQuotedPrintable>(true),
              {{"a b!\"#$@[\\]^{|}~'", "a b=21=22=23=24=40=5B=5C=5D=5E=7B=7C=7D=7E=27=\r\n"}});
}

TEST(DecodeQuotedPrintable, Cases) {
  testing::QuietMessageBoxes quiet;
  expectCases(factory<TDecodeQuotedPrintable>(),
              {
                  {"=4a=4A", "JJ"},
                  {"ab=\r\ncd", "abcd"},
                  {"ab=\ncd", "abcd"},
                  {"ab= \t\r\ncd", "abcd"},
                  {"ab=\rcd", "abcd"}, // "=" CR without its LF still joins
                  {"a\r\nb", "a\r\nb"},
                  {"a=zb", "ab"},
                  {"a=4zb", "ab"},
              });
  EXPECT_EQ(expectSameWarnings(factory<TDecodeQuotedPrintable>(), "a=zb=4z"),
            (std::vector<std::string>{"Invalid hex digit 'z'", "Invalid hex digit 'z'"}));
}

TEST(QuotedPrintable, RoundTripsEveryByteSplitAnywhere) {
  for (bool strict : {false, true}) {
    testing::expectRoundTrip(factory<TEncodeQuotedPrintable>(strict),
                             factory<TDecodeQuotedPrintable>(), testing::allBytes());
    testing::expectRoundTrip(factory<TEncodeQuotedPrintable>(strict),
                             factory<TDecodeQuotedPrintable>(), testing::scrambledBytes(6000));
    // A CR LF split at a 4096-byte chunk boundary, and a CR ending the text.
    testing::expectRoundTrip(factory<TEncodeQuotedPrintable>(strict),
                             factory<TDecodeQuotedPrintable>(),
                             std::string(4095, 'q') + "\r\nline\r\n\r\r");
  }
}

} // namespace
} // namespace marrowen

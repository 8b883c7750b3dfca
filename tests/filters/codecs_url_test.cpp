#include "filters/codecs_url.h"

#include "codec_testing.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectCases;
using testing::expectSameWarnings;
using testing::factory;

TEST(HTTPEncode, FormEncoding) {
  expectCases(factory<THTTPEncode>(), {
                                          {"a b&c", "a+b%26c"},
                                          {"*-._09AZaz", "*-._09AZaz"},
                                          {"x\r\n", "x%0d%0a"},
                                          {"%+\xe9", "%25%2b%e9"},
                                      });
}

TEST(HTTPDecode, FormDecoding) {
  testing::QuietMessageBoxes quiet;
  expectCases(factory<THTTPDecode>(), {
                                          {"a+b%26c", "a b&c"},
                                          {"100%%", "100%"},
                                          {"%4a%4A", "JJ"},
                                          {"%zz!", "z!"},
                                          {"%4zx", "x"},
                                          {"%4", ""},
                                      });
  EXPECT_EQ(expectSameWarnings(factory<THTTPDecode>(), "%zz"),
            std::vector<std::string>{"Invalid hex digit 'z'"});
  EXPECT_EQ(expectSameWarnings(factory<THTTPDecode>(), "%4zx"),
            std::vector<std::string>{"Invalid hex digit 'z'"});
}

TEST(HTTP, RoundTripsEveryByte) {
  testing::expectRoundTrip(factory<THTTPEncode>(), factory<THTTPDecode>(), testing::allBytes());
  testing::expectRoundTrip(factory<THTTPEncode>(), factory<THTTPDecode>(),
                           testing::scrambledBytes(5000));
}

} // namespace
} // namespace marrowen

#include "filters/codecs_uu.h"

#include "filters/headtail.h"

#include "codec_testing.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::expectSameWarnings;
using testing::factory;

// The header the encoder writes for the harness's input "/tmp/input.txt".
std::string header(const std::string &scheme) {
  return scheme +
         "Encoded attachment by Marrowen from https://www.ostrevan.com/marrowen/\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Description: \"input.txt\"\r\n"
         "Message-ID: <12379094073068_input.txt>\r\n"
         "Content-Type: application/octet-stream; name=\"input.txt\"\r\n"
         "Content-Transfer-Encoding: " +
         scheme +
         "ENCODED\r\n"
         "Content-Disposition: attachment; filename=\"input.txt\"\r\n"
         "\r\n"
         "begin 644 input.txt\r\n";
}

TEST(UUEncode, HeaderLinesAndEnd) {
  EXPECT_EQ(expectChunkInvariant(factory<TUUEncode>(true), ""), header("UU") + "`\r\nend\r\n");
  EXPECT_EQ(expectChunkInvariant(factory<TUUEncode>(false), ""), header("XX") + "+\r\nend\r\n");
  EXPECT_EQ(expectChunkInvariant(factory<TUUEncode>(true), "a"),
            header("UU") + "!80``\r\n`\r\nend\r\n");
  EXPECT_EQ(expectChunkInvariant(factory<TUUEncode>(true), "Cat"),
            header("UU") + "#0V%T\r\n`\r\nend\r\n");
  std::string out = expectChunkInvariant(factory<TUUEncode>(true), std::string(45, 'x'));
  std::string data = out.substr(header("UU").size());
  EXPECT_EQ(data.size(), 1 + 60 + 2 + 3 + 5u);
  EXPECT_EQ(data[0], 'M');
  EXPECT_EQ(data.substr(61), "\r\n`\r\nend\r\n");
}

TEST(UUDecode, BlocksAmongOtherLines) {
  std::string text = "Hello\r\nBeginning of the file:\r\nbegin 644 a.txt\r\n#0V%T\r\n`\r\nend\r\n"
                     "between\nBEGIN\t0600\tb.bin\n!80``\nend\n";
  EXPECT_EQ(expectChunkInvariant(factory<TUUDecode>(true), text), "Cata");
  EXPECT_TRUE(expectSameWarnings(factory<TUUDecode>(true), text).empty());
}

TEST(UUDecode, WarningsNameTheSchemeAndLine) {
  testing::QuietMessageBoxes quiet;
  std::string text = "begin 644\nbegin 644 x\n\n #0V%T\n#0 %T\n#0V\n";
  // The illegal blank counts with its own code; a short line is completed
  // with the zero character.
  EXPECT_EQ(expectChunkInvariant(factory<TUUDecode>(true), text), std::string("B\x01tC`\0", 6));
  EXPECT_EQ(expectSameWarnings(factory<TUUDecode>(true), text),
            (std::vector<std::string>{
                "UUDecode: Line 1 - Incomplete UUEncode header",
                "UUDecode: Line 3 - Warning - Illegal blank line",
                "UUDecode: Line 4 - Incorrect line start character ' '",
                "UUDecode: Line 5 - Illegal character ' '",
                "UUDecode: Line 6 - Line length inconsistent - actual length 2, expected length 4",
                "UUDecode: the encoded data of /tmp/input.txt is incomplete",
            }));
}

TEST(UUDecode, ALineShortOfItsCountWarns) {
  testing::QuietMessageBoxes quiet;
  // 45 characters where a count of 45 needs 60: the missing groups are
  // decoded as zero bytes, with a warning.
  std::string text = "begin 644 x\nM" + std::string(45, '0') + "\n`\nend\n";
  EXPECT_EQ(
      expectSameWarnings(factory<TUUDecode>(true), text),
      std::vector<std::string>{
          "UUDecode: Line 2 - Line length inconsistent - actual length 45, expected length 60"});
  std::string out = expectChunkInvariant(factory<TUUDecode>(true), text);
  ASSERT_EQ(out.size(), 45u);
  EXPECT_EQ(out.substr(34), std::string(11, '\0'));
}

TEST(UUDecode, NoBeginLineWarnsOnceAtTheEnd) {
  testing::QuietMessageBoxes quiet;
  EXPECT_EQ(expectChunkInvariant(factory<TUUDecode>(false), "just text\n"), "");
  EXPECT_EQ(testing::warningsOf(factory<TUUDecode>(false), "just text\n"),
            std::vector<std::string>{"XXDecode: XXEncode Header not found in /tmp/input.txt"});
}

TEST(UU, RoundTripsEveryByteSplitAnywhere) {
  for (bool uu : {true, false})
    for (std::size_t size : {0, 1, 44, 45, 46, 90, 4096, 7000}) {
      SCOPED_TRACE(size);
      testing::expectRoundTrip(factory<TUUEncode>(uu), factory<TUUDecode>(uu),
                               testing::scrambledBytes(size, static_cast<unsigned>(size)));
    }
}

TEST(UU, TwoEncodedFilesDecodeOneAfterTheOther) {
  std::string first = testing::runInChunks(factory<TUUEncode>(true), "first", 0);
  std::string second = testing::runInChunks(factory<TUUEncode>(true), "second", 0);
  EXPECT_EQ(expectChunkInvariant(factory<TUUDecode>(true), first + "--\r\n" + second),
            "firstsecond");
}

TEST(UUDecode, TakesWholeLinesFromALineFilterBeforeIt) {
  // The lines arrive through putLine, not as chunks; each chunk's decoded
  // bytes must still go on.
  std::string encoded = testing::runInChunks(factory<TUUEncode>(true), std::string(100, 'z'), 0);
  auto chain = [] {
    auto head = std::make_unique<TIncludeExcludeLinesFromStart>(1000, true);
    head->setNext(std::make_unique<TUUDecode>(true));
    return std::unique_ptr<TFilter>(std::move(head));
  };
  EXPECT_EQ(expectChunkInvariant(chain, encoded), std::string(100, 'z'));
}

} // namespace
} // namespace marrowen

#include "filters/lineends.h"

#include "support/awkward_text.h"
#include "classlib/exceptions.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectCases;
using testing::expectChunkInvariant;
using testing::factory;
using testing::FilterFactory;
using testing::printable;

// A CR as the last byte of a 4096-byte chunk, followed by `next`.
std::string crEndingAChunk(std::string_view next) {
  return std::string(4095, 'x') + "\r" + std::string(next) + "y";
}

TEST(FromUnix, LfBecomesTheNewLineEnd) {
  expectCases(factory<TFromUnixConversion>("\r\n", true), {
                                                              {"a\r\nb", "a\r\nb"},
                                                              {"a\nb\n", "a\r\nb\r\n"},
                                                              {"a\rb", "ab"},
                                                          });
  expectCases(factory<TFromUnixConversion>("\r\n", false), {{"a\r\nb", "a\r\r\nb"}});
  expectCases(factory<TFromUnixConversion>("\r", false), {{"a\nb\r\n", "a\rb\r\r"}});
  expectCases(factory<TFromUnixConversion>("", false), {{"a\nb\r", "ab\r"}});
  expectCases(factory<TFromUnixConversion>("\r\n\n", false),
              {{"a\n", "a\r\n"}}); // at most two bytes of the line end are kept
}

// The conversions byte by byte, as the plain rule says.
std::string convertedPlainly(std::string_view text, char end, std::string_view lineEnd,
                             bool strip) {
  char other = end == '\n' ? '\r' : '\n';
  std::string out;
  for (char c : text) {
    if (c == end)
      out.append(lineEnd);
    else if (!(strip && c == other))
      out += c;
  }
  return out;
}

TEST(FromUnixAndMac, AgreeWithTheByteByByteRuleOnDenseLineEnds) {
  // Line ends at every distance from each other and from block edges.
  std::string text;
  unsigned seed = 7;
  while (text.size() < 9000) {
    seed = seed * 1103515245 + 12345;
    const char alphabet[] = {'a', 'b', '\n', '\r', '\n', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};
    text += alphabet[(seed >> 16) % std::size(alphabet)];
  }
  for (std::string lineEnd : {"", "\n", "\r", "\r\n", "\n\r", "xy"})
    for (bool strip : {false, true}) {
      EXPECT_EQ(expectChunkInvariant(factory<TFromUnixConversion>(lineEnd, strip), text),
                convertedPlainly(text, '\n', lineEnd, strip))
          << printable(lineEnd) << " strip " << strip;
      EXPECT_EQ(expectChunkInvariant(factory<TFromMacConversion>(lineEnd, strip), text),
                convertedPlainly(text, '\r', lineEnd, strip))
          << printable(lineEnd) << " strip " << strip;
    }
}

TEST(FromMac, CrBecomesTheNewLineEnd) {
  expectCases(factory<TFromMacConversion>("\n", true), {{"a\rb\n\r", "a\nb\n"}});
  expectCases(factory<TFromMacConversion>("\r\n", false), {{"a\rb\n", "a\r\nb\n"}});
}

TEST(FromDos, CrLfBecomesTheNewLineEnd) {
  expectCases(factory<TFromDOSConversion>("\n", false),
              {
                  {"a\r\nb", "a\nb"},
                  {"a\rb", "a\rb"},
                  {"a\nb", "a\nb"},
                  {"a\r\r\nb", "a\r\nb"},
                  {"a\r", "a\r"},
                  {"\r\r", "\r\r"},
                  {crEndingAChunk("\n"), std::string(4095, 'x') + "\ny"},
                  {crEndingAChunk("z"), std::string(4095, 'x') + "\rzy"},
              });
  expectCases(factory<TFromDOSConversion>("\n", true), {
                                                           {"a\rb", "ab"},
                                                           {"a\nb", "ab"},
                                                           {"a\r\r\nb", "a\nb"},
                                                           {"a\r", "a"},
                                                       });
}

TEST(FromDos, HeldCrBelongsToItsFile) {
  auto files =
      testing::runFilesInChunks(factory<TFromDOSConversion>("\n", false), {"a\r", "\nb"}, 4096);
  EXPECT_EQ(files, (std::vector<std::string>{"a\r", "\nb"}));
}

TEST(AutoConversion, EveryLineEndBecomesTheNewOne) {
  expectCases(factory<TAutoConversion>("\n"),
              {
                  {"a\nb\rc\r\nd", "a\nb\nc\nd"},
                  {"a\r\rb", "a\n\nb"},
                  {"a\r", "a\n"},
                  {"\r\r\r", "\n\n\n"},
                  {"\n\r\n\r", "\n\n\n"},
                  {crEndingAChunk("\n"), std::string(4095, 'x') + "\ny"},
                  {crEndingAChunk("\r"), std::string(4095, 'x') + "\n\ny"},
              });
  expectCases(factory<TAutoConversion>("\r\n"), {{"a\nb\r", "a\r\nb\r\n"}});
  expectCases(factory<TAutoConversion>(""), {{"a\nb\r\nc\rd", "abcd"}});
}

TEST(FixedLineLength, RecordsWithoutATrailingLineEnd) {
  expectCases(factory<TFromFixedLineLengthConversion>("\r\n", 3),
              {
                  {"abcdefg", "abc\r\ndef\r\ng"},
                  {"abcdef", "abc\r\ndef"},
                  {"ab\ncd", "ab\n\r\ncd"}, // line ends in the data are ordinary bytes
              });
  std::string text(10000, 'r');
  std::string out = expectChunkInvariant(factory<TFromFixedLineLengthConversion>("\n", 4096), text);
  EXPECT_EQ(out,
            std::string(4096, 'r') + "\n" + std::string(4096, 'r') + "\n" + std::string(1808, 'r'));
  auto files =
      testing::runFilesInChunks(factory<TFromFixedLineLengthConversion>("|", 2), {"abc", "de"}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"ab|c", "de"}));
}

TEST(FixedLineLength, RecordLengthBelowOneIsRefused) {
  EXPECT_THROW(TFromFixedLineLengthConversion("\n", 0), Exception);
  EXPECT_THROW(TFromFixedLineLengthConversion("\n", -3), Exception);
}

TEST(LineEnds, ChunkInvariantOnAwkwardText) {
  const FilterFactory makers[] = {
      factory<TFromUnixConversion>("\r\n", false),
      factory<TFromUnixConversion>("\r\n", true),
      factory<TFromMacConversion>("\n", true),
      factory<TFromDOSConversion>("\n", false),
      factory<TFromDOSConversion>("\n", true),
      factory<TAutoConversion>("\r\n"),
      factory<TFromFixedLineLengthConversion>("\r\n", 7),
  };
  for (const auto &make : makers)
    testing::expectSoundOnAwkwardTexts(make);
}

} // namespace
} // namespace marrowen

#include "filters/codepagefilters.h"

#include "support/awkward_text.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::allBytes;
using testing::expectChunkInvariant;
using testing::factory;
using testing::FilterFactory;
using testing::printable;
using testing::runInChunks;

template <class First, class Second> FilterFactory pair() {
  return [] {
    auto head = std::make_unique<First>();
    head->setNext(std::make_unique<Second>());
    return head;
  };
}

std::string utf16(std::u16string_view text) {
  std::string bytes;
  for (char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

TEST(Ebcdic, TablesAreInversePermutations) {
  const ByteTable &toEbcdic = asciiToEbcdicTable();
  const ByteTable &toAscii = ebcdicToAsciiTable();
  std::array<bool, 256> seen{};
  for (int b = 0; b < 256; ++b) {
    EXPECT_FALSE(seen[toEbcdic[b]]) << "two bytes map to " << int(toEbcdic[b]);
    seen[toEbcdic[b]] = true;
    EXPECT_EQ(toAscii[toEbcdic[b]], b);
    EXPECT_EQ(toEbcdic[toAscii[b]], b);
  }
}

TEST(Ebcdic, KnownCharactersAndRoundTrip) {
  EXPECT_EQ(runInChunks(factory<TASCIItoEBCDIC>(), "A a0 \n|", 0), "\xc1\x40\x81\xf0\x40\x25\x4f");
  EXPECT_EQ(runInChunks(factory<TEBCDICtoASCII>(), "\xc1\x40\x81\xf0\x40\x25\x4f", 0), "A a0 \n|");
  std::string all = allBytes();
  EXPECT_EQ(runInChunks(pair<TASCIItoEBCDIC, TEBCDICtoASCII>(), all, 7), all);
  EXPECT_EQ(runInChunks(pair<TEBCDICtoASCII, TASCIItoEBCDIC>(), all, 0), all);
}

TEST(TranslateDrawing, EachGroupOfBytes) {
  const std::pair<int, char> cases[] = {
      {'\n', '\n'}, {'\r', '\r'}, {' ', ' '}, {'}', '}'}, {'~', ' '}, {127, ' '},
      {9, ' '},     {0, ' '},     {24, '^'},  {25, 'V'},  {26, '>'},  {27, '<'},
      {176, '.'},   {177, 'x'},   {178, 'X'}, {179, '|'}, {186, '|'}, {196, '-'},
      {205, '-'},   {219, 'X'},   {220, 'x'}, {223, 'x'}, {180, '+'}, {218, '+'},
      {197, '+'},   {248, '*'},   {249, '*'}, {250, '*'}, {254, '*'}, {128, ' '},
      {175, ' '},   {224, ' '},   {247, ' '}, {251, ' '}, {253, ' '}, {255, ' '},
  };
  for (auto [byte, expected] : cases)
    EXPECT_EQ(runInChunks(factory<TTranslateDrawing>(), std::string(1, char(byte)), 0),
              std::string(1, expected))
        << byte;
}

// UTF-8 text: each character is one byte of code page 437 (or its
// look-alike), whole however the chunks cut it; the drawing filter leaves
// pairs of bytes to code page 437, whose corners and lines they may be.
TEST(TranslateDrawing, Utf8CharactersAreOneCharacterEach) {
  EXPECT_EQ(expectChunkInvariant(factory<TTranslateDrawing>(),
                                 "\u250c\u2500\u2510\u2502\u2514\u2518 \u2191\u2193\u2192\u2190 "
                                 "\u2591\u2592\u2593\u2588\u25a0 \u4e2d\U0001F600!"),
            "+-+|++ ^V>< .xXX*   !");
  EXPECT_EQ(expectChunkInvariant(factory<TTranslateDrawing>(), "\xda\xc4\xc4\xbf\xb3\xc3\xb3"),
            "+--+|+|");
}

TEST(OemConversion, ThroughCodePage437) {
  // e acute is 0xE9 in the system code page and 0x82 in 437; the box
  // drawing line 0xC4 of 437 has no place in the system code page.
  EXPECT_EQ(runInChunks(factory<TANSItoOEM>(), "caf\xe9 ok\r\n", 0), "caf\x82 ok\r\n");
  EXPECT_EQ(runInChunks(factory<TOEMtoANSI>(), "caf\x82\xc4", 0), "caf\xe9?");
  // The micro sign: 0xB5 in the system code page, 0xE6 in 437.
  EXPECT_EQ(runInChunks(factory<TANSItoOEM>(), "5\xb5m", 0), "5\xe6m");
  EXPECT_EQ(runInChunks(factory<TOEMtoANSI>(), "5\xe6m", 0), "5\xb5m");
  // A UTF-8 letter is one character, which 437 may have.
  EXPECT_EQ(expectChunkInvariant(factory<TANSItoOEM>(), "caf\u00e9 \u00b5 \u2500 \u4e2d"),
            "caf\x82 \xe6 \xc4 ?");
}

TEST(UnicodeConversion, AnsiToUtf16LittleEndianWithoutMark) {
  EXPECT_EQ(runInChunks(factory<TANSItoUnicode>(), "A\xe9\x80", 0), utf16(u"A\u00e9\u20ac"));
  std::string all = allBytes();
  EXPECT_EQ(expectChunkInvariant(pair<TANSItoUnicode, TUnicodeToANSI>(), all), all);
}

TEST(UnicodeConversion, EveryCodeUnitIsConverted) {
  // A U+0000 no longer ends the conversion: the rest of the chunk is kept.
  std::string text = utf16(std::u16string(u"a\0b\u00e9\u20ac", 5));
  EXPECT_EQ(expectChunkInvariant(factory<TUnicodeToANSI>(), text), std::string("a\0b\xe9\x80", 5));
}

TEST(UnicodeConversion, SplitCodeUnitsAndBadInput) {
  // An odd chunk hands its last byte on to the next one (7-byte chunks, and
  // byte by byte, in the harness).
  std::string text = utf16(u"odd chunks keep their last byte");
  EXPECT_EQ(expectChunkInvariant(factory<TUnicodeToANSI>(), text),
            "odd chunks keep their last byte");
  const std::pair<std::u16string, std::string> cases[] = {
      {u"x\U0001F600y", "x?y"},             // a surrogate pair is one character
      {std::u16string(u"x\xD800y"), "x?y"}, // a lone high surrogate
      {std::u16string(u"x\xDC00y"), "x?y"}, // a lone low surrogate
      {std::u16string(u"x\xD800"), "x?"},   // a high surrogate ends the file
      {u"\u0416", "?"},                     // not in the code page
  };
  for (const auto &[units, expected] : cases)
    EXPECT_EQ(expectChunkInvariant(factory<TUnicodeToANSI>(), utf16(units)), expected)
        << printable(utf16(units));
  EXPECT_EQ(expectChunkInvariant(factory<TUnicodeToANSI>(), utf16(u"ab") + "c"), "ab?")
      << "a byte short of a code unit at the end of the file";
  testing::expectSoundOnAwkwardTexts(factory<TUnicodeToANSI>());
}

} // namespace
} // namespace marrowen

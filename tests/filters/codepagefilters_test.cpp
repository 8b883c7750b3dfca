#include "filters/codepagefilters.h"

#include "support/awkward_text.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"
#include "support/temp_folder.h"
#include "support/utf8_corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

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

// A line of UTF-8 keeps its letters and draws only its drawing characters;
// a DOS screen of code page 437 is drawn as before, its rows whose pairs of
// bytes happen to be UTF-8 ("\xc3\xb4" is both "├┤" and "ô") among them.
TEST(TranslateDrawing, Utf8TextKeepsItsLettersAndDosDrawingsAreDrawn) {
  std::string corpus = testing::utf8Corpus();
  std::string expected = corpus;
  std::replace(expected.begin(), expected.end(), '\t', ' '); // control bytes become blanks
  std::replace(expected.begin(), expected.end(), '\b', ' ');
  EXPECT_TRUE(expectChunkInvariant(factory<TTranslateDrawing>(), corpus) == expected);
  EXPECT_EQ(expectChunkInvariant(factory<TTranslateDrawing>(),
                                 "\u250c\u2500\u2510\u2502\u2514\u2518 \u2191\u2193\u2192\u2190 "
                                 "\u2591\u2592\u2593\u2588\u25a0 \u4e2d\U0001F600 Gr\u00f6\u00dfe"),
            "+-+|++ ^V>< .xXX* \u4e2d\U0001F600 Gr\u00f6\u00dfe");
  const std::string dos = "\xc9\xcd\xcd\xcd\xcd\xbb\r\n" // ╔════╗
                          "\xba Gr\x94\xe1"
                          "e\xba\r\n"                 // ║ Größe║ (no UTF-8)
                          "\xcc\xb9 \xc3\xb4\r\n"     // ╠╣ ├┤ (valid UTF-8)
                          "\r\n"                      // an empty row between
                          "\xc3\xc4\xc4\xb4\r\n"      // ├──┤
                          "\xc3\xb4\r\n"              // ├┤ alone
                          "\xc8\xcd\xcd\xcd\xcd\xbc"; // ╚════╝ at the end
  EXPECT_EQ(expectChunkInvariant(factory<TTranslateDrawing>(), dos),
            "+----+\r\n| Gr  e|\r\n++ ++\r\n\r\n+--+\r\n++\r\n+----+");
  // After a DOS screen, UTF-8 text is still text: letters touch its pairs.
  EXPECT_EQ(expectChunkInvariant(factory<TTranslateDrawing>(),
                                 dos + "\nK\u00f6ln K\u00f6 \u00f4\u00f4x\n\u00f4"),
            "+----+\r\n| Gr  e|\r\n++ ++\r\n\r\n+--+\r\n++\r\n+----+\n"
            "K\u00f6ln K\u00f6 \u00f4\u00f4x\n\u00f4");
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

// What iconv makes of `text`, or nothing where iconv cannot run.
std::optional<std::string> iconv(const std::string &from, const std::string &to,
                                 const std::string &text) {
  testing::TempFolder dir;
  const std::string in = dir.file("in"), out = dir.file("out");
  std::ofstream(in, std::ios::binary) << text;
  const std::string command =
      "iconv -f " + from + " -t " + to + " '" + in + "' > '" + out + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0)
    return std::nullopt;
  std::ifstream result(out, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(result), {});
}

// On Linux the system's ANSI text is UTF-8: Unicode to ANSI writes what
// iconv writes, so ANSI to Unicode and back gives every text again, a
// Windows-1252 byte as its character in UTF-8.
TEST(UnicodeConversion, ToUtf16AndBackAsIconvDoes) {
  EXPECT_EQ(runInChunks(factory<TANSItoUnicode>(), "A\xe9\x80", 0), utf16(u"A\u00e9\u20ac"));
  const std::string corpus = testing::utf8Corpus();
  const std::string units = expectChunkInvariant(factory<TANSItoUnicode>(), corpus);
  EXPECT_TRUE(expectChunkInvariant(factory<TUnicodeToANSI>(), units) == corpus);
  if (auto expected = iconv("UTF-8", "UTF-16LE", corpus)) {
    EXPECT_TRUE(units == *expected);
    EXPECT_TRUE(iconv("UTF-16LE", "UTF-8", units) == corpus);
  }
  const std::string all = allBytes();
  EXPECT_EQ(expectChunkInvariant(pair<TANSItoUnicode, TUnicodeToANSI>(), all),
            utf8::toUtf8(all, *CodePage::create("windows-1252")));
  // A U+0000 no longer ends the conversion: the rest of the chunk is kept.
  std::string text = utf16(std::u16string(u"a\0b\u00e9\u20ac", 5));
  EXPECT_EQ(expectChunkInvariant(factory<TUnicodeToANSI>(), text),
            std::string("a\0b\u00e9\u20ac", 8));
}

TEST(UnicodeConversion, SplitCodeUnitsAndBadInput) {
  // An odd chunk hands its last byte on to the next one (7-byte chunks, and
  // byte by byte, in the harness).
  std::string text = utf16(u"odd chunks keep their last byte");
  EXPECT_EQ(expectChunkInvariant(factory<TUnicodeToANSI>(), text),
            "odd chunks keep their last byte");
  const std::pair<std::u16string, std::string> cases[] = {
      {u"x\U0001F600y", "x\U0001F600y"},    // a surrogate pair is one character
      {std::u16string(u"x\xD800y"), "x?y"}, // a lone high surrogate
      {std::u16string(u"x\xDC00y"), "x?y"}, // a lone low surrogate
      {std::u16string(u"x\xD800"), "x?"},   // a high surrogate ends the file
      {u"\u0416", "\u0416"},                // not in the code page, but UTF-8
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

#include "classlib/utf8.h"

#include "classlib/codepage.h"

#include <gtest/gtest.h>

#include <unicode/utf8.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <vector>

using namespace marrowen;

namespace {

// ICU's own strict reading of the sequence at the start of `s`: its length,
// or 0 where ICU sees no valid multi-byte character.
std::size_t icuSequenceLength(std::string_view s) {
  if (s.empty() || static_cast<unsigned char>(s[0]) < 0x80)
    return 0;
  int32_t i = 0;
  UChar32 c;
  U8_NEXT(reinterpret_cast<const uint8_t *>(s.data()), i, static_cast<int32_t>(s.size()), c);
  return c < 0 ? 0 : static_cast<std::size_t>(i);
}

} // namespace

// Random byte strings, biased towards lead and continuation bytes, judged by
// ICU and by us: any disagreement is a character split or a stray byte taken
// for text. Every cut of a valid text is held back exactly as far as needed.
TEST(Utf8, AgreesWithIcuAndHoldsBackOnlyWhatTheNextChunkMayComplete) {
  std::mt19937 random(54);
  const unsigned char interesting[] = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                       0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xED, 0xEE,
                                       0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF};
  auto cp = CodePage::create("windows-1252");
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    int n = 1 + static_cast<int>(random() % 6);
    for (int k = 0; k < n; ++k)
      s += static_cast<char>(random() % 3 ? interesting[random() % sizeof interesting]
                                          : random() % 256);
    ASSERT_EQ(utf8::sequenceLength(s), icuSequenceLength(s)) << round;
    std::size_t tail = utf8::incompleteTail(s);
    if (tail) {
      // What is held back starts a character that some bytes complete,
      std::string held = s.substr(s.size() - tail);
      bool completes = false;
      for (char second : {'\x80', '\x90', '\xa0', '\xbf'}) {
        std::string completed = held + (tail == 1 ? std::string(1, second) : "") + "\x80\x80";
        completes = completes || icuSequenceLength(completed) > tail;
      }
      ASSERT_TRUE(completes) << round;
    }
    // and whatever the bytes, the text shown is valid UTF-8.
    std::string whole = utf8::toUtf8(s, *cp);
    ASSERT_TRUE(utf8::isValid(whole)) << round;
  }
  const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z";
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    std::size_t tail = utf8::incompleteTail(text.substr(0, cut));
    std::size_t kept = cut - tail;
    EXPECT_TRUE(utf8::isValid(text.substr(0, kept))) << cut;
    EXPECT_TRUE(kept == cut || utf8::sequenceLength(text.substr(kept)) > tail) << cut;
  }
  EXPECT_EQ(utf8::incompleteTail("\xed\xa0"), 0u); // a surrogate can never complete
  EXPECT_EQ(utf8::incompleteTail("\xc3"), 1u);
}

TEST(Utf8, OtherBytesAreCharactersOfTheCodePage) {
  auto cp = CodePage::create("windows-1252");
  EXPECT_EQ(utf8::toUtf8("caf\xe9 \xc3\xa9 \x80", *cp), "caf\xc3\xa9 \xc3\xa9 \xe2\x82\xac");
  EXPECT_EQ(utf8::toUtf16("\xf0\x9f\x98\x80\xe9", *cp), u"\U0001F600\u00e9");
  std::size_t length = 0;
  EXPECT_EQ(utf8::decodeCharacter("\xce\xa3x", *cp, length), U'\u03a3');
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(utf8::decodeCharacter("\xce", *cp, length), U'\u00ce');
  EXPECT_EQ(length, 1u);
  EXPECT_TRUE(utf8::hasSequence("x\xc3\xa9"));
  EXPECT_FALSE(utf8::hasSequence("x\xe9\xc3"));
  EXPECT_TRUE(utf8::isLetter(U'\u03a3'));
  EXPECT_FALSE(utf8::isLetter(U'\u0301'));
  EXPECT_TRUE(utf8::isCombiningMark(U'\u0301'));
  EXPECT_TRUE(utf8::isDigit(U'\u0663'));
  EXPECT_TRUE(utf8::isDigit(U'\u00b2'));
  EXPECT_EQ(utf8::simpleFold(U'\u03a3'), U'\u03c3');
  std::string out;
  for (char32_t c : {U'a', U'\u00e9', U'\u20ac', U'\U0001F600'})
    utf8::append(out, c);
  EXPECT_EQ(out, "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
}

// The backward and the resuming readings of random bytes, and a cut to a
// number of bytes, against the forward one: each finds exactly the characters
// reading from the start finds, and a cut keeps every one that fits whole.
TEST(Utf8, CharacterEdgesAgreeWithReadingFromTheStart) {
  std::mt19937 random(55);
  const unsigned char pool[] = {'a', 0x80, 0x9F, 0xBF, 0xC3, 0xCE, 0xE2, 0xED, 0xF0, 0xF4, 0xFF};
  for (int round = 0; round < 3000; ++round) {
    std::string s;
    for (int k = 1 + static_cast<int>(random() % 24); k > 0; --k)
      s += static_cast<char>(pool[random() % sizeof pool]);
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < s.size(); i += utf8::characterLength(std::string_view(s).substr(i)))
      starts.push_back(i);
    starts.push_back(s.size());
    ASSERT_EQ(utf8::characterCount(s), starts.size() - 1) << round;
    for (std::size_t k = 0; k < starts.size(); ++k)
      ASSERT_EQ(utf8::characterOffset(s, k), starts[k]) << round;
    for (std::size_t k = 1; k < starts.size(); ++k)
      ASSERT_EQ(utf8::lastCharacterStart(std::string_view(s).substr(0, starts[k])), starts[k - 1])
          << round;
    for (std::size_t at = 0; at <= s.size(); ++at)
      ASSERT_EQ(utf8::characterBoundaryFrom(s, at),
                *std::lower_bound(starts.begin(), starts.end(), at))
          << round << " at " << at;
    for (std::size_t limit = 0; limit <= s.size(); ++limit)
      ASSERT_EQ(utf8::cutToBytes(s, limit).size(),
                *std::prev(std::upper_bound(starts.begin(), starts.end(), limit)))
          << round << " to " << limit;
  }
}

TEST(Utf8, CaseMappingKeepsCodePageBytesAndMapsCharactersWhole) {
  auto cp = CodePage::create("windows-1252");
  // A sequence changes as a character, longer or shorter; a byte outside one
  // through the code page's map.
  EXPECT_EQ(utf8::upperCase("stra\xc3\x9f"
                            "e \xe9 \xce\x90 \xf0\x90\x90\xa8",
                            *cp),
            "STRASSE \xc9 \xce\x99\xcc\x88\xcc\x81 \xf0\x90\x90\x80");
  EXPECT_EQ(utf8::lowerCase("\xc4\xb0 \xe1\xba\x9e \xc9", *cp), "i\xcc\x87 \xc3\x9f \xe9");
  // A capital sigma that ends a word (past case-ignorable marks) is final.
  EXPECT_EQ(
      utf8::lowerCase(
          "\xce\xa3 \xce\x9f\xce\xa3. \xce\x9f\xce\xa3'\xce\x91 \xce\x91\xce\xa3\xcc\x81", *cp),
      "\xcf\x83 \xce\xbf\xcf\x82. \xce\xbf\xcf\x83'\xce\xb1 \xce\xb1\xcf\x82\xcc\x81");
  EXPECT_EQ(utf8::characterCount("a\xc3\xa9\xe9\xf0\x9f\x98\x80"), 4u);
}

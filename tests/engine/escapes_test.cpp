#include "engine/escapes.h"

#include "classlib/exceptions.h"
#include "classlib/graphemes.h"
#include "classlib/utf8.h"
#include "support/all_bytes.h"
#include "support/error_message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace marrowen;
using marrowen::testing::allBytes;

namespace {

std::string decodeError(std::string_view text) {
  return marrowen::testing::errorOf([&] { decodeEscapes(text); });
}

} // namespace

TEST(Escapes, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(decodeEscapes(encodeEscapes(one)), one) << b;
  }
  EXPECT_EQ(decodeEscapes(encodeEscapes(allBytes())), allBytes());
}

TEST(Escapes, RandomTextsRoundTrip) {
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> length(0, 200);
  // Backslashes, digits and escape letters weighted up, so neighbouring
  // escapes and look-alike plain text meet often.
  const std::string tricky = "\\\\\\0129xXcCabtnvfre\x7f\x80\xff";
  for (int round = 0; round < 500; ++round) {
    std::string text;
    int n = length(random);
    for (int i = 0; i < n; ++i) {
      int pick = random() % 3;
      text += pick == 0 ? tricky[random() % tricky.size()] : static_cast<char>(random() % 256);
    }
    ASSERT_EQ(decodeEscapes(encodeEscapes(text)), text) << encodeEscapes(text);
    // The one-line forms: no line can break inside them, and they decode as
    // the text they stand for, escapes beside raw control bytes included.
    const std::string raw = escapeControlCharsReversibly(text);
    ASSERT_EQ(decodeEscapes(raw), text) << raw;
    const std::string escaped = escapeControlCharsInEscapedText(text);
    for (const std::string &line : {raw, escaped})
      ASSERT_TRUE(std::none_of(line.begin(), line.end(),
                               [](char c) { return static_cast<unsigned char>(c) < 32; }));
    std::string decoded;
    try {
      decoded = decodeEscapes(text);
    } catch (const Exception &) {
      EXPECT_THROW(decodeEscapes(escaped), Exception) << escaped;
      continue;
    }
    ASSERT_EQ(decodeEscapes(escaped), decoded) << escaped;
  }
  EXPECT_EQ(escapeControlCharsReversibly("C:\\data\\new\\"), "C:\\data\\\\new\\\\");
  EXPECT_EQ(escapeControlCharsInEscapedText("a\\t\tb\\\r\\c\n"), "a\\t\\tb\\\\\\r\\x4A");
  EXPECT_EQ(escapeControlCharsInEscapedText("\\\t", EscapeReader::Pattern), "\\t");
}

// A stored text cut to a number of bytes ends between whole escapes and
// between whole letters of what it decodes to, whatever the limit.
TEST(Escapes, CutTextsEndBetweenWholeEscapesAndLetters) {
  const char *const pieces[] = {
      "\\195\\164", "\xc3\xa4", "\xf0\x9f\x98\x80", "e\xcc\x81", "\\\\", "\\x41", "\\n",
      "a",          "\\q",      "\\xCC\\x81",       "\r\n"};
  const auto tables = charTables();
  std::mt19937 random(67);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int i = random() % 12; i > 0; --i)
      text += pieces[random() % std::size(pieces)];
    const std::string whole = decodeEscapes(text);
    std::size_t previous = 0;
    for (std::size_t limit = 0; limit <= text.size(); ++limit) {
      const std::string_view cut = cutEscapedText(text, limit);
      ASSERT_LE(cut.size(), limit);
      ASSERT_GE(cut.size(), previous);
      ASSERT_EQ(text.compare(0, cut.size(), cut), 0);
      const std::string decoded = decodeEscapes(cut);
      ASSERT_EQ(whole.compare(0, decoded.size(), decoded), 0) << text << " at " << limit;
      ASSERT_EQ(graphemes::cutToBytes(whole, *tables, decoded.size()).size(), decoded.size())
          << text << " at " << limit;
      previous = cut.size();
    }
  }
}

TEST(Escapes, EncodedForms) {
  EXPECT_EQ(encodeEscapes("\xc8"), "\\200");
  EXPECT_EQ(encodeEscapes(std::string(1, '\5')), "\\005");
  EXPECT_EQ(encodeEscapes(std::string(1, '\0')), "\\000");
  EXPECT_EQ(encodeEscapes("\\"), "\\\\");
  EXPECT_EQ(encodeEscapes("a\tb\r\n\x1b\x7f~"), "a\\tb\\r\\n\\e\\127~");
  EXPECT_EQ(encodeEscapes("\a\b\v\f"), "\\a\\b\\v\\f");
}

TEST(Escapes, DecodedForms) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"\\065", "A"},
      {"\\000", std::string(1, '\0')},
      {"\\255", "\xff"},
      {"\\x41\\x6a\\xFF", "Aj\xff"},
      {"\\q", "\\q"},
      {"a\\ b", "a\\ b"},
      {"\\\\n", "\\n"},
      {"\\cA", "\x01"},
      {"\\ca", "\x01"},
      {"\\c[", "\x1b"},
      {"\\c?", "\x7f"},
      {"\\c\\", "\x1c"},
      {"\\a\\b\\t\\n\\v\\f\\r\\e", "\a\b\t\n\v\f\r\x1b"},
      {"", ""},
  };
  for (const auto &[text, bytes] : cases)
    EXPECT_EQ(decodeEscapes(text), bytes) << text;
}

TEST(Escapes, EachMalformedEscapeRaisesItsMessage) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"\\xG1", "\\xHH Invalid hex digit 'G'"},
      {"\\x4", "\\xHH Expecting 2 trailing hex digits"},
      {"\\65", "\\DDD must start with the decimal digit 0, 1 or 2 (Leading zeros are required). "
               "Valid range is 000-255"},
      {"\\256", "\\DDD Maximum value is 255"},
      {"\\0a5", "\\DDD You must specify all 3 decimal digits (Leading zeros are required)"},
      {"abc\\", "Trailing \\ needs to be followed by something"},
      {"\\06", "\\DDD Expecting 3 trailing decimal digits"},
      {"\\c", "\\cC Expecting an upper case letter"},
      // A UTF-8 letter would lose its first byte and leave the rest stray.
      {"\\cé", "\\cC Expecting an upper case letter"},
      {"a\\c😀", "\\cC Expecting an upper case letter"},
      {"\\x4中", "\\xHH Invalid hex digit '中'"},
  };
  for (const auto &[text, message] : cases)
    EXPECT_EQ(decodeError(text), message) << text;
  EXPECT_THROW(hexDigitValue('g'), Exception);
  EXPECT_EQ(hexDigitValue('f'), 15);
  EXPECT_EQ(hexDigitValue('A'), 10);
}

TEST(Escapes, ErrorKeepsWhatWasDecoded) {
  std::string result = "old";
  EXPECT_THROW(decodeEscapes("ab\\n\\9", result), Exception);
  EXPECT_EQ(result, "ab\n");
}

TEST(Escapes, ATextBecomesItsOwnResult) {
  // Decoding shrinks and encoding grows the text in place of its source; a
  // result that overwrote its source while reading it would corrupt both.
  std::string text = "a\\tb\\x41\\065\\q";
  decodeEscapes(text, text);
  EXPECT_EQ(text, "a\tbAA\\q");
  text = std::string("\x01\\\xff", 3);
  text.reserve(64); // room to grow without moving, so the source is not copied away
  encodeEscapes(text, text);
  EXPECT_EQ(text, "\\001\\\\\\255");
  escapeControlChars(text, text);
  EXPECT_EQ(text, "\\001\\\\\\255");
  text = "Hello";
  std::string replacement = "wORLD";
  matchCase(text, replacement, text);
  EXPECT_EQ(text, "World");
  text = "hELLO";
  matchCase(text, text, text);
  EXPECT_EQ(text, "hELLO");
}

TEST(Escapes, DisplayVariants) {
  std::string text = std::string("\\a\t\r\n", 5) + std::string(1, '\0') + "\x1b\x7f\xe9";
  EXPECT_EQ(escapeBinaryChars(text), "\\a\t\r\n\\000\\e\x7f\xe9");
  EXPECT_EQ(escapeControlChars(text), "\\a\\t\\r\\n\\000\\e\x7f\xe9");
}

TEST(CharTables, Windows1252) {
  initCharTables();
  auto cp = charTables();
  ASSERT_EQ(cp->name(), "windows-1252");
  for (unsigned char c : {0xE9, 0xC9, 0x9A, 0x8A, 0xFF, 0x9F, 0xDF, 0xAA, 0xBA, 0xF1})
    EXPECT_TRUE(cp->isLetter(c)) << int(c);
  const std::pair<unsigned char, unsigned char> partners[] = {
      {0xE9, 0xC9}, {0x9A, 0x8A}, {0xFF, 0x9F}};
  for (auto [lower, upper] : partners) {
    EXPECT_EQ(cp->toUpper(lower), upper);
    EXPECT_EQ(cp->toLower(upper), lower);
  }
  for (unsigned char alone : {0xDF, 0xAA, 0xBA}) {
    EXPECT_EQ(cp->toUpper(alone), alone) << int(alone);
    EXPECT_EQ(cp->toLower(alone), alone) << int(alone);
  }
  EXPECT_TRUE(cp->isWordChar('_'));
  for (char d = '0'; d <= '9'; ++d)
    EXPECT_TRUE(cp->isWordChar(static_cast<unsigned char>(d)));
  EXPECT_FALSE(cp->isLetter('_'));
  EXPECT_FALSE(cp->isWordChar('-'));
}

// A Windows-1252 byte and the same character in UTF-8 are judged alike:
// letter, word character and case partner, where the code page holds one.
TEST(CharTables, EveryByteAgreesWithItsUtf8Form) {
  initCharTables();
  auto cp = charTables();
  for (int b = 0x80; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    const std::string text = cp->toUtf8(std::string(1, static_cast<char>(b)));
    const utf8::WordCharacter judged = utf8::wordCharacterAt(text, *cp);
    EXPECT_EQ(cp->isLetter(byte), judged.letter) << b;
    EXPECT_EQ(cp->isWordChar(byte), judged.word) << b;
    for (const auto &[mapped, map] : {std::pair{utf8::upperCase(text, *cp), &cp->upperMap()},
                                      std::pair{utf8::lowerCase(text, *cp), &cp->lowerMap()}}) {
      const std::string back = cp->fromUtf8(mapped, '\0');
      const auto partner =
          back.size() == 1 && back[0] != '\0' ? static_cast<unsigned char>(back[0]) : byte;
      EXPECT_EQ((*map)[byte], partner) << b;
    }
  }
}

TEST(CharTables, SwapLeavesHeldTablesIntact) {
  initCharTables();
  auto held = charTables();
  setSystemCodePage("ibm-437");
  initCharTables();
  EXPECT_NE(charTables(), held);
  EXPECT_EQ(held->name(), "windows-1252");
  EXPECT_EQ(held->toUpper(0xE9), 0xC9);
  setSystemCodePage("windows-1252");
  initCharTables();
  EXPECT_EQ(charTables()->name(), "windows-1252");
}

TEST(CaseTests, UpperLowerMixed) {
  EXPECT_TRUE(isUpperCaseText("ABC 1\xc9"));
  EXPECT_FALSE(isUpperCaseText("ABc"));
  EXPECT_TRUE(isLowerCaseText("abc 1\xe9"));
  EXPECT_TRUE(isUpperCaseText("123") && isLowerCaseText("123"));
  EXPECT_TRUE(isMixedCaseText("Abc"));
  EXPECT_FALSE(isMixedCaseText("123"));
  EXPECT_TRUE(isUpperCaseText("GRÜSSE ΟΔΟΣ") && isLowerCaseText("grüße οδος"));
  EXPECT_TRUE(isMixedCaseText("Grüße"));
}

TEST(MatchCase, FollowsTheFoundText) {
  struct Case {
    std::string_view found, replacement, result;
  };
  const Case cases[] = {
      {"HELLO", "world", "WORLD"},
      {"hello", "WoRLD", "world"},
      {"Hello", "wORLD", "World"},
      {"hELLO", "world", "wORLD"},
      {"123", "abc", "ABC"},
      {"", "abc", "ABC"},
      {"HeLLo", "world", "World"},
      {"1aB", "xyz", "xyz"},
      {"Hello", "", ""},
      {"\xc9t\xe9", "\xe9t\xe9", "\xc9t\xe9"},
      {"Ab", "x", "X"},
      // A UTF-8 letter is one character, cased whole by Unicode.
      {"STRASSE", "grüße", "GRÜSSE"},
      {"ΟΔΟΣ", "λόγος", "ΛΌΓΟΣ"},
      {"ΚΑΛΟΣ", "", ""},
      {"ΛΌΓΟΣ", "x", "X"},
      {"Éclair", "ölçü", "Ölçü"},
      {"éCLAIR", "Ölçü", "öLÇÜ"},
      {"ЁЛКА", "ель и сосна", "ЕЛЬ И СОСНА"},
      {"ёлка", "ЕЛЬ Σ ΣΑΣ", "ель σ σας"},
      {"Ab", "ΟΣ", "Ος"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(matchCase(c.found, c.replacement), c.result) << c.found << " " << c.replacement;
}

TEST(Unquote, OnlyAnEnclosingPair) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"\"abc\"", "abc"}, {"\"abc", "\"abc"}, {"abc\"", "abc\""}, {"abc", "abc"},
      {"\"", ""},         {"\"\"", ""},       {"", ""},           {"\"a\"b\"", "a\"b"},
  };
  for (const auto &[text, result] : cases)
    EXPECT_EQ(unquote(text), result) << text;
}

TEST(StringListFromText, SplitsOnEveryLineEnd) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(stringListFromText("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(stringListFromText("a\r\n"), (Lines{"a"}));
  EXPECT_EQ(stringListFromText("\n\n"), (Lines{"", ""}));
  EXPECT_EQ(stringListFromText("\n\r"), (Lines{"", ""}));
  EXPECT_EQ(stringListFromText(""), Lines{});
}

TEST(MemoText, NullsRemovedWithWarning) {
  auto memo = memoTextWithoutNulls("clip", std::string("a\0b\0\0c", 6));
  EXPECT_EQ(memo.text, "abc");
  EXPECT_TRUE(memo.nullsRemoved);
  EXPECT_EQ(memo.warning,
            "Warning - embedded nulls removed from clip (original length: 6, new length: 3)");
  auto clean = memoTextWithoutNulls("clip", "abc");
  EXPECT_FALSE(clean.nullsRemoved);
  EXPECT_EQ(clean.text, "abc");
  EXPECT_TRUE(clean.warning.empty());
}

#include "classlib/collation.h"

#include "classlib/codepage.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

using namespace marrowen;

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

} // namespace

TEST(Collation, LocaleOrderIsNotByteOrder) {
  // Byte order puts every capital before every small letter and accented
  // letters after "z"; the locale's order does neither.
  EXPECT_LT(AnsiCompareStr("apple", "Banana"), 0);
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
  EXPECT_GT(CompareStr("apple", "Banana"), 0);
  EXPECT_LT(AnsiCompareStr("\xe9t\xe9", "f"), 0); // été before f
  EXPECT_GT(AnsiCompareStr("\xe9t\xe9", "e"), 0); // and after e
  EXPECT_GT(CompareStr("\xe9t\xe9", "z"), 0);
}

TEST(Collation, ZeroMeansTheSameText) {
  // The collation ignores control characters and, without case, letter case;
  // the comparisons still call only the same text equal.
  struct Case {
    std::string a, b;
    bool sameStr, sameText;
  };
  const Case cases[] = {
      {"abc", "abc", true, true},
      {"abc", "ABC", false, true},
      {"\xe9t\xe9", "\xc9T\xc9", false, true},
      {"a\x01", "a", false, false},
      {std::string("a\0b", 3), "ab", false, false},
      {"abc", "abd", false, false},
      {"", "", true, true},
      {"", "\x02", false, false},
      // UTF-8: a sequence is one character, cased by Unicode; its bytes
      // are no letters of the code page (Ê and Ú differ only in a byte
      // the code page's lower case maps alike).
      {"\u00dcber", "\u00fcBER", false, true},
      {"\u03c3\u03af\u03c3\u03c5\u03c6\u03bf\u03c2", "\u03a3\u038a\u03a3\u03a5\u03a6\u039f\u03a3",
       false, true},
      {"\u212a", "k", false, true},
      {"\u00ca", "\u00da", false, false},
      {"\u00e9", "\xE9", false, false},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(AnsiCompareStr(c.a, c.b) == 0, c.sameStr) << c.a << " / " << c.b;
    EXPECT_EQ(AnsiCompareText(c.a, c.b) == 0, c.sameText) << c.a << " / " << c.b;
    EXPECT_EQ(AnsiSameText(c.a, c.b), c.sameText) << c.a << " / " << c.b;
    EXPECT_EQ(sign(AnsiCompareStr(c.a, c.b)), -sign(AnsiCompareStr(c.b, c.a)));
    EXPECT_EQ(sign(AnsiCompareText(c.a, c.b)), -sign(AnsiCompareText(c.b, c.a)));
  }
}

TEST(Collation, AsciiComparisonsAreByteOrder) {
  struct Case {
    const char *a, *b;
    int str, text;
  };
  const Case cases[] = {
      {"a", "B", 1, -1},      {"abc", "ABC", 1, 0},
      {"ab", "abc", -1, -1},  {"[", "a", -1, 1}, // without case "a" is "A", which comes before "["
      {"\xe9", "\xc9", 1, 1},                    // only A-Z fold
      {"", "", 0, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(sign(CompareStr(c.a, c.b)), c.str) << c.a << " / " << c.b;
    EXPECT_EQ(sign(CompareText(c.a, c.b)), c.text) << c.a << " / " << c.b;
  }
}

TEST(Collation, ThreadsCompareAlike) {
  const std::vector<std::string> words = {"peach", "Pear", "\xe9t\xe9", "apple", "Zebra", "zoo"};
  std::vector<int> expected;
  for (const auto &a : words)
    for (const auto &b : words)
      expected.push_back(sign(AnsiCompareStr(a, b)) * 3 + sign(AnsiCompareText(a, b)));
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        std::size_t k = 0;
        for (const auto &a : words)
          for (const auto &b : words)
            if (sign(AnsiCompareStr(a, b)) * 3 + sign(AnsiCompareText(a, b)) != expected[k++])
              ++failures[t];
      }
    });
  for (auto &t : threads)
    t.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(Collation, LocaleCanBeChosen) {
  // Swedish sorts "ä" after "z"; German sorts it with "a".
  setCollationLocale("de_DE.UTF-8");
  EXPECT_LT(AnsiCompareStr("\xe4pfel", "zebra"), 0);
  setCollationLocale("sv_SE");
  EXPECT_GT(AnsiCompareStr("\xe4pfel", "zebra"), 0);
  EXPECT_EQ(collationLocale(), "sv_SE");
  setCollationLocale("");
}

TEST(Collation, OrdersAreConsistentAcrossPlainAndAccentedTexts) {
  // ASCII texts and texts with other bytes take different roads to the
  // collation; together they must still form one order.
  const std::string alphabet = "aAb\xe9\xc9 -\x01z";
  std::mt19937 random(7);
  std::vector<std::string> texts;
  for (int i = 0; i < 200; ++i) {
    std::string s;
    for (int k = random() % 5; k >= 0; --k)
      s += alphabet[random() % alphabet.size()];
    texts.push_back(s);
  }
  for (auto compare : {AnsiCompareStr, AnsiCompareText}) {
    for (int i = 0; i < 20000; ++i) {
      const std::string &a = texts[random() % texts.size()];
      const std::string &b = texts[random() % texts.size()];
      const std::string &c = texts[random() % texts.size()];
      ASSERT_EQ(sign(compare(a, b)), -sign(compare(b, a))) << a << " / " << b;
      if (compare(a, b) <= 0 && compare(b, c) <= 0) {
        ASSERT_LE(compare(a, c), 0) << a << " / " << b << " / " << c;
      }
    }
  }
}

TEST(Collation, SortKeysOrderAsTheComparisons) {
  std::mt19937 random(11);
  const char *pieces[] = {"a", "A", "b", "\xe9", "\xc9", "e", "-", " ", "\x01", "1", "z", ""};
  std::vector<std::string> texts;
  for (int i = 0; i < 400; ++i) {
    std::string text;
    for (int k = 0; k < 3; ++k)
      text += pieces[random() % std::size(pieces)];
    texts.push_back(text);
  }
  for (bool caseSensitive : {true, false}) {
    std::vector<std::string> keys;
    for (const auto &text : texts) {
      std::string key;
      appendAnsiSortKey(text, caseSensitive, key);
      keys.push_back(key);
    }
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
      const std::string &a = texts[i];
      const std::string &b = texts[i + 1];
      int byKey = sign(keys[i].compare(keys[i + 1]));
      int expected = caseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
      // Equal keys leave the order to the bytes; different keys decide it.
      if (byKey != 0) {
        EXPECT_EQ(byKey, sign(expected)) << a << " / " << b;
      } else if (caseSensitive) {
        EXPECT_EQ(sign(expected), sign(CompareStr(a, b))) << a << " / " << b;
      }
    }
  }
}

// A UTF-8 letter is one character to the collation, as the user reads it:
// "É" sorts with E, not as the two code-page letters of its bytes ("Ã‰",
// with A). Comparisons, sort keys and the direct collation agree on it.
TEST(Collation, Utf8TextCollatesAsItsCharacters) {
  const std::string emile = "\xc3\x89mile", smallEmile = "\xc3\xa9mile";
  const std::string ordered[] = {"Bob",
                                 emile,
                                 "Fred",
                                 "\xce\x91\xce\xbb\xcf\x86\xce\xb1",
                                 "\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1",
                                 "\xd0\x9c\xd0\xb8\xd0\xbd\xd1\x81\xd0\xba",
                                 "\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0"};
  for (bool caseSensitive : {true, false}) {
    auto compare = caseSensitive ? AnsiCompareStr : AnsiCompareText;
    for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
      const std::string &a = ordered[i];
      const std::string &b = ordered[i + 1];
      EXPECT_LT(compare(a, b), 0) << a << " / " << b;
      EXPECT_GT(compare(b, a), 0) << a << " / " << b;
      EXPECT_LT(ansiCollate(a, b, caseSensitive, *systemCodePage()), 0) << a << " / " << b;
      std::string keyA, keyB;
      appendAnsiSortKey(a, caseSensitive, keyA);
      appendAnsiSortKey(b, caseSensitive, keyB);
      EXPECT_LT(keyA, keyB) << a << " / " << b;
    }
  }
  // Without case the letters' two cases collate alike.
  EXPECT_EQ(ansiCollate(emile, smallEmile, false, *systemCodePage()), 0);
  // Bytes outside a valid sequence stay the code page's: é, then f.
  EXPECT_LT(AnsiCompareStr("\xe9t\xe9", "f"), 0);
}

#include "classlib/graphemes.h"

#include "classlib/codepage.h"
#include "classlib/utf8.h"

#include <gtest/gtest.h>

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <vector>

using namespace marrowen;

namespace {

// Pieces that the clusters of Unicode join or keep apart: letters with
// combining marks written apart, flags and a lone regional indicator, an
// emoji with a skin tone and a family joined by ZWJ, Hangul jamo, a
// Devanagari conjunct, CR LF, a NUL, and bytes outside any sequence (a
// Windows-1252 letter, a lead byte cut short).
const char *const pieces[] = {"a",
                              " ",
                              "\r",
                              "\n",
                              "\r\n",
                              "e\xcc\x81",
                              "\xcc\x88",
                              "\xc3\xa9",
                              "\0",
                              "Z",
                              "\xf0\x9f\x87\xa9",
                              "\xf0\x9f\x87\xaa",
                              "\xf0\x9f\x91\x8d",
                              "\xf0\x9f\x8f\xbd",
                              "\xe2\x80\x8d",
                              "\xf0\x9f\x91\xa9",
                              "\xe1\x84\x80",
                              "\xe1\x85\xa1",
                              "\xe1\x86\xa8",
                              "\xe0\xa4\x95\xe0\xa5\x8d",
                              "\xe0\xa4\xb7",
                              "\xe9",
                              "\xc3",
                              "\xcc",
                              "\xe2\x86",
                              "\xef\xb8\x8f",
                              "\t"};

std::string randomText(std::mt19937 &random, std::size_t pieceCount) {
  std::string text;
  for (std::size_t i = 0; i < pieceCount; ++i) {
    const char *piece = pieces[random() % std::size(pieces)];
    text += piece[0] ? std::string(piece) : std::string(1, '\0');
  }
  return text;
}

// The clusters of the whole text as ICU's C++ iterator finds them over the
// text read by the one rule: each cluster's byte end and its characters.
struct Model {
  std::vector<std::size_t> ends;
  std::vector<std::size_t> characters;

  Model(std::string_view text, const CodePage &codePage) {
    icu::UnicodeString units;
    std::vector<std::size_t> offsets, starts;
    for (std::size_t i = 0; i < text.size();) {
      std::size_t length = 0;
      const char32_t cp = utf8::decodeCharacter(text.substr(i), codePage, length);
      const int32_t before = units.length();
      units.append(static_cast<UChar32>(cp));
      for (int32_t u = before; u < units.length(); ++u)
        offsets.push_back(i);
      starts.push_back(static_cast<std::size_t>(before));
      i += length;
    }
    offsets.push_back(text.size());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    it->setText(units);
    std::size_t before = 0; // characters before the cluster
    for (int32_t b = it->next(); b != icu::BreakIterator::DONE; b = it->next()) {
      ends.push_back(offsets[static_cast<std::size_t>(b)]);
      const auto upTo = static_cast<std::size_t>(
          std::lower_bound(starts.begin(), starts.end(), static_cast<std::size_t>(b)) -
          starts.begin());
      characters.push_back(upTo - before);
      before = upTo;
    }
  }
  std::size_t floorByCharacters(std::size_t limit) const {
    std::size_t at = 0, count = 0;
    for (std::size_t k = 0; k < ends.size() && count + characters[k] <= limit; ++k) {
      count += characters[k];
      at = ends[k];
    }
    return at;
  }
  std::size_t floorByBytes(std::size_t limit) const {
    std::size_t at = 0;
    for (std::size_t end : ends)
      if (end <= limit)
        at = end;
    return at;
  }
  std::size_t ceilByBytes(std::size_t at) const {
    if (at == 0)
      return 0;
    return *std::lower_bound(ends.begin(), ends.end(), at);
  }
  std::string reversed(std::string_view text) const {
    std::string out;
    for (std::size_t k = ends.size(); k-- > 0;) {
      const std::size_t start = k ? ends[k - 1] : 0;
      out += text.substr(start, ends[k] - start);
    }
    return out;
  }
};

} // namespace

// Random texts of pieces that join and pieces that stand alone, read whole
// and as the start of a longer text: every cut lies where ICU's iterator
// puts a boundary, counts are of characters, and a text that does not end
// holds back exactly its last cluster and a character cut short.
TEST(Graphemes, CutsFallWhereIcuPutsBoundaries) {
  std::mt19937 random(67);
  for (const char *name : {"windows-1252", "windows-1258"}) {
    const auto codePage = CodePage::create(name);
    for (int round = 0; round < 3000; ++round) {
      const std::string text = randomText(random, random() % 40);
      const Model model(text, *codePage);
      std::string hex;
      for (unsigned char c : text)
        hex += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15], ' '};
      SCOPED_TRACE(testing::Message() << name << " round " << round << ": " << hex);
      const std::size_t limit = random() % (text.size() + 3);
      std::size_t taken = 0;
      const std::size_t cut = graphemes::prefixWithin(text, *codePage, limit, &taken);
      ASSERT_EQ(cut, model.floorByCharacters(limit));
      ASSERT_EQ(taken, utf8::characterCount(std::string_view(text).substr(0, cut)));
      ASSERT_EQ(graphemes::cutToBytes(text, *codePage, limit).size(),
                std::min(text.size(), model.floorByBytes(limit)));
      const std::size_t at = std::min<std::size_t>(limit, text.size());
      ASSERT_EQ(graphemes::boundaryFrom(text, *codePage, at), model.ceilByBytes(at));
      std::string reversed = text;
      graphemes::reverseClusters(reversed.data(), reversed.size(), *codePage);
      ASSERT_EQ(reversed, model.reversed(text));

      // The same text as the start of one that goes on.
      graphemes::ClusterWalk walk(text, *codePage, false);
      walk.takeAtLeast(text.size());
      std::size_t open = 0;
      for (std::size_t end : model.ends)
        if (end < walk.end())
          open = end;
      ASSERT_EQ(walk.position(), open);
      ASSERT_EQ(walk.end(), text.size() - utf8::incompleteTail(text));
    }
  }
  // Text far longer than a piece, one cluster longer still.
  const auto codePage = CodePage::create("windows-1252");
  std::string longText(70000, 'x');
  for (int i = 0; i < 30000; ++i)
    longText += "\xcc\x81";
  longText += "\r\nend";
  const Model model(longText, *codePage);
  EXPECT_EQ(graphemes::prefixWithin(longText, *codePage, 69999), 69999u);
  EXPECT_EQ(graphemes::prefixWithin(longText, *codePage, 80000), 69999u);
  EXPECT_EQ(graphemes::boundaryFrom(longText, *codePage, 70001), model.ceilByBytes(70001));
  graphemes::ClusterWalk walk(longText, *codePage);
  EXPECT_EQ(walk.takeAtLeast(70000), 100000u);
}

TEST(Graphemes, TextLimitedInUnitsKeepsLettersWhole) {
  const std::u16string flags = u"ab\U0001F1E9\U0001F1EA\U0001F44D\U0001F3FD";
  EXPECT_EQ(graphemes::unitsWithin(flags, 2), 2u);
  EXPECT_EQ(graphemes::unitsWithin(flags, 3), 2u);
  EXPECT_EQ(graphemes::unitsWithin(flags, 5), 2u);
  EXPECT_EQ(graphemes::unitsWithin(flags, 6), 6u);
  EXPECT_EQ(graphemes::unitsWithin(flags, 9), 6u);
  EXPECT_EQ(graphemes::unitsWithin(flags, 99), flags.size());
}

#include "grid/data/celltext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace marrowen;

namespace {

// Every byte 10 pixels wide, lines 12 high; the average a font claims may
// be more.
class FixedMetrics : public TextMetrics {
public:
  explicit FixedMetrics(int claimed = 10) : average(claimed) {}
  int TextHeight() const override { return 12; }
  int AverageCharWidth() const override { return average; }
  int Width(std::string_view text) const override { return 10 * static_cast<int>(text.size()); }
  int average;
};

struct Out {
  int x, y;
  std::string text;
  bool underline;
};

class RecordingCanvas : public TextCanvas {
public:
  const TextMetrics &Metrics() const override { return metrics; }
  void FillRect(const TRect &) override { ++fills; }
  void TextOut(int x, int y, const TRect &, std::string_view text, bool underline) override {
    out.push_back({x, y, std::string(text), underline});
  }
  void FillSelection(const TRect &rect, TColor) override { selections.push_back(rect); }
  void TextOutColored(int x, int y, const TRect &, std::string_view text, TColor) override {
    coloured.push_back({x, y, std::string(text), false});
  }
  FixedMetrics metrics;
  std::vector<TRect> selections;
  std::vector<Out> coloured;
  int fills = 0;
  std::vector<Out> out;
};

std::vector<std::string> lines(std::string_view text, int width, TdgHorzAlignment align,
                               int average = 10) {
  FixedMetrics m(average);
  TdgIntegerList starts;
  BuildLineStarts(m, text, 100, 0, starts, true, align, width);
  std::vector<std::string> result;
  for (int i = 0; i < starts.Count(); ++i) {
    const std::size_t from = starts.Get(i);
    const std::size_t to = i + 1 < starts.Count() ? starts.Get(i + 1) : text.size();
    result.emplace_back(text.substr(from, to - from));
  }
  return result;
}

using Lines = std::vector<std::string>;

} // namespace

TEST(CellText, WrapsAtBlanksAndBreaks) {
  // Width 61 leaves 60 pixels (6 bytes) after the one pixel FitLine keeps back.
  struct Case {
    const char *text;
    TdgHorzAlignment align;
    Lines expected;
    int average = 10;
  } cases[] = {
      {"abc def ghi", htaLeft, {"abc ", "def ", "ghi"}},
      {"abcdefghij", htaLeft, {"abcdef", "ghij"}},
      {"ab\r\ncd", htaLeft, {"ab\r\n", "cd"}},
      {"ab\n\rcd", htaLeft, {"ab\n\r", "cd"}},
      {"ab\n\ncd", htaLeft, {"ab\n", "\n", "cd"}},
      {"ab\r\n", htaLeft, {"ab\r\n", ""}},
      // Right alignment: blanks before a line belong to it, none end a line.
      {"abc   def", htaRight, {"abc", "   def"}},
      {"", htaLeft, {""}},
      // Measured up from a guess short of the width: exactly as wide stays whole.
      {"abcdef", htaLeft, {"abcdef"}, 12},
      // A line never ends inside a UTF-8 character.
      {"ab\u65e5\u672c", htaLeft, {"ab\u65e5", "\u672c"}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(lines(c.text, 61, c.align, c.average), c.expected) << c.text;
}

TEST(CellText, NarrowLineStillTakesOneCharacter) {
  EXPECT_EQ(lines("abc", 5, htaLeft), (Lines{"a", "b", "c"}));
  EXPECT_EQ(lines("\u65e5\u00e9", 5, htaLeft), (Lines{"\u65e5", "\u00e9"}));
}

TEST(CellText, ShortCellNeverWraps) {
  FixedMetrics m; // line spacing 12: wrapping needs 12 + 12 / 3 = 16
  EXPECT_FALSE(WrapFits(m, 15));
  EXPECT_TRUE(WrapFits(m, 16));
  TdgIntegerList starts;
  BuildLineStarts(m, "abc def ghi", 15, 0, starts, true, htaLeft, 31);
  EXPECT_EQ(starts.Count(), 1);
}

TEST(CellText, HeightCountsTrailingBreakAsLine) {
  FixedMetrics m;
  EXPECT_EQ(CalcTextHeight(m, "abc def", 41, true, htaLeft).X, 2);
  EXPECT_EQ(CalcTextHeight(m, "abc def\r\n", 41, true, htaLeft).X, 3);
  EXPECT_EQ(CalcTextHeight(m, "abc def\r\n", 41, true, htaLeft).Y, 36);
  EXPECT_EQ(CalcTextHeight(m, "", 41, true, htaLeft).X, 1);
  EXPECT_EQ(CalcTextHeight(m, "abc def", 41, false, htaLeft).X, 1);
}

TEST(CellText, WidthsAndWords) {
  FixedMetrics m;
  EXPECT_EQ(TextWidthOf(m, "ab\r\ncd", false, false), 50); // the pair is one blank
  EXPECT_EQ(TextWidthOf(m, "ab\r\ncd", false, true), 40);
  EXPECT_EQ(TextWidthOf(m, "", false, false), 1);
  EXPECT_EQ(FindLineBreak("ab\ncd"), 2);
  EXPECT_EQ(FindLineBreak("abcd"), -1);
  EXPECT_EQ(NextWordDistance("ab  cd", 0), 4);
  EXPECT_EQ(NextWordDistance("ab  cd", 4), 2);
  EXPECT_EQ(PrevWordDistance("ab  cd", 4), 4);
  EXPECT_EQ(PrevWordDistance("ab  cd", 6), 2);
  EXPECT_EQ(PrevWordDistance("ab  cd", 0), 0);
}

TEST(CellText, Underline) {
  RecordingCanvas c;
  DrawUnderlinedText(c, 0, 3, "abc", {0, 0, 100, 20}, 0);
  ASSERT_EQ(c.out.size(), 2u); // nothing after the last character
  EXPECT_EQ(c.out[1].text, "c");
  EXPECT_TRUE(c.out[1].underline);
  EXPECT_EQ(c.out[1].x, 20);

  RecordingCanvas beyond;
  DrawUnderlinedText(beyond, 0, 9, "abc", {0, 0, 100, 20}, 0);
  ASSERT_EQ(beyond.out.size(), 1u);
  EXPECT_FALSE(beyond.out[0].underline);
}

TEST(CellText, PlainCellIsOneOutput) {
  RecordingCanvas c;
  DrawCellText(c, "hello", 20, 0, false, vtaTop, htaLeft, 2, 3, {0, 0, 100, 20});
  ASSERT_EQ(c.out.size(), 1u);
  EXPECT_EQ(c.out[0].x, 3);
  EXPECT_EQ(c.out[0].y, 2);
}

TEST(CellText, Placement) {
  struct Case {
    TdgHorzAlignment horz;
    TdgVertAlignment vert;
    int x, y;
  } cases[] = {
      {htaRight, vtaTop, 100 - 31, 0},  // "abc" is 30 wide, plus one
      {htaCenter, vtaTop, 35, 0},       // (100 - 30) / 2
      {htaLeft, vtaBottom, 3, 40 - 12}, // bottom less the text height
      {htaLeft, vtaCenter, 3, (40 - 12) / 2},
  };
  for (const auto &c : cases) {
    RecordingCanvas canvas;
    DrawCellText(canvas, "abc", 40, 0, false, c.vert, c.horz, 0, 3, {0, 0, 100, 40});
    ASSERT_FALSE(canvas.out.empty());
    EXPECT_EQ(canvas.out[0].x, c.x) << int(c.horz) << int(c.vert);
    EXPECT_EQ(canvas.out[0].y, c.y) << int(c.horz) << int(c.vert);
  }
}

TEST(CellText, WrappedLinesStackAndDropBreaks) {
  RecordingCanvas c;
  DrawCellText(c, "ab\r\ncd", 40, 0, true, vtaTop, htaLeft, 0, 3, {0, 0, 100, 40});
  ASSERT_EQ(c.out.size(), 2u);
  EXPECT_EQ(c.out[0].text, "ab");
  EXPECT_EQ(c.out[1].text, "cd");
  EXPECT_EQ(c.out[1].y, 12);

  RecordingCanvas bottom; // two lines end at the bottom
  DrawCellText(bottom, "ab\r\ncd", 40, 0, true, vtaBottom, htaLeft, 0, 3, {0, 0, 100, 40});
  ASSERT_EQ(bottom.out.size(), 2u);
  EXPECT_EQ(bottom.out[1].y, 40 - 12);
}

TEST(CellText, UnwrappedBreakShowsAsBlank) {
  RecordingCanvas c;
  DrawCellText(c, "ab\r\ncd", 20, 0, false, vtaTop, htaCenter, 0, 0, {0, 0, 100, 20});
  ASSERT_EQ(c.out.size(), 3u);
  EXPECT_EQ(c.out[1].text, " ");
  EXPECT_EQ(c.out[2].x, c.out[0].x + 30);
}

TEST(CellText, EditTextSelection) {
  TextSelection sel{0x00FFFF, 0x800000, 2, 3};
  RecordingCanvas c;
  TdgIntegerList starts;
  starts.Add(0);
  DrawEditText(c, "abcdefg", 20, false, vtaTop, htaLeft, sel, &starts, 0, 0, 0, 0, {0, 0, 100, 20});
  ASSERT_EQ(c.selections.size(), 1u);
  EXPECT_EQ(c.selections[0], (TRect{20, 0, 50, 12}));
  ASSERT_EQ(c.coloured.size(), 1u);
  EXPECT_EQ(c.coloured[0].text, "cde");
  EXPECT_EQ(c.coloured[0].x, 20);

  // Wrapped: the selection is cut per line, relative to each line's start.
  RecordingCanvas w;
  TdgIntegerList lines;
  BuildLineStarts(w.metrics, "abc def", 40, 0, lines, true, htaLeft, 41);
  ASSERT_EQ(lines.Count(), 2);
  DrawEditText(w, "abc def", 40, true, vtaTop, htaLeft, {clNone, clNone, 2, 3}, &lines, 0, 0, 0, 0,
               {0, 0, 100, 40});
  ASSERT_EQ(w.coloured.size(), 2u);
  EXPECT_EQ(w.coloured[0].text, "c ");
  EXPECT_EQ(w.coloured[1].text, "d");
  EXPECT_EQ(w.coloured[1].y, 12);

  RecordingCanvas none; // no line list: background only
  DrawEditText(none, "abc", 20, false, vtaTop, htaLeft, sel, nullptr, 0, 0, 0, 0, {0, 0, 100, 20});
  EXPECT_EQ(none.fills, 1);
  EXPECT_TRUE(none.out.empty());
}

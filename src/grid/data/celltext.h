#pragma once

#include "grid/data/font.h"
#include "grid/data/gridtypes.h"
#include "grid/data/gridutils.h"
#include "grid/data/sets.h"

#include <QString>

#include <memory>
#include <string_view>

class QFont;
class QPainter;

namespace marrowen {

// What the text routines need to know of a font. The grid measures with the
// painter's font; tests use a fixed-width stand-in so line breaking can be
// checked to the byte.
class TextMetrics {
public:
  virtual ~TextMetrics() = default;
  virtual int TextHeight() const = 0;
  virtual int AverageCharWidth() const = 0;
  virtual int Overhang() const { return 0; }
  virtual int Width(std::string_view text) const = 0;
  // The code pages are single-byte: no extra line spacing for double-byte
  // fonts' external leading.
  int ExtraSpacing() const { return 0; }
  int LineSpacing() const { return TextHeight() + ExtraSpacing(); }
};

// Where cell text goes: the metrics of the current font, a filler for the
// background and a clipped text output (transparent background).
class TextCanvas {
public:
  virtual ~TextCanvas() = default;
  virtual const TextMetrics &Metrics() const = 0;
  virtual void FillRect(const TRect &rect) = 0;
  // Draws text with its top at y, clipped to clip.
  virtual void TextOut(int x, int y, const TRect &clip, std::string_view text, bool underline) = 0;
  // Selected text: its background, and text in a colour of its own (clNone:
  // the font's).
  virtual void FillSelection(const TRect &rect, TColor color) = 0;
  virtual void TextOutColored(int x, int y, const TRect &clip, std::string_view text,
                              TColor color) = 0;
};

// The selection an editor shows: its colours, and its start and length in
// bytes of the text.
struct TextSelection {
  TColor TextColor = clNone;
  TColor Background = clNone;
  int Start = 0;
  int Length = 0;
};

// Text size of a run without line breaks.
TPoint MeasureText(const TextMetrics &metrics, std::string_view text);
// 0-based offset of the first CR or LF, or -1.
int FindLineBreak(std::string_view text);
int NextWordDistance(std::string_view text, int position);
int PrevWordDistance(std::string_view text, int position);
// Bytes that form the first word-wrapped line in width; 0 when text is empty.
int FitLine(const TextMetrics &metrics, std::string_view text, TdgHorzAlignment align, int width);
// Whether a cell of this height has room to wrap at all.
bool WrapFits(const TextMetrics &metrics, int height);
void BuildLineStarts(const TextMetrics &metrics, std::string_view text, int height, int maxLines,
                     TdgIntegerList &lineStarts, bool wordWrap, TdgHorzAlignment align, int width);
// Number of lines and their total height.
TPoint CalcTextHeight(const TextMetrics &metrics, std::string_view text, int width, bool wordWrap,
                      TdgHorzAlignment align);
int TextWidthOf(const TextMetrics &metrics, std::string_view text, bool addOverhang,
                bool ignoreBreaks);
// Top of the first line when the lines are aligned in rect from top.
int FirstLineTop(const TextMetrics &metrics, int top, const TRect &rect,
                 const TdgIntegerList *lineStarts, TdgVertAlignment align);
// underline is the 1-based byte to underline, 0 for none.
void DrawUnderlinedText(TextCanvas &canvas, int x, int underline, std::string_view text, TRect clip,
                        int y);
void DrawCellText(TextCanvas &canvas, std::string_view text, int cellHeight, int underline,
                  bool wordWrap, TdgVertAlignment vert, TdgHorzAlignment horz, int top, int left,
                  const TRect &rect);
// The editor's text with its selection, from the line-start list (null: only
// the background) at firstLine, or scrolled by scrollOffset bytes unwrapped.
void DrawEditText(TextCanvas &canvas, std::string_view text, int height, bool wordWrap,
                  TdgVertAlignment vert, TdgHorzAlignment horz, const TextSelection &selection,
                  const TdgIntegerList *lineStarts, int firstLine, int scrollOffset, int top,
                  int left, const TRect &rect);

// The painter's font, measured once per font; the bytes become characters
// through the code page, or, in a grid of file names, as names show
// (fileNameToQString), so that a byte no UTF-8 holds looks like no letter.
class PainterTextMetrics : public TextMetrics {
public:
  explicit PainterTextMetrics(const QFont &font, bool fileNames = false);
  ~PainterTextMetrics() override;
  int TextHeight() const override { return height_; }
  int AverageCharWidth() const override { return average_; }
  int Width(std::string_view text) const override;
  int Ascent() const { return ascent_; }
  QString shown(std::string_view text) const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool fileNames_ = false;
  int height_ = 0;
  int average_ = 0;
  int ascent_ = 0;
};

class PainterTextCanvas : public TextCanvas {
public:
  PainterTextCanvas(QPainter &painter, const PainterTextMetrics &metrics)
      : painter_(painter), metrics_(metrics) {}
  const TextMetrics &Metrics() const override { return metrics_; }
  void FillRect(const TRect &rect) override;
  void TextOut(int x, int y, const TRect &clip, std::string_view text, bool underline) override;
  void FillSelection(const TRect &rect, TColor color) override;
  void TextOutColored(int x, int y, const TRect &clip, std::string_view text,
                      TColor color) override;

private:
  QPainter &painter_;
  const PainterTextMetrics &metrics_;
};

} // namespace marrowen

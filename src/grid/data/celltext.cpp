#include "grid/data/celltext.h"

#include "classlib/utf8.h"
#include "grid/data/basegridtypes.h"
#include "grid/data/gridutils.h"
#include "grid/data/qtbytes.h"

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace marrowen {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isBreakByte(char c) { return c == '\r' || c == '\n'; }
bool isWordChar(char c) { return !isBlank(c) && !isBreakByte(c) && c != '\0'; }

// Bytes of the line break at i (CR LF and LF CR are one), 0 when none.
int breakLength(std::string_view text, std::size_t i) {
  if (i >= text.size() || !isBreakByte(text[i]))
    return 0;
  if (i + 1 < text.size() && isBreakByte(text[i + 1]) && text[i + 1] != text[i])
    return 2;
  return 1;
}

bool endsWithBreak(std::string_view text) { return !text.empty() && isBreakByte(text.back()); }

// The line without the break that ends it.
std::string_view withoutTrailingBreak(std::string_view line) {
  std::size_t n = line.size();
  if (n > 0 && isBreakByte(line[n - 1])) {
    --n;
    if (n > 0 && isBreakByte(line[n - 1]) && line[n - 1] != line[n])
      --n;
  }
  return line.substr(0, n);
}

int overhangOf(const TextMetrics &m, int width) { return width > 0 ? m.Overhang() : 0; }

// Where a line of the given width starts; a centred line never starts left
// of `left`.
int lineLeft(const TextMetrics &m, int width, TdgHorzAlignment horz, const TRect &rect, int left) {
  if (horz == htaRight)
    return rect.Right - (width + 1) - overhangOf(m, width);
  if (horz == htaCenter) {
    const int centred = rect.Left + (rect.Width() - (width + overhangOf(m, width))) / 2;
    return centred > left ? centred : left;
  }
  return left;
}

// Width of text with each line break measured as one blank, or as nothing.
int measureAcrossBreaks(const TextMetrics &m, std::string_view text, bool breakAsBlank) {
  int width = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size();) {
    const int b = breakLength(text, i);
    if (b == 0) {
      ++i;
      continue;
    }
    width += m.Width(text.substr(start, i - start));
    if (breakAsBlank)
      width += m.Width(" ");
    i += static_cast<std::size_t>(b);
    start = i;
  }
  return width + m.Width(text.substr(start));
}

int widthWithBreaks(const TextMetrics &m, std::string_view text) {
  return measureAcrossBreaks(m, text, true);
}

// How many bytes, from the start or from the end, fill at least width.
int countFilling(const TextMetrics &m, std::string_view text, int width, bool fromEnd, bool all,
                 int &measured) {
  const int len = static_cast<int>(text.size());
  const int avg = std::max(1, m.AverageCharWidth());
  int n = all ? len : std::min(len, std::max(0, width / avg));
  auto part = [&](int k) { return fromEnd ? text.substr(len - k) : text.substr(0, k); };
  measured = widthWithBreaks(m, part(n));
  while (measured < width && n < len) {
    ++n;
    measured = widthWithBreaks(m, part(n));
  }
  measured += overhangOf(m, measured);
  return n;
}

// One run of text with its part of the selection (start relative to the run).
void drawRun(TextCanvas &canvas, std::string_view text, int underline, TextSelection sel, int y,
             int x, const TRect &clip) {
  const TextMetrics &m = canvas.Metrics();
  const int len = static_cast<int>(text.size());
  if (sel.Start < 0) {
    sel.Length += sel.Start;
    sel.Start = 0;
  }
  if (sel.Length <= 0 || sel.Start >= len) {
    DrawUnderlinedText(canvas, x, underline, text, clip, y);
    return;
  }
  sel.Length = std::min(sel.Length, len - sel.Start);
  const std::string_view before = text.substr(0, static_cast<std::size_t>(sel.Start));
  const std::string_view marked =
      text.substr(static_cast<std::size_t>(sel.Start), static_cast<std::size_t>(sel.Length));
  const std::string_view after = text.substr(static_cast<std::size_t>(sel.Start + sel.Length));
  const int beforeWidth = m.Width(before);
  const int markedWidth = m.Width(marked);
  const int selLeft = std::max(x + beforeWidth, clip.Left);
  TRect band{selLeft, clip.Top, std::min(x + beforeWidth + markedWidth, clip.Right),
             std::min(clip.Top + m.TextHeight() + m.ExtraSpacing(), clip.Bottom)};
  if (band.Width() > 0 && band.Height() > 0)
    canvas.FillSelection(band, sel.Background);
  canvas.TextOut(x, y, clip, before, false);
  canvas.TextOutColored(x + beforeWidth, y, clip, marked, sel.TextColor);
  canvas.TextOut(x + beforeWidth + markedWidth, y, clip, after, false);
}

// Draws bytes segment by segment, each line break shown as one blank.
void drawRuns(TextCanvas &canvas, std::string_view text, int underline, TextSelection sel, int x,
              int y, const TRect &clip) {
  const TextMetrics &m = canvas.Metrics();
  std::size_t start = 0;
  while (start < text.size() && x < clip.Right) {
    std::size_t i = start;
    while (i < text.size() && !isBreakByte(text[i]))
      ++i;
    const std::string_view segment = text.substr(start, i - start);
    drawRun(canvas, segment, underline, sel, y, x, clip);
    x += m.Width(segment);
    underline -= static_cast<int>(segment.size());
    sel.Start -= static_cast<int>(segment.size());
    if (i >= text.size())
      break;
    const int b = breakLength(text, i);
    TextSelection blank = sel;
    blank.Length = std::min(sel.Length, sel.Start + b);
    drawRun(canvas, " ", 0, blank, y, x, clip);
    x += m.Width(" ");
    underline -= b;
    sel.Start -= b;
    start = i + static_cast<std::size_t>(b);
  }
}

void drawSingleLine(TextCanvas &canvas, std::string_view text, int underline, TdgVertAlignment vert,
                    TdgHorzAlignment horz, int top, int left, const TRect &rect, int startOffset,
                    TextSelection sel = {}) {
  const TextMetrics &m = canvas.Metrics();
  canvas.FillRect(rect);
  const int th = m.TextHeight();
  int y = top;
  if (vert == vtaBottom)
    y = rect.Bottom - th;
  else if (vert == vtaCenter && rect.Height() > th + 1)
    y = top + (rect.Height() - th) / 2;
  const int room = rect.Right - left;
  int x = left;
  std::string_view shown = text;
  int measured = 0;
  if (horz == htaRight) {
    const int n = countFilling(m, text, room, true, false, measured);
    measured += 1;
    shown = text.substr(text.size() - static_cast<std::size_t>(n));
    underline -= static_cast<int>(text.size()) - n;
    sel.Start -= static_cast<int>(text.size()) - n;
    x = rect.Right - measured;
  } else {
    if (startOffset > 0) {
      shown =
          text.substr(std::min<std::size_t>(text.size(), static_cast<std::size_t>(startOffset)));
      underline -= startOffset;
      sel.Start -= startOffset;
    }
    if (horz == htaCenter) {
      const int n = countFilling(m, shown, room, false, true, measured);
      shown = shown.substr(0, static_cast<std::size_t>(n));
      const int half = (rect.Width() - measured) / 2;
      x = half >= left - rect.Left ? rect.Left + half : left;
    } else {
      const int n = countFilling(m, shown, room, false, false, measured);
      shown = shown.substr(0, static_cast<std::size_t>(n));
    }
  }
  TRect band = rect;
  if (left > rect.Left && left < rect.Right)
    band.Left = left;
  const int spacing = m.LineSpacing();
  if (vert == vtaBottom)
    band.Top = std::max(band.Top, y);
  else if (vert == vtaCenter && y + spacing <= rect.Bottom)
    band = {band.Left, y, band.Right, y + spacing};
  else if (top + spacing <= rect.Bottom)
    band.Bottom = top + spacing;
  drawRuns(canvas, shown, underline, sel, x, y, sel.Length > 0 ? band : rect);
}

} // namespace

TPoint MeasureText(const TextMetrics &metrics, std::string_view text) {
  return {metrics.Width(text), metrics.TextHeight()};
}

int FindLineBreak(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (isBreakByte(text[i]))
      return static_cast<int>(i);
  return -1;
}

int NextWordDistance(std::string_view text, int position) {
  std::size_t i = static_cast<std::size_t>(std::clamp(position, 0, int(text.size())));
  const std::size_t from = i;
  while (i < text.size() && isWordChar(text[i]))
    ++i;
  while (i < text.size() && !isWordChar(text[i]) && text[i] != '\0')
    ++i;
  return static_cast<int>(i - from);
}

int PrevWordDistance(std::string_view text, int position) {
  std::size_t i = static_cast<std::size_t>(std::clamp(position, 0, int(text.size())));
  const std::size_t from = i;
  while (i > 0 && !isWordChar(text[i - 1]))
    --i;
  while (i > 0 && isWordChar(text[i - 1]))
    --i;
  return static_cast<int>(from - i);
}

int FitLine(const TextMetrics &metrics, std::string_view text, TdgHorzAlignment align, int width) {
  if (text.empty())
    return 0;
  std::size_t skipped = 0;
  if (align == htaRight)
    while (skipped < text.size() && isBlank(text[skipped]))
      ++skipped;
  const std::string_view s = text.substr(skipped);
  const int len = static_cast<int>(s.size());
  if (len == 0)
    return static_cast<int>(skipped);
  const int avg = std::max(1, metrics.AverageCharWidth());
  int n = std::min(len, std::max(0, width / avg));
  const int brk = FindLineBreak(s.substr(0, static_cast<std::size_t>(n)));
  if (brk >= 0)
    n = brk;
  auto widthOf = [&](int k) {
    const int w = metrics.Width(s.substr(0, static_cast<std::size_t>(k)));
    return w + std::max(0, metrics.Overhang());
  };
  int w = widthOf(n);
  if (w < width) {
    while (n < len && !isBreakByte(s[n]) && widthOf(n + 1) <= width)
      ++n;
  } else if (w > width) {
    while (n > 0 && widthOf(n) > width)
      --n;
  }
  n = CharStart(s, static_cast<std::size_t>(n));
  if (n < len && n > 0 && !isBlank(s[n]) && !isBreakByte(s[n])) {
    for (int i = n - 1; i >= 0; --i)
      if (isBlank(s[i])) {
        n = i + 1;
        break;
      }
  }
  if (align == htaRight) {
    int last = n;
    while (last > 0 && isBlank(s[last - 1]))
      --last;
    if (last > 0)
      n = last;
  } else {
    while (n < len && isBlank(s[n]))
      ++n;
  }
  n += breakLength(s, static_cast<std::size_t>(n));
  if (n == 0)
    n = static_cast<int>(utf8::characterLength(s));
  return n + static_cast<int>(skipped);
}

bool WrapFits(const TextMetrics &metrics, int height) {
  const int spacing = metrics.LineSpacing();
  return (height - metrics.ExtraSpacing()) - spacing >= spacing / 3;
}

void BuildLineStarts(const TextMetrics &metrics, std::string_view text, int height, int maxLines,
                     TdgIntegerList &lineStarts, bool wordWrap, TdgHorzAlignment align, int width) {
  lineStarts.Clear();
  if (!(wordWrap && WrapFits(metrics, height))) {
    lineStarts.Add(0);
    return;
  }
  std::size_t pos = 0;
  while (pos < text.size() && (maxLines == 0 || lineStarts.Count() < maxLines)) {
    const int n = FitLine(metrics, text.substr(pos), align, width - 1);
    if (n <= 0)
      break;
    lineStarts.Add(static_cast<std::int32_t>(pos));
    pos += static_cast<std::size_t>(n);
  }
  if (lineStarts.Count() == 0)
    lineStarts.Add(0);
  else if (endsWithBreak(text) && pos >= text.size() &&
           (maxLines == 0 || lineStarts.Count() < maxLines))
    lineStarts.Add(static_cast<std::int32_t>(text.size()));
}

TPoint CalcTextHeight(const TextMetrics &metrics, std::string_view text, int width, bool wordWrap,
                      TdgHorzAlignment align) {
  int lines = 1;
  if (wordWrap) {
    lines = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
      const int n = FitLine(metrics, text.substr(pos), align, width - 1);
      if (n <= 0)
        break;
      ++lines;
      pos += static_cast<std::size_t>(n);
    }
    lines = std::max(lines, 1);
    if (endsWithBreak(text))
      ++lines;
  }
  return {lines, lines * metrics.LineSpacing()};
}

int TextWidthOf(const TextMetrics &metrics, std::string_view text, bool addOverhang,
                bool ignoreBreaks) {
  int width = measureAcrossBreaks(metrics, text, !ignoreBreaks);
  if (addOverhang)
    width += metrics.Overhang();
  return std::max(width, 1);
}

int FirstLineTop(const TextMetrics &metrics, int top, const TRect &rect,
                 const TdgIntegerList *lineStarts, TdgVertAlignment align) {
  if (!lineStarts)
    return top;
  const int spacing = metrics.LineSpacing();
  const int lines = lineStarts->Count();
  if (align == vtaBottom) {
    int y = rect.Bottom - metrics.TextHeight();
    for (int counted = 1; y - spacing >= top && counted < lines; ++counted)
      y -= spacing;
    return y;
  }
  if (align == vtaCenter) {
    if (lines * spacing + 1 < rect.Bottom - top)
      return top + (rect.Bottom - top - lines * spacing) / 2;
  }
  return top;
}

void DrawUnderlinedText(TextCanvas &canvas, int x, int underline, std::string_view text, TRect clip,
                        int y) {
  const int len = static_cast<int>(text.size());
  if (underline < 1 || underline > len) {
    canvas.TextOut(x, y, clip, text, false);
    return;
  }
  const TextMetrics &m = canvas.Metrics();
  const std::string_view before = text.substr(0, static_cast<std::size_t>(underline - 1));
  if (!before.empty()) {
    canvas.TextOut(x, y, clip, before, false);
    x += m.Width(before);
  }
  clip.Left = std::max(clip.Left, x);
  if (clip.Right <= clip.Left)
    return;
  const std::string_view marked = text.substr(static_cast<std::size_t>(underline - 1), 1);
  canvas.TextOut(x, y, clip, marked, true);
  if (underline < len) {
    x += m.Width(marked);
    if (x < clip.Right)
      canvas.TextOut(x, y, clip, text.substr(static_cast<std::size_t>(underline)), false);
  }
}

void DrawCellText(TextCanvas &canvas, std::string_view text, int cellHeight, int underline,
                  bool wordWrap, TdgVertAlignment vert, TdgHorzAlignment horz, int top, int left,
                  const TRect &rect) {
  if (rect.Width() <= 0)
    return;
  const TextMetrics &m = canvas.Metrics();
  const int startTop = top + m.ExtraSpacing();
  if (wordWrap && WrapFits(m, cellHeight)) {
    canvas.FillRect(rect);
    TRect area = rect;
    int usable = rect.Right - left;
    if (horz == htaRight) {
      area.Left = left;
      usable -= 1;
    }
    TdgIntegerList starts;
    const bool listed = (vert == vtaBottom || vert == vtaCenter) && !text.empty();
    if (listed)
      BuildLineStarts(m, text, cellHeight, rect.Height() / m.LineSpacing() + 1, starts, true, horz,
                      usable);
    int y = FirstLineTop(m, startTop, rect, listed ? &starts : nullptr, vert);
    std::size_t pos = 0;
    int index = 0;
    int clipTop = rect.Top;
    while (clipTop < rect.Bottom) {
      std::size_t n;
      if (listed) {
        if (index >= starts.Count())
          break;
        pos = static_cast<std::size_t>(starts.Get(index));
        n = index + 1 < starts.Count() ? starts.Get(index + 1) - pos : text.size() - pos;
        ++index;
      } else {
        const int fitted = FitLine(m, text.substr(pos), horz, usable - 1);
        if (fitted <= 0)
          break;
        n = static_cast<std::size_t>(fitted);
      }
      const std::string_view line = withoutTrailingBreak(text.substr(pos, n));
      const int x = lineLeft(m, m.Width(line), horz, rect, left);
      DrawUnderlinedText(canvas, x, underline, line, {area.Left, clipTop, area.Right, rect.Bottom},
                         y);
      underline -= static_cast<int>(n);
      if (!listed)
        pos += n;
      y += m.LineSpacing();
      clipTop = y;
    }
    return;
  }
  if (horz == htaLeft && (vert == vtaTop || vert == vtaDefault) && FindLineBreak(text) < 0) {
    canvas.FillRect(rect);
    DrawUnderlinedText(canvas, left, underline, text, rect, startTop);
    return;
  }
  drawSingleLine(canvas, text, underline, vert, horz == htaDefault ? htaLeft : horz, startTop, left,
                 rect, 0);
}

void DrawEditText(TextCanvas &canvas, std::string_view text, int height, bool wordWrap,
                  TdgVertAlignment vert, TdgHorzAlignment horz, const TextSelection &selection,
                  const TdgIntegerList *lineStarts, int firstLine, int scrollOffset, int top,
                  int left, const TRect &rect) {
  if (rect.Width() <= 0)
    return;
  const TextMetrics &m = canvas.Metrics();
  if (!lineStarts) {
    canvas.FillRect(rect);
    return;
  }
  if (wordWrap && WrapFits(m, height)) {
    TRect area = rect;
    if (horz == htaRight) {
      canvas.FillRect({rect.Left, rect.Top, left, rect.Bottom});
      area.Left = left;
    }
    int y = FirstLineTop(m, top + m.ExtraSpacing(), rect, lineStarts, vert);
    canvas.FillRect(area);
    const int count = lineStarts->Count();
    for (int i = std::max(firstLine, 0); i < count && y < rect.Bottom; ++i) {
      const std::size_t start =
          std::min<std::size_t>(static_cast<std::size_t>(lineStarts->Get(i)), text.size());
      const std::size_t end =
          i + 1 < count
              ? std::min<std::size_t>(static_cast<std::size_t>(lineStarts->Get(i + 1)), text.size())
              : text.size();
      const std::string_view line = withoutTrailingBreak(text.substr(start, end - start));
      const int x = lineLeft(m, m.Width(line), horz, rect, left);
      TextSelection sel = selection;
      sel.Start -= static_cast<int>(start);
      drawRun(canvas, line, 0, sel, y, x,
              {area.Left, y, area.Right, std::min(y + m.LineSpacing(), rect.Bottom)});
      y += m.LineSpacing();
    }
    return;
  }
  if (horz == htaRight || horz == htaDefault) {
    const std::size_t cut =
        std::min<std::size_t>(text.size(), static_cast<std::size_t>(std::max(scrollOffset, 0)));
    drawSingleLine(canvas, text.substr(0, cut), 0, vert, htaRight, top + m.ExtraSpacing(), left,
                   rect, 0, selection);
  } else {
    drawSingleLine(canvas, text, 0, vert, horz, top + m.ExtraSpacing(), left, rect,
                   std::max(scrollOffset, 0), selection);
  }
}

struct PainterTextMetrics::Impl {
  explicit Impl(const QFont &font) : metrics(font) {}
  QFontMetrics metrics;
};

PainterTextMetrics::PainterTextMetrics(const QFont &font, bool fileNames)
    : impl_(std::make_unique<Impl>(font)), fileNames_(fileNames) {
  // A font's ascent need not reach the dots and rings over capitals, nor its
  // descent a cedilla, and letters the font lacks come from a taller one: a
  // line is as high as such letters need.
  static const QString beyondAscii =
      QStringLiteral(u"\u00c5\u00dc\u00c7\u00d1gjpqy\u65e5\u672c\u8a9e");
  const QRectF ink = QFontMetricsF(font).tightBoundingRect(beyondAscii);
  ascent_ = std::max(impl_->metrics.ascent(), static_cast<int>(std::ceil(-ink.top())));
  const int descent = std::max(impl_->metrics.descent(), static_cast<int>(std::ceil(ink.bottom())));
  height_ = ascent_ + descent;
  average_ = impl_->metrics.averageCharWidth();
}

PainterTextMetrics::~PainterTextMetrics() = default;

int PainterTextMetrics::Width(std::string_view text) const {
  if (text.empty())
    return 0;
  return impl_->metrics.horizontalAdvance(shown(text));
}

QString PainterTextMetrics::shown(std::string_view text) const {
  return fileNames_ ? fileNameToQString(text) : bytesToQString(text);
}

void PainterTextCanvas::FillRect(const TRect &rect) {
  if (!IsRectEmpty(rect))
    painter_.fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), painter_.brush());
}

void PainterTextCanvas::TextOut(int x, int y, const TRect &clip, std::string_view text,
                                bool underline) {
  if (text.empty() || IsRectEmpty(clip))
    return;
  painter_.save();
  painter_.setClipRect(QRect(clip.Left, clip.Top, clip.Width(), clip.Height()), Qt::IntersectClip);
  if (underline) {
    QFont font = painter_.font();
    font.setUnderline(true);
    painter_.setFont(font);
  }
  painter_.drawText(x, y + metrics_.Ascent(), metrics_.shown(text));
  painter_.restore();
}

} // namespace marrowen

namespace marrowen {

void PainterTextCanvas::FillSelection(const TRect &rect, TColor color) {
  if (!IsRectEmpty(rect))
    painter_.fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()),
                      colorToQColor(color, QPalette()));
}

void PainterTextCanvas::TextOutColored(int x, int y, const TRect &clip, std::string_view text,
                                       TColor color) {
  if (color == clNone) {
    TextOut(x, y, clip, text, false);
    return;
  }
  const QPen old = painter_.pen();
  painter_.setPen(colorToQColor(color, QPalette()));
  TextOut(x, y, clip, text, false);
  painter_.setPen(old);
}

} // namespace marrowen

#include "grid/data/basegridtypes.h"

#include <QColor>
#include <QPalette>
#include <QRect>

namespace marrowen {

void followMove(std::int32_t &pos, std::int32_t fromIndex, std::int32_t toIndex) {
  if (pos == fromIndex)
    pos = toIndex;
  else if (fromIndex < toIndex && pos > fromIndex && pos <= toIndex)
    --pos;
  else if (toIndex < fromIndex && pos >= toIndex && pos < fromIndex)
    ++pos;
}

QRect toQRect(const TRect &r) { return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top); }

QColor colorToQColor(TColor color, const QPalette &palette) {
  if (color < 0) {
    switch (color & 0xFF) {
    case 5:
      return palette.color(QPalette::Base);
    case 8:
      return palette.color(QPalette::Text);
    case 13:
      return palette.color(QPalette::Highlight);
    case 14:
      return palette.color(QPalette::HighlightedText);
    case 15:
      return palette.color(QPalette::Button);
    case 16:
      return palette.color(QPalette::Dark);
    case 18:
      return palette.color(QPalette::ButtonText);
    case 20:
      return palette.color(QPalette::Light);
    case 21:
      return palette.color(QPalette::Shadow);
    default:
      return palette.color(QPalette::Window);
    }
  }
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TColor colorToRgb(TColor color, const QPalette &palette) {
  const QColor c = colorToQColor(color, palette);
  return static_cast<TColor>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

} // namespace marrowen

#include "grid/data/buttons.h"

#include "grid/data/gridhost.h"

#include <QImage>
#include <QLine>
#include <QPainter>
#include <QPolygon>

#include <array>

namespace marrowen {

namespace {

QImage blankImage(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QImage triangle(int width, int height, std::initializer_list<QPoint> corners) {
  QImage image = blankImage(width, height);
  QPainter p(&image);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawPolygon(QPolygon(QList<QPoint>(corners)));
  return image;
}

QImage strokes(int width, int height, std::initializer_list<QLine> lines) {
  QImage image = blankImage(width, height);
  QPainter p(&image);
  p.setPen(Qt::black);
  for (const QLine &line : lines)
    p.drawLine(line);
  return image;
}

QImage drawGlyph(GridGlyph glyph) {
  switch (glyph) {
  case GridGlyph::DotArrowRight:
    return triangle(6, 9, {{1, 0}, {5, 4}, {1, 8}});
  case GridGlyph::InsertRow:
    return strokes(9, 9, {{4, 0, 4, 8}, {0, 4, 8, 4}, {1, 1, 7, 7}, {1, 7, 7, 1}});
  case GridGlyph::ChangedRow:
    return strokes(8, 11, {{1, 0, 6, 0}, {3, 0, 3, 10}, {4, 0, 4, 10}, {1, 10, 6, 10}});
  case GridGlyph::ArrowCombo:
    return triangle(7, 4, {{0, 0}, {7, 0}, {3, 4}});
  case GridGlyph::ButDetail: {
    QImage image = blankImage(9, 2);
    QPainter p(&image);
    for (int x : {0, 4, 8})
      p.fillRect(x == 8 ? 7 : x, 0, 2, 2, Qt::black);
    return image;
  }
  case GridGlyph::SortUp:
    return triangle(9, 5, {{4, 0}, {9, 5}, {0, 5}});
  case GridGlyph::SortDown:
    return triangle(9, 5, {{0, 0}, {9, 0}, {4, 5}});
  case GridGlyph::SortBullet: {
    QImage image = blankImage(6, 6);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(0, 0, 6, 6);
    return image;
  }
  case GridGlyph::SpinUp:
    return triangle(5, 3, {{2, 0}, {5, 3}, {0, 3}});
  case GridGlyph::SpinDown:
    return triangle(5, 3, {{0, 0}, {5, 0}, {2, 3}});
  case GridGlyph::SpinLeft:
    return triangle(3, 5, {{0, 2}, {3, 0}, {3, 5}});
  case GridGlyph::SpinRight:
    return triangle(3, 5, {{0, 0}, {3, 2}, {0, 5}});
  }
  return {};
}

const QRgb white = qRgb(255, 255, 255);
const QRgb silver = qRgb(0xC0, 0xC0, 0xC0);
const QRgb gray = qRgb(0x80, 0x80, 0x80);
const QRgb dark = qRgb(0x40, 0x40, 0x40);
const QRgb black = qRgb(0, 0, 0);

void sunkenFrame(QPainter &p, int top) {
  const int s = checkGlyphSize;
  p.fillRect(0, top, s, s, QColor(white));
  p.setPen(QColor(gray));
  p.drawLine(0, top, s - 2, top);
  p.drawLine(0, top, 0, top + s - 2);
  p.setPen(QColor(dark));
  p.drawLine(1, top + 1, s - 3, top + 1);
  p.drawLine(1, top + 1, 1, top + s - 3);
  p.setPen(QColor(silver));
  p.drawLine(1, top + s - 2, s - 2, top + s - 2);
  p.drawLine(s - 2, top + 1, s - 2, top + s - 2);
  p.setPen(QColor(white));
  p.drawLine(0, top + s - 1, s - 1, top + s - 1);
  p.drawLine(s - 1, top, s - 1, top + s - 1);
}

void flatFrame(QPainter &p, int top, bool raised) {
  const int s = checkGlyphSize;
  p.fillRect(0, top, s, s, QColor(white));
  p.setPen(QColor(raised ? white : gray));
  p.drawLine(0, top, s - 1, top);
  p.drawLine(0, top, 0, top + s - 1);
  p.setPen(QColor(raised ? gray : white));
  p.drawLine(0, top + s - 1, s - 1, top + s - 1);
  p.drawLine(s - 1, top, s - 1, top + s - 1);
  if (raised) {
    p.setPen(QColor(gray));
    p.drawRect(1, top + 1, s - 3, s - 3);
  }
}

void cross(QPainter &p, int top) {
  p.setPen(QColor(black));
  for (int d = -1; d <= 1; ++d) {
    const int a = std::max(d, 0), b = std::max(-d, 0);
    p.drawLine(3 + b, top + 3 + a, 9 - a, top + 9 - b);
    p.drawLine(12 - (3 + b), top + 3 + a, 12 - (9 - a), top + 9 - b);
  }
}

void hatch(QPainter &p, int top, QRgb colour) {
  p.setPen(QColor(colour));
  for (int y = 2; y <= 10; ++y)
    for (int x = 2; x <= 10; ++x)
      if ((x + y) % 3 == 0)
        p.drawPoint(x, top + y);
}

void checkMark(QPainter &p, int top, QRgb colour) {
  p.setPen(QColor(colour));
  for (int d = 0; d < 3; ++d) {
    p.drawLine(3, top + 5 + d, 5, top + 7 + d);
    p.drawLine(5, top + 7 + d, 9, top + 3 + d);
  }
}

QImage buildStrip() {
  QImage strip(checkGlyphSize, 18 * checkGlyphSize, QImage::Format_RGB32);
  strip.fill(QColor(white));
  {
    QPainter p(&strip);
    auto top = [](int i) { return i * checkGlyphSize; };
    for (int b : {0, 3}) {
      for (int k = 0; k < 3; ++k)
        sunkenFrame(p, top(b + k));
    }
    cross(p, top(0));
    hatch(p, top(2), black);
    checkMark(p, top(3), black);
    hatch(p, top(5), silver);
    checkMark(p, top(5), gray);
    flatFrame(p, top(6), true);
    cross(p, top(6));
    flatFrame(p, top(7), false);
    flatFrame(p, top(8), false);
    hatch(p, top(8), black);
  }
  for (int i = 0; i < 9; ++i) {
    for (int y = 0; y < checkGlyphSize; ++y) {
      for (int x = 0; x < checkGlyphSize; ++x) {
        const QRgb c = strip.pixel(x, i * checkGlyphSize + y);
        strip.setPixel(x, (i + 9) * checkGlyphSize + y, c == white ? silver : c);
      }
    }
  }
  QPainter p(&strip);
  for (int i = 15; i < 18; ++i) {
    // Pressed flat glyphs keep a raised frame.
    p.setPen(QColor(white));
    p.drawLine(0, i * checkGlyphSize, checkGlyphSize - 1, i * checkGlyphSize);
    p.drawLine(0, i * checkGlyphSize, 0, i * checkGlyphSize + checkGlyphSize - 1);
    p.setPen(QColor(gray));
    p.drawLine(0, (i + 1) * checkGlyphSize - 1, checkGlyphSize - 1, (i + 1) * checkGlyphSize - 1);
    p.drawLine(checkGlyphSize - 1, i * checkGlyphSize, checkGlyphSize - 1,
               (i + 1) * checkGlyphSize - 1);
  }
  return strip;
}

} // namespace

const Picture &GridBitmap(GridGlyph glyph) {
  static const auto pictures = [] {
    std::array<Picture, 12> all;
    for (int i = 0; i < 12; ++i)
      all[i] = std::make_shared<QImage>(drawGlyph(static_cast<GridGlyph>(i)));
    return all;
  }();
  return pictures[static_cast<int>(glyph)];
}

const QImage &CheckerboardBitmap() {
  static const QImage board = [] {
    QImage image(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        image.setPixel(x, y, (x + y) % 2 ? white : black);
    return image;
  }();
  return board;
}

const QImage &CheckGlyphStrip() {
  static const QImage strip = buildStrip();
  return strip;
}

int CheckStyleBase(TdgCheckBoxStyle style) {
  switch (style) {
  case stFlat:
    return 6;
  case stCheck:
    return 3;
  case stCross:
    return 0;
  }
  return 3;
}

TRect GetGlyphRect(TdgCheckBoxStyle style, int state, bool pressed) {
  // The strip holds checked, unchecked, grayed; states count unchecked first.
  static constexpr int order[3] = {1, 0, 2};
  const int glyph =
      CheckStyleBase(style) + order[state >= 0 && state <= 2 ? state : 0] + (pressed ? 9 : 0);
  return {0, glyph * checkGlyphSize, checkGlyphSize, (glyph + 1) * checkGlyphSize};
}

TdgCustomButton::TdgCustomButton(const TdgGridHost *grid, int height, int width,
                                 TColor transparentColor, Picture picture)
    : grid_(grid), picture_(std::move(picture)), height_(height), width_(width),
      transparentColor_(transparentColor) {}

int TdgCustomButton::GetTotalWidth() const {
  return width_ + 2 * (grid_ ? grid_->buttonFrameWidth() : 0);
}

int TdgCustomButton::GetTotalHeight() const {
  return height_ + 2 * (grid_ ? grid_->buttonFrameWidth() : 0);
}

void TdgCustomButton::Assign(const TdgCustomButton &source) {
  height_ = source.GetHeight();
  width_ = source.GetWidth();
  transparentColor_ = source.GetTransparentColor();
  SetPicture(source.GetPicture());
}

TdgPictureButton::TdgPictureButton(const TdgGridHost *grid, int height, int width,
                                   TColor transparentColor, Picture picture, GridGlyph defaultGlyph)
    : TdgCustomButton(grid, height, width, transparentColor, nullptr), defaultGlyph_(defaultGlyph) {
  TdgPictureButton::SetPicture(std::move(picture));
}

Picture TdgPictureButton::GetPicture() const {
  return picture_ ? picture_ : GridBitmap(defaultGlyph_);
}

void TdgPictureButton::SetPicture(Picture picture) {
  if (!picture || picture == GridBitmap(GridGlyph::ArrowCombo) ||
      picture == GridBitmap(GridGlyph::ButDetail)) {
    if (picture)
      defaultGlyph_ = picture == GridBitmap(GridGlyph::ArrowCombo) ? GridGlyph::ArrowCombo
                                                                   : GridGlyph::ButDetail;
    picture_.reset();
  } else {
    picture_ = std::make_shared<QImage>(*picture);
  }
}

bool TdgPictureButton::IsDefaultPicture() const { return !picture_; }

TdgComboButton::TdgComboButton(const TdgGridHost *grid, int height, int width,
                               TColor transparentColor, Picture picture)
    : TdgPictureButton(grid, height, width, transparentColor, std::move(picture),
                       GridGlyph::ArrowCombo) {}

std::unique_ptr<TdgCustomButton> TdgComboButton::Clone() const {
  return std::make_unique<TdgComboButton>(grid_, height_, width_, transparentColor_, GetPicture());
}

TdgNormalButton::TdgNormalButton(const TdgGridHost *grid, int height, int width,
                                 TColor transparentColor, Picture picture)
    : TdgPictureButton(grid, height, width, transparentColor, std::move(picture),
                       GridGlyph::ButDetail) {}

std::unique_ptr<TdgCustomButton> TdgNormalButton::Clone() const {
  return std::make_unique<TdgNormalButton>(grid_, height_, width_, transparentColor_, GetPicture());
}

std::unique_ptr<TdgCustomButton> TdgVertSpinButton::Clone() const {
  return std::make_unique<TdgVertSpinButton>(grid_, height_, width_, transparentColor_, picture_);
}

std::unique_ptr<TdgCustomButton> TdgHorzSpinButton::Clone() const {
  return std::make_unique<TdgHorzSpinButton>(grid_, height_, width_, transparentColor_, picture_);
}

TdgDateTimeButton::TdgDateTimeButton(const TdgGridHost *grid, int height, int width,
                                     TColor transparentColor, Picture picture, bool detail)
    : TdgPictureButton(grid, height, width, transparentColor, std::move(picture),
                       detail ? GridGlyph::ButDetail : GridGlyph::ArrowCombo),
      detail_(detail) {}

bool TdgDateTimeButton::IsDefaultPicture() const { return !picture_; }

std::unique_ptr<TdgCustomButton> TdgDateTimeButton::Clone() const {
  return std::make_unique<TdgDateTimeButton>(grid_, height_, width_, transparentColor_,
                                             GetPicture(), detail_);
}

void TdgSelectionPattern::Update(TColor rgb) {
  if (!bitmap_ || rgb != rgb_)
    Build(rgb);
}

void TdgSelectionPattern::Build(TColor rgb) {
  auto image = std::make_shared<QImage>(8, 8, QImage::Format_RGB32);
  const QRgb colour = qRgb(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      image->setPixel(x, y, (x + y) % 2 ? qRgb(0, 0, 0) : colour);
  bitmap_ = std::move(image);
  rgb_ = rgb;
}

} // namespace marrowen

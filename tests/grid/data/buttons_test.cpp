#include "grid/data/buttons.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace marrowen;

TEST(CellButtons, SpinSizes) {
  // Two faces and the pixel between them, along the spin's direction.
  TdgVertSpinButton vert(nullptr, 9, 11, clNone, nullptr);
  EXPECT_EQ(vert.GetTotalHeight(), 19);
  EXPECT_EQ(vert.GetTotalWidth(), 11);
  TdgHorzSpinButton horz(nullptr, 11, 9, clNone, nullptr);
  EXPECT_EQ(horz.GetTotalWidth(), 19);
  EXPECT_EQ(horz.GetTotalHeight(), 11);
}

TEST(CellButtons, SharedPictureIsNotCopied) {
  TdgComboButton shared(nullptr, 9, 11, clNone, GridBitmap(GridGlyph::ArrowCombo));
  EXPECT_TRUE(shared.IsDefaultPicture());
  EXPECT_EQ(shared.GetPicture(), GridBitmap(GridGlyph::ArrowCombo));

  auto own = std::make_shared<QImage>(4, 4, QImage::Format_RGB32);
  own->fill(Qt::red);
  TdgNormalButton mine(nullptr, 9, 11, clNone, own);
  EXPECT_FALSE(mine.IsDefaultPicture());
  EXPECT_NE(mine.GetPicture(), own);   // a private copy...
  EXPECT_EQ(*mine.GetPicture(), *own); // ...of the same picture
  own->fill(Qt::blue);
  EXPECT_EQ(mine.GetPicture()->pixel(0, 0), QColor(Qt::red).rgb());

  TdgDateTimeButton popup(nullptr, 9, 11, clNone, nullptr, true);
  EXPECT_EQ(popup.GetPicture(), GridBitmap(GridGlyph::ButDetail));
  EXPECT_TRUE(popup.IsDefaultPicture());
  auto copy = mine.Clone();
  EXPECT_FALSE(copy->IsDefaultPicture());
}

TEST(CellButtons, SelectionPattern) {
  TdgSelectionPattern pattern;
  pattern.Update(0x0000FF); // red as the grid stores it
  ASSERT_NE(pattern.Bitmap(), nullptr);
  const QImage &image = *pattern.Bitmap();
  EXPECT_EQ(image.size(), QSize(8, 8));
  EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(0, 1), qRgb(0, 0, 0));
  const QImage *built = pattern.Bitmap();
  pattern.Update(0x0000FF);
  EXPECT_EQ(pattern.Bitmap(), built); // same colour, not rebuilt
}

TEST(CellButtons, CheckGlyphsDiffer) {
  const QImage &strip = CheckGlyphStrip();
  EXPECT_EQ(strip.size(), QSize(13, 234));
  for (TdgCheckBoxStyle style : {stFlat, stCheck, stCross}) {
    QImage glyphs[6];
    for (int i = 0; i < 6; ++i) {
      const TRect r = GetGlyphRect(style, i % 3, i >= 3);
      glyphs[i] = strip.copy(r.Left, r.Top, r.Width(), r.Height());
    }
    for (int i = 0; i < 6; ++i)
      for (int j = i + 1; j < 6; ++j)
        EXPECT_NE(glyphs[i], glyphs[j]) << int(style) << ' ' << i << ' ' << j;
  }
  // The unchecked glyph's centre is the white box; pressed it is silver.
  EXPECT_EQ(strip.pixel(6, GetGlyphRect(stCheck, 0, false).Top + 6), qRgb(255, 255, 255));
  EXPECT_EQ(strip.pixel(6, GetGlyphRect(stCheck, 0, true).Top + 6), qRgb(0xC0, 0xC0, 0xC0));
}

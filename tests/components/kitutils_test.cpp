#include "components/kitutils.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

using namespace marrowen;

TEST(KitUtils, FitRectToScreenMovesWithoutResizing) {
  const QRect screen(0, 0, 1024, 768);
  struct Case {
    QRect in, out;
  } cases[] = {
      {{100, 100, 200, 100}, {100, 100, 200, 100}},  // already on screen
      {{900, 700, 200, 100}, {824, 668, 200, 100}},  // past the right and bottom
      {{-50, -20, 200, 100}, {0, 0, 200, 100}},      // past the left and top
      {{1500, 900, 1920, 1080}, {0, 0, 1920, 1080}}, // from a larger screen
  };
  for (const Case &c : cases) {
    QRect r = c.in;
    FitRectToScreen(r, screen);
    EXPECT_EQ(r, c.out) << c.in.x() << "," << c.in.y();
  }
}

TEST(KitUtils, CentreWindowOnScreenKeepsTheSize) {
  QWidget window;
  window.resize(200, 100);
  CentreWindowOnScreen(&window);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window.size(), QSize(200, 100));
  EXPECT_EQ(window.frameGeometry().center(), screen.center());
}

TEST(KitUtils, CommandTokensFollowTheCommandLineRules) {
  EXPECT_EQ(CountCommandTokens(""), 0);
  EXPECT_EQ(CountCommandTokens("  \t "), 0);
  EXPECT_EQ(CountCommandTokens("one \"\" two"), 2);
  EXPECT_EQ(CommandToken("one \"\" two", 1), "two");
  EXPECT_EQ(CommandToken("one two", 2), "");
  EXPECT_EQ(CommandToken("a\"b c\"d e", 0), "ab cd");
  EXPECT_EQ(CommandToken("\"unclosed quote", 0), "unclosed quote");

  QString program, params;
  SplitCommandText("\"/opt/My Tools/edit\" -n \"two words\" last", program, params);
  EXPECT_EQ(program, "/opt/My Tools/edit");
  EXPECT_EQ(params, "-n \"two words\" last");
  SplitCommandText("   ", program, params);
  EXPECT_EQ(program, "");
  EXPECT_EQ(params, "");

  // A long path must not be cut, or the program's name would be another file.
  const QString longPath = "/" + QString(300, 'x');
  SplitCommandText("\"" + longPath + "\" arg", program, params);
  EXPECT_EQ(program, longPath);
  EXPECT_EQ(CountCommandTokens(longPath + " " + longPath), 2);
}

TEST(KitUtils, WordsAndDelimitedPieces) {
  const QString delims = " ,";
  EXPECT_EQ(NthWordStart(2, "one,, two", delims), 7);
  EXPECT_EQ(NthWord(2, "one,, two", delims), "two");
  EXPECT_EQ(NthWord(1, ", ,one", delims), "one");
  EXPECT_EQ(NthWord(3, "one two", delims), "");
  EXPECT_EQ(NthWordStart(0, "one", delims), 0);

  int pos = 1;
  const QString text = "a,,bc";
  EXPECT_EQ(NextDelimitedPiece(text, pos, u","), "a");
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(NextDelimitedPiece(text, pos, u","), "");
  EXPECT_EQ(NextDelimitedPiece(text, pos, u","), "bc");
  EXPECT_EQ(pos, 6);
  EXPECT_EQ(NextDelimitedPiece(text, pos, u","), "");
}

TEST(KitUtils, FitTextWithEllipsis) {
  QFont font;
  font.setPixelSize(12);
  const QFontMetrics metrics(font);
  const QString text = "A rather long line of text";
  EXPECT_EQ(FitTextWithEllipsis(text, metrics, metrics.horizontalAdvance(text)), text);
  const QString cut = FitTextWithEllipsis(text, metrics, metrics.horizontalAdvance(text) / 2);
  EXPECT_TRUE(cut.endsWith("...")) << cut.toStdString();
  EXPECT_TRUE(text.startsWith(cut.chopped(3)));
  EXPECT_LE(metrics.horizontalAdvance(cut), metrics.horizontalAdvance(text) / 2);
  // Narrower than "..." itself: the loop still ends.
  EXPECT_EQ(FitTextWithEllipsis(text, metrics, 1), "...");
  EXPECT_EQ(FitTextWithEllipsis("", metrics, 0), "");
}

TEST(KitUtils, EmbossedImageKeepsOnlyTheDarkShape) {
  QImage glyph(4, 1, QImage::Format_ARGB32);
  glyph.setPixel(0, 0, qRgb(0, 0, 0));       // outline
  glyph.setPixel(1, 0, qRgb(40, 40, 90));    // dark: part of the shape
  glyph.setPixel(2, 0, qRgb(250, 250, 200)); // light: falls away
  glyph.setPixel(3, 0, qRgba(0, 0, 0, 0));   // transparent
  const QImage out =
      MakeEmbossedBitmapEx(glyph, Qt::black, Qt::gray, false, Qt::darkGray, Qt::white);
  EXPECT_EQ(out.pixel(0, 0), QColor(Qt::darkGray).rgb());
  EXPECT_EQ(out.pixel(1, 0), QColor(Qt::darkGray).rgb());
  EXPECT_EQ(out.pixel(2, 0), QColor(Qt::gray).rgb());
  EXPECT_EQ(out.pixel(3, 0), QColor(Qt::gray).rgb());

  // The highlight copy shows one pixel down and to the right, under the shadow.
  QImage canvas(3, 3, QImage::Format_ARGB32);
  canvas.fill(Qt::blue);
  QImage dot(1, 1, QImage::Format_ARGB32);
  dot.fill(Qt::red);
  {
    QPainter painter(&canvas);
    DrawImageEmbossed(painter, dot, 0, 0, true, Qt::darkGray, Qt::white);
  }
  EXPECT_EQ(canvas.pixel(0, 0), QColor(Qt::darkGray).rgb());
  EXPECT_EQ(canvas.pixel(1, 1), QColor(Qt::white).rgb());
  EXPECT_EQ(canvas.pixel(2, 2), QColor(Qt::blue).rgb());
}

TEST(KitUtils, KitCursorsAreLoadedIntoTheirSlots) {
  EXPECT_FALSE(screenCursor(crHand).pixmap().isNull());
  EXPECT_FALSE(screenCursor(crDragHand).pixmap().isNull());
  EXPECT_EQ(screenCursor(99).shape(), Qt::ArrowCursor);
}

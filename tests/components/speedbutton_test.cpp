#include "components/speedbutton.h"

#include <QAction>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

using namespace marrowen;

namespace {

// `frames` frames of one flat colour each above a magenta bottom row,
// which makes magenta the transparent colour.
QImage strip(int width, int height, std::initializer_list<QColor> frames) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(QColor(255, 0, 255));
  const int frameWidth = width / int(frames.size());
  int x = 0;
  for (const QColor &colour : frames) {
    for (int y = 0; y < height - 1; ++y)
      for (int i = 0; i < frameWidth; ++i)
        image.setPixel(x + i, y, colour.rgb());
    x += frameWidth;
  }
  return image;
}

bool holds(const QPixmap &picture, QColor colour) {
  const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == colour.rgb())
        return true;
  return false;
}

} // namespace

TEST(KitButtonGlyph, FrameCountFollowsTheGlyphsShape) {
  TKitButtonGlyph glyph;
  glyph.SetGlyph(QImage(14, 12, QImage::Format_ARGB32));
  EXPECT_EQ(glyph.NumGlyphs(), 1);
  glyph.SetGlyph(QImage(48, 16, QImage::Format_ARGB32));
  EXPECT_EQ(glyph.NumGlyphs(), 3);
  EXPECT_EQ(glyph.glyphSize(), QSize(16, 16));
  glyph.SetGlyph(QImage(96, 16, QImage::Format_ARGB32));
  EXPECT_EQ(glyph.NumGlyphs(), 1);
  glyph.SetNumGlyphs(7);
  EXPECT_EQ(glyph.NumGlyphs(), 5);
}

TEST(KitButtonGlyph, DisabledIsEmbossedOrTheSecondFrameAndInactiveIsGrey) {
  const QPalette palette = QGuiApplication::palette();
  TKitButtonGlyph glyph;
  glyph.SetGlyph(strip(10, 10, {Qt::red}));
  const QPixmap disabled = glyph.image(TKitButtonGlyph::bsDisabled, palette);
  EXPECT_FALSE(holds(disabled, Qt::red));
  EXPECT_TRUE(holds(disabled, palette.color(QPalette::Dark)));
  const QPixmap inactive = glyph.image(TKitButtonGlyph::bsInactive, palette);
  const int grey = (255 * 77) >> 8;
  EXPECT_TRUE(holds(inactive, QColor(grey, grey, grey)));

  glyph.SetGlyph(strip(20, 10, {Qt::red, Qt::green}));
  EXPECT_TRUE(holds(glyph.image(TKitButtonGlyph::bsDisabled, palette), Qt::green));
  EXPECT_TRUE(holds(glyph.image(TKitButtonGlyph::bsDown, palette), Qt::red));
}

TEST(KitSpeedButton, AGroupKeepsOneButtonDown) {
  QWidget parent;
  TKitSpeedButton a(&parent), b(&parent), loose(&parent);
  for (TKitSpeedButton *button : {&a, &b})
    button->SetGroupIndex(1);
  parent.show();
  QTest::mouseClick(&a, Qt::LeftButton);
  EXPECT_TRUE(a.Down());
  QTest::mouseClick(&b, Qt::LeftButton);
  EXPECT_TRUE(b.Down());
  EXPECT_FALSE(a.Down());
  QTest::mouseClick(&b, Qt::LeftButton); // AllowAllUp is off
  EXPECT_TRUE(b.Down());
  a.SetAllowAllUp(true);
  QTest::mouseClick(&b, Qt::LeftButton);
  EXPECT_FALSE(b.Down());
  loose.SetDown(true);
  EXPECT_FALSE(loose.Down());
}

TEST(KitSpeedButton, HeldButtonRepeatsAfterThePauseAtTheInterval) {
  TKitSpeedButton button;
  button.show();
  button.SetAllowTimer(true);
  button.SetInitPause(150);
  button.SetRepeatInterval(30);
  QElapsedTimer clock;
  std::vector<qint64> clicks;
  button.OnClick = [&] { clicks.push_back(clock.elapsed()); };
  clock.start();
  QTest::mousePress(&button, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return clicks.size() >= 3; }, 5000));
  const size_t held = clicks.size();
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_GE(clicks[0], 150);
  for (size_t i = 1; i < held; ++i)
    EXPECT_GE(clicks[i] - clicks[i - 1], 29);
  QTest::qWait(100);
  EXPECT_EQ(clicks.size(), held + 1); // the release itself is the last click
}

TEST(KitSpeedButton, TheClickThatClosesTheMenuDoesNotPressTheButton) {
  TKitSpeedButton button;
  QMenu menu;
  menu.addAction("item");
  button.SetDropDownMenu(&menu);
  button.show();
  int clicks = 0;
  button.OnClick = [&] { ++clicks; };
  QTest::mousePress(&button, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }));
  menu.hide();
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(button.state(), TKitButtonGlyph::bsUp);

  menu.setProperty("AutoPopup", false);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_FALSE(menu.isVisible());
  EXPECT_EQ(clicks, 1);
}

TEST(KitSpeedButton, ContentIsPlacedByMarginAndSpacing) {
  const QRect client(2, 2, 40, 20);
  // A glyph alone is centred both ways.
  ButtonContentPlacement placed =
      placeButtonContent(client, QSize(10, 8), QSize(), blGlyphTop, -1, 1);
  EXPECT_EQ(placed.glyph, QPoint(2 + 15, 2 + 6));
  // Margin and spacing both -1 share the free room in three.
  placed = placeButtonContent(client, QSize(10, 8), QSize(12, 6), blGlyphLeft, -1, -1);
  EXPECT_EQ(placed.glyph.x(), 2 + 6);
  EXPECT_EQ(placed.caption.x(), 2 + 6 + 10 + 6);
  placed = placeButtonContent(client, QSize(10, 8), QSize(12, 6), blGlyphRight, 3, 2);
  EXPECT_EQ(placed.glyph.x(), 2 + 40 - 3 - 10);
  EXPECT_EQ(placed.caption.x(), 2 + 40 - 3 - 10 - 2 - 12);
  TKitSpeedButton button;
  button.SetMargin(-5);
  EXPECT_EQ(button.Margin(), -1);
}

TEST(KitSpeedButton, ALinkedActionLendsItsStateAndIsTriggeredByAClick) {
  QWidget parent;
  TKitSpeedButton button(&parent);
  button.SetGroupIndex(2);
  button.SetAllowAllUp(true);
  QAction action("&Run");
  action.setCheckable(true);
  action.setChecked(true);
  QPixmap icon(16, 16);
  icon.fill(Qt::blue);
  action.setIcon(QIcon(icon));
  int triggered = 0;
  QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
  button.SetAction(&action);
  EXPECT_EQ(button.Caption(), "&Run");
  EXPECT_TRUE(button.Down());
  EXPECT_EQ(button.Glyph().size(), QSize(16, 16));
  action.setEnabled(false);
  EXPECT_FALSE(button.isEnabled());
  action.setEnabled(true);
  action.setChecked(false);
  EXPECT_FALSE(button.Down());
  button.Click();
  EXPECT_EQ(triggered, 1);
}

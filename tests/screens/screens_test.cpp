#include "screens.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace marrowen;

// A rendering in one flat colour means the widget drew nothing: a missing
// font, an unpolished style, or a window grabbed before it was laid out.
TEST(Screens, EveryScreenDrawsSomething) {
  for (const Screen &screen : allScreens()) {
    SCOPED_TRACE(screen.name.toStdString());
    const QImage image = screen.render();
    ASSERT_FALSE(image.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < image.height() && colours.size() < 3; ++y)
      for (int x = 0; x < image.width(); ++x)
        colours.insert(image.pixel(x, y));
    EXPECT_GE(colours.size(), 3) << "blank rendering";
  }
}

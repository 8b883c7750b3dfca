#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Widgets need an application object before the first one is made. Test
// discovery at build time runs without a display, so the tests then draw
// offscreen; the variable must be set before QApplication reads it.
int main(int argc, char **argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Windows are tested without a display.
int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

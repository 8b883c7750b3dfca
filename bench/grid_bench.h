#pragma once

#include <QApplication>

#include <cstdlib>

namespace marrowen {

// The grid benchmarks' one application object, made offscreen by whichever
// benchmark first needs windows.
inline void ensureApplication() {
  if (QApplication::instance())
    return;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "grid_bench";
  static char *argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

} // namespace marrowen

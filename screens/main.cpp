#include "screens.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

// screenshots OUTDIR: writes every screen of the program to OUTDIR/<name>.png.
int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: screenshots OUTDIR\n");
    return 2;
  }
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.mkpath(".")) {
    std::fprintf(stderr, "screenshots: cannot create %s\n", argv[1]);
    return 1;
  }
  int failures = 0;
  for (const marrowen::Screen &screen : marrowen::allScreens()) {
    const QString file = out.filePath(screen.name + ".png");
    if (!screen.render().save(file, "PNG")) {
      std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(file));
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

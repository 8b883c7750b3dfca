// Renders the program's windows, the grid and the kit's controls, each in its
// usual states, and the kit's folder pickers to PNG files, so a person can
// look at them: tools/screenshots FOLDER.
#include "gridsupport/screenshots.h"
#include "gridsupport/datagridscenes.h"
#include "gridsupport/dropdownscenes.h"
#include "gridsupport/editingscenes.h"
#include "screens.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: screenshots FOLDER\n");
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(".")) {
    std::fprintf(stderr, "screenshots: cannot create %s\n", argv[1]);
    return 1;
  }
  for (const std::string &file : marrowen::renderGridScreenshots(argv[1]))
    std::printf("%s\n", file.c_str());
  for (const std::string &file : marrowen::renderDataGridScreenshots(argv[1]))
    std::printf("%s\n", file.c_str());
  for (const std::string &file : marrowen::renderDropDownScreenshots(argv[1]))
    std::printf("%s\n", file.c_str());
  for (const std::string &file : marrowen::renderEditingScreenshots(argv[1]))
    std::printf("%s\n", file.c_str());
  int failures = 0;
  for (const marrowen::Screen &screen : marrowen::allScreens()) {
    const QString file = folder.filePath(screen.name + ".png");
    if (screen.render().save(file, "PNG")) {
      std::printf("%s\n", qPrintable(file));
    } else {
      std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(file));
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

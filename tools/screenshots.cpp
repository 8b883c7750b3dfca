// Renders the windows that can be shown without the application to PNG
// files, so a person can look at them: tools/screenshots FOLDER.
#include "gridsupport/screenshots.h"
#include "gridsupport/datagridscenes.h"

#include <QApplication>

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
  for (const std::string &file : marrowen::renderGridScreenshots(argv[1]))
    std::printf("%s\n", file.c_str());
  for (const std::string &file : marrowen::renderDataGridScreenshots(argv[1]))
    std::printf("%s\n", file.c_str());
  return 0;
}

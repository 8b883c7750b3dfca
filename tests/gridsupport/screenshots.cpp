#include "gridsupport/screenshots.h"

#include "grid/basegrid/inplaceedit.h"
#include "gridsupport/testgrid.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QSet>

#include <functional>

namespace marrowen {

std::vector<std::string> renderGridScreenshots(const std::string &folder) {
  QDir().mkpath(QString::fromStdString(folder));
  std::vector<std::string> files;
  auto shoot = [&](const char *name, const std::function<void(TestGrid &)> &setUp) {
    TestGrid grid;
    grid.SetColCount(8);
    grid.SetRowCount(30);
    showGrid(grid, 400, 240);
    setUp(grid);
    QApplication::processEvents();
    const std::string path = folder + "/" + name + ".png";
    grid.grab().save(QString::fromStdString(path));
    files.push_back(path);
  };
  shoot("basegrid-fixed", [](TestGrid &grid) {
    grid.SetFixedCols(2);
    grid.SetColWidths(3, 100);
    grid.SetRowHeights(2, 40);
  });
  shoot("basegrid-selection", [](TestGrid &grid) {
    grid.MoveCurrent(2, 2, true, true);
    grid.MoveRangeEnd(TGridCoord{4, 5});
  });
  shoot("basegrid-editor", [](TestGrid &grid) {
    grid.SetOptions(grid.Options().with(goEditing));
    grid.texts[{2, 3}] = "edited text";
    grid.MoveCurrent(2, 3, true, true);
    grid.ShowEditor();
  });
  shoot("basegrid-sizing", [](TestGrid &grid) {
    grid.SetOptions(grid.Options().with(goColSizing));
    const TRect cell = grid.CellRect(2, 0);
    grid.MouseDown(mbLeft, TShiftState(ssLeft), cell.Right - 1, cell.Top + 5);
    grid.MouseMove(TShiftState(ssLeft), cell.Right + 30, cell.Top + 5);
  });
  return files;
}

std::vector<std::string> blankPictures(const std::vector<std::string> &files) {
  std::vector<std::string> blank;
  for (const std::string &file : files) {
    const QImage image(QString::fromStdString(file));
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
      for (int x = 0; x < image.width(); x += 3)
        colours.insert(image.pixel(x, y));
    if (image.isNull() || colours.size() <= 3)
      blank.push_back(file);
  }
  return blank;
}

} // namespace marrowen

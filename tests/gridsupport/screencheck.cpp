#include "gridsupport/screencheck.h"

#include "grid/data/font.h"
#include "grid/data/qtbytes.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace marrowen {

QImage shownOnScreen(QWidget &widget) {
  QApplication::processEvents();
  QWidget *window = widget.window();
  const QPoint at = widget.mapTo(window, QPoint());
  QScreen *screen =
      window->windowHandle() ? window->windowHandle()->screen() : QGuiApplication::primaryScreen();
  return screen->grabWindow(window->winId(), at.x(), at.y(), widget.width(), widget.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

QImage paintedInFull(QWidget &widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::string pictureDifference(const QImage &shown, const QImage &expected) {
  if (shown.size() != expected.size())
    return "sizes differ";
  int count = 0;
  QPoint first;
  QRect area;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if (shown.pixel(x, y) != expected.pixel(x, y)) {
        if (count++ == 0)
          first = QPoint(x, y);
        area |= QRect(x, y, 1, 1);
      }
  if (count == 0)
    return {};
  auto colour = [](QRgb c) { return QString::number(c & 0xFFFFFF, 16).toStdString(); };
  return std::to_string(count) + " pixels differ within (" + std::to_string(area.left()) + "," +
         std::to_string(area.top()) + ")-(" + std::to_string(area.right()) + "," +
         std::to_string(area.bottom()) + "), the first at (" + std::to_string(first.x()) + "," +
         std::to_string(first.y()) + "): shown " + colour(shown.pixel(first)) + ", expected " +
         colour(expected.pixel(first));
}

namespace {

// The rows of `image` that hold ink: pixels far from the colour in the
// middle of its left edge. A row inked nearly across is a frame's line.
std::pair<int, int> inkRows(const QImage &image) {
  const int background = qGray(image.pixel(0, image.height() / 2));
  int first = -1, last = -1;
  for (int y = 0; y < image.height(); ++y) {
    int ink = 0;
    for (int x = 0; x < image.width(); ++x)
      ink += std::abs(qGray(image.pixel(x, y)) - background) > 96 ? 1 : 0;
    if (ink > 0 && ink < image.width() * 4 / 5) {
      if (first < 0)
        first = y;
      last = y;
    }
  }
  return {first, last};
}

} // namespace

std::string cellTextCut(TdgBaseGrid &grid, int dataCol, int dataRow) {
  const bool heading = dataRow == 0;
  QLabel label(bytesToQString(heading ? grid.GetCol(Variant(dataCol))->Heading()
                                      : grid.GetCell(dataCol, dataRow).toString()));
  label.setFont(toQFont(heading ? grid.HeadingFont() : grid.Font()));
  label.setContentsMargins(4, 4, 4, 4);
  label.adjustSize();
  const auto [labelTop, labelBottom] = inkRows(label.grab().toImage());
  QApplication::processEvents();
  const TRect cell =
      grid.GetCellRect(grid.DisplayColOf(dataCol), heading ? 0 : grid.GetDisplayRowOf(dataRow));
  // The cell within its grid lines, as wide as its text and no wider: not
  // its button.
  const int textWidth = label.fontMetrics().horizontalAdvance(label.text()) + 4;
  const QRect area(cell.Left + 2, cell.Top, std::min(cell.Right - cell.Left - 4, textWidth),
                   cell.Bottom - cell.Top - grid.HorzLineWidth());
  const auto [cellTop, cellBottom] = inkRows(grid.viewport()->grab(area).toImage());
  if (labelBottom - labelTop == cellBottom - cellTop && labelTop >= 0)
    return {};
  return "ink " + std::to_string(cellBottom - cellTop + 1) + " pixels high in the cell, " +
         std::to_string(labelBottom - labelTop + 1) + " in a label";
}

std::string screenDiffersFromFullPaint(QWidget &widget) {
  std::string difference;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const QImage shown = shownOnScreen(widget);
    if (shown.isNull())
      return {};
    difference = pictureDifference(shown, paintedInFull(widget));
    if (difference.empty())
      break;
  }
  return difference;
}

} // namespace marrowen

#include "gridsupport/screencheck.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

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

#include "app/common/screenfit.h"

#include <QFontMetrics>
#include <QMargins>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <optional>

namespace marrowen {

namespace {

// The area a window may use, and the frame the window system puts round it.
struct Room {
  QRect area;
  QMargins frame;
};

std::optional<Room> roomFor(const QWidget &window) {
  if (!window.isWindow() ||
      (window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
    return std::nullopt;
  const QScreen *screen = window.screen();
  if (!screen)
    return std::nullopt;
  const QRect inner = window.geometry(), outer = window.frameGeometry();
  QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                 outer.right() - inner.right(), outer.bottom() - inner.bottom());
  // The window system tells the frame once the window has been on screen;
  // until then room is kept for a title bar and a border.
  if (frame.isNull()) {
    const int border = window.style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    frame =
        QMargins(border, window.style()->pixelMetric(QStyle::PM_TitleBarHeight), border, border);
  }
  const QRect area = screen->availableGeometry();
  if (area.size().shrunkBy(frame).isEmpty())
    return std::nullopt;
  return Room{area, frame};
}

// Shrinks the window, and its minimum, to the room; gives its framed size.
QSize shrinkInto(QWidget &window, const Room &room) {
  const QSize inside = room.area.size().shrunkBy(room.frame);
  const QSize minimum = window.minimumSize();
  if (minimum.width() > inside.width() || minimum.height() > inside.height())
    window.setMinimumSize(minimum.boundedTo(inside));
  const QSize size = window.size().boundedTo(inside);
  if (size != window.size())
    window.resize(size);
  return size.grownBy(room.frame);
}

int captionWidth(const QWidget &window) {
  // Window systems draw captions bold more often than not, in about the
  // program's own size; the icon and the buttons are about as wide as the
  // bar is high, with a margin each.
  QFont font = window.font();
  font.setBold(true);
  const int bar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
  return QFontMetrics(font).horizontalAdvance(window.windowTitle()) + 6 * bar;
}

} // namespace

void fitToAvailableArea(QWidget &window) {
  const std::optional<Room> room = roomFor(window);
  if (!room)
    return;
  const QSize before = window.size();
  const QSize framed = shrinkInto(window, *room);
  // A window that fills the area where the window system would put it (a
  // step down from the last) would reach beyond the area's edge.
  if (window.size() != before && !window.testAttribute(Qt::WA_Moved)) {
    centreInAvailableArea(window);
    return;
  }
  const QRect &area = room->area;
  const QPoint from = window.frameGeometry().topLeft();
  const QPoint at(std::clamp(from.x(), area.left(), area.left() + area.width() - framed.width()),
                  std::clamp(from.y(), area.top(), area.top() + area.height() - framed.height()));
  if (at != from)
    window.move(at);
}

void widenForCaption(QWidget &window) {
  if (!window.isWindow() ||
      (window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
    return;
  const int needed = std::min(captionWidth(window), window.maximumWidth());
  if (window.width() < needed)
    window.resize(needed, window.height());
}

void centreInAvailableArea(QWidget &window) {
  const std::optional<Room> room = roomFor(window);
  if (!room)
    return;
  const QSize framed = shrinkInto(window, *room);
  window.move(room->area.left() + (room->area.width() - framed.width()) / 2,
              room->area.top() + (room->area.height() - framed.height()) / 2);
}

} // namespace marrowen

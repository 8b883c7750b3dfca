#include "components/kitutils.h"

#include "qtext/qtext.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QLocale>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace marrowen {

void FitRectToScreen(QRect &rect, const QRect &screen) {
  if (rect.x() + rect.width() > screen.x() + screen.width())
    rect.moveLeft(screen.x() + screen.width() - rect.width());
  if (rect.x() < screen.x())
    rect.moveLeft(screen.x());
  if (rect.y() + rect.height() > screen.y() + screen.height())
    rect.moveTop(screen.y() + screen.height() - rect.height());
  if (rect.y() < screen.y())
    rect.moveTop(screen.y());
}

void FitRectToScreen(QRect &rect) {
  if (QScreen *screen = QGuiApplication::primaryScreen())
    FitRectToScreen(rect, screen->geometry());
}

void CentreWindowOnScreen(QWidget *window) {
  QScreen *screen = QGuiApplication::primaryScreen();
  if (!window || !screen)
    return;
  QRect area = screen->geometry();
  QSize size = window->frameGeometry().size();
  QRect rect(area.x() + (area.width() - size.width()) / 2,
             area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
  FitRectToScreen(rect, area);
  window->move(rect.topLeft());
}

void BringWindowForward(QWidget *window, bool restore) {
  if (!window || !window->isEnabled())
    return;
  window->raise();
  window->activateWindow();
  if (restore && window->isVisible()) {
    if (window->isMinimized())
      window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->setFocus();
  }
}

bool IsActiveWindowOurs() {
  return QThread::currentThread() == qApp->thread() && QApplication::activeWindow() != nullptr;
}

QWidget *frameOf(QWidget *form) {
  if (auto *frame = qobject_cast<QMdiSubWindow *>(form ? form->parentWidget() : nullptr))
    if (frame->widget() == form)
      return frame;
  return form;
}

const QWidget *formOf(const QWidget *widget) {
  for (const QWidget *w = widget; w; w = w->parentWidget())
    if (w->isWindow() || frameOf(const_cast<QWidget *>(w)) != w)
      return w;
  return nullptr;
}

QRect placementArea(const QWidget *window) {
  QScreen *screen = window ? window->screen() : nullptr;
  if (!screen)
    screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

bool storedSizeFits(std::int64_t width, std::int64_t height, const QRect &area) {
  return width > 0 && height > 0 && width <= area.width() && height <= area.height();
}

QRect fitStoredRect(const QWidget *window, std::int64_t left, std::int64_t top, std::int64_t width,
                    std::int64_t height) {
  auto wide = [](std::int64_t n) {
    return static_cast<int>(std::clamp<std::int64_t>(n, INT_MIN / 2, INT_MAX / 2));
  };
  QRect rect(wide(left), wide(top), wide(width), wide(height));
  const QWidget *workspace = window->isWindow() ? nullptr : window->parentWidget();
  FitRectToScreen(rect, workspace ? workspace->rect() : placementArea(window));
  return rect;
}

void placeStoredRect(QWidget *window, std::int64_t left, std::int64_t top, std::int64_t width,
                     std::int64_t height) {
  window->setGeometry(fitStoredRect(window, left, top, width, height));
}

namespace {

// A stencil of `shape` in one colour: `color` where `shape` is set.
QImage stencil(const QImage &shape, QColor color) {
  QImage out(shape.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QRgb painted = qPremultiply(color.rgba());
  for (int y = 0; y < shape.height(); ++y) {
    const uchar *from = shape.constScanLine(y);
    auto *to = reinterpret_cast<QRgb *>(out.scanLine(y));
    for (int x = 0; x < shape.width(); ++x)
      if (from[x])
        to[x] = painted;
  }
  return out;
}

int distanceSquared(QRgb a, QColor b) {
  int dr = qRed(a) - b.red(), dg = qGreen(a) - b.green(), db = qBlue(a) - b.blue();
  return dr * dr + dg * dg + db * db;
}

} // namespace

QImage MakeEmbossedBitmapEx(const QImage &source, QColor outlineColor, QColor backColor,
                            bool drawHighlight, QColor shadowColor, QColor highlightColor) {
  QImage argb = source.convertToFormat(QImage::Format_ARGB32);
  QImage shape(argb.size(), QImage::Format_Grayscale8);
  const QColor white(Qt::white);
  for (int y = 0; y < argb.height(); ++y) {
    const auto *from = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
    uchar *to = shape.scanLine(y);
    for (int x = 0; x < argb.width(); ++x)
      to[x] = qAlpha(from[x]) >= 128 &&
              distanceSquared(from[x], outlineColor) <= distanceSquared(from[x], white);
  }
  QImage result(argb.size(), QImage::Format_ARGB32_Premultiplied);
  result.fill(backColor);
  QPainter painter(&result);
  if (drawHighlight)
    painter.drawImage(1, 1, stencil(shape, highlightColor));
  painter.drawImage(0, 0, stencil(shape, shadowColor));
  return result;
}

QImage MakeEmbossedBitmap(const QImage &source, QColor outlineColor) {
  QPalette palette = QGuiApplication::palette();
  return MakeEmbossedBitmapEx(source, outlineColor, palette.color(QPalette::Button), true,
                              palette.color(QPalette::Dark), palette.color(QPalette::Light));
}

void DrawImageEmbossed(QPainter &canvas, const QImage &image, int x, int y, bool drawHighlight,
                       QColor grayColor, QColor highlightColor) {
  QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  QImage shape(argb.size(), QImage::Format_Grayscale8);
  for (int row = 0; row < argb.height(); ++row) {
    const auto *from = reinterpret_cast<const QRgb *>(argb.constScanLine(row));
    uchar *to = shape.scanLine(row);
    for (int column = 0; column < argb.width(); ++column)
      to[column] = qAlpha(from[column]) >= 128;
  }
  if (drawHighlight)
    canvas.drawImage(x + 1, y + 1, stencil(shape, highlightColor));
  canvas.drawImage(x, y, stencil(shape, grayColor));
}

QString menuCaptionOf(QString name) { return name.replace('&', QStringLiteral("&&")); }

QString FitTextWithEllipsis(const QString &text, const QFontMetrics &metrics, int maxWidth) {
  QString result = text;
  const qsizetype length = text.size();
  for (qsizetype i = 1; i <= length && metrics.horizontalAdvance(result) > maxWidth;) {
    ++i;
    result = leftWholeLetters(text, length - i) + QStringLiteral("...");
  }
  return result;
}

namespace {

// Reads the token that starts at or after `pos` and leaves `pos` behind it.
QString readCommandToken(const QString &s, qsizetype &pos) {
  const qsizetype n = s.size();
  for (;;) {
    while (pos < n && s[pos].unicode() >= 1 && s[pos].unicode() <= 32)
      ++pos;
    if (pos + 1 < n && s[pos] == u'"' && s[pos + 1] == u'"')
      pos += 2;
    else
      break;
  }
  QString token;
  while (pos < n && s[pos].unicode() > 32) {
    if (s[pos] == u'"') {
      qsizetype close = s.indexOf(u'"', pos + 1);
      if (close < 0)
        close = n;
      token += QStringView(s).mid(pos + 1, close - pos - 1);
      pos = std::min(close + 1, n);
    } else {
      token += s[pos++];
    }
  }
  return token;
}

} // namespace

int CountCommandTokens(const QString &command) {
  qsizetype pos = 0;
  int count = 0;
  while (!readCommandToken(command, pos).isEmpty())
    ++count;
  return count;
}

QString CommandToken(const QString &command, int index) {
  qsizetype pos = 0;
  QString token;
  for (int i = 0; i <= index; ++i) {
    token = readCommandToken(command, pos);
    if (token.isEmpty())
      break;
  }
  return token;
}

void SplitCommandText(const QString &command, QString &program, QString &params) {
  program.clear();
  params.clear();
  qsizetype pos = 0;
  program = readCommandToken(command, pos);
  if (program.isEmpty())
    return;
  for (QString token = readCommandToken(command, pos); !token.isEmpty();
       token = readCommandToken(command, pos)) {
    if (!params.isEmpty())
      params += u' ';
    if (token.contains(u' '))
      params += u'"' + token + u'"';
    else
      params += token;
  }
}

int NthWordStart(int n, const QString &text, QStringView delimiters) {
  const qsizetype length = text.size();
  int count = 0;
  qsizetype i = 0;
  while (i < length && count != n) {
    while (i < length && delimiters.contains(text[i]))
      ++i;
    if (i < length)
      ++count;
    if (count == n)
      return static_cast<int>(i + 1);
    while (i < length && !delimiters.contains(text[i]))
      ++i;
  }
  return 0;
}

QString NthWord(int n, const QString &text, QStringView delimiters) {
  int start = NthWordStart(n, text, delimiters);
  if (start == 0)
    return QString();
  qsizetype end = start - 1;
  while (end < text.size() && !delimiters.contains(text[end]))
    ++end;
  return text.mid(start - 1, end - (start - 1));
}

QString NextDelimitedPiece(const QString &text, int &position, QStringView delimiters) {
  qsizetype from = std::max(position, 1) - 1;
  qsizetype i = from;
  while (i < text.size() && !delimiters.contains(text[i]))
    ++i;
  QString piece = text.mid(from, i - from);
  if (i < text.size())
    ++i;
  position = static_cast<int>(i + 1);
  return piece;
}

namespace {

// Used from the user-interface thread only, as cursors are.
struct CursorTable {
  QHash<int, QCursor> cursors;
  bool kitLoaded = false;
};

CursorTable &cursorTable() {
  static CursorTable table;
  return table;
}

} // namespace

QCursor screenCursor(int slot) {
  CursorTable &table = cursorTable();
  if (!table.kitLoaded) {
    table.kitLoaded = true;
    // The hot spots sit on the finger tip and in the palm.
    table.cursors.insert(crHand, QCursor(QPixmap(QStringLiteral(":/kit/KIT_HANDCUR.png")), 9, 1));
    table.cursors.insert(crDragHand,
                         QCursor(QPixmap(QStringLiteral(":/kit/KIT_DRAGCUR.png")), 10, 10));
  }
  return table.cursors.value(slot, QCursor(Qt::ArrowCursor));
}

void setScreenCursor(int slot, const QCursor &cursor) {
  screenCursor(slot); // the kit's own cursors first, so they never replace this one
  cursorTable().cursors.insert(slot, cursor);
}

bool ShortDateHasFourDigitYear() {
  static const bool fourDigits =
      QLocale::system().dateFormat(QLocale::ShortFormat).toUpper().contains(QStringLiteral("YYYY"));
  return fourDigits;
}

} // namespace marrowen

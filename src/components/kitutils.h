#pragma once

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringView>

#include <cstdint>

class QFontMetrics;
class QPainter;
class QWidget;

namespace marrowen {

inline int Max(int a, int b) { return a > b ? a : b; }
inline int Min(int a, int b) { return a < b ? a : b; }
inline int RectWidth(const QRect &r) { return r.width(); }
inline int RectHeight(const QRect &r) { return r.height(); }

// Moves `rect`, never resizing it, so that its right and bottom edges lie on
// the screen and then its left and top edges do: a rectangle larger than the
// screen ends at the screen's left and top. The one-argument form uses the
// primary screen.
void FitRectToScreen(QRect &rect, const QRect &screen);
void FitRectToScreen(QRect &rect);

// Moves a top-level window to the screen's centre, kept on screen; it is not
// resized, activated or raised.
void CentreWindowOnScreen(QWidget *window);
// Brings an enabled window to the front; with `restore`, a visible window
// that is minimized comes back to its former state and takes the focus.
void BringWindowForward(QWidget *window, bool restore);
// Whether the active window is one of this program's, asked from the thread
// that owns the windows.
bool IsActiveWindowOurs();

// The form a widget lies on: the nearest widget from it upwards that is a
// window or that a workspace frame holds.
const QWidget *formOf(const QWidget *widget);
// The window a form shows in: the workspace frame that holds it, else the
// form itself. Its size, position and state are the form's placement.
QWidget *frameOf(QWidget *form);
// Where a window's stored placement must fit: the available area (panels
// left out) of the screen the window is on, else of the primary screen.
QRect placementArea(const QWidget *window);
// A stored rectangle whose size fits (storedSizeFits) as `window` may take
// it: moved into the workspace that holds a frame, else onto the placement
// area.
QRect fitStoredRect(const QWidget *window, std::int64_t left, std::int64_t top, std::int64_t width,
                    std::int64_t height);
// Gives `window` that rectangle.
void placeStoredRect(QWidget *window, std::int64_t left, std::int64_t top, std::int64_t width,
                     std::int64_t height);
// Whether a stored size can be given to a window in `area`: positive and no
// larger. Wide numbers, so that damaged values neither overflow nor pass.
bool storedSizeFits(std::int64_t width, std::int64_t height, const QRect &area);

// The shape of `source` in `shadowColor` on `backColor`, with a copy in
// `highlightColor` one pixel down and to the right when `drawHighlight`: the
// disabled look of a glyph. The shape is every opaque pixel closer to
// `outlineColor` than to white, so the light parts of a glyph fall away.
QImage MakeEmbossedBitmapEx(const QImage &source, QColor outlineColor, QColor backColor,
                            bool drawHighlight, QColor shadowColor, QColor highlightColor);
// The same on the button face, in the palette's shadow and highlight colours.
QImage MakeEmbossedBitmap(const QImage &source, QColor outlineColor);
// Draws the opaque shape of `image` embossed at (x, y): the highlight copy
// first, one pixel down and to the right, then the shape in `grayColor`.
void DrawImageEmbossed(QPainter &canvas, const QImage &image, int x, int y, bool drawHighlight,
                       QColor grayColor, QColor highlightColor);

// `text` cut from the end, with "..." after it, until it fits `maxWidth`;
// unchanged when it fits already. Gives up when no character is left, so a
// very narrow width may still get a result that is too wide.
QString FitTextWithEllipsis(const QString &text, const QFontMetrics &metrics, int maxWidth);

// `name` (a file's, a window's, a program's) as a menu item's caption: each
// "&" in it shows as itself and gives the item no key.
QString menuCaptionOf(QString name);

// A program command line split into tokens: blanks and control characters
// separate them, double quotes take blanks in and are themselves dropped,
// and an empty pair of quotes is no token. Tokens have no length limit.
int CountCommandTokens(const QString &command);
// The token at `index` (0 = the program), empty when there are fewer.
QString CommandToken(const QString &command, int index);
// The program and its arguments; an argument holding a blank is quoted again.
void SplitCommandText(const QString &command, QString &program, QString &params);

// Words of `text` between any of the characters of `delimiters`; a run of
// delimiters separates like one. Positions count from 1; 0 means no such word.
int NthWordStart(int n, const QString &text, QStringView delimiters);
QString NthWord(int n, const QString &text, QStringView delimiters);
// The characters from `position` to the next delimiter; `position` moves one
// past that delimiter (or past the end).
QString NextDelimitedPiece(const QString &text, int &position, QStringView delimiters);

// Slots of the kit's own cursors in the program's cursor table.
constexpr int crHand = 14000;
constexpr int crDragHand = 14001;
// The cursor in `slot`; the kit's cursors are loaded on first use, and an
// unknown slot gives the arrow.
QCursor screenCursor(int slot);
void setScreenCursor(int slot, const QCursor &cursor);

// Whether the user's short date format writes the year with four digits.
bool ShortDateHasFourDigitYear();

} // namespace marrowen

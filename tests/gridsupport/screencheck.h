#pragma once

#include <QImage>

#include <string>

class QWidget;

namespace marrowen {

class TdgBaseGrid;

// What the window shows of `widget` (children included), read back from the
// window's backing store: the pixels that the paints so far left there. Null
// where the platform cannot read its windows back.
QImage shownOnScreen(QWidget &widget);

// The same area painted afresh, all of it at once.
QImage paintedInFull(QWidget &widget);

// Empty when the window shows what a full paint of `widget` draws; else how
// many pixels differ and the first of them. A difference that a pending
// paint (a caret blinking between the two pictures) clears is not one.
// Empty too where the platform cannot read its windows back.
std::string screenDiffersFromFullPaint(QWidget &widget);

// Empty when two pictures are equal; else how they differ, as above.
std::string pictureDifference(const QImage &shown, const QImage &expected);

// Empty when a shown grid's cell (data column and row, 0 for the heading)
// shows its text as high as a plain label in the grid's font does: no dot,
// ring or cedilla cut off; else the two heights of ink.
std::string cellTextCut(TdgBaseGrid &grid, int dataCol, int dataRow);

} // namespace marrowen

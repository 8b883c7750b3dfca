// The base grid's painting: grid lines, then cells area by area and what
// lies beyond them, with the sizing and moving lines laid over everything.

#include "grid/basegrid/basegrid.h"

#include <QPainter>

namespace marrowen {

namespace {

bool pointInGridRect(std::int32_t col, std::int32_t row, const TGridRect &r) {
  return col >= r.Left && col <= r.Right && row >= r.Top && row <= r.Bottom;
}

} // namespace

// --------------------------------------------------------------------- paint

void TCustomGrid_dg::Paint() {
  QPainter &canvas = *FCanvas;
  const QPalette pal = palette();
  const bool oneColumn = FColCount == 1 && FColOffset > 0;
  TGridDrawInfo info;
  CalcDrawInfoXY(info, ClientWidth() + (oneColumn ? FColOffset : 0), ClientHeight());
  if (UseRightToLeftAlignment()) {
    canvas.translate(ClientWidth(), 0);
    canvas.scale(-1, 1);
    FCanvasMirrored = true;
  }
  if (oneColumn)
    canvas.translate(-FColOffset, 0);
  const int fixedX = info.Horz.FixedBoundary;
  const int fixedY = info.Vert.FixedBoundary;
  const int gridX = info.Horz.GridBoundary;
  const int gridY = info.Vert.GridBoundary;
  const QColor fixedColor = colorToQColor(FFixedColor, pal);
  const QColor color = colorToQColor(FColor, pal);

  // Grid lines, area by area.
  auto drawLines = [&](std::int32_t firstCol, std::int32_t lastCol, int left, int right,
                       std::int32_t firstRow, std::int32_t lastRow, int top, int bottom,
                       const QColor &vertColor, const QColor &horzColor) {
    if (info.Horz.EffectiveLineWidth > 0) {
      int x = left;
      for (std::int32_t c = firstCol; c < lastCol && x < right; ++c) {
        x += ColWidths(c);
        canvas.fillRect(QRect(x, top, info.Horz.EffectiveLineWidth, bottom - top), vertColor);
        x += info.Horz.EffectiveLineWidth;
      }
    }
    if (info.Vert.EffectiveLineWidth > 0) {
      int y = top;
      for (std::int32_t r = firstRow; r < lastRow && y < bottom; ++r) {
        y += RowHeights(r);
        canvas.fillRect(QRect(left, y, right - left, info.Vert.EffectiveLineWidth), horzColor);
        y += info.Vert.EffectiveLineWidth;
      }
    }
  };
  const QColor fixedVert = FOptions.has(goFixedVertLine) ? QColor(Qt::black) : fixedColor;
  const QColor fixedHorz = FOptions.has(goFixedHorzLine) ? QColor(Qt::black) : fixedColor;
  const QColor lineColor = FColor == clSilver ? QColor(0x80, 0x80, 0x80) : QColor(0xC0, 0xC0, 0xC0);
  const QColor vertLine = FOptions.has(goVertLine) ? lineColor : color;
  const QColor horzLine = FOptions.has(goHorzLine) ? lineColor : color;
  drawLines(0, FFixedCols, 0, fixedX, 0, FFixedRows, 0, fixedY, fixedVert, fixedHorz);
  drawLines(LeftCol(), FColCount, fixedX, gridX, 0, FFixedRows, 0, fixedY, fixedVert, fixedHorz);
  drawLines(0, FFixedCols, 0, fixedX, TopRow(), FRowCount, fixedY, gridY, fixedVert, fixedHorz);
  drawLines(LeftCol(), FColCount, fixedX, gridX, TopRow(), FRowCount, fixedY, gridY, vertLine,
            horzLine);

  // Cells, area by area.
  const TGridRect sel = Selection();
  const bool focused = IsActiveControl();
  const QColor highlight = colorToQColor(clHighlight, pal);
  const QColor highlightText = colorToQColor(clHighlightText, pal);
  const QColor light = colorToQColor(clBtnHighlight, pal);
  const QColor shadow = colorToQColor(clBtnShadow, pal);
  auto drawCells = [&](std::int32_t firstCol, std::int32_t firstRow, int startX, int startY,
                       std::int32_t stopCol, std::int32_t stopRow, int stopX, int stopY,
                       const QColor &areaColor, TGridDrawState includeState) {
    int top = startY;
    for (std::int32_t row = firstRow; row < stopRow && top < stopY; ++row) {
      const int bottom = top + RowHeights(row);
      int left = startX;
      for (std::int32_t col = firstCol; col < stopCol && left < stopX; ++col) {
        const int right = left + ColWidths(col);
        if (right > left && bottom > top) {
          const TRect where{left, top, right, bottom};
          TGridDrawState state = includeState;
          if (focused && row == FCurrent.Y && col == FCurrent.X)
            state |= gdFocused;
          if (pointInGridRect(col, row, sel))
            state |= gdSelected;
          const bool leftToEditor = (state & gdFocused) && FOptions.has(goEditing) && FEditorMode;
          if (!leftToEditor) {
            if (FDefaultDrawing) {
              const bool highlighted = (state & gdSelected) &&
                                       (!(state & gdFocused) || FOptions.has(goDrawFocusSelected) ||
                                        FOptions.has(goRowSelect));
              canvas.fillRect(toQRect(where), highlighted ? highlight : areaColor);
              canvas.setPen(highlighted ? highlightText : pal.color(QPalette::Text));
            }
            DrawCell(col, row, where, state);
            if (FDefaultDrawing && (includeState & gdFixed) &&
                (FOptions.has(goFixedVertLine) || FOptions.has(goFixedHorzLine))) {
              // Raised inner edges; a side without a line takes its width.
              QRect r = toQRect(where);
              if (!FOptions.has(goFixedVertLine))
                r.adjust(0, 0, info.Horz.EffectiveLineWidth, 0);
              if (!FOptions.has(goFixedHorzLine))
                r.adjust(0, 0, 0, info.Vert.EffectiveLineWidth);
              if (FOptions.has(goFixedHorzLine)) {
                canvas.fillRect(QRect(r.left(), r.top(), r.width(), 1), light);
                canvas.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), shadow);
              }
              if (FOptions.has(goFixedVertLine)) {
                canvas.fillRect(QRect(r.left(), r.top(), 1, r.height()), light);
                canvas.fillRect(QRect(r.right(), r.top(), 1, r.height()), shadow);
              }
            }
            if ((state & gdFocused) &&
                !(FOptions.has(goEditing) && FOptions.has(goAlwaysShowEditor)) &&
                !FOptions.has(goRowSelect)) {
              canvas.save();
              canvas.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
              canvas.setBrush(Qt::NoBrush);
              canvas.drawRect(toQRect(where).adjusted(0, 0, -1, -1));
              canvas.restore();
            }
          }
        }
        left = right + info.Horz.EffectiveLineWidth;
      }
      top = bottom + info.Vert.EffectiveLineWidth;
    }
  };
  drawCells(0, 0, 0, 0, FFixedCols, FFixedRows, fixedX, fixedY, fixedColor, gdFixed);
  drawCells(LeftCol(), 0, fixedX, 0, FColCount, FFixedRows, gridX, fixedY, fixedColor, gdFixed);
  drawCells(0, TopRow(), 0, fixedY, FFixedCols, FRowCount, fixedX, gridY, fixedColor, gdFixed);
  drawCells(LeftCol(), TopRow(), fixedX, fixedY, FColCount, FRowCount, gridX, gridY, color, 0);

  if (FOptions.has(goRowSelect) && FDefaultDrawing && focused) {
    const TRect r = BoxRect(sel.Left, sel.Top, sel.Right, sel.Bottom);
    if (!IsRectEmpty(r)) {
      canvas.save();
      canvas.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
      canvas.setBrush(Qt::NoBrush);
      canvas.drawRect(toQRect(r).adjusted(0, 0, -2, -2));
      canvas.restore();
    }
  }
  // What lies beyond the last cells.
  const int width = info.Horz.GridExtent;
  const int height = info.Vert.GridExtent;
  if (gridX < width)
    canvas.fillRect(QRect(gridX, 0, width - gridX, height), color);
  if (gridY < height)
    canvas.fillRect(QRect(0, gridY, gridX, height - gridY), color);
  FCanvasMirrored = false;
}

void TCustomGrid_dg::paintEvent(QPaintEvent *) {
  QPainter painter(viewport());
  FCanvas = &painter;
  painter.save();
  guarded([this] { Paint(); });
  painter.restore();
  FCanvasMirrored = false;
  FCanvas = nullptr;
  // Sizing and moving lines lie over everything and invert what is below.
  if (FSizingLineShown || FMoveLineShown) {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    if (FSizingLineShown) {
      painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
      painter.drawLine(FSizingLineFrom, FSizingLineTo);
    }
    if (FMoveLineShown)
      painter.fillRect(toQRect(FMoveLineRect), QBrush(Qt::white, Qt::Dense4Pattern));
  }
}

} // namespace marrowen

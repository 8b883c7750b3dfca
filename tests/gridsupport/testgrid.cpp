#include "gridsupport/testgrid.h"

#include "grid/data/qtbytes.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

namespace marrowen {

void TestGrid::DrawCell(std::int32_t col, std::int32_t row, const TRect &rect, TGridDrawState) {
  ++drawnCells;
  const auto it = texts.find({col, row});
  const std::string text =
      it != texts.end() ? it->second : std::to_string(col) + "," + std::to_string(row);
  Canvas()->drawText(toQRect(rect).adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     bytesToQString(text));
}

std::string TestGrid::GetEditText(std::int32_t col, std::int32_t row) {
  const auto it = texts.find({col, row});
  return it != texts.end() ? it->second : std::string();
}

void TestGrid::SetEditText(std::int32_t col, std::int32_t row, const std::string &value) {
  texts[{col, row}] = value;
}

void showGrid(TCustomGrid_dg &grid, int clientWidth, int clientHeight) {
  const int frame = grid.frameWidth() * 2;
  grid.resize(clientWidth + frame, clientHeight + frame);
  grid.show();
  QApplication::setActiveWindow(grid.window());
  grid.setFocus();
  QApplication::processEvents();
}

} // namespace marrowen

#pragma once

#include "grid/basegrid/basegrid.h"

#include <QPoint>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace marrowen {

// A base grid whose cells show "col,row" or the text typed into them, and
// which records what the grid asked of it.
class TestGrid : public TCustomGrid_dg {
public:
  explicit TestGrid(QWidget *parent = nullptr) : TCustomGrid_dg(parent) {}

  void DrawCell(std::int32_t col, std::int32_t row, const TRect &rect,
                TGridDrawState state) override;
  std::string GetEditText(std::int32_t col, std::int32_t row) override;
  void SetEditText(std::int32_t col, std::int32_t row, const std::string &value) override;
  QPoint CursorClientPos() const override { return cursor; }

  std::map<std::pair<int, int>, std::string> texts;
  QPoint cursor;
  int drawnCells = 0;
};

// Shows a grid offscreen at the given client size and gives it the focus.
void showGrid(TCustomGrid_dg &grid, int clientWidth, int clientHeight);

} // namespace marrowen

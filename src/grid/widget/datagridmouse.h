#pragma once

#include "grid/widget/gridmodes.h"

namespace marrowen {

// What the mouse may do to the grid's lines: select columns and cell ranges,
// move rows and columns, and size them at the edges or anywhere in the
// grid. A form sets them; the mouse handling reads them. The grid derives
// from it.
class DataGridMouseSettings {
public:
  TdgCellSelectMode CellSelectMode() const { return FCellSelectMode; }
  void SetCellSelectMode(TdgCellSelectMode value) { FCellSelectMode = value; }
  TdgColSelectMode ColSelectMode() const { return FColSelectMode; }
  void SetColSelectMode(TdgColSelectMode value) { FColSelectMode = value; }
  bool GetRowMoving() const { return FRowMoving; }
  void SetRowMoving(bool value) { FRowMoving = value; }
  bool ColMoving() const { return FColMoving; }
  void SetColMoving(bool value) { FColMoving = value; }
  TdgResizeCols ResizeCols() const { return FResizeCols; }
  void SetResizeCols(TdgResizeCols value) { FResizeCols = value; }
  TdgResizeRows ResizeRows() const { return FResizeRows; }
  void SetResizeRows(TdgResizeRows value) { FResizeRows = value; }
  bool ResizeColsInGrid() const { return FResizeColsInGrid; }
  void SetResizeColsInGrid(bool value) { FResizeColsInGrid = value; }
  bool ResizeRowsInGrid() const { return FResizeRowsInGrid; }
  void SetResizeRowsInGrid(bool value) { FResizeRowsInGrid = value; }

protected:
  TdgCellSelectMode FCellSelectMode = cmRange;
  TdgColSelectMode FColSelectMode = csMulti;
  bool FRowMoving = true, FColMoving = true;
  TdgResizeCols FResizeCols = rcSingle;
  TdgResizeRows FResizeRows = rrAll;
  bool FResizeColsInGrid = false, FResizeRowsInGrid = false;
};

} // namespace marrowen

#pragma once

#include <cstdint>

namespace marrowen {

// The data grid's modes and the settings that choose how it selects, sizes
// and draws; and the parts of a grid a copy or a layout takes.

enum TdgGridMode : std::uint8_t { gmListBox, gmEdit, gmEditInsert, gmBrowse };
enum TdgRowSelectMode : std::uint8_t { rsNone, rsSingle, rsMulti };
enum TdgCellSelectMode : std::uint8_t { cmNone, cmRange };
enum TdgColSelectMode : std::uint8_t { csNone, csMulti };
enum TdgResizeCols : std::uint8_t { rcNone, rcSingle, rcAll };
enum TdgResizeRows : std::uint8_t { rrNone, rrSingle, rrAll };
enum TdgDrawOverlap : std::uint8_t { doDrawColOnTop, doDrawRowOnTop };
// What is selected: nothing, columns, rows, or a range of cells.
enum TdgGridStatus : std::uint8_t {
  gsNothing = 0,
  gsColsSelected = 1,
  gsRowsSelected = 2,
  gsCellRange = 3
};
enum TdgSelectType : std::uint8_t { stRows = 0, stCols = 1, stCells = 2 };

// The parts of a grid a copy or a layout takes.
using TdgPropKinds = std::uint8_t;
enum TdgPropKind : std::uint8_t { pkGrid = 1, pkCols = 2, pkRows = 4, pkCells = 8 };
inline constexpr TdgPropKinds allPropKinds = pkGrid | pkCols | pkRows | pkCells;
inline constexpr std::uint32_t allLayoutProperties = 0x7FFFFFFF;

} // namespace marrowen

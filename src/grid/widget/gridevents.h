#pragma once

#include "grid/data/basegridtypes.h"
#include "grid/data/font.h"
#include "grid/data/gridtypes.h"
#include "grid/data/gridutils.h"
#include "grid/data/variant.h"

#include <cstdint>
#include <functional>
#include <string>

namespace marrowen {

class TdgBaseGrid;
class TdgComboGrid;
class TdgDateTimeDefComponent;

// Where a click went down or came up: a heading, the row bar, the corner, a
// data cell, or outside the cells.
enum TdgClickPosition : std::uint8_t { cpHeading, cpRowBar, cpCorner, cpCell, cpOutside };

// From a column and a row number where 0 stands for the heading row or the
// row-bar column.
constexpr TdgClickPosition ClickPositionOf(int col, int row) {
  if (col < 0 || row < 0)
    return cpOutside;
  if (col == 0)
    return row == 0 ? cpCorner : cpRowBar;
  return row == 0 ? cpHeading : cpCell;
}

// The half of a spin button under the mouse.
enum TdgSpinButton : std::uint8_t { sbNone, sbUp, sbDown, sbLeft, sbRight };

// The mouse operation in progress.
enum TdgMouseStatus : std::uint8_t {
  msNothing,
  msRowSelecting,
  msColSelecting,
  msRangeSelecting,
  msSelectAll,
  msRowSizing,
  msColSizing,
  msHeadingSizing,
  msRowBarSizing,
  msRowMoving,
  msColMoving,
  msButtonHeld,
  msHeadingButtonHeld
};

// A cell's paint state: the base grid's draw state bits.
using TdgPaintCellState = TGridDrawState;

using TdgButtonEvent = std::function<void(TdgBaseGrid *, int dataCol, int dataRow)>;
using TdgCanStartDragEvent = std::function<void(TdgBaseGrid *)>;
using TdgClickCellEvent =
    std::function<void(TdgBaseGrid *, int dataColDown, int dataRowDown, int dataColUp,
                       int dataRowUp, TdgClickPosition downPos, TdgClickPosition upPos)>;
using TdgDblClickCellEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, TdgClickPosition pos)>;
using TdgComboCellLoadedEvent = std::function<void(TdgBaseGrid *, TdgComboGrid *combo, int dataCol,
                                                   int dataRow, Variant &value)>;
using TdgComboCompareValueEvent =
    std::function<void(TdgBaseGrid *, const std::string &comboString,
                       const std::string &currentCellString, int &compareRes)>;
using TdgComboLCompareValueEvent =
    std::function<void(TdgBaseGrid *, const std::string &comboString,
                       const std::string &currentCellString, int len, int &compareRes)>;
using TdgComboCellEvent =
    std::function<void(TdgBaseGrid *, TdgComboGrid *combo, int dataCol, int dataRow)>;
using TdgComboGetValueEvent =
    std::function<void(TdgBaseGrid *, TdgComboGrid *combo, int gridDataCol, int gridDataRow,
                       int comboDataRow, Variant &value)>;
using TdgDateTimeCellEvent =
    std::function<void(TdgBaseGrid *, TdgDateTimeDefComponent *def, int dataCol, int dataRow)>;
using TdgDateTimeGetValueEvent = std::function<void(TdgBaseGrid *, TdgDateTimeDefComponent *def,
                                                    int dataCol, int dataRow, Variant &value)>;
using TdgEditTextResizedEvent = std::function<void(TdgBaseGrid *, bool byUser)>;
using TdgHeadingClickEvent = std::function<void(TdgBaseGrid *, int dataCol)>;
using TdgInvalidCellKeysEvent = std::function<void(TdgBaseGrid *, const std::string &keys,
                                                   int dataCol, int dataRow, bool &accept)>;
using TdgInvalidCellValueEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, bool &accept)>;
using TdgMouseStatusChangedEvent =
    std::function<void(TdgBaseGrid *, TdgMouseStatus oldStatus, TdgMouseStatus newStatus)>;
using TdgPaintCellEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, const TRect &rect,
                       TdgPaintCellState state, bool &cancel)>;
using TdgShowEditorEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, bool &cancel)>;
using TdgSpinButtonEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, TdgSpinButton button)>;
using TdgSpinIncrementEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, TdgSpinButton button,
                       Variant &value, int &pos, int &len, bool &accept)>;
using TdgSpinRepeatEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, int count, TdgSpinButton button)>;
using TdgFocusEvent = std::function<void(TdgBaseGrid *)>;

// What a draw-info handler may change for one cell: its own copy of the
// cell's font, and the colour, word wrap, picture transparency and alignments.
struct TdgDrawInfo {
  TFont *Font;
  TColor Color;
  TdgWordWrap WordWrap;
  TColor TransparentColor;
  TdgVertAlignment VertAlignment;
  TAlignment HorzAlignment;
};
using TdgGetDrawInfoEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, TdgDrawInfo &info)>;

} // namespace marrowen

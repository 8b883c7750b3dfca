#pragma once

#include "classlib/exceptions.h"
#include "grid/data/font.h"
#include "grid/data/gridutils.h"

#include <cstdint>
#include <initializer_list>

class QColor;
class QPalette;
class QRect;

namespace marrowen {

// Every failure of a grid operation; its text names the grid where the grid
// knows it ("Grid1: ...").
class EInvalidGridOperation : public Exception {
public:
  using Exception::Exception;
};

inline constexpr const char *SIndexOutOfRange = "Grid index out of range";
inline constexpr const char *SGridTooManyDeleted = "Too many rows or columns deleted";
inline constexpr const char *SGridTableTooLarge = "Grid too large for operation";
inline constexpr const char *SFixedColTooBig = "Fixed column count must be less than column count";
inline constexpr const char *SFixedRowTooBig = "Fixed row count must be less than row count";

// A cell: column X and row Y, both from 0, fixed cells included.
struct TGridCoord {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  constexpr bool operator==(const TGridCoord &) const = default;
};

// Cells Left..Right by Top..Bottom, inclusive.
struct TGridRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
  constexpr bool operator==(const TGridRect &) const = default;
};

// Keeps pos on the same line while the line at fromIndex moves to toIndex.
void followMove(std::int32_t &pos, std::int32_t fromIndex, std::int32_t toIndex);

// Pixel rectangles (right and bottom exclusive) are empty when either side
// is not positive.
inline bool IsRectEmpty(const TRect &r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
QRect toQRect(const TRect &r);

// System colours (0x80000000 + index) are resolved against the palette only
// when painting.
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);
inline constexpr TColor clBtnShadow = static_cast<TColor>(0x80000010u);
inline constexpr TColor clBtnHighlight = static_cast<TColor>(0x80000014u);
inline constexpr TColor clHighlight = static_cast<TColor>(0x8000000Du);
inline constexpr TColor clHighlightText = static_cast<TColor>(0x8000000Eu);
QColor colorToQColor(TColor color, const QPalette &palette);
// The colour as $00BBGGRR, a system colour resolved against the palette.
TColor colorToRgb(TColor color, const QPalette &palette);

enum TGridOption : std::uint8_t {
  goFixedVertLine,
  goFixedHorzLine,
  goVertLine,
  goHorzLine,
  goRangeSelect,
  goDrawFocusSelected,
  goRowSizing,
  goColSizing,
  goRowMoving,
  goColMoving,
  goEditing,
  goTabs,
  goRowSelect,
  goAlwaysShowEditor,
  goThumbTracking,
};

// A set of grid options, one bit each in declaration order.
struct TGridOptions {
  std::uint16_t bits = 0;

  constexpr TGridOptions() = default;
  constexpr TGridOptions(std::initializer_list<TGridOption> options) {
    for (TGridOption o : options)
      bits = static_cast<std::uint16_t>(bits | (1u << o));
  }
  constexpr bool has(TGridOption o) const { return (bits >> o) & 1u; }
  constexpr TGridOptions with(TGridOption o) const {
    TGridOptions r = *this;
    r.bits = static_cast<std::uint16_t>(bits | (1u << o));
    return r;
  }
  constexpr TGridOptions without(TGridOption o) const {
    TGridOptions r = *this;
    r.bits = static_cast<std::uint16_t>(bits & ~(1u << o));
    return r;
  }
  constexpr TGridOptions operator|(TGridOptions o) const {
    TGridOptions r;
    r.bits = static_cast<std::uint16_t>(bits | o.bits);
    return r;
  }
  constexpr bool operator==(const TGridOptions &) const = default;
};

enum TGridState : std::uint8_t {
  gsNormal,
  gsSelecting,
  gsRowSizing,
  gsColSizing,
  gsRowMoving,
  gsColMoving
};

enum TGridDrawStateBit : std::uint8_t { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = std::uint8_t;

enum TScrollStyle : std::uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TBorderStyle : std::uint8_t { bsNone, bsSingle };

// Scroll-bar identifiers and the codes a bar reports.
enum : int { SB_HORZ = 0, SB_VERT = 1 };
enum : int {
  SB_LINEUP = 0,
  SB_LINEDOWN = 1,
  SB_PAGEUP = 2,
  SB_PAGEDOWN = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
  SB_TOP = 6,
  SB_BOTTOM = 7,
  SB_ENDSCROLL = 8
};

} // namespace marrowen

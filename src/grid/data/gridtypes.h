#pragma once

#include <cstdint>

namespace marrowen {

// Enumerations of the grid's column, row and cell properties. The last
// "Default" member of the three-state kinds means "as the next level says".
enum TdgHorzAlignment : std::uint8_t { htaLeft, htaRight, htaCenter, htaDefault };
enum TdgVertAlignment : std::uint8_t { vtaTop, vtaBottom, vtaCenter, vtaDefault };
enum TdgWordWrap : std::uint8_t { wwOn, wwOff, wwDefault };
enum TdgDrawOption : std::uint8_t { dopOn, dopOff, dopDefault };
enum TdgControlType : std::uint8_t { ctNone, ctText, ctCheck, ctPicture, ctDefault };
enum TdgButtonType : std::uint8_t {
  btCombo,
  btNormal,
  btNone,
  btDefault,
  btVertSpin,
  btHorzSpin,
  btDateTimeDropDown,
  btDateTimePopup
};
enum TdgDropDownStyle : std::uint8_t { ddDropDown, ddDropDownList };
// How a combo list compares typed text with its values, where it scrolls
// the row found, and when a completed text takes the list's case.
enum TdgComboCompareType : std::uint8_t { ctCaseSensitive, ctCaseInsensitive, ctOwn };
enum TdgComboAutoSearchType : std::uint8_t { asNone, asTop, asBottom, asCenter };
enum TdgConvertCase : std::uint8_t { afcOnEdit, afcOnExit, afcNone };
enum TdgColHeadingButton : std::uint8_t { cbCell, cbButton, cbGrid, cbNone };
enum TdgSortPicture : std::uint8_t { spUp, spDown, spBullet, spNone };
enum TdgReadOnly : std::uint8_t { roOn, roOff, roDefault };
enum TdgSpinOption : std::uint8_t { spoAutoRepeat, spoAutoIncrement, spoKeyEdit };
// A set of TdgSpinOption, one bit per member.
using TdgSpinOptions = std::uint8_t;
inline constexpr TdgSpinOptions allSpinOptions = 0b111;

// The class library's text alignment, as the legacy "Alignment" entries name it.
enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

// Per-cell property numbers; the same numbers are the bits of reset flag
// words, for columns and rows too.
enum TdgPropNumber : int {
  pnColor = 0,
  pnFont = 1,
  pnDisplayIndex = 2,
  pnWidth = 3,
  pnHeight = 4,
  pnLocked = 5, // a cell's Boolean read-only flag; a column's ReadOnly
  pnAlign = 6,
  pnAlignment = 7,
  pnIs3D = 8,
  pnColSelected = 9,
  pnVisible = 10,
  pnRowSelected = 11,
  pnHeadingButton = 12,
  pnSortPicture = 13,
  pnMaxLength = 14,
  pnWordWrap = 15,
  pnButtonType = 16,
  pnDropDownStyle = 17,
  pnReadOnly = 18,
  pnParentFont = 20,
  pnMaskName = 21,
  pnCombo = 22,
  pnParentCombo = 23,
  pnPictureOptions = 24, // sub-index 1 stretch, 2 shrink, 3 centre, 4 keep aspect
  pnControlType = 25,
  pnSpinOptions = 26,
  pnSpinIncrement = 27,
  pnHorzAlignment = 28,
  pnVertAlignment = 29,
  pnDateTimeDef = 30,
};

inline constexpr std::uint32_t resetBit(int number) { return std::uint32_t(1) << number; }

enum class TdgIndexKind { Column, Row };

} // namespace marrowen

#pragma once

#include <cstdint>

namespace marrowen {

// How the grid looks: its focus frame, lines, selection display, buttons and
// automatic scrolling speed.
enum TdgFocusBorder : std::uint8_t { fbNone, fbDot, fbSingle, fbDouble };
enum TdgGridLines : std::uint8_t { glNone, glVertLines, glHorzLines, glBoth };
enum TdgSelectionType : std::uint8_t { sltDefault, sltInvert, sltColor };
enum TdgInactiveButtonState : std::uint8_t { ibsBackGround, ibsPicture, ibsNone };
enum TdgScrollSpeed : std::uint8_t { spHigh, spLow, spVariable };
enum TdgHeadingButton : std::uint8_t { hbCell, hbButton, hbNone };

} // namespace marrowen

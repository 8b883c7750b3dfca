#pragma once

#include <cstdint>

class QKeyEvent;
class QInputEvent;

namespace marrowen {

// Key codes as the grid's handlers and events see them: the platform's
// virtual-key numbers, whatever toolkit delivered the key.
enum : std::uint16_t {
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_F1 = 0x70,
  VK_F2 = 0x71,
  VK_F4 = 0x73,
  VK_F12 = 0x7B,
};

enum TShiftStateBit : std::uint8_t {
  ssShift = 1 << 0,
  ssAlt = 1 << 1,
  ssCtrl = 1 << 2,
  ssLeft = 1 << 3,
  ssRight = 1 << 4,
  ssMiddle = 1 << 5,
  ssDouble = 1 << 6,
};

// The modifier keys and mouse buttons held when an input arrived.
struct TShiftState {
  std::uint8_t bits = 0;

  constexpr TShiftState() = default;
  constexpr TShiftState(std::uint8_t b) : bits(b) {}
  constexpr bool has(TShiftStateBit b) const { return (bits & b) != 0; }
  constexpr bool operator==(const TShiftState &) const = default;
};

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// The virtual-key number of a key event; 0 for keys without one.
std::uint16_t virtualKeyOf(const QKeyEvent &event);
// The modifiers and buttons of an input event.
TShiftState shiftStateOf(const QInputEvent &event);
// The character a key event types, as a code-page byte: control characters
// for Ctrl+letter, Enter, Tab, Escape and Backspace; 0 when it types none.
char typedCharOf(const QKeyEvent &event);
// Whether a byte is one that typing puts into a cell: neither a control
// character nor DEL.
inline bool isTypedByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 32 && byte != 127;
}

} // namespace marrowen

#include "grid/data/keys.h"

#include "grid/data/qtbytes.h"

#include <QKeyEvent>

#include <array>
#include <utility>

namespace marrowen {

namespace {

constexpr std::array<std::pair<int, std::uint16_t>, 17> keyTable{{
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
}};

} // namespace

std::uint16_t virtualKeyOf(const QKeyEvent &event) {
  const int key = event.key();
  for (const auto &[qt, vk] : keyTable)
    if (qt == key)
      return vk;
  if (key == Qt::Key_Insert)
    return VK_INSERT;
  if (key == Qt::Key_Delete)
    return VK_DELETE;
  if (key == Qt::Key_Space)
    return VK_SPACE;
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
    return static_cast<std::uint16_t>(VK_F1 + (key - Qt::Key_F1));
  if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
    return static_cast<std::uint16_t>(key);
  return 0;
}

TShiftState shiftStateOf(const QInputEvent &event) {
  std::uint8_t bits = 0;
  const Qt::KeyboardModifiers mods = event.modifiers();
  if (mods & Qt::ShiftModifier)
    bits |= ssShift;
  if (mods & Qt::AltModifier)
    bits |= ssAlt;
  if (mods & Qt::ControlModifier)
    bits |= ssCtrl;
  if (event.type() == QEvent::KeyPress || event.type() == QEvent::KeyRelease) {
    if (static_cast<const QKeyEvent &>(event).key() == Qt::Key_Backtab)
      bits |= ssShift;
  } else if (auto *mouse = dynamic_cast<const QMouseEvent *>(&event)) {
    const Qt::MouseButtons buttons = mouse->buttons() | mouse->button();
    if (buttons & Qt::LeftButton)
      bits |= ssLeft;
    if (buttons & Qt::RightButton)
      bits |= ssRight;
    if (buttons & Qt::MiddleButton)
      bits |= ssMiddle;
    if (event.type() == QEvent::MouseButtonDblClick)
      bits |= ssDouble;
  }
  return TShiftState(bits);
}

char typedCharOf(const QKeyEvent &event) {
  const int key = event.key();
  const bool ctrl = event.modifiers() & Qt::ControlModifier;
  switch (key) {
  case Qt::Key_Backspace:
    return 8;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    return 9;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return 13;
  case Qt::Key_Escape:
    return 27;
  default:
    break;
  }
  if (ctrl) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
      return static_cast<char>(key - Qt::Key_A + 1);
    return 0;
  }
  if (event.modifiers() & Qt::AltModifier)
    return 0;
  // The Delete key's text is a DEL byte on some platforms: a control
  // character, which the key never types.
  char byte = 0;
  return codePageKey(event.text(), byte) && isTypedByte(byte) ? byte : 0;
}

} // namespace marrowen

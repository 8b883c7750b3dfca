#pragma once

#include <QMenu>

namespace marrowen {

// A context menu that a control may decline to pop up by itself: with
// AutoPopup off, its owner is told of the right click instead.
class TPopupMenu : public QMenu {
public:
  using QMenu::QMenu;

  bool AutoPopup() const { return autoPopup_; }
  void setAutoPopup(bool autoPopup) { autoPopup_ = autoPopup; }

private:
  bool autoPopup_ = true;
};

} // namespace marrowen

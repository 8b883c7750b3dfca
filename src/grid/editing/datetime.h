#pragma once

#include "grid/data/links.h"

#include <QSize>
#include <QWidget>

#include <functional>
#include <string>

namespace marrowen {

class TdgBaseGrid;

// The panel a date-time definition supplies for its cells: shown under the
// cell or in a tool window, it takes and gives a date-time (days since 30
// December 1899) and reports changes and its closing, with or without a
// choice.
class TdgDateTimePicker : public QWidget {
public:
  explicit TdgDateTimePicker(QWidget *owner) : QWidget(owner) {}

  virtual void Reset() {}
  virtual void SetPopup(bool popup) { FPopup = popup; }
  bool Popup() const { return FPopup; }
  virtual bool HasValueControl() const { return true; }
  virtual void SetDateTime(double value) = 0;
  virtual double DateTime() const = 0;
  virtual QSize PanelSize() const { return sizeHint(); }
  virtual std::string Caption() const { return {}; }
  virtual void ClearText() {}

  std::function<void()> OnChange;
  std::function<void(bool accepted)> OnClose;

private:
  bool FPopup = false;
};

// The grid hears through it that a definition it uses goes away.
class TdgGridDateTimeLink : public TdgDateTimeLink {
public:
  explicit TdgGridDateTimeLink(TdgBaseGrid &grid) : grid_(grid) {}
  void ComponentDestroyed(TdgDateTimeDefComponent *component) override;

private:
  TdgBaseGrid &grid_;
};

// The chosen value as cell text: a date, a time, or a date and, when it is
// not midnight, the time, in the user's short formats.
std::string FormatDateTimeChoice(double value, TdgDateTimeKind kind);

} // namespace marrowen

#pragma once

#include "grid/editing/datetime.h"

#include <QCalendarWidget>

#include <string>

namespace marrowen {

// A picker with a small calendar: Enter (or a double click) chooses the
// date, Escape closes without a choice.
class TestCalendarPicker : public TdgDateTimePicker {
public:
  explicit TestCalendarPicker(QWidget *owner);
  void Reset() override { ++resets; }
  void SetDateTime(double value) override;
  double DateTime() const override;
  QSize PanelSize() const override { return {240, 170}; }
  std::string Caption() const override { return "Pick a date"; }

  QCalendarWidget *calendar;
  int resets = 0;

protected:
  void keyPressEvent(QKeyEvent *e) override;
};

// A definition that supplies the test picker, under a class name of choice.
class TestDateTimeDef : public TdgDateTimeDefComponent {
public:
  explicit TestDateTimeDef(std::string pickerClass = "TestCalendarPicker",
                           TdgDateTimeKind kind = TdgDateTimeKind::Date)
      : pickerClass_(std::move(pickerClass)), kind_(kind) {}
  TdgDateTimePicker *CreatePicker(QWidget *owner) const override {
    return new TestCalendarPicker(owner);
  }
  std::string_view PickerClass() const override { return pickerClass_; }
  TdgDateTimeKind Kind() const override { return kind_; }

private:
  std::string pickerClass_;
  TdgDateTimeKind kind_;
};

} // namespace marrowen

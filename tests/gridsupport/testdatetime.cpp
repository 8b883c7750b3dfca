#include "gridsupport/testdatetime.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include <cmath>

namespace marrowen {

namespace {
const QDate dayZero(1899, 12, 30);
}

TestCalendarPicker::TestCalendarPicker(QWidget *owner)
    : TdgDateTimePicker(owner), calendar(new QCalendarWidget(this)) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(calendar);
  calendar->setGridVisible(true);
  setFocusProxy(calendar);
  QObject::connect(calendar, &QCalendarWidget::activated, this, [this] {
    if (OnClose)
      OnClose(true);
  });
  QObject::connect(calendar, &QCalendarWidget::selectionChanged, this, [this] {
    if (OnChange)
      OnChange();
  });
}

void TestCalendarPicker::SetDateTime(double value) {
  calendar->setSelectedDate(dayZero.addDays(static_cast<qint64>(std::floor(value))));
}

double TestCalendarPicker::DateTime() const {
  return static_cast<double>(dayZero.daysTo(calendar->selectedDate()));
}

void TestCalendarPicker::keyPressEvent(QKeyEvent *e) {
  if (e->key() == Qt::Key_Escape && OnClose) {
    OnClose(false);
    return;
  }
  if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && OnClose) {
    OnClose(true);
    return;
  }
  TdgDateTimePicker::keyPressEvent(e);
}

} // namespace marrowen

#include "grid/editing/datetime.h"

#include "grid/data/cells.h"
#include "grid/data/colrow.h"
#include "grid/editing/combo.h"
#include "gridsupport/testdatetime.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

namespace marrowen {
namespace {

const QDate dayZero(1899, 12, 30);

// A grid in a dialog; column 2 picks dates below the cell, column 3 in a
// tool window.
struct DateDialog {
  QDialog dialog;
  TdgGrid *grid = new TdgGrid(&dialog);
  std::unique_ptr<TestDateTimeDef> def = std::make_unique<TestDateTimeDef>();
  std::vector<std::string> events;

  DateDialog() {
    dialog.resize(420, 300);
    grid->setGeometry(10, 10, 380, 260);
    grid->SetCols(3);
    grid->SetRows(5);
    grid->SetStoreData(true);
    grid->GetCol(Variant(2))->SetButtonType(btDateTimeDropDown);
    grid->GetCol(Variant(3))->SetButtonType(btDateTimePopup);
    grid->SetDateTimeDef(def.get());
    grid->OnDateTimeDropDown = [this](TdgBaseGrid *, TdgDateTimeDefComponent *, int c, int r) {
      events.push_back("dropdown " + std::to_string(c) + "," + std::to_string(r));
    };
    grid->OnDateTimeRollUp = [this](TdgBaseGrid *, TdgDateTimeDefComponent *, int c, int r) {
      events.push_back("rollup " + std::to_string(c) + "," + std::to_string(r));
    };
    grid->OnCellEdit = [this](TdgBaseGrid *, int c, int r, bool) {
      events.push_back("edit " + std::to_string(c) + "," + std::to_string(r));
    };
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    grid->setFocus();
    QApplication::processEvents();
  }
  void goTo(int col, int row) { grid->FocusCell(grid->DisplayColOf(col), row, true); }
  TestCalendarPicker &picker() { return static_cast<TestCalendarPicker &>(*grid->Picker()); }
};

TEST(DateTimeDropDown, AChoiceIsWrittenAsTextAndReportedAsAnEdit) {
  DateDialog d;
  d.goTo(2, 2);
  QTest::keyClick(d.grid, Qt::Key_F4);
  ASSERT_NE(d.grid->Picker(), nullptr);
  EXPECT_TRUE(d.grid->ExistingDropDownForm()->isVisible());
  EXPECT_TRUE(d.picker().isVisible());
  d.picker().calendar->setSelectedDate(QDate(2026, 3, 14));
  QTest::keyClick(d.picker().calendar, Qt::Key_Return);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  EXPECT_EQ(d.grid->GetCell(2, 2).toString(),
            FormatDateTimeChoice(dayZero.daysTo(QDate(2026, 3, 14)), TdgDateTimeKind::Date));
  EXPECT_EQ(d.events, (std::vector<std::string>{"dropdown 2,2", "rollup 2,2", "edit 2,2"}));
  // Escape closes without a choice; the open cell's key closes it too. A
  // right press on the open cell leaves the picker open.
  QTest::keyClick(d.grid, Qt::Key_F4);
  const TRect cell = d.grid->GetCellRect(d.grid->DisplayColOf(2), 2);
  QWindow *window = d.dialog.windowHandle();
  const QPoint at =
      window->mapFromGlobal(d.grid->viewport()->mapToGlobal(QPoint(cell.Left + 1, cell.Top + 3)));
  QTest::mousePress(window, Qt::RightButton, {}, at);
  QTest::mouseRelease(window, Qt::RightButton, {}, at);
  EXPECT_TRUE(d.grid->DateTimeOpen());
  d.grid->ToggleDateTimeDropDown(2, 2);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  EXPECT_EQ(d.events.back(), "rollup 2,2");
}

TEST(DateTimeDropDown, ATextThatIsNoDateOpensThePickerOnToday) {
  DateDialog d;
  d.grid->SetCell(2, 2, Variant("no date 99999"));
  d.goTo(2, 2);
  QTest::keyClick(d.grid, Qt::Key_F4);
  ASSERT_TRUE(d.grid->DateTimeOpen());
  EXPECT_TRUE(d.picker().isVisible());
  EXPECT_EQ(d.picker().calendar->selectedDate(), QDate::currentDate());
  // Keys reach the picker where its focus is; one it leaves comes back to
  // its window and stops there.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  EXPECT_EQ(d.grid->GetCell(2, 2).toString(), "no date 99999");
}

TEST(DateTimeDropDown, KeysWhileThePickerIsOpen) {
  DateDialog d;
  d.goTo(2, 2);
  const auto key = [](Qt::Key k, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(QApplication::activePopupWidget(), k, mods);
  };
  QTest::keyClick(d.grid, Qt::Key_F4);
  key(Qt::Key_X);
  EXPECT_TRUE(d.grid->DateTimeOpen());
  EXPECT_EQ(d.grid->GetCell(2, 2).toString(), "");
  key(Qt::Key_F4);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  QTest::keyClick(d.grid, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(d.grid->DateTimeOpen());
  key(Qt::Key_Tab);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  EXPECT_EQ(d.grid->GetCurrentDataCol(), 3);
  EXPECT_EQ(d.grid->GetCell(2, 2).toString(), "");
}

// Each key moves the picker once, and F4 still closes it.
TEST(DateTimeDropDown, APickerTakesEachKeyOnce) {
  DateDialog d;
  d.goTo(2, 2);
  QTest::keyClick(d.grid, Qt::Key_F4);
  ASSERT_TRUE(d.grid->DateTimeOpen());
  QWindow *popup = QApplication::activePopupWidget()->windowHandle();
  const QDate start(2026, 3, 14);
  const std::pair<Qt::Key, QDate> moves[] = {{Qt::Key_Right, start.addDays(1)},
                                             {Qt::Key_Down, start.addDays(7)},
                                             {Qt::Key_PageDown, start.addMonths(1)}};
  for (const auto &[key, date] : moves) {
    d.picker().calendar->setSelectedDate(start);
    QTest::keyClick(popup, key);
    EXPECT_EQ(d.picker().calendar->selectedDate().toString(Qt::ISODate), date.toString(Qt::ISODate))
        << key;
  }
  QTest::keyClick(popup, Qt::Key_F4);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  EXPECT_EQ(d.grid->GetCell(2, 2).toString(), "");
}

TEST(DateTimeDropDown, ThePopupKindIsWindowModalAndAnsweredLater) {
  DateDialog d;
  d.goTo(3, 1);
  d.grid->ToggleDateTimeDropDown(3, 1);
  QWidget *window = d.grid->DateTimeWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowModality(), Qt::WindowModal);
  EXPECT_EQ(window->windowTitle(), "Pick a date");
  EXPECT_TRUE(d.grid->DateTimeOpen());
  d.picker().calendar->setSelectedDate(QDate(2026, 1, 2));
  d.picker().OnClose(true);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(d.grid->GetCell(3, 1).toString(),
            FormatDateTimeChoice(dayZero.daysTo(QDate(2026, 1, 2)), TdgDateTimeKind::Date));
  // Closing the window is a cancel.
  d.grid->ToggleDateTimeDropDown(3, 1);
  window->close();
  EXPECT_FALSE(d.grid->DateTimeOpen());
  EXPECT_EQ(d.grid->GetCell(3, 1).toString(),
            FormatDateTimeChoice(dayZero.daysTo(QDate(2026, 1, 2)), TdgDateTimeKind::Date));
}

// Both kinds of picker show the grid's font, set before or after they exist.
TEST(DateTimeDropDown, PickersShowTheGridsFont) {
  DateDialog d;
  TFont font = d.grid->Font();
  font.SetSize(17);
  d.grid->SetFont(font);
  d.goTo(3, 1);
  d.grid->ToggleDateTimeDropDown(3, 1);
  EXPECT_EQ(d.picker().calendar->font().pointSize(), 17) << "in its window";
  d.picker().OnClose(false);
  d.goTo(2, 1);
  d.grid->ToggleDateTimeDropDown(2, 1);
  EXPECT_EQ(d.picker().calendar->font().pointSize(), 17) << "below the cell";
  font.SetSize(11);
  d.grid->SetFont(font);
  EXPECT_EQ(d.picker().calendar->font().pointSize(), 11) << "changed while open";
}

// A list opened on the cell whose button stopped being a picker's closes
// the picker first: it is reported rolled up, and keys drive the list.
TEST(DateTimeDropDown, AListOpenedOverAnOpenPickerClosesIt) {
  DateDialog d;
  d.goTo(2, 2);
  QTest::keyClick(d.grid, Qt::Key_F4);
  ASSERT_TRUE(d.grid->DateTimeOpen());
  GiveDropDownList(*d.grid->GetCol(Variant(2)), {"Apple", "Banana"});
  d.grid->GetCol(Variant(2))->SetButtonType(btCombo);
  const TRect cell = d.grid->GetPaintCellRect(d.grid->Col(), d.grid->Row());
  QTest::mouseClick(d.grid->viewport(), Qt::LeftButton, {}, QPoint(cell.Right - 3, cell.Top + 4));
  ASSERT_TRUE(d.grid->ComboOpen());
  EXPECT_FALSE(d.grid->DateTimeOpen());
  EXPECT_EQ(d.events, (std::vector<std::string>{"dropdown 2,2", "rollup 2,2"}));
  QTest::keyClick(d.grid->ExistingDropDownForm(), Qt::Key_Down);
  QTest::keyClick(d.grid->ExistingDropDownForm(), Qt::Key_Return);
  EXPECT_FALSE(d.grid->ComboOpen());
  EXPECT_EQ(d.grid->GetCell(2, 2).toString(), "Banana");
}

// A picker opens only once the cell's edit may end; a popup button released
// off itself still clicks and opens its window.
TEST(DateTimeDropDown, PickersWaitForTheEditToEndAndPopupsOpenOnAnyRelease) {
  DateDialog d;
  bool refuse = true;
  d.grid->OnEndCellEdit = [&](TdgBaseGrid *, int, int, bool &cancel) { cancel = refuse; };
  int clicks = 0;
  d.grid->OnButtonClick = [&](TdgBaseGrid *, int, int) { ++clicks; };
  d.goTo(2, 1);
  QTest::keyClicks(QApplication::focusWidget(), "x");
  ASSERT_TRUE(d.grid->CellEditing());
  const auto button = [&](int col) {
    const TRect cell = d.grid->GetCellRect(d.grid->DisplayColOf(col), 1);
    return QPoint(cell.Right - 4, (cell.Top + cell.Bottom) / 2);
  };
  QTest::mouseClick(d.grid->viewport(), Qt::LeftButton, {}, button(2));
  EXPECT_FALSE(d.grid->DateTimeOpen());
  QTest::keyClick(d.grid, Qt::Key_F4);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  refuse = false;
  clicks = 0;
  d.goTo(3, 1);
  QTest::mousePress(d.grid->viewport(), Qt::LeftButton, {}, button(3));
  QTest::mouseRelease(d.grid->viewport(), Qt::LeftButton, {}, button(3) - QPoint(40, 0));
  EXPECT_EQ(clicks, 1);
  ASSERT_NE(d.grid->DateTimeWindow(), nullptr);
  EXPECT_TRUE(d.grid->DateTimeWindow()->isVisible());
  d.grid->CloseDateTimeDropDown();
}

TEST(DateTimeDropDown, PickersFollowTheirDefinitions) {
  DateDialog d;
  d.grid->SetDateTimeDef(nullptr);
  d.goTo(2, 1);
  d.grid->ToggleDateTimeDropDown(2, 1);
  EXPECT_EQ(d.grid->Picker(), nullptr);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  TestDateTimeDef same, other("OtherPicker");
  d.grid->GetCol(Variant(2))->SetDateTimeDef(d.def.get());
  d.grid->GetCol(Variant(3))->SetButtonType(btDateTimeDropDown);
  d.grid->GetCol(Variant(3))->SetDateTimeDef(&same);
  d.grid->ToggleDateTimeDropDown(2, 1);
  TdgDateTimePicker *first = d.grid->Picker();
  d.grid->ToggleDateTimeDropDown(3, 1);
  EXPECT_EQ(d.grid->Picker(), first);
  EXPECT_EQ(d.picker().resets, 2);
  d.grid->CloseDateTimeDropDown();
  d.grid->setCellDateTimeDef(3, 2, &other);
  d.grid->SetCellProperty(3, 2, pnButtonType, Variant(int(btDateTimeDropDown)));
  d.grid->ToggleDateTimeDropDown(3, 2);
  EXPECT_NE(d.grid->Picker(), nullptr);
  EXPECT_NE(d.grid->Picker(), first);
  d.grid->CloseDateTimeDropDown();
}

TEST(DateTimeDropDown, ADefinitionThatGoesIsDroppedEverywhere) {
  DateDialog d;
  auto def = std::make_unique<TestDateTimeDef>();
  d.grid->SetDateTimeDef(def.get());
  d.grid->GetCol(Variant(1))->SetDateTimeDef(def.get());
  d.grid->RowStore().EnsureRowObject(2).SetDateTimeDef(def.get());
  d.grid->setCellDateTimeDef(1, 3, def.get());
  d.goTo(2, 1);
  d.grid->ToggleDateTimeDropDown(2, 1);
  bool wholeGrid = false;
  d.grid->OnInvalidate = [&](const TRect &r) {
    wholeGrid |= r.Width() >= d.grid->ClientWidth() && r.Height() >= d.grid->ClientHeight();
  };
  def.reset();
  EXPECT_TRUE(wholeGrid) << "the grid is repainted as a whole";
  EXPECT_EQ(d.grid->DateTimeDef(), nullptr);
  EXPECT_EQ(d.grid->GetCol(Variant(1))->DateTimeDef(), nullptr);
  EXPECT_EQ(d.grid->RowStore().RowObject(2)->DateTimeDef(), nullptr);
  EXPECT_EQ(d.grid->cellDateTimeDef(1, 3), nullptr);
  EXPECT_FALSE(d.grid->DateTimeOpen());
  EXPECT_FALSE(d.grid->ExistingDropDownForm()->isVisible());
  // One holder letting go leaves the others told when it goes.
  auto other = std::make_unique<TestDateTimeDef>();
  d.grid->GetCol(Variant(2))->SetDateTimeDef(other.get());
  d.grid->setCellDateTimeDef(1, 3, other.get());
  d.grid->setCellDateTimeDef(1, 3, nullptr);
  d.grid->GetCol(Variant(3))->SetDateTimeDef(other.get());
  d.grid->GetCol(Variant(3))->SetDateTimeDef(nullptr);
  other.reset();
  EXPECT_EQ(d.grid->GetCol(Variant(2))->DateTimeDef(), nullptr);
}

} // namespace
} // namespace marrowen

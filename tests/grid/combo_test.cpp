#include "grid/combo.h"

#include "grid/cells.h"
#include "grid/colrow.h"
#include "grid/inplaceedit.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace marrowen {
namespace {

// A grid in a dialog beside a button; column 2 drops down its own list.
struct ComboDialog {
  QDialog dialog;
  TdgGrid *grid = new TdgGrid(&dialog);
  QPushButton *button = new QPushButton("Other", &dialog);
  std::vector<std::string> events;
  int buttonClicks = 0;

  explicit ComboDialog(std::vector<std::string> items = {"alpha", "beta", "gamma"}) {
    dialog.resize(400, 300);
    grid->setGeometry(10, 10, 300, 200);
    button->setGeometry(320, 250, 70, 30);
    QObject::connect(button, &QPushButton::clicked, [this] { ++buttonClicks; });
    grid->SetCols(3);
    grid->SetRows(5);
    grid->SetStoreData(true);
    grid->SetOptions(grid->Options().with(goTabs));
    setList(2, items);
    grid->OnComboInit = [this](TdgBaseGrid *, TdgComboGrid *, int c, int r) {
      record("init", c, r);
    };
    grid->OnComboDropDown = [this](TdgBaseGrid *, TdgComboGrid *, int c, int r) {
      record("dropdown", c, r);
    };
    grid->OnComboRollUp = [this](TdgBaseGrid *, TdgComboGrid *, int c, int r) {
      record("rollup", c, r);
    };
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    grid->setFocus();
    QApplication::processEvents();
  }

  void setList(int col, const std::vector<std::string> &items) {
    TdgCol *column = grid->GetCol(Variant(col));
    column->SetButtonType(btCombo);
    TdgComboGrid *list = column->EnsureCombo().ComboGrid();
    list->SetStoreData(true);
    list->SetRows(static_cast<int>(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i)
      list->SetCell(1, static_cast<int>(i) + 1, Variant(items[i]));
  }

  void record(const char *what, int c, int r) {
    events.push_back(std::string(what) + " " + std::to_string(c) + "," + std::to_string(r));
  }
  void goTo(int col, int row) {
    grid->SetCurrentDataRow(row);
    grid->MoveToCol(col);
    grid->FocusCell(grid->DisplayColOf(col), row, true);
  }
  // Keys reach the open pop-up as the window system would deliver them.
  void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) {
    QWidget *target = QApplication::activePopupWidget();
    QTest::keyClick(target ? target : static_cast<QWidget *>(grid), k, mods);
  }
  // A press and release where the window system would deliver them.
  void clickAt(QWidget *widget, QPoint local) {
    QWindow *window = dialog.windowHandle();
    const QPoint at = window->mapFromGlobal(widget->mapToGlobal(local));
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
  }
  QWidget *popup() const { return grid->ExistingDropDownForm(); }
  bool open() const { return popup() && popup()->isVisible(); }
  TdgComboGrid &list() const { return *grid->GetCombo()->ComboGrid(); }
  std::string cell(int c, int r) const { return grid->GetCell(c, r).toString(); }
  QPoint listRowCentre(int row) const {
    const TRect rect = list().GetCellRect(1, row);
    return QPoint((rect.Left + rect.Right) / 2, (rect.Top + rect.Bottom) / 2);
  }
};

TEST(ComboDropDown, OpensUnderTheCellAsAPopupAndClosesOnItsOwnCell) {
  ComboDialog d;
  d.goTo(2, 3);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  EXPECT_TRUE(d.popup()->windowFlags().testFlag(Qt::Popup));
  const TRect cell = d.grid->GetPaintCellRect(d.grid->DisplayColOf(2), 3);
  EXPECT_EQ(d.popup()->geometry().topLeft(),
            d.grid->viewport()->mapToGlobal(QPoint(cell.Left, cell.Bottom)));
  EXPECT_EQ(d.events, (std::vector<std::string>{"init 2,3", "dropdown 2,3"}));
  d.grid->ToggleComboDropDown(2, 3);
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.events.back(), "rollup 2,3");
  EXPECT_EQ(d.events.size(), 3u);
  // Reopened, the list is prepared afresh.
  d.key(Qt::Key_Down, Qt::AltModifier);
  EXPECT_TRUE(d.open());
  EXPECT_EQ(d.events.size(), 5u);
}

TEST(ComboDropDown, AClickOnARowTakesItsValue) {
  ComboDialog d;
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  QTest::mouseClick(d.list().viewport(), Qt::LeftButton, {}, d.listRowCentre(2));
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.cell(2, 1), "beta");
}

TEST(ComboDropDown, KeysOfTheOpenList) {
  ComboDialog d;
  d.goTo(2, 2);
  d.key(Qt::Key_F4);
  d.key(Qt::Key_Down);
  d.key(Qt::Key_Down);
  d.key(Qt::Key_Up);
  d.key(Qt::Key_Return);
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.cell(2, 2), "beta");
  d.key(Qt::Key_F4);
  d.key(Qt::Key_End);
  d.key(Qt::Key_Escape);
  EXPECT_FALSE(d.open());
  EXPECT_TRUE(d.dialog.isVisible());
  EXPECT_EQ(d.cell(2, 2), "beta");
  d.key(Qt::Key_F4);
  d.key(Qt::Key_Tab);
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.grid->GetCurrentDataCol(), 3);
  EXPECT_EQ(d.cell(2, 2), "beta");
}

TEST(ComboDropDown, AClickElsewhereClosesUnchangedAndReachesItsWidget) {
  ComboDialog d;
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  d.clickAt(d.button, d.button->rect().center());
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.buttonClicks, 1);
  EXPECT_EQ(d.cell(2, 1), "");
  EXPECT_EQ(d.events.back(), "rollup 2,1");
}

TEST(ComboDropDown, PressesOnTheGridKeepOrCloseTheList) {
  ComboDialog d;
  d.goTo(2, 2);
  d.key(Qt::Key_F4);
  const int col = d.grid->DisplayColOf(2);
  const TRect open = d.grid->GetCellRect(col, 2);
  d.clickAt(d.grid->viewport(), QPoint(open.Left + 3, open.Top + 3));
  EXPECT_TRUE(d.open());
  struct Presses : QObject {
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override {
      count += e->type() == QEvent::MouseButtonPress;
      return false;
    }
  } presses;
  d.grid->viewport()->installEventFilter(&presses);
  const TRect other = d.grid->GetCellRect(d.grid->DisplayColOf(1), 1);
  d.clickAt(d.grid->viewport(), QPoint(other.Left + 3, other.Top + 3));
  EXPECT_FALSE(d.open());
  EXPECT_EQ(presses.count, 1);
  EXPECT_EQ(d.cell(2, 2), "");
}

TEST(ComboDropDown, EachColumnShowsItsOwnList) {
  ComboDialog d;
  d.setList(3, {"one", "two"});
  d.goTo(3, 1);
  d.key(Qt::Key_F4);
  EXPECT_EQ(d.list().Rows(), 2);
  EXPECT_EQ(d.list().ValueText(2), "two");
  d.key(Qt::Key_Escape);
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  EXPECT_EQ(d.list().Rows(), 3);
  EXPECT_EQ(d.list().ValueText(2), "beta");
}

} // namespace
} // namespace marrowen

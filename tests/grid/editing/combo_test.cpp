#include "grid/editing/combo.h"

#include "grid/data/cells.h"
#include "grid/data/colrow.h"
#include "grid/editors/celleditors.h"
#include "grid/stream/gridstream.h"
#include "gridsupport/dropdownscenes.h"
#include "gridsupport/screencheck.h"
#include "gridsupport/screenshots.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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
  // Presses, moves and releases where the window system would deliver them.
  QWindow *window() { return dialog.windowHandle(); }
  QPoint at(QWidget *widget, QPoint local) {
    return window()->mapFromGlobal(widget->mapToGlobal(local));
  }
  void clickAt(QWidget *widget, QPoint local, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(window(), button, {}, at(widget, local));
    QTest::mouseRelease(window(), button, {}, at(widget, local));
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

TEST(ComboDropDown, ItsButtonOpensAndClosesTheList) {
  ComboDialog d;
  d.goTo(2, 3);
  const int col = d.grid->DisplayColOf(2);
  const TRect cell = d.grid->GetCellRect(col, 3);
  const QPoint button(cell.Right - 5, (cell.Top + cell.Bottom) / 2);
  ASSERT_TRUE(d.grid->PointOnCellButton(button.x(), button.y(), 3, col));
  d.clickAt(d.grid->viewport(), button);
  ASSERT_TRUE(d.open());
  EXPECT_EQ(QApplication::activePopupWidget(), d.popup());
  const TRect paint = d.grid->GetPaintCellRect(col, 3);
  EXPECT_EQ(d.popup()->geometry().topLeft(),
            d.grid->viewport()->mapToGlobal(QPoint(paint.Left, paint.Bottom)));
  EXPECT_EQ(d.grid->PressedCol(), -1);
  d.clickAt(d.grid->viewport(), button);
  EXPECT_FALSE(d.open());
  QApplication::processEvents();
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.events, (std::vector<std::string>{"init 2,3", "dropdown 2,3", "rollup 2,3"}));
}

TEST(ComboDropDown, AReleaseInTheListTakesTheRowUnderIt) {
  ComboDialog d;
  d.goTo(2, 3);
  const TRect cell = d.grid->GetCellRect(d.grid->DisplayColOf(2), 3);
  const QPoint button(cell.Right - 5, (cell.Top + cell.Bottom) / 2);
  QWindow *window = d.window();
  QTest::mousePress(window, Qt::LeftButton, {}, d.at(d.grid->viewport(), button));
  ASSERT_TRUE(d.open());
  QTest::mouseMove(window, d.at(d.grid->viewport(), button - QPoint(40, 0)));
  EXPECT_FALSE(d.grid->HeldButtonDrawn()) << "off the held button over the grid";
  QTest::mouseMove(window, d.at(d.grid->viewport(), button));
  EXPECT_TRUE(d.grid->HeldButtonDrawn()) << "and back on it";
  QWidget *list = d.list().viewport();
  QTest::mouseMove(window, d.at(list, d.listRowCentre(1)));
  QTest::mouseMove(window, d.at(list, d.listRowCentre(2)));
  EXPECT_EQ(d.list().GetCurrentDataRow(), 2) << "the list row follows the held button";
  QTest::mouseRelease(window, Qt::LeftButton, {}, d.at(list, d.listRowCentre(2)));
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.cell(2, 3), "beta");
  EXPECT_EQ(d.grid->MouseStatus(), msNothing);
  EXPECT_FALSE(d.grid->HeldButtonDrawn());

  d.clickAt(d.grid->viewport(), button);
  ASSERT_TRUE(d.open());
  QTest::mousePress(window, Qt::LeftButton, {}, d.at(list, d.listRowCentre(1)));
  QTest::mouseMove(window, d.at(list, d.listRowCentre(3)));
  QTest::mouseRelease(window, Qt::LeftButton, {}, d.at(list, d.listRowCentre(3)));
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.cell(2, 3), "gamma") << "pressed on one item, released on another";

  QTest::mousePress(window, Qt::LeftButton, {}, d.at(d.grid->viewport(), button));
  QTest::mouseMove(window, d.at(list, d.listRowCentre(1)));
  QTest::mouseMove(window, d.at(d.button, d.button->rect().center()));
  QTest::mouseRelease(window, Qt::LeftButton, {}, d.at(d.button, d.button->rect().center()));
  EXPECT_TRUE(d.open()) << "released outside, the list stays open";
  EXPECT_EQ(d.list().MouseStatus(), msNothing);
  EXPECT_EQ(d.cell(2, 3), "gamma");
}

TEST(ComboDropDown, LeavingTheGridClosesTheList) {
  ComboDialog d;
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  d.button->setFocus(Qt::TabFocusReason);
  EXPECT_FALSE(d.open());
}

// A list belongs to its cell: when code moves the current cell away, or the
// cell's line goes, the list closes and its value reaches no other cell.
TEST(ComboDropDown, AListWhoseCellGoesClosesTakingNothing) {
  for (int variant = 0; variant < 3; ++variant) {
    ComboDialog d;
    d.grid->SetCell(1, 3, Variant("kept"));
    d.grid->SetCell(2, 4, Variant("kept"));
    d.goTo(2, 3);
    d.key(Qt::Key_F4);
    ASSERT_TRUE(d.open());
    if (variant == 0)
      d.grid->SetCols(1);
    else if (variant == 1)
      d.grid->DeleteRows(3, 3);
    else
      d.grid->SetCurrentDataRow(4);
    EXPECT_FALSE(d.open()) << variant;
    EXPECT_EQ(d.events.back(), "rollup 2,3") << variant;
    d.key(Qt::Key_Down);
    d.key(Qt::Key_Return);
    if (variant == 0)
      EXPECT_EQ(d.cell(1, 3), "kept");
    else
      EXPECT_EQ(d.cell(2, variant == 1 ? 3 : 4), "kept") << variant;
  }
}

TEST(ComboDropDown, AClickOnARowTakesItsValue) {
  ComboDialog d;
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  QTest::mouseClick(d.list().viewport(), Qt::LeftButton, {}, d.listRowCentre(2));
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.cell(2, 1), "beta");
  // The text editor shows the value selected whole.
  TdgGridEditBox *editor = ShownTextEditor(*d.grid);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Text(), "beta");
  EXPECT_EQ(editor->GetSelText(), "beta");
}

// Whichever way a value comes from the list, it is an edit as typing is: it
// starts the cell and row edits, fires OnCellEdit, marks the row when the row
// is left, and Escape takes it back.
TEST(ComboDropDown, APickedValueIsAnEditThatEscapeTakesBack) {
  enum Way { keys, click, typed };
  for (Way way : {keys, click, typed}) {
    ComboDialog d({"alpha", "beta", "gamma"});
    std::int64_t now = 10000;
    d.grid->TickCount = [&] { return now; };
    if (way == typed)
      GiveDropDownList(*d.grid->GetCol(Variant(2)), {"alpha", "beta", "gamma"});
    int cellEdits = 0, rowEnds = 0;
    d.grid->OnCellEdit = [&](TdgBaseGrid *, int, int, bool) { ++cellEdits; };
    d.grid->OnEndRowEdit = [&](TdgBaseGrid *, int, bool &) { ++rowEnds; };
    d.grid->SetCell(2, 1, Variant("alpha"));
    d.goTo(2, 1);
    const auto pick = [&] {
      if (way == typed) {
        now += 2000;
        d.key(Qt::Key_B);
        return;
      }
      d.key(Qt::Key_F4);
      if (way == keys) {
        d.key(Qt::Key_Down);
        d.key(Qt::Key_Return);
      } else {
        QTest::mouseClick(d.list().viewport(), Qt::LeftButton, {}, d.listRowCentre(2));
      }
    };
    pick();
    EXPECT_EQ(d.cell(2, 1), "beta") << way;
    EXPECT_EQ(cellEdits, 1) << way;
    EXPECT_TRUE(d.grid->CellEditing() && d.grid->RowEditing()) << way;
    d.key(Qt::Key_Escape);
    EXPECT_EQ(d.cell(2, 1), "alpha") << way;
    EXPECT_FALSE(d.grid->CellEditing()) << way;
    if (TdgGridEditBox *editor = ShownTextEditor(*d.grid)) {
      EXPECT_EQ(editor->Text(), "alpha") << way;
    }
    pick();
    const std::string picked = d.cell(2, 1);
    EXPECT_NE(picked, "alpha") << way;
    d.key(Qt::Key_Down);
    EXPECT_EQ(d.grid->GetCurrentDataRow(), 2) << way;
    EXPECT_EQ(d.cell(2, 1), picked) << way;
    EXPECT_EQ(rowEnds, 1) << way;
    EXPECT_TRUE(d.grid->RowChangedMark(1)) << way;
    d.grid->SetSkipReadOnly(false);
    d.grid->GetCol(Variant(2))->SetReadOnly(true);
    pick();
    EXPECT_EQ(d.cell(2, 2), "") << way << ": a read-only cell keeps its value";
  }
}

// A list value typed on the insert row keeps the row, as typed text does.
TEST(ComboDropDown, AListValueOnTheInsertRowAddsTheRow) {
  ComboDialog d({"Add", "Subtract"});
  GiveDropDownList(*d.grid->GetCol(Variant(2)), {"Add", "Subtract"});
  d.grid->SetRows(1);
  d.grid->SetGridMode(gmEditInsert);
  d.goTo(2, 1);
  d.key(Qt::Key_Down);
  ASSERT_EQ(d.grid->Rows(), 2) << "the insert row entered";
  d.key(Qt::Key_S);
  EXPECT_EQ(d.grid->RowCount(), 4) << "the next insert row shows";
  d.key(Qt::Key_Up);
  EXPECT_EQ(d.grid->Rows(), 2);
  EXPECT_EQ(d.cell(2, 2), "Subtract");
}

// A list whose SelectionType is left at sltDefault draws its selection as
// its grid does, also after the grid's settings changed.
TEST(ComboDropDown, AListWithoutASelectionTypeOfItsOwnFollowsItsGrid) {
  ComboDialog d;
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  ASSERT_EQ(d.list().SelectionType(), sltDefault);
  d.grid->SetSelectionType(sltColor);
  QApplication::processEvents();
  EXPECT_EQ(screenDiffersFromFullPaint(*d.popup()), "");
  d.grid->SetSelectionColor(0x00FF00);
  QApplication::processEvents();
  EXPECT_EQ(screenDiffersFromFullPaint(*d.popup()), "");
  const TRect row = d.list().GetPaintCellRect(1, d.list().Row());
  const QImage image = d.list().viewport()->grab().toImage();
  EXPECT_EQ(image.pixel(row.Right - 2, row.Top + 1) & 0xFFFFFF, 0x00FF00u);
}

TEST(ComboDropDown, TheGridsListTakesTheGridsNewFont) {
  ComboDialog d;
  d.grid->GetCol(Variant(1))->SetButtonType(btCombo);
  d.goTo(1, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  d.key(Qt::Key_Escape);
  TFont font = d.grid->Font();
  font.SetSize(font.Size() + 6);
  d.grid->SetFont(font);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  EXPECT_EQ(d.list().Font().Size(), font.Size());
}

TEST(ComboDropDown, TheOpenListsKeyTable) {
  struct Row {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    bool open;   // still open afterwards
    int listRow; // the list's current row
    int gridCol; // the grid's current data column
    const char *value = "";
  };
  const Row rows[] = {
      {Qt::Key_Down, {}, true, 2, 2},
      {Qt::Key_PageDown, {}, true, 5, 2},
      {Qt::Key_End, Qt::ControlModifier, true, 6, 2},
      {Qt::Key_End, {}, true, 1, 2},
      {Qt::Key_Left, {}, true, 1, 2},
      {Qt::Key_Escape, {}, false, 1, 2},
      {Qt::Key_Tab, {}, false, 1, 3},
      {Qt::Key_Backtab, Qt::ShiftModifier, false, 1, 1},
      {Qt::Key_F4, {}, false, 1, 2},
      {Qt::Key_Up, Qt::AltModifier, false, 1, 2},
      {Qt::Key_Return, {}, false, 1, 2, "a"},
  };
  for (const Row &row : rows) {
    ComboDialog d({"a", "b", "c", "d", "e", "f"});
    d.goTo(2, 2);
    d.key(Qt::Key_F4);
    ASSERT_TRUE(d.open());
    d.key(row.key, row.mods);
    EXPECT_EQ(d.open(), row.open) << row.key;
    EXPECT_EQ(d.list().GetCurrentDataRow(), row.listRow) << row.key;
    EXPECT_EQ(d.grid->GetCurrentDataCol(), row.gridCol) << row.key;
    EXPECT_EQ(d.cell(2, 2), row.value) << row.key;
    EXPECT_TRUE(d.dialog.isVisible()) << row.key;
  }
}

TEST(ComboDropDown, AClickElsewhereClosesUnchangedAndReachesItsWidget) {
  ComboDialog d;
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  d.clickAt(d.button, d.button->rect().center());
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.buttonClicks, 1);
  EXPECT_EQ(d.dialog.focusWidget(), d.button) << "what is typed next goes there";
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
  // A right press on the list's own cell, its button too, leaves the list open.
  for (int x : {open.Left + 1, open.Left + 3, open.Right - 3}) {
    d.clickAt(d.grid->viewport(), QPoint(x, open.Top + 3), Qt::RightButton);
    EXPECT_TRUE(d.open()) << x - open.Left;
  }
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

// A press outside the list closes it first; a scroll that comes all the same
// (from the program, or a scroll bar the pop-up lets through) closes it too.
TEST(ComboDropDown, ScrollingTheGridClosesTheList) {
  ComboDialog d;
  d.grid->SetRows(40);
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  d.grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(d.grid->TopRow(), 2);
  EXPECT_FALSE(d.open());
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

namespace marrowen {
namespace {

// A list grid of the given values in its first column.
struct List {
  TdgGrid owner;
  TdgGridCombo combo{owner};
  TdgComboGrid &grid = *combo.ComboGrid();
  explicit List(const std::vector<std::string> &values, bool sorted = false) {
    grid.SetStoreData(true);
    grid.SetRows(static_cast<int>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i)
      grid.SetCell(1, static_cast<int>(i) + 1, Variant(values[i]));
    combo.SetValueColSorted(sorted);
  }
  int search(const std::string &text, bool whole, bool *found = nullptr) {
    bool f = false;
    const int row = grid.Search(text, whole, f);
    if (found)
      *found = f;
    return row;
  }
};

TEST(ComboSearch, CompareAndSearchRules) {
  List list({"Apple", "banana", "Cherry"});
  EXPECT_EQ(list.search("che", false), 3);
  EXPECT_EQ(list.grid.Compare("", "", 0), 0);
  EXPECT_EQ(list.grid.Compare("a", "", 0), 1);
  EXPECT_EQ(list.grid.Compare("", "a", 0), -1);
  list.combo.SetCompareType(ctCaseSensitive);
  bool found = true;
  list.grid.SetCurrentDataRow(2);
  EXPECT_EQ(list.search("che", false, &found), 2);
  EXPECT_FALSE(found);
  // Own comparison without handlers: everything agrees.
  list.combo.SetCompareType(ctOwn);
  EXPECT_EQ(list.search("zzz", false, &found), 1);
  EXPECT_TRUE(found);
  // Letters beyond ASCII fold as the code page has them.
  List accented({"Apple", "\xC9tat", "\xE4rger"});
  EXPECT_EQ(accented.search("\xE9t", false), 2);
  EXPECT_EQ(accented.search("\xC4R", false), 3);
  List sorted({"a", "ab", "abc"}, true);
  EXPECT_EQ(sorted.search("abcd", false), 3);
  EXPECT_EQ(sorted.search("ab", true), 2);
}

TEST(ComboSearch, PositionScrollsTheRowWhereAutoSearchSays) {
  std::vector<std::string> values;
  for (int i = 1; i <= 40; ++i)
    values.push_back("item" + std::to_string(100 + i));
  List list(values, true);
  list.grid.resize(120, 8 * list.grid.DefaultRowHeight());
  list.grid.show();
  list.owner.DropDownForm()->show();
  list.combo.SetDropDownRows(8);
  const std::pair<TdgComboAutoSearchType, int> cases[] = {
      {asBottom, 13}, {asTop, 20}, {asCenter, 17}};
  for (const auto &[mode, top] : cases) {
    list.combo.SetAutoSearch(mode);
    list.grid.SetCurrentDataRow(1);
    list.grid.SetTopRow(1);
    list.grid.Position(20);
    EXPECT_EQ(list.grid.GetCurrentDataRow(), 20);
    EXPECT_EQ(list.grid.TopRow(), top) << int(mode);
  }
}

TEST(ComboSearch, TypeAheadKeepsTypingWithinTwoSeconds) {
  ComboDialog d({"apple", "apricot", "banana", "blueberry"});
  std::int64_t now = 10000;
  d.grid->TickCount = [&] { return now; };
  d.grid->GetCol(Variant(2))->SetDropDownStyle(ddDropDownList);
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  d.key(Qt::Key_B);
  EXPECT_EQ(d.list().GetCurrentDataRow(), 3);
  now += 1900;
  d.key(Qt::Key_L);
  EXPECT_EQ(d.list().GetCurrentDataRow(), 4);
  EXPECT_EQ(d.grid->TypeAhead(), "bl");
  now += 2000;
  d.key(Qt::Key_A);
  EXPECT_EQ(d.grid->TypeAhead(), "a");
  EXPECT_EQ(d.list().GetCurrentDataRow(), 1);
  // The same letter again steps to the next row starting with it.
  now += 2000;
  d.key(Qt::Key_A);
  EXPECT_EQ(d.list().GetCurrentDataRow(), 2);
}

// A drop-down-list cell takes only its list's values, typed or picked, and
// a press anywhere in it is a press on its button.
TEST(ComboSearch, ADropDownListCellTakesOnlyItsListValues) {
  ComboDialog d({"Add", "Subtract", "Ignore"});
  std::int64_t now = 10000;
  d.grid->TickCount = [&] { return now; };
  GiveDropDownList(*d.grid->GetCol(Variant(2)), {"Add", "Subtract", "Ignore"});
  d.grid->SetCell(2, 1, Variant("Add"));
  d.goTo(2, 1);
  EXPECT_EQ(ShownTextEditor(*d.grid), nullptr) << "no free text";
  d.key(Qt::Key_Z);
  d.key(Qt::Key_Z);
  d.key(Qt::Key_Z);
  EXPECT_EQ(d.cell(2, 1), "Add") << "nothing in the list starts with zzz";
  now += 2000;
  d.key(Qt::Key_S);
  EXPECT_EQ(d.cell(2, 1), "Subtract");
  const TRect cell = d.grid->GetPaintCellRect(d.grid->DisplayColOf(2), 2);
  const QPoint textPart(cell.Left + 5, cell.Top + 3);
  EXPECT_EQ(d.grid->GetCursor(textPart.x(), textPart.y()), TdgBaseGrid::crGrid);
  d.clickAt(d.grid->viewport(), textPart);
  ASSERT_TRUE(d.open()) << "the text part opens the list";
  now += 2000;
  d.key(Qt::Key_I);
  EXPECT_EQ(d.list().GetCurrentDataRow(), 3) << "keys position the open list";
  d.key(Qt::Key_Return);
  EXPECT_FALSE(d.open());
  EXPECT_EQ(d.cell(2, 2), "Ignore");
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  EXPECT_EQ(d.list().GetCurrentDataRow(), 2) << "the list opens on the cell's value";
  d.key(Qt::Key_Return);
  EXPECT_EQ(d.cell(2, 1), "Subtract");
  // The list opens on the cell's own value: Enter keeps it.
  d.grid->SetCell(2, 4, Variant("Subtract"));
  d.goTo(2, 4);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  EXPECT_EQ(d.list().GetCurrentDataRow(), 2);
  d.key(Qt::Key_Return);
  EXPECT_EQ(d.cell(2, 4), "Subtract");
}

// A value picked for a list-only cell stays with that cell: the cell clicked
// next (the grid scrolling to it), with the list opened again meanwhile,
// shows its own value in the editor and takes what is typed there.
TEST(ComboSearch, APickedValueStaysWithItsCell) {
  ComboDialog d({"Apple", "Banana", "Cherry"});
  GiveDropDownList(*d.grid->GetCol(Variant(2)), {"Apple", "Banana", "Cherry"});
  d.grid->SetCell(1, 5, Variant("own"));
  // Row 5 cut by the bottom edge: the click that takes it scrolls.
  d.grid->resize(d.grid->width(),
                 d.grid->height() - d.grid->ClientHeight() + d.grid->RowTop(5) + 8);
  QApplication::processEvents();
  d.goTo(2, 2);
  const TRect cell = d.grid->GetCellRect(d.grid->DisplayColOf(2), 2);
  const QPoint button(cell.Right - 5, (cell.Top + cell.Bottom) / 2);
  d.clickAt(d.grid->viewport(), button);
  ASSERT_TRUE(d.open());
  d.clickAt(d.list().viewport(), d.listRowCentre(2));
  EXPECT_EQ(d.cell(2, 2), "Banana");
  d.clickAt(d.grid->viewport(), button);
  ASSERT_TRUE(d.open());
  const TRect other = d.grid->GetCellRect(d.grid->DisplayColOf(1), 5);
  d.clickAt(d.grid->viewport(), QPoint(other.Left + 20, other.Top + 5));
  EXPECT_FALSE(d.open());
  ASSERT_EQ(d.grid->GetCurrentDataRow(), 5);
  EXPECT_EQ(d.grid->ActiveControl().GetValue().toString(), "own");
  ASSERT_EQ(QApplication::focusWidget(), &d.grid->ActiveControl().Control());
  for (Qt::Key key : {Qt::Key_F2, Qt::Key_End, Qt::Key_X})
    QTest::keyClick(QApplication::focusWidget(), key);
  EXPECT_EQ(d.cell(1, 5), "ownx");
  EXPECT_EQ(d.cell(2, 2), "Banana");
}

TEST(ComboSearch, TypingCompletesFromTheListAndPicksWithoutAnEditor) {
  ComboDialog d({"apple", "banana", "cherry"});
  TdgCombo &combo = *d.grid->GetCol(Variant(2))->Combo();
  combo.SetAutoFill(true);
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  d.key(Qt::Key_B);
  TdgGridEditBox *editor = ShownTextEditor(*d.grid);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Text(), "banana");
  EXPECT_EQ(editor->GetSelText(), "anana");
  EXPECT_EQ(d.list().GetCurrentDataRow(), 2);
  d.key(Qt::Key_Escape);
  // A cell without a text editor takes the value its typed key leads to.
  d.grid->GetCol(Variant(2))->SetControlType(ctPicture);
  d.goTo(2, 3);
  d.key(Qt::Key_C);
  EXPECT_EQ(d.list().GetCurrentDataRow(), 3);
  EXPECT_EQ(d.grid->Storage()->GetValue(2, 3).toString(), "cherry");
  EXPECT_FALSE(d.open());
  EXPECT_FALSE(d.grid->ComboPrepared());
}

// Letters beyond ASCII are typed as whole characters and found in either
// case: German, Greek, Cyrillic, CJK and an emoji, in the open list, on a
// closed list-only cell, in a sorted list and through completion.
TEST(ComboSearch, TypedLettersBeyondAsciiFindTheirValuesInAnyCase) {
  const std::vector<std::string> values = {"apple",
                                           "\xC3\x9C"
                                           "ber",
                                           "\xCE\xA3\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1",
                                           "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0",
                                           "\xE6\x9D\xB1\xE4\xBA\xAC",
                                           "\xF0\x9F\x98\x80 smile",
                                           "\xC3\xBC"
                                           "bel",
                                           "\xC3"};
  ComboDialog d(values);
  std::int64_t now = 10000;
  d.grid->TickCount = [&] { return now; };
  GiveDropDownList(*d.grid->GetCol(Variant(2)), values);
  // Each character as the window system types it: its text, and the key of
  // its capital where it has one.
  auto type = [&](const QString &text) {
    for (qsizetype i = 0; i < text.size();) {
      const qsizetype n = text.at(i).isHighSurrogate() ? 2 : 1;
      const QString one = text.mid(i, n);
      const int key = n == 1 ? one.toUpper().at(0).unicode() : int(Qt::Key_unknown);
      QWidget *target = QApplication::activePopupWidget();
      if (!target)
        target = d.grid;
      QTest::sendKeyEvent(QTest::Press, target, Qt::Key(key), one, {});
      QTest::sendKeyEvent(QTest::Release, target, Qt::Key(key), one, {});
      i += n;
    }
  };
  auto typeAfterPause = [&](const QString &text) {
    now += 2000;
    type(text);
    return d.list().GetCurrentDataRow();
  };
  d.goTo(2, 1);
  d.key(Qt::Key_F4);
  ASSERT_TRUE(d.open());
  EXPECT_EQ(typeAfterPause(QStringLiteral("\u00FC")), 2) << "\u00FC finds \u00DCber";
  EXPECT_EQ(typeAfterPause(QStringLiteral("\u00FC")), 7) << "pressed again, the next \u00FC";
  EXPECT_EQ(typeAfterPause(QStringLiteral("\u00DCB")), 2);
  EXPECT_EQ(typeAfterPause(QStringLiteral("\u03C3\u039F")), 3) << "Greek in mixed case";
  EXPECT_EQ(d.grid->TypeAhead(), "\xCF\x83\xCE\x9F");
  EXPECT_EQ(typeAfterPause(QStringLiteral("\u0451\u041B")), 4) << "Cyrillic";
  EXPECT_EQ(typeAfterPause(QStringLiteral("\u6771")), 5) << "CJK";
  EXPECT_EQ(typeAfterPause(QStringLiteral("\U0001F600")), 6) << "an emoji";
  // A letter whose first byte a lone stored byte holds is not half found.
  d.list().SetCurrentDataRow(1);
  EXPECT_EQ(typeAfterPause(QStringLiteral("\u00E9")), 1);
  d.key(Qt::Key_Escape);
  ASSERT_FALSE(d.open());

  // A closed list-only cell takes the value its letter leads to, a letter
  // no code-page key holds among them.
  d.goTo(2, 2);
  typeAfterPause(QStringLiteral("\u03C3"));
  EXPECT_EQ(d.cell(2, 2), values[2]);
  typeAfterPause(QStringLiteral("\u0451"));
  EXPECT_EQ(d.cell(2, 2), values[3]);

  // A sorted list: the binary search orders characters, not their bytes.
  List sorted({"Alpha",
               "\xC3\x89"
               "clair",
               "\xC3\x9C"
               "ber",
               "\xCE\xA3\xCE\xAF\xCE\xB3\xCE\xBC\xCE\xB1"},
              true);
  EXPECT_EQ(sorted.search("\xC3\xA9", true), 2);
  EXPECT_EQ(sorted.search("\xC3\xBC"
                          "B",
                          true),
            3);
  EXPECT_EQ(sorted.search("\xCF\x83\xCE\xAF", true), 4);
  EXPECT_TRUE(sorted.grid.Equal("\xC3\x9C"
                                "BER",
                                "\xC3\xBC"
                                "ber"));
  // The editor's "\u00E9" does not agree with a lone stored byte that begins it.
  List lone({"apple", "\xC3"});
  bool found = true;
  EXPECT_EQ(lone.search("\xC3\xA9", false, &found), 1);
  EXPECT_FALSE(found);

  // Completion from a value stored in the code page or in UTF-8, where the
  // typed letter takes two bytes: the caret stays after the typed letters,
  // the rest of the value is selected.
  for (const std::string stored : {"\xDC"
                                   "ber",
                                   "\xC3\x9C"
                                   "ber"}) {
    SCOPED_TRACE(stored.size() == 4 ? "code page" : "UTF-8");
    ComboDialog c({stored});
    c.grid->GetCol(Variant(2))->Combo()->SetAutoFill(true);
    c.goTo(2, 1);
    c.key(Qt::Key_F4);
    ASSERT_TRUE(c.open());
    QTest::sendKeyEvent(QTest::Click, QApplication::activePopupWidget(), Qt::Key_Udiaeresis,
                        QStringLiteral("\u00FC"), {});
    TdgGridEditBox *editor = ShownTextEditor(*c.grid);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Text(), stored);
    EXPECT_EQ(editor->GetSelText(), "ber");
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_B);
    EXPECT_EQ(editor->Text(), stored);
    EXPECT_EQ(editor->GetSelText(), "er");
  }
}

TEST(ComboSettings, NewListsAndTheirDefaults) {
  TdgGrid grid;
  TdgGridCombo combo(grid);
  TdgComboGrid &list = *combo.ComboGrid();
  EXPECT_EQ(combo.DropDownRows(), 4);
  EXPECT_EQ(combo.DropDownCols(), 1);
  EXPECT_EQ(combo.ValueCol(), 1);
  EXPECT_EQ(combo.CompareType(), ctCaseInsensitive);
  EXPECT_EQ(combo.AutoSearch(), asNone);
  EXPECT_EQ(list.Rows(), 0);
  EXPECT_EQ(list.Cols(), 1);
  EXPECT_FALSE(list.StoreData());
  EXPECT_FALSE(list.HeadingOn());
  EXPECT_FALSE(list.RowBarOn());
  EXPECT_EQ(list.RowSelectMode(), rsSingle);
  // Its modes are the owner's: at run time the list keeps them.
  list.SetRowSelectMode(rsMulti);
  list.SetGridMode(gmEdit);
  EXPECT_EQ(list.RowSelectMode(), rsSingle);
  EXPECT_EQ(list.GridMode(), gmListBox);
  EXPECT_EQ(list.ScrollBars(), ssVertical);
  EXPECT_EQ(list.ColSelectMode(), csNone);
  EXPECT_FALSE(list.ColMoving());
  EXPECT_EQ(list.ResizeCols(), rcNone);
  EXPECT_EQ(list.ResizeRows(), rrNone);
  EXPECT_EQ(list.RowChangedIndicator(), TdgGrid::riAutoReset);
  // The list's height counts the rows it shows.
  list.SetRows(3);
  const int three = list.DropDownHeight(4);
  list.SetRowVisible(2, false);
  EXPECT_EQ(list.DropDownHeight(4), three - list.DefaultRowHeight());
  // Its errors name the owner by the name it has now.
  grid.SetName("Renamed");
  list.SetRaiseErrors(true);
  try {
    list.GetRowColor(99);
    ADD_FAILURE() << "no error";
  } catch (const EInvalidGridOperation &e) {
    EXPECT_EQ(std::string(e.what()).rfind("Renamed.Combo: ", 0), 0u) << e.what();
  }
  combo.SetAutoFill(true);
  EXPECT_EQ(combo.AutoSearch(), asTop);
  TdgGridCombo loaded(grid);
  loaded.ComboGrid()->beginLoad();
  loaded.SetAutoFill(true);
  loaded.ComboGrid()->endLoad();
  EXPECT_EQ(loaded.AutoSearch(), asNone);
}

TEST(ComboSettings, TheComboThatServesACell) {
  TdgGrid grid;
  grid.SetCols(2);
  grid.SetRows(2);
  TdgCol &col = *grid.GetCol(Variant(1));
  col.SetButtonType(btCombo);
  TdgCombo &colCombo = col.EnsureCombo();
  TdgRow &row = grid.RowStore().EnsureRowObject(1);
  row.SetButtonType(btCombo);
  TdgCombo &rowCombo = row.EnsureCombo();
  EXPECT_EQ(grid.ComboOfCell(1, 1), &colCombo);
  grid.SetDrawOverlap(doDrawRowOnTop);
  EXPECT_EQ(grid.ComboOfCell(1, 1), &rowCombo);
  row.SetParentCombo(true);
  EXPECT_EQ(grid.ComboOfCell(1, 1), &colCombo);
  TdgCombo &cellCombo = grid.ensureCellCombo(1, 1);
  grid.SetCellProperty(1, 1, pnButtonType, Variant(int(btCombo)));
  grid.SetCellProperty(1, 1, pnParentCombo, Variant(false));
  EXPECT_EQ(grid.ComboOfCell(1, 1), &cellCombo);
  EXPECT_EQ(grid.ComboOfCell(2, 2), nullptr);
  EXPECT_EQ(grid.ComboOfCell(3, 1), nullptr);
}

TEST(ComboSettings, PreparedOncePerDropDownAndRebuiltAfterACellsOwnList) {
  ComboDialog d;
  d.grid->GetCol(Variant(1))->SetButtonType(btCombo);
  d.goTo(2, 1);
  d.grid->OpenComboDropDown(2, 1);
  d.grid->PrepareCombo(2, 1);
  EXPECT_EQ(std::count(d.events.begin(), d.events.end(), "init 2,1"), 1);
  EXPECT_EQ(d.list().Rows(), 3);
  d.grid->CloseComboDropDown();
  EXPECT_FALSE(d.grid->ComboPrepared());
  // Column 1 has no list of its own: the grid's list is rebuilt empty.
  d.goTo(1, 1);
  d.grid->OpenComboDropDown(1, 1);
  EXPECT_EQ(d.list().Rows(), 0);
  EXPECT_EQ(d.grid->LastCopiedCombo(), nullptr);
  EXPECT_EQ(d.events.back(), "dropdown 1,1");
}

TEST(ComboSettings, AComboEntryTravelsWithItsColumn) {
  ComboDialog d;
  TdgComboGrid &own = *d.grid->GetCol(Variant(2))->Combo()->ComboGrid();
  own.SetDropDownRows(6);
  TdgGrid copy;
  readGrid(copy, writeGrid(*d.grid));
  TdgCombo *combo = copy.GetCol(Variant(2))->Combo();
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->DropDownRows(), 6);
  EXPECT_EQ(combo->ComboGrid()->GridMode(), gmListBox) << "a stream read sets the modes";
  EXPECT_EQ(combo->ComboGrid()->Rows(), 3);
  EXPECT_EQ(combo->ComboGrid()->ValueText(3), "gamma");
}

TEST(ComboPlacement, SizesFollowTheSettings) {
  ComboDialog d;
  d.goTo(2, 1);
  d.grid->OpenComboDropDown(2, 1);
  TdgComboGrid &list = d.list();
  const int frame = list.BorderStyle() == bsSingle ? 2 * list.frameWidth() : 0;
  EXPECT_EQ(list.DropDownHeight(8), frame + 3 * list.DefaultRowHeight());
  EXPECT_EQ(list.DropDownWidth(0), list.width());
  // The open list follows its own settings and layout.
  const int height = d.popup()->height();
  list.SetHeadingOn(true);
  EXPECT_EQ(d.popup()->height(), height + list.HeadingHeight());
  d.grid->GetCombo()->SetDropDownRows(2);
  EXPECT_EQ(d.popup()->height(), height + list.HeadingHeight() - list.DefaultRowHeight());
  list.DeleteRows(1, 2);
  EXPECT_EQ(d.popup()->height(), height + list.HeadingHeight() - 2 * list.DefaultRowHeight())
      << "a list that loses rows while open shrinks to them";
  const int width = d.popup()->width();
  list.SetColWidths(1, list.ColWidths(1) + 30);
  EXPECT_EQ(d.popup()->width(), width + 30);
  // Hidden rows ask for no scroll bar beside those shown; a width kept as it
  // stands leaves room below for the bar its columns need.
  const int extent = list.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &list);
  list.SetHeadingOn(false);
  list.SetRows(5);
  list.SetRowVisible(2, false);
  list.SetRowVisible(4, false);
  d.grid->GetCombo()->SetDropDownRows(3);
  EXPECT_EQ(d.popup()->height(), frame + 3 * list.DefaultRowHeight());
  EXPECT_EQ(d.popup()->width(), list.DropDownWidth(1)) << "no vertical bar";
  d.grid->GetCombo()->SetDropDownRows(2);
  EXPECT_EQ(d.popup()->width(), list.DropDownWidth(1) + extent);
  list.SetCols(3);
  d.grid->GetCombo()->SetDropDownCols(0);
  EXPECT_EQ(d.popup()->height(), frame + 2 * list.DefaultRowHeight() + extent)
      << "room for the horizontal bar";
  // A list narrower than its column ends under the column's right edge.
  const int col = d.grid->DisplayColOf(2);
  d.grid->SetColWidths(col, 150);
  d.grid->PlaceDropDown(list, 100, 40);
  const TRect cell = d.grid->GetPaintCellRect(col, 1);
  const int left = d.grid->viewport()->mapToGlobal(QPoint(cell.Left, 0)).x();
  EXPECT_EQ(d.popup()->x(), left + 50);
  d.grid->SetColWidths(col, 80);
  d.grid->PlaceDropDown(list, 100, 40);
  EXPECT_EQ(d.popup()->x(), left);
}

TEST(ComboPlacement, KeptOnTheScreenThatHoldsTheCell) {
  struct Case {
    QRect screen;
    int x, y, w, h;
    QPoint expected;
  };
  const Case cases[] = {
      {{0, 0, 800, 600}, 100, 100, 50, 50, {100, 100}},
      {{0, 0, 800, 600}, 780, 100, 50, 50, {750, 100}},
      {{0, 0, 800, 600}, 100, 580, 50, 50, {100, 580 - 20 + 1 - 50}},
      {{-1280, -200, 1280, 1024}, -40, 100, 100, 50, {-100, 100}},
      {{-1280, -200, 1280, 1024}, -1270, 800, 100, 90, {-1270, 800 - 20 + 1 - 90}},
      {{0, 0, 800, 600}, 100, 590, 50, 700, {100, 0}},
  };
  for (const Case &c : cases)
    EXPECT_EQ(KeepDropDownOnScreen(c.screen, c.x, c.y, c.w, c.h, 20, 1), c.expected)
        << c.x << "," << c.y;
  EXPECT_EQ(CenterOnScreen({-1280, 0, 1280, 1024}, 101, 51), QPoint(-1280 + 589, 486));
}

TEST(ComboScreenshots, OpenListsShowSomething) {
  QTemporaryDir folder;
  const std::vector<std::string> files = renderDropDownScreenshots(folder.path().toStdString());
  EXPECT_EQ(files.size(), 4u);
  EXPECT_EQ(blankPictures(files), std::vector<std::string>{});
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// Random keys, clicks, insertions and deletions on a grid that takes new rows
// and has two list-only columns whose choices share their first letters. After
// every step a list cell holds one of its choices (or nothing), a letter typed
// on it leads where the list says, and the grid still offers a row to type a
// new line into.
TEST(ComboSearch, RandomStepsKeepListCellsOnTheirChoices) {
  const std::vector<std::vector<std::string>> lists = {{"Nord", "nah",
                                                        "\xC3\x9C"
                                                        "ber",
                                                        "\xC3\xBC"
                                                        "bel",
                                                        "\xCE\xA3\xCE\xAF\xCE\xB3\xCE\xBC\xCE\xB1",
                                                        "\xE6\x97\xA5\xE6\x9C\xAC"},
                                                       {"Add", "Subtract", "Ignore", "index"}};
  const QString letters = QString::fromUtf8("nNüÜσ日qéaisI");
  auto fold = [](const std::string &s) { return QString::fromStdString(s).toCaseFolded(); };
  for (const std::uint32_t seed : {1u, 2u, 4u, 16u}) {
    ComboDialog d;
    TdgGrid &g = *d.grid;
    g.SetRows(0);
    g.SetGridMode(gmEditInsert);
    g.SetRowSelectMode(rsMulti);
    for (int c = 2; c <= 3; ++c)
      GiveDropDownList(*g.GetCol(Variant(c)), lists[c - 2]);
    std::int64_t now = 10000;
    g.TickCount = [&] { return now; };
    std::mt19937 random(seed);
    std::string steps;
    auto target = [&]() -> QWidget * {
      if (QWidget *popup = QApplication::activePopupWidget())
        return popup;
      QWidget *focus = QApplication::focusWidget();
      return focus ? focus : d.grid;
    };
    for (int step = 0; step < 300; ++step) {
      const int col = g.GetCurrentDataCol(), row = g.GetCurrentDataRow();
      const bool listCell = (col == 2 || col == 3) && row >= 1 && row <= g.Rows() && !d.open();
      const int op = static_cast<int>(random() % 10);
      std::string expected;
      bool typedOnList = false;
      if (op < 4) {
        // One letter after a pause: the first choice it starts, the next one
        // from the cell's own choice, and no change when none starts with it.
        const QString letter = letters.at(static_cast<qsizetype>(random() % letters.size()));
        steps += " " + letter.toStdString();
        now += 2500;
        typedOnList = listCell;
        if (listCell) {
          const auto &choices = lists[col - 2];
          expected = g.GetCell(col, row).toString();
          const auto own = std::find(choices.begin(), choices.end(), expected);
          const std::size_t from = own == choices.end() ? 0 : own - choices.begin() + 1;
          for (std::size_t k = 0; k < choices.size(); ++k) {
            const std::string &choice = choices[(from + k) % choices.size()];
            if (fold(choice).startsWith(letter.toCaseFolded())) {
              expected = choice;
              break;
            }
          }
        }
        const int key = letter.toUpper().at(0).unicode();
        QTest::sendKeyEvent(QTest::Click, target(), Qt::Key(key < 0x80 ? key : 0), letter, {});
      } else if (op < 7) {
        const Qt::Key keys[] = {Qt::Key_Up,      Qt::Key_Down,   Qt::Key_Tab,
                                Qt::Key_Backtab, Qt::Key_Escape, Qt::Key_F4};
        const Qt::Key k = keys[random() % std::size(keys)];
        steps += " key" + std::to_string(k & 0xFF);
        QTest::keyClick(target(), k);
      } else if (op == 7) {
        const int at = 1 + static_cast<int>(random() % (g.Rows() + 1));
        steps += " insert" + std::to_string(at);
        g.InsertRow(at);
      } else if (op == 8 && g.Rows() > 0) {
        const int way = static_cast<int>(random() % 4);
        steps += (way == 3 ? " move" : " delete") + std::to_string(way);
        if (way == 0)
          g.DeleteRows(g.Rows(), g.Rows());
        else if (way == 1)
          g.SetRows(0);
        else if (way == 3) {
          const int from = 1 + static_cast<int>(random() % g.Rows());
          g.MoveRows(from, random() % 2 ? g.Rows() : 1 + static_cast<int>(random() % g.Rows()));
        } else {
          g.SelectRows(1, g.Rows());
          g.DeleteSelectedRows();
        }
      } else {
        const int rows = g.Rows() + static_cast<int>(random() % 2);
        steps += " rows" + std::to_string(rows);
        g.SetRows(rows);
        if (rows >= 1 && random() % 2)
          g.SetCell(2, rows, Variant(lists[0][random() % lists[0].size()]));
      }
      QApplication::processEvents();
      const std::string where = "seed " + std::to_string(seed) + ":" + steps;
      if (typedOnList && g.GetCurrentDataCol() == col && g.GetCurrentDataRow() == row) {
        ASSERT_EQ(d.cell(col, row), expected) << where;
      }
      for (int c = 2; c <= 3; ++c)
        for (int r = 1; r <= g.Rows(); ++r) {
          const std::string value = d.cell(c, r);
          ASSERT_TRUE(value.empty() || std::ranges::count(lists[c - 2], value) == 1)
              << value << " at " << c << "," << r << ", " << where;
        }
      ASSERT_EQ(g.RowCount(), g.Rows() + 1 + g.InsertRowFlag()) << where;
      ASSERT_TRUE(g.InsertRowFlag() == 1 || g.Row() == g.RowCount() - 1) << where;
      ASSERT_GE(g.RowCount(), 2) << where;
    }
  }
}

} // namespace
} // namespace marrowen

#include "components/buttonedit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <tuple>

using namespace marrowen;

namespace {

// An edit in a shown dialog with a default button, as the filter dialogs
// place them.
struct EditInDialog {
  QDialog dialog;
  TCustomComboEdit *edit = new TCustomComboEdit(&dialog);
  QPushButton *ok = new QPushButton("OK", &dialog);
  int buttonClicks = 0;
  int defaultClicks = 0;

  EditInDialog() {
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit);
    layout->addWidget(ok);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, [this] { ++defaultClicks; });
    edit->OnButtonClick = [this] { ++buttonClicks; };
    edit->setText("abc");
    dialog.show();
    edit->setFocus();
  }
  void clickButton() { QTest::mouseClick(&edit->button(), Qt::LeftButton); }
  void altDown() { QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier); }
};

} // namespace

TEST(ComboEdit, EnterFiresTheDefaultButtonAndInsertsNothing) {
  EditInDialog f;
  QTest::keyClick(f.edit, Qt::Key_Return);
  EXPECT_EQ(f.defaultClicks, 1);
  EXPECT_EQ(f.edit->text(), "abc");
}

TEST(ComboEdit, WithoutDirectInputTypingPasteAndCutAreRefusedButTheButtonWorks) {
  EditInDialog f;
  f.edit->SetDirectInput(false);
  QApplication::clipboard()->setText("pasted");
  QTest::keyClicks(f.edit, "xyz");
  f.edit->selectAll();
  QTest::keySequence(f.edit, QKeySequence::Cut);
  f.edit->setCursorPosition(1);
  QTest::keySequence(f.edit, QKeySequence::Paste);
  EXPECT_EQ(f.edit->text(), "abc");
  // Nor from code: directly, or by name as the menus ask.
  f.edit->selectAll();
  f.edit->cut();
  f.edit->paste();
  QLineEdit *asLineEdit = f.edit;
  for (const char *method : {"cut", "paste"})
    QMetaObject::invokeMethod(asLineEdit, method, Qt::DirectConnection);
  EXPECT_EQ(f.edit->text(), "abc");
  f.clickButton();
  f.altDown();
  EXPECT_EQ(f.buttonClicks, 2);
}

TEST(ComboEdit, EntryByTabSelectsAllOnlyWithAutoSelectAndDirectInput) {
  EditInDialog f;
  for (const auto &[autoSelect, direct, selected] :
       {std::tuple{true, true, true}, {false, true, false}, {true, false, false}}) {
    f.edit->SetAutoSelect(autoSelect);
    f.edit->SetDirectInput(direct);
    f.edit->deselect();
    QFocusEvent tab(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(f.edit, &tab);
    EXPECT_EQ(f.edit->hasSelectedText(), selected) << autoSelect << direct;
  }
}

// Only a left press on the text puts the caret where it was pressed; entry by
// the button or by a right press selects the text, which the button's dialog
// or the context menu's Paste then replaces.
TEST(ComboEdit, EntryByAPressSelectsAllUnlessItIsALeftPressOnTheText) {
  EditInDialog f;
  QApplication::setActiveWindow(&f.dialog);
  f.edit->OnContextPopup = [](QPoint, bool &handled) { handled = true; };
  for (const auto &[button, onTheButton, selected] : {std::tuple{Qt::LeftButton, false, false},
                                                      {Qt::RightButton, false, true},
                                                      {Qt::LeftButton, true, true},
                                                      {Qt::RightButton, true, true}}) {
    f.ok->setFocus();
    f.edit->deselect();
    QWidget *target = onTheButton ? static_cast<QWidget *>(&f.edit->button()) : f.edit;
    QTest::mouseClick(target, button, {}, QPoint(3, 3));
    EXPECT_TRUE(f.edit->hasFocus());
    EXPECT_EQ(f.edit->hasSelectedText(), selected) << button << onTheButton;
  }
  EXPECT_EQ(f.buttonClicks, 1);
}

// Only entering the box selects its text: focus that comes back from a menu
// or another window keeps the user's selection, which a paste then replaces.
TEST(ComboEdit, FocusComingBackFromAnotherWindowOrAMenuKeepsTheSelection) {
  EditInDialog f;
  QApplication::setActiveWindow(&f.dialog);
  f.edit->setSelection(1, 1);
  QApplication::setActiveWindow(nullptr);
  QApplication::setActiveWindow(&f.dialog);
  EXPECT_EQ(f.edit->selectedText(), "b");
  QApplication::clipboard()->setText("XY");
  QTimer::singleShot(0, [] {
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction *action : menu->actions())
      if (action->text().startsWith("&Paste"))
        menu->setActiveAction(action);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                          f.edit->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(f.edit, &event);
  EXPECT_TRUE(QTest::qWaitFor([] { return !QApplication::activePopupWidget(); }));
  EXPECT_EQ(f.edit->text(), "aXYc");
}

TEST(ComboEdit, ReadOnlyRefusesTypingAndTheButton) {
  EditInDialog f;
  f.edit->SetReadOnly(true);
  QTest::keyClicks(f.edit, "xyz");
  f.clickButton();
  f.altDown();
  EXPECT_EQ(f.edit->text(), "abc");
  EXPECT_EQ(f.buttonClicks, 0);
  f.edit->SetReadOnly(false);
  f.clickButton();
  EXPECT_EQ(f.buttonClicks, 1);
}

TEST(ComboEdit, AltDownPressesAVisibleButtonOnceAndAHiddenOneNever) {
  EditInDialog f;
  f.altDown();
  EXPECT_EQ(f.buttonClicks, 1);
  for (int width : {0, 1}) {
    f.edit->SetButtonWidth(width);
    EXPECT_FALSE(f.edit->buttonContainer().isVisible());
    f.altDown();
  }
  // A width too wide to take leaves the hidden button hidden.
  f.edit->SetButtonWidth(f.edit->width() + 10);
  EXPECT_FALSE(f.edit->buttonContainer().isVisible());
  f.altDown();
  EXPECT_EQ(f.buttonClicks, 1);
  f.edit->SetButtonWidth(21);
  EXPECT_TRUE(f.edit->buttonContainer().isVisible());
  f.edit->SetClickKey(0x4000 + 'B'); // Ctrl+B
  f.altDown();
  QTest::keyClick(f.edit, Qt::Key_B, Qt::ControlModifier);
  EXPECT_EQ(f.buttonClicks, 2);
  EXPECT_EQ(f.edit->text(), "abc");
}

// After any run of typing, pastes, presses and changes of the box's settings,
// the text takes input exactly while DirectInput is on and ReadOnly off, and
// the button is pressed, by mouse or key, exactly while it is shown, the box
// enabled and not ReadOnly.
TEST(ComboEdit, RandomRunsKeepTheInputAndButtonRules) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::mt19937 random(seed);
    EditInDialog f;
    QApplication::clipboard()->setText("P");
    QString text = f.edit->text(), steps;
    bool direct = true, readOnly = false, enabled = true, shown = true;
    int clicks = 0;
    for (int step = 0; step < 150; ++step) {
      const int op = int(random() % 8);
      steps += QString::number(op) + ' ';
      const bool typing = direct && !readOnly && enabled;
      const bool pressable = shown && enabled && !readOnly;
      switch (op) {
      case 0:
        f.edit->SetDirectInput(direct = random() % 2);
        break;
      case 1:
        f.edit->SetReadOnly(readOnly = random() % 3 == 0);
        break;
      case 2:
        f.edit->setEnabled(enabled = random() % 4 != 0);
        break;
      case 3: {
        const int width = std::array{0, 1, 15, 21, 500}[random() % 5];
        f.edit->SetButtonWidth(width);
        if (width < f.edit->width())
          shown = width >= 2;
        break;
      }
      case 4:
        f.edit->end(false);
        QTest::keyClick(f.edit, Qt::Key_X);
        text += typing ? "x" : "";
        break;
      case 5:
        f.edit->end(false);
        f.edit->paste();
        text += direct && !readOnly ? "P" : "";
        break;
      case 6:
        f.altDown();
        clicks += pressable;
        break;
      case 7: // a person clicks only a button they see
        if (f.edit->button().isVisible() && f.edit->ButtonWidth() > 2) {
          f.clickButton();
          clicks += pressable;
        }
        break;
      }
      ASSERT_EQ(f.edit->text(), text) << "seed " << seed << ": " << steps.toStdString();
      ASSERT_EQ(f.buttonClicks, clicks) << "seed " << seed << ": " << steps.toStdString();
      ASSERT_EQ(f.edit->isReadOnly(), !direct || readOnly);
      ASSERT_EQ(f.edit->buttonContainer().isVisibleTo(f.edit), shown);
    }
  }
}

TEST(ComboEdit, ButtonStaysInsideTheFrameAndTheTextClearOfIt) {
  EditInDialog f;
  f.edit->resize(200, 30);
  const QRect button = f.edit->buttonContainer().geometry();
  EXPECT_LE(button.right(), f.edit->width() - 1);
  EXPECT_GE(button.top(), 0);
  EXPECT_GE(f.edit->textMargins().right(), button.width());
  // A width the edit cannot hold is ignored, whether or not the edit is shown yet.
  f.edit->SetButtonWidth(200);
  EXPECT_EQ(f.edit->ButtonWidth(), 21);
  TCustomComboEdit unshown;
  unshown.SetButtonWidth(unshown.width());
  EXPECT_EQ(unshown.ButtonWidth(), 21);
  unshown.SetButtonWidth(30);
  EXPECT_EQ(unshown.ButtonWidth(), 30);
  f.edit->resize(200, 2);
  EXPECT_GE(f.edit->height(), f.edit->minimumTextHeight() + 5);
}

TEST(ComboEdit, OwnerCanReplaceTheContextMenu) {
  EditInDialog f;
  int asked = 0;
  f.edit->OnContextPopup = [&](QPoint, bool &handled) {
    ++asked;
    handled = true; // the edit's own menu would block here
  };
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                          f.edit->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(f.edit, &event);
  EXPECT_EQ(asked, 1);
}

TEST(ComboEdit, EllipsisAndDropDownGlyphsFollowTheButtonWidth) {
  TCustomComboEdit edit;
  edit.SetGlyphKind(TCustomComboEdit::gkEllipsis);
  EXPECT_EQ(edit.Glyph().size(), QSize(15, 4));
  EXPECT_EQ(edit.NumGlyphs(), 1);
  edit.SetGlyphKind(TCustomComboEdit::gkDropDown);
  EXPECT_EQ(edit.ButtonWidth(), edit.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  edit.SetGlyph(QImage(30, 10, QImage::Format_ARGB32));
  EXPECT_EQ(edit.GlyphKind(), TCustomComboEdit::gkCustom);
  EXPECT_EQ(edit.NumGlyphs(), 3);
}

namespace {

// A descendant with a drop-down, as the hooks allow: the popup offers "chosen".
class TPopupEdit : public TCustomComboEdit {
public:
  QWidget list;
  int popupChanges = 0;
  explicit TPopupEdit(QWidget *parent = nullptr, Qt::WindowFlags listFlags = Qt::Popup)
      : TCustomComboEdit(parent), list(nullptr, listFlags) {
    setPopup(&list);
  }

protected:
  void GetPopupValue(QVariant &value) override { value = QStringLiteral("chosen"); }
  void PopupChange() override { ++popupChanges; }
};

} // namespace

// While the popup is open a change of the text is the popup's affair; the
// change event comes once, with the value the popup gives.
TEST(ComboEdit, WhileAPopupIsOpenChangesGoToItAndItsValueFiresTheChangeEventOnce) {
  TPopupEdit edit;
  edit.show();
  int changes = 0;
  QObject::connect(&edit, &TCustomComboEdit::changed, [&] { ++changes; });
  edit.setText("typed");
  EXPECT_EQ(changes, 1);
  edit.ButtonClick();
  ASSERT_TRUE(edit.popupVisible());
  edit.setText("while open");
  EXPECT_EQ(edit.popupChanges, 1);
  EXPECT_EQ(changes, 1);
  edit.closePopup(true);
  EXPECT_EQ(edit.text(), "chosen");
  EXPECT_EQ(changes, 2);
}

// The press that closes the popup is not also a click; released off the
// button it makes no click, and the next press of the button still counts.
TEST(ComboEdit, OnlyTheClickOfThePressThatClosedThePopupIsSwallowed) {
  QWidget window;
  auto *edit = new TPopupEdit(&window, Qt::Tool);
  (new QVBoxLayout(&window))->addWidget(edit);
  int presses = 0;
  edit->OnButtonClick = [&] { ++presses; };
  window.show();
  edit->ButtonClick();
  ASSERT_TRUE(edit->popupVisible());
  QTest::mousePress(&edit->button(), Qt::LeftButton);
  EXPECT_FALSE(edit->popupVisible());
  QTest::mouseRelease(&edit->button(), Qt::LeftButton, {}, QPoint(-40, -40));
  QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(presses, 2);
  EXPECT_TRUE(edit->popupVisible());
  QTest::mouseClick(&edit->button(), Qt::LeftButton);
  EXPECT_EQ(presses, 2); // closing it
  EXPECT_FALSE(edit->popupVisible());
}

// Without DirectInput the popup is the one way to change the text; ReadOnly
// keeps even that out.
TEST(ComboEdit, APopupSetsTheTextWithoutDirectInputButNotWhenReadOnly) {
  for (const bool readOnly : {false, true}) {
    TPopupEdit edit;
    edit.setText("old");
    edit.SetDirectInput(false);
    edit.SetReadOnly(readOnly);
    edit.show();
    edit.ButtonClick();
    EXPECT_EQ(edit.popupVisible(), !readOnly);
    edit.closePopup(true);
    EXPECT_EQ(edit.text(), readOnly ? "old" : "chosen");
    EXPECT_TRUE(edit.isReadOnly());
  }
}

// A press anywhere but on the box, its button or the popup cancels the popup,
// as does a popup that closes itself; the text stays.
TEST(ComboEdit, APressElsewhereClosesThePopupWithoutTakingItsValue) {
  for (const Qt::WindowFlags listFlags : {Qt::Tool, Qt::Popup}) {
    QWidget window;
    auto *edit = new TPopupEdit(&window, listFlags);
    auto *elsewhere = new QPushButton("elsewhere", &window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(elsewhere);
    elsewhere->setFocusPolicy(Qt::NoFocus);
    auto *inList = new QPushButton("in the list", &edit->list);
    window.show();
    edit->setText("old");
    edit->ButtonClick();
    ASSERT_TRUE(edit->popupVisible());
    QTest::mouseClick(inList, Qt::LeftButton);
    EXPECT_TRUE(edit->popupVisible());
    window.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(edit->list.layoutDirection(), Qt::RightToLeft);
    if (listFlags == Qt::Popup)
      edit->list.close();
    else
      QTest::mouseClick(elsewhere, Qt::LeftButton);
    EXPECT_FALSE(edit->popupVisible());
    EXPECT_FALSE(edit->list.isVisible());
    EXPECT_EQ(edit->text(), "old");
  }
}

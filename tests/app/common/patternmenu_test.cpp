#include "app/common/patternmenu.h"

#include "app/common/memos.h"
#include "app/nodedialogs/dialogbase.h"
#include "app_testing.h"
#include "dialog_testing.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>

namespace marrowen {
namespace {

using testing::AppTest;

class PatternMenu : public AppTest {
protected:
  TmenuForm menu;
};

TEST_F(PatternMenu, InsertItemsPutTheirTextAtTheCaret) {
  const std::pair<int, const char *> cases[] = {
      {112, "$c"},  {100, "$0"}, {135, "$z"}, {34, "\\("},
      {61, "(a1)"}, {1, "\\\\"}, {2, "@@"},   {6, "\\t"},
      {12, "\\cC"}, {51, "\\d"}, {69, "a1?"}, {21, "@fullInputFilename"}};
  for (const auto &[tag, text] : cases) {
    QLineEdit field;
    field.setText("<>");
    field.setCursorPosition(1);
    menu.preparePopup(&field, true);
    ASSERT_NE(menu.itemWithTag(tag), nullptr) << tag;
    menu.itemWithTag(tag)->trigger();
    EXPECT_EQ(field.text(), QString("<") + text + ">") << tag;
    field.undo();
    EXPECT_EQ(field.text(), "<>") << "an insert is one undoable step: " << tag;
  }
}

// The field gets the escaped text, letters of any script as they are; the
// clipboard keeps what it held, for every other program.
TEST_F(PatternMenu, PasteEscapesControlsOfOneLineFieldsOnly) {
  QLineEdit line("x");
  line.selectAll();
  menu.preparePopup(&line, true);
  const QString copied = QStringLiteral("na\u00efve\t\u65e5\u672c \u20ac\U0001F600");
  QApplication::clipboard()->setText(copied);
  menu.Paste1Click();
  EXPECT_EQ(line.text(), QStringLiteral("na\u00efve\\t\u65e5\u672c \u20ac\U0001F600"));
  EXPECT_EQ(QApplication::clipboard()->text(), copied);

  QPlainTextEdit memo;
  menu.preparePopup(&memo, false);
  QApplication::clipboard()->setText(QString("a\tb\x01\n\u00fc"));
  menu.Paste1Click();
  EXPECT_EQ(memo.toPlainText(), QString("a\tb\\001\n\u00fc"));
  EXPECT_EQ(QApplication::clipboard()->text(), QString("a\tb\x01\n\u00fc"));
}

// A field cut short for display, or a memo being filled, keeps its text
// whatever the menu offers; it may still be copied.
TEST_F(PatternMenu, AReadOnlyFieldKeepsItsTextAndTheClipboardItsText) {
  QLineEdit line("keep");
  QPlainTextEdit memo("keep");
  for (QWidget *field : {static_cast<QWidget *>(&line), static_cast<QWidget *>(&memo)}) {
    field->setProperty("readOnly", true);
    menu.preparePopup(field, field == &line);
    for (const char *name :
         {"Cut1", "Delete1", "Paste1", "Pastespecial1", "Clearentirefield1", "Undo1"}) {
      QApplication::clipboard()->setText("a\tb");
      menu.Selectall1Click();
      menu.command(name)->trigger();
      menu.itemWithTag(6)->trigger();
      EXPECT_EQ(TextTarget(field).text(), "keep") << name;
      EXPECT_EQ(QApplication::clipboard()->text(), "a\tb") << name;
    }
    menu.Selectallandcopy1Click();
    EXPECT_EQ(QApplication::clipboard()->text(), "keep");
  }
}

TEST_F(PatternMenu, EachKindOfTargetShowsItsOwnCommands) {
  auto shown = [&](const char *name) { return menu.command(name)->isVisible(); };
  QLineEdit line;
  QPlainTextEdit memo;
  QTextEdit rich;
  QSpinBox spin;
  menu.preparePopup(&line, true);
  EXPECT_FALSE(shown("Loadfromfile1") || shown("Find1") || shown("Font1"));
  menu.preparePopup(&memo, false);
  EXPECT_TRUE(shown("Loadfromfile1") && shown("Savetofile1"));
  EXPECT_FALSE(shown("Find1") || shown("Findnext1") || shown("Font1"));
  menu.preparePopup(&rich, false);
  EXPECT_TRUE(shown("Find1") && shown("Findnext1") && shown("Font1"));
  menu.preparePopupHWND(&rich, false);
  for (const char *name : {"Loadfromfile1", "Savetofile1", "Find1", "Findnext1", "Font1"})
    EXPECT_FALSE(shown(name)) << name;
  EXPECT_TRUE(menu.specialSubmenu()->menuAction()->isVisible());
  EXPECT_FALSE(menu.regexpSubmenu()->menuAction()->isVisible());
  EXPECT_FALSE(menu.specialDollarItem()->isVisible());
  ASSERT_EQ(menu.treeIconList().size(), 41u) << "every image index of the tree, 39 and 40";
  for (int index : {1, 13, 14, 21, 37, 39, 40})
    EXPECT_FALSE(menu.treeIconList()[static_cast<std::size_t>(index)].isNull()) << index;

  // Spin and combo boxes are reached through their own line edits.
  menu.preparePopupHWND(&spin, true);
  EXPECT_EQ(menu.target().widget(), spin.findChild<QLineEdit *>());
  QComboBox combo;
  combo.setEditable(true);
  menu.preparePopupHWND(&combo, true);
  menu.menuItemClick(50);
  EXPECT_EQ(combo.currentText(), ".");
}

TEST_F(PatternMenu, FindTakesTheTypingOnScreenAndFindNextWrapsToTheTop) {
  QTextEdit rich;
  rich.setPlainText("ab xab ab");
  // A field that reaches the right edge of the screen.
  const QRect area = rich.screen()->availableGeometry();
  rich.setGeometry(area.right() - 300, area.top() + 100, 300, 100);
  rich.show();
  QApplication::setActiveWindow(&rich);
  menu.preparePopup(&rich, false);
  menu.Find1Click();
  TFindDialog &find = menu.findDialog();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&find));
  EXPECT_TRUE(area.contains(find.frameGeometry())) << "on screen, where it can be used";
  // What is typed next is what to look for; the field is left as it was.
  QTest::keyClicks(QApplication::focusWidget(), "ab");
  EXPECT_EQ(find.findText(), "ab");
  EXPECT_EQ(rich.toPlainText(), "ab xab ab");
  find.hide();
  std::vector<int> starts;
  for (int i = 0; i < 5; ++i) {
    menu.Findnext1Click();
    const QTextCursor cursor = rich.textCursor();
    starts.push_back(cursor.hasSelection() ? cursor.selectionStart() : -cursor.position());
  }
  // The fourth search finds nothing: the caret goes to the end (-9), and the
  // next starts again from the top.
  EXPECT_EQ(starts, (std::vector<int>{0, 4, 7, -9, 0}));

  // A field of a modal dialog, such as the replace prompt's, is searched
  // from a box that the dialog does not shut out.
  QDialog prompt;
  auto *replacement = new QTextEdit(&prompt);
  prompt.setModal(true);
  prompt.show();
  menu.preparePopup(replacement, false);
  menu.Find1Click();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&find));
  EXPECT_EQ(find.parentWidget(), &prompt);
}

TEST_F(PatternMenu, DialogFieldsOfferTheMenuOnRightClick) {
  TdefaultForm1 form(nullptr, nullptr);
  auto *field = new QLineEdit(&form);
  form.prepareNoFrillsPopup(
      field, [](TmenuForm &m) { m.patternSubmenu()->menuAction()->setVisible(true); });
  emit field->customContextMenuRequested(QPoint(1, 1));
  TmenuForm &shared = TmenuForm::instance();
  EXPECT_EQ(shared.target().widget(), field);
  EXPECT_FALSE(shared.specialSubmenu()->menuAction()->isVisible());
  EXPECT_TRUE(shared.patternSubmenu()->menuAction()->isVisible());
  shared.memoMenu()->hide();
}

TEST_F(PatternMenu, SharedChecksReportThroughTheStatusBar) {
  testing::RecordingSite site;
  testRegExp(site, "");
  EXPECT_EQ(site.status, "Warning: Pattern is blank - all lines will be matched");
  testRegExp(site, "a(b");
  EXPECT_TRUE(site.statusIsError);
  EXPECT_NE(site.status, "");
  testRegExp(site, "a(b)");
  EXPECT_EQ(site.status, "");
  EXPECT_FALSE(site.statusIsError);

  EXPECT_EQ(fromDisplayHandleError(site, "a\\tb"), "a\tb");
  EXPECT_EQ(fromDisplayHandleError(site, "a\\xZ1"), "a\\xZ1") << "the text itself comes back";
  EXPECT_TRUE(site.statusIsError);
  stringFieldChange(site, "a\\xZ1");
  EXPECT_EQ(site.changes, 1) << "a text that does not decode yet is still an edit";
  EXPECT_TRUE(site.statusIsError);
  stringFieldChange(site, "a\t");
  EXPECT_EQ(site.changes, 2);
  EXPECT_EQ(site.status, "");
}

} // namespace
} // namespace marrowen

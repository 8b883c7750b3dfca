#include "classlib/utf8.h"
#include "grid/editors/celleditors.h"
#include "grid/editors/editorwrappers.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace marrowen {
namespace {

// An editor in a window of its own, focused, with its changes recorded.
struct Editor {
  QWidget window;
  TdgGridEditBox *box = new TdgGridEditBox(&window);
  std::vector<std::string> changes;
  bool lastInserted = false;
  std::vector<std::uint16_t> leftForGrid;

  explicit Editor(const std::string &text, int width = 120, int height = 16) {
    window.resize(300, 100);
    box->setGeometry(5, 5, width, height);
    box->SetWordWrap(wwOff);
    box->SetText(text);
    box->OnChange = [this](TdgGridControl *, bool notify, bool, bool inserted) {
      if (notify) {
        changes.push_back(box->Text());
        lastInserted = inserted;
      }
    };
    box->OnEditKeyDown = [this](TdgGridControl *, std::uint16_t &key, TShiftState) {
      leftForGrid.push_back(key);
    };
    box->show();
    window.show();
    QApplication::setActiveWindow(&window);
    box->setFocus();
    QApplication::processEvents();
  }
  // Answers whether the editor kept the key.
  bool press(std::uint16_t key, TShiftState shift = {}) {
    const std::size_t before = leftForGrid.size();
    box->KeyDown(key, shift);
    return leftForGrid.size() == before;
  }
  void release(std::uint16_t key) { box->KeyUp(key, TShiftState()); }
};

TEST(GridEditBox, KeysAtTheEdgesAreLeftForTheGrid) {
  Editor e("");
  for (std::uint16_t key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN}) {
    EXPECT_FALSE(e.press(key)) << key;
    e.release(key);
  }
  EXPECT_TRUE(e.press(VK_HOME));
  EXPECT_TRUE(e.press(VK_END));
  e.release(VK_END);

  Editor t("abc");
  t.box->SetSelStart(3);
  EXPECT_FALSE(t.press(VK_RIGHT)) << "a fresh Right at the end";
  EXPECT_TRUE(t.press(VK_RIGHT)) << "held down, it stays";
  t.release(VK_RIGHT);
  EXPECT_TRUE(t.press(VK_LEFT));
  EXPECT_EQ(t.box->CaretPos(), 2);
  t.release(VK_LEFT);
  t.box->SelectAll();
  EXPECT_FALSE(t.press(VK_LEFT)) << "the whole text selected";
}

TEST(GridEditBox, TypingKeepsToMaxLengthAndWholeCharacters) {
  Editor e("");
  e.box->SetMaxLength(5);
  QTest::keyClicks(e.box, "abcd");
  QTest::keyClicks(e.box, "e");
  EXPECT_EQ(e.box->Text(), "abcde");
  QTest::keyClicks(e.box, "f");
  EXPECT_EQ(e.box->Text(), "abcde") << "full";
  e.box->SetSelStart(1);
  e.box->SetSelLength(1);
  QTest::keyClicks(e.box, "X");
  EXPECT_EQ(e.box->Text(), "aXcde") << "a selected character can be replaced";
  EXPECT_TRUE(e.lastInserted);

  // The limit counts characters, a UTF-8 letter one: "abcd" takes an "ä",
  // and "日本語" is kept whole.
  Editor w("abcd");
  w.box->SetMaxLength(5);
  w.box->SetSelStart(4);
  for (const QString &text : {QStringLiteral("\u00e4"), QStringLiteral("b")})
    QTest::sendKeyEvent(QTest::Click, w.box, Qt::Key_unknown, text, Qt::NoModifier);
  EXPECT_EQ(w.box->Text(), "abcd\xC3\xA4");
  Editor j("");
  j.box->SetMaxLength(5);
  QApplication::clipboard()->setText(QStringLiteral("\u65e5\u672c\u8a9e"));
  j.box->PasteFromClipboard(true);
  j.box->PasteFromClipboard(true);
  EXPECT_EQ(j.box->Text(), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E") << "six would pass the limit";

  // Typed letters are kept as UTF-8, those the code page lacks too, and a
  // caret step, Backspace or Delete takes a whole one; a stored code-page
  // byte stays one character.
  Editor u("\xE9");
  u.box->SetSelStart(1);
  for (const QString &text : {QString("z"), QString(QChar(0x03A9)), QStringLiteral("\u00e9"),
                              QStringLiteral("\U0001F600"), QString("!")}) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(u.box, &key);
  }
  EXPECT_EQ(u.box->Text(), "\xE9z\xCE\xA9\xC3\xA9\xF0\x9F\x98\x80!");
  const struct {
    std::vector<std::uint16_t> keys;
    std::string text;
  } steps[] = {{{VK_LEFT, VK_BACK}, "\xE9z\xCE\xA9\xC3\xA9!"},
               {{VK_LEFT, VK_LEFT, VK_DELETE}, "\xE9z\xC3\xA9!"},
               {{VK_LEFT, VK_BACK}, "z\xC3\xA9!"}};
  for (const auto &step : steps) {
    for (std::uint16_t key : step.keys)
      u.press(key);
    EXPECT_EQ(u.box->Text(), step.text);
  }
  // A click anywhere, or a place set in bytes, puts the caret between
  // characters.
  for (int x = 0; x < 60; ++x) {
    u.box->MouseDown(mbLeft, TShiftState(ssLeft), x, 5);
    u.box->MouseUp(mbLeft, TShiftState(), x, 5);
    const auto caret = static_cast<std::size_t>(u.box->CaretPos());
    EXPECT_EQ(utf8::characterBoundaryFrom(u.box->Text(), caret), caret) << x;
  }
  u.box->SetSelStart(2);
  EXPECT_EQ(u.box->CaretPos(), 1);
  u.box->SetMaxLength(5);
  for (QChar c : {QChar(0x03A9), QChar(0x65E5), QChar(0x672C)}) {
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(u.box, &typed);
  }
  EXPECT_EQ(u.box->Text(), "z\xCE\xA9\xE6\x97\xA5\xC3\xA9!")
      << "a sixth character would pass the limit";
}

TEST(GridEditBox, PastedLineBreaksAndCtrlEnter) {
  const struct {
    const char *clipboard;
    const char *pasted;
  } cases[] = {{"a\rb", "a\r\nb"}, {"a\r\nb", "a\r\nb"}, {"a\nb", "a\nb"}};
  for (const auto &c : cases) {
    Editor e("");
    QApplication::clipboard()->setText(QString::fromLatin1(c.clipboard));
    e.box->PasteFromClipboard(true);
    EXPECT_EQ(e.box->Text(), c.pasted) << c.clipboard;
  }
  Editor e("xy");
  e.box->SetSelStart(1);
  EXPECT_TRUE(e.press(VK_RETURN, TShiftState(ssCtrl)));
  EXPECT_EQ(e.box->Text(), "x\r\ny");
  EXPECT_TRUE(e.lastInserted);
  EXPECT_EQ(e.changes.size(), 1u);
}

TEST(GridEditBox, RefusalsChangeNothingAndEscapeUndoes) {
  Editor e("abc");
  bool refuse = true;
  e.box->OnCanEdit = [&](TdgGridControl *, bool byUser, bool &cancel) {
    cancel = refuse && byUser;
  };
  QTest::keyClicks(e.box, "z");
  EXPECT_EQ(e.box->Text(), "abc");
  EXPECT_TRUE(e.changes.empty());
  refuse = false;
  e.box->SelectAll();
  QTest::keyClicks(e.box, "z");
  EXPECT_EQ(e.box->Text(), "z");
  EXPECT_TRUE(e.press(VK_ESCAPE));
  EXPECT_EQ(e.box->Text(), "abc");
  EXPECT_FALSE(e.press(VK_ESCAPE)) << "nothing left to undo: the grid's turn";
}

TEST(GridEditBox, ARightAlignedCaretStandsAtTheRightEdge) {
  Editor e("12");
  e.box->SetHorzAlignment(htaRight);
  e.box->SetText("12");
  EXPECT_EQ(e.box->CaretPos(), 2);
  const int before = e.box->CaretPoint().x();
  EXPECT_GT(before, e.box->width() - 5);
  QTest::keyClicks(e.box, "3");
  EXPECT_EQ(e.box->Text(), "123");
  EXPECT_EQ(e.box->CaretPoint().x(), before) << "typing keeps the text at the right edge";
}

// The end of a wrapped line is also the start of the next: a caret put
// there by End, Up, Down or a click shows on the line it was put on.
TEST(GridEditBox, UpAndDownGoOneWrappedLineAtATime) {
  Editor e("aaaa bbbb cccc dddd", 60, 80);
  e.box->SetWordWrap(wwOn);
  ASSERT_GE(e.box->LineCount(), 3);
  e.press(VK_END);
  const int line = e.box->CaretPoint().y();
  EXPECT_EQ(line, 0);
  e.press(VK_DOWN);
  const int down = e.box->CaretPoint().y();
  EXPECT_GT(down, line);
  EXPECT_EQ(e.box->CaretPos(), 10) << "the end of the second line";
  e.press(VK_DOWN);
  EXPECT_EQ(e.box->CaretPoint().y(), 2 * down);
  e.press(VK_UP);
  e.press(VK_UP);
  EXPECT_EQ(e.box->CaretPoint().y(), line);
  e.box->MouseDown(mbLeft, TShiftState(ssLeft), 58, down + 2);
  EXPECT_EQ(e.box->CaretPoint().y(), down) << "a click right of a line's end";
  e.box->SetVertAlignment(vtaCenter);
  e.box->MouseDown(mbLeft, TShiftState(ssLeft), 1, e.box->CaretPoint().y() + 2);
  EXPECT_EQ(e.box->CaretPos(), 5) << "centred lines are clicked where they show";
}

TEST(GridEditBox, EndOnALongLineScrollsAsFarAsNeeded) {
  Editor e(std::string(2000, 'w'));
  e.press(VK_END);
  EXPECT_GT(e.box->ScrollStart(), 0);
  EXPECT_LT(e.box->CaretPoint().x(), e.box->width());
  EXPECT_GE(e.box->CaretPoint().x(), e.box->width() - 20);
  e.press(VK_HOME);
  EXPECT_EQ(e.box->ScrollStart(), 0);
}

TEST(GridEditBox, ASelectionDraggedBelowSeveralLinesScrollsWhileTheMouseWaits) {
  std::string text;
  for (int i = 0; i < 30; ++i)
    text += "line\r\n";
  Editor e(text, 120, 40);
  e.box->SetWordWrap(wwOn);
  e.box->MouseDown(mbLeft, TShiftState(ssLeft), 5, 5);
  e.box->MouseMove(TShiftState(ssLeft), 5, 60); // below the box, held there
  const int top = e.box->TopLine();
  EXPECT_GT(top, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return e.box->TopLine() > top + 2; }, 3000));
  const int far = e.box->TopLine();
  e.box->MouseMove(TShiftState(ssLeft), 5, -5); // above: back up a line at a time
  EXPECT_EQ(e.box->TopLine(), far - 1);
  e.box->MouseUp(mbLeft, TShiftState(ssLeft), 5, -5);
  const int stopped = e.box->TopLine();
  QTest::qWait(120);
  EXPECT_EQ(e.box->TopLine(), stopped) << "the release stops the scrolling";
}

// ------------------------------------------------------------------ check box

struct Check {
  QWidget window;
  TdgGridCheckBox *box = new TdgGridCheckBox(&window);
  explicit Check(bool grayed) {
    box->setGeometry(0, 0, 30, 16);
    box->SetAllowGrayed(grayed);
    box->SetValue(Variant(std::int32_t(0)));
    box->show();
    window.show();
  }
  void click(int x = 10) {
    box->MouseDown(mbLeft, TShiftState(ssLeft), x, 5);
    box->MouseUp(mbLeft, TShiftState(ssLeft), x, 5);
  }
};

TEST(GridCheckBox, ClicksCycleTheStates) {
  for (const bool grayed : {false, true}) {
    Check c(grayed);
    std::vector<int> states;
    for (int i = 0; i < 3; ++i) {
      c.click();
      states.push_back(c.box->State());
    }
    EXPECT_EQ(states, grayed ? std::vector<int>({1, 2, 0}) : std::vector<int>({1, 0, 1}));
  }
  // A Null cell is read through the value texts like a text one.
  Check c(true);
  c.box->SetCheckBoxValues("Yes|No|Null");
  c.box->SetValue(Variant::Null());
  EXPECT_EQ(c.box->State(), 2);
  c.click();
  EXPECT_EQ(c.box->State(), 0);
  EXPECT_EQ(c.box->GetValue().toString(), "No");
}

TEST(GridCheckBox, NoToggleOutsideOrWhenRefused) {
  Check c(false);
  c.box->MouseDown(mbLeft, TShiftState(ssLeft), 10, 5);
  c.box->MouseMove(TShiftState(ssLeft), 100, 5);
  EXPECT_FALSE(c.box->Pressed());
  c.box->MouseUp(mbLeft, TShiftState(ssLeft), 100, 5);
  EXPECT_EQ(c.box->State(), 0) << "released outside";

  c.box->OnStartEdit = [](TdgGridControl *, bool &cancel) { cancel = true; };
  c.box->MouseDown(mbLeft, TShiftState(ssLeft), 10, 5);
  EXPECT_FALSE(c.box->Pressed());
  c.box->MouseUp(mbLeft, TShiftState(ssLeft), 10, 5);
  char space = ' ';
  c.box->KeyPress(space);
  EXPECT_FALSE(c.box->Pressed()) << "a refused space shows no pressed look";
  std::uint16_t key = VK_SPACE;
  c.box->KeyUp(key, TShiftState());
  EXPECT_EQ(c.box->State(), 0) << "and its release toggles nothing";

  key = VK_ESCAPE;
  c.box->KeyDown(key, TShiftState());
  EXPECT_EQ(key, VK_ESCAPE) << "nothing changed: Escape is not used";
}

TEST(GridCheckBox, SpaceTogglesAndEscapeUndoes) {
  Check c(false);
  char space = ' ';
  c.box->KeyPress(space);
  EXPECT_TRUE(c.box->Pressed());
  std::uint16_t key = VK_SPACE;
  c.box->KeyUp(key, TShiftState());
  EXPECT_EQ(c.box->State(), 1);
  key = VK_ESCAPE;
  c.box->KeyDown(key, TShiftState());
  EXPECT_EQ(key, 0);
  EXPECT_EQ(c.box->State(), 0);
}

TEST(GridControlWrappers, UnchangedPlaceAndLookMakeNoCall) {
  QWidget parent;
  TdgEditGridControl edit(&parent);
  edit.SetBounds(QRect(3, 4, 50, 20));
  edit.Show();
  const int calls = edit.ControlCalls();
  edit.SetLeft(3);
  edit.SetTop(4);
  edit.SetWidth(50);
  edit.SetHeight(20);
  edit.SetVisible(true);
  edit.SetBounds(QRect(3, 4, 50, 20));
  EXPECT_EQ(edit.ControlCalls(), calls);
  edit.SetValue(Variant("one"));
  EXPECT_FALSE(edit.IsMultiLine());

  TdgDefaultGridControl none(&parent);
  none.SetColor(0x0000FF);
  none.SetValue(Variant("x"));
  EXPECT_EQ(none.GetColor(), clNone);
  EXPECT_TRUE(none.GetValue().isEmpty());
  EXPECT_EQ(none.ControlCalls(), 0);
}

} // namespace
} // namespace marrowen

#include "grid/editing/combo.h"
#include "grid/editors/editorwrappers.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/screencheck.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

namespace marrowen {
namespace {

// A grid of 3 text columns and 3 rows (or as many as asked, in a dialog of
// the size asked) in a dialog with a default button and a line edit after
// it, shown and focused. Cell (2, 3) holds "b3".
struct InDialog {
  QDialog dialog;
  TdgGrid *grid = new TdgGrid;
  QPushButton *ok = new QPushButton("OK");
  QLineEdit *after = new QLineEdit;
  int defaultPressed = 0;

  explicit InDialog(TdgGridMode mode = gmEdit, bool alwaysShowEditor = true, int cols = 3,
                    int rows = 3, QSize size = {400, 300}) {
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(grid);
    layout->addWidget(after);
    layout->addWidget(ok);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, [this] { ++defaultPressed; });
    grid->SetStoreData(true);
    grid->SetCols(cols);
    grid->SetRows(rows);
    grid->SetGridMode(mode);
    grid->SetAlwaysShowEditor(alwaysShowEditor);
    for (int c = 1; c <= cols; ++c)
      for (int r = 1; r <= rows; ++r)
        grid->SetCell(c, r, Variant(std::string(1, char('a' + c - 1)) + std::to_string(r)));
    dialog.resize(size);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    grid->setFocus();
    QApplication::processEvents();
  }
  QWidget *focus() const { return QApplication::focusWidget(); }
  void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(focus(), k, mods);
    QApplication::processEvents();
  }
  void type(const char *text) {
    QTest::keyClicks(focus(), text);
    QApplication::processEvents();
  }
  QPoint at() const { return {grid->Col(), grid->Row()}; }
  std::string cell(int c, int r) const { return grid->GetCell(c, r).toString(); }
  // What the shown editor holds, and what the current cell holds.
  std::string editor() const {
    EXPECT_TRUE(grid->EditorShown());
    return grid->ActiveControl().GetValue().toString();
  }
  std::string current() const { return cell(grid->GetCurrentDataCol(), grid->GetCurrentDataRow()); }
};

TEST(GridKeys, ArrowsTabAndEnterWalkTheCells) {
  InDialog d;
  ASSERT_TRUE(d.grid->EditorShown());
  EXPECT_EQ(d.focus(), &d.grid->ActiveControl().Control());
  d.key(Qt::Key_Down);
  EXPECT_EQ(d.at(), QPoint(1, 2));
  d.key(Qt::Key_Right);
  EXPECT_EQ(d.at(), QPoint(2, 2)) << "the whole text is selected: Right leaves the cell";
  d.key(Qt::Key_Tab);
  EXPECT_EQ(d.at(), QPoint(3, 2));
  d.key(Qt::Key_Tab);
  EXPECT_EQ(d.at(), QPoint(1, 3)) << "Tab wraps to the next row";
  d.key(Qt::Key_Return);
  EXPECT_EQ(d.at(), QPoint(2, 3));
  EXPECT_EQ(d.defaultPressed, 0) << "Enter in the editor is no press of the default button";
  d.key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(d.at(), QPoint(1, 3));

  d.grid->SetTabRowWrap(false);
  for (int i = 0; i < 3; ++i)
    d.key(Qt::Key_Tab);
  EXPECT_EQ(d.at(), QPoint(3, 3)) << "without wrapping Tab stays in the row";
  d.grid->SetWantTabs(false);
  d.key(Qt::Key_Tab);
  EXPECT_TRUE(d.focus() != d.grid && !d.grid->isAncestorOf(d.focus()))
      << "without WantTabs Tab moves the focus on";
}

// A letter no code-page byte holds begins an edit as any letter does, and
// the cell keeps what was typed as UTF-8.
TEST(GridKeys, ALetterBeyondTheCodePageBeginsAnEdit) {
  InDialog d(gmEdit, false);
  ASSERT_EQ(d.focus(), d.grid);
  for (const QString &text : {QStringLiteral("\u0416"), QStringLiteral("\u00e9")})
    QTest::sendKeyEvent(QTest::Click, d.focus(), Qt::Key_unknown, text, Qt::NoModifier);
  EXPECT_EQ(d.editor(), "\xD0\x96\xC3\xA9");
  d.key(Qt::Key_Return);
  EXPECT_EQ(d.cell(1, 1), "\xD0\x96\xC3\xA9");
}

TEST(GridKeys, CtrlTabLeavesAGridThatKeepsTab) {
  for (bool editorShown : {true, false}) {
    InDialog d(gmEdit, editorShown);
    ASSERT_EQ(d.focus() != d.grid, editorShown);
    d.key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(d.focus(), d.after) << editorShown;
    d.grid->setFocus();
    QApplication::processEvents();
    d.key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(d.focus(), d.ok) << "backwards from the grid wraps to the last control";
    EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "a1");
  }
}

TEST(GridKeys, TheEditorKeepsItsCtrlKeysAndTypesNoControlCharacters) {
  InDialog d;
  // The window's own keys, as a filter-list window has them.
  int windowKeys = 0;
  for (const QKeySequence &key :
       {QKeySequence(QKeySequence::SelectAll), QKeySequence(Qt::CTRL | Qt::Key_N)}) {
    auto *action = new QAction(&d.dialog);
    action->setShortcut(key);
    QObject::connect(action, &QAction::triggered, [&] { ++windowKeys; });
    d.dialog.addAction(action);
  }
  ASSERT_TRUE(d.grid->EditorShown());
  d.key(Qt::Key_End);
  d.key(Qt::Key_A, Qt::ControlModifier);
  d.type("ff");
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "ff") << "Ctrl+A selected the whole text";
  EXPECT_EQ(windowKeys, 0);
  d.key(Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(windowKeys, 1) << "a Ctrl key the editor does not use is the window's";
  d.key(Qt::Key_Q, Qt::ControlModifier);
  d.key(Qt::Key_B, Qt::ControlModifier);
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "ff") << "no control character typed";
}

TEST(GridKeys, TypingStartsTheEditAndEscapeUndoesStepByStep) {
  InDialog d;
  int cellEdits = 0, cellStarts = 0, rowStarts = 0;
  d.grid->OnCellEdit = [&](TdgBaseGrid *, int, int, bool) { ++cellEdits; };
  d.grid->OnStartCellEdit = [&](TdgBaseGrid *, int, int, bool &) { ++cellStarts; };
  d.grid->OnStartRowEdit = [&](TdgBaseGrid *, int, bool &) { ++rowStarts; };
  d.type("x");
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "x") << "the letter replaces the selected text";
  EXPECT_EQ(cellStarts, 1) << "one edit is asked for once";
  EXPECT_EQ(rowStarts, 1);
  d.key(Qt::Key_Tab);
  d.type("yz");
  EXPECT_EQ(d.grid->GetCell(2, 1).toString(), "yz");
  EXPECT_EQ(cellEdits, 3);
  EXPECT_EQ(cellStarts, 2);
  EXPECT_EQ(rowStarts, 1);
  d.key(Qt::Key_Escape);
  EXPECT_EQ(d.grid->GetCell(2, 1).toString(), "b1") << "first the cell";
  EXPECT_TRUE(d.dialog.isVisible());
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "x");
  d.key(Qt::Key_Escape);
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "a1") << "then the row";
  EXPECT_TRUE(d.dialog.isVisible());
  d.key(Qt::Key_Escape);
  EXPECT_FALSE(d.dialog.isVisible()) << "nothing left to undo: the dialog closes";
}

// A move to a column shows the editor again; a move to a row drops the value
// being typed and the editor with it, and loads the editor afresh.
TEST(GridKeys, MovesFromCodeHideAndShowTheEditor) {
  InDialog d(gmEditInsert);
  d.grid->HideCellEditor();
  d.grid->MoveToCol(1);
  EXPECT_TRUE(d.grid->EditorShown());
  d.grid->SetStoreData(false);
  d.type("zz");
  d.grid->MoveToRow(1, false);
  EXPECT_FALSE(d.grid->CurrentCell().HasValue());
  EXPECT_EQ(d.grid->EditControl().Editor().Text(), "") << "not the dropped value";
  EXPECT_TRUE(d.grid->EditorShown());
}

// Columns selected from code end the row's edit first and drop the rows
// selected before; a refused end selects nothing.
TEST(GridKeys, AColumnRangeFromCodeEndsTheRowEditFirst) {
  InDialog d;
  bool refuse = true;
  d.grid->OnEndRowEdit = [&](TdgBaseGrid *, int, bool &cancel) { cancel = refuse; };
  std::vector<int> notices;
  d.grid->OnSelectChanged = [&](TdgBaseGrid *, TdgSelectType type, bool) {
    notices.push_back(type);
  };
  d.type("x");
  d.grid->SelectColRange(2, 3, true);
  EXPECT_EQ(d.grid->ColSelection().Count, 0);
  EXPECT_TRUE(d.grid->RowEditing());
  refuse = false;
  d.grid->SelectRows(2, 2);
  d.grid->SelectColRange(0, 9, true);
  EXPECT_FALSE(d.grid->RowEditing());
  EXPECT_EQ(d.grid->RowSelection().Count, 0);
  EXPECT_EQ(d.grid->ColSelection().Count, 3);
  EXPECT_EQ(notices, (std::vector<int>{stRows, stCols}));
  d.grid->SelectColRange(3, 1, false);
  EXPECT_EQ(d.grid->ColSelection().Count, 3) << "a range upside down is none";
  d.grid->SelectColRange(2, 2, false);
  EXPECT_EQ(d.grid->ColSelection().Count, 2);
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "x");
}

TEST(GridKeys, HidingTheFocusedEditorLeavesTheFocusOnTheGrid) {
  InDialog d;
  d.key(Qt::Key_F2);
  ASSERT_TRUE(d.grid->EditorShown());
  ASSERT_NE(d.focus(), d.grid);
  d.grid->HideCellEditor();
  QApplication::processEvents();
  EXPECT_FALSE(d.grid->EditorShown());
  EXPECT_EQ(d.focus(), d.grid);
}

TEST(GridKeys, WithoutAlwaysShowEditorKeysOpenTheEditor) {
  InDialog d(gmEdit, false);
  EXPECT_FALSE(d.grid->EditorShown());
  EXPECT_EQ(d.focus(), d.grid);
  d.key(Qt::Key_F2);
  ASSERT_TRUE(d.grid->EditorShown());
  d.key(Qt::Key_Escape);
  EXPECT_FALSE(d.grid->EditorShown());
  EXPECT_TRUE(d.dialog.isVisible()) << "Escape closes the editor, not the dialog";
  d.key(Qt::Key_F2);
  EXPECT_EQ(d.grid->EditControl().Editor().CaretPos(), 2) << "F2 puts the caret at the end";
  d.type("z");
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "a1z");
  d.key(Qt::Key_Escape);
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "a1");
  d.key(Qt::Key_Down);
  EXPECT_FALSE(d.grid->EditorShown());
  d.type("q");
  EXPECT_TRUE(d.grid->EditorShown());
  EXPECT_EQ(d.grid->EditControl().Editor().Text(), "q");
  EXPECT_EQ(d.grid->GetCell(1, 2).toString(), "q");
}

TEST(GridKeys, TheEditorsTextColourFollowsEachCell) {
  InDialog d;
  d.grid->SetEditFontColor(0x0000FF); // red
  const QWidget &editor = d.grid->EditControl().Control();
  EXPECT_EQ(editor.palette().color(QPalette::Text), QColor(255, 0, 0));
  d.grid->SetEditFontColor(clNone);
  EXPECT_NE(editor.palette().color(QPalette::Text), QColor(255, 0, 0))
      << "the cell's own font colour, not the last edit colour";
}

TEST(GridKeys, BrowsingShowsNoEditorButMoves) {
  InDialog d(gmBrowse);
  EXPECT_FALSE(d.grid->EditorShown());
  d.key(Qt::Key_Down);
  d.type("w");
  EXPECT_EQ(d.at(), QPoint(1, 2));
  d.key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(d.at(), QPoint(3, 3));
  d.key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(d.at(), QPoint(1, 1));
  EXPECT_FALSE(d.grid->EditorShown());
  EXPECT_EQ(d.grid->GetCell(1, 2).toString(), "a2");
  EXPECT_FALSE(d.grid->CurrentCell().CheckedCutToClipboard()) << "cut changes nothing";
}

TEST(GridKeys, TypingInTheInsertRowAddsARow) {
  InDialog d(gmEditInsert);
  std::vector<std::string> events;
  d.grid->OnInsertRow = [&](TdgBaseGrid *, int row, bool) {
    events.push_back("insert " + std::to_string(row));
  };
  d.grid->OnEndRowEdit = [&](TdgBaseGrid *, int row, bool &) {
    events.push_back("end row " + std::to_string(row));
  };
  for (int i = 0; i < 3; ++i)
    d.key(Qt::Key_Down);
  EXPECT_EQ(d.grid->Rows(), 4);
  d.type("new");
  EXPECT_EQ(d.grid->RowCount(), 6) << "a fresh insert row below the typed one";
  d.key(Qt::Key_Up);
  EXPECT_EQ(d.grid->GetCell(d.grid->GetCurrentDataCol(), 4).toString(), "new");
  EXPECT_EQ(events, (std::vector<std::string>{"insert 4", "end row 4"}));
}

// Escape on the entered insert row goes back to the last row and leaves the
// dialog open; the row entered goes again.
TEST(GridKeys, EscapeOnTheEnteredInsertRowGoesBackUp) {
  InDialog d(gmEditInsert);
  for (int i = 0; i < 3; ++i)
    d.key(Qt::Key_Down);
  ASSERT_EQ(d.grid->Rows(), 4);
  const QKeyEvent escape(QEvent::ShortcutOverride, Qt::Key_Escape, Qt::NoModifier);
  EXPECT_TRUE(d.grid->WantsKey(escape));
  d.key(Qt::Key_Escape);
  EXPECT_TRUE(d.dialog.isVisible());
  EXPECT_EQ(d.at(), QPoint(1, 3));
  EXPECT_EQ(d.grid->Rows(), 3);
  // With the row above hidden, the nearest shown row above takes the cell.
  d.grid->SetRowVisible(3, false);
  d.key(Qt::Key_Down);
  ASSERT_EQ(d.grid->Rows(), 4);
  d.key(Qt::Key_Escape);
  EXPECT_EQ(d.at(), QPoint(1, 2));
  EXPECT_EQ(d.grid->Rows(), 3);
}

// What the handler wrote into an entered insert row goes with the row when it
// is left unchanged: neither the insert row shown there nor the row entered
// next shows it, with the values stored or only drawn.
TEST(GridKeys, AnEnteredRowLeftUnchangedLeavesNothingBehind) {
  for (bool store : {true, false}) {
    SCOPED_TRACE(store ? "stored" : "drawn only");
    InDialog d(gmEditInsert);
    d.grid->SetRows(1);
    d.grid->SetStoreData(store);
    int inserted = 0;
    d.grid->OnInsertRow = [&](TdgBaseGrid *g, int row, bool) {
      EXPECT_TRUE(g->GetCell(2, row).isEmpty());
      if (inserted++ == 0)
        g->SetCell(2, row, Variant(std::string("None")));
    };
    // The cell as the window shows it, its lines left out.
    auto blank = [&] {
      const QImage shown = shownOnScreen(*d.grid->viewport());
      if (shown.isNull())
        return false;
      const TRect r = d.grid->GetCellRect(2, 2);
      for (int y = r.Top + 1; y < r.Bottom - 2; ++y)
        for (int x = r.Left + 1; x < r.Right - 2; ++x)
          if (shown.pixel(x, y) != shown.pixel(r.Left + 1, r.Top + 1))
            return false;
      return true;
    };
    d.key(Qt::Key_Down);
    ASSERT_EQ(inserted, 1);
    ASSERT_FALSE(blank());
    // A new column count leaves the cell as it was drawn until it is painted
    // again: the window shows what a full paint draws.
    d.grid->SetCols(4);
    QApplication::processEvents();
    EXPECT_EQ(screenDiffersFromFullPaint(*d.grid->viewport()), "");
    d.key(Qt::Key_Up);
    EXPECT_EQ(d.grid->Rows(), 1);
    EXPECT_TRUE(blank()) << "the insert row";
    d.key(Qt::Key_Down);
    EXPECT_TRUE(blank()) << "the row entered again";
  }
}

// Deleting the entered insert row gives the insert row back, its line and
// all: the grid goes on as with an insert row never entered.
TEST(GridKeys, DeletingTheEnteredInsertRowGivesTheInsertRowBack) {
  InDialog d(gmEditInsert);
  for (int i = 0; i < 3; ++i)
    d.key(Qt::Key_Down);
  ASSERT_EQ(d.grid->Rows(), 4);
  std::vector<std::pair<int, int>> counts;
  d.grid->OnRowCountChanged = [&](TdgBaseGrid *, int o, int n) { counts.emplace_back(o, n); };
  d.grid->SelectRows(4, 4);
  d.grid->DeleteSelectedRows();
  EXPECT_EQ(d.grid->Rows(), 3);
  EXPECT_EQ(d.grid->RowCount(), 5);
  EXPECT_EQ(d.grid->DataRowAt(4), 4);
  EXPECT_EQ(counts, (std::vector<std::pair<int, int>>{{4, 3}}));
  d.grid->SetRows(1);
  d.key(Qt::Key_Down);
  d.type("x");
  EXPECT_EQ(d.grid->Rows(), 2);
}

// The value being typed belongs to its cell, wherever rows or columns
// inserted, moved or deleted around it put that cell.
TEST(GridKeys, AnEditStaysWithItsCellWhenOthersMove) {
  InDialog d;
  d.key(Qt::Key_Down);
  d.key(Qt::Key_Down);
  d.type("x");
  ASSERT_TRUE(d.grid->CellEditing());
  d.grid->InsertRow(1);
  EXPECT_EQ(d.grid->GetCell(1, 2).toString(), "a2") << "shown where the edited row was";
  EXPECT_EQ(d.grid->GetCell(1, 3).toString(), "x");
  d.grid->DeleteRows(1, 1);
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "a2");
  EXPECT_EQ(d.grid->GetCell(1, 2).toString(), "x") << "the edited row, numbered again";
  d.key(Qt::Key_Up);
  EXPECT_EQ(d.grid->GetCell(1, 2).toString(), "x");

  // Without storage only the typed value tells a handler what the cell holds.
  InDialog e;
  e.grid->SetStoreData(false);
  e.grid->SetCols(4);
  e.key(Qt::Key_Tab);
  e.key(Qt::Key_Tab);
  e.type("y");
  ASSERT_EQ(e.grid->GetCurrentDataCol(), 3);
  ASSERT_TRUE(e.grid->HasValue());
  std::string seen;
  e.grid->OnDeleteCol = [&](TdgBaseGrid *grid, int, bool) {
    seen = grid->GetCell(2, 1).toString();
  };
  e.grid->DeleteCols(1, 1);
  EXPECT_EQ(seen, "y") << "the delete event finds the typed text in its column's new place";
  EXPECT_EQ(e.grid->GetCell(2, 1).toString(), "y");
  EXPECT_EQ(e.grid->GetCell(3, 1).toString(), "");
}

// Typed into a cell and moved on by a key that scrolls the grid, the editor
// takes the next cell's value, and typing on changes that cell alone.
TEST(GridKeys, AMoveThatScrollsLoadsTheNextCellIntoTheEditor) {
  for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Right, Qt::Key_Return, Qt::Key_Down}) {
    SCOPED_TRACE(key);
    InDialog d(gmEdit, true, 8, 20, {220, 140});
    bool scrolled = false;
    for (int i = 0; i < 12 && !scrolled; ++i) {
      const int col = d.grid->GetCurrentDataCol(), row = d.grid->GetCurrentDataRow();
      const TGridCoord topLeft{d.grid->LeftCol(), d.grid->TopRow()};
      d.type("ab");
      d.key(key);
      scrolled = TGridCoord{d.grid->LeftCol(), d.grid->TopRow()} != topLeft;
      EXPECT_EQ(d.cell(col, row), "ab");
    }
    ASSERT_TRUE(scrolled);
    const std::string own = d.current();
    EXPECT_NE(own, "ab");
    EXPECT_EQ(d.editor(), own);
    d.key(Qt::Key_End);
    d.type("Z");
    EXPECT_EQ(d.current(), own + "Z");
  }
}

// Lines deleted or moved under the current cell put another cell where the
// editor stands: the editor takes that cell's value, and what is typed then
// goes there.
TEST(GridKeys, TheEditorFollowsDeletedAndMovedLines) {
  const std::function<void(TdgGrid &)> changes[] = {
      [](TdgGrid &g) { g.DeleteRows(2, 2); },
      [](TdgGrid &g) { g.DeleteCols(2, 2); },
      [](TdgGrid &g) { g.MoveRows(2, 3); },
      [](TdgGrid &g) { g.MoveCols(2, 3); },
  };
  for (const bool typedFirst : {false, true})
    for (std::size_t i = 0; i < std::size(changes); ++i) {
      SCOPED_TRACE(i);
      InDialog d;
      d.grid->FocusCell(2, 2, true);
      if (typedFirst)
        d.type("zz");
      changes[i](*d.grid);
      QApplication::processEvents();
      // A click on the cell now shown where the current cell was.
      d.grid->FocusCell(2, 2, true);
      const std::string own = d.current();
      EXPECT_EQ(d.editor(), own);
      d.key(Qt::Key_End);
      d.type("q");
      EXPECT_EQ(d.current(), own + "q");
    }
}

// The current column deleted with the editor shown: the editor shows on the
// cell that takes the current cell.
TEST(GridKeys, DeletingTheEditedColumnKeepsAnEditorShown) {
  InDialog d;
  d.grid->FocusCell(2, 2, true);
  d.grid->SelectColRange(2, 2, true);
  d.grid->DeleteSelectedCols();
  QApplication::processEvents();
  ASSERT_EQ(d.grid->Cols(), 2);
  EXPECT_EQ(d.editor(), d.current());
  EXPECT_TRUE(d.grid->ActiveControl().Control().isVisible());
}

// Keys and code that would put the current cell on a hidden line (where
// typing goes nowhere) put it on the nearest shown one; the last line of
// the view is a shown one.
TEST(GridKeys, TheCurrentCellNeverStaysOnAHiddenLine) {
  struct Case {
    const char *name;
    TdgGridMode mode;
    std::function<void(InDialog &)> change;
  };
  auto hideRows = [](TdgGrid &g, int from, int to) {
    for (int r = from; r <= to; ++r)
      g.SetRowVisible(r, false);
  };
  const Case cases[] = {
      {"Page Down", gmEdit,
       [&](InDialog &d) {
         hideRows(*d.grid, 6, 8);
         d.key(Qt::Key_PageDown);
       }},
      {"Page Up", gmEdit,
       [&](InDialog &d) {
         d.grid->FocusCell(1, 8, true);
         hideRows(*d.grid, 1, 1);
         d.key(Qt::Key_PageUp);
       }},
      {"Escape on the insert row", gmEditInsert,
       [&](InDialog &d) {
         d.grid->FocusCell(1, 7, true);
         hideRows(*d.grid, 8, 8);
         d.key(Qt::Key_Down);
         d.key(Qt::Key_Down);
         d.key(Qt::Key_Escape);
       }},
      {"SetCols", gmEdit,
       [](InDialog &d) {
         d.grid->FocusCell(3, 1, true);
         d.grid->GetCol(Variant(2))->SetVisible(false);
         d.grid->SetCols(2);
       }},
      {"SetRows", gmEdit,
       [&](InDialog &d) {
         d.grid->FocusCell(1, 8, true);
         hideRows(*d.grid, 5, 5);
         d.grid->SetRows(5);
       }},
      {"DeleteRows", gmEdit,
       [&](InDialog &d) {
         d.grid->FocusCell(1, 4, true);
         hideRows(*d.grid, 5, 5);
         d.grid->DeleteRows(4, 4);
       }},
      {"DeleteCols", gmEdit,
       [](InDialog &d) {
         d.grid->FocusCell(2, 1, true);
         d.grid->GetCol(Variant(3))->SetVisible(false);
         d.grid->DeleteCols(2, 2);
       }},
      {"SetCurrentDataRow", gmEdit,
       [&](InDialog &d) {
         hideRows(*d.grid, 3, 3);
         d.grid->SetCurrentDataRow(3);
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    InDialog d(c.mode, true, 3, 8);
    c.change(d);
    EXPECT_GT(d.grid->RowHeights(d.grid->Row()), 0) << "row " << d.grid->Row();
    EXPECT_GT(d.grid->ColWidths(d.grid->Col()), 0) << "column " << d.grid->Col();
    EXPECT_EQ(d.editor(), d.current());
  }
  InDialog d(gmEdit, true, 3, 8);
  hideRows(*d.grid, 7, 8);
  d.grid->GetCol(Variant(3))->SetVisible(false);
  EXPECT_EQ(d.grid->LastVisibleRow(), 6);
  EXPECT_EQ(d.grid->LastVisibleCol(), 2);
}

TEST(GridKeys, ARefusedRowEndKeepsTheFocusInTheGrid) {
  InDialog d;
  int exits = 0;
  d.grid->OnExit = [&](TdgBaseGrid *) { ++exits; };
  d.grid->OnEndRowEdit = [](TdgBaseGrid *, int, bool &cancel) { cancel = true; };
  d.type("v");
  d.key(Qt::Key_Down);
  EXPECT_EQ(d.at(), QPoint(1, 1));
  d.key(Qt::Key_Tab);
  EXPECT_EQ(d.at(), QPoint(2, 1)) << "within the row the move is free";
  d.after->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(d.focus() == d.grid || d.grid->isAncestorOf(d.focus()))
      << "the focus stays in the grid";
  EXPECT_EQ(exits, 0);
}

} // namespace
} // namespace marrowen

#include "grid/data/colrow.h"
#include "grid/data/links.h"

namespace marrowen {
namespace {

// Digits only; a whole text needs two of them, and two get a literal "0".
struct DigitsMask : TdgMaskDefinition {
  bool Active() const override { return true; }
  bool CheckOnEnd() const override { return true; }
  bool Check(const std::string &, std::string &insert, int, int, int) override {
    return insert.find_first_not_of("0123456789") == std::string::npos;
  }
  bool CheckWhole(const std::string &text, std::string &append) override {
    if (text.size() == 2)
      append = "0";
    return text.size() >= 2;
  }
};

struct MaskDefs : TdgMaskDefsComponent {
  DigitsMask digits;
  void RegisterLink(TdgMaskLink *link) override { link->component_ = this; }
  void UnregisterLink(TdgMaskLink *link) override { link->component_ = nullptr; }
  Variant FindMask(const Variant &) override { return {}; }
  TdgMaskDefinition *FindDefinition(std::string_view name) override {
    return name == "digits" ? &digits : nullptr;
  }
};

TEST(GridKeys, MasksJudgeTypingAndTheEndOfAnEdit) {
  MaskDefs defs;
  InDialog d;
  int invalidKeys = 0;
  d.grid->OnInvalidMaskEdit = [&](TdgBaseGrid *, const std::string &, int, int, bool &) {
    ++invalidKeys;
  };
  d.grid->SetMaskDefs(&defs);
  d.grid->GetCol(Variant(std::int32_t(1)))->SetMaskName("digits");
  d.grid->PlaceEditor();
  d.type("1a2");
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "12");
  EXPECT_EQ(invalidKeys, 1);
  d.key(Qt::Key_Down);
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "120") << "the mask's literal is added";
  EXPECT_EQ(d.at(), QPoint(1, 2));
  d.type("5");
  d.key(Qt::Key_Down);
  EXPECT_EQ(d.at(), QPoint(1, 2)) << "a refused text keeps the edit open";
  d.grid->OnInvalidMaskValue = [](TdgBaseGrid *, int, int, bool &accept) { accept = true; };
  d.key(Qt::Key_Down);
  EXPECT_EQ(d.at(), QPoint(1, 3));
  d.grid->SetMaskDefs(nullptr);
}

TEST(GridKeys, AHeldCheckBoxIsToggledBeforeItsEditEnds) {
  InDialog d;
  d.grid->GetCol(Variant(std::int32_t(2)))->SetControlType(ctCheck);
  d.grid->SetCell(2, 1, Variant(std::int32_t(0)));
  d.key(Qt::Key_Tab);
  ASSERT_EQ(&d.grid->ActiveControl(), &d.grid->CheckControl());
  char space = ' ';
  d.grid->CheckControl().CheckBox().KeyPress(space);
  EXPECT_TRUE(d.grid->EndEdit());
  EXPECT_EQ(d.grid->GetCell(2, 1).toInteger(), 1);
  d.grid->SetCell(2, 2, Variant());
  d.key(Qt::Key_Down);
  EXPECT_EQ(d.grid->CheckControl().GetValue().toInteger(), 2)
      << "an empty check cell looks grayed under the control as it is drawn";
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(GridKeys, AWriteToTheCellBeingEditedReplacesTheEdit) {
  InDialog d;
  d.key(Qt::Key_Down);
  d.type("typed2");
  d.grid->SetCell(1, 2, Variant("fromcode"));
  EXPECT_EQ(d.grid->GetCell(1, 2).toString(), "fromcode");
  EXPECT_EQ(d.grid->EditControl().GetValue().toString(), "fromcode");
  d.key(Qt::Key_Down);
  EXPECT_EQ(d.grid->GetCell(1, 2).toString(), "fromcode") << "nothing older comes back";
}

// A selection or browsing ends the cell's edit and hides the editor; the
// typed value stays, the row's edit going on for Escape to take back. A grid
// whose cell edit may not end does not turn to browsing.
TEST(GridKeys, AStatusThatStopsEditingEndsTheCellsEditAndHidesTheEditor) {
  for (const bool browse : {false, true}) {
    InDialog d;
    bool refuse = browse;
    int ends = 0;
    d.grid->OnEndCellEdit = [&](TdgBaseGrid *, int, int, bool &cancel) {
      ++ends;
      cancel = refuse;
    };
    d.type("zz");
    ASSERT_TRUE(d.grid->EditorShown());
    if (browse) {
      d.grid->SetGridMode(gmBrowse);
      EXPECT_EQ(d.grid->GridMode(), gmEdit);
      refuse = false;
      d.grid->SetGridMode(gmBrowse);
    } else {
      d.grid->SelectRows(3, 3);
    }
    EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "zz") << browse;
    EXPECT_FALSE(d.grid->EditorShown()) << browse;
    EXPECT_FALSE(d.grid->CellEditing()) << browse;
    EXPECT_EQ(ends, browse ? 2 : 1);
    if (!browse)
      d.grid->ClearRowSelection();
    d.key(browse ? Qt::Key_Down : Qt::Key_Escape);
    EXPECT_EQ(d.at(), QPoint(1, browse ? 2 : 1)) << browse;
    EXPECT_EQ(d.grid->GetCell(1, 1).toString(), browse ? "zz" : "a1");
    EXPECT_TRUE(d.dialog.isVisible());
  }
}

// While (1,1) is being edited, a change of its column, of the grid or of the
// cell shows in the editor at once.
TEST(GridKeys, PropertyChangesReachTheShownEditor) {
  struct Case {
    const char *what;
    std::function<void(TdgGrid &)> change;
    std::function<bool(InDialog &)> shows;
  };
  const auto col = [](TdgGrid &g) { return g.GetCol(Variant(1)); };
  MaskDefs defs;
  const Case cases[] = {
      {"width", [&](TdgGrid &g) { col(g)->SetWidth(150); },
       [](InDialog &d) { return d.grid->EditControl().Width() > 140; }},
      {"alignment", [&](TdgGrid &g) { col(g)->SetHorzAlignment(htaRight); },
       [](InDialog &d) { return d.grid->EditControl().Control().HorzAlignment() == htaRight; }},
      {"read-only",
       [&](TdgGrid &g) {
         g.SetSkipReadOnly(false);
         col(g)->SetReadOnly(true);
       },
       [](InDialog &d) {
         d.type("x");
         return d.grid->GetCell(1, 1).toString() == "zz";
       }},
      {"colour", [&](TdgGrid &g) { col(g)->SetColor(0x0000FF); },
       [](InDialog &d) { return d.grid->EditControl().GetColor() == 0x0000FF; }},
      {"overlap",
       [&](TdgGrid &g) {
         col(g)->SetColor(0x0000FF);
         g.SetRowColor(1, 0xFF0000);
         g.SetDrawOverlap(doDrawRowOnTop);
       },
       [](InDialog &d) { return d.grid->EditControl().GetColor() == 0xFF0000; }},
      {"list only",
       [&](TdgGrid &g) {
         col(g)->SetButtonType(btCombo);
         col(g)->EnsureCombo();
         col(g)->SetDropDownStyle(ddDropDownList);
       },
       [](InDialog &d) {
         d.type("zq");
         return !ShownTextEditor(*d.grid) && d.grid->GetCell(1, 1).toString() == "zz";
       }},
      {"vertical alignment", [&](TdgGrid &g) { col(g)->SetVertAlignment(vtaBottom); },
       [](InDialog &d) { return d.grid->EditControl().Control().VertAlignment() == vtaBottom; }},
      {"row mask",
       [&](TdgGrid &g) {
         g.SetMaskDefs(&defs);
         g.SetRowMaskName(1, "digits");
       },
       [](InDialog &d) {
         d.type("a5");
         return d.grid->GetCell(1, 1).toString() == "zz5";
       }},
      {"length", [&](TdgGrid &g) { col(g)->SetMaxLength(3); },
       [](InDialog &d) {
         // A letter of two bytes is one character of the three.
         for (const QString &text : {QStringLiteral("\u00e4"), QStringLiteral("b")})
           QTest::sendKeyEvent(QTest::Click, d.focus(), Qt::Key_unknown, text, Qt::NoModifier);
         return d.grid->EditControl().GetMaxLength() == 3 && d.editor() == "zz\xc3\xa4";
       }},
      {"check style",
       [&](TdgGrid &g) {
         col(g)->SetControlType(ctCheck);
         g.SetCheckBoxStyle(stFlat);
       },
       [](InDialog &d) {
         return &d.grid->ActiveControl() == &d.grid->CheckControl() &&
                d.grid->CheckControl().CheckBox().CheckBoxStyle() == stFlat;
       }},
  };
  for (const Case &c : cases) {
    InDialog d;
    d.type("zz");
    ASSERT_TRUE(d.grid->CellEditing()) << c.what;
    c.change(*d.grid);
    EXPECT_TRUE(c.shows(d)) << c.what;
  }
  InDialog d;
  d.grid->SetName("Grid1");
  EXPECT_THROW(d.grid->RefreshCellControl(4, 1), EInvalidGridOperation);
  EXPECT_THROW(d.grid->RefreshCellControl(1, 4), EInvalidGridOperation);
}

// A grid scrolled away from its current cell brings it back for a key, and
// the character typed is the first of the cell's edit.
TEST(GridKeys, AKeyBringsTheCurrentCellBackIntoView) {
  InDialog d;
  d.grid->SetRows(60);
  d.grid->ScrollMessage(SB_VERT, SB_BOTTOM, 0);
  ASSERT_GT(d.grid->TopRow(), 1);
  d.type("x");
  d.key(Qt::Key_Return);
  EXPECT_EQ(d.grid->GetCell(1, 1).toString(), "x");
  EXPECT_EQ(d.grid->TopRow(), 1);
}

TEST(GridKeys, ModeSkipAndFixedSettingsRecheckTheCurrentCell) {
  InDialog d;
  d.grid->SetSkipReadOnly(false);
  d.grid->GetCol(Variant(1))->SetReadOnly(true);
  d.grid->SetSkipReadOnly(true);
  EXPECT_EQ(d.at(), QPoint(2, 1)) << "a read-only current cell is left";
  d.grid->SetRowSelectMode(rsSingle);
  d.grid->SetGridMode(gmListBox);
  EXPECT_TRUE(d.grid->RowSelected(1)) << "a list box shows its current row selected";
  d.grid->SetGridMode(gmEdit);
  d.grid->SetRowSelectMode(rsMulti);
  d.grid->SetFixedRowCount(1);
  d.grid->SelectRows(1, 2);
  d.grid->SetSelectFixed(false);
  EXPECT_FALSE(d.grid->RowSelected(1)) << "fixed rows leave the selection";
  EXPECT_TRUE(d.grid->RowSelected(2));
}

} // namespace
} // namespace marrowen

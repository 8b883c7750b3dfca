#include "app/common/memos.h"
#include "app/common/patternmenu.h"
#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/childform.h"
#include "app/listwindow/filtertreemodel.h"
#include "app/main/recentfiles.h"
#include "app/nodedialogs/descriptiondialogs.h"
#include "app/nodedialogs/nodedialogs.h"
#include "app_testing.h"
#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "components/filedialog.h"
#include "components/fileedits.h"
#include "components/trayicon.h"
#include "engine/processingthread.h"
#include "engine/userinterface.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/utilitynodes.h"
#include "grid/data/font.h"
#include "grid/editing/combo.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"
#include "scriptfilter/scriptmakers.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QCloseEvent>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <filesystem>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::readFile;
using testing::writeFile;

std::unique_ptr<TListObject> upperCaseNode() {
  return findCatalogEntry("TDescriptionObject", 5)->createDefault(5);
}

// A dialog of the test's own for comment nodes: one line edit.
class CommentDialog : public QLineEdit, public TNodeEditor {
public:
  explicit CommentDialog(TNodeEditorSite &site) {
    ++made;
    connect(this, &QLineEdit::textChanged, this, [&site] { site.fieldChanged(); });
  }
  ~CommentDialog() override { ++released; }
  void putToScreen(TListObject &node) override {
    setText(QString::fromStdString(static_cast<TCommentObject &>(node).text));
  }
  void getFromScreen(TListObject &node) override {
    static_cast<TCommentObject &>(node).text = text().toStdString();
  }
  bool isDifferent(const TListObject &node) const override {
    return text().toStdString() != static_cast<const TCommentObject &>(node).text;
  }
  static inline int made = 0;
  static inline int released = 0;
};

class ChildForm : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    form = std::make_unique<TchildForm>(1);
    form->resize(700, 500);
  }
  void TearDown() override {
    form.reset();
    // Every job ends before the next test.
    EXPECT_TRUE(QTest::qWaitFor([] { return TchildForm::jobHost().activeJobs() == 0; }, 10000));
    QCoreApplication::processEvents();
    registerNodeDialog("TCommentObject", {});
    AppTest::TearDown();
  }
  QString caption() const { return form->windowTitle(); }
  // The window on screen at its files page, the grid holding one name.
  TdgGrid &filesShownWith(const std::string &name) {
    form->show();
    form->showFilesPage();
    QApplication::setActiveWindow(form.get());
    form->addFile(name);
    return form->fileGrid();
  }
  // The mouse on a cell of the files grid, through the window as a person's.
  void mouseOnCell(int col, int row, bool twice = false) {
    TdgGrid &grid = form->fileGrid();
    const TRect cell = grid.GetCellRect(grid.DisplayColOf(col), grid.GetDisplayRowOf(row));
    QWindow *window = form->windowHandle();
    const QPoint at =
        window->mapFromGlobal(grid.viewport()->mapToGlobal(QPoint(cell.Left + 5, cell.Top + 3)));
    if (twice)
      QTest::mouseDClick(window, Qt::LeftButton, {}, at);
    else
      QTest::mouseClick(window, Qt::LeftButton, {}, at);
  }
  std::unique_ptr<TchildForm> form;
};

TEST_F(ChildForm, TitleFollowsNameAndChangesAndCloseAsksToSave) {
  EXPECT_EQ(caption(), "Untitled1");
  EXPECT_EQ(form->filterTree().count(), 3); // no normal.fll here: top, input, output
  form->addFilter(upperCaseNode());
  EXPECT_EQ(caption(), "Untitled1 (modified)");
  form->setLoadedFilterName("/lists/My.List.FLL");
  EXPECT_EQ(caption(), "My.List (modified)");

  QCloseEvent cancelled;
  boxAnswer = QMessageBox::Cancel;
  QCoreApplication::sendEvent(form.get(), &cancelled);
  EXPECT_FALSE(cancelled.isAccepted());
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(boxTexts.back(), "Filter 'My.List' has changed. Save it first?");

  // Yes, then a cancelled save dialog: the window stays.
  form->setLoadedFilterName("");
  boxAnswer = QMessageBox::Yes;
  QCloseEvent saveCancelled;
  QCoreApplication::sendEvent(form.get(), &saveCancelled);
  EXPECT_FALSE(saveCancelled.isAccepted());
  EXPECT_TRUE(form->filterHasChanged());

  boxAnswer = QMessageBox::No;
  QCloseEvent closed;
  QCoreApplication::sendEvent(form.get(), &closed);
  EXPECT_TRUE(closed.isAccepted());
}

// The top and the input node refuse the enable toggle. The output takes it
// from Ctrl+T and a double click (not from the tree's menu) as a change of
// its stored flag, which a saved list keeps; an output is enabled whatever
// is stored, so the list still builds and runs.
TEST_F(ChildForm, TheTopAndInputRefuseTheToggleAndTheOutputStaysEnabled) {
  form->addFilter(upperCaseNode());
  form->setFilterHasChanged(false);
  form->show();
  QApplication::setActiveWindow(form.get());
  QCoreApplication::processEvents();
  QAction *toggle = form->findAction(QStringLiteral("EnableDisablefilter1"));
  ASSERT_NE(toggle, nullptr);
  FilterTreeView &tree = form->treeView();
  auto *treeMenu = form->findChild<QMenu *>(QStringLiteral("treeMenu"));
  ASSERT_NE(treeMenu, nullptr);
  const auto treeMenuOffers = [&](int item) {
    const QPoint at = tree.visualRect(form->treeModel().indexOf(item)).center();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, tree.viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree.viewport(), &menu);
    const bool offered = treeMenu->actions().front()->isEnabled();
    treeMenu->hide();
    return offered;
  };
  const auto doubleClick = [&](int item) {
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {},
                       tree.visualRect(form->treeModel().indexOf(item)).center());
  };
  const auto ctrlT = [&] {
    tree.setFocus();
    QTest::keyClick(&tree, Qt::Key_T, Qt::ControlModifier);
  };
  for (int item : {0, 1}) {
    form->selectItem(item);
    EXPECT_FALSE(form->removeButton->isEnabled()) << item;
    EXPECT_FALSE(toggle->isEnabled()) << item;
    ctrlT();
    doubleClick(item);
    EXPECT_TRUE(form->filterTree().node(item).enabledField()) << item;
  }
  EXPECT_FALSE(form->filterHasChanged());
  EXPECT_FALSE(treeMenuOffers(3));
  form->selectItem(3);
  EXPECT_FALSE(form->removeButton->isEnabled());
  EXPECT_TRUE(toggle->isEnabled());
  ctrlT();
  EXPECT_FALSE(form->filterTree().node(3).enabledField());
  EXPECT_TRUE(form->filterTree().node(3).getEnabled());
  EXPECT_EQ(caption(), "Untitled1 (modified)");
  doubleClick(3);
  EXPECT_FALSE(form->filterTree().node(3).enabledField());
  const std::string saved = dir.file("output.fll");
  form->saveFilterListAs(saved);
  form->loadFilterList(saved, {});
  EXPECT_FALSE(form->filterTree().node(3).enabledField());
  boxTexts.clear();
  form->verifyFilterList();
  EXPECT_EQ(boxTexts, std::vector<std::string>{"Filter checks out Ok"});

  EXPECT_TRUE(treeMenuOffers(2));
  form->selectItem(2);
  EXPECT_TRUE(form->removeButton->isEnabled());
  EXPECT_TRUE(toggle->isEnabled());
  form->editMenuEnableDisableFilterClick();
  EXPECT_FALSE(form->filterTree().node(2).getEnabled());
  // Removing every filter brings a new input reading files: Go waits for some.
  form->setInputFromFiles(false);
  EXPECT_TRUE(form->beginButton->isEnabled());
  boxAnswer = QMessageBox::Yes;
  form->Tabs->setCurrentWidget(form->filtersTab);
  form->removeAllButton->click();
  ASSERT_EQ(form->filterTree().count(), 3);
  EXPECT_FALSE(form->beginButton->isEnabled());
}

// Alt+Down on the last subfilter of a subfilter takes it out after what
// follows; before the output it stays, and the list is not marked changed.
TEST_F(ChildForm, AltDownTakesALastSubfilterOut) {
  auto parent = [](const char *text) {
    auto node = TSearchObject::CreateDefault();
    node->searchString = text;
    return node;
  };
  const int p = form->addFilter(parent("P"));
  form->addFilter(parent("Q"));
  form->MoveTreeNode(3, p);
  form->selectItem(form->addFilter(TCommentObject::CreateWith("c")));
  form->MoveTreeNode(4, 3);
  form->selectItem(3);
  form->addFilter(TCommentObject::CreateWith("d"));
  const auto outline = [&] {
    std::string text;
    for (int i = 0; i < form->filterTree().count(); ++i)
      text += shortTitle(form->filterTree().node(i)).substr(0, 9) + ":" +
              std::to_string(form->filterTree().items[i].level) + " ";
    return text;
  };
  ASSERT_EQ(outline(), "Filter op:0 File inpu:1 Replace [:1 Replace [:2 c:3 d:2 File outp:1 ");
  FilterTreeView &tree = form->treeView();
  form->selectItem(4);
  form->setFilterHasChanged(false);
  tree.setFocus();
  QTest::keyClick(&tree, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(outline(), "Filter op:0 File inpu:1 Replace [:1 Replace [:2 d:2 c:2 File outp:1 ");
  EXPECT_EQ(shortTitle(*form->selectedNode()), "c");
  EXPECT_TRUE(form->filterHasChanged());
  form->setFilterHasChanged(false);
  QTest::keyClick(&tree, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(outline(), "Filter op:0 File inpu:1 Replace [:1 Replace [:2 d:2 c:2 File outp:1 ");
  EXPECT_FALSE(form->filterHasChanged());
}

TEST_F(ChildForm, MemoPanelsCountTheTextAsStored) {
  form->trialInput->setBytes("ab\r\nc");
  form->trialInput->moveCursor(QTextCursor::End);
  EXPECT_EQ(form->trialInputStatus->panelText(0), "Line 2, Column 2");
  EXPECT_EQ(form->trialInputStatus->panelText(1), "Length: 4  Lines: 2");
  QTest::keyClick(form->trialInput, Qt::Key_Return);
  QTest::sendKeyEvent(QTest::Click, form->trialInput, Qt::Key_unknown, QStringLiteral("\u00fc"),
                      Qt::NoModifier);
  EXPECT_EQ(form->trialInputStatus->panelText(1), "Length: 6  Lines: 3")
      << "a line end counts one, typed or given";
  // Unedited, the bytes come back as given; lone LF and CR show as breaks.
  form->comments->setBytes("a\nb\rc\r\nd");
  EXPECT_EQ(form->comments->blockCount(), 4);
  EXPECT_EQ(form->comments->bytes(), "a\nb\rc\r\nd");
  form->comments->moveCursor(QTextCursor::End);
  form->comments->insertPlainText("\ne");
  EXPECT_EQ(form->comments->bytes(), "a\nb\nc\nd\ne");
}

TEST_F(ChildForm, TrialAreaButtonsPanelsAndDistribution) {
  // An output not made yet shows no counts.
  EXPECT_EQ(form->trialOutputStatus->panelText(1), "");
  form->trialOutput->setBytes("ab");
  EXPECT_EQ(form->trialOutputStatus->panelText(1), "Length: 2  Lines: 1");
  form->trialOutput->setBytes({});
  EXPECT_EQ(form->trialOutputStatus->panelText(1), "");

  form->setInputFromFiles(false);
  form->Tabs->setCurrentWidget(form->trialSheet);
  EXPECT_FALSE(form->removeAllButton->isEnabled());
  QApplication::clipboard()->setText(QString::fromUtf8("sample \xd0\x96\xc3\xa9"));
  form->PutsampleinTrialInputArea1Click();
  EXPECT_EQ(form->trialInput->bytes(), "sample \xd0\x96\xc3\xa9")
      << "the clipboard is read in UTF-8";
  EXPECT_EQ(form->trialInput->toPlainText(), QString::fromUtf8("sample \xd0\x96\xc3\xa9"));
  form->trialInput->setBytes("sample");
  // A file that fails while read is reported, and the trial input kept.
  form->addFile("/proc/self/mem");
  form->findChild<QAction *>("CopytoAdhocInput1")->trigger();
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_NE(boxTexts[0].find("/proc/self/mem"), std::string::npos);
  EXPECT_EQ(form->trialInput->bytes(), "sample");
  EXPECT_TRUE(form->removeButton->isEnabled());
  EXPECT_TRUE(form->removeAllButton->isEnabled());
  // Remove deletes the text selected in the page's memo, though the click
  // takes the focus to the button.
  form->show();
  QApplication::setActiveWindow(form.get());
  form->trialInput->setFocus();
  QTextCursor selection = form->trialInput->textCursor();
  selection.setPosition(0);
  selection.setPosition(3, QTextCursor::KeepAnchor);
  form->trialInput->setTextCursor(selection);
  QTest::mouseClick(form->removeButton, Qt::LeftButton);
  EXPECT_EQ(form->trialInput->bytes(), "ple");

  // The memos cleared for distribution are saved with the list: closing asks.
  form->scratchPad->setBytes("notes");
  form->setFilterHasChanged(false);
  form->Preparefilterfordistribution1Click();
  EXPECT_TRUE(form->filterHasChanged());
  EXPECT_EQ(form->scratchPad->bytes(), "");
  EXPECT_FALSE(form->removeAllButton->isEnabled());
  // So is the scratch pad emptied with Remove All.
  form->scratchPad->setBytes("notes");
  form->setFilterHasChanged(false);
  form->Tabs->setCurrentWidget(form->scratchPadSheet);
  QTest::mouseClick(form->removeAllButton, Qt::LeftButton);
  EXPECT_EQ(form->scratchPad->bytes(), "");
  EXPECT_TRUE(form->filterHasChanged());
}

TEST_F(ChildForm, DialogShowsTheNodeAndCopiesItBackWhenLeft) {
  registerNodeDialog("TCommentObject", [](TListObject &, TNodeEditorSite &site) {
    return std::make_unique<CommentDialog>(site);
  });
  CommentDialog::made = CommentDialog::released = 0;
  form->addFilter(TCommentObject::CreateWith("a\tb"));
  form->setFilterHasChanged(false);
  auto *dialog = form->blankPanel->findChild<CommentDialog *>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->text(), "a\tb");
  EXPECT_EQ(form->filterHeading->text(), " a b");
  EXPECT_FALSE(form->filterHasChanged()); // filling is no edit

  dialog->setText("edited");
  EXPECT_TRUE(form->filterHasChanged());
  form->Undochangestothisline1Click();
  EXPECT_EQ(dialog->text(), "a\tb");
  dialog->setText("kept");

  TListObject &node = *form->selectedNode();
  form->selectItem(1); // leaving copies back and releases the dialog
  EXPECT_EQ(static_cast<TCommentObject &>(node).text, "kept");
  EXPECT_EQ(node.editorForm, nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(CommentDialog::released, 1);
  EXPECT_EQ(form->filterTree().caption(2), "kept");

  // Moving a shown node under another forgets its dialog.
  form->addFilter(TCommentObject::CreateWith("parent"));
  form->selectItem(2);
  form->MoveTreeNode(2, 3);
  EXPECT_EQ(form->filterTree().items[3].level, 2);
  EXPECT_TRUE(form->selectedNode()->shown);

  // A pasted text whose escape does not decode yet is an edit all the same.
  registerNodeDialogs();
  form->selectItem(form->addFilter(TInsertColumnObject::CreateDefault()));
  form->setFilterHasChanged(false);
  auto *column = form->blankPanel->findChild<QPlainTextEdit *>("insertStr");
  ASSERT_NE(column, nullptr);
  column->insertPlainText("col\\xZZ");
  EXPECT_TRUE(form->filterHasChanged());
}

TEST_F(ChildForm, AHugeTextFilterIsShownCutAndKeptWhole) {
  registerNodeDialogs();
  std::string text;
  while (text.size() < 200'000)
    text += "abc def ";
  form->addFilter(TStringObject::CreateWith(0, text));
  form->setFilterHasChanged(false);
  auto *dialog = form->blankPanel->findChild<TstringForm *>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->textCut());
  EXPECT_TRUE(dialog->stringField->isReadOnly());
  EXPECT_LT(dialog->stringField->toPlainText().size(), 40'000);
  EXPECT_LT(form->filterHeading->text().size(), 1100);
  TListObject &node = *form->selectedNode();
  form->selectItem(1);
  EXPECT_EQ(static_cast<TStringObject &>(node).text, text);
  EXPECT_FALSE(form->filterHasChanged()) << "looking is no edit";

  // The heading follows the text as it is typed, and takes none of the
  // tree's width however long it grows.
  form->show();
  form->Tabs->setCurrentWidget(form->filtersTab);
  form->addFilter(TStringObject::CreateWith(0, "short"));
  QCoreApplication::processEvents();
  const int treeWidth = form->treeView().width();
  auto *typed = form->blankPanel->findChild<TstringForm *>();
  ASSERT_NE(typed, nullptr);
  typed->stringField->insertPlainText(QString::fromStdString(text.substr(0, 300)));
  for (int round = 0; round < 3; ++round) // the panel, then the splitter, lay out again
    QCoreApplication::processEvents();
  EXPECT_GT(form->filterHeading->text().size(), 100);
  EXPECT_EQ(form->treeView().width(), treeWidth);
}

TEST_F(ChildForm, FilesGridRowRules) {
  TdgGrid &grid = form->fileGrid();
  form->addFile("/a/*.txt");
  EXPECT_EQ(grid.GetCell(2, 1).toString(), "None");
  EXPECT_EQ(grid.GetCell(3, 1).toString(), "Add");
  grid.SetCell(2, 1, Variant("3 levels"));
  grid.SetCell(3, 1, Variant("Ignore"));
  grid.SetCurrentDataRow(1);
  form->addFile("/b/*.txt");
  EXPECT_EQ(grid.GetCell(2, 2).toString(), "3 levels");
  EXPECT_EQ(grid.GetCell(3, 2).toString(), "Ignore");
  grid.SetCell(2, 2, Variant("10 levels"));
  form->applyRowRules(2);
  EXPECT_EQ(grid.GetCell(2, 2).toString(), "None");

  form->addFileFromActiveX("/c", 255, 10);
  EXPECT_EQ(grid.GetCell(2, 3).toString(), "All");
  form->addFileFromActiveX("/d", 10, 2);
  EXPECT_EQ(grid.GetCell(2, 4).toString(), "All"); // 10 keeps what the rules gave
  EXPECT_EQ(grid.GetCell(3, 4).toString(), "Subtract");

  form->newFileGroupButtonClick();
  const int group = grid.GetCurrentDataRow();
  EXPECT_EQ(grid.GetCell(1, group).toString(), ":New file processing group");
  EXPECT_EQ(grid.GetRowColor(group), 16776960);

  const std::string list = dir.file("files.txt");
  form->saveFileList(list);
  form->clearAllFiles();
  form->processFile(list);
  EXPECT_EQ(grid.Rows(), 5);
  EXPECT_EQ(grid.GetCell(1, 2).toString(), "/b/*.txt");
  EXPECT_EQ(grid.GetCell(2, 1).toString(), "None"); // names only: the rules fill the rest

  // A row inserted between others takes the choices of the row shown above
  // it, a name added later those of the row shown last, and a heading sort
  // shows every row in order.
  form->clearAllFiles();
  form->addFile("/m");
  grid.SetCell(2, 1, Variant("All"));
  grid.SetCell(3, 1, Variant("Subtract"));
  form->addFile("/k");
  grid.SetCell(2, 2, Variant("None"));
  grid.SetCell(3, 2, Variant("Add"));
  grid.SetCurrentDataRow(1);
  form->insertNewRowButtonClick();
  const int inserted = grid.GetDataRow(2);
  EXPECT_EQ(grid.GetCell(2, inserted).toString(), "All");
  EXPECT_EQ(grid.GetCell(3, inserted).toString(), "Subtract");
  grid.SetCell(1, inserted, Variant("/l"));
  grid.SetCell(2, inserted, Variant("2 levels"));
  form->addFile("/n");
  EXPECT_EQ(form->fileRows().back().subfolders, "None");
  form->sortFileGrid();
  std::vector<std::string> shown;
  for (const FileGridRow &row : form->fileRows())
    shown.push_back(row.pathMask);
  EXPECT_EQ(shown, (std::vector<std::string>{"/k", "/l", "/m", "/n"}));
}

// Clearing the files while a name is open for editing leaves none of it
// behind for the next row typed.
TEST_F(ChildForm, ClearingAndDeletingFileRows) {
  TdgGrid &grid = filesShownWith("/old/*.txt");
  // Each move of the current row is reported from the row reported last to
  // a row there is (or the insert row), also when the rows are cleared
  // while the new row is entered.
  std::vector<std::pair<int, int>> moves;
  grid.OnRowChanged = [&](TdgBaseGrid *g, int from, int to) {
    moves.emplace_back(from, to);
    EXPECT_TRUE(to >= 0 && to <= g->Rows() + g->InsertRowFlag()) << to;
  };
  mouseOnCell(1, 1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  ASSERT_EQ(grid.Rows(), 2) << "the insert row entered";
  boxAnswer = QMessageBox::Yes;
  QTest::mouseClick(form->removeAllButton, Qt::LeftButton);
  EXPECT_EQ(grid.Rows(), 0);
  ASSERT_FALSE(moves.empty());
  for (std::size_t i = 1; i < moves.size(); ++i)
    EXPECT_EQ(moves[i].first, moves[i - 1].second);
  grid.OnRowChanged = nullptr;
  mouseOnCell(1, 1);
  QTest::keyClicks(QApplication::focusWidget(), "new");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(grid.Rows(), 1);
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "new");

  // Delete takes the rows selected at their row bar, and types nothing into
  // the row that becomes current; in a name it deletes the character after
  // the cursor. The platform's text for the key is a DEL byte.
  const auto pressDelete = [] {
    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_Delete,
                        QStringLiteral("\x7f"), Qt::NoModifier);
  };
  form->addFile("/kept/*.txt");
  form->addFile("/last/*.txt");
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, {3, grid.RowTop(1) + 3});
  pressDelete();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  ASSERT_EQ(grid.Rows(), 2);
  EXPECT_EQ(form->fileRows()[0].pathMask, "/kept/*.txt");
  EXPECT_EQ(form->fileRows()[1].pathMask, "/last/*.txt");
  mouseOnCell(1, grid.GetDataRow(1));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
  pressDelete();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
  pressDelete();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(grid.Rows(), 2);
  EXPECT_EQ(form->fileRows()[0].pathMask, "kept/*.txt");
}

// A group heading's aqua shows in its name while edited, and stays with it:
// a plain row edited afterwards shows its own colour.
TEST_F(ChildForm, AGroupsColourStaysWithTheGroupWhileNamesAreEdited) {
  TdgGrid &grid = filesShownWith("/a/*.txt");
  form->addFile("/b/*.txt");
  grid.SetCurrentDataRow(1);
  QTest::mouseClick(form->newFileGroupButton, Qt::LeftButton);
  const int group = grid.GetCurrentDataRow();
  const auto editedColour = [&](int row) {
    mouseOnCell(1, row);
    QWidget *editor = QApplication::focusWidget();
    EXPECT_TRUE(editor && grid.isAncestorOf(editor));
    const QColor colour = editor ? editor->palette().color(QPalette::Base) : QColor();
    QTest::keyClick(editor, Qt::Key_Escape);
    return colour;
  };
  const QColor aqua(0, 255, 255);
  EXPECT_NE(editedColour(2), aqua);
  EXPECT_EQ(editedColour(group), aqua);
  EXPECT_NE(editedColour(2), aqua);
  EXPECT_NE(editedColour(1), aqua);
}

// Subfolders and Action take only their list's values, typed or pasted.
TEST_F(ChildForm, FilesGridChoicesComeOnlyFromTheirLists) {
  TdgGrid &grid = form->fileGrid();
  form->show();
  form->addFile("/a/*.txt");
  std::int64_t now = 10000;
  grid.TickCount = [&] { return now; };
  grid.SetCurrentDataRow(1);
  grid.FocusCell(grid.DisplayColOf(2), grid.GetDisplayRowOf(1), true);
  QTest::keyClicks(&grid, "zzz");
  EXPECT_EQ(grid.GetCell(2, 1).toString(), "None");
  now += 2000;
  QTest::keyClick(&grid, Qt::Key_A);
  EXPECT_EQ(grid.GetCell(2, 1).toString(), "All");
  grid.FocusCell(grid.DisplayColOf(3), grid.GetDisplayRowOf(1), true);
  now += 2000;
  QTest::keyClick(&grid, Qt::Key_S);
  EXPECT_EQ(grid.GetCell(3, 1).toString(), "Subtract");
  QApplication::clipboard()->setText(QStringLiteral("Multiply"));
  EXPECT_FALSE(grid.CurrentCell().PasteFromClipboard(true));
  EXPECT_EQ(grid.GetCell(3, 1).toString(), "Subtract");
}

// A file row's Subfolders or Action picked from its list, by keys or by
// the mouse, changes the list: closing the window asks about saving it.
TEST_F(ChildForm, AChoiceFromAFileRowsListIsAChangeTheCloseAsksAbout) {
  TdgGrid &grid = filesShownWith("/a/*.txt");
  form->setFilterHasChanged(false);
  const auto key = [&grid](Qt::Key k) {
    QWidget *popup = QApplication::activePopupWidget();
    QTest::keyClick(popup ? popup : static_cast<QWidget *>(&grid), k);
  };
  grid.FocusCell(grid.DisplayColOf(3), grid.GetDisplayRowOf(1), true);
  key(Qt::Key_F4);
  key(Qt::Key_Down);
  key(Qt::Key_Return);
  EXPECT_EQ(grid.GetCell(3, 1).toString(), "Subtract");
  EXPECT_TRUE(form->filterHasChanged());

  form->setFilterHasChanged(false);
  mouseOnCell(2, 1);
  TdgComboGrid &list = *grid.GetCombo()->ComboGrid();
  ASSERT_TRUE(list.isVisible());
  const TRect item = list.GetCellRect(1, 2);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(item.Left + 5, item.Top + 3));
  EXPECT_EQ(grid.GetCell(2, 1).toString(), "All");
  EXPECT_TRUE(form->filterHasChanged());

  // A double click flips the choice, though its first click opens the list.
  for (auto [col, flipped] : {std::pair{2, "None"}, std::pair{3, "Add"}}) {
    mouseOnCell(col, 1, true);
    EXPECT_EQ(grid.GetCell(col, 1).toString(), flipped);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  }

  // So is a row dragged by its row bar to another place: the order is saved.
  form->addFile("/b/*.txt");
  form->setFilterHasChanged(false);
  QWidget *rows = grid.viewport();
  const QPoint second(3, grid.RowTop(2) + 3);
  QTest::mouseClick(rows, Qt::LeftButton, {}, second);
  QTest::mousePress(rows, Qt::LeftButton, {}, second);
  for (int y = second.y(); y >= grid.RowTop(1); y -= 2) {
    QMouseEvent move(QEvent::MouseMove, QPointF(3, y), rows->mapToGlobal(QPointF(3, y)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rows, &move);
  }
  QTest::mouseRelease(rows, Qt::LeftButton, {}, QPoint(3, grid.RowTop(1)));
  EXPECT_EQ(form->fileRows().front().pathMask, "/b/*.txt");
  EXPECT_TRUE(form->filterHasChanged());

  boxAnswer = QMessageBox::Cancel;
  EXPECT_FALSE(form->close());
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(boxTexts.back(), "Filter 'Untitled1' has changed. Save it first?");
}

// The files page's dialogs answer through the runner, the window keeps its
// size, and a key pressed in a field aims the pattern menu at that field.
TEST_F(ChildForm, FilesDialogsPlacementAndPatternMenuKeys) {
  std::string chosen;
  QString suffix, filter;
  dialogAnswer = [&](QDialog &dialog) {
    auto &files = static_cast<FileDialog &>(dialog);
    suffix = files.defaultSuffix();
    filter = files.selectedNameFilter();
    files.selectFile(QString::fromStdString(chosen));
    return static_cast<int>(QDialog::Accepted);
  };
  form->addFile("/a/*.txt");
  chosen = dir.file("saved.txt");
  form->saveToFileButton->click();
  EXPECT_EQ(suffix, "txt");
  EXPECT_EQ(TchildForm::lastStatus(), "") << "the save is over";
  form->clearAllFiles();
  EXPECT_EQ(form->fileGrid().Rows(), 0);
  form->loadFromFileButton->click();
  EXPECT_EQ(filter, "All files (*.*)");
  ASSERT_EQ(form->fileGrid().Rows(), 1);
  EXPECT_EQ(form->fileGrid().GetCell(1, 1).toString(), "/a/*.txt");

  // Add folder: the picker's caption and title, and a status line naming the
  // folder selected.
  QStringList picker;
  dialogAnswer = [&](QDialog &dialog) {
    auto &browser = dynamic_cast<FolderBrowserDialog &>(dialog);
    browser.selectPath(QString::fromStdString(dir.path()));
    picker << browser.windowTitle() << browser.findChild<QLabel *>()->text();
    if (FittedStatusLine *status = browser.statusLine())
      picker << status->fullText();
    EXPECT_EQ(browser.parentWidget(), form.get());
    return static_cast<int>(QDialog::Accepted);
  };
  form->addDirectoryButton->click();
  const std::string folder = std::filesystem::path(dir.path()).parent_path().string();
  EXPECT_EQ(picker.join('|').toStdString(), "Select a folder to process|Choose a folder|" + folder);
  EXPECT_EQ(form->fileGrid().Rows(), 2);

  registerNodeDialog("TCommentObject", [](TListObject &, TNodeEditorSite &site) {
    return std::make_unique<CommentDialog>(site);
  });
  form->addFilter(TCommentObject::CreateWith("x"));
  form->show();
  QApplication::setActiveWindow(form.get());
  auto *field = form->blankPanel->findChild<CommentDialog *>();
  ASSERT_NE(field, nullptr);
  field->setFocus();
  QTest::keyClick(field, Qt::Key_B);
  EXPECT_EQ(TmenuForm::instance().target().widget(), field);
  EXPECT_TRUE(TmenuForm::instance().singleLine());
  form->Tabs->setCurrentWidget(form->scratchPadSheet);
  form->scratchPad->setFocus();
  QTest::keyClick(form->scratchPad, Qt::Key_B);
  EXPECT_EQ(TmenuForm::instance().target().widget(), form->scratchPad);
  EXPECT_FALSE(TmenuForm::instance().singleLine());

  form->resize(640, 430);
  form->setFilterHasChanged(false);
  EXPECT_TRUE(form->close());
  TchildForm next(2);
  EXPECT_EQ(next.size(), QSize(640, 430));
}

TEST_F(ChildForm, TrialRunAndCompiledFilter) {
  form->addFilter(upperCaseNode());
  EXPECT_EQ(form->processTextWithCompiledFilter("abc"), ""); // nothing compiled yet
  EXPECT_EQ(form->processText("abc"), "ABC");
  EXPECT_EQ(form->processTextWithCompiledFilter("xyz"), "XYZ");

  form->trialInput->setBytes("abc");
  form->trialInput->appendPlainText("d");
  form->trialRunButtonClick();
  EXPECT_TRUE(form->trialRunning());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->trialRunning(); }, 5000));
  EXPECT_EQ(form->trialOutput->bytes(), "ABC\nD");
  EXPECT_EQ(TchildForm::lastStatus(), "Trial run completed");
  EXPECT_EQ(form->trialJob(), nullptr);
  // Unedited, a second press only shows the filters.
  form->trialRunButtonClick();
  EXPECT_EQ(form->Tabs->currentWidget(), form->filtersTab);

  // A long result is built elsewhere while the job runs and completed in the
  // memo, whole.
  std::string longText;
  for (int i = 0; longText.size() < (3 << 20); ++i)
    longText += i % 1000 == 0 ? "abc\n" : i % 1001 == 0 ? "abc\r" : "abc\r\n";
  form->trialInput->setBytes(longText);
  form->trialInput->appendPlainText("y");
  form->trialRunButtonClick();
  ASSERT_TRUE(
      QTest::qWaitFor([] { return TchildForm::lastStatus() == "Trial run completed"; }, 120000));
  EXPECT_FALSE(form->trialRunning());
  const std::string shown = memoTextBytes(form->trialOutput->document()->toPlainText());
  EXPECT_TRUE(shown == form->trialOutput->bytes());
  EXPECT_EQ(shown.substr(shown.size() - 2), "\nY");
  EXPECT_EQ(form->trialOutputStatus->panelText(0), "Line 1, Column 1");

  form->trialInput->setBytes("");
  form->Tabs->setCurrentWidget(form->filtersTab);
  form->trialRunButtonClick();
  EXPECT_FALSE(form->trialRunning());
  ASSERT_FALSE(boxTexts.empty());
  EXPECT_EQ(boxTexts.back().substr(0, 20), "You need to enter so");
}

// A text runs on the window's thread letting events through between its
// chunks, so other programs' calls come in meanwhile: a second text is
// refused, and a new compile or the window's end leaves the running text its
// filters; each run's answer is whole.
TEST_F(ChildForm, CallsBetweenTheChunksOfARunningTextLeaveItWhole) {
  const std::shared_ptr<UserInterface> headless = userInterface();
  installWindowHandlers();
  form->addFilter(upperCaseNode());
  ASSERT_EQ(form->compileFilter(), "");
  const std::string text(3 * 4096 + 5, 'a');
  const std::string upper(text.size(), 'A');
  std::string refused;
  QTimer::singleShot(0, [&] {
    try {
      form->processTextWithCompiledFilter("b");
    } catch (const std::exception &error) {
      refused = error.what();
    }
  });
  EXPECT_TRUE(form->processTextWithCompiledFilter(text) == upper);
  EXPECT_EQ(refused, "The filter list is already running a text");
  QTimer::singleShot(0, [&] { EXPECT_EQ(form->compileFilter(), ""); });
  EXPECT_TRUE(form->processTextWithCompiledFilter(text) == upper);
  EXPECT_EQ(form->processText("c"), "C");
  TchildForm *window = form.get();
  QTimer::singleShot(0, [&] { form.reset(); });
  EXPECT_TRUE(window->processTextWithCompiledFilter(text) == upper);
  EXPECT_EQ(form, nullptr);
  setUserInterface(headless);
}

TEST_F(ChildForm, JobsFromTheButtonsAndAStoppedTrial) {
  form->addFilter(upperCaseNode());
  // Go in test mode writes copies beside the input.
  const std::string input = dir.file("in.txt");
  writeFile(input, "abc\r\n");
  form->InputFilter()->inputFromFile = true;
  form->OutputFilter()->outputToFile = TOutputObject::files;
  form->OutputFilter()->testMode = true;
  form->testThenAdd(input);
  form->beginButtonClick(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(input + ".dCv"); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(input + ".dCv") == "ABC\r\n"; }, 5000));
  EXPECT_EQ(readFile(input), "abc\r\n");

  // The clipboard button is enabled again when its job ends.
  const auto headless = userInterface();
  installWindowHandlers();
  QApplication::clipboard()->setText(QString::fromUtf8("xyz \xd0\xb6\xd1\x83\xd0\xba stra\xc3\x9f"
                                                       "e"));
  form->clipboardButton->click();
  EXPECT_FALSE(form->clipboardButton->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->clipboardButton->isEnabled(); }, 5000));
  EXPECT_EQ(QApplication::clipboard()->text(),
            QString::fromUtf8("XYZ \xd0\x96\xd0\xa3\xd0\x9a STRASSE"));
  setUserInterface(headless);

  // A press mid-run stops the trial: the window is idle at once, says so,
  // and the stopped job's output goes nowhere.
  form->trialInput->setBytes("abc");
  form->trialInput->appendPlainText("d");
  form->trialRunButtonClick();
  ASSERT_TRUE(form->trialRunning());
  form->trialRunButtonClick();
  EXPECT_FALSE(form->trialRunning());
  EXPECT_EQ(form->trialJob(), nullptr);
  QTest::qWait(500);
  EXPECT_EQ(form->trialOutput->bytes(), "");
  EXPECT_EQ(TchildForm::lastStatus(), "Job aborted by user.");

  // So does a trial whose replace prompt is cancelled.
  auto search = TSearchObject::CreateDefault();
  search->searchString = "b";
  search->replaceString = "x";
  search->promptOnReplace = true;
  form->addFilter(std::move(search));
  form->trialInput->appendPlainText("e");
  form->trialRunButtonClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->trialRunning(); }, 10000));
  EXPECT_EQ(shownDialogs.back(), "TQueryReplace");
  EXPECT_EQ(TchildForm::lastStatus(), "Job aborted by user.");
}

// The sample of a Windows-1252 file keeps its bytes, so a typed letter finds
// its code-page form in the trial run as in Go, and both write the same.
TEST_F(ChildForm, TheTrialOfAWindows1252SampleReplacesAsGoDoes) {
  auto search = TSearchObject::CreateDefault();
  search->searchString = "\u00fcber";
  search->replaceString = "[\u00e4]";
  form->addFilter(std::move(search));
  const std::string input = dir.file("alt.txt");
  writeFile(input, "\xfc"
                   "ber \xdc"
                   "BER \xdc"
                   "ber\r\n");
  form->InputFilter()->inputFromFile = true;
  form->setInputFromFiles(true);
  form->OutputFilter()->outputToFile = TOutputObject::files;
  form->OutputFilter()->testMode = true;
  form->testThenAdd(input);
  form->PutsampleinTrialInputArea1Click();
  form->trialRunButtonClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->trialRunning(); }, 10000));
  const std::string written = "[\xe4] [\xe4] [\xe4]\r\n";
  EXPECT_EQ(form->trialOutput->bytes(), written);
  form->beginButtonClick(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(input + ".dCv") == written; }, 10000));
}

TEST_F(ChildForm, ClosingMidTrialNeitherCrashesNorStopsTheJob) {
  form->addFilter(upperCaseNode());
  form->trialInput->setBytes(std::string(4 << 20, 'a'));
  form->trialInput->appendPlainText("b");
  form->trialRunButtonClick();
  // A long edited text is converted before the job starts.
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->trialJob() != nullptr; }, 5000));
  form.reset();
  // The job runs to its end; its output and end go nowhere.
  QTest::qWait(1500);
  EXPECT_NE(TchildForm::lastStatus(), "Trial run completed");
}

TEST_F(ChildForm, BuildErrorsSelectTheNodeAndPatternsAreChecked) {
  auto search = findCatalogEntry("TSearchObject", 0)->createDefault(0);
  form->addFilter(std::move(search)); // a blank search text cannot be built
  form->selectItem(0);
  EXPECT_EQ(form->create_filters(false, true), nullptr);
  EXPECT_EQ(form->selectedIndex(), 2);
  EXPECT_FALSE(boxTexts.empty());

  form->testRegExp("");
  EXPECT_EQ(TchildForm::lastStatus(), "Warning: Pattern is blank - all lines will be matched");
  form->testRegExp("a(b");
  EXPECT_FALSE(TchildForm::lastStatus().isEmpty());
  form->testRegExp("a(b)");
  EXPECT_TRUE(TchildForm::lastStatus().isEmpty());
}

TEST_F(ChildForm, MenusAddTheirClassAndKind) {
  struct Case {
    const char *action;
    const char *className;
    int kind;
  };
  for (const Case &c :
       {Case{"UPPERCASE1", "TDescriptionObject", 5}, Case{"Wordwrap1", "TNumberObject", 2},
        Case{"Header1", "TStringObject", 1}, Case{"FindandReplace1", "TSearchObject", 0},
        Case{"CSVfields1", "TDeleteColumnsObject", 4}, Case{"Newmap1", "TUserObject", 0}}) {
    QAction *action = form->findAction(QString::fromLatin1(c.action));
    ASSERT_NE(action, nullptr) << c.action;
    action->trigger();
    TListObject *node = form->selectedNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->className(), c.className) << c.action;
    EXPECT_EQ(node->catalogKind(), c.kind) << c.action;
  }
  const int enabled = form->selectedNode()->getEnabled();
  form->show();
  QApplication::setActiveWindow(form.get());
  form->treeView().setFocus();
  QCoreApplication::processEvents();
  QTest::keyClick(&form->treeView(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_NE(form->selectedNode()->getEnabled(), enabled);
  std::vector<int> groups;
  for (QMenu *menu : form->menus())
    groups.push_back(menu->property("groupIndex").toInt());
  EXPECT_TRUE(std::is_sorted(groups.begin(), groups.end()));
}

TEST_F(ChildForm, LoadingAskingAndDamagedFilesChangeNothing) {
  form->addFilter(upperCaseNode());
  const std::string good = dir.file("Good.fll");
  form->saveFilterListAs(good);
  EXPECT_EQ(caption(), "Good");
  form->addFilter(TCommentObject::CreateWith("extra"));
  form->addFile("/data/*.txt");
  form->filterList();

  boxAnswer = QMessageBox::Cancel; // 4610
  form->loadFilterList(good, {.askQuestions = true});
  EXPECT_EQ(form->filterTree().count(), 5);

  const std::string damaged = dir.file("damaged.fll");
  writeFile(damaged, readFile(good).substr(0, 60));
  boxAnswer = QMessageBox::No;
  form->loadFilterList(damaged, {.askQuestions = true});
  EXPECT_EQ(form->filterTree().count(), 5);
  EXPECT_EQ(form->fileGrid().Rows(), 1);
  EXPECT_EQ(caption(), "Good (modified)");

  form->loadFilterList(good, {});
  EXPECT_EQ(form->filterTree().count(), 4);
  EXPECT_EQ(caption(), "Good");

  // Inserting with the input selected lands after it, the name unchanged.
  form->selectItem(1);
  form->InsertfilterList(good);
  EXPECT_EQ(form->filterTree().count(), 5);
  EXPECT_EQ(form->filterTree().node(2).className(), "TDescriptionObject");
  EXPECT_EQ(form->fileName(), good);
  // The inserted filters are a change of this list: closing asks to save it.
  EXPECT_TRUE(form->filterHasChanged());
  EXPECT_EQ(caption(), "Good (modified)");
  boxTexts.clear();
  boxAnswer = QMessageBox::Cancel;
  QCloseEvent close;
  QCoreApplication::sendEvent(form.get(), &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_EQ(boxTexts, std::vector<std::string>{"Filter 'Good' has changed. Save it first?"});
}

TEST_F(ChildForm, SavedListsComeBackByteForByte) {
  const std::filesystem::path lists = std::filesystem::path(MARROWEN_SOURCE_DIR) / "bench/lists";
  std::vector<std::filesystem::path> files = {std::filesystem::path(MARROWEN_SOURCE_DIR) /
                                              "tests/filterlist/data/every-node-class.fll"};
  for (const auto &entry : std::filesystem::directory_iterator(lists))
    if (entry.path().extension() == ".fll")
      files.push_back(entry.path());
  // Tags that another program stored in the file's records, a collapsed top node.
  TFilterList tagged;
  tagged.resetToDefault();
  tagged.setTag(7);
  tagged.setVersionTag(300);
  tagged.firstObject()->setTag(-70000);
  tagged.nodes.front().expanded = false;
  tagged.saveToFile(dir.file("tagged.fll"));
  files.push_back(dir.file("tagged.fll"));
  for (const auto &file : files) {
    form->loadFilterList(file.string(), {});
    const std::string copy = dir.file("copy.fll");
    form->saveFilterListAs(copy);
    EXPECT_EQ(readFile(copy), readFile(file.string())) << file;
  }
}

TEST_F(ChildForm, MapsFromTheFolderAndFromTheList) {
  std::filesystem::create_directories(dir.file("maps/sub.map"));
  writeFile(dir.file("maps/X.MAP"), "65 b\r\n");
  writeFile(dir.file("maps/x&y.map"), "66 c\r\n");
  // Names beyond ASCII: one whose capital is longer, one that is no UTF-8.
  writeFile(dir.file("maps/stra\xC3\x9F"
                     "e.map"),
            "67 s\r\n");
  writeFile(dir.file("maps/\xE9x.MAP"), "68 e\r\n");
  // An editor's backup and a renamed old map are not maps.
  writeFile(dir.file("maps/foo.map~"), "67 d\r\n");
  writeFile(dir.file("maps/old.map.bak"), "68 e\r\n");
  form->refreshMapList();
  form->refreshMapList();
  QMenu *maps = nullptr;
  for (QMenu *menu : form->menus())
    if (menu->objectName() == "Maps1")
      maps = menu;
  ASSERT_NE(maps, nullptr);
  QStringList captions;
  for (QAction *action : maps->actions())
    if (action->data().toString().startsWith(QString::fromStdString(dir.path())))
      captions << action->text();
  // A byte that no UTF-8 holds shows apart from any letter.
  EXPECT_EQ(captions, QStringList({"X", "stra\u00dfe", "x&&y", QChar(0xDCE9) + QString("x")}));
  maps->actions().back()->trigger();
  auto *picked = static_cast<TUserObject *>(form->selectedNode());
  EXPECT_EQ(picked->mapFileName, dir.file("maps/\xE9x.MAP"));
  EXPECT_EQ(picked->entries[68], "e");
  form->MapFileClick("x&y.map");
  EXPECT_EQ(static_cast<TUserObject *>(form->selectedNode())->entries[66], "c");

  form->selectItem(2);
  form->DeleteNodeClick();
  form->addFilter(upperCaseNode());
  form->createMapBasedOnFilters();
  auto *map = static_cast<TUserObject *>(form->selectedNode());
  EXPECT_EQ(map->entries['a'], "A");
  EXPECT_EQ(map->entries['7'], "7");

  // A filter failing on a character shows its error and makes no map.
  registerScriptFilterMakers();
  auto script = TScriptObject::CreateDefault();
  script->language = "JScript";
  script->script = "function startJob() {}\r\nfunction endJob() {}\r\n"
                   "function startFile() { return ''; }\r\nfunction endFile() { return ''; }\r\n"
                   "function processLine(line, EOL) { throw new Error('no'); }\r\n";
  form->addFilter(std::move(script));
  const int count = form->filterTree().count();
  boxTexts.clear();
  form->createMapBasedOnFilters();
  EXPECT_EQ(form->filterTree().count(), count);
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_NE(boxTexts[0].find("runtime error"), std::string::npos) << boxTexts[0];
}

} // namespace
} // namespace marrowen

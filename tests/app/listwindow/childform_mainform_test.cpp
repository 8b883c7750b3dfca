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
#include "filterlist/filenodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/settings.h"
#include "filterlist/utilitynodes.h"
#include "grid/data/font.h"
#include "grid/editing/combo.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"
#include "scriptfilter/scriptmakers.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <filesystem>
#include <set>

#include "app/automation/commandline.h"
#include "app/automation/exports.h"
#include "app/listwindow/wizard.h"
#include "app/main/optionsdialog.h"
#include "app/nodedialogs/iodialogs.h"
#include "filterlist/ionodes.h"

#include <QListWidget>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>

namespace marrowen {
namespace {

using testing::readFile;
using testing::writeFile;

std::unique_ptr<TListObject> upperCaseNode() {
  return findCatalogEntry("TDescriptionObject", 5)->createDefault(5);
}

// List windows inside the main window, as the program shows them.
class ChildFormInMainForm : public testing::AppTest {};

// The main window shown and active with one list window in it, the node
// dialogs registered, as the program starts.
struct ListInMainWindow {
  ListInMainWindow() {
    registerNodeDialogs();
    TchildForm::install();
    main = std::make_unique<TmainForm>(QStringList{"marrowen"});
    main->show();
    QApplication::setActiveWindow(main.get());
    child = dynamic_cast<TchildForm *>(main->CreateMDIChild());
  }
  ~ListInMainWindow() {
    main.reset();
    mainFormHooks() = MainFormHooks();
  }
  std::unique_ptr<TmainForm> main;
  TchildForm *child = nullptr;
};

TEST_F(ChildFormInMainForm, NewWindowsAreNumberedAndBringTheirMenusInGroupOrder) {
  TchildForm::install();
  {
    TmainForm main(QStringList{"marrowen"});
    main.show();
    auto *first = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(first, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(first->windowTitle(), "Untitled1");
    QStringList bar;
    for (QAction *action : main.menuBar()->actions())
      bar << action->text();
    EXPECT_EQ(bar, QStringList({"&File", "&Edit", "&Convert", "&Add", "&Remove", "Ema&il",
                                "&Special", "Se&lect", "&Maps", "&Tools", "&Window", "&Help"}));
    EXPECT_EQ(main.menuBar()->actions()[1]->menu(), first->editMenu());
    // A new window's trial areas take the font of the preferences.
    main.settings().adhocFontName = "Monospace";
    main.settings().adhocFontSize = 13;
    auto *second = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    EXPECT_EQ(second->windowTitle(), "Untitled2");
    EXPECT_EQ(second->trialOutput->font().family(), "Monospace");
    EXPECT_EQ(second->trialInput->font().pointSize(), 13);
    // Back in the first window, its keys work again (Ctrl+T: enable/disable).
    first->addFilter(upperCaseNode());
    main.mdiArea().setActiveSubWindow(qobject_cast<QMdiSubWindow *>(first->parentWidget()));
    QApplication::setActiveWindow(&main);
    first->treeView().setFocus();
    QCoreApplication::processEvents();
    const bool enabled = first->selectedNode()->getEnabled();
    QTest::keyClick(&first->treeView(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_NE(first->selectedNode()->getEnabled(), enabled);
    // Ctrl+W adds a word wrap, as the menu says; the workspace window closes
    // with Ctrl+F4.
    QTest::keyClick(&first->treeView(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(first->selectedNode()->className(), "TNumberObject");
    boxAnswer = QMessageBox::No;
    QTest::keyClick(&first->treeView(), Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main.mdiArea().subWindowList().size(), 1);
  }
  mainFormHooks() = MainFormHooks();
}

// The main window's commands and the command line fill the active window,
// not a list of their own.
TEST_F(ChildFormInMainForm, OpenAndSaveAsTellTheStatusBarAndOpenStartsAtTheLastList) {
  TchildForm::install();
  {
    TmainForm main(QStringList{"marrowen"});
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    std::filesystem::create_directories(dir.file("lists"));
    const std::string saved = dir.file("lists/a.fll");
    QString title, folder;
    dialogAnswer = [&](QDialog &dialog) {
      auto &files = static_cast<FileDialog &>(dialog);
      title = files.windowTitle();
      folder = files.directory();
      files.selectFile(QString::fromStdString(saved));
      return static_cast<int>(QDialog::Accepted);
    };
    mainFormHooks().commands.Saveas1();
    EXPECT_EQ(main.statusText().toStdString(), "Filter list saved as " + saved);
    mainFormHooks().commands.Open1();
    EXPECT_EQ(title, "Open Filter List");
    EXPECT_EQ(folder.toStdString(), dir.file("lists"));
    EXPECT_EQ(main.statusText().toStdString(), "Opening filter list " + saved);

    // Saved as the name offered, a list whose name no UTF-8 spells is saved
    // over itself, not beside itself under a name that only looks the same.
    const std::string own = dir.file("lists/\xE9 \xCE\xA9.fll");
    std::filesystem::copy_file(saved, own);
    child->loadFilterList(own, {});
    dialogAnswer = [](QDialog &) { return static_cast<int>(QDialog::Accepted); };
    EXPECT_TRUE(child->SaveAs());
    EXPECT_EQ(child->fileName(), own);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("lists")), {}), 2);
  }
  mainFormHooks() = MainFormHooks();
}

// The preferred trial font is kept whole, bold, italic and half points
// too, for the windows that come and after a restart.
TEST_F(ChildFormInMainForm, TheTrialFontIsKeptWholeForNewWindowsAndAfterARestart) {
  TchildForm::install();
  QFont chosen("Monospace");
  chosen.setPointSizeF(10.5);
  chosen.setBold(true);
  chosen.setItalic(true);
  auto takesIt = [&](const TchildForm *list) {
    const QFont font = list->trialInput->font();
    return font.family() == chosen.family() && font.pointSizeF() == 10.5 && font.bold() &&
           font.italic() && list->trialOutput->font() == font;
  };
  {
    TmainForm main(QStringList{"marrowen"});
    dialogAnswer = [&](QDialog &dialog) {
      static_cast<ToptionsDialog &>(dialog).setTrialFont(chosen);
      return static_cast<int>(QDialog::Accepted);
    };
    main.PreferencesClick();
    EXPECT_TRUE(takesIt(dynamic_cast<TchildForm *>(main.CreateMDIChild())));
  }
  TmainForm main(QStringList{"marrowen"});
  EXPECT_TRUE(takesIt(dynamic_cast<TchildForm *>(main.CreateMDIChild())));
  EXPECT_EQ(main.settings().adhocFontSize, 11);
  mainFormHooks() = MainFormHooks();
}

// At the list window's first size the panels under the trial areas show
// their counts whole, for a sample put there and for its trial run, and the
// two areas keep half the page each.
TEST_F(ChildFormInMainForm, TheTrialPanelsShowTheirCountsWholeAtTheFirstSize) {
  ListInMainWindow window;
  TchildForm *list = window.child;
  const std::string sample = dir.file("sample.txt");
  std::string text;
  for (int line = 0; line < 400000; ++line)
    text += "sample line\n";
  writeFile(sample, text);
  ASSERT_TRUE(list->testThenAdd(sample));
  list->addFilter(upperCaseNode());
  list->PutsampleinTrialInputArea1Click();
  QTest::mouseClick(list->trialRunButton, Qt::LeftButton);
  // A long output reaches its area after the run.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !list->trialRunning() && !list->trialOutputStatus->panelText(1).isEmpty(); },
      60000));
  const QList<int> sides = list->trialSplitter->sizes();
  EXPECT_NEAR(sides[0], sides[1], 2 * (list->trialSplitter->handleWidth() + 3));
  for (MemoStatusBar *status : {list->trialInputStatus, list->trialOutputStatus}) {
    const QLabel *panel = status->findChild<QLabel *>("panel1");
    EXPECT_EQ(panel->text().toStdString(), "Length: 4800000  Lines: 400000");
    // What the window lets be seen of it, not only its own width.
    EXPECT_GE(panel->visibleRegion().boundingRect().width(),
              panel->fontMetrics().horizontalAdvance(panel->text()));
    EXPECT_TRUE(panel->toolTip().isEmpty()) << "the counts are elided";
  }
}

// A name beyond ASCII shows as the file system spells it: in the title, the
// tray's hint, the status bar and the questions that name the list.
TEST_F(ChildFormInMainForm, AListNamedBeyondAsciiShowsItsNameAsSpelt) {
  TchildForm::install();
  {
    TmainForm main(QStringList{"marrowen"});
    auto *list = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    const QString name = QString::fromUtf8("\xC3\x9Cn\xC3\xAF list");
    const QString path = fileNameToQString(dir.file(fileNameFromQString(name + ".fll")));
    dialogAnswer = [&](QDialog &dialog) {
      static_cast<FileDialog &>(dialog).selectFile(path);
      return static_cast<int>(QDialog::Accepted);
    };
    mainFormHooks().commands.Saveas1();
    EXPECT_EQ(main.statusText(), "Filter list saved as " + path);
    EXPECT_EQ(list->windowTitle(), name);
    EXPECT_EQ(main.trayIcon()->Hint(), name);
    list->setFilterHasChanged(true);
    EXPECT_EQ(list->windowTitle(), name + " (modified)");
    boxAnswer = QMessageBox::No;
    list->parentWidget()->close();
    ASSERT_EQ(boxTexts.size(), 1u);
    EXPECT_EQ(QString::fromStdString(boxTexts[0]),
              "Filter '" + name + "' has changed. Save it first?");

    // A byte that is no UTF-8 reads apart from the letter, on loading
    // another list over the changed one and on closing it.
    auto *latin = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    dialogAnswer = [&](QDialog &dialog) {
      static_cast<FileDialog &>(dialog).selectFile(fileNameToQString(dir.file("lat\xE9n.fll")));
      return static_cast<int>(QDialog::Accepted);
    };
    ASSERT_TRUE(latin->SaveAs());
    latin->setFilterHasChanged(true);
    boxAnswer = QMessageBox::Cancel;
    latin->loadFilterList(fileNameFromQString(path), {.askQuestions = true});
    boxAnswer = QMessageBox::No;
    latin->parentWidget()->close();
    const std::string asked =
        messageToQString("Filter 'lat\xE9n' has changed. Save it first?").toStdString();
    EXPECT_EQ(boxTexts, std::vector<std::string>({boxTexts[0], asked, asked}));
  }
  mainFormHooks() = MainFormHooks();
}

TEST_F(ChildFormInMainForm, ARecentListDeletedFromDiskLeavesNoWindowAndNoEntry) {
  TchildForm::install();
  {
    TmainForm main(QStringList{"marrowen"});
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    const std::string gone = dir.file("gone.fll");
    child->saveFilterListAs(gone);
    std::filesystem::remove(gone);
    QAction *entry = nullptr;
    for (QAction *action : main.menu("Recentfiles1")->actions())
      if (action->text().endsWith(QString::fromStdString(gone)))
        entry = action;
    ASSERT_NE(entry, nullptr);
    // Laid out as the menu's other items: its number, a blank and the name,
    // with no tab to put the name in a shortcut column far to the right.
    EXPECT_EQ(entry->text(), "&1 " + QString::fromStdString(gone));
    entry->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(boxTexts.size(), 1u);
    EXPECT_NE(boxTexts[0].find(gone), std::string::npos) << boxTexts[0];
    EXPECT_EQ(main.mdiArea().subWindowList().size(), 1);
    EXPECT_EQ(main.recentFiles().Strings().IndexOf(gone), -1);
  }
  mainFormHooks() = MainFormHooks();
}

// Ctrl+V in a text of a list window does what Edit > Paste, which shows it as
// its key, does: control characters arrive escaped, and so stay on the
// clipboard. Paste special pastes them as they are.
TEST_F(ChildFormInMainForm, CtrlVPastesAsTheEditMenuDoes) {
  registerNodeDialogs();
  TchildForm::install();
  {
    TmainForm main(QStringList{"marrowen"});
    main.show();
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    QApplication::setActiveWindow(&main);
    child->selectItem(child->addFilter(TGrepObject::CreateDefault(0)));
    auto *pattern = child->blankPanel->findChild<QLineEdit *>(QStringLiteral("grepPattern"));
    ASSERT_NE(pattern, nullptr);
    QClipboard *clipboard = QApplication::clipboard();
    const auto ctrlV = [](QWidget *control) {
      control->setFocus();
      QCoreApplication::processEvents();
      QTest::keyClick(control, Qt::Key_V, Qt::ControlModifier);
      QCoreApplication::processEvents();
    };
    clipboard->setText(QStringLiteral("a\tb\x01"));
    ctrlV(pattern);
    EXPECT_EQ(pattern->text(), "a\\tb\\001");
    EXPECT_EQ(clipboard->text(), "a\tb\x01");

    child->Tabs->setCurrentWidget(child->trialSheet);
    const QString words = QStringLiteral("a\tb\x01 na\u00efve \u65e5\u672c \u20ac");
    clipboard->setText(words);
    ctrlV(child->trialInput);
    EXPECT_EQ(child->trialInput->toPlainText(),
              QStringLiteral("a\tb\\001 na\u00efve \u65e5\u672c \u20ac"));
    EXPECT_EQ(clipboard->text(), words);

    child->trialInput->clear();
    clipboard->setText(QStringLiteral("a\tb\x01"));
    child->trialInput->setFocus();
    main.action(QStringLiteral("Pastespecial1"))->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(child->trialInput->toPlainText(), "a\tb\x01");
  }
  mainFormHooks() = MainFormHooks();
}

// The list window's Edit menu, in the bar in place of the main window's,
// hints in the status bar at every item, and Escape puts back what the bar
// showed before.
TEST_F(ChildFormInMainForm, TheListWindowsEditItemsHintAndEscapePutsTheBarBack) {
  TchildForm::install();
  {
    TmainForm main(QStringList{"marrowen"});
    main.show();
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    QApplication::setActiveWindow(&main);
    child->selectItem(child->addFilter(upperCaseNode()));
    QCoreApplication::processEvents();
    QMenu *edit = child->editMenu();
    ASSERT_EQ(main.menuBar()->actions()[1]->menu(), edit);
    main.statusBarText("Job finished");
    QTest::mouseClick(main.menuBar(), Qt::LeftButton, {},
                      main.menuBar()->actionGeometry(edit->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitFor([edit] { return edit->isVisible(); }));
    std::set<QAction *> seen;
    for (int i = 0; i < edit->actions().size(); ++i) {
      QTest::keyClick(edit, Qt::Key_Down);
      QAction *item = edit->activeAction();
      ASSERT_NE(item, nullptr);
      seen.insert(item);
      EXPECT_FALSE(item->statusTip().isEmpty()) << item->text().toStdString();
      EXPECT_EQ(main.statusText(), item->statusTip()) << item->text().toStdString();
    }
    EXPECT_EQ(seen.size(), 11u) << "every item but the separator, the toggle included";
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([edit] { return !edit->isVisible(); }));
    EXPECT_EQ(main.statusText(), "Job finished");
  }
  mainFormHooks() = MainFormHooks();
}

// A job whose every file fails still goes through its list: its window
// counts the files tried, and its summary none processed.
TEST_F(ChildFormInMainForm, AJobWhoseFilesAllFailCountsThemDone) {
  TchildForm::install();
  {
    TmainForm main(QStringList{"marrowen"});
    main.show();
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    std::filesystem::create_directories(dir.file("in"));
    for (int i = 1; i <= 13; ++i)
      writeFile(dir.file("in/" + std::to_string(i) + ".txt"), "abc\n");
    writeFile(dir.file("blocker"), "");
    child->InputFilter()->inputFromFile = true;
    child->OutputFilter()->outputToFile = TOutputObject::files;
    child->OutputFilter()->changeBaseDir = true;
    child->OutputFilter()->newBaseDir = dir.file("blocker/out");
    child->testThenAdd(dir.file("in/*.txt"));
    QTest::mouseClick(child->beginButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.jobHost().activeJobs() == 0; }, 20000));
    ASSERT_EQ(main.jobHost().statusWindows().size(), 1u);
    TTstatusForm &status = *main.jobHost().statusWindows().front();
    EXPECT_EQ(status.findChild<QLabel *>("taskLabel")->text().toStdString(), "File 13 of 13:");
    EXPECT_EQ(status.findChild<QProgressBar *>("taskProgress")->value(), 100);
    EXPECT_EQ(status.statusBarText().toStdString(),
              "Job finished. 0 of 13 files processed, 0 binary files skipped, 0 non-binary files "
              "skipped");
  }
  mainFormHooks() = MainFormHooks();
}

// The values a command-line run gave the nodes reach the settings only once
// the user changes them in a dialog, however often the dialog comes and goes.
TEST_F(ChildFormInMainForm, CommandLineValuesAreRememberedOnlyWhenTheUserEditsThem) {
  ListInMainWindow window;
  TmainForm &main = *window.main;
  TchildForm *child = window.child;
  ASSERT_NE(child, nullptr);
  QCoreApplication::processEvents();
  {
    writeIntegerSetting("skipBinary", 2);
    writeIntegerSetting("binarySampleSize", 200);
    CommandLineHost host;
    host.setInteractive = [&main](bool on) { main.setInteractive(on); };
    TCommandLine line(*child, std::move(host));
    line.processCommandLine({"/CU", "/BP"});
    for (int item : {child->filterTree().count() - 1, 1, 2})
      child->selectItem(item);
    EXPECT_EQ(readIntegerSetting("skipBinary", -1), 2);
    EXPECT_EQ(readIntegerSetting("binarySampleSize", -1), 200);
    child->selectItem(1);
    child->findChild<QSpinBox *>(QStringLiteral("binarySampleSize"))->setValue(300);
    child->selectItem(2);
    EXPECT_EQ(readIntegerSetting("binarySampleSize", -1), 300);
    EXPECT_EQ(readIntegerSetting("skipBinary", -1), 0) << "the dialog's fields, now confirmed";
  }
}

// A line break typed into a search text or the trial input is LF, so a list
// made here finds lines in a Linux file; a list saved with CR LF breaks in a
// text still finds what it found.
TEST_F(ChildFormInMainForm, ALineBreakTypedIsLfAndAnOldListsBreaksStay) {
  ListInMainWindow window;
  TchildForm *child = window.child;
  ASSERT_NE(child, nullptr);
  child->selectItem(child->addFilter(TSearchObject::CreateDefault()));
  auto typeLines = [](QWidget *memo, const QStringList &lines) {
    memo->setFocus();
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0)
        QTest::keyClick(memo, Qt::Key_Return);
      QTest::keyClicks(memo, lines[i]);
    }
  };
  typeLines(child->blankPanel->findChild<QWidget *>("searchString"), {"Ende", "Anfang"});
  typeLines(child->blankPanel->findChild<QWidget *>("replaceString"), {"X"});
  const std::string input = dir.file("in.txt");
  writeFile(input, "Ende\nAnfang\n");
  child->InputFilter()->inputFromFile = true;
  child->OutputFilter()->outputToFile = TOutputObject::files;
  child->OutputFilter()->testMode = true;
  child->testThenAdd(input);
  QTest::mouseClick(child->beginButton, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(input + ".dCv") == "X\n"; }, 10000))
      << readFile(input + ".dCv");

  child->Tabs->setCurrentWidget(child->trialSheet);
  typeLines(child->trialInput, {"Ende", "Anfang", "Ende"});
  QTest::mouseClick(child->trialRunButton, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !child->trialRunning(); }, 10000));
  EXPECT_EQ(child->trialOutput->bytes(), "X\nEnde");

  // Saved before with CR LF in its texts, a list runs as it did, its
  // dialog shown and stored back.
  const std::string old = dir.file("old.fll");
  child->selectItem(2);
  QTest::keyClick(child->blankPanel->findChild<QWidget *>("searchString"), Qt::Key_End);
  child->selectItem(1);
  auto &search = dynamic_cast<TSearchObject &>(child->filterTree().node(2));
  EXPECT_EQ(search.searchString, "Ende\nAnfang");
  search.searchString = "Ende\r\nAnfang";
  child->saveFilterListAs(old);
  child->loadFilterList(old, {});
  child->selectItem(2);
  child->selectItem(1);
  writeFile(input, "Ende\r\nAnfang\r\n");
  QTest::mouseClick(child->beginButton, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(input + ".dCv") == "X\r\n"; }, 10000))
      << readFile(input + ".dCv");
}

// Trial run pressed on the trial page with its input changed runs and shows
// the result there, whichever node is selected; pressed again unchanged, or
// with a filter that cannot be built, it shows the filter tree.
TEST_F(ChildFormInMainForm, TrialRunStaysOnTheTrialPageWhileItRuns) {
  ListInMainWindow window;
  TchildForm *child = window.child;
  ASSERT_NE(child, nullptr);
  child->addFilter(upperCaseNode());
  const int count = child->filterTree().count();
  for (const int item : {0, 1, 2, count - 1}) {
    QTest::mouseClick(child->Tabs->tabBar(), Qt::LeftButton, {},
                      child->Tabs->tabBar()->tabRect(1).center());
    child->selectItem(item);
    QTest::mouseClick(child->Tabs->tabBar(), Qt::LeftButton, {},
                      child->Tabs->tabBar()->tabRect(4).center());
    QTest::mouseClick(child->trialInput, Qt::LeftButton);
    QTest::keyClicks(child->trialInput, "ab");
    QTest::mouseClick(child->trialRunButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !child->trialRunning(); }, 10000));
    EXPECT_EQ(child->Tabs->currentWidget(), child->trialSheet) << item;
    std::string upper = child->trialInput->bytes();
    for (char &c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(child->trialOutput->bytes(), upper) << item;
  }
  QTest::mouseClick(child->trialRunButton, Qt::LeftButton);
  EXPECT_EQ(child->Tabs->currentWidget(), child->filtersTab) << "unchanged";
  child->selectItem(0);
  child->addFilter(TSearchObject::CreateDefault()); // a blank search cannot be built
  child->selectItem(0);
  child->Tabs->setCurrentWidget(child->trialSheet);
  QTest::keyClicks(child->trialInput, "c");
  QTest::mouseClick(child->trialRunButton, Qt::LeftButton);
  EXPECT_EQ(child->Tabs->currentWidget(), child->filtersTab) << "a build error";
}

// A signal while "Save it first?" is up ends the question unanswered, which
// is no No: no other list is loaded over the changes, and the quit that
// follows saves nothing and logs the list as not saved.
TEST_F(ChildFormInMainForm, ASignalWhileTheSaveQuestionIsUpSavesNothingAndSaysSo) {
  ListInMainWindow window;
  TchildForm *child = window.child;
  ASSERT_NE(child, nullptr);
  QCoreApplication::processEvents();
  {
    const std::string mine = dir.file("mine.fll");
    child->saveFilterListAs(dir.file("other.fll"));
    child->saveFilterListAs(mine);
    const std::string saved = readFile(mine);
    child->addFilter(upperCaseNode());
    ScopedDialogRunner signal([](QDialog &) {
      setApplicationTerminating(true);
      return int(QDialog::Rejected);
    });
    child->loadFilterList(dir.file("other.fll"), {.askQuestions = true});
    EXPECT_EQ(child->fileName(), mine);
    EXPECT_TRUE(child->filterHasChanged());
    setApplicationTerminating(false);
    const QPointer<TchildForm> closing(child);
    EXPECT_FALSE(child->parentWidget()->close());
    EXPECT_TRUE(child->parentWidget()->close());
    setApplicationTerminating(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closing.isNull());
    EXPECT_EQ(readFile(mine), saved);
    EXPECT_NE(
        readFile(dir.file("marrowen.log")).find("Filter 'mine' has changed and was not saved"),
        std::string::npos);
  }
}

TEST_F(ChildFormInMainForm, CommandsExportsAndTheWizardReachTheActiveWindow) {
  registerInputOutputDialogs();
  TchildForm::install();
  installExportCommands();
  installWizard();
  {
    TmainForm main(QStringList{"marrowen"});
    main.show();
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    QCoreApplication::processEvents();

    // The input node's dialog is shown; the command line's settings survive it.
    TCommandLine line(*child, {});
    line.processCommandLine({"/CU"});
    ASSERT_NE(child->InputFilter(), nullptr);
    EXPECT_TRUE(child->InputFilter()->inputFromFile);
    EXPECT_EQ(child->InputFilter()->skipBinary, 1);
    EXPECT_EQ(child->InputFilter()->binarySampleSize, 100);
    ASSERT_EQ(child->filterTree().count(), 4);
    const QString report = getTextRepresentation(*child);

    mainFormHooks().commands.Exportfilter1();
    EXPECT_EQ(QApplication::clipboard()->text(), report);

    const std::string pdf = dir.file("list.pdf");
    std::vector<std::string> ran;
    dialogAnswer = [&](QDialog &dialog) {
      ran.push_back(dialog.metaObject()->className());
      if (auto *print = qobject_cast<QPrintDialog *>(&dialog)) {
        print->printer()->setOutputFormat(QPrinter::PdfFormat);
        print->printer()->setOutputFileName(QString::fromStdString(pdf));
        return static_cast<int>(QDialog::Accepted);
      }
      return static_cast<int>(QDialog::Rejected);
    };
    mainFormHooks().commands.Print1();
    mainFormHooks().commands.Printersetup1();
    EXPECT_EQ(readFile(pdf).substr(0, 5), "%PDF-");

    QAction *wizard = nullptr;
    for (QAction *action : child->toolsMenu()->actions())
      if (action->text() == "Filter wizard...")
        wizard = action;
    ASSERT_NE(wizard, nullptr);
    EXPECT_TRUE(wizard->isEnabled());
    child->selectItem(child->filterTree().count() - 1);
    EXPECT_FALSE(child->beginButton->isEnabled());
    wizard->trigger();
    // The wizard stays open beside the list, which the user goes on using:
    // each task goes after the filter selected there.
    QPointer<TWizardForm> shown;
    for (QWidget *window : QApplication::topLevelWidgets())
      if (auto *form = qobject_cast<TWizardForm *>(window); form && form->isVisible())
        shown = form;
    ASSERT_TRUE(shown);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Its sentence says where the list writes, as the output's dialog has it.
    child->blankPanel->findChild<QRadioButton *>("outputToFileRadio")->click();
    child->blankPanel->findChild<QCheckBox *>("changeBaseDir")->click();
    child->blankPanel->findChild<TDirectoryEdit *>("newBaseDir")
        ->setText(QString::fromStdString(dir.file("out")));
    shown->nextButtonClick();
    shown->nextButtonClick();
    ASSERT_EQ(shown->pages()->currentIndex(), TWizardForm::FileInputOutput);
    const QString sentence = shown->pages()->currentWidget()->findChild<QLabel *>()->text();
    EXPECT_TRUE(sentence.endsWith("writes each result to a file of the same name in the folder " +
                                  QString::fromStdString(dir.file("out")) +
                                  "; the files themselves stay as they are."))
        << sentence.toStdString();
    // and keeps saying it while the page shows and the dialog changes.
    child->blankPanel->findChild<QCheckBox *>("changeBaseDir")->click();
    EXPECT_EQ(shown->pages()->currentWidget()->findChild<QLabel *>()->text().toStdString(),
              "The filter list reads the files you add on its page \"Files to Process\" and "
              "writes each file back in place.");
    // An extension stored as a byte that is no UTF-8 reads as no letter.
    child->selectItem(0);
    child->OutputFilter()->changeExtension = true;
    child->OutputFilter()->newExtension = ".d\xE9";
    shown->prevButtonClick();
    shown->nextButtonClick();
    EXPECT_TRUE(shown->pages()->currentWidget()->findChild<QLabel *>()->text().contains(
        "with the extension " + fileNameToQString(".d\xE9") + ";"));
    // The switch reaches Go with the input's dialog hidden.
    shown->findChildren<QRadioButton *>().back()->click();
    shown->tasks()->setCurrentRow(3);
    shown->addButton()->click();
    EXPECT_FALSE(child->InputFilter()->inputFromFile);
    EXPECT_TRUE(child->beginButton->isEnabled());
    EXPECT_EQ(ran, (std::vector<std::string>{"QPrintDialog", "QPageSetupDialog"}));
    EXPECT_EQ(child->filterTree().count(), 5);
    EXPECT_TRUE(child->filterHasChanged());
    child->selectItem(1);
    shown->tasks()->setCurrentRow(4);
    shown->addButton()->click();
    EXPECT_EQ(child->filterTree().node(2).getTitle(), "Convert to lowercase");
    wizard->trigger(); // the one wizard comes forward again
    EXPECT_EQ(QApplication::topLevelWidgets().count(shown.data()), 1);
    // It goes with its list; the question on the way comes above it, not
    // hidden under it.
    Qt::WindowFlags questionFlags;
    {
      ScopedDialogRunner answer([&](QDialog &box) {
        questionFlags = box.windowFlags();
        return static_cast<int>(QMessageBox::No);
      });
      child->parentWidget()->close();
    }
    EXPECT_TRUE(questionFlags & Qt::WindowStaysOnTopHint);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.isNull(); }));
  }
  mainFormHooks() = MainFormHooks();
  registerNodeDialog("TInputObject", {});
  registerNodeDialog("TOutputObject", {});
}

// When it copies, the command-line export names each filter it writes as a
// comment only, those under a selection too, and neither comment filters nor
// filters with an option of their own; a list without such filters copies
// silently.
TEST_F(ChildFormInMainForm, TheCommandLineExportNamesTheFiltersItWritesAsComments) {
  TchildForm::install();
  installExportCommands();
  {
    TmainForm main(QStringList{"marrowen"});
    main.show();
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    auto *exportCommand = main.findChild<QAction *>("Exportcommandline1");
    ASSERT_NE(exportCommand, nullptr);
    const auto add = [&](const char *className, int kind) {
      return child->addFilter(findCatalogEntry(className, kind)->createDefault(kind));
    };
    add("TDescriptionObject", 7);
    add("TCommentObject", 0);
    exportCommand->trigger();
    EXPECT_TRUE(boxTexts.empty());
    EXPECT_EQ(QApplication::clipboard()->text(), getCmdLineRepresentation(*child));

    add("TSortObject", 0);
    const int range = add("TDeleteColumnsObject", 1);
    child->TreeViewDragDrop(add("TDescriptionObject", 5), range, true);
    ASSERT_TRUE(child->filterTree().hasChildren(range));
    exportCommand->trigger();
    ASSERT_EQ(boxTexts.size(), 1u);
    EXPECT_EQ(QApplication::clipboard()->text(), getCmdLineRepresentation(*child));
    for (const char *named : {"\nAscending ANSI sort (case insensitive)\n",
                              "\nSelect lines 1 .. 20\n", "\nConvert to UPPERCASE"})
      EXPECT_NE(boxTexts[0].find(named), std::string::npos) << named << " in " << boxTexts[0];
    EXPECT_EQ(boxTexts[0].find("Title Case"), std::string::npos);
    EXPECT_EQ(boxTexts[0].find("\nComment"), std::string::npos);
  }
  mainFormHooks() = MainFormHooks();
}

// Runs a picker as a person would: types a name into its file name box, and
// presses Return there while the completer offers the name.
int typeWithCompleterAndReturn(QDialog &dialog, const QString &typed, bool &completerShown) {
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
  if (!edit)
    return QDialog::Rejected;
  edit->setFocus();
  QTest::keyClicks(edit, typed);
  completerShown = QTest::qWaitFor(
      [edit] { return edit->completer() && edit->completer()->popup()->isVisible(); }, 5000);
  // A box the dialog might raise itself must not wait for a person.
  QTimer::singleShot(3000, &dialog, [&dialog] {
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != &dialog)
      modal->close();
  });
  QWidget *target = edit;
  if (completerShown)
    target = edit->completer()->popup();
  QTest::keyClick(target, Qt::Key_Return);
  if (dialog.isVisible())
    QTest::keyClick(edit, Qt::Key_Return);
  return dialog.result();
}

TEST_F(ChildFormInMainForm, ReturnInEachPickerWithItsCompleterShowingIsSafe) {
  TchildForm::install();
  registerNodeDialogs();
  std::filesystem::create_directories(dir.file("pick/alphaFolder"));
  std::filesystem::create_directories(dir.file("pick/alphaOther"));
  writeFile(dir.file("pick/alpha1.txt"), "one\n");
  writeFile(dir.file("pick/alpha2.txt"), "two\n");
  {
    TmainForm main(QStringList{"marrowen"});
    main.show();
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    QCoreApplication::processEvents();
    int pickers = 0, completions = 0;
    ScopedDialogRunner runner([&](QDialog &dialog) {
      auto *files = qobject_cast<FileDialog *>(&dialog);
      if (!files)
        return int(QDialog::Rejected);
      ++pickers;
      const bool folder = files->fileMode() == FileDialog::Directory;
      bool shown = false;
      const int result = typeWithCompleterAndReturn(
          dialog, QString::fromStdString(dir.file(folder ? "pick/alphaFolder" : "pick/alpha1.txt")),
          shown);
      completions += shown;
      return result;
    });
    // The files page's "Load...", the grid's "..." cell button and the output
    // node's folder button; each dialog goes as its caller returns.
    child->findChild<QPushButton *>(QStringLiteral("loadFromFileButton"))->click();
    QCoreApplication::processEvents();
    child->fileGrid().OnButtonClick(&child->fileGrid(), 1, 0);
    QCoreApplication::processEvents();
    child->selectItem(2);
    auto *folder = child->findChild<TDirectoryEdit *>(QStringLiteral("newBaseDir"));
    ASSERT_NE(folder, nullptr);
    folder->ButtonClick();
    QCoreApplication::processEvents();
    EXPECT_EQ(pickers, 3);
    EXPECT_GE(completions, 1) << "the completer never showed: the test proves little";
    main.UpdateMenuItems();
  }
  mainFormHooks() = MainFormHooks();
}

// Qt's file dialog left out every name that no UTF-8 holds, so a folder of
// old names looked empty and such a list could not be opened. Driven by keys
// and clicks, the dialogs list each name apart from the one with the letter
// and hand back its very bytes: File > Open opens that list, a browse button
// puts the name in its field; a cancelled dialog changes nothing.
TEST_F(ChildFormInMainForm, FileDialogsListEveryNameApartAndHandBackItsBytes) {
  TchildForm::install();
  registerNodeDialogs();
  const std::string folder = dir.file("old"), sub = folder + "/sub\xE9";
  std::filesystem::create_directories(sub);
  const std::string latin = folder + "/lat\xE9n.fll", utf8 = folder + "/lat\xC3\xA9n.fll";
  const std::string stray = folder + "/r\xFF\x80.txt";
  for (auto [name, kind] : {std::pair{latin, 5}, std::pair{utf8, 6}}) {
    TFilterList list;
    list.resetToDefault();
    list.insertNode(list.count() - 1,
                    findCatalogEntry("TDescriptionObject", kind)->createDefault(kind), 1, true);
    list.saveToFile(name);
  }
  writeFile(stray, "a\n");
  writeFile(sub + "/deep.fll", "");
  const auto shown = [](const std::string &name) { return fileNameToQString(name); };
  {
    TmainForm main(QStringList{"marrowen"});
    main.show();
    auto *child = dynamic_cast<TchildForm *>(main.CreateMDIChild());
    ASSERT_NE(child, nullptr);
    std::function<void(FileDialog &)> drive;
    dialogAnswer = [&](QDialog &dialog) {
      auto *files = qobject_cast<FileDialog *>(&dialog);
      if (!files)
        return int(QDialog::Rejected);
      dialog.show();
      QApplication::setActiveWindow(&dialog);
      drive(*files);
      return dialog.result();
    };
    auto *list = static_cast<QListWidget *>(nullptr);
    auto *nameField = static_cast<QLineEdit *>(nullptr);
    const auto find = [&](FileDialog &files) {
      list = files.findChild<QListWidget *>("fileList");
      nameField = files.findChild<QLineEdit *>("fileNameEdit");
    };
    // Typing a folder and Enter goes there.
    const auto typeFolder = [&](const std::string &path) {
      nameField->setFocus();
      nameField->clear();
      QTest::keyClicks(nameField, shown(path));
      QTest::keyClick(nameField, Qt::Key_Return);
    };
    const auto rowOf = [&](const std::string &name) {
      const auto found = list->findItems(shown(name), Qt::MatchExactly);
      return found.size() == 1 ? list->row(found.front()) : -1;
    };
    const auto clickName = [&](const std::string &name) {
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->item(rowOf(name))).center());
    };

    QStringList listed;
    drive = [&](FileDialog &files) {
      find(files);
      // Typed into the folder field, Enter goes to the folder.
      files.findChild<QComboBox *>("lookInCombo")->setFocus();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(QApplication::focusWidget(), shown(folder));
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      ASSERT_TRUE(files.isVisible());
      EXPECT_EQ(files.directory(), shown(folder));
      EXPECT_TRUE(nameField->text().isEmpty());
      listed = files.listedNames();
      // Into the folder with E9 by Enter, and back up by Backspace.
      list->setFocus();
      list->setCurrentRow(rowOf("sub\xE9"));
      QTest::keyClick(list, Qt::Key_Return);
      EXPECT_EQ(files.listedNames(), QStringList{"deep.fll"});
      QTest::keyClick(list, Qt::Key_Backspace);
      EXPECT_EQ(files.directory(), shown(folder));
      // Down the list by keys to the Latin-1 name; Enter opens it.
      list->setCurrentRow(0);
      while (list->currentRow() >= 0 && list->currentItem()->text() != shown("lat\xE9n.fll") &&
             list->currentRow() + 1 < list->count())
        QTest::keyClick(list, Qt::Key_Down);
      QTest::keyClick(list, Qt::Key_Return);
    };
    main.action("Open1")->trigger();
    // The folder first, then both lists, each its own entry; the .txt file
    // is not a list.
    EXPECT_EQ(listed,
              QStringList({shown("sub\xE9"), shown("lat\xC3\xA9n.fll"), shown("lat\xE9n.fll")}));
    EXPECT_NE(listed.value(1), listed.value(2));
    auto *active = dynamic_cast<TchildForm *>(main.activeChildForm());
    ASSERT_NE(active, nullptr);
    EXPECT_EQ(active->fileName(), latin);
    EXPECT_EQ(main.statusText(), "Opening filter list " + shown(latin));
    const auto firstKind = [](TchildForm &form) {
      for (int item = 0; item < form.filterTree().count(); ++item)
        if (auto *node = dynamic_cast<TDescriptionObject *>(&form.filterTree().node(item)))
          return node->kind;
      return -1;
    };
    EXPECT_EQ(firstKind(*active), 5);

    // Cancelled after picking the other list, File > Open opens nothing.
    drive = [&](FileDialog &files) {
      find(files);
      EXPECT_EQ(files.directory(), shown(folder)); // where the last list came from
      clickName("lat\xC3\xA9n.fll");
      EXPECT_EQ(nameField->text(), shown("lat\xC3\xA9n.fll"));
      QTest::keyClick(&files, Qt::Key_Escape);
    };
    main.action("Open1")->trigger();
    EXPECT_EQ(dynamic_cast<TchildForm *>(main.activeChildForm())->fileName(), latin);

    // File > Save As by keys into the folder with E9 writes the list under
    // those bytes; then, one filter more, over the Latin-1 list picked by a
    // click, asked first: the list with the letter is left as it was.
    const auto nodesIn = [](const std::string &name) {
      TFilterList saved;
      saved.loadFromFile(name);
      return saved.count();
    };
    const std::string utf8Before = readFile(utf8);
    drive = [&](FileDialog &files) {
      find(files);
      EXPECT_EQ(files.directory(), shown(folder));
      list->setFocus();
      list->setCurrentRow(rowOf("sub\xE9"));
      QTest::keyClick(list, Qt::Key_Return);
      nameField->setFocus();
      QTest::keyClick(nameField, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(nameField, "neu");
      QTest::keyClick(nameField, Qt::Key_Return);
    };
    main.action("Saveas1")->trigger();
    EXPECT_EQ(active->fileName(), sub + "/neu.fll");
    EXPECT_EQ(nodesIn(sub + "/neu.fll"), nodesIn(latin));
    EXPECT_FALSE(std::filesystem::exists(dir.file("old/sub\xC3\xA9")));

    active->addFilter(upperCaseNode());
    boxTexts.clear();
    boxAnswer = QMessageBox::Yes;
    drive = [&](FileDialog &files) {
      find(files);
      EXPECT_EQ(files.directory(), shown(sub)); // where the list now is
      list->setFocus();
      QTest::keyClick(list, Qt::Key_Backspace);
      clickName("lat\xE9n.fll");
      EXPECT_EQ(nameField->text(), shown("lat\xE9n.fll"));
      nameField->setFocus();
      QTest::keyClick(nameField, Qt::Key_Return);
    };
    main.action("Saveas1")->trigger();
    ASSERT_EQ(boxTexts.size(), 1u);
    EXPECT_EQ(boxTexts[0],
              (shown(latin) + " already exists.\nDo you want to replace it?").toStdString());
    EXPECT_EQ(active->fileName(), latin);
    EXPECT_EQ(nodesIn(latin), nodesIn(sub + "/neu.fll") + 1);
    EXPECT_EQ(readFile(utf8), utf8Before);

    // A browse button: the name with FF and a lone continuation byte is
    // clicked, then OK; its bytes are the field's name.
    active->addFilter(TMergeObject::CreateWith(TMergeObject::OnlyShowLinesFoundIn, "before.txt"));
    QCoreApplication::processEvents();
    auto *edit = active->findChild<TFilenameEdit *>("mergeFilename");
    ASSERT_NE(edit, nullptr);
    drive = [&](FileDialog &files) {
      find(files);
      typeFolder(folder);
      EXPECT_EQ(files.listedNames(), QStringList({shown("sub\xE9"), shown("r\xFF\x80.txt")}));
      clickName("r\xFF\x80.txt");
      QTest::mouseClick(files.findChild<QPushButton *>("acceptButton"), Qt::LeftButton);
    };
    QTest::mouseClick(&edit->button(), Qt::LeftButton);
    EXPECT_EQ(fileNameFromQString(edit->FileName()), stray);
    // Cancelled, the field keeps it.
    drive = [&](FileDialog &files) {
      find(files);
      nameField->setFocus();
      QTest::keyClicks(nameField, "other.txt");
      QTest::mouseClick(files.findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
    };
    QTest::mouseClick(&edit->button(), Qt::LeftButton);
    EXPECT_EQ(fileNameFromQString(edit->FileName()), stray);
    active->setFilterHasChanged(false);
  }
  mainFormHooks() = MainFormHooks();
}

} // namespace
} // namespace marrowen

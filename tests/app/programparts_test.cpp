#include "app/programparts.h"

#include "app/automation/commandline.h"
#include "app/automation/commandlinehelper.h"
#include "app/automation/shellextensions.h"
#include "app/automation/updateform.h"
#include "app/common/patternmenu.h"
#include "app/jobs/debugwindow.h"
#include "app/jobs/queryreplace.h"
#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/childform.h"
#include "app/listwindow/filtertreemodel.h"
#include "app/listwindow/wizard.h"
#include "app/main/aboutbox.h"
#include "app/main/commandlineform.h"
#include "app/main/helpaccess.h"
#include "app/main/mainform.h"
#include "app/main/optionsdialog.h"
#include "app/main/tipoftheday.h"
#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/scriptdialogs.h"
#include "app/nodedialogs/searchdialogs.h"
#include "app_testing.h"
#include "classlib/program.h"
#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "components/filedialog.h"
#include "engine/userinterface.h"
#include "filterlist/commentnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "filterlist/utilitynodes.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>
#include <set>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::writeFile;

// The whole program as a user meets it: the real main window with every
// part plugged in, boxes and dialogs answered through the dialog runner.
class WholeProgram : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    installProgramParts();
    // The program's clipboard and questions, as it runs.
    headless = userInterface();
    installWindowHandlers();
    startMain();
  }
  void startMain() {
    main = std::make_unique<TmainForm>(QStringList{"marrowen"});
    main->resize(900, 700);
    main->show();
    QApplication::setActiveWindow(main.get());
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    for (QWidget *window : QApplication::topLevelWidgets())
      if (window != main.get() && window->isVisible())
        window->close();
    main.reset();
    EXPECT_TRUE(QTest::qWaitFor([] { return TchildForm::jobHost().activeJobs() == 0; }, 10000));
    QCoreApplication::processEvents();
    mainFormHooks() = MainFormHooks();
    setUserInterface(headless);
    AppTest::TearDown();
  }
  TchildForm *activeList() const { return dynamic_cast<TchildForm *>(main->activeChildForm()); }
  TchildForm *newList() {
    auto *list = dynamic_cast<TchildForm *>(main->CreateMDIChild());
    QCoreApplication::processEvents();
    return list;
  }

  std::unique_ptr<TmainForm> main;
  std::shared_ptr<UserInterface> headless;
};

// Everything a menu command may change that a user would see.
struct Seen {
  QString status;
  qsizetype launched = 0;
  std::size_t dialogs = 0, boxes = 0;
  QString clipboard;
  std::vector<std::tuple<QWidget *, QRect, int>> windows;
  QMdiSubWindow *active = nullptr;
  std::set<QWidget *> topLevels;
  bool mainVisible = false;
  int nodes = 0, selected = -1, page = -1, mapItems = 0;
  bool enabled = false, changed = false;
  QString memo, memoSelection, trialInput, go, heading;

  bool operator==(const Seen &) const = default;
};

// Warnings that tell of a command sent where nothing takes it.
std::vector<std::string> misroutedCommands;

void recordMisrouted(QtMsgType, const QMessageLogContext &, const QString &message) {
  if (message.contains("No such method") || message.contains("Ambiguous shortcut"))
    misroutedCommands.push_back(message.toStdString());
}

TEST_F(WholeProgram, EveryMenuItemActsWithNoListAndWithListsOpen) {
  std::filesystem::create_directories(dir.file("maps"));
  std::vector<std::string> failures;
  misroutedCommands.clear();
  const QtMessageHandler previousHandler = qInstallMessageHandler(recordMisrouted);
  auto seen = [&] {
    Seen s;
    s.status = main->statusText() + (main->statusIsError() ? "!" : "");
    s.launched = launcher->opened.size() + launcher->started.size();
    s.dialogs = shownDialogs.size();
    s.boxes = boxTexts.size();
    s.clipboard = QApplication::clipboard()->text();
    for (QMdiSubWindow *sub : main->mdiArea().subWindowList())
      if (sub->isVisible())
        s.windows.emplace_back(sub, sub->geometry(), int(sub->windowState()));
    s.active = main->mdiArea().activeSubWindow();
    for (QWidget *window : QApplication::topLevelWidgets())
      if (window->isVisible())
        s.topLevels.insert(window);
    s.mainVisible = main->isVisible();
    if (TchildForm *list = activeList()) {
      s.nodes = list->filterTree().count();
      s.selected = list->selectedIndex();
      s.enabled = list->selectedNode() && list->selectedNode()->getEnabled();
      s.changed = list->filterHasChanged();
      s.page = list->Tabs->currentIndex();
      s.memo = list->scratchPad->toPlainText();
      s.memoSelection = list->scratchPad->textCursor().selectedText();
      s.trialInput = list->trialInput->toPlainText();
      s.go = list->beginButton->text();
      s.heading = list->filterHeading->text();
      for (QMenu *menu : list->menus())
        if (menu->objectName() == "Maps1")
          s.mapItems = int(menu->actions().size());
    }
    return s;
  };
  // The state each command starts from, so that it has something to act on.
  auto prepare = [&](QAction *action, QWidget *menu) {
    QApplication::clipboard()->setText("clip");
    const QString name = action->objectName();
    if (menu->objectName() == "Window1")
      for (QMdiSubWindow *sub : main->mdiArea().subWindowList())
        sub->showNormal();
    // An icon moved away from the others, for Arrange icons to line up again.
    if (name == "Arrangeicons1")
      if (QMdiSubWindow *sub = main->mdiArea().activeSubWindow()) {
        sub->showMinimized();
        sub->move(0, 0);
      }
    TchildForm *list = activeList();
    if (!list)
      return;
    list->trialOutput->setPlainText("out");
    if (name == "Undochangestothisline1") {
      list->selectItem(list->filterTree().count() - 1);
      if (auto *testMode = list->blankPanel->findChild<QCheckBox *>("testMode"))
        testMode->click();
    }
    if (name == "Refreshmaplist1")
      writeFile(dir.file("maps/m" + std::to_string(seen().mapItems) + ".map"), "65 b\r\n");
    if (menu->objectName() == "Edit2" || menu->objectName() == "Edit1" ||
        menu->objectName() == "ToolBar2") {
      QApplication::setActiveWindow(main.get());
      list->Tabs->setCurrentWidget(list->scratchPadSheet);
      list->scratchPad->setPlainText("some text");
      list->scratchPad->moveCursor(QTextCursor::NextWord, QTextCursor::KeepAnchor);
      list->scratchPad->setFocus();
    }
  };
  // Every item of the bar's menus as it stands and every tool button, found
  // again by its menu or tool bar and name: a command may close the window
  // whose menus were shown.
  using Item = std::pair<QString, QString>;
  auto walkBar = [&](const std::function<void(QWidget *, QAction *)> &visit) {
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
      for (QAction *action : menu->actions()) {
        if (action->isSeparator() || !action->isVisible())
          continue;
        if (action->menu())
          walk(action->menu());
        else
          visit(menu, action);
      }
    };
    for (QAction *bar : main->menuBar()->actions())
      walk(bar->menu());
    for (QToolBar *bar : main->findChildren<QToolBar *>())
      for (QAction *action : bar->actions())
        if (!action->isSeparator())
          visit(bar, action);
  };
  auto triggerAll = [&](const char *state) {
    std::vector<Item> items;
    walkBar([&](QWidget *menu, QAction *action) {
      items.emplace_back(menu->objectName(), action->objectName() + action->text());
    });
    for (const Item &item : items) {
      QWidget *menu = nullptr;
      QAction *action = nullptr;
      walkBar([&](QWidget *m, QAction *a) {
        if (m->objectName() == item.first && a->objectName() + a->text() == item.second) {
          menu = m;
          action = a;
        }
      });
      // Exit is the last command of all.
      if (!action || !action->isEnabled() || action->objectName() == "Exit1")
        continue;
      prepare(action, menu);
      QCoreApplication::processEvents();
      const Seen before = seen();
      // A window that waits for a person would hang the run: it is closed.
      bool modal = false;
      QTimer watchdog;
      watchdog.setSingleShot(true);
      QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (QWidget *waiting = QApplication::activeModalWidget()) {
          modal = true;
          waiting->close();
        }
      });
      watchdog.start(3000);
      auto *toolBar = qobject_cast<QToolBar *>(menu);
      const QString what =
          QString("%1: %2 > %3")
              .arg(state, toolBar ? toolBar->windowTitle() : static_cast<QMenu *>(menu)->title(),
                   action->text());
      if (toolBar)
        static_cast<QToolButton *>(toolBar->widgetForAction(action))->click();
      else
        action->trigger();
      QCoreApplication::processEvents();
      if (modal)
        failures.push_back(what.toStdString() + " waits for a person");
      if (seen() == before)
        failures.push_back(what.toStdString() + " does nothing");
      // Windows it opened go again, so the next command starts as this one did.
      for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && !before.topLevels.count(window))
          window->close();
      const int lists = std::string(state) == "lists" ? 2 : 0;
      int kept = 0;
      for (QMdiSubWindow *sub : main->mdiArea().subWindowList()) {
        auto *list = qobject_cast<TchildForm *>(sub->widget());
        if (list && ++kept <= lists)
          continue;
        if (list)
          list->setFilterHasChanged(false);
        sub->close();
      }
      QCoreApplication::processEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      while (int(main->mdiArea().subWindowList().size()) < lists)
        newList();
      QCoreApplication::processEvents();
    }
  };

  triggerAll("no list");
  EXPECT_EQ(main->mdiArea().subWindowList().size(), 0);
  newList();
  newList();
  triggerAll("lists");
  // Lists the commands changed: their changes are not kept.
  boxAnswer = QMessageBox::No;
  main->action("Exit1")->trigger();
  QCoreApplication::processEvents();
  EXPECT_FALSE(main->isVisible());
  qInstallMessageHandler(previousHandler);
  EXPECT_EQ(failures, std::vector<std::string>());
  EXPECT_EQ(misroutedCommands, std::vector<std::string>());
}

// Link to filter asks for a filter file and adds a node that links it.
TEST_F(WholeProgram, LinkToFilterAddsALinkToTheChosenFile) {
  TchildForm *list = newList();
  const std::string linked = dir.file("other.fll");
  list->saveFilterListAs(linked);
  dialogAnswer = [&](QDialog &dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Link Filter List");
    static_cast<FileDialog &>(dialog).selectFile(QString::fromStdString(linked));
    return static_cast<int>(QDialog::Accepted);
  };
  main->action("Linktofilter1")->trigger();
  auto *link = dynamic_cast<TMergeObject *>(list->selectedNode());
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->kind, TMergeObject::LinkFilterFile);
  EXPECT_EQ(link->fileName, linked);
}

// A trial run's status window comes and goes over a maximised list without
// restoring it, and the list that ran stays in front of the other.
TEST_F(WholeProgram, ARunKeepsTheMaximisedListMaximisedAndInFront) {
  newList();
  TchildForm *list = newList();
  list->addDescriptionFilter(5);
  QMdiSubWindow *frame = main->mdiArea().activeSubWindow();
  ASSERT_EQ(frame->widget(), list);
  frame->showMaximized();
  list->trialInput->setPlainText("abc");
  list->trialRunButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->trialOutput->toPlainText() == "ABC"; }, 10000));
  ASSERT_TRUE(QTest::qWaitFor([] { return TchildForm::jobHost().activeJobs() == 0; }, 10000));
  QCoreApplication::processEvents();
  EXPECT_TRUE(frame->isMaximized());
  EXPECT_EQ(main->mdiArea().activeSubWindow(), frame);
}

// The Edit menus carry the usual keys, and the main window's items are its
// own, not the list window's of the same names.
TEST_F(WholeProgram, EditMenusCarryTheirKeysAndPasteSpecialWantsAWindow) {
  EXPECT_FALSE(main->action("Pastespecial1")->isEnabled());
  TchildForm *list = newList();
  EXPECT_TRUE(main->action("Pastespecial1")->isEnabled());
  EXPECT_EQ(main->action("Cut1")->parent(), main->menu("Edit1"));
  for (auto [name, key] :
       {std::pair{"Cut1", "Ctrl+X"}, std::pair{"Copy1", "Ctrl+C"}, std::pair{"Paste1", "Ctrl+V"}}) {
    EXPECT_EQ(main->action(name)->shortcut(), QKeySequence(key)) << name;
    EXPECT_EQ(list->findAction(name)->shortcut(), QKeySequence(key)) << name;
  }
  EXPECT_EQ(list->findAction("SelectAll1")->shortcut(), QKeySequence("Ctrl+A"));
}

// The product's name shows once in a title: the window system appends an
// application's display name to each title, so none is given.
TEST_F(WholeProgram, TitlesNameTheProductOnce) {
  EXPECT_EQ(main->windowTitle(), toQString(program::displayName));
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

// Closing the program asks about each changed list before anything closes
// or stops: Cancel keeps the program, every window and a running job, and a
// list that answered No before the Cancel asks again at its next close.
TEST_F(WholeProgram, CancelOnTheCloseQuestionKeepsTheProgramItsWindowsAndItsJobs) {
  TchildForm *first = newList();
  writeFile(dir.file("in.txt"), "abc");
  first->testThenAdd(dir.file("in.txt"));
  first->blankPanel->findChild<QCheckBox *>("promptEachfile")->click();
  TchildForm *second = newList();
  second->addDescriptionFilter(5);
  QPointer<TchildForm> firstAlive = first, secondAlive = second;
  for (const bool fromMenu : {false, true}) {
    SCOPED_TRACE(fromMenu ? "File > Exit" : "Alt+F4");
    std::vector<std::string> questions;
    std::vector<int> jobsAtQuestion;
    ScopedDialogRunner runner([&](QDialog &dialog) -> int {
      const std::string text = static_cast<QMessageBox &>(dialog).text().toStdString();
      questions.push_back(text);
      if (text.ends_with("Process this file?")) {
        // The user closes the program while the job waits for an answer.
        if (fromMenu)
          main->action("Exit1")->trigger();
        else
          QTest::keyClick(main.get(), Qt::Key_F4, Qt::AltModifier);
        return QMessageBox::No;
      }
      jobsAtQuestion.push_back(TchildForm::jobHost().activeJobs());
      return questions.size() == 2 ? QMessageBox::No : QMessageBox::Cancel;
    });
    first->beginButtonClick(false);
    ASSERT_TRUE(QTest::qWaitFor([] { return TchildForm::jobHost().activeJobs() == 0; }, 10000));
    EXPECT_EQ(questions,
              (std::vector<std::string>{dir.file("in.txt") + "\r\n\r\nProcess this file?",
                                        "Filter 'Untitled2' has changed. Save it first?",
                                        "Filter 'Untitled1' has changed. Save it first?"}));
    EXPECT_EQ(jobsAtQuestion, (std::vector<int>{1, 1}));
    EXPECT_FALSE(applicationTerminating());
    EXPECT_TRUE(main->isVisible());
    ASSERT_TRUE(firstAlive && secondAlive);
    EXPECT_TRUE(first->filterHasChanged() && second->filterHasChanged());
  }
  boxAnswer = QMessageBox::Cancel;
  second->parentWidget()->close();
  EXPECT_EQ(boxTexts, std::vector<std::string>{"Filter 'Untitled2' has changed. Save it first?"});
  EXPECT_TRUE(secondAlive);
}

// Another program closes a list (or a job's end releases its status window)
// whenever it likes, also while the list asks or tells something, or while a
// dialog picks a file for it: the dialog is cancelled, nothing is done to or
// for the list that went, and the program goes on.
TEST_F(WholeProgram, AListClosedWhileItsQuestionOrDialogRunsIsLeftAlone) {
  const std::string bad = dir.file("bad.fll");
  writeFile(bad, "not a list");
  QPointer<TchildForm> list;
  int dialogs = 0;
  int goneAt = 0;
  // Runs the `goneAt`th dialog for real and, inside its event loop, closes
  // the list as the bus's close does (or runs `during` instead); then gives
  // `answer` (a file dialog gets `bad` typed in) when the dialog is still
  // there. Dialogs before it: file dialogs choose `chosen`, boxes answer Yes;
  // boxes after it answer No; the rest are cancelled.
  int answer = 0;
  QStringList chosen;
  std::function<void()> during;
  ScopedDialogRunner runner([&](QDialog &dialog) -> int {
    if (++dialogs != goneAt) {
      if (auto *files = qobject_cast<FileDialog *>(&dialog); files && dialogs < goneAt) {
        files->selectFile(chosen.join(' '));
        return QDialog::Accepted;
      }
      return !qobject_cast<QMessageBox *>(&dialog) ? int(QDialog::Rejected)
             : dialogs < goneAt                    ? int(QMessageBox::Yes)
                                                   : int(QMessageBox::No);
    }
    // Inside the dialog's own event loop, as a call from the bus arrives.
    const int outside = QThread::currentThread()->loopLevel();
    auto *step = new QTimer(&dialog);
    bool closed = false;
    QObject::connect(step, &QTimer::timeout, &dialog, [&, step, outside, open = &dialog] {
      if (QThread::currentThread()->loopLevel() <= outside)
        return;
      if (!std::exchange(closed, true)) {
        if (during)
          during();
        else if (list)
          list->parentWidget()->close();
        return;
      }
      if (list && !during)
        return;
      step->stop();
      if (!open->isVisible())
        return;
      if (auto *files = qobject_cast<FileDialog *>(open)) {
        files->findChild<QLineEdit *>("fileNameEdit")->setText(QString::fromStdString(bad));
        QMetaObject::invokeMethod(files, "accept");
      } else {
        open->done(answer);
      }
    });
    step->start(5);
    const int result = dialog.exec();
    step->stop();
    return result;
  });
  struct Case {
    const char *what;
    int goneAt;
    int answer;
    std::function<void()> prepare, act;
    // The dialogs run in all: a changed list asks whether to save as it is
    // closed, and nothing more is asked or told once it went.
    int dialogs = 1;
    bool exits = false;
    QStringList chosen = {};
    std::function<void()> during = {};
  };
  const QString missing = QString::fromStdString(dir.file("none/x.fll"));
  auto quoted = [](const QString &name) { return '"' + name + '"'; };
  // The Exits come last: the last one ends the program.
  const std::vector<Case> cases = {
      {"Open in same window: its file dialog", 1, QDialog::Accepted, nullptr,
       [] { runCommand(&MainFormHooks::Commands::Openinsamewindow1); }},
      {"Insert: its file dialog", 1, QDialog::Accepted, nullptr,
       [] { runCommand(&MainFormHooks::Commands::Insert1); }},
      {"Link: its file dialog", 1, QDialog::Accepted, nullptr,
       [] { runCommand(&MainFormHooks::Commands::Linktofilter1); }},
      {"Add folder: its folder picker", 1, QDialog::Accepted, nullptr,
       [&] { list->addDirectoryButton->click(); }},
      {"Print: its dialog", 1, QDialog::Accepted, nullptr,
       [] { runCommand(&MainFormHooks::Commands::Print1); }},
      {"Load: the file's error", 1, QMessageBox::Ok, nullptr,
       [&] { list->loadFilterList(bad, {.askQuestions = true}); }},
      {"Load: whether to save first", 1, QMessageBox::No, [&] { list->addDescriptionFilter(5); },
       [&] { list->loadFilterList(bad, {.askQuestions = true}); }, 2},
      {"Load: a trial text's warning", 1, QMessageBox::Ok, nullptr,
       [&] { list->loadFilterList(dir.file("nul.fll"), {}); }},
      {"Prepare for automation: its question", 1, QMessageBox::Yes,
       [&] { list->InputFilter()->promptEachFile = true; },
       [&] { list->Preparefilterforautomation1Click(); }},
      {"Prepare for automation: the filters replaced meanwhile", 1, QMessageBox::Yes,
       [&] { list->InputFilter()->promptEachFile = true; },
       [&] { list->Preparefilterforautomation1Click(); }, 2, false, QStringList(),
       [&] { list->resetFiltersOnly(); }},
      {"Save as: the save's error", 2, QMessageBox::Ok, nullptr,
       [] { runCommand(&MainFormHooks::Commands::Saveas1); }, 2, false, QStringList(missing)},
      {"Save as: a save that fails is not told as saved", 2, QMessageBox::Ok, nullptr,
       [] { runCommand(&MainFormHooks::Commands::Saveas1); }, 2, false, QStringList(missing),
       [] {}},
      {"Pattern menu, Load from file: the file's error", 2, QMessageBox::Ok,
       [&] { list->addFilter(TCommentObject::CreateWith("x")); },
       [&] {
         TchildForm::preparePatternMenuFor(list->blankPanel->findChild<QPlainTextEdit *>());
         TmenuForm::instance().Loadfromfile1Click();
       },
       3, false, QStringList(missing)},
      {"Load a file list: the first file's error", 2, QMessageBox::Ok, nullptr,
       [&] { list->loadFromFileButton->click(); }, 2, false,
       QStringList({quoted(missing), quoted(missing)})},
      {"A map's dialog: the map file's error", 2, QMessageBox::Ok,
       [&] { list->addFilter(TUserObject::CreateDefault()); },
       [&] { list->blankPanel->findChild<QPushButton *>("loadMap")->click(); }, 3, false,
       QStringList(missing)},
      {"Trial run: the build error", 1, QMessageBox::Ok,
       [&] {
         list->addFilter(TInsertColumnObject::CreateDefault());
         list->trialInput->setPlainText("abc");
         list->setFilterHasChanged(false);
       },
       [&] { list->trialRunButtonClick(); }},
      // The list went before it was saved: nothing is lost unasked, so the
      // program stays.
      {"Exit: Yes, then the save dialog", 2, QDialog::Rejected,
       [&] { list->addDescriptionFilter(5); }, [&] { main->close(); }, 3},
      // Another list's question: the list that went is not asked about.
      {"Exit: another list's question", 1, QMessageBox::No,
       [&] { newList()->addDescriptionFilter(5); }, [&] { main->close(); }, 1, true},
  };
  {
    TchildForm *maker = newList();
    TFilterList &withNul = maker->filterList();
    withNul.trialInput = std::string("a\0b", 3);
    withNul.saveToFile(dir.file("nul.fll"));
    maker->parentWidget()->close();
  }
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    list = newList();
    if (c.prepare)
      c.prepare();
    dialogs = 0;
    goneAt = c.goneAt;
    answer = c.answer;
    chosen = c.chosen;
    during = c.during;
    c.act();
    QCoreApplication::processEvents();
    EXPECT_EQ(list.isNull(), !c.during);
    // Nothing was loaded, printed or reported for the list that went.
    EXPECT_EQ(dialogs, c.dialogs);
    EXPECT_EQ(main->isVisible(), !c.exits);
    EXPECT_FALSE(main->statusText().contains("saved as"));
    if (list)
      delete list->parentWidget();
  }
}

// F1 opens the page of the window or dialog it is pressed in: each filter's
// dialog (the list window's page when the filter has none of its own), the
// list window, the status window, the preferences and the update window; the
// contents stay on their menu item.
TEST_F(WholeProgram, F1OpensThePageOfTheWindowItIsPressedIn) {
  std::filesystem::copy(MARROWEN_SOURCE_DIR "/share/help", dir.file("help"));
  std::vector<std::string> wrong;
  auto pressF1 = [&](QWidget *window, const QString &page, const std::string &what) {
    QWidget *target = window;
    for (QWidget *child : window->findChildren<QWidget *>())
      if (child->isVisible() && child->focusPolicy() != Qt::NoFocus) {
        target = child;
        break;
      }
    QTest::keyClick(target, Qt::Key_F1);
    const THelpViewer *viewer = THelpViewer::instance();
    const QString shown = viewer ? QFileInfo(viewer->page()).fileName() : QString();
    if (shown != page)
      wrong.push_back(what + ": " + shown.toStdString());
    delete viewer;
  };
  TchildForm *list = newList();
  for (const NodeCatalogEntry &entry : nodeCatalog()) {
    if (!entry.offered || !entry.createDefault)
      continue;
    list->selectItem(list->addFilter(entry.createDefault(entry.kind)));
    auto *dialog = list->blankPanel->findChild<TdefaultForm1 *>();
    const std::string className(entry.names.className);
    // The comment's memo has a page of its own.
    const QString page = className == "TSearchObject"    ? "search.html"
                         : className == "TCommentObject" ? "comments.html"
                         : dialog->helpContext()
                             ? QFileInfo(helpPageFor(dialog->helpContext())).fileName()
                             : "filterlist.html";
    pressF1(dialog, page, className + " " + std::to_string(entry.kind));
  }
  pressF1(list->filesTab, "filterlist.html", "files to process");

  TchildForm *running = newList();
  running->addDescriptionFilter(5);
  running->beginButtonClick(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return main->mdiArea().findChild<TTstatusForm *>(); }));
  pressF1(main->mdiArea().findChild<TTstatusForm *>(), "statuswindow.html", "status window");

  // The page opened over a modal dialog can be read while the dialog is open.
  bool pageScrolls = false;
  dialogAnswer = [&](QDialog &dialog) {
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    QTest::keyClick(dialog.findChild<QSpinBox *>(), Qt::Key_F1);
    THelpViewer *viewer = THelpViewer::instance();
    viewer->resize(300, 200);
    QScrollBar *bar = viewer->browser().verticalScrollBar();
    viewer->browser().setFocus();
    QTest::keyClick(viewer->windowHandle(), Qt::Key_End);
    pageScrolls = bar->maximum() > 0 && bar->value() == bar->maximum();
    pressF1(&dialog, "mainwindow.html", "preferences");
    return static_cast<int>(QDialog::Rejected);
  };
  main->action("Preferences1")->trigger();
  EXPECT_TRUE(pageScrolls);
  main->action("Checkweb1")->trigger();
  QWidget *update = nullptr;
  for (QWidget *window : QApplication::topLevelWidgets())
    if (window->isVisible() && window->property("helpContext").toInt() == 1350)
      update = window;
  pressF1(update, "updates.html", "update window");
  // In the help window F1 keeps the page being read.
  showHelpContext(1350);
  QTest::keyClick(&THelpViewer::instance()->browser(), Qt::Key_F1);
  EXPECT_EQ(QFileInfo(THelpViewer::instance()->page()).fileName(), "updates.html");
  EXPECT_EQ(wrong, std::vector<std::string>());

  EXPECT_TRUE(main->action("Contents1")->shortcut().isEmpty());
  main->action("Contents1")->trigger();
  EXPECT_TRUE(THelpViewer::instance()->page().endsWith("/help/index.html"));
}

// The bar holds the active list's menus however its window stands: left
// maximized, a list opens maximized at the next start and after File > Open.
TEST_F(WholeProgram, TheBarFollowsTheActiveListInEveryWindowState) {
  auto barFollows = [&](TchildForm *list) {
    const QList<QAction *> bar = main->menuBar()->actions();
    return std::ranges::all_of(list->menus(),
                               [&](QMenu *menu) { return bar.contains(menu->menuAction()); });
  };
  TchildForm *list = newList();
  main->mdiArea().activeSubWindow()->showMaximized();
  const std::string saved = dir.file("saved.fll");
  list->saveFilterListAs(saved);
  list->parentWidget()->close();
  main.reset();
  startMain();
  list = newList();
  ASSERT_TRUE(main->mdiArea().activeSubWindow()->isMaximized());
  EXPECT_TRUE(barFollows(list));

  list->saveFilterListAs(dir.file("other.fll"));
  dialogAnswer = [&](QDialog &dialog) {
    static_cast<FileDialog &>(dialog).selectFile(QString::fromStdString(saved));
    return static_cast<int>(QDialog::Accepted);
  };
  main->action("Open1")->trigger();
  QCoreApplication::processEvents();
  ASSERT_EQ(activeList()->fileName(), saved);
  EXPECT_TRUE(main->mdiArea().activeSubWindow()->isMaximized());
  EXPECT_TRUE(barFollows(activeList()));

  // A file that fails to open in a new window leaves the list before it
  // active and maximized.
  const std::string notAList = dir.file("notes.fll");
  writeFile(notAList, "not a filter list\n");
  TchildForm *before = activeList();
  dialogAnswer = [&](QDialog &dialog) {
    static_cast<FileDialog &>(dialog).selectFile(QString::fromStdString(notAList));
    return static_cast<int>(QDialog::Accepted);
  };
  main->action("Open1")->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(activeList(), before);
  EXPECT_TRUE(main->mdiArea().activeSubWindow()->isMaximized());
}

// The Alt key a caption answers to, upper-cased; none without one.
QChar mnemonicOf(const QString &caption) {
  const QKeySequence key = QKeySequence::mnemonic(caption);
  return key.isEmpty() ? QChar() : QChar(int(key[0].key()));
}

// The captions with which `root` answers Alt keys as it is shown now: its
// buttons, labels with a field, group boxes, tabs and menu bar, but not
// those of `leaveOut`, of a window of its own inside it, or of the workspace.
QStringList altCaptions(QWidget &root, const QWidget *leaveOut = nullptr) {
  QStringList captions;
  QList<QWidget *> widgets = root.findChildren<QWidget *>();
  widgets.prepend(&root);
  for (QWidget *w : widgets) {
    bool inside = w == &root || w->isVisibleTo(&root);
    for (QWidget *up = w; inside && up != &root; up = up->parentWidget())
      inside = up != leaveOut && !up->isWindow() && !qobject_cast<QMdiArea *>(up->parentWidget());
    if (!inside)
      continue;
    if (auto *button = qobject_cast<QAbstractButton *>(w))
      captions << button->text();
    else if (auto *label = qobject_cast<QLabel *>(w); label && label->buddy())
      captions << label->text();
    else if (auto *group = qobject_cast<QGroupBox *>(w))
      captions << group->title();
    else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
      for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
          captions << tabs->tabText(i);
    } else if (auto *bar = qobject_cast<QMenuBar *>(w)) {
      for (QAction *a : bar->actions())
        if (a->isVisible())
          captions << a->text();
    }
  }
  return captions;
}

// "where: X in "&Xa", "&Xb"" for each key that two captions share.
std::vector<std::string> clashes(const QString &where, const QStringList &captions) {
  std::map<QChar, QStringList> byKey;
  for (const QString &caption : captions)
    if (const QChar key = mnemonicOf(caption); !key.isNull())
      byKey[key] << caption;
  std::vector<std::string> found;
  for (const auto &[key, shared] : byKey)
    if (shared.size() > 1)
      found.push_back(
          QString("%1: %2 in \"%3\"").arg(where, key, shared.join("\", \"")).toStdString());
  return found;
}

// The dialogs and windows of their own, those of a list window over `list`.
std::vector<std::unique_ptr<QWidget>> windowsOfTheirOwn(TchildForm &list, MainSettings &settings) {
  std::vector<std::unique_ptr<QWidget>> windows;
  windows.push_back(std::make_unique<TTQueryReplace>());
  windows.push_back(std::make_unique<TchangeReplace>(nullptr, nullptr, "", ""));
  windows.push_back(std::make_unique<TWizardForm>(list));
  windows.push_back(std::make_unique<TupdateForm>(settings));
  windows.push_back(std::make_unique<TcommandLineHelperForm>());
  windows.push_back(std::make_unique<TpatternOptions>(nullptr, true));
  windows.push_back(std::make_unique<TpatternOptions>(nullptr, false));
  windows.push_back(std::make_unique<TeditDistanceOptions>(nullptr));
  windows.push_back(std::make_unique<TconnectionBuilder>(nullptr, ""));
  windows.push_back(std::make_unique<TFindDialog>());
  windows.push_back(std::make_unique<TfTipOfTheDay>());
  windows.push_back(std::make_unique<ToptionsDialog>(settings));
  windows.push_back(std::make_unique<TABox>());
  windows.push_back(std::make_unique<TdebugWindowForm>());
  windows.push_back(std::make_unique<THelpViewer>());
  return windows;
}

// A key that two items of a menu, or two controls of one window, share only
// moves between them. Each menu is compared on its own; a window with all it
// shows, the main window's bar included; a filter's dialog with the list
// window around it (its own keys come first while the focus is in it).
TEST_F(WholeProgram, EveryMenuWindowAndDialogGivesEachAltKeyOnce) {
  std::vector<std::string> found;
  auto check = [&](const QString &where, const QStringList &captions) {
    for (std::string &clash : clashes(where, captions))
      found.push_back(std::move(clash));
  };
  std::function<void(const QString &, QMenu &)> walk = [&](const QString &where, QMenu &menu) {
    QStringList captions;
    for (QAction *a : menu.actions())
      if (a->isVisible() && !a->isSeparator()) {
        captions << a->text();
        if (a->menu())
          walk(where + " > " + a->text(), *a->menu());
      }
    check(where, captions);
  };
  auto walkBar = [&] {
    for (QAction *a : main->menuBar()->actions())
      walk(a->text(), *a->menu());
  };
  walkBar();
  const QStringList bar = altCaptions(*main);
  MainSettings settings;
  TTstatusForm status;
  TcommandLineForm commandLine({"marrowen"});
  TshellExtensions shell;
  for (QWidget *inWorkspace : std::initializer_list<QWidget *>{&status, &commandLine, &shell})
    check(inWorkspace->metaObject()->className(), bar + altCaptions(*inWorkspace));

  TchildForm *list = newList();
  walkBar();
  walk("tray menu", *main->taskMenu());
  walk("pattern menu", *TmenuForm::instance().memoMenu());
  for (const char *popup : {"treeMenu", "gridMenu"})
    if (auto *menu = list->findChild<QMenu *>(popup))
      walk(popup, *menu);
  for (int page = 0; page < list->Tabs->count(); ++page) {
    list->Tabs->setCurrentIndex(page);
    check(list->Tabs->tabText(page), altCaptions(*main) + altCaptions(*list, list->blankPanel));
  }
  list->Tabs->setCurrentWidget(list->filtersTab);
  auto checkDialog = [&] {
    if (auto *dialog = list->blankPanel->findChild<TdefaultForm1 *>())
      check(QString("%1 of %2").arg(dialog->objectName(), list->filterHeading->text()),
            altCaptions(*list));
  };
  for (int item : {0, 1, 2}) {
    list->selectItem(item);
    checkDialog();
  }
  for (const NodeCatalogEntry &entry : nodeCatalog()) {
    if (!entry.createDefault || entry.names.className == "TInputObject" ||
        entry.names.className == "TOutputObject" || entry.names.className == "TFilterCommentObject")
      continue;
    list->addFilter(entry.createDefault(entry.kind));
    checkDialog();
    list->DeleteNodeClick();
  }

  for (const std::unique_ptr<QWidget> &w : windowsOfTheirOwn(*list, settings)) {
    check(w->metaObject()->className(), altCaptions(*w));
    for (QStackedWidget *pages : w->findChildren<QStackedWidget *>())
      for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        check(QString("%1 page %2").arg(w->metaObject()->className()).arg(page + 1),
              altCaptions(*w));
      }
  }
  EXPECT_EQ(found, std::vector<std::string>());
}

// Each dialog and window of its own opens wide enough for its caption beside
// the title bar's icon and buttons, or the window system cuts the caption
// ("Pattern m... ng options"); the options box is measured as the search
// dialog opens it.
TEST_F(WholeProgram, EveryWindowOfItsOwnOpensWideEnoughForItsCaption) {
  std::vector<std::string> narrow;
  auto measure = [&](QWidget &w) {
    w.show();
    QCoreApplication::processEvents();
    QFont bold = w.font();
    bold.setBold(true);
    const int room = QFontMetrics(bold).horizontalAdvance(w.windowTitle()) +
                     4 * w.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    if (w.width() < room)
      narrow.push_back(w.windowTitle().toStdString() + ": " + std::to_string(w.width()) + " < " +
                       std::to_string(room));
  };
  TchildForm *list = newList();
  list->addFilter(findCatalogEntry("TSearchObject", 0)->createDefault(0));
  list->blankPanel->findChild<QComboBox *>("patternType")->setCurrentIndex(1);
  dialogAnswer = [&](QDialog &dialog) {
    measure(dialog);
    return int(QDialog::Rejected);
  };
  list->blankPanel->findChild<QPushButton *>("patternOptionsButton")->click();
  EXPECT_EQ(shownDialogs, std::vector<QString>{"patternOptions"});
  MainSettings settings;
  for (const std::unique_ptr<QWidget> &w : windowsOfTheirOwn(*list, settings))
    measure(*w);
  EXPECT_EQ(narrow, std::vector<std::string>());
}

// Alt keys reach the menus from anywhere in a list window and a filter's
// fields from its dialog; a page shown by a key takes the focus to its first
// field, and Alt+Up and Alt+Down move the selected filter and keep it selected.
TEST_F(WholeProgram, KeysReachMenusPagesAndFieldsAndMoveTheSelectedFilter) {
  TchildForm *list = newList();
  QApplication::setActiveWindow(main.get());
  auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::AltModifier) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    QCoreApplication::processEvents();
  };
  // The menu a key opened, closed again with Escape as a person would.
  auto menuShown = [] {
    QWidget *popup = QApplication::activePopupWidget();
    const QString name = popup ? popup->objectName() : QString();
    for (QWidget *at = popup; at; at = qobject_cast<QMenuBar *>(QApplication::focusWidget())) {
      QTest::keyClick(at, Qt::Key_Escape);
      QCoreApplication::processEvents();
    }
    return name;
  };
  auto focusIn = [](QWidget *area) {
    QWidget *focus = QApplication::focusWidget();
    return focus && (focus == area || area->isAncestorOf(focus));
  };
  // The selected filter's row shows whether the tree has the focus.
  FilterTreeView &tree = list->treeView();
  auto selectionColour = [&] {
    const QRect row = tree.visualRect(tree.currentIndex());
    return tree.viewport()->grab().toImage().pixelColor(row.right() - 4, row.center().y());
  };
  tree.setFocus();
  QCoreApplication::processEvents();
  const QColor focused = selectionColour();
  list->trialRunButton->setFocus();
  QCoreApplication::processEvents();
  const QColor unfocused = selectionColour();
  EXPECT_GT(std::abs(unfocused.red() - focused.red()) +
                std::abs(unfocused.green() - focused.green()) +
                std::abs(unfocused.blue() - focused.blue()),
            60);

  // A page chosen with its key takes the focus from the tabs, where a new
  // window has it, to its first field; the arrows on the tabs leave it there.
  QTabBar *tabs = list->Tabs->tabBar();
  tabs->setFocus();
  press(Qt::Key_Right, {});
  EXPECT_EQ(list->Tabs->currentWidget(), list->commentsSheet);
  EXPECT_TRUE(tabs->hasFocus());
  press(Qt::Key_1);
  EXPECT_TRUE(focusIn(&list->fileGrid()));
  QTest::keyClicks(QApplication::focusWidget(), "ab");
  EXPECT_EQ(list->fileGrid().GetCell(1, 1).toString(), "ab");
  EXPECT_EQ(list->fileGrid().Rows(), 1);
  press(Qt::Key_F);
  EXPECT_EQ(menuShown(), "File1");

  // Ctrl+H adds a find-and-replace filter whose search text takes what is typed.
  tabs->setFocus();
  press(Qt::Key_H, Qt::ControlModifier);
  QTest::keyClicks(QApplication::focusWidget(), "abc");
  auto *search = list->blankPanel->findChild<QPlainTextEdit *>("searchString");
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(search->toPlainText(), "abc");
  // The search text's own letter would keep the focus where it is: the menu
  // that shares it opens.
  press(Qt::Key_F);
  EXPECT_EQ(menuShown(), "File1");
  EXPECT_EQ(QApplication::focusWidget(), search);
  press(Qt::Key_R);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "replaceString");
  EXPECT_EQ(menuShown(), "");
  // Outside the dialog a letter it shares with a menu opens the menu, every time.
  for (int time = 0; time < 2; ++time) {
    list->treeView().setFocus();
    press(Qt::Key_R);
    EXPECT_EQ(menuShown(), "Remove1") << time;
  }

  list->addDescriptionFilter(5);
  list->treeView().setFocus();
  TListObject *moved = list->selectedNode();
  press(Qt::Key_Up);
  EXPECT_EQ(list->selectedIndex(), 2);
  EXPECT_EQ(list->selectedNode(), moved);
  press(Qt::Key_Down);
  EXPECT_EQ(list->selectedIndex(), 3);
  EXPECT_EQ(list->selectedNode(), moved);

  press(Qt::Key_3);
  QTest::keyClicks(QApplication::focusWidget(), "note");
  EXPECT_EQ(list->comments->toPlainText(), "note");
}

// The bar speaks of the filter shown: moving to another filter in the tree,
// by the mouse or the keys, or adding one, takes away what the last one's
// dialog or a menu's hint left there; the filter moved to shows its own
// checks.
TEST_F(WholeProgram, MovingToAnotherFilterTakesTheLastOnesTextsFromTheBar) {
  TchildForm *list = newList();
  list->addFilter(findCatalogEntry("TSearchObject", 0)->createDefault(0));
  const std::string blank = "Error: Find string is blank";
  auto bar = [&] { return main->statusText().toStdString(); };
  ASSERT_EQ(bar(), blank);
  FilterTreeView &tree = list->treeView();
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                    tree.visualRect(list->treeModel().indexOf(3)).center());
  EXPECT_EQ(bar(), "");
  main->action("AboutMarrowen1")->showStatusText(main.get());
  ASSERT_EQ(bar(), "The version and the release notes");
  QTest::keyClick(&tree, Qt::Key_Up);
  EXPECT_EQ(list->selectedIndex(), 2);
  EXPECT_EQ(bar(), blank);
  QTest::keyClick(&tree, Qt::Key_Up);
  EXPECT_EQ(bar(), "");
  QTest::keyClick(&tree, Qt::Key_Down);
  ASSERT_EQ(bar(), blank);
  list->findAction("Sort1")->trigger();
  EXPECT_EQ(bar(), "");
}

// What the command line reports stays on the status bar, in the program's
// code page, after its list window is made anew.
TEST_F(WholeProgram, TheCommandLinesErrorStaysOnTheBarInTheCodePage) {
  newList()->saveFilterListAs(dir.file("normal.fll"));
  // The list's own error, a search with nothing to find, is all it shows.
  installCommandLine({"/S=", "/R=x", "/G"});
  main.reset();
  writeFile(dir.file("Languages/English.ini"), "[global]\r\n9540=Kein Suchtext f\\374r '%s'\r\n");
  startMain();
  EXPECT_TRUE(main->statusText().startsWith(QStringLiteral("Kein Suchtext für '")))
      << main->statusText().toStdString();
  EXPECT_TRUE(main->statusIsError());
}

// Every command of a list window that changes the list marks it changed, so
// that closing the window asks to save it. Each starts from the same saved
// list: top, input, an upper-case filter (selected), a comment, output; two
// files; texts in every memo.
TEST_F(WholeProgram, EveryCommandThatChangesAListMarksItAndClosingAsks) {
  std::filesystem::create_directories(dir.file("maps"));
  writeFile(dir.file("maps/m.map"), "65 b\r\n");
  writeFile(dir.file("b.txt"), "b");
  writeFile(dir.file("a.txt"), "a");
  writeFile(dir.file("files.txt"), dir.file("c.txt") + "\r\n");
  TchildForm *list = newList();
  list->addDescriptionFilter(5);
  list->addFilter(findCatalogEntry("TCommentObject", 0)->createDefault(0));
  list->addFile(dir.file("b.txt"));
  list->addFile(dir.file("a.txt"));
  for (TByteMemo *memo : {list->comments, list->scratchPad, list->trialInput})
    memo->setPlainText("text");
  const std::string saved = dir.file("list.fll");
  list->saveFilterListAs(saved);
  TdgGrid &grid = list->fileGrid();
  FilterTreeView &tree = list->treeView();
  auto chooseFile = [&](const std::string &name) {
    dialogAnswer = [name](QDialog &dialog) {
      static_cast<FileDialog &>(dialog).selectFile(QString::fromStdString(name));
      return int(QDialog::Accepted);
    };
  };
  using Run = std::function<void()>;
  auto menu = [&](const char *name) -> Run { return [=] { list->findAction(name)->trigger(); }; };
  auto mainMenu = [&](const char *name) -> Run {
    return [=, this] {
      chooseFile(saved);
      main->action(name)->trigger();
    };
  };
  auto button = [&](QWidget *page, QAbstractButton *pressed, std::string file = {}) -> Run {
    return [=] {
      if (!file.empty())
        chooseFile(file);
      list->Tabs->setCurrentWidget(page);
      pressed->click();
    };
  };
  auto treeKey = [&](int item, int key, Qt::KeyboardModifiers modifiers) -> Run {
    return [=, &tree] {
      list->selectItem(item);
      tree.setFocus();
      QTest::keyClick(&tree, Qt::Key(key), modifiers);
    };
  };
  // A click in the files grid (row 0: the heading), then the keys.
  auto inGrid = [&](int col, int row, QString typed, int key = 0) -> Run {
    return [=, &grid] {
      list->Tabs->setCurrentWidget(list->filesTab);
      QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                        {grid.ColumnLeft(col) + 5, grid.RowTop(row) + 5});
      QTest::keyClicks(QApplication::focusWidget(), typed);
      if (key)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    };
  };
  auto typeInto = [](QWidget *field) -> Run {
    return [=] {
      field->setFocus();
      QTest::keyClicks(field, "x");
    };
  };

  std::vector<std::pair<QString, Run>> commands;
  for (QMenu *group : list->menus())
    for (QAction *a : group->findChildren<QAction *>())
      if (a->property("nodeClass").isValid() && a->isEnabled() && a->isVisible())
        commands.emplace_back(group->title() + " > " + a->text(), [a] { a->trigger(); });
  commands.insert(
      commands.end(),
      {
          {"Edit > Duplicate current filter", menu("Duplicatecurrentfilter1")},
          {"Edit > Toggle filter enable/disable", menu("EnableDisablefilter1")},
          {"Maps > Base map on filter list", menu("Basemaponfilterlist1")},
          {"Maps > a map file", [&] { list->MapFileClick("m.map"); }},
          {"Tools > Prepare filter for distribution", menu("Preparefilterfordistribution1")},
          {"Tools > Disable prompting..., answered Yes", menu("Preparefilterforautomation1")},
          {"Tools > Put sample in Trial Input area", menu("PutsampleinTrialInputarea1")},
          {"Tools > Move Trial Output to Trial Input",
           [&] {
             list->trialOutput->setPlainText("out");
             menu("MoveTrialOutputtoTrialInput1")();
           }},
          {"File > Insert...", mainMenu("Insert1")},
          {"File > Link to filter...", mainMenu("Linktofilter1")},
          {"Alt+Up", treeKey(3, Qt::Key_Up, Qt::AltModifier)},
          {"Alt+Down", treeKey(2, Qt::Key_Down, Qt::AltModifier)},
          {"Delete in the tree", treeKey(2, Qt::Key_Delete, {})},
          {"Ctrl+T in the tree", treeKey(2, Qt::Key_T, Qt::ControlModifier)},
          {"Ctrl+H", treeKey(2, Qt::Key_H, Qt::ControlModifier)},
          {"a double click in the tree", [&] { emit tree.doubleClicked(tree.currentIndex()); }},
          {"the tree's menu > Enabled",
           [&] { list->findChild<QMenu *>("treeMenu")->actions().front()->trigger(); }},
          {"the tree's menu > Delete",
           [&] { list->findChild<QMenu *>("treeMenu")->actions().back()->trigger(); }},
          {"a drop above a filter", [&] { tree.onDrop(3, 2, false); }},
          {"a drop onto a filter that takes subfilters", [&] { tree.onDrop(2, 3, true); }},
          {"Remove", button(list->filtersTab, list->removeButton)},
          {"Remove All", button(list->filtersTab, list->removeAllButton)},
          {"a field of a filter's dialog",
           [&] {
             list->addFilter(findCatalogEntry("TSearchObject", 0)->createDefault(0));
             list->setFilterHasChanged(false);
             typeInto(list->blankPanel->findChild<QPlainTextEdit *>("searchString"))();
           }},
          {"the output's Test mode",
           [&] {
             list->selectItem(list->filterTree().count() - 1);
             list->blankPanel->findChild<QCheckBox *>("testMode")->click();
           }},
          {"Files: Remove", button(list->filesTab, list->removeButton)},
          {"Files: Remove All", button(list->filesTab, list->removeAllButton)},
          {"Files: Add folder",
           [&] {
             dialogAnswer = [&](QDialog &dialog) {
               static_cast<FolderBrowserDialog &>(dialog).selectPath(
                   QString::fromStdString(dir.path()));
               return int(QDialog::Accepted);
             };
             list->addDirectoryButton->click();
           }},
          {"Files: Insert row", button(list->filesTab, list->insertNewRowButton)},
          {"Files: Copy row", button(list->filesTab, list->copyFileRow)},
          {"Files: New group", button(list->filesTab, list->newFileGroupButton)},
          {"Files: Load...",
           button(list->filesTab, list->loadFromFileButton, dir.file("files.txt"))},
          {"Files: a name cell's button",
           [&] {
             chooseFile(dir.file("c.txt"));
             grid.OnButtonClick(&grid, 1, 1);
           }},
          {"Files: typing in a name", inGrid(1, 1, "z", Qt::Key_Return)},
          {"Files: Delete", inGrid(1, 1, {}, Qt::Key_Delete)},
          {"Files: a heading click", inGrid(1, 0, {})},
          {"Files: Action picked from its list",
           [&] {
             inGrid(3, 1, {})();
             for (Qt::Key key : {Qt::Key_Down, Qt::Key_Return}) {
               QWidget *popup = QApplication::activePopupWidget();
               QTest::keyClick(popup ? popup : QApplication::focusWidget(), key);
             }
           }},
          {"Files: Subfolders typed into its list", inGrid(2, 1, "a", Qt::Key_Return)},
          {"typing in the comments", typeInto(list->comments)},
          {"typing in the scratch pad", typeInto(list->scratchPad)},
          {"typing in the trial input", typeInto(list->trialInput)},
          {"Trial: Remove All", button(list->trialSheet, list->removeAllButton)},
      });

  QApplication::setActiveWindow(main.get());
  std::vector<std::string> unmarked;
  for (const auto &[name, run] : commands) {
    list->loadFilterList(saved, {});
    list->Tabs->setCurrentWidget(list->filtersTab);
    list->selectItem(2);
    grid.SetCurrentDataRow(1);
    QCoreApplication::processEvents();
    ASSERT_FALSE(list->filterHasChanged());
    boxAnswer = QMessageBox::Yes;
    dialogAnswer = nullptr;
    run();
    QCoreApplication::processEvents();
    // Closing asks to save; Cancel keeps the window.
    const std::size_t asked = boxTexts.size();
    boxAnswer = QMessageBox::Cancel;
    QCloseEvent close;
    QCoreApplication::sendEvent(list, &close);
    if (close.isAccepted() || boxTexts.size() == asked ||
        boxTexts.back() != "Filter 'list' has changed. Save it first?")
      unmarked.push_back(name.toStdString());
    list->setFilterHasChanged(false);
  }
  EXPECT_EQ(unmarked, std::vector<std::string>());
  EXPECT_GT(commands.size(), 100u);
}

// Files dropped together all join the active list; Go's status window keeps
// to the list's line threshold; a new file row goes below the current one and
// becomes current.
TEST_F(WholeProgram, DroppedFilesTheLineThresholdAndInsertedRowsReachTheList) {
  TchildForm *list = newList();
  TdgGrid &grid = list->fileGrid();
  for (const char *name : {"a.txt", "b.txt", "c.txt"})
    writeFile(dir.file(name), "text\r\n");
  main->handleDroppedFiles(
      {QString::fromStdString(dir.file("a.txt")), QString::fromStdString(dir.file("b.txt"))});
  ASSERT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.GetCell(1, 2).toString(), dir.file("b.txt"));

  grid.SetCurrentDataRow(1);
  list->insertNewRowButton->click();
  EXPECT_EQ(grid.GetCell(1, grid.GetDataRow(1)).toString(), dir.file("a.txt"));
  EXPECT_EQ(grid.GetCell(1, grid.GetDataRow(2)).toString(), "");
  EXPECT_EQ(grid.GetCell(1, grid.GetDataRow(3)).toString(), dir.file("b.txt"));
  EXPECT_EQ(grid.GetCurrentDataRow(), grid.GetDataRow(2));
  list->removeFile();

  // A job of two files logs seven lines; the threshold shows two of them.
  static_cast<TFilterCommentObject &>(list->filterTree().node(0)).log.lineThreshold = 3;
  list->OutputFilter()->testMode = true;
  list->beginButton->click();
  ASSERT_TRUE(QTest::qWaitFor([] { return TchildForm::jobHost().activeJobs() == 0; }, 10000));
  TdgGrid &lines = main->jobHost().statusWindows().back()->resText();
  ASSERT_EQ(lines.Rows(), 3);
  EXPECT_TRUE(lines.GetCell(3, 3).toString().starts_with("3 line limit reached"));
}

// The Edit menu and its tool buttons reach a files-grid cell being edited:
// a name cell takes the clipboard as typing does and marks the list, a
// list-only cell and the clipboard stay as they were.
TEST_F(WholeProgram, EditCommandsActOnTheFilesGridsCell) {
  TchildForm *list = newList();
  writeFile(dir.file("a.txt"), "a");
  list->addFile(dir.file("a.txt"));
  list->setFilterHasChanged(false);
  TdgGrid &grid = list->fileGrid();
  QClipboard *clipboard = QApplication::clipboard();
  auto click = [&](int col) {
    list->Tabs->setCurrentWidget(list->filesTab);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      {grid.ColumnLeft(col) + 5, grid.RowTop(1) + 5});
    QCoreApplication::processEvents();
  };
  auto command = [&](const char *name) {
    main->action(name)->trigger();
    QCoreApplication::processEvents();
  };

  const std::string action = grid.GetCell(3, 1).toString();
  click(3);
  // The click opens the cell's list; a user closes it before the menu.
  if (QWidget *list = QApplication::activePopupWidget())
    QTest::keyClick(list, Qt::Key_Escape);
  for (const char *name : {"Paste1", "Pastespecial1", "Cut1", "Delete1"}) {
    clipboard->setText("zz");
    command(name);
    EXPECT_EQ(grid.GetCell(3, 1).toString(), action) << name;
    EXPECT_EQ(clipboard->text(), "zz") << name;
  }
  EXPECT_FALSE(list->filterHasChanged());

  click(1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
  command("Copy1");
  EXPECT_EQ(clipboard->text().toStdString(), dir.file("a.txt"));
  command("Delete1");
  EXPECT_EQ(clipboard->text().toStdString(), dir.file("a.txt"));
  clipboard->setText("b.txt");
  QWidget *paste = nullptr;
  for (auto *bar : main->findChildren<QToolBar *>())
    if (QWidget *button = bar->widgetForAction(main->action("PasteButton")))
      paste = button;
  ASSERT_TRUE(paste);
  static_cast<QToolButton *>(paste)->click();
  QCoreApplication::processEvents();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "b.txt");
  EXPECT_TRUE(list->filterHasChanged());
}

// A debug filter's window stays with what it showed once its run has ended,
// until it is closed.
TEST_F(WholeProgram, ADebugWindowOutlivesItsRun) {
  TchildForm *list = newList();
  list->addDescriptionFilter(46);
  list->trialInput->setPlainText("abc");
  list->trialRunButtonClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return main->jobHost().activeJobs() == 0; }, 5000));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QPointer<TdebugWindowForm> shown;
  for (QWidget *window : QApplication::topLevelWidgets())
    if (auto *debug = qobject_cast<TdebugWindowForm *>(window); debug && debug->isVisible())
      shown = debug;
  ASSERT_TRUE(shown);
  EXPECT_TRUE(shown->buffer().toPlainText().contains("abc"));
  shown->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(shown);
}

} // namespace
} // namespace marrowen

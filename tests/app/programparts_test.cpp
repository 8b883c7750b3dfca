#include "app/programparts.h"

#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/childform.h"
#include "app/main/helpaccess.h"
#include "app/main/mainform.h"
#include "app/nodedialogs/dialogbase.h"
#include "app_testing.h"
#include "classlib/program.h"
#include "components/dialogrunner.h"
#include "engine/userinterface.h"
#include "filterlist/filenodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
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
    static_cast<QFileDialog &>(dialog).selectFile(QString::fromStdString(linked));
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
    static_cast<QFileDialog &>(dialog).selectFile(QString::fromStdString(saved));
    return static_cast<int>(QDialog::Accepted);
  };
  main->action("Open1")->trigger();
  QCoreApplication::processEvents();
  ASSERT_EQ(activeList()->fileName(), saved);
  EXPECT_TRUE(main->mdiArea().activeSubWindow()->isMaximized());
  EXPECT_TRUE(barFollows(activeList()));
}

} // namespace
} // namespace marrowen

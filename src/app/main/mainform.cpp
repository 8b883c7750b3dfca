#include "app/main/mainform.h"

#include "app/common/appicons.h"
#include "app/common/clipboardviewer.h"
#include "app/common/forminfo.h"
#include "app/common/launcher.h"
#include "app/common/patternmenu.h"
#include "app/common/screenfit.h"
#include "app/common/translateform.h"
#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/main/aboutbox.h"
#include "app/main/commandlineform.h"
#include "app/main/helpaccess.h"
#include "app/main/optionsdialog.h"
#include "app/main/recentfiles.h"
#include "app/main/tipoftheday.h"
#include "classlib/paths.h"
#include "classlib/program.h"
#include "classlib/registry.h"
#include "components/dialogrunner.h"
#include "components/kitutils.h"
#include "components/trayicon.h"
#include "engine/escapes.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/userinterface.h"
#include "filterlist/settings.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QIconEngine>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace marrowen {

namespace {

QPointer<TmainForm> mainWindow;

const QString siteAddress = QStringLiteral("https://www.ostrevan.com");
const QString listAddress = QStringLiteral("https://lists.ostrevan.com/subscribe/");

QString programFile(const char *name) {
  return findFileIgnoringCase(fileNameToQString(programFolder()), QString::fromLatin1(name));
}

} // namespace

MainFormHooks &mainFormHooks() {
  static MainFormHooks hooks;
  return hooks;
}

void runCommand(MainFormCommand command) {
  if (const auto &run = mainFormHooks().commands.*command)
    run();
}

void installPatternMenu() {
  mainFormHooks().createPatternMenu = [] { TmenuForm::instance(); };
}

TmainForm *TmainForm::instance() { return mainWindow; }

TmainForm::TmainForm(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent), arguments_(arguments) {
  mainWindow = this;
  setObjectName(QStringLiteral("mainForm"));
  setWindowTitle(QStringLiteral("Marrowen %s"));
  setProperty("helpContext", 10);
  setAcceptDrops(true);
  setMinimumSize(590, 480);
  resize(760, 560);
  // Every window of the program, the workspace's included, carries it.
  QApplication::setWindowIcon(programIcon());
  setWindowIcon(programIcon());

  area_ = new QMdiArea(this);
  area_->setObjectName(QStringLiteral("workspace"));
  setCentralWidget(area_);
  // A workspace window closes with Ctrl+F4, as on Windows. The toolkit's
  // Ctrl+W for it would take the list window's Word wrap key, and then
  // neither acts.
  connect(area_, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow *sub) {
    if (QMenu *menu = sub ? sub->systemMenu() : nullptr)
      for (QAction *item : menu->actions())
        if (!item->shortcuts().isEmpty() &&
            item->shortcuts() == QKeySequence::keyBindings(QKeySequence::Close))
          item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
  });
  host_ = std::make_unique<WindowJobHost>();
  host_->setMdiArea(area_);
  TTstatusForm::setEditor([this] { return settings_.editor; });

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statusBarText"));
  status_->setMinimumWidth(350);
  statusBar()->setObjectName(QStringLiteral("statusBar"));
  statusBar()->addWidget(status_, 1);

  recentFiles_ = new TMRUManager(this);
  recentFiles_->setObjectName(QStringLiteral("recentFiles"));
  buildMenus();
  buildToolBars();

  buildTaskMenu();
  tray_ = new TKitTrayIcon(this);
  tray_->setObjectName(QStringLiteral("RxTrayIcon1"));
  tray_->SetHint(QStringLiteral("Marrowen"));
  tray_->SetIcon(programIcon());
  tray_->SetPopupMenu(taskMenu_);
  tray_->SetActive(true);
  indexNamedItems();
  hintMenuItems();
  UpdateMenuItems();

  // FormCreate
  interactive_ = true;
  // A settings file damaged by hand, or one that cannot be saved, is told of
  // in the window as well as on standard error, from whichever thread found
  // it.
  SettingsStore::setReporter([self = QPointer<TmainForm>(this)](const std::string &message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    QMetaObject::invokeMethod(
        qApp,
        [self, text = messageToQString(message)] {
          if (self)
            self->tellSettingsTrouble(text);
        },
        Qt::QueuedConnection);
  });
  settings_ = MainSettings();
  loadSettings(settingsStore(), settings_, *recentFiles_);
  recentFiles_->OnClick = [this](const std::string &text, int) { openRecentFile(text); };
  // Saved as it changes, so that a crash loses no file opened or saved.
  recentFiles_->OnListChange = [this] { saveRecentFiles(settingsStore(), *recentFiles_); };
  settings_.language = languageOrDefault(settings_.language);
  storedSettings_ = settings_;
  loader_ = std::shared_ptr<TStringLoader>(createLanguageLoader(settings_.language));
  installStringLoader(loader_);
  // The program still runs, in English; the user learns why.
  if (!loader_->loadError().empty())
    writeErrorLine(loader_->loadError());
  translateForm(this);
  // The product's name, once: a display name given to the application would
  // be appended by the window system to every title, this one included.
  setWindowTitle(toQString(program::displayName));
  qApp->installEventFilter(this);

  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("mainForm"));
  formInfo_->Load();
  // Without a stored place, the middle of the screen; within it either way.
  if (!testAttribute(Qt::WA_Moved))
    centreInAvailableArea(*this);
  if (mainFormHooks().createPatternMenu)
    mainFormHooks().createPatternMenu();
  // Whatever needs the window on screen runs once the event loop has it.
  QMetaObject::invokeMethod(this, &TmainForm::afterCreate, Qt::QueuedConnection);
}

TmainForm::~TmainForm() {
  qApp->removeEventFilter(this);
  TTstatusForm::setEditor(nullptr);
  host_->stopAllJobs();
  saveAllSettings();
  formInfo_->Save();
  host_.reset();
  // The workspace's windows go after this object's members.
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(area_, nullptr, this, nullptr);
  for (const auto &[widget, child] : children_)
    disconnect(widget, nullptr, this, nullptr);
  children_.clear();
  if (mainWindow == this)
    mainWindow = nullptr;
  SettingsStore::setReporter(nullptr);
}

// In a box the first time in a run, on the status bar each time.
void TmainForm::tellSettingsTrouble(const QString &message) {
  statusBarError(message);
  if (!std::exchange(settingsTroubleShown_, true) && DialogRunner::canAsk())
    showMessageBox(this, QMessageBox::Warning, toQString(program::displayName), message);
}

void TmainForm::saveAllSettings() {
  settings_.fileHistoryEntries = recentFiles_->Strings().Capacity();
  saveSettings(settingsStore(), settings_, *recentFiles_, &storedSettings_);
  storedSettings_ = settings_;
}

QAction *TmainForm::addAction(QMenu *menu, const char *name, const QString &text, int tag) {
  QAction *a = menu->addAction(text);
  nameAction(a, name);
  if (tag >= 0) {
    a->setData(tag);
    connect(a, &QAction::triggered, this, [this, tag] { Usermanual1Click(tag); });
  }
  return a;
}

void TmainForm::nameAction(QAction *action, const char *name) {
  // Known by name as soon as it is made: the tool buttons and the keys bound
  // while the window is built look up the items made before them.
  action->setObjectName(QString::fromLatin1(name));
  actions_.insert(action->objectName(), action);
}

QAction *TmainForm::action(const QString &objectName) const {
  const auto it = actions_.find(objectName);
  return it == actions_.end() ? nullptr : it->data();
}

QMenu *TmainForm::menu(const QString &objectName) const {
  const auto it = menus_.find(objectName);
  return it == menus_.end() ? nullptr : it->data();
}

void TmainForm::indexNamedItems() {
  // Looked up once, while the workspace is empty: a search at each change of
  // focus would walk every open window, and would reach into a window that
  // is being torn down when its destruction moves the focus.
  for (QAction *a : findChildren<QAction *>())
    if (!a->objectName().isEmpty() && !actions_.contains(a->objectName()))
      actions_.insert(a->objectName(), findChild<QAction *>(a->objectName()));
  for (QMenu *m : findChildren<QMenu *>())
    if (!m->objectName().isEmpty() && !menus_.contains(m->objectName()))
      menus_.insert(m->objectName(), findChild<QMenu *>(m->objectName()));
}

void TmainForm::buildMenus() {
  using Commands = MainFormHooks::Commands;
  auto command = [this](QAction *a, MainFormCommand member) {
    connect(a, &QAction::triggered, this, [member] { runCommand(member); });
  };
  QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  connect(addAction(file, "New1", QStringLiteral("&New")), &QAction::triggered, this,
          [this] { CreateMDIChild(); });
  command(addAction(file, "Open1", QStringLiteral("&Open...")), &Commands::Open1);
  command(addAction(file, "Openinsamewindow1", QStringLiteral("Open in same window")),
          &Commands::Openinsamewindow1);
  command(addAction(file, "Insert1", QStringLiteral("Insert...")), &Commands::Insert1);
  connect(addAction(file, "Save1", QStringLiteral("Save")), &QAction::triggered, this, [this] {
    if (auto *child = activeChildForm())
      child->Save();
  });
  command(addAction(file, "Saveas1", QStringLiteral("Save as...")), &Commands::Saveas1);
  connect(addAction(file, "Close1", QStringLiteral("&Close")), &QAction::triggered, area_,
          &QMdiArea::closeActiveSubWindow);
  connect(addAction(file, "Closeall1", QStringLiteral("Close all")), &QAction::triggered, this,
          &TmainForm::CloseAll);
  file->addSeparator();
  command(addAction(file, "Linktofilter1", QStringLiteral("&Link to filter...")),
          &Commands::Linktofilter1);
  command(addAction(file, "Exportfilter1", QStringLiteral("Export filter to clipboard")),
          &Commands::Exportfilter1);
  command(addAction(file, "Exportcommandline1", QStringLiteral("Export command line to clipboard")),
          &Commands::Exportcommandline1);
  QAction *perl = addAction(file, "ExportPerl1", QStringLiteral("Export Perl script to clipboard"));
  perl->setVisible(false);
  command(perl, &Commands::ExportPerl1);
  command(addAction(file, "Print1", QStringLiteral("&Print...")), &Commands::Print1);
  command(addAction(file, "Printersetup1", QStringLiteral("Printer setup...")),
          &Commands::Printersetup1);
  file->addSeparator();
  QMenu *recent = file->addMenu(QStringLiteral("&Recent files"));
  recent->setObjectName(QStringLiteral("Recentfiles1"));
  recentFiles_->SetRecentMenu(recent);
  file->addSeparator();
  QAction *exit = addAction(file, "Exit1", QStringLiteral("E&xit"));
  exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  edit->setObjectName(QStringLiteral("Edit1"));
  auto shortcut = [](QAction *a, QKeySequence key) {
    a->setShortcut(key);
    return a;
  };
  connect(shortcut(addAction(edit, "Cut1", QStringLiteral("Cu&t")), QKeySequence::Cut),
          &QAction::triggered, this, &TmainForm::EditCutClick);
  connect(shortcut(addAction(edit, "Copy1", QStringLiteral("&Copy")), QKeySequence::Copy),
          &QAction::triggered, this, &TmainForm::EditCopyClick);
  connect(shortcut(addAction(edit, "Paste1", QStringLiteral("&Paste")), QKeySequence::Paste),
          &QAction::triggered, this, [this] { EditPasteClick(false); });
  connect(addAction(edit, "Pastespecial1", QStringLiteral("Paste special")), &QAction::triggered,
          this, [this] { EditPasteClick(true); });
  connect(addAction(edit, "Delete1", QStringLiteral("&Delete")), &QAction::triggered, this,
          &TmainForm::EditDeleteClick);
  edit->addSeparator();
  connect(addAction(edit, "Clearclipboard1", QStringLiteral("Clear clip&board")),
          &QAction::triggered, this, &TmainForm::ClearClipboardClick);
  connect(addAction(edit, "Preferences1", QStringLiteral("P&references...")), &QAction::triggered,
          this, &TmainForm::PreferencesClick);

  QMenu *tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  tools->setObjectName(QStringLiteral("Tools1"));
  command(
      addAction(tools, "Customizeshellextensions1", QStringLiteral("&Customize shell extensions")),
      &Commands::Customizeshellextensions1);
  connect(addAction(tools, "Showcommandline1", QStringLiteral("Show command line")),
          &QAction::triggered, this, &TmainForm::ShowCommandLineClick);
  tools->addSeparator();
  addAction(tools, "Clipboardviewer1", QStringLiteral("Clip&board viewer"), 10);
  addAction(tools, "NotePad1", QStringLiteral("&NotePad"), 11);
  addAction(tools, "WordPad1", QStringLiteral("&WordPad"), 12);
  addAction(tools, "Charactermap1", QStringLiteral("C&haracter map"), 13);
  addAction(tools, "Calculator1", QStringLiteral("Calculator"), 17);

  QMenu *window = menuBar()->addMenu(QStringLiteral("&Window"));
  window->setObjectName(QStringLiteral("Window1"));
  connect(addAction(window, "Cascade1", QStringLiteral("&Cascade")), &QAction::triggered, area_,
          &QMdiArea::cascadeSubWindows);
  auto withActive = [this](QAction *a, Qt::WindowState state) {
    connect(a, &QAction::triggered, this, [this, state] {
      if (QMdiSubWindow *sub = area_->activeSubWindow())
        sub->setWindowState(state);
    });
  };
  withActive(addAction(window, "Maximize1", QStringLiteral("Maximize")), Qt::WindowMaximized);
  withActive(addAction(window, "Minimize1", QStringLiteral("&Minimize")), Qt::WindowMinimized);
  withActive(addAction(window, "Restore1", QStringLiteral("&Restore")), Qt::WindowNoState);
  connect(addAction(window, "Minimizeall1", QStringLiteral("Minimize &all")), &QAction::triggered,
          this, [this] {
            const auto subs = area_->subWindowList();
            for (auto it = subs.rbegin(); it != subs.rend(); ++it)
              (*it)->showMinimized();
          });
  connect(addAction(window, "Arrangeicons1", QStringLiteral("Arrange &icons")), &QAction::triggered,
          this, &TmainForm::ArrangeIcons);
  // The workspace's keys for its windows: a grid that keeps Tab takes
  // Ctrl+Tab for itself.
  QAction *next = addAction(window, "Next1", QStringLiteral("&Next"));
  next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F6));
  connect(next, &QAction::triggered, area_, &QMdiArea::activateNextSubWindow);
  QAction *previous = addAction(window, "Previous1", QStringLiteral("&Previous"));
  previous->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6));
  connect(previous, &QAction::triggered, area_, &QMdiArea::activatePreviousSubWindow);
  window->addSeparator();
  connect(window, &QMenu::aboutToShow, this, [this, window] {
    for (QAction *a : window->actions())
      if (a->property("windowListItem").toBool())
        delete a;
    for (QMdiSubWindow *sub : area_->subWindowList()) {
      QAction *a = window->addAction(menuCaptionOf(sub->windowTitle()));
      a->setProperty("windowListItem", true);
      connect(a, &QAction::triggered, area_, [this, sub] { area_->setActiveSubWindow(sub); });
    }
  });

  QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  // F1 opens the page of the window that has the focus (eventFilter), so the
  // contents have no key of their own.
  addAction(help, "Contents1", QStringLiteral("&Contents"), 0);
  addAction(help, "Index1", QStringLiteral("&Index"), 9);
  addAction(help, "Tutorial1", QStringLiteral("Tutorial"), 14);
  help->addSeparator();
  addAction(help, "Relatedproducts1", QStringLiteral("&Related products"), 15);
  addAction(help, "Marrowenhomepage1", QStringLiteral("&Marrowen home page"), 6);
  addAction(help, "OstrevanontheWeb1", QStringLiteral("&Ostrevan on the Web"), 7);
  addAction(help, "Subscribeupdate1", QStringLiteral("Subscribe to Marrowen update list"), 20);
  addAction(help, "Subscribediscuss1", QStringLiteral("Subscribe to Marrowen discussion list"), 21);
  addAction(help, "TechnicalSupport1", QStringLiteral("Technical Support"), 8);
  addAction(help, "Suggestionbox1", QStringLiteral("Suggestion box"), 18);
  help->addSeparator();
  command(addAction(help, "Checkweb1", QStringLiteral("Check &web for Marrowen updates")),
          &Commands::Checkweb1);
  connect(addAction(help, "ShowTipoftheDay1", QStringLiteral("&Show Tip of the Day")),
          &QAction::triggered, this, [this] { showTipOfTheDay(true); });
  connect(addAction(help, "AboutMarrowen1", QStringLiteral("&About Marrowen...")),
          &QAction::triggered, this, &TmainForm::AboutClick);
}

void TmainForm::hintMenuItems() {
  // What each item does, shown in the status bar while the mouse is over it.
  static const std::pair<const char *, const char *> hints[] = {
      {"New1", "Start a new filter list"},
      {"Open1", "Open a filter list in a window of its own"},
      {"Openinsamewindow1", "Open a filter list in place of the active one"},
      {"Insert1", "Insert the filters of a filter list into the active one"},
      {"Save1", "Save the active filter list"},
      {"Saveas1", "Save the active filter list under another name"},
      {"Close1", "Close the active window"},
      {"Closeall1", "Close every window"},
      {"Linktofilter1", "Run the filters of another filter list from the active one"},
      {"Exportfilter1", "Put a description of the active filter list on the clipboard"},
      {"Exportcommandline1", "Put the command line of the active filter list on the clipboard"},
      {"Print1", "Print a description of the active filter list"},
      {"Printersetup1", "Choose the printer and its settings"},
      {"Exit1", "Quit Marrowen"},
      {"Cut1", "Cut the selected text to the clipboard"},
      {"Copy1", "Copy the selected text to the clipboard"},
      {"Paste1", "Paste the clipboard, control characters written as escapes"},
      {"Pastespecial1", "Paste the clipboard as it is"},
      {"Delete1", "Delete the selected text"},
      {"Clearclipboard1", "Empty the clipboard"},
      {"Preferences1", "Sound, editor, tips, recent files, trial font and language"},
      {"Customizeshellextensions1", "Filter lists the file manager offers for files"},
      {"Showcommandline1", "Show the parameters Marrowen was started with"},
      {"Clipboardviewer1", "Show what the clipboard holds"},
      {"NotePad1", "Start the desktop's text editor"},
      {"WordPad1", "Start the desktop's word processor"},
      {"Charactermap1", "Start the desktop's character map"},
      {"Calculator1", "Start the desktop's calculator"},
      {"Contents1", "The contents of the help pages"},
      {"Index1", "The index of the help pages"},
      {"Tutorial1", "Build, try, save and run a filter list, step by step"},
      {"Checkweb1", "Ask the web site whether a newer version exists"},
      {"ShowTipoftheDay1", "Show a tip about Marrowen"},
      {"AboutMarrowen1", "The version and the release notes"}};
  for (const auto &[name, hint] : hints)
    if (QAction *a = action(QString::fromLatin1(name)))
      a->setStatusTip(QString::fromLatin1(hint));
}

void TmainForm::buildTaskMenu() {
  taskMenu_ = new QMenu(this);
  taskMenu_->setObjectName(QStringLiteral("taskMenu"));
  taskMenu_->setToolTipsVisible(true);
  auto item = [this](const char *name, const QString &text, const QString &hint = {}) {
    QAction *a = taskMenu_->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    a->setStatusTip(hint);
    a->setProperty("helpContext", 1470);
    return a;
  };
  // The main window goes behind the others once a task has been started.
  auto sendBack = [this] { lower(); };
  QAction *go = item("taskMenuGo", QStringLiteral("&Go"), QStringLiteral("Run the current filter"));
  taskMenu_->setDefaultAction(go);
  connect(go, &QAction::triggered, this, [this, sendBack] {
    if (auto *child = activeChildForm())
      child->beginButtonClick(false);
    sendBack();
  });
  connect(item("Clipboard1", QStringLiteral("&Clipboard"),
               QStringLiteral("Run the current filter with input/output forced to the clipboard")),
          &QAction::triggered, this, [this, sendBack] {
            if (auto *child = activeChildForm())
              child->beginButtonClick(true);
            sendBack();
          });
  QAction *force = item("Forceclipboard1", QStringLiteral("&Force clipboard"),
                        QStringLiteral("Force filters run to input/output to the clipboard"));
  force->setCheckable(true);
  connect(force, &QAction::triggered, this, sendBack);
  connect(item("Clearclipboard2", QStringLiteral("C&lear clipboard")), &QAction::triggered, this,
          &TmainForm::ClearClipboardClick);
  connect(item("Refreshlist2", QStringLiteral("&Refresh filter list"),
               QStringLiteral("Refresh this list based on files in the TaskMenu folder")),
          &QAction::triggered, this, [] {
            if (auto &refresh = mainFormHooks().refreshTaskBarList)
              refresh();
          });
  connect(item("HelpontheTaskBarMenu1", QStringLiteral("Help on the Task Bar Menu")),
          &QAction::triggered, this, [] { showHelpContext(1470); });
  taskMenu_->addSeparator()->setObjectName(QStringLiteral("taskBarDivider"));
}

void TmainForm::buildToolBars() {
  auto button = [this](QToolBar *bar, const char *name, const QIcon &icon, const QString &hint,
                       QAction *target = nullptr, int tag = -1) {
    QAction *a = bar->addAction(icon, hint);
    nameAction(a, name);
    a->setToolTip(hint);
    // The hint shows in the status bar while the mouse is over the button.
    a->setStatusTip(hint);
    if (target)
      connect(a, &QAction::triggered, target, &QAction::trigger);
    if (tag >= 0) {
      a->setData(tag);
      connect(a, &QAction::triggered, this, [this, tag] { Usermanual1Click(tag); });
    }
    return a;
  };
  QToolBar *fileBar = addToolBar(QStringLiteral("File and clipboard toolbar"));
  fileBar->setObjectName(QStringLiteral("ToolBar2"));
  button(fileBar, "NewButton", themedIcon("document-new", "new"), QStringLiteral("New filter list"),
         action(QStringLiteral("New1")));
  button(fileBar, "OpenButton", themedIcon("document-open", "open"),
         QStringLiteral("Open filter list"), action(QStringLiteral("Open1")));
  button(fileBar, "saveToolButton", themedIcon("document-save", "save"),
         QStringLiteral("Save filter list"), action(QStringLiteral("Save1")));
  button(fileBar, "PrintSpeedButton", themedIcon("document-print", "print"),
         QStringLiteral("Print"), action(QStringLiteral("Print1")));
  button(fileBar, "CutButton", themedIcon("edit-cut", "cut"), QStringLiteral("Cut"),
         action(QStringLiteral("Cut1")));
  button(fileBar, "CopyButton", themedIcon("edit-copy", "copy"), QStringLiteral("Copy"),
         action(QStringLiteral("Copy1")));
  button(fileBar, "PasteButton", themedIcon("edit-paste", "paste"), QStringLiteral("Paste"),
         action(QStringLiteral("Paste1")));
  QAction *duplicate = button(fileBar, "duplicateButton", themedIcon(nullptr, "duplicate"),
                              QStringLiteral("Duplicate current filter"));
  connect(duplicate, &QAction::triggered, this,
          [] { runCommand(&MainFormHooks::Commands::Duplicatecurrentfilter1); });

  QToolBar *apps = addToolBar(QStringLiteral("Applications toolbar"));
  apps->setObjectName(QStringLiteral("ToolBar3"));
  button(apps, "clipboardViewerButton", themedIcon(nullptr, "clipboard"),
         QStringLiteral("Clipboard viewer"), nullptr, 10);
  for (auto [name, hint, tag, theme, picture] :
       {std::tuple{"charmapButton", "Character map", 13, "accessories-character-map", "charmap"},
        std::tuple{"notepadButton", "Notepad", 11, "accessories-text-editor", "notepad"},
        std::tuple{"wordpadButton", "WordPad", 12, "x-office-document", "wordpad"},
        std::tuple{"calculatorButton", "Calculator", 17, "accessories-calculator", "calculator"}})
    button(apps, name, themedIcon(theme, picture), QString::fromLatin1(hint), nullptr, tag);

  QToolBar *filters = addToolBar(QStringLiteral("Filters toolbar"));
  filters->setObjectName(QStringLiteral("ToolBar4"));
  using Commands = MainFormHooks::Commands;
  auto filterButton = [&](const char *name, const QIcon &icon, const QString &hint,
                          MainFormCommand command) {
    QAction *a = button(filters, name, icon, hint);
    connect(a, &QAction::triggered, this, [command] { runCommand(command); });
    return a;
  };
  filterButton("replaceButton", themedIcon("edit-find-replace", "replace"),
               QStringLiteral("Search and replace"), &Commands::Searchandreplace1);
  filterButton("eolButton", themedIcon(nullptr, "eol"), QStringLiteral("End of line"),
               &Commands::EndofLine1);
  filterButton("sortButton", themedIcon("view-sort-ascending", "sort"), QStringLiteral("Sort"),
               &Commands::Sort1);
  filterButton("numberButton", themedIcon(nullptr, "numbers"), QStringLiteral("Add line numbers"),
               &Commands::AddLinenumbers1);
  filterButton("commentButton", themedIcon(nullptr, "comment"), QStringLiteral("Comment"),
               &Commands::Comment1);
  QAction *email = button(filters, "emailButton", themedIcon(nullptr, "email"),
                          QStringLiteral("Extract e-mail addresses"));
  email->setData(28);
  connect(email, &QAction::triggered, this, [this] {
    if (auto *child = activeChildForm())
      child->addDescriptionFilter(28);
  });
  for (auto [name, hint, kind, theme, picture] :
       {std::tuple{"centreButton", "Centre text", 4, "format-justify-center", "centre"},
        std::tuple{"justifyButton", "Justify text", 5, "format-justify-right", "justify"}}) {
    QAction *a = button(filters, name, themedIcon(theme, picture), QString::fromLatin1(hint));
    a->setData(kind);
    connect(a, &QAction::triggered, this, [this, kind] {
      if (auto *child = activeChildForm())
        child->addNumberFilter(kind);
    });
  }
  button(filters, "helpButton", themedIcon("help-contents", "help"), QStringLiteral("Help"),
         nullptr, 0);
}

void TmainForm::afterCreate() {
  connect(qApp, &QApplication::focusChanged, this, &TmainForm::UpdateMenuItems,
          Qt::UniqueConnection);
  connect(area_, &QMdiArea::subWindowActivated, this, &TmainForm::UpdateMenuItems,
          Qt::UniqueConnection);
  statusBarStandardText();
  initCharTables();
  auto &hooks = mainFormHooks();
  if (hooks.refreshTaskBarList)
    hooks.refreshTaskBarList();
  if (hooks.processCommandLine)
    hooks.processCommandLine();
  // The window the command line fills clears the bar as it is set up; what
  // the command line itself reported stays.
  if (statusText().isEmpty())
    statusBarStandardText();
  if (hooks.updateCheck)
    hooks.updateCheck();
  // Nobody would see them without a screen; their titles would only clutter
  // an unattended run's standard error.
  const bool canAsk = DialogRunner::canAsk();
  if (settings_.showTips && canAsk)
    showTipOfTheDay(false);
  if (settings_.showWizard && hooks.showWizard && canAsk)
    if (auto *child = activeChildForm())
      hooks.showWizard(*child);
  emit afterCreateDone();
}

void TmainForm::statusBarText(const QString &text) {
  statusError_ = false;
  status_->setStyleSheet(QString());
  status_->setText(text);
  status_->repaint();
}

void TmainForm::statusBarError(const QString &text) {
  statusError_ = true;
  status_->setStyleSheet(QStringLiteral("color: red"));
  status_->setText(text);
  status_->repaint();
}

void TmainForm::statusBarStandardText() {
  statusBarText(
      toQString(translate(4150, "Welcome to Marrowen! Try the Tutorial under the Help Menu")));
}

QString TmainForm::statusText() const { return status_->text(); }
bool TmainForm::statusIsError() const { return statusError_; }

namespace {
int callerReportsDepth = 0;
} // namespace

CallerReportsFailures::CallerReportsFailures() { ++callerReportsDepth; }
CallerReportsFailures::~CallerReportsFailures() { --callerReportsDepth; }

bool failuresGoToCaller() {
  const TmainForm *main = TmainForm::instance();
  return callerAwaitsAnswer() || (main && !main->interactive());
}

bool callerAwaitsAnswer() { return callerReportsDepth > 0; }

void TmainForm::logError(const std::string &message) {
  showMessageBox(this, QMessageBox::Critical, toQString(program::displayName),
                 messageToQString(message));
  if (!interactive_) {
    statusBarError(messageToQString(message));
    writeDefaultLog(TLogLevel::Error, message);
  }
}

void TmainForm::SpawnApp(int statusId, const char *statusFormat, const QString &target,
                         bool program, const QStringList &arguments) {
  // A document beside the program is named as names are shown, and handed
  // to the desktop by its bytes, in a folder whose name is no UTF-8 too.
  const std::string named = fileNameFromQString(target);
  statusBarText(messageToQString(translateFormat(statusId, statusFormat, {named})));
  const bool started = program ? launcher().startProgram(target, arguments)
                       : target.contains(QStringLiteral("://"))
                           ? launcher().openUrl(target)
                           : launcher().openUrl(fileNameToOpenTarget(named));
  if (!started)
    statusBarError(
        messageToQString(translateFormat(4160, "Error: %s - %s", {named, "cannot be opened"})));
}

void TmainForm::increaseThreadCount() { host_->increaseThreadCount(); }
void TmainForm::reduceThreadCount() { host_->reduceThreadCount(); }
void TmainForm::setQuitWhenDone(bool quit) { host_->setQuitWhenDone(quit); }

void TmainForm::setInteractive(bool on) {
  interactive_ = on;
  rememberNodeDefaults(on);
}

FilterListWindow *TmainForm::CreateMDIChild() {
  auto &factory = mainFormHooks().createChild;
  if (!factory)
    return nullptr;
  ++windowCount_;
  FilterListWindow *child = factory(*area_);
  if (child)
    adoptChild(child, qobject_cast<QMdiSubWindow *>(child->widget()->parentWidget()));
  return child;
}

void TmainForm::adoptChild(FilterListWindow *window, QMdiSubWindow *sub) {
  QWidget *widget = window->widget();
  children_[widget] = window;
  connect(widget, &QObject::destroyed, this, [this, widget] { children_.erase(widget); });
  if (!sub)
    sub = area_->addSubWindow(widget);
  sub->show();
  area_->setActiveSubWindow(sub);
  UpdateMenuItems();
}

FilterListWindow *TmainForm::activeChildForm() const {
  QMdiSubWindow *sub = area_->activeSubWindow();
  if (!sub && !area_->subWindowList().isEmpty())
    sub = area_->currentSubWindow();
  if (!sub)
    return nullptr;
  const auto it = children_.find(sub->widget());
  return it == children_.end() ? nullptr : it->second;
}

FilterListWindow *TmainForm::decideWindow() {
  FilterListWindow *active = activeChildForm();
  if (active && active->fileName().empty() && !active->filterHasChanged())
    return active;
  return CreateMDIChild();
}

FilterListWindow *TmainForm::openFilterFile(const std::string &fileName,
                                            const LoadListOptions &options, bool newWindow) {
  FilterListWindow *active = activeChildForm();
  // A new window over a maximized one takes its maximized state from it; a
  // window given up gives it back.
  const QPointer<QMdiSubWindow> activeFrame = area_->activeSubWindow();
  const bool activeMaximized = activeFrame && activeFrame->isMaximized();
  FilterListWindow *window = newWindow ? CreateMDIChild() : decideWindow();
  if (!window)
    return nullptr;
  const bool made = newWindow || window != active;
  // The load may ask or tell something, while which the window may go.
  const QPointer<QWidget> alive(window->widget());
  auto discard = [this, alive, activeFrame, activeMaximized] {
    if (alive) {
      QWidget *frame = frameOf(alive);
      // Later: the window may still be answering the event that opened it.
      frame->hide();
      frame->deleteLater();
    }
    if (activeFrame) {
      area_->setActiveSubWindow(activeFrame);
      if (activeMaximized)
        activeFrame->showMaximized();
    }
  };
  bool loaded = false;
  try {
    loaded = window->loadFilterList(fileName, options);
  } catch (...) {
    if (made)
      discard();
    throw;
  }
  if (loaded && alive)
    return window;
  if (made)
    discard();
  return nullptr;
}

FilterListWindow *TmainForm::findWindow(const std::string &fileName) const {
  for (QMdiSubWindow *sub : area_->subWindowList()) {
    const auto it = children_.find(sub->widget());
    if (it != children_.end() && it->second->fileName() == fileName)
      return it->second;
  }
  return nullptr;
}

void TmainForm::CloseAll() {
  const auto subs = area_->subWindowList();
  for (auto it = subs.rbegin(); it != subs.rend(); ++it)
    (*it)->close();
}

void TmainForm::ArrangeIcons() {
  // Left to right from the bottom left corner, a row higher when one is full.
  const QSize space = area_->viewport()->size();
  int x = 0, bottom = space.height(), rowHeight = 0;
  for (QMdiSubWindow *sub : area_->subWindowList()) {
    if (!sub->isVisible() || !sub->isMinimized())
      continue;
    const QSize icon = sub->size();
    if (x > 0 && x + icon.width() > space.width()) {
      x = 0;
      bottom -= rowHeight;
      rowHeight = 0;
    }
    sub->move(x, bottom - icon.height());
    x += icon.width();
    rowHeight = std::max(rowHeight, icon.height());
  }
}

bool TmainForm::closeQueryAll() {
  // Each question runs an event loop, in which any other window may go (a
  // job's end releases its status window, another program closes a list).
  std::vector<QPointer<QWidget>> lists;
  const auto subs = area_->subWindowList();
  for (auto it = subs.rbegin(); it != subs.rend(); ++it)
    if (children_.count((*it)->widget()))
      lists.emplace_back((*it)->widget());
  std::vector<QPointer<QWidget>> asked;
  for (const QPointer<QWidget> &list : lists) {
    if (!list || !children_.count(list))
      continue;
    if (!children_.at(list)->closeQuery()) {
      for (const QPointer<QWidget> &widget : asked)
        if (widget && children_.count(widget))
          children_.at(widget)->closeCancelled();
      return false;
    }
    asked.push_back(list);
  }
  return true;
}

void TmainForm::handleDroppedFiles(const QStringList &names) {
  FilterListWindow *active = activeChildForm();
  bool added = false;
  for (const QString &name : names) {
    const QString full = QFileInfo(name).absoluteFilePath();
    if (full.right(4).toUpper() == QStringLiteral(".FLL")) {
      openFilterFile(fileNameFromQString(full), {}, true);
    } else if (active) {
      added = active->testThenAdd(fileNameFromQString(full)) || added;
    }
  }
  if (added) {
    active->showFilesPage();
    active->checkButtonsEnableStatus();
  }
}

void TmainForm::dragEnterEvent(QDragEnterEvent *event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void TmainForm::dropEvent(QDropEvent *event) {
  QStringList names;
  for (const QUrl &url : event->mimeData()->urls())
    if (url.isLocalFile())
      names << localFileNameOf(url);
  event->acceptProposedAction();
  handleDroppedFiles(names);
  if (isMinimized())
    showNormal();
  else
    activateWindow();
}

void TmainForm::setCalledFrom(const std::string &application) {
  calledFrom_ = application;
  // The caller's name is no key of the item's, whatever "&" it holds.
  std::string shown;
  for (const char c : application)
    shown.append(c == '&' ? 2 : 1, c);
  action(QStringLiteral("Exit1"))
      ->setText(toQString(translateFormat(4450, "Exit and return to %s", {shown})));
}

void TmainForm::closeEvent(QCloseEvent *event) {
  // The client keeps its server, but a signal to end the program still ends it.
  if (!calledFrom_.empty() && !applicationTerminating()) {
    event->ignore();
    hide();
    return;
  }
  // Every changed list asks before anything closes or stops: one Cancel keeps
  // the program, its windows and its jobs as they were.
  if (!applicationTerminating() && !closeQueryAll()) {
    event->ignore();
    return;
  }
  // Jobs end before any window goes: their windows and chains are still in use.
  host_->stopAllJobs();
  CloseAll();
  saveAllSettings();
  formInfo_->Save();
  event->accept();
}

void TmainForm::UpdateMenuItems() {
  const bool child = activeChildForm() != nullptr;
  for (const char *name : {"saveToolButton", "PrintSpeedButton", "duplicateButton", "sortButton",
                           "numberButton", "eolButton", "commentButton", "replaceButton",
                           "emailButton", "centreButton", "justifyButton"})
    if (QAction *a = action(QString::fromLatin1(name)))
      a->setEnabled(child);
  for (const char *name : {"Openinsamewindow1", "Insert1", "Save1", "Saveas1", "Linktofilter1",
                           "Exportfilter1", "Exportcommandline1", "Print1", "Printersetup1"})
    if (QAction *a = action(QString::fromLatin1(name)))
      a->setVisible(child);
  const bool any = !area_->subWindowList().isEmpty();
  for (const char *name : {"CutButton", "CopyButton", "PasteButton", "Cut1", "Copy1", "Paste1",
                           "Pastespecial1", "Delete1"})
    if (QAction *a = action(QString::fromLatin1(name)))
      a->setEnabled(any);
  for (const char *name : {"Close1", "Closeall1"})
    if (QAction *a = action(QString::fromLatin1(name)))
      a->setVisible(any);
  // The Window menu arranges windows: with none (or one to go to) it has nothing to do.
  const auto windows = area_->subWindowList().size();
  for (const char *name :
       {"Cascade1", "Maximize1", "Minimize1", "Restore1", "Minimizeall1", "Arrangeicons1"})
    if (QAction *a = action(QString::fromLatin1(name)))
      a->setEnabled(windows > 0);
  for (const char *name : {"Next1", "Previous1"})
    if (QAction *a = action(QString::fromLatin1(name)))
      a->setEnabled(windows > 1);
}

namespace {

// The control an edit command acts on: the focused one, or the edit part of
// a focused spin box or combo box.
QWidget *editTarget() {
  QWidget *focus = QApplication::focusWidget();
  if (qobject_cast<QAbstractSpinBox *>(focus))
    return focus->findChild<QLineEdit *>();
  if (auto *combo = qobject_cast<QComboBox *>(focus); combo && combo->lineEdit())
    return combo->lineEdit();
  return focus;
}

// Posts `method` (cut, copy, paste) to the control, when it has one: a tree
// or a button has nothing to cut.
void postEdit(QWidget *target, const char *method) {
  if (target && target->metaObject()->indexOfMethod(
                    QMetaObject::normalizedSignature((std::string(method) + "()").c_str())) >= 0)
    QMetaObject::invokeMethod(target, method, Qt::QueuedConnection);
}

// The data grid holding `widget` or its cell editor, if any.
TdgBaseGrid *gridHolding(QWidget *widget) {
  for (QWidget *w = widget; w; w = w->parentWidget())
    if (auto *grid = dynamic_cast<TdgBaseGrid *>(w))
      return grid;
  return nullptr;
}

// A grid's cell editor is no text control of the toolkit's: the commands go
// to the grid's current cell, which changes only a cell that takes typing
// and makes the change an edit of the list, as the editor's own keys do.
TdgBaseGrid *focusedGrid() { return gridHolding(QApplication::focusWidget()); }

} // namespace

void TmainForm::EditCutClick() {
  if (TdgBaseGrid *grid = focusedGrid()) {
    if (grid->EditingAllowed())
      grid->CurrentCell().CutToClipboard(true);
    return;
  }
  QWidget *target = editTarget();
  if (!TextTarget(target).isReadOnly())
    postEdit(target, "cut");
}

void TmainForm::EditCopyClick() {
  if (TdgBaseGrid *grid = focusedGrid())
    grid->CurrentCell().CopyToClipboard();
  else
    postEdit(editTarget(), "copy");
}

void TmainForm::EditDeleteClick() {
  if (TdgBaseGrid *grid = focusedGrid()) {
    if (grid->EditingAllowed())
      grid->CurrentCell().DeleteSelection(true);
    return;
  }
  TextTarget(editTarget()).deleteSelection();
}

void TmainForm::EditPasteClick(bool special) {
  if (TdgBaseGrid *grid = focusedGrid()) {
    if (grid->EditingAllowed())
      grid->CurrentCell().PasteFromClipboard(true);
    return;
  }
  QWidget *target = editTarget();
  if (TextTarget(target).isReadOnly())
    return;
  // A text of escapes takes the clipboard's text escaped; the clipboard
  // stays as it is.
  const bool memo = qobject_cast<QPlainTextEdit *>(target) || qobject_cast<QTextEdit *>(target);
  if (!special && (memo || qobject_cast<QLineEdit *>(target))) {
    pasteEscaped(TextTarget(target), !memo);
    return;
  }
  postEdit(target, "paste");
}

void TmainForm::ClearClipboardClick() {
  QApplication::clipboard()->clear();
  statusBarText(toQString(translate(4350, "Clipboard has been cleared")));
}

void TmainForm::PreferencesClick() {
  ToptionsDialog dialog(settings_, this);
  if (DialogRunner::exec(dialog) != QDialog::Accepted)
    return;
  const std::string oldLanguage = settings_.language;
  const std::string chosen = fromQString(dialog.languages().currentText());
  if (chosen != oldLanguage)
    showMessageBox(
        this, QMessageBox::Information, toQString(program::displayName),
        toQString(translateFormat(4440, "You must exit %s before the new language will take effect",
                                  {program::displayName})));
  dialog.apply(settings_);
  recentFiles_->Strings().SetCapacity(settings_.fileHistoryEntries);
  for (const auto &[widget, child] : children_)
    child->updateTrialFont(trialFontOf(settings_));
  saveAllSettings();
}

void TmainForm::showTipOfTheDay(bool userAsked) {
  TfTipOfTheDay tips(tipsFile(), this);
  tips.setTip(settings_.currentTip);
  tips.setShowTips(settings_.showTips);
  if (!tips.noTips()) {
    DialogRunner::exec(tips);
    settings_.currentTip = tips.index() + 1;
  } else if (userAsked) {
    showMessageBox(this, QMessageBox::Information, toQString(program::displayName),
                   toQString(translate(4360, "Couldn't find Tip Of The Day file")));
  }
  settings_.showTips = tips.showTips();
  saveAllSettings();
}

void TmainForm::AboutClick() {
  TABox about(this);
  about.webLink = [this](int link) { onAboutButton(link); };
  DialogRunner::exec(about);
}

void TmainForm::onAboutButton(int button) {
  Usermanual1Click(button == 3 ? 7 : button == 4 ? 4 : 0);
}

void TmainForm::ShowCommandLineClick() {
  if (!commandLineForm_) {
    commandLineForm_ = new TcommandLineForm(arguments_);
    commandLineSub_ = area_->addSubWindow(commandLineForm_);
    commandLineSub_->setAttribute(Qt::WA_DeleteOnClose);
  }
  // Over a maximized list it opens as it was left, and the list stays
  // maximized under it.
  QMdiSubWindow *active = area_->currentSubWindow();
  const bool hold = active && active != commandLineSub_ && active->isMaximized() &&
                    !area_->testOption(QMdiArea::DontMaximizeSubWindowOnActivation);
  if (hold)
    area_->setOption(QMdiArea::DontMaximizeSubWindowOnActivation, true);
  commandLineSub_->show();
  area_->setActiveSubWindow(commandLineSub_);
  if (hold)
    area_->setOption(QMdiArea::DontMaximizeSubWindowOnActivation, false);
}

void TmainForm::openRecentFile(const std::string &fileName) {
  // An entry that cannot be opened (the file was deleted or damaged) would
  // fail again at every try.
  if (!openFilterFile(fileName, {.askQuestions = true}))
    recentFiles_->Strings().Remove(fileName);
}

int TmainForm::helpContextAt(QWidget *widget) const {
  for (QWidget *w = widget; w; w = w->parentWidget()) {
    if (auto *tabs = qobject_cast<QTabWidget *>(w))
      if (QWidget *page = tabs->currentWidget(); page && page->property("helpContext").isValid())
        return page->property("helpContext").toInt();
    if (w->property("helpContext").isValid())
      return w->property("helpContext").toInt();
  }
  if (QMdiSubWindow *sub = area_->activeSubWindow())
    if (QWidget *w = sub->widget(); w && w->property("helpContext").isValid())
      return w->property("helpContext").toInt();
  return property("helpContext").toInt();
}

void TmainForm::Usermanual1Click(int tag) {
  auto web = [this](int message, const char *text, const QString &address) {
    SpawnApp(message, text, address);
  };
  auto accessory = [this](int message, const char *text, int t) {
    const QString program = launcher().findProgram(accessoryPrograms(t));
    if (!program.isEmpty()) {
      SpawnApp(message, text, program, true);
      return;
    }
    // This desktop has none of the programs that stand in for it.
    const char *kind = t == 11   ? "text editor"
                       : t == 12 ? "word processor"
                       : t == 13 ? "character map"
                                 : "calculator";
    const std::string error = translateFormat(
        4160, "Error: %s - %s",
        {kind, "none is installed (any of " +
                   fromQString(accessoryPrograms(t).join(QStringLiteral(", "))) + " would do)"});
    statusBarError(toQString(error));
    showMessageBox(this, QMessageBox::Information, windowTitle(), toQString(error));
  };
  // Encoded: a "+" or "&" in the address would reach the list service as a
  // blank or as another key.
  const QString email = QString::fromLatin1(
      QUrl::toPercentEncoding(toQString(settings_.emailAddress), QByteArrayLiteral("@")));
  switch (tag) {
  case 0:
    showHelpContents();
    break;
  case 1:
    SpawnApp(4170, "Opening document %s", programFile("WhatsNew.Txt"));
    break;
  case 4:
    SpawnApp(4190, "Opening document %s", programFile("Products.Txt"));
    break;
  case 6:
    web(4210, "Opening web page %s", siteAddress + QStringLiteral("/marrowen.html?referrer=mrapp"));
    break;
  case 7:
    web(4220, "Opening web page %s", siteAddress + QStringLiteral("/?referrer=mrapp"));
    break;
  case 8:
    web(4230, "Opening web page %s", siteAddress + QStringLiteral("/support.html"));
    break;
  case 9:
    showHelpIndex();
    break;
  case 10:
    statusBarText(toQString(translateFormat(4240, "Starting application %s", {"Clipboard"})));
    showClipboardViewer();
    break;
  case 11:
    accessory(4250, "Starting application %s", 11);
    break;
  case 12:
    accessory(4260, "Starting application %s", 12);
    break;
  case 13:
    accessory(4270, "Starting application %s", 13);
    break;
  case 14:
    showHelpContext(1300);
    break;
  case 15:
  case 16:
  case 19:
  case 22:
  case 23:
    web(4280, "Opening web page %s", siteAddress + QStringLiteral("/marrowen/related.html"));
    break;
  case 17:
    accessory(4290, "Starting application %s", 17);
    break;
  case 18:
    web(4300, "Opening web page %s", siteAddress + QStringLiteral("/suggest.html?referrer=mrapp"));
    break;
  case 20:
    web(4310, "Opening web page %s",
        listAddress + toQString(program::shortName) + QStringLiteral("?user=") + email);
    break;
  case 21:
    web(4320, "Opening web page %s",
        listAddress + QStringLiteral("marrowen-discuss?user=") + email);
    break;
  default:
    break;
  }
}

namespace {

// The grid holding `widget` (or its cell editor) when that grid keeps Tab
// for its cells; none otherwise.
TdgBaseGrid *gridKeepingTab(QWidget *widget) {
  TdgBaseGrid *grid = gridHolding(widget);
  return grid && grid->KeepsTab() ? grid : nullptr;
}

} // namespace

bool TmainForm::eventFilter(QObject *watched, QEvent *event) {
  // The workspace takes Ctrl+Tab for its windows before any of them sees it.
  // A grid that keeps Tab for its cells is left by Ctrl+Tab, so there the key
  // goes to the grid as it would outside the workspace, from the widget that
  // has the focus up; Ctrl+F6 and the Window menu still switch windows.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    auto *key = static_cast<QKeyEvent *>(event);
    auto *widget = static_cast<QWidget *>(watched);
    if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
        (key->modifiers() & Qt::ControlModifier))
      if (TdgBaseGrid *grid = gridKeepingTab(widget); grid && area_->isAncestorOf(grid)) {
        for (QObject *w = widget; w; w = w->parent()) {
          key->accept();
          w->event(key);
          if (key->isAccepted() || w == grid)
            break;
        }
        return true;
      }
  }
  // Ctrl+V is Edit > Paste's key in this window and in every window inside
  // it: a text control would take it first and paste control characters
  // raw, where the menu item escapes them. A grid pastes into its cell
  // either way; a dialog of its own has no such menu.
  if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
      watched->isWidgetType() && watched == QApplication::focusWidget()) {
    auto *key = static_cast<QKeyEvent *>(event);
    auto *widget = static_cast<QWidget *>(watched);
    if (key->matches(QKeySequence::Paste) && widget->window() == this && !gridHolding(widget))
      if (const QAction *paste = action(QStringLiteral("Paste1")); paste && paste->isEnabled()) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
          EditPasteClick(false);
        return true;
      }
  }
  // F1 anywhere, a modal dialog or a window of its own included, opens the
  // page of the window or dialog the key was pressed in.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
      // In the help window the page being read stays.
      auto *widget = static_cast<QWidget *>(watched);
      if (!qobject_cast<THelpViewer *>(widget->window()))
        showHelpContext(helpContextAt(widget));
      return true;
    }
  }
  // Every window of the program, this one included, opens wide enough for
  // its caption and within its screen.
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto *window = static_cast<QWidget *>(watched);
    if (window->isWindow() &&
        (window->windowType() == Qt::Window || window->windowType() == Qt::Dialog)) {
      widenForCaption(*window);
      fitToAvailableArea(*window);
    }
  }
  // A non-empty hint of whatever the mouse is over shows in the status bar.
  if (event->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent *>(event)->tip();
    if (!tip.isEmpty()) {
      statusBarText(tip);
      if (beforeMenus_)
        beforeMenus_->hint = tip;
    }
    return watched != this ? false : true;
  }
  // Menu items' hints last only while their menus are open: when the last
  // menu closes, however, the bar shows again what it showed before, unless
  // something other than a hint wrote to it meanwhile. A chosen item writes
  // its own text after its menu has closed.
  if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
      qobject_cast<QMenu *>(watched)) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool anotherOpen = std::any_of(windows.begin(), windows.end(), [watched](QWidget *w) {
      return w != watched && w->isVisible() && qobject_cast<QMenu *>(w);
    });
    if (!anotherOpen && event->type() == QEvent::Show) {
      beforeMenus_ = BeforeMenus{status_->text(), statusError_, {}};
    } else if (!anotherOpen && beforeMenus_) {
      const BeforeMenus before = *std::exchange(beforeMenus_, std::nullopt);
      if (!before.hint.isEmpty() && !statusError_ && status_->text() == before.hint) {
        if (before.error)
          statusBarError(before.text);
        else
          statusBarText(before.text);
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

} // namespace marrowen

// The window's menus (merged into the main window's bar while it is
// active), filter files, maps, and the hooks that make the window part of
// the program.
#include "app/listwindow/childform.h"

#include "app/listwindow/filtertreemodel.h"
#include "app/main/recentfiles.h"
#include "app/main/taskmenu.h"
#include "app/nodedialogs/dialogbase.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/paths.h"
#include "components/dialogrunner.h"
#include "components/filedialog.h"
#include "components/fileutil.h"
#include "components/trayicon.h"
#include "engine/escapes.h"
#include "engine/inputs.h"
#include "engine/messages.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "engine/utilities.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/nodecatalog.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include <algorithm>

namespace marrowen {

namespace {

// A menu command that adds a node: its class and the kind its tag gives.
struct AddItem {
  const char *submenu; // nullptr for the menu itself
  const char *caption;
  const char *className;
  int kind;
  QKeySequence shortcut = {};
  bool hidden = false;
};

struct MenuGroup {
  const char *caption;
  const char *name;
  int group;
  std::vector<AddItem> items;
};

const char *const describe = "TDescriptionObject";

const std::vector<MenuGroup> &addingMenus() {
  static const std::vector<MenuGroup> menus = {
      {"&Convert",
       "Convert1",
       30,
       {{nullptr, "&IBM drawing characters", describe, 15},
        {"&Character cAsE", "&UPPERCASE", describe, 5},
        {"&Character cAsE", "&lowercase", describe, 6},
        {"&Character cAsE", "&Title Case", describe, 7},
        {"&Character cAsE", "&Sentence case", describe, 8},
        {"&Character cAsE", "tOGGLE &cASE", describe, 9},
        {"&Character cAsE", "&raNDoM cASe", describe, 42},
        {"Collating s&equence (ABCabc)", "&ASCII to EBCDIC", describe, 1},
        {"Collating s&equence (ABCabc)", "&EBCDIC to ASCII", describe, 2},
        {"&OEM <=> ANSI", "&OEM to ANSI", describe, 4},
        {"&OEM <=> ANSI", "&ANSI to OEM", describe, 3},
        {"&Unicode <=> ANSI", "&ANSI to Unicode", describe, 44},
        {"&Unicode <=> ANSI", "&Unicode to ANSI", describe, 45},
        {nullptr, "&Text to word list", describe, 40},
        {nullptr, "End of &line characters", "TEOLObject", 0, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {"T&abs", "&Tabs to spaces", "TNumberObject", 0},
        {"T&abs", "&Spaces to tabs", "TNumberObject", 1},
        {"Concordance", "Word context", "TConcordanceObject", 0, {}, true},
        {"Concordance", "Sentence context", "TConcordanceObject", 1, {}, true}}},
      {"&Add",
       "Add1",
       40,
       {{nullptr, "&Word wrap", "TNumberObject", 2, QKeySequence(Qt::CTRL | Qt::Key_W)},
        {nullptr, "&Pad to width", "TNumberObject", 3},
        {nullptr, "&Centre in width", "TNumberObject", 4},
        {nullptr, "&Right justify in width", "TNumberObject", 5},
        {nullptr, "&Truncate to width", "TNumberObject", 8},
        {nullptr, "Force to width", "TNumberObject", 9},
        {nullptr, "&Line numbers", "TLineNumberObject", 0, QKeySequence(Qt::CTRL | Qt::Key_L)},
        {nullptr, "Left &margin", "TStringObject", 0},
        {nullptr, "&Header", "TStringObject", 1},
        {nullptr, "&Footer", "TStringObject", 2},
        {nullptr, "Right m&argin", "TStringObject", 3},
        {nullptr, "C&olumn of text", "TInsertColumnObject", 0}}},
      {"&Remove",
       "Remove1",
       50,
       {{nullptr, "Blanks from &start of line", describe, 12},
        {nullptr, "Blanks from &end of line", describe, 11},
        {nullptr, "Blank &lines", describe, 10},
        {nullptr, "Multiple &whitespace", describe, 19},
        {nullptr, "&HTML and XML", describe, 16},
        {"Bac&kspaces", "&Remove entirely", describe, 17},
        {"Bac&kspaces", "Re&solve", describe, 18},
        {nullptr, "&Binary characters", describe, 13},
        {nullptr, "&ANSI codes", describe, 14},
        {nullptr, "All", describe, 48},
        {nullptr, "Remove lines found in file", "TStringObject", 4},
        {nullptr, "&Duplicate lines", "TDuplicateObject", 0},
        {nullptr, "Start or end of &file", "THeadTailObject", 0},
        {nullptr, "&Columns", "TDeleteColumnsObject", 0}}},
      {"Ema&il",
       "Email1",
       60,
       {{nullptr, "&Extract email addresses", describe, 28},
        {nullptr, "Ex&tract URLs", describe, 43},
        {nullptr, "Remove email &headers", describe, 35},
        {nullptr, "Unscramble (&ROT13)", describe, 29},
        {"Hex en&coding", "&encode as Hex", describe, 21},
        {"Hex en&coding", "&decode from Hex", describe, 22},
        {"&MIME", "&encode as Base 64", describe, 23},
        {"&MIME", "&decode from Base 64", describe, 24},
        {"&MIME", "encode as &Quoted printable", describe, 25},
        {"&MIME", "decode from quoted &printable", describe, 26},
        {"&UUEncode", "UU&Encode", describe, 20},
        {"&UUEncode", "UU&Decode", describe, 27},
        {"&XXEncode", "XX&Encode", describe, 32},
        {"&XXEncode", "XX&Decode", describe, 33},
        {"HTT&P", "HTTP &Encode", describe, 37},
        {"HTT&P", "HTTP &Decode", describe, 38}}},
      {"&Special",
       "Special1",
       70,
       {{nullptr, "&Find and Replace", "TSearchObject", 0, QKeySequence(Qt::CTRL | Qt::Key_H)},
        {nullptr, "&Extract matches", "TGrepObject", 2},
        {nullptr, "Database connection", "TDatabaseObject", 0},
        {nullptr, "Sor&t", "TSortObject", 0},
        {nullptr, "&Run external program", "TExecuteObject", 0},
        {nullptr, "Active&X Script", "TScriptObject", 0},
        {nullptr, "Comment", "TCommentObject", 0},
        {nullptr, "S&plit files", "TSplitObject", 0},
        {nullptr, "Merge (&join) files", "TMergeObject", 0},
        {nullptr, "Count duplicate lines", "TDuplicateObject", 1},
        {nullptr, "Only show lines found in file", "TStringObject", 5},
        {nullptr, "&Character maths", "TMathsObject", 0},
        {nullptr, "&Debug filter", describe, 46},
        {nullptr, "&Hex dump", describe, 30},
        {nullptr, "Deci&mal dump", describe, 36},
        {nullptr, "Randomi&ze lines", describe, 39},
        {nullptr, "Re&verse each line", describe, 41},
        {nullptr, "Reverse line &order", describe, 34}}},
      {"Se&lect",
       "Select1",
       80,
       {{nullptr, "&Matching lines (grep)", "TGrepObject", 0},
        {nullptr, "Non-matching lines (inverse grep)", "TGrepObject", 1},
        {nullptr, "&Line range", "TDeleteColumnsObject", 1},
        {nullptr, "&Column range", "TDeleteColumnsObject", 2},
        {nullptr, "&Byte range", "TDeleteColumnsObject", 3, {}, true},
        {nullptr, "CS&V fields", "TDeleteColumnsObject", 4},
        {nullptr, "&Tab-delimited fields", "TDeleteColumnsObject", 5}}},
      {"&Maps",
       "Maps1",
       90,
       {{nullptr, "&New map", "TUserObject", 0, QKeySequence(Qt::CTRL | Qt::Key_U)},
        {nullptr, "&Unicode map", "TUnicodeMapObject", 0}}},
  };
  return menus;
}

// A component name from a caption: its letters and digits, then "1".
QString componentName(const char *caption) {
  QString name;
  for (const char *c = caption; *c; ++c)
    if (std::isalnum(static_cast<unsigned char>(*c)))
      name += QLatin1Char(*c);
  return name + QLatin1Char('1');
}

TchildForm *activeChild() {
  TmainForm *main = TmainForm::instance();
  return main ? dynamic_cast<TchildForm *>(main->activeChildForm()) : nullptr;
}

} // namespace

QStringList TchildForm::runFileDialog(QWidget *parent, const QString &title, const QString &filter,
                                      bool save, const QString &start, const QString &suffix,
                                      const QString &selectedFilter, const QObject *owner) {
  FileDialog dialog(parent, title, filter);
  dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(save ? FileDialog::AcceptSave : FileDialog::AcceptOpen);
  dialog.setFileMode(save ? FileDialog::AnyFile : FileDialog::ExistingFiles);
  dialog.setConfirmOverwrite(save);
  dialog.setDefaultSuffix(suffix);
  if (!selectedFilter.isEmpty())
    dialog.selectNameFilter(selectedFilter);
  if (FolderExists(start))
    dialog.setDirectory(start);
  else if (!start.isEmpty())
    dialog.selectFile(start);
  if (DialogRunner::exec(dialog, owner) != QDialog::Accepted)
    return {};
  return dialog.selectedFiles();
}

QAction *TchildForm::findAction(const QString &objectName) const {
  for (QMenu *menu : menus_)
    for (QAction *action : menu->findChildren<QAction *>(objectName))
      return action;
  return nullptr;
}

void TchildForm::buildMenus() {
  auto add = [this](QMenu *menu, const char *caption, auto handler,
                    QKeySequence shortcut = {}) -> QAction * {
    QAction *action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(componentName(caption));
    if (!shortcut.isEmpty()) {
      action->setShortcut(shortcut);
      action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
      addAction(action);
    }
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  // The main window's own commands, called directly: its menu items of the
  // same names are not in the bar while this window's are.
  auto onMain = [](void (TmainForm::*command)()) {
    return [command] {
      if (TmainForm *main = TmainForm::instance())
        (main->*command)();
    };
  };
  auto withKey = [](QAction *action, QKeySequence::StandardKey key) {
    action->setShortcuts(key);
    return action;
  };

  editMenu_ = new QMenu(QStringLiteral("&Edit"), this);
  editMenu_->setObjectName(QStringLiteral("Edit2"));
  editMenu_->setProperty("groupIndex", 20);
  add(editMenu_, "&Undo changes to this line", [this] { Undochangestothisline1Click(); });
  withKey(add(editMenu_, "Cu&t", onMain(&TmainForm::EditCutClick)), QKeySequence::Cut);
  withKey(add(editMenu_, "&Copy", onMain(&TmainForm::EditCopyClick)), QKeySequence::Copy);
  withKey(add(editMenu_, "&Paste",
              [] {
                if (TmainForm *main = TmainForm::instance())
                  main->EditPasteClick(false);
              }),
          QKeySequence::Paste);
  add(editMenu_, "Paste special", [] {
    if (TmainForm *main = TmainForm::instance())
      main->EditPasteClick(true);
  });
  add(editMenu_, "&Delete", onMain(&TmainForm::EditDeleteClick));
  add(editMenu_, "Duplicate current filter", [this] { Duplicatecurrentfilter1Click(); });
  editMenu_->addSeparator();
  add(editMenu_, "Clear clip&board", onMain(&TmainForm::ClearClipboardClick));
  withKey(add(editMenu_, "Select All",
              [] {
                QWidget *focus = QApplication::focusWidget();
                if (focus && focus->metaObject()->indexOfMethod("selectAll()") >= 0)
                  QMetaObject::invokeMethod(focus, "selectAll");
              }),
          QKeySequence::SelectAll);
  add(
      editMenu_, "T&oggle filter enable/disable", [this] { editMenuEnableDisableFilterClick(); },
      QKeySequence(Qt::CTRL | Qt::Key_T))
      ->setObjectName(QStringLiteral("EnableDisablefilter1"));
  add(editMenu_, "P&references...", onMain(&TmainForm::PreferencesClick));
  menus_.push_back(editMenu_);

  for (const MenuGroup &group : addingMenus()) {
    auto *menu = new QMenu(QString::fromLatin1(group.caption), this);
    menu->setObjectName(QString::fromLatin1(group.name));
    menu->setProperty("groupIndex", group.group);
    std::map<std::string, QMenu *> submenus;
    for (const AddItem &item : group.items) {
      QMenu *into = menu;
      if (item.submenu) {
        QMenu *&sub = submenus[item.submenu];
        if (!sub) {
          sub = menu->addMenu(QString::fromLatin1(item.submenu));
          sub->setObjectName(componentName(item.submenu));
          if (std::string_view(item.submenu) == "Concordance")
            sub->menuAction()->setVisible(false);
        }
        into = sub;
      }
      const std::string className = item.className;
      const int kind = item.kind;
      QAction *action = add(
          into, item.caption,
          [this, className, kind] {
            const NodeCatalogEntry *entry = findCatalogEntry(className, kind);
            if (entry && entry->createDefault)
              addFilter(entry->createDefault(kind));
          },
          item.shortcut);
      action->setData(kind);
      action->setProperty("nodeClass", QString::fromLatin1(item.className));
      action->setVisible(!item.hidden);
      action->setEnabled(findCatalogEntry(className, kind) != nullptr);
    }
    if (group.group == 90) {
      mapsMenu_ = menu;
      menu->addSeparator();
      add(
          menu, "&Refresh map list", [this] { refreshMapList(); }, QKeySequence(Qt::Key_F5));
      add(menu, "&Base map on filter list", [this] { createMapBasedOnFilters(); });
      mapsDivider_ = menu->addSeparator();
    }
    menus_.push_back(menu);
  }

  toolsMenu_ = new QMenu(QStringLiteral("&Tools"), this);
  toolsMenu_->setObjectName(QStringLiteral("Tools2"));
  toolsMenu_->setProperty("groupIndex", 180);
  add(toolsMenu_, "Prepare filter for distribution",
      [this] { Preparefilterfordistribution1Click(); });
  add(toolsMenu_, "Disable prompting...", [this] {
    Preparefilterforautomation1Click();
  })->setObjectName(QStringLiteral("Preparefilterforautomation1"));
  add(toolsMenu_, "Put sample in Trial Input area", [this] { PutsampleinTrialInputArea1Click(); });
  add(toolsMenu_, "Move Trial Output to Trial Input",
      [this] { MoveTrialOutputtoTrialInput1Click(); });
  add(toolsMenu_, "&Verify filter list", [this] { verifyFilterList(); });
  toolsMenu_->addSeparator();
  add(toolsMenu_, "Filter wizard...", [this] {
    if (auto &show = mainFormHooks().showWizard)
      show(*this);
  });
  auto command = [](MainFormCommand member) { return [member] { runCommand(member); }; };
  using Commands = MainFormHooks::Commands;
  add(toolsMenu_, "Command line wizard", command(&Commands::CommandLineHelper));
  add(toolsMenu_, "Customize shell extensions", command(&Commands::Customizeshellextensions1));
  add(toolsMenu_, "&Check for Marrowen updates", command(&Commands::Checkweb1));
  add(toolsMenu_, "Show command line", onMain(&TmainForm::ShowCommandLineClick));
  toolsMenu_->addSeparator();
  for (auto [caption, tag] :
       {std::pair{"Clip&board viewer", 10}, std::pair{"&NotePad", 11}, std::pair{"&WordPad", 12},
        std::pair{"C&haracter map", 13}, std::pair{"Calculator", 17}})
    add(toolsMenu_, caption, [tag = tag] {
      if (TmainForm *main = TmainForm::instance())
        main->Usermanual1Click(tag);
    })->setData(tag);
  menus_.push_back(toolsMenu_);
  hintMenuItems();
  for (QMenu *menu : menus_)
    for (QAction *action : menu->findChildren<QAction *>())
      if (!action->shortcuts().isEmpty())
        shortcuts_.emplace_back(action, action->shortcuts());
}

void TchildForm::hintMenuItems() {
  // This window's Edit and Tools stand in the bar in place of the main
  // window's: they hint in the status bar as those do, the main window's
  // commands with the main window's own hints.
  static const std::pair<const char *, const char *> hints[] = {
      {"Undochangestothisline1", "Show the selected filter's settings as they were last kept"},
      {"Duplicatecurrentfilter1", "Add a copy of the selected filter after it"},
      {"SelectAll1", "Select all the text of the field being edited"},
      {"EnableDisablefilter1", "Switch the selected filter off, or back on"},
      {"Preparefilterfordistribution1", "Empty the trial areas and the scratch pad"},
      {"Preparefilterforautomation1", "Switch off each question the filters would ask"},
      {"PutsampleinTrialInputarea1", "Put the first input file, or the clipboard, in Trial Input"},
      {"MoveTrialOutputtoTrialInput1", "Make the last trial's output the next trial's input"},
      {"Verifyfilterlist1", "Check every filter of the list for errors"},
      {"Filterwizard1", "Build the filter list by answering questions"},
      {"Commandlinewizard1", "Build a command line that runs this filter list"},
      {"CheckforMarrowenupdates1", "Ask the web site whether a newer version exists"}};
  TmainForm *main = TmainForm::instance();
  for (QMenu *menu : {editMenu_, toolsMenu_})
    for (QAction *action : menu->actions())
      if (const QAction *same = main ? main->action(action->objectName()) : nullptr)
        action->setStatusTip(same->statusTip());
  for (const auto &[name, hint] : hints)
    if (QAction *action = findAction(QString::fromLatin1(name)))
      action->setStatusTip(QString::fromLatin1(hint));
}

void TchildForm::holdShortcuts(bool hold) {
  for (const auto &[action, keys] : shortcuts_)
    if (action)
      action->setShortcuts(hold ? keys : QList<QKeySequence>());
}

void TchildForm::addDescriptionFilter(int kind) {
  if (const NodeCatalogEntry *entry = findCatalogEntry("TDescriptionObject", kind))
    addFilter(entry->createDefault(kind));
}

void TchildForm::addNumberFilter(int kind) {
  if (const NodeCatalogEntry *entry = findCatalogEntry("TNumberObject", kind))
    addFilter(entry->createDefault(kind));
}

void TchildForm::activateWindow_() {
  if (!activatedOnce_) {
    activatedOnce_ = true;
    resetFilterList();
  }
  if (TmainForm *main = TmainForm::instance())
    if (TKitTrayIcon *tray = main->trayIcon())
      tray->SetHint(filterTitleOf(loadedFilterName_, windowNumber_));
  refreshMapList();
}

// ---------------------------------------------------------------------------
// Filter files

bool TchildForm::loadInto(const std::string &fileName, bool inserting, bool keepFileList,
                          bool takeOptions) {
  // Read into a fresh list and tree: a file that fails leaves the window as
  // it was, so a later Save cannot write a half-loaded list over the file.
  TFilterList fresh;
  fresh.getFromChildForm(*this);
  FilterFileLoadOptions options;
  options.inserting = inserting;
  options.wantOptions = takeOptions;
  options.keepFileList = keepFileList;
  options.insertionIndex = inserting ? tree_.fileInsertionIndex() : 0;
  fresh.loadFromFile(fileName, options);
  FilterTree check;
  check.buildTree(fresh);
  hideCurrentEditor();
  fresh.putToChildForm(*this);
  filterList_.getFromChildForm(*this);
  // The tags that other programs may keep in a file's own records travel
  // with what they belong to: the list's with the file opened, the version
  // record's with the options.
  if (!inserting)
    filterList_.setTag(fresh.tag());
  if (takeOptions)
    filterList_.setVersionTag(fresh.versionTag());
  return true;
}

bool TchildForm::loadFilterList(const std::string &fileName, const LoadListOptions &options) {
  const bool inserting = options.inserting;
  hideCurrentEditor();
  bool keepFileList = false;
  bool proceed = true;
  // Every question and message runs an event loop, in which the window may
  // be closed (by another program, say): it then loads nothing.
  const QPointer<TchildForm> self(this);
  auto ask = [this](const std::string &text) {
    return showMessageBox(this, QMessageBox::Question, QApplication::applicationName(),
                          messageToQString(text),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  };
  if (!inserting && options.takeOptions && filterHasChanged_ && options.askQuestions) {
    const auto save =
        ask(translateFormat(4610, "Filter '%s' has changed. Save it first?", {getFilterName()}));
    if (save == QMessageBox::Yes)
      Save();
    if (!self)
      return false;
    // Only Yes and No answer: Cancel, and a question ended by a signal,
    // load nothing over the changes.
    if (save != QMessageBox::Yes && save != QMessageBox::No)
      proceed = false;
    else if (save == QMessageBox::Yes)
      proceed = !filterHasChanged_;
    if (proceed && filterHasChanged_ && !filterList().files.empty()) {
      const auto keep = ask(translate(4620, "Retain current file list?"));
      if (!self)
        return false;
      if (keep != QMessageBox::Yes && keep != QMessageBox::No)
        proceed = false;
      keepFileList = keep == QMessageBox::Yes;
    }
  }
  bool loaded = false;
  if (proceed) {
    try {
      loadInto(fileName, inserting, keepFileList, options.takeOptions);
      loaded = true;
      checkButtonsEnableStatus();
      if (!inserting) {
        setLoadedFilterName(fileName);
        if (TmainForm *main = TmainForm::instance())
          main->recentFiles().Strings().Add(fileName);
        setFilterHasChanged(false);
      }
    } catch (const std::exception &error) {
      // The command line or another program reports the failure itself,
      // and must learn of it.
      if (failuresGoToCaller()) {
        if (tree_.selected < 0)
          selectItem(std::min(1, tree_.count() - 1));
        throw;
      }
      messageBox(QMessageBox::Critical, error.what());
      if (!self)
        return false;
    }
  }
  if (tree_.selected < 0)
    selectItem(std::min(1, tree_.count() - 1));
  showCurrentEditor();
  return loaded;
}

void TchildForm::InsertfilterList(const std::string &fileName) {
  if (tree_.selected < 3) {
    hideCurrentEditor();
    selectItem(std::min(2, tree_.count() - 1));
  }
  const QPointer<TchildForm> self(this);
  loadFilterList(fileName, {.inserting = true, .askQuestions = true, .takeOptions = false});
  if (self)
    setFilterHasChanged(true);
}

void TchildForm::Save() {
  if (!loadedFilterName_.empty())
    saveFilterListAs(loadedFilterName_);
  else
    SaveAs();
}

bool TchildForm::SaveAs() {
  const QStringList chosen = runFileDialog(
      this, QStringLiteral("Save Filter List"), QStringLiteral("Filter list (*.fll)|*.fll"), true,
      fileNameToQString(loadedFilterName_), QStringLiteral("fll"));
  // The list's own file while the name offered is kept, though no text
  // spells a name that is no UTF-8.
  return !chosen.isEmpty() && saveTo(fileNameFromQString(chosen.front(), loadedFilterName_));
}

void TchildForm::saveFilterListAs(const std::string &fileName) { saveTo(fileName); }

bool TchildForm::saveTo(const std::string &fileName) {
  storeEditor();
  try {
    filterList_.getFromChildForm(*this);
    filterList_.saveToFile(fileName);
  } catch (const std::exception &error) {
    if (failuresGoToCaller())
      throw;
    messageBox(QMessageBox::Critical, error.what());
    return false;
  }
  setLoadedFilterName(fileName);
  setFilterHasChanged(false);
  if (TmainForm *main = TmainForm::instance())
    main->recentFiles().Strings().Add(fileName);
  return true;
}

// ---------------------------------------------------------------------------
// Maps

void TchildForm::refreshMapList() {
  std::string folder;
  getProgramFolder(folder);
  refreshMenu(
      mapsMenu_, mapsDivider_,
      toQString(translate(5020, "Click here to insert this map in the filter list")), 600,
      [this](QAction *item) { MapFileClick(extractFileName(menuItemFile(item))); },
      folder + "maps/", ".map");
}

void TchildForm::MapFileClick(const std::string &mapName) {
  std::string folder;
  getProgramFolder(folder);
  try {
    auto node = TUserObject::CreateDefault();
    node->loadFromTextFile(folder + "maps/" + mapName);
    addFilter(std::move(node));
  } catch (const std::exception &error) {
    messageBox(QMessageBox::Critical, error.what());
  }
}

void TchildForm::createMapBasedOnFilters() {
  std::unique_ptr<TFilter> chain = create_filters(false, true);
  if (!chain)
    return;
  auto map = TUserObject::CreateDefault();
  map->mapFileName = translate(4750, "Based on filter list");
  std::string result;
  TStringInput input("testChar");
  input.setNext(std::move(chain));
  input.lastFilter()->setNext(std::make_unique<TStringOutput>(result));
  input.attachJob(nullptr);
  try {
    for (int byte = 0; byte < 256; ++byte) {
      input.setText(std::string(1, static_cast<char>(byte)));
      input.runInput();
      map->entries[static_cast<std::size_t>(byte)] = TUserObject::cutToEntry(encodeEscapes(result));
    }
  } catch (const std::exception &error) {
    // A filter that fails on a character (a script's error, say) makes no map.
    messageBox(QMessageBox::Critical, error.what());
    return;
  }
  addFilter(std::move(map));
}

std::string TchildForm::fromDisplayHandleError(const std::string &text) {
  return marrowen::fromDisplayHandleError(*this, text);
}

// ---------------------------------------------------------------------------
// The program's hooks

namespace {

// The bar shows the main window's File, the active list window's menus in
// group order (its Edit and Tools in place of the main window's), then
// Window and Help.
void mergeMenus(TmainForm &main, TchildForm *child) {
  QMenuBar *bar = main.menuBar();
  bar->clear();
  auto addMain = [&](const char *name) {
    if (QMenu *menu = main.menu(QString::fromLatin1(name)))
      bar->addMenu(menu);
  };
  addMain("File1");
  if (child) {
    std::vector<QMenu *> menus = child->menus();
    std::stable_sort(menus.begin(), menus.end(), [](QMenu *a, QMenu *b) {
      return a->property("groupIndex").toInt() < b->property("groupIndex").toInt();
    });
    for (QMenu *menu : menus)
      bar->addMenu(menu);
  } else {
    addMain("Edit1");
    addMain("Tools1");
  }
  addMain("Window1");
  addMain("Help1");
}

// From now on the bar and the held keys follow the workspace's active
// window. Bound before the first list window goes in: one that opens
// maximized is active before the workspace hands it back.
void followActiveWindow(QMdiArea &area) {
  if (area.property("childFormMenus").toBool())
    return;
  area.setProperty("childFormMenus", true);
  QObject::connect(&area, &QMdiArea::subWindowActivated, &area, [&area](QMdiSubWindow *window) {
    TmainForm *main = TmainForm::instance();
    // Focus leaving the workspace keeps the bar as it is.
    if (!main || (!window && !area.subWindowList().isEmpty()))
      return;
    auto *form = window ? qobject_cast<TchildForm *>(window->widget()) : nullptr;
    static QPointer<TchildForm> holding;
    if (form != holding) {
      if (holding)
        holding->holdShortcuts(false);
      if (form)
        form->holdShortcuts(true);
      holding = form;
    }
    if (form)
      form->activateWindow_();
    mergeMenus(*main, form);
  });
}

template <typename Fn> void onActive(Fn fn) {
  if (TchildForm *child = activeChild())
    fn(*child);
}

} // namespace

void TchildForm::install() {
  MainFormHooks &hooks = mainFormHooks();
  hooks.createChild = [](QMdiArea &area) -> FilterListWindow * {
    // Numbered among the list windows, the new one included.
    int number = 1;
    for (QMdiSubWindow *sub : area.subWindowList())
      if (qobject_cast<TchildForm *>(sub->widget()))
        ++number;
    followActiveWindow(area);
    auto *child = new TchildForm(number);
    child->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = area.addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    child->rememberPlacement(sub);
    return child;
  };
  auto &commands = hooks.commands;
  // With `forWindow`, nothing is chosen when that window goes while the
  // dialog runs.
  auto openDialog = [](const QString &title, const TchildForm *forWindow = nullptr) {
    TmainForm *parent = TmainForm::instance();
    // It starts where the last list came from.
    QString folder;
    if (parent && parent->recentFiles().Strings().Count() > 0)
      folder = fileNameToQString(extractFilePath(parent->recentFiles().Strings().at(0).text));
    const QStringList names = TchildForm::runFileDialog(
        parent, title, QStringLiteral("Filter list (*.fll)|*.fll|All files (*.*)|*.*"), false,
        folder, {}, {}, forWindow);
    return names.isEmpty() ? std::string() : fileNameFromQString(names.front());
  };
  auto opening = [](const std::string &name) {
    if (TmainForm *main = TmainForm::instance())
      main->statusBarText(messageToQString(
          translateFormat(4380, "Opening filter list %s", {fileNameToText(name)})));
  };
  commands.Open1 = [openDialog, opening] {
    const std::string name = openDialog(toQString(translate(4370, "Open Filter List")));
    if (name.empty())
      return;
    opening(name);
    if (TmainForm *main = TmainForm::instance())
      main->openFilterFile(name, {.askQuestions = true});
    // Loading the trial input cleared it; the list shown is the one named.
    opening(name);
  };
  commands.Openinsamewindow1 = [openDialog, opening] {
    onActive([&](TchildForm &child) {
      const std::string name = openDialog(toQString(translate(4370, "Open Filter List")), &child);
      if (name.empty())
        return;
      opening(name);
      child.loadFilterList(name, {.askQuestions = true});
      opening(name);
    });
  };
  commands.Insert1 = [openDialog] {
    onActive([&](TchildForm &child) {
      const std::string name = openDialog(toQString(translate(5030, "Insert Filter List")), &child);
      if (name.empty())
        return;
      child.statusBarText(
          translateFormat(5040, "Inserting filter list %s", {fileNameToText(name)}));
      child.InsertfilterList(name);
    });
  };
  commands.Saveas1 = [] {
    onActive([](TchildForm &child) {
      if (child.SaveAs())
        child.statusBarText(
            translateFormat(4420, "Filter list saved as %s", {fileNameToText(child.fileName())}));
    });
  };
  commands.Linktofilter1 = [openDialog] {
    onActive([&](TchildForm &child) {
      const std::string name = openDialog(toQString(translate(4430, "Link Filter List")), &child);
      if (!name.empty())
        child.addFilter(TMergeObject::CreateWith(TMergeObject::LinkFilterFile, name));
    });
  };
  commands.Duplicatecurrentfilter1 = [] {
    onActive([](TchildForm &child) { child.Duplicatecurrentfilter1Click(); });
  };
  using Commands = MainFormHooks::Commands;
  for (auto [command, className] :
       {std::pair{&Commands::Searchandreplace1, "TSearchObject"},
        std::pair{&Commands::EndofLine1, "TEOLObject"}, std::pair{&Commands::Sort1, "TSortObject"},
        std::pair{&Commands::AddLinenumbers1, "TLineNumberObject"},
        std::pair{&Commands::Comment1, "TCommentObject"}})
    commands.*command = [className = className] {
      onActive([&](TchildForm &child) {
        if (const NodeCatalogEntry *entry = findCatalogEntry(className, 0))
          child.addFilter(entry->createDefault(0));
      });
    };
}

} // namespace marrowen

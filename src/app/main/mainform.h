#pragma once

#include "app/common/loadlistoptions.h"
#include "app/main/appsettings.h"
#include "app/main/commandlineform.h"

#include <QHash>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace marrowen {

class FilterListTarget;
class TFormInfo;
class TKitTrayIcon;
class TMRUManager;
class TStringLoader;
class WindowJobHost;

// What the main window asks of a filter-list window.
class FilterListWindow {
public:
  virtual ~FilterListWindow() = default;
  virtual QWidget *widget() = 0;
  // The full path of the filter file shown; empty for a new list.
  virtual std::string fileName() const = 0;
  virtual bool filterHasChanged() const = 0;
  // False when the file was not loaded (cancelled, or its failure shown).
  virtual bool loadFilterList(const std::string &fileName, const LoadListOptions &options) = 0;
  // Adds a file or mask to the files to process; false when refused.
  virtual bool testThenAdd(const std::string &name) = 0;
  virtual void showFilesPage() = 0;
  virtual void checkButtonsEnableStatus() = 0;
  virtual void Save() = 0;
  virtual void addDescriptionFilter(int kind) = 0;
  virtual void addNumberFilter(int kind) = 0;
  virtual void updateTrialFont(const QFont &font) = 0;
  // Go; with `clipboard` the input and output are the clipboard's.
  virtual void beginButtonClick(bool clipboard) { (void)clipboard; }
  // The list the window edits, as the command line and other programs
  // drive it; none when the window offers no such access.
  virtual FilterListTarget *listTarget() { return nullptr; }
  // Asks what its close would ask (a changed list: save it first?); false
  // when the window is to stay. After true its close asks nothing more,
  // until `closeCancelled` says the close it was asked for did not come.
  virtual bool closeQuery() { return true; }
  virtual void closeCancelled() {}
};

// Where later parts of the program plug into the main window; each is
// optional, and an empty one leaves its step out.
struct MainFormHooks {
  // A new filter-list window, shown in the workspace.
  std::function<FilterListWindow *(QMdiArea &area)> createChild;
  // The pattern-menu window, made after the main window.
  std::function<void()> createPatternMenu;
  // Steps of the start-up that run once the window exists.
  std::function<void()> refreshTaskBarList;
  std::function<void()> processCommandLine;
  std::function<void()> updateCheck;
  std::function<void(FilterListWindow &)> showWizard;
  // Commands of the menus that other windows bring, each menu item bound to
  // its member, so a misspelt command cannot compile.
  struct Commands {
    std::function<void()> Open1, Openinsamewindow1, Insert1, Saveas1, Linktofilter1;
    std::function<void()> Exportfilter1, Exportcommandline1, ExportPerl1, Print1, Printersetup1;
    std::function<void()> Customizeshellextensions1, Checkweb1, CommandLineHelper;
    std::function<void()> Duplicatecurrentfilter1, Searchandreplace1, EndofLine1, Sort1,
        AddLinenumbers1, Comment1;
  } commands;
};
MainFormHooks &mainFormHooks();
using MainFormCommand = std::function<void()> MainFormHooks::Commands::*;
// Runs one of those commands; nothing when no part of the program gave it.
void runCommand(MainFormCommand command);

// Makes the pattern menu when the main window starts.
void installPatternMenu();

// While one lives, the failures of the windows' operations (loading and
// saving filter files) go back to the one who asked, another program over
// the bus or the macro socket, instead of into a message box nobody may
// see; the caller then answers with them.
class CallerReportsFailures {
public:
  CallerReportsFailures();
  ~CallerReportsFailures();
  CallerReportsFailures(const CallerReportsFailures &) = delete;
  CallerReportsFailures &operator=(const CallerReportsFailures &) = delete;
};
// Whether a failure goes back to the caller: inside a `CallerReportsFailures`
// or while the command line runs.
bool failuresGoToCaller();
// Whether another program waits for the answer to its call: inside a
// `CallerReportsFailures`. A list that cannot be built is then its answer,
// never a message box that would hold the call until someone closes it.
bool callerAwaitsAnswer();

// The program's frame: menus, tool bars, status bar, tray icon and the
// workspace holding the filter-list windows, the status windows and the
// command-line window. It starts the program, keeps the settings and the
// recent files, counts running jobs and sends the Help and Tools menus to
// help pages, documents, web pages and programs.
class TmainForm : public QMainWindow {
  Q_OBJECT
public:
  explicit TmainForm(const QStringList &arguments = {}, QWidget *parent = nullptr);
  ~TmainForm() override;

  static TmainForm *instance();

  // --- status bar ---
  void statusBarText(const QString &text);
  void statusBarError(const QString &text);
  void statusBarStandardText();
  QString statusText() const;
  bool statusIsError() const;
  void logError(const std::string &message);
  // Shows message `statusId` (its English format `statusFormat`) filled with
  // the target while it opens or starts it.
  void SpawnApp(int statusId, const char *statusFormat, const QString &target, bool program = false,
                const QStringList &arguments = {});

  // --- jobs ---
  WindowJobHost &jobHost() const { return *host_; }
  void increaseThreadCount();
  void reduceThreadCount();
  void setQuitWhenDone(bool quit);
  bool interactive() const { return interactive_; }
  // Off while the command line is read: no node remembers its values then.
  void setInteractive(bool on);

  // --- filter-list windows ---
  FilterListWindow *CreateMDIChild();
  FilterListWindow *activeChildForm() const;
  FilterListWindow *decideWindow();
  FilterListWindow *findWindow(const std::string &fileName) const;
  // Loads a filter file into a window of its own (`newWindow`) or into the
  // one decideWindow gives, and returns that window; none when the file was
  // not loaded. A window made for a file that fails goes again.
  FilterListWindow *openFilterFile(const std::string &fileName, const LoadListOptions &options,
                                   bool newWindow = false);
  // Whether any filter-list window is open, active or not.
  bool hasFilterListWindow() const { return !children_.empty(); }
  void CloseAll();
  // Lines the minimized windows up along the workspace's foot; the others stay.
  void ArrangeIcons();
  // Asks every filter-list window, last to first, whether it may close;
  // false, with none of them closed, as soon as one is to stay.
  bool closeQueryAll();
  // Registers a window made outside CreateMDIChild (tests, automation).
  void adoptChild(FilterListWindow *window, QMdiSubWindow *sub);
  void handleDroppedFiles(const QStringList &names);
  void setCalledFrom(const std::string &application);
  QMdiArea &mdiArea() const { return *area_; }

  // --- menus ---
  void Usermanual1Click(int tag);
  // The Edit menu's commands, on the control that has the focus.
  void EditCutClick();
  void EditCopyClick();
  void EditPasteClick(bool special);
  void EditDeleteClick();
  void ClearClipboardClick();
  void PreferencesClick();
  void showTipOfTheDay(bool userAsked);
  void AboutClick();
  void ShowCommandLineClick();
  void onAboutButton(int button);
  void openRecentFile(const std::string &fileName);
  void UpdateMenuItems();
  QAction *action(const QString &objectName) const;
  QMenu *menu(const QString &objectName) const;

  MainSettings &settings() { return settings_; }
  TMRUManager &recentFiles() const { return *recentFiles_; }
  TKitTrayIcon *trayIcon() const { return tray_; }
  QMenu *taskMenu() const { return taskMenu_; }
  TcommandLineForm *commandLineForm() const { return commandLineForm_; }
  // The help context F1 opens in `widget`: the first one found from it
  // outward (a tab's page before its tab control), else the active
  // workspace window's, else the main window's.
  int helpContextAt(QWidget *widget) const;
  // Writes the settings back (also done when the window goes).
  void saveAllSettings();

signals:
  void afterCreateDone();

protected:
  void closeEvent(QCloseEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dropEvent(QDropEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void buildMenus();
  void hintMenuItems();
  void buildToolBars();
  void buildTaskMenu();
  void afterCreate();
  QAction *addAction(QMenu *menu, const char *name, const QString &text, int tag = -1);
  void nameAction(QAction *action, const char *name);
  void indexNamedItems();
  void tellSettingsTrouble(const QString &message);

  QStringList arguments_;
  int windowCount_ = 0;
  bool interactive_ = true;
  std::string calledFrom_;
  MainSettings settings_;
  // The settings as this copy last read or wrote them: only its own changes
  // are written back, so another copy's stay.
  MainSettings storedSettings_;
  std::shared_ptr<TStringLoader> loader_;
  std::unique_ptr<WindowJobHost> host_;
  QMdiArea *area_;
  QLabel *status_;
  bool statusError_ = false;
  // What the status bar showed when the first of the open menus opened, and
  // the last hint written there since.
  struct BeforeMenus {
    QString text;
    bool error = false;
    QString hint;
  };
  std::optional<BeforeMenus> beforeMenus_;
  bool settingsTroubleShown_ = false;
  TKitTrayIcon *tray_ = nullptr;
  QMenu *taskMenu_ = nullptr;
  TMRUManager *recentFiles_;
  std::unique_ptr<TFormInfo> formInfo_;
  std::map<QWidget *, FilterListWindow *> children_;
  QPointer<TcommandLineForm> commandLineForm_;
  QPointer<QMdiSubWindow> commandLineSub_;
  // The window's own named actions and menus (action, menu).
  QHash<QString, QPointer<QAction>> actions_;
  QHash<QString, QPointer<QMenu>> menus_;
};

} // namespace marrowen

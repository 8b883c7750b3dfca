#include "screens.h"

#include "app/automation/commandlinehelper.h"
#include "app/automation/httpget.h"
#include "app/automation/shellextensions.h"
#include "app/automation/updateform.h"
#include "app/common/clipboardviewer.h"
#include "app/common/forminfo.h"
#include "app/jobs/debugwindow.h"
#include "app/jobs/statusform.h"
#include "app/listwindow/listdocument.h"
#include "app/listwindow/wizard.h"
#include "app/main/aboutbox.h"
#include "app/main/commandlineform.h"
#include "app/main/helpaccess.h"
#include "app/main/mainform.h"
#include "app/main/optionsdialog.h"
#include "app/main/taskmenu.h"
#include "app/main/tipoftheday.h"
#include "classlib/paths.h"
#include "classlib/registry.h"
#include "filterlist/settings.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>

#include <filesystem>
#include <memory>

namespace marrowen {

namespace {

// The windows read and write settings and language files: they get a
// folder of their own, so a screenshot never touches the user's.
class Sandbox {
public:
  Sandbox() : store_(std::make_unique<SettingsStore>(path("settings.ini").toStdString())) {
    useSettingsStore(store_.get());
    TFormInfo::useStore(store_.get());
    overrideProgramFolder(dir_.path().toStdString() + "/");
    // The help pages, tips and release notes the program ships.
    std::error_code ignored;
    std::filesystem::copy(MARROWEN_SHARE_DIR, dir_.path().toStdString(),
                          std::filesystem::copy_options::recursive, ignored);
    previousFolder_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
  }
  ~Sandbox() {
    QDir::setCurrent(previousFolder_);
    overrideProgramFolder("");
    TFormInfo::useStore(nullptr);
    useSettingsStore(nullptr);
  }
  QString path(const char *name) const { return QDir(dir_.path()).filePath(name); }

private:
  QTemporaryDir dir_;
  std::unique_ptr<SettingsStore> store_;
  QString previousFolder_;
};

QImage mainWindow() {
  Sandbox sandbox;
  TmainForm form(QStringList{"marrowen"});
  form.settings().showTips = false;
  form.resize(760, 520);
  QApplication::processEvents();
  return renderWidget(form);
}

void fillStatus(TTstatusForm &form, bool ended) {
  form.setCaption("Tidy logs");
  form.setTestMode(!ended);
  form.setTotal(4);
  form.setProcessedFiles(ended ? 4 : 2);
  form.setFileProgress(ended ? 100 : 40);
  form.setStatusFileName("/home/user/projects/logs/2026/december/server.log");
  form.setElapsedText("0:00:01.4 seconds");
  form.setBinarySkipped(ended ? 1 : 0);
  form.setNonBinarySkipped(0);
  for (const char *line : {"Filter name [Tidy logs]", "Input file [server.log] 10,240 bytes",
                           "Output file [server.log] 9,876 bytes"})
    form.addStatusLine(line);
  if (ended) {
    form.addError("Cannot open [locked.log]");
    form.jobEnded(JobEnd::Finished);
  }
}

QImage statusRunning() {
  Sandbox sandbox;
  TTstatusForm form;
  form.setLogFileName("");
  fillStatus(form, false);
  form.paintHeldBack();
  return renderWidget(form);
}

QImage statusResults() {
  Sandbox sandbox;
  TTstatusForm form;
  form.setLogFileName(sandbox.path("job.log").toStdString());
  fillStatus(form, true);
  form.findChild<QTabWidget *>("Pages")->setCurrentIndex(1);
  form.paintHeldBack();
  return renderWidget(form);
}

QImage statusErrors() {
  Sandbox sandbox;
  TTstatusForm form;
  form.setLogFileName(sandbox.path("job.log").toStdString());
  fillStatus(form, true);
  form.paintHeldBack();
  return renderWidget(form);
}

QImage tipOfTheDay() {
  Sandbox sandbox;
  TfTipOfTheDay tips;
  tips.setTip(0);
  tips.setShowTips(true);
  return renderWidget(tips);
}

QImage helpPage(int context) {
  Sandbox sandbox;
  showHelpContext(context);
  THelpViewer *viewer = THelpViewer::instance();
  if (!viewer)
    return {};
  viewer->resize(620, 520);
  QApplication::processEvents();
  QImage image = renderWidget(*viewer);
  delete viewer;
  return image;
}

QImage preferences() {
  Sandbox sandbox;
  ToptionsDialog dialog{MainSettings()};
  return renderWidget(dialog);
}

QImage aboutBox(int page) {
  Sandbox sandbox;
  TABox about;
  about.pages().setCurrentIndex(page);
  return renderWidget(about);
}

QImage debugWindow() {
  Sandbox sandbox;
  auto window = TdebugWindowForm::createShared();
  window->clearBuffer();
  for (const char *line : {"[Job start]", "[File start: notes.txt]", "first line of the file",
                           "second line", "[File end]"})
    window->addLine(line);
  QImage image = renderWidget(*window);
  window->close();
  return image;
}

QImage commandLine() {
  Sandbox sandbox;
  TcommandLineForm form({"/usr/bin/marrowen", "/F=tidy.fll", "/G", "my notes.txt"});
  return renderWidget(form);
}

QImage clipboardViewer() {
  QApplication::clipboard()->setText("Text on the clipboard\nsecond line");
  QWidget *viewer = showClipboardViewer();
  QImage image = renderWidget(*viewer);
  viewer->close();
  return image;
}

QImage updateWindow(bool checking) {
  Sandbox sandbox;
  MainSettings settings;
  TupdateForm form(settings);
  form.setAttribute(Qt::WA_DeleteOnClose, false);
  if (checking) {
    // Nothing is sent: the picture shows the window waiting.
    updateBaseAddress() = "http://127.0.0.1:9/";
    form.okButtonClick();
    form.httpGet().Abort();
  }
  return renderWidget(form);
}

QImage shellExtensions() {
  Sandbox sandbox;
  // The desktop entries a save writes stay in the sandbox too.
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", sandbox.path("data").toLocal8Bit());
  std::vector<ShellFilter> filters{
      {"Upper case", "Loud text", "/home/user/filters/upper.fll", shellCommandPresets()[0]},
      {"Tidy logs", "Strip the noise", "/home/user/filters/tidy logs.fll",
       shellCommandPresets()[1]}};
  saveShellFilters(settingsStore(), filters);
  if (dataHome.isNull())
    qunsetenv("XDG_DATA_HOME");
  else
    qputenv("XDG_DATA_HOME", dataHome);
  TshellExtensions window;
  window.resize(660, 260);
  return renderWidget(window);
}

// A saved filter list in a window of its own, for the helper to read.
class SavedList : public QWidget, public FilterListWindow {
public:
  QWidget *widget() override { return this; }
  std::string fileName() const override { return "/home/user/filters/tidy logs.fll"; }
  bool filterHasChanged() const override { return false; }
  bool loadFilterList(const std::string &, const LoadListOptions &) override { return true; }
  bool testThenAdd(const std::string &) override { return false; }
  void showFilesPage() override {}
  void checkButtonsEnableStatus() override {}
  void Save() override {}
  void addDescriptionFilter(int) override {}
  void addNumberFilter(int) override {}
  void updateTrialFont(const QFont &) override {}
};

QImage commandLineHelper(bool withList) {
  Sandbox sandbox;
  TmainForm main(QStringList{"marrowen"});
  main.settings().showTips = false;
  if (withList)
    main.adoptChild(new SavedList, nullptr);
  TcommandLineHelperForm helper;
  helper.setAttribute(Qt::WA_DeleteOnClose, false);
  helper.regenerateButtonClick();
  for (int row : {1, 3, 9})
    helper.tsGrid1DblClickCell(1, row);
  return renderWidget(helper);
}

QImage taskMenu() {
  Sandbox sandbox;
  QDir(sandbox.path("")).mkpath(QStringLiteral("TaskMenu"));
  for (const char *name : {"TaskMenu/Tidy logs.fll", "TaskMenu/Upper case.fll"}) {
    QFile file(sandbox.path(name));
    file.open(QIODevice::WriteOnly);
  }
  TmainForm main(QStringList{"marrowen"});
  main.settings().showTips = false;
  refreshTaskBarList();
  return renderWidget(*main.taskMenu());
}

} // namespace

QImage wizardPage(int page, bool clipboard) {
  Sandbox sandbox;
  TListDocument list;
  TWizardForm form(list);
  form.resize(520, 380);
  if (clipboard)
    form.inputSourceClick(1);
  form.pages()->setCurrentIndex(page);
  if (page == TWizardForm::Filters)
    form.tasks()->setCurrentRow(3);
  QApplication::processEvents();
  return renderWidget(form);
}

std::vector<Screen> wizardScreens() {
  static const char *names[] = {"welcome",           "file_or_clipboard",
                                "file_input_output", "clipboard_input_output",
                                "filters",           "finish"};
  std::vector<Screen> screens;
  for (bool clipboard : {false, true})
    for (int page = 0; page < 6; ++page) {
      if (page == (clipboard ? TWizardForm::FileInputOutput : TWizardForm::ClipboardInputOutput))
        continue;
      screens.push_back(
          {QStringLiteral("wizard_%1_%2").arg(clipboard ? "clipboard" : "files", names[page]),
           [page, clipboard] { return wizardPage(page, clipboard); }});
    }
  return screens;
}

std::vector<Screen> appScreens() {
  std::vector<Screen> wizard = wizardScreens();
  std::vector<Screen> screens = {
      {"main_window", mainWindow},
      {"status_running", statusRunning},
      {"status_results", statusResults},
      {"status_errors", statusErrors},
      {"tip_of_the_day", tipOfTheDay},
      {"help_tutorial", [] { return helpPage(1300); }},
      {"help_search_dialog", [] { return helpPage(1160); }},
      {"preferences", preferences},
      {"about_application", [] { return aboutBox(0); }},
      {"about_release_notes", [] { return aboutBox(1); }},
      {"debug_window", debugWindow},
      {"command_line_parameters", commandLine},
      {"clipboard_viewer", clipboardViewer},
      {"update_check", [] { return updateWindow(false); }},
      {"update_checking", [] { return updateWindow(true); }},
      {"shell_extensions", shellExtensions},
      {"command_line_helper_message", [] { return commandLineHelper(false); }},
      {"command_line_helper", [] { return commandLineHelper(true); }},
      {"task_menu", taskMenu}};
  screens.insert(screens.end(), wizard.begin(), wizard.end());
  return screens;
}

} // namespace marrowen

#include "app/automation/automationobjects.h"
#include "app/automation/commandline.h"
#include "app/automation/ddeserver.h"
#include "app/automation/shellextensions.h"
#include "app/automation/updateform.h"
#include "app/common/patternmenu.h"
#include "app/common/quitsignals.h"
#include "app/jobs/clipboardhandover.h"
#include "app/jobs/windowjobhost.h"
#include "app/main/mainform.h"
#include "app/main/taskmenu.h"
#include "app/nodedialogs/nodedialogs.h"
#include "app/programparts.h"
#include "classlib/paths.h"
#include "classlib/safefile.h"
#include "classlib/temporaries.h"
#include "components/dialogrunner.h"
#include "dbfilter/databasemaker.h"
#include "engine/log.h"
#include "engine/userinterface.h"
#include "scriptfilter/scriptmakers.h"

#include <QApplication>
#include <QPointer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>

namespace {

// A command line run from cron or over ssh has no display to connect to, and
// the platform plugin would abort the program. It runs on the offscreen
// platform then, as a job needs no screen; a platform the user chose stays.
void runOffscreenWithoutDisplay(int argc, char **argv) {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
      return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
}

// A run with no screen is a job's run, and cron mails whatever it writes:
// Qt's own remarks on the desktop it lacks (no runtime folder, no fonts)
// are not the job's and stay unsaid. The job's lines, Qt's critical errors
// and what a script writes to its console still go to standard error.
void keepQtQuietWithoutScreen() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (!platform.startsWith("offscreen") && !platform.startsWith("minimal"))
    return;
  static QtMessageHandler passOn = nullptr;
  passOn = qInstallMessageHandler(
      [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        const std::string_view category = context.category ? context.category : "default";
        const bool qtOwn = category == "default" || category.starts_with("qt.");
        if (qtOwn && type != QtCriticalMsg && type != QtFatalMsg)
          return;
        if (passOn)
          passOn(type, context, text);
      });
}

// What a job left on the clipboard of an X display when the windows went.
struct ClipboardLeft {
  QString text;
  QByteArray display;
  // A clipboard manager copied it, or is there to take it at exit.
  bool taken = false;
};

// The program with its windows, until they have gone with the application
// object, which hands the clipboard to a clipboard manager as it goes.
int runWindows(int argc, char **argv, ClipboardLeft &left) {
  // The display Qt connects to; it takes its own options out of argv.
  left.display = qgetenv("DISPLAY");
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "-display") == 0 || std::strcmp(argv[i], "--display") == 0)
      left.display = argv[i + 1];
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Marrowen"));
  marrowen::installWindowHandlers(marrowen::platformSharesClipboard());
  // A clipboard manager may copy a job's output long before the program ends.
  marrowen::ClipboardCopyWatch copies;
  // Script and database nodes build their filters through these.
  marrowen::registerScriptFilterMakers();
  marrowen::registerDatabaseFilterMaker();
  // With no screen nobody can answer a window: questions are answered, and
  // messages written to standard error.
  marrowen::DialogRunner::setHeadless(marrowen::platformHasNoScreen());
  marrowen::installProgramParts();
  // The parameters as bytes, after Qt took its own options out.
  marrowen::installCommandLine(std::vector<std::string>(argv + 1, argv + argc));

  QPointer<marrowen::TmainForm> mainForm = new marrowen::TmainForm(QApplication::arguments());
  mainForm->setAttribute(Qt::WA_DeleteOnClose);
  // With no screen nobody sees the windows: they paint nothing (their
  // children inherit this), and the status windows of jobs stay hidden.
  if (marrowen::platformHasNoScreen()) {
    mainForm->setUpdatesEnabled(false);
    mainForm->jobHost().setShowStatusWindows(false);
  }
  // Other programs reach the windows over the session bus, unless another
  // instance serves them already.
  marrowen::startAutomationServer(*mainForm);
  marrowen::installDdeServer();

  // SIGINT, SIGTERM and SIGHUP quit as the close box does: running jobs stop
  // first (removing their temporaries, leaving their targets alone).
  marrowen::installQuitSignals([mainForm] {
    marrowen::setApplicationTerminating(true);
    marrowen::closeAfterModalLoops(mainForm);
  });
  mainForm->show();
  const int status = QApplication::exec();
  // Quitting from the command line leaves the window open: it goes now,
  // stopping its jobs and saving the settings.
  delete mainForm.data();
  if (QGuiApplication::platformName() == QLatin1String("xcb") && !marrowen::quitSignal()) {
    left.text = marrowen::clipboardTextOfJobs();
    left.taken = copies.awaitCopy(left.text, std::chrono::seconds(3));
    // Copied over by another program meanwhile: not ours to keep any more.
    left.text = marrowen::clipboardTextOfJobs();
  }
  return status;
}

} // namespace

int main(int argc, char **argv) {
  // Writing past the file-size limit is then a write error that removes the
  // temporary file, not a kill that leaves it behind.
  marrowen::ignoreFileSizeSignal();
  // A closed terminal or a log collector that died must not end a job at
  // its next line on standard error.
  marrowen::ignoreBrokenPipeSignal();
  // SIGTERM while the program starts (writing a new language file) must not
  // leave its temporary files behind.
  marrowen::catchQuitSignals();
  // What a copy killed without warning left in flight goes before this one
  // makes files of its own, which go on record in their turn.
  const std::string journals = marrowen::writableDataFolder() + "temporaries";
  marrowen::removeTemporariesOfEndedRuns(journals);
  marrowen::recordTemporariesIn(journals);
  // Many macro clients, jobs and files side by side.
  marrowen::raiseDescriptorLimit();
  runOffscreenWithoutDisplay(argc, argv);
  keepQtQuietWithoutScreen();
  ClipboardLeft left;
  int status = runWindows(argc, argv, left);
  if (const int signal = marrowen::quitSignal()) {
    marrowen::reportStoppedBySignal(signal);
    return std::max(status, marrowen::stoppedBySignalStatus);
  }
  // The job said it put its output on the clipboard; a run whose output
  // nobody can paste now did not end as it said.
  // Nothing that took it is nearly always the end of it; a manager that did
  // may take a moment to hold the clipboard.
  const std::chrono::milliseconds takeOver(left.taken ? 3000 : 1500);
  if (!left.text.isEmpty() &&
      !marrowen::clipboardOutlivesProgram(left.display, left.text, takeOver)) {
    const std::string message = marrowen::clipboardLostMessage();
    marrowen::writeErrorLine(message);
    marrowen::writeDefaultLog(marrowen::TLogLevel::Error, message);
    status = std::max(status, 1);
  }
  return status;
}

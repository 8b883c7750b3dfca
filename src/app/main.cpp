#include "app/automationobjects.h"
#include "app/childform.h"
#include "app/commandline.h"
#include "app/commandlinehelper.h"
#include "app/ddeserver.h"
#include "app/exports.h"
#include "app/mainform.h"
#include "app/nodedialogs.h"
#include "app/patternmenu.h"
#include "app/shellextensions.h"
#include "app/taskmenu.h"
#include "app/updateform.h"
#include "app/windowjobhost.h"
#include "app/wizard.h"
#include "classlib/safefile.h"
#include "components/dialogrunner.h"
#include "dbfilter/databasemaker.h"
#include "engine/userinterface.h"
#include "scriptfilter/scriptmakers.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char **argv) {
  // Writing past the file-size limit is then a write error that removes the
  // temporary file, not a kill that leaves it behind.
  marrowen::ignoreFileSizeSignal();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Marrowen"));
  marrowen::installWindowHandlers();
  // Script and database nodes build their filters through these.
  marrowen::registerScriptFilterMakers();
  marrowen::registerDatabaseFilterMaker();
  // With no screen nobody can answer a window: questions are answered, and
  // messages written to standard error.
  marrowen::DialogRunner::setHeadless(marrowen::platformHasNoScreen());
  marrowen::TchildForm::install();
  marrowen::installExportCommands();
  marrowen::installWizard();
  marrowen::installPatternMenu();
  marrowen::registerNodeDialogs();
  marrowen::installTaskMenu();
  marrowen::installUpdateCheck();
  marrowen::installShellExtensions();
  marrowen::installCommandLineHelper();
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
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [mainForm] {
      char byte;
      [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
      marrowen::setApplicationTerminating(true);
      mainForm->close();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
      sigaction(signal, &action, nullptr);
  }
  mainForm->show();
  const int status = QApplication::exec();
  // Quitting from the command line leaves the window open: it goes now,
  // stopping its jobs and saving the settings.
  delete mainForm.data();
  return status;
}

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
#include "classlib/streams.h"
#include "classlib/temporaries.h"
#include "components/dialogrunner.h"
#include "dbfilter/databasemaker.h"
#include "engine/log.h"
#include "engine/userinterface.h"
#include "qtext/qtext.h"
#include "scriptfilter/scriptmakers.h"

#include <QApplication>
#include <QDir>
#include <QPointer>

#ifdef MARROWEN_X11_PROBE
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string_view>

#include <strings.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The X display Qt connects to: DISPLAY, or the one given with its option
// (which Qt takes out of argv).
QByteArray xDisplayNamed(int argc, char **argv) {
  QByteArray display = qgetenv("DISPLAY");
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "-display") == 0 || std::strcmp(argv[i], "--display") == 0)
      display = argv[i + 1];
  return display;
}

// Whether the X server at `display` answers, as Qt would connect to it
// (without the library to ask with, it is taken to).
bool xDisplayAnswers(const QByteArray &display) {
#ifdef MARROWEN_X11_PROBE
  xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
  const bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
#else
  (void)display;
  return true;
#endif
}

// Whether a Wayland compositor listens at `name` (a socket in the runtime
// folder, or a path) and Qt has its plugin to talk to it.
bool waylandAnswers(const QByteArray &name) {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!name.startsWith('/') && runtime.isEmpty())
    return false;
  const QByteArray path = name.startsWith('/') ? name : runtime + '/' + name;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (std::size_t(path.size()) >= sizeof address.sun_path)
    return false;
  std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0)
    return false;
  const bool listening =
      ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
  ::close(socket);
  if (!listening)
    return false;
  for (const QString &folder : QCoreApplication::libraryPaths())
    if (!QDir(folder + QStringLiteral("/platforms"))
             .entryList({QStringLiteral("libqwayland*")}, QDir::Files)
             .isEmpty())
      return true;
  return false;
}

// A run that ends once its jobs are done (/G and /Q, given here or in a
// command file, as cron runs them) needs no window.
bool runNeedsNoWindow(int argc, char **argv) {
  bool go = false, quit = false;
  const auto see = [&](const std::string &parameter) {
    go = go || strcasecmp(parameter.c_str(), "/G") == 0;
    quit = quit || strcasecmp(parameter.c_str(), "/Q") == 0;
  };
  for (int i = 1; i < argc; ++i) {
    see(argv[i]);
    if (strncasecmp(argv[i], "/Z=", 3) != 0)
      continue;
    std::string lines;
    try {
      lines = marrowen::readSettingsFile(argv[i] + 3, marrowen::listFileLimit);
    } catch (const std::exception &) {
      continue; // the run itself says what is wrong with the file
    }
    for (std::size_t at = 0; at < lines.size();) {
      std::size_t end = std::min(lines.find('\n', at), lines.size());
      std::string line = lines.substr(at, end - at);
      if (line.ends_with('\r'))
        line.pop_back();
      see(marrowen::readCommandFileLine(line));
      at = end + 1;
    }
  }
  return go && quit;
}

// The platform the windows go to, unless the user chose one. With no display
// named, offscreen: a command line from cron or over ssh runs its jobs with
// no screen. A display named where nothing answers (a DISPLAY that tmux or
// cron kept, a closed ssh -X forward, a Wayland socket that is gone or Qt's
// Wayland plugin missing) would make Qt abort: a run that needs no window
// runs as with no display, saying so once; any other start ends. Gives the
// status to end with, or nothing to go on.
std::optional<int> choosePlatform(int argc, char **argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
      return std::nullopt;
  // QT_QPA_PLATFORM=xcb (or wayland), set for every program of a desktop,
  // still names a display that may not be there.
  bool useX = true, useWayland = true;
  const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
  if (!chosen.isEmpty()) {
    useX = useWayland = false;
    for (const QByteArray &entry : chosen.split(';')) {
      const QByteArray name = entry.split(':').front().trimmed();
      if (name == "xcb")
        useX = true;
      else if (name.startsWith("wayland"))
        useWayland = true;
      else
        return std::nullopt;
    }
  }
  const QByteArray x11 = useX ? xDisplayNamed(argc, argv) : QByteArray();
  const QByteArray wayland = useWayland ? qgetenv("WAYLAND_DISPLAY") : QByteArray();
  // Naming none, the chosen platform looks where it knows to (wayland-0):
  // a window is its to open or not.
  if (!chosen.isEmpty() && x11.isEmpty() && wayland.isEmpty() && !runNeedsNoWindow(argc, argv))
    return std::nullopt;
  const char *platform = "offscreen";
  if (!x11.isEmpty() || !wayland.isEmpty()) {
    const bool xAnswers = !x11.isEmpty() && xDisplayAnswers(x11);
    const bool waylandAnswered = !wayland.isEmpty() && waylandAnswers(wayland);
    // Every display named is there: Qt's own choice, which programs started
    // from this one make too.
    if (xAnswers && (waylandAnswered || wayland.isEmpty()))
      return std::nullopt;
    if (xAnswers || waylandAnswered) {
      platform = xAnswers ? "xcb" : "wayland";
    } else {
      const std::string unopened =
          "cannot open display " + (x11.isEmpty() ? wayland : x11).toStdString();
      if (!runNeedsNoWindow(argc, argv)) {
        marrowen::writeErrorLine(unopened);
        return 2;
      }
      marrowen::writeErrorLine(unopened + "; running without a display");
    }
  }
  qputenv("QT_QPA_PLATFORM", platform);
  return std::nullopt;
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
  left.display = xDisplayNamed(argc, argv);
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

  // Shown as names: Qt's own list would spell a byte that no UTF-8 holds as
  // U+FFFD, the same for every such byte.
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << marrowen::fileNameToQString(argv[i]);
  QPointer<marrowen::TmainForm> mainForm = new marrowen::TmainForm(arguments);
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
  if (const std::optional<int> status = choosePlatform(argc, argv))
    return *status;
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

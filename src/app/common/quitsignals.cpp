#include "app/common/quitsignals.h"

#include "engine/processingthread.h"
#include "engine/userinterface.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <thread>

#include <semaphore.h>
#include <sys/socket.h>
#include <unistd.h>

namespace marrowen {

namespace {

int signalPipe[2] = {-1, -1};
int quitHolds = 0;
sem_t watchdogStart;
volatile std::sig_atomic_t lastSignal = 0;

// Only async-signal-safe calls: a write and a semaphore post.
void onSignal(int signal) {
  lastSignal = signal;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
  ::sem_post(&watchdogStart);
}

// Waits on its own thread, so that a blocked user-interface thread cannot
// keep the program alive after a signal.
void watchdog() {
  while (::sem_wait(&watchdogStart) != 0 && errno == EINTR) {
  }
  timespec rest{0, 800'000'000};
  while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
  // The jobs were asked to stop with the quit; what they still hold goes.
  ProcessingThread::abortAllForExit(std::chrono::milliseconds(100));
  reportStoppedBySignal(lastSignal);
  ::_exit(stoppedBySignalStatus);
}

// The handlers and the watchdog, once; false when they could not be set up.
bool catchSignals() {
  static const bool caught = [] {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0 ||
        ::sem_init(&watchdogStart, 0, 0) != 0)
      return false;
    std::thread(watchdog).detach();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
      sigaction(signal, &action, nullptr);
    return true;
  }();
  return caught;
}

} // namespace

void catchQuitSignals() { catchSignals(); }

void installQuitSignals(std::function<void()> orderlyQuit) {
  if (!catchSignals())
    return;
  // A signal that came before is read as soon as the loop runs.
  auto *notifier =
      new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(),
                   [quit = std::move(orderlyQuit)] {
                     char byte;
                     [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
                     setQuitSignal(lastSignal);
                     quit();
                   });
}

void closeAfterModalLoops(QWidget *window) {
  QPointer<QWidget> target(window);
  QWidget *open = QApplication::activePopupWidget();
  if (!open)
    open = QApplication::activeModalWidget();
  if (open) {
    if (auto *dialog = qobject_cast<QDialog *>(open))
      dialog->reject();
    else
      open->close();
  }
  // A loop told to end still runs until control gets back to it.
  if (open || QThread::currentThread()->loopLevel() > 1 || QuitHold::held()) {
    QTimer::singleShot(10, QCoreApplication::instance(), [target] {
      if (target)
        closeAfterModalLoops(target);
    });
    return;
  }
  if (target)
    target->close();
}

QuitHold::QuitHold() { ++quitHolds; }

QuitHold::~QuitHold() { --quitHolds; }

bool QuitHold::held() { return quitHolds > 0; }

} // namespace marrowen

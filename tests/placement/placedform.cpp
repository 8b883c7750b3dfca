// A program that keeps one form's placement with the kit's TFormPlacement, as
// a program using the kit would: restored when the form shows, saved when it
// closes. restarts.sh starts it again and again under a real window manager.
//
//   placedform INI
//
// SIGTERM or SIGINT closes the form as a close request would, whatever its
// state (a minimized window cannot be reached with keys). Once the window has
// been on screen for a moment, one line tells what the program sees:
//   shown STATE FRAME_LEFT,FRAME_TOP,FRAME_RIGHT,FRAME_BOTTOM

#include "components/formplacement.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QLabel>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

class TPlacedForm : public QWidget {
public:
  TPlacedForm() {
    setWindowTitle(QStringLiteral("Placed form"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("A form that keeps its placement"), this));
    setGeometry(60, 60, 320, 200);
  }
};

const char *stateName(Qt::WindowStates state) {
  if (state & Qt::WindowMinimized)
    return "minimized";
  if (state & Qt::WindowMaximized)
    return "maximized";
  return "normal";
}

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: placedform INI\n");
    return 2;
  }

  TPlacedForm form;
  form.setObjectName(QStringLiteral("PlacedForm"));
  auto *placement = new marrowen::TFormPlacement(&form);
  placement->SetIniSection(QStringLiteral("PlacedForm"));
  placement->SetIniFileName(marrowen::fileNameToQString(argv[1]));
  QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);

  if (::pipe2(signalPipe, O_CLOEXEC) != 0)
    return 1;
  QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &form, [&] {
    char c;
    [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &c, 1);
    form.close();
  });
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);

  form.show();
  QTimer::singleShot(700, &form, [&] {
    const QRect frame = form.frameGeometry();
    std::printf("shown %s %d,%d,%d,%d\n", stateName(form.windowState()), frame.left(), frame.top(),
                frame.left() + frame.width(), frame.top() + frame.height());
    std::fflush(stdout);
  });
  return app.exec();
}

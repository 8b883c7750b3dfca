// statuswindow_bench [SECONDS]: one job sends 20,000 status lines through the
// windowed job host to its open status window (line limit 500, logging on)
// and must end within SECONDS (default 3; ctest passes ten times what a quiet
// machine needs). Prints the time taken.

#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "engine/inputs.h"
#include "engine/outputs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace marrowen;

namespace {

class Talker : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    for (int i = 1; i <= 20000; ++i)
      logInfo("status line " + std::to_string(i));
    return sendToNext(chunk);
  }
};

} // namespace

int main(int argc, char **argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const double limit = argc > 1 ? std::atof(argv[1]) : 3.0;
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QTemporaryDir dir;
  setenv("XDG_CONFIG_HOME", qPrintable(dir.path()), 1);

  WindowJobHost host;
  auto input = std::make_unique<TStringInput>("bench");
  input->setText("x");
  input->setNext(std::make_unique<Talker>());
  input->lastFilter()->setNext(std::make_unique<TAdhocOutput>());
  JobOptions options;
  options.filterName = "Bench";
  options.loggingOn = true;
  options.logFileName = QDir(dir.path()).filePath("bench.log").toStdString();
  options.lineLimit = 500;

  QElapsedTimer timer;
  timer.start();
  host.startJob(std::move(input), options);
  while (host.activeJobs() > 0)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double seconds = timer.elapsed() / 1000.0;
  std::printf("20000 status lines through the window: %.2f s (limit %.1f s)\n", seconds, limit);
  return seconds <= limit ? 0 : 1;
}

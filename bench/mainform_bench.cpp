// mainform_bench [FACTOR]: the program at size. A start with 10,000 values in
// the settings (the recent-files list among them) within 0.5 s; the 500th
// filter-list window opened within 50 ms (the median of windows 491-500, next
// to that of windows 1-10); a text filter of 10 MB added and shown within 1 s;
// SIGTERM ending a program whose user-interface thread is stuck within 1 s;
// 200,000 values of one section read within 1 s. FACTOR scales every limit
// (ctest passes ten times what a quiet machine needs). Prints each time;
// fails when one is over.

#include "app/common/quitsignals.h"
#include "app/listwindow/childform.h"
#include "app/main/mainform.h"
#include "app/nodedialogs/nodedialogs.h"
#include "classlib/paths.h"
#include "classlib/program.h"
#include "classlib/registry.h"
#include "components/dialogrunner.h"
#include "filterlist/descriptionnodes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QTimer>

#include <algorithm>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using namespace marrowen;

namespace {

int failures = 0;

void report(const char *what, double ms, double limitMs) {
  std::printf("%-48s %9.2f ms (limit %.0f ms)\n", what, ms, limitMs);
  if (ms > limitMs)
    ++failures;
}

void timed(const char *what, double limitMs, const std::function<void()> &step) {
  QElapsedTimer timer;
  timer.start();
  step();
  report(what, static_cast<double>(timer.nsecsElapsed()) / 1e6, limitMs);
}

// A child process whose user-interface thread never comes back to its event
// loop gets SIGTERM; the time is until it has ended.
double msToEndAStuckProgramBySignal() {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int argc = 1;
    char name[] = "stuck";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    installQuitSignals([] { QCoreApplication::quit(); });
    QTimer::singleShot(0, [] {
      volatile unsigned long spin = 0;
      while (true)
        spin = spin + 1;
    });
    QCoreApplication::exec();
    ::_exit(0);
  }
  ::usleep(500'000); // into its endless step
  QElapsedTimer timer;
  timer.start();
  ::kill(pid, SIGTERM);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (timer.elapsed() > 10'000) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    ::usleep(1000);
  }
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void writeSettings(const std::filesystem::path &file, int recentFiles, int values) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << "[" << program::registryKey << "]\n\"showTips\"=dword:00000000\n"
      << "\"showWizard\"=dword:00000000\n\"FileHistoryEntries\"=dword:"
      << QString::asprintf("%08x", recentFiles).toStdString() << "\n";
  for (int i = 0; i < values - recentFiles; ++i)
    out << "\"Remembered." << i << "\"=\"value " << i << "\"\n";
  out << "[fileHistory]\n";
  for (int i = 0; i < recentFiles; ++i)
    out << "\"Item_" << i << "\"=\"/home/user/lists/list" << i << ".fll\"\n";
}

} // namespace

int main(int argc, char **argv) {
  const double factor = argc > 1 ? std::atof(argv[1]) : 1.0;
  std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it is taken
  report("SIGTERM ends a program stuck in one step", msToEndAStuckProgramBySignal(), 1000 * factor);

  char folderName[] = "/tmp/mainform_bench.XXXXXX";
  if (!::mkdtemp(folderName))
    return 2;
  const std::filesystem::path folder(folderName);
  ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
  overrideProgramFolder(folder.string());
  SettingsStore::global().setFile(SettingsStore::defaultPath());

  QApplication application(argc, argv);
  DialogRunner::setHeadless(true);
  TchildForm::install();
  installPatternMenu();
  registerNodeDialogs();

  // The first start writes the language file; the figure is of a later one.
  writeSettings(SettingsStore::defaultPath(), 0, 0);
  delete new TmainForm(QStringList{"marrowen"});
  QCoreApplication::processEvents();
  writeSettings(SettingsStore::defaultPath(), 10'000, 10'000);

  TmainForm *main = nullptr;
  timed("start with 10,000 settings values", 500 * factor, [&] {
    main = new TmainForm(QStringList{"marrowen"});
    main->show();
    QCoreApplication::processEvents();
  });

  // Each window timed as it opens; a figure is the median of ten in a row,
  // so that one slice the machine gave elsewhere does not make it.
  std::vector<double> opened;
  for (int i = 1; i <= 500; ++i) {
    QElapsedTimer timer;
    timer.start();
    main->CreateMDIChild();
    QCoreApplication::processEvents();
    opened.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  auto median = [&](std::size_t from) {
    std::vector<double> ten(opened.begin() + static_cast<std::ptrdiff_t>(from),
                            opened.begin() + static_cast<std::ptrdiff_t>(from) + 10);
    std::nth_element(ten.begin(), ten.begin() + 5, ten.end());
    return ten[5];
  };
  report("windows 1-10 opened, median", median(0), 50 * factor);
  report("windows 491-500 opened, median", median(490), 50 * factor);

  auto *child = dynamic_cast<TchildForm *>(main->activeChildForm());
  std::string words;
  words.reserve(10'000'000);
  while (words.size() < 10'000'000)
    words += "abc def ";
  timed("a 10 MB text filter added and shown", 1000 * factor, [&] {
    if (child)
      child->addFilter(TStringObject::CreateWith(0, words));
    QCoreApplication::processEvents();
  });
  main->CloseAll();
  delete main;
  QCoreApplication::processEvents();

  const std::filesystem::path big = folder / "big.ini";
  writeSettings(big, 0, 200'000);
  timed("200,000 values of one section read", 1000 * factor,
        [&] { SettingsStore(big).readString(program::registryKey, "Remembered.5", ""); });

  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return failures == 0 ? 0 : 1;
}

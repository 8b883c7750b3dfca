#pragma once

#include "app_testing.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <csignal>
#include <sys/types.h>

namespace marrowen::testing {

// Sends `signal` (SIGTERM unless said) to the program. A process that has
// already ended has no id (0), and a signal to 0 would stop this test's own
// process group.
inline void terminateProgram(const QProcess &process, int signal = SIGTERM) {
  if (const auto pid = static_cast<pid_t>(process.processId()); pid > 0)
    ::kill(pid, signal);
}

// The program itself, started as a user would start it with no screen.
class ProgramRun : public ::testing::Test {
protected:
  struct Result {
    int status = -1;
    std::string errors;
  };
  // As cron or ssh starts it: no display, and nothing said about one.
  // `faults` names the files on which the system fails (the fault shim's
  // variables, "MARROWEN_FAIL_READ=in.txt").
  void prepare(QProcess &process, const QStringList &faults = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!faults.isEmpty()) {
      environment.insert("LD_PRELOAD", MARROWEN_FAULT_SHIM);
      // Loaded ahead of the sanitizer's own library, which then must not mind.
      environment.insert("ASAN_OPTIONS",
                         environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
      for (const QString &fault : faults)
        environment.insert(fault.section('=', 0, 0), fault.section('=', 1));
    }
    prepareProgram(process, dir.path(), environment);
    if (!variables.isEmpty()) {
      environment = process.processEnvironment();
      for (const QString &variable : variables)
        environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
      process.setProcessEnvironment(environment);
    }
  }
  void launch(QProcess &process, const QStringList &arguments, const QStringList &faults = {}) {
    prepare(process, faults);
    process.start(QStringLiteral(MARROWEN_BINARY), arguments);
  }
  Result start(const QStringList &arguments, const QStringList &faults = {}) {
    QProcess process;
    launch(process, arguments, faults);
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished();
      ADD_FAILURE() << "the program did not end";
      return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardError().toStdString()};
  }
  QString file(const char *name) { return QString::fromStdString(dir.file(name)); }
  // Where the program keeps a file of its own (its log, its language files):
  // beside itself, or in this test's data folder where it may not write there.
  std::filesystem::path programsOwn(const std::string &name) {
    const std::filesystem::path folder = std::filesystem::path(MARROWEN_BINARY).parent_path();
    return isFolderWritable(folder.string())
               ? folder / name
               : std::filesystem::path(dir.file("data/Marrowen")) / name;
  }
  TempFolder dir;
  // Set for the program after the display is taken away ("DISPLAY=:1").
  QStringList variables;
};

} // namespace marrowen::testing

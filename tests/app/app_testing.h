#pragma once

#include "app/common/forminfo.h"
#include "app/common/launcher.h"
#include "classlib/paths.h"
#include "classlib/registry.h"
#include "components/dialogrunner.h"
#include "engine/messages.h"
#include "filterlist/settings.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace marrowen::testing {

// Records what would have been opened or started.
class FakeLauncher : public Launcher {
public:
  bool openUrl(const QString &fileOrUrl) override {
    opened << fileOrUrl;
    return openSucceeds;
  }
  bool startProgram(const QString &program, const QStringList &arguments) override {
    started << program + ' ' + arguments.join(' ');
    return true;
  }
  QString findProgram(const QStringList &programs) override {
    return programs.isEmpty() || !programsInstalled
               ? QString()
               : QStringLiteral("/usr/bin/") + programs.front();
  }
  QStringList opened;
  QStringList started;
  bool openSucceeds = true;
  bool programsInstalled = true;
};

// Sets `process` to start the program itself as cron or ssh starts it, with
// no display and nothing said about one, nor a runtime folder, in `folder`
// (also its home, with its settings in "config" there and, where the
// program's own folder is not writable, its language file and log in "data").
inline void
prepareProgram(QProcess &process, const std::string &folder,
               QProcessEnvironment environment = QProcessEnvironment::systemEnvironment()) {
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(folder + "config"));
  environment.insert("XDG_DATA_HOME", QString::fromStdString(folder + "data"));
  environment.insert("HOME", QString::fromStdString(folder));
  for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
    environment.remove(name);
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(QString::fromStdString(folder));
}

// A program folder, a settings store and a launcher of the test's own, no
// language file, and boxes answered without a person.
class AppTest : public ::testing::Test {
protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    store = std::make_unique<SettingsStore>(dir.file("settings.ini"));
    useSettingsStore(store.get());
    TFormInfo::useStore(store.get());
    overrideProgramFolder(dir.path());
    previousLoader = installStringLoader(nullptr);
    launcher = std::make_shared<FakeLauncher>();
    previousLauncher = installLauncher(launcher);
    previousRunner = DialogRunner::replace([this](QDialog &dialog) {
      shownDialogs.push_back(dialog.objectName());
      if (auto *box = qobject_cast<QMessageBox *>(&dialog)) {
        boxTexts.push_back(box->text().toStdString());
        return static_cast<int>(boxAnswer);
      }
      return dialogAnswer ? dialogAnswer(dialog) : static_cast<int>(QDialog::Rejected);
    });
  }
  void TearDown() override {
    DialogRunner::replace(std::move(previousRunner));
    installLauncher(previousLauncher);
    installStringLoader(previousLoader);
    overrideProgramFolder("");
    TFormInfo::useStore(nullptr);
    useSettingsStore(nullptr);
  }

  TempFolder dir;
  std::unique_ptr<SettingsStore> store;
  std::shared_ptr<FakeLauncher> launcher;
  std::vector<std::string> boxTexts;
  std::vector<QString> shownDialogs;
  QMessageBox::StandardButton boxAnswer = QMessageBox::Ok;
  std::function<int(QDialog &)> dialogAnswer;

private:
  std::shared_ptr<TStringLoader> previousLoader;
  std::shared_ptr<Launcher> previousLauncher;
  DialogRunner::Runner previousRunner;
};

} // namespace marrowen::testing

#include "app/launcher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace marrowen {

namespace {

class DesktopLauncher : public Launcher {
public:
  bool openUrl(const QString &fileOrUrl) override {
    const QUrl url = fileOrUrl.contains(QStringLiteral("://")) ? QUrl(fileOrUrl)
                                                               : QUrl::fromLocalFile(fileOrUrl);
    return QDesktopServices::openUrl(url);
  }
  bool startProgram(const QString &program, const QStringList &arguments) override {
    return QProcess::startDetached(program, arguments);
  }
  QString findProgram(const QStringList &programs) override {
    for (const QString &program : programs) {
      const QString path = QStandardPaths::findExecutable(program);
      if (!path.isEmpty())
        return path;
    }
    return {};
  }
};

std::shared_ptr<Launcher> &current() {
  static std::shared_ptr<Launcher> instance = std::make_shared<DesktopLauncher>();
  return instance;
}

} // namespace

Launcher &launcher() { return *current(); }

std::shared_ptr<Launcher> installLauncher(std::shared_ptr<Launcher> replacement) {
  auto previous = current();
  current() = replacement ? std::move(replacement) : std::make_shared<DesktopLauncher>();
  return previous;
}

QStringList textEditors() {
  return {QStringLiteral("gnome-text-editor"),
          QStringLiteral("gedit"),
          QStringLiteral("kate"),
          QStringLiteral("kwrite"),
          QStringLiteral("mousepad"),
          QStringLiteral("xed"),
          QStringLiteral("pluma"),
          QStringLiteral("leafpad")};
}

QStringList accessoryPrograms(int tag) {
  switch (tag) {
  case 11:
    return textEditors();
  case 12:
    return {QStringLiteral("abiword"), QStringLiteral("lowriter")};
  case 13:
    return {QStringLiteral("gucharmap"), QStringLiteral("kcharselect")};
  case 17:
    return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
            QStringLiteral("galculator"), QStringLiteral("xcalc")};
  default:
    return {};
  }
}

} // namespace marrowen

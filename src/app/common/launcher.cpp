#include "app/common/launcher.h"

#include "components/fileutil.h"
#include "components/kitutils.h"
#include "engine/shell.h"
#include "qtext/qtext.h"

#include <QDesktopServices>
#include <QFileInfo>
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
  // A name in the arguments keeps its bytes (Qt would spell a byte that no
  // UTF-8 holds as another character, naming another file).
  bool startProgram(const QString &program, const QStringList &arguments) override {
    std::vector<std::string> argv{fileNameFromQString(program)};
    for (const QString &argument : arguments)
      argv.push_back(fileNameFromQString(argument));
    return marrowen::startProgram(argv);
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
    return {QStringLiteral("abiword"), QStringLiteral("lowriter"), QStringLiteral("calligrawords")};
  case 13:
    return {QStringLiteral("gucharmap"), QStringLiteral("kcharselect"),
            QStringLiteral("gnome-characters")};
  case 17:
    return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
            QStringLiteral("galculator"), QStringLiteral("qalculate-gtk"), QStringLiteral("xcalc")};
  default:
    return {};
  }
}

namespace {

// Terminals and the option after which each takes the command to run.
struct Terminal {
  const char *program;
  const char *option;
};
constexpr Terminal terminals[] = {{"x-terminal-emulator", "-e"},
                                  {"xterm", "-e"},
                                  {"konsole", "-e"},
                                  {"xfce4-terminal", "-x"},
                                  {"gnome-terminal", "--"}};

QStringList terminalEditor() {
  for (const char *variable : {"VISUAL", "EDITOR"}) {
    const QString value = qEnvironmentVariable(variable).trimmed();
    if (!value.isEmpty())
      return QProcess::splitCommand(value);
  }
  return {};
}

} // namespace

bool openInEditor(const QString &editor, const QString &file) {
  if (!editor.isEmpty()) {
    // The editor is chosen in a file name box, which quotes a path holding a
    // blank, and a user may type options after it.
    const QString program = FileNameOfText(editor);
    QStringList arguments;
    if (program != editor)
      for (int i = 1, count = CountCommandTokens(editor); i < count; ++i)
        arguments.append(CommandToken(editor, i));
    arguments.append(file);
    return launcher().startProgram(program, arguments);
  }
  const QStringList command = terminalEditor();
  if (!command.isEmpty()) {
    for (const Terminal &terminal : terminals) {
      const QString program = launcher().findProgram({QString::fromLatin1(terminal.program)});
      if (!program.isEmpty())
        return launcher().startProgram(program, QStringList{QString::fromLatin1(terminal.option)} +
                                                    command + QStringList{file});
    }
  }
  return launcher().startProgram(QStringLiteral("xdg-open"), {file});
}

bool playCompletionSound() {
  // The sound theme's own player knows the theme; the others play its file.
  const QString canberra = launcher().findProgram({QStringLiteral("canberra-gtk-play")});
  if (!canberra.isEmpty())
    return launcher().startProgram(canberra, {QStringLiteral("-i"), QStringLiteral("complete")});
  QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
  QString sound;
  for (const QString &folder : folders) {
    const QString candidate = folder + QStringLiteral("/sounds/freedesktop/stereo/complete.oga");
    if (QFileInfo(candidate).isFile()) {
      sound = candidate;
      break;
    }
  }
  if (sound.isEmpty())
    return false;
  const QString player = launcher().findProgram(
      {QStringLiteral("pw-play"), QStringLiteral("paplay"), QStringLiteral("ogg123")});
  return !player.isEmpty() && launcher().startProgram(player, {sound});
}

} // namespace marrowen

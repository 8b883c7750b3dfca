#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace marrowen {

// Opens files, web pages and programs outside the program. One instance
// serves every window; tests install one that records instead.
class Launcher {
public:
  virtual ~Launcher() = default;
  // Opens a file or a web address with the desktop's associated program.
  virtual bool openUrl(const QString &fileOrUrl) = 0;
  // Starts `program` with `arguments`, detached; false when it cannot start.
  virtual bool startProgram(const QString &program, const QStringList &arguments) = 0;
  // The full path of the first of `programs` found on PATH; empty for none.
  virtual QString findProgram(const QStringList &programs) = 0;
};

Launcher &launcher();
// Installs `replacement` and gives back the one it replaces; none restores
// the desktop's.
std::shared_ptr<Launcher> installLauncher(std::shared_ptr<Launcher> replacement);

// Programs that stand in for the accessories the tool bar and Tools menu
// name: text editor, calculator, character map, word processor.
QStringList textEditors();
QStringList accessoryPrograms(int tag);

// Opens `file` in `editor`, a program's path (in double quotes when it holds
// a blank) with any options after it; an empty editor is the default one:
// $VISUAL or $EDITOR in a terminal when either is set, else the desktop's
// handler (xdg-open). False when nothing could be started.
bool openInEditor(const QString &editor, const QString &file);
// Plays the desktop's sound for a finished task through the first sound
// player found; false when there is none (the job ends silently).
bool playCompletionSound();

} // namespace marrowen

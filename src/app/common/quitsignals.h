#pragma once

#include <functional>

class QWidget;

namespace marrowen {

// SIGINT, SIGTERM and SIGHUP end the program: `orderlyQuit` runs on the
// user-interface thread (stopping jobs, closing the windows, saving), and
// when the program has not ended a second after the signal (the thread busy
// with one long step, or the quit itself stuck), it ends there and then,
// ending the programs its jobs run and removing the temporary files they
// still hold. Either way it ends with status 1 and says so on standard
// error (`reportStoppedBySignal`). Settings are saved as they change, so
// nothing done before the signal is lost. Call once, after the application
// exists.
void installQuitSignals(std::function<void()> orderlyQuit);

// Catches those signals from the program's first moment, before there is
// anything to quit: one that comes while the program starts (filling a new
// language file, reading its settings) waits for the quit above, or ends the
// program within a second, its temporary files removed, with status 1 and
// word of it on standard error. Its default action would leave them behind.
void catchQuitSignals();

// Closes `window` once no modal dialog or pop-up is open and no QuitHold
// lives, ending the dialogs first: each runs its own event loop on the stack,
// and a window closed (and deleted) from inside one would take that dialog's
// memory with it.
void closeAfterModalLoops(QWidget *window);

// While one lives, a quit waits to close the windows. A step that lets events
// run from inside itself (reading a command file) holds one, sees
// applicationTerminating() between its own steps and ends first; the windows
// it fills go once it has returned. User-interface thread only.
class QuitHold {
public:
  QuitHold();
  ~QuitHold();
  QuitHold(const QuitHold &) = delete;
  QuitHold &operator=(const QuitHold &) = delete;
  static bool held();
};

} // namespace marrowen

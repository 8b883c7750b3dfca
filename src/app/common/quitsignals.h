#pragma once

#include <functional>

namespace marrowen {

// SIGINT, SIGTERM and SIGHUP end the program: `orderlyQuit` runs on the
// user-interface thread (stopping jobs, closing the windows, saving), and
// when the program has not ended a second after the signal (the thread busy
// with one long step, or the quit itself stuck), it ends there and then with
// status 128 + the signal, ending the programs its jobs run and removing the
// temporary files they still hold. Settings are saved as they change, so
// nothing done before the signal is lost. Call once, after the application
// exists.
void installQuitSignals(std::function<void()> orderlyQuit);

} // namespace marrowen

#pragma once

#include "filterlist/filtermakers.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace marrowen {

// One script error, as the node's check receives it too.
using TawScriptError = ScriptErrorDetails;

// An object handed to the script under a name. The host does not own it; it
// must outlive the host.
struct TawAutoObject {
  std::string AutoObjectName;
  QObject *object = nullptr;
};

// Hosts a script engine for one thread: the language, the code, the time-out,
// the named objects the script sees, and the error and time-out events.
// JScript runs in the Qt JavaScript engine; other languages (VBScript, VBA,
// PerlScript) cannot run on this system and are refused by name.
//
// The engine always holds the current named objects and the current code
// once: `Reset` makes a fresh engine, hands it the objects (their members
// also visible without the name) and adds the code, whose top-level
// statements run at each addition. Text crosses to and from the script in
// the system code page.
//
// A host and its engine are used only on the thread that made them. The
// time-out, the stop request and the memory bound are watched from a helper
// thread that only interrupts the engine.
//
// The memory bound counts the engine's heap and the texts it holds, measured
// between calls; while one call runs long, what the process gained since the
// call began counts too, as the heap cannot be read from another thread.
class TawScriptControl {
public:
  // Needs the program's Qt application object; raises when there is none.
  TawScriptControl();
  ~TawScriptControl();
  TawScriptControl(const TawScriptControl &) = delete;
  TawScriptControl &operator=(const TawScriptControl &) = delete;

  bool AllowUI() const { return allowUI_; }
  void setAllowUI(bool allow) { allowUI_ = allow; }
  // Without effect here: the script engine has no unsafe objects to withhold.
  void setUseSafeSubset(bool) {}

  const std::string &Language() const { return language_; }
  // A different language clears the code and resets the engine; a language
  // that cannot run raises, naming it.
  void setLanguage(const std::string &language);

  int Timeout() const { return timeout_; }
  void setTimeout(int milliseconds) { timeout_ = milliseconds; }

  // Bytes the engine may hold; 0 for no bound. Past it a call is refused or
  // interrupted, and `OnMemoryLimit` is told.
  std::size_t MemoryLimit() const { return memoryLimit_; }
  void setMemoryLimit(std::size_t bytes);
  // What the engine holds now: its heap and the texts it keeps.
  std::size_t heapSize() const;

  // Asked from the helper thread while a call runs (so it must be safe from
  // any thread): once it answers true, the running call is interrupted and
  // later calls return at once, with no result and no event.
  void setStopRequest(std::function<bool()> stopRequested);

  const std::vector<TawAutoObject> &AutoObjects() const { return autoObjects_; }
  // Changes of the named objects reset the engine, once per update.
  void beginUpdate() { ++updating_; }
  void endUpdate();
  void addAutoObject(const std::string &name, QObject *object);
  void clearAutoObjects();

  const std::vector<std::string> &Code() const { return code_; }
  // The lines of the script; the whole code is added to the engine.
  void setCode(std::vector<std::string> lines);
  // The same from one text, split at its line ends.
  void setCodeText(const std::string &text);
  // The code as the engine sees it: the lines joined by CR LF.
  std::string codeText() const;

  // Calls a routine of the code with text arguments and returns its result
  // as text (empty for no value). Errors and time-outs go to the events;
  // without handlers the result is empty.
  std::string Run(const std::string &name, const std::vector<std::string> &arguments);
  // The same with the texts as the script sees them, for a caller that
  // decides itself how its bytes become characters and back.
  QString RunText(const std::string &name, const QStringList &arguments);

  // Whether the code defines a routine of this name, and its parameter count.
  bool hasRoutine(const std::string &name, int *parameterCount = nullptr);

  // Drops the code and the objects from the engine, then hands it the
  // current objects and code again.
  void Reset();

  // Lets an object called by the script carry a C++ failure out through
  // the engine: it is raised again, unchanged, when the script returns.
  void setPendingException(std::exception_ptr error) { pending_ = std::move(error); }

  std::function<void(const TawScriptError &)> OnError;
  std::function<void()> OnTimeout;
  // The engine held `bytes`, more than the memory bound.
  std::function<void(std::size_t bytes)> OnMemoryLimit;
  std::function<void(const std::string &name, const std::vector<std::string> &arguments)>
      OnCallFunction;

private:
  struct Engine;
  class Watchdog;

  void addCode();
  void CodeChanged();
  void DoError(const TawScriptError &error);
  void DoTimeout();
  void raisePending();
  bool stopRequested() const { return stopRequested_ && stopRequested_(); }
  // Whether the engine stays within its bound; tells `OnMemoryLimit` when not.
  bool withinMemoryLimit();
  // Runs `call` under the watchdog; false (after the event, if any) when the
  // call was interrupted.
  template <class Call> bool watched(Call call);

  bool allowUI_ = true;
  std::string language_ = "JScript";
  int timeout_ = 10000;
  std::size_t memoryLimit_ = 0;
  std::size_t heapSeen_ = 0;
  std::chrono::steady_clock::time_point heapMeasured_{};
  std::function<bool()> stopRequested_;
  std::vector<TawAutoObject> autoObjects_;
  std::vector<std::string> code_;
  int updating_ = 0;
  bool changedWhileUpdating_ = false;
  std::exception_ptr pending_;
  std::unique_ptr<Engine> engine_;
  // Stopped before the engine goes.
  std::unique_ptr<Watchdog> watchdog_;
};

// Whether a script language can run here (JScript and its other names).
bool isRunnableScriptLanguage(const std::string &language);

} // namespace marrowen

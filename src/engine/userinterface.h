#pragma once

#include "engine/answers.h"

#include <memory>
#include <string>
#include <string_view>

namespace marrowen {

class JobStatusWindow;
struct QueryReplaceRequest;

enum class MessageBoxKind { Error, Warning, Information };

// What the debug filter asks of its window. Every operation runs on the
// user-interface thread: a filter in a job reaches its window only through
// the job's synchronous call.
class DebugWindow {
public:
  DebugWindow() = default;
  DebugWindow(const DebugWindow &) = delete;
  DebugWindow &operator=(const DebugWindow &) = delete;
  virtual ~DebugWindow() = default;

  // Empties the buffer.
  virtual void clearBuffer() = 0;
  // Appends `text` (any bytes) as a new line of the buffer; gives that
  // line's index, from 0.
  virtual int addLine(const std::string &text) = 0;
  virtual void show() = 0;
  // The status window of the job the filter joined; the window may take the
  // font of its text from it.
  virtual void matchStatusWindow(JobStatusWindow &) {}
};

// Everything the program's windows supply to the engine and the filters
// outside a job's own calls (`JobHost` serves those): message boxes, the
// single query-replace question of a chain run without a job, the pumping of
// window messages while such a chain runs, the clipboard, debug windows and
// the request to quit. The windows install their implementation once at
// start-up; until then a headless one is in place.
//
// Threads: message boxes, questions, debug windows and message pumping are
// asked for on the user-interface thread (a job gets there through its
// synchronous call); the clipboard and the quit request may be used from any
// thread.
class UserInterface {
public:
  UserInterface() = default;
  UserInterface(const UserInterface &) = delete;
  UserInterface &operator=(const UserInterface &) = delete;
  virtual ~UserInterface() = default;

  // A message box with an OK button.
  virtual void showMessageBox(MessageBoxKind kind, const std::string &text) = 0;
  // One query-replace question with a dialog made for it alone; the user
  // may edit the replacement and the template in `request`.
  virtual Answer askQueryReplace(QueryReplaceRequest &request) = 0;
  // Lets the windows handle pending messages.
  virtual void processMessages() = 0;
  // The clipboard's text as engine bytes (UTF-8).
  virtual std::string clipboardText() = 0;
  virtual void setClipboardText(std::string_view text) = 0;
  // Whether the clipboard is the one other programs share. A program with no
  // display has none: it finds nothing another program copied, and what it
  // put there would go with it.
  virtual bool hasSharedClipboard() { return true; }
  // A window for a new debug filter; none lets the filter keep its buffer
  // without a screen.
  virtual std::shared_ptr<DebugWindow> createDebugWindow() = 0;
  // Asks the program to quit once its message loop next runs.
  virtual void terminateApplication() = 0;
};

// Without windows: message boxes go to standard error, the query-replace
// question is answered Replace (as the filter was set up), messages need no
// pumping, the clipboard lives inside the process (standing in for the shared
// one), debug filters keep their buffers and a quit request marks the
// application as terminating.
class HeadlessUserInterface : public UserInterface {
public:
  HeadlessUserInterface();
  ~HeadlessUserInterface() override;

  void showMessageBox(MessageBoxKind kind, const std::string &text) override;
  Answer askQueryReplace(QueryReplaceRequest &request) override;
  void processMessages() override;
  std::string clipboardText() override;
  void setClipboardText(std::string_view text) override;
  std::shared_ptr<DebugWindow> createDebugWindow() override;
  void terminateApplication() override;

private:
  struct Clipboard;
  std::unique_ptr<Clipboard> clipboard_;
};

// One line of engine text on standard error, as the engine holds it: a file
// name as its bytes spell it, a byte that no UTF-8 holds included, as the
// GNU tools write a name.
void writeErrorLine(std::string_view text);

// Installs `ui` as the one user interface; none installs a fresh headless one.
void setUserInterface(std::shared_ptr<UserInterface> ui);
// The installed user interface, kept alive for as long as the caller holds it.
std::shared_ptr<UserInterface> userInterface();

// Shorthands for the installed user interface.
void showMessageBox(MessageBoxKind kind, const std::string &text);
Answer askQueryReplace(QueryReplaceRequest &request);
void processMessages();
// The clipboard's text up to its first NUL byte.
void getClipboardText(std::string &text);
std::string getClipboardText();
void setClipboardText(std::string_view text);
bool hasSharedClipboard();

// Whether the application is shutting down; what `isAborted` answers for a
// chain without a job. Safe from any thread.
void setApplicationTerminating(bool terminating);
bool applicationTerminating();
// The signal that is ending the program (SIGTERM, SIGINT...), 0 while none
// is: a job it stops says so rather than blame the user. Safe from any thread.
void setQuitSignal(int signal);
int quitSignal();
// "SIGTERM", "SIGINT", "SIGHUP", or the number of any other signal.
std::string signalName(int signal);
// What a program stopped by a signal says on standard error, and the status
// it ends with: whatever its jobs did, the run did not end as it was asked to.
// Said once however many paths of the ending report it.
void reportStoppedBySignal(int signal);
constexpr int stoppedBySignalStatus = 1;

} // namespace marrowen

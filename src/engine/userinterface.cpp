#include "engine/userinterface.h"

#include "classlib/codepage.h"
#include "classlib/utf8.h"
#include "engine/job.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>

#include <unistd.h>

namespace marrowen {

namespace {

std::atomic<bool> terminating{false};
std::atomic<int> endingSignal{0};

std::atomic<std::shared_ptr<UserInterface>> &installed() {
  static std::atomic<std::shared_ptr<UserInterface>> ui{std::make_shared<HeadlessUserInterface>()};
  return ui;
}

} // namespace

// Jobs on several threads may reach the clipboard at once.
struct HeadlessUserInterface::Clipboard {
  std::mutex mutex;
  std::string text;
};

HeadlessUserInterface::HeadlessUserInterface() : clipboard_(std::make_unique<Clipboard>()) {}

HeadlessUserInterface::~HeadlessUserInterface() = default;

void HeadlessUserInterface::showMessageBox(MessageBoxKind, const std::string &text) {
  writeErrorLine(text);
}

Answer HeadlessUserInterface::askQueryReplace(QueryReplaceRequest &) { return Answer::Replace; }

void HeadlessUserInterface::processMessages() {}

std::string HeadlessUserInterface::clipboardText() {
  std::lock_guard lock(clipboard_->mutex);
  return clipboard_->text;
}

void HeadlessUserInterface::setClipboardText(std::string_view text) {
  std::lock_guard lock(clipboard_->mutex);
  clipboard_->text.assign(text);
}

std::shared_ptr<DebugWindow> HeadlessUserInterface::createDebugWindow() { return nullptr; }

void HeadlessUserInterface::terminateApplication() { setApplicationTerminating(true); }

void writeErrorLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void setUserInterface(std::shared_ptr<UserInterface> ui) {
  if (!ui)
    ui = std::make_shared<HeadlessUserInterface>();
  installed().store(std::move(ui));
}

std::shared_ptr<UserInterface> userInterface() { return installed().load(); }

void showMessageBox(MessageBoxKind kind, const std::string &text) {
  userInterface()->showMessageBox(kind, text);
}

Answer askQueryReplace(QueryReplaceRequest &request) {
  return userInterface()->askQueryReplace(request);
}

void processMessages() { userInterface()->processMessages(); }

void getClipboardText(std::string &text) {
  text = userInterface()->clipboardText();
  if (auto nul = text.find('\0'); nul != std::string::npos)
    text.resize(nul);
}

std::string getClipboardText() {
  std::string text;
  getClipboardText(text);
  return text;
}

void setClipboardText(std::string_view text) { userInterface()->setClipboardText(text); }

bool hasSharedClipboard() { return userInterface()->hasSharedClipboard(); }

void setApplicationTerminating(bool value) { terminating.store(value); }

bool applicationTerminating() { return terminating.load(); }

void setQuitSignal(int signal) { endingSignal.store(signal); }

int quitSignal() { return endingSignal.load(); }

std::string signalName(int signal) {
  switch (signal) {
  case SIGINT:
    return "SIGINT";
  case SIGTERM:
    return "SIGTERM";
  case SIGHUP:
    return "SIGHUP";
  default:
    return std::to_string(signal);
  }
}

void reportStoppedBySignal(int signal) {
  // The program's end and its watchdog may both come here when the end is
  // slow: the user is told once.
  static std::atomic_flag reported = ATOMIC_FLAG_INIT;
  if (reported.test_and_set())
    return;
  const std::string line = "Stopped by signal " + signalName(signal) + "\n";
  // Written at once, past any buffer: the program may be ending under it.
  [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line.data(), line.size());
}

} // namespace marrowen

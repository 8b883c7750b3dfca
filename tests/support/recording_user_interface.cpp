#include "support/recording_user_interface.h"

#include "engine/job.h"
#include "support/recorded_calls.h"

namespace marrowen::testing {

void RecordingUserInterface::record(std::string call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
}

void RecordingUserInterface::showMessageBox(MessageBoxKind kind, const std::string &text) {
  {
    std::lock_guard lock(mutex_);
    kinds_.push_back(kind);
  }
  record("showMessageBox:" + text);
}

Answer RecordingUserInterface::askQueryReplace(QueryReplaceRequest &request) {
  record("askQueryReplace:" + request.found);
  std::lock_guard lock(mutex_);
  return nextAnswer(replaceAnswers, defaultReplaceAnswer);
}

void RecordingUserInterface::processMessages() {
  record("processMessages");
  if (onProcessMessages)
    onProcessMessages();
}

std::string RecordingUserInterface::clipboardText() {
  record("clipboardText");
  std::lock_guard lock(mutex_);
  return clipboard;
}

void RecordingUserInterface::setClipboardText(std::string_view text) {
  record("setClipboardText:" + std::string(text));
  std::lock_guard lock(mutex_);
  clipboard.assign(text);
}

std::shared_ptr<DebugWindow> RecordingUserInterface::createDebugWindow() {
  record("createDebugWindow");
  return debugWindows ? debugWindows() : nullptr;
}

void RecordingUserInterface::terminateApplication() { record("terminateApplication"); }

std::vector<std::string> RecordingUserInterface::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<std::string> RecordingUserInterface::argumentsOf(std::string_view operation) const {
  return testing::argumentsOf(calls(), operation);
}

std::vector<MessageBoxKind> RecordingUserInterface::messageBoxKinds() const {
  std::lock_guard lock(mutex_);
  return kinds_;
}

InstalledUserInterface::InstalledUserInterface() : ui_(std::make_shared<RecordingUserInterface>()) {
  setUserInterface(ui_);
}

InstalledUserInterface::~InstalledUserInterface() { setUserInterface(nullptr); }

} // namespace marrowen::testing

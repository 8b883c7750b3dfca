#pragma once

#include "engine/userinterface.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace marrowen::testing {

// A user interface that writes down every call made of it ("showMessageBox:
// text", "askQueryReplace:found", "processMessages", "clipboardText",
// "setClipboardText:text", "createDebugWindow", "terminateApplication") and
// answers from scripted values. Calls may come from job threads.
class RecordingUserInterface : public UserInterface {
public:
  void showMessageBox(MessageBoxKind kind, const std::string &text) override;
  Answer askQueryReplace(QueryReplaceRequest &request) override;
  void processMessages() override;
  std::string clipboardText() override;
  void setClipboardText(std::string_view text) override;
  std::shared_ptr<DebugWindow> createDebugWindow() override;
  void terminateApplication() override;

  std::vector<std::string> calls() const;
  std::vector<std::string> argumentsOf(std::string_view operation) const;
  std::vector<MessageBoxKind> messageBoxKinds() const;

  // Scripted answers; once none is left, the default.
  std::deque<Answer> replaceAnswers;
  Answer defaultReplaceAnswer = Answer::Replace;
  std::string clipboard;
  // Makes the debug windows; none gives the filters headless ones.
  std::function<std::shared_ptr<DebugWindow>()> debugWindows;
  // Runs at each message pump, as a window's events would.
  std::function<void()> onProcessMessages;

private:
  void record(std::string call);

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<MessageBoxKind> kinds_;
};

// Installs a recording user interface for as long as it lives, a fresh
// headless one after.
class InstalledUserInterface {
public:
  InstalledUserInterface();
  ~InstalledUserInterface();
  InstalledUserInterface(const InstalledUserInterface &) = delete;
  InstalledUserInterface &operator=(const InstalledUserInterface &) = delete;

  RecordingUserInterface *operator->() const { return ui_.get(); }
  RecordingUserInterface &operator*() const { return *ui_; }

private:
  std::shared_ptr<RecordingUserInterface> ui_;
};

} // namespace marrowen::testing

#include "engine/clipboard.h"

#include <atomic>
#include <mutex>

namespace marrowen {

namespace {

// Headless stand-in; jobs on several threads may reach it at once.
class InProcessClipboard : public Clipboard {
public:
  std::string getText() override {
    std::lock_guard lock(mutex_);
    return text_;
  }
  void setText(std::string_view text) override {
    std::lock_guard lock(mutex_);
    text_.assign(text);
  }

private:
  std::mutex mutex_;
  std::string text_;
};

std::atomic<std::shared_ptr<Clipboard>> &current() {
  static std::atomic<std::shared_ptr<Clipboard>> board{std::make_shared<InProcessClipboard>()};
  return board;
}

} // namespace

void setClipboard(std::shared_ptr<Clipboard> clipboard) {
  if (!clipboard)
    clipboard = std::make_shared<InProcessClipboard>();
  current().store(std::move(clipboard));
}

std::shared_ptr<Clipboard> clipboard() { return current().load(); }

void getClipboardText(std::string &text) {
  text = clipboard()->getText();
  if (auto nul = text.find('\0'); nul != std::string::npos)
    text.resize(nul);
}

std::string getClipboardText() {
  std::string text;
  getClipboardText(text);
  return text;
}

} // namespace marrowen

#include "engine/host.h"

#include "engine/job.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace marrowen {

namespace {

// Handlers are installed once at start-up but may be read from several
// threads afterwards; a lock keeps a late installation safe.
std::mutex handlerLock;
MessageBoxHandler messageBoxHandler;
QueryReplaceHandler queryReplaceHandler;
std::function<void()> processMessagesHandler;
std::atomic<bool> terminating{false};

template <class T> T handlerCopy(const T &handler) {
  std::lock_guard guard(handlerLock);
  return handler;
}

} // namespace

void setMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard guard(handlerLock);
  messageBoxHandler = std::move(handler);
}

void showMessageBox(MessageBoxKind kind, const std::string &text) {
  if (auto handler = handlerCopy(messageBoxHandler)) {
    handler(kind, text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}

void setQueryReplaceHandler(QueryReplaceHandler handler) {
  std::lock_guard guard(handlerLock);
  queryReplaceHandler = std::move(handler);
}

int askQueryReplace(QueryReplaceRequest &request) {
  if (auto handler = handlerCopy(queryReplaceHandler))
    return handler(request);
  return 6;
}

void setProcessMessagesHandler(std::function<void()> handler) {
  std::lock_guard guard(handlerLock);
  processMessagesHandler = std::move(handler);
}

void processMessages() {
  if (auto handler = handlerCopy(processMessagesHandler))
    handler();
}

void setApplicationTerminating(bool value) { terminating.store(value); }

bool applicationTerminating() { return terminating.load(); }

} // namespace marrowen

#pragma once

#include <functional>
#include <string>

namespace marrowen {

struct QueryReplaceRequest;

// What the host program supplies to a chain that runs without a job: message
// boxes, the single query-replace question, and the pumping of pending window
// messages while a read loop runs on the user-interface thread. The windows
// install their own at start-up; headless defaults are in place until then.

enum class MessageBoxKind { Error, Warning, Information };

// Shows a message box with an OK button. Headless: the text goes to standard error.
using MessageBoxHandler = std::function<void(MessageBoxKind kind, const std::string &text)>;
void setMessageBoxHandler(MessageBoxHandler handler);
void showMessageBox(MessageBoxKind kind, const std::string &text);

// Asks one query-replace question with a dialog made for it alone. Headless
// there is nobody to ask: the answer is 6 (replace), as the filter was set up to.
using QueryReplaceHandler = std::function<int(QueryReplaceRequest &request)>;
void setQueryReplaceHandler(QueryReplaceHandler handler);
int askQueryReplace(QueryReplaceRequest &request);

// Lets the user interface handle pending messages. Headless: nothing.
void setProcessMessagesHandler(std::function<void()> handler);
void processMessages();

// Whether the application is shutting down; what `isAborted` answers for a
// chain without a job. Safe from any thread.
void setApplicationTerminating(bool terminating);
bool applicationTerminating();

} // namespace marrowen

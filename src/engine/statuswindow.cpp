#include "engine/statuswindow.h"

#include "engine/log.h"
#include "engine/messages.h"
#include "engine/processingthread.h"
#include "engine/userinterface.h"

#include <cstdio>

namespace marrowen {

std::string jobEndText(JobEnd how) {
  std::string text = how == JobEnd::Finished  ? translate(3670, "Job finished. ")
                     : how == JobEnd::Stopped ? translate(3660, "Job aborted by user. ")
                                              : translate(3650, "Interrupted.");
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

void HeadlessStatusWindow::writeToLog(int level, const std::string &text) {
  if (job_ && job_->log()) {
    job_->log()->log(static_cast<TLogLevel>(level), text);
    return;
  }
  LogHandle log = openLogHandle(logFileName_, true);
  log->log(static_cast<TLogLevel>(level), text);
}

void HeadlessStatusWindow::addStatusLine(const std::string &text) {
  writeToLog(static_cast<int>(TLogLevel::Info), text);
}

void HeadlessStatusWindow::addError(const std::string &text) {
  errors_.push_back(text);
  writeToLog(static_cast<int>(TLogLevel::Error), text);
  writeErrorLine(text);
}

} // namespace marrowen

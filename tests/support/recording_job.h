#pragma once

#include "engine/job.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marrowen::testing {

// A job that records what the chain asks of it, for tests. Every call is
// appended to `calls` as "operation" or "operation:argument"; questions are
// answered from scripted queues. Synchronized calls run at once on the
// calling thread. Like the real job, query-replace answers Cancel and Stop ask the
// job to terminate.
class RecordingJob : public JobSink {
public:
  void addLogLine(const std::string &text) override;
  void addInfoLine(const std::string &text) override;
  void addWarningLine(const std::string &text) override;
  void addErrorLine(const std::string &text) override;
  void setStatusText(const std::string &text) override;
  void setStatusFileName(const std::string &name) override;
  void showElapsedTime() override;
  void setFileProgress(int percent) override;
  void setTaskProgress(int percent) override;
  void setNonBinarySkipped(int count) override;
  void incNonBinarySkipped() override;
  void setBinarySkipped(int count) override;
  void incBinarySkipped() override;
  void setProcessedFiles(int count) override;
  void incProcessedFiles() override;
  void takeBackProcessedFiles(int count) override;
  void setTotalFiles(int count) override;
  void logInputFile(const std::string &name, std::int64_t size) override;
  void logOutputFile(const std::string &name, std::int64_t size) override;
  Answer askQuestion(const std::string &text) override;
  Answer queryReplace(QueryReplaceRequest &request) override;
  void toggleClipboardButton() override;
  void runSynchronized(const std::function<void()> &call) override;
  bool deferLogging() const override { return deferLoggingOption; }
  int errorCount() const override { return static_cast<int>(errors.size()); }

  // The recorded calls whose operation is `operation` (their arguments).
  std::vector<std::string> argumentsOf(std::string_view operation) const;

  std::vector<std::string> calls;
  std::vector<std::string> errors;   // addErrorLine
  std::vector<std::string> logLines; // addLogLine, addInfoLine, addWarningLine
  std::vector<int> fileProgress;
  std::vector<std::pair<std::string, std::int64_t>> inputFiles, outputFiles;
  int processedFiles = 0;
  int synchronizedCalls = 0;

  // Scripted answers; when a queue is empty the default answers.
  std::deque<Answer> questionAnswers;
  Answer defaultQuestionAnswer = Answer::Yes;
  std::deque<Answer> replaceAnswers;
  Answer defaultReplaceAnswer = Answer::Replace;
  // Every query-replace question asked, as it was asked.
  std::vector<QueryReplaceRequest> replaceQuestions;
  // Lets a test act as the user editing the dialog before answering.
  std::function<void(QueryReplaceRequest &)> editReplace;
  bool deferLoggingOption = false;
};

} // namespace marrowen::testing

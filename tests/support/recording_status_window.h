#pragma once

#include "engine/jobhost.h"
#include "engine/statuswindow.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen::testing {

// A status window that records what its job shows, for tests. Every call is
// appended to `calls` as "operation" or "operation:argument". It writes no
// log: `lines` holds the status lines and `errors` the error lines.
class RecordingStatusWindow : public JobStatusWindow {
public:
  void setJob(ProcessingThread *job) override;
  ProcessingThread *job() const override { return job_; }
  void setCaption(const std::string &filterName) override;
  void setDeferLogging(bool defer) override;
  void setLogFileName(const std::string &name) override;
  void setLineLimit(int limit) override;
  void setTestMode(bool on) override;
  void addStatusLine(const std::string &text) override;
  void addError(const std::string &text) override;
  void setTotal(int files) override;
  void setProcessedFiles(int files) override;
  void setTaskProgress(int percent) override;
  void setFileProgress(int percent) override;
  void setStatusFileName(const std::string &name) override;
  void setStatusText(const std::string &text) override;
  void setElapsedText(const std::string &text) override;
  void setNonBinarySkipped(int files) override;
  void setBinarySkipped(int files) override;
  void addOutputFile(const std::string &name) override;
  void addResultFile(const std::string &name) override;
  void jobEnded(JobEnd how) override;
  bool hasErrors() const override { return !errors.empty(); }

  // The recorded calls whose operation is `operation` (their arguments).
  std::vector<std::string> argumentsOf(std::string_view operation) const;
  // The last argument of `operation`, empty when it was never called.
  std::string last(std::string_view operation) const;

  std::vector<std::string> calls;
  std::vector<std::string> lines;
  std::vector<std::string> errors;
  bool ended = false;
  JobEnd endedAs = JobEnd::Finished;

private:
  ProcessingThread *job_ = nullptr;
};

// A headless host whose jobs get recording status windows, with scripted
// answers to the question box and the query-replace dialog.
class RecordingJobHost : public HeadlessJobHost {
public:
  Answer askQuestion(const std::string &text) override;
  std::unique_ptr<QueryReplaceDialog> createQueryReplaceDialog() override;
  void playSound(const std::string &fileName) override { sounds.push_back(fileName); }

  // The windows made so far, in order, kept alive by the host until closed.
  std::vector<std::weak_ptr<RecordingStatusWindow>> windows;
  std::vector<std::string> questions;
  std::deque<Answer> questionAnswers;
  Answer defaultQuestionAnswer = Answer::Yes;
  std::deque<Answer> replaceAnswers;
  Answer defaultReplaceAnswer = Answer::Replace;
  int dialogsMade = 0;
  int replaceQuestions = 0;
  std::vector<std::string> sounds;

protected:
  std::shared_ptr<JobStatusWindow> newStatusWindow() override;
};

} // namespace marrowen::testing

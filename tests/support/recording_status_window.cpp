#include "support/recording_status_window.h"

#include "engine/job.h"
#include "support/recorded_calls.h"

namespace marrowen::testing {

void RecordingStatusWindow::setJob(ProcessingThread *job) {
  calls.push_back(job ? "setJob" : "setJob:none");
  job_ = job;
}

void RecordingStatusWindow::setCaption(const std::string &filterName) {
  calls.push_back("setCaption:" + filterName);
}

void RecordingStatusWindow::setDeferLogging(bool defer) {
  calls.push_back(std::string("setDeferLogging:") + (defer ? "on" : "off"));
}

void RecordingStatusWindow::setLogFileName(const std::string &name) {
  calls.push_back("setLogFileName:" + name);
}

void RecordingStatusWindow::setLineLimit(int limit) {
  calls.push_back("setLineLimit:" + std::to_string(limit));
}

void RecordingStatusWindow::setTestMode(bool on) {
  calls.push_back(std::string("setTestMode:") + (on ? "on" : "off"));
}

void RecordingStatusWindow::addStatusLine(const std::string &text) {
  calls.push_back("addStatusLine:" + text);
  lines.push_back(text);
}

void RecordingStatusWindow::addError(const std::string &text) {
  calls.push_back("addError:" + text);
  errors.push_back(text);
}

void RecordingStatusWindow::setTotal(int files) {
  calls.push_back("setTotal:" + std::to_string(files));
}

void RecordingStatusWindow::setProcessedFiles(int files) {
  calls.push_back("setProcessedFiles:" + std::to_string(files));
}

void RecordingStatusWindow::setTaskProgress(int percent) {
  calls.push_back("setTaskProgress:" + std::to_string(percent));
}

void RecordingStatusWindow::setFileProgress(int percent) {
  calls.push_back("setFileProgress:" + std::to_string(percent));
}

void RecordingStatusWindow::setStatusFileName(const std::string &name) {
  calls.push_back("setStatusFileName:" + name);
}

void RecordingStatusWindow::setStatusText(const std::string &text) {
  calls.push_back("setStatusText:" + text);
}

void RecordingStatusWindow::setElapsedText(const std::string &text) {
  calls.push_back("setElapsedText:" + text);
}

void RecordingStatusWindow::setNonBinarySkipped(int files) {
  calls.push_back("setNonBinarySkipped:" + std::to_string(files));
}

void RecordingStatusWindow::setBinarySkipped(int files) {
  calls.push_back("setBinarySkipped:" + std::to_string(files));
}

void RecordingStatusWindow::addOutputFile(const std::string &name) {
  calls.push_back("addOutputFile:" + name);
}

void RecordingStatusWindow::addResultFile(const std::string &name) {
  calls.push_back("addResultFile:" + name);
}

void RecordingStatusWindow::jobEnded(JobEnd how) {
  calls.push_back("jobEnded");
  ended = true;
  endedAs = how;
  job_ = nullptr;
}

std::vector<std::string> RecordingStatusWindow::argumentsOf(std::string_view operation) const {
  return testing::argumentsOf(calls, operation);
}

std::string RecordingStatusWindow::last(std::string_view operation) const {
  auto all = argumentsOf(operation);
  return all.empty() ? std::string() : all.back();
}

namespace {

class ScriptedQueryReplaceDialog : public QueryReplaceDialog {
public:
  explicit ScriptedQueryReplaceDialog(RecordingJobHost &host) : host_(host) {}
  Answer confirmReplace(QueryReplaceRequest &) override {
    ++host_.replaceQuestions;
    return nextAnswer(host_.replaceAnswers, host_.defaultReplaceAnswer);
  }

private:
  RecordingJobHost &host_;
};

} // namespace

Answer RecordingJobHost::askQuestion(const std::string &text) {
  questions.push_back(text);
  return nextAnswer(questionAnswers, defaultQuestionAnswer);
}

std::unique_ptr<QueryReplaceDialog> RecordingJobHost::createQueryReplaceDialog() {
  ++dialogsMade;
  return std::make_unique<ScriptedQueryReplaceDialog>(*this);
}

std::shared_ptr<JobStatusWindow> RecordingJobHost::newStatusWindow() {
  auto window = std::make_shared<RecordingStatusWindow>();
  windows.push_back(window);
  return window;
}

} // namespace marrowen::testing

#include "support/recording_job.h"

#include "support/recorded_calls.h"

namespace marrowen::testing {

void RecordingJob::addLogLine(const std::string &text) {
  calls.push_back("addLogLine:" + text);
  logLines.push_back(text);
}

void RecordingJob::addInfoLine(const std::string &text) {
  calls.push_back("addInfoLine:" + text);
  logLines.push_back(text);
}

void RecordingJob::addWarningLine(const std::string &text) {
  calls.push_back("addWarningLine:" + text);
  logLines.push_back(text);
}

void RecordingJob::addErrorLine(const std::string &text) {
  calls.push_back("addErrorLine:" + text);
  errors.push_back(text);
}

void RecordingJob::setStatusText(const std::string &text) {
  calls.push_back("setStatusText:" + text);
}

void RecordingJob::setStatusFileName(const std::string &name) {
  calls.push_back("setStatusFileName:" + name);
}

void RecordingJob::showElapsedTime() { calls.push_back("showElapsedTime"); }

void RecordingJob::setFileProgress(int percent) {
  calls.push_back("setFileProgress:" + std::to_string(percent));
  fileProgress.push_back(percent);
}

void RecordingJob::setTaskProgress(int percent) {
  calls.push_back("setTaskProgress:" + std::to_string(percent));
}

void RecordingJob::setNonBinarySkipped(int count) {
  calls.push_back("setNonBinarySkipped:" + std::to_string(count));
}

void RecordingJob::incNonBinarySkipped() { calls.push_back("incNonBinarySkipped"); }

void RecordingJob::setBinarySkipped(int count) {
  calls.push_back("setBinarySkipped:" + std::to_string(count));
}

void RecordingJob::incBinarySkipped() { calls.push_back("incBinarySkipped"); }

void RecordingJob::setProcessedFiles(int count) {
  calls.push_back("setProcessedFiles:" + std::to_string(count));
  processedFiles = count;
}

void RecordingJob::takeBackProcessedFiles(int count) {
  calls.push_back("takeBackProcessedFiles:" + std::to_string(count));
  processedFiles -= count;
}

void RecordingJob::incProcessedFiles() {
  calls.push_back("incProcessedFiles");
  ++processedFiles;
}

void RecordingJob::setTotalFiles(int count) {
  calls.push_back("setTotalFiles:" + std::to_string(count));
}

void RecordingJob::logInputFile(const std::string &name, std::int64_t size) {
  calls.push_back("logInputFile:" + name);
  inputFiles.emplace_back(name, size);
}

void RecordingJob::logOutputFile(const std::string &name, std::int64_t size) {
  calls.push_back("logOutputFile:" + name);
  outputFiles.emplace_back(name, size);
}

Answer RecordingJob::askQuestion(const std::string &text) {
  calls.push_back("askQuestion:" + text);
  return nextAnswer(questionAnswers, defaultQuestionAnswer);
}

Answer RecordingJob::queryReplace(QueryReplaceRequest &request) {
  calls.push_back("queryReplace:" + request.found);
  replaceQuestions.push_back(request);
  if (editReplace)
    editReplace(request);
  Answer answer = nextAnswer(replaceAnswers, defaultReplaceAnswer);
  if (answer == Answer::Cancel || answer == Answer::Stop)
    terminate();
  return answer;
}

void RecordingJob::toggleClipboardButton() { calls.push_back("toggleClipboardButton"); }

void RecordingJob::runSynchronized(const std::function<void()> &call) {
  ++synchronizedCalls;
  call();
}

std::vector<std::string> RecordingJob::argumentsOf(std::string_view operation) const {
  return testing::argumentsOf(calls, operation);
}

} // namespace marrowen::testing

#include "engine/jobhost.h"

#include "engine/job.h"
#include "engine/statuswindow.h"
#include "engine/userinterface.h"

#include <algorithm>
#include <cstdio>

namespace marrowen {

namespace {

// Asks through the installed user interface, as a chain without a job
// would.
class HeadlessQueryReplaceDialog : public QueryReplaceDialog {
public:
  Answer confirmReplace(QueryReplaceRequest &request) override { return askQueryReplace(request); }
};

} // namespace

HeadlessJobHost::HeadlessJobHost() = default;

HeadlessJobHost::~HeadlessJobHost() = default;

void HeadlessJobHost::runOnUserInterfaceAndWait(const std::function<void()> &call) {
  std::lock_guard lock(userInterface_);
  call();
}

void HeadlessJobHost::jobExecuted(ProcessingThread &) {}

void HeadlessJobHost::increaseThreadCount() { ++runningJobs_; }

void HeadlessJobHost::reduceThreadCount() { --runningJobs_; }

std::weak_ptr<JobStatusWindow> HeadlessJobHost::createStatusWindow() {
  std::lock_guard lock(userInterface_);
  std::erase_if(windows_, [](const auto &window) { return window->job() == nullptr; });
  auto window = newStatusWindow();
  windows_.push_back(window);
  return window;
}

std::shared_ptr<JobStatusWindow> HeadlessJobHost::newStatusWindow() {
  return std::make_shared<HeadlessStatusWindow>();
}

void HeadlessJobHost::releaseStatusWindow(const std::shared_ptr<JobStatusWindow> &window) {
  closeWindow(window);
}

void HeadlessJobHost::closeWindow(const std::shared_ptr<JobStatusWindow> &window) {
  std::lock_guard lock(userInterface_);
  std::erase(windows_, window);
}

std::vector<std::shared_ptr<JobStatusWindow>> HeadlessJobHost::openWindows() const {
  std::lock_guard lock(userInterface_);
  return windows_;
}

std::unique_ptr<QueryReplaceDialog> HeadlessJobHost::createQueryReplaceDialog() {
  return std::make_unique<HeadlessQueryReplaceDialog>();
}

Answer HeadlessJobHost::askQuestion(const std::string &) { return Answer::YesToAll; }

void HeadlessJobHost::showJobException(const std::string &message) {
  std::lock_guard lock(userInterface_);
  shownExceptions_.push_back(message);
  writeErrorLine(message);
}

std::vector<std::string> HeadlessJobHost::shownExceptions() const {
  std::lock_guard lock(userInterface_);
  return shownExceptions_;
}

void HeadlessJobHost::playSound(const std::string &) {}

} // namespace marrowen

#include "filters/debugfilter.h"

#include "classlib/format.h"
#include "engine/job.h"
#include "engine/messages.h"
#include "engine/statuswindow.h"

namespace marrowen {

namespace {

// The installed user interface's window; a headless one when it gives none.
std::shared_ptr<DebugWindow> createDebugWindow() {
  std::shared_ptr<DebugWindow> window = userInterface()->createDebugWindow();
  return window ? window : std::make_shared<HeadlessDebugWindow>();
}

} // namespace

std::string HeadlessDebugWindow::text() const {
  std::string all;
  for (const std::string &line : lines_)
    all.append(line).append("\n");
  return all;
}

TDebugFilter::TDebugFilter() : window_(createDebugWindow()) {}

void TDebugFilter::write(const std::string &text) {
  runOnUserInterface([&] { window_->addLine(text); });
}

void TDebugFilter::attachJob(JobSink *job) {
  TFilter::attachJob(job);
  if (!job)
    return;
  if (std::shared_ptr<JobStatusWindow> status = job->statusWindow())
    runOnUserInterface([&] { window_->matchStatusWindow(*status); });
}

void TDebugFilter::startJob() {
  runOnUserInterface([&] {
    window_->clearBuffer();
    window_->show();
  });
  write(translate(1600, "\r\n### Start of job ###\r\n"));
  TFilter::startJob();
}

void TDebugFilter::endJob() {
  write(translate(1610, "\r\n### End of job ###\r\n"));
  TFilter::endJob();
}

void TDebugFilter::startFile() {
  write(translateFormat(1620, "\r\n### Start of input file: %s ###\r\n", {getFullInputFilename()}));
  TFilter::startFile();
}

void TDebugFilter::endFile() {
  write(translateFormat(1630, "\r\n### End of input file: %s ###\r\n", {getFullInputFilename()}));
  TFilter::endFile();
}

bool TDebugFilter::processChunk(std::string &chunk) {
  write(chunk);
  return sendToNext(chunk);
}

} // namespace marrowen

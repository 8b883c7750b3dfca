#include "engine/job.h"

#include "engine/host.h"

namespace marrowen {

namespace {

thread_local const JobSink *currentJob = nullptr;

} // namespace

CurrentJobScope::CurrentJobScope(const JobSink *job) : previous_(currentJob) { currentJob = job; }

CurrentJobScope::~CurrentJobScope() { currentJob = previous_; }

bool currentJobAborted() {
  return (currentJob && currentJob->isAborted()) || applicationTerminating();
}

} // namespace marrowen

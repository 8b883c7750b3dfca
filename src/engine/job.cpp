#include "engine/job.h"

#include "engine/userinterface.h"

#include <algorithm>

namespace marrowen {

namespace {

thread_local const JobSink *currentJob = nullptr;

constexpr auto noDeadline = std::chrono::steady_clock::time_point::max();
thread_local std::chrono::steady_clock::time_point threadDeadline = noDeadline;

} // namespace

CurrentJobScope::CurrentJobScope(const JobSink *job) : previous_(currentJob) { currentJob = job; }

CurrentJobScope::~CurrentJobScope() { currentJob = previous_; }

bool currentJobAborted() {
  return (currentJob && currentJob->isAborted()) || applicationTerminating() ||
         threadDeadlinePassed();
}

DeadlineScope::DeadlineScope(std::chrono::steady_clock::duration limit)
    : previous_(threadDeadline),
      deadline_(std::min(previous_, std::chrono::steady_clock::now() + limit)) {
  threadDeadline = deadline_;
}

DeadlineScope::~DeadlineScope() { threadDeadline = previous_; }

bool DeadlineScope::passed() const { return std::chrono::steady_clock::now() >= deadline_; }

bool threadDeadlinePassed() {
  return threadDeadline != noDeadline && std::chrono::steady_clock::now() >= threadDeadline;
}

} // namespace marrowen

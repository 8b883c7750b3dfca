#pragma once

#include "engine/processingthread.h"

#include <memory>
#include <utility>

namespace marrowen {

// A resource that must live and die on the thread that runs the chain (a
// script engine, a database connection), held by one filter. Made on that
// thread when the filter first needs it. In a job the job thread's context
// also holds it and releases it at the end of the run, whatever happened, so
// a chain freed later on another thread never touches it; without a job it
// lives until `release` or the holder's end, on the caller's thread.
template <class T> class JobThreadResource {
public:
  JobThreadResource() = default;
  JobThreadResource(const JobThreadResource &) = delete;
  JobThreadResource &operator=(const JobThreadResource &) = delete;
  ~JobThreadResource() { release(); }

  // The resource, or none when it was not made or is released already.
  T *get() const { return slot_ ? slot_->get() : nullptr; }

  // Replaces the resource by `value` (releasing the old one first).
  T &set(std::unique_ptr<T> value) {
    release();
    slot_ = std::make_shared<std::unique_ptr<T>>(std::move(value));
    if (auto *context = JobThreadContext::current())
      context->addCleanup([slot = slot_] { slot->reset(); });
    return **slot_;
  }

  void release() {
    if (slot_) {
      auto slot = std::move(slot_);
      slot->reset();
    }
  }

private:
  std::shared_ptr<std::unique_ptr<T>> slot_;
};

} // namespace marrowen

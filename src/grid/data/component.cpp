#include "grid/data/component.h"

#include <algorithm>

namespace marrowen {

TComponent::~TComponent() {
  destroying_ = true;
  // Each may unregister others from its hook; take them one by one.
  while (!notified_.empty()) {
    TComponent *other = notified_.back();
    notified_.pop_back();
    other->forget(this);
    other->Notification(this, TOperation::opRemove);
  }
}

void TComponent::forget(TComponent *other) {
  notified_.erase(std::remove(notified_.begin(), notified_.end(), other), notified_.end());
}

void TComponent::FreeNotification(TComponent *other) {
  if (!other || other == this)
    return;
  if (std::find(notified_.begin(), notified_.end(), other) == notified_.end())
    notified_.push_back(other);
  if (std::find(other->notified_.begin(), other->notified_.end(), this) == other->notified_.end())
    other->notified_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent *other) {
  if (!other)
    return;
  forget(other);
  other->forget(this);
}

void TComponent::Notification(TComponent *, TOperation) {}

} // namespace marrowen

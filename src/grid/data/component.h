#pragma once

#include <string>
#include <vector>

namespace marrowen {

enum class TOperation { opInsert, opRemove };

// The component model's small core: a name, an owner, and free notification.
// A component told of another's destruction through Notification must forget
// it; a component going away tells everyone that asked, and everyone it asked.
// Owners do not own here: forms free their components themselves.
class TComponent {
public:
  explicit TComponent(TComponent *owner = nullptr) : owner_(owner) {}
  virtual ~TComponent();
  TComponent(const TComponent &) = delete;
  TComponent &operator=(const TComponent &) = delete;

  const std::string &Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TComponent *Owner() const { return owner_; }

  // `other` will be told (Notification with opRemove) when this one is destroyed.
  void FreeNotification(TComponent *other);
  void RemoveFreeNotification(TComponent *other);

protected:
  virtual void Notification(TComponent *component, TOperation operation);
  bool Destroying() const { return destroying_; }

private:
  void forget(TComponent *other);

  std::string name_;
  TComponent *owner_;
  std::vector<TComponent *> notified_;
  bool destroying_ = false;
};

} // namespace marrowen

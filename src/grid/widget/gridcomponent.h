#pragma once

#include "grid/data/component.h"

namespace marrowen {

class TdgBaseGrid;

// The grid as a component: it hears when a component it points to goes.
class TdgGridComponent : public TComponent {
public:
  explicit TdgGridComponent(TdgBaseGrid &grid) : grid_(grid) {}

protected:
  void Notification(TComponent *component, TOperation operation) override;

private:
  TdgBaseGrid &grid_;
};

} // namespace marrowen

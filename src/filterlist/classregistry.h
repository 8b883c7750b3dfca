#pragma once

#include "classlib/componentstream.h"

#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace marrowen {

using ComponentFactory = std::function<std::unique_ptr<StreamableComponent>()>;

// The classes a component stream may name, by class name, each with the
// factory that makes a blank component for the reader to fill. Names match
// as the stream compares them (ASCII letters regardless of case). Safe to
// read from several threads while nothing is being registered.
class ClassRegistry : public ComponentClasses {
public:
  // Registers `className`, replacing an earlier factory of the same name.
  void registerClass(std::string_view className, ComponentFactory factory);
  template <class T> void registerClass(std::string_view className) {
    registerClass(className, [] { return std::make_unique<T>(); });
  }

  bool isRegistered(std::string_view className) const;
  // A new component of the class, or null when the name is not registered.
  std::unique_ptr<StreamableComponent> create(std::string_view className) const override;
  // The registered names as they were registered, in no particular order.
  std::vector<std::string> classNames() const;

private:
  struct Entry {
    std::string className;
    ComponentFactory factory;
  };

  static std::string key(std::string_view className);

  mutable std::shared_mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
};

// The process-wide registry that filter files are read with; `TVersion` is
// registered in it from the start.
ClassRegistry &globalClassRegistry();

} // namespace marrowen

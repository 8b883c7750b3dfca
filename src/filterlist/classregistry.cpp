#include "filterlist/classregistry.h"

#include "classlib/componentstream.h"
#include "filterlist/filterfile.h"

#include <mutex>

namespace marrowen {

std::string ClassRegistry::key(std::string_view className) {
  std::string k(className);
  for (char &c : k)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + ('a' - 'A'));
  return k;
}

void ClassRegistry::registerClass(std::string_view className, ComponentFactory factory) {
  std::unique_lock lock(mutex_);
  entries_.insert_or_assign(key(className), Entry{std::string(className), std::move(factory)});
}

bool ClassRegistry::isRegistered(std::string_view className) const {
  std::shared_lock lock(mutex_);
  return entries_.contains(key(className));
}

std::unique_ptr<StreamableComponent> ClassRegistry::create(std::string_view className) const {
  ComponentFactory factory;
  {
    std::shared_lock lock(mutex_);
    const auto it = entries_.find(key(className));
    if (it == entries_.end())
      return nullptr;
    factory = it->second.factory;
  }
  return factory ? factory() : nullptr;
}

std::vector<std::string> ClassRegistry::classNames() const {
  std::shared_lock lock(mutex_);
  std::vector<std::string> names;
  names.reserve(entries_.size());
  for (const auto &[k, entry] : entries_)
    names.push_back(entry.className);
  return names;
}

ClassRegistry &globalClassRegistry() {
  struct Global {
    ClassRegistry registry;
    Global() { registry.registerClass<TVersion>("TVersion"); }
  };
  static Global global;
  return global.registry;
}

} // namespace marrowen

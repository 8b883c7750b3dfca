#include "filterlist/settings.h"

#include "classlib/program.h"
#include "classlib/registry.h"

#include <atomic>

namespace marrowen {

namespace {

std::atomic<SettingsStore *> chosenStore{nullptr};
std::atomic<bool> remembering{true};

} // namespace

SettingsStore &settingsStore() {
  SettingsStore *store = chosenStore.load();
  return store ? *store : SettingsStore::global();
}

void useSettingsStore(SettingsStore *store) { chosenStore.store(store); }

void rememberNodeDefaults(bool on) { remembering.store(on); }
bool nodeDefaultsRemembered() { return remembering.load(); }

std::string readStringSetting(std::string_view name, std::string_view def) {
  std::string value = settingsStore().readString(program::registryKey, name, def);
  return value.size() <= rememberedTextLimit ? value : std::string(def);
}

std::int32_t readIntegerSetting(std::string_view name, std::int32_t def) {
  return settingsStore().readInteger(program::registryKey, name, def);
}

bool readBoolSetting(std::string_view name, bool def) {
  return settingsStore().readBool(program::registryKey, name, def);
}

// A failed save is the store's to report; the node keeps its value either way.
// Every start reads the store whole, so a text too long for any one-line edit
// is not remembered: the value remembered before it stays.
std::string writeStringSetting(std::string_view name, std::string_view value) {
  if (value.size() <= rememberedTextLimit)
    settingsStore().writeString(program::registryKey, name, value);
  return std::string(value);
}

std::int32_t writeIntegerSetting(std::string_view name, std::int32_t value) {
  settingsStore().writeInteger(program::registryKey, name, value);
  return value;
}

bool writeBoolSetting(std::string_view name, bool value) {
  settingsStore().writeBool(program::registryKey, name, value);
  return value;
}

} // namespace marrowen

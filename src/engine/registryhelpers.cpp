#include "engine/registryhelpers.h"

#include "engine/utilities.h"

namespace marrowen {

std::int32_t readInteger(TRegistry &key, std::string_view name, std::int32_t def) {
  try {
    if (key.ValueExists(name))
      return key.ReadInteger(name);
  } catch (const Exception &) {
  }
  return def;
}

bool readBool(TRegistry &key, std::string_view name, bool def) {
  try {
    if (key.ValueExists(name))
      return key.ReadBool(name);
  } catch (const Exception &) {
  }
  return def;
}

std::string readString(TRegistry &key, std::string_view name, std::string_view def) {
  try {
    if (key.ValueExists(name))
      return key.ReadString(name);
  } catch (const Exception &) {
  }
  return std::string(def);
}

std::string getApplicationFolder() {
  std::string folder;
  getProgramFolder(folder);
  return folder;
}

} // namespace marrowen

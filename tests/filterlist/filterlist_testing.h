#pragma once

// Helpers of the filter-list tests: hand-made stream bytes, and a settings
// store of the test program's own (every test starts from an empty one).

#include "classlib/componentstream.h"
#include "classlib/registry.h"
#include "filterlist/classregistry.h"
#include "filterlist/filterfile.h"
#include "filterlist/listobject.h"
#include "filterlist/nodecatalog.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace marrowen::testing {

inline std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values)
    s.push_back(static_cast<char>(v));
  return s;
}

// A name: length byte and bytes, no tag.
inline std::string name(std::string_view n) {
  return std::string(1, static_cast<char>(n.size())) + std::string(n);
}

inline std::string str(std::string_view s) {
  return bytes({0x06, static_cast<int>(s.size())}) + std::string(s);
}

inline std::string boolean(bool b) { return bytes({b ? 0x09 : 0x08}); }

inline std::string int8(int v) { return bytes({0x02, v & 0xFF}); }

inline std::string fileStart() {
  return "TPF0" + name("TFilterList") + bytes({0x00}) + name("FilterList") + bytes({0x01});
}

inline std::string fileEnd() { return bytes({0x00, 0x00, 0x00}); }

inline std::string versionRecord(std::string_view data) {
  return name("TVersion") + bytes({0x00}) + name("Version") + std::string(data) +
         bytes({0x00, 0x00});
}

// A node record: class, empty name, published enabled, the defined value.
inline std::string nodeRecord(std::string_view className, std::string_view property, bool enabled,
                              std::string_view data) {
  return name(className) + bytes({0x00}) + name("enabled") + boolean(enabled) + name(property) +
         std::string(data) + bytes({0x00, 0x00});
}

// A node class that no version of the program knows, standing in for one
// whose node is not built yet: filter files naming it load it as a
// placeholder once registerLaterNodeClass has run.
inline constexpr NodeClassName laterNodeClass{"TLaterObject", "LaterObject"};

inline void registerLaterNodeClass() {
  registerNodeClasses();
  globalClassRegistry().registerClass(laterNodeClass.className, [] {
    return std::make_unique<TPlaceholderObject>(laterNodeClass);
  });
}

// Clears the settings store that the nodes read (a fresh file each test).
void resetTestSettings();
SettingsStore &testSettings();

} // namespace marrowen::testing

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace marrowen {

class SettingsStore;

// The program's typed settings under its own key: every node class keeps the
// values last confirmed in its dialog here, and a new node starts from them.
// A value that is absent, or stored with another type, reads as the default.
// The writes hand their value back, so a node can assign and remember in one
// step. Safe from any thread.
// Texts longer than rememberedTextLimit (a one-line edit's own limit) are
// neither remembered nor read back.
inline constexpr std::size_t rememberedTextLimit = 32767;
std::string readStringSetting(std::string_view name, std::string_view def);
std::int32_t readIntegerSetting(std::string_view name, std::int32_t def);
bool readBoolSetting(std::string_view name, bool def);

std::string writeStringSetting(std::string_view name, std::string_view value);
std::int32_t writeIntegerSetting(std::string_view name, std::int32_t value);
bool writeBoolSetting(std::string_view name, bool value);

// Whether a node copied from its dialog remembers the values as the defaults
// of the next node of its class (on at start). Off while the command line is
// read: an unattended run leaves the values a user confirmed as they were.
void rememberNodeDefaults(bool on);
bool nodeDefaultsRemembered();

// The store the settings live in: the program's store unless a test or a
// portable setup points them elsewhere (null returns to the program's).
SettingsStore &settingsStore();
void useSettingsStore(SettingsStore *store);

} // namespace marrowen

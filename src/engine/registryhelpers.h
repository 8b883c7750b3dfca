#pragma once

#include "classlib/registry.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace marrowen {

// The value `name` of the key open in `key`; `def` when the key holds no
// such value or holds one of another type. Never raise.
std::int32_t readInteger(TRegistry &key, std::string_view name, std::int32_t def);
bool readBool(TRegistry &key, std::string_view name, bool def);
std::string readString(TRegistry &key, std::string_view name, std::string_view def);

// The folder of the program file with a trailing "/" (as getProgramFolder).
std::string getApplicationFolder();

} // namespace marrowen

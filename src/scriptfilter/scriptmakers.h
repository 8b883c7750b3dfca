#pragma once

namespace marrowen {

// Lets script nodes check their scripts and make script filters: installs
// the script makers of the filter list (filterlist/filtermakers.h). The
// program calls it at start-up, as do the tests that build script nodes.
// Checking and running need the program's Qt application object. A script
// filter's engine may hold as many megabytes as the setting below says
// (1024 when unset; 0 or less for no bound).
void registerScriptFilterMakers();
inline constexpr const char *scriptMemoryLimitSetting = "scriptMemoryLimitMB";

} // namespace marrowen

#pragma once

namespace marrowen {

// Lets script nodes check their scripts and make script filters: installs
// the script makers of the filter list (filterlist/filtermakers.h). The
// program calls it at start-up, as do the tests that build script nodes.
// Checking and running need the program's Qt application object.
void registerScriptFilterMakers();

} // namespace marrowen

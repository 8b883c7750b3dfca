#pragma once

#include <string>
#include <vector>

namespace marrowen {

// Renders the base grid in its typical states (fixed areas, a selection, its
// editor open, a sizing line) to PNG files in `folder`; returns their paths.
std::vector<std::string> renderGridScreenshots(const std::string &folder);

} // namespace marrowen

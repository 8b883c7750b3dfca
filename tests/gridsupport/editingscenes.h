#pragma once

#include <string>
#include <vector>

namespace marrowen {

// Renders the grid while the user works in it (an open editor with a
// selection, a pressed check box, a held spin button, a sizing line, a row
// drop marker, a cell range) to PNG files in `folder`; returns their paths.
std::vector<std::string> renderEditingScreenshots(const std::string &folder);

} // namespace marrowen

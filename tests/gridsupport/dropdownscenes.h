#pragma once

#include <string>
#include <vector>

namespace marrowen {

// Renders grids with a drop-down open (a combo list under its cell, the same
// list after type-ahead, a date picker) to PNG files in `folder`, the grid and its pop-up
// window in one picture; returns their paths.
std::vector<std::string> renderDropDownScreenshots(const std::string &folder);

} // namespace marrowen

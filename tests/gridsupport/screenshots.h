#pragma once

#include <string>
#include <vector>

namespace marrowen {

// Renders the base grid in its typical states (fixed areas, a selection, its
// editor open, a sizing line) to PNG files in `folder`; returns their paths.
std::vector<std::string> renderGridScreenshots(const std::string &folder);

// The pictures among `files` that cannot be read or show next to nothing
// (three colours or fewer, sampling every third pixel each way).
std::vector<std::string> blankPictures(const std::vector<std::string> &files);

} // namespace marrowen

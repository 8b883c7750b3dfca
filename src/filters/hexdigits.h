#pragma once

#include "classlib/asciitext.h"

#include <string>

namespace marrowen {

// One byte as a text of its own, for the messages that quote it.
inline std::string byteText(char c) { return std::string(1, c); }

} // namespace marrowen

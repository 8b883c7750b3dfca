#pragma once

#include <string>

namespace marrowen::testing {

// Every byte value once, in order.
inline std::string allBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b)
    bytes += static_cast<char>(b);
  return bytes;
}

} // namespace marrowen::testing

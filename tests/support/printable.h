#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace marrowen::testing {

// Bytes shown readably in failure messages ("\r", "\x00").
inline std::string printable(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\\')
      out += "\\\\";
    else if (c < 32 || c >= 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else
      out += static_cast<char>(c);
  }
  return out;
}

} // namespace marrowen::testing

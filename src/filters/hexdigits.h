#pragma once

#include <array>
#include <string>

namespace marrowen {

// Tables shared by the codecs that write and read hex digit pairs.

inline constexpr char upperHexDigits[] = "0123456789ABCDEF";
inline constexpr char lowerHexDigits[] = "0123456789abcdef";

// The value of a hex digit (0-9, A-F, a-f), or -1 for any other byte.
inline constexpr std::array<signed char, 256> hexDigitValues = [] {
  std::array<signed char, 256> values{};
  for (auto &v : values)
    v = -1;
  for (int i = 0; i < 10; ++i)
    values['0' + i] = static_cast<signed char>(i);
  for (int i = 0; i < 6; ++i) {
    values['A' + i] = static_cast<signed char>(10 + i);
    values['a' + i] = static_cast<signed char>(10 + i);
  }
  return values;
}();

inline int hexDigitValue(char c) { return hexDigitValues[static_cast<unsigned char>(c)]; }

// One byte as a text of its own, for the messages that quote it.
inline std::string byteText(char c) { return std::string(1, c); }

} // namespace marrowen

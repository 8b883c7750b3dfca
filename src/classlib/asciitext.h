#pragma once

#include <array>
#include <string>
#include <string_view>

// Byte helpers for the parts of the system that are ASCII whatever the code
// page: hex digits, blanks around names, case in names and keywords.
namespace marrowen {

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

inline int hexValueOf(char c) { return hexDigitValues[static_cast<unsigned char>(c)]; }

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

// `s` without the blanks and tabs around it.
inline std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

inline unsigned char asciiUpper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

inline std::string asciiLowerCase(std::string_view text) {
  std::string lower(text);
  for (char &c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + ('a' - 'A'));
  return lower;
}

} // namespace marrowen

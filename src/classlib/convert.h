#pragma once

#include <cstdint>
#include <string_view>

namespace marrowen {

// The class library's StrToInt: optional leading blanks, a sign, then decimal
// digits, or hex digits after "$" or "0x". Anything else, or a value outside
// 32 bits, raises EConvertError "'%s' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

} // namespace marrowen

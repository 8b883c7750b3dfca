#include "classlib/convert.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"

#include <charconv>
#include <limits>

namespace marrowen {

std::int32_t StrToInt(std::string_view text) {
  auto fail = [&]() -> std::int32_t {
    throw EConvertError(Format("'%s' is not a valid integer value", {text}));
  };
  std::string_view digits = text;
  while (!digits.empty() && digits.front() == ' ')
    digits.remove_prefix(1);
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (!digits.empty() && digits.front() == '$') {
    base = 16;
    digits.remove_prefix(1);
  } else if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.front() == '-' || digits.front() == '+')
    return fail();
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (error != std::errc() || end != digits.data() + digits.size())
    return fail();
  if (negative)
    value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    return fail();
  return static_cast<std::int32_t>(value);
}

} // namespace marrowen

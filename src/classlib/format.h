#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace marrowen {

// One argument of Format: an integer, a floating-point number or a text.
class FormatArg {
public:
  enum class Kind { Signed, Unsigned, Float, Text };

  template <class T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
      FormatArg(T v) {
    if constexpr (std::is_signed_v<T>) {
      kind_ = Kind::Signed;
      signed_ = v;
    } else {
      kind_ = Kind::Unsigned;
      unsigned_ = v;
    }
  }
  FormatArg(bool v) : kind_(Kind::Signed), signed_(v ? 1 : 0) {}
  FormatArg(double v) : kind_(Kind::Float), float_(v) {}
  FormatArg(std::string_view v) : kind_(Kind::Text), text_(v) {}
  FormatArg(const std::string &v) : kind_(Kind::Text), text_(v) {}
  FormatArg(const char *v) : kind_(Kind::Text), text_(v) {}
  FormatArg(char v) = delete; // ambiguous: a byte or a number? say which

  Kind kind() const { return kind_; }
  std::int64_t asSigned() const { return signed_; }
  std::uint64_t asUnsigned() const { return unsigned_; }
  double asFloat() const { return float_; }
  std::string_view asText() const { return text_; }

private:
  Kind kind_;
  std::int64_t signed_ = 0;
  std::uint64_t unsigned_ = 0;
  double float_ = 0;
  std::string_view text_;
};

// The class library's Format, safe for formats that users and language files
// type: %s %d %u %x %X %e %f %g %n %m %%, with an argument index ("%1:s"),
// left alignment ("-"), width and precision (either may be "*"). Precision is
// the minimum number of digits for integers and the maximum length for texts;
// %x gives upper-case digits. A format that does not fit its arguments raises
// EConvertError, as does one that would write more than its own text, its
// texts and one field of the widest width (1 MiB); nothing is ever handed to
// printf.
std::string Format(std::string_view format, std::initializer_list<FormatArg> args);

// Whether `format` formats without error with the given arguments.
bool formatAccepts(std::string_view format, std::initializer_list<FormatArg> args);

// The thousands separator and decimal point used by %n, %m and %f.
inline constexpr char thousandSeparator = ',';
inline constexpr char decimalSeparator = '.';

} // namespace marrowen

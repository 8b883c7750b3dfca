#include "classlib/format.h"

#include "classlib/exceptions.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace marrowen {

namespace {

[[noreturn]] void invalidFormat(std::string_view format) {
  std::string text = "Format '";
  text.append(format);
  text += "' invalid or incompatible with argument";
  throw EConvertError(text);
}

[[noreturn]] void missingArgument(std::string_view format) {
  std::string text = "No argument for format '";
  text.append(format);
  text += "'";
  throw EConvertError(text);
}

std::string decimalDigits(std::uint64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string hexDigits(std::uint64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
  std::string s(buf, r.ptr);
  for (char &c : s)
    if (c >= 'a' && c <= 'f')
      c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string padDigits(std::string digits, int precision) {
  if (precision > 0 && static_cast<int>(digits.size()) < precision)
    digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
  return digits;
}

std::string fixed(double v, int decimals) {
  char buf[512];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc())
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
  return std::string(buf, r.ptr);
}

// Groups the integer digits of a fixed-point text by thousands.
std::string withThousands(std::string s) {
  std::size_t start = (!s.empty() && s[0] == '-') ? 1 : 0;
  std::size_t point = s.find('.');
  std::size_t end = point == std::string::npos ? s.size() : point;
  if (point != std::string::npos)
    s[point] = decimalSeparator;
  for (std::size_t i = end; i > start + 3; i -= 3)
    s.insert(i - 3, 1, thousandSeparator);
  return s;
}

std::string exponent(double v, int precision) {
  // The class library's %e: one digit, point, precision-1 digits, "E", sign,
  // 3 digits.
  if (precision <= 0 || precision > 18)
    precision = 15;
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, precision - 1);
  std::string s(buf, r.ptr);
  std::size_t e = s.find('e');
  if (e == std::string::npos)
    return s;
  std::string mant = s.substr(0, e);
  int exp = std::stoi(s.substr(e + 1));
  std::string ex = decimalDigits(static_cast<std::uint64_t>(exp < 0 ? -exp : exp));
  ex = padDigits(ex, 3);
  return mant + "E" + (exp < 0 ? "-" : "+") + ex;
}

std::string general(double v, int precision) {
  if (precision <= 0 || precision > 18)
    precision = 15;
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  std::string s(buf, r.ptr);
  std::size_t e = s.find('e');
  if (e != std::string::npos) {
    int exp = std::stoi(s.substr(e + 1));
    s = s.substr(0, e) + "E" + (exp < 0 ? "-" : "+") +
        padDigits(decimalDigits(static_cast<std::uint64_t>(exp < 0 ? -exp : exp)), 2);
  }
  return s;
}

// The most a format may add beyond its own text and its texts' bytes: one
// field of the widest width or precision.
constexpr std::size_t widestField = 1 << 20;

class Formatter {
public:
  Formatter(std::string_view format, std::initializer_list<FormatArg> args)
      : format_(format), args_(args), limit_(format.size() + widestField) {
    // A format that uses each text once always fits; one that repeats wide
    // fields (a language file's "%0:.1000000d" five thousand times) would
    // take gigabytes, and is refused as a misfit instead.
    for (const FormatArg &arg : args)
      if (arg.kind() == FormatArg::Kind::Text)
        limit_ += arg.asText().size();
  }

  std::string run() {
    std::string out;
    out.reserve(format_.size() + 16);
    std::size_t i = 0;
    while (i < format_.size()) {
      std::size_t pct = format_.find('%', i);
      if (pct == std::string_view::npos) {
        out.append(format_.substr(i));
        break;
      }
      out.append(format_.substr(i, pct - i));
      i = formatOne(pct + 1, out);
      if (out.size() > limit_)
        invalidFormat(format_);
    }
    return out;
  }

private:
  std::size_t formatOne(std::size_t i, std::string &out) {
    const std::size_t n = format_.size();
    if (i >= n)
      invalidFormat(format_);
    if (format_[i] == '%') {
      out += '%';
      return i + 1;
    }
    // [index ":"] ["-"] [width] ["." precision] type
    long long number = -1;
    i = readNumber(i, number);
    if (i < n && format_[i] == ':') {
      if (number < 0)
        number = 0;
      next_ = static_cast<std::size_t>(number);
      ++i;
      number = -1;
      i = readNumber(i, number);
    }
    bool left = false;
    if (number < 0 && i < n && format_[i] == '-') {
      left = true;
      ++i;
      i = readNumber(i, number);
    }
    long long width = number;
    long long precision = -1;
    if (i < n && format_[i] == '.') {
      ++i;
      precision = 0;
      i = readNumber(i, precision);
      if (precision < 0)
        precision = 0;
    }
    if (i >= n)
      invalidFormat(format_);
    char type = format_[i];
    if (type >= 'a' && type <= 'z')
      type = static_cast<char>(type - 'a' + 'A');
    std::string text;
    const FormatArg &arg = take();
    switch (type) {
    case 'D':
      text = integerText(arg, false, static_cast<int>(precision));
      break;
    case 'U':
      text = integerText(arg, true, static_cast<int>(precision));
      break;
    case 'X':
      text = hexText(arg, static_cast<int>(precision));
      break;
    case 'S': {
      if (arg.kind() != FormatArg::Kind::Text)
        invalidFormat(format_);
      std::string_view s = arg.asText();
      if (precision >= 0 && static_cast<std::size_t>(precision) < s.size())
        s = s.substr(0, static_cast<std::size_t>(precision));
      text.assign(s);
      break;
    }
    case 'F':
      text = fixed(floatOf(arg), precision < 0 ? 2 : clampDecimals(precision));
      break;
    case 'N':
    case 'M':
      text = withThousands(fixed(floatOf(arg), precision < 0 ? 2 : clampDecimals(precision)));
      break;
    case 'E':
      text = exponent(floatOf(arg), static_cast<int>(precision));
      break;
    case 'G':
      text = general(floatOf(arg), static_cast<int>(precision));
      break;
    default:
      invalidFormat(format_);
    }
    if (width > 0 && static_cast<std::size_t>(width) > text.size()) {
      if (width > static_cast<long long>(widestField))
        invalidFormat(format_);
      std::size_t pad = static_cast<std::size_t>(width) - text.size();
      if (left)
        text.append(pad, ' ');
      else
        text.insert(0, pad, ' ');
    }
    out += text;
    return i + 1;
  }

  static int clampDecimals(long long precision) {
    return static_cast<int>(precision > 18 ? 18 : precision);
  }

  std::size_t readNumber(std::size_t i, long long &number) {
    const std::size_t n = format_.size();
    if (i < n && format_[i] == '*') {
      const FormatArg &a = take();
      if (a.kind() == FormatArg::Kind::Signed)
        number = a.asSigned();
      else if (a.kind() == FormatArg::Kind::Unsigned && a.asUnsigned() < (1u << 30))
        number = static_cast<long long>(a.asUnsigned());
      else
        invalidFormat(format_);
      if (number > static_cast<long long>(widestField))
        invalidFormat(format_);
      return i + 1;
    }
    if (i < n && format_[i] >= '0' && format_[i] <= '9') {
      number = 0;
      while (i < n && format_[i] >= '0' && format_[i] <= '9') {
        number = number * 10 + (format_[i] - '0');
        if (number > static_cast<long long>(widestField))
          invalidFormat(format_);
        ++i;
      }
    }
    return i;
  }

  const FormatArg &take() {
    if (next_ >= args_.size())
      missingArgument(format_);
    return args_.begin()[next_++];
  }

  double floatOf(const FormatArg &a) const {
    switch (a.kind()) {
    case FormatArg::Kind::Float:
      return a.asFloat();
    case FormatArg::Kind::Signed:
      return static_cast<double>(a.asSigned());
    case FormatArg::Kind::Unsigned:
      return static_cast<double>(a.asUnsigned());
    default:
      invalidFormat(format_);
    }
  }

  std::string integerText(const FormatArg &a, bool asUnsigned, int precision) const {
    if (a.kind() == FormatArg::Kind::Signed) {
      std::int64_t v = a.asSigned();
      if (asUnsigned && v < 0)
        return padDigits(decimalDigits(static_cast<std::uint32_t>(v)), precision);
      if (v < 0)
        return "-" + padDigits(decimalDigits(0 - static_cast<std::uint64_t>(v)), precision);
      return padDigits(decimalDigits(static_cast<std::uint64_t>(v)), precision);
    }
    if (a.kind() == FormatArg::Kind::Unsigned)
      return padDigits(decimalDigits(a.asUnsigned()), precision);
    invalidFormat(format_);
  }

  std::string hexText(const FormatArg &a, int precision) const {
    if (a.kind() == FormatArg::Kind::Signed) {
      std::int64_t v = a.asSigned();
      std::uint64_t u =
          (v < 0 && v >= INT32_MIN) ? static_cast<std::uint32_t>(v) : static_cast<std::uint64_t>(v);
      return padDigits(hexDigits(u), precision);
    }
    if (a.kind() == FormatArg::Kind::Unsigned)
      return padDigits(hexDigits(a.asUnsigned()), precision);
    invalidFormat(format_);
  }

  std::string_view format_;
  std::initializer_list<FormatArg> args_;
  std::size_t limit_;
  std::size_t next_ = 0;
};

} // namespace

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
  return Formatter(format, args).run();
}

bool formatAccepts(std::string_view format, std::initializer_list<FormatArg> args) {
  try {
    Formatter(format, args).run();
    return true;
  } catch (const EConvertError &) {
    return false;
  }
}

} // namespace marrowen

#include "grid/data/variant.h"

#include "classlib/codepage.h"
#include "classlib/convert.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"

#include <QImage>

#include <charconv>
#include <cmath>
#include <limits>

namespace marrowen {

Variant Variant::Null() {
  Variant v;
  v.type_ = varNull;
  return v;
}

Variant Variant::ofType(TVarType type, double value) {
  Variant v;
  v.type_ = type;
  if (type == varSmallint || type == varByte || type == varInteger || type == varBoolean)
    v.int_ = static_cast<std::int64_t>(value);
  else
    v.double_ = value;
  return v;
}

std::string_view varTypeName(TVarType type) {
  switch (type) {
  case varEmpty:
    return "Empty";
  case varNull:
    return "Null";
  case varSmallint:
    return "Smallint";
  case varInteger:
    return "Integer";
  case varSingle:
    return "Single";
  case varDouble:
    return "Double";
  case varCurrency:
    return "Currency";
  case varDate:
    return "Date";
  case varOleStr:
    return "OleStr";
  case varBoolean:
    return "Boolean";
  case varByte:
    return "Byte";
  case varString:
    return "String";
  case varPicture:
    return "Picture";
  }
  return "Unknown";
}

void Variant::cannotConvert(std::string_view to) const {
  throw EConvertError(
      Format("Could not convert variant of type (%s) into type (%s)", {varTypeName(type_), to}));
}

namespace {

bool isIntegral(TVarType t) {
  return t == varSmallint || t == varInteger || t == varByte || t == varBoolean;
}

std::string floatText(double v) {
  // Shortest form that reads back the same, as the class library's FloatToStr
  // gives for ordinary values.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
}

double parseFloat(const std::string &text) {
  const char *begin = text.data();
  const char *end = begin + text.size();
  while (begin < end && *begin == ' ')
    ++begin;
  while (end > begin && end[-1] == ' ')
    --end;
  double v = 0;
  auto result = std::from_chars(begin, end, v);
  if (begin == end || result.ec != std::errc() || result.ptr != end)
    throw EConvertError(Format("'%s' is not a valid floating point value", {text}));
  return v;
}

std::int32_t roundToInt(double v) {
  const double r = std::nearbyint(v); // banker's rounding, as the class library rounds
  if (!(r >= std::numeric_limits<std::int32_t>::min() &&
        r <= std::numeric_limits<std::int32_t>::max()))
    throw EConvertError("Invalid variant operation");
  return static_cast<std::int32_t>(r);
}

} // namespace

std::string Variant::toString() const {
  switch (type_) {
  case varEmpty:
    return {};
  case varString:
    return text_;
  case varOleStr:
    return systemCodePage()->fromUtf16(wide_);
  case varBoolean:
    return int_ ? "True" : "False";
  default:
    if (isIntegral(type_))
      return std::to_string(int_);
    if (type_ == varSingle || type_ == varDouble || type_ == varCurrency || type_ == varDate)
      return floatText(double_);
    cannotConvert("String");
  }
}

std::int32_t Variant::toInteger() const {
  switch (type_) {
  case varEmpty:
    return 0;
  case varString:
    return StrToInt(text_);
  case varOleStr:
    return StrToInt(systemCodePage()->fromUtf16(wide_));
  default:
    if (isIntegral(type_))
      return static_cast<std::int32_t>(int_);
    if (type_ == varSingle || type_ == varDouble || type_ == varCurrency || type_ == varDate)
      return roundToInt(double_);
    cannotConvert("Integer");
  }
}

double Variant::toDouble() const {
  switch (type_) {
  case varEmpty:
    return 0;
  case varString:
    return parseFloat(text_);
  case varOleStr:
    return parseFloat(systemCodePage()->fromUtf16(wide_));
  default:
    if (isIntegral(type_))
      return static_cast<double>(int_);
    if (type_ == varSingle || type_ == varDouble || type_ == varCurrency || type_ == varDate)
      return double_;
    cannotConvert("Double");
  }
}

bool Variant::toBoolean() const {
  if (type_ == varString || type_ == varOleStr) {
    const std::string t = toString();
    if (t == "True" || t == "true" || t == "TRUE")
      return true;
    if (t == "False" || t == "false" || t == "FALSE")
      return false;
    return toInteger() != 0;
  }
  return toDouble() != 0;
}

Picture Variant::toPicture() const {
  if (type_ == varPicture)
    return picture_;
  if (type_ == varEmpty)
    return nullptr;
  cannotConvert("Picture");
}

bool Variant::operator==(const Variant &other) const {
  if (type_ != other.type_)
    return false;
  switch (type_) {
  case varEmpty:
  case varNull:
    return true;
  case varString:
    return text_ == other.text_;
  case varOleStr:
    return wide_ == other.wide_;
  case varPicture:
    return picture_ == other.picture_;
  default:
    return isIntegral(type_) ? int_ == other.int_ : double_ == other.double_;
  }
}

} // namespace marrowen

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class QImage;

namespace marrowen {

// The type codes of the class library's Variants that cell values travel as;
// varPicture is ours: a shared picture where the original passed an object
// reference inside an integer.
enum TVarType : std::uint16_t {
  varEmpty = 0,
  varNull = 1,
  varSmallint = 2,
  varInteger = 3,
  varSingle = 4,
  varDouble = 5,
  varCurrency = 6,
  varDate = 7,
  varOleStr = 8,
  varBoolean = 11,
  varByte = 17,
  varString = 256,
  varPicture = 0x4001,
};

using Picture = std::shared_ptr<QImage>;

// A cell value: Unassigned, Null, a number, a byte string in the configured
// code page, a UTF-16 (OLE) string or a picture. OLE strings become bytes only
// through the code-page service. Conversions raise EConvertError as the class
// library's Variant conversions do.
class Variant {
public:
  Variant() = default;
  static Variant Null();
  Variant(std::int32_t v) : type_(varInteger), int_(v) {}
  Variant(bool v) : type_(varBoolean), int_(v ? -1 : 0) {}
  Variant(double v) : type_(varDouble), double_(v) {}
  Variant(std::string v) : type_(varString), text_(std::move(v)) {}
  Variant(std::string_view v) : type_(varString), text_(v) {}
  Variant(const char *v) : type_(varString), text_(v) {}
  Variant(std::u16string v) : type_(varOleStr), wide_(std::move(v)) {}
  Variant(Picture v) : type_(varPicture), picture_(std::move(v)) {}
  static Variant ofType(TVarType type, double value); // single, currency, date, byte, smallint

  TVarType type() const { return type_; }
  bool isEmpty() const { return type_ == varEmpty; }
  bool isNull() const { return type_ == varNull; }
  bool isString() const { return type_ == varString || type_ == varOleStr; }

  // Conversions of the class library: integers and reals to their decimal
  // text, texts through StrToInt / the float parser; Null and pictures do not
  // convert to a number or text.
  std::string toString() const;
  std::int32_t toInteger() const;
  double toDouble() const;
  bool toBoolean() const;
  Picture toPicture() const;

  // The held value without conversion (empty for other types).
  const std::string &stringValue() const { return text_; }
  const Picture &pictureValue() const { return picture_; }

  // The class library's comparison of two Variants of one type.
  bool operator==(const Variant &other) const;

private:
  [[noreturn]] void cannotConvert(std::string_view to) const;

  TVarType type_ = varEmpty;
  std::int64_t int_ = 0;
  double double_ = 0;
  std::string text_;
  std::u16string wide_;
  Picture picture_;
};

// The type name the class library's conversion errors use ("Null", "String").
std::string_view varTypeName(TVarType type);

} // namespace marrowen

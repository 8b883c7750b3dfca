#include "grid/data/font.h"

namespace marrowen {

void TFont::copyFrom(const TFont &other) {
  name_ = other.name_;
  size_ = other.size_;
  style_ = other.style_;
  pitch_ = other.pitch_;
  charset_ = other.charset_;
  color_ = other.color_;
}

void TFont::Assign(const TFont &other) {
  if (&other == this)
    return;
  copyFrom(other);
  changed();
}

bool TFont::operator==(const TFont &o) const {
  return name_ == o.name_ && size_ == o.size_ && style_ == o.style_ && pitch_ == o.pitch_ &&
         charset_ == o.charset_ && color_ == o.color_;
}

#define MARROWEN_FONT_SETTER(Setter, Type, field)                                                  \
  void TFont::Setter(Type v) {                                                                     \
    if (field == v)                                                                                \
      return;                                                                                      \
    field = std::move(v);                                                                          \
    changed();                                                                                     \
  }
MARROWEN_FONT_SETTER(SetName, std::string, name_)
MARROWEN_FONT_SETTER(SetSize, int, size_)
MARROWEN_FONT_SETTER(SetStyle, std::uint8_t, style_)
MARROWEN_FONT_SETTER(SetPitch, TFontPitch, pitch_)
MARROWEN_FONT_SETTER(SetCharset, std::uint8_t, charset_)
MARROWEN_FONT_SETTER(SetColor, TColor, color_)
#undef MARROWEN_FONT_SETTER

} // namespace marrowen

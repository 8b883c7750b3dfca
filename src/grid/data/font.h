#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace marrowen {

// Colours stay the class library's numbers until painting: $00BBGGRR, or a
// system colour with the high bit set, or clNone.
using TColor = std::int32_t;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum class TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };

// A font description as the grid's objects keep it. Every change through a
// setter or Assign calls OnChange once, so an owner can react to a font it
// handed out being edited.
class TFont {
public:
  TFont() = default;
  TFont(const TFont &other) { copyFrom(other); }
  TFont &operator=(const TFont &) = delete; // use Assign, which notifies

  const std::string &Name() const { return name_; }
  int Size() const { return size_; }
  std::uint8_t Style() const { return style_; }
  TFontPitch Pitch() const { return pitch_; }
  std::uint8_t Charset() const { return charset_; }
  TColor Color() const { return color_; }

  void SetName(std::string v);
  void SetSize(int v);
  void SetStyle(std::uint8_t v);
  void SetPitch(TFontPitch v);
  void SetCharset(std::uint8_t v);
  void SetColor(TColor v);
  void Assign(const TFont &other);

  bool operator==(const TFont &other) const;

  std::function<void()> OnChange;

private:
  void copyFrom(const TFont &other);
  void changed() {
    if (OnChange)
      OnChange();
  }

  std::string name_ = "MS Sans Serif";
  int size_ = 8;
  std::uint8_t style_ = 0;
  TFontPitch pitch_ = TFontPitch::fpDefault;
  std::uint8_t charset_ = 1; // DEFAULT_CHARSET
  TColor color_ = clWindowText;
};

} // namespace marrowen

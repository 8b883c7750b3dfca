#pragma once

#include <array>
#include <bitset>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace marrowen {

// One 8-bit code page: the Unicode value of every byte and the character
// tables the engine works with (letters, word characters, upper and lower
// maps). Immutable once made, so jobs on other threads may read a table set
// while the configured code page is swapped for another.
class CodePage {
public:
  // Makes the table set of a named code page ("windows-1252", "ibm-437", any
  // name ICU knows). Raises EConvertError for an unknown name.
  static std::shared_ptr<const CodePage> create(std::string_view name);
  // The same with some bytes read as other characters than ICU reads them,
  // where the system's own table of the code page differs from ICU's.
  static std::shared_ptr<const CodePage>
  create(std::string_view name, std::initializer_list<std::pair<unsigned char, char16_t>> changes);

  const std::string &name() const { return name_; }

  bool isLetter(unsigned char c) const { return letters_[c]; }
  bool isAlphaNumeric(unsigned char c) const { return alphaNumeric_[c]; }
  // Letters and digits of the code page, and "_".
  bool isWordChar(unsigned char c) const { return wordChars_[c]; }
  bool isDigit(unsigned char c) const { return c >= '0' && c <= '9'; }
  unsigned char toUpper(unsigned char c) const { return upper_[c]; }
  unsigned char toLower(unsigned char c) const { return lower_[c]; }
  const std::array<unsigned char, 256> &upperMap() const { return upper_; }
  const std::array<unsigned char, 256> &lowerMap() const { return lower_; }
  const std::bitset<256> &letters() const { return letters_; }
  const std::bitset<256> &wordChars() const { return wordChars_; }
  // Bytes whose character may join a neighbour into one letter the eye sees
  // (a combining mark, a joiner): none in Windows-1252.
  const std::bitset<256> &joiningBytes() const { return joining_; }

  std::string upperCase(std::string_view text) const;
  std::string lowerCase(std::string_view text) const;
  void upperCaseInPlace(std::string &text) const;
  void lowerCaseInPlace(std::string &text) const;

  // The UTF-16 code unit of a byte. Bytes the code page leaves undefined map
  // to the code point of the same value, as the system's own conversions do.
  char16_t toUnicode(unsigned char c) const { return unicode_[c]; }
  // The byte of a code unit; false when the code page has none.
  bool fromUnicode(char16_t u, unsigned char &c) const;

  std::u16string toUtf16(std::string_view bytes) const;
  // Code units the code page cannot show become `replacement`.
  std::string fromUtf16(std::u16string_view text, char replacement = '?') const;
  std::string toUtf8(std::string_view bytes) const;
  std::string fromUtf8(std::string_view text, char replacement = '?') const;

private:
  CodePage() = default;

  std::string name_;
  std::array<char16_t, 256> unicode_{};
  std::array<unsigned char, 256> upper_{};
  std::array<unsigned char, 256> lower_{};
  std::bitset<256> letters_;
  std::bitset<256> alphaNumeric_;
  std::bitset<256> wordChars_;
  std::bitset<256> joining_;
  // Reverse map of the Basic Multilingual Plane, built lazily would need a
  // lock; 256 sorted pairs are searched instead.
  std::array<std::pair<char16_t, unsigned char>, 256> reverse_{};
};

// The one configured "system" code page (Windows-1252 unless set otherwise).
// The returned table set stays valid for as long as the caller holds it.
std::shared_ptr<const CodePage> systemCodePage();
void setSystemCodePage(std::string_view name);

// A file name put into engine text (a message, a title, a report, a log
// line): its own bytes, as the file system spells them. Engine text reads a
// valid UTF-8 sequence as its character and any other byte as the code
// page's, which is how the files grid shows a name; converting the name to
// the code page instead would turn every letter it lacks into "?" and name
// another file.
std::string fileNameText(std::string_view fileName);

// The OEM code page of the ANSI/OEM conversions (437).
std::shared_ptr<const CodePage> oemCodePage();

} // namespace marrowen

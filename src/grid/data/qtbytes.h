#pragma once

#include "classlib/codepage.h"
#include "classlib/utf8.h"
#include "grid/data/font.h"
#include "qtext/qtext.h"

#include <QFont>
#include <QString>

#include <string>
#include <string_view>

namespace marrowen {

// Grid texts are engine text, shown as toQString shows it; what the grid
// takes from Qt (a typed or pasted text, a name) is kept as UTF-8, as typed
// text is everywhere.
inline QString bytesToQString(std::string_view bytes) { return toQString(bytes); }
inline std::string qStringToBytes(const QString &text) { return fromQString(text); }

// A key as the grid's keys go, one byte: the code page's byte for a character
// it holds; false for any other.
inline bool codePageKey(const QString &character, char &byte) {
  unsigned char c = 0;
  if (character.size() != 1 || !systemCodePage()->fromUnicode(character.front().unicode(), c) ||
      toQString(std::string(1, static_cast<char>(c))) != character)
    return false;
  byte = static_cast<char>(c);
  return true;
}

// The length of the character at `at` in `text` (a surrogate pair is one),
// and whether it is a printable one no code-page key holds: a grid types that
// as its UTF-8.
inline qsizetype characterBeyondCodePage(const QString &text, qsizetype at, bool &beyond) {
  const bool pair =
      text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate();
  const QString one = text.mid(at, pair ? 2 : 1);
  char byte = 0;
  beyond =
      !codePageKey(one, byte) && (pair || (!one.front().isSurrogate() && one.front().isPrint()));
  return pair ? 2 : 1;
}

// The text a key typed as one byte (codePageKey) stands for, as UTF-8.
inline std::string typedKeyText(char key) {
  return utf8::toUtf8(std::string_view(&key, 1), *systemCodePage());
}

// A grid font as Qt draws it (8 points when it has no size).
QFont toQFont(const TFont &font);

} // namespace marrowen

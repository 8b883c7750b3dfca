#pragma once

#include "classlib/codepage.h"
#include "grid/data/font.h"
#include "qtext/qtext.h"

#include <QFont>
#include <QString>

#include <string>
#include <string_view>

namespace marrowen {

// Grid texts are engine text, shown as toQString shows it. What the grid
// takes from Qt (a key, a typed text) is a byte a key, as the grid's keys
// are: the code page's; characters the code page cannot hold become "?".
inline QString bytesToQString(std::string_view bytes) { return toQString(bytes); }
inline std::string qStringToBytes(const QString &text) {
  return systemCodePage()->fromUtf16(std::u16string_view(
      reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())));
}

// A grid font as Qt draws it (8 points when it has no size).
QFont toQFont(const TFont &font);

} // namespace marrowen

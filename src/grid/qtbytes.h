#pragma once

#include "classlib/codepage.h"

#include <QString>

#include <string>
#include <string_view>

namespace marrowen {

// Grid texts are code-page bytes; Qt shows and types UTF-16. Characters the
// code page cannot hold become "?".
inline QString bytesToQString(std::string_view bytes) {
  const std::u16string text = systemCodePage()->toUtf16(bytes);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string qStringToBytes(const QString &text) {
  return systemCodePage()->fromUtf16(std::u16string_view(
      reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())));
}

} // namespace marrowen

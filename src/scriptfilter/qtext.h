#pragma once

#include "classlib/codepage.h"

#include <QString>

#include <string>
#include <string_view>

namespace marrowen {

// Engine bytes (system code page) to a Qt text and back; characters the code
// page cannot show become "?".
inline QString toQString(std::string_view bytes) {
  std::u16string text = systemCodePage()->toUtf16(bytes);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string fromQString(const QString &text) {
  return systemCodePage()->fromUtf16(std::u16string_view(
      reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())));
}

} // namespace marrowen

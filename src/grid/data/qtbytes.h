#pragma once

#include "grid/data/font.h"
#include "qtext/qtext.h"

#include <QFont>
#include <QString>

#include <string>
#include <string_view>

namespace marrowen {

// Grid texts are code-page bytes; Qt shows and types UTF-16. Characters the
// code page cannot hold become "?".
inline QString bytesToQString(std::string_view bytes) { return toQString(bytes); }
inline std::string qStringToBytes(const QString &text) { return toCodePageText(text); }

// A grid font as Qt draws it (8 points when it has no size).
QFont toQFont(const TFont &font);

} // namespace marrowen

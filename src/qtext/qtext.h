#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace marrowen {

// Engine bytes (system code page) to a Qt text and back; characters the code
// page cannot show become "?".
QString toQString(std::string_view bytes);
std::string fromQString(const QString &text);

// File names cross in the file system's own encoding (UTF-8), not the code
// page: the engine opens a name exactly as given, so a name comes back byte
// for byte, even one holding bytes that are not UTF-8 (those show as
// replacement-like characters, and Qt's own file classes cannot open it).
QString fileNameToQString(std::string_view fileName);
std::string fileNameFromQString(const QString &fileName);

// A file name put into text of the code page (a message, a report, an
// export), as the file system spells it; a letter the code page lacks
// becomes "?".
std::string fileNameToText(std::string_view fileName);

} // namespace marrowen

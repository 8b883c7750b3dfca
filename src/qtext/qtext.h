#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace marrowen {

// Engine bytes (system code page) to a Qt text; characters the code page
// cannot show become "?".
QString toQString(std::string_view bytes);
// Text the user gives (a field, the command line, the bus, a macro, a paste)
// to engine bytes: UTF-8, as the files a Linux user searches hold it.
std::string fromQString(const QString &text);
// The bytes a field's text stands for, given the bytes it was shown from:
// those same bytes while the text is the one they show (so a stored text
// that is not UTF-8, written in the code page, keeps its bytes until the
// user changes it), else the text's own.
std::string bytesForShownText(const QString &text, std::string_view shownFrom);
// Text put into code-page bytes (a title or a name in a message, a grid's
// cell) where the shown side still reads the code page; characters it
// lacks become "?".
std::string toCodePageText(const QString &text);

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

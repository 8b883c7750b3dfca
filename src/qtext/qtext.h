#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace marrowen {

// Engine bytes shown as text: a valid UTF-8 sequence as its character, every
// other byte as the system code page's (utf8::toUtf16).
QString toQString(std::string_view bytes);
// Text the user gives (a field, the command line, the bus, a macro, a paste)
// to engine bytes: UTF-8, as the files a Linux user searches hold it.
std::string fromQString(const QString &text);
// The bytes a field's text stands for, given the bytes it was shown from:
// those same bytes while the text is the one they show (so a stored text
// that is not UTF-8, written in the code page, keeps its bytes until the
// user changes it), else the text's own.
std::string bytesForShownText(const QString &text, std::string_view shownFrom);

// The clipboard's text as engine bytes: UTF-8 (half a surrogate pair, which
// is no character, as "?").
std::string clipboardBytes(const QString &text);

// How a line (or a statement) crosses to a program that works in Unicode (a
// script, a database) and how that program's text for it comes back: a text
// that is valid UTF-8 both ways as UTF-8, any other both ways through the
// system code page, as it was read before UTF-8 text was known. So each line
// goes back in the encoding it came in.
enum class LineEncoding { Utf8, CodePage };
LineEncoding lineEncodingOf(std::string_view text);
QString lineToQString(std::string_view text, LineEncoding encoding);
// A character the encoding cannot hold (one the code page lacks; a lone
// surrogate, which UTF-8 cannot write) becomes "?" and is counted in `lost`.
std::string lineFromQString(const QString &text, LineEncoding encoding, std::int64_t &lost);

// File names cross in the file system's own encoding (UTF-8), not the code
// page: the engine opens a name exactly as given, so a name comes back byte
// for byte, even one holding bytes that are not UTF-8 (those show as
// replacement-like characters, and Qt's own file classes cannot open it).
QString fileNameToQString(std::string_view fileName);
std::string fileNameFromQString(const QString &fileName);

// A file name put into engine text (a message, a report, an export), as the
// file system spells it: UTF-8, a byte that is no part of UTF-8 as "?".
std::string fileNameToText(std::string_view fileName);

} // namespace marrowen

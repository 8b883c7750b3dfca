#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

class QUrl;

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

// The start of `text` at most `units` UTF-16 units long, cut before the
// letter that does not fit whole (never between the halves of an emoji or
// a letter and its marks): a text that a tooltip or a label limits in units.
QString leftWholeLetters(const QString &text, qsizetype units);

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
// A byte of a name shown by fileNameToQString becomes that byte again; a
// character the encoding cannot hold (one the code page lacks; any other lone
// surrogate, which UTF-8 cannot write) becomes "?" and is counted in `lost`.
std::string lineFromQString(const QString &text, LineEncoding encoding, std::int64_t &lost);

// File names are the file system's bytes, everywhere in the program: in a
// node's fields, the files grid, messages, logs and exports. They become
// shown text, and come back from it, here alone: a valid UTF-8 sequence is
// its character, and every other byte the lone surrogate U+DC00 plus the
// byte, which looks like no letter, so "lat\351n" and "lat\303\251n" show
// apart, and which fromQString (and lineFromQString, for what a script
// hands back) turns into that byte again.
QString fileNameToQString(std::string_view fileName);
// The name a shown text means: its UTF-8, with each escaped byte as itself.
// Given `shownFrom`, the name the text was shown from, those very bytes come
// back while the text is unchanged.
std::string fileNameFromQString(const QString &fileName);
std::string fileNameFromQString(const QString &fileName, std::string_view shownFrom);

// The local file a dropped URL names, by its bytes: a file manager writes
// each byte of a name that no UTF-8 holds percent-encoded, which
// QUrl::toLocalFile would read as U+FFFD, naming another file.
QString localFileNameOf(const QUrl &url);

// A message of the program's that may name files (an error, a question about
// a file, a status line): shown as a name is, so that a name in it reads
// apart from any other, and a box that also goes to standard error gives the
// name's own bytes back (fromQString).
inline QString messageToQString(std::string_view message) { return fileNameToQString(message); }

// A file name put into engine text (fileNameText): its own bytes.
std::string fileNameToText(std::string_view fileName);

// What the desktop opens a file by (Launcher::openUrl): the path where Qt
// can spell it (valid UTF-8), else a file URL whose escapes keep every byte,
// so a name Qt cannot spell opens that file and never another.
QString fileNameToOpenTarget(std::string_view fileName);

} // namespace marrowen

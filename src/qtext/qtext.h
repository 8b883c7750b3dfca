#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace marrowen {

// Engine bytes (system code page) to a Qt text and back; characters the code
// page cannot show become "?".
QString toQString(std::string_view bytes);
std::string fromQString(const QString &text);

// File names are the file system's bytes, everywhere in the program: in a
// node's fields, the files grid, messages, logs and exports. They become
// shown text, and come back from it, here alone, by the rule engine text
// follows: a valid UTF-8 sequence is its character and every other byte the
// code page's (a name from a Windows disk or archive shows as it did there).
QString fileNameToQString(std::string_view fileName);
// The name a shown text means: its UTF-8. Given `shownFrom`, the name the
// text was shown from, those very bytes come back while the text is
// unchanged, so a name holding bytes that UTF-8 has no place for survives a
// field the user did not touch.
std::string fileNameFromQString(const QString &fileName);
std::string fileNameFromQString(const QString &fileName, std::string_view shownFrom);

// A file name put into engine text (fileNameText): its own bytes.
std::string fileNameToText(std::string_view fileName);

// What the desktop opens a file by (Launcher::openUrl): the path where Qt
// can spell it (valid UTF-8), else a file URL whose escapes keep every byte,
// so a name Qt cannot spell opens that file and never another.
QString fileNameToOpenTarget(std::string_view fileName);

} // namespace marrowen

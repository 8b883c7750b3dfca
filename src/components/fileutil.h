#pragma once

#include <QString>

namespace marrowen {

// A name the edit boxes may hand on: not empty, and free of NUL and of the
// double quote that quoting a name with blanks relies on. Every other
// character, brackets and "<>|" included, is legal in a file name here.
bool IsValidFileName(const QString &name);
// Whether `name` exists and is a folder (a link to a folder counts).
bool FolderExists(const QString &name);

// The name, without its folder, of the one entry `name` denotes; empty when
// there is none. There are no short names here, so both forms agree.
QString LongFileNameOf(const QString &name);
QString ShortFileNameOf(const QString &name);
// Every component of `path` through LongFileNameOf; a component that does
// not exist leaves an empty name between its separators.
QString LongPathOf(const QString &path);
QString ShortPathOf(const QString &path);

// The file a text names: the text itself when such a file exists, otherwise
// its first command token, so a quoted program followed by arguments gives
// the program.
QString FileNameOfText(const QString &text);
// `name` in double quotes when it holds a blank and is not quoted already.
QString QuotedFileName(const QString &name);

} // namespace marrowen

#pragma once

#include "classlib/streams.h"

#include <string>
#include <string_view>

namespace marrowen {

// The folder of the running program (programFolder), with a trailing "/".
void getProgramFolder(std::string &folder);

// Appends "/" unless the name already ends in one. An empty name stays empty:
// "no folder" must not turn into the root folder.
void IncludeTrailingBackslash(std::string &folder);

// Whether the path holds "*" or "?".
bool hasWildcards(std::string_view path);

// File names have one form only here (no short 8.3 names), so the long name
// of a path is its last component, and expanding a path to long names keeps
// it as it is.
void longFileName(std::string_view path, std::string &name);
void expandLongPathName(std::string_view path, std::string &result);

// The read-only stream through which files are read from start to end. Only
// a regular file is read: a pipe, a device or a folder is refused at once,
// without waiting for a writer. Raises EFOpenError, "Cannot open file %s" for
// a file that is not there and with the reason after it ("Permission
// denied", "It is not a regular file") for any other failure.
class TSequentiallyScannedStream : public TFileStream {
public:
  explicit TSequentiallyScannedStream(const std::string &fileName);
};

} // namespace marrowen

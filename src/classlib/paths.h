#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace marrowen {

// Folder names returned here end in "/" so that a file name can be appended
// directly, as the program folder always could.

// The folder of the running program (from /proc/self/exe), or the folder set
// by overrideProgramFolder.
std::string programFolder();
// Makes programFolder() answer `folder` (tests, portable installs); an empty
// text returns to the executable's folder.
void overrideProgramFolder(std::string_view folder);

// $XDG_DATA_HOME/Marrowen/, by default ~/.local/share/Marrowen/. Not created.
std::string writableDataFolder();

// Whether new files can be made in `folder`.
bool isFolderWritable(const std::string &folder);

// Where files that belong beside the program are written: the program folder
// when it is writable, otherwise the data folder (created on demand; a failure
// to create it shows up when the file is written).
std::string writeFolder();
// `relativeName` under writeFolder().
std::string fileForWriting(std::string_view relativeName);
// `relativeName` in the program folder when it exists there, otherwise in the
// data folder when it exists there, otherwise fileForWriting(relativeName).
std::string fileForReading(std::string_view relativeName);

// `folder` with a trailing "/" added when it lacks one; an empty folder stays
// empty (never the root).
std::string includeTrailingSeparator(std::string_view folder);
// `folder` and `name` joined by exactly one "/"; an empty folder gives `name`.
std::string joinPath(std::string_view folder, std::string_view name);
// The folder part of a file name with its trailing "/", empty when it has none.
std::string extractFilePath(std::string_view fileName);
// The name after the last "/".
std::string extractFileName(std::string_view fileName);
// Creates `folder` and its missing parents; raises EFCreateError on failure.
void forceFolders(const std::string &folder);
// The same, however deep the folder lies (each part reached through the one
// before, as ReachableName does); 0, or the errno of the part that failed.
int createFolders(const std::string &folder);

// A file name of any length, for the system calls that take a name: one that
// the system takes whole (shorter than PATH_MAX) is itself; a longer one is
// reached through a descriptor of its folder, opened a stretch of parts at a
// time (each relative to the folder before), and named through it as
// "/proc/self/fd/N/last part" for as long as the object lives. So a folder
// tree deeper than the system's limit on a name can still be read and
// written.
class ReachableName {
public:
  explicit ReachableName(const std::string &name);
  ~ReachableName();
  ReachableName(const ReachableName &) = delete;
  ReachableName &operator=(const ReachableName &) = delete;

  // The name to hand to the system; the name as given when its folder could
  // not be reached (the call then fails as it would have).
  const char *c_str() const { return (reached_.empty() ? name_ : reached_).c_str(); }
  // 0, or why the folder of a long name could not be reached.
  int error() const { return error_; }

private:
  std::string name_;
  std::string reached_;
  int folder_ = -1;
  int error_ = 0;
};

// A name as lists written for Windows give it, with "\" between folders. On
// Linux "\" is a letter of a name: each becomes "/" only when the name as
// written leads to nothing (neither a file, nor, for a mask, the folder its
// files are sought in).
std::string slashesForBackslashes(std::string name);

// The device and inode of the file a name leads to; false when there is none.
bool fileIdOf(const std::string &name, std::pair<std::uint64_t, std::uint64_t> &id);
// Whether two names name one file: the same text, or the same device and inode.
bool sameFile(const std::string &a, const std::string &b);

} // namespace marrowen

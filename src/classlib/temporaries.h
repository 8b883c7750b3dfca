#pragma once

#include <cstdint>
#include <string>

namespace marrowen {

// The temporary files and folders that running jobs and saves hold, and the
// programs jobs run, so that a program ended before they could finish (a
// signal, the quit watchdog) still removes the files and ends the programs.
// Safe from any thread.
//
// An entry registers one path, or one program's process group, for as long
// as it lives; it never removes the path or ends the program itself: its
// holder removes the path, or renames it over its target, or ends and reaps
// the program, and then lets the entry go.
class TemporaryEntry {
public:
  TemporaryEntry() = default;
  explicit TemporaryEntry(const std::string &path);
  // A program that a job started in a process group of its own.
  static TemporaryEntry program(int processGroup);
  // Makes a new file from `pattern` (ending in "XXXXXX", replaced by the
  // name made) and registers it in one step: a program ended between the two
  // would leave the file behind. `fd` is the open file, or -1 with errno set
  // (ECANCELED once the program is ending).
  static TemporaryEntry createFile(std::string &pattern, int flags, int &fd);
  // Gives the open file `fd`, made without a name, a new name from `pattern`
  // and registers it in one step, so that a whole text is named only just
  // before it replaces its target. `error` is 0, or the errno of a failure
  // (ECANCELED once the program is ending).
  static TemporaryEntry linkFile(int fd, std::string &pattern, int &error);
  TemporaryEntry(TemporaryEntry &&other) noexcept;
  TemporaryEntry &operator=(TemporaryEntry &&other) noexcept;
  TemporaryEntry(const TemporaryEntry &) = delete;
  TemporaryEntry &operator=(const TemporaryEntry &) = delete;
  ~TemporaryEntry();

private:
  TemporaryEntry(std::string path, int processGroup);

  std::uint64_t id_ = 0;
};

// Kills every registered program group, then removes every registered path
// (a folder with all it holds); from then on each one as soon as it is
// registered: for a program about to end.
void removeAllTemporaries();

} // namespace marrowen

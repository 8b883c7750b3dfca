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
// registered: for a program about to end. The journal below goes too.
void removeAllTemporaries();

// From now on every temporary file made by `createFile` or `linkFile` is
// recorded as in flight, until its entry goes, in a journal of this process
// in `folder` (created when missing), which the process holds locked for as
// long as it runs. A program killed without warning (SIGKILL, a power cut)
// cannot remove its temporary files; its journal tells the next run which
// ones they are. A temporary file whose entry was let go without removing it
// (a text kept for the user, whose target could not be replaced) is no longer
// in flight. Call once, early; without a folder it can write to, nothing is
// recorded.
void recordTemporariesIn(const std::string &folder);

// Removes the temporary files in flight in the journals in `folder` of
// processes that have ended (their lock is gone), then those journals. A
// running process's journal is left alone, and so is anything that is not a
// regular file named as a temporary file is ("KVB" and six characters, or a
// name ending in ".~" and six). Returns the number of files removed.
int removeTemporariesOfEndedRuns(const std::string &folder);

} // namespace marrowen

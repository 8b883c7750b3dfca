#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace marrowen {

// The permission bits a new file gets: 0666 less the process's umask.
mode_t newFileMode();

// Writing past the process's file-size limit then fails as a write error,
// so the writer's clean-up runs, instead of the signal ending the process
// with a half-written temporary file left behind. Every program calls it.
void ignoreFileSizeSignal();

// Writing to a pipe whose reader has gone (standard error into a closed
// pipe) is then a failed write, which the writer may ignore, not a kill.
// Programs started later get the signal's default back.
void ignoreBrokenPipeSignal();

// Takes the whole open file `fd` for its holder alone, without waiting (an
// advisory write lock of the open file, so that two holders in one program
// exclude each other too; readers take none). 0, or the errno of the refusal:
// EAGAIN or EACCES while another holds it, ENOLCK where the file system keeps
// no locks.
int lockForWriting(int fd);

// Whether another holder has the file `fileName` locked for writing as
// `lockForWriting` does (an append running in another job or program):
// renaming a new file over it would take its text away with the old file.
bool heldForWriting(const std::string &fileName);

// Takes an exclusive advisory lock (flock) of the open file `fd`, which guards
// `name`, waiting at most lockWaitLimit() for another holder to let it go: a
// program stuck while it holds a file the programs share (the log, the
// language file, the settings folder) must not hold up every other. True when
// taken, or where the file system keeps no locks. False when another held it
// that long: the caller goes on without it, and at the first such refusal for
// `name` in a run the user is told which file another program holds and
// `consequence`. Once a wait for `name` ran out, later ones in the run only try.
bool lockOrGoOn(int fd, const std::string &name, std::string_view consequence);
std::chrono::milliseconds lockWaitLimit();
// While one lives, waits for a lock end after `limit` instead, and every file
// counts as never refused: a test need not wait seconds for a lock it holds.
class LockWaitLimitForTests {
public:
  explicit LockWaitLimitForTests(std::chrono::milliseconds limit);
  ~LockWaitLimitForTests();
  LockWaitLimitForTests(const LockWaitLimitForTests &) = delete;
  LockWaitLimitForTests &operator=(const LockWaitLimitForTests &) = delete;

private:
  std::chrono::milliseconds previous_;
};

// Replaces the whole contents of `fileName` with `bytes` in one step, so that
// a reader (or a crash) sees either the old file or the new one, never half
// of it: the bytes go into a temporary file beside the target, which takes the
// old file's permission bits (or `newMode` for a new file), is flushed to
// disk and renamed over the target. The new file keeps the old one's group
// (and owner) where the user may give them. A symbolic link is written
// through to the file it names and survives; a target that is not a regular
// file (a folder, a pipe, a device) is refused. On failure the target is as
// it was and no temporary file is left.
struct FileReplaceResult {
  int error = 0;        // 0, or the errno of the step that failed
  bool created = false; // whether the temporary file could be made at all
  explicit operator bool() const { return error == 0; }
};
FileReplaceResult replaceFileContents(const std::string &fileName, std::string_view bytes,
                                      mode_t newMode = newFileMode());

// The same, except that where no temporary file can be made beside an
// existing file (a folder the user may not write), the file is rewritten
// where it stands, as a file that is "created or truncated" would be; should
// that fail, its old bytes are put back.
FileReplaceResult replaceOrRewriteFileContents(const std::string &fileName, std::string_view bytes);

// Whether an existing regular file was made read-only by its user: it has no
// write permission at all (which stops even root's saves), or none for this
// process. A save must leave such a file alone, though its folder would let a
// new file be renamed over it.
bool madeReadOnly(const std::string &fileName);

// What identifies one version of a file: a rename over it, or a rewrite in
// place, changes at least one of these. A file that is not there has the
// empty signature.
struct FileSignature {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t mtimeSeconds = 0;
  long mtimeNanoseconds = 0;

  static FileSignature of(const struct stat &st);
  static FileSignature of(const std::string &fileName);
  bool operator==(const FileSignature &) const = default;
};

} // namespace marrowen

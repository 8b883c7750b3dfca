#pragma once

#include "classlib/temporaries.h"
#include "engine/filter.h"

#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace marrowen {

// The base of every chain end. It answers the chain's questions about the
// current input's name and keeps the job's global variables (name=value,
// names compared without regard to case). Inside a subfilter chain it passes
// variable requests on, so that they reach the main chain's output.
class TGenericOutput : public TFilter {
public:
  bool hasChanged() override;
  void setInputFilename(const std::string &name) override;
  // The file-name part of the stored name.
  std::string getInputFilename() override;
  std::string getFullInputFilename() override;
  std::string getGlobalVar(const std::string &name) override;
  // Setting an empty value removes the variable.
  void setGlobalVar(const std::string &name, const std::string &value) override;

protected:
  std::string inputFileName_;

private:
  std::vector<std::pair<std::string, std::string>> variables_;
};

// How a file output names and writes its targets.
struct FileOutputOptions {
  // Writes a copy named after the target with ".dCv" appended instead.
  bool testMode = false;
  // The target takes the input's modification time.
  bool retainDate = false;
  bool changeExtension = false;
  // An extension without a "." gets one in front.
  std::string newExtension{};
  // An empty folder raises an error.
  bool useOutputFolder = false;
  std::string outputFolder{};
  bool keepFolderStructure = false;
  bool append = false;
};

// Writes each input's result to a file. The result is written to a temporary
// file beside the target, which gets its name ("KVB" prefix) only once every
// byte was written and the job was not aborted, and is then renamed over the
// target, so a target is either replaced whole or left as it was, and a
// program killed while writing leaves no half-written file. The new file takes the replaced
// target's permission bits. A target that is a symbolic link is written through: the file it names
// is replaced and the link stays; a dangling link or a folder in the target's place is refused. An
// input rewritten in place that another program changed while the job read it is left as it is: its
// new text would drop that change. In append mode the output goes straight into the target, which
// the output holds for itself alone (an advisory write lock) for as long as it appends: a target
// another program is writing fails for that input, untouched. An append that fails or is stopped
// cuts the target back to the length it had before, so it never keeps part of a text, and what is
// said of it is what its length then shows. A program that appends without taking the lock (a
// shell's ">>", a logger) is not kept out: the job then writes whole lines, so that the other's
// lines fall between its own, and a failed or stopped append is cut back only while the file still
// ends where the job's last write ended and nobody wrote between the job's writes; otherwise it is
// left as it is, and said to hold part of the job's text. A target that
// another job or program holds that lock on is not replaced: that input
// fails. An append whose target another program replaces or removes
// meanwhile fails, and the file then there is left alone.
//
// A job never replaces a file it wrote itself for another input (two inputs
// whose targets meet in one name, by letter case on a file system that folds
// it, through a link, or a split part meeting another input's output): the
// later input is an error and the first output stays. Appending and merging
// put many inputs in one file on purpose and are not refused.
//
// A part of a split input (the name the input was given with a part number
// appended) is written as the input's own target with that number appended,
// so that a changed extension never gives every part one name. Each part,
// once whole, waits (without a name where it can) until the input has ended:
// `settleParts` then renames them all over their targets or removes them
// all.
class TFileOutput : public TGenericOutput {
public:
  using Options = FileOutputOptions;

  explicit TFileOutput(Options options = {});
  ~TFileOutput() override;

  void startJob() override;
  void setInputFilename(const std::string &name) override;
  void openFile(const std::string &name) override;
  bool processChunk(std::string &chunk) override;
  // Appends the line straight to the write buffer (no chunk is built).
  bool putLine(std::string_view line, std::string_view lineEnd) override;
  // Reports the target and whether it now holds the text in full.
  FileResult closeFile() override;
  void abandonFile() override;
  void abandonJob() override;
  OutputTarget outputTarget(const std::string &inputName) override;
  bool testMode() const override { return testMode_; }

  // The target written for an input: extension changed, moved under the
  // output folder, ".dCv" appended in test mode.
  std::string outputName(const std::string &inputName) const;
  // The name of one part of a split input whose target is `target`: the part
  // number goes before the test copy's ".dCv".
  static std::string partName(const std::string &target, std::string_view partSuffix,
                              bool testMode);

  // A merged file holds one input after another: the start of the next one
  // is marked, and an input that fails half-way is taken back to its mark,
  // so the merged file never holds part of an input.
  void markInputStart() override;
  void takeBackInput() override;
  bool settleParts(bool keep) override;

private:
  // A whole part of a split input, waiting without a name (its descriptor)
  // or under a temporary name.
  struct HeldPart {
    int fd = -1;
    std::string writtenName;
    TemporaryEntry temporary;
    std::string target;      // as reported
    std::string writeTarget; // the file renamed over
    std::int64_t size = 0;
    // A part appended to its target, which is reported once the input has
    // ended whole, else cut back as an append taken back is.
    bool appended = false;
    bool created = false;         // the append made the target
    std::int64_t appendStart = 0; // the target's length before the append
    std::int64_t appendEnd = -1;  // where it ended; -1 when another program wrote between
    dev_t device = 0;
    ino_t inode = 0;
  };
  // Removes the parts held, which no input will put in place, and takes back
  // the parts appended.
  void dropHeldParts();
  void takeBackAppendedPart(const HeldPart &part);
  // Raises a stream error when the target is a file this job wrote for
  // another input.
  void refuseOutputOfAnotherInput() const;
  // Remembers that `file`, now in place, holds the output of `input`.
  void noteWritten(const std::string &file, const std::string &input);

  bool writeBuffer();
  // Takes bytes into the file: short ones through the write buffer.
  bool write(std::string_view bytes);
  // The same for an append, which goes out in whole lines, as a logger's
  // does: another program appending meanwhile puts its lines between the
  // job's, not inside them.
  bool writeLines(std::string_view bytes);
  bool writeBytes(std::string_view bytes);
  void closeStream();
  void discardFile();
  // Takes back what this append added (by the descriptor while it is open,
  // else by name), only while the file still ends where the job's last write
  // ended and nobody wrote between its writes: what another program appended
  // is never cut away. Empty, or why the file was left as it is.
  std::string cutBackAppend();
  // Reports a failed or stopped append by what its target now holds.
  void settleFailedAppend(const std::string &cutFailure);
  // "; it now holds N bytes, part of this job's text among them", empty
  // when the file cannot be looked at.
  std::string holdsPartialText() const;
  // Whether the target's name no longer leads to the file this append has
  // open: another program renamed a file over it or removed it, and what the
  // append wrote went with the file it took away.
  bool appendTargetReplaced() const;
  // Whether the target is as long as before the append: a file the append
  // made may then go, as nobody else wrote to it.
  bool holdsWhatItHeld() const;

  // Removes the file written so far, when it has a name.
  void removeWrittenFile();

  int fd_ = -1;
  std::string writeBuffer_;
  // Empty while the new text is in a file without a name (see openFile).
  std::string writtenFileName_;
  bool unnamed_ = false;
  TemporaryEntry temporary_; // the temporary file, while it is one
  std::string targetName_;
  std::string writeTarget_; // the file renamed over: the target, or the file its link names
  bool retainDate_;
  bool changeExtension_;
  std::string newExtension_;
  bool useOutputFolder_;
  std::string outputFolder_;
  bool keepFolderStructure_;
  bool append_;
  std::int64_t appendStart_ = 0;  // the target's length before this append
  std::int64_t lastWriteEnd_ = 0; // where the job's last write to the target ended
  bool othersWrote_ = false;      // another program appended between the job's writes
  std::int64_t written_ = 0;      // bytes written to the file this time
  std::int64_t inputStart_ = 0;   // where the current input's text began, from the same place
  bool appendCreated_ = false;    // the append made the target, which was missing
  // The input as it was when opened; none when it could not be read.
  std::optional<struct stat> inputInfo_;
  bool replacesInput_ = false; // the target is the input file itself
  bool testMode_;
  std::string targetBaseName_;
  std::string inputOfParts_; // the input's name, which each part's name extends
  bool isPart_ = false;      // the file written is one part of a split input
  std::vector<HeldPart> heldParts_;
  // The files this job put in place, by device and inode (so that two names
  // of one file meet), each with the input it holds the output of.
  std::map<std::pair<dev_t, ino_t>, std::string> writtenFor_;
  std::string writeError_; // why the last write failed; empty while all is well
};

// Collects the text of the whole job and delivers it at `endJob`. An input
// that fails half-way is taken back out of it, as out of a merged file.
class TAccumulateOutput : public TGenericOutput {
public:
  void startJob() override;
  void openFile(const std::string &name) override;
  bool processChunk(std::string &chunk) override;
  FileResult closeFile() override;
  void abandonFile() override;
  const std::string &accumulatedText() const { return text_; }

protected:
  std::string text_;

private:
  // Where the current input's text begins: the end of the last input that
  // closed, so an input that fails before it opens takes nothing back.
  std::size_t inputStart_ = 0;
};

// Puts the text of all inputs of a job on the clipboard (up to its first NUL).
class TClipboardOutput : public TAccumulateOutput {
public:
  void startJob() override;
  void openFile(const std::string &name) override;
  void endJob() override;
};

// Delivers the text of the job into a string that the caller owns and keeps
// alive for as long as the chain runs.
class TStringOutput : public TAccumulateOutput {
public:
  explicit TStringOutput(std::string &target) : target_(&target) {}
  void openFile(const std::string &name) override;
  void endJob() override;

protected:
  TStringOutput() = default;
  void setTarget(std::string &target) { target_ = &target; }

private:
  std::string *target_ = nullptr;
};

// The trial run's output: with a job, its text is shown through
// `showTrialOutput` on the user-interface thread at the end of the job.
class TAdhocOutput : public TStringOutput {
public:
  explicit TAdhocOutput(std::function<void(const std::string &text)> showTrialOutput = {});
  void endJob() override;
  const std::string &result() const { return result_; }

private:
  std::string result_;
  std::function<void(const std::string &)> showTrialOutput_;
};

} // namespace marrowen

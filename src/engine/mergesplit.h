#pragma once

#include "engine/outputs.h"

namespace marrowen {

// Turns every input of a job into one output file: placed before a
// `TFileOutput`, it opens the merged file once, with the first input, stops
// the per-file calls, and closes the merged file at `endJob`; a job none of
// whose inputs joined it whole leaves the merged file untouched. Filters before it
// see each input's own name, the output after it the merged file's.
class TMergeFiles : public TGenericOutput {
public:
  explicit TMergeFiles(std::string mergeFileName);

  bool hasChanged() override;
  void startJob() override;
  void setInputFilename(const std::string &name) override;
  void openFile(const std::string &name) override;
  void reset() override;
  void flush() override;
  // Each input joins the merged file, which is written only at `endJob`.
  FileResult closeFile() override;
  OutputTarget outputTarget(const std::string &inputName) override;
  // Takes the failed input's text back out of the merged file.
  void abandonFile() override;
  void endJob() override;
  // The merged file goes unwritten; its target stays as it was.
  void abandonJob() override;
  std::optional<FileResult> mergedFileResult() override { return mergedResult_; }

private:
  std::string mergeFileName_;
  std::optional<FileResult> mergedResult_;
  bool opened_ = false;
  bool inputOpen_ = false; // the current input has begun in the merged file
  bool joined_ = false;    // an input has joined it whole
};

// Cuts one input into numbered part files (name.000, name.001, ...): each
// part is opened, reset, flushed and closed on the filters after it as a file
// of its own. The input's own flush and close end the last part. The parts
// are put in place together once the input has ended whole: an input that
// fails, changes while it is read or is stopped leaves none of them, and the
// files that held those names stay as they were.
class TGenericSplitFiles : public TFilter {
public:
  void openFile(const std::string &name) override;
  // The last part's result, failed when any part of the input failed or
  // could not be put in place.
  FileResult closeFile() override;
  // The first part's: the input itself is never written.
  OutputTarget outputTarget(const std::string &inputName) override;

protected:
  // Ends the current part and opens the next one.
  void endPart();
  void startNextPart();
  std::string nextPartSuffix();

private:
  int partCounter_ = 0;
  bool partFailed_ = false;
  std::string baseName_;
};

// A new part after every `partSize` bytes; a full part is closed at once, so
// an input of exactly n parts ends with an empty part. A size below 1 raises
// an error.
class TSplitAtSize : public TGenericSplitFiles {
public:
  explicit TSplitAtSize(int partSize);
  bool processChunk(std::string &chunk) override;
  void startFile() override;

private:
  int partSize_;
  std::int64_t bytesInPart_ = 0;
};

// A new part at every `count`-th occurrence of a character, chosen by its
// code in the code page: one of 128 or more is found both as its UTF-8
// sequence and as the code page's byte standing alone, never within another
// character's sequence. Mode 0: the character begins the next part; 1: it
// ends the current part; any other value drops it. A count below 1 counts
// as 1.
class TSplitAtChar : public TGenericSplitFiles {
public:
  TSplitAtChar(char splitChar, int mode, int count);
  bool processChunk(std::string &chunk) override;
  void startJob() override;
  void startFile() override;
  // Judges the bytes still held as the code page's.
  void endFile() override;

private:
  // The character's code point in the code page in use.
  void takeCodePoint();
  // Where the next occurrence of the character begins in `text` at or after
  // `from`, and its length; npos when there is none.
  std::size_t find(std::string_view text, std::size_t from, std::size_t &length) const;
  bool split(std::string_view text);

  char splitChar_;
  char32_t codePoint_ = 0;
  int mode_;
  int count_;
  int seen_ = 0;
  // The bytes that end a chunk and begin a sequence the next chunk may
  // complete; empty while a chunk is split, as a part may end then.
  std::string held_;
};

} // namespace marrowen

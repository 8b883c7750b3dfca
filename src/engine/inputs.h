#pragma once

#include "engine/filter.h"

#include <cstdint>
#include <string>

namespace marrowen {

// The head of every chain: it chooses the inputs of a job and drives the read
// loop over them.
class TAbstractInput : public TFilter {
public:
  bool hasChanged() override;
  void startJob() override;

  // Reads the next chunk of at most 4096 bytes; returns its length.
  virtual std::int64_t readChunk(std::string &chunk) = 0;
  virtual void updateProgress() = 0;
  // Moves to the next input; false when there is none.
  virtual bool nextInput() = 0;

protected:
  std::int32_t inputIndex_ = 0;
};

// The read loop and the bookkeeping it needs. Per input the chain receives
// `resetStatistics`, `setInputFilename`, `openFile`, `reset`, the chunks,
// `flush`, `closeFile`; per job `startJob` first and `endJob` last. A stream
// error ends only the input it happened in: it is reported, the output
// abandons what it began for that input, and the next input follows.
class TGenericInput : public TAbstractInput {
public:
  static constexpr std::int64_t chunkSize = 4096;

  // Runs the whole job over every input. Refuses to run again while it
  // runs (a window may pump messages from inside the loop).
  void runInput();

  void openFile(const std::string &name) override;
  FileResult closeFile() override;
  void updateProgress() override;

  const std::string &currentInputName() const { return currentInputName_; }
  // Whether `fileName` leads to one of the files this input reads in the
  // current job. Inputs that read no files answer false.
  virtual bool isInputFile(const std::string &fileName);

protected:
  // What the last `readChunk` returned, for the progress.
  std::int64_t lastChunkLength_ = 0;
  std::string currentInputName_;
  std::int64_t inputSize_ = 0;
  std::int64_t bytesRead_ = 0;

private:
  void runOneInput();
  // Gives up the current input when a failure other than a stream error
  // ends the job.
  void abandonAfterFailure();
  // Takes back the inputs of a merged file that was not written.
  void settleMergedCount();
  bool running_ = false;
  int mergedCounted_ = 0; // inputs counted as they joined the merged file
  // The current file reached the job's counts; a failure after that is not
  // counted a second time.
  bool fileCounted_ = false;
};

// Reads the clipboard's text, taken once at the start of the job.
class TClipboardInput : public TGenericInput {
public:
  void startJob() override;
  bool nextInput() override;
  std::int64_t readChunk(std::string &chunk) override;
  void endJob() override;
  void abandonJob() override;

private:
  // Once a job, however it ends.
  void toggleClipboardButton();
  std::string text_;
  std::size_t readOffset_ = 0;
  bool buttonToggled_ = false;
};

// Reads a text held in memory. The text is consumed: a second run delivers
// nothing until `setText` gives a new one.
class TStringInput : public TGenericInput {
public:
  explicit TStringInput(std::string name);

  void setText(std::string text);
  std::string getInputFilename() override;
  std::string getFullInputFilename() override;
  void startJob() override;
  bool nextInput() override;
  std::int64_t readChunk(std::string &chunk) override;
  void endJob() override;

private:
  std::string name_;
  std::string text_;
  std::size_t readOffset_ = 0;
};

} // namespace marrowen

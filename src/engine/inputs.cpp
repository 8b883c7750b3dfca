#include "engine/inputs.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/job.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/userinterface.h"

#include <algorithm>

namespace marrowen {

namespace {

// Delivers the next chunk of an in-memory text from `offset`.
std::int64_t readFromText(const std::string &text, std::size_t &offset, std::string &chunk) {
  std::size_t n = std::min<std::size_t>(TGenericInput::chunkSize, text.size() - offset);
  chunk.assign(text, offset, n);
  offset += n;
  return static_cast<std::int64_t>(n);
}

} // namespace

// --- TAbstractInput ---

bool TAbstractInput::hasChanged() { return false; }

void TAbstractInput::startJob() {
  inputIndex_ = 0;
  initCharTables();
  TFilter::startJob();
}

// --- TGenericInput ---

void TGenericInput::runInput() {
  if (running_)
    throw Exception("The filter chain is already running");
  running_ = true;
  struct RunningFlag {
    bool &flag;
    ~RunningFlag() { flag = false; }
  } runningFlag{running_};

  // Links every subfilter chain's end; harmless when the job attached already.
  attachJob(job());
  // A job ended before `endJob` (a stop inside a long match, a failing
  // filter) still takes its temporary files with it: a merged file's, too.
  auto abandon = [this] {
    try {
      abandonJob();
    } catch (...) {
      // What ended the job is what the caller hears of.
    }
  };
  mergedCounted_ = 0;
  try {
    startJob();
    while (nextInput()) {
      runOneInput();
      if (isAborted())
        break;
    }
    endJob();
  } catch (const EStreamError &error) {
    abandon();
    logError(error.message());
  } catch (...) {
    abandon();
    settleMergedCount();
    throw;
  }
  settleMergedCount();
}

void TGenericInput::settleMergedCount() {
  if (mergedCounted_ > 0 && job()) {
    const std::optional<FileResult> merged = mergedFileResult();
    if (!merged || merged->failed)
      job()->takeBackProcessedFiles(mergedCounted_);
  }
  mergedCounted_ = 0;
}

void TGenericInput::runOneInput() {
  // Gives up the input: the output discards its temporary file, so nothing
  // half-written is left behind or moved over a target.
  auto abandon = [this] {
    try {
      abandonFile();
    } catch (const EStreamError &error) {
      logError(error.message());
    }
  };
  fileCounted_ = false;
  try {
    resetStatistics();
    setInputFilename(currentInputName_);
    openFile(currentInputName_);
    reset();
    std::string chunk;
    chunk.reserve(chunkSize);
    do {
      if (!job())
        processMessages();
      if (isAborted())
        break;
      lastChunkLength_ = readChunk(chunk);
      if (!processChunk(chunk))
        break;
      updateProgress();
    } while (lastChunkLength_ >= chunkSize);
    flush();
    closeFile();
  } catch (const EStreamError &error) {
    logError(error.message());
    abandon();
    if (job() && !fileCounted_ && !isAborted())
      job()->incFailedFiles();
  } catch (EIntError &error) {
    // The bare "Arithmetic overflow" tells nobody where to look.
    error.setMessage(
        error.origin.empty()
            ? Format("%s while processing [%s]", {error.message(), loggedName(currentInputName_)})
            : Format("%s in '%s' while processing [%s]",
                     {error.message(), error.origin, loggedName(currentInputName_)}));
    abandonAfterFailure();
    throw;
  } catch (...) {
    abandonAfterFailure();
    throw;
  }
}

void TGenericInput::abandonAfterFailure() {
  try {
    abandonFile();
  } catch (...) {
    // What ended the input is what the caller hears of.
  }
}

bool TGenericInput::isInputFile(const std::string & /*fileName*/) { return false; }

void TGenericInput::openFile(const std::string &name) {
  bytesRead_ = 0;
  if (job()) {
    job()->setStatusFileName(name);
    job()->setFileProgress(0);
  }
  TFilter::openFile(name);
}

void TGenericInput::updateProgress() {
  bytesRead_ = checkedAdd(bytesRead_, lastChunkLength_);
  if (!job())
    return;
  job()->showElapsedTime();
  // What has passed the chain, not merely what was read: a sort holds the
  // whole file until its end, and the bar at 100 would say the work is done
  // while the sort is still to come. Text a filter makes longer (ß to SS)
  // may hold back more than was read.
  std::int64_t percent = 0;
  if (inputSize_ > 0) {
    const std::int64_t done = checkedSub(bytesRead_, totalBufferedLength());
    percent = std::clamp<std::int64_t>(checkedMul<std::int64_t>(done, 100) / inputSize_, 0, 100);
  }
  job()->setFileProgress(static_cast<int>(percent));
}

FileResult TGenericInput::closeFile() {
  FileResult result = TFilter::closeFile();
  // A file whose output failed was not processed, whatever the count says;
  // one a stop cut short was not even done. An input of a merged file
  // counts at once, for the progress, and is taken back should the merged
  // file not be written.
  if (job()) {
    fileCounted_ = true;
    if (!result.failed) {
      job()->incProcessedFiles();
      if (result.target.merged)
        ++mergedCounted_;
    } else if (!isAborted()) {
      job()->incFailedFiles();
    }
  }
  return result;
}

// --- TClipboardInput ---

void TClipboardInput::startJob() {
  buttonToggled_ = false;
  // An empty text would run as if the clipboard had been read.
  if (!hasSharedClipboard())
    throw EStreamError("There is no clipboard to read the input from: the program runs without "
                       "a display. Nothing was run");
  runOnUserInterface([this] { text_ = getClipboardText(); });
  readOffset_ = 0;
  inputSize_ = static_cast<std::int64_t>(text_.size());
  if (job()) {
    job()->logInputFile("Clipboard", inputSize_);
    job()->setStatusText(translate(4040, "Processing clipboard..."));
  }
  TAbstractInput::startJob();
}

bool TClipboardInput::nextInput() {
  if (inputIndex_ > 0)
    return false;
  readOffset_ = 0;
  currentInputName_ = "Clipboard";
  ++inputIndex_;
  return true;
}

std::int64_t TClipboardInput::readChunk(std::string &chunk) {
  return readFromText(text_, readOffset_, chunk);
}

void TClipboardInput::endJob() {
  if (job()) {
    toggleClipboardButton();
    logStatistics("");
  }
  TFilter::endJob();
}

void TClipboardInput::abandonJob() {
  // The window turned its clipboard button off for the job; a job that
  // failed must give it back as one that ended does.
  toggleClipboardButton();
  TFilter::abandonJob();
}

void TClipboardInput::toggleClipboardButton() {
  if (job() && !buttonToggled_) {
    buttonToggled_ = true;
    job()->toggleClipboardButton();
  }
}

// --- TStringInput ---

TStringInput::TStringInput(std::string name) : name_(std::move(name)) {}

void TStringInput::setText(std::string text) {
  text_ = std::move(text);
  readOffset_ = 0;
}

std::string TStringInput::getInputFilename() { return name_; }

std::string TStringInput::getFullInputFilename() { return name_; }

void TStringInput::startJob() {
  inputSize_ = static_cast<std::int64_t>(text_.size() - readOffset_);
  if (job()) {
    job()->logInputFile(translate(4060, "Trial Input"), inputSize_);
    job()->setStatusText(translate(4070, "Processing trial run input..."));
  }
  TAbstractInput::startJob();
}

bool TStringInput::nextInput() {
  if (inputIndex_ > 0)
    return false;
  currentInputName_ = translate(4050, "Trial Input");
  ++inputIndex_;
  return true;
}

std::int64_t TStringInput::readChunk(std::string &chunk) {
  const std::int64_t length = readFromText(text_, readOffset_, chunk);
  if (readOffset_ == text_.size()) {
    // Consumed: free the text now rather than at the next `setText`.
    std::string().swap(text_);
    readOffset_ = 0;
  }
  return length;
}

void TStringInput::endJob() {
  if (job())
    logStatistics("");
  TFilter::endJob();
}

} // namespace marrowen

#include "engine/mergesplit.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"

#include <cstring>
#include <utility>

namespace marrowen {

// --- TMergeFiles ---

TMergeFiles::TMergeFiles(std::string mergeFileName) : mergeFileName_(std::move(mergeFileName)) {}

bool TMergeFiles::hasChanged() { return true; }

void TMergeFiles::startJob() {
  mergedResult_.reset();
  opened_ = false;
  inputOpen_ = false;
  joined_ = false;
  TFilter::startJob();
}

void TMergeFiles::setInputFilename(const std::string &name) {
  // The input before this one ended whole: one that failed was taken back.
  joined_ = joined_ || inputOpen_;
  inputOpen_ = false;
  TFilter::setInputFilename(mergeFileName_);
  inputFileName_ = name;
}

// The merged file is opened with the first input that opens, so a job
// whose inputs all failed or that found none leaves the target alone.
void TMergeFiles::openFile(const std::string &) {
  if (!opened_) {
    if (next())
      next()->openFile(mergeFileName_);
    opened_ = true;
    TFilter::reset();
  }
  // A split before it opens each part of an input as a file: the input's
  // text begins with its first part, and goes back whole should it fail.
  if (!std::exchange(inputOpen_, true))
    TFilter::markInputStart();
}

void TMergeFiles::reset() {}

void TMergeFiles::flush() {}

// A part of a split input ends here too: the input has ended only when the
// next one begins or the job ends.
FileResult TMergeFiles::closeFile() { return {outputTarget(mergeFileName_), false}; }

OutputTarget TMergeFiles::outputTarget(const std::string &) {
  OutputTarget target = TFilter::outputTarget(mergeFileName_);
  target.merged = true;
  return target;
}

// One failed input must not throw away what the merged file already holds,
// nor leave part of its own text in it. An input that failed before it
// reached the merged file (one that could not be opened) has nothing to take
// back: the mark is still where the input before it began.
void TMergeFiles::abandonFile() {
  if (!opened_ || !std::exchange(inputOpen_, false))
    return;
  TFilter::takeBackInput();
}

void TMergeFiles::endJob() {
  joined_ = joined_ || std::exchange(inputOpen_, false);
  if (opened_ && !joined_) {
    // Every input failed and was taken back: an empty file must not replace
    // what the target held.
    if (next())
      next()->abandonFile();
    mergedResult_ = FileResult{outputTarget(mergeFileName_), true};
    opened_ = false;
  } else if (opened_) {
    TFilter::flush();
    mergedResult_ = next() ? next()->closeFile() : FileResult{};
    opened_ = false;
  }
  TFilter::endJob();
}

void TMergeFiles::abandonJob() {
  opened_ = false;
  inputOpen_ = false;
  TFilter::abandonJob();
}

// --- TGenericSplitFiles ---

std::string TGenericSplitFiles::nextPartSuffix() { return Format(".%3.3d", {partCounter_++}); }

void TGenericSplitFiles::openFile(const std::string &name) {
  baseName_ = name;
  partCounter_ = 0;
  partFailed_ = false;
  TFilter::openFile(name + nextPartSuffix());
}

void TGenericSplitFiles::endPart() {
  flush();
  partFailed_ = TFilter::closeFile().failed || partFailed_;
}

FileResult TGenericSplitFiles::closeFile() {
  FileResult result = TFilter::closeFile();
  result.failed = result.failed || partFailed_;
  partFailed_ = false;
  if (!TFilter::settleParts(!result.failed && !isAborted()))
    result.failed = true;
  return result;
}

OutputTarget TGenericSplitFiles::outputTarget(const std::string &inputName) {
  OutputTarget target = TFilter::outputTarget(inputName);
  if (target.toFile())
    target.fileName = TFileOutput::partName(target.fileName, ".000", target.testMode);
  return target;
}

void TGenericSplitFiles::startNextPart() {
  if (next())
    next()->openFile(baseName_ + nextPartSuffix());
  reset();
}

// --- TSplitAtSize ---

TSplitAtSize::TSplitAtSize(int partSize) : partSize_(partSize) {
  if (partSize_ < 1)
    throw Exception(
        Format("Invalid split size %d: a part must hold at least one byte", {partSize_}));
}

bool TSplitAtSize::processChunk(std::string &chunk) {
  if (bytesInPart_ + static_cast<std::int64_t>(chunk.size()) < partSize_) {
    bytesInPart_ += static_cast<std::int64_t>(chunk.size());
    return sendToNext(chunk);
  }
  std::string_view rest = chunk;
  std::string piece;
  while (!rest.empty()) {
    auto room = static_cast<std::size_t>(partSize_ - bytesInPart_);
    if (rest.size() < room) {
      piece.assign(rest);
      bytesInPart_ += static_cast<std::int64_t>(rest.size());
      return sendToNext(piece);
    }
    piece.assign(rest.substr(0, room));
    rest.remove_prefix(room);
    // A failed write ends the input; the rest of the chunk has nowhere to go.
    if (!sendToNext(piece))
      return false;
    endPart();
    startNextPart();
    bytesInPart_ = 0;
  }
  return true;
}

void TSplitAtSize::startFile() { bytesInPart_ = 0; }

// --- TSplitAtChar ---

TSplitAtChar::TSplitAtChar(char splitChar, int mode, int count)
    : splitChar_(splitChar), mode_(mode), count_(count < 1 ? 1 : count) {
  takeCodePoint();
}

void TSplitAtChar::takeCodePoint() {
  const auto byte = static_cast<unsigned char>(splitChar_);
  codePoint_ = byte < 0x80 ? byte : charTables()->toUnicode(byte);
}

void TSplitAtChar::startJob() {
  takeCodePoint();
  TGenericSplitFiles::startJob();
}

std::size_t TSplitAtChar::find(std::string_view text, std::size_t from, std::size_t &length) const {
  const auto byte = static_cast<unsigned char>(splitChar_);
  length = 1;
  // An ASCII byte never lies within a sequence.
  if (byte < 0x80) {
    const void *hit = std::memchr(text.data() + from, byte, text.size() - from);
    return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - text.data())
               : std::string_view::npos;
  }
  const auto *p = reinterpret_cast<const unsigned char *>(text.data());
  for (std::size_t i = from; i < text.size();) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      if (c == codePoint_)
        return i;
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t n = utf8::decodeSequence(p + i, text.size() - i, cp);
    if (n ? cp == codePoint_ : c == byte) {
      length = n ? n : 1;
      return i;
    }
    i += n ? n : 1;
  }
  return std::string_view::npos;
}

bool TSplitAtChar::split(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  std::size_t length = 0;
  for (std::size_t hit; (hit = find(text, at, length)) != std::string_view::npos;) {
    const std::string_view character = text.substr(hit, length);
    out.append(text, at, hit - at);
    at = hit + length;
    if (++seen_ < count_) {
      out += character;
      continue;
    }
    seen_ = 0;
    if (mode_ == 1)
      out += character;
    if (!sendToNext(out))
      return false;
    endPart();
    out.clear();
    if (mode_ == 0)
      out += character;
    startNextPart();
  }
  out.append(text, at);
  return sendToNext(out);
}

bool TSplitAtChar::processChunk(std::string &chunk) {
  if (static_cast<unsigned char>(splitChar_) < 0x80)
    return split(chunk);
  if (!held_.empty()) {
    chunk.insert(0, held_);
    held_.clear();
  }
  const std::size_t whole = chunk.size() - utf8::incompleteTail(chunk);
  const bool goOn = split(std::string_view(chunk).substr(0, whole));
  held_.assign(chunk, whole);
  return goOn;
}

void TSplitAtChar::startFile() {
  seen_ = 0;
  held_.clear();
}

void TSplitAtChar::endFile() {
  // No character was begun there: the bytes are the code page's.
  std::string rest;
  rest.swap(held_);
  if (!rest.empty())
    split(rest);
}

} // namespace marrowen

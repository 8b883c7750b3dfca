#include "filters/batchedlines.h"

#include <algorithm>
#include <utility>

namespace marrowen {

namespace {

// Spaces sent in one piece at most.
constexpr std::size_t spacePiece = 1 << 16;

} // namespace

bool TBatchedLineFilter::processChunk(std::string &chunk) {
  batch_.clear();
  refused_ = false;
  {
    struct BatchScope {
      bool &batching;
      explicit BatchScope(bool &flag) : batching(flag) { batching = true; }
      ~BatchScope() { batching = false; }
    } scope(batching_);
    cutLines(chunk);
  }
  // A line sent on by itself (a selector's) answered "stop" outside the
  // batch: that answer is the chunk's too.
  if (takeStopRequest())
    refused_ = true;
  const bool goOn = sendToNext(batch_);
  takeStopRequest(); // answered here, not left for the next chunk
  return goOn && !std::exchange(refused_, false);
}

void TBatchedLineFilter::cutLines(std::string &chunk) {
  if (!TProcessLines::processChunk(chunk))
    refused_ = true;
}

void TBatchedLineFilter::passOnLine(std::string_view line, std::string_view lineEnd) {
  if (!batching_) {
    putLineToNext(line, lineEnd);
    return;
  }
  if (line.size() <= textPieceSize()) {
    batch_ += line;
    batch_ += lineEnd;
    return;
  }
  // A long line goes on by itself after the batch so far, not copied into it.
  sendBatch();
  if (!putLineToNext(line, lineEnd))
    refused_ = true;
}

void TBatchedLineFilter::sendBatch() {
  if (!sendToNext(batch_))
    refused_ = true;
  batch_.clear();
}

void TBatchedLineFilter::passOnSpaces(std::uint64_t count) {
  if (count <= spacePiece) {
    if (batching_) {
      batch_.append(static_cast<std::size_t>(count), ' ');
    } else {
      single_.assign(static_cast<std::size_t>(count), ' ');
      sendToNext(single_);
    }
    return;
  }
  // Outside a batch a "stop" is remembered by sendToNext for the line
  // cutter; within one it is kept here for the chunk's answer.
  auto send = [this](std::string &piece) {
    if (!sendToNext(piece) && batching_)
      refused_ = true;
  };
  if (batching_)
    sendBatch();
  while (count > 0 && !isAborted()) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, spacePiece));
    // The next filter may have changed the last piece in place.
    single_.assign(piece, ' ');
    send(single_);
    count -= piece;
  }
}

void TBatchedLineFilter::passOnText(std::string_view text) {
  if (text.size() <= textPieceSize()) {
    if (batching_) {
      batch_ += text;
      return;
    }
    single_.assign(text);
    sendToNext(single_);
    return;
  }
  if (batching_)
    sendBatch();
  if (!sendCopyToNext(text, single_) && batching_)
    refused_ = true;
}

} // namespace marrowen

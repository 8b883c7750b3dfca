#include "filters/batchedlines.h"

namespace marrowen {

bool TBatchedLineFilter::processChunk(std::string &chunk) {
  batch_.clear();
  {
    struct BatchScope {
      bool &batching;
      explicit BatchScope(bool &flag) : batching(flag) { batching = true; }
      ~BatchScope() { batching = false; }
    } scope(batching_);
    cutLines(chunk);
  }
  return sendToNext(batch_);
}

void TBatchedLineFilter::cutLines(std::string &chunk) { TProcessLines::processChunk(chunk); }

void TBatchedLineFilter::passOnLine(std::string_view line, std::string_view lineEnd) {
  if (!batching_) {
    putLineToNext(line, lineEnd);
    return;
  }
  batch_ += line;
  batch_ += lineEnd;
}

void TBatchedLineFilter::passOnText(std::string_view text) {
  if (batching_) {
    batch_ += text;
    return;
  }
  single_.assign(text);
  sendToNext(single_);
}

} // namespace marrowen

#include "filters/linebatch.h"

namespace marrowen {

bool TBatchedLines::processChunk(std::string &chunk) {
  batch_.clear();
  struct BatchScope {
    bool &batching;
    explicit BatchScope(bool &flag) : batching(flag) { batching = true; }
    ~BatchScope() { batching = false; }
  };
  {
    BatchScope scope(batching_);
    TProcessLines::processChunk(chunk);
  }
  return sendToNext(batch_);
}

void TBatchedLines::passOnLine(std::string_view line, std::string_view lineEnd) {
  if (!batching_) {
    putLineToNext(line, lineEnd);
    return;
  }
  batch_.append(line);
  batch_.append(lineEnd);
}

} // namespace marrowen

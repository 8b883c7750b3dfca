#include "engine/subchain.h"

namespace marrowen {

bool TGatherer::processChunk(std::string &chunk) {
  if (straightOn_ && next())
    return sendToNext(chunk);
  text_.append(chunk);
  return true;
}

void TGatherer::reset() {}

void TGatherer::flush() {}

void TIgnoreFlush::reset() {}

void TIgnoreFlush::flush() {}

} // namespace marrowen

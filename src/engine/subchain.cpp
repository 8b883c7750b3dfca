#include "engine/subchain.h"

namespace marrowen {

bool TGatherer::processChunk(std::string &chunk) {
  text_.append(chunk);
  return true;
}

void TGatherer::reset() {}

void TGatherer::flush() {}

void TIgnoreFlush::reset() {}

void TIgnoreFlush::flush() {}

} // namespace marrowen

#pragma once

#include "engine/lines.h"

#include <string>
#include <string_view>

namespace marrowen {

// A line filter whose output from one chunk leaves as one chunk: the lines
// it passes on with `passOnLine` while a chunk is being cut are collected and
// sent together once the chunk is done, so the filters after it see a few
// large chunks instead of one call per line. Lines that reach it whole
// (`putLine` from a line filter before it) and lines passed on at the end
// of a file go on at once. A subclass that passes text on in any other way
// must not mix it with `passOnLine`, or the order would change.
class TBatchedLines : public TProcessLines {
public:
  bool processChunk(std::string &chunk) override;

protected:
  void passOnLine(std::string_view line, std::string_view lineEnd);

private:
  bool batching_ = false;
  std::string batch_;
};

} // namespace marrowen

#pragma once

#include "engine/lines.h"

#include <string>
#include <string_view>

namespace marrowen {

// A line filter whose output for the lines cut from one chunk goes on as one
// chunk, not one call per line. Lines handed over whole by a line filter
// before it, and the last line emitted at the end of a file, go on at once.
class TBatchedLineFilter : public TProcessLines {
public:
  bool processChunk(std::string &chunk) override;

protected:
  // Cuts the chunk into lines while the output is batched. Base: the
  // line cutter's own loop, one `processLine` a line.
  virtual void cutLines(std::string &chunk);
  // `line` + `lineEnd` to the next filter.
  void passOnLine(std::string_view line, std::string_view lineEnd);
  // `text` to the next filter as it is.
  void passOnText(std::string_view text);

private:
  bool batching_ = false;
  std::string batch_;
  std::string single_; // the piece sent outside a batch, reused
};

} // namespace marrowen

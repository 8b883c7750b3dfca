#pragma once

#include "engine/lines.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace marrowen {

// A line filter whose output for the lines cut from one chunk goes on as one
// chunk, not one call per line. Lines handed over whole by a line filter
// before it, and the last line emitted at the end of a file, go on at once;
// so does a long line or text, after the batch so far, never copied into it.
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
  // `count` spaces to the next filter. Many go on in pieces, after what the
  // batch holds so far, so a line may be padded far wider than the memory
  // it would take at once.
  void passOnSpaces(std::uint64_t count);

private:
  // Sends what the batch holds and empties it.
  void sendBatch();

  bool batching_ = false;
  bool refused_ = false; // a piece sent during the batch was answered "stop"
  std::string batch_;
  std::string single_; // the piece sent outside a batch, reused
};

} // namespace marrowen

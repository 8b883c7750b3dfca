#pragma once

#include "classlib/growingarray.h"
#include "engine/filter.h"

#include <cstdint>
#include <string>

namespace marrowen {

// A filter with one scanning state that starts at 0 for every file and every
// subfilter run.
class TGenericStateMachine : public TFilter {
public:
  void startFile() override;

protected:
  std::int32_t state_ = 0;
};

// Cuts the chunk stream into whole lines, each with its line end: LF, CR or
// CR LF, also when a CR and its LF arrive in different chunks; a file's last
// line may have none. A subclass implements `processLine`, which finds the
// line's bytes in `currentLine_`. Between chunks the partial line and a
// pending CR are held back; `endFile` emits them. A "stop" from any filter
// after it, answered to any line it sent, is its own answer for the chunk.
class TProcessLines : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
  // Takes a whole line from a line filter before it without cutting again.
  // While a partial line or a CR is held, the line is cut like a chunk so
  // no byte is lost.
  bool putLine(std::string_view line, std::string_view lineEnd) override;
  std::int64_t bufferedLength() override;
  void startFile() override;
  void endFile() override;

  // Called once per complete line; `lineEnd` is "\n", "\r", "\r\n" or
  // empty. Base: passes the line on with `putLine`.
  virtual void processLine(std::string_view lineEnd);

protected:
  // Empties the current line and counts it.
  void nextLine();
  // Sends the current line and `lineEnd` on with its bytes `begin` .. `end`
  // replaced by what the subfilter chain makes of them; `out` is the
  // caller's buffer, reused from line to line. A long line goes on in
  // pieces, its selected part through the subfilters a piece at a time.
  void sendWithSubfilteredPart(std::size_t begin, std::size_t end, std::string_view lineEnd,
                               std::string &out);

  bool crPending_ = false;
  std::int32_t lineCounter_ = 1; // 1 for the first line of a file
  // Without its line end. It grows without being copied, so a long line is
  // held once.
  GrowingText currentLine_;
};

} // namespace marrowen

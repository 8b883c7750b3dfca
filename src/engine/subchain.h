#pragma once

#include "engine/outputs.h"

namespace marrowen {

// Ends a subfilter chain whose output the parent takes back: it collects the
// text of one subfilter run and passes nothing on. It neither resets nor
// flushes, so a subfilter run never reaches the filters after the parent;
// job calls and variables go on to them.
class TGatherer : public TAccumulateOutput {
public:
  bool processChunk(std::string &chunk) override;
  void reset() override;
  void flush() override;

  std::string *gatheredText() override { return &text_; }
  // Once the chain is attached, what reaches the gatherer while this is on
  // goes to the filter after the parent.
  void passRunsStraightOn(bool on) override { straightOn_ = on; }

private:
  bool straightOn_ = false;
};

// Ends a subfilter chain whose output goes straight on to the filter after the
// parent, in the order produced. Like the gatherer it stops `reset` and `flush`.
class TIgnoreFlush : public TFilter {
public:
  void reset() override;
  void flush() override;
};

} // namespace marrowen

#pragma once

#include "engine/lines.h"

#include <cstdint>
#include <string>

namespace marrowen {

// Every byte as two upper-case hex digits, CR LF after each 76 digits (38
// bytes); nothing is added at the end of a file.
class TEncodeHex : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;

private:
  int digitsOnLine_ = 0;
  std::string out_;
};

// Reads hex digit pairs (either case); line ends between pairs are allowed
// and counted, so that each warning names its line. A digit waits between
// chunks for its partner; one left at the end of a file is dropped.
// State 0 between pairs, 1 after a CR, 2 after the first digit of a pair.
class TDecodeHex : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  // Each warning is prefixed with the decoder's name and the line number.
  void logWarning(const std::string &text) override;

private:
  int firstDigit_ = 0;
  std::int64_t lineNumber_ = 1;
  std::string out_;
};

} // namespace marrowen

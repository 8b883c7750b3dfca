#pragma once

#include "engine/lines.h"

#include <cstdint>
#include <string>

namespace marrowen {

// A hexadecimal dump: one line of 80 characters per 16 bytes, the offset
// ("%8.8X"), the bytes in hex pairs in groups of four, and the bytes as
// characters (those below 32 as "."), each full line ended by CR LF. The last
// partial line of a file goes out at its end, padded to the full width,
// without a line end.
class THexDump : public TGenericStateMachine {
public:
  THexDump();
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override { return bytesOnLine_; }

protected:
  // The decimal layout when `decimal` is set.
  explicit THexDump(bool decimal);

private:
  void writeOffset();

  bool decimal_;
  int bytesPerLine_;
  int valueColumn_[16]; // where each byte's value starts on the line
  int characterColumn_; // where the characters start
  std::string line_;
  int bytesOnLine_ = 0;
  std::int64_t offset_ = 0; // of the line's first byte
  std::string out_;
};

// A decimal dump: one line of 64 characters per 10 bytes, the offset
// ("%10.10d"), the bytes as three decimal digits in groups of five, and the
// bytes as characters; otherwise as the hexadecimal dump.
class TDecimalDump : public THexDump {
public:
  TDecimalDump();
};

} // namespace marrowen

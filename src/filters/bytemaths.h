#pragma once

#include "engine/filter.h"
#include "filters/bytetable.h"

#include <cstdint>
#include <string>

namespace marrowen {

// Arithmetic on every byte with one operand, keeping the low 8 bits of the
// result: 0 +, 1 -, 2 *, 3 Div, 4 Mod, 5 Xor, 6 And, 7 Or, 8 Not, 9 shift
// left, 10 shift right, 11 rotate left, 12 rotate right (shift and rotate
// counts modulo 32). Any other operation leaves the bytes as they are. The
// results of all 256 bytes are worked out when the filter is made, so Div
// and Mod by 0 are refused then.
class TMathsOperation : public TFilter {
public:
  TMathsOperation(int operation, std::int32_t operand);
  bool processChunk(std::string &chunk) override;

private:
  ByteTable table_;
};

} // namespace marrowen

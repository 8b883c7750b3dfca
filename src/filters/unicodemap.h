#pragma once

#include "engine/lines.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace marrowen {

// Reads its input as 16-bit characters, two bytes each with the high byte
// first, and replaces every character of its map by the map's text; any
// other character passes on as the two bytes it came as. The pairing of a
// file never depends on where its chunks are cut: an odd byte at the end of
// a chunk waits for the next one (state 1), and one left at the end of a
// file passes on as it is.
class TUnicodeMap : public TGenericStateMachine {
public:
  // One code per replacement, index by index. A code is an integer text
  // (decimal, or hexadecimal after "$" or "0x"); a replacement is escaped
  // text. A code that is not a number raises EConvertError, one outside
  // 0..65535 ERangeError, a malformed escape its message. Where a code is
  // listed twice its first replacement counts.
  TUnicodeMap(const std::vector<std::string> &codes, const std::vector<std::string> &replacements);

  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  struct Entry {
    std::uint16_t code;
    std::string text;
  };

  void mapPair(unsigned char high, unsigned char low, std::string &out) const;

  std::vector<Entry> map_;      // sorted by code
  std::bitset<0x10000> listed_; // which codes the map holds
  char held_ = 0;               // the odd byte, while state 1
  std::string buffer_;
};

} // namespace marrowen

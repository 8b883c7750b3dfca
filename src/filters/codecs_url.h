#pragma once

#include "engine/lines.h"
#include "filters/codecs_hexescape.h"

#include <string>

namespace marrowen {

// URL form encoding: a space becomes "+", the bytes * - . _ 0-9 A-Z a-z stay,
// every other byte (line ends too) becomes "%" and two lower-case hex digits.
class THTTPEncode : public TFilter {
public:
  bool processChunk(std::string &chunk) override;

private:
  std::string out_;
};

// Reverses the URL form encoding: "+" is a space, "%%" a "%", "%" and two hex
// digits that byte. A "%" whose digits are wrong is dropped with them and a
// warning. State 0 text, 1 after "%", 2 after "%" and one digit; a "%" and its
// first digit wait between chunks.
class THTTPDecode : public THexEscapeDecoder {
public:
  THTTPDecode();
  bool processChunk(std::string &chunk) override;
};

} // namespace marrowen

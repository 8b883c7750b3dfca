#pragma once

#include "engine/lines.h"

#include <cstdint>
#include <string>

namespace marrowen {

// MIME Base64 (the standard alphabet, "=" as padding). Lines of 76
// characters, each ended by CR LF as soon as it is full; the last line has no
// line end unless it is full. A group of up to two bytes is held between
// chunks; `endFile` writes it with its padding.
class TEncodeBase64 : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override { return pending_; }

private:
  int pending_ = 0;      // bytes of the current group held (0..2)
  int groupsOnLine_ = 0; // groups written on the current line (0..18)
  unsigned char held_[2] = {};
  std::string out_; // reused between chunks
};

// Reads Base64 from the raw bytes, line ends and all: CR and LF are skipped,
// any other byte outside the alphabet is skipped with a warning. Each byte is
// written as soon as its last sextet arrives, so at most three sextets wait
// between chunks. A padding "=" closes the group, so encodings that follow
// one another decode one after the other.
class TDecodeBase64 : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;

private:
  int sextets_ = 0; // sextets of the current group (0..3)
  unsigned last_ = 0;
  std::string out_;
  // Bytes outside the alphabet in this file, and the first of them.
  std::int64_t invalidCount_ = 0;
  char firstInvalid_ = 0;
};

} // namespace marrowen

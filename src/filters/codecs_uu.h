#pragma once

#include "engine/lines.h"

#include <array>
#include <string>

namespace marrowen {

// Turns each file into a mail attachment: a MIME-style header naming the
// input file, then the data in UU or XX encoding, 45 bytes to a line, and the
// closing lines. The two schemes differ only in their alphabet and name. Up
// to 44 bytes of a line wait between chunks; `endFile` writes them, and the
// header too for a file that brought no data.
class TUUEncode : public TFilter {
public:
  // `uu` selects UU encoding, otherwise XX.
  explicit TUUEncode(bool uu);
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override { return held_; }

private:
  void appendHeader();
  // Appends the line of `count` bytes at `data` (zero bytes beyond them).
  void appendLine(const unsigned char *data, int count);

  const char *alphabet_;
  std::string scheme_;
  bool headerPending_ = true;
  std::array<unsigned char, 45> buffer_{};
  int held_ = 0;
  std::string out_;
};

// Finds the "begin" blocks of a UU or XX encoded text and writes their data
// back as bytes; every other line is dropped. Several blocks of one file are
// decoded one after the other into the same output. Bad lines and characters
// are reported as warnings naming the line, and decoding goes on.
// State 0 looking for a begin line, 1 inside a block, 2 after its end.
class TUUDecode : public TProcessLines {
public:
  explicit TUUDecode(bool uu);
  bool processChunk(std::string &chunk) override;
  bool putLine(std::string_view line, std::string_view lineEnd) override;
  void startFile() override;
  void endFile() override;
  void processLine(std::string_view lineEnd) override;
  // Each warning is prefixed with the scheme's decoder name and the line.
  void logWarning(const std::string &text) override;

private:
  // Whether the current line is a begin line; warns of one without a name.
  bool isBeginLine();
  void decodeLine();
  int valueOf(char c);

  const char *alphabet_;
  std::string scheme_;
  std::array<signed char, 256> values_{}; // -1 outside the alphabet
  std::string fileName_;                  // from the begin line
  std::string out_;                       // decoded bytes not yet passed on
};

} // namespace marrowen

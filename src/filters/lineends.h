#pragma once

#include "engine/lines.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace marrowen {

// The line-end conversions. Each is given the new line end, of which at most
// the first two bytes are kept (CR LF, LF, CR or none), and forwards its
// output at the end of every chunk.

// LF becomes the new line end; a CR is dropped when `strip` is set, else kept.
class TFromUnixConversion : public TFilter {
public:
  TFromUnixConversion(std::string_view lineEnd, bool strip);
  bool processChunk(std::string &chunk) override;

protected:
  // Replaces every `end` byte (LF or CR) by the new line end and, with strip
  // set, drops every byte of the other kind.
  bool convertSingleByteEnds(std::string &chunk, char end);

  std::string lineEnd_;
  bool strip_;
  std::string buffer_; // the output under construction, reused between chunks
};

// CR becomes the new line end; an LF is dropped when `strip` is set.
class TFromMacConversion : public TFromUnixConversion {
public:
  using TFromUnixConversion::TFromUnixConversion;
  bool processChunk(std::string &chunk) override;
};

// CR LF becomes the new line end; a lone CR or LF is kept, or dropped when
// `strip` is set. A CR that ends a chunk is held until the next byte (or the
// end of the file) shows whether an LF follows it.
class TFromDOSConversion : public TFromUnixConversion {
public:
  using TFromUnixConversion::TFromUnixConversion;
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  bool previousWasCr_ = false; // a CR is held
};

// LF, CR and CR LF all become the new line end. State 1: a CR is held until
// the next byte shows whether it starts a CR LF; a CR held at the end of a
// file becomes a line end too.
class TAutoConversion : public TGenericStateMachine {
public:
  explicit TAutoConversion(std::string_view lineEnd);
  bool processChunk(std::string &chunk) override;
  void endFile() override;
  std::int64_t bufferedLength() override;

protected:
  std::string lineEnd_;
  std::string buffer_;
};

// Cuts the text into records of a fixed length, the new line end between
// them (none after the last record of a file). Line ends already in the text
// are ordinary bytes. A record length below 1 is refused when the filter is
// made.
class TFromFixedLineLengthConversion : public TAutoConversion {
public:
  TFromFixedLineLengthConversion(std::string_view lineEnd, int recordLength);
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override { return 0; }

private:
  std::int64_t recordLength_;
  std::int64_t bytesInRecord_ = 0;
};

} // namespace marrowen

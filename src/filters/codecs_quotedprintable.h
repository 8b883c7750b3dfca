#pragma once

#include "engine/lines.h"
#include "filters/codecs_hexescape.h"

#include <array>
#include <string>

namespace marrowen {

// MIME quoted-printable. CR LF is a hard line break; every other CR and LF,
// "=", and each byte outside the set written as itself becomes "=" and two
// upper-case hex digits. A soft line break "=" CR LF keeps lines below 76
// characters; every encoded file ends with one. A CR waits between chunks
// for the LF that may follow it.
class TEncodeQuotedPrintable : public TGenericStateMachine {
public:
  // `strict` writes fewer bytes as themselves: tab, space, letters, digits
  // and %&()*+,-./:;<>?_` only. Otherwise tab and every byte from 32 to 126
  // except "=".
  explicit TEncodeQuotedPrintable(bool strict);
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;

private:
  // Appends one encoded piece, breaking the line first where it would grow
  // to 75 characters or more.
  void emit(const char *piece, int length);
  void emitEncoded(unsigned char c);

  std::array<bool, 256> plain_{};
  bool crPending_ = false;
  int lineLength_ = 0;
  std::string out_;
};

// Reverses quoted-printable: "=" and two hex digits (either case) give a
// byte, "=" before a line end (blanks between allowed) joins the lines, a
// malformed "=" sequence is dropped with a warning. States: 0 text, 1 after
// "=", 2 after "=" and one digit, 3 after "=" CR.
class TDecodeQuotedPrintable : public THexEscapeDecoder {
public:
  TDecodeQuotedPrintable();
  bool processChunk(std::string &chunk) override;
};

} // namespace marrowen

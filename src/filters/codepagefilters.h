#pragma once

#include "classlib/codepage.h"
#include "engine/lines.h"
#include "filters/bytetable.h"
#include "filters/charactercarry.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace marrowen {

// Maps every byte through one fixed table, in place.
class TByteTableFilter : public TFilter {
public:
  bool processChunk(std::string &chunk) override;

protected:
  ByteTable table_{};
};

// ASCII to EBCDIC by the table of the POSIX dd utility (conv=ebcdic).
class TASCIItoEBCDIC : public TByteTableFilter {
public:
  TASCIItoEBCDIC();
};

// EBCDIC to ASCII by the inverse table (dd conv=ascii).
class TEBCDICtoASCII : public TByteTableFilter {
public:
  TEBCDICtoASCII();
};

// A byte table for text: a valid UTF-8 sequence is one character, which
// becomes one byte (its entry in `characters_`, else `missing_`); every
// other byte goes through the table. A character cut by a chunk's end waits
// for the next chunk; bytes still waiting at the end of a file are judged as
// bytes.
class TCharacterTableFilter : public TByteTableFilter {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

protected:
  std::unordered_map<char32_t, unsigned char> characters_;
  unsigned char missing_ = '?';
  // Shorter sequences are taken as bytes.
  std::size_t shortestSequence_ = 2;

private:
  CharacterCarry carry_;
};

// The IBM PC line-drawing characters (and arrows, shades and bullets) to
// plain ASCII look-alikes, a line at a time. A line holding a byte that is no
// UTF-8 is code page 437 text, of an old DOS file: each byte becomes its
// look-alike, and other bytes outside the printable range spaces, pairs of
// drawing bytes that happen to make a UTF-8 sequence included. A line of
// valid UTF-8 is UTF-8 text: its drawing characters (box drawing, blocks,
// shades, arrows, each three bytes long) become the same look-alikes, every
// other character stays as it is, letters above all. One exception keeps DOS
// drawings whole: a valid line whose bytes beyond ASCII are all drawing bytes
// of code page 437 (176 to 223), none beside an ASCII letter or digit, after
// a line of code page 437 text, is code page 437 too ("├┤" is the sequence of
// "ô"). A line is judged on its first
// megabyte; until then what follows its first byte of 128 or more is held.
class TTranslateDrawing : public TFilter {
public:
  TTranslateDrawing();
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  enum class Line : std::uint8_t { Ascii, Undecided, CodePage, Utf8 };
  // Whether `held_` holds a byte that is no UTF-8 from `checked_` on; with
  // `ended`, a sequence cut short at its end counts as such a byte.
  bool heldHoldsNoUtf8(bool ended);
  // Decides the held part of a line that ends (or reached its limit) and
  // writes it to `out`.
  void decideHeld(std::string &out, bool ended);
  // Appends the look-alikes of UTF-8 text, keeping an incomplete character
  // at its end unless `ended`; returns the bytes taken.
  std::size_t appendUtf8(std::string_view text, std::string &out, bool ended) const;

  ByteTable table_;
  std::unordered_map<char32_t, unsigned char> characters_;
  Line line_ = Line::Ascii;
  std::string held_;
  std::size_t checked_ = 0;
  unsigned char beforeHeld_ = 0; // the byte before what is held, in its line
  bool lastWasCodePage_ = false;
};

// The system code page to the OEM code page (437) and back. The tables are
// made from the code pages when the filter is made and at each job start;
// a character the other code page lacks becomes "?". A UTF-8 character
// becomes its byte in code page 437 ("?" where it has none).
class TANSItoOEM : public TCharacterTableFilter {
public:
  TANSItoOEM();
  void startJob() override;
};

class TOEMtoANSI : public TByteTableFilter {
public:
  TOEMtoANSI();
  void startJob() override;
};

// Engine text to UTF-16 little-endian, without a byte-order mark: a valid
// UTF-8 sequence as its character (a surrogate pair beyond U+FFFF), every
// other byte as the system code page's character, two bytes for each.
class TANSItoUnicode : public TFilter {
public:
  TANSItoUnicode();
  bool processChunk(std::string &chunk) override;
  void startJob() override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  void convert(std::string &chunk);

  std::shared_ptr<const CodePage> tables_;
  CharacterCarry carry_;
  std::string buffer_; // the output under construction, reused between chunks
};

// UTF-16 little-endian to the system's ANSI text, which on Linux is UTF-8:
// every character (U+0000 included, a surrogate pair as one) in UTF-8, as
// `iconv -f UTF-16LE -t UTF-8` writes it, so ANSI to Unicode and back gives
// the text again; a lone surrogate becomes "?". An odd byte, or a high
// surrogate, at the end of a chunk waits for the next chunk; one left at the
// end of a file becomes "?".
class TUnicodeToANSI : public TGenericStateMachine {
public:
  TUnicodeToANSI();
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  std::string held_; // at most an odd byte and a high surrogate
  std::string buffer_;
};

// The table of dd conv=ebcdic.
const ByteTable &asciiToEbcdicTable();
// Its inverse, the table of dd conv=ascii.
const ByteTable &ebcdicToAsciiTable();

} // namespace marrowen

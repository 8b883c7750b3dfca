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
// plain ASCII look-alikes; other bytes outside the printable range become
// spaces. In UTF-8 text the same characters (box drawing, blocks, arrows,
// each three bytes long) become the same look-alikes, and any other
// character of three or four bytes one space. Two bytes stay two bytes: most
// pairs of code page 437's drawing bytes (a corner and a line) read as a
// character of two bytes too.
class TTranslateDrawing : public TCharacterTableFilter {
public:
  TTranslateDrawing();
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

// UTF-16 little-endian to the system code page, every code unit (U+0000
// included) to one byte; a surrogate pair, a lone surrogate or a character
// the code page lacks becomes "?". An odd byte, or a high surrogate, at the
// end of a chunk waits for the next chunk; one left at the end of a file
// becomes "?".
class TUnicodeToANSI : public TGenericStateMachine {
public:
  TUnicodeToANSI();
  bool processChunk(std::string &chunk) override;
  void startJob() override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  void takeTables();

  // The byte of every code unit, "?" where the code page has none: one
  // look-up per unit instead of a search.
  std::vector<unsigned char> fromUnicode_;
  std::string held_; // at most an odd byte and a high surrogate
  std::string buffer_;
};

// The table of dd conv=ebcdic.
const ByteTable &asciiToEbcdicTable();
// Its inverse, the table of dd conv=ascii.
const ByteTable &ebcdicToAsciiTable();

} // namespace marrowen

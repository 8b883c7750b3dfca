#pragma once

#include "classlib/codepage.h"
#include "engine/lines.h"
#include "filters/charactercarry.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace marrowen {

// Every word (a letter followed by letters, digits, "_" or combining marks,
// a UTF-8 character whole) on a line of its own, ended by CR LF; everything
// between words is dropped. State 1: within a word, which is held until it
// ends, also across chunks.
class TTextToWordList : public TGenericStateMachine {
public:
  TTextToWordList();
  bool processChunk(std::string &chunk) override;
  void startJob() override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  // Collects the words of `text` (whole characters) into `buffer_`.
  void scan(std::string_view text);

  std::shared_ptr<const CodePage> tables_;
  CharacterCarry carry_;
  std::string word_;
  std::string buffer_;
};

// Each run of spaces and tabs becomes one space. State 1: within a run.
class TRemoveMultipleWhitespace : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
};

// Keeps the printable ASCII bytes, LF and CR; drops and counts the others
// (tab included).
class TRemoveBinary : public TFilter {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  bool hasChanged() override { return removed_ > 0; }
  std::string getStatistics() override;
  void resetStatistics() override;

private:
  // Counts a UTF-8 character removed as one, as its code-page byte counts.
  void countRemoved(std::string_view text);

  std::int64_t removed_ = 0;
  // The bytes ending the last chunk that the next one may make a character
  // of: counted once that is known.
  std::string uncounted_;
};

// Drops ANSI colour and cursor sequences: ESC [ ... up to a final letter of
// A B C D H J K R f h l m p s u. An ESC not followed by "[" is dropped on its
// own. States: 0 text, 1 after ESC, 2 within the sequence. A sequence still
// open at the end of a file is dropped.
class TRemoveANSIcolour : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
};

// Drops every byte from a "<" up to and including the next ">", across
// chunks; entities stay. State 1: within a tag; a tag still open at the end
// of a file is dropped.
class TRemoveHTML : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
};

// Drops every backspace (byte 8).
class TRemoveBackspaces : public TFilter {
public:
  bool processChunk(std::string &chunk) override;
};

// Lets each backspace delete the character before it (a UTF-8 sequence
// whole). The last bytes (about 100) are held back so a later backspace can
// still reach them; a backspace never reaches bytes already passed on. The layout filters that hold
// bytes back build on its held string and its per-file hooks.
class TResolveBackspaces : public TFilter {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

protected:
  std::string held_;
  std::string buffer_; // the output under construction, reused between chunks
};

// Replaces each byte by its entry of a table of 256 texts (each 0 or more
// bytes). The entries are given escaped and are decoded when the filter is
// made; a malformed escape raises its message.
class TUserDefined : public TFilter {
public:
  explicit TUserDefined(const std::array<std::string, 256> &table);
  bool processChunk(std::string &chunk) override;

private:
  std::array<std::string, 256> entries_;
  // Set when every entry is one byte: the chunk is then mapped in place.
  bool oneToOne_ = false;
  std::array<unsigned char, 256> table_{}; // the one byte of each entry
  std::string buffer_;
};

} // namespace marrowen

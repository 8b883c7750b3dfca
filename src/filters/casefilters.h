#pragma once

#include "classlib/codepage.h"
#include "classlib/utf8.h"
#include "engine/lines.h"
#include "filters/bytetable.h"
#include "filters/charactercarry.h"

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>
#include <random>

namespace marrowen {

// The case filters change characters as engine text holds them: ASCII and
// every byte outside a valid UTF-8 sequence through the code page's tables
// (the tables of the system code page, a snapshot taken when the filter is
// made and again at every job start), a valid sequence as one character by
// Unicode's full case mapping in the root locale, which may change its
// length ("ß" becomes "SS"). Pure ASCII runs stay on a table (or
// word-at-a-time) path. A character that the next chunk may complete waits
// for it, and so does a capital sigma until the text after it tells whether
// it ends a word (then its small form is "ς").
class TCaseFilter : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
  void startJob() override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

protected:
  TCaseFilter();
  // Maps `text` (whole characters) in place or rebuilds it. It may stop
  // before a capital sigma whose form the next chunk decides, moving the
  // input from there on into `held`; at `fileEnd` nothing follows.
  virtual void map(std::string &text, std::string &held, bool fileEnd) = 0;
  // Takes the snapshot; each concrete filter calls it once it is made.
  virtual void takeTables();

  // The form of the capital sigma at `at`: 1 final, 0 not, -1 the text ends
  // before it is known.
  int sigmaForm(std::string_view text, std::size_t at, bool fileEnd) const;
  // Writes at `out` + `o` the small form of the capital sigma at `at` and
  // moves `o` past it; false, writing nothing, when the text after it must
  // come first: the input from `at` on is then moved into `held`.
  bool writeSmallSigma(std::string_view text, std::size_t at, bool fileEnd, char *out,
                       std::size_t &o, std::string &held) const;
  // Records whether the text so far ends in a cased letter (and then only
  // case-ignorable characters), for a sigma at the start of the next chunk.
  void noteCasedEnd(std::string_view text, std::size_t end);

  std::shared_ptr<const CodePage> tables_;
  std::string out_; // the output under construction, reused between chunks

private:
  CharacterCarry carry_;
  bool casedBefore_ = false;
};

// Maps every character by one case mapping: ASCII runs on the fastest path
// the table allows, then bytes by the table and sequences by Unicode.
class TCaseMappingFilter : public TCaseFilter {
public:
  // Whether filters made from now on may use the processor's widest vectors
  // where it has them; the narrower path gives the same output (tests run
  // both).
  static void allowWideVectors(bool allowed);

protected:
  explicit TCaseMappingFilter(utf8::CaseMapping mapping);
  void map(std::string &text, std::string &held, bool fileEnd) override;
  void takeTables() override;

private:
  static constexpr std::size_t blockSize = 64;
  struct Block {
    std::size_t taken; // bytes mapped, up to a character's end
    bool trouble;      // the character after them needs the character path
  };
  // Maps the 64 bytes at `in` to `out` at once as far as they are ASCII,
  // two-byte characters whose mapping is two bytes too, and three-byte
  // characters of blocks the mapping keeps (scripts without case). A
  // character that the block's end cuts is left for the next block.
  Block mapBlock(const unsigned char *in, char *out) const;
  // The same in one vector of 64 bytes, where the processor has them.
  Block mapBlockWide(const unsigned char *in, char *out) const;

  utf8::CaseMapping mapping_;
  ByteTable table_{};
  // 'a' (upper case) or 'A' (lower case) when the table changes nothing but
  // those 26 ASCII letters among the bytes below 128: ASCII then takes the
  // vector paths. 0 otherwise.
  unsigned char asciiFirst_ = 0;
  // A two-byte character's entry, from its bytes as they lie in memory: the
  // low bits of both, so one mask finds it and the entries of one second
  // byte share a cache line.
  static std::size_t twoByteIndex(std::uint16_t bytes) {
    if constexpr (std::endian::native == std::endian::little)
      return bytes & 0x3F1Fu;
    else
      return ((bytes >> 8) & 0x1Fu) | ((bytes & 0x3Fu) << 8);
  }
  // The tables of the block path. They follow from the mapping alone
  // (Unicode's tables do not change), so each mapping's are made once, when
  // a filter first needs them, and shared: a chain of many case filters costs
  // little more than one.
  struct BlockTables {
    // The two bytes of each two-byte character's mapping when that is two
    // bytes too (0 where not, or where the character needs its context); a
    // bit for each block of 64 three-byte code points that the mapping keeps,
    // indexed by the low bits of the first two bytes; and the lead bytes
    // whose every character it keeps, keptLow to keptHigh.
    std::array<std::uint16_t, 0x4000> twoByte{};
    std::array<std::uint64_t, 16> keptThreeByte{};
    unsigned char keptLow = 0, keptHigh = 0;
    // The mapping of the two-byte characters as tables for the vectors of
    // 64 bytes: for each pair of lead bytes (0xC0 and 0xC1, 0xC2 and 0xC3,
    // ...) 128 second bytes, then 128 lead bytes (0 where the block path
    // cannot map the character), by the lead's low bit and the second byte's
    // six.
    alignas(64) std::array<std::array<unsigned char, 256>, 16> pairTables{};
  };
  static const BlockTables &blockTablesOf(utf8::CaseMapping mapping);
  static BlockTables makeBlockTables(utf8::CaseMapping mapping);
  const BlockTables *blocks_ = nullptr;
  bool wideVectors_ = false; // the processor has them, and they are allowed
  static std::atomic<bool> wideVectorsAllowed;
};

class TConvertToLowerCase : public TCaseMappingFilter {
public:
  TConvertToLowerCase() : TCaseMappingFilter(utf8::CaseMapping::Lower) { takeTables(); }
};

class TConvertToUpperCase : public TCaseMappingFilter {
public:
  TConvertToUpperCase() : TCaseMappingFilter(utf8::CaseMapping::Upper) { takeTables(); }
};

// An upper-case character becomes lower case and every other one upper case.
class TConvertToToggleCase : public TCaseFilter {
public:
  TConvertToToggleCase() { takeTables(); }

protected:
  void map(std::string &text, std::string &held, bool fileEnd) override;
  void takeTables() override;

private:
  ByteTable table_{};
};

// Each character lower or upper case by the toss of a coin. The generator is
// the filter's own, seeded from the clock at every job start, so jobs running
// side by side never share one.
class TConvertToRandomCase : public TCaseFilter {
public:
  TConvertToRandomCase();
  void startJob() override;

protected:
  void map(std::string &text, std::string &held, bool fileEnd) override;

private:
  std::mt19937_64 generator_;
};

// The first letter of each word in title case, the rest of the word lower
// case; digits, "_" and combining marks continue a word but never begin
// one. State 1: in a word.
class TConvertToTitleCase : public TCaseFilter {
public:
  TConvertToTitleCase() { takeTables(); }

protected:
  void map(std::string &text, std::string &held, bool fileEnd) override;
};

// The first letter of each sentence (and of each file) in title case;
// nothing is lowered. A sentence ends at one of ! " ' ( . : < ?. State 1:
// within a sentence after its first letter.
class TConvertToSentenceCase : public TCaseFilter {
public:
  TConvertToSentenceCase() { takeTables(); }

protected:
  void map(std::string &text, std::string &held, bool fileEnd) override;
};

} // namespace marrowen

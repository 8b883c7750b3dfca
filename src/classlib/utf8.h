#pragma once

#include <bit>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marrowen {

class CodePage;

// Engine text is bytes in which a Linux file's UTF-8 and an older file's
// code-page text meet. The one rule every part of the program follows: a valid
// multi-byte UTF-8 sequence is one character; every other byte is a character
// of the configured code page. So text holding no valid multi-byte sequence
// means exactly what it meant in the code page alone.
namespace utf8 {

namespace detail {

// The whole length a lead byte announces (0 for a byte that leads nothing),
// and the range its second byte must fall in, which rules out overlong forms,
// surrogates and values past U+10FFFF.
struct Lead {
  unsigned char length;
  unsigned char low;
  unsigned char high;
};

inline Lead leadOf(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF)
    return {2, 0x80, 0xBF};
  if (c < 0xE0 || c > 0xF4)
    return {0, 0, 0};
  if (c == 0xE0)
    return {3, 0xA0, 0xBF};
  if (c == 0xED)
    return {3, 0x80, 0x9F};
  if (c <= 0xEF)
    return {3, 0x80, 0xBF};
  if (c == 0xF0)
    return {4, 0x90, 0xBF};
  if (c == 0xF4)
    return {4, 0x80, 0x8F};
  return {4, 0x80, 0xBF};
}

} // namespace detail

// The valid multi-byte sequence at `p`, where `available` bytes (at least
// one) can be read: its length (2 to 4) with its code point in `codePoint`,
// or 0 where none begins: an ASCII byte, a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate, a value past U+10FFFF.
// Inline, for the inner loops of filters.
inline std::size_t decodeSequence(const unsigned char *p, std::size_t available,
                                  char32_t &codePoint) {
  detail::Lead lead = detail::leadOf(p[0]);
  if (lead.length == 0 || available < lead.length || p[1] < lead.low || p[1] > lead.high)
    return 0;
  char32_t cp = ((p[0] & (0x7F >> lead.length)) << 6) | (p[1] & 0x3F);
  for (std::size_t k = 2; k < lead.length; ++k) {
    if ((p[k] & 0xC0) != 0x80)
      return 0;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  codePoint = cp;
  return lead.length;
}

// The length of the valid multi-byte sequence that begins `text`, or 0 (as
// decodeSequence).
std::size_t sequenceLength(std::string_view text);

// The length of a character starting at `text[0]` by the rule above: the
// sequence's length, or 1 for any other byte. `text` must not be empty.
inline std::size_t characterLength(std::string_view text) {
  if (static_cast<unsigned char>(text[0]) < 0x80)
    return 1;
  std::size_t n = sequenceLength(text);
  return n ? n : 1;
}

// How many bytes at the end of `text` begin a sequence that the next bytes
// may still complete (0 to 3). A reader working in chunks holds these back,
// so a character is never judged as two halves.
std::size_t incompleteTail(std::string_view text);

// The code point of a valid sequence (`sequenceLength(seq) == seq.size()`).
char32_t decode(std::string_view seq);

// The character that begins `text` (not empty) as a code point, and its
// length in bytes: a valid sequence's value, or the code page's character for
// any other byte.
char32_t decodeCharacter(std::string_view text, const CodePage &codePage, std::size_t &length);

// Appends `codePoint` (at most U+10FFFF, not a surrogate) in UTF-8.
void append(std::string &out, char32_t codePoint);

// At most `bytes` bytes of `text`, cut before a valid sequence the limit
// would split.
std::string_view cutToBytes(std::string_view text, std::size_t bytes);

// `text` without the byte-order mark some editors put at the start of a
// UTF-8 file: unseen by the user, it must not make the first line another.
inline std::string_view withoutByteOrderMark(std::string_view text) {
  return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

// True when every byte is ASCII or part of a valid sequence.
bool isValid(std::string_view text);

// True when `text` holds at least one valid multi-byte sequence.
bool hasSequence(std::string_view text);

// Engine text turned into real UTF-8 (or UTF-16) by the rule above: valid
// sequences kept, every other byte read through `codePage`. The one way text
// is shown, logged or handed to a program that expects Unicode.
std::string toUtf8(std::string_view text, const CodePage &codePage);
std::u16string toUtf16(std::string_view text, const CodePage &codePage);
// The same into `out`, folded without case when `fold` is set (as
// appendFolded folds); returns the code units written. `out` has room for
// as many units as `text` has bytes, twice that when folding.
std::size_t writeUtf16(std::string_view text, const CodePage &codePage, bool fold, char16_t *out);

// Unicode's judgement of a code point, as Python's str.isalpha and
// str.isdigit make it.
bool isLetter(char32_t codePoint);
bool isDigit(char32_t codePoint);
// A mark that joins the letter before it (categories Mn, Mc and Me).
bool isCombiningMark(char32_t codePoint);
// Unicode's simple case folding: one code point for one.
char32_t simpleFold(char32_t codePoint);
// Whether ignoring case a byte of a text to find may have partners that the
// code page's tables do not know: a byte of 128 or more, or k or s, which
// a longer character folds to (the Kelvin sign, the long s).
inline bool isFoldSensitive(unsigned char c) {
  return c >= 0x80 || c == 'k' || c == 'K' || c == 's' || c == 'S';
}

// The characters of engine text judged for words: a letter begins a word;
// letters, digits, "_" and combining marks go on with it. A byte outside a
// valid sequence is judged by the code page's sets, as the code page alone
// judged it.
struct WordCharacter {
  std::size_t length; // bytes of the character
  bool letter;        // may begin a word
  bool word;          // may go on with one
};
WordCharacter wordCharacterAt(std::string_view text, const CodePage &codePage);

// How many characters `text` holds by the rule above.
std::size_t characterCount(std::string_view text);

// Whether eight bytes (read little-endian) are eight characters for certain:
// no byte that may lead a sequence is followed by one that may go on with
// it, and the last may lead none. Code-page text (Windows-1252) passes as
// fast as ASCII.
inline bool isEightCharacters(std::uint64_t word) {
  constexpr std::uint64_t top = 0x8080808080808080ull;
  const std::uint64_t high = word & top;
  const std::uint64_t second = (word << 1) & top;
  const std::uint64_t leads = high & second;
  return !((leads << 8) & high & ~second) && !(leads >> 56);
}

// Steps over up to `count` characters of `text` from `at`, eight bytes at a
// time where they are eight characters. Returns the offset reached, and lowers `count` by the
// characters passed.
std::size_t stepCharacters(std::string_view text, std::size_t at, std::size_t &count);

// The byte offset in `text` after its first `count` characters; `text.size()`
// when it holds no more. A filter that cuts or counts by character cuts
// there, so it never halves a UTF-8 character.
std::size_t characterOffset(std::string_view text, std::size_t count);

// The start of the character that ends `text` (not empty): a valid sequence
// ending there, else the last byte alone.
std::size_t lastCharacterStart(std::string_view text);

// `at`, or the end of the valid sequence that `at` falls within: the first
// place at or after `at` where `text` may be cut without halving one.
std::size_t characterBoundaryFrom(std::string_view text, std::size_t at);

// Unicode's full case mappings in the root locale, which may change a
// character's length ("ß" becomes "SS"). Lower case here maps a capital sigma
// to "σ" wherever it stands; whole texts get the final form through
// `lowerCase` below.
enum class CaseMapping { Upper, Lower, Title };

// The most bytes one code point's mapping takes.
inline constexpr std::size_t maxCaseMappedBytes = 12;

// One mapping of every code point, made once for the whole program; the
// Basic Multilingual Plane is looked up in a table, as a filter's inner
// loop needs it.
class CaseTable {
public:
  static const CaseTable &of(CaseMapping mapping);

  // Writes the mapping of `codePoint` in UTF-8 at `out` (room for
  // maxCaseMappedBytes, which it may use beyond the mapping) and returns its
  // length.
  std::size_t write(char32_t codePoint, char *out) const {
    if (codePoint < 0x10000) {
      std::uint32_t entry = entries_[codePoint];
      if (!(entry & longEntry)) {
        if constexpr (std::endian::native == std::endian::little) {
          std::memcpy(out, &entry, 4); // the bytes, then the count as scratch
        } else {
          out[0] = static_cast<char>(entry);
          out[1] = static_cast<char>(entry >> 8);
          out[2] = static_cast<char>(entry >> 16);
        }
        return entry >> 24;
      }
    }
    return writeLong(codePoint, out);
  }
  void append(std::string &out, char32_t codePoint) const;

  // Whether the mapping leaves `codePoint` as it is for certain: true for
  // whole blocks of 64 code points that hold no character it changes, as the
  // scripts without case do. A loop may copy such a character's bytes.
  bool keepsBlockOf(char32_t codePoint) const {
    char32_t block = codePoint >> 6;
    return block < 1024 && !((changingBlocks_[block >> 6] >> (block & 63)) & 1);
  }

private:
  explicit CaseTable(CaseMapping mapping);
  std::size_t writeLong(char32_t codePoint, char *out) const;

  // An entry holds up to three bytes and their count in its top byte; a
  // longer mapping sets the top bit and indexes `long_`.
  static constexpr std::uint32_t longEntry = 0x80000000u;
  CaseMapping mapping_;
  std::vector<std::uint32_t> entries_;
  std::vector<std::string> long_;
  std::uint64_t changingBlocks_[16] = {};
};

// Whether a code point has case, and whether case mapping looks through it
// (apostrophes, full stops, combining marks): what decides a final sigma.
bool isCased(char32_t codePoint);
bool isCaseIgnorable(char32_t codePoint);

// Whether the text before `at` ends in a cased character and then nothing
// but case-ignorable ones; `earlier` answers for what came before `text`
// when `text` holds nothing else before `at`.
bool endsCased(std::string_view text, std::size_t at, const CodePage &codePage, bool earlier);
// What follows `from` past case-ignorable characters: 1 a cased character,
// 0 another one, -1 the end of `text`.
int casedAhead(std::string_view text, std::size_t from, const CodePage &codePage);

// Engine text in upper or lower case: ASCII and every byte outside a valid
// sequence through the code page's map, as the code page alone changed it; a
// valid sequence by Unicode's full mapping. In lower case a capital sigma
// that ends a word takes its final form "ς".
std::string upperCase(std::string_view text, const CodePage &codePage);
std::string lowerCase(std::string_view text, const CodePage &codePage);

// Where a text is judged from a place within it rather than from its start.

// Whether `pos` lies within a valid multi-byte sequence that began before it,
// so that no character of `text` starts there.
bool isInsideSequence(std::string_view text, std::size_t pos);

// The character that begins `text` (not empty) read by the rule, without
// the code page: its length, its code point when it is a valid sequence or
// ASCII, and whether it is a valid multi-byte sequence.
struct Character {
  std::size_t length;
  char32_t codePoint;
  bool sequence;
};
Character characterAt(std::string_view text);

// Whether two characters are the same ignoring case: two bytes by the code
// page's upper-case map, two characters of Unicode (ASCII among them) by
// simple case folding. A byte of 128 or more standing alone is a character
// of the code page and never the same as a sequence.
bool sameIgnoringCase(const Character &a, const Character &b, const CodePage &codePage);

// What searches compare: a character typed as a UTF-8 sequence and the code
// page's byte of the same character are one letter, so a typed letter finds
// an older file's byte of it and a byte typed in an older list finds the
// letter in UTF-8 text.

// The code point a character stands for: a valid sequence's, or the code
// page's character of any other byte.
char32_t codePointOf(const Character &c, const CodePage &codePage);
// Whether the character has a second form in text: a byte of 128 or more
// (its character in UTF-8), or a sequence whose character the code page
// holds.
bool hasOtherForm(const Character &c, const CodePage &codePage);
// Whether two characters are one letter, whichever form each has; ignoring
// case two bytes compare by the code page's upper-case map, any other pair
// by Unicode's simple case folding.
bool sameCharacter(const Character &a, const Character &b, const CodePage &codePage,
                   bool ignoreCase);
// Every byte that a character the same as `text`'s first (as sameCharacter
// has it) can begin with, in either form; with `sequencesOnly`, only in its
// UTF-8 form (ASCII included).
std::bitset<256> firstBytesOf(std::string_view text, const CodePage &codePage, bool ignoreCase,
                              bool sequencesOnly = false);

// Whether a character counts as a letter or digit (Python's isalpha or
// isdigit) for a valid sequence, or by the code page's table for a byte.
bool isAlphaNumericAt(std::string_view text, const CodePage &codePage);
// Whether the character that begins `text` (not empty) is a combining mark,
// by Unicode for a valid sequence and for a byte the code page's: it
// belongs to the word of the letter before it.
bool isCombiningMarkAt(std::string_view text, const CodePage &codePage);

// The code points that Unicode's simple case folding makes one with
// `codePoint`, itself included.
void appendCaseVariants(char32_t codePoint, std::u32string &variants);

// Ranges of code points, each first and last inclusive.
using CodePointRanges = std::vector<std::pair<char32_t, char32_t>>;
// Sorted, with overlapping and touching ranges joined.
void mergeRanges(CodePointRanges &ranges);
// Whether merged `ranges` hold `codePoint`.
bool inRanges(const CodePointRanges &ranges, char32_t codePoint);
// Widens `ranges` by every code point that differs from a member only in
// case; the result is merged.
void closeOverCase(CodePointRanges &ranges);

// Text folded for comparisons without case: valid sequences through Unicode's
// simple case folding, other bytes through the code page's lower-case map.
void appendFolded(std::string_view text, const CodePage &codePage, std::string &out);

} // namespace utf8

} // namespace marrowen

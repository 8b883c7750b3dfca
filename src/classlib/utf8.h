#pragma once

#include <bitset>
#include <cstddef>
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

// The length (2 to 4) of the valid multi-byte sequence that begins `text`, or
// 0 where none does: an ASCII byte, a stray continuation byte, a sequence cut
// by the end of `text`, an overlong form, a surrogate, a value past U+10FFFF.
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

// True when every byte is ASCII or part of a valid sequence.
bool isValid(std::string_view text);

// True when `text` holds at least one valid multi-byte sequence.
bool hasSequence(std::string_view text);

// Engine text turned into real UTF-8 (or UTF-16) by the rule above: valid
// sequences kept, every other byte read through `codePage`. The one way text
// is shown, logged or handed to a program that expects Unicode.
std::string toUtf8(std::string_view text, const CodePage &codePage);
std::u16string toUtf16(std::string_view text, const CodePage &codePage);

// Unicode's judgement of a code point, as Python's str.isalpha and
// str.isdigit make it.
bool isLetter(char32_t codePoint);
bool isDigit(char32_t codePoint);
// A mark that joins the letter before it (categories Mn, Mc and Me).
bool isCombiningMark(char32_t codePoint);
// Unicode's simple case folding: one code point for one.
char32_t simpleFold(char32_t codePoint);

// Where a text is judged from a place within it rather than from its start.

// Whether `pos` lies within a valid multi-byte sequence that began before it,
// so that no character of `text` starts there.
bool isInsideSequence(std::string_view text, std::size_t pos);

// The length of the character that ends at `end` (0 < end <= text.size()):
// a valid sequence's length, or 1.
std::size_t characterLengthBefore(std::string_view text, std::size_t end);

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

// Every byte that a text the same as `text`'s first character ignoring case
// (as sameIgnoringCase has it) can begin with.
std::bitset<256> firstBytesIgnoringCase(std::string_view text, const CodePage &codePage);

// Whether a character counts as a letter or digit (Python's isalpha or
// isdigit) for a valid sequence, or by the code page's table for a byte.
bool isAlphaNumericAt(std::string_view text, const CodePage &codePage);

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

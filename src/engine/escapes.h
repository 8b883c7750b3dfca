#pragma once

#include "classlib/codepage.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marrowen {

// Texts that users type for filters hold backslash escapes: \a \b \t \n \v \f
// \r \e, "\\", \xHH, \DDD (exactly three decimal digits, 000-255) and \cC (the
// upper-case C XOR 64, C one byte: a UTF-8 letter there is an error); a
// backslash before any other byte stays as written.

// The letter escapes, each a letter and the byte it stands for; shared with
// the language files. The backslash is its own letter.
inline constexpr std::pair<char, char> letterEscapes[] = {
    {'a', '\a'}, {'b', '\b'}, {'t', '\t'},   {'n', '\n'},  {'v', '\v'},
    {'f', '\f'}, {'r', '\r'}, {'e', '\x1b'}, {'\\', '\\'},
};

// The letter of the escape that stands for `byte`; 0 when it has none.
constexpr char escapeLetterOf(unsigned char byte) {
  for (auto [letter, escaped] : letterEscapes)
    if (static_cast<unsigned char>(escaped) == byte)
      return letter;
  return 0;
}

// The byte that `\letter` stands for; -1 when `letter` is no letter escape.
constexpr int escapedByteOf(char letter) {
  for (auto [known, escaped] : letterEscapes)
    if (known == letter)
      return static_cast<unsigned char>(escaped);
  return -1;
}

// The forms that fill a `result` accept a text that is `result` itself.

// Escaped text to bytes. `result` is cleared first; a malformed escape raises
// Exception with one of the messages 2810-2880 and leaves `result` holding
// what was decoded before the error.
void decodeEscapes(std::string_view text, std::string &result);
std::string decodeEscapes(std::string_view text);
// The same, marking each byte of `result` that an escape gave: such a byte
// is searched for as that byte, where a character typed as it is finds
// itself in either form (its UTF-8 sequence or its code-page byte).
void decodeEscapes(std::string_view text, std::string &result, std::vector<bool> &escaped);
// The longest start of escaped text at most `bytes` long that ends between
// whole escapes and, in what it decodes to, between whole letters (as
// graphemes::cutToBytes has them): a stored text limited in bytes never
// ends in half an escape or half a letter. Text that does not decode is
// cut between whole letters of its own.
std::string_view cutEscapedText(std::string_view text, std::size_t bytes);

// Bytes to escaped text that decodeEscapes turns back into the same bytes:
// the control characters with a letter escape use it, the backslash doubles,
// every other byte below 32 and every byte from 127 up becomes \DDD.
void encodeEscapes(std::string_view bytes, std::string &result);
std::string encodeEscapes(std::string_view bytes);

// For display in dialogs: control bytes other than tab, LF and CR are
// escaped; everything else, the backslash included, stays.
void escapeBinaryChars(std::string_view bytes, std::string &result);
std::string escapeBinaryChars(std::string_view bytes);

// For showing a text on one line: every byte below 32 is escaped; everything
// else, the backslash included, stays.
void escapeControlChars(std::string_view bytes, std::string &result);
std::string escapeControlChars(std::string_view bytes);

// Raw text (a comment, a title) as one line that decodeEscapes turns back
// into the same bytes: control bytes escaped as above, and a backslash
// doubled where it would otherwise begin an escape. Other text, bytes from
// 127 up and a backslash before an ordinary letter included, stays as it is.
void escapeControlCharsReversibly(std::string_view bytes, std::string &result);
std::string escapeControlCharsReversibly(std::string_view bytes);

// How the reader of an escaped text takes a backslash before a byte that
// begins no escape: the text decoders keep both, the pattern compiler
// keeps the byte alone.
enum class EscapeReader { Text, Pattern };

// An escaped text (as users type them) as one line that its reader decodes
// to the same bytes: every raw control byte becomes its escape, and one that
// an escape before it would have taken as its operand keeps its meaning. A
// text without control bytes is returned as it is.
void escapeControlCharsInEscapedText(std::string_view text, EscapeReader reader,
                                     std::string &result);
std::string escapeControlCharsInEscapedText(std::string_view text,
                                            EscapeReader reader = EscapeReader::Text);

// 0-15 for 0-9, A-F, a-f; any other byte raises message 2810.
int hexDigitValue(char c);

// Takes the character tables of the configured system code page. Jobs call it
// as they start; the tables in use are never changed in place, so a job that
// holds charTables() keeps a consistent set while another job swaps them.
void initCharTables();
// The current tables (letters, word characters, upper and lower maps).
std::shared_ptr<const CodePage> charTables();

bool isUpperCaseText(std::string_view text);
bool isLowerCaseText(std::string_view text);
bool isMixedCaseText(std::string_view text);

// Case as engine text has it: a valid UTF-8 sequence by Unicode's full
// mapping, every other byte by the code page's maps (utf8::upperCase).

// The replacement in the case of the found text: all upper (or without
// letters) -> upper; all lower -> lower; mixed -> the first character and the
// rest each follow the found text's first character and rest.
void matchCase(std::string_view found, std::string_view replacement, std::string &result);
std::string matchCase(std::string_view found, std::string_view replacement);

// The bytes between a leading and a trailing double quote; otherwise the text
// unchanged. A lone double quote gives an empty text.
void unquote(std::string_view text, std::string &result);
std::string unquote(std::string_view text);

// The lines of a text split at CR, LF or CR LF; a line end at the very end
// does not start another line.
std::vector<std::string> stringListFromText(std::string_view text);

// A text made fit for a memo control, which stops at the first NUL byte.
struct MemoText {
  std::string text;    // the text without its NUL bytes
  bool nullsRemoved;   // whether the user is to be warned
  std::string warning; // message 2890 naming the source and both lengths, or empty
};
MemoText memoTextWithoutNulls(std::string_view sourceName, std::string_view text);

} // namespace marrowen

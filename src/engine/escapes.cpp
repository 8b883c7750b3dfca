#include "engine/escapes.h"

#include "classlib/asciitext.h"
#include "classlib/exceptions.h"
#include "classlib/graphemes.h"
#include "classlib/utf8.h"
#include "engine/messages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <vector>

namespace marrowen {

namespace {

// The escaped form of every byte; length 0 for bytes written as themselves.
struct EncodeTable {
  std::array<std::array<char, 4>, 256> text{};
  std::array<unsigned char, 256> length{};
};

constexpr EncodeTable makeEncodeTable() {
  EncodeTable t;
  for (int b = 0; b < 256; ++b) {
    char letter = escapeLetterOf(static_cast<unsigned char>(b));
    if (letter) {
      t.text[b] = {'\\', letter, 0, 0};
      t.length[b] = 2;
    } else if (b < 32 || b >= 127) {
      t.text[b] = {'\\', static_cast<char>('0' + b / 100), static_cast<char>('0' + b / 10 % 10),
                   static_cast<char>('0' + b % 10)};
      t.length[b] = 4;
    }
  }
  return t;
}

constexpr EncodeTable encodeTable = makeEncodeTable();

using ByteSet = std::array<bool, 256>;

constexpr ByteSet encodedBytes() {
  ByteSet s{};
  for (int b = 0; b < 256; ++b)
    s[b] = encodeTable.length[b] != 0;
  return s;
}

constexpr ByteSet binaryBytes() {
  ByteSet s{};
  for (int b = 0; b < 32; ++b)
    s[b] = b != 9 && b != 10 && b != 13;
  return s;
}

constexpr ByteSet controlBytes() {
  ByteSet s{};
  for (int b = 0; b < 32; ++b)
    s[b] = true;
  return s;
}

constexpr ByteSet encodeSet = encodedBytes();
constexpr ByteSet binarySet = binaryBytes();
constexpr ByteSet controlSet = controlBytes();

// Whether `text` lies in the buffer of `result`, as when a caller turns a
// string into its own result. Such calls read from a copy: `result` is
// overwritten while `text` is still being read.
bool overlaps(std::string_view text, const std::string &result) {
  std::less<const char *> before;
  const char *begin = result.data();
  return !text.empty() && !before(text.data(), begin) &&
         before(text.data(), begin + result.capacity());
}

// Copies runs of bytes that stay in one append each and escapes the others.
void escapeWith(const ByteSet &escaped, std::string_view bytes, std::string &result) {
  if (overlaps(bytes, result)) {
    std::string copy(bytes);
    escapeWith(escaped, copy, result);
    return;
  }
  result.clear();
  result.reserve(bytes.size() + bytes.size() / 8);
  const char *p = bytes.data();
  const char *end = p + bytes.size();
  while (p < end) {
    const char *run = p;
    while (p < end && !escaped[static_cast<unsigned char>(*p)])
      ++p;
    result.append(run, p);
    if (p < end) {
      unsigned char b = static_cast<unsigned char>(*p++);
      result.append(encodeTable.text[b].data(), encodeTable.length[b]);
    }
  }
}

[[noreturn]] void raise(int id, std::string_view defaultText) {
  throw Exception(translate(id, defaultText));
}

std::atomic<std::shared_ptr<const CodePage>> &tables() {
  static std::atomic<std::shared_ptr<const CodePage>> current{systemCodePage()};
  return current;
}

} // namespace

void initCharTables() {
  auto wanted = systemCodePage();
  auto &current = tables();
  if (current.load() != wanted)
    current.store(std::move(wanted));
}

std::shared_ptr<const CodePage> charTables() { return tables().load(); }

namespace {

// Message 2810 naming the character that begins `text` whole: a UTF-8
// letter's first byte alone would show as another letter.
[[noreturn]] void raiseInvalidHexDigit(std::string_view text) {
  throw Exception(translateFormat(2810, "\\xHH Invalid hex digit '%s'",
                                  {text.substr(0, utf8::characterLength(text))}));
}

} // namespace

int hexDigitValue(char c) {
  if (const int value = hexValueOf(c); value >= 0)
    return value;
  raiseInvalidHexDigit(std::string_view(&c, 1));
}

namespace {

// The decoder; with `escaped`, it marks each byte of `result` that an escape
// gave.
void decodeMarking(std::string_view text, std::string &result, std::vector<bool> *escaped) {
  if (overlaps(text, result)) {
    std::string copy(text);
    decodeMarking(copy, result, escaped);
    return;
  }
  enum class State { Plain, Escape, Decimal, Hex, Control };
  result.clear();
  result.reserve(text.size());
  if (escaped)
    escaped->clear();
  // Marks what the last step appended.
  auto mark = [&](bool byEscape) {
    if (escaped)
      escaped->resize(result.size(), byEscape);
  };
  std::shared_ptr<const CodePage> cp; // taken only when a \c needs it
  State state = State::Plain;
  int value = 0;
  int count = 0;
  const char *p = text.data();
  const char *end = p + text.size();
  while (p < end) {
    if (state == State::Plain) {
      const void *found = std::memchr(p, '\\', static_cast<std::size_t>(end - p));
      const char *slash = found ? static_cast<const char *>(found) : end;
      result.append(p, slash);
      mark(false);
      p = slash;
      if (p < end) {
        state = State::Escape;
        ++p;
      }
      continue;
    }
    char c = *p++;
    switch (state) {
    case State::Escape:
      state = State::Plain;
      if (int byte = escapedByteOf(c); byte >= 0) {
        result += static_cast<char>(byte);
        mark(true);
        break;
      }
      switch (c) {
      case 'x':
        state = State::Hex;
        value = 0;
        count = 0;
        break;
      case 'c':
        state = State::Control;
        break;
      case '0':
      case '1':
      case '2':
        state = State::Decimal;
        value = c - '0';
        count = 1;
        break;
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        raise(2820, "\\DDD must start with the decimal digit 0, 1 or 2 (Leading zeros are "
                    "required). Valid range is 000-255");
      default:
        result += '\\';
        result += c;
        mark(false);
        break;
      }
      break;
    case State::Decimal:
      if (c < '0' || c > '9')
        raise(2840, "\\DDD You must specify all 3 decimal digits (Leading zeros are required)");
      value = value * 10 + (c - '0');
      if (++count == 3) {
        if (value > 255)
          raise(2830, "\\DDD Maximum value is 255");
        result += static_cast<char>(value);
        mark(true);
        state = State::Plain;
      }
      break;
    case State::Hex:
      if (hexValueOf(c) < 0)
        raiseInvalidHexDigit(std::string_view(p - 1, static_cast<std::size_t>(end - p + 1)));
      value = value * 16 + hexValueOf(c);
      if (++count == 2) {
        result += static_cast<char>(value);
        mark(true);
        state = State::Plain;
      }
      break;
    case State::Control:
      // A UTF-8 letter has no control character, and taking its first byte
      // alone would leave the rest of it as stray bytes.
      if (utf8::sequenceLength(std::string_view(p - 1, static_cast<std::size_t>(end - p + 1))) != 0)
        raise(2880, "\\cC Expecting an upper case letter");
      if (!cp)
        cp = charTables();
      result += static_cast<char>(cp->toUpper(static_cast<unsigned char>(c)) ^ 64);
      mark(true);
      state = State::Plain;
      break;
    case State::Plain:
      break;
    }
  }
  switch (state) {
  case State::Escape:
    raise(2850, "Trailing \\ needs to be followed by something");
  case State::Decimal:
    raise(2860, "\\DDD Expecting 3 trailing decimal digits");
  case State::Hex:
    raise(2870, "\\xHH Expecting 2 trailing hex digits");
  case State::Control:
    raise(2880, "\\cC Expecting an upper case letter");
  case State::Plain:
    break;
  }
}

} // namespace

void decodeEscapes(std::string_view text, std::string &result) {
  decodeMarking(text, result, nullptr);
}

void decodeEscapes(std::string_view text, std::string &result, std::vector<bool> &escaped) {
  decodeMarking(text, result, &escaped);
}

std::string decodeEscapes(std::string_view text) {
  std::string result;
  decodeEscapes(text, result);
  return result;
}

namespace {

// The escape (or plain byte) that begins `text` (not empty): its length and
// the bytes it decodes to, as decodeEscapes reads it.
std::pair<std::size_t, std::size_t> escapeAt(std::string_view text) {
  if (text[0] != '\\' || text.size() == 1)
    return {1, 1};
  const char c = text[1];
  if (escapedByteOf(c) >= 0)
    return {2, 1};
  if (c == 'c')
    return {std::min<std::size_t>(3, text.size()), 1};
  if (c == 'x' || (c >= '0' && c <= '2'))
    return {std::min<std::size_t>(4, text.size()), 1};
  return {2, 2}; // a backslash before another character stays as written
}

} // namespace

std::string_view cutEscapedText(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes)
    return text;
  const std::shared_ptr<const CodePage> cp = charTables();
  std::string decoded;
  try {
    decodeEscapes(text, decoded);
  } catch (const Exception &) {
    return graphemes::cutToBytes(text, *cp, bytes);
  }
  // Where each whole escape within the limit ends, in the text and in what
  // it decodes to.
  std::vector<std::pair<std::size_t, std::size_t>> ends{{0, 0}};
  for (std::size_t at = 0, length = 0; at < text.size();) {
    const auto [escaped, produced] = escapeAt(text.substr(at));
    if (at + escaped > bytes)
      break;
    at += escaped;
    length += produced;
    ends.emplace_back(at, length);
  }
  // The last end that falls between whole letters.
  std::size_t letters = graphemes::cutToBytes(decoded, *cp, ends.back().second).size();
  for (;;) {
    auto end = std::upper_bound(ends.begin(), ends.end(), letters,
                                [](std::size_t n, const auto &e) { return n < e.second; });
    --end;
    if (end->second == letters)
      return text.substr(0, end->first);
    letters = graphemes::cutToBytes(decoded, *cp, end->second).size();
  }
}

void encodeEscapes(std::string_view bytes, std::string &result) {
  escapeWith(encodeSet, bytes, result);
}

std::string encodeEscapes(std::string_view bytes) {
  std::string result;
  encodeEscapes(bytes, result);
  return result;
}

void escapeBinaryChars(std::string_view bytes, std::string &result) {
  escapeWith(binarySet, bytes, result);
}

std::string escapeBinaryChars(std::string_view bytes) {
  std::string result;
  escapeBinaryChars(bytes, result);
  return result;
}

void escapeControlChars(std::string_view bytes, std::string &result) {
  escapeWith(controlSet, bytes, result);
}

std::string escapeControlChars(std::string_view bytes) {
  std::string result;
  escapeControlChars(bytes, result);
  return result;
}

namespace {

// Whether a backslash before `c` begins an escape that takes `c` (and maybe
// more) with it.
bool beginsEscape(unsigned char c) {
  return escapedByteOf(static_cast<char>(c)) >= 0 || c == 'x' || c == 'c' || (c >= '0' && c <= '9');
}

void appendEscaped(unsigned char b, std::string &result) {
  result.append(encodeTable.text[b].data(), encodeTable.length[b]);
}

} // namespace

void escapeControlCharsReversibly(std::string_view bytes, std::string &result) {
  if (overlaps(bytes, result)) {
    std::string copy(bytes);
    escapeControlCharsReversibly(copy, result);
    return;
  }
  result.clear();
  result.reserve(bytes.size() + bytes.size() / 8);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == '\\') {
      result += '\\';
      // A control byte after it is written as an escape, which begins with
      // a backslash itself.
      if (i + 1 == bytes.size() || controlSet[static_cast<unsigned char>(bytes[i + 1])] ||
          beginsEscape(static_cast<unsigned char>(bytes[i + 1])))
        result += '\\';
    } else if (controlSet[b]) {
      appendEscaped(b, result);
    } else {
      result += static_cast<char>(b);
    }
  }
}

std::string escapeControlCharsReversibly(std::string_view bytes) {
  std::string result;
  escapeControlCharsReversibly(bytes, result);
  return result;
}

void escapeControlCharsInEscapedText(std::string_view text, EscapeReader reader,
                                     std::string &result) {
  if (overlaps(text, result)) {
    std::string copy(text);
    escapeControlCharsInEscapedText(copy, reader, result);
    return;
  }
  result.clear();
  result.reserve(text.size() + text.size() / 8);
  const auto at = [&](std::size_t k) -> unsigned char {
    return k < text.size() ? static_cast<unsigned char>(text[k]) : 0;
  };
  const auto isControl = [&](std::size_t k) { return k < text.size() && controlSet[at(k)]; };
  std::size_t i = 0;
  // An escape is copied whole, so that a backslash among its operands is
  // not taken for the start of the next one.
  const auto copyOperands = [&](std::size_t count, bool (*accepts)(unsigned char)) {
    for (; count > 0 && i < text.size() && accepts(at(i)); --count)
      result += text[i++];
  };
  while (i < text.size()) {
    const unsigned char b = at(i);
    if (b != '\\') {
      if (controlSet[b])
        appendEscaped(b, result);
      else
        result += static_cast<char>(b);
      ++i;
      continue;
    }
    if (i + 1 == text.size()) {
      result += '\\';
      ++i;
    } else if (isControl(i + 1)) {
      // The byte stands for itself: after its own backslash for the text
      // decoders, alone for the pattern compiler.
      if (reader == EscapeReader::Text)
        result += "\\\\";
      appendEscaped(at(i + 1), result);
      i += 2;
    } else if (at(i + 1) == 'c' && isControl(i + 2)) {
      // A control letter of a control byte is a printable byte; written in
      // hex it needs no care where it lands. Case mapping leaves bytes below
      // 32 alone.
      const unsigned char value = at(i + 2) ^ 64;
      result += "\\x";
      result += upperHexDigits[value >> 4];
      result += upperHexDigits[value & 15];
      i += 3;
    } else {
      const unsigned char letter = at(i + 1);
      result += '\\';
      result += static_cast<char>(letter);
      i += 2;
      if (letter == 'x')
        copyOperands(2, [](unsigned char c) { return hexValueOf(static_cast<char>(c)) >= 0; });
      else if (letter >= '0' && letter <= '2')
        copyOperands(2, [](unsigned char c) { return c >= '0' && c <= '9'; });
      else if (letter == 'c' && i < text.size())
        result += text[i++];
    }
  }
}

std::string escapeControlCharsInEscapedText(std::string_view text, EscapeReader reader) {
  std::string result;
  escapeControlCharsInEscapedText(text, reader, result);
  return result;
}

namespace {

// A text's case is judged on its characters, so that a letter reads the same
// as a code-page byte and as UTF-8: the code page's own map keeps "ß" and
// "µ" as they are in upper case, which would call them capitals.
bool equalsUpper(std::string_view text, const CodePage &cp) {
  const std::string characters = utf8::toUtf8(text, cp);
  return utf8::upperCase(characters, cp) == characters;
}

bool equalsLower(std::string_view text, const CodePage &cp) {
  const std::string characters = utf8::toUtf8(text, cp);
  return utf8::lowerCase(characters, cp) == characters;
}

} // namespace

bool isUpperCaseText(std::string_view text) { return equalsUpper(text, *charTables()); }

bool isLowerCaseText(std::string_view text) { return equalsLower(text, *charTables()); }

bool isMixedCaseText(std::string_view text) {
  auto cp = charTables();
  return !equalsUpper(text, *cp) && !equalsLower(text, *cp);
}

void matchCase(std::string_view found, std::string_view replacement, std::string &result) {
  if (overlaps(found, result)) {
    std::string copy(found);
    matchCase(copy, replacement, result);
    return;
  }
  auto cp = charTables();
  if (equalsUpper(found, *cp)) {
    result = utf8::upperCase(replacement, *cp);
    return;
  }
  if (equalsLower(found, *cp)) {
    result = utf8::lowerCase(replacement, *cp);
    return;
  }
  // Mixed case: found is not empty. A UTF-8 letter counts as one character
  // at either end, so it is never cased by halves.
  result.assign(replacement);
  if (replacement.empty() || !utf8::wordCharacterAt(found, *cp).letter)
    return;
  const std::size_t foundHead = utf8::characterLength(found);
  const std::string_view first = found.substr(0, foundHead);
  const std::size_t head = utf8::characterLength(replacement);
  std::string cased = !equalsUpper(first, *cp) ? utf8::lowerCase(replacement.substr(0, head), *cp)
                                               : utf8::upperCase(replacement.substr(0, head), *cp);
  std::string_view rest = found.substr(foundHead);
  std::string_view tail = replacement.substr(head);
  if (equalsUpper(rest, *cp))
    cased += utf8::upperCase(tail, *cp);
  else if (equalsLower(rest, *cp))
    // Lowered after its first character, so that a sigma ending the word
    // takes its final form ("ΟΣ" after "Ab" gives "Ος"). The first
    // character's lower case never depends on what follows it.
    cased.append(utf8::lowerCase(replacement, *cp),
                 utf8::lowerCase(replacement.substr(0, head), *cp).size());
  else
    cased += tail;
  result = std::move(cased);
}

std::string matchCase(std::string_view found, std::string_view replacement) {
  std::string result;
  matchCase(found, replacement, result);
  return result;
}

void unquote(std::string_view text, std::string &result) {
  if (!text.empty() && text.front() == '"' && text.back() == '"')
    text = text.size() == 1 ? std::string_view() : text.substr(1, text.size() - 2);
  result.assign(text);
}

std::string unquote(std::string_view text) {
  std::string result;
  unquote(text, result);
  return result;
}

std::vector<std::string> stringListFromText(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t brk = text.find_first_of("\r\n", pos);
    if (brk == std::string_view::npos) {
      lines.emplace_back(text.substr(pos));
      break;
    }
    lines.emplace_back(text.substr(pos, brk - pos));
    pos = brk + (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

MemoText memoTextWithoutNulls(std::string_view sourceName, std::string_view text) {
  MemoText memo{std::string(), false, std::string()};
  memo.text.reserve(text.size());
  const char *p = text.data();
  const char *end = p + text.size();
  while (p < end) {
    const void *nul = std::memchr(p, 0, static_cast<std::size_t>(end - p));
    const char *stop = nul ? static_cast<const char *>(nul) : end;
    memo.text.append(p, stop);
    p = stop < end ? stop + 1 : end;
  }
  if (memo.text.size() != text.size()) {
    memo.nullsRemoved = true;
    memo.warning = translateFormat(
        2890, "Warning - embedded nulls removed from %s (original length: %d, new length: %d)",
        {sourceName, text.size(), memo.text.size()});
  }
  return memo;
}

} // namespace marrowen

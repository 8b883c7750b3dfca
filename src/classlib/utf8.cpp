#include "classlib/utf8.h"

#include "classlib/codepage.h"

#include <unicode/uchar.h>

namespace marrowen::utf8 {

namespace {

inline unsigned char byteAt(std::string_view s, std::size_t i) {
  return static_cast<unsigned char>(s[i]);
}

inline bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

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
  if (c == 0xE0)
    return {3, 0xA0, 0xBF};
  if (c == 0xED)
    return {3, 0x80, 0x9F};
  if (c >= 0xE1 && c <= 0xEF)
    return {3, 0x80, 0xBF};
  if (c == 0xF0)
    return {4, 0x90, 0xBF};
  if (c >= 0xF1 && c <= 0xF3)
    return {4, 0x80, 0xBF};
  if (c == 0xF4)
    return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

// Whether the `n` bytes at `s` are a correct start of the sequence `lead`
// announces.
inline bool validPrefix(std::string_view s, Lead lead, std::size_t n) {
  if (n >= 2) {
    unsigned char c = byteAt(s, 1);
    if (c < lead.low || c > lead.high)
      return false;
  }
  for (std::size_t i = 2; i < n; ++i)
    if (!isContinuation(byteAt(s, i)))
      return false;
  return true;
}

} // namespace

std::size_t sequenceLength(std::string_view text) {
  if (text.empty())
    return 0;
  Lead lead = leadOf(byteAt(text, 0));
  if (lead.length == 0 || text.size() < lead.length || !validPrefix(text, lead, lead.length))
    return 0;
  return lead.length;
}

std::size_t incompleteTail(std::string_view text) {
  std::size_t size = text.size();
  for (std::size_t k = 1; k <= 3 && k <= size; ++k) {
    unsigned char c = byteAt(text, size - k);
    if (isContinuation(c))
      continue;
    Lead lead = leadOf(c);
    if (lead.length > k && validPrefix(text.substr(size - k), lead, k))
      return k;
    return 0;
  }
  return 0;
}

char32_t decode(std::string_view seq) {
  unsigned char c = byteAt(seq, 0);
  if (c < 0x80)
    return c;
  char32_t cp = seq.size() == 2 ? (c & 0x1F) : seq.size() == 3 ? (c & 0x0F) : (c & 0x07);
  for (std::size_t i = 1; i < seq.size(); ++i)
    cp = (cp << 6) | (byteAt(seq, i) & 0x3F);
  return cp;
}

char32_t decodeCharacter(std::string_view text, const CodePage &codePage, std::size_t &length) {
  unsigned char c = byteAt(text, 0);
  if (c < 0x80) {
    length = 1;
    return c;
  }
  std::size_t n = sequenceLength(text);
  if (n) {
    length = n;
    return decode(text.substr(0, n));
  }
  length = 1;
  return codePage.toUnicode(c);
}

void append(std::string &out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool isValid(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (byteAt(text, i) < 0x80) {
      ++i;
      continue;
    }
    std::size_t n = sequenceLength(text.substr(i));
    if (!n)
      return false;
    i += n;
  }
  return true;
}

bool hasSequence(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (byteAt(text, i) >= 0xC2 && sequenceLength(text.substr(i)))
      return true;
  return false;
}

std::string_view cutToBytes(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes)
    return text;
  // A sequence the cut falls in begins at most three bytes before it.
  for (std::size_t back = 1; back <= 3 && back <= bytes; ++back) {
    const std::size_t start = bytes - back;
    if (const std::size_t length = sequenceLength(text.substr(start)))
      return text.substr(0, start + length > bytes ? start : bytes);
  }
  return text.substr(0, bytes);
}

std::string toUtf8(std::string_view text, const CodePage &codePage) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t start = i;
    while (i < text.size() && byteAt(text, i) < 0x80)
      ++i;
    out.append(text.data() + start, i - start);
    if (i == text.size())
      break;
    std::size_t n = sequenceLength(text.substr(i));
    if (n) {
      out.append(text.data() + i, n);
      i += n;
    } else {
      append(out, codePage.toUnicode(byteAt(text, i)));
      ++i;
    }
  }
  return out;
}

std::u16string toUtf16(std::string_view text, const CodePage &codePage) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t length;
    char32_t cp = decodeCharacter(text.substr(i), codePage, length);
    i += length;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

bool isLetter(char32_t cp) { return u_isalpha(static_cast<UChar32>(cp)); }

bool isDigit(char32_t cp) {
  // Python's isdigit: decimal digits and the digits that are no decimal
  // digits (superscripts, circled digits).
  int type = u_getIntPropertyValue(static_cast<UChar32>(cp), UCHAR_NUMERIC_TYPE);
  return type == U_NT_DECIMAL || type == U_NT_DIGIT;
}

bool isCombiningMark(char32_t cp) {
  int mask = U_GET_GC_MASK(static_cast<UChar32>(cp));
  return (mask & (U_GC_MN_MASK | U_GC_MC_MASK | U_GC_ME_MASK)) != 0;
}

char32_t simpleFold(char32_t cp) {
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(cp), U_FOLD_CASE_DEFAULT));
}

} // namespace marrowen::utf8

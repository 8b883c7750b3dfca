#include "classlib/utf8.h"

#include "classlib/codepage.h"

#include <unicode/uchar.h>
#include <unicode/uset.h>

#include <algorithm>
#include <memory>

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

bool isInsideSequence(std::string_view text, std::size_t pos) {
  if (pos >= text.size() || !isContinuation(byteAt(text, pos)))
    return false;
  // A lead byte is never a continuation byte, so the nearest one before
  // `pos` is the only one whose sequence can hold it.
  for (std::size_t k = 1; k <= 3 && k <= pos; ++k) {
    unsigned char c = byteAt(text, pos - k);
    if (isContinuation(c))
      continue;
    return sequenceLength(text.substr(pos - k)) > k;
  }
  return false;
}

std::size_t characterLengthBefore(std::string_view text, std::size_t end) {
  if (!isContinuation(byteAt(text, end - 1)))
    return 1;
  for (std::size_t k = 2; k <= 4 && k <= end; ++k) {
    unsigned char c = byteAt(text, end - k);
    if (isContinuation(c))
      continue;
    return sequenceLength(text.substr(end - k)) == k ? k : 1;
  }
  return 1;
}

Character characterAt(std::string_view text) {
  unsigned char c = byteAt(text, 0);
  if (c >= 0xC2) {
    if (std::size_t n = sequenceLength(text))
      return {n, decode(text.substr(0, n)), true};
  }
  return {1, c, false};
}

bool sameIgnoringCase(const Character &a, const Character &b, const CodePage &codePage) {
  if (!a.sequence && !b.sequence)
    return codePage.toUpper(static_cast<unsigned char>(a.codePoint)) ==
           codePage.toUpper(static_cast<unsigned char>(b.codePoint));
  if ((!a.sequence && a.codePoint >= 0x80) || (!b.sequence && b.codePoint >= 0x80))
    return false;
  return simpleFold(a.codePoint) == simpleFold(b.codePoint);
}

std::bitset<256> firstBytesIgnoringCase(std::string_view text, const CodePage &codePage) {
  std::bitset<256> bytes;
  const Character first = characterAt(text);
  auto addByte = [&](unsigned char c) {
    for (int b = 0; b < 256; ++b)
      if (codePage.toUpper(static_cast<unsigned char>(b)) == codePage.toUpper(c))
        bytes.set(static_cast<std::size_t>(b));
  };
  if (!first.sequence)
    addByte(static_cast<unsigned char>(first.codePoint));
  if (first.sequence || first.codePoint < 0x80) {
    std::u32string variants;
    appendCaseVariants(first.codePoint, variants);
    for (char32_t v : variants) {
      std::string encoded;
      append(encoded, v);
      if (v < 0x80)
        addByte(static_cast<unsigned char>(v));
      else
        bytes.set(static_cast<unsigned char>(encoded[0]));
    }
  }
  return bytes;
}

bool isAlphaNumericAt(std::string_view text, const CodePage &codePage) {
  Character c = characterAt(text);
  if (!c.sequence)
    return codePage.isAlphaNumeric(static_cast<unsigned char>(c.codePoint));
  return isLetter(c.codePoint) || isDigit(c.codePoint);
}

void appendCaseVariants(char32_t cp, std::u32string &variants) {
  const char32_t folded = simpleFold(cp);
  std::size_t first = variants.size();
  variants += cp;
  CodePointRanges ranges{{cp, cp}};
  closeOverCase(ranges);
  for (const auto &[low, high] : ranges)
    for (char32_t v = low; v <= high; ++v)
      if (v != cp && simpleFold(v) == folded &&
          std::find(variants.begin() + static_cast<std::ptrdiff_t>(first), variants.end(), v) ==
              variants.end())
        variants += v;
}

void mergeRanges(CodePointRanges &ranges) {
  for (auto &range : ranges)
    if (range.first > range.second)
      std::swap(range.first, range.second);
  std::sort(ranges.begin(), ranges.end());
  std::size_t kept = 0;
  for (const auto &range : ranges) {
    if (kept > 0 && range.first <= ranges[kept - 1].second + 1)
      ranges[kept - 1].second = std::max(ranges[kept - 1].second, range.second);
    else
      ranges[kept++] = range;
  }
  ranges.resize(kept);
}

bool inRanges(const CodePointRanges &ranges, char32_t cp) {
  auto after = std::upper_bound(ranges.begin(), ranges.end(), cp,
                                [](char32_t v, const auto &range) { return v < range.first; });
  return after != ranges.begin() && cp <= std::prev(after)->second;
}

void closeOverCase(CodePointRanges &ranges) {
  struct SetCloser {
    void operator()(USet *set) const { uset_close(set); }
  };
  std::unique_ptr<USet, SetCloser> set(uset_openEmpty());
  for (const auto &[first, last] : ranges)
    uset_addRange(set.get(), static_cast<UChar32>(std::min(first, last)),
                  static_cast<UChar32>(std::max(first, last)));
  uset_closeOver(set.get(), USET_CASE_INSENSITIVE);
  ranges.clear();
  const int32_t count = uset_getRangeCount(set.get());
  UErrorCode status = U_ZERO_ERROR;
  for (int32_t i = 0; i < count; ++i) {
    UChar32 first = 0, last = 0;
    status = U_ZERO_ERROR;
    // The items after the ranges are strings (a full folding's), which a
    // one-character match cannot take.
    if (uset_getItem(set.get(), i, &first, &last, nullptr, 0, &status) == 0 && U_SUCCESS(status))
      ranges.emplace_back(static_cast<char32_t>(first), static_cast<char32_t>(last));
  }
  mergeRanges(ranges);
}

void appendFolded(std::string_view text, const CodePage &codePage, std::string &out) {
  const auto &lower = codePage.lowerMap();
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = byteAt(text, i);
    if (c < 0x80) {
      out += static_cast<char>(lower[c]);
      ++i;
      continue;
    }
    Character ch = characterAt(text.substr(i));
    if (ch.sequence)
      append(out, simpleFold(ch.codePoint));
    else
      out += static_cast<char>(lower[c]);
    i += ch.length;
  }
}

} // namespace marrowen::utf8

#include "classlib/utf8.h"

#include "classlib/codepage.h"

#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace marrowen::utf8 {

namespace {

inline unsigned char byteAt(std::string_view s, std::size_t i) {
  return static_cast<unsigned char>(s[i]);
}

inline bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

using detail::Lead;
using detail::leadOf;

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
  char32_t cp;
  return text.empty() ? 0
                      : decodeSequence(reinterpret_cast<const unsigned char *>(text.data()),
                                       text.size(), cp);
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

namespace {

template <bool Fold>
std::size_t writeUtf16Text(std::string_view text, const CodePage &codePage, char16_t *out) {
  char16_t *o = out;
  const auto &lower = codePage.lowerMap();
  const auto *p = reinterpret_cast<const unsigned char *>(text.data());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    char32_t cp;
    std::size_t n = p[i] < 0x80 ? 0 : decodeSequence(p + i, size - i, cp);
    if (!n) {
      *o++ = codePage.toUnicode(Fold ? lower[p[i]] : p[i]);
      ++i;
      continue;
    }
    if constexpr (Fold)
      cp = simpleFold(cp);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *o++ = static_cast<char16_t>(cp);
    }
    i += n;
  }
  return static_cast<std::size_t>(o - out);
}

} // namespace

std::size_t writeUtf16(std::string_view text, const CodePage &codePage, bool fold, char16_t *out) {
  return fold ? writeUtf16Text<true>(text, codePage, out)
              : writeUtf16Text<false>(text, codePage, out);
}

std::u16string toUtf16(std::string_view text, const CodePage &codePage) {
  // Never more code units than bytes.
  std::u16string out(text.size(), u'\0');
  out.resize(writeUtf16(text, codePage, false, out.data()));
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
  return pos < text.size() && isContinuation(byteAt(text, pos)) &&
         characterBoundaryFrom(text, pos) != pos;
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

char32_t codePointOf(const Character &c, const CodePage &codePage) {
  return c.sequence || c.codePoint < 0x80
             ? c.codePoint
             : codePage.toUnicode(static_cast<unsigned char>(c.codePoint));
}

bool hasOtherForm(const Character &c, const CodePage &codePage) {
  unsigned char byte = 0;
  if (!c.sequence)
    return c.codePoint >= 0x80;
  return c.codePoint < 0x10000 && codePage.fromUnicode(static_cast<char16_t>(c.codePoint), byte) &&
         byte >= 0x80;
}

bool sameCharacter(const Character &a, const Character &b, const CodePage &codePage,
                   bool ignoreCase) {
  if (!a.sequence && !b.sequence) {
    const auto x = static_cast<unsigned char>(a.codePoint);
    const auto y = static_cast<unsigned char>(b.codePoint);
    return x == y || (ignoreCase && codePage.toUpper(x) == codePage.toUpper(y));
  }
  const char32_t x = codePointOf(a, codePage);
  const char32_t y = codePointOf(b, codePage);
  return x == y || (ignoreCase && simpleFold(x) == simpleFold(y));
}

std::bitset<256> firstBytesOf(std::string_view text, const CodePage &codePage, bool ignoreCase,
                              bool sequencesOnly) {
  std::bitset<256> bytes;
  auto addByte = [&](unsigned char c) {
    bytes.set(c);
    if (ignoreCase)
      for (int b = 0; b < 256; ++b)
        if (codePage.toUpper(static_cast<unsigned char>(b)) == codePage.toUpper(c))
          bytes.set(static_cast<std::size_t>(b));
  };
  const Character first = characterAt(text);
  if (!first.sequence && !(sequencesOnly && first.codePoint >= 0x80))
    addByte(static_cast<unsigned char>(first.codePoint));
  std::u32string variants;
  const char32_t character = codePointOf(first, codePage);
  if (ignoreCase)
    appendCaseVariants(character, variants);
  else
    variants += character;
  for (char32_t v : variants) {
    unsigned char byte = 0;
    if (v < 0x80) {
      addByte(static_cast<unsigned char>(v));
      continue;
    }
    std::string encoded;
    append(encoded, v);
    bytes.set(static_cast<unsigned char>(encoded[0]));
    if (!sequencesOnly && v < 0x10000 && codePage.fromUnicode(static_cast<char16_t>(v), byte) &&
        byte >= 0x80)
      addByte(byte);
  }
  return bytes;
}

bool isAlphaNumericAt(std::string_view text, const CodePage &codePage) {
  Character c = characterAt(text);
  if (!c.sequence)
    return codePage.isAlphaNumeric(static_cast<unsigned char>(c.codePoint));
  return isLetter(c.codePoint) || isDigit(c.codePoint);
}

bool isCombiningMarkAt(std::string_view text, const CodePage &codePage) {
  Character c = characterAt(text);
  if (c.codePoint < 0x80)
    return false;
  return isCombiningMark(c.sequence ? c.codePoint
                                    : codePage.toUnicode(static_cast<unsigned char>(c.codePoint)));
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

namespace marrowen::utf8 {

WordCharacter wordCharacterAt(std::string_view text, const CodePage &codePage) {
  unsigned char c = byteAt(text, 0);
  std::size_t n = c < 0x80 ? 0 : sequenceLength(text);
  if (!n)
    return {1, codePage.isLetter(c), codePage.isWordChar(c)};
  char32_t cp = decode(text.substr(0, n));
  bool letter = isLetter(cp);
  return {n, letter, letter || isDigit(cp) || isCombiningMark(cp)};
}

std::size_t stepCharacters(std::string_view text, std::size_t at, std::size_t &count) {
  const auto *p = reinterpret_cast<const unsigned char *>(text.data());
  const std::size_t size = text.size();
  while (count > 0 && at < size) {
    // Eight characters at a time while they last.
    const std::size_t words = std::min(count, size - at) / 8;
    std::size_t k = 0;
    for (; k < words; ++k) {
      std::uint64_t word;
      std::memcpy(&word, p + at + 8 * k, 8);
      if ((word & 0x8080808080808080ull) && !isEightCharacters(word))
        break;
    }
    at += 8 * k;
    count -= 8 * k;
    // Then one at a time over the eight bytes that held a sequence.
    for (const std::size_t until = at + 8; count > 0 && at < size && at < until; --count) {
      if (p[at] < 0x80) {
        ++at;
      } else {
        char32_t cp;
        const std::size_t n = decodeSequence(p + at, size - at, cp);
        at += n ? n : 1;
      }
    }
  }
  return at;
}

std::size_t characterCount(std::string_view text) {
  std::size_t left = text.size(); // never fewer bytes than characters
  stepCharacters(text, 0, left);
  return text.size() - left;
}

std::size_t characterOffset(std::string_view text, std::size_t count) {
  return stepCharacters(text, 0, count);
}

std::size_t lastCharacterStart(std::string_view text) {
  std::size_t size = text.size();
  for (std::size_t k = 2; k <= 4 && k <= size; ++k) {
    unsigned char c = byteAt(text, size - k);
    if (isContinuation(c))
      continue;
    if (sequenceLength(text.substr(size - k)) == k)
      return size - k;
    break;
  }
  return size - 1;
}

std::size_t characterBoundaryFrom(std::string_view text, std::size_t at) {
  for (std::size_t k = 1; k <= 3 && k <= at && at < text.size(); ++k) {
    if (!isContinuation(byteAt(text, at - k + 1)))
      break;
    std::size_t n = sequenceLength(text.substr(at - k));
    if (n > k)
      return at - k + n;
  }
  return at;
}

namespace {

// The UTF-16 result of one ICU mapping as UTF-8.
std::string utf8Of(const UChar *units, int32_t length) {
  std::string out;
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U16_NEXT(units, i, length, c);
    append(out, static_cast<char32_t>(c));
  }
  return out;
}

} // namespace

namespace {

// A mapping of up to three bytes as a table entry: the bytes, then their
// count in the top byte.
std::uint32_t shortEntry(std::string_view bytes) {
  std::uint32_t entry = static_cast<std::uint32_t>(bytes.size()) << 24;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    entry |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return entry;
}

} // namespace

CaseTable::CaseTable(CaseMapping mapping) : mapping_(mapping), entries_(0x10000) {
  // Every code point first maps to itself; ICU is asked only about the few
  // thousand that case mapping changes, which keeps the start of a job short.
  std::string same;
  for (char32_t cp = 0; cp < 0x10000; ++cp) {
    same.clear();
    if (cp >= 0xD800 && cp <= 0xDFFF)
      same = "?"; // no valid sequence decodes to a surrogate
    else
      utf8::append(same, cp);
    entries_[cp] = shortEntry(same);
  }
  UErrorCode status = U_ZERO_ERROR;
  const USet *changing = u_getBinaryPropertySet(UCHAR_CHANGES_WHEN_CASEMAPPED, &status);
  if (U_FAILURE(status))
    return;
  // The whole one-letter text is one word, so its letter is title-cased.
  std::unique_ptr<UCaseMap, void (*)(UCaseMap *)> titleMap(
      ucasemap_open("", U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_LOWERCASE, &status),
      ucasemap_close);
  const int32_t ranges = uset_getRangeCount(changing);
  for (int32_t r = 0; r < ranges; ++r) {
    UChar32 low = 0, high = 0;
    status = U_ZERO_ERROR;
    uset_getItem(changing, r, &low, &high, nullptr, 0, &status);
    for (UChar32 c = low; c <= high && c < 0x10000; ++c) {
      const auto cp = static_cast<char32_t>(c);
      if (cp >= 0xD800 && cp <= 0xDFFF)
        continue;
      UChar source[1] = {static_cast<UChar>(cp)};
      UChar result[8];
      status = U_ZERO_ERROR;
      int32_t length = 0;
      switch (mapping) {
      case CaseMapping::Upper:
        length = u_strToUpper(result, 8, source, 1, "", &status);
        break;
      case CaseMapping::Lower:
        length = u_strToLower(result, 8, source, 1, "", &status);
        break;
      case CaseMapping::Title:
        length = ucasemap_toTitle(titleMap.get(), result, 8, source, 1, &status);
        break;
      }
      if (U_FAILURE(status))
        continue;
      std::string mapped = utf8Of(result, length);
      std::string same;
      utf8::append(same, cp);
      if (mapped == same)
        continue;
      changingBlocks_[cp >> 12] |= std::uint64_t{1} << ((cp >> 6) & 63);
      if (mapped.size() <= 3) {
        entries_[cp] = shortEntry(mapped);
      } else {
        entries_[cp] = longEntry | static_cast<std::uint32_t>(long_.size());
        long_.push_back(std::move(mapped));
      }
    }
  }
}

const CaseTable &CaseTable::of(CaseMapping mapping) {
  static const CaseTable upper(CaseMapping::Upper);
  static const CaseTable lower(CaseMapping::Lower);
  static const CaseTable title(CaseMapping::Title);
  switch (mapping) {
  case CaseMapping::Upper:
    return upper;
  case CaseMapping::Lower:
    return lower;
  case CaseMapping::Title:
    break;
  }
  return title;
}

std::size_t CaseTable::writeLong(char32_t cp, char *out) const {
  std::string mapped;
  if (cp < 0x10000) {
    const std::string &entry = long_[entries_[cp] & ~longEntry];
    std::memcpy(out, entry.data(), entry.size());
    return entry.size();
  }
  // Beyond the Basic Multilingual Plane every full mapping is a simple one.
  auto c = static_cast<UChar32>(cp);
  UChar32 result = mapping_ == CaseMapping::Upper   ? u_toupper(c)
                   : mapping_ == CaseMapping::Lower ? u_tolower(c)
                                                    : u_totitle(c);
  utf8::append(mapped, static_cast<char32_t>(result));
  std::memcpy(out, mapped.data(), mapped.size());
  return mapped.size();
}

void CaseTable::append(std::string &out, char32_t codePoint) const {
  char bytes[maxCaseMappedBytes];
  out.append(bytes, write(codePoint, bytes));
}

bool isCased(char32_t cp) { return u_hasBinaryProperty(static_cast<UChar32>(cp), UCHAR_CASED); }

bool isCaseIgnorable(char32_t cp) {
  return u_hasBinaryProperty(static_cast<UChar32>(cp), UCHAR_CASE_IGNORABLE);
}

bool endsCased(std::string_view text, std::size_t at, const CodePage &codePage, bool earlier) {
  while (at > 0) {
    std::size_t start = lastCharacterStart(text.substr(0, at));
    std::size_t length;
    char32_t cp = decodeCharacter(text.substr(start, at - start), codePage, length);
    if (!isCaseIgnorable(cp))
      return isCased(cp);
    at = start;
  }
  return earlier;
}

int casedAhead(std::string_view text, std::size_t from, const CodePage &codePage) {
  while (from < text.size()) {
    std::size_t length;
    char32_t cp = decodeCharacter(text.substr(from), codePage, length);
    if (!isCaseIgnorable(cp))
      return isCased(cp) ? 1 : 0;
    from += length;
  }
  return -1;
}

namespace {

constexpr char32_t capitalSigma = 0x03A3;

std::string mappedCase(std::string_view text, const CodePage &codePage, CaseMapping mapping) {
  const CaseTable &table = CaseTable::of(mapping);
  const auto &bytes = mapping == CaseMapping::Upper ? codePage.upperMap() : codePage.lowerMap();
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = byteAt(text, i);
    std::size_t n = c < 0x80 ? 0 : sequenceLength(text.substr(i));
    if (!n) {
      out += static_cast<char>(bytes[c]);
      ++i;
      continue;
    }
    char32_t cp = decode(text.substr(i, n));
    if (cp == capitalSigma && mapping == CaseMapping::Lower &&
        endsCased(text, i, codePage, false) && casedAhead(text, i + n, codePage) != 1)
      out += "\xcf\x82"; // final sigma
    else
      table.append(out, cp);
    i += n;
  }
  return out;
}

} // namespace

std::string upperCase(std::string_view text, const CodePage &codePage) {
  return mappedCase(text, codePage, CaseMapping::Upper);
}

std::string lowerCase(std::string_view text, const CodePage &codePage) {
  return mappedCase(text, codePage, CaseMapping::Lower);
}

} // namespace marrowen::utf8

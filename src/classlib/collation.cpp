#include "classlib/collation.h"

#include "classlib/codepage.h"
#include "classlib/utf8.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include <unicode/ucol.h>

namespace marrowen {

namespace {

struct CollatorCloser {
  void operator()(UCollator *c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

std::mutex localeMutex;
std::string configuredLocale; // guarded by localeMutex
std::atomic<unsigned> localeGeneration{1};

// POSIX names carry a code set and modifier that ICU does not want.
std::string icuLocaleName(std::string name) {
  if (name.empty()) {
    for (const char *var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
      const char *v = std::getenv(var);
      if (v && *v) {
        name = v;
        break;
      }
    }
  }
  auto cut = name.find_first_of(".@");
  if (cut != std::string::npos)
    name.resize(cut);
  if (name == "C" || name == "POSIX")
    name.clear();
  return name;
}

// Collators are made per thread: comparisons run on every job thread at once
// and a collator is cheap to open once its locale's data is loaded.
struct ThreadCollators {
  unsigned generation = 0;
  CollatorPtr withCase;
  CollatorPtr withoutCase;
  std::vector<char16_t> left, right;
  // Whether the code page leaves the ASCII bytes as they are, so that ASCII
  // text can go to the collation without decoding (as UTF-8).
  std::shared_ptr<const CodePage> checkedPage;
  bool asciiIdentity = false;

  bool keepsAscii(const std::shared_ptr<const CodePage> &cp) {
    if (cp != checkedPage) {
      asciiIdentity = true;
      for (int c = 0; c < 128; ++c)
        asciiIdentity = asciiIdentity && cp->toUnicode(static_cast<unsigned char>(c)) == c;
      checkedPage = cp;
    }
    return asciiIdentity;
  }

  void refresh() {
    unsigned current = localeGeneration.load(std::memory_order_acquire);
    if (current == generation)
      return;
    std::string name;
    {
      std::lock_guard lock(localeMutex);
      name = icuLocaleName(configuredLocale);
    }
    withCase = open(name, UCOL_TERTIARY);
    withoutCase = open(name, UCOL_SECONDARY);
    generation = current;
  }

  static CollatorPtr open(const std::string &name, UColAttributeValue strength) {
    UErrorCode status = U_ZERO_ERROR;
    CollatorPtr c(ucol_open(name.c_str(), &status));
    if (U_FAILURE(status) || !c) {
      status = U_ZERO_ERROR;
      c.reset(ucol_open("", &status)); // the root collation is always there
    }
    if (c)
      ucol_setStrength(c.get(), strength);
    return c;
  }
};

ThreadCollators &threadCollators() {
  thread_local ThreadCollators collators;
  collators.refresh();
  return collators;
}

// The text as UTF-16 by the rule (a valid sequence one character, other
// bytes the code page's), folded without case when `fold` is set; returns
// its units and length.
const char16_t *decode(const CodePage &cp, std::string_view bytes, bool fold,
                       std::vector<char16_t> &out, int32_t &length) {
  // Folding can lengthen a character by a unit at most.
  if (out.size() < bytes.size() * 2)
    out.resize(bytes.size() * 2);
  length = static_cast<int32_t>(utf8::writeUtf16(bytes, cp, fold, out.data()));
  return out.data();
}

bool isAscii(std::string_view s) {
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    if (word & 0x8080808080808080ULL)
      return false;
  }
  for (; i < s.size(); ++i)
    if (static_cast<unsigned char>(s[i]) >= 0x80)
      return false;
  return true;
}

int sign(int v) { return (v > 0) - (v < 0); }

int collate(UCollator *collator, ThreadCollators &tc, const std::shared_ptr<const CodePage> &cp,
            std::string_view a, std::string_view b) {
  constexpr std::size_t limit = std::numeric_limits<int32_t>::max();
  if (a.size() > limit || b.size() > limit)
    return 0; // beyond what the collation takes: the callers fall back to bytes
  UCollationResult r;
  auto la = static_cast<int32_t>(a.size());
  auto lb = static_cast<int32_t>(b.size());
  if (tc.keepsAscii(cp) && isAscii(a) && isAscii(b)) {
    UErrorCode status = U_ZERO_ERROR;
    r = ucol_strcollUTF8(collator, a.data(), la, b.data(), lb, &status);
    if (U_FAILURE(status))
      return 0;
  } else {
    const char16_t *ua = decode(*cp, a, false, tc.left, la);
    const char16_t *ub = decode(*cp, b, false, tc.right, lb);
    r = ucol_strcoll(collator, reinterpret_cast<const UChar *>(ua), la,
                     reinterpret_cast<const UChar *>(ub), lb);
  }
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

const std::array<unsigned char, 256> &asciiUpperMap() {
  static const std::array<unsigned char, 256> map = [] {
    std::array<unsigned char, 256> m{};
    for (int c = 0; c < 256; ++c)
      m[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
    return m;
  }();
  return map;
}

} // namespace

int AnsiCompareStr(std::string_view a, std::string_view b) {
  if (a == b)
    return 0;
  auto cp = systemCodePage();
  ThreadCollators &tc = threadCollators();
  if (tc.withCase) {
    int r = collate(tc.withCase.get(), tc, cp, a, b);
    if (r != 0)
      return r;
  }
  return CompareStr(a, b);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  auto cp = systemCodePage();
  int folded = compareFoldedText(a, b, *cp);
  if (folded == 0)
    return 0;
  ThreadCollators &tc = threadCollators();
  if (tc.withoutCase) {
    int r = collate(tc.withoutCase.get(), tc, cp, a, b);
    if (r != 0)
      return r;
  }
  return folded;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (isAscii(a) && isAscii(b))
    return a.size() == b.size() && compareFolded(systemCodePage()->lowerMap(), a, b) == 0;
  return compareFoldedText(a, b, *systemCodePage()) == 0;
}

void appendAnsiSortKey(std::string_view text, bool caseSensitive, std::string &key) {
  appendAnsiSortKey(text, caseSensitive, *systemCodePage(), key);
}

void appendAnsiSortKey(std::string_view text, bool caseSensitive, const CodePage &codePage,
                       std::string &key) {
  const CodePage *cp = &codePage;
  ThreadCollators &tc = threadCollators();
  UCollator *collator = caseSensitive ? tc.withCase.get() : tc.withoutCase.get();
  const std::size_t start = key.size();
  if (!collator || text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    key.push_back('\0'); // the comparisons fall back to the bytes alone
    return;
  }
  // Without case the folded text is collated, so texts that differ only in
  // case get the same key, as AnsiCompareText finds them equal.
  int32_t length = 0;
  const char16_t *units = decode(*cp, text, !caseSensitive, tc.left, length);
  std::size_t room = text.size() * 2 + 16;
  for (;;) {
    key.resize(start + room);
    int32_t needed = ucol_getSortKey(
        collator, reinterpret_cast<const UChar *>(units), length,
        reinterpret_cast<uint8_t *>(key.data() + start),
        static_cast<int32_t>(std::min<std::size_t>(room, std::numeric_limits<int32_t>::max())));
    if (needed <= 0) {
      key.resize(start);
      key.push_back('\0');
      return;
    }
    if (static_cast<std::size_t>(needed) <= room) {
      key.resize(start + static_cast<std::size_t>(needed));
      return;
    }
    room = static_cast<std::size_t>(needed);
  }
}

int ansiCollate(std::string_view a, std::string_view b, bool caseSensitive,
                const CodePage &codePage) {
  ThreadCollators &tc = threadCollators();
  UCollator *collator = caseSensitive ? tc.withCase.get() : tc.withoutCase.get();
  constexpr std::size_t limit = std::numeric_limits<int32_t>::max() / 2;
  if (!collator || a.size() > limit || b.size() > limit)
    return 0;
  // The keys collate the text folded when case does not count.
  int32_t la = 0, lb = 0;
  const char16_t *ua = decode(codePage, a, !caseSensitive, tc.left, la);
  const char16_t *ub = decode(codePage, b, !caseSensitive, tc.right, lb);
  const UCollationResult r = ucol_strcoll(collator, reinterpret_cast<const UChar *>(ua), la,
                                          reinterpret_cast<const UChar *>(ub), lb);
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

int CompareStr(std::string_view a, std::string_view b) { return sign(a.compare(b)); }

int CompareText(std::string_view a, std::string_view b) {
  return compareFolded(asciiUpperMap(), a, b);
}

void setCollationLocale(std::string_view locale) {
  std::lock_guard lock(localeMutex);
  configuredLocale = locale;
  localeGeneration.fetch_add(1, std::memory_order_acq_rel);
}

std::string collationLocale() {
  std::lock_guard lock(localeMutex);
  return icuLocaleName(configuredLocale);
}

int compareFoldedText(std::string_view a, std::string_view b, const CodePage &codePage) {
  if (isAscii(a) && isAscii(b))
    return compareFolded(codePage.lowerMap(), a, b);
  thread_local std::string foldedA, foldedB;
  foldedA.clear();
  foldedB.clear();
  utf8::appendFolded(a, codePage, foldedA);
  utf8::appendFolded(b, codePage, foldedB);
  return CompareStr(foldedA, foldedB);
}

int compareFolded(const std::array<unsigned char, 256> &map, std::string_view a,
                  std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = map[static_cast<unsigned char>(a[i])];
    unsigned char y = map[static_cast<unsigned char>(b[i])];
    if (x != y)
      return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

} // namespace marrowen

#include "classlib/collation.h"

#include "classlib/codepage.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

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
  std::u16string left, right;

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

void decode(const CodePage &cp, std::string_view bytes, std::u16string &out) {
  out.resize(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i)
    out[i] = cp.toUnicode(static_cast<unsigned char>(bytes[i]));
}

int sign(int v) { return (v > 0) - (v < 0); }

int collate(UCollator *collator, ThreadCollators &tc, const CodePage &cp, std::string_view a,
            std::string_view b) {
  decode(cp, a, tc.left);
  decode(cp, b, tc.right);
  UCollationResult r = ucol_strcoll(collator, reinterpret_cast<const UChar *>(tc.left.data()),
                                    static_cast<int32_t>(tc.left.size()),
                                    reinterpret_cast<const UChar *>(tc.right.data()),
                                    static_cast<int32_t>(tc.right.size()));
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
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
    int r = collate(tc.withCase.get(), tc, *cp, a, b);
    if (r != 0)
      return r;
  }
  return CompareStr(a, b);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  auto cp = systemCodePage();
  int folded = compareFolded(cp->lowerMap(), a, b);
  if (folded == 0)
    return 0;
  ThreadCollators &tc = threadCollators();
  if (tc.withoutCase) {
    int r = collate(tc.withoutCase.get(), tc, *cp, a, b);
    if (r != 0)
      return r;
  }
  return folded;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  return compareFolded(systemCodePage()->lowerMap(), a, b) == 0;
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

} // namespace marrowen

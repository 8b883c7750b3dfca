#include "filters/casefilters.h"

#include "engine/escapes.h"

#include <atomic>
#include <chrono>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marrowen {

namespace {

constexpr std::uint64_t highBits = 0x8080808080808080ull;

// Whether `table` maps the bytes below 128 exactly as ASCII case mapping
// does: `from`..`from`+25 to the other case, every other byte to itself.
bool isAsciiCaseMap(const ByteTable &table, unsigned char from) {
  for (int b = 0; b < 128; ++b) {
    bool letter = b >= from && b < from + 26;
    if (table[b] != (letter ? (b ^ 0x20) : b))
      return false;
  }
  return true;
}

// Flips the case bit of the bytes `first`..`first`+25 in a word of eight
// ASCII bytes. Adding a bias to a byte below 128 sets its high bit exactly
// when the byte is at least the bias's target, and never carries into the
// next byte.
inline std::uint64_t flipAsciiRange(std::uint64_t word, unsigned char first) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  std::uint64_t atLeastFirst = word + ones * (0x80 - first);
  std::uint64_t pastLast = word + ones * (0x80 - (first + 26));
  std::uint64_t inRange = atLeastFirst & ~pastLast & highBits;
  return word ^ (inRange >> 2);
}

void mapWithAsciiPath(std::string &text, const ByteTable &table, unsigned char first) {
  char *p = text.data();
  std::size_t size = text.size();
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a byte is in the range when, moved down by
  // `first` and biased into signed order, it lies below -128 + 26.
  const __m128i base = _mm_set1_epi8(static_cast<char>(first - 128));
  const __m128i limit = _mm_set1_epi8(static_cast<char>(-128 + 26));
  const __m128i caseBit = _mm_set1_epi8(0x20);
  for (; i + 16 <= size; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
    if (_mm_movemask_epi8(v) != 0) {
      translateInPlace(p + i, 16, table);
      continue;
    }
    __m128i inRange = _mm_cmplt_epi8(_mm_sub_epi8(v, base), limit);
    v = _mm_xor_si128(v, _mm_and_si128(inRange, caseBit));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p + i), v);
  }
#endif
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    if ((word & highBits) == 0) {
      word = flipAsciiRange(word, first);
      std::memcpy(p + i, &word, 8);
    } else {
      translateInPlace(p + i, 8, table);
    }
  }
  translateInPlace(p + i, size - i, table);
}

std::uint64_t clockSeed() {
  // The clock, plus a count of seeds handed out, so that generators seeded
  // in the same clock tick by jobs running side by side still differ.
  static std::atomic<std::uint64_t> seedsGiven{0};
  auto now = static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  return now ^ (seedsGiven.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ull);
}

bool endsSentence(unsigned char c) {
  switch (c) {
  case '!':
  case '"':
  case '\'':
  case '(':
  case '.':
  case ':':
  case '<':
  case '?':
    return true;
  default:
    return false;
  }
}

// Raises the first letter after each boundary (state 0) and moves to state 1;
// in state 1 `within(byte, value)` may change the byte and tells whether it
// is a boundary, which returns to state 0. Returns the state at the end.
template <class Within>
std::int32_t raiseFirstLetters(std::string &chunk, const CodePage &t, std::int32_t state,
                               Within within) {
  char *p = chunk.data();
  char *end = p + chunk.size();
  while (p < end) {
    if (state == 0) {
      auto c = static_cast<unsigned char>(*p);
      if (t.isLetter(c)) {
        *p = static_cast<char>(t.toUpper(c));
        state = 1;
      }
      ++p;
      continue;
    }
    // A tight loop through the rest of the word or sentence.
    for (; p < end; ++p) {
      if (within(*p, static_cast<unsigned char>(*p))) {
        state = 0;
        ++p;
        break;
      }
    }
  }
  return state;
}

} // namespace

TCaseTableFilter::TCaseTableFilter() = default;

void TCaseTableFilter::takeTables() {
  table_ = makeTable(*charTables());
  if (isAsciiCaseMap(table_, 'a'))
    asciiPath_ = AsciiPath::Upper;
  else if (isAsciiCaseMap(table_, 'A'))
    asciiPath_ = AsciiPath::Lower;
  else
    asciiPath_ = AsciiPath::None;
}

void TCaseTableFilter::startJob() {
  takeTables();
  TFilter::startJob();
}

bool TCaseTableFilter::processChunk(std::string &chunk) {
  switch (asciiPath_) {
  case AsciiPath::Upper:
    mapWithAsciiPath(chunk, table_, 'a');
    break;
  case AsciiPath::Lower:
    mapWithAsciiPath(chunk, table_, 'A');
    break;
  case AsciiPath::None:
    translateInPlace(chunk, table_);
    break;
  }
  return sendToNext(chunk);
}

ByteTable TConvertToToggleCase::makeTable(const CodePage &tables) const {
  ByteTable table{};
  for (int b = 0; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    table[b] = tables.toUpper(c) == c ? tables.toLower(c) : tables.toUpper(c);
  }
  return table;
}

TConvertToRandomCase::TConvertToRandomCase() : tables_(charTables()), generator_(clockSeed()) {}

void TConvertToRandomCase::startJob() {
  tables_ = charTables();
  generator_.seed(clockSeed());
  TFilter::startJob();
}

bool TConvertToRandomCase::processChunk(std::string &chunk) {
  const auto &lower = tables_->lowerMap();
  const auto &upper = tables_->upperMap();
  auto *p = reinterpret_cast<unsigned char *>(chunk.data());
  std::size_t size = chunk.size();
  // One draw gives the coin tosses of 64 bytes.
  for (std::size_t i = 0; i < size; i += 64) {
    std::uint64_t coins = generator_();
    std::size_t end = std::min(size, i + 64);
    for (std::size_t j = i; j < end; ++j, coins >>= 1)
      p[j] = (coins & 1) ? upper[p[j]] : lower[p[j]];
  }
  return sendToNext(chunk);
}

TConvertToTitleCase::TConvertToTitleCase() : tables_(charTables()) {}

void TConvertToTitleCase::startJob() {
  tables_ = charTables();
  TGenericStateMachine::startJob();
}

bool TConvertToTitleCase::processChunk(std::string &chunk) {
  const CodePage &t = *tables_;
  state_ = raiseFirstLetters(chunk, t, state_, [&t](char &ch, unsigned char c) {
    c = t.toLower(c);
    ch = static_cast<char>(c);
    return !t.isWordChar(c);
  });
  return sendToNext(chunk);
}

TConvertToSentenceCase::TConvertToSentenceCase() : tables_(charTables()) {}

void TConvertToSentenceCase::startJob() {
  tables_ = charTables();
  TGenericStateMachine::startJob();
}

bool TConvertToSentenceCase::processChunk(std::string &chunk) {
  state_ = raiseFirstLetters(chunk, *tables_, state_,
                             [](char &, unsigned char c) { return endsSentence(c); });
  return sendToNext(chunk);
}

} // namespace marrowen

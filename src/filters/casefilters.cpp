#include "filters/casefilters.h"

#include "engine/escapes.h"

#include <atomic>
#include <chrono>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
// Vectors of 64 bytes, for the processors that have them.
#define MARROWEN_WIDE_VECTORS 1
#endif

namespace marrowen {

namespace {

constexpr std::uint64_t highBits = 0x8080808080808080ull;
constexpr char32_t capitalSigma = 0x03A3;

// A capital sigma followed by more case-ignorable text than this (a run of
// full stops, say) is taken as ending its word rather than held back longer.
constexpr std::size_t sigmaPatience = 4096;

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

// Maps the bytes of `in` below 128 through `table` into `out` (which may be
// `in`), up to the first byte of 128 or more; returns how many it mapped.
// With `first` set the table flips the case of the 26 letters from `first`
// and nothing else below 128, so whole words and vectors go at once.
std::size_t mapAsciiRun(const char *in, std::size_t size, char *out, const ByteTable &table,
                        unsigned char first) {
  std::size_t i = 0;
  if (first) {
#if defined(__SSE2__)
    // Sixteen bytes at a time: a byte is in the range when, moved down by
    // `first` and biased into signed order, it lies below -128 + 26.
    const __m128i base = _mm_set1_epi8(static_cast<char>(first - 128));
    const __m128i limit = _mm_set1_epi8(static_cast<char>(-128 + 26));
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; i + 16 <= size; i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
      if (_mm_movemask_epi8(v) != 0)
        break;
      __m128i inRange = _mm_cmplt_epi8(_mm_sub_epi8(v, base), limit);
      v = _mm_xor_si128(v, _mm_and_si128(inRange, caseBit));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), v);
    }
#endif
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, in + i, 8);
      if (word & highBits)
        break;
      word = flipAsciiRange(word, first);
      std::memcpy(out + i, &word, 8);
    }
  }
  for (; i < size; ++i) {
    auto c = static_cast<unsigned char>(in[i]);
    if (c >= 0x80)
      break;
    out[i] = static_cast<char>(table[c]);
  }
  return i;
}

#if defined(__SSE2__)
// The 64 bytes of a block sorted by what they may be in UTF-8, a bit a
// byte: bytes of 128 or more, and among them those with the next bits set
// (0xC0 or more, 0xE0 or more, 0xF0 or more), and the lead bytes of the run
// of scripts without case.
struct ByteClasses {
  std::uint64_t high, bit6, bit5, bit4, keptLeads;
};

// The top bits of the 16 bytes of `m`, as the bits of the `k`th 16 bytes of
// a block.
inline std::uint64_t maskOf(__m128i m, int k) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m))) << (16 * k);
}

// Writes the block's bytes to `out` with every ASCII letter from `first` in
// the other case (no other byte is touched) and sorts them.
ByteClasses classify(const unsigned char *in, char *out, unsigned char first, unsigned char keptLow,
                     unsigned char keptHigh) {
  const __m128i letterBase = _mm_set1_epi8(static_cast<char>(first - 128));
  const __m128i letterLimit = _mm_set1_epi8(-128 + 26);
  const __m128i caseBit = _mm_set1_epi8(0x20);
  const __m128i keptBase = _mm_set1_epi8(static_cast<char>(keptLow - 128));
  const __m128i keptLimit =
      _mm_set1_epi8(static_cast<char>(-128 + (keptHigh ? keptHigh - keptLow + 1 : 0)));
  ByteClasses classes{};
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 16 * k));
    const __m128i letters = _mm_cmplt_epi8(_mm_sub_epi8(v, letterBase), letterLimit);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 16 * k),
                     _mm_xor_si128(v, _mm_and_si128(letters, caseBit)));
    // Each doubling moves the next bit of every byte to its top.
    const __m128i v2 = _mm_add_epi8(v, v);
    const __m128i v4 = _mm_add_epi8(v2, v2);
    classes.high |= maskOf(v, k);
    classes.bit6 |= maskOf(v2, k);
    classes.bit5 |= maskOf(v4, k);
    classes.bit4 |= maskOf(_mm_add_epi8(v4, v4), k);
    classes.keptLeads |= maskOf(_mm_cmplt_epi8(_mm_sub_epi8(v, keptBase), keptLimit), k);
  }
  return classes;
}

#endif

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

// Where the rebuilt text of a chunk goes: room for every character of
// `size` bytes at its longest mapping (three times its bytes), and for a
// whole block written past the last of them.
char *outputFor(std::string &buffer, std::size_t size) {
  std::size_t needed = 3 * size + 64 + utf8::maxCaseMappedBytes;
  if (buffer.size() < needed)
    buffer.resize(needed);
  return buffer.data();
}

const utf8::CaseTable &upperTable() { return utf8::CaseTable::of(utf8::CaseMapping::Upper); }
const utf8::CaseTable &lowerTable() { return utf8::CaseTable::of(utf8::CaseMapping::Lower); }
const utf8::CaseTable &titleTable() { return utf8::CaseTable::of(utf8::CaseMapping::Title); }

// The character `cp` (its `n` bytes at `in`) at the start of a word or a
// sentence: a letter is written in title case, any other character as it is.
// Returns whether it was a letter.
bool titleCaseLetter(char32_t cp, const unsigned char *in, std::size_t n, char *out,
                     std::size_t &o) {
  if (utf8::isLetter(cp)) {
    o += titleTable().write(cp, out + o);
    return true;
  }
  std::memcpy(out + o, in, n);
  o += n;
  return false;
}

} // namespace

// --- The shared frame ---

TCaseFilter::TCaseFilter() = default;

void TCaseFilter::takeTables() { tables_ = charTables(); }

void TCaseFilter::startJob() {
  takeTables();
  TGenericStateMachine::startJob();
}

void TCaseFilter::startFile() {
  carry_.clear();
  casedBefore_ = false;
  TGenericStateMachine::startFile();
}

std::int64_t TCaseFilter::bufferedLength() { return static_cast<std::int64_t>(carry_.size()); }

bool TCaseFilter::processChunk(std::string &chunk) {
  carry_.join(chunk);
  std::string held;
  map(chunk, held, false);
  carry_.holdInFront(held);
  return sendToNext(chunk);
}

void TCaseFilter::endFile() {
  std::string rest = carry_.take();
  if (!rest.empty()) {
    std::string held;
    map(rest, held, true);
    sendToNext(rest);
  }
  TGenericStateMachine::endFile();
}

int TCaseFilter::sigmaForm(std::string_view text, std::size_t at, bool fileEnd) const {
  if (!utf8::endsCased(text, at, *tables_, casedBefore_))
    return 0;
  switch (utf8::casedAhead(text, at + 2, *tables_)) {
  case 1:
    return 0;
  case 0:
    return 1;
  default:
    return fileEnd || text.size() - at > sigmaPatience ? 1 : -1;
  }
}

bool TCaseFilter::writeSmallSigma(std::string_view text, std::size_t at, bool fileEnd, char *out,
                                  std::size_t &o, std::string &held) const {
  const int form = sigmaForm(text, at, fileEnd);
  if (form < 0) {
    held.assign(text, at);
    return false;
  }
  out[o++] = '\xcf';
  out[o++] = form == 1 ? '\x82' : '\x83';
  return true;
}

void TCaseFilter::noteCasedEnd(std::string_view text, std::size_t end) {
  casedBefore_ = utf8::endsCased(text, end, *tables_, casedBefore_);
}

// --- Upper and lower case ---

std::atomic<bool> TCaseMappingFilter::wideVectorsAllowed{true};

void TCaseMappingFilter::allowWideVectors(bool allowed) { wideVectorsAllowed = allowed; }

TCaseMappingFilter::TCaseMappingFilter(utf8::CaseMapping mapping) : mapping_(mapping) {}

void TCaseMappingFilter::takeTables() {
  TCaseFilter::takeTables();
  table_ = mapping_ == utf8::CaseMapping::Upper ? tables_->upperMap() : tables_->lowerMap();
  asciiFirst_ = isAsciiCaseMap(table_, 'a') ? 'a' : isAsciiCaseMap(table_, 'A') ? 'A' : 0;
  if (blocks_)
    return;
  blocks_ = &blockTablesOf(mapping_);
#if defined(MARROWEN_WIDE_VECTORS)
  wideVectors_ = wideVectorsAllowed.load() && __builtin_cpu_supports("avx512bw") &&
                 __builtin_cpu_supports("avx512vbmi");
#endif
}

const TCaseMappingFilter::BlockTables &
TCaseMappingFilter::blockTablesOf(utf8::CaseMapping mapping) {
  static const BlockTables upper = makeBlockTables(utf8::CaseMapping::Upper);
  static const BlockTables lower = makeBlockTables(utf8::CaseMapping::Lower);
  return mapping == utf8::CaseMapping::Upper ? upper : lower;
}

TCaseMappingFilter::BlockTables TCaseMappingFilter::makeBlockTables(utf8::CaseMapping mapping) {
  BlockTables made;
  const utf8::CaseTable &characters = utf8::CaseTable::of(mapping);
  for (char32_t cp = 0x80; cp < 0x800; ++cp) {
    char bytes[utf8::maxCaseMappedBytes];
    if (characters.write(cp, bytes) == 2 &&
        !(cp == capitalSigma && mapping == utf8::CaseMapping::Lower)) {
      std::uint16_t encoded, mapped;
      const char own[2] = {static_cast<char>(0xC0 | (cp >> 6)),
                           static_cast<char>(0x80 | (cp & 0x3F))};
      std::memcpy(&encoded, own, 2);
      std::memcpy(&mapped, bytes, 2);
      made.twoByte[twoByteIndex(encoded)] = mapped;
    }
  }
#if defined(MARROWEN_WIDE_VECTORS)
  for (unsigned pair = 0; pair < 16; ++pair) {
    for (unsigned entry = 0; entry < 128; ++entry) {
      const unsigned char own[2] = {static_cast<unsigned char>(0xC0 | pair << 1 | entry >> 6),
                                    static_cast<unsigned char>(0x80 | (entry & 0x3F))};
      std::uint16_t bytes;
      std::memcpy(&bytes, own, 2);
      unsigned char mapped[2];
      std::memcpy(mapped, &made.twoByte[twoByteIndex(bytes)], 2);
      made.pairTables[pair][entry] = mapped[1];
      made.pairTables[pair][128 + entry] = mapped[0];
    }
  }
#endif
  // A three-byte character's first two bytes name its block of 64 code
  // points; the block is kept when the mapping changes none of them and the
  // two bytes begin a valid sequence (not overlong, no surrogate).
  for (unsigned block = 0; block < 1024; ++block) {
    const unsigned char lead = static_cast<unsigned char>(0xE0 | (block >> 6));
    const unsigned char second = static_cast<unsigned char>(0x80 | (block & 0x3F));
    const utf8::detail::Lead range = utf8::detail::leadOf(lead);
    if (second >= range.low && second <= range.high &&
        characters.keepsBlockOf(static_cast<char32_t>(block) << 6))
      made.keptThreeByte[block >> 6] |= std::uint64_t{1} << (block & 63);
  }
  // The longest run of lead bytes from E1 to EC (whose second byte may be
  // any continuation byte) that lead only characters the mapping keeps.
  const auto keepsLead = [&made](int lead) {
    return made.keptThreeByte[static_cast<std::size_t>(lead & 0x0F)] == ~std::uint64_t{0};
  };
  for (int low = 0xE1, high; low <= 0xEC; low = high + 1) {
    for (high = low; high <= 0xEC && keepsLead(high);)
      ++high;
    if (high > low && high - low > made.keptHigh - made.keptLow + (made.keptHigh ? 1 : 0)) {
      made.keptLow = static_cast<unsigned char>(low);
      made.keptHigh = static_cast<unsigned char>(high - 1);
    }
  }
  return made;
}

#if defined(__SSE2__)
namespace {

// How far the block path takes a block, found from its byte classes: to the
// end of its last whole character, or to the first character it cannot
// map (`trouble`), and the lead bytes of the two-byte characters before that.
struct Settled {
  std::size_t taken;
  bool trouble;
  std::uint64_t twoByteLeads;
};

inline std::uint64_t bitsBelow(std::size_t n) {
  return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

inline Settled settle(const unsigned char *in, const ByteClasses &classes,
                      const std::array<std::uint64_t, 16> &keptThreeByte) {
  const std::uint64_t leadsOrMore = classes.high & classes.bit6;
  const std::uint64_t continuations = classes.high & ~classes.bit6;
  const std::uint64_t twoByteLeads = leadsOrMore & ~classes.bit5;
  const std::uint64_t threeByteLeads = leadsOrMore & classes.bit5 & ~classes.bit4;
  const std::uint64_t fourByteLeadsOrMore = leadsOrMore & classes.bit5 & classes.bit4;
  const std::uint64_t leads = twoByteLeads | threeByteLeads;
  // Where each lead byte's continuation bytes must stand; any other byte of
  // 128 or more (a four-byte lead, a byte that leads nothing) goes to the
  // character path.
  const std::uint64_t expected = (leads << 1) | (threeByteLeads << 2);
  const std::uint64_t wrong = fourByteLeadsOrMore | (continuations ^ expected);
  // A character that the block's end cuts waits for the next block.
  const std::uint64_t cut =
      (twoByteLeads & (std::uint64_t{1} << 63)) | (threeByteLeads >> 62 << 62);
  std::size_t taken = cut ? static_cast<std::size_t>(__builtin_ctzll(cut)) : 64;
  bool trouble = false;
  if (wrong) {
    // The first wrong byte, or the lead byte whose continuation it lacks.
    std::size_t at = static_cast<std::size_t>(__builtin_ctzll(wrong));
    if ((expected >> at) & 1)
      at -= (leads >> (at - 1)) & 1 ? 1 : 2;
    if (at < taken) {
      taken = at;
      trouble = true;
    }
  }
  // Three-byte characters beyond the run of scripts without case stay when
  // their block of 64 code points holds nothing the mapping changes.
  for (std::uint64_t l = threeByteLeads & ~classes.keptLeads & bitsBelow(taken); l; l &= l - 1) {
    const auto p = static_cast<std::size_t>(__builtin_ctzll(l));
    const unsigned block = ((in[p] & 0x0Fu) << 6) | (in[p + 1] & 0x3Fu);
    if (!((keptThreeByte[block >> 6] >> (block & 63)) & 1)) {
      taken = p;
      trouble = true;
      break;
    }
  }
  return {taken, trouble, twoByteLeads & bitsBelow(taken)};
}

} // namespace
#endif

TCaseMappingFilter::Block TCaseMappingFilter::mapBlock(const unsigned char *in, char *out) const {
#if defined(__SSE2__)
#if defined(MARROWEN_WIDE_VECTORS)
  if (wideVectors_)
    return mapBlockWide(in, out);
#endif
  const BlockTables &blocks = *blocks_;
  const ByteClasses classes = classify(in, out, asciiFirst_, blocks.keptLow, blocks.keptHigh);
  if (!classes.high)
    return {blockSize, false};
  const Settled settled = settle(in, classes, blocks.keptThreeByte);
  // Each two-byte character is written over its own two bytes.
  for (std::uint64_t l = settled.twoByteLeads; l; l &= l - 1) {
    const auto p = static_cast<std::size_t>(__builtin_ctzll(l));
    std::uint16_t bytes;
    std::memcpy(&bytes, in + p, 2);
    const std::uint16_t mapped = blocks.twoByte[twoByteIndex(bytes)];
    if (!mapped)
      return {p, true}; // a longer mapping, or one that needs its context
    std::memcpy(out + p, &mapped, 2);
  }
  return {settled.taken, settled.trouble};
#else
  (void)in;
  (void)out;
  return {0, true};
#endif
}

#if defined(MARROWEN_WIDE_VECTORS)
namespace {

// Lane j of a permutation by these takes lane j - 1 (lane 0 itself), and
// lane j + 1 (lane 63 itself).
alignas(64) constexpr std::array<unsigned char, 64> lanesBefore = [] {
  std::array<unsigned char, 64> lanes{};
  for (unsigned j = 1; j < 64; ++j)
    lanes[j] = static_cast<unsigned char>(j - 1);
  return lanes;
}();
alignas(64) constexpr std::array<unsigned char, 64> lanesAfter = [] {
  std::array<unsigned char, 64> lanes{};
  for (unsigned j = 0; j < 64; ++j)
    lanes[j] = static_cast<unsigned char>(j < 63 ? j + 1 : 63);
  return lanes;
}();

} // namespace

// The block as one vector of 64 bytes, where the processor can look up 64
// bytes at once in a table of 128: the two-byte characters are mapped
// together through the tables of their pair of lead bytes, with no branch
// for each character.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) TCaseMappingFilter::Block
TCaseMappingFilter::mapBlockWide(const unsigned char *in, char *out) const {
  const BlockTables &blocks = *blocks_;
  const __m512i v = _mm512_loadu_si512(in);
  const __mmask64 letters = _mm512_cmplt_epu8_mask(
      _mm512_sub_epi8(v, _mm512_set1_epi8(static_cast<char>(asciiFirst_))), _mm512_set1_epi8(26));
  __m512i result = _mm512_xor_si512(v, _mm512_maskz_mov_epi8(letters, _mm512_set1_epi8(0x20)));
  ByteClasses classes;
  classes.high = _mm512_movepi8_mask(v);
  if (!classes.high) {
    _mm512_storeu_si512(out, result);
    return {blockSize, false};
  }
  const __m512i v2 = _mm512_add_epi8(v, v);
  const __m512i v4 = _mm512_add_epi8(v2, v2);
  classes.bit6 = _mm512_movepi8_mask(v2);
  classes.bit5 = _mm512_movepi8_mask(v4);
  classes.bit4 = _mm512_movepi8_mask(_mm512_add_epi8(v4, v4));
  classes.keptLeads = _mm512_cmplt_epu8_mask(
      _mm512_sub_epi8(v, _mm512_set1_epi8(static_cast<char>(blocks.keptLow))),
      _mm512_set1_epi8(
          static_cast<char>(blocks.keptHigh ? blocks.keptHigh - blocks.keptLow + 1 : 0)));
  Settled settled = settle(in, classes, blocks.keptThreeByte);
  if (settled.twoByteLeads) {
    // Worked at each character's second byte, with its lead byte beside it:
    // the pair of lead bytes names the tables, the lead's low bit and the
    // second byte's six bits the entry.
    // (The zero-masking forms: the plain ones start from an undefined vector,
    // which the compiler warns of.)
    const __m512i leads =
        _mm512_maskz_permutexvar_epi8(~__mmask64{0}, _mm512_loadu_si512(lanesBefore.data()), v);
    const __m512i entry =
        _mm512_or_si512(_mm512_and_si512(v, _mm512_set1_epi8(0x3F)),
                        _mm512_slli_epi16(_mm512_and_si512(leads, _mm512_set1_epi8(1)), 6));
    const __m512i pairs = _mm512_and_si512(_mm512_srli_epi16(leads, 1), _mm512_set1_epi8(0x0F));
    const std::uint64_t seconds = settled.twoByteLeads << 1;
    __m512i mappedSeconds = _mm512_setzero_si512();
    __m512i mappedLeads = _mm512_setzero_si512();
    for (std::uint64_t left = seconds; left;) {
      const unsigned pair = (in[__builtin_ctzll(left) - 1] >> 1) & 0x0F;
      const unsigned char *tables = blocks.pairTables[pair].data();
      const __mmask64 same =
          _mm512_mask_cmpeq_epi8_mask(left, pairs, _mm512_set1_epi8(static_cast<char>(pair)));
      mappedSeconds =
          _mm512_mask_mov_epi8(mappedSeconds, same,
                               _mm512_permutex2var_epi8(_mm512_loadu_si512(tables), entry,
                                                        _mm512_loadu_si512(tables + 64)));
      mappedLeads =
          _mm512_mask_mov_epi8(mappedLeads, same,
                               _mm512_permutex2var_epi8(_mm512_loadu_si512(tables + 128), entry,
                                                        _mm512_loadu_si512(tables + 192)));
      left &= (left - 1) & ~same; // the first lane goes whatever `same` holds
    }
    // An entry without a lead byte: a longer mapping, or one that needs its
    // context.
    const std::uint64_t unmapped =
        _mm512_mask_cmpeq_epi8_mask(seconds, mappedLeads, _mm512_setzero_si512());
    result = _mm512_mask_mov_epi8(result, seconds, mappedSeconds);
    result = _mm512_mask_mov_epi8(
        result, settled.twoByteLeads,
        _mm512_maskz_permutexvar_epi8(~__mmask64{0}, _mm512_loadu_si512(lanesAfter.data()),
                                      mappedLeads));
    if (unmapped) {
      settled.taken = static_cast<std::size_t>(__builtin_ctzll(unmapped)) - 1;
      settled.trouble = true;
    }
  }
  _mm512_storeu_si512(out, result);
  return {settled.taken, settled.trouble};
}
#endif

void TCaseMappingFilter::map(std::string &text, std::string &held, bool fileEnd) {
  const bool lower = mapping_ == utf8::CaseMapping::Lower;
  std::size_t size = text.size();
  std::size_t i = mapAsciiRun(text.data(), size, text.data(), table_, asciiFirst_);
  if (i == size) {
    if (lower)
      noteCasedEnd(text, size);
    return;
  }
  char *out = outputFor(out_, size);
  std::memcpy(out, text.data(), i);
  std::size_t o = i;
  const auto *in = reinterpret_cast<const unsigned char *>(text.data());
  const utf8::CaseTable &characters = utf8::CaseTable::of(mapping_);
  while (i < size) {
    if (asciiFirst_) {
      Block block;
      if (size - i >= blockSize) {
        block = mapBlock(in + i, out + o);
      } else {
        // The end of the text, in a block of its own: the NUL bytes after
        // it are ASCII and are not taken.
        unsigned char last[blockSize] = {};
        std::memcpy(last, in + i, size - i);
        block = mapBlock(last, out + o);
        block.taken = std::min(block.taken, size - i);
        block.trouble = block.taken < size - i;
      }
      i += block.taken;
      o += block.taken;
      if (!block.trouble)
        continue;
    }
    // One character the block path leaves alone.
    const unsigned char c = in[i];
    char32_t cp;
    std::size_t n = c < 0x80 ? 0 : utf8::decodeSequence(in + i, size - i, cp);
    if (!n) {
      out[o++] = static_cast<char>(table_[c]);
      ++i;
      continue;
    }
    if (characters.keepsBlockOf(cp)) {
      std::memcpy(out + o, in + i, n);
      o += n;
    } else if (cp == capitalSigma && lower) {
      if (!writeSmallSigma(text, i, fileEnd, out, o, held))
        break;
    } else {
      o += characters.write(cp, out + o);
    }
    i += n;
  }
  if (lower)
    noteCasedEnd(text, i);
  text.assign(out, o);
}

// --- Toggle case ---

void TConvertToToggleCase::takeTables() {
  TCaseFilter::takeTables();
  for (int b = 0; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    table_[b] = tables_->toUpper(c) == c ? tables_->toLower(c) : tables_->toUpper(c);
  }
}

void TConvertToToggleCase::map(std::string &text, std::string &held, bool fileEnd) {
  const std::size_t size = text.size();
  char *out = outputFor(out_, size);
  std::size_t o = 0, i = 0;
  const auto *in = reinterpret_cast<const unsigned char *>(text.data());
  while (i < size) {
    char32_t cp;
    std::size_t n = in[i] < 0x80 ? 0 : utf8::decodeSequence(in + i, size - i, cp);
    if (!n) {
      out[o++] = static_cast<char>(table_[in[i++]]);
      continue;
    }
    if (cp == capitalSigma) {
      if (!writeSmallSigma(text, i, fileEnd, out, o, held))
        break;
    } else {
      // Upper case when that changes the character, else lower case.
      std::size_t written = upperTable().write(cp, out + o);
      if (written == n && std::memcmp(out + o, in + i, n) == 0)
        written = lowerTable().write(cp, out + o);
      o += written;
    }
    i += n;
  }
  noteCasedEnd(text, i);
  text.assign(out, o);
}

// --- Random case ---

TConvertToRandomCase::TConvertToRandomCase() : generator_(clockSeed()) { takeTables(); }

void TConvertToRandomCase::startJob() {
  generator_.seed(clockSeed());
  TCaseFilter::startJob();
}

void TConvertToRandomCase::map(std::string &text, std::string &, bool) {
  const auto &lower = tables_->lowerMap();
  const auto &upper = tables_->upperMap();
  const std::size_t size = text.size();
  char *out = outputFor(out_, size);
  const auto *in = reinterpret_cast<const unsigned char *>(text.data());
  std::size_t o = 0;
  // One draw gives the coin tosses of 64 characters.
  std::uint64_t coins = 0;
  int left = 0;
  for (std::size_t i = 0; i < size;) {
    if (left == 0) {
      coins = generator_();
      left = 64;
    }
    const bool up = coins & 1;
    coins >>= 1;
    --left;
    char32_t cp;
    std::size_t n = in[i] < 0x80 ? 0 : utf8::decodeSequence(in + i, size - i, cp);
    if (!n) {
      out[o++] = static_cast<char>(up ? upper[in[i]] : lower[in[i]]);
      ++i;
      continue;
    }
    o += (up ? upperTable() : lowerTable()).write(cp, out + o);
    i += n;
  }
  text.assign(out, o);
}

// --- Title and sentence case ---

void TConvertToTitleCase::map(std::string &text, std::string &held, bool fileEnd) {
  const CodePage &t = *tables_;
  const std::size_t size = text.size();
  char *out = outputFor(out_, size);
  const auto *in = reinterpret_cast<const unsigned char *>(text.data());
  std::size_t o = 0, i = 0;
  while (i < size) {
    char32_t cp;
    std::size_t n = in[i] < 0x80 ? 0 : utf8::decodeSequence(in + i, size - i, cp);
    if (!n) {
      unsigned char c = in[i++];
      if (state_ == 0) {
        if (t.isLetter(c)) {
          c = t.toUpper(c);
          state_ = 1;
        }
      } else {
        c = t.toLower(c);
        if (!t.isWordChar(c))
          state_ = 0;
      }
      out[o++] = static_cast<char>(c);
      continue;
    }
    if (state_ == 0) {
      if (titleCaseLetter(cp, in + i, n, out, o))
        state_ = 1;
    } else {
      if (cp == capitalSigma) {
        if (!writeSmallSigma(text, i, fileEnd, out, o, held))
          break;
      } else {
        o += lowerTable().write(cp, out + o);
        if (!utf8::isLetter(cp) && !utf8::isDigit(cp) && !utf8::isCombiningMark(cp))
          state_ = 0;
      }
    }
    i += n;
  }
  noteCasedEnd(text, i);
  text.assign(out, o);
}

void TConvertToSentenceCase::map(std::string &text, std::string &, bool) {
  const CodePage &t = *tables_;
  const std::size_t size = text.size();
  char *out = outputFor(out_, size);
  const auto *in = reinterpret_cast<const unsigned char *>(text.data());
  std::size_t o = 0, i = 0;
  while (i < size) {
    if (state_ == 1) {
      // No byte of a sequence is ASCII: the sentence's end is found bytewise.
      std::size_t start = i;
      while (i < size && !endsSentence(in[i]))
        ++i;
      if (i < size) {
        ++i;
        state_ = 0;
      }
      std::memcpy(out + o, in + start, i - start);
      o += i - start;
      continue;
    }
    char32_t cp;
    std::size_t n = in[i] < 0x80 ? 0 : utf8::decodeSequence(in + i, size - i, cp);
    if (!n) {
      unsigned char c = in[i++];
      if (t.isLetter(c)) {
        c = t.toUpper(c);
        state_ = 1;
      }
      out[o++] = static_cast<char>(c);
      continue;
    }
    if (titleCaseLetter(cp, in + i, n, out, o))
      state_ = 1;
    i += n;
  }
  text.assign(out, o);
}

} // namespace marrowen

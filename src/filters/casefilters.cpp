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
// `size` bytes at its longest mapping (three times its bytes).
char *outputFor(std::string &buffer, std::size_t size) {
  std::size_t needed = 3 * size + utf8::maxCaseMappedBytes;
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

TCaseMappingFilter::TCaseMappingFilter(utf8::CaseMapping mapping) : mapping_(mapping) {}

void TCaseMappingFilter::takeTables() {
  TCaseFilter::takeTables();
  table_ = mapping_ == utf8::CaseMapping::Upper ? tables_->upperMap() : tables_->lowerMap();
  if (isAsciiCaseMap(table_, 'a'))
    asciiPath_ = AsciiPath::Upper;
  else if (isAsciiCaseMap(table_, 'A'))
    asciiPath_ = AsciiPath::Lower;
  else
    asciiPath_ = AsciiPath::None;
  if (twoByte_[0xE9])
    return; // made before: Unicode's tables do not change
  const utf8::CaseTable &characters = utf8::CaseTable::of(mapping_);
  for (char32_t cp = 0x80; cp < 0x800; ++cp) {
    char bytes[utf8::maxCaseMappedBytes];
    if (characters.write(cp, bytes) == 2 &&
        !(cp == capitalSigma && mapping_ == utf8::CaseMapping::Lower))
      twoByte_[cp] = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) |
                                                static_cast<unsigned char>(bytes[1]) << 8);
  }
  // The longest run of lead bytes from E1 to EC (whose second byte may be
  // any continuation byte) that lead only characters the mapping keeps.
  const auto keepsLead = [&characters](int lead) {
    for (char32_t block = 0; block < 64; ++block)
      if (!characters.keepsBlockOf((static_cast<char32_t>(lead & 0x0F) << 12) | (block << 6)))
        return false;
    return true;
  };
  for (int low = 0xE1, high; low <= 0xEC; low = high + 1) {
    for (high = low; high <= 0xEC && keepsLead(high);)
      ++high;
    if (high > low && high - low > keptHigh_ - keptLow_ + (keptHigh_ ? 1 : 0)) {
      keptLow_ = static_cast<unsigned char>(low);
      keptHigh_ = static_cast<unsigned char>(high - 1);
    }
  }
}

std::size_t TCaseMappingFilter::mapBlock(const unsigned char *in, char *out) const {
#if defined(__SSE2__)
  const unsigned char first = asciiPath_ == AsciiPath::Upper ? 'a' : 'A';
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
  const __m128i letters = _mm_cmplt_epi8(
      _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(first - 128))), _mm_set1_epi8(-128 + 26));
  const int continuations = _mm_movemask_epi8(_mm_cmpeq_epi8(
      _mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xC0))), _mm_set1_epi8(-128)));
  const auto between = [&v](unsigned char low, unsigned char high) {
    return _mm_movemask_epi8(
        _mm_cmplt_epi8(_mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(low - 128))),
                       _mm_set1_epi8(static_cast<char>(-128 + (high - low + 1)))));
  };
  // ASCII and two-byte characters, up to the first byte that is neither:
  // the ASCII letters all change case at once, then each two-byte character
  // is written over its own two bytes. Its lead bytes are found from a mask,
  // not byte by byte, so nothing waits on a guess of what comes next.
  const int twoByteLeads = between(0xC2, 0xDF);
  // Bytes of 128 or more that are no two-byte lead and no continuation.
  const int other = _mm_movemask_epi8(v) & ~(twoByteLeads | continuations);
  const std::size_t limit = other ? static_cast<std::size_t>(__builtin_ctz(other)) : 16;
  const unsigned within = (1u << limit) - 1;
  unsigned leads = static_cast<unsigned>(twoByteLeads) & within;
  // Each lead byte's continuation follows it within the bytes taken, or, for
  // a lead byte that ends the block, just after it.
  const bool pastEnd = limit == 16 && (leads & 0x8000) && (in[16] & 0xC0) == 0x80;
  const std::size_t taken = pastEnd ? 17 : limit;
  if (limit > 0 && (static_cast<unsigned>(continuations) & within) == ((leads << 1) & within) &&
      ((leads << 1) >> limit) == (pastEnd ? 1u : 0u)) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                     _mm_xor_si128(v, _mm_and_si128(letters, _mm_set1_epi8(0x20))));
    for (; leads; leads &= leads - 1) {
      const unsigned p = static_cast<unsigned>(__builtin_ctz(leads));
      const std::uint16_t mapped = twoByte_[((in[p] & 0x1F) << 6) | (in[p + 1] & 0x3F)];
      if (!mapped)
        return p; // the character path takes this one (a longer mapping)
      std::memcpy(out + p, &mapped, 2);
    }
    return taken;
  }
  if (keptHigh_) {
    // Characters of scripts without case between ASCII that stays: copied,
    // when their lead and continuation bytes fit together.
    const int leads = between(keptLow_, keptHigh_);
    const int asciiStaying = ~_mm_movemask_epi8(v) & ~_mm_movemask_epi8(letters) & 0xFFFF;
    if ((leads | continuations | asciiStaying) == 0xFFFF) {
      // A character that the block's end cuts waits for the next block.
      const std::size_t taken = leads & 0x4000 ? 14 : leads & 0x8000 ? 15 : 16;
      const unsigned mask = (1u << taken) - 1;
      const unsigned mine = static_cast<unsigned>(leads) & mask;
      const unsigned expected = (mine << 1) | (mine << 2);
      if ((static_cast<unsigned>(continuations) & mask) == (expected & mask) &&
          (expected >> taken) == 0) {
        std::memcpy(out, in, 16);
        return taken;
      }
    }
  }
#else
  (void)in;
  (void)out;
#endif
  return 0;
}

void TCaseMappingFilter::map(std::string &text, std::string &held, bool fileEnd) {
  const unsigned char first = asciiPath_ == AsciiPath::Upper   ? 'a'
                              : asciiPath_ == AsciiPath::Lower ? 'A'
                                                               : 0;
  const bool lower = mapping_ == utf8::CaseMapping::Lower;
  std::size_t size = text.size();
  std::size_t i = mapAsciiRun(text.data(), size, text.data(), table_, first);
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
  // Where the character path hands back to the block path after a block it
  // could not take.
  std::size_t blocksFrom = 0;
  while (i < size) {
    const unsigned char c = in[i];
    if (first && i >= blocksFrom && i + 18 <= size) {
      if (std::size_t taken = mapBlock(in + i, out + o)) {
        i += taken;
        o += taken;
        continue;
      }
      blocksFrom = i + 16;
    }
    if (c < 0x80) {
#if defined(__SSE2__)
      if (first && i + 16 <= size) {
        // The ASCII up to the next other byte, sixteen bytes at a time: all
        // sixteen are mapped (a byte of 128 or more is no letter and stays)
        // and as many kept as come before that byte.
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m128i inRange =
            _mm_cmplt_epi8(_mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(first - 128))),
                           _mm_set1_epi8(-128 + 26));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + o),
                         _mm_xor_si128(v, _mm_and_si128(inRange, _mm_set1_epi8(0x20))));
        const int high = _mm_movemask_epi8(v);
        const std::size_t run = high ? static_cast<std::size_t>(__builtin_ctz(high)) : 16;
        i += run;
        o += run;
        continue;
      }
#endif
      out[o++] = static_cast<char>(table_[c]);
      ++i;
      continue;
    }
    char32_t cp;
    std::size_t n;
    if (c >= 0xC2 && c <= 0xDF && i + 1 < size && (in[i + 1] & 0xC0) == 0x80) {
      cp = (static_cast<char32_t>(c & 0x1F) << 6) | (in[i + 1] & 0x3F);
      n = 2;
    } else if (!(n = utf8::decodeSequence(in + i, size - i, cp))) {
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

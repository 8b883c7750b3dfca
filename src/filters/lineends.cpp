#include "filters/lineends.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/graphemes.h"
#include "engine/escapes.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marrowen {

namespace {

// At most two bytes, cut before a letter that does not fit whole.
std::string keptLineEnd(std::string_view lineEnd) {
  return std::string(graphemes::cutToBytes(lineEnd, *charTables(), 2));
}

// Finds the CRs and LFs of a chunk in order, each searched for with memchr
// only once the scan has passed its last hit.
class LineEndFinder {
public:
  LineEndFinder(const char *data, std::size_t size)
      : data_(data), size_(size), cr_(find(0, '\r')), lf_(find(0, '\n')) {}
  // The position of the first CR or LF at or after `from`; `size` when none.
  std::size_t next(std::size_t from) {
    if (cr_ < from)
      cr_ = find(from, '\r');
    if (lf_ < from)
      lf_ = find(from, '\n');
    return std::min(cr_, lf_);
  }

private:
  std::size_t find(std::size_t from, char c) const {
    auto *hit = static_cast<const char *>(std::memchr(data_ + from, c, size_ - from));
    return hit ? static_cast<std::size_t>(hit - data_) : size_;
  }

  const char *data_;
  std::size_t size_;
  std::size_t cr_, lf_;
};

// Bytes that `convertLineEndBytes` may write past the end of its output.
constexpr std::size_t convertSlack = 80;

// Writes `in` to `out` with every `end` byte replaced by `lineEnd` (at most
// two bytes) and, when `dropOther`, every byte of the other line-end kind
// dropped. Returns the output's length. `out` must hold the longest possible
// output and `convertSlack` bytes more.
std::size_t convertLineEndBytes(const char *in, std::size_t size, char end, bool dropOther,
                                std::string_view lineEnd, char *out) {
  const char other = end == '\n' ? '\r' : '\n';
  const char first = lineEnd.empty() ? 0 : lineEnd[0];
  const char second = lineEnd.size() < 2 ? 0 : lineEnd[1];
  const std::size_t lineEndLength = lineEnd.size();
  char *o = out;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Blocks of 64 bytes, about one line end each, keep the branches few. A
  // block without line-end bytes is stored whole; otherwise each run between
  // them is stored with 64-byte stores from a padded copy of the block, the
  // bytes past the run overwritten by what follows (hence the slack).
  const __m128i endBytes = _mm_set1_epi8(end);
  const __m128i otherBytes = _mm_set1_epi8(other);
  alignas(16) char block[128] = {};
  auto copy64 = [](char *to, const char *from) {
    for (int k = 0; k < 64; k += 16)
      _mm_storeu_si128(reinterpret_cast<__m128i *>(to + k),
                       _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + k)));
  };
  for (; i + 64 <= size; i += 64) {
    std::uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i + 16 * k));
      _mm_store_si128(reinterpret_cast<__m128i *>(block + 16 * k), v);
      int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(v, endBytes));
      if (dropOther)
        hits |= _mm_movemask_epi8(_mm_cmpeq_epi8(v, otherBytes));
      mask |= static_cast<std::uint64_t>(static_cast<unsigned>(hits)) << (16 * k);
    }
    unsigned from = 0;
    while (mask != 0) {
      auto at = static_cast<unsigned>(__builtin_ctzll(mask));
      copy64(o, block + from);
      o += at - from;
      if (block[at] == end) {
        o[0] = first;
        o[1] = second;
        o += lineEndLength;
      }
      from = at + 1;
      mask &= mask - 1;
    }
    copy64(o, block + from);
    o += 64 - from;
  }
#endif
  for (; i < size; ++i) {
    char c = in[i];
    if (c == end) {
      std::memcpy(o, lineEnd.data(), lineEndLength);
      o += lineEndLength;
    } else if (!dropOther || c != other) {
      *o++ = c;
    }
  }
  return static_cast<std::size_t>(o - out);
}

// Replaces every `from` byte by `to`, in place.
void replaceByteInPlace(char *data, std::size_t size, char from, char to) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i fromBytes = _mm_set1_epi8(from);
  const __m128i flip = _mm_set1_epi8(static_cast<char>(from ^ to));
  for (; i + 16 <= size; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
    __m128i hits = _mm_cmpeq_epi8(v, fromBytes);
    // Stored whether or not it changed: cheaper than a branch that text
    // with short lines keeps mispredicting.
    _mm_storeu_si128(reinterpret_cast<__m128i *>(data + i),
                     _mm_xor_si128(v, _mm_and_si128(hits, flip)));
  }
#endif
  for (; i < size; ++i)
    if (data[i] == from)
      data[i] = to;
}

// What each kind of line end becomes.
struct LineEndRewrite {
  std::string_view loneCr; // a CR not followed by an LF
  std::string_view crLf;
  std::string_view loneLf;
};

// Writes `chunk` to `out` with its line ends rewritten. A CR at the end of
// the chunk is held, since its LF may open the next chunk: `heldCr` says
// whether one was held before the chunk, and the result whether one is now.
bool rewriteLineEnds(const std::string &chunk, bool heldCr, const LineEndRewrite &rewrite,
                     std::string &out) {
  const char *data = chunk.data();
  const std::size_t size = chunk.size();
  out.clear();
  out.reserve(size + size * rewrite.crLf.size() / 2 + 2);
  LineEndFinder finder(data, size);
  std::size_t at = 0;
  while (at < size) {
    std::size_t p = finder.next(at);
    if (p > at) {
      if (heldCr)
        out.append(rewrite.loneCr);
      heldCr = false;
      out.append(data + at, p - at);
    }
    if (p == size)
      break;
    if (data[p] == '\n') {
      out.append(heldCr ? rewrite.crLf : rewrite.loneLf);
      heldCr = false;
    } else {
      // A CR after a held CR releases the held one and is held itself.
      if (heldCr)
        out.append(rewrite.loneCr);
      heldCr = true;
    }
    at = p + 1;
  }
  return heldCr;
}

} // namespace

TFromUnixConversion::TFromUnixConversion(std::string_view lineEnd, bool strip)
    : lineEnd_(keptLineEnd(lineEnd)), strip_(strip) {}

bool TFromUnixConversion::processChunk(std::string &chunk) {
  return convertSingleByteEnds(chunk, '\n');
}

bool TFromUnixConversion::convertSingleByteEnds(std::string &chunk, char end) {
  const std::size_t size = chunk.size();
  if (lineEnd_.size() == 1 && !strip_) {
    replaceByteInPlace(chunk.data(), size, end, lineEnd_[0]);
    return sendToNext(chunk);
  }
  buffer_.resize(size * std::max<std::size_t>(1, lineEnd_.size()) + convertSlack);
  std::size_t length =
      convertLineEndBytes(chunk.data(), size, end, strip_, lineEnd_, buffer_.data());
  buffer_.resize(length);
  return sendToNext(buffer_);
}

bool TFromMacConversion::processChunk(std::string &chunk) {
  return convertSingleByteEnds(chunk, '\r');
}

bool TFromDOSConversion::processChunk(std::string &chunk) {
  const std::string_view loneCr = strip_ ? "" : "\r";
  const std::string_view loneLf = strip_ ? "" : "\n";
  previousWasCr_ = rewriteLineEnds(chunk, previousWasCr_, {loneCr, lineEnd_, loneLf}, buffer_);
  return sendToNext(buffer_);
}

void TFromDOSConversion::startFile() {
  previousWasCr_ = false;
  TFromUnixConversion::startFile();
}

void TFromDOSConversion::endFile() {
  TFromUnixConversion::endFile();
  if (!previousWasCr_)
    return;
  previousWasCr_ = false;
  if (!strip_) {
    std::string cr = "\r";
    sendToNext(cr);
  }
}

std::int64_t TFromDOSConversion::bufferedLength() { return previousWasCr_ ? 1 : 0; }

TAutoConversion::TAutoConversion(std::string_view lineEnd) : lineEnd_(keptLineEnd(lineEnd)) {}

bool TAutoConversion::processChunk(std::string &chunk) {
  state_ = rewriteLineEnds(chunk, state_ == 1, {lineEnd_, lineEnd_, lineEnd_}, buffer_) ? 1 : 0;
  return sendToNext(buffer_);
}

void TAutoConversion::endFile() {
  TGenericStateMachine::endFile();
  if (state_ != 1)
    return;
  state_ = 0;
  std::string end = lineEnd_;
  sendToNext(end);
}

std::int64_t TAutoConversion::bufferedLength() { return state_ == 1 ? 1 : 0; }

TFromFixedLineLengthConversion::TFromFixedLineLengthConversion(std::string_view lineEnd,
                                                               int recordLength)
    : TAutoConversion(lineEnd), recordLength_(recordLength) {
  if (recordLength < 1)
    throw ERangeError(Format("Record length must be at least 1 (is %d)", {recordLength}));
}

bool TFromFixedLineLengthConversion::processChunk(std::string &chunk) {
  const char *data = chunk.data();
  const std::size_t size = chunk.size();
  buffer_.clear();
  buffer_.reserve(size + (size / static_cast<std::size_t>(recordLength_) + 1) * lineEnd_.size());
  std::size_t at = 0;
  while (at < size) {
    if (bytesInRecord_ == recordLength_) {
      buffer_.append(lineEnd_);
      bytesInRecord_ = 0;
    }
    std::size_t n = std::min(static_cast<std::size_t>(recordLength_ - bytesInRecord_), size - at);
    buffer_.append(data + at, n);
    bytesInRecord_ += static_cast<std::int64_t>(n);
    at += n;
  }
  return sendToNext(buffer_);
}

void TFromFixedLineLengthConversion::startFile() {
  bytesInRecord_ = 0;
  TAutoConversion::startFile();
}

// Records hold nothing back: the line end after a full record is written
// only once another byte follows.
void TFromFixedLineLengthConversion::endFile() { TGenericStateMachine::endFile(); }

} // namespace marrowen

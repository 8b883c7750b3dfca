#include "filters/unicodemap.h"

#include "classlib/convert.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace marrowen {

TUnicodeMap::TUnicodeMap(const std::vector<std::string> &codes,
                         const std::vector<std::string> &replacements) {
  if (codes.size() != replacements.size())
    throw ERangeError(Format("The Unicode map has %d codes but %d replacements",
                             {codes.size(), replacements.size()}));
  map_.reserve(codes.size());
  for (std::size_t i = 0; i < codes.size(); ++i) {
    std::int32_t code = StrToInt(codes[i]);
    if (code < 0 || code > 0xFFFF)
      throw ERangeError();
    map_.push_back({static_cast<std::uint16_t>(code), decodeEscapes(replacements[i])});
    listed_.set(static_cast<std::size_t>(code));
  }
  std::stable_sort(map_.begin(), map_.end(),
                   [](const Entry &a, const Entry &b) { return a.code < b.code; });
}

void TUnicodeMap::startFile() {
  held_ = 0;
  TGenericStateMachine::startFile();
}

std::int64_t TUnicodeMap::bufferedLength() { return state_ == 1 ? 1 : 0; }

void TUnicodeMap::mapPair(unsigned char high, unsigned char low, std::string &out) const {
  auto code = static_cast<std::uint16_t>(high << 8 | low);
  if (!listed_[code]) {
    out += static_cast<char>(high);
    out += static_cast<char>(low);
    return;
  }
  auto entry = std::lower_bound(map_.begin(), map_.end(), code,
                                [](const Entry &e, std::uint16_t c) { return e.code < c; });
  out += entry->text;
}

bool TUnicodeMap::processChunk(std::string &chunk) {
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  std::size_t size = chunk.size();
  buffer_.clear();
  buffer_.reserve(size + 1);
  std::size_t i = 0;
  if (state_ == 1 && size > 0) {
    mapPair(static_cast<unsigned char>(held_), in[0], buffer_);
    state_ = 0;
    i = 1;
  }
  while (i + 1 < size) {
    // Unlisted characters go on as runs of their bytes.
    std::size_t run = i;
    while (run + 1 < size && !listed_[static_cast<std::size_t>(in[run] << 8 | in[run + 1])])
      run += 2;
    buffer_.append(chunk, i, run - i);
    i = run;
    if (i + 1 < size) {
      mapPair(in[i], in[i + 1], buffer_);
      i += 2;
    }
  }
  if (i < size) {
    held_ = static_cast<char>(in[i]);
    state_ = 1;
  }
  chunk.swap(buffer_);
  return sendToNext(chunk);
}

void TUnicodeMap::endFile() {
  TGenericStateMachine::endFile();
  if (state_ != 1)
    return;
  // Half a character maps to nothing; it is not dropped either.
  std::string rest(1, held_);
  state_ = 0;
  sendToNext(rest);
}

} // namespace marrowen

#include "filters/unicodemap.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace marrowen {

std::int32_t strToInt(std::string_view text) {
  auto fail = [&]() -> std::int32_t {
    throw EConvertError(Format("'%s' is not a valid integer value", {text}));
  };
  std::string_view digits = text;
  while (!digits.empty() && digits.front() == ' ')
    digits.remove_prefix(1);
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (!digits.empty() && digits.front() == '$') {
    base = 16;
    digits.remove_prefix(1);
  } else if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.front() == '-' || digits.front() == '+')
    return fail();
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (error != std::errc() || end != digits.data() + digits.size())
    return fail();
  if (negative)
    value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    return fail();
  return static_cast<std::int32_t>(value);
}

TUnicodeMap::TUnicodeMap(const std::vector<std::string> &codes,
                         const std::vector<std::string> &replacements) {
  if (codes.size() != replacements.size())
    throw ERangeError(Format("The Unicode map has %d codes but %d replacements",
                             {codes.size(), replacements.size()}));
  map_.reserve(codes.size());
  for (std::size_t i = 0; i < codes.size(); ++i) {
    std::int32_t code = strToInt(codes[i]);
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

#include "filters/codecs_url.h"

#include "filters/hexdigits.h"

#include <array>

namespace marrowen {

namespace {

// Whether a byte stands for itself in the URL form.
constexpr std::array<bool, 256> keptAsItself = [] {
  std::array<bool, 256> kept{};
  for (int c = '0'; c <= '9'; ++c)
    kept[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c)
    kept[c] = true;
  for (int c = 'a'; c <= 'z'; ++c)
    kept[c] = true;
  for (char c : {'*', '-', '.', '_'})
    kept[static_cast<unsigned char>(c)] = true;
  return kept;
}();

} // namespace

bool THTTPEncode::processChunk(std::string &chunk) {
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  out_.resize(size * 3);
  char *o = out_.data();
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = in[i];
    if (keptAsItself[c]) {
      *o++ = static_cast<char>(c);
    } else if (c == ' ') {
      *o++ = '+';
    } else {
      o[0] = '%';
      o[1] = lowerHexDigits[c >> 4];
      o[2] = lowerHexDigits[c & 15];
      o += 3;
    }
  }
  out_.resize(static_cast<std::size_t>(o - out_.data()));
  return sendToNext(out_);
}

THTTPDecode::THTTPDecode() : THexEscapeDecoder(3390, 3400) {}

bool THTTPDecode::processChunk(std::string &chunk) {
  const char *in = chunk.data();
  const std::size_t size = chunk.size();
  out_.resize(size);
  char *const begin = out_.data();
  char *o = begin;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = in[i];
    switch (state_) {
    case 0:
      if (c == '%')
        state_ = 1;
      else
        *o++ = c == '+' ? ' ' : c;
      break;
    case 1:
      if (c == '%') {
        *o++ = '%';
        state_ = 0;
      } else {
        state_ = takeFirstDigit(c) ? 2 : 0;
      }
      break;
    default:
      o = takeSecondDigit(c, o);
      state_ = 0;
      break;
    }
  }
  out_.resize(static_cast<std::size_t>(o - begin));
  return sendToNext(out_);
}

} // namespace marrowen

#include "filters/codecs_quotedprintable.h"

#include "filters/hexdigits.h"

#include <cstring>
#include <string_view>

namespace marrowen {

namespace {

constexpr int maximumLineLength = 75; // a line reaching it gets a soft break first

constexpr std::string_view strictPlainBytes =
    "\t %&()*+,-./0123456789:;<>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_`abcdefghijklmnopqrstuvwxyz";

} // namespace

TEncodeQuotedPrintable::TEncodeQuotedPrintable(bool strict) {
  if (strict) {
    for (char c : strictPlainBytes)
      plain_[static_cast<unsigned char>(c)] = true;
  } else {
    plain_['\t'] = true;
    for (int c = 32; c <= 126; ++c)
      plain_[c] = c != '=';
  }
}

void TEncodeQuotedPrintable::startFile() {
  crPending_ = false;
  lineLength_ = 0;
  TGenericStateMachine::startFile();
}

void TEncodeQuotedPrintable::emit(const char *piece, int length) {
  if (lineLength_ + length >= maximumLineLength) {
    out_.append("=\r\n", 3);
    lineLength_ = 0;
  }
  out_.append(piece, static_cast<std::size_t>(length));
  lineLength_ += length;
}

void TEncodeQuotedPrintable::emitEncoded(unsigned char c) {
  const char piece[3] = {'=', upperHexDigits[c >> 4], upperHexDigits[c & 15]};
  emit(piece, 3);
}

bool TEncodeQuotedPrintable::processChunk(std::string &chunk) {
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  out_.clear();
  // Three bytes for each input byte, and a soft break each 25 of those.
  out_.reserve(size * 3 + size / 8 + 8);
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = in[i];
    if (crPending_) {
      crPending_ = false;
      if (c == '\n') {
        out_.append("\r\n", 2);
        lineLength_ = 0;
        continue;
      }
      emitEncoded('\r');
      // A CR straight after a held one is not held itself.
      if (c == '\r') {
        emitEncoded(c);
        continue;
      }
    } else if (c == '\r') {
      crPending_ = true;
      continue;
    }
    if (plain_[c] && c != '\n') {
      const char piece = static_cast<char>(c);
      emit(&piece, 1);
    } else {
      emitEncoded(c);
    }
  }
  return sendToNext(out_);
}

void TEncodeQuotedPrintable::endFile() {
  TGenericStateMachine::endFile();
  out_.clear();
  if (crPending_)
    emitEncoded('\r');
  crPending_ = false;
  out_.append("=\r\n", 3);
  lineLength_ = 0;
  sendToNext(out_);
}

TDecodeQuotedPrintable::TDecodeQuotedPrintable() : THexEscapeDecoder(3300, 3310) {}

bool TDecodeQuotedPrintable::processChunk(std::string &chunk) {
  const char *in = chunk.data();
  const std::size_t size = chunk.size();
  out_.resize(size);
  char *const begin = out_.data();
  char *o = begin;
  std::size_t i = 0;
  while (i < size) {
    const char c = in[i];
    switch (state_) {
    case 0: {
      // Runs of text up to the next "=" are copied whole.
      const void *equals = std::memchr(in + i, '=', size - i);
      const std::size_t end =
          equals ? static_cast<std::size_t>(static_cast<const char *>(equals) - in) : size;
      std::memcpy(o, in + i, end - i);
      o += end - i;
      i = end;
      if (equals) {
        state_ = 1;
        ++i;
      }
      continue;
    }
    case 1:
      if (c == '\n') {
        state_ = 0;
      } else if (c == '\r') {
        state_ = 3;
      } else if (c == ' ' || c == '\t') {
        // Blanks between "=" and the line end.
      } else {
        state_ = takeFirstDigit(c) ? 2 : 0;
      }
      break;
    case 2:
      o = takeSecondDigit(c, o);
      state_ = 0;
      break;
    default: // 3: "=" CR; anything but its LF is text again
      state_ = 0;
      if (c != '\n')
        continue;
      break;
    }
    ++i;
  }
  out_.resize(static_cast<std::size_t>(o - begin));
  return sendToNext(out_);
}

} // namespace marrowen

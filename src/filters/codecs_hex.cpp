#include "filters/codecs_hex.h"

#include "engine/messages.h"
#include "filters/hexdigits.h"

#include <algorithm>

namespace marrowen {

namespace {

constexpr int digitsPerLine = 76;

} // namespace

void TEncodeHex::startFile() {
  digitsOnLine_ = 0;
  TGenericStateMachine::startFile();
}

bool TEncodeHex::processChunk(std::string &chunk) {
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  out_.resize(size * 2 + (size * 2 / digitsPerLine + 1) * 2);
  char *o = out_.data();
  std::size_t i = 0;
  while (i < size) {
    // As many bytes as fit on the current line.
    std::size_t run = std::min<std::size_t>(size - i, (digitsPerLine - digitsOnLine_) / 2);
    for (std::size_t end = i + run; i < end; ++i) {
      o[0] = upperHexDigits[in[i] >> 4];
      o[1] = upperHexDigits[in[i] & 15];
      o += 2;
    }
    digitsOnLine_ += static_cast<int>(run * 2);
    if (digitsOnLine_ == digitsPerLine) {
      *o++ = '\r';
      *o++ = '\n';
      digitsOnLine_ = 0;
    }
  }
  out_.resize(static_cast<std::size_t>(o - out_.data()));
  return sendToNext(out_);
}

void TDecodeHex::startFile() {
  lineNumber_ = 1;
  firstDigit_ = 0;
  TGenericStateMachine::startFile();
}

void TDecodeHex::logWarning(const std::string &text) {
  TGenericStateMachine::logWarning(
      translateFormat(3330, "Decode Hex: Line %d - %s", {lineNumber_, text}));
}

bool TDecodeHex::processChunk(std::string &chunk) {
  const char *in = chunk.data();
  const std::size_t size = chunk.size();
  out_.resize(size / 2 + 1);
  char *const begin = out_.data();
  char *o = begin;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = in[i];
    const int value = hexValueOf(c);
    if (state_ == 2) {
      if (value >= 0) {
        *o++ = static_cast<char>(firstDigit_ * 16 + value);
        state_ = 0;
      } else if (c == '\n') {
        logWarning(translate(3360, "Hex digit pair incomplete"));
        ++lineNumber_;
        state_ = 0;
      } else if (c == '\r') {
        logWarning(translate(3370, "Hex digit pair incomplete"));
        ++lineNumber_;
        state_ = 1;
      } else {
        logWarning(translateFormat(3380, "Invalid hex digit '%s'", {byteText(c)}));
        state_ = 0;
      }
      continue;
    }
    if (value >= 0) {
      // Pairs that follow at once are decoded without the state machine.
      if (i + 1 < size) {
        const int second = hexValueOf(in[i + 1]);
        if (second >= 0) {
          *o++ = static_cast<char>(value * 16 + second);
          ++i;
          state_ = 0;
          continue;
        }
      }
      firstDigit_ = value;
      state_ = 2;
    } else if (c == '\r') {
      ++lineNumber_;
      state_ = 1;
    } else if (c == '\n') {
      // An LF straight after a CR ends the same line.
      if (state_ == 0)
        ++lineNumber_;
      state_ = 0;
    } else {
      if (state_ == 0)
        logWarning(translateFormat(3340, "Invalid hex digit '%s'", {byteText(c)}));
      else
        logWarning(translateFormat(3350, "Invalid hex digit '%s'", {byteText(c)}));
      state_ = 0;
    }
  }
  out_.resize(static_cast<std::size_t>(o - begin));
  return sendToNext(out_);
}

} // namespace marrowen

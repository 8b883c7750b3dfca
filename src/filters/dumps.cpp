#include "filters/dumps.h"

#include "filters/hexdigits.h"

#include <array>

namespace marrowen {

namespace {

constexpr int hexWidth = 80, decimalWidth = 64;

// Each byte's three decimal digits.
constexpr std::array<std::array<char, 3>, 256> decimalDigits = [] {
  std::array<std::array<char, 3>, 256> digits{};
  for (int b = 0; b < 256; ++b)
    digits[b] = {static_cast<char>('0' + b / 100), static_cast<char>('0' + b / 10 % 10),
                 static_cast<char>('0' + b % 10)};
  return digits;
}();

char shownAs(unsigned char c) { return c < 32 ? '.' : static_cast<char>(c); }

} // namespace

THexDump::THexDump() : THexDump(false) {}

THexDump::THexDump(bool decimal)
    : decimal_(decimal), bytesPerLine_(decimal ? 10 : 16), valueColumn_{},
      characterColumn_(decimal ? 54 : 62) {
  for (int c = 0; c < bytesPerLine_; ++c)
    valueColumn_[c] = decimal ? 4 * c + c / 5 + 12 : 3 * c + c / 4 + 10;
  line_.assign(decimal ? decimalWidth : hexWidth, ' ');
}

TDecimalDump::TDecimalDump() : THexDump(true) {}

void THexDump::startFile() {
  bytesOnLine_ = 0;
  offset_ = 0;
  line_.assign(line_.size(), ' ');
  TGenericStateMachine::startFile();
}

void THexDump::writeOffset() {
  // "%8.8X" or "%10.10d"; an offset past those digits (a file of 4 GB or
  // more) takes the blanks before the first value, keeping one.
  std::uint64_t value = static_cast<std::uint64_t>(offset_);
  const unsigned base = decimal_ ? 10 : 16;
  const int minimum = decimal_ ? 10 : 8;
  const int room = valueColumn_[0] - 1;
  char digits[24];
  int n = 0;
  while ((value != 0 || n < minimum) && n < room) {
    digits[n++] = upperHexDigits[value % base];
    value /= base;
  }
  for (int k = 0; k < n; ++k)
    line_[static_cast<std::size_t>(k)] = digits[n - 1 - k];
}

bool THexDump::processChunk(std::string &chunk) {
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  out_.clear();
  out_.reserve((size / bytesPerLine_ + 1) * (line_.size() + 2));
  char *line = line_.data();
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = in[i];
    if (bytesOnLine_ == 0)
      writeOffset();
    char *value = line + valueColumn_[bytesOnLine_];
    if (decimal_) {
      value[0] = decimalDigits[c][0];
      value[1] = decimalDigits[c][1];
      value[2] = decimalDigits[c][2];
    } else {
      value[0] = upperHexDigits[c >> 4];
      value[1] = upperHexDigits[c & 15];
    }
    line[characterColumn_ + bytesOnLine_] = shownAs(c);
    if (++bytesOnLine_ == bytesPerLine_) {
      out_.append(line_).append("\r\n", 2);
      line_.assign(line_.size(), ' ');
      line = line_.data();
      bytesOnLine_ = 0;
      offset_ += bytesPerLine_;
    }
  }
  return sendToNext(out_);
}

void THexDump::endFile() {
  TGenericStateMachine::endFile();
  if (bytesOnLine_ > 0) {
    std::string last = line_;
    sendToNext(last);
  }
  bytesOnLine_ = 0;
}

} // namespace marrowen

#include "filters/codecs_uu.h"

#include "classlib/program.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "filters/hexdigits.h"

#include <algorithm>
#include <cstring>

namespace marrowen {

namespace {

constexpr char uuAlphabet[] = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
constexpr char xxAlphabet[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

constexpr int bytesPerLine = 45;

} // namespace

TUUEncode::TUUEncode(bool uu)
    : alphabet_(uu ? uuAlphabet : xxAlphabet), scheme_(uu ? "UU" : "XX") {}

void TUUEncode::startFile() {
  headerPending_ = true;
  held_ = 0;
  TFilter::startFile();
}

void TUUEncode::appendHeader() {
  const std::string name = getInputFilename();
  const std::string quoted = "\"" + name + "\"";
  out_ += scheme_ + "Encoded attachment by Marrowen from " + std::string(program::makerWebAddress) +
          "\r\n";
  out_ += "MIME-Version: 1.0\r\n";
  out_ += "Content-Description: " + quoted + "\r\n";
  out_ += "Message-ID: <12379094073068_" + name + ">\r\n";
  out_ += "Content-Type: application/octet-stream; name=" + quoted + "\r\n";
  out_ += "Content-Transfer-Encoding: " + scheme_ + "ENCODED\r\n";
  out_ += "Content-Disposition: attachment; filename=" + quoted + "\r\n";
  out_ += "\r\n";
  out_ += "begin 644 " + name + "\r\n";
  headerPending_ = false;
}

void TUUEncode::appendLine(const unsigned char *data, int count) {
  const std::size_t at = out_.size();
  const int groups = (count + 2) / 3;
  out_.resize(at + 1 + static_cast<std::size_t>(groups) * 4 + 2);
  char *o = out_.data() + at;
  *o++ = alphabet_[count];
  for (int g = 0; g < groups; ++g, data += 3) {
    const int left = count - 3 * g;
    const unsigned b0 = data[0], b1 = left > 1 ? data[1] : 0, b2 = left > 2 ? data[2] : 0;
    o[0] = alphabet_[b0 >> 2];
    o[1] = alphabet_[((b0 << 4) & 0x30) | (b1 >> 4)];
    o[2] = alphabet_[((b1 << 2) & 0x3C) | (b2 >> 6)];
    o[3] = alphabet_[b2 & 0x3F];
    o += 4;
  }
  o[0] = '\r';
  o[1] = '\n';
}

bool TUUEncode::processChunk(std::string &chunk) {
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  out_.clear();
  out_.reserve(size / bytesPerLine * 63 + 64);
  if (headerPending_)
    appendHeader();
  std::size_t i = 0;
  if (held_ > 0) {
    const std::size_t take = std::min<std::size_t>(size, bytesPerLine - held_);
    std::memcpy(buffer_.data() + held_, in, take);
    held_ += static_cast<int>(take);
    i = take;
    if (held_ == bytesPerLine) {
      appendLine(buffer_.data(), bytesPerLine);
      held_ = 0;
    }
  }
  for (; i + bytesPerLine <= size; i += bytesPerLine)
    appendLine(in + i, bytesPerLine);
  if (i < size) {
    std::memcpy(buffer_.data() + held_, in + i, size - i);
    held_ += static_cast<int>(size - i);
  }
  return sendToNext(out_);
}

void TUUEncode::endFile() {
  TFilter::endFile();
  out_.clear();
  if (headerPending_)
    appendHeader();
  if (held_ > 0) {
    appendLine(buffer_.data(), held_);
    held_ = 0;
  }
  out_ += alphabet_[0];
  out_ += "\r\nend\r\n";
  sendToNext(out_);
}

TUUDecode::TUUDecode(bool uu) : alphabet_(uu ? uuAlphabet : xxAlphabet), scheme_(uu ? "UU" : "XX") {
  values_.fill(-1);
  for (int i = 0; i < 64; ++i)
    values_[static_cast<unsigned char>(alphabet_[i])] = static_cast<signed char>(i);
}

void TUUDecode::startFile() {
  fileName_.clear();
  out_.clear();
  TProcessLines::startFile();
}

bool TUUDecode::processChunk(std::string &chunk) {
  TProcessLines::processChunk(chunk);
  bool goOn = sendToNext(out_);
  out_.clear();
  return goOn;
}

bool TUUDecode::putLine(std::string_view line, std::string_view lineEnd) {
  TProcessLines::putLine(line, lineEnd);
  bool goOn = sendToNext(out_);
  out_.clear();
  return goOn;
}

void TUUDecode::logWarning(const std::string &text) {
  TProcessLines::logWarning(
      translateFormat(3200, "%sDecode: Line %d - %s", {scheme_, lineCounter_, text}));
}

void TUUDecode::endFile() {
  TProcessLines::endFile();
  sendToNext(out_);
  out_.clear();
  if (state_ == 0)
    TProcessLines::logWarning(translateFormat(3210, "%sDecode: ", {scheme_}) + scheme_ +
                              translateFormat(3220, "Encode Header not found in %s",
                                              {loggedName(getFullInputFilename())}));
  else if (state_ == 1)
    TProcessLines::logWarning(scheme_ +
                              translateFormat(3230, "Decode: the encoded data of %s is incomplete",
                                              {loggedName(getFullInputFilename())}));
}

bool TUUDecode::isBeginLine() {
  const std::string_view line = currentLine_;
  if (line.size() < 5)
    return false;
  for (int k = 0; k < 5; ++k)
    if ((line[k] & ~0x20) != "BEGIN"[k])
      return false;
  std::size_t at = 5;
  // A begin line has blanks and an octal mode after the word, so that text
  // that merely starts with the word ("Beginning ...") opens no block.
  if (at < line.size() && !isBlank(line[at]))
    return false;
  while (at < line.size() && isBlank(line[at]))
    ++at;
  if (at < line.size()) {
    if (line[at] < '0' || line[at] > '7')
      return false;
    while (at < line.size() && line[at] >= '0' && line[at] <= '7')
      ++at;
    ++at; // the byte that ends the mode
  }
  while (at < line.size() && isBlank(line[at]))
    ++at;
  if (at >= line.size()) {
    logWarning(translateFormat(3240, "Incomplete %sEncode header", {scheme_}));
    return false;
  }
  fileName_ = line.substr(at);
  return true;
}

int TUUDecode::valueOf(char c) {
  const int value = values_[static_cast<unsigned char>(c)];
  if (value >= 0)
    return value;
  logWarning(translateFormat(3260, "Illegal character '%s'", {byteText(c)}));
  return static_cast<unsigned char>(c);
}

void TUUDecode::decodeLine() {
  const std::string_view line = currentLine_;
  if (line.empty()) {
    logWarning(translate(3280, "Warning - Illegal blank line"));
    return;
  }
  const int count = values_[static_cast<unsigned char>(line[0])];
  if (count < 0) {
    logWarning(translateFormat(3290, "Incorrect line start character '%s'", {byteText(line[0])}));
    return;
  }
  const std::size_t length = line.size() - 1;
  const std::size_t groups = (static_cast<std::size_t>(count) + 2) / 3;
  if (length < groups * 4)
    logWarning(translateFormat(
        3270, "Line length inconsistent - actual length %d, expected length %d",
        {static_cast<std::int64_t>(length), static_cast<std::int64_t>(groups * 4)}));
  const char zero = alphabet_[0];
  const char *data = line.data() + 1;
  for (std::size_t g = 0; g < groups; ++g) {
    char group[4];
    for (std::size_t k = 0; k < 4; ++k) {
      const std::size_t at = g * 4 + k;
      group[k] = at < length ? data[at] : zero;
    }
    const unsigned c0 = valueOf(group[0]), c1 = valueOf(group[1]);
    const unsigned c2 = valueOf(group[2]), c3 = valueOf(group[3]);
    const char bytes[3] = {static_cast<char>((c0 << 2) | ((c1 >> 4) & 3)),
                           static_cast<char>(((c1 << 4) & 0xF0) | ((c2 >> 2) & 0x0F)),
                           static_cast<char>((c3 & 0x3F) | ((c2 << 6) & 0xC0))};
    const std::size_t keep = std::min<std::size_t>(3, static_cast<std::size_t>(count) - 3 * g);
    out_.append(bytes, keep);
  }
}

void TUUDecode::processLine(std::string_view) {
  if (state_ != 1) {
    if (isBeginLine())
      state_ = 1;
    return;
  }
  if (currentLine_ == "end" || (currentLine_.size() == 1 && currentLine_[0] == alphabet_[0])) {
    state_ = 2;
    return;
  }
  decodeLine();
}

} // namespace marrowen

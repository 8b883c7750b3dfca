#include "filters/codepagefilters.h"

#include "engine/escapes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace marrowen {

namespace {

// dd conv=ebcdic.
constexpr ByteTable asciiToEbcdic = {
    0,   1,   2,   3,   55,  45,  46,  47,  22,  5,   37,  11,  12,  13,  14,  15,  16,  17,  18,
    19,  60,  61,  50,  38,  24,  25,  63,  39,  28,  29,  30,  31,  64,  90,  127, 123, 91,  108,
    80,  125, 77,  93,  92,  78,  107, 96,  75,  97,  240, 241, 242, 243, 244, 245, 246, 247, 248,
    249, 122, 94,  76,  126, 110, 111, 124, 193, 194, 195, 196, 197, 198, 199, 200, 201, 209, 210,
    211, 212, 213, 214, 215, 216, 217, 226, 227, 228, 229, 230, 231, 232, 233, 173, 224, 189, 154,
    109, 121, 129, 130, 131, 132, 133, 134, 135, 136, 137, 145, 146, 147, 148, 149, 150, 151, 152,
    153, 162, 163, 164, 165, 166, 167, 168, 169, 192, 79,  208, 95,  7,   32,  33,  34,  35,  36,
    21,  6,   23,  40,  41,  42,  43,  44,  9,   10,  27,  48,  49,  26,  51,  52,  53,  54,  8,
    56,  57,  58,  59,  4,   20,  62,  225, 65,  66,  67,  68,  69,  70,  71,  72,  73,  81,  82,
    83,  84,  85,  86,  87,  88,  89,  98,  99,  100, 101, 102, 103, 104, 105, 112, 113, 114, 115,
    116, 117, 118, 119, 120, 128, 138, 139, 140, 141, 142, 143, 144, 106, 155, 156, 157, 158, 159,
    160, 170, 171, 172, 74,  174, 175, 176, 177, 178, 179, 180, 181, 182, 183, 184, 185, 186, 187,
    188, 161, 190, 191, 202, 203, 204, 205, 206, 207, 218, 219, 220, 221, 222, 223, 234, 235, 236,
    237, 238, 239, 250, 251, 252, 253, 254, 255,
};

ByteTable inverseOf(const ByteTable &table) {
  ByteTable inverse{};
  for (int b = 0; b < 256; ++b)
    inverse[table[b]] = static_cast<unsigned char>(b);
  return inverse;
}

ByteTable drawingTable() {
  ByteTable t{};
  for (int b = 0; b < 256; ++b) {
    char c = ' ';
    if (b == '\n' || b == '\r' || (b >= 32 && b <= 125))
      c = static_cast<char>(b);
    else if (b == 24)
      c = '^';
    else if (b == 25)
      c = 'V';
    else if (b == 26)
      c = '>';
    else if (b == 27)
      c = '<';
    else if (b == 176)
      c = '.';
    else if (b == 177)
      c = 'x';
    else if (b == 178 || b == 219)
      c = 'X';
    else if (b == 179 || b == 186)
      c = '|';
    else if (b == 196 || b == 205)
      c = '-';
    else if (b >= 220 && b <= 223)
      c = 'x';
    else if (b >= 180 && b <= 218)
      c = '+';
    else if (b == 248 || b == 249 || b == 250 || b == 254)
      c = '*';
    t[b] = static_cast<unsigned char>(c);
  }
  return t;
}

// Each byte of `from` as the byte of `to` with the same character.
ByteTable codePageTable(const CodePage &from, const CodePage &to) {
  ByteTable t{};
  for (int b = 0; b < 256; ++b) {
    unsigned char c;
    t[b] = to.fromUnicode(from.toUnicode(static_cast<unsigned char>(b)), c) ? c : '?';
  }
  return t;
}

// Each character of code page 437 above ASCII with its byte's entry of
// `table`.
std::unordered_map<char32_t, unsigned char> oemCharacters(const ByteTable &table) {
  std::unordered_map<char32_t, unsigned char> characters;
  const CodePage &oem = *oemCodePage();
  for (int b = 255; b >= 128; --b)
    characters[oem.toUnicode(static_cast<unsigned char>(b))] = table[b];
  return characters;
}

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

} // namespace

const ByteTable &asciiToEbcdicTable() { return asciiToEbcdic; }

const ByteTable &ebcdicToAsciiTable() {
  static const ByteTable table = inverseOf(asciiToEbcdic);
  return table;
}

bool TByteTableFilter::processChunk(std::string &chunk) {
  translateInPlace(chunk, table_);
  return sendToNext(chunk);
}

TASCIItoEBCDIC::TASCIItoEBCDIC() { table_ = asciiToEbcdicTable(); }

TEBCDICtoASCII::TEBCDICtoASCII() { table_ = ebcdicToAsciiTable(); }

bool TCharacterTableFilter::processChunk(std::string &chunk) {
  carry_.join(chunk);
  auto *text = reinterpret_cast<unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  std::size_t i = 0;
  while (i < size && text[i] < 0x80)
    ++i;
  translateInPlace(chunk.data(), i, table_);
  // One byte for each character: the output never overtakes the input.
  std::size_t o = i;
  while (i < size) {
    char32_t cp;
    const std::size_t n = text[i] < 0x80 ? 0 : utf8::decodeSequence(text + i, size - i, cp);
    if (n < shortestSequence_) {
      text[o++] = table_[text[i++]];
      continue;
    }
    const auto found = characters_.find(cp);
    text[o++] = found != characters_.end() ? found->second : missing_;
    i += n;
  }
  chunk.resize(o);
  return sendToNext(chunk);
}

void TCharacterTableFilter::startFile() {
  carry_.clear();
  TByteTableFilter::startFile();
}

void TCharacterTableFilter::endFile() {
  TByteTableFilter::endFile();
  std::string rest = carry_.take();
  translateInPlace(rest, table_);
  sendToNext(rest);
}

std::int64_t TCharacterTableFilter::bufferedLength() {
  return static_cast<std::int64_t>(carry_.size());
}

TTranslateDrawing::TTranslateDrawing() {
  table_ = drawingTable();
  // The drawing characters of UTF-8 text: those of code page 437 with a
  // look-alike, each of three bytes.
  for (const auto &[character, lookAlike] : oemCharacters(table_))
    if (lookAlike != ' ' && character >= 0x800)
      characters_.emplace(character, lookAlike);
  // The arrows sit on control bytes in code page 437, which reads those as
  // control characters.
  characters_.insert({{U'\u2191', '^'}, {U'\u2193', 'V'}, {U'\u2192', '>'}, {U'\u2190', '<'}});
}

namespace {

constexpr std::size_t longestHeldLine = 1 << 20;

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// The first byte of 128 or more at or after `from`, eight bytes a step.
std::size_t firstHighByte(std::string_view text, std::size_t from) {
  std::size_t i = from;
  for (; text.size() - i >= 8; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080u)
      break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80)
    ++i;
  return i;
}

std::size_t nextLineEnd(std::string_view text, std::size_t from) {
  const std::size_t end = text.find_first_of("\r\n", from);
  return end == std::string_view::npos ? text.size() : end;
}

// Whether a line that is valid UTF-8 reads as a row of a DOS drawing: every
// byte of 128 or more a box, block or shade of code page 437, none of them
// touching an ASCII letter or digit (as the letters of a word do); `before`
// is the byte before the text.
bool looksDrawn(std::string_view text, unsigned char before) {
  auto isAsciiWord = [](unsigned char b) {
    return (b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80)
      continue;
    if (b < 176 || b > 223)
      return false;
    const auto previous = i > 0 ? static_cast<unsigned char>(text[i - 1]) : before;
    if (isAsciiWord(previous) ||
        (i + 1 < text.size() && isAsciiWord(static_cast<unsigned char>(text[i + 1]))))
      return false;
  }
  return true;
}

} // namespace

bool TTranslateDrawing::heldHoldsNoUtf8(bool ended) {
  const auto *text = reinterpret_cast<const unsigned char *>(held_.data());
  const std::size_t size = held_.size();
  while (checked_ < size) {
    if (text[checked_] < 0x80) {
      ++checked_;
      continue;
    }
    char32_t cp;
    const std::size_t n = utf8::decodeSequence(text + checked_, size - checked_, cp);
    if (n == 0) {
      if (!ended && utf8::incompleteTail(held_) == size - checked_)
        return false; // the next chunk may complete it
      return true;
    }
    checked_ += n;
  }
  return false;
}

std::size_t TTranslateDrawing::appendUtf8(std::string_view text, std::string &out,
                                          bool ended) const {
  const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
  const std::size_t size = ended ? text.size() : text.size() - utf8::incompleteTail(text);
  std::size_t i = 0;
  while (i < size) {
    char32_t cp;
    const std::size_t n = bytes[i] < 0x80 ? 0 : utf8::decodeSequence(bytes + i, size - i, cp);
    if (n == 0) {
      out += static_cast<char>(table_[bytes[i++]]);
      continue;
    }
    const auto found = characters_.find(cp);
    if (found != characters_.end())
      out += static_cast<char>(found->second);
    else
      out.append(text, i, n);
    i += n;
  }
  return size;
}

void TTranslateDrawing::decideHeld(std::string &out, bool ended) {
  const bool codePage =
      heldHoldsNoUtf8(ended) || (lastWasCodePage_ && looksDrawn(held_, beforeHeld_));
  if (codePage) {
    translateInPlace(held_, table_);
    out += held_;
    held_.clear();
  } else {
    held_.erase(0, appendUtf8(held_, out, ended));
  }
  checked_ = 0;
  lastWasCodePage_ = codePage;
  line_ = ended ? Line::Ascii : codePage ? Line::CodePage : Line::Utf8;
}

bool TTranslateDrawing::processChunk(std::string &chunk) {
  const std::string_view text(chunk);
  // ASCII reads the same in either kind of text: lines of it pass at once.
  if (line_ == Line::Ascii && firstHighByte(text, 0) == text.size()) {
    if (!chunk.empty())
      beforeHeld_ = static_cast<unsigned char>(chunk.back());
    translateInPlace(chunk, table_);
    return chunk.empty() || sendToNext(chunk);
  }
  std::string out;
  out.reserve(chunk.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (line_ == Line::Ascii) {
      const std::size_t high = firstHighByte(text, i);
      const std::size_t from = out.size();
      out.append(text, i, high - i);
      translateInPlace(out.data() + from, high - i, table_);
      if (high > i)
        beforeHeld_ = static_cast<unsigned char>(text[high - 1]);
      i = high;
      if (i < text.size())
        line_ = Line::Undecided;
      continue;
    }
    const std::size_t end = nextLineEnd(text, i);
    switch (line_) {
    case Line::Ascii:
      break;
    case Line::CodePage: {
      const std::size_t from = out.size();
      out.append(text, i, end - i);
      translateInPlace(out.data() + from, end - i, table_);
      i = end;
      break;
    }
    case Line::Undecided:
      held_.append(text, i, end - i);
      i = end;
      if (heldHoldsNoUtf8(false)) {
        decideHeld(out, false);
      } else if (end < text.size()) {
        decideHeld(out, true);
      } else if (held_.size() > longestHeldLine) {
        decideHeld(out, false);
      }
      break;
    case Line::Utf8:
      held_.append(text, i, end - i);
      i = end;
      held_.erase(0, appendUtf8(held_, out, end < text.size()));
      break;
    }
    if (i < text.size() && isLineEnd(text[i])) {
      if (line_ == Line::Utf8 && !held_.empty()) {
        appendUtf8(held_, out, true);
        held_.clear();
      }
      beforeHeld_ = static_cast<unsigned char>(text[i]);
      out += text[i++];
      line_ = Line::Ascii;
    }
  }
  chunk.swap(out);
  return chunk.empty() || sendToNext(chunk);
}

void TTranslateDrawing::startFile() {
  line_ = Line::Ascii;
  held_.clear();
  checked_ = 0;
  beforeHeld_ = 0;
  lastWasCodePage_ = false;
  TFilter::startFile();
}

void TTranslateDrawing::endFile() {
  TFilter::endFile();
  std::string out;
  if (line_ == Line::Undecided)
    decideHeld(out, true);
  else if (line_ == Line::Utf8)
    appendUtf8(held_, out, true);
  held_.clear();
  line_ = Line::Ascii;
  if (!out.empty())
    sendToNext(out);
}

std::int64_t TTranslateDrawing::bufferedLength() { return static_cast<std::int64_t>(held_.size()); }

TANSItoOEM::TANSItoOEM() {
  table_ = codePageTable(*charTables(), *oemCodePage());
  characters_ = oemCharacters(identityTable());
}

void TANSItoOEM::startJob() {
  table_ = codePageTable(*charTables(), *oemCodePage());
  TFilter::startJob();
}

TOEMtoANSI::TOEMtoANSI() { table_ = codePageTable(*oemCodePage(), *charTables()); }

void TOEMtoANSI::startJob() {
  table_ = codePageTable(*oemCodePage(), *charTables());
  TFilter::startJob();
}

TANSItoUnicode::TANSItoUnicode() : tables_(charTables()) {}

void TANSItoUnicode::startJob() {
  tables_ = charTables();
  TFilter::startJob();
}

void TANSItoUnicode::convert(std::string &chunk) {
  // Never more than two bytes of UTF-16 for a byte of the text.
  buffer_.resize(chunk.size() * 2);
  const CodePage &t = *tables_;
  char *out = buffer_.data();
  const auto put = [&out](char16_t u) {
    *out++ = static_cast<char>(u & 0xFF);
    *out++ = static_cast<char>(u >> 8);
  };
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  for (std::size_t i = 0; i < chunk.size();) {
    char32_t cp;
    std::size_t n = in[i] < 0x80 ? 0 : utf8::decodeSequence(in + i, chunk.size() - i, cp);
    if (!n) {
      put(t.toUnicode(in[i++]));
      continue;
    }
    if (cp >= 0x10000) {
      put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      put(static_cast<char16_t>(cp));
    }
    i += n;
  }
  buffer_.resize(static_cast<std::size_t>(out - buffer_.data()));
  // The input's storage becomes the next chunk's output buffer.
  chunk.swap(buffer_);
}

bool TANSItoUnicode::processChunk(std::string &chunk) {
  carry_.join(chunk);
  convert(chunk);
  return sendToNext(chunk);
}

void TANSItoUnicode::startFile() {
  carry_.clear();
  TFilter::startFile();
}

void TANSItoUnicode::endFile() {
  TFilter::endFile();
  std::string rest = carry_.take();
  convert(rest);
  sendToNext(rest);
}

std::int64_t TANSItoUnicode::bufferedLength() { return static_cast<std::int64_t>(carry_.size()); }

TUnicodeToANSI::TUnicodeToANSI() = default;

void TUnicodeToANSI::startFile() {
  held_.clear();
  TGenericStateMachine::startFile();
}

std::int64_t TUnicodeToANSI::bufferedLength() { return static_cast<std::int64_t>(held_.size()); }

bool TUnicodeToANSI::processChunk(std::string &chunk) {
  if (!held_.empty()) {
    chunk.insert(0, held_);
    held_.clear();
  }
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t units = chunk.size() / 2;
  // At most three bytes of UTF-8 for a code unit, four for a pair.
  buffer_.resize(units * 3);
  auto *out = reinterpret_cast<unsigned char *>(buffer_.data());
  std::size_t i = 0;
  for (; i < units; ++i) {
    const auto u = static_cast<char16_t>(in[2 * i] | (in[2 * i + 1] << 8));
    if (u < 0x80) {
      *out++ = static_cast<unsigned char>(u);
    } else if (u < 0x800) {
      *out++ = static_cast<unsigned char>(0xC0 | (u >> 6));
      *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
    } else if (isHighSurrogate(u)) {
      if (i + 1 == units)
        break; // its partner may start the next chunk
      const auto v = static_cast<char16_t>(in[2 * i + 2] | (in[2 * i + 3] << 8));
      if (!isLowSurrogate(v)) {
        *out++ = '?';
        continue;
      }
      ++i;
      const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(v) - 0xDC00);
      *out++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
      *out++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
      *out++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
      *out++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    } else if (isLowSurrogate(u)) {
      *out++ = '?';
    } else {
      *out++ = static_cast<unsigned char>(0xE0 | (u >> 12));
      *out++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
      *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
    }
  }
  buffer_.resize(static_cast<std::size_t>(out - reinterpret_cast<unsigned char *>(buffer_.data())));
  held_.assign(chunk, 2 * i, std::string::npos);
  chunk.swap(buffer_);
  return chunk.empty() || sendToNext(chunk);
}

void TUnicodeToANSI::endFile() {
  TGenericStateMachine::endFile();
  if (held_.empty())
    return;
  // A high surrogate without its partner, or a byte short of a code unit.
  std::string rest(held_.size() >= 2 ? 1 + held_.size() % 2 : 1, '?');
  held_.clear();
  sendToNext(rest);
}

} // namespace marrowen

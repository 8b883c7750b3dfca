#include "filters/codecs_base64.h"

#include "classlib/format.h"
#include "engine/messages.h"
#include "filters/hexdigits.h"

#include <array>
#include <cstring>

namespace marrowen {

namespace {

constexpr char base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int groupsPerLine = 19; // 76 characters

// Sextet values; `skipped` for CR and LF, `padding` for "=", `invalid` for
// every other byte outside the alphabet.
constexpr unsigned char skipped = 64, padding = 65, invalid = 255;
constexpr std::array<unsigned char, 256> sextetValues = [] {
  std::array<unsigned char, 256> values{};
  for (auto &v : values)
    v = invalid;
  for (int i = 0; i < 64; ++i)
    values[static_cast<unsigned char>(base64Alphabet[i])] = static_cast<unsigned char>(i);
  values['\r'] = skipped;
  values['\n'] = skipped;
  values['='] = padding;
  return values;
}();

// The two characters of every 12-bit value, so that three bytes take two
// look-ups.
struct CharacterPairs {
  char pair[4096][2];
};
constexpr CharacterPairs characterPairs = [] {
  CharacterPairs pairs{};
  for (int v = 0; v < 4096; ++v) {
    pairs.pair[v][0] = base64Alphabet[v >> 6];
    pairs.pair[v][1] = base64Alphabet[v & 63];
  }
  return pairs;
}();

// Writes the four characters of three bytes.
inline char *encodeGroup(char *o, unsigned b0, unsigned b1, unsigned b2) {
  const unsigned group = (b0 << 16) | (b1 << 8) | b2;
  std::memcpy(o, characterPairs.pair[group >> 12], 2);
  std::memcpy(o + 2, characterPairs.pair[group & 4095], 2);
  return o + 4;
}

} // namespace

void TEncodeBase64::startFile() {
  pending_ = 0;
  groupsOnLine_ = 0;
  TGenericStateMachine::startFile();
}

bool TEncodeBase64::processChunk(std::string &chunk) {
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  std::size_t i = 0;
  // Room for every group with its line end, and a group completed from the
  // held bytes.
  out_.resize((size / 3 + 2) * 4 + (size / 57 + 2) * 2);
  char *o = out_.data();
  auto endGroup = [&] {
    if (++groupsOnLine_ == groupsPerLine) {
      *o++ = '\r';
      *o++ = '\n';
      groupsOnLine_ = 0;
    }
  };
  while (pending_ > 0 && i < size) {
    if (pending_ == 2) {
      o = encodeGroup(o, held_[0], held_[1], in[i++]);
      pending_ = 0;
      endGroup();
    } else {
      held_[pending_++] = in[i++];
    }
  }
  while (groupsOnLine_ != 0 && i + 3 <= size) {
    o = encodeGroup(o, in[i], in[i + 1], in[i + 2]);
    i += 3;
    endGroup();
  }
  // Whole lines straight from the chunk.
  while (i + 57 <= size) {
    for (int g = 0; g < groupsPerLine; ++g, i += 3)
      o = encodeGroup(o, in[i], in[i + 1], in[i + 2]);
    *o++ = '\r';
    *o++ = '\n';
  }
  while (i + 3 <= size) {
    o = encodeGroup(o, in[i], in[i + 1], in[i + 2]);
    i += 3;
    endGroup();
  }
  while (i < size)
    held_[pending_++] = in[i++];
  out_.resize(static_cast<std::size_t>(o - out_.data()));
  return sendToNext(out_);
}

void TEncodeBase64::endFile() {
  TGenericStateMachine::endFile();
  if (pending_ == 0)
    return;
  char group[4];
  encodeGroup(group, held_[0], pending_ == 2 ? held_[1] : 0, 0);
  if (pending_ == 1)
    group[2] = '=';
  group[3] = '=';
  pending_ = 0;
  std::string tail(group, 4);
  sendToNext(tail);
}

void TDecodeBase64::startFile() {
  sextets_ = 0;
  last_ = 0;
  invalidCount_ = 0;
  TGenericStateMachine::startFile();
}

bool TDecodeBase64::processChunk(std::string &chunk) {
  const auto *in = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  out_.resize(size / 4 * 3 + 3);
  auto *o = reinterpret_cast<unsigned char *>(out_.data());
  auto *const begin = o;
  std::size_t i = 0;
  while (i < size) {
    // Whole groups of four alphabet characters, the common case.
    if (sextets_ == 0) {
      while (i + 4 <= size) {
        unsigned s0 = sextetValues[in[i]], s1 = sextetValues[in[i + 1]];
        unsigned s2 = sextetValues[in[i + 2]], s3 = sextetValues[in[i + 3]];
        if ((s0 | s1 | s2 | s3) >= 64)
          break;
        o[0] = static_cast<unsigned char>((s0 << 2) | (s1 >> 4));
        o[1] = static_cast<unsigned char>((s1 << 4) | (s2 >> 2));
        o[2] = static_cast<unsigned char>((s2 << 6) | s3);
        o += 3;
        i += 4;
      }
      if (i == size)
        break;
    }
    unsigned char c = in[i++];
    unsigned s = sextetValues[c];
    if (s == skipped)
      continue;
    if (s == padding) {
      sextets_ = 0;
      continue;
    }
    if (s == invalid) {
      if (invalidCount_++ == 0)
        firstInvalid_ = static_cast<char>(c);
      continue;
    }
    switch (sextets_) {
    case 1:
      *o++ = static_cast<unsigned char>((last_ << 2) | (s >> 4));
      break;
    case 2:
      *o++ = static_cast<unsigned char>((last_ << 4) | (s >> 2));
      break;
    case 3:
      *o++ = static_cast<unsigned char>((last_ << 6) | s);
      break;
    }
    last_ = s;
    sextets_ = (sextets_ + 1) & 3;
  }
  out_.resize(static_cast<std::size_t>(o - begin));
  return sendToNext(out_);
}

void TDecodeBase64::endFile() {
  // Sextets that do not complete a byte are dropped.
  sextets_ = 0;
  // One warning a file: a file of binary bytes would otherwise log one per byte.
  if (invalidCount_ > 0) {
    std::string warning = translateFormat(3320, "Warning - invalid Base 64 character '%s'",
                                          {byteText(firstInvalid_)});
    if (invalidCount_ > 1)
      warning += Format(" (%d bytes skipped)", {invalidCount_});
    logWarning(warning);
    invalidCount_ = 0;
  }
  TGenericStateMachine::endFile();
}

} // namespace marrowen

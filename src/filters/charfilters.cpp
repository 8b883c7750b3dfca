#include "filters/charfilters.h"

#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filters/bytetable.h"

#include <algorithm>
#include <cstring>

namespace marrowen {

TTextToWordList::TTextToWordList() : tables_(charTables()) {}

void TTextToWordList::startJob() {
  tables_ = charTables();
  TGenericStateMachine::startJob();
}

void TTextToWordList::startFile() {
  word_.clear();
  carry_.clear();
  TGenericStateMachine::startFile();
}

std::int64_t TTextToWordList::bufferedLength() {
  return static_cast<std::int64_t>(word_.size() + carry_.size());
}

void TTextToWordList::scan(std::string_view text) {
  const CodePage &t = *tables_;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    utf8::WordCharacter w = c < 0x80 ? utf8::WordCharacter{1, t.isLetter(c), t.isWordChar(c)}
                                     : utf8::wordCharacterAt(text.substr(i), t);
    if (state_ == 0) {
      if (w.letter) {
        word_.assign(text, i, w.length);
        state_ = 1;
      }
    } else if (w.word) {
      word_.append(text, i, w.length);
    } else {
      buffer_.append(word_).append("\r\n");
      word_.clear();
      state_ = 0;
    }
    i += w.length;
  }
}

bool TTextToWordList::processChunk(std::string &chunk) {
  carry_.join(chunk);
  buffer_.clear();
  buffer_.reserve(chunk.size() + chunk.size() / 2 + word_.size() + 2);
  scan(chunk);
  chunk.swap(buffer_);
  return sendToNext(chunk);
}

void TTextToWordList::endFile() {
  TGenericStateMachine::endFile();
  // Bytes that never became a character are judged as the code page's.
  buffer_.clear();
  scan(carry_.take());
  if (state_ == 1) {
    buffer_.append(word_).append("\r\n");
    word_.clear();
    state_ = 0;
  }
  sendToNext(buffer_);
}

bool TRemoveMultipleWhitespace::processChunk(std::string &chunk) {
  // Compacts in place: the output never outruns the input.
  char *out = chunk.data();
  for (char c : chunk) {
    if (c == ' ' || c == '\t') {
      if (state_ == 0)
        *out++ = ' ';
      state_ = 1;
    } else {
      *out++ = c;
      state_ = 0;
    }
  }
  chunk.resize(static_cast<std::size_t>(out - chunk.data()));
  return sendToNext(chunk);
}

void TRemoveBinary::countRemoved(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t sequence = c >= 0x80 ? utf8::sequenceLength(text.substr(i)) : 0;
    if (!((c >= 32 && c <= 126) || c == '\n' || c == '\r'))
      ++removed_;
    i += sequence ? sequence : 1;
  }
}

bool TRemoveBinary::processChunk(std::string &chunk) {
  uncounted_ += chunk;
  const std::size_t tail = utf8::incompleteTail(uncounted_);
  countRemoved(std::string_view(uncounted_).substr(0, uncounted_.size() - tail));
  uncounted_.erase(0, uncounted_.size() - tail);
  char *out = chunk.data();
  for (char ch : chunk) {
    auto c = static_cast<unsigned char>(ch);
    if ((c >= 32 && c <= 126) || c == '\n' || c == '\r')
      *out++ = ch;
  }
  chunk.resize(static_cast<std::size_t>(out - chunk.data()));
  return sendToNext(chunk);
}

void TRemoveBinary::startFile() {
  uncounted_.clear();
  TFilter::startFile();
}

void TRemoveBinary::endFile() {
  // No character follows: each byte left is one of the code page.
  for (char c : uncounted_)
    countRemoved(std::string_view(&c, 1));
  uncounted_.clear();
  TFilter::endFile();
}

std::string TRemoveBinary::getStatistics() {
  return translateFormat(5120, "%d binary character(s) removed", {removed_});
}

void TRemoveBinary::resetStatistics() {
  removed_ = 0;
  TFilter::resetStatistics();
}

namespace {

bool endsColourSequence(char c) {
  switch (c) {
  case 'A':
  case 'B':
  case 'C':
  case 'D':
  case 'H':
  case 'J':
  case 'K':
  case 'R':
  case 'f':
  case 'h':
  case 'l':
  case 'm':
  case 'p':
  case 's':
  case 'u':
    return true;
  default:
    return false;
  }
}

} // namespace

bool TRemoveANSIcolour::processChunk(std::string &chunk) {
  char *out = chunk.data();
  for (char c : chunk) {
    switch (state_) {
    case 0:
      if (c == '\x1b')
        state_ = 1;
      else
        *out++ = c;
      break;
    case 1:
      if (c == '[') {
        state_ = 2;
      } else {
        *out++ = c;
        state_ = 0;
      }
      break;
    default:
      if (endsColourSequence(c))
        state_ = 0;
      break;
    }
  }
  chunk.resize(static_cast<std::size_t>(out - chunk.data()));
  return sendToNext(chunk);
}

bool TRemoveHTML::processChunk(std::string &chunk) {
  char *data = chunk.data();
  std::size_t size = chunk.size();
  std::size_t out = 0, at = 0;
  while (at < size) {
    char wanted = state_ == 0 ? '<' : '>';
    auto *hit = static_cast<char *>(std::memchr(data + at, wanted, size - at));
    std::size_t end = hit ? static_cast<std::size_t>(hit - data) : size;
    if (state_ == 0) {
      std::memmove(data + out, data + at, end - at);
      out += end - at;
    }
    if (!hit)
      break;
    state_ = 1 - state_;
    at = end + 1;
  }
  chunk.resize(out);
  return sendToNext(chunk);
}

bool TRemoveBackspaces::processChunk(std::string &chunk) {
  std::erase(chunk, '\b');
  return sendToNext(chunk);
}

namespace {

// Bytes past this many are released (in steps of ten) as the held string
// grows; a backspace reaches at most this far back.
constexpr std::size_t heldLimit = 100;
constexpr std::size_t releaseStep = 10;

} // namespace

bool TResolveBackspaces::processChunk(std::string &chunk) {
  buffer_.clear();
  const char *data = chunk.data();
  std::size_t size = chunk.size();
  std::size_t at = 0;
  while (at < size) {
    auto *bs = static_cast<const char *>(std::memchr(data + at, '\b', size - at));
    std::size_t end = bs ? static_cast<std::size_t>(bs - data) : size;
    held_.append(data + at, end - at);
    if (held_.size() > heldLimit) {
      // Byte by byte, the first ten go whenever the held string reaches 101
      // bytes, and with them the rest of a character they would cut, so a
      // backspace never meets half of one; over a run that is the same steps.
      std::size_t release = 0;
      while (held_.size() - release > heldLimit)
        release = utf8::characterBoundaryFrom(held_, release + releaseStep);
      buffer_.append(held_, 0, release);
      held_.erase(0, release);
    }
    if (!bs)
      break;
    if (!held_.empty())
      held_.erase(utf8::lastCharacterStart(held_));
    at = end + 1;
  }
  chunk.swap(buffer_);
  return sendToNext(chunk);
}

void TResolveBackspaces::startFile() {
  held_.clear();
  TFilter::startFile();
}

void TResolveBackspaces::endFile() {
  TFilter::endFile();
  std::string rest;
  rest.swap(held_);
  sendToNext(rest);
}

std::int64_t TResolveBackspaces::bufferedLength() {
  return static_cast<std::int64_t>(held_.size());
}

TUserDefined::TUserDefined(const std::array<std::string, 256> &table) {
  oneToOne_ = true;
  for (std::size_t b = 0; b < 256; ++b) {
    // Entries are kept whole whatever their length.
    decodeEscapes(table[b], entries_[b]);
    if (entries_[b].size() == 1)
      table_[b] = static_cast<unsigned char>(entries_[b][0]);
    else
      oneToOne_ = false;
  }
}

bool TUserDefined::processChunk(std::string &chunk) {
  if (oneToOne_) {
    translateInPlace(chunk, table_);
    return sendToNext(chunk);
  }
  std::size_t total = 0;
  for (unsigned char c : chunk)
    total += entries_[c].size();
  buffer_.resize(total);
  char *out = buffer_.data();
  for (unsigned char c : chunk) {
    const std::string &entry = entries_[c];
    if (entry.size() == 1) {
      *out++ = entry[0]; // most entries of a map: cheaper than a call
    } else {
      std::memcpy(out, entry.data(), entry.size());
      out += entry.size();
    }
  }
  chunk.swap(buffer_);
  return sendToNext(chunk);
}

} // namespace marrowen

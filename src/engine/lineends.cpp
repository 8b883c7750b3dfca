#include "engine/lineends.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"

#include <algorithm>
#include <cstring>

namespace marrowen {

namespace {

std::string keptLineEnd(std::string_view lineEnd) { return std::string(lineEnd.substr(0, 2)); }

// Finds the CRs and LFs of a chunk in order, each searched for with memchr
// only once the scan has passed its last hit.
class LineEndFinder {
public:
  LineEndFinder(const char *data, std::size_t size)
      : data_(data), size_(size), cr_(find(0, '\r')), lf_(find(0, '\n')) {}
  // The position of the first CR or LF at or after `from`; `size` when none.
  std::size_t next(std::size_t from) {
    if (cr_ < from)
      cr_ = find(from, '\r');
    if (lf_ < from)
      lf_ = find(from, '\n');
    return std::min(cr_, lf_);
  }

private:
  std::size_t find(std::size_t from, char c) const {
    auto *hit = static_cast<const char *>(std::memchr(data_ + from, c, size_ - from));
    return hit ? static_cast<std::size_t>(hit - data_) : size_;
  }

  const char *data_;
  std::size_t size_;
  std::size_t cr_, lf_;
};

} // namespace

TFromUnixConversion::TFromUnixConversion(std::string_view lineEnd, bool strip)
    : lineEnd_(keptLineEnd(lineEnd)), strip_(strip) {}

bool TFromUnixConversion::processChunk(std::string &chunk) {
  return convertSingleByteEnds(chunk, '\n');
}

bool TFromUnixConversion::convertSingleByteEnds(std::string &chunk, char end) {
  const char *data = chunk.data();
  const std::size_t size = chunk.size();
  if (lineEnd_.size() == 1 && !strip_) {
    // Same length: the line-end bytes are replaced where they stand.
    char *p = chunk.data();
    char replacement = lineEnd_[0];
    for (auto *hit = static_cast<char *>(std::memchr(p, end, size)); hit;
         hit = static_cast<char *>(std::memchr(hit + 1, end, size - (hit + 1 - p))))
      *hit = replacement;
    return sendToNext(chunk);
  }
  buffer_.clear();
  buffer_.reserve(size * std::max<std::size_t>(1, lineEnd_.size()));
  std::size_t at = 0;
  if (strip_) {
    LineEndFinder finder(data, size);
    for (std::size_t p = finder.next(0); p < size; p = finder.next(at)) {
      buffer_.append(data + at, p - at);
      if (data[p] == end)
        buffer_.append(lineEnd_); // the other line-end byte is dropped
      at = p + 1;
    }
  } else {
    for (auto *hit = static_cast<const char *>(std::memchr(data, end, size)); hit;
         hit = static_cast<const char *>(std::memchr(hit + 1, end, size - (hit + 1 - data)))) {
      std::size_t p = static_cast<std::size_t>(hit - data);
      buffer_.append(data + at, p - at).append(lineEnd_);
      at = p + 1;
    }
  }
  buffer_.append(data + at, size - at);
  return sendToNext(buffer_);
}

bool TFromMacConversion::processChunk(std::string &chunk) {
  return convertSingleByteEnds(chunk, '\r');
}

bool TFromDOSConversion::processChunk(std::string &chunk) {
  const char *data = chunk.data();
  const std::size_t size = chunk.size();
  buffer_.clear();
  buffer_.reserve(size + size * lineEnd_.size() / 2 + 2);
  LineEndFinder finder(data, size);
  std::size_t at = 0;
  while (at < size) {
    std::size_t p = finder.next(at);
    if (p > at) {
      if (previousWasCr_ && !strip_)
        buffer_ += '\r';
      previousWasCr_ = false;
      buffer_.append(data + at, p - at);
    }
    if (p == size)
      break;
    if (data[p] == '\n') {
      if (previousWasCr_)
        buffer_.append(lineEnd_);
      else if (!strip_)
        buffer_ += '\n';
      previousWasCr_ = false;
    } else {
      // A CR after a held CR releases the held one and is held itself.
      if (previousWasCr_ && !strip_)
        buffer_ += '\r';
      previousWasCr_ = true;
    }
    at = p + 1;
  }
  return sendToNext(buffer_);
}

void TFromDOSConversion::startFile() {
  previousWasCr_ = false;
  TFromUnixConversion::startFile();
}

void TFromDOSConversion::endFile() {
  TFromUnixConversion::endFile();
  if (!previousWasCr_)
    return;
  previousWasCr_ = false;
  if (!strip_) {
    std::string cr = "\r";
    sendToNext(cr);
  }
}

std::int64_t TFromDOSConversion::bufferedLength() { return previousWasCr_ ? 1 : 0; }

TAutoConversion::TAutoConversion(std::string_view lineEnd) : lineEnd_(keptLineEnd(lineEnd)) {}

bool TAutoConversion::processChunk(std::string &chunk) {
  const char *data = chunk.data();
  const std::size_t size = chunk.size();
  buffer_.clear();
  buffer_.reserve(size + size * lineEnd_.size() / 2 + 2);
  LineEndFinder finder(data, size);
  std::size_t at = 0;
  while (at < size) {
    std::size_t p = finder.next(at);
    if (p > at) {
      if (state_ == 1)
        buffer_.append(lineEnd_);
      state_ = 0;
      buffer_.append(data + at, p - at);
    }
    if (p == size)
      break;
    if (data[p] == '\n') {
      buffer_.append(lineEnd_);
      state_ = 0;
    } else {
      // A second CR in a row ends the line of the first and is held itself.
      if (state_ == 1)
        buffer_.append(lineEnd_);
      state_ = 1;
    }
    at = p + 1;
  }
  return sendToNext(buffer_);
}

void TAutoConversion::endFile() {
  TGenericStateMachine::endFile();
  if (state_ != 1)
    return;
  state_ = 0;
  std::string end = lineEnd_;
  sendToNext(end);
}

std::int64_t TAutoConversion::bufferedLength() { return state_ == 1 ? 1 : 0; }

TFromFixedLineLengthConversion::TFromFixedLineLengthConversion(std::string_view lineEnd,
                                                               int recordLength)
    : TAutoConversion(lineEnd), recordLength_(recordLength) {
  if (recordLength < 1)
    throw ERangeError(Format("Record length must be at least 1 (is %d)", {recordLength}));
}

bool TFromFixedLineLengthConversion::processChunk(std::string &chunk) {
  const char *data = chunk.data();
  const std::size_t size = chunk.size();
  buffer_.clear();
  buffer_.reserve(size + (size / static_cast<std::size_t>(recordLength_) + 1) * lineEnd_.size());
  std::size_t at = 0;
  while (at < size) {
    if (bytesInRecord_ == recordLength_) {
      buffer_.append(lineEnd_);
      bytesInRecord_ = 0;
    }
    std::size_t n = std::min(static_cast<std::size_t>(recordLength_ - bytesInRecord_), size - at);
    buffer_.append(data + at, n);
    bytesInRecord_ += static_cast<std::int64_t>(n);
    at += n;
  }
  return sendToNext(buffer_);
}

void TFromFixedLineLengthConversion::startFile() {
  bytesInRecord_ = 0;
  TAutoConversion::startFile();
}

// Records hold nothing back: the line end after a full record is written
// only once another byte follows.
void TFromFixedLineLengthConversion::endFile() { TGenericStateMachine::endFile(); }

} // namespace marrowen

#include "engine/lines.h"

#include <algorithm>
#include <cstring>

namespace marrowen {

void TGenericStateMachine::startFile() {
  state_ = 0;
  TFilter::startFile();
}

namespace {

// The position of the first `ch` at or after `from`, or `size` when none.
std::size_t findByte(const char *data, std::size_t size, std::size_t from, char ch) {
  auto *hit = static_cast<const char *>(std::memchr(data + from, ch, size - from));
  return hit ? static_cast<std::size_t>(hit - data) : size;
}

} // namespace

bool TProcessLines::processChunk(std::string &chunk) {
  const char *data = chunk.data();
  const std::size_t size = chunk.size();
  // `start` is the first byte not yet copied into the current line.
  std::size_t start = 0;
  std::size_t i = 0;
  auto appendUpTo = [&](std::size_t end) {
    if (end > start)
      currentLine_.append(data + start, end - start);
  };
  // Line ends are found with memchr; each cached position is searched
  // again only once the scan has passed it.
  std::size_t nextLf = findByte(data, size, 0, '\n');
  std::size_t nextCr = findByte(data, size, 0, '\r');
  while (i < size) {
    if (crPending_) {
      // The byte before i (possibly the last of the previous chunk) is
      // a CR that is not part of the line.
      appendUpTo(i == 0 ? 0 : i - 1);
      char c = data[i];
      if (c == '\n') {
        start = i + 1;
        crPending_ = false;
        processLine("\r\n");
      } else {
        start = i;
        crPending_ = c == '\r';
        processLine("\r");
      }
      nextLine();
      ++i;
      continue;
    }
    if (nextLf < i)
      nextLf = findByte(data, size, i, '\n');
    if (nextCr < i)
      nextCr = findByte(data, size, i, '\r');
    std::size_t p = std::min(nextLf, nextCr);
    if (p == size)
      break;
    if (data[p] == '\n') {
      appendUpTo(p);
      start = p + 1;
      processLine("\n");
      nextLine();
    } else {
      crPending_ = true;
    }
    i = p + 1;
  }
  appendUpTo(crPending_ && size > 0 ? size - 1 : size);
  return !takeStopRequest();
}

bool TProcessLines::putLine(std::string_view line, std::string_view lineEnd) {
  if (!currentLine_.empty() || crPending_)
    return TFilter::putLine(line, lineEnd);
  currentLine_.assign(line);
  processLine(lineEnd);
  nextLine();
  return !takeStopRequest();
}

std::int64_t TProcessLines::bufferedLength() {
  return static_cast<std::int64_t>(currentLine_.size());
}

void TProcessLines::startFile() {
  takeStopRequest();
  currentLine_.clear();
  lineCounter_ = 1;
  crPending_ = false;
  TGenericStateMachine::startFile();
}

void TProcessLines::endFile() {
  TGenericStateMachine::endFile();
  if (!currentLine_.empty() || crPending_) {
    processLine(crPending_ ? "\r" : "");
    nextLine();
    crPending_ = false;
  }
}

void TProcessLines::processLine(std::string_view lineEnd) { putLineToNext(currentLine_, lineEnd); }

void TProcessLines::nextLine() {
  currentLine_.clear();
  ++lineCounter_;
}

void TProcessLines::sendWithSubfilteredPart(std::size_t begin, std::size_t end,
                                            std::string_view lineEnd, std::string &out) {
  std::string_view line = currentLine_;
  if (line.size() > textPieceSize()) {
    sendCopyToNext(line.substr(0, begin), out);
    subFilterTextInPieces(line.substr(begin, end - begin),
                          [this](std::string &piece) { sendToNext(piece); });
    sendCopyToNext(line.substr(end), out);
    out.assign(lineEnd);
    sendToNext(out);
    return;
  }
  std::string result = subFilterText(line.substr(begin, end - begin));
  out.assign(line.substr(0, begin));
  out.append(result);
  out.append(line.substr(end));
  out.append(lineEnd);
  sendToNext(out);
}

} // namespace marrowen

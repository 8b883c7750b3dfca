#include "filters/ranges.h"

#include "classlib/exceptions.h"
#include "classlib/utf8.h"
#include "engine/subchain.h"

#include <algorithm>

namespace marrowen {

// ---- Columns ----

TRemoveColumns::TRemoveColumns(LocateRange range) : range_(range) {}

void TRemoveColumns::columnsOf(std::string_view line, std::size_t &begin, std::size_t &end) const {
  // 64 bits hold every sum of two 32-bit values and a line length, so no
  // range computation can overflow.
  const auto len = static_cast<std::int64_t>(utf8::characterCount(line));
  const std::int64_t a = range_.a;
  const std::int64_t b = range_.b;
  std::int64_t start = a;
  std::int64_t count = b;
  switch (range_.method) {
  case 0:
    count = b - a + 1;
    break;
  case 2:
    start = len - a;
    break;
  case 3:
    count = (len - b) - (a - 1);
    break;
  case 4:
    start = len - a;
    count = (len - b) - start + 1;
    break;
  default:
    break;
  }
  if (start < 1) {
    // The part of the range before column 1 selects nothing.
    count += start - 1;
    start = 1;
  }
  count = std::max<std::int64_t>(count, 0);
  const std::int64_t first = std::min(start - 1, len);
  begin = utf8::characterOffset(line, static_cast<std::size_t>(first));
  end = begin + utf8::characterOffset(line.substr(begin),
                                      static_cast<std::size_t>(std::min(count, len - first)));
}

void TRemoveColumns::processLine(std::string_view lineEnd) {
  std::size_t begin = 0;
  std::size_t end = 0;
  columnsOf(currentLine_, begin, end);
  if (begin == end) {
    passOnLine(currentLine_, lineEnd);
    return;
  }
  std::string_view line = currentLine_;
  out_.assign(line.substr(0, begin));
  out_.append(line.substr(end));
  passOnLine(out_, lineEnd);
}

void TSelectColumns::processLine(std::string_view lineEnd) {
  std::size_t begin = 0;
  std::size_t end = 0;
  columnsOf(currentLine_, begin, end);
  sendWithSubfilteredPart(begin, end, lineEnd, out_);
}

void TSelectColumns::validate() {
  if (!firstSubfilter())
    throw Exception(selectNeedsSubfiltersMessage());
}

// ---- Lines ----

void TSelectLinesBase::validate() {
  if (!firstSubfilter())
    throw Exception(selectNeedsSubfiltersMessage());
}

void TSelectLinesBase::beginSelection() { restartSubfilters(); }

void TSelectLinesBase::selectLine(std::string_view line, std::string_view lineEnd) {
  if (TFilter *head = firstSubfilter())
    head->putLine(line, lineEnd);
  else
    putLineToNext(line, lineEnd);
}

void TSelectLinesBase::selectText(std::string_view text) {
  std::string chunk(text);
  if (TFilter *head = firstSubfilter())
    head->processChunk(chunk);
  else
    sendToNext(chunk);
}

void TSelectLinesBase::endSelection(std::string_view after) {
  std::string out;
  if (TFilter *head = firstSubfilter()) {
    head->flush();
    if (std::string *gathered = subfilterEnd()->gatheredText()) {
      out = std::move(*gathered);
      gathered->clear();
    }
  }
  out.append(after);
  sendToNext(out);
}

void TSelectLinesBase::sendHeld(std::size_t from) {
  std::string out;
  held_.appendTo(out, from, held_.size());
  sendToNext(out);
}

TSelectLinesBasic::TSelectLinesBasic(std::int32_t a, bool count, std::int32_t b)
    : firstLine_(a), lastLine_(count ? std::int64_t{a} + b - 1 : std::int64_t{b}) {}

void TSelectLinesBasic::startFile() {
  where_ = Before;
  TSelectLinesBase::startFile();
}

void TSelectLinesBasic::processLine(std::string_view lineEnd) {
  switch (where_) {
  case Before:
    if (lineCounter_ < firstLine_) {
      putLineToNext(currentLine_, lineEnd);
    } else if (lineCounter_ > lastLine_) {
      // An empty range (no lines counted from the first) selects nothing.
      where_ = After;
      putLineToNext(currentLine_, lineEnd);
    } else {
      where_ = Inside;
      beginSelection();
      selectLine(currentLine_, lineEnd);
    }
    break;
  case Inside:
    if (lineCounter_ > lastLine_) {
      where_ = After;
      std::string after(currentLine_);
      after.append(lineEnd);
      endSelection(after);
    } else {
      selectLine(currentLine_, lineEnd);
    }
    break;
  case After:
    putLineToNext(currentLine_, lineEnd);
    break;
  }
}

void TSelectLinesBasic::endFile() {
  TSelectLinesBase::endFile();
  if (where_ == Inside) {
    where_ = After;
    endSelection();
  }
}

void TSelectLinesNearEnd::startFile() {
  held_.clear(true);
  TSelectLinesBase::startFile();
}

void TSelectLinesNearEnd::processLine(std::string_view lineEnd) {
  held_.append(currentLine_, lineEnd);
  while (static_cast<std::int64_t>(held_.size()) > window_) {
    std::string line(held_[0]);
    held_.popFront();
    sendToNext(line);
  }
}

void TSelectLinesNearEnd::endFile() {
  TSelectLinesBase::endFile();
  beginSelection();
  const std::size_t selected = selectedCount();
  for (std::size_t i = 0; i < selected; ++i)
    selectText(held_[i]);
  endSelection();
  sendHeld(selected);
  held_.clear(true);
}

TSelectLinesLengthFromEnd::TSelectLinesLengthFromEnd(std::int32_t a, std::int32_t b)
    : TSelectLinesNearEnd(std::int64_t{a} + 1), count_(b) {}

std::size_t TSelectLinesLengthFromEnd::selectedCount() const {
  return static_cast<std::size_t>(
      std::clamp<std::int64_t>(count_, 0, static_cast<std::int64_t>(held_.size())));
}

TSelectLinesOffsetToEnd::TSelectLinesOffsetToEnd(std::int32_t a, std::int32_t b)
    : firstLine_(a), tail_(b) {}

void TSelectLinesOffsetToEnd::startFile() {
  held_.clear(true);
  where_ = Before;
  TSelectLinesBase::startFile();
}

void TSelectLinesOffsetToEnd::processLine(std::string_view lineEnd) {
  switch (where_) {
  case Before:
    if (lineCounter_ < firstLine_) {
      putLineToNext(currentLine_, lineEnd);
      return;
    }
    where_ = Filling;
    held_.append(currentLine_, lineEnd);
    return;
  case Filling:
    held_.append(currentLine_, lineEnd);
    // Until more than tail + 1 lines are held, none of them is known to lie
    // before the last `tail_` lines.
    if (static_cast<std::int64_t>(held_.size()) <= tail_ + 1)
      return;
    where_ = Streaming;
    beginSelection();
    break;
  case Streaming:
    held_.append(currentLine_, lineEnd);
    break;
  }
  selectText(held_[0]);
  held_.popFront();
}

void TSelectLinesOffsetToEnd::endFile() {
  TSelectLinesBase::endFile();
  if (where_ != Streaming)
    beginSelection();
  // The first held line is line END - tail only when more than tail lines
  // are held; otherwise the range is empty.
  if (!held_.empty() && static_cast<std::int64_t>(held_.size()) > tail_) {
    selectText(held_[0]);
    held_.popFront();
  }
  endSelection();
  sendHeld(0);
  held_.clear(true);
  where_ = Before;
}

TSelectLinesEndOffsets::TSelectLinesEndOffsets(std::int32_t a, std::int32_t b)
    : TSelectLinesNearEnd(std::int64_t{a} + 1), a_(a), b_(b) {}

std::size_t TSelectLinesEndOffsets::selectedCount() const {
  if (held_.empty())
    return 0;
  return static_cast<std::size_t>(
             std::clamp<std::int64_t>(a_ - b_, 0, static_cast<std::int64_t>(held_.size()) - 1)) +
         1;
}

} // namespace marrowen

#include "filters/ranges.h"

#include "classlib/exceptions.h"
#include "classlib/graphemes.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/subchain.h"

#include <algorithm>

namespace marrowen {

// ---- Columns ----

TRemoveColumns::TRemoveColumns(LocateRange range) : range_(range), tables_(charTables()) {}

void TRemoveColumns::startJob() {
  tables_ = charTables();
  TBatchedLineFilter::startJob();
}

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
  begin = graphemes::boundaryFrom(line, *tables_, begin);
  end = std::max(begin, graphemes::boundaryFrom(line, *tables_, end));
}

void TRemoveColumns::processLine(std::string_view lineEnd) {
  std::size_t begin = 0;
  std::size_t end = 0;
  columnsOf(currentLine_, begin, end);
  if (begin == end) {
    passOnLine(currentLine_, lineEnd);
    return;
  }
  currentLine_.erase(begin, end - begin);
  passOnLine(currentLine_, lineEnd);
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

void TSelectLinesBase::beginSelection() {
  // Nothing else goes on until the selection ends, so the run's output may
  // go on as it comes rather than be gathered whole.
  if (TFilter *end = subfilterEnd())
    end->passRunsStraightOn(true);
  restartSubfilters();
}

void TSelectLinesBase::selectLine(std::string_view line, std::string_view lineEnd) {
  if (TFilter *head = firstSubfilter())
    head->putLine(line, lineEnd);
  else
    putLineToNext(line, lineEnd);
}

void TSelectLinesBase::selectText(std::string_view text) {
  TFilter *head = firstSubfilter();
  if (!head) {
    sendCopyToNext(text, scratch_);
    return;
  }
  TextPieces pieces([head](std::string &piece) { head->processChunk(piece); });
  pieces.add(text);
  pieces.finish();
}

void TSelectLinesBase::endSelection(std::string_view after) {
  std::string out;
  if (TFilter *head = firstSubfilter()) {
    head->flush();
    subfilterEnd()->passRunsStraightOn(false);
    if (std::string *gathered = subfilterEnd()->gatheredText()) {
      out = std::move(*gathered);
      gathered->clear();
    }
  }
  out.append(after);
  sendToNext(out);
}

void TSelectLinesBase::sendHeld(std::size_t from) {
  TextPieces out([this](std::string &piece) { sendToNext(piece); });
  for (std::size_t i = from; i < held_.size(); ++i)
    out.add(held_[i]);
  out.finish();
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
      endSelection();
      putLineToNext(currentLine_, lineEnd);
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
  held_.clear();
  TSelectLinesBase::startFile();
}

void TSelectLinesNearEnd::processLine(std::string_view lineEnd) {
  held_.push(currentLine_, lineEnd);
  while (static_cast<std::int64_t>(held_.size()) > window_) {
    sendCopyToNext(held_[0], scratch_);
    held_.popFront();
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
  held_.clear();
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
  held_.clear();
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
    held_.push(currentLine_, lineEnd);
    return;
  case Filling:
    held_.push(currentLine_, lineEnd);
    // Until more than tail + 1 lines are held, none of them is known to lie
    // before the last `tail_` lines.
    if (static_cast<std::int64_t>(held_.size()) <= tail_ + 1)
      return;
    where_ = Streaming;
    beginSelection();
    break;
  case Streaming:
    held_.push(currentLine_, lineEnd);
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
  held_.clear();
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

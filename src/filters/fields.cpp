#include "filters/fields.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace marrowen {

TCSVfield::TCSVfield(LocateRange range, bool csv) : range_(range), csv_(csv) {}

void TCSVfield::splitCsv() {
  fieldEnds_.clear();
  const std::string_view line = currentLine_;
  const std::size_t n = line.size();
  enum { Outside, Quoted, AfterQuote } quote = Outside;
  std::size_t fieldStart = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = line[i];
    switch (quote) {
    case Outside:
      if (c == '"') {
        quote = Quoted;
      } else if (c == ',') {
        fieldEnds_.push_back(i + 1);
        fieldStart = i + 1;
      }
      break;
    case Quoted:
      if (c == '"')
        quote = AfterQuote;
      break;
    case AfterQuote:
      if (c == '"') {
        quote = Quoted; // a doubled quote inside the value
      } else {
        // The byte after the closing quote ends the field and belongs to it.
        fieldEnds_.push_back(i + 1);
        fieldStart = i + 1;
        quote = Outside;
      }
      break;
    }
  }
  // An unfinished quoted value is a field even when nothing follows.
  if (fieldStart < n || quote != Outside)
    fieldEnds_.push_back(n);
}

void TCSVfield::splitTabs() {
  fieldEnds_.clear();
  const char *data = currentLine_.data();
  const std::size_t n = currentLine_.size();
  std::size_t fieldStart = 0;
  while (const void *tab = std::memchr(data + fieldStart, '\t', n - fieldStart)) {
    fieldStart = static_cast<std::size_t>(static_cast<const char *>(tab) - data) + 1;
    fieldEnds_.push_back(fieldStart);
  }
  // An empty line is one empty field.
  if (fieldStart < n || fieldEnds_.empty())
    fieldEnds_.push_back(n);
}

void TCSVfield::processLine(std::string_view lineEnd) {
  if (csv_)
    splitCsv();
  else
    splitTabs();
  const auto fields = static_cast<std::int64_t>(fieldEnds_.size());
  const std::int64_t a = range_.a;
  const std::int64_t b = range_.b;
  // Zero-based indexes of the first and last selected field; 64 bits hold
  // every sum, so nothing overflows.
  std::int64_t first = 0;
  std::int64_t last = 0;
  switch (range_.method) {
  case 0:
    first = a - 1;
    last = b - 1;
    break;
  case 1:
    first = a - 1;
    last = a + b - 2;
    break;
  case 2:
    first = fields - 1 - a;
    last = fields - 2 - a + b;
    break;
  case 3:
    first = a - 1;
    last = fields - 1 - b;
    break;
  case 4:
    first = fields - 1 - a;
    last = fields - 1 - b;
    break;
  default:
    last = -1; // no range: the line goes on as it is
    break;
  }
  if (last < 0) {
    putLineToNext(currentLine_, lineEnd);
    return;
  }
  // The offset where the field with index i starts (the line's end for
  // i >= fields).
  auto fieldStart = [&](std::int64_t i) -> std::size_t {
    i = std::clamp<std::int64_t>(i, 0, fields);
    return i == 0 ? 0 : fieldEnds_[static_cast<std::size_t>(i - 1)];
  };
  const std::size_t prefixEnd = fieldStart(first);
  // A start after the end must not put the fields between them in both the
  // prefix and the suffix.
  const std::size_t selectedEnd = std::max(fieldStart(last + 1), prefixEnd);
  sendWithSubfilteredPart(prefixEnd, selectedEnd, lineEnd, out_);
}

} // namespace marrowen

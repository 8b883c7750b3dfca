#include "filters/linebuffer.h"

#include "classlib/codepage.h"
#include "classlib/collation.h"
#include "classlib/exceptions.h"
#include "classlib/stringlist.h"
#include "engine/escapes.h"
#include "engine/messages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstring>
#include <limits>
#include <numeric>

namespace marrowen {

// ---- LineStore ----

void LineStore::append(std::string_view line, std::string_view lineEnd) {
  spans_.push_back({bytes_.size(), line.size() + lineEnd.size()});
  bytes_.append(line);
  bytes_.append(lineEnd);
}

std::string_view LineStore::operator[](std::size_t index) const {
  const Span &span = spans_[first_ + index];
  return std::string_view(bytes_).substr(span.offset, span.length);
}

void LineStore::popFront() {
  if (empty())
    return;
  deadBytes_ += spans_[first_].length;
  ++first_;
  if (first_ == spans_.size()) {
    clear();
    return;
  }
  // Compacting only once the dead front outweighs the live lines keeps the
  // cost of each line that leaves constant.
  if (deadBytes_ > 4096 && deadBytes_ > bytes_.size() / 2) {
    const std::size_t shift = spans_[first_].offset;
    bytes_.erase(0, shift);
    spans_.erase(spans_.begin(), spans_.begin() + static_cast<std::ptrdiff_t>(first_));
    for (Span &span : spans_)
      span.offset -= shift;
    first_ = 0;
    deadBytes_ = 0;
  }
}

void LineStore::clear(bool release) {
  if (release) {
    std::string().swap(bytes_);
    std::vector<Span>().swap(spans_);
  } else {
    bytes_.clear();
    spans_.clear();
  }
  first_ = 0;
  deadBytes_ = 0;
}

void LineStore::appendTo(std::string &text, std::size_t from, std::size_t to) const {
  if (from >= to)
    return;
  const std::size_t begin = spans_[first_ + from].offset;
  const Span &last = spans_[first_ + to - 1];
  text.append(bytes_, begin, last.offset + last.length - begin);
}

// ---- Sorting ----

namespace {

// How many output bytes make one chunk when a whole file leaves at once.
constexpr std::size_t sendPieceSize = 1 << 20;

int compareBytes(std::string_view a, std::string_view b) {
  int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0)
    return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The first eight bytes of a text as a number in the same order (a short
// text padded with zeros): records that carry it settle most comparisons
// of a sort without reaching for the text, which lies elsewhere in memory.
std::uint64_t orderPrefix(std::string_view text) {
  std::uint64_t prefix = 0;
  const std::size_t n = std::min<std::size_t>(text.size(), 8);
  for (std::size_t i = 0; i < n; ++i)
    prefix |= std::uint64_t{static_cast<unsigned char>(text[i])} << (56 - 8 * i);
  return prefix;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number a line starts with (after blanks): as much of a sign,
// digits, a point with digits and an exponent as reads as a number; 0 when
// the line does not start with one. Read without the C library's locale, so
// the decimal point is always ".".
double leadingNumber(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t digitsStart = i;
  while (i < n && isDigit(text[i]))
    ++i;
  const std::size_t integerDigits = i - digitsStart;
  std::size_t fractionDigits = 0;
  if (i < n && text[i] == '.') {
    std::size_t j = i + 1;
    while (j < n && isDigit(text[j]))
      ++j;
    fractionDigits = j - i - 1;
    if (fractionDigits > 0)
      i = j;
  }
  if (integerDigits + fractionDigits == 0)
    return 0;
  std::int64_t exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (j < n && (text[j] == '+' || text[j] == '-')) {
      negativeExponent = text[j] == '-';
      ++j;
    }
    std::size_t k = j;
    while (k < n && isDigit(text[k])) {
      exponent = std::min<std::int64_t>(exponent * 10 + (text[k] - '0'), 1000000);
      ++k;
    }
    if (k > j) {
      i = k;
      if (negativeExponent)
        exponent = -exponent;
    } else {
      exponent = 0;
    }
  }
  double value = 0;
  auto [end, error] = std::from_chars(text.data() + digitsStart, text.data() + i, value);
  if (error == std::errc::result_out_of_range) {
    // Beyond a double: infinite when the number is large, else zero.
    std::int64_t magnitude = exponent;
    std::size_t k = digitsStart;
    while (k < digitsStart + integerDigits && text[k] == '0')
      ++k;
    if (k < digitsStart + integerDigits) {
      magnitude += static_cast<std::int64_t>(digitsStart + integerDigits - k);
    } else {
      for (k = digitsStart + integerDigits + 1; k < i && text[k] == '0'; ++k)
        --magnitude;
    }
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

// Sorts the records by `compare`, equal ones later lines first, and returns
// their line indexes; with `removeDuplicates` only the earliest line of
// each group of equal ones. The line index decides between equal records,
// so the order is total and the sort needs no stability.
template <class Record, class Compare>
std::vector<std::size_t> orderBy(std::vector<Record> &records, Compare compare,
                                 bool removeDuplicates) {
  std::sort(records.begin(), records.end(), [&](const Record &a, const Record &b) {
    int c = compare(a, b);
    return c != 0 ? c < 0 : a.index > b.index;
  });
  std::vector<std::size_t> order;
  order.reserve(records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    // The earliest line of equal ones is the last of their run.
    if (removeDuplicates && i + 1 < records.size() && compare(records[i], records[i + 1]) == 0)
      continue;
    order.push_back(records[i].index);
  }
  return order;
}

struct TextRecord {
  std::uint64_t prefix;
  const char *data;
  std::size_t size;
  std::size_t index;
  std::string_view text() const { return {data, size}; }
};

struct KeyRecord {
  std::uint64_t prefix;
  std::size_t keyOffset;
  std::size_t keySize;
  std::size_t index;
};

struct NumberRecord {
  double value;
  std::size_t index;
};

struct LengthRecord {
  std::size_t length;
  std::size_t index;
};

// Sort types 0 and 1: one collation sort key per line, then byte
// comparisons of the keys; ties are decided as the locale comparisons do.
std::vector<std::size_t> orderByLocale(const LineStore &lines, bool caseSensitive,
                                       bool removeDuplicates) {
  std::string keys;
  keys.reserve(static_cast<std::size_t>(lines.byteCount()) * 3 / 2 + 16);
  std::vector<KeyRecord> records(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t offset = keys.size();
    appendAnsiSortKey(lines[i], caseSensitive, keys);
    records[i] = {orderPrefix(std::string_view(keys).substr(offset)), offset, keys.size() - offset,
                  i};
  }
  // Held for the whole sort: the table must outlive a swap of the code page.
  const std::shared_ptr<const CodePage> tables = charTables();
  const auto &lower = tables->lowerMap();
  auto compare = [&](const KeyRecord &a, const KeyRecord &b) {
    if (a.prefix != b.prefix)
      return a.prefix < b.prefix ? -1 : 1;
    int c = compareBytes(std::string_view(keys).substr(a.keyOffset, a.keySize),
                         std::string_view(keys).substr(b.keyOffset, b.keySize));
    if (c != 0)
      return c;
    return caseSensitive ? compareBytes(lines[a.index], lines[b.index])
                         : compareFolded(lower, lines[a.index], lines[b.index]);
  };
  return orderBy(records, compare, removeDuplicates);
}

// Sort types 2 and 3: byte order, with or without the ASCII letters folded.
std::vector<std::size_t> orderByBytes(const LineStore &lines, bool caseSensitive,
                                      bool removeDuplicates) {
  std::string folded;
  if (!caseSensitive) {
    // Comparing folded copies byte by byte is the same order and runs at
    // the speed of memcmp.
    folded.reserve(static_cast<std::size_t>(lines.byteCount()));
    for (std::size_t i = 0; i < lines.size(); ++i)
      folded.append(lines[i]);
    for (char &c : folded)
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - ('a' - 'A'));
  }
  std::vector<TextRecord> records(lines.size());
  std::size_t offset = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    const char *data = caseSensitive ? line.data() : folded.data() + offset;
    records[i] = {orderPrefix({data, line.size()}), data, line.size(), i};
    offset += line.size();
  }
  auto compare = [](const TextRecord &a, const TextRecord &b) {
    if (a.prefix != b.prefix)
      return a.prefix < b.prefix ? -1 : 1;
    return compareBytes(a.text(), b.text());
  };
  return orderBy(records, compare, removeDuplicates);
}

std::vector<std::size_t> orderByNumber(const LineStore &lines, bool removeDuplicates) {
  std::vector<NumberRecord> records(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    records[i] = {leadingNumber(lines[i]), i};
  auto compare = [](const NumberRecord &a, const NumberRecord &b) {
    return a.value < b.value ? -1 : a.value > b.value ? 1 : 0;
  };
  return orderBy(records, compare, removeDuplicates);
}

std::vector<std::size_t> orderByLength(const LineStore &lines, bool removeDuplicates) {
  std::vector<LengthRecord> records(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    records[i] = {lines[i].size(), i};
  auto compare = [](const LengthRecord &a, const LengthRecord &b) {
    return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
  };
  return orderBy(records, compare, removeDuplicates);
}

std::vector<std::size_t> fileOrder(std::size_t count) {
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  return order;
}

} // namespace

// ---- TLinesWithBuffer ----

TLinesWithBuffer::TLinesWithBuffer(bool removeDuplicates, int compareType)
    : removeDuplicates_(removeDuplicates), compareType_(compareType) {
  if (compareType < 0 || compareType > 6)
    throw Exception(translate(5200, "Invalid sort type"));
}

void TLinesWithBuffer::startFile() {
  lines_.clear(true);
  lastLineEnd_.clear();
  TBatchedLineFilter::startFile();
}

void TLinesWithBuffer::processLine(std::string_view lineEnd) {
  if (!lineEnd.empty())
    lastLineEnd_.assign(lineEnd);
  lines_.append(currentLine_, lastLineEnd_);
}

std::int64_t TLinesWithBuffer::bufferedLength() {
  return checkedAdd(lines_.byteCount(), TBatchedLineFilter::bufferedLength());
}

std::vector<std::size_t> TLinesWithBuffer::orderedLines() const {
  switch (compareType_) {
  case 1:
    return orderByLocale(lines_, false, removeDuplicates_);
  case 2:
    return orderByLocale(lines_, true, removeDuplicates_);
  case 3:
    return orderByBytes(lines_, false, removeDuplicates_);
  case 4:
    return orderByBytes(lines_, true, removeDuplicates_);
  case 5:
    return orderByNumber(lines_, removeDuplicates_);
  case 6:
    return orderByLength(lines_, removeDuplicates_);
  default:
    return fileOrder(lines_.size());
  }
}

void TLinesWithBuffer::sendLines(const std::vector<std::size_t> &order, bool backwards) {
  std::string piece;
  piece.reserve(
      std::min<std::size_t>(static_cast<std::size_t>(lines_.byteCount()), sendPieceSize + 4096));
  auto add = [&](std::size_t index) {
    piece.append(lines_[index]);
    if (piece.size() >= sendPieceSize) {
      sendToNext(piece);
      piece.clear();
    }
  };
  if (backwards)
    std::for_each(order.rbegin(), order.rend(), add);
  else
    std::for_each(order.begin(), order.end(), add);
  sendToNext(piece);
  lines_.clear(true);
}

// ---- TSortLines, TRandomizeLines, TReverseLines ----

TSortLines::TSortLines(bool descending, int sortType, bool removeDuplicates)
    : TLinesWithBuffer(removeDuplicates, sortType >= 0 && sortType <= 5 ? sortType + 1 : 0),
      descending_(descending) {}

void TSortLines::endFile() {
  TLinesWithBuffer::endFile();
  sendLines(orderedLines(), descending_);
}

TRandomizeLines::TRandomizeLines()
    : TLinesWithBuffer(false, 0),
      generator_(
          static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
          std::random_device()()) {}

void TRandomizeLines::endFile() {
  TLinesWithBuffer::endFile();
  std::vector<std::size_t> order = fileOrder(lines_.size());
  std::shuffle(order.begin(), order.end(), generator_);
  sendLines(order, false);
}

void TReverseLines::endFile() {
  TLinesWithBuffer::endFile();
  sendLines(fileOrder(lines_.size()), true);
}

// ---- Lines found in a reference list ----

TGenericLoadSpecialFile::TGenericLoadSpecialFile(const std::string &fileName)
    : TLinesWithBuffer(true, 0) {
  if (fileName.empty())
    return;
  TStringList list;
  list.LoadFromFile(fileName);
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i)
    lines.push_back(list.Strings(i));
  setReference(lines);
}

TGenericLoadSpecialFile::TGenericLoadSpecialFile(ReferenceText reference)
    : TLinesWithBuffer(true, 0) {
  TStringList list;
  list.SetText(reference.text);
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i)
    lines.push_back(list.Strings(i));
  setReference(lines);
}

void TGenericLoadSpecialFile::setReference(const std::vector<std::string> &lines) {
  for (const std::string &line : lines)
    lines_.append(line, {});
  // The store is not changed again, so the views stay valid.
  reference_.reserve(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i)
    reference_.insert(lines_[i]);
}

void TGenericLoadSpecialFile::startFile() {
  lastLineEnd_.clear();
  TBatchedLineFilter::startFile();
}

std::int64_t TGenericLoadSpecialFile::bufferedLength() {
  return TBatchedLineFilter::bufferedLength();
}

void TOnlyShowLinesFoundIn::processLine(std::string_view lineEnd) {
  if (isFound(currentLine_))
    passOnLine(currentLine_, lineEnd);
}

void TRemoveLinesFoundIn::processLine(std::string_view lineEnd) {
  if (!isFound(currentLine_))
    passOnLine(currentLine_, lineEnd);
}

// ---- Duplicate lines ----

TRemoveDuplicateLines::TRemoveDuplicateLines(bool ignoreCase, int ignoreLeading)
    : ignoreCase_(ignoreCase),
      ignoreLeading_(ignoreLeading > 0 ? static_cast<std::size_t>(ignoreLeading) : 0) {}

void TRemoveDuplicateLines::startFile() {
  firstLine_ = true;
  previous_.clear();
  TBatchedLineFilter::startFile();
}

bool TRemoveDuplicateLines::sameAsPrevious() const {
  std::string_view a = previous_;
  std::string_view b = currentLine_;
  a.remove_prefix(std::min(ignoreLeading_, a.size()));
  b.remove_prefix(std::min(ignoreLeading_, b.size()));
  return ignoreCase_ ? AnsiSameText(a, b) : a == b;
}

void TRemoveDuplicateLines::processLine(std::string_view lineEnd) {
  if (firstLine_ || !sameAsPrevious())
    passOnLine(currentLine_, lineEnd);
  firstLine_ = false;
  // The current line is emptied once this returns; taking its bytes saves a
  // copy per line.
  previous_.swap(currentLine_);
}

void TShowDuplicateLines::startFile() {
  repeats_ = 0;
  lastLineEnd_.clear();
  TRemoveDuplicateLines::startFile();
}

void TShowDuplicateLines::processLine(std::string_view lineEnd) {
  if (firstLine_) {
    firstLine_ = false;
  } else if (sameAsPrevious()) {
    repeats_ = checkedAdd<std::int32_t>(repeats_, 1);
  } else {
    if (repeats_ >= 1)
      passOnRun(lineEnd);
    repeats_ = 0;
  }
  lastLineEnd_.assign(lineEnd);
  previous_.swap(currentLine_);
}

void TShowDuplicateLines::endFile() {
  TRemoveDuplicateLines::endFile();
  // A run that ends the file keeps the file's last line end, so the output
  // ends as the input did.
  if (repeats_ >= 1)
    passOnRun(lastLineEnd_);
  repeats_ = 0;
}

void TShowDuplicateLines::passOnRun(std::string_view lineEnd) {
  out_.assign(previous_);
  out_ += ' ';
  out_ += std::to_string(static_cast<std::int64_t>(repeats_) + 1);
  passOnLine(out_, lineEnd);
}

} // namespace marrowen

#include "filters/linebuffer.h"

#include "classlib/codepage.h"
#include "classlib/collation.h"
#include "classlib/exceptions.h"
#include "classlib/streams.h"
#include "classlib/stringlist.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <new>
#include <numeric>
#include <system_error>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

namespace marrowen {

// ---- LineStore ----

void LineStore::append(std::string_view line, std::string_view lineEnd) {
  starts_.push_back(bytes_.size());
  bytes_.append(line.data(), line.size());
  bytes_.append(lineEnd.data(), lineEnd.size());
}

std::string_view LineStore::operator[](std::size_t index) const {
  const std::size_t begin = start(index);
  const std::size_t length = end(index) - begin;
  // Lines of no bytes may leave the block unallocated.
  return length == 0 ? std::string_view() : std::string_view(bytes_.data() + begin, length);
}

void LineStore::popFront() {
  if (empty())
    return;
  deadBytes_ += end(0) - start(0);
  ++first_;
  if (first_ == starts_.size()) {
    clear();
    return;
  }
  // Compacting only once the dead front outweighs the live lines keeps the
  // cost of each line that leaves constant.
  if (deadBytes_ > 4096 && deadBytes_ > bytes_.size() / 2) {
    const std::size_t shift = starts_[first_];
    bytes_.eraseFront(shift);
    starts_.eraseFront(first_);
    for (std::size_t i = 0; i < starts_.size(); ++i)
      starts_[i] -= shift;
    first_ = 0;
    deadBytes_ = 0;
  }
}

void LineStore::clear(bool release) {
  bytes_.clear(release);
  starts_.clear(release);
  first_ = 0;
  deadBytes_ = 0;
}

void LineStore::appendTo(std::string &text, std::size_t from, std::size_t to) const {
  if (from >= to)
    return;
  const std::size_t begin = start(from);
  if (const std::size_t length = end(to - 1) - begin; length > 0)
    text.append(bytes_.data() + begin, length);
}

// ---- Sorting ----

namespace {

// Receives the lines of a sorted file one by one, each with its line end.
using LineSink = std::function<void(std::string_view)>;

// How many output bytes make one chunk when a whole file leaves at once.
constexpr std::size_t sendPieceSize = 1 << 20;

int compareBytes(std::string_view a, std::string_view b) {
  int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0)
    return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// compareBytes for texts whose first `skip` bytes are known to be equal.
// Lines of a sort that reach this mostly differ within a few words, where
// eight bytes a step beat a call to memcmp.
int compareBytesAfter(std::string_view a, std::string_view b, std::size_t skip) {
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t i = std::min(skip, common);
  for (; i + 8 <= common; i += 8) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) {
      x = __builtin_bswap64(x);
      y = __builtin_bswap64(y);
      return x < y ? -1 : 1;
    }
  }
  for (; i < common; ++i)
    if (a[i] != b[i])
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
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

// How many decimal digits, and which powers of ten, the extended type holds
// exactly (a double where it is no wider).
constexpr int mantissaBits = std::numeric_limits<long double>::digits;
constexpr int exactDigits = mantissaBits >= 64 ? 19 : mantissaBits >= 53 ? 15 : 0;
constexpr int exactPowers = mantissaBits >= 64 ? 27 : mantissaBits >= 53 ? 22 : 0;
constexpr std::array<long double, exactPowers + 1> powersOfTen = [] {
  std::array<long double, exactPowers + 1> powers{};
  long double power = 1;
  for (long double &p : powers) {
    p = power;
    power *= 10;
  }
  return powers;
}();

// The decimal number a line starts with (after blanks): as much of a sign,
// digits, a point with digits and an exponent as reads as a number; 0 when
// the line does not start with one. Read without the C library's locale, so
// the decimal point is always ".". Held in the extended type, whose 64-bit
// mantissa tells apart every whole number below 2^64: long numeric keys
// (account numbers, 19-digit ids) that a double would make equal stay
// distinct, and a sort that removes duplicates keeps them all.
long double leadingNumber(std::string_view text) {
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
  // A number of few significant digits times a small power of ten is read
  // with one rounding of exact values, the value the library would give, at
  // a fraction of its cost; the rest goes to the library.
  std::uint64_t mantissa = 0;
  int significant = 0;
  for (std::size_t k = digitsStart; k < digitsStart + integerDigits + fractionDigits + 1; ++k) {
    if (k == digitsStart + integerDigits)
      continue; // the point, or the byte after the digits
    if (mantissa == 0 && text[k] == '0')
      continue;
    if (++significant > exactDigits)
      break;
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[k] - '0');
  }
  const std::int64_t scale = exponent - static_cast<std::int64_t>(fractionDigits);
  if (mantissa == 0)
    return 0; // no significant digit at all
  if (significant <= exactDigits && scale >= -exactPowers && scale <= exactPowers) {
    const long double whole = static_cast<long double>(mantissa);
    const long double value = scale >= 0 ? whole * powersOfTen[static_cast<std::size_t>(scale)]
                                         : whole / powersOfTen[static_cast<std::size_t>(-scale)];
    return negative ? -value : value;
  }
  long double value = 0;
  auto [end, error] = std::from_chars(text.data() + digitsStart, text.data() + i, value);
  if (error == std::errc::result_out_of_range) {
    // Beyond the type's range: infinite when the number is large, else zero.
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
    value = magnitude > 0 ? std::numeric_limits<long double>::infinity() : 0.0L;
  } else if (error != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

// How many processors this process may run on: with `taskset`, the sort
// starts no more threads than it was given processors.
unsigned usableProcessors() {
#ifdef __linux__
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

// Runs task(0) .. task(count - 1), each once, on up to `threads` threads,
// the caller's among them. The first exception a task throws is thrown
// again once every thread has stopped; the tasks not yet begun are skipped.
void runTasks(unsigned threads, std::size_t count, const std::function<void(std::size_t)> &task) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex failureLock;
  std::exception_ptr failure;
  auto work = [&] {
    while (!failed.load(std::memory_order_relaxed)) {
      const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
      if (i >= count)
        return;
      try {
        task(i);
      } catch (...) {
        std::lock_guard lock(failureLock);
        if (!failure)
          failure = std::current_exception();
        failed = true;
      }
    }
  };
  std::vector<std::thread> workers;
  const std::size_t helpers = std::min<std::size_t>(std::max(threads, 1u), count) - 1;
  try {
    workers.reserve(helpers);
    for (std::size_t i = 0; i < helpers && count > 0; ++i)
      workers.emplace_back(work);
  } catch (const std::system_error &) {
    // Fewer threads than asked for: the ones running share the tasks.
  }
  work();
  for (std::thread &worker : workers)
    worker.join();
  if (failure)
    std::rethrow_exception(failure);
}

// Below this many records one thread sorts: starting threads costs more
// than they save, and short texts (a trial run) never see a thread.
constexpr std::size_t parallelSortMinimum = 1 << 15;

// Sorts by `less`, which must order any two distinct records (the line index
// decides between equal lines), so any correct sort gives the same order.
// On several threads a sample sort: splitters drawn from a sample cut the
// records into buckets of near equal size whatever the keys, even a file
// of one line repeated; the records move to their buckets in place (one
// byte a record besides), then the buckets are sorted side by side.
template <class Record, class Less>
void sortRecords(std::vector<Record> &records, Less less, unsigned threads) {
  const std::size_t n = records.size();
  if (threads <= 1 || n < parallelSortMinimum) {
    std::sort(records.begin(), records.end(), less);
    return;
  }
  const std::size_t bucketCount = std::min<std::size_t>(256, std::size_t{threads} * 8);
  constexpr std::size_t oversampling = 32;
  std::vector<Record> sample;
  sample.reserve(bucketCount * oversampling);
  std::mt19937_64 pick(n); // the same file gives the same buckets
  for (std::size_t i = 0; i < bucketCount * oversampling; ++i)
    sample.push_back(records[pick() % n]);
  std::sort(sample.begin(), sample.end(), less);
  std::vector<Record> splitters;
  for (std::size_t b = 1; b < bucketCount; ++b)
    splitters.push_back(sample[b * oversampling]);

  std::vector<std::uint8_t> bucketOf(n);
  std::vector<std::vector<std::size_t>> counts(threads, std::vector<std::size_t>(bucketCount));
  runTasks(threads, threads, [&](std::size_t stripe) {
    std::vector<std::size_t> &count = counts[stripe];
    const std::size_t to = stripe + 1 == threads ? n : n / threads * (stripe + 1);
    for (std::size_t i = n / threads * stripe; i < to; ++i) {
      const auto b = static_cast<std::size_t>(
          std::upper_bound(splitters.begin(), splitters.end(), records[i], less) -
          splitters.begin());
      bucketOf[i] = static_cast<std::uint8_t>(b);
      ++count[b];
    }
  });
  std::vector<std::size_t> begin(bucketCount + 1, 0);
  for (std::size_t b = 0; b < bucketCount; ++b) {
    begin[b + 1] = begin[b];
    for (const auto &count : counts)
      begin[b + 1] += count[b];
  }
  // Each swap puts one record into its bucket for good.
  std::vector<std::size_t> fill(begin.begin(), begin.end() - 1);
  for (std::size_t b = 0; b < bucketCount; ++b) {
    while (fill[b] < begin[b + 1]) {
      const std::size_t i = fill[b];
      const std::uint8_t target = bucketOf[i];
      if (target == b) {
        ++fill[b];
        continue;
      }
      const std::size_t j = fill[target]++;
      std::swap(records[i], records[j]);
      std::swap(bucketOf[i], bucketOf[j]);
    }
  }
  std::vector<std::uint8_t>().swap(bucketOf);
  // The largest buckets first, so no thread is left with a big one at the end.
  std::vector<std::size_t> bySize(bucketCount);
  std::iota(bySize.begin(), bySize.end(), std::size_t{0});
  std::sort(bySize.begin(), bySize.end(), [&](std::size_t a, std::size_t b) {
    return begin[a + 1] - begin[a] > begin[b + 1] - begin[b];
  });
  runTasks(threads, bucketCount, [&](std::size_t k) {
    const std::size_t b = bySize[k];
    const auto first = records.begin() + static_cast<std::ptrdiff_t>(begin[b]);
    const auto last = records.begin() + static_cast<std::ptrdiff_t>(begin[b + 1]);
    // The moves into buckets leave patterns (in a file of equal lines, all
    // there is) that drive std::sort's choice of pivots to its slow
    // fallback; a bucket fits in the cache, so shuffling it first is cheap.
    std::shuffle(first, last, std::mt19937_64(b));
    std::sort(first, last, less);
  });
}

// Sorts the records by `compare` (equal ones later lines first: a record's
// `order()` rises with its line's place in the file) and hands the line of
// each (`lineOf`) to `emit`, in order or backwards; with `removeDuplicates`
// only the earliest line of each group of equal ones.
template <class Record, class Compare, class LineOf>
void emitSorted(std::vector<Record> &records, Compare compare, LineOf lineOf, bool removeDuplicates,
                bool backwards, unsigned threads, const LineSink &emit) {
  sortRecords(
      records,
      [&](const Record &a, const Record &b) {
        int c = compare(a, b);
        return c != 0 ? c < 0 : a.order() > b.order();
      },
      threads);
  const std::size_t n = records.size();
  // The earliest line of equal ones is the last of their run.
  auto kept = [&](std::size_t i) {
    return !(removeDuplicates && i + 1 < n && compare(records[i], records[i + 1]) == 0);
  };
  if (backwards) {
    for (std::size_t i = n; i-- > 0;)
      if (kept(i))
        emit(lineOf(records[i]));
  } else {
    for (std::size_t i = 0; i < n; ++i)
      if (kept(i))
        emit(lineOf(records[i]));
  }
}

// A line's first bytes and where it lies, in 16 bytes: the place holds the
// offset in its high 48 bits and the length, up to `longLine`, in the low 16.
struct PrefixRecord {
  static constexpr std::uint64_t longLine = 0xFFFF;
  std::uint64_t prefix;
  std::uint64_t place;
  std::size_t offset() const { return place >> 16; }
  std::size_t order() const { return offset(); }
};

// A line's collation key: its first eight bytes in the record, the rest
// found by its offset in the key block of the line's stretch. The compact
// form serves files of fewer than 4 G lines: a stretch holds at most
// 2^keyedStretchShift lines with keys, 128 MB of text, whose key block
// stays far below 4 GB; the wide one any file.
// A key of up to eight bytes with its end lies whole in the prefix and
// needs no offset: the field holds instead a line of up to three bytes
// (folded as the comparison folds it) as a number in the same order, or
// `notInline`, so that a file of many equal short lines is sorted without
// reaching for the lines.
//
// A line longer than `keyedLine` bytes gets no key (`noKey`): its key would
// take more memory than the line, so it is collated with the other line
// wherever the two meet.
template <class Number> struct KeyRecord {
  static constexpr Number notInline = std::numeric_limits<Number>::max();
  static constexpr Number noKey = notInline - 1;
  std::uint64_t prefix; // of the key
  Number index;
  Number keyOffset;
  std::size_t order() const { return index; }
  bool keyInPrefix() const { return (prefix & 0xFF) == 0; }
};
constexpr std::size_t keyedLine = 4096;
constexpr unsigned keyedStretchShift = 15;
static_assert((keyedLine << keyedStretchShift) <= std::size_t{1} << 27);
using CompactKeyRecord = KeyRecord<std::uint32_t>;
using WideKeyRecord = KeyRecord<std::size_t>;

struct NumberRecord {
  long double value;
  std::size_t index;
  std::size_t order() const { return index; }
};

struct LengthRecord {
  std::size_t length;
  std::size_t index;
  std::size_t order() const { return index; }
};

// Sort types 0 and 1: one collation sort key per line, then byte
// comparisons of the keys; ties are decided as the locale comparisons do.
// The keys are most of the cost, so they are made on every thread, a
// stretch of lines (a power of two of them) at a time, each stretch's keys
// in a block of its own.
template <class Record>
void sortByLocaleWith(const LineStore &lines, bool caseSensitive, bool removeDuplicates,
                      bool backwards, unsigned threads, const LineSink &emit) {
  const std::size_t n = lines.size();
  std::vector<Record> records(n);
  // Up to two stretches a thread; one for a short text.
  const std::size_t most = n >= parallelSortMinimum ? std::size_t{threads} * 2 : 0;
  unsigned shift = 0;
  while ((n >> shift) > most && shift < keyedStretchShift)
    ++shift;
  const std::size_t stretches = (n >> shift) + 1;
  std::vector<std::string> blocks(stretches);
  // Both held for the whole sort: a table must outlive a swap of the code page.
  const std::shared_ptr<const CodePage> keyPage = systemCodePage();
  const std::shared_ptr<const CodePage> tables = charTables();
  runTasks(threads, stretches, [&](std::size_t stretch) {
    const std::size_t from = stretch << shift;
    const std::size_t to = std::min(n, (stretch + 1) << shift);
    if (from >= to)
      return;
    std::string &block = blocks[stretch];
    // Room for keys half again as long as their lines and eight bytes more
    // each, so a block seldom grows (and is never copied) while it fills.
    block.reserve((lines.end(to - 1) - lines.start(from)) * 3 / 2 + (to - from) * 8 + 16);
    for (std::size_t i = from; i < to; ++i) {
      if (lines[i].size() > keyedLine) {
        records[i] = {0, static_cast<decltype(Record::index)>(i), Record::noKey};
        continue;
      }
      const std::size_t offset = block.size();
      appendAnsiSortKey(lines[i], caseSensitive, *keyPage, block);
      if (offset >= Record::noKey)
        throw ERangeError();
      const std::string_view key = std::string_view(block).substr(offset);
      Record &record = records[i];
      record = {orderPrefix(key.substr(0, key.find('\0'))), static_cast<decltype(Record::index)>(i),
                static_cast<decltype(Record::keyOffset)>(offset)};
      if (key.size() <= 8) {
        // Never read again: an empty line costs no key bytes.
        block.resize(offset);
        std::string_view line = lines[i];
        record.keyOffset = Record::notInline;
        std::string folded;
        if (!caseSensitive && line.size() <= 3) {
          utf8::appendFolded(line, *tables, folded);
          line = folded;
        }
        if (line.size() <= 3) {
          std::uint32_t value = 0;
          for (std::size_t k = 0; k < 3; ++k) {
            const auto c = k < line.size() ? static_cast<unsigned char>(line[k]) : 0;
            value = (value << 8) | c;
          }
          record.keyOffset = (value << 8) | static_cast<std::uint32_t>(line.size());
        }
      } else {
        // The prefix holds the key's first eight bytes; the block the rest.
        block.erase(offset, 8);
      }
    }
  });
  auto keyOf = [&](const Record &r) { return blocks[r.index >> shift].data() + r.keyOffset; };
  auto compare = [&](const Record &a, const Record &b) {
    if (a.keyOffset == Record::noKey || b.keyOffset == Record::noKey) {
      if (int c = ansiCollate(lines[a.index], lines[b.index], caseSensitive, *keyPage))
        return c;
    } else if (a.prefix != b.prefix) {
      return a.prefix < b.prefix ? -1 : 1;
    } else if (!a.keyInPrefix()) {
      // Keys hold no zero byte before their end: equal prefixes that hold
      // one are equal keys; these both go on past the eight bytes they share.
      int c = std::strcmp(keyOf(a), keyOf(b));
      if (c != 0)
        return c < 0 ? -1 : 1;
    } else if (a.keyOffset != Record::notInline && b.keyOffset != Record::notInline) {
      return a.keyOffset < b.keyOffset ? -1 : a.keyOffset > b.keyOffset ? 1 : 0;
    }
    return caseSensitive ? compareBytes(lines[a.index], lines[b.index])
                         : compareFoldedText(lines[a.index], lines[b.index], *tables);
  };
  emitSorted(
      records, compare, [&](const Record &r) { return lines[r.index]; }, removeDuplicates,
      backwards, threads, emit);
}

void sortByLocale(const LineStore &lines, bool caseSensitive, bool removeDuplicates, bool backwards,
                  unsigned threads, const LineSink &emit) {
  if (lines.size() < CompactKeyRecord::noKey)
    sortByLocaleWith<CompactKeyRecord>(lines, caseSensitive, removeDuplicates, backwards, threads,
                                       emit);
  else
    sortByLocaleWith<WideKeyRecord>(lines, caseSensitive, removeDuplicates, backwards, threads,
                                    emit);
}

// Sort types 2 and 3: byte order, with or without the ASCII letters folded.
void sortByBytes(const LineStore &lines, bool caseSensitive, bool removeDuplicates, bool backwards,
                 unsigned threads, const LineSink &emit) {
  const std::size_t n = lines.size();
  std::string folded;
  const char *base = lines.data();
  if (!caseSensitive && n > 0) {
    // Comparing folded copies byte by byte is the same order and runs at
    // the speed of memcmp; the copy has the store's offsets.
    folded.assign(lines.data() + lines.start(0), lines.end(n - 1) - lines.start(0));
    for (char &c : folded)
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - ('a' - 'A'));
    base = folded.data() - lines.start(0);
  }
  // Lines are found by offset, as the records hold them; the length of a
  // long one, which its record cannot hold, by searching the offsets.
  auto lengthOf = [&](const PrefixRecord &r) -> std::size_t {
    const std::size_t length = r.place & PrefixRecord::longLine;
    if (length < PrefixRecord::longLine)
      return length;
    std::size_t low = 0;
    std::size_t high = n;
    while (high - low > 1) {
      const std::size_t middle = low + (high - low) / 2;
      (lines.start(middle) <= r.offset() ? low : high) = middle;
    }
    return lines.end(low) - lines.start(low);
  };
  auto text = [&](const PrefixRecord &r) {
    return std::string_view(base + r.offset(), lengthOf(r));
  };
  std::vector<PrefixRecord> records(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t start = lines.start(i);
    const std::size_t length = lines.end(i) - start;
    records[i].prefix = orderPrefix({base + start, length});
    records[i].place =
        (std::uint64_t{start} << 16) | std::min<std::uint64_t>(length, PrefixRecord::longLine);
  }
  auto compare = [&](const PrefixRecord &a, const PrefixRecord &b) {
    if (a.prefix != b.prefix)
      return a.prefix < b.prefix ? -1 : 1;
    // A line of up to eight bytes lies whole in its prefix, padded with
    // zeros: with equal prefixes the shorter line is the lesser.
    const std::size_t lengthA = a.place & PrefixRecord::longLine;
    const std::size_t lengthB = b.place & PrefixRecord::longLine;
    if (lengthA <= 8 || lengthB <= 8)
      return lengthA < lengthB ? -1 : lengthA > lengthB ? 1 : 0;
    return compareBytesAfter(text(a), text(b), 8);
  };
  emitSorted(
      records, compare,
      [&](const PrefixRecord &r) {
        return std::string_view(lines.data() + r.offset(), lengthOf(r));
      },
      removeDuplicates, backwards, threads, emit);
}

void sortByNumber(const LineStore &lines, bool removeDuplicates, bool backwards, unsigned threads,
                  const LineSink &emit) {
  std::vector<NumberRecord> records(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    records[i] = {leadingNumber(lines[i]), i};
  auto compare = [](const NumberRecord &a, const NumberRecord &b) {
    return a.value < b.value ? -1 : a.value > b.value ? 1 : 0;
  };
  emitSorted(
      records, compare, [&](const auto &r) { return lines[r.index]; }, removeDuplicates, backwards,
      threads, emit);
}

void sortByLength(const LineStore &lines, bool removeDuplicates, bool backwards, unsigned threads,
                  const LineSink &emit) {
  std::vector<LengthRecord> records(lines.size());
  // Where no character takes more than a byte, as in ASCII text, each
  // line's bytes are its characters: one pass over all of them tells.
  const std::size_t first = lines.empty() ? 0 : lines.start(0);
  const std::size_t end = lines.empty() ? 0 : lines.end(lines.size() - 1);
  const std::string_view held(lines.data() + first, end - first);
  const bool byteACharacter = utf8::characterCount(held) == held.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    records[i] = {byteACharacter ? lines.end(i) - lines.start(i) : utf8::characterCount(lines[i]),
                  i};
  auto compare = [](const LengthRecord &a, const LengthRecord &b) {
    return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
  };
  emitSorted(
      records, compare, [&](const auto &r) { return lines[r.index]; }, removeDuplicates, backwards,
      threads, emit);
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
  lineOpen_ = false;
  TBatchedLineFilter::startFile();
}

void TLinesWithBuffer::cutLines(std::string &chunk) {
  if (!cutsIntoStore_) {
    TBatchedLineFilter::cutLines(chunk);
    return;
  }
  const char *data = chunk.data();
  const std::size_t size = chunk.size();
  const std::size_t base = lines_.byteSize();
  lines_.appendBytes(chunk);
  std::size_t i = 0;
  if (crPending_ && size > 0) {
    // The CR that ended the last chunk ends its line, with an LF after it.
    i = data[0] == '\n' ? 1 : 0;
    lastLineEnd_ = i == 1 ? "\r\n" : "\r";
    crPending_ = false;
    lineOpen_ = false;
  }
  auto find = [&](std::size_t from, char c) {
    const void *hit = std::memchr(data + from, c, size - from);
    return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - data) : size;
  };
  std::size_t nextLf = find(i, '\n');
  std::size_t nextCr = find(i, '\r');
  while (i < size) {
    if (!lineOpen_) {
      lines_.startLine(base + i);
      lineOpen_ = true;
    }
    if (nextLf < i)
      nextLf = find(i, '\n');
    if (nextCr < i)
      nextCr = find(i, '\r');
    std::size_t p = std::min(nextLf, nextCr);
    if (p == size)
      break;
    if (data[p] == '\n') {
      lastLineEnd_ = "\n";
    } else if (p + 1 == size) {
      crPending_ = true;
      break;
    } else if (data[p + 1] == '\n') {
      lastLineEnd_ = "\r\n";
      ++p;
    } else {
      lastLineEnd_ = "\r";
    }
    i = p + 1;
    lineOpen_ = false;
  }
}

bool TLinesWithBuffer::putLine(std::string_view line, std::string_view lineEnd) {
  if (!cutsIntoStore_)
    return TBatchedLineFilter::putLine(line, lineEnd);
  // A line after part of one is cut like a chunk.
  if (lineOpen_)
    return TFilter::putLine(line, lineEnd);
  if (!lineEnd.empty())
    lastLineEnd_.assign(lineEnd);
  lines_.append(line, lastLineEnd_);
  return !takeStopRequest();
}

void TLinesWithBuffer::endFile() {
  if (cutsIntoStore_ && lineOpen_) {
    // The last line ends in its CR, or takes the line end before it.
    if (!crPending_)
      lines_.appendBytes(lastLineEnd_);
    crPending_ = false;
    lineOpen_ = false;
  }
  TBatchedLineFilter::endFile();
}

void TLinesWithBuffer::processLine(std::string_view lineEnd) {
  if (!lineEnd.empty())
    lastLineEnd_.assign(lineEnd);
  lines_.append(currentLine_, lastLineEnd_);
}

std::int64_t TLinesWithBuffer::bufferedLength() {
  return checkedAdd(lines_.byteCount(), TBatchedLineFilter::bufferedLength());
}

std::string TLinesWithBuffer::startPiece() const {
  std::string piece;
  piece.reserve(
      std::min<std::size_t>(static_cast<std::size_t>(lines_.byteCount()), sendPieceSize + 4096));
  return piece;
}

void TLinesWithBuffer::passOnInPieces(std::string &piece, std::string_view line) {
  if (line.size() < sendPieceSize) {
    piece.append(line);
  } else {
    if (!piece.empty())
      sendToNext(piece);
    for (std::size_t at = 0; at < line.size(); at += sendPieceSize) {
      piece.assign(line.substr(at, sendPieceSize));
      if (at + sendPieceSize < line.size()) {
        sendToNext(piece);
        piece.clear();
      }
    }
  }
  if (piece.size() >= sendPieceSize) {
    sendToNext(piece);
    piece.clear();
  }
}

void TLinesWithBuffer::sendSorted(bool backwards) {
  // One line needs no order, nor the keys that would give it one.
  if (compareType_ < 1 || compareType_ > 6 || lines_.size() < 2) {
    sendLines(fileOrder(lines_.size()), backwards);
    return;
  }
  const unsigned threads = sortThreads_ > 0 ? sortThreads_ : usableProcessors();
  std::string piece = startPiece();
  const LineSink emit = [&](std::string_view line) { passOnInPieces(piece, line); };
  switch (compareType_) {
  case 1:
  case 2:
    sortByLocale(lines_, compareType_ == 2, removeDuplicates_, backwards, threads, emit);
    break;
  case 3:
  case 4:
    sortByBytes(lines_, compareType_ == 4, removeDuplicates_, backwards, threads, emit);
    break;
  case 5:
    sortByNumber(lines_, removeDuplicates_, backwards, threads, emit);
    break;
  default:
    sortByLength(lines_, removeDuplicates_, backwards, threads, emit);
    break;
  }
  sendToNext(piece);
  lines_.clear(true);
}

void TLinesWithBuffer::sendLines(const std::vector<std::size_t> &order, bool backwards) {
  std::string piece = startPiece();
  auto add = [&](std::size_t index) { passOnInPieces(piece, lines_[index]); };
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
  sendSorted(descending_);
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
  cutsIntoStore_ = false;
  if (fileName.empty())
    return;
  TStringList list;
  // A regular file only: a device named here would be read without end.
  list.SetText(readSettingsFile(fileName, std::numeric_limits<std::size_t>::max()));
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i)
    lines.push_back(list.Strings(i));
  setReference(lines);
}

TGenericLoadSpecialFile::TGenericLoadSpecialFile(ReferenceText reference)
    : TLinesWithBuffer(true, 0) {
  cutsIntoStore_ = false;
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

std::size_t TRemoveDuplicateLines::comparedFrom(std::string_view line) const {
  // An ASCII head, as most are, is one character a byte.
  const std::size_t head = std::min(ignoreLeading_, line.size());
  std::size_t ascii = 0;
  while (ascii < head && static_cast<unsigned char>(line[ascii]) < 0x80)
    ++ascii;
  return ascii == head ? head
                       : ascii + utf8::characterOffset(line.substr(ascii), ignoreLeading_ - ascii);
}

bool TRemoveDuplicateLines::sameAsPrevious(std::size_t currentFrom) const {
  std::string_view a = previous_;
  std::string_view b = currentLine_;
  a.remove_prefix(previousFrom_);
  b.remove_prefix(currentFrom);
  return ignoreCase_ ? AnsiSameText(a, b) : a == b;
}

void TRemoveDuplicateLines::keepAsPrevious(std::size_t currentFrom) {
  previousFrom_ = currentFrom;
  // The current line is emptied once the line is done; taking its bytes
  // saves a copy per line.
  previous_.swap(currentLine_);
}

void TRemoveDuplicateLines::processLine(std::string_view lineEnd) {
  const std::size_t from = comparedFrom(currentLine_);
  if (firstLine_ || !sameAsPrevious(from))
    passOnLine(currentLine_, lineEnd);
  firstLine_ = false;
  keepAsPrevious(from);
}

void TShowDuplicateLines::startFile() {
  repeats_ = 0;
  TRemoveDuplicateLines::startFile();
}

void TShowDuplicateLines::processLine(std::string_view lineEnd) {
  const std::size_t from = comparedFrom(currentLine_);
  if (firstLine_) {
    firstLine_ = false;
  } else if (sameAsPrevious(from)) {
    repeats_ = checkedAdd<std::int32_t>(repeats_, 1);
  } else {
    if (repeats_ >= 1)
      passOnRun(lineEnd);
    repeats_ = 0;
  }
  keepAsPrevious(from);
}

void TShowDuplicateLines::endFile() {
  TRemoveDuplicateLines::endFile();
  // No line follows the run that ends the file to lend it a line end.
  if (repeats_ >= 1)
    passOnRun({});
  repeats_ = 0;
}

void TShowDuplicateLines::passOnRun(std::string_view lineEnd) {
  // The run's line is not compared again: its count goes into it.
  previous_.append(" " + std::to_string(static_cast<std::int64_t>(repeats_) + 1));
  passOnLine(previous_, lineEnd);
}

} // namespace marrowen

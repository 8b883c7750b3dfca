#include "classlib/graphemes.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/utf8.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <unicode/ubrk.h>
#include <unicode/utf16.h>

namespace marrowen::graphemes {

namespace {

// The first piece a walk reads, and the most it reads at once unless one
// cluster is longer: a line's worth costs little to convert, a long text is
// converted piece by piece.
constexpr std::size_t firstPieceBytes = 4096;
constexpr std::size_t largestPieceBytes = 1 << 16;

bool isAscii(std::string_view text) {
  const char *p = text.data();
  std::size_t n = text.size();
  std::uint64_t high = 0;
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    high |= word;
  }
  for (; n > 0; ++p, --n)
    high |= static_cast<unsigned char>(*p);
  return !(high & 0x8080808080808080ull);
}

// Opening ICU's iterator loads its rules: each thread keeps those it opened
// for the next walk.
struct IteratorCloser {
  void operator()(UBreakIterator *iterator) const { ubrk_close(iterator); }
};
using IteratorHandle = std::unique_ptr<UBreakIterator, IteratorCloser>;

thread_local std::vector<IteratorHandle> idleIterators;

// A CR LF that a cut at `at` of text that stands alone would split.
bool splitsLineEnd(std::string_view text, std::size_t at) {
  return at > 0 && at < text.size() && text[at - 1] == '\r' && text[at] == '\n';
}

} // namespace

struct ClusterWalk::Iterator {
  IteratorHandle handle;
};

bool standsAlone(std::string_view text, const CodePage &codePage) {
  if (isAscii(text))
    return true;
  const std::bitset<256> &joining = codePage.joiningBytes();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80)
      continue;
    if (joining[c] || (c >= 0xC2 && utf8::sequenceLength(text.substr(i))))
      return false;
  }
  return true;
}

ClusterWalk::ClusterWalk(std::string_view text, const CodePage &codePage, bool textEnds)
    : text_(text), codePage_(codePage), textEnds_(textEnds),
      end_(textEnds ? text.size() : text.size() - utf8::incompleteTail(text)),
      pieceBytes_(firstPieceBytes) {}

ClusterWalk::~ClusterWalk() {
  if (iterator_ && iterator_->handle)
    idleIterators.push_back(std::move(iterator_->handle));
}

void ClusterWalk::load(std::size_t from, std::size_t bytes) {
  pieceStart_ = from;
  pieceEnd_ = std::min(end_, utf8::characterBoundaryFrom(text_, std::min(end_, from + bytes)));
  const bool last = pieceEnd_ == end_ && textEnds_;
  const std::string_view piece = text_.substr(from, pieceEnd_ - from);
  fast_ = standsAlone(piece, codePage_);
  if (fast_) {
    // The last cluster of a piece may go on in the next one.
    certainEnd_ = pieceEnd_;
    if (!last && pieceEnd_ > from)
      certainEnd_ -= piece.size() >= 2 && piece.substr(piece.size() - 2) == "\r\n" ? 2 : 1;
    return;
  }
  units_.clear();
  offsets_.clear();
  for (std::size_t i = 0; i < piece.size();) {
    const utf8::Character c = utf8::characterAt(piece.substr(i));
    char16_t pair[2];
    std::size_t count = 1;
    if (!c.sequence) {
      pair[0] = codePage_.toUnicode(static_cast<unsigned char>(c.codePoint));
    } else if (c.codePoint < 0x10000) {
      pair[0] = static_cast<char16_t>(c.codePoint);
    } else {
      pair[0] = static_cast<char16_t>(U16_LEAD(c.codePoint));
      pair[1] = static_cast<char16_t>(U16_TRAIL(c.codePoint));
      count = 2;
    }
    for (std::size_t k = 0; k < count; ++k) {
      units_ += pair[k];
      offsets_.push_back(from + i);
    }
    i += c.length;
  }
  offsets_.push_back(pieceEnd_);
  if (!iterator_) {
    iterator_ = std::make_unique<Iterator>();
    if (!idleIterators.empty()) {
      iterator_->handle = std::move(idleIterators.back());
      idleIterators.pop_back();
    } else {
      UErrorCode status = U_ZERO_ERROR;
      iterator_->handle.reset(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
      if (U_FAILURE(status) || !iterator_->handle)
        throw Exception(std::string("ICU's character break iterator cannot be opened: ") +
                        u_errorName(status));
    }
  }
  UErrorCode status = U_ZERO_ERROR;
  const auto length = static_cast<std::int32_t>(units_.size());
  ubrk_setText(iterator_->handle.get(), reinterpret_cast<const UChar *>(units_.data()), length,
               &status);
  unit_ = 0;
  std::int32_t certain = length;
  if (!last) {
    certain = ubrk_preceding(iterator_->handle.get(), length);
    certain = certain == UBRK_DONE ? 0 : certain;
  }
  certainEnd_ = offsets_[static_cast<std::size_t>(certain)];
}

bool ClusterWalk::ensureCluster() {
  while (pos_ >= certainEnd_) {
    if (pos_ >= end_ || (pieceEnd_ == end_ && pieceStart_ < pieceEnd_))
      return false; // the end, or only the cluster the next bytes may lengthen
    // Nothing certain in a whole piece: one cluster is longer than it.
    if (pieceEnd_ > pieceStart_)
      pieceBytes_ = pos_ == pieceStart_ ? 2 * (pieceEnd_ - pieceStart_)
                                        : std::min(largestPieceBytes, 2 * pieceBytes_);
    load(pos_, pieceBytes_);
  }
  if (!fast_) {
    // The unit of the position, found forward from the last one.
    while (offsets_[static_cast<std::size_t>(unit_)] < pos_)
      ++unit_;
  }
  return true;
}

std::size_t ClusterWalk::charactersOfUnits(std::int32_t from, std::int32_t to) const {
  std::size_t characters = 0;
  for (std::int32_t u = from; u < to; ++u)
    characters += !U16_IS_TRAIL(units_[static_cast<std::size_t>(u)]);
  return characters;
}

void ClusterWalk::expect(std::size_t bytes) {
  // A walk that needs only a little reads only a little: a tail kept from
  // small chunks looks at a few letters each time.
  if (pieceEnd_ == pieceStart_)
    pieceBytes_ = std::clamp<std::size_t>(bytes, 64, firstPieceBytes);
}

std::size_t ClusterWalk::take(std::size_t characters, bool atLeast) {
  expect(4 * std::min(characters, firstPieceBytes) + 4);
  std::size_t taken = 0;
  while (taken < characters && ensureCluster()) {
    if (fast_) {
      // A character is a byte and a cluster, CR LF aside.
      std::size_t target = pos_ + std::min(characters - taken, certainEnd_ - pos_);
      if (splitsLineEnd(text_, target))
        target = atLeast ? target + 1 : target - 1;
      if (target == pos_)
        break; // a CR LF where one character was left
      taken += target - pos_;
      pos_ = target;
      continue;
    }
    const std::int32_t next = ubrk_following(iterator_->handle.get(), unit_);
    const std::size_t size = charactersOfUnits(unit_, next);
    if (!atLeast && taken + size > characters)
      break;
    taken += size;
    unit_ = next;
    pos_ = offsets_[static_cast<std::size_t>(next)];
  }
  return taken;
}

std::size_t ClusterWalk::takeWithin(std::size_t characters) { return take(characters, false); }

std::size_t ClusterWalk::takeAtLeast(std::size_t characters) { return take(characters, true); }

std::size_t ClusterWalk::advance(std::size_t at, bool past) {
  expect(at > pos_ ? at - pos_ + 4 : 4);
  while (pos_ < at && ensureCluster()) {
    if (fast_) {
      std::size_t target = std::min(at, certainEnd_);
      if (splitsLineEnd(text_, target))
        target = past ? target + 1 : target - 1;
      if (target == pos_)
        break;
      pos_ = target;
      continue;
    }
    const std::int32_t next = ubrk_following(iterator_->handle.get(), unit_);
    if (!past && offsets_[static_cast<std::size_t>(next)] > at)
      break;
    unit_ = next;
    pos_ = offsets_[static_cast<std::size_t>(next)];
  }
  return pos_;
}

std::size_t ClusterWalk::advanceTo(std::size_t at) { return advance(at, false); }

std::size_t ClusterWalk::advancePast(std::size_t at) { return advance(at, true); }

std::size_t prefixWithin(std::string_view text, const CodePage &codePage, std::size_t characters,
                         std::size_t *taken) {
  ClusterWalk walk(text, codePage);
  const std::size_t count = walk.takeWithin(characters);
  if (taken)
    *taken = count;
  return walk.position();
}

std::string_view cutToBytes(std::string_view text, const CodePage &codePage, std::size_t bytes) {
  if (text.size() <= bytes)
    return text;
  ClusterWalk walk(text, codePage);
  return text.substr(0, walk.advanceTo(bytes));
}

std::size_t boundaryFrom(std::string_view text, const CodePage &codePage, std::size_t at) {
  if (at == 0 || at >= text.size())
    return std::min(at, text.size());
  // Between two ASCII characters only CR LF is one letter.
  const auto before = static_cast<unsigned char>(text[at - 1]);
  const auto next = static_cast<unsigned char>(text[at]);
  if (before < 0x80 && next < 0x80 && !(before == '\r' && next == '\n'))
    return at;
  ClusterWalk walk(text, codePage);
  return walk.advancePast(at);
}

void reverseClusters(char *text, std::size_t size, const CodePage &codePage) {
  const std::string_view view(text, size);
  if (standsAlone(view, codePage) && view.find("\r\n") == std::string_view::npos) {
    std::reverse(text, text + size);
    return;
  }
  // Each cluster turned around as the walk leaves it, then the whole text:
  // the walk reads only what lies ahead of it.
  ClusterWalk walk(view, codePage);
  for (std::size_t start = 0; !walk.done();) {
    const std::size_t end = walk.advancePast(start + 1);
    std::reverse(text + start, text + end);
    start = end;
  }
  std::reverse(text, text + size);
}

std::size_t unitsWithin(std::u16string_view text, std::size_t units) {
  if (text.size() <= units)
    return text.size();
  UErrorCode status = U_ZERO_ERROR;
  IteratorHandle iterator(ubrk_open(UBRK_CHARACTER, "",
                                    reinterpret_cast<const UChar *>(text.data()),
                                    static_cast<std::int32_t>(text.size()), &status));
  if (U_FAILURE(status))
    return U16_IS_TRAIL(text[units]) ? units - 1 : units;
  // The last boundary at or before the limit: the one before the first
  // boundary after it (asked for directly, a limit within a surrogate pair
  // would count from the pair's start).
  ubrk_following(iterator.get(), static_cast<std::int32_t>(units));
  const std::int32_t at = ubrk_previous(iterator.get());
  return at == UBRK_DONE ? 0 : static_cast<std::size_t>(at);
}

} // namespace marrowen::graphemes

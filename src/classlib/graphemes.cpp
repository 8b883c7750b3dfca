#include "classlib/graphemes.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/utf8.h"

#include <algorithm>
#include <bitset>
#include <cstring>
#include <memory>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace marrowen::graphemes {

namespace {

// The first piece a walk reads, and the most it reads at once unless one
// cluster is longer: a line's worth costs little to look at, a long text is
// looked at piece by piece.
constexpr std::size_t firstPieceBytes = 4096;
constexpr std::size_t largestPieceBytes = 1 << 16;

// Whether a character may join a neighbour into one letter: a combining or
// spacing mark, a joiner, a prepended mark, a Hangul jamo or syllable, a
// regional indicator. Text without such characters is one letter a
// character, CR LF aside (an emoji joins another only through a joiner).
bool joinsByProperty(char32_t codePoint) {
  const int kind =
      u_getIntPropertyValue(static_cast<UChar32>(codePoint), UCHAR_GRAPHEME_CLUSTER_BREAK);
  return kind != U_GCB_OTHER && kind != U_GCB_CONTROL && kind != U_GCB_CR && kind != U_GCB_LF;
}

bool joins(char32_t codePoint) {
  static const std::unique_ptr<std::bitset<0x10000>> plane = [] {
    auto bits = std::make_unique<std::bitset<0x10000>>();
    for (char32_t c = 0; c < 0x10000; ++c)
      (*bits)[c] = joinsByProperty(c);
    return bits;
  }();
  return codePoint < 0x10000 ? (*plane)[codePoint] : joinsByProperty(codePoint);
}

// Opening ICU's iterator loads its rules: each thread keeps those it opened
// for the next walk.
struct IteratorCloser {
  void operator()(UBreakIterator *iterator) const { ubrk_close(iterator); }
};
using IteratorHandle = std::unique_ptr<UBreakIterator, IteratorCloser>;

thread_local std::vector<IteratorHandle> idleIterators;

// A CR LF that a cut at `at` would split.
bool splitsLineEnd(std::string_view text, std::size_t at) {
  return at > 0 && at < text.size() && text[at - 1] == '\r' && text[at] == '\n';
}

} // namespace

struct ClusterWalk::Iterator {
  IteratorHandle handle;
};

ClusterWalk::Kind ClusterWalk::kindOf(std::string_view text, const CodePage &codePage,
                                      std::size_t *characters) {
  const auto *p = reinterpret_cast<const unsigned char *>(text.data());
  const std::size_t size = text.size();
  const std::bitset<256> &joining = codePage.joiningBytes();
  const bool noneJoin = joining.none();
  Kind kind = Kind::Bytes;
  std::size_t sequenceBytes = 0; // those after the first of each sequence
  for (std::size_t i = 0; i < size;) {
    if (i + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if (!(word & 0x8080808080808080ull) || (noneJoin && utf8::isEightCharacters(word))) {
        i += 8;
        continue;
      }
    }
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    char32_t codePoint;
    const std::size_t length = utf8::decodeSequence(p + i, size - i, codePoint);
    if (length == 0) {
      if (joining[p[i]])
        return Kind::Letters;
      ++i;
      continue;
    }
    if (joins(codePoint))
      return Kind::Letters;
    kind = Kind::Characters;
    sequenceBytes += length - 1;
    i += length;
  }
  if (characters)
    *characters = size - sequenceBytes;
  return kind;
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
  kind_ = kindOf(piece, codePage_, &ahead_);
  if (kind_ != Kind::Letters) {
    // The last character of a piece may begin a letter the next one goes on.
    certainEnd_ = pieceEnd_;
    if (!last && pieceEnd_ > from) {
      const bool lineEnd = piece.size() >= 2 && piece.substr(piece.size() - 2) == "\r\n";
      certainEnd_ = lineEnd ? pieceEnd_ - 2 : from + utf8::lastCharacterStart(piece);
      ahead_ -= lineEnd ? 2 : 1;
    }
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
  if (kind_ == Kind::Letters) {
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
  // A walk that needs only a little looks at only a little: a tail kept
  // from small chunks moves over a few letters each time.
  if (pieceEnd_ == pieceStart_)
    pieceBytes_ = std::clamp<std::size_t>(bytes, 64, largestPieceBytes);
}

std::size_t ClusterWalk::take(std::size_t characters, bool atLeast) {
  expect(std::min(characters, largestPieceBytes) + 64);
  std::size_t taken = 0;
  while (taken < characters && ensureCluster()) {
    if (kind_ != Kind::Letters) {
      // A character is a letter, CR LF aside; the characters of the piece
      // were counted as it was read, so a walk over all of them is a jump.
      std::size_t left = characters - taken;
      const std::size_t before = left;
      std::size_t target;
      if (ahead_ != unknown && left >= ahead_) {
        target = certainEnd_;
        left -= ahead_;
      } else if (kind_ == Kind::Bytes) {
        target = pos_ + std::min(left, certainEnd_ - pos_);
        left -= target - pos_;
      } else {
        target = utf8::stepCharacters(text_.substr(0, certainEnd_), pos_, left);
      }
      if (splitsLineEnd(text_, target)) {
        target = atLeast ? target + 1 : target - 1;
        left = atLeast ? left - 1 : left + 1;
      }
      if (target == pos_)
        break; // a CR LF where one character was left
      taken += before - left;
      if (ahead_ != unknown)
        ahead_ -= before - left;
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
  expect(at > pos_ ? at - pos_ + 64 : 64);
  while (pos_ < at && ensureCluster()) {
    if (kind_ != Kind::Letters) {
      std::size_t target = std::min(at, certainEnd_);
      if (const std::size_t end = utf8::characterBoundaryFrom(text_, target); end != target)
        target = past ? end : utf8::lastCharacterStart(text_.substr(0, end));
      if (splitsLineEnd(text_, target))
        target = past ? target + 1 : target - 1;
      if (target == pos_)
        break;
      pos_ = target;
      ahead_ = unknown;
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

namespace {

bool characterJoins(std::string_view text, const CodePage &codePage) {
  const utf8::Character c = utf8::characterAt(text);
  if (c.sequence)
    return joins(c.codePoint);
  return c.codePoint >= 0x80 && codePage.joiningBytes()[c.codePoint];
}

} // namespace

bool isPlainBoundary(std::string_view text, const CodePage &codePage, std::size_t at) {
  if (at == 0 || at >= text.size())
    return true;
  // Between two ASCII characters only CR LF is one letter.
  if (const auto b = static_cast<unsigned char>(text[at - 1]),
      n = static_cast<unsigned char>(text[at]);
      b < 0x80 && n < 0x80)
    return !(b == '\r' && n == '\n');
  if (utf8::isInsideSequence(text, at))
    return false;
  const std::size_t before = utf8::lastCharacterStart(text.substr(0, at));
  if (text[before] == '\r' && text[at] == '\n')
    return false;
  return !characterJoins(text.substr(before), codePage) &&
         !characterJoins(text.substr(at), codePage);
}

std::size_t prefixWithin(std::string_view text, const CodePage &codePage, std::size_t characters,
                         std::size_t *taken) {
  std::size_t left = characters;
  const std::size_t at = utf8::stepCharacters(text, 0, left);
  if (at == text.size() || isPlainBoundary(text, codePage, at)) {
    if (taken)
      *taken = characters - left;
    return at;
  }
  ClusterWalk walk(text, codePage);
  const std::size_t count = walk.takeWithin(characters);
  if (taken)
    *taken = count;
  return walk.position();
}

std::string_view cutToBytes(std::string_view text, const CodePage &codePage, std::size_t bytes) {
  if (text.size() <= bytes)
    return text;
  const std::size_t at = utf8::cutToBytes(text, bytes).size();
  if (isPlainBoundary(text, codePage, at))
    return text.substr(0, at);
  ClusterWalk walk(text, codePage);
  return text.substr(0, walk.advanceTo(bytes));
}

std::size_t detail::boundaryFrom(std::string_view text, const CodePage &codePage, std::size_t at) {
  if (at == 0 || at >= text.size())
    return std::min(at, text.size());
  if (isPlainBoundary(text, codePage, at))
    return at;
  if (const std::size_t next = utf8::characterBoundaryFrom(text, at);
      isPlainBoundary(text, codePage, next))
    return next;
  ClusterWalk walk(text, codePage);
  return walk.advancePast(at);
}

void reverseClusters(char *text, std::size_t size, const CodePage &codePage) {
  const std::string_view view(text, size);
  const ClusterWalk::Kind kind = ClusterWalk::kindOf(view, codePage, nullptr);
  const bool lineEnds = view.find("\r\n") != std::string_view::npos;
  if (kind == ClusterWalk::Kind::Bytes && !lineEnds) {
    std::reverse(text, text + size);
    return;
  }
  // Each letter turned around where it stands, then the whole text. The
  // walk reads only what lies ahead of the letters it turned.
  if (kind == ClusterWalk::Kind::Characters && !lineEnds) {
    for (std::size_t start = 0; start < size;) {
      const std::size_t length = utf8::characterLength(view.substr(start));
      std::reverse(text + start, text + start + length);
      start += length;
    }
  } else {
    ClusterWalk walk(view, codePage);
    for (std::size_t start = 0; !walk.done();) {
      const std::size_t end = walk.advancePast(start + 1);
      std::reverse(text + start, text + end);
      start = end;
    }
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

#include "filters/exactsearch.h"

#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"

#include <algorithm>
#include <cstring>
#include <string.h> // memmem

namespace marrowen {

namespace {

constexpr std::size_t heldBack = 100;

// The case-insensitive comparison of everything after the first byte, from
// the last byte back: `upperFind` is upper-cased, a subject byte fits when it
// or its swapped case equals the byte to find.
bool restFitsIgnoringCase(const unsigned char *subject, std::string_view upperFind,
                          const CodePage &tables) {
  for (std::size_t i = upperFind.size(); i-- > 1;) {
    unsigned char want = static_cast<unsigned char>(upperFind[i]);
    unsigned char c = subject[i];
    if (c != want && tables.toUpper(c) != want && tables.toLower(c) != want)
      return false;
  }
  return true;
}

std::size_t scanExact(std::string_view find, const char *subject, std::size_t from,
                      std::size_t to) {
  // Occurrences that begin before `to`.
  const void *hit = memmem(subject + from, to - from + find.size() - 1, find.data(), find.size());
  return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - subject)
             : std::string_view::npos;
}

std::size_t scanIgnoringCase(std::string_view upperFind, const char *subject, std::size_t from,
                             std::size_t to, const std::array<bool, 256> &firstFits,
                             const CodePage &tables) {
  const auto *s = reinterpret_cast<const unsigned char *>(subject);
  for (std::size_t q = from; q < to; ++q)
    if (firstFits[s[q]] && restFitsIgnoringCase(s + q, upperFind, tables))
      return q;
  return std::string_view::npos;
}

std::array<bool, 256> firstByteTable(unsigned char first, const CodePage &tables) {
  std::array<bool, 256> fits{};
  for (int b = 0; b < 256; ++b)
    fits[b] = tables.toLower(static_cast<unsigned char>(b)) == tables.toLower(first);
  return fits;
}

// How many start positions from the 0-based `from` leave room for `find`.
bool hasRoom(std::string_view find, std::string_view subject, int start) {
  return !find.empty() && start >= 1 && static_cast<std::size_t>(start - 1) < subject.size() &&
         subject.size() - static_cast<std::size_t>(start - 1) >= find.size();
}

} // namespace

int findExact(std::string_view find, std::string_view subject, int start) {
  if (!hasRoom(find, subject, start))
    return 0;
  std::size_t to = subject.size() - find.size() + 1;
  std::size_t at = scanExact(find, subject.data(), static_cast<std::size_t>(start - 1), to);
  return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
}

int findIgnoringCase(std::string_view find, std::string_view subject, int start,
                     const CodePage &tables) {
  if (!hasRoom(find, subject, start))
    return 0;
  std::size_t to = subject.size() - find.size() + 1;
  std::size_t at =
      scanIgnoringCase(find, subject.data(), static_cast<std::size_t>(start - 1), to,
                       firstByteTable(static_cast<unsigned char>(find[0]), tables), tables);
  return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
}

TSearchFilter::TSearchFilter(const std::string &searchText, const std::string &replacement,
                             bool ignoreCase, bool wholeWord, bool caseSensitiveReplace,
                             bool prompt, bool noPromptWhenUnchanged, bool firstOnly,
                             const std::vector<bool> &escaped)
    : TBuffer(caseSensitiveReplace, prompt, noPromptWhenUnchanged, wholeWord, firstOnly,
              static_cast<int>(std::min<std::size_t>(searchText.size() + 10, 1 << 30))),
      ignoreCase_(ignoreCase) {
  auto byEscape = [&](std::size_t i) { return i < escaped.size() && escaped[i]; };
  // A letter beyond ASCII has a second form; ignoring case one that a longer
  // character folds to (the Kelvin sign to k) has partners that the byte
  // tables do not know.
  bool otherForms = false;
  bool foldSensitive = false;
  const std::string_view text(searchText);
  for (std::size_t i = 0; i < text.size();) {
    if (byEscape(i)) {
      wanted_.push_back({{1, static_cast<unsigned char>(text[i]), false}, true});
      ++i;
      continue;
    }
    utf8::Character c = utf8::characterAt(text.substr(i));
    for (std::size_t k = 1; k < c.length; ++k)
      if (byEscape(i + k))
        c = {1, static_cast<unsigned char>(text[i]), false};
    otherForms = otherForms || utf8::hasOtherForm(c, *tables_);
    for (std::size_t k = 0; k < c.length; ++k)
      foldSensitive =
          foldSensitive || utf8::isFoldSensitive(static_cast<unsigned char>(text[i + k]));
    wanted_.push_back({c, false});
    i += c.length;
  }
  byCharacter_ = otherForms || (ignoreCase && foldSensitive);
  searchText_ = ignoreCase && !byCharacter_ ? tables_->upperCase(searchText) : searchText;
  // A character is at most four bytes in either form.
  longestMatch_ = byCharacter_ ? searchText.size() * 4 : searchText.size();
  setReplacement(replacement);
  decodeEscapes(replacement_); // a malformed escape is reported now
  information_ = translateFormat(870, "Search string: %s\r\n", {searchText});
  statisticsSuffix_ = Format(" for [%s]", {escapeControlChars(searchText)});
  if (byCharacter_) {
    const Wanted &first = wanted_.front();
    const auto firstByte = static_cast<unsigned char>(first.character.codePoint);
    if (first.escaped) {
      firstByteFits_ = ignoreCase ? firstByteTable(firstByte, *tables_) : std::array<bool, 256>{};
      firstByteFits_[firstByte] = true;
    } else {
      const std::bitset<256> fits =
          utf8::firstBytesOf(text.substr(0, first.character.length), *tables_, ignoreCase);
      for (int b = 0; b < 256; ++b)
        firstByteFits_[b] = fits.test(static_cast<std::size_t>(b));
    }
    if (std::count(firstByteFits_.begin(), firstByteFits_.end(), true) == 1)
      onlyFirstByte_ = static_cast<int>(
          std::find(firstByteFits_.begin(), firstByteFits_.end(), true) - firstByteFits_.begin());
  } else if (!searchText_.empty()) {
    firstByteFits_ = firstByteTable(static_cast<unsigned char>(searchText_[0]), *tables_);
  }
}

std::string TSearchFilter::getStatistics() {
  return TGenericSearchReplace::getStatistics() + statisticsSuffix_;
}

std::size_t TSearchFilter::matchByCharacterAt(std::size_t at) const {
  const std::string_view text(buffer_);
  const CodePage &tables = *tables_;
  std::size_t q = at;
  for (const Wanted &want : wanted_) {
    if (q >= text.size())
      return std::string_view::npos;
    const auto c = static_cast<unsigned char>(text[q]);
    const auto w = static_cast<unsigned char>(want.character.codePoint);
    if (want.escaped || (w < 0x80 && c < 0x80 && !want.character.sequence)) {
      if (c != w && !(ignoreCase_ && tables.toUpper(c) == tables.toUpper(w)))
        return std::string_view::npos;
      ++q;
      continue;
    }
    const utf8::Character have = utf8::characterAt(text.substr(q));
    // A byte inside a character of the text is no character of its own.
    if (!have.sequence && have.codePoint >= 0x80 && utf8::isInsideSequence(text, q))
      return std::string_view::npos;
    if (!utf8::sameCharacter(have, want.character, tables, ignoreCase_))
      return std::string_view::npos;
    q += have.length;
  }
  return q - at;
}

std::size_t TSearchFilter::findNext(std::size_t from, std::size_t to, std::size_t &length) const {
  length = searchText_.size();
  if (length == 0 || from >= to)
    return std::string_view::npos;
  if (byCharacter_) {
    const auto *s = reinterpret_cast<const unsigned char *>(buffer_.data());
    to = std::min(to, buffer_.size());
    for (std::size_t q = from; q < to; ++q) {
      if (onlyFirstByte_ >= 0) {
        const void *hit = std::memchr(s + q, onlyFirstByte_, to - q);
        if (!hit)
          break;
        q = static_cast<std::size_t>(static_cast<const unsigned char *>(hit) - s);
      } else {
        // One test for four bytes: bitwise on purpose, so no branch per byte.
        while (to - q >= 4 && !(int{firstByteFits_[s[q]]} | int{firstByteFits_[s[q + 1]]} |
                                int{firstByteFits_[s[q + 2]]} | int{firstByteFits_[s[q + 3]]}))
          q += 4;
        if (q >= to || !firstByteFits_[s[q]])
          continue;
      }
      const std::size_t found = matchByCharacterAt(q);
      if (found != std::string_view::npos) {
        length = found;
        return q;
      }
    }
    return std::string_view::npos;
  }
  if (buffer_.size() - from < length)
    return std::string_view::npos;
  to = std::min(to, buffer_.size() - length + 1);
  if (from >= to)
    return std::string_view::npos;
  // A text of code-page bytes may fit the bytes of a longer character (the
  // byte of Ã is the first of ö's): an occurrence that begins or ends inside
  // a character of the text is no occurrence of it.
  for (; from < to; ++from) {
    from = ignoreCase_
               ? scanIgnoringCase(searchText_, buffer_.data(), from, to, firstByteFits_, *tables_)
               : scanExact(searchText_, buffer_.data(), from, to);
    if (from == std::string_view::npos ||
        (!utf8::isInsideSequence(buffer_, from) && !utf8::isInsideSequence(buffer_, from + length)))
      return from;
  }
  return std::string_view::npos;
}

bool TSearchFilter::searchBuffer() {
  std::string output;
  output.reserve(buffer_.size() - scan_);
  // Occurrences may begin before `limit`, the start of a character.
  std::size_t limit = buffer_.size();
  if (!endOfFile_) {
    std::size_t keep = longestMatch_ + heldBack;
    limit = heldLength() > keep ? characterStart(buffer_.size() - keep) : heldStart_;
  }
  bool stopped = false;
  for (;;) {
    if (scan_ >= limit) {
      emitUpTo(output, std::max(scan_, heldStart_));
      stopped = true;
      break;
    }
    // Matches kept by first-only or by a standing answer are still found,
    // so that they are counted as skipped.
    if (answerStopsRun())
      break;
    std::size_t length = 0;
    std::size_t found = findNext(scan_, limit, length);
    if (found == std::string_view::npos) {
      if (endOfFile_)
        break;
      emitUpTo(output, limit);
      stopped = true;
      break;
    }
    matchPos_ = found;
    matchLength_ = length;
    handleMatch(output);
    if (isAborted() || answerStopsRun()) {
      stopped = true;
      break;
    }
  }
  if (!stopped)
    emitRest(output);
  if (answerStopsRun()) {
    raiseIfStoppedWithoutJob();
    return false;
  }
  return sendToNext(output);
}

bool TSearchFilter::handleMatch(std::string &output) {
  bool whole = !wholeWord_ || isWholeWord();
  output.append(buffer_, scan_, matchPos_ - scan_);
  pendingText_.assign(buffer_, matchPos_, matchLength_);
  bool replaced = false;
  const std::size_t kept = keptLength();
  if (whole) {
    noteUpTo(matchPos_ + matchLength_);
    replaced = replaceMatch(output, replacement_, information_, followingText());
  } else {
    output.append(pendingText_, 0, kept);
    pendingText_.clear();
  }
  scan_ = replaced ? matchPos_ + matchLength_ : matchPos_ + kept;
  return true;
}

} // namespace marrowen

#pragma once

#include "filters/patternfilters.h"

#include "classlib/utf8.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

// Finds the first occurrence of `find` in `subject` at or after the 1-based
// `start`; returns its 1-based position, or 0. The case-insensitive scanner
// takes `find` upper-cased and matches each byte in either case of the
// code page.
int findExact(std::string_view find, std::string_view subject, int start);
int findIgnoringCase(std::string_view find, std::string_view subject, int start,
                     const CodePage &tables);

// Search and replace of a fixed text, optionally ignoring case and requiring
// whole words. A text of ASCII is found byte by byte (ignoring case through
// the code page's tables); one with other letters character by character: a
// letter typed beyond ASCII finds itself as its UTF-8 sequence and as the
// code page's byte, and ignoring case any of its case partners in either
// form, so a match may be longer or shorter than the text. A byte given by an
// escape is found as that byte. Until the file ends the search keeps the
// longest match's length + 100 bytes back, so an occurrence that straddles a
// chunk boundary is found whole.
class TSearchFilter : public TBuffer {
public:
  // `searchText` is the decoded text, `escaped` marks its bytes that escapes
  // gave (none when empty); `replacement` keeps its escapes.
  TSearchFilter(const std::string &searchText, const std::string &replacement, bool ignoreCase,
                bool wholeWord, bool caseSensitiveReplace, bool prompt, bool noPromptWhenUnchanged,
                bool firstOnly, const std::vector<bool> &escaped = {});

  std::string getStatistics() override;

protected:
  bool searchBuffer() override;
  bool handleMatch(std::string &output) override;

private:
  // The next occurrence at or after index `from` that begins before `to`
  // (indexes into the buffer), or npos; `length` is its length.
  std::size_t findNext(std::size_t from, std::size_t to, std::size_t &length) const;
  // The length of the text at index `at` that equals the search text
  // character by character, or npos.
  std::size_t matchByCharacterAt(std::size_t at) const;

  // The search text as it is compared by character.
  struct Wanted {
    utf8::Character character;
    bool escaped; // a byte, found as that byte
  };
  std::vector<Wanted> wanted_;
  bool ignoreCase_;
  bool byCharacter_ = false;
  int onlyFirstByte_ = -1; // the one byte a match can begin with, or -1
  std::size_t longestMatch_ = 0;
  std::string information_;
  std::string statisticsSuffix_;
  // Bytes whose lower case is that of the search text's first byte.
  std::array<bool, 256> firstByteFits_{};
};

} // namespace marrowen

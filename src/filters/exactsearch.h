#pragma once

#include "filters/patternfilters.h"

#include <array>
#include <string>
#include <string_view>

namespace marrowen {

// Finds the first occurrence of `find` in `subject` at or after the 1-based
// `start`; returns its 1-based position, or 0. The case-insensitive scanner
// takes `find` upper-cased and matches each byte in either case of the
// code page.
int findExact(std::string_view find, std::string_view subject, int start);
int findIgnoringCase(std::string_view find, std::string_view subject, int start,
                     const CodePage &tables);

// Search and replace of a fixed text, optionally ignoring case (as the code
// page's letters have it) and requiring whole words. Until the file ends the
// search keeps the search text's length + 100 bytes back, so an occurrence
// that straddles a chunk boundary is found whole.
class TSearchFilter : public TBuffer {
public:
  // `searchText` is the decoded text; `replacement` keeps its escapes.
  TSearchFilter(const std::string &searchText, const std::string &replacement, bool ignoreCase,
                bool wholeWord, bool caseSensitiveReplace, bool prompt, bool noPromptWhenUnchanged,
                bool firstOnly);

  std::string getStatistics() override;

protected:
  bool searchBuffer() override;
  bool handleMatch(std::string &output) override;

private:
  // The next occurrence at or after index `from` that begins before `to`
  // (indexes into the buffer), or npos.
  std::size_t findNext(std::size_t from, std::size_t to) const;

  bool ignoreCase_;
  std::string information_;
  std::string statisticsSuffix_;
  // Bytes whose lower case is that of the search text's first byte.
  std::array<bool, 256> firstByteFits_{};
};

} // namespace marrowen

// Builds a pattern of one of the search dialects and a search from the
// input's bytes and runs it by the backtracking matcher, by the linear
// matcher from the first attempt and by a hand-over part of the way
// through: the three must find the same match and groups.
//
// Input: the first byte picks the dialect and the hand-over step; every
// further byte is one choice of the pattern and search generator (zeros
// once the input is used up).

#include "support/random_patterns.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

class InputChoices {
public:
  InputChoices(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
  unsigned operator()() { return at_ < size_ ? data_[at_++] : 0; }

private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2)
    return 0;
  const PatternDialect dialect = patternDialects[data[0] % std::size(patternDialects)];
  const std::size_t handOver = data[0] / std::size(patternDialects);
  InputChoices choices(data + 1, size - 1);
  const DialectPattern pattern = randomDialectPattern(choices, dialect, 4);
  const SubjectSearch search = randomSubjectSearch(choices, 200);
  const auto results = searchEveryWay(pattern, search, handOver);
  if (results[0] == "error")
    return 0;
  if (results[1] != results[0] || results[2] != results[0]) {
    std::fprintf(stderr, "%s\nbacktracking: %s\nlinear: %s\nhanded over at %zu: %s\n",
                 describeSearch(dialect, pattern, search).c_str(), results[0].c_str(),
                 results[1].c_str(), handOver, results[2].c_str());
    std::abort();
  }
  return 0;
}

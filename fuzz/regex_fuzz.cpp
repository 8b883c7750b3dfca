// Compiles an arbitrary pattern and runs it over an arbitrary subject, with
// and without the search shortcuts and the linear matcher, and substitutes
// the subject as a template.
//
// Input: a flag byte (bit 0: ignore case, bit 1: also overwrite one byte of
// the compiled program, at the offset and with the value of the next two
// bytes, and search with it; bit 2: read the Word-style tokens), a limit
// byte, two bytes for the damage, then the pattern up to the first NUL and
// the subject after it.

#include "filters/regex.h"

#include "classlib/exceptions.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace marrowen;

namespace {

struct Outcome {
  bool failed = false;
  std::vector<int> positions;
};

// How the matcher runs: backtracking plainly, or with the shortcuts and the
// linear matcher (from the first attempt on, or as it runs in a job).
enum class Mode { plain, linearAtOnce, usual };

Outcome searchAll(const std::string &pattern, std::string &subject, bool ignoreCase,
                  bool wordTokens, int limit, Mode mode) {
  Outcome outcome;
  TRegex regex;
  regex.setWordTokens(wordTokens);
  try {
    regex.setExpression(pattern);
  } catch (const Exception &) {
    outcome.failed = true;
    return outcome;
  }
  regex.setCaseSensitive(!ignoreCase);
  regex.setSearchShortcutsForTest(mode != Mode::plain);
  if (mode == Mode::plain)
    regex.setLinearMatchForTest(false);
  else if (mode == Mode::linearAtOnce)
    regex.setLinearMatchForTest(true, 0, 0);
  regex.setStepLimitForTest(100000);
  int start = 1;
  try {
    for (int round = 0; round < 64; ++round) {
      int l = limit;
      if (!regex.Exec(subject, l, start))
        break;
      int pos = regex.GetMatchPos(0);
      int len = regex.GetMatchLen(0);
      if (pos < start || len < 0 || static_cast<std::size_t>(pos - 1 + len) > subject.size())
        std::abort();
      for (int n = 0; n <= regex.groupCount(); ++n) {
        outcome.positions.push_back(regex.GetMatchPos(n));
        outcome.positions.push_back(regex.GetMatchLen(n));
      }
      std::string result;
      try {
        regex.Substitute(subject, result);
      } catch (const Exception &) {
      }
      start = pos + (len > 0 ? len : 1);
    }
  } catch (const Exception &) {
    outcome.failed = true;
  }
  return outcome;
}

// A damaged program must give errors, never a crash.
void searchDamaged(const std::string &pattern, std::string &subject, std::uint8_t offset,
                   std::uint8_t value) {
  TRegex regex;
  try {
    regex.setExpression(pattern);
  } catch (const Exception &) {
    return;
  }
  if (regex.programSizeForTest() == 0)
    return;
  regex.setProgramByteForTest(offset % regex.programSizeForTest(), value);
  regex.setStepLimitForTest(100000);
  try {
    int limit = 0;
    regex.Exec(subject, limit, 1);
    std::string result;
    regex.Substitute(subject, result);
  } catch (const Exception &) {
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 4)
    return 0;
  bool ignoreCase = data[0] & 1;
  bool damage = data[0] & 2;
  bool wordTokens = data[0] & 4;
  int limit = data[1];
  std::string rest(reinterpret_cast<const char *>(data + 4), size - 4);
  std::size_t nul = rest.find('\0');
  std::string pattern = rest.substr(0, nul);
  std::string subject = nul == std::string::npos ? std::string() : rest.substr(nul + 1);

  if (damage) {
    searchDamaged(pattern, subject, data[2], data[3]);
    return 0;
  }
  Outcome plain = searchAll(pattern, subject, ignoreCase, wordTokens, limit, Mode::plain);
  // The step limit may stop the plain search, which tries more positions.
  for (Mode mode : {Mode::linearAtOnce, Mode::usual}) {
    Outcome fast = searchAll(pattern, subject, ignoreCase, wordTokens, limit, mode);
    if (!fast.failed && !plain.failed && fast.positions != plain.positions)
      std::abort();
  }
  return 0;
}

#include "filters/dialects.h"

#include "classlib/exceptions.h"
#include "filters/exactsearch.h"
#include "filters/fuzzysearch.h"
#include "filters/patternfilters.h"
#include "filters/regex.h"
#include "support/chunk_harness.h"

#include <gtest/gtest.h>

#include <functional>

namespace marrowen {
namespace {

using testing::printable;
using testing::runInChunks;

// ---- conversions ----

struct Conversion {
  const char *typed;
  const char *converted;
};

TEST(BriefPattern, ConvertsByteByByte) {
  const Conversion cases[] = {
      {"%abc@", "^abc.*"},  {"<abc", "^abc"},   {"a%b<c", "a%b<c"}, {">", "$"},
      {"a>b", "a>b"},       {"a?c", "a.c"},     {"a+", "a.+"},      {"{ab}c", "(ab)c"},
      {"\\@\\?", "\\@\\?"}, {"$*[x]", "$*[x]"}, {"a\\", "a\\"},     {"", ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(convertBriefPattern(c.typed), c.converted) << c.typed;
}

TEST(BriefReplacement, DigitsNameGroupsOtherEscapesKeepTheirMeaning) {
  const Conversion cases[] = {
      {"\\1x", "$1x"},     {"\\123", "\\123"}, {"a\\2", "a$2"}, {"\\t", "\\t"},
      {"\\n\\1", "\\n$1"}, {"\\\\1", "\\\\1"}, {"x\\", "x"},    {"\\12", "\\12"},
      {"plain", "plain"},  {"\\1\\2", "$1$2"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(convertBriefReplacement(c.typed), c.converted) << c.typed;
}

TEST(WordPattern, ConvertsQuestionMarksAndNegatedSets) {
  EXPECT_EQ(convertWordPattern("[!0-9]?"), "[^0-9].");
  EXPECT_EQ(convertWordPattern("a\\?b"), "a\\?b");
  // Inside a set every byte means itself.
  EXPECT_EQ(convertWordPattern("[?*@<>]x"), "[?*@<>]x");
  EXPECT_EQ(convertWordPattern("[]a]"), "[]a]");
}

TEST(WordPattern, TokensBecomeMarksThatUserTextCannotForge) {
  std::string converted = convertWordPattern("<a*b@>");
  EXPECT_EQ(converted, std::string("\\\x03") + "a\\\x01" + "b\\\x02\\\x04");
  // A typed backslash before a mark byte stays a plain byte.
  EXPECT_EQ(convertWordPattern(std::string("\\\x01")), "\\x01");
}

// ---- every dialect, however the text is cut ----

// A text of about 25,000 bytes with words of every kind the searches look
// for, LF and CR LF line ends and one NUL, so that matches fall across every
// chunk and buffer boundary.
std::string sampleText() {
  static const char *const words[] = {
      "the",     "The",    "THE",   "theme",     "color",     "colour",    "colr", "clr",
      "Robert",  "Rupert", "Rubin", "\xE9t\xE9", "\xC9T\xC9", "\xC9t\xE9", "123",  "4567",
      "8",       "e-mail", "x9",    "thin",      "bath",      "lot",       "loot", "lt",
      "running", "sing",   "cat",   "concat",    "a",         "ab",        "aab",  "_under"};
  std::string text;
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  while (text.size() < 25000) {
    text += words[next() % (sizeof(words) / sizeof(words[0]))];
    switch (next() % 12) {
    case 0:
      text += "\r\n";
      break;
    case 1:
      text += "\n";
      break;
    case 2:
      text += ", ";
      break;
    case 3:
      text += "-";
      break;
    default:
      text += ' ';
      break;
    }
  }
  text[12001] = '\0';
  return text;
}

using BufferedFactory = std::function<std::unique_ptr<TFilter>(int bufferSize)>;

struct DialectCase {
  const char *name;
  BufferedFactory make;
  bool changes = true; // whether the sample text has something to replace
};

std::unique_ptr<TFilter> pattern(const char *text, const char *replacement, TPatternType type,
                                 int bufferSize, bool wholeWord = false, bool firstOnly = false,
                                 bool caseSensitive = true) {
  return std::make_unique<TRegExpFilter>(text, replacement, caseSensitive, wholeWord, false, false,
                                         false, firstOnly, false, false, false, bufferSize, type);
}

const DialectCase dialectCases[] = {
    {"exact text",
     [](int) {
       return std::make_unique<TSearchFilter>("the", "THE", false, false, false, false, false,
                                              false);
     }},
    {"exact text ignoring case, whole words",
     [](int) {
       return std::make_unique<TSearchFilter>("\xE9t\xE9", "E", true, true, false, false, false,
                                              false);
     }},
    {"exact text, first only",
     [](int) {
       return std::make_unique<TSearchFilter>("Rupert", "R", false, false, false, false, false,
                                              true);
     }},
    {"pattern", [](int b) { return pattern("[0-9]+", "N", TPatternType::Pattern, b); }},
    {"pattern anchored at the start",
     [](int b) { return pattern("^[A-Za-z]+", "START", TPatternType::Pattern, b); }},
    {"pattern anchored at the end",
     [](int b) { return pattern("[a-z]$", "END", TPatternType::Pattern, b); }},
    {"pattern, whole words, ignoring case",
     [](int b) { return pattern("th[a-z]*", "T", TPatternType::Pattern, b, true, false, false); }},
    {"Perl pattern with groups",
     [](int b) { return pattern("(\\w+)-(\\w+)", "$2+$1", TPatternType::PerlPattern, b); }},
    {"Brief pattern",
     [](int b) { return pattern("{?}ing", "\\1ed", TPatternType::BriefPattern, b); }},
    {"Brief pattern, any byte",
     [](int b) { return pattern("col?r", "C", TPatternType::BriefPattern, b); }},
    {"Word pattern, words",
     [](int b) { return pattern("<th*>", "W", TPatternType::WordPattern, b); }},
    {"Word pattern, repeat",
     [](int b) { return pattern("lo@t", "L", TPatternType::WordPattern, b); }},
    {"Word pattern, negated set",
     [](int b) { return pattern("[!a-z ]@", "#", TPatternType::WordPattern, b); }},
    {"sounds like",
     [](int) {
       return std::make_unique<TSoundexSearchReplace>("Robert", "R", false, false, false, false);
     }},
    {"edit distance",
     [](int) {
       return std::make_unique<TEditDistance>("color", "C", true, false, false, false, false, 1);
     }},
    {"extract",
     [](int) { return std::make_unique<TExtract>("[0-9][0-9][0-9]", true, false, false); }},
    {"extract, count only",
     [](int) { return std::make_unique<TExtract>("e-mail", false, false, true); }},
};

TEST(EveryDialect, OutputDoesNotDependOnChunkOrBufferSize) {
  const std::string text = sampleText();
  for (const auto &dialect : dialectCases) {
    SCOPED_TRACE(dialect.name);
    const std::string whole = runInChunks([&] { return dialect.make(4096); }, text, 0);
    if (dialect.changes) {
      EXPECT_NE(whole, text);
    }
    for (int bufferSize : {4096, 10000}) {
      for (std::size_t chunk :
           {std::size_t(1), std::size_t(7), std::size_t(4096), std::size_t(5000), std::size_t(0)}) {
        std::string cut = runInChunks([&] { return dialect.make(bufferSize); }, text, chunk);
        if (cut != whole) {
          std::size_t at = 0;
          while (at < cut.size() && at < whole.size() && cut[at] == whole[at])
            ++at;
          ADD_FAILURE() << "buffer " << bufferSize << ", chunks of " << chunk
                        << ": output differs first at byte " << at << ": \""
                        << printable(whole.substr(at, 40)) << "\" became \""
                        << printable(cut.substr(at, 40)) << "\"";
        }
      }
    }
  }
}

TEST(EveryDialect, AnEmptyFileGivesNothingButACount) {
  for (const auto &dialect : dialectCases) {
    SCOPED_TRACE(dialect.name);
    std::string expected = std::string(dialect.name) == "extract, count only" ? "0\r\n" : "";
    for (int bufferSize : {4096, 10000})
      EXPECT_EQ(runInChunks([&] { return dialect.make(bufferSize); }, "", 0), expected);
  }
}

TEST(EveryDialect, MatchStraddlingByte4096IsReplacedExactlyOnce) {
  // "straddle" covers bytes 4090 to 4097 (1-based 4091 to 4098).
  std::string text(10000, '.');
  text.replace(4090, 8, "straddle");
  std::string expected = text;
  expected.replace(4090, 8, "R");
  const std::pair<const char *, std::function<std::unique_ptr<TFilter>()>> cases[] = {
      {"exact",
       [] {
         return std::make_unique<TSearchFilter>("straddle", "R", false, false, false, false, false,
                                                false);
       }},
      {"pattern", [] { return pattern("str[a-z]+dle", "R", TPatternType::Pattern, 4096); }},
      {"Perl pattern", [] { return pattern("s(t)r\\w+", "R", TPatternType::PerlPattern, 10000); }},
      {"Brief pattern", [] { return pattern("str@dle", "R", TPatternType::BriefPattern, 4096); }},
      {"Word pattern", [] { return pattern("<str*dle>", "R", TPatternType::WordPattern, 4096); }},
      {"sounds like",
       [] {
         return std::make_unique<TSoundexSearchReplace>("straddle", "R", false, false, false,
                                                        false);
       }},
      {"edit distance",
       [] {
         return std::make_unique<TEditDistance>("stradle", "R", true, false, false, false, false,
                                                1);
       }},
  };
  for (const auto &[name, make] : cases) {
    for (std::size_t chunk :
         {std::size_t(1), std::size_t(7), std::size_t(4096), std::size_t(5000), std::size_t(0)}) {
      SCOPED_TRACE(std::string(name) + ", chunks of " + std::to_string(chunk));
      int replacements = -1;
      testing::ChunkRunOptions options;
      options.afterRun = [&](TFilter &head) {
        replacements = static_cast<TGenericSearchReplace &>(head).replacements();
      };
      EXPECT_EQ(runInChunks(make, text, chunk, options), expected);
      EXPECT_EQ(replacements, 1);
    }
  }
}

} // namespace
} // namespace marrowen

#include "filters/regex.h"
#include "filters/regex_program.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "support/chunk_harness.h"
#include "support/random_patterns.h"
#include "support/recording_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace marrowen;

namespace {

// "pos:len" of the match and of every group ("-" for a group that took no
// part), or "none". Runs the search with and without the search shortcuts
// and with the linear matcher, and fails the test when they disagree.
std::string run(const std::string &pattern, const std::string &subject, int start = 1,
                int limit = 0, bool caseSensitive = true) {
  // Backtracking, plain and with the shortcuts; the linear matcher from the
  // first attempt on.
  std::string results[3];
  for (int variant = 0; variant < 3; ++variant) {
    TRegex r;
    r.setExpression(pattern);
    r.setCaseSensitive(caseSensitive);
    r.setSearchShortcutsForTest(variant > 0);
    if (variant == 2)
      r.setLinearMatchForTest(true, 0, 0);
    else
      r.setLinearMatchForTest(false);
    std::string s = subject;
    int l = limit;
    std::string &out = results[variant];
    if (!r.Exec(s, l, start)) {
      out = "none";
      continue;
    }
    for (int n = 0; n <= r.groupCount(); ++n) {
      if (n > 0)
        out += ' ';
      int pos = r.GetMatchPos(n);
      out += pos < 0 ? "-" : std::to_string(pos) + ":" + std::to_string(r.GetMatchLen(n));
    }
  }
  EXPECT_EQ(results[0], results[1]) << "shortcuts changed the result of " << pattern;
  EXPECT_EQ(results[0], results[2]) << "the linear matcher changed the result of " << pattern;
  return results[1];
}

// The message a pattern's compilation raises, or "" when it compiles.
std::string compileError(const std::string &pattern) {
  TRegex r;
  try {
    r.CompileRegex(pattern);
  } catch (const Exception &e) {
    return e.message();
  }
  return "";
}

// The bytes 1..255 that a one-byte pattern (a set) matches.
std::string members(const std::string &pattern, bool caseSensitive = true) {
  TRegex r;
  r.setExpression(pattern);
  r.setCaseSensitive(caseSensitive);
  std::string found;
  for (int b = 1; b < 256; ++b) {
    std::string s(1, static_cast<char>(b));
    int limit = 0;
    if (r.Exec(s, limit, 1))
      found += static_cast<char>(b);
  }
  return found;
}

std::string range(int first, int last) {
  std::string s;
  for (int b = first; b <= last; ++b)
    s += static_cast<char>(b);
  return s;
}

// The code page's bytes beyond ASCII that are letters (or are not), which \w
// (or \W) takes in a set as outside one.
std::string codePageLetters(bool letters = true) {
  std::string s;
  for (int b = 0x80; b < 256; ++b)
    if (systemCodePage()->isLetter(static_cast<unsigned char>(b)) == letters)
      s += static_cast<char>(b);
  return s;
}

std::string execError(TRegex &r, std::string subject) {
  int limit = 0;
  try {
    r.Exec(subject, limit, 1);
  } catch (const Exception &e) {
    return e.message();
  }
  return "";
}

const std::string repeatLimit = "\r\nPlease alter your pattern";

// A random subject of fewer than `lengths` bytes drawn from `alphabet`, with a
// start position within it and a limit, for the randomised matcher tests.
struct RandomSearch {
  std::string subject;
  int start;
  int limit;
};

RandomSearch randomSearch(std::mt19937 &random, const std::string &alphabet, int lengths) {
  RandomSearch search;
  int length = random() % lengths;
  for (int k = 0; k < length; ++k)
    search.subject += alphabet[random() % alphabet.size()];
  search.start = 1 + (length ? random() % length : 0);
  search.limit = random() % (length + 2);
  return search;
}

// An alternative of one more atom, added to one pattern in five.
template <std::size_t N>
void maybeAddAlternative(std::mt19937 &random, std::string &pattern, const char *(&atoms)[N]) {
  if (random() % 5 == 0)
    pattern += "|" + std::string(atoms[random() % N]);
}

} // namespace

TEST(RegexCompile, ProgramLayout) {
  struct Case {
    const char *pattern;
    const char *dump;
  } cases[] = {
      {"a+b", "1 BRANCH -> 17\n4 PLUS -> 12\n7 EXACTLY \"a\"\n12 EXACTLY \"b\" -> 17\n17 END\n"
              "first none, must none\n"},
      // A literal run before a quantifier gives up its last byte.
      {"ab*", "1 BRANCH -> 17\n4 EXACTLY \"a\" -> 9\n9 STAR -> 17\n12 EXACTLY \"b\"\n17 END\n"
              "first \"a\", must none\n"},
      {"abc+", "1 BRANCH -> 18\n4 EXACTLY \"ab\" -> 10\n10 PLUS -> 18\n13 EXACTLY \"c\"\n"
               "18 END\nfirst \"a\", must none\n"},
      {"^a", "1 BRANCH -> 12\n4 BOL -> 7\n7 EXACTLY \"a\" -> 12\n12 END\n"
             "first none, anchored, must none\n"},
      // x* on a group: BRANCH around the group looping back, or NOTHING.
      {"(a)*b", "1 BRANCH -> 35\n4 BRANCH -> 24\n7 OPEN 1 -> 10\n10 BRANCH -> 18\n"
                "13 EXACTLY \"a\" -> 18\n18 CLOSE 1 -> 21\n21 BACK -> 4\n24 BRANCH -> 27\n"
                "27 NOTHING -> 30\n30 EXACTLY \"b\" -> 35\n35 END\nfirst none, must \"b\"\n"},
      {"a|", "1 BRANCH -> 9\n4 EXACTLY \"a\" -> 15\n9 BRANCH -> 15\n12 NOTHING -> 15\n"
             "15 END\nfirst none, must none\n"},
      // Escapes outside a set are one-byte literals of their own.
      {"x*\\.com", "1 BRANCH -> 24\n4 STAR -> 12\n7 EXACTLY \"x\"\n12 EXACTLY \".\" -> 17\n"
                   "17 EXACTLY \"com\" -> 24\n24 END\nfirst none, must \"com\"\n"},
      {"[b-a]", "1 BRANCH -> 10\n4 ANYOF \"ba\" -> 10\n10 END\nfirst none, must none\n"},
      {"\\000", "1 BRANCH -> 9\n4 EXACTLY \"\" -> 9\n9 END\nfirst none, must none\n"},
      // The NUL literal can never serve as the must-have literal.
      {"a*\\000", "1 BRANCH -> 17\n4 STAR -> 12\n7 EXACTLY \"a\"\n12 EXACTLY \"\" -> 17\n"
                  "17 END\nfirst none, must none\n"},
  };
  for (const auto &c : cases) {
    TRegex r;
    r.setExpression(c.pattern);
    EXPECT_EQ(r.dumpProgram(), c.dump) << c.pattern;
  }
}

TEST(RegexCompile, MustHaveLiteralIsTheLongestLaterOne) {
  TRegex r;
  // Literals inside groups are not on the top-level chain.
  r.setExpression("a*bcd(xyzw)de");
  EXPECT_NE(r.dumpProgram().find("must \"bcd\""), std::string::npos) << r.dumpProgram();
  r.setExpression("a*bc.de");
  EXPECT_NE(r.dumpProgram().find("must \"de\""), std::string::npos) << r.dumpProgram();
  r.setExpression("a+bc"); // a piece that cannot be empty: no must-have
  EXPECT_NE(r.dumpProgram().find("must none"), std::string::npos);
}

TEST(RegexCompile, SetMembers) {
  const std::string lower = range('a', 'z');
  struct Case {
    const char *pattern;
    std::string expected;
  } cases[] = {
      {"[a-z]", lower},
      {"[z-a]", lower},
      {"[a-]", "-a"},
      {"[-a]", "-a"},
      {"[]x]", "]x"},
      {"[^]x]", ""}, // checked by complement below
      {"[\\d-f]", range('0', 'f')},
      {"[\\w-z]", range('A', 'Z') + range('_', 'z') + codePageLetters()},
      {"[a-c-f]", "abcef"},           // after a range the next starts past its end
      {"[\\D\\S\\W]", range(1, 255)}, // the classes, not the letters D, S and W
      {"[\\x41-\\x43]", "ABC"},
      {"[\\065\\t\\e]", std::string("\t\x1b") + "A"},
      {"[\\cA\\cm]", "\x01\x0d"},
      {"[\\s]", "\t\n\r "},
      {"[\\w]", range('A', 'Z') + "_" + lower + codePageLetters()},
      {"[\\W]", range(1, '@') + range('[', '^') + "`" + range('{', 0x7F) + codePageLetters(false)},
      {"[.*+?(]", "(*+.?"},
      {"[\\]]", "]"},
      {"[c-\\x61]", "abc"},
      {"[b-\\000]", "\x01" + range(2, 'b')},
  };
  for (const auto &c : cases) {
    if (std::string(c.pattern) == "[^]x]")
      continue;
    EXPECT_EQ(members(c.pattern), c.expected) << c.pattern;
  }
  std::string negated = members("[^]x]");
  EXPECT_EQ(negated.size(), 253u);
  EXPECT_EQ(negated.find_first_of("]x"), std::string::npos);
}

TEST(RegexCompile, CyrillicRangesAreByteRanges) {
  std::string lower = range(0xE0, 0xFF) + "\xB8";
  std::string upper = range(0xC0, 0xDF) + "\xA8";
  auto sorted = [](std::string s) {
    std::sort(s.begin(), s.end(), [](char a, char b) {
      return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
    });
    return s;
  };
  EXPECT_EQ(members("[\\xE0-\\xFF]"), sorted(lower));
  EXPECT_EQ(members("[\\xC0-\\xDF]"), sorted(upper));
  EXPECT_EQ(members("[\\xE0-\\xDF]"), sorted(lower + upper));
  EXPECT_EQ(members("[\\xE1-\\xFF]"), range(0xE1, 0xFF)); // any other range is plain
}

TEST(RegexCompile, GroupLimit) {
  std::string pattern;
  for (int i = 0; i < 35; ++i)
    pattern += "(a)";
  EXPECT_EQ(compileError(pattern), "");
  EXPECT_EQ(compileError(pattern + "(a)"), "Too many () - limit is 36");
  EXPECT_EQ(compileError(std::string(36, '(') + std::string(36, ')')), "Too many () - limit is 36");
  TRegex r;
  r.setExpression(pattern);
  EXPECT_EQ(r.groupCount(), 35);
}

TEST(RegexCompile, ProgramSizeLimit) {
  // Each set of the 255 bytes 1..255 takes 3 + 256 program bytes.
  std::string set = "[\\001-\\255]";
  std::string pattern;
  for (int i = 0; i < 300; ++i)
    pattern += set;
  EXPECT_EQ(compileError(pattern), "Regular expression is too complex (77707 > max of 65536)");
  // 252 sets plus the 7 bytes around them make 65275 bytes: still fits.
  pattern.clear();
  for (int i = 0; i < 252; ++i)
    pattern += set;
  TRegex r;
  r.setExpression(pattern);
  EXPECT_EQ(r.programSizeForTest(), 65275u);
}

TEST(RegexCompile, ErrorMessages) {
  struct Case {
    const char *pattern;
    const char *message;
  } cases[] = {
      {"(a", "Unmatched () - you need a )"},
      {"a)", "Unmatched () - you need a ("},
      {"(a*)*", "* expression can be blank (hint: escape meta characters with '\\')"},
      {"(a*)+", "+ expression can be blank (hint: escape meta characters with '\\')"},
      {"^*", "* expression can be blank (hint: escape meta characters with '\\')"},
      {"()+", "+ expression can be blank (hint: escape meta characters with '\\')"},
      {"a**", "Nested * are not allowed"},
      {"a+?", "Nested ? are not allowed"},
      {"\\xG1", "\\xXX Bad hex digit 'G'"},
      {"\\x1g", "\\xXX Bad hex digit 'g'"},
      {"\\0a1", "\\DDD Bad decimal digit 'a'"},
      {"\\x", "\\xXX Missing hex code"},
      {"\\x4", "\\xXX Missing hex code"},
      {"\\0", "\\DDD Missing 3 digits of decimal code"},
      {"\\01", "\\DDD Missing 3 digits of decimal code"},
      {"\\256", "\\DDD Maximum decimal value is 255"},
      {"\\c", "\\cC Missing control code"},
      {"[\\c", "\\cC Missing control code"},
      {"[\\000]", "\\000 is not allowed in a set [...] because of an internal limitation. Use "
                  "([...]|\\000) instead"},
      {"[\\x00]", "\\000 is not allowed in a set [...] because of an internal limitation. Use "
                  "([...]|\\000) instead"},
      {"[\\c@]", "\\000 is not allowed in a set [...] because of an internal limitation. Use "
                 "([...]|\\000) instead"},
      {"[a-\\", "Trailing \\ needs to be followed by something"},
      {"[a-\\d]", "\\d is not valid as the end of a range because it consists of more than "
                  "character"},
      {"[a-\\s]", "\\s is not valid as the end of a range because it consists of more than "
                  "character"},
      {"[a-\\w]", "\\w is not valid as the end of a range because it consists of more than "
                  "character"},
      {"[a-\\3]", "\\DDD must start with the decimal digit 0, 1 or 2 (Leading zeros are "
                  "required). Valid range is 001-255"},
      {"[\\", "Trailing \\ needs to be followed by something"},
      {"[\\9]", "\\DDD must start with the decimal digit 0, 1 or 2 (Leading zeros are "
                "required). Valid range is 000-255"},
      {"[abc", "Unmatched [] - need a ]"},
      {"[]", "Unmatched [] - need a ]"},
      {"[a-", "Unmatched [] - need a ]"},
      {"[\\x41", "Unmatched [] - need a ]"},
      {"*a", "?+* follows nothing (hint: Meta characters can be escaped with '\\')"},
      {"a|+", "?+* follows nothing (hint: Meta characters can be escaped with '\\')"},
      {"(?)", "?+* follows nothing (hint: Meta characters can be escaped with '\\')"},
      {"a\\", "Trailing \\ - must be followed by something (hint: use '\\\\')"},
      {"\\3", "\\DDD must start with the decimal digit 0, 1 or 2 (Leading zeros are "
              "required). Valid range is 000-255"},
      // Accepted, for contrast.
      {"(a*)?", ""},
      {"[\\w-z]", ""},
      {"x{2}", ""},
      {"a?*", "Nested * are not allowed"},
      {"[\\x41-\\x5A]", ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(compileError(c.pattern), c.message) << c.pattern;
  // 2640, 2680 and 2460 guard states the parser never reaches.
}

TEST(RegexCompile, MissingExpression) {
  TRegex r;
  EXPECT_EQ(compileError(""), "Regular expression is missing");
  r.setExpression("");
  EXPECT_EQ(r.getExpression(), "");
  EXPECT_THROW(r.CompileRegex(""), Exception);
}

TEST(RegexCompile, ExpressionLifecycle) {
  TRegex r;
  EXPECT_TRUE(r.caseSensitive());
  r.setExpression("ab");
  EXPECT_EQ(r.getExpression(), "ab");
  EXPECT_THROW(r.setExpression("a("), Exception);
  // The bad text keeps failing rather than leaving the old program in use.
  EXPECT_THROW(r.setExpression("a("), Exception);
  EXPECT_EQ(execError(r, "ab"),
            "Error No regular expression assigned\r\nPlease alter your pattern");
  r.setExpression("ab");
  r.setExpression("");
  EXPECT_EQ(r.getExpression(), "");
  EXPECT_EQ(execError(r, "ab"),
            "Error No regular expression assigned\r\nPlease alter your pattern");
  // A pattern ends at its first NUL byte.
  r.setExpression(std::string("ab\0cd", 5));
  EXPECT_EQ(r.getExpression(), "ab");
}

TEST(RegexMatch, Semantics) {
  const std::string nul(1, '\0');
  struct Case {
    std::string pattern;
    std::string subject;
    const char *expected;
    int start = 1;
    int limit = 0;
    bool caseSensitive = true;
  } cases[] = {
      {"(a)*", "aaa", "1:3 3:1"}, // a group in a loop reports its last iteration
      {"a|ab", "ab", "1:1"},
      {"ab|a", "ab", "1:2"},
      {"^b", "ab", "2:1", 2},
      {"^b", "ab", "none", 1},
      {"(^a|c)", "ca", "1:1 1:1"},
      {"(^a|c)", "ba", "2:1 2:1", 2},
      {"a^", "aa", "none"},
      {"x$", "ax", "2:1"},
      {"x$", "ax\nb", "none"},
      {"x$", "ax" + nul + "b", "2:1"},
      {"d", "abcdef", "none", 1, 3}, // would begin past the limit
      {"c.*", "abcdef", "3:4", 1, 3},
      {"x*d", "abcdef", "4:1", 4, 2}, // the start position is tried regardless
      {"d", "abcdef", "none", 4, 2},  // but not past the limit with a first byte
      {"x{2}", "ax{2}", "2:4"},
      {"\\000", "ab", "none"},
      {"\\000", "ab" + nul + "c", "3:0"},
      {"a\\000", "a", "1:1"},
      {"a*", "", "none"},
      {"a*", "b", "1:0"},
      {"b*", "abb", "1:0"},
      {".", nul + "a", "2:1"},
      {".", "\n", "1:1"},
      {"a.*", "ab" + nul + "cd", "1:2"}, // the subject ends at a NUL for the matcher
      {"\\w", "5", "none"},
      {"\\w", "\xE9", "1:1"},
      {"[\\w]", "\xE9", "1:1"},
      {"[\\w.]+", "j\u00f6rg.m\u00fcller \u03c9mega", "1:13"},
      {"[\\w]+$", "j\u00f6rg.m\u00fcller \u03c9mega", "15:6"},
      {"[^\\W\\s]+", "\u03c9\u00e9 1", "1:4"},
      {"\\w+", "a_1", "1:2"},
      {"\\W", "5", "1:1"},
      {"\\W", nul, "none"},
      {"\\d+", "ab123c", "3:3"},
      {"\\D", "1a", "2:1"},
      {"\\s", "\v\f\t", "3:1"},
      {"\\S+", " \tab ", "3:2"},
      {"\\t\\n\\r\\a\\b\\f\\v\\e", "\t\n\r\a\b\f\v\x1b", "1:8"},
      {"\\x41\\066\\cj", "AB\n", "1:3"},
      {"\\.", "a.", "2:1"},
      {"a*ab", "aaab", "1:4"},
      {".*x", "axbxc", "1:4"},
      {"\\d+5", "12345", "1:5"},
      {"a+?b", "b", "none"}, // illegal; skipped below
      {"(a|ab)(c|bcd)(d*)", "abcd", "1:4 1:1 2:3 5:0"},
      {"(a)|b", "b", "1:1 -"},
      {"((a)b)+", "abab", "1:4 3:2 3:1"},
      {"(a*)b", "b", "1:1 1:0"},
      {"(a?)?b", "ab", "1:2 1:1"},
      {"x*y", "xxxzy", "5:1"},
      {"a+b", "aaaac aab", "7:3"},
      {"\\w+@\\w+\\.com", "foo bar@baz.com", "5:11"},
      {"\\w+@\\w+\\.com", "a@b.co a@b.com", "8:7"},
      {"(foo|bar)baz", "foobar barbaz", "8:6 8:3"},
      {"a.c", "abxabc", "4:3"},
      {"[0-9]+", "ab123cd", "3:3"},
      {"^abc", "abc", "1:3"},
      {"a*bc", "aaabc", "1:5", 1, 1}, // the must-have literal lies past the limit
      {"(a|b)*c", "ababc", "1:5 4:1"},
      {"a", "A", "1:1", 1, 0, false},
      {"\xE9", "\xC9", "1:1", 1, 0, false},
      {"a\xE9", "A\xC9", "1:2", 1, 0, false}, // every byte of a literal folds
      {"\xE9t\xE9", "x\xC9T\xC9", "2:3", 1, 0, false},
      {"a*\xE9t\xE9", "\xC9T\xC9", "1:3", 1, 0, false},
      {"a\xE9", "A\xC9", "none"},
      {"[a-c]", "B", "1:1", 1, 0, false},
      {"[^a]", "A", "none", 1, 0, false},
      {"[\xE9]+", "\xC9\xE9", "1:2", 1, 0, false},
      {"a+", "AaA", "1:3", 1, 0, false},
      {"x*A", "xxa", "1:3", 1, 0, false},
      {"\xE9*x", "\xC9\xE9x", "1:3", 1, 0, false},
      {"ab", "xAB", "2:2", 1, 0, false},
      {"\\w+", "\xC9\xE9", "1:2", 1, 0, false},
      // Found by the fuzzer: a run of NUL literals takes no NUL bytes.
      {"\\000*\x01", "a" + nul + "\x01" + nul + "\x01", "3:1"},
  };
  for (const auto &c : cases) {
    if (c.pattern == "a+?b")
      continue;
    EXPECT_EQ(run(c.pattern, c.subject, c.start, c.limit, c.caseSensitive), c.expected)
        << c.pattern << " on " << c.subject;
  }
}

TEST(RegexMatch, LimitIsWrittenBack) {
  TRegex r;
  r.setExpression("b");
  std::string s = "abc";
  int limit = 0;
  EXPECT_TRUE(r.Exec(s, limit, 1));
  EXPECT_EQ(limit, 3);
  limit = 99;
  EXPECT_TRUE(r.Exec(s, limit, 1));
  EXPECT_EQ(limit, 3);
  limit = 2;
  EXPECT_TRUE(r.Exec(s, limit, 2));
  EXPECT_EQ(limit, 2);
  // A start past the end never matches; a start below 1 neither.
  limit = 0;
  EXPECT_FALSE(r.Exec(s, limit, 4));
  EXPECT_FALSE(r.Exec(s, limit, 0));
}

TEST(RegexMatch, ResultsBeforeAndAfterSearches) {
  TRegex r;
  r.setExpression("(a)(b)?(c)");
  EXPECT_EQ(r.GetMatchCount(), 0);
  EXPECT_EQ(r.GetMatchPos(0), -1);
  std::string s = "xac";
  int limit = 0;
  ASSERT_TRUE(r.Exec(s, limit, 1));
  // Counting stops at the first group that took no part.
  EXPECT_EQ(r.GetMatchCount(), 2);
  EXPECT_EQ(r.GetMatchPos(3), 3);
  EXPECT_EQ(r.GetMatchLen(2), -1);
  EXPECT_EQ(r.GetMatchPos(36), -1);
  EXPECT_EQ(r.GetMatchLen(-1), -1);
  std::string other = "zzz";
  EXPECT_FALSE(r.Exec(other, limit, 1));
  EXPECT_EQ(r.GetMatchCount(), 0);
  EXPECT_EQ(r.GetMatchPos(1), -1);
}

TEST(RegexMatch, SuccessiveSearchesFindEveryMatch) {
  TRegex r;
  r.setExpression("[0-9]+");
  std::string s = "a1 22 333 x4444";
  std::vector<std::string> found;
  int start = 1;
  int limit = 0;
  while (r.Exec(s, limit, start)) {
    found.push_back(s.substr(r.GetMatchPos(0) - 1, r.GetMatchLen(0)));
    start = r.GetMatchPos(0) + std::max(r.GetMatchLen(0), 1);
    limit = 0;
  }
  EXPECT_EQ(found, (std::vector<std::string>{"1", "22", "333", "4444"}));
}

// A match deeper than the backtracking stack is found by the linear
// matcher; without it the search raises instead of crashing.
TEST(RegexMatch, DeepRecursionFindsTheMatchOrRaisesInsteadOfCrashing) {
  std::string subject;
  subject.reserve(2 * 1024 * 1024 + 1);
  for (int i = 0; i < 1024 * 1024; ++i)
    subject += "ab";
  TRegex r;
  r.setExpression("(a|b)*c");
  // Without the c the must-have literal rejects the subject at once.
  int limit = 0;
  EXPECT_FALSE(r.Exec(subject, limit, 1));
  subject += 'c';
  limit = 0;
  ASSERT_TRUE(r.Exec(subject, limit, 1));
  EXPECT_EQ(r.GetMatchLen(0), static_cast<int>(subject.size()));
  EXPECT_EQ(r.GetMatchPos(1), static_cast<int>(subject.size()) - 1);
  r.setLinearMatchForTest(false);
  EXPECT_EQ(execError(r, subject), "Error Stack overflow" + repeatLimit);
  // The object stays usable.
  std::string small = "abc";
  limit = 0;
  EXPECT_TRUE(r.Exec(small, limit, 1));
  EXPECT_EQ(r.GetMatchLen(0), 3);
}

// Nested and chained repeats that fail at the end of the line take time
// doubling per byte, and (.*a)+b time growing with the square of the line,
// unless the linear matcher takes over.
TEST(RegexMatch, RunawayPatternsTakeBoundedSteps) {
  struct Case {
    const char *pattern;
    std::string subject;
  } cases[] = {
      {"(a+)+$", std::string(32, 'a') + "!"},
      {"([a-z]+ ?)+$", "the quick brown fox jumps over the lazy dog and then some!"},
      {"(a|aa)*!$", std::string(40, 'a') + "!!"},
      {"(\\w+\\s?)*;", "one two three four five six seven eight nine ten eleven!;"},
      {"(.*a)+b", "b" + std::string(4000, 'a')},
  };
  for (auto &c : cases) {
    TRegex r;
    r.setExpression(c.pattern);
    r.setStepLimitForTest(200000);
    EXPECT_EQ(execError(r, c.subject), "") << c.pattern;
    // Captures and the last-iteration rule hold in the linear matcher.
    std::string matching = c.subject.substr(0, 20);
    run(c.pattern, matching);
  }
}

// A match that would run for hours (backtracking alone) or long (the linear
// matcher over 200 MB) stops soon after the job is cancelled or the thread's
// deadline passes, quietly, as a cancelled job does.
TEST(RegexMatch, CancellingTheJobStopsALongMatch) {
  const std::string huge = "b" + std::string(200 << 20, 'a');
  const std::string runaway = std::string(60, 'a') + "!";
  struct Case {
    const char *pattern;
    const std::string &subject;
    bool linear;
    bool deadline;
  } cases[] = {{"(a+)+$", runaway, false, false},
               {"(.*a)+b", huge, true, false},
               {"(.*a)+b", huge, true, true}};
  for (const Case &c : cases) {
    marrowen::testing::RecordingJob job;
    CurrentJobScope scope(&job);
    DeadlineScope deadline(c.deadline ? std::chrono::milliseconds(50) : std::chrono::hours(1));
    TRegex r;
    r.setExpression(c.pattern);
    r.setLinearMatchForTest(c.linear, 0, 0);
    std::thread canceller([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (!c.deadline)
        job.terminate();
    });
    auto started = std::chrono::steady_clock::now();
    int limit = 0;
    EXPECT_THROW(r.Exec(c.subject, limit, 1), EAbort) << c.pattern;
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000))
        << c.pattern;
  }
}

TEST(RegexMatch, CorruptedProgramErrors) {
  TRegex none;
  EXPECT_EQ(execError(none, "ab"), "Error No regular expression assigned" + repeatLimit);

  TRegex r;
  r.setExpression("ab");
  r.setProgramByteForTest(0, 0);
  EXPECT_EQ(execError(r, "ab"), "Error Corrupted program" + repeatLimit);

  r.setExpression("xy"); // "ab" again would be taken as unchanged
  r.setExpression("ab");
  r.setProgramByteForTest(4, 99); // the literal's opcode
  EXPECT_EQ(execError(r, "ab"), "Error MatchPrim: Memory corruption" + repeatLimit);

  r.setExpression("a*b");
  r.setProgramByteForTest(7, 6); // STAR's operand becomes a BRANCH
  EXPECT_EQ(execError(r, "ab"), "Error Internal error 4" + repeatLimit);

  r.setExpression("ab|c");
  r.setProgramByteForTest(5, 0); // the literal's next link, before END
  r.setProgramByteForTest(6, 0);
  EXPECT_EQ(execError(r, "ab"), "Error MatchPrim: Corrupted pointers" + repeatLimit);

  r.setExpression("(a)*b");
  r.setProgramByteForTest(22, 0);  // the loop's backward link, before the program's start
  r.setProgramByteForTest(23, 22); // one byte before the start
  EXPECT_EQ(execError(r, "aab"), "Error MatchPrim: Corrupted pointers" + repeatLimit);

  r.setExpression("a");
  r.setProgramByteForTest(5, 0xFF); // a link far past the program's end
  r.setProgramByteForTest(6, 0xFF);
  EXPECT_EQ(execError(r, "a"), "Error MatchPrim: Corrupted pointers" + repeatLimit);
}

TEST(RegexSubstitute, Templates) {
  struct Case {
    const char *pattern;
    std::string subject;
    const char *templateText;
    std::string expected;
  } cases[] = {
      {"(b)", "abc", "$0-$1", "b-b"},
      {"(b)", "abc", "cost $$5", "cost $5"},
      {"(b)", "abc", "$_x", "x"},
      {"(b)", "abc", "a$", "a$"},
      {"(b)", "abc", "$-$ $", "$-$ $"},
      {"(b)", "abc", "", ""},
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)", "abcdefghi", "$9$8-$0", "ih-abcdefghi"},
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "abcdefghijk", "$a$A$b", "jjk"},
      {"(a)|(b)", "b", "[$1][$2]", "[][b]"},
      {"a.b", "a\tb", "$0", "a\\tb"},
      {"...", "\xC8\x05\\", "$0", "\\200\\005\\\\"},
      {"(.*)", "a\0b", "$1", "a"},
  };
  for (const auto &c : cases) {
    TRegex r;
    r.setExpression(c.pattern);
    std::string s = c.subject;
    int limit = 0;
    ASSERT_TRUE(r.Exec(s, limit, 1)) << c.pattern;
    std::string result = "junk";
    r.Substitute(c.templateText, result);
    EXPECT_EQ(result, c.expected) << c.templateText;
  }
}

TEST(RegexSubstitute, UnknownGroupIdentifiers) {
  auto error = [](const char *pattern, const char *templateText) {
    TRegex r;
    r.setExpression(pattern);
    std::string result;
    try {
      r.Substitute(templateText, result);
    } catch (const Exception &e) {
      return e.message();
    }
    return std::string();
  };
  const std::string tail = " (or escape the $ sign using '$$')";
  EXPECT_EQ(error("(b)", "$2"),
            "$2 is not a valid subexpression identifier for this pattern.\r\nThe maximum "
            "allowed subexpression identifier is $1" +
                tail);
  EXPECT_EQ(error("x", "$1"),
            "$1 is not a valid subexpression identifier for this pattern.\r\nThe maximum "
            "allowed subexpression identifier is $0" +
                tail);
  EXPECT_EQ(error("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "$C"),
            "$C is not a valid subexpression identifier for this pattern.\r\nThe maximum "
            "allowed subexpression identifier is $b" +
                tail);
  // Checked before any search: known groups give empty text.
  EXPECT_EQ(error("(b)", "$1$0"), "");
  TRegex none;
  std::string result;
  try {
    none.Substitute("$0", result);
    FAIL();
  } catch (const Exception &e) {
    EXPECT_EQ(e.message(), "No regular expression assigned");
  }
}

// Patterns and subjects from a small alphabet, searched with and without the
// shortcuts: any position a shortcut skipped wrongly shows as a difference.
TEST(RegexMatch, ShortcutsNeverChangeResults) {
  const char *atoms[] = {"a",     "b",      "ab", ".", "[ab]", "[^a]", "\\w", "x",
                         "(a|b)", "(ab|a)", "^",  "$", "(a)",  "\\d",  "ba"};
  const char *quantifiers[] = {"", "", "*", "+", "?"};
  const std::string alphabet = std::string("abx1A\xE9") + '\0' + "ab";
  std::mt19937 random(12345);
  for (int i = 0; i < 3000; ++i) {
    std::string pattern;
    int pieces = 1 + random() % 4;
    for (int k = 0; k < pieces; ++k) {
      pattern += atoms[random() % std::size(atoms)];
      pattern += quantifiers[random() % std::size(quantifiers)];
    }
    maybeAddAlternative(random, pattern, atoms);
    if (!compileError(pattern).empty())
      continue;
    auto [subject, start, limit] = randomSearch(random, alphabet, 40);
    run(pattern, subject, start, limit, random() % 2);
  }
  // The same over text with characters of two to four bytes.
  const char *utf8Atoms[] = {"\u00fc", "[\u00e4\u00fc]", "[^a\u00fc]", "k",     ".",
                             "\\W",    "\u03c3",         "(\u00fc|b)", "\\xBC", "s+"};
  for (int i = 0; i < 2000; ++i) {
    std::string pattern;
    int pieces = 1 + random() % 4;
    for (int k = 0; k < pieces; ++k) {
      pattern += random() % 2 ? atoms[random() % std::size(atoms)]
                              : utf8Atoms[random() % std::size(utf8Atoms)];
      pattern += quantifiers[random() % std::size(quantifiers)];
    }
    if (!compileError(pattern).empty())
      continue;
    const marrowen::testing::SubjectSearch search =
        marrowen::testing::randomSubjectSearch(random, 40);
    run(pattern, search.subject, search.start, search.limit, search.caseSensitive);
  }
}

// A valid multi-byte UTF-8 sequence is one character wherever the engine
// judges one, and no match begins or ends inside it; bytes given by escapes
// stay bytes and match inside one; ignoring case folds as Unicode does.
// run() checks that the plain search, the shortcuts and the linear matcher
// agree on each.
TEST(RegexMatch, Utf8SequencesAreOneCharacter) {
  struct Case {
    const char *pattern;
    const char *subject;
    bool caseSensitive;
    int start;
    const char *expected;
  };
  const Case cases[] = {
      {".", "\u00fc", true, 1, "1:2"},
      {"K..l", "K\u00f6ln", true, 1, "none"},
      {"K.ln", "K\u00f6ln", true, 1, "1:5"},
      {"[^a-z\n]", "k\u00f6ln", true, 1, "2:2"},
      {"\\w+", "Gr\u00fc\u00dfe aus", true, 1, "1:7"},
      {"\\W", "\u00fc\u20ac", true, 1, "3:3"},
      {"[\u00e4\u00f6\u00fc]", "K\u00f6ln", true, 1, "2:2"},
      {"[\u044f-\u0430]+", "\u041f\u0440\u0438", true, 1, "3:4"},
      {"[\u0430-\u044f]+", "\u041f\u0440\u0438", false, 1, "1:6"},
      {"\u00fc.", "\u00dcB", false, 1, "1:3"},
      {"\u03c3\u03af\u03c3", "\u03a3\u038a\u03c2", false, 1, "1:6"},
      {"k+", "\u212ak", false, 1, "1:4"},
      {"[k]", "\u212a", false, 1, "1:3"},
      {"[\u212a]", "k", false, 1, "1:1"},
      {"\u00df", "\u1e9e", false, 1, "1:3"},
      {"\u00e9*x", "\u00e9\u00e9x", true, 1, "1:5"},
      {"(\u00fc|\u00f6)+l", "K\u00f6ln", true, 1, "2:3 2:2"},
      {"a.*b", "a\u00fc\U0001F600b", true, 1, "1:8"},
      // Escaped bytes, alone and in sets, match bytes inside a character.
      {"\\xBC", "\u00fc", true, 1, "2:1"},
      {"\\195\\188", "\u00fc", true, 1, "1:2"},
      {"[\\x80-\\xff]+", "a\u00fcb", true, 1, "2:2"},
      {"[^\\x80-\\xff]", "\u00fca", true, 1, "3:1"},
      // A search that starts inside a character finds no character there.
      {".", "\u00fca", true, 2, "3:1"},
      // \\d is ASCII's digits; Arabic-Indic one is none.
      {"\\d", "\u06612", true, 1, "3:1"},
      // Runs over ASCII that meet a character beyond it: a set or class
      // that takes the character goes on through it and into ASCII again;
      // one that does not stops before its first byte.
      {"[a-z]+", "ab\u00fccd", true, 1, "1:2"},
      {"[^0-9]+", "ab\u00fccd1", true, 1, "1:6"},
      {"\\w+", "ab\u00fc\u20accd", true, 1, "1:4"},
      {"\\W+", "ab\u20ac\u00fc", true, 1, "3:3"},
      {"\\D+x", "a\u00fc\U0001F600x1", true, 1, "1:8"},
      {"[^a]+\u00fcb", "xy\u00fc\u00fcb", true, 1, "1:7"},
      {"AB\\w", "xabc", false, 1, "2:3"},
      // Ignoring case, a literal of ASCII with k or s is looked for by its
      // bytes only where the text is ASCII: beyond it the long s and the
      // Kelvin sign stand for s and k.
      {"selects", "x\u017felect\u017f", false, 1, "2:9"},
      {"quick.*fox", "QUIC\u212a FOX", false, 1, "1:11"},
      {"kitten", "\u212aITTEN", false, 1, "1:8"},
      {"ks", "\u212a\u017f", false, 1, "1:5"},
      {"select", "sele\u212at", false, 1, "none"},
      // Bytes of the code page alone: as before.
      {"\xE9.", "\xE9\xC9", false, 1, "1:2"},
      {"[\xE0-\xFF]+",
       "a\xE9\xFF"
       "b",
       true, 1, "2:2"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(run(c.pattern, c.subject, c.start, 0, c.caseSensitive), c.expected)
        << c.pattern << " on " << c.subject;
}

TEST(RegexMatch, CharacterTablesComeFromTheCodePageAtCompileTime) {
  setSystemCodePage("windows-1251");
  TRegex cyrillic;
  cyrillic.setExpression("\\w+");
  TRegex folded;
  folded.setExpression("\xE0\xE1");
  folded.setCaseSensitive(false);
  setSystemCodePage("windows-1252");
  // Compiled under 1251: its letters and case pairs stay with the pattern.
  std::string word = "\xE0\xFF";
  int limit = 0;
  ASSERT_TRUE(cyrillic.Exec(word, limit, 1));
  EXPECT_EQ(cyrillic.GetMatchLen(0), 2);
  std::string upper = "\xC0\xC1";
  limit = 0;
  EXPECT_TRUE(folded.Exec(upper, limit, 1));
  TRegex western;
  western.setExpression("\\w+");
  std::string sign = "\xB8"; // a letter in 1251, the cedilla in 1252
  limit = 0;
  EXPECT_FALSE(western.Exec(sign, limit, 1));
  limit = 0;
  EXPECT_TRUE(cyrillic.Exec(sign, limit, 1));
}

TEST(RegexMatch, SubjectViewEndsWhereTheViewEnds) {
  const std::string buffer = "abcdef";
  std::string_view view(buffer.data(), 3);
  TRegex r;
  r.setExpression("c$");
  int limit = 0;
  ASSERT_TRUE(r.Exec(view, limit, 1));
  EXPECT_EQ(r.GetMatchPos(0), 3);
  EXPECT_EQ(limit, 3);
  r.setExpression("cd");
  limit = 0;
  EXPECT_FALSE(r.Exec(view, limit, 1));
}

// Patterns compiled on one thread while another swaps the code page keep
// whole table sets: each program holds the set it was compiled with.
TEST(RegexMatch, CompilingWhileTheCodePageChanges) {
  std::atomic<bool> done{false};
  std::thread swapper([&] {
    for (int i = 0; i < 20; ++i)
      setSystemCodePage(i % 2 ? "windows-1252" : "windows-1251");
    done = true;
  });
  int rounds = 0;
  while (!done || rounds < 50) {
    TRegex r;
    r.setExpression("\\w+[a-c]");
    r.setCaseSensitive(false);
    std::string s = "__xyzB";
    int limit = 0;
    ASSERT_TRUE(r.Exec(s, limit, 1));
    EXPECT_EQ(r.GetMatchLen(0), 6);
    ++rounds;
  }
  swapper.join();
  setSystemCodePage("windows-1252");
}

// ---- the matcher against a plain recursive reading of the same program ----

namespace {

// Walks a compiled program exactly as the recursive backtracking matcher is
// described: one call per node chain, BRANCH alternatives in order, STAR and
// PLUS counting their run once and backing off one byte at a time, groups
// set on the way back from a successful match. Slow and simple, so that
// the engine's own stack of choices and its search shortcuts can be checked
// against it.
class ReferenceMatcher {
public:
  ReferenceMatcher(const RegexProgram &program, const std::string &subject, bool ignoreCase)
      : p_(program), s_(subject), ci_(ignoreCase), cp_(*program.codePage) {}

  // 1-based results as in run() above: "pos:len ..." or "none".
  std::string exec(int start, int limit) {
    const int length = static_cast<int>(s_.size());
    if (limit <= 0 || limit > length)
      limit = length;
    if (length < start)
      return "none";
    bol_ = static_cast<std::size_t>(start - 1);
    if (p_.hasMust && !holdsMust())
      return "none";
    if (p_.anchored)
      return attempt(bol_) ? results() : "none";
    for (std::size_t pos = bol_;; ++pos) {
      if (p_.firstChar) {
        while (pos < static_cast<std::size_t>(limit) && fold(at(pos)) != fold(p_.firstChar))
          ++pos;
        if (pos >= static_cast<std::size_t>(limit))
          return "none";
      } else if (pos > bol_ && pos >= static_cast<std::size_t>(limit)) {
        return "none";
      }
      if (attempt(pos))
        return results();
    }
  }

private:
  unsigned char at(std::size_t pos) const {
    return pos < s_.size() ? static_cast<unsigned char>(s_[pos]) : 0;
  }
  unsigned char fold(unsigned char c) const { return ci_ ? cp_.toUpper(c) : c; }
  const unsigned char *operand(std::size_t node) const { return &p_.bytes[node + 3]; }

  // Whether the must-have literal occurs anywhere from the search start to
  // the subject's end, folded as the matcher folds.
  bool holdsMust() const {
    const unsigned char *must = &p_.bytes[p_.mustOffset];
    for (std::size_t q = bol_; q + p_.mustLength <= s_.size(); ++q) {
      std::size_t i = 0;
      while (i < p_.mustLength && fold(at(q + i)) == fold(must[i]))
        ++i;
      if (i == p_.mustLength)
        return true;
    }
    return false;
  }

  bool attempt(std::size_t pos) {
    start_.fill(-1);
    end_.fill(-1);
    input_ = pos;
    if (!matchPrim(1))
      return false;
    start_[0] = static_cast<int>(pos);
    end_[0] = static_cast<int>(input_);
    return true;
  }

  std::string results() const {
    std::string out;
    for (int n = 0; n <= p_.groupCount; ++n) {
      if (n > 0)
        out += ' ';
      out += start_[n] < 0 || end_[n] < 0
                 ? "-"
                 : std::to_string(start_[n] + 1) + ":" + std::to_string(end_[n] - start_[n]);
    }
    return out;
  }

  bool inSet(std::size_t node, unsigned char c) const {
    bool found = false;
    for (const unsigned char *m = operand(node); *m && !found; ++m)
      found = fold(*m) == fold(c);
    return found == (p_.op(node) == regex_op::ANYOF);
  }

  bool oneByte(std::size_t node, unsigned char c) const {
    using namespace regex_op;
    if (c == 0)
      return false;
    switch (p_.op(node)) {
    case ANY:
      return true;
    case EXACTLY:
      return fold(c) == fold(operand(node)[0]);
    case ANYOF:
    case ANYBUT:
      return inSet(node, c);
    case ANYDIGIT:
      return c >= '0' && c <= '9';
    case NOTDIGIT:
      return !(c >= '0' && c <= '9');
    case ANYLETTER:
      return c == '_' || cp_.isLetter(c);
    case NOTLETTER:
      return !(c == '_' || cp_.isLetter(c));
    case ANYSPACE:
      return c == ' ' || c == 9 || c == 10 || c == 13;
    case NOTSPACE:
      return !(c == ' ' || c == 9 || c == 10 || c == 13);
    }
    ADD_FAILURE() << "not a simple node";
    return false;
  }

  // A loop over an empty-width NUL literal recurses without end; the engine
  // gives up with an error there, so the reference stops too.
  bool matchPrim(std::size_t scan) {
    if (++depth_ > 20000)
      throw std::runtime_error("too deep");
    bool matched = walk(scan);
    --depth_;
    return matched;
  }

  bool walk(std::size_t scan) {
    using namespace regex_op;
    while (scan != regexNone) {
      std::uint8_t op = p_.op(scan);
      std::size_t next = p_.next(scan);
      if (op == END)
        return true;
      if (op == BOL) {
        if (input_ != bol_)
          return false;
      } else if (op == EOL) {
        if (at(input_) != 0)
          return false;
      } else if (op == EXACTLY) {
        const unsigned char *o = operand(scan);
        std::size_t length = std::strlen(reinterpret_cast<const char *>(o));
        if (fold(o[0]) != fold(at(input_)))
          return false;
        for (std::size_t i = 1; i < length; ++i)
          if (fold(o[i]) != fold(at(input_ + i)) || at(input_ + i) == 0)
            return false;
        input_ += length;
      } else if (op == NOTHING || op == BACK) {
      } else if (op == BRANCH) {
        if (p_.op(next) != BRANCH) {
          next = scan + 3;
        } else {
          for (; scan != regexNone && p_.op(scan) == BRANCH; scan = p_.next(scan)) {
            std::size_t save = input_;
            if (matchPrim(scan + 3))
              return true;
            input_ = save;
          }
          return false;
        }
      } else if (op == STAR || op == PLUS) {
        int look = p_.op(next) == EXACTLY ? operand(next)[0] : -1;
        std::size_t min = op == PLUS ? 1 : 0;
        std::size_t save = input_;
        std::size_t n = 0;
        while (oneByte(scan + 3, at(save + n)))
          ++n;
        for (std::size_t k = n + 1; k-- > min;) {
          input_ = save + k;
          if ((look < 0 || fold(at(input_)) == fold(static_cast<unsigned char>(look))) &&
              matchPrim(next))
            return true;
        }
        return false;
      } else if (op > OPEN && op <= OPEN + regexMaxGroups) {
        std::size_t save = input_;
        if (!matchPrim(next))
          return false;
        if (start_[op - OPEN] < 0)
          start_[op - OPEN] = static_cast<int>(save);
        return true;
      } else if (op > CLOSE && op <= CLOSE + regexMaxGroups) {
        std::size_t save = input_;
        if (!matchPrim(next))
          return false;
        if (end_[op - CLOSE] < 0)
          end_[op - CLOSE] = static_cast<int>(save);
        return true;
      } else {
        if (!oneByte(scan, at(input_)))
          return false;
        ++input_;
      }
      scan = next;
    }
    ADD_FAILURE() << "chain ends before END";
    return false;
  }

  const RegexProgram &p_;
  const std::string &s_;
  bool ci_;
  const CodePage &cp_;
  std::size_t bol_ = 0;
  std::size_t input_ = 0;
  int depth_ = 0;
  std::array<int, 36> start_{};
  std::array<int, 36> end_{};
};

std::string reference(const std::string &pattern, const std::string &subject, int start, int limit,
                      bool caseSensitive) {
  auto program = compileRegexProgram(pattern, systemCodePage());
  try {
    return ReferenceMatcher(*program, subject, !caseSensitive).exec(start, limit);
  } catch (const std::runtime_error &) {
    return "error";
  }
}

} // namespace

// Random patterns over a small alphabet, nested groups, loops and
// alternations: the engine (with and without its shortcuts) must report the
// same match and groups as the plain recursive reading of the program.
TEST(RegexMatch, AgreesWithAPlainRecursiveMatcher) {
  const char *atoms[] = {"a",     "b",     "ab",     "ba",  ".",    "[ab]", "[^a]", "[a-c]",
                         "\\w",   "\\W",   "\\d",    "\\s", "x",    "A",    "^",    "$",
                         "\\000", "(a|b)", "(ab|a)", "(a)", "(b*)", "(a|)", "\xE9", "\\S"};
  const char *quantifiers[] = {"", "", "", "*", "+", "?"};
  const std::string alphabet = std::string("abx1 AB\xE9\xC9") + '\0' + "ab";
  std::mt19937 random(2024);
  int compared = 0;
  for (int i = 0; i < 6000; ++i) {
    std::string pattern;
    int pieces = 1 + random() % 5;
    for (int k = 0; k < pieces; ++k) {
      if (random() % 6 == 0) {
        // A group of its own pieces, possibly quantified.
        std::string inner = atoms[random() % std::size(atoms)];
        inner += quantifiers[random() % std::size(quantifiers)];
        if (random() % 2)
          inner += "|" + std::string(atoms[random() % std::size(atoms)]);
        pattern += "(" + inner + ")";
      } else {
        pattern += atoms[random() % std::size(atoms)];
      }
      pattern += quantifiers[random() % std::size(quantifiers)];
    }
    maybeAddAlternative(random, pattern, atoms);
    if (!compileError(pattern).empty())
      continue;
    auto [subject, start, limit] = randomSearch(random, alphabet, 24);
    bool caseSensitive = random() % 2;
    std::string expected = reference(pattern, subject, start, limit, caseSensitive);
    std::string found;
    try {
      found = run(pattern, subject, start, limit, caseSensitive);
    } catch (const Exception &) {
      found = "error";
    }
    // A loop over the empty NUL literal never ends; whether a search runs
    // into one depends on which positions the shortcuts let it skip.
    if (found == "error" || expected == "error")
      continue;
    EXPECT_EQ(found, expected) << "pattern " << pattern << " on \""
                               << marrowen::testing::printable(subject) << "\" from " << start
                               << " limit " << limit << (caseSensitive ? "" : " ignoring case");
    ++compared;
  }
  EXPECT_GT(compared, 3000);
}

// Nested patterns of every dialect (the engine's own, Brief's and Word's,
// with its fewest-first runs and word edges) over texts up to 60 bytes,
// searched from anywhere with any limit, anchor and text end: the linear
// matcher, from the first attempt or taking over from a backtracking search
// part of the way through, finds the backtracking matcher's match and
// groups, so no result depends on which matcher finishes a search. Longer
// runs: fuzz/regex_dialects_fuzz.
TEST(RegexMatch, LinearMatcherFindsWhatBacktrackingFinds) {
  using namespace marrowen::testing;
  for (PatternDialect dialect : patternDialects) {
    int compared = 0;
    for (unsigned seed : {6u, 11u}) {
      std::mt19937 random(seed);
      for (int i = 0; i < 3000; ++i) {
        const DialectPattern pattern = randomDialectPattern(random, dialect);
        const SubjectSearch search = randomSubjectSearch(random, 60);
        const auto results = searchEveryWay(pattern, search, random() % 200);
        // Patterns that do not compile; without the linear matcher a loop
        // over the empty NUL literal never ends, and some patterns take
        // exponential time: those raise.
        if (results[0] == "error")
          continue;
        EXPECT_EQ(results[1], results[0]) << describeSearch(dialect, pattern, search);
        EXPECT_EQ(results[2], results[0])
            << "handing over: " << describeSearch(dialect, pattern, search);
        ++compared;
      }
    }
    EXPECT_GT(compared, 2500) << dialectName(dialect);
  }
}

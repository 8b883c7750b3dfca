#include "filters/dialects.h"
#include "filters/regex.h"

#include "classlib/exceptions.h"

#include <gtest/gtest.h>

#include <string>

// The Word-style tokens and the searches over a piece of a longer text: the
// engine's additions for the pattern filters.

namespace marrowen {
namespace {

// The first match of a Word-style pattern, as "position:length", or "none".
std::string firstWordMatch(const std::string &wordPattern, const std::string &subject,
                           bool caseSensitive = true) {
  TRegex engine;
  engine.setWordTokens(true);
  engine.setCaseSensitive(caseSensitive);
  engine.CompileRegex(convertWordPattern(wordPattern));
  int limit = 0;
  if (!engine.Exec(std::string_view(subject), limit, 1))
    return "none";
  return std::to_string(engine.GetMatchPos(0)) + ":" + std::to_string(engine.GetMatchLen(0));
}

TEST(RegexWordTokens, MatchShortestRunsAndWordEdges) {
  struct Case {
    const char *pattern;
    const char *subject;
    const char *expected;
  } cases[] = {
      {"a*b", "aXbYb", "1:3"},      // any run, fewest bytes first
      {"a*", "abc", "1:1"},         // an empty run at the end
      {"lo@t", "lt lot", "4:3"},    // one or more, fewest first
      {"lo@t", "loooot", "1:6"},    //
      {"lo@", "looo", "1:2"},       //
      {"(ab)@c", "xababc", "2:5"},  // a group repeated
      {"(ab)@", "abab", "1:2"},     //
      {"<th*>", "bath the", "6:3"}, // whole words
      {"<th*>", "thin", "1:4"},     //
      {"<th", "a_th th", "6:2"},    // "_" is a word byte
      {"t>", "at_ at", "6:1"},      //
      {"<", "  ", "none"},          //
      {"[!a-z]@", "ab12c", "3:1"},  //
      {"x?z", "x\nz", "1:3"},       // ? is any byte, line ends too
      {"L*T", "lxt", "none"},       // case-sensitive
  };
  for (const auto &c : cases)
    EXPECT_EQ(firstWordMatch(c.pattern, c.subject), c.expected) << c.pattern << " in " << c.subject;
  EXPECT_EQ(firstWordMatch("L*T", "lxt", false), "1:3");
  EXPECT_EQ(firstWordMatch("\xC9@", "\xE9\xE9\xE9", false), "1:1");
}

TEST(RegexWordTokens, BadUseRaisesTheUsualMessages) {
  const std::pair<const char *, const char *> cases[] = {
      {"@", "?+* follows nothing (hint: Meta characters can be escaped with '\\')"},
      {"a@@", "Nested @ are not allowed"},
      {"a@+", "Nested + are not allowed"},
      {"a+@", "Nested @ are not allowed"},
      {"*@", "@ expression can be blank (hint: escape meta characters with '\\')"},
      {"<@", "@ expression can be blank (hint: escape meta characters with '\\')"},
  };
  for (const auto &[pattern, message] : cases) {
    TRegex engine;
    engine.setWordTokens(true);
    try {
      engine.CompileRegex(convertWordPattern(pattern));
      ADD_FAILURE() << pattern << " compiled";
    } catch (const Exception &e) {
      EXPECT_EQ(e.message(), message) << pattern;
    }
  }
}

TEST(RegexWordTokens, OtherDialectsReadTheMarkBytesAsLiterals) {
  TRegex engine;
  engine.CompileRegex("a\\\x01");
  int limit = 0;
  EXPECT_TRUE(engine.Exec(std::string_view("xa\x01"), limit, 1));
  EXPECT_EQ(engine.GetMatchPos(0), 2);
  EXPECT_EQ(engine.dumpProgram().find("LAZY"), std::string::npos);

  TRegex word;
  word.setWordTokens(true);
  word.CompileRegex(convertWordPattern("<a*"));
  EXPECT_NE(word.dumpProgram().find("WORDSTART"), std::string::npos);
  EXPECT_NE(word.dumpProgram().find("LAZYSTAR"), std::string::npos);
}

TEST(RegexPieces, CaretMatchesOnlyAtTheAnchorGiven) {
  TRegex engine;
  engine.CompileRegex("^b");
  std::string_view subject = "abab";
  int limit = 0;
  EXPECT_TRUE(engine.ExecInText(subject, limit, 2, 2, false));
  EXPECT_FALSE(engine.ExecInText(subject, limit, 2, 0, false));
  EXPECT_TRUE(engine.ExecInText(subject, limit, 2, 4, false));
  EXPECT_EQ(engine.GetMatchPos(0), 4);
  // A match must begin before the limit: the anchor at the limit is past it.
  limit = 3;
  EXPECT_FALSE(engine.ExecInText(subject, limit, 2, 4, false));

  TRegex alternation;
  alternation.CompileRegex("x|^b");
  limit = 0;
  EXPECT_FALSE(alternation.ExecInText(subject, limit, 2, 0, false));
  EXPECT_TRUE(alternation.ExecInText(subject, limit, 1, 2, false));
  EXPECT_EQ(alternation.GetMatchPos(0), 2);
}

TEST(RegexPieces, EndMatchesOnlyWhereTheTextEnds) {
  TRegex engine;
  engine.CompileRegex("b$");
  int limit = 0;
  EXPECT_FALSE(engine.ExecInText(std::string_view("ab"), limit, 1, 1, true));
  limit = 0;
  EXPECT_TRUE(engine.ExecInText(std::string_view("ab"), limit, 1, 1, false));
  limit = 0;
  // An embedded NUL ends the text for the matcher either way.
  EXPECT_TRUE(engine.ExecInText(std::string_view("ab\0c", 4), limit, 1, 1, true));

  TRegex word;
  word.setWordTokens(true);
  word.CompileRegex(convertWordPattern("b>"));
  limit = 0;
  EXPECT_FALSE(word.ExecInText(std::string_view("ab"), limit, 1, 1, true));
  limit = 0;
  EXPECT_TRUE(word.ExecInText(std::string_view("ab"), limit, 1, 1, false));
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(RegexWordTokens, SearchShortcutsChangeNoResult) {
  // The engine's shortcuts read the program; nodes they do not know must
  // only make them skip less. The fast engine also runs the linear matcher
  // from the first attempt, which must take the lazy repeats fewest first
  // and find the word edges where the backtracking matcher finds them.
  const char *const patterns[] = {"<a*b>", "a@b",  "*ab", "(ab)@c",  "<[!a ]@>", "b*<a",
                                  "a?*>",  "x|<a", "a*$", "(a|b)@b", "^a*b",     "ab*"};
  std::uint32_t seed = 99;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
  };
  for (const char *pattern : patterns) {
    TRegex fast, plain;
    for (TRegex *engine : {&fast, &plain}) {
      engine->setWordTokens(true);
      engine->CompileRegex(convertWordPattern(pattern));
    }
    plain.setSearchShortcutsForTest(false);
    plain.setLinearMatchForTest(false);
    fast.setLinearMatchForTest(true, 0, 0);
    for (int round = 0; round < 300; ++round) {
      std::string subject;
      std::size_t length = next() % 24;
      for (std::size_t i = 0; i < length; ++i)
        subject += " abx_\n"[next() % 6];
      for (bool goesOn : {false, true}) {
        int limitFast = 0, limitPlain = 0;
        bool found = fast.ExecInText(subject, limitFast, 1, 1, goesOn);
        ASSERT_EQ(found, plain.ExecInText(subject, limitPlain, 1, 1, goesOn))
            << pattern << " in \"" << subject << "\"";
        for (int n = 0; found && n <= plain.groupCount(); ++n) {
          EXPECT_EQ(fast.GetMatchPos(n), plain.GetMatchPos(n)) << pattern << " in " << subject;
          EXPECT_EQ(fast.GetMatchLen(n), plain.GetMatchLen(n)) << pattern << " in " << subject;
        }
      }
    }
  }
}

} // namespace
} // namespace marrowen

#pragma once

// Random search patterns of every dialect the pattern filter reads, for the
// tests and the fuzzer that run the engine's two matchers side by side.

#include "classlib/exceptions.h"
#include "filters/dialects.h"
#include "filters/regex.h"
#include "support/printable.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <string>

namespace marrowen::testing {

// The dialects that reach the regular-expression engine: its own syntax
// (pattern and Perl pattern), Brief's and Word's.
enum class PatternDialect { Engine, Brief, Word };
inline constexpr PatternDialect patternDialects[] = {PatternDialect::Engine, PatternDialect::Brief,
                                                     PatternDialect::Word};

inline const char *dialectName(PatternDialect dialect) {
  switch (dialect) {
  case PatternDialect::Brief:
    return "Brief";
  case PatternDialect::Word:
    return "Word";
  default:
    return "engine";
  }
}

// A pattern as the user typed it and as the engine compiles it.
struct DialectPattern {
  std::string typed;
  std::string expression;
  bool wordTokens = false; // compile with TRegex::setWordTokens
};

namespace detail {

struct PatternSyntax {
  const char *open;
  const char *close;
  const char *const *atoms;
  std::size_t atomCount;
  const char *const *quantifiers;
  std::size_t quantifierCount;
};

// Pieces, groups and alternatives, `depth` levels deep at most; `pick(n)`
// gives a number below n.
template <class Pick> std::string randomBody(Pick &pick, const PatternSyntax &syntax, int depth) {
  std::string pattern;
  for (int pieces = 1 + static_cast<int>(pick(3)); pieces > 0; --pieces) {
    if (depth > 0 && pick(3) == 0) {
      pattern += syntax.open + randomBody(pick, syntax, depth - 1);
      if (pick(2))
        pattern += "|" + randomBody(pick, syntax, depth - 1);
      pattern += syntax.close;
    } else {
      pattern += syntax.atoms[pick(syntax.atomCount)];
    }
    pattern += syntax.quantifiers[pick(syntax.quantifierCount)];
  }
  return pattern;
}

} // namespace detail

// `next()` gives random unsigned numbers (a generator, or bytes a fuzzer
// chose). Atoms and subjects share a few letters, so that most patterns
// match somewhere; NUL, word edges and line ends are in every dialect.
template <class Next>
DialectPattern randomDialectPattern(Next &next, PatternDialect dialect, int depth = 3) {
  auto pick = [&next](std::size_t n) { return static_cast<std::size_t>(next() % n); };
  static const char *const engineAtoms[] = {"a",
                                            "b",
                                            "ab",
                                            "ba",
                                            ".",
                                            "[ab]",
                                            "[^b]",
                                            "[a-c]",
                                            "\\w",
                                            "\\W",
                                            "\\s",
                                            "\\d",
                                            "^",
                                            "$",
                                            "aab",
                                            "x",
                                            "_",
                                            "A",
                                            "\\000",
                                            "()",
                                            "(a|b)",
                                            "\xC9",
                                            "\xE9\xC9",
                                            "[\xE0-\xFF]",
                                            "[^\xE9]",
                                            "\u00fc",
                                            "\u00fcb",
                                            "[\u00e4\u00fc]",
                                            "[^a\u00fc]",
                                            "[\u03b1-\u03c9]",
                                            "\u03c3",
                                            "k",
                                            "s",
                                            "\\xC3",
                                            "[\\x80-\\xBF]",
                                            "\\195\\188"};
  static const char *const engineQuantifiers[] = {"", "", "*", "+", "?"};
  // Brief: ? any byte, @ any run, + a run of one or more, { } a group; a
  // "*" after an atom is the engine's own quantifier.
  static const char *const briefAtoms[] = {
      "a", "b", "ab",  "?",   "@",     "+", "[ab]",   "[^b]",
      "x", "A", "\\?", "\\@", "\\000", "$", "\u00fc", "[\u00e4\u00fc]"};
  static const char *const briefQuantifiers[] = {"", "", "", "*"};
  // Word: ? any byte, * any run, @ the atom again, < > the edges of a word,
  // [!...] a negated set; the engine's groups and "+" pass through.
  static const char *const wordAtoms[] = {
      "a", "b", "ab",    "?", "*",     "<", ">",   "[ab]",   "[!a]",      "[a-c]", "x",
      "_", "A", "\\000", "$", "(a|b)", " ", "\\*", "\u00fc", "[!\u00fc]", "\u03c3"};
  static const char *const wordQuantifiers[] = {"", "", "", "@", "+"};

  DialectPattern result;
  switch (dialect) {
  case PatternDialect::Engine: {
    const detail::PatternSyntax syntax{"(",
                                       ")",
                                       engineAtoms,
                                       std::size(engineAtoms),
                                       engineQuantifiers,
                                       std::size(engineQuantifiers)};
    result.typed = detail::randomBody(pick, syntax, depth);
    result.expression = result.typed;
    break;
  }
  case PatternDialect::Brief: {
    const detail::PatternSyntax syntax{
        "{", "}", briefAtoms, std::size(briefAtoms), briefQuantifiers, std::size(briefQuantifiers)};
    // A first %, < or > anchors the pattern.
    static const char *const starts[] = {"", "", "", "%", "<", ">"};
    result.typed = starts[pick(std::size(starts))] + detail::randomBody(pick, syntax, depth);
    result.expression = convertBriefPattern(result.typed);
    break;
  }
  case PatternDialect::Word: {
    const detail::PatternSyntax syntax{
        "(", ")", wordAtoms, std::size(wordAtoms), wordQuantifiers, std::size(wordQuantifiers)};
    result.typed = detail::randomBody(pick, syntax, depth);
    result.expression = convertWordPattern(result.typed);
    result.wordTokens = true;
    break;
  }
  }
  return result;
}

// One search of a subject, as the pattern filter makes them.
struct SubjectSearch {
  std::string subject;
  int start = 1;
  int limit = 0;
  int anchor = 1;      // where "^" matches; 0 nowhere
  bool goesOn = false; // the text goes on after the subject
  bool caseSensitive = true;
};

// The search run by the backtracking matcher alone, by the linear matcher
// from the first attempt on, and by the backtracking matcher handing over
// to the linear one after `handOverSteps` steps: each "pos:len" of the
// match and of every group and a template of every group substituted,
// "none", or "error" (a pattern that does not compile, or a search that
// raises). The backtracking matcher gives up after a bounded number of
// steps, so exponential patterns give "error".
inline std::array<std::string, 3> searchEveryWay(const DialectPattern &pattern,
                                                 const SubjectSearch &search,
                                                 std::size_t handOverSteps) {
  std::array<std::string, 3> results;
  for (std::size_t way = 0; way < results.size(); ++way) {
    TRegex engine;
    engine.setWordTokens(pattern.wordTokens);
    engine.setCaseSensitive(search.caseSensitive);
    engine.setStepLimitForTest(200000);
    if (way == 0)
      engine.setLinearMatchForTest(false);
    else
      engine.setLinearMatchForTest(true, way == 1 ? 0 : handOverSteps, 0);
    std::string &out = results[way];
    try {
      engine.CompileRegex(pattern.expression);
      int limit = search.limit;
      if (!engine.ExecInText(search.subject, limit, search.start, search.anchor, search.goesOn)) {
        out = "none";
        continue;
      }
    } catch (const Exception &) {
      out = "error";
      continue;
    }
    std::string groups;
    for (int n = 0; n <= engine.groupCount(); ++n) {
      out +=
          std::to_string(engine.GetMatchPos(n)) + ":" + std::to_string(engine.GetMatchLen(n)) + " ";
      groups += "$" + std::string(1, "0123456789abcdefghijklmnopqrstuvwxyz"[n]) + "|";
    }
    std::string substituted;
    engine.Substitute(groups, substituted);
    out += substituted;
  }
  return results;
}

// A subject of fewer than `lengths` bytes drawn from the atoms' letters in
// both cases, a word edge, a line end, high letters in both cases of the
// code page (\xFF's capital is \x9F) and, in half of them, NUL (so that
// patterns looking for one meet the end of the text in the others); a start
// within it, any limit and anchor, a case mode.
template <class Next> SubjectSearch randomSubjectSearch(Next &next, unsigned lengths) {
  // Bytes of the code page, and in half of the subjects characters beyond
  // ASCII in UTF-8 (of two to four bytes, in both cases, the Kelvin sign
  // and long s that fold to ASCII letters) and a stray continuation byte.
  static const char *const pieces[] = {
      "a",      "a",          "b",      "b",      "x",      "A",      " ",
      "_",      "1",          "\n",     "\xE9",   "\xC9",   "\xFF",   "\x9F",
      "\u00fc", "\u00dc",     "\u00e4", "\u03c3", "\u03a3", "\u03c2", "\u212a",
      "\u017f", "\U0001F600", "\xBC",   "\u044f", "\u0301", "\u00bc", "\u00c3"};
  constexpr std::size_t codePagePieces = 14;
  const std::size_t kinds = next() % 2 ? std::size(pieces) : codePagePieces;
  const bool withNul = next() % 2;
  SubjectSearch search;
  const unsigned length = next() % lengths;
  for (unsigned k = 0; k < length && search.subject.size() < length; ++k) {
    if (withNul && next() % 15 == 0)
      search.subject += '\0';
    else
      search.subject += pieces[next() % kinds];
  }
  const unsigned size = static_cast<unsigned>(search.subject.size());
  search.start = 1 + static_cast<int>(size ? next() % size : 0);
  search.limit = static_cast<int>(next() % (size + 2));
  search.anchor = next() % 3 == 0 ? 0 : search.start + static_cast<int>(next() % 3);
  search.goesOn = next() % 4 == 0;
  search.caseSensitive = next() % 2;
  return search;
}

// The pattern and the search, for a failure message.
inline std::string describeSearch(PatternDialect dialect, const DialectPattern &pattern,
                                  const SubjectSearch &search) {
  std::string text = std::string(dialectName(dialect)) + " pattern \"" + pattern.typed +
                     "\" on \"" + printable(search.subject) + "\" from " +
                     std::to_string(search.start) + " limit " + std::to_string(search.limit) +
                     " anchor " + std::to_string(search.anchor);
  if (search.goesOn)
    text += ", text goes on";
  if (!search.caseSensitive)
    text += ", ignoring case";
  return text;
}

} // namespace marrowen::testing

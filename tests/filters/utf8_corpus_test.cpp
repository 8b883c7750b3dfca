// Every filter that judges or changes characters over UTF-8 text in many
// languages and over Windows-1252 text: UTF-8 comes out valid however the
// read loop cuts it, upper and lower case agree with Python's full case
// mapping, and text without a valid multi-byte sequence comes out byte for
// byte as the code page alone makes it.

#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "filters/casefilters.h"
#include "filters/charfilters.h"
#include "filters/codepagefilters.h"
#include "filters/concordance.h"
#include "filters/exactsearch.h"
#include "filters/fuzzysearch.h"
#include "filters/headtail.h"
#include "filters/layoutfilters.h"
#include "filters/linebuffer.h"
#include "filters/linefilters.h"
#include "filters/mailfilters.h"
#include "filters/patternfilters.h"
#include "filters/ranges.h"
#include "filters/selected_run.h"
#include "filters/widthfilters.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"
#include "support/utf8_corpus.h"

#include <gtest/gtest.h>

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>

namespace marrowen {
namespace {

using testing::factory;
using testing::FilterFactory;
using testing::runInChunks;
using testing::withBracketRun;

struct Named {
  const char *name;
  FilterFactory make;
};

std::vector<Named> characterFilters() {
  return {
      {"upper", factory<TConvertToUpperCase>()},
      {"lower", factory<TConvertToLowerCase>()},
      {"title", factory<TConvertToTitleCase>()},
      {"sentence", factory<TConvertToSentenceCase>()},
      {"toggle", factory<TConvertToToggleCase>()},
      {"word list", factory<TTextToWordList>()},
      {"reverse each line", factory<TReverseEachLine>()},
      {"remove HTML", factory<TRemoveHTML>()},
      {"remove multiple whitespace", factory<TRemoveMultipleWhitespace>()},
      {"remove blanks at line start", factory<TRemoveBlanksFromSOL>()},
      {"remove blanks at line end", factory<TRemoveBlanksFromEOL>()},
      {"resolve backspaces", factory<TResolveBackspaces>()},
      {"remove backspaces", factory<TRemoveBackspaces>()},
      {"remove ANSI codes", factory<TRemoveANSIcolour>()},
      {"e-mails", factory<TExtractEmails>()},
      {"URLs", factory<TExtractURLs>()},
      {"rot13", factory<TROT13>()},
      {"tabs to spaces", factory<TTabsToSpaces>(3)},
      {"spaces to tabs", factory<TSpacesToTabs>(3)},
      {"word wrap", factory<TWordWrap>(7)},
      {"concordance",
       factory<TWordConcordance>(1, 1, std::string("%s %d %s"),
                                 std::vector<std::string>{"straße", "οδος", "ёлка", "istanbul"})},
  };
}

TEST(Utf8Corpus, EveryCharacterFilterWritesValidUtf8HoweverTheTextIsCut) {
  const std::string corpus = testing::utf8Corpus();
  ASSERT_TRUE(utf8::isValid(corpus));
  for (const Named &filter : characterFilters()) {
    std::string whole;
    EXPECT_TRUE(testing::isChunkInvariant(filter.make, corpus, &whole)) << filter.name;
    EXPECT_TRUE(utf8::isValid(whole)) << filter.name;
    EXPECT_FALSE(whole.empty()) << filter.name;
  }
  // Random case: whole characters, some raised and some lowered.
  const std::string random = runInChunks(factory<TConvertToRandomCase>(), corpus, 7);
  EXPECT_TRUE(utf8::isValid(random));
  const auto tables = charTables();
  EXPECT_NE(random, utf8::lowerCase(corpus, *tables));
  EXPECT_NE(random, utf8::upperCase(corpus, *tables));
}

TEST(Utf8Corpus, CaseAndUnicodeConversionAgreeWithPython) {
  const std::string corpus = testing::utf8Corpus();
  const auto upper = testing::pythonOutput(testing::pythonTextProgram("t.upper()"), corpus);
  if (!upper)
    GTEST_SKIP() << "python3 cannot be run here: the comparison with its case mapping is skipped";
  const auto lower = testing::pythonOutput(testing::pythonTextProgram("t.lower()"), corpus);
  const auto utf16 =
      testing::pythonOutput("import sys\nsys.stdout.buffer.write(sys.stdin.buffer.read()"
                            ".decode('utf-8').encode('utf-16-le'))",
                            corpus);
  ASSERT_TRUE(lower && utf16);
  for (std::size_t cut : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
    EXPECT_EQ(runInChunks(factory<TConvertToUpperCase>(), corpus, cut), *upper) << cut;
    EXPECT_EQ(runInChunks(factory<TConvertToLowerCase>(), corpus, cut), *lower) << cut;
    EXPECT_EQ(runInChunks(factory<TANSItoUnicode>(), corpus, cut), *utf16) << cut;
  }
}

// What the eye sees as one letter, found by ICU's own C++ iterator in UTF-8
// text (in text that is not UTF-8, every byte alone but CR LF): each
// letter's bytes and the characters it holds.
struct Letters {
  std::vector<std::string> bytes;
  std::vector<std::size_t> characters;

  explicit Letters(std::string_view text) {
    if (!utf8::isValid(text)) {
      for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t n = text.substr(i, 2) == "\r\n" ? 2 : 1;
        bytes.emplace_back(text.substr(i, n));
        characters.push_back(n);
        i += n - 1;
      }
      return;
    }
    const icu::UnicodeString units = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    it->setText(units);
    for (int32_t start = 0, end = it->next(); end != icu::BreakIterator::DONE;
         start = end, end = it->next()) {
      const icu::UnicodeString letter = units.tempSubStringBetween(start, end);
      bytes.emplace_back();
      letter.toUTF8String(bytes.back());
      characters.push_back(static_cast<std::size_t>(letter.countChar32()));
    }
  }
  std::size_t size() const { return bytes.size(); }
  std::string join(std::size_t from, std::size_t to) const {
    std::string out;
    for (std::size_t k = from; k < to; ++k)
      out += bytes[k];
    return out;
  }
  // How many letters from the start fit whole within `limit` characters.
  std::size_t fitting(std::size_t limit) const {
    std::size_t k = 0;
    for (std::size_t used = 0; k < size() && used + characters[k] <= limit; ++k)
      used += characters[k];
    return k;
  }
  // The first letter of the last ones that fit whole within `limit`.
  std::size_t lastFitting(std::size_t limit) const {
    std::size_t k = size();
    for (std::size_t used = 0; k > 0 && used + characters[k - 1] <= limit; --k)
      used += characters[k - 1];
    return k;
  }
  // The first letter that begins at or after character `at`.
  std::size_t from(std::size_t at) const {
    std::size_t k = 0;
    for (std::size_t before = 0; k < size() && before < at; ++k)
      before += characters[k];
    return k;
  }
  std::size_t total() const {
    return std::accumulate(characters.begin(), characters.end(), std::size_t{0});
  }
};

std::string asciiUpper(std::string text) {
  for (char &c : text)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
  return text;
}

// The widths, columns and reversal count characters as `wc -m` does and
// never split what the eye sees as one letter: over UTF-8 lines in many
// languages (letters with combining marks, flags, emoji with skin tones,
// conjuncts) and over Windows-1252 lines, each filter's output, however the
// text is cut, is what a model over ICU's letters makes of each line.
TEST(Utf8Corpus, WidthsColumnsAndReversalKeepLettersWhole) {
  std::vector<std::string> lines = testing::utf8CorpusLines();
  lines.push_back("Flags \xf0\x9f\x87\xa9\xf0\x9f\x87\xaa\xf0\x9f\x87\xab\xf0\x9f\x87\xb7 "
                  "family \xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7 "
                  "a\xcc\x81\xcc\x82\xcc\x83"
                  "b");
  const std::string windows1252 = testing::windows1252HighBytes();
  for (std::size_t start = 0, end; start < windows1252.size(); start = end + 2) {
    end = std::min(windows1252.find("\r\n", start), windows1252.size());
    lines.push_back(windows1252.substr(start, end - start));
  }
  const std::string inserted = "|\xc3\xbc|";
  struct Case {
    std::string name;
    FilterFactory make;
    std::function<std::string(const Letters &)> expected;
  };
  auto spaces = [](std::size_t n) { return std::string(n, ' '); };
  std::vector<Case> cases = {
      {"pad", factory<TPadLines>(40),
       [&](const Letters &l) {
         return l.join(0, l.size()) + spaces(l.total() < 40 ? 40 - l.total() : 0);
       }},
      {"force", factory<TForceLineWidth>(12),
       [&](const Letters &l) {
         const std::string kept = l.join(0, l.fitting(12));
         return kept + spaces(12 - utf8::characterCount(kept));
       }},
      {"truncate", factory<TTruncateWidth>(7),
       [&](const Letters &l) { return l.join(0, l.fitting(7)); }},
      {"centre", factory<TCentreLines>(50),
       [&](const Letters &l) {
         return spaces(l.total() < 50 ? (50 - l.total()) / 2 : 0) + l.join(0, l.size());
       }},
      {"right-justify", factory<TRightJustifyLines>(50),
       [&](const Letters &l) {
         return spaces(l.total() < 50 ? 50 - l.total() : 0) + l.join(0, l.size());
       }},
      {"reverse", factory<TReverseEachLine>(),
       [&](const Letters &l) {
         std::string out;
         for (std::size_t k = l.size(); k-- > 0;)
           out += l.bytes[k];
         return out;
       }},
  };
  for (int column : {-3, 0, 5, 100}) {
    cases.push_back({"insert column " + std::to_string(column),
                     factory<TInsertColumn>(column, inserted), [=](const Letters &l) {
                       const auto length = static_cast<std::int64_t>(l.total());
                       const std::int64_t at = column < 1
                                                   ? std::max<std::int64_t>(column + length, 0)
                                               : column > length ? length
                                                                 : column - 1;
                       const std::size_t k = l.from(static_cast<std::size_t>(at));
                       return l.join(0, k) + inserted + l.join(k, l.size());
                     }});
  }
  for (int method = 0; method <= 4; ++method) {
    const LocateRange range{method, method == 4 ? 9 : 4, method == 0 ? 9 : 3};
    // The columns of the range (from 0) in characters, cut to the line.
    auto columns = [range](const Letters &l) {
      const auto len = static_cast<std::int64_t>(l.total());
      const std::int64_t a = range.a, b = range.b;
      std::int64_t start = a, count = b;
      if (range.method == 0)
        count = b - a + 1;
      if (range.method == 2 || range.method == 4)
        start = len - a;
      if (range.method == 3)
        count = (len - b) - (a - 1);
      if (range.method == 4)
        count = (len - b) - start + 1;
      if (start < 1) {
        count += start - 1;
        start = 1;
      }
      const std::int64_t first = std::min(start - 1, len);
      const std::int64_t last = first + std::min(std::max<std::int64_t>(count, 0), len - first);
      const std::size_t begin = l.from(static_cast<std::size_t>(first));
      return std::pair(begin, std::max(begin, l.from(static_cast<std::size_t>(last))));
    };
    cases.push_back({"remove columns " + std::to_string(method), factory<TRemoveColumns>(range),
                     [=](const Letters &l) {
                       const auto [begin, end] = columns(l);
                       return l.join(0, begin) + l.join(end, l.size());
                     }});
    cases.push_back({"select columns " + std::to_string(method),
                     withBracketRun<TSelectColumns>(range), [=](const Letters &l) {
                       const auto [begin, end] = columns(l);
                       return l.join(0, begin) + "[" + asciiUpper(l.join(begin, end)) + "]" +
                              l.join(end, l.size());
                     }});
  }
  for (const Case &c : cases) {
    std::string text, expected;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string lineEnd = i % 2 ? "\r\n" : "\n";
      text += lines[i] + lineEnd;
      expected += c.expected(Letters(lines[i])) + lineEnd;
    }
    std::string whole;
    EXPECT_TRUE(testing::isChunkInvariant(c.make, text, &whole)) << c.name;
    EXPECT_EQ(whole, expected) << c.name;
  }
}

// Keeping or dropping the first or last N characters of UTF-8 text in many
// languages and of Windows-1252 text, however the read loop cuts it: at most
// N characters kept, never half a letter, and what is kept and what is
// dropped make up the whole text.
TEST(Utf8Corpus, HeadAndTailCountCharactersAndKeepLettersWhole) {
  std::mt19937 random(67);
  for (const std::string &text : {testing::utf8Corpus(), testing::windows1252HighBytes()}) {
    const Letters letters(text);
    std::vector<int> counts = {0,
                               1,
                               2,
                               4095,
                               4097,
                               static_cast<int>(letters.total()),
                               static_cast<int>(letters.total()) + 3};
    // Counts that end within a letter of several characters.
    for (std::size_t k = 0, before = 0; k < letters.size(); before += letters.characters[k++])
      if (letters.characters[k] > 1 && counts.size() < 14)
        counts.push_back(static_cast<int>(before + 1));
    counts.push_back(static_cast<int>(random() % letters.total()));
    for (int count : counts) {
      const std::size_t head = letters.fitting(static_cast<std::size_t>(count));
      const std::size_t tail = letters.lastFitting(static_cast<std::size_t>(count));
      const std::pair<FilterFactory, std::string> expected[] = {
          {factory<TIncludeExcludeBytesFromStart>(count, true), letters.join(0, head)},
          {factory<TIncludeExcludeBytesFromStart>(count, false),
           letters.join(head, letters.size())},
          {factory<TIncludeExcludeBytesFromEnd>(count, true), letters.join(tail, letters.size())},
          {factory<TIncludeExcludeBytesFromEnd>(count, false), letters.join(0, tail)},
      };
      for (std::size_t i = 0; i < std::size(expected); ++i) {
        std::string whole;
        EXPECT_TRUE(testing::isChunkInvariant(expected[i].first, text, &whole))
            << count << " " << i;
        EXPECT_EQ(whole, expected[i].second) << count << " " << i;
      }
    }
  }
}

// A whole-word, edit-distance or sounds-like search takes a combining mark
// as part of its word: a decomposed "café" neither holds the word "cafe"
// nor loses its accent to a replacement.
TEST(Utf8Corpus, WordSearchesTakeCombiningMarksWithTheirWord) {
  // ' is an acute accent, , a cedilla and : a diaeresis, each written apart
  // from its letter.
  const auto decomposed = [](std::string text) {
    std::string out;
    for (char c : text)
      out += c == '\''  ? "\xcc\x81"
             : c == ',' ? "\xcc\xa7"
             : c == ':' ? "\xcc\x88"
                        : std::string(1, c);
    return out;
  };
  // Repeated past the search's buffer, so that a word and the marks before
  // it come to lie on either side of what it has handed on.
  const auto repeated = [&](const std::string &phrase) {
    std::string out;
    for (std::size_t i = 0; i < 300; ++i)
      out += std::string(i % 13, ' ') + decomposed(phrase);
    return out;
  };
  const std::string text = repeated("Cafe' cafe cafe,s nai:ve naive e',:cafe 'cafe.");
  const std::pair<FilterFactory, std::string> searches[] = {
      {[] {
         return std::make_unique<TSearchFilter>("cafe", "X", true, true, false, false, false,
                                                false);
       },
       repeated("Cafe' X cafe,s nai:ve naive e',:cafe 'X.")},
      {[] {
         return std::make_unique<TRegExpFilter>("caf.", "X", false, true, false, false, false,
                                                false, false, false, false, 4096,
                                                TPatternType::Pattern);
       },
       repeated("Cafe' X cafe,s nai:ve naive e',:cafe 'X.")},
      {[] {
         return std::make_unique<TEditDistance>("cafe", "X", false, false, false, false, false, 0);
       },
       repeated("Cafe' X cafe,s nai:ve naive e',:cafe 'X.")},
      {[] {
         return std::make_unique<TEditDistance>("naive", "X", false, false, false, false, false, 1);
       },
       repeated("Cafe' cafe cafe,s X X e',:cafe 'cafe.")},
      {[] {
         return std::make_unique<TSoundexSearchReplace>("cafe", "X", false, false, false, false);
       },
       repeated("X X cafe,s nai:ve naive e',:cafe 'X.")},
  };
  for (std::size_t i = 0; i < std::size(searches); ++i) {
    std::string whole;
    EXPECT_TRUE(testing::isChunkInvariant(searches[i].first, text, &whole)) << i;
    EXPECT_EQ(whole, searches[i].second) << i;
  }
}

// The byte-wise algorithms over the code page's tables alone, as they were
// before UTF-8 text was read as characters.
std::string byteTitleCase(const std::string &text, const CodePage &t, bool sentence) {
  std::string out = text;
  int state = 0;
  for (char &ch : out) {
    auto c = static_cast<unsigned char>(ch);
    if (state == 0) {
      if (t.isLetter(c)) {
        ch = static_cast<char>(t.toUpper(c));
        state = 1;
      }
    } else if (sentence) {
      if (std::string_view("!\"'(.:<?").find(ch) != std::string_view::npos)
        state = 0;
    } else {
      ch = static_cast<char>(t.toLower(c));
      if (!t.isWordChar(t.toLower(c)))
        state = 0;
    }
  }
  return out;
}

std::string byteWordList(const std::string &text, const CodePage &t) {
  std::string out, word;
  for (unsigned char c : text) {
    if (word.empty()) {
      if (t.isLetter(c))
        word = static_cast<char>(c);
    } else if (t.isWordChar(c)) {
      word += static_cast<char>(c);
    } else {
      out += word + "\r\n";
      word.clear();
    }
  }
  return word.empty() ? out : out + word + "\r\n";
}

TEST(Utf8Corpus, Windows1252TextComesOutAsTheCodePageMakesItByteForByte) {
  const std::string text = testing::windows1252HighBytes();
  ASSERT_FALSE(utf8::hasSequence(text));
  const auto tables = charTables();
  const CodePage &t = *tables;
  auto mapped = [&text](const std::array<unsigned char, 256> &map) {
    std::string out = text;
    for (char &c : out)
      c = static_cast<char>(map[static_cast<unsigned char>(c)]);
    return out;
  };
  std::array<unsigned char, 256> toggle{};
  for (int b = 0; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    toggle[b] = t.toUpper(c) == c ? t.toLower(c) : t.toUpper(c);
  }
  std::string reversed, unicode;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find("\r\n", start);
    std::string line = text.substr(start, end - start);
    reversed += std::string(line.rbegin(), line.rend()) + (end == std::string::npos ? "" : "\r\n");
    start = end == std::string::npos ? text.size() : end + 2;
  }
  for (unsigned char c : text)
    unicode += {static_cast<char>(t.toUnicode(c) & 0xFF), static_cast<char>(t.toUnicode(c) >> 8)};
  const std::pair<FilterFactory, std::string> expected[] = {
      {factory<TConvertToUpperCase>(), mapped(t.upperMap())},
      {factory<TConvertToLowerCase>(), mapped(t.lowerMap())},
      {factory<TConvertToToggleCase>(), mapped(toggle)},
      {factory<TConvertToTitleCase>(), byteTitleCase(text, t, false)},
      {factory<TConvertToSentenceCase>(), byteTitleCase(text, t, true)},
      {factory<TTextToWordList>(), byteWordList(text, t)},
      {factory<TReverseEachLine>(), reversed},
      {factory<TANSItoUnicode>(), unicode},
  };
  for (std::size_t i = 0; i < std::size(expected); ++i)
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{4096}})
      EXPECT_EQ(runInChunks(expected[i].first, text, cut), expected[i].second)
          << "filter " << i << ", cut " << cut;
  EXPECT_TRUE(isMixedCaseText(text));
  EXPECT_EQ(matchCase("W\xe9", "\xe0\xe9z"), "\xc0\xe9z");
}

// A question shows whole characters around the match, and the texts a
// replacement works on stay whole, wherever the matches and the read loop's
// cuts fall in UTF-8 text of many languages.
TEST(Utf8Corpus, ReplaceQuestionsShowWholeCharacters) {
  const std::string corpus = testing::utf8Corpus();
  const std::pair<const char *, FilterFactory> searches[] = {
      {"exact",
       [] {
         return std::make_unique<TSearchFilter>(" ", "_", false, false, false, true, false, false);
       }},
      {"pattern",
       [] {
         return std::make_unique<TRegExpFilter>("[,.:]", "\\n", true, false, false, true, false,
                                                false, false, false, false, 4096,
                                                TPatternType::Pattern);
       }},
      {"edit distance",
       [] {
         return std::make_unique<TEditDistance>("и", "и", false, true, true, false, false, 1);
       }},
  };
  std::mt19937 random(56);
  std::deque<Answer> answers;
  for (int k = 0; k < 4000; ++k)
    answers.push_back(random() % 2 ? Answer::Replace : Answer::Skip);
  for (const auto &[name, make] : searches) {
    std::string first;
    for (std::size_t cut :
         {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{random() % 300 + 2}}) {
      testing::RecordingJob job;
      job.replaceAnswers = answers;
      const std::string output = runInChunks(make, corpus, cut, {&job});
      EXPECT_TRUE(utf8::isValid(output)) << name << " cut " << cut;
      // The same answers to the same questions, however the text is cut.
      if (first.empty())
        first = output;
      EXPECT_EQ(output, first) << name << " cut " << cut;
      ASSERT_FALSE(job.replaceQuestions.empty()) << name;
      for (const QueryReplaceRequest &question : job.replaceQuestions) {
        for (const std::string *text :
             {&question.textBefore, &question.found, &question.textAfter, &question.replacement})
          ASSERT_TRUE(utf8::isValid(*text))
              << name << " cut " << cut << ": " << testing::printable(*text);
        EXPECT_LE(question.textBefore.size(), 200u);
        EXPECT_LE(question.textAfter.size(), 200u);
      }
    }
  }
}

// The corpus, then pieces of addresses with letters beyond ASCII in and
// around them, in a seeded random order.
std::string addressText() {
  const char *pieces[] = {"müller", "jörg",  "xÄy",     "ann",  "b_c",        "x.de", "münchen",
                          "@",      "@",     ".",       " ",    ",",          "\n",   "\r\n",
                          "字",     "😀",     "e\u0301", "٣",    "ß",          "<",    "\"",
                          "-",      "ωmega", "a@b.c",   "über", "Cafe\u0301", "9"};
  std::string text = testing::utf8Corpus();
  std::mt19937 random(67);
  for (int k = 0; k < 6000; ++k)
    text += pieces[random() % std::size(pieces)];
  return text;
}

// Python's reading of the rules for an address: a letter, digit or "_" not
// directly after a letter, digit or mark starts one; it runs on over the
// ASCII characters an address may hold before and after its "@"; one that a
// letter, digit or mark ends, or that has no "." after its "@", is not
// written.
const char *const addressModel = R"py(import sys, unicodedata
t = sys.stdin.buffer.read().decode("utf-8")
def word(c):
    return c.isalpha() or c.isdigit() or c == "_" or unicodedata.category(c)[0] == "M"
def starts(c):
    return c.isalpha() or c.isdigit() or c == "_"
def span(a, b):
    return {chr(x) for x in range(ord(a), ord(b) + 1)}
local = span("!", "+") | {"-", "."} | span("0", ":") | span("?", "Z") | span("^", "\x7f")
domain = span("!", "\x7f") - set("\"'(),/;<=>[\\]`")
out, state, cur, after = [], 0, "", False
def end(c):
    global after, state
    after = word(c)
    if not after and "." in cur.split("@", 1)[1]:
        out.append(cur)
    state = 0
for c in t:
    if state == 0:
        if starts(c) and not after:
            cur, state = c, 1
        after = word(c)
    elif state == 1:
        if c == "@":
            cur, state = cur + c, 2
        elif c in local:
            cur += c
        else:
            state, after = 0, word(c)
    elif c in domain:
        cur += c
    else:
        end(c)
if state == 2:
    end(" ")
sys.stdout.buffer.write("".join(a + "\r\n" for a in out).encode("utf-8"))
)py";

TEST(Utf8Corpus, AddressesAreThoseOfTheRulesWithLettersBeyondAsciiAroundThem) {
  const std::string text = addressText();
  const auto expected = testing::pythonOutput(addressModel, text);
  if (!expected)
    GTEST_SKIP() << "python3 cannot be run here: the comparison is skipped";
  std::string whole;
  EXPECT_TRUE(testing::isChunkInvariant(factory<TExtractEmails>(), text, &whole));
  EXPECT_EQ(whole, *expected);
  EXPECT_GE(std::count(whole.begin(), whole.end(), '\n'), 20);
  EXPECT_TRUE(utf8::isValid(whole));
}

// Lines of the corpus, and lines that differ only in their first characters
// (of one to four bytes each), in a seeded random order.
std::string duplicateText() {
  const char *heads[] = {"a", "b", "é", "字", "😀", "0", "ä", "ö"};
  const auto &lines = testing::utf8CorpusLines();
  std::string text = testing::utf8Corpus();
  std::mt19937 random(3);
  for (int k = 0; k < 3000; ++k) {
    std::string line;
    for (int n = 0; n < 3; ++n)
      line += heads[random() % std::size(heads)];
    text += line + (random() % 4 ? "X" : lines[random() % 3]) + (k % 2 ? "\n" : "\r\n");
  }
  return text;
}

// Sort by length against Python's len() (the line with its line end; equal
// lengths later lines first, one line each with duplicates removed), and
// duplicate lines ignoring leading characters, removed and counted.
TEST(Utf8Corpus, LengthsAndLeadingCharactersAreCountedAsPythonCountsThem) {
  const std::string text = duplicateText();
  const std::string lines = R"py(import sys, re
t = sys.stdin.buffer.read().decode("utf-8")
lines = [a + b for a, b in re.findall(r"([^\r\n]*)(\r\n|\r|\n)", t)]
bare = re.findall(r"([^\r\n]*)(\r\n|\r|\n)", t)
)py";
  const std::string sorts = lines + R"py(out = []
for unique in (False, True):
    order = sorted(range(len(lines)), key=lambda i: (len(lines[i]), -i))
    if unique:
        first = {}
        for i, line in enumerate(lines):
            first.setdefault(len(line), i)
        order = sorted(first.values(), key=lambda i: len(lines[i]))
    for descending in (False, True):
        out.append("".join(lines[i] for i in (order[::-1] if descending else order)))
sys.stdout.buffer.write("\0".join(out).encode("utf-8"))
)py";
  const auto sorted = testing::pythonOutput(sorts, text);
  if (!sorted)
    GTEST_SKIP() << "python3 cannot be run here: the comparison is skipped";
  std::vector<std::string> expected(1);
  for (char c : *sorted)
    if (c)
      expected.back().push_back(c);
    else
      expected.emplace_back();
  ASSERT_EQ(expected.size(), 4u);
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(testing::expectChunkInvariant(factory<TSortLines>(k % 2 == 1, 5, k >= 2), text),
              expected[k])
        << "descending " << k % 2 << ", remove duplicates " << (k >= 2);
  for (int leading : {1, 3}) {
    const std::string duplicates = lines + "n = " + std::to_string(leading) + R"py(
removed, counted, previous, repeats = [], [], None, 0
for line, end in bare:
    if previous is None or line[n:] != previous[n:]:
        removed.append(line + end)
        if repeats:
            counted.append(previous + " " + str(repeats + 1) + end)
        repeats = 0
    else:
        repeats += 1
    previous = line
if repeats:
    counted.append(previous + " " + str(repeats + 1))
sys.stdout.buffer.write(("".join(removed) + "\0" + "".join(counted)).encode("utf-8"))
)py";
    const auto model = testing::pythonOutput(duplicates, text);
    ASSERT_TRUE(model);
    const std::size_t split = model->find('\0');
    EXPECT_EQ(testing::expectChunkInvariant(factory<TRemoveDuplicateLines>(false, leading), text),
              model->substr(0, split))
        << "ignore leading " << leading;
    const std::string counted =
        testing::expectChunkInvariant(factory<TShowDuplicateLines>(false, leading), text);
    EXPECT_EQ(counted, model->substr(split + 1)) << "ignore leading " << leading;
    EXPECT_TRUE(utf8::isValid(counted));
  }
}

} // namespace
} // namespace marrowen

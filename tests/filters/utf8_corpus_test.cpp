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

#include <deque>
#include <map>
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

// `line` with each character that is not ASCII (a valid UTF-8 sequence, or
// a byte outside one) written as one ASCII byte that `line` and `reserved`
// do not hold, and the characters those bytes stand for.
std::pair<std::string, std::map<char, std::string>> oneBytePerCharacter(std::string_view line,
                                                                        std::string_view reserved) {
  std::string stand;
  std::map<char, std::string> meaning;
  std::map<std::string, char> chosen;
  char next = 1;
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t n = utf8::characterLength(line.substr(i));
    const std::string character(line.substr(i, n));
    i += n;
    if (static_cast<unsigned char>(character[0]) < 0x80) {
      stand += character;
      continue;
    }
    if (!chosen.count(character)) {
      while (next == '\t' || next == '\n' || next == '\r' || next == ' ' ||
             (next >= 'a' && next <= 'z') || line.find(next) != std::string_view::npos ||
             reserved.find(next) != std::string_view::npos)
        ++next;
      chosen[character] = next;
      meaning[next] = character;
      ++next;
    }
    stand += chosen[character];
  }
  return {stand, meaning};
}

// The width and column filters count a UTF-8 character as one and never cut
// it: over UTF-8 lines in many languages and over Windows-1252 lines, each
// filter's output, however the text is cut, is what it makes of the same
// lines with each character one ASCII byte, the characters then put back.
TEST(Utf8Corpus, WidthAndColumnFiltersCountCharacters) {
  std::vector<std::string> lines = testing::utf8CorpusLines();
  const std::string windows1252 = testing::windows1252HighBytes();
  for (std::size_t start = 0, end; start < windows1252.size(); start = end + 2) {
    end = std::min(windows1252.find("\r\n", start), windows1252.size());
    lines.push_back(windows1252.substr(start, end - start));
  }
  const std::string inserted = "|\xc3\xbc|";
  std::vector<Named> filters = {
      {"pad", factory<TPadLines>(40)},
      {"force", factory<TForceLineWidth>(12)},
      {"truncate", factory<TTruncateWidth>(7)},
      {"centre", factory<TCentreLines>(50)},
      {"right-justify", factory<TRightJustifyLines>(50)},
  };
  for (int column : {-3, 0, 5, 100})
    filters.push_back({"insert column", factory<TInsertColumn>(column, inserted)});
  for (int method = 0; method <= 4; ++method) {
    const LocateRange range{method, method == 4 ? 9 : 4, method == 0 ? 9 : 3};
    filters.push_back({"remove columns", factory<TRemoveColumns>(range)});
    filters.push_back({"select columns", withBracketRun<TSelectColumns>(range)});
  }
  std::string utf8Text;
  for (const std::string &line : testing::utf8CorpusLines())
    utf8Text += line + "\n";
  for (const Named &filter : filters) {
    EXPECT_TRUE(utf8::isValid(runInChunks(filter.make, utf8Text, 1))) << filter.name;
    std::string text, expected;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string lineEnd = i % 2 ? "\r\n" : "\n";
      text += lines[i] + lineEnd;
      const auto [stand, meaning] = oneBytePerCharacter(lines[i], inserted + "[]");
      for (char c : runInChunks(filter.make, stand + lineEnd, 0)) {
        auto found = meaning.find(c);
        expected += found == meaning.end() ? std::string(1, c) : found->second;
      }
    }
    std::string whole;
    EXPECT_TRUE(testing::isChunkInvariant(filter.make, text, &whole)) << filter.name;
    EXPECT_EQ(whole, expected) << filter.name;
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

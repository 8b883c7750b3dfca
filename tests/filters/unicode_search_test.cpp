// The search filters over text in many languages, compared with Python's re
// (Unicode mode) and, for the word searches, with a small model written in
// Python (tests/filters/unicode_search_model.py): random patterns of every
// dialect, with and without case, whole words or not, over a UTF-8 corpus and
// over a Windows-1252 one, run whole and across the read loop's chunks by
// both matchers.

#include "filters/exactsearch.h"
#include "filters/fuzzysearch.h"
#include "filters/patternfilters.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/utf8.h"
#include "support/chunk_harness.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace marrowen {
namespace {

using testing::runInChunks;

// Lines in ten languages and scripts: letters whose other case differs in
// length (the Kelvin sign, long s, final sigma, sharp s), combining marks,
// characters of three and four bytes.
const char *const utf8Lines[] = {
    "\u00dcber \u00fcber \u00dcBER, K\u00f6ln ln und Gr\u00fc\u00dfe aus K\u00f6ln",
    "\u03a3\u03af\u03c3\u03c5\u03c6\u03bf\u03c2 \u03c3\u03af\u03c3\u03c5\u03c6\u03bf\u03c2 "
    "\u03a3\u038a\u03a3\u03a5\u03a6\u039f\u03a3 \u03b1\u03b2\u03b3",
    "\u0421\u044a\u0435\u0448\u044c \u0435\u0449\u0451 \u044d\u0442\u0438\u0445 "
    "\u043c\u044f\u0433\u043a\u0438\u0445 \u0431\u0443\u043b\u043e\u043a 42",
    "\u0152uvre na\u00efve: \u00e9l\u00e9phant \u00c9T\u00c9 d\u00e9j\u00e0 vu",
    "Pchn\u0105\u0107 w t\u0119 \u0142\u00f3d\u017a je\u017ca, Za\u017c\u00f3\u0142\u0107",
    "\u00bfA\u00f1oranza? ma\u00f1ana se\u00f1or",
    "\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8 \u4e2d\u6587",
    "\ud55c\uad6d\uc5b4 \u0627\u0644\u0639\u0631\u0628\u064a\u0629 \u05e2\u05d1\u05e8\u05d9\u05ea",
    "\u0939\u093f\u0928\u094d\u0926\u0940 e\u0301t\u00e9 \U0001f600 ok",
    "\u212aelvin \u017fong sKs k_s \u1e9eig \u00dfig \u20ac5",
    "plain ASCII words, numbers 12 and 345, under_score and t-shirt",
};

// Lines the code page holds: what an older filter file meets.
const char *const codePageLines[] = {
    "\u00dcber \u00fcber \u00dcBER, K\u00f6ln ln und Gr\u00fc\u00dfe aus K\u00f6ln",
    "\u0152uvre na\u00efve: \u00e9l\u00e9phant \u00c9T\u00c9 d\u00e9j\u00e0 vu \u00ff\u0178",
    "\u00bfA\u00f1oranza? ma\u00f1ana se\u00f1or \u0161\u0160 \u00b5 \u20ac5",
    "plain ASCII words, numbers 12 and 345, under_score and t-shirt",
};

// Letters the patterns are made of, per corpus.
const char *const utf8Letters[] = {"a",      "e",      "n",      "r",      "s",      "k",
                                   "l",      "b",      "\u00fc", "\u00f6", "\u00dc", "\u00df",
                                   "\u00e9", "\u00c9", "\u00f1", "\u0142", "\u03c3", "\u03c2",
                                   "\u03a3", "\u044f", "\u0435", "\u65e5", "\u093f", "\U0001f600",
                                   "\u212a", "\u017f", " ",      ","};
const char *const codePageLetters[] = {
    "a",      "e",      "n",      "r",      "s",      "k",      "l",      "b", "\u00fc", "\u00f6",
    "\u00dc", "\u00df", "\u00e9", "\u00c9", "\u00f1", "\u00ff", "\u0178", " ", ","};
// Set bodies: as the engine reads them, and as re does. A body re cannot
// write as a set (a class escape means in a set what it means outside one:
// \w letters and "_", no digits) is a group of re's, "(?:...)", which a
// negated set becomes a look-ahead of.
struct SetBody {
  const char *engine;
  const char *python;
};
const SetBody utf8Sets[] = {{"\u00e4\u00f6\u00fc", "\u00e4\u00f6\u00fc"},
                            {"a-z", "a-z"},
                            {"A-Z\u00e9", "A-Z\u00e9"},
                            {"\u0430-\u044f", "\u0430-\u044f"},
                            {"\u03c9-\u03b1", "\u03b1-\u03c9"},
                            {"0-9 ", "0-9 "},
                            {"\\w", "(?:[^\\W\\d])"},
                            {"\\w.", "(?:[^\\W\\d]|\\.)"},
                            {"\\W\u00e9", "(?:[\\W\\d\u00e9])"},
                            {"\\d\\s,", "0-9 \\t\\n\\r,"},
                            {"\\D\\w", "(?:[^0-9])"},
                            {"\\Sa", "(?:[^ \\t\\n\\r])"},
                            {"k\u00df\u65e5", "k\u00df\u65e5"},
                            {"a-z\\n", "a-z\\n"}};
const SetBody codePageSets[] = {{"\u00e4\u00f6\u00fc", "\u00e4\u00f6\u00fc"},
                                {"a-z", "a-z"},
                                {"A-Z\u00e9", "A-Z\u00e9"},
                                {"\u00e0-\u00fc", "\u00e0-\u00fc"},
                                {"0-9 ", "0-9 "},
                                {"\\w", "(?:[^\\W\\d])"},
                                {"\\w.", "(?:[^\\W\\d]|\\.)"},
                                {"\\W", "(?:[\\W\\d])"},
                                {"\\d\\s", "0-9 \\t\\n\\r"},
                                {"\u00dfk\u0161", "\u00dfk\u0161"},
                                {"a-z\\n", "a-z\\n"}};
// The classes outside a set, as the engine has them: \w letters and "_",
// \d and \s ASCII only.
const SetBody classes[] = {{"\\w", "[^\\W\\d]"}, {"\\W", "[\\W\\d]"},     {"\\d", "[0-9]"},
                           {"\\D", "[^0-9]"},    {"\\s", "[ \\t\\n\\r]"}, {"\\S", "[^ \\t\\n\\r]"}};

enum class Dialect { Engine, Perl, Brief, Word };

// A place holder for "^" in the pattern given to re: the first search tries
// the place where it starts with "^" holding, the later ones without.
const std::string caretMark = "\x01";

// A random pattern of `dialect` and the same for re, from letters and sets
// given in UTF-8.
class PatternMaker {
public:
  PatternMaker(std::mt19937 &random, Dialect dialect, const std::vector<std::string> &letters,
               const std::vector<SetBody> &sets)
      : random_(random), dialect_(dialect), letters_(letters), sets_(sets) {}

  void make(std::string &typed, std::string &python, int &groups) {
    groups_ = 0;
    typed.clear();
    python.clear();
    if (pick(5) == 0) {
      typed += dialect_ == Dialect::Brief ? "%" : "^";
      python += caretMark;
    }
    body(2, typed, python);
    if (pick(8) == 0) {
      typed += "$";
      python += "\\Z";
    }
    groups = groups_;
  }

private:
  std::size_t pick(std::size_t n) { return random_() % n; }

  void body(int depth, std::string &typed, std::string &python) {
    for (int pieces = 1 + static_cast<int>(pick(3)); pieces > 0; --pieces) {
      std::string t, p;
      bool simple = true;
      if (depth > 0 && pick(4) == 0) {
        ++groups_;
        std::string a, b, c, d;
        body(depth - 1, a, b);
        t = (dialect_ == Dialect::Brief ? "{" : "(") + a;
        p = "(" + b;
        if (pick(2)) {
          body(depth - 1, c, d);
          t += "|" + c;
          p += "|" + d;
        }
        t += dialect_ == Dialect::Brief ? "}" : ")";
        p += ")";
      } else {
        simple = atom(t, p);
      }
      typed += t;
      python += p;
      if (simple)
        quantifier(typed, python);
    }
  }

  // One atom; false for one that takes no quantifier.
  bool atom(std::string &typed, std::string &python) {
    switch (pick(12)) {
    case 0:
      // Any character; one that repeats searches the rest of the text from
      // every place, which re pays for at every one.
      if (pick(2))
        return atom(typed, python);
      typed = dialect_ == Dialect::Engine || dialect_ == Dialect::Perl ? "." : "?";
      python = "(?s:.)";
      return true;
    case 1: {
      const SetBody &c = classes[pick(std::size(classes))];
      typed = c.engine;
      python = c.python;
      return true;
    }
    case 2:
    case 3: {
      const SetBody &s = sets_[pick(sets_.size())];
      const bool negated = pick(3) == 0;
      typed =
          std::string(negated ? (dialect_ == Dialect::Word ? "[!" : "[^") : "[") + s.engine + "]";
      const std::string body = s.python;
      if (body.rfind("(?:", 0) == 0)
        python = negated ? "(?:(?!" + body + ")(?s:.))" : body;
      else
        python = std::string(negated ? "[^" : "[") + body + "]";
      return true;
    }
    case 4:
      if (dialect_ == Dialect::Word) {
        static const SetBody word[] = {
            {"<", "(?<!\\w)(?=\\w)"}, {">", "(?<=\\w)(?!\\w)"}, {"*", "(?s:.)*?"}};
        const SetBody &w = word[pick(std::size(word))];
        typed = w.engine;
        python = w.python;
        return false;
      }
      if (dialect_ == Dialect::Brief) {
        const bool some = pick(2);
        typed = some ? "+" : "@";
        python = some ? "(?s:.)+" : "(?s:.)*";
        return false;
      }
      [[fallthrough]];
    default:
      typed = letters_[pick(letters_.size())];
      python = typed == " " || typed == "," ? "\\" + typed : typed;
      return true;
    }
  }

  void quantifier(std::string &typed, std::string &python) {
    switch (dialect_) {
    case Dialect::Engine:
    case Dialect::Perl: {
      static const char *const q[] = {"", "", "", "*", "+", "?"};
      const char *chosen = q[pick(std::size(q))];
      typed += chosen;
      python += chosen;
      break;
    }
    case Dialect::Brief:
      if (pick(4) == 0) {
        typed += "*";
        python += "*";
      }
      break;
    case Dialect::Word:
      switch (pick(6)) {
      case 0:
        typed += "@";
        python += "+?";
        break;
      case 1:
        typed += "+";
        python += "+";
        break;
      default:
        break;
      }
      break;
    }
  }

  std::mt19937 &random_;
  Dialect dialect_;
  const std::vector<std::string> &letters_;
  const std::vector<SetBody> &sets_;
  int groups_ = 0;
};

TPatternType typeOf(Dialect dialect) {
  switch (dialect) {
  case Dialect::Perl:
    return TPatternType::PerlPattern;
  case Dialect::Brief:
    return TPatternType::BriefPattern;
  case Dialect::Word:
    return TPatternType::WordPattern;
  default:
    return TPatternType::Pattern;
  }
}

std::string hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// Where two results part, for a failure message.
std::string firstDifference(const std::string &hexA, const std::string &hexB) {
  std::size_t at = 0;
  while (at < hexA.size() && at < hexB.size() && hexA[at] == hexB[at])
    ++at;
  at -= at % 2;
  const std::size_t from = at > 80 ? at - 80 : 0;
  return "at byte " + std::to_string(at / 2) + ": " + hexA.substr(from, 200) + " / " +
         hexB.substr(from, 200);
}

std::string replaceAll(std::string text, const std::string &what, const std::string &with) {
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

// One search the filters run and the model answers.
struct Case {
  std::string description;
  std::size_t corpus = 0;
  // The filter with a buffer size, with the linear matcher or not.
  std::function<testing::FilterFactory(int, bool)> makeWith;
  std::string line; // for the model
  std::size_t chunk = 0;
};

struct Corpus {
  std::string text;
  const char *encoding;
  // What the cases' patterns, words and replacements are typed in.
  const char *typedEncoding;
  std::vector<std::string> letters;
  std::vector<SetBody> sets;
  std::vector<std::string> setStorage;
  std::vector<std::string> words;
  // The bytes a text given in UTF-8 is typed as for this corpus.
  std::function<std::string(const std::string &)> bytes;
};

class UnicodeSearch : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string model =
        std::string(MARROWEN_SOURCE_DIR) + "/tests/filters/unicode_search_model.py";
    if (std::system("python3 -c 'import re' >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "python3 is not installed: the comparison with Python's re cannot run";
    model_ = model;
    auto cp = CodePage::create("windows-1252");
    const auto asIs = [](const std::string &s) { return s; };
    const auto inCodePage = [cp](const std::string &s) { return cp->fromUtf8(s); };
    // UTF-8 text; Windows-1252 text searched as an older filter file types
    // it, in Windows-1252, and as a user types it today, in UTF-8.
    corpora_.resize(3);
    build(corpora_[0], utf8Lines, utf8Letters, utf8Sets, "utf-8", asIs, "utf-8", asIs);
    build(corpora_[1], codePageLines, codePageLetters, codePageSets, "cp1252", inCodePage, "cp1252",
          inCodePage);
    build(corpora_[2], codePageLines, codePageLetters, codePageSets, "cp1252", inCodePage, "utf-8",
          asIs);
  }

  template <std::size_t L, std::size_t N, std::size_t S>
  void build(Corpus &corpus, const char *const (&lines)[L], const char *const (&letters)[N],
             const SetBody (&sets)[S], const char *encoding,
             std::function<std::string(const std::string &)> textBytes, const char *typedEncoding,
             std::function<std::string(const std::string &)> bytes) {
    std::mt19937 random(7);
    corpus.encoding = encoding;
    corpus.typedEncoding = typedEncoding;
    corpus.bytes = bytes;
    // Long enough that a search runs while the buffer fills (it holds 8192
    // bytes before it searches), with lines in random order and their line
    // ends of both kinds.
    while (corpus.text.size() < 9000) {
      corpus.text += textBytes(lines[random() % L]);
      corpus.text += random() % 3 ? "\n" : "\r\n";
    }
    if (std::string(encoding) != "utf-8") {
      EXPECT_FALSE(utf8::hasSequence(corpus.text)) << "the code-page corpus holds UTF-8";
    }
    for (const char *letter : letters)
      corpus.letters.push_back(bytes(letter));
    corpus.setStorage.reserve(2 * S);
    for (const SetBody &set : sets) {
      corpus.setStorage.push_back(bytes(set.engine));
      corpus.setStorage.push_back(bytes(set.python));
    }
    for (std::size_t i = 0; i < S; ++i)
      corpus.sets.push_back(
          {corpus.setStorage[2 * i].c_str(), corpus.setStorage[2 * i + 1].c_str()});
    // Words of letters, digits and hyphens, as the word searches take them.
    const auto page = CodePage::create("windows-1252");
    const CodePage &tables = *page;
    for (const char *line : lines) {
      std::string text = bytes(line);
      for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i;
        while (end < text.size() &&
               (text[end] == '-' ||
                utf8::isAlphaNumericAt(std::string_view(text).substr(end), tables)))
          end += utf8::characterLength(std::string_view(text).substr(end));
        if (end > i) {
          corpus.words.push_back(text.substr(i, end - i));
          i = end;
        } else {
          i += utf8::characterLength(std::string_view(text).substr(i));
        }
      }
    }
  }

  // Asks the model for every case at once; one answer a case.
  std::vector<std::string> answers(const std::vector<Case> &cases) {
    testing::TempFolder dir;
    const std::string input = dir.file("cases.txt");
    std::ofstream out(input, std::ios::binary);
    for (const Corpus &corpus : corpora_)
      out << "text\t" << corpus.encoding << '\t' << hex(corpus.text) << '\t' << corpus.typedEncoding
          << '\n';
    for (const Case &c : cases)
      out << c.line << '\n';
    out.close();
    const std::string command = "python3 '" + model_ + "' '" + input + "'";
    std::FILE *pipe = ::popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string all;
    if (pipe) {
      char buffer[65536];
      std::size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        all.append(buffer, n);
      EXPECT_EQ(::pclose(pipe), 0) << "the model failed";
    }
    std::vector<std::string> lines;
    std::istringstream in(all);
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }

  // Runs every case whole with a buffer that holds the whole text, and in
  // chunks with the smallest buffer and the linear matcher; both must give
  // what the model gives (the chunked run only where no match is longer than
  // the tail a search keeps back), and UTF-8 stays valid.
  void check(const std::vector<Case> &cases) {
    const std::vector<std::string> expected = answers(cases);
    ASSERT_EQ(expected.size(), cases.size());
    int compared = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      if (expected[i] == "skip")
        continue;
      const Case &c = cases[i];
      const Corpus &corpus = corpora_[c.corpus];
      std::istringstream answer(expected[i]);
      std::size_t longest = 0;
      std::string result;
      answer >> longest >> result;
      const std::string whole = runInChunks(c.makeWith(999999, false), corpus.text, 0);
      EXPECT_TRUE(hex(whole) == result)
          << c.description << " " << firstDifference(hex(whole), result);
      if (c.corpus == 0) {
        EXPECT_TRUE(utf8::isValid(whole)) << c.description;
      }
      const std::string chunked = runInChunks(c.makeWith(4096, true), corpus.text, c.chunk);
      if (longest <= TBuffer::heldTail) {
        EXPECT_TRUE(hex(chunked) == result) << c.description << " in chunks of " << c.chunk << " "
                                            << firstDifference(hex(chunked), result);
      }
      if (c.corpus == 0) {
        EXPECT_TRUE(utf8::isValid(chunked)) << c.description << " in chunks of " << c.chunk;
      }
      ++compared;
    }
    EXPECT_GT(compared, static_cast<int>(cases.size() * 3 / 4));
  }

  std::size_t chunkSize(std::mt19937 &random) {
    static const std::size_t sizes[] = {1, 2, 3, 7, 100, 4095, 4096, 5000};
    return sizes[random() % std::size(sizes)];
  }

  std::string model_;
  std::vector<Corpus> corpora_;
};

TEST_F(UnicodeSearch, PatternsOfEveryDialectFindWhatReFinds) {
  std::mt19937 random(55);
  std::vector<Case> cases;
  for (std::size_t corpusIndex = 0; corpusIndex < corpora_.size(); ++corpusIndex) {
    const Corpus &corpus = corpora_[corpusIndex];
    for (Dialect dialect : {Dialect::Engine, Dialect::Perl, Dialect::Brief, Dialect::Word}) {
      PatternMaker maker(random, dialect, corpus.letters, corpus.sets);
      for (int made = 0; made < (corpusIndex == 0 ? 28 : 10);) {
        std::string typed, python;
        int groups = 0;
        maker.make(typed, python, groups);
        static const char *const templates[] = {"X", "\u00ab$0\u00bb", "", "\u03a9", "$$", "[$1]"};
        std::string replacement =
            corpus.bytes(templates[random() % (groups > 0 ? std::size(templates) : 5)]);
        const bool ignoreCase = random() % 2;
        const bool wholeWord = random() % 4 == 0;
        const TPatternType type = typeOf(dialect);
        auto makeWith = [=](int bufferSize, bool linear) -> testing::FilterFactory {
          return [=] {
            auto filter = std::make_unique<TRegExpFilter>(typed, replacement, !ignoreCase,
                                                          wholeWord, false, false, false, false,
                                                          true, false, true, bufferSize, type);
            if (linear)
              filter->engine().setLinearMatchForTest(true, 0, 0);
            return filter;
          };
        };
        // Code-page bytes that happen to be a valid UTF-8 sequence are that
        // character, as in any text.
        if (corpusIndex == 1 && (utf8::hasSequence(typed) || utf8::hasSequence(replacement)))
          continue;
        try {
          makeWith(4096, false)();
        } catch (const Exception &) {
          continue; // a pattern the engine refuses
        }
        ++made;
        Case c;
        c.corpus = corpusIndex;
        c.makeWith = makeWith;
        c.chunk = chunkSize(random);
        c.description = "pattern \"" + testing::printable(typed) + "\" dialect " +
                        std::to_string(static_cast<int>(type)) + " -> \"" +
                        testing::printable(replacement) + "\"" +
                        (ignoreCase ? " ignoring case" : "") + (wholeWord ? " whole words" : "");
        const std::string first = replaceAll(python, caretMark, "");
        const std::string later = replaceAll(python, caretMark, "(?!)");
        c.line = "regex\t" + std::to_string(corpusIndex) + '\t' + hex(first) + '\t' + hex(later) +
                 '\t' + hex(replacement) + '\t' + (ignoreCase ? "1" : "0") + '\t' +
                 (wholeWord ? "1" : "0");
        cases.push_back(std::move(c));
      }
    }
  }
  check(cases);
}

// Fixed texts, and words searched by edit distance and by sound, found in
// any case and as whole words.
TEST_F(UnicodeSearch, ExactTextsAndWordsFindWhatTheModelFinds) {
  std::mt19937 random(56);
  std::vector<Case> cases;
  static const char *const replacements[] = {"X", "\u00dc", "", "<w>"};
  for (std::size_t corpusIndex = 0; corpusIndex < corpora_.size(); ++corpusIndex) {
    const Corpus &corpus = corpora_[corpusIndex];
    for (int made = 0; made < (corpusIndex == 0 ? 42 : 18); ++made) {
      const std::string &word = corpus.words[random() % corpus.words.size()];
      const std::string replacement =
          corpus.bytes(replacements[random() % std::size(replacements)]);
      const bool ignoreCase = random() % 2;
      Case c;
      c.corpus = corpusIndex;
      c.chunk = chunkSize(random);
      const int kind = made % 3;
      if (kind == 0) {
        // A piece of a word or a few letters, maybe with a blank.
        std::string find;
        if (random() % 2) {
          std::size_t from = random() % word.size();
          while (from > 0 && utf8::isInsideSequence(word, from))
            --from;
          find = word.substr(from, 1 + random() % 6);
          find.resize(find.size() - utf8::incompleteTail(find));
          if (find.empty())
            find = word.substr(0, utf8::characterLength(word));
        } else {
          find = word + (random() % 2 ? " " : "");
        }
        const bool wholeWord = random() % 3 == 0;
        c.makeWith = [=](int, bool) -> testing::FilterFactory {
          return [=] {
            return std::make_unique<TSearchFilter>(find, replacement, ignoreCase, wholeWord, false,
                                                   false, false, false);
          };
        };
        c.description = "exact \"" + testing::printable(find) + "\"" +
                        (ignoreCase ? " ignoring case" : "") + (wholeWord ? " whole words" : "");
        c.line = "exact\t" + std::to_string(corpusIndex) + '\t' + hex(find) + '\t' +
                 hex(replacement) + '\t' + (ignoreCase ? "1" : "0") + '\t' +
                 (wholeWord ? "1" : "0");
      } else if (kind == 1) {
        if (!utf8::isAlphaNumericAt(word, *CodePage::create("windows-1252")) || word[0] == '-' ||
            (word[0] >= '0' && word[0] <= '9'))
          continue;
        const int threshold = static_cast<int>(random() % 3);
        c.makeWith = [=](int, bool) -> testing::FilterFactory {
          return [=] {
            return std::make_unique<TEditDistance>(word, replacement, !ignoreCase, false, false,
                                                   false, false, threshold);
          };
        };
        c.description = "edit distance " + std::to_string(threshold) + " from \"" +
                        testing::printable(word) + "\"" + (ignoreCase ? " ignoring case" : "");
        c.line = "edit\t" + std::to_string(corpusIndex) + '\t' + hex(word) + '\t' +
                 hex(replacement) + '\t' + (ignoreCase ? "1" : "0") + '\t' +
                 std::to_string(threshold);
      } else {
        c.makeWith = [=](int, bool) -> testing::FilterFactory {
          return [=] {
            return std::make_unique<TSoundexSearchReplace>(word, replacement, false, false, false,
                                                           false);
          };
        };
        c.description = "sounds like \"" + testing::printable(word) + "\"";
        c.line =
            "soundex\t" + std::to_string(corpusIndex) + '\t' + hex(word) + '\t' + hex(replacement);
      }
      cases.push_back(std::move(c));
    }
  }
  check(cases);
}

// "ß" and "µ" are lower-case letters that the code page keeps as they are in
// upper case: a replacement takes their case, and a word its sound, the same
// from their UTF-8 form and from their Windows-1252 byte.
TEST(SearchInEitherForm, LettersTheCodePageCannotRaiseKeepTheirCase) {
  const auto cp = CodePage::create("windows-1252");
  const std::string text = "\u00b5 \u00df Ma\u00df \u00b5ber";
  const std::vector<std::pair<testing::FilterFactory, std::string>> searches = {
      {[] {
         return std::make_unique<TSearchFilter>("\u00df", "Stra\u00dfe", false, true, true, false,
                                                false, false);
       },
       "\u00b5 stra\u00dfe Ma\u00df \u00b5ber"},
      {[] {
         return std::make_unique<TRegExpFilter>("\u00b5\\w*", "x", true, false, true, false, false,
                                                false, true, false, true, 4096,
                                                TPatternType::Pattern);
       },
       "x \u00df Ma\u00df x"},
      {[] {
         return std::make_unique<TSoundexSearchReplace>("\u00b5ber", "X", false, false, false,
                                                        false);
       },
       "\u00b5 \u00df Ma\u00df X"},
  };
  for (const auto &[make, expected] : searches) {
    EXPECT_EQ(runInChunks(make, text, 1), expected);
    EXPECT_EQ(utf8::toUtf8(runInChunks(make, cp->fromUtf8(text), 1), *cp), expected);
  }
}

} // namespace
} // namespace marrowen

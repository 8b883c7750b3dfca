// Search speed of TRegex over 64 MB of generated text.
//
// Two measures per pattern: every match of the whole text as one subject
// (successive searches, as the pattern filters run), and the first match of
// each line (what `grep -c -E` counts). Pass --corpus-out=FILE to write the
// text for comparing against grep by hand. The same over 64 MB of UTF-8 text
// in seven languages (--utf8-corpus-out=FILE writes it).

#include "classlib/safefile.h"
#include "filters/regex.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using namespace marrowen;

namespace {

constexpr std::size_t corpusSize = 64u << 20;

// Lines of words, numbers and punctuation with an occasional mail address
// and "foobaz"/"barbaz"; the same text on every run.
const std::string &corpus() {
  static const std::string text = [] {
    static const char *const words[] = {
        "the",    "quick", "brown",   "fox",     "jumps", "over",   "lazy",   "dog",
        "filter", "chain", "pattern", "replace", "line",  "column", "select", "buffer",
        "food",   "barn",  "bazaar",  "foo",     "bar",   "text",   "file",   "output"};
    std::mt19937 random(20261207);
    std::string s;
    s.reserve(corpusSize + 256);
    std::size_t line = 0;
    while (s.size() < corpusSize) {
      unsigned r = random() % 1000;
      if (r < 3) {
        s += "mail";
        s += static_cast<char>('a' + random() % 26);
        s += "@host.com";
      } else if (r < 5) {
        s += (random() % 2) ? "foobaz" : "barbaz";
      } else if (r < 80) {
        s += std::to_string(random() % 100000);
      } else {
        s += words[random() % std::size(words)];
      }
      if (++line % 12 == 0)
        s += '\n';
      else
        s += (random() % 10 == 0) ? ", " : " ";
    }
    return s;
  }();
  return text;
}

// The same kind of text in UTF-8: German, French, Polish, Russian, Greek,
// Japanese and ASCII words, numbers, a word in three cases.
const std::string &utf8Corpus() {
  static const std::string text = [] {
    static const char *const words[] = {"the",
                                        "quick",
                                        "fox",
                                        "filter",
                                        "line",
                                        "12345",
                                        "\u00fcber",
                                        "\u00dcBER",
                                        "Gr\u00fc\u00dfe",
                                        "K\u00f6ln",
                                        "\u00e9l\u00e9phant",
                                        "na\u00efve",
                                        "\u017c\u00f3\u0142w",
                                        "\u043c\u044f\u0433\u043a\u0438\u0445",
                                        "\u0431\u0443\u043b\u043e\u043a",
                                        "\u03c3\u03af\u03c3\u03c5\u03c6\u03bf\u03c2",
                                        "\u65e5\u672c\u8a9e",
                                        "\u30c6\u30ad\u30b9\u30c8",
                                        "\u00dcber",
                                        "2026",
                                        "stra\u00dfe",
                                        "caf\u00e9",
                                        "\u20ac5",
                                        "bazaar"};
    std::mt19937 random(20261208);
    std::string s;
    s.reserve(corpusSize + 256);
    std::size_t line = 0;
    while (s.size() < corpusSize) {
      s += words[random() % std::size(words)];
      s += ++line % 12 == 0 ? "\n" : (random() % 10 == 0) ? ", " : " ";
    }
    return s;
  }();
  return text;
}

const std::vector<std::string_view> &lines() {
  static const std::vector<std::string_view> all = [] {
    std::vector<std::string_view> v;
    std::string_view text = corpus();
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos)
        end = text.size();
      v.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return v;
  }();
  return all;
}

const char *const patterns[] = {"[0-9]+", "\\w+@\\w+\\.com", "(foo|bar)baz", "bazaar"};

// Patterns of the UTF-8 text, the last one without case.
const char *const utf8Patterns[] = {"[0-9]+", "[\u00e4\u00f6\u00fc\u00df]", "\\w+", "\u00fcber"};

// Every match of `text`, searching on from the end of each as the pattern
// filters do.
void everyMatch(benchmark::State &state, const char *pattern, std::string_view text,
                bool caseSensitive) {
  TRegex regex;
  regex.setExpression(pattern);
  regex.setCaseSensitive(caseSensitive);
  std::size_t count = 0;
  for (auto _ : state) {
    count = 0;
    int start = 1;
    int limit = 0;
    while (regex.Exec(text, limit, start)) {
      ++count;
      start = regex.GetMatchPos(0) + (regex.GetMatchLen(0) > 0 ? regex.GetMatchLen(0) : 1);
      limit = 0;
    }
  }
  state.SetLabel(std::string(pattern) + " matches=" + std::to_string(count));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void allMatches(benchmark::State &state) {
  everyMatch(state, patterns[state.range(0)], corpus(), true);
}

void matchingLines(benchmark::State &state) {
  TRegex regex;
  regex.setExpression(patterns[state.range(0)]);
  const auto &all = lines();
  std::size_t count = 0;
  for (auto _ : state) {
    count = 0;
    for (std::string_view line : all) {
      int limit = 0;
      if (!line.empty() && regex.Exec(line, limit, 1))
        ++count;
    }
  }
  state.SetLabel(std::string(patterns[state.range(0)]) + " lines=" + std::to_string(count));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus().size()));
}

// Every match of the UTF-8 text; the last pattern without case.
void allMatchesUtf8(benchmark::State &state) {
  everyMatch(state, utf8Patterns[state.range(0)], utf8Corpus(), state.range(0) != 3);
}

// (a|b)*c over 1 MB of "ab" and a final c: a match deeper than the
// backtracking stack, which the linear matcher finishes.
void deepLoop(benchmark::State &state) {
  std::string subject;
  for (int i = 0; i < (1 << 19); ++i)
    subject += "ab";
  subject += 'c';
  TRegex regex;
  regex.setExpression("(a|b)*c");
  for (auto _ : state) {
    int limit = 0;
    if (!regex.Exec(subject, limit, 1) || regex.GetMatchLen(0) != static_cast<int>(subject.size()))
      state.SkipWithError("no match");
  }
}

// Patterns that fail only after trying every way of splitting the line:
// for a backtracking matcher, work that doubles with each byte.
void runaway(benchmark::State &state) {
  static const char *const cases[][2] = {
      {"(a+)+$", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!"},
      {"([a-z]+ ?)+$", "the quick brown fox jumps over a lazy dog and the cats!"},
  };
  const char *pattern = cases[state.range(0)][0];
  std::string subject = cases[state.range(0)][1];
  TRegex regex;
  regex.setExpression(pattern);
  for (auto _ : state) {
    int limit = 0;
    if (regex.Exec(subject, limit, 1))
      state.SkipWithError("matched");
  }
  state.SetLabel(std::string(pattern) + " over " + std::to_string(subject.size()) + " bytes");
}

// (.*a)+b over one line of a "b" and then "a" up to the given length, as
// line selection searches it: there is no match, and backtracking tries
// every way of splitting the line, work that grew with the square of its
// length until the linear matcher took over.
void runawayLine(benchmark::State &state) {
  const std::string subject = "b" + std::string(static_cast<std::size_t>(state.range(0)) - 1, 'a');
  TRegex regex;
  regex.setExpression("(.*a)+b");
  for (auto _ : state) {
    int limit = 0;
    if (regex.Exec(subject, limit, 1))
      state.SkipWithError("matched");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * subject.size()));
}

} // namespace

BENCHMARK(runaway)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(runawayLine)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(2000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(allMatches)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(matchingLines)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(deepLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(allMatchesUtf8)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  ignoreFileSizeSignal();
  std::vector<char *> args;
  for (int i = 0; i < argc; ++i) {
    bool written = false;
    for (const auto &[prefix, text] :
         {std::pair{"--corpus-out=", &corpus}, std::pair{"--utf8-corpus-out=", &utf8Corpus}}) {
      if (std::strncmp(argv[i], prefix, std::strlen(prefix)) != 0)
        continue;
      std::ofstream out(argv[i] + std::strlen(prefix), std::ios::binary);
      out.write(text().data(), static_cast<std::streamsize>(text().size()));
      if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[i] + std::strlen(prefix));
        return 1;
      }
      written = true;
    }
    if (written)
      continue;
    args.push_back(argv[i]);
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// Throughput of the byte-wise built-in filters, fed 4096-byte chunks of
// ASCII text the way the read loop feeds them, into a sink that only counts.

#include "classlib/safefile.h"
#include "engine/casefilters.h"
#include "engine/charfilters.h"
#include "engine/codepagefilters.h"
#include "engine/layoutfilters.h"
#include "engine/lineends.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

namespace marrowen {
namespace {

class CountingSink : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    bytes += chunk.size();
    benchmark::DoNotOptimize(chunk.data());
    return true;
  }
  std::size_t bytes = 0;
};

// Lines of prose of varying length, each ended by LF, with a tab now and then.
const std::string &sampleText() {
  static const std::string text = [] {
    const char *words[] = {"the",   "quick", "brown",  "fox",   "jumps", "over", "lazy",
                           "dog",   "Lorem", "ipsum",  "dolor", "sit",   "amet", "filter",
                           "chain", "text",  "Number", "42,",   "and",   "so",   "on."};
    std::string t;
    unsigned seed = 12345;
    while (t.size() < (4u << 20)) {
      seed = seed * 1103515245 + 12345;
      int count = 3 + static_cast<int>((seed >> 16) % 12);
      for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245 + 12345;
        t += words[(seed >> 16) % std::size(words)];
        t += (seed >> 8) % 17 == 0 ? '\t' : ' ';
      }
      t.back() = '\n';
    }
    return t;
  }();
  return text;
}

using Make = std::function<std::unique_ptr<TFilter>()>;

void runFilter(benchmark::State &state, const Make &make, const std::string &text) {
  auto filter = make();
  auto sink = std::make_unique<CountingSink>();
  CountingSink *counted = sink.get();
  filter->setNext(std::move(sink));
  filter->attachJob(nullptr);
  filter->startJob();
  std::string chunk;
  chunk.reserve(4096);
  for (auto _ : state) {
    filter->reset();
    for (std::size_t at = 0; at < text.size(); at += 4096) {
      chunk.assign(text, at, 4096);
      filter->processChunk(chunk);
    }
    filter->flush();
  }
  filter->endJob();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["out/in"] =
      static_cast<double>(counted->bytes) / static_cast<double>(state.iterations() * text.size());
}

#define BUILTIN_BENCH(name, make)                                                                  \
  void BM_##name(benchmark::State &state) {                                                        \
    runFilter(                                                                                     \
        state, [] { return make; }, sampleText());                                                 \
  }                                                                                                \
  BENCHMARK(BM_##name)

// The cost of the loop itself: copying each chunk and handing it on.
void BM_PassThrough(benchmark::State &state) {
  runFilter(
      state, [] { return std::make_unique<TFilter>(); }, sampleText());
}
BENCHMARK(BM_PassThrough);

BUILTIN_BENCH(upper, std::make_unique<TConvertToUpperCase>());
BUILTIN_BENCH(lower, std::make_unique<TConvertToLowerCase>());
BUILTIN_BENCH(toggle, std::make_unique<TConvertToToggleCase>());
BUILTIN_BENCH(random, std::make_unique<TConvertToRandomCase>());
BUILTIN_BENCH(title, std::make_unique<TConvertToTitleCase>());
BUILTIN_BENCH(sentence, std::make_unique<TConvertToSentenceCase>());
BUILTIN_BENCH(ebcdic, std::make_unique<TASCIItoEBCDIC>());
BUILTIN_BENCH(drawing, std::make_unique<TTranslateDrawing>());
BUILTIN_BENCH(ansi_to_oem, std::make_unique<TANSItoOEM>());
BUILTIN_BENCH(ansi_to_unicode, std::make_unique<TANSItoUnicode>());
BUILTIN_BENCH(remove_binary, std::make_unique<TRemoveBinary>());
BUILTIN_BENCH(whitespace, std::make_unique<TRemoveMultipleWhitespace>());
BUILTIN_BENCH(remove_html, std::make_unique<TRemoveHTML>());
BUILTIN_BENCH(resolve_backspaces, std::make_unique<TResolveBackspaces>());
BUILTIN_BENCH(unix2dos, std::make_unique<TFromUnixConversion>("\r\n", false));
BUILTIN_BENCH(unix2dos_strip, std::make_unique<TFromUnixConversion>("\r\n", true));
BUILTIN_BENCH(unix2mac, std::make_unique<TFromUnixConversion>("\r", false));
BUILTIN_BENCH(dos2unix, std::make_unique<TFromDOSConversion>("\n", false));
BUILTIN_BENCH(auto2dos, std::make_unique<TAutoConversion>("\r\n"));
BUILTIN_BENCH(fixed80, std::make_unique<TFromFixedLineLengthConversion>("\r\n", 80));
BUILTIN_BENCH(tabs_to_spaces, std::make_unique<TTabsToSpaces>(8));
BUILTIN_BENCH(spaces_to_tabs, std::make_unique<TSpacesToTabs>(8));
BUILTIN_BENCH(word_wrap, std::make_unique<TWordWrap>(60));

void BM_UnicodeToAnsi(benchmark::State &state) {
  static const std::string utf16 = [] {
    std::string out;
    for (unsigned char c : sampleText()) {
      out += static_cast<char>(c);
      out += '\0';
    }
    return out;
  }();
  runFilter(
      state, [] { return std::make_unique<TUnicodeToANSI>(); }, utf16);
}
BENCHMARK(BM_UnicodeToAnsi);

void BM_UserDefined(benchmark::State &state) {
  std::array<std::string, 256> entries;
  for (int b = 0; b < 256; ++b)
    entries[b].assign(1, static_cast<char>(b));
  entries['\\'] = "\\\\";
  entries['\n'] = "\\r\\n";
  runFilter(
      state, [&] { return std::make_unique<TUserDefined>(entries); }, sampleText());
}
BENCHMARK(BM_UserDefined);

} // namespace
} // namespace marrowen

int main(int argc, char **argv) {
  marrowen::ignoreFileSizeSignal();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

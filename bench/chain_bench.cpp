// Bytes per second of the bare chain: a text in memory, cut into lines and
// written to a file through a temporary file. Every filter adds its own cost
// on top of this floor.

#include "classlib/safefile.h"
#include "engine/inputs.h"
#include "engine/lines.h"
#include "engine/outputs.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace marrowen;

std::string makeText(std::size_t size, std::size_t lineLength) {
  std::string text;
  text.reserve(size);
  std::size_t n = 0;
  while (text.size() < size) {
    std::string line = "line " + std::to_string(n++) + " ";
    line.resize(lineLength, 'x');
    text += line;
    text += (n % 3 == 0) ? "\r\n" : "\n";
  }
  text.resize(size);
  return text;
}

void stringThroughLinesToFile(benchmark::State &state) {
  const std::string text = makeText(16 << 20, static_cast<std::size_t>(state.range(0)));
  std::string folder = (std::filesystem::temp_directory_path() / "chain_bench-XXXXXX").string();
  if (!::mkdtemp(folder.data())) {
    state.SkipWithError("cannot make a temporary folder");
    return;
  }
  const std::string target = folder + "/out.txt";

  TStringInput input("bench");
  // The output is named after the input; point it at the folder.
  struct Rename : TFilter {
    std::string name;
    void setInputFilename(const std::string &) override { TFilter::setInputFilename(name); }
    void openFile(const std::string &) override { TFilter::openFile(name); }
  };
  auto rename = std::make_unique<Rename>();
  rename->name = target;
  rename->setNext(std::make_unique<TProcessLines>());
  rename->lastFilter()->setNext(
      std::make_unique<TFileOutput>(false, false, false, "", false, "", false, false));
  input.setNext(std::move(rename));

  for (auto _ : state) {
    input.setText(text);
    input.runInput();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  std::filesystem::remove_all(folder);
}

BENCHMARK(stringThroughLinesToFile)->Arg(20)->Arg(80)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  marrowen::ignoreFileSizeSignal();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

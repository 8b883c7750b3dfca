#pragma once

#include "engine/filter.h"
#include "support/printable.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {
class JobSink;
}

namespace marrowen::testing {

// Makes a fresh filter (or a short chain of filters) for each run.
using FilterFactory = std::function<std::unique_ptr<TFilter>()>;

struct ChunkRunOptions {
  JobSink *job = nullptr;                   // attached to the chain; none by default
  std::string inputName = "/tmp/input.txt"; // what setInputFilename and openFile name
  // Called with the chain's head after the job ended, before it is freed:
  // the place to look at statistics or counters.
  std::function<void(TFilter &head)> afterRun = {};
  // Logs the chain's statistics to the job after each file, as the input
  // does when it closes a file.
  bool logStatisticsOfEachFile = false;
};

// The ways every filter is fed the same text: whole (0), byte by byte, in
// 7-byte and in 4096-byte chunks.
inline constexpr std::size_t chunkSplits[] = {0, 1, 7, 4096};

// Runs a fresh chain from `make` over `input` as one file of one job, with
// every control call of a real run, feeding the text in chunks of
// `chunkSize` bytes (0: all at once), and returns all that reached the
// chain's end.
std::string runInChunks(const FilterFactory &make, std::string_view input, std::size_t chunkSize,
                        const ChunkRunOptions &options = {});

// The same over several inputs of one job: one result per file opened at the
// chain's end (one per input, unless the chain splits or merges files).
std::vector<std::string> runFilesInChunks(const FilterFactory &make,
                                          const std::vector<std::string> &inputs,
                                          std::size_t chunkSize,
                                          const ChunkRunOptions &options = {});

// Whether the chain gives the same output however the input is cut (every
// split of `chunkSplits`). The output of the whole text goes to `output`.
::testing::AssertionResult isChunkInvariant(const FilterFactory &make, std::string_view input,
                                            std::string *output = nullptr,
                                            const ChunkRunOptions &options = {});

// Expects chunk invariance and returns the output of the whole text:
//   EXPECT_EQ(expectChunkInvariant(make, "a\r\nb"), "A\r\nB");
std::string expectChunkInvariant(const FilterFactory &make, std::string_view input,
                                 const ChunkRunOptions &options = {});

} // namespace marrowen::testing

#pragma once

#include "engine/userinterface.h"
#include "support/chunk_harness.h"
#include "support/recording_job.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace marrowen::testing {

// Keeps the message boxes of chains run without a job (each warning, when
// a decoder is fed bad input) out of the test's output while it lives.
class QuietMessageBoxes {
public:
  QuietMessageBoxes() = default;
  QuietMessageBoxes(const QuietMessageBoxes &) = delete;
  QuietMessageBoxes &operator=(const QuietMessageBoxes &) = delete;

private:
  InstalledUserInterface ui_;
};

// `size` bytes of every value, in no order, the same for the same seed.
inline std::string scrambledBytes(std::size_t size, unsigned seed = 1) {
  std::string bytes(size, '\0');
  for (auto &b : bytes) {
    seed = seed * 1103515245 + 12345;
    b = static_cast<char>(seed >> 16);
  }
  return bytes;
}

// The warnings a chain logs over `input` fed in chunks of `chunkSize`.
inline std::vector<std::string> warningsOf(const FilterFactory &make, std::string_view input,
                                           std::size_t chunkSize = 0) {
  RecordingJob job;
  ChunkRunOptions options;
  options.job = &job;
  runInChunks(make, input, chunkSize, options);
  return job.logLines;
}

// Expects the same warnings however the input is cut, and returns them.
inline std::vector<std::string> expectSameWarnings(const FilterFactory &make,
                                                   std::string_view input) {
  auto whole = warningsOf(make, input);
  for (std::size_t split : chunkSplits)
    EXPECT_EQ(warningsOf(make, input, split), whole) << "fed in chunks of " << split;
  return whole;
}

// Encodes `input`, decodes the result, and expects the input back with no
// warning, whole and however either text is cut.
inline void expectRoundTrip(const FilterFactory &encoder, const FilterFactory &decoder,
                            std::string_view input) {
  RecordingJob job;
  ChunkRunOptions options;
  options.job = &job;
  std::string encoded = expectChunkInvariant(encoder, input, options);
  EXPECT_EQ(expectChunkInvariant(decoder, encoded, options), input);
  EXPECT_TRUE(job.logLines.empty()) << job.logLines.front();
}

} // namespace marrowen::testing

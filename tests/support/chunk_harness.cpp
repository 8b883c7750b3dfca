#include "support/chunk_harness.h"

#include "engine/outputs.h"

namespace marrowen::testing {

namespace {

// Ends the chain under test and keeps what each input produced.
class CaptureOutput : public TGenericOutput {
public:
  explicit CaptureOutput(std::vector<std::string> &files) : files_(files) {}
  void openFile(const std::string &name) override {
    files_.emplace_back();
    TFilter::openFile(name);
  }
  bool processChunk(std::string &chunk) override {
    if (files_.empty())
      files_.emplace_back();
    files_.back() += chunk;
    return true;
  }

private:
  std::vector<std::string> &files_;
};

std::string splitName(std::size_t chunkSize) {
  if (chunkSize == 0)
    return "whole";
  if (chunkSize == 1)
    return "byte by byte";
  return "in " + std::to_string(chunkSize) + "-byte chunks";
}

} // namespace

std::vector<std::string> runFilesInChunks(const FilterFactory &make,
                                          const std::vector<std::string> &inputs,
                                          std::size_t chunkSize, const ChunkRunOptions &options) {
  std::vector<std::string> files;
  std::unique_ptr<TFilter> head = make();
  head->lastFilter()->setNext(std::make_unique<CaptureOutput>(files));
  head->attachJob(options.job);
  head->startJob();
  for (const auto &input : inputs) {
    head->resetStatistics();
    head->setInputFilename(options.inputName);
    head->openFile(options.inputName);
    head->reset();
    std::size_t step = chunkSize == 0 ? input.size() : chunkSize;
    for (std::size_t at = 0; at < input.size(); at += step) {
      std::string chunk = input.substr(at, step);
      if (!head->processChunk(chunk))
        break;
    }
    head->flush();
    if (options.logStatisticsOfEachFile)
      head->logStatistics("");
    head->closeFile();
  }
  head->endJob();
  if (options.afterRun)
    options.afterRun(*head);
  return files;
}

std::string runInChunks(const FilterFactory &make, std::string_view input, std::size_t chunkSize,
                        const ChunkRunOptions &options) {
  std::string all;
  for (const auto &file : runFilesInChunks(make, {std::string(input)}, chunkSize, options))
    all += file;
  return all;
}

::testing::AssertionResult isChunkInvariant(const FilterFactory &make, std::string_view input,
                                            std::string *output, const ChunkRunOptions &options) {
  std::string whole = runInChunks(make, input, 0, options);
  for (std::size_t split : chunkSplits) {
    if (split == 0)
      continue;
    std::string cut = runInChunks(make, input, split, options);
    if (cut != whole) {
      std::size_t at = 0;
      while (at < cut.size() && at < whole.size() && cut[at] == whole[at])
        ++at;
      return ::testing::AssertionFailure()
             << "output differs when fed " << splitName(split) << ", first at byte " << at
             << "\n  whole: \"" << printable(whole) << "\"\n  " << splitName(split) << ": \""
             << printable(cut) << "\"";
    }
  }
  if (output)
    *output = whole;
  return ::testing::AssertionSuccess();
}

std::string expectChunkInvariant(const FilterFactory &make, std::string_view input,
                                 const ChunkRunOptions &options) {
  std::string output;
  EXPECT_TRUE(isChunkInvariant(make, input, &output, options));
  if (output.empty())
    output = runInChunks(make, input, 0, options);
  return output;
}

} // namespace marrowen::testing

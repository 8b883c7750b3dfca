#pragma once

#include "engine/inputs.h"

#include <string>
#include <utility>
#include <vector>

namespace marrowen::testing {

// An input over several named texts held in memory, read in chunks like
// files: for tests of the read loop and of outputs over several inputs.
// The names may name real files (an output reads the input's date).
class ListInput : public TGenericInput {
public:
  explicit ListInput(std::vector<std::pair<std::string, std::string>> inputs)
      : inputs_(std::move(inputs)) {}

  bool nextInput() override {
    if (static_cast<std::size_t>(inputIndex_) >= inputs_.size())
      return false;
    currentInputName_ = inputs_[inputIndex_].first;
    current_ = &inputs_[inputIndex_].second;
    offset_ = 0;
    inputSize_ = static_cast<std::int64_t>(current_->size());
    ++inputIndex_;
    return true;
  }

  std::int64_t readChunk(std::string &chunk) override {
    ++reads;
    std::size_t n = std::min<std::size_t>(chunkSize, current_->size() - offset_);
    chunk.assign(*current_, offset_, n);
    offset_ += n;
    lastChunkLength_ = static_cast<std::int64_t>(n);
    return lastChunkLength_;
  }

  int reads = 0;

private:
  std::vector<std::pair<std::string, std::string>> inputs_;
  const std::string *current_ = nullptr;
  std::size_t offset_ = 0;
};

} // namespace marrowen::testing

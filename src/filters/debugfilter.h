#pragma once

#include "engine/filter.h"
#include "engine/userinterface.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace marrowen {

// A debug window without a screen: it keeps its buffer for whoever asks.
class HeadlessDebugWindow : public DebugWindow {
public:
  void clearBuffer() override { lines_.clear(); }
  int addLine(const std::string &text) override {
    lines_.push_back(text);
    return static_cast<int>(lines_.size()) - 1;
  }
  void show() override { shown_ = true; }

  const std::vector<std::string> &lines() const { return lines_; }
  // The buffer's lines, each ended by "\n".
  std::string text() const;
  bool shown() const { return shown_; }

private:
  std::vector<std::string> lines_;
  bool shown_ = false;
};

// Shows the data that passes its place in the chain in a window of its own,
// framed by markers for the start and end of the job and of every input
// file, and passes the data on unchanged.
class TDebugFilter : public TFilter {
public:
  // Made on the user-interface thread, like every window.
  TDebugFilter();

  bool hasChanged() override { return false; }
  void attachJob(JobSink *job) override;
  void startJob() override;
  void endJob() override;
  void startFile() override;
  void endFile() override;
  bool processChunk(std::string &chunk) override;

  const std::shared_ptr<DebugWindow> &window() const { return window_; }

private:
  void write(const std::string &text);

  std::shared_ptr<DebugWindow> window_;
};

} // namespace marrowen

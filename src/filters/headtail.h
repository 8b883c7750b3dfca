#pragma once

#include "engine/lines.h"
#include "filters/linewindow.h"

#include <cstdint>
#include <string>

namespace marrowen {

// Keep (include) or drop (exclude) the first or last N lines or bytes of
// every file. A count below 0 counts as 0.

// The first N lines.
class TIncludeExcludeLinesFromStart : public TProcessLines {
public:
  TIncludeExcludeLinesFromStart(int count, bool include);
  void processLine(std::string_view lineEnd) override;

private:
  std::int64_t count_;
  bool include_;
};

// The first N bytes.
class TIncludeExcludeBytesFromStart : public TGenericStateMachine {
public:
  TIncludeExcludeBytesFromStart(int count, bool include);
  bool processChunk(std::string &chunk) override;
  void startFile() override;

private:
  std::int64_t count_;
  bool include_;
  std::int64_t seen_ = 0; // bytes of the file so far
};

// The last N lines, each with its own line end. Holds at most N lines (and
// the partial line) back; with include they go on at the end of the file,
// one chunk per line; with exclude each older line goes on as soon as N
// newer ones follow it, and the last N are dropped.
class TIncludeExcludeLinesFromEnd : public TProcessLines {
public:
  TIncludeExcludeLinesFromEnd(int count, bool include);
  bool processChunk(std::string &chunk) override;
  bool putLine(std::string_view line, std::string_view lineEnd) override;
  void processLine(std::string_view lineEnd) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  bool sendReleased();
  // Exclude: an older line (or its line end) on its way.
  void release(std::string_view text);

  std::size_t count_;
  bool include_;
  LineWindow held_;
  std::string released_; // exclude: older lines not yet passed on
  std::string scratch_;  // a piece of a long line on its way
};

// The last N bytes. The held bytes are a window into one string that is
// compacted now and then, so the cost per byte does not grow with N.
class TIncludeExcludeBytesFromEnd : public TGenericStateMachine {
public:
  TIncludeExcludeBytesFromEnd(int count, bool include);
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  std::size_t count_;
  bool include_;
  std::string held_;
  std::size_t start_ = 0; // the held bytes are held_[start_ ..]
};

// Sends nothing on, so every file comes out empty.
class TDeleteAll : public TFilter {
public:
  bool processChunk(std::string &chunk) override;
};

} // namespace marrowen

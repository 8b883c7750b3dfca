#pragma once

#include "engine/lines.h"
#include "filters/linewindow.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>

namespace marrowen {

class CodePage;

// Keep (include) or drop (exclude) the first or last N lines or characters
// of every file. A count below 0 counts as 0. Characters are counted as
// `wc -m` counts them (a valid UTF-8 sequence is one, any other byte one),
// and what the eye sees as one letter (a letter and its combining marks, a
// flag, CR LF) is kept or dropped whole: the cut comes before the first one
// that does not fit, so at most N characters are kept.

// The first N lines.
class TIncludeExcludeLinesFromStart : public TProcessLines {
public:
  TIncludeExcludeLinesFromStart(int count, bool include);
  void processLine(std::string_view lineEnd) override;

private:
  std::int64_t count_;
  bool include_;
};

// The first N characters. Until the cut is found, holds back only the
// letter that the next bytes may still lengthen.
class TIncludeExcludeBytesFromStart : public TGenericStateMachine {
public:
  TIncludeExcludeBytesFromStart(int count, bool include);
  bool processChunk(std::string &chunk) override;
  void startJob() override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  // Finds what of `text` lies before the cut; sends on what is decided and
  // keeps the rest in `held_`.
  bool judge(std::string_view text, bool textEnds);

  std::size_t count_;
  bool include_;
  std::shared_ptr<const CodePage> tables_;
  std::size_t seen_ = 0; // characters kept (or dropped) so far
  bool cut_ = false;     // the cut is behind: the rest goes on, or is dropped
  std::string held_;
  std::string sent_;
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

// The last N characters. The held bytes are a window into one string that
// is compacted now and then; their characters are counted as they come,
// with a mark every 256 characters, so a release steps over at most 255 and
// the cost per byte does not grow with N.
class TIncludeExcludeBytesFromEnd : public TGenericStateMachine {
public:
  TIncludeExcludeBytesFromEnd(int count, bool include);
  bool processChunk(std::string &chunk) override;
  void startJob() override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  // Lets go of the held letters that lie before the last N characters
  // however the file goes on; with exclude they go on.
  bool release(bool textEnds);
  void clear();

  std::size_t count_;
  bool include_;
  std::shared_ptr<const CodePage> tables_;
  std::string held_;
  std::size_t start_ = 0;   // the held bytes are held_[start_ ..]
  std::size_t counted_ = 0; // held_[.. counted_) is counted
  // Characters of the file before `start_` and before `counted_`.
  std::uint64_t before_ = 0;
  std::uint64_t total_ = 0;
  // Places in held_ at or after `start_` and the characters of the file
  // before each.
  std::deque<std::pair<std::size_t, std::uint64_t>> marks_;
};

// Sends nothing on, so every file comes out empty.
class TDeleteAll : public TFilter {
public:
  bool processChunk(std::string &chunk) override;
};

} // namespace marrowen

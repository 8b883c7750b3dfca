#pragma once

#include "classlib/utf8.h"

#include <string>

namespace marrowen {

// The bytes at a chunk's end that begin a character the next chunk may
// complete, held back so that a filter never judges a UTF-8 character in
// halves. What is still held at the end of a file is no character: the
// filter judges those bytes as bytes of the code page.
class CharacterCarry {
public:
  // Puts the bytes held before in front of `chunk`, then holds back the
  // incomplete character that ends it.
  void join(std::string &chunk) {
    if (!held_.empty()) {
      held_ += chunk;
      chunk.swap(held_);
    }
    std::size_t tail = utf8::incompleteTail(chunk);
    held_.assign(chunk, chunk.size() - tail, tail);
    chunk.resize(chunk.size() - tail);
  }
  // Holds `text` in front of what is held already: a filter that waits for
  // more than one character puts back what it has not judged yet.
  void holdInFront(std::string_view text) { held_.insert(0, text); }
  // Takes what is held, at the end of a file.
  std::string take() {
    std::string held;
    held.swap(held_);
    return held;
  }
  void clear() { held_.clear(); }
  std::size_t size() const { return held_.size(); }

private:
  std::string held_;
};

} // namespace marrowen

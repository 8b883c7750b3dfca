#pragma once

#include "engine/filter.h"
#include "support/all_bytes.h"
#include "support/chunk_harness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace marrowen::testing {

// A factory of fresh `F`s made from the same arguments:
//   expectChunkInvariant(factory<TTabsToSpaces>(4), "a\tb")
template <class F, class... Args> FilterFactory factory(Args... args) {
  return [=] { return std::make_unique<F>(args...); };
}

// Rows of input and expected output.
using Cases = std::vector<std::pair<std::string, std::string>>;

// Expects each row's output, whole and however the input is cut.
inline void expectCases(const FilterFactory &make, const Cases &cases) {
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(expectChunkInvariant(make, text), expected) << printable(text);
}

// Ends a chain: appends every chunk that reaches it to the test's string,
// which it never clears.
class StringSink : public TFilter {
public:
  explicit StringSink(std::string &out) : out_(out) {}
  bool processChunk(std::string &chunk) override {
    out_ += chunk;
    return true;
  }

private:
  std::string &out_;
};

// Upper-cases the ASCII letters of each chunk and passes it on.
class AsciiUpper : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    for (char &c : chunk)
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - ('a' - 'A'));
    return sendToNext(chunk);
  }
};

// Wraps each text it is given in "<" and ">", so a test sees what went
// through a child chain and in which pieces.
class AngleBrackets : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    std::string out = "<" + chunk + ">";
    return sendToNext(out);
  }
};

// Runs each piece between ";" through its subfilter chain, as a selection
// filter does.
class PieceSelector : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    std::string out;
    for (std::size_t start = 0;;) {
      std::size_t end = chunk.find(';', start);
      out += subFilterText(chunk.substr(start, end - start));
      if (end == std::string::npos)
        break;
      out += ';';
      start = end + 1;
    }
    return sendToNext(out);
  }
};

// Gives `parent` the subfilter chain `head`, ended by `end` (a gatherer or an
// ignore-flush filter), the way the chain builder does.
void giveSubfilters(TFilter &parent, std::unique_ptr<TFilter> head, std::unique_ptr<TFilter> end);
// The same, ended by a gatherer.
void giveSubfilters(TFilter &parent, std::unique_ptr<TFilter> head);

} // namespace marrowen::testing

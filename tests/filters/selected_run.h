#pragma once

#include "engine/filter.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <memory>
#include <string>

namespace marrowen::testing {

// A subfilter that shows what it was given: each run of the subfilter chain
// comes out in brackets and upper-cased, so "[AB\n]" means one run over
// "ab\n" and "[]" a run over nothing.
class BracketRun : public TFilter {
public:
  void startFile() override {
    std::string open = "[";
    sendToNext(open);
  }
  void endFile() override {
    std::string close = "]";
    sendToNext(close);
  }
  bool processChunk(std::string &chunk) override {
    for (char &c : chunk)
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 32);
    return sendToNext(chunk);
  }
};

// A factory of fresh `F`s made from `args`, each with a `BracketRun`
// subfilter chain ended by a gatherer, as the node builds them.
template <class F, class... Args> FilterFactory withBracketRun(Args... args) {
  return [=]() -> std::unique_ptr<TFilter> {
    auto filter = std::make_unique<F>(args...);
    giveSubfilters(*filter, std::make_unique<BracketRun>());
    return filter;
  };
}

} // namespace marrowen::testing

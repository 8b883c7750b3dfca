#include "support/filter_fixtures.h"

#include "engine/subchain.h"

namespace marrowen::testing {

void giveSubfilters(TFilter &parent, std::unique_ptr<TFilter> head, std::unique_ptr<TFilter> end) {
  TFilter *last = end.get();
  head->lastFilter()->setNext(std::move(end));
  head->markAsSubfilters();
  parent.setSubfilterChain(std::move(head), last);
}

void giveSubfilters(TFilter &parent, std::unique_ptr<TFilter> head) {
  giveSubfilters(parent, std::move(head), std::make_unique<TGatherer>());
}

} // namespace marrowen::testing

#pragma once

// For the base grid's own sources: its handlers of Qt's events run through
// guarded, so a failure is reported rather than let loose in Qt's event loop.

#include "grid/basegrid/basegrid.h"

#include <exception>

namespace marrowen {

template <class F> void TCustomGrid_dg::guarded(F &&handler) {
  try {
    handler();
  } catch (...) {
    reportGridException(std::current_exception());
  }
}

} // namespace marrowen

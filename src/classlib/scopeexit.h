#pragma once

namespace marrowen {

// Runs its function when the scope ends, however it ends: counters raised
// for the length of a call come down again when the call throws.
template <class F> struct ScopeExit {
  F f;
  ~ScopeExit() { f(); }
};
template <class F> ScopeExit(F) -> ScopeExit<F>;

} // namespace marrowen

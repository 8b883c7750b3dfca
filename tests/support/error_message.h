#pragma once

#include "classlib/exceptions.h"

#include <string>

namespace marrowen::testing {

// The message of the `E` that `op` raises, or "no error" when it raises none;
// an exception of another type passes through and fails the test.
//   EXPECT_EQ(errorOf<EStringListError>([&] { list.Strings(1); }), "List index ...");
template <class E = Exception, class Op> std::string errorOf(Op op) {
  try {
    op();
  } catch (const E &e) {
    return e.message();
  }
  return "no error";
}

} // namespace marrowen::testing

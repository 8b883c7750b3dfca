#pragma once

#include "classlib/stringlist.h"

#include <string>
#include <vector>

namespace marrowen::testing {

// The lines of a string list, in order.
inline std::vector<std::string> linesOf(const TStringList &list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i)
    out.push_back(list.Strings(i));
  return out;
}

} // namespace marrowen::testing

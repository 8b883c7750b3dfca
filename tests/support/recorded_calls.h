#pragma once

#include "engine/answers.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen::testing {

// The arguments of the calls recorded as "operation" (an empty argument) or
// "operation:argument" whose operation is `operation`, in order.
std::vector<std::string> argumentsOf(const std::vector<std::string> &calls,
                                     std::string_view operation);

// Takes the next scripted answer; `fallback` once none is left.
Answer nextAnswer(std::deque<Answer> &answers, Answer fallback);

} // namespace marrowen::testing

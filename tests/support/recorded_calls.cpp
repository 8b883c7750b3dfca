#include "support/recorded_calls.h"

namespace marrowen::testing {

std::vector<std::string> argumentsOf(const std::vector<std::string> &calls,
                                     std::string_view operation) {
  std::vector<std::string> result;
  for (const auto &call : calls) {
    std::string_view view = call;
    if (view == operation)
      result.emplace_back();
    else if (view.size() > operation.size() && view.substr(0, operation.size()) == operation &&
             view[operation.size()] == ':')
      result.emplace_back(view.substr(operation.size() + 1));
  }
  return result;
}

Answer nextAnswer(std::deque<Answer> &answers, Answer fallback) {
  if (answers.empty())
    return fallback;
  Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

} // namespace marrowen::testing

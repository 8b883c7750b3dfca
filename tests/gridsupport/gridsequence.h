#pragma once

// Random sequences of what a user and a program do to a shown data grid,
// checked after every step against a model of the values: (a) a shown editor
// stands on the current cell with that cell's value, and a scroll leaves its
// text and caret as they were; (b) the current cell is on a line that can be
// seen; (c) the window shows what a full paint draws; (d) the events name
// lines that exist in the order the grid promises; (e) the maps, counts and
// values agree with the model, and a list-only cell holds one of its choices
// or nothing; (f) a handler that refuses to end an edit
// keeps the current cell where the edit is; (g) the selections agree with
// the grid and mouse status, and a drag reaches no further than the view;
// (h) the top-left cell is the one reported last, on shown lines, and no
// scroll bar shows with nothing to scroll.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace marrowen::gridsequence {

// One operation and its raw arguments; the arguments are fitted to the grid
// as it is when the step runs, so that any subsequence is still a sequence.
struct Step {
  std::uint8_t op = 0;
  std::uint32_t a = 0;
  std::uint32_t b = 0;
};

std::vector<Step> randomSteps(std::uint32_t seed, int count);
// Four bytes a step, for a fuzzer.
std::vector<Step> stepsFromBytes(std::span<const std::uint8_t> bytes);

struct Failure {
  int step = 0;   // index of the step after which a check failed
  char check = 0; // 'a' .. 'h' as in the header comment, 'x' an exception
  std::string message;
};

struct Outcome {
  std::optional<Failure> failure;
  // What each step did, as run.
  std::vector<std::string> done;
};

// Runs the steps on a fresh grid; stops at the first failure.
Outcome run(const std::vector<Step> &steps, bool checkPainting = true);

// The fewest steps found within the budget that fail the same check.
std::vector<Step> shrink(std::vector<Step> steps, const Failure &failure,
                         std::chrono::seconds budget);

// The failure and the steps that lead to it, one a line.
std::string describe(const std::vector<Step> &steps);

} // namespace marrowen::gridsequence

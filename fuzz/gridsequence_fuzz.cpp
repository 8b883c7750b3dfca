// Steps of a user and a program on a shown grid, four bytes a step, checked
// after every step as the grid's random-sequence test checks its fixed seeds
// (tests/gridsupport/gridsequence.h): a failure prints the steps that lead to
// it and aborts.
//   build-fuzz/fuzz/gridsequence_fuzz -max_total_time=600 -max_len=1600 fuzz/corpus/gridsequence

#include "gridsupport/gridsequence.h"

#include <QApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <vector>

using namespace marrowen;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "gridsequence_fuzz";
  static char *argv[] = {name, nullptr};
  // Never destroyed: windows a run leaves to the event loop would outlive it
  // at exit.
  new QApplication(argc, argv);
  QApplication::setCursorFlashTime(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::vector<gridsequence::Step> steps = gridsequence::stepsFromBytes({data, size});
  const gridsequence::Outcome outcome = gridsequence::run(steps);
  if (!outcome.failure)
    return 0;
  steps.resize(static_cast<std::size_t>(outcome.failure->step) + 1);
  std::cerr << gridsequence::describe(steps);
  std::abort();
}

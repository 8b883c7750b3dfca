#pragma once

// A filter file run as the task menu runs it: loaded, built and handed to a
// headless job.

#include "engine/inputs.h"
#include "engine/jobhost.h"
#include "engine/processingthread.h"
#include "engine/statuswindow.h"
#include "filterlist/filterlist.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace marrowen::testing {

// Loads the list saved at `file`, builds it and runs it as a job named
// `filterName` that must process `expectedFiles` files; the job's errors, and
// one more line when a status window holds errors.
inline std::vector<std::string>
runSavedListAsJob(const std::string &file, const std::string &filterName, int expectedFiles) {
  TFilterList list;
  list.loadFromFile(file, {.wantOptions = false});
  int errorIndex = 0;
  std::unique_ptr<TFilter> chain = list.createFilters(false, false, errorIndex);
  auto *input = dynamic_cast<TGenericInput *>(chain.get());
  EXPECT_NE(input, nullptr);
  HeadlessJobHost host;
  JobOptions options;
  options.filterName = filterName;
  auto job = ProcessingThread::Create(host, *input, options);
  job->waitFor();
  EXPECT_EQ(job->processedFiles(), expectedFiles);
  std::vector<std::string> errors = host.shownExceptions();
  for (const auto &window : host.openWindows())
    if (window->hasErrors())
      errors.push_back("status window holds errors");
  return errors;
}

} // namespace marrowen::testing

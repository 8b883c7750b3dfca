#include "filters/debugfilter.h"

#include "engine/fileinput.h"
#include "engine/outputs.h"
#include "engine/processingthread.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"
#include "support/recording_status_window.h"
#include "support/temp_folder.h"

#include "support/recording_user_interface.h"
#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;

// Installs a factory that keeps every window it makes, for the test's life.
class RecordedWindows {
public:
  RecordedWindows() {
    ui->debugWindows = [this] {
      auto window = std::make_shared<HeadlessDebugWindow>();
      windows.push_back(window);
      return window;
    };
  }
  testing::InstalledUserInterface ui;

  std::vector<std::shared_ptr<HeadlessDebugWindow>> windows;
};

TEST(DebugFilter, ShowsTheDataBetweenMarkersAndPassesItOnUnchanged) {
  RecordedWindows recorded;
  testing::RecordingJob job;
  testing::ChunkRunOptions options;
  options.job = &job;
  options.inputName = "/data/in.txt";
  auto files = testing::runFilesInChunks(testing::factory<TDebugFilter>(), {"one\r\n", "two"}, 4096,
                                         options);
  EXPECT_EQ(files, (std::vector<std::string>{"one\r\n", "two"}));
  ASSERT_EQ(recorded.windows.size(), 1u);
  const HeadlessDebugWindow &window = *recorded.windows[0];
  EXPECT_TRUE(window.shown());
  EXPECT_EQ(window.lines(), (std::vector<std::string>{
                                "\r\n### Start of job ###\r\n",
                                "\r\n### Start of input file: /data/in.txt ###\r\n",
                                "one\r\n",
                                "\r\n### End of input file: /data/in.txt ###\r\n",
                                "\r\n### Start of input file: /data/in.txt ###\r\n",
                                "two",
                                "\r\n### End of input file: /data/in.txt ###\r\n",
                                "\r\n### End of job ###\r\n",
                            }));
  // Each of the eight writes and the clearing went through the job.
  EXPECT_GE(job.synchronizedCalls, 9);
}

TEST(DebugFilter, EachFilterHasAWindowOfItsOwnClearedAtEachJob) {
  RecordedWindows recorded;
  auto two = [] {
    auto head = std::make_unique<TDebugFilter>();
    head->setNext(std::make_unique<TDebugFilter>());
    return head;
  };
  std::string text = std::string(5000, 'x') + "\n";
  EXPECT_EQ(expectChunkInvariant(two, text), text);
  // Four runs of the harness, two windows each; without a job the window is
  // used directly.
  ASSERT_EQ(recorded.windows.size(), 8u);
  EXPECT_NE(recorded.windows[0], recorded.windows[1]);
  const std::vector<std::string> &lines = recorded.windows[1]->lines();
  EXPECT_EQ(lines.front(), "\r\n### Start of job ###\r\n");
  std::string shown;
  for (std::size_t i = 2; i + 2 < lines.size(); ++i)
    shown += lines[i];
  EXPECT_EQ(shown, text);
}

// A headless window that also notes the status windows it was matched to.
class MatchingWindow : public HeadlessDebugWindow {
public:
  void matchStatusWindow(JobStatusWindow &window) override { matched.push_back(&window); }
  std::vector<JobStatusWindow *> matched;
};

TEST(DebugFilter, InARealJobTheWindowFollowsTheJobsStatusWindow) {
  std::shared_ptr<MatchingWindow> window;
  testing::InstalledUserInterface ui;
  ui->debugWindows = [&] { return window = std::make_shared<MatchingWindow>(); };
  testing::TempFolder in, out;
  testing::writeFile(in.file("a.txt"), "alpha\n");
  auto chain = std::make_unique<TFileInput>(
      std::vector<FileGridRow>{{in.file("a.txt"), "None", "Add"}}, true, false, 0, 4096, false);
  chain->setNext(std::make_unique<TDebugFilter>());
  TFileOutput::Options outputOptions;
  outputOptions.useOutputFolder = true;
  outputOptions.outputFolder = out.path();
  chain->lastFilter()->setNext(std::make_unique<TFileOutput>(outputOptions));
  testing::RecordingJobHost host;
  JobOptions options;
  options.filterName = "Debug";
  ProcessingThread::Create(host, *chain, options)->waitFor();

  EXPECT_EQ(testing::readFile(out.file("a.txt")), "alpha\n");
  ASSERT_TRUE(window);
  ASSERT_FALSE(window->matched.empty());
  EXPECT_EQ(window->matched.front(), host.windows.at(0).lock().get());
  EXPECT_EQ(window->text(), "\r\n### Start of job ###\r\n\n"
                            "\r\n### Start of input file: " +
                                in.file("a.txt") +
                                " ###\r\n\n"
                                "alpha\n\n"
                                "\r\n### End of input file: " +
                                in.file("a.txt") +
                                " ###\r\n\n"
                                "\r\n### End of job ###\r\n\n");
}

TEST(DebugFilter, WithoutAFactoryTheWindowIsHeadless) {
  TDebugFilter filter;
  EXPECT_NE(dynamic_cast<HeadlessDebugWindow *>(filter.window().get()), nullptr);
  EXPECT_FALSE(filter.hasChanged());
}

} // namespace
} // namespace marrowen

// A job reaches the windows only through the one installed user interface:
// its questions, its message boxes and the clipboard.

#include "engine/inputs.h"
#include "engine/jobhost.h"
#include "engine/outputs.h"
#include "engine/processingthread.h"
#include "filters/exactsearch.h"
#include "support/recording_user_interface.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

TEST(UserInterfaceJob, QuestionsMessageBoxesAndTheClipboardArriveAtTheOneInterface) {
  testing::InstalledUserInterface ui;
  ui->replaceAnswers = {Answer::Skip};
  TStringInput input("typed");
  input.setText("abcb");
  input.setNext(std::make_unique<TSearchFilter>("b", "X", false, false, false, true, false, false));
  input.lastFilter()->setNext(std::make_unique<TClipboardOutput>());
  HeadlessJobHost host;
  JobOptions options;
  options.filterName = "Everything asks";
  options.loggingOn = true;
  options.logFileName = "/dev/full"; // every write fails: the log says so in a message box
  ProcessingThread::Create(host, input, options)->waitFor();

  EXPECT_EQ(ui->argumentsOf("askQueryReplace"), (std::vector<std::string>{"b", "b"}));
  EXPECT_EQ(ui->argumentsOf("setClipboardText"), std::vector<std::string>{"abcX"});
  const std::vector<std::string> boxes = ui->argumentsOf("showMessageBox");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Error writing to log file /dev/full", 0), 0u) << boxes[0];
}

} // namespace
} // namespace marrowen

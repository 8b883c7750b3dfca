#include "engine/userinterface.h"

#include "engine/job.h"
#include "support/recording_user_interface.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace marrowen;

TEST(Clipboard, TextStopsAtFirstNul) {
  setClipboardText(std::string("ab\0cd", 5));
  EXPECT_EQ(getClipboardText(), "ab");
  setClipboardText("");
  EXPECT_EQ(getClipboardText(), "");
}

TEST(Clipboard, HostSuppliesItsOwn) {
  {
    marrowen::testing::InstalledUserInterface ui;
    ui->clipboard = "from host";
    EXPECT_EQ(getClipboardText(), "from host");
    setClipboardText("back");
    EXPECT_EQ(ui->clipboard, "back");
  }
  EXPECT_EQ(getClipboardText(), "") << "a fresh headless clipboard after";
}

TEST(UserInterface, HeadlessAnswersReplaceAndMarksTheApplicationTerminating) {
  HeadlessUserInterface ui;
  QueryReplaceRequest request;
  EXPECT_EQ(ui.askQueryReplace(request), Answer::Replace);
  EXPECT_EQ(ui.createDebugWindow(), nullptr);
  ui.terminateApplication();
  EXPECT_TRUE(applicationTerminating());
  setApplicationTerminating(false);
}

TEST(UserInterface, AStopBySignalIsReportedOnce) {
  // The program's end and its watchdog may both report it.
  ::testing::internal::CaptureStderr();
  reportStoppedBySignal(SIGTERM);
  reportStoppedBySignal(SIGTERM);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Stopped by signal SIGTERM\n");
}

#include "engine/userinterface.h"

#include "engine/job.h"
#include "support/recording_user_interface.h"

#include <gtest/gtest.h>

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

#include "app/nodedialogs/commentdialogs.h"

#include "app_testing.h"
#include "components/fileedits.h"
#include "dialog_testing.h"
#include "filterlist/commentnodes.h"
#include "qtext/qtext.h"

#include <QCheckBox>
#include <QSpinBox>

#include <filesystem>
#include <fstream>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::RecordingSite;

using FilterOptionsForm = AppTest;

TEST_F(FilterOptionsForm, LogControlsFollowLoggingAndTheLogIsShownOrDeletedOnRequest) {
  RecordingSite site;
  TfilterOptions form(nullptr, &site);
  TFilterCommentObject node;
  node.log = {false, dir.file("job.log"), true, 500};
  form.putToScreen(node);
  EXPECT_FALSE(form.logFilename().isEnabled());
  form.findChild<QCheckBox *>("logToFile")->click();
  EXPECT_TRUE(form.logFilename().isEnabled());
  EXPECT_TRUE(form.findChild<QSpinBox *>("threshold")->isEnabled());
  form.getFromScreen(node);
  EXPECT_TRUE(node.log.enabled);

  form.showLogClick();
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(boxTexts[0], "The log file " + dir.file("job.log") + " does not exist");
  std::ofstream(dir.file("job.log")) << "log";
  form.showLogClick();
  EXPECT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(launcher->started.size(), 1);

  boxAnswer = QMessageBox::No;
  form.deleteLogClick();
  EXPECT_TRUE(std::filesystem::exists(dir.file("job.log")));
  boxAnswer = QMessageBox::Yes;
  form.deleteLogClick();
  EXPECT_FALSE(std::filesystem::exists(dir.file("job.log")));
  EXPECT_EQ(boxTexts.back(), "Delete log file [" + dir.file("job.log") + "] - are you sure?");

  // A bare name is the log a job writes: in the program's folder.
  node.log.fileName = "bare.log";
  form.putToScreen(node);
  std::ofstream(dir.file("bare.log")) << "log";
  form.showLogClick();
  EXPECT_EQ(launcher->started.size(), 2);
  form.deleteLogClick();
  EXPECT_FALSE(std::filesystem::exists(dir.file("bare.log")));

  // A name with a blank is quoted in the box, as its browse button leaves it.
  form.logFilename().SetFileName(QString::fromStdString(dir.file("my job.log")));
  std::ofstream(dir.file("my job.log")) << "log";
  form.showLogClick();
  EXPECT_EQ(launcher->started.size(), 3);
  form.deleteLogClick();
  EXPECT_FALSE(std::filesystem::exists(dir.file("my job.log")));

  // One that stays says so, and why.
  std::filesystem::create_directories(dir.file("kept.log/x"));
  form.logFilename().SetFileName(QString::fromStdString(dir.file("kept.log")));
  form.deleteLogClick();
  EXPECT_EQ(boxTexts.back(), "Couldn't delete file [" + dir.file("kept.log") + "]:Is a directory");

  // A log named with a byte that is no UTF-8 is named apart from the letter.
  form.logFilename().SetFileName(fileNameToQString(dir.file("lat\xE9n.log")));
  form.showLogClick();
  EXPECT_EQ(boxTexts.back(),
            messageToQString("The log file " + dir.file("lat\xE9n.log") + " does not exist")
                .toStdString());
}

} // namespace
} // namespace marrowen

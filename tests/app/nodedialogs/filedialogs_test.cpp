#include "app/nodedialogs/filedialogs.h"

#include "app_testing.h"
#include "components/fileedits.h"
#include "dialog_testing.h"
#include "filterlist/filenodes.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::RecordingSite;

using FileDialogs = AppTest;

TEST_F(FileDialogs, SplitSizesAndTheTwoWaysToSplit) {
  RecordingSite site;
  TsplitForm form(nullptr, &site);
  TSplitObject node;
  node.type = 1;
  form.putToScreen(node);
  auto *size = form.findChild<QSpinBox *>("splitSize");
  auto *character = form.findChild<QComboBox *>("splitChar");
  EXPECT_FALSE(size->isEnabled());
  EXPECT_TRUE(character->isEnabled());
  EXPECT_EQ(character->itemText(9), "  9  \\t");

  form.findChild<QRadioButton *>("splitSizeRadio")->click();
  EXPECT_TRUE(size->isEnabled());
  EXPECT_FALSE(character->isEnabled());
  auto *common = form.findChild<QComboBox *>("commonSplitSizes");
  common->setCurrentIndex(4);
  emit common->activated(4);
  EXPECT_EQ(size->value(), 1457664);
  EXPECT_EQ(common->currentIndex(), 0);
  form.getFromScreen(node);
  EXPECT_EQ(node.type, 0);
  EXPECT_EQ(node.size, 1457664);
}

TEST_F(FileDialogs, TheKindNamesTheFileAndItsBrowseDialog) {
  RecordingSite site;
  TmergeForm form(nullptr, &site);
  TMergeObject node;
  node.kind = TMergeObject::LinkFilterFile;
  node.fileName = "other.fll";
  form.putToScreen(node);
  EXPECT_EQ(form.findChild<QLabel *>("Label1")->text(), "&Link to Marrowen filter file (.fll)");
  EXPECT_EQ(form.mergeFilename().DefaultExt(), ".fll");
  EXPECT_EQ(form.helpContext(), 1240);
  node.kind = TMergeObject::RemoveLinesFoundIn;
  form.putToScreen(node);
  EXPECT_EQ(form.mergeFilename().toolTip(), "Remove all matching lines found in this file");
  EXPECT_EQ(form.mergeFilename().DefaultExt(), ".txt");
  form.mergeFilename().setText("\"lines.txt\"");
  form.openButtonClick();
  ASSERT_EQ(launcher->opened.size(), 1);
  EXPECT_EQ(launcher->opened.front(), "lines.txt");
}

} // namespace
} // namespace marrowen

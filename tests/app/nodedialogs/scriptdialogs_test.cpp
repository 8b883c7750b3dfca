#include "app/nodedialogs/scriptdialogs.h"

#include "app_testing.h"
#include "components/fileedits.h"
#include "dialog_testing.h"
#include "filterlist/filtermakers.h"
#include "filterlist/scriptnodes.h"
#include "scriptfilter/scriptmakers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::RecordingSite;

class ScriptDialogs : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    registerScriptFilterMakers();
  }
  void TearDown() override {
    installScriptFilterMakers({});
    AppTest::TearDown();
  }
  RecordingSite site;
};

TEST_F(ScriptDialogs, TheCheckNamesAMissingRoutineAndPassesTheExample) {
  TscriptForm form(nullptr, &site);
  TScriptObject node;
  node.language = "JScript";
  node.script = "function processLine(line, eol) { return line + eol; }";
  form.putToScreen(node);
  form.scriptParseButtonClick();
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(boxTexts[0].rfind("Missing function - startJob", 0), 0u) << boxTexts[0];

  form.scriptMemo().clear();
  form.BitBtn4Click();
  EXPECT_EQ(form.scriptLanguage().currentText(), "JScript");
  form.scriptParseButtonClick();
  ASSERT_EQ(boxTexts.size(), 2u);
  EXPECT_EQ(boxTexts[1], "Script passed checks Ok");
  EXPECT_TRUE(form.isDifferent(node));
}

TEST_F(ScriptDialogs, OnlyDelimitedOutputTakesADelimiterAndOnlyTheInsertScriptATable) {
  TdataForm form(nullptr, &site);
  TDatabaseObject node;
  node.outputFormat = 1;
  node.userName = "me";
  form.putToScreen(node);
  auto *delimiter = form.findChild<QComboBox *>("dbFieldDelimiter");
  auto *table = form.findChild<QLineEdit *>("dbInsertTable");
  EXPECT_FALSE(delimiter->isEnabled());
  EXPECT_FALSE(table->isEnabled());
  form.findChild<QRadioButton *>("dbInsert")->click();
  EXPECT_TRUE(table->isEnabled());
  form.findChild<QRadioButton *>("dbDelimited")->click();
  EXPECT_TRUE(delimiter->isEnabled());
  EXPECT_FALSE(table->isEnabled());
  form.getFromScreen(node);
  EXPECT_EQ(node.outputFormat, 0);
  EXPECT_EQ(node.userName, "me");
}

// The builder's file box quotes a database file whose path holds a blank, as
// its browse button leaves it; the connection names the file itself.
TEST_F(ScriptDialogs, TheBuilderNamesADatabaseFileChosenInAFolderWithABlank) {
  TdataForm form(nullptr, &site);
  TDatabaseObject node;
  form.putToScreen(node);
  dialogAnswer = [](QDialog &dialog) {
    auto &builder = dynamic_cast<TconnectionBuilder &>(dialog);
    builder.kind->setCurrentIndex(0);
    dynamic_cast<TFilenameEdit *>(builder.source)->SetFileName("/data/my db/x.sqlite");
    return int(QDialog::Accepted);
  };
  form.findChild<QPushButton *>("dbNewConnection")->click();
  EXPECT_EQ(form.findChild<QLineEdit *>("dbConnection")->text().toStdString(),
            "Driver=SQLite3;Database=/data/my db/x.sqlite");
}

} // namespace
} // namespace marrowen

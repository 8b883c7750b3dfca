#include "app/nodedialogs/searchdialogs.h"

#include "app_testing.h"
#include "dialog_testing.h"
#include "filterlist/searchnodes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

namespace marrowen {
namespace {

using testing::AppTest;

// A window that checks patterns as the filter-list window does.
class CheckingSite : public testing::RecordingSite {
public:
  void testRegExp(const std::string &pattern) override { marrowen::testRegExp(*this, pattern); }
};

class SearchForm : public AppTest {
protected:
  CheckingSite site;
  TsearchForm form{nullptr, &site};
  TSearchObject node;

  // Replaces a memo's text as typing does.
  void type(const char *memo, const QString &text) {
    auto *edit = form.findChild<QPlainTextEdit *>(memo);
    edit->selectAll();
    edit->insertPlainText(text);
  }
  void show(int type, const std::string &search, const std::string &replace) {
    node.patternType = type;
    node.searchString = search;
    node.replaceString = replace;
    form.putToScreen(node);
  }
};

TEST_F(SearchForm, TheStatusFollowsTheTextsAndTheDialect) {
  show(0, "", "x");
  EXPECT_EQ(site.status, "Error: Find string is blank");
  type("searchString", "abc");
  type("replaceString", "abcd");
  EXPECT_EQ(site.status, "Warning: Find and Replace string lengths don't match");
  EXPECT_EQ(form.findChild<QLabel *>("replaceStringLength")->text(), "Length: 4  Lines: 1");
  type("replaceString", "xyz");
  EXPECT_EQ(site.status, "");
  EXPECT_FALSE(site.statusIsError);
  // Lengths count letters, not their UTF-8 bytes.
  type("searchString", QStringLiteral("gr\u00F6\u00DFe\n\u65E5"));
  type("replaceString", QStringLiteral("GROSS\nE"));
  EXPECT_EQ(form.findChild<QLabel *>("searchStringLength")->text(), "Length: 7  Lines: 2");
  EXPECT_EQ(site.status, "");
  type("searchString", "\\q\\x4");
  EXPECT_TRUE(site.statusIsError) << "a broken escape";

  // The dialects are checked as the filter converts them: raw, each of
  // these patterns would not compile.
  show(5, "?x<", "");
  EXPECT_FALSE(site.statusIsError) << site.status;
  EXPECT_EQ(form.findChild<QLabel *>("searchStringLabel")->text(), "&Find Brief-style pattern");
  show(6, "*a", "");
  EXPECT_FALSE(site.statusIsError) << site.status;
  show(4, "?x<", "");
  EXPECT_TRUE(site.statusIsError);
}

// A text stored in the code page (an older filter file) keeps its bytes
// while its field is left as shown; what the user types is UTF-8, so it
// finds what a UTF-8 file holds. The grep pattern's one-line field alike.
TEST_F(SearchForm, StoredCodePageTextsStayUntilTypedOver) {
  show(0, "caf\xE9", "\xC9T\xC9");
  EXPECT_FALSE(form.isDifferent(node));
  TSearchObject read;
  form.getFromScreen(read);
  EXPECT_EQ(read.searchString, "caf\xE9");
  EXPECT_EQ(read.replaceString, "\xC9T\xC9");
  type("searchString", QStringLiteral("caf\u00e9 \u65e5"));
  EXPECT_TRUE(form.isDifferent(node));
  form.getFromScreen(read);
  EXPECT_EQ(read.searchString, "caf\xC3\xA9 \xE6\x97\xA5");
  EXPECT_EQ(read.replaceString, "\xC9T\xC9");

  testing::RecordingSite grepSite;
  TgrepForm grep(nullptr, &grepSite);
  TGrepObject stored;
  stored.pattern = "\xFC+";
  grep.putToScreen(stored);
  EXPECT_FALSE(grep.isDifferent(stored));
  auto *pattern = grep.findChild<QLineEdit *>("grepPattern");
  pattern->setText(pattern->text() + "x");
  TGrepObject typed;
  grep.getFromScreen(typed);
  EXPECT_EQ(typed.pattern, "\xC3\xBC+x");
}

TEST_F(SearchForm, TheDialectDimsItsOptions) {
  show(0, "a", "a");
  auto *type = form.findChild<QComboBox *>("patternType");
  auto *matchCase = form.findChild<QCheckBox *>("searchIgnoreCase");
  auto *wholeWord = form.findChild<QCheckBox *>("wholeWord");
  auto *options = form.findChild<QPushButton *>("patternOptionsButton");
  type->setCurrentIndex(2);
  emit type->activated(2);
  EXPECT_FALSE(matchCase->isEnabled());
  EXPECT_FALSE(wholeWord->isEnabled());
  EXPECT_TRUE(options->isHidden());
  EXPECT_EQ(form.findChild<QLabel *>("searchStringLabel")->text(), "&Find a word that sounds like");
  type->setCurrentIndex(3);
  emit type->activated(3);
  EXPECT_TRUE(matchCase->isEnabled());
  EXPECT_FALSE(options->isHidden());

  // A Perl pattern, which the list cannot show, keeps its label and options.
  show(4, "a", "");
  EXPECT_EQ(type->currentIndex(), -1);
  EXPECT_EQ(form.patternType(), 4);
  EXPECT_TRUE(wholeWord->isEnabled());
  EXPECT_FALSE(options->isHidden());

  auto *prompt = form.findChild<QCheckBox *>("promptOnReplace");
  auto *skip = form.findChild<QCheckBox *>("skipPromptIdentical");
  EXPECT_FALSE(skip->isEnabled());
  prompt->click();
  EXPECT_TRUE(skip->isEnabled());

  // No build accepts a type of 7 or more: the node starts again from 0.
  show(9, "a", "a");
  EXPECT_EQ(node.patternType, 0);
}

TEST_F(SearchForm, OptionBoxesEditTheValuesKeptOnTheForm) {
  show(4, "a", "");
  dialogAnswer = [](QDialog &box) {
    EXPECT_FALSE(box.findChild<QGroupBox *>("greedy")->isHidden()) << "Perl only";
    box.findChild<QSpinBox *>("bufferSize")->setValue(8192);
    return static_cast<int>(QDialog::Accepted);
  };
  form.patternOptionsButtonClick();
  EXPECT_EQ(form.bufferSize, 8192);
  EXPECT_TRUE(form.isDifferent(node));
  show(3, "a", "");
  dialogAnswer = [](QDialog &box) {
    box.findChild<QSpinBox *>("bufferSize")->setValue(5);
    return static_cast<int>(QDialog::Rejected);
  };
  form.patternOptionsButtonClick();
  EXPECT_EQ(form.threshold, node.threshold) << "cancelled";
}

using GrepForm = AppTest;

TEST_F(GrepForm, MatchCaseShowsTheNodeIgnoringCaseTheOtherWayRound) {
  testing::RecordingSite site;
  TgrepForm form(nullptr, &site);
  auto *matchCase = form.findChild<QCheckBox *>("grepMatchCase");
  TGrepObject node;
  node.ignoreCase = true;
  form.putToScreen(node);
  EXPECT_FALSE(matchCase->isChecked());
  matchCase->click();
  form.getFromScreen(node);
  EXPECT_FALSE(node.ignoreCase);
}

TEST_F(GrepForm, CountingAndExtractingSetAsideTheContext) {
  CheckingSite site;
  TgrepForm form(nullptr, &site);
  TGrepObject node;
  node.kind = TGrepObject::SelectNotMatching;
  node.pattern = "a\\x41";
  form.putToScreen(node);
  EXPECT_EQ(form.findChild<QLabel *>("grepTypeLabel")->text(), "&Select lines NOT matching");
  EXPECT_EQ(form.helpContext(), 1260);
  EXPECT_EQ(form.findChild<QLabel *>("grepPatternLength")->text(), "Length: 2");
  auto *context = form.findChild<QGroupBox *>("contextBox");
  form.findChild<QCheckBox *>("grepCountMatches")->click();
  EXPECT_FALSE(context->isEnabled());
  EXPECT_FALSE(form.findChild<QCheckBox *>("grepIncludeLineNumbers")->isEnabled());
  EXPECT_TRUE(form.isDifferent(node));

  node.kind = TGrepObject::Extract;
  node.pattern = "(";
  form.putToScreen(node);
  EXPECT_TRUE(context->isHidden());
  EXPECT_EQ(form.helpContext(), 1250);
  EXPECT_TRUE(site.statusIsError) << "the pattern is checked";
}

} // namespace
} // namespace marrowen

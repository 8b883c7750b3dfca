#include "app/jobs/queryreplace.h"

#include "app/jobs/windowjobhost.h"
#include "app_testing.h"
#include "classlib/exceptions.h"
#include "engine/inputs.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "filters/exactsearch.h"
#include "filters/patternfilters.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>

#include <atomic>
#include <set>

namespace marrowen {
namespace {

using testing::AppTest;

std::unique_ptr<TGenericInput> chainOver(const std::string &text, std::unique_ptr<TFilter> search,
                                         std::unique_ptr<TFilter> output) {
  auto input = std::make_unique<TStringInput>("trial");
  input->setText(text);
  input->setNext(std::move(search));
  input->lastFilter()->setNext(std::move(output));
  return input;
}

std::unique_ptr<TFilter> promptingSearch(const std::string &find, const std::string &replace) {
  return std::make_unique<TSearchFilter>(find, replace, false, false, false, true, false, false);
}

bool waitUntil(const std::function<bool()> &done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

void edit(QTextEdit &text, const QString &value) {
  text.setPlainText(value);
  text.document()->setModified(true);
}

int click(QDialog &dialog, QPushButton *button) {
  button->click();
  return dialog.result();
}

// The visible answer buttons and the rows they sit in.
std::pair<int, int> buttonsAndRows(const TTQueryReplace &dialog) {
  int buttons = 0;
  std::set<int> rows;
  for (auto *button : dialog.findChildren<QPushButton *>())
    if (!button->isHidden()) {
      ++buttons;
      rows.insert(button->y());
    }
  return {buttons, static_cast<int>(rows.size())};
}

// The button whose answer Enter gives with the focus off the buttons: the
// last answer's.
QPushButton *enterButton(TTQueryReplace &query) {
  query.show();
  query.activateWindow();
  if (!QTest::qWaitForWindowActive(&query))
    return nullptr;
  query.findChild<QTabBar *>()->setFocus();
  for (auto *button : query.findChildren<QPushButton *>())
    if (button->isDefault())
      return button;
  return nullptr;
}

using QueryReplaceTest = AppTest;

TEST_F(QueryReplaceTest, AJobKeepsOneDialogAndTakesAnEditedReplacementOnlyWithReplace) {
  WindowJobHost host;
  std::vector<TTQueryReplace *> asked;
  std::vector<QWidget *> focused;
  QWidget *skipButton = nullptr;
  dialogAnswer = [&](QDialog &dialog) {
    auto &query = dynamic_cast<TTQueryReplace &>(dialog);
    asked.push_back(&query);
    focused.push_back(query.focusWidget());
    switch (asked.size()) {
    case 1:
      EXPECT_EQ(buttonsAndRows(query), std::make_pair(8, 4));
      EXPECT_EQ(query.foundText().textCursor().selectedText(), "a");
      EXPECT_EQ(enterButton(query), query.answerButton(Answer::Replace));
      edit(query.replaceText(), "dropped");
      skipButton = query.answerButton(Answer::Skip);
      // Enter answers with the button that has the focus.
      skipButton->setFocus();
      QTest::keyClick(skipButton, Qt::Key_Return);
      return dialog.result();
    case 2:
      EXPECT_EQ(enterButton(query), skipButton);
      edit(query.replaceText(), "\\xZ1");
      return click(dialog, query.answerButton(Answer::Replace));
    default: // shown again after the refused escape; a line break typed is LF
      edit(query.replaceText(), "[\\x41\n]");
      return click(dialog, query.answerButton(Answer::Replace));
    }
  };
  std::string result;
  host.startJob(
      chainOver("xaya", promptingSearch("a", "b"),
                std::make_unique<TAdhocOutput>([&](const std::string &text) { result = text; })),
      JobOptions{});
  ASSERT_TRUE(waitUntil([&] { return host.activeJobs() == 0; }));
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[1], asked[0]);
  EXPECT_EQ(asked[2], asked[0]);
  // The second question focuses the button the first was answered with.
  EXPECT_EQ(focused[1], skipButton);
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(boxTexts[0].rfind("Replace text is invalid - ", 0), 0u) << boxTexts[0];
  EXPECT_EQ(result, "xay[A\n]");
}

TEST_F(QueryReplaceTest, ModifyChangesTheFiltersTemplateAndARefusedTemplateKeepsItsDialogOpen) {
  WindowJobHost host;
  int changeDialogs = 0;
  int questions = 0;
  dialogAnswer = [&](QDialog &dialog) {
    if (auto *change = qobject_cast<TchangeReplace *>(&dialog)) {
      ++changeDialogs;
      edit(change->replaceText(), "$7");
      change->okButton().click();
      EXPECT_NE(dialog.result(), QDialog::Accepted);
      edit(change->replaceText(), "<$1>");
      return click(dialog, &change->okButton());
    }
    auto &query = dynamic_cast<TTQueryReplace &>(dialog);
    if (++questions == 1) {
      query.changeButton().click();
      EXPECT_EQ(query.replaceText().toPlainText(), "<a>");
    }
    return click(dialog, query.answerButton(Answer::Replace));
  };
  std::string result;
  host.startJob(
      chainOver("a-a",
                std::make_unique<TRegExpFilter>("(a)", "b", true, false, false, true, false, false,
                                                true, false, true, 4096, TPatternType::PerlPattern),
                std::make_unique<TAdhocOutput>([&](const std::string &text) { result = text; })),
      JobOptions{});
  ASSERT_TRUE(waitUntil([&] { return host.activeJobs() == 0; }));
  EXPECT_EQ(changeDialogs, 1);
  ASSERT_EQ(boxTexts.size(), 1u); // the missing group, shown once
  // The new template serves this match and every later one.
  EXPECT_EQ(result, "<a>-<a>");
}

TEST_F(QueryReplaceTest, AChainWithoutAJobAsksTooAndEscOrClosingCancels) {
  installWindowHandlers();
  int questions = 0;
  dialogAnswer = [&](QDialog &dialog) {
    ++questions;
    QTest::keyClick(&dialog, Qt::Key_Escape);
    return dialog.result();
  };
  std::string result;
  auto chain = chainOver("a a", promptingSearch("a", "b"), std::make_unique<TStringOutput>(result));
  // Without a job to end, Cancel stops the run itself.
  EXPECT_THROW(chain->runInput(), EAbort);
  setUserInterface(nullptr);
  EXPECT_EQ(questions, 1);

  TTQueryReplace query;
  QueryReplaceRequest request;
  request.found = "x";
  dialogAnswer = [](QDialog &dialog) {
    dialog.close();
    return dialog.result();
  };
  EXPECT_EQ(query.confirmReplace(request), Answer::Cancel);
}

TEST_F(QueryReplaceTest, ASelectionOffersTenButtonsAndTheFoundTextIsSelectedWhereItIsShown) {
  TTQueryReplace query;
  QueryReplaceRequest request;
  request.textBefore = std::string("p\x01q\r\n", 5);
  request.found = std::string("f\x02", 2);
  request.textAfter = "after";
  request.replacement = "r\\n";
  request.inSelection = true;
  dialogAnswer = [&](QDialog &dialog) {
    EXPECT_EQ(buttonsAndRows(query), std::make_pair(10, 5));
    EXPECT_EQ(query.foundText().textCursor().selectedText(), "f\\002");
    EXPECT_EQ(query.replaceText().toPlainText(), "r\\n");
    // Unedited, the replacement goes back as it came.
    return click(dialog, query.answerButton(Answer::ReplaceSelection));
  };
  EXPECT_EQ(query.confirmReplace(request), Answer::ReplaceSelection);
  EXPECT_EQ(request.replacement, "r\\n");
}

} // namespace
} // namespace marrowen

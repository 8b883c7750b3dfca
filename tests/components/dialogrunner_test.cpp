#include "components/dialogrunner.h"

#include <QDialog>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace marrowen;

TEST(DialogRunner, ReplacedRunnerAnswersAndScopeRestoresThePrevious) {
  int outerCalls = 0;
  ScopedDialogRunner outer([&](QDialog &) {
    ++outerCalls;
    return int(QDialog::Rejected);
  });
  {
    ScopedDialogRunner inner([](QDialog &dialog) {
      dialog.accept();
      return dialog.result();
    });
    QDialog dialog;
    EXPECT_EQ(DialogRunner::exec(dialog), QDialog::Accepted);
  }
  QDialog dialog;
  EXPECT_EQ(DialogRunner::exec(dialog), QDialog::Rejected);
  EXPECT_EQ(outerCalls, 1);
}

TEST(DialogRunner, MessageBoxGivesTheButtonTheRunnerClicked) {
  ScopedDialogRunner runner([](QDialog &dialog) {
    auto &box = static_cast<QMessageBox &>(dialog);
    EXPECT_EQ(box.text(), "Replace it?");
    EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
    box.button(QMessageBox::Yes)->click();
    return 0;
  });
  EXPECT_EQ(showMessageBox(nullptr, QMessageBox::Question, "Title", "Replace it?",
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
            QMessageBox::Yes);
}

#include "app/nodedialogs/utilitydialogs.h"

#include "app_testing.h"
#include "dialog_testing.h"
#include "filterlist/node_records.h"
#include "filterlist/utilitynodes.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::RecordingSite;

using UtilityDialogs = AppTest;

// A user who fills the program's fields as their captions read gets a
// program that reads the text and whose result comes back.
TEST_F(UtilityDialogs, ProgramFilesAreWhatTheirCaptionsSay) {
  // The program's files are named relative to the folder the job runs in.
  testing::TempFolder dir;
  testing::WorkingFolder here(dir.path());
  RecordingSite site;
  TexecuteForm form(nullptr, &site);
  TExecuteObject node;
  form.putToScreen(node);
  auto typeInto = [&](const QString &caption, const QString &text) {
    QLabel *label = nullptr;
    for (QLabel *candidate : form.findChildren<QLabel *>())
      if (candidate->text() == caption)
        label = candidate;
    ASSERT_NE(label, nullptr) << caption.toStdString();
    auto *edit = qobject_cast<QLineEdit *>(label->buddy());
    ASSERT_NE(edit, nullptr) << caption.toStdString();
    edit->clear();
    QTest::keyClicks(edit, text);
  };
  typeInto("Co&mmand line", "sort -r -o sorted.txt unsorted.txt");
  typeInto("&Input file for external program", "unsorted.txt");
  typeInto("Program's &output file", "sorted.txt");
  form.getFromScreen(node);
  EXPECT_FALSE(form.isDifferent(node));
  EXPECT_EQ(testing::runNode(node, "b\na\nc\n"), "c\nb\na\n");
}

} // namespace
} // namespace marrowen

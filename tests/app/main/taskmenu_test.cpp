#include "app/main/taskmenu.h"

#include "app/jobs/windowjobhost.h"
#include "engine/userinterface.h"
#include "fakewindow.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"

#include <QAction>
#include <QMenu>

#include <sys/stat.h>

namespace marrowen {
namespace {

using testing::fileExists;
using testing::readFile;
using testing::waitFor;
using testing::writeFile;

class TaskMenuTest : public testing::MainWindowTest {
protected:
  void installHooks() override { installTaskMenu(); }

  // An upper-casing list reading and writing the clipboard, or files.
  void saveList(const std::string &name, bool fromFiles, const std::string &log = {}) {
    TFilterList list;
    list.resetToDefault();
    auto *input = dynamic_cast<TInputObject *>(&list.node(1));
    auto *output = dynamic_cast<TOutputObject *>(&list.node(2));
    input->inputFromFile = fromFiles;
    output->outputToFile = fromFiles ? TOutputObject::files : TOutputObject::clipboard;
    if (fromFiles)
      list.files.push_back({dir.file("in.txt"), "None", "Add"});
    list.insertNode(2, TDescriptionObject::CreateWith(5), 1, true);
    if (!log.empty()) {
      list.log.enabled = true;
      list.log.fileName = "\"" + log + "\"";
    }
    list.saveToFile(dir.file("TaskMenu/" + name));
  }
  std::vector<QAction *> items() {
    std::vector<QAction *> found;
    for (QAction *a : main->taskMenu()->actions())
      if (a->property("tag").toInt() == 1003)
        found.push_back(a);
    return found;
  }
  QAction *item(const QString &caption) {
    for (QAction *a : items())
      if (a->text() == caption)
        return a;
    return nullptr;
  }
  void runAndWait(QAction *a) {
    ASSERT_NE(a, nullptr);
    a->trigger();
    EXPECT_TRUE(waitFor([&] { return main->jobHost().activeJobs() == 0; }));
  }
};

TEST_F(TaskMenuTest, OneItemPerFilterFileAndEachRunsItsOwnFile) {
  ::mkdir(dir.file("TaskMenu").c_str(), 0700);
  saveList("Up&per.fll", false, dir.file("task.log"));
  saveList("Report.FLL.fll", true);
  writeFile(dir.file("TaskMenu/notes.txt"), "not a list");
  writeFile(dir.file("in.txt"), "abc\n");
  refreshTaskBarList();
  main->findChild<QAction *>(QStringLiteral("Refreshlist2"))->trigger();
  ASSERT_EQ(items().size(), 2u);
  ASSERT_NE(item(QStringLiteral("Report")), nullptr);
  EXPECT_EQ(item(QStringLiteral("Report"))->statusTip(), "Click here to load and run this filter");

  // The first occurrence of the extension ends the caption, and the file
  // itself is what runs.
  runAndWait(item(QStringLiteral("Report")));
  EXPECT_EQ(readFile(dir.file("in.txt")), "ABC\n");

  // An "&" in a name shows as itself, and the job takes the name as it is.
  setClipboardText("clip");
  runAndWait(item(QStringLiteral("Up&&per")));
  EXPECT_EQ(getClipboardText(), "CLIP");
  ASSERT_TRUE(fileExists(dir.file("task.log")));
  EXPECT_NE(readFile(dir.file("task.log")).find("Up&per"), std::string::npos);

  // Forced to the clipboard, a file list reads and writes the clipboard.
  main->findChild<QAction *>(QStringLiteral("Forceclipboard1"))->trigger();
  setClipboardText("forced");
  writeFile(dir.file("in.txt"), "abc\n");
  runAndWait(item(QStringLiteral("Report")));
  EXPECT_EQ(getClipboardText(), "FORCED");
  EXPECT_EQ(readFile(dir.file("in.txt")), "abc\n");
}

TEST_F(TaskMenuTest, InvalidAndDamagedListsStartNothing) {
  ::mkdir(dir.file("TaskMenu").c_str(), 0700);
  TFilterList invalid;
  invalid.resetToDefault();
  invalid.nodes.pop_back(); // no output
  invalid.saveToFile(dir.file("TaskMenu/Invalid.fll"));
  writeFile(dir.file("TaskMenu/Damaged.fll"), "TPF0garbage");
  refreshTaskBarList();
  ASSERT_EQ(items().size(), 2u);
  item(QStringLiteral("Invalid"))->trigger();
  EXPECT_EQ(main->statusText(), "Error - no filters have been specified");
  EXPECT_TRUE(main->statusIsError());
  item(QStringLiteral("Damaged"))->trigger();
  EXPECT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(main->jobHost().activeJobs(), 0);
}

TEST_F(TaskMenuTest, GoAndClipboardRunTheActiveWindow) {
  main->CreateMDIChild();
  main->findChild<QAction *>(QStringLiteral("taskMenuGo"))->trigger();
  main->findChild<QAction *>(QStringLiteral("Clipboard1"))->trigger();
  EXPECT_EQ(made.at(0)->goes, (std::vector<bool>{false, true}));
}

} // namespace
} // namespace marrowen

#include "app/listwindow/listdocument.h"
#include "app/listwindow/wizard.h"
#include "app_testing.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/utilitynodes.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

namespace marrowen::testing {
namespace {

// The filters between input and output as "Class(parameter)@level", with
// the class's leading "T" and trailing "Object" left out.
std::string shape(const TFilterList &list) {
  std::string text;
  for (int i = 2; i < list.count() - 1; ++i) {
    const TListObject &node = list.node(i);
    std::string name(node.className());
    name = name.substr(1, name.size() - 7);
    int parameter = -1;
    if (auto *n = dynamic_cast<const TDescriptionObject *>(&node))
      parameter = n->kind;
    else if (auto *n = dynamic_cast<const TDeleteColumnsObject *>(&node))
      parameter = n->kind;
    else if (auto *n = dynamic_cast<const TGrepObject *>(&node))
      parameter = n->kind;
    else if (auto *n = dynamic_cast<const TSearchObject *>(&node))
      parameter = n->patternType;
    else if (auto *n = dynamic_cast<const TMergeObject *>(&node))
      parameter = n->kind;
    else if (auto *n = dynamic_cast<const TDuplicateObject *>(&node))
      parameter = n->kind;
    if (!text.empty())
      text += ' ';
    text += name + (parameter >= 0 ? "(" + std::to_string(parameter) + ")" : "") + "@" +
            std::to_string(list.nodes[static_cast<std::size_t>(i)].level);
  }
  return text;
}

class WizardTest : public AppTest {};

TEST_F(WizardTest, EveryTaskAddsItsNodes) {
  const char *expected[] = {"Search(0)@1",
                            "Search(1)@1",
                            "EOL@1",
                            "Description(5)@1",
                            "Description(6)@1",
                            "Description(7)@1",
                            "Description(8)@1",
                            "Description(9)@1",
                            "Description(42)@1",
                            "Description(1)@1",
                            "Description(2)@1",
                            "Split@1",
                            "Merge(0)@1",
                            "String(0)@1",
                            "String(1)@1",
                            "String(2)@1",
                            "String(3)@1",
                            "InsertColumn@1",
                            "LineNumber@1",
                            "Description(10)@1",
                            "Description(12)@1",
                            "Description(11)@1",
                            "Description(19)@1",
                            "DeleteColumns(0)@1",
                            "Grep(0)@1",
                            "Grep(1)@1",
                            "Grep(1)@1",
                            "Grep(0)@1",
                            "Description(16)@1",
                            "Description(13)@1",
                            "Number(0)@1",
                            "Number(1)@1",
                            "Number(2)@1",
                            "Sort@1",
                            "User@1",
                            "UnicodeMap@1",
                            "DeleteColumns(2)@1 Search(0)@2 Comment@1",
                            "DeleteColumns(1)@1 Search(0)@2 Comment@1",
                            "DeleteColumns(4)@1 Search(0)@2 Comment@1",
                            "DeleteColumns(5)@1 Search(0)@2 Comment@1",
                            "DeleteColumns(1)@1 DeleteColumns(2)@2 Search(0)@3 Comment@1",
                            "Grep(0)@1 Search(0)@2 Comment@1",
                            "Grep(1)@1 Search(0)@2 Comment@1",
                            "Search(0)@1 Description(5)@2 Comment@1",
                            "Comment@1"};
  const auto &tasks = wizardTasks();
  ASSERT_EQ(tasks.size(), std::size(expected));
  for (std::size_t i = 0; i < tasks.size(); ++i) {
    SCOPED_TRACE(tasks[i].text);
    TListDocument doc;
    addWizardTask(doc, tasks[i].filter);
    EXPECT_EQ(shape(doc.filterList()), expected[i]);
  }
  TListDocument html;
  addWizardTask(html, tasks[1].filter);
  EXPECT_EQ(dynamic_cast<TSearchObject &>(html.filterList().node(2)).searchString,
            "<font[^>]*>[^<]*</font>");
  // Kinds no task uses, added after a selected filter.
  TListDocument unused;
  for (std::uint8_t kind : {3, 7, 8, 11, 12, 13, 19})
    addWizardTask(unused, {kind, 1});
  EXPECT_EQ(shape(unused.filterList()),
            "HeadTail@1 Duplicate(1)@1 Execute@1 Maths@1 Grep(1)@1 Script@1 Database@1");
}

TEST_F(WizardTest, PagesSourceAndStartupSetting) {
  // Texts of a language file cross in the code page, accents and all.
  writeFile(dir.file("Test.ini"), "[global]\r\n2220=Kommentar hinzuf\\374gen\r\n");
  installStringLoader(TStringLoader::Create(dir.file("Test.ini")));
  TListDocument doc;
  doc.inputNode()->inputFromFile = true;
  doc.outputNode()->outputToFile = TOutputObject::files;
  TWizardForm wizard(doc);
  QListWidget *tasks = wizard.tasks();
  ASSERT_EQ(tasks->count(), 45);
  EXPECT_EQ(tasks->item(44)->text(), QString::fromUtf8("Kommentar hinzufügen"));
  wizard.addButtonClick();
  EXPECT_EQ(doc.filterList().count(), 3);

  // The clipboard skips the file page and switches both nodes.
  wizard.nextButtonClick();
  wizard.inputSourceClick(1);
  EXPECT_TRUE(doc.filterHasChanged());
  EXPECT_FALSE(doc.inputNode()->inputFromFile);
  EXPECT_EQ(doc.outputNode()->outputToFile, TOutputObject::clipboard);
  wizard.nextButtonClick();
  EXPECT_EQ(wizard.pages()->currentIndex(), TWizardForm::ClipboardInputOutput);
  wizard.nextButtonClick();
  EXPECT_EQ(wizard.pages()->currentIndex(), TWizardForm::Filters);
  EXPECT_FALSE(wizard.addButton()->isHidden());
  wizard.prevButtonClick();
  wizard.prevButtonClick();
  EXPECT_EQ(wizard.pages()->currentIndex(), TWizardForm::FileOrClipboard);
  doc.setFilterHasChanged(false);
  wizard.inputSourceClick(1); // nothing changes, nothing is marked
  EXPECT_FALSE(doc.filterHasChanged());

  tasks->setCurrentRow(3);
  wizard.addButtonClick();
  EXPECT_EQ(shape(doc.filterList()), "Description(5)@1");

  wizard.showAtStartup()->click(); // off
  EXPECT_EQ(boxTexts, std::vector<std::string>{
                          "If you need it, you can find the Filter Wizard in the Tools Menu"});
  EXPECT_FALSE(readBoolSetting("showWizard", true));
  wizard.showAtStartup()->click(); // on
  EXPECT_EQ(boxTexts.size(), 1u);
  EXPECT_TRUE(readBoolSetting("showWizard", false));
}

} // namespace
} // namespace marrowen::testing

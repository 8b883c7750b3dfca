#include "app/nodedialogs/dialogcontrols.h"

#include "app/nodedialogs/commentdialogs.h"
#include "app/nodedialogs/eoldialogs.h"
#include "app/nodedialogs/filedialogs.h"
#include "app/nodedialogs/scriptdialogs.h"
#include "app/nodedialogs/searchdialogs.h"
#include "app/nodedialogs/utilitydialogs.h"
#include "app_testing.h"
#include "dialog_testing.h"
#include "filterlist/commentnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/node_records.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/utilitynodes.h"

#include <QCheckBox>
#include <QSpinBox>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::RecordingSite;
using testing::recordOf;

// Escapes, CR LF and lone line ends, bytes above 127, a NUL.
const std::string awkward = std::string("a\\tb\r\nc\nd\re\xE9\xFF\\x4", 17) + std::string(1, '\0');

struct Case {
  const char *name;
  std::function<std::unique_ptr<TListObject>()> node;
  std::function<std::unique_ptr<TdefaultForm1>(TNodeEditorSite *)> form;
};

template <class Form> std::function<std::unique_ptr<TdefaultForm1>(TNodeEditorSite *)> form() {
  return [](TNodeEditorSite *site) { return std::make_unique<Form>(nullptr, site); };
}

template <class Node> std::function<std::unique_ptr<TListObject>()> node(void (*set)(Node &)) {
  return [set] {
    auto made = std::make_unique<Node>();
    set(*made);
    return made;
  };
}

// Each node with values its controls show awkwardly or cannot show at all.
const std::vector<Case> &cases() {
  static const std::vector<Case> all = {
      {"search", node<TSearchObject>([](TSearchObject &n) {
         n.searchString = awkward;
         n.replaceString = "\\x41\r\n";
         n.ignoreCase = false;
         n.patternType = 4; // no item of the four-item list
         n.bufferSize = 12;
         n.threshold = 0;
         n.greedy = false;
       }),
       form<TsearchForm>()},
      {"grep", node<TGrepObject>([](TGrepObject &n) {
         n.pattern = awkward;
         n.contextBefore = 500;
         n.contextAfter = -3;
         n.kind = 2;
       }),
       form<TgrepForm>()},
      {"eol", node<TEOLObject>([](TEOLObject &n) {
         n.convertFrom = 7;
         n.convertTo = -1;
         n.fixedLength = 0;
         n.outputText = awkward;
       }),
       form<TEOLForm>()},
      {"map", node<TUserObject>([](TUserObject &n) {
         n.entries[0] = "\\x00\xE9";
         n.entries[65] = std::string(255, 'z');
         n.entries[255] = "\\255\\";
       }),
       form<TmapForm>()},
      {"merge", node<TMergeObject>([](TMergeObject &n) {
         n.fileName = "\"c:\\a b\\m\xE9.txt";
         n.kind = 3;
       }),
       form<TmergeForm>()},
      {"split", node<TSplitObject>([](TSplitObject &n) {
         n.size = 0;
         n.type = 2;
         n.character = 300;
         n.count = 0;
         n.position = 5;
       }),
       form<TsplitForm>()},
      {"duplicates", node<TDuplicateObject>([](TDuplicateObject &n) {
         n.ignoreLeading = 20000;
         n.kind = 1;
       }),
       form<TduplicatesForm>()},
      {"execute", node<TExecuteObject>([](TExecuteObject &n) {
         n.commandLine = "\"my prog\" -x \xE9";
         n.programOutputFilename = awkward;
       }),
       form<TexecuteForm>()},
      {"insert column", node<TInsertColumnObject>([](TInsertColumnObject &n) {
         n.position = -500000;
         n.text = awkward;
       }),
       form<TinsertColForm>()},
      {"concordance", node<TConcordanceObject>([](TConcordanceObject &n) {
         n.wordsBefore = 5000;
         n.format = "%s\t%s";
         n.dictionary = {"a", "b c", "\"q\""};
       }),
       form<TconcordanceForm>()},
      {"comment", node<TCommentObject>([](TCommentObject &n) { n.text = awkward; }),
       form<TcommentForm>()},
      {"script", node<TScriptObject>([](TScriptObject &n) {
         n.script = awkward;
         n.language = "PerlScript2";
       }),
       form<TscriptForm>()},
      {"database", node<TDatabaseObject>([](TDatabaseObject &n) {
         n.connection = awkward;
         n.password = "secret";
         n.outputFormat = 9;
         n.fieldDelimiter = "\\009";
       }),
       form<TdataForm>()},
  };
  return all;
}

using NodeDialogExchange = AppTest;

TEST_F(NodeDialogExchange, ViewingANodeLeavesItsRecordAsItWas) {
  RecordingSite site;
  for (const Case &c : cases()) {
    SCOPED_TRACE(c.name);
    auto node = c.node();
    const std::string before = recordOf(*node);
    auto dialog = c.form(&site);
    dialog->putToScreen(*node);
    EXPECT_FALSE(dialog->isDifferent(*node));
    dialog->getFromScreen(*node);
    EXPECT_EQ(recordOf(*node), before);
  }
  EXPECT_EQ(site.changes, 0) << "filling reports no change";

  TFilterCommentObject options;
  options.log = {true, std::string("c:\\logs\\\xE9.log"), false, 99999};
  TfilterOptions dialog(nullptr, &site);
  dialog.putToScreen(options);
  EXPECT_FALSE(dialog.isDifferent(options));
  dialog.getFromScreen(options);
  EXPECT_EQ(options.log, (LogOptions{true, std::string("c:\\logs\\\xE9.log"), false, 99999}));
}

TEST_F(NodeDialogExchange, AChangedControlIsTakenAndBecomesTheNextNodesDefault) {
  RecordingSite site;
  TsearchForm form(nullptr, &site);
  auto node = TSearchObject::CreateDefault();
  node->bufferSize = 12;
  form.putToScreen(*node);
  form.findChild<QCheckBox *>("wholeWord")->click();
  EXPECT_TRUE(form.isDifferent(*node));
  EXPECT_GT(site.changes, 0);
  node->editorForm = &form;
  node->getFromScreen();
  node->editorForm = nullptr;
  EXPECT_TRUE(node->wholeWord);
  EXPECT_EQ(node->bufferSize, 12);
  EXPECT_TRUE(TSearchObject::CreateDefault()->wholeWord);

  // A value clamped on screen is taken once the user sets the control.
  TDuplicateObject duplicates;
  duplicates.ignoreLeading = 20000;
  TduplicatesForm dupForm(nullptr, &site);
  dupForm.putToScreen(duplicates);
  auto *leading = dupForm.findChild<QSpinBox *>("dupIgnoreLeadingChars");
  leading->setValue(9);
  dupForm.getFromScreen(duplicates);
  EXPECT_EQ(duplicates.ignoreLeading, 9);
}

} // namespace
} // namespace marrowen

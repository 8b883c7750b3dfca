#include "app/nodedialogs/linedialogs.h"

#include "app/nodedialogs/dialogbase.h"
#include "app_testing.h"
#include "dialog_testing.h"
#include "filterlist/linenodes.h"
#include "filterlist/node_records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <stdexcept>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::RecordingSite;
using testing::recordOf;

// A control of the form by its name; a missing one fails the test.
template <class Control> Control &control(QWidget &form, const char *name) {
  auto *found = form.findChild<Control *>(QString::fromLatin1(name));
  if (!found)
    throw std::logic_error(std::string("no control ") + name);
  return *found;
}

// One dialog: the user sets every control away from the node's default,
// and the node read back must hold exactly those values.
struct Case {
  const char *name;
  std::function<std::unique_ptr<TListObject>()> node;
  std::function<std::unique_ptr<TdefaultForm1>(TNodeEditorSite *)> form;
  std::function<void(QWidget &)> edit;
  std::function<void(TListObject &)> expected;
};

template <class Form> std::function<std::unique_ptr<TdefaultForm1>(TNodeEditorSite *)> form() {
  return [](TNodeEditorSite *site) { return std::make_unique<Form>(nullptr, site); };
}

template <class Node> std::function<void(TListObject &)> expect(void (*set)(Node &)) {
  return [set](TListObject &node) { set(static_cast<Node &>(node)); };
}

using LineDialogs = AppTest;

TEST_F(LineDialogs, EveryControlTheUserSetsIsReadBack) {
  const std::vector<Case> cases = {
      {"line numbers", [] { return std::make_unique<TLineNumberObject>(); },
       form<TlineNumberForm>(),
       [](QWidget &f) {
         control<QSpinBox>(f, "firstLineNumber").setValue(7);
         control<QSpinBox>(f, "lineNumberIncrement").setValue(3);
         control<QComboBox>(f, "lineNumberFormat").setEditText(QStringLiteral("Line %5d "));
         control<QCheckBox>(f, "DontNumberBlank").click();
         control<QCheckBox>(f, "skipBlankIncrement").click();
       },
       expect<TLineNumberObject>([](TLineNumberObject &n) {
         n.start = 7;
         n.increment = 3;
         n.format = "Line %5d ";
         n.dontNumberBlank = true;
         n.skipBlankIncrement = true;
       })},
      {"head and tail", [] { return std::make_unique<THeadTailObject>(); },
       form<TexcludeLinesForm>(),
       [](QWidget &f) {
         control<TRadioGroup>(f, "includeOrExclude").setItemIndex(1);
         control<QSpinBox>(f, "linesOrBytesCount").setValue(25);
         control<TRadioGroup>(f, "linesOrBytes").setItemIndex(1);
         control<TRadioGroup>(f, "StartOrEndOfFile").setItemIndex(1);
       },
       expect<THeadTailObject>([](THeadTailObject &n) {
         n.include = 1;
         n.count = 25;
         n.units = 1;
         n.fromEnd = 1;
       })},
      {"sort", [] { return std::make_unique<TSortObject>(); }, form<TsortForm>(),
       [](QWidget &f) {
         control<QComboBox>(f, "sortType").setCurrentIndex(4);
         control<QCheckBox>(f, "sortAllowDuplicates").click();
         control<QCheckBox>(f, "sortReverseOrder").click();
       },
       expect<TSortObject>([](TSortObject &n) {
         n.sortType = 4;
         n.removeDuplicates = true;
         n.reverseOrder = true;
       })},
      {"maths", [] { return std::make_unique<TMathsObject>(); }, form<TmathForm>(),
       [](QWidget &f) {
         control<QComboBox>(f, "mathsOperation").setCurrentIndex(5);
         control<QSpinBox>(f, "mathsOperand").setValue(200);
       },
       expect<TMathsObject>([](TMathsObject &n) {
         n.operation = 5;
         n.operand = 200;
       })},
      {"columns",
       [] { return TDeleteColumnsObject::CreateDefault(TDeleteColumnsObject::DeleteColumns); },
       form<TdeleteColForm>(),
       [](QWidget &f) {
         control<TRadioGroup>(f, "locateMethod").setItemIndex(3);
         control<QSpinBox>(f, "param1").setValue(4);
         control<QSpinBox>(f, "param2").setValue(9);
       },
       expect<TDeleteColumnsObject>([](TDeleteColumnsObject &n) {
         n.method = 3;
         n.param1 = 4;
         n.param2 = 9;
       })},
  };
  RecordingSite site;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    auto node = c.node();
    auto wanted = c.node();
    c.expected(*wanted);
    auto dialog = c.form(&site);
    dialog->putToScreen(*node);
    c.edit(*dialog);
    EXPECT_TRUE(dialog->isDifferent(*node));
    dialog->getFromScreen(*node);
    EXPECT_EQ(recordOf(*node), recordOf(*wanted));
  }
}

// Under a numeric or length sort, "Remove duplicate lines" drops lines whose
// texts differ; the dialog says so beside the box while such a type is
// chosen, and says nothing of it under the other types.
TEST_F(LineDialogs, TheSortDialogSaysWhichLinesANumericOrLengthSortTakesForDuplicates) {
  RecordingSite site;
  TsortForm dialog(nullptr, &site);
  TSortObject node;
  node.sortType = 5;
  dialog.putToScreen(node);
  auto &numeric = control<QLabel>(dialog, "numericDuplicatesNote");
  auto &length = control<QLabel>(dialog, "lengthDuplicatesNote");
  EXPECT_TRUE(numeric.text().contains("10 apples and 10 pears keep one line"));
  EXPECT_TRUE(length.text().contains("same length in characters"));
  const std::pair<int, std::pair<bool, bool>> shown[] = {
      {5, {false, true}}, {4, {true, false}}, {0, {false, false}}, {3, {false, false}}};
  for (const auto &[type, notes] : shown) {
    if (type != 5)
      control<QComboBox>(dialog, "sortType").setCurrentIndex(type);
    EXPECT_EQ(numeric.isVisibleTo(&dialog), notes.first) << "sort type " << type;
    EXPECT_EQ(length.isVisibleTo(&dialog), notes.second) << "sort type " << type;
  }
}

} // namespace
} // namespace marrowen

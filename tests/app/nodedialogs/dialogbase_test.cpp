#include "app/nodedialogs/dialogbase.h"

#include "app/nodedialogs/descriptiondialogs.h"
#include "app/nodedialogs/iodialogs.h"
#include "app/nodedialogs/linedialogs.h"
#include "app/nodedialogs/unicodemapform.h"
#include "app_testing.h"
#include "classlib/componentstream.h"
#include "dialog_testing.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/unicodenodes.h"
#include "qtext/qtext.h"

#include "components/filedialog.h"
#include "components/fileedits.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <filesystem>
#include <functional>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::RecordingSite;

class NodeDialogs : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    registerInputOutputDialogs();
    registerDescriptionDialogs();
    registerLineDialogs();
    registerUnicodeMapDialog();
  }
  RecordingSite site;
};

std::string record(const TListObject &node) {
  std::string out;
  ComponentWriter writer(out);
  node.writeData(writer);
  return out;
}

template <class Node> std::unique_ptr<TListObject> made(std::function<void(Node &)> set) {
  auto node = std::make_unique<Node>();
  set(*node);
  return node;
}

// Awkward values (escapes, CR LF, bytes above 127, range ends) and values
// the controls cannot show: viewing and leaving the node changes nothing.
TEST_F(NodeDialogs, ViewingANodeNeverChangesIt) {
  std::vector<std::unique_ptr<TListObject>> nodes;
  nodes.push_back(made<TInputObject>([](TInputObject &n) {
    n.inputFromFile = true, n.skipBinary = 2, n.binarySampleSize = 10000, n.deleteInput = true;
  }));
  nodes.push_back(made<TInputObject>([](TInputObject &n) { n.skipBinary = 7; }));
  nodes.push_back(made<TOutputObject>([](TOutputObject &n) {
    n.outputToFile = 2, n.newExtension = "\xe9\\t.txt", n.newBaseDir = "c:\\dir\xff";
    n.singleFilename = "a b\x81.txt", n.testMode = n.appendMode = n.changeBaseDir = true;
  }));
  nodes.push_back(made<TOutputObject>([](TOutputObject &n) { n.outputToFile = 5; }));
  nodes.push_back(made<TDescriptionObject>([](TDescriptionObject &n) { n.kind = 5; }));
  nodes.push_back(made<TNumberObject>([](TNumberObject &n) { n.kind = 2, n.number = 100000; }));
  nodes.push_back(made<TNumberObject>([](TNumberObject &n) { n.kind = 0, n.number = 0; }));
  nodes.push_back(made<TStringObject>([](TStringObject &n) {
    n.kind = 1, n.text = "a\r\nb\\t\xe9\nc", n.fileName = "x\xff", n.useString = false;
  }));
  nodes.push_back(made<TLineNumberObject>([](TLineNumberObject &n) {
    n.start = 10000, n.increment = 1000, n.format = "\\x41%d\t", n.dontNumberBlank = true;
  }));
  nodes.push_back(made<TLineNumberObject>(
      [](TLineNumberObject &n) { n.start = -5, n.increment = 0, n.format = "%s"; }));
  nodes.push_back(made<THeadTailObject>(
      [](THeadTailObject &n) { n.include = 2, n.count = 0, n.units = 3, n.fromEnd = 9; }));
  nodes.push_back(made<TSortObject>([](TSortObject &n) { n.sortType = 7, n.reverseOrder = true; }));
  nodes.push_back(made<TMathsObject>([](TMathsObject &n) { n.operation = 9, n.operand = 200; }));
  nodes.push_back(made<TMathsObject>([](TMathsObject &n) { n.operation = 20, n.operand = -1; }));
  nodes.push_back(made<TDeleteColumnsObject>(
      [](TDeleteColumnsObject &n) { n.kind = 3, n.method = 7, n.param1 = 0, n.param2 = 20000; }));
  nodes.push_back(made<TDeleteColumnsObject>(
      [](TDeleteColumnsObject &n) { n.kind = 1, n.method = 4, n.param1 = 0, n.param2 = 0; }));
  nodes.push_back(made<TUnicodeMapObject>([](TUnicodeMapObject &n) {
    n.startValue = -1, n.endValue = 65535, n.entries = {{"$41", "\\x00A"}, {"", ""}};
  }));
  for (const auto &node : nodes) {
    const std::string before = record(*node);
    const NodeDialogFactory factory = nodeDialogFactory(node->className());
    ASSERT_TRUE(factory) << node->className();
    std::unique_ptr<TNodeEditor> editor = factory(*node, site);
    editor->putToScreen(*node);
    if (node->className() != "TUnicodeMapObject") {
      EXPECT_FALSE(editor->isDifferent(*node)) << node->getTitle();
    }
    editor->getFromScreen(*node);
    EXPECT_EQ(record(*node), before) << node->getTitle();
  }
  EXPECT_EQ(site.changes, 0) << "filling reports no change";
}

TEST_F(NodeDialogs, LeavingAnEditedNodeRemembersItsValues) {
  auto node = TLineNumberObject::CreateDefault();
  node->showOnScreen(site);
  auto *form = dynamic_cast<TlineNumberForm *>(node->editorForm);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(site.changes, 0);
  form->firstLineNumber->setValue(42);
  EXPECT_GT(site.changes, 0);
  EXPECT_TRUE(node->hasChanged());
  node->removeFromScreen();
  EXPECT_EQ(node->start, 42);
  EXPECT_EQ(TLineNumberObject::CreateDefault()->start, 42);
}

TEST_F(NodeDialogs, InputAndOutputChoicesDimTheirOptions) {
  TinputForm input(nullptr, &site);
  auto node = TInputObject::CreateDefault();
  node->deleteInput = true;
  input.putToScreen(*node);
  EXPECT_TRUE(boxTexts.empty()) << "showing a node warns of nothing";
  input.clipInputRadio->click();
  EXPECT_FALSE(site.inputFromFiles);
  EXPECT_FALSE(input.skipBinary->isEnabled() || input.promptEachfile->isEnabled() ||
               input.deleteInputFiles->isEnabled());
  input.fileInputRadio->click();
  EXPECT_TRUE(site.inputFromFiles);
  input.skipBinary->setItemIndex(0);
  EXPECT_FALSE(input.binarySampleSize->isEnabled());
  input.skipBinary->setItemIndex(2);
  EXPECT_TRUE(input.binarySampleSize->isEnabled());
  input.deleteInputFiles->click();
  input.deleteInputFiles->click();
  ASSERT_EQ(boxTexts.size(), 1u) << "one warning per check, none for unchecking";
  EXPECT_EQ(boxTexts[0], "Warning! All Input Files will be deleted when processing has finished!");

  ToutputForm output(nullptr, &site);
  auto out = TOutputObject::CreateDefault();
  out->testMode = true;
  output.putToScreen(*out);
  EXPECT_TRUE(site.testMode);
  output.outputSingleFile->click();
  for (QWidget *option : std::initializer_list<QWidget *>{
           output.testMode, output.retainDateTime, output.changeExtension, output.newExtension,
           output.changeBaseDir, output.newBaseDir, output.maintainStructure})
    EXPECT_FALSE(option->isEnabled()) << option->objectName().toStdString();
  EXPECT_TRUE(output.singleFilename->isEnabled() && output.append->isEnabled());
  output.getFromScreen(*out);
  EXPECT_FALSE(site.testMode) << "test mode shows only for files written in place";

  // A stored folder of 255 bytes, five of them no UTF-8 holds: a deletion
  // takes one of those bytes away and the others keep theirs.
  const std::string folder = std::string(250, 'a') + std::string(5, '\xE9');
  out->outputToFile = TOutputObject::files;
  out->changeBaseDir = true;
  out->newBaseDir = folder;
  output.putToScreen(*out);
  output.newBaseDir->end(false);
  QTest::keyClick(output.newBaseDir, Qt::Key_Backspace);
  // A longer folder pasted is refused, and the window says why.
  QApplication::clipboard()->setText(QString(130, QChar(0xe9)));
  output.newBaseDir->selectAll();
  QTest::keyClick(output.newBaseDir, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(site.status, "The output folder is longer than 255 bytes");
  EXPECT_TRUE(site.statusIsError);
  output.getFromScreen(*out);
  EXPECT_EQ(out->newBaseDir, folder.substr(0, 254));
  // So is one picked with the browse button: the field keeps what it held.
  std::string picked = dir.path();
  while (picked.size() <= TOutputObject::shortStringLength)
    picked += "/d\xc3\xa9p\xc3\xb4t";
  std::filesystem::create_directories(picked);
  site.status.clear();
  dialogAnswer = [&](QDialog &dialog) {
    if (auto *files = qobject_cast<FileDialog *>(&dialog))
      files->selectFile(fileNameToQString(picked));
    return int(QDialog::Accepted);
  };
  output.newBaseDir->ButtonClick();
  EXPECT_EQ(site.status, "The output folder is longer than 255 bytes");
  output.getFromScreen(*out);
  EXPECT_EQ(out->newBaseDir, folder.substr(0, 254));
}

TEST_F(NodeDialogs, LineFamilyShowsExamplesAndLimits) {
  TlineNumberForm numbers(nullptr, &site);
  auto node = TLineNumberObject::CreateWith(1, 1);
  numbers.putToScreen(*node);
  EXPECT_EQ(numbers.exampleLineNumber->text(), "Example: [00001 Start of line text]");
  for (const char *bad : {"%s", "\\xZ1%d", "%d%d"}) {
    numbers.lineNumberFormat->setEditText(bad);
    EXPECT_EQ(numbers.exampleLineNumber->text(), "Invalid format - please check help") << bad;
  }

  TmathForm maths(nullptr, &site);
  maths.mathsOperand->setValue(200);
  EXPECT_EQ(maths.operandBases->text(), "Hex: C8  Binary: 11001000");
  maths.mathsOperation->setCurrentIndex(9);
  EXPECT_EQ(maths.mathsOperand->maximum(), 7);
  maths.mathsOperation->setCurrentIndex(8);
  EXPECT_FALSE(maths.mathsOperand->isEnabled());

  TdeleteColForm columns(nullptr, &site);
  auto lines = TDeleteColumnsObject::CreateWith(TDeleteColumnsObject::SelectLines);
  columns.putToScreen(*lines);
  EXPECT_EQ(columns.locateMethod->title(), " &Select lines ");
  EXPECT_EQ(columns.locateMethod->itemText(1), "10 lines starting at line 1");
  columns.locateMethod->setItemIndex(4);
  EXPECT_EQ(columns.param1->minimum(), 0);
  EXPECT_EQ(columns.param2->minimum(), 0);
  EXPECT_EQ(columns.param2Label->text(), "&End (relative to end)");
  columns.param1->setValue(0);
  EXPECT_EQ(columns.locateMethod->itemText(4), "Line END - 0 .. line END - 10");
}

} // namespace
} // namespace marrowen

#include "app/nodedialogs/unicodemapform.h"

#include "app_testing.h"
#include "dialog_testing.h"
#include "filterlist/unicodenodes.h"
#include "grid/widget/dgbasegrid.h"

#include <QSpinBox>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::RecordingSite;
using Row = TunicodeMapForm::Row;

class UnicodeMapForm : public AppTest {
protected:
  RecordingSite site;
  TunicodeMapForm form{nullptr, &site};

  void range(int start, int end) {
    form.startValue()->setValue(start);
    form.endValue()->setValue(end);
  }
  void type(int col, int row, const std::string &text) {
    form.grid()->SetCell(col, row, Variant(text));
    form.gridCellEdit(col, row);
  }
};

TEST_F(UnicodeMapForm, RangeButtonsFillClearAndDeleteByFirstRow) {
  range(65, 66);
  form.defaultButtonClick();
  EXPECT_EQ(form.rows(),
            (std::vector<Row>{{"65", "0041", "\\x00\\x41"}, {"66", "0042", "\\x00\\x42"}}));
  EXPECT_EQ(form.grid()->GetCurrentDataRow(), 2);
  range(66, 67);
  form.clearButtonClick();
  EXPECT_EQ(
      form.rows(),
      (std::vector<Row>{{"65", "0041", "\\x00\\x41"}, {"66", "0042", ""}, {"67", "0043", ""}}));
  range(65, 66);
  form.deleteButtonClick();
  EXPECT_EQ(form.rows(), (std::vector<Row>{{"67", "0043", ""}}));
  range(70, 60);
  form.defaultButtonClick();
  EXPECT_EQ(form.rows().size(), 1u) << "an end below the start does nothing";

  // Rows dragged into another order keep it, and the first row shown is a
  // code's first row.
  range(68, 69);
  form.clearButtonClick();
  type(1, 3, "67");
  const int changes = site.changes;
  form.grid()->MoveRows(3, 1);
  EXPECT_EQ(site.changes, changes + 1) << "a move is a change";
  range(67, 67);
  form.defaultButtonClick();
  auto node = TUnicodeMapObject::CreateDefault();
  form.getFromScreen(*node);
  std::vector<std::string> codes, texts;
  for (const UnicodeMapEntry &entry : node->entries)
    codes.push_back(entry.from), texts.push_back(entry.to);
  EXPECT_EQ(codes, (std::vector<std::string>{"67", "67", "68"}));
  EXPECT_EQ(texts, (std::vector<std::string>{"\\x00\\x43", "", ""}));
}

TEST_F(UnicodeMapForm, CodeCellsStepFollowAndRefuseBadCodes) {
  range(0, 0);
  form.clearButtonClick();
  form.gridSpinButtonClick(1, 2);
  EXPECT_EQ(form.rows()[0].code, "0") << "no step below 0";
  type(1, 1, "65535");
  form.gridSpinButtonClick(1, 1);
  EXPECT_EQ(form.rows()[0], (Row{"65535", "FFFF", ""})) << "no step past 65535";
  type(2, 1, "ff");
  EXPECT_EQ(form.rows()[0].code, "255");
  type(1, 1, "");
  EXPECT_EQ(form.rows()[0].hex, "0000") << "an empty code counts as 0";
  EXPECT_FALSE(site.statusIsError);
  for (const std::string &bad :
       std::vector<std::string>{"65536", "12a", "-1", std::string(400, '9')}) {
    type(1, 1, bad);
    EXPECT_TRUE(site.statusIsError) << bad;
    EXPECT_EQ(form.rows()[0].hex, "0000") << "the row is left as it was: " << bad;
  }
  type(2, 1, "1G");
  EXPECT_TRUE(site.statusIsError);
  EXPECT_EQ(form.rows()[0].code, std::string(400, '9'));

  // Typed by the user: the cell cannot be left holding a bad code, and Esc
  // gives the row back.
  TdgGrid &grid = *form.grid();
  type(1, 1, "7");
  grid.SetCurrentDataRow(1);
  ASSERT_TRUE(grid.StartEdit());
  grid.EditorValueChanged(Variant(std::string("70000")));
  EXPECT_FALSE(grid.EndEdit());
  EXPECT_EQ(form.rows()[0].hex, "0007");
  grid.EscapeKey();
  grid.EscapeKey();
  EXPECT_EQ(form.rows()[0], (Row{"7", "0007", ""}));
}

TEST_F(UnicodeMapForm, ViewingANodeKeepsWhatTheEditorCannotShow) {
  TUnicodeMapObject node;
  node.startValue = 70000;
  node.endValue = 5;
  node.entries = {{"$41", "A"}, {"x", "\\q"}, {"66", "\\x00\\x42"}};
  form.putToScreen(node);
  EXPECT_EQ(form.rows()[0], (Row{"$41", "0041", "A"}));
  TUnicodeMapObject copy;
  form.getFromScreen(copy);
  EXPECT_EQ(copy.entries, node.entries);
  EXPECT_EQ(copy.startValue, 70000);
  EXPECT_EQ(copy.endValue, 5);
  EXPECT_TRUE(form.isDifferent(node));
  form.startValue()->setValue(3);
  form.getFromScreen(copy);
  EXPECT_EQ(copy.startValue, 3) << "a value the user changed is taken";
}

} // namespace
} // namespace marrowen

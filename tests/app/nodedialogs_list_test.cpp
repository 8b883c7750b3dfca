#include "app/childform.h"
#include "app/nodedialogs.h"
#include "app_testing.h"

#include <QCoreApplication>

namespace marrowen::testing {
namespace {

class EveryDialog : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    registerNodeDialogs();
  }
};

// Looking at every node in its dialog, and leaving it, changes no stored byte.
TEST_F(EveryDialog, SelectingEachNodeLeavesTheSavedListUnchanged) {
  const std::string stored = MARROWEN_SOURCE_DIR "/tests/filterlist/data/every-node-class.fll";
  TchildForm form(1);
  form.resize(800, 600);
  form.show();
  form.loadFilterList(stored, false, false, true);
  form.saveFilterListAs(dir.file("before.fll"));
  const int count = form.filterTree().count();
  ASSERT_GT(count, 25);
  for (int i = 0; i < count; ++i) {
    form.selectItem(i);
    QCoreApplication::processEvents();
    const std::string name(form.filterTree().node(i).className());
    if (name != "TListObject") {
      EXPECT_NE(form.filterTree().node(i).editorForm, nullptr) << name;
    }
  }
  form.selectItem(0);
  form.saveFilterListAs(dir.file("after.fll"));
  EXPECT_EQ(readFile(dir.file("after.fll")), readFile(dir.file("before.fll")));
}

} // namespace
} // namespace marrowen::testing

#include "filterlist/listobject.h"
#include "filterlist/nodeeditor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace marrowen::testing {
namespace {

struct TextNode : TListObject {
  std::string text = "a\tb";
  mutable int remembered = 0;
  std::string getTitle() const override { return text; }
  void rememberDefaults() const override { ++remembered; }
};

// A dialog that counts how it is used and fails the test when it is touched
// after its release.
struct TextDialog : TNodeEditor {
  std::string control;
  bool released = false;
  int fills = 0;
  bool filledWhileFilling = false;
  void putToScreen(TListObject &node) override {
    EXPECT_FALSE(released);
    ++fills;
    filledWhileFilling = node.filling;
    control = static_cast<TextNode &>(node).text;
  }
  void getFromScreen(TListObject &node) override {
    EXPECT_FALSE(released);
    static_cast<TextNode &>(node).text = control;
  }
  bool isDifferent(const TListObject &node) const override {
    EXPECT_FALSE(released);
    return control != static_cast<const TextNode &>(node).text;
  }
};

struct Site : TNodeEditorSite {
  std::string heading;
  std::vector<std::unique_ptr<TextDialog>> dialogs;
  int placed = 0;
  void setFilterHeading(const std::string &text) override { heading = text; }
  TNodeEditor *editorFor(TListObject &, TNodeEditor *current) override {
    if (current)
      return current;
    dialogs.push_back(std::make_unique<TextDialog>());
    return dialogs.back().get();
  }
  void placeEditor(TNodeEditor &) override { ++placed; }
  void releaseEditor(TNodeEditor *editor) override {
    static_cast<TextDialog *>(editor)->released = true;
  }
};

TEST(NodeEditor, ShowingFillsTheDialogAndLeavingCopiesItBack) {
  Site site;
  TextNode node;
  node.showOnScreen(site);
  ASSERT_EQ(site.dialogs.size(), 1u);
  TextDialog &dialog = *site.dialogs[0];
  EXPECT_EQ(site.heading, " a b"); // the tab shows as a blank
  EXPECT_TRUE(dialog.filledWhileFilling);
  EXPECT_FALSE(node.filling);
  EXPECT_EQ(site.placed, 1);

  node.showOnScreen(site); // shown already: nothing happens
  EXPECT_EQ(dialog.fills, 1);

  EXPECT_FALSE(node.hasChanged());
  dialog.control = "edited";
  EXPECT_TRUE(node.hasChanged());
  node.filling = true;
  EXPECT_FALSE(node.hasChanged());
  node.filling = false;

  node.putToScreen(); // undo: the stored values replace the edits, same dialog
  EXPECT_EQ(dialog.control, "a\tb");
  EXPECT_EQ(site.dialogs.size(), 1u);

  dialog.control = "kept";
  node.removeFromScreen();
  EXPECT_EQ(node.text, "kept");
  EXPECT_EQ(node.remembered, 1);
  EXPECT_TRUE(dialog.released);
  EXPECT_EQ(node.editorForm, nullptr);
  EXPECT_EQ(node.childForm, nullptr);

  // A released dialog is never asked again.
  node.removeFromScreen();
  node.getFromScreen();
  EXPECT_FALSE(node.hasChanged());
}

TEST(NodeEditor, ClearedLinkLeavesTheDialogAlone) {
  Site site;
  TextNode node;
  node.showOnScreen(site);
  node.clearEditorLink();
  EXPECT_FALSE(node.shown);
  node.removeFromScreen();
  EXPECT_FALSE(site.dialogs[0]->released);
  EXPECT_FALSE(node.isDifferent());
  node.showOnScreen(site); // shows afresh with a dialog of its own
  EXPECT_EQ(site.dialogs.size(), 2u);
}

} // namespace
} // namespace marrowen::testing

#include "filterlist/filtertree.h"

#include "classlib/exceptions.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "filterlist/nodeeditor.h"
#include "filterlist_testing.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace marrowen::testing {
namespace {

// A tree written as "name:level" words; names in upper case can hold
// subfilters (comment nodes), lower case cannot (upper-case filters). "T",
// "I" and "O" are the top, input and output nodes.
struct Shape {
  FilterTree tree;
  std::map<const TListObject *, std::string> names;

  explicit Shape(const std::string &outline) {
    std::size_t at = 0;
    while (at < outline.size()) {
      const std::size_t end = std::min(outline.find(' ', at), outline.size());
      const std::string word = outline.substr(at, end - at);
      at = end + 1;
      const std::string name = word.substr(0, word.find(':'));
      const int level = std::stoi(word.substr(word.find(':') + 1));
      tree.items.push_back({make(name), level, true});
      names[tree.items.back().node.get()] = name;
    }
  }
  static std::shared_ptr<TListObject> make(const std::string &name) {
    if (name == "T")
      return TFilterCommentObject::CreateDefault();
    if (name == "I")
      return std::make_shared<TInputObject>();
    if (name == "O")
      return std::make_shared<TOutputObject>();
    if (std::isupper(static_cast<unsigned char>(name[0])))
      return TCommentObject::CreateWith(name);
    return TDescriptionObject::CreateWith(5);
  }
  int find(const std::string &name) const {
    for (int i = 0; i < tree.count(); ++i)
      if (auto it = names.find(tree.items[i].node.get()); it != names.end() && it->second == name)
        return i;
    return -1;
  }
  // The outline again; also checks that every node is present exactly once.
  std::string outline() const {
    std::string text;
    std::set<const TListObject *> seen;
    for (const FilterTreeItem &item : tree.items) {
      EXPECT_TRUE(seen.insert(item.node.get()).second) << "a node is present twice";
      if (!text.empty())
        text += ' ';
      auto name = names.find(item.node.get());
      text += (name == names.end() ? "+" : name->second) + ":" + std::to_string(item.level);
    }
    for (const auto &[node, name] : names)
      EXPECT_TRUE(seen.count(node)) << name << " was lost";
    return text;
  }
};

const std::string nested = "T:0 I:1 a:1 P:1 b:2 Q:2 c:3 d:2 e:1 O:1";

TEST(FilterTree, AddFilterLandsAfterTheSelectionNeverAfterTheOutput) {
  struct Case {
    std::string select; // "" for nothing
    std::string expected;
  };
  for (const Case &c : std::vector<Case>{
           {"O", "T:0 I:1 a:1 P:1 b:2 Q:2 c:3 d:2 e:1 +:1 O:1"},
           {"T", "T:0 I:1 +:1 a:1 P:1 b:2 Q:2 c:3 d:2 e:1 O:1"},
           {"", "T:0 I:1 +:1 a:1 P:1 b:2 Q:2 c:3 d:2 e:1 O:1"},
           {"b", "T:0 I:1 a:1 P:1 b:2 +:2 Q:2 c:3 d:2 e:1 O:1"},
           {"Q", "T:0 I:1 a:1 P:1 b:2 Q:2 c:3 +:2 d:2 e:1 O:1"},
       }) {
    Shape shape(nested);
    shape.tree.selected = c.select.empty() ? -1 : shape.find(c.select);
    const int at = shape.tree.addFilter(TCommentObject::CreateWith("new"));
    EXPECT_EQ(shape.outline(), c.expected) << "selected " << c.select;
    EXPECT_EQ(shape.tree.selected, at);
  }
  FilterTree empty;
  empty.addFilter(TCommentObject::CreateWith("only"));
  ASSERT_EQ(empty.count(), 2);
  EXPECT_EQ(empty.items[0].level, 0);
  EXPECT_EQ(empty.items[1].level, 1);
}

TEST(FilterTree, TopInputAndOutputAreRefusedForDeleteDragDuplicateAndDisabling) {
  Shape shape(nested);
  for (const char *name : {"T", "I", "O"}) {
    shape.tree.selected = shape.find(name);
    EXPECT_FALSE(shape.tree.DeleteNodeClick()) << name;
    EXPECT_FALSE(shape.tree.duplicateNode()) << name;
    EXPECT_EQ(shape.tree.toggleEnabled(), std::string(name) == "O") << name;
    // The output's stored flag changes; it stays enabled whatever is stored.
    EXPECT_EQ(shape.tree.selectedNode()->enabledField(), std::string(name) != "O") << name;
    EXPECT_TRUE(shape.tree.selectedNode()->getEnabled()) << name;
  }
  shape.tree.selected = shape.find("a");
  EXPECT_TRUE(shape.tree.toggleEnabled());
  EXPECT_FALSE(shape.tree.selectedNode()->getEnabled());
  EXPECT_EQ(shape.tree.ValidateDrag(true, shape.find("T"), 3, false), 4910);
  EXPECT_EQ(shape.tree.ValidateDrag(true, shape.find("I"), 3, false), 4910);
  EXPECT_EQ(shape.tree.ValidateDrag(true, shape.find("O"), 3, false), 4920);
  EXPECT_EQ(shape.tree.ValidateDrag(true, 3, 1, false), 4940);
  EXPECT_EQ(shape.outline(), nested);
}

TEST(FilterTree, TheFiltersNextToTheInputAndTheOutputCanBeDeleted) {
  for (const char *name : {"a", "e"}) {
    Shape shape(nested);
    shape.tree.selected = shape.find(name);
    EXPECT_TRUE(shape.tree.DeleteNodeClick()) << name;
    EXPECT_EQ(shape.find(name), -1) << name;
    EXPECT_EQ(shape.tree.count(), 9) << name;
  }
}

TEST(FilterTree, EveryDragMessage) {
  Shape shape(nested);
  const FilterTree &t = shape.tree;
  auto at = [&](const char *name) { return shape.find(name); };
  EXPECT_EQ(t.ValidateDrag(false, at("a"), at("e"), false), 4900);
  EXPECT_EQ(t.ValidateDrag(true, -1, at("e"), false), 4910);
  EXPECT_EQ(t.ValidateDrag(true, at("a"), -1, false), 4930);
  EXPECT_EQ(t.ValidateDrag(true, at("a"), at("a"), false), 4950);
  EXPECT_EQ(t.ValidateDrag(true, at("b"), at("P"), true), 4950);
  EXPECT_EQ(t.ValidateDrag(true, at("P"), at("c"), false), 4960);
  EXPECT_EQ(t.ValidateDrag(true, at("a"), at("e"), true), 4970);
  EXPECT_EQ(t.ValidateDrag(true, at("a"), at("Q"), true), 4980);
  EXPECT_EQ(t.ValidateDrag(true, at("b"), at("P"), false), 4990);
}

TEST(FilterTree, MovesKeepEveryNodeOnce) {
  struct Case {
    std::string select;
    bool up;
    std::string expected;
  };
  for (const Case &c : std::vector<Case>{
           // into the subtree before, and out of a parent
           {"e", true, "T:0 I:1 a:1 P:1 b:2 Q:2 c:3 e:2 d:2 O:1"},
           {"b", true, "T:0 I:1 a:1 b:1 P:1 Q:2 c:3 d:2 e:1 O:1"},
           {"Q", true, "T:0 I:1 a:1 P:1 Q:2 c:3 b:2 d:2 e:1 O:1"},
           // a childless item down, a last child out, an item with subfilters
           {"a", false, "T:0 I:1 P:1 b:2 Q:2 c:3 d:2 a:1 e:1 O:1"},
           {"d", false, "T:0 I:1 a:1 P:1 b:2 Q:2 c:3 e:1 d:1 O:1"},
           {"Q", false, "T:0 I:1 a:1 P:1 b:2 d:2 Q:2 c:3 e:1 O:1"},
           // a last child comes out after its parent's last sibling
           {"c", false, "T:0 I:1 a:1 P:1 b:2 Q:2 d:2 c:2 e:1 O:1"},
       }) {
    Shape shape(nested);
    shape.tree.selected = shape.find(c.select);
    EXPECT_TRUE(c.up ? shape.tree.moveItemUp() : shape.tree.moveItemDown()) << c.select;
    EXPECT_EQ(shape.outline(), c.expected) << (c.up ? "up " : "down ") << c.select;
    // The selection goes with the moved filter, so the key moves it on.
    EXPECT_EQ(shape.tree.selected, shape.find(c.select)) << (c.up ? "up " : "down ") << c.select;
  }
  // The item before the output stays there, with or without subfilters.
  Shape last("T:0 I:1 P:1 b:2 O:1");
  last.tree.selected = last.find("P");
  EXPECT_FALSE(last.tree.moveItemDown());
  last.tree.selected = last.find("b");
  EXPECT_FALSE(last.tree.moveItemDown());
  EXPECT_EQ(last.outline(), "T:0 I:1 P:1 b:2 O:1");
  // Nor does a deeper one come out after the output.
  Shape deep("T:0 I:1 P:1 Q:2 c:3 O:1");
  deep.tree.selected = deep.find("Q");
  EXPECT_FALSE(deep.tree.moveItemDown());
  EXPECT_EQ(deep.outline(), "T:0 I:1 P:1 Q:2 c:3 O:1");
  // And the first filter stays after the input.
  Shape first("T:0 I:1 a:1 b:1 O:1");
  first.tree.selected = first.find("a");
  EXPECT_FALSE(first.tree.moveItemUp());
  EXPECT_EQ(first.outline(), "T:0 I:1 a:1 b:1 O:1");
}

TEST(FilterTree, DropsNestOrPlaceAboveAndForgetTheDialog) {
  Shape shape(nested);
  struct Site : TNodeEditorSite {
    void setFilterHeading(const std::string &) override {}
    TNodeEditor *editorFor(TListObject &, TNodeEditor *current) override { return current; }
    void placeEditor(TNodeEditor &) override {}
    void releaseEditor(TNodeEditor *) override {}
  } site;
  TListObject &moved = shape.tree.node(shape.find("a"));
  moved.showOnScreen(site);
  shape.tree.dropNode(shape.find("a"), shape.find("Q"), true);
  EXPECT_EQ(shape.outline(), "T:0 I:1 P:1 b:2 Q:2 c:3 a:3 d:2 e:1 O:1");
  EXPECT_FALSE(moved.shown);
  EXPECT_EQ(moved.childForm, nullptr);
  shape.tree.dropNode(shape.find("Q"), shape.find("e"), false);
  EXPECT_EQ(shape.outline(), "T:0 I:1 P:1 b:2 d:2 Q:1 c:2 a:2 e:1 O:1");
  shape.tree.dropNode(shape.find("d"), shape.find("e"), true); // e cannot parent: above it
  EXPECT_EQ(shape.outline(), "T:0 I:1 P:1 b:2 Q:1 c:2 a:2 d:1 e:1 O:1");
}

TEST(FilterTree, DuplicateCopiesEveryDepthBeforeTheOriginal) {
  Shape shape(nested);
  shape.tree.items[static_cast<std::size_t>(shape.find("Q"))].expanded = false;
  shape.tree.selected = shape.find("P");
  ASSERT_TRUE(shape.tree.duplicateNode());
  EXPECT_EQ(shape.outline(), "T:0 I:1 a:1 +:1 +:2 +:2 +:3 +:2 P:1 b:2 Q:2 c:3 d:2 e:1 O:1");
  EXPECT_EQ(shape.tree.selected, shape.find("P"));
  EXPECT_FALSE(shape.tree.items[5].expanded);
  EXPECT_EQ(shape.tree.caption(3), shape.tree.caption(shape.find("P")));
  shape.tree.selected = shape.find("c");
  ASSERT_TRUE(shape.tree.duplicateNode());
  EXPECT_EQ(shape.tree.items[static_cast<std::size_t>(shape.find("c") - 1)].level, 3);
}

TEST(FilterTree, BuildTreeFollowsLevelsAndRefusesAJump) {
  TFilterList list;
  list.resetToDefault();
  list.insertNode(2, TCommentObject::CreateWith("p"), 1, false);
  list.insertNode(3, TDescriptionObject::CreateWith(5), 2, true);
  list.node(3).setEnabled(false);
  FilterTree tree;
  tree.buildTree(list);
  ASSERT_EQ(tree.count(), 5);
  EXPECT_FALSE(tree.items[2].expanded);
  EXPECT_EQ(tree.items[3].level, 2);
  EXPECT_EQ(tree.overlay(3), 21);
  EXPECT_EQ(tree.overlay(2), -1);
  EXPECT_EQ(tree.parentOf(3), 2);

  list.nodes[3].level = 3; // levels 1, 3
  try {
    tree.buildTree(list);
    FAIL() << "a jump of two levels was accepted";
  } catch (const Exception &error) {
    EXPECT_STREQ(error.what(), "Invalid tree being loaded");
  }
}

// A window of the list without widgets: the tree, three texts, the files grid.
struct ListWindow : FilterListForm {
  FilterTree tree;
  std::string memos[3];
  std::vector<FileGridRow> rows;
  FilterTree &filterTree() override { return tree; }
  std::string memoText(Memo memo) const override { return memos[static_cast<int>(memo)]; }
  void setMemoText(Memo memo, const std::string &text, const std::string &) override {
    memos[static_cast<int>(memo)] = text;
  }
  std::vector<FileGridRow> fileRows() const override { return rows; }
  void setFileRows(const std::vector<FileGridRow> &fileRows) override { rows = fileRows; }
};

// Each item as class, level, collapsed and disabled marks: what the tree shows.
std::string shown(const FilterTree &tree) {
  std::string text;
  for (const FilterTreeItem &item : tree.items)
    text += std::string(item.node->className()) + ":" + std::to_string(item.level) +
            (item.expanded ? "" : "-") + (item.node->enabledField() ? "" : "x") + " ";
  return text;
}

std::string built(TFilterList &list) {
  int errorIndex = -1;
  try {
    list.createFilters(false, false, errorIndex);
    return "built";
  } catch (const Exception &error) {
    return error.message() + " at " + std::to_string(errorIndex);
  }
}

// Random edits of a tree as the window makes them; after each, the list saved
// and loaded again must be the same list, shown as the same tree.
TEST(FilterTree, RandomEditsSaveAndLoadAsTheyAre) {
  registerNodeClasses();
  std::vector<const NodeCatalogEntry *> offered;
  for (const NodeCatalogEntry &entry : nodeCatalog())
    if (entry.offered && entry.names.className != "TInputObject" &&
        entry.names.className != "TOutputObject")
      offered.push_back(&entry);
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return n > 0 ? static_cast<int>(random() % n) : -1; };
    auto bytesOf = [&](int most) {
      std::string text(random() % (most + 1), '\0');
      for (char &c : text)
        c = static_cast<char>(random() % 3 ? random() % 256 : "|*?\0\r\n"[random() % 6]);
      return text;
    };
    ListWindow window;
    TFilterList fresh;
    fresh.resetToDefault();
    fresh.putToChildForm(window);
    FilterTree &tree = window.tree;
    std::string steps;
    for (int step = 0; step < 150; ++step) {
      tree.selected = pick(tree.count());
      const int source = pick(tree.count()), target = pick(tree.count());
      const int op = pick(10);
      steps += std::to_string(op) + "@" + std::to_string(tree.selected) + " ";
      if (op == 0 || op == 1) {
        const NodeCatalogEntry &entry = *offered[pick(static_cast<int>(offered.size()))];
        tree.addFilter(entry.createDefault(entry.kind));
      } else if (op == 2) {
        tree.DeleteNodeClick();
      } else if (op == 3) {
        random() % 2 ? tree.moveItemUp() : tree.moveItemDown();
      } else if (op == 4) {
        const bool child = random() % 2;
        if (FilterTree::dragAccepted(tree.ValidateDrag(true, source, target, child)))
          tree.dropNode(source, target, child);
      } else if (op == 5) {
        tree.duplicateNode();
      } else if (op == 6) {
        tree.toggleEnabled();
      } else if (op == 7) {
        tree.items[source].expanded = !tree.items[source].expanded;
      } else if (op == 8) {
        window.memos[pick(3)] = bytesOf(random() % 5 ? 20 : 300);
      } else {
        static const char *const depths[] = {"All", "None", "1 level", "4 levels", ""};
        static const char *const actions[] = {"Add", "Subtract", "Ignore"};
        window.rows.push_back({bytesOf(12), depths[pick(5)], actions[pick(3)]});
      }
      SCOPED_TRACE("seed " + std::to_string(seed) + ", steps " + steps);
      for (int i = 1; i < tree.count(); ++i)
        ASSERT_LE(tree.items[i].level, tree.items[i - 1].level + 1) << shown(tree);

      TFilterList saved;
      saved.getFromChildForm(window);
      const std::string file = filterFileBytes(saved);
      TFilterList loaded;
      loaded.loadFromBytes(file, "random.fll");
      ASSERT_EQ(filterFileBytes(loaded), file) << shown(tree);
      ListWindow reopened;
      loaded.putToChildForm(reopened);
      ASSERT_EQ(shown(reopened.tree), shown(tree));
      ASSERT_EQ(reopened.rows.size(), window.rows.size());
      for (int memo = 0; memo < 3; ++memo)
        ASSERT_EQ(reopened.memos[memo], window.memos[memo]);
      ASSERT_EQ(built(loaded), built(saved));
    }
  }
}

} // namespace
} // namespace marrowen::testing

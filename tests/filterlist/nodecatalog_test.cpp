#include "filterlist/nodecatalog.h"

#include "filterlist/filterlist.h"
#include "filterlist/listobject.h"
#include "filterlist/nodeeditor.h"
#include "filterlist_testing.h"

#include <gtest/gtest.h>

#include <set>

namespace marrowen::testing {
namespace {

TEST(NodeCatalog, ListsEveryClassTheLoaderReadsAndNoOther) {
  registerNodeClasses();
  std::set<std::string_view> listed;
  for (const NodeCatalogEntry &entry : nodeCatalog())
    listed.insert(entry.names.className);
  std::set<std::string_view> loadable;
  for (const NodeClassEntry &entry : nodeClasses()) {
    loadable.insert(entry.names.className);
    EXPECT_TRUE(globalClassRegistry().isRegistered(entry.names.className));
  }
  EXPECT_EQ(listed, loadable);
}

int entriesOf(const TFilterList &list, const NodeCatalogEntry &entry) {
  int n = 0;
  for (int i = 0; i < list.count(); ++i)
    n += catalogEntryOf(list.node(i)) == &entry;
  return n;
}

// Made by its entry and saved, every node loads back as the same entry, so
// the menus, the command line and the loader never disagree about a kind.
TEST(NodeCatalog, EachEntryMakesANodeThatLoadsBackAsItself) {
  resetTestSettings();
  for (const NodeCatalogEntry &entry : nodeCatalog()) {
    SCOPED_TRACE(std::string(entry.names.className) + " " + std::to_string(entry.kind));
    for (NodeFactory make : {entry.createDefault, entry.createWithPrompt}) {
      ASSERT_NE(make, nullptr);
      std::unique_ptr<TListObject> node = make(entry.kind);
      ASSERT_NE(node, nullptr);
      EXPECT_EQ(catalogEntryOf(*node), &entry);
      EXPECT_EQ(node->helpContext(), entry.helpTopic);
      EXPECT_FALSE(entry.title.translated().empty());

      // A list holds one top, one input and one output node: those replace
      // the defaults, any other node goes between input and output.
      TFilterList list;
      list.resetToDefault();
      const std::string_view name = entry.names.className;
      if (name == "TFilterCommentObject")
        list.nodes[0].node = std::move(node);
      else if (name == "TInputObject")
        list.nodes[1].node = std::move(node);
      else if (name == "TOutputObject")
        list.nodes[2].node = std::move(node);
      else
        list.insertNode(2, std::move(node), 1, true);
      TFilterList loaded;
      loaded.loadFromBytes(filterFileBytes(list), "catalog.fll");
      EXPECT_EQ(entriesOf(loaded, entry), entriesOf(list, entry));
      EXPECT_GE(entriesOf(loaded, entry), 1);
    }
  }
}

TEST(NodeCatalog, KeepsOneDialogFactoryAClass) {
  struct Dialog : TNodeEditor {
    void putToScreen(TListObject &) override {}
    void getFromScreen(TListObject &) override {}
    bool isDifferent(const TListObject &) const override { return false; }
  };
  struct Site : TNodeEditorSite {
    void setFilterHeading(const std::string &) override {}
    TNodeEditor *editorFor(TListObject &, TNodeEditor *) override { return nullptr; }
    void placeEditor(TNodeEditor &) override {}
    void releaseEditor(TNodeEditor *) override {}
  } site;
  int made = 0;
  registerNodeDialog("TSortObject", [&](TListObject &, TNodeEditorSite &) {
    ++made;
    return std::make_unique<Dialog>();
  });
  TListObject node;
  ASSERT_TRUE(nodeDialogFactory("TSortObject"));
  EXPECT_NE(nodeDialogFactory("TSortObject")(node, site), nullptr);
  EXPECT_EQ(made, 1);
  EXPECT_FALSE(nodeDialogFactory("TGrepObject"));
  registerNodeDialog("TSortObject", {});
  EXPECT_FALSE(nodeDialogFactory("TSortObject"));
}

} // namespace
} // namespace marrowen::testing

#include "filterlist/classregistry.h"

#include "filterlist/filterlist_testing.h"
#include "filterlist/streamtest_components.h"

#include <gtest/gtest.h>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

template <class Write> std::string written(Write write) {
  std::string out;
  ComponentWriter writer(out);
  write(writer);
  return out;
}

} // namespace

TEST(ComponentStream, RecordOfASortNodeMatchesTheStoredBytes) {
  TestSortNode node;
  const std::string expected = name("TSortObject") + bytes({0x00}) + name("enabled") +
                               bytes({0x09}) + name("SortObject") +
                               bytes({0x09, 0x08, 0x08, 0x02, 0x00, 0x00, 0x00});
  EXPECT_EQ(written([&](ComponentWriter &w) { w.writeComponent(node); }), expected);
}

TEST(ComponentStream, ComponentsAreCreatedByRegisteredClassName) {
  TestSortNode node;
  node.enabled = false;
  node.reverseOrder = true;
  node.sortType = 4;
  const std::string out = written([&](ComponentWriter &w) { w.writeComponent(node); });
  ComponentReader reader(out, {}, testRegistry());
  reader.setFileTypeRead(currentFileType);
  auto read = reader.readComponent();
  auto *sort = dynamic_cast<TestSortNode *>(read.get());
  ASSERT_NE(sort, nullptr);
  EXPECT_FALSE(sort->enabled);
  EXPECT_TRUE(sort->reverseOrder);
  EXPECT_EQ(sort->sortType, 4);
  EXPECT_TRUE(reader.atEnd());
}

TEST(ComponentStream, NamesMatchRegardlessOfAsciiCase) {
  std::string out = name("tsortOBJECT") + bytes({0x00}) + name("ENABLED") + bytes({0x08}) +
                    name("sortobject") + bytes({0x09, 0x09, 0x08, 0x02, 0x03, 0x00, 0x00});
  ComponentReader reader(out, {}, testRegistry());
  reader.setFileTypeRead(currentFileType);
  auto read = reader.readComponent();
  auto *sort = dynamic_cast<TestSortNode *>(read.get());
  ASSERT_NE(sort, nullptr);
  EXPECT_TRUE(sort->enabled); // the defined property's value comes last
  EXPECT_TRUE(sort->removeDuplicates);
  EXPECT_EQ(sort->sortType, 3);
  EXPECT_FALSE(sameName("\xC4", "\xE4")); // only ASCII letters fold
}

TEST(ComponentStream, DamagedRecordsRaiseTheClassLibraryErrors) {
  const std::string head = name("TSortObject") + bytes({0x00});
  struct Case {
    const char *what;
    std::string stored;
    std::string detail;
  };
  const Case cases[] = {
      {"unknown class", name("TNoSuchObject") + bytes({0x00, 0x00, 0x00}),
       "Class TNoSuchObject not found"},
      {"empty class name", bytes({0x00, 0x00, 0x00, 0x00}), "Class  not found"},
      {"unknown property", head + name("colour") + bytes({0x09, 0x00, 0x00}),
       "Property colour does not exist"},
      {"child record", head + bytes({0x00}) + name("TSortObject") + bytes({0, 0, 0, 0}),
       std::string(invalidImageText)},
      {"no end of children", head + bytes({0x00}), std::string(readErrorText)},
      {"defined value cut short", head + name("SortObject") + bytes({0x09, 0x08}),
       std::string(readErrorText)},
      {"defined value too long",
       head + name("SortObject") + bytes({0x09, 0x08, 0x08, 0x02, 0x00, 0x02, 0x00, 0x00}),
       "Property \\x00\\x00 does not exist"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ComponentReader reader(c.stored, "list.fll", testRegistry());
    reader.setFileTypeRead(currentFileType);
    try {
      reader.readComponent();
      ADD_FAILURE() << "no error";
    } catch (const EReadError &e) {
      EXPECT_EQ(e.detail(), c.detail);
      EXPECT_EQ(e.sourceName(), "list.fll");
    }
  }
}

TEST(ComponentStream, CloneReadsWithTheGivenFileType) {
  TestSortNode node;
  node.sortType = 5;
  node.removeDuplicates = true;
  auto copy = cloneComponent(node, testRegistry(), currentFileType);
  auto *sort = dynamic_cast<TestSortNode *>(copy.get());
  ASSERT_NE(sort, nullptr);
  EXPECT_EQ(sort->sortType, 5);
  EXPECT_TRUE(sort->removeDuplicates);
  EXPECT_NE(sort, &node);
}

TEST(ClassRegistry, CreatesRegisteredClassesOnly) {
  ClassRegistry registry;
  EXPECT_EQ(registry.create("TSortObject"), nullptr);
  registry.registerClass<TestSortNode>("TSortObject");
  EXPECT_TRUE(registry.isRegistered("TSORTOBJECT"));
  EXPECT_NE(dynamic_cast<TestSortNode *>(registry.create("tsortobject").get()), nullptr);
  EXPECT_EQ(registry.classNames(), std::vector<std::string>{"TSortObject"});
}

TEST(ClassRegistry, GlobalRegistryKnowsTheVersionRecord) {
  EXPECT_NE(dynamic_cast<TVersion *>(globalClassRegistry().create("TVersion").get()), nullptr);
}

TEST(ClassRegistry, PlaceholdersCoverEveryNodeClassButKeepRealOnes) {
  ClassRegistry &registry = testRegistry();
  for (const NodeClassName &names : nodeClassNames) {
    SCOPED_TRACE(names.className);
    auto component = registry.create(names.className);
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->className(), names.className);
    EXPECT_EQ(component->definedPropertyName(), names.propertyName);
  }
  EXPECT_NE(dynamic_cast<TestSortNode *>(registry.create("TSortObject").get()), nullptr);
  EXPECT_TRUE(registry.isRegistered("TGrepObject"));
  EXPECT_EQ(registry.create("TFilterCommentObject")->definedPropertyName(), "ListObject");
}

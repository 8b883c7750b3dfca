#include "filterlist/nodecatalog.h"
#include "filterlist/unicodenodes.h"

#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/node_records.h"

#include <gtest/gtest.h>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

std::string mapRecord(std::string_view entries, std::string_view range = {}) {
  return nodeRecord("TUnicodeMapObject", "UnicodeMapObject", true,
                    boolean(true) + bytes({0x01}) + std::string(entries) + bytes({0x00}) +
                        std::string(range));
}

TEST(UnicodeMapObject, NewNodeIsEmptyAndItsTexts) {
  auto node = TUnicodeMapObject::CreateDefault();
  EXPECT_TRUE(node->entries.empty());
  EXPECT_EQ(node->startValue, 0);
  EXPECT_EQ(node->endValue, 0);
  EXPECT_EQ(node->getTitle(), "Unicode map");
  EXPECT_EQ(node->printText("  "), "Unicode map\r\n");
  EXPECT_EQ(node->generateCmdLine(), "/{=Unicode map");
  EXPECT_FALSE(node->canParent());
  EXPECT_EQ(node->needGatherer(), ChildChain::Inline);
  EXPECT_EQ(TUnicodeMapObject().helpContext(), 1480);

  node->entries = {{"65", "A\\tB"}, {"8364", "EUR"}};
  EXPECT_EQ(node->printText("  "), "Unicode map\r\n    65 [A\\tB]\r\n    8364 [EUR]\r\n");
  EXPECT_EQ(node->fromList(), (std::vector<std::string>{"65", "8364"}));
  EXPECT_EQ(node->toList(), (std::vector<std::string>{"A\\tB", "EUR"}));
}

TEST(UnicodeMapObject, RecordsOfEveryFileType) {
  TUnicodeMapObject node;
  node.entries = {{"65", "a"}, {"66", ""}};
  node.startValue = 32;
  node.endValue = 300;
  EXPECT_EQ(recordOf(node),
            mapRecord(str("65") + str("a") + str("66") + str(""), int8(32) + int16(300)));
  auto copy = roundTrip(node);
  EXPECT_EQ(copy->entries, node.entries);

  // Type 42 stores no range: 0 to 127.
  auto old = readNodeRecord<TUnicodeMapObject>(mapRecord(str("9") + str("x")), 42);
  EXPECT_EQ(old->entries, (std::vector<UnicodeMapEntry>{{"9", "x"}}));
  EXPECT_EQ(old->startValue, 0);
  EXPECT_EQ(old->endValue, 127);
  auto fortyThree = readNodeRecord<TUnicodeMapObject>(mapRecord("", int8(1) + int8(2)), 43);
  EXPECT_TRUE(fortyThree->entries.empty());
  EXPECT_EQ(fortyThree->endValue, 2);
}

TEST(UnicodeMapObject, AnEntryWithoutItsTextIsADamagedRecord) {
  registerNodeClasses();
  const std::string record = mapRecord(str("65") + str("a") + str("66"), int8(0) + int8(0));
  ComponentReader reader(record, "odd.fll", globalClassRegistry());
  reader.setFileTypeRead(47);
  EXPECT_THROW(reader.readComponent(), EReadError);
}

TEST(UnicodeMapObject, MapsCharactersAndAnEmptyMapMapsNothing) {
  TUnicodeMapObject empty;
  const std::string text("\x00"
                         "A\x20\xac",
                         4);
  EXPECT_EQ(runNode(empty, text), text);

  TUnicodeMapObject node;
  node.entries = {{"65", "a"}, {"8364", "EUR\\r\\n"}};
  EXPECT_EQ(runNode(node, text, 1), "aEUR\r\n");
}

TEST(UnicodeMapObject, BadEntriesNameTheNode) {
  TUnicodeMapObject node;
  node.entries = {{"6x", "a"}};
  EXPECT_EQ(buildError(node), "Unicode map: '6x' is not a valid integer value");
  node.entries = {{"65536", "a"}};
  EXPECT_EQ(buildError(node), "Unicode map: Range check error");
  node.entries = {{"65", "\\x4"}};
  const std::string error = buildError(node);
  EXPECT_EQ(error.rfind("Unicode map: ", 0), 0u) << error;
  EXPECT_GT(error.size(), std::string("Unicode map: ").size());
}

} // namespace

#include "filterlist/nodefields.h"

#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/unicodenodes.h"
#include "filterlist/utilitynodes.h"

#include <gtest/gtest.h>

#include <set>

namespace marrowen {
namespace {

// A dialog binds its controls by field name: reading, setting, and a value
// of the wrong type refused rather than stored as something else.
TEST(NodeFields, ADialogBindsByName) {
  TSearchObject node;
  const auto *buffer = findField(TSearchObject::fields(), "bufferSize");
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(fieldValue(node, *buffer), FieldValue(std::int32_t{4096}));
  EXPECT_TRUE(setFieldValue(node, *buffer, FieldValue(std::int32_t{9000})));
  EXPECT_EQ(node.bufferSize, 9000);
  EXPECT_FALSE(setFieldValue(node, *buffer, FieldValue(std::string("9000"))));
  EXPECT_EQ(node.bufferSize, 9000);
  EXPECT_EQ(findField(TSearchObject::fields(), "noSuchField"), nullptr);
}

// Two fields under one name or one setting would bind or remember the wrong value.
template <class Node> void expectDistinctNames() {
  std::set<std::string_view> names, settings;
  for (const NodeField<Node> &field : Node::fields()) {
    EXPECT_TRUE(names.insert(field.name).second) << field.name;
    if (!field.settingName.empty()) {
      EXPECT_TRUE(settings.insert(field.settingName).second) << field.settingName;
    }
  }
}

TEST(NodeFields, NamesAndSettingsAreDistinctInEveryTable) {
  expectDistinctNames<TInputObject>();
  expectDistinctNames<TOutputObject>();
  expectDistinctNames<TLineNumberObject>();
  expectDistinctNames<THeadTailObject>();
  expectDistinctNames<TSortObject>();
  expectDistinctNames<TMathsObject>();
  expectDistinctNames<TDeleteColumnsObject>();
  expectDistinctNames<TSearchObject>();
  expectDistinctNames<TGrepObject>();
  expectDistinctNames<TEOLObject>();
  expectDistinctNames<TSplitObject>();
  expectDistinctNames<TDuplicateObject>();
  expectDistinctNames<TExecuteObject>();
  expectDistinctNames<TInsertColumnObject>();
  expectDistinctNames<TDatabaseObject>();
  expectDistinctNames<TConcordanceObject>();
  expectDistinctNames<TMergeObject>();
  expectDistinctNames<TScriptObject>();
  expectDistinctNames<TStringObject>();
  expectDistinctNames<TUnicodeMapObject>();
}

} // namespace
} // namespace marrowen

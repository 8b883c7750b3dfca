// Database nodes built through the maker this target installs, on a small
// SQLite file.

#include "classlib/exceptions.h"
#include "dbfilter/databasefilter.h"
#include "dbfilter/databasemaker.h"
#include "filterlist/filterlist.h"
#include "filterlist/scriptnodes.h"
#include "support/chunk_harness.h"
#include "support/temp_folder.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::FilterFactory;
using testing::TempFolder;

class DatabaseNodeBuild : public ::testing::Test {
protected:
  DatabaseNodeBuild() : file_(folder_.file("shop.db")) {
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "node-setup");
      db.setDatabaseName(QString::fromStdString(file_));
      EXPECT_TRUE(db.open());
      QSqlQuery query(db);
      for (const char *statement :
           {"create table items(id integer, name varchar(10))",
            "insert into items values (1, 'apple')", "insert into items values (2, 'pear')"})
        EXPECT_TRUE(query.exec(QString::fromLatin1(statement))) << statement;
    }
    QSqlDatabase::removeDatabase("node-setup");
  }

  void SetUp() override { registerDatabaseFilterMaker(); }
  void TearDown() override { installDatabaseFilterMaker({}); }

  TDatabaseObject node() const {
    TDatabaseObject node;
    node.connection = "Driver=SQLite3;Database=" + file_;
    return node;
  }

  static FilterFactory built(TListObject &node) {
    return [&node] {
      TFilterList list;
      auto filter = node.add_filter(list);
      EXPECT_NE(dynamic_cast<TODBCFilter *>(filter.get()), nullptr);
      return filter;
    };
  }

  TempFolder folder_;
  std::string file_;
};

const std::string query = "select id, name from items order by id;\r\n";

TEST_F(DatabaseNodeBuild, EachLayoutOfTheNodeReachesTheFilter) {
  TDatabaseObject db = node();
  // The remaining line end runs as a statement of its own and gives nothing.
  EXPECT_EQ(expectChunkInvariant(built(db), query),
            "\"id\",\"name\"\r\n1,\"apple\"\r\n2,\"pear\"\r\n");

  // The delimiter and qualifier are typed with escapes.
  db.fieldDelimiter = "\\t";
  db.textQualifier = "";
  db.generateHeader = false;
  EXPECT_EQ(expectChunkInvariant(built(db), query), "1\tapple\r\n2\tpear\r\n");

  db.outputFormat = 3;
  db.insertTable = "fruit";
  EXPECT_EQ(expectChunkInvariant(built(db), query),
            "insert into fruit values ( 1, \"apple\" );\r\n"
            "insert into fruit values ( 2, \"pear\" );\r\n");
  db.generateHeader = true;
  EXPECT_EQ(expectChunkInvariant(built(db), "select name from items where id = 2"),
            "insert into fruit ( name ) values ( \"pear\" );\r\n");

  db.outputFormat = 2;
  std::string xml = expectChunkInvariant(built(db), "select name from items where id = 1");
  EXPECT_NE(xml.find("<MarrowenRow>\r\n  <name>apple</name>\r\n</MarrowenRow>"), std::string::npos)
      << xml;
}

TEST_F(DatabaseNodeBuild, AConnectionThatCannotOpenStopsTheBuildAtItsNode) {
  TFilterList list;
  list.resetToDefault();
  TDatabaseObject db = node();
  db.connection = "Driver=SQLite3;Database=" + folder_.file("no/such/folder/x.db");
  list.insertNode(2, std::make_unique<TDatabaseObject>(db), 1, true);
  int errorIndex = -1;
  EXPECT_THROW(list.createFilters(false, true, errorIndex), Exception);
  EXPECT_EQ(errorIndex, 2);

  db.connection = "";
  EXPECT_THROW(db.add_filter(list), Exception);
}

TEST_F(DatabaseNodeBuild, AFilterFileHoldingADatabaseNodeLoadsBuildsAndRuns) {
  TFilterList list;
  list.resetToDefault();
  TDatabaseObject db = node();
  db.outputFormat = 1;
  list.insertNode(2, std::make_unique<TDatabaseObject>(db), 1, true);
  const std::string file = folder_.file("db.fll");
  list.saveToFile(file);

  TFilterList loaded;
  loaded.loadFromFile(file);
  FilterFactory make = [&loaded] {
    int errorIndex = -1;
    return loaded.createFilters(false, true, errorIndex);
  };
  EXPECT_EQ(expectChunkInvariant(make, "select name from items order by id"),
            "name      \r\napple     \r\npear      \r\n");
}

} // namespace
} // namespace marrowen

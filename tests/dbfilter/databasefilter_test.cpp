#include "dbfilter/databasefilter.h"

#include "classlib/exceptions.h"
#include "engine/inputs.h"
#include "engine/jobhost.h"
#include "engine/outputs.h"
#include "engine/processingthread.h"
#include "engine/userinterface.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/recording_job.h"
#include "support/recording_status_window.h"
#include "support/temp_folder.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace marrowen {
namespace {

using testing::errorOf;
using testing::expectChunkInvariant;
using testing::FilterFactory;
using testing::RecordingJob;
using testing::TempFolder;

// A SQLite file with one small table, made fresh for each test.
class DatabaseFilter : public ::testing::Test {
protected:
  DatabaseFilter() : file_(folder_.file("shop.db")) {
    run({"create table items(id integer, name varchar(10), price real, note text, data blob)",
         "insert into items values (1, 'apple', 1.5, 'say \"hi\"', x'00ff')",
         "insert into items values (2, 'bananas1234', NULL, NULL, NULL)",
         "insert into items values (3, 'c;d', 2, 'it''s', NULL)"});
  }

  // Runs statements on a connection of the test's own.
  void run(const std::vector<std::string> &statements) {
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "test-setup");
      db.setDatabaseName(QString::fromStdString(file_));
      ASSERT_TRUE(db.open());
      QSqlQuery query(db);
      for (const auto &statement : statements)
        ASSERT_TRUE(query.exec(QString::fromStdString(statement)))
            << statement << ": " << query.lastError().text().toStdString();
    }
    QSqlDatabase::removeDatabase("test-setup");
  }

  FilterFactory filter(TDatabaseOutputFormat format, bool header = true,
                       std::string delimiter = ",", std::string qualifier = "\"",
                       std::string table = "T") const {
    std::string connection = file_;
    return [=] {
      return std::make_unique<TODBCFilter>(connection, "", "", format, delimiter, qualifier, header,
                                           table);
    };
  }

  TempFolder folder_;
  std::string file_;
};

// A UTF-8 statement runs as UTF-8 and its rows come back in UTF-8; one in
// Windows-1252 both ways through the code page, where a letter the code page
// lacks becomes "?" and the log names the statement's line once. Names and
// fixed widths count characters.
TEST_F(DatabaseFilter, EachStatementCrossesInTheEncodingItCameIn) {
  run({"insert into items values (4, 'Grüße Жук', 3, 'naïve', NULL)"});
  auto make = filter(TDatabaseOutputFormat::Delimited, false);
  EXPECT_EQ(expectChunkInvariant(make, "select name from items where id = 4;\n"
                                       "select 'caf\xe9' || name as \"na\xc3\xafve\" from items "
                                       "where id = 1;\n"
                                       "select 'caf\xc3\xa9 ' || name from items where id = 4"),
            "\"Gr\xc3\xbc\xc3\x9f"
            "e \xd0\x96\xd1\x83\xd0\xba\"\r\n"
            "\"caf\xe9"
            "apple\"\r\n"
            "\"caf\xc3\xa9 Gr\xc3\xbc\xc3\x9f"
            "e \xd0\x96\xd1\x83\xd0\xba\"\r\n");
  RecordingJob job;
  testing::ChunkRunOptions options;
  options.job = &job;
  EXPECT_EQ(
      testing::runInChunks(make, "\n\nselect name || '\xe9' from items where id = 4;", 0, options),
      "\"Gr\xfc\xdf"
      "e ???\xe9\"\r\n");
  ASSERT_EQ(job.logLines.size(), 1u);
  EXPECT_NE(job.logLines[0].find("statement on line 3 of [/tmp/input.txt] hold 3 character(s)"),
            std::string::npos)
      << job.logLines[0];
  auto fixed = filter(TDatabaseOutputFormat::FixedWidth);
  EXPECT_EQ(expectChunkInvariant(fixed, "select name as \"na\xc3\xafve\", id from items where "
                                        "id = 4"),
            "na_ve     id" + std::string(18, ' ') +
                "\r\nGr\xc3\xbc\xc3\x9f"
                "e \xd0\x96\xd1\x83\xd0\xba 4" +
                std::string(19, ' ') + "\r\n");
}

TEST_F(DatabaseFilter, DelimitedRowsQuoteTextAndDoubleTheQualifier) {
  auto make = filter(TDatabaseOutputFormat::Delimited);
  EXPECT_EQ(expectChunkInvariant(make, "select id, name, price, note from items order by id;\r\n"),
            "\"id\",\"name\",\"price\",\"note\"\r\n"
            "1,\"apple\",1.5,\"say \"\"hi\"\"\"\r\n"
            "2,\"bananas1234\",,\"\"\r\n"
            "3,\"c;d\",2,\"it's\"\r\n");
  // A column without a declared type whose first row is NULL still shows its
  // later values, and a text in a column of numbers keeps its qualifiers.
  EXPECT_EQ(expectChunkInvariant(make, "select case when id = 1 then null else name end as k, "
                                       "case when id = 3 then 'a,b' else id end as n "
                                       "from items order by id"),
            "\"k\",\"n\"\r\n\"\",1\r\n\"bananas1234\",2\r\n\"c;d\",\"a,b\"\r\n");
}

TEST_F(DatabaseFilter, DelimitedWithEscapedDelimiterAndNoQualifierOrHeader) {
  auto make = filter(TDatabaseOutputFormat::Delimited, false, "\\t", "");
  EXPECT_EQ(expectChunkInvariant(make, "select id, note from items where id < 3"),
            "1\tsay \"hi\"\r\n2\t\r\n");
}

TEST_F(DatabaseFilter, FixedWidthPadsToTheDeclaredSizeAndNeverCuts) {
  auto make = filter(TDatabaseOutputFormat::FixedWidth);
  std::string id = std::string(20, ' ');
  auto pad = [](std::string text, std::size_t width) {
    text.resize(std::max(width, text.size()), ' ');
    return text;
  };
  EXPECT_EQ(expectChunkInvariant(make, "select id, name, note from items where id < 3"),
            pad("id", 20) + pad("name", 10) + "note\r\n" + pad("1", 20) + pad("apple", 10) +
                "say \"hi\"\r\n" + pad("2", 20) + "bananas1234" + "\r\n");
}

const std::string xmlProlog = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n"
                              "\r\n"
                              "<!-- generator=\"Marrowen Search/Replace\" -->\r\n"
                              "<!-- companyURL=\"https://www.ostrevan.com/marrowen/\" -->\r\n";

std::string xmlHead(const std::string &query, const std::vector<std::string> &names) {
  std::string joined, elements;
  for (const auto &name : names) {
    joined += (joined.empty() ? "" : ", ") + name;
    elements += "  <!ELEMENT " + name + " (#PCDATA)>\r\n";
  }
  return xmlProlog + "<!-- SQLquery=\"" + query + "\" -->\r\n\r\n" +
         "<!-- event=\"DTD start\" -->\r\n"
         "<!DOCTYPE MarrowenRows [\r\n"
         "  <!ELEMENT MarrowenRows (MarrowenRow*)>\r\n"
         "  <!ELEMENT MarrowenRow (" +
         joined + ")>\r\n" + elements +
         "]>\r\n"
         "<!-- event=\"DTD end\" -->\r\n"
         "\r\n"
         "<MarrowenRows>\r\n"
         "\r\n";
}

TEST_F(DatabaseFilter, XmlWithInlineDocumentType) {
  auto make = filter(TDatabaseOutputFormat::Xml);
  EXPECT_EQ(expectChunkInvariant(make, "select id, note from items where id = 1"),
            xmlHead("select id, note from items where id = 1", {"id", "note"}) +
                "<MarrowenRow>\r\n"
                "  <id>1</id>\r\n"
                "  <note>say &quot;hi&quot;</note>\r\n"
                "</MarrowenRow>\r\n"
                "\r\n"
                "\r\n"
                "</MarrowenRows>\r\n"
                "\r\n"
                "<!-- rowCount=\"1\" -->\r\n");
}

TEST_F(DatabaseFilter, XmlOfTwoResultsHasTwoHeadsAndOneEnd) {
  auto make = filter(TDatabaseOutputFormat::Xml);
  std::string out = expectChunkInvariant(
      make, "select name from items where id = 3;\nselect id from items where id > 1");
  EXPECT_EQ(out, xmlHead("select name from items where id = 3", {"name"}) +
                     "<MarrowenRow>\r\n  <name>c;d</name>\r\n</MarrowenRow>\r\n\r\n" +
                     xmlHead("\nselect id from items where id > 1", {"id"}) +
                     "<MarrowenRow>\r\n  <id>2</id>\r\n</MarrowenRow>\r\n\r\n"
                     "<MarrowenRow>\r\n  <id>3</id>\r\n</MarrowenRow>\r\n\r\n"
                     "\r\n</MarrowenRows>\r\n\r\n<!-- rowCount=\"2\" -->\r\n");
}

TEST_F(DatabaseFilter, XmlCommentStaysWellFormedWhenTheQueryHoldsDoubleHyphens) {
  auto make = filter(TDatabaseOutputFormat::Xml, true);
  std::string out = expectChunkInvariant(make, "select id -- the key\nfrom items where id = 1");
  EXPECT_NE(out.find("<!-- SQLquery=\"select id - - the key\nfrom items where id = 1\" -->"),
            std::string::npos)
      << out;
}

TEST_F(DatabaseFilter, XmlWithoutHeaderHasRowsAndTheCountOnly) {
  auto make = filter(TDatabaseOutputFormat::Xml, false);
  EXPECT_EQ(
      expectChunkInvariant(make, "select id from items where id = 2"),
      "<MarrowenRow>\r\n  <id>2</id>\r\n</MarrowenRow>\r\n\r\n\r\n<!-- rowCount=\"1\" -->\r\n");
}

TEST_F(DatabaseFilter, InsertScriptWritesEveryValueAsALiteral) {
  const std::string rows = "values ( 1, \"apple\", 1.5, \"say \"\"hi\"\"\", X'00FF' );\r\n"
                           "values ( 2, \"bananas1234\", NULL, NULL, NULL );\r\n"
                           "values ( 3, \"c;d\", 2, \"it's\", NULL );\r\n";
  auto prefixed = [&](const std::string &prefix) {
    std::string out;
    for (std::size_t at = 0; at < rows.size();) {
      std::size_t end = rows.find("\r\n", at) + 2;
      out += prefix + rows.substr(at, end - at);
      at = end;
    }
    return out;
  };
  const std::string sql = "select id, name, price, note, data from items order by id";
  EXPECT_EQ(expectChunkInvariant(filter(TDatabaseOutputFormat::InsertScript, true), sql),
            prefixed("insert into T ( id, name, price, note, data ) "));
  EXPECT_EQ(expectChunkInvariant(filter(TDatabaseOutputFormat::InsertScript, false), sql),
            prefixed("insert into T "));
}

TEST_F(DatabaseFilter, AnInsertScriptBringsHostileValuesBackUnchanged) {
  const std::string hostile = "x\", 1); drop table items; --";
  run({"create table copy(id integer, name text, price real, note text, data blob)",
       "insert into items values (4, 'x\", 1); drop table items; --', NULL, 'a''b', x'')",
       // SQLite keeps a text that a number column cannot take as it is.
       "insert into items values (5, 'e', 'x\", 2); drop table items; --', NULL, NULL)",
       "insert into items values (6, 'f', 1e999, NULL, -2.0)"});
  std::string script =
      testing::runInChunks(filter(TDatabaseOutputFormat::InsertScript, true, ",", "\"", "copy"),
                           "select id, name, price, note, data from items order by id", 0);
  RecordingJob job;
  testing::ChunkRunOptions options;
  options.job = &job;
  testing::runInChunks(filter(TDatabaseOutputFormat::Delimited), script, 7, options);
  EXPECT_TRUE(job.errors.empty()) << job.errors.front();

  auto dump = [&](const std::string &table) {
    return testing::runInChunks(
        filter(TDatabaseOutputFormat::Delimited, false),
        "select id, name, price, note, hex(data), typeof(price), typeof(data) from " + table +
            " order by id",
        0);
  };
  EXPECT_EQ(dump("copy"), dump("items"));
  EXPECT_NE(dump("items").find("drop table"), std::string::npos) << "the value itself is kept";
}

TEST_F(DatabaseFilter, SemicolonsInsideQuotesDoNotEndAStatement) {
  auto make = filter(TDatabaseOutputFormat::Delimited, false);
  EXPECT_EQ(expectChunkInvariant(make, "select 'a;b' from items where id = 1; select \"x;\" from "
                                       "(select 1 as \"x;\"); select 2"),
            "\"a;b\"\r\n1\r\n2\r\n");
}

TEST_F(DatabaseFilter, FieldNamesAreMadeSafeAndUnique) {
  auto make = filter(TDatabaseOutputFormat::Delimited, true, ",", "");
  std::string out = expectChunkInvariant(
      make, "select 1 as \"1st col\", 2 as \"order#\", id, id as ID, id as Id from items "
            "where id = 1");
  EXPECT_EQ(out, "T1st_col,order_,id,ID1,Id11\r\n1,2,1,1,1\r\n");
  // An empty name is no element name either.
  EXPECT_EQ(expectChunkInvariant(make, "select 1 as \"\", 2 as \"\""), "T,T1\r\n1,2\r\n");
}

TEST_F(DatabaseFilter, StatementsWithoutRowsGiveNoOutputAndTheirChangesStay) {
  auto make = filter(TDatabaseOutputFormat::Delimited, false);
  EXPECT_EQ(expectChunkInvariant(make, "update items set price = 9 where id = 2;\n"
                                       "select price from items where id = 2;\n"),
            "9\r\n");
}

TEST_F(DatabaseFilter, AFailingStatementIsReportedAndTheScriptGoesOn) {
  RecordingJob job;
  testing::ChunkRunOptions options;
  options.job = &job;
  std::string out =
      testing::runInChunks(filter(TDatabaseOutputFormat::Delimited, false),
                           "  selec 1;\r\nselect 2;\r\nselect * from \xd0\xb6;\r\n", 0, options);
  EXPECT_EQ(out, "2\r\n");
  ASSERT_EQ(job.errors.size(), 2u) << "the line end after the last semicolon is no statement";
  EXPECT_TRUE(job.errors[0].starts_with("selec 1: ")) << job.errors[0];
  EXPECT_NE(job.errors[0].find("syntax error"), std::string::npos) << job.errors[0];
  // The database's reason names the table with its own letters.
  EXPECT_NE(job.errors[1].find("no such table: \xd0\xb6"), std::string::npos) << job.errors[1];
}

// Asks the job to stop when the first text reaches it.
class StopOnText : public TFilter {
public:
  explicit StopOnText(RecordingJob &job) : job_(job) {}
  bool processChunk(std::string &chunk) override {
    if (!chunk.empty())
      job_.terminate();
    return sendToNext(chunk);
  }

private:
  RecordingJob &job_;
};

TEST_F(DatabaseFilter, AStopRequestEndsTheStatementAfterTheCurrentRow) {
  // Rows of 44 bytes leave in a piece once more than 4096 bytes wait: the
  // stop comes with the 94th row, and the next statement never runs.
  std::vector<std::string> statements{"create table wide(t text)"};
  for (int i = 0; i < 200; ++i)
    statements.push_back("insert into wide values ('" + std::string(40, 'a') + "')");
  run(statements);
  RecordingJob job;
  testing::ChunkRunOptions options;
  options.job = &job;
  auto make = [this, &job] {
    auto chain = filter(TDatabaseOutputFormat::Delimited, false)();
    chain->setNext(std::make_unique<StopOnText>(job));
    return chain;
  };
  std::string row = "\"" + std::string(40, 'a') + "\"\r\n";
  std::string rows;
  for (int i = 0; i < 94; ++i)
    rows += row;
  EXPECT_EQ(
      testing::runInChunks(make, "select t from wide; delete from wide; select 2", 0, options),
      rows);
  EXPECT_EQ(expectChunkInvariant(filter(TDatabaseOutputFormat::Delimited, false),
                                 "select count(*) from wide"),
            "200\r\n");
}

TEST_F(DatabaseFilter, AStopInterruptsARunningStatementAndRunsNoneAfterIt) {
  // Counting takes the database many seconds before its one row; the
  // statements after it in the same block would empty the table. The job is
  // stopped, or the program ends (a signal) before the job is told.
  for (bool programEnds : {false, true}) {
    SCOPED_TRACE(programEnds);
    testing::RecordingJobHost host;
    auto input = std::make_unique<TStringInput>("trial");
    input->setText("with recursive c(x) as (select 1 union all select x + 1 from c where "
                   "x < 30000000) select count(*) from c; delete from items; select 'after'");
    input->setNext(std::make_unique<TODBCFilter>(file_, "", "", TDatabaseOutputFormat::Delimited,
                                                 ",", "", false, ""));
    std::string result;
    input->lastFilter()->setNext(std::make_unique<TStringOutput>(result));
    auto job = ProcessingThread::Create(host, *input, {});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (programEnds)
      setApplicationTerminating(true);
    else
      job->terminate();
    job->waitFor();
    setApplicationTerminating(false);
    EXPECT_EQ(result, "");
    EXPECT_EQ(expectChunkInvariant(filter(TDatabaseOutputFormat::Delimited, false),
                                   "select count(*) from items"),
              "3\r\n");
  }
}

TEST_F(DatabaseFilter, LargeResultsLeaveInPiecesAndWhole) {
  std::vector<std::string> statements{"create table many(n integer)"};
  std::string values = "insert into many values (0)";
  for (int i = 1; i < 2000; ++i)
    values += ",(" + std::to_string(i) + ")";
  statements.push_back(values);
  run(statements);
  std::string expected;
  for (int i = 0; i < 2000; ++i)
    expected += std::to_string(i) + "\r\n";
  EXPECT_EQ(expectChunkInvariant(filter(TDatabaseOutputFormat::Delimited, false),
                                 "select n from many order by n"),
            expected);
}

TEST_F(DatabaseFilter, ConnectionStringsReachSqliteOrOdbc) {
  struct Case {
    std::string connection;
    bool sqlite;
    std::string name;
  } cases[] = {
      {"/data/shop.db", true, "/data/shop.db"},
      {" :memory: ", true, ":memory:"},
      {"Driver=SQLite3;Database=/data/shop.db", true, "/data/shop.db"},
      {"driver={SQLite3 ODBC Driver}; database = {/data/my shop.db} ;", true, "/data/my shop.db"},
      {"Provider=SQLite;Data Source=shop.db", true, "shop.db"},
      {"DSN=sales;UID=me", false, "DSN=sales;UID=me"},
      {"Driver={PostgreSQL};Server=db;Database=x", false,
       "Driver={PostgreSQL};Server=db;Database=x"},
  };
  for (const auto &c : cases) {
    DatabaseSource source = mapConnectionString(c.connection);
    EXPECT_EQ(source.sqlite, c.sqlite) << c.connection;
    EXPECT_EQ(source.name, c.name) << c.connection;
  }
  auto make = [this] {
    return std::make_unique<TODBCFilter>("Driver=SQLite3;Database=" + file_, "", "",
                                         TDatabaseOutputFormat::Delimited, ",", "", false, "");
  };
  EXPECT_EQ(expectChunkInvariant(make, "select count(*) from items"), "3\r\n");
}

TEST_F(DatabaseFilter, BadConnectionsGiveClearErrorsWhenTheFilterIsMade) {
  auto open = [](const std::string &connection) {
    return errorOf([&] {
      TODBCFilter(connection, "", "", TDatabaseOutputFormat::Delimited, ",", "\"", true, "");
    });
  };
  EXPECT_EQ(open(""), "The database connection string is empty");
  EXPECT_EQ(open("Driver=SQLite3;Timeout=5"),
            "The SQLite connection string [Driver=SQLite3;Timeout=5] names no database file");
  std::string missing = folder_.file("no/such/folder/x.db");
  EXPECT_TRUE(open(missing).starts_with("Couldn't open the database [" + missing + "]: "))
      << open(missing);
  // A mistyped name creates no empty database.
  std::string typo = folder_.file("shpo.db");
  EXPECT_EQ(open(typo),
            "Couldn't open the database [" + typo + "]: the file " + typo + " does not exist");
  EXPECT_FALSE(std::filesystem::exists(typo));
  EXPECT_TRUE(open("DSN=no_such_source_here")
                  .starts_with("Couldn't open the database [DSN=no_such_source_here]: "))
      << open("DSN=no_such_source_here");
}

TEST_F(DatabaseFilter, RunsAsAJobOnTheJobThread) {
  testing::RecordingJobHost host;
  auto input = std::make_unique<TStringInput>("trial");
  input->setText("select name from items where id = 1; selec; select 'done'");
  input->setNext(std::make_unique<TODBCFilter>(file_, "", "", TDatabaseOutputFormat::Delimited, ",",
                                               "", false, ""));
  std::string result;
  input->lastFilter()->setNext(std::make_unique<TStringOutput>(result));
  auto job = ProcessingThread::Create(host, *input, {});
  job->waitFor();
  EXPECT_TRUE(host.shownExceptions().empty());
  EXPECT_EQ(result, "apple\r\ndone\r\n");
  auto window = host.windows.empty() ? nullptr : host.windows[0].lock();
  ASSERT_TRUE(window);
  ASSERT_EQ(window->errors.size(), 1u);
  EXPECT_TRUE(window->errors[0].starts_with("selec: ")) << window->errors[0];
}

} // namespace
} // namespace marrowen

#pragma once

#include "engine/jobthreadresource.h"
#include "engine/lines.h"
#include "qtext/qtext.h"

#include <cstdint>
#include <string>
#include <vector>

class QSqlQuery;
class QVariant;

namespace marrowen {

enum class TDatabaseOutputFormat { Delimited = 0, FixedWidth = 1, Xml = 2, InsertScript = 3 };

// How a connection string reaches a data source. The script's connection
// strings name a SQLite file or an ODBC source:
//   - a string without "=" is a SQLite database file name (":memory:" too);
//   - a string whose "Driver" or "Provider" value mentions SQLite
//     ("Driver=SQLite3;Database=/data/shop.db") opens the file named by its
//     "Database" or "Data Source" value with SQLite;
//   - anything else is handed whole to ODBC as its connection string
//     ("DSN=sales;" or "Driver={PostgreSQL};Server=...").
// The user name and password go to the driver apart from the string.
struct DatabaseSource {
  bool sqlite = false;
  std::string name; // the SQLite file, or the ODBC connection string
};
// Raises with a clear message for an empty string or a SQLite string that
// names no file.
DatabaseSource mapConnectionString(const std::string &connectionString);

// Treats its input as an SQL script: statements end at semicolons outside
// single or double quotes; each runs over the connection, and the rows of
// every statement that returns a result are written as delimited text, fixed
// width text, XML with an inline document type, or SQL insert statements.
// Statements without a result give no output; a failing statement is
// reported as an error line and the script goes on.
//
// The connection is tried when the filter is made, so a bad connection
// string stops the chain from being built; the connection used is opened on
// the thread that runs the chain when the first statement comes, and closed
// at the end of the job (through the job thread's context when there is a
// job). Each file of a job is one script.
//
// A stop of the job, or the program's end, interrupts a running SQLite
// statement at once (it fails and changes nothing); a statement writing its
// rows ends after the current row, and no statement starts once the job is
// stopped. An ODBC statement cannot be interrupted: it ends by itself.
//
// A statement that is valid UTF-8 goes to the database as UTF-8 and the
// values of its rows come back in UTF-8; any other statement goes through
// the code page both ways, as older scripts are read. A value holding a
// character the statement's encoding cannot hold is written with "?" for it,
// and the log names the file and the statement's line.
//
// In the insert layout values are written as SQL literals: NULL for a null
// value, text, dates and fixed characters between qualifiers with the
// qualifier doubled, binary values as X'..', so no value can end its literal
// or the statement.
class TODBCFilter : public TGenericStateMachine {
public:
  TODBCFilter(const std::string &connectionString, const std::string &userName,
              const std::string &password, TDatabaseOutputFormat outputFormat,
              const std::string &fieldDelimiter, const std::string &textQualifier,
              bool generateHeader, const std::string &insertTable);
  ~TODBCFilter() override;

  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  void endJob() override;
  std::int64_t bufferedLength() override;

private:
  struct Connection;
  struct Field {
    std::string name; // made safe for XML and SQL
    int type = 0;     // the data type, numbered as ADO numbers them
    int width = -1;   // the fixed width; -1 for none
    // False for a SQLite column without a declared type, whose type is the
    // first row's.
    bool declared = true;
  };

  Connection &connection();
  void executeStatement();
  void runStatement();
  void startResult();
  void readFieldDefs(const QSqlQuery &query);
  void delimitedHeader();
  void fixedHeader();
  void xmlHeader();
  void writeRow(const QSqlQuery &query);
  // The type that decides how a value is written: its column's, unless the
  // value itself holds another that the column's would lose, change or
  // leave bare.
  int typeOfValue(const Field &field, const QVariant &value) const;
  std::string fieldText(const QVariant &value);
  void binaryField();
  // Wraps the value in the text qualifier, doubling any qualifier within it.
  void appendQualified(std::string_view value);
  void sendOutput();

  DatabaseSource source_;
  std::string userName_;
  std::string password_;
  TDatabaseOutputFormat outputFormat_;
  std::string fieldDelimiter_;
  std::string textQualifier_;
  bool generateHeader_;
  std::string insertTable_;

  std::vector<Field> fields_;
  std::string output_;
  std::string statement_;
  std::int64_t nextLine_ = 1;                  // the line of the file where statement_ begins
  LineEncoding encoding_ = LineEncoding::Utf8; // of the statement being written
  std::int64_t lost_ = 0;                      // its characters that encoding could not hold
  std::int32_t rowCount_ = 0;
  std::string insertPrefix_;
  JobThreadResource<Connection> connection_;
};

} // namespace marrowen

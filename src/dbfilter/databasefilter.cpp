#include "dbfilter/databasefilter.h"

#include "classlib/asciitext.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/program.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/userinterface.h"
#include "qtext/qtext.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace marrowen {

namespace {

constexpr std::string_view rowElement = "MarrowenRow";

// The data types of the result columns, numbered as the layouts know them.
enum AdoType {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBoolean = 11,
  adDecimal = 14,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adUnsignedSmallInt = 18,
  adUnsignedInt = 19,
  adBigInt = 20,
  adUnsignedBigInt = 21,
  adGUID = 72,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};

// Written without qualifiers in the delimited and insert layouts.
bool isBareType(int type) {
  return (type >= adSmallInt && type <= adDate) || type == adBoolean || type == adDecimal ||
         (type >= adTinyInt && type <= adUnsignedBigInt) || type == adBinary || type == adChar ||
         type == adNumeric || (type >= adDBDate && type <= adDBTimeStamp);
}

bool isBinaryType(int type) {
  return type == adBinary || type == adVarBinary || type == adLongVarBinary;
}

bool isNumberType(int type) {
  return (type >= adSmallInt && type <= adCurrency) || type == adBoolean || type == adDecimal ||
         (type >= adTinyInt && type <= adUnsignedBigInt) || type == adNumeric;
}

// The ODBC column types (as the ODBC driver reports them) and their numbers.
int typeOfOdbcColumn(int sqlType) {
  switch (sqlType) {
  case 1:
    return adChar; // SQL_CHAR
  case 12:
    return adVarChar; // SQL_VARCHAR
  case -1:
    return adLongVarChar; // SQL_LONGVARCHAR
  case -8:
    return adWChar; // SQL_WCHAR
  case -9:
    return adVarWChar; // SQL_WVARCHAR
  case -10:
    return adLongVarWChar; // SQL_WLONGVARCHAR
  case 2:                  // SQL_NUMERIC
  case 3:
    return adNumeric; // SQL_DECIMAL
  case 5:
    return adSmallInt;
  case 4:
    return adInteger;
  case 7:
    return adSingle;
  case 6:
  case 8:
    return adDouble;
  case -7:
    return adBoolean;
  case -6:
    return adTinyInt;
  case -5:
    return adBigInt;
  case 9:
  case 91:
    return adDBDate;
  case 10:
  case 92:
    return adDBTime;
  case 11:
  case 93:
    return adDBTimeStamp;
  case -2:
    return adBinary;
  case -3:
    return adVarBinary;
  case -4:
    return adLongVarBinary;
  case -11:
    return adGUID;
  default:
    return -1;
  }
}

int typeOfMetaType(const QMetaType &type) {
  switch (type.id()) {
  case QMetaType::UnknownType:
    return adEmpty;
  case QMetaType::Short:
    return adSmallInt;
  case QMetaType::Int:
    return adInteger;
  case QMetaType::Float:
    return adSingle;
  case QMetaType::Double:
    return adDouble;
  case QMetaType::Bool:
    return adBoolean;
  case QMetaType::Char:
  case QMetaType::SChar:
    return adTinyInt;
  case QMetaType::UChar:
    return adUnsignedTinyInt;
  case QMetaType::UShort:
    return adUnsignedSmallInt;
  case QMetaType::UInt:
    return adUnsignedInt;
  case QMetaType::LongLong:
    return adBigInt;
  case QMetaType::ULongLong:
    return adUnsignedBigInt;
  case QMetaType::QDate:
    return adDBDate;
  case QMetaType::QTime:
    return adDBTime;
  case QMetaType::QDateTime:
    return adDBTimeStamp;
  case QMetaType::QByteArray:
    return adLongVarBinary;
  default:
    return adVarWChar;
  }
}

// The width of a SQLite column without a declared size, by its type.
int defaultSqliteWidth(int type) {
  if (type == adInteger || type == adBigInt)
    return 20;
  if (type == adDouble)
    return 24;
  return -1;
}

std::string errorText(const QSqlError &error) {
  // The database's own words, names of tables and columns in any script
  // included: kept whole as UTF-8.
  std::string database = fromQString(error.databaseText());
  std::string driver = fromQString(error.driverText());
  if (database.empty())
    return driver.empty() ? std::string("the database gave no reason") : driver;
  if (driver.empty() || database == driver)
    return database;
  return driver + " (" + database + ")";
}

// Field names become names that XML and SQL accept: only "-", ".", digits,
// letters A-Z and a-z and "_" stay, and a name starts with a letter or "_"
// (an empty name too becomes "T").
// Every character but the ASCII letters, digits, "-", "." and "_" becomes
// one "_", a letter beyond ASCII too.
std::string safeName(const QString &name) {
  std::string safe;
  for (char32_t c : name.toUcs4()) {
    bool keep = c == '-' || c == '.' || c == '_' || (c >= '0' && c <= '9') ||
                (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    safe += keep ? static_cast<char>(c) : '_';
  }
  char first = safe.empty() ? '\0' : safe[0];
  if (!(first == '_' || (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')))
    safe.insert(safe.begin(), 'T');
  return safe;
}

// An XML comment may not hold "--".
std::string commentSafe(std::string_view text) {
  std::string safe;
  safe.reserve(text.size());
  for (char c : text) {
    if (c == '-' && !safe.empty() && safe.back() == '-')
      safe += ' ';
    safe += c;
  }
  return safe;
}

void appendXmlEscaped(std::string &out, std::string_view value) {
  for (char c : value) {
    switch (c) {
    case '\'':
      out += "&apos;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    default:
      out += c;
    }
  }
}

// Pads to `width` characters: a UTF-8 letter is one, as wide as any other.
void appendPadded(std::string &out, std::string_view text, int width) {
  out += text;
  const std::size_t characters = utf8::characterCount(text);
  if (width > 0 && static_cast<std::size_t>(width) > characters)
    out.append(static_cast<std::size_t>(width) - characters, ' ');
}

// Line breaks as the line cutting counts them: LF, CR LF and a lone CR.
std::int64_t lineBreaks(std::string_view text) {
  std::int64_t breaks = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
      ++breaks;
  return breaks;
}

void appendHexLiteral(std::string &out, const QByteArray &bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  out += "X'";
  for (char b : bytes) {
    auto u = static_cast<unsigned char>(b);
    out += digits[u >> 4];
    out += digits[u & 15];
  }
  out += '\'';
}

// A number as SQL reads it back with its type: outside a column of
// floating-point numbers, which makes 2 a 2.0 again, a whole floating-point
// number keeps a point; an infinite one, which has no literal, is written as
// one too large to hold.
void appendNumberLiteral(std::string &out, const QVariant &value, const std::string &text,
                         int columnType) {
  const int id = value.metaType().id();
  if (id != QMetaType::Double && id != QMetaType::Float) {
    out += text;
    return;
  }
  const double number = value.toDouble();
  if (std::isinf(number)) {
    out += number < 0 ? "-1e999" : "1e999";
    return;
  }
  out += text;
  if (columnType != adSingle && columnType != adDouble && std::isfinite(number) &&
      text.find_first_of(".eE") == std::string::npos)
    out += ".0";
}

std::atomic<std::uint64_t> connectionSerial{0};

// The first number between parentheses of a declared type ("varchar(10)").
int declaredSize(const char *declared) {
  if (!declared)
    return -1;
  const char *open = std::strchr(declared, '(');
  if (!open)
    return -1;
  int size = 0;
  const char *p = open + 1;
  while (*p == ' ')
    ++p;
  if (*p < '0' || *p > '9')
    return -1;
  for (; *p >= '0' && *p <= '9' && size < 1'000'000; ++p)
    size = size * 10 + (*p - '0');
  return size;
}

} // namespace

DatabaseSource mapConnectionString(const std::string &connectionString) {
  std::string text(trimBlanks(connectionString));
  if (text.empty())
    throw Exception("The database connection string is empty");
  if (text.find('=') == std::string::npos)
    return {true, text};
  bool sqlite = false;
  std::string file;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find(';', at);
    if (end == std::string::npos)
      end = text.size();
    std::string_view pair(text.data() + at, end - at);
    std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos) {
      std::string key = asciiLowerCase(trimBlanks(pair.substr(0, equals)));
      std::string value(trimBlanks(pair.substr(equals + 1)));
      if ((key == "driver" || key == "provider") &&
          asciiLowerCase(value).find("sqlite") != std::string::npos)
        sqlite = true;
      if (key == "database" || key == "data source")
        file = value;
    }
    at = end + 1;
  }
  if (!sqlite)
    return {false, text};
  if (file.size() >= 2 && file.front() == '{' && file.back() == '}')
    file = file.substr(1, file.size() - 2);
  if (file.empty())
    throw Exception(
        Format("The SQLite connection string [%s] names no database file", {connectionString}));
  return {true, file};
}

// Interrupts the SQLite statement that is running when the job is asked to
// stop: a statement may work for hours before its first row, and a stop (the
// user's, or a signal that ends the program) must not wait for it. SQLite
// lets another thread interrupt a connection; the statement then fails as
// interrupted and changes nothing.
class StatementWatch {
public:
  explicit StatementWatch(sqlite3 *database) : database_(database), thread_([this] { watch(); }) {}
  ~StatementWatch() {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  StatementWatch(const StatementWatch &) = delete;
  StatementWatch &operator=(const StatementWatch &) = delete;

  // Watches until `end`; `stopped` is asked on the watching thread.
  void begin(std::function<bool()> stopped) {
    {
      std::lock_guard lock(mutex_);
      stopped_ = std::move(stopped);
    }
    wake_.notify_one();
  }
  void end() {
    std::lock_guard lock(mutex_);
    stopped_ = nullptr;
  }

private:
  void watch() {
    std::unique_lock lock(mutex_);
    while (!ending_) {
      if (!stopped_) {
        wake_.wait(lock);
      } else if (stopped_()) {
        sqlite3_interrupt(database_);
        stopped_ = nullptr;
      } else {
        wake_.wait_for(lock, std::chrono::milliseconds(20));
      }
    }
  }

  sqlite3 *database_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<bool()> stopped_;
  bool ending_ = false;
  std::thread thread_; // last: it starts once the rest is made
};

// One open connection, made and closed on one thread under a name of its own.
struct TODBCFilter::Connection {
  std::string name;
  QSqlDatabase database;
  // Made with the first statement of a SQLite connection.
  std::unique_ptr<StatementWatch> watch;

  Connection(const DatabaseSource &source, const std::string &user, const std::string &password,
             const std::string &connectionString)
      : name("marrowen.db." + std::to_string(++connectionSerial)) {
    // SQLite makes a file it is asked to open and cannot find: a mistyped
    // name would run the statements on a new, empty database.
    std::error_code error;
    if (source.sqlite && source.name != ":memory:" &&
        !std::filesystem::exists(std::filesystem::path(source.name), error))
      throw Exception(Format("Couldn't open the database [%s]: the file %s does not exist",
                             {connectionString, source.name}));
    database = QSqlDatabase::addDatabase(source.sqlite ? "QSQLITE" : "QODBC", toQString(name));
    if (!database.isValid()) {
      close();
      throw Exception(Format("Couldn't open the database [%s]: the %s driver is not installed",
                             {connectionString, std::string(source.sqlite ? "SQLite" : "ODBC")}));
    }
    if (source.sqlite && !utf8::isValid(source.name)) {
      // A file name holding bytes that are no UTF-8 cannot be spelled in Qt's
      // text: as a URI, whose escapes SQLite reads back as those very bytes,
      // it opens that file and never makes another.
      const QByteArray bytes(source.name.data(), static_cast<qsizetype>(source.name.size()));
      database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
      database.setDatabaseName(QStringLiteral("file:") +
                               QString::fromLatin1(bytes.toPercentEncoding("/")));
    } else {
      database.setDatabaseName(fileNameToQString(source.name));
    }
    if (!user.empty())
      database.setUserName(toQString(user));
    if (!password.empty())
      database.setPassword(toQString(password));
    if (!database.open()) {
      std::string reason = errorText(database.lastError());
      close();
      throw Exception(Format("Couldn't open the database [%s]: %s", {connectionString, reason}));
    }
  }
  ~Connection() {
    watch.reset();
    close();
  }

  // The watch over this connection's statements; none where the driver
  // cannot be interrupted (ODBC).
  StatementWatch *statementWatch() {
    if (!watch) {
      QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
      if (handle.isValid() && std::strcmp(handle.typeName(), "sqlite3*") == 0)
        if (sqlite3 *open = *static_cast<sqlite3 *const *>(handle.constData()))
          watch = std::make_unique<StatementWatch>(open);
    }
    return watch.get();
  }

  void close() {
    if (database.isValid())
      database.close();
    database = QSqlDatabase();
    QSqlDatabase::removeDatabase(toQString(name));
  }
};

TODBCFilter::TODBCFilter(const std::string &connectionString, const std::string &userName,
                         const std::string &password, TDatabaseOutputFormat outputFormat,
                         const std::string &fieldDelimiter, const std::string &textQualifier,
                         bool generateHeader, const std::string &insertTable)
    : source_(mapConnectionString(connectionString)), userName_(userName), password_(password),
      outputFormat_(outputFormat), generateHeader_(generateHeader) {
  // Tried here, so that a bad connection stops the chain from being built;
  // the connection that runs the statements belongs to the job's thread.
  Connection(source_, userName_, password_, connectionString);
  if (outputFormat_ == TDatabaseOutputFormat::InsertScript) {
    textQualifier_ = "\"";
    fieldDelimiter_ = ", ";
    insertTable_ = insertTable;
  } else {
    textQualifier_ = decodeEscapes(textQualifier);
    fieldDelimiter_ = decodeEscapes(fieldDelimiter);
  }
}

TODBCFilter::~TODBCFilter() = default;

TODBCFilter::Connection &TODBCFilter::connection() {
  if (Connection *open = connection_.get())
    return *open;
  return connection_.set(std::make_unique<Connection>(source_, userName_, password_, source_.name));
}

void TODBCFilter::startFile() {
  output_.clear();
  statement_.clear();
  nextLine_ = 1;
  rowCount_ = 0;
  TGenericStateMachine::startFile();
}

std::int64_t TODBCFilter::bufferedLength() {
  return static_cast<std::int64_t>(statement_.size() + output_.size());
}

bool TODBCFilter::processChunk(std::string &chunk) {
  const char *p = chunk.data();
  std::size_t n = chunk.size();
  std::size_t start = 0; // first byte not yet in the statement
  std::size_t i = 0;
  while (i < n) {
    if (state_ == 0) {
      while (i < n && p[i] != ';' && p[i] != '\'' && p[i] != '"')
        ++i;
      if (i == n)
        break;
      char c = p[i++];
      if (c == ';') {
        statement_.append(p + start, i - start);
        start = i;
        executeStatement();
        statement_.clear();
      } else {
        state_ = c == '\'' ? 1 : 2;
      }
    } else {
      const void *quote = std::memchr(p + i, state_ == 1 ? '\'' : '"', n - i);
      if (!quote) {
        i = n;
        break;
      }
      i = static_cast<std::size_t>(static_cast<const char *>(quote) - p) + 1;
      state_ = 0;
    }
  }
  statement_.append(p + start, n - start);
  bool goOn = sendToNext(output_);
  output_.clear();
  return goOn;
}

void TODBCFilter::executeStatement() {
  const std::size_t begins =
      std::min(statement_.find_first_not_of(" \t\r\n\f\v"), statement_.size());
  const std::int64_t line = nextLine_ + lineBreaks(std::string_view(statement_).substr(0, begins));
  nextLine_ += lineBreaks(statement_);
  if (!statement_.empty() && statement_.back() == ';')
    statement_.pop_back();
  statement_.erase(0, statement_.find_first_not_of(' '));
  // Only blanks and line ends (the rest of a script after its last
  // semicolon): nothing to run, and nothing to report.
  if (statement_.find_first_not_of(" \t\r\n\f\v") == std::string::npos)
    return;

  // A stopped job runs no more statements: the rest of a script may change
  // what the user wanted to keep.
  if (isAborted() || applicationTerminating())
    return;
  encoding_ = lineEncodingOf(statement_);
  lost_ = 0;
  runStatement();
  if (lost_ > 0)
    logWarning(Format("The rows of the statement on line %d of [%s] hold %d character(s) that %s "
                      "cannot hold; each was written as \"?\"",
                      {line, loggedName(getFullInputFilename()), lost_,
                       std::string(encoding_ == LineEncoding::Utf8 ? "UTF-8" : "the code page")}));
}

void TODBCFilter::runStatement() {
  Connection &open = connection();
  StatementWatch *watch = open.statementWatch();
  if (watch)
    // The program's end stops its jobs too, even before each is told.
    watch->begin(
        [sink = job()] { return applicationTerminating() || (sink && sink->isAborted()); });
  struct EndWatch {
    StatementWatch *watch;
    ~EndWatch() {
      if (watch)
        watch->end();
    }
  } endWatch{watch};
  QSqlQuery query(open.database);
  query.setForwardOnly(true);
  if (!query.exec(lineToQString(statement_, encoding_))) {
    logError(statement_ + ": " + errorText(query.lastError()));
    return;
  }
  if (!query.isSelect())
    return;
  readFieldDefs(query);
  startResult();
  rowCount_ = 0;
  while (query.next()) {
    ++rowCount_;
    writeRow(query);
    if (isAborted())
      return;
  }
  if (query.lastError().isValid())
    logError(statement_ + ": " + errorText(query.lastError()));
}

void TODBCFilter::readFieldDefs(const QSqlQuery &query) {
  fields_.clear();
  QSqlRecord record = query.record();
  sqlite3_stmt *statement = nullptr;
  if (source_.sqlite) {
    QVariant handle = query.result()->handle();
    if (handle.isValid() && std::strcmp(handle.typeName(), "sqlite3_stmt*") == 0)
      statement = *static_cast<sqlite3_stmt *const *>(handle.constData());
  }
  for (int i = 0; i < record.count(); ++i) {
    QSqlField column = record.field(i);
    Field field;
    field.type = -1;
    if (!source_.sqlite)
      field.type = typeOfOdbcColumn(column.typeID());
    if (field.type < 0)
      field.type = typeOfMetaType(column.metaType());
    int size = column.length();
    if (source_.sqlite) {
      const char *declared = statement ? sqlite3_column_decltype(statement, i) : nullptr;
      field.declared = declared && *declared;
      size = declaredSize(declared);
      if (size < 0)
        size = defaultSqliteWidth(field.type);
    }
    field.width = size >= 0 && size < 8192 ? size : -1;

    std::string name = safeName(column.name());
    auto taken = [&](const std::string &candidate) {
      std::string lower = asciiLowerCase(candidate);
      for (const Field &other : fields_)
        if (asciiLowerCase(other.name) == lower)
          return true;
      return false;
    };
    while (taken(name))
      name += '1';
    field.name = std::move(name);
    fields_.push_back(std::move(field));
  }
}

void TODBCFilter::startResult() {
  if (generateHeader_) {
    switch (outputFormat_) {
    case TDatabaseOutputFormat::Delimited:
      delimitedHeader();
      break;
    case TDatabaseOutputFormat::FixedWidth:
      fixedHeader();
      break;
    case TDatabaseOutputFormat::Xml:
      xmlHeader();
      break;
    case TDatabaseOutputFormat::InsertScript:
      break;
    }
  }
  if (outputFormat_ == TDatabaseOutputFormat::InsertScript) {
    insertPrefix_ = "insert into " + insertTable_ + " ";
    if (generateHeader_) {
      insertPrefix_ += "( ";
      for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0)
          insertPrefix_ += ", ";
        insertPrefix_ += fields_[i].name;
      }
      insertPrefix_ += " ) ";
    }
    insertPrefix_ += "values ( ";
  }
}

void TODBCFilter::appendQualified(std::string_view value) {
  output_ += textQualifier_;
  if (textQualifier_.size() != 1) {
    output_ += value;
  } else {
    char q = textQualifier_[0];
    std::size_t start = 0;
    for (std::size_t at = value.find(q); at != std::string_view::npos; at = value.find(q, at + 1)) {
      output_.append(value.substr(start, at + 1 - start));
      output_ += q;
      start = at + 1;
    }
    output_.append(value.substr(start));
  }
  output_ += textQualifier_;
}

void TODBCFilter::delimitedHeader() {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    appendQualified(fields_[i].name);
    if (i + 1 < fields_.size())
      output_ += fieldDelimiter_;
  }
  output_ += "\r\n";
}

void TODBCFilter::fixedHeader() {
  for (const Field &field : fields_)
    appendPadded(output_, field.name, field.width);
  output_ += "\r\n";
}

void TODBCFilter::xmlHeader() {
  output_ += translateFormat(1490,
                             "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n\r\n"
                             "<!-- generator=\"Marrowen Search/Replace\" -->\r\n"
                             "<!-- companyURL=\"" +
                                 std::string(program::makerWebAddress) +
                                 "\" -->\r\n"
                                 "<!-- SQLquery=\"%s\" -->\r\n\r\n",
                             {commentSafe(statement_)});
  std::string row(rowElement);
  output_ += "<!-- event=\"DTD start\" -->\r\n";
  output_ += "<!DOCTYPE " + row + "s [\r\n";
  output_ += "  <!ELEMENT " + row + "s (" + row + "*)>\r\n";
  output_ += "  <!ELEMENT " + row + " (";
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (i > 0)
      output_ += ", ";
    output_ += fields_[i].name;
  }
  output_ += ")>\r\n";
  for (const Field &field : fields_)
    output_ += "  <!ELEMENT " + field.name + " (#PCDATA)>\r\n";
  output_ += "]>\r\n";
  output_ += "<!-- event=\"DTD end\" -->\r\n";
  output_ += "\r\n";
  output_ += "<" + row + "s>\r\n";
  output_ += "\r\n";
}

// SQLite keeps a type with every value, not with the column: a column
// without a declared type takes the type of its first row (none when that
// row holds NULL), and any row may hold a value of another type than the
// column declares. Written by the column's type alone, later values of an
// untyped column would all be lost, a text in a number column would stand
// without its qualifiers (in an insert statement, as bare SQL), and an insert
// statement would bring a value back with another type. So an insert
// statement writes each value by its own type, as do delimited rows in an
// untyped column and for a text where the column's type would leave it bare.
int TODBCFilter::typeOfValue(const Field &field, const QVariant &value) const {
  if (!source_.sqlite || value.isNull())
    return field.type;
  const int own = typeOfMetaType(value.metaType());
  if (!field.declared || field.type == adEmpty ||
      outputFormat_ == TDatabaseOutputFormat::InsertScript)
    return own;
  if (own == adVarWChar && (isBareType(field.type) || isNumberType(field.type)))
    return own;
  return field.type;
}

std::string TODBCFilter::fieldText(const QVariant &value) {
  if (value.isNull())
    return {};
  // A binary value has no text form.
  if (value.metaType().id() == QMetaType::QByteArray || !value.canConvert<QString>())
    return "BLOB";
  return lineFromQString(value.toString(), encoding_, lost_);
}

void TODBCFilter::binaryField() { sendOutput(); }

void TODBCFilter::writeRow(const QSqlQuery &query) {
  const std::string row(rowElement);
  switch (outputFormat_) {
  case TDatabaseOutputFormat::Xml:
    output_ += "<" + row + ">\r\n";
    break;
  case TDatabaseOutputFormat::InsertScript:
    output_ += insertPrefix_;
    break;
  default:
    break;
  }
  // Delimited rows and insert statements put the delimiter between values.
  const bool separated = outputFormat_ == TDatabaseOutputFormat::Delimited ||
                         outputFormat_ == TDatabaseOutputFormat::InsertScript;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const Field &field = fields_[i];
    QVariant value = query.value(static_cast<int>(i));
    const int type = typeOfValue(field, value);
    switch (outputFormat_) {
    case TDatabaseOutputFormat::Delimited:
      if (type == adVarBinary)
        binaryField();
      else if (type == adEmpty)
        output_ += textQualifier_ + textQualifier_;
      else if (isBareType(type))
        output_ += fieldText(value);
      else
        appendQualified(fieldText(value));
      break;
    case TDatabaseOutputFormat::InsertScript:
      // Every value is a literal that cannot end early.
      if (value.isNull())
        output_ += "NULL";
      else if (isBinaryType(type) || value.metaType().id() == QMetaType::QByteArray)
        appendHexLiteral(output_, value.toByteArray());
      else if (isNumberType(type))
        appendNumberLiteral(output_, value, fieldText(value),
                            field.declared ? field.type : adEmpty);
      else
        appendQualified(fieldText(value));
      break;
    case TDatabaseOutputFormat::FixedWidth:
      if (field.type == adBinary)
        binaryField();
      else
        appendPadded(output_, fieldText(value), field.width);
      break;
    case TDatabaseOutputFormat::Xml:
      output_ += "  <" + field.name + ">";
      if (field.type == adBinary)
        binaryField();
      else
        appendXmlEscaped(output_, fieldText(value));
      output_ += "</" + field.name + ">\r\n";
      break;
    }
    if (separated && i + 1 < fields_.size())
      output_ += fieldDelimiter_;
  }
  switch (outputFormat_) {
  case TDatabaseOutputFormat::Delimited:
  case TDatabaseOutputFormat::FixedWidth:
    output_ += "\r\n";
    break;
  case TDatabaseOutputFormat::Xml:
    output_ += "</" + row + ">\r\n\r\n";
    break;
  case TDatabaseOutputFormat::InsertScript:
    output_ += " );\r\n";
    break;
  }
  if (output_.size() > 4096)
    sendOutput();
}

void TODBCFilter::sendOutput() {
  sendToNext(output_);
  output_.clear();
}

void TODBCFilter::endFile() {
  TGenericStateMachine::endFile();
  if (!statement_.empty()) {
    executeStatement();
    statement_.clear();
  }
  if (outputFormat_ == TDatabaseOutputFormat::Xml) {
    if (generateHeader_)
      output_ += "\r\n</" + std::string(rowElement) + "s>\r\n";
    output_ += translateFormat(1520, "\r\n<!-- rowCount=\"%d\" -->\r\n", {rowCount_});
  }
  sendOutput();
}

void TODBCFilter::endJob() {
  TGenericStateMachine::endJob();
  connection_.release();
}

} // namespace marrowen

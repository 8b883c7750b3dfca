#include "filterlist/scriptnodes.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filterlist/nodefields.h"
#include "filterlist/settings.h"

namespace marrowen {

using namespace std::string_view_literals;

// ---------------------------------------------------------------------------
// Script node

namespace {

using ScriptField = NodeField<TScriptObject>;
const ScriptField scriptFields[] = {
    {"script", &TScriptObject::script, ""sv, "scriptCode"},
    {"language", &TScriptObject::language, "JScript"sv, "scriptLanguage"},
};

} // namespace

std::span<const ScriptField> TScriptObject::fields() { return scriptFields; }

std::unique_ptr<TScriptObject> TScriptObject::CreateDefault() {
  auto node = std::make_unique<TScriptObject>();
  // Only JScript runs on this system, so a new node starts in it; the script
  // remembered is not taken back: a new node starts with the sample.
  readFieldSettings<TScriptObject>(*node, fields());
  node->script = defaultScript();
  return node;
}

std::string TScriptObject::defaultScript() {
  return "// Example script filter (JScript). The filter calls five routines:\r\n"
         "// startJob and endJob once per job, startFile and endFile once per file,\r\n"
         "// and processLine once for each line of the input.\r\n"
         "\r\n"
         "// a counts the lines, on across all files of one job\r\n"
         "var a = 0;\r\n"
         "\r\n"
         "// processLine gets each line without its line end and the line end in EOL.\r\n"
         "// The result goes on down the chain: return EOL too to keep lines apart.\r\n"
         "function processLine(line, EOL) {\r\n"
         "  a = a + 1;\r\n"
         "  return line + \" \" + a + EOL;\r\n"
         "}\r\n"
         "\r\n"
         "// startJob runs once, before the first file\r\n"
         "function startJob() {\r\n"
         "  a = 0;\r\n"
         "}\r\n"
         "\r\n"
         "// endJob runs once, after the last file\r\n"
         "function endJob() {\r\n"
         "}\r\n"
         "\r\n"
         "// What startFile returns goes before the first line of each file\r\n"
         "function startFile() {\r\n"
         "  return \"\";\r\n"
         "}\r\n"
         "\r\n"
         "// What endFile returns goes after the last line of each file\r\n"
         "function endFile() {\r\n"
         "  return \"\";\r\n"
         "}";
}

void TScriptObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TScriptObject::getTitle() const { return language + " [" + script + "]"; }

std::string TScriptObject::printText(std::string_view indent) const {
  std::string text = language + " script\r\n";
  for (const std::string &line : stringListFromText(script)) {
    text += indent;
    text += "  ";
    text += line;
    text += "\r\n";
  }
  return text;
}

std::unique_ptr<TFilter> TScriptObject::add_this_filter(TFilterList &) {
  const ScriptFilterMakers makers = scriptFilterMakers();
  if (!makers)
    throw Exception(Format("The script filter '%s' cannot be built: this program has no script "
                           "engine",
                           {shortTitle(*this)}));
  validate(language, script);
  return makers.makeFilter(script, language, shortTitle(*this));
}

bool TScriptObject::validate(const std::string &language, const std::string &script) {
  const ScriptFilterMakers makers = scriptFilterMakers();
  if (!makers)
    throw Exception("Scripts cannot be checked: this program has no script engine");
  std::unique_ptr<TScriptCheck> check =
      makers.loadForCheck(script, language, awScriptControl1Error);
  checkFuncDeclaration(findFunction(*check, "processLine"));
  checkSubNoReturnDeclaration(findFunction(*check, "startJob"));
  checkSubNoReturnDeclaration(findFunction(*check, "endJob"));
  checkStringDeclaration(findFunction(*check, "startFile"));
  checkStringDeclaration(findFunction(*check, "endFile"));
  return true;
}

TScriptCheck::Routine TScriptObject::findFunction(TScriptCheck &check, const std::string &name) {
  std::optional<TScriptCheck::Routine> routine = check.findRoutine(name);
  if (!routine)
    throw Exception(translateFormat(
        5890, "Missing function - %s\r\nNote - script language may be case sensitive", {name}));
  return *routine;
}

void TScriptObject::checkFuncDeclaration(const TScriptCheck::Routine &routine) {
  if (routine.returnsValue == false)
    throw Exception(
        translateFormat(5920, "Function %s must have a (string) return value", {routine.name}));
  if (routine.parameterCount != 2)
    throw Exception(
        translateFormat(5930, "Function %s requires 2 string parameters", {routine.name}));
}

void TScriptObject::checkSubNoReturnDeclaration(const TScriptCheck::Routine &routine) {
  if (routine.returnsValue == true)
    throw Exception(
        translateFormat(5900, "Subroutine %s should not have a return value", {routine.name}));
  if (routine.parameterCount != 0)
    throw Exception(
        translateFormat(5910, "Subroutine %s should have no parameters", {routine.name}));
}

void TScriptObject::checkStringDeclaration(const TScriptCheck::Routine &routine) {
  if (routine.returnsValue == false)
    throw Exception(
        translateFormat(5940, "Function %s must have a (string) return value", {routine.name}));
  if (routine.parameterCount != 0)
    throw Exception(translateFormat(5950, "Function %s has no parameters", {routine.name}));
}

void TScriptObject::awScriptControl1Error(const ScriptErrorDetails &error) {
  throw Exception(translateFormat(
      5960, "[%d] %s:\r\n%s at line:%d, char:%d\r\nnear:%s",
      {error.number, error.source, error.description, error.line, error.column, error.text}));
}

void TScriptObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TScriptObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// Database node

namespace {

using DatabaseField = NodeField<TDatabaseObject>;
// Files before type 46 stored no insert table: they load with none.
const DatabaseField databaseFields[] = {
    {"connection", &TDatabaseObject::connection, ""sv, "db.connection"},
    {"userName", &TDatabaseObject::userName, ""sv, "db.username"},
    {"password", &TDatabaseObject::password, ""sv, "db.password"},
    {"outputFormat", &TDatabaseObject::outputFormat, 0, "db.outputFormat"},
    {"fieldDelimiter", &TDatabaseObject::fieldDelimiter, ","sv, "db.fieldDelimiter"},
    {"textQualifier", &TDatabaseObject::textQualifier, "\""sv, "db.textQualifier"},
    {"generateHeader", &TDatabaseObject::generateHeader, true, "db.generateHeader", 34},
    {"insertTable", &TDatabaseObject::insertTable, "InsertTableName"sv, "db.insertTable", 46},
};

} // namespace

std::span<const DatabaseField> TDatabaseObject::fields() { return databaseFields; }

std::string TDatabaseObject::regentry(int field) {
  if (field < 1 || field > static_cast<int>(fields().size()))
    return "db.error";
  return std::string(fields()[static_cast<std::size_t>(field - 1)].settingName);
}

std::unique_ptr<TDatabaseObject> TDatabaseObject::CreateDefault() {
  auto node = std::make_unique<TDatabaseObject>();
  readFieldSettings<TDatabaseObject>(*node, fields());
  return node;
}

void TDatabaseObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TDatabaseObject::getTitle() const {
  return translateFormat(5970, "Database %s", {connection});
}

std::string TDatabaseObject::printText(std::string_view indent) const {
  std::string text = getTitle() + "\r\n";
  text += indent;
  text += outputOption(generateHeader);
  text += translate(5980, "Generate header\r\n");
  text += indent;
  switch (outputFormat) {
  case 0:
    text += translateFormat(
        5990, "  Delimited\r\n%s    Field delimiter [%s]\r\n%s    Text qualifier [%s]\r\n",
        {indent, fieldDelimiter, indent, textQualifier});
    break;
  case 1:
    text += translate(6020, "  Fixed width\r\n");
    break;
  case 2:
    text += translate(6030, "  XML\r\n");
    break;
  case 3:
    text += translateFormat(6040, "  Insert script [%s]\r\n", {insertTable});
    break;
  default:
    break;
  }
  return text;
}

std::unique_ptr<TFilter> TDatabaseObject::add_this_filter(TFilterList &) {
  // The filter knows no layout of its own for another number: it would
  // quietly write rows without their text.
  if (outputFormat < 0 || outputFormat > 3)
    throw Exception(Format("The database filter '%s' has an unknown output format %d",
                           {shortTitle(*this), outputFormat}));
  const DatabaseFilterMaker maker = databaseFilterMaker();
  if (!maker)
    throw Exception(Format("The database filter '%s' cannot be built: this program has no "
                           "database access",
                           {shortTitle(*this)}));
  return maker({connection, userName, password, outputFormat, fieldDelimiter, textQualifier,
                generateHeader, insertTable});
}

void TDatabaseObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TDatabaseObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
  if (reader.fileTypeRead() < 46)
    insertTable.clear();
}

} // namespace marrowen

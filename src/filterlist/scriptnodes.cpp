#include "filterlist/scriptnodes.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filterlist/settings.h"

namespace marrowen {

// ---------------------------------------------------------------------------
// Script node

std::unique_ptr<TScriptObject> TScriptObject::CreateDefault() {
  auto node = std::make_unique<TScriptObject>();
  node->script = defaultScript();
  node->language = readStringSetting("scriptLanguage", "VBScript");
  return node;
}

std::string TScriptObject::defaultScript() {
  return "' Example script filter (VBScript). The filter calls five routines:\r\n"
         "' startJob and endJob once per job, startFile and endFile once per file,\r\n"
         "' and processLine once for each line of the input.\r\n"
         "\r\n"
         "' a counts the lines, on across all files of one job\r\n"
         "Dim a\r\n"
         "\r\n"
         "' processLine gets each line without its line end and the line end in EOL.\r\n"
         "' The result goes on down the chain: return EOL too to keep lines apart.\r\n"
         "Function processLine(line, EOL)\r\n"
         "  a = a + 1\r\n"
         "  processLine = line & \" \" & a & EOL\r\n"
         "End Function\r\n"
         "\r\n"
         "' startJob runs once, before the first file\r\n"
         "Sub startJob()\r\n"
         "  a = 0\r\n"
         "End Sub\r\n"
         "\r\n"
         "' endJob runs once, after the last file\r\n"
         "Sub endJob()\r\n"
         "End Sub\r\n"
         "\r\n"
         "' What startFile returns goes before the first line of each file\r\n"
         "Function startFile()\r\n"
         "  startFile = \"\"\r\n"
         "End Function\r\n"
         "\r\n"
         "' What endFile returns goes after the last line of each file\r\n"
         "Function endFile()\r\n"
         "  endFile = \"\"\r\n"
         "End Function";
}

void TScriptObject::rememberDefaults() const {
  writeStringSetting("scriptCode", script);
  writeStringSetting("scriptLanguage", language);
}

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
  return makers.makeFilter(script, language);
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
  writer.writeString(script);
  writer.writeString(language);
}

void TScriptObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  script = reader.readString();
  language = reader.readString();
}

// ---------------------------------------------------------------------------
// Database node

std::string TDatabaseObject::regentry(int field) {
  static constexpr const char *names[] = {"connection",     "username",       "password",
                                          "outputFormat",   "fieldDelimiter", "textQualifier",
                                          "generateHeader", "insertTable"};
  if (field < 1 || field > 8)
    return "db.error";
  return std::string("db.") + names[field - 1];
}

std::unique_ptr<TDatabaseObject> TDatabaseObject::CreateDefault() {
  auto node = std::make_unique<TDatabaseObject>();
  node->connection = readStringSetting(regentry(1), "");
  node->userName = readStringSetting(regentry(2), "");
  node->password = readStringSetting(regentry(3), "");
  node->outputFormat = readIntegerSetting(regentry(4), 0);
  node->fieldDelimiter = readStringSetting(regentry(5), ",");
  node->textQualifier = readStringSetting(regentry(6), "\"");
  node->generateHeader = readBoolSetting(regentry(7), true);
  node->insertTable = readStringSetting(regentry(8), "InsertTableName");
  return node;
}

void TDatabaseObject::rememberDefaults() const {
  writeStringSetting(regentry(1), connection);
  writeStringSetting(regentry(2), userName);
  writeStringSetting(regentry(3), password);
  writeIntegerSetting(regentry(4), outputFormat);
  writeStringSetting(regentry(5), fieldDelimiter);
  writeStringSetting(regentry(6), textQualifier);
  writeBoolSetting(regentry(7), generateHeader);
  writeStringSetting(regentry(8), insertTable);
}

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
  writer.writeString(connection);
  writer.writeString(userName);
  writer.writeString(password);
  writer.writeInteger(outputFormat);
  writer.writeString(fieldDelimiter);
  writer.writeString(textQualifier);
  writer.writeBoolean(generateHeader);
  writer.writeString(insertTable);
}

void TDatabaseObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  const int type = reader.fileTypeRead();
  connection = reader.readString();
  userName = reader.readString();
  password = reader.readString();
  outputFormat = reader.readInteger();
  fieldDelimiter = reader.readString();
  textQualifier = reader.readString();
  generateHeader = type >= 34 ? reader.readBoolean() : true;
  insertTable = type >= 46 ? reader.readString() : std::string();
}

} // namespace marrowen

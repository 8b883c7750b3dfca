#pragma once

#include "filterlist/filtermakers.h"
#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace marrowen {

// A line filter written as a script in a named scripting language. Before
// the filter is made, the script is loaded and checked for the five routines
// the script filter calls, each with its shape: "processLine" a function of
// two parameters, "startJob" and "endJob" subroutines without parameters,
// "startFile" and "endFile" functions without parameters. Its children run
// as a subfilter chain that the script feeds through its object.
//
// Where a language cannot tell from a declaration whether a routine returns
// a value (JScript: every routine is a function), the return-value checks
// pass and only the parameters are checked. Nothing is lost by that: the
// filter sends nothing for a routine that returns nothing, and ignores what
// "startJob" and "endJob" return.
//
// The script filter runs on an engine above this layer: building needs the
// makers of filtermakers.h.
class TScriptObject : public TListObject {
public:
  std::string script;
  // Passed to the script engine as it stands ("VBScript", "JScript", ...).
  std::string language;

  // A new node: the example script, in the language last chosen. The script
  // last confirmed is remembered, but a new node starts from the example.
  // The stored fields, in stored order.
  static std::span<const NodeField<TScriptObject>> fields();
  static std::unique_ptr<TScriptObject> CreateDefault();
  // The example script: JScript that numbers the lines across a job.
  static std::string defaultScript();
  void rememberDefaults() const override;

  bool canParent() const override { return true; }
  ChildChain needGatherer() const override { return ChildChain::Gathered; }
  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  // Checks the script (`validate`), then makes the script filter.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  // Loads `script` in `language` and checks its routines; true, or raises
  // with message 5960 for a script error, 5890 for a missing routine and
  // 5900 to 5950 for one of the wrong shape. The routines are checked in the
  // order processLine, startJob, endJob, startFile, endFile; of each, the
  // return value before the parameters.
  static bool validate(const std::string &language, const std::string &script);

  std::string_view className() const override { return "TScriptObject"; }
  std::string_view definedPropertyName() const override { return "ScriptObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;

private:
  static TScriptCheck::Routine findFunction(TScriptCheck &check, const std::string &name);
  static void checkFuncDeclaration(const TScriptCheck::Routine &routine);
  static void checkSubNoReturnDeclaration(const TScriptCheck::Routine &routine);
  static void checkStringDeclaration(const TScriptCheck::Routine &routine);
  [[noreturn]] static void awScriptControl1Error(const ScriptErrorDetails &error);
};

// Runs its input as an SQL script over a connection and writes the rows of
// each result in one of four layouts. The password is kept, stored and
// remembered as plain text.
//
// The database filter runs on a data-access library above this layer:
// building needs the maker of filtermakers.h.
class TDatabaseObject : public TListObject {
public:
  std::string connection;
  std::string userName;
  std::string password;
  // 0 delimited, 1 fixed width, 2 XML, 3 insert script; any other value is
  // kept as stored and refused when the node is built.
  std::int32_t outputFormat = 0;
  // Escaped as the user typed them; the delimited and XML layouts use them.
  std::string fieldDelimiter = ",";
  std::string textQualifier = "\"";
  bool generateHeader = true;
  // The table the insert script names.
  std::string insertTable = "InsertTableName";

  // A new node from the remembered defaults.
  // The stored fields, in stored order.
  static std::span<const NodeField<TDatabaseObject>> fields();
  static std::unique_ptr<TDatabaseObject> CreateDefault();
  void rememberDefaults() const override;
  // The settings name of field 1..8 in field order; "db.error" for any other.
  static std::string regentry(int field);

  std::string getTitle() const override;
  bool titleNamesFiles() const override { return true; }
  std::string printText(std::string_view indent) const override;
  // Raises for an output format outside 0..3; a connection that cannot be
  // opened raises the data source's error.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TDatabaseObject"; }
  std::string_view definedPropertyName() const override { return "DatabaseObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

} // namespace marrowen

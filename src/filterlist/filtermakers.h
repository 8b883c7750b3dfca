#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace marrowen {

class TFilter;

// The script and database filters run on engines that live above this layer
// (a script engine, a data-access library), so their nodes reach them through
// makers that the targets holding those filters install at start-up. A node
// that finds no maker raises a clear error naming itself; nothing here needs
// a maker to load, show or save a node.
//
// Installing replaces what was installed; an empty maker uninstalls. Safe
// from any thread: a build takes a copy of the maker installed at that time.

// One script error as the engine reports it: number, source (the kind of
// failure), description, line and column (from 1; 0 when unknown) and the
// source text near the error.
struct ScriptErrorDetails {
  int number = 0;
  std::string source;
  std::string description;
  std::string text;
  int line = 0;
  int column = 0;
};

// A script loaded into an engine so that its routines can be checked.
class TScriptCheck {
public:
  // One routine as the script's language resolves it.
  struct Routine {
    // As the engine reports it.
    std::string name;
    // The parameters the routine declares.
    int parameterCount = 0;
    // Whether it returns a value; none when the language cannot tell from
    // the declaration (a JScript routine is always a function, and whether
    // it returns anything shows only when it runs).
    std::optional<bool> returnsValue;
  };

  virtual ~TScriptCheck() = default;
  // The routine of that name, none when the script defines no such routine.
  virtual std::optional<Routine> findRoutine(const std::string &name) = 0;
};

// Reports a script error of the check; the node raises from it.
using ScriptErrorHandler = std::function<void(const ScriptErrorDetails &)>;

struct ScriptFilterMakers {
  // The script filter of a job; `nodeTitle` names it in its errors.
  std::function<std::unique_ptr<TFilter>(const std::string &script, const std::string &language,
                                         const std::string &nodeTitle)>
      makeFilter;
  // The script loaded for its check: the language is set first, then the
  // code is added (its top-level statements run), and a syntax error goes to
  // `onError`. A language that cannot run raises.
  std::function<std::unique_ptr<TScriptCheck>(
      const std::string &script, const std::string &language, const ScriptErrorHandler &onError)>
      loadForCheck;

  explicit operator bool() const { return makeFilter && loadForCheck; }
};

// Everything the database filter is made from, in the node's order.
struct DatabaseFilterSettings {
  std::string connection;
  std::string userName;
  std::string password;
  // 0 delimited, 1 fixed width, 2 XML, 3 insert script.
  std::int32_t outputFormat = 0;
  std::string fieldDelimiter;
  std::string textQualifier;
  bool generateHeader = true;
  std::string insertTable;
};

// Makes the database filter; raises when the connection cannot be opened.
using DatabaseFilterMaker = std::function<std::unique_ptr<TFilter>(const DatabaseFilterSettings &)>;

void installScriptFilterMakers(ScriptFilterMakers makers);
// What is installed; empty makers when none are.
ScriptFilterMakers scriptFilterMakers();

void installDatabaseFilterMaker(DatabaseFilterMaker maker);
// What is installed; an empty maker when none is.
DatabaseFilterMaker databaseFilterMaker();

} // namespace marrowen

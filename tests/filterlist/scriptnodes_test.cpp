#include "filterlist/scriptnodes.h"

#include "classlib/exceptions.h"
#include "engine/filter.h"
#include "filterlist/filterlist.h"
#include "filterlist/filterlist_testing.h"
#include "filterlist/node_records.h"
#include "filterlist/settings.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// A filter that passes its text on, standing for the filters made above this layer.
struct MadeFilter : TFilter {
  std::string made;
  explicit MadeFilter(std::string what) : made(std::move(what)) {}
  bool processChunk(std::string &chunk) override { return sendToNext(chunk); }
};

// Script makers whose check answers from a table of routines; a script
// holding "SYNTAX" reports a script error while it loads, and the language
// "Klingon" cannot run.
struct FakeScriptEngine {
  std::map<std::string, TScriptCheck::Routine> routines;
  std::vector<std::string> calls;

  struct Check : TScriptCheck {
    FakeScriptEngine &engine;
    explicit Check(FakeScriptEngine &e) : engine(e) {}
    std::optional<Routine> findRoutine(const std::string &name) override {
      engine.calls.push_back("find " + name);
      auto found = engine.routines.find(name);
      if (found == engine.routines.end())
        return std::nullopt;
      return found->second;
    }
  };

  void install() {
    ScriptFilterMakers makers;
    makers.makeFilter = [this](const std::string &script, const std::string &language,
                               const std::string &) {
      calls.push_back("make " + language + " " + script);
      return std::make_unique<MadeFilter>(language + " " + script);
    };
    makers.loadForCheck =
        [this](const std::string &script, const std::string &language,
               const ScriptErrorHandler &onError) -> std::unique_ptr<TScriptCheck> {
      calls.push_back("load " + language + " " + script);
      if (language == "Klingon")
        throw Exception("no Klingon here");
      if (script.find("SYNTAX") != std::string::npos)
        onError({1002, "Compilation error", "Syntax error", "SYNTAX here", 3, 7});
      return std::make_unique<Check>(*this);
    };
    installScriptFilterMakers(std::move(makers));
  }

  // The five routines in the shapes the check wants; return values unknown.
  void wellFormed() {
    routines = {{"processLine", {"processLine", 2, std::nullopt}},
                {"startJob", {"startJob", 0, std::nullopt}},
                {"endJob", {"endJob", 0, std::nullopt}},
                {"startFile", {"startFile", 0, std::nullopt}},
                {"endFile", {"endFile", 0, std::nullopt}}};
  }
};

// Every test starts and ends without makers, as a headless program runs.
class ScriptNodes : public ::testing::Test {
protected:
  void SetUp() override {
    installScriptFilterMakers({});
    installDatabaseFilterMaker({});
  }
  void TearDown() override { SetUp(); }
};

// ---------------------------------------------------------------------------
// Script node

TEST_F(ScriptNodes, NewScriptNodeStartsFromTheExampleInTheLanguageLastChosen) {
  auto node = TScriptObject::CreateDefault();
  EXPECT_EQ(node->language, "JScript");
  EXPECT_EQ(node->script, TScriptObject::defaultScript());

  const std::string example = TScriptObject::defaultScript();
  for (std::size_t i = 0; i < example.size(); ++i) {
    if (example[i] == '\n') {
      EXPECT_TRUE(i > 0 && example[i - 1] == '\r') << i;
    }
    if (example[i] == '\r') {
      EXPECT_TRUE(i + 1 < example.size() && example[i + 1] == '\n') << i;
    }
  }
  for (const char *routine : {"function processLine(line, EOL)", "function startJob()",
                              "function endJob()", "function startFile()", "function endFile()"})
    EXPECT_NE(example.find(routine), std::string::npos) << routine;

  node->language = "VBScript";
  node->script = "my script";
  node->rememberDefaults();
  EXPECT_EQ(readStringSetting("scriptLanguage", ""), "VBScript");
  EXPECT_EQ(readStringSetting("scriptCode", ""), "my script");
  auto next = TScriptObject::CreateDefault();
  EXPECT_EQ(next->language, "VBScript") << "the language last chosen is remembered";
  EXPECT_EQ(next->script, example) << "the remembered script is not read back";
}

TEST_F(ScriptNodes, ScriptTraitsTitleReportAndCommandLine) {
  TScriptObject node;
  node.language = "JScript";
  node.script = "function a() {}\r\nx\ty\n\rlast\r\n";
  EXPECT_TRUE(node.canParent());
  EXPECT_EQ(node.needGatherer(), ChildChain::Gathered);
  EXPECT_EQ(node.iconIndex(), 1);
  EXPECT_EQ(node.getTitle(), "JScript [function a() {}\r\nx\ty\n\rlast\r\n]");
  EXPECT_EQ(node.printText(">>"), "JScript script\r\n"
                                  ">>  function a() {}\r\n"
                                  ">>  x\ty\r\n"
                                  ">>  \r\n"
                                  ">>  last\r\n");
  EXPECT_EQ(node.generateCmdLine(), "/{=JScript [function a() {}\\r\\nx\\ty\\n\\rlast\\r\\n]");

  node.script.clear();
  node.language.clear();
  EXPECT_EQ(node.getTitle(), " []");
  EXPECT_EQ(node.printText("  "), " script\r\n");

  // The tree shows the whole script cut at 100 bytes.
  node.language = "VBScript";
  node.script = std::string(200, 's');
  EXPECT_EQ(shortTitle(node), "VBScript [" + std::string(90, 's') + " ...");
}

TEST_F(ScriptNodes, ScriptRecordsOfEveryFileType) {
  TScriptObject node;
  node.script = std::string(300, 'x'); // longer than a short string holds
  node.language = "JScript";
  const std::string data = bytes({0x0C, 44, 1, 0, 0}) + std::string(300, 'x') + str("JScript");
  const std::string record =
      nodeRecord("TScriptObject", "ScriptObject", true, boolean(true) + data);
  EXPECT_EQ(recordOf(node), record);

  auto loaded = readNodeRecord<TScriptObject>(record, 47);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->script, node.script);
  EXPECT_EQ(loaded->language, "JScript");
  EXPECT_EQ(recordOf(*loaded), record);

  // Before type 18 there is no enabled flag in the record.
  auto old =
      readNodeRecord<TScriptObject>(nodeRecord("TScriptObject", "ScriptObject", false, data), 17);
  ASSERT_NE(old, nullptr);
  EXPECT_TRUE(old->getEnabled());
  EXPECT_EQ(old->language, "JScript");

  node.setEnabled(false);
  auto disabled = readNodeRecord<TScriptObject>(recordOf(node), 47);
  ASSERT_NE(disabled, nullptr);
  EXPECT_FALSE(disabled->getEnabled());
}

TEST_F(ScriptNodes, TheCheckRefusesEachWrongShapeWithItsMessage) {
  FakeScriptEngine engine;
  engine.install();
  using Routine = TScriptCheck::Routine;
  struct Case {
    const char *routine;
    Routine shape;
    const char *message;
  };
  const Case cases[] = {
      {"processLine",
       {"processLine", 2, false},
       "Function processLine must have a (string) return value"},
      {"processLine",
       {"processLine", 1, std::nullopt},
       "Function processLine requires 2 string parameters"},
      {"processLine",
       {"processLine", 3, true},
       "Function processLine requires 2 string parameters"},
      // The return value is tested before the parameters.
      {"processLine",
       {"processLine", 0, false},
       "Function processLine must have a (string) return value"},
      {"startJob", {"startJob", 0, true}, "Subroutine startJob should not have a return value"},
      {"startJob", {"startJob", 1, std::nullopt}, "Subroutine startJob should have no parameters"},
      {"endJob", {"EndJob", 2, false}, "Subroutine EndJob should have no parameters"},
      {"startFile",
       {"startFile", 0, false},
       "Function startFile must have a (string) return value"},
      {"startFile", {"startFile", 1, true}, "Function startFile has no parameters"},
      {"endFile", {"endFile", 0, false}, "Function endFile must have a (string) return value"},
      {"endFile", {"endFile", 2, std::nullopt}, "Function endFile has no parameters"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.message);
    engine.wellFormed();
    engine.routines[c.routine] = c.shape;
    try {
      TScriptObject::validate("JScript", "code");
      ADD_FAILURE() << "passed";
    } catch (const Exception &e) {
      EXPECT_EQ(e.message(), c.message);
    }
  }

  // Known shapes that fit pass as well as unknown return values do.
  engine.wellFormed();
  engine.routines["processLine"].returnsValue = true;
  engine.routines["startJob"].returnsValue = false;
  engine.routines["startFile"].returnsValue = true;
  EXPECT_TRUE(TScriptObject::validate("JScript", "code"));
}

TEST_F(ScriptNodes, TheCheckLooksUpTheRoutinesInOrderAndNamesAMissingOne) {
  FakeScriptEngine engine;
  engine.install();
  engine.wellFormed();
  EXPECT_TRUE(TScriptObject::validate("JScript", "code"));
  EXPECT_EQ(engine.calls,
            (std::vector<std::string>{"load JScript code", "find processLine", "find startJob",
                                      "find endJob", "find startFile", "find endFile"}));

  for (const char *missing : {"processLine", "startJob", "endJob", "startFile", "endFile"}) {
    engine.wellFormed();
    engine.routines.erase(missing);
    try {
      TScriptObject::validate("JScript", "code");
      ADD_FAILURE() << missing;
    } catch (const Exception &e) {
      EXPECT_EQ(e.message(), std::string("Missing function - ") + missing +
                                 "\r\nNote - script language may be case sensitive");
    }
  }
}

TEST_F(ScriptNodes, AScriptErrorWhileLoadingGivesItsNumberPlaceAndText) {
  FakeScriptEngine engine;
  engine.install();
  engine.wellFormed();
  try {
    TScriptObject::validate("JScript", "a SYNTAX error");
    FAIL();
  } catch (const Exception &e) {
    EXPECT_EQ(e.message(),
              "[1002] Compilation error:\r\nSyntax error at line:3, char:7\r\nnear:SYNTAX here");
  }
  EXPECT_EQ(engine.calls.size(), 1u) << "no routine is looked up after the error";
  // A language the engine cannot run raises the engine's own error.
  EXPECT_THROW(TScriptObject::validate("Klingon", "code"), Exception);
}

TEST_F(ScriptNodes, BuildingAScriptNodeChecksThenMakesItsFilter) {
  TScriptObject node;
  node.language = "JScript";
  node.script = "the script";
  EXPECT_EQ(buildError(node),
            "The script filter 'JScript [the script]' cannot be built: this program has no "
            "script engine");
  EXPECT_THROW(TScriptObject::validate("JScript", "x"), Exception);
  node.setEnabled(false);
  EXPECT_EQ(buildError(node), "(built)") << "a disabled node needs no engine";
  node.setEnabled(true);

  FakeScriptEngine engine;
  engine.install();
  engine.wellFormed();
  TFilterList list;
  auto filter = node.add_filter(list);
  auto *made = dynamic_cast<MadeFilter *>(filter.get());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->made, "JScript the script");
  EXPECT_EQ(engine.calls.front(), "load JScript the script");
  EXPECT_EQ(engine.calls.back(), "make JScript the script");

  engine.calls.clear();
  engine.routines.erase("endFile");
  EXPECT_EQ(buildError(node),
            "Missing function - endFile\r\nNote - script language may be case sensitive");
  EXPECT_NE(engine.calls.back().rfind("make", 0), 0u) << "no filter is made for a bad script";
}

TEST_F(ScriptNodes, AScriptNodeInAListGetsItsChildrenAsSubfilters) {
  FakeScriptEngine engine;
  engine.install();
  engine.wellFormed();
  TFilterList list;
  list.resetToDefault();
  auto script = std::make_unique<TScriptObject>();
  script->language = "JScript";
  script->script = "s";
  list.insertNode(2, std::move(script), 1, true);
  auto child = std::make_unique<TScriptObject>();
  child->language = "JScript";
  child->script = "child";
  list.insertNode(3, std::move(child), 2, true);
  int errorIndex = -1;
  auto chain = list.createFilters(false, true, errorIndex);
  ASSERT_NE(chain, nullptr);
  auto *made = dynamic_cast<MadeFilter *>(chain.get());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->made, "JScript s");
  ASSERT_NE(made->firstSubfilter(), nullptr);
  EXPECT_EQ(dynamic_cast<MadeFilter &>(*made->firstSubfilter()).made, "JScript child");
}

// ---------------------------------------------------------------------------
// Database node

TEST_F(ScriptNodes, NewDatabaseNodeFromTheStoreAndBack) {
  auto node = TDatabaseObject::CreateDefault();
  EXPECT_EQ(node->connection, "");
  EXPECT_EQ(node->userName, "");
  EXPECT_EQ(node->password, "");
  EXPECT_EQ(node->outputFormat, 0);
  EXPECT_EQ(node->fieldDelimiter, ",");
  EXPECT_EQ(node->textQualifier, "\"");
  EXPECT_TRUE(node->generateHeader);
  EXPECT_EQ(node->insertTable, "InsertTableName");

  node->connection = "DSN=sales";
  node->userName = "me";
  node->password = "secret";
  node->outputFormat = 3;
  node->fieldDelimiter = "\\t";
  node->textQualifier = "'";
  node->generateHeader = false;
  node->insertTable = "orders";
  node->rememberDefaults();
  EXPECT_EQ(readStringSetting("db.password", ""), "secret") << "kept as plain text";
  auto next = TDatabaseObject::CreateDefault();
  EXPECT_EQ(recordOf(*next), recordOf(*node));

  const char *names[] = {"db.error",         "db.connection",     "db.username",
                         "db.password",      "db.outputFormat",   "db.fieldDelimiter",
                         "db.textQualifier", "db.generateHeader", "db.insertTable",
                         "db.error"};
  for (int field = 0; field <= 9; ++field)
    EXPECT_EQ(TDatabaseObject::regentry(field), names[field]) << field;
  EXPECT_EQ(TDatabaseObject::regentry(-1), "db.error");
}

// The defined value of a database node as a file of `type` stores it.
std::string databaseData(int type) {
  std::string data = type >= 18 ? boolean(true) : std::string();
  data += str("DSN=x") + str("u") + str("p") + int8(2) + str(";") + str("'");
  if (type >= 34)
    data += boolean(false);
  if (type >= 46)
    data += str("tab");
  return data;
}

TEST_F(ScriptNodes, DatabaseRecordsOfOldFileTypesReadWithTheirDefaults) {
  struct Case {
    int type;
    bool header;
    const char *table;
  };
  for (const Case &c : {Case{17, true, ""}, Case{33, true, ""}, Case{34, false, ""},
                        Case{45, false, ""}, Case{46, false, "tab"}, Case{47, false, "tab"}}) {
    SCOPED_TRACE(c.type);
    auto node = readNodeRecord<TDatabaseObject>(
        nodeRecord("TDatabaseObject", "DatabaseObject", true, databaseData(c.type)), c.type);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->getEnabled());
    EXPECT_EQ(node->connection, "DSN=x");
    EXPECT_EQ(node->userName, "u");
    EXPECT_EQ(node->password, "p");
    EXPECT_EQ(node->outputFormat, 2);
    EXPECT_EQ(node->fieldDelimiter, ";");
    EXPECT_EQ(node->textQualifier, "'");
    EXPECT_EQ(node->generateHeader, c.header);
    EXPECT_EQ(node->insertTable, c.table);
  }
  // Written back always in the current layout.
  auto node = readNodeRecord<TDatabaseObject>(
      nodeRecord("TDatabaseObject", "DatabaseObject", true, databaseData(33)), 33);
  EXPECT_EQ(recordOf(*node),
            nodeRecord("TDatabaseObject", "DatabaseObject", true,
                       boolean(true) + str("DSN=x") + str("u") + str("p") + int8(2) + str(";") +
                           str("'") + boolean(true) + str("")));
  node->outputFormat = 300;
  EXPECT_NE(recordOf(*node).find(int16(300)), std::string::npos);
}

TEST_F(ScriptNodes, DatabaseTitleReportAndCommandLine) {
  TDatabaseObject node;
  node.connection = "Driver=SQLite3;Database=/d/shop.db";
  node.fieldDelimiter = "\\t";
  node.textQualifier = "'";
  node.insertTable = "T";
  EXPECT_FALSE(node.canParent());
  EXPECT_EQ(node.needGatherer(), ChildChain::Inline);
  EXPECT_EQ(node.iconIndex(), 1);
  EXPECT_EQ(node.getTitle(), "Database Driver=SQLite3;Database=/d/shop.db");
  EXPECT_EQ(node.generateCmdLine(), "/{=Database Driver=SQLite3;Database=/d/shop.db");

  const std::string head = "Database Driver=SQLite3;Database=/d/shop.db\r\n";
  struct Case {
    int format;
    bool header;
    std::string report;
  };
  const Case cases[] = {
      {0, true,
       head + "--  [X] Generate header\r\n--  Delimited\r\n--    Field delimiter [\\t]\r\n"
              "--    Text qualifier [']\r\n"},
      {1, false, head + "--  [ ] Generate header\r\n--  Fixed width\r\n"},
      {2, true, head + "--  [X] Generate header\r\n--  XML\r\n"},
      {3, true, head + "--  [X] Generate header\r\n--  Insert script [T]\r\n"},
      {7, true, head + "--  [X] Generate header\r\n--"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.format);
    node.outputFormat = c.format;
    node.generateHeader = c.header;
    EXPECT_EQ(node.printText("--"), c.report);
  }
}

TEST_F(ScriptNodes, BuildingADatabaseNodeHandsEveryFieldToTheMakerInOrder) {
  TDatabaseObject node;
  node.connection = "DSN=x";
  node.userName = "u";
  node.password = "p";
  node.outputFormat = 3;
  node.fieldDelimiter = "\\t";
  node.textQualifier = "'";
  node.generateHeader = false;
  node.insertTable = "T";
  EXPECT_EQ(buildError(node),
            "The database filter 'Database DSN=x' cannot be built: this program has no database "
            "access");

  DatabaseFilterSettings seen;
  installDatabaseFilterMaker([&seen](const DatabaseFilterSettings &settings) {
    seen = settings;
    if (settings.connection == "bad")
      throw Exception("cannot connect");
    return std::make_unique<MadeFilter>("db");
  });
  EXPECT_EQ(buildError(node), "(built)");
  EXPECT_EQ(seen.connection, "DSN=x");
  EXPECT_EQ(seen.userName, "u");
  EXPECT_EQ(seen.password, "p");
  EXPECT_EQ(seen.outputFormat, 3);
  EXPECT_EQ(seen.fieldDelimiter, "\\t") << "the filter decodes the escapes";
  EXPECT_EQ(seen.textQualifier, "'");
  EXPECT_FALSE(seen.generateHeader);
  EXPECT_EQ(seen.insertTable, "T");

  node.connection = "bad";
  EXPECT_EQ(buildError(node), "cannot connect");

  // A damaged file's format number is refused before any connection is tried.
  node.connection = "DSN=x";
  for (int format : {-1, 4, 300}) {
    node.outputFormat = format;
    seen = {};
    EXPECT_EQ(buildError(node), "The database filter 'Database DSN=x' has an unknown output "
                                "format " +
                                    std::to_string(format));
    EXPECT_EQ(seen.connection, "");
  }
  node.setEnabled(false);
  EXPECT_EQ(buildError(node), "(built)");
}

// ---------------------------------------------------------------------------
// Both in a filter file

TEST_F(ScriptNodes, SaveLoadSaveIsByteIdentical) {
  TempFolder dir;
  TFilterList list;
  list.resetToDefault();
  auto script = TScriptObject::CreateDefault();
  script->language = "JScript";
  list.insertNode(2, std::move(script), 1, false);
  auto database = TDatabaseObject::CreateDefault();
  database->connection = std::string(400, 'c');
  database->password = std::string("p\0w", 3);
  database->outputFormat = 9;
  database->setEnabled(false);
  list.insertNode(3, std::move(database), 2, true);

  TFilterList loaded;
  const std::string first = saveAndLoad(list, dir, loaded);
  ASSERT_EQ(loaded.count(), list.count());
  auto *script2 = dynamic_cast<TScriptObject *>(&loaded.node(2));
  ASSERT_NE(script2, nullptr);
  EXPECT_EQ(script2->script, TScriptObject::defaultScript());
  EXPECT_EQ(script2->language, "JScript");
  EXPECT_FALSE(loaded.nodes[2].expanded);
  auto *database2 = dynamic_cast<TDatabaseObject *>(&loaded.node(3));
  ASSERT_NE(database2, nullptr);
  EXPECT_EQ(database2->connection, std::string(400, 'c'));
  EXPECT_EQ(database2->password, std::string("p\0w", 3));
  EXPECT_EQ(database2->outputFormat, 9);
  EXPECT_FALSE(database2->getEnabled());
  EXPECT_EQ(loaded.nodes[3].level, 2);

  expectSavedAgainTheSame(loaded, dir, first);
}

// The seed fuzz/corpus/filterlist/scriptnodes.fll is what this list saves, so
// the fuzzer starts from records of these nodes. After a change of a stored
// layout, write it again with
//   MARROWEN_WRITE_FUZZ_SEEDS=1 build/test/tests/filterlist_tests --gtest_filter='FuzzSeeds.*'
TEST(FuzzSeeds, ScriptNodesSeedIsWhatTheNodesWrite) {
  TFilterList list;
  list.resetToDefault();
  // Disabled: the fuzzer has no script engine and no database.
  auto script = std::make_unique<TScriptObject>();
  script->language = "JScript";
  script->script = "function processLine(line, EOL) { return line + EOL; }";
  script->setEnabled(false);
  list.insertNode(2, std::move(script), 1, true);
  auto database = std::make_unique<TDatabaseObject>();
  database->connection = "DSN=x";
  database->outputFormat = 2;
  database->setEnabled(false);
  list.insertNode(3, std::move(database), 2, false);

  const std::string bytes = filterFileBytes(list);
  const std::string seed = fuzzSeedPath("scriptnodes.fll");
  ASSERT_EQ(storedFuzzSeed(seed, bytes), bytes);

  TFilterList loaded;
  loaded.loadFromBytes(bytes, seed);
  EXPECT_EQ(filterFileBytes(loaded), bytes);
}

} // namespace

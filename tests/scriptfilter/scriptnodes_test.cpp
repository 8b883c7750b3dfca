// Script nodes checked and built through the makers this target installs,
// on the Qt JavaScript engine.

#include "classlib/exceptions.h"
#include "classlib/registry.h"
#include "engine/userinterface.h"
#include "filterlist/filterlist.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/settings.h"
#include "scriptfilter/scriptfilter.h"
#include "scriptfilter/scriptmakers.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::runFilesInChunks;

const std::string numberLines =
    "var count = 0;\n"
    "function startJob() { count = 0; }\n"
    "function endJob() {}\n"
    "function startFile() { return '<' + Marrowen.inputFilename + '>'; }\n"
    "function endFile() { return '</>'; }\n"
    "function processLine(line, EOL) { count++; return count + ' ' + "
    "line + EOL; }\n";

class ScriptNodeBuild : public ::testing::Test {
protected:
  void SetUp() override { registerScriptFilterMakers(); }
  void TearDown() override { installScriptFilterMakers({}); }

  static TScriptObject jscript(const std::string &script) {
    TScriptObject node;
    node.language = "JScript";
    node.script = script;
    return node;
  }

  static std::string checkError(const std::string &script,
                                const std::string &language = "JScript") {
    try {
      TScriptObject::validate(language, script);
    } catch (const Exception &e) {
      return e.message();
    }
    return "(passed)";
  }
};

TEST_F(ScriptNodeBuild, AJScriptNodeBuildsItsFilterAndRunsAcrossTheFilesOfAJob) {
  TScriptObject node = jscript(numberLines);
  testing::FilterFactory make = [&node] {
    TFilterList list;
    auto filter = node.add_filter(list);
    EXPECT_NE(dynamic_cast<TScriptFilter *>(filter.get()), nullptr);
    return filter;
  };
  for (std::size_t split : testing::chunkSplits) {
    SCOPED_TRACE(split);
    auto files = runFilesInChunks(make, {"a\r\nb", "c\n"}, split);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], "<input.txt>1 a\r\n2 b</>");
    EXPECT_EQ(files[1], "<input.txt>3 c\n</>");
  }
}

TEST_F(ScriptNodeBuild, ANewNodesExampleScriptRunsAsItIs) {
  TScriptObject node;
  node.language = "JScript";
  node.script = TScriptObject::defaultScript();
  EXPECT_TRUE(TScriptObject::validate(node.language, node.script));
  testing::FilterFactory make = [&node] {
    TFilterList list;
    return node.add_filter(list);
  };
  auto files = runFilesInChunks(make, {"a\r\nb\n", "c\n"}, 0);
  EXPECT_EQ(files, (std::vector<std::string>{"a 1\r\nb 2\n", "c 3\n"}));
}

TEST_F(ScriptNodeBuild, ChildNodesRunAsTheScriptsSubfilters) {
  TFilterList list;
  list.resetToDefault();
  list.insertNode(2,
                  std::make_unique<TScriptObject>(jscript(
                      "function startJob() {}\nfunction endJob() {}\n"
                      "function startFile() { return ''; }\nfunction endFile() { return ''; }\n"
                      "function processLine(line, EOL) {\n"
                      "  return line + ' -> ' + subFilterEntireText(line) + EOL;\n"
                      "}\n")),
                  1, true);
  auto child = std::make_unique<TSearchObject>();
  child->searchString = "a";
  child->replaceString = "A";
  list.insertNode(3, std::move(child), 2, true);
  testing::FilterFactory make = [&list] {
    int errorIndex = -1;
    return list.createFilters(false, true, errorIndex);
  };
  EXPECT_EQ(expectChunkInvariant(make, "banana\nxyz\n"), "banana -> bAnAnA\nxyz -> xyz\n");
}

TEST_F(ScriptNodeBuild, TheCheckRefusesScriptsOfTheWrongShape) {
  const std::string quiet = "function startJob() {}\nfunction endJob() {}\n"
                            "function startFile() { return ''; }\n"
                            "function endFile() { return ''; }\n";
  const std::string processLine = "function processLine(line, EOL) { return line + EOL; }\n";
  struct Case {
    std::string script;
    std::string message;
  };
  const Case cases[] = {
      {quiet + "function processLine(line) { return line; }\n",
       "Function processLine requires 2 string parameters"},
      {quiet + "function processLine(line, EOL, more) { return line; }\n",
       "Function processLine requires 2 string parameters"},
      {quiet, "Missing function - processLine\r\nNote - script language may be case sensitive"},
      // JScript tells letter case apart.
      {quiet + "function ProcessLine(line, EOL) { return line; }\n",
       "Missing function - processLine\r\nNote - script language may be case sensitive"},
      {"function startJob(x) {}\nfunction endJob() {}\nfunction startFile() {}\n"
       "function endFile() {}\n" +
           processLine,
       "Subroutine startJob should have no parameters"},
      {"function startJob() {}\nfunction endJob() {}\nfunction startFile(x) {}\n"
       "function endFile() {}\n" +
           processLine,
       "Function startFile has no parameters"},
      {"function startJob() {}\nfunction startFile() {}\nfunction endFile() {}\n" + processLine,
       "Missing function - endJob\r\nNote - script language may be case sensitive"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(checkError(c.script), c.message);
  }

  // Routines held in variables and arrow functions count as well.
  EXPECT_EQ(checkError("var startJob = function () {};\nvar endJob = () => 1;\n"
                       "function startFile() { return ''; }\nfunction endFile() {}\n"
                       "var processLine = (line, EOL) => line + EOL;\n"),
            "(passed)");
}

TEST_F(ScriptNodeBuild, ReturnValuesAreNotCheckedAndAMissingOneSendsNothing) {
  // startJob returns a value and startFile none: both pass, as JScript
  // cannot say, and the filter runs them soundly.
  TScriptObject node = jscript("function startJob() { return 'ignored'; }\nfunction endJob() {}\n"
                               "function startFile() {}\nfunction endFile() { return 'E'; }\n"
                               "function processLine(line, EOL) { return line + EOL; }\n");
  testing::FilterFactory make = [&node] {
    TFilterList list;
    return node.add_filter(list);
  };
  EXPECT_EQ(expectChunkInvariant(make, "a\nb\n"), "a\nb\nE");
}

// The engine's bound is the setting's, and its error names the node.
TEST_F(ScriptNodeBuild, TheMemoryBoundComesFromTheSettings) {
  testing::TempFolder dir;
  SettingsStore store(dir.file("settings.ini"));
  useSettingsStore(&store);
  writeIntegerSetting(scriptMemoryLimitSetting, 16);
  TScriptObject node = jscript("var kept = [];\nfunction startJob() {}\nfunction endJob() {}\n"
                               "function startFile() {}\nfunction endFile() {}\n"
                               "function processLine(line, EOL) {\n"
                               "  kept.push('x'.repeat(1 << 20)); return EOL;\n}\n");
  const std::string error = testing::errorOf([&] {
    testing::runInChunks(
        [&node] {
          TFilterList list;
          return node.add_filter(list);
        },
        std::string(100, '\n'), 0);
  });
  // The check runs the top-level statements on the thread that builds the
  // chain, before any job: the same bound holds there.
  const std::string checked = checkError(
      "var kept = [];\nfor (var i = 0; i < 64; ++i) kept.push('x'.repeat(1 << 20) + i);\n"
      "function startJob() {}\nfunction endJob() {}\n"
      "function startFile() {}\nfunction endFile() {}\n"
      "function processLine(line, EOL) { return EOL; }\n");
  // One statement too quick for the watchdog to look while it runs (a
  // millisecond for 2 MB): what it keeps counts when the top-level statements
  // end.
  writeIntegerSetting(scriptMemoryLimitSetting, 1);
  const std::string quick = checkError("var kept = 'x'.repeat(1 << 20);\n"
                                       "function startJob() {}\nfunction endJob() {}\n"
                                       "function startFile() {}\nfunction endFile() {}\n"
                                       "function processLine(line, EOL) { return EOL; }\n");
  useSettingsStore(nullptr);
  EXPECT_EQ(error, "The script filter '" + shortTitle(node) +
                       "' needed more than 16 MB of memory and was stopped");
  EXPECT_NE(checked.find("needed more than 16 MB of memory and was stopped"), std::string::npos)
      << checked;
  EXPECT_NE(quick.find("needed more than 1 MB of memory and was stopped"), std::string::npos)
      << quick;
}

TEST_F(ScriptNodeBuild, AScriptErrorNamesItsLine) {
  std::string message = checkError("function startJob() {}\n\nfunction endJob( {}\n");
  EXPECT_EQ(message.rfind("[", 0), 0u) << message;
  EXPECT_NE(message.find("JScript compilation error:\r\n"), std::string::npos) << message;
  EXPECT_NE(message.find(" at line:3, char:"), std::string::npos) << message;
  EXPECT_NE(message.find("\r\nnear:function endJob( {}"), std::string::npos) << message;

  // A run-time error of a top-level statement fails the check too.
  message = checkError("undefinedThing.call();\n");
  EXPECT_NE(message.find("JScript runtime error:\r\n"), std::string::npos) << message;
}

TEST_F(ScriptNodeBuild, TopLevelStatementsSeeAnInertObjectWhileTheScriptIsChecked) {
  TScriptObject node = jscript("var v = Marrowen.version + ' ' + version;\n"
                               "Marrowen.logInfo('checked');\n"
                               "Marrowen.terminateMarrowen();\n"
                               "terminate();\n"
                               "var whole = subFilterEntireText('abc');\n"
                               "function startJob() {}\nfunction endJob() {}\n"
                               "function startFile() { return v + ' ' + whole + EOL_SEEN; }\n"
                               "var EOL_SEEN = '';\n"
                               "function endFile() { return ''; }\n"
                               "function processLine(line, EOL) { return ''; }\n");
  EXPECT_TRUE(TScriptObject::validate(node.language, node.script));
  EXPECT_FALSE(applicationTerminating()) << "the check must not end the program";
}

TEST_F(ScriptNodeBuild, OtherLanguagesAreRefusedByName) {
  TScriptObject node;
  node.language = "VBScript";
  node.script = TScriptObject::defaultScript();
  TFilterList list;
  try {
    node.add_filter(list);
    FAIL();
  } catch (const Exception &e) {
    EXPECT_EQ(e.message(),
              "The script language \"VBScript\" cannot run on this system; only JScript scripts "
              "can be run");
  }
}

} // namespace
} // namespace marrowen

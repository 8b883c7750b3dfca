#include "scriptfilter/scriptfilter.h"

#include "classlib/exceptions.h"
#include "engine/inputs.h"
#include "engine/jobhost.h"
#include "engine/outputs.h"
#include "engine/processingthread.h"
#include "engine/userinterface.h"
#include "filters/casefilters.h"
#include "support/chunk_harness.h"
#include "support/error_message.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"
#include "support/recording_status_window.h"

#include "support/recording_user_interface.h"
#include "support/utf8_corpus.h"
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace marrowen {
namespace {

using testing::errorOf;
using testing::expectChunkInvariant;
using testing::FilterFactory;
using testing::RecordingJob;
using testing::runFilesInChunks;
using testing::runInChunks;

// The three routines a script may leave as they are.
const std::string quietRoutines = "function startJob() {}\n"
                                  "function endJob() {}\n"
                                  "function startFile() { return ''; }\n"
                                  "function endFile() { return ''; }\n";

FilterFactory script(const std::string &processLine, const std::string &rest = quietRoutines) {
  std::string code = rest + processLine;
  return [code] { return std::make_unique<TScriptFilter>(code, "JScript"); };
}

// Runs the script over one text with a recording job and returns the output.
std::string runWithJob(const FilterFactory &make, const std::string &input, RecordingJob &job) {
  testing::ChunkRunOptions options;
  options.job = &job;
  return runInChunks(make, input, 0, options);
}

const std::string awkward = "one\r\ntwo\rthree\n\nfour\r\r\nlast";

TEST(ScriptFilter, LineAndItsEndGiveTheInputBackHoweverItIsCut) {
  auto make = script("function processLine(line, EOL) { return line + EOL; }");
  EXPECT_EQ(expectChunkInvariant(make, awkward), awkward);
  // Every byte, NUL included, crosses to the script and back unchanged.
  const std::string bytes = testing::allBytes() + "\n" + std::string(5000, '\0') + "\r";
  EXPECT_EQ(expectChunkInvariant(make, bytes), bytes);
}

TEST(ScriptFilter, LineWithoutItsEndJoinsAllLines) {
  auto make = script("function processLine(line, EOL) { return line; }");
  EXPECT_EQ(expectChunkInvariant(make, awkward), "onetwothreefourlast");
}

TEST(ScriptFilter, AnEmptyResultDeletesTheLine) {
  auto make = script("function processLine(line, EOL) {\n"
                     "  if (line.indexOf('x') >= 0) return '';\n"
                     "  return line + EOL;\n"
                     "}");
  EXPECT_EQ(expectChunkInvariant(make, "ax\nb\ncx\r\nd"), "b\nd");
}

TEST(ScriptFilter, EachLineEndReachesTheScriptAsItWasAndTheLastLineBeforeEndFile) {
  auto make =
      script("function processLine(line, EOL) {\n"
             "  return '[' + line + '|' + EOL.replace(/\\r/g, 'CR').replace(/\\n/g, 'LF') + ']';\n"
             "}",
             "function startJob() {}\nfunction endJob() {}\n"
             "function startFile() { return 'S'; }\nfunction endFile() { return 'E'; }\n");
  EXPECT_EQ(expectChunkInvariant(make, "a\nb\rc\r\nd"), "S[a|LF][b|CR][c|CRLF][d|]E");
  EXPECT_EQ(expectChunkInvariant(make, ""), "SE") << "an empty file still starts and ends";
}

TEST(ScriptFilter, HeaderAndFooterSurroundEveryFileAndScriptVariablesRunOnAcrossFiles) {
  auto make =
      script("function processLine(line, EOL) { count++; return count + ':' + line + EOL; }",
             "var count = 0;\n"
             "function startJob() { count = 100; }\n"
             "function endJob() {}\n"
             "function startFile() { return '<file>\\n'; }\n"
             "function endFile() { return '</file>\\n'; }\n");
  for (std::size_t split : testing::chunkSplits) {
    auto files = runFilesInChunks(make, {"a\nb\n", "c\n"}, split);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], "<file>\n101:a\n102:b\n</file>\n");
    EXPECT_EQ(files[1], "<file>\n103:c\n</file>\n");
  }
}

TEST(ScriptFilter, StartJobAndEndJobRunOnceAndTopLevelCodeRunsOnceWithTheObjectInPlace) {
  RecordingJob job;
  auto make = script("function processLine(line, EOL) { return line + EOL; }",
                     "Marrowen.logInfo('loaded');\n"
                     "function startJob() { logInfo('start'); }\n"
                     "function endJob() { Marrowen.logInfo('end'); }\n"
                     "function startFile() { return ''; }\n"
                     "function endFile() { return ''; }\n");
  testing::ChunkRunOptions options;
  options.job = &job;
  runFilesInChunks(make, {"a\n", "b\n"}, 0, options);
  EXPECT_EQ(job.logLines, (std::vector<std::string>{"loaded", "start", "end"}));
}

TEST(ScriptFilter, TheScriptObjectGivesVersionFileNamesAndGlobalVariables) {
  auto make = script("function processLine(line, EOL) {\n"
                     "  Marrowen.setGlobalVar('seen', line);\n"
                     "  return [Marrowen.version, version, Marrowen.inputFilename,\n"
                     "          Marrowen.fullInputFilename, Marrowen.getGlobalVar('seen'),\n"
                     "          getGlobalVar('seen')].join('|') + EOL;\n"
                     "}");
  std::string out = expectChunkInvariant(make, "x\n");
  EXPECT_EQ(out, "5.6.3|5.6.3|input.txt|/tmp/input.txt|x|x\n");
}

TEST(ScriptFilter, LogErrorAndLogInfoReachTheJob) {
  RecordingJob job;
  auto make = script("function processLine(line, EOL) {\n"
                     "  if (line == 'bad') Marrowen.logError('bad line');\n"
                     "  else logInfo('good ' + line);\n"
                     "  return line + EOL;\n"
                     "}");
  EXPECT_EQ(runWithJob(make, "ok\nbad\n", job), "ok\nbad\n");
  EXPECT_EQ(job.errors, std::vector<std::string>{"bad line"});
  EXPECT_EQ(job.logLines, std::vector<std::string>{"good ok"});
}

TEST(ScriptFilter, EachLineCrossesInTheEncodingItCameInAndNothingIsLostUnsaid) {
  // A line that is not UTF-8 goes both ways through Windows-1252 (e acute is
  // 0xE9, the euro sign 0x80); a UTF-8 line both ways as UTF-8; a character
  // the line's encoding cannot hold is "?" and logged once for its line.
  auto make = script("function processLine(line, EOL) {\n"
                     "  return line.length + ':' + line.toUpperCase() + '\\u20ac' +\n"
                     "         (line.indexOf('!') >= 0 ? '\\u0416\\ud800' : '') + EOL;\n"
                     "}");
  EXPECT_EQ(expectChunkInvariant(make, "caf\xe9\nstra\xc3\x9f"
                                       "e\n"),
            "4:CAF\xc9\x80\n6:STRASSE\xe2\x82\xac\n");
  RecordingJob job;
  EXPECT_EQ(runWithJob(make,
                       "ok\ncaf\xe9!\nstra\xc3\x9f"
                       "e!\n",
                       job),
            "2:OK\xe2\x82\xac\n5:CAF\xc9!\x80??\n7:STRASSE!\xe2\x82\xac\xd0\x96?\n");
  const auto same = script("function processLine(line, EOL) { return line + EOL; }");
  for (const std::string &text : {testing::utf8Corpus(), testing::windows1252HighBytes()})
    EXPECT_EQ(runInChunks(same, text, 7), text);
  ASSERT_EQ(job.logLines.size(), 2u);
  EXPECT_NE(job.logLines[0].find("line 2 of [/tmp/input.txt] holds 2 character(s)"),
            std::string::npos)
      << job.logLines[0];
  EXPECT_NE(job.logLines[1].find("line 3 of [/tmp/input.txt] holds 1 character(s)"),
            std::string::npos)
      << job.logLines[1];
}

TEST(ScriptFilter, DecodesHtmlEntitiesOfUtf8PagesAsPythonDoes) {
  const std::string page[] = {
      "<p>It&rsquo;s caf&eacute; &amp; cr&egrave;me &mdash; &#x440;&#1091;&#x441; &hellip;</p>",
      "<li>&laquo;Grüße&raquo; &euro;5 &copy; &trade; &#x1F600; &#128077; &lt;tag&gt; "
      "&quot;q&quot;",
      "Ελληνικά &nbsp;&ndash; 日本語 &ldquo;引用&rdquo; &#x10400;&apos;",
  };
  std::string html;
  for (std::size_t i = 0; html.size() < 9000; ++i)
    html += page[i % std::size(page)] + (i % 2 ? "\r\n" : "\n");
  const auto expected = testing::pythonOutput(testing::pythonTextProgram("html.unescape(t)"), html);
  if (!expected)
    GTEST_SKIP() << "python3 cannot be run here: the comparison with html.unescape is skipped";
  auto make =
      script("var named = {amp: '&', lt: '<', gt: '>', quot: '\"', apos: \"'\", nbsp: '\\u00a0',\n"
             "  rsquo: '\\u2019', ldquo: '\\u201c', rdquo: '\\u201d', hellip: '\\u2026',\n"
             "  mdash: '\\u2014', ndash: '\\u2013', eacute: '\\u00e9', egrave: '\\u00e8',\n"
             "  euro: '\\u20ac', copy: '\\u00a9', trade: '\\u2122', laquo: '\\u00ab',\n"
             "  raquo: '\\u00bb'};\n"
             "function processLine(line, EOL) {\n"
             "  return line.replace(/&(#[xX][0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);/g, function (m, e) {\n"
             "    if (e.charAt(0) != '#') return named.hasOwnProperty(e) ? named[e] : m;\n"
             "    var hex = e.charAt(1) == 'x' || e.charAt(1) == 'X';\n"
             "    return String.fromCodePoint(parseInt(e.substr(hex ? 2 : 1), hex ? 16 : 10));\n"
             "  }) + EOL;\n"
             "}");
  RecordingJob job;
  EXPECT_EQ(runWithJob(make, html, job), *expected);
  EXPECT_TRUE(job.logLines.empty());
  EXPECT_EQ(runInChunks(make, html, 7), *expected);
}

TEST(ScriptFilter, TerminateAsksTheJobToStop) {
  RecordingJob job;
  auto make = script("function processLine(line, EOL) {\n"
                     "  if (line == 'stop') terminate();\n"
                     "  return line + EOL;\n"
                     "}");
  runWithJob(make, "a\nstop\nb\n", job);
  EXPECT_TRUE(job.isAborted());

  // On a real job the stop the script asked for ends the job after the
  // block: the routine that asked finishes, as do the block's other lines,
  // "endFile" and "endJob".
  testing::RecordingJobHost host;
  TStringInput input("trial");
  input.setText("a\nstop\nb\n");
  std::string result;
  input.setNext(
      std::make_unique<TScriptFilter>("function startJob() {}\n"
                                      "function endJob() { Marrowen.logInfo('endJob ran'); }\n"
                                      "function startFile() { return ''; }\n"
                                      "function endFile() { return '>'; }\n"
                                      "function processLine(line, EOL) {\n"
                                      "  if (line == 'stop') {\n"
                                      "    terminate();\n"
                                      "    for (var t = Date.now(); Date.now() - t < 100;) {}\n"
                                      "  }\n"
                                      "  return line + EOL;\n"
                                      "}",
                                      "JScript"));
  input.lastFilter()->setNext(std::make_unique<TStringOutput>(result));
  auto stopped = ProcessingThread::Create(host, input, {});
  stopped->waitFor();
  EXPECT_TRUE(stopped->isAborted());
  EXPECT_EQ(result, "a\nstop\nb\n>");
  ASSERT_FALSE(host.windows.empty());
  const auto window = host.windows[0].lock();
  ASSERT_TRUE(window);
  EXPECT_NE(std::find(window->lines.begin(), window->lines.end(), "endJob ran"),
            window->lines.end());
}

TEST(ScriptFilter, TerminateMarrowenAsksTheProgramToQuit) {
  auto make =
      script("function processLine(line, EOL) { Marrowen.terminateMarrowen(); return ''; }");
  {
    testing::InstalledUserInterface ui;
    runInChunks(make, "a\n", 0);
    EXPECT_EQ(ui->argumentsOf("terminateApplication").size(), 1u);
    // The run ends with the program; it says why.
    EXPECT_EQ(ui->argumentsOf("showMessageBox"),
              std::vector<std::string>{"The script filter 'Script' ended the program "
                                       "(terminateMarrowen)"});
  }

  runInChunks(make, "a\n", 0);
  EXPECT_TRUE(applicationTerminating()) << "without a handler the application is marked";
  setApplicationTerminating(false);
}

FilterFactory withUpperSubfilters(const std::string &processLine) {
  return [processLine] {
    auto filter = std::make_unique<TScriptFilter>(quietRoutines + processLine, "JScript");
    testing::giveSubfilters(*filter, std::make_unique<TConvertToUpperCase>());
    return filter;
  };
}

TEST(ScriptFilter, SubfilterChunksAreFlushedDownTheChain) {
  auto make = withUpperSubfilters("function processLine(line, EOL) {\n"
                                  "  initSubFilters();\n"
                                  "  subFilterChunk(line);\n"
                                  "  Marrowen.subFilterChunk('-x-');\n"
                                  "  flushSubFilters();\n"
                                  "  return EOL;\n"
                                  "}");
  EXPECT_EQ(expectChunkInvariant(make, "ab\ncd\n"), "AB-X-\nCD-X-\n");
}

TEST(ScriptFilter, SubFilterEntireTextReturnsToTheScript) {
  auto make = withUpperSubfilters("function processLine(line, EOL) {\n"
                                  "  return line + '=' + subFilterEntireText(line) + EOL;\n"
                                  "}");
  EXPECT_EQ(expectChunkInvariant(make, "ab\n"), "ab=AB\n");
}

TEST(ScriptFilter, TextTheScriptHandsToTheProgramKeepsTheLinesEncoding) {
  // A UTF-8 line reaches the subfilters, the log and the global variables
  // as UTF-8, a Windows-1252 line as its own bytes; nothing the line's
  // encoding cannot hold becomes "?" unsaid.
  auto make = withUpperSubfilters("function processLine(line, EOL) {\n"
                                  "  initSubFilters(); subFilterChunk(line + '|');\n"
                                  "  var odd = line.indexOf('!') >= 0 ? '\\ud800' : '';\n"
                                  "  subFilterChunk(odd); subFilterChunk(odd);\n"
                                  "  flushSubFilters();\n"
                                  "  setGlobalVar('v', line); logInfo(getGlobalVar('v'));\n"
                                  "  return subFilterEntireText(line) + EOL;\n"
                                  "}");
  const std::string input = "stra\xc3\x9f"
                            "e \xd0\xb6\xd1\x83\xd0\xba \xf0\x9f\x98\x80\ncaf\xe9!\n";
  RecordingJob job;
  EXPECT_EQ(runWithJob(make, input, job),
            "STRASSE \xd0\x96\xd0\xa3\xd0\x9a \xf0\x9f\x98\x80|STRASSE \xd0\x96\xd0\xa3\xd0\x9a "
            "\xf0\x9f\x98\x80\nCAF\xc9!|??CAF\xc9!\n");
  // One warning for the line, counting what all its calls lost.
  ASSERT_EQ(job.logLines.size(), 3u);
  EXPECT_EQ(job.logLines[0], "stra\xc3\x9f"
                             "e \xd0\xb6\xd1\x83\xd0\xba \xf0\x9f\x98\x80");
  EXPECT_EQ(job.logLines[1], "caf\xc3\xa9!");
  EXPECT_NE(job.logLines[2].find("line 2 of [/tmp/input.txt] holds 2 character(s)"),
            std::string::npos)
      << job.logLines[2];
}

TEST(ScriptFilter, SubfilterCallsWithoutSubfiltersDoNothing) {
  auto make = script("function processLine(line, EOL) {\n"
                     "  initSubFilters(); subFilterChunk(line); flushSubFilters();\n"
                     "  var text = line + '\\u0416\\ud800';\n"
                     "  return (subFilterEntireText(text) === text) + EOL;\n"
                     "}");
  // The text comes back as it was given, even a letter the line's encoding
  // lacks, and nothing is said lost.
  RecordingJob job;
  EXPECT_EQ(runWithJob(make, "ab\ncaf\xe9\n", job), "true\ntrue\n");
  EXPECT_TRUE(job.logLines.empty());
}

// A subfilter that fails on every chunk.
class Failing : public TFilter {
public:
  bool processChunk(std::string &) override { throw EConvertError("Subfilter failed"); }
};

TEST(ScriptFilter, AFailureOfTheProgramInsideTheScriptComesOutUnchanged) {
  auto make = [] {
    auto filter = std::make_unique<TScriptFilter>(
        quietRoutines + "function processLine(line, EOL) {\n"
                        "  try { subFilterChunk(line); } catch (e) { return 'swallowed'; }\n"
                        "  return line;\n"
                        "}",
        "JScript");
    testing::giveSubfilters(*filter, std::make_unique<Failing>());
    return filter;
  };
  EXPECT_EQ(errorOf<EConvertError>([&] { runInChunks(make, "a\n", 0); }), "Subfilter failed");
}

struct ErrorCase {
  const char *name;
  std::string code;
  std::string message;
};

TEST(ScriptFilter, ScriptErrorsNameTheirLineAndSourceText) {
  const ErrorCase cases[] = {
      {"syntax error", quietRoutines + "function processLine(line, EOL) {\n  return (line;\n}",
       // The description is the engine's own wording.
       "[0] JScript compilation error:\r\nSyntaxError: * at line:6, char:0\r\nnear:  return "
       "(line;"},
      {"run-time error",
       quietRoutines + "function processLine(line, EOL) {\n  return line + missing;\n}",
       "[0] JScript runtime error:\r\nReferenceError: missing is not defined at line:6, "
       "char:0\r\nnear:  return line + missing;"},
      {"thrown error with a number",
       quietRoutines + "function processLine(line, EOL) {\n"
                       "  var e = new Error('custom'); e.number = 42; throw e;\n}",
       "[42] JScript runtime error:\r\nError: custom at line:6, char:0\r\nnear:  var e = new "
       "Error('custom'); e.number = 42; throw e;"},
      {"thrown text", quietRoutines + "function processLine(line, EOL) { throw 'plain'; }",
       "[0] JScript runtime error:\r\nplain at line:0, char:0\r\nnear:"},
      {"endless recursion",
       quietRoutines + "function deep(n) {\n  return deep(n + 1) + 1;\n}\n"
                       "function processLine(line, EOL) { return deep(0); }",
       "[0] JScript runtime error:\r\nRangeError: Maximum call stack size exceeded. (deep calls "
       "itself without end) at line:6, char:0\r\nnear:  return deep(n + 1) + 1;"},
      {"result that cannot become text",
       quietRoutines + "function processLine(line, EOL) {\n"
                       "  return { toString: function () { throw new Error('no text'); } };\n}",
       "[0] JScript runtime error:\r\nError: no text at line:6, char:0\r\nnear:  return { "
       "toString: function () { throw new Error('no text'); } };"},
      {"result whose toString gives no text",
       quietRoutines + "function  processLine (line, EOL) {\n"
                       "  return { toString: function () { return {}; } };\n}",
       "[0] JScript runtime error:\r\nTypeError: Type error (the value processLine returned "
       "cannot be turned into text) at line:5, char:0\r\nnear:function  processLine (line, EOL) {"},
      {"missing routine", quietRoutines,
       "[0] JScript runtime error:\r\nThe script has no routine named processLine at line:0, "
       "char:0\r\nnear:"},
  };
  for (const auto &c : cases) {
    std::string code = c.code;
    auto make = [code] { return std::make_unique<TScriptFilter>(code, "JScript"); };
    std::string message = errorOf([&] { runInChunks(make, "a\n", 0); });
    std::size_t star = c.message.find('*');
    if (star == std::string::npos) {
      EXPECT_EQ(message, c.message) << c.name;
      continue;
    }
    std::string head = c.message.substr(0, star), tail = c.message.substr(star + 1);
    EXPECT_TRUE(message.size() > head.size() + tail.size() && message.starts_with(head) &&
                message.ends_with(tail))
        << c.name << ": " << message;
  }
}

// Whatever script code never returns, the routine itself or what turns its
// result or its thrown value into text, the time-out ends it.
TEST(ScriptFilter, ARoutineThatRunsTooLongTimesOut) {
  for (const std::string &code : std::vector<std::string>{
           quietRoutines + "function processLine(line, EOL) { for (;;) {} }",
           quietRoutines + "function processLine(line, EOL) {\n"
                           "  return { toString: function () { for (;;) {} } };\n}",
           quietRoutines + "function processLine(line, EOL) {\n"
                           "  throw { toString: function () { for (;;) {} } };\n}",
           quietRoutines + "Object.defineProperty(this, 'processLine', {\n"
                           "  get: function () { for (;;) {} } });",
       }) {
    auto make = [code] {
      auto filter = std::make_unique<TScriptFilter>(code, "JScript");
      filter->setTimeout(100);
      return filter;
    };
    EXPECT_EQ(errorOf([&] { runInChunks(make, "a\n", 0); }), "Script timed out") << code;
  }
}

// Whether an engine keeps a little more at every line or grows without end
// in one routine, it stops at its bound, naming the node.
TEST(ScriptFilter, AnEngineThatHoldsMoreThanItsBoundIsStopped) {
  for (const std::string processLine :
       {"var kept = [];\nfunction processLine(line, EOL) {\n"
        "  kept.push(line + 'x'.repeat(1 << 20)); return line + EOL;\n}",
        "function processLine(line, EOL) {\n"
        "  var all = []; for (;;) all.push('y'.repeat(1 << 16) + all.length);\n}"}) {
    auto make = [processLine] {
      auto filter = std::make_unique<TScriptFilter>(quietRoutines + processLine, "JScript",
                                                    "Script: keeps everything");
      filter->setTimeout(60000);
      filter->setMemoryLimit(32 << 20);
      return filter;
    };
    std::string lines;
    for (int i = 0; i < 200; ++i)
      lines += "line\n";
    // A bound that did not hold would end in the time-out's error instead.
    EXPECT_EQ(errorOf([&] { runInChunks(make, lines, 0); }),
              "The script filter 'Script: keeps everything' needed more than 32 MB of memory and "
              "was stopped");
  }
}

// The job's stop reaches a routine that never returns, at once; no routine
// runs after it, and the job ends as a stopped job does, without an error.
TEST(ScriptFilter, AStopInterruptsARunningRoutine) {
  RecordingJob job;
  auto make = [] {
    auto filter = std::make_unique<TScriptFilter>(
        quietRoutines + "function processLine(line, EOL) {\n"
                        "  if (line == 'a') for (;;) {}\n"
                        "  Marrowen.logInfo(line); return line + EOL;\n}",
        "JScript");
    filter->setTimeout(60000);
    return filter;
  };
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    job.terminate();
  });
  // A stop that did not reach the routine would end in the time-out's error.
  std::string out;
  EXPECT_NO_THROW(out = runWithJob(make, "a\nb\n", job));
  stopper.join();
  EXPECT_EQ(out, "");
  EXPECT_TRUE(job.logLines.empty());
  EXPECT_TRUE(job.errors.empty());
}

TEST(ScriptFilter, LanguagesThatCannotRunHereAreNamed) {
  for (std::string language : {"VBScript", "VBA", "PerlScript"}) {
    auto make = [language] {
      return std::make_unique<TScriptFilter>("Function processLine(l, e)\nEnd Function", language);
    };
    EXPECT_EQ(errorOf([&] { runInChunks(make, "a\n", 0); }),
              "The script language \"" + language +
                  "\" cannot run on this system; only JScript scripts can be run");
  }
  auto javaScript = [] {
    return std::make_unique<TScriptFilter>(
        quietRoutines + "function processLine(l, e) { return l.toUpperCase() + e; }", "javascript");
  };
  EXPECT_EQ(runInChunks(javaScript, "a\n", 0), "A\n");
}

// A whole job on a job thread: the engine is made and released there.
TEST(ScriptFilter, RunsAsAJobOnTheJobThread) {
  testing::RecordingJobHost host;
  auto input = std::make_unique<TStringInput>("trial");
  input->setText("a\nb\n");
  auto filter = std::make_unique<TScriptFilter>(
      quietRoutines + "var n = 0;\n"
                      "function processLine(line, EOL) { n++; return n + line + EOL; }",
      "JScript");
  std::string result;
  input->setNext(std::move(filter));
  input->lastFilter()->setNext(std::make_unique<TStringOutput>(result));
  JobOptions options;
  options.filterName = "Script";
  auto job = ProcessingThread::Create(host, *input, options);
  job->waitFor();
  EXPECT_TRUE(host.shownExceptions().empty());
  EXPECT_EQ(result, "1a\n2b\n");
  job.reset();
  input.reset(); // the engine is gone already; freeing the chain here must not touch it
}

TEST(ScriptFilter, AScriptErrorEndsTheJobWithItsMessage) {
  testing::RecordingJobHost host;
  auto input = std::make_unique<TStringInput>("trial");
  input->setText("a\n");
  input->setNext(std::make_unique<TScriptFilter>(
      quietRoutines + "function processLine(line, EOL) { return nothing(); }", "JScript"));
  std::string result;
  input->lastFilter()->setNext(std::make_unique<TStringOutput>(result));
  auto job = ProcessingThread::Create(host, *input, {});
  job->waitFor();
  ASSERT_EQ(host.shownExceptions().size(), 1u);
  EXPECT_NE(host.shownExceptions()[0].find("nothing is not defined at line:5"), std::string::npos)
      << host.shownExceptions()[0];
}

TEST(ScriptFilter, JobsSideBySideHaveEnginesOfTheirOwn) {
  testing::RecordingJobHost host;
  constexpr int jobs = 3;
  std::vector<std::unique_ptr<TStringInput>> inputs;
  std::vector<std::string> results(jobs);
  std::vector<std::unique_ptr<ProcessingThread>> running;
  for (int i = 0; i < jobs; ++i) {
    auto input = std::make_unique<TStringInput>("trial");
    std::string text;
    for (int line = 0; line < 200; ++line)
      text += "x\n";
    input->setText(text);
    input->setNext(std::make_unique<TScriptFilter>(
        quietRoutines + "var n = " + std::to_string(i * 1000) +
            ";\nfunction processLine(line, EOL) { n++; return n + EOL; }",
        "JScript"));
    input->lastFilter()->setNext(std::make_unique<TStringOutput>(results[i]));
    inputs.push_back(std::move(input));
  }
  for (auto &input : inputs)
    running.push_back(ProcessingThread::Create(host, *input, {}));
  for (auto &job : running)
    job->waitFor();
  for (int i = 0; i < jobs; ++i) {
    std::string expected;
    for (int line = 1; line <= 200; ++line)
      expected += std::to_string(i * 1000 + line) + "\n";
    EXPECT_EQ(results[i], expected) << "job " << i;
  }
}

} // namespace
} // namespace marrowen

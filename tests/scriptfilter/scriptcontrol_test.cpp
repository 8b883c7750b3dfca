#include "scriptfilter/scriptcontrol.h"

#include "classlib/exceptions.h"
#include "support/error_message.h"

#include <QObject>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::errorOf;

// Counts how often the code's top-level statements ran, through a global
// that the engine keeps until it is reset.
const std::vector<std::string> countingCode = {
    "var runs = (typeof runs === 'undefined') ? 1 : runs + 1;",
    "function twice(a) { return a + a; }", "function count() { return runs; }"};

TEST(ScriptControl, RunCallsARoutineWithTextArgumentsAndGivesItsResultAsText) {
  TawScriptControl control;
  control.setCode(countingCode);
  EXPECT_EQ(control.Run("twice", {"ab"}), "abab");
  EXPECT_EQ(control.Run("count", {}), "1");
  int parameters = -1;
  EXPECT_TRUE(control.hasRoutine("twice", &parameters));
  EXPECT_EQ(parameters, 1);
  EXPECT_FALSE(control.hasRoutine("Twice")) << "routine names are case-sensitive";
}

TEST(ScriptControl, SettingTheSameLanguageKeepsTheCodeAndAnotherClearsIt) {
  TawScriptControl control;
  control.setCode(countingCode);
  control.setLanguage("JScript");
  EXPECT_EQ(control.Code().size(), 3u);
  EXPECT_EQ(control.Run("twice", {"x"}), "xx");

  control.setLanguage("JavaScript");
  EXPECT_TRUE(control.Code().empty());
  EXPECT_FALSE(control.hasRoutine("twice")) << "the engine dropped the old code too";
}

TEST(ScriptControl, ALanguageThatCannotRunIsRefusedAndNothingChanges) {
  TawScriptControl control;
  control.setCode(countingCode);
  EXPECT_EQ(errorOf([&] { control.setLanguage("VBScript"); }),
            "The script language \"VBScript\" cannot run on this system; only JScript scripts "
            "can be run");
  EXPECT_EQ(control.Language(), "JScript");
  EXPECT_EQ(control.Run("twice", {"x"}), "xx");
}

TEST(ScriptControl, ChangesOfTheNamedObjectsResetOncePerUpdate) {
  TawScriptControl control;
  control.setCode(countingCode);
  QObject first, second;
  first.setObjectName("first");
  second.setObjectName("second");
  control.beginUpdate();
  control.addAutoObject("One", &first);
  control.addAutoObject("Two", &second);
  control.endUpdate();
  EXPECT_EQ(control.Run("count", {}), "1") << "one reset, so the code ran once";

  control.setCode({"function names() { return One.objectName + ',' + Two.objectName; }"});
  EXPECT_EQ(control.Run("names", {}), "first,second");
}

TEST(ScriptControl, NamedObjectsWithoutNameOrObjectAreLeftOut) {
  TawScriptControl control;
  QObject object;
  control.beginUpdate();
  control.addAutoObject("", &object);
  control.addAutoObject("Nothing", nullptr);
  control.endUpdate();
  control.setCode({"function kinds() { return typeof Nothing; }"});
  EXPECT_EQ(control.Run("kinds", {}), "undefined");
}

// Only the runaway calls have a short time-out: a busy machine may take
// longer than that over any call.
constexpr int runawayTimeout = 50;
constexpr int ampleTimeout = 600000;

TEST(ScriptControl, WithoutHandlersErrorsAndTimeOutsGiveAnEmptyResult) {
  TawScriptControl control;
  control.setCode({"function bad() { return missing; }", "function spin() { for (;;) {} }",
                   "function fine() { return 'ok'; }"});
  control.setTimeout(ampleTimeout);
  EXPECT_EQ(control.Run("bad", {}), "");
  control.setTimeout(runawayTimeout);
  EXPECT_EQ(control.Run("spin", {}), "");
  control.setTimeout(ampleTimeout);
  EXPECT_EQ(control.Run("fine", {}), "ok") << "the engine runs again after a time-out";
}

// Whatever ended the calls before it, each runaway call on one control is
// ended by its own time-out, a stop of its job or the memory bound, and the
// next call runs. A watchdog that went deaf leaves a call running for ever.
TEST(ScriptControl, EveryRunawayCallInARowIsEndedWhateverEndedTheOnesBefore) {
  TawScriptControl control;
  control.setCode({"function spin() { for (;;) {} }",
                   "function grow() { var all = []; for (;;) all.push('y'.repeat(1 << 16) + "
                   "all.length); }",
                   "function fine() { return 'ok'; }"});
  std::string seen;
  control.OnTimeout = [&] { seen += 'T'; };
  control.OnMemoryLimit = [&](std::size_t) { seen += 'M'; };
  // The stop is asked for while the call runs: the look before it sees none.
  std::atomic<bool> stopping{false};
  const std::thread::id caller = std::this_thread::get_id();
  control.setStopRequest([&] { return stopping && std::this_thread::get_id() != caller; });
  const std::string endings = "TTSMTSSMMT";
  for (const char ending : endings) {
    control.setTimeout(ending == 'T' ? runawayTimeout : ampleTimeout);
    control.setMemoryLimit(ending == 'M' ? 32 << 20 : 0);
    stopping = ending == 'S';
    EXPECT_EQ(control.Run(ending == 'M' ? "grow" : "spin", {}), "");
    if (ending == 'S')
      seen += 'S';
    stopping = false;
    control.setTimeout(ampleTimeout);
    control.setMemoryLimit(0);
    EXPECT_EQ(control.Run("fine", {}), "ok") << seen;
  }
  EXPECT_EQ(seen, endings);
}

TEST(ScriptControl, EventsReportErrorsTimeOutsAndCalls) {
  TawScriptControl control;
  std::vector<std::string> seen;
  control.OnError = [&](const TawScriptError &error) {
    seen.push_back("error " + std::to_string(error.line) + " " + error.text);
  };
  control.OnTimeout = [&] { seen.push_back("timeout"); };
  control.OnCallFunction = [&](const std::string &name, const std::vector<std::string> &args) {
    seen.push_back("call " + name + "(" + std::to_string(args.size()) + ")");
  };
  control.setCode(
      {"function spin() { for (;;) {} }", "", "function bad(a, b) {", "  return a.b.c;", "}"});
  control.setTimeout(runawayTimeout);
  control.Run("spin", {});
  control.setTimeout(ampleTimeout);
  control.Run("bad", {"1", "2"});
  EXPECT_EQ(seen, (std::vector<std::string>{"call spin(0)", "timeout", "call bad(2)",
                                            "error 4   return a.b.c;"}));
}

TEST(ScriptControl, ASyntaxErrorIsReportedWhenTheCodeIsAdded) {
  TawScriptControl control;
  TawScriptError seen;
  control.OnError = [&](const TawScriptError &error) { seen = error; };
  control.setCode({"var a = 1;", "var b = ;"});
  EXPECT_EQ(seen.source, "JScript compilation error");
  EXPECT_EQ(seen.line, 2);
  EXPECT_EQ(seen.text, "var b = ;");
}

// A thrown value whose toString fails is reported by what it holds, in a
// routine and among the top-level statements alike, not as the failure of
// turning it into text.
TEST(ScriptControl, AThrownValueThatCannotBecomeTextIsToldByWhatItHolds) {
  const std::pair<const char *, const char *> cases[] = {
      {"{ toString: function () { return {}; } }", "[object Object]"},
      {"{ toString: function () { return { toString: function () { return {}; } }; } }",
       "[object Object]"},
      {"(function () { var e = new Error('lost'); e.toString = function () { return {}; }; "
       "return e; })()",
       "Error: lost"},
      {"(function () { var e = new RangeError('kept'); Object.defineProperty(e, 'name', "
       "{ get: function () { throw e; } }); return e; })()",
       "kept"},
      {"new Error('Ärger 😀')", "Error: Ärger 😀"}};
  for (const auto &[thrown, description] : cases) {
    SCOPED_TRACE(thrown);
    for (const bool topLevel : {false, true}) {
      TawScriptControl control;
      std::vector<std::string> seen;
      control.OnError = [&](const TawScriptError &error) { seen.push_back(error.description); };
      const std::string statement = std::string("throw ") + thrown + ";";
      control.setCode({"function fine() { return 'ok'; }",
                       topLevel ? statement : "function bad() { " + statement + " }"});
      if (!topLevel)
        control.Run("bad", {});
      EXPECT_EQ(seen, std::vector<std::string>{description}) << topLevel;
      EXPECT_EQ(control.Run("fine", {}), "ok");
    }
  }
}

// Accessors the script puts on the prototypes of the objects and arrays
// the host makes run never: outside the watchdog nothing would end them.
TEST(ScriptControl, AccessorsOnThePrototypesDoNotHoldUpTheHost) {
  for (const char *trap :
       {"Object.prototype, 'missing', { get: spin }", "Object.prototype, 'result', { get: spin }",
        "Object.prototype, 'length', { get: spin }", "Array.prototype, '0', { set: spin }"}) {
    SCOPED_TRACE(trap);
    TawScriptControl control;
    std::vector<std::string> seen;
    control.OnError = [&](const TawScriptError &error) { seen.push_back(error.description); };
    control.setCode({"function twice(a) { return a + a; }", "function bad() { throw 'bad'; }",
                     "function spin() { for (;;) {} }",
                     std::string("Object.defineProperty(") + trap + ");"});
    EXPECT_EQ(control.Run("twice", {"ab"}), "abab");
    EXPECT_EQ(control.Run("bad", {}), "");
    EXPECT_EQ(control.Run("none", {}), "");
    int parameters = -1;
    EXPECT_TRUE(control.hasRoutine("twice", &parameters));
    EXPECT_EQ(parameters, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"bad", "The script has no routine named none"}));
  }
}

} // namespace
} // namespace marrowen

#include "scriptfilter/scriptcontrol.h"

#include "classlib/exceptions.h"
#include "support/error_message.h"

#include <QObject>

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

TEST(ScriptControl, WithoutHandlersErrorsAndTimeOutsGiveAnEmptyResult) {
  TawScriptControl control;
  control.setTimeout(50);
  control.setCode({"function bad() { return missing; }", "function spin() { for (;;) {} }",
                   "function fine() { return 'ok'; }"});
  EXPECT_EQ(control.Run("bad", {}), "");
  EXPECT_EQ(control.Run("spin", {}), "");
  EXPECT_EQ(control.Run("fine", {}), "ok") << "the engine runs again after a time-out";
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
  control.setTimeout(50);
  control.setCode(
      {"function spin() { for (;;) {} }", "", "function bad(a, b) {", "  return a.b.c;", "}"});
  control.Run("spin", {});
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

} // namespace
} // namespace marrowen

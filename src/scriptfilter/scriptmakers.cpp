#include "scriptfilter/scriptmakers.h"

#include "classlib/format.h"
#include "classlib/program.h"
#include "filterlist/filtermakers.h"
#include "filterlist/settings.h"
#include "scriptfilter/scriptcontrol.h"
#include "scriptfilter/scriptfilter.h"
#include "scriptfilter/scriptobject.h"

namespace marrowen {

namespace {

// The bound of a script engine's memory: the setting's megabytes, 0 for none.
std::size_t scriptMemoryLimit() {
  const std::int32_t limit = readIntegerSetting(scriptMemoryLimitSetting, 1024);
  return limit > 0 ? static_cast<std::size_t>(limit) << 20 : 0;
}

// A script loaded into a host of its own, on the thread that checks it. The
// script sees an inert object under the product's name, so top-level
// statements that use it do not fail the check.
class TawScriptCheck : public TScriptCheck {
public:
  TawScriptCheck(const std::string &script, const std::string &language,
                 const ScriptErrorHandler &onError) {
    control_.setUseSafeSubset(false);
    control_.OnError = onError;
    // Its top-level statements run here, on the thread that builds the
    // chain, under the bound a job's engine has.
    const std::size_t limit = scriptMemoryLimit();
    control_.setMemoryLimit(limit);
    control_.OnMemoryLimit = [onError, limit](std::size_t) {
      ScriptErrorDetails error;
      error.source = "JScript runtime error";
      error.description = Format("The script needed more than %d MB of memory and was stopped",
                                 {static_cast<std::int64_t>(limit >> 20)});
      onError(error);
    };
    control_.setLanguage(language);
    control_.beginUpdate();
    control_.addAutoObject(std::string(program::productName), &standIn_);
    control_.endUpdate();
    control_.setCodeText(script);
  }

  // JScript routines are all functions: whether one returns a value is
  // known only when it runs. The parameters counted are those declared
  // before any with a default value or a rest parameter.
  std::optional<Routine> findRoutine(const std::string &name) override {
    int parameterCount = 0;
    if (!control_.hasRoutine(name, &parameterCount))
      return std::nullopt;
    return Routine{name, parameterCount, std::nullopt};
  }

private:
  // Outlives the host, whose engine refers to it.
  TInertScriptInterface standIn_;
  TawScriptControl control_;
};

} // namespace

void registerScriptFilterMakers() {
  ScriptFilterMakers makers;
  makers.makeFilter = [](const std::string &script, const std::string &language,
                         const std::string &nodeTitle) {
    auto filter = std::make_unique<TScriptFilter>(script, language, nodeTitle);
    filter->setMemoryLimit(scriptMemoryLimit());
    return filter;
  };
  makers.loadForCheck = [](const std::string &script, const std::string &language,
                           const ScriptErrorHandler &onError) -> std::unique_ptr<TScriptCheck> {
    return std::make_unique<TawScriptCheck>(script, language, onError);
  };
  installScriptFilterMakers(std::move(makers));
}

} // namespace marrowen

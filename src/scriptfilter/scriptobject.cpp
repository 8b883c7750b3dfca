#include "scriptfilter/scriptobject.h"

#include "classlib/program.h"
#include "qtext/qtext.h"
#include "scriptfilter/scriptcontrol.h"
#include "scriptfilter/scriptfilter.h"

#include <QJSEngine>

#include <exception>

namespace marrowen {

TMRscriptInterface::TMRscriptInterface(TScriptFilter &filter, TawScriptControl &control)
    : filter_(filter), control_(control) {}

template <class Call> auto TMRscriptInterface::guarded(Call call) const -> decltype(call()) {
  try {
    return call();
  } catch (...) {
    // A C++ exception must not unwind through the script engine's frames.
    control_.setPendingException(std::current_exception());
    if (QJSEngine *engine = qjsEngine(this))
      engine->throwError(QStringLiteral("The call was stopped by an error of the program"));
    return decltype(call())();
  }
}

QString TMRscriptInterface::version() const { return toQString(program::version); }

QString TMRscriptInterface::inputFilename() const {
  return guarded([&] { return fileNameToQString(filter_.getInputFilename()); });
}

QString TMRscriptInterface::fullInputFilename() const {
  return guarded([&] { return fileNameToQString(filter_.getFullInputFilename()); });
}

void TMRscriptInterface::terminateMarrowen() {
  guarded([&] { filter_.terminateFromScript(); });
}

void TMRscriptInterface::logError(const QString &messageText) {
  guarded([&] { filter_.logError(fromQString(messageText)); });
}

void TMRscriptInterface::logInfo(const QString &messageText) {
  guarded([&] { filter_.logInfo(fromQString(messageText)); });
}

void TMRscriptInterface::terminate() {
  guarded([&] { filter_.stopJobFromScript(); });
}

QString TMRscriptInterface::getGlobalVar(const QString &name) {
  return guarded([&] { return filter_.textToScript(filter_.getGlobalVar(fromQString(name))); });
}

void TMRscriptInterface::setGlobalVar(const QString &name, const QString &value) {
  guarded([&] { filter_.setGlobalVar(fromQString(name), filter_.textFromScript(value)); });
}

void TMRscriptInterface::flushSubFilters() {
  guarded([&] { filter_.flushSubFiltersFromScript(); });
}

void TMRscriptInterface::initSubFilters() {
  guarded([&] { filter_.initSubFiltersFromScript(); });
}

QString TMRscriptInterface::subFilterEntireText(const QString &inputText) {
  return guarded([&] {
    // Without subfilters the text comes back as it was given, never through
    // an encoding that might not hold it.
    if (!filter_.firstSubfilter())
      return inputText;
    std::string text = filter_.textFromScript(inputText);
    filter_.subFilterEntireText(text);
    return filter_.textToScript(text);
  });
}

void TMRscriptInterface::subFilterChunk(const QString &inputString) {
  guarded([&] { filter_.subFilterChunkFromScript(filter_.textFromScript(inputString)); });
}

QString TInertScriptInterface::version() const { return toQString(program::version); }

} // namespace marrowen

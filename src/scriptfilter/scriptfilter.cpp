#include "scriptfilter/scriptfilter.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/program.h"
#include "engine/job.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/subchain.h"
#include "engine/userinterface.h"
#include "qtext/qtext.h"
#include "scriptfilter/scriptcontrol.h"
#include "scriptfilter/scriptobject.h"

#include <mutex>

namespace marrowen {

// The engine of one job and the object it sees. The engine goes first: it
// refers to the object.
struct TScriptFilter::Session {
  std::unique_ptr<TawScriptControl> control;
  std::unique_ptr<TMRscriptInterface> object;

  ~Session() {
    control.reset();
    object.reset();
  }
};

TScriptFilter::TScriptFilter(std::string script, std::string language, std::string nodeTitle)
    : script_(std::move(script)), language_(std::move(language)), nodeTitle_(std::move(nodeTitle)) {
}

TScriptFilter::~TScriptFilter() = default;

void TScriptFilter::startJob() {
  auto session = std::make_unique<Session>();
  session->control = std::make_unique<TawScriptControl>();
  TawScriptControl &control = *session->control;
  control.OnError = [](const TawScriptError &error) {
    throw Exception(translateFormat(
        1640, "[%d] %s:\r\n%s at line:%d, char:%d\r\nnear:%s",
        {error.number, error.source, error.description, error.line, error.column, error.text}));
  };
  control.OnTimeout = [] { throw Exception(translate(1650, "Script timed out")); };
  control.OnMemoryLimit = [this](std::size_t) {
    throw Exception(Format("The script filter '%s' needed more than %d MB of memory and was "
                           "stopped",
                           {nodeTitle_, static_cast<std::int64_t>(memoryLimit_ >> 20)}));
  };
  // A stop of the job (or of the program) interrupts a running routine;
  // the script's own stop does not cut short the routine that asked for it.
  stoppedByScript_ = false;
  control.setStopRequest([this, job = job()] {
    if (!job)
      return applicationTerminating();
    return applicationTerminating() || (job->isAborted() && !stoppedByScript_);
  });
  control.setUseSafeSubset(false);
  control.setAllowUI(true);
  control.setTimeout(timeout_);
  control.setMemoryLimit(memoryLimit_);
  control.setLanguage(language_);
  session->object = std::make_unique<TMRscriptInterface>(*this, control);
  // The object is in place before the code is added, so the script's
  // top-level statements see it and run once.
  control.beginUpdate();
  control.addAutoObject(std::string(program::productName), session->object.get());
  control.endUpdate();
  control.setCodeText(script_);
  session_.set(std::move(session));

  TProcessLines::startJob();
  runRoutine("startJob", {});
}

void TScriptFilter::endJob() {
  if (session_.get())
    runRoutine("endJob", {});
  TProcessLines::endJob();
  session_.release();
}

void TScriptFilter::startFile() {
  TProcessLines::startFile();
  sendResult(runRoutine("startFile", {}), LineEncoding::Utf8, "at the start of");
}

void TScriptFilter::processLine(std::string_view lineEnd) {
  // Each line goes back in the encoding it came in.
  const LineEncoding encoding = lineEncodingOf(currentLine_);
  QString end = QString::fromLatin1(lineEnd.data(), static_cast<qsizetype>(lineEnd.size()));
  sendResult(runRoutine("processLine", {lineToQString(currentLine_, encoding), end}), encoding,
             Format("for line %d of", {lineCounter_}));
}

void TScriptFilter::endFile() {
  TProcessLines::endFile();
  sendResult(runRoutine("endFile", {}), LineEncoding::Utf8, "at the end of");
}

QString TScriptFilter::runRoutine(const std::string &name, const QStringList &arguments) {
  Session *session = session_.get();
  if (!session)
    throw Exception(Format("The script's routine %s was called outside a job", {name}));
  return session->control->RunText(name, arguments);
}

void TScriptFilter::sendResult(const QString &result, LineEncoding encoding,
                               std::string_view where) {
  std::int64_t lost = 0;
  std::string text = lineFromQString(result, encoding, lost);
  if (lost > 0)
    logWarning(Format("The script's text %s [%s] holds %d character(s) that %s cannot hold; "
                      "each was written as \"?\"",
                      {std::string(where), loggedName(getFullInputFilename()), lost,
                       std::string(encoding == LineEncoding::Utf8 ? "UTF-8" : "the code page")}));
  sendToNext(text);
}

void TScriptFilter::flushSubFiltersFromScript() {
  TFilter *head = firstSubfilter();
  if (!head)
    return;
  head->flush();
  if (std::string *gathered = subfilterEnd()->gatheredText()) {
    std::string text = *gathered;
    sendToNext(text);
  }
}

void TScriptFilter::initSubFiltersFromScript() { restartSubfilters(); }

void TScriptFilter::subFilterChunkFromScript(std::string chunk) {
  if (TFilter *head = firstSubfilter(); head && !chunk.empty())
    head->processChunk(chunk);
}

void TScriptFilter::stopJobFromScript() {
  if (JobSink *sink = job()) {
    stoppedByScript_ = true;
    sink->terminate();
  }
}

void TScriptFilter::terminateFromScript() {
  // The job ends with the program: its errors say why.
  logError(Format("The script filter '%s' ended the program (terminateMarrowen)", {nodeTitle_}));
  userInterface()->terminateApplication();
  // Without windows the request marks the application as terminating at
  // once, and the job ends with it.
  if (applicationTerminating())
    if (JobSink *sink = job())
      sink->terminate();
}

} // namespace marrowen

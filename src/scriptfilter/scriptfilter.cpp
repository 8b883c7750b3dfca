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
#include <utility>

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

class TScriptFilter::PlaceScope {
public:
  PlaceScope(TScriptFilter &filter, Place place) : filter_(filter) {
    filter_.place_ = std::move(place);
  }
  ~PlaceScope() { filter_.place_ = Place(); }
  PlaceScope(const PlaceScope &) = delete;
  PlaceScope &operator=(const PlaceScope &) = delete;

private:
  TScriptFilter &filter_;
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
  PlaceScope scope(*this, {LineEncoding::Utf8, "at the start of the job"});
  runRoutine("startJob", {});
  reportLost();
}

void TScriptFilter::endJob() {
  if (session_.get()) {
    PlaceScope scope(*this, {LineEncoding::Utf8, "at the end of the job"});
    runRoutine("endJob", {});
    reportLost();
  }
  TProcessLines::endJob();
  session_.release();
}

void TScriptFilter::startFile() {
  TProcessLines::startFile();
  PlaceScope scope(*this, {LineEncoding::Utf8, "at the start of"});
  sendResult(runRoutine("startFile", {}));
}

void TScriptFilter::processLine(std::string_view lineEnd) {
  // Each line goes back in the encoding it came in, and so does whatever
  // the script makes of it on the way (subfilter text, global values).
  const LineEncoding encoding = lineEncodingOf(currentLine_);
  PlaceScope scope(*this, {encoding, Format("for line %d of", {lineCounter_})});
  QString end = QString::fromLatin1(lineEnd.data(), static_cast<qsizetype>(lineEnd.size()));
  sendResult(runRoutine("processLine", {lineToQString(currentLine_, encoding), end}));
}

void TScriptFilter::endFile() {
  TProcessLines::endFile();
  PlaceScope scope(*this, {LineEncoding::Utf8, "at the end of"});
  sendResult(runRoutine("endFile", {}));
}

QString TScriptFilter::runRoutine(const std::string &name, const QStringList &arguments) {
  Session *session = session_.get();
  if (!session)
    throw Exception(Format("The script's routine %s was called outside a job", {name}));
  return session->control->RunText(name, arguments);
}

std::string TScriptFilter::textFromScript(const QString &text) {
  return lineFromQString(text, place_.encoding, place_.lost);
}

void TScriptFilter::reportLost() {
  if (place_.lost == 0)
    return;
  const std::string file = getFullInputFilename();
  const std::int64_t lost = std::exchange(place_.lost, 0);
  logWarning(
      Format("The script's text %s%s holds %d character(s) that %s cannot hold; "
             "each was written as \"?\"",
             {place_.where, file.empty() ? std::string() : " [" + loggedName(file) + "]", lost,
              std::string(place_.encoding == LineEncoding::Utf8 ? "UTF-8" : "the code page")}));
}

void TScriptFilter::sendResult(const QString &result) {
  std::string text = textFromScript(result);
  reportLost();
  sendToNext(text);
}

QString TScriptFilter::textToScript(std::string_view text) const {
  // Read as its line was, a code-page line's bytes come back exactly even
  // where a few of them happen to look like UTF-8.
  return place_.encoding == LineEncoding::CodePage ? lineToQString(text, LineEncoding::CodePage)
                                                   : toQString(text);
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

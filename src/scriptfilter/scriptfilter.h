#pragma once

#include "engine/jobthreadresource.h"
#include "engine/lines.h"
#include "qtext/qtext.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace marrowen {

// A line filter written as a script. A line that is valid UTF-8 reaches the
// script as its characters and the script's text for it goes back in UTF-8;
// any other line goes both ways through the code page. A character the
// line's encoding cannot hold is written as "?" and logged with the file
// and line. The script defines five routines:
// "startJob" and "endJob" (called once per job, results ignored),
// "startFile" and "endFile" (their text goes down the chain before the
// file's first line and after its last), and "processLine" (line, EOL),
// whose text replaces each line: the line end is handed over apart and is
// kept only when the script returns it. An empty result sends nothing.
//
// The script runs in an engine made at the job's start on the thread that
// runs the chain and released at its end (through the job thread's context
// when there is a job), so the script's own variables run on across the
// files of one job and start afresh with the next. It sees one object under
// the product's name ("Marrowen"), whose members are also visible without
// the name. A script error raises message 1640 with its line; a routine that
// runs past the time-out raises message 1650; an engine that holds more than
// its memory bound is stopped with an error naming the node. A stop of the
// job interrupts a running routine at once, and no routine runs after it;
// only a stop the script asks for itself (`terminate`) lets the job end as
// any stopped job does, after the block, "endFile" and "endJob".
class TScriptFilter : public TProcessLines {
public:
  // `nodeTitle` names the filter in its errors.
  TScriptFilter(std::string script, std::string language, std::string nodeTitle = "Script");
  ~TScriptFilter() override;

  void startJob() override;
  void endJob() override;
  void startFile() override;
  void endFile() override;
  void processLine(std::string_view lineEnd) override;

  const std::string &script() const { return script_; }
  const std::string &language() const { return language_; }

  // Milliseconds a routine may run (10000 unless changed before the job).
  void setTimeout(int milliseconds) { timeout_ = milliseconds; }
  // Bytes the engine may hold (0: no bound; none unless set before the job).
  void setMemoryLimit(std::size_t bytes) { memoryLimit_ = bytes; }

  // --- What the script object reaches ---
  void flushSubFiltersFromScript();
  void initSubFiltersFromScript();
  void subFilterChunkFromScript(std::string chunk);
  void stopJobFromScript();
  void terminateFromScript();
  // Text the script hands over as data (subfilter text, global values) in
  // the encoding of the line its routine was given (UTF-8 outside a line);
  // a character lost on the way is counted, and logged once the routine
  // ends, naming its place.
  std::string textFromScript(const QString &text);
  // Data handed to the script, read as the line its routine was given.
  QString textToScript(std::string_view text) const;

private:
  struct Session;

  QString runRoutine(const std::string &name, const QStringList &arguments);
  // The script's text to the next filter as `textFromScript` takes it; what
  // the routine lost is logged then.
  void sendResult(const QString &result);
  // Logs once what the running routine lost, naming its place.
  void reportLost();

  // Where the running routine is: the encoding of the line it was given and
  // the place a warning names.
  struct Place {
    LineEncoding encoding = LineEncoding::Utf8;
    std::string where = "in";
    std::int64_t lost = 0;
  };
  // Sets the place for one routine and restores the default after it.
  class PlaceScope;

  std::string script_;
  std::string language_;
  std::string nodeTitle_;
  int timeout_ = 10000;
  std::size_t memoryLimit_ = 0;
  // Read by the engine's watchdog thread.
  std::atomic<bool> stoppedByScript_{false};
  JobThreadResource<Session> session_;
  Place place_;
};

} // namespace marrowen

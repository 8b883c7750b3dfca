#pragma once

#include <QObject>
#include <QString>

namespace marrowen {

class TScriptFilter;
class TawScriptControl;

// The object a script sees under the product's name: it reaches the filter
// that runs the script, its job, its subfilters and the chain's global
// variables. A failure inside a member is carried out through the script
// engine (the script sees an error) and raised again, unchanged, once the
// script returns.
class TMRscriptInterface : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString version READ version CONSTANT)
  Q_PROPERTY(QString inputFilename READ inputFilename)
  Q_PROPERTY(QString fullInputFilename READ fullInputFilename)

public:
  TMRscriptInterface(TScriptFilter &filter, TawScriptControl &control);

  QString version() const;
  QString inputFilename() const;
  QString fullInputFilename() const;

  Q_INVOKABLE void terminateMarrowen();
  Q_INVOKABLE void logError(const QString &messageText);
  Q_INVOKABLE void logInfo(const QString &messageText);
  Q_INVOKABLE void terminate();
  Q_INVOKABLE QString getGlobalVar(const QString &name);
  Q_INVOKABLE void setGlobalVar(const QString &name, const QString &value);
  Q_INVOKABLE void flushSubFilters();
  Q_INVOKABLE void initSubFilters();
  Q_INVOKABLE QString subFilterEntireText(const QString &inputText);
  Q_INVOKABLE void subFilterChunk(const QString &inputString);

private:
  // Runs `call`; a failure is handed to the host and thrown into the script.
  template <class Call> auto guarded(Call call) const -> decltype(call());

  TScriptFilter &filter_;
  TawScriptControl &control_;
};

// Stands in for the script's object while a script is only being checked,
// so that top-level statements using it run as they would in a job. Its
// members reach nothing: no job, no subfilters, no program to end.
class TInertScriptInterface : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString version READ version CONSTANT)
  Q_PROPERTY(QString inputFilename READ inputFilename)
  Q_PROPERTY(QString fullInputFilename READ fullInputFilename)

public:
  QString version() const;
  QString inputFilename() const { return {}; }
  QString fullInputFilename() const { return {}; }

  Q_INVOKABLE void terminateMarrowen() {}
  Q_INVOKABLE void logError(const QString &) {}
  Q_INVOKABLE void logInfo(const QString &) {}
  Q_INVOKABLE void terminate() {}
  Q_INVOKABLE QString getGlobalVar(const QString &) { return {}; }
  Q_INVOKABLE void setGlobalVar(const QString &, const QString &) {}
  Q_INVOKABLE void flushSubFilters() {}
  Q_INVOKABLE void initSubFilters() {}
  Q_INVOKABLE QString subFilterEntireText(const QString &inputText) { return inputText; }
  Q_INVOKABLE void subFilterChunk(const QString &) {}
};

} // namespace marrowen

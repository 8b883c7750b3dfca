#include "scriptfilter/scriptcontrol.h"

#include "classlib/asciitext.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "qtext/qtext.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QJSValue>
#include <QJSValueList>
#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace marrowen {

namespace {

// Calls a routine and catches what it throws, so that a thrown value of any
// kind (not only an Error object) is told apart from a result.
constexpr const char *callerSource = R"((function (routine, args) {
  try {
    return { ok: true, value: routine.apply(null, args) };
  } catch (e) {
    return { ok: false, error: e };
  }
}))";

// Makes each member of a named object visible without the object's name.
// User code added later may define its own routines of the same names.
constexpr const char *membersSource = R"((function (object, global, methods, properties) {
  methods.forEach(function (name) {
    Object.defineProperty(global, name, {
      value: function () { return object[name].apply(object, arguments); },
      writable: true, configurable: true, enumerable: false });
  });
  properties.forEach(function (name) {
    Object.defineProperty(global, name, {
      get: function () { return object[name]; }, configurable: true, enumerable: false });
  });
}))";

} // namespace

bool isRunnableScriptLanguage(const std::string &language) {
  std::string name = asciiLowerCase(language);
  return name == "jscript" || name == "javascript" || name == "ecmascript";
}

// --- The engine of one reset ---

struct TawScriptControl::Engine {
  QJSEngine js;
  QJSValue caller;
};

// Interrupts a call that runs past the time-out. It sleeps while no call
// runs and wakes at most once per time-out while calls follow each other,
// so a call costs two uncontended locks, not a thread switch.
class TawScriptControl::Watchdog {
public:
  Watchdog() : thread_([this] { watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  void setEngine(QJSEngine *engine) {
    std::lock_guard lock(mutex_);
    engine_ = engine;
  }

  void begin(int timeoutMs) {
    bool wake;
    {
      std::lock_guard lock(mutex_);
      ++serial_;
      busy_ = true;
      timedOut_ = false;
      start_ = std::chrono::steady_clock::now();
      timeout_ = std::chrono::milliseconds(timeoutMs);
      wake = idle_;
    }
    if (wake)
      wake_.notify_one();
  }

  // Ends the call; true when it was interrupted for running too long.
  bool end() {
    std::lock_guard lock(mutex_);
    busy_ = false;
    bool fired = timedOut_;
    timedOut_ = false;
    if (fired && engine_)
      engine_->setInterrupted(false);
    return fired;
  }

private:
  void watch() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (!busy_) {
        idle_ = true;
        wake_.wait(lock, [this] { return stop_ || busy_; });
        idle_ = false;
        continue;
      }
      std::uint64_t serial = serial_;
      auto deadline = start_ + timeout_;
      wake_.wait_until(lock, deadline, [this] { return stop_; });
      if (!stop_ && busy_ && serial_ == serial && !timedOut_ &&
          std::chrono::steady_clock::now() >= deadline) {
        timedOut_ = true;
        if (engine_)
          engine_->setInterrupted(true);
        // Sleep until this call ends.
        wake_.wait(lock, [this, serial] { return stop_ || serial_ != serial || !busy_; });
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  QJSEngine *engine_ = nullptr;
  bool stop_ = false;
  bool busy_ = false;
  bool idle_ = false;
  bool timedOut_ = false;
  std::uint64_t serial_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::milliseconds timeout_{10000};
  std::thread thread_;
};

// --- TawScriptControl ---

TawScriptControl::TawScriptControl() {
  if (!QCoreApplication::instance())
    throw Exception("The script engine cannot start: the program has no application object");
  Reset();
}

TawScriptControl::~TawScriptControl() {
  watchdog_.reset();
  engine_.reset();
}

void TawScriptControl::setLanguage(const std::string &language) {
  if (language == language_)
    return;
  if (!isRunnableScriptLanguage(language))
    throw Exception(Format("The script language \"%s\" cannot run on this system; only JScript "
                           "scripts can be run",
                           {language}));
  language_ = language;
  code_.clear();
  Reset();
}

void TawScriptControl::endUpdate() {
  if (updating_ > 0 && --updating_ == 0 && changedWhileUpdating_) {
    changedWhileUpdating_ = false;
    Reset();
  }
}

void TawScriptControl::addAutoObject(const std::string &name, QObject *object) {
  autoObjects_.push_back({name, object});
  if (updating_ > 0)
    changedWhileUpdating_ = true;
  else
    Reset();
}

void TawScriptControl::clearAutoObjects() {
  autoObjects_.clear();
  if (updating_ > 0)
    changedWhileUpdating_ = true;
  else
    Reset();
}

void TawScriptControl::setCode(std::vector<std::string> lines) {
  code_ = std::move(lines);
  CodeChanged();
}

void TawScriptControl::setCodeText(const std::string &text) { setCode(stringListFromText(text)); }

std::string TawScriptControl::codeText() const {
  std::string text;
  for (std::size_t i = 0; i < code_.size(); ++i) {
    if (i > 0)
      text += "\r\n";
    text += code_[i];
  }
  return text;
}

void TawScriptControl::CodeChanged() { addCode(); }

void TawScriptControl::Reset() {
  if (watchdog_)
    watchdog_->setEngine(nullptr);
  engine_.reset();
  engine_ = std::make_unique<Engine>();
  QJSEngine &js = engine_->js;
  js.installExtensions(QJSEngine::ConsoleExtension);
  engine_->caller = js.evaluate(QString::fromLatin1(callerSource));
  QJSValue exposeMembers = js.evaluate(QString::fromLatin1(membersSource));
  for (const auto &item : autoObjects_) {
    if (item.AutoObjectName.empty() || !item.object)
      continue;
    QJSEngine::setObjectOwnership(item.object, QJSEngine::CppOwnership);
    QJSValue object = js.newQObject(item.object);
    js.globalObject().setProperty(toQString(item.AutoObjectName), object);
    const QMetaObject *meta = item.object->metaObject();
    QJSValue methods = js.newArray();
    QJSValue properties = js.newArray();
    quint32 methodCount = 0, propertyCount = 0;
    for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i) {
      QMetaMethod method = meta->method(i);
      if (method.access() == QMetaMethod::Public && method.methodType() == QMetaMethod::Method)
        methods.setProperty(methodCount++, QString::fromLatin1(method.name()));
    }
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i)
      properties.setProperty(propertyCount++, QString::fromLatin1(meta->property(i).name()));
    exposeMembers.call({object, js.globalObject(), methods, properties});
  }
  if (!watchdog_)
    watchdog_ = std::make_unique<Watchdog>();
  watchdog_->setEngine(&js);
  addCode();
}

void TawScriptControl::addCode() {
  if (code_.empty())
    return;
  std::string code = codeText();
  QStringList trace;
  watchdog_->begin(timeout_);
  QJSValue result = engine_->js.evaluate(toQString(code), QStringLiteral("script"), 1, &trace);
  bool timedOut = watchdog_->end();
  raisePending();
  if (timedOut) {
    DoTimeout();
    return;
  }
  if (!trace.isEmpty() || result.isError()) {
    TawScriptError error;
    error.source = result.isError() && result.property("name").toString() == "SyntaxError"
                       ? "JScript compilation error"
                       : "JScript runtime error";
    error.description = fromQString(result.toString());
    QJSValue number = result.property("number");
    if (number.isNumber())
      error.number = number.toInt();
    error.line = result.property("lineNumber").toInt();
    if (error.line == 0 && !trace.isEmpty()) {
      // "function:line:column:file"
      QStringList parts = trace.first().split(':');
      if (parts.size() >= 3) {
        error.line = parts[1].toInt();
        error.column = parts[2].toInt();
      }
    }
    std::vector<std::string> lines = stringListFromText(code);
    if (error.line >= 1 && static_cast<std::size_t>(error.line) <= lines.size())
      error.text = lines[static_cast<std::size_t>(error.line) - 1];
    DoError(error);
  }
}

std::string TawScriptControl::Run(const std::string &name,
                                  const std::vector<std::string> &arguments) {
  if (OnCallFunction)
    OnCallFunction(name, arguments);
  QJSEngine &js = engine_->js;
  QJSValue routine = js.globalObject().property(toQString(name));
  QJSValue args = js.newArray(static_cast<uint>(arguments.size()));
  for (std::size_t i = 0; i < arguments.size(); ++i)
    args.setProperty(static_cast<quint32>(i), toQString(arguments[i]));

  TawScriptError error;
  error.source = "JScript runtime error";
  if (!routine.isCallable()) {
    error.description = Format("The script has no routine named %s", {name});
    DoError(error);
    return {};
  }
  watchdog_->begin(timeout_);
  QJSValue outcome = engine_->caller.call({routine, args});
  bool timedOut = watchdog_->end();
  raisePending();
  if (timedOut) {
    DoTimeout();
    return {};
  }
  if (outcome.property("ok").toBool()) {
    QJSValue value = outcome.property("value");
    if (value.isUndefined() || value.isNull())
      return {};
    return fromQString(value.toString());
  }
  if (!outcome.isObject()) {
    // The caller itself failed (the engine was interrupted before it could catch).
    error.description = fromQString(outcome.toString());
    DoError(error);
    return {};
  }
  QJSValue thrown = outcome.property("error");
  error.description = fromQString(thrown.toString());
  if (thrown.isObject()) {
    QJSValue number = thrown.property("number");
    if (number.isNumber())
      error.number = number.toInt();
    error.line = thrown.property("lineNumber").toInt();
  }
  if (error.line > 0 && static_cast<std::size_t>(error.line) <= code_.size())
    error.text = code_[static_cast<std::size_t>(error.line) - 1];
  DoError(error);
  return {};
}

bool TawScriptControl::hasRoutine(const std::string &name, int *parameterCount) {
  QJSValue routine = engine_->js.globalObject().property(toQString(name));
  if (!routine.isCallable())
    return false;
  if (parameterCount)
    *parameterCount = routine.property("length").toInt();
  return true;
}

void TawScriptControl::DoError(const TawScriptError &error) {
  if (OnError)
    OnError(error);
}

void TawScriptControl::DoTimeout() {
  if (OnTimeout)
    OnTimeout();
}

void TawScriptControl::raisePending() {
  if (pending_) {
    std::exception_ptr error = std::move(pending_);
    pending_ = nullptr;
    std::rethrow_exception(error);
  }
}

} // namespace marrowen

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

// The engine's own count of what it holds; no public call gives it.
#include <private/qv4engine_p.h>
#include <private/qv4mm_p.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace marrowen {

namespace {

// The engine's side of every call: finding a routine, calling it, turning
// its result into text and describing what it threw. All of these may run
// the script's own code (a getter, a toString), so they run here, inside the
// call the watchdog watches, and hand back plain values only. The helpers
// the script could replace are taken before any script code runs, and the
// records handed back (and the argument lists handed in) have no prototype,
// so a getter or setter the script puts on Object's or Array's prototype
// never runs while the host reads them, outside the watchdog.
constexpr const char *callerSource = R"((function (global) {
  var toText = String, invoke = Reflect.apply, tagOf = Object.prototype.toString;
  var bare = Object.create.bind(Object, null);
  function record(ok) {
    var r = bare();
    r.ok = ok;
    return r;
  }
  function field(object, name, kind) {
    try {
      var value = object[name];
      return typeof value === kind ? value : undefined;
    } catch (e) {
      return undefined;
    }
  }
  // A value whose own toString fails is told by what it holds (an error's
  // name and message, else its kind), never by the failure of turning it
  // into text, which would hide what the script threw.
  function text(value) {
    try {
      return toText(value);
    } catch (e) {
      var message = field(value, 'message', 'string'), name = field(value, 'name', 'string');
      if (message !== undefined)
        return name ? name + ': ' + message : message;
      try { return invoke(tagOf, value, []); } catch (again) {}
      try { return toText(e); } catch (again) { return ''; }
    }
  }
  function describe(thrown) {
    var d = record(false);
    d.error = thrown;
    d.text = text(thrown);
    if (thrown !== null && (typeof thrown === 'object' || typeof thrown === 'function')) {
      d.name = field(thrown, 'name', 'string');
      d.number = field(thrown, 'number', 'number');
      d.line = field(thrown, 'lineNumber', 'number');
      d.stack = field(thrown, 'stack', 'string');
    }
    return d;
  }
  function routineOf(name) {
    try {
      var routine = global[name];
      return typeof routine === 'function' ? routine : undefined;
    } catch (e) {
      return undefined;
    }
  }
  return {
    call: function (name, args) {
      var routine = routineOf(name), value;
      if (!routine) {
        var m = record(false);
        m.missing = true;
        return m;
      }
      try {
        value = invoke(routine, null, args);
      } catch (e) {
        return describe(e);
      }
      try {
        var r = record(true);
        r.text = value === undefined || value === null ? '' : toText(value);
        return r;
      } catch (e) {
        var d = describe(e);
        d.result = true;
        return d;
      }
    },
    shape: function (name) {
      var routine = routineOf(name), s = bare();
      s.callable = !!routine;
      if (routine)
        s.length = field(routine, 'length', 'number') || 0;
      return s;
    },
    describe: describe,
    bare: bare
  };
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

// Between two readings of the engine's heap: a reading walks the heap's
// blocks, too slow for every call of a routine.
constexpr auto heapLookInterval = std::chrono::milliseconds(10);

// What a script threw, read from the plain record the engine's side made.
struct Thrown {
  QJSValue value;
  QString text;
  QString name;
  QString stack;
  std::optional<int> number;
  int line = 0;
};

Thrown thrownOf(const QJSValue &record) {
  Thrown thrown;
  thrown.value = record.property(QStringLiteral("error"));
  thrown.text = record.property(QStringLiteral("text")).toString();
  thrown.name = record.property(QStringLiteral("name")).toString();
  thrown.stack = record.property(QStringLiteral("stack")).toString();
  QJSValue number = record.property(QStringLiteral("number"));
  if (number.isNumber())
    thrown.number = number.toInt();
  thrown.line = record.property(QStringLiteral("line")).toInt();
  return thrown;
}

// Where an endless recursion went round: the routine and line that fill the
// engine's call stack most ("name@file:line" a frame, innermost first). The
// innermost frame stands at the routine's entry and names no useful line.
bool recursionSite(const Thrown &error, QString &routine, int &line) {
  if (!error.value.isError() || !error.text.contains(QStringLiteral("Maximum call stack size")))
    return false;
  std::map<std::pair<QString, int>, int> counts;
  for (const QString &frame : error.stack.split('\n')) {
    const qsizetype at = frame.indexOf('@');
    const qsizetype colon = frame.lastIndexOf(':');
    if (at <= 0 || colon <= at)
      continue;
    bool number = false;
    const int frameLine = frame.mid(colon + 1).toInt(&number);
    if (number && frameLine > 0)
      ++counts[{frame.left(at), frameLine}];
  }
  const auto most =
      std::max_element(counts.begin(), counts.end(),
                       [](const auto &a, const auto &b) { return a.second < b.second; });
  if (most == counts.end())
    return false;
  routine = most->first.first;
  line = most->first.second;
  return true;
}

// The line (from 1) on which `code` declares the routine `name`
// ("function name("); 0 when it declares none so.
int declarationLine(const std::vector<std::string> &code, std::string_view name) {
  const auto isNamePart = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
  };
  constexpr std::string_view keyword = "function";
  for (std::size_t i = 0; i < code.size(); ++i) {
    const std::string &line = code[i];
    for (std::size_t at = line.find(keyword); at != std::string::npos;
         at = line.find(keyword, at + 1)) {
      if (at > 0 && isNamePart(line[at - 1]))
        continue;
      std::size_t pos = at + keyword.size();
      const std::size_t blanks = line.find_first_not_of(" \t", pos);
      if (blanks == pos || blanks == std::string::npos || line.compare(blanks, name.size(), name))
        continue;
      pos = line.find_first_not_of(" \t", blanks + name.size());
      if (pos != std::string::npos && line[pos] == '(')
        return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

} // namespace

bool isRunnableScriptLanguage(const std::string &language) {
  std::string name = asciiLowerCase(language);
  return name == "jscript" || name == "javascript" || name == "ecmascript";
}

// --- The engine of one reset ---

struct TawScriptControl::Engine {
  QJSEngine js;
  QJSValue call;
  QJSValue shape;
  QJSValue describe;
  QJSValue bare; // makes an object without a prototype
};

// Interrupts a call that runs past the time-out, that its job asks to stop,
// or during which the process grows past the memory bound. It sleeps while
// no call runs, or while the one running is already interrupted, until the
// next call begins. While calls follow each other it looks at a call when
// the one before would have needed a look, and a new call wakes it only when
// it needs a look sooner (a shorter time-out than the call before), so a
// short call costs two uncontended locks, not a thread switch, and every
// call is looked at by its own deadline.
class TawScriptControl::Watchdog {
public:
  enum class Ending { Finished, TimedOut, Stopped, OverMemory };

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
  void setStopRequest(std::function<bool()> request) {
    std::lock_guard lock(mutex_);
    stopRequest_ = std::move(request);
  }
  void setMemoryLimit(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    memoryLimit_ = bytes;
  }

  // A call begins; the engine held `heap` bytes.
  void begin(int timeoutMs, std::size_t heap) {
    bool wake;
    {
      std::lock_guard lock(mutex_);
      ++serial_;
      busy_ = true;
      ending_ = Ending::Finished;
      start_ = std::chrono::steady_clock::now();
      timeout_ = std::chrono::milliseconds(timeoutMs);
      heapAtStart_ = heap;
      residentAtStart_ = 0;
      wake = sleeping_ || firstLook() < nextLook_;
    }
    if (wake)
      wake_.notify_one();
  }

  // Ends the call and says why it ended.
  Ending end() {
    std::lock_guard lock(mutex_);
    busy_ = false;
    const Ending ending = ending_;
    ending_ = Ending::Finished;
    if (ending != Ending::Finished && engine_)
      engine_->setInterrupted(false);
    return ending;
  }

private:
  // How often a running call is looked at when it may be stopped or bounded.
  static constexpr auto lookInterval = std::chrono::milliseconds(20);

  // When the running call must next be looked at.
  std::chrono::steady_clock::time_point firstLook() const {
    const auto deadline = start_ + timeout_;
    if (stopRequest_ || memoryLimit_ > 0)
      return std::min(deadline, std::chrono::steady_clock::now() + lookInterval);
    return deadline;
  }

  void watch() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (!busy_ || serial_ == interrupted_) {
        // Only the next call's begin has anything to watch; it wakes us.
        sleeping_ = true;
        wake_.wait(lock, [this] { return stop_ || (busy_ && serial_ != interrupted_); });
        sleeping_ = false;
        continue;
      }
      const std::uint64_t serial = serial_;
      const auto deadline = start_ + timeout_;
      nextLook_ = firstLook();
      // Woken early only by the end of the program or a call that needs a
      // look sooner.
      wake_.wait_until(lock, nextLook_, [this, serial] { return stop_ || serial_ != serial; });
      nextLook_ = std::chrono::steady_clock::time_point::max();
      if (stop_ || serial_ != serial || !busy_)
        continue;
      Ending ending = Ending::Finished;
      if (stopRequest_ && stopRequest_())
        ending = Ending::Stopped;
      else if (memoryLimit_ > 0 && grownPastLimit())
        ending = Ending::OverMemory;
      else if (std::chrono::steady_clock::now() >= deadline)
        ending = Ending::TimedOut;
      if (ending == Ending::Finished)
        continue;
      ending_ = ending;
      interrupted_ = serial;
      if (engine_)
        engine_->setInterrupted(true);
    }
  }

  // The heap at the call's start and what the process gained since the
  // first look at it, against the bound.
  bool grownPastLimit() {
    const std::size_t resident = residentBytes();
    if (residentAtStart_ == 0) {
      residentAtStart_ = resident;
      return false;
    }
    const std::size_t grown = resident > residentAtStart_ ? resident - residentAtStart_ : 0;
    return heapAtStart_ + grown > memoryLimit_;
  }

  static std::size_t residentBytes() {
    const int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (file < 0)
      return 0;
    char text[128] = {};
    const ssize_t got = ::read(file, text, sizeof text - 1);
    ::close(file);
    unsigned long long size = 0, resident = 0;
    if (got <= 0 || std::sscanf(text, "%llu %llu", &size, &resident) != 2)
      return 0;
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  QJSEngine *engine_ = nullptr;
  std::function<bool()> stopRequest_;
  std::size_t memoryLimit_ = 0;
  bool stop_ = false;
  bool busy_ = false;
  bool sleeping_ = false;
  Ending ending_ = Ending::Finished;
  std::uint64_t serial_ = 0;
  std::uint64_t interrupted_ = 0; // the serial of the last call interrupted
  std::chrono::steady_clock::time_point nextLook_ = std::chrono::steady_clock::time_point::max();
  std::chrono::steady_clock::time_point start_;
  std::chrono::milliseconds timeout_{10000};
  std::size_t heapAtStart_ = 0;
  std::size_t residentAtStart_ = 0;
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
  QJSValue side = js.evaluate(QString::fromLatin1(callerSource)).call({js.globalObject()});
  engine_->call = side.property(QStringLiteral("call"));
  engine_->shape = side.property(QStringLiteral("shape"));
  engine_->describe = side.property(QStringLiteral("describe"));
  engine_->bare = side.property(QStringLiteral("bare"));
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
  if (!watchdog_) {
    watchdog_ = std::make_unique<Watchdog>();
    watchdog_->setStopRequest(stopRequested_);
    watchdog_->setMemoryLimit(memoryLimit_);
  }
  watchdog_->setEngine(&js);
  addCode();
}

void TawScriptControl::setMemoryLimit(std::size_t bytes) {
  memoryLimit_ = bytes;
  heapMeasured_ = {};
  if (watchdog_)
    watchdog_->setMemoryLimit(bytes);
}

void TawScriptControl::setStopRequest(std::function<bool()> stopRequested) {
  stopRequested_ = std::move(stopRequested);
  if (watchdog_)
    watchdog_->setStopRequest(stopRequested_);
}

std::size_t TawScriptControl::heapSize() const {
  const QV4::MemoryManager *memory = engine_->js.handle()->memoryManager;
  return memory->getUsedMem() + memory->getLargeItemsMem() + memory->unmanagedHeapSize;
}

bool TawScriptControl::withinMemoryLimit() {
  if (memoryLimit_ == 0)
    return true;
  const auto now = std::chrono::steady_clock::now();
  if (now - heapMeasured_ >= heapLookInterval) {
    heapMeasured_ = now;
    heapSeen_ = heapSize();
    if (heapSeen_ > memoryLimit_) {
      // What is garbage already does not count.
      engine_->js.collectGarbage();
      heapSeen_ = heapSize();
    }
  }
  if (heapSeen_ <= memoryLimit_)
    return true;
  if (OnMemoryLimit)
    OnMemoryLimit(heapSeen_);
  return false;
}

template <class Call> bool TawScriptControl::watched(Call call) {
  if (stopRequested() || !withinMemoryLimit())
    return false;
  watchdog_->begin(timeout_, heapSeen_);
  call();
  const Watchdog::Ending ending = watchdog_->end();
  raisePending();
  switch (ending) {
  case Watchdog::Ending::Finished:
    return true;
  case Watchdog::Ending::TimedOut:
    DoTimeout();
    return false;
  case Watchdog::Ending::OverMemory:
    if (OnMemoryLimit)
      OnMemoryLimit(std::max(heapSize(), memoryLimit_ + 1));
    return false;
  case Watchdog::Ending::Stopped:
    return false;
  }
  return false;
}

void TawScriptControl::addCode() {
  if (code_.empty())
    return;
  std::string code = codeText();
  QStringList trace;
  QJSValue result, record;
  if (!watched([&] {
        result = engine_->js.evaluate(toQString(code), QStringLiteral("script"), 1, &trace);
        if (!trace.isEmpty() || result.isError())
          record = engine_->describe.call({result});
      }))
    return;
  if (!record.isUndefined()) {
    const Thrown thrown = thrownOf(record);
    TawScriptError error;
    error.source = thrown.value.isError() && thrown.name == QStringLiteral("SyntaxError")
                       ? "JScript compilation error"
                       : "JScript runtime error";
    error.description = fromQString(thrown.text);
    if (thrown.number)
      error.number = *thrown.number;
    error.line = thrown.line;
    QString routine;
    if (recursionSite(thrown, routine, error.line))
      error.description += Format(" (%s calls itself without end)", {fromQString(routine)});
    else if (error.line == 0 && !trace.isEmpty()) {
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
    return;
  }
  // What the top-level statements kept counts at once: a check of the script
  // calls no routine after them, and a quick statement escapes the watchdog.
  heapMeasured_ = {};
  withinMemoryLimit();
}

std::string TawScriptControl::Run(const std::string &name,
                                  const std::vector<std::string> &arguments) {
  QStringList texts;
  for (const std::string &argument : arguments)
    texts.append(toQString(argument));
  return fromQString(RunText(name, texts));
}

QString TawScriptControl::RunText(const std::string &name, const QStringList &arguments) {
  if (OnCallFunction) {
    std::vector<std::string> texts;
    for (const QString &argument : arguments)
      texts.push_back(fromQString(argument));
    OnCallFunction(name, texts);
  }
  QJSValue outcome;
  if (!watched([&] {
        // A list like an array, which the routine receives as its arguments.
        QJSValue args = engine_->bare.call();
        for (qsizetype i = 0; i < arguments.size(); ++i)
          args.setProperty(static_cast<quint32>(i), arguments[i]);
        args.setProperty(QStringLiteral("length"), static_cast<int>(arguments.size()));
        outcome = engine_->call.call({toQString(name), args});
      }))
    return {};
  if (outcome.property(QStringLiteral("ok")).toBool())
    return outcome.property(QStringLiteral("text")).toString();

  TawScriptError error;
  error.source = "JScript runtime error";
  if (!outcome.isObject()) {
    // The call itself failed (the engine was interrupted before it could catch).
    error.description = fromQString(outcome.toString());
    DoError(error);
    return {};
  }
  if (outcome.property(QStringLiteral("missing")).toBool()) {
    error.description = Format("The script has no routine named %s", {name});
    DoError(error);
    return {};
  }
  const Thrown thrown = thrownOf(outcome);
  error.description = fromQString(thrown.text);
  if (thrown.number)
    error.number = *thrown.number;
  error.line = thrown.line;
  // A value that failed on its way to text, not in a toString of the
  // script's own, failed in the host's code, which has no file name ("@:47"):
  // the routine that returned it is the place to look.
  if (outcome.property(QStringLiteral("result")).toBool() &&
      thrown.stack.section(u'\n', 0, 0).section(u'@', -1).startsWith(u':')) {
    error.description += Format(" (the value %s returned cannot be turned into text)", {name});
    error.line = declarationLine(code_, name);
  }
  QString recursing;
  if (recursionSite(thrown, recursing, error.line))
    error.description += Format(" (%s calls itself without end)", {fromQString(recursing)});
  if (error.line > 0 && static_cast<std::size_t>(error.line) <= code_.size())
    error.text = code_[static_cast<std::size_t>(error.line) - 1];
  DoError(error);
  return {};
}

bool TawScriptControl::hasRoutine(const std::string &name, int *parameterCount) {
  QJSValue shape;
  if (!watched([&] { shape = engine_->shape.call({toQString(name)}); }))
    return false;
  if (!shape.property(QStringLiteral("callable")).toBool())
    return false;
  if (parameterCount)
    *parameterCount = shape.property(QStringLiteral("length")).toInt();
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

#include "app/automation/automationobjects.h"

#include "app/listwindow/listdocument.h"
#include "app/main/mainform.h"
#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/program.h"
#include "engine/job.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/utilitynodes.h"
#include "qtext/qtext.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScopeGuard>

#include <unistd.h>

namespace marrowen {

namespace {

const QString applicationPath = QStringLiteral("/Application");

// What an output node keeps of an extension or a folder; a cut value would
// name another one, so a longer one is refused.
constexpr std::size_t storedLength = TOutputObject::shortStringLength;

// A change to a node the window shows: its caption follows, and the list
// is marked changed; a refused change leaves both alone.
template <class F> void changeNode(FilterListTarget &list, F change) {
  list.beginBulkUpdate();
  try {
    change();
  } catch (...) {
    list.endBulkUpdate();
    throw;
  }
  list.setFilterHasChanged(true);
  list.endBulkUpdate();
}

void checkRange(int value, int low, int high, const char *what) {
  if (value < low || value > high)
    throw Exception(
        Format("%s %d is out of range (%d to %d)", {std::string_view(what), value, low, high}));
}

std::string fileName(const QString &name) { return fileNameFromQString(name); }

// An error's text mixes the program's texts with the file names it names,
// read by one rule: a UTF-8 sequence is its letter and any other byte the
// code page's, so "Übersicht.fll" reaches the caller as it was sent and a
// message in the code page reads as it did.
QString errorTextForClient(const std::string &bytes) { return fileNameToQString(bytes); }

} // namespace

std::string bytesFromClient(const QString &text) { return fromQString(text); }

QString textForClient(const std::string &bytes) {
  if (bytes.find('\0') != std::string::npos)
    throw Exception("The text holds a NUL byte, which the bus cannot carry");
  return toQString(bytes);
}

// --- AutomationObject ---

AutomationObject::AutomationObject(AutomationServer &server, QObject *parent)
    : QObject(parent), server_(server) {}

bool AutomationObject::admitted() {
  if (!calledFromDBus() || server_.sameUser(message().service()))
    return true;
  sendErrorReply(QDBusError::AccessDenied,
                 QStringLiteral("Only the user running the program may call it"));
  return false;
}

void AutomationObject::retire() {
  if (serving_ > 0)
    retired_ = true;
  else
    deleteLater();
}

template <class T, class F> T AutomationObject::serve(F body, T fallback) {
  if (!admitted())
    return fallback;
  ++serving_;
  const auto served = qScopeGuard([this] {
    if (--serving_ == 0 && retired_)
      deleteLater();
  });
  try {
    CallerReportsFailures failuresToCaller;
    return body();
  } catch (const std::bad_alloc &) {
    if (!calledFromDBus())
      throw;
    sendErrorReply(QString::fromLatin1(automationErrorName),
                   QStringLiteral("Out of memory while answering %1").arg(message().member()));
  } catch (const std::exception &error) {
    if (!calledFromDBus())
      throw;
    sendErrorReply(QString::fromLatin1(automationErrorName), errorTextForClient(error.what()));
  }
  return fallback;
}

template <class F> void AutomationObject::serveVoid(F body) {
  serve<bool>([&] {
    body();
    return true;
  });
}

// --- Application ---

Application::Application(AutomationServer &server, TmainForm &main)
    : AutomationObject(server, &server), main_(&main) {}

void Application::minimize() {
  serveVoid([&] { main_->showMinimized(); });
}

FilterWindow &Application::makeWindow() {
  FilterListWindow *window = main_->decideWindow();
  // A window another object drives is not free.
  if (window && server_.objectOf(*window))
    window = main_->CreateMDIChild();
  if (!window)
    throw Exception("No filter-list window can be made");
  return server_.objectFor(*window);
}

QDBusObjectPath Application::newWindow() {
  return serve<QDBusObjectPath>([&] { return QDBusObjectPath(makeWindow().path()); });
}

void Application::restore() {
  serveVoid([&] {
    main_->showNormal();
    main_->raise();
    main_->activateWindow();
  });
}

void Application::hide() {
  serveVoid([&] { main_->hide(); });
}

void Application::show() {
  serveVoid([&] {
    main_->show();
    main_->raise();
    main_->activateWindow();
  });
}

QString Application::version() {
  return serve<QString>([] { return toQString(program::version); });
}

void Application::calledFrom(const QString &applicationName) {
  serveVoid([&] { main_->setCalledFrom(bytesFromClient(applicationName)); });
}

QDBusObjectPath Application::findWindow(const QString &filename) {
  return serve<QDBusObjectPath>([&] {
    const std::string name = fileName(filename);
    // Every unsaved window has the empty name: which one would be found is
    // chance, and a window the user works in would pass to the caller.
    if (name.empty())
      throw Exception("findWindow needs the name of a filter file");
    if (FilterListWindow *window = main_->findWindow(name)) {
      if (auto *sub = qobject_cast<QMdiSubWindow *>(window->widget()->parentWidget()))
        main_->mdiArea().setActiveSubWindow(sub);
      window->widget()->raise();
      return QDBusObjectPath(server_.objectFor(*window).path());
    }
    // A file that cannot be loaded gets no window.
    TFilterList probe;
    probe.loadFromFile(name, {.wantOptions = false});
    FilterWindow &object = makeWindow();
    object.openFilter(filename);
    return QDBusObjectPath(object.path());
  });
}

// --- FilterWindow ---

FilterWindow::FilterWindow(AutomationServer &server, FilterListWindow &window, int number)
    : AutomationObject(server, &server), widget_(window.widget()), window_(&window),
      path_(QStringLiteral("/FilterWindow/%1").arg(number)) {}

FilterListWindow *FilterWindow::window() const { return widget_ ? window_ : nullptr; }

FilterListTarget &FilterWindow::target() const {
  FilterListWindow *shown = window();
  FilterListTarget *target = shown ? shown->listTarget() : nullptr;
  if (!target)
    throw Exception("The filter-list window has gone");
  return *target;
}

// The bus reads properties without telling who asks, so no caller can be
// refused here; the answer is the one fixed path every caller may know.
QDBusObjectPath FilterWindow::application() { return QDBusObjectPath(applicationPath); }

int FilterWindow::add(std::unique_ptr<TListObject> node) {
  FilterListTarget &list = target();
  TListObject &added = *node;
  list.addFilter(std::move(node));
  return static_cast<int>(added.handle());
}

template <class F> void FilterWindow::changeOutput(F change) {
  serveVoid([&] {
    FilterListTarget &list = target();
    TOutputObject *output = list.outputNode();
    if (!output)
      throw Exception("The filter list has no output filter");
    changeNode(list, [&] { change(*output); });
  });
}

template <class F> void FilterWindow::changeInput(F change) {
  serveVoid([&] {
    FilterListTarget &list = target();
    TInputObject *input = list.inputNode();
    if (!input)
      throw Exception("The filter list has no input filter");
    changeNode(list, [&] { change(*input); });
  });
}

bool FilterWindow::openFilter(const QString &filename) {
  return serve<bool>([&] {
    target().loadFilterList(fileName(filename), {});
    return true;
  });
}

void FilterWindow::makeSubfilterOf(int parent, int child) {
  serveVoid([&] {
    FilterListTarget &list = target();
    const TFilterList &nodes = list.filterList();
    const auto indexOf = [&](int handle) {
      for (int i = 0; i < nodes.count(); ++i)
        if (nodes.node(i).handle() == static_cast<std::uint32_t>(handle))
          return i;
      throw Exception(Format("There is no filter %d in the list", {handle}));
    };
    const int target = indexOf(parent);
    const int source = indexOf(child);
    // The top, input and output nodes keep their places: anything under or
    // moving them breaks the list's one input first and one output last.
    for (int index : {target, source})
      if (index < 2 || index >= nodes.count() - 1)
        throw Exception("The top, input and output filters cannot take or become subfilters");
    if (target >= source && target < subtreeEnd(nodes, source))
      throw Exception("A filter cannot become a subfilter of itself or of its own subfilters");
    list.MoveTreeNode(source, target);
  });
}

int FilterWindow::addSelectionFilter(int type, int locateMethod, int param1, int param2) {
  return serve<int>([&] {
    checkRange(type, 0, 5, "Selection type");
    checkRange(locateMethod, 0, 4, "Locate method");
    auto node = TDeleteColumnsObject::CreateDefault(type);
    node->method = locateMethod;
    node->param1 = param1;
    node->param2 = param2;
    return add(std::move(node));
  });
}

int FilterWindow::addGrepFilter(int type_, const QString &pattern) {
  return serve<int>([&] {
    checkRange(type_, 0, 2, "Grep type");
    auto node = TGrepObject::CreateDefault(type_);
    node->pattern = bytesFromClient(pattern);
    return add(std::move(node));
  });
}

int FilterWindow::addMergeFilter(int type_, const QString &filename) {
  return serve<int>([&] {
    checkRange(type_, 0, 3, "Merge type");
    return add(TMergeObject::CreateWith(type_, fileName(filename)));
  });
}

int FilterWindow::addReplaceFilter(const QString &searchStr, const QString &replaceStr, int type,
                                   bool ignoreCase, bool wholeWord, bool caseSensReplace,
                                   bool promptOnReplace, int edit_distance_threshold) {
  return serve<int>([&] {
    checkRange(type, 0, 6, "Pattern type");
    auto node = TSearchObject::CreateDefault();
    node->searchString = bytesFromClient(searchStr);
    node->replaceString = bytesFromClient(replaceStr);
    node->patternType = type;
    node->ignoreCase = ignoreCase;
    node->wholeWord = wholeWord;
    node->caseSensitiveReplace = caseSensReplace;
    node->promptOnReplace = promptOnReplace;
    node->threshold = edit_distance_threshold;
    return add(std::move(node));
  });
}

int FilterWindow::addNumberFilter(int type, int Value) {
  return serve<int>([&] {
    checkRange(type, 0, 9, "Number filter type");
    checkRange(Value, 0, TNumberObject::maxNumber, "Number");
    return add(TNumberObject::CreateWith(type, Value));
  });
}

void FilterWindow::setOutputTestMode(bool setting) {
  changeOutput([&](TOutputObject &output) { output.testMode = setting; });
}

void FilterWindow::setOutputFolder(const QString &folder) {
  changeOutput([&](TOutputObject &output) {
    std::string name = fileName(folder);
    if (name.size() > storedLength)
      throw Exception(TOutputObject::longerThanKeptText("The output folder"));
    output.changeBaseDir = !name.empty();
    output.newBaseDir = std::move(name);
  });
}

void FilterWindow::setOutputRetainDate(bool setting) {
  changeOutput([&](TOutputObject &output) { output.retainDate = setting; });
}

void FilterWindow::setOutputMergeToFile(const QString &filename) {
  changeOutput([&](TOutputObject &output) {
    output.singleFilename = fileName(filename);
    output.outputToFile = TOutputObject::mergedFile;
  });
}

int FilterWindow::addMapFilter(const QString &filename) {
  return serve<int>([&] { return add(TUserObject::CreateWith(fileName(filename))); });
}

void FilterWindow::addFileList(const QString &filename) {
  serveVoid([&] { target().processFile(fileName(filename)); });
}

void FilterWindow::setOutputExtension(const QString &extension) {
  changeOutput([&](TOutputObject &output) {
    std::string text = fileName(extension);
    if (text.size() > storedLength)
      throw Exception(TOutputObject::longerThanKeptText("The extension"));
    output.changeExtension = !text.empty();
    output.newExtension = std::move(text);
  });
}

void FilterWindow::setInputBinaryFiles(int Value) {
  changeInput([&](TInputObject &input) {
    checkRange(Value, 0, 2, "Binary files setting");
    input.skipBinary = Value;
  });
}

int FilterWindow::addEOLFilter(int inputLineFeeds, int fixedLength, int outputLineFeeds,
                               const QString &newLineFeed, bool removeBadEOLs) {
  return serve<int>([&] {
    checkRange(inputLineFeeds, 0, 4, "Input line ends");
    checkRange(outputLineFeeds, 0, 4, "Output line ends");
    auto node = TEOLObject::CreateDefault();
    node->convertFrom = inputLineFeeds;
    node->fixedLength = fixedLength;
    node->convertTo = outputLineFeeds;
    node->outputText = bytesFromClient(newLineFeed);
    node->removeBad = removeBadEOLs;
    return add(std::move(node));
  });
}

int FilterWindow::addSimpleFilter(int type) {
  return serve<int>([&] {
    checkRange(type, firstDescriptionKind, lastDescriptionKind, "Filter type");
    return add(TDescriptionObject::CreateWith(type));
  });
}

int FilterWindow::addStringFilter(int type, const QString &str) {
  return serve<int>([&] {
    checkRange(type, 0, 5, "Text filter type");
    return add(TStringObject::CreateWith(type, bytesFromClient(str)));
  });
}

int FilterWindow::addLineNumberFilter(int startNumber, int increment) {
  return serve<int>([&] { return add(TLineNumberObject::CreateWith(startNumber, increment)); });
}

int FilterWindow::addCommentFilter(const QString &comment) {
  return serve<int>([&] { return add(TCommentObject::CreateWith(bytesFromClient(comment))); });
}

void FilterWindow::clearAllFilters() {
  serveVoid([&] { target().resetFiltersOnly(); });
}

void FilterWindow::executeClipboard() {
  serveVoid([&] { target().beginButtonClick(true); });
}

void FilterWindow::execute() {
  serveVoid([&] { target().beginButtonClick(false); });
}

template <class F> QString FilterWindow::processTimed(F process) {
  const std::chrono::milliseconds limit = server_.textTimeLimit();
  std::string result;
  {
    DeadlineScope deadline(limit);
    try {
      result = process();
      if (!deadline.passed())
        return textForClient(result);
    } catch (const EAbort &) {
      if (!deadline.passed())
        throw;
    }
  }
  throw Exception(Format("The text took longer than %d ms through the filter list and was stopped",
                         {static_cast<std::int64_t>(limit.count())}));
}

QString FilterWindow::processString(const QString &inputText) {
  return serve<QString>([&] {
    return processTimed([&] { return target().processText(bytesFromClient(inputText)); });
  });
}

void FilterWindow::clearAllFiles() {
  serveVoid([&] { target().clearAllFiles(); });
}

void FilterWindow::addFile(const QString &fileSpec, int subfolders, int Action) {
  serveVoid([&] { target().addFileFromActiveX(fileName(fileSpec), subfolders, Action); });
}

void FilterWindow::saveFilter(const QString &filename) {
  serveVoid([&] { target().saveFilterListAs(fileName(filename)); });
}

void FilterWindow::setOutputClipboard() {
  changeOutput([](TOutputObject &output) { output.outputToFile = TOutputObject::clipboard; });
}

void FilterWindow::setInputClipboard() {
  changeInput([](TInputObject &input) { input.inputFromFile = false; });
}

void FilterWindow::setInputFiles() {
  changeInput([](TInputObject &input) { input.inputFromFile = true; });
}

void FilterWindow::setOutputFiles() {
  changeOutput([](TOutputObject &output) { output.outputToFile = TOutputObject::files; });
}

void FilterWindow::moveCursorToEnd() {
  serveVoid([&] {
    FilterListTarget &list = target();
    list.select(list.filterList().count() - 1);
  });
}

int FilterWindow::addSortFilter(int type, bool reverse, bool removeDuplicates) {
  return serve<int>([&] {
    checkRange(type, 0, 5, "Sort type");
    auto node = TSortObject::CreateDefault();
    node->sortType = type;
    node->reverseOrder = reverse;
    node->removeDuplicates = removeDuplicates;
    return add(std::move(node));
  });
}

int FilterWindow::addScriptFilter(const QString &language, const QString &script) {
  return serve<int>([&] {
    auto node = TScriptObject::CreateDefault();
    node->language = bytesFromClient(language);
    node->script = bytesFromClient(script);
    return add(std::move(node));
  });
}

int FilterWindow::addInsertFilter(int insertPos, const QString &insertString) {
  return serve<int>([&] {
    auto node = TInsertColumnObject::CreateDefault();
    node->position = insertPos;
    node->text = bytesFromClient(insertString);
    return add(std::move(node));
  });
}

int FilterWindow::addDatabaseFilter(const QString &connectionStr, int mode,
                                    const QString &fieldDelimiter, const QString &textQualifier,
                                    bool generateHeader, const QString &insertTable) {
  return serve<int>([&] {
    checkRange(mode, 0, 3, "Database output mode");
    auto node = TDatabaseObject::CreateDefault();
    node->connection = bytesFromClient(connectionStr);
    node->outputFormat = mode;
    node->fieldDelimiter = bytesFromClient(fieldDelimiter);
    node->textQualifier = bytesFromClient(textQualifier);
    node->generateHeader = generateHeader;
    node->insertTable = bytesFromClient(insertTable);
    return add(std::move(node));
  });
}

QString FilterWindow::compileFilter() {
  return serve<QString>([&] { return textForClient(target().compileFilter()); });
}

QString FilterWindow::processStringWithCompiledFilter(const QString &inputText) {
  return serve<QString>([&] {
    return processTimed(
        [&] { return target().processTextWithCompiledFilter(bytesFromClient(inputText)); });
  });
}

void FilterWindow::close() {
  serveVoid([&] {
    FilterListWindow *window = this->window();
    if (!window)
      throw Exception("The filter-list window has gone");
    // The window's question whether to save must be seen.
    if (window->filterHasChanged())
      server_.mainForm().show();
    QWidget *widget = window->widget();
    auto *sub = qobject_cast<QMdiSubWindow *>(widget->parentWidget());
    const QPointer<QWidget> closing = sub ? static_cast<QWidget *>(sub) : widget;
    if (!closing->close())
      throw Exception("The filter-list window is still open: its changes were not saved");
    // A window already closing (its question whether to save is open, for
    // this program or a person) says it closed and stays: it may yet be
    // cancelled.
    if (closing && !closing->isHidden())
      throw Exception("The filter-list window is already being closed: its question whether to "
                      "save is still open");
    server_.forgetWindow(widget);
  });
}

// --- AutomationServer ---

AutomationServer::AutomationServer(TmainForm &main, QDBusConnection connection, QObject *parent)
    : QObject(parent), main_(main), connection_(std::move(connection)) {
  application_ = new Application(*this, main);
  callerUser_ = [this](const QString &sender) -> std::optional<std::uint32_t> {
    if (QDBusConnectionInterface *bus = connection_.interface()) {
      const QDBusReply<uint> uid = bus->serviceUid(sender);
      if (uid.isValid())
        return uid.value();
    }
    return std::nullopt;
  };
}

AutomationServer::~AutomationServer() {
  for (const auto &[widget, object] : windows_)
    disconnect(widget, nullptr, this, nullptr);
  // The name goes first, so that no caller finds it without its objects.
  if (!service_.isEmpty())
    connection_.unregisterService(service_);
  if (registered_)
    unregisterObjects();
}

bool AutomationServer::start(const QString &serviceName) {
  if (!connection_.isConnected() || !connection_.interface())
    return false;
  // The objects come first: a caller that sees the name the moment it is
  // claimed must find them behind it, not an unknown object.
  const bool registeredBefore = registered_;
  if (!registered_)
    registerObjects();
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
      connection_.interface()->registerService(serviceName,
                                               QDBusConnectionInterface::DontQueueService,
                                               QDBusConnectionInterface::DontAllowReplacement);
  if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
    if (registered_ && !registeredBefore)
      unregisterObjects();
    return false;
  }
  service_ = serviceName;
  return true;
}

void AutomationServer::unregisterObjects() {
  connection_.unregisterObject(applicationPath);
  for (const auto &[widget, object] : windows_)
    connection_.unregisterObject(object->path());
  registered_ = false;
}

void AutomationServer::registerObjects() {
  registered_ = connection_.registerObject(applicationPath, application_,
                                           QDBusConnection::ExportAllSlots |
                                               QDBusConnection::ExportAllProperties);
  for (const auto &[widget, object] : windows_)
    connection_.registerObject(object->path(), object,
                               QDBusConnection::ExportAllSlots |
                                   QDBusConnection::ExportAllProperties);
}

FilterWindow *AutomationServer::objectOf(const FilterListWindow &window) const {
  const auto it = windows_.find(const_cast<FilterListWindow &>(window).widget());
  return it == windows_.end() ? nullptr : it->second;
}

FilterWindow &AutomationServer::objectFor(FilterListWindow &window) {
  if (FilterWindow *object = objectOf(window))
    return *object;
  QWidget *widget = window.widget();
  auto *object = new FilterWindow(*this, window, ++lastNumber_);
  windows_[widget] = object;
  connect(widget, &QObject::destroyed, this, [this, widget] { forgetWindow(widget); });
  if (registered_)
    connection_.registerObject(object->path(), object,
                               QDBusConnection::ExportAllSlots |
                                   QDBusConnection::ExportAllProperties);
  return *object;
}

void AutomationServer::forgetWindow(QObject *widget) {
  const auto it = windows_.find(widget);
  if (it == windows_.end())
    return;
  FilterWindow *object = it->second;
  windows_.erase(it);
  disconnect(widget, nullptr, this, nullptr);
  if (registered_)
    connection_.unregisterObject(object->path());
  object->retire();
}

bool AutomationServer::sameUser(const QString &sender) {
  if (const auto it = admitted_.constFind(sender); it != admitted_.constEnd())
    return *it;
  const std::optional<std::uint32_t> uid = callerUser_(sender);
  if (!uid)
    return false;
  // A unique name is never given to another connection, so the answer holds.
  const bool same = *uid == ::getuid();
  admitted_.insert(sender, same);
  return same;
}

AutomationServer *startAutomationServer(TmainForm &main) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected())
    return nullptr;
  auto *server = new AutomationServer(main, bus, &main);
  if (server->start())
    return server;
  delete server;
  return nullptr;
}

} // namespace marrowen

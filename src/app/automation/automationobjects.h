#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace marrowen {

class FilterListTarget;
class FilterListWindow;
class FilterWindow;
class TListObject;
class TmainForm;

// The program's names on the session bus.
inline constexpr char automationServiceName[] = "com.ostrevan.Marrowen";
inline constexpr char automationErrorName[] = "com.ostrevan.Marrowen.Error";

class AutomationServer;

// An object other programs call over the bus. Only callers running as this
// program's user are served; any failure becomes the error reply carrying
// its message, the window and its list keeping whatever state they reached.
class AutomationObject : public QObject, protected QDBusContext {
  Q_OBJECT
public:
  // Frees the object once the calls it is answering have returned: a call
  // may wait on a question while others come in and the window goes.
  void retire();

protected:
  AutomationObject(AutomationServer &server, QObject *parent);
  // Runs `body` for a caller that may call; otherwise, or when `body`
  // raises, the caller gets an error and `fallback` is returned (the bus
  // sends the error, not the value).
  template <class T, class F> T serve(F body, T fallback = T());
  template <class F> void serveVoid(F body);

  AutomationServer &server_;

private:
  bool admitted();

  int serving_ = 0;
  bool retired_ = false;
};

// The main window for other programs; one per server, at "/Application".
class Application : public AutomationObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.ostrevan.Marrowen.Application")
public:
  Application(AutomationServer &server, TmainForm &main);

public slots:
  void minimize();
  QDBusObjectPath newWindow();
  void restore();
  void hide();
  void show();
  QString version();
  void calledFrom(const QString &applicationName);
  QDBusObjectPath findWindow(const QString &filename);

private:
  FilterWindow &makeWindow();

  QPointer<TmainForm> main_;
};

// One filter-list window for other programs, at "/FilterWindow/<n>": a
// client builds its list node by node, sets its input and output, adds
// files and runs it or sends texts through it. It holds the window only
// weakly: once the window has gone, so has the object. Nodes are named by
// their handles, which follow a node wherever the tree moves it.
class FilterWindow : public AutomationObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.ostrevan.Marrowen.FilterWindow")
  Q_PROPERTY(QDBusObjectPath Application READ application)
public:
  FilterWindow(AutomationServer &server, FilterListWindow &window, int number);

  QString path() const { return path_; }
  FilterListWindow *window() const;
  QDBusObjectPath application();

public slots:
  bool openFilter(const QString &filename);
  void makeSubfilterOf(int parent, int child);
  int addSelectionFilter(int type, int locateMethod, int param1, int param2);
  int addGrepFilter(int type_, const QString &pattern);
  int addMergeFilter(int type_, const QString &filename);
  int addReplaceFilter(const QString &searchStr, const QString &replaceStr, int type,
                       bool ignoreCase, bool wholeWord, bool caseSensReplace, bool promptOnReplace,
                       int edit_distance_threshold);
  int addNumberFilter(int type, int Value);
  void setOutputTestMode(bool setting);
  void setOutputFolder(const QString &folder);
  void setOutputRetainDate(bool setting);
  void setOutputMergeToFile(const QString &filename);
  int addMapFilter(const QString &filename);
  void addFileList(const QString &filename);
  void setOutputExtension(const QString &extension);
  void setInputBinaryFiles(int Value);
  int addEOLFilter(int inputLineFeeds, int fixedLength, int outputLineFeeds,
                   const QString &newLineFeed, bool removeBadEOLs);
  int addSimpleFilter(int type);
  int addStringFilter(int type, const QString &str);
  int addLineNumberFilter(int startNumber, int increment);
  int addCommentFilter(const QString &comment);
  void clearAllFilters();
  void executeClipboard();
  void execute();
  QString processString(const QString &inputText);
  void clearAllFiles();
  void addFile(const QString &fileSpec, int subfolders, int Action);
  void saveFilter(const QString &filename);
  void setOutputClipboard();
  void setInputClipboard();
  void setInputFiles();
  void setOutputFiles();
  void moveCursorToEnd();
  int addSortFilter(int type, bool reverse, bool removeDuplicates);
  int addScriptFilter(const QString &language, const QString &script);
  int addInsertFilter(int insertPos, const QString &insertString);
  int addDatabaseFilter(const QString &connectionStr, int mode, const QString &fieldDelimiter,
                        const QString &textQualifier, bool generateHeader,
                        const QString &insertTable);
  QString compileFilter();
  QString processStringWithCompiledFilter(const QString &inputText);
  void close();

private:
  FilterListTarget &target() const;
  int add(std::unique_ptr<TListObject> node);
  template <class F> void changeOutput(F change);
  template <class F> void changeInput(F change);
  // A text through the list, within the server's time limit.
  template <class F> QString processTimed(F process);

  QPointer<QWidget> widget_;
  FilterListWindow *window_;
  QString path_;
};

// Puts the objects on the session bus and keeps the windows' objects: at
// most one per window, each unregistered when its window goes.
class AutomationServer : public QObject {
  Q_OBJECT
public:
  // Who runs the program that sent a call; none when the bus cannot tell.
  using CallerUser = std::function<std::optional<std::uint32_t>(const QString &sender)>;

  AutomationServer(TmainForm &main, QDBusConnection connection, QObject *parent = nullptr);
  ~AutomationServer() override;

  // Takes the service name and offers "/Application"; false, offering
  // nothing, when another instance holds the name or there is no bus.
  bool start(const QString &serviceName = QString::fromLatin1(automationServiceName));
  // Offers the objects without a name (a test's own connection).
  void registerObjects();

  QDBusConnection &connection() { return connection_; }
  TmainForm &mainForm() const { return main_; }
  // The window's object, none when it has none.
  FilterWindow *objectOf(const FilterListWindow &window) const;
  // The window's object, made and kept when it has none.
  FilterWindow &objectFor(FilterListWindow &window);
  // Replaces how callers are told apart (tests stand in for another user).
  void setCallerUser(CallerUser lookup) { callerUser_ = std::move(lookup); }
  // How long a text may take through a list: the window's thread serves
  // every caller, so past this the text is stopped and its caller told.
  static constexpr std::chrono::seconds defaultTextTimeLimit{10};
  std::chrono::milliseconds textTimeLimit() const { return textTimeLimit_; }
  void setTextTimeLimit(std::chrono::milliseconds limit) { textTimeLimit_ = limit; }
  // Whether `sender` runs as this program's user; asked once per sender.
  bool sameUser(const QString &sender);
  // The window's object leaves the bus; calls to it then meet the bus's
  // unknown-object error.
  void forgetWindow(QObject *widget);

private:
  void unregisterObjects();

  TmainForm &main_;
  QDBusConnection connection_;
  Application *application_ = nullptr;
  std::map<QObject *, FilterWindow *> windows_;
  int lastNumber_ = 0;
  bool registered_ = false;
  QString service_;
  CallerUser callerUser_;
  QHash<QString, bool> admitted_;
  std::chrono::milliseconds textTimeLimit_ = defaultTextTimeLimit;
};

// Bus texts kept as UTF-8, as the user's files hold them; results holding a
// NUL byte are refused, the bus cannot carry them.
std::string bytesFromClient(const QString &text);
QString textForClient(const std::string &bytes);

// Starts the server of the running program on the session bus, beside its
// main window; none when there is no bus or another instance serves.
AutomationServer *startAutomationServer(TmainForm &main);

} // namespace marrowen

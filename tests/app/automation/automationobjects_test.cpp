#include "app/automation/automationobjects.h"

#include "app/listwindow/childform.h"
#include "app/listwindow/listdocument.h"
#include "app/main/mainform.h"
#include "app/programparts.h"
#include "app_testing.h"
#include "engine/inputs.h"
#include "filterlist/ionodes.h"
#include "filterlist/searchnodes.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QMdiSubWindow>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <atomic>
#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::TempFolder;

// A window whose list is the windowless document.
class DocumentChild : public QWidget, public FilterListWindow {
public:
  TListDocument doc;
  FilterListTarget *listTarget() override { return &doc; }
  QWidget *widget() override { return this; }
  std::string fileName() const override { return doc.fileName(); }
  bool filterHasChanged() const override { return doc.filterHasChanged(); }
  bool loadFilterList(const std::string &name, const LoadListOptions &options) override {
    return doc.loadFilterList(name, options);
  }
  bool testThenAdd(const std::string &name) override {
    doc.testThenAdd(name);
    return true;
  }
  void showFilesPage() override {}
  void checkButtonsEnableStatus() override {}
  void Save() override {}
  void addDescriptionFilter(int) override {}
  void addNumberFilter(int) override {}
  void updateTrialFont(const QFont &) override {}
};

const QString windowInterface = QStringLiteral("com.ostrevan.Marrowen.FilterWindow");
const QString appInterface = QStringLiteral("com.ostrevan.Marrowen.Application");

// The server answers on the test's own connection; the calls come from a
// second one, as another program's would, while the test pumps events.
class Automation : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    if (!QDBusConnection::sessionBus().isConnected())
      GTEST_SKIP() << "no session bus";
    mainFormHooks().createChild = [this](QMdiArea &area) -> FilterListWindow * {
      auto *child = new DocumentChild;
      child->doc.onError = [this](const std::string &text) { errors.push_back(text); };
      child->doc.onStartJob = [this](std::unique_ptr<TGenericInput> chain, JobOptions options) {
        jobs.push_back({std::move(chain), std::move(options)});
      };
      area.addSubWindow(child);
      return child;
    };
    form = std::make_unique<TmainForm>(QStringList{"marrowen"});
    QCoreApplication::processEvents();
    server = std::make_unique<AutomationServer>(*form, QDBusConnection::sessionBus());
    server->registerObjects();
    client = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client")));
  }
  void TearDown() override {
    server.reset();
    form.reset();
    if (client)
      QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    mainFormHooks() = MainFormHooks();
    AppTest::TearDown();
  }

  QDBusMessage call(const QString &path, const QString &method, const QVariantList &args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QDBusConnection::sessionBus().baseService(), path,
        path == "/Application" ? appInterface : windowInterface, method);
    message.setArguments(args);
    QDBusPendingCall pending = client->asyncCall(message, 20000);
    while (!pending.isFinished())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return pending.reply();
  }
  QVariant value(const QString &path, const QString &method, const QVariantList &args = {}) {
    const QDBusMessage reply = call(path, method, args);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments().value(0);
  }
  QString newWindow() { return value("/Application", "newWindow").value<QDBusObjectPath>().path(); }
  DocumentChild &childAt(int index) {
    return *static_cast<DocumentChild *>(form->mdiArea().subWindowList().at(index)->widget());
  }
  static std::vector<std::string> titles(TFilterList &list) {
    std::vector<std::string> result;
    for (const auto &entry : list.nodes)
      result.push_back(std::to_string(entry.level) + entry.node->getTitle());
    return result;
  }

  std::unique_ptr<TmainForm> form;
  std::unique_ptr<AutomationServer> server;
  std::unique_ptr<QDBusConnection> client;
  std::vector<std::string> errors;
  std::vector<std::pair<std::unique_ptr<TGenericInput>, JobOptions>> jobs;
};

TEST_F(Automation, ClientBuildsAListAndRunsTextsThroughIt) {
  const QString w = newWindow();
  EXPECT_EQ(value("/Application", "version").toString(), "5.6.3");
  EXPECT_EQ(value(w, "processStringWithCompiledFilter", {"abc"}).toString(), "");
  value(w, "addSimpleFilter", {5});
  EXPECT_EQ(value(w, "processString", {"abc"}).toString(), "ABC");
  EXPECT_EQ(value(w, "compileFilter").toString(), "");
  value(w, "addSimpleFilter", {41}); // reverse each line: not compiled yet
  EXPECT_EQ(value(w, "processStringWithCompiledFilter", {"xyz"}).toString(), "XYZ");

  // Go runs the list as a job, over the clipboard when asked.
  value(w, "execute");
  value(w, "executeClipboard");
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].second.filterName, "Untitled1");
  EXPECT_NE(dynamic_cast<TClipboardInput *>(jobs[1].first.get()), nullptr);

  // The Application property names the object that made the window.
  QDBusMessage get = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(), w,
                                                    "org.freedesktop.DBus.Properties", "Get");
  get.setArguments({windowInterface, "Application"});
  QDBusPendingCall pending = client->asyncCall(get);
  while (!pending.isFinished())
    QCoreApplication::processEvents();
  EXPECT_EQ(pending.reply()
                .arguments()
                .value(0)
                .value<QDBusVariant>()
                .variant()
                .value<QDBusObjectPath>()
                .path(),
            "/Application");
}

// The window's thread serves every caller, so a text that runs past the time
// limit is stopped and answered with an error; the list then serves the next.
TEST_F(Automation, ATextPastTheTimeLimitIsStoppedWithAnError) {
  const QString w = newWindow();
  value(w, "addSimpleFilter", {5});
  value(w, "compileFilter");
  server->setTextTimeLimit(std::chrono::milliseconds(1));
  const QString slow(4 << 20, 'a');
  for (const char *method : {"processString", "processStringWithCompiledFilter"}) {
    const QDBusMessage reply = call(w, method, {slow});
    EXPECT_EQ(reply.errorName(), "com.ostrevan.Marrowen.Error") << method;
    EXPECT_EQ(reply.errorMessage().toStdString(),
              "The text took longer than 1 ms through the filter list and was stopped");
  }
  server->setTextTimeLimit(AutomationServer::defaultTextTimeLimit);
  EXPECT_EQ(value(w, "processString", {"abc"}).toString(), "ABC");
  EXPECT_EQ(value(w, "processStringWithCompiledFilter", {"xyz"}).toString(), "XYZ");
}

TEST_F(Automation, FindWindowGivesOneObjectPerWindowAndOpensUnopenedFiles) {
  const QString w = newWindow();
  value(w, "addSimpleFilter", {6});
  const QString file = QString::fromStdString(dir.file("lower.fll"));
  value(w, "saveFilter", {file});
  EXPECT_EQ(value("/Application", "findWindow", {file}).value<QDBusObjectPath>().path(), w);
  EXPECT_EQ(value("/Application", "findWindow", {file}).value<QDBusObjectPath>().path(), w);

  const QString copy = QString::fromStdString(dir.file("copy.fll"));
  QFile::copy(file, copy);
  const QString other = value("/Application", "findWindow", {copy}).value<QDBusObjectPath>().path();
  EXPECT_NE(other, w);
  EXPECT_EQ(childAt(1).fileName(), copy.toStdString());
  EXPECT_EQ(value(other, "processString", {"ABC"}).toString(), "abc");
  EXPECT_EQ(value(other, "openFilter", {file}).toBool(), true);

  // A window another object drives is not free for newWindow.
  EXPECT_NE(newWindow(), newWindow());
}

TEST_F(Automation, SubfiltersFollowTheirHandlesAndBadMovesLeaveTheTreeAlone) {
  const QString w = newWindow();
  const int comment = value(w, "addCommentFilter", {"group"}).toInt();
  const int upper = value(w, "addSimpleFilter", {5}).toInt();
  const int lower = value(w, "addSimpleFilter", {6}).toInt();
  TFilterList &list = childAt(0).doc.filterList();
  const int input = static_cast<int>(list.node(1).handle());
  const int output = static_cast<int>(list.node(list.count() - 1).handle());

  value(w, "makeSubfilterOf", {comment, lower});
  // canParent stays unchecked: a built-in filter takes a subfilter too.
  value(w, "makeSubfilterOf", {lower, upper});
  const auto moved = titles(list);
  EXPECT_EQ(list.nodes[2].level, 1);
  EXPECT_EQ(list.nodes[3].level, 2);
  EXPECT_EQ(list.nodes[4].level, 3);

  for (auto [parent, child] :
       {std::pair{comment, 999999}, std::pair{input, upper}, std::pair{output, upper},
        std::pair{comment, output}, std::pair{upper, comment}, std::pair{comment, comment}}) {
    const QDBusMessage reply = call(w, "makeSubfilterOf", {parent, child});
    EXPECT_EQ(reply.errorName(), "com.ostrevan.Marrowen.Error") << parent << " " << child;
    EXPECT_EQ(titles(list), moved);
  }
}

TEST_F(Automation, RefusesOutOfRangeValuesAndLongNamesButTakesAnyText) {
  const QString w = newWindow();
  TListDocument &doc = childAt(0).doc;
  const int count = doc.filterList().count();
  for (auto [method, args] : {std::pair{"addSimpleFilter", QVariantList{99}},
                              std::pair{"addSortFilter", QVariantList{6, false, false}},
                              std::pair{"addSelectionFilter", QVariantList{1, 5, 1, 2}}})
    EXPECT_EQ(call(w, method, args).errorName(), "com.ostrevan.Marrowen.Error") << method;
  EXPECT_EQ(doc.filterList().count(), count);
  // Any character comes as UTF-8, as the user's files hold it: a replace
  // sent over the bus finds what a UTF-8 text holds, in any case.
  value(w, "addReplaceFilter",
        {QStringLiteral("\u00fcber \u03a9"), "X", 0, true, false, false, false, 0});
  EXPECT_EQ(
      dynamic_cast<const TSearchObject &>(doc.filterList().node(doc.selectedIndex())).searchString,
      "\xC3\xBC"
      "ber \xCE\xA9");
  EXPECT_EQ(
      value(w, "processString", {QStringLiteral("\u00dcBER \u03c9 \u00fcber \u03a9")}).toString(),
      "X X");
  value(w, "clearAllFilters");

  // The limit is a filter file's, in bytes: 200 letters of two bytes each
  // pass no more than 256 of one byte, and the message counts as it does.
  value(w, "setOutputFolder", {"/out"});
  const QDBusMessage folder = call(w, "setOutputFolder", {QString(200, QChar(0xe9))});
  EXPECT_EQ(folder.errorName(), "com.ostrevan.Marrowen.Error");
  EXPECT_EQ(folder.errorMessage().toStdString(), "The output folder is longer than 255 bytes");
  EXPECT_EQ(doc.outputNode()->newBaseDir, "/out");
  EXPECT_EQ(call(w, "setOutputExtension", {QString(256, 'e')}).errorMessage().toStdString(),
            "The extension is longer than 255 bytes");
  // An empty name says so, not that some permission was missing.
  EXPECT_EQ(call(w, "saveFilter", {""}).errorMessage().toStdString(),
            "Cannot create file. The file name is empty");
  EXPECT_EQ(call(w, "setInputBinaryFiles", {3}).errorName(), "com.ostrevan.Marrowen.Error");

  // A result holding a NUL byte cannot cross the bus.
  value(w, "addSimpleFilter", {22}); // hex decode
  EXPECT_EQ(call(w, "processString", {"00"}).errorName(), "com.ostrevan.Marrowen.Error");
  EXPECT_EQ(value(w, "processString", {"41"}).toString(), "A");
}

TEST_F(Automation, OutputAndReplaceSettingsAndCompileErrors) {
  const QString w = newWindow();
  TListDocument &doc = childAt(0).doc;
  value(w, "setOutputFolder", {"/out"});
  value(w, "setOutputFolder", {""});
  EXPECT_FALSE(doc.outputNode()->changeBaseDir);
  EXPECT_EQ(doc.outputNode()->newBaseDir, "");
  value(w, "setOutputClipboard");
  value(w, "setOutputFiles");
  EXPECT_EQ(doc.outputNode()->outputToFile, TOutputObject::files);
  value(w, "setInputFiles");
  EXPECT_TRUE(doc.inputNode()->inputFromFile);

  value(w, "addReplaceFilter", {"", "x", 0, true, false, false, true, 2});
  auto *search = dynamic_cast<TSearchObject *>(&doc.filterList().node(doc.selectedIndex()));
  ASSERT_NE(search, nullptr);
  EXPECT_TRUE(search->ignoreCase && search->promptOnReplace);
  // Compiling answers the build error as its result, and shows it nowhere.
  const QDBusMessage compiled = call(w, "compileFilter");
  ASSERT_EQ(compiled.type(), QDBusMessage::ReplyMessage) << compiled.errorMessage().toStdString();
  const QString failure = compiled.arguments().value(0).toString();
  EXPECT_EQ(failure.toStdString(),
            "Find String for 'Replace [] with [x] ,ignore case  prompt ' is blank");
  EXPECT_TRUE(errors.empty()) << "shown besides: " << errors.front();
  EXPECT_EQ(value(w, "processStringWithCompiledFilter", {"abc"}).toString(), "");
  // Not an empty text as if the list had run: the build error, as answered above.
  const QDBusMessage processed = call(w, "processString", {"abc"});
  EXPECT_EQ(processed.errorName(), "com.ostrevan.Marrowen.Error");
  EXPECT_EQ(processed.errorMessage(), failure);

  value(w, "addFile", {"/data/*.txt", 255, 2});
  EXPECT_EQ(doc.filterList().files.back().subfolders, "All");
  EXPECT_EQ(doc.filterList().files.back().action, "Subtract");
  value(w, "addFile", {"/data/*.log", 10, 7});
  EXPECT_EQ(doc.filterList().files.back().subfolders, "All");
  EXPECT_EQ(doc.filterList().files.back().action, "Subtract");
}

TEST_F(Automation, ObjectsLeaveTheBusWithTheirWindows) {
  const QString w = newWindow();
  value(w, "addSimpleFilter", {5});
  value(w, "close");
  // The list had changed: the main window is shown for the question.
  EXPECT_TRUE(form->isVisible());
  QCoreApplication::processEvents();
  EXPECT_EQ(call(w, "processString", {"a"}).errorName(),
            "org.freedesktop.DBus.Error.UnknownObject");

  const QString v = newWindow();
  EXPECT_NE(v, w);
  delete form->mdiArea().subWindowList().front();
  EXPECT_EQ(call(v, "addSimpleFilter", {5}).errorName(),
            "org.freedesktop.DBus.Error.UnknownObject");
}

// A second close while the first one's question whether to save is open
// answers an error and changes nothing: the window and its object stay, and
// Cancel on the question leaves both answering.
TEST_F(Automation, ACloseWhileTheWindowAsksWhetherToSaveIsRefused) {
  installProgramParts();
  const QString w = newWindow();
  ASSERT_NE(dynamic_cast<TchildForm *>(form->mdiArea().subWindowList().at(0)->widget()), nullptr);
  value(w, "addSimpleFilter", {5});
  int asked = 0;
  QDBusMessage second;
  ScopedDialogRunner question([&](QDialog &) {
    if (++asked == 1)
      second = call(w, "close");
    return int(QMessageBox::Cancel);
  });
  const QDBusMessage first = call(w, "close");
  QCoreApplication::processEvents();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(second.errorMessage().toStdString(),
            "The filter-list window is already being closed: its question whether to save is "
            "still open");
  EXPECT_EQ(first.errorMessage().toStdString(),
            "The filter-list window is still open: its changes were not saved");
  EXPECT_EQ(form->mdiArea().subWindowList().size(), 1);
  EXPECT_EQ(value(w, "processString", {"a"}).toString(), "A");
}

TEST_F(Automation, CallersOfAnotherUserAreRefused) {
  const QString w = newWindow();
  server->setCallerUser([](const QString &) { return ::getuid() + 1; });
  // The answer for a caller is kept: a new caller is asked about.
  QDBusConnection::disconnectFromBus(QStringLiteral("client"));
  client = std::make_unique<QDBusConnection>(
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client")));
  EXPECT_EQ(call("/Application", "newWindow").errorName(),
            "org.freedesktop.DBus.Error.AccessDenied");
  EXPECT_EQ(call(w, "addSimpleFilter", {5}).errorName(), "org.freedesktop.DBus.Error.AccessDenied");
  EXPECT_EQ(form->mdiArea().subWindowList().size(), 1);
  EXPECT_EQ(childAt(0).doc.filterList().count(), 3);
}

TEST_F(Automation, ASecondInstanceOffersNothing) {
  const QString name = QStringLiteral("com.ostrevan.Marrowen.Test%1").arg(::getpid());
  QDBusConnection other =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second"));
  {
    AutomationServer first(*form, QDBusConnection::sessionBus());
    AutomationServer second(*form, other);
    EXPECT_TRUE(first.start(name));
    EXPECT_FALSE(second.start(name));
    EXPECT_FALSE(other.objectRegisteredAt("/Application"));
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("second"));
}

// A caller that sees the name claimed finds the objects behind it: the
// program's own start-up is raced by a client polling for the name.
TEST_F(Automation, TheNameIsClaimedOnlyOnceTheObjectsAnswer) {
  QStringList errors;
  for (int round = 0; round < 20; ++round) {
    const QString name =
        QStringLiteral("com.ostrevan.Marrowen.Race%1x%2").arg(::getpid()).arg(round);
    const QString connectionName = QStringLiteral("race%1").arg(round);
    QDBusConnection own =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
    std::atomic<bool> done{false};
    QString answer;
    std::thread caller([&] {
      QDBusConnection polling = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                              connectionName + QStringLiteral("c"));
      QElapsedTimer waited;
      waited.start();
      while (!polling.interface()->isServiceRegistered(name).value() && waited.elapsed() < 20000)
        ;
      QDBusMessage message =
          QDBusMessage::createMethodCall(name, "/Application", appInterface, "version");
      answer = polling.call(message, QDBus::Block, 20000).errorName();
      done = true;
    });
    {
      AutomationServer server(*form, own);
      EXPECT_TRUE(server.start(name));
      while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    caller.join();
    QDBusConnection::disconnectFromBus(connectionName + QStringLiteral("c"));
    QDBusConnection::disconnectFromBus(connectionName);
    if (!answer.isEmpty())
      errors << answer;
  }
  EXPECT_TRUE(errors.isEmpty()) << errors.join(' ').toStdString();
}

// The program itself, offscreen, on a bus of the test's own.
class Program : public ::testing::Test {
protected:
  void SetUp() override {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
      GTEST_SKIP() << "no bus daemon";
    bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(bus.readLine().trimmed());
    connection = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address, QStringLiteral("program")));
    ASSERT_TRUE(connection->isConnected());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "HOME"}) {
      const QString folder = QString::fromStdString(dir.file(name));
      QDir().mkpath(folder);
      QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
      environment.insert(name, folder);
    }
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QString::fromStdString(dir.path()));
    program.start(QStringLiteral(MARROWEN_BINARY), {});
    for (int i = 0; i < 600 && !serving(); ++i)
      QThread::msleep(50);
    ASSERT_TRUE(serving()) << program.readAllStandardError().toStdString();
  }
  void TearDown() override {
    if (program.state() != QProcess::NotRunning) {
      program.terminate();
      if (!program.waitForFinished(20000))
        program.kill();
      program.waitForFinished();
    }
    connection.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("program"));
    if (bus.state() != QProcess::NotRunning) {
      bus.kill();
      bus.waitForFinished();
    }
  }
  bool serving() {
    return connection->interface()->isServiceRegistered(automationServiceName).value();
  }
  QDBusMessage call(const QString &path, const QString &method, const QVariantList &args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        automationServiceName, path, path == "/Application" ? appInterface : windowInterface,
        method);
    message.setArguments(args);
    return connection->call(message, QDBus::Block, 30000);
  }
  QVariant value(const QString &path, const QString &method, const QVariantList &args = {}) {
    const QDBusMessage reply = call(path, method, args);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments().value(0);
  }

  TempFolder dir;
  QProcess bus;
  QProcess program;
  std::unique_ptr<QDBusConnection> connection;
};

TEST_F(Program, ServesItsWindowsOnTheSessionBus) {
  const QString error = QStringLiteral("com.ostrevan.Marrowen.Error");
  EXPECT_EQ(value("/Application", "version").toString(), "5.6.3");
  const QString w = value("/Application", "newWindow").value<QDBusObjectPath>().path();
  EXPECT_EQ(value(w, "processStringWithCompiledFilter", {"abc"}).toString(), "");
  const int upper = value(w, "addSimpleFilter", {5}).toInt();
  EXPECT_EQ(value(w, "processString", {"abc"}).toString(), "ABC");
  EXPECT_EQ(call(w, "addSimpleFilter", {99}).errorName(), error);
  EXPECT_EQ(call(w, "setOutputFolder", {QString(300, 'f')}).errorName(), error);
  EXPECT_EQ(call(w, "makeSubfilterOf", {upper, upper}).errorName(), error);
  EXPECT_EQ(value(w, "processString", {"abc"}).toString(), "ABC");
  // Nested under a search, the upper-case filter sees only the found text.
  const int search =
      value(w, "addReplaceFilter", {"b", "b", 0, true, false, false, false, 2}).toInt();
  value(w, "makeSubfilterOf", {search, upper});
  EXPECT_EQ(value(w, "processString", {"abc"}).toString(), "aBc");
  value(w, "makeSubfilterOf", {search, upper}); // already there: stays the last child
  EXPECT_EQ(value(w, "processString", {"abc"}).toString(), "aBc");

  const QString file = QString::fromStdString(dir.file("upper.fll"));
  value(w, "clearAllFilters");
  value(w, "addSimpleFilter", {5});
  value(w, "saveFilter", {file});
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(value("/Application", "findWindow", {file}).value<QDBusObjectPath>().path(), w);
  const QString copy = QString::fromStdString(dir.file("copy.fll"));
  ASSERT_TRUE(QFile::copy(file, copy));
  const QString v = value("/Application", "findWindow", {copy}).value<QDBusObjectPath>().path();
  EXPECT_NE(v, w);
  EXPECT_EQ(value(v, "processString", {"xyz"}).toString(), "XYZ");
  value(v, "clearAllFilters");
  value(v, "addStringFilter", {0, ""});
  // A list that cannot be built answers every call that builds it with its
  // error, at once (compiling as its result); no message box waits for a person.
  program.readAllStandardError();
  EXPECT_EQ(value(v, "compileFilter").toString(), "String for 'Add left margin []' is blank");
  for (const char *building : {"processString", "execute", "executeClipboard"}) {
    const QDBusMessage reply = call(
        v, building, QString(building) == "processString" ? QVariantList{"q"} : QVariantList{});
    EXPECT_EQ(reply.errorName(), error) << building;
    EXPECT_EQ(reply.errorMessage(), "String for 'Add left margin []' is blank") << building;
  }
  EXPECT_EQ(program.readAllStandardError().indexOf("is blank"), -1);
  EXPECT_EQ(value(v, "openFilter", {file}).toBool(), true);
  EXPECT_EQ(value(v, "processString", {"q"}).toString(), "Q");

  value(w, "close");
  EXPECT_EQ(call(w, "processString", {"a"}).errorName(),
            "org.freedesktop.DBus.Error.UnknownObject");
  // A second instance finds the name taken and offers nothing.
  QProcess second;
  second.setProcessEnvironment(program.processEnvironment());
  second.start(QStringLiteral(MARROWEN_BINARY), {"/Q"});
  EXPECT_TRUE(second.waitForFinished(60000));
  EXPECT_EQ(value(v, "processString", {"q"}).toString(), "Q");
}

// SIGTERM to a copy with no display whose list was changed over the bus:
// nothing is written over the user's file (the headless answer to "Save it
// first?" is no answer here), and the log names the list whose changes went.
TEST_F(Program, ASignalNeverSavesOverTheUsersList) {
  const std::string mine = dir.file("mine.fll");
  const QString w = value("/Application", "newWindow").value<QDBusObjectPath>().path();
  value(w, "addSimpleFilter", {5});
  value(w, "saveFilter", {QString::fromStdString(mine)});
  const std::string saved = testing::readFile(mine);
  value(w, "addSimpleFilter", {6});
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(testing::readFile(mine), saved);
  const std::string unsaved = "Filter 'mine' has changed and was not saved: a signal ended the "
                              "program (its file [" +
                              mine + "] is as it was)";
  const std::string errors = program.readAllStandardError().toStdString();
  EXPECT_NE(errors.find(unsaved), std::string::npos) << errors;
  // The log is beside the program, or in the data folder where the user may
  // not write there.
  const std::filesystem::path programFolder = std::filesystem::path(MARROWEN_BINARY).parent_path();
  const std::filesystem::path logFolder =
      isFolderWritable(programFolder.string())
          ? programFolder
          : std::filesystem::path(dir.file("XDG_DATA_HOME")) / "Marrowen";
  EXPECT_NE(testing::readFile((logFolder / "marrowen.log").string()).find(unsaved),
            std::string::npos);
}

// One hostile call for each way a caller could be told a failure was a
// success: each answers its error and changes nothing.
TEST_F(Program, HostileCallsAnswerTheirErrorsAndChangeNothing) {
  const QString error = QStringLiteral("com.ostrevan.Marrowen.Error");
  const QString w = value("/Application", "newWindow").value<QDBusObjectPath>().path();
  EXPECT_EQ(w, "/FilterWindow/1");
  // Loads and saves that fail.
  QFile text(QString::fromStdString(dir.file("notes.txt")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("not a filter list\n");
  text.close();
  const QString missing = QString::fromStdString(dir.file("\u00dcbersicht.fll"));
  const QDBusMessage open = call(w, "openFilter", {missing});
  EXPECT_EQ(open.errorName(), error);
  EXPECT_TRUE(open.errorMessage().contains(QStringLiteral("\u00dcbersicht.fll")))
      << open.errorMessage().toStdString();
  EXPECT_EQ(call(w, "openFilter", {text.fileName()}).errorName(), error);
  value(w, "addSimpleFilter", {5});
  for (const QString &target : {QString::fromStdString(dir.file("none/x.fll")), QString("/")})
    EXPECT_EQ(call(w, "saveFilter", {target}).errorName(), error) << target.toStdString();
  ASSERT_EQ(::mkfifo(dir.file("pipe.fll").c_str(), 0600), 0);
  EXPECT_EQ(call(w, "saveFilter", {QString::fromStdString(dir.file("pipe.fll"))}).errorName(),
            error);
  struct stat info {};
  ::stat(dir.file("pipe.fll").c_str(), &info);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(call("/Application", "findWindow", {missing}).errorName(), error);
  // An empty name names no file: no unsaved window is handed out for it.
  EXPECT_EQ(call("/Application", "findWindow", {""}).errorName(), error);
  // The macro socket answers the same failure.
  QLocalSocket macro;
  macro.connectToServer(QString::fromStdString(dir.file("XDG_RUNTIME_DIR/marrowen/MarrowenDDE")));
  ASSERT_TRUE(macro.waitForConnected(5000));
  macro.write("[FileOpen(\"missing.fll\")]\n");
  macro.waitForBytesWritten(5000);
  QByteArray answer;
  while (!answer.endsWith('\n') && macro.waitForReadyRead(10000))
    answer += macro.readAll();
  EXPECT_TRUE(answer.startsWith("ERROR Cannot open file missing.fll")) << answer.toStdString();
  // Closing a window with unsaved changes that nobody may save.
  EXPECT_EQ(call(w, "close").errorName(), error);
  EXPECT_EQ(value(w, "processString", {"a"}).toString(), "A");
  // Values that would fill memory or cannot be told apart.
  EXPECT_EQ(call(w, "addFileList", {"/dev/zero"}).errorName(), error);
  EXPECT_EQ(call(w, "addNumberFilter", {3, 2147483647}).errorName(), error);
  EXPECT_EQ(value(w, "processString", {"a"}).toString(), "A");
  // A filter's error while the text runs is the answer, at once; its
  // information shows nowhere: no box waits for a person.
  value(w, "addScriptFilter",
        {"JScript", "function startJob() {}\nfunction endJob() {}\n"
                    "function startFile() { return ''; }\nfunction endFile() { return ''; }\n"
                    "function processLine(line, EOL) {\n"
                    "  if (line == 'BAD') Marrowen.logError('bad line');\n"
                    "  else logInfo('good');\n"
                    "  return line + EOL;\n}"});
  EXPECT_EQ(value(w, "compileFilter").toString(), "");
  for (const char *method : {"processString", "processStringWithCompiledFilter"}) {
    const QDBusMessage reported = call(w, method, {"bad"});
    EXPECT_EQ(reported.errorName(), error) << method;
    EXPECT_EQ(reported.errorMessage(), "bad line") << method;
    EXPECT_EQ(value(w, method, {"a"}).toString(), "A") << method;
  }
  // A replace that would ask a person answers its error where it would ask,
  // at once, without a dialog; a text it does not change still passes.
  value(w, "clearAllFilters");
  value(w, "addReplaceFilter", {"a", "b", 0, false, false, false, true, 0});
  QElapsedTimer asking;
  asking.start();
  const QDBusMessage asked = call(w, "processString", {"xaax"});
  EXPECT_EQ(asked.errorName(), error);
  EXPECT_TRUE(asked.errorMessage().contains("Prompt on replace"))
      << asked.errorMessage().toStdString();
  EXPECT_LT(asking.elapsed(), 5000);
  EXPECT_EQ(value(w, "processString", {"xyz"}).toString(), "xyz");
  // None of the failures made a window or an object of its own.
  EXPECT_EQ(value("/Application", "newWindow").value<QDBusObjectPath>().path(), "/FilterWindow/2");
}

} // namespace
} // namespace marrowen

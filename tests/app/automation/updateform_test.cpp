#include "app/automation/updateform.h"

#include "app/automation/httpget.h"
#include "fakewindow.h"

#include <QDateEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <clocale>

namespace marrowen {
namespace {

using testing::readFile;
using testing::waitFor;
using testing::writeFile;

// Answers each request with `answer`, after `delay` ms; a negative delay
// never answers.
class LoopbackServer : public QObject {
public:
  LoopbackServer() {
    server.listen(QHostAddress::LocalHost);
    connect(&server, &QTcpServer::newConnection, this, [this] {
      QTcpSocket *s = server.nextPendingConnection();
      auto *request = new QByteArray;
      connect(s, &QTcpSocket::readyRead, s, [this, s, request] {
        *request += s->readAll();
        if (!request->contains("\r\n\r\n"))
          return;
        requests << *request;
        if (delay >= 0)
          QTimer::singleShot(delay, s, [this, s] {
            s->write(answer);
            s->disconnectFromHost();
          });
      });
      connect(s, &QObject::destroyed, [request] { delete request; });
      connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    });
  }
  std::string base() const {
    return "http://127.0.0.1:" + std::to_string(server.serverPort()) + "/";
  }
  static QByteArray ok(const QByteArray &body) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
  }
  QTcpServer server;
  QByteArrayList requests;
  QByteArray answer = ok("Marrowen Pro,37227.5\r\n");
  int delay = 0;
};

class UpdateTest : public testing::MainWindowTest {
protected:
  void installHooks() override {
    installUpdateCheck();
    updateBaseAddress() = server.base();
  }
  void TearDown() override {
    delete TupdateForm::instance();
    testing::MainWindowTest::TearDown();
  }
  // The window shown, as the Help menu shows it, after a check.
  TupdateForm *checkNow() {
    showUpdateForm();
    TupdateForm *form = TupdateForm::instance();
    form->okButtonClick();
    waitFor([&] { return !form->httpGet().running(); });
    return form;
  }
  LoopbackServer server;
};

TEST_F(UpdateTest, UrlEncodingKeepsOnlyTheSafeCharacters) {
  EXPECT_EQ(urlEncode("Marrowen Pro"), "Marrowen+Pro");
  EXPECT_EQ(urlEncode("a/b"), "a%2fb");
  EXPECT_EQ(urlEncode("x.y_z-*"), "x.y_z-*");
  EXPECT_EQ(urlEncode("\xE9"), "%e9");
  EXPECT_EQ(urlEncode(""), "");
}

TEST_F(UpdateTest, NothingIsSentUntilTheUserHasCheckedOnce) {
  QCoreApplication::processEvents();
  EXPECT_EQ(main->settings().updateDate, 0);
  EXPECT_EQ(TupdateForm::instance(), nullptr);
  EXPECT_FALSE(waitFor([&] { return !server.requests.isEmpty(); }, 300));

  main->settings().emailAddress = "me@x.org";
  checkNow();
  ASSERT_EQ(server.requests.size(), 1);
  const QByteArray request = server.requests[0];
  EXPECT_TRUE(request.startsWith("GET /versions.txt?application=Marrowen+Pro&ver=5.6.3&name="));
  EXPECT_TRUE(request.contains("&email=me%40x.org HTTP/1.1\r\n"));
  EXPECT_TRUE(request.contains("User-Agent: Marrowen Pro\r\n"));
  EXPECT_EQ(main->settings().updateDate, todaySerial() + 3);

  // Once the date has come, a start checks on its own and closes unseen.
  main->settings().updateDate = todaySerial();
  EXPECT_TRUE(isUpdateCheckDue(main->settings()));
  delete TupdateForm::instance();
  boxTexts.clear();
  autoCheckForUpdate();
  EXPECT_TRUE(waitFor([&] { return server.requests.size() == 2 && !TupdateForm::instance(); }));
  EXPECT_TRUE(boxTexts.empty());
}

TEST_F(UpdateTest, AnswersAreReadAsTheVersionFileSays) {
  boxAnswer = QMessageBox::Yes;
  server.answer = LoopbackServer::ok("Other,1\r\nMarrowen Pro,37300.5\r\n");
  // The point is the decimal separator whatever the locale.
  QLocale::setDefault(QLocale(QLocale::German));
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  checkNow();
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_EQ(boxTexts[0], "A Marrowen Pro update is available - would you like to download it now?");
  EXPECT_EQ(launcher->opened, QStringList{makerSiteAddress()});

  TupdateForm *form = TupdateForm::instance();
  auto line = [&](const std::string &rest) {
    boxTexts.clear();
    form->checkVersionLine(rest);
    return boxTexts.empty() ? std::string() : boxTexts[0];
  };
  const std::string latest =
      "You already have the latest version of Marrowen Pro - no download is necessary";
  EXPECT_EQ(line("37227.5898724537"), latest);
  EXPECT_EQ(line("37227.5898724537,99999"), latest);
  EXPECT_EQ(line("1.2.3"), "Marrowen Pro date information found in invalid format 1.2.3");
  // Only a number is a date; a sign in front is part of one.
  for (const char *notNumber : {"nan", "inf", "-inf", "0x91AB", "1e999", "+", "+-1", "37228e"})
    EXPECT_EQ(line(notNumber),
              "Marrowen Pro date information found in invalid format " + std::string(notNumber));
  EXPECT_EQ(line("+37228"),
            "A Marrowen Pro update is available - would you like to download it now?");
  EXPECT_EQ(line(" 3.7e4 "), latest);
  form->HTTPGet1DoneString("Marrowen,1\n");
  EXPECT_EQ(boxTexts.back(), "Marrowen Pro update information not found");
  // Unseen, only an update is worth a word.
  form->hide();
  EXPECT_EQ(line("x"), "");
  EXPECT_EQ(line("1"), "");

  // With no screen and nobody to answer, the update is told, not opened.
  launcher->opened.clear();
  DialogRunner::setHeadless(true);
  {
    ScopedDialogRunner nobody({});
    form->checkVersionLine("37300.5");
  }
  DialogRunner::setHeadless(false);
  EXPECT_TRUE(launcher->opened.isEmpty());
}

// A status other than 200 is an error, reported once, without the toolkit's
// warning of a second one.
TEST_F(UpdateTest, ANotFoundAnswerIsOneErrorWithoutWarnings) {
  static std::vector<std::string> warnings;
  warnings.clear();
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg && !text.startsWith(QStringLiteral("This plugin does not support")))
          warnings.push_back(text.toStdString());
      });
  for (const QByteArray &answer :
       {QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 200\r\n\r\n") + QByteArray(200, 'x'),
        QByteArray("HTTP/1.0 404 Not Found\r\n\r\n") + QByteArray(5000, 'y')}) {
    server.answer = answer;
    TupdateForm *form = checkNow();
    EXPECT_EQ(form->statusText(), "Error connecting to web site");
    delete form;
  }
  qInstallMessageHandler(previous);
  EXPECT_TRUE(warnings.empty()) << warnings.front();
}

TEST_F(UpdateTest, FailedAnswersAreErrors) {
  const QByteArray big(70 * 1024, 'x');
  for (const QByteArray &answer :
       {QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 2\r\n\r\nno"),
        QByteArray("HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:1/\r\n\r\n"),
        LoopbackServer::ok(big), QByteArray("HTTP/1.0 200 OK\r\n\r\n") + big}) {
    server.answer = answer;
    TupdateForm *form = checkNow();
    EXPECT_EQ(form->statusText(), "Error connecting to web site") << answer.left(20).data();
    delete form;
  }
  // Nobody listening.
  QTcpServer closed;
  closed.listen(QHostAddress::LocalHost);
  updateBaseAddress() = "http://127.0.0.1:" + std::to_string(closed.serverPort()) + "/";
  closed.close();
  EXPECT_EQ(checkNow()->statusText(), "Error connecting to web site");
  delete TupdateForm::instance();
  // Unseen, a failure closes the window without a word.
  main->settings().updateDate = todaySerial();
  autoCheckForUpdate();
  ASSERT_NE(TupdateForm::instance(), nullptr);
  EXPECT_TRUE(waitFor([] { return TupdateForm::instance() == nullptr; }));
  EXPECT_EQ(main->settings().updateDate, todaySerial());
  // A stalled answer.
  updateBaseAddress() = server.base();
  server.delay = -1;
  showUpdateForm();
  TupdateForm::instance()->httpGet().Timeout = 200;
  TupdateForm::instance()->okButtonClick();
  EXPECT_TRUE(waitFor([] { return !TupdateForm::instance()->httpGet().running(); }));
  EXPECT_EQ(TupdateForm::instance()->statusText(), "Error connecting to web site");
  EXPECT_TRUE(boxTexts.empty());
}

TEST_F(UpdateTest, TheWindowsKeepRunningWhileTheServerHoldsItsAnswer) {
  server.delay = 2000;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(50);
  checkNow();
  // A loop held up for the answer ticks once at most; a busy machine may
  // let a running one tick only half as often as asked.
  EXPECT_GE(ticks, 10);
  // Closing mid-download: nothing is called back on the window gone.
  delete TupdateForm::instance();
  showUpdateForm();
  TupdateForm::instance()->okButtonClick();
  ASSERT_TRUE(waitFor([&] { return server.requests.size() == 2; }));
  TupdateForm::instance()->close();
  EXPECT_TRUE(waitFor([] { return TupdateForm::instance() == nullptr; }));
  QTest::qWait(2200);
}

// Enter presses OK as in any dialog; while the check runs the button is
// Close, and Enter in a field leaves the check alone.
TEST_F(UpdateTest, EnterPressesOkButNeverStopsTheCheck) {
  server.delay = 1000;
  showUpdateForm();
  TupdateForm *form = TupdateForm::instance();
  QTest::keyClick(form->checkWeb(), Qt::Key_Return);
  EXPECT_EQ(form->statusText(), "Checking for update...please wait");
  ASSERT_TRUE(waitFor([&] { return server.requests.size() == 1; }));
  QTest::keyClick(form->checkWeb(), Qt::Key_Return);
  EXPECT_TRUE(form->httpGet().running());
  EXPECT_TRUE(waitFor([&] { return !form->httpGet().running(); }));
}

TEST_F(UpdateTest, DontAskStoresTheDateAtOnce) {
  showUpdateForm();
  TupdateForm *form = TupdateForm::instance();
  EXPECT_EQ(form->nextDate()->date(), QDate::currentDate().addDays(30));
  form->dontAsk()->setChecked(true);
  form->nextDate()->setDate(QDate(2030, 1, 2));
  form->okButtonClick();
  EXPECT_TRUE(server.requests.isEmpty());
  const std::string key = "SOFTWARE\\Ostrevan\\Marrowen";
  EXPECT_EQ(store->readInteger(key, "updateDate", 0),
            QDate(1899, 12, 30).daysTo(QDate(2030, 1, 2)));
  EXPECT_TRUE(store->valueExists(key, "rootDir"));
  EXPECT_TRUE(store->valueExists(key, "emailAddress"));
}

TEST_F(UpdateTest, AFileIsReplacedOnlyByAWholeDownload) {
  const std::string target = dir.file("got.txt");
  writeFile(target, "old");
  THTTPGet get;
  get.URL = server.base() + "file";
  get.FileName = target;
  get.WaitThread = true;
  bool failed = false;
  get.OnError = [&] { failed = true; };
  server.answer = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly part";
  get.GetFile();
  EXPECT_TRUE(failed);
  EXPECT_EQ(readFile(target), "old");
  server.answer = LoopbackServer::ok("whole");
  std::int64_t size = 0;
  get.OnDoneFile = [&](const std::string &, std::int64_t n) { size = n; };
  get.GetFile();
  EXPECT_EQ(size, 5);
  EXPECT_EQ(readFile(target), "whole");
}

} // namespace
} // namespace marrowen

// automation_bench [SCALE]: a client on the session bus sends a 10 MB text
// through an upper-case list with processString, then 1,000 texts of 100
// bytes through the compiled list with processStringWithCompiledFilter.
// Fails when the first takes more than 1 s or the second more than 2 s,
// each limit multiplied by SCALE (default 1; ctest passes ten times what a
// quiet machine needs).
// Prints the times taken; exits with 0, saying so, when there is no bus.

#include "app/automation/automationobjects.h"
#include "app/listwindow/childform.h"
#include "app/main/mainform.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace marrowen;

int main(int argc, char **argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  QTemporaryDir config;
  setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (!QDBusConnection::sessionBus().isConnected()) {
    std::printf("no session bus: nothing measured\n");
    return 0;
  }
  TchildForm::install();
  auto *form = new TmainForm(QStringList{"marrowen"});
  AutomationServer server(*form, QDBusConnection::sessionBus());
  server.registerObjects();
  QDBusConnection client =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));

  const auto call = [&](const QString &path, const QString &interface, const QString &method,
                        const QVariantList &args) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QDBusConnection::sessionBus().baseService(), path, interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = client.asyncCall(message, 60000);
    while (!pending.isFinished())
      QCoreApplication::processEvents();
    const QDBusMessage reply = pending.reply();
    if (reply.type() != QDBusMessage::ReplyMessage) {
      std::fprintf(stderr, "%s failed: %s\n", qPrintable(method), qPrintable(reply.errorMessage()));
      std::exit(1);
    }
    return reply.arguments().value(0);
  };
  const QString window = call("/Application", "com.ostrevan.Marrowen.Application", "newWindow", {})
                             .value<QDBusObjectPath>()
                             .path();
  const QString filterWindow = QStringLiteral("com.ostrevan.Marrowen.FilterWindow");
  call(window, filterWindow, "addSimpleFilter", {5});

  QString big;
  big.reserve(10 * 1000 * 1000);
  while (big.size() < 10 * 1000 * 1000)
    big += QStringLiteral("the quick brown fox jumps over the lazy dog 0123456789\n");
  big.truncate(10 * 1000 * 1000);
  QElapsedTimer timer;
  timer.start();
  const QString upper = call(window, filterWindow, "processString", {big}).toString();
  const double whole = timer.elapsed() / 1000.0;
  if (upper != big.toUpper()) {
    std::fprintf(stderr, "processString gave a wrong result\n");
    return 1;
  }

  call(window, filterWindow, "compileFilter", {});
  const QString small = big.left(100);
  timer.restart();
  for (int i = 0; i < 1000; ++i)
    if (call(window, filterWindow, "processStringWithCompiledFilter", {small}).toString().size() !=
        100)
      return 1;
  const double many = timer.elapsed() / 1000.0;

  std::printf("processString of 10 MB: %.3f s (limit %.1f s)\n", whole, scale);
  std::printf("1,000 compiled calls of 100 bytes: %.3f s (limit %.1f s)\n", many, 2 * scale);
  QDBusConnection::disconnectFromBus(QStringLiteral("client"));
  delete form;
  return whole <= scale && many <= 2 * scale ? 0 : 1;
}

#include "app/common/quitsignals.h"

#include "app_testing.h"

#include <QDialog>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace marrowen {
namespace {

using QuitSignals = testing::AppTest;

// A quit that arrives while a modal dialog of the window runs (the tip of
// the day, a question) ends the dialog first; the window, which deletes
// itself on closing, goes only once the dialog's loop has returned.
TEST_F(QuitSignals, AWindowClosesOnlyAfterItsModalDialogHasReturned) {
  QPointer<QWidget> window = new QWidget;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  int answer = -1;
  bool windowAliveAfterDialog = false;
  QEventLoop mainLoop;
  QTimer::singleShot(0, [&] {
    QDialog dialog(window);
    QTimer::singleShot(0, [&] { closeAfterModalLoops(window); });
    answer = dialog.exec();
    windowAliveAfterDialog = !window.isNull();
  });
  QTimer::singleShot(5000, &mainLoop, &QEventLoop::quit);
  QTimer::singleShot(0, [&] {
    // Quits the outer loop once the window has gone.
    auto *poll = new QTimer(&mainLoop);
    QObject::connect(poll, &QTimer::timeout, [&] {
      if (!window)
        mainLoop.quit();
    });
    poll->start(5);
  });
  mainLoop.exec();
  EXPECT_EQ(answer, QDialog::Rejected);
  EXPECT_TRUE(windowAliveAfterDialog);
  EXPECT_TRUE(window.isNull());
}

} // namespace
} // namespace marrowen

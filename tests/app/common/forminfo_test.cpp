#include "app/common/forminfo.h"

#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/childform.h"
#include "app/main/commandlineform.h"
#include "app/main/mainform.h"
#include "app_testing.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTest>

namespace marrowen {
namespace {

// The real main window with its list windows, whose workspace frames are
// what a user maximizes and restores.
class FormInfoInMainForm : public testing::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    TchildForm::install();
    main = std::make_unique<TmainForm>(QStringList{"marrowen"});
    main->resize(900, 700);
    main->show();
    main->jobHost().setShowStatusWindows(true);
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    main.reset();
    QCoreApplication::processEvents();
    mainFormHooks() = MainFormHooks();
    AppTest::TearDown();
  }
  std::string key(const QString &formName, bool underProgramName = true) {
    QWidget probe;
    TFormInfo info(&probe, formName);
    if (!underProgramName)
      info.AppName.clear();
    return info.key();
  }
  QMdiSubWindow *maximizedList() {
    main->CreateMDIChild();
    QMdiSubWindow *frame = main->mdiArea().activeSubWindow();
    frame->showMaximized();
    QCoreApplication::processEvents();
    return frame;
  }
  QWidget *statusFrame() {
    auto status = main->jobHost().createStatusWindow().lock();
    QCoreApplication::processEvents();
    return dynamic_cast<QWidget &>(*status).parentWidget();
  }
  std::unique_ptr<TmainForm> main;
};

void closeFrame(QWidget *frame) {
  frame->close();
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The main window left maximized opens maximized, filling the screen, and
// goes back to its normal rectangle.
TEST_F(FormInfoInMainForm, TheMainWindowLeftMaximizedOpensMaximized) {
  main.reset();
  const std::string k = key("mainForm");
  store->writeInteger(k, "Left", 40);
  store->writeInteger(k, "Top", 30);
  store->writeInteger(k, "Width", 620);
  store->writeInteger(k, "Height", 500);
  store->writeBool(k, "WindowState", false);
  main = std::make_unique<TmainForm>(QStringList{"marrowen"});
  main->show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(main->isMaximized());
  EXPECT_EQ(main->frameGeometry().size(), main->screen()->availableGeometry().size());
  main->showNormal();
  QCoreApplication::processEvents();
  EXPECT_EQ(main->size(), QSize(620, 500));
}

// A workspace window left maximized opens maximized again, filling the
// workspace, and a maximized list under it stays maximized.
TEST_F(FormInfoInMainForm, WorkspaceWindowsLeftMaximizedOpenMaximizedOverAMaximizedList) {
  QMdiSubWindow *list = maximizedList();
  const QRect whole = main->mdiArea().viewport()->rect();
  QWidget *status = statusFrame();
  status->showMaximized();
  closeFrame(status);
  EXPECT_FALSE(store->readBool(key("TstatusForm"), "WindowState", true));
  status = statusFrame();
  EXPECT_TRUE(status->isMaximized());
  EXPECT_EQ(status->geometry(), whole);
  EXPECT_TRUE(list->isMaximized());
  closeFrame(status);

  const std::string commandLine = key("commandLineForm", false);
  store->writeInteger(commandLine, "Width", 440);
  store->writeInteger(commandLine, "Height", 310);
  store->writeBool(commandLine, "WindowState", false);
  main->ShowCommandLineClick();
  QCoreApplication::processEvents();
  QWidget *frame = main->commandLineForm()->parentWidget();
  EXPECT_TRUE(frame->isMaximized());
  EXPECT_EQ(frame->geometry(), whole);
  EXPECT_FALSE(main->commandLineForm()->isWindow());
  EXPECT_TRUE(list->isMaximized());
  frame->showNormal();
  EXPECT_EQ(frame->size(), QSize(440, 310));
}

// The next job's window opens at the size the last one was left at, though
// the last one goes only after the next has come.
TEST_F(FormInfoInMainForm, EachStatusWindowOpensAtTheSizeTheLastWasLeftAt) {
  QWidget *first = statusFrame();
  first->resize(610, 420);
  QCoreApplication::processEvents();
  QWidget *second = statusFrame();
  EXPECT_EQ(second->size(), QSize(610, 420));
}

} // namespace
} // namespace marrowen

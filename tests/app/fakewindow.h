#pragma once

#include "app/main/mainform.h"
#include "app_testing.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace marrowen::testing {

// A filter-list window that records what it is asked to do.
class FakeListWindow : public QWidget, public FilterListWindow {
public:
  QWidget *widget() override { return this; }
  std::string fileName() const override { return name; }
  bool filterHasChanged() const override { return false; }
  bool loadFilterList(const std::string &file, const LoadListOptions &) override {
    name = file;
    loaded.push_back(file);
    return true;
  }
  bool testThenAdd(const std::string &) override { return true; }
  void showFilesPage() override {}
  void checkButtonsEnableStatus() override {}
  void Save() override {}
  void addDescriptionFilter(int) override {}
  void addNumberFilter(int) override {}
  void updateTrialFont(const QFont &) override {}
  void beginButtonClick(bool clipboard) override { goes.push_back(clipboard); }

  std::string name;
  std::vector<std::string> loaded;
  std::vector<bool> goes;
};

inline bool waitFor(const std::function<bool()> &done, int ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// A main window whose new filter-list windows are fakes.
class MainWindowTest : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    mainFormHooks().createChild = [this](QMdiArea &area) -> FilterListWindow * {
      auto *child = new FakeListWindow;
      area.addSubWindow(child);
      made.push_back(child);
      return child;
    };
    installHooks();
    main = std::make_unique<TmainForm>(QStringList{"marrowen"});
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    main.reset();
    mainFormHooks() = MainFormHooks();
    AppTest::TearDown();
  }
  virtual void installHooks() {}

  std::unique_ptr<TmainForm> main;
  std::vector<FakeListWindow *> made;
};

} // namespace marrowen::testing

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The script engine needs the program's application object; the windows
// make one at start-up, the tests here.
class QtApplication : public ::testing::Environment {
public:
  void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

private:
  int argc_ = 1;
  char name_[16] = "scriptfilter";
  char *argv_[2] = {name_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace

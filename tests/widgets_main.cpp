#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// A test that moves the process to another working folder must put it back:
// a later test would write its relative names there ("/" as root, or a
// removed temporary folder).
class WorkingFolderKept : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo &) override { folder_ = current(); }
  void OnTestEnd(const ::testing::TestInfo &) override {
    if (current() != folder_) {
      ADD_FAILURE() << "the test left the working folder at " << current() << ", not " << folder_;
      std::error_code ignored;
      std::filesystem::current_path(folder_, ignored);
    }
  }
  static std::string current() {
    std::error_code error;
    return std::filesystem::current_path(error).string();
  }
  std::string folder_;
};

} // namespace

// Widgets need an application object before the first one is made. Test
// discovery at build time runs without a display, so the tests then draw
// offscreen; the variable must be set before QApplication reads it.
int main(int argc, char **argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new WorkingFolderKept);
  return RUN_ALL_TESTS();
}

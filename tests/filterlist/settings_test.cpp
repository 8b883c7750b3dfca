#include "filterlist/settings.h"

#include "classlib/program.h"
#include "filterlist/filterlist_testing.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace marrowen::testing {

namespace {

struct TestSettings {
  TempFolder folder;
  std::unique_ptr<SettingsStore> store;
  int generation = 0;
};

TestSettings &state() {
  static TestSettings settings;
  return settings;
}

// Every test of this program reads and writes settings in a store of its own,
// never the user's.
class SettingsEnvironment : public ::testing::Environment {
public:
  void SetUp() override { resetTestSettings(); }
  void TearDown() override {
    useSettingsStore(nullptr);
    state().store.reset();
  }
};

const auto *environment = ::testing::AddGlobalTestEnvironment(new SettingsEnvironment);

class FreshSettings : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo &) override { resetTestSettings(); }
};

const bool listening = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings);
  return true;
}();

} // namespace

void resetTestSettings() {
  TestSettings &s = state();
  useSettingsStore(nullptr);
  s.store = std::make_unique<SettingsStore>(
      s.folder.file("settings" + std::to_string(++s.generation) + ".ini"));
  useSettingsStore(s.store.get());
}

SettingsStore &testSettings() { return *state().store; }

TEST(Settings, AbsentValuesReadAsTheirDefaults) {
  EXPECT_EQ(readStringSetting("newExtension", ".txt"), ".txt");
  EXPECT_EQ(readIntegerSetting("fixedLength", 80), 80);
  EXPECT_TRUE(readBoolSetting("removeBad", true));
  EXPECT_FALSE(readBoolSetting("removeBad", false));
}

TEST(Settings, WritesHandTheirValueBackAndAreReadUnderTheProgramsKey) {
  EXPECT_EQ(writeStringSetting("newBaseDir", std::string("c:\\out\0x", 9)),
            std::string("c:\\out\0x", 9));
  EXPECT_EQ(writeIntegerSetting("fixedLength", -7), -7);
  EXPECT_FALSE(writeBoolSetting("removeBad", false));

  EXPECT_EQ(readStringSetting("newBaseDir", ""), std::string("c:\\out\0x", 9));
  EXPECT_EQ(readIntegerSetting("fixedLength", 80), -7);
  EXPECT_FALSE(readBoolSetting("removeBad", true));
  EXPECT_EQ(testSettings().readInteger(program::registryKey, "fixedLength", 0), -7);
}

TEST(Settings, AValueOfAnotherTypeReadsAsTheDefault) {
  writeStringSetting("fixedLength", "eighty");
  EXPECT_EQ(readIntegerSetting("fixedLength", 80), 80);
  writeIntegerSetting("newExtension", 3);
  EXPECT_EQ(readStringSetting("newExtension", ".txt"), ".txt");
}

TEST(Settings, ATextBeyondAnEditsLimitIsNotRemembered) {
  writeStringSetting("singleFilename", "merged.txt");
  const std::string huge(10'000'000, 'x');
  EXPECT_EQ(writeStringSetting("singleFilename", huge).size(), huge.size());
  EXPECT_EQ(readStringSetting("singleFilename", ""), "merged.txt");
  EXPECT_LT(std::filesystem::file_size(testSettings().file()), 4096u);
  // One already stored (by an older version) reads as the default.
  testSettings().writeString(program::registryKey, "newBaseDir", huge);
  EXPECT_EQ(readStringSetting("newBaseDir", "c:\\"), "c:\\");
  const std::string longest(rememberedTextLimit, 'y');
  writeStringSetting("newBaseDir", longest);
  EXPECT_EQ(readStringSetting("newBaseDir", ""), longest);
}

TEST(Settings, ValuesSurviveAReopenedStore) {
  writeStringSetting("singleFilename", "merged.txt");
  SettingsStore again(testSettings().file());
  EXPECT_EQ(again.readString(program::registryKey, "singleFilename", ""), "merged.txt");
}

} // namespace marrowen::testing

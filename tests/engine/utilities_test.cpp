#include "classlib/paths.h"
#include "classlib/program.h"
#include "engine/registryhelpers.h"
#include "engine/utilities.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

using namespace marrowen;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

TEST(Utilities, TrailingSeparator) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, // no folder stays no folder, never the root
      {"/", "/"}, {"a", "a/"}, {"/tmp/x/", "/tmp/x/"}, {"a\\", "a\\/"},
  };
  for (auto [in, out] : cases) {
    std::string folder = in;
    IncludeTrailingBackslash(folder);
    EXPECT_EQ(folder, out) << in;
  }
}

TEST(Utilities, Wildcards) {
  EXPECT_TRUE(hasWildcards("/data/*.txt"));
  EXPECT_TRUE(hasWildcards("/data/file?.txt"));
  EXPECT_FALSE(hasWildcards("/data/file.txt"));
  EXPECT_FALSE(hasWildcards(""));
}

TEST(Utilities, LongNamesAreTheNamesAsWritten) {
  std::string name;
  longFileName("/usr/share/doc", name);
  EXPECT_EQ(name, "doc");
  longFileName("plain", name);
  EXPECT_EQ(name, "plain");
  longFileName("/ends/with/", name);
  EXPECT_EQ(name, "");
  std::string result;
  expandLongPathName("/data/*/more/file.txt", result);
  EXPECT_EQ(result, "/data/*/more/file.txt");
}

TEST(Utilities, ProgramFolderEndsWithASeparator) {
  std::string folder;
  getProgramFolder(folder);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(folder, programFolder());
  EXPECT_EQ(getApplicationFolder(), folder);
}

TEST(SequentiallyScannedStream, ReadsAnExistingFileOnly) {
  TempFolder folder;
  std::string name = folder.file("input.txt");
  writeFile(name, "line 1\nline 2\n");
  TSequentiallyScannedStream in(name);
  EXPECT_EQ(in.ReadAll(), "line 1\nline 2\n");
  EXPECT_THROW(in.WriteBuffer("x", 1), EStreamError);
  std::string missing = folder.file("missing.txt");
  try {
    TSequentiallyScannedStream s(missing);
    FAIL();
  } catch (const EFOpenError &e) {
    EXPECT_EQ(e.message(), "Cannot open file " + missing);
  }
}

TEST(RegistryReaders, DefaultsForAbsentValuesAndRegistryErrors) {
  TempFolder folder;
  SettingsStore store(folder.file("settings.ini"));
  TRegistry reg(store);
  ASSERT_TRUE(reg.OpenKey(program::registryKey, true));
  EXPECT_EQ(readString(reg, "soundFile", "sound.wav"), "sound.wav");
  EXPECT_EQ(readInteger(reg, "FileHistoryEntries", 9), 9);
  EXPECT_TRUE(readBool(reg, "showWizard", true));

  reg.WriteString("soundFile", "bell.wav");
  reg.WriteInteger("FileHistoryEntries", 4);
  reg.WriteBool("showWizard", false);
  EXPECT_EQ(readString(reg, "SOUNDFILE", "sound.wav"), "bell.wav");
  EXPECT_EQ(readInteger(reg, "fileHistoryEntries", 9), 4);
  EXPECT_FALSE(readBool(reg, "ShowWizard", true));

  // A value of another type is a registry error: the default, nothing raised.
  EXPECT_EQ(readInteger(reg, "soundFile", 7), 7);
  EXPECT_TRUE(readBool(reg, "soundFile", true));
  EXPECT_EQ(readString(reg, "FileHistoryEntries", "d"), "d");

  // The readers see the key through any spelling of its path.
  TRegistry other(store);
  ASSERT_TRUE(other.OpenKey("Software\\ostrevan\\MARROWEN", false));
  EXPECT_EQ(readString(other, "soundFile", ""), "bell.wav");
}

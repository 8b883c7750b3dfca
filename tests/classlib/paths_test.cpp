#include "classlib/paths.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace marrowen;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

TEST(Paths, TrailingSeparatorAndJoin) {
  EXPECT_EQ(includeTrailingSeparator(""), "");
  EXPECT_EQ(includeTrailingSeparator("/a"), "/a/");
  EXPECT_EQ(includeTrailingSeparator("/a/"), "/a/");
  EXPECT_EQ(joinPath("/a", "b"), "/a/b");
  EXPECT_EQ(joinPath("/a/", "/b"), "/a/b");
  EXPECT_EQ(joinPath("", "b"), "b");
  EXPECT_EQ(extractFilePath("/a/b.log"), "/a/");
  EXPECT_EQ(extractFilePath("b.log"), "");
  EXPECT_EQ(extractFileName("/a/b.log"), "b.log");
}

TEST(Paths, ProgramFolderIsTheExecutablesUnlessOverridden) {
  std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(programFolder(), extractFilePath(exe));
  overrideProgramFolder("/somewhere");
  EXPECT_EQ(programFolder(), "/somewhere/");
  overrideProgramFolder("");
  EXPECT_EQ(programFolder(), extractFilePath(exe));
}

TEST(Paths, DataFolderFollowsXdg) {
  const char *old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("XDG_DATA_HOME", "/xdg/data", 1);
  EXPECT_EQ(writableDataFolder(), "/xdg/data/Marrowen/");
  setenv("XDG_DATA_HOME", "relative", 1); // relative: ignored
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(writableDataFolder(), "/home/someone/.local/share/Marrowen/");
  setenv("HOME", savedHome.c_str(), 1);
  if (old)
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

TEST(Paths, WritesGoToDataFolderWhenProgramFolderIsNotWritable) {
  TempFolder dir;
  writeFile(dir.file("plain"), "");
  setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  overrideProgramFolder(dir.path());
  EXPECT_EQ(fileForWriting("x.log"), dir.file("x.log"));
  // A regular file in place of the program folder cannot take new files,
  // even for root.
  overrideProgramFolder(dir.file("plain"));
  EXPECT_EQ(fileForWriting("x.log"), dir.file("data/Marrowen/x.log"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("data/Marrowen")));
  // Reading looks beside the program first.
  overrideProgramFolder(dir.path());
  writeFile(dir.file("data/Marrowen/tips.txt"), "data");
  EXPECT_EQ(fileForReading("tips.txt"), dir.file("data/Marrowen/tips.txt"));
  writeFile(dir.file("tips.txt"), "program");
  EXPECT_EQ(fileForReading("tips.txt"), dir.file("tips.txt"));
  overrideProgramFolder("");
  unsetenv("XDG_DATA_HOME");
}

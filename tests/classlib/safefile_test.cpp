#include "classlib/safefile.h"

#include "classlib/temporaries.h"
#include "support/temp_folder.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace marrowen;
using namespace marrowen::testing;
namespace fs = std::filesystem;

TEST(ReplaceFileContents, KeepsTheTargetsBitsAndALinkToIt) {
  TempFolder folder;
  writeFile(folder.file("real.txt"), "old");
  ::chmod(folder.file("real.txt").c_str(), 0640);
  fs::create_symlink(folder.file("real.txt"), folder.file("link.txt"));

  ASSERT_TRUE(replaceFileContents(folder.file("link.txt"), std::string("new\0bytes", 9)));

  EXPECT_TRUE(fs::is_symlink(folder.file("link.txt")));
  EXPECT_EQ(readFile(folder.file("real.txt")), std::string("new\0bytes", 9));
  EXPECT_EQ(fs::status(folder.file("real.txt")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(folder.listing(), "link.txt real.txt");
}

TEST(ReplaceFileContents, ANewFileTakesTheModeAsked) {
  TempFolder folder;
  ASSERT_TRUE(replaceFileContents(folder.file("private"), "x", 0600));
  EXPECT_EQ(fs::status(folder.file("private")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST(ReplaceFileContents, AFailureLeavesTheTargetAndNoTemporaryFile) {
  TempFolder folder;
  const FileReplaceResult missing = replaceFileContents(folder.file("no/such/folder"), "x");
  EXPECT_FALSE(missing.created);
  EXPECT_NE(missing.error, 0);

  // A folder in the target's place is refused before anything is written.
  fs::create_directory(folder.file("dir"));
  const FileReplaceResult blocked = replaceFileContents(folder.file("dir"), "x");
  EXPECT_EQ(blocked.error, EISDIR);
  EXPECT_TRUE(fs::is_directory(folder.file("dir")));
  EXPECT_EQ(folder.listing(), "dir");
}

// A program ended while it saves (by a signal: the watchdog removes the
// temporaries, then exits) leaves the old file and nothing beside it.
TEST(ReplaceFileContents, AProgramEndedDuringASaveLeavesNoTemporaryFile) {
  TempFolder folder;
  writeFile(folder.file("list.fll"), "old");
  EXPECT_EXIT(
      {
        const std::string bytes(32 << 20, 'x');
        std::thread([&] { replaceFileContents(folder.file("list.fll"), bytes); }).detach();
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (folder.listing() == "list.fll" && std::chrono::steady_clock::now() < giveUp) {
        }
        removeAllTemporaries();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(folder.listing(), "list.fll");
  EXPECT_EQ(readFile(folder.file("list.fll")), "old");
}

// A rename would turn a pipe into a plain file; a file of another group
// would silently become the user's own.
TEST(ReplaceFileContents, RefusesSpecialFilesAndKeepsTheGroup) {
  TempFolder folder;
  ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(replaceFileContents(folder.file("pipe"), "text"));
  EXPECT_TRUE(fs::is_fifo(folder.file("pipe")));
  EXPECT_EQ(folder.listing(), "pipe");

  writeFile(folder.file("shared.txt"), "old");
  const gid_t other = ::getuid() == 0 ? 65534 : ::getgid();
  ASSERT_EQ(::chown(folder.file("shared.txt").c_str(), static_cast<uid_t>(-1), other), 0);
  ASSERT_TRUE(replaceFileContents(folder.file("shared.txt"), "new"));
  struct stat info {};
  ::stat(folder.file("shared.txt").c_str(), &info);
  EXPECT_EQ(info.st_gid, other);
}

#include "classlib/safefile.h"

#include "support/temp_folder.h"

#include <filesystem>

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

  // A folder in the target's place: the temporary is written, the rename fails.
  fs::create_directory(folder.file("dir"));
  const FileReplaceResult blocked = replaceFileContents(folder.file("dir"), "x");
  EXPECT_TRUE(blocked.created);
  EXPECT_NE(blocked.error, 0);
  EXPECT_TRUE(fs::is_directory(folder.file("dir")));
  EXPECT_EQ(folder.listing(), "dir");
}

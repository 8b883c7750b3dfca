#include "components/fileutil.h"
#include "qt_printing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace marrowen;

TEST(FileNames, OnlyEmptyNamesNulAndDoubleQuotesAreInvalid) {
  EXPECT_FALSE(IsValidFileName(""));
  EXPECT_FALSE(IsValidFileName(QString("a") + QChar(0) + "b"));
  EXPECT_FALSE(IsValidFileName("say \"hi\""));
  for (const char *name : {"report[1].txt", "a<b>c", "x|y", "/tmp/dir with blanks/f"})
    EXPECT_TRUE(IsValidFileName(name)) << name;
}

TEST(FileNames, PathsKeepExistingComponentsAndEmptyTheMissingOnes) {
  QTemporaryDir dir;
  QDir().mkpath(dir.filePath("sub"));
  QFile(dir.filePath("sub/f.txt")).open(QIODevice::WriteOnly);
  const QString file = dir.filePath("sub/f.txt");
  EXPECT_EQ(LongPathOf(file), file);
  EXPECT_EQ(ShortPathOf(file), file);
  EXPECT_EQ(LongFileNameOf(file), "f.txt");
  EXPECT_EQ(LongPathOf(dir.filePath("gone/f.txt")), dir.path() + "//");
  EXPECT_TRUE(FolderExists(dir.filePath("sub")));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_FALSE(FolderExists(""));
}

TEST(FileNames, AnExistingFileWithBlanksIsItsOwnNameElseTheFirstToken) {
  QTemporaryDir dir;
  const QString spaced = dir.filePath("my file.txt");
  QFile(spaced).open(QIODevice::WriteOnly);
  EXPECT_EQ(FileNameOfText(spaced), spaced);
  EXPECT_EQ(FileNameOfText("/no such/file"), "/no");
  EXPECT_EQ(FileNameOfText("\"/opt/my tool\" -x"), "/opt/my tool");
  EXPECT_EQ(QuotedFileName("a b"), "\"a b\"");
  EXPECT_EQ(QuotedFileName("\"a b\" c"), "\"a b\" c");
  EXPECT_EQ(QuotedFileName("ab"), "ab");
}

#include "classlib/exceptions.h"
#include "classlib/streams.h"
#include "support/error_message.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace marrowen;
using marrowen::testing::errorOf;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

namespace {} // namespace

TEST(FileStream, WriteSeekReadBack) {
  TempFolder folder;
  std::string name = folder.file("data.bin");
  {
    TFileStream out(name, TFileMode::fmCreate);
    out.WriteBuffer(std::string("hello\0world", 11));
    EXPECT_EQ(out.Position(), 11);
    EXPECT_EQ(out.Size(), 11);
    out.Seek(-5, TSeekOrigin::soEnd);
    out.WriteBuffer("WORLD", 5);
  }
  TFileStream in(name, TFileMode::fmOpenRead);
  char buffer[16] = {};
  EXPECT_EQ(in.Read(buffer, sizeof buffer), 11u);
  EXPECT_EQ(std::string(buffer, 11), std::string("hello\0WORLD", 11));
  EXPECT_EQ(in.Read(buffer, sizeof buffer), 0u) << "at the end";
  in.SetPosition(6);
  EXPECT_EQ(in.ReadAll(), "WORLD");
}

TEST(FileStream, ShortReadRaises) {
  TempFolder folder;
  std::string name = folder.file("short.bin");
  writeFile(name, "abc");
  TFileStream in(name, TFileMode::fmOpenRead);
  char buffer[4];
  EXPECT_EQ(errorOf([&] { in.ReadBuffer(buffer, 4); }), "Stream read error");
  in.SetPosition(0);
  EXPECT_EQ(errorOf([&] { in.ReadBuffer(buffer, 3); }), "no error");
  EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST(FileStream, FailedWritesRaise) {
  TempFolder folder;
  std::string name = folder.file("ro.bin");
  writeFile(name, "abc");
  TFileStream readOnly(name, TFileMode::fmOpenRead);
  EXPECT_EQ(errorOf([&] { readOnly.WriteBuffer("x", 1); }),
            "Cannot write file " + name + ". Bad file descriptor");
  // A full device: nothing of the block may pass for written, and the
  // message says why.
  TFileStream full("/dev/full", TFileMode::fmOpenWrite);
  EXPECT_EQ(errorOf([&] { full.WriteBuffer(std::string(10000, 'x')); }),
            "Cannot write file /dev/full. No space left on device");
}

TEST(FileStream, OpenAndCreateErrorsNameTheFile) {
  TempFolder folder;
  std::string missing = folder.file("missing.txt");
  std::string noFolder = folder.file("none/new.txt");
  EXPECT_EQ(errorOf([&] { TFileStream s(missing, TFileMode::fmOpenRead); }),
            "Cannot open file " + missing);
  EXPECT_EQ(errorOf([&] { TFileStream s(missing, TFileMode::fmOpenReadWrite); }),
            "Cannot open file " + missing);
  EXPECT_EQ(errorOf([&] { TFileStream s(noFolder, TFileMode::fmCreate); }),
            "Cannot create file " + noFolder + ". No such file or directory");
  EXPECT_EQ(errorOf([&] { TFileStream s(folder.path(), TFileMode::fmCreate); }),
            "Cannot create file " + folder.path() + ". Is a directory");
  // A folder opens on Linux, but it is not a file to read.
  EXPECT_EQ(errorOf([&] { TFileStream s(folder.path(), TFileMode::fmOpenRead); }),
            "Cannot open file " + folder.path());
  EXPECT_THROW(TFileStream(missing, TFileMode::fmOpenRead), EStreamError);
}

TEST(FileStream, SizesAndPositionsBeyondFourGigabytes) {
  TempFolder folder;
  TFileStream s(folder.file("sparse.bin"), TFileMode::fmCreate);
  const std::int64_t big = (std::int64_t{5} << 30) + 3;
  s.SetSize(big);
  EXPECT_EQ(s.Size(), big);
  EXPECT_EQ(s.Seek(-1, TSeekOrigin::soEnd), big - 1);
  s.WriteBuffer("z", 1);
  s.SetPosition(big - 1);
  char c = 0;
  s.ReadBuffer(&c, 1);
  EXPECT_EQ(c, 'z');
  s.SetSize(10);
  EXPECT_EQ(s.Position(), 10);
}

// Files read whole before anything else happens: a device or a pipe is
// refused at once instead of filling memory or waiting for a writer.
TEST(ReadRegularFile, RefusesDevicesPipesFoldersAndFilesBeyondTheLimit) {
  TempFolder folder;
  writeFile(folder.file("list.txt"), "a\nb\n");
  EXPECT_EQ(readRegularFile(folder.file("list.txt"), 4), "a\nb\n");
  EXPECT_EQ(errorOf([&] { readRegularFile(folder.file("list.txt"), 3); }),
            "Cannot read file " + folder.file("list.txt") + ": it is larger than 3 bytes");
  ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0600), 0);
  EXPECT_EQ(errorOf([&] { readRegularFile(folder.file("pipe"), listFileLimit); }),
            "Cannot open file " + folder.file("pipe") + ". It is not a regular file");
  EXPECT_THROW(readRegularFile("/dev/zero", listFileLimit), EFOpenError);
  EXPECT_THROW(checkRegularFile(folder.path(), listFileLimit), EFOpenError);
}

TEST(MemoryStream, ReadsWritesAndSeeks) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  m.SetPosition(8);
  m.WriteBuffer("Z", 1);
  EXPECT_EQ(m.Data(), std::string("abcdef\0\0Z", 9));
  m.SetPosition(2);
  char buffer[8];
  m.ReadBuffer(buffer, 3);
  EXPECT_EQ(std::string(buffer, 3), "cde");
  EXPECT_EQ(errorOf([&] { m.ReadBuffer(buffer, 5); }), "Stream read error");
  EXPECT_EQ(errorOf([&] { m.Seek(-1, TSeekOrigin::soBeginning); }), "Stream seek error");
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  EXPECT_EQ(m.Read(buffer, 3), 0u);
}

TEST(MemoryStream, CopiesToAndFromFiles) {
  TempFolder folder;
  std::string name = folder.file("copy.bin");
  std::string bytes;
  for (int i = 0; i < 200000; ++i)
    bytes += static_cast<char>(i * 7);
  TMemoryStream m(bytes);
  m.SaveToFile(name);
  TFileStream file(name, TFileMode::fmOpenRead);
  TMemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(file, 0), 200000);
  EXPECT_EQ(copy.Data(), bytes);
  file.SetPosition(199990);
  EXPECT_EQ(errorOf([&] { copy.CopyFrom(file, 11); }), "Stream read error");
  TMemoryStream loaded;
  loaded.LoadFromFile(name);
  EXPECT_EQ(loaded.Data(), bytes);
  EXPECT_EQ(readFileBytes(name), bytes);
}

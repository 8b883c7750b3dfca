#include "classlib/inifile.h"

#include "classlib/exceptions.h"
#include "classlib/registry.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace marrowen;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

TEST(MemIniFile, UntouchedFileWritesBackByteForByte) {
  TempFolder dir;
  const std::string content = "; comment\r\n\r\n[Global]\r\n 10 = spaced value  \r\nx\r\n"
                              "[Other]\nk=v\rlast=no end";
  writeFile(dir.file("a.ini"), content);
  TMemIniFile ini(dir.file("a.ini"));
  EXPECT_EQ(ini.text(), content);
  ini.UpdateFile();
  EXPECT_EQ(readFile(dir.file("a.ini")), content);
}

TEST(MemIniFile, NamesIgnoreCaseAndBlanksValuesKeepBlanks) {
  TMemIniFile ini("");
  ini.setText("[ GLOBAL ]\r\n 10 = spaced value  \r\nKey=a=b\r\nempty=\r\n;no=comment\r\n");
  EXPECT_EQ(ini.ReadString("global", "10", "-"), " spaced value  ");
  EXPECT_EQ(ini.ReadString("Global", "key", "-"), "a=b");
  EXPECT_EQ(ini.ReadString("global", "EMPTY", "-"), "");
  EXPECT_EQ(ini.ReadString("global", "no", "-"), "-");
  EXPECT_EQ(ini.ReadString("missing", "10", "-"), "-");
  EXPECT_TRUE(ini.SectionExists("GLOBAL"));
  EXPECT_EQ(ini.ReadSection("global"), (std::vector<std::string>{"10", "Key", "empty"}));
}

TEST(MemIniFile, FirstOccurrenceAnswers) {
  TMemIniFile ini("");
  ini.setText("[s]\nk=1\nk=2\n[S]\nk=3\nj=4\n");
  EXPECT_EQ(ini.ReadString("s", "k", ""), "1");
  EXPECT_EQ(ini.ReadString("s", "j", ""), "");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"s", "S"}));
}

TEST(MemIniFile, NewKeysEndTheirSectionNewSectionsEndTheFile) {
  TMemIniFile ini("");
  ini.setText("top=1\r\n[a]\r\nx=1\r\n\r\n[b]\r\ny=2");
  ini.WriteString("A", "z", " 3 ");
  ini.WriteString("b", "w", "4");
  ini.WriteString("c", "v", "5");
  ini.WriteString("a", "X", "changed");
  EXPECT_EQ(ini.text(), "top=1\r\n[a]\r\nx=changed\r\nz= 3 \r\n\r\n[b]\r\ny=2\r\nw=4\r\n\r\n"
                        "[c]\r\nv=5\r\n");
  EXPECT_EQ(ini.ReadString("a", "z", ""), " 3 ");
}

TEST(MemIniFile, NewFileUsesCrLf) {
  TMemIniFile ini("");
  ini.WriteString("global", "1", "one");
  ini.WriteString("global", "2", "two");
  EXPECT_EQ(ini.text(), "[global]\r\n1=one\r\n2=two\r\n");
  TMemIniFile lf("");
  lf.setText("[s]\n");
  lf.WriteString("s", "k", "v");
  EXPECT_EQ(lf.text(), "[s]\nk=v\n");
}

TEST(MemIniFile, UnreadableEntriesAreRefused) {
  TMemIniFile ini("");
  EXPECT_THROW(ini.WriteString("s", "k", "a\nb"), EConvertError);
  EXPECT_THROW(ini.WriteString("s", "k=j", "v"), EConvertError);
  EXPECT_THROW(ini.WriteString("s", "", "v"), EConvertError);
  EXPECT_THROW(ini.WriteString("s]", "k", "v"), EConvertError);
  EXPECT_EQ(ini.text(), "");
}

TEST(MemIniFile, FailedWriteLeavesFileIntact) {
  TempFolder dir;
  writeFile(dir.file("a.ini"), "[s]\nk=v\n");
  TMemIniFile ini(dir.file("a.ini"));
  ini.WriteString("s", "n", "new");
  // A file in place of the folder: nothing can be created there.
  TMemIniFile lost(dir.file("a.ini/b.ini"));
  lost.WriteString("s", "k", "v");
  EXPECT_THROW(lost.UpdateFile(), EFCreateError);
  ini.UpdateFile();
  EXPECT_EQ(readFile(dir.file("a.ini")), "[s]\nk=v\nn=new\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1); // no temporary file left behind
}

TEST(MemIniFile, OnlyARegularFileIsOpened) {
  TempFolder dir;
  std::filesystem::create_directory(dir.file("a.ini"));
  EXPECT_THROW(TMemIniFile(dir.file("a.ini")), EFOpenError);
  // Opening a pipe nobody writes to would wait for a writer for ever.
  ASSERT_EQ(::mkfifo(dir.file("b.ini").c_str(), 0600), 0);
  EXPECT_THROW(TMemIniFile(dir.file("b.ini")), EFOpenError);
}

TEST(MemIniFile, EraseSectionAndDeleteKeyTouchOnlyTheirLines) {
  TMemIniFile ini("");
  ini.setText("[a]\nx=1\ny=2\n\n[b]\nz=3\n");
  ini.DeleteKey("A", "X");
  ini.DeleteKey("a", "missing");
  ini.EraseSection("missing");
  EXPECT_EQ(ini.text(), "[a]\ny=2\n\n[b]\nz=3\n");
  ini.EraseSection("a");
  EXPECT_EQ(ini.text(), "[b]\nz=3\n");
  EXPECT_FALSE(ini.SectionExists("a"));
}

TEST(IniFile, WritesThroughAndDropsOnePairOfMatchingQuotes) {
  TempFolder dir;
  writeFile(dir.file("a.ini"),
            "[s]\nd=\"x\"\nq='x'\ndd=\"\"x\"\"\nmixed=\"x'\none=\"\nnum=0x1F\nbad=12a\n");
  TIniFile ini(dir.file("a.ini"));
  EXPECT_EQ(ini.ReadString("s", "d", "-"), "x");
  EXPECT_EQ(ini.ReadString("s", "q", "-"), "x");
  EXPECT_EQ(ini.ReadString("s", "dd", "-"), "\"x\"");
  EXPECT_EQ(ini.ReadString("s", "mixed", "-"), "\"x'");
  EXPECT_EQ(ini.ReadString("s", "one", "-"), "\"");
  EXPECT_EQ(ini.ReadInteger("s", "num", 0), 31);
  EXPECT_EQ(ini.ReadInteger("s", "bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("s", "missing", 8), 8);

  ini.WriteInteger("t", "n", -5);
  ini.DeleteKey("s", "d");
  ini.EraseSection("missing");
  TIniFile again(dir.file("a.ini"));
  EXPECT_EQ(again.ReadInteger("t", "n", 0), -5);
  EXPECT_FALSE(again.ValueExists("s", "d"));
  again.EraseSection("s");
  EXPECT_EQ(readFile(dir.file("a.ini")), "[t]\nn=-5\n");
}

// A file the user made read-only, in a folder that would let it be replaced,
// is not written: the change is refused, kept, and saved once it may be.
TEST(IniFile, AFileMadeReadOnlyIsLeftAsItIs) {
  TempFolder dir;
  const std::string file = dir.file("a.ini");
  writeFile(file, "[s]\nk=v\n");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  TIniFile ini(file);
  EXPECT_THROW(ini.WriteString("s", "n", "new"), EFCreateError);
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(readFile(file), "[s]\nk=v\n");
  EXPECT_EQ(ini.ReadString("s", "n", ""), "new");
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  ini.WriteString("s", "m", "more");
  EXPECT_EQ(readFile(file), "[s]\nk=v\nn=new\nm=more\n");
}

TEST(IniFile, BareNameLivesInTheSettingsFolderMadeOnFirstWrite) {
  TempFolder dir;
  SettingsStore &store = SettingsStore::global();
  const auto previous = store.file();
  store.setFile(dir.file("config/settings.ini"));
  TIniFile ini("program.INI");
  ini.WriteString("s", "k", "v");
  store.setFile(previous);
  EXPECT_EQ(readFile(dir.file("config/program.INI")), "[s]\r\nk=v\r\n");
}

// Two programs write one ini file at once, in random orders of change and
// save: keys of their own (written, deleted, saved at once or in batches)
// and, now and then, a whole placement-sized section they share. Whatever
// the order, each one's last word on its own keys is in the file, and the
// shared section is the whole of one save.
TEST(IniFile, TwoWritersInTwoProcessesKeepEachOthersChanges) {
  TempFolder dir;
  const std::string file = dir.file("shared.ini");
  const char *const placement[] = {"FormVersion", "Flags",   "ShowCmd", "PixelsPerInch",
                                   "MinMaxPos",   "NormPos", "Visible"};
  struct Model {
    std::map<std::string, std::string> own;
    std::string lastShared;
  };
  // What writer `p` does; without a file, only what it must leave behind.
  auto run = [&](int p, TIniFile *ini) {
    std::mt19937 random(100 + p);
    const std::string section = "Writer" + std::to_string(p);
    Model m;
    int depth = 0;
    for (int step = 0; step < 120; ++step) {
      const std::string key = "k" + std::to_string(random() % 8);
      switch (random() % 6) {
      case 0:
      case 1:
        if (ini) {
          ini->WriteString(section, key, std::to_string(step));
          if (ini->ReadString(section, key, "") != std::to_string(step))
            return Model();
        }
        m.own[key] = std::to_string(step);
        break;
      case 2:
        if (ini)
          ini->DeleteKey(section, key);
        m.own.erase(key);
        break;
      case 3:
        if (depth < 2 && random() % 2) {
          ++depth;
          if (ini)
            ini->beginBatch();
        } else if (depth > 0) {
          --depth;
          if (ini)
            ini->endBatch();
        }
        break;
      default: {
        const std::string generation = std::to_string(p) + ":" + std::to_string(step);
        if (ini) {
          IniBatch batch(ini);
          for (const char *name : placement)
            ini->WriteString("Shared", name, generation);
          batch.commit();
        }
        m.lastShared = generation;
      }
      }
    }
    for (; depth > 0; --depth)
      if (ini)
        ini->endBatch();
    return m;
  };
  std::vector<pid_t> writers;
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      TIniFile ini(file);
      ::_exit(run(p, &ini).own == run(p, nullptr).own ? 0 : 1);
    }
    writers.push_back(pid);
  }
  for (const pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer read its own back";
  }
  TIniFile result(file);
  std::vector<std::string> last;
  for (int p = 0; p < 2; ++p) {
    const Model m = run(p, nullptr);
    const std::string section = "Writer" + std::to_string(p);
    std::vector<std::string> names = result.ReadSection(section);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (const auto &[name, value] : m.own) {
      expected.push_back(name);
      EXPECT_EQ(result.ReadString(section, name, "lost"), value) << section << " " << name;
    }
    EXPECT_EQ(names, expected) << section;
    last.push_back(m.lastShared);
  }
  const std::string generation = result.ReadString("Shared", placement[0], "");
  EXPECT_TRUE(generation == last[0] || generation == last[1]) << generation;
  for (const char *name : placement)
    EXPECT_EQ(result.ReadString("Shared", name, ""), generation) << name << "\n" << readFile(file);
}

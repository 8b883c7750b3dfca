#include "filterlist/filterfile.h"

#include "filterlist/filterlist_testing.h"
#include "filterlist/streamtest_components.h"
#include "support/error_message.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

// A sort node record of a type-47 file.
std::string sortRecord(bool enabled, bool dup, bool reverse, int type) {
  return name("TSortObject") + bytes({0x00}) + name("enabled") + bytes({enabled ? 9 : 8}) +
         name("SortObject") + bytes({enabled ? 9 : 8, dup ? 9 : 8, reverse ? 9 : 8, 0x02, type}) +
         bytes({0x00, 0x00});
}

struct Loaded {
  TestFilterList list;
  std::vector<std::string> warnings;
};

std::unique_ptr<Loaded> load(const std::string &file, const std::string &source = "test.fll") {
  auto loaded = std::make_unique<Loaded>();
  ComponentReader reader(file, source, testRegistry());
  reader.setWarningHandler([&](const std::string &w) { loaded->warnings.push_back(w); });
  readFilterFileBytes(reader, loaded->list);
  return loaded;
}

TestFilterList sampleList() {
  TestFilterList list;
  list.version.comments = std::string("notes\0with NUL\r\n\xE9", 18);
  list.version.scratchPad = std::string(300, 's');
  list.version.trialInput = "trial";
  list.version.fileList = {"c:\\data\\*.txt|AA", "/tmp/x|1S", "a|b|NI"};
  list.version.log.enabled = false;
  list.version.log.fileName = "c:\\logs\\my.log";
  list.version.log.append = true;
  list.version.log.lineThreshold = 70000;

  auto sort = std::make_unique<TestSortNode>();
  sort->reverseOrder = true;
  sort->sortType = 2;
  list.items.push_back({1, true, std::move(sort)});

  auto grep = std::make_unique<RawNode>(NodeClassName{"TGrepObject", "GrepObject"});
  grep->enabled = false;
  grep->data = bytes({0x08}) + str("pattern") +
               bytes({0x02, 0x03, 0x09, 0x01, 0x06, 0x01, 'x', 0x00, 0x04, 0x00, 0x00, 0x01, 0x00});
  list.items.push_back({1, false, std::move(grep)});

  auto child = std::make_unique<RawNode>(NodeClassName{"TFilterCommentObject", "ListObject"});
  child->data = bytes({0x09});
  list.items.push_back({2, true, std::move(child)});
  return list;
}

std::size_t entries(const TempFolder &folder) {
  return std::distance(std::filesystem::directory_iterator(folder.path()),
                       std::filesystem::directory_iterator());
}

} // namespace

TEST(FilterFile, NewVersionAndSortNodeGiveTheStoredBytes) {
  TestFilterList list;
  list.version.log.enabled = true;
  list.version.log.fileName = "marrowen.log";
  list.version.log.append = true;
  list.version.log.lineThreshold = 500;
  list.items.push_back({1, true, std::make_unique<TestSortNode>()});

  const std::string version =
      versionRecord(bytes({0x02, 47}) + str("") + str("") + str("") + bytes({0x01, 0x00, 0x09}) +
                    str("marrowen.log") + bytes({0x09, 0x03, 0xF4, 0x01}));
  const std::string node = bytes({0x02, 0x01, 0x09}) + sortRecord(true, false, false, 0);
  EXPECT_EQ(filterFileBytes(list), fileStart() + version + node + fileEnd());
}

TEST(FilterFile, CommentsOf256BytesUseTheLongStringTag) {
  TestFilterList list;
  list.version.comments = std::string(256, 'c');
  const std::string file = filterFileBytes(list);
  const std::string expected =
      bytes({0x02, 47, 0x0C, 0x00, 0x01, 0x00, 0x00}) + std::string(256, 'c');
  EXPECT_NE(file.find(expected), std::string::npos);

  list.version.comments = std::string(255, 'c');
  EXPECT_NE(filterFileBytes(list).find(bytes({0x02, 47, 0x06, 0xFF}) + std::string(255, 'c')),
            std::string::npos);
}

TEST(FilterFile, SaveLoadSaveIsByteIdentical) {
  const TestFilterList list = sampleList();
  const std::string first = filterFileBytes(list);
  auto loaded = load(first);
  EXPECT_TRUE(loaded->list.versionSeen);
  EXPECT_EQ(loaded->list.version, list.version);
  ASSERT_EQ(loaded->list.items.size(), 3u);
  EXPECT_EQ(loaded->list.items[1].level, 1);
  EXPECT_FALSE(loaded->list.items[1].expanded);
  EXPECT_EQ(loaded->list.items[2].level, 2);
  auto *sort = dynamic_cast<TestSortNode *>(loaded->list.items[0].node.get());
  ASSERT_NE(sort, nullptr);
  EXPECT_TRUE(sort->reverseOrder);
  EXPECT_EQ(sort->sortType, 2);
  EXPECT_EQ(filterFileBytes(loaded->list), first);
  EXPECT_TRUE(loaded->warnings.empty());
}

TEST(FilterFile, OldFileTypesLoadWithTheirDefaults) {
  struct Case {
    int type;
    std::string versionData;
    std::string nodeData; // the sort node's defined value
    TVersion expected;
    bool enabled;
    int sortType;
  };
  TVersion blank; // types 1 to 3 keep the constructor's values
  TVersion type4;
  type4.comments = "c";
  type4.fileList = {"*.txt|AA"};
  type4.log.enabled = true;
  type4.log.fileName = "marrowen.log";
  type4.log.append = true;
  type4.log.lineThreshold = 500;
  TVersion type20 = type4;
  type20.scratchPad = "s";
  type20.trialInput = "t";
  TVersion type41 = type20;
  type41.log.enabled = false;
  type41.log.fileName = "x.log";
  type41.log.lineThreshold = 9;

  const std::string list4 = bytes({0x01}) + str("*.txt|AA") + bytes({0x00});
  const Case cases[] = {
      {3, bytes({0x02, 3}), str("old title") + bytes({0x08, 0x09}), blank, true, 1},
      {4, bytes({0x02, 4}) + str("c") + list4, str("old") + bytes({0x08, 0x09}), type4, true, 1},
      {20, bytes({0x02, 20}) + str("c") + str("s") + str("t") + list4, bytes({0x08, 0x08, 0x09}),
       type20, false, 1},
      {28, bytes({0x02, 28}) + str("c") + str("s") + str("t") + list4,
       bytes({0x09, 0x08, 0x09, 0x09}), type20, true, 0},
      {41,
       bytes({0x02, 41}) + str("c") + str("s") + str("t") + list4 + bytes({0x08}) + str("x.log") +
           bytes({0x09, 0x02, 9}),
       bytes({0x09, 0x08, 0x09, 0x08}), type41, true, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.type);
    // Files before type 29 store no level or expanded flag before a node.
    const std::string levelPair = c.type >= 29 ? bytes({0x02, 0x03, 0x08}) : "";
    const std::string node = name("TSortObject") + bytes({0x00}) + name("enabled") + bytes({0x09}) +
                             name("SortObject") + c.nodeData + bytes({0, 0});
    const std::string file = fileStart() + versionRecord(c.versionData) + levelPair + node +
                             levelPair + node + fileEnd();
    auto loaded = load(file);
    EXPECT_EQ(loaded->list.version, c.expected);
    ASSERT_EQ(loaded->list.items.size(), 2u);
    for (const auto &item : loaded->list.items) {
      EXPECT_EQ(item.level, c.type >= 29 ? 3 : 1);
      EXPECT_EQ(item.expanded, c.type < 29);
      auto *sort = dynamic_cast<TestSortNode *>(item.node.get());
      ASSERT_NE(sort, nullptr);
      EXPECT_EQ(sort->enabled, c.enabled);
      EXPECT_EQ(sort->sortType, c.sortType);
    }
    EXPECT_TRUE(loaded->warnings.empty());
  }
}

TEST(FilterFile, LaterFileTypeWarnsThroughTheHostAndLoads) {
  const std::string file =
      fileStart() +
      versionRecord(bytes({0x02, 48}) + str("") + str("") + str("") + bytes({0x01, 0x00, 0x09}) +
                    str("m.log") + bytes({0x09, 0x02, 0x05})) +
      bytes({0x02, 0x01, 0x09}) + sortRecord(true, true, false, 3) + fileEnd();
  auto loaded = load(file);
  ASSERT_EQ(loaded->warnings.size(), 1u);
  EXPECT_EQ(loaded->warnings[0],
            "Warning: The filter being read is from a later version of Marrowen Pro. It may not "
            "load successfully (expecting file type <= 47, reading type: 48)");
  ASSERT_EQ(loaded->list.items.size(), 1u);
  EXPECT_EQ(loaded->list.version.log.fileName, "m.log");
}

TEST(FilterFile, DamagedValuesRaiseErrorsNamingTheFile) {
  const std::string version47 =
      versionRecord(bytes({0x02, 47}) + str("") + str("") + str("") + bytes({0x01, 0x00, 0x09}) +
                    str("m") + bytes({0x09, 0x02, 0x05}));
  const std::string sort = sortRecord(true, false, false, 0);
  struct Case {
    const char *what;
    std::string file;
    std::string detail;
  };
  const Case cases[] = {
      {"no signature", "TPF1" + fileStart().substr(4) + version47 + fileEnd(),
       std::string(invalidImageText)},
      {"empty file", "", std::string(invalidImageText)},
      {"file type 0", fileStart() + versionRecord(bytes({0x02, 0})) + fileEnd(),
       std::string(invalidPropertyValueText)},
      {"negative file type", fileStart() + versionRecord(bytes({0x03, 0x00, 0x80})) + fileEnd(),
       std::string(invalidPropertyValueText)},
      {"negative level", fileStart() + version47 + bytes({0x02, 0xFF, 0x09}) + sort + fileEnd(),
       std::string(invalidPropertyValueText)},
      {"level beyond 16 bits",
       fileStart() + version47 + bytes({0x04, 0x00, 0x00, 0x01, 0x00, 0x09}) + sort + fileEnd(),
       std::string(invalidPropertyValueText)},
      {"no list start",
       "TPF0" + name("TFilterList") + bytes({0x00}) + name("FilterList") + version47 + fileEnd(),
       std::string(invalidPropertyValueText)},
      {"root with a foreign property",
       "TPF0" + name("TFilterList") + bytes({0x00}) + name("Caption") + str("x") + bytes({0, 0}),
       "Property Caption does not exist"},
      {"unknown node class",
       fileStart() + version47 + bytes({0x02, 0x01, 0x09}) + name("TFooObject") + bytes({0, 0, 0}) +
           fileEnd(),
       "Class TFooObject not found"},
      {"control bytes in a class name",
       fileStart() + version47 + bytes({0x02, 0x01, 0x09}) + name("T\x01\nX\x7F") +
           bytes({0, 0, 0}) + fileEnd(),
       "Class T\\x01\\x0AX\\x7F not found"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    try {
      load(c.file, "/home/u/lists/damaged.fll");
      ADD_FAILURE() << "no error";
    } catch (const EReadError &e) {
      EXPECT_EQ(e.detail(), c.detail);
      EXPECT_EQ(e.message().rfind("Error reading /home/u/lists/damaged.fll: " + c.detail, 0), 0u)
          << e.message();
    }
  }
}

TEST(FilterFile, EveryTruncationIsAReadError) {
  const std::string file = filterFileBytes(sampleList());
  for (std::size_t size = 0; size < file.size(); ++size) {
    SCOPED_TRACE(size);
    const std::string cut = file.substr(0, size);
    EXPECT_THROW(load(cut), EReadError);
  }
  // What comes after the root record is not read.
  EXPECT_NO_THROW(load(file + "trailing"));
}

TEST(FilterFile, CorruptedBytesLoadOrRaiseReadErrors) {
  const std::string file = filterFileBytes(sampleList());
  for (std::size_t at = 0; at < file.size(); ++at) {
    for (int value : {0x00, 0x01, 0x02, 0x06, 0x0C, 0x7F, 0x80, 0xFF}) {
      std::string damaged = file;
      damaged[at] = static_cast<char>(value);
      SCOPED_TRACE(std::to_string(at) + "/" + std::to_string(value));
      try {
        auto loaded = load(damaged, "damaged.fll");
        // What loads is a list: it saves, and the saved file loads again.
        EXPECT_NO_THROW(load(filterFileBytes(loaded->list)));
      } catch (const EReadError &e) {
        EXPECT_EQ(e.sourceName(), "damaged.fll");
        EXPECT_LE(e.position(), damaged.size());
        EXPECT_EQ(e.message().rfind("Error reading damaged.fll: ", 0), 0u) << e.message();
        EXPECT_NE(e.message().find("(at byte " + std::to_string(e.position()) + ")"),
                  std::string::npos)
            << e.message();
      }
    }
  }
}

namespace {

// A node whose own reading fails with an error that is not a stream error.
class FailingNode : public TestNodeBase {
public:
  std::string_view className() const override { return "TFailingObject"; }
  std::string_view definedPropertyName() const override { return "FailingObject"; }
  void readData(ComponentReader &reader) override {
    TestNodeBase::readData(reader);
    throw ERangeError();
  }
};

} // namespace

TEST(FilterFile, ErrorsOfANodesOwnReadingNameTheFile) {
  ClassRegistry registry;
  registry.registerClass<TVersion>("TVersion");
  registry.registerClass<FailingNode>("TFailingObject");
  TestFilterList list;
  list.items.push_back({1, true, std::make_unique<FailingNode>()});
  const std::string file = filterFileBytes(list);
  TestFilterList read;
  ComponentReader reader(file, "broken.fll", registry);
  try {
    readFilterFileBytes(reader, read);
    FAIL();
  } catch (const EReadError &e) {
    EXPECT_EQ(e.detail(), "Range check error");
    EXPECT_EQ(e.sourceName(), "broken.fll");
  }
}

TEST(FilterFile, LevelsOutside16BitsAreNotWritten) {
  TestFilterList list;
  list.items.push_back({-1, true, std::make_unique<TestSortNode>()});
  EXPECT_THROW(filterFileBytes(list), ERangeError);
}

TEST(FilterFileStorage, ReadingAMissingFileOrAFolderIsAnOpenError) {
  TempFolder folder;
  try {
    loadFileBytes(folder.file("none.fll"));
    FAIL();
  } catch (const EFOpenError &e) {
    EXPECT_EQ(e.message(), "Cannot open file " + folder.file("none.fll"));
  }
  EXPECT_THROW(loadFileBytes(folder.file("")), EFOpenError);
}

TEST(FilterFileStorage, SafeWriteReplacesTheFileWhole) {
  TempFolder folder;
  const std::string target = folder.file("list \xE9.fll");
  const std::string first = filterFileBytes(sampleList());
  writeFileBytesSafely(target, first);
  EXPECT_EQ(loadFileBytes(target), first);

  std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
  writeFileBytesSafely(target, "short");
  EXPECT_EQ(readFile(target), "short");
  EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(entries(folder), 1u); // no temporary file left behind
}

// A list the user may write in a folder the user may not: no temporary file
// can be made beside it, so it is rewritten where it stands, and a write that
// fails there (a full disk) puts back what it held.
TEST(FilterFileStorage, AListInAFolderTheUserMayNotWriteIsRewrittenInPlace) {
  TempFolder folder;
  const std::string target = folder.file("list.fll");
  writeFile(target, "old list");
  ::chmod(target.c_str(), 0666);
  ::chmod(folder.path().c_str(), 0555);
  const std::string list = filterFileBytes(sampleList());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Root may write into any folder: the rule is an ordinary user's.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
      std::_Exit(10);
    try {
      writeFileBytesSafely(target, list);
    } catch (...) {
      std::_Exit(11);
    }
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limited);
    try {
      writeFileBytesSafely(target, std::string(100000, 'x'));
    } catch (const EWriteError &) {
      std::_Exit(0);
    }
    std::_Exit(12);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readFile(target), list);
  EXPECT_EQ(entries(folder), 1u);
}

TEST(FilterFileStorage, FailedWriteLeavesTheTargetAndNoTemporaryFile) {
  TempFolder folder;
  try {
    writeFileBytesSafely(folder.file("missing/x.fll"), "data");
    ADD_FAILURE();
  } catch (const EFCreateError &e) {
    EXPECT_EQ(e.message(),
              "Cannot create file " + folder.file("missing/x.fll") + ". No such file or directory");
  }

  // A folder or a pipe in the target's place is no file to replace.
  const std::string target = folder.file("taken.fll");
  std::filesystem::create_directory(target);
  writeFile(folder.file("taken.fll/inside"), "keep");
  EXPECT_EQ(errorOf<EFCreateError>([&] { writeFileBytesSafely(target, "data"); }),
            "Cannot create file " + target + ". It is a folder");
  EXPECT_EQ(readFile(folder.file("taken.fll/inside")), "keep");
  EXPECT_EQ(entries(folder), 1u);

  // A write the disk refuses says why.
  {
    FileSizeLimit limit(16);
    EXPECT_EQ(errorOf<EWriteError>(
                  [&] { writeFileBytesSafely(folder.file("big.fll"), std::string(100, 'x')); }),
              "Stream write error: " + folder.file("big.fll") + ": File too large");
  }
  EXPECT_EQ(entries(folder), 1u);
}

TEST(FilterFileStorage, ReadOnlyTargetIsNotReplaced) {
  // Renaming over a file would succeed whatever its permissions; the file
  // the user marked read-only must stay as it is, as it does where a save
  // opens the file itself.
  TempFolder folder;
  const std::string target = folder.file("locked.fll");
  writeFile(target, "keep");
  std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read);
  try {
    writeFileBytesSafely(target, "data");
    FAIL();
  } catch (const EFCreateError &e) {
    EXPECT_EQ(e.message(), "Cannot create file " + target + ". Permission denied");
  }
  EXPECT_EQ(readFile(target), "keep");
  EXPECT_EQ(entries(folder), 1u);
}

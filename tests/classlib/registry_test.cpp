#include "classlib/asciitext.h"
#include "classlib/registry.h"
#include "classlib/safefile.h"
#include "classlib/stringlist.h"
#include "support/all_bytes.h"
#include "support/error_message.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace marrowen;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

namespace {

const char *const key = "SOFTWARE\\Ostrevan\\Marrowen";

// Collects what the stores report instead of writing it to standard error.
class Reports {
public:
  Reports() {
    SettingsStore::setReporter([this](const std::string &m) { messages.push_back(m); });
  }
  ~Reports() { SettingsStore::setReporter(nullptr); }
  std::vector<std::string> messages;
};

ino_t inodeOf(const std::string &file) {
  struct stat st;
  return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST(SettingsStore, KeysAndNamesIgnoreCase) {
  TempFolder folder;
  SettingsStore store(folder.file("settings.ini"));
  EXPECT_TRUE(store.writeString(key, "soundFile", "ding.wav"));
  EXPECT_EQ(store.readString("Software\\Ostrevan\\Marrowen", "SOUNDFILE", ""), "ding.wav");
  EXPECT_EQ(store.readString("\\software\\OSTREVAN\\marrowen\\", "soundfile", ""), "ding.wav");
  EXPECT_TRUE(store.keyExists("software\\ostrevan"));
  // A second spelling changes the value, not the names.
  EXPECT_TRUE(store.writeString("Software\\ostrevan\\MARROWEN", "SoundFile", "bell.wav"));
  EXPECT_EQ(store.subKeyNames("software"), std::vector<std::string>{"Ostrevan"});
  EXPECT_EQ(store.valueNames(key), std::vector<std::string>{"soundFile"});
  std::string text = readFile(folder.file("settings.ini"));
  EXPECT_NE(text.find("[SOFTWARE\\Ostrevan\\Marrowen]\n\"soundFile\"=\"bell.wav\"\n"),
            std::string::npos)
      << text;
}

TEST(SettingsStore, DefaultsForAbsentValuesAndOtherTypes) {
  TempFolder folder;
  SettingsStore store(folder.file("settings.ini"));
  EXPECT_EQ(store.readString(key, "editor", "notepad.exe"), "notepad.exe");
  EXPECT_EQ(store.readInteger(key, "currentTip", 0), 0);
  EXPECT_TRUE(store.readBool(key, "showTips", true));
  store.writeString(key, "AdhocFontSize", "big");
  store.writeInteger(key, "AdhocFontName", 12);
  EXPECT_EQ(store.readInteger(key, "AdhocFontSize", 8), 8);
  EXPECT_EQ(store.readString(key, "AdhocFontName", "Courier New"), "Courier New");
  EXPECT_FALSE(store.readBinary(key, "AdhocFontName"));
  EXPECT_EQ(store.dataType(key, "AdhocFontName"), TRegDataType::rdInteger);
  EXPECT_EQ(store.dataType(key, "nothing"), TRegDataType::rdUnknown);
}

TEST(SettingsStore, EveryKindOfValueSurvivesTheFile) {
  TempFolder folder;
  std::string file = folder.file("settings.ini");
  const std::string allBytes = marrowen::testing::allBytes();
  const std::string oddName = "na\"me=with\\odd\tbytes\xe9";
  {
    SettingsStore store(file);
    store.writeString(key, "text", allBytes);
    store.writeString(key, oddName, "x");
    store.writeString(key, "", "default value");
    store.writeString(key, "empty", "");
    store.writeInteger(key, "negative", -2147483647 - 1);
    store.writeInteger(key, "positive", 2147483647);
    store.writeBool(key, "yes", true);
    store.writeBool(key, "no", false);
    store.writeBinary(key, "blob", allBytes);
    store.writeBinary(key, "none", "");
    store.createKey("Software\\Empty\\Leaf");
  }
  SettingsStore again(file);
  EXPECT_EQ(again.readString(key, "text", ""), allBytes);
  EXPECT_EQ(again.readString(key, oddName, ""), "x");
  EXPECT_EQ(again.readString(key, "", ""), "default value");
  EXPECT_TRUE(again.valueExists(key, "empty"));
  EXPECT_EQ(again.readString(key, "empty", "?"), "");
  EXPECT_EQ(again.readInteger(key, "negative", 0), -2147483647 - 1);
  EXPECT_EQ(again.readInteger(key, "positive", 0), 2147483647);
  EXPECT_TRUE(again.readBool(key, "yes", false));
  EXPECT_FALSE(again.readBool(key, "no", true));
  EXPECT_EQ(again.readBinary(key, "blob"), allBytes);
  EXPECT_EQ(again.readBinary(key, "none"), "");
  EXPECT_TRUE(again.keyExists("software\\empty\\leaf"));
  EXPECT_EQ(again.valueNames(key).size(), 10u);
}

TEST(SettingsStore, DeletingValuesAndKeys) {
  TempFolder folder;
  std::string file = folder.file("settings.ini");
  SettingsStore store(file);
  store.writeString("Software\\A\\ShellFilters\\1", "Name", "one");
  store.writeString("Software\\A\\ShellFilters\\2", "Name", "two");
  store.writeString("Software\\A\\ShellFilters\\2\\Deeper", "Name", "deep");
  store.writeString("Software\\A", "keep", "yes");
  EXPECT_EQ(store.subKeyNames("software\\a\\shellfilters"), (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(store.deleteKey("software\\a\\shellfilters\\2"));
  EXPECT_FALSE(store.deleteKey("software\\a\\shellfilters\\2"));
  EXPECT_FALSE(store.keyExists("Software\\A\\ShellFilters\\2\\Deeper"));
  EXPECT_TRUE(store.deleteValue("Software\\A", "KEEP"));
  EXPECT_FALSE(store.deleteValue("Software\\A", "keep"));
  EXPECT_FALSE(store.deleteKey(""));
  SettingsStore again(file);
  EXPECT_EQ(again.subKeyNames("Software\\A\\ShellFilters"), std::vector<std::string>{"1"});
  EXPECT_FALSE(again.valueExists("Software\\A", "keep"));
  EXPECT_TRUE(again.keyExists("Software\\A"));
}

TEST(SettingsStore, AWriteReplacesTheFileThroughARename) {
  TempFolder folder;
  std::string file = folder.file("settings.ini");
  SettingsStore store(file);
  store.writeInteger(key, "currentTip", 1);
  ino_t first = inodeOf(file);
  ASSERT_NE(first, 0u);
  // Hold the old file open: a rename leaves it whole, a rewrite would not.
  std::string before = readFile(file);
  store.writeInteger(key, "currentTip", 2);
  EXPECT_NE(inodeOf(file), first) << "the new store is a new file renamed over the old";
  EXPECT_NE(readFile(file), before);
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder.path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"settings.ini"}) << "no temporary file is left";
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::others_read,
            std::filesystem::perms::none);
  // Writing back what the store holds saves nothing.
  const ino_t second = inodeOf(file);
  EXPECT_TRUE(store.writeInteger(key, "currentTip", 2));
  EXPECT_EQ(inodeOf(file), second);
  EXPECT_TRUE(store.writeString(key, "currentTip", "2")) << "another type is a change";
  EXPECT_NE(inodeOf(file), second);
}

// A damaged line costs that line only; the lines under a damaged key name
// are kept in the file, unread, since where they belong is not known.
TEST(SettingsStore, ADamagedLineCostsThatLineOnly) {
  struct Case {
    const char *name;
    std::string damage;
    bool keyName = false;
    int line = 4;
  };
  const Case cases[] = {
      {"unterminated text", "\"b\"=\"two\n"},
      {"short integer", "\"b\"=dword:2\n"},
      {"bad hex", "\"b\"=hex:0g\n"},
      {"unknown type", "\"b\"=float:2.0\n"},
      {"zero bytes after a crash", std::string(40, '\0') + "\n"},
      {"bad escape", "\"b\"=\"a\\qb\"\n"},
      {"unclosed key", "[Software\\Other\n", true},
      {"key without its bracket", "Software\\Other]\n", true},
      // Where a key name stands, over values, a line that is no value: the
      // lines under it must not become values of the key above.
      {"key without its brackets", "\nSoftware\\Other\n", true, 5},
      {"key typed over", "\n\"\xe9\xe9\xe9\n", true, 5},
      {"value after a blank line", "\nb=2\n", false, 5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Reports reports;
    TempFolder folder;
    std::string file = folder.file("settings.ini");
    std::string text = "; comment [x]\r\n[Software\\Ostrevan\\Marrowen]\r\n\"a\"=dword:00000001\n" +
                       c.damage + "\"c\"=\"three\"\n[Software\\Later]\n\"d\"=\"four\"\n";
    writeFile(file, text);
    SettingsStore store(file);
    EXPECT_EQ(store.readInteger(key, "a", 0), 1);
    EXPECT_EQ(store.readString(key, "c", "absent"), c.keyName ? "absent" : "three");
    EXPECT_EQ(store.readString("Software\\Later", "d", ""), "four");
    ASSERT_EQ(reports.messages.size(), 1u) << "reported once";
    EXPECT_NE(reports.messages[0].find(file), std::string::npos);
    EXPECT_NE(reports.messages[0].find("line " + std::to_string(c.line)), std::string::npos)
        << reports.messages[0];
    EXPECT_EQ(readFile(file + ".damaged"), text) << "the damaged file is kept";
    // The store goes on working; its next save drops a damaged value and
    // keeps what is under a damaged key name as it was.
    EXPECT_TRUE(store.writeString(key, "e", "five"));
    const std::string saved = readFile(file);
    EXPECT_EQ(saved.find("\"b\"="), std::string::npos) << saved;
    EXPECT_EQ(saved.find("\"c\"=\"three\"\n") != std::string::npos, true) << saved;
    SettingsStore again(file);
    EXPECT_EQ(again.readInteger(key, "a", 0), 1);
    EXPECT_EQ(again.readString(key, "e", ""), "five");
    EXPECT_EQ(again.readString("Software\\Later", "d", ""), "four");
    EXPECT_EQ(reports.messages.size(), c.keyName ? 2u : 1u) << "a value heals, a key name stays";
    // Mended by hand, the lines under the name are read again.
    if (c.keyName) {
      std::string mended = saved;
      const std::string name = c.damage.substr(c.damage.front() == '\n');
      mended.replace(mended.find(name), name.size(), "[Software\\Other]\n");
      writeFile(file, mended);
      EXPECT_EQ(SettingsStore(file).readString("Software\\Other", "c", ""), "three");
    }
  }
}

// The program writes its settings while the user edits the file by hand:
// breaks a value or a key name, adds a line of rubbish or a key of their own.
// Checked after every step against a model: every value the program or the
// user wrote is read back unless its own line (or its key's name) was
// broken; the lines under a broken key name stay in the file as they were;
// each damaged line is told once.
TEST(SettingsStore, HandEditsWhileTheProgramRunsCostOnlyTheLinesBroken) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    auto pick = [&](std::size_t n) {
      return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    Reports reports;
    TempFolder folder;
    const std::string file = folder.file("settings.ini");
    auto store = std::make_unique<SettingsStore>(file);
    std::map<std::pair<std::string, std::string>, std::string> readable; // folded key, name
    std::set<std::pair<std::string, std::string>> gone;
    std::vector<std::string> keptLines;
    const std::vector<std::string> keys = {"software\\ostrevan\\marrowen", "filehistory",
                                           "software\\ostrevan\\marrowen\\mainform"};
    int handKeys = 0;
    for (int step = 0; step < 60; ++step) {
      SCOPED_TRACE(step);
      const std::size_t action = pick(6);
      if (action <= 1) { // the program stores a value
        const std::string &k = keys[pick(keys.size())];
        const std::string name = "v" + std::to_string(pick(6));
        const std::string value = "value " + std::to_string(step);
        store->writeString(k, name, value);
        readable[{k, name}] = value;
        gone.erase({k, name});
      } else if (action == 2) { // the program starts again
        store = std::make_unique<SettingsStore>(file);
      } else { // the user edits the file
        std::vector<std::string> lines;
        std::istringstream in(readFile(file));
        for (std::string line; std::getline(in, line);)
          lines.push_back(line);
        // What is already kept unread, under a broken key name, is left alone.
        std::vector<std::size_t> readLines;
        bool unread = false;
        for (std::size_t i = 1; i < lines.size(); ++i) {
          if (lines[i].rfind('[', 0) == 0)
            unread = lines[i].back() != ']';
          if (!unread)
            readLines.push_back(i);
        }
        if (readLines.empty())
          continue;
        const std::size_t at = readLines[pick(readLines.size())], end = readLines.back() + 1;
        const std::size_t told = reports.messages.size();
        bool broken = true;
        std::string section;
        for (std::size_t i = 0; i <= at; ++i)
          if (lines[i].size() > 2 && lines[i].front() == '[')
            section = asciiLowerCase(lines[i].substr(1, lines[i].size() - 2));
        std::string &line = lines[at];
        if (action == 3 && !line.empty() && line.front() == '"') { // breaks a value
          const std::string name = line.substr(1, line.find('"', 1) - 1);
          line.resize(line.find('=') + 1 + pick(line.size() - line.find('=') - 1));
          if (random() % 2)
            line = line.substr(0, line.find('=') + 1) + "dword:2";
          line += "#" + std::to_string(step); // each break its own
          readable.erase({section, name});
          gone.insert({section, name});
        } else if (action == 3 && !line.empty() && line.front() == '[') { // breaks a key name
          line.pop_back();
          keptLines.push_back(line);
          for (std::size_t i = at + 1; i < lines.size() && lines[i].rfind('[', 0) != 0; ++i) {
            keptLines.push_back(lines[i]);
            if (lines[i].rfind('"', 0) == 0) {
              const std::string name = lines[i].substr(1, lines[i].find('"', 1) - 1);
              readable.erase({section, name});
              gone.insert({section, name});
            }
          }
        } else if (action == 4) { // rubbish
          lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                       "#%& rubbish " + std::to_string(step));
        } else { // a key of the user's own
          const std::string k = "software\\hand\\" + std::to_string(++handKeys);
          lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end),
                       {"[" + k + "]", "\"mine\"=\"kept\""});
          readable[{k, "mine"}] = "kept";
          broken = false;
        }
        std::string text;
        for (const std::string &l : lines)
          text += l + "\n";
        // As an editor saves: a new file renamed over the old. Told at once,
        // and not again when the file is saved again as it is.
        for (int again = 0; again < 2; ++again) {
          writeFile(file + ".new", text);
          std::filesystem::rename(file + ".new", file);
          store->keyExists("software");
          ASSERT_EQ(reports.messages.size(), told + (broken ? 1 : 0)) << text;
        }
      }
      for (const auto &[id, value] : readable)
        ASSERT_EQ(store->readString(id.first, id.second, "absent"), value)
            << id.first << " " << id.second;
      for (const auto &id : gone)
        ASSERT_FALSE(store->valueExists(id.first, id.second)) << id.first << " " << id.second;
      const std::string now = readFile(file);
      for (const std::string &line : keptLines)
        ASSERT_NE(now.find(line + "\n"), std::string::npos) << line << "\n" << now;
    }
  }
}

TEST(SettingsStore, ADeeplyNestedKeyIsDamageNotACrash) {
  Reports reports;
  TempFolder folder;
  const std::string file = folder.file("settings.ini");
  std::string deep = "[a";
  for (int i = 0; i < 60000; ++i)
    deep += "\\k";
  writeFile(file, "[Software\\Ostrevan\\Marrowen]\n\"a\"=dword:00000001\n" + deep + "]\n");
  SettingsStore store(file);
  EXPECT_EQ(store.readInteger(key, "a", 0), 1);
  ASSERT_EQ(reports.messages.size(), 1u);
  EXPECT_NE(reports.messages[0].find("line 3"), std::string::npos) << reports.messages[0];
  EXPECT_TRUE(std::filesystem::exists(file + ".damaged"));
  // Writing one is refused as any other invalid path; 512 keys still work.
  std::string path = "a";
  for (int i = 1; i < 512; ++i)
    path += "\\k";
  EXPECT_TRUE(store.writeInteger(path, "v", 7));
  EXPECT_FALSE(store.writeInteger(path + "\\k", "v", 7));
  EXPECT_EQ(SettingsStore(file).readInteger(path, "v", 0), 7);
}

TEST(SettingsStore, APipeInPlaceOfTheFileIsRefusedWithoutWaiting) {
  Reports reports;
  TempFolder folder;
  const std::string file = folder.file("settings.ini");
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  SettingsStore store(file);
  EXPECT_EQ(store.readString(key, "editor", "vi"), "vi");
  EXPECT_FALSE(store.writeString(key, "editor", "ed"));
  ASSERT_EQ(reports.messages.size(), 1u);
  EXPECT_NE(reports.messages[0].find("not a regular file"), std::string::npos);
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "never replaced";
}

TEST(SettingsStore, AFailedSaveKeepsTheValueAndIsReportedOnce) {
  Reports reports;
  TempFolder folder;
  // A file where the store's folder should be: nothing can be saved there.
  writeFile(folder.file("blocked"), "not a folder");
  SettingsStore store(folder.file("blocked/settings.ini"));
  EXPECT_FALSE(store.writeString(key, "Language", "Deutsch"));
  EXPECT_FALSE(store.writeInteger(key, "currentTip", 4));
  EXPECT_EQ(store.readString(key, "language", ""), "Deutsch");
  EXPECT_EQ(store.readInteger(key, "currentTip", 0), 4);
  EXPECT_EQ(reports.messages.size(), 1u);
  EXPECT_EQ(readFile(folder.file("blocked")), "not a folder");

  // A file the user made read-only, in a folder that would let it be
  // replaced, is left as it is until it may be written again.
  const std::string file = folder.file("settings.ini");
  writeFile(file, "[Software\\Ostrevan\\Marrowen]\n\"Language\"=\"English\"\n");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  const ino_t inode = inodeOf(file);
  SettingsStore readOnly(file);
  EXPECT_FALSE(readOnly.writeString(key, "Language", "Deutsch"));
  EXPECT_FALSE(readOnly.writeInteger(key, "currentTip", 4));
  EXPECT_EQ(readOnly.readString(key, "Language", ""), "Deutsch");
  EXPECT_EQ(inodeOf(file), inode);
  EXPECT_EQ(readFile(file), "[Software\\Ostrevan\\Marrowen]\n\"Language\"=\"English\"\n");
  ASSERT_EQ(reports.messages.size(), 2u) << "told once";
  EXPECT_NE(reports.messages[1].find("read-only: settings cannot be saved"), std::string::npos);
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  EXPECT_TRUE(readOnly.writeInteger(key, "currentTip", 5));
  EXPECT_EQ(SettingsStore(file).readString(key, "Language", ""), "Deutsch");

  // A folder another program keeps locked for seconds holds up no change:
  // the changes are kept, not saved over what it may be saving, and told
  // once; saved when it lets go.
  LockWaitLimitForTests limit(std::chrono::milliseconds(50));
  const std::string held = folder.file("held");
  SettingsStore heldStore(held + "/settings.ini");
  EXPECT_TRUE(heldStore.writeString(key, "Language", "English"));
  const int other = ::open(held.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  EXPECT_FALSE(heldStore.writeString(key, "Language", "Deutsch"));
  EXPECT_FALSE(heldStore.writeInteger(key, "currentTip", 4));
  EXPECT_EQ(heldStore.readString(key, "Language", ""), "Deutsch");
  EXPECT_EQ(SettingsStore(held + "/settings.ini").readString(key, "Language", ""), "English");
  ::close(other);
  ASSERT_EQ(reports.messages.size(), 3u) << "told once";
  EXPECT_EQ(reports.messages[2], "Another program holds " + held +
                                     ": settings cannot be saved while it does. Changes are "
                                     "kept until the program ends.");
  EXPECT_TRUE(heldStore.writeInteger(key, "currentTip", 5));
  EXPECT_EQ(SettingsStore(held + "/settings.ini").readString(key, "Language", ""), "Deutsch");
}

TEST(SettingsStore, AnUnreadableFileIsNeverOverwritten) {
  Reports reports;
  TempFolder folder;
  std::filesystem::create_directory(folder.file("settings.ini"));
  SettingsStore store(folder.file("settings.ini"));
  EXPECT_EQ(store.readString(key, "editor", "vi"), "vi");
  EXPECT_FALSE(store.writeString(key, "editor", "ed"));
  EXPECT_EQ(store.readString(key, "editor", "vi"), "ed");
  EXPECT_EQ(reports.messages.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(folder.file("settings.ini")));
}

TEST(SettingsStore, ChangesByAnotherProcessAreSeen) {
  TempFolder folder;
  std::string file = folder.file("settings.ini");
  SettingsStore mine(file);
  SettingsStore theirs(file); // stands for another running copy of the program
  mine.writeString(key, "mine", "1");
  theirs.writeString(key, "theirs", "2");
  EXPECT_EQ(mine.readString(key, "theirs", ""), "2");
  mine.writeString(key, "mine", "3");
  SettingsStore reader(file);
  EXPECT_EQ(reader.readString(key, "mine", ""), "3");
  EXPECT_EQ(reader.readString(key, "theirs", ""), "2");
}

TEST(SettingsStore, TwoProcessesSavingTogetherLoseNothing) {
  TempFolder folder;
  std::string file = folder.file("settings.ini");
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      SettingsStore store(file);
      bool ok = true;
      for (int i = 0; i < 20; ++i)
        ok = store.writeInteger(key, "p" + std::to_string(p) + "_" + std::to_string(i), i) && ok;
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  SettingsStore store(file);
  EXPECT_EQ(store.valueNames(key).size(), 40u);
}

TEST(SettingsStore, BatchedWritesSaveOnce) {
  TempFolder folder;
  std::string file = folder.file("settings.ini");
  SettingsStore store(file);
  {
    SettingsStore::BatchedWrites batch(store);
    store.writeInteger(key, "a", 1);
    store.writeInteger(key, "b", 2);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(store.readInteger(key, "a", 0), 1);
  }
  SettingsStore again(file);
  EXPECT_EQ(again.readInteger(key, "b", 0), 2);
}

TEST(SettingsStore, ABatchThatEndsAsItBeganLeavesTheFileAlone) {
  TempFolder folder;
  std::string file = folder.file("settings.ini");
  SettingsStore store(file);
  store.writeInteger(key, "a", 1);
  const auto written = std::filesystem::last_write_time(file);
  const auto inode = [&] {
    struct stat st {};
    ::stat(file.c_str(), &st);
    return st.st_ino;
  };
  const auto before = inode();
  {
    SettingsStore::BatchedWrites batch(store);
    store.writeInteger(key, "a", 2);
    store.writeInteger(key, "a", 1);
  }
  EXPECT_EQ(inode(), before);
  EXPECT_EQ(std::filesystem::last_write_time(file), written);
  // A real change after it is still saved.
  {
    SettingsStore::BatchedWrites batch(store);
    store.writeInteger(key, "a", 3);
  }
  EXPECT_NE(inode(), before);
  EXPECT_EQ(SettingsStore(file).readInteger(key, "a", 0), 3);
}

TEST(SettingsStore, ThreadsWriteAndReadTogether) {
  TempFolder folder;
  std::string file = folder.file("settings.ini");
  SettingsStore store(file);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 15; ++i) {
        std::string name = "v" + std::to_string(t) + "_" + std::to_string(i);
        store.writeInteger(key, name, t * 100 + i);
        EXPECT_EQ(store.readInteger(key, name, -1), t * 100 + i);
      }
    });
  for (auto &t : threads)
    t.join();
  SettingsStore again(file);
  EXPECT_EQ(again.valueNames(key).size(), 60u);
  EXPECT_EQ(again.readInteger(key, "V3_14", 0), 314);
}

TEST(SettingsStore, DefaultPathFollowsXdgConfigHome) {
  const char *old = std::getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(SettingsStore::defaultPath(), "/tmp/cfg/Ostrevan/Marrowen/settings.ini");
  ::setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
  EXPECT_EQ(SettingsStore::defaultPath().filename(), "settings.ini");
  EXPECT_NE(SettingsStore::defaultPath().string().rfind("relative", 0), 0u);
  if (old)
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(Registry, OpenKeyAndReadLikeTheClassLibrary) {
  TempFolder folder;
  SettingsStore store(folder.file("settings.ini"));
  TRegistry reg(store);
  EXPECT_FALSE(reg.OpenKey(key, false));
  ASSERT_TRUE(reg.OpenKey(key, true));
  EXPECT_EQ(reg.CurrentPath(), key);
  reg.WriteString("editor", "vi");
  reg.WriteInteger("currentTip", 3);
  reg.WriteBool("playSound", false);
  EXPECT_EQ(reg.ReadString("EDITOR"), "vi");
  EXPECT_EQ(reg.ReadInteger("currentTip"), 3);
  EXPECT_FALSE(reg.ReadBool("playSound"));
  EXPECT_EQ(reg.ReadString("absent"), "");
  auto error = [](auto op) { return marrowen::testing::errorOf<ERegistryException>(op); };
  EXPECT_EQ(error([&] { reg.ReadInteger("absent"); }), "Failed to get data for 'absent'");
  EXPECT_EQ(error([&] { reg.ReadInteger("editor"); }), "Invalid data type for 'editor'");
  EXPECT_EQ(error([&] { reg.ReadString("currentTip"); }), "Invalid data type for 'currentTip'");

  // Relative paths go below the open key, "\" paths from the hive.
  ASSERT_TRUE(reg.OpenKey("ShellFilters\\1", true));
  EXPECT_EQ(reg.CurrentPath(), std::string(key) + "\\ShellFilters\\1");
  EXPECT_TRUE(reg.OpenKey("\\software\\ostrevan\\marrowen", false));
  EXPECT_TRUE(reg.KeyExists("shellfilters\\1"));
  EXPECT_TRUE(reg.HasSubKeys());
  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Text(), "editor\r\ncurrentTip\r\nplaySound\r\n");
  EXPECT_TRUE(reg.DeleteValue("Editor"));
  EXPECT_FALSE(reg.ValueExists("editor"));

  // With no key open the hive is the current key ("fileHistory" lives there).
  reg.CloseKey();
  reg.WriteString("x", "y");
  EXPECT_EQ(store.readString("", "x", ""), "y");
  ASSERT_TRUE(reg.OpenKey("fileHistory", true));
  reg.WriteString("Item_0", "a.fll");
  EXPECT_EQ(store.readString("FILEHISTORY", "item_0", ""), "a.fll");
  EXPECT_TRUE(reg.DeleteKey("\\SOFTWARE\\Ostrevan\\Marrowen\\ShellFilters\\1"));
  EXPECT_FALSE(store.keyExists(std::string(key) + "\\ShellFilters\\1"));
}

TEST(RegIniFile, SectionsAreSubkeysAndValuesStayAsGiven) {
  TempFolder dir;
  SettingsStore store(dir.file("settings.ini"));
  TRegIniFile ini(store, "\\Software\\Test");
  ini.WriteString("Form", "Quoted", "\"x\"");
  ini.WriteString("", "Top", "'y'");
  ini.WriteInteger("Form", "Left", 12);
  EXPECT_EQ(store.readString("Software\\Test\\form", "quoted", "-"), "\"x\"");
  EXPECT_EQ(store.dataType("Software\\Test\\Form", "Left"), TRegDataType::rdString);
  EXPECT_EQ(ini.ReadString("", "Top", "-"), "'y'");
  EXPECT_EQ(ini.ReadInteger("form", "left", 0), 12);
  store.writeInteger("Software\\Test\\Form", "Native", 7);
  EXPECT_EQ(ini.ReadInteger("Form", "Native", 0), 7);
  EXPECT_EQ(ini.ReadString("Form", "Missing", "-"), "-");

  ini.DeleteKey("Form", "Left");
  EXPECT_FALSE(ini.ValueExists("Form", "Left"));
  ini.EraseSection("Form");
  EXPECT_FALSE(store.keyExists("Software\\Test\\Form"));
  EXPECT_TRUE(store.keyExists("Software\\Test"));
}

TEST(RegIniFile, ReadOnlyCreatesNothingAndRefusesWrites) {
  TempFolder dir;
  SettingsStore store(dir.file("settings.ini"));
  TRegIniFile ini(store, "Software\\Absent", true);
  EXPECT_FALSE(store.keyExists("Software\\Absent"));
  EXPECT_EQ(ini.ReadInteger("s", "n", 3), 3);
  EXPECT_EQ(marrowen::testing::errorOf<ERegistryException>([&] { ini.WriteString("s", "n", "v"); }),
            "Failed to set data for 'n'");
  EXPECT_FALSE(store.keyExists("Software\\Absent"));
}

// A batch, or a store that could not save, holds changes that are not yet on
// disk; what another copy saved meanwhile must survive their save.
TEST(SettingsStore, UnsavedChangesAreMadeAgainOnWhatAnotherProcessSaved) {
  TempFolder folder;
  const std::string file = folder.file("settings.ini");
  SettingsStore mine(file), theirs(file);
  mine.writeString(key, "gone", "x");
  {
    SettingsStore::BatchedWrites batch(mine);
    mine.writeString(key, "mine", "1");
    mine.deleteValue(key, "gone");
    theirs.writeString(key, "theirs", "2");
    theirs.writeString(key, "mine", "theirs");
    EXPECT_EQ(mine.readString(key, "theirs", ""), "2");
    EXPECT_EQ(mine.readString(key, "mine", ""), "1");
  }
  SettingsStore reader(file);
  EXPECT_EQ(reader.readString(key, "mine", ""), "1");
  EXPECT_EQ(reader.readString(key, "theirs", ""), "2");
  EXPECT_FALSE(reader.valueExists(key, "gone"));

  Reports reports;
  writeFile(folder.file("blocked"), "not a folder");
  const std::string blocked = folder.file("blocked/settings.ini");
  SettingsStore failing(blocked);
  for (int i = 0; i < 3; ++i)
    EXPECT_FALSE(failing.writeInteger(key, "tries", i));
  std::filesystem::remove(folder.file("blocked"));
  SettingsStore(blocked).writeString(key, "theirs", "2");
  EXPECT_TRUE(failing.writeString(key, "mine", "1"));
  SettingsStore after(blocked);
  EXPECT_EQ(after.readString(key, "theirs", ""), "2");
  EXPECT_EQ(after.readInteger(key, "tries", 0), 2);
}

// Some editors begin a UTF-8 file with a byte-order mark the user never sees:
// the first key or section must still be read, and the file written back
// whole.
TEST(SettingsStore, AByteOrderMarkAnEditorAddedHidesNothing) {
  Reports reports;
  TempFolder folder;
  const std::string mark = "\xEF\xBB\xBF";
  const std::string file = folder.file("settings.ini");
  writeFile(file, mark + "[SOFTWARE\\Ostrevan\\Marrowen]\r\n\"editor\"=\"kate\"\r\n");
  SettingsStore store(file);
  EXPECT_EQ(store.readString(key, "editor", ""), "kate");
  EXPECT_TRUE(store.writeBool(key, "showTips", false));
  EXPECT_EQ(SettingsStore(file).readString(key, "editor", ""), "kate");
  EXPECT_TRUE(reports.messages.empty()) << reports.messages[0];

  const std::string ini = folder.file("form.ini");
  writeFile(ini, mark + "[Form]\r\nNormPos=1,2,3,4\r\n");
  TIniFile form(ini);
  EXPECT_EQ(form.ReadString("Form", "NormPos", ""), "1,2,3,4");
  form.WriteString("form", "NormPos", "5,6,7,8");
  EXPECT_EQ(readFile(ini), mark + "[Form]\r\nNormPos=5,6,7,8\r\n");
}

#include "app/main/appsettings.h"

#include "app/common/launcher.h"
#include "app/main/recentfiles.h"
#include "app_testing.h"
#include "classlib/program.h"

#include <QMenu>

namespace marrowen {
namespace {

using testing::AppTest;

std::vector<std::string> texts(TRecentStrings &list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i)
    out.push_back(list.at(i).text);
  return out;
}

TEST(RecentStrings, CapacityCaseAndOrder) {
  TRecentStrings list;
  list.SetCapacity(0);
  EXPECT_EQ(list.Capacity(), 1);
  list.SetCapacity(9);
  for (int i = 1; i <= 10; ++i)
    list.Add("/f" + std::to_string(i) + ".fll");
  EXPECT_EQ(list.Count(), 9);
  EXPECT_EQ(list.at(0).text, "/f10.fll");
  EXPECT_EQ(list.IndexOf("/f1.fll"), -1); // the oldest went
  // Found again: moved to the top. A name in another letter case is another
  // file here, with an entry of its own, and removing it leaves the first.
  EXPECT_EQ(list.Add("/f5.fll"), 0);
  EXPECT_EQ(list.Count(), 9);
  EXPECT_EQ(list.Add("/F5.fll"), 0);
  EXPECT_EQ(list.at(0).text, "/F5.fll");
  EXPECT_EQ(list.at(1).text, "/f5.fll");
  list.Remove("/F5.fll");
  EXPECT_EQ(list.at(0).text, "/f5.fll");
  EXPECT_EQ(list.Count(), 8);

  TRecentStrings appended;
  appended.SetMode(1);
  appended.SetCapacity(2);
  appended.AddStrings({"a", "b", "c"});
  EXPECT_EQ(texts(appended), (std::vector<std::string>{"a", "b"}));
  appended.Add("c");
  EXPECT_EQ(texts(appended), (std::vector<std::string>{"b", "c"}));
}

TEST(RecentStrings, MenuCaptionsCarryAcceleratorsAndShowAmpersands) {
  QMenu menu;
  menu.addAction("Open");
  TMRUManager manager;
  manager.Strings().SetCapacity(12);
  manager.SetRecentMenu(&menu);
  for (int i = 11; i >= 1; --i)
    manager.Strings().Add("/lists/n" + std::to_string(i) + ".fll");
  manager.Strings().Add("/R&D/x.fll");
  EXPECT_EQ(manager.itemCaption(0), "&1 /R&&D/x.fll");
  EXPECT_EQ(manager.itemCaption(9), "&A /lists/n9.fll");
  // "Open", a separator, then the entries.
  ASSERT_EQ(menu.actions().size(), 2 + 12);
  EXPECT_TRUE(menu.actions()[1]->isSeparator());
  EXPECT_EQ(menu.actions()[2]->text().remove('&'), "1 /RD/x.fll");
  EXPECT_EQ(menu.actions()[2]->statusTip(), "/R&D/x.fll") << "the hint names the whole file";
  std::string chosen;
  manager.OnClick = [&](const std::string &text, int) { chosen = text; };
  menu.actions()[3]->trigger();
  EXPECT_EQ(chosen, "/lists/n1.fll");
}

using Settings = AppTest;

TEST_F(Settings, AnEmptyStoreGivesTheDefaults) {
  MainSettings settings;
  settings.language = "Klingon";
  TMRUManager recent;
  loadSettings(*store, settings, recent);
  EXPECT_TRUE(settings.playSound);
  // The desktop's completion sound and default editor.
  EXPECT_EQ(settings.soundFile, "");
  EXPECT_EQ(settings.editor, "");
  EXPECT_TRUE(settings.showWizard && settings.showTips);
  EXPECT_EQ(settings.currentTip, 0);
  EXPECT_EQ(recent.Strings().Capacity(), 9);
  EXPECT_EQ(settings.adhocFontName, "Courier New");
  EXPECT_EQ(settings.adhocFontSize, 8);
  EXPECT_EQ(settings.language, "English");
  EXPECT_EQ(settings.updateDate, 0);
  EXPECT_EQ(recent.Strings().Count(), 0);
}

TEST_F(Settings, StoredWindowsDefaultsReadAsTheDesktopsOwn) {
  const std::string key(program::registryKey);
  store->writeString(key, "soundFile", "SOUND.WAV");
  store->writeString(key, "editor", "Notepad.exe");
  MainSettings settings;
  TMRUManager recent;
  loadSettings(*store, settings, recent);
  EXPECT_EQ(settings.soundFile, "");
  EXPECT_EQ(settings.editor, "");
  store->writeString(key, "editor", "/usr/bin/notepad.exe.sh");
  loadSettings(*store, settings, recent);
  EXPECT_EQ(settings.editor, "/usr/bin/notepad.exe.sh");

  // The default editor: $VISUAL or $EDITOR in a terminal, else the desktop's.
  const QByteArray visual = qgetenv("VISUAL"), editor = qgetenv("EDITOR");
  qunsetenv("VISUAL");
  qputenv("EDITOR", "vim -n");
  EXPECT_TRUE(openInEditor({}, QStringLiteral("/t/a b.txt")));
  qunsetenv("EDITOR");
  EXPECT_TRUE(openInEditor({}, QStringLiteral("/t/a b.txt")));
  EXPECT_TRUE(openInEditor(QStringLiteral("kate"), QStringLiteral("/t/c.txt")));
  // As the options' file box leaves an editor whose path holds a blank, with
  // an option typed after it.
  EXPECT_TRUE(openInEditor(QStringLiteral("\"/opt/my editor/ed\" -n"), QStringLiteral("/t/c.txt")));
  EXPECT_EQ(launcher->started,
            QStringList({"/usr/bin/x-terminal-emulator -e vim -n /t/a b.txt", "xdg-open /t/a b.txt",
                         "kate /t/c.txt", "/opt/my editor/ed -n /t/c.txt"}));
  qputenv("VISUAL", visual);
  qputenv("EDITOR", editor);
  if (visual.isNull())
    qunsetenv("VISUAL");
  if (editor.isNull())
    qunsetenv("EDITOR");
}

TEST_F(Settings, ARoundTripKeepsTheOrderAndDropsStaleEntries) {
  const std::string key(program::registryKey);
  store->writeInteger(key, "updateDate", 46000);
  store->writeString(key, "emailAddress", "me@example.org");
  MainSettings settings;
  TMRUManager recent;
  loadSettings(*store, settings, recent);
  for (const char *file : {"/c.fll", "/b.fll", "/a.fll"})
    recent.Strings().Add(file);
  recent.Strings().Add("/u.fll", 7);
  settings.fileHistoryEntries = 5;
  settings.currentTip = 3;
  saveSettings(*store, settings, recent);
  recent.Strings().Remove("/c.fll");
  recent.Strings().Remove("/u.fll");
  saveSettings(*store, settings, recent);

  // The history lies at the top of the hive, not under the program's key.
  EXPECT_TRUE(store->valueExists("fileHistory", "Item_0"));
  EXPECT_FALSE(store->keyExists(key + "\\fileHistory"));
  EXPECT_FALSE(store->valueExists("fileHistory", "Item_2"));
  EXPECT_FALSE(store->valueExists("fileHistory", "User_0"));

  MainSettings again;
  TMRUManager reloaded;
  loadSettings(*store, again, reloaded);
  EXPECT_EQ(texts(reloaded.Strings()), (std::vector<std::string>{"/a.fll", "/b.fll"}));
  EXPECT_EQ(reloaded.Strings().Capacity(), 5);
  EXPECT_EQ(again.currentTip, 3);
  EXPECT_EQ(again.updateDate, 46000);
  EXPECT_EQ(again.emailAddress, "me@example.org");
  EXPECT_EQ(store->readString(key, "rootDir", ""), dir.path());
}

// Entries stored beyond the capacity are not read, and are cut back when the
// list is read: thousands of them slowed every later save of the settings.
TEST_F(Settings, UserValuesAndEntriesBeyondTheCapacity) {
  {
    SettingsStore::BatchedWrites once(*store);
    store->writeString("fileHistory", "Item_0", "/zero.fll");
    store->writeInteger("fileHistory", "User_0", 4);
    store->writeString("fileHistory", "Item_1", "");
    store->writeString("fileHistory", "Item_2", "/two.fll");
    for (int i = 3; i < 20000; ++i)
      store->writeString("fileHistory", "Item_" + std::to_string(i), "/f.fll");
    store->writeInteger("fileHistory", "User_20000", 1);
  }
  store->writeInteger(std::string(program::registryKey), "FileHistoryEntries", 3);
  MainSettings settings;
  TMRUManager recent;
  loadSettings(*store, settings, recent);
  EXPECT_EQ(texts(recent.Strings()), (std::vector<std::string>{"/zero.fll", "/two.fll"}));
  EXPECT_EQ(recent.Strings().at(0).user, 4);
  EXPECT_EQ(store->valueNames("fileHistory"),
            (std::vector<std::string>{"Item_0", "User_0", "Item_1"}));
  TMRUManager again;
  loadSettings(*store, settings, again);
  EXPECT_EQ(texts(again.Strings()), texts(recent.Strings()));
  EXPECT_EQ(again.Strings().at(0).user, 4);
  // One entry over the capacity is cut back too.
  store->writeString("fileHistory", "Item_3", "/three.fll");
  TMRUManager third;
  loadSettings(*store, settings, third);
  EXPECT_FALSE(store->valueExists("fileHistory", "Item_3"));
}

// Two copies of the program share one store: what each opened stays in the
// list, newest first, whichever saves last, and a removal in one holds.
TEST_F(Settings, TwoProgramsKeepEachOthersRecentFiles) {
  SettingsStore otherStore(store->file());
  MainSettings settings, otherSettings;
  TMRUManager recent, other;
  // Saved at each change, as the main window does.
  recent.OnListChange = [&] { saveRecentFiles(*store, recent); };
  other.OnListChange = [&] { saveRecentFiles(otherStore, other); };
  loadSettings(*store, settings, recent);
  loadSettings(otherStore, otherSettings, other);
  recent.Strings().Add("/a.fll");
  other.Strings().Add("/b.fll");
  EXPECT_EQ(texts(other.Strings()), (std::vector<std::string>{"/b.fll", "/a.fll"}));
  saveSettings(*store, settings, recent); // the first quits
  EXPECT_EQ(texts(recent.Strings()), (std::vector<std::string>{"/b.fll", "/a.fll"}));
  recent.Strings().Add("/c.fll");
  other.Strings().Remove("/a.fll");
  saveSettings(otherStore, otherSettings, other);
  MainSettings read;
  TMRUManager reloaded;
  loadSettings(*store, read, reloaded);
  EXPECT_EQ(texts(reloaded.Strings()), (std::vector<std::string>{"/c.fll", "/b.fll"}));
}

TEST_F(Settings, TheHistoryCountIsClampedToTheOptionsRange) {
  const std::string key(program::registryKey);
  {
    SettingsStore::BatchedWrites once(*store);
    for (int i = 0; i < 2000; ++i)
      store->writeString("fileHistory", "Item_" + std::to_string(i), "/f" + std::to_string(i));
  }
  for (auto [stored, capacity] : {std::pair{1'000'000, 9}, {INT32_MAX, 9}, {0, 1}, {-5, 1}}) {
    SCOPED_TRACE(stored);
    store->writeInteger(key, "FileHistoryEntries", stored);
    MainSettings settings;
    QMenu menu;
    TMRUManager recent;
    recent.SetRecentMenu(&menu);
    loadSettings(*store, settings, recent);
    EXPECT_EQ(settings.fileHistoryEntries, capacity);
    EXPECT_EQ(recent.Strings().Count(), capacity);
    EXPECT_EQ(menu.actions().size(), capacity);
  }
}

} // namespace
} // namespace marrowen

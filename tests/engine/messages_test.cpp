#include "engine/messages.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/inifile.h"
#include "classlib/paths.h"
#include "classlib/registry.h"
#include "classlib/safefile.h"
#include "classlib/utf8.h"
#include "support/all_bytes.h"
#include "support/error_message.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

using namespace marrowen;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

namespace {

std::string decodeError(std::string_view text) {
  return marrowen::testing::errorOf([&] { decodeLanguageText(text); });
}

// Puts the previously installed loader back when a test ends.
class InstalledLoader {
public:
  explicit InstalledLoader(std::shared_ptr<TStringLoader> loader)
      : previous_(installStringLoader(std::move(loader))) {}
  ~InstalledLoader() { installStringLoader(previous_); }

private:
  std::shared_ptr<TStringLoader> previous_;
};

} // namespace

TEST(LanguageText, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(decodeLanguageText(encodeLanguageText(one)), one) << b;
    all += one;
  }
  std::string encoded = encodeLanguageText(all);
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(decodeLanguageText(encoded), all);
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int i = static_cast<int>(random() % 100); i > 0; --i)
      text += random() % 4 == 0 ? "\\0137\r\n"[random() % 7] : static_cast<char>(random());
    ASSERT_EQ(decodeLanguageText(encodeLanguageText(text)), text);
  }
}

TEST(LanguageText, Forms) {
  EXPECT_EQ(encodeLanguageText("a\r\nb\\c\x01\x1f\x7f\xe9"), "a\\r\\nb\\\\c\\001\\037\x7f\xe9");
  EXPECT_EQ(decodeLanguageText("Caf\\351"), "Caf\xe9");
  EXPECT_EQ(decodeLanguageText("\\101\\q\\e"), "A\\q\x1b");
  EXPECT_EQ(octalCode(0xE9), "351");
  EXPECT_EQ(octalCode(0), "000");
}

TEST(LanguageText, MalformedEscapesRaise) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"\\400", "\\OOO Maximum octal value is \\377"},
      {"\\08", "\\OOO You must specify all 3 octal digits (Leading zeros are required)"},
      {"abc\\", "Trailing \\ needs to be followed by another \\ or 3 Octal digits"},
      {"x\\12", "\\OOO Expecting 3 trailing octal digits"},
  };
  for (const auto &[text, message] : cases)
    EXPECT_EQ(decodeError(text), message) << text;
}

TEST(StringLoader, MissingMessageIsWrittenEscapedUnderGlobal) {
  TempFolder dir;
  std::string name = dir.file("Languages/English.ini");
  TStringLoader loader(name);
  ASSERT_FALSE(loader.disabled());
  EXPECT_EQ(loader.getString(970, "Error %s\r\n%s"), "Error %s\r\n%s");
  EXPECT_EQ(readFile(name), "[global]\r\n970=Error %s\\r\\n%s\r\n");
  EXPECT_EQ(loader.getString(3610, "Caf\xe9\\"), "Caf\xe9\\");
  EXPECT_EQ(readFile(name), "[global]\r\n970=Error %s\\r\\n%s\r\n3610=Caf\xe9\\\\\r\n");
  // A present key is answered from memory; the file stays as it was.
  EXPECT_EQ(loader.getString(970, "other"), "Error %s\r\n%s");
  EXPECT_EQ(readFile(name), "[global]\r\n970=Error %s\\r\\n%s\r\n3610=Caf\xe9\\\\\r\n");
}

// A translator who edits the file, or a second copy of the program that adds
// its own keys, while this one runs loses nothing when this one adds a key.
TEST(StringLoader, AnAdditionKeepsWhatOthersSavedMeanwhile) {
  TempFolder dir;
  std::string name = dir.file("English.ini");
  writeFile(name, "[global]\r\n10=ten\r\n");
  TStringLoader first(name);
  TStringLoader second(name);
  TStringLoader third(name);
  EXPECT_EQ(first.getString(10, "default"), "ten");
  writeFile(name, "[global]\r\n10=dix\r\n40=quarante\r\n");
  EXPECT_EQ(first.getString(20, "twenty"), "twenty");
  EXPECT_EQ(second.getString(30, "thirty"), "thirty");
  EXPECT_EQ(second.getString(20, "other"), "twenty");
  // Keys saved meanwhile that this copy never read keep their saved texts.
  third.getString(40, "forty");
  third.getString(30, "other");
  EXPECT_EQ(readFile(name), "[global]\r\n10=dix\r\n40=quarante\r\n20=twenty\r\n30=thirty\r\n");
}

// Programs starting together on a new language file take turns at its lock,
// each write-back flushed to disk: a form's texts go back in one write, and
// texts another program added already cost none.
TEST(StringLoader, AFormsTextsAreWrittenOnceAndOthersAdditionsNotAgain) {
  TempFolder dir;
  const std::string name = dir.file("English.ini");
  TStringLoader first(name);
  TStringLoader second(name);
  {
    TStringLoader::Batch form(first);
    first.addValue("TmainForm", "a.Caption", "A");
    EXPECT_EQ(first.getString(10, "ten"), "ten");
    first.addValue("TmainForm", "b.Caption", "B");
    EXPECT_FALSE(std::filesystem::exists(name));
  }
  const std::string written = readFile(name);
  EXPECT_EQ(written, "[TmainForm]\r\na.Caption=A\r\nb.Caption=B\r\n\r\n[global]\r\n10=ten\r\n");
  const int held = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  second.addValue("TmainForm", "b.Caption", "other");
  second.getString(10, "zehn");
  struct stat now {
  }, then{};
  ::stat(name.c_str(), &now);
  ::fstat(held, &then);
  ::close(held);
  EXPECT_EQ(now.st_ino, then.st_ino) << "written again for texts it held";
  EXPECT_EQ(readFile(name), written);
  EXPECT_EQ(second.readValue("TmainForm", "b.Caption"), "B");
}

TEST(StringLoader, SecondLoaderReadsBackByteExactTexts) {
  TempFolder dir;
  std::string name = dir.file("English.ini");
  const std::string allBytes = marrowen::testing::allBytes().substr(1); // all but NUL
  const std::pair<int, std::string> texts[] = {
      {10, "  leading and trailing  "}, {20, "\t"}, {30, allBytes}, {40, ""}, {50, " = ; [x]"}};
  {
    TStringLoader first(name);
    for (const auto &[id, text] : texts)
      EXPECT_EQ(first.getString(id, text), text);
  }
  // Read back in UTF-8, as the program shows and logs it: a byte that no
  // UTF-8 holds as the code page's letter.
  TStringLoader second(name);
  for (const auto &[id, text] : texts)
    EXPECT_EQ(second.getString(id, "default"), utf8::toUtf8(text, *systemCodePage())) << id;
  // Sections and keys written by a translator are found whatever their case.
  writeFile(name, "[GLOBAL]\r\n 60 = x \r\n");
  TStringLoader third(name);
  EXPECT_EQ(third.getString(60, "default"), " x ");
}

TEST(StringLoader, UnusableFileGivesDefaultsAndNothingThrown) {
  TempFolder dir;
  writeFile(dir.file("plain"), "");
  std::filesystem::create_directory(dir.file("folder.ini"));
  // A regular file where the folder should be, and a folder where the file
  // should be: neither can be created, even by root.
  for (std::string name : {dir.file("plain/Languages/English.ini"), dir.file("folder.ini")}) {
    auto loader = std::make_shared<TStringLoader>(name);
    EXPECT_TRUE(loader->disabled()) << name;
    InstalledLoader installed(loader);
    EXPECT_EQ(translate(10, "ten"), "ten");
    EXPECT_EQ(translate(10, "again"), "again");
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.ini")));
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("folder.ini")));
}

// A language file far beyond any real one is not read into memory: the
// program runs on in English and says why.
TEST(StringLoader, AnOversizedFileIsNotReadAndSaysWhy) {
  TempFolder dir;
  writeFile(dir.file("English.ini"),
            "[global]\n10=x\n" + std::string(TStringLoader::languageFileLimit, ';'));
  auto loader = std::make_shared<TStringLoader>(dir.file("English.ini"));
  EXPECT_TRUE(loader->disabled());
  EXPECT_NE(loader->loadError().find("is larger than"), std::string::npos) << loader->loadError();
  InstalledLoader installed(loader);
  EXPECT_EQ(translate(10, "ten"), "ten");
}

TEST(StringLoader, FailedWriteBackKeepsKeyAndStopsWriting) {
  TempFolder dir;
  std::string folder = dir.file("Languages");
  std::string name = folder + "/English.ini";
  TStringLoader loader(name);
  ASSERT_FALSE(loader.disabled());
  // The folder turns into a file: the write-back cannot create its temporary.
  std::filesystem::remove(folder);
  writeFile(folder, "not a folder");
  EXPECT_EQ(loader.getString(10, "ten"), "ten");
  EXPECT_TRUE(loader.writesStopped());
  EXPECT_NE(loader.writeError().find("English.ini"), std::string::npos);
  EXPECT_EQ(loader.getString(10, "changed default"), "ten"); // kept in memory
  // Writable again: additions still stay in memory only.
  std::filesystem::remove(folder);
  std::filesystem::create_directory(folder);
  EXPECT_EQ(loader.getString(20, "twenty"), "twenty");
  EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(StringLoader, ReadOnlyFolderForOrdinaryUsers) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders";
  TempFolder dir;
  std::string folder = dir.file("Languages");
  TStringLoader loader(folder + "/English.ini");
  std::filesystem::permissions(folder, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_exec);
  EXPECT_EQ(loader.getString(10, "ten"), "ten");
  EXPECT_TRUE(loader.writesStopped());
}

// A translation with a malformed escape gives the English text, and the
// default log names its file and key once a run.
TEST(StringLoader, MalformedStoredValueFallsBackToDefault) {
  TempFolder dir;
  overrideProgramFolder(dir.path());
  std::string name = dir.file("English.ini");
  writeFile(name, "[global]\r\n10=bad \\400\r\n[TmainForm]\r\nb.Caption=\\08\r\n");
  {
    TStringLoader loader(name);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(loader.getString(10, "ten"), "ten");
      EXPECT_THROW(loader.readValue("TmainForm", "b.Caption"), Exception);
    }
  }
  EXPECT_EQ(readFile(name), "[global]\r\n10=bad \\400\r\n[TmainForm]\r\nb.Caption=\\08\r\n");
  const std::string log = readFile(dir.file("marrowen.log"));
  overrideProgramFolder("");
  for (const std::string &note :
       {"Warning,Key 10 in section [global] of the language file " + name +
            " has a malformed escape and is shown in English: \\OOO Maximum octal value is \\377",
        "Warning,Key b.Caption in section [TmainForm] of the language file " + name +
            " has a malformed escape and is shown in English: \\OOO You must specify all 3 octal "
            "digits (Leading zeros are required)"}) {
    const auto first = log.find(note);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(note, first + 1), std::string::npos) << log;
  }
}

// A language file the user made read-only, or one another program keeps
// locked for seconds, is left as it is: what is added stays in memory, and
// the user is told once.
TEST(StringLoader, AFileItCannotWriteIsLeftAloneAndToldOnce) {
  std::vector<std::string> told;
  SettingsStore::setReporter([&](const std::string &message) { told.push_back(message); });
  LockWaitLimitForTests limit(std::chrono::milliseconds(50));
  TempFolder dir;
  const std::string original = "[global]\r\n10=dix\r\n";
  for (const std::string &name : {dir.file("read-only.ini"), dir.file("held.ini")}) {
    writeFile(name, original);
    int holder = -1;
    if (name == dir.file("read-only.ini"))
      ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
    else
      ASSERT_EQ(::flock(holder = ::open(name.c_str(), O_RDONLY | O_CLOEXEC), LOCK_EX), 0);
    struct stat before {
    }, after{};
    ::stat(name.c_str(), &before);
    TStringLoader loader(name);
    EXPECT_EQ(loader.getString(20, "twenty"), "twenty");
    EXPECT_EQ(loader.getString(30, "thirty"), "thirty");
    EXPECT_EQ(loader.getString(20, "other"), "twenty");
    EXPECT_EQ(loader.getString(10, "ten"), "dix");
    ::stat(name.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino) << name;
    EXPECT_EQ(readFile(name), original);
    if (holder >= 0)
      ::close(holder);
  }
  SettingsStore::setReporter(nullptr);
  EXPECT_EQ(told, (std::vector<std::string>{
                      "The language file " + dir.file("read-only.ini") +
                          " is read-only: texts added to it are kept until the program ends.",
                      "Another program holds " + dir.file("held.ini") +
                          ": texts added to it are kept until the program ends."}));
}

TEST(StringLoader, FormValuesAreAddedOnce) {
  TempFolder dir;
  std::string name = dir.file("English.ini");
  TStringLoader loader(name);
  EXPECT_EQ(loader.readValue("TmainForm", "goButton.Caption"), std::nullopt);
  loader.addValue("TmainForm", "goButton.Caption", "&Go\r\n");
  loader.addValue("TmainForm", "goButton.Caption", "ignored");
  EXPECT_EQ(loader.readValue("tmainform", "GOBUTTON.caption"), "&Go\r\n");
  EXPECT_EQ(readFile(name), "[TmainForm]\r\ngoButton.Caption=&Go\\r\\n\r\n");
}

TEST(StringLoader, ConcurrentLookupsLeaveACompleteFile) {
  TempFolder dir;
  std::string name = dir.file("English.ini");
  auto loader = std::make_shared<TStringLoader>(name);
  InstalledLoader installed(loader);
  constexpr int threads = 6;
  constexpr int ids = 40;
  std::vector<std::thread> workers;
  std::atomic<int> wrong{0};
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([t, &wrong] {
      // Each thread walks the ids from a different start, so threads meet
      // on the same missing keys.
      for (int i = 0; i < ids; ++i) {
        int id = ((i + t * 7) % ids + 1) * 10;
        std::string text = "message " + std::to_string(id) + " \r\n";
        if (translate(id, text) != text)
          ++wrong;
      }
    });
  }
  for (auto &w : workers)
    w.join();
  EXPECT_EQ(wrong, 0);
  TMemIniFile file(name);
  EXPECT_EQ(file.ReadSection("global").size(), static_cast<std::size_t>(ids));
  for (int i = 1; i <= ids; ++i) {
    std::string id = std::to_string(i * 10);
    EXPECT_EQ(file.ReadString("global", id, "missing"), "message " + id + " \\r\\n");
  }
}

TEST(Translate, WithoutLoaderGivesDefaults) {
  InstalledLoader none(nullptr);
  EXPECT_EQ(translate(10, "ten"), "ten");
  EXPECT_EQ(translateFormat(20, "%s and %d", {"a", 2}), "a and 2");
}

TEST(Translate, BadTranslationFormatFallsBackToDefault) {
  TempFolder dir;
  std::string exhausting;
  for (int i = 0; i < 5000; ++i)
    exhausting += "%0:.1000000d";
  writeFile(dir.file("x.ini"),
            "[global]\r\n20=%d %d %d\r\n30=%1:s %0:s\r\n40=" + exhausting + "\r\n");
  InstalledLoader installed(std::make_shared<TStringLoader>(dir.file("x.ini")));
  EXPECT_EQ(translateFormat(20, "%s and %d", {"a", 2}), "a and 2");
  EXPECT_EQ(translateFormat(30, "%s %s", {"a", "b"}), "b a");
  EXPECT_EQ(translateFormat(40, "%d file(s)", {7}), "7 file(s)");
}

// The default log names a misfit translation once a run: at its first
// misfit, never again.
TEST(Translate, AMisfitIsNamedInTheLogAtItsFirstUseOnly) {
  TempFolder dir;
  overrideProgramFolder(dir.path());
  writeFile(dir.file("x.ini"), "[global]\r\n99910=%d once\r\n99920=%d thrice\r\n");
  {
    InstalledLoader installed(std::make_shared<TStringLoader>(dir.file("x.ini")));
    EXPECT_EQ(translateFormat(99910, "%s", {"a"}), "a");
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(translateFormat(99920, "%s", {"b"}), "b");
  }
  const std::string log = readFile(dir.file("marrowen.log"));
  overrideProgramFolder("");
  for (const std::string note : {"Message 99910 of the language file does not fit its values and "
                                 "is shown in English: %d once",
                                 "Message 99920 of the language file does not fit its values and "
                                 "is shown in English: %d thrice"}) {
    const auto first = log.find(note);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(note, first + 1), std::string::npos) << log;
  }
}

TEST(LanguageLoader, GoesToDataFolderWhenProgramFolderIsNotWritable) {
  TempFolder dir;
  setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  overrideProgramFolder(dir.path());
  EXPECT_EQ(createLanguageLoader("English")->fileName(), dir.file("Languages/English.ini"));
  // A file in place of the program folder: not writable, even for root.
  writeFile(dir.file("ro"), "");
  overrideProgramFolder(dir.file("ro"));
  EXPECT_EQ(createLanguageLoader("English")->fileName(),
            dir.file("data/Marrowen/Languages/English.ini"));
  overrideProgramFolder("");
  unsetenv("XDG_DATA_HOME");
}

// A language typed in the preferences has no file yet: its first start
// makes one for a translator, in place of falling back to English.
TEST(LanguageLoader, TheSettingNamesALanguageNeverAPath) {
  TempFolder dir;
  setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  overrideProgramFolder(dir.file("program"));
  std::filesystem::create_directories(dir.file("program/Languages"));
  writeFile(dir.file("program/Languages/Deutsch.ini"), "[global]\r\n");
  writeFile(dir.file("program/other.ini"), "[global]\r\n10=x\r\n");
  const std::string english = dir.file("program/Languages/English.ini");
  for (const char *setting : {"../other", "/tmp/x", "..\\other", "", ".hidden"}) {
    SCOPED_TRACE(setting);
    EXPECT_EQ(createLanguageLoader(setting)->fileName(), english);
  }
  EXPECT_EQ(createLanguageLoader("Deutsch")->fileName(), dir.file("program/Languages/Deutsch.ini"));
  const std::string klingon = dir.file("program/Languages/Klingon.ini");
  EXPECT_EQ(createLanguageLoader("Klingon")->getString(10, "ten"), "ten");
  EXPECT_EQ(readFile(klingon), "[global]\r\n10=ten\r\n");
  EXPECT_EQ(readFile(dir.file("program/other.ini")), "[global]\r\n10=x\r\n");
  overrideProgramFolder("");
  unsetenv("XDG_DATA_HOME");
}

TEST(LanguageLoader, ShippedCopyStartsTheWritableOne) {
  TempFolder dir;
  writeFile(dir.file("shipped.ini"), "[global]\r\n10=dix\r\n");
  TStringLoader loader(dir.file("own/English.ini"), dir.file("shipped.ini"));
  EXPECT_EQ(loader.getString(10, "ten"), "dix");
  EXPECT_EQ(loader.getString(20, "twenty"), "twenty");
  EXPECT_EQ(readFile(dir.file("own/English.ini")), "[global]\r\n10=dix\r\n20=twenty\r\n");
  EXPECT_EQ(readFile(dir.file("shipped.ini")), "[global]\r\n10=dix\r\n");
  // Once the own copy exists, it alone is read.
  writeFile(dir.file("shipped.ini"), "[global]\r\n30=trente\r\n");
  TStringLoader again(dir.file("own/English.ini"), dir.file("shipped.ini"));
  EXPECT_EQ(again.getString(30, "thirty"), "thirty");
}

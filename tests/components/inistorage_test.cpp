#include "components/inistorage.h"

#include "classlib/inifile.h"
#include "classlib/registry.h"
#include "components/formplacement.h"
#include "support/temp_folder.h"

#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace marrowen;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;

namespace {

class TMyForm : public QWidget {
  Q_OBJECT
};

// Values whose own quotes must survive an ini file, as written there.
const struct {
  const char *value, *inFile;
} quotingCases[] = {
    {"\"x\"", "\"\"x\"\""}, {"'x'", "\"'x'\""}, {"\"x", "\"x"},
    {"x'", "x'"},           {"\"", "\"\"\""},   {"", ""},
};

} // namespace

TEST(IniStorage, QuotedValuesComeBackExactlyFromAnIniFileAndUnchangedFromTheStore) {
  TempFolder dir;
  {
    TIniFile ini(dir.file("a.ini"));
    for (const auto &c : quotingCases)
      IniWriteString(&ini, "s", std::string("k") + c.inFile, c.value);
  }
  TIniFile ini(dir.file("a.ini"));
  std::string expected = "[s]\r\n";
  for (const auto &c : quotingCases) {
    EXPECT_EQ(IniReadString(&ini, "s", std::string("k") + c.inFile, "-"), c.value);
    expected += std::string("k") + c.inFile + "=" + c.inFile + "\r\n";
  }
  EXPECT_EQ(readFile(dir.file("a.ini")), expected);

  SettingsStore store(dir.file("settings.ini"));
  TRegIniFile registry(store, "Software\\Test");
  for (const auto &c : quotingCases) {
    IniWriteString(&registry, "s", "k", c.value);
    EXPECT_EQ(store.readString("Software\\Test\\s", "k", "-"), c.value);
    EXPECT_EQ(IniReadString(&registry, "s", "k", "-"), c.value);
  }
}

TEST(IniStorage, NoStorageReadsDefaultsAndWritesNothing) {
  EXPECT_EQ(IniReadString(nullptr, "s", "k", "def"), "def");
  EXPECT_EQ(IniReadInteger(nullptr, "s", "k", 42), 42);
  IniWriteString(nullptr, "s", "k", "v");
  IniWriteInteger(nullptr, "s", "k", 1);
  IniEraseSection(nullptr, "s");
  IniDeleteKey(nullptr, "s", "k");

  TempFolder dir;
  TIniFile ini(dir.file("b.ini"));
  IniWriteInteger(&ini, "Recent", "User_1", 7);
  IniWriteString(&ini, "Recent", "Item_1", "/a b/c.txt");
  EXPECT_EQ(IniReadInteger(&ini, "Recent", "User_1", 0), 7);
  IniDeleteKey(&ini, "Recent", "User_1");
  EXPECT_EQ(IniReadInteger(&ini, "Recent", "User_1", -1), -1);
  IniEraseSection(&ini, "Recent");
  EXPECT_EQ(IniReadString(&ini, "Recent", "Item_1", "gone"), "gone");
}

TEST(IniStorage, DefaultSectionNamesFormControlAndComponent) {
  TMyForm form;
  auto *ok = new QPushButton(&form);
  ok->setObjectName("OkBtn");
  auto *timer = new QTimer(&form);
  timer->setObjectName("Timer1");
  QTimer loose;
  loose.setObjectName("Loose");
  EXPECT_EQ(GetDefaultSection(&form), "TMyForm");
  EXPECT_EQ(GetDefaultSection(ok), "TMyFormOkBtn");
  EXPECT_EQ(GetDefaultSection(timer), "TMyForm.Timer1");
  EXPECT_EQ(GetDefaultSection(&loose), "Loose");
  EXPECT_EQ(GetDefaultSection(nullptr), "");
}

TEST(IniStorage, LinkRootSectionAndDetaching) {
  TMyForm form;
  auto *placement = new TFormPlacement(&form);
  TIniLink link;
  EXPECT_EQ(link.RootSection(), "");
  link.SetStorage(placement);
  EXPECT_EQ(link.RootSection(), ""); // not a lone "\"
  placement->SetIniSection("Main");
  EXPECT_EQ(link.RootSection(), "Main\\");
  EXPECT_EQ(link.IniObject(), nullptr); // open only while saving or restoring
  delete placement;
  EXPECT_EQ(link.Storage(), nullptr);
}

#include "inistorage_test.moc"

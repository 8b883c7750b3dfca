#include "app/common/translateform.h"

#include "app/common/forminfo.h"
#include "app/main/mainform.h"
#include "app_testing.h"
#include "classlib/inifile.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <filesystem>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::readFile;
using testing::writeFile;

class TsampleForm : public QWidget {
  Q_OBJECT
public:
  TsampleForm() {
    setObjectName("sampleForm");
    setWindowTitle("Sample");
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName("Pages");
    auto *page = new QWidget;
    page->setObjectName("firstPage");
    tabs->addTab(page, "&1 First");
    button = new QPushButton("&Go", page);
    button->setObjectName("goButton");
    button->setToolTip("Run it");
    button->setStatusTip("Run the whole list");
    auto *unnamed = new QLabel("Nameless", page);
    (void)unnamed;
    auto *empty = new QLabel(QString(), page);
    empty->setObjectName("emptyLabel");
    group = new QGroupBox(" Binary files ", page);
    group->setObjectName("skipBinary");
    auto *layout = new QVBoxLayout(group);
    for (const char *item : {"Process", "Skip"})
      layout->addWidget(new QRadioButton(item, group));
    markRadioGroup(group);
    menu = new QMenu("&File", this);
    menu->setObjectName("File1");
    QAction *open = menu->addAction("&Open...");
    open->setObjectName("Open1");
    (new QVBoxLayout(this))->addWidget(tabs);
    this->tabs = tabs;
  }
  QTabWidget *tabs;
  QPushButton *button;
  QGroupBox *group;
  QMenu *menu;
};

class TranslateForm : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    std::filesystem::create_directories(dir.file("Languages"));
  }
  std::string languageFile() const { return dir.file("Languages/Test.ini"); }
  void install() { installStringLoader(TStringLoader::Create(languageFile())); }
};

TEST_F(TranslateForm, AFirstRunWritesTheDesignedTextsButNoEmptyOrInnerOnes) {
  install();
  TsampleForm form;
  translateForm(&form);
  TMemIniFile ini(languageFile());
  const std::string section = "TsampleForm";
  EXPECT_EQ(ini.ReadString(section, "sampleForm.Caption", "-"), "Sample");
  EXPECT_EQ(ini.ReadString(section, "firstPage.Caption", "-"), "&1 First");
  EXPECT_EQ(ini.ReadString(section, "goButton.Hint", "-"), "Run it|Run the whole list");
  EXPECT_EQ(ini.ReadString(section, "skipBinary.items", "-"), "Process\\r\\nSkip");
  EXPECT_EQ(ini.ReadString(section, "Open1.Caption", "-"), "&Open...");
  EXPECT_FALSE(ini.ValueExists(section, "emptyLabel.Caption"));
  const std::string text = readFile(languageFile());
  EXPECT_EQ(text.find("Nameless"), std::string::npos);
  EXPECT_EQ(text.find("qt_"), std::string::npos);
}

TEST_F(TranslateForm, StoredTextsReplaceTitlesTabsMenusItemsAndHints) {
  writeFile(languageFile(), "[TsampleForm]\n"
                            "sampleForm.Caption=Muster\n"
                            "firstPage.Caption=&1 Erste\n"
                            "goButton.Caption=&Los\n"
                            "goButton.Hint=Starten|Die ganze Liste starten\n"
                            "skipBinary.items=Verarbeiten\\r\\nAuslassen\n"
                            "File1.Caption=&Datei\n"
                            "Open1.Caption=\\301ffnen\n");
  install();
  TsampleForm form;
  translateForm(&form);
  EXPECT_EQ(form.windowTitle(), "Muster");
  EXPECT_EQ(form.tabs->tabText(0), "&1 Erste");
  EXPECT_EQ(form.button->text(), "&Los");
  EXPECT_EQ(form.button->toolTip(), "Starten");
  EXPECT_EQ(form.button->statusTip(), "Die ganze Liste starten");
  auto radios = form.group->findChildren<QRadioButton *>();
  EXPECT_EQ(radios[0]->text(), "Verarbeiten");
  EXPECT_EQ(radios[1]->text(), "Auslassen");
  EXPECT_EQ(form.menu->title(), "&Datei");
  EXPECT_EQ(form.menu->actions()[0]->text(), QString::fromUtf8("\xC3\x81"
                                                               "ffnen"));
}

TEST_F(TranslateForm, AMalformedValueKeepsTheDesignedText) {
  writeFile(languageFile(), "[TsampleForm]\ngoButton.Caption=Bad \\12\nsampleForm.Caption=Fine\n");
  install();
  TsampleForm form;
  translateForm(&form);
  EXPECT_EQ(form.button->text(), "&Go");
  EXPECT_EQ(form.windowTitle(), "Fine");
}

TEST_F(TranslateForm, TheMainWindowWritesItsKeys) {
  { TmainForm main; }
  TMemIniFile ini(dir.file("Languages/English.ini"));
  EXPECT_EQ(ini.ReadString("TmainForm", "File1.Caption", "-"), "&File");
  EXPECT_EQ(ini.ReadString("TmainForm", "Exit1.Caption", "-"), "E&xit");
  EXPECT_EQ(ini.ReadString("TmainForm", "mainForm.Caption", "-"), "Marrowen %s");
}

using FormInfo = AppTest;

TEST_F(FormInfo, AMaximizedWindowReopensMaximizedAtItsLastNormalSize) {
  QPoint at;
  {
    QWidget form;
    form.setObjectName("someForm");
    form.setGeometry(40, 50, 300, 200);
    form.show();
    // Where the window begins, its frame included, as a normal one is stored.
    at = form.pos();
    form.showMaximized();
    TFormInfo(&form).Save();
  }
  QWidget again;
  again.setObjectName("someForm");
  TFormInfo info(&again);
  info.Load();
  EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
  EXPECT_EQ(again.size(), QSize(300, 200));
  EXPECT_EQ(again.pos(), at);
}

TEST_F(FormInfo, AnOffScreenRectangleIsIgnoredAndTheStatusWindowTakesOnlyItsSize) {
  const std::string key = "Software\\Ostrevan\\Marrowen\\someForm";
  store->writeInteger(key, "Width", 300);
  store->writeInteger(key, "Height", 200);
  store->writeInteger(key, "Left", 100000);
  store->writeInteger(key, "Top", 10);
  store->writeBool(key, "WindowState", true);
  QWidget form;
  form.setObjectName("someForm");
  form.resize(123, 45);
  TFormInfo(&form).Load();
  EXPECT_EQ(form.size(), QSize(123, 45));

  TFormInfo sizeOnly(&form);
  sizeOnly.recordPosition = false;
  form.move(7, 8);
  sizeOnly.Load();
  EXPECT_EQ(form.size(), QSize(300, 200));
  EXPECT_EQ(form.pos(), QPoint(7, 8));
}

TEST_F(FormInfo, ExtremeStoredNumbersLeaveThePlacementAlone) {
  const std::string key = "Software\\Ostrevan\\Marrowen\\someForm";
  for (const char *name : {"Width", "Height", "Left", "Top"})
    for (std::int32_t extreme : {INT32_MAX, INT32_MIN, 0}) {
      if (extreme == 0 && name[0] != 'W' && name[0] != 'H')
        continue; // a position of 0 is as good as any
      SCOPED_TRACE(std::string(name) + " " + std::to_string(extreme));
      for (const char *other : {"Width", "Height", "Left", "Top"})
        store->writeInteger(key, other, 100);
      store->writeInteger(key, name, extreme);
      QWidget form;
      form.setObjectName("someForm");
      form.setGeometry(7, 8, 123, 45);
      TFormInfo(&form).Load();
      EXPECT_EQ(form.geometry(), QRect(7, 8, 123, 45));
    }
}

} // namespace
} // namespace marrowen

#include "translateform_test.moc"

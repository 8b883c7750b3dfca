#include "app/main/mainform.h"

#include "app/common/forminfo.h"
#include "app/common/memos.h"
#include "app/common/patternmenu.h"
#include "app/jobs/debugwindow.h"
#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/main/aboutbox.h"
#include "app/main/commandlineform.h"
#include "app/main/optionsdialog.h"
#include "app/main/tipoftheday.h"
#include "app_testing.h"
#include "classlib/program.h"
#include "components/fileedits.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include "app/main/recentfiles.h"
#include "components/trayicon.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFontDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QSpinBox>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <thread>

#include <filesystem>
#include <optional>
#include <set>

namespace marrowen {
namespace {

using testing::AppTest;
using testing::writeFile;

class FakeChild : public QWidget, public FilterListWindow {
public:
  QWidget *widget() override { return this; }
  std::string fileName() const override { return name; }
  bool filterHasChanged() const override { return changed; }
  bool loadFilterList(const std::string &file, const LoadListOptions &) override {
    name = file;
    loaded.push_back(file);
    return true;
  }
  bool testThenAdd(const std::string &file) override {
    added.push_back(file);
    return true;
  }
  void showFilesPage() override { filesShown = true; }
  void checkButtonsEnableStatus() override {}
  void Save() override {}
  void addDescriptionFilter(int kind) override { kinds.push_back(kind); }
  void addNumberFilter(int kind) override { kinds.push_back(kind); }
  void updateTrialFont(const QFont &f) override { font = f; }

  std::string name;
  bool changed = false;
  bool filesShown = false;
  std::vector<std::string> loaded, added;
  std::vector<int> kinds;
  QFont font;
};

class MainForm : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    mainFormHooks().createChild = [this](QMdiArea &area) -> FilterListWindow * {
      auto *child = new FakeChild;
      area.addSubWindow(child);
      made.push_back(child);
      return child;
    };
    form = std::make_unique<TmainForm>(QStringList{"marrowen"});
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    form.reset();
    mainFormHooks() = MainFormHooks();
    AppTest::TearDown();
  }
  std::vector<FakeChild *> made;
  std::unique_ptr<TmainForm> form;
};

TEST_F(MainForm, StartsWithItsCaptionWelcomeAndMinimumSizeWithoutATray) {
  EXPECT_EQ(form->windowTitle(), "Marrowen Pro");
  EXPECT_EQ(form->statusText(), "Welcome to Marrowen! Try the Tutorial under the Help Menu");
  EXPECT_EQ(form->minimumSize(), QSize(590, 480));
  EXPECT_TRUE(boxTexts.empty());
  EXPECT_EQ(form->trayIcon()->Hint(), "Marrowen");
}

TEST_F(MainForm, TheWelcomeOutlivesTheCommandLineWindowButNotItsErrors) {
  form.reset();
  // The window the command line fills clears the bar as it is set up.
  mainFormHooks().processCommandLine = [] { TmainForm::instance()->statusBarText({}); };
  form = std::make_unique<TmainForm>(QStringList{"marrowen"});
  QCoreApplication::processEvents();
  EXPECT_EQ(form->statusText(), "Welcome to Marrowen! Try the Tutorial under the Help Menu");
  form.reset();
  mainFormHooks().processCommandLine = [] {
    TmainForm::instance()->statusBarError("Error - no filters have been specified");
  };
  form = std::make_unique<TmainForm>(QStringList{"marrowen"});
  QCoreApplication::processEvents();
  EXPECT_EQ(form->statusText(), "Error - no filters have been specified");
}

TEST_F(MainForm, DroppedFilterFilesOpenNewWindowsAndOtherFilesJoinTheActiveOne) {
  auto *w = static_cast<FakeChild *>(form->CreateMDIChild());
  form->handleDroppedFiles({"/x/list.FlL", "/x/data.txt"});
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[1]->loaded, std::vector<std::string>{"/x/list.FlL"});
  EXPECT_EQ(w->added, std::vector<std::string>{"/x/data.txt"});
  EXPECT_TRUE(w->filesShown);
  EXPECT_TRUE(made[1]->added.empty());
  // A name longer than 255 characters arrives whole.
  const std::string longName = "/" + std::string(300, 'n') + ".txt";
  form->mdiArea().setActiveSubWindow(form->mdiArea().subWindowList().front());
  form->handleDroppedFiles({QString::fromStdString(longName)});
  EXPECT_EQ(w->added.back(), longName);
}

TEST_F(MainForm, DecideWindowTakesOnlyAnUnnamedUnchangedWindowAndFindWindowMatchesCase) {
  auto *w = static_cast<FakeChild *>(form->CreateMDIChild());
  EXPECT_EQ(form->decideWindow(), w);
  w->changed = true;
  EXPECT_NE(form->decideWindow(), w);
  form->mdiArea().setActiveSubWindow(form->mdiArea().subWindowList().front());
  w->changed = false;
  w->name = "/lists/A.fll";
  EXPECT_NE(form->decideWindow(), w);
  EXPECT_EQ(form->findWindow("/lists/A.fll"), w);
  EXPECT_EQ(form->findWindow("/lists/a.fll"), nullptr);
}

TEST_F(MainForm, ArrangeIconsLinesUpTheMinimizedWindowsOnly) {
  form->show();
  for (int i = 0; i < 3; ++i)
    form->CreateMDIChild();
  const auto subs = form->mdiArea().subWindowList();
  subs[0]->setGeometry(10, 10, 300, 200);
  subs[1]->showMinimized();
  subs[2]->showMinimized();
  subs[2]->move(150, 40);
  QCoreApplication::processEvents();
  form->action("Arrangeicons1")->trigger();
  EXPECT_EQ(subs[0]->geometry(), QRect(10, 10, 300, 200));
  const int foot = form->mdiArea().viewport()->height();
  EXPECT_EQ(subs[1]->geometry().bottom() + 1, foot);
  EXPECT_EQ(subs[2]->geometry().bottom() + 1, foot);
  EXPECT_EQ(subs[1]->x(), 0);
  EXPECT_EQ(subs[2]->x(), subs[1]->width());
}

TEST_F(MainForm, PasteEscapesForMemosAndEditsAndDeleteTakesOnlyTheSelection) {
  form->show();
  auto *child = static_cast<FakeChild *>(form->CreateMDIChild());
  auto *memo = new QPlainTextEdit(child);
  auto *edit = new QLineEdit(child);
  edit->move(0, 100);
  memo->show();
  edit->show();
  QClipboard *clipboard = QApplication::clipboard();

  // The field takes the text escaped; the clipboard stays as it was.
  QApplication::setActiveWindow(form.get());
  clipboard->setText(QString("a\tb\x01\u65e5"));
  memo->setFocus();
  QCoreApplication::processEvents();
  form->EditPasteClick(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(memo->toPlainText(), QString("a\tb\\001\u65e5"));
  EXPECT_EQ(clipboard->text(), QString("a\tb\x01\u65e5"));

  clipboard->setText(QString("a\tb"));
  edit->setFocus();
  QCoreApplication::processEvents();
  form->EditPasteClick(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(edit->text(), "a\\tb");
  EXPECT_EQ(clipboard->text(), "a\tb");

  edit->clear();
  form->EditPasteClick(true);
  QCoreApplication::processEvents();
  EXPECT_EQ(edit->text(), "a\tb");
  EXPECT_EQ(clipboard->text(), "a\tb");

  QCoreApplication::processEvents();
  edit->setText("%5.5d");
  edit->setCursorPosition(0);
  form->EditDeleteClick();
  EXPECT_EQ(edit->text(), "%5.5d");
  edit->setSelection(0, 1);
  form->EditDeleteClick();
  EXPECT_EQ(edit->text(), "5.5d");
}

// Cut, Delete and Paste leave a read-only control (a description, a memo
// being filled, a read-only spin box) and the clipboard as they were; Copy
// still copies.
TEST_F(MainForm, EditCommandsLeaveReadOnlyControlsUnchanged) {
  form->show();
  auto *child = static_cast<FakeChild *>(form->CreateMDIChild());
  auto *line = new QLineEdit("keep", child);
  auto *plain = new QPlainTextEdit("keep", child);
  auto *rich = new QTextEdit("keep", child);
  auto *spin = new QSpinBox(child);
  spin->setValue(42);
  QApplication::setActiveWindow(form.get());
  QClipboard *clipboard = QApplication::clipboard();
  for (QWidget *control : std::initializer_list<QWidget *>{line, plain, rich, spin}) {
    control->setProperty("readOnly", true);
    control->show();
    control->setFocus();
    QCoreApplication::processEvents();
    const QString before = TextTarget(control).text();
    for (const char *command : {"Cut1", "Delete1", "Paste1", "Pastespecial1"}) {
      QMetaObject::invokeMethod(control, "selectAll");
      clipboard->setText("a\tb\x01");
      ASSERT_TRUE(form->action(command)->isEnabled()) << command;
      form->action(command)->trigger();
      QCoreApplication::processEvents();
      EXPECT_EQ(TextTarget(control).text(), before) << command;
      EXPECT_EQ(clipboard->text(), "a\tb\x01") << command;
    }
    form->action("Copy1")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(clipboard->text(), before);
  }
}

TEST_F(MainForm, HelpTagsOpenDocumentsAndPages) {
  writeFile(dir.file("whatsnew.txt"), "notes");
  form->Usermanual1Click(1);
  ASSERT_EQ(launcher->opened.size(), 1);
  EXPECT_EQ(launcher->opened[0].toStdString(), dir.file("whatsnew.txt"));
  EXPECT_EQ(form->statusText().toStdString(), "Opening document " + dir.file("whatsnew.txt"));
  form->Usermanual1Click(4);
  EXPECT_TRUE(launcher->opened[1].endsWith("Products.Txt"));
  // In a program folder whose name holds a byte that is no UTF-8, the status
  // shows it apart from the letter, and the desktop is handed that very file.
  const std::string latin = dir.file("lat\xE9n") + "/";
  std::filesystem::create_directory(latin);
  writeFile(latin + "WhatsNew.Txt", "notes");
  overrideProgramFolder(latin);
  form->Usermanual1Click(1);
  overrideProgramFolder(dir.path());
  EXPECT_EQ(form->statusText(), messageToQString("Opening document " + latin + "WhatsNew.Txt"));
  EXPECT_EQ(launcher->opened.takeLast(), fileNameToOpenTarget(latin + "WhatsNew.Txt"));
  form->settings().emailAddress = "me@example.org";
  form->Usermanual1Click(20);
  EXPECT_TRUE(launcher->opened[2].endsWith("/marrowen?user=me@example.org"));
  form->settings().emailAddress = "me+list&x@example.org";
  form->Usermanual1Click(21);
  EXPECT_TRUE(launcher->opened.back().endsWith("-discuss?user=me%2Blist%26x@example.org"));
  launcher->opened.removeLast();
  launcher->openSucceeds = false;
  form->Usermanual1Click(6);
  EXPECT_TRUE(form->statusIsError());
  EXPECT_TRUE(form->statusText().startsWith("Error: "));

  // The accessories are offered whatever is installed, and say so when none is.
  for (const char *name : {"Charactermap1", "WordPad1", "Calculator1", "charmapButton",
                           "wordpadButton", "calculatorButton"})
    EXPECT_TRUE(form->action(QString::fromLatin1(name))->isVisible()) << name;
  form->Usermanual1Click(12);
  EXPECT_EQ(launcher->started.back(), "/usr/bin/abiword ");
  launcher->programsInstalled = false;
  form->Usermanual1Click(17);
  ASSERT_FALSE(boxTexts.empty());
  EXPECT_TRUE(boxTexts.back().starts_with("Error: calculator - none is installed"))
      << boxTexts.back();
  EXPECT_EQ(launcher->started.size(), 1);
}

TEST_F(MainForm, ToolButtonsAndMenuItemsHintInTheStatusBar) {
  QAction *sort = form->action(QStringLiteral("sortButton"));
  ASSERT_NE(sort, nullptr);
  EXPECT_FALSE(sort->icon().isNull());
  EXPECT_NE(sort->icon().cacheKey(), form->action(QStringLiteral("eolButton"))->icon().cacheKey());
  QStatusTipEvent hint(sort->statusTip());
  QCoreApplication::sendEvent(form->menuBar(), &hint);
  EXPECT_EQ(form->statusText(), "Sort");
  QAction *tutorial = form->action(QStringLiteral("Tutorial1"));
  ASSERT_FALSE(tutorial->statusTip().isEmpty());
  QStatusTipEvent menuHint(tutorial->statusTip());
  QCoreApplication::sendEvent(form->menu(QStringLiteral("Help1")), &menuHint);
  EXPECT_EQ(form->statusText(), tutorial->statusTip());
  EXPECT_FALSE(form->windowIcon().isNull());
}

// A menu item's hint goes when its menu is closed with Escape: the bar shows
// what it showed before, an error still as an error; what was written there
// while the menu was open stays.
TEST_F(MainForm, AMenuItemsHintGoesWhenTheMenuCloses) {
  form->show();
  QApplication::setActiveWindow(form.get());
  QMenu *help = form->menu(QStringLiteral("Help1"));
  auto hintThenEscape = [&](const QString &writtenMeanwhile) {
    QTest::mouseClick(form->menuBar(), Qt::LeftButton, {},
                      form->menuBar()->actionGeometry(help->menuAction()).center());
    EXPECT_TRUE(QTest::qWaitFor([help] { return help->isVisible(); }));
    QTest::keyClick(help, Qt::Key_Down);
    EXPECT_FALSE(help->activeAction()->statusTip().isEmpty());
    EXPECT_EQ(form->statusText().toStdString(), help->activeAction()->statusTip().toStdString());
    if (!writtenMeanwhile.isEmpty())
      form->statusBarText(writtenMeanwhile);
    QTest::keyClick(help, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([help] { return !help->isVisible(); }));
  };
  form->statusBarError("Error - no filters have been specified");
  hintThenEscape({});
  EXPECT_EQ(form->statusText().toStdString(), "Error - no filters have been specified");
  EXPECT_TRUE(form->statusIsError());
  hintThenEscape("Job finished");
  EXPECT_EQ(form->statusText().toStdString(), "Job finished");
}

// A window's or a calling program's name shows in a menu as it is: an "&"
// in it is no key.
TEST_F(MainForm, NamesInItsMenusShowTheirAmpersands) {
  form->CreateMDIChild()->widget()->setWindowTitle("Fish&Chips");
  QMenu *windows = form->menu(QStringLiteral("Window1"));
  emit windows->aboutToShow();
  EXPECT_EQ(windows->actions().back()->text(), "Fish&&Chips");
  form->setCalledFrom("R&D");
  EXPECT_EQ(form->action(QStringLiteral("Exit1"))->text(), "Exit and return to R&&D");
}

TEST_F(MainForm, QuitWhenDoneAndTheJobCountGoThroughTheHost) {
  int quits = 0;
  form->jobHost().onQuit = [&] { ++quits; };
  form->setQuitWhenDone(true);
  form->increaseThreadCount();
  form->increaseThreadCount();
  form->reduceThreadCount();
  EXPECT_EQ(quits, 0);
  form->reduceThreadCount();
  EXPECT_EQ(quits, 1);
  form->reduceThreadCount();
  EXPECT_EQ(form->jobHost().runningJobs(), 0);
}

TEST_F(MainForm, TipsStepAndStoreTheNextNumber) {
  // Read in the program's code page, as every text file it is given.
  writeFile(dir.file("tips.txt"), "?A%sB\n\n^100% sure %d\n'caf\xE9\n");
  std::optional<testing::WorkingFolder> working(std::in_place, dir.path());
  TfTipOfTheDay tips;
  tips.setTip(7);
  EXPECT_EQ(tips.index(), 1);
  EXPECT_EQ(tips.heading(), "Today's tip...");
  EXPECT_EQ(tips.tipText(), "100% sure %d");
  tips.setTip(-4);
  EXPECT_EQ(tips.index(), 1);
  tips.setTip(0);
  EXPECT_EQ(tips.heading(), "Did you know...");
  EXPECT_EQ(tips.tipText(), "A\nB");
  tips.bPreviousClick();
  EXPECT_EQ(tips.index(), 2);
  EXPECT_EQ(tips.tipText(), QString::fromUtf8("café"));
  tips.bNextClick();
  EXPECT_EQ(tips.index(), 0);
  EXPECT_EQ(tipIndex(std::int64_t(INT32_MIN), 3), 2);
  EXPECT_EQ(parseTip("#%%s %s%s%s%s%s%s").text, "%s \n\n\n\n\n%s");

  form->settings().currentTip = 7;
  form->showTipOfTheDay(true);
  EXPECT_EQ(form->settings().currentTip, 2);

  writeFile(dir.file("tips.txt"), "\n\n");
  form->showTipOfTheDay(false);
  EXPECT_TRUE(boxTexts.empty());
  form->showTipOfTheDay(true);
  EXPECT_EQ(boxTexts, std::vector<std::string>{"Couldn't find Tip Of The Day file"});
  EXPECT_EQ(form->settings().currentTip, 2) << "no tips, nothing counted";

  // Started from elsewhere, the program finds the tips it ships.
  writeFile(dir.file("tips.txt"), "?shipped\n");
  working.emplace("/");
  TfTipOfTheDay shipped;
  EXPECT_FALSE(shipped.noTips());
}

TEST_F(MainForm, SettingsReachTheDiskAsTheyChangeNotOnlyAtExit) {
  // What a crash would leave: the file as it is now, read afresh.
  auto onDisk = [this] { return std::make_unique<SettingsStore>(store->file()); };
  form->recentFiles().Strings().Add("/lists/one.fll");
  EXPECT_EQ(onDisk()->readString("fileHistory", "Item_0", ""), "/lists/one.fll");
  form->recentFiles().Strings().Add("/lists/two.fll");
  EXPECT_EQ(onDisk()->readString("fileHistory", "Item_1", ""), "/lists/one.fll");

  writeFile(dir.file("tips.txt"), "one\ntwo\nthree\n");
  testing::WorkingFolder inFolder(dir.path());
  form->showTipOfTheDay(true);
  EXPECT_EQ(onDisk()->readInteger(std::string(program::registryKey), "currentTip", -1),
            form->settings().currentTip);
}

// A value typed wrong into the settings file while the program runs costs
// that value only: the recent files, the placements and a key the program
// does not know stay, in the file and in the running copy, and the user is
// told in the window, in a box once.
TEST_F(MainForm, AHandEditedSettingsFileLosesOnlyItsDamagedLine) {
  for (const char *name : {"/lists/one.fll", "/lists/two.fll", "/lists/three.fll"})
    form->recentFiles().Strings().Add(name);
  form->saveAllSettings();
  const std::string file = store->file().string();
  auto editByHand = [&](const std::string &from, const std::string &to) {
    std::string text = testing::readFile(file);
    ASSERT_NE(text.find(from), std::string::npos) << text;
    text.replace(text.find(from), from.size(), to);
    testing::writeFile(file + ".new", text);
    std::filesystem::rename(file + ".new", file);
  };
  editByHand("\"showTips\"=dword:00000001",
             "\"showTips\"=dword:2\n[Software\\Mine]\n\"mine\"=\"kept\"");
  dialogAnswer = [](QDialog &) { return static_cast<int>(QDialog::Accepted); };
  form->PreferencesClick();
  QCoreApplication::processEvents();
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_NE(boxTexts[0].find("damaged: line"), std::string::npos) << boxTexts[0];
  EXPECT_EQ(form->recentFiles().Strings().Count(), 3);
  SettingsStore onDisk(file);
  EXPECT_EQ(onDisk.readString("fileHistory", "Item_2", ""), "/lists/one.fll");
  EXPECT_EQ(onDisk.readString("Software\\Mine", "mine", ""), "kept");
  EXPECT_TRUE(onDisk.readBool(std::string(program::registryKey), "showTips", false));
  // Damaged again: told on the status bar, not in another box.
  editByHand("\"Item_1\"=\"/lists/two.fll\"", "\"Item_1\"=\"/lists/two.fll");
  form->recentFiles().Strings().Add("/lists/four.fll");
  QCoreApplication::processEvents();
  EXPECT_EQ(boxTexts.size(), 1u);
  EXPECT_TRUE(form->statusText().contains("damaged")) << form->statusText().toStdString();
  EXPECT_EQ(form->recentFiles().Strings().Count(), 3) << "the damaged entry alone is gone";
}

// Opened at its own size, the preferences show every text whole: labels,
// boxes, buttons, and the placeholders that say what an empty field uses.
TEST_F(MainForm, PreferencesShowEveryTextWholeAtTheirFirstSize) {
  form->show();
  dialogAnswer = [](QDialog &dialog) {
    dialog.show();
    QCoreApplication::processEvents();
    int checked = 0;
    for (QWidget *widget : dialog.findChildren<QWidget *>()) {
      if (!widget->isVisible())
        continue;
      if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        const QString shown = edit->text().isEmpty() ? edit->placeholderText() : edit->text();
        const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        const int room = edit->width() - 2 * frame - 4 - edit->textMargins().left() -
                         edit->textMargins().right();
        EXPECT_LE(edit->fontMetrics().horizontalAdvance(shown), room) << shown.toStdString();
        ++checked;
      } else if (qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget)) {
        EXPECT_GE(widget->width(), widget->sizeHint().width())
            << widget->objectName().toStdString();
        ++checked;
      }
    }
    EXPECT_GE(checked, 10);
    return static_cast<int>(QDialog::Rejected);
  };
  form->PreferencesClick();
  ASSERT_EQ(shownDialogs, std::vector<QString>{"OptionsDialog"});
}

TEST_F(MainForm, PreferencesOkTakesTheControlsAndCancelChangesNothing) {
  auto *child = static_cast<FakeChild *>(form->CreateMDIChild());
  // The font dialog confirmed without a choice keeps the face the sample
  // shows, also for a stored family this desktop lacks.
  form->settings().adhocFontName = "No Such Family";
  dialogAnswer = [](QDialog &dialog) {
    if (!qobject_cast<QFontDialog *>(&dialog))
      static_cast<ToptionsDialog &>(dialog).Button1Click();
    return static_cast<int>(QDialog::Accepted);
  };
  const QFontInfo before(trialFontOf(form->settings()));
  form->PreferencesClick();
  EXPECT_EQ(QFontInfo(trialFontOf(form->settings())).family(), before.family());
  EXPECT_EQ(form->settings().adhocFontSize, 8);
  dialogAnswer = [](QDialog &dialog) {
    auto &options = static_cast<ToptionsDialog &>(dialog);
    options.soundOnCompletion().setChecked(false);
    options.editor().setText("/usr/bin/kate");
    options.fileHistoryEntries().setValue(4);
    options.setTrialFont(QFont("Mono", 11));
    options.languages().setCurrentText("Deutsch");
    return static_cast<int>(QDialog::Rejected);
  };
  form->PreferencesClick();
  EXPECT_TRUE(form->settings().playSound);
  EXPECT_EQ(form->settings().language, "English");

  dialogAnswer = [answer = dialogAnswer](QDialog &dialog) {
    answer(dialog);
    return static_cast<int>(QDialog::Accepted);
  };
  form->PreferencesClick();
  EXPECT_FALSE(form->settings().playSound);
  EXPECT_EQ(form->settings().editor, "/usr/bin/kate");
  EXPECT_EQ(form->recentFiles().Strings().Capacity(), 4);
  EXPECT_EQ(form->settings().adhocFontSize, 11);
  EXPECT_EQ(child->font.pointSize(), 11);
  EXPECT_EQ(form->settings().language, "Deutsch");
  EXPECT_EQ(boxTexts, std::vector<std::string>{
                          "You must exit Marrowen Pro before the new language will take effect"});
  // Another copy of the program, started earlier, quits after choosing its
  // own preferences: this one's stay, and so do its, when this one quits;
  // so does its editor, chosen after this one's was saved.
  const std::string key(program::registryKey);
  SettingsStore other(store->file());
  other.writeBool(key, "showTips", false);
  other.writeString(key, "soundFile", "/sounds/done.wav");
  other.writeString(key, "editor", "/usr/bin/vim");
  form.reset();
  SettingsStore onDisk(store->file());
  EXPECT_EQ(onDisk.readString(key, "Language", ""), "Deutsch");
  EXPECT_EQ(onDisk.readInteger(key, "FileHistoryEntries", 0), 4);
  EXPECT_EQ(onDisk.readString(key, "editor", ""), "/usr/bin/vim");
  EXPECT_FALSE(onDisk.readBool(key, "showTips", true));
  EXPECT_EQ(onDisk.readString(key, "soundFile", ""), "/sounds/done.wav");
}

// A language file whose name holds a byte no UTF-8 holds is listed apart
// from its UTF-8 twin, and OK keeps the language chosen, byte for byte.
TEST_F(MainForm, PreferencesListEveryLanguageFileByItsOwnName) {
  const std::string latin = "Fran\xE7"
                            "ais",
                    utf8 = "Fran\xC3\xA7"
                           "ais";
  std::filesystem::create_directories(dir.file("Languages"));
  for (const std::string &name : {latin, utf8})
    writeFile(dir.file("Languages/" + name + ".ini"), "");
  MainSettings settings;
  settings.language = latin;
  ToptionsDialog dialog(settings);
  QComboBox &languages = dialog.languages();
  std::set<std::string> listed;
  for (int i = 0; i < languages.count(); ++i)
    listed.insert(fileNameFromQString(languages.itemText(i)));
  EXPECT_TRUE(listed.count(latin) && listed.count(utf8));
  EXPECT_FALSE(dialog.apply(settings));
  EXPECT_EQ(settings.language, latin);
  languages.setCurrentText(fileNameToQString(utf8));
  EXPECT_TRUE(dialog.apply(settings));
  EXPECT_EQ(settings.language, utf8);
}

TEST_F(MainForm, AboutBoxShowsTheVersionAndKeepsOpenWithoutReleaseNotes) {
  // The notes are the program's, wherever it was started from.
  testing::WorkingFolder atRoot("/");
  TABox about;
  EXPECT_EQ(about.productName(), "Marrowen Pro v5.6.3");
  EXPECT_EQ(about.windowTitle(), "About Marrowen Pro");
  about.pages().setCurrentIndex(1);
  ASSERT_EQ(boxTexts.size(), 1u);
  EXPECT_FALSE(about.isHidden() && about.result() == QDialog::Accepted);
  writeFile(dir.file("WhatsNew.TXT"), "5.6.3: faster, na\xEFve");
  about.pages().setCurrentIndex(0);
  about.pages().setCurrentIndex(1);
  EXPECT_EQ(about.releaseNotes(), QString::fromUtf8("5.6.3: faster, naïve"));

  // Centred on the screen, not over a window in its corner.
  QWidget corner;
  corner.setGeometry(QRect(corner.screen()->availableGeometry().topLeft(), QSize(200, 150)));
  corner.show();
  TABox owned(&corner);
  owned.show();
  const QPoint offCentre =
      owned.frameGeometry().center() - owned.screen()->availableGeometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 40) << offCentre.x() << "," << offCentre.y();
}

TEST_F(MainForm, DebugWindowsNumberThemselvesAndShowTheLinesOfAJob) {
  const int before = TdebugWindowForm::openCount();
  auto first = TdebugWindowForm::createShared();
  auto second = TdebugWindowForm::createShared();
  EXPECT_EQ(first->windowTitle(), QString("Debug Window #%1").arg(before + 1));
  EXPECT_EQ(second->windowTitle(), QString("Debug Window #%1").arg(before + 2));
  second->close();
  auto third = TdebugWindowForm::createShared();
  EXPECT_EQ(third->windowTitle(), QString("Debug Window #%1").arg(before + 2));

  std::atomic<bool> done{false};
  std::thread job([&] {
    for (int i = 0; i < 100; ++i)
      form->jobHost().runOnUserInterfaceAndWait([&, i] { first->addLine(std::to_string(i)); });
    done = true;
  });
  while (!done)
    QCoreApplication::processEvents();
  job.join();
  const QStringList lines = first->buffer().toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 100);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(lines[i], QString::number(i));

  // The panels count as the trial memos do; an empty first line is a line.
  MemoStatusBar &status = third->bufferStatus();
  EXPECT_EQ(status.panelText(1), "Length: 0  Lines: 0");
  EXPECT_EQ(third->addLine(""), 0);
  EXPECT_EQ(third->addLine("ab"), 1);
  EXPECT_EQ(third->addLine("cd"), 2);
  EXPECT_EQ(status.panelText(1), "Length: 6  Lines: 3");
  third->clearBuffer();
  EXPECT_EQ(third->addLine("ab"), 0);
  EXPECT_EQ(third->addLine("cd"), 1);
  EXPECT_EQ(status.panelText(1), "Length: 5  Lines: 2");
}

TEST_F(MainForm, DebugBufferAndCommandLineMemoOfferThePatternMenu) {
  auto debug = TdebugWindowForm::createShared();
  TcommandLineForm commandLine({"marrowen"});
  QWidget *memos[] = {&debug->buffer(), commandLine.findChild<QPlainTextEdit *>("memo")};
  for (QWidget *memo : memos) {
    ASSERT_NE(memo, nullptr);
    emit memo->customContextMenuRequested(QPoint(1, 1));
    TmenuForm &menu = TmenuForm::instance();
    EXPECT_EQ(menu.target().widget(), memo);
    EXPECT_FALSE(menu.specialSubmenu()->menuAction()->isVisible());
    // Both stand for rich edits: find and font are offered.
    EXPECT_TRUE(menu.command("Find1")->isVisible());
    EXPECT_TRUE(menu.command("Font1")->isVisible());
    menu.memoMenu()->hide();
  }
}

TEST_F(MainForm, TheCommandLineFormShowsEachParameterAndTheQuotedString) {
  TcommandLineForm commandLine(
      {"/opt/my prog/marrowen", "a", "b c", QString::fromUtf8("/F=\xC3\x9Cn\xC3\xAF.fll")});
  auto &grid = commandLine.grid();
  ASSERT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.GetCell(1, 3).toString(), "2");
  EXPECT_EQ(grid.GetCell(2, 3).toString(), "b c");
  EXPECT_EQ(toQString(grid.GetCell(2, 4).toString()),
            QString::fromUtf8("/F=\xC3\x9Cn\xC3\xAF.fll"));
  EXPECT_EQ(commandLine.memoText(), QString::fromUtf8("\"/opt/my prog/marrowen\" a \"b c\" "
                                                      "/F=\xC3\x9Cn\xC3\xAF.fll "));
  form->ShowCommandLineClick();
  EXPECT_TRUE(form->commandLineForm());
}

// The status window and the command-line window show in workspace frames;
// the frame is what the user sizes and what comes back next time. A window
// closed maximized keeps the rectangle it last had in the normal state.
TEST_F(MainForm, WorkspaceWindowsReopenAtTheirStoredSize) {
  form->show();
  form->jobHost().setShowStatusWindows(true);
  QWidget probe;
  TFormInfo commandLineInfo(&probe, QStringLiteral("commandLineForm"));
  commandLineInfo.AppName.clear();
  const std::string statusKey = TFormInfo(&probe, QStringLiteral("TstatusForm")).key(),
                    commandLineKey = commandLineInfo.key();
  for (const auto &[key, width] : {std::pair{statusKey, 520}, {commandLineKey, 440}}) {
    store->writeInteger(key, "Width", width);
    store->writeInteger(key, "Height", 310);
    store->writeBool(key, "WindowState", true);
  }
  const auto status = form->jobHost().createStatusWindow().lock();
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(dynamic_cast<QWidget &>(*status).parentWidget()->size(), QSize(520, 310));
  form->ShowCommandLineClick();
  QWidget *frame = form->commandLineForm()->parentWidget();
  EXPECT_EQ(frame->size(), QSize(440, 310));
  frame->resize(460, 330);
  QCoreApplication::processEvents();
  frame->showMaximized();
  // The workspace grows under the maximized frame.
  form->resize(form->size() + QSize(40, 30));
  QCoreApplication::processEvents();
  frame->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(form->commandLineForm());
  EXPECT_EQ(store->readInteger(commandLineKey, "Width").value_or(0), 460);
  EXPECT_EQ(store->readInteger(commandLineKey, "Height").value_or(0), 330);
  EXPECT_FALSE(store->readBool(commandLineKey, "WindowState", true));

  form->move(120, 90);
  QCoreApplication::processEvents();
  const QRect normal(form->pos(), form->size());
  form->showMaximized();
  QCoreApplication::processEvents();
  form.reset();
  const std::string mainKey = "Software\\Ostrevan\\Marrowen\\mainForm";
  EXPECT_EQ(QRect(store->readInteger(mainKey, "Left").value_or(0),
                  store->readInteger(mainKey, "Top").value_or(0),
                  store->readInteger(mainKey, "Width").value_or(0),
                  store->readInteger(mainKey, "Height").value_or(0)),
            normal);
}

// Every window opens within the part of the screen windows may use, the
// defaults included: at twice the scale on a screen 1000 pixels high the
// program's own main window (its size written back at exit) fits, and a
// window the program shows across the edge or larger than the screen moves
// and shrinks into it.
TEST_F(MainForm, WindowsFitTheirScreenAtTwiceTheScale) {
  writeFile(dir.file("screen.json"), R"({"screens": [{"name": "tall", "x": 0, "y": 0,
    "width": 1280, "height": 1000, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  writeFile(dir.file("in.txt"), "abc");
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM",
                     QString::fromStdString("offscreen:configfile=" + dir.file("screen.json")));
  environment.insert("QT_SCALE_FACTOR", "2");
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.file("config")));
  program.setProcessEnvironment(environment);
  program.start(MARROWEN_BINARY, {QString::fromStdString(dir.file("in.txt")), "/CU", "/G", "/Q"});
  ASSERT_TRUE(program.waitForFinished(120000));
  EXPECT_EQ(program.exitCode(), 0);
  SettingsStore stored(dir.file("config/Ostrevan/Marrowen/settings.ini"));
  const std::string key = "Software\\Ostrevan\\Marrowen\\mainForm";
  const auto left = stored.readInteger(key, "Left"), top = stored.readInteger(key, "Top");
  const auto width = stored.readInteger(key, "Width"), height = stored.readInteger(key, "Height");
  ASSERT_TRUE(left && top && width && height);
  EXPECT_GE(*left, 0);
  EXPECT_GE(*top, 0);
  EXPECT_LE(*left + *width, 640);
  EXPECT_LE(*top + *height, 500);

  form->show();
  const QRect area = form->screen()->availableGeometry();
  QDialog large(form.get());
  large.resize(area.width() * 2, area.height() * 2);
  QDialog across(form.get());
  across.resize(200, 100);
  across.move(area.right() - 50, area.bottom() - 20);
  for (QDialog *dialog : {&large, &across}) {
    dialog->show();
    EXPECT_TRUE(area.contains(dialog->frameGeometry()));
  }
  EXPECT_EQ(across.size(), QSize(200, 100));
}

} // namespace
} // namespace marrowen

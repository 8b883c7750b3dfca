#include "app/automation/shellextensions.h"

#include "app/automation/commandlinehelper.h"
#include "fakewindow.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QClipboard>
#include <QFile>
#include <QMdiSubWindow>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>
#include <utility>

namespace marrowen {
namespace {

using testing::fileExists;
using testing::readFile;

const std::string shellKey = "SOFTWARE\\Ostrevan\\Marrowen\\ShellFilters\\";

class ShellTest : public testing::MainWindowTest {
protected:
  void SetUp() override {
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.file("data")));
    MainWindowTest::SetUp();
  }
  void TearDown() override {
    delete TshellExtensions::instance();
    delete TcommandLineHelperForm::instance();
    MainWindowTest::TearDown();
    qunsetenv("XDG_DATA_HOME");
  }
  void entry(int n, const std::string &name, const std::string &command = "\"/f=%f\" %p") {
    const std::string key = shellKey + std::to_string(n);
    store->writeString(key, "Name", name);
    store->writeString(key, "Comment", "c" + std::to_string(n));
    store->writeString(key, "Filter", "/f" + std::to_string(n) + ".fll");
    store->writeString(key, "Command", command);
  }
  std::string desktop(int n) { return fileNameFromQString(desktopEntryFile(n)); }
};

TEST_F(ShellTest, EntriesLoadUpToTheFirstGapAndSavingKeepsWhatLiesBeyond) {
  entry(1, "One");
  entry(2, ""); // an empty name is still a row
  entry(4, "Four");
  TshellExtensions window;
  ASSERT_EQ(window.grid().Rows(), 2);
  EXPECT_EQ(window.rows()[1], (ShellFilter{"", "c2", "/f2.fll", "\"/f=%f\" %p"}));
  window.applyButtonClick();
  EXPECT_TRUE(store->keyExists(shellKey + "4"));
  EXPECT_TRUE(fileExists(desktop(1)));
  EXPECT_FALSE(fileExists(desktop(2))); // nothing to name it by
}

TEST_F(ShellTest, DeletingTheLastRowRemovesItsKeyAndDesktopEntry) {
  entry(1, "One");
  entry(2, "Two");
  entry(3, "Three");
  saveShellFilters(*store, loadShellFilters(*store));
  ASSERT_TRUE(fileExists(desktop(3)));
  TshellExtensions window;
  window.grid().SetCurrentDataRow(3);
  window.deleteButtonClick();
  window.applyButtonClick();
  EXPECT_EQ(loadShellFilters(*store).size(), 2u);
  EXPECT_FALSE(store->keyExists(shellKey + "3"));
  EXPECT_FALSE(fileExists(desktop(3)));
  EXPECT_TRUE(fileExists(desktop(2)));
}

TEST_F(ShellTest, DesktopEntriesQuoteEveryArgument) {
  const ShellFilter filter{"Upper case", "Makes it loud", "/my lists/100% $HOME.fll",
                           shellCommandPresets()[3]};
  EXPECT_EQ(desktopEntry(filter, QStringLiteral("/opt/marrowen/marrowen")),
            "[Desktop Entry]\nType=Application\nName=Upper case\nComment=Makes it loud\n"
            "Exec=\"/opt/marrowen/marrowen\" \"/f=/my lists/100%% \\\\$HOME.fll\" \"/i-\" %F "
            "\"/g\" \"/q\"\nNoDisplay=true\nMimeType=text/plain;inode/directory;\n");
  EXPECT_EQ(splitCommand(R"("a \"b\" c" d\ e  "")"),
            (std::vector<std::string>{"a \"b\" c", "d e", ""}));
}

// A filter file whose name holds bytes no UTF-8 holds, which a desktop
// entry cannot spell, reaches the program as those bytes when a launcher
// runs the Exec line as the desktop-entry standard says launchers read it.
TEST_F(ShellTest, DesktopEntriesHandOnNamesThatAreNoUtf8) {
  const std::string filterFile = "/l/caf\xE9 \xFF\x80 '$x'.fll", program = dir.file("arg\xE9s.sh");
  testing::writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.txt\"\n");
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  const QString entry = QString::fromUtf8(
      desktopEntry({"N", "C", filterFile, shellCommandPresets()[3]}, fileNameToQString(program)));
  QString exec = entry.section(QStringLiteral("Exec="), 1).section('\n', 0, 0);
  exec.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
  QStringList words;
  QString word;
  bool quoted = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    if (exec[i] == '"')
      quoted = !quoted;
    else if (quoted && exec[i] == '\\')
      word += exec[++i];
    else if (!quoted && exec[i] == ' ')
      words << std::exchange(word, QString());
    else
      word += exec[i];
  }
  words << word;
  words.replaceInStrings(QStringLiteral("%%"), QStringLiteral("%"));
  words.replaceInStrings(QStringLiteral("%F"), QStringLiteral("a b.txt"));
  QProcess run;
  run.start(words.takeFirst(), words);
  ASSERT_TRUE(run.waitForFinished());
  EXPECT_EQ(testing::readFile(program + ".txt"), "/f=" + filterFile + "\n/i-\na b.txt\n/g\n/q\n");
}

// File names cross as file names, typed texts through the code page: a name
// with letters beyond ASCII shows as spelt, an untouched one is saved as it
// was (even letters the code page lacks), and one typed names that file.
TEST_F(ShellTest, NamesBeyondAsciiShowAndSaveAsSpelt) {
  const std::string stored = fileNameFromQString(QStringLiteral("/l/Über Жук.fll"));
  entry(1, "One");
  store->writeString(shellKey + "1", "Filter", stored);
  entry(2, "Two", fromQString(QStringLiteral("\"/f=%f\" %p Ö")));
  TshellExtensions window;
  EXPECT_EQ(toQString(window.grid().GetCell(3, 1).toString()), "/l/Über Жук.fll");
  window.grid().SetCell(3, 2, Variant(fromQString(QStringLiteral("/l/Ärger.fll"))));
  window.applyButtonClick();
  EXPECT_EQ(store->readString(shellKey + "1", "Filter", ""), stored);
  EXPECT_EQ(store->readString(shellKey + "2", "Filter", ""),
            fileNameFromQString(QStringLiteral("/l/Ärger.fll")));
  EXPECT_TRUE(QString::fromStdString(readFile(desktop(1))).contains("\"/f=/l/Über Жук.fll\""));
  EXPECT_TRUE(
      QString::fromStdString(readFile(desktop(2))).contains("\"/f=/l/Ärger.fll\" %F \"Ö\""));
}

TEST_F(ShellTest, BothWindowsTakeTheirStoredSizeButNotTheirPosition) {
  for (const char *form : {"commandLineHelperForm", "shellExtensions"}) {
    SCOPED_TRACE(form);
    const std::string key = std::string("Software\\Ostrevan\\Marrowen\\") + form;
    store->writeInteger(key, "Width", 333);
    store->writeInteger(key, "Height", 222);
    store->writeInteger(key, "Left", 77);
    store->writeInteger(key, "Top", 55);
  }
  std::unique_ptr<QWidget> windows[] = {std::make_unique<TcommandLineHelperForm>(),
                                        std::make_unique<TshellExtensions>()};
  for (const auto &window : windows) {
    SCOPED_TRACE(window->objectName().toStdString());
    EXPECT_EQ(window->size(), QSize(333, 222));
    EXPECT_NE(window->pos(), QPoint(77, 55));
  }
}

TEST_F(ShellTest, TheHelperNeedsASavedFilterListWindow) {
  auto *helper = new TcommandLineHelperForm;
  EXPECT_TRUE(helper->errorText().startsWith("You must load a filter"));
  EXPECT_TRUE(helper->grid().isHidden());
  // Other windows open, such as the command-line window, are not a filter.
  main->mdiArea().addSubWindow(new QWidget)->show();
  main->mdiArea().setActiveSubWindow(main->mdiArea().subWindowList().front());
  helper->regenerateButtonClick();
  EXPECT_TRUE(helper->errorText().startsWith("You must load a filter"));
  main->CreateMDIChild();
  main->mdiArea().setActiveSubWindow(main->mdiArea().subWindowList().front());
  helper->regenerateButtonClick();
  EXPECT_TRUE(helper->errorText().startsWith("The current window is not a filter list window"));
  main->mdiArea().setActiveSubWindow(main->mdiArea().subWindowList().back());
  helper->regenerateButtonClick();
  EXPECT_EQ(helper->errorText(),
            "Please save your filter first - then click on the Refresh button");
  EXPECT_TRUE(helper->grid().isHidden());

  // Names with what a shell reads (quotes, "$", "!" that an interactive bash
  // takes for a history event, "%" that cron takes for a line end) and bytes
  // no UTF-8 holds reach the program as their bytes, pasted into sh or an
  // interactive bash alike, and from the crontab row, with "\%" as cron
  // reads it.
  made[0]->name = "/lists/a \"b\" $x 5%!ok 'q' caf\xe9 \xff\x80 \xc3\xa9.fll";
  helper->regenerateButtonClick();
  EXPECT_FALSE(helper->grid().isHidden());
  const std::string program = fileNameFromQString(QCoreApplication::applicationFilePath());
  const std::string base =
      "'" + program +
      "' '/f=/lists/a \"b\" $x 5%!ok '\\''q'\\'' caf'\"$(printf '\\351')\"' '\"$(printf "
      "'\\377\\200')\"' \xc3\xa9.fll'";
  TdgGrid &grid = helper->grid();
  const std::vector<std::string> lines{"  " + base, "  " + base + " /g", "  " + base + " /g /q",
                                       "  " + base + " [FILES] /g",
                                       "  0 4 * * * " + base.substr(0, base.find('%')) + "\\" +
                                           base.substr(base.find('%')) + " /g /q"};
  const auto arguments = [&](const char *shell, std::string line) {
    QProcess run;
    run.setWorkingDirectory(QString::fromStdString(dir.path()));
    run.setProcessEnvironment([&] {
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert("HOME", QString::fromStdString(dir.path()));
      return environment;
    }());
    run.start(shell, {"-i"});
    run.write(("set -- " + line + "; printf '%s\\n' \"$@\" > args.txt\nexit\n").c_str());
    run.closeWriteChannel();
    EXPECT_TRUE(run.waitForFinished());
    return readFile(dir.file("args.txt"));
  };
  for (const char *shell : {"sh", "bash"})
    for (int row : {6, 10}) {
      SCOPED_TRACE(std::string(shell) + " row " + std::to_string(row));
      helper->tsGrid1ButtonClick(1, row);
      std::string line = clipboardBytes(QApplication::clipboard()->text().trimmed());
      if (row == 10) {
        ASSERT_TRUE(line.starts_with("0 4 * * * ")) << line;
        ASSERT_FALSE(QString::fromStdString(line).contains(QRegularExpression("[\\n]|[^\\\\]%")));
        line = QString::fromStdString(line.substr(10)).replace("\\%", "%").toStdString();
      }
      EXPECT_EQ(arguments(shell, line), program + "\n" + "/f=" + made[0]->name + "\n/g\n/q\n");
    }
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(grid.GetCell(1, 2 * i + 2).toString(), lines[static_cast<std::size_t>(i)]);
    EXPECT_FALSE(grid.GetRowVisible(2 * i + 2));
  }
  helper->tsGrid1DblClickCell(1, 3);
  EXPECT_TRUE(grid.GetRowVisible(4));
  helper->tsGrid1DblClickCell(1, 3);
  EXPECT_FALSE(grid.GetRowVisible(4));

  // One double click on a description that is not the current row shows its
  // command line, as the window system delivers the clicks (the second press
  // goes to the editor that the first one put under the mouse); the button
  // of a command line, clicked as a user does, copies it.
  helper->show();
  QApplication::processEvents();
  ASSERT_NE(grid.GetCurrentDataRow(), 5);
  QTest::mouseDClick(
      helper->windowHandle(), Qt::LeftButton, {},
      grid.viewport()->mapTo(
          helper, QPoint(grid.ColumnLeft(1) + 20, grid.RowTop(grid.GetDisplayRowOf(5)) + 5)));
  ASSERT_TRUE(grid.GetRowVisible(6));
  QApplication::clipboard()->clear();
  const TRect cell = grid.GetPaintCellRect(1, grid.GetDisplayRowOf(6));
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(cell.Right - 3, cell.Top + 3));
  EXPECT_EQ(fromQString(QApplication::clipboard()->text()), lines[2]);

  // A name with letters beyond ASCII is shown as the file system spells it,
  // and copied whole, letters the code page lacks too.
  made[0]->name = fileNameFromQString(QStringLiteral("/lists/Über Жук.fll"));
  helper->regenerateButtonClick();
  EXPECT_TRUE(toQString(grid.GetCell(1, 2).toString()).endsWith("/lists/Über Жук.fll'"));
  helper->tsGrid1ButtonClick(1, 2);
  EXPECT_TRUE(QApplication::clipboard()->text().endsWith("'/f=/lists/Über Жук.fll'"));
  // A command line the user touched up is copied as it stands.
  grid.SetCell(1, 4, Variant(grid.GetCell(1, 4).toString() + " /q"));
  helper->tsGrid1ButtonClick(1, 4);
  EXPECT_TRUE(QApplication::clipboard()->text().endsWith("Жук.fll' /g /q"));
}

} // namespace
} // namespace marrowen

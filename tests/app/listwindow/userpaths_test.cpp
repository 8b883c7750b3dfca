// What a user does from the main window to a finished job, driven with keys
// and clicks through the real windows.
#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/childform.h"
#include "app_testing.h"
#include "components/filedialog.h"
#include "filterlist/commentnodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "grid/widget/dgbasegrid.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

namespace marrowen {
namespace {

using testing::readFile;
using testing::writeFile;

std::string cell(TdgGrid &grid, int col, int row) { return grid.GetCell(col, row).toString(); }

class UserPaths : public testing::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    // New windows start from the list the program ships.
    const std::filesystem::path shipped =
        std::filesystem::path(MARROWEN_BINARY).parent_path() / "normal.fll";
    std::filesystem::copy_file(shipped, dir.file("normal.fll"));
    TchildForm::install();
    main = std::make_unique<TmainForm>(QStringList{"marrowen"});
    main->show();
    child = dynamic_cast<TchildForm *>(main->CreateMDIChild());
    ASSERT_NE(child, nullptr);
    QApplication::setActiveWindow(main.get());
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    EXPECT_TRUE(QTest::qWaitFor([this] { return main->jobHost().activeJobs() == 0; }, 10000));
    child = nullptr;
    main.reset();
    mainFormHooks() = MainFormHooks();
    AppTest::TearDown();
  }
  // A point in a display cell of the files grid.
  QPoint in(int col, int row) const {
    TdgGrid &grid = child->fileGrid();
    return {grid.ColumnLeft(col) + 20, grid.RowTop(row) + 5};
  }
  void clickCell(int col, int row) {
    QTest::mouseClick(child->fileGrid().viewport(), Qt::LeftButton, {}, in(col, row));
  }
  // Keys go where the user's would: to the widget that has the focus.
  void keys(const QString &text) { QTest::keyClicks(QApplication::focusWidget(), text); }
  void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }

  std::unique_ptr<TmainForm> main;
  TchildForm *child = nullptr;
};

// The first name typed into the empty grid is kept and saved; Escape undoes
// the cell being edited, and a row once left is not undone by a later one.
TEST_F(UserPaths, FileNamesTypedIntoTheFilesGridAreKept) {
  child->showFilesPage();
  TdgGrid &grid = child->fileGrid();
  ASSERT_EQ(grid.Rows(), 0);
  grid.setFocus();
  clickCell(1, 1);
  EXPECT_EQ(grid.EffectiveButtonType(1, 1), btNormal) << "the '...' button from the start";
  key(Qt::Key_F2);
  keys("/data/first.txt");
  key(Qt::Key_Return);
  ASSERT_EQ(grid.Rows(), 1);
  EXPECT_EQ(cell(grid, 1, 1), "/data/first.txt");
  EXPECT_EQ(cell(grid, 2, 1), "None");
  EXPECT_EQ(cell(grid, 3, 1), "Add");
  // The name cell's editor follows its column when the window (and so the
  // name column) grows, rather than covering the cells beside it.
  clickCell(1, 1);
  key(Qt::Key_F2);
  ASSERT_TRUE(grid.EditorShown());
  child->parentWidget()->resize(child->parentWidget()->size() + QSize(200, 0));
  QCoreApplication::processEvents();
  EXPECT_NEAR(grid.ActiveControl().Control().geometry().right(), grid.ColumnLeft(2), 20);
  key(Qt::Key_Escape);

  // A second name, its row left for the next one: Escape there leaves it.
  clickCell(1, 2);
  keys("/data/second.txt");
  key(Qt::Key_Tab);
  key(Qt::Key_Escape);
  EXPECT_EQ(cell(grid, 1, 2), "/data/second.txt");
  clickCell(1, 1);
  key(Qt::Key_Escape);
  EXPECT_EQ(cell(grid, 1, 2), "/data/second.txt");
  // Escape while a name is typed takes back only that name.
  keys("changed");
  key(Qt::Key_Escape);
  EXPECT_EQ(cell(grid, 1, 1), "/data/first.txt");
  // A new row typed and escaped: first its name, then the row itself.
  clickCell(1, 3);
  keys("/data/third.txt");
  key(Qt::Key_Escape);
  EXPECT_EQ(cell(grid, 1, 3), "");
  key(Qt::Key_Escape);
  clickCell(1, 1);
  EXPECT_EQ(grid.Rows(), 2);
  // One Escape is enough when the name was all that was typed: the choices
  // the row was given on entering are no reason to keep it.
  clickCell(1, 2);
  key(Qt::Key_Down);
  keys("/data/fourth.txt");
  key(Qt::Key_Escape);
  EXPECT_EQ(grid.RowCount(), grid.Rows() + 1) << "no next new row below the escaped one";
  clickCell(3, 1);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.RowCount(), 4) << "the two rows and one insert row below them";
  EXPECT_EQ(grid.GetCurrentDataRow(), 1);

  dialogAnswer = [this](QDialog &dialog) {
    static_cast<FileDialog &>(dialog).selectFile(QString::fromStdString(dir.file("list.txt")));
    return static_cast<int>(QDialog::Accepted);
  };
  child->saveToFileButton->click();
  EXPECT_EQ(readFile(dir.file("list.txt")), "/data/first.txt\r\n/data/second.txt\r\n");
}

// The files grid keeps Tab for its cells; Ctrl+Tab and Ctrl+Shift+Tab
// leave it for the list window's next and previous control, whether a cell
// is being edited or not, and the workspace keeps Ctrl+F6 for the windows.
TEST_F(UserPaths, CtrlTabLeavesTheFilesGridAndCtrlF6SwitchesWindows) {
  TchildForm *other = dynamic_cast<TchildForm *>(main->CreateMDIChild());
  QMdiSubWindow *frame = qobject_cast<QMdiSubWindow *>(child->parentWidget());
  main->mdiArea().setActiveSubWindow(frame);
  child->showFilesPage();
  TdgGrid &grid = child->fileGrid();
  for (bool editing : {true, false}) {
    SCOPED_TRACE(editing ? "editing a cell" : "on the grid");
    grid.setFocus();
    clickCell(1, 1);
    if (!editing)
      key(Qt::Key_Escape);
    ASSERT_EQ(QApplication::focusWidget() != &grid, grid.EditorShown());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(main->mdiArea().activeSubWindow(), frame);
    QWidget *after = QApplication::focusWidget();
    EXPECT_TRUE(after && child->isAncestorOf(after) && after != &grid && !grid.isAncestorOf(after));
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(main->mdiArea().activeSubWindow(), frame);
    QWidget *before = QApplication::focusWidget();
    EXPECT_TRUE(before && child->isAncestorOf(before) && before != after &&
                !grid.isAncestorOf(before));
  }
  grid.setFocus();
  QTest::keyClick(&grid, Qt::Key_F6, Qt::ControlModifier);
  EXPECT_EQ(main->mdiArea().activeSubWindow()->widget(), other);
}

// Go over two files: the status window lists what the job did, and a file
// that is not there is named in its Errors tab.
TEST_F(UserPaths, GoListsTheJobsLinesInItsStatusWindow) {
  // A new list logs, and shows every line up to its threshold...
  auto &top = dynamic_cast<TFilterCommentObject &>(child->filterTree().node(0));
  EXPECT_TRUE(top.log.enabled);
  EXPECT_EQ(top.log.lineThreshold, 500);
  // ...and one whose threshold is 0 still shows its lines.
  top.log.enabled = false;
  top.log.lineThreshold = 0;
  child->addFilter(findCatalogEntry("TDescriptionObject", 5)->createDefault(5)); // upper case
  child->InputFilter()->inputFromFile = true;
  child->OutputFilter()->outputToFile = TOutputObject::files;
  child->OutputFilter()->testMode = false;
  const std::string a = dir.file("a.txt"), b = dir.file("b.txt");
  writeFile(a, "alpha\r\n");
  writeFile(b, "beta\r\n");
  child->testThenAdd(a);
  child->testThenAdd(b);
  child->testThenAdd(dir.file("missing.txt"));
  // Beside a maximised list window the status window still opens at its own size.
  child->parentWidget()->showMaximized();
  QTest::mouseClick(child->beginButton, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return main->jobHost().activeJobs() == 0; }, 10000));
  EXPECT_EQ(readFile(a), "ALPHA\r\n");
  EXPECT_EQ(readFile(b), "BETA\r\n");

  const auto windows = main->jobHost().statusWindows();
  ASSERT_EQ(windows.size(), 1u);
  TTstatusForm &status = *windows.front();
  std::vector<std::string> lines;
  for (int row = 1; row <= status.resText().Rows(); ++row)
    lines.push_back(cell(status.resText(), 3, row));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines.front(), "Filter name [" + child->getFilterName() + "]");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Input file [" + a + "]  Size: 7 bytes"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Input file [" + b + "]  Size: 6 bytes"),
            lines.end());
  EXPECT_EQ(lines.back().substr(0, 29), "Job finished. 2 of 2 files pr");
  EXPECT_EQ(status.statusBarText().toStdString(), lines.back());
  EXPECT_FALSE(status.parentWidget()->isMaximized());
  // Maximised by hand, it keeps its count and mode labels at their own size.
  status.parentWidget()->showMaximized();
  QCoreApplication::processEvents();
  for (const char *name : {"binarySkipped", "modeLabel"}) {
    const auto *label = status.findChild<QLabel *>(name);
    EXPECT_LE(label->width(), label->sizeHint().width()) << name;
    EXPECT_LE(label->height(), label->sizeHint().height()) << name;
  }
  // The message column is as wide as its widest line.
  EXPECT_GE(status.resText().GetCol(3)->Width(),
            status.resText().fontMetrics().horizontalAdvance(QString::fromStdString(lines.back())));
  auto *pages = status.findChild<QTabWidget *>("Pages");
  EXPECT_EQ(pages->tabText(2), "Errors (1)");
  ASSERT_EQ(status.errors().Rows(), 1);
  EXPECT_EQ(cell(status.errors(), 3, 1), "no file matches " + dir.file("missing.txt"));
}

} // namespace
} // namespace marrowen

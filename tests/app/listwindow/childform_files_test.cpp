#include "app/jobs/statusform.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/childform.h"
#include "app_testing.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/screencheck.h"
#include "qtext/qtext.h"

#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

#include <filesystem>

namespace marrowen {
namespace {

using testing::readFile;
using testing::writeFile;

class FilesGrid : public testing::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    form = std::make_unique<TchildForm>(1);
    form->resize(700, 500);
    form->show();
    form->showFilesPage();
    QApplication::setActiveWindow(form.get());
  }
  void TearDown() override {
    form.reset();
    EXPECT_TRUE(QTest::qWaitFor([] { return TchildForm::jobHost().activeJobs() == 0; }, 10000));
    AppTest::TearDown();
  }
  TdgGrid &grid() const { return form->fileGrid(); }
  // What the grid shows in a row's name cell.
  QString shown(int dataRow) const { return toQString(grid().GetCell(1, dataRow).toString()); }
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const FileGridRow &row : form->fileRows())
      result.push_back(row.pathMask);
    return result;
  }
  void clickDisplayRow(int col, int displayRow) {
    const TRect cell = grid().GetCellRect(grid().DisplayColOf(col), displayRow);
    QWindow *window = form->windowHandle();
    QTest::mouseClick(
        window, Qt::LeftButton, {},
        window->mapFromGlobal(grid().viewport()->mapToGlobal(QPoint(cell.Left + 5, cell.Top + 3))));
  }
  // Typed as a keyboard gives letters beyond ASCII: keys with their text.
  static void type(const QString &text) {
    for (const QChar c : text)
      QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c),
                          Qt::NoModifier);
  }
  std::unique_ptr<TchildForm> form;
};

// Names beyond ASCII, however they come, show as the file system spells
// them, and the list holds, saves and runs them so: a typed name opens, and
// a name whose letters the code page lacks is typed, shows and stays whole
// through deletions of the rows around it.
TEST_F(FilesGrid, NamesBeyondAsciiShowAsSpeltAndComeBackWhole) {
  const std::string latin = dir.file("\xC3\x9Cn\xC3\xAF.txt");
  const std::string east = dir.file("\xE6\x97\xA5\xE6\x9C\xAC.txt");
  const std::string other = dir.file("\xE6\x9C\xAC\xE6\x97\xA5.txt");
  for (const std::string &name : {latin, east, other})
    writeFile(name, "abc\n");

  // Typed into the empty grid's new row.
  clickDisplayRow(1, 1);
  type(QString::fromUtf8(latin));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(grid().Rows(), 1);
  EXPECT_EQ(shown(1), QString::fromUtf8(latin));
  // Letters the code page lacks are typed whole too, into the next new row.
  clickDisplayRow(1, 2);
  type(QString::fromUtf8(east));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(grid().Rows(), 2);
  form->testThenAdd(other);
  form->testThenAdd(latin);
  EXPECT_EQ(shown(4), QString::fromUtf8(latin));
  EXPECT_EQ(shown(2), QString::fromUtf8(east));
  EXPECT_EQ(names(), (std::vector<std::string>{latin, east, other, latin}));

  grid().SetCurrentDataRow(2);
  QTest::mouseClick(form->copyFileRow, Qt::LeftButton);
  EXPECT_EQ(names(), (std::vector<std::string>{latin, east, east, other, latin}));
  // The first and a copied row go; the rows after them keep their names.
  QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, {3, grid().RowTop(1) + 3});
  QTest::mouseClick(grid().viewport(), Qt::LeftButton, Qt::ControlModifier,
                    {3, grid().RowTop(3) + 3});
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
  EXPECT_EQ(names(), (std::vector<std::string>{east, other, latin}));
  form->sortFileGrid();
  EXPECT_EQ(names(), (std::vector<std::string>{latin, east, other}));

  const std::string list = dir.file("names.fll");
  form->saveFilterListAs(list);
  EXPECT_NE(readFile(list).find(other), std::string::npos);
  form->clearAllFiles();
  form->loadFilterList(list, {});
  EXPECT_EQ(names(), (std::vector<std::string>{latin, east, other}));
  EXPECT_EQ(shown(1), QString::fromUtf8(latin));

  form->addFilter(findCatalogEntry("TDescriptionObject", 5)->createDefault(5));
  form->InputFilter()->inputFromFile = true;
  form->OutputFilter()->outputToFile = TOutputObject::files;
  form->OutputFilter()->testMode = true;
  form->beginButtonClick(false);
  for (const std::string &name : {latin, east, other})
    EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(name + ".dCv") == "ABC\n"; }, 5000)) << name;
}

// A name being typed keeps what was typed when the wheel turns it out of
// view: one Backspace then takes one letter. A file dragged below the last
// one, into the window's empty part or past its bottom, goes last. The
// window shows what a full paint draws.
TEST_F(FilesGrid, ANameScrolledAwayKeepsItsTypingAndRowsDragToTheLastShown) {
  for (int i = 1; i <= 40; ++i)
    form->testThenAdd("/data/file" + std::to_string(i) + ".txt");
  QWidget &port = *grid().viewport();
  grid().SetCurrentDataRow(5);
  clickDisplayRow(1, 5);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
  type("x");
  ASSERT_EQ(shown(5), "/data/file5.txtx");
  for (int turn = 0; turn < 3; ++turn) {
    const QPoint at(100, 100);
    QWheelEvent wheel(at, port.mapToGlobal(at), {}, {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(&port, &wheel);
  }
  ASSERT_GT(grid().TopRow(), 5);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
  EXPECT_EQ(shown(5), "/data/file5.txt");
  QApplication::processEvents();
  EXPECT_EQ(screenDiffersFromFullPaint(port), "");

  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  form->clearAllFiles();
  for (const char *name : {"/data/a", "/data/b", "/data/c"})
    form->testThenAdd(name);
  auto dragRow = [&](int row, int toY) {
    const QPoint from(5, grid().RowTop(row) + 3), to(5, toY);
    QTest::mouseClick(&port, Qt::LeftButton, {}, from);
    QTest::mousePress(&port, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(port.mapToGlobal(to)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(&port, &move);
    QTest::mouseRelease(&port, Qt::LeftButton, {}, to);
  };
  const int empty = grid().RowTop(grid().RowCount() - 1) + 40;
  ASSERT_LT(empty, grid().ClientHeight());
  dragRow(1, empty);
  EXPECT_EQ(names(), (std::vector<std::string>{"/data/b", "/data/c", "/data/a"}));
  dragRow(1, grid().ClientHeight() + 20);
  EXPECT_EQ(names(), (std::vector<std::string>{"/data/c", "/data/a", "/data/b"}));
  EXPECT_EQ(grid().TopRow(), 1);
  QApplication::processEvents();
  EXPECT_EQ(screenDiffersFromFullPaint(port), "");
}

// A list cell takes only its choices, whatever is typed into it and however
// the last row went.
TEST_F(FilesGrid, ListCellsTakeOnlyTheirChoices) {
  for (const char *name : {"/data/a", "/data/b"})
    form->testThenAdd(name);
  std::int64_t now = 0;
  grid().TickCount = [&now] { return now; };
  auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
  auto action = [&](int row) { return grid().GetCell(3, row).toString(); };
  clickDisplayRow(1, 1);
  key(Qt::Key_Tab);
  key(Qt::Key_Tab);
  ASSERT_EQ(grid().GetCurrentDataCol(), 3);
  type("i");
  EXPECT_EQ(action(1), "Ignore");
  key(Qt::Key_Down);
  type("q");
  EXPECT_EQ(action(2), "Add") << "a letter no choice starts with";
  now += 3000;
  type("q");
  EXPECT_EQ(action(2), "Add");

  // The last rows go with the current cell on Action: the new row's Action
  // takes only its choices.
  for (int way = 0; way < 4; ++way) {
    if (grid().Rows() == 0)
      form->testThenAdd("/data/c");
    clickDisplayRow(1, 1);
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    ASSERT_EQ(grid().GetCurrentDataCol(), 3);
    switch (way) {
    case 0:
      QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, {3, grid().RowTop(1) + 3});
      for (int r = 2; r <= grid().Rows(); ++r)
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          {3, grid().RowTop(r) + 3});
      key(Qt::Key_Delete);
      break;
    case 1:
      grid().DeleteRows(1, grid().Rows());
      break;
    case 2:
      grid().SetRows(0);
      break;
    default:
      form->clearAllFiles();
      break;
    }
    QApplication::processEvents();
    type(QString::fromUtf8("qw\xC3\xA9"));
    EXPECT_EQ(grid().Rows(), 0) << way;
    now += 3000; // the letters before have lapsed
    type("s");
    ASSERT_EQ(form->fileRows().size(), 1u) << way;
    EXPECT_EQ(form->fileRows()[0].action, "Subtract") << way;
    EXPECT_EQ(form->fileRows()[0].subfolders, "None") << way;
  }
}

// The files grid and the job's Results and Errors lists show letters beyond
// ASCII whole (the dots on capitals, rings, cedillas, Japanese), in the
// window's font and in one twice its size.
TEST_F(FilesGrid, RowsShowLettersBeyondAsciiWhole) {
  const std::string name = "/data/\xC3\x9C"
                           "berordner/Gr\xC3\xB6\xC3\x9F"
                           "e \xC3\x84\xC3\x96\xC3\x9C "
                           "\xC3\x85g\xC3\xA5rd \xC3\x87"
                           "a \xE6\x97\xA5\xE6\x9C\xAC.txt";
  TTstatusForm status;
  status.resize(700, 400);
  status.show();
  for (const int size : {9, 18}) {
    QFont font = form->font();
    font.setPointSize(size);
    form->setFont(font);
    status.setFont(font);
    form->clearAllFiles();
    grid().GetCol(Variant(2))->SetHeading(std::string("\xC3\x9C") + "berordner");
    form->testThenAdd(name);
    form->testThenAdd("/data/b");
    status.addStatusLine(name);
    status.addError(name);
    auto &pages = *status.findChild<QTabWidget *>("Pages");
    QApplication::processEvents();
    EXPECT_EQ(cellTextCut(grid(), 1, 1), "") << size << " points, files";
    EXPECT_EQ(cellTextCut(grid(), 2, 0), "") << size << " points, a heading";
    pages.setCurrentIndex(1);
    EXPECT_EQ(cellTextCut(status.resText(), 3, status.resText().Rows()), "") << size;
    pages.setCurrentWidget(status.findChild<QWidget *>("errorsTab"));
    EXPECT_EQ(cellTextCut(status.errors(), 3, status.errors().Rows()), "") << size;
  }
}

} // namespace
} // namespace marrowen

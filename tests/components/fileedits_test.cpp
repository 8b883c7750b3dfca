#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "components/filedialog.h"
#include "components/fileedits.h"
#include "qt_printing.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace marrowen;

namespace {

QString makeFile(const QTemporaryDir &dir, const QString &name) {
  const QString path = dir.filePath(name);
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  return path;
}

void dropUrls(QWidget &target, const QList<QUrl> &urls) {
  QMimeData data;
  data.setUrls(urls);
  // A drop reaches only a widget that took the drag as it moved in.
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  QDragMoveEvent move(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &move);
  QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &event);
}

void drop(QWidget &target, const QStringList &files) {
  QList<QUrl> urls;
  for (const QString &file : files)
    urls.append(QUrl::fromLocalFile(file));
  dropUrls(target, urls);
}

// Answers every dialog by running `answer` on it and counts them.
struct Answering {
  int shown = 0;
  std::function<int(QDialog &)> answer;
  ScopedDialogRunner runner{[this](QDialog &dialog) {
    ++shown;
    return answer ? answer(dialog) : int(QDialog::Rejected);
  }};
};

} // namespace

TEST(FilenameEdit, NamesWithBlanksAreQuotedInTheTextOnlyAndSignalOnce) {
  TFilenameEdit edit;
  QSignalSpy changes(&edit, &QLineEdit::textChanged);
  edit.SetFileName("/data/my files/x.txt");
  EXPECT_EQ(edit.text(), "\"/data/my files/x.txt\"");
  EXPECT_EQ(edit.FileName(), "/data/my files/x.txt");
  EXPECT_EQ(changes.count(), 1);
  edit.setText("\"/opt/my tool/run\" -v \"a b\"");
  EXPECT_EQ(edit.FileName(), "/opt/my tool/run");
  edit.SetFileName("");
  EXPECT_EQ(edit.text(), "");
}

TEST(FilenameEdit, LegalNamesAreTakenWholeAndInvalidOnesRaiseKeepingTheText) {
  TFilenameEdit edit;
  const QString longPath = "/" + QString(398, u'd') + "/f";
  for (const QString &name : {QString("report[1].txt"), QString("a<b>|c.txt"), longPath}) {
    edit.SetFileName(name);
    EXPECT_EQ(edit.FileName(), name);
  }
  for (const QString &name : {QString("   "), QString("\"\"")}) {
    try {
      edit.SetFileName(name);
      ADD_FAILURE() << "accepted " << name.toStdString();
    } catch (const EComboEditError &error) {
      EXPECT_EQ(error.message(), "Invalid file name - " + fromQString(name));
    }
    EXPECT_EQ(edit.FileName(), longPath);
  }
}

TEST(FilenameEdit, BeforeDialogCanStopThePressAndCancelKeepsTheText) {
  TFilenameEdit edit;
  edit.SetFileName("/tmp/a b.txt");
  Answering dialogs;
  edit.OnBeforeDialog = [](QString &, bool &action) { action = false; };
  edit.ButtonClick();
  EXPECT_EQ(dialogs.shown, 0);

  edit.OnBeforeDialog = nullptr;
  edit.ButtonClick();
  EXPECT_EQ(dialogs.shown, 1);
  EXPECT_EQ(edit.text(), "\"/tmp/a b.txt\"");

  edit.OnAfterDialog = [](QString &name, bool &action) {
    name = "/tmp/chosen anyway";
    action = true;
  };
  edit.ButtonClick();
  EXPECT_EQ(edit.text(), "\"/tmp/chosen anyway\"");
}

TEST(FilenameEdit, TheDialogStartsInTheTextsFolderAndItsChoiceBecomesTheText) {
  QTemporaryDir dir;
  const QString seed = makeFile(dir, "seed.txt");
  const QString chosen = makeFile(dir, "chosen file.txt");
  makeFile(dir, "README");
  TFilenameEdit edit;
  edit.SetFileName(seed);
  Answering dialogs;
  bool listed = false;
  dialogs.answer = [&](QDialog &dialog) {
    auto &files = static_cast<FileDialog &>(dialog);
    EXPECT_EQ(files.directory(), QDir(dir.path()).absolutePath());
    EXPECT_EQ(files.windowTitle(), "Browse");
    EXPECT_EQ(files.defaultSuffix(), "txt");
    EXPECT_EQ(files.acceptMode(), FileDialog::AcceptSave);
    files.selectNameFilter(files.nameFilters().value(1));
    // "All files (*.*)" must list a name without a dot.
    listed = files.listedNames().contains("README");
    files.selectFile(chosen);
    return int(QDialog::Accepted);
  };
  edit.SetFilter("Text (*.txt)|*.txt|All files (*.*)|*.*");
  edit.SetDefaultExt(".txt");
  edit.SetDialogKind(TFilenameEdit::dkSave);
  edit.ButtonClick();
  EXPECT_EQ(edit.FilterIndex(), 2);
  EXPECT_TRUE(listed);
  EXPECT_EQ(edit.FileName(), chosen);
  EXPECT_EQ(edit.text(), '"' + chosen + '"');

  // An empty text cancelled hands on no name, not the one chosen before.
  edit.setText("");
  dialogs.answer = nullptr;
  QString handed = "-";
  edit.OnAfterDialog = [&](QString &name, bool &action) {
    handed = name;
    action = true;
  };
  edit.ButtonClick();
  EXPECT_EQ(handed, "");
  EXPECT_EQ(edit.text(), "");
}

// A name in a folder that does not exist is refused by the dialog, which
// stays open, when the edit asks for an existing path.
TEST(FilenameEdit, WithPathMustExistANameInAMissingFolderIsNotTaken) {
  QTemporaryDir dir;
  const QString missing = dir.filePath("missing/new.txt");
  TFilenameEdit edit;
  edit.SetDialogKind(TFilenameEdit::dkSave);
  edit.SetInitialDir(dir.path());
  Answering dialogs;
  int refusals = 0;
  dialogs.answer = [&](QDialog &dialog) {
    if (qobject_cast<QMessageBox *>(&dialog))
      return ++refusals, int(QMessageBox::Ok);
    static_cast<FileDialog &>(dialog).selectFile(missing);
    dialog.accept(); // as OK does
    return dialog.result();
  };
  edit.SetDialogOptions(TFilenameEdit::ofHideReadOnly | TFilenameEdit::ofPathMustExist);
  edit.ButtonClick();
  EXPECT_EQ(refusals, 1);
  EXPECT_EQ(edit.text(), "");
  edit.SetDialogOptions(TFilenameEdit::ofHideReadOnly);
  edit.ButtonClick();
  EXPECT_EQ(refusals, 1);
  EXPECT_EQ(edit.FileName(), missing);
}

TEST(FilenameEdit, APresetFilterIndexSelectsItsFilterWhenTheDialogOpens) {
  TFilenameEdit edit;
  edit.SetFilter("Text (*.txt)|*.txt|Logs (*.log)|*.log|All files (*.*)|*.*");
  Answering dialogs;
  QString selected;
  dialogs.answer = [&](QDialog &dialog) {
    selected = static_cast<FileDialog &>(dialog).selectedNameFilter();
    return int(QDialog::Rejected);
  };
  for (auto [index, shown] : {std::pair{1, "Text (*.txt)"}, std::pair{3, "All files (*.*)"}}) {
    edit.SetFilterIndex(index);
    edit.ButtonClick();
    EXPECT_EQ(selected, shown) << index;
  }
}

TEST(FilenameEdit, FiltersKeepTheirDescriptionAndListEveryFileForStarDotStar) {
  const std::vector<FileFilter> filters =
      parseFileFilter("Filters (*.fll)|*.fll|Text|*.txt; *.log|dangling");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].description, "Filters (*.fll)");
  EXPECT_EQ(filters[1].patterns, (QStringList{"*.txt", "*.log"}));
  EXPECT_TRUE(matchesFilePatterns("README", {"*.*"}));
  EXPECT_TRUE(matchesFilePatterns("OLD.LOG", filters[1].patterns));
  EXPECT_FALSE(matchesFilePatterns("a.fll.bak", filters[0].patterns));
}

TEST(FileDirEdit, DropsTakeWholeNamesTheFirstOrAllAndAFilesFolder) {
  QTemporaryDir dir;
  const QString deep = dir.filePath(QString(200, u'x') + "/" + QString(200, u'y'));
  QDir().mkpath(deep);
  const QStringList files{makeFile(dir, QString(200, u'x') + "/" + QString(200, u'y') + "/1"),
                          makeFile(dir, "2"), makeFile(dir, "3")};
  TFilenameEdit edit;
  edit.SetAcceptFiles(true);
  int dropped = 0;
  edit.OnDropFiles = [&] { ++dropped; };
  drop(edit, files);
  EXPECT_EQ(edit.FileName(), files[0]);
  EXPECT_TRUE(edit.Files().isEmpty());
  edit.SetDialogOptions(TFilenameEdit::ofAllowMultiSelect);
  drop(edit, files);
  EXPECT_EQ(edit.Files(), files);
  EXPECT_EQ(edit.FileName(), files[0]);
  EXPECT_EQ(dropped, 2);

  TDirectoryEdit folders;
  folders.SetAcceptFiles(true);
  drop(folders, {files[0]});
  EXPECT_EQ(folders.text(), deep + "/");
  folders.SetMultipleDirs(true);
  drop(folders, {dir.path()});
  EXPECT_EQ(folders.text(), deep + "/;" + dir.path());

  TFilenameEdit refusing;
  drop(refusing, files);
  EXPECT_EQ(refusing.text(), "");

  // A file manager percent-encodes a byte that no UTF-8 holds: dropped, the
  // name is that file's, beside one spelt with the letter, and a folder edit
  // takes its folder.
  const std::string latin = fileNameFromQString(dir.path()) + "/sub\xE9/lat\xE9n";
  std::filesystem::create_directories(fileNameFromQString(dir.path()) + "/sub\xE9");
  std::ofstream(latin) << "x";
  makeFile(dir, QString::fromUtf8("sub\xC3\xA9"));
  const QUrl url =
      QUrl::fromEncoded("file://" + QByteArray::fromStdString(latin).toPercentEncoding("/"));
  for (TFileDirEdit *target : std::initializer_list<TFileDirEdit *>{&edit, &folders}) {
    target->setText({});
    dropUrls(*target, {url});
  }
  EXPECT_EQ(fileNameFromQString(edit.FileName()), latin);
  EXPECT_EQ(fileNameFromQString(folders.text()), latin.substr(0, latin.rfind('/') + 1));
  std::filesystem::remove_all(fileNameFromQString(dir.path()) + "/sub\xE9");
}

TEST(DirectoryEdit, BothDialogKindsGiveTheChosenFolder) {
  QTemporaryDir dir;
  const QString sub = dir.filePath("sub");
  QDir().mkpath(sub);
  TDirectoryEdit edit;
  edit.setText(dir.path());
  edit.setEnabled(false);
  EXPECT_FALSE(edit.button().isEnabled());
  edit.setEnabled(true);
  Answering dialogs;
  dialogs.answer = [&](QDialog &dialog) {
    auto &files = dynamic_cast<FileDialog &>(dialog);
    EXPECT_EQ(files.directory(), QDir(dir.path()).absolutePath());
    files.selectFile(sub);
    return int(QDialog::Accepted);
  };
  edit.ButtonClick();
  EXPECT_EQ(edit.text(), sub);
  EXPECT_EQ(edit.InitialDir(), sub);

  edit.SetDialogKind(TDirectoryEdit::dkWin32);
  edit.SetMultipleDirs(true);
  edit.deselect();
  dialogs.answer = [&](QDialog &dialog) {
    auto &browser = dynamic_cast<FolderBrowserDialog &>(dialog);
    EXPECT_EQ(browser.currentPath(), sub); // seeded from the text
    EXPECT_TRUE(browser.selectPath(dir.path()));
    return int(QDialog::Accepted);
  };
  edit.ButtonClick();
  EXPECT_EQ(edit.text(), sub + ";" + dir.path());
  EXPECT_EQ(edit.GetLongForm(), edit.text());

  // Entered by its button, the box selects its text, and the folder picked
  // takes the place of what it held.
  QWidget window;
  auto *other = new QLineEdit(&window);
  edit.setParent(&window);
  auto *layout = new QVBoxLayout(&window);
  layout->addWidget(other);
  layout->addWidget(&edit);
  window.show();
  QApplication::setActiveWindow(&window);
  other->setFocus();
  dialogs.answer = [&](QDialog &dialog) {
    EXPECT_TRUE(dynamic_cast<FolderBrowserDialog &>(dialog).selectPath(dir.path()));
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(&edit.button(), Qt::LeftButton);
  EXPECT_EQ(edit.text(), dir.path());
  edit.setParent(nullptr);
}

TEST(DirectoryEdit, ANewFolderIsTakenOnlyWhenCreatingIsAllowedAndAgreedTo) {
  QTemporaryDir dir;
  const QString fresh = dir.filePath("fresh");
  TDirectoryEdit edit;
  edit.setText(dir.path());
  edit.SetDialogOptions(TDirectoryEdit::sdAllowCreate | TDirectoryEdit::sdPrompt |
                        TDirectoryEdit::sdPerformCreate);
  QMessageBox::StandardButton reply = QMessageBox::No;
  Answering dialogs;
  dialogs.answer = [&](QDialog &dialog) {
    if (qobject_cast<QMessageBox *>(&dialog))
      return int(reply);
    auto &folders = static_cast<FileDialog &>(dialog);
    folders.selectFile(fresh);
    dialog.accept(); // as OK does, so the question comes up
    return dialog.result();
  };
  edit.ButtonClick();
  EXPECT_EQ(edit.text(), dir.path());
  EXPECT_FALSE(QFileInfo::exists(fresh));
  reply = QMessageBox::Yes;
  edit.ButtonClick();
  EXPECT_EQ(edit.text(), fresh);
  EXPECT_TRUE(QFileInfo(fresh).isDir());
  EXPECT_EQ(dialogs.shown, 4);
}

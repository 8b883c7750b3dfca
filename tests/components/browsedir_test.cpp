#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "qt_printing.h"
#include "qtext/qtext.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include <filesystem>

#include <gtest/gtest.h>

using namespace marrowen;

namespace {

// One character, one unit of width.
int charWidth(const QString &text) { return int(text.size()); }

} // namespace

TEST(StatusText, FileNamesLoseTheirEndAndFoldersWholeFoldersUntilTheyFit) {
  struct Case {
    QString text;
    bool folder;
    int width;
    QString shown;
  };
  const Case cases[] = {
      {"/data/report.txt", false, 20, "/data/report.txt"},
      {"/data/report.txt", false, 10, "/data/r..."},
      {"/data/report.txt", false, 2, "..."}, // narrower than "..." still ends
      // Never half an emoji, which would fit where the whole does not.
      {QStringLiteral("/data/r\U0001F600port.txt"), false, 11, "/data/r..."},
      {"/home/user/docs/project", true, 30, "/home/user/docs/project"},
      {"/home/user/docs/project", true, 22, "/.../user/docs/project"},
      {"/home/user/docs/project", true, 17, "/.../docs/project"},
      {"/home/user/docs/project", true, 11, ".../project"},
      {"/home/user/docs/project", true, 2, "project"},
      {"/project", true, 3, "project"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(fitStatusText(c.text, c.folder, c.width, charWidth), c.shown)
        << c.text.toStdString() << " in " << c.width;
}

TEST(BrowseDirectoryDlg, AnExistingFolderGainsASlashAndCancelClearsTheSelection) {
  QTemporaryDir dir;
  TBrowseDirectoryDlg picker;
  picker.SetSelection(dir.path());
  EXPECT_EQ(picker.Selection(), dir.path() + "/");
  picker.SetSelection("/no/such/folder");
  EXPECT_EQ(picker.Selection(), "/no/such/folder");

  picker.SetSelection(dir.path());
  QString seeded;
  ScopedDialogRunner cancel([&](QDialog &dialog) {
    seeded = static_cast<FolderBrowserDialog &>(dialog).currentPath();
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(picker.Execute());
  EXPECT_EQ(seeded, dir.path());
  EXPECT_EQ(picker.Selection(), "");
}

TEST(BrowseDirectoryDlg, TheChosenFolderIsTheSelectionAndShowsInTheStatusLine) {
  QTemporaryDir dir;
  const QString sub = dir.filePath("sub");
  QDir().mkpath(sub);
  TBrowseDirectoryDlg picker;
  picker.SetTitle("Choose a folder");
  picker.SetCaption("Select a folder to process");
  picker.SetShowSelectionInStatus(true);
  picker.SetStatusText(" ");
  picker.SetSelection(dir.path());
  QStringList changes;
  picker.OnSelChanged = [&](const QString &path) { changes.append(path); };
  ScopedDialogRunner choose([&](QDialog &dialog) {
    auto &browser = static_cast<FolderBrowserDialog &>(dialog);
    EXPECT_EQ(browser.windowTitle(), "Select a folder to process");
    EXPECT_EQ(picker.Caption(), "Select a folder to process");
    EXPECT_EQ(browser.statusLine()->fullText(), dir.path()); // the starting folder
    browser.selectPath(sub);
    EXPECT_EQ(browser.statusLine()->fullText(), sub);
    return int(QDialog::Accepted);
  });
  EXPECT_TRUE(picker.Execute());
  EXPECT_EQ(picker.Selection(), sub);
  EXPECT_EQ(changes.back(), sub);
  EXPECT_EQ(picker.ImageIndex(), -1);
}

TEST(BrowseDirectoryDlg, WithoutAStatusTextThereIsNoStatusLine) {
  TBrowseDirectoryDlg picker;
  picker.SetShowSelectionInStatus(true);
  ScopedDialogRunner look([&](QDialog &dialog) {
    EXPECT_EQ(static_cast<FolderBrowserDialog &>(dialog).statusLine(), nullptr);
    return int(QDialog::Rejected);
  });
  picker.Execute();
}

TEST(BrowseFolderDlg, OkIsOpenOnlyOnAFolderAndCancelKeepsTheFolderName) {
  QTemporaryDir dir;
  const QString file = dir.filePath("f.txt");
  QFile(file).open(QIODevice::WriteOnly);
  QString folder = dir.path();
  int helpAsked = 0;
  setKitHelpHook([&](int context) { helpAsked += context; });
  ScopedDialogRunner look([&](QDialog &dialog) {
    auto &browser = static_cast<FolderBrowserDialog &>(dialog);
    EXPECT_EQ(browser.currentPath(), dir.path());
    EXPECT_TRUE(browser.okEnabled());
    EXPECT_FALSE(browser.selectPath(file)); // files are not in the tree
    browser.tree().setCurrentIndex(QModelIndex());
    EXPECT_FALSE(browser.okEnabled());
    EXPECT_TRUE(browser.selectPath(dir.path()));
    EXPECT_TRUE(browser.okEnabled());
    emit browser.helpRequested();
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(BrowseFolder(folder, "Pick one", 7));
  EXPECT_EQ(folder, dir.path());
  EXPECT_EQ(helpAsked, 7);
  setKitHelpHook(nullptr);
}

// Qt's own listing leaves out a name that no UTF-8 holds, so a folder of old
// names looked empty: the picker lists every name, shows the one with a
// stray byte apart from the one with the letter, and hands back its bytes.
TEST(BrowseDirectoryDlg, ListsEveryNameApartAndHandsBackItsBytes) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();
  const std::vector<std::string> names = {"lat\xE9n", "lat\xC3\xA9n", "\xFF\x80"};
  for (const std::string &name : names)
    ASSERT_TRUE(std::filesystem::create_directory(root + "/" + name));
  TBrowseDirectoryDlg picker;
  picker.SetSelection(fileNameToQString(root + "/" + names[0]));
  QStringList listed;
  ScopedDialogRunner choose([&](QDialog &dialog) {
    QTreeView &tree = static_cast<FolderBrowserDialog &>(dialog).tree();
    const QModelIndex folder = tree.currentIndex().parent();
    for (int row = 0; row < tree.model()->rowCount(folder); ++row)
      listed << tree.model()->index(row, 0, folder).data().toString();
    return int(QDialog::Accepted);
  });
  ASSERT_TRUE(picker.Execute());
  EXPECT_EQ(fileNameFromQString(picker.Selection()), root + "/" + names[0]);
  listed.sort();
  QStringList shown;
  for (const std::string &name : names)
    shown << fileNameToQString(name);
  shown.sort();
  EXPECT_EQ(listed, shown);
  EXPECT_EQ(QSet<QString>(listed.begin(), listed.end()).size(), 3);
  std::filesystem::remove_all(root); // a name Qt cannot spell is one it cannot remove
}

#pragma once

#include <QDialog>
#include <QStringList>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QCompleter;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStringListModel;
class QToolButton;

namespace marrowen {

// One choice of a file dialog's "description|pattern;pattern|..." filter.
struct FileFilter {
  QString description;
  // As typed: "*.*" stands for every name, one without a dot too.
  QStringList patterns;
};
// The pairs of `filter`; a description without its patterns is dropped.
std::vector<FileFilter> parseFileFilter(const QString &filter);
// Whether a name's bytes match one of `patterns`, letters in either case.
bool matchesFilePatterns(const std::string &name, const QStringList &patterns);

// The program's open, save and folder dialog. It reads each folder as the
// file system spells its names (the folder picker's listing), so a name that
// no UTF-8 holds is listed too, shown through fileNameToQString apart from
// the name with the letter, and every name handed back (selectedFiles) is
// the shown text of the entry's own bytes: fileNameFromQString gives them
// back. The folder field, the list and the name field always name the same
// folder.
class FileDialog : public QDialog {
  Q_OBJECT
public:
  enum AcceptMode { AcceptOpen, AcceptSave };
  // ExistingFile(s) take only files that exist; Directory lists folders only
  // and takes one.
  enum FileMode { AnyFile, ExistingFile, ExistingFiles, Directory };

  explicit FileDialog(QWidget *parent = nullptr, const QString &title = {},
                      const QString &filter = {});
  ~FileDialog() override;

  AcceptMode acceptMode() const { return acceptMode_; }
  void setAcceptMode(AcceptMode mode);
  FileMode fileMode() const { return fileMode_; }
  void setFileMode(FileMode mode);

  // "description|pattern;pattern|..."; empty lists every file.
  void setFilter(const QString &filter);
  QStringList nameFilters() const;
  QString selectedNameFilter() const;
  void selectNameFilter(const QString &description);
  // From 1, as the edit boxes count.
  int filterIndex() const;
  void setFilterIndex(int index);

  // Added to a name without an extension: always when saving, when opening
  // only where no file has the name as typed. A leading "." is dropped.
  QString defaultSuffix() const { return defaultSuffix_; }
  void setDefaultSuffix(const QString &suffix);

  void setPathMustExist(bool must) { pathMustExist_ = must; }
  void setConfirmOverwrite(bool confirm) { confirmOverwrite_ = confirm; }
  // Shows "Open as read-only"; its state after OK is readOnlyChosen().
  void setReadOnlyBoxShown(bool shown);
  void setReadOnlyChosen(bool chosen);
  bool readOnlyChosen() const;
  // Directory mode: a folder that does not exist may be named; `prompt`
  // asks first, `create` makes it.
  void setFolderCreation(bool allow, bool prompt, bool create);
  // Earlier folders, offered by the folder field.
  void setHistory(const QStringList &folders);

  // The folder shown, as shown (fileNameToQString of its bytes).
  QString directory() const;
  // Goes to an existing folder; anything else is ignored.
  void setDirectory(const QString &folder);
  // A name with its folder goes to that folder when it exists and puts the
  // name in the name field (the whole name when its folder does not exist).
  void selectFile(const QString &name);
  // After OK, what was taken; before, what the name field names in the
  // folder shown.
  QStringList selectedFiles() const;
  // The texts of the list, in order: folders, then files that match.
  QStringList listedNames();

  // Ends the dialog only on names it may take: it opens a folder named
  // instead, and refuses what the options refuse, saying why.
  void accept() override;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  void goTo(const std::string &folder);
  void goUp();
  // Lists the folder at once while the dialog shows; otherwise when it
  // shows, so that setting it up reads no folder in vain.
  void reread();
  void fillList();
  void listSelectionChanged();
  void itemActivated(QListWidgetItem *item);
  void folderFieldEntered();
  void nameEdited(const QString &text);
  // The names the name field holds, each with its folder, as bytes.
  std::vector<std::string> typedNames() const;
  std::string resolve(const QString &typed) const;
  std::string withSuffix(const std::string &name) const;
  bool acceptFolder(const std::string &folder);
  bool takeFile(const std::string &name);
  void refuse(const std::string &name, const char *why);

  AcceptMode acceptMode_ = AcceptOpen;
  FileMode fileMode_ = AnyFile;
  std::vector<FileFilter> filters_;
  // A pattern typed into the name field, until the filter is changed.
  QStringList typedPatterns_;
  QString defaultSuffix_;
  bool pathMustExist_ = false;
  bool confirmOverwrite_ = false;
  bool allowCreate_ = false;
  bool promptCreate_ = false;
  bool performCreate_ = false;
  std::string folder_;
  std::string completedFolder_;
  std::vector<std::string> chosen_;
  bool taken_ = false;
  bool listed_ = false;

  QComboBox *folderField_;
  QToolButton *upButton_;
  QListWidget *list_;
  QLabel *nameLabel_;
  QLineEdit *nameField_;
  QLabel *typeLabel_;
  QComboBox *typeField_;
  QCheckBox *readOnlyBox_;
  QPushButton *acceptButton_;
  QPushButton *cancelButton_;
  QCompleter *completer_;
  QStringListModel *completions_;
};

} // namespace marrowen

#pragma once

#include <QAbstractItemModel>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QDialogButtonBox;
class QTreeView;

namespace marrowen {

// An entry of a folder, named as the file system spells it.
struct FolderEntry {
  std::string name;
  bool folder = false;
};
// What `folder` holds but hidden entries (and files unless `includeFiles`):
// folders first, then by name as shown, whatever the letters' case. A folder
// that cannot be read holds nothing.
std::vector<FolderEntry> readFolderEntries(const std::string &folder, bool includeFiles);
// What the pickers show beside an entry.
QIcon folderEntryIcon(bool folder);

// The folders (and, when asked, the files) below one root, read from the
// file system as it spells their names, so that every name is listed, one
// that no UTF-8 holds too (shown by fileNameToQString). A folder is read when
// it is first opened; hidden entries are left out. The tree starts at "/",
// its one top entry; a view shows what lies in the root given.
class FileNamesModel : public QAbstractItemModel {
  Q_OBJECT
public:
  FileNamesModel(const QString &root, bool includeFiles, QObject *parent = nullptr);
  ~FileNamesModel() override;

  QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  bool hasChildren(const QModelIndex &parent = {}) const override;
  bool canFetchMore(const QModelIndex &parent) const override;
  void fetchMore(const QModelIndex &parent) override;

  bool includesFiles() const { return includeFiles_; }
  // The entry's full path as shown; empty for none.
  QString filePath(const QModelIndex &index) const;
  // The entry of a shown absolute path, reading the folders on the way;
  // invalid when there is none.
  QModelIndex indexOf(const QString &path);
  QModelIndex rootIndex();

private:
  struct Node;
  Node *nodeOf(const QModelIndex &index) const;
  QModelIndex indexOfNode(const Node *node) const;
  void load(Node &node, const QModelIndex &index);
  std::string pathOf(const Node &node) const;

  std::unique_ptr<Node> top_;
  std::string root_;
  bool includeFiles_;
};

// The status line of a folder dialog: it keeps the whole text and shows
// `fit(text, width, metrics)` of it at whatever width it gets.
class FittedStatusLine : public QLabel {
  Q_OBJECT
public:
  using Fitter = std::function<QString(const QString &text, int width, const QFontMetrics &)>;
  explicit FittedStatusLine(QWidget *parent = nullptr);
  void setFullText(const QString &text, Fitter fit);
  const QString &fullText() const { return fullText_; }

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  void refit();
  QString fullText_;
  Fitter fit_;
};

// A folder picker: a title, an optional status line, a tree of the folders
// (and, when asked, the files) below one root, and OK, Cancel and,
// when asked, Help.
class FolderBrowserDialog : public QDialog {
  Q_OBJECT
public:
  FolderBrowserDialog(const QString &rootPath, bool includeFiles, bool withStatus,
                      QWidget *parent = nullptr);

  void setTitle(const QString &title);
  // Null without a status line.
  FittedStatusLine *statusLine() const { return status_; }
  void setOkEnabled(bool enabled);
  bool okEnabled() const;
  void showHelpButton();
  QTreeView &tree() const { return *tree_; }
  // The selected entry, empty when nothing is selected.
  QString currentPath() const;
  // Selects `path` in the tree when it is there; false when it is not.
  bool selectPath(const QString &path);

signals:
  void selectionChanged(const QString &path);
  void helpRequested();

protected:
  void showEvent(QShowEvent *event) override;

private:
  QLabel *title_;
  FittedStatusLine *status_ = nullptr;
  QTreeView *tree_;
  FileNamesModel *model_;
  QDialogButtonBox *buttons_;
};

// The status text shortened to `width` as measured by `widthOf`. A folder
// loses whole folders from its start behind ".../" until it fits, down to
// its last name alone; any other text loses characters from its end behind
// "...", down to "..." alone.
QString fitStatusText(const QString &text, bool isFolder, int width,
                      const std::function<int(const QString &)> &widthOf);

// The folder picker a window calls: Execute shows it and tells whether a
// folder was chosen, which Selection then holds.
class TBrowseDirectoryDlg : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(QString Title READ Title WRITE SetTitle)

public:
  enum TRootID {
    idDesktop = 0,
    idInternet = 1,
    idPrograms = 2,
    idControlPanel = 3,
    idPrinters = 4,
    idPersonal = 5,
    idFavorites = 6,
    idStartup = 7,
    idRecent = 8,
    idSendTo = 9,
    idRecycleBin = 10,
    idStartMenu = 11,
    idDesktopDirectory = 16,
    idDrives = 17,
    idNetwork = 18,
    idNetHood = 19,
    idFonts = 20,
    idTemplates = 21,
    idDesktopExpanded = 65278
  };
  // Only bfIncludeFiles changes anything here: the others name kinds of
  // shell items that have no counterpart.
  enum TBrowseFlag {
    bfDirectoriesOnly = 1,
    bfDomainOnly = 2,
    bfAncestors = 8,
    bfComputers = 4096,
    bfPrinters = 8192,
    bfIncludeFiles = 16384
  };
  using TBrowseFlags = int;

  explicit TBrowseDirectoryDlg(QObject *owner = nullptr);

  // While the dialog is open, the window's own title.
  QString Caption() const;
  void SetCaption(const QString &caption);
  const QString &Title() const { return title_; }
  void SetTitle(const QString &title) { title_ = title; }
  TRootID Root() const { return root_; }
  void SetRoot(TRootID root) { root_ = root; }
  TBrowseFlags Options() const { return options_; }
  void SetOptions(TBrowseFlags options) { options_ = options; }
  const QString &Selection() const { return selection_; }
  // An existing folder gains a trailing "/"; an open dialog selects it.
  void SetSelection(const QString &selection);
  bool Center() const { return center_; }
  void SetCenter(bool center) { center_ = center; }
  const QString &StatusText() const { return statusText_; }
  void SetStatusText(const QString &text);
  bool ShowSelectionInStatus() const { return showSelectionInStatus_; }
  void SetShowSelectionInStatus(bool show) { showSelectionInStatus_ = show; }
  bool FitStatusText() const { return fitStatusText_; }
  void SetFitStatusText(bool fit);
  bool EnableOKButton() const { return enableOKButton_; }
  void SetEnableOKButton(bool enable);
  int ImageIndex() const { return -1; }

  // The folder the tree starts from for `root`.
  static QString rootPath(TRootID root);

  virtual bool Execute();

  std::function<void(const QString &newSelection)> OnSelChanged;
  std::function<void()> OnCreate;

protected:
  virtual void DoInitialized(FolderBrowserDialog &dialog);
  virtual void DoSelChanged(const QString &path);

private:
  void showStatus();
  void selectInTree();

  QString caption_;
  QPointer<QWidget> parentControl_;
  bool showSelectionInStatus_ = false;
  bool fitStatusText_ = true;
  QString title_;
  TRootID root_ = idDesktop;
  TBrowseFlags options_ = 0;
  QString selection_;
  bool center_ = true;
  QString statusText_;
  bool enableOKButton_ = true;
  QPointer<FolderBrowserDialog> dialog_;
};

// The folder dialog behind a folder edit's button: OK is open only while
// an existing folder is selected.
class TBrowseFolderDlg : public QObject {
  Q_OBJECT
public:
  enum TBrowseKind { bfFolders, bfComputers };
  enum TDialogPosition { dpDefault, dpScreenCenter };

  explicit TBrowseFolderDlg(QObject *owner = nullptr);

  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int context) { helpContext_ = context; }
  bool DesktopRoot() const { return desktopRoot_; }
  void SetDesktopRoot(bool desktop) { desktopRoot_ = desktop; }
  TBrowseKind BrowseKind() const { return browseKind_; }
  void SetBrowseKind(TBrowseKind kind) { browseKind_ = kind; }
  TDialogPosition Position() const { return position_; }
  void SetPosition(TDialogPosition position) { position_ = position; }
  const QString &DialogText() const { return dialogText_; }
  void SetDialogText(const QString &text) { dialogText_ = text; }
  const QString &FolderName() const { return folderName_; }
  void SetFolderName(const QString &name) { folderName_ = name; }
  // What is selected in the open dialog.
  const QString &selectedName() const { return selectedName_; }
  int ImageIndex() const { return -1; }

  // Left unchanged when the user cancels.
  bool Execute();

  std::function<void()> OnInitialized;
  std::function<void()> OnSelChanged;

private:
  void selChanged(FolderBrowserDialog &dialog, const QString &path);

  int helpContext_ = 0;
  bool desktopRoot_ = true;
  TBrowseKind browseKind_ = bfFolders;
  TDialogPosition position_ = dpScreenCenter;
  QString dialogText_;
  QString selectedName_;
  QString folderName_;
};

// Shows the folder dialog seeded with `folderName`; on OK `folderName`
// becomes the chosen folder and the result is true.
bool BrowseFolder(QString &folderName, const QString &dialogText, int helpContext);

// What the Help buttons of the kit's dialogs call with their help context.
using HelpHook = std::function<void(int helpContext)>;
void setKitHelpHook(HelpHook hook);
void showKitHelp(int helpContext);

} // namespace marrowen

#include "components/browsedir.h"

#include "components/dialogrunner.h"
#include "components/fileutil.h"
#include "components/kitutils.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace marrowen {

// ---- the names in a folder

std::vector<FolderEntry> readFolderEntries(const std::string &folder, bool includeFiles) {
  std::vector<FolderEntry> found;
  if (DIR *listing = ::opendir(folder.c_str())) {
    while (const dirent *entry = ::readdir(listing)) {
      std::string name = entry->d_name;
      if (name.starts_with('.'))
        continue;
      struct stat info {};
      const std::string path = folder + (folder.ends_with('/') ? "" : "/") + name;
      const bool isFolder = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
      if (isFolder || includeFiles)
        found.push_back({std::move(name), isFolder});
    }
    ::closedir(listing);
  }
  // Each name is shown once, not at every comparison: a folder may hold
  // many thousands.
  std::vector<std::pair<QString, std::size_t>> order;
  order.reserve(found.size());
  for (std::size_t i = 0; i < found.size(); ++i)
    order.emplace_back(fileNameToQString(found[i].name), i);
  std::sort(order.begin(), order.end(), [&](const auto &a, const auto &b) {
    if (found[a.second].folder != found[b.second].folder)
      return found[a.second].folder;
    if (const int byCase = a.first.compare(b.first, Qt::CaseInsensitive))
      return byCase < 0;
    return a.first < b.first;
  });
  std::vector<FolderEntry> sorted;
  sorted.reserve(found.size());
  for (const auto &[shown, i] : order)
    sorted.push_back(std::move(found[i]));
  return sorted;
}

QIcon folderEntryIcon(bool folder) {
  static const QFileIconProvider icons;
  return icons.icon(folder ? QFileIconProvider::Folder : QFileIconProvider::File);
}

// ---- the names below a root

struct FileNamesModel::Node {
  std::string name; // the root's: its whole path
  Node *parent = nullptr;
  bool folder = true;
  bool loaded = false;
  std::vector<std::unique_ptr<Node>> children;
};

FileNamesModel::FileNamesModel(const QString &root, bool includeFiles, QObject *parent)
    : QAbstractItemModel(parent), top_(std::make_unique<Node>()), includeFiles_(includeFiles) {
  auto node = std::make_unique<Node>();
  node->name = "/";
  node->parent = top_.get();
  top_->children.push_back(std::move(node));
  top_->loaded = true;
  root_ = fileNameFromQString(root);
}

FileNamesModel::~FileNamesModel() = default;

FileNamesModel::Node *FileNamesModel::nodeOf(const QModelIndex &index) const {
  return index.isValid() ? static_cast<Node *>(index.internalPointer()) : top_.get();
}

QModelIndex FileNamesModel::indexOfNode(const Node *node) const {
  if (!node || node == top_.get())
    return {};
  const auto &siblings = node->parent->children;
  const auto at = std::find_if(siblings.begin(), siblings.end(),
                               [&](const auto &sibling) { return sibling.get() == node; });
  return createIndex(static_cast<int>(at - siblings.begin()), 0, const_cast<Node *>(node));
}

QModelIndex FileNamesModel::index(int row, int column, const QModelIndex &parent) const {
  const Node *node = nodeOf(parent);
  if (column != 0 || row < 0 || row >= static_cast<int>(node->children.size()))
    return {};
  return createIndex(row, 0, node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FileNamesModel::parent(const QModelIndex &child) const {
  return child.isValid() ? indexOfNode(nodeOf(child)->parent) : QModelIndex();
}

int FileNamesModel::rowCount(const QModelIndex &parent) const {
  return static_cast<int>(nodeOf(parent)->children.size());
}

int FileNamesModel::columnCount(const QModelIndex &) const { return 1; }

QVariant FileNamesModel::data(const QModelIndex &index, int role) const {
  const Node *node = nodeOf(index);
  if (!index.isValid())
    return {};
  if (role == Qt::DisplayRole)
    return fileNameToQString(node->name);
  if (role == Qt::DecorationRole)
    return folderEntryIcon(node->folder);
  return {};
}

bool FileNamesModel::hasChildren(const QModelIndex &parent) const {
  const Node *node = nodeOf(parent);
  return node->folder && (!node->loaded || !node->children.empty());
}

bool FileNamesModel::canFetchMore(const QModelIndex &parent) const {
  return !nodeOf(parent)->loaded;
}

void FileNamesModel::fetchMore(const QModelIndex &parent) {
  Node *node = nodeOf(parent);
  if (!node->loaded)
    load(*node, parent);
}

std::string FileNamesModel::pathOf(const Node &node) const {
  if (node.parent == top_.get())
    return node.name;
  const std::string folder = pathOf(*node.parent);
  return folder + (folder.ends_with('/') ? "" : "/") + node.name;
}

void FileNamesModel::load(Node &node, const QModelIndex &index) {
  node.loaded = true;
  std::vector<FolderEntry> entries = readFolderEntries(pathOf(node), includeFiles_);
  if (entries.empty())
    return;
  beginInsertRows(index, 0, static_cast<int>(entries.size()) - 1);
  for (FolderEntry &entry : entries) {
    auto child = std::make_unique<Node>();
    child->name = std::move(entry.name);
    child->parent = &node;
    child->folder = entry.folder;
    node.children.push_back(std::move(child));
  }
  endInsertRows();
}

QString FileNamesModel::filePath(const QModelIndex &index) const {
  return index.isValid() ? fileNameToQString(pathOf(*nodeOf(index))) : QString();
}

QModelIndex FileNamesModel::rootIndex() { return indexOf(fileNameToQString(root_)); }

QModelIndex FileNamesModel::indexOf(const QString &path) {
  const std::string rest = fileNameFromQString(path);
  if (!rest.starts_with('/'))
    return {};
  QModelIndex at = index(0, 0);
  std::size_t from = 0;
  while (from < rest.size()) {
    if (rest[from] == '/') {
      ++from;
      continue;
    }
    const std::size_t end = std::min(rest.find('/', from), rest.size());
    const std::string name = rest.substr(from, end - from);
    fetchMore(at);
    const Node *node = nodeOf(at);
    const auto child = std::find_if(node->children.begin(), node->children.end(),
                                    [&](const auto &c) { return c->name == name; });
    if (child == node->children.end())
      return {};
    at = indexOfNode(child->get());
    from = end;
  }
  return at;
}

// ---- status line

FittedStatusLine::FittedStatusLine(QWidget *parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void FittedStatusLine::setFullText(const QString &text, Fitter fit) {
  fullText_ = text;
  fit_ = std::move(fit);
  refit();
}

void FittedStatusLine::resizeEvent(QResizeEvent *event) {
  QLabel::resizeEvent(event);
  refit();
}

void FittedStatusLine::refit() {
  setText(fit_ ? fit_(fullText_, contentsRect().width(), fontMetrics()) : fullText_);
}

// ---- dialog

FolderBrowserDialog::FolderBrowserDialog(const QString &rootPath, bool includeFiles,
                                         bool withStatus, QWidget *parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("FolderBrowserDialog"));
  setWindowTitle(tr("Browse for Folder"));
  auto *layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setWordWrap(true);
  title_->setTextFormat(Qt::PlainText);
  layout->addWidget(title_);
  if (withStatus) {
    status_ = new FittedStatusLine(this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);
  }
  model_ = new FileNamesModel(rootPath, includeFiles, this);
  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("tree"));
  tree_->setModel(model_);
  // The whole file system shows "/" as its one top entry; a narrower root
  // shows what lies in it.
  if (rootPath != QLatin1String("/")) {
    const QModelIndex root = model_->rootIndex();
    model_->fetchMore(root);
    tree_->setRootIndex(root);
  }
  tree_->header()->hide();
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  layout->addWidget(tree_, 1);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons_, &QDialogButtonBox::helpRequested, this, &FolderBrowserDialog::helpRequested);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &current) {
            emit selectionChanged(current.isValid() ? model_->filePath(current) : QString());
          });
  resize(360, 420);
}

void FolderBrowserDialog::setTitle(const QString &title) {
  title_->setText(title);
  title_->setVisible(!title.isEmpty());
}

void FolderBrowserDialog::setOkEnabled(bool enabled) {
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(enabled);
}

bool FolderBrowserDialog::okEnabled() const {
  return buttons_->button(QDialogButtonBox::Ok)->isEnabled();
}

void FolderBrowserDialog::showHelpButton() {
  if (!buttons_->button(QDialogButtonBox::Help))
    buttons_->addButton(QDialogButtonBox::Help)->setText(tr("&Help"));
}

// Only a laid-out tree knows where to scroll to.
void FolderBrowserDialog::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (tree_->currentIndex().isValid())
    tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

QString FolderBrowserDialog::currentPath() const {
  const QModelIndex current = tree_->currentIndex();
  return current.isValid() ? model_->filePath(current) : QString();
}

bool FolderBrowserDialog::selectPath(const QString &path) {
  // The model reads the folders on the way to the entry.
  if (!model_->includesFiles() && !FolderExists(path))
    return false;
  const QModelIndex index = model_->indexOf(path);
  if (!index.isValid())
    return false;
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  return true;
}

// ---- status fitting

QString fitStatusText(const QString &text, bool isFolder, int width,
                      const std::function<int(const QString &)> &widthOf) {
  if (!isFolder) {
    QString result = text;
    for (qsizetype keep = text.size(); keep > 0 && widthOf(result) > width;)
      result = leftWholeLetters(text, --keep) + QStringLiteral("...");
    return result;
  }
  const QString ellipsis = QStringLiteral(".../");
  const qsizetype lastSlash = text.lastIndexOf(u'/');
  QString folder = text.left(lastSlash + 1);
  const QString name = text.mid(lastSlash + 1);
  QString drive;
  if (folder.size() >= 2 && folder[1] == u':') {
    drive = folder.left(2);
    folder.remove(0, 2);
  }
  while (widthOf(drive + folder + name) > width && !(drive.isEmpty() && folder.isEmpty())) {
    if (folder == QLatin1String("/.../")) {
      folder = ellipsis;
      drive.clear();
    } else if (folder.isEmpty()) {
      drive.clear();
    } else if (folder == QLatin1String("/")) {
      folder.clear();
    } else {
      const bool leading = folder.startsWith(u'/');
      if (leading)
        folder.remove(0, 1);
      if (folder.startsWith(ellipsis))
        folder.remove(0, ellipsis.size());
      // With no folder left to cut, nothing stands for it either, so the
      // walk reaches its end.
      const qsizetype next = folder.indexOf(u'/');
      folder = next < 0 ? QString() : ellipsis + folder.mid(next + 1);
      if (leading)
        folder.prepend(u'/');
    }
  }
  return drive + folder + name;
}

// ---- the filter-list window's picker

TBrowseDirectoryDlg::TBrowseDirectoryDlg(QObject *owner) : QObject(owner) {
  if (auto *widget = qobject_cast<QWidget *>(owner))
    parentControl_ = widget;
}

QString TBrowseDirectoryDlg::Caption() const { return dialog_ ? dialog_->windowTitle() : caption_; }

void TBrowseDirectoryDlg::SetCaption(const QString &caption) {
  if (caption == caption_)
    return;
  caption_ = caption;
  if (dialog_)
    dialog_->setWindowTitle(caption);
}

void TBrowseDirectoryDlg::SetSelection(const QString &selection) {
  if (selection == selection_)
    return;
  selection_ = selection;
  if (!selection_.endsWith(u'/') && FolderExists(selection_))
    selection_ += u'/';
  if (dialog_ && !selection_.isEmpty())
    selectInTree();
}

void TBrowseDirectoryDlg::SetStatusText(const QString &text) {
  if (text == statusText_)
    return;
  statusText_ = text;
  if (dialog_)
    showStatus();
}

void TBrowseDirectoryDlg::SetFitStatusText(bool fit) {
  if (fit == fitStatusText_)
    return;
  fitStatusText_ = fit;
  if (dialog_)
    showStatus();
}

void TBrowseDirectoryDlg::SetEnableOKButton(bool enable) {
  if (enable == enableOKButton_)
    return;
  enableOKButton_ = enable;
  if (dialog_)
    dialog_->setOkEnabled(enable);
}

QString TBrowseDirectoryDlg::rootPath(TRootID root) {
  QStandardPaths::StandardLocation location;
  switch (root) {
  case idPersonal:
    location = QStandardPaths::DocumentsLocation;
    break;
  case idDesktopDirectory:
    location = QStandardPaths::DesktopLocation;
    break;
  case idFonts:
    location = QStandardPaths::FontsLocation;
    break;
  case idTemplates:
    location = QStandardPaths::TemplatesLocation;
    break;
  case idPrograms:
    location = QStandardPaths::ApplicationsLocation;
    break;
  default:
    return QStringLiteral("/");
  }
  const QString path = QStandardPaths::writableLocation(location);
  return FolderExists(path) ? path : QStringLiteral("/");
}

// The status line is made only when there is a status text as the dialog
// opens; without one, later texts have nowhere to go.
void TBrowseDirectoryDlg::showStatus() {
  FittedStatusLine *line = dialog_ ? dialog_->statusLine() : nullptr;
  if (!line)
    return;
  if (!fitStatusText_ || statusText_.isEmpty()) {
    line->setFullText(statusText_, nullptr);
    return;
  }
  const bool isFolder = FolderExists(statusText_);
  line->setFullText(
      statusText_, [isFolder](const QString &text, int width, const QFontMetrics &metrics) {
        return fitStatusText(text, isFolder, width,
                             [&](const QString &s) { return metrics.horizontalAdvance(s); });
      });
}

// The tree gets the folder without its trailing "/", the root as it is.
void TBrowseDirectoryDlg::selectInTree() {
  QString path = selection_;
  if (path.size() > 1 && path.endsWith(u'/'))
    path.chop(1);
  dialog_->selectPath(path);
}

void TBrowseDirectoryDlg::DoInitialized(FolderBrowserDialog &dialog) {
  if (center_)
    CentreWindowOnScreen(&dialog);
  dialog.setOkEnabled(enableOKButton_);
  if (!statusText_.isEmpty())
    showStatus();
  if (!selection_.isEmpty())
    selectInTree();
  if (!caption_.isEmpty())
    dialog.setWindowTitle(caption_);
  if (OnCreate)
    OnCreate();
}

void TBrowseDirectoryDlg::DoSelChanged(const QString &path) {
  if (!showSelectionInStatus_ && !OnSelChanged)
    return;
  if (showSelectionInStatus_)
    SetStatusText(path);
  if (OnSelChanged)
    OnSelChanged(path);
}

bool TBrowseDirectoryDlg::Execute() {
  QWidget *owner = parentControl_ ? parentControl_->window() : nullptr;
  FolderBrowserDialog dialog(rootPath(root_), options_ & bfIncludeFiles, !statusText_.isEmpty(),
                             owner);
  dialog.setTitle(title_);
  dialog_ = &dialog;
  // Selecting the starting folder is already a change of selection.
  connect(&dialog, &FolderBrowserDialog::selectionChanged, this,
          [this](const QString &path) { DoSelChanged(path); });
  DoInitialized(dialog);
  const QPointer<TBrowseDirectoryDlg> self(this);
  const bool chosen =
      DialogRunner::exec(dialog, this) == QDialog::Accepted && !dialog.currentPath().isEmpty();
  if (!self)
    return false;
  const QString chosenPath = chosen ? dialog.currentPath() : QString();
  dialog_ = nullptr;
  selection_ = chosenPath;
  return chosen;
}

// ---- the folder edit's dialog

TBrowseFolderDlg::TBrowseFolderDlg(QObject *owner) : QObject(owner) {}

void TBrowseFolderDlg::selChanged(FolderBrowserDialog &dialog, const QString &path) {
  selectedName_ = path;
  if (browseKind_ == bfFolders)
    dialog.setOkEnabled(!path.isEmpty() && FolderExists(path));
  if (OnSelChanged)
    OnSelChanged();
}

bool TBrowseFolderDlg::Execute() {
  FolderBrowserDialog dialog(QStringLiteral("/"), false, false, QApplication::activeWindow());
  dialog.setTitle(dialogText_);
  if (position_ == dpScreenCenter)
    CentreWindowOnScreen(&dialog);
  connect(&dialog, &FolderBrowserDialog::selectionChanged, this,
          [this, &dialog](const QString &path) { selChanged(dialog, path); });
  selectedName_.clear();
  dialog.setOkEnabled(false);
  if (browseKind_ == bfComputers || FolderExists(folderName_))
    dialog.selectPath(folderName_);
  if (helpContext_ != 0) {
    dialog.showHelpButton();
    connect(&dialog, &FolderBrowserDialog::helpRequested, this,
            [this] { showKitHelp(helpContext_); });
  }
  if (OnInitialized)
    OnInitialized();
  const QPointer<TBrowseFolderDlg> self(this);
  const bool chosen =
      DialogRunner::exec(dialog, this) == QDialog::Accepted && !dialog.currentPath().isEmpty();
  if (!self)
    return false;
  if (chosen) {
    QString path = dialog.currentPath();
    if (path.size() > 1 && path.endsWith(u'/'))
      path.chop(1);
    folderName_ = path;
  }
  return chosen;
}

bool BrowseFolder(QString &folderName, const QString &dialogText, int helpContext) {
  TBrowseFolderDlg dialog;
  dialog.SetDialogText(dialogText);
  dialog.SetFolderName(folderName);
  dialog.SetHelpContext(helpContext);
  if (!dialog.Execute())
    return false;
  folderName = dialog.FolderName();
  return true;
}

namespace {

HelpHook &helpHook() {
  static HelpHook hook;
  return hook;
}

} // namespace

void setKitHelpHook(HelpHook hook) { helpHook() = std::move(hook); }

void showKitHelp(int helpContext) {
  if (helpHook())
    helpHook()(helpContext);
}

} // namespace marrowen

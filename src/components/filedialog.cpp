#include "components/filedialog.h"

#include "classlib/paths.h"
#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "qtext/qtext.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStringListModel>
#include <QStyle>
#include <QToolButton>

#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace marrowen {

namespace {

constexpr int nameRole = Qt::UserRole;
constexpr int folderRole = Qt::UserRole + 1;

bool isFolder(const std::string &name) {
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string &name) {
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0;
}

// Without "." and ".." steps and without a trailing "/", but "/" itself.
std::string normalised(const std::string &path) {
  std::string result = std::filesystem::path(path).lexically_normal().string();
  while (result.size() > 1 && result.ends_with('/'))
    result.pop_back();
  return result.empty() ? std::string(".") : result;
}

std::string currentFolder() {
  std::string folder(4096, '\0');
  while (!::getcwd(folder.data(), folder.size())) {
    if (errno != ERANGE)
      return "/";
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::char_traits<char>::length(folder.c_str()));
  return folder;
}

std::string entryName(const QListWidgetItem &item) {
  const QByteArray bytes = item.data(nameRole).toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool hasWildcard(const QString &name) {
  const QString last = name.mid(name.lastIndexOf(u'/') + 1);
  return last.contains(u'*') || last.contains(u'?');
}

} // namespace

std::vector<FileFilter> parseFileFilter(const QString &filter) {
  const QStringList pieces = filter.split(u'|');
  std::vector<FileFilter> filters;
  for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
    FileFilter choice{pieces[i], pieces[i + 1].split(u';', Qt::SkipEmptyParts)};
    for (QString &pattern : choice.patterns)
      pattern = pattern.trimmed();
    filters.push_back(std::move(choice));
  }
  return filters;
}

bool matchesFilePatterns(const std::string &name, const QStringList &patterns) {
  for (const QString &pattern : patterns) {
    // "*.*" was every file where it was first written, a name without a
    // dot too.
    if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*"))
      return true;
    if (::fnmatch(fileNameFromQString(pattern).c_str(), name.c_str(), FNM_CASEFOLD) == 0)
      return true;
  }
  return patterns.isEmpty();
}

FileDialog::FileDialog(QWidget *parent, const QString &title, const QString &filter)
    : QDialog(parent), folder_(currentFolder()) {
  setObjectName(QStringLiteral("FileDialog"));
  setWindowTitle(title);
  auto *layout = new QGridLayout(this);

  auto *lookIn = new QLabel(tr("Look &in:"), this);
  folderField_ = new QComboBox(this);
  folderField_->setObjectName(QStringLiteral("lookInCombo"));
  folderField_->setEditable(true);
  folderField_->setInsertPolicy(QComboBox::NoInsert);
  folderField_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  lookIn->setBuddy(folderField_);
  upButton_ = new QToolButton(this);
  upButton_->setObjectName(QStringLiteral("upButton"));
  upButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  upButton_->setToolTip(tr("Up One Level"));
  layout->addWidget(lookIn, 0, 0);
  layout->addWidget(folderField_, 0, 1);
  layout->addWidget(upButton_, 0, 2);

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("fileList"));
  list_->setUniformItemSizes(true);
  layout->addWidget(list_, 1, 0, 1, 3);

  nameLabel_ = new QLabel(this);
  nameField_ = new QLineEdit(this);
  nameField_->setObjectName(QStringLiteral("fileNameEdit"));
  nameLabel_->setBuddy(nameField_);
  acceptButton_ = new QPushButton(this);
  acceptButton_->setObjectName(QStringLiteral("acceptButton"));
  acceptButton_->setDefault(true);
  layout->addWidget(nameLabel_, 2, 0);
  layout->addWidget(nameField_, 2, 1);
  layout->addWidget(acceptButton_, 2, 2);

  typeLabel_ = new QLabel(tr("Files of &type:"), this);
  typeField_ = new QComboBox(this);
  typeField_->setObjectName(QStringLiteral("fileTypeCombo"));
  typeLabel_->setBuddy(typeField_);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  cancelButton_->setAutoDefault(false);
  layout->addWidget(typeLabel_, 3, 0);
  layout->addWidget(typeField_, 3, 1);
  layout->addWidget(cancelButton_, 3, 2);

  readOnlyBox_ = new QCheckBox(tr("Open as &read-only"), this);
  readOnlyBox_->setObjectName(QStringLiteral("readOnlyBox"));
  readOnlyBox_->hide();
  layout->addWidget(readOnlyBox_, 4, 1);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(1, 1);

  // The completions are those of the folder being typed; they are brought
  // up to date before the completer reads the text.
  completions_ = new QStringListModel(this);
  connect(nameField_, &QLineEdit::textEdited, this, &FileDialog::nameEdited);
  completer_ = new QCompleter(completions_, this);
  nameField_->setCompleter(completer_);
  // Watched after the completer, so seen first: Return there takes the name
  // at once, as it does without the completions showing.
  completer_->popup()->installEventFilter(this);

  connect(upButton_, &QToolButton::clicked, this, &FileDialog::goUp);
  connect(list_, &QListWidget::itemDoubleClicked, this, &FileDialog::itemActivated);
  connect(list_, &QListWidget::itemSelectionChanged, this, &FileDialog::listSelectionChanged);
  connect(typeField_, &QComboBox::currentIndexChanged, this, [this] {
    typedPatterns_.clear();
    reread();
  });
  connect(folderField_, &QComboBox::activated, this, &FileDialog::folderFieldEntered);
  connect(acceptButton_, &QPushButton::clicked, this, &FileDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &FileDialog::reject);
  list_->installEventFilter(this);
  // The combo box passes its keys on to its text without the text's filters.
  folderField_->installEventFilter(this);
  folderField_->lineEdit()->installEventFilter(this);

  folderField_->setEditText(fileNameToQString(folder_));
  setAcceptMode(AcceptOpen);
  setFilter(filter);
  nameField_->setFocus();
  resize(560, 380);
}

FileDialog::~FileDialog() = default;

void FileDialog::setAcceptMode(AcceptMode mode) {
  acceptMode_ = mode;
  setFileMode(fileMode_);
}

void FileDialog::setFileMode(FileMode mode) {
  fileMode_ = mode;
  const bool folders = mode == Directory;
  acceptButton_->setText(folders                     ? tr("OK")
                         : acceptMode_ == AcceptSave ? tr("&Save")
                                                     : tr("&Open"));
  nameLabel_->setText(folders ? tr("Folder &name:") : tr("File &name:"));
  typeLabel_->setVisible(!folders && !filters_.empty());
  typeField_->setVisible(!folders && !filters_.empty());
  list_->setSelectionMode(mode == ExistingFiles ? QAbstractItemView::ExtendedSelection
                                                : QAbstractItemView::SingleSelection);
  reread();
}

void FileDialog::setFilter(const QString &filter) {
  filters_ = parseFileFilter(filter);
  {
    const QSignalBlocker quiet(typeField_);
    typeField_->clear();
    for (const FileFilter &choice : filters_)
      typeField_->addItem(choice.description);
  }
  typedPatterns_.clear();
  setFileMode(fileMode_);
}

QStringList FileDialog::nameFilters() const {
  QStringList descriptions;
  for (const FileFilter &choice : filters_)
    descriptions << choice.description;
  return descriptions;
}

QString FileDialog::selectedNameFilter() const { return typeField_->currentText(); }

void FileDialog::selectNameFilter(const QString &description) {
  const int index = typeField_->findText(description);
  if (index >= 0)
    typeField_->setCurrentIndex(index);
}

int FileDialog::filterIndex() const { return typeField_->currentIndex() + 1; }

void FileDialog::setFilterIndex(int index) {
  if (index >= 1 && index <= typeField_->count())
    typeField_->setCurrentIndex(index - 1);
}

void FileDialog::setDefaultSuffix(const QString &suffix) {
  defaultSuffix_ = suffix.startsWith(u'.') ? suffix.mid(1) : suffix;
}

void FileDialog::setReadOnlyBoxShown(bool shown) { readOnlyBox_->setVisible(shown); }
void FileDialog::setReadOnlyChosen(bool chosen) { readOnlyBox_->setChecked(chosen); }
bool FileDialog::readOnlyChosen() const { return readOnlyBox_->isChecked(); }

void FileDialog::setFolderCreation(bool allow, bool prompt, bool create) {
  allowCreate_ = allow;
  promptCreate_ = prompt;
  performCreate_ = create;
}

void FileDialog::setHistory(const QStringList &folders) {
  const QString shown = folderField_->currentText();
  folderField_->clear();
  folderField_->addItems(folders);
  folderField_->setEditText(shown);
}

QString FileDialog::directory() const { return fileNameToQString(folder_); }

void FileDialog::setDirectory(const QString &folder) {
  const std::string path = resolve(folder);
  if (isFolder(path))
    goTo(path);
}

void FileDialog::selectFile(const QString &name) {
  const qsizetype slash = name.lastIndexOf(u'/');
  if (slash >= 0) {
    const std::string folder = resolve(name.left(slash + 1));
    if (isFolder(folder)) {
      goTo(folder);
      nameField_->setText(name.mid(slash + 1));
      return;
    }
  }
  nameField_->setText(name);
}

QStringList FileDialog::selectedFiles() const {
  QStringList files;
  if (taken_) {
    for (const std::string &name : chosen_)
      files << fileNameToQString(name);
    return files;
  }
  for (const std::string &name : typedNames())
    files << fileNameToQString(fileMode_ == Directory ? name : withSuffix(name));
  if (files.isEmpty() && fileMode_ == Directory)
    files << fileNameToQString(folder_);
  return files;
}

QStringList FileDialog::listedNames() {
  if (!listed_)
    fillList();
  QStringList names;
  for (int row = 0; row < list_->count(); ++row)
    names << list_->item(row)->text();
  return names;
}

void FileDialog::goTo(const std::string &folder) {
  folder_ = normalised(folder);
  // A folder's name picked in the list named it in the folder left.
  if (fileMode_ == Directory)
    nameField_->clear();
  folderField_->setEditText(fileNameToQString(folder_));
  reread();
}

// The folder left is the current entry, so Enter goes back into it.
void FileDialog::goUp() {
  if (folder_ == "/")
    return;
  const std::size_t slash = folder_.rfind('/');
  const std::string left = folder_.substr(slash + 1);
  goTo(folder_.substr(0, std::max<std::size_t>(slash, 1)));
  for (int row = 0; row < list_->count(); ++row)
    if (entryName(*list_->item(row)) == left)
      list_->setCurrentRow(row);
}

void FileDialog::reread() {
  listed_ = false;
  completedFolder_.clear();
  if (isVisible())
    fillList();
}

void FileDialog::showEvent(QShowEvent *event) {
  if (!listed_)
    fillList();
  QDialog::showEvent(event);
}

void FileDialog::fillList() {
  listed_ = true;
  QStringList patterns = typedPatterns_;
  if (patterns.isEmpty() && typeField_->currentIndex() >= 0)
    patterns = filters_.at(std::size_t(typeField_->currentIndex())).patterns;
  const QSignalBlocker quiet(list_);
  list_->clear();
  for (const FolderEntry &entry : readFolderEntries(folder_, fileMode_ != Directory)) {
    if (!entry.folder && !matchesFilePatterns(entry.name, patterns))
      continue;
    auto *item =
        new QListWidgetItem(folderEntryIcon(entry.folder), fileNameToQString(entry.name), list_);
    item->setData(nameRole, QByteArray(entry.name.data(), qsizetype(entry.name.size())));
    item->setData(folderRole, entry.folder);
  }
  if (list_->count() > 0)
    list_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

// A file picked in the list is the name; several are given quoted.
void FileDialog::listSelectionChanged() {
  QStringList names;
  for (QListWidgetItem *item : list_->selectedItems())
    if (item->data(folderRole).toBool() == (fileMode_ == Directory))
      names << item->text();
  if (names.size() == 1)
    nameField_->setText(names.front());
  else if (names.size() > 1)
    nameField_->setText(u'"' + names.join(QStringLiteral("\" \"")) + u'"');
}

void FileDialog::itemActivated(QListWidgetItem *item) {
  if (!item)
    return;
  if (item->data(folderRole).toBool()) {
    goTo(joinPath(folder_, entryName(*item)));
    return;
  }
  if (!item->isSelected())
    list_->setCurrentItem(item);
  accept();
}

void FileDialog::folderFieldEntered() {
  const std::string folder = resolve(folderField_->currentText());
  if (isFolder(folder)) {
    goTo(folder);
  } else {
    QApplication::beep();
    folderField_->setEditText(fileNameToQString(folder_));
  }
}

void FileDialog::nameEdited(const QString &text) {
  const QString typedFolder = text.left(text.lastIndexOf(u'/') + 1);
  const std::string folder = typedFolder.isEmpty() ? folder_ : resolve(typedFolder);
  const std::string key = folder + '\n' + fileNameFromQString(typedFolder);
  if (key == completedFolder_)
    return;
  completedFolder_ = key;
  QStringList names;
  for (const FolderEntry &entry : readFolderEntries(folder, fileMode_ != Directory))
    names << typedFolder + fileNameToQString(entry.name);
  completions_->setStringList(names);
}

std::string FileDialog::resolve(const QString &typed) const {
  QString text = typed;
  if (text == u'~' || text.startsWith(QLatin1String("~/")))
    if (const char *home = std::getenv("HOME"); home && *home)
      text = fileNameToQString(home) + text.mid(1);
  const std::string bytes = fileNameFromQString(text);
  return normalised(bytes.starts_with('/') ? bytes : joinPath(folder_, bytes));
}

std::vector<std::string> FileDialog::typedNames() const {
  const QString text = nameField_->text();
  if (text.trimmed().isEmpty())
    return {};
  std::vector<std::string> names;
  if (fileMode_ == ExistingFiles && text.trimmed().startsWith(u'"')) {
    const QStringList pieces = text.split(u'"');
    for (qsizetype i = 1; i < pieces.size(); i += 2)
      if (!pieces[i].isEmpty())
        names.push_back(resolve(pieces[i]));
    return names;
  }
  names.push_back(resolve(text));
  return names;
}

std::string FileDialog::withSuffix(const std::string &name) const {
  if (defaultSuffix_.isEmpty() || extractFileName(name).find('.') != std::string::npos)
    return name;
  if (acceptMode_ == AcceptOpen && exists(name))
    return name;
  return name + '.' + fileNameFromQString(defaultSuffix_);
}

void FileDialog::refuse(const std::string &name, const char *why) {
  showMessageBox(this, QMessageBox::Warning, windowTitle(),
                 fileNameToQString(name) + u'\n' + tr(why));
}

bool FileDialog::acceptFolder(const std::string &folder) {
  if (!isFolder(folder)) {
    if (!allowCreate_) {
      refuse(folder, "Path does not exist.\nCheck the path and try again.");
      return false;
    }
    if (promptCreate_ && showMessageBox(this, QMessageBox::Question, windowTitle(),
                                        tr("The specified directory does not exist. Create it?"),
                                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
      return false;
    if (performCreate_ && createFolders(folder) != 0) {
      showMessageBox(this, QMessageBox::Critical, windowTitle(), tr("Unable to create directory"));
      return false;
    }
  }
  chosen_ = {folder};
  taken_ = true;
  QDialog::accept();
  return true;
}

bool FileDialog::takeFile(const std::string &name) {
  const bool mustExist = fileMode_ == ExistingFile || fileMode_ == ExistingFiles;
  if ((pathMustExist_ || mustExist) && !isFolder(extractFilePath(name))) {
    refuse(name, "Path does not exist.\nCheck the path and try again.");
    return false;
  }
  if (mustExist && !exists(name)) {
    refuse(name, "File not found.\nCheck the file name and try again.");
    return false;
  }
  if (acceptMode_ == AcceptSave && confirmOverwrite_ && exists(name)) {
    const QPointer<FileDialog> self(this);
    const bool replace =
        showMessageBox(this, QMessageBox::Warning, windowTitle(),
                       fileNameToQString(name) + tr(" already exists.\nDo you want to replace it?"),
                       QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    return self && replace;
  }
  return true;
}

void FileDialog::accept() {
  taken_ = false;
  chosen_.clear();
  const std::vector<std::string> names = typedNames();
  if (names.empty()) {
    // OK on a folder of the list opens it; with folders only, takes it.
    QListWidgetItem *item = list_->currentItem();
    const bool onFolder = item && item->isSelected() && item->data(folderRole).toBool();
    if (fileMode_ == Directory)
      acceptFolder(onFolder ? joinPath(folder_, entryName(*item)) : folder_);
    else if (onFolder)
      goTo(joinPath(folder_, entryName(*item)));
    return;
  }
  if (names.size() == 1) {
    const std::string &name = names.front();
    if (fileMode_ == Directory) {
      acceptFolder(name);
      return;
    }
    if (isFolder(name)) {
      nameField_->clear();
      goTo(name);
      return;
    }
    // A pattern typed lists the files it matches.
    if (!exists(name) && hasWildcard(nameField_->text())) {
      const std::string folder = extractFilePath(name);
      typedPatterns_ = {fileNameToQString(extractFileName(name))};
      nameField_->clear();
      if (isFolder(folder))
        goTo(folder);
      else
        reread();
      return;
    }
  }
  std::vector<std::string> files;
  const QPointer<FileDialog> self(this);
  for (const std::string &name : names) {
    const std::string file = withSuffix(name);
    if (!takeFile(file) || !self)
      return;
    files.push_back(file);
  }
  chosen_ = std::move(files);
  taken_ = true;
  QDialog::accept();
}

// Enter in the list opens a folder or takes a file; Backspace goes up. In
// the folder field Enter goes to the folder typed; neither reaches the
// dialog's default button. Enter among the completions takes the one
// picked, or the text typed.
bool FileDialog::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress)
    return QDialog::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent *>(event)->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  if (watched == list_ && enter) {
    itemActivated(list_->currentItem());
    return true;
  }
  if (watched == list_ && key == Qt::Key_Backspace) {
    goUp();
    return true;
  }
  if (watched == completer_->popup() && enter) {
    const QModelIndex chosen = completer_->popup()->currentIndex();
    if (chosen.isValid())
      nameField_->setText(chosen.data().toString());
    completer_->popup()->hide();
    accept();
    return true;
  }
  if ((watched == folderField_ || watched == folderField_->lineEdit()) && enter) {
    folderFieldEntered();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

} // namespace marrowen

#include "components/fileedits.h"

#include "classlib/format.h"
#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "components/fileutil.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <sys/stat.h>

namespace marrowen {

namespace {

// Up to and including the last "/"; empty when there is none.
QString folderPartOf(const QString &name) { return name.left(name.lastIndexOf(u'/') + 1); }

QStringList droppedNames(const QMimeData &data) {
  QStringList names;
  for (const QUrl &url : data.urls())
    if (url.isLocalFile())
      names.append(localFileNameOf(url));
  return names;
}

// Shared by every edit: made on first use from the program's resources.
const QImage &defaultFolderGlyph() {
  static const QImage glyph(QStringLiteral(":/kit/FEDITBMP.xpm"));
  return glyph;
}

} // namespace

// ---- common part

TFileDirEdit::TFileDirEdit(QWidget *parent) : TCustomComboEdit(parent) {
  setAcceptDrops(false);
  SetGlyphKind(gkDefault);
}

QImage TFileDirEdit::GetDefaultBitmap(bool &destroyNeeded) {
  destroyNeeded = false;
  return defaultFolderGlyph();
}

void TFileDirEdit::SetAcceptFiles(bool accept) {
  if (accept == acceptFiles_)
    return;
  acceptFiles_ = accept;
  setAcceptDrops(accept);
}

void TFileDirEdit::DoBeforeDialog(QString &name, bool &action) {
  if (OnBeforeDialog)
    OnBeforeDialog(name, action);
}

void TFileDirEdit::DoAfterDialog(QString &name, bool &action) {
  if (OnAfterDialog)
    OnAfterDialog(name, action);
}

void TFileDirEdit::receiveDroppedNames(const QStringList &names) {
  if (names.isEmpty())
    return;
  ClearSelectedFiles();
  for (const QString &name : names) {
    ReceiveName(name);
    if (!multiple_)
      break;
  }
  if (OnDropFiles)
    OnDropFiles();
}

void TFileDirEdit::dragEnterEvent(QDragEnterEvent *event) {
  if (acceptFiles_ && !droppedNames(*event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void TFileDirEdit::dragMoveEvent(QDragMoveEvent *event) {
  if (acceptFiles_ && !droppedNames(*event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

// A name the edit refuses is reported once the drop is over; the exception
// must not cross the event loop.
void TFileDirEdit::dropEvent(QDropEvent *event) {
  if (!acceptFiles_) {
    event->ignore();
    return;
  }
  const QStringList names = droppedNames(*event->mimeData());
  event->acceptProposedAction();
  try {
    receiveDroppedNames(names);
  } catch (const Exception &error) {
    showMessageBox(this, QMessageBox::Critical, QApplication::applicationName(),
                   toQString(error.message()));
  }
}

// ---- file edit

TFilenameEdit::TFilenameEdit(QWidget *parent) : TFileDirEdit(parent) {}

TFilenameEdit::~TFilenameEdit() = default;

QString TFilenameEdit::FileName() const { return FileNameOfText(text()); }

void TFilenameEdit::SetFileName(const QString &name) {
  if (!name.isEmpty() && !IsValidFileName(FileNameOfText(name)))
    throw EComboEditError(Format("Invalid file name - %s", {fileNameFromQString(name)}));
  setText(QuotedFileName(name));
  ClearSelectedFiles();
}

void TFilenameEdit::SetDialogOptions(TOpenOptions options) {
  if (options == options_)
    return;
  options_ = options;
  multiple_ = (options & ofAllowMultiSelect) != 0;
  if (!multiple_)
    ClearSelectedFiles();
}

QString TFilenameEdit::GetLongForm() const { return LongFileNameOf(FileName()); }
QString TFilenameEdit::GetShortForm() const { return ShortFileNameOf(FileName()); }

void TFilenameEdit::ReceiveName(const QString &name) {
  if (!multiple_) {
    SetFileName(name);
    return;
  }
  if (files_.isEmpty())
    SetFileName(name);
  files_.append(name);
}

FileDialog &TFilenameEdit::dialog() {
  if (!dialog_)
    dialog_ = std::make_unique<FileDialog>(this);
  return *dialog_;
}

void TFilenameEdit::prepareDialog(const QString &name) {
  FileDialog &d = dialog();
  const bool save = dialogKind_ == dkSave || dialogKind_ == dkSavePicture;
  d.setAcceptMode(save ? FileDialog::AcceptSave : FileDialog::AcceptOpen);
  if (save)
    d.setFileMode(FileDialog::AnyFile);
  else if (options_ & ofAllowMultiSelect)
    d.setFileMode(FileDialog::ExistingFiles);
  else if (options_ & ofFileMustExist)
    d.setFileMode(FileDialog::ExistingFile);
  else
    d.setFileMode(FileDialog::AnyFile);
  d.setConfirmOverwrite((options_ & ofOverwritePrompt) != 0);
  d.setPathMustExist((options_ & ofPathMustExist) != 0);
  d.setReadOnlyBoxShown(!(options_ & ofHideReadOnly));
  d.setReadOnlyChosen((options_ & ofReadOnly) != 0);
  d.setWindowTitle(dialogTitle_);
  d.setDefaultSuffix(defaultExt_);
  d.setHistory(history_);
  d.setFilter(filter_);
  d.setFilterIndex(filterIndex_);
  if (!initialDir_.isEmpty())
    d.setDirectory(initialDir_);
  dialogFileName_ = name;
  d.selectFile(name);
}

void TFilenameEdit::ButtonClick() {
  TFileDirEdit::ButtonClick();
  QString name = FileNameOfText(text());
  bool action = true;
  DoBeforeDialog(name, action);
  if (!action)
    return;
  // A text that names no file leaves the dialog at its last file, and Name
  // as it was: a cancelled dialog must not hand that file on.
  QString seed = dialogFileName_;
  if (IsValidFileName(name)) {
    const QString folder = folderPartOf(name);
    if (FolderExists(folder))
      initialDir_ = folder;
    const QString bare = name.mid(folder.size());
    if (bare.isEmpty() || !IsValidFileName(bare))
      name.clear();
    seed = name;
  }
  prepareDialog(seed);
  const QPointer<TFilenameEdit> self(this);
  const bool confirmed = DialogRunner::exec(dialog()) == QDialog::Accepted;
  if (!self)
    return;
  if (confirmed) {
    const QStringList chosen = dialog().selectedFiles();
    dialogFileName_ = chosen.value(0);
    // The next press starts with the filter the user last chose.
    filterIndex_ = dialog().filterIndex();
    if (!(options_ & ofHideReadOnly))
      options_ = dialog().readOnlyChosen() ? options_ | ofReadOnly : options_ & ~ofReadOnly;
    name = dialogFileName_;
    if (multiple_)
      files_ = chosen;
  }
  if (focusPolicy() != Qt::NoFocus && isEnabled())
    setFocus();
  action = confirmed;
  DoAfterDialog(name, action);
  if (action) {
    setText(QuotedFileName(name));
    const QString folder = folderPartOf(dialogFileName_);
    if (!folder.isEmpty())
      initialDir_ = folder;
  }
}

// ---- folder edit

TDirectoryEdit::TDirectoryEdit(QWidget *parent) : TFileDirEdit(parent) {}

namespace {

QString convertFolders(const QString &text, bool multiple, QString (*convert)(const QString &)) {
  if (!multiple)
    return convert(text);
  QString result;
  for (const QString &piece : text.split(u';')) {
    const QString converted = convert(piece);
    if (converted.isEmpty())
      continue;
    if (!result.isEmpty())
      result += u';';
    result += converted;
  }
  return result;
}

} // namespace

QString TDirectoryEdit::GetLongForm() const {
  return convertFolders(text(), multiple_, LongPathOf);
}
QString TDirectoryEdit::GetShortForm() const {
  return convertFolders(text(), multiple_, ShortPathOf);
}

void TDirectoryEdit::ReceiveName(const QString &name) {
  struct stat info {};
  const bool file = ::stat(fileNameFromQString(name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
  const QString folder = file ? folderPartOf(name) : name;
  if (multiple_ && !text().isEmpty())
    setText(text() + u';' + folder);
  else
    setText(folder);
}

bool TDirectoryEdit::runFolderDialog(QString &name) {
  if (dialogKind_ == dkWin32)
    return BrowseFolder(name, dialogText_, 0);
  // With sdAllowCreate a folder that does not exist yet may be named;
  // sdPrompt asks before taking it, sdPerformCreate makes it.
  FileDialog dialog(this, tr("Select Directory"));
  dialog.setObjectName(QStringLiteral("FolderDialog"));
  dialog.setFileMode(FileDialog::Directory);
  dialog.setFolderCreation(options_ & sdAllowCreate, options_ & sdPrompt,
                           options_ & sdPerformCreate);
  dialog.setDirectory(name);
  if (DialogRunner::exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  name = dialog.selectedFiles().front();
  return true;
}

void TDirectoryEdit::ButtonClick() {
  TFileDirEdit::ButtonClick();
  QString name = text();
  bool action = true;
  DoBeforeDialog(name, action);
  if (!action)
    return;
  if (name.isEmpty())
    name = initialDir_.isEmpty() ? QStringLiteral("/") : initialDir_;
  if (!FolderExists(name))
    name = QStringLiteral("/");
  const QPointer<TDirectoryEdit> self(this);
  action = runFolderDialog(name);
  if (!self)
    return;
  if (focusPolicy() != Qt::NoFocus && isEnabled())
    setFocus();
  DoAfterDialog(name, action);
  if (!action)
    return;
  // The new name replaces the selected part of the text, in one change.
  QString kept = text();
  if (hasSelectedText())
    kept.remove(selectionStart(), selectionLength());
  setText(kept.isEmpty() || !multiple_ ? name : kept + u';' + name);
  if (FolderExists(name))
    initialDir_ = name;
}

} // namespace marrowen

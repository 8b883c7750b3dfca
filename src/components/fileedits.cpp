#include "components/fileedits.h"

#include "classlib/format.h"
#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "components/fileutil.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace marrowen {

namespace {

// Up to and including the last "/"; empty when there is none.
QString folderPartOf(const QString &name) { return name.left(name.lastIndexOf(u'/') + 1); }

QStringList droppedNames(const QMimeData &data) {
  QStringList names;
  for (const QUrl &url : data.urls())
    if (url.isLocalFile())
      names.append(url.toLocalFile());
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

namespace {

// The file edit's dialog. With ofPathMustExist a name in a folder that does
// not exist is refused, and the dialog stays open for another.
class FileNameDialog : public QFileDialog {
public:
  explicit FileNameDialog(QWidget *parent) : QFileDialog(parent) {}
  bool pathMustExist = false;

  void accept() override {
    if (pathMustExist)
      for (const QString &name : selectedFiles())
        if (!FolderExists(QFileInfo(name).absolutePath())) {
          showMessageBox(this, QMessageBox::Warning, windowTitle(),
                         name + tr("\nPath does not exist.\nCheck the path and try again."));
          return;
        }
    QFileDialog::accept();
  }
};

} // namespace

QStringList fileDialogNameFilters(const QString &filter) {
  const QStringList pieces = filter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
    QStringList patterns = pieces[i + 1].split(u';', Qt::SkipEmptyParts);
    for (QString &pattern : patterns) {
      pattern = pattern.trimmed();
      if (pattern == QLatin1String("*.*"))
        pattern = QStringLiteral("*");
    }
    filters.append(pieces[i] + QStringLiteral(" (") + patterns.join(u' ') + u')');
  }
  return filters;
}

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

QFileDialog &TFilenameEdit::dialog() {
  if (!dialog_) {
    dialog_ = std::make_unique<FileNameDialog>(this);
    dialog_->setObjectName(QStringLiteral("FileDialog"));
    dialog_->setOption(QFileDialog::DontUseNativeDialog);
    // The description is shown as written; the patterns after it are ours.
    dialog_->setOption(QFileDialog::HideNameFilterDetails);
  }
  return *dialog_;
}

void TFilenameEdit::prepareDialog(const QString &name) {
  QFileDialog &d = dialog();
  const bool save = dialogKind_ == dkSave || dialogKind_ == dkSavePicture;
  d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (save)
    d.setFileMode(QFileDialog::AnyFile);
  else if (options_ & ofAllowMultiSelect)
    d.setFileMode(QFileDialog::ExistingFiles);
  else if (options_ & ofFileMustExist)
    d.setFileMode(QFileDialog::ExistingFile);
  else
    d.setFileMode(QFileDialog::AnyFile);
  d.setOption(QFileDialog::DontConfirmOverwrite, !(options_ & ofOverwritePrompt));
  static_cast<FileNameDialog &>(d).pathMustExist = (options_ & ofPathMustExist) != 0;
  d.setWindowTitle(dialogTitle_);
  d.setDefaultSuffix(defaultExt_);
  d.setHistory(history_);
  const QStringList filters = fileDialogNameFilters(filter_);
  d.setNameFilters(filters);
  if (filterIndex_ >= 1 && filterIndex_ <= filters.size())
    d.selectNameFilter(filters[filterIndex_ - 1]);
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
    // The next press starts with the filter the user last chose. The dialog
    // names it as shown, without the patterns it hides.
    const QStringList filters = dialog().nameFilters();
    const QString shown = dialog().selectedNameFilter();
    for (qsizetype i = 0; i < filters.size(); ++i)
      if (filters[i] == shown || filters[i].startsWith(shown + QStringLiteral(" ("))) {
        filterIndex_ = int(i) + 1;
        break;
      }
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
  const QString folder = QFileInfo(name).isFile() ? folderPartOf(name) : name;
  if (multiple_ && !text().isEmpty())
    setText(text() + u';' + folder);
  else
    setText(folder);
}

namespace {

// The class library's folder dialog: folders only. With sdAllowCreate a
// folder that does not exist yet may be named (and new ones made in the
// dialog); sdPrompt asks before taking such a name, sdPerformCreate makes it.
class SelectDirectoryDialog : public QFileDialog {
public:
  SelectDirectoryDialog(QWidget *parent, TDirectoryEdit::TSelectDirOpts options)
      : QFileDialog(parent), options_(options) {
    setObjectName(QStringLiteral("FolderDialog"));
    setWindowTitle(QFileDialog::tr("Select Directory"));
    setOption(DontUseNativeDialog);
    setFileMode(Directory);
    setOption(ShowDirsOnly);
    setOption(ReadOnly, !(options & TDirectoryEdit::sdAllowCreate));
  }

  void accept() override {
    const QString chosen = selectedFiles().value(0);
    if (!(options_ & TDirectoryEdit::sdAllowCreate) || chosen.isEmpty() || FolderExists(chosen)) {
      QFileDialog::accept();
      return;
    }
    if ((options_ & TDirectoryEdit::sdPrompt) &&
        showMessageBox(this, QMessageBox::Question, windowTitle(),
                       tr("The specified directory does not exist. Create it?"),
                       QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
      return;
    if ((options_ & TDirectoryEdit::sdPerformCreate) && !QDir().mkpath(chosen)) {
      showMessageBox(this, QMessageBox::Critical, windowTitle(), tr("Unable to create directory"));
      return;
    }
    chosen_ = chosen;
    done(Accepted);
  }

  QString chosen() const { return chosen_.isEmpty() ? selectedFiles().value(0) : chosen_; }

private:
  TDirectoryEdit::TSelectDirOpts options_;
  QString chosen_;
};

} // namespace

bool TDirectoryEdit::runFolderDialog(QString &name) {
  if (dialogKind_ == dkWin32)
    return BrowseFolder(name, dialogText_, 0);
  SelectDirectoryDialog dialog(this, options_);
  dialog.setDirectory(name);
  if (DialogRunner::exec(dialog) != QDialog::Accepted || dialog.chosen().isEmpty())
    return false;
  name = dialog.chosen();
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

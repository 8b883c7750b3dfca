#pragma once

#include "components/buttonedit.h"
#include "components/filedialog.h"

#include <QStringList>

#include <memory>

namespace marrowen {

// The file and folder edits' common part: the folder glyph on the button,
// names dropped from a file manager, and the handshakes around the dialog.
class TFileDirEdit : public TCustomComboEdit {
  Q_OBJECT
public:
  // Name and Action may both be changed; Action false before the dialog
  // stops the press, and after it decides whether Name is taken.
  using TExecOpenDialogEvent = std::function<void(QString &name, bool &action)>;

  bool AcceptFiles() const { return acceptFiles_; }
  void SetAcceptFiles(bool accept);

  // The text with each name as the file system spells it.
  virtual QString GetLongForm() const = 0;
  virtual QString GetShortForm() const = 0;
  // Takes one name as a drop does.
  virtual void ReceiveName(const QString &name) = 0;
  virtual void ClearSelectedFiles() {}

  // What a drop of `names` does: without the multiple flag only the first is
  // taken. Raises what ReceiveName raises.
  void receiveDroppedNames(const QStringList &names);

  TExecOpenDialogEvent OnBeforeDialog;
  TExecOpenDialogEvent OnAfterDialog;
  std::function<void()> OnDropFiles;

protected:
  explicit TFileDirEdit(QWidget *parent);

  QImage GetDefaultBitmap(bool &destroyNeeded) override;
  virtual void DoBeforeDialog(QString &name, bool &action);
  virtual void DoAfterDialog(QString &name, bool &action);
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dropEvent(QDropEvent *event) override;

  bool multiple_ = false;

private:
  bool acceptFiles_ = false;
};

// A file name box: the button opens an open or save dialog seeded from the
// text, and FileName hands on a clean name, without quotes or arguments.
class TFilenameEdit : public TFileDirEdit {
  Q_OBJECT
  Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)

public:
  enum TFileDialogKind { dkOpen, dkSave, dkOpenPicture, dkSavePicture };
  enum TFileEditStyle { fsEdit, fsComboBox };
  // The options of the class library's file dialogs, as bits.
  enum TOpenOption : unsigned {
    ofReadOnly = 1u << 0,
    ofOverwritePrompt = 1u << 1,
    ofHideReadOnly = 1u << 2,
    ofNoChangeDir = 1u << 3,
    ofShowHelp = 1u << 4,
    ofNoValidate = 1u << 5,
    ofAllowMultiSelect = 1u << 6,
    ofExtensionDifferent = 1u << 7,
    ofPathMustExist = 1u << 8,
    ofFileMustExist = 1u << 9,
    ofCreatePrompt = 1u << 10,
    ofShareAware = 1u << 11,
    ofNoReadOnlyReturn = 1u << 12,
    ofNoTestFileCreate = 1u << 13,
    ofNoNetworkButton = 1u << 14,
    ofNoLongNames = 1u << 15,
    ofOldStyleDialog = 1u << 16,
    ofNoDereferenceLinks = 1u << 17,
    ofEnableIncludeNotify = 1u << 18,
    ofEnableSizing = 1u << 19
  };
  using TOpenOptions = unsigned;

  explicit TFilenameEdit(QWidget *parent = nullptr);
  ~TFilenameEdit() override;

  // The first name of the text: the text itself when it names an existing
  // file, otherwise its first command token.
  QString FileName() const;
  // Raises EComboEditError "Invalid file name - %s" for a name the edits
  // cannot hand on; the text is then left as it was. A name with a blank
  // is shown quoted.
  void SetFileName(const QString &name);

  TFileDialogKind DialogKind() const { return dialogKind_; }
  void SetDialogKind(TFileDialogKind kind) { dialogKind_ = kind; }
  const QString &DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const QString &extension) { defaultExt_ = extension; }
  TFileEditStyle FileEditStyle() const { return fileEditStyle_; }
  void SetFileEditStyle(TFileEditStyle style) { fileEditStyle_ = style; }
  const QString &Filter() const { return filter_; }
  void SetFilter(const QString &filter) { filter_ = filter; }
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int index) { filterIndex_ = index; }
  const QString &InitialDir() const { return initialDir_; }
  void SetInitialDir(const QString &folder) { initialDir_ = folder; }
  const QStringList &HistoryList() const { return history_; }
  void SetHistoryList(const QStringList &history) { history_ = history; }
  TOpenOptions DialogOptions() const { return options_; }
  // ofAllowMultiSelect lets a drop or the dialog give several names.
  void SetDialogOptions(TOpenOptions options);
  const QString &DialogTitle() const { return dialogTitle_; }
  void SetDialogTitle(const QString &title) { dialogTitle_ = title; }
  // The names chosen in the dialog or dropped, when several may be.
  const QStringList &Files() const { return files_; }

  QString GetLongForm() const override;
  QString GetShortForm() const override;
  void ReceiveName(const QString &name) override;
  void ClearSelectedFiles() override { files_.clear(); }
  void ButtonClick() override;

  // The dialog as the next press will show it (made on first use).
  FileDialog &dialog();

private:
  void prepareDialog(const QString &name);

  TFileDialogKind dialogKind_ = dkOpen;
  QString defaultExt_;
  TFileEditStyle fileEditStyle_ = fsEdit;
  QString filter_ = QStringLiteral("All files (*.*)|*.*");
  int filterIndex_ = 1;
  QString initialDir_;
  QStringList history_;
  TOpenOptions options_ = ofHideReadOnly;
  QString dialogTitle_ = QStringLiteral("Browse");
  QString dialogFileName_;
  QStringList files_;
  // Freed with the edit before its children are: a press may still be
  // running it.
  std::unique_ptr<FileDialog> dialog_;
};

// A folder name box, or several separated by ";" with MultipleDirs.
class TDirectoryEdit : public TFileDirEdit {
  Q_OBJECT
public:
  enum TDirDialogKind { dkVCL, dkWin32 };
  enum TSelectDirOpt : unsigned { sdAllowCreate = 1, sdPerformCreate = 2, sdPrompt = 4 };
  using TSelectDirOpts = unsigned;

  explicit TDirectoryEdit(QWidget *parent = nullptr);

  TDirDialogKind DialogKind() const { return dialogKind_; }
  void SetDialogKind(TDirDialogKind kind) { dialogKind_ = kind; }
  const QString &DialogText() const { return dialogText_; }
  void SetDialogText(const QString &text) { dialogText_ = text; }
  TSelectDirOpts DialogOptions() const { return options_; }
  void SetDialogOptions(TSelectDirOpts options) { options_ = options; }
  const QString &InitialDir() const { return initialDir_; }
  void SetInitialDir(const QString &folder) { initialDir_ = folder; }
  bool MultipleDirs() const { return multiple_; }
  void SetMultipleDirs(bool multiple) { multiple_ = multiple; }

  QString GetLongForm() const override;
  QString GetShortForm() const override;
  void ReceiveName(const QString &name) override;
  void ButtonClick() override;

private:
  bool runFolderDialog(QString &name);

  TDirDialogKind dialogKind_ = dkVCL;
  QString dialogText_;
  TSelectDirOpts options_ = 0;
  QString initialDir_;
};

} // namespace marrowen

#pragma once

#include "app/nodedialogs/dialogbase.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace marrowen {

class TDirectoryEdit;
class TFilenameEdit;

// The input node's dialog: files or the clipboard, and how binary, read-only
// and processed files are treated. The file options are dimmed while the
// input is the clipboard, and the window learns the choice.
class TinputForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TinputForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  // Dimming handlers, run after filling too.
  void inputChoiceClick();
  void binaryChoiceClick();
  // The user checked or unchecked "Delete input files after processing".
  void deleteInputFilesClick(bool checked);

  QRadioButton *fileInputRadio;
  QRadioButton *clipInputRadio;
  TRadioGroup *skipBinary;
  QWidget *binarySamplePanel;
  QLabel *binarySampleLabel;
  QSpinBox *binarySampleSize;
  QCheckBox *promptEachfile;
  QCheckBox *confirmReadOnly;
  QCheckBox *deleteInputFiles;
};

// The output node's dialog: the clipboard, the files themselves or one
// merged file, and how output files are named.
class ToutputForm : public TdefaultForm1 {
  Q_OBJECT
public:
  ToutputForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  // 0 clipboard, 1 files, 2 one merged file; a stored kind no radio button
  // shows is handed back while none is chosen.
  int getChecked() const;
  // Dimming handlers, run after filling too.
  void outputChoiceClick();
  void changeExtensionClick();
  void changeBaseDirClick();

  QRadioButton *outputToClipRadio;
  QRadioButton *outputToFileRadio;
  QRadioButton *outputSingleFile;
  QCheckBox *testMode;
  QCheckBox *retainDateTime;
  QCheckBox *changeExtension;
  QLineEdit *newExtension;
  QCheckBox *changeBaseDir;
  TDirectoryEdit *newBaseDir;
  QCheckBox *maintainStructure;
  TFilenameEdit *singleFilename;
  QCheckBox *append;

private:
  int storedKind_ = 0;
};

// Registers the input and output nodes' dialogs.
void registerInputOutputDialogs();

} // namespace marrowen

#pragma once

#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/dialogcontrols.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace marrowen {

class TFilenameEdit;
class TMergeObject;
class TSplitObject;

// The file-reference node's dialog: the file to merge into, the file of
// lines to keep or remove, or the filter file to link; the kind sets the
// texts and the browse dialog.
class TmergeForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TmergeForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  TFilenameEdit &mergeFilename() const { return *mergeFilename_; }
  void openButtonClick();

private:
  QLabel *label_;
  TFilenameEdit *mergeFilename_;
  BoundText fileName_;
  FieldBindings<TMergeObject> fields_;
};

// The split node's dialog: split at a size, or at a character.
class TsplitForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TsplitForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  void splitSizeRadioClick();
  void commonSplitSizesChange(int index);

private:
  void dimGroups();

  QRadioButton *splitSizeRadio_;
  QSpinBox *splitSize_;
  QComboBox *commonSplitSizes_;
  QLabel *commonSizesLabel_;
  QRadioButton *splitCharRadio_;
  QComboBox *splitChar_;
  QSpinBox *splitCharCount_;
  QComboBox *splitCharPos_;
  QLabel *countLabel_;
  QLabel *positionLabel_;

  BoundNumber size_, type_, character_, count_, position_;
  FieldBindings<TSplitObject> fields_;
};

// Registers the dialogs under their nodes' class names.
void registerFileDialogs();

} // namespace marrowen

#pragma once

#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/dialogcontrols.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace marrowen {

class TCommentObject;
class TFilenameEdit;

// A comment's free text.
class TcommentForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TcommentForm(QWidget *owner, TNodeEditorSite *window);
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

private:
  BoundText text_;
  FieldBindings<TCommentObject> fields_;
};

// The list's own options: logging to a file.
class TfilterOptions : public TdefaultForm1 {
  Q_OBJECT
public:
  TfilterOptions(QWidget *owner, TNodeEditorSite *window);
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  TFilenameEdit &logFilename() const { return *logFilename_; }
  void logToFileClick();
  void showLogClick();
  void deleteLogClick();

private:
  QCheckBox *logToFile_;
  TFilenameEdit *logFilename_;
  QLabel *fileLabel_;
  QRadioButton *appendFile_;
  QRadioButton *overwriteFile_;
  QSpinBox *threshold_;
  QLabel *thresholdLabel_;

  BoundFlag enabled_, append_;
  BoundText fileName_;
  BoundNumber lineThreshold_;
};

// Registers the dialogs under their nodes' class names.
void registerCommentDialogs();

} // namespace marrowen

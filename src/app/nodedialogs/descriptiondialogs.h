#pragma once

#include "app/nodedialogs/dialogbase.h"

class QLabel;
class QRadioButton;
class QSpinBox;
class QTextEdit;

namespace marrowen {

class MemoStatusBar;
class TFilenameEdit;

// The built-in filter node's dialog: what the filter does; nothing to edit.
class TdescriptionForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TdescriptionForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;

  QTextEdit *filterDescription;
};

// The number node's dialog: one number, its caption, hint and description
// taken from the node's kind.
class TnumberForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TnumberForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  QLabel *numberLabel;
  QSpinBox *numberField;
  QTextEdit *numberPanelDescription;
};

// The text node's dialog: a typed text (escaped, in a memo with its
// position and size) or a file to read it from.
class TstringForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TstringForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  // Dimming of the text or the file, after a click and after filling.
  void stringUseFileClick();
  void stringFieldChange();

  QLabel *stringLabel;
  QRadioButton *stringUseString;
  QRadioButton *stringUseFile;
  QTextEdit *stringField;
  MemoStatusBar *stringStatus;
  TFilenameEdit *stringFilename;

  // A longer text is shown only in part, read-only, and stays the node's as
  // it is: laying out megabytes in an editing control would hold up the
  // window for minutes.
  static constexpr std::size_t editableTextLimit = 32767;
  bool textCut() const { return textCut_; }

private:
  bool textCut_ = false;
};

// Registers the built-in, number and text nodes' dialogs.
void registerDescriptionDialogs();

} // namespace marrowen

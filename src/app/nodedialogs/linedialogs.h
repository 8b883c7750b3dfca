#pragma once

#include "app/nodedialogs/dialogbase.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace marrowen {

// The line-number node's dialog, with an example of the format at work.
class TlineNumberForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TlineNumberForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  void DontNumberBlankClick();
  // The first number in the format, as the node's filter would write it;
  // message 740 when the format cannot be decoded or used.
  void showExampleLineNumber();

  QSpinBox *firstLineNumber;
  QSpinBox *lineNumberIncrement;
  QComboBox *lineNumberFormat;
  QLabel *exampleLineNumber;
  QCheckBox *DontNumberBlank;
  QCheckBox *skipBlankIncrement;
};

// The head/tail node's dialog: keep or drop a count of lines or characters
// at the start or the end of each file.
class TexcludeLinesForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TexcludeLinesForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  TRadioGroup *includeOrExclude;
  QSpinBox *linesOrBytesCount;
  TRadioGroup *linesOrBytes;
  TRadioGroup *StartOrEndOfFile;
};

// The sort node's dialog.
class TsortForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TsortForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  QComboBox *sortType;
  QCheckBox *sortAllowDuplicates;
  // Under a numeric or length sort, lines that differ in their text are
  // duplicates when their numbers or lengths are equal: one of these says so
  // beside the box while such a sort is chosen.
  QLabel *numericDuplicatesNote;
  QLabel *lengthDuplicatesNote;
  QCheckBox *sortReverseOrder;

private:
  void showDuplicatesNote();
};

// The character maths node's dialog, with the operand in hex and binary.
class TmathForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TmathForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  // "Not" takes no operand; shifts and rotates at most 7.
  void mathsOperationChange();
  void mathsOperandChange();

  QComboBox *mathsOperation;
  QSpinBox *mathsOperand;
  QLabel *operandBases;
};

// The column node's dialog: a locate method whose five choices show the
// current numbers, captions and help by the node's kind.
class TdeleteColForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TdeleteColForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  // The labels and least values of the two numbers by method.
  void columnSpecChanged();
  // The five choices' texts with the current numbers.
  void showItemTexts();

  TRadioGroup *locateMethod;
  QLabel *param1Label;
  QSpinBox *param1;
  QLabel *param2Label;
  QSpinBox *param2;

private:
  int kind_ = 0;
};

// The text of locate method `method` for a column node of `kind`, with its
// two numbers.
std::string locateMethodItemText(int kind, int method, int param1, int param2);

// Registers the line-number, head/tail, sort, maths and column nodes' dialogs.
void registerLineDialogs();

} // namespace marrowen

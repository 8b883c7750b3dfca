#pragma once

#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/dialogcontrols.h"

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QSpinBox;

namespace marrowen {

class MemoStatusBar;
class TConcordanceObject;
class TDuplicateObject;
class TExecuteObject;
class TFilenameEdit;
class TInsertColumnObject;

// Removing or counting duplicate lines.
class TduplicatesForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TduplicatesForm(QWidget *owner, TNodeEditorSite *window);
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

private:
  BoundFlag ignoreCase_;
  BoundNumber ignoreLeading_;
  FieldBindings<TDuplicateObject> fields_;
};

// The external program: its command line and the two files it reads and
// writes. Each field's control carries the field's name.
class TexecuteForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TexecuteForm(QWidget *owner, TNodeEditorSite *window);
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

private:
  std::vector<BoundText> files_;
  FieldBindings<TExecuteObject> fields_;
};

// The text to insert and the column it goes at.
class TinsertColForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TinsertColForm(QWidget *owner, TNodeEditorSite *window);
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  QPlainTextEdit &insertStr() const { return *insertStr_; }
  MemoStatusBar &insertStatus() const { return *insertStatus_; }
  void insertStrChange();

private:
  QPlainTextEdit *insertStr_;
  MemoStatusBar *insertStatus_;
  BoundNumber position_;
  BoundText text_;
  FieldBindings<TInsertColumnObject> fields_;
};

// The word concordance: words around each word, the line format and the
// dictionary (its words as comma text).
class TconcordanceForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TconcordanceForm(QWidget *owner, TNodeEditorSite *window);
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

private:
  BoundNumber before_, after_;
  BoundText format_;
  BoundValue<std::vector<std::string>> dictionary_;
  FieldBindings<TConcordanceObject> fields_;
};

// Registers the dialogs under their nodes' class names.
void registerUtilityDialogs();

} // namespace marrowen

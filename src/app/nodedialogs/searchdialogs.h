#pragma once

#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/dialogcontrols.h"

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace marrowen {

class TSearchObject;
class TGrepObject;

// The search-and-replace node's dialog. The node's values without a control
// of their own (buffer size, threshold, greedy, comments, dot matches new
// lines) are kept on the form for the two option boxes.
class TsearchForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TsearchForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  // The pattern type shown, or the node's own while the list cannot show it.
  std::int32_t patternType() const { return patternType_.value(); }

  void searchStringChange();
  void patternTypeClick();
  void patternTypeChange();
  void patternOptionsButtonClick();
  void replyOptionsClick();

  std::int32_t bufferSize = 4096;
  std::int32_t threshold = 2;
  bool greedy = true;
  bool allowComments = false;
  bool dotMatchesNewLines = true;

private:
  QLabel *searchStringLabel_;
  QLabel *searchStringLength_;
  QComboBox *patternTypeBox_;
  QCheckBox *searchIgnoreCase_;
  QCheckBox *wholeWord_;
  QPushButton *patternOptionsButton_;
  QPlainTextEdit *searchString_;
  QLabel *replaceStringLength_;
  QPlainTextEdit *replaceString_;
  QCheckBox *caseSensitiveReplace_;
  QCheckBox *promptOnReplace_;
  QCheckBox *skipPromptIdentical_;
  QCheckBox *firstOnly_;

  BoundText searchText_, replaceText_;
  BoundFlag ignoreCase_, wholeWordFlag_, caseSensitive_, prompt_, skipIdentical_, firstOnlyFlag_;
  BoundNumber patternType_;
  BoundNumber keptBufferSize_, keptThreshold_;
  BoundFlag keptGreedy_, keptComments_, keptDot_;
  FieldBindings<TSearchObject> fields_;
};

// "Pattern matching options": the buffer size, and for Perl patterns the
// match length, comments and what "." matches.
class TpatternOptions : public QDialog {
  Q_OBJECT
public:
  explicit TpatternOptions(QWidget *parent, bool perlPattern);
  QSpinBox *bufferSize;
  QRadioButton *nonGreedy;
  QRadioButton *greedyButton;
  QCheckBox *allowComments;
  QCheckBox *dotMatchesNewLines;
};

// "Edit distance threshold".
class TeditDistanceOptions : public QDialog {
  Q_OBJECT
public:
  explicit TeditDistanceOptions(QWidget *parent);
  QSpinBox *bufferSize;
};

// The line-selection node's dialog, for selecting matching lines, lines
// not matching, or extracting matches; the kind sets the label, the help
// topic and whether context lines apply.
class TgrepForm : public TdefaultForm1 {
  Q_OBJECT
public:
  TgrepForm(QWidget *owner, TNodeEditorSite *window);

  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  void grepPatternChange();
  void grepTypeClick();

private:
  void dimCounts();

  QLabel *grepTypeLabel_;
  QLabel *grepPatternLength_;
  QLineEdit *grepPattern_;
  QCheckBox *grepMatchCase_;
  QCheckBox *grepCountMatches_;
  QCheckBox *grepIncludeFileName_;
  QCheckBox *grepIncludeLineNumbers_;
  QGroupBox *contextBox_;
  QSpinBox *contextBefore_;
  QSpinBox *contextAfter_;

  BoundText pattern_;
  BoundFlag lineNumbers_, fileName_, ignoreCase_, countMatches_;
  BoundNumber before_, after_;
  FieldBindings<TGrepObject> fields_;
};

// Registers the two dialogs under their nodes' class names.
void registerSearchDialogs();

} // namespace marrowen

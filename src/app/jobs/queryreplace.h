#pragma once

#include "engine/job.h"
#include "engine/jobhost.h"

#include <QDialog>

#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTextEdit;

namespace marrowen {

class TFileLabel;
class TFormInfo;

// Puts one match of a prompting search to the user: the found text in its
// context, the replacement (which the user may edit for this match alone),
// the file and the filter's search information. A job keeps one dialog for
// all its questions, so the button answered last keeps the focus. Closing
// the dialog or Esc answers Cancel.
class TTQueryReplace : public QDialog, public QueryReplaceDialog {
  Q_OBJECT
public:
  explicit TTQueryReplace(QWidget *parent = nullptr);
  ~TTQueryReplace() override;

  // Shows the question until it gets an answer whose edited replacement
  // decodes (an edit with a keeping answer is dropped) and hands back the
  // answer, the replacement and the template in `request`.
  Answer confirmReplace(QueryReplaceRequest &request) override;

  QPushButton *answerButton(Answer answer) const;
  QPushButton &changeButton() const { return *changeButton_; }
  QTextEdit &foundText() const { return *foundText_; }
  QTextEdit &replaceText() const { return *replaceText_; }
  QTextEdit &extraInfo() const { return *extraInfo_; }
  TFileLabel &foundFilename() const { return *foundFilename_; }

  void changeButtonClick();
  void replaceTextContextPopup(const QPoint &at);

public slots:
  void reject() override;

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  void placeButtons(bool inSelection);
  void focusLastAnswer(Answer answer);

  QTabWidget *pages_;
  QWidget *filePanel_;
  QSplitter *splitter_;
  TFileLabel *foundFilename_;
  QTextEdit *foundText_;
  QTextEdit *replaceText_;
  QTextEdit *extraInfo_;
  QWidget *buttonPanel_;
  QPushButton *changeButton_;
  QPushButton *cancelButton_;
  std::unique_ptr<TFormInfo> formInfo_;
  // What "&Modify..." works on while the job waits.
  std::string found_;
  std::string template_;
  TFilter *filter_ = nullptr;
};

// Changes the asking filter's replacement template for this and every later
// match: the filter checks and keeps the text typed and builds this match's
// replacement from it; a refused text leaves the dialog open.
class TchangeReplace : public QDialog {
  Q_OBJECT
public:
  TchangeReplace(QWidget *parent, TFilter *filter, std::string found,
                 const std::string &templateText);
  ~TchangeReplace() override;

  QTextEdit &replaceText() const { return *replaceText_; }
  QPushButton &okButton() const { return *okButton_; }
  // After OK: the template typed and the replacement of the found text.
  const std::string &templateText() const { return templateText_; }
  const std::string &replacement() const { return replacement_; }

  void BitBtn1Click();

private:
  QTextEdit *replaceText_;
  QPushButton *okButton_;
  TFilter *filter_;
  std::string found_;
  std::string templateText_;
  std::string replacement_;
  std::unique_ptr<TFormInfo> formInfo_;
};

// Asks the one question of a chain run without a job, in a dialog made for
// it alone, on the user-interface thread.
Answer askQueryReplaceInDialog(QueryReplaceRequest &request);

} // namespace marrowen

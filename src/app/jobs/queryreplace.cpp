#include "app/jobs/queryreplace.h"

#include "app/common/forminfo.h"
#include "app/common/patternmenu.h"
#include "app/common/translateform.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "components/dialogrunner.h"
#include "components/filelabel.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "engine/searchreplace.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <array>
#include <exception>

namespace marrowen {

namespace {

struct AnswerButton {
  const char *name;
  const char *caption;
  const char *hint;
  Answer answer;
  int left;
  int top; // the designed row, the selection buttons shown
};

constexpr std::array<AnswerButton, 9> answerButtons{{
    {"yesButton", "&Replace", "Replace this occurrence", Answer::Replace, 6, 21},
    {"noButton", "&Skip", "Skip replacing this occurence", Answer::Skip, 86, 21},
    {"yesSelectionButton", "Rep (selection)", "Replace all occurences in the selection",
     Answer::ReplaceSelection, 6, 53},
    {"noSelectionButton", "Skip (selection)", "Skip replacing for the remainder of the selection",
     Answer::SkipSelection, 86, 53},
    {"yesFileButton", "Replace (&file)", "Replace in remainder of this file", Answer::ReplaceFile,
     6, 85},
    {"noFileButton", "Ski&p file", "Skip replacing in remainder of this file", Answer::SkipFile, 86,
     85},
    {"yesJobButton", "Repl&ace (job)", "Replace all occurences in every file", Answer::ReplaceJob,
     6, 117},
    {"noJobButton", "Al&ways skip", "Skip replacing for every file", Answer::SkipJob, 86, 117},
    {"cancelButton", "Cancel", "Stop processing", Answer::Cancel, 86, 149},
}};

constexpr int buttonWidth = 75;
constexpr int buttonHeight = 25;
constexpr int rowStep = 32;

bool isReplacing(Answer answer) {
  return answer == Answer::Replace || answer == Answer::ReplaceFile ||
         answer == Answer::ReplaceJob || answer == Answer::ReplaceSelection;
}

bool isAnswer(int result) {
  for (const AnswerButton &button : answerButtons)
    if (static_cast<int>(button.answer) == result)
      return true;
  return false;
}

// The position a text edit gives the end of `text`: a CR LF pair is one
// paragraph break there.
int documentLength(const QString &text) {
  return static_cast<int>(text.size() - text.count(QStringLiteral("\r\n")));
}

// A rich edit's text as typed: a line break is the system's own, LF.
std::string editText(const QTextEdit &edit) { return fromQString(edit.toPlainText()); }

QTextEdit *richEdit(const char *name, const char *hint, QWidget *parent) {
  auto *edit = new QTextEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setAcceptRichText(false);
  if (hint)
    edit->setToolTip(QString::fromLatin1(hint));
  return edit;
}

QLabel *captionLabel(const char *name, const char *caption, QWidget *parent) {
  auto *label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

} // namespace

TTQueryReplace::TTQueryReplace(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TQueryReplace"));
  setWindowTitle(QStringLiteral("Proceed with replace?"));
  setMinimumSize(521, 198);
  resize(521, 233);

  buttonPanel_ = new QWidget(this);
  buttonPanel_->setObjectName(QStringLiteral("buttonPanel"));
  buttonPanel_->setFixedWidth(86 + buttonWidth + 6);
  // The designed rows were laid out for a small dialog font.
  QFont small = buttonPanel_->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  buttonPanel_->setFont(small);
  for (const AnswerButton &spec : answerButtons) {
    auto *button = new QPushButton(QString::fromLatin1(spec.caption), buttonPanel_);
    button->setObjectName(QString::fromLatin1(spec.name));
    button->setToolTip(QString::fromLatin1(spec.hint));
    // Enter gives the answer that has the focus, the last one given at first.
    button->setAutoDefault(true);
    button->setGeometry(spec.left, spec.top, buttonWidth, buttonHeight);
    const int result = static_cast<int>(spec.answer);
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    if (spec.answer == Answer::Cancel)
      cancelButton_ = button;
  }
  changeButton_ = new QPushButton(QStringLiteral("&Modify..."), buttonPanel_);
  changeButton_->setObjectName(QStringLiteral("changeButton"));
  changeButton_->setToolTip(
      QStringLiteral("Change the replacement text for this match and all future matches"));
  changeButton_->setAutoDefault(true);
  changeButton_->setGeometry(6, 149, buttonWidth, buttonHeight);
  connect(changeButton_, &QPushButton::clicked, this, &TTQueryReplace::changeButtonClick);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  auto *foundPage = new QWidget;
  foundPage->setObjectName(QStringLiteral("TabSheet1"));
  filePanel_ = new QWidget(foundPage);
  filePanel_->setObjectName(QStringLiteral("filePanel"));
  foundFilename_ = new TFileLabel(filePanel_);
  foundFilename_->setObjectName(QStringLiteral("foundFilename"));
  auto *fileLayout = new QVBoxLayout(filePanel_);
  fileLayout->setContentsMargins(0, 0, 0, 0);
  fileLayout->setSpacing(1);
  fileLayout->addWidget(captionLabel("Label1", "File being processed:", filePanel_));
  fileLayout->addWidget(foundFilename_);

  splitter_ = new QSplitter(Qt::Vertical, foundPage);
  splitter_->setObjectName(QStringLiteral("Splitter1"));
  splitter_->setChildrenCollapsible(false);
  auto *foundPanel = new QWidget(splitter_);
  foundPanel->setObjectName(QStringLiteral("foundPanel"));
  foundText_ = richEdit("foundText", "The found text, with surrounding context", foundPanel);
  foundText_->setReadOnly(true);
  auto *foundLayout = new QVBoxLayout(foundPanel);
  foundLayout->setContentsMargins(0, 0, 0, 0);
  foundLayout->setSpacing(1);
  foundLayout->addWidget(captionLabel("Label2", "Replace the found text", foundPanel));
  foundLayout->addWidget(foundText_, 1);
  auto *replacePanel = new QWidget(splitter_);
  replacePanel->setObjectName(QStringLiteral("replacePanel"));
  replaceText_ = richEdit(
      "replaceText",
      "Any changes made here are once only. Use the Change button to make permanent changes",
      replacePanel);
  auto *replaceLabel = captionLabel("Label3", "With this r&eplacement text?", replacePanel);
  replaceLabel->setBuddy(replaceText_);
  auto *replaceLayout = new QVBoxLayout(replacePanel);
  replaceLayout->setContentsMargins(0, 0, 0, 0);
  replaceLayout->setSpacing(1);
  replaceLayout->addWidget(replaceLabel);
  replaceLayout->addWidget(replaceText_, 1);
  replaceText_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(replaceText_, &QWidget::customContextMenuRequested, this,
          &TTQueryReplace::replaceTextContextPopup);
  splitter_->addWidget(foundPanel);
  splitter_->addWidget(replacePanel);
  auto *pageLayout = new QVBoxLayout(foundPage);
  pageLayout->setContentsMargins(4, 4, 4, 4);
  pageLayout->setSpacing(4);
  pageLayout->addWidget(filePanel_);
  pageLayout->addWidget(splitter_, 1);
  pages_->addTab(foundPage, QStringLiteral("&1 Found text"));

  auto *infoPage = new QWidget;
  infoPage->setObjectName(QStringLiteral("TabSheet2"));
  extraInfo_ = richEdit("extraInfo", nullptr, infoPage);
  extraInfo_->setReadOnly(true);
  auto *infoLayout = new QVBoxLayout(infoPage);
  infoLayout->setContentsMargins(4, 4, 4, 4);
  infoLayout->addWidget(extraInfo_);
  pages_->addTab(infoPage, QStringLiteral("&2 Search information"));

  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 4, 4);
  layout->setSpacing(0);
  layout->addWidget(buttonPanel_);
  layout->addWidget(pages_, 1);

  pages_->setCurrentIndex(0);
  translateForm(this);
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("TQueryReplace"));
  formInfo_->Load();
}

TTQueryReplace::~TTQueryReplace() { formInfo_->Save(); }

QPushButton *TTQueryReplace::answerButton(Answer answer) const {
  for (const AnswerButton &spec : answerButtons)
    if (spec.answer == answer)
      return buttonPanel_->findChild<QPushButton *>(QString::fromLatin1(spec.name));
  return nullptr;
}

void TTQueryReplace::placeButtons(bool inSelection) {
  // Without a selection its row goes and every row below moves up one.
  for (const AnswerButton &spec : answerButtons) {
    QPushButton *button = answerButton(spec.answer);
    const bool selectionButton =
        spec.answer == Answer::ReplaceSelection || spec.answer == Answer::SkipSelection;
    button->setVisible(inSelection || !selectionButton);
    const int top = inSelection || spec.top < 53 ? spec.top : spec.top - rowStep;
    button->move(spec.left, top);
  }
  changeButton_->move(6, inSelection ? 149 : 149 - rowStep);
}

void TTQueryReplace::focusLastAnswer(Answer answer) {
  const Answer focused = answer == Answer::None ? Answer::Replace : answer;
  if (focused == Answer::Cancel)
    return;
  if (QPushButton *button = answerButton(focused)) {
    // Enter off the buttons gives this answer too.
    button->setDefault(true);
    button->setFocus();
  }
}

Answer TTQueryReplace::confirmReplace(QueryReplaceRequest &request) {
  // Without a screen nobody can answer: the file stops with the reason and
  // is left as it was, and the job goes on with the next one.
  if (!DialogRunner::canAsk())
    throw EStreamError(Format("Cannot ask whether to replace without a window: [%s] is left as it "
                              "was",
                              {request.fileName}));
  found_ = request.found;
  const std::string before = escapeBinaryChars(request.textBefore);
  const std::string found = escapeBinaryChars(request.found);
  const QString all = toQString(before + found + escapeBinaryChars(request.textAfter));
  foundText_->setPlainText(all);
  QTextCursor cursor(foundText_->document());
  const int start = documentLength(toQString(before));
  cursor.setPosition(start);
  cursor.setPosition(std::max(start, documentLength(toQString(before + found))),
                     QTextCursor::KeepAnchor);
  foundText_->setTextCursor(cursor);
  QTimer::singleShot(0, foundText_, [edit = foundText_] { edit->ensureCursorVisible(); });

  extraInfo_->setPlainText(toQString(request.searchInformation));
  replaceText_->setPlainText(toQString(escapeBinaryChars(request.replacement)));
  replaceText_->document()->setModified(false);
  foundFilename_->SetFileName(fileNameToQString(request.fileName));
  placeButtons(request.inSelection);
  focusLastAnswer(request.lastAnswer);
  template_ = request.templateText;
  filter_ = request.filter;

  Answer answer = Answer::Cancel;
  for (;;) {
    const int result = DialogRunner::exec(*this);
    answer = isAnswer(result) ? static_cast<Answer>(result) : Answer::Cancel;
    if (!isReplacing(answer) || !replaceText_->document()->isModified())
      break;
    const std::string edited = editText(*replaceText_);
    try {
      decodeEscapes(edited);
      request.replacement = edited;
      break;
    } catch (const std::exception &error) {
      showMessageBox(
          this, QMessageBox::Critical, QApplication::applicationName(),
          toQString(translateFormat(1470, "Replace text is invalid - %s - Please try again",
                                    {std::string(error.what())})));
    }
  }
  request.templateText = template_;
  filter_ = nullptr;
  hide();
  return answer;
}

void TTQueryReplace::replaceTextContextPopup(const QPoint &at) {
  TmenuForm &menu = TmenuForm::instance();
  menu.preparePopup(replaceText_, false);
  menu.specialSubmenu()->menuAction()->setVisible(false);
  menu.popup(replaceText_->mapToGlobal(at));
}

void TTQueryReplace::reject() { done(static_cast<int>(Answer::Cancel)); }

void TTQueryReplace::resizeEvent(QResizeEvent *event) {
  QDialog::resizeEvent(event);
  const int page = pages_->widget(0)->height();
  const int found = (page - filePanel_->sizeHint().height() - splitter_->handleWidth()) / 2;
  splitter_->setSizes({found, std::max(0, page - found)});
}

void TTQueryReplace::changeButtonClick() {
  TchangeReplace change(this, filter_, found_, template_);
  if (DialogRunner::exec(change) != QDialog::Accepted)
    return;
  template_ = change.templateText();
  replaceText_->setPlainText(toQString(escapeBinaryChars(change.replacement())));
  // The new replacement is this match's too, unless the user skips it.
  replaceText_->document()->setModified(true);
}

TchangeReplace::TchangeReplace(QWidget *parent, TFilter *filter, std::string found,
                               const std::string &templateText)
    : QDialog(parent), filter_(filter), found_(std::move(found)) {
  setObjectName(QStringLiteral("changeReplace"));
  setWindowTitle(QStringLiteral("Change replace text"));
  resize(420, 160);
  replaceText_ = richEdit("replaceText", nullptr, this);
  auto *label = captionLabel("Label1", "&Replacement text", this);
  label->setBuddy(replaceText_);
  okButton_ = new QPushButton(QStringLiteral("O&K"), this);
  okButton_->setObjectName(QStringLiteral("BitBtn1"));
  okButton_->setToolTip(QStringLiteral("Accept this text as the new replacememt text"));
  okButton_->setDefault(true);
  auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel->setObjectName(QStringLiteral("BitBtn2"));
  cancel->setToolTip(QStringLiteral("Discard all changes"));
  connect(okButton_, &QPushButton::clicked, this, &TchangeReplace::BitBtn1Click);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancel);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(replaceText_, 1);
  layout->addLayout(buttons);
  replaceText_->setPlainText(toQString(templateText));
  translateForm(this);
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("changeReplace"));
  formInfo_->Load();
}

TchangeReplace::~TchangeReplace() { formInfo_->Save(); }

void TchangeReplace::BitBtn1Click() {
  const std::string typed = editText(*replaceText_);
  try {
    std::string replacement;
    if (auto *search = dynamic_cast<TGenericSearchReplace *>(filter_)) {
      search->getReplacement(typed, found_, replacement);
    } else {
      decodeEscapes(typed);
      replacement = typed;
    }
    templateText_ = typed;
    replacement_ = std::move(replacement);
  } catch (const std::exception &error) {
    showMessageBox(this, QMessageBox::Critical, QApplication::applicationName(),
                   toQString(error.what()));
    return;
  }
  accept();
}

Answer askQueryReplaceInDialog(QueryReplaceRequest &request) {
  TTQueryReplace dialog;
  return dialog.confirmReplace(request);
}

} // namespace marrowen

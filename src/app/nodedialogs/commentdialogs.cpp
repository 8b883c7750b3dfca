#include "app/nodedialogs/commentdialogs.h"

#include "app/jobs/statusform.h"
#include "classlib/paths.h"
#include "components/dialogrunner.h"
#include "components/fileedits.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "filterlist/commentnodes.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace marrowen {

// --- TcommentForm ---

TcommentForm::TcommentForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("commentForm"));
  auto *memo = namedMemo(this, "commentFilterComments", true);
  memo->setProperty("helpContext", 800);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(memo);
  text_ = memoValue(memo);
  fields_.bind(&TCommentObject::text, text_);
  connect(memo, &QPlainTextEdit::textChanged, this, &TcommentForm::fieldChanged);
  preparePopup(memo);
}

void TcommentForm::putToScreen(TListObject &node) {
  whileFilling([&] { fields_.put(dynamic_cast<TCommentObject &>(node)); });
}

void TcommentForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TCommentObject &>(node));
}

bool TcommentForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TCommentObject &>(node));
}

// --- TfilterOptions ---

TfilterOptions::TfilterOptions(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("filterOptions"));
  setHelpContext(1450);
  auto *group = namedGroup(this, "logGroupBox", QStringLiteral(" Logging options "));
  logToFile_ = namedCheckBox(group, "logToFile", QStringLiteral("Logging enabled"));
  logFilename_ = new TFilenameEdit(group);
  logFilename_->setObjectName(QStringLiteral("logFilename"));
  logFilename_->SetDefaultExt(QStringLiteral(".log"));
  logFilename_->SetFilter(QStringLiteral("Log files (*.log)|*.log|All files (*.*)|*.*"));
  fileLabel_ = namedLabel(group, "logFilenameLabel", QStringLiteral("Log &file"), logFilename_);
  appendFile_ = namedRadio(group, "appendFile", QStringLiteral("Append to file"));
  overwriteFile_ = namedRadio(group, "overwriteFile", QStringLiteral("Overwrite file"));
  threshold_ = namedSpin(group, "threshold", 0, 20000);
  thresholdLabel_ =
      namedLabel(group, "thresholdLabel",
                 QStringLiteral("Don't log to file if line count is less than"), threshold_);
  auto *show = namedButton(group, "showLog", QStringLiteral("Show"));
  auto *remove = namedButton(group, "deleteLog", QStringLiteral("Delete"));
  auto *grid = new QGridLayout(group);
  grid->addWidget(logToFile_, 0, 0, 1, 3);
  grid->addWidget(fileLabel_, 1, 0);
  grid->addWidget(logFilename_, 1, 1, 1, 2);
  // The buttons under the file name, so the group fits a narrow panel.
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(show);
  buttons->addWidget(remove);
  buttons->addStretch();
  grid->addLayout(buttons, 2, 1, 1, 2);
  grid->addWidget(appendFile_, 3, 1);
  grid->addWidget(overwriteFile_, 4, 1);
  grid->addWidget(thresholdLabel_, 5, 0, 1, 2);
  grid->addWidget(threshold_, 5, 2);
  grid->setColumnStretch(1, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch();

  enabled_ = checkBoxValue(logToFile_);
  fileName_ = fileNameValue(logFilename_);
  // Append checked, or overwrite checked; neither shows nothing chosen.
  append_ = BoundFlag(
      [this](const bool &append) { (append ? appendFile_ : overwriteFile_)->setChecked(true); },
      [this] { return appendFile_->isChecked(); });
  lineThreshold_ = spinValue(threshold_);

  connect(logToFile_, &QCheckBox::clicked, this, &TfilterOptions::logToFileClick);
  connect(logFilename_, &TCustomComboEdit::changed, this, &TfilterOptions::fieldChanged);
  connect(appendFile_, &QRadioButton::clicked, this, &TfilterOptions::fieldChanged);
  connect(overwriteFile_, &QRadioButton::clicked, this, &TfilterOptions::fieldChanged);
  connect(threshold_, &QSpinBox::valueChanged, this, &TfilterOptions::fieldChanged);
  connect(show, &QPushButton::clicked, this, &TfilterOptions::showLogClick);
  connect(remove, &QPushButton::clicked, this, &TfilterOptions::deleteLogClick);
  prepareNoFrillsPopup(logFilename_);
}

void TfilterOptions::putToScreen(TListObject &node) {
  const LogOptions &log = dynamic_cast<TFilterCommentObject &>(node).log;
  whileFilling([&] {
    enabled_.put(log.enabled);
    fileName_.put(log.fileName);
    append_.put(log.append);
    lineThreshold_.put(log.lineThreshold);
    logToFileClick();
  });
}

void TfilterOptions::getFromScreen(TListObject &node) {
  LogOptions &log = dynamic_cast<TFilterCommentObject &>(node).log;
  log.enabled = enabled_.value();
  log.fileName = fileName_.value();
  log.append = append_.value();
  log.lineThreshold = lineThreshold_.value();
}

bool TfilterOptions::isDifferent(const TListObject &node) const {
  const LogOptions &log = dynamic_cast<const TFilterCommentObject &>(node).log;
  return enabled_.value() != log.enabled || fileName_.value() != log.fileName ||
         append_.value() != log.append || lineThreshold_.value() != log.lineThreshold;
}

void TfilterOptions::logToFileClick() {
  fieldChanged();
  const bool logging = logToFile_->isChecked();
  for (QWidget *control : std::initializer_list<QWidget *>{
           logFilename_, fileLabel_, threshold_, thresholdLabel_, appendFile_, overwriteFile_})
    control->setEnabled(logging);
}

void TfilterOptions::showLogClick() {
  // Where a job writes the log: a bare name lies in the program's folder for
  // files it writes, not in whatever folder is current.
  const std::string name = TLogManager::resolveName(fileNameShown(logFilename_));
  std::error_code error;
  if (!std::filesystem::is_regular_file(name, error)) {
    showMessageBox(
        this, QMessageBox::Information, QApplication::applicationName(),
        messageToQString(translateFormat(710, "The log file %s does not exist", {name})));
    return;
  }
  TTstatusForm::openInEditor(name);
}

void TfilterOptions::deleteLogClick() {
  const std::string name = TLogManager::resolveName(fileNameShown(logFilename_));
  const auto answer = showMessageBox(
      this, QMessageBox::Question, QApplication::applicationName(),
      messageToQString(translateFormat(720, "Delete log file [%s] - are you sure?", {name})),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
  // A log the user may not remove (a folder they cannot write) stays, and
  // the user must not take it for gone.
  if (answer != QMessageBox::Yes || ::unlink(name.c_str()) == 0 || errno == ENOENT)
    return;
  const std::string reason = std::strerror(errno);
  showMessageBox(
      this, QMessageBox::Warning, QApplication::applicationName(),
      messageToQString(translateFormat(5110, "Couldn't delete file [%s]:%s", {name, reason})));
}

void registerCommentDialogs() {
  registerDialog<TcommentForm>("TCommentObject");
  registerDialog<TfilterOptions>("TFilterCommentObject");
}

} // namespace marrowen

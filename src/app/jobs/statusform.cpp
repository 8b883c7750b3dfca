#include "app/jobs/statusform.h"

#include "app/common/clipboardviewer.h"
#include "app/common/forminfo.h"
#include "app/common/launcher.h"
#include "app/common/translateform.h"
#include "classlib/format.h"
#include "components/dialogrunner.h"
#include "components/filelabel.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/processingthread.h"
#include "engine/userinterface.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include <unistd.h>

namespace marrowen {

namespace {

// The least time between two paints of the window while its job reports.
constexpr int paintInterval = 250; // ms

std::function<std::string()> &editorSetting() {
  static std::function<std::string()> editor = [] { return std::string(); };
  return editor;
}

TdgGrid *makeLineGrid(const char *name, QWidget *parent) {
  auto *grid = new TdgGrid(parent);
  grid->setObjectName(QString::fromLatin1(name));
  grid->SetName(name);
  grid->beginLoad();
  grid->SetStoreData(true);
  // The lines name the job's files.
  grid->SetShowsFileNames(true);
  grid->SetCols(3);
  grid->SetRows(0);
  // The lines are the job's record, which "Copy lines to log file" writes
  // again: they can be read, selected and copied, never changed.
  grid->SetGridMode(gmBrowse);
  const char *headings[] = {"Date", "Time", "Message"};
  for (int c = 1; c <= 3; ++c)
    grid->GetCol(c)->SetHeading(headings[c - 1]);
  grid->GetCol(1)->SetWidth(76);
  grid->GetCol(3)->SetWidth(317);
  grid->endLoad();
  return grid;
}

QLabel *label(const QString &text, const char *name, QWidget *parent) {
  auto *l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

} // namespace

void TTstatusForm::setEditor(std::function<std::string()> editor) {
  if (!editor)
    editor = [] { return std::string(); };
  editorSetting() = std::move(editor);
}

TTstatusForm::TTstatusForm(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TstatusForm"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  captionFormat_ = QStringLiteral("%s - Processing files...");
  setWindowTitle(captionFormat_);
  setMinimumSize(479, 225);
  resize(479, 225);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("Pages"));
  auto *status = new QWidget;
  status->setObjectName(QStringLiteral("statusTab"));
  auto *grid = new QGridLayout(status);
  grid->addWidget(label(QStringLiteral("Processing file:"), "Label1", status), 0, 0);
  fileLabel_ = new TFileLabel(status);
  fileLabel_->setObjectName(QStringLiteral("fileLabel"));
  fileLabel_->SetSeparator(QStringLiteral("/"));
  fileLabel_->setMinimumWidth(100);
  grid->addWidget(fileLabel_, 0, 1, 1, 3);
  auto *binaryLabel = label(QStringLiteral("Binary files skipped:"), "Label2", status);
  binaryLabel->setToolTip(
      QStringLiteral("Files skipped due to the Input Filter setting of 'Skip Binary Files'"));
  grid->addWidget(binaryLabel, 1, 0);
  binarySkipped_ = label(QStringLiteral("0"), "binarySkipped", status);
  binarySkipped_->setAutoFillBackground(true);
  // The count and the mode keep their own size however large the window.
  grid->addWidget(binarySkipped_, 1, 1, Qt::AlignLeft);
  grid->addWidget(label(QStringLiteral("Non-binary files skipped: "), "Label3", status), 1, 2);
  nonBinarySkipped_ = label(QStringLiteral("0"), "nonBinarySkipped", status);
  grid->addWidget(nonBinarySkipped_, 1, 3, Qt::AlignLeft);
  grid->addWidget(label(QStringLiteral("Time elapsed:"), "Label4", status), 2, 0);
  elapsed_ = label(QStringLiteral("0:00:00.0 seconds"), "elapsedTime", status);
  grid->addWidget(elapsed_, 2, 1);
  mode_ = label(QString(), "modeLabel", status);
  mode_->setAutoFillBackground(true);
  QPalette modePalette = mode_->palette();
  modePalette.setColor(QPalette::Window, Qt::black);
  mode_->setPalette(modePalette);
  QFont bold = mode_->font();
  bold.setBold(true);
  mode_->setFont(bold);
  grid->addWidget(mode_, 2, 2, 1, 2, Qt::AlignLeft);
  grid->addWidget(label(QStringLiteral("File:"), "Label5", status), 3, 0);
  fileProgress_ = new QProgressBar(status);
  fileProgress_->setObjectName(QStringLiteral("fileProgress"));
  grid->addWidget(fileProgress_, 3, 1, 1, 3);
  taskLabel_ = label(QStringLiteral("File 0 of 0:"), "taskLabel", status);
  grid->addWidget(taskLabel_, 4, 0);
  taskProgress_ = new QProgressBar(status);
  taskProgress_->setObjectName(QStringLiteral("taskProgress"));
  grid->addWidget(taskProgress_, 4, 1, 1, 3);
  for (auto *bar : {fileProgress_, taskProgress_})
    bar->setRange(0, 100), bar->setValue(0);
  grid->setRowStretch(5, 1);
  pages_->addTab(status, QStringLiteral("&1 Status"));

  auto *results = new QWidget;
  results->setObjectName(QStringLiteral("resultsTab"));
  auto *resultsLayout = new QVBoxLayout(results);
  resText_ = makeLineGrid("resText", results);
  resultsLayout->addWidget(resText_);
  pages_->addTab(results, QStringLiteral("&2 Results"));

  errorsPage_ = new QWidget;
  errorsPage_->setObjectName(QStringLiteral("errorsTab"));
  auto *errorsLayout = new QVBoxLayout(errorsPage_);
  errors_ = makeLineGrid("errors", errorsPage_);
  errorsLayout->addWidget(errors_);
  pages_->addTab(errorsPage_, QStringLiteral("&3 Errors"));

  auto *bottom = new QWidget(this);
  bottom->setObjectName(QStringLiteral("bottomPanel"));
  auto *bottomLayout = new QVBoxLayout(bottom);
  bottomLayout->setContentsMargins(0, 0, 0, 0);
  // A row of its own, wrapped: the summary at the end of a job is longer
  // than the window is wide.
  statusBar_ = label(QString(), "statusBar", bottom);
  statusBar_->setWordWrap(true);
  bottomLayout->addWidget(statusBar_);
  auto *buttons = new QHBoxLayout;
  bottomLayout->addLayout(buttons);
  buttons->addStretch(1);
  deleteButton_ = new QPushButton(QStringLiteral("&Delete all test files"), bottom);
  deleteButton_->setObjectName(QStringLiteral("deleteTestFiles"));
  copyButton_ = new QPushButton(QStringLiteral("Copy lines to log file"), bottom);
  copyButton_->setObjectName(QStringLiteral("copyToLog"));
  copyButton_->setToolTip(QStringLiteral("Copy the status lines and error lines to the log file"));
  cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), bottom);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  for (auto *b : {deleteButton_, copyButton_, cancelButton_})
    buttons->addWidget(b);
  deleteButton_->hide();
  copyButton_->hide();

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 1);
  layout->addWidget(bottom);

  connect(cancelButton_, &QPushButton::clicked, this, &TTstatusForm::cancelButtonClick);
  // The bottom button is a Cancel button while the job runs, which Escape
  // presses, and an OK button once it has ended, which Enter presses unless
  // another button has the focus.
  auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] {
    if (!ended_)
      cancelButton_->click();
  });
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto *enter = new QShortcut(QKeySequence(key), this, [this] {
      auto *focused = qobject_cast<QPushButton *>(focusWidget());
      if (focused && focused->isVisible() && focused->isEnabled())
        focused->click();
      else if (ended_)
        cancelButton_->click();
    });
    enter->setContext(Qt::WidgetWithChildrenShortcut);
  }
  connect(deleteButton_, &QPushButton::clicked, this, &TTstatusForm::deleteTestFilesClick);
  connect(copyButton_, &QPushButton::clicked, this, &TTstatusForm::copyToLogClick);
  connect(pages_, &QTabWidget::currentChanged, this, &TTstatusForm::PagesChange);
  resText_->OnDblClick = [this](TCustomGrid_dg *) {
    resTextDblClickCell(resText_->GetCurrentDataRow());
  };
  setProperty("helpContext", 1130);
  status->setProperty("helpContext", 1130);
  results->setProperty("helpContext", 1140);
  errorsPage_->setProperty("helpContext", 1150);

  translateForm(this);
  captionFormat_ = windowTitle();
  pages_->setCurrentIndex(0);
  pages_->setTabVisible(2, false);

  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("TstatusForm"));
  formInfo_->recordPosition = false;
  formInfo_->Load();

  paintTimer_ = new QTimer(this);
  paintTimer_->setSingleShot(true);
  connect(paintTimer_, &QTimer::timeout, this, [this] {
    lastPaint_.start();
    setUpdatesEnabled(true); // paints everything held back
  });
  clock_ = new QTimer(this);
  clock_->setInterval(paintInterval);
  connect(clock_, &QTimer::timeout, this, &TTstatusForm::showRunSoFar);
}

void TTstatusForm::runStarted(std::chrono::steady_clock::time_point start) {
  runStart_ = start;
  clock_->start();
}

void TTstatusForm::runOver() { clock_->stop(); }

void TTstatusForm::showRunSoFar() {
  elapsed_->setText(toQString(
      ProcessingThread::elapsedTimeText(std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - runStart_))));
  if (job_)
    fileProgress_->setValue(std::clamp(job_->fileProgressReached(), 0, 100));
}

void TTstatusForm::limitPaintRate() {
  if (paintTimer_->isActive() || !updatesEnabled())
    return; // held back already, or nothing of the window is painted at all
  if (!lastPaint_.isValid() || lastPaint_.hasExpired(paintInterval)) {
    lastPaint_.start();
    return;
  }
  setUpdatesEnabled(false);
  paintTimer_->start(static_cast<int>(std::max<qint64>(paintInterval - lastPaint_.elapsed(), 0)));
}

void TTstatusForm::paintHeldBack() {
  if (!paintTimer_->isActive())
    return;
  paintTimer_->stop();
  lastPaint_.start();
  setUpdatesEnabled(true);
}

TTstatusForm::~TTstatusForm() { savePlacement(); }

void TTstatusForm::savePlacement() {
  if (std::exchange(placementSaved_, true))
    return;
  formInfo_->Save();
}

void TTstatusForm::closeEvent(QCloseEvent *event) {
  event->ignore();
  emit closeRequested();
}

void TTstatusForm::setCaption(const std::string &filterName) {
  filterName_ = filterName;
  QString caption = captionFormat_;
  // The filter's name is its file's: shown as a name, apart from any other.
  caption.replace(QStringLiteral("%s"), fileNameToQString(filterName));
  setWindowTitle(caption);
}

void TTstatusForm::setTestMode(bool on) {
  testMode_ = on;
  QPalette palette = mode_->palette();
  if (on) {
    mode_->setText(toQString(translate(1300, " Test Mode ")));
    mode_->setToolTip(toQString(
        translate(1310, "Original files are not overwritten - new files have .dCV extension")));
    palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
  } else {
    mode_->setText(toQString(translate(1320, " Overwrite Mode ")));
    mode_->setToolTip(toQString(translate(1330, "Original files will be overwritten")));
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
  }
  mode_->setPalette(palette);
  mode_->repaint();
}

void TTstatusForm::writeLog(TLogLevel level, const std::string &text) {
  if (job_) {
    if (TNullLog *log = job_->log())
      log->log(level, text);
    return;
  }
  if (!loggingOn_ || logFileName_.empty())
    return;
  LogHandle log = openLogHandle(logFileName_, true);
  if (log)
    log->log(level, text);
}

namespace {

// Lines shown when the job sets no limit of its own.
constexpr int defaultLineLimit = 500;

} // namespace

void TTstatusForm::addLine(int &counter, TdgGrid &grid, const std::string &text, TLogLevel level) {
  ++counter;
  if (lineLimit_ < 1) {
    // A list whose log threshold is 0 logs every line at once, and the
    // window still shows them, up to its own limit.
    if (counter < defaultLineLimit)
      addRow(grid, text);
    writeLog(level, text);
    return;
  }
  if (counter < lineLimit_) {
    addRow(grid, text);
    if (!deferLogging_)
      writeLog(level, text);
  } else if (counter == lineLimit_) {
    if (deferLogging_)
      transferToLog(grid, level);
    addRow(grid,
           translateFormat(1400, "%d line limit reached. See log file [%s] for remaining detail",
                           {counter, logFileName_}));
    // The log is opened where the job writes it: a bare name lies in the
    // program's folder for written files, not in the current one.
    if (&grid == resText_)
      addResultFile(TLogManager::resolveName(logFileName_));
    writeLog(level, text);
  } else {
    writeLog(level, text);
  }
}

void TTstatusForm::addRow(TdgGrid &grid, const std::string &text) {
  if (grid.Rows() == 0) {
    grid.InsertRow(1);
  } else {
    const int current = grid.GetCurrentDataRow();
    const int below = current > 0 ? grid.GetDisplayRowOf(current) + 1 : grid.Rows() + 1;
    grid.InsertRow(below);
  }
  const int row = grid.Rows();
  const LogMoment now = std::chrono::system_clock::now();
  grid.SetCell(1, row, Variant(formatLogDate(now)));
  grid.SetCell(2, row, Variant(formatLogTime(now)));
  grid.SetCell(3, row, Variant(text));
  grid.SetCurrentDataRow(row);
  // The message column grows to the widest line, so every line can be read
  // whole (scrolling sideways when it is wider than the window). Measured up
  // to a length nobody scrolls past: shaping a line of megabytes takes many
  // times its size.
  constexpr std::size_t measured = 4096;
  const int width =
      grid.fontMetrics().horizontalAdvance(toQString(std::string_view(text).substr(0, measured))) +
      12;
  if (width > grid.GetCol(3)->Width())
    grid.GetCol(3)->SetWidth(width);
}

void TTstatusForm::transferToLog(TdgGrid &grid, TLogLevel level) {
  LogHandle opened;
  TNullLog *log = job_ ? job_->log() : nullptr;
  if (!job_) {
    if (!loggingOn_ || logFileName_.empty())
      return;
    opened = openLogHandle(logFileName_, true);
    log = opened.get();
  }
  if (!log)
    return;
  for (int row = 1; row <= grid.Rows(); ++row)
    log->writeEntry(level, grid.GetCell(1, row).toString(), grid.GetCell(2, row).toString(),
                    grid.GetCell(3, row).toString());
}

void TTstatusForm::addStatusLine(const std::string &text) {
  limitPaintRate();
  addLine(statusLineCount_, *resText_, text, TLogLevel::Info);
}

void TTstatusForm::addError(const std::string &text) {
  limitPaintRate();
  // With no screen the error list is seen by nobody, and the log may be
  // anywhere: standard error is where an unattended run's caller looks.
  if (DialogRunner::headless())
    writeErrorLine(text);
  if (errorCount_ == 0)
    pages_->setTabVisible(2, true);
  addLine(errorCount_, *errors_, text, TLogLevel::Error);
  if (errorCount_ < lineLimit_ || lineLimit_ < 1)
    pages_->setTabText(2, toQString(translateFormat(1410, "Errors (%d)", {errorCount_})));
  else if (errorCount_ == lineLimit_)
    pages_->setTabText(2, toQString(translateFormat(1420, "Errors (%d+)", {lineLimit_})));
}

void TTstatusForm::setProcessedFiles(int files) {
  limitPaintRate();
  taskLabel_->setText(toQString(translateFormat(1440, "File %d of %d:", {files, totalFiles_})));
  taskLabel_->repaint();
  setTaskProgress(
      totalFiles_ == 0 ? 0 : static_cast<int>(static_cast<long long>(files) * 100 / totalFiles_));
}

void TTstatusForm::setTaskProgress(int percent) {
  limitPaintRate();
  taskProgress_->setValue(std::clamp(percent, 0, 100));
  taskProgress_->repaint();
}

void TTstatusForm::setFileProgress(int percent) {
  limitPaintRate();
  fileProgress_->setValue(std::clamp(percent, 0, 100));
  fileProgress_->repaint();
}

void TTstatusForm::setStatusFileName(const std::string &name) {
  limitPaintRate();
  fileLabel_->SetFileName(fileNameToQString(name));
  fileLabel_->repaint();
}

void TTstatusForm::showStatus(const QString &text) {
  statusText_ = text;
  refreshStatusBar();
}

void TTstatusForm::refreshStatusBar() {
  QString shown = statusText_;
  if (pages_->currentIndex() == 1) {
    const QString hint = toQString(translate(1430, "Double click a file to open it"));
    shown = shown.isEmpty() ? hint : shown + QLatin1Char('\n') + hint;
  }
  statusBar_->setText(shown);
  statusBar_->repaint();
}

QString TTstatusForm::statusBarText() const { return statusBar_->text(); }

void TTstatusForm::setStatusText(const std::string &text) {
  limitPaintRate();
  showStatus(toQString(text));
}

void TTstatusForm::setElapsedText(const std::string &text) {
  limitPaintRate();
  elapsed_->setText(toQString(text));
  elapsed_->repaint();
}

void TTstatusForm::setNonBinarySkipped(int files) {
  limitPaintRate();
  nonBinarySkipped_->setText(QString::number(files));
  nonBinarySkipped_->repaint();
}

void TTstatusForm::setBinarySkipped(int files) {
  limitPaintRate();
  binarySkipped_->setText(QString::number(files));
  if (files > 0) {
    QPalette palette = binarySkipped_->palette();
    palette.setColor(QPalette::Window, Qt::red);
    binarySkipped_->setPalette(palette);
    QFont font = binarySkipped_->font();
    font.setBold(true);
    binarySkipped_->setFont(font);
  }
  binarySkipped_->repaint();
}

void TTstatusForm::addOutputFile(const std::string &name) {
  testFiles_.push_back(name);
  addResultFile(name);
}

void TTstatusForm::addResultFile(const std::string &name) {
  resultFiles_.push_back(name);
  resultRows_.push_back(resText_->Rows());
}

void TTstatusForm::jobEnded(JobEnd how) {
  ended_ = true;
  runOver();
  // The caption no longer says the files are being processed.
  setWindowTitle(fileNameToQString(filterName_) + " - " + toQString(jobEndText(how)));
  cancelButton_->setText(toQString(translate(1340, "&OK")));
  job_ = nullptr;
  // A trial run has no log file: there is nothing to copy the lines to.
  copyButton_->setVisible(!logFileName_.empty() && loggingOn_);
  if (testMode_)
    deleteButton_->show();
  if (errorCount_ > 0)
    pages_->setCurrentIndex(2);
}

void TTstatusForm::cancelButtonClick() {
  if (!ended_ && job_) {
    job_->terminate();
    job_ = nullptr;
    return;
  }
  emit closeRequested();
}

void TTstatusForm::deleteTestFilesClick() {
  for (const std::string &name : testFiles_) {
    if (name.empty())
      continue;
    showStatus(toQString(translateFormat(1350, "Deleting %s", {fileNameToText(name)})));
    // By its bytes: a name Qt cannot spell would remove another file.
    ::unlink(name.c_str());
  }
  deleteButton_->setEnabled(false);
  showStatus(toQString(translate(1360, "Test files deleted")));
}

void TTstatusForm::copyToLogClick() {
  if (statusLineCount_ < lineLimit_)
    transferToLog(*resText_, TLogLevel::Info);
  if (errorCount_ < lineLimit_)
    transferToLog(*errors_, TLogLevel::Error);
  copyButton_->setEnabled(false);
  showStatus(toQString(translate(1460, "Lines transferred to log file")));
}

void TTstatusForm::resTextDblClickCell(int dataRow) {
  const auto it = std::find(resultRows_.begin(), resultRows_.end(), dataRow);
  if (it == resultRows_.end())
    return;
  const std::string &name = resultFiles_[static_cast<std::size_t>(it - resultRows_.begin())];
  if (!testMode_ && name == "Clipboard") {
    showClipboardViewer();
    return;
  }
  if (launcher().openUrl(fileNameToOpenTarget(name)))
    return;
  openInEditor(name);
}

void TTstatusForm::openInEditor(const std::string &name) {
  marrowen::openInEditor(fileNameToQString(editorSetting()()), fileNameToQString(name));
}

void TTstatusForm::PagesChange(int) { refreshStatusBar(); }

} // namespace marrowen

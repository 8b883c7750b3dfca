#include "app/debugwindow.h"

#include "app/forminfo.h"
#include "app/translateform.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace marrowen {

namespace {

int windowCount = 1;

} // namespace

QString memoCursorPosText(const QPlainTextEdit &memo) {
  const QTextCursor cursor = memo.textCursor();
  return toQString(translateFormat(4760, "Line %d, Column %d",
                                   {cursor.blockNumber() + 1, cursor.positionInBlock() + 1}));
}

QString memoSizeText(const QPlainTextEdit &memo) {
  return toQString(
      translateFormat(4770, "Length: %d  Lines: %d",
                      {memo.document()->characterCount() - 1, memo.document()->blockCount()}));
}

TdebugWindowForm::TdebugWindowForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("debugWindowForm"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowTitle(QStringLiteral("Debug Window #%d"));
  resize(420, 300);
  buffer_ = new QPlainTextEdit(this);
  buffer_->setObjectName(QStringLiteral("buffer"));
  buffer_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto *status = new QStatusBar(this);
  status->setObjectName(QStringLiteral("bufferStatus"));
  status->setSizeGripEnabled(false);
  position_ = new QLabel(status);
  position_->setMinimumWidth(150);
  size_ = new QLabel(status);
  size_->setMinimumWidth(50);
  status->addWidget(position_);
  status->addWidget(size_, 1);
  auto *clear = new QPushButton(QStringLiteral("C&lear"), this);
  clear->setObjectName(QStringLiteral("clearButton"));
  auto *close = new QPushButton(QStringLiteral("&Close"), this);
  close->setObjectName(QStringLiteral("closeButton"));
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(clear);
  buttons->addWidget(close);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(buffer_, 1);
  layout->addLayout(buttons);
  layout->addWidget(status);
  connect(clear, &QPushButton::clicked, this, &TdebugWindowForm::clearBuffer);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  connect(buffer_, &QPlainTextEdit::textChanged, this, &TdebugWindowForm::updateStatus);
  connect(buffer_, &QPlainTextEdit::cursorPositionChanged, this, &TdebugWindowForm::updateStatus);

  translateForm(this);
  setWindowTitle(toQString(Format(fromQString(windowTitle()), {windowCount})));
  ++windowCount;
  counted_ = true;
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("debugWindowForm"));
  formInfo_->recordPosition = false;
  formInfo_->Load();
  updateStatus();
}

TdebugWindowForm::~TdebugWindowForm() {
  if (counted_)
    --windowCount;
}

std::shared_ptr<TdebugWindowForm> TdebugWindowForm::createShared() {
  auto *form = new TdebugWindowForm;
  QPointer<TdebugWindowForm> guard(form);
  return std::shared_ptr<TdebugWindowForm>(form, [guard](TdebugWindowForm *) {
    if (guard)
      guard->deleteLater();
  });
}

int TdebugWindowForm::openCount() { return windowCount - 1; }

void TdebugWindowForm::closeEvent(QCloseEvent *event) {
  if (counted_) {
    --windowCount;
    counted_ = false;
  }
  formInfo_->Save();
  QWidget::closeEvent(event);
}

void TdebugWindowForm::clearBuffer() { buffer_->clear(); }

void TdebugWindowForm::addLine(const std::string &text) {
  buffer_->appendPlainText(toQString(text));
}

void TdebugWindowForm::show() { QWidget::show(); }

void TdebugWindowForm::updateStatus() {
  position_->setText(memoCursorPosText(*buffer_));
  size_->setText(memoSizeText(*buffer_));
}

} // namespace marrowen

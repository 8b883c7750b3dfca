#include "app/jobs/debugwindow.h"

#include "app/common/forminfo.h"
#include "app/common/memos.h"
#include "app/common/patternmenu.h"
#include "app/common/translateform.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace marrowen {

namespace {

int windowCount = 1;

} // namespace

TdebugWindowForm::TdebugWindowForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("debugWindowForm"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowTitle(QStringLiteral("Debug Window #%d"));
  resize(420, 300);
  buffer_ = new QPlainTextEdit(this);
  buffer_->setObjectName(QStringLiteral("buffer"));
  buffer_->setLineWrapMode(QPlainTextEdit::NoWrap);
  bufferStatus_ = new MemoStatusBar(this);
  bufferStatus_->setObjectName(QStringLiteral("bufferStatus"));
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
  layout->addWidget(bufferStatus_);
  connect(clear, &QPushButton::clicked, this, &TdebugWindowForm::clearBuffer);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  // The same counts as the trial areas, and the same menu as the list's memos.
  bindMemoStatus(buffer_, bufferStatus_);
  usePatternMenuForMemo(buffer_);

  translateForm(this);
  setWindowTitle(toQString(Format(fromQString(windowTitle()), {windowCount})));
  ++windowCount;
  counted_ = true;
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("debugWindowForm"));
  formInfo_->recordPosition = false;
  formInfo_->Load();
}

TdebugWindowForm::~TdebugWindowForm() {
  if (counted_)
    --windowCount;
}

std::shared_ptr<TdebugWindowForm> TdebugWindowForm::createShared() {
  auto *form = new TdebugWindowForm;
  QPointer<TdebugWindowForm> guard(form);
  return std::shared_ptr<TdebugWindowForm>(form, [guard](TdebugWindowForm *) {
    QMetaObject::invokeMethod(qApp, [guard] {
      if (!guard)
        return;
      // A window on screen stays with what it showed until it is closed.
      if (guard->isVisible())
        guard->setAttribute(Qt::WA_DeleteOnClose);
      else
        guard->deleteLater();
    });
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

void TdebugWindowForm::clearBuffer() {
  buffer_->clear();
  hasLines_ = false;
}

int TdebugWindowForm::addLine(const std::string &text) {
  // Appending to an empty document fills its one block, so an empty first
  // line would be lost under the next: the break is ours to add.
  QTextCursor cursor(buffer_->document());
  cursor.movePosition(QTextCursor::End);
  if (hasLines_)
    cursor.insertBlock();
  cursor.insertText(toQString(text));
  hasLines_ = true;
  buffer_->verticalScrollBar()->setValue(buffer_->verticalScrollBar()->maximum());
  return buffer_->blockCount() - 1;
}

void TdebugWindowForm::show() { QWidget::show(); }

} // namespace marrowen

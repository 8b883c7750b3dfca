#include "app/memos.h"

#include "engine/escapes.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextEdit>
#include <QThread>

namespace marrowen {

namespace {

// The bytes a memo was given, kept on the memo itself so that any code
// holding the control can hand them back.
constexpr const char *bytesProperty = "marrowenMemoBytes";

// The text a memo shows for `bytes`: NULs left out, every break a paragraph.
QString shownText(const MemoText &shown) {
  QString text = toQString(shown.text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

} // namespace

QTextDocument *memoDocument(const QWidget *memo) {
  if (auto *plain = qobject_cast<const QPlainTextEdit *>(memo))
    return plain->document();
  if (auto *rich = qobject_cast<const QTextEdit *>(memo))
    return rich->document();
  return nullptr;
}

QString setMemoBytes(QWidget *memo, std::string_view bytes, std::string_view sourceName) {
  QTextDocument *document = memoDocument(memo);
  if (!document)
    return {};
  const MemoText shown = memoTextWithoutNulls(sourceName, bytes);
  const QString text = shownText(shown);
  memo->setProperty(bytesProperty, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (auto *plain = qobject_cast<QPlainTextEdit *>(memo))
    plain->setPlainText(text);
  else if (auto *rich = qobject_cast<QTextEdit *>(memo))
    rich->setPlainText(text);
  // The NULs left out are a change the user has not made: the bytes given
  // stay what is handed back.
  document->setModified(false);
  return shown.nullsRemoved ? toQString(shown.warning) : QString();
}

bool memoEdited(const QWidget *memo) {
  const QTextDocument *document = memoDocument(memo);
  return document && (document->isModified() || !memo->property(bytesProperty).isValid());
}

std::string memoBytes(const QWidget *memo) {
  const QTextDocument *document = memoDocument(memo);
  if (!document)
    return {};
  if (!memoEdited(memo)) {
    const QByteArray bytes = memo->property(bytesProperty).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  QString text = document->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return fromQString(text);
}

MemoPosition memoCursorPosition(const QWidget *memo) {
  QTextCursor cursor;
  if (auto *plain = qobject_cast<const QPlainTextEdit *>(memo))
    cursor = plain->textCursor();
  else if (auto *rich = qobject_cast<const QTextEdit *>(memo))
    cursor = rich->textCursor();
  else
    return {};
  return {cursor.blockNumber() + 1, cursor.positionInBlock() + 1};
}

MemoSize memoSize(const QWidget *memo) {
  const QTextDocument *document = memoDocument(memo);
  if (!document)
    return {};
  MemoSize size;
  const int blocks = document->blockCount();
  if (!memoEdited(memo))
    size.length = memo->property(bytesProperty).toByteArray().size();
  else
    size.length = document->characterCount() - 1 + (blocks - 1);
  size.lines = blocks;
  if (document->lastBlock().length() <= 1)
    --size.lines;
  return size;
}

MemoStatusBar::MemoStatusBar(QWidget *parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  for (int i = 0; i < 2; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setObjectName(QStringLiteral("panel%1").arg(i));
    panels_[i]->setMinimumWidth(i == 0 ? 140 : 180);
    addWidget(panels_[i], i == 0 ? 0 : 1);
  }
}

QString MemoStatusBar::panelText(int panel) const {
  return panel >= 0 && panel < 2 ? panels_[panel]->text() : QString();
}

void MemoStatusBar::setPanelText(int panel, const QString &text) {
  if (panel >= 0 && panel < 2)
    panels_[panel]->setText(text);
}

void UpdateMemoCursorPos(const QWidget *memo, MemoStatusBar *status) {
  if (!status)
    return;
  const MemoPosition position = memoCursorPosition(memo);
  status->setPanelText(
      0, toQString(translateFormat(4760, "Line %d, Column %d", {position.line, position.column})));
}

void UpdateMemoSize(const QWidget *memo, MemoStatusBar *status, int messageId) {
  if (!status)
    return;
  const MemoSize size = memoSize(memo);
  status->setPanelText(
      1, toQString(translateFormat(messageId, "Length: %d  Lines: %d", {size.length, size.lines})));
}

void UpdateMemoPosAndSize(const QWidget *memo, MemoStatusBar *status) {
  UpdateMemoCursorPos(memo, status);
  UpdateMemoSize(memo, status);
}

void bindMemoStatus(QWidget *memo, MemoStatusBar *status) {
  auto update = [memo, status] { UpdateMemoPosAndSize(memo, status); };
  auto position = [memo, status] { UpdateMemoCursorPos(memo, status); };
  if (auto *plain = qobject_cast<QPlainTextEdit *>(memo)) {
    QObject::connect(plain, &QPlainTextEdit::textChanged, status, update);
    QObject::connect(plain, &QPlainTextEdit::cursorPositionChanged, status, position);
  } else if (auto *rich = qobject_cast<QTextEdit *>(memo)) {
    QObject::connect(rich, &QTextEdit::textChanged, status, update);
    QObject::connect(rich, &QTextEdit::cursorPositionChanged, status, position);
  }
  update();
}

} // namespace marrowen

namespace marrowen {

PreparedMemoText prepareMemoText(std::string bytes, std::string_view sourceName,
                                 QThread *memoThread, const QFont &font) {
  PreparedMemoText prepared;
  const MemoText shown = memoTextWithoutNulls(sourceName, bytes);
  if (shown.nullsRemoved)
    prepared.warning = toQString(shown.warning);
  prepared.document = std::make_unique<QTextDocument>();
  prepared.document->setDefaultFont(font);
  prepared.document->setDocumentLayout(new QPlainTextDocumentLayout(prepared.document.get()));
  prepared.document->setPlainText(shownText(shown));
  prepared.document->moveToThread(memoThread);
  prepared.bytes = std::move(bytes);
  return prepared;
}

QString adoptMemoDocument(QPlainTextEdit *memo, PreparedMemoText prepared) {
  QTextDocument *document = prepared.document.release();
  document->setParent(memo);
  // The memo's own first document goes with setDocument; an adopted one is ours to free.
  QTextDocument *old = memo->document();
  const bool adopted = old && old->parent() == memo;
  memo->setProperty(bytesProperty, QByteArray(prepared.bytes.data(),
                                              static_cast<qsizetype>(prepared.bytes.size())));
  memo->setDocument(document);
  document->setModified(false);
  if (adopted)
    old->deleteLater();
  // A new document sends no change of its own.
  emit memo->textChanged();
  return prepared.warning;
}

} // namespace marrowen

#pragma once

#include <QByteArray>
#include <QFont>
#include <QStatusBar>
#include <QString>
#include <QTextDocument>

#include <functional>
#include <memory>

#include <string>
#include <string_view>

class QLabel;
class QPlainTextEdit;
class QThread;
class QTextDocument;
class QWidget;

namespace marrowen {

// A multi-line control (QPlainTextEdit, or QTextEdit kept to plain text)
// bound to bytes: it shows them with CR LF, LF and CR all as line breaks
// (valid UTF-8 as its characters, other bytes through the code page) and
// hands the very bytes back until the user edits it; after an edit it hands
// back its text in UTF-8 with LF breaks, as a line break is typed here. A memo stops at a NUL, so
// NULs are left out of what is shown; the warning saying so is returned (empty when there were
// none). `sourceName` names the text in that warning.
QString setMemoBytes(QWidget *memo, std::string_view bytes, std::string_view sourceName = {});
std::string memoBytes(const QWidget *memo);
// A memo's text (as QTextDocument::toPlainText gives it) as stored: every
// break LF, in UTF-8. Safe on any thread.
std::string memoTextBytes(const QString &text);
// A long text made ready for a plain-text memo on another thread: the
// document holds what setMemoBytes would show, laid out in the memo's
// `font`, and belongs to `memoThread`.
// The memo takes it on its own thread with adoptMemoDocument, which gives
// back the warning about NULs (empty when there were none).
struct PreparedMemoText {
  std::unique_ptr<QTextDocument> document;
  QByteArray bytes;
  QString warning;
  // How many of `bytes` the document shows (-1: all). The rest is placed by
  // adoptMemoDocument; `endsInCr` says the shown part ends in a CR, so an LF
  // starting the rest belongs to that break.
  qsizetype shown = -1;
  bool endsInCr = false;
};
PreparedMemoText prepareMemoText(std::string bytes, std::string_view sourceName,
                                 QThread *memoThread, const QFont &font);
// When the document shows only the start of its text, the memo shows it at
// once and takes the rest a slice at a time between events, read-only
// meanwhile. `ended` runs when the memo stops taking the text: with true
// once the whole text is in (at once when nothing was left), with false when
// the memo was given another text first or `keepGoing` said no; then the
// memo keeps the part it shows, and that part becomes its bytes.
QString adoptMemoDocument(QPlainTextEdit *memo, PreparedMemoText prepared,
                          std::function<void(bool whole)> ended = {},
                          std::function<bool()> keepGoing = {});

// Builds a plain-text memo's document on a thread of its own from bytes that
// arrive in pieces (a job's output). A document takes a long text more slowly
// than a job makes it, so at `finish` the builder stops where it is and hands
// over what it has made: the memo shows that at once and places the rest
// itself (adoptMemoDocument). Pieces come from any one thread; a builder
// dropped unfinished stops and frees what it made.
class MemoDocumentBuilder {
public:
  MemoDocumentBuilder(QThread *memoThread, const QFont &font);
  ~MemoDocumentBuilder();
  MemoDocumentBuilder(const MemoDocumentBuilder &) = delete;
  MemoDocumentBuilder &operator=(const MemoDocumentBuilder &) = delete;

  void append(std::string_view bytes);
  // No more pieces: `bytes` is their whole. `ready` gets the text made so far
  // on the memo's thread, unless `context` is gone by then.
  void finish(std::string bytes, std::string_view sourceName, QObject *context,
              std::function<void(PreparedMemoText)> ready);
  void cancel();

private:
  struct State;
  std::shared_ptr<State> state_;
};

// Whether the memo's text is no longer the bytes it was given.
bool memoEdited(const QWidget *memo);
// The memo's document; null for a control that is not a memo.
QTextDocument *memoDocument(const QWidget *memo);

// The caret's line and column, both from 1.
struct MemoPosition {
  int line = 1;
  int column = 1;
};
MemoPosition memoCursorPosition(const QWidget *memo);
// The text's length in characters as the user reads it, and its number of
// lines (a break at the very end starts none). A character is one whether
// typed or given: the bytes a memo was given count a valid UTF-8 sequence as
// one and every other byte as one; an edited text counts each character it
// shows as one, a line break too (it is stored as one LF). A line end is one,
// a given CR LF as much as LF. The counts come from the document's own and a
// count kept for each line, so a key typed in a long text costs little.
struct MemoSize {
  long long length = 0;
  int lines = 0;
};
MemoSize memoSize(const QWidget *memo);

// The two panels under a memo: the caret's position, and the text's length
// and lines.
class MemoStatusBar : public QStatusBar {
  Q_OBJECT
public:
  explicit MemoStatusBar(QWidget *parent = nullptr);
  QString panelText(int panel) const;
  void setPanelText(int panel, const QString &text);

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  void placePanels();
  QLabel *panels_[2];
};

// Panel 0 := "Line %d, Column %d" (4760).
void UpdateMemoCursorPos(const QWidget *memo, MemoStatusBar *status);
// Panel 1 := "Length: %d  Lines: %d" (message `messageId`, 4770 unless a
// caller has its own).
void UpdateMemoSize(const QWidget *memo, MemoStatusBar *status, int messageId = 4770);
void UpdateMemoPosAndSize(const QWidget *memo, MemoStatusBar *status);

// Keeps a memo's panels current: every change of the text updates both,
// every move of the caret (keys, mouse) the position.
void bindMemoStatus(QWidget *memo, MemoStatusBar *status);

} // namespace marrowen

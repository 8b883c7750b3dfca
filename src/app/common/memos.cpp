#include "app/common/memos.h"

#include "classlib/codepage.h"
#include "classlib/scopeexit.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <QTextBlockUserData>
#include <QTextCursor>
#include <QTextEdit>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>

namespace marrowen {

namespace {

// What this file keeps beside a memo (as the memo's child, so that any code
// holding the control can hand back the bytes it was given).
class MemoBinding : public QObject {
public:
  // The memo's binding, made on first need; making it watches the memo's
  // changes.
  static MemoBinding &of(QWidget *memo);
  // Null when the memo was never given bytes nor watched.
  static MemoBinding *find(const QWidget *memo);

  // The bytes the memo was given; none once its text changed otherwise.
  std::optional<QByteArray> bytes;
  // Their characters, counted once for the bytes at `counted` (the length
  // panel asks again at every slice of a long text shown).
  long long characters = 0;
  std::pair<const char *, qsizetype> counted{nullptr, -1};
  // Counts the texts the memo is given, so that the filling of an older one stops.
  int text = 0;
  // While the memo takes the rest of a text: whether it was read-only before.
  std::optional<bool> fillingWasReadOnly;
  // Raised while this file changes the memo's text: any other change
  // (typing, clear(), an insertion from code) lets go of the bytes given, so
  // they are never handed back for a text they no longer match.
  int writing = 0;

private:
  explicit MemoBinding(QWidget *memo);
};

MemoBinding *MemoBinding::find(const QWidget *memo) {
  for (QObject *child : memo->children())
    if (auto *binding = dynamic_cast<MemoBinding *>(child))
      return binding;
  return nullptr;
}

void endFilling(QWidget *memo) {
  MemoBinding *binding = MemoBinding::find(memo);
  if (!binding || !binding->fillingWasReadOnly)
    return;
  const bool wasReadOnly = *binding->fillingWasReadOnly;
  binding->fillingWasReadOnly.reset();
  if (auto *plain = qobject_cast<QPlainTextEdit *>(memo)) {
    plain->setReadOnly(wasReadOnly);
    plain->document()->setUndoRedoEnabled(true);
  }
}

// A memo is given a new text: any filling of the old one stops.
int newMemoText(QWidget *memo) {
  endFilling(memo);
  return ++MemoBinding::of(memo).text;
}

MemoBinding::MemoBinding(QWidget *memo) : QObject(memo) {
  auto changed = [this, memo] {
    if (writing == 0) {
      bytes.reset();
      newMemoText(memo);
    }
  };
  if (auto *plain = qobject_cast<QPlainTextEdit *>(memo))
    QObject::connect(plain, &QPlainTextEdit::textChanged, this, changed);
  else if (auto *rich = qobject_cast<QTextEdit *>(memo))
    QObject::connect(rich, &QTextEdit::textChanged, this, changed);
}

MemoBinding &MemoBinding::of(QWidget *memo) {
  if (MemoBinding *binding = find(memo))
    return *binding;
  return *new MemoBinding(memo);
}

void watchMemo(QWidget *memo) { MemoBinding::of(memo); }

[[nodiscard]] auto writingMemo(QWidget *memo) {
  MemoBinding &binding = MemoBinding::of(memo);
  ++binding.writing;
  return ScopeExit{[&binding] { --binding.writing; }};
}

// The text a memo shows for `bytes`: NULs left out, each of CR LF, LF and
// CR one break, a valid UTF-8 sequence its character and every other byte
// the code page's. One pass, as a long trial text is shown whole.
QString shownText(std::string_view bytes) {
  const CodePage &page = *systemCodePage();
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  char16_t *const start = reinterpret_cast<char16_t *>(text.data());
  char16_t *out = start;
  const auto *in = reinterpret_cast<const unsigned char *>(bytes.data());
  const std::size_t size = bytes.size();
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = in[i];
    char32_t cp;
    std::size_t n;
    if (c == '\r') {
      *out++ = u'\n';
      if (i + 1 < size && bytes[i + 1] == '\n')
        ++i;
    } else if (c < 0x80 || !(n = utf8::decodeSequence(in + i, size - i, cp))) {
      if (c != 0)
        *out++ = page.toUnicode(c);
    } else if (cp >= 0x10000) {
      // Four bytes: two code units fit.
      *out++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      i += n - 1;
    } else {
      *out++ = static_cast<char16_t>(cp);
      i += n - 1;
    }
  }
  text.truncate(out - start);
  return text;
}

// Appends `bytes` where `cursor` stands as a memo shows them and returns how
// many it showed: unless they are the `last` of the text, a character the
// bytes after them may complete waits for those. `endsInCr` carries a CR that
// ended the bytes before, so that a CR LF cut between two pieces is still
// one break.
std::size_t appendShownText(QTextCursor &cursor, std::string_view bytes, bool &endsInCr,
                            bool last) {
  std::size_t skipped = 0;
  if (endsInCr && !bytes.empty() && bytes.front() == '\n') {
    bytes.remove_prefix(1);
    skipped = 1;
  }
  if (!last)
    bytes.remove_suffix(utf8::incompleteTail(bytes));
  endsInCr = !bytes.empty() && bytes.back() == '\r';
  cursor.insertText(shownText(bytes));
  return skipped + bytes.size();
}

// The warning about NULs left out of `bytes`; empty when there were none.
QString nullWarning(std::string_view sourceName, std::string_view bytes) {
  if (std::memchr(bytes.data(), 0, bytes.size()) == nullptr)
    return {};
  const MemoText shown = memoTextWithoutNulls(sourceName, bytes);
  return shown.nullsRemoved ? toQString(shown.warning) : QString();
}

} // namespace

std::string memoTextBytes(const QString &text) {
  const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
  const std::size_t size = static_cast<std::size_t>(text.size());
  // A line break typed is the system's own, LF. At most three bytes of
  // UTF-8 for a code unit (a pair takes four for two).
  std::string bytes(3 * size, '\0');
  char *out = bytes.data();
  for (std::size_t i = 0; i < size; ++i) {
    char32_t u = units[i];
    if (u < 0x80) {
      *out++ = static_cast<char>(u);
    } else if (u < 0x800) {
      *out++ = static_cast<char>(0xC0 | (u >> 6));
      *out++ = static_cast<char>(0x80 | (u & 0x3F));
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      if (u <= 0xDBFF && i + 1 < size && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        const char32_t cp = 0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00);
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        *out++ = '?'; // half a pair is no character
      }
    } else {
      *out++ = static_cast<char>(0xE0 | (u >> 12));
      *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return bytes;
}

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
  const QString text = shownText(bytes);
  const QByteArray stored(bytes.data(), static_cast<qsizetype>(bytes.size()));
  auto *plain = qobject_cast<QPlainTextEdit *>(memo);
  // Emptying a long document block by block costs more than making a new
  // one, and a document no control shows is filled without laying it out.
  constexpr int longDocument = 1000;
  if (plain &&
      (document->blockCount() > longDocument || text.size() > qsizetype(longDocument) * 64)) {
    auto fresh = std::make_unique<QTextDocument>();
    fresh->setDefaultFont(document->defaultFont());
    fresh->setDefaultTextOption(document->defaultTextOption());
    fresh->setDocumentMargin(document->documentMargin());
    fresh->setDocumentLayout(new QPlainTextDocumentLayout(fresh.get()));
    fresh->setPlainText(text);
    PreparedMemoText prepared;
    prepared.document = std::move(fresh);
    prepared.bytes = stored;
    adoptMemoDocument(plain, std::move(prepared));
    return nullWarning(sourceName, bytes);
  }
  newMemoText(memo);
  const auto writing = writingMemo(memo);
  MemoBinding::of(memo).bytes = stored;
  if (plain)
    plain->setPlainText(text);
  else if (auto *rich = qobject_cast<QTextEdit *>(memo))
    rich->setPlainText(text);
  // The NULs left out are a change the user has not made: the bytes given
  // stay what is handed back.
  document->setModified(false);
  return nullWarning(sourceName, bytes);
}

bool memoEdited(const QWidget *memo) {
  const QTextDocument *document = memoDocument(memo);
  if (!document)
    return false;
  const MemoBinding *binding = MemoBinding::find(memo);
  if (!binding || !binding->bytes)
    return true;
  // While this file writes the bytes given, the document counts as modified
  // until it is done; the text is the bytes all the same.
  return binding->writing == 0 && document->isModified();
}

std::string memoBytes(const QWidget *memo) {
  const QTextDocument *document = memoDocument(memo);
  if (!document)
    return {};
  if (!memoEdited(memo)) {
    const QByteArray &bytes = *MemoBinding::find(memo)->bytes;
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  return memoTextBytes(document->toPlainText());
}

namespace {

// The characters of `text` beyond the Basic Multilingual Plane: each takes
// two units of UTF-16.
long long surrogatePairs(const QString &text) {
  long long pairs = 0;
  for (qsizetype i = 0; i + 1 < text.size(); ++i)
    if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate())
      ++pairs, ++i;
  return pairs;
}

} // namespace

MemoPosition memoCursorPosition(const QWidget *memo) {
  QTextCursor cursor;
  if (auto *plain = qobject_cast<const QPlainTextEdit *>(memo))
    cursor = plain->textCursor();
  else if (auto *rich = qobject_cast<const QTextEdit *>(memo))
    cursor = rich->textCursor();
  else
    return {};
  // A character beyond the Basic Multilingual Plane is one column, though
  // two units of the document.
  const QString before = cursor.block().text().left(cursor.positionInBlock());
  return {cursor.blockNumber() + 1,
          cursor.positionInBlock() + 1 - static_cast<int>(surrogatePairs(before))};
}

namespace {

// The characters beyond the Basic Multilingual Plane in a document, two
// UTF-16 units each but one character. Each block keeps its own count,
// made again when its text changes, so a key typed in a long text recounts
// its own line only.
class PairCount : public QObject {
public:
  static long long of(const QTextDocument *document) {
    for (QObject *child : document->children())
      if (auto *count = dynamic_cast<PairCount *>(child))
        return *count->total_;
    return *(new PairCount(const_cast<QTextDocument *>(document)))->total_;
  }

private:
  // A block's count, kept in the total while the block lives.
  struct BlockPairs : QTextBlockUserData {
    BlockPairs(long long pairs, std::shared_ptr<long long> total)
        : pairs(pairs), total(std::move(total)) {
      *this->total += pairs;
    }
    ~BlockPairs() override { *total -= pairs; }
    long long pairs;
    std::shared_ptr<long long> total;
  };

  explicit PairCount(QTextDocument *document) : QObject(document) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
      recount(block);
    connect(document, &QTextDocument::contentsChange, this,
            [this, document](int from, int, int added) {
              const QTextBlock last = document->findBlock(from + added);
              for (QTextBlock block = document->findBlock(from); block.isValid();
                   block = block.next()) {
                recount(block);
                if (block == last)
                  break;
              }
            });
  }

  void recount(QTextBlock block) {
    // The old count leaves the total.
    block.setUserData(new BlockPairs(surrogatePairs(block.text()), total_));
  }

  std::shared_ptr<long long> total_ = std::make_shared<long long>(0);
};

} // namespace

MemoSize memoSize(const QWidget *memo) {
  const QTextDocument *document = memoDocument(memo);
  if (!document)
    return {};
  MemoSize size;
  const int blocks = document->blockCount();
  if (!memoEdited(memo)) {
    MemoBinding &binding = *MemoBinding::find(memo);
    const QByteArray &bytes = *binding.bytes;
    if (binding.counted != std::pair(bytes.constData(), bytes.size())) {
      const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
      // A CR LF is one line end, as a lone LF or CR is.
      long long lineEndPairs = 0;
      for (std::size_t at = text.find("\r\n"); at != std::string_view::npos;
           at = text.find("\r\n", at + 2))
        ++lineEndPairs;
      binding.characters = static_cast<long long>(utf8::characterCount(text)) - lineEndPairs;
      binding.counted = {bytes.constData(), bytes.size()};
    }
    size.length = binding.characters;
  } else {
    size.length = document->characterCount() - 1 - PairCount::of(document);
  }
  size.lines = blocks;
  if (document->lastBlock().length() <= 1)
    --size.lines;
  return size;
}

// Where there is room the caret's position keeps the width it was designed
// with.
constexpr int positionPanelWidth = 140;

namespace {

// A panel narrower than its text ends it with an ellipsis and tells it whole
// as its tip, so that a number is never read with digits silently missing.
// It asks for no width of its own: the memo above it, not its text, sets
// how wide the bar is.
class StatusPanel : public QLabel {
public:
  explicit StatusPanel(QWidget *parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  int wantedWidth() const {
    const QMargins margins = contentsMargins();
    // Eliding measures the text in fractions of a pixel: a width rounded
    // down would cut the last digit off a text that all but fits.
    const int advance =
        static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(text()))) + 1;
    return advance + margins.left() + margins.right() + 2 * margin();
  }
  QString shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width() - 2 * margin());
  }
  void fit(const QRect &place) {
    setGeometry(place);
    setVisible(place.width() > 0);
    setToolTip(shownText() == text() ? QString() : text());
    update();
  }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect().adjusted(margin(), margin(), -margin(), -margin()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
  }
};

} // namespace

MemoStatusBar::MemoStatusBar(QWidget *parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  // Placed by the bar itself, not its layout, which would make the bar as
  // wide as both texts and so push the memo wider than its half.
  for (int i = 0; i < 2; ++i) {
    panels_[i] = new StatusPanel(this);
    panels_[i]->setObjectName(QStringLiteral("panel%1").arg(i));
  }
}

void MemoStatusBar::resizeEvent(QResizeEvent *event) {
  QStatusBar::resizeEvent(event);
  placePanels();
}

// The counts are shown whole first; the caret's position takes what is left.
void MemoStatusBar::placePanels() {
  auto *position = static_cast<StatusPanel *>(panels_[0]);
  auto *size = static_cast<StatusPanel *>(panels_[1]);
  const QRect area = contentsRect().adjusted(2, 0, -2, 0);
  const int gap = 6;
  const int width = std::max(area.width(), 0);
  int positionWidth = std::clamp(width - size->wantedWidth() - gap, 0,
                                 std::max(positionPanelWidth, position->wantedWidth()));
  // A sliver would show an ellipsis alone.
  if (positionWidth < fontMetrics().averageCharWidth() * 4)
    positionWidth = 0;
  const int sizeLeft = positionWidth > 0 ? positionWidth + gap : 0;
  position->fit(QRect(area.left(), area.top(), positionWidth, area.height()));
  size->fit(
      QRect(area.left() + sizeLeft, area.top(), std::max(width - sizeLeft, 0), area.height()));
}

QString MemoStatusBar::panelText(int panel) const {
  return panel >= 0 && panel < 2 ? panels_[panel]->text() : QString();
}

void MemoStatusBar::setPanelText(int panel, const QString &text) {
  if (panel < 0 || panel >= 2)
    return;
  if (panels_[panel]->text() == text)
    return;
  panels_[panel]->setText(text);
  placePanels();
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
  // An edit must let go of the bytes given before the panels count them.
  watchMemo(memo);
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
  prepared.warning = nullWarning(sourceName, bytes);
  prepared.document = std::make_unique<QTextDocument>();
  prepared.document->setDefaultFont(font);
  prepared.document->setDocumentLayout(new QPlainTextDocumentLayout(prepared.document.get()));
  prepared.document->setPlainText(shownText(bytes));
  // Each block's layout object made here is one the memo need not make when
  // it takes the document.
  for (QTextBlock block = prepared.document->begin(); block.isValid(); block = block.next())
    block.layout();
  prepared.document->moveToThread(memoThread);
  prepared.bytes = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return prepared;
}

namespace {

// The rest of a text a memo shows the start of, placed a slice at a time.
struct MemoFilling {
  QPointer<QPlainTextEdit> memo;
  QPointer<QTextDocument> document;
  QByteArray bytes;
  qsizetype shown = 0;
  bool endsInCr = false;
  int text = 0;
  qsizetype slice = 64 << 10;
  std::function<void(bool whole)> ended;
  std::function<bool()> keepGoing;
};

void fillMemo(const std::shared_ptr<MemoFilling> &filling) {
  QPlainTextEdit *memo = filling->memo;
  if (!memo || !filling->document || MemoBinding::of(memo).text != filling->text) {
    if (filling->ended)
      filling->ended(false);
    return;
  }
  const auto writing = writingMemo(memo);
  if (filling->keepGoing && !filling->keepGoing()) {
    MemoBinding::of(memo).bytes = filling->bytes.left(filling->shown);
    endFilling(memo);
    emit memo->textChanged();
    if (filling->ended)
      filling->ended(false);
    return;
  }
  QElapsedTimer timer;
  timer.start();
  const qsizetype end = std::min(filling->bytes.size(), filling->shown + filling->slice);
  QTextCursor cursor(filling->document);
  cursor.movePosition(QTextCursor::End);
  filling->shown += static_cast<qsizetype>(
      appendShownText(cursor,
                      std::string_view(filling->bytes.constData() + filling->shown,
                                       static_cast<std::size_t>(end - filling->shown)),
                      filling->endsInCr, end == filling->bytes.size()));
  filling->document->setModified(false);
  // Slices of about 15 ms keep the window answering.
  const qint64 spent = std::max<qint64>(timer.nsecsElapsed(), 1);
  filling->slice = std::clamp<qsizetype>(filling->slice * 15'000'000 / spent, 16 << 10, 1 << 20);
  if (filling->shown < filling->bytes.size()) {
    QTimer::singleShot(0, memo, [filling] { fillMemo(filling); });
    return;
  }
  endFilling(memo);
  if (filling->ended)
    filling->ended(true);
}

} // namespace

QString adoptMemoDocument(QPlainTextEdit *memo, PreparedMemoText prepared,
                          std::function<void(bool whole)> ended, std::function<bool()> keepGoing) {
  QTextDocument *document = prepared.document.release();
  document->setParent(memo);
  // The memo's own first document goes with setDocument; an adopted one is ours to free.
  QTextDocument *old = memo->document();
  const bool adopted = old && old->parent() == memo;
  const int text = newMemoText(memo);
  const auto writing = writingMemo(memo);
  MemoBinding::of(memo).bytes = prepared.bytes;
  memo->setDocument(document);
  document->setModified(false);
  if (adopted)
    old->deleteLater();
  const bool whole = prepared.shown < 0 || prepared.shown >= prepared.bytes.size();
  if (whole) {
    document->setUndoRedoEnabled(true);
  } else {
    auto filling = std::make_shared<MemoFilling>();
    filling->memo = memo;
    filling->document = document;
    filling->bytes = prepared.bytes;
    filling->shown = prepared.shown;
    filling->endsInCr = prepared.endsInCr;
    filling->text = text;
    filling->ended = std::move(ended);
    filling->keepGoing = std::move(keepGoing);
    MemoBinding::of(memo).fillingWasReadOnly = memo->isReadOnly();
    memo->setReadOnly(true);
    document->setUndoRedoEnabled(false);
    QTimer::singleShot(0, memo, [filling] { fillMemo(filling); });
  }
  // A new document sends no change of its own.
  emit memo->textChanged();
  if (whole && ended)
    ended(true);
  return prepared.warning;
}

struct MemoDocumentBuilder::State {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::string> pieces;
  bool finished = false;
  bool cancelled = false;
  std::string whole;
  std::string sourceName;
  QPointer<QObject> context;
  std::function<void(PreparedMemoText)> ready;
};

MemoDocumentBuilder::MemoDocumentBuilder(QThread *memoThread, const QFont &font)
    : state_(std::make_shared<State>()) {
  QThreadPool::globalInstance()->start([state = state_, memoThread, font] {
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(font);
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    // Slices short enough that `finish` finds the document soon.
    constexpr std::size_t slice = 256 << 10;
    std::string piece, waiting;
    std::size_t pieceAt = 0, shown = 0;
    bool endsInCr = false;
    for (;;) {
      {
        std::unique_lock lock(state->mutex);
        if (pieceAt == piece.size()) {
          state->wake.wait(
              lock, [&] { return state->cancelled || state->finished || !state->pieces.empty(); });
          if (!state->cancelled && !state->finished) {
            // All that waits is taken at once: each insertion has a cost of its
            // own. A character the last piece began goes first.
            piece.swap(waiting);
            waiting.clear();
            for (; !state->pieces.empty(); state->pieces.pop_front())
              piece += state->pieces.front();
            pieceAt = 0;
          }
        }
        if (state->cancelled)
          return;
        if (state->finished)
          break;
      }
      const std::string_view bytes = std::string_view(piece).substr(pieceAt, slice);
      const bool toPieceEnd = pieceAt + bytes.size() == piece.size();
      QTextBlock from = document->lastBlock();
      const std::size_t showed = appendShownText(cursor, bytes, endsInCr, false);
      pieceAt += showed;
      shown += showed;
      if (toPieceEnd && pieceAt < piece.size()) {
        // A character cut at the piece's end waits for the next piece.
        waiting.assign(piece, pieceAt);
        pieceAt = piece.size();
      }
      // Layout objects made here are ones the memo need not make.
      for (; from.isValid(); from = from.next())
        from.layout();
    }
    PreparedMemoText prepared;
    prepared.bytes = QByteArray(state->whole.data(), static_cast<qsizetype>(state->whole.size()));
    prepared.warning = nullWarning(state->sourceName, state->whole);
    prepared.shown = static_cast<qsizetype>(std::min(shown, state->whole.size()));
    prepared.endsInCr = endsInCr;
    std::string().swap(state->whole);
    document->moveToThread(memoThread);
    prepared.document = std::move(document);
    auto shared = std::make_shared<PreparedMemoText>(std::move(prepared));
    QMetaObject::invokeMethod(
        qApp,
        [state, shared] {
          if (state->context)
            state->ready(std::move(*shared));
        },
        Qt::QueuedConnection);
  });
}

MemoDocumentBuilder::~MemoDocumentBuilder() {
  std::lock_guard lock(state_->mutex);
  if (!state_->finished) {
    state_->cancelled = true;
    state_->wake.notify_all();
  }
}

void MemoDocumentBuilder::append(std::string_view bytes) {
  if (bytes.empty())
    return;
  std::lock_guard lock(state_->mutex);
  state_->pieces.emplace_back(bytes);
  state_->wake.notify_all();
}

void MemoDocumentBuilder::finish(std::string bytes, std::string_view sourceName, QObject *context,
                                 std::function<void(PreparedMemoText)> ready) {
  std::lock_guard lock(state_->mutex);
  state_->whole = std::move(bytes);
  state_->sourceName = sourceName;
  state_->context = context;
  state_->ready = std::move(ready);
  state_->finished = true;
  state_->wake.notify_all();
}

void MemoDocumentBuilder::cancel() {
  std::lock_guard lock(state_->mutex);
  state_->cancelled = true;
  state_->wake.notify_all();
}

} // namespace marrowen

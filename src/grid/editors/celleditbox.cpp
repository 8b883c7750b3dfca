// The text cells' editor: its lines laid out and scrolled, caret and
// selection, text changes with their undo and the clipboard, keys, mouse and
// drawing.

#include "grid/editors/celleditors.h"

#include "classlib/utf8.h"
#include "grid/data/basegridtypes.h"
#include "grid/data/celltext.h"
#include "grid/data/gridutils.h"
#include "grid/data/qtbytes.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QPainter>

#include <algorithm>

namespace marrowen {

namespace {

bool isBreakByte(char c) { return c == '\r' || c == '\n'; }

// Every bare carriage return gets its line feed; one already followed by a
// line feed stays as it is, so text copied from a grid pastes unchanged.
std::string withLineFeeds(const std::string &text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
      out += '\n';
  }
  return out;
}

bool isWordSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

// ------------------------------------------------------------ the text editor

TdgGridEditBox::TdgGridEditBox(QWidget *parent) : TdgGridControl(parent) {
  setCursor(Qt::IBeamCursor);
  FLineStarts.Add(0);
  QObject::connect(&FCaretTimer, &QTimer::timeout, this, [this] {
    FCaretOn = !FCaretOn;
    update(QRect(FCaretPoint, QSize(2, Metrics().TextHeight())));
  });
  FMouseScrollTimer.setInterval(50);
  QObject::connect(&FMouseScrollTimer, &QTimer::timeout, this, [this] {
    if (FMouseSelecting)
      MouseMove(TShiftState(ssLeft), FMouseX, FMouseY);
    else
      FMouseScrollTimer.stop();
  });
}

TdgGridEditBox::~TdgGridEditBox() = default;

const PainterTextMetrics &TdgGridEditBox::Metrics() const {
  if (!FMetrics || FMetricsShowNames != ShowsFileNames()) {
    FMetrics = std::make_unique<PainterTextMetrics>(font(), ShowsFileNames());
    FMetricsShowNames = ShowsFileNames();
  }
  return *FMetrics;
}

void TdgGridEditBox::SetHorzAlignment(TdgHorzAlignment value) {
  if (value == htaDefault)
    value = htaLeft;
  if (value == FHorzAlignment)
    return;
  FHorzAlignment = value;
  Layout();
  PlaceCaret();
  update();
}

void TdgGridEditBox::SetVertAlignment(TdgVertAlignment value) {
  if (value == FVertAlignment)
    return;
  FVertAlignment = value;
  PlaceCaret();
  update();
}

void TdgGridEditBox::SetWordWrap(TdgWordWrap value) {
  if (value == FWordWrap)
    return;
  FWordWrap = value;
  Layout();
  ScrollCaretIntoView(0);
}

bool TdgGridEditBox::IsInputChar(char key) const {
  return key == 8 || static_cast<unsigned char>(key) >= 32;
}

// ------------------------------------------------------------------ layout

void TdgGridEditBox::Layout() {
  const PainterTextMetrics &m = Metrics();
  const int lineHeight = m.LineSpacing();
  const int usable = height() - m.ExtraSpacing();
  FMultiLine = FWordWrap != wwOff && lineHeight / 3 <= usable - lineHeight && WrapFits(m, height());
  FRightShift = FHorzAlignment != htaLeft && FHorzAlignment != htaCenter ? 1 : 0;
  if (FMultiLine) {
    BuildLineStarts(m, FText, height(), 0, FLineStarts, true, FHorzAlignment,
                    width() + FTextMargin);
  } else {
    FLineStarts.Clear();
    FLineStarts.Add(0);
  }
  FTopLine = std::clamp(FTopLine, 0, std::max(0, FLineStarts.Count() - 1));
  const int size = static_cast<int>(FText.size());
  FScrollStart = std::clamp(FScrollStart, 0, size);
  FScrollEnd = std::clamp(FScrollEnd, 0, size);
}

int TdgGridEditBox::LineEnd(int line) const {
  return line + 1 < FLineStarts.Count() ? FLineStarts.Get(line + 1)
                                        : static_cast<int>(FText.size());
}

int TdgGridEditBox::LineOf(int offset) const {
  const int count = FLineStarts.Count();
  for (int i = 0; i < count; ++i) {
    const int end = LineEnd(i);
    if (end < offset)
      continue;
    if (end == offset && i + 1 < count &&
        (FCaretPrefersNext || (offset > 0 && isBreakByte(FText[offset - 1]))))
      return i + 1;
    return i;
  }
  return std::max(0, count - 1);
}

int TdgGridEditBox::LineOriginX(int line) const {
  const TextMetrics &m = Metrics();
  const TRect r{-FTextMargin, 0, width(), height()};
  const std::string_view all(FText);
  if (FMultiLine) {
    const int start = FLineStarts.Get(line);
    std::string_view text = all.substr(start, LineEnd(line) - start);
    while (!text.empty() && isBreakByte(text.back()))
      text.remove_suffix(1);
    const int w = m.Width(text);
    if (FHorzAlignment == htaRight)
      return r.Right - (w + 1);
    if (FHorzAlignment == htaCenter)
      return std::max(r.Left + (r.Width() - w) / 2, 0);
    return 0;
  }
  if (FHorzAlignment == htaRight)
    return r.Right - 1 - TextWidthOf(m, all.substr(0, FScrollEnd), false, false);
  const int shown = TextWidthOf(m, all.substr(FScrollStart), false, false);
  int x = 0;
  if (FHorzAlignment == htaCenter) {
    const int half = (r.Width() - std::min(shown, r.Right)) / 2;
    x = half >= -r.Left ? r.Left + half : 0;
  }
  return x - TextWidthOf(m, all.substr(0, FScrollStart), false, false);
}

int TdgGridEditBox::XOf(int offset) const {
  return XOnLine(FMultiLine ? LineOf(offset) : 0, offset);
}

int TdgGridEditBox::XOnLine(int line, int offset) const {
  const TextMetrics &m = Metrics();
  const std::string_view all(FText);
  const int start = FLineStarts.Get(line);
  if (!FMultiLine && FHorzAlignment == htaRight)
    return width() - 1 -
           (offset <= FScrollEnd
                ? TextWidthOf(m, all.substr(offset, FScrollEnd - offset), false, false)
                : -TextWidthOf(m, all.substr(FScrollEnd, offset - FScrollEnd), false, false));
  if (!FMultiLine && FHorzAlignment == htaLeft) {
    if (offset >= FScrollStart)
      return TextWidthOf(m, all.substr(FScrollStart, offset - FScrollStart), false, false);
    return -TextWidthOf(m, all.substr(offset, FScrollStart - offset), false, false);
  }
  std::string_view before = all.substr(start, std::max(0, offset - start));
  while (FMultiLine && !before.empty() && isBreakByte(before.back()))
    before.remove_suffix(1);
  return LineOriginX(line) + TextWidthOf(m, before, false, false);
}

// The offset on a line nearest to x: a point at or right of a character's
// middle goes after it.
int TdgGridEditBox::OffsetAt(int line, int x) const {
  const int start = FMultiLine ? FLineStarts.Get(line) : 0;
  int end = FMultiLine ? LineEnd(line) : static_cast<int>(FText.size());
  while (FMultiLine && end > start && isBreakByte(FText[end - 1]) && line + 1 < LineCount())
    --end;
  int lo = start, hi = end;
  // The last offset whose x lies at or left of the point.
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    if (XOnLine(line, mid) <= x)
      lo = mid;
    else
      hi = mid - 1;
  }
  lo = std::max(start, CharStart(FText, static_cast<std::size_t>(lo)));
  if (lo < end) {
    const int next = StepRight(lo);
    const int left = XOnLine(line, lo), right = XOnLine(line, next);
    if (x >= left + (right - left) / 2 && right > left)
      return std::min(next, end);
  }
  return lo;
}

// The line shown at a client y: the lines stand where the vertical alignment
// puts the top line; a y above or below them names a line out of view.
int TdgGridEditBox::LineAtY(int y) const {
  const TextMetrics &m = Metrics();
  const int lineHeight = std::max(1, m.LineSpacing());
  const TRect r{-FTextMargin, 0, width(), height()};
  const int d = y - FirstLineTop(m, m.ExtraSpacing(), r, &FLineStarts, FVertAlignment);
  const int rows = d >= 0 ? d / lineHeight : -((-d + lineHeight - 1) / lineHeight);
  return std::clamp(FTopLine + rows, 0, std::max(0, LineCount() - 1));
}

void TdgGridEditBox::PlaceCaret() {
  const TextMetrics &m = Metrics();
  const int line = FMultiLine ? LineOf(FCaret) : 0;
  int y = 0;
  const TRect r{-FTextMargin, 0, width(), height()};
  if (FMultiLine) {
    y = FirstLineTop(m, m.ExtraSpacing(), r, &FLineStarts, FVertAlignment) +
        (line - FTopLine) * m.LineSpacing();
  } else if (FVertAlignment == vtaBottom) {
    y = r.Bottom - m.TextHeight();
  } else if (FVertAlignment == vtaCenter && r.Height() > m.TextHeight() + 1) {
    y = (r.Height() - m.TextHeight()) / 2;
  }
  FCaretPoint = QPoint(XOf(FCaret) - (FHorzAlignment == htaRight ? FRightShift : 0), y);
  FCaretOn = true;
}

void TdgGridEditBox::ScrollCaretIntoView(double fraction) {
  const TextMetrics &m = Metrics();
  const std::string_view all(FText);
  const int w = width();
  if (FMultiLine) {
    const int lineHeight = std::max(1, m.LineSpacing());
    const int line = LineOf(FCaret);
    PlaceCaret();
    while (FCaretPoint.y() + lineHeight > height() && FTopLine < line) {
      ++FTopLine;
      PlaceCaret();
    }
    while (FCaretPoint.y() < 0 && FTopLine > 0) {
      --FTopLine;
      PlaceCaret();
    }
  } else if (FHorzAlignment == htaRight) {
    const int size = static_cast<int>(all.size());
    const int x = XOf(FCaret);
    if (x >= w) {
      // The nearest end past the caret that brings it left of the margin.
      const int room = w - 1 - static_cast<int>((1 - fraction) * w);
      int lo = FCaret, hi = size;
      while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (TextWidthOf(m, all.substr(FCaret, mid - FCaret), false, false) > room)
          hi = mid;
        else
          lo = mid + 1;
      }
      FScrollEnd = lo;
    } else if (x < 0) {
      const int room = w - 1 - static_cast<int>(fraction * w);
      int lo = FCaret, hi = FScrollEnd;
      while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (TextWidthOf(m, all.substr(FCaret, mid - FCaret), false, false) <= room)
          lo = mid;
        else
          hi = mid - 1;
      }
      FScrollEnd = lo;
    }
  } else {
    const int overhang = m.Overhang();
    const int x = XOf(FCaret);
    if (x + overhang >= w && x > 0) {
      // The first start from which the caret lies short of the margin.
      const double limit = (1 - fraction) * w;
      int lo = FScrollStart, hi = FCaret;
      while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (TextWidthOf(m, all.substr(mid, FCaret - mid), false, false) + overhang < limit)
          hi = mid;
        else
          lo = mid + 1;
      }
      FScrollStart = lo;
    } else if (x < 0) {
      const double limit = fraction * w;
      int lo = 0, hi = std::min(FScrollStart, FCaret);
      // The last start at or before the caret that puts it at the margin.
      while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (TextWidthOf(m, all.substr(mid, FCaret - mid), false, false) >= limit)
          lo = mid;
        else
          hi = mid - 1;
      }
      FScrollStart = lo;
    }
  }
  PlaceCaret();
  update();
}

void TdgGridEditBox::Reset() {
  Layout();
  ScrollCaretIntoView(0);
}

// ------------------------------------------------------- caret and selection

int TdgGridEditBox::StepRight(int offset) const {
  if (offset >= static_cast<int>(FText.size()))
    return offset;
  return offset + std::max(1, CharLength(FText, static_cast<std::size_t>(offset)));
}

int TdgGridEditBox::StepLeft(int offset) const {
  if (offset <= 0)
    return 0;
  return offset - std::max(1, PrevCharLength(FText, static_cast<std::size_t>(offset)));
}

// Places and lengths count bytes, as the cell and the clipboard count them;
// the caret itself steps over whole characters.
int TdgGridEditBox::CharCount(int fromByte, int toByte) const {
  return std::max(0, toByte - fromByte);
}

int TdgGridEditBox::ByteOfChar(int charIndex) const {
  return std::clamp(charIndex, 0, static_cast<int>(FText.size()));
}

// The caret never stands inside a character: a place given in bytes (a
// point, a wrapped line's start, a selection set from code) goes back to
// the start of the character it falls in.
void TdgGridEditBox::SetCaret(int offset, bool extend) {
  offset = std::clamp(offset, 0, static_cast<int>(FText.size()));
  offset = CharStart(FText, static_cast<std::size_t>(offset));
  if (!extend)
    FAnchor = offset;
  FCaret = offset;
  FCaretPrefersNext = true;
  FSelStart = std::min(FAnchor, FCaret);
  FSelLength = std::abs(FCaret - FAnchor);
}

// A caret placed on a given line stays on it at the line's end rather than
// showing at the start of the next wrapped line.
void TdgGridEditBox::SetCaretOnLine(int line, int offset, bool extend) {
  SetCaret(offset, extend);
  FCaretPrefersNext = !(FMultiLine && line + 1 < LineCount() && FCaret == LineEnd(line));
}

std::string TdgGridEditBox::GetSelText() const { return FText.substr(FSelStart, FSelLength); }

void TdgGridEditBox::SelectAll() {
  const bool atEnd = !FMultiLine && FHorzAlignment == htaRight;
  const int size = static_cast<int>(FText.size());
  FAnchor = atEnd ? 0 : size;
  FCaret = atEnd ? size : 0;
  FSelStart = 0;
  FSelLength = size;
  ScrollCaretIntoView(0);
  FireSelChange(false);
}

void TdgGridEditBox::SetSelStart(int charIndex) {
  SetCaret(ByteOfChar(std::max(0, charIndex)), false);
  ScrollCaretIntoView(0);
}

void TdgGridEditBox::SetSelLength(int charCount) {
  const int end = ByteOfChar(CharCount(0, FSelStart) + std::max(0, charCount));
  FAnchor = FSelStart;
  FCaret = end;
  FSelLength = end - FSelStart;
  ScrollCaretIntoView(0);
}

int TdgGridEditBox::GetSelStart() const { return CharCount(0, FSelStart); }
int TdgGridEditBox::GetSelLength() const { return CharCount(FSelStart, FSelStart + FSelLength); }

// --------------------------------------------------------------- text changes

void TdgGridEditBox::SetText(const std::string &text) {
  if (!CanEdit(false))
    return;
  FText = text;
  FSavedText = text;
  FModified = false;
  FTopLine = 0;
  FScrollStart = 0;
  FScrollEnd = static_cast<int>(text.size());
  Layout();
  SetCaret(!FMultiLine && FHorzAlignment == htaRight ? static_cast<int>(text.size()) : 0, false);
  ScrollCaretIntoView(0);
  FireSelChange(true);
  FireChange(false, false, false);
}

void TdgGridEditBox::SetTextNotify(const std::string &text, bool flag) {
  if (!StartEdit(false))
    return;
  if (flag && (FEditable || FSelectable)) {
    if (!FModified) {
      FSavedText = FText;
      FModified = true;
    }
  } else {
    FModified = false;
  }
  FText = text;
  FTopLine = 0;
  FScrollStart = 0;
  FScrollEnd = static_cast<int>(text.size());
  Layout();
  SetCaret(!FMultiLine && FHorzAlignment == htaRight ? static_cast<int>(text.size()) : 0, false);
  FireSelChange(true);
  const int before = height();
  if (OnEditTextResized)
    OnEditTextResized(this, flag);
  if (height() != before)
    Layout();
  ScrollCaretIntoView(0);
  FireSelChange(true);
  FireChange(true, flag, false);
}

bool TdgGridEditBox::ChangeText(const std::string &insert, bool byUser, bool saveForUndo,
                                double fraction) {
  if (!StartEdit(byUser))
    return false;
  if (saveForUndo && !FModified) {
    FSavedText = FText;
    FModified = true;
  }
  const bool followEnd = FScrollEnd == static_cast<int>(FText.size());
  FText.replace(static_cast<std::size_t>(FSelStart), static_cast<std::size_t>(FSelLength), insert);
  if (followEnd || FScrollEnd > static_cast<int>(FText.size()))
    FScrollEnd = static_cast<int>(FText.size());
  Layout();
  SetCaret(FSelStart + static_cast<int>(insert.size()), false);
  FireSelChange(true);
  const int before = height();
  if (OnEditTextResized)
    OnEditTextResized(this, byUser);
  if (height() != before)
    Layout();
  ScrollCaretIntoView(fraction);
  return true;
}

bool TdgGridEditBox::InsertTyped(std::string text, bool byUser, bool checkLength) {
  text = withLineFeeds(text);
  if (checkLength && FMaxLength > 0) {
    // The limit counts characters, a UTF-8 letter one: "abcd" takes an "ä"
    // within 5. Each CR inserted brings its LF.
    const std::string_view current(FText);
    const std::size_t total =
        utf8::characterCount(current) -
        utf8::characterCount(current.substr(static_cast<std::size_t>(FSelStart),
                                            static_cast<std::size_t>(FSelLength))) +
        utf8::characterCount(text);
    if (total > static_cast<std::size_t>(FMaxLength))
      return false;
  }
  if (MaskCheck && !MaskCheck(FText, text, FSelStart + 1)) {
    bool accept = false;
    if (OnInvalidEditKey)
      OnInvalidEditKey(this, text, accept);
    if (!accept)
      return false;
  }
  return ChangeText(text, byUser, true, 0.25);
}

void TdgGridEditBox::ReplaceSel(const std::string &text) {
  if (text.empty() && FSelLength == 0)
    return;
  if (!ChangeText(text, false, false, 0.25))
    return;
  FireSelChange(true);
  FireChange(true, false, false);
}

void TdgGridEditBox::Undo() {
  if (!UndoAllowed(FModified))
    return;
  FText = FSavedText;
  FModified = false;
  FScrollEnd = static_cast<int>(FText.size());
  Layout();
  SetCaret(std::min(FCaret, static_cast<int>(FText.size())), false);
  ScrollCaretIntoView(0);
  FireSelChange(true);
}

void TdgGridEditBox::CopyToClipboard() {
  if (FSelLength > 0)
    QApplication::clipboard()->setText(bytesToQString(GetSelText()));
}

void TdgGridEditBox::CutToClipboard(bool byUser) {
  if (FSelLength == 0)
    return;
  CopyToClipboard();
  DeleteSelection(byUser);
}

void TdgGridEditBox::DeleteSelection(bool byUser) {
  if (FSelLength == 0 || !ChangeText({}, byUser, true, 0.25))
    return;
  FireSelChange(true);
  FireChange(true, byUser, false);
}

void TdgGridEditBox::PasteFromClipboard(bool byUser) {
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty())
    return;
  if (!InsertTyped(qStringToBytes(text), byUser, byUser))
    return;
  FireSelChange(true);
  FireChange(true, byUser, true);
}

// ----------------------------------------------------------------------- keys

void TdgGridEditBox::KeyDown(std::uint16_t &key, TShiftState shift) {
  TdgGridControl::KeyDown(key, shift);
  if (key == 0 || !(FEditable || FSelectable))
    return;
  const int oldCaret = FCaret, oldSelStart = FSelStart, oldSelLength = FSelLength;
  const std::string oldText = FText;
  const bool shiftDown = shift.has(ssShift);
  const bool ctrl = shift.has(ssCtrl);
  const bool alt = shift.has(ssAlt);
  const bool wholeSelected = FSelLength == static_cast<int>(FText.size()) && !shiftDown;
  bool inserted = false;
  bool consume = false;
  bool clipboardChange = false;
  // A move: consumed when the caret moved or the key repeats, and left for
  // the grid at an edge or with the whole text selected.
  auto move = [&](int target, double fraction, int line = -1) {
    if (wholeSelected && !FKeyRepeat)
      return;
    if (line >= 0)
      SetCaretOnLine(line, target, shiftDown);
    else
      SetCaret(target, shiftDown);
    ScrollCaretIntoView(fraction);
    consume = FCaret != oldCaret || FSelLength != oldSelLength || FKeyRepeat;
  };
  auto lineMove = [&](int lines) {
    if (!FMultiLine || LineCount() < 2) {
      move(FCaret, 0);
      return;
    }
    const int line = std::clamp(LineOf(FCaret) + lines, 0, LineCount() - 1);
    move(OffsetAt(line, XOf(FCaret)), 0, line);
  };
  auto lineStartEnd = [&](bool end) {
    const int line = FMultiLine ? LineOf(FCaret) : 0;
    int target = FMultiLine ? FLineStarts.Get(line) : 0;
    if (end) {
      target = FMultiLine ? LineEnd(line) : static_cast<int>(FText.size());
      while (FMultiLine && target > FLineStarts.Get(line) && isBreakByte(FText[target - 1]))
        --target;
    }
    SetCaretOnLine(line, target, shiftDown);
    ScrollCaretIntoView(0);
    consume = true;
  };
  auto deleteOne = [&](bool forward) {
    if (FSelLength == 0) {
      const int other = forward ? StepRight(FCaret) : StepLeft(FCaret);
      if (other == FCaret)
        return;
      FSelStart = std::min(other, FCaret);
      FSelLength = std::abs(other - FCaret);
    }
    ChangeText({}, true, true, 0.25);
  };
  if (alt) {
    // Alt combinations belong to the grid and the form.
  } else if (!ctrl) {
    switch (key) {
    case VK_LEFT:
      move(StepLeft(FCaret), 0.25);
      break;
    case VK_RIGHT:
      move(StepRight(FCaret), 0.25);
      break;
    case VK_UP:
      lineMove(-1);
      break;
    case VK_DOWN:
      lineMove(1);
      break;
    case VK_HOME:
    case VK_END:
      lineStartEnd(key == VK_END);
      break;
    case VK_PRIOR:
    case VK_NEXT:
      if (FMultiLine) {
        const int page = std::max(1, height() / std::max(1, Metrics().LineSpacing()));
        const QPoint at = FCaretPoint;
        FTopLine =
            std::clamp(FTopLine + (key == VK_NEXT ? page : -page), 0, std::max(0, LineCount() - 1));
        const int line = LineAtY(at.y());
        move(OffsetAt(line, at.x()), 0, line);
      } else {
        move(FCaret, 0);
      }
      break;
    case VK_INSERT:
      if (shiftDown) {
        PasteFromClipboard(true);
        consume = clipboardChange = true;
      }
      break;
    case VK_DELETE:
      if (shiftDown) {
        CutToClipboard(true);
        clipboardChange = true;
      } else {
        deleteOne(true);
      }
      consume = true;
      break;
    case VK_BACK:
      deleteOne(false);
      consume = true;
      break;
    case VK_F2:
      SetCaret(FCaret, false);
      ScrollCaretIntoView(0);
      consume = true;
      break;
    case VK_ESCAPE:
      if (!shiftDown && FModified) {
        Undo();
        consume = !FModified;
      }
      break;
    default:
      break;
    }
  } else {
    switch (key) {
    case VK_HOME:
      SetCaret(0, shiftDown);
      ScrollCaretIntoView(0);
      consume = true;
      break;
    case VK_END:
      SetCaret(static_cast<int>(FText.size()), shiftDown);
      ScrollCaretIntoView(0);
      consume = true;
      break;
    case VK_LEFT: {
      int i = FCaret;
      while (i > 0 && isWordSeparator(FText[i - 1]))
        i = StepLeft(i);
      while (i > 0 && !isWordSeparator(FText[i - 1]))
        i = StepLeft(i);
      move(i, 0.25);
      break;
    }
    case VK_RIGHT: {
      int i = FCaret;
      const int size = static_cast<int>(FText.size());
      while (i < size && !isWordSeparator(FText[i]))
        i = StepRight(i);
      while (i < size && isWordSeparator(FText[i]))
        i = StepRight(i);
      move(i, 0.25);
      break;
    }
    case VK_RETURN:
      if (!shiftDown && InsertTyped("\r\n", true, true))
        inserted = true;
      consume = true;
      break;
    case VK_INSERT:
    case 'C':
      if (!shiftDown) {
        CopyToClipboard();
        consume = true;
      }
      break;
    case 'X':
      if (!shiftDown) {
        CutToClipboard(true);
        consume = clipboardChange = true;
      }
      break;
    case 'V':
      if (!shiftDown) {
        PasteFromClipboard(true);
        consume = clipboardChange = true;
      }
      break;
    case 'Z':
      if (!shiftDown) {
        Undo();
        consume = true;
      }
      break;
    case 'A':
      if (!shiftDown) {
        SelectAll();
        consume = true;
      }
      break;
    default:
      break;
    }
  }
  if (consume)
    key = 0;
  FKeyRepeat = true;
  // The change is judged before the grid hears of the key: the grid may move
  // the editor to another cell with another text.
  const bool textChanged = FText != oldText;
  const bool moved =
      textChanged || FCaret != oldCaret || FSelStart != oldSelStart || FSelLength != oldSelLength;
  if (key != 0 && OnEditKeyDown)
    OnEditKeyDown(this, key, shift);
  if (moved)
    FireSelChange(false);
  // Cut and paste reported their change themselves.
  if (textChanged && !clipboardChange)
    FireChange(true, true, inserted);
  update();
}

bool TdgGridEditBox::WantsKey(const QKeyEvent &e) {
  if (TdgGridControl::WantsKey(e))
    return true;
  const Qt::KeyboardModifiers mods = e.modifiers() & ~Qt::KeypadModifier;
  if (!(FEditable || FSelectable) || (mods & Qt::AltModifier))
    return false;
  const int key = e.key();
  const bool caretKey =
      key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Left || key == Qt::Key_Right;
  if (mods == Qt::ControlModifier)
    return caretKey || key == Qt::Key_Insert || key == Qt::Key_C || key == Qt::Key_X ||
           key == Qt::Key_V || key == Qt::Key_Z || key == Qt::Key_A;
  if (mods == (Qt::ControlModifier | Qt::ShiftModifier))
    return caretKey;
  if (mods == Qt::ShiftModifier)
    return key == Qt::Key_Insert || key == Qt::Key_Delete;
  return false;
}

void TdgGridEditBox::KeyUp(std::uint16_t &key, TShiftState shift) {
  FKeyRepeat = false;
  TdgGridControl::KeyUp(key, shift);
}

void TdgGridEditBox::KeyPress(char &key) {
  TdgGridControl::KeyPress(key);
  bool inserted = false;
  switch (static_cast<unsigned char>(key)) {
  case 0:
  case 1:
  case 3:
  case 8:
  case 9:
  case 10:
  case 13:
  case 22:
  case 24:
  case 26:
  case 27:
    break;
  default:
    // Other control characters come from Ctrl keys the editor has no use
    // for: they would only put an unprintable byte into the cell.
    if (FEditable && static_cast<unsigned char>(key) >= 32)
      inserted = InsertTyped(typedKeyText(key), true, true);
    break;
  }
  if (key != 0 && OnEditKeyPress)
    OnEditKeyPress(this, key);
  if (inserted) {
    FireSelChange(true);
    FireChange(true, true, true);
  }
  update();
}

void TdgGridEditBox::TypeCharacter(const std::string &character) {
  if (FEditable && InsertTyped(character, true, true)) {
    FireSelChange(true);
    FireChange(true, true, true);
  }
  update();
}

// ---------------------------------------------------------------------- mouse

void TdgGridEditBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && !shift.has(ssDouble) && (FEditable || FSelectable)) {
    if (!hasFocus())
      setFocus(Qt::MouseFocusReason);
    const int line = FMultiLine ? LineAtY(y) : 0;
    SetCaretOnLine(line, OffsetAt(line, x), shift.has(ssShift));
    FMouseSelecting = true;
    FMouseX = x;
    FMouseY = y;
    ScrollCaretIntoView(0);
    FireSelChange(false);
  }
  TdgGridControl::MouseDown(button, shift, x, y);
}

void TdgGridEditBox::MouseMove(TShiftState shift, int x, int y) {
  if (FMouseSelecting) {
    FMouseX = x;
    FMouseY = y;
    const int before = FCaret;
    const int beforeLength = FSelLength;
    if (!FMultiLine && (x < 0 || x >= width())) {
      // Beyond a single line the text scrolls one character per step.
      SetCaret(x < 0 ? StepLeft(FCaret) : StepRight(FCaret), true);
      if (!FMouseScrollTimer.isActive())
        FMouseScrollTimer.start();
    } else {
      // Above or below several lines the point names a line out of view:
      // the caret goes there and the lines scroll, again each step while
      // the mouse is held still.
      const bool outside = FMultiLine && (y < 0 || y >= height());
      if (outside && !FMouseScrollTimer.isActive())
        FMouseScrollTimer.start();
      else if (!outside)
        FMouseScrollTimer.stop();
      const int line = FMultiLine ? LineAtY(y) : 0;
      SetCaretOnLine(line, OffsetAt(line, x), true);
    }
    ScrollCaretIntoView(0);
    if (FCaret != before || FSelLength != beforeLength)
      FireSelChange(false);
  }
  TdgGridControl::MouseMove(shift, x, y);
}

void TdgGridEditBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    FMouseSelecting = false;
    FMouseScrollTimer.stop();
  }
  TdgGridControl::MouseUp(button, shift, x, y);
}

void TdgGridEditBox::DblClick() {
  SelectAll();
  TdgGridControl::DblClick();
}

// -------------------------------------------------------------------- drawing

void TdgGridEditBox::PaintInto(QPainter &p, const QRect &rect) {
  p.save();
  p.translate(rect.topLeft());
  p.setClipRect(QRect(QPoint(0, 0), rect.size()));
  p.setFont(font());
  p.setPen(palette().color(QPalette::Text));
  p.setBrush(palette().color(QPalette::Base));
  PainterTextCanvas canvas(p, Metrics());
  TextSelection sel;
  if (FocusLook()) {
    sel.Start = FSelStart;
    sel.Length = FSelLength;
    sel.Background = clHighlight;
    sel.TextColor = clHighlightText;
  }
  const TRect r{-FTextMargin, 0, rect.width(), rect.height()};
  DrawEditText(canvas, FText, rect.height(), FMultiLine, FVertAlignment, FHorzAlignment, sel,
               &FLineStarts, FTopLine, FHorzAlignment == htaRight ? FScrollEnd : FScrollStart, 0, 0,
               r);
  p.restore();
}

void TdgGridEditBox::paintEvent(QPaintEvent *) {
  TdgMemoryCanvas &shared = TdgMemoryCanvas::shared();
  QImage *surface = shared.Acquire(width(), height());
  {
    QPainter off(surface);
    PaintInto(off, rect());
    if (hasFocus() && FCaretOn) {
      off.fillRect(QRect(FCaretPoint, QSize(1, Metrics().TextHeight())),
                   palette().color(QPalette::Text));
      FCaretShown = true;
    }
  }
  QPainter p(this);
  p.drawImage(QPoint(0, 0), *surface, rect());
  shared.Release();
}

void TdgGridEditBox::resizeEvent(QResizeEvent *e) {
  TdgGridControl::resizeEvent(e);
  Layout();
  PlaceCaret();
}

void TdgGridEditBox::changeEvent(QEvent *e) {
  if (e->type() == QEvent::FontChange) {
    FMetrics.reset();
    Layout();
    PlaceCaret();
  }
  TdgGridControl::changeEvent(e);
}

void TdgGridEditBox::focusInEvent(QFocusEvent *e) {
  FCaretShown = true;
  FCaretOn = true;
  // A desktop set not to blink the caret gets a steady one.
  if (const int flash = QApplication::cursorFlashTime(); flash > 0)
    FCaretTimer.start(flash / 2);
  TdgGridControl::focusInEvent(e);
}

void TdgGridEditBox::focusOutEvent(QFocusEvent *e) {
  FCaretTimer.stop();
  FCaretShown = false;
  FMouseSelecting = false;
  FMouseScrollTimer.stop();
  TdgGridControl::focusOutEvent(e);
}

} // namespace marrowen

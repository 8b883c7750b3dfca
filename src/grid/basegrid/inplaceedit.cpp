#include "grid/basegrid/inplaceedit.h"

#include "classlib/scopeexit.h"
#include "grid/basegrid/basegrid.h"
#include "grid/data/qtbytes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace marrowen {

namespace {

// A character typed into the editor without a key press of its own, as the
// grid hands on the one that opened the editor.
const QEvent::Type charEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class CharEvent : public QEvent {
public:
  explicit CharEvent(char c) : QEvent(charEventType), ch(c) {}
  char ch;
};

} // namespace

TInplaceEdit::TInplaceEdit(TCustomGrid_dg *grid) : QLineEdit(grid->viewport()), FGrid(grid) {
  setFrame(false);
  setFocusPolicy(Qt::ClickFocus);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAttribute(Qt::WA_MacShowFocusRect, false);
  QLineEdit::hide();
  connect(this, &QLineEdit::textChanged, this, [this] {
    if (!FLoading)
      guarded([this] { FGrid->UpdateText(); });
  });
}

std::string QtInputMask(std::string_view editMask) {
  const std::size_t fieldEnd = editMask.find(';');
  const std::string_view mask = editMask.substr(0, fieldEnd);
  if (mask.empty())
    return {};
  char blank = '_';
  if (fieldEnd != std::string_view::npos) {
    const std::size_t blankAt = editMask.find(';', fieldEnd + 1);
    if (blankAt != std::string_view::npos && blankAt + 1 < editMask.size())
      blank = editMask[blankAt + 1];
  }
  std::string out;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    const char c = mask[i];
    switch (c) {
    case 'L':
      out += 'A';
      break;
    case 'l':
      out += 'a';
      break;
    case 'A':
      out += 'N';
      break;
    case 'a':
      out += 'n';
      break;
    case 'C':
      out += 'X';
      break;
    case 'c':
      out += 'x';
      break;
    case '0':
      out += '9';
      break;
    case '9':
      out += '0';
      break;
    case '#':
      out += '#';
      break;
    case '!':
      break;
    case '>':
      if (i + 1 < mask.size() && mask[i + 1] == '<') {
        out += '!';
        ++i;
      } else
        out += '>';
      break;
    case '<':
      if (i + 1 < mask.size() && mask[i + 1] == '>') {
        out += '!';
        ++i;
      } else
        out += '<';
      break;
    case '_':
      out += ' ';
      break;
    case '\\':
      if (i + 1 < mask.size())
        ++i;
      [[fallthrough]];
    default: {
      const char literal = mask[i];
      if (std::string_view("AaNnXx90Dd#HhBb><![]{}\\;").find(literal) != std::string_view::npos)
        out += '\\';
      out += literal;
    }
    }
  }
  out += ';';
  out += blank;
  return out;
}

std::string TInplaceEdit::Text() const { return bytesForShownText(text(), FShownBytes); }

void TInplaceEdit::SetText(const std::string &value) {
  FShownBytes = value;
  setText(bytesToQString(value));
}

void TInplaceEdit::SetMaxLength(int value) {
  FMaxLength = value;
  setMaxLength(value > 0 ? value : 32767);
}

void TInplaceEdit::UpdateContents() {
  FLoading = true;
  ScopeExit done{[this] { FLoading = false; }};
  clear();
  FEditMask = FGrid->GetEditMask(FGrid->Col(), FGrid->Row());
  setInputMask(bytesToQString(QtInputMask(FEditMask)));
  SetText(FGrid->GetEditText(FGrid->Col(), FGrid->Row()));
  SetMaxLength(FGrid->GetEditLimit());
}

void TInplaceEdit::BoundsChanged() { setTextMargins(2, 2, 2, 0); }

void TInplaceEdit::Move(const TRect &rect) { InternalMove(rect, true); }

void TInplaceEdit::UpdateLoc(const TRect &rect) { InternalMove(rect, false); }

void TInplaceEdit::InternalMove(const TRect &rect, bool redraw) {
  if (IsRectEmpty(rect)) {
    Hide();
    return;
  }
  if (!isVisible())
    redraw = true;
  Invalidate();
  setGeometry(toQRect(rect));
  raise();
  show();
  BoundsChanged();
  if (redraw)
    update();
  if (FGrid->hasFocus())
    setFocus(Qt::OtherFocusReason);
}

void TInplaceEdit::Hide() {
  if (!isVisible())
    return;
  Invalidate();
  // The grid takes the focus before the editor goes, so it never lands on a
  // neighbouring control.
  if (hasFocus())
    FGrid->setFocus(Qt::OtherFocusReason);
  QLineEdit::hide();
  setGeometry(0, 0, 0, 0);
}

void TInplaceEdit::Invalidate() {
  update();
  FGrid->viewport()->update(geometry());
}

void TInplaceEdit::Deselect() {
  deselect();
  end(false);
}

bool TInplaceEdit::EditCanModify() const { return FGrid->CanEditModify(); }

void TInplaceEdit::SendToGrid(std::uint16_t &key, TShiftState shift) {
  FGrid->KeyDown(key, shift);
  key = 0;
}

void TInplaceEdit::KeyDown(std::uint16_t &key, TShiftState shift) {
  const int textLength = static_cast<int>(text().size());
  const int selLength = static_cast<int>(selectedText().size());
  const int selStart = hasSelectedText() ? selectionStart() : cursorPosition();
  const bool alwaysShow = FGrid->Options().has(goAlwaysShowEditor);
  const bool ctrl = shift.has(ssCtrl);
  switch (key) {
  case VK_UP:
  case VK_DOWN:
  case VK_PRIOR:
  case VK_NEXT:
  case VK_ESCAPE:
    SendToGrid(key, shift);
    break;
  case VK_INSERT:
    if (shift == TShiftState())
      SendToGrid(key, shift);
    else if (shift == TShiftState(ssShift) && !FGrid->CanEditModify())
      key = 0;
    break;
  case VK_LEFT:
  case VK_HOME:
    if (alwaysShow && (ctrl || (selStart == 0 && (selLength == 0 || selLength == textLength))))
      SendToGrid(key, shift);
    break;
  case VK_RIGHT:
  case VK_END:
    if (alwaysShow &&
        (ctrl || ((selLength == 0 || selStart == 0) && selStart + selLength == textLength)))
      SendToGrid(key, shift);
    break;
  case VK_F2:
    FGrid->DoKeyDownEvent(key, shift);
    if (key == VK_F2) {
      Deselect();
      key = 0;
      return;
    }
    break;
  case VK_TAB:
    if (!shift.has(ssAlt))
      SendToGrid(key, shift);
    break;
  case VK_F4:
    SendToGrid(key, shift);
    break;
  case VK_DELETE:
    if (!FGrid->CanEditModify())
      key = 0;
    break;
  default:
    break;
  }
  if (key != 0)
    FGrid->DoKeyDownEvent(key, shift);
}

void TInplaceEdit::KeyPress(char &key) {
  FGrid->KeyPress(key);
  const unsigned char c = static_cast<unsigned char>(key);
  if (c >= 32 && !FGrid->CanEditAcceptKey(key)) {
    key = 0;
    QApplication::beep();
  }
  switch (key) {
  case 9:
  case 27:
    key = 0;
    break;
  case 13:
    if (hasSelectedText() && selectedText().size() == text().size())
      Deselect();
    else
      selectAll();
    key = 0;
    break;
  case 8:
  case 22:
  case 24:
    if (!FGrid->CanEditModify())
      key = 0;
    break;
  default:
    if (static_cast<unsigned char>(key) >= 32 && !FGrid->CanEditModify())
      key = 0;
    break;
  }
}

void TInplaceEdit::TypeChar(char ch) {
  switch (ch) {
  case 8:
    backspace();
    break;
  case 3:
    copy();
    break;
  case 22:
    paste();
    break;
  case 24:
    cut();
    break;
  default:
    if (static_cast<unsigned char>(ch) >= 32)
      insert(bytesToQString(std::string(1, ch)));
    break;
  }
}

void TInplaceEdit::PostChar(char ch) { QCoreApplication::postEvent(this, new CharEvent(ch)); }

bool TInplaceEdit::event(QEvent *e) {
  if (e->type() == charEventType) {
    char ch = static_cast<CharEvent *>(e)->ch;
    guarded([&] {
      KeyPress(ch);
      if (ch != 0)
        TypeChar(ch);
    });
    return true;
  }
  if (e->type() == QEvent::ShortcutOverride) {
    // Tab and the cell-moving keys belong to the grid, not to a shortcut.
    auto *ke = static_cast<QKeyEvent *>(e);
    if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab || ke->key() == Qt::Key_Up ||
        ke->key() == Qt::Key_Down || ke->key() == Qt::Key_PageUp || ke->key() == Qt::Key_PageDown ||
        ke->key() == Qt::Key_Escape) {
      e->accept();
      return true;
    }
  }
  return QLineEdit::event(e);
}

void TInplaceEdit::keyPressEvent(QKeyEvent *e) {
  e->accept();
  guarded([&] {
    std::uint16_t key = virtualKeyOf(*e);
    const std::uint16_t originalKey = key;
    char ch = typedCharOf(*e);
    const char originalChar = ch;
    if (key != 0)
      KeyDown(key, shiftStateOf(*e));
    if (ch != 0)
      KeyPress(ch);
    const bool keyKept = originalKey == 0 || key != 0;
    const bool charKept = originalChar == 0 || ch == originalChar;
    if (keyKept && charKept) {
      QLineEdit::keyPressEvent(e);
    } else if (!keyKept && ch != 0) {
      TypeChar(ch);
    }
  });
}

void TInplaceEdit::keyReleaseEvent(QKeyEvent *e) {
  guarded([&] {
    std::uint16_t key = virtualKeyOf(*e);
    if (key != 0)
      FGrid->KeyUp(key, shiftStateOf(*e));
  });
  QLineEdit::keyReleaseEvent(e);
}

void TInplaceEdit::mousePressEvent(QMouseEvent *e) {
  if (e->button() == Qt::LeftButton && FClickTime != 0 &&
      static_cast<qint64>(e->timestamp()) - FClickTime <
          static_cast<qint64>(QApplication::doubleClickInterval())) {
    FClickTime = 0;
    mouseDoubleClickEvent(e);
    return;
  }
  QLineEdit::mousePressEvent(e);
}

void TInplaceEdit::mouseDoubleClickEvent(QMouseEvent *e) {
  QLineEdit::mouseDoubleClickEvent(e);
  guarded([this] { FGrid->DblClick(); });
}

void TInplaceEdit::wheelEvent(QWheelEvent *e) {
  bool handled = false;
  guarded([&] {
    handled =
        FGrid->DoMouseWheel(shiftStateOf(*e), e->angleDelta().y(), e->globalPosition().toPoint());
  });
  (void)handled;
  e->accept();
}

void TInplaceEdit::focusOutEvent(QFocusEvent *e) {
  QLineEdit::focusOutEvent(e);
  const QWidget *to = QApplication::focusWidget();
  if (to == FGrid) {
    FGrid->FFocusFromEditor = true;
    return;
  }
  if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason)
    return;
  guarded([this] {
    if (!FGrid->Options().has(goAlwaysShowEditor))
      FGrid->HideEditor();
    FGrid->FocusLeft();
  });
}

void TInplaceEdit::contextMenuEvent(QContextMenuEvent *e) {
  const bool readOnly = !EditCanModify();
  if (readOnly)
    setReadOnly(true);
  QLineEdit::contextMenuEvent(e);
  if (readOnly)
    setReadOnly(false);
}

} // namespace marrowen

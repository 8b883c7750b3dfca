#include "grid/editors/celleditors.h"

#include "grid/basegrid/basegrid.h"
#include "grid/data/gridutils.h"
#include "grid/data/qtbytes.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace marrowen {

// ------------------------------------------------------------ the base control

TdgGridControl::TdgGridControl(QWidget *parent) : QWidget(parent) {
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_OpaquePaintEvent);
  hide();
  resize(1, 1);
}

TdgGridControl::~TdgGridControl() = default;

void TdgGridControl::SetTextMargin(int value) { FTextMargin = value; }

void TdgGridControl::SetKeepSelection(bool value) {
  if (FKeepSelection != value) {
    FKeepSelection = value;
    update();
  }
}

bool TdgGridControl::FocusLook() const {
  return hasFocus() || (FGrid && FGrid->hasFocus()) || FKeepSelection;
}

bool TdgGridControl::CanEdit(bool byUser) {
  bool cancel = false;
  if (OnCanEdit)
    OnCanEdit(this, byUser, cancel);
  return !cancel;
}

bool TdgGridControl::StartEdit(bool byUser) {
  if (byUser && !FEditable)
    return false;
  bool cancel = false;
  if (OnStartEdit)
    OnStartEdit(this, cancel);
  return !cancel && CanEdit(true);
}

bool TdgGridControl::UndoAllowed(bool modified) {
  if (!modified)
    return false;
  bool cancel = false;
  if (OnUndoEdit)
    OnUndoEdit(this, true, cancel);
  return !cancel;
}

void TdgGridControl::FireSelChange(bool textChanged) {
  if (OnSelChange)
    OnSelChange(this, textChanged);
}

void TdgGridControl::FireChange(bool notify, bool byUser, bool inserted) {
  if (OnChange)
    OnChange(this, notify, byUser, inserted);
}

void TdgGridControl::KeyDown(std::uint16_t &key, TShiftState shift) {
  if (OnKeyDown)
    OnKeyDown(this, key, shift);
}

void TdgGridControl::KeyUp(std::uint16_t &key, TShiftState shift) {
  if (OnKeyUp)
    OnKeyUp(this, key, shift);
  if (key != 0 && OnEditKeyUp)
    OnEditKeyUp(this, key, shift);
}

void TdgGridControl::KeyPress(char &key) {
  if (OnKeyPress)
    OnKeyPress(this, key);
}

void TdgGridControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown)
    OnMouseDown(this, button, shift, x, y);
}

void TdgGridControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove)
    OnMouseMove(this, shift, x, y);
}

void TdgGridControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (FClickOnRelease) {
    FClickOnRelease = false;
    if (OnClick)
      OnClick(this);
  }
  if (OnMouseUp)
    OnMouseUp(this, button, shift, x, y);
}

void TdgGridControl::DblClick() {
  if (OnDblClick)
    OnDblClick(this);
}

void TdgGridControl::LeftPress(TShiftState shift, int x, int y, qint64 time) {
  const bool pending = (FEditable || FSelectable) && FDblClickEmulation;
  if (pending && FLastClickTime != 0 && time >= FLastClickTime &&
      time - FLastClickTime <= QApplication::doubleClickInterval() &&
      QPoint(x, y) == FLastClickPos) {
    FLastClickTime = 0;
    MouseDown(mbLeft, TShiftState(shift.bits | ssDouble), x, y);
    DblClick();
    return;
  }
  FLastClickTime = std::max<qint64>(time, 1);
  FLastClickPos = QPoint(x, y);
  MouseDown(mbLeft, TShiftState(shift.bits & ~ssDouble), x, y);
}

bool TdgGridControl::WantsKey(const QKeyEvent &e) {
  if (FReturnDown || e.key() == Qt::Key_Return || e.key() == Qt::Key_Enter)
    return true;
  if (e.key() == Qt::Key_Escape) {
    bool want = false;
    if (OnWantKey)
      OnWantKey(this, VK_ESCAPE, want);
    return want;
  }
  if (e.key() == Qt::Key_Tab || e.key() == Qt::Key_Backtab)
    return FWantTabs && !(e.modifiers() & Qt::ControlModifier);
  return !e.text().isEmpty() && !(e.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

void TdgGridControl::TypeText(const QString &text) {
  for (qsizetype i = 0; i < text.size();) {
    bool beyond = false;
    const qsizetype length = characterBeyondCodePage(text, i, beyond);
    char c = 0;
    if (beyond)
      TypeCharacter(qStringToBytes(text.mid(i, length)));
    else if (codePageKey(text.mid(i, length), c) && isTypedByte(c))
      KeyPress(c);
    i += length;
  }
}

void TdgGridControl::keyPressEvent(QKeyEvent *e) {
  std::uint16_t key = virtualKeyOf(*e);
  const TShiftState shift = shiftStateOf(*e);
  if (key == VK_RETURN)
    FReturnDown = true;
  guarded([&] {
    if (key != 0)
      KeyDown(key, shift);
    const char ch = typedCharOf(*e);
    if (ch != 0 && static_cast<unsigned char>(ch) < 32) {
      char c = ch;
      KeyPress(c);
    } else if (!(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      TypeText(e->text());
    }
  });
  // An Escape nobody used goes on to the dialog.
  if (key == VK_ESCAPE)
    e->ignore();
  else
    e->accept();
}

void TdgGridControl::keyReleaseEvent(QKeyEvent *e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
    FReturnDown = false;
  std::uint16_t key = virtualKeyOf(*e);
  if (key != 0 && !e->isAutoRepeat()) {
    guarded([&] { KeyUp(key, shiftStateOf(*e)); });
  }
  e->accept();
}

void TdgGridControl::inputMethodEvent(QInputMethodEvent *e) {
  guarded([&] { TypeText(e->commitString()); });
  e->accept();
}

void TdgGridControl::mousePressEvent(QMouseEvent *e) {
  const QPoint p = e->position().toPoint();
  guarded([&] {
    if (e->button() == Qt::LeftButton)
      LeftPress(shiftStateOf(*e), p.x(), p.y(), static_cast<qint64>(e->timestamp()));
    else
      MouseDown(e->button() == Qt::RightButton ? mbRight : mbMiddle, shiftStateOf(*e), p.x(),
                p.y());
  });
}

// The platform's own double click is a press to judge like any other.
void TdgGridControl::mouseDoubleClickEvent(QMouseEvent *e) { mousePressEvent(e); }

void TdgGridControl::mouseMoveEvent(QMouseEvent *e) {
  const QPoint p = e->position().toPoint();
  guarded([&] { MouseMove(shiftStateOf(*e), p.x(), p.y()); });
}

void TdgGridControl::mouseReleaseEvent(QMouseEvent *e) {
  const QPoint p = e->position().toPoint();
  if (e->button() == Qt::LeftButton)
    FClickOnRelease = true;
  guarded([&] {
    MouseUp(e->button() == Qt::LeftButton    ? mbLeft
            : e->button() == Qt::RightButton ? mbRight
                                             : mbMiddle,
            shiftStateOf(*e), p.x(), p.y());
  });
}

void TdgGridControl::moveEvent(QMoveEvent *e) {
  FLastClickTime = 0;
  QWidget::moveEvent(e);
}

void TdgGridControl::focusInEvent(QFocusEvent *e) {
  QWidget::focusInEvent(e);
  update();
}

void TdgGridControl::focusOutEvent(QFocusEvent *e) {
  QWidget::focusOutEvent(e);
  FReturnDown = false;
  update();
  // A pop-up (the cell's own list among them) or another window taking the
  // focus for a while does not take it from the grid.
  if (e->reason() == Qt::PopupFocusReason || e->reason() == Qt::ActiveWindowFocusReason)
    return;
  guarded([&] {
    if (OnExitEdit)
      OnExitEdit(this);
  });
}

bool TdgGridControl::event(QEvent *e) {
  if (e->type() == QEvent::ShortcutOverride && WantsKey(*static_cast<QKeyEvent *>(e))) {
    e->accept();
    return true;
  }
  if (e->type() == QEvent::KeyPress) {
    auto *k = static_cast<QKeyEvent *>(e);
    // Tab stays here while the control wants it, instead of moving the focus.
    if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) && FWantTabs &&
        !(k->modifiers() & Qt::ControlModifier)) {
      keyPressEvent(k);
      return true;
    }
  }
  return QWidget::event(e);
}

// ---------------------------------------------------------------- check box

TdgGridCheckBox::TdgGridCheckBox(QWidget *parent) : TdgGridControl(parent) {
  FDblClickEmulation = false;
  setCursor(Qt::ArrowCursor);
}

TRect TdgGridCheckBox::GetGlyphRect(int state, bool pressed) const {
  return ::marrowen::GetGlyphRect(FStyle, state, pressed);
}

void TdgGridCheckBox::TakeValue(const Variant &value) {
  if (value.isEmpty() || value.isNull() || value.isString()) {
    FState = CheckStateOfValue(value, FCheckBoxValues);
    FValue = value;
  } else {
    FState = std::clamp(VarToIntCopy(value), 0, 2);
    if (!FCheckBoxValues.empty())
      ValueOfCheckState(FState, FCheckBoxValues, FValue);
    else
      FValue = value;
  }
}

void TdgGridCheckBox::SetValue(const Variant &value) {
  if (!CanEdit(false))
    return;
  FModified = false;
  TakeValue(value);
  update();
}

void TdgGridCheckBox::SetValueNotify(const Variant &value, bool flag) {
  if (!StartEdit(false))
    return;
  FModified = false;
  TakeValue(value);
  update();
  FireSelChange(true);
  FireChange(true, flag, false);
}

void TdgGridCheckBox::Toggle() {
  if (!FModified) {
    FSavedState = FState;
    FSavedValue = FValue;
    FModified = true;
  }
  const int next = FState == 0 ? 1 : FState == 1 ? (FAllowGrayed ? 2 : 0) : 0;
  if (!FCheckBoxValues.empty()) {
    ValueOfCheckState(next, FCheckBoxValues, FValue);
    FState = CheckStateOfValue(FValue, FCheckBoxValues);
  } else {
    FState = next;
    FValue = Variant(std::int32_t(next));
  }
  update();
}

void TdgGridCheckBox::Undo() {
  if (!UndoAllowed(FModified))
    return;
  FState = FSavedState;
  FValue = FSavedValue;
  FModified = false;
  update();
  FireSelChange(true);
}

void TdgGridCheckBox::EndTracking() {
  FTracking = false;
  FInside = false;
  update();
}

bool TdgGridCheckBox::Complete() {
  const bool pending = FSpaceDown || (FTracking && FInside && !FCancelled);
  FSpaceDown = false;
  FTracking = false;
  FInside = false;
  if (!pending)
    return false;
  Toggle();
  FireSelChange(true);
  FireChange(true, true, false);
  return true;
}

void TdgGridCheckBox::KeyDown(std::uint16_t &key, TShiftState shift) {
  TdgGridControl::KeyDown(key, shift);
  if ((key == VK_ESCAPE && shift == TShiftState()) ||
      (key == 'Z' && shift == TShiftState(ssCtrl))) {
    if (FModified) {
      Undo();
      key = 0;
    }
  }
  if (key != 0 && OnEditKeyDown)
    OnEditKeyDown(this, key, shift);
}

void TdgGridCheckBox::KeyPress(char &key) {
  TdgGridControl::KeyPress(key);
  if (key == ' ') {
    if (!FSpaceDown && !FTracking && FEditable) {
      // A refused start shows no pressed look, and its release toggles nothing.
      FCancelled = !StartEdit(true);
      FSpaceDown = !FCancelled;
      update();
    }
    key = 0;
  }
  if (key != 0 && OnEditKeyPress)
    OnEditKeyPress(this, key);
}

void TdgGridCheckBox::KeyUp(std::uint16_t &key, TShiftState shift) {
  if (key == VK_SPACE && FSpaceDown) {
    FSpaceDown = false;
    Toggle();
    if (OnClick)
      OnClick(this);
    FireSelChange(true);
    FireChange(true, true, false);
  }
  TdgGridControl::KeyUp(key, shift);
}

void TdgGridCheckBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && FEditable && !FSpaceDown) {
    if (!hasFocus())
      setFocus(Qt::MouseFocusReason);
    FTracking = true;
    FCancelled = !StartEdit(true);
    FInside = !FCancelled && Inside(x, y);
    update();
  }
  TdgGridControl::MouseDown(button, shift, x, y);
}

void TdgGridCheckBox::MouseMove(TShiftState shift, int x, int y) {
  if (FTracking && !FCancelled) {
    const bool inside = Inside(x, y);
    if (inside != FInside) {
      FInside = inside;
      update();
    }
  }
  TdgGridControl::MouseMove(shift, x, y);
}

void TdgGridCheckBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && FTracking) {
    const bool toggle = FInside && Inside(x, y) && !FCancelled;
    FTracking = false;
    FInside = false;
    if (toggle) {
      Toggle();
      FireSelChange(true);
      FireChange(true, true, false);
    }
    update();
  }
  TdgGridControl::MouseUp(button, shift, x, y);
}

void TdgGridCheckBox::PaintInto(QPainter &p, const QRect &rect, bool focused) {
  p.fillRect(rect, palette().color(QPalette::Base));
  const TRect g = GetGlyphRect(FState, Pressed());
  const int x = rect.left() + (rect.width() - g.Width()) / 2 - 1;
  const int y = rect.top() + (rect.height() - g.Height()) / 2;
  p.drawImage(x, y, CheckGlyphStrip(), g.Left, g.Top, g.Width(), g.Height());
  if (focused) {
    QPen pen(palette().color(QPalette::Text), 1, Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(x - 5, y - 2, g.Width() + 10, g.Height() + 4)
                   .intersected(rect.adjusted(0, 0, -1, -1)));
  }
}

void TdgGridCheckBox::paintEvent(QPaintEvent *) {
  QPainter p(this);
  PaintInto(p, rect(), FocusLook());
}

} // namespace marrowen

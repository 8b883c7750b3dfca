#include "grid/editors/editorwrappers.h"

#include "grid/data/basegridtypes.h"

#include <QApplication>
#include <QPainter>

namespace marrowen {

TdgCustomGridControl::TdgCustomGridControl(std::unique_ptr<TdgGridControl> control)
    : FControl(std::move(control)) {}

TdgCustomGridControl::~TdgCustomGridControl() = default;

TColor TdgCustomGridControl::GetColor() const { return colorToRgb(clWindow, FControl->palette()); }

void TdgCustomGridControl::SetColor(TColor color) {
  QPalette pal = FControl->palette();
  // A system colour is the platform's, not whatever colour the cell edited
  // before left in the editor's own palette.
  const QColor c = colorToQColor(color, QApplication::palette(FControl.get()));
  if (pal.color(QPalette::Base) == c)
    return;
  pal.setColor(QPalette::Base, c);
  ++FCalls;
  FControl->setPalette(pal);
}

void TdgCustomGridControl::SetFont(const QFont &font) {
  if (FControl->font() == font)
    return;
  ++FCalls;
  FControl->setFont(font);
}

void TdgCustomGridControl::SetVisible(bool value) {
  if (!FControl->isHidden() == value)
    return;
  ++FCalls;
  FControl->setVisible(value);
}

void TdgCustomGridControl::SetMouseCapture(bool value) {
  if (value) {
    FControl->grabMouse();
    return;
  }
  FControl->releaseMouse();
  if (auto *check = dynamic_cast<TdgGridCheckBox *>(FControl.get()))
    check->EndTracking();
}

bool TdgCustomGridControl::GetMouseCapture() const {
  return QWidget::mouseGrabber() == FControl.get();
}

void TdgCustomGridControl::SetFocus() {
  if (!FControl->hasFocus())
    FControl->setFocus(Qt::OtherFocusReason);
}

void TdgCustomGridControl::SetLeft(int value) {
  if (value != Left()) {
    ++FCalls;
    FControl->move(value, Top());
  }
}

void TdgCustomGridControl::SetTop(int value) {
  if (value != Top()) {
    ++FCalls;
    FControl->move(Left(), value);
  }
}

void TdgCustomGridControl::SetWidth(int value) {
  if (value != Width()) {
    ++FCalls;
    FControl->resize(value, Height());
  }
}

void TdgCustomGridControl::SetHeight(int value) {
  if (value != Height()) {
    ++FCalls;
    FControl->resize(Width(), value);
  }
}

void TdgCustomGridControl::SetBounds(const QRect &rect) {
  if (FControl->geometry() == rect)
    return;
  ++FCalls;
  FControl->setGeometry(rect);
}

// ------------------------------------------------------------------ the kinds

TdgEditGridControl::TdgEditGridControl(QWidget *parent)
    : TdgCustomGridControl(std::make_unique<TdgGridEditBox>(parent)) {}

void TdgEditGridControl::SetSelStart(int charIndex) { Editor().SetSelStart(charIndex); }

void TdgEditGridControl::SetValue(const Variant &value) { Editor().SetText(value.toString()); }

void TdgEditGridControl::SetValueNotify(const Variant &value, bool flag) {
  Editor().SetTextNotify(value.toString(), flag);
}

void TdgEditGridControl::ReapplySelection() {
  const int start = GetSelStart();
  const int length = GetSelLength();
  SetSelStart(start);
  SetSelLength(length);
}

void TdgEditGridControl::Paint(QPainter &painter, bool, const QRect &rect) {
  Editor().PaintInto(painter, rect);
}

TdgCheckGridControl::TdgCheckGridControl(QWidget *parent)
    : TdgCustomGridControl(std::make_unique<TdgGridCheckBox>(parent)) {}

void TdgCheckGridControl::Paint(QPainter &painter, bool focused, const QRect &rect) {
  CheckBox().PaintInto(painter, rect, focused);
}

TdgDefaultGridControl::TdgDefaultGridControl(QWidget *parent)
    : TdgCustomGridControl(std::make_unique<TdgGridControl>(parent)) {}

} // namespace marrowen

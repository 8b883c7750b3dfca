#include "components/buttonedit.h"

#include "components/kitutils.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>

#include <utility>

namespace marrowen {

namespace {

// Virtual-key codes of the keys a shortcut value can name.
Qt::Key keyOfVirtualKey(int vk) {
  if (vk >= 'A' && vk <= 'Z')
    return Qt::Key(Qt::Key_A + (vk - 'A'));
  if (vk >= '0' && vk <= '9')
    return Qt::Key(Qt::Key_0 + (vk - '0'));
  if (vk >= 0x70 && vk <= 0x87)
    return Qt::Key(Qt::Key_F1 + (vk - 0x70));
  switch (vk) {
  case 0x08:
    return Qt::Key_Backspace;
  case 0x09:
    return Qt::Key_Tab;
  case 0x0D:
    return Qt::Key_Return;
  case 0x1B:
    return Qt::Key_Escape;
  case 0x20:
    return Qt::Key_Space;
  case 0x21:
    return Qt::Key_PageUp;
  case 0x22:
    return Qt::Key_PageDown;
  case 0x23:
    return Qt::Key_End;
  case 0x24:
    return Qt::Key_Home;
  case 0x25:
    return Qt::Key_Left;
  case 0x26:
    return Qt::Key_Up;
  case 0x27:
    return Qt::Key_Right;
  case 0x28:
    return Qt::Key_Down;
  case 0x2D:
    return Qt::Key_Insert;
  case 0x2E:
    return Qt::Key_Delete;
  default:
    return Qt::Key_unknown;
  }
}

} // namespace

bool shortCutMatches(TShortCut shortCut, const QKeyEvent &event) {
  if (shortCut == 0)
    return false;
  Qt::KeyboardModifiers wanted;
  if (shortCut & 0x2000)
    wanted |= Qt::ShiftModifier;
  if (shortCut & 0x4000)
    wanted |= Qt::ControlModifier;
  if (shortCut & 0x8000)
    wanted |= Qt::AltModifier;
  const Qt::KeyboardModifiers held =
      event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  int key = event.key();
  if (key == Qt::Key_Enter)
    key = Qt::Key_Return;
  return held == wanted && key == keyOfVirtualKey(shortCut & 0xFF);
}

// ---- the button

TEditButton::TEditButton(TCustomComboEdit &edit, QWidget *parent)
    : TKitSpeedButton(parent), edit_(edit) {}

void TEditButton::Click() {
  if (noAction_) {
    noAction_ = false;
    return;
  }
  TKitSpeedButton::Click();
}

void TEditButton::mousePressEvent(QMouseEvent *event) {
  // A press on the button is no press on the text.
  if (std::exchange(edit_.enteredByPress_, false))
    edit_.selectOnEntry();
  if (event->button() == Qt::LeftButton) {
    noAction_ = edit_.popupVisible();
    if (edit_.popupVisible())
      edit_.closePopup(true);
    else if ((edit_.focusPolicy() & Qt::TabFocus) && edit_.isEnabled() && !edit_.hasFocus())
      edit_.setFocus(Qt::OtherFocusReason);
  }
  TKitSpeedButton::mousePressEvent(event);
}

// The click that a popup's closing swallows is this press's own; released
// elsewhere it never comes, and a later click or ClickKey must not be lost.
void TEditButton::mouseReleaseEvent(QMouseEvent *event) {
  const QPointer<TEditButton> self(this); // the click may close the dialog
  TKitSpeedButton::mouseReleaseEvent(event);
  if (self && event->button() == Qt::LeftButton)
    noAction_ = false;
}

// Two lines down the left edge blend the raised button into the edit's frame.
void TEditButton::paintEvent(QPaintEvent *event) {
  TKitSpeedButton::paintEvent(event);
  if (state() == TKitButtonGlyph::bsDown || state() == TKitButtonGlyph::bsExclusive)
    return;
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Button));
  painter.drawLine(0, 0, 0, height() - 1);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(1, 1, 1, height() - 2);
}

// ---- the edit

TCustomComboEdit::TCustomComboEdit(QWidget *parent) : QLineEdit(parent) {
  container_ = new QWidget(this);
  container_->setGeometry(0, 0, 21, 17);
  button_ = new TEditButton(*this, container_);
  button_->setGeometry(0, 0, container_->width(), container_->height());
  button_->OnClick = [this] { pressButton(); };
  button_->setFocusPolicy(Qt::NoFocus);
  container_->setCursor(Qt::ArrowCursor);
  connect(this, &QLineEdit::textChanged, this, [this] { Change(); });
  resize(121, 21);
  updateMinimumHeight();
  placeButton();
}

TCustomComboEdit::~TCustomComboEdit() { button_->OnClick = nullptr; }

int TCustomComboEdit::ButtonWidth() const { return button_->width(); }

void TCustomComboEdit::SetButtonWidth(int width) {
  if (width == ButtonWidth() && container_->isVisibleTo(this) == (width >= 2))
    return;
  // A button as wide as the edit would leave no text area. Such a width is
  // ignored whole: showing the container again would bring back a hidden
  // button at its old width of 0 or 1, which the click key could press unseen.
  if (width >= 2 && width >= this->width())
    return;
  container_->setVisible(width >= 2);
  if (width < this->width()) {
    container_->resize(width, container_->height());
    button_->resize(width, button_->height());
    placeButton();
  }
  rebuildGlyph();
}

QString TCustomComboEdit::ButtonHint() const { return button_->toolTip(); }
void TCustomComboEdit::SetButtonHint(const QString &hint) { button_->setToolTip(hint); }
const QImage &TCustomComboEdit::Glyph() const { return button_->Glyph(); }

void TCustomComboEdit::SetGlyph(const QImage &glyph) {
  button_->SetGlyph(glyph);
  glyphKind_ = gkCustom;
}

int TCustomComboEdit::NumGlyphs() const { return button_->NumGlyphs(); }

void TCustomComboEdit::SetNumGlyphs(int count) {
  switch (glyphKind_) {
  case gkDropDown:
  case gkEllipsis:
    button_->SetNumGlyphs(1);
    break;
  case gkDefault:
    button_->SetNumGlyphs(defNumGlyphs_);
    break;
  case gkCustom:
    button_->SetNumGlyphs(count);
    break;
  }
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind kind) {
  if (kind == glyphKind_)
    return;
  glyphKind_ = kind;
  rebuildGlyph();
  if (kind == gkDefault && !Glyph().isNull())
    SetButtonWidth(Max(Glyph().width() / NumGlyphs() + 6, ButtonWidth()));
  else if (kind == gkDropDown)
    SetButtonWidth(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
}

void TCustomComboEdit::rebuildGlyph() {
  switch (glyphKind_) {
  case gkCustom:
    break;
  case gkDefault: {
    bool destroyNeeded = false;
    button_->SetGlyph(GetDefaultBitmap(destroyNeeded));
    button_->SetNumGlyphs(defNumGlyphs_);
    break;
  }
  case gkDropDown: {
    QImage arrow(9, 6, QImage::Format_ARGB32);
    arrow.fill(QColor(255, 0, 255));
    QPainter painter(&arrow);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::ButtonText));
    const QPoint points[] = {{1, 1}, {8, 1}, {4, 5}};
    painter.drawPolygon(points, 3);
    painter.end();
    button_->SetGlyph(arrow);
    button_->SetNumGlyphs(1);
    break;
  }
  case gkEllipsis: {
    const int width = Max(1, ButtonWidth() - 6);
    QImage dots(width, 4, QImage::Format_ARGB32);
    dots.fill(Qt::white);
    const int gap = std::clamp((width - 6) / 2, 1, 3);
    const int first = (width - 6 - 2 * gap) / 2;
    for (int dot : {first, first + gap + 2, first + 2 * gap + 4})
      for (int x = dot; x < dot + 2; ++x)
        for (int y = 1; y < 3; ++y)
          if (x >= 0 && x < width)
            dots.setPixel(x, y, qRgb(0, 0, 0));
    button_->SetGlyph(dots);
    button_->SetNumGlyphs(1);
    break;
  }
  }
}

QImage TCustomComboEdit::GetDefaultBitmap(bool &destroyNeeded) {
  destroyNeeded = false;
  return {};
}

int TCustomComboEdit::minimumTextHeight() const {
  return Min(QFontMetrics(QApplication::font()).height(), fontMetrics().height());
}

void TCustomComboEdit::updateMinimumHeight() { setMinimumHeight(minimumTextHeight() + 4 + 1); }

// The button sits inside the edit's frame; the text stops short of it.
void TCustomComboEdit::placeButton() {
  int frame = 0;
  if (hasFrame()) {
    QStyleOptionFrame option;
    initStyleOption(&option);
    frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
  }
  const int buttonWidth = button_->width();
  container_->setGeometry(width() - buttonWidth - frame, frame, buttonWidth,
                          Max(0, height() - 2 * frame));
  button_->setGeometry(0, 0, buttonWidth, container_->height());
  setTextMargins(0, 0, container_->isVisibleTo(this) ? buttonWidth + 2 : 0, 0);
}

void TCustomComboEdit::SetDirectInput(bool direct) {
  directInput_ = direct;
  applyReadOnly();
}

void TCustomComboEdit::SetReadOnly(bool readOnly) {
  if (readOnly == readOnly_)
    return;
  readOnly_ = readOnly;
  applyReadOnly();
}

void TCustomComboEdit::applyReadOnly() { setReadOnly(!(directInput_ && !readOnly_)); }

// A one-line edit cuts and pastes from code even while read-only.
void TCustomComboEdit::cut() {
  if (!isReadOnly())
    QLineEdit::cut();
}

void TCustomComboEdit::paste() {
  if (!isReadOnly())
    QLineEdit::paste();
}

void TCustomComboEdit::pressButton() {
  if (readOnly_)
    return;
  ButtonClick();
}

void TCustomComboEdit::ButtonClick() {
  const QPointer<TCustomComboEdit> self(this);
  if (OnButtonClick)
    OnButtonClick();
  if (self && popup_) {
    if (popupVisible_)
      closePopup(true);
    else
      PopupDropDown(true);
  }
}

bool TCustomComboEdit::event(QEvent *event) {
  // The click key must reach keyPressEvent before any window shortcut.
  if (event->type() == QEvent::ShortcutOverride) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (shortCutMatches(clickKey_, *key) && container_->isVisibleTo(this)) {
      event->accept();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void TCustomComboEdit::keyPressEvent(QKeyEvent *event) {
  if (shortCutMatches(clickKey_, *event)) {
    // A hidden button is not there to press.
    if (container_->isVisibleTo(this)) {
      button_->Click();
      event->accept();
      return;
    }
  }
  const int key = event->key();
  if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) && popupVisible_) {
    closePopup(key != Qt::Key_Escape);
    event->accept();
    return;
  }
  // The read-only edit window already refuses paste and cut, and a
  // one-line edit passes Enter and Escape on to its dialog.
  QLineEdit::keyPressEvent(event);
}

void TCustomComboEdit::mousePressEvent(QMouseEvent *event) {
  if (std::exchange(enteredByPress_, false) && event->button() != Qt::LeftButton)
    selectOnEntry();
  if (event->button() == Qt::LeftButton && popup_) {
    if (focusPolicy() != Qt::NoFocus)
      setFocus(Qt::MouseFocusReason);
    if (!hasFocus())
      return;
    if (popupVisible_)
      closePopup(false);
  }
  QLineEdit::mousePressEvent(event);
}

namespace {

// Focus that comes back after a menu, the menu bar or another window was
// never given up: the box was not entered again, and selecting all then would
// make the next paste or keystroke replace the whole text.
bool focusStaysInWindow(Qt::FocusReason reason) {
  return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
         reason == Qt::MenuBarFocusReason;
}

} // namespace

void TCustomComboEdit::focusInEvent(QFocusEvent *event) {
  const bool returning = focusKept_ && focusStaysInWindow(event->reason());
  focusKept_ = false;
  // The line edit selects everything itself on entry by Tab.
  const bool hadSelection = hasSelectedText();
  QLineEdit::focusInEvent(event);
  if (returning)
    return;
  // The focus comes before the press, which may be a right one, or on the button.
  if (event->reason() == Qt::MouseFocusReason) {
    enteredByPress_ = true;
    return;
  }
  if (autoSelect_ && directInput_)
    selectAll();
  else if (!directInput_ || !hadSelection)
    deselect();
}

void TCustomComboEdit::selectOnEntry() {
  if (autoSelect_ && directInput_)
    selectAll();
}

void TCustomComboEdit::focusOutEvent(QFocusEvent *event) {
  enteredByPress_ = false;
  focusKept_ = focusStaysInWindow(event->reason());
  QLineEdit::focusOutEvent(event);
  if (popupVisible_)
    closePopup(false);
}

void TCustomComboEdit::resizeEvent(QResizeEvent *event) {
  QLineEdit::resizeEvent(event);
  placeButton();
}

void TCustomComboEdit::changeEvent(QEvent *event) {
  QLineEdit::changeEvent(event);
  switch (event->type()) {
  case QEvent::FontChange:
    updateMinimumHeight();
    placeButton();
    break;
  case QEvent::EnabledChange:
    button_->setEnabled(isEnabled());
    break;
  case QEvent::LayoutDirectionChange:
    if (popup_)
      popup_->setLayoutDirection(layoutDirection());
    break;
  case QEvent::StyleChange:
    placeButton();
    break;
  default:
    break;
  }
}

void TCustomComboEdit::contextMenuEvent(QContextMenuEvent *event) {
  if (OnContextPopup) {
    bool handled = false;
    OnContextPopup(event->pos(), handled);
    if (handled) {
      event->accept();
      return;
    }
  }
  QLineEdit::contextMenuEvent(event);
}

// ---- drop-down hooks

void TCustomComboEdit::PopupDropDown(bool disableEdit) {
  if (!popup_ || readOnly_ || popupVisible_)
    return;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QPoint origin = mapToGlobal(QPoint(0, 0));
  const QSize size = popup_->size();
  int top = origin.y() + height();
  if (top + size.height() > screen.bottom() + 1)
    top = origin.y() - size.height();
  // The popup lines up with the edit's right edge unless that pushes it
  // off the screen's left.
  int left = origin.x();
  const int shift = size.width() - width();
  left -= shift;
  if (left < screen.left())
    left += shift;
  left = std::clamp(left, screen.left(), Max(screen.left(), screen.right() + 1 - size.width()));
  SetPopupValue(text().isEmpty() ? QVariant() : QVariant(text()));
  if (focusPolicy() != Qt::NoFocus)
    setFocus();
  ShowPopup(QPoint(left, top));
  popupVisible_ = true;
  // Presses anywhere in the program are watched while the popup is open.
  qApp->installEventFilter(this);
  if (disableEdit)
    setReadOnly(true);
}

void TCustomComboEdit::setPopup(QWidget *popup) {
  if (popup == popup_)
    return;
  // The popup shown is let go as a press elsewhere lets it go.
  if (popupVisible_)
    closePopup(false);
  if (popup_)
    disconnect(popup_, &QObject::destroyed, this, nullptr);
  popup_ = popup;
  // A popup tells it goes while its widget is still half there: it is
  // forgotten before the box closes it.
  if (popup)
    connect(popup, &QObject::destroyed, this, [this] {
      popup_ = nullptr;
      closePopup(false);
    });
}

void TCustomComboEdit::closePopup(bool accept) {
  if (closingPopup_)
    return;
  qApp->removeEventFilter(this);
  if (!popupVisible_)
    return;
  if (!popup_) {
    // Gone while open: there is no value to take, and the box is open to
    // typing again.
    popupVisible_ = false;
    applyReadOnly();
    update();
    return;
  }
  QVariant value;
  GetPopupValue(value);
  closingPopup_ = true;
  HidePopup();
  closingPopup_ = false;
  if (focusPolicy() != Qt::NoFocus)
    setFocus();
  applyReadOnly();
  update();
  // Without DirectInput the popup is the one way in, so only ReadOnly keeps
  // its value out.
  if (accept && AcceptPopup(value) && !readOnly_) {
    AcceptValue(value);
    if (hasFocus())
      selectAll();
  }
  popupVisible_ = false;
}

// A press on any other control cancels the popup, and so does a popup that
// closes itself (a Qt popup does on a press outside it).
bool TCustomComboEdit::eventFilter(QObject *watched, QEvent *event) {
  auto *widget = qobject_cast<QWidget *>(watched);
  if (popupVisible_ && popup_ && widget) {
    const bool inside =
        widget == this || isAncestorOf(widget) || widget == popup_ || popup_->isAncestorOf(widget);
    if ((event->type() == QEvent::MouseButtonPress && !inside) ||
        (event->type() == QEvent::Hide && widget == popup_))
      closePopup(false);
  }
  return QLineEdit::eventFilter(watched, event);
}

void TCustomComboEdit::ShowPopup(QPoint origin) {
  popup_->move(origin);
  popup_->show();
}

void TCustomComboEdit::HidePopup() { popup_->hide(); }
bool TCustomComboEdit::AcceptPopup(QVariant &) { return true; }

void TCustomComboEdit::AcceptValue(const QVariant &value) {
  const QString newText = value.toString();
  if (newText == text())
    return;
  setText(newText);
  setModified(true);
  popupVisible_ = popup_ && popup_->isVisible();
  emit changed();
}

void TCustomComboEdit::Change() {
  if (popupVisible_)
    PopupChange();
  else
    emit changed();
}

void TCustomComboEdit::SetPopupValue(const QVariant &) {}

void TCustomComboEdit::GetPopupValue(QVariant &value) { value = QString(); }

} // namespace marrowen

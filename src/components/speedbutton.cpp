#include "components/speedbutton.h"

#include "components/dialogrunner.h"
#include "components/kitutils.h"
#include "qtext/qtext.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QTimer>

#include <exception>

namespace marrowen {

// ---- glyph

void TKitButtonGlyph::SetGlyph(const QImage &glyph) {
  glyph_ = glyph.convertToFormat(QImage::Format_ARGB32);
  if (!glyph_.isNull()) {
    transparentColor_ = QColor::fromRgba(glyph_.pixel(0, glyph_.height() - 1));
    if (glyph_.width() % glyph_.height() == 0) {
      const int frames = glyph_.width() / glyph_.height();
      numGlyphs_ = frames > 5 ? 1 : frames;
    }
  }
  changed();
}

void TKitButtonGlyph::SetNumGlyphs(int count) {
  count = std::clamp(count, 1, 5);
  if (count == numGlyphs_)
    return;
  numGlyphs_ = count;
  changed();
}

QSize TKitButtonGlyph::glyphSize() const {
  if (glyph_.isNull())
    return {};
  return {glyph_.width() / numGlyphs_, glyph_.height()};
}

void TKitButtonGlyph::dropImages() { images_.fill(QPixmap()); }

void TKitButtonGlyph::changed() {
  dropImages();
  if (OnChange)
    OnChange();
}

QPixmap TKitButtonGlyph::image(TButtonState state, const QPalette &palette) {
  if (glyph_.isNull() || glyphSize().width() == 0)
    return {};
  if (palette.cacheKey() != paletteKey_) {
    dropImages();
    paletteKey_ = palette.cacheKey();
  }
  if (state == bsDown && numGlyphs_ < 3)
    state = bsUp;
  QPixmap &cached = images_[state];
  if (cached.isNull())
    cached = QPixmap::fromImage(makeImage(state, palette));
  return cached;
}

// Frame `index` with the transparent colour made see-through.
QImage TKitButtonGlyph::frame(int index) const {
  const QSize size = glyphSize();
  QImage result = glyph_.copy(index * size.width(), 0, size.width(), size.height());
  const QRgb clear = transparentColor_.rgb();
  for (int y = 0; y < result.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(result.scanLine(y));
    for (int x = 0; x < result.width(); ++x)
      if ((line[x] | 0xff000000u) == clear && qAlpha(line[x]) == 255)
        line[x] = 0;
  }
  return result;
}

namespace {

QImage withoutColour(QImage image, QColor colour) {
  const QRgb clear = colour.rgb();
  for (int y = 0; y < image.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (line[x] == clear)
        line[x] = 0;
  }
  return image;
}

} // namespace

QImage TKitButtonGlyph::makeImage(TButtonState state, const QPalette &palette) const {
  const QColor face = palette.color(QPalette::Button);
  switch (state) {
  case bsDisabled:
    if (numGlyphs_ < 2)
      return withoutColour(MakeEmbossedBitmapEx(frame(0), Qt::black, face, true,
                                                palette.color(QPalette::Dark),
                                                palette.color(QPalette::Light))
                               .convertToFormat(QImage::Format_ARGB32),
                           face);
    return frame(1);
  case bsInactive: {
    if (numGlyphs_ >= 5)
      return frame(4);
    QImage grey = frame(0);
    for (int y = 0; y < grey.height(); ++y) {
      auto *line = reinterpret_cast<QRgb *>(grey.scanLine(y));
      for (int x = 0; x < grey.width(); ++x) {
        const QRgb c = line[x];
        if (qAlpha(c) == 0 || (c | 0xff000000u) == face.rgb())
          continue;
        const int g = (qRed(c) * 77 + qGreen(c) * 150 + qBlue(c) * 29) >> 8;
        line[x] = qRgba(g, g, g, qAlpha(c));
      }
    }
    return grey;
  }
  default:
    return frame(state < numGlyphs_ ? state : 0);
  }
}

// ---- layout

ButtonContentPlacement placeButtonContent(const QRect &client, QSize glyph, QSize caption,
                                          TButtonLayout layout, int margin, int spacing) {
  if (caption.isEmpty() || glyph.isEmpty())
    spacing = 0;
  // What is not there takes no room.
  glyph = glyph.isEmpty() ? QSize(0, 0) : glyph;
  caption = caption.isEmpty() ? QSize(0, 0) : caption;
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  const int along = horizontal ? client.width() : client.height();
  const int across = horizontal ? client.height() : client.width();
  const int glyphAlong = horizontal ? glyph.width() : glyph.height();
  const int glyphAcross = horizontal ? glyph.height() : glyph.width();
  const int captionAlong = horizontal ? caption.width() : caption.height();
  const int captionAcross = horizontal ? caption.height() : caption.width();
  if (margin == -1 && spacing == -1) {
    spacing = (along - glyphAlong - captionAlong) / 3;
    margin = spacing;
  } else if (margin == -1) {
    margin = along / 2 - (glyphAlong + spacing + captionAlong) / 2;
  } else if (spacing == -1) {
    spacing = (along - margin - glyphAlong) / 2 - captionAlong / 2;
  }
  int glyphAt = 0, captionAt = 0;
  if (layout == blGlyphLeft || layout == blGlyphTop) {
    glyphAt = margin;
    captionAt = margin + glyphAlong + spacing;
  } else {
    glyphAt = along - margin - glyphAlong;
    captionAt = glyphAt - spacing - captionAlong;
  }
  const int glyphCross = across / 2 - glyphAcross / 2;
  const int captionCross = across / 2 - captionAcross / 2;
  ButtonContentPlacement placed;
  placed.glyph = horizontal ? QPoint(glyphAt, glyphCross) : QPoint(glyphCross, glyphAt);
  placed.caption = horizontal ? QPoint(captionAt, captionCross) : QPoint(captionCross, captionAt);
  placed.glyph += client.topLeft();
  placed.caption += client.topLeft();
  return placed;
}

// ---- button

TKitSpeedButton::TKitSpeedButton(QWidget *parent) : QWidget(parent) {
  setGeometry(0, 0, 25, 25);
  glyph_.OnChange = [this] { update(); };
}

TKitSpeedButton::~TKitSpeedButton() = default;

bool TKitSpeedButton::menuAutoPopup(const QMenu *menu) {
  const QVariant autoPopup = menu->property("AutoPopup");
  return !autoPopup.isValid() || autoPopup.toBool();
}

void TKitSpeedButton::SetCaption(const QString &caption) {
  if (caption == caption_)
    return;
  caption_ = caption;
  updateShortcut();
  update();
}

void TKitSpeedButton::SetGlyph(const QImage &glyph) { glyph_.SetGlyph(glyph); }
void TKitSpeedButton::SetNumGlyphs(int count) { glyph_.SetNumGlyphs(count); }

void TKitSpeedButton::SetGroupIndex(int index) {
  if (index == groupIndex_)
    return;
  groupIndex_ = index;
  updateExclusive();
}

void TKitSpeedButton::SetAllowAllUp(bool allow) {
  if (allow == allowAllUp_)
    return;
  allowAllUp_ = allow;
  updateExclusive();
}

void TKitSpeedButton::SetDown(bool down) {
  if (groupIndex_ == 0)
    down = false;
  if (down == down_ || (down_ && !allowAllUp_))
    return;
  down_ = down;
  state_ = down ? TKitButtonGlyph::bsExclusive : TKitButtonGlyph::bsUp;
  update();
  if (down)
    updateExclusive();
}

// Tells the other members of the group, which let go of Down and take on
// this button's AllowAllUp.
void TKitSpeedButton::updateExclusive() {
  if (groupIndex_ == 0 || !parentWidget())
    return;
  for (TKitSpeedButton *other :
       parentWidget()->findChildren<TKitSpeedButton *>(Qt::FindDirectChildrenOnly))
    if (other != this)
      other->buttonPressed(*this);
}

void TKitSpeedButton::buttonPressed(TKitSpeedButton &sender) {
  if (sender.groupIndex_ != groupIndex_)
    return;
  if (sender.down_ && down_) {
    down_ = false;
    state_ = TKitButtonGlyph::bsUp;
    update();
  }
  allowAllUp_ = sender.allowAllUp_;
}

void TKitSpeedButton::SetFlat(bool flat) {
  flat_ = flat;
  update();
}
void TKitSpeedButton::SetTransparent(bool transparent) {
  transparent_ = transparent;
  update();
}
void TKitSpeedButton::SetGrayedInactive(bool grayed) {
  grayedInactive_ = grayed;
  update();
}
void TKitSpeedButton::SetStyle(TButtonStyle style) {
  style_ = style;
  update();
}
void TKitSpeedButton::SetLayout(TButtonLayout layout) {
  layout_ = layout;
  update();
}
void TKitSpeedButton::SetMargin(int margin) {
  if (margin < -1 || margin == margin_)
    return;
  margin_ = margin;
  update();
}
void TKitSpeedButton::SetSpacing(int spacing) {
  spacing_ = spacing;
  update();
}
void TKitSpeedButton::SetAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}
void TKitSpeedButton::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  update();
}
void TKitSpeedButton::SetMarkDropDown(bool mark) {
  markDropDown_ = mark;
  update();
}

void TKitSpeedButton::SetDropDownMenu(QMenu *menu) {
  dropDownMenu_ = menu;
  if (markDropDown_)
    update();
}

void TKitSpeedButton::SetAllowTimer(bool allow) {
  allowTimer_ = allow;
  if (!allow && repeatTimer_) {
    delete repeatTimer_;
    repeatTimer_ = nullptr;
  }
}

bool TKitSpeedButton::newStyle() const { return style_ != bsWin31; }

void TKitSpeedButton::updateShortcut() {
  if (shortcutId_)
    releaseShortcut(shortcutId_);
  shortcutId_ = 0;
  const QKeySequence mnemonic = QKeySequence::mnemonic(caption_);
  if (!mnemonic.isEmpty())
    shortcutId_ = grabShortcut(mnemonic);
}

void TKitSpeedButton::Click() {
  if (modalResult_ != 0)
    if (auto *dialog = qobject_cast<QDialog *>(window()))
      dialog->done(modalResult_);
  // The click may free the button (its edit's owner goes while a dialog it
  // opened runs).
  const QPointer<TKitSpeedButton> self(this);
  if (OnClick)
    OnClick();
  if (self && action_)
    action_->trigger();
}

void TKitSpeedButton::SetAction(QAction *action) {
  if (action == action_)
    return;
  if (action_)
    disconnect(action_, nullptr, this, nullptr);
  action_ = action;
  if (action) {
    connect(action, &QAction::changed, this, &TKitSpeedButton::actionChange);
    actionChange();
  }
}

void TKitSpeedButton::actionChange() {
  SetCaption(action_->text());
  setToolTip(action_->toolTip());
  setEnabled(action_->isEnabled());
  if (parentWidget()) // a lone button would open as a window of its own
    setVisible(action_->isVisible());
  if (groupIndex_ != 0 && action_->isCheckable())
    SetDown(action_->isChecked());
  if (Glyph().isNull() && !action_->icon().isNull()) {
    // The icon on magenta, which the glyph then takes as see-through.
    const QPixmap icon = action_->icon().pixmap(16, 16);
    QImage glyph(icon.size(), QImage::Format_ARGB32);
    glyph.fill(QColor(255, 0, 255));
    QPainter painter(&glyph);
    painter.drawPixmap(0, 0, icon);
    painter.end();
    SetGlyph(glyph);
  }
}

// ---- painting

namespace {

// One ring of a 3-D frame: top and left lines in `topLeft`, bottom and right
// in `bottomRight`; the rectangle shrinks by the ring.
void frame3D(QPainter &painter, QRect &rect, QColor topLeft, QColor bottomRight) {
  painter.setPen(topLeft);
  painter.drawLine(rect.left(), rect.bottom(), rect.left(), rect.top());
  painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
  painter.setPen(bottomRight);
  painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
  painter.drawLine(rect.right(), rect.bottom(), rect.left(), rect.bottom());
  rect.adjust(1, 1, -1, -1);
}

void drawDropDownMark(QPainter &painter, int x, int y, QColor colour) {
  painter.setPen(colour);
  for (int row = 0; row < 4; ++row)
    painter.drawLine(x + row, y + row, x + 6 - row, y + row);
}

} // namespace

void TKitSpeedButton::paintEvent(QPaintEvent *) {
  if (!isEnabled()) {
    state_ = TKitButtonGlyph::bsDisabled;
    dragging_ = false;
  } else if (state_ == TKitButtonGlyph::bsDisabled) {
    state_ = down_ && groupIndex_ != 0 ? TKitButtonGlyph::bsExclusive : TKitButtonGlyph::bsUp;
  }
  TButtonState paintState = state_;
  if (flat_ && !mouseInControl_)
    paintState = TKitButtonGlyph::bsInactive;

  const QPalette &pal = palette();
  const QColor face = pal.color(QPalette::Button), light = pal.color(QPalette::Light),
               shadow = pal.color(QPalette::Dark), frameColour = pal.color(QPalette::Shadow);
  QPainter painter(this);
  QRect rect = this->rect();
  if (!transparent_)
    painter.fillRect(rect, face);

  const bool pressed = state_ == TKitButtonGlyph::bsDown || state_ == TKitButtonGlyph::bsExclusive;
  if (paintState != TKitButtonGlyph::bsInactive || state_ == TKitButtonGlyph::bsExclusive) {
    if (newStyle()) {
      if (!pressed) {
        if (flat_) {
          frame3D(painter, rect, light, shadow);
        } else {
          frame3D(painter, rect, light, frameColour);
          frame3D(painter, rect, face, shadow);
        }
      } else {
        frame3D(painter, rect, frameColour, light);
        if (!flat_)
          frame3D(painter, rect, shadow, face);
      }
    } else if (!pressed) {
      if (flat_) {
        frame3D(painter, rect, light, frameColour);
      } else {
        frame3D(painter, rect, frameColour, frameColour);
        frame3D(painter, rect, light, shadow);
      }
    } else if (flat_) {
      frame3D(painter, rect, frameColour, light);
    } else {
      frame3D(painter, rect, frameColour, frameColour);
      painter.setPen(shadow);
      painter.drawLine(rect.left(), rect.bottom(), rect.left(), rect.top());
      painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    }
    rect.adjust(1, 1, -1, -1);
  } else if (flat_) {
    rect.adjust(2, 2, -2, -2);
  }

  if (state_ == TKitButtonGlyph::bsExclusive && !transparent_ &&
      (!flat_ || paintState == TKitButtonGlyph::bsInactive)) {
    painter.fillRect(rect, face);
    painter.fillRect(rect, QBrush(light, Qt::Dense4Pattern));
  }
  if (pressed)
    rect.translate(1, 1);
  if (!grayedInactive_ && paintState == TKitButtonGlyph::bsInactive)
    paintState = state_;
  PaintGlyph(painter, rect, paintState, markDropDown_ && dropDownMenu_);
}

void TKitSpeedButton::PaintGlyph(QPainter &painter, const QRect &rect, TButtonState state,
                                 bool drawMark) {
  const QPixmap picture = glyph_.image(state, palette());
  QRect room = rect;
  if (drawMark)
    room.setRight(room.right() - 9);
  const QFontMetrics metrics(font());
  QString text = caption_;
  QSize captionSize;
  if (!text.isEmpty()) {
    if (wordWrap_) {
      captionSize =
          metrics.boundingRect(room, Qt::TextWordWrap | Qt::TextShowMnemonic, text).size();
    } else {
      QStringList lines = text.split(u'\n');
      for (QString &line : lines)
        line = FitTextWithEllipsis(line, metrics, room.width());
      text = lines.join(u'\n');
      captionSize = metrics.boundingRect(room, Qt::TextShowMnemonic, text).size();
    }
  }
  const QSize glyphSize = picture.isNull() ? QSize() : picture.deviceIndependentSize().toSize();
  const ButtonContentPlacement placed =
      placeButtonContent(room, glyphSize, captionSize, layout_, margin_, spacing_);
  if (!picture.isNull())
    painter.drawPixmap(placed.glyph, picture);
  if (!text.isEmpty()) {
    int flags = Qt::TextShowMnemonic | Qt::AlignVCenter;
    flags |= QStyle::visualAlignment(layoutDirection(), alignment_) & Qt::AlignHorizontal_Mask;
    if (wordWrap_)
      flags |= Qt::TextWordWrap;
    const QRect captionRect(placed.caption, captionSize);
    if (state == TKitButtonGlyph::bsDisabled) {
      painter.setPen(palette().color(QPalette::Light));
      painter.drawText(captionRect.translated(1, 1), flags, text);
      painter.setPen(palette().color(QPalette::Dark));
    } else {
      painter.setPen(palette().color(QPalette::ButtonText));
    }
    painter.drawText(captionRect, flags, text);
  }
  if (drawMark) {
    const int x = rect.right() - 8, y = rect.top() + rect.height() / 2 - 1;
    if (state == TKitButtonGlyph::bsDisabled) {
      drawDropDownMark(painter, x + 1, y + 1, palette().color(QPalette::Light));
      drawDropDownMark(painter, x, y, palette().color(QPalette::Dark));
    } else {
      drawDropDownMark(painter, x, y, palette().color(QPalette::ButtonText));
    }
  }
}

// ---- mouse and keys

void TKitSpeedButton::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    updateMouseInControl();
    return;
  }
  if (menuTracking_ || !isEnabled())
    return;
  if (!mouseInControl_) {
    mouseInControl_ = true;
    update();
  }
  if (!down_) {
    state_ = TKitButtonGlyph::bsDown;
    update();
  }
  dragging_ = true;
  if (dropDownMenu_ && menuAutoPopup(dropDownMenu_)) {
    popupMenu();
    return;
  }
  if (allowTimer_) {
    if (!repeatTimer_) {
      repeatTimer_ = new QTimer(this);
      repeatTimer_->setTimerType(Qt::PreciseTimer);
      connect(repeatTimer_, &QTimer::timeout, this, &TKitSpeedButton::repeatTick);
    }
    repeatTimer_->start(initPause_);
  }
}

// The menu stays open without a nested event loop; when it closes, the
// press ends at once, uncounted, and the click that closed it is not
// replayed onto the button.
void TKitSpeedButton::popupMenu() {
  QMenu *menu = dropDownMenu_;
  const QPoint pressAt = mapFromGlobal(QCursor::pos());
  QPoint at;
  const Qt::Alignment align =
      menu->layoutDirection() == Qt::RightToLeft ? Qt::AlignRight : Qt::AlignLeft;
  if (menuPosition_ == dmpBottom)
    at = align == Qt::AlignLeft ? QPoint(-1, height()) : QPoint(width() + 1, height());
  else
    at = align == Qt::AlignLeft ? QPoint(width(), -1) : QPoint(-1, -1);
  menu->setAttribute(Qt::WA_NoMouseReplay);
  menuTracking_ = true;
  // A menu freed while open never says it hides.
  const auto menuClosed = [this, pressAt] {
    disconnect(menuHidden_);
    disconnect(menuGone_);
    releaseAt(pressAt);
    menuTracking_ = false;
  };
  menuHidden_ = connect(menu, &QMenu::aboutToHide, this, menuClosed);
  menuGone_ = connect(menu, &QObject::destroyed, this, menuClosed);
  menu->popup(mapToGlobal(at));
}

void TKitSpeedButton::mouseMoveEvent(QMouseEvent *event) {
  if (!dragging_)
    return;
  const QPoint p = event->position().toPoint();
  const bool inside = p.x() >= 0 && p.x() < width() && p.y() >= 0 && p.y() <= height();
  const TButtonState newState = down_ ? TKitButtonGlyph::bsExclusive
                                      : (inside ? TKitButtonGlyph::bsDown : TKitButtonGlyph::bsUp);
  if (newState != state_) {
    state_ = newState;
    update();
  }
}

void TKitSpeedButton::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton) {
    if (dragging_)
      releaseAt(event->position().toPoint());
  } else {
    QWidget::mouseReleaseEvent(event);
    updateMouseInControl();
  }
}

void TKitSpeedButton::releaseAt(QPoint p) {
  if (!dragging_)
    return;
  dragging_ = false;
  const bool counted = p.x() >= 0 && p.x() < width() && p.y() >= 0 && p.y() <= height();
  const QPointer<TKitSpeedButton> self(this);
  if (groupIndex_ == 0) {
    state_ = TKitButtonGlyph::bsUp;
    mouseInControl_ = false;
    if (counted && !menuTracking_)
      Click();
  } else {
    if (counted)
      SetDown(!down_);
    else if (down_)
      state_ = TKitButtonGlyph::bsExclusive;
    if (counted && !menuTracking_)
      Click();
  }
  if (!self)
    return;
  // A button made down by SetDown (or refused) still shows its press.
  if (state_ == TKitButtonGlyph::bsDown)
    state_ = down_ ? TKitButtonGlyph::bsExclusive : TKitButtonGlyph::bsUp;
  update();
  if (repeatTimer_)
    repeatTimer_->stop();
  updateMouseInControl();
}

void TKitSpeedButton::repeatTick() {
  repeatTimer_->setInterval(repeatInterval_);
  if (state_ == TKitButtonGlyph::bsDown && dragging_) {
    try {
      Click();
    } catch (const std::exception &error) {
      repeatTimer_->stop();
      showMessageBox(this, QMessageBox::Critical, QApplication::applicationName(),
                     toQString(error.what()));
    }
  }
}

void TKitSpeedButton::mouseDoubleClickEvent(QMouseEvent *event) {
  if (menuTracking_)
    return;
  mousePressEvent(event);
  if (event->button() == Qt::LeftButton && down_ && OnDblClick)
    OnDblClick();
}

void TKitSpeedButton::updateMouseInControl() {
  const bool inside = isEnabled() && underMouse() && IsActiveWindowOurs();
  if (inside != mouseInControl_) {
    mouseInControl_ = inside;
    if (flat_)
      update();
  }
}

void TKitSpeedButton::enterEvent(QEnterEvent *event) {
  QWidget::enterEvent(event);
  if (isEnabled() && IsActiveWindowOurs() && !mouseInControl_) {
    mouseInControl_ = true;
    if (flat_)
      update();
  }
  if (OnMouseEnter)
    OnMouseEnter();
}

void TKitSpeedButton::leaveEvent(QEvent *event) {
  QWidget::leaveEvent(event);
  if (dragging_)
    return;
  if (mouseInControl_) {
    mouseInControl_ = false;
    if (flat_)
      update();
  }
  if (OnMouseLeave)
    OnMouseLeave();
}

void TKitSpeedButton::changeEvent(QEvent *event) {
  QWidget::changeEvent(event);
  switch (event->type()) {
  case QEvent::EnabledChange:
    updateMouseInControl();
    update();
    break;
  case QEvent::PaletteChange:
  case QEvent::StyleChange:
    glyph_.dropImages();
    update();
    break;
  case QEvent::FontChange:
    update();
    break;
  default:
    break;
  }
}

bool TKitSpeedButton::event(QEvent *event) {
  if (event->type() == QEvent::Shortcut &&
      static_cast<QShortcutEvent *>(event)->shortcutId() == shortcutId_) {
    if (isEnabled())
      Click();
    return true;
  }
  if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
    updateMouseInControl();
  return QWidget::event(event);
}

} // namespace marrowen

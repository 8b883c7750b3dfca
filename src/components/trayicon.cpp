#include "components/trayicon.h"

#include "classlib/format.h"
#include "classlib/streams.h"
#include "components/speedbutton.h"
#include "qtext/qtext.h"

#include <QBuffer>
#include <QCursor>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <algorithm>
#include <array>

namespace marrowen {

namespace {

void writeInt32(TStream &stream, std::uint32_t value) {
  std::array<unsigned char, 4> bytes = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  stream.WriteBuffer(bytes.data(), bytes.size());
}

std::uint32_t readInt32(TStream &stream) {
  std::array<unsigned char, 4> bytes;
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
}

// The icon in icon-file format, at the largest size it has (an icon file holds
// at most 256 x 256).
QByteArray iconFileBytes(const QIcon &icon) {
  if (icon.isNull())
    return QByteArray();
  QList<QSize> sizes = icon.availableSizes();
  QSize size(32, 32);
  if (!sizes.isEmpty())
    size = *std::max_element(sizes.begin(), sizes.end(), [](QSize a, QSize b) {
      return a.width() * a.height() < b.width() * b.height();
    });
  QImage image = icon.pixmap(size.boundedTo(QSize(256, 256))).toImage();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "ico");
  if (!writer.write(image))
    throw EStreamError("Stream write error");
  return bytes;
}

QIcon iconFromFileBytes(const QByteArray &bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "ico");
  QIcon icon;
  for (QImage image = reader.read(); !image.isNull(); image = reader.read()) {
    icon.addPixmap(QPixmap::fromImage(image));
    if (!reader.jumpToNextImage())
      break;
  }
  if (icon.isNull())
    throw EStreamError("Invalid icon in stream");
  return icon;
}

QIcon iconFromResource(const QString &resourceName) {
  QIcon icon(resourceName);
  if (icon.availableSizes().isEmpty())
    throw EStreamError(Format("Resource %s not found", {fromQString(resourceName)}));
  return icon;
}

} // namespace

// ---- TIconList

TIconList::~TIconList() {
  OnChange = nullptr;
  icons_.clear();
}

void TIconList::checkIndex(int index, int limit) const {
  if (index < 0 || index > limit)
    throw EListError(Format("List index out of bounds (%d)", {index}));
}

void TIconList::Changed() {
  if (updateCount_ == 0 && OnChange)
    OnChange();
}

void TIconList::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0)
    Changed();
}

QIcon TIconList::Get(int index) const {
  checkIndex(index, Count() - 1);
  return icons_[index];
}

void TIconList::Put(int index, const QIcon &icon) {
  checkIndex(index, Count());
  if (index == Count())
    icons_.append(icon);
  else
    icons_[index] = icon;
  Changed();
}

int TIconList::Add(const QIcon &icon) {
  icons_.append(icon);
  Changed();
  return Count() - 1;
}

int TIconList::AddResource(const QString &resourceName) {
  return Add(iconFromResource(resourceName));
}

void TIconList::Insert(int index, const QIcon &icon) {
  checkIndex(index, Count());
  icons_.insert(index, icon);
  Changed();
}

void TIconList::InsertResource(int index, const QString &resourceName) {
  Insert(index, iconFromResource(resourceName));
}

void TIconList::Delete(int index) {
  checkIndex(index, Count() - 1);
  icons_.removeAt(index);
  Changed();
}

void TIconList::Clear() {
  BeginUpdate();
  icons_.clear();
  Changed();
  EndUpdate();
}

void TIconList::Exchange(int index1, int index2) {
  checkIndex(index1, Count() - 1);
  checkIndex(index2, Count() - 1);
  icons_.swapItemsAt(index1, index2);
  Changed();
}

void TIconList::Move(int currentIndex, int newIndex) {
  checkIndex(currentIndex, Count() - 1);
  checkIndex(newIndex, Count() - 1);
  icons_.move(currentIndex, newIndex);
  Changed();
}

int TIconList::IndexOf(const QIcon &icon) const {
  for (int i = 0; i < Count(); ++i)
    if (!icon.isNull() && icons_[i].cacheKey() == icon.cacheKey())
      return i;
  return -1;
}

void TIconList::Assign(const TIconList &other) {
  if (&other == this)
    return;
  BeginUpdate();
  icons_ = other.icons_;
  Changed();
  EndUpdate();
}

void TIconList::Assign(const QIcon &icon) {
  BeginUpdate();
  icons_ = {icon};
  Changed();
  EndUpdate();
}

void TIconList::SaveToStream(TStream &stream) const {
  writeInt32(stream, static_cast<std::uint32_t>(icons_.size()));
  for (const QIcon &icon : icons_) {
    QByteArray bytes = iconFileBytes(icon);
    writeInt32(stream, static_cast<std::uint32_t>(bytes.size()));
    stream.WriteBuffer(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
}

void TIconList::LoadFromStream(TStream &stream) {
  BeginUpdate();
  icons_.clear();
  try {
    std::uint32_t count = readInt32(stream);
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t size = readInt32(stream);
      // A damaged size must not make us allocate what the stream cannot hold.
      if (size > stream.Size() - stream.Position())
        throw EStreamError("Stream read error");
      QByteArray bytes(static_cast<qsizetype>(size), '\0');
      stream.ReadBuffer(bytes.data(), size);
      icons_.append(size == 0 ? QIcon() : iconFromFileBytes(bytes));
    }
  } catch (...) {
    icons_.clear();
    Changed();
    EndUpdate();
    throw;
  }
  Changed();
  EndUpdate();
}

// ---- SystemTrayBackend

SystemTrayBackend::SystemTrayBackend() = default;

SystemTrayBackend::~SystemTrayBackend() = default;

bool SystemTrayBackend::add(const TrayNotifyData &data) {
  if (!QSystemTrayIcon::isSystemTrayAvailable())
    return false;
  if (!tray_) {
    tray_ = std::make_unique<QSystemTrayIcon>();
    QObject::connect(tray_.get(), &QSystemTrayIcon::activated, tray_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                       switch (reason) {
                       case QSystemTrayIcon::Trigger:
                         activated(Activation::Click);
                         break;
                       case QSystemTrayIcon::DoubleClick:
                         activated(Activation::DoubleClick);
                         break;
                       case QSystemTrayIcon::Context:
                         activated(Activation::Context);
                         break;
                       case QSystemTrayIcon::MiddleClick:
                         activated(Activation::Middle);
                         break;
                       default:
                         break;
                       }
                     });
  }
  modify(data);
  tray_->show();
  return tray_->isVisible();
}

void SystemTrayBackend::modify(const TrayNotifyData &data) {
  if (!tray_)
    return;
  tray_->setIcon(data.icon);
  tray_->setToolTip(data.tip);
}

void SystemTrayBackend::remove() {
  if (tray_)
    tray_->hide();
}

// ---- TKitTrayIcon

TKitTrayIcon::TKitTrayIcon(QObject *owner, std::unique_ptr<TrayBackend> backend)
    : QObject(owner),
      backend_(backend ? std::move(backend) : std::make_unique<SystemTrayBackend>()) {
  backend_->setActivationHandler([this](TrayBackend::Activation reason) { activated(reason); });
  icons_.OnChange = [this] { iconChanged(); };
  connect(&timer_, &QTimer::timeout, this, &TKitTrayIcon::animationFrame);
  timer_.setInterval(interval_);
}

TKitTrayIcon::~TKitTrayIcon() {
  enabled_ = false;
  icons_.OnChange = nullptr;
  animated_ = false;
  timer_.stop();
  hideIcon();
  backend_->setActivationHandler(nullptr);
}

QIcon TKitTrayIcon::currentIcon() const {
  if (animated_ && icons_.Count() > 0)
    return icons_.Get(std::clamp(iconIndex_, 0, icons_.Count() - 1));
  return icon_;
}

void TKitTrayIcon::UpdateNotifyData() {
  notifyData_.icon = currentIcon();
  qsizetype bar = hint_.indexOf(u'|');
  notifyData_.tip = leftWholeLetters(bar < 0 ? hint_ : hint_.left(bar), 63);
}

void TKitTrayIcon::showIcon() {
  hideIcon();
  if (currentIcon().isNull())
    return;
  UpdateNotifyData();
  added_ = backend_->add(notifyData_);
  if (added_ && animated_)
    timer_.start();
}

void TKitTrayIcon::hideIcon() {
  if (added_)
    backend_->remove();
  added_ = false;
  timer_.stop();
}

void TKitTrayIcon::iconChanged() {
  if (icons_.Count() == 0 && animated_) {
    animated_ = false;
    timer_.stop();
  }
  if (added_) {
    if (currentIcon().isNull()) {
      hideIcon();
    } else {
      UpdateNotifyData();
      backend_->modify(notifyData_);
    }
  } else if (active_) {
    showIcon();
  }
}

void TKitTrayIcon::SetActive(bool active) {
  if (active == active_)
    return;
  active_ = active;
  if (active_)
    showIcon();
  else
    hideIcon();
}

void TKitTrayIcon::SetAnimated(bool animated) {
  animated = animated && icons_.Count() > 0;
  if (animated == animated_)
    return;
  animated_ = animated;
  if (animated_ && added_)
    timer_.start();
  else
    timer_.stop();
  iconIndex_ = 0;
  iconChanged();
}

void TKitTrayIcon::SetInterval(std::uint16_t milliseconds) {
  interval_ = milliseconds;
  timer_.setInterval(milliseconds);
}

void TKitTrayIcon::SetIcon(const QIcon &icon) {
  icon_ = icon;
  iconChanged();
}

void TKitTrayIcon::SetHint(const QString &hint) {
  if (hint == hint_)
    return;
  hint_ = hint;
  iconChanged();
}

void TKitTrayIcon::animationFrame() {
  if (!enabled_ || !animated_)
    return;
  ++iconIndex_;
  if (iconIndex_ >= icons_.Count())
    iconIndex_ = 0;
  iconChanged();
}

// The area reports a click once it is over, so each stands for its press and
// its release. A double click's first click was reported before it.
void TKitTrayIcon::activated(TrayBackend::Activation reason) {
  if (!enabled_)
    return;
  const QPoint position = QCursor::pos();
  const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
  auto click = [&](Qt::MouseButton button, bool clicks) {
    const TShiftState shift{keys, button};
    MouseDown(button, shift, position);
    if (clicks)
      Click(button, shift, position);
    MouseUp(button, shift, position);
  };
  switch (reason) {
  case TrayBackend::Activation::Click:
    click(Qt::LeftButton, true);
    break;
  case TrayBackend::Activation::DoubleClick:
    DblClick();
    MouseDown(Qt::LeftButton, {keys, Qt::LeftButton, true}, position);
    MouseUp(Qt::LeftButton, {keys, Qt::LeftButton}, position);
    break;
  case TrayBackend::Activation::Context:
    click(Qt::RightButton, true);
    break;
  case TrayBackend::Activation::Middle:
    click(Qt::MiddleButton, false);
    break;
  }
}

void TKitTrayIcon::MouseDown(Qt::MouseButton button, TShiftState shift, QPoint position) {
  if (OnMouseDown)
    OnMouseDown(button, shift, position);
}

void TKitTrayIcon::MouseUp(Qt::MouseButton button, TShiftState shift, QPoint position) {
  if (OnMouseUp)
    OnMouseUp(button, shift, position);
}

bool TKitTrayIcon::popUpMenu() {
  if (!active_ || !popupMenu_)
    return false;
  if (!TKitSpeedButton::menuAutoPopup(popupMenu_))
    return false;
  popupMenu_->popup(QCursor::pos());
  return true;
}

void TKitTrayIcon::Click(Qt::MouseButton button, TShiftState shift, QPoint position) {
  if (button == Qt::RightButton && popUpMenu())
    return;
  if (OnClick)
    OnClick(button, shift, position);
}

void TKitTrayIcon::DblClick() {
  if (active_ && popupMenu_ && !popupMenu_->actions().isEmpty()) {
    QAction *item = popupMenu_->defaultAction();
    if (item && item->isEnabled()) {
      item->trigger();
      return;
    }
  }
  if (OnDblClick)
    OnDblClick();
}

} // namespace marrowen

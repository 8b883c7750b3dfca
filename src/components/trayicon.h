#pragma once

#include "classlib/exceptions.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace marrowen {

class TStream;

// "List index out of bounds (%d)"
class EListError : public Exception {
public:
  using Exception::Exception;
};

// The frames of an animated tray icon. A null icon stands for an empty entry.
// Every change ends with OnChange, once for a whole batch between BeginUpdate
// and EndUpdate.
//
// Stream form, integers 32-bit little-endian: the count, then for each entry
// its size in bytes (0 for an empty one) and the icon in icon-file format.
class TIconList {
public:
  TIconList() = default;
  virtual ~TIconList();
  TIconList(const TIconList &) = delete;
  TIconList &operator=(const TIconList &) = delete;

  int Count() const { return static_cast<int>(icons_.size()); }
  QIcon Get(int index) const;
  // At index Count() the entry is appended.
  void Put(int index, const QIcon &icon);
  int Add(const QIcon &icon);
  // Loads the icon from a Qt resource (":/...").
  int AddResource(const QString &resourceName);
  void Insert(int index, const QIcon &icon);
  void InsertResource(int index, const QString &resourceName);
  void Delete(int index);
  void Clear();
  void Exchange(int index1, int index2);
  void Move(int currentIndex, int newIndex);
  // The entry holding this very icon (not an equal picture); -1 for none.
  int IndexOf(const QIcon &icon) const;

  void Assign(const TIconList &other);
  void Assign(const QIcon &icon);

  // Reading replaces the whole list; a damaged stream raises EStreamError
  // and leaves the list empty.
  void LoadFromStream(TStream &stream);
  void SaveToStream(TStream &stream) const;

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  std::function<void()> OnChange;

protected:
  virtual void Changed();

private:
  void checkIndex(int index, int limit) const;

  QList<QIcon> icons_;
  int updateCount_ = 0;
};

// What the tray icon shows: refreshed before every add and change.
struct TrayNotifyData {
  QIcon icon;
  QString tip;
};

// The notification area as the tray icon sees it, so that tests can put a
// fake in its place. A desktop without one refuses every add.
class TrayBackend {
public:
  enum class Activation { Click, DoubleClick, Context, Middle };

  virtual ~TrayBackend() = default;
  // Shows the entry; false when the notification area refused it.
  virtual bool add(const TrayNotifyData &data) = 0;
  virtual void modify(const TrayNotifyData &data) = 0;
  virtual void remove() = 0;

  void setActivationHandler(std::function<void(Activation)> handler) {
    handler_ = std::move(handler);
  }

protected:
  void activated(Activation reason) {
    if (handler_)
      handler_(reason);
  }

private:
  std::function<void(Activation)> handler_;
};

// The desktop's notification area through QSystemTrayIcon, used only where
// the desktop has one.
class SystemTrayBackend : public TrayBackend {
public:
  SystemTrayBackend();
  ~SystemTrayBackend() override;

  bool add(const TrayNotifyData &data) override;
  void modify(const TrayNotifyData &data) override;
  void remove() override;

private:
  std::unique_ptr<QSystemTrayIcon> tray_;
};

// An icon with a tooltip in the notification area. Each click the area
// reports is a press and a release: OnMouseDown, then the click, then
// OnMouseUp. A left click is OnClick; a right click pops the menu up at the
// cursor, or is OnClick when there is no menu or its "AutoPopup" property is
// false; the middle button has no click. A double click runs the popup
// menu's default item when it has an enabled one, else OnDblClick, and then
// its second press follows, marked as one. The icon can step through
// Icons every Interval milliseconds, on the user-interface thread. It is shown
// while Active and it has an icon; a desktop without a notification area
// simply never shows it.
class TKitTrayIcon : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
public:
  // Without a backend the desktop's notification area is used.
  explicit TKitTrayIcon(QObject *owner = nullptr, std::unique_ptr<TrayBackend> backend = {});
  ~TKitTrayIcon() override;

  bool Active() const { return active_; }
  void SetActive(bool active);
  // Whether the icon is in the notification area now.
  bool added() const { return added_; }
  bool Animated() const { return animated_; }
  // Stays off while Icons is empty.
  void SetAnimated(bool animated);
  std::uint16_t Interval() const { return interval_; }
  void SetInterval(std::uint16_t milliseconds);
  const QIcon &Icon() const { return icon_; }
  void SetIcon(const QIcon &icon);
  TIconList &Icons() { return icons_; }
  void SetIcons(const TIconList &icons) { icons_.Assign(icons); }
  // The tooltip is the part before a "|", cut to 63 characters.
  const QString &Hint() const { return hint_; }
  void SetHint(const QString &hint);
  QMenu *PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(QMenu *menu) { popupMenu_ = menu; }

  // The icon shown: Icon, or the current frame of Icons while animated.
  QIcon currentIcon() const;
  int iconIndex() const { return iconIndex_; }

  // The keys held, the button the event is about, and whether it is the
  // second press of a double click.
  struct TShiftState {
    Qt::KeyboardModifiers keys;
    Qt::MouseButtons buttons;
    bool doubleClick = false;
  };
  using TMouseEvent =
      std::function<void(Qt::MouseButton button, TShiftState shift, QPoint position)>;
  TMouseEvent OnClick;
  std::function<void()> OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;

protected:
  virtual void UpdateNotifyData();
  virtual void MouseDown(Qt::MouseButton button, TShiftState shift, QPoint position);
  virtual void MouseUp(Qt::MouseButton button, TShiftState shift, QPoint position);
  virtual void Click(Qt::MouseButton button, TShiftState shift, QPoint position);
  virtual void DblClick();

  TrayNotifyData notifyData_;

private:
  void showIcon();
  void hideIcon();
  void iconChanged();
  void animationFrame();
  void activated(TrayBackend::Activation reason);
  bool popUpMenu();

  std::unique_ptr<TrayBackend> backend_;
  bool active_ = true;
  bool added_ = false;
  bool animated_ = false;
  bool enabled_ = true; // activations become events
  int iconIndex_ = -1;
  std::uint16_t interval_ = 150;
  QIcon icon_;
  TIconList icons_;
  QTimer timer_;
  QString hint_;
  QPointer<QMenu> popupMenu_;
};

} // namespace marrowen

#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QEvent;

namespace marrowen {

class TControlHook;

// Watches and may alter the events of any widget (typically its form) without
// subclassing it: BeforeMessage sees each event before the widget and may stop
// it by setting `handled`; AfterMessage sees it after the widget and its other
// event filters have. A deferred delete cannot be stopped and has no after
// phase. Several hooks on one widget share one event filter, and the later
// hook is asked first. The widget is watched through a guarded pointer: when
// it goes, WinControl becomes empty.
//
// Filters the widget gains after its first hook, and the program's own
// filters, come before the hooks; the widget's earlier filters come between
// BeforeMessage and the widget. Each sees an event once.
class TKitWindowHook : public QObject {
  Q_OBJECT
public:
  explicit TKitWindowHook(QObject *owner = nullptr);
  ~TKitWindowHook() override;

  bool Active() const { return active_; }
  void SetActive(bool active);
  QWidget *WinControl() const { return control_; }
  void SetWinControl(QWidget *control);

  using THookMessageEvent = std::function<void(QEvent *event, bool &handled)>;
  THookMessageEvent BeforeMessage;
  THookMessageEvent AfterMessage;

private:
  friend class TControlHook;
  void hook();
  void unhook();

  bool active_ = true;
  QPointer<QWidget> control_;
  QPointer<TControlHook> shared_;
};

// The one event filter on a widget that its window hooks share; it lives as
// the widget's child, so it goes with the widget, and it removes itself when
// its last hook leaves.
class TControlHook : public QObject {
  Q_OBJECT
public:
  // The filter on `control`, made on first use.
  static TControlHook *of(QWidget *control);
  // The filter on `control` when one is there.
  static TControlHook *find(const QWidget *control);
  ~TControlHook() override;

  QWidget *control() const { return control_; }
  qsizetype userCount() const { return users_.size(); }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  explicit TControlHook(QWidget *control);
  friend class TKitWindowHook;
  void addUser(TKitWindowHook *hook);
  void removeUser(TKitWindowHook *hook);
  void releaseWhenUnused();

  QWidget *control_;
  QList<QPointer<TKitWindowHook>> users_;
  int dispatching_ = 0; // deliveries under way
};

} // namespace marrowen

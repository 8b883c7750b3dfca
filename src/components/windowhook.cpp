#include "components/windowhook.h"

#include <QEvent>

#include <private/qobject_p.h>

namespace marrowen {

namespace {

// Hands `event` on to what lies beneath `filter` on `receiver`: the filters
// the receiver had before it, then the receiver itself. What came before the
// filter (the program's own filters, filters added later) has seen the event
// already and must not see it again, which a fresh delivery would do.
void deliverBeneath(QObject *receiver, QObject *filter, QEvent *event) {
  QList<QPointer<QObject>> beneath;
  if (const auto *extra = QObjectPrivate::get(receiver)->extraData) {
    const qsizetype at = extra->eventFilters.indexOf(filter);
    if (at >= 0)
      beneath = extra->eventFilters.mid(at + 1);
  }
  const QPointer<QObject> alive(receiver);
  for (const QPointer<QObject> &other : std::as_const(beneath))
    if (!alive || (other && other->eventFilter(receiver, event)))
      return;
  // QObject::event is public, the widget's override is not.
  if (alive)
    static_cast<QObject *>(receiver)->event(event);
}

} // namespace

// ---- TKitWindowHook

TKitWindowHook::TKitWindowHook(QObject *owner) : QObject(owner) {}

TKitWindowHook::~TKitWindowHook() {
  SetActive(false);
  SetWinControl(nullptr);
}

void TKitWindowHook::SetActive(bool active) {
  if (active == active_)
    return;
  if (active) {
    active_ = true;
    hook();
  } else {
    unhook();
    active_ = false;
  }
}

void TKitWindowHook::SetWinControl(QWidget *control) {
  if (control == control_)
    return;
  unhook();
  control_ = control;
  if (active_)
    hook();
}

void TKitWindowHook::hook() {
  if (!control_ || shared_)
    return;
  shared_ = TControlHook::of(control_);
  shared_->addUser(this);
}

void TKitWindowHook::unhook() {
  if (TControlHook *shared = shared_) {
    shared_ = nullptr;
    shared->removeUser(this);
  }
}

// ---- TControlHook

TControlHook::TControlHook(QWidget *control) : QObject(control), control_(control) {
  control_->installEventFilter(this);
}

TControlHook::~TControlHook() {
  control_->removeEventFilter(this);
  for (const QPointer<TKitWindowHook> &user : std::as_const(users_))
    if (user) {
      user->shared_ = nullptr;
      user->control_ = nullptr;
    }
}

TControlHook *TControlHook::find(const QWidget *control) {
  if (!control)
    return nullptr;
  for (QObject *child : control->children())
    if (auto *hook = qobject_cast<TControlHook *>(child); hook && hook->control_ == control)
      return hook;
  return nullptr;
}

TControlHook *TControlHook::of(QWidget *control) {
  if (TControlHook *hook = find(control))
    return hook;
  return new TControlHook(control); // owned by the control
}

void TControlHook::addUser(TKitWindowHook *hook) {
  if (!users_.contains(hook))
    users_.append(hook);
}

void TControlHook::removeUser(TKitWindowHook *hook) {
  users_.removeAll(hook);
  releaseWhenUnused();
}

void TControlHook::releaseWhenUnused() {
  users_.removeAll(nullptr);
  // Inside a delivery the filter is still on the call stack; it goes when
  // the outermost delivery ends.
  if (users_.isEmpty() && dispatching_ == 0)
    delete this;
}

bool TControlHook::eventFilter(QObject *watched, QEvent *event) {
  if (watched != control_)
    return false;
  // A handler, or the widget itself, may delete the widget and with it this
  // filter; nothing of the filter is touched once it has gone.
  const QPointer<TControlHook> self(this);
  ++dispatching_;
  const QList<QPointer<TKitWindowHook>> users = users_;
  bool handled = false;
  for (qsizetype i = users.size() - 1; i >= 0 && !handled && self; --i)
    if (users[i] && users[i]->BeforeMessage)
      users[i]->BeforeMessage(event, handled);
  if (!self)
    return true;

  // A deferred delete always reaches the widget, and nothing follows it.
  const bool deleting = event->type() == QEvent::DeferredDelete;
  bool stop = handled && !deleting;
  bool anyAfter = false;
  for (const QPointer<TKitWindowHook> &user : users)
    anyAfter = anyAfter || (user && user->AfterMessage);
  if (!handled && !deleting && anyAfter) {
    // The widget has the event first, and whether it takes it decides, as
    // without the hook, whether a key or a press goes on to its parent.
    deliverBeneath(control_, this, event);
    if (!self)
      return true;
    for (qsizetype i = users.size() - 1; i >= 0 && !handled && self; --i)
      if (users[i] && users[i]->AfterMessage)
        users[i]->AfterMessage(event, handled);
    if (!self)
      return true;
    stop = true;
  }
  if (--dispatching_ == 0)
    releaseWhenUnused(); // may delete this filter; nothing of it is used after
  return stop;
}

} // namespace marrowen

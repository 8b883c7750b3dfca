#include "components/windowhook.h"

#include <QCoreApplication>
#include <QEvent>

namespace marrowen {

namespace {

// Events that QApplication hands on to the parent widget when the receiver
// leaves them unaccepted.
bool propagatesToParent(QEvent::Type type) {
  switch (type) {
  case QEvent::KeyPress:
  case QEvent::KeyRelease:
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonRelease:
  case QEvent::MouseButtonDblClick:
  case QEvent::MouseMove:
  case QEvent::Wheel:
  case QEvent::ContextMenu:
  case QEvent::TabletPress:
  case QEvent::TabletRelease:
  case QEvent::TabletMove:
  case QEvent::StatusTip:
  case QEvent::WhatsThis:
  case QEvent::DragEnter:
  case QEvent::DragMove:
  case QEvent::Drop:
    return true;
  default:
    return false;
  }
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
  // Installing again puts this filter before any the widget gained since,
  // so that handing an event on to the widget reaches each of them once.
  if (dispatching_ == 0)
    control_->installEventFilter(this);
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
  if (watched != control_ || event == redelivering_)
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
    // The widget and its other filters have the event first; notify()
    // rather than sendEvent() keeps the event's spontaneous mark.
    QEvent *outer = redelivering_;
    redelivering_ = event;
    QCoreApplication::instance()->notify(control_, event);
    if (!self)
      return true;
    redelivering_ = outer;
    for (qsizetype i = users.size() - 1; i >= 0 && !handled && self; --i)
      if (users[i] && users[i]->AfterMessage)
        users[i]->AfterMessage(event, handled);
    if (!self)
      return true;
    // The nested delivery already offered an unaccepted event to the
    // parents; accepting it keeps them from seeing it twice. A window has
    // no parent to offer it to, so its events keep their own answer.
    if (propagatesToParent(event->type()) && !control_->isWindow())
      event->accept();
    stop = true;
  }
  if (--dispatching_ == 0)
    releaseWhenUnused(); // may delete this filter; nothing of it is used after
  return stop;
}

} // namespace marrowen

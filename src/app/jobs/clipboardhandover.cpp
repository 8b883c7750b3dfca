#include "app/jobs/clipboardhandover.h"

#include <QGuiApplication>

#ifdef MARROWEN_X11_CLIPBOARD
#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QEventLoop>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#endif

namespace marrowen {

std::string clipboardLostMessage() {
  return "The output the job put on the clipboard was lost when the program ended: no clipboard "
         "manager took it over, so no other program can paste it. Run a clipboard manager, or "
         "write the output to a file";
}

#ifdef MARROWEN_X11_CLIPBOARD

namespace {

struct FreeReply {
  void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t atom(xcb_connection_t *connection, const char *name) {
  const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t selectionOwner(xcb_connection_t *connection, xcb_atom_t selection) {
  const Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, selection), nullptr));
  return reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
}

// Sees the requests other programs make of the clipboard this program holds:
// one for anything but its list of formats is a copy of its text being taken.
// The text is noted as the request comes: a manager may ask for a new text
// before the notice that it is new comes round.
class CopyFilter : public QAbstractNativeEventFilter {
public:
  explicit CopyFilter(xcb_connection_t *connection)
      : clipboard_(atom(connection, "CLIPBOARD")), targets_(atom(connection, "TARGETS")),
        timestamp_(atom(connection, "TIMESTAMP")) {}

  bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override {
    if (type != "xcb_generic_event_t")
      return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & 0x7f) {
    case XCB_SELECTION_REQUEST: {
      const auto *request = static_cast<const xcb_selection_request_event_t *>(message);
      if (request->selection == clipboard_ && request->target != targets_ &&
          request->target != timestamp_) {
        // Held here, the text is at hand without asking the server.
        if (QGuiApplication::clipboard()->ownsClipboard())
          copied = QGuiApplication::clipboard()->text();
        copying = true;
        notify();
      }
      break;
    }
    case XCB_PROPERTY_NOTIFY:
      // A long text goes over in pieces, each a property change.
      if (copying)
        notify();
      break;
    case XCB_SELECTION_CLEAR:
      // Another program holds the clipboard now: nothing of ours is left.
      cleared = true;
      notify();
      break;
    }
    return false;
  }
  void notify() {
    if (activity)
      activity();
  }

  QString copied;
  bool copying = false;
  bool cleared = false;
  std::function<void()> activity;

private:
  xcb_atom_t clipboard_, targets_, timestamp_;
};

} // namespace

struct ClipboardCopyWatch::Filter : CopyFilter {
  using CopyFilter::CopyFilter;
};

ClipboardCopyWatch::ClipboardCopyWatch() {
  auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection())
    return;
  connection_ = x11->connection();
  filter_ = std::make_unique<Filter>(connection_);
  qApp->installNativeEventFilter(filter_.get());
}

ClipboardCopyWatch::~ClipboardCopyWatch() {
  if (filter_ && qApp)
    qApp->removeNativeEventFilter(filter_.get());
}

bool ClipboardCopyWatch::awaitCopy(const QString &text, std::chrono::milliseconds limit) {
  if (text.isEmpty() || !filter_)
    return false;
  // The application object hands the text to it as it goes.
  if (selectionOwner(connection_, atom(connection_, "CLIPBOARD_MANAGER")) != XCB_WINDOW_NONE)
    return true;
  if (filter_->copied == text)
    return true;
  // The caller found the text still this program's.
  filter_->copying = filter_->cleared = false;
  QEventLoop loop;
  QTimer quiet;
  quiet.setSingleShot(true);
  QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
  filter_->activity = [&] {
    // Let the copy finish before the program goes.
    if (filter_->cleared)
      loop.quit();
    else
      quiet.start(250);
  };
  QTimer::singleShot(limit, &loop, &QEventLoop::quit);
  loop.exec();
  filter_->activity = nullptr;
  return filter_->copied == text;
}

namespace {

using Clock = std::chrono::steady_clock;
using Event = std::unique_ptr<xcb_generic_event_t, FreeReply>;

// The next event of `kind` before `deadline`, none after it or when the
// connection broke.
Event nextEvent(xcb_connection_t *connection, std::uint8_t kind, Clock::time_point deadline) {
  while (Clock::now() < deadline) {
    Event event(xcb_poll_for_event(connection));
    if (event) {
      if ((event->response_type & 0x7f) == kind)
        return event;
      continue;
    }
    if (xcb_connection_has_error(connection))
      return nullptr;
    pollfd wait{xcb_get_file_descriptor(connection), POLLIN, 0};
    ::poll(&wait, 1, 50);
  }
  return nullptr;
}

// Takes the property off the window, as the owner sending it in pieces waits
// for before it sends the next.
Reply<xcb_get_property_reply_t> takeProperty(xcb_connection_t *connection, xcb_window_t window,
                                             xcb_atom_t property) {
  return Reply<xcb_get_property_reply_t>(xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff),
      nullptr));
}

QByteArray valueOf(xcb_get_property_reply_t *reply) {
  return QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                    xcb_get_property_value_length(reply));
}

} // namespace

bool clipboardOutlivesProgram(const QByteArray &display, const QString &text,
                              std::chrono::milliseconds limit) {
  if (text.isEmpty())
    return true;
  int screenNumber = 0;
  const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)> owned(
      xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber),
      xcb_disconnect);
  xcb_connection_t *connection = owned.get();
  if (xcb_connection_has_error(connection))
    return false;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
    xcb_screen_next(&screens);
  if (!screens.data)
    return false;
  const xcb_atom_t clipboard = atom(connection, "CLIPBOARD");
  const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
  const xcb_atom_t incremental = atom(connection, "INCR");
  const xcb_atom_t property = atom(connection, "MARROWEN_CLIPBOARD_CHECK");
  const xcb_window_t window = xcb_generate_id(connection);
  const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
  const QByteArray expected = text.toUtf8();
  const auto deadline = Clock::now() + limit;

  // A manager that copied the text while this program ran takes the
  // clipboard over only once it has seen it empty: ask until the deadline.
  while (Clock::now() < deadline) {
    xcb_convert_selection(connection, window, clipboard, utf8, property, XCB_CURRENT_TIME);
    xcb_flush(connection);
    const Event event = nextEvent(connection, XCB_SELECTION_NOTIFY, deadline);
    if (!event)
      return false;
    QByteArray served;
    if (reinterpret_cast<const xcb_selection_notify_event_t *>(event.get())->property !=
        XCB_ATOM_NONE) {
      const Reply<xcb_get_property_reply_t> reply = takeProperty(connection, window, property);
      if (reply && reply->type == incremental) {
        // A long text comes in pieces, each a new value of the property, the
        // last one empty.
        xcb_flush(connection);
        for (;;) {
          if (!nextEvent(connection, XCB_PROPERTY_NOTIFY, deadline))
            return false;
          const Reply<xcb_get_property_reply_t> piece = takeProperty(connection, window, property);
          if (!piece || piece->type == XCB_ATOM_NONE)
            continue; // the deletion's own notice
          if (xcb_get_property_value_length(piece.get()) == 0)
            break;
          served += valueOf(piece.get());
          xcb_flush(connection);
        }
      } else if (reply) {
        served = valueOf(reply.get());
      }
    }
    if (served == expected)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

#else

struct ClipboardCopyWatch::Filter {};

ClipboardCopyWatch::ClipboardCopyWatch() = default;

ClipboardCopyWatch::~ClipboardCopyWatch() = default;

bool ClipboardCopyWatch::awaitCopy(const QString &, std::chrono::milliseconds) { return false; }

bool clipboardOutlivesProgram(const QByteArray &, const QString &, std::chrono::milliseconds) {
  return true;
}

#endif

} // namespace marrowen

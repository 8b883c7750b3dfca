#include "app/common/forminfo.h"

#include "classlib/registry.h"
#include "components/kitutils.h"
#include "qtext/qtext.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdint>
#include <functional>

namespace marrowen {

namespace {

SettingsStore *testStore = nullptr;

// Hands on the events of the form and of the frame it is shown in.
class FrameWatch : public QObject {
public:
  explicit FrameWatch(std::function<void(QObject *, QEvent *)> seen) : seen_(std::move(seen)) {}
  bool eventFilter(QObject *watched, QEvent *event) override {
    seen_(watched, event);
    return false;
  }

private:
  std::function<void(QObject *, QEvent *)> seen_;
};

constexpr Qt::WindowStates notNormal =
    Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

// The monitor whose available area wholly holds a stored rectangle, if any:
// a window left on a second monitor comes back there.
QScreen *screenHolding(std::int64_t left, std::int64_t top, std::int64_t width,
                       std::int64_t height) {
  for (QScreen *screen : QGuiApplication::screens()) {
    const QRect area = screen->availableGeometry();
    if (left >= area.x() && top >= area.y() &&
        left + width <= area.x() + std::int64_t(area.width()) &&
        top + height <= area.y() + std::int64_t(area.height()))
      return screen;
  }
  return nullptr;
}

} // namespace

void TFormInfo::useStore(SettingsStore *store) { testStore = store; }

SettingsStore &TFormInfo::store() { return testStore ? *testStore : SettingsStore::global(); }

TFormInfo::TFormInfo(QWidget *form, QString formName)
    : FormName(formName.isEmpty() && form ? form->objectName() : formName), form_(form) {
  watch_ = std::make_unique<FrameWatch>([this](QObject *watched, QEvent *event) {
    if (watched == form_ && event->type() == QEvent::Show) {
      QWidget *frame = frameOf(form_);
      if (frame != form_)
        frame->installEventFilter(watch_.get());
      // A window given its state before it was made has it only in its own
      // eyes: the window system, which maximizes it, is told now, before
      // the window appears.
      if (loaded_ && frame == form_ && form_->windowHandle() && (form_->windowState() & notNormal))
        form_->windowHandle()->setWindowStates(form_->windowState() & ~Qt::WindowActive);
      if (loaded_ && frame != form_ && frame != frame_) {
        // Loaded before it had a frame, the form took the stored state
        // itself; inside a frame a maximized form is a bare box, and the
        // state is the frame's.
        form_->setWindowState(form_->windowState() & ~notNormal);
        apply(frame);
      }
      noteNormal();
    }
    // Before it shows, a window's rectangle is not yet the one it shows at.
    // Looked at once the change is done: a workspace that resizes its
    // maximized frame makes it normal for that moment.
    if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && watched == window() &&
        window()->isVisible() && !notePending_) {
      notePending_ = true;
      QTimer::singleShot(0, watch_.get(), [this] {
        notePending_ = false;
        noteNormal();
      });
    }
  });
  if (form)
    form->installEventFilter(watch_.get());
}

TFormInfo::~TFormInfo() = default;

void TFormInfo::noteNormal() {
  const QWidget *w = window();
  if (w && !(w->windowState() & notNormal))
    normal_ = QRect(w->pos(), w->size());
}

QWidget *TFormInfo::window() const {
  QWidget *frame = frameOf(form_);
  return frame != form_ || !frame_ ? frame : frame_.data();
}

std::string TFormInfo::key() const {
  const QString company = Company.isEmpty() ? QStringLiteral("Ostrevan") : Company;
  // The whole program name: cutting an extension would maim "marrowen".
  const QString app =
      AppName.isEmpty() ? QFileInfo(QCoreApplication::applicationFilePath()).fileName() : AppName;
  const QString form = FormName.isEmpty() && form_ ? form_->objectName() : FormName;
  return fromQString(QStringLiteral("Software\\") + company + '\\' + app + '\\' + form);
}

void TFormInfo::Load() {
  loaded_ = true;
  if (form_)
    apply(frameOf(form_));
}

void TFormInfo::apply(QWidget *window) {
  if (window != form_)
    frame_ = window;
  SettingsStore &settings = store();
  const std::string k = key();
  if (!settings.keyExists(k))
    return;
  // Stored numbers may be anything: the arithmetic is done wide and the
  // rectangle checked against the screen before any of it reaches the form.
  const QRect current = window->geometry();
  auto read = [&](const char *name, int value) -> std::int64_t {
    return settings.readInteger(k, name).value_or(value);
  };
  const std::int64_t width = recordSize ? read("Width", current.width()) : current.width();
  const std::int64_t height = recordSize ? read("Height", current.height()) : current.height();
  const std::int64_t left = recordPosition ? read("Left", current.left()) : current.left();
  const std::int64_t top = recordPosition ? read("Top", current.top()) : current.top();
  // A top-level window lying wholly on some monitor goes there; else its own
  // screen judges, as the only one always did.
  QScreen *holding = window->isWindow() ? screenHolding(left, top, width, height) : nullptr;
  const QRect area = holding ? holding->availableGeometry() : placementArea(window);
  if (!storedSizeFits(width, height, area))
    return;
  if (window == form_) {
    const std::int64_t right = std::int64_t(area.x()) + area.width();
    const std::int64_t bottom = std::int64_t(area.y()) + area.height();
    // Beyond the left or top edge by more than a screen, it could not be
    // reached to move it back.
    if (top + height > bottom || left + width > right || left < -std::int64_t(area.width()) ||
        top < -std::int64_t(area.height()))
      return;
    // Moved before it is made, a window would still open on the screen it
    // had, and be kept within that one.
    if (holding && holding != window->screen())
      window->setScreen(holding);
    if (recordPosition)
      window->move(static_cast<int>(left), static_cast<int>(top));
    if (recordSize)
      window->resize(static_cast<int>(width), static_cast<int>(height));
  } else {
    // In a frame the workspace places it: within the workspace where it fits.
    // A workspace may have maximized the frame as it showed, and the stored
    // rectangle is the normal one.
    if (window->windowState() & notNormal)
      window->setWindowState(window->windowState() & ~notNormal);
    placeStoredRect(window, recordPosition ? left : window->x(), recordPosition ? top : window->y(),
                    width, height);
  }
  // What a form opened maximized goes back to, and keeps, until it is sized.
  normal_ = QRect(window->pos(), window->size());
  // Set only when it changes: a frame told to be normal again goes back to
  // the size it had before.
  const Qt::WindowStates state =
      settings.readBool(k, "WindowState", true) ? Qt::WindowNoState : Qt::WindowMaximized;
  if ((window->windowState() & notNormal) != state) {
    const Qt::WindowStates wanted = (window->windowState() & ~notNormal) | state;
    // A window not made yet takes the state when it is made; setting it
    // now would make it, and a form about to go into a workspace frame
    // must not be a window of its own.
    if (window->isWindow() && !window->testAttribute(Qt::WA_WState_Created))
      window->overrideWindowState(wanted);
    else
      window->setWindowState(wanted);
  }
}

void TFormInfo::Save() {
  if (!form_)
    return;
  const QWidget *form = window();
  SettingsStore &settings = store();
  SettingsStore::BatchedWrites once(settings);
  const std::string k = key();
  if (!settings.createKey(k))
    return;
  const bool normal = !(form->windowState() & notNormal);
  // Maximized or minimized, the rectangle is the last one seen in the normal
  // state, as the position of a normal one is: where its frame begins.
  QRect r = normal ? QRect(form->pos(), form->size()) : normal_;
  // Not seen normal since it was watched: the window system's rectangle,
  // which gives where the window begins inside its frame.
  if (!r.isValid() && form->isWindow()) {
    const QRect inside = form->normalGeometry();
    r = QRect(inside.topLeft() - (form->geometry().topLeft() - form->frameGeometry().topLeft()),
              inside.size());
  }
  if (r.isValid()) {
    settings.writeInteger(k, "Width", r.width());
    settings.writeInteger(k, "Height", r.height());
    settings.writeInteger(k, "Left", r.left());
    settings.writeInteger(k, "Top", r.top());
  }
  settings.writeBool(k, "WindowState", normal);
}

} // namespace marrowen

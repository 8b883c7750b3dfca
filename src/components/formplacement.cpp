#include "components/formplacement.h"

#include "classlib/exceptions.h"
#include "classlib/inifile.h"
#include "classlib/registry.h"
#include "components/dialogrunner.h"
#include "components/inistorage.h"
#include "components/kitutils.h"
#include "components/windowhook.h"
#include "qtext/qtext.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <utility>

namespace marrowen {

namespace {

constexpr std::string_view siFlags = "Flags";
constexpr std::string_view siShowCmd = "ShowCmd";
constexpr std::string_view siPixels = "PixelsPerInch";
constexpr std::string_view siMinMaxPos = "MinMaxPos";
constexpr std::string_view siNormPos = "NormPos";
constexpr std::string_view siFormVersion = "FormVersion";
constexpr std::string_view siActiveControl = "ActiveControl";
constexpr std::string_view siVisible = "Visible";

// The show commands "ShowCmd" holds.
constexpr int swShowNormal = 1, swShowMinimized = 2, swShowMaximized = 3;
// "Flags": a minimized form in a workspace frame, and a minimized form that
// comes back maximized.
constexpr int wpfSetMinPosition = 1, wpfRestoreToMaximized = 2;

int screenPixelsPerInch() {
  QScreen *screen = QGuiApplication::primaryScreen();
  return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInch())) : 96;
}

QSize screenSize() {
  QScreen *screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize();
}

// Whether the widget is a form: a window, or what a workspace frame holds.
bool isForm(const QWidget *widget) { return widget && formOf(widget) == widget; }

std::string joinNumbers(std::initializer_list<int> numbers) {
  std::string text;
  for (int n : numbers) {
    if (!text.empty())
      text += ',';
    text += std::to_string(n);
  }
  return text;
}

// The n-th of the numbers in `text`, separated by blanks or commas.
int nthNumber(const std::string &text, int n, int defaultValue) {
  bool ok = false;
  int value = NthWord(n, QString::fromLatin1(text), u" ,").toInt(&ok);
  return ok ? value : defaultValue;
}

// A form whose size the user cannot change keeps it whatever was stored.
bool isSizeable(const QWidget &form) { return form.minimumSize() != form.maximumSize(); }

constexpr Qt::WindowStates notNormal =
    Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

// The margins are asked of the window system while the window is there: the
// widget's own copy of them lags behind a change of state.
WindowFrameTracker::View viewOf(const QWidget &window) {
  const QWindow *handle = window.windowHandle();
  const QRect frame = window.frameGeometry(), inside = window.geometry();
  const QMargins margins =
      handle && handle->handle()
          ? handle->frameMargins()
          : QMargins(inside.left() - frame.left(), inside.top() - frame.top(),
                     frame.right() - inside.right(), frame.bottom() - inside.bottom());
  return {window.isVisible(), !(window.windowState() & notNormal), inside, margins,
          window.normalGeometry()};
}

// The rectangle a placement stores: the window's frame, title bar included,
// so that a rectangle fitted to the screen keeps the title bar on it. A
// workspace frame's own geometry is its whole frame.
QRect frameRectOf(const QWidget &window) {
  return window.isWindow() ? window.frameGeometry() : window.geometry();
}

} // namespace

// ---- TWinMinMaxInfo

void TWinMinMaxInfo::SetValue(Index index, int v) {
  if (values_[index] == v)
    return;
  values_[index] = v;
  owner_->applySizeLimits();
}

void TWinMinMaxInfo::Assign(const TWinMinMaxInfo &other) {
  std::copy(std::begin(other.values_), std::end(other.values_), std::begin(values_));
  owner_->applySizeLimits();
}

bool TWinMinMaxInfo::isDefault() const {
  return std::all_of(std::begin(values_), std::end(values_), [](int v) { return v == 0; });
}

// ---- WindowFrameTracker

bool WindowFrameTracker::plausibleMargins(const QMargins &margins, const QSize &frame) {
  return margins.left() >= 0 && margins.top() >= 0 && margins.right() >= 0 &&
         margins.bottom() >= 0 && margins.left() + margins.right() < frame.width() &&
         margins.top() + margins.bottom() < frame.height();
}

WindowFrameTracker::Placing WindowFrameTracker::placing(const QRect &frame,
                                                        const QMargins &margins) const {
  if (margins.isNull())
    return {frame, true};
  return {frame - margins, false};
}

WindowFrameTracker::Placing WindowFrameTracker::place(const QRect &frame, const View &now) {
  wanted_ = normal_ = pending_ = frame;
  settling_ = false;
  // Margins seen in another state are that state's.
  return placing(frame, now.normal && plausibleMargins(now.margins, frame.size()) ? now.margins
                                                                                  : QMargins());
}

std::optional<WindowFrameTracker::Placing> WindowFrameTracker::seen(const View &now) {
  if (!now.visible || !now.normal)
    return std::nullopt;
  auto placeWith = [&](const QMargins &margins) {
    ++placings_;
    ticks_ = 0;
    placedMargins_ = margins;
    return placing(wanted_, margins);
  };
  if (!pending_.isNull()) {
    if (!plausibleMargins(now.margins, pending_.size()))
      return std::nullopt;
    wanted_ = normal_ = std::exchange(pending_, QRect());
    settling_ = true;
    placings_ = 0;
    return placeWith(now.margins);
  }
  if (settling_ && !now.margins.isNull() && now.margins != placedMargins_ &&
      plausibleMargins(now.margins, wanted_.size()) && placings_ < 4)
    return placeWith(now.margins);
  if (!plausibleMargins(now.margins, now.frame().size()))
    return std::nullopt;
  if (!settling_) {
    if (!now.margins.isNull()) {
      margins_ = now.margins;
      marginsKnown_ = true;
    }
    normal_ = now.frame();
  } else if (!now.margins.isNull() && now.margins == placedMargins_) {
    // Framed as it was placed, it is where it is (the user may move it at
    // once, and maximize it again before it has settled); closed normal
    // meanwhile, it keeps the rectangle it was given, as its frame may still
    // show one it is leaving.
    normal_ = now.frame();
  }
  return std::nullopt;
}

bool WindowFrameTracker::tick() {
  if (settling_ && ++ticks_ >= (placedMargins_.isNull() ? 100 : 10))
    settling_ = false;
  return settling_;
}

QRect WindowFrameTracker::normalFrame(const View &now) const {
  if (!pending_.isNull())
    return pending_;
  if (now.normal && settling_)
    return wanted_;
  if (now.normal && plausibleMargins(now.margins, now.frame().size()))
    return now.frame();
  if (!normal_.isNull())
    return normal_;
  return now.normalInside + (marginsKnown_ ? margins_ : QMargins());
}

// ---- TFormPlacement

// Keeps the storage open for one save, restore or single call, unless it is
// open already.
class TFormPlacement::Opened {
public:
  Opened(TFormPlacement &placement, bool forReading)
      : placement_(placement), opened_(!placement.storage_) {
    if (!opened_)
      return;
    if (placement.useRegistry_)
      placement.storage_ =
          std::make_unique<TRegIniFile>(fromQString(placement.IniFileName()), forReading);
    else
      placement.storage_ = std::make_unique<TIniFile>(fileNameFromQString(placement.IniFileName()));
  }
  ~Opened() {
    if (opened_)
      placement_.storage_.reset();
  }
  Opened(const Opened &) = delete;
  Opened &operator=(const Opened &) = delete;

private:
  TFormPlacement &placement_;
  bool opened_;
};

TFormPlacement::TFormPlacement(QWidget *form)
    : QObject(form), form_(form), hook_(new TKitWindowHook(this)),
      frameHook_(new TKitWindowHook(this)) {
  if (isForm(form))
    options_ = fpState | fpPosition;
  hook_->BeforeMessage = [this](QEvent *event, bool &handled) { beforeFormEvent(event, handled); };
  hook_->AfterMessage = [this](QEvent *event, bool &handled) { formEvent(event, handled); };
  hook_->SetWinControl(form);
  frameHook_->BeforeMessage = [this](QEvent *event, bool &) { frameEvent(event, true); };
  frameHook_->AfterMessage = [this](QEvent *event, bool &) { frameEvent(event, false); };
  settleTimer_ = new QTimer(this);
  settleTimer_->setInterval(100);
  connect(settleTimer_, &QTimer::timeout, this, [this] {
    // A window manager too busy to have put the window on screen yet has
    // not begun to frame it: its time counts from when the window is there.
    const QWidget *window = form_ ? frameOf(form_) : nullptr;
    const QWindow *handle = window ? window->windowHandle() : nullptr;
    if ((!handle || handle->isExposed()) && !tracker_.tick())
      settleTimer_->stop();
    // Settled, the frame as it is now (moved by the user meanwhile, perhaps)
    // is the normal one.
    windowSeen(nullptr);
  });
  defaultSection_ = GetDefaultSection(form);
}

// A form that goes without closing first (the program ends) saves here. The
// form's own class is gone by now, which is why the section was kept, but its
// window's geometry and state remain.
TFormPlacement::~TFormPlacement() {
  if (active_ && !saved_ && form_) {
    destroying_ = true;
    try {
      SaveFormPlacement();
    } catch (const Exception &) {
      // Nothing can be shown while the form goes; the last good placement stays.
    }
  }
  for (TIniLink *link : std::as_const(links_))
    link->storage_ = nullptr;
}

QString TFormPlacement::IniFileName() const {
  if (!iniFileName_.isEmpty())
    return iniFileName_;
  QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  return useRegistry_ ? QStringLiteral("Software\\") + program : program + QStringLiteral(".INI");
}

QString TFormPlacement::IniSection() const {
  return iniSection_.isEmpty() ? defaultSection_ : iniSection_;
}

std::string TFormPlacement::ReadString(std::string_view section, std::string_view ident,
                                       std::string_view defaultValue) {
  Opened open(*this, true);
  return IniReadString(storage_.get(), section, ident, defaultValue);
}

void TFormPlacement::WriteString(std::string_view section, std::string_view ident,
                                 std::string_view value) {
  Opened open(*this, false);
  IniWriteString(storage_.get(), section, ident, value);
}

std::int32_t TFormPlacement::ReadInteger(std::string_view ident, std::int32_t defaultValue) {
  Opened open(*this, true);
  return IniReadInteger(storage_.get(), fromQString(IniSection()), ident, defaultValue);
}

void TFormPlacement::WriteInteger(std::string_view ident, std::int32_t value) {
  Opened open(*this, false);
  IniWriteInteger(storage_.get(), fromQString(IniSection()), ident, value);
}

void TFormPlacement::SaveFormPlacement() {
  if (active_ && !restored_)
    return;
  Opened open(*this, false);
  // One save of the whole placement: another program saving its own never
  // leaves a mixture of the two.
  IniBatch batch(storage_.get());
  WriteInteger(siFormVersion, version_);
  SavePlacement();
  if (OnSavePlacement)
    OnSavePlacement();
  batch.commit();
  saved_ = true;
}

void TFormPlacement::RestoreFormPlacement() {
  saved_ = false;
  defaultSection_ = GetDefaultSection(form_);
  {
    Opened open(*this, true);
    if (ReadInteger(siFormVersion, 0) >= version_) {
      RestorePlacement();
      restored_ = true;
      if (OnRestorePlacement)
        OnRestorePlacement();
      if (options_.testFlag(fpActiveControl) && form_) {
        QString name = toQString(
            IniReadString(storage_.get(), fromQString(IniSection()), siActiveControl, ""));
        auto *control = name.isEmpty() ? nullptr : form_->findChild<QWidget *>(name);
        if (control && control->isEnabled() && control->focusPolicy() != Qt::NoFocus)
          control->setFocus();
      }
    }
    restored_ = true;
  }
  applySizeLimits();
}

void TFormPlacement::SavePlacement() {
  if (!isForm(form_))
    return;
  const std::string section = fromQString(IniSection());
  writePlacement(section);
  if (options_.testFlag(fpActiveControl))
    if (QWidget *control = form_->focusWidget(); control && control != form_)
      IniWriteString(storage_.get(), section, siActiveControl, fromQString(control->objectName()));
  IniWriteInteger(storage_.get(), section, siVisible, destroying_ ? 1 : 0);
  callLinks(&TIniLink::SaveToIni);
}

void TFormPlacement::RestorePlacement() {
  if (!isForm(form_))
    return;
  readPlacement(fromQString(IniSection()), options_.testFlag(fpState),
                options_.testFlag(fpPosition));
  callLinks(&TIniLink::LoadFromIni);
}

// A link's handler may free a link or attach another: each link there when
// the call began is called while it is still attached.
void TFormPlacement::callLinks(void (TIniLink::*call)()) {
  const QList<TIniLink *> links = links_;
  for (TIniLink *link : links)
    if (links_.contains(link))
      (link->*call)();
}

std::string TFormPlacement::positionKey(std::string_view key) const {
  QSize size = screenSize();
  return std::string(key) + '(' + std::to_string(size.width()) + 'x' +
         std::to_string(size.height()) + ')';
}

void TFormPlacement::writePlacement(const std::string &section) {
  TCustomIniFile *ini = storage_.get();
  const QWidget *window = frameOf(form_);
  const Qt::WindowStates state = window->windowState();
  int showCmd = state.testFlag(Qt::WindowMinimized)   ? swShowMinimized
                : state.testFlag(Qt::WindowMaximized) ? swShowMaximized
                                                      : swShowNormal;
  QRect normal;
  if (window->isWindow()) {
    normal = tracker_.normalFrame(viewOf(*window));
  } else {
    normal = showCmd == swShowNormal || !frameNormal_.isValid() ? window->geometry() : frameNormal_;
  }
  if (!normal.isValid())
    normal = frameRectOf(*window);
  const std::string minMax = joinNumbers({0, 0, 0, 0});
  const std::string norm = joinNumbers({normal.left(), normal.top(), normal.left() + normal.width(),
                                        normal.top() + normal.height()});
  int flags = 0;
  if (showCmd == swShowMinimized) {
    if (state.testFlag(Qt::WindowMaximized))
      flags |= wpfRestoreToMaximized;
    if (!window->isWindow())
      flags |= wpfSetMinPosition;
  }
  IniWriteInteger(ini, section, siFlags, flags);
  IniWriteInteger(ini, section, siShowCmd, showCmd);
  IniWriteInteger(ini, section, siPixels, screenPixelsPerInch());
  IniWriteString(ini, section, positionKey(siMinMaxPos), minMax);
  IniWriteString(ini, section, positionKey(siNormPos), norm);
  IniWriteString(ini, section, siMinMaxPos, minMax);
  IniWriteString(ini, section, siNormPos, norm);
}

void TFormPlacement::readPlacement(const std::string &section, bool readState, bool readPosition) {
  TCustomIniFile *ini = storage_.get();
  // The position saved on a screen of this size, else the last one saved.
  std::string norm = IniReadString(ini, section, positionKey(siNormPos), "");
  if (norm.empty())
    norm = IniReadString(ini, section, siNormPos, "");
  QWidget *window = frameOf(form_);
  if (readPosition && !norm.empty() &&
      IniReadInteger(ini, section, siPixels, screenPixelsPerInch()) == screenPixelsPerInch()) {
    const QRect current = frameRectOf(*window);
    const std::int64_t left = nthNumber(norm, 1, current.left());
    const std::int64_t top = nthNumber(norm, 2, current.top());
    std::int64_t right = nthNumber(norm, 3, current.left() + current.width());
    std::int64_t bottom = nthNumber(norm, 4, current.top() + current.height());
    if (!isSizeable(*form_)) {
      right = left + current.width();
      bottom = top + current.height();
    }
    // A size that doesn't fit the screen is ignored; the rest is moved onto
    // the screen, or into the workspace for a form in a frame.
    if (storedSizeFits(right - left, bottom - top, placementArea(window)))
      placeFrame(window, left, top, right - left, bottom - top);
  }
  if (readState) {
    Qt::WindowStates state = window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (IniReadInteger(ini, section, siShowCmd, 0)) {
    case 2:
    case 6:
    case 7:
      state |= Qt::WindowMinimized;
      if (IniReadInteger(ini, section, siFlags, 0) & wpfRestoreToMaximized)
        state |= Qt::WindowMaximized;
      break;
    case 3:
      state |= Qt::WindowMaximized;
      break;
    default: // normal, or a hidden window's command, which keeps the default
      break;
    }
    window->setWindowState(state);
  }
  window->update();
}

void TFormPlacement::placeFrame(QWidget *window, std::int64_t left, std::int64_t top,
                                std::int64_t width, std::int64_t height) {
  const QRect frame = fitStoredRect(window, left, top, width, height);
  if (!window->isWindow()) {
    window->setGeometry(frame);
    return;
  }
  applyPlacing(window, tracker_.place(frame, viewOf(*window)));
}

void TFormPlacement::applyPlacing(QWidget *window, const WindowFrameTracker::Placing &placing) {
  // What the window reports while it is moved and sized is half done.
  const bool applying = std::exchange(applying_, true);
  if (placing.cornerIsFrames) {
    window->move(placing.inside.topLeft());
    window->resize(placing.inside.size());
  } else {
    window->setGeometry(placing.inside);
  }
  applying_ = applying;
}

void TFormPlacement::windowSeen(const QEvent *event) {
  QWidget *window = form_ ? frameOf(form_) : nullptr;
  if (applying_ || !window || !window->isWindow())
    return;
  // The program moving or sizing the window itself is its last word.
  if (event && (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
      !event->spontaneous())
    tracker_.settled();
  if (const auto placing = tracker_.seen(viewOf(*window))) {
    applyPlacing(window, *placing);
    settleTimer_->start();
  }
}

void TFormPlacement::SetPreventResize(bool prevent) {
  if (prevent == preventResize_)
    return;
  preventResize_ = prevent;
  updateMaximizeButton();
  applySizeLimits();
}

// A form whose size is fixed offers no maximize button; a dialog, or a form
// that had none, is left as it is. New flags hide a shown window, so it is
// shown again, unnoticed by the placement.
void TFormPlacement::updateMaximizeButton() {
  if (!isForm(form_))
    return;
  QWidget *window = frameOf(form_);
  const Qt::WindowFlags flags = window->windowFlags();
  Qt::WindowFlags wanted = flags;
  if (preventResize_ && window->windowType() != Qt::Dialog &&
      flags.testFlag(Qt::WindowMaximizeButtonHint)) {
    flagsBeforeFixing_ = flags;
    wanted = (flags | Qt::CustomizeWindowHint) & ~Qt::WindowMaximizeButtonHint;
  } else if (!preventResize_ && flagsBeforeFixing_) {
    wanted = *std::exchange(flagsBeforeFixing_, std::nullopt);
  }
  if (wanted == flags)
    return;
  const bool visible = window->isVisible(), active = std::exchange(active_, false);
  window->setWindowFlags(wanted);
  if (visible)
    window->show();
  active_ = active;
}

void TFormPlacement::applySizeLimits() {
  if (!isForm(form_))
    return;
  // The user sizes the frame of a form in a workspace, not the form.
  QWidget *window = frameOf(form_);
  if (window != limited_) {
    if (limited_) {
      limited_->setMinimumSize(designedMinimum_);
      limited_->setMaximumSize(designedMaximum_);
    }
    limited_ = window;
    designedMinimum_ = window->minimumSize();
    designedMaximum_ = window->maximumSize();
  }
  if (preventResize_) {
    window->setFixedSize(window->size());
    return;
  }
  QSize minimum = designedMinimum_, maximum = designedMaximum_;
  auto limit = [&](TWinMinMaxInfo::Index index, QSize &size, bool width) {
    if (int v = minMaxInfo_.value(index))
      width ? size.setWidth(v) : size.setHeight(v);
  };
  limit(TWinMinMaxInfo::MinTrackWidth, minimum, true);
  limit(TWinMinMaxInfo::MinTrackHeight, minimum, false);
  limit(TWinMinMaxInfo::MaxTrackWidth, maximum, true);
  limit(TWinMinMaxInfo::MaxTrackHeight, maximum, false);
  window->setMinimumSize(minimum);
  window->setMaximumSize(maximum);
}

namespace {

void reportFailure(QWidget *form, const Exception &e) {
  showMessageBox(form, QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                 toQString(e.message()));
}

} // namespace

void TFormPlacement::beforeFormEvent(QEvent *event, bool &) {
  // Restored before the form's own show handler runs, and before the window
  // appears, so it never shows at its designed place first. A frame that is
  // maximized, minimized or made normal shows its form again: that is no
  // showing of the form, and restoring then would undo the user's change.
  if (event->type() != QEvent::Show || event->spontaneous() || frameStateChanges_ > 0)
    return;
  watchFrame();
  if (!active_)
    return;
  try {
    RestoreFormPlacement();
  } catch (const Exception &e) {
    reportFailure(form_, e);
  }
}

void TFormPlacement::watchFrame() {
  QWidget *frame = frameOf(form_);
  frame = frame != form_ ? frame : nullptr;
  if (frame == frameHook_->WinControl())
    return;
  frameHook_->SetWinControl(frame);
  frameStateChanges_ = 0;
  frameNormal_ = QRect();
  noteFrameNormalRect();
}

void TFormPlacement::frameEvent(QEvent *event, bool before) {
  switch (event->type()) {
  case QEvent::WindowStateChange:
    frameStateChanges_ += before ? 1 : -1;
    [[fallthrough]];
  case QEvent::Move:
  case QEvent::Resize:
    if (!before && frameStateChanges_ == 0)
      noteFrameNormalRect();
    break;
  default:
    break;
  }
}

void TFormPlacement::noteFrameNormalRect() {
  const QWidget *frame = frameHook_->WinControl();
  if (frame && !(frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
    frameNormal_ = frame->geometry();
}

void TFormPlacement::formEvent(QEvent *event, bool &) {
  switch (event->type()) {
  case QEvent::Show:
  case QEvent::Paint:
  case QEvent::Move:
  case QEvent::Resize:
  case QEvent::WindowStateChange:
    windowSeen(event);
    break;
  case QEvent::Hide:
    // Minimizing hides a window on some desktops; only the program's own
    // hiding ends what the window was still to get.
    if (!event->spontaneous())
      tracker_.forget();
    break;
  default:
    break;
  }
  // After the form's own close handler, which may have refused.
  if (event->type() != QEvent::Close || !event->isAccepted() || !active_ || !form_ ||
      !form_->window()->windowHandle())
    return;
  try {
    SaveFormPlacement();
  } catch (const Exception &e) {
    reportFailure(form_, e);
  }
}

} // namespace marrowen

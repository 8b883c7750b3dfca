#pragma once

#include <QFlags>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QEvent;
class QTimer;
class QWidget;

namespace marrowen {

class TCustomIniFile;
class TFormPlacement;
class TIniLink;
class TKitWindowHook;

// There is one settings store; every root reaches it.
enum class TPlacementRegRoot {
  prCurrentUser,
  prLocalMachine,
  prCurrentConfig,
  prClassesRoot,
  prUsers,
  prDynData
};

enum TPlacementOption { fpState = 1, fpPosition = 2, fpActiveControl = 4 };
Q_DECLARE_FLAGS(TPlacementOptions, TPlacementOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TPlacementOptions)

// Size limits of a placement's form; 0 leaves a limit alone. The tracking
// sizes become the form's minimum and maximum sizes. The maximized size and
// position are kept but have no effect: the window manager decides them.
class TWinMinMaxInfo {
public:
  explicit TWinMinMaxInfo(TFormPlacement *owner) : owner_(owner) {}

  enum Index {
    MaxPosLeft,
    MaxPosTop,
    MaxSizeHeight,
    MaxSizeWidth,
    MaxTrackHeight,
    MaxTrackWidth,
    MinTrackHeight,
    MinTrackWidth,
    Count
  };
  int value(Index index) const { return values_[index]; }
  // Tells the placement, which applies the limits again, when `v` differs.
  void SetValue(Index index, int v);
  void Assign(const TWinMinMaxInfo &other);
  bool isDefault() const;

private:
  TFormPlacement *owner_;
  int values_[Count] = {};
};

// What a placement knows of a top-level window's frame, apart from the
// window: the rectangle the frame has in the normal state, and a stored
// rectangle that the frame is still to get exactly. A window is placed by the
// part inside its frame, so the frame's margins decide where and how large.
// They are known only once the window system has framed the window; they
// differ between states (a maximized frame has thinner borders) and reach the
// program a moment after the state; and while a frame is being made they may
// be measured against a frame that is not yet its size (a side of them
// negative). So a frame is given its rectangle when the window is first
// normal and shown, and given it again, while it settles, each time the
// margins change; margins that would leave the window no size are never used.
class WindowFrameTracker {
public:
  // The window as the window system shows it now.
  struct View {
    bool visible = false;
    bool normal = true; // neither minimized nor maximized
    QRect inside;       // the window within its frame
    QMargins margins;   // what the frame adds around it: title bar, borders
    // Where the window system would put the window inside when it is made
    // normal again.
    QRect normalInside;
    QRect frame() const { return inside + margins; }
  };
  // Where the window goes inside its frame. While the margins are not known
  // its top-left corner is where the frame's goes instead, and its size is
  // the frame's.
  struct Placing {
    QRect inside;
    bool cornerIsFrames = false;
    bool operator==(const Placing &) const = default;
  };

  // Whether the margins leave a window inside a frame of that size.
  static bool plausibleMargins(const QMargins &margins, const QSize &frame);

  // The window is to have `frame` in the normal state; what to do now.
  Placing place(const QRect &frame, const View &now);
  // To be told after each move, resize, state change and paint of the
  // window, and now and then while it settles; a placing to apply when the
  // frame can now get its rectangle, or must get it again.
  std::optional<Placing> seen(const View &now);
  bool settling() const { return settling_; }
  // The frame has settled, or the program placed the window itself: the
  // margins changing no longer move it.
  void settled() { settling_ = false; }
  // To be called every tenth of a second while the frame settles and the
  // window is on screen; false once it is taken to have settled: a second
  // after its last placing, or, while the window system has not framed it
  // yet (a busy window manager), up to ten seconds, so that the frame still
  // gets its rectangle when it comes. Then what the frame shows is told
  // again: it is the normal one.
  bool tick();
  // The frame's rectangle in the normal state: the one it is still to get
  // or to settle at; for a normal window the one it has; else the last seen
  // normal, else (never seen normal) the window system's with the last
  // trusted margins.
  QRect normalFrame(const View &now) const;
  // The program hides the window: nothing is pending any more.
  void forget() { pending_ = QRect(); }

private:
  Placing placing(const QRect &frame, const QMargins &margins) const;

  QRect pending_;    // still to be given, once the window is normal and shown
  QRect wanted_;     // the last one given
  QRect normal_;     // as last seen normal
  QMargins margins_; // the last trusted ones
  bool marginsKnown_ = false;
  bool settling_ = false;
  int placings_ = 0;
  int ticks_ = 0;          // since the last placing
  QMargins placedMargins_; // the ones it was last given its rectangle with
};

// Remembers its form's window state, position and, optionally, focused
// control in an ini file or the settings store: restored each time the form
// is shown, saved when it closes or goes. It can also fix the form's size
// (PreventResize) or limit it (MinMaxInfo). Other objects join the saving and
// restoring through TIniLink.
//
// Stored in IniSection: "FormVersion", "MinMaxPos" (kept for the files' sake,
// written as 0 and ignored: the window manager places minimized and maximized
// windows), "Flags" (2: a minimized form comes back maximized), "ShowCmd",
// "PixelsPerInch", "NormPos" (the normal left, top, right and bottom), each
// position once under its plain name and once after the screen size
// ("NormPos(1024x768)"), "ActiveControl" and "Visible". The rectangle is the
// window's frame, title bar and borders included; restored, it is moved onto
// the screen whole.
class TFormPlacement : public QObject {
  Q_OBJECT
public:
  // `form` owns the placement.
  explicit TFormPlacement(QWidget *form);
  ~TFormPlacement() override;

  QWidget *form() const { return form_; }

  bool Active() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  // Empty gives the default: "Software\" and the program's name with the
  // settings store, else the program's name followed by ".INI".
  QString IniFileName() const;
  void SetIniFileName(const QString &name) { iniFileName_ = name; }
  // Empty gives GetDefaultSection of the form.
  QString IniSection() const;
  QString storedIniSection() const { return iniSection_; }
  void SetIniSection(const QString &section) { iniSection_ = section; }
  bool UseRegistry() const { return useRegistry_; }
  void SetUseRegistry(bool use) { useRegistry_ = use; }
  TPlacementRegRoot RegistryRoot() const { return registryRoot_; }
  void SetRegistryRoot(TPlacementRegRoot root) { registryRoot_ = root; }
  TPlacementOptions Options() const { return options_; }
  void SetOptions(TPlacementOptions options) { options_ = options; }
  int Version() const { return version_; }
  void SetVersion(int version) { version_ = version; }
  bool PreventResize() const { return preventResize_; }
  void SetPreventResize(bool prevent);
  TWinMinMaxInfo &MinMaxInfo() { return minMaxInfo_; }

  // The open storage; none outside a save or a restore.
  TCustomIniFile *IniObject() const { return storage_.get(); }

  // Each opens the storage for the one call when it is not open.
  virtual std::string ReadString(std::string_view section, std::string_view ident,
                                 std::string_view defaultValue);
  virtual void WriteString(std::string_view section, std::string_view ident,
                           std::string_view value);
  std::int32_t ReadInteger(std::string_view ident, std::int32_t defaultValue);
  void WriteInteger(std::string_view ident, std::int32_t value);

  // Skipped while the placement is active but was never restored, so a form
  // that failed before it was shown keeps its last good placement.
  void SaveFormPlacement();
  void RestoreFormPlacement();

  std::function<void()> OnSavePlacement;
  std::function<void()> OnRestorePlacement;

protected:
  virtual void SavePlacement();
  virtual void RestorePlacement();

private:
  friend class TIniLink;
  friend class TWinMinMaxInfo;
  class Opened;

  void formEvent(QEvent *event, bool &handled);
  void beforeFormEvent(QEvent *event, bool &handled);
  void frameEvent(QEvent *event, bool before);
  void watchFrame();
  void noteFrameNormalRect();
  void applySizeLimits();
  void updateMaximizeButton();
  void placeFrame(QWidget *window, std::int64_t left, std::int64_t top, std::int64_t width,
                  std::int64_t height);
  void applyPlacing(QWidget *window, const WindowFrameTracker::Placing &placing);
  void windowSeen(const QEvent *event);
  void writePlacement(const std::string &section);
  void readPlacement(const std::string &section, bool readState, bool readPosition);
  std::string positionKey(std::string_view key) const;
  void callLinks(void (TIniLink::*call)());

  QPointer<QWidget> form_;
  bool active_ = true;
  QString iniFileName_, iniSection_;
  // The form's class name, taken while the form is whole: a form that is
  // going answers with its base class.
  QString defaultSection_;
  std::unique_ptr<TCustomIniFile> storage_;
  bool useRegistry_ = false;
  TPlacementRegRoot registryRoot_ = TPlacementRegRoot::prCurrentUser;
  QList<TIniLink *> links_;
  TPlacementOptions options_;
  int version_ = 0;
  bool saved_ = false, restored_ = false, destroying_ = false;
  bool preventResize_ = false;
  std::optional<Qt::WindowFlags> flagsBeforeFixing_; // with the maximize button
  TWinMinMaxInfo minMaxInfo_{this};
  // The window the size limits are on (the form, or the workspace frame that
  // holds it) and that window's own limits.
  QPointer<QWidget> limited_;
  QSize designedMinimum_, designedMaximum_;
  TKitWindowHook *hook_;
  // A workspace frame changes its state by hiding and showing its form again
  // and does not tell the normal rectangle it goes back to, so both are
  // watched.
  TKitWindowHook *frameHook_;
  int frameStateChanges_ = 0;
  QRect frameNormal_;
  // The frame of the form when it is a window of its own.
  WindowFrameTracker tracker_;
  bool applying_ = false;
  // Looks at a settling frame now and then: its margins may change without
  // the window hearing of it.
  QTimer *settleTimer_;
};

} // namespace marrowen

#pragma once

#include <QFlags>
#include <QList>
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
  void placeFramedWindow();
  void writePlacement(const std::string &section);
  void readPlacement(const std::string &section, bool readState, bool readPosition);
  std::string positionKey(std::string_view key) const;

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
  // The frame a window placed before it was framed is still to get.
  QRect pendingFrame_;
};

} // namespace marrowen

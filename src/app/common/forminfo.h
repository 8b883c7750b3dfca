#pragma once

#include <QPointer>
#include <QRect>
#include <QString>

#include <memory>

class QObject;
class QWidget;

namespace marrowen {

class SettingsStore;

// Remembers a form's size, position and whether it was maximized, under
// "Software\<Company>\<AppName>\<FormName>" of the settings store. A form
// calls Load once it is built and Save when it goes. A stored rectangle that
// would reach beyond the screen's available area is ignored as a whole.
//
// A form shown in a workspace frame is placed by its frame: loaded before it
// has one, its placement is applied again to the frame it is first shown in.
class TFormInfo {
public:
  explicit TFormInfo(QWidget *form, QString formName = QString());
  ~TFormInfo();

  QString Company = QStringLiteral("Ostrevan");
  // Empty means the program file's name.
  QString AppName = QStringLiteral("Marrowen");
  QString FormName;
  bool recordSize = true;
  bool recordPosition = true;

  void Load();
  void Save();
  // The key the placement lives under.
  std::string key() const;

  // Points every form at another store (tests); null returns to the program's.
  static void useStore(SettingsStore *store);
  static SettingsStore &store();

private:
  // The window whose geometry is the form's: its frame, or the form.
  QWidget *window() const;
  void apply(QWidget *window);
  // Keeps the window's rectangle while it is in the normal state.
  void noteNormal();

  QPointer<QWidget> form_;
  // The frame the placement was last applied to; kept, as a frame that is
  // going no longer tells it holds the form.
  QPointer<QWidget> frame_;
  // The window's last rectangle in the normal state, its frame's position.
  QRect normal_;
  bool notePending_ = false;
  bool loaded_ = false;
  std::unique_ptr<QObject> watch_;
};

} // namespace marrowen

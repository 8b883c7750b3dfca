#pragma once

#include <QPointer>
#include <QString>

class QWidget;

namespace marrowen {

class SettingsStore;

// Remembers a form's size, position and whether it was maximized, under
// "Software\<Company>\<AppName>\<FormName>" of the settings store. A form
// calls Load once it is built and Save when it goes. A stored rectangle that
// would reach beyond the screen is ignored as a whole.
class TFormInfo {
public:
  explicit TFormInfo(QWidget *form, QString formName = QString());

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
  QPointer<QWidget> form_;
};

} // namespace marrowen

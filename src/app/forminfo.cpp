#include "app/forminfo.h"

#include "classlib/registry.h"
#include "qtext/qtext.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace marrowen {

namespace {

SettingsStore *testStore = nullptr;

} // namespace

void TFormInfo::useStore(SettingsStore *store) { testStore = store; }

SettingsStore &TFormInfo::store() { return testStore ? *testStore : SettingsStore::global(); }

TFormInfo::TFormInfo(QWidget *form, QString formName)
    : FormName(formName.isEmpty() && form ? form->objectName() : formName), form_(form) {}

std::string TFormInfo::key() const {
  const QString company = Company.isEmpty() ? QStringLiteral("Ostrevan") : Company;
  // The whole program name: cutting an extension would maim "marrowen".
  const QString app =
      AppName.isEmpty() ? QFileInfo(QCoreApplication::applicationFilePath()).fileName() : AppName;
  const QString form = FormName.isEmpty() && form_ ? form_->objectName() : FormName;
  return fromQString(QStringLiteral("Software\\") + company + '\\' + app + '\\' + form);
}

void TFormInfo::Load() {
  if (!form_)
    return;
  SettingsStore &settings = store();
  const std::string k = key();
  if (!settings.keyExists(k))
    return;
  QRect r = form_->geometry();
  auto read = [&](const char *name, int current) {
    return settings.readInteger(k, name).value_or(current);
  };
  if (recordSize) {
    r.setWidth(read("Width", r.width()));
    r.setHeight(read("Height", r.height()));
  }
  if (recordPosition) {
    r.moveLeft(read("Left", r.left()));
    r.moveTop(read("Top", r.top()));
  }
  const QScreen *screen = QGuiApplication::primaryScreen();
  const QSize screenSize = screen ? screen->size() : QSize(r.right() + 1, r.bottom() + 1);
  if (r.top() + r.height() > screenSize.height() || r.left() + r.width() > screenSize.width())
    return;
  if (recordPosition)
    form_->move(r.topLeft());
  if (recordSize)
    form_->resize(r.size());
  const bool normal = settings.readBool(k, "WindowState", true);
  form_->setWindowState(normal ? Qt::WindowNoState : Qt::WindowMaximized);
}

void TFormInfo::Save() {
  if (!form_)
    return;
  SettingsStore &settings = store();
  const std::string k = key();
  if (!settings.createKey(k))
    return;
  const bool normal =
      !(form_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
  // Maximized or minimized, the normal rectangle is still the last one seen
  // in the normal state.
  const QRect r = normal ? QRect(form_->pos(), form_->size()) : form_->normalGeometry();
  if (normal || r.isValid()) {
    settings.writeInteger(k, "Width", r.width());
    settings.writeInteger(k, "Height", r.height());
    settings.writeInteger(k, "Left", r.left());
    settings.writeInteger(k, "Top", r.top());
  }
  settings.writeBool(k, "WindowState", normal);
}

} // namespace marrowen

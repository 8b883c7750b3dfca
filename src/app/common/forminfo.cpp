#include "app/common/forminfo.h"

#include "classlib/registry.h"
#include "qtext/qtext.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cstdint>

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
  // Stored numbers may be anything: the arithmetic is done wide and the
  // rectangle checked against the screen before any of it reaches the form.
  const QRect current = form_->geometry();
  auto read = [&](const char *name, int value) -> std::int64_t {
    return settings.readInteger(k, name).value_or(value);
  };
  const std::int64_t width = recordSize ? read("Width", current.width()) : current.width();
  const std::int64_t height = recordSize ? read("Height", current.height()) : current.height();
  const std::int64_t left = recordPosition ? read("Left", current.left()) : current.left();
  const std::int64_t top = recordPosition ? read("Top", current.top()) : current.top();
  const QScreen *screen = QGuiApplication::primaryScreen();
  const QSize screenSize =
      screen ? screen->size() : QSize(current.right() + 1, current.bottom() + 1);
  const std::int64_t screenWidth = screenSize.width(), screenHeight = screenSize.height();
  if (width <= 0 || height <= 0 || top + height > screenHeight || left + width > screenWidth)
    return;
  // Beyond the left or top edge by more than a screen, it could not be
  // reached to move it back.
  if (left < -screenWidth || top < -screenHeight)
    return;
  if (recordPosition)
    form_->move(static_cast<int>(left), static_cast<int>(top));
  if (recordSize)
    form_->resize(static_cast<int>(width), static_cast<int>(height));
  const bool normal = settings.readBool(k, "WindowState", true);
  form_->setWindowState(normal ? Qt::WindowNoState : Qt::WindowMaximized);
}

void TFormInfo::Save() {
  if (!form_)
    return;
  SettingsStore &settings = store();
  SettingsStore::BatchedWrites once(settings);
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

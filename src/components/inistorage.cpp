#include "components/inistorage.h"

#include "classlib/inifile.h"
#include "classlib/registry.h"
#include "components/formplacement.h"
#include "components/kitutils.h"

#include <QMetaObject>
#include <QWidget>

namespace marrowen {

QString formClassName(const QObject *form) {
  if (!form)
    return QString();
  QString name = QString::fromLatin1(form->metaObject()->className());
  qsizetype scope = name.lastIndexOf(QLatin1String("::"));
  return scope < 0 ? name : name.mid(scope + 2);
}

QString GetDefaultSection(const QObject *component) {
  if (!component)
    return QString();
  // A form in a workspace frame is a form all the same, not a control of
  // the main window.
  if (auto *widget = qobject_cast<const QWidget *>(component)) {
    const QWidget *form = formOf(widget);
    if (form == widget)
      return formClassName(widget);
    return formClassName(form) + widget->objectName();
  }
  auto *owner = qobject_cast<const QWidget *>(component->parent());
  if (owner && formOf(owner) == owner)
    return formClassName(owner) + u'.' + component->objectName();
  return component->objectName();
}

namespace {

bool quotedAlready(std::string_view value) {
  return !value.empty() && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front();
}

} // namespace

// The settings store is asked before the ini file, as the two once shared no
// base; each then does its own reading and writing.
std::string IniReadString(TCustomIniFile *storage, std::string_view section, std::string_view ident,
                          std::string_view defaultValue) {
  if (auto *registry = dynamic_cast<TRegIniFile *>(storage))
    return registry->ReadString(section, ident, defaultValue);
  if (auto *ini = dynamic_cast<TIniFile *>(storage))
    return ini->ReadString(section, ident, defaultValue);
  return std::string(defaultValue);
}

void IniWriteString(TCustomIniFile *storage, std::string_view section, std::string_view ident,
                    std::string_view value) {
  if (auto *registry = dynamic_cast<TRegIniFile *>(storage))
    registry->WriteString(section, ident, value);
  else if (auto *ini = dynamic_cast<TIniFile *>(storage))
    ini->WriteString(section, ident,
                     quotedAlready(value) ? '"' + std::string(value) + '"' : std::string(value));
}

std::int32_t IniReadInteger(TCustomIniFile *storage, std::string_view section,
                            std::string_view ident, std::int32_t defaultValue) {
  if (auto *registry = dynamic_cast<TRegIniFile *>(storage))
    return registry->ReadInteger(section, ident, defaultValue);
  if (auto *ini = dynamic_cast<TIniFile *>(storage))
    return ini->ReadInteger(section, ident, defaultValue);
  return defaultValue;
}

void IniWriteInteger(TCustomIniFile *storage, std::string_view section, std::string_view ident,
                     std::int32_t value) {
  if (auto *registry = dynamic_cast<TRegIniFile *>(storage))
    registry->WriteInteger(section, ident, value);
  else if (auto *ini = dynamic_cast<TIniFile *>(storage))
    ini->WriteInteger(section, ident, value);
}

void IniEraseSection(TCustomIniFile *storage, std::string_view section) {
  if (auto *registry = dynamic_cast<TRegIniFile *>(storage))
    registry->EraseSection(section);
  else if (auto *ini = dynamic_cast<TIniFile *>(storage))
    ini->EraseSection(section);
}

void IniDeleteKey(TCustomIniFile *storage, std::string_view section, std::string_view ident) {
  if (auto *registry = dynamic_cast<TRegIniFile *>(storage))
    registry->DeleteKey(section, ident);
  else if (auto *ini = dynamic_cast<TIniFile *>(storage))
    ini->DeleteKey(section, ident);
}

// ---- TIniLink

TIniLink::~TIniLink() {
  OnSave = nullptr;
  OnLoad = nullptr;
  SetStorage(nullptr);
}

TCustomIniFile *TIniLink::IniObject() const { return storage_ ? storage_->IniObject() : nullptr; }

QString TIniLink::RootSection() const {
  if (!storage_ || storage_->storedIniSection().isEmpty())
    return QString();
  return storage_->storedIniSection() + u'\\';
}

void TIniLink::SetStorage(TFormPlacement *storage) {
  if (storage == storage_)
    return;
  if (storage_) {
    storage_->links_.removeAll(this);
    storage_ = nullptr;
  }
  if (storage) {
    storage->links_.append(this);
    storage_ = storage;
  }
}

void TIniLink::SaveToIni() {
  if (OnSave)
    OnSave();
}

void TIniLink::LoadFromIni() {
  if (OnLoad)
    OnLoad();
}

} // namespace marrowen

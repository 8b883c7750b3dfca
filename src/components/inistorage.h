#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QObject;

namespace marrowen {

class TCustomIniFile;
class TFormPlacement;

// The class name of a form (a top-level widget), without its namespace:
// "TmainForm". Settings sections and translations both key on it, so every
// form class declares Q_OBJECT.
QString formClassName(const QObject *form);

// The section a component keeps its settings under: a form's class name; a
// control's form class name with its objectName directly after it
// ("TMyFormOkBtn"); a non-visual component owned by a form "TMyForm.Timer1";
// anything else its objectName; nothing for none.
QString GetDefaultSection(const QObject *component);

// Settings kept in either an ini file or the settings store, whichever the
// storage is; any other storage, or none, reads the defaults and writes
// nothing. Texts are the storage's own bytes (code-page text, or a file name
// in the file system's encoding). A text that begins and ends with the same
// quote goes to an ini file inside one more pair of double quotes, which the
// ini file drops again on reading, so every value comes back as written.
std::string IniReadString(TCustomIniFile *storage, std::string_view section, std::string_view ident,
                          std::string_view defaultValue);
void IniWriteString(TCustomIniFile *storage, std::string_view section, std::string_view ident,
                    std::string_view value);
std::int32_t IniReadInteger(TCustomIniFile *storage, std::string_view section,
                            std::string_view ident, std::int32_t defaultValue);
void IniWriteInteger(TCustomIniFile *storage, std::string_view section, std::string_view ident,
                     std::int32_t value);
void IniEraseSection(TCustomIniFile *storage, std::string_view section);
void IniDeleteKey(TCustomIniFile *storage, std::string_view section, std::string_view ident);

// Joins an object's own settings to a form placement's saving and restoring:
// the placement runs OnSave and OnLoad of every link while its storage is
// open, and the link hands out that storage and the placement's section.
class TIniLink {
public:
  TIniLink() = default;
  virtual ~TIniLink();
  TIniLink(const TIniLink &) = delete;
  TIniLink &operator=(const TIniLink &) = delete;

  // The placement's open storage; none when detached or while it is closed.
  TCustomIniFile *IniObject() const;
  // The placement's own IniSection (not its default) with "\" after it;
  // empty when detached or when the placement has no section set.
  QString RootSection() const;

  TFormPlacement *Storage() const { return storage_; }
  void SetStorage(TFormPlacement *storage);

  virtual void SaveToIni();
  virtual void LoadFromIni();

  std::function<void()> OnSave;
  std::function<void()> OnLoad;

private:
  friend class TFormPlacement;
  TFormPlacement *storage_ = nullptr;
};

} // namespace marrowen

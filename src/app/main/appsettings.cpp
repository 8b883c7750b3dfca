#include "app/main/appsettings.h"

#include "app/main/recentfiles.h"
#include "classlib/program.h"
#include "classlib/registry.h"
#include "engine/registryhelpers.h"
#include "qtext/qtext.h"

#include <QFont>

#include <algorithm>
#include <cctype>
#include <type_traits>

namespace marrowen {

namespace {

const std::string key(program::registryKey);

bool equalsIgnoringCase(const std::string &a, const char *b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

} // namespace

void loadSettings(SettingsStore &store, MainSettings &s, TMRUManager &recentFiles) {
  s.playSound = store.readBool(key, "playSound", true);
  // Settings written by older versions name the Windows defaults; they are
  // read as this desktop's own.
  s.soundFile = store.readString(key, "soundFile", "");
  if (equalsIgnoringCase(s.soundFile, "sound.wav"))
    s.soundFile.clear();
  s.editor = store.readString(key, "editor", "");
  if (equalsIgnoringCase(s.editor, "notepad.exe"))
    s.editor.clear();
  s.showWizard = store.readBool(key, "showWizard", true);
  s.showTips = store.readBool(key, "showTips", true);
  s.currentTip = store.readInteger(key, "currentTip", 0);
  // The options dialog offers 1 to 9; a larger stored count would make every
  // start read and show that many entries.
  s.fileHistoryEntries = std::clamp(store.readInteger(key, "FileHistoryEntries", 9),
                                    minFileHistoryEntries, maxFileHistoryEntries);
  s.adhocFontName = store.readString(key, "AdhocFontName", "Courier New");
  s.adhocFontSize = store.readInteger(key, "AdhocFontSize", 8);
  s.adhocFont = store.readString(key, "AdhocFont", "");
  recentFiles.Strings().SetCapacity(s.fileHistoryEntries);
  TRegIniFile hive(store, "", true);
  if (recentFiles.LoadFromIni(hive, fileHistorySection)) {
    SettingsStore::BatchedWrites once(store);
    TRegIniFile writable(store, "");
    recentFiles.RewriteIni(writable, fileHistorySection);
  }
  s.language = store.readString(key, "Language", "English");
  s.updateDate = store.readInteger(key, "updateDate", 0);
  s.emailAddress = store.readString(key, "emailAddress", "");
}

void saveSettings(SettingsStore &store, const MainSettings &s, TMRUManager &recentFiles,
                  const MainSettings *stored) {
  // The recent files first, while nothing unsaved stops the store from
  // reading in what another copy of the program has stored since.
  saveRecentFiles(store, recentFiles);
  SettingsStore::BatchedWrites once(store);
  // Only what this copy changed (or what is missing): another copy's choices
  // stored meanwhile stay.
  const auto put = [&](const char *name, auto MainSettings::*field) {
    if (stored && (*stored).*field == s.*field && store.valueExists(key, name))
      return;
    using Value = std::decay_t<decltype(s.*field)>;
    if constexpr (std::is_same_v<Value, bool>)
      store.writeBool(key, name, s.*field);
    else if constexpr (std::is_same_v<Value, std::string>)
      store.writeString(key, name, s.*field);
    else
      store.writeInteger(key, name, s.*field);
  };
  put("playSound", &MainSettings::playSound);
  put("soundFile", &MainSettings::soundFile);
  put("editor", &MainSettings::editor);
  put("showWizard", &MainSettings::showWizard);
  put("showTips", &MainSettings::showTips);
  put("currentTip", &MainSettings::currentTip);
  put("FileHistoryEntries", &MainSettings::fileHistoryEntries);
  put("AdhocFontName", &MainSettings::adhocFontName);
  put("AdhocFontSize", &MainSettings::adhocFontSize);
  put("AdhocFont", &MainSettings::adhocFont);
  put("Language", &MainSettings::language);
  store.writeString(key, "rootDir", getApplicationFolder());
  put("updateDate", &MainSettings::updateDate);
  put("emailAddress", &MainSettings::emailAddress);
}

void saveRecentFiles(SettingsStore &store, TMRUManager &recentFiles) {
  SettingsStore::BatchedWrites once(store);
  TRegIniFile hive(store, "");
  recentFiles.SaveToIni(hive, fileHistorySection);
}

QFont trialFontOf(const MainSettings &settings) {
  QFont font(toQString(settings.adhocFontName), settings.adhocFontSize);
  QFont whole;
  if (!settings.adhocFont.empty() && whole.fromString(toQString(settings.adhocFont)) &&
      whole.family() == font.family() && qRound(whole.pointSizeF()) == settings.adhocFontSize)
    font = whole;
  font.setStyleHint(QFont::Monospace);
  return font;
}

void storeTrialFont(MainSettings &settings, const QFont &font) {
  settings.adhocFontName = fromQString(font.family());
  settings.adhocFontSize = font.pointSizeF() > 0 ? qRound(font.pointSizeF()) : font.pointSize();
  settings.adhocFont = fromQString(font.toString());
}

} // namespace marrowen

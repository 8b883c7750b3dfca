#include "app/main/appsettings.h"

#include "app/main/recentfiles.h"
#include "classlib/program.h"
#include "classlib/registry.h"
#include "engine/registryhelpers.h"
#include "qtext/qtext.h"

#include <QFont>

#include <algorithm>
#include <cctype>

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

void saveSettings(SettingsStore &store, const MainSettings &s, TMRUManager &recentFiles) {
  // The recent files first, while nothing unsaved stops the store from
  // reading in what another copy of the program has stored since.
  saveRecentFiles(store, recentFiles);
  SettingsStore::BatchedWrites once(store);
  store.writeBool(key, "playSound", s.playSound);
  store.writeString(key, "soundFile", s.soundFile);
  store.writeString(key, "editor", s.editor);
  store.writeBool(key, "showWizard", s.showWizard);
  store.writeBool(key, "showTips", s.showTips);
  store.writeInteger(key, "currentTip", s.currentTip);
  store.writeInteger(key, "FileHistoryEntries", s.fileHistoryEntries);
  store.writeString(key, "AdhocFontName", s.adhocFontName);
  store.writeInteger(key, "AdhocFontSize", s.adhocFontSize);
  store.writeString(key, "AdhocFont", s.adhocFont);
  store.writeString(key, "Language", s.language);
  store.writeString(key, "rootDir", getApplicationFolder());
  store.writeInteger(key, "updateDate", s.updateDate);
  store.writeString(key, "emailAddress", s.emailAddress);
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

#pragma once

#include <cstdint>
#include <string>

class QFont;

namespace marrowen {

class SettingsStore;
class TMRUManager;

// The main window's settings, read once at start-up and written back at exit.
struct MainSettings {
  bool playSound = true;
  // Empty: the desktop's sound for a finished task.
  std::string soundFile;
  // Empty: the default editor (see openInEditor).
  std::string editor;
  bool showWizard = true;
  bool showTips = true;
  std::int32_t currentTip = 0;
  std::int32_t fileHistoryEntries = 9;
  std::string adhocFontName = "Courier New";
  std::int32_t adhocFontSize = 8;
  // The whole font as Qt describes it, style and fractional size included;
  // it counts only while it is the font the two values above name, so a
  // change of those alone (an older version's) wins. See trialFontOf.
  std::string adhocFont;
  std::string language = "English";
  // The update check's next date (a whole day serial; 0: never checked) and
  // the address sent with it.
  std::int32_t updateDate = 0;
  std::string emailAddress;
};

// The section the recent files live in: at the top of the hive, beside (not
// under) the program's key.
inline constexpr const char *fileHistorySection = "fileHistory";

// The range of "FileHistoryEntries"; a stored value beyond it is clamped.
inline constexpr std::int32_t minFileHistoryEntries = 1;
inline constexpr std::int32_t maxFileHistoryEntries = 9;

// Reads the settings from the program's key and the recent files from
// "fileHistory", the capacity first so that it applies while loading; stored
// entries beyond the capacity are removed.
void loadSettings(SettingsStore &store, MainSettings &settings, TMRUManager &recentFiles);
// Writes the recent files (merged with what another copy of the program
// stored since), then the rest in the same order, then "rootDir" (the
// program folder), "updateDate" and "emailAddress". Given `stored` (what was
// last read or written), only the values that differ from it are written.
void saveSettings(SettingsStore &store, const MainSettings &settings, TMRUManager &recentFiles,
                  const MainSettings *stored = nullptr);
// Writes the recent files alone, saving the store once.
void saveRecentFiles(SettingsStore &store, TMRUManager &recentFiles);

// The font of the trial areas as the settings keep it, whole; and keeping
// one: its name, its size rounded to whole points, and the whole of it.
QFont trialFontOf(const MainSettings &settings);
void storeTrialFont(MainSettings &settings, const QFont &font);

} // namespace marrowen

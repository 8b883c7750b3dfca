#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace marrowen {

// Converts the line ends of a file: from Unix, Mac, DOS, automatic detection
// or fixed-length records to Unix, Mac, DOS, none or a text of the user's.
class TEOLObject : public TListObject {
public:
  // 0 Unix, 1 Mac, 2 DOS, 3 automatic, 4 fixed-length records.
  std::int32_t convertFrom = 0;
  // 0 Unix, 1 Mac, 2 DOS, 3 none, 4 outputText.
  std::int32_t convertTo = 0;
  std::int32_t fixedLength = 0;
  // Remove the line-end bytes of the other conventions.
  bool removeBad = false;
  // The line end of target 4, escaped; at most its first 2 bytes are used.
  std::string outputText;

  // The stored fields, in stored order.
  static std::span<const NodeField<TEOLObject>> fields();
  static std::unique_ptr<TEOLObject> CreateDefault();
  void rememberDefaults() const override;

  int iconIndex() const override { return 6; }
  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  std::string generateCmdLine() const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TEOLObject"; }
  std::string_view definedPropertyName() const override { return "EOLObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// A user-defined character map: each byte value becomes its entry's text
// (escaped, at most 255 bytes). The map can be kept in a map text file.
class TUserObject : public TListObject {
public:
  static constexpr std::size_t maxEntryLength = 255;
  // An entry's text cut to `maxEntryLength` bytes before the escape or the
  // letter that does not fit.
  static std::string cutToEntry(std::string_view text);

  std::array<std::string, 256> entries;
  // The map text file last loaded or saved.
  std::string mapFileName;

  // The stored fields before the entries, in stored order.
  static std::span<const NodeField<TUserObject>> fields();
  // Every entry from the remembered defaults (the identity map at first).
  static std::unique_ptr<TUserObject> CreateDefault();
  // An empty map filled from a map file; raises as loadFromTextFile does.
  static std::unique_ptr<TUserObject> CreateWith(const std::string &mapFile);
  void rememberDefaults() const override;

  // Reads a map file (lines "code text", ";" comments, line ends CR LF, LF
  // or CR); entries it does not name keep their values. A file that cannot
  // be read raises message 9730; a bad code raises its conversion or range
  // error with the file name and line number added, leaving the entries
  // read before it changed.
  void loadFromTextFile(const std::string &fileName);
  // Writes the map file, lines ending in CR LF, replacing the file only once
  // it is written whole. When that fails, message 9740 goes to `showStatus`
  // (the window's status bar) and false is returned; nothing is raised.
  bool saveToTextFile(const std::string &fileName,
                      const std::function<void(const std::string &)> &showStatus = {});

  std::string getTitle() const override;
  bool titleNamesFiles() const override { return !mapFileName.empty(); }
  std::string printText(std::string_view indent) const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TUserObject"; }
  std::string_view definedPropertyName() const override { return "UserObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// The settings name of entry n of the character map: "rUser_" and n.
std::string userEntrySettingName(int n);

} // namespace marrowen

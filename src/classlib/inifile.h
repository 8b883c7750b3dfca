#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace marrowen {

// An ini file held whole in memory that changes nothing it did not write:
// every line, its spacing, its comments and its own line end come back byte
// for byte. Section and key names are found ignoring ASCII letter case and the
// blanks around them; a value is everything after the first "=" of its line,
// leading and trailing blanks included. A name that occurs twice answers with
// its first occurrence. Not locked: the owner serialises access.
class TMemIniFile {
public:
  // Reads `fileName` whole when it exists; a missing file gives an empty
  // ini. Raises EFOpenError when the file exists but cannot be read or is
  // not a regular file (a pipe would block, a device never end).
  explicit TMemIniFile(std::string fileName);

  const std::string &FileName() const { return fileName_; }

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view ident) const;
  std::optional<std::string> findString(std::string_view section, std::string_view ident) const;
  std::string ReadString(std::string_view section, std::string_view ident,
                         std::string_view defaultValue) const;
  // Replaces the value of an existing key in place; a new key goes after the
  // last non-blank line of its section, a new section at the end of the
  // file. Names and values holding a line break, and names holding "=" or
  // starting with "[" or ";", raise EConvertError: they could not be read back.
  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  // Remove a whole section, from its "[name]" line to the next section, or
  // one key's line; nothing happens when it is not there.
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view ident);

  // Section names and the keys of one section, in file order, as written.
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(std::string_view section) const;

  // The whole file as it would be written.
  std::string text() const;
  // Replaces the content with `text`, parsed as a file would be.
  void setText(std::string_view text);

  // Writes the whole file through a temporary file in the same folder that
  // is then renamed over it, so a failure leaves the old file intact.
  // Raises EFCreateError or EStreamError on failure.
  void UpdateFile() const;

private:
  struct Line {
    std::string text; // without its line end
    std::string end;  // "\r\n", "\n", "\r" or empty for a last line without one
  };
  struct Section {
    std::string name;                                  // as written
    std::size_t header = 0;                            // index into lines_ of the [name] line
    std::size_t end = 0;                               // one past its last line
    std::unordered_map<std::string, std::size_t> keys; // folded name -> line index
  };

  void reindex();
  const Section *findSection(std::string_view section) const;
  std::string lineEnd() const;

  std::string fileName_;
  std::vector<Line> lines_;
  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_; // folded name -> first section
};

// What the kit's storage routines and placements see of an ini file or of
// the settings store: sections of named values. Integers are kept as decimal
// text; one that cannot be read gives the default.
class TCustomIniFile {
public:
  virtual ~TCustomIniFile() = default;

  const std::string &FileName() const { return fileName_; }

  virtual std::string ReadString(std::string_view section, std::string_view ident,
                                 std::string_view defaultValue) = 0;
  virtual void WriteString(std::string_view section, std::string_view ident,
                           std::string_view value) = 0;
  virtual std::int32_t ReadInteger(std::string_view section, std::string_view ident,
                                   std::int32_t defaultValue);
  virtual void WriteInteger(std::string_view section, std::string_view ident, std::int32_t value);
  virtual bool ValueExists(std::string_view section, std::string_view ident) = 0;
  // The names of the section's values, in the order stored.
  virtual std::vector<std::string> ReadSection(std::string_view section) = 0;
  virtual void EraseSection(std::string_view section) = 0;
  virtual void DeleteKey(std::string_view section, std::string_view ident) = 0;

protected:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

private:
  std::string fileName_;
};

// An ini file that is written through: every change is saved at once (by
// renaming a complete file over it), as the system's profile routines did. A
// value read between one pair of matching quotes, both double or both single,
// comes back without them, so a writer can protect a value's own quotes by
// wrapping it once more. A name without a folder lives in the settings
// store's folder, where the system kept its own ini files.
// A change that cannot be saved raises EFCreateError and stays in memory.
class TIniFile : public TCustomIniFile {
public:
  explicit TIniFile(const std::string &fileName);

  std::string ReadString(std::string_view section, std::string_view ident,
                         std::string_view defaultValue) override;
  void WriteString(std::string_view section, std::string_view ident,
                   std::string_view value) override;
  bool ValueExists(std::string_view section, std::string_view ident) override;
  std::vector<std::string> ReadSection(std::string_view section) override {
    return ini_.ReadSection(section);
  }
  void EraseSection(std::string_view section) override;
  void DeleteKey(std::string_view section, std::string_view ident) override;

private:
  void save();

  TMemIniFile ini_;
};

} // namespace marrowen

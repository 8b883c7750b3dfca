#pragma once

#include "classlib/safefile.h"

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
  // Adds keys to the file as it is now, not as it was read: under the
  // file's lock its text is read again (when it holds any), each key added
  // unless the file holds it already, and the whole file written back when
  // that added one; the content becomes that text. What another program (a
  // translator's editor, a second copy) saved meanwhile stays, and keys it
  // added already cost no write. Raises as UpdateFile. False, with the keys
  // added in memory only, when another program kept the file's lock for
  // seconds (`consequence` tells the user what follows).
  struct Addition {
    std::string section, ident, value;
  };
  bool addToFile(const std::vector<Addition> &additions, std::string_view consequence);

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

  // Between these (they nest) changes are held back and then saved as one,
  // so that another writer never sees half of them. endBatch raises what
  // saving raises.
  virtual void beginBatch() {}
  virtual void endBatch() {}

protected:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

private:
  std::string fileName_;
};

// A batch of a storage's changes for as long as it lives: commit() ends it
// and raises what saving raises; ended by the destructor instead (an error
// came between), what could be saved is saved quietly.
class IniBatch {
public:
  explicit IniBatch(TCustomIniFile *ini) : ini_(ini) {
    if (ini_)
      ini_->beginBatch();
  }
  ~IniBatch();
  IniBatch(const IniBatch &) = delete;
  IniBatch &operator=(const IniBatch &) = delete;
  void commit();

private:
  TCustomIniFile *ini_;
};

// An ini file that is written through: every change is saved at once (by
// renaming a complete file over it), as the system's profile routines did,
// or at the end of a batch. Another program may write the same file: a save
// takes an advisory lock on the file itself, reads it again and makes on it
// only the changes not yet saved, so neither writer puts back a stale copy
// of what the other wrote; reads see what another saved. A value read
// between one pair of matching quotes, both double or both single, comes
// back without them, so a writer can protect a value's own quotes by
// wrapping it once more. A name without a folder lives in the settings
// store's folder, where the system kept its own ini files.
// A change that cannot be saved raises EFCreateError and stays in memory, to
// be saved with the next.
class TIniFile : public TCustomIniFile {
public:
  explicit TIniFile(const std::string &fileName);

  std::string ReadString(std::string_view section, std::string_view ident,
                         std::string_view defaultValue) override;
  void WriteString(std::string_view section, std::string_view ident,
                   std::string_view value) override;
  bool ValueExists(std::string_view section, std::string_view ident) override;
  std::vector<std::string> ReadSection(std::string_view section) override;
  void EraseSection(std::string_view section) override;
  void DeleteKey(std::string_view section, std::string_view ident) override;
  void beginBatch() override { ++batchDepth_; }
  void endBatch() override;

private:
  struct Change {
    enum Kind { Write, EraseSection, DeleteKey } kind;
    std::string section, ident, value;
  };
  void change(Change c);
  void apply(const Change &c);
  // Reads the file again when another writer changed it since (always,
  // `forSave`), and makes the unsaved changes on it again. Only a save
  // raises when it cannot be read; a read goes on with what it has.
  void refresh(bool forSave = false);
  void save();

  FileSignature seen_; // of the file as last read: taken before reading it
  TMemIniFile ini_;
  std::vector<Change> unsaved_; // in the order made
  int batchDepth_ = 0;
};

} // namespace marrowen

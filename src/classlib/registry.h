#pragma once

#include "classlib/exceptions.h"
#include "classlib/inifile.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

class TStringList;

// "Failed to get data for '%s'", "Invalid data type for '%s'", ...
class ERegistryException : public Exception {
public:
  using Exception::Exception;
};

enum class TRegDataType { rdUnknown, rdString, rdInteger, rdBinary };

// The current user's settings: a tree of keys holding named values (texts,
// 32-bit integers and byte blocks), kept in one ini-style file. It stands in
// for the current user's registry hive, so key paths are written with "\"
// between the keys ("Software\Ostrevan\Marrowen"), relative to that hive.
//
// Key paths and value names compare ignoring case; a key or value keeps the
// spelling it was first written with. Booleans are integers 0 and 1.
//
// Every change is saved at once (writing a value the store already holds is
// no change, and BatchedWrites saves a run of changes once): the whole store
// goes to a temporary file beside the store, which is then renamed over it, so
// the file on disk is always either the old or the new store. A change made by
// another process since the file was last read is read in before a change is
// saved, under an advisory lock on the store's folder, and the changes not yet
// saved (in a batch, or after a failed save) are made again on it, so two
// running copies lose nothing.
//
// A damaged line (a file edited by hand) costs that line only: the rest is
// read, and the next save leaves the line out. The lines under a damaged key
// name belong to no key the store knows; they are written back as they were,
// unread, until the name is mended. Each damage is reported once in a run
// through the reporter, and a copy of the damaged file is kept beside it with
// ".damaged" appended. A store that cannot be saved (a file the user made
// read-only is not replaced) keeps its changes in memory and reports that
// once. Neither is ever raised to the caller. All members are safe to call
// from any thread.
class SettingsStore {
public:
  explicit SettingsStore(std::filesystem::path file);
  ~SettingsStore();
  SettingsStore(const SettingsStore &) = delete;
  SettingsStore &operator=(const SettingsStore &) = delete;

  // The store of the running program, at defaultPath() unless setFile moved it.
  static SettingsStore &global();
  // $XDG_CONFIG_HOME (or ~/.config) / "Ostrevan" / "Marrowen" / "settings.ini".
  static std::filesystem::path defaultPath();

  // Reads the store from another file from now on (tests, a portable setup).
  void setFile(std::filesystem::path file);
  std::filesystem::path file() const;

  // Where damage and failed saves are reported; the default writes a line to
  // standard error. Applies to every store.
  using Reporter = std::function<void(const std::string &message)>;
  static void setReporter(Reporter reporter);
  // Tells the user through the reporter, as the store tells of its own
  // trouble: word of the other files the program keeps (its language file,
  // its log) goes the same way. Safe from any thread.
  static void report(const std::string &message);

  // A key path is valid when none of its keys holds a control character and
  // it is at most 512 keys deep; a deeper one in the file is damage.
  bool keyExists(std::string_view key);
  // Creates the key and the keys above it; false for an invalid path.
  bool createKey(std::string_view key);
  // Deletes the key with everything below it; false when it does not exist.
  // The hive itself cannot be deleted.
  bool deleteKey(std::string_view key);
  std::vector<std::string> subKeyNames(std::string_view key);
  std::vector<std::string> valueNames(std::string_view key);

  bool valueExists(std::string_view key, std::string_view name);
  TRegDataType dataType(std::string_view key, std::string_view name);
  // The value when it exists and has the type asked for.
  std::optional<std::string> readString(std::string_view key, std::string_view name);
  std::optional<std::int32_t> readInteger(std::string_view key, std::string_view name);
  std::optional<std::string> readBinary(std::string_view key, std::string_view name);

  std::string readString(std::string_view key, std::string_view name, std::string_view def);
  std::int32_t readInteger(std::string_view key, std::string_view name, std::int32_t def);
  bool readBool(std::string_view key, std::string_view name, bool def);

  // Each creates the key when needed and replaces a value of any type. False
  // when the key path is invalid or the store could not be saved (the value
  // then lives in memory only).
  bool writeString(std::string_view key, std::string_view name, std::string_view value);
  bool writeInteger(std::string_view key, std::string_view name, std::int32_t value);
  bool writeBool(std::string_view key, std::string_view name, bool value);
  bool writeBinary(std::string_view key, std::string_view name, std::string_view bytes);
  // False when there was no such value.
  bool deleteValue(std::string_view key, std::string_view name);

  // Holds back saving while it lives, so that a run of changes is saved once.
  class BatchedWrites {
  public:
    explicit BatchedWrites(SettingsStore &store);
    ~BatchedWrites();
    BatchedWrites(const BatchedWrites &) = delete;
    BatchedWrites &operator=(const BatchedWrites &) = delete;

  private:
    SettingsStore &store_;
  };

  struct Impl;

private:
  std::unique_ptr<Impl> impl_;
};

// The class library's registry object over the settings store, rooted at the
// current user's hive. A path that starts with "\" is taken from the hive;
// any other is taken from the open key. With no key open, the hive itself is
// the current key.
class TRegistry {
public:
  TRegistry();
  explicit TRegistry(SettingsStore &store);
  ~TRegistry() = default;

  // Opens a key, creating it when `canCreate`; false when it does not exist
  // (or cannot be made). The key stays the current key until CloseKey.
  bool OpenKey(std::string_view key, bool canCreate);
  bool OpenKeyReadOnly(std::string_view key) { return OpenKey(key, false); }
  void CloseKey();
  // The open key's path from the hive, without a leading "\"; empty for none.
  const std::string &CurrentPath() const { return currentPath_; }

  bool CreateKey(std::string_view key);
  bool DeleteKey(std::string_view key);
  bool KeyExists(std::string_view key);
  bool HasSubKeys();
  void GetKeyNames(TStringList &names);
  void GetValueNames(TStringList &names);

  bool ValueExists(std::string_view name);
  bool DeleteValue(std::string_view name);
  TRegDataType GetDataType(std::string_view name);

  // Empty when the value is absent; a value of another type raises
  // "Invalid data type for '%s'".
  std::string ReadString(std::string_view name);
  // An absent value raises "Failed to get data for '%s'", one of another type
  // "Invalid data type for '%s'".
  std::int32_t ReadInteger(std::string_view name);
  bool ReadBool(std::string_view name) { return ReadInteger(name) != 0; }
  std::string ReadBinaryData(std::string_view name);

  // Raise "Failed to set data for '%s'" only when the value cannot be set at
  // all; a failed save to disk is the store's to report.
  void WriteString(std::string_view name, std::string_view value);
  void WriteInteger(std::string_view name, std::int32_t value);
  void WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }
  void WriteBinaryData(std::string_view name, std::string_view bytes);

  SettingsStore &Store() { return store_; }

private:
  std::string resolve(std::string_view key) const;

  SettingsStore &store_;
  std::string currentPath_;
};

// The class library's registry ini object: its file name is a key path from
// the hive ("Software\Ostrevan\Marrowen"), each section a subkey of it (the
// empty section is the key itself), each entry a value. Values are stored as
// given, quotes and all; integers are written as text and read from text or
// integer values. Opened read-only, it creates no key, and a write raises
// "Failed to set data for '%s'".
class TRegIniFile : public TCustomIniFile {
public:
  explicit TRegIniFile(const std::string &fileName, bool readOnly = false);
  TRegIniFile(SettingsStore &store, const std::string &fileName, bool readOnly = false);

  std::string ReadString(std::string_view section, std::string_view ident,
                         std::string_view defaultValue) override;
  void WriteString(std::string_view section, std::string_view ident,
                   std::string_view value) override;
  std::int32_t ReadInteger(std::string_view section, std::string_view ident,
                           std::int32_t defaultValue) override;
  bool ValueExists(std::string_view section, std::string_view ident) override;
  std::vector<std::string> ReadSection(std::string_view section) override;
  // Removes the section's subkey with everything below it.
  void EraseSection(std::string_view section) override;
  void DeleteKey(std::string_view section, std::string_view ident) override;
  void beginBatch() override;
  void endBatch() override;

private:
  std::string sectionKey(std::string_view section) const;

  SettingsStore &store_;
  std::string key_;
  bool readOnly_;
  int batchDepth_ = 0;
  std::optional<SettingsStore::BatchedWrites> batch_;
};

} // namespace marrowen

#pragma once

#include "classlib/format.h"
#include "classlib/inifile.h"

#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

// The one road to numbered message texts: the text of message `id` from the
// loaded language file, or `defaultText` (the English text) when there is no
// loader, the loader is disabled or the lookup fails. Safe from any thread;
// never throws.
std::string translate(int id, std::string_view defaultText);

// Format of the translated text of message `id`. A translation whose format
// does not fit the arguments falls back to the English default, so a slip in
// a language file never hides a message; the default log names such a
// message once a run. A default that does not fit raises EConvertError.
// Every translated format goes through here, never through Format directly.
std::string translateFormat(int id, std::string_view defaultText,
                            std::initializer_list<FormatArg> args);

// While one lives on a thread, the default-log entries about translations
// that did not fit wait, so that code holding a log's lock can format its
// own texts; `reportMessageMisfits` writes them once the lock is let go.
class MessageMisfitsDeferred {
public:
  MessageMisfitsDeferred();
  MessageMisfitsDeferred(const MessageMisfitsDeferred &) = delete;
  MessageMisfitsDeferred &operator=(const MessageMisfitsDeferred &) = delete;
  ~MessageMisfitsDeferred();
};
void reportMessageMisfits();

// The language file's own escapes: \a \b \t \n \v \f \r \e, "\\" and three
// octal digits for the other control bytes; every other byte stands for
// itself. decodeLanguageText(encodeLanguageText(s)) == s for any bytes.
std::string encodeLanguageText(std::string_view text);
// Raises Exception with a fixed English text on a malformed escape; a
// backslash before any other character keeps both.
std::string decodeLanguageText(std::string_view text);
// The three octal digits of a byte, high digit first ("351").
std::string octalCode(unsigned char c);

// Holds the language file for the whole run. Numbered messages live in the
// section "global"; a message the file lacks is added under its number with
// its English default, so one run in a new language yields a complete file
// for a translator. Lookups come from job threads and the user-interface
// thread: one lock covers lookup, insertion and write-back. Once a write-back
// fails, or the file is found read-only, additions stay in memory only; one
// that another program keeps locked for seconds stays in memory too. A stored
// text with a malformed escape gives the English text, and the default log
// names its file and key.
class TStringLoader {
public:
  // Creates the folder of `fileName` and reads the file if it exists. Never
  // fails: any error leaves the loader disabled, and a disabled loader
  // answers every default text and writes nothing. When `fileName` does not
  // exist yet, `seedFileName` (a copy in a folder we may not write, say)
  // supplies the texts that start it.
  explicit TStringLoader(std::string fileName, std::string seedFileName = std::string());
  static std::unique_ptr<TStringLoader> Create(std::string fileName,
                                               std::string seedFileName = std::string());

  bool disabled() const { return disabled_; }
  // Why the file could not be used; empty when it was read or is new.
  const std::string &loadError() const { return loadError_; }
  static constexpr std::size_t languageFileLimit = 8 * 1024 * 1024;
  const std::string &fileName() const { return fileName_; }
  // Whether a write-back failed, and its text.
  bool writesStopped() const;
  std::string writeError() const;

  // The text of message `id`, or `defaultText` when disabled, when the
  // stored value cannot be decoded, or when the key was missing (it is then
  // added). Never throws.
  std::string getString(int id, std::string_view defaultText);

  // The decoded value of `key` in `section`, or nothing when disabled or
  // absent. A malformed stored value raises.
  std::optional<std::string> readValue(std::string_view section, std::string_view key);
  // Adds `key` with the encoded `text` when the section lacks it, and writes
  // the file back. Never throws.
  void addValue(std::string_view section, std::string_view key, std::string_view text);

  // The section that form translation reads and writes.
  std::string section;

  // While one lives, what is added waits in memory and is written back in one
  // go when the last one ends: a form's texts cost one rewrite of the file,
  // not one each. Each rewrite is flushed to disk under the file's lock, so
  // programs starting together on a new file took turns hundreds of times.
  class Batch {
  public:
    explicit Batch(TStringLoader &loader);
    ~Batch();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

  private:
    TStringLoader &loader_;
  };

private:
  void addLocked(std::string_view section, std::string_view key, std::string_view text);
  void writeBack(const std::vector<TMemIniFile::Addition> &additions);
  // The stored text decoded; a malformed one is named in the default log
  // (once a run) and raises.
  std::string decodeStored(std::string_view section, std::string_view key,
                           const std::string &stored) const;

  std::string fileName_;
  bool disabled_ = false;
  std::string loadError_;
  std::unique_ptr<TMemIniFile> file_;
  mutable std::mutex mutex_;
  bool writesStopped_ = false;
  std::string writeError_;
  int batchDepth_ = 0;
  std::vector<TMemIniFile::Addition> batched_;
};

// Makes `loader` the one that translate asks and returns the one it replaces;
// an empty pointer uninstalls (tests put the old one back). Nothing is
// installed at start, and translate then answers the default texts.
std::shared_ptr<TStringLoader> installStringLoader(std::shared_ptr<TStringLoader> loader);
std::shared_ptr<TStringLoader> installedStringLoader();

// `language` when it is a plain name (no folder, not hidden): the name of
// its file in "Languages", which the first start in that language makes;
// otherwise "English".
std::string languageOrDefault(std::string_view language);

// The language file of a language (languageOrDefault): "Languages/<language>.ini"
// in the program folder when it is writable, otherwise in the data folder,
// started from the program folder's copy when there is one.
std::unique_ptr<TStringLoader> createLanguageLoader(std::string_view language);

} // namespace marrowen

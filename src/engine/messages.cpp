#include "engine/messages.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/paths.h"
#include "classlib/registry.h"
#include "classlib/safefile.h"
#include "classlib/streams.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/log.h"

#include <atomic>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

namespace marrowen {

namespace {

std::atomic<std::shared_ptr<TStringLoader>> &currentLoader() {
  static std::atomic<std::shared_ptr<TStringLoader>> loader;
  return loader;
}

constexpr std::string_view globalSection = "global";

// The translations shown in English instead, each named once a run: by
// what makes it that translation (its number, or its file and key), the
// warning that names it.
struct MisfitReports {
  std::mutex mutex;
  std::set<std::string> named;
  std::vector<std::string> waiting;
};

MisfitReports &misfitReports() {
  static MisfitReports reports;
  return reports;
}

thread_local int misfitsDeferred = 0;

void noteOnce(std::string what, std::string warning) {
  MisfitReports &reports = misfitReports();
  {
    std::lock_guard lock(reports.mutex);
    if (!reports.named.insert(std::move(what)).second)
      return;
    reports.waiting.push_back(std::move(warning));
  }
  if (misfitsDeferred == 0)
    reportMessageMisfits();
}

void noteMisfit(int id, const std::string &translation) {
  noteOnce(std::to_string(id), Format("Message %d of the language file does not fit its values "
                                      "and is shown in English: %s",
                                      {id, encodeLanguageText(translation)}));
}

} // namespace

MessageMisfitsDeferred::MessageMisfitsDeferred() { ++misfitsDeferred; }

MessageMisfitsDeferred::~MessageMisfitsDeferred() { --misfitsDeferred; }

void reportMessageMisfits() {
  if (misfitsDeferred > 0)
    return;
  std::vector<std::string> waiting;
  {
    MisfitReports &reports = misfitReports();
    std::lock_guard lock(reports.mutex);
    waiting.swap(reports.waiting);
  }
  for (const std::string &warning : waiting) {
    try {
      writeDefaultLog(TLogLevel::Warning, warning);
    } catch (...) {
      // The message itself was shown in English; only its note is lost.
    }
  }
}

std::string octalCode(unsigned char c) {
  return std::string{static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
                     static_cast<char>('0' + (c & 7))};
}

std::string encodeLanguageText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  const char *p = text.data();
  const char *end = p + text.size();
  while (p < end) {
    const char *run = p;
    while (p < end && static_cast<unsigned char>(*p) >= 32 && *p != '\\')
      ++p;
    out.append(run, p);
    if (p == end)
      break;
    unsigned char c = static_cast<unsigned char>(*p++);
    out += '\\';
    if (char letter = escapeLetterOf(c))
      out += letter;
    else
      out += octalCode(c);
  }
  return out;
}

std::string decodeLanguageText(std::string_view text) {
  enum class State { Normal, Escape, Octal };
  std::string out;
  out.reserve(text.size());
  State state = State::Normal;
  int value = 0;
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (state) {
    case State::Normal: {
      std::size_t slash = text.find('\\', i);
      if (slash == std::string_view::npos)
        slash = text.size();
      out.append(text.substr(i, slash - i));
      i = slash;
      if (slash < text.size())
        state = State::Escape;
      break;
    }
    case State::Escape:
      state = State::Normal;
      if (int byte = escapedByteOf(c); byte >= 0) {
        out += static_cast<char>(byte);
      } else if (c >= '0' && c <= '7') {
        state = State::Octal;
        value = c - '0';
        count = 1;
      } else {
        out += '\\';
        out += c;
      }
      break;
    case State::Octal:
      if (c < '0' || c > '7')
        throw Exception("\\OOO You must specify all 3 octal digits (Leading zeros are required)");
      value = value * 8 + (c - '0');
      if (++count == 3) {
        if (value > 255)
          throw Exception("\\OOO Maximum octal value is \\377");
        out += static_cast<char>(value);
        state = State::Normal;
      }
      break;
    }
  }
  if (state == State::Escape)
    throw Exception("Trailing \\ needs to be followed by another \\ or 3 Octal digits");
  if (state == State::Octal)
    throw Exception("\\OOO Expecting 3 trailing octal digits");
  return out;
}

TStringLoader::TStringLoader(std::string fileName, std::string seedFileName)
    : fileName_(std::move(fileName)) {
  try {
    if (fileName_.empty())
      throw EFOpenError(fileName_);
    forceFolders(extractFilePath(fileName_));
    // A language file is a few hundred kilobytes; a device or an endless
    // file in its place must not be read.
    std::error_code ec;
    if (std::filesystem::exists(fileName_, ec))
      checkRegularFile(fileName_, languageFileLimit);
    file_ = std::make_unique<TMemIniFile>(fileName_);
    if (!seedFileName.empty() && !std::filesystem::exists(fileName_, ec) &&
        std::filesystem::exists(seedFileName, ec)) {
      checkRegularFile(seedFileName, languageFileLimit);
      file_->setText(TMemIniFile(seedFileName).text());
    }
  } catch (const std::exception &error) {
    disabled_ = true;
    file_.reset();
    loadError_ = error.what();
  } catch (...) {
    disabled_ = true;
    file_.reset();
  }
}

std::unique_ptr<TStringLoader> TStringLoader::Create(std::string fileName,
                                                     std::string seedFileName) {
  return std::make_unique<TStringLoader>(std::move(fileName), std::move(seedFileName));
}

bool TStringLoader::writesStopped() const {
  std::lock_guard lock(mutex_);
  return writesStopped_;
}

std::string TStringLoader::writeError() const {
  std::lock_guard lock(mutex_);
  return writeError_;
}

void TStringLoader::addLocked(std::string_view section, std::string_view key,
                              std::string_view text) {
  TMemIniFile::Addition addition{std::string(section), std::string(key), encodeLanguageText(text)};
  // Raises for a key no file can hold.
  file_->WriteString(addition.section, addition.ident, addition.value);
  if (writesStopped_)
    return;
  if (batchDepth_ > 0)
    batched_.push_back(std::move(addition));
  else
    writeBack({std::move(addition)});
}

void TStringLoader::writeBack(const std::vector<TMemIniFile::Addition> &additions) {
  const std::string_view kept = "texts added to it are kept until the program ends.";
  // A file the user made read-only is left alone, though its folder would
  // let a new one take its place; the user hears of it once.
  if (madeReadOnly(fileName_)) {
    writesStopped_ = true;
    writeError_ = Format("The language file %s is read-only: %s", {fileNameText(fileName_), kept});
    SettingsStore::report(writeError_);
    return;
  }
  try {
    file_->addToFile(additions, kept);
  } catch (const Exception &e) {
    writesStopped_ = true;
    writeError_ = e.message();
  }
}

namespace {

// A translation as the program shows and logs it: UTF-8, a language file
// written in the code page read through it. So a message is UTF-8 but for the
// names in it, whose bytes stay theirs.
std::string translationText(std::string_view stored) {
  return utf8::toUtf8(decodeLanguageText(stored), *systemCodePage());
}

} // namespace

TStringLoader::Batch::Batch(TStringLoader &loader) : loader_(loader) {
  std::lock_guard lock(loader_.mutex_);
  ++loader_.batchDepth_;
}

TStringLoader::Batch::~Batch() {
  std::lock_guard lock(loader_.mutex_);
  if (--loader_.batchDepth_ > 0 || loader_.batched_.empty())
    return;
  std::vector<TMemIniFile::Addition> additions;
  additions.swap(loader_.batched_);
  try {
    if (!loader_.writesStopped_)
      loader_.writeBack(additions);
  } catch (...) {
    // Kept in memory, as after a failed write-back.
  }
}

std::string TStringLoader::decodeStored(std::string_view section, std::string_view key,
                                        const std::string &stored) const {
  try {
    return translationText(stored);
  } catch (const Exception &e) {
    noteOnce(fileName_ + '\n' + std::string(section) + '\n' + std::string(key),
             Format("Key %s in section [%s] of the language file %s has a malformed escape and "
                    "is shown in English: %s",
                    {key, section, loggedName(fileName_), e.message()}));
    throw;
  }
}

std::string TStringLoader::getString(int id, std::string_view defaultText) {
  if (disabled_)
    return std::string(defaultText);
  try {
    std::string key = std::to_string(id);
    std::optional<std::string> stored;
    {
      std::lock_guard lock(mutex_);
      stored = file_->findString(globalSection, key);
      if (!stored)
        addLocked(globalSection, key, defaultText);
    }
    if (stored)
      return decodeStored(globalSection, key, *stored);
  } catch (...) {
    // A damaged stored value or a failed addition: the English text serves.
  }
  return std::string(defaultText);
}

std::optional<std::string> TStringLoader::readValue(std::string_view section,
                                                    std::string_view key) {
  if (disabled_)
    return std::nullopt;
  std::optional<std::string> stored;
  {
    std::lock_guard lock(mutex_);
    stored = file_->findString(section, key);
  }
  if (!stored)
    return std::nullopt;
  return decodeStored(section, key, *stored);
}

void TStringLoader::addValue(std::string_view section, std::string_view key,
                             std::string_view text) {
  if (disabled_)
    return;
  try {
    std::lock_guard lock(mutex_);
    if (!file_->ValueExists(section, key))
      addLocked(section, key, text);
  } catch (...) {
    // An unusable key (a line break in a component name) is not stored.
  }
}

std::shared_ptr<TStringLoader> installStringLoader(std::shared_ptr<TStringLoader> loader) {
  return currentLoader().exchange(std::move(loader));
}

std::shared_ptr<TStringLoader> installedStringLoader() { return currentLoader().load(); }

std::string languageOrDefault(std::string_view language) {
  const std::string english = "English";
  // A name, never a path: the file it names is read and written.
  if (language.empty() || language.front() == '.' || language.size() > 255)
    return english;
  for (char c : language)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return english;
  // A language without a file yet gets one, filled with the English texts
  // for a translator, as English itself does at the first start.
  return std::string(language);
}

std::unique_ptr<TStringLoader> createLanguageLoader(std::string_view language) {
  std::string relative = "Languages/" + languageOrDefault(language) + ".ini";
  std::string besideProgram = joinPath(programFolder(), relative);
  if (isFolderWritable(programFolder()))
    return TStringLoader::Create(besideProgram);
  return TStringLoader::Create(joinPath(writableDataFolder(), relative), besideProgram);
}

std::string translate(int id, std::string_view defaultText) {
  try {
    if (auto loader = installedStringLoader())
      return loader->getString(id, defaultText);
  } catch (...) {
  }
  return std::string(defaultText);
}

std::string translateFormat(int id, std::string_view defaultText,
                            std::initializer_list<FormatArg> args) {
  std::string text = translate(id, defaultText);
  if (text != defaultText) {
    try {
      return Format(text, args);
    } catch (const EConvertError &) {
      // A translation that does not fit its arguments: the English text.
      noteMisfit(id, text);
    }
  }
  return Format(defaultText, args);
}

} // namespace marrowen

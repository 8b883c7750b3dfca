#include "classlib/inifile.h"

#include "classlib/asciitext.h"
#include "classlib/convert.h"
#include "classlib/exceptions.h"
#include "classlib/paths.h"
#include "classlib/registry.h"
#include "classlib/safefile.h"
#include "classlib/utf8.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

namespace {

std::string folded(std::string_view s) { return asciiLowerCase(trimBlanks(s)); }

// The section name of a "[name]" line, if it is one.
std::optional<std::string_view> sectionName(std::string_view line) {
  line = trimBlanks(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']')
    return std::nullopt;
  return trimBlanks(line.substr(1, line.size() - 2));
}

bool holdsLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

TMemIniFile::TMemIniFile(std::string fileName) : fileName_(std::move(fileName)) {
  std::error_code ec;
  auto status = std::filesystem::status(fileName_, ec);
  if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
    throw EFOpenError(fileName_);
  if (!std::filesystem::exists(status))
    return;
  // A pipe or a device would block the reader or never end.
  if (!std::filesystem::is_regular_file(status))
    throw EFOpenError(fileName_);
  std::ifstream in(fileName_, std::ios::binary);
  if (!in)
    throw EFOpenError(fileName_);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad())
    throw EFOpenError(fileName_);
  setText(content);
}

void TMemIniFile::setText(std::string_view text) {
  lines_.clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t brk = text.find_first_of("\r\n", pos);
    if (brk == std::string_view::npos) {
      lines_.push_back({std::string(text.substr(pos)), std::string()});
      break;
    }
    std::size_t endLength =
        text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1;
    lines_.push_back(
        {std::string(text.substr(pos, brk - pos)), std::string(text.substr(brk, endLength))});
    pos = brk + endLength;
  }
  reindex();
}

void TMemIniFile::reindex() {
  sections_.clear();
  sectionIndex_.clear();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view text = lines_[i].text;
    if (i == 0)
      text = utf8::withoutByteOrderMark(text);
    if (auto name = sectionName(text)) {
      if (!sections_.empty())
        sections_.back().end = i;
      sections_.push_back({std::string(*name), i, lines_.size(), {}});
      sectionIndex_.emplace(folded(*name), sections_.size() - 1);
      continue;
    }
    if (sections_.empty())
      continue; // lines before the first section belong to none
    std::string_view content = trimBlanks(text);
    if (content.empty() || content.front() == ';')
      continue;
    auto eq = text.find('=');
    if (eq == std::string_view::npos)
      continue;
    sections_.back().keys.emplace(folded(text.substr(0, eq)), i);
  }
}

const TMemIniFile::Section *TMemIniFile::findSection(std::string_view section) const {
  auto it = sectionIndex_.find(folded(section));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

bool TMemIniFile::SectionExists(std::string_view section) const { return findSection(section); }

bool TMemIniFile::ValueExists(std::string_view section, std::string_view ident) const {
  return findString(section, ident).has_value();
}

std::optional<std::string> TMemIniFile::findString(std::string_view section,
                                                   std::string_view ident) const {
  const Section *s = findSection(section);
  if (!s)
    return std::nullopt;
  auto it = s->keys.find(folded(ident));
  if (it == s->keys.end())
    return std::nullopt;
  const std::string &line = lines_[it->second].text;
  return line.substr(line.find('=') + 1);
}

std::string TMemIniFile::ReadString(std::string_view section, std::string_view ident,
                                    std::string_view defaultValue) const {
  auto value = findString(section, ident);
  return value ? *value : std::string(defaultValue);
}

std::string TMemIniFile::lineEnd() const {
  for (const Line &line : lines_)
    if (!line.end.empty())
      return line.end;
  return "\r\n";
}

void TMemIniFile::WriteString(std::string_view section, std::string_view ident,
                              std::string_view value) {
  std::string_view name = trimBlanks(ident);
  if (holdsLineBreak(section) || holdsLineBreak(ident) || holdsLineBreak(value) ||
      section.find(']') != std::string_view::npos || name.empty() ||
      name.find('=') != std::string_view::npos || name.front() == '[' || name.front() == ';')
    throw EConvertError("Invalid ini file entry [" + std::string(section) + "] " +
                        std::string(ident));

  std::string newLine = std::string(name) + "=" + std::string(value);
  std::string end = lineEnd();
  const Section *s = findSection(section);
  if (s) {
    auto it = s->keys.find(folded(name));
    if (it != s->keys.end()) {
      Line &line = lines_[it->second];
      line.text = line.text.substr(0, line.text.find('=') + 1) + std::string(value);
      return;
    }
    std::size_t after = s->header;
    for (std::size_t i = s->header + 1; i < s->end; ++i)
      if (!trimBlanks(lines_[i].text).empty())
        after = i;
    if (lines_[after].end.empty())
      lines_[after].end = end;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                  Line{std::move(newLine), end});
  } else {
    if (!lines_.empty()) {
      if (lines_.back().end.empty())
        lines_.back().end = end;
      if (!trimBlanks(lines_.back().text).empty())
        lines_.push_back({std::string(), end});
    }
    lines_.push_back({"[" + std::string(trimBlanks(section)) + "]", end});
    lines_.push_back({std::move(newLine), end});
  }
  reindex();
}

void TMemIniFile::EraseSection(std::string_view section) {
  const Section *s = findSection(section);
  if (!s)
    return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(s->header),
               lines_.begin() + static_cast<std::ptrdiff_t>(s->end));
  reindex();
}

void TMemIniFile::DeleteKey(std::string_view section, std::string_view ident) {
  const Section *s = findSection(section);
  if (!s)
    return;
  auto it = s->keys.find(folded(ident));
  if (it == s->keys.end())
    return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(it->second));
  reindex();
}

std::vector<std::string> TMemIniFile::ReadSections() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section &s : sections_)
    names.push_back(s.name);
  return names;
}

std::vector<std::string> TMemIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> names;
  const Section *s = findSection(section);
  if (!s)
    return names;
  for (std::size_t i = s->header + 1; i < s->end; ++i) {
    const std::string &text = lines_[i].text;
    auto eq = text.find('=');
    if (eq == std::string::npos)
      continue;
    auto it = s->keys.find(folded(text.substr(0, eq)));
    if (it != s->keys.end() && it->second == i)
      names.emplace_back(trimBlanks(std::string_view(text).substr(0, eq)));
  }
  return names;
}

std::string TMemIniFile::text() const {
  std::size_t size = 0;
  for (const Line &line : lines_)
    size += line.text.size() + line.end.size();
  std::string out;
  out.reserve(size);
  for (const Line &line : lines_) {
    out += line.text;
    out += line.end;
  }
  return out;
}

void TMemIniFile::UpdateFile() const {
  if (FileReplaceResult written = replaceFileContents(fileName_, text()); !written)
    throw EFCreateError(fileName_,
                        std::error_code(written.error, std::system_category()).message());
}

// ---- TCustomIniFile, TIniFile

std::int32_t TCustomIniFile::ReadInteger(std::string_view section, std::string_view ident,
                                         std::int32_t defaultValue) {
  std::string text = ReadString(section, ident, "");
  if (text.empty())
    return defaultValue;
  try {
    return StrToInt(trimBlanks(text));
  } catch (const EConvertError &) {
    return defaultValue;
  }
}

void TCustomIniFile::WriteInteger(std::string_view section, std::string_view ident,
                                  std::int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

namespace {

std::string iniFilePath(const std::string &fileName) {
  if (fileName.find('/') != std::string::npos)
    return fileName;
  return joinPath(SettingsStore::global().file().parent_path().string(), fileName);
}

} // namespace

namespace {

// An exclusive advisory lock on the file a path names, made (empty) when it
// is missing, so that two writers of a new file take turns too. A writer
// that renamed a new file over the path while we waited leaves us the old
// one: then the new one is locked instead. Where no regular file can be
// opened (a folder the user may not write) nothing is locked, and the save
// that follows says why it failed. One that another program keeps for
// seconds is `refused`.
class LockedFile {
public:
  LockedFile(const std::string &path, std::string_view consequence) {
    for (;;) {
      fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, newFileMode());
      struct stat locked, now;
      if (fd_ < 0)
        return;
      if (::fstat(fd_, &locked) != 0 || !S_ISREG(locked.st_mode)) {
        release();
        return;
      }
      if (!lockOrGoOn(fd_, path, consequence)) {
        refused_ = true;
        release();
        return;
      }
      if (::stat(path.c_str(), &now) == 0 && now.st_dev == locked.st_dev &&
          now.st_ino == locked.st_ino)
        return;
      release();
    }
  }
  ~LockedFile() { release(); }
  LockedFile(const LockedFile &) = delete;
  LockedFile &operator=(const LockedFile &) = delete;

  bool refused() const { return refused_; }

private:
  void release() {
    if (fd_ >= 0)
      ::close(fd_); // and with it the lock
    fd_ = -1;
  }
  int fd_ = -1;
  bool refused_ = false;
};

} // namespace

bool TMemIniFile::addToFile(const std::vector<Addition> &additions, std::string_view consequence) {
  LockedFile lock(fileName_, consequence);
  // Made empty by the lock, or by another writer's: what memory holds (a
  // shipped copy's texts) starts it.
  const std::string onDisk = lock.refused() ? std::string() : TMemIniFile(fileName_).text();
  if (!onDisk.empty())
    setText(onDisk);
  bool added = false;
  for (const Addition &addition : additions)
    if (!ValueExists(addition.section, addition.ident)) {
      WriteString(addition.section, addition.ident, addition.value);
      added = true;
    }
  if (lock.refused())
    return false;
  if (added || onDisk.empty())
    UpdateFile();
  return true;
}

IniBatch::~IniBatch() {
  if (!ini_)
    return;
  try {
    ini_->endBatch();
  } catch (const Exception &) {
    // The error that ended the batch early is the one to report; what
    // could not be saved stays in memory.
  }
}

void IniBatch::commit() {
  if (TCustomIniFile *ini = std::exchange(ini_, nullptr))
    ini->endBatch();
}

TIniFile::TIniFile(const std::string &fileName)
    : TCustomIniFile(fileName), seen_(FileSignature::of(iniFilePath(fileName))),
      ini_(iniFilePath(fileName)) {}

void TIniFile::refresh(bool forSave) {
  // Taken before the file is read, so that a change made meanwhile is read
  // next time.
  const FileSignature now = FileSignature::of(ini_.FileName());
  if (now == seen_ && !forSave)
    return;
  std::optional<TMemIniFile> fresh;
  try {
    fresh.emplace(ini_.FileName());
  } catch (const EFOpenError &) {
    if (forSave)
      throw;
    return;
  }
  seen_ = now;
  ini_.setText(fresh->text());
  for (const Change &c : unsaved_)
    apply(c);
}

void TIniFile::apply(const Change &c) {
  switch (c.kind) {
  case Change::Write:
    ini_.WriteString(c.section, c.ident, c.value);
    break;
  case Change::EraseSection:
    ini_.EraseSection(c.section);
    break;
  case Change::DeleteKey:
    ini_.DeleteKey(c.section, c.ident);
    break;
  }
}

void TIniFile::change(Change c) {
  refresh();
  apply(c);
  unsaved_.push_back(std::move(c));
  if (batchDepth_ == 0)
    save();
}

void TIniFile::save() {
  if (unsaved_.empty())
    return;
  // The settings folder may not be there yet on a first run.
  if (FileName().find('/') == std::string::npos)
    forceFolders(extractFilePath(ini_.FileName()));
  // As the system's profile routines do, a file the user made read-only is
  // not written; the changes stay in memory for a later save.
  if (madeReadOnly(ini_.FileName()))
    throw EFCreateError(ini_.FileName(), "The file is read-only");
  LockedFile lock(ini_.FileName(), "changes to it are kept for a later save.");
  if (lock.refused())
    throw EFCreateError(ini_.FileName(), "Another program holds the file");
  // What another writer saved stays; only this one's changes are made on it.
  refresh(true);
  ini_.UpdateFile();
  unsaved_.clear();
  // Once renamed into place the file is no longer the locked one: another
  // writer may already be changing it, so it is read again before use.
  seen_ = FileSignature();
}

void TIniFile::endBatch() {
  if (batchDepth_ > 0 && --batchDepth_ == 0)
    save();
}

std::string TIniFile::ReadString(std::string_view section, std::string_view ident,
                                 std::string_view defaultValue) {
  refresh();
  auto value = ini_.findString(section, ident);
  if (!value)
    return std::string(defaultValue);
  std::string &v = *value;
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

void TIniFile::WriteString(std::string_view section, std::string_view ident,
                           std::string_view value) {
  change({Change::Write, std::string(section), std::string(ident), std::string(value)});
}

bool TIniFile::ValueExists(std::string_view section, std::string_view ident) {
  refresh();
  return ini_.ValueExists(section, ident);
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) {
  refresh();
  return ini_.ReadSection(section);
}

void TIniFile::EraseSection(std::string_view section) {
  refresh();
  if (ini_.SectionExists(section))
    change({Change::EraseSection, std::string(section), {}, {}});
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident) {
  refresh();
  if (ini_.ValueExists(section, ident))
    change({Change::DeleteKey, std::string(section), std::string(ident), {}});
}

} // namespace marrowen

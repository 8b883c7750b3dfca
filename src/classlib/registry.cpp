#include "classlib/registry.h"

#include "classlib/asciitext.h"
#include "classlib/codepage.h"
#include "classlib/format.h"
#include "classlib/program.h"
#include "classlib/safefile.h"
#include "classlib/scopeexit.h"
#include "classlib/stringlist.h"
#include "classlib/utf8.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <set>
#include <system_error>
#include <unordered_map>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

namespace {

struct Value {
  std::string name;
  TRegDataType type = TRegDataType::rdUnknown;
  std::string bytes; // text or binary data
  std::int32_t integer = 0;
};

// The indexes are keyed by the folded name, so that reading a file of many
// values or keys takes time in proportion to its size.
struct Key {
  std::string name;
  std::vector<std::unique_ptr<Key>> subkeys;
  std::vector<Value> values;
  std::unordered_map<std::string, Key *> subkeyIndex;
  std::unordered_map<std::string, std::size_t> valueIndex; // into values
};

// Deeper paths are refused (the registry's own limit): walking or freeing a
// tree of any depth would need a stack of that depth.
constexpr std::size_t maxKeyDepth = 512;

std::mutex reporterMutex;
SettingsStore::Reporter reporter; // guarded by reporterMutex; empty means stderr

void deliver(const std::vector<std::string> &messages) {
  if (messages.empty())
    return;
  SettingsStore::Reporter report;
  {
    std::lock_guard lock(reporterMutex);
    report = reporter;
  }
  for (const std::string &m : messages) {
    if (report)
      report(m);
    else
      std::cerr << m << '\n';
  }
}

using Path = std::vector<std::string_view>;

// Keys are separated by "\"; empty parts (a leading "\", doubled or trailing
// ones) are dropped. Control characters would break the file's lines.
std::optional<Path> splitPath(std::string_view key) {
  Path parts;
  std::size_t start = 0;
  while (start <= key.size()) {
    std::size_t end = key.find('\\', start);
    if (end == std::string_view::npos)
      end = key.size();
    std::string_view part = key.substr(start, end - start);
    for (char c : part)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        return std::nullopt;
    if (!part.empty()) {
      if (parts.size() == maxKeyDepth)
        return std::nullopt;
      parts.push_back(part);
    }
    start = end + 1;
  }
  return parts;
}

const char hexDigits[] = "0123456789abcdef";

void appendQuoted(std::string &out, std::string_view text) {
  out += '"';
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += hexDigits[c >> 4];
      out += hexDigits[c & 15];
    } else {
      out += ch;
    }
  }
  out += '"';
}

// Reads a quoted text at `pos` (on its opening quote); false when malformed.
bool parseQuoted(std::string_view line, std::size_t &pos, std::string &out) {
  if (pos >= line.size() || line[pos] != '"')
    return false;
  ++pos;
  out.clear();
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"')
      return true;
    if (static_cast<unsigned char>(c) < 0x20)
      return false;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= line.size())
      return false;
    char e = line[pos++];
    if (e == '\\' || e == '"') {
      out += e;
    } else if (e == 'x' && pos + 2 <= line.size() && hexValueOf(line[pos]) >= 0 &&
               hexValueOf(line[pos + 1]) >= 0) {
      out += static_cast<char>(hexValueOf(line[pos]) * 16 + hexValueOf(line[pos + 1]));
      pos += 2;
    } else {
      return false;
    }
  }
  return false;
}

bool startsWith(std::string_view s, std::size_t pos, std::string_view prefix) {
  return s.substr(pos, prefix.size()) == prefix;
}

// An advisory lock on the store's folder between processes, held while a
// change is read in, made and saved. Without a folder (none yet, or none
// given) there is nothing to lock and the change goes ahead unlocked. Another
// program that keeps the lock for seconds is refused: the change is made but
// not saved, since that program may be saving a change of its own.
class FolderLock {
public:
  explicit FolderLock(const std::filesystem::path &folder) {
    if (folder.empty())
      return;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0 && !lockOrGoOn(fd_, folder.string(),
                                "settings cannot be saved while it does. Changes are kept "
                                "until the program ends.")) {
      refused_ = true;
      release();
    }
  }
  ~FolderLock() { release(); }
  FolderLock(const FolderLock &) = delete;
  FolderLock &operator=(const FolderLock &) = delete;

  bool refused() const { return refused_; }
  void release() {
    if (fd_ >= 0)
      ::close(fd_); // and with it the lock
    fd_ = -1;
  }

private:
  int fd_ = -1;
  bool refused_ = false;
};

} // namespace

struct SettingsStore::Impl {
  std::mutex mutex;
  std::filesystem::path file;
  std::array<unsigned char, 256> fold{};
  Key root;
  bool loaded = false;
  bool dirty = false; // changes not yet on disk
  // The changes not yet on disk, in order: when another copy of the program
  // saved the file meanwhile, its store is read in and these are made again
  // on it, so that a batch or a failed save loses none of its changes.
  struct Change {
    enum Kind { Write, CreateKey, DeleteKey, DeleteValue } kind;
    std::string key; // as given
    std::string name;
    TRegDataType type;
    std::string bytes;
    std::int32_t integer;
    Change(Kind k, std::string_view keyPath, std::string_view valueName = {},
           TRegDataType t = TRegDataType::rdUnknown, std::string_view data = {},
           std::int32_t number = 0)
        : kind(k), key(keyPath), name(valueName), type(t), bytes(data), integer(number) {}
  };
  std::vector<Change> journal;
  // Where the last write of each value (its key path and name, folded)
  // stands in the journal, while no deletion has come after it.
  std::unordered_map<std::string, std::size_t> lastWrite;
  int batchDepth = 0;
  FileSignature seen;
  std::string onDisk; // the file's text when it was last read or saved, if ours
  // Lines under a damaged key name, from that name on, as the file had them:
  // which key they belong to is not known, so they are written back
  // unread, after the keys, until the user mends the name.
  std::vector<std::string> unplaced;
  // The damage reported in this run, by what makes it that damage.
  std::set<std::string> damageReported;
  bool saveFailureReported = false;
  bool unreadable = false;    // the file exists but could not be read
  bool folderRefused = false; // another program keeps the folder's lock
  bool unreadableReported = false;
  std::vector<std::string> reports; // delivered once the lock is released

  explicit Impl(std::filesystem::path f) : file(std::move(f)) {
    fold = systemCodePage()->lowerMap();
    for (int c = 'A'; c <= 'Z'; ++c)
      fold[c] = static_cast<unsigned char>(c + ('a' - 'A'));
  }

  std::string folded(std::string_view name) const {
    std::string out(name);
    for (char &c : out)
      c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
    return out;
  }

  bool same(std::string_view a, std::string_view b) const {
    if (a.size() != b.size())
      return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (fold[static_cast<unsigned char>(a[i])] != fold[static_cast<unsigned char>(b[i])])
        return false;
    return true;
  }

  Key *child(Key &key, std::string_view name) const {
    const auto it = key.subkeyIndex.find(folded(name));
    return it == key.subkeyIndex.end() ? nullptr : it->second;
  }

  Key *findKey(const Path &path) {
    Key *k = &root;
    for (std::string_view part : path)
      if (!(k = child(*k, part)))
        return nullptr;
    return k;
  }

  Key *findKey(std::string_view key) {
    auto path = splitPath(key);
    return path ? findKey(*path) : nullptr;
  }

  Key *ensureKey(const Path &path) {
    Key *k = &root;
    for (std::string_view part : path) {
      Key *next = child(*k, part);
      if (!next) {
        k->subkeys.push_back(std::make_unique<Key>());
        next = k->subkeys.back().get();
        next->name = part;
        k->subkeyIndex.emplace(folded(part), next);
      }
      k = next;
    }
    return k;
  }

  Value *findValue(Key &key, std::string_view name) {
    const auto it = key.valueIndex.find(folded(name));
    return it == key.valueIndex.end() ? nullptr : &key.values[it->second];
  }

  Value &addValue(Key &key, Value value) {
    key.valueIndex.emplace(folded(value.name), key.values.size());
    key.values.push_back(std::move(value));
    return key.values.back();
  }

  void removeValue(Key &key, std::size_t index) {
    key.values.erase(key.values.begin() + static_cast<std::ptrdiff_t>(index));
    key.valueIndex.clear();
    for (std::size_t i = 0; i < key.values.size(); ++i)
      key.valueIndex.emplace(folded(key.values[i].name), i);
  }

  Value *findValue(std::string_view key, std::string_view name) {
    Key *k = findKey(key);
    return k ? findValue(*k, name) : nullptr;
  }

  // ---- reading the file

  void refresh() {
    if (!loaded) {
      load();
      return;
    }
    struct stat st;
    FileSignature now;
    if (::stat(file.c_str(), &st) == 0)
      now = FileSignature::of(st);
    if (!(now == seen)) {
      load();
      // Unsaved changes win over the file: made again on what it holds now.
      for (const Change &c : journal)
        apply(c);
    }
  }

  // ---- changes

  // Makes a change on the tree; false when it changes nothing (an invalid
  // path, a key or value that is not there to delete).
  bool apply(const Change &c) {
    const auto path = splitPath(c.key);
    if (!path)
      return false;
    switch (c.kind) {
    case Change::Write: {
      Key *k = ensureKey(*path);
      Value *v = findValue(*k, c.name);
      if (!v)
        v = &addValue(*k, Value{c.name, TRegDataType::rdUnknown, {}, 0});
      v->type = c.type;
      v->bytes = c.bytes;
      v->integer = c.integer;
      return true;
    }
    case Change::CreateKey:
      ensureKey(*path);
      return true;
    case Change::DeleteKey: {
      if (path->empty())
        return false;
      Key *parent = findKey(Path(path->begin(), path->end() - 1));
      if (!parent)
        return false;
      const auto it = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                                   [&](const auto &k) { return same(k->name, path->back()); });
      if (it == parent->subkeys.end())
        return false;
      parent->subkeyIndex.erase(folded((*it)->name));
      parent->subkeys.erase(it);
      return true;
    }
    case Change::DeleteValue: {
      Key *k = findKey(*path);
      if (!k)
        return false;
      const auto it = std::find_if(k->values.begin(), k->values.end(),
                                   [&](const Value &v) { return same(v.name, c.name); });
      if (it == k->values.end())
        return false;
      removeValue(*k, static_cast<std::size_t>(it - k->values.begin()));
      return true;
    }
    }
    return false;
  }

  // The key path in one spelling: its keys folded, joined by one "\".
  std::string plainKey(std::string_view key) const {
    std::string out;
    if (const auto path = splitPath(key))
      for (std::string_view part : *path) {
        if (!out.empty())
          out += '\\';
        out += folded(part);
      }
    return out;
  }

  // Records a change made on the tree. A value written again replaces its
  // last write when no deletion came since, so that a store that cannot be
  // saved holds one entry per value, however often the value changes.
  void record(Change c) {
    if (c.kind == Change::Write) {
      std::string id = plainKey(c.key);
      id += '\n';
      id += folded(c.name);
      const auto [at, added] = lastWrite.try_emplace(std::move(id), journal.size());
      if (!added) {
        journal[at->second] = std::move(c);
        return;
      }
    } else if (c.kind != Change::CreateKey) {
      lastWrite.clear();
    }
    journal.push_back(std::move(c));
  }

  void forgetJournal() {
    journal.clear();
    lastWrite.clear();
  }

  // Makes and records a change; false when it changed nothing or could not
  // be saved.
  bool commit(Change c) {
    if (!apply(c))
      return false;
    record(std::move(c));
    return changed();
  }

  void load() {
    loaded = true;
    unreadable = false;
    root = Key();
    unplaced.clear();
    seen = FileSignature();
    onDisk.clear();
    struct stat st;
    if (::stat(file.c_str(), &st) == 0)
      seen = FileSignature::of(st);
    // Without blocking: a pipe or a device in the store's place must not
    // hold up the start, and is refused below.
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR))
      return; // no store yet: every value is absent
    int error = fd < 0 ? errno : 0;
    bool special = false;
    std::string text;
    if (fd >= 0) {
      if (::fstat(fd, &st) != 0)
        error = errno;
      else if (!S_ISREG(st.st_mode)) {
        error = EISDIR;
        special = !S_ISDIR(st.st_mode);
      } else {
        seen = FileSignature::of(st);
      }
      char buffer[1 << 14];
      while (error == 0) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
          continue;
        if (n < 0)
          error = errno;
        if (n <= 0)
          break;
        text.append(buffer, static_cast<std::size_t>(n));
      }
      ::close(fd);
    }
    if (error != 0) {
      // Saving over a file that could not be read would lose it; the store
      // keeps its changes in memory instead.
      unreadable = true;
      root = Key();
      if (!unreadableReported) {
        unreadableReported = true;
        const std::string why =
            special ? std::string("not a regular file") : std::generic_category().message(error);
        reports.push_back(Format("The settings file %s cannot be read: %s. Settings are not "
                                 "saved to it.",
                                 {file.string(), why}));
      }
      return;
    }
    if (const std::vector<Damage> damage = parse(text); !damage.empty())
      reportDamage(damage);
    else
      onDisk = std::move(text);
  }

  struct Damage {
    int line;
    // What makes it this damage: a value's line with its key's name, a
    // key name's with the lines under it.
    std::string identity;
    bool keyName; // a key name, whose lines are kept unread
  };

  // Reads the lines into the tree. A damaged line costs that line only; the
  // lines under a damaged key name are kept as they are (see unplaced).
  std::vector<Damage> parse(std::string_view text) {
    std::vector<Damage> damage;
    unplaced.clear();
    text = utf8::withoutByteOrderMark(text);
    Key *current = nullptr;
    std::string_view currentName;
    bool underDamagedName = false;
    // Where a key name stands: first in the file, or after a blank line or a
    // comment, as the store writes them.
    bool namePlace = true;
    int lineNumber = 0;
    std::string name;
    while (!text.empty()) {
      ++lineNumber;
      std::size_t nl = text.find('\n');
      std::string_view raw = text.substr(0, nl);
      text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
      if (!raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
      const std::string_view line = trimBlanks(raw);
      const bool comment = line.empty() || line.front() == ';';
      const bool afterBreak = std::exchange(namePlace, comment);
      // A key name, or what was one before it was damaged: a line ending
      // with its bracket that no value begins as or that has no "=", as every
      // value has; or, where a name stands over values, any line without "=".
      // Were the values under a name typed over read as the key's above, they
      // would replace its own.
      const bool valueStart = !comment && (line.front() == '"' || line.front() == '@');
      const bool noEquals = line.find('=') == std::string_view::npos;
      const auto overValues = [&] {
        const std::string_view next = trimBlanks(text.substr(0, text.find('\n')));
        return !next.empty() && (next.front() == '"' || next.front() == '@');
      };
      if (!comment && (line.front() == '[' || (line.back() == ']' && (!valueStart || noEquals)) ||
                       (noEquals && afterBreak && overValues()))) {
        auto path = line.size() >= 2 && line.front() == '[' && line.back() == ']'
                        ? splitPath(line.substr(1, line.size() - 2))
                        : std::nullopt;
        underDamagedName = !path;
        if (path) {
          current = ensureKey(*path);
          currentName = line;
          continue;
        }
        damage.push_back({lineNumber, std::string(), true});
      }
      if (underDamagedName) {
        unplaced.emplace_back(raw);
        damage.back().identity.append(raw).append("\n");
        continue;
      }
      if (comment)
        continue;
      Value v;
      if (!current || !parseValue(line, name, v)) {
        damage.push_back({lineNumber, std::string(currentName) + "\n" + std::string(raw), false});
        continue;
      }
      // One lookup: the name's place, or a new one at the end.
      const auto [at, added] =
          current->valueIndex.try_emplace(folded(v.name), current->values.size());
      if (added) {
        current->values.push_back(std::move(v));
      } else {
        Value &existing = current->values[at->second];
        v.name = existing.name;
        existing = std::move(v);
      }
    }
    return damage;
  }

  // One "name"=value line; false when it is not valid.
  static bool parseValue(std::string_view line, std::string &name, Value &v) {
    std::size_t pos = 0;
    if (line.front() == '@') {
      name.clear();
      pos = 1;
    } else if (!parseQuoted(line, pos, name)) {
      return false;
    }
    if (pos >= line.size() || line[pos] != '=')
      return false;
    ++pos;
    v.name = name;
    if (startsWith(line, pos, "\"")) {
      std::string data;
      if (!parseQuoted(line, pos, data) || pos != line.size())
        return false;
      v.type = TRegDataType::rdString;
      v.bytes = std::move(data);
    } else if (startsWith(line, pos, "dword:")) {
      std::string_view digits = line.substr(pos + 6);
      if (digits.size() != 8)
        return false;
      std::uint32_t n = 0;
      for (char c : digits) {
        int d = hexValueOf(c);
        if (d < 0)
          return false;
        n = n * 16 + static_cast<std::uint32_t>(d);
      }
      v.type = TRegDataType::rdInteger;
      v.integer = static_cast<std::int32_t>(n);
    } else if (startsWith(line, pos, "hex:")) {
      std::string_view bytes = line.substr(pos + 4);
      v.type = TRegDataType::rdBinary;
      while (!bytes.empty()) {
        if (bytes.size() < 2 || hexValueOf(bytes[0]) < 0 || hexValueOf(bytes[1]) < 0)
          return false;
        v.bytes += static_cast<char>(hexValueOf(bytes[0]) * 16 + hexValueOf(bytes[1]));
        bytes.remove_prefix(2);
        if (!bytes.empty()) {
          if (bytes.front() != ',' || bytes.size() == 1)
            return false;
          bytes.remove_prefix(1);
        }
      }
    } else {
      return false;
    }
    return true;
  }

  // Tells of damage not told of before in this run, keeping a copy of the
  // file as it was found.
  void reportDamage(const std::vector<Damage> &damage) {
    std::vector<int> dropped, names;
    for (const Damage &d : damage)
      if (damageReported.insert(d.identity).second)
        (d.keyName ? names : dropped).push_back(d.line);
    if (dropped.empty() && names.empty())
      return;
    auto lines = [](const std::vector<int> &numbers) {
      std::string text = numbers.size() == 1 ? "line " : "lines ";
      for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0)
          text += i + 1 == numbers.size() ? " and " : ", ";
        text += std::to_string(numbers[i]);
      }
      return text;
    };
    std::string what;
    if (!dropped.empty())
      what = Format(dropped.size() == 1 ? "%s is not read, and is left out when the settings are "
                                          "next saved"
                                        : "%s are not read, and are left out when the settings "
                                          "are next saved",
                    {lines(dropped)});
    if (!names.empty()) {
      if (!what.empty())
        what += "; ";
      what += Format(names.size() == 1 ? "the key name at %s is damaged: the lines under it are "
                                         "kept as they are, unread, until it is mended"
                                       : "the key names at %s are damaged: the lines under them "
                                         "are kept as they are, unread, until they are mended",
                     {lines(names)});
    }
    std::filesystem::path copy = file;
    copy += ".damaged";
    std::error_code ec;
    std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing, ec);
    std::string message =
        Format("The settings file %s is damaged: %s. Everything else in it was read.",
               {file.string(), what});
    if (!ec)
      message += Format(" A copy of the damaged file was kept as %s.", {copy.string()});
    reports.push_back(std::move(message));
  }

  // ---- writing the file

  static void serializeKey(std::string &out, const Key &key, const std::string &path, bool isRoot) {
    if (!key.values.empty() || (key.subkeys.empty() && !isRoot)) {
      if (!out.empty() && out.back() != '\n')
        out += '\n';
      out += '\n';
      out += '[';
      out += path;
      out += "]\n";
      for (const Value &v : key.values) {
        if (v.name.empty())
          out += '@';
        else
          appendQuoted(out, v.name);
        out += '=';
        switch (v.type) {
        case TRegDataType::rdString:
          appendQuoted(out, v.bytes);
          break;
        case TRegDataType::rdInteger: {
          auto n = static_cast<std::uint32_t>(v.integer);
          out += "dword:";
          for (int shift = 28; shift >= 0; shift -= 4)
            out += hexDigits[(n >> shift) & 15];
          break;
        }
        case TRegDataType::rdBinary:
        case TRegDataType::rdUnknown:
          out += "hex:";
          for (std::size_t i = 0; i < v.bytes.size(); ++i) {
            if (i)
              out += ',';
            auto c = static_cast<unsigned char>(v.bytes[i]);
            out += hexDigits[c >> 4];
            out += hexDigits[c & 15];
          }
          break;
        }
        out += '\n';
      }
    }
    for (const auto &sub : key.subkeys)
      serializeKey(out, *sub, isRoot ? sub->name : path + '\\' + sub->name, false);
  }

  std::string serialize() const {
    std::string out = "; Marrowen settings. Key paths and value names ignore case.\n";
    serializeKey(out, root, std::string(), true);
    if (!unplaced.empty()) {
      out += "\n; Not read: the key name below is damaged. Mend it, and what is under it is read "
             "again.\n";
      for (const std::string &line : unplaced) {
        out += line;
        out += '\n';
      }
    }
    return out;
  }

  // Called with the lock held after a change; false when it did not reach
  // the disk.
  bool changed() {
    dirty = true;
    return batchDepth > 0 || save();
  }

  bool save() {
    if (unreadable || folderRefused)
      return false;
    std::string text = serialize();
    // Changes that were undone before they were saved leave the file as it is.
    if (!onDisk.empty() && text == onDisk) {
      struct stat st;
      if (::stat(file.c_str(), &st) == 0 && FileSignature::of(st) == seen) {
        dirty = false;
        forgetJournal();
        return true;
      }
    }
    // A file the user made read-only is not replaced by a new one, though
    // its folder would allow it.
    if (madeReadOnly(file.string())) {
      if (!saveFailureReported) {
        saveFailureReported = true;
        reports.push_back(Format("The settings file %s is read-only: settings cannot be saved. "
                                 "Changes are kept until the program ends.",
                                 {file.string()}));
      }
      return false;
    }
    std::error_code ec;
    if (file.has_parent_path())
      std::filesystem::create_directories(file.parent_path(), ec);
    // The store may hold what users would not show others: private to its owner.
    const int error = replaceFileContents(file.string(), text, 0600).error;
    onDisk.clear();
    if (error == 0) {
      struct stat st;
      if (::stat(file.c_str(), &st) == 0)
        seen = FileSignature::of(st);
      onDisk = std::move(text);
    }
    if (error != 0) {
      if (!saveFailureReported) {
        saveFailureReported = true;
        reports.push_back(Format("The settings could not be saved to %s: %s. Changes are kept "
                                 "until the program ends.",
                                 {file.string(), std::generic_category().message(error)}));
      }
      return false;
    }
    dirty = false;
    forgetJournal();
    return true;
  }

  // Runs `op` under the lock on a store that is up to date with its file,
  // then hands out what it had to report.
  template <class Op> auto run(Op op, bool changes = false) {
    std::vector<std::string> messages;
    std::unique_lock lock(mutex);
    // Another copy of the program may be saving too: the folder lock keeps
    // its read-change-save from interleaving with ours.
    FolderLock folderLock(changes ? file.parent_path() : std::filesystem::path());
    folderRefused = folderLock.refused();
    auto result = [&] {
      ScopeExit unrefused{[&] { folderRefused = false; }};
      refresh();
      return op();
    }();
    messages.swap(reports);
    // Told with no lock held: telling may wait for whoever reads it.
    folderLock.release();
    lock.unlock();
    deliver(messages);
    return result;
  }
  template <class Op> auto change(Op op) { return run(op, true); }

  // Stores one value, replacing whatever the name held.
  bool writeValue(std::string_view key, std::string_view name, TRegDataType type,
                  std::string_view bytes, std::int32_t integer) {
    return change([&] {
      if (!splitPath(key))
        return false;
      // Writing back what is stored costs no save: a window that writes all
      // its settings at each change rewrites the file only for real changes.
      if (const Value *v = findValue(key, name);
          v && v->type == type &&
          (type == TRegDataType::rdInteger ? v->integer == integer : v->bytes == bytes))
        return dirty ? changed() : true;
      return commit(Change(Change::Write, key, name, type, bytes, integer));
    });
  }
};

SettingsStore::SettingsStore(std::filesystem::path file)
    : impl_(std::make_unique<Impl>(std::move(file))) {}

SettingsStore::~SettingsStore() = default;

SettingsStore &SettingsStore::global() {
  static SettingsStore store(defaultPath());
  return store;
}

std::filesystem::path SettingsStore::defaultPath() {
  std::filesystem::path base;
  const char *xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char *home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd *pw = ::getpwuid(::getuid());
      home = pw ? pw->pw_dir : nullptr;
    }
    base = std::filesystem::path(home && *home ? home : ".") / ".config";
  }
  return base / program::companyName / program::productName / "settings.ini";
}

void SettingsStore::setFile(std::filesystem::path file) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->file = std::move(file);
    impl_->loaded = false;
    impl_->dirty = false;
    impl_->forgetJournal();
    impl_->saveFailureReported = false;
    impl_->unreadableReported = false;
    impl_->damageReported.clear();
    impl_->unplaced.clear();
    impl_->root = Key();
  }
}

std::filesystem::path SettingsStore::file() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->file;
}

void SettingsStore::setReporter(Reporter r) {
  std::lock_guard lock(reporterMutex);
  reporter = std::move(r);
}

void SettingsStore::report(const std::string &message) { deliver({message}); }

bool SettingsStore::keyExists(std::string_view key) {
  return impl_->run([&] { return impl_->findKey(key) != nullptr; });
}

bool SettingsStore::createKey(std::string_view key) {
  return impl_->change([&] {
    auto path = splitPath(key);
    if (!path)
      return false;
    if (!impl_->findKey(*path))
      impl_->commit(Impl::Change(Impl::Change::CreateKey, key));
    return true;
  });
}

bool SettingsStore::deleteKey(std::string_view key) {
  return impl_->change([&] {
    const Impl::Change change(Impl::Change::DeleteKey, key);
    if (!impl_->apply(change))
      return false;
    impl_->record(change);
    impl_->changed();
    return true;
  });
}

std::vector<std::string> SettingsStore::subKeyNames(std::string_view key) {
  return impl_->run([&] {
    std::vector<std::string> names;
    if (Key *k = impl_->findKey(key))
      for (const auto &sub : k->subkeys)
        names.push_back(sub->name);
    return names;
  });
}

std::vector<std::string> SettingsStore::valueNames(std::string_view key) {
  return impl_->run([&] {
    std::vector<std::string> names;
    if (Key *k = impl_->findKey(key))
      for (const Value &v : k->values)
        names.push_back(v.name);
    return names;
  });
}

bool SettingsStore::valueExists(std::string_view key, std::string_view name) {
  return impl_->run([&] { return impl_->findValue(key, name) != nullptr; });
}

TRegDataType SettingsStore::dataType(std::string_view key, std::string_view name) {
  return impl_->run([&] {
    Value *v = impl_->findValue(key, name);
    return v ? v->type : TRegDataType::rdUnknown;
  });
}

std::optional<std::string> SettingsStore::readString(std::string_view key, std::string_view name) {
  return impl_->run([&]() -> std::optional<std::string> {
    Value *v = impl_->findValue(key, name);
    if (!v || v->type != TRegDataType::rdString)
      return std::nullopt;
    return v->bytes;
  });
}

std::optional<std::int32_t> SettingsStore::readInteger(std::string_view key,
                                                       std::string_view name) {
  return impl_->run([&]() -> std::optional<std::int32_t> {
    Value *v = impl_->findValue(key, name);
    if (!v || v->type != TRegDataType::rdInteger)
      return std::nullopt;
    return v->integer;
  });
}

std::optional<std::string> SettingsStore::readBinary(std::string_view key, std::string_view name) {
  return impl_->run([&]() -> std::optional<std::string> {
    Value *v = impl_->findValue(key, name);
    if (!v || v->type != TRegDataType::rdBinary)
      return std::nullopt;
    return v->bytes;
  });
}

std::string SettingsStore::readString(std::string_view key, std::string_view name,
                                      std::string_view def) {
  auto v = readString(key, name);
  return v ? *v : std::string(def);
}

std::int32_t SettingsStore::readInteger(std::string_view key, std::string_view name,
                                        std::int32_t def) {
  return readInteger(key, name).value_or(def);
}

bool SettingsStore::readBool(std::string_view key, std::string_view name, bool def) {
  auto v = readInteger(key, name);
  return v ? *v != 0 : def;
}

bool SettingsStore::writeString(std::string_view key, std::string_view name,
                                std::string_view value) {
  return impl_->writeValue(key, name, TRegDataType::rdString, value, 0);
}

bool SettingsStore::writeInteger(std::string_view key, std::string_view name, std::int32_t value) {
  return impl_->writeValue(key, name, TRegDataType::rdInteger, {}, value);
}

bool SettingsStore::writeBool(std::string_view key, std::string_view name, bool value) {
  return writeInteger(key, name, value ? 1 : 0);
}

bool SettingsStore::writeBinary(std::string_view key, std::string_view name,
                                std::string_view bytes) {
  return impl_->writeValue(key, name, TRegDataType::rdBinary, bytes, 0);
}

bool SettingsStore::deleteValue(std::string_view key, std::string_view name) {
  return impl_->change([&] {
    const Impl::Change change(Impl::Change::DeleteValue, key, name);
    if (!impl_->apply(change))
      return false;
    impl_->record(change);
    impl_->changed();
    return true;
  });
}

SettingsStore::BatchedWrites::BatchedWrites(SettingsStore &store) : store_(store) {
  store_.impl_->run([&] {
    ++store_.impl_->batchDepth;
    return true;
  });
}

SettingsStore::BatchedWrites::~BatchedWrites() {
  Impl &impl = *store_.impl_;
  std::vector<std::string> messages;
  {
    std::lock_guard lock(impl.mutex);
    if (--impl.batchDepth == 0 && impl.dirty) {
      FolderLock folderLock(impl.file.parent_path());
      impl.folderRefused = folderLock.refused();
      // What another copy saved since the batch began is read in first.
      impl.refresh();
      impl.save();
      impl.folderRefused = false;
    }
    messages.swap(impl.reports);
  }
  deliver(messages);
}

// ---- TRegistry

TRegistry::TRegistry() : TRegistry(SettingsStore::global()) {}

TRegistry::TRegistry(SettingsStore &store) : store_(store) {}

std::string TRegistry::resolve(std::string_view key) const {
  if (!key.empty() && key.front() == '\\')
    return std::string(key);
  if (currentPath_.empty())
    return std::string(key);
  std::string path = currentPath_;
  path += '\\';
  path += key;
  return path;
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
  std::string path = resolve(key);
  bool ok = canCreate ? store_.createKey(path) : store_.keyExists(path);
  if (!ok)
    return false;
  // Keep the path in a plain form: keys without the empty parts.
  auto parts = splitPath(path);
  currentPath_.clear();
  for (std::string_view part : *parts) {
    if (!currentPath_.empty())
      currentPath_ += '\\';
    currentPath_ += part;
  }
  return true;
}

void TRegistry::CloseKey() { currentPath_.clear(); }

bool TRegistry::CreateKey(std::string_view key) { return store_.createKey(resolve(key)); }

bool TRegistry::DeleteKey(std::string_view key) { return store_.deleteKey(resolve(key)); }

bool TRegistry::KeyExists(std::string_view key) { return store_.keyExists(resolve(key)); }

bool TRegistry::HasSubKeys() { return !store_.subKeyNames(currentPath_).empty(); }

void TRegistry::GetKeyNames(TStringList &names) {
  names.BeginUpdate();
  names.Clear();
  for (std::string &n : store_.subKeyNames(currentPath_))
    names.Add(std::move(n));
  names.EndUpdate();
}

void TRegistry::GetValueNames(TStringList &names) {
  names.BeginUpdate();
  names.Clear();
  for (std::string &n : store_.valueNames(currentPath_))
    names.Add(std::move(n));
  names.EndUpdate();
}

bool TRegistry::ValueExists(std::string_view name) {
  return store_.valueExists(currentPath_, name);
}

bool TRegistry::DeleteValue(std::string_view name) {
  return store_.deleteValue(currentPath_, name);
}

TRegDataType TRegistry::GetDataType(std::string_view name) {
  return store_.dataType(currentPath_, name);
}

std::string TRegistry::ReadString(std::string_view name) {
  if (auto v = store_.readString(currentPath_, name))
    return *v;
  if (store_.valueExists(currentPath_, name))
    throw ERegistryException(Format("Invalid data type for '%s'", {name}));
  return std::string();
}

std::int32_t TRegistry::ReadInteger(std::string_view name) {
  if (auto v = store_.readInteger(currentPath_, name))
    return *v;
  if (store_.valueExists(currentPath_, name))
    throw ERegistryException(Format("Invalid data type for '%s'", {name}));
  throw ERegistryException(Format("Failed to get data for '%s'", {name}));
}

std::string TRegistry::ReadBinaryData(std::string_view name) {
  if (auto v = store_.readBinary(currentPath_, name))
    return *v;
  if (store_.valueExists(currentPath_, name))
    throw ERegistryException(Format("Invalid data type for '%s'", {name}));
  throw ERegistryException(Format("Failed to get data for '%s'", {name}));
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
  if (!store_.writeString(currentPath_, name, value) && !store_.readString(currentPath_, name))
    throw ERegistryException(Format("Failed to set data for '%s'", {name}));
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
  if (!store_.writeInteger(currentPath_, name, value) && !store_.readInteger(currentPath_, name))
    throw ERegistryException(Format("Failed to set data for '%s'", {name}));
}

void TRegistry::WriteBinaryData(std::string_view name, std::string_view bytes) {
  if (!store_.writeBinary(currentPath_, name, bytes) && !store_.readBinary(currentPath_, name))
    throw ERegistryException(Format("Failed to set data for '%s'", {name}));
}

// ---- TRegIniFile

TRegIniFile::TRegIniFile(const std::string &fileName, bool readOnly)
    : TRegIniFile(SettingsStore::global(), fileName, readOnly) {}

TRegIniFile::TRegIniFile(SettingsStore &store, const std::string &fileName, bool readOnly)
    : TCustomIniFile(fileName), store_(store), key_(fileName), readOnly_(readOnly) {
  while (!key_.empty() && key_.front() == '\\')
    key_.erase(0, 1);
  if (!readOnly_)
    store_.createKey(key_);
}

std::string TRegIniFile::sectionKey(std::string_view section) const {
  if (section.empty())
    return key_;
  std::string path = key_;
  if (!path.empty())
    path += '\\';
  path += section;
  return path;
}

std::string TRegIniFile::ReadString(std::string_view section, std::string_view ident,
                                    std::string_view defaultValue) {
  std::string key = sectionKey(section);
  if (auto text = store_.readString(key, ident))
    return *text;
  if (auto number = store_.readInteger(key, ident))
    return std::to_string(*number);
  return std::string(defaultValue);
}

void TRegIniFile::WriteString(std::string_view section, std::string_view ident,
                              std::string_view value) {
  std::string key = sectionKey(section);
  if (readOnly_ || (!store_.writeString(key, ident, value) && !store_.readString(key, ident)))
    throw ERegistryException(Format("Failed to set data for '%s'", {ident}));
}

std::int32_t TRegIniFile::ReadInteger(std::string_view section, std::string_view ident,
                                      std::int32_t defaultValue) {
  if (auto number = store_.readInteger(sectionKey(section), ident))
    return *number;
  return TCustomIniFile::ReadInteger(section, ident, defaultValue);
}

bool TRegIniFile::ValueExists(std::string_view section, std::string_view ident) {
  return store_.valueExists(sectionKey(section), ident);
}

std::vector<std::string> TRegIniFile::ReadSection(std::string_view section) {
  return store_.valueNames(sectionKey(section));
}

void TRegIniFile::EraseSection(std::string_view section) {
  if (readOnly_)
    throw ERegistryException(Format("Failed to set data for '%s'", {section}));
  store_.deleteKey(sectionKey(section));
}

void TRegIniFile::DeleteKey(std::string_view section, std::string_view ident) {
  if (readOnly_)
    throw ERegistryException(Format("Failed to set data for '%s'", {ident}));
  store_.deleteValue(sectionKey(section), ident);
}

void TRegIniFile::beginBatch() {
  if (batchDepth_++ == 0)
    batch_.emplace(store_);
}

void TRegIniFile::endBatch() {
  if (batchDepth_ > 0 && --batchDepth_ == 0)
    batch_.reset();
}

} // namespace marrowen

#include "engine/temporaries.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include <signal.h>

namespace marrowen {

namespace {

struct Temporaries {
  std::mutex mutex;
  std::map<std::uint64_t, std::string> paths;
  std::map<std::uint64_t, int> programs; // process groups
  std::uint64_t lastId = 0;
  bool ending = false;
};

Temporaries &temporaries() {
  static Temporaries all;
  return all;
}

void removePath(const std::string &path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

// A program that ignores SIGTERM would outlive us.
void endProgramGroup(int processGroup) { ::kill(-processGroup, SIGKILL); }

// Registers `value` under a new id in `entries`, or, when the program is
// ending already, answers 0 and leaves it to the caller to remove.
template <class Value>
std::uint64_t registerEntry(std::map<std::uint64_t, Value> &entries, Value value) {
  Temporaries &all = temporaries();
  std::lock_guard lock(all.mutex);
  if (all.ending)
    return 0;
  entries.emplace(++all.lastId, std::move(value));
  return all.lastId;
}

template <class Value>
void unregisterEntry(std::map<std::uint64_t, Value> &entries, std::uint64_t id) {
  if (id == 0)
    return;
  std::lock_guard lock(temporaries().mutex);
  entries.erase(id);
}

} // namespace

TemporaryEntry::TemporaryEntry(const std::string &path) {
  id_ = registerEntry(temporaries().paths, path);
  if (id_ == 0)
    removePath(path);
}

TemporaryEntry::TemporaryEntry(TemporaryEntry &&other) noexcept
    : id_(std::exchange(other.id_, 0)) {}

TemporaryEntry &TemporaryEntry::operator=(TemporaryEntry &&other) noexcept {
  if (this != &other) {
    TemporaryEntry old(std::move(*this));
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

TemporaryEntry::~TemporaryEntry() { unregisterEntry(temporaries().paths, id_); }

TemporaryProgram::TemporaryProgram(int processGroup) {
  id_ = registerEntry(temporaries().programs, processGroup);
  if (id_ == 0)
    endProgramGroup(processGroup);
}

TemporaryProgram::TemporaryProgram(TemporaryProgram &&other) noexcept
    : id_(std::exchange(other.id_, 0)) {}

TemporaryProgram &TemporaryProgram::operator=(TemporaryProgram &&other) noexcept {
  if (this != &other) {
    TemporaryProgram old(std::move(*this));
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

TemporaryProgram::~TemporaryProgram() { unregisterEntry(temporaries().programs, id_); }

void removeAllTemporaries() {
  std::vector<std::string> paths;
  {
    Temporaries &all = temporaries();
    std::lock_guard lock(all.mutex);
    all.ending = true;
    // A holder drops its group right after it has reaped the program, too
    // soon for the system to hand the number on.
    for (auto &[id, group] : all.programs)
      endProgramGroup(group);
    all.programs.clear();
    for (auto &[id, path] : all.paths)
      paths.push_back(path);
    all.paths.clear();
  }
  for (const std::string &path : paths)
    removePath(path);
}

} // namespace marrowen

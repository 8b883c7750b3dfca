#include "engine/temporaries.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace marrowen {

namespace {

struct Temporaries {
  std::mutex mutex;
  std::map<std::uint64_t, std::string> paths;
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

} // namespace

TemporaryEntry::TemporaryEntry(const std::string &path) {
  Temporaries &all = temporaries();
  {
    std::lock_guard lock(all.mutex);
    if (!all.ending) {
      id_ = ++all.lastId;
      all.paths.emplace(id_, path);
      return;
    }
  }
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

TemporaryEntry::~TemporaryEntry() {
  if (id_ == 0)
    return;
  Temporaries &all = temporaries();
  std::lock_guard lock(all.mutex);
  all.paths.erase(id_);
}

void removeAllTemporaries() {
  std::vector<std::string> paths;
  {
    Temporaries &all = temporaries();
    std::lock_guard lock(all.mutex);
    all.ending = true;
    for (auto &[id, path] : all.paths)
      paths.push_back(path);
    all.paths.clear();
  }
  for (const std::string &path : paths)
    removePath(path);
}

} // namespace marrowen

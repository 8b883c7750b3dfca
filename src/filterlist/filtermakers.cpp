#include "filterlist/filtermakers.h"

#include "engine/filter.h"

#include <mutex>

namespace marrowen {

namespace {

struct Installed {
  std::mutex mutex;
  ScriptFilterMakers script;
  DatabaseFilterMaker database;
};

Installed &installed() {
  static Installed makers;
  return makers;
}

} // namespace

void installScriptFilterMakers(ScriptFilterMakers makers) {
  Installed &all = installed();
  std::lock_guard lock(all.mutex);
  all.script = std::move(makers);
}

ScriptFilterMakers scriptFilterMakers() {
  Installed &all = installed();
  std::lock_guard lock(all.mutex);
  return all.script;
}

void installDatabaseFilterMaker(DatabaseFilterMaker maker) {
  Installed &all = installed();
  std::lock_guard lock(all.mutex);
  all.database = std::move(maker);
}

DatabaseFilterMaker databaseFilterMaker() {
  Installed &all = installed();
  std::lock_guard lock(all.mutex);
  return all.database;
}

} // namespace marrowen

// Writes "normal.fll", the list a new filter-list window starts from: the
// top, input and output nodes as a new list makes them, from an empty
// settings store so that no user's remembered values go into it.
#include "classlib/registry.h"
#include "filterlist/commentnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"
#include "filterlist/settings.h"

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: normalfll FILE\n");
    return 2;
  }
  try {
    const std::filesystem::path empty =
        std::filesystem::temp_directory_path() / "marrowen-normalfll-empty.ini";
    std::filesystem::remove(empty);
    {
      marrowen::SettingsStore store(empty);
      marrowen::useSettingsStore(&store);
      marrowen::TFilterList list;
      list.addNode(marrowen::TFilterCommentObject::CreateDefault(), 0);
      list.addNode(marrowen::TInputObject::CreateDefault(), 1);
      list.addNode(marrowen::TOutputObject::CreateDefault(), 1);
      // The file stores the list's own log options, not the top node's.
      list.logOptionsFromTopNode();
      list.saveToFile(argv[1]);
      marrowen::useSettingsStore(nullptr);
    }
    std::filesystem::remove(empty);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "normalfll: %s\n", error.what());
    return 1;
  }
  return 0;
}

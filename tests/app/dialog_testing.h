#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodecatalog.h"
#include "filterlist/nodeeditor.h"

#include <memory>
#include <string>
#include <vector>

namespace marrowen::testing {

// A filter-list window as a node dialog sees it: it records what the
// dialog tells it.
class RecordingSite : public TNodeEditorSite {
public:
  void setFilterHeading(const std::string &text) override { heading = text; }
  // Makes the registered dialog of the node's class, kept until the site goes.
  TNodeEditor *editorFor(TListObject &node, TNodeEditor *current) override {
    if (current)
      return current;
    const NodeDialogFactory factory = nodeDialogFactory(node.className());
    if (!factory)
      return nullptr;
    editors.push_back(factory(node, *this));
    return editors.back().get();
  }
  void placeEditor(TNodeEditor &) override {}
  void releaseEditor(TNodeEditor *editor) override { released.push_back(editor); }

  std::vector<std::unique_ptr<TNodeEditor>> editors;
  std::vector<TNodeEditor *> released;
  void fieldChanged() override { ++changes; }
  void statusBarText(const std::string &text) override {
    status = text;
    statusIsError = false;
  }
  void statusBarError(const std::string &text) override {
    status = text;
    statusIsError = true;
  }
  void setTestMode(bool on) override { testMode = on; }
  void setInputFromFiles(bool on) override { inputFromFiles = on; }

  std::string heading;
  int changes = 0;
  std::string status = "untouched";
  bool statusIsError = false;
  bool testMode = false;
  bool inputFromFiles = true;
};

} // namespace marrowen::testing

#pragma once

#include "filterlist/nodeeditor.h"

#include <string>
#include <vector>

namespace marrowen::testing {

// A filter-list window as a node dialog sees it: it records what the
// dialog tells it.
class RecordingSite : public TNodeEditorSite {
public:
  void setFilterHeading(const std::string &text) override { heading = text; }
  TNodeEditor *editorFor(TListObject &, TNodeEditor *current) override { return current; }
  void placeEditor(TNodeEditor &) override {}
  void releaseEditor(TNodeEditor *) override {}
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
